#include "payments/PostingPlan.h"

#include <QHash>

#include <algorithm>
#include <map>

namespace corvane {

using ledger::Currency;

RunAccounts AccountsOfRun(const LedgerPreferences& preferences, const PostingChoices& choices,
                          const QDate& today) {
    RunAccounts run;
    const auto invalid = [](const QString& name) {
        return PostingRefusal{.kind = PostingRefusal::Kind::InvalidCategory, .category = name};
    };
    if (!preferences.rentIncome.valid) {
        run.refusal = invalid(QStringLiteral("Rent Income"));
        return run;
    }
    PostingAccounts& a = run.accounts;
    a.rentAccount = preferences.rentIncome.account;
    a.rentCode = preferences.rentIncome.code;
    a.rentRemark = ExpandMonthRemark(preferences.rentIncomeRemark, today);
    if (!preferences.lateFee.valid) {
        run.refusal = invalid(QStringLiteral("Late Fee Received"));
        return run;
    }
    a.lateFeeAccount = preferences.lateFee.account;
    a.lateFeeCode = preferences.lateFee.code;
    a.lateFeeRemark = ExpandMonthRemark(preferences.lateFeeRemark, today);
    if (choices.postMgmtFees) {
        a.mgmtFeeCategoryValid = preferences.mgmtFee.valid;
        if (a.mgmtFeeCategoryValid) {
            a.mgmtFeeAccount = preferences.mgmtFee.account;
            a.mgmtFeeRemark = ExpandMonthRemark(preferences.mgmtFeeRemark, today);
        }
    }
    return run;
}

namespace {

// The split line of a recorded return in the run's deposit: the negative amount, on the account
// of the payment's entry.
SplitLine returnSplitLine(const PlannedReturn& r, const PostingAccounts& accounts) {
    SplitLine line;
    line.payment = r.paid.payment;
    line.amount = r.incomeAmount;
    line.accountID = r.accountID;
    line.postToID = r.tenantID;
    line.remark = r.remark;
    line.postTo = r.accountID == accounts.lateFeeAccount && r.accountID != accounts.rentAccount
                      ? accounts.lateFeeCode
                      : accounts.rentCode;
    return line;
}

NotPosted::Reason notPostedReason(PaymentAction::Reason reason) {
    return reason == PaymentAction::Reason::Note ? NotPosted::Reason::Note
                                                 : NotPosted::Reason::ReturnedNotRecorded;
}

// The tenants the plan touches, with their names and balances before and after.
std::vector<PlanTenant> tenantsOf(const PostingPlan& plan, LedgerLookup& lookup) {
    std::map<std::int64_t, PlanTenant> byID;
    const auto move = [&](std::int64_t tenantID, PlanBalance PlanTenant::*which,
                          Currency change) {
        PlanBalance& b = byID[tenantID].*which;
        b.changed = true;
        b.change += change;
    };
    for (const PlannedEntry& e : plan.entries) {
        byID[e.postToID];
        if (e.changesTenant)
            move(e.postToID, &PlanTenant::tenant, e.tenantChange);
        if (e.changesUnit)
            move(e.postToID, &PlanTenant::unit, e.unitChange);
    }
    for (const PlannedReturn& r : plan.returns) {
        byID[r.tenantID];
        if (r.tenantChange)
            move(r.tenantID, &PlanTenant::tenant, *r.tenantChange);
        if (r.unitChange)
            move(r.tenantID, &PlanTenant::unit, *r.unitChange);
    }
    std::vector<PlanTenant> tenants;
    tenants.reserve(byID.size());
    for (auto& [tenantID, t] : byID) {
        t.tenantID = tenantID;
        const LedgerIDsLookup found = lookup.LookupLedgerIDs(tenantID);
        if (found.failure != LookupFailure::TenantNotFound) {
            t.name = journal::PersonName(found.tenant.lastName, found.tenant.firstName);
            t.tenant.before = found.tenant.balance;
        }
        if (const auto unit = lookup.unit(tenantID)) {
            t.unitAddress = unit->address;
            t.unit.before = unit->balance;
        }
        for (PlanBalance* b : {&t.tenant, &t.unit}) {
            if (b->before)
                b->after = *b->before + b->change;
        }
        tenants.push_back(std::move(t));
    }
    return tenants;
}

std::vector<journal::OwnerTotal> ownersOf(const PostingPlan& plan, LedgerLookup& lookup) {
    // Each payment's income entry, with its fee entry when it has one.
    std::vector<journal::OwnerPayment> payments;
    QHash<std::size_t, std::size_t> ofPayment;  // payment -> its index in `payments`
    for (const PlannedEntry& e : plan.entries) {
        if (e.income) {
            journal::OwnerPayment p;
            p.ownerID = e.ids.ownerID;
            p.propID = e.ids.propID;
            const OwnerFeeLookup owner = lookup.ownerFee(e.ids.ownerID);
            p.owner = owner.ownerFound ? journal::PersonName(owner.lastName, owner.firstName)
                                       : QStringLiteral("Owner #%1").arg(e.ids.ownerID);
            p.property = lookup.LookupLedgerIDs(e.postToID).propertyName;
            p.amount = e.amount;
            ofPayment.insert(e.payment, payments.size());
            payments.push_back(std::move(p));
        } else if (const auto at = ofPayment.constFind(e.payment); at != ofPayment.constEnd()) {
            payments[*at].fee = e.amount;
        }
    }
    return journal::TotalsByOwner(payments);
}

PlanTotals totalsOf(const PostingPlan& plan) {
    PlanTotals t;
    for (const PlannedEntry& e : plan.entries) {
        if (e.income) {
            ++t.payments;
            t.paymentsTotal += e.amount;
        } else {
            ++t.fees;
            t.feesTotal += e.amount;
        }
    }
    for (const PlannedReturn& r : plan.returns) {
        ++t.returns;
        t.returnsTotal += r.incomeAmount;
        t.feesGivenBack += r.feeAmount.value_or(Currency());
    }
    if (plan.deposit) {
        t.splitLines = static_cast<int>(plan.deposit->lines.size());
        for (const SplitLine& line : plan.deposit->lines)
            t.splitTotal += line.amount;
    }
    for (const PlanTenant& tenant : plan.tenants) {
        t.tenantBalances += tenant.tenant.change;
        t.unitBalances += tenant.unit.change;
    }
    t.notPosted = static_cast<int>(plan.notPosted.size());
    t.entries = t.payments + t.fees + t.returns;
    for (const PlannedReturn& r : plan.returns)
        t.entries += r.fee && r.feeAmount ? 1 : 0;
    return t;
}

}  // namespace

PostingPlan preparePosting(ledger::Database& db, const std::vector<Payment>& payments,
                           const std::vector<PaymentAction>& actions,
                           const PostingChoices& choices, const PostingAccounts& accounts,
                           const QDate& today) {
    using Kind = PaymentAction::Kind;
    PostingPlan plan;
    LedgerLookup lookup(db);
    EntriesPlan entries = PlanLedgerEntries(payments, actions, choices, accounts, lookup);
    if (entries.refusal) {
        plan.refusal = PostingRefusal{.kind = PostingRefusal::Kind::Plan, .plan = *entries.refusal};
        return plan;
    }
    std::vector<PaymentReturn> recorded;
    for (std::size_t i = 0; i < payments.size(); ++i) {
        if (actions[i].kind == Kind::RecordReturn && actions[i].posted)
            recorded.push_back({payments[i].transactionNumber, *actions[i].posted, i});
    }
    ReturnsPlan returns = PlanReturns(db, recorded, today);
    if (returns.refusal) {
        plan.refusal = PostingRefusal{.kind = PostingRefusal::Kind::ReturnEntriesGone,
                                      .returned = *returns.refusal};
        return plan;
    }
    plan.entries = std::move(entries.entries);
    plan.range = std::move(entries.range);
    plan.returns = std::move(returns.returns);
    if (choices.createDeposit) {
        plan.deposit = PlanDeposit(payments, actions, choices, accounts, today);
        for (const PlannedReturn& r : plan.returns)
            plan.deposit->lines.push_back(returnSplitLine(r, accounts));
    }
    for (std::size_t i = 0; i < payments.size(); ++i) {
        if (actions[i].kind == Kind::LeaveOut)
            plan.notPosted.push_back({i, notPostedReason(actions[i].reason)});
        else if (actions[i].kind == Kind::Post && !payments[i].matched())
            plan.notPosted.push_back({i, NotPosted::Reason::NoTenant});
    }
    plan.tenants = tenantsOf(plan, lookup);
    plan.owners = ownersOf(plan, lookup);
    plan.totals = totalsOf(plan);
    return plan;
}

}  // namespace corvane
