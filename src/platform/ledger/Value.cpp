#include "platform/ledger/Value.h"

#include "platform/ledger/DateText.h"

#include <QRegularExpression>

#include <charconv>
#include <cmath>
#include <limits>

namespace corvane::ledger {
namespace {

const QDate kSerialEpoch(1899, 12, 30);

std::int64_t roundDoubleHalfEven(double v) {
    if (!std::isfinite(v)) return 0;
    if (v >= 9.2e18) return std::numeric_limits<std::int64_t>::max();
    if (v <= -9.2e18) return std::numeric_limits<std::int64_t>::min();
    const double r = std::nearbyint(v);  // the default rounding mode rounds halves to even
    return static_cast<std::int64_t>(r);
}

QString shortestDouble(double v) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
    if (result.ec != std::errc()) return QString::number(v);
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

}  // namespace

QDateTime parseDateText(QStringView input) {
    static const QRegularExpression iso(
        QStringLiteral(R"(^(\d{4})-(\d{1,2})-(\d{1,2})(?:[ T](\d{1,2}):(\d{2})(?::(\d{2}))?)?$)"));
    static const QRegularExpression us(QStringLiteral(
        R"(^(\d{1,2})/(\d{1,2})/(\d{2}|\d{4})(?:\s+(\d{1,2}):(\d{2})(?::(\d{2}))?\s*([AaPp][Mm])?)?$)"));
    const QString text = input.trimmed().toString();
    int year = 0, month = 0, day = 0;
    QRegularExpressionMatch m = iso.match(text);
    bool isIso = m.hasMatch();
    if (isIso) {
        year = m.captured(1).toInt();
        month = m.captured(2).toInt();
        day = m.captured(3).toInt();
    } else {
        m = us.match(text);
        if (!m.hasMatch()) return {};
        month = m.captured(1).toInt();
        day = m.captured(2).toInt();
        year = m.captured(3).toInt();
        if (m.captured(3).size() == 2) year += year < 30 ? 2000 : 1900;
    }
    const QDate date(year, month, day);
    if (!date.isValid()) return {};
    int hour = m.captured(4).toInt();
    const int minute = m.captured(5).toInt();
    const int second = m.captured(6).toInt();
    if (!isIso && !m.captured(7).isEmpty()) {
        if (hour < 1 || hour > 12) return {};
        const bool pm = m.captured(7).at(0).toUpper() == u'P';
        hour = hour % 12 + (pm ? 12 : 0);
    }
    const QTime time(hour, minute, second);
    if (!time.isValid()) return {};
    return QDateTime(date, time);
}

QString isoDateText(const QDateTime& value) {
    if (value.time() == QTime(0, 0)) return value.date().toString(QStringLiteral("yyyy-MM-dd"));
    return value.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

double dateSerial(const QDateTime& value) {
    if (!value.isValid()) return 0.0;
    const double days = static_cast<double>(kSerialEpoch.daysTo(value.date()));
    const double fraction = value.time().msecsSinceStartOfDay() / 86400000.0;
    // Before the epoch the fraction counts forward from the (negative) day, as the engine does.
    return days < 0 ? days - fraction : days + fraction;
}

QDateTime dateFromSerial(double serial) {
    if (!std::isfinite(serial) || std::fabs(serial) > 3e6) return {};
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
        case 1: return Kind::Text;
        case 2: return Kind::Integer;
        case 3: return Kind::Number;
        case 4: return Kind::Currency;
        case 5: return Kind::Date;
        default: return Kind::Null;
    }
}

QString Value::toText() const {
    switch (kind()) {
        case Kind::Null: return {};
        case Kind::Text: return std::get<QString>(v_);
        case Kind::Integer: return QString::number(std::get<std::int64_t>(v_));
        case Kind::Number: return shortestDouble(std::get<double>(v_));
        case Kind::Currency: return std::get<Currency>(v_).toPlainText();
        case Kind::Date: {
            const QDateTime& d = std::get<QDateTime>(v_);
            if (!d.isValid()) return {};
            if (d.time() == QTime(0, 0)) return d.date().toString(QStringLiteral("MM/dd/yyyy"));
            return d.toString(QStringLiteral("MM/dd/yyyy hh:mm:ss"));
        }
    }
    return {};
}

std::int64_t Value::toInteger() const {
    switch (kind()) {
        case Kind::Null: return 0;
        case Kind::Text: {
            const QStringView prefix = decimalPrefix(std::get<QString>(v_));
            bool ok = false;
            const qlonglong whole = prefix.toLongLong(&ok);
            if (ok) return whole;
            return Currency::leadingValue(prefix).roundedToWhole();
        }
        case Kind::Integer: return std::get<std::int64_t>(v_);
        case Kind::Number: return roundDoubleHalfEven(std::get<double>(v_));
        case Kind::Currency: return std::get<Currency>(v_).roundedToWhole();
        case Kind::Date: return roundDoubleHalfEven(dateSerial(std::get<QDateTime>(v_)));
    }
    return 0;
}

double Value::toNumber() const {
    switch (kind()) {
        case Kind::Null: return 0.0;
        case Kind::Text: {
            const QStringView prefix = decimalPrefix(std::get<QString>(v_));
            return prefix.isEmpty() ? 0.0 : prefix.toDouble();
        }
        case Kind::Integer: return static_cast<double>(std::get<std::int64_t>(v_));
        case Kind::Number: return std::get<double>(v_);
        case Kind::Currency: return std::get<Currency>(v_).toDouble();
        case Kind::Date: return dateSerial(std::get<QDateTime>(v_));
    }
    return 0.0;
}

Currency Value::toCurrency() const {
    switch (kind()) {
        case Kind::Null: return {};
        case Kind::Text: return Currency::leadingValue(std::get<QString>(v_));
        case Kind::Integer: {
            const std::int64_t v = std::get<std::int64_t>(v_);
            constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max() / 10000;
            if (v > kMax) return Currency::fromUnits(std::numeric_limits<std::int64_t>::max());
            if (v < -kMax) return Currency::fromUnits(std::numeric_limits<std::int64_t>::min());
            return Currency::fromUnits(v * 10000);
        }
        case Kind::Number: return Currency::fromDouble(std::get<double>(v_));
        case Kind::Currency: return std::get<Currency>(v_);
        case Kind::Date: return Currency::fromDouble(dateSerial(std::get<QDateTime>(v_)));
    }
    return {};
}

QDateTime Value::toDate() const {
    switch (kind()) {
        case Kind::Null: return {};
        case Kind::Text: return parseDateText(std::get<QString>(v_));
        case Kind::Integer: return dateFromSerial(static_cast<double>(std::get<std::int64_t>(v_)));
        case Kind::Number: return dateFromSerial(std::get<double>(v_));
        case Kind::Currency: return dateFromSerial(std::get<Currency>(v_).toDouble());
        case Kind::Date: return std::get<QDateTime>(v_);
    }
    return {};
}

}  // namespace corvane::ledger
