#pragma once

#include "platform/ledger/Currency.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <optional>

namespace corvane {

// Removes leading and trailing blanks (spaces only, as the program's Trim does: a carriage
// return at the end of a line is kept).
QString trimBlanks(const QString& text);
QString trimLeadingBlanks(const QString& text);

// The field reading rule of the text files (posting log, preferences, the staged payment file's
// first field): a field ends at a comma or at the end of a line (CR LF, LF or CR); leading blanks
// are skipped; a field that begins with a double quote runs to the closing double quote, which
// is dropped, and anything between it and the next comma or line end is skipped. Reading stops at
// the end of the text: an empty text has no field.
class FieldReader {
public:
    explicit FieldReader(QString text);
    bool atEnd() const;
    // The next field; throws corvane::Error 62 (input past end of file) when atEnd().
    QString next();

private:
    QString text_;
    qsizetype pos_ = 0;
};

// "$##,##0.00": "$1,234.50", a negative amount with a leading minus ("-$25.00"); text that is not
// a number is returned unchanged.
QString formatCurrencyText(const QString& text);
QString formatCurrency(ledger::Currency amount);

// The date of a text as the ledger engine reads a date text ("m/d/yy", "mm/dd/yyyy",
// "yyyy-mm-dd", each with an optional time, which is dropped); nullopt otherwise.
std::optional<QDate> parseDateText(const QString& text);
// "mm/dd/yyyy" when the text reads as a date, otherwise the text unchanged.
QString formatDateText(const QString& text);
// The program's short date form: "MM/dd/yyyy".
QString shortDate(const QDate& date);

// A tenant's name as Corvane's own lists show it (Choose Tenant, the remembered tenants, the
// posting preview): "Lee, Ann"; the last name alone when the first name is blank; the first name
// alone when the last name is blank (a vacant unit's "VACANT"), never ", VACANT". The payment
// grid's name text keeps its own rule (tenantDisplayName).
QString listedTenantName(const QString& lastName, const QString& firstName);

}  // namespace corvane
