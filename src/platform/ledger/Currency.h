#pragma once

#include <QString>
#include <QStringView>

#include <compare>
#include <cstdint>
#include <optional>

namespace corvane::ledger {

// The longest prefix of `text` that forms a decimal number, after leading blanks: an optional
// sign, digits, at most one decimal point. Empty when there is none ("T42" -> "", " 12.5x" ->
// "12.5", "-.5" -> "-.5", "." -> ""). This is the "leading-number value" rule of the program
// (Jet's Val without its radix prefixes); every caller that needs a number from text uses it.
QStringView decimalPrefix(QStringView text);

// Jet's currency: fixed point with four decimal places, exact, rounding halves to even.
class Currency {
public:
    constexpr Currency() = default;

    static constexpr Currency fromUnits(std::int64_t tenThousandths) {
        Currency c;
        c.units_ = tenThousandths;
        return c;
    }
    // The nearest currency value of a binary double (the ledger stores currency as REAL): the
    // shortest decimal text of the double, then rounded to four decimals, halves to even.
    static Currency fromDouble(double value);
    // An exact decimal text (optional blanks, sign, digits, one point); more than four decimals
    // are rounded halves to even. nullopt when the text is not such a number or out of range.
    static std::optional<Currency> fromText(QStringView text);
    // The same text rounded once, from all its digits, to `decimals` places (0 to 4), halves to
    // even: ("0.014999", 2) -> 0.01, ("0.00505", 2) -> 0.01, ("4011.49995", 0) -> 4011.
    static std::optional<Currency> fromTextRounded(QStringView text, int decimals);
    // The leading-number value of a text as currency; 0 when there is none.
    static Currency leadingValue(QStringView text);
    // percent% of amount, rounded to four decimals, halves to even, computed exactly.
    static Currency percentOf(Currency percent, Currency amount);

    constexpr std::int64_t units() const { return units_; }
    double toDouble() const;
    // Whole number nearest to the value, halves to even (Jet's CLng/CInt rounding).
    std::int64_t roundedToWhole() const;
    // Plain decimal text without grouping or trailing zeros: "1234.5", "-25", "0", "0.0001".
    QString toPlainText() const;
    bool isZero() const { return units_ == 0; }

    Currency abs() const { return fromUnits(units_ < 0 ? -units_ : units_); }
    Currency operator-() const { return fromUnits(-units_); }
    Currency operator+(Currency o) const { return fromUnits(units_ + o.units_); }
    Currency operator-(Currency o) const { return fromUnits(units_ - o.units_); }
    Currency& operator+=(Currency o) {
        units_ += o.units_;
        return *this;
    }
    Currency& operator-=(Currency o) {
        units_ -= o.units_;
        return *this;
    }
    auto operator<=>(const Currency&) const = default;

private:
    std::int64_t units_ = 0;
};

}  // namespace corvane::ledger
