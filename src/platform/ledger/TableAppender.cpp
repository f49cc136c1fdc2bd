// Appenders: records added to a table as a record set's addNew and update add them, one at a
// time or several to an INSERT.

#include "platform/ledger/Engine.h"

#include "platform/Error.h"

#include <QStringList>

#include <algorithm>
#include <map>

namespace corvane::ledger {

struct TableAppender::Impl {
    Database::Impl* db = nullptr;
    TableInfo* table = nullptr;
    std::vector<int> columns;  // table columns, in the order named
    // INSERTs by the fields they assign (one bit per field named) and the records they add.
    std::map<std::pair<std::uint64_t, std::size_t>, sqlite3_stmt*> inserts;
    QByteArray scratch;  // bindText's

    std::uint64_t assignedOf(const std::vector<std::optional<Value>>& values) const {
        std::uint64_t assigned = 0;
        for (std::size_t i = 0; i < values.size() && i < columns.size(); ++i) {
            if (values[i])
                assigned |= std::uint64_t{1} << i;
        }
        return assigned;
    }

    // How many records one INSERT of addAll may add: several only when the keys SQLite gives
    // them are known to follow one another (AUTOINCREMENT, the key not among the fields, no
    // trigger that could add records of its own), and as many as SQLite's limit on parameters
    // allows.
    std::size_t recordsPerInsert() const {
        if (!table->autoIncrement || table->autoKey < 0 || columns.empty() ||
            std::find(columns.begin(), columns.end(), table->autoKey) != columns.end()) {
            return 1;
        }
        const QString triggers = QStringLiteral(
            "SELECT count(*) FROM sqlite_master WHERE type = 'trigger' AND tbl_name = ?1 COLLATE "
            "NOCASE");
        sqlite3_stmt* s = db->statement(triggers);
        StatementUse use(s);
        const QByteArray name = table->name.toUtf8();
        sqlite3_bind_text(s, 1, name.constData(), static_cast<int>(name.size()), SQLITE_STATIC);
        if (db->step(s, triggers) != SQLITE_ROW || sqlite3_column_int64(s, 0) != 0)
            return 1;
        const auto parameters =
            static_cast<std::size_t>(sqlite3_limit(db->db, SQLITE_LIMIT_VARIABLE_NUMBER, -1));
        return std::clamp<std::size_t>(parameters / columns.size(), 1, 128);
    }

    sqlite3_stmt* insertOf(std::uint64_t assigned, std::size_t records = 1) {
        const auto it = inserts.find({assigned, records});
        if (it != inserts.end())
            return it->second;
        QString sql;
        if (assigned == 0) {
            sql = QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quoteName(table->name));
        } else {
            QString names, marks;
            for (std::size_t i = 0; i < columns.size(); ++i) {
                if (!(assigned & (std::uint64_t{1} << i)))
                    continue;
                if (!names.isEmpty()) {
                    names += u',';
                    marks += u',';
                }
                names += quoteName(table->tableColumns[columns[i]].name);
                marks += u'?';
            }
            const QString record = u'(' + marks + u')';
            QStringList values;
            for (std::size_t i = 0; i < records; ++i)
                values << record;
            sql = QStringLiteral("INSERT INTO %1 (%2) VALUES %3")
                      .arg(quoteName(table->name), names, values.join(u','));
        }
        sqlite3_stmt* s = db->statement(sql);
        inserts.emplace(std::pair{assigned, records}, s);
        return s;
    }

    // Steps an INSERT that adds `records` records; returns the rowid of the last.
    std::int64_t run(sqlite3_stmt* s, std::size_t records) {
        const int rc = sqlite3_step(s);
        sqlite3_reset(s);
        if (rc != SQLITE_DONE)
            throwSqlite(db->db, rc, table->name);
        if (records > 1 && static_cast<std::size_t>(sqlite3_changes64(db->db)) != records) {
            throwError(
                errc::LedgerWriteFailed,
                QStringLiteral("The records could not all be added to %1.").arg(table->name));
        }
        return sqlite3_last_insert_rowid(db->db);
    }
};

TableAppender::TableAppender(std::unique_ptr<Impl> impl) : d_(std::move(impl)) {}
TableAppender::~TableAppender() = default;

std::int64_t TableAppender::add(const std::vector<std::optional<Value>>& values) {
    const TableInfo& t = *d_->table;
    const std::uint64_t assigned = d_->assignedOf(values);
    sqlite3_stmt* s = d_->insertOf(assigned);
    // Every parameter is bound again on each add, and text is bound as a copy, so the
    // statement is only reset; a value that cannot be converted stops before the step.
    int bound = 0;
    for (std::size_t i = 0; i < values.size() && i < d_->columns.size(); ++i) {
        if (!values[i])
            continue;
        const ColumnKind kind = t.tableColumns[d_->columns[i]].kind;
        bindValue(s, ++bound, convertFor(*values[i], kind), kind, d_->scratch);
    }
    return d_->run(s, 1);
}

std::vector<std::int64_t> TableAppender::addAll(
    std::size_t count,
    const std::function<void(std::size_t, std::vector<std::optional<Value>>&)>& fill) {
    const TableInfo& t = *d_->table;
    std::vector<std::int64_t> rowids;
    rowids.reserve(count);
    std::vector<std::optional<Value>> record(d_->columns.size());
    const std::size_t perInsert = d_->recordsPerInsert();
    if (perInsert <= 1) {
        for (std::size_t i = 0; i < count; ++i) {
            fill(i, record);
            rowids.push_back(add(record));
        }
        return rowids;
    }
    // The records waiting for their INSERT, all assigned the same fields: their values,
    // converted, one record after another.
    std::uint64_t assigned = 0;
    std::vector<ColumnKind> kinds;  // of the assigned fields
    std::vector<Value> waiting;
    std::size_t records = 0;
    // A full batch is one INSERT; fewer records (the fields changed, or the last of them) are
    // added one by one, so that only INSERTs of one and of a full batch are ever prepared.
    const auto flush = [&] {
        if (records == 0)
            return;
        const std::size_t perRecord = kinds.size();
        const std::size_t each = records == perInsert ? records : 1;
        sqlite3_stmt* s = d_->insertOf(assigned, each);
        for (std::size_t first = 0; first < records; first += each) {
            for (std::size_t k = 0; k < each * perRecord; ++k) {
                bindValue(s, static_cast<int>(k) + 1, waiting[first * perRecord + k],
                          kinds[k % perRecord], d_->scratch);
            }
            const std::int64_t last = d_->run(s, each);
            for (std::size_t k = each; k > 0; --k)
                rowids.push_back(last - static_cast<std::int64_t>(k) + 1);
        }
        waiting.clear();
        records = 0;
    };
    for (std::size_t i = 0; i < count; ++i) {
        fill(i, record);
        const std::uint64_t fields = d_->assignedOf(record);
        if (records > 0 && (fields != assigned || records == perInsert))
            flush();
        if (fields == 0) {
            rowids.push_back(add(record));
            continue;
        }
        if (records == 0) {
            assigned = fields;
            kinds.clear();
            for (std::size_t f = 0; f < d_->columns.size(); ++f) {
                if (record[f])
                    kinds.push_back(t.tableColumns[d_->columns[f]].kind);
            }
        }
        const std::size_t before = waiting.size();
        try {
            std::size_t bound = 0;
            for (std::size_t f = 0; f < d_->columns.size(); ++f) {
                if (!record[f])
                    continue;
                waiting.push_back(convertFor(*record[f], kinds[bound]));
                ++bound;
            }
        } catch (...) {
            // As add: the records before this one are added, this one is not.
            waiting.resize(before);
            flush();
            throw;
        }
        ++records;
    }
    flush();
    return rowids;
}

QStringList fieldNames(std::span<const FieldValue> record) {
    QStringList names;
    names.reserve(static_cast<qsizetype>(record.size()));
    for (const FieldValue& field : record)
        names << field.name;
    return names;
}

void takeValues(std::span<FieldValue> record, std::vector<std::optional<Value>>& values) {
    for (std::size_t i = 0; i < record.size(); ++i)
        values[i] = std::move(record[i].value);
}

std::unique_ptr<TableAppender> Database::openAppender(const QString& tableName,
                                                      const QStringList& fieldNames) {
    if (fieldNames.size() > 64)
        throwError(errc::SyntaxError, QStringLiteral("Too many fields to append."));
    auto a = std::make_unique<TableAppender::Impl>();
    a->db = d_.get();
    a->table = &d_->table(tableName);
    for (const QString& name : fieldNames) {
        const int column = a->table->tableSet.find(name);
        if (column < 0)
            itemNotFound();
        a->columns.push_back(column);
    }
    return std::unique_ptr<TableAppender>(new TableAppender(std::move(a)));
}

}  // namespace corvane::ledger
