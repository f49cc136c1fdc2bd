#pragma once

#include "payments/LedgerPosting.h"
#include "payments/Payment.h"
#include "payments/PostingRun.h"
#include "platform/ledger/Currency.h"
#include "platform/ledger/Database.h"

#include <QDate>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace corvane {

// One SplitPrintedChecks line of the deposit: one per payment of the run, unmatched ones
// included (not those left out).
struct SplitLine {
    std::size_t payment = 0;  // the payment it is made from (its index in the run's payments)
    // CkCheckNumber; not set when the check character is blank.
    std::optional<std::int64_t> checkNumber;
    ledger::Currency amount;
    std::int64_t accountID = 0;
    std::int64_t postToID = 0;  // the row's tenant ID; 0 for an unmatched ("T#") row
    std::optional<QString> remark;
    QString postTo;  // the category code
};

// The deposit record of CheckDepPrinted and its split lines.
struct DepositPlan {
    std::int64_t number = 0;  // CkNumber: the deposit number, 0 when empty or not a number
    QDate date;               // CkDate: today
    std::vector<SplitLine> lines;
};

// A line for every payment whose action is Post (matched or not), in order.
DepositPlan PlanDeposit(const std::vector<Payment>& payments,
                        const std::vector<PaymentAction>& actions, const PostingChoices& choices,
                        const PostingAccounts& accounts, const QDate& today);

struct DepositResult {
    bool found = false;  // false: the deposit record was not found again ("Deposit Not found")
    std::int64_t depositID = 0;
    ledger::Currency total;              // the total of the split lines, the deposit's CkAmount
    std::vector<std::int64_t> splitIDs;  // the lines' SplitIDs, in order
};

// Writes the deposit inside the caller's transaction: adds the deposit record with CkAmount 0 and
// reads its CkID, writes the split lines (CreateSplits), finds the record again by its CkID and
// sets CkAmount to the lines' total.
DepositResult CreateDeposit(ledger::Database& db, const DepositPlan& plan);

// Adds the split lines linked to the deposit record `depositID`; returns their total and adds
// their SplitIDs to `splitIDs`.
ledger::Currency CreateSplits(ledger::Database& db, std::int64_t depositID,
                              const std::vector<SplitLine>& lines,
                              std::vector<std::int64_t>& splitIDs);

}  // namespace corvane
