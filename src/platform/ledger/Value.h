#pragma once

#include "platform/ledger/Currency.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <variant>

namespace corvane::ledger {

// A field value of the ledger as the program sees it: it keeps its kind. Reading a column gives
// the kind of the column (INTEGER whole number, REAL currency, TEXT text, the date columns
// TransDate and CkDate a date); assigning converts to the column's kind (a date written to a
// date column is stored as ISO 8601 text, as Lodgebook stores dates).
class Value {
public:
    enum class Kind { Null, Text, Integer, Number, Currency, Date };

    Value() = default;  // Null
    static Value text(QString v);
    static Value integer(std::int64_t v);
    static Value number(double v);
    static Value currency(Currency v);
    static Value date(QDateTime v);  // a date without time: QDateTime(QDate, QTime(0,0))

    Kind kind() const;
    bool isNull() const { return std::holds_alternative<std::monostate>(v_); }

    // Conversions; Null gives empty text, 0, an invalid date.
    // Text of a currency is its plain decimal ("1234.5"); of a date "MM/dd/yyyy", with
    // " hh:mm:ss" when the time is not midnight; of a number its shortest decimal form.
    QString toText() const;
    std::int64_t toInteger() const;  // numbers rounded halves to even; text by its leading number
    double toNumber() const;
    Currency toCurrency() const;
    QDateTime toDate() const;

    bool operator==(const Value& other) const = default;

private:
    std::variant<std::monostate, QString, std::int64_t, double, Currency, QDateTime> v_;
};

}  // namespace corvane::ledger
