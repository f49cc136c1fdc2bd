#include "payments/PaymentMatching.h"

#include "core/TextRules.h"
#include "platform/ledger/Currency.h"
#include "platform/ledger/LedgerSchema.h"

#include <optional>

namespace corvane {

QString tenantDisplayName(const ledger::Value& lastName, const ledger::Value& firstName) {
    const QString last = lastName.toText();
    if (firstName.isNull() || trimBlanks(firstName.toText()).isEmpty())
        return last;
    return last + QStringLiteral(", ") + firstName.toText();
}

PaymentMatcher::PaymentMatcher(ledger::Database& db, qsizetype lineCount, Lookup lookup)
    : snapshot_(db) {
    matchesNothing_ = db.openTable(Properties::table)->recordCount() == 0;
    tenants_ = db.openTable(Tenants::table);
    units_ = db.openTable(Units::table);
    const std::int64_t tenantCount = tenants_->recordCount();
    const std::int64_t unitCount = units_->recordCount();
    if (tenantCount == 0 || unitCount == 0)
        matchesNothing_ = true;
    tenants_->setIndex(Tenants::TenantIDIndex);
    units_->setIndex(Units::UTenantIDIndex);
    // A seek costs about as much as reading four records in a walk.
    const bool large = 4 * static_cast<std::int64_t>(lineCount) > tenantCount + unitCount;
    if (!matchesNothing_ && (lookup == Lookup::Preload || (lookup == Lookup::Auto && large))) {
        preload(db);
    } else if (!matchesNothing_) {
        tenantFields_ =
            db.openLookup(Tenants::table, Tenants::TenantIDIndex,
                          {Tenants::TenantID, Tenants::TLastName1, Tenants::TFirstName1});
        unitAddress_ = db.openLookup(Units::table, Units::UTenantIDIndex, {Units::UAddress});
    }
}

void PaymentMatcher::preload(ledger::Database& db) {
    QHash<qint64, QString> firstUnitAddress;
    db.openLookup(Units::table, Units::UTenantIDIndex, {Units::UAddress})
        ->forEach([&](const ledger::Value& tenantId, const std::vector<ledger::Value>& unit) {
            if (tenantId.isNull())
                return;
            const qint64 key = tenantId.toInteger();
            if (!firstUnitAddress.contains(key))
                firstUnitAddress.insert(key, unit[0].toText());
        });
    db.openLookup(Tenants::table, Tenants::TenantIDIndex,
                  {Tenants::TLastName1, Tenants::TFirstName1})
        ->forEach([&](const ledger::Value& tenantId, const std::vector<ledger::Value>& tenant) {
            const qint64 key = tenantId.toInteger();
            if (known_.contains(key))
                return;
            TenantMatch match;
            match.found = true;
            match.tenantID = key;
            const auto unit = firstUnitAddress.constFind(key);
            if (unit != firstUnitAddress.constEnd())
                match.unitAddress = *unit;
            match.tenantName = tenantDisplayName(tenant[0], tenant[1]);
            known_.insert(key, match);
        });
    preloaded_ = true;
}

PaymentMatcher::~PaymentMatcher() = default;

PaymentMatcher::TenantMatch PaymentMatcher::lookUp(qint64 account) {
    const auto cached = known_.constFind(account);
    if (cached != known_.constEnd())
        return *cached;
    TenantMatch match;
    if (preloaded_)
        return match;
    if (const auto tenant = tenantFields_->find(ledger::Value::integer(account))) {
        const std::vector<ledger::Value>& fields = *tenant;
        match.found = true;
        match.tenantID = fields[0].toInteger();
        const auto unit = unitAddress_->find(ledger::Value::integer(fields[0].toInteger()));
        if (unit)
            match.unitAddress = (*unit)[0].toText();
        match.tenantName = tenantDisplayName(fields[1], fields[2]);
    }
    known_.insert(account, match);
    return match;
}

void PaymentMatcher::match(Payment& payment) {
    const AccountNumber account = accountNumberOf(payment.account);
    TenantMatch match;
    if (!matchesNothing_ && account.key)
        match = lookUp(*account.key);
    if (match.found) {
        payment.tenantID = match.tenantID;
        payment.unitAddress = match.unitAddress;
        payment.tenantName = match.tenantName;
    } else {
        payment.tenantID.reset();
        payment.unitAddress.reset();
        payment.tenantName.clear();
    }
}

bool PaymentMatcher::matchTenant(Payment& payment, std::int64_t tenantID) {
    const TenantMatch match = matchesNothing_ ? TenantMatch() : lookUp(tenantID);
    if (!match.found)
        return false;
    payment.tenantID = match.tenantID;
    payment.unitAddress = match.unitAddress;
    payment.tenantName = match.tenantName;
    return true;
}

}  // namespace corvane
