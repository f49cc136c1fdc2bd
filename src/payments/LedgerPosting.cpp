#include "payments/LedgerPosting.h"

#include "core/TextRules.h"
#include "platform/Error.h"
#include "platform/ledger/DateText.h"
#include "platform/ledger/LedgerSchema.h"

#include <QHash>
#include <QLocale>
#include <QSet>
#include <QStringList>

#include <algorithm>
#include <array>
#include <vector>

namespace corvane {

using ledger::Currency;
using ledger::Value;

QString ExpandMonthRemark(const QString& preference, const QDate& today) {
    const QString remark = trimBlanks(preference);
    const QString word = QStringLiteral("MONTH");
    const qsizetype at = remark.indexOf(word, 0, Qt::CaseSensitive);
    if (at < 0) {
        return remark;
    }
    const QString month = QLocale::system().standaloneMonthName(today.month(), QLocale::LongFormat);
    return trimBlanks(remark.left(at) + month + remark.mid(at + word.size()));
}

// ---- look-ups ----

LedgerLookup::LedgerLookup(ledger::Database& db) : db_(db) {}
LedgerLookup::~LedgerLookup() = default;

ledger::IndexLookup& LedgerLookup::table(std::unique_ptr<ledger::IndexLookup>& lookup,
                                         const QString& name, const QString& index,
                                         const QStringList& fields) {
    if (!lookup) {
        lookup = db_.openLookup(name, index, fields);
    }
    return *lookup;
}

LedgerIDsLookup LedgerLookup::LookupLedgerIDs(std::int64_t tenantID) {
    if (auto it = ids_.constFind(tenantID); it != ids_.constEnd()) {
        return *it;
    }
    LedgerIDsLookup result;
    auto& tenants = table(tenants_, Tenants::table, Tenants::TenantIDIndex,
                          {Tenants::TPropID, Tenants::TCurrBal, Tenants::TPayment,
                           Tenants::TFirstName1, Tenants::TLastName1});
    const auto tenant = tenants.find(Value::integer(tenantID));
    if (!tenant) {
        result.failure = LookupFailure::TenantNotFound;
    } else {
        result.propID = (*tenant)[0].toInteger();
        const auto text = [](const Value& v) { return v.isNull() ? QString() : v.toText(); };
        result.tenant = {(*tenant)[1].isNull() ? Currency() : (*tenant)[1].toCurrency(),
                         (*tenant)[2].isNull() ? Currency() : (*tenant)[2].toCurrency(),
                         text((*tenant)[3]), text((*tenant)[4])};
        // Many tenants share a property: each property is read once.
        auto property = propertiesFound_.constFind(result.propID);
        if (property == propertiesFound_.constEnd()) {
            auto& props = table(properties_, Properties::table, Properties::PropIDIndex,
                                {Properties::POwnerID, Properties::PropID, Properties::PropName});
            std::optional<std::vector<Value>> fields = props.find(Value::integer(result.propID));
            property = propertiesFound_.insert(result.propID, std::move(fields));
        }
        if (!*property) {
            result.failure = LookupFailure::PropertyNotFound;
        } else {
            result.ids.ownerID = (**property)[0].toInteger();
            result.ids.propID = (**property)[1].toInteger();
            const Value& name = (**property)[2];
            result.propertyName = name.isNull() ? QString() : name.toText();
            result.ids.tenantID = tenantID;
            result.ids.unitID = tenantID;
        }
    }
    ids_.insert(tenantID, result);
    return result;
}

std::optional<UnitRecord> LedgerLookup::unit(std::int64_t tenantID) {
    if (auto it = unitsFound_.constFind(tenantID); it != unitsFound_.constEnd()) {
        return *it;
    }
    auto& units =
        table(units_, Units::table, Units::UTenantIDIndex, {Units::UCurrBal, Units::UAddress});
    std::optional<UnitRecord> found;
    if (const auto record = units.find(Value::integer(tenantID))) {
        found = UnitRecord{(*record)[0].isNull() ? Currency() : (*record)[0].toCurrency(),
                           (*record)[1].isNull() ? QString() : (*record)[1].toText()};
    }
    unitsFound_.insert(tenantID, found);
    return found;
}

OwnerFeeLookup LedgerLookup::ownerFee(std::int64_t ownerID) {
    if (auto it = ownersFound_.constFind(ownerID); it != ownersFound_.constEnd()) {
        return *it;
    }
    OwnerFeeLookup result;
    auto& owners = table(owners_, Owners::table, Owners::OwnerIDIndex,
                         {Owners::OMgmtFee, Owners::OLastName1, Owners::OFirstName1});
    if (const auto owner = owners.find(Value::integer(ownerID))) {
        result.ownerFound = true;
        result.mgmtFee = (*owner)[0];
        result.lastName = (*owner)[1].isNull() ? QString() : (*owner)[1].toText();
        result.firstName = (*owner)[2].isNull() ? QString() : (*owner)[2].toText();
    }
    ownersFound_.insert(ownerID, result);
    return result;
}

void LedgerLookup::prefetch(std::vector<std::int64_t> tenantIDs) {
    std::sort(tenantIDs.begin(), tenantIDs.end());
    tenantIDs.erase(std::unique(tenantIDs.begin(), tenantIDs.end()), tenantIDs.end());
    for (const std::int64_t tenantID : tenantIDs) {
        if (LookupLedgerIDs(tenantID).failure == LookupFailure::None) {
            hasUnit(tenantID);
        }
    }
}

// ---- values of a run ----

std::optional<QString> chosenRemark(const PostingChoices& choices, const Payment& payment,
                                    const QString& defaultRemark) {
    const auto first60 = [](const QString& text) { return trimBlanks(trimBlanks(text).left(60)); };
    switch (choices.remarkChoice) {
        case 0:
            return defaultRemark;
        case 1:
            return first60(paymentKindText(payment.kind));
        case 2:
            return first60(choices.remarkText);
        default:
            return std::nullopt;
    }
}

std::int64_t depositNumber(const PostingChoices& choices) {
    return Currency::leadingValue(choices.depositNumber).roundedToWhole();
}

// ---- the plan ----

namespace {

// The fee of one rent payment, negative; nullopt when OMgmtFee is neither empty, a number nor a
// number followed by "%".
std::optional<Currency> managementFee(const Value& mgmtFee, Currency amount) {
    const QString text = trimBlanks(mgmtFee.toText());
    if (mgmtFee.isNull() || text.isEmpty()) {
        return Currency();
    }
    const qsizetype percentAt = text.indexOf(QLatin1Char('%'));
    if (percentAt < 0) {
        const auto flat = Currency::fromText(text);
        return flat ? std::optional(-flat->abs()) : std::nullopt;
    }
    const auto percent = Currency::fromText(text.left(percentAt));
    if (!percent) {
        return std::nullopt;
    }
    return -Currency::percentOf(*percent, amount).abs();
}

PlanRefusal refusalOf(PlanRefusal::Kind kind, std::size_t payment, std::int64_t tenantID = 0) {
    PlanRefusal refusal{.kind = kind, .payment = payment};
    refusal.tenantID = tenantID;
    return refusal;
}

// Whether the run posts payment `i`: matched, and not left out.
bool isPosted(const std::vector<Payment>& payments, const std::vector<PaymentAction>& actions,
              std::size_t i) {
    return payments[i].matched() && actions[i].kind == PaymentAction::Kind::Post;
}

// The tenants of the payments from `first` on that the run posts, for one lookup in key order.
std::vector<std::int64_t> postedTenantsFrom(const std::vector<Payment>& payments,
                                            const std::vector<PaymentAction>& actions,
                                            std::size_t first) {
    std::vector<std::int64_t> tenantIDs;
    tenantIDs.reserve(payments.size() - first);
    for (std::size_t i = first; i < payments.size(); ++i) {
        if (isPosted(payments, actions, i)) {
            tenantIDs.push_back(*payments[i].tenantID);
        }
    }
    return tenantIDs;
}

// Widens a run's range of payment dates (as the payments show them) to each payment added;
// every date of the range reads as a date, so they compare as dates.
class DateRange {
public:
    explicit DateRange(std::optional<PaymentDateRange>& range) : range_(range) {}
    void add(const Payment& payment) {
        const QDate date = *payment.date;
        if (!range_) {
            range_ = PaymentDateRange{payment.dateText, payment.dateText};
            from_ = to_ = date;
            return;
        }
        if (date < from_) {
            range_->from = payment.dateText;
            from_ = date;
        }
        if (to_ < date) {
            range_->to = payment.dateText;
            to_ = date;
        }
    }

private:
    std::optional<PaymentDateRange>& range_;
    QDate from_, to_;
};

// The income entry of payment `i` (dated), added to `entries`; or why the run cannot post it.
// `deposit`: the deposit's number when the run makes one with a number (the entries' check
// number), else 0.
std::optional<PlanRefusal> addIncomeEntry(std::vector<PlannedEntry>& entries,
                                          const Payment& payment, std::size_t i,
                                          const PostingChoices& choices, std::int64_t deposit,
                                          const PostingAccounts& accounts, LedgerLookup& lookup) {
    const std::int64_t tenantID = *payment.tenantID;
    const LedgerIDsLookup found = lookup.LookupLedgerIDs(tenantID);
    if (found.failure != LookupFailure::None) {
        PlanRefusal refusal = refusalOf(found.failure == LookupFailure::TenantNotFound
                                            ? PlanRefusal::Kind::TenantNotFound
                                            : PlanRefusal::Kind::PropertyNotFound,
                                        i, tenantID);
        refusal.propID = found.propID;
        return refusal;
    }
    PlannedEntry entry;
    entry.payment = i;
    entry.income = true;
    const bool lateFee = payment.kind == PaymentKind::LateFee;
    entry.accountID = lateFee ? accounts.lateFeeAccount : accounts.rentAccount;
    entry.postToID = tenantID;
    entry.amount = payment.amount.abs();
    entry.date = *payment.date;
    entry.checkNumber = payment.checkNumber;
    if (deposit != 0) {
        entry.checkNumber = deposit;
    }
    entry.remark =
        chosenRemark(choices, payment, lateFee ? accounts.lateFeeRemark : accounts.rentRemark);
    entry.status = lateFee ? accounts.lateFeeCode : QStringLiteral("B");
    entry.ids = found.ids;
    if (!lookup.hasUnit(tenantID)) {
        PlanRefusal refusal = refusalOf(PlanRefusal::Kind::UnitNotFound, i, tenantID);
        refusal.entry = entry;
        return refusal;
    }
    const BalancesMoved moved = balancesMovedBy(entry.status);
    entry.changesUnit = moved.unit;
    entry.unitChange = entry.amount;
    entry.changesTenant = moved.tenant;
    entry.tenantChange = entry.amount;
    if (!lateFee && found.tenant.rent > Currency() && found.tenant.rent != entry.amount) {
        entry.rent = found.tenant.rent;
        entry.rentDifference = entry.amount - found.tenant.rent;
    }
    entries.push_back(std::move(entry));
    return std::nullopt;
}

// The management fee entry of rent payment `i`, added to `entries` unless the fee is nothing;
// or why the run cannot post it. The payment pass found the tenant's keys and checked the date.
std::optional<PlanRefusal> addFeeEntry(std::vector<PlannedEntry>& entries, const Payment& payment,
                                       std::size_t i, const PostingAccounts& accounts,
                                       LedgerLookup& lookup) {
    const std::int64_t tenantID = *payment.tenantID;
    const LedgerIDs ids = lookup.LookupLedgerIDs(tenantID).ids;
    const OwnerFeeLookup owner = lookup.ownerFee(ids.ownerID);
    if (!owner.ownerFound) {
        PlanRefusal refusal = refusalOf(PlanRefusal::Kind::OwnerNotFound, i, tenantID);
        refusal.ownerID = ids.ownerID;
        return refusal;
    }
    const auto fee = managementFee(owner.mgmtFee, payment.amount.abs());
    if (!fee) {
        PlanRefusal refusal = refusalOf(PlanRefusal::Kind::InvalidMgmtFee, i, tenantID);
        refusal.ownerID = ids.ownerID;
        refusal.mgmtFee = owner.mgmtFee.toText();
        return refusal;
    }
    if (fee->isZero()) {
        return std::nullopt;
    }
    PlannedEntry entry;
    entry.payment = i;
    entry.income = false;
    entry.accountID = accounts.mgmtFeeAccount;
    entry.postToID = tenantID;
    entry.amount = *fee;
    entry.date = *payment.date;
    entry.remark = accounts.mgmtFeeRemark;
    entry.status = QStringLiteral("U");
    entry.ids = ids;
    entry.changesUnit = true;
    entry.unitChange = -fee->abs();
    entries.push_back(std::move(entry));
    return std::nullopt;
}

}  // namespace

EntriesPlan PlanLedgerEntries(const std::vector<Payment>& payments,
                              const std::vector<PaymentAction>& actions,
                              const PostingChoices& choices, const PostingAccounts& accounts,
                              LedgerLookup& lookup) {
    EntriesPlan plan;
    plan.entries.reserve(payments.size() * (choices.postMgmtFees ? 2 : 1));
    const auto posted = [&](std::size_t i) { return isPosted(payments, actions, i); };
    const std::int64_t deposit = choices.createDeposit ? depositNumber(choices) : 0;

    // The payment pass.
    DateRange range(plan.range);
    bool prefetched = false;
    for (std::size_t i = 0; i < payments.size(); ++i) {
        if (!posted(i)) {
            continue;
        }
        if (!payments[i].date) {
            plan.refusal = refusalOf(PlanRefusal::Kind::InvalidDate, i);
            return plan;
        }
        if (!prefetched) {
            lookup.prefetch(postedTenantsFrom(payments, actions, i));
            prefetched = true;
        }
        plan.refusal =
            addIncomeEntry(plan.entries, payments[i], i, choices, deposit, accounts, lookup);
        if (plan.refusal) {
            return plan;
        }
        range.add(payments[i]);
    }

    if (!choices.postMgmtFees) {
        return plan;
    }
    if (!accounts.mgmtFeeCategoryValid) {
        plan.refusal = refusalOf(PlanRefusal::Kind::MgmtFeeCategoryInvalid, 0);
        return plan;
    }
    // The management fee pass: one fee per rent payment.
    for (std::size_t i = 0; i < payments.size(); ++i) {
        if (posted(i) && payments[i].kind == PaymentKind::Rent) {
            plan.refusal = addFeeEntry(plan.entries, payments[i], i, accounts, lookup);
            if (plan.refusal) {
                return plan;
            }
        }
    }
    return plan;
}

// ---- writing ----

namespace {

// The balance changes of a run as (tenant, change) in the order the entries make them; applied,
// they are ordered by tenant with each tenant's changes kept in that order.
using BalanceChanges = std::vector<std::pair<std::int64_t, Currency>>;

// Applies the changes of each tenant's first record (in index order), tenant after tenant in key
// order, so that neighbouring records of the index are written one after another; each record
// ends as if its changes were applied entry by entry. Returns the tenants without a record.
QSet<std::int64_t> applyBalanceChanges(ledger::Database& db, const QString& table,
                                       const QString& index, const QString& field,
                                       BalanceChanges changes) {
    QSet<std::int64_t> missing;
    if (changes.empty()) {
        return missing;
    }
    std::stable_sort(changes.begin(), changes.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    const auto balances = db.openLookup(table, index, {field});
    std::vector<Currency> tenantChanges;
    for (auto it = changes.cbegin(); it != changes.cend();) {
        const std::int64_t tenantID = it->first;
        tenantChanges.clear();
        for (; it != changes.cend() && it->first == tenantID; ++it) {
            tenantChanges.push_back(it->second);
        }
        if (!balances->addTo(Value::integer(tenantID), 0, tenantChanges)) {
            missing.insert(tenantID);
        }
    }
    return missing;
}

// Throws for the first entry, in order, whose unit or tenant record is gone (the caller rolls
// back); nothing when none is.
void refuseMissingRecords(const std::vector<PlannedEntry>& entries,
                          const QSet<std::int64_t>& unitsMissing,
                          const QSet<std::int64_t>& tenantsMissing) {
    if (unitsMissing.isEmpty() && tenantsMissing.isEmpty()) {
        return;
    }
    const auto gone = [](const char* what, std::int64_t tenantID) {
        return Error(errc::NoCurrentRecord,
                     QStringLiteral("The %1 of Tenant ID #%2 is no longer in the ledger.")
                         .arg(QLatin1String(what))
                         .arg(tenantID));
    };
    for (const PlannedEntry& e : entries) {
        if (e.changesUnit && unitsMissing.contains(e.postToID)) {
            throw gone("unit", e.postToID);
        }
        if (e.changesTenant && tenantsMissing.contains(e.postToID)) {
            throw gone("tenant record", e.postToID);
        }
    }
}

}  // namespace

std::vector<std::int64_t> WriteLedgerEntries(ledger::Database& db,
                                             const std::vector<PlannedEntry>& entries) {
    // What a record set over "SELECT * from Transactions" would add, field by field; `date` is
    // the payment date as the ISO text it is stored as (a date value would look up the time
    // zone), made once per date.
    const Value income = Value::text(QStringLiteral("I"));
    const Value expense = Value::text(QStringLiteral("E"));
    const Value ach = Value::text(QStringLiteral("ACH"));
    const Value noTax = Value::text(QStringLiteral("N"));
    const auto record = [&](const PlannedEntry& e,
                            const Value& date) -> std::array<ledger::FieldValue, 14> {
        using namespace Transactions;
        return {{
            {TransAccountID, Value::integer(e.accountID)},
            {TransPostToID, Value::integer(e.postToID)},
            {TransAmount, Value::currency(e.amount)},
            {TransDate, date},
            {TransCheckNumber, e.checkNumber ? Value::integer(*e.checkNumber) : Value()},
            {TransRemark, e.remark ? std::optional(Value::text(*e.remark)) : std::nullopt},
            {TransType, e.income ? income : expense},
            {TransPmtType, e.income ? std::optional(ach) : std::nullopt},
            {TransStatus, Value::text(e.status)},
            {TransTax, noTax},
            {TransOID, Value::integer(e.ids.ownerID)},
            {TransPID, Value::integer(e.ids.propID)},
            {TransUID, Value::integer(e.ids.unitID)},
            {TransTID, Value::integer(e.ids.tenantID)},
        }};
    };
    // Every entry's record names the same fields.
    const auto transactions =
        db.openAppender(Transactions::table, ledger::fieldNames(record(PlannedEntry{}, Value())));
    QHash<QDate, Value> dateTexts;
    const std::vector<std::int64_t> transIDs = transactions->addAll(
        entries.size(), [&](std::size_t i, std::vector<std::optional<Value>>& values) {
            const PlannedEntry& e = entries[i];
            auto date = dateTexts.find(e.date);
            if (date == dateTexts.end()) {
                date = dateTexts.insert(
                    e.date,
                    Value::text(ledger::isoDateText(ledger::DateParts{e.date, QTime(0, 0)})));
            }
            auto fields = record(e, *date);
            ledger::takeValues(fields, values);
        });

    BalanceChanges unitChanges, tenantChanges;
    unitChanges.reserve(entries.size());
    tenantChanges.reserve(entries.size());
    for (const PlannedEntry& e : entries) {
        if (e.changesUnit) {
            unitChanges.emplace_back(e.postToID, e.unitChange);
        }
        if (e.changesTenant) {
            tenantChanges.emplace_back(e.postToID, e.tenantChange);
        }
    }
    const QSet<std::int64_t> unitsMissing = applyBalanceChanges(
        db, Units::table, Units::UTenantIDIndex, Units::UCurrBal, std::move(unitChanges));
    const QSet<std::int64_t> tenantsMissing = applyBalanceChanges(
        db, Tenants::table, Tenants::TenantIDIndex, Tenants::TCurrBal, std::move(tenantChanges));
    refuseMissingRecords(entries, unitsMissing, tenantsMissing);
    return transIDs;
}

}  // namespace corvane
