#pragma once

#include "core/ProgramFiles.h"
#include "payments/Payment.h"
#include "platform/Dialogs.h"
#include "platform/Environment.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace corvane {

// The payment file from the processor, before its lines become screen rows: where downloads are
// looked for, which download is newest, the staged copy in the program folder, the acceptance
// test, the selection of payment lines, the line rule and the archive step. Plain functions; none
// needs a window, and no input (empty, binary, huge lines) can make them crash or read past an end.
//
// The download screen's loading uses them in this order: PaymentFiles::stagedPath (exists?) ->
// FindLatestPaymentFile(downloadsFolder) when nothing is staged -> readAll ->
// selectPaymentLines -> readPayments -> (matching) ; ArchiveStagedPaymentFile after posting or
// emptying.

// The name rule's two steps. RemoveExtension cuts before the last "."; RemoveCopyNumber cuts a
// trailing "(...)" before the last "(" and then removes leading and trailing blanks.
QString RemoveExtension(const QString& fileName);
QString RemoveCopyNumber(const QString& fileName);
// A file of the Downloads folder is a payment download when its base name is "paymentHistory"
// exactly (letter case counts).
bool isPaymentDownloadName(const QString& fileName);

// USERPROFILE + "/Downloads" when USERPROFILE is set, else the platform's download folder.
QString downloadsFolder(Environment& environment);

// Takes the newest payment download of `downloads` into the program folder under the staged name
// ("paymentHistory.csv"): shows "No Files" and returns false when there is none; otherwise shows
// "Latest File", copies the download to a temporary name in the program folder, renames it into
// place and only then deletes the download (when that delete fails the staged copy is removed
// again, so that the same payments can never be both staged and still waiting in Downloads).
// Returns true when a file was staged. Platform failures are thrown as corvane::Error.
bool FindLatestPaymentFile(const PaymentFiles& payment, Dialogs& dialogs, const QString& downloads);

// The acceptance test on the whole text: the first character is "B", the second a decimal digit.
bool acceptsPaymentFile(const QString& text);

// The payment lines of a staged file's text, without their line ends: only complete lines (each
// ended by a line feed, or by a carriage return and a line feed), from the first one up to, not
// including, the first line that is blank or does not begin with "B" once leading and trailing
// blanks are removed. Empty when the acceptance test fails.
QStringList selectPaymentLines(const QString& text);

// The fields of a payment line that the program reads.
struct PaymentLine {
    QString transactionNumber;      // field 1, "B1234567"
    QString account;                // field 2, "T42"
    QString payerName;              // field 3
    QString payerAddress;           // field 4
    QString date;                   // field 5, unchanged
    QString method;                 // field 6
    QString amount;                 // field 7, "1234.56"
    std::optional<QString> status;  // field 8, "Posted", "Returned", ...; nullopt when absent
};

// The line rule: the thousands separators of the amount (the first "$" of the line up to the
// first "." after it) removed, every "$" and every double quote removed, then split at every ",";
// then the fields. Throws corvane::Error 5 (invalid procedure call or argument) when the line has
// no "$", or no "." after its first "$", 9 (subscript out of range) when it has fewer than 7
// fields and 13 (type mismatch) when the account field is empty.
PaymentLine readPaymentLine(const QString& line);

// Whether an amount text, as the line rule leaves it, is a plain decimal number: an optional
// minus sign, digits, and at most one decimal point with digits after it ("1250.00", "-25.00",
// "0.5"; not "1e308." nor a text with a NUL byte or a blank in it).
bool isPlainAmount(QStringView amount);
// Throws corvane::Error 13 (type mismatch) "the amount of line <lineNumber> is not a number: "
// followed by the amount as read, unless the line's amount isPlainAmount.
void requirePlainAmount(const PaymentLine& line, qsizetype lineNumber);
// The payments of the payment lines, not yet matched: every line read and its amount required
// plain, in order, then its values taken once (line number, transaction number, account, amount
// text and value, date text and date, check character and number, status without its blanks;
// kind Rent). The first line that fails stops the reading with its error, " (line <n>)" added
// to a reading error. A plain amount beyond the currency's range is not an error here: it is
// counted as 0 and amountTooLarge is set (the total refuses it).
struct ReadPayments {
    std::vector<Payment> payments;
    bool amountTooLarge = false;
};
ReadPayments readPayments(const QStringList& lines);

// The archive step: the staged payment file becomes "paymentHistory_LastDownload.csv", replacing
// an earlier archive in one rename (at every instant the old or the new archive exists).
void ArchiveStagedPaymentFile(const PaymentFiles& payment);

}  // namespace corvane
