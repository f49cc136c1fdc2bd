#pragma once

#include "journal/LedgerCheck.h"
#include "platform/ledger/Currency.h"
#include "platform/ledger/Database.h"

#include <QDate>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace corvane {

// A payment posted by an earlier run that the processor now reports as not settled, whose return
// a posting run records.
struct PaymentReturn {
    QString transactionNumber;
    journal::PostedPayment posted;  // the run, line and entries that posted it
};

// What the return of one payment wrote. The original records are never changed.
struct WrittenReturn {
    std::int64_t tenantID = 0;                  // the original entry's TransPostToID
    std::int64_t accountID = 0;                 // its TransAccountID (the account of a split line)
    QString status;                             // its TransStatus
    std::int64_t incomeTransID = 0;             // the negative copy of the income entry
    ledger::Currency incomeAmount;              // negative
    std::optional<std::int64_t> feeTransID;     // the fee given back, when the payment had one
    std::optional<ledger::Currency> feeAmount;  // positive
    // What it moved: TCurrBal and UCurrBal of the tenant (the unit by its UTenantID).
    std::optional<ledger::Currency> tenantChange;
    std::optional<ledger::Currency> unitChange;
};

// The returns of a run, or the first problem found before anything was written.
struct ReturnsResult {
    std::vector<WrittenReturn> written;  // in the order of the returns given
    std::optional<QString> problem;      // the message that refuses the run
};

// Records the returns inside the caller's ledger transaction, in this order: read every original
// income entry (and fee entry) by the key the journal recorded, refusing the run when one is no
// longer in the ledger; then for each return, an income entry with the original's fields but the
// negative amount, `today` as TransDate and "Returned " + the transaction number as TransRemark,
// and, when the payment had a management fee entry, an entry with that entry's fields but the
// fee's absolute value, the same date and remark; then the balances moved back by the status
// rules of a payment (status "B": TCurrBal and UCurrBal, "T": TCurrBal, other: none) and the fee
// given back to UCurrBal. A tenant or unit missing at that point throws corvane::Error 3021.
ReturnsResult WriteReturns(ledger::Database& db, const std::vector<PaymentReturn>& returns,
                           const QDate& today);

// "Returned " + the transaction number: the remark of a return's entries and split line.
QString ReturnRemark(const QString& transactionNumber);

}  // namespace corvane
