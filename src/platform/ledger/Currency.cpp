#include "platform/ledger/Currency.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace corvane::ledger {
namespace {

constexpr std::int64_t kScale = 10000;

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

// Divides exactly, rounding the quotient to the nearest whole number, halves to even.
__int128 divideHalfEven(__int128 numerator, __int128 denominator) {
    __int128 quotient = numerator / denominator;
    __int128 remainder = numerator % denominator;
    if (remainder < 0)
        remainder = -remainder;
    const __int128 twice = remainder * 2;
    const bool negative = (numerator < 0) != (denominator < 0);
    if (twice > denominator || (twice == denominator && (quotient % 2 != 0))) {
        quotient += negative ? -1 : 1;
    }
    return quotient;
}

bool fitsInUnits(__int128 v) {
    return v >= std::numeric_limits<std::int64_t>::min() &&
           v <= std::numeric_limits<std::int64_t>::max();
}

// Parses sign, digits, one point (no blanks) into ten-thousandths, rounded once to `keep`
// decimals (0 to 4), halves to even.
template <typename Char>
std::optional<Currency> parseDecimal(const Char* p, const Char* end, int keep = 4) {
    bool negative = false;
    if (p != end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    __int128 whole = 0;
    __int128 fraction = 0;  // the first `keep` decimals
    int fractionDigits = 0;
    bool anyDigit = false;
    bool sawPoint = false;
    bool restNonZero = false;  // decimals after the first one dropped
    int firstDropped = -1;
    constexpr __int128 kLimit = static_cast<__int128>(1) << 100;
    for (; p != end; ++p) {
        const Char c = *p;
        if (c == '.') {
            if (sawPoint)
                return std::nullopt;
            sawPoint = true;
            continue;
        }
        if (c < '0' || c > '9')
            return std::nullopt;
        anyDigit = true;
        const int digit = static_cast<int>(c - '0');
        if (!sawPoint) {
            whole = whole * 10 + digit;
            if (whole > kLimit)
                return std::nullopt;
        } else if (fractionDigits < keep) {
            fraction = fraction * 10 + digit;
            ++fractionDigits;
        } else if (firstDropped < 0) {
            firstDropped = digit;
        } else if (digit != 0) {
            restNonZero = true;
        }
    }
    if (!anyDigit)
        return std::nullopt;
    __int128 scale = 1;
    for (int i = 0; i < keep; ++i)
        scale *= 10;
    for (int i = fractionDigits; i < keep; ++i)
        fraction *= 10;
    __int128 units = whole * scale + fraction;
    if (firstDropped > 5 || (firstDropped == 5 && (restNonZero || units % 2 != 0)))
        ++units;
    units *= kScale / static_cast<std::int64_t>(scale);
    if (negative)
        units = -units;
    if (!fitsInUnits(units))
        return std::nullopt;
    return Currency::fromUnits(static_cast<std::int64_t>(units));
}

}  // namespace

QStringView decimalPrefix(QStringView text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && isBlank(text[i]))
        ++i;
    const qsizetype start = i;
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    bool digits = false;
    while (i < n && text[i].unicode() >= '0' && text[i].unicode() <= '9') {
        ++i;
        digits = true;
    }
    qsizetype end = i;
    if (i < n && text[i] == u'.') {
        ++i;
        while (i < n && text[i].unicode() >= '0' && text[i].unicode() <= '9') {
            ++i;
            digits = true;
        }
        end = i;
    }
    if (!digits)
        return {};
    return text.mid(start, end - start);
}

Currency Currency::fromDouble(double value) {
    if (!std::isfinite(value))
        return Currency();
    constexpr double kMax = 9.2e14;
    if (value > kMax)
        return fromUnits(std::numeric_limits<std::int64_t>::max());
    if (value < -kMax)
        return fromUnits(std::numeric_limits<std::int64_t>::min());
    char buffer[64];
    // Shortest text that reads back as the same double, in plain (not exponent) notation.
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    if (result.ec != std::errc())
        return Currency();
    return parseDecimal<char>(buffer, result.ptr).value_or(Currency());
}

std::optional<Currency> Currency::fromText(QStringView text) {
    return fromTextRounded(text, 4);
}

std::optional<Currency> Currency::fromTextRounded(QStringView text, int decimals) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    const QChar* data = text.data();
    return parseDecimal<char16_t>(reinterpret_cast<const char16_t*>(data + begin),
                                  reinterpret_cast<const char16_t*>(data + end),
                                  std::clamp(decimals, 0, 4));
}

Currency Currency::leadingValue(QStringView text) {
    return fromText(decimalPrefix(text)).value_or(Currency());
}

Currency Currency::percentOf(Currency percent, Currency amount) {
    // (p / 10^4) / 100 * (a / 10^4) in units of 10^-4 = p * a / 10^6.
    const __int128 product = static_cast<__int128>(percent.units_) * amount.units_;
    __int128 units = divideHalfEven(product, 1000000);
    if (!fitsInUnits(units)) {
        units = units < 0 ? std::numeric_limits<std::int64_t>::min()
                          : std::numeric_limits<std::int64_t>::max();
    }
    return fromUnits(static_cast<std::int64_t>(units));
}

double Currency::toDouble() const {
    // Both operands are exact (for amounts below 2^53 units), so the quotient is the double
    // nearest to the decimal value.
    return static_cast<double>(units_) / static_cast<double>(kScale);
}

std::int64_t Currency::roundedToWhole() const {
    return static_cast<std::int64_t>(divideHalfEven(units_, kScale));
}

QString Currency::toPlainText() const {
    const bool negative = units_ < 0;
    const unsigned __int128 magnitude =
        negative ? static_cast<unsigned __int128>(-static_cast<__int128>(units_))
                 : static_cast<unsigned __int128>(units_);
    const auto whole = static_cast<std::uint64_t>(magnitude / kScale);
    auto fraction = static_cast<unsigned>(magnitude % kScale);
    QString text = negative ? QStringLiteral("-") : QString();
    text += QString::number(whole);
    if (fraction != 0) {
        QString digits = QString::number(fraction).rightJustified(4, u'0');
        while (digits.endsWith(u'0'))
            digits.chop(1);
        text += u'.';
        text += digits;
    }
    return text;
}

}  // namespace corvane::ledger
