#pragma once

#include <QDateTime>
#include <QString>
#include <QStringView>

#include <optional>

namespace corvane::ledger {

// Dates as the ledger stores them and as the program writes them.
// A date of text: ISO "yyyy-MM-dd[ HH:mm:ss]" (also with 'T'), or "M/d/yyyy" (two-digit years
// 00-29 are 20xx, 30-99 19xx) with an optional "h:mm[:ss]" and AM/PM. Invalid when neither.
QDateTime parseDateText(QStringView text);
// The same without making a QDateTime (which looks up the local time zone each time).
struct DateParts {
    QDate date;
    QTime time;
};
std::optional<DateParts> parseDateParts(QStringView text);
QString isoDateText(const DateParts& value);
// "yyyy-MM-dd", with " HH:mm:ss" when the time is not midnight.
QString isoDateText(const QDateTime& value);
// The date as the engine's serial number: days since 1899-12-30, the time as a fraction.
double dateSerial(const QDateTime& value);
QDateTime dateFromSerial(double serial);

}  // namespace corvane::ledger
