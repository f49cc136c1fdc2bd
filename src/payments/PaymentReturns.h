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
    std::size_t payment = 0;        // the payment of this run it is recorded for (its index)
};

// The return of one payment as it will be written: its original records, read from the ledger,
// and what the return adds. The original records are never changed.
struct PlannedReturn {
    PaymentReturn paid;
    std::vector<ledger::Value> income;              // the original income entry's copied fields
    std::optional<std::vector<ledger::Value>> fee;  // the original fee entry's, when it had one
    std::int64_t tenantID = 0;                      // the original entry's TransPostToID
    std::int64_t accountID = 0;  // its TransAccountID (the account of a split line)
    QString status;              // its TransStatus
    QDate date;                  // today: the TransDate of the return's entries
    QString remark;              // ReturnRemark
    ledger::Currency incomeAmount;              // negative
    std::optional<ledger::Currency> feeAmount;  // positive: the fee given back
    // What it moves: TCurrBal and UCurrBal of the tenant (the unit by its UTenantID).
    std::optional<ledger::Currency> tenantChange;
    std::optional<ledger::Currency> unitChange;
};

// Why the returns cannot be recorded: the entries that posted this payment are no longer in the
// ledger.
struct ReturnRefusal {
    QString transactionNumber;
    QDate postedOn;
};

struct ReturnsPlan {
    std::vector<PlannedReturn> returns;  // in the order of the returns given
    std::optional<ReturnRefusal> refusal;
};

// Plans the returns, reading the ledger only: every original income entry (and fee entry) by the
// key the journal recorded, the first one no longer in the ledger refusing the run; each return
// an income entry with the original's fields but the negative amount, `today` as TransDate and
// "Returned " + the transaction number as TransRemark, and, when the payment had a management fee
// entry, an entry with that entry's fields but the fee's absolute value, the same date and
// remark; the balances moved back by the status rules of a payment (status "B": TCurrBal and
// UCurrBal, "T": TCurrBal, other: none) and the fee given back to UCurrBal.
ReturnsPlan PlanReturns(ledger::Database& db, const std::vector<PaymentReturn>& returns,
                        const QDate& today);

// The keys of what the return of one payment wrote.
struct WrittenReturn {
    std::int64_t incomeTransID = 0;
    std::optional<std::int64_t> feeTransID;
};

// Writes the planned returns inside the caller's ledger transaction: the entries, then the
// balances. A tenant or unit missing at that point throws corvane::Error 3021.
std::vector<WrittenReturn> WriteReturns(ledger::Database& db,
                                        const std::vector<PlannedReturn>& returns);

// "Returned " + the transaction number: the remark of a return's entries and split line.
QString ReturnRemark(const QString& transactionNumber);

}  // namespace corvane
