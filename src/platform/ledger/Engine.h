#pragma once

// The ledger engine's own parts, shared by its files: the kinds of columns and how values are
// read from and bound to SQLite (StoredValues.cpp), the SQL functions the program's queries use
// (SqlFunctions.cpp), what the connection knows of the schema (Database.cpp), record sets
// (Recordset.cpp), index look-ups (IndexLookup.cpp) and appenders (TableAppender.cpp). Nothing
// outside platform/ledger includes it.

#include "platform/ledger/Database.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

namespace corvane::ledger {

enum class ColumnKind { Integer, Currency, Text, Date, Other };

// --- Errors --------------------------------------------------------------------------------------

extern const QString kLockedMessage;

[[noreturn]] void throwError(int number, const QString& text);
[[noreturn]] void noCurrentRecord();
[[noreturn]] void itemNotFound();
[[noreturn]] void readOnly();
[[noreturn]] void conversionError();
// SQLITE_BUSY or SQLITE_LOCKED: another connection holds the file.
bool isBusy(int rc);
// The engine's error for a failed statement.
[[noreturn]] void throwSqlite(sqlite3* db, int rc, const QString& what);

// --- Values as SQLite stores them ----------------------------------------------------------------

// The kind of a column from its declared type (and the date columns by name).
ColumnKind kindOf(const char* declared, const QString& name);
QString columnText(sqlite3_stmt* s, int i);

// A field as read from a statement: its storage class and what the field's kind reads of it (a
// whole number, a double or UTF-8 text), turned into a Value by cellValue.
struct Cell {
    std::uint8_t type = SQLITE_NULL;
    bool hasText = false;    // in a stored row: the text is at offset
    std::uint32_t size = 0;  // text bytes
    union {
        std::int64_t integer = 0;
        double real;
        std::uint32_t offset;  // of the text, in a stored row's texts
    };
};

// Reads field i of the current row for a column of `kind`; returns the text, if any (owned by the
// statement until it moves on).
const char* readCell(sqlite3_stmt* s, int i, ColumnKind kind, Cell* cell);
Value cellValue(const Cell& cell, const char* text, ColumnKind kind);
Value readValue(sqlite3_stmt* s, int i, ColumnKind kind);

// A value assigned to a column takes the column's kind (3421 when it cannot).
Value convertFor(const Value& v, ColumnKind kind);
// "yyyy-MM-dd" of a valid date: the text a date at midnight is stored as.
bool isStoredDateText(const QString& text);
// Binds text as UTF-8 (as QString::toUtf8 encodes it), copied by SQLite; `scratch` is a buffer the
// caller keeps across calls.
void bindText(sqlite3_stmt* s, int index, QStringView text, QByteArray& scratch);
// Binds a value as the column of `kind` stores it.
void bindValue(sqlite3_stmt* s, int index, const Value& v, ColumnKind kind, QByteArray& scratch);
void bindValue(sqlite3_stmt* s, int index, const Value& v, ColumnKind kind = ColumnKind::Other);
QString quoteName(const QString& name);

// --- SQL functions -------------------------------------------------------------------------------

// corvane_val, corvane_left, corvane_right, corvane_mid and corvane_nz, for the translated Jet SQL.
void registerFunctions(sqlite3* db);
// corvane_add_currency(x, changes), registered by the look-ups that add to a currency field.
void sqlAddCurrency(sqlite3_context* ctx, int argc, sqlite3_value** argv);

// --- Statements and the schema -------------------------------------------------------------------

// Resets a statement after use so that it holds no read or write lock.
class StatementUse {
public:
    explicit StatementUse(sqlite3_stmt* s) : s_(s) {}
    ~StatementUse() {
        sqlite3_reset(s_);
        sqlite3_clear_bindings(s_);
    }
    StatementUse(const StatementUse&) = delete;
    StatementUse& operator=(const StatementUse&) = delete;

private:
    sqlite3_stmt* s_;
};

// A column of a record set: where it comes from and how it reads and writes.
struct ResultColumn {
    QString name;
    ColumnKind kind = ColumnKind::Other;
    int base = -1;         // the table (of the set's bases) it can be written back to
    int tableColumn = -1;  // its position in that table
    bool hidden = false;   // a rowid column of the set's own
};

struct ColumnSet {
    std::vector<ResultColumn> columns;
    QHash<QString, int> byName;   // lower-case "field" and "table.field"
    QHash<QString, int> byExact;  // "field" as the table spells it (the usual case, no lowering)

    void add(ResultColumn column, const QString& table) {
        const int index = static_cast<int>(columns.size());
        if (!column.hidden) {
            const QString lower = column.name.toLower();
            if (!byName.contains(lower))
                byName.insert(lower, index);
            if (!byExact.contains(column.name))
                byExact.insert(column.name, index);
            if (!table.isEmpty()) {
                const QString qualified = table.toLower() + u'.' + lower;
                if (!byName.contains(qualified))
                    byName.insert(qualified, index);
            }
        }
        columns.push_back(std::move(column));
    }
    int find(const QString& name) const {
        const auto exact = byExact.constFind(name);
        if (exact != byExact.constEnd())
            return exact.value();
        const QString lower = name.toLower();
        const auto it = byName.constFind(lower);
        if (it != byName.constEnd())
            return it.value();
        // "Table.Field" where the set knows the field only by its own name.
        const qsizetype dot = lower.lastIndexOf(u'.');
        if (dot >= 0)
            return byName.value(lower.mid(dot + 1), -1);
        return -1;
    }
};

struct IndexInfo {
    QString name;
    int column = -1;  // position in the table
    QString seekSql;
    QString orderSql;
};

struct TableInfo {
    QString name;
    std::vector<ResultColumn> tableColumns;  // the table's own columns, in order
    ColumnSet tableSet;                      // the same, by name
    ColumnSet rowSet;                        // a hidden rowid, then the table's columns
    int autoKey = -1;
    bool autoIncrement = false;
    QString selectByRowid;
    QHash<QString, IndexInfo> indexes;  // by lower-case name, found on first use
    // INSERT and UPDATE statements by the columns they write (two bytes per column position).
    QHash<QByteArray, sqlite3_stmt*> inserts;
    QHash<QByteArray, sqlite3_stmt*> updates;
};

struct Database::Impl {
    sqlite3* db = nullptr;
    QString path;
    bool addCurrencyRegistered = false;  // corvane_add_currency, made on first use
    QHash<QString, sqlite3_stmt*> statements;
    std::unordered_map<QString, std::unique_ptr<TableInfo>> tables;  // by lower-case name

    ~Impl() {
        for (sqlite3_stmt* s : std::as_const(statements))
            sqlite3_finalize(s);
        if (db)
            sqlite3_close_v2(db);
    }

    // A prepared statement for an SQL text, prepared once per connection.
    sqlite3_stmt* statement(const QString& sql, const QString& what = {}) {
        const auto it = statements.constFind(sql);
        if (it != statements.constEnd())
            return it.value();
        sqlite3_stmt* s = nullptr;
        const QByteArray utf8 = sql.toUtf8();
        const int rc = sqlite3_prepare_v3(db, utf8.constData(), static_cast<int>(utf8.size()),
                                          SQLITE_PREPARE_PERSISTENT, &s, nullptr);
        if (rc != SQLITE_OK || !s) {
            sqlite3_finalize(s);
            throwSqlite(db, rc == SQLITE_OK ? SQLITE_ERROR : rc, what.isEmpty() ? sql : what);
        }
        statements.insert(sql, s);
        return s;
    }

    // A statement for one use (texts that are rarely the same twice, such as finds); finalized
    // by the caller.
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> prepareOnce(const QString& sql,
                                                                      const QString& what) {
        sqlite3_stmt* s = nullptr;
        const QByteArray utf8 = sql.toUtf8();
        const int rc =
            sqlite3_prepare_v2(db, utf8.constData(), static_cast<int>(utf8.size()), &s, nullptr);
        if (rc != SQLITE_OK || !s) {
            sqlite3_finalize(s);
            throwSqlite(db, rc == SQLITE_OK ? SQLITE_ERROR : rc, what);
        }
        return {s, sqlite3_finalize};
    }

    int step(sqlite3_stmt* s, const QString& what) {
        const int rc = sqlite3_step(s);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
            sqlite3_reset(s);
            throwSqlite(db, rc, what);
        }
        return rc;
    }

    void exec(const char* sql) {
        const int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            throwSqlite(db, rc, QString::fromLatin1(sql));
    }

    // The table's columns and keys, read from the schema once (3078 when there is no such table).
    TableInfo& table(const QString& name);
    // An index of the table by its name, or Jet's "PrimaryKey" (3800 when there is none).
    const IndexInfo& index(TableInfo& t, const QString& indexName);
};

}  // namespace corvane::ledger
