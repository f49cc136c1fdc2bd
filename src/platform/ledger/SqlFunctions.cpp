// The SQL functions the translated Jet queries call, with the meaning the program gives them.

#include "platform/ledger/Engine.h"

#include "platform/ledger/Currency.h"

#include <cmath>
#include <cstring>

namespace corvane::ledger {

namespace {

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

}  // namespace

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

}  // namespace corvane::ledger
