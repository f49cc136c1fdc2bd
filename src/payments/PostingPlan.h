#pragma once

#include "core/Preferences.h"
#include "journal/OwnerTotals.h"
#include "payments/Deposit.h"
#include "payments/LedgerPosting.h"
#include "payments/Payment.h"
#include "payments/PaymentActions.h"
#include "payments/PaymentReturns.h"
#include "payments/PostingRun.h"
#include "platform/ledger/Currency.h"
#include "platform/ledger/Database.h"

#include <QDate>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace corvane {

// Why a posting run refuses to post, with what its message names (PostingMessages.h words it).
struct PostingRefusal {
    enum class Kind {
        LedgerNotOpen,      // there is no ledger to post to
        InvalidCategory,    // the preference `category` names no valid account category
        Plan,               // a payment the run cannot post (`plan`)
        ReturnEntriesGone,  // a return whose original entries are gone (`returned`)
    };
    Kind kind = Kind::LedgerNotOpen;
    QString category{};  // "Rent Income" or "Late Fee Received"
    PlanRefusal plan{};
    ReturnRefusal returned{};
};

// The accounts of a run from the ledger preferences (the management fee's when fees are chosen),
// or the refusal of an invalid rent income or late fee category.
struct RunAccounts {
    PostingAccounts accounts;
    std::optional<PostingRefusal> refusal;
};
RunAccounts AccountsOfRun(const LedgerPreferences& preferences, const PostingChoices& choices,
                          const QDate& today);

// A payment of the run that is not posted, and why.
struct NotPosted {
    enum class Reason {
        NoTenant,             // no tenant matched its account (it still has its split line)
        Note,                 // it carries a note, and such payments are left out
        ReturnedNotRecorded,  // posted before, now reported as not settled; not posted again
    };
    std::size_t payment = 0;
    Reason reason = Reason::NoTenant;
};

// One balance of a tenant or a unit: as the ledger holds it before the run, what the run adds and
// what it holds after. `before` and `after` are none when the record is not in the ledger.
struct PlanBalance {
    bool changed = false;  // some entry or return of the run moves it
    std::optional<ledger::Currency> before;
    ledger::Currency change;
    std::optional<ledger::Currency> after;
};

// A tenant whose entries, returns or balances the run writes.
struct PlanTenant {
    std::int64_t tenantID = 0;
    QString name;         // "Last, First" (the first name alone when the last is empty)
    QString unitAddress;  // its unit's UAddress
    PlanBalance tenant;   // TCurrBal
    PlanBalance unit;     // UCurrBal of its unit (the first with its UTenantID)
};

struct PlanTotals {
    int entries = 0;  // every Transactions record: payments, fees, returns and fees given back
    int payments = 0;  // income entries
    ledger::Currency paymentsTotal;
    int fees = 0;  // management fee entries
    ledger::Currency feesTotal;  // negative, as written
    int returns = 0;
    ledger::Currency returnsTotal;  // the returns' income entries, negative
    ledger::Currency feesGivenBack;
    int splitLines = 0;
    ledger::Currency splitTotal;  // the deposit's CkAmount
    ledger::Currency tenantBalances;  // the sum of the changes to TCurrBal
    ledger::Currency unitBalances;    // the sum of the changes to UCurrBal
    int notPosted = 0;
};

// Everything a posting run writes, made before anything is written: the entries (payments, then
// management fees) with their balance changes, the returns, the deposit and its split lines (the
// payments', then the returns'), the payments not posted and why, every tenant's and unit's
// balance before and after, the totals by owner and of the run. Or, instead of all that, the
// refusal of the run. The posting run writes exactly this plan; the posting preview shows it.
struct PostingPlan {
    std::optional<PostingRefusal> refusal;
    std::vector<PlannedEntry> entries;
    std::optional<PaymentDateRange> range;  // none when no payment is posted
    std::vector<PlannedReturn> returns;
    std::optional<DepositPlan> deposit;  // when a deposit is chosen
    std::vector<NotPosted> notPosted;    // in file order
    std::vector<PlanTenant> tenants;     // in key order
    std::vector<journal::OwnerTotal> owners;
    PlanTotals totals;
};

// Makes the plan of a run of `payments` with one action each (DecidePaymentActions), reading the
// ledger only: checks and plans the entries (PlanLedgerEntries), the returns (PlanReturns), the
// deposit (PlanDeposit), then reads the names and balances of the tenants and units it touches.
// Writes nothing. Throws corvane::Error when the ledger cannot be read.
PostingPlan preparePosting(ledger::Database& db, const std::vector<Payment>& payments,
                           const std::vector<PaymentAction>& actions,
                           const PostingChoices& choices, const PostingAccounts& accounts,
                           const QDate& today);

}  // namespace corvane
