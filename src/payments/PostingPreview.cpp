#include "payments/PostingPreview.h"

#include "payments/PaymentNotes.h"

#include "core/TextRules.h"
#include "journal/JournalRun.h"
#include "payments/PaymentActions.h"
#include "payments/PostingMessages.h"
#include "platform/Error.h"

#include <algorithm>

namespace corvane {

using ledger::Currency;

namespace {

QString money(Currency amount) {
    return formatCurrency(amount);
}

QString balance(const std::optional<Currency>& amount) {
    return amount ? money(*amount) : QStringLiteral("not in the ledger");
}

QString countAndTotal(int count, Currency total) {
    return QStringLiteral("%1, %2").arg(count).arg(money(total));
}

QString notPostedReason(NotPosted::Reason reason) {
    switch (reason) {
        case NotPosted::Reason::NoTenant:
            return QStringLiteral("Not found: no tenant has its account");
        case NotPosted::Reason::Note:
            return QStringLiteral("Noted and left out");
        case NotPosted::Reason::ReturnedNotRecorded:
            return QStringLiteral("Returned after posting, its return not recorded by this row");
    }
    return {};
}

// The name and unit of a tenant of the plan.
const PlanTenant* tenantIn(const PostingPlan& plan, std::int64_t tenantID) {
    const auto it =
        std::lower_bound(plan.tenants.begin(), plan.tenants.end(), tenantID,
                         [](const PlanTenant& t, std::int64_t id) { return t.tenantID < id; });
    return it != plan.tenants.end() && it->tenantID == tenantID ? &*it : nullptr;
}

QString tenantNameIn(const PostingPlan& plan, std::int64_t tenantID) {
    const PlanTenant* t = tenantIn(plan, tenantID);
    return t ? t->name : QString();
}

PostingPreview::Table ownersTable(const PostingPlan& plan) {
    return PostingPreview::Table{QStringLiteral("By Owner"), journal::OwnerTotalCaptions(),
                                 static_cast<int>(plan.owners.size()),
                                 [&plan](int row, int column) {
                                     return journal::OwnerTotalCells(plan.owners[row]).at(column);
                                 }};
}

// The entries in tenant order (`order`: indexes of plan.entries).
PostingPreview::Table entriesTable(const PostingPlan& plan, const std::vector<Payment>& payments,
                                   const std::vector<std::size_t>& order) {
    return PostingPreview::Table{
        QStringLiteral("Entries by Tenant"),
        {QStringLiteral("TID"), QStringLiteral("Tenant"), QStringLiteral("Entry"),
         QStringLiteral("Account"), QStringLiteral("Amount"), QStringLiteral("Date"),
         QStringLiteral("Check #"), QStringLiteral("Remark"), QStringLiteral("Against the Rent")},
        static_cast<int>(order.size()),
        [&plan, &payments, &order](int row, int column) -> QString {
            const PlannedEntry& e = plan.entries[order[static_cast<std::size_t>(row)]];
            switch (column) {
                case 0:
                    return QStringLiteral("T%1").arg(e.postToID);
                case 1:
                    return tenantNameIn(plan, e.postToID);
                case 2:
                    return !e.income ? QStringLiteral("Management Fee")
                                     : paymentKindText(payments[e.payment].kind);
                case 3:
                    return QString::number(e.accountID);
                case 4:
                    return money(e.amount);
                case 5:
                    return shortDate(e.date);
                case 6:
                    return e.checkNumber ? QString::number(*e.checkNumber) : QString();
                case 7:
                    return e.remark.value_or(QString());
                default:
                    return AgainstTheRent(e);
            }
        }};
}

PostingPreview::Table balancesTable(const PostingPlan& plan) {
    return PostingPreview::Table{
        QStringLiteral("Balances by Tenant"),
        {QStringLiteral("TID"), QStringLiteral("Tenant"), QStringLiteral("Unit Address"),
         QStringLiteral("Tenant Balance Before"), QStringLiteral("Tenant Balance After"),
         QStringLiteral("Unit Balance Before"), QStringLiteral("Unit Balance After")},
        static_cast<int>(plan.tenants.size()),
        [&plan](int row, int column) {
            const PlanTenant& t = plan.tenants[static_cast<std::size_t>(row)];
            switch (column) {
                case 0:
                    return QStringLiteral("T%1").arg(t.tenantID);
                case 1:
                    return t.name;
                case 2:
                    return t.unitAddress;
                case 3:
                    return balance(t.tenant.before);
                case 4:
                    return balance(t.tenant.after);
                case 5:
                    return balance(t.unit.before);
                default:
                    return balance(t.unit.after);
            }
        }};
}

PostingPreview::Table returnsTable(const PostingPlan& plan) {
    return PostingPreview::Table{
        QStringLiteral("Returns to Record"),
        {QStringLiteral("Transaction Number"), QStringLiteral("TID"), QStringLiteral("Tenant"),
         QStringLiteral("Posted On"), QStringLiteral("Account"), QStringLiteral("Amount"),
         QStringLiteral("Fee Given Back"), QStringLiteral("Date"), QStringLiteral("Remark"),
         QStringLiteral("Tenant Balance Change"), QStringLiteral("Unit Balance Change")},
        static_cast<int>(plan.returns.size()),
        [&plan](int row, int column) {
            const PlannedReturn& r = plan.returns[static_cast<std::size_t>(row)];
            const auto optionalMoney = [](const std::optional<Currency>& amount) {
                return amount ? money(*amount) : QString();
            };
            switch (column) {
                case 0:
                    return r.paid.transactionNumber;
                case 1:
                    return QStringLiteral("T%1").arg(r.tenantID);
                case 2:
                    return tenantNameIn(plan, r.tenantID);
                case 3:
                    return shortDate(r.paid.posted.postedOn);
                case 4:
                    return QString::number(r.accountID);
                case 5:
                    return money(r.incomeAmount);
                case 6:
                    return optionalMoney(r.feeAmount);
                case 7:
                    return shortDate(r.date);
                case 8:
                    return r.remark;
                case 9:
                    return optionalMoney(r.tenantChange);
                default:
                    return optionalMoney(r.unitChange);
            }
        }};
}

PostingPreview::Table notPostedTable(const PostingPlan& plan,
                                     const std::vector<Payment>& payments) {
    return PostingPreview::Table{
        QStringLiteral("Rows Not Posted"),
        {QStringLiteral("Line"), QStringLiteral("TID"), QStringLiteral("Tenant Name"),
         QStringLiteral("Amount"), QStringLiteral("Date"), QStringLiteral("Transaction Number"),
         QStringLiteral("Why")},
        static_cast<int>(plan.notPosted.size()),
        [&plan, &payments](int row, int column) {
            const NotPosted& n = plan.notPosted[static_cast<std::size_t>(row)];
            const Payment& p = payments[n.payment];
            switch (column) {
                case 0:
                    return QString::number(p.line);
                case 1:
                    return shownTid(p);
                case 2:  // "Last, First", the first name alone when the last is empty
                    return shownName(p).startsWith(QStringLiteral(", ")) ? shownName(p).mid(2)
                                                                         : shownName(p);
                case 3:
                    return formatCurrencyText(p.amountText);
                case 4:
                    return p.dateText;
                case 5:
                    return p.transactionNumber;
                default:
                    return n.reason == NotPosted::Reason::Note && p.note != NoteKind::None
                               ? notPostedReason(n.reason) + QStringLiteral(": ") + noteText(p)
                               : notPostedReason(n.reason);
            }
        }};
}

}  // namespace

QString AgainstTheRent(const PlannedEntry& entry) {
    if (!entry.rent)
        return {};
    return QStringLiteral("%1 than the rent of %2 by %3")
        .arg(entry.rentDifference < Currency() ? QStringLiteral("less") : QStringLiteral("more"),
             money(*entry.rent), money(entry.rentDifference.abs()));
}

QString PostingPreview::summary() {
    return QStringLiteral(
        "This is what 'Update Lodgebook Ledgers NOW' would write now with the remark, management "
        "fees and deposit chosen on the screen, the rows with a note left out and the returns of "
        "payments returned after posting recorded; nothing has been written.");
}

PostingPreview PostingPreview::make(ledger::Database* ledger, const LedgerPreferences& preferences,
                                    const QDate& today, std::vector<Payment> payments,
                                    const PostingChoices& choices) {
    PostingPreview preview;
    preview.payments_ = std::move(payments);
    const std::vector<Payment>& rows = preview.payments_;
    const RunAccounts accounts = AccountsOfRun(preferences, choices, today);
    if (accounts.refusal) {
        preview.refusal_ = refusalMessage(*accounts.refusal, rows);
        return preview;
    }
    if (!ledger) {
        preview.refusal_ = refusalMessage(PostingRefusal{}, rows);
        return preview;
    }
    ledger::Database& db = *ledger;
    ledger::ReadTransaction snapshot(db);
    const ReturnedPayments returned = ReturnedPaymentsOf(rows);
    const std::vector<PaymentAction> actions =
        DecidePaymentActions(rows, returned, kSuggestedAnswers);
    preview.plan_ = preparePosting(db, rows, actions, choices, accounts.accounts, today);
    if (preview.plan_.refusal) {
        preview.refusal_ = refusalMessage(*preview.plan_.refusal, rows);
        return preview;
    }
    auto& order = preview.entriesByTenant_;
    order.resize(preview.plan_.entries.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    const auto& entries = preview.plan_.entries;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return entries[a].postToID < entries[b].postToID;
    });
    return preview;
}

std::vector<PostingPreview::Table> PostingPreview::tables() const {
    if (refusal_)
        return {};
    std::vector<Table> tables;
    tables.push_back(ownersTable(plan_));
    tables.push_back(entriesTable(plan_, payments_, entriesByTenant_));
    tables.push_back(balancesTable(plan_));
    tables.push_back(returnsTable(plan_));
    tables.push_back(notPostedTable(plan_, payments_));
    return tables;
}

std::vector<PostingPreview::Figure> PostingPreview::deposit() const {
    if (refusal_)
        return {};
    if (!plan_.deposit)
        return {{QStringLiteral("Deposit:"), QStringLiteral("No deposit")}};
    const DepositPlan& d = *plan_.deposit;
    return {{QStringLiteral("Deposit Number:"), QString::number(d.number)},
            {QStringLiteral("Deposit Date:"), shortDate(d.date)},
            {QStringLiteral("Deposit Amount:"), money(plan_.totals.splitTotal)},
            {QStringLiteral("Split Lines:"),
             countAndTotal(plan_.totals.splitLines, plan_.totals.splitTotal)}};
}

std::vector<PostingPreview::Figure> PostingPreview::totals() const {
    if (refusal_)
        return {};
    const PlanTotals& t = plan_.totals;
    return {
        {QStringLiteral("Payments Posted:"), countAndTotal(t.payments, t.paymentsTotal)},
        {QStringLiteral("Management Fees:"), countAndTotal(t.fees, t.feesTotal.abs())},
        {QStringLiteral("Returns Recorded:"), countAndTotal(t.returns, t.returnsTotal.abs())},
        {QStringLiteral("Fees Given Back:"), money(t.feesGivenBack)},
        {QStringLiteral("Ledger Entries:"), QString::number(t.entries)},
        {QStringLiteral("Split Lines:"), countAndTotal(t.splitLines, t.splitTotal)},
        {QStringLiteral("Tenant Balances Change:"), money(t.tenantBalances)},
        {QStringLiteral("Unit Balances Change:"), money(t.unitBalances)},
        {QStringLiteral("Rows Not Posted:"), QString::number(t.notPosted)},
    };
}

}  // namespace corvane
