#pragma once

#include "payments/PaymentIntake.h"
#include "payments/StagedRow.h"
#include "platform/ledger/Database.h"

#include <memory>

namespace corvane {

inline const QString kTidNotFoundText = QStringLiteral("(TID not found-PRINT SCREEN!)");
inline const QString kTenantNotFoundText = QStringLiteral("(not found-cannot post!)");

// Matches payment lines to Lodgebook tenants and their units and fills the staged rows.
// Tenants are found by index seek on TenantIDIndex, units on UTenantIDIndex (the first unit the
// index gives, which is the tenant's unit with the lowest UnitID). When Properties, Units or
// Tenants is empty, no payment matches (as with the ledger's property x unit x tenant query).
//
// Call order: construct over the open ledger (opens the two tables once), then fill() for each
// payment line, then let it go (the record sets close with it).
class PaymentMatcher {
public:
    explicit PaymentMatcher(ledger::Database& db);
    ~PaymentMatcher();
    PaymentMatcher(const PaymentMatcher&) = delete;
    PaymentMatcher& operator=(const PaymentMatcher&) = delete;

    // The staged row of one payment: TID, address, name, amount, date, check character,
    // "Rent" and the transaction number; unmatched payments carry the not-found texts.
    StagedRow fill(const PaymentLine& line);

private:
    std::unique_ptr<ledger::Recordset> tenants_;
    std::unique_ptr<ledger::Recordset> units_;
    bool matchesNothing_ = false;
};

// "Last, First", or the last name alone when the first name is Null or blank.
QString tenantDisplayName(const ledger::Value& lastName, const ledger::Value& firstName);

}  // namespace corvane
