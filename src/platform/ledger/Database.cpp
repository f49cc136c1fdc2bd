#include "platform/ledger/Database.h"

#include "platform/Error.h"
#include "platform/ledger/DateText.h"
#include "platform/ledger/JetSql.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

namespace corvane::ledger {
namespace {

enum class ColumnKind { Integer, Currency, Text, Date, Other };

const QString kLockedMessage = QStringLiteral(
    "The ledger is in use by another program (Lodgebook). Nothing was written; try again when it "
    "is free.");

// SQLite keeps no count of the memory it uses: the count takes a lock on every allocation, and a
// posting run's tens of thousands of statements spent a tenth of their time there. It has to be
// said before SQLite starts, so before main (the posting journal opens its file with it too).
const bool kMemoryCountOff = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0) == SQLITE_OK;

[[noreturn]] void throwError(int number, const QString& text) {
    throw Error(number, text);
}

[[noreturn]] void noCurrentRecord() {
    throwError(errc::NoCurrentRecord, QStringLiteral("No current record."));
}

[[noreturn]] void itemNotFound() {
    throwError(errc::ItemNotFound, QStringLiteral("Item not found in this collection."));
}

[[noreturn]] void readOnly() {
    throwError(3027, QStringLiteral("Cannot update. Database or object is read-only."));
}

bool isBusy(int rc) {
    const int primary = rc & 0xff;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

// The engine's error for a failed statement.
[[noreturn]] void throwSqlite(sqlite3* db, int rc, const QString& what) {
    const int primary = rc & 0xff;
    const QString message = QString::fromUtf8(sqlite3_errmsg(db));
    if (isBusy(rc))
        throwError(errc::LedgerLocked, kLockedMessage);
    if (primary == SQLITE_CONSTRAINT) {
        if (rc == SQLITE_CONSTRAINT_NOTNULL) {
            throwError(3314,
                       QStringLiteral("A field of this record cannot be empty (%1).").arg(message));
        }
        throwError(3022, QStringLiteral("The record was not saved: it would create a duplicate "
                                        "value in the table's key or index (%1).")
                             .arg(message));
    }
    if (primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB) {
        throwError(errc::UnrecognizedDatabaseFormat,
                   QStringLiteral("The ledger file is damaged (%1).").arg(message));
    }
    if (primary == SQLITE_READONLY || primary == SQLITE_FULL || primary == SQLITE_IOERR ||
        primary == SQLITE_CANTOPEN || primary == SQLITE_PERM) {
        throwError(errc::LedgerWriteFailed,
                   QStringLiteral("The ledger could not be written (%1).").arg(message));
    }
    if (message.contains(QLatin1String("no such table"))) {
        throwError(3078,
                   QStringLiteral("Could not find the table or query named in '%1'.").arg(what));
    }
    if (message.contains(QLatin1String("no such column"))) {
        throwError(3061, QStringLiteral("Unknown field name in '%1' (%2).").arg(what, message));
    }
    throwError(errc::SyntaxError,
               QStringLiteral("Syntax error in query expression '%1' (%2).").arg(what, message));
}

ColumnKind kindOf(const char* declared, const QString& name) {
    const QByteArray type = QByteArray(declared ? declared : "").toUpper();
    if (type.contains("DATE") ||
        name.compare(QLatin1String("TransDate"), Qt::CaseInsensitive) == 0 ||
        name.compare(QLatin1String("CkDate"), Qt::CaseInsensitive) == 0) {
        if (type.isEmpty() || type.contains("TEXT") || type.contains("CHAR") ||
            type.contains("DATE")) {
            return ColumnKind::Date;
        }
    }
    if (type.contains("INT"))
        return ColumnKind::Integer;
    if (type.contains("CHAR") || type.contains("CLOB") || type.contains("TEXT"))
        return ColumnKind::Text;
    if (type.contains("REAL") || type.contains("FLOA") || type.contains("DOUB") ||
        type.contains("CURRENCY") || type.contains("MONEY")) {
        return ColumnKind::Currency;
    }
    return ColumnKind::Other;
}

QString columnText(sqlite3_stmt* s, int i) {
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(s, i)),
                             sqlite3_column_bytes(s, i));
}

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
const char* readCell(sqlite3_stmt* s, int i, ColumnKind kind, Cell* cell) {
    const int type = sqlite3_column_type(s, i);
    cell->type = static_cast<std::uint8_t>(type);
    if (type == SQLITE_NULL)
        return nullptr;
    const bool number = type == SQLITE_INTEGER || type == SQLITE_FLOAT;
    if ((kind == ColumnKind::Integer || kind == ColumnKind::Other) && type == SQLITE_INTEGER) {
        cell->integer = sqlite3_column_int64(s, i);
        return nullptr;
    }
    if ((kind == ColumnKind::Integer || kind == ColumnKind::Other) && type == SQLITE_FLOAT) {
        cell->real = sqlite3_column_double(s, i);
        return nullptr;
    }
    if (kind == ColumnKind::Currency && number) {
        cell->real = sqlite3_column_double(s, i);
        return nullptr;
    }
    const char* text = reinterpret_cast<const char*>(sqlite3_column_text(s, i));
    cell->size = static_cast<std::uint32_t>(sqlite3_column_bytes(s, i));
    return text;
}

// The Value of a cell for a column of `kind` (`text` is the cell's text, if any).
Value cellValue(const Cell& cell, const char* text, ColumnKind kind) {
    const int type = cell.type;
    if (type == SQLITE_NULL)
        return {};
    const auto asText = [&] { return QString::fromUtf8(text, static_cast<qsizetype>(cell.size)); };
    switch (kind) {
        case ColumnKind::Integer:
            if (type == SQLITE_INTEGER)
                return Value::integer(cell.integer);
            if (type == SQLITE_FLOAT)
                return Value::integer(Value::number(cell.real).toInteger());
            return Value::text(asText());
        case ColumnKind::Currency:
            if (type == SQLITE_INTEGER || type == SQLITE_FLOAT)
                return Value::currency(Currency::fromDouble(cell.real));
            if (const auto c = Currency::fromText(asText()))
                return Value::currency(*c);
            return Value::text(asText());
        case ColumnKind::Text:
            return Value::text(asText());
        case ColumnKind::Date: {
            const QString t = asText();
            if (type == SQLITE_TEXT && t.size() >= 10 && t[4] == u'-') {
                const QDateTime date = parseDateText(t);
                if (date.isValid())
                    return Value::date(date);
            }
            return Value::text(t);
        }
        case ColumnKind::Other:
            break;
    }
    switch (type) {
        case SQLITE_INTEGER:
            return Value::integer(cell.integer);
        case SQLITE_FLOAT:
            return Value::number(cell.real);
        default:
            return Value::text(asText());
    }
}

Value readValue(sqlite3_stmt* s, int i, ColumnKind kind) {
    Cell cell;
    const char* text = readCell(s, i, kind, &cell);
    return cellValue(cell, text, kind);
}

[[noreturn]] void conversionError() {
    throwError(errc::DataTypeConversion, QStringLiteral("Data type conversion error."));
}

// A value assigned to a column takes the column's kind.
Value convertFor(const Value& v, ColumnKind kind) {
    if (v.isNull())
        return v;
    switch (kind) {
        case ColumnKind::Integer:
            switch (v.kind()) {
                case Value::Kind::Text: {
                    const QString t = v.toText().trimmed();
                    bool ok = false;
                    const qlonglong whole = t.toLongLong(&ok);
                    if (ok)
                        return Value::integer(whole);
                    const auto c = Currency::fromText(t);
                    if (!c)
                        conversionError();
                    return Value::integer(c->roundedToWhole());
                }
                case Value::Kind::Number: {
                    if (!std::isfinite(v.toNumber()))
                        conversionError();
                    return Value::integer(v.toInteger());
                }
                default:
                    return Value::integer(v.toInteger());
            }
        case ColumnKind::Currency:
            switch (v.kind()) {
                case Value::Kind::Text: {
                    const auto c = Currency::fromText(v.toText());
                    if (!c)
                        conversionError();
                    return Value::currency(*c);
                }
                case Value::Kind::Number:
                    if (!std::isfinite(v.toNumber()))
                        conversionError();
                    return Value::currency(v.toCurrency());
                default:
                    return Value::currency(v.toCurrency());
            }
        case ColumnKind::Text:
            return Value::text(v.toText());
        case ColumnKind::Date: {
            if (v.kind() == Value::Kind::Date)
                return v;
            // Text stays the text assigned; it is stored as ISO when it reads as a date.
            if (v.kind() == Value::Kind::Text)
                return v;
            const QDateTime d = v.toDate();
            if (d.isValid())
                return Value::date(d);
            conversionError();
        }
        case ColumnKind::Other:
            return v;
    }
    return v;
}

// "yyyy-MM-dd" of a valid date: the text a date at midnight is stored as.
bool isStoredDateText(const QString& text) {
    if (text.size() != 10 || text[4] != u'-' || text[7] != u'-')
        return false;
    for (const int i : {0, 1, 2, 3, 5, 6, 8, 9}) {
        if (text[i] < u'0' || text[i] > u'9')
            return false;
    }
    const auto number = [&](int from, int length) {
        int value = 0;
        for (int i = from; i < from + length; ++i)
            value = value * 10 + (text[i].unicode() - u'0');
        return value;
    };
    return number(0, 4) >= 100 && QDate(number(0, 4), number(5, 2), number(8, 2)).isValid();
}

// Binds text as UTF-8 (as QString::toUtf8 encodes it), copied by SQLite. ASCII, the usual text,
// is narrowed in `scratch`, which the caller keeps across calls so that binding needs no
// allocation of its own.
void bindText(sqlite3_stmt* s, int index, QStringView text, QByteArray& scratch) {
    scratch.resize(text.size());
    char* out = scratch.data();
    for (const QChar c : text) {
        if (c.unicode() >= 0x80) {
            const QByteArray utf8 = text.toUtf8();
            sqlite3_bind_text(s, index, utf8.constData(), static_cast<int>(utf8.size()),
                              SQLITE_TRANSIENT);
            return;
        }
        *out++ = static_cast<char>(c.unicode());
    }
    sqlite3_bind_text(s, index, scratch.constData(), static_cast<int>(text.size()),
                      SQLITE_TRANSIENT);
}

// Binds a value as the column of `kind` stores it; `scratch` as bindText's.
void bindValue(sqlite3_stmt* s, int index, const Value& v, ColumnKind kind, QByteArray& scratch) {
    if (kind == ColumnKind::Date && v.kind() == Value::Kind::Text) {
        // The stored form of a date at midnight is stored as it is.
        const QString text = v.toText();
        if (isStoredDateText(text)) {
            bindText(s, index, text, scratch);
            return;
        }
        const auto parts = parseDateParts(text);
        bindText(s, index, parts ? isoDateText(*parts) : text, scratch);
        return;
    }
    switch (v.kind()) {
        case Value::Kind::Null:
            sqlite3_bind_null(s, index);
            break;
        case Value::Kind::Integer:
            sqlite3_bind_int64(s, index, v.toInteger());
            break;
        case Value::Kind::Number:
        case Value::Kind::Currency:
            sqlite3_bind_double(s, index, v.toNumber());
            break;
        case Value::Kind::Date:
            bindText(s, index, isoDateText(v.toDate()), scratch);
            break;
        case Value::Kind::Text:
            bindText(s, index, v.toText(), scratch);
            break;
    }
}

void bindValue(sqlite3_stmt* s, int index, const Value& v, ColumnKind kind = ColumnKind::Other) {
    QByteArray scratch;
    bindValue(s, index, v, kind, scratch);
}

QString quoteName(const QString& name) {
    QString q = name;
    q.replace(u'"', QStringLiteral("\"\""));
    return u'"' + q + u'"';
}

// --- SQL functions with the meaning the program's queries give them -------------------------

QString argText(sqlite3_value* v) {
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(v)),
                             sqlite3_value_bytes(v));
}

void resultText(sqlite3_context* ctx, const QString& text) {
    const QByteArray t = text.toUtf8();
    sqlite3_result_text(ctx, t.constData(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
}

// Val(x): a number stays a number; text gives its leading-number value.
void sqlVal(sqlite3_context* ctx, int, sqlite3_value** argv) {
    switch (sqlite3_value_type(argv[0])) {
        case SQLITE_NULL:
            sqlite3_result_null(ctx);
            return;
        case SQLITE_INTEGER:
            sqlite3_result_int64(ctx, sqlite3_value_int64(argv[0]));
            return;
        case SQLITE_FLOAT:
            sqlite3_result_double(ctx, sqlite3_value_double(argv[0]));
            return;
        default:
            break;
    }
    const QString text = argText(argv[0]);
    const QStringView prefix = decimalPrefix(text);
    if (prefix.isEmpty()) {
        sqlite3_result_int64(ctx, 0);
        return;
    }
    bool ok = false;
    const qlonglong whole = prefix.toLongLong(&ok);
    if (ok) {
        sqlite3_result_int64(ctx, whole);
        return;
    }
    sqlite3_result_double(ctx, prefix.toDouble());
}

bool lengthArg(sqlite3_context* ctx, sqlite3_value* v, qsizetype* out) {
    const double n = sqlite3_value_double(v);
    if (sqlite3_value_type(v) == SQLITE_NULL || n < 0 || !std::isfinite(n)) {
        sqlite3_result_error(ctx, "Invalid procedure call or argument", -1);
        return false;
    }
    *out = static_cast<qsizetype>(std::min(n, 1e9));
    return true;
}

void sqlLeft(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    qsizetype n = 0;
    if (lengthArg(ctx, argv[1], &n))
        resultText(ctx, argText(argv[0]).left(n));
}

void sqlRight(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    qsizetype n = 0;
    if (lengthArg(ctx, argv[1], &n))
        resultText(ctx, argText(argv[0]).right(n));
}

void sqlMid(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    qsizetype start = 0;
    if (!lengthArg(ctx, argv[1], &start))
        return;
    if (start < 1) {
        sqlite3_result_error(ctx, "Invalid procedure call or argument", -1);
        return;
    }
    qsizetype n = -1;
    if (argc > 2 && !lengthArg(ctx, argv[2], &n))
        return;
    resultText(ctx, argText(argv[0]).mid(start - 1, n));
}

void sqlNz(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) != SQLITE_NULL)
        return sqlite3_result_value(ctx, argv[0]);
    if (argc > 1)
        return sqlite3_result_value(ctx, argv[1]);
    sqlite3_result_text(ctx, "", 0, SQLITE_STATIC);
}

// corvane_add_currency(x, changes): a currency field with changes added in turn, as a record set
// reads, adds and writes back each one: the stored value read as currency (Null as 0, text by
// its number or leading number), each exact sum written as a double and read back from it. The
// changes are ten-thousandths: one integer, or a blob of native 64-bit integers.
void sqlAddCurrency(sqlite3_context* ctx, int, sqlite3_value** argv) {
    Currency current;
    switch (sqlite3_value_type(argv[0])) {
        case SQLITE_NULL:
            break;
        case SQLITE_INTEGER:
        case SQLITE_FLOAT:
            current = Currency::fromDouble(sqlite3_value_double(argv[0]));
            break;
        default: {
            const QString text = argText(argv[0]);
            const auto exact = Currency::fromText(text);
            current = exact ? *exact : Currency::leadingValue(text);
            break;
        }
    }
    std::vector<std::int64_t> changes;
    if (sqlite3_value_type(argv[1]) == SQLITE_BLOB) {
        changes.resize(static_cast<std::size_t>(sqlite3_value_bytes(argv[1])) /
                       sizeof(std::int64_t));
        if (!changes.empty())
            std::memcpy(changes.data(), sqlite3_value_blob(argv[1]),
                        changes.size() * sizeof(std::int64_t));
    } else {
        changes.push_back(sqlite3_value_int64(argv[1]));
    }
    double written = current.toDouble();
    for (std::size_t i = 0; i < changes.size(); ++i) {
        if (i > 0)
            current = Currency::fromDouble(written);
        written = (current + Currency::fromUnits(changes[i])).toDouble();
    }
    sqlite3_result_double(ctx, written);
}

void registerFunctions(sqlite3* db) {
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    sqlite3_create_function_v2(db, "corvane_val", 1, flags, nullptr, sqlVal, nullptr, nullptr,
                               nullptr);
    sqlite3_create_function_v2(db, "corvane_left", 2, flags, nullptr, sqlLeft, nullptr, nullptr,
                               nullptr);
    sqlite3_create_function_v2(db, "corvane_right", 2, flags, nullptr, sqlRight, nullptr, nullptr,
                               nullptr);
    sqlite3_create_function_v2(db, "corvane_mid", 2, flags, nullptr, sqlMid, nullptr, nullptr,
                               nullptr);
    sqlite3_create_function_v2(db, "corvane_mid", 3, flags, nullptr, sqlMid, nullptr, nullptr,
                               nullptr);
    sqlite3_create_function_v2(db, "corvane_nz", 1, flags, nullptr, sqlNz, nullptr, nullptr,
                               nullptr);
    sqlite3_create_function_v2(db, "corvane_nz", 2, flags, nullptr, sqlNz, nullptr, nullptr,
                               nullptr);
}

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

}  // namespace

// --- Schema -------------------------------------------------------------------------------------

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

    TableInfo& table(const QString& name) {
        const QString key = name.toLower();
        const auto it = tables.find(key);
        if (it != tables.end())
            return *it->second;
        auto info = std::make_unique<TableInfo>();
        sqlite3_stmt* s = statement(QStringLiteral(
            "SELECT name, sql FROM sqlite_master WHERE type IN ('table','view') AND name = ?1 "
            "COLLATE NOCASE"));
        {
            StatementUse use(s);
            const QByteArray n = name.toUtf8();
            sqlite3_bind_text(s, 1, n.constData(), static_cast<int>(n.size()), SQLITE_TRANSIENT);
            if (step(s, name) != SQLITE_ROW) {
                throwError(3078, QStringLiteral("Could not find the table '%1'.").arg(name));
            }
            info->name = columnText(s, 0);
            info->autoIncrement =
                columnText(s, 1).contains(QLatin1String("AUTOINCREMENT"), Qt::CaseInsensitive);
        }
        sqlite3_stmt* cols =
            statement(QStringLiteral("SELECT name, type, pk FROM pragma_table_info(?1)"));
        int pkCount = 0;
        int pkColumn = -1;
        {
            StatementUse use(cols);
            const QByteArray n = info->name.toUtf8();
            sqlite3_bind_text(cols, 1, n.constData(), static_cast<int>(n.size()), SQLITE_TRANSIENT);
            while (step(cols, name) == SQLITE_ROW) {
                ResultColumn c;
                c.name = columnText(cols, 0);
                const QByteArray type = columnText(cols, 1).toUtf8();
                c.kind = kindOf(type.constData(), c.name);
                c.base = 0;
                c.tableColumn = static_cast<int>(info->tableColumns.size());
                if (sqlite3_column_int(cols, 2) > 0) {
                    ++pkCount;
                    if (type.toUpper() == "INTEGER")
                        pkColumn = c.tableColumn;
                }
                info->tableColumns.push_back(c);
            }
        }
        if (pkCount == 1)
            info->autoKey = pkColumn;
        ResultColumn rowid;
        rowid.name = QStringLiteral("rowid");
        rowid.kind = ColumnKind::Integer;
        rowid.hidden = true;
        info->rowSet.add(rowid, {});
        for (const ResultColumn& c : info->tableColumns) {
            info->tableSet.add(c, info->name);
            info->rowSet.add(c, info->name);
        }
        info->selectByRowid =
            QStringLiteral("SELECT rowid, * FROM %1 WHERE rowid = ?1").arg(quoteName(info->name));
        TableInfo& ref = *info;
        tables.emplace(key, std::move(info));
        return ref;
    }

    const IndexInfo& index(TableInfo& t, const QString& indexName) {
        const QString key = indexName.toLower();
        const auto it = t.indexes.constFind(key);
        if (it != t.indexes.constEnd())
            return it.value();
        sqlite3_stmt* s = statement(QStringLiteral(
            "SELECT ii.name FROM sqlite_master m, pragma_index_info(m.name) ii WHERE "
            "m.type = 'index' AND m.name = ?1 COLLATE NOCASE AND m.tbl_name = ?2 COLLATE NOCASE "
            "ORDER BY ii.seqno LIMIT 1"));
        IndexInfo info;
        {
            StatementUse use(s);
            const QByteArray n = indexName.toUtf8();
            const QByteArray tn = t.name.toUtf8();
            sqlite3_bind_text(s, 1, n.constData(), static_cast<int>(n.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(s, 2, tn.constData(), static_cast<int>(tn.size()), SQLITE_TRANSIENT);
            if (step(s, indexName) == SQLITE_ROW) {
                const int column = t.tableSet.find(columnText(s, 0));
                info.column = column;
            }
        }
        // Jet's name for the index of a table's primary key (its auto-number key here).
        if (info.column < 0 && key == QLatin1String("primarykey"))
            info.column = t.autoKey;
        if (info.column < 0) {
            throwError(3800, QStringLiteral("'%1' is not an index in this table.").arg(indexName));
        }
        info.name = indexName;
        const QString table = quoteName(t.name);
        const QString column = quoteName(t.tableColumns[info.column].name);
        info.seekSql =
            QStringLiteral("SELECT rowid, * FROM %1 WHERE %2 = ?1 ORDER BY %2, rowid LIMIT 1")
                .arg(table, column);
        info.orderSql =
            QStringLiteral("SELECT rowid, * FROM %1 ORDER BY %2, rowid").arg(table, column);
        return t.indexes.insert(key, info).value();
    }
};

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

// --- Index look-ups -----------------------------------------------------------------------------

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
    sqlite3_stmt* select = nullptr;  // rowid, then the fields, of the first record of a key
    sqlite3_stmt* scan = nullptr;    // the key and the fields of every record, in index order
    sqlite3_stmt* remove = nullptr;  // prepared on first removal
    QString scanSql;

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

// --- Appending ----------------------------------------------------------------------------------

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

namespace {

// Whether a value assigned to a column of `kind` is stored as it is (convertFor would copy it).
bool storedAsIs(const Value& v, ColumnKind kind) {
    switch (kind) {
        case ColumnKind::Integer:
            return v.kind() == Value::Kind::Integer || v.isNull();
        case ColumnKind::Currency:
            return v.kind() == Value::Kind::Currency || v.isNull();
        case ColumnKind::Text:
            return v.kind() == Value::Kind::Text || v.isNull();
        case ColumnKind::Date:
            return v.kind() == Value::Kind::Date || v.kind() == Value::Kind::Text || v.isNull();
        case ColumnKind::Other:
            return true;
    }
    return false;
}

}  // namespace

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
        const Value& value = *values[i];
        ++bound;
        if (storedAsIs(value, kind))
            bindValue(s, bound, value, kind, d_->scratch);
        else
            bindValue(s, bound, convertFor(value, kind), kind, d_->scratch);
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
                const Value& value = *record[f];
                const ColumnKind kind = kinds[bound++];
                waiting.push_back(storedAsIs(value, kind) ? value : convertFor(value, kind));
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

// --- Database -----------------------------------------------------------------------------------

Database::Database(std::unique_ptr<Impl> impl) : d_(std::move(impl)) {}
Database::~Database() = default;

std::unique_ptr<Database> Database::open(const QString& path, int busyTimeoutMs) {
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists()) {
        throwError(errc::LedgerFileNotFound, QStringLiteral("Could not find file '%1'.").arg(path));
    }
    const QString unrecognized = QStringLiteral("Unrecognized database format '%1'.").arg(path);
    if (!info.isFile())
        throwError(errc::UnrecognizedDatabaseFormat, unrecognized);
    {
        // An SQLite file starts with its header text; an empty file is not a ledger.
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            throwError(errc::PermissionDenied,
                       QStringLiteral("Permission denied: '%1'.").arg(path));
        }
        if (file.read(16) != QByteArray("SQLite format 3\0", 16)) {
            throwError(errc::UnrecognizedDatabaseFormat, unrecognized);
        }
    }
    auto impl = std::make_unique<Impl>();
    impl->path = path;
    const QByteArray file = path.toUtf8();
    // Never SQLITE_OPEN_CREATE; one thread uses the connection, so it needs no mutex.
    const int rc = sqlite3_open_v2(file.constData(), &impl->db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    // The ledger's journal lives beside it, so a file or folder that cannot be written makes
    // an otherwise good ledger unreadable too: that is said, rather than a wrong format.
    const auto refuseReadOnly = [&] {
        if (!info.isWritable() || !QFileInfo(info.absolutePath()).isWritable()) {
            throwError(errc::LedgerWriteFailed,
                       QStringLiteral("Cannot open the ledger file '%1': the file or its folder is "
                                      "read-only, and Corvane must be able to write there.")
                           .arg(path));
        }
    };
    if (rc != SQLITE_OK) {
        refuseReadOnly();
        if ((rc & 0xff) == SQLITE_CANTOPEN) {
            throwError(errc::LedgerFileNotFound,
                       QStringLiteral("Could not find file '%1'.").arg(path));
        }
        throwError(errc::UnrecognizedDatabaseFormat, unrecognized);
    }
    sqlite3_extended_result_codes(impl->db, 1);
    sqlite3_busy_timeout(impl->db, busyTimeoutMs);
    // Keep a whole ledger of 100,000 tenants in memory (the default is 2 MB).
    sqlite3_exec(impl->db, "PRAGMA cache_size = -65536", nullptr, nullptr, nullptr);
    // Reading the schema proves that the file is a readable database.
    sqlite3_stmt* s = nullptr;
    int check = sqlite3_prepare_v2(impl->db, "SELECT count(*) FROM sqlite_master", -1, &s, nullptr);
    if (check == SQLITE_OK)
        check = sqlite3_step(s);
    sqlite3_finalize(s);
    if (check != SQLITE_ROW) {
        if (isBusy(check))
            throwError(errc::LedgerLocked, kLockedMessage);
        refuseReadOnly();
        throwError(errc::UnrecognizedDatabaseFormat, unrecognized);
    }
    registerFunctions(impl->db);
    return std::unique_ptr<Database>(new Database(std::move(impl)));
}

const QString& Database::path() const {
    return d_->path;
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

void Database::beginImmediate() {
    if (inTransaction()) {
        throwError(3003, QStringLiteral("Could not start a transaction: one is already open."));
    }
    d_->exec("BEGIN IMMEDIATE");
}

void Database::commit() {
    if (!inTransaction()) {
        throwError(3034, QStringLiteral("Commit or rollback without a transaction."));
    }
    d_->exec("COMMIT");
}

void Database::rollback() {
    if (!inTransaction()) {
        throwError(3034, QStringLiteral("Commit or rollback without a transaction."));
    }
    d_->exec("ROLLBACK");
}

bool Database::inTransaction() const {
    return sqlite3_get_autocommit(d_->db) == 0;
}

Database::ContentMark Database::contentMark() {
    const QString sql = QStringLiteral("PRAGMA data_version");
    sqlite3_stmt* s = d_->statement(sql);
    StatementUse use(s);
    ContentMark mark;
    if (d_->step(s, sql) == SQLITE_ROW)
        mark.others = sqlite3_column_int64(s, 0);
    mark.own = sqlite3_total_changes64(d_->db);
    return mark;
}

bool Database::beginRead() {
    if (inTransaction())
        return false;
    d_->exec("BEGIN");
    return true;
}

void Database::endRead() {
    if (inTransaction())
        d_->exec("COMMIT");
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
    QString columns;
    for (const QString& name : fieldNames) {
        const int column = t.tableSet.find(name);
        if (column < 0)
            itemNotFound();
        const ResultColumn& c = t.tableColumns[column];
        l->fields.push_back({c.name, c.kind, nullptr});
        columns += QStringLiteral(", ") + quoteName(c.name);
    }
    const QString key = quoteName(t.tableColumns[index.column].name);
    l->scanSql = QStringLiteral("SELECT %1%2 FROM %3 ORDER BY %1, rowid")
                     .arg(key, columns, quoteName(t.name));
    l->select = d_->statement(
        QStringLiteral("SELECT rowid%1 FROM %2 WHERE %3 = ?1 ORDER BY %3, rowid LIMIT 1")
            .arg(columns, quoteName(t.name), key));
    return std::unique_ptr<IndexLookup>(new IndexLookup(std::move(l)));
}

void Database::forEachInRange(const QString& tableName, const QStringList& fieldNames,
                              const QString& rangeField, const QString& from, const QString& to,
                              const std::function<void(const std::vector<Value>& fields)>& visit) {
    TableInfo& t = d_->table(tableName);
    const int range = t.tableSet.find(rangeField);
    if (range < 0)
        itemNotFound();
    std::vector<ColumnKind> kinds;
    QStringList columns;
    for (const QString& name : fieldNames) {
        const int column = t.tableSet.find(name);
        if (column < 0)
            itemNotFound();
        kinds.push_back(t.tableColumns[column].kind);
        columns << quoteName(t.tableColumns[column].name);
    }
    sqlite3_stmt* s = d_->statement(QStringLiteral("SELECT %1 FROM %2 WHERE %3 BETWEEN ?1 AND ?2")
                                        .arg(columns.join(QStringLiteral(", ")), quoteName(t.name),
                                             quoteName(t.tableColumns[range].name)));
    StatementUse use(s);
    const QByteArray fromText = from.toUtf8(), toText = to.toUtf8();
    sqlite3_bind_text(s, 1, fromText.constData(), static_cast<int>(fromText.size()), SQLITE_STATIC);
    sqlite3_bind_text(s, 2, toText.constData(), static_cast<int>(toText.size()), SQLITE_STATIC);
    std::vector<Value> values;
    while (d_->step(s, t.name) == SQLITE_ROW) {
        values.clear();
        for (std::size_t i = 0; i < kinds.size(); ++i)
            values.push_back(readValue(s, static_cast<int>(i), kinds[i]));
        visit(values);
    }
}

}  // namespace corvane::ledger
