#include "platform/ledger/Value.h"

#include "platform/ledger/DateText.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace corvane::ledger {
namespace {

const QDate kSerialEpoch(1899, 12, 30);

std::int64_t roundDoubleHalfEven(double v) {
    if (!std::isfinite(v))
        return 0;
    if (v >= 9.2e18)
        return std::numeric_limits<std::int64_t>::max();
    if (v <= -9.2e18)
        return std::numeric_limits<std::int64_t>::min();
    const double r = std::nearbyint(v);  // the default rounding mode rounds halves to even
    return static_cast<std::int64_t>(r);
}

QString shortestDouble(double v) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
    if (result.ec != std::errc())
        return QString::number(v);
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

}  // namespace

namespace {

// Reads 1 to `max` digits at `i`; -1 when there are none.
int readNumber(QStringView s, qsizetype& i, int max) {
    int value = 0;
    int count = 0;
    while (i < s.size() && count < max && s[i].unicode() >= '0' && s[i].unicode() <= '9') {
        value = value * 10 + (s[i].unicode() - '0');
        ++i;
        ++count;
    }
    return count == 0 ? -1 : value;
}

bool skipChar(QStringView s, qsizetype& i, char16_t c) {
    if (i < s.size() && s[i] == c) {
        ++i;
        return true;
    }
    return false;
}

}  // namespace

QDateTime parseDateText(QStringView input) {
    const auto parts = parseDateParts(input);
    if (!parts)
        return {};
    return QDateTime(parts->date, parts->time);
}

std::optional<DateParts> parseDateParts(QStringView input) {
    const QStringView text = input.trimmed();
    qsizetype i = 0;
    int year = 0, month = 0, day = 0;
    const qsizetype firstStart = i;
    const int first = readNumber(text, i, 4);
    const bool iso = i - firstStart == 4 && skipChar(text, i, u'-');
    if (iso) {
        year = first;
        month = readNumber(text, i, 2);
        if (!skipChar(text, i, u'-'))
            return std::nullopt;
        day = readNumber(text, i, 2);
    } else {
        if (i - firstStart > 2 || !skipChar(text, i, u'/'))
            return std::nullopt;
        month = first;
        day = readNumber(text, i, 2);
        if (!skipChar(text, i, u'/'))
            return std::nullopt;
        const qsizetype yearStart = i;
        year = readNumber(text, i, 4);
        const qsizetype digits = i - yearStart;
        if (digits == 2) {
            year += year < 30 ? 2000 : 1900;
        } else if (digits != 4) {
            return std::nullopt;
        }
    }
    const QDate date(year, month, day);
    if (!date.isValid())
        return std::nullopt;
    if (i == text.size())
        return DateParts{date, QTime(0, 0)};
    // The time: "HH:mm[:ss]", after a blank (or 'T' in ISO), with AM/PM after US dates.
    if (!(text[i].isSpace() || (iso && text[i] == u'T')))
        return std::nullopt;
    ++i;
    while (i < text.size() && text[i].isSpace())
        ++i;
    int hour = readNumber(text, i, 2);
    if (hour < 0 || !skipChar(text, i, u':'))
        return std::nullopt;
    const qsizetype minuteStart = i;
    const int minute = readNumber(text, i, 2);
    if (i - minuteStart != 2)
        return std::nullopt;
    int second = 0;
    if (skipChar(text, i, u':')) {
        const qsizetype secondStart = i;
        second = readNumber(text, i, 2);
        if (i - secondStart != 2)
            return std::nullopt;
    }
    if (!iso) {
        while (i < text.size() && text[i].isSpace())
            ++i;
        if (i + 2 == text.size() && text[i + 1].toUpper() == u'M' &&
            (text[i].toUpper() == u'A' || text[i].toUpper() == u'P')) {
            if (hour < 1 || hour > 12)
                return std::nullopt;
            hour = hour % 12 + (text[i].toUpper() == u'P' ? 12 : 0);
            i += 2;
        }
    }
    if (i != text.size())
        return std::nullopt;
    const QTime time(hour, minute, second);
    if (!time.isValid())
        return std::nullopt;
    return DateParts{date, time};
}

QString isoDateText(const QDateTime& value) {
    return isoDateText(DateParts{value.date(), value.time()});
}

QString isoDateText(const DateParts& value) {
    const QDate d = value.date;
    const QTime t = value.time;
    if (d.year() >= 0 && d.year() <= 9999) {
        // The usual case without printf: "yyyy-MM-dd", then " HH:mm:ss" unless midnight.
        char16_t text[19];
        const auto put = [&text](int at, int value, int digits) {
            for (int i = digits - 1; i >= 0; --i, value /= 10)
                text[at + i] = static_cast<char16_t>(u'0' + value % 10);
        };
        put(0, d.year(), 4);
        text[4] = u'-';
        put(5, d.month(), 2);
        text[7] = u'-';
        put(8, d.day(), 2);
        if (t == QTime(0, 0))
            return QString(reinterpret_cast<const QChar*>(text), 10);
        text[10] = u' ';
        put(11, t.hour(), 2);
        text[13] = u':';
        put(14, t.minute(), 2);
        text[16] = u':';
        put(17, t.second(), 2);
        return QString(reinterpret_cast<const QChar*>(text), 19);
    }
    char buffer[32];
    if (t == QTime(0, 0)) {
        std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", d.year(), d.month(), d.day());
    } else {
        std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", d.year(), d.month(),
                      d.day(), t.hour(), t.minute(), t.second());
    }
    return QString::fromLatin1(buffer);
}

double dateSerial(const QDateTime& value) {
    if (!value.isValid())
        return 0.0;
    const double days = static_cast<double>(kSerialEpoch.daysTo(value.date()));
    const double fraction = value.time().msecsSinceStartOfDay() / 86400000.0;
    // Before the epoch the fraction counts forward from the (negative) day, as the engine does.
    return days < 0 ? days - fraction : days + fraction;
}

QDateTime dateFromSerial(double serial) {
    if (!std::isfinite(serial) || std::fabs(serial) > 3e6)
        return {};
    const double whole = std::trunc(serial);
    const double fraction = std::fabs(serial - whole);
    const QDate date = kSerialEpoch.addDays(static_cast<qint64>(whole));
    const int msecs = static_cast<int>(std::llround(fraction * 86400000.0)) % 86400000;
    return QDateTime(date, QTime::fromMSecsSinceStartOfDay(msecs));
}

Value Value::text(QString v) {
    Value r;
    r.v_ = std::move(v);
    return r;
}
Value Value::integer(std::int64_t v) {
    Value r;
    r.v_ = v;
    return r;
}
Value Value::number(double v) {
    Value r;
    r.v_ = v;
    return r;
}
Value Value::currency(Currency v) {
    Value r;
    r.v_ = v;
    return r;
}
Value Value::date(QDateTime v) {
    Value r;
    r.v_ = std::move(v);
    return r;
}

Value::Kind Value::kind() const {
    switch (v_.index()) {
        case 1:
            return Kind::Text;
        case 2:
            return Kind::Integer;
        case 3:
            return Kind::Number;
        case 4:
            return Kind::Currency;
        case 5:
            return Kind::Date;
        default:
            return Kind::Null;
    }
}

QString Value::toText() const {
    switch (kind()) {
        case Kind::Null:
            return {};
        case Kind::Text:
            return std::get<QString>(v_);
        case Kind::Integer:
            return QString::number(std::get<std::int64_t>(v_));
        case Kind::Number:
            return shortestDouble(std::get<double>(v_));
        case Kind::Currency:
            return std::get<Currency>(v_).toPlainText();
        case Kind::Date: {
            const QDateTime& d = std::get<QDateTime>(v_);
            if (!d.isValid())
                return {};
            if (d.time() == QTime(0, 0))
                return d.date().toString(QStringLiteral("MM/dd/yyyy"));
            return d.toString(QStringLiteral("MM/dd/yyyy hh:mm:ss"));
        }
    }
    return {};
}

std::int64_t Value::toInteger() const {
    switch (kind()) {
        case Kind::Null:
            return 0;
        case Kind::Text: {
            const QStringView prefix = decimalPrefix(std::get<QString>(v_));
            bool ok = false;
            const qlonglong whole = prefix.toLongLong(&ok);
            if (ok)
                return whole;
            return Currency::leadingValue(prefix).roundedToWhole();
        }
        case Kind::Integer:
            return std::get<std::int64_t>(v_);
        case Kind::Number:
            return roundDoubleHalfEven(std::get<double>(v_));
        case Kind::Currency:
            return std::get<Currency>(v_).roundedToWhole();
        case Kind::Date:
            return roundDoubleHalfEven(dateSerial(std::get<QDateTime>(v_)));
    }
    return 0;
}

double Value::toNumber() const {
    switch (kind()) {
        case Kind::Null:
            return 0.0;
        case Kind::Text: {
            const QStringView prefix = decimalPrefix(std::get<QString>(v_));
            return prefix.isEmpty() ? 0.0 : prefix.toDouble();
        }
        case Kind::Integer:
            return static_cast<double>(std::get<std::int64_t>(v_));
        case Kind::Number:
            return std::get<double>(v_);
        case Kind::Currency:
            return std::get<Currency>(v_).toDouble();
        case Kind::Date:
            return dateSerial(std::get<QDateTime>(v_));
    }
    return 0.0;
}

Currency Value::toCurrency() const {
    switch (kind()) {
        case Kind::Null:
            return {};
        case Kind::Text:
            return Currency::leadingValue(std::get<QString>(v_));
        case Kind::Integer: {
            const std::int64_t v = std::get<std::int64_t>(v_);
            constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max() / 10000;
            if (v > kMax)
                return Currency::fromUnits(std::numeric_limits<std::int64_t>::max());
            if (v < -kMax)
                return Currency::fromUnits(std::numeric_limits<std::int64_t>::min());
            return Currency::fromUnits(v * 10000);
        }
        case Kind::Number:
            return Currency::fromDouble(std::get<double>(v_));
        case Kind::Currency:
            return std::get<Currency>(v_);
        case Kind::Date:
            return Currency::fromDouble(dateSerial(std::get<QDateTime>(v_)));
    }
    return {};
}

QDateTime Value::toDate() const {
    switch (kind()) {
        case Kind::Null:
            return {};
        case Kind::Text:
            return parseDateText(std::get<QString>(v_));
        case Kind::Integer:
            return dateFromSerial(static_cast<double>(std::get<std::int64_t>(v_)));
        case Kind::Number:
            return dateFromSerial(std::get<double>(v_));
        case Kind::Currency:
            return dateFromSerial(std::get<Currency>(v_).toDouble());
        case Kind::Date:
            return std::get<QDateTime>(v_);
    }
    return {};
}

}  // namespace corvane::ledger
