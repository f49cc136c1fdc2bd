#pragma once

#include "payments/Payment.h"
#include "platform/ledger/Database.h"

#include <QHash>

#include <memory>

namespace corvane {

// Matches payments to Lodgebook tenants and their units.
// Tenants are found by index seek on TenantIDIndex, units on UTenantIDIndex (the first unit the
// index gives, which is the tenant's unit with the lowest UnitID). When Properties, Units or
// Tenants is empty, no payment matches (as with the ledger's property x unit x tenant query).
//
// Each account number is looked up once per load. For a file that is large against the ledger,
// the two tables are instead read once in index order (the same first unit per tenant), which
// costs one statement instead of two seeks per tenant. The matcher reads the ledger as one
// snapshot: a read transaction is held from construction to destruction (when none is open).
//
// Call order: construct over the open ledger with the number of payment lines (opens the two
// tables once), then match() for each payment, then let it go (the record sets close with it).
class PaymentMatcher {
public:
    enum class Lookup { Auto, Seek, Preload };
    PaymentMatcher(ledger::Database& db, qsizetype lineCount, Lookup lookup = Lookup::Auto);
    ~PaymentMatcher();
    PaymentMatcher(const PaymentMatcher&) = delete;
    PaymentMatcher& operator=(const PaymentMatcher&) = delete;

    // Sets the payment's tenant, unit address and tenant name from its account; a payment that
    // matches no tenant gets no tenant and the not-found texts.
    void match(Payment& payment);
    // Sets the payment's tenant, unit address and tenant name as match() does for the tenant's
    // own account; false (the payment unchanged) when the ledger has no such tenant.
    bool matchTenant(Payment& payment, std::int64_t tenantID);

private:
    // What the ledger says about one account number; a file often holds a tenant several times.
    struct TenantMatch {
        bool found = false;
        std::int64_t tenantID = 0;
        std::optional<QString> unitAddress;
        QString tenantName;
    };
    TenantMatch lookUp(qint64 account);
    void preload(ledger::Database& db);

    ledger::ReadTransaction snapshot_;
    QHash<qint64, TenantMatch> known_;
    std::unique_ptr<ledger::Recordset> tenants_;
    std::unique_ptr<ledger::Recordset> units_;
    // For seeks: TenantID, TLastName1, TFirstName1 by TenantIDIndex; UAddress by UTenantIDIndex.
    std::unique_ptr<ledger::IndexLookup> tenantFields_;
    std::unique_ptr<ledger::IndexLookup> unitAddress_;
    bool matchesNothing_ = false;
    bool preloaded_ = false;
};

// "Last, First", or the last name alone when the first name is Null or blank.
QString tenantDisplayName(const ledger::Value& lastName, const ledger::Value& firstName);

}  // namespace corvane
