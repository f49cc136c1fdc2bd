#include "core/TextRules.h"

#include "platform/Error.h"
#include "platform/ledger/DateText.h"

namespace corvane {
namespace {

constexpr QChar kBlank = QLatin1Char(' ');
constexpr QChar kQuote = QLatin1Char('"');
constexpr QChar kComma = QLatin1Char(',');
constexpr QChar kCr = QLatin1Char('\r');
constexpr QChar kLf = QLatin1Char('\n');

bool isLineEnd(QChar c) {
    return c == kCr || c == kLf;
}

}  // namespace

QString trimBlanks(const QString& text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == kBlank)
        ++first;
    while (last > first && text.at(last - 1) == kBlank)
        --last;
    return text.mid(first, last - first);
}

QString trimLeadingBlanks(const QString& text) {
    qsizetype first = 0;
    while (first < text.size() && text.at(first) == kBlank)
        ++first;
    return text.mid(first);
}

FieldReader::FieldReader(QString text) : text_(std::move(text)) {}

bool FieldReader::atEnd() const {
    return pos_ >= text_.size();
}

QString FieldReader::next() {
    if (atEnd()) {
        throw Error(errc::InputPastEndOfFile, QStringLiteral("Input past end of file"));
    }
    const qsizetype size = text_.size();
    while (pos_ < size && text_.at(pos_) == kBlank)
        ++pos_;

    QString field;
    if (pos_ < size && text_.at(pos_) == kQuote) {
        const qsizetype close = text_.indexOf(kQuote, pos_ + 1);
        const qsizetype end = close < 0 ? size : close;
        field = text_.mid(pos_ + 1, end - pos_ - 1);
        pos_ = close < 0 ? size : close + 1;
        // Whatever stands between the closing quote and the delimiter is not part of the field.
        while (pos_ < size && text_.at(pos_) != kComma && !isLineEnd(text_.at(pos_)))
            ++pos_;
    } else {
        const qsizetype start = pos_;
        while (pos_ < size && text_.at(pos_) != kComma && !isLineEnd(text_.at(pos_)))
            ++pos_;
        field = text_.mid(start, pos_ - start);
    }

    // Consume the delimiter: a comma, or one line end (CR LF, LF or CR).
    if (pos_ < size) {
        if (text_.at(pos_) == kCr) {
            ++pos_;
            if (pos_ < size && text_.at(pos_) == kLf)
                ++pos_;
        } else {
            ++pos_;
        }
    }
    return field;
}

QString formatCurrency(ledger::Currency amount) {
    // Round the four decimals to cents, halves to even.
    std::int64_t units = amount.units();
    const bool negative = units < 0;
    if (negative)
        units = -units;
    std::int64_t cents = units / 100;
    const std::int64_t rest = units % 100;
    if (rest > 50 || (rest == 50 && cents % 2 == 1))
        ++cents;

    QString whole = QString::number(cents / 100);
    for (qsizetype i = whole.size() - 3; i > 0; i -= 3)
        whole.insert(i, kComma);
    const QString text =
        QStringLiteral("$%1.%2").arg(whole).arg(cents % 100, 2, 10, QLatin1Char('0'));
    return negative && cents != 0 ? QLatin1Char('-') + text : text;
}

QString formatCurrencyText(const QString& text) {
    const std::optional<ledger::Currency> amount = ledger::Currency::fromTextRounded(text, 2);
    return amount ? formatCurrency(*amount) : text;
}

std::optional<QDate> parseDateText(const QString& text) {
    const std::optional<ledger::DateParts> parts = ledger::parseDateParts(text);
    if (!parts)
        return std::nullopt;
    return parts->date;
}

QString formatDateText(const QString& text) {
    const std::optional<QDate> date = parseDateText(text);
    return date ? shortDate(*date) : text;
}

QString shortDate(const QDate& date) {
    return date.toString(QStringLiteral("MM/dd/yyyy"));
}

QString listedTenantName(const QString& lastName, const QString& firstName) {
    const bool noLast = trimBlanks(lastName).isEmpty();
    const bool noFirst = trimBlanks(firstName).isEmpty();
    if (noLast && noFirst)
        return {};
    if (noLast || noFirst)
        return noLast ? firstName : lastName;
    return lastName + QStringLiteral(", ") + firstName;
}

}  // namespace corvane
