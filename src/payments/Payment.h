#pragma once

#include "journal/JournalRun.h"
#include "journal/LedgerCheck.h"
#include "platform/ledger/Currency.h"

#include <QDate>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace corvane {

inline const QString kTidNotFoundText = QStringLiteral("(TID not found-PRINT SCREEN!)");
inline const QString kTenantNotFoundText = QStringLiteral("(not found-cannot post!)");

enum class PaymentKind { Rent, LateFee };

// The note a row carries in the Note column, as a kind: PaymentNotes.h says when each applies and
// words it (noteText); the journal keeps the words, every decision reads the kind and the
// payment's standing.
enum class NoteKind {
    None,
    ReturnRecorded,        // "Return recorded mm/dd/yyyy"
    ReturnedAfterPosting,  // "<Status> after posting mm/dd/yyyy"
    AlreadyPosted,         // "Already posted mm/dd/yyyy"
    ChangedInLedger,       // "Already posted mm/dd/yyyy, changed in ledger"
    Repeated,              // "Repeated in this file"
    InLedger,              // "In ledger?"
    Status,                // "Status: <status>"
    ChosenByYou,           // "Chosen by you"
    RememberedChoice,      // "Matched by your choice of mm/dd/yyyy"
    RememberedTenantGone,  // "Remembered tenant #n not found"
};

// "Rent" or "Late Fee", as the Pmt Type column shows the kind.
QString paymentKindText(PaymentKind kind);

// One payment of the payment file, read once from its line (PaymentIntake.h) and matched to its
// tenant (PaymentMatching.h). The review grid shows it, the notes, the total, the print report,
// the posting plan, the deposit and the journal's rows read these fields; none of them reads a
// value back from a shown text.
struct Payment {
    int line = 0;               // its line in the payment file, from 1
    QString transactionNumber;  // field 1, "B1234567"
    QString account;            // field 2 as in the file, "T42"
    QString payerName;          // field 3, as the file gives it
    QString payerAddress;       // field 4, as the file gives it
    // The matched tenant's TenantID; none when no tenant has the account number.
    std::optional<std::int64_t> tenantID;
    // The matched tenant's first unit's address (none when it has no unit) and "Last, First";
    // both empty when no tenant matched. The grid shows them, or the not-found texts, through
    // shownAddress and shownName.
    std::optional<QString> unitAddress;
    QString tenantName;
    QString amountText;       // field 7 as the line rule leaves it, "1234.56"
    ledger::Currency amount;  // its value, sign kept (a refund is negative)
    QString dateText;         // field 5 as the file gives it
    std::optional<QDate> date;  // none when the text is not a date
    QString checkChar;          // the first non-blank character of field 6 (the method)
    std::optional<std::int64_t> checkNumber;  // the check character's number; none when blank
    PaymentKind kind = PaymentKind::Rent;
    QString processorStatus;  // field 8 without its blanks; empty when the line has none
    // What the journal and the ledger say of its transaction number, worked out once by the load.
    journal::PaymentStanding standing;
    NoteKind note = NoteKind::None;
    // The account a tenant choice is remembered for: field 2 with its blanks removed.
    QString choiceAccount;
    // How the tenant was found when not by the account (TenantChoice.h): chosen on the screen or
    // by a remembered choice (made on `rememberedOn`); a remembered tenant that is gone leaves
    // the payment unmatched with `rememberedTenantGone`.
    journal::TenantChoice tenantChoice = journal::TenantChoice::None;
    QDate rememberedOn;
    std::optional<std::int64_t> rememberedTenantGone;

    bool matched() const { return tenantID.has_value(); }
};

// The Unit Address column's text: the unit's address, or "(TID not found-PRINT SCREEN!)".
QString shownAddress(const Payment& payment);
// The Tenant Name column's text: "Last, First", or "(not found-cannot post!)".
QString shownName(const Payment& payment);

// The TID column's text: "T42" for a matched payment, "T#" and the account's number for one that
// matched no tenant ("T#99").
QString shownTid(const Payment& payment);

// The account a tenant choice is remembered for (TenantChoice.h): the line's account field,
// blanks removed.
QString choiceAccount(const QString& accountField);

// The check number of a check character: none when it is blank, else the leading-number value of
// its first nine characters as a whole number (0 for a letter).
std::optional<std::int64_t> checkNumberOf(const QString& checkChar);

// The account number of a payment line: the leading-number value of the account field without
// its first character, blanks removed ("T42" gives 42). The key is set only for a whole number.
struct AccountNumber {
    QString text;                     // as written after "T#" when the tenant is not found
    std::optional<std::int64_t> key;  // the TenantID to seek
};
AccountNumber accountNumberOf(const QString& account);

// The sum of the payments' amounts without their signs. Throws corvane::Error 6 (overflow) when
// it is beyond the currency's range.
ledger::Currency paymentsTotal(const std::vector<Payment>& payments);

// The journal's row of a payment: its line and the grid's columns as shown (TID, address, name,
// amount, date, check, payment type, transaction number, note) and its tenant; outcome and keys
// unset.
journal::RunRow RunRowAsShown(const Payment& payment);

}  // namespace corvane
