// Index look-ups: one record by its key, or every record in key order, through statements that
// read and write only the fields named.

#include "platform/ledger/Engine.h"

#include <optional>

namespace corvane::ledger {

struct IndexLookup::Impl {
    struct Field {
        QString name;
        ColumnKind kind = ColumnKind::Other;
        sqlite3_stmt* update = nullptr;  // prepared on first write
        sqlite3_stmt* add = nullptr;     // a currency field: the find and the sum in one UPDATE
    };
    Database::Impl* db = nullptr;
    QString tableName;
    QString keyName;
    ColumnKind keyKind = ColumnKind::Other;
    std::vector<Field> fields;
    sqlite3_stmt* select = nullptr;   // rowid, then the fields, of the first record of a key
    sqlite3_stmt* scan = nullptr;     // the key and the fields of every record, in index order
    sqlite3_stmt* remove = nullptr;   // prepared on first removal
    sqlite3_stmt* between = nullptr;  // the key and the fields of the records of a key range
    sqlite3_stmt* each = nullptr;  // the key and the fields of the records of a JSON array of keys
    QString scanSql;
    QString eachSql;
    QString betweenSql;

    // The record's rowid and fields; nullopt when no record has the key.
    std::optional<std::int64_t> read(const Value& key, std::vector<Value>* values) {
        const Value k = convertFor(key, keyKind);
        if (k.isNull())
            return std::nullopt;
        StatementUse use(select);
        bindValue(select, 1, k);
        if (db->step(select, tableName) != SQLITE_ROW)
            return std::nullopt;
        if (values) {
            values->reserve(fields.size());
            for (std::size_t i = 0; i < fields.size(); ++i)
                values->push_back(readValue(select, static_cast<int>(i) + 1, fields[i].kind));
        }
        return sqlite3_column_int64(select, 0);
    }

    void findEach(
        const std::vector<std::int64_t>& keys,
        const std::function<void(std::int64_t key, const std::vector<Value>& fields)>& visit,
        bool asStored);

    // Writes one field of the record at `rowid`, converted as setField converts it.
    void write(std::int64_t rowid, Field& f, const Value& value) {
        if (!f.update) {
            // The statement a record set's edit of this one field prepares.
            f.update = db->statement(QStringLiteral("UPDATE %1 SET %2 = ? WHERE rowid = ?")
                                         .arg(quoteName(tableName), quoteName(f.name)));
        }
        StatementUse use(f.update);
        bindValue(f.update, 1, convertFor(value, f.kind), f.kind);
        sqlite3_bind_int64(f.update, 2, rowid);
        db->step(f.update, tableName);
    }
};

IndexLookup::IndexLookup(std::unique_ptr<Impl> impl) : d_(std::move(impl)) {}
IndexLookup::~IndexLookup() = default;

std::optional<std::vector<Value>> IndexLookup::find(const Value& key) {
    std::vector<Value> values;
    if (!d_->read(key, &values))
        return std::nullopt;
    return values;
}

void IndexLookup::forEach(
    const std::function<void(const Value& key, const std::vector<Value>& fields)>& visit) {
    if (!d_->scan)
        d_->scan = d_->db->statement(d_->scanSql);
    sqlite3_stmt* s = d_->scan;
    StatementUse use(s);
    std::vector<Value> values;
    while (d_->db->step(s, d_->tableName) == SQLITE_ROW) {
        values.clear();
        for (std::size_t i = 0; i < d_->fields.size(); ++i)
            values.push_back(readValue(s, static_cast<int>(i) + 1, d_->fields[i].kind));
        visit(readValue(s, 0, d_->keyKind), values);
    }
}

void IndexLookup::findEach(
    const std::vector<std::int64_t>& keys,
    const std::function<void(std::int64_t key, const std::vector<Value>& fields)>& visit) {
    d_->findEach(keys, visit, false);
}

void IndexLookup::findEachAsStored(
    const std::vector<std::int64_t>& keys,
    const std::function<void(std::int64_t key, const std::vector<Value>& fields)>& visit) {
    d_->findEach(keys, visit, true);
}

void IndexLookup::Impl::findEach(
    const std::vector<std::int64_t>& keys,
    const std::function<void(std::int64_t key, const std::vector<Value>& fields)>& visit,
    bool asStored) {
    if (keys.empty())
        return;
    if (!each)
        each = db->statement(eachSql);
    QByteArray json;
    json.reserve(static_cast<qsizetype>(keys.size()) * 9 + 2);
    json += '[';
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (i > 0)
            json += ',';
        json += QByteArray::number(static_cast<qlonglong>(keys[i]));
    }
    json += ']';
    sqlite3_stmt* s = each;
    StatementUse use(s);
    sqlite3_bind_text(s, 1, json.constData(), static_cast<int>(json.size()), SQLITE_STATIC);
    std::vector<Value> values;
    while (db->step(s, tableName) == SQLITE_ROW) {
        values.clear();
        for (std::size_t i = 0; i < fields.size(); ++i)
            values.push_back(readValue(s, static_cast<int>(i) + 1,
                                       asStored ? ColumnKind::Other : fields[i].kind));
        visit(sqlite3_column_int64(s, 0), values);
    }
}

void IndexLookup::forEachBetweenAsStored(
    std::int64_t from, std::int64_t to,
    const std::function<void(std::int64_t key, const std::vector<Value>& fields)>& visit) {
    if (!d_->between)
        d_->between = d_->db->statement(d_->betweenSql);
    sqlite3_stmt* s = d_->between;
    StatementUse use(s);
    sqlite3_bind_int64(s, 1, from);
    sqlite3_bind_int64(s, 2, to);
    std::vector<Value> values;
    while (d_->db->step(s, d_->tableName) == SQLITE_ROW) {
        values.clear();
        for (std::size_t i = 0; i < d_->fields.size(); ++i)
            values.push_back(readValue(s, static_cast<int>(i) + 1, ColumnKind::Other));
        visit(sqlite3_column_int64(s, 0), values);
    }
}

bool IndexLookup::addTo(const Value& key, int field, Currency change) {
    return addTo(key, field, std::vector<Currency>{change});
}

bool IndexLookup::addTo(const Value& key, int field, const std::vector<Currency>& changes) {
    Impl::Field& f = d_->fields.at(static_cast<std::size_t>(field));
    if (changes.empty())
        return d_->read(key, nullptr).has_value();
    if (f.kind == ColumnKind::Currency) {
        if (!f.add && !d_->db->addCurrencyRegistered) {
            d_->db->addCurrencyRegistered =
                sqlite3_create_function_v2(d_->db->db, "corvane_add_currency", 2, SQLITE_UTF8,
                                           nullptr, sqlAddCurrency, nullptr, nullptr,
                                           nullptr) == SQLITE_OK;
        }
        if (!f.add && d_->db->addCurrencyRegistered) {
            const QString table = quoteName(d_->tableName);
            const QString column = quoteName(f.name);
            const QString keyColumn = quoteName(d_->keyName);
            f.add = d_->db->statement(
                QStringLiteral("UPDATE %1 SET %2 = corvane_add_currency(%2, ?1) WHERE rowid = "
                               "(SELECT rowid FROM %1 WHERE %3 = ?2 ORDER BY %3, rowid LIMIT 1)")
                    .arg(table, column, keyColumn));
        }
        if (f.add) {
            const Value k = convertFor(key, d_->keyKind);
            if (k.isNull())
                return false;
            StatementUse use(f.add);
            if (changes.size() == 1) {
                sqlite3_bind_int64(f.add, 1, changes.front().units());
            } else {
                std::vector<std::int64_t> units;
                units.reserve(changes.size());
                for (const Currency c : changes)
                    units.push_back(c.units());
                sqlite3_bind_blob(f.add, 1, units.data(),
                                  static_cast<int>(units.size() * sizeof(std::int64_t)),
                                  SQLITE_TRANSIENT);
            }
            bindValue(f.add, 2, k);
            d_->db->step(f.add, d_->tableName);
            return sqlite3_changes(d_->db->db) > 0;
        }
    }
    // Any other field: read, add and written back once per change.
    for (const Currency change : changes) {
        std::vector<Value> values;
        const std::optional<std::int64_t> rowid = d_->read(key, &values);
        if (!rowid)
            return false;
        d_->write(*rowid, f,
                  Value::currency(values[static_cast<std::size_t>(field)].toCurrency() + change));
    }
    return true;
}

bool IndexLookup::remove(const Value& key) {
    const Value k = convertFor(key, d_->keyKind);
    if (k.isNull())
        return false;
    if (!d_->remove) {
        // The find and the removal in one statement, as addTo's sum.
        const QString table = quoteName(d_->tableName);
        const QString keyColumn = quoteName(d_->keyName);
        d_->remove = d_->db->statement(
            QStringLiteral("DELETE FROM %1 WHERE rowid = (SELECT rowid FROM %1 WHERE %2 = ?1 "
                           "ORDER BY %2, rowid LIMIT 1)")
                .arg(table, keyColumn));
    }
    StatementUse use(d_->remove);
    bindValue(d_->remove, 1, k);
    d_->db->step(d_->remove, d_->tableName);
    return sqlite3_changes(d_->db->db) > 0;
}

bool IndexLookup::set(const Value& key, int field, const Value& value) {
    Impl::Field& f = d_->fields.at(static_cast<std::size_t>(field));
    const std::optional<std::int64_t> rowid = d_->read(key, nullptr);
    if (!rowid)
        return false;
    d_->write(*rowid, f, value);
    return true;
}

std::unique_ptr<IndexLookup> Database::openLookup(const QString& tableName,
                                                  const QString& indexName,
                                                  const QStringList& fieldNames) {
    TableInfo& t = d_->table(tableName);
    const IndexInfo& index = d_->index(t, indexName);
    auto l = std::make_unique<IndexLookup::Impl>();
    l->db = d_.get();
    l->tableName = t.name;
    l->keyName = t.tableColumns[index.column].name;
    l->keyKind = t.tableColumns[index.column].kind;
    QString columns, qualified;
    for (const QString& name : fieldNames) {
        const int column = t.tableSet.find(name);
        if (column < 0)
            itemNotFound();
        const ResultColumn& c = t.tableColumns[column];
        l->fields.push_back({c.name, c.kind, nullptr});
        columns += QStringLiteral(", ") + quoteName(c.name);
        qualified += QStringLiteral(", %1.%2").arg(quoteName(t.name), quoteName(c.name));
    }
    const QString key = quoteName(t.tableColumns[index.column].name);
    l->scanSql = QStringLiteral("SELECT %1%2 FROM %3 ORDER BY %1, rowid")
                     .arg(key, columns, quoteName(t.name));
    // The keys' array is the outer loop, so that each key is one seek of the index.
    l->eachSql =
        QStringLiteral(
            "SELECT Keys.value%1 FROM json_each(?1) AS Keys CROSS JOIN %2 ON %2.%3 = Keys.value")
            .arg(qualified, quoteName(t.name), key);
    l->betweenSql = QStringLiteral("SELECT %1%2 FROM %3 WHERE %1 BETWEEN ?1 AND ?2")
                        .arg(key, columns, quoteName(t.name));
    l->select = d_->statement(
        QStringLiteral("SELECT rowid%1 FROM %2 WHERE %3 = ?1 ORDER BY %3, rowid LIMIT 1")
            .arg(columns, quoteName(t.name), key));
    return std::unique_ptr<IndexLookup>(new IndexLookup(std::move(l)));
}

}  // namespace corvane::ledger
