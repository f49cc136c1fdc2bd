// The engine's errors, and values as SQLite stores them: the kinds of columns, reading a field,
// converting a value for its column and binding it.

#include "platform/ledger/Engine.h"

#include "platform/Error.h"
#include "platform/ledger/DateText.h"
#include "platform/ledger/LedgerSchema.h"

#include <QDateTime>

#include <cmath>

namespace corvane::ledger {

const QString kLockedMessage = QStringLiteral(
    "The ledger is in use by another program (Lodgebook). Nothing was written; try again when it "
    "is free.");

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
    if (type.contains("DATE") || name.compare(Transactions::TransDate, Qt::CaseInsensitive) == 0 ||
        name.compare(CheckDepPrinted::CkDate, Qt::CaseInsensitive) == 0) {
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

namespace {

// Whether a value assigned to a column of `kind` is stored as it is.
bool storedAsIs(const Value& v, ColumnKind kind) {
    switch (kind) {
        case ColumnKind::Integer:
            return v.kind() == Value::Kind::Integer || v.isNull();
        case ColumnKind::Currency:
            return v.kind() == Value::Kind::Currency || v.isNull();
        case ColumnKind::Text:
            return v.kind() == Value::Kind::Text || v.isNull();
        case ColumnKind::Date:
            // Text stays the text assigned; it is stored as ISO when it reads as a date.
            return v.kind() == Value::Kind::Date || v.kind() == Value::Kind::Text || v.isNull();
        case ColumnKind::Other:
            return true;
    }
    return false;
}

}  // namespace

// A value assigned to a column takes the column's kind.
Value convertFor(const Value& v, ColumnKind kind) {
    if (storedAsIs(v, kind))
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
            const QDateTime d = v.toDate();
            if (d.isValid())
                return Value::date(d);
            conversionError();
        }
        case ColumnKind::Other:
            break;  // stored as it is
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

void bindValue(sqlite3_stmt* s, int index, const Value& v, ColumnKind kind) {
    QByteArray scratch;
    bindValue(s, index, v, kind, scratch);
}

QString quoteName(const QString& name) {
    QString q = name;
    q.replace(u'"', QStringLiteral("\"\""));
    return u'"' + q + u'"';
}

}  // namespace corvane::ledger
