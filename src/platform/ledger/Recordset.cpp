// Record sets over a table or a translated Jet query: moving, finding, seeking by an index,
// reading and writing fields as the engine's record sets do.

#include "platform/ledger/Engine.h"

#include "platform/Error.h"
#include "platform/ledger/JetSql.h"

#include <optional>
#include <utility>

namespace corvane::ledger {

namespace {

// Values given to some columns of a record, each column once, in the order first given.
using ColumnValues = std::vector<std::pair<int, Value>>;

const Value* findColumn(const ColumnValues& values, int column) {
    for (const auto& [c, v] : values) {
        if (c == column)
            return &v;
    }
    return nullptr;
}

void setColumn(ColumnValues& values, int column, Value v) {
    for (auto& [c, old] : values) {
        if (c == column) {
            old = std::move(v);
            return;
        }
    }
    values.emplace_back(column, std::move(v));
}

// A record of a loaded set, kept as read (one block of text per record rather than a string per
// field); a field becomes a Value when it is read. Fields written through the set keep the value
// written.
class StoredRow {
public:
    StoredRow(sqlite3_stmt* s, const std::vector<ResultColumn>& columns) {
        cells_.resize(columns.size());
        for (std::size_t i = 0; i < columns.size(); ++i) {
            Cell& cell = cells_[i];
            const char* text = readCell(s, static_cast<int>(i), columns[i].kind, &cell);
            if (text) {
                cell.hasText = true;
                cell.offset = static_cast<std::uint32_t>(texts_.size());
                texts_.append(text, cell.size);
            }
        }
    }

    Value value(int column, ColumnKind kind) const {
        if (const Value* written = findColumn(written_, column))
            return *written;
        const Cell& cell = cells_[static_cast<std::size_t>(column)];
        // An empty text still points somewhere: it reads as empty rather than null text.
        return cellValue(cell, cell.hasText ? texts_.constData() + cell.offset : nullptr, kind);
    }
    void write(int column, Value v) { setColumn(written_, column, std::move(v)); }
    std::vector<Value> values(const std::vector<ResultColumn>& columns) const {
        std::vector<Value> out;
        out.reserve(columns.size());
        for (std::size_t i = 0; i < columns.size(); ++i)
            out.push_back(value(static_cast<int>(i), columns[i].kind));
        return out;
    }

private:
    std::vector<Cell> cells_;
    QByteArray texts_;
    ColumnValues written_;
};

}  // namespace

// --- Record sets --------------------------------------------------------------------------------

struct Recordset::Impl {
    enum class Mode { None, Add, Edit };
    struct Base {
        TableInfo* table;
        int rowidColumn;
    };

    Database::Impl* db = nullptr;
    bool tableType = false;
    TableInfo* table = nullptr;  // table type: the table; dynaset: its one table, if any
    const IndexInfo* index = nullptr;
    DynasetPlan plan;
    QString jetSql;

    const ColumnSet* columns = nullptr;  // the table's, or ownColumns once the query was prepared
    ColumnSet ownColumns;
    std::vector<Base> bases;

    std::vector<StoredRow> rows;
    bool loaded = false;
    bool started = false;
    qint64 pos = -1;           // current row in rows, or -1
    std::vector<Value> found;  // current row from a seek or find when pos is -1
    bool hasCurrent = false;
    bool noMatch = false;
    bool closed = false;

    Mode mode = Mode::None;
    ColumnValues assigned;  // Add: table column; Edit: set column
    std::optional<std::int64_t> newKey;

    void checkOpen() const {
        if (closed)
            throwError(3420, QStringLiteral("Object invalid or no longer set."));
    }

    QString navigationSql() const {
        if (!tableType)
            return plan.sql;
        if (index)
            return index->orderSql;
        return QStringLiteral("SELECT rowid, * FROM %1 ORDER BY rowid").arg(quoteName(table->name));
    }

    // The prepared navigation query; a dynaset learns its columns from it.
    sqlite3_stmt* prepareQuery(const QString& sql) {
        sqlite3_stmt* s = nullptr;
        try {
            s = db->statement(sql, tableType ? sql : jetSql);
        } catch (const Error&) {
            if (tableType || plan.rowidTables.isEmpty())
                throw;
            // Rows that cannot be traced back to their tables (a view): read-only.
            plan.rowidTables.clear();
            plan.sql = plan.plainSql;
            plan.canInject = false;
            s = db->statement(plan.sql, jetSql);
        }
        if (!tableType && columns == nullptr)
            describe(s);
        return s;
    }

    void describe(sqlite3_stmt* s) {
        const int count = sqlite3_column_count(s);
        const int hidden = static_cast<int>(plan.rowidTables.size());
        bases.clear();
        for (int i = 0; i < hidden && i < count; ++i) {
            bases.push_back({&db->table(plan.rowidTables[i]), i});
        }
        for (int i = 0; i < count; ++i) {
            ResultColumn c;
            c.name = QString::fromUtf8(sqlite3_column_name(s, i));
            const char* originTable = sqlite3_column_table_name(s, i);
            const char* originColumn = sqlite3_column_origin_name(s, i);
            const QString tableName = originTable ? QString::fromUtf8(originTable) : QString();
            c.kind = kindOf(sqlite3_column_decltype(s, i),
                            originColumn ? QString::fromUtf8(originColumn) : c.name);
            if (i < hidden) {
                c.hidden = true;
                c.kind = ColumnKind::Integer;
            } else if (originTable && originColumn) {
                int match = -1;
                for (int b = 0; b < static_cast<int>(bases.size()); ++b) {
                    if (bases[b].table->name.compare(tableName, Qt::CaseInsensitive) == 0) {
                        match = match < 0 ? b : -2;  // a table named twice cannot be told apart
                    }
                }
                if (match >= 0) {
                    c.base = match;
                    c.tableColumn =
                        bases[match].table->tableSet.find(QString::fromUtf8(originColumn));
                    if (c.tableColumn < 0)
                        c.base = -1;
                }
            }
            ownColumns.add(c, tableName);
        }
        columns = &ownColumns;
        if (bases.size() == 1)
            table = bases[0].table;
    }

    std::vector<Value> readRow(sqlite3_stmt* s) const {
        std::vector<Value> row;
        const auto& cols = columns->columns;
        row.reserve(cols.size());
        for (int i = 0; i < static_cast<int>(cols.size()); ++i) {
            row.push_back(readValue(s, i, cols[i].kind));
        }
        return row;
    }

    void load() {
        if (loaded)
            return;
        const QString sql = navigationSql();
        sqlite3_stmt* s = prepareQuery(sql);
        StatementUse use(s);
        rows.clear();
        while (db->step(s, jetSql.isEmpty() ? sql : jetSql) == SQLITE_ROW)
            rows.emplace_back(s, columns->columns);
        loaded = true;
    }

    Value currentValue(int column) const {
        return pos >= 0 ? rows[pos].value(column, columns->columns[column].kind) : found[column];
    }

    void moveFirst() {
        load();
        started = true;
        noMatch = false;
        hasCurrent = !rows.empty();
        pos = hasCurrent ? 0 : -1;
        found.clear();
    }

    void ensureStarted() {
        if (!started)
            moveFirst();
    }

    // The position in rows of the record found by a seek or find.
    qint64 locate(const std::vector<Value>& row) {
        load();
        const int hidden = tableType ? 1 : static_cast<int>(bases.size());
        for (qint64 i = 0; i < static_cast<qint64>(rows.size()); ++i) {
            bool same = true;
            const int compared = hidden > 0 ? hidden : static_cast<int>(row.size());
            for (int c = 0; c < compared && same; ++c)
                same = rows[i].value(c, columns->columns[c].kind) == row[c];
            if (same)
                return i;
        }
        return -1;
    }

    void setFound(std::vector<Value> row) {
        started = true;
        found = std::move(row);
        pos = -1;
        hasCurrent = true;
        noMatch = false;
    }

    void setNoMatch() {
        started = true;
        found.clear();
        pos = -1;
        hasCurrent = false;
        noMatch = true;
    }

    TableInfo* addTable() {
        if (tableType)
            return table;
        if (!table && plan.rowidTables.size() == 1)
            table = &db->table(plan.rowidTables[0]);
        if (!table || plan.rowidTables.size() != 1)
            readOnly();
        return table;
    }

    std::int64_t computeNewKey(TableInfo& t) {
        const QString name = quoteName(t.name);
        const QString sql =
            t.autoIncrement
                ? QStringLiteral(
                      "SELECT max(coalesce((SELECT seq FROM sqlite_sequence WHERE name = "
                      "?1), 0), coalesce((SELECT max(rowid) FROM %1), 0)) + 1")
                      .arg(name)
                : QStringLiteral("SELECT coalesce(max(rowid), 0) + 1 FROM %1").arg(name);
        sqlite3_stmt* s = db->statement(sql);
        StatementUse use(s);
        if (t.autoIncrement) {
            const QByteArray n = t.name.toUtf8();
            sqlite3_bind_text(s, 1, n.constData(), static_cast<int>(n.size()), SQLITE_TRANSIENT);
        }
        db->step(s, sql);
        return sqlite3_column_int64(s, 0);
    }

    const Value* assignedValue(int column) const { return findColumn(assigned, column); }
    void assign(int column, Value v) { setColumn(assigned, column, std::move(v)); }

    void insert() {
        TableInfo& t = *addTable();
        ColumnValues values = assigned;
        if (newKey && t.autoKey >= 0 && !assignedValue(t.autoKey)) {
            values.emplace_back(t.autoKey, Value::integer(*newKey));
        }
        QByteArray key(static_cast<qsizetype>(values.size()) * 2, Qt::Uninitialized);
        for (std::size_t i = 0; i < values.size(); ++i) {
            key[2 * i] = static_cast<char>(values[i].first & 0xff);
            key[2 * i + 1] = static_cast<char>(values[i].first >> 8);
        }
        sqlite3_stmt* s = t.inserts.value(key);
        if (!s) {
            QString sql;
            if (values.empty()) {
                sql = QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quoteName(t.name));
            } else {
                QString names, marks;
                for (std::size_t i = 0; i < values.size(); ++i) {
                    if (i) {
                        names += u',';
                        marks += u',';
                    }
                    names += quoteName(t.tableColumns[values[i].first].name);
                    marks += u'?';
                }
                sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                          .arg(quoteName(t.name), names, marks);
            }
            s = db->statement(sql);
            t.inserts.insert(key, s);
        }
        {
            QByteArray scratch;
            StatementUse use(s);
            for (std::size_t i = 0; i < values.size(); ++i) {
                bindValue(s, static_cast<int>(i) + 1, values[i].second,
                          t.tableColumns[values[i].first].kind, scratch);
            }
            db->step(s, t.name);
        }
        const std::int64_t rowid = sqlite3_last_insert_rowid(db->db);
        if (loaded)
            appendNewRow(t, rowid);
    }

    // A record added through the set joins its end, as the engine shows it.
    void appendNewRow(TableInfo& t, std::int64_t rowid) {
        QString sql;
        if (tableType) {
            sql = t.selectByRowid;
        } else if (!plan.rowidTables.isEmpty()) {
            const QString criterion = QStringLiteral("%1.rowid = ?1").arg(quoteName(t.name));
            sql = plan.findSql(criterion);
        } else {
            return;
        }
        sqlite3_stmt* s = nullptr;
        try {
            s = db->statement(sql);
        } catch (const Error&) {
            return;  // the set cannot show it; the record is saved all the same
        }
        StatementUse use(s);
        sqlite3_bind_int64(s, 1, rowid);
        if (db->step(s, sql) == SQLITE_ROW)
            rows.emplace_back(s, columns->columns);
    }

    void updateCurrent() {
        if (!hasCurrent)
            noCurrentRecord();
        // One UPDATE per table touched; several are written together or not at all.
        std::vector<int> touched;
        for (const auto& a : assigned) {
            const int b = columns->columns[a.first].base;
            if (std::find(touched.begin(), touched.end(), b) == touched.end())
                touched.push_back(b);
        }
        const bool several = touched.size() > 1;
        if (several)
            db->exec("SAVEPOINT corvane_edit");
        try {
            for (int b : touched) {
                TableInfo& t = tableType ? *table : *bases[b].table;
                const int rowidColumn = tableType ? 0 : bases[b].rowidColumn;
                std::vector<const Value*> values;
                std::vector<ColumnKind> kinds;
                std::vector<int> seen;
                QByteArray key;
                for (const auto& a : assigned) {
                    const ResultColumn& c = columns->columns[a.first];
                    if (c.base != b)
                        continue;
                    if (std::find(seen.begin(), seen.end(), c.tableColumn) != seen.end())
                        continue;
                    seen.push_back(c.tableColumn);
                    key.append(static_cast<char>(c.tableColumn & 0xff))
                        .append(static_cast<char>(c.tableColumn >> 8));
                    values.push_back(&a.second);
                    kinds.push_back(c.kind);
                }
                sqlite3_stmt* s = t.updates.value(key);
                if (!s) {
                    QString sets;
                    for (int column : seen) {
                        if (!sets.isEmpty())
                            sets += u',';
                        sets += quoteName(t.tableColumns[column].name) + QStringLiteral(" = ?");
                    }
                    s = db->statement(QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?")
                                          .arg(quoteName(t.name), sets));
                    t.updates.insert(key, s);
                }
                QByteArray scratch;
                StatementUse use(s);
                int i = 1;
                for (std::size_t v = 0; v < values.size(); ++v) {
                    bindValue(s, i++, *values[v], kinds[v], scratch);
                }
                sqlite3_bind_int64(s, i, currentValue(rowidColumn).toInteger());
                db->step(s, t.name);
            }
        } catch (...) {
            if (several) {
                sqlite3_exec(db->db, "ROLLBACK TO corvane_edit; RELEASE corvane_edit", nullptr,
                             nullptr, nullptr);
            }
            throw;
        }
        if (several)
            db->exec("RELEASE corvane_edit");
        // The set shows the new values in every column that reads the written fields.
        for (const auto& a : assigned) {
            const ResultColumn& target = columns->columns[a.first];
            for (std::size_t i = 0; i < columns->columns.size(); ++i) {
                const ResultColumn& c = columns->columns[i];
                if (c.base != target.base || c.tableColumn != target.tableColumn)
                    continue;
                if (pos >= 0)
                    rows[pos].write(static_cast<int>(i), a.second);
                else
                    found[i] = a.second;
            }
        }
    }
};

Recordset::Recordset(std::unique_ptr<Impl> impl) : d_(std::move(impl)) {}
Recordset::~Recordset() = default;

bool Recordset::eof() {
    d_->checkOpen();
    d_->ensureStarted();
    return !d_->hasCurrent;
}

void Recordset::moveFirst() {
    d_->checkOpen();
    d_->moveFirst();
}

void Recordset::moveNext() {
    d_->checkOpen();
    if (!d_->started) {
        d_->moveFirst();
    }
    if (!d_->hasCurrent)
        noCurrentRecord();
    if (d_->pos < 0) {
        d_->pos = d_->locate(d_->found);
        if (d_->pos < 0) {
            d_->hasCurrent = false;
            return;
        }
    }
    ++d_->pos;
    if (d_->pos >= static_cast<qint64>(d_->rows.size())) {
        d_->pos = -1;
        d_->found.clear();
        d_->hasCurrent = false;
    }
}

std::int64_t Recordset::recordCount() {
    d_->checkOpen();
    if (d_->loaded)
        return static_cast<std::int64_t>(d_->rows.size());
    QString sql;
    if (d_->tableType) {
        sql = QStringLiteral("SELECT count(*) FROM %1").arg(quoteName(d_->table->name));
    } else {
        d_->prepareQuery(d_->plan.sql);  // validates the query and learns its columns
        sql = QStringLiteral("SELECT count(*) FROM (%1)").arg(d_->plan.sql);
    }
    sqlite3_stmt* s = d_->db->statement(sql, d_->jetSql);
    StatementUse use(s);
    d_->db->step(s, sql);
    return sqlite3_column_int64(s, 0);
}

void Recordset::forEach(const QStringList& fieldNames,
                        const std::function<void(const std::vector<Value>& fields)>& visit) {
    d_->checkOpen();
    const QString sql = d_->navigationSql();
    sqlite3_stmt* s = d_->prepareQuery(sql);
    std::vector<int> columns;
    columns.reserve(static_cast<std::size_t>(fieldNames.size()));
    for (const QString& name : fieldNames) {
        const int column = d_->columns->find(name);
        if (column < 0)
            itemNotFound();
        columns.push_back(column);
    }
    const auto& kinds = d_->columns->columns;
    StatementUse use(s);
    std::vector<Value> values;
    while (d_->db->step(s, d_->jetSql.isEmpty() ? sql : d_->jetSql) == SQLITE_ROW) {
        values.clear();
        for (int column : columns)
            values.push_back(readValue(s, column, kinds[static_cast<std::size_t>(column)].kind));
        visit(values);
    }
}

void Recordset::setIndex(const QString& indexName) {
    d_->checkOpen();
    if (!d_->tableType) {
        throwError(3251, QStringLiteral("Operation is not supported for this type of object."));
    }
    d_->index = &d_->db->index(*d_->table, indexName);
    // The order of the set changes; the current record stays current.
    if (d_->pos >= 0)
        d_->found = d_->rows[d_->pos].values(d_->columns->columns);
    d_->pos = -1;
    d_->loaded = false;
    d_->rows.clear();
}

void Recordset::seek(const Value& key) {
    d_->checkOpen();
    if (!d_->tableType || !d_->index) {
        throwError(3019, QStringLiteral("Operation invalid without a current index."));
    }
    const ResultColumn& column = d_->table->tableColumns[d_->index->column];
    const Value k = convertFor(key, column.kind);
    if (k.isNull()) {
        d_->setNoMatch();
        return;
    }
    sqlite3_stmt* s = d_->db->statement(d_->index->seekSql);
    StatementUse use(s);
    bindValue(s, 1, k);
    if (d_->db->step(s, d_->table->name) == SQLITE_ROW) {
        d_->setFound(d_->readRow(s));
    } else {
        d_->setNoMatch();
    }
}

void Recordset::findFirst(const QString& criterion) {
    d_->checkOpen();
    if (d_->tableType) {
        throwError(3251, QStringLiteral("Operation is not supported for this type of object."));
    }
    d_->prepareQuery(d_->plan.sql);
    const QString sql = d_->plan.findSql(translateJetExpression(criterion));
    const auto statement = d_->db->prepareOnce(sql, criterion);
    sqlite3_stmt* s = statement.get();
    if (d_->db->step(s, criterion) == SQLITE_ROW) {
        std::vector<Value> row = d_->readRow(s);
        if (d_->loaded) {
            const qint64 at = d_->locate(row);
            if (at >= 0) {
                d_->started = true;
                d_->pos = at;
                d_->hasCurrent = true;
                d_->noMatch = false;
                return;
            }
        }
        d_->setFound(std::move(row));
    } else {
        d_->setNoMatch();
    }
}

bool Recordset::noMatch() const {
    return d_->noMatch;
}

Value Recordset::field(const QString& name) {
    d_->checkOpen();
    if (d_->mode == Impl::Mode::Add) {
        TableInfo& t = *d_->addTable();
        const int column = t.tableSet.find(name);
        if (column < 0)
            itemNotFound();
        if (const Value* v = d_->assignedValue(column))
            return *v;
        if (column == t.autoKey) {
            if (!d_->newKey)
                d_->newKey = d_->computeNewKey(t);
            return Value::integer(*d_->newKey);
        }
        return {};
    }
    if (!d_->tableType && !d_->columns)
        d_->prepareQuery(d_->plan.sql);
    const int column = d_->columns->find(name);
    if (column < 0)
        itemNotFound();
    if (d_->mode == Impl::Mode::Edit) {
        if (const Value* v = d_->assignedValue(column))
            return *v;
    }
    d_->ensureStarted();
    if (!d_->hasCurrent)
        noCurrentRecord();
    return d_->currentValue(column);
}

QStringList Recordset::fieldNames() {
    d_->checkOpen();
    if (!d_->tableType && !d_->columns)
        d_->prepareQuery(d_->plan.sql);
    QStringList names;
    for (const ResultColumn& c : d_->columns->columns) {
        if (!c.hidden)
            names.append(c.name);
    }
    return names;
}

void Recordset::addNew() {
    d_->checkOpen();
    d_->addTable();
    d_->mode = Impl::Mode::Add;
    d_->assigned.clear();
    d_->newKey.reset();
}

void Recordset::edit() {
    d_->checkOpen();
    d_->ensureStarted();
    if (!d_->hasCurrent)
        noCurrentRecord();
    if (!d_->tableType && d_->bases.empty())
        readOnly();
    d_->mode = Impl::Mode::Edit;
    d_->assigned.clear();
}

void Recordset::setField(const QString& name, const Value& value) {
    d_->checkOpen();
    switch (d_->mode) {
        case Impl::Mode::None:
            throwError(errc::UpdateWithoutEdit,
                       QStringLiteral("Update or CancelUpdate without AddNew or Edit."));
        case Impl::Mode::Add: {
            TableInfo& t = *d_->addTable();
            const int column = t.tableSet.find(name);
            if (column < 0)
                itemNotFound();
            d_->assign(column, convertFor(value, t.tableColumns[column].kind));
            return;
        }
        case Impl::Mode::Edit: {
            const int column = d_->columns->find(name);
            if (column < 0)
                itemNotFound();
            const ResultColumn& c = d_->columns->columns[column];
            if (c.base < 0)
                throwError(3164, QStringLiteral("Field cannot be updated."));
            d_->assign(column, convertFor(value, c.kind));
            return;
        }
    }
}

void Recordset::update() {
    d_->checkOpen();
    switch (d_->mode) {
        case Impl::Mode::None:
            throwError(errc::UpdateWithoutEdit,
                       QStringLiteral("Update or CancelUpdate without AddNew or Edit."));
        case Impl::Mode::Add:
            d_->insert();
            break;
        case Impl::Mode::Edit:
            if (!d_->assigned.empty())
                d_->updateCurrent();
            break;
    }
    d_->mode = Impl::Mode::None;
    d_->assigned.clear();
    d_->newKey.reset();
}

void Recordset::cancelUpdate() {
    d_->checkOpen();
    if (d_->mode == Impl::Mode::None) {
        throwError(errc::UpdateWithoutEdit,
                   QStringLiteral("Update or CancelUpdate without AddNew or Edit."));
    }
    d_->mode = Impl::Mode::None;
    d_->assigned.clear();
    d_->newKey.reset();
}

void Recordset::close() {
    d_->closed = true;
    d_->rows.clear();
    d_->found.clear();
    d_->assigned.clear();
}

std::unique_ptr<Recordset> Database::openTable(const QString& tableName) {
    auto r = std::make_unique<Recordset::Impl>();
    r->db = d_.get();
    r->tableType = true;
    r->table = &d_->table(tableName);
    r->columns = &r->table->rowSet;
    return std::unique_ptr<Recordset>(new Recordset(std::move(r)));
}

std::unique_ptr<Recordset> Database::openDynaset(const QString& jetSql) {
    auto r = std::make_unique<Recordset::Impl>();
    r->db = d_.get();
    r->jetSql = jetSql;
    r->plan = planDynaset(jetSql);
    return std::unique_ptr<Recordset>(new Recordset(std::move(r)));
}

}  // namespace corvane::ledger
