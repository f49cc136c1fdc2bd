#pragma once

#include "payments/PaymentIntake.h"
#include "payments/StagedRow.h"
#include "platform/ledger/Database.h"

#include <QHash>

#include <memory>

namespace corvane {

inline const QString kTidNotFoundText = QStringLiteral("(TID not found-PRINT SCREEN!)");
inline const QString kTenantNotFoundText = QStringLiteral("(not found-cannot post!)");

// Matches payment lines to Lodgebook tenants and their units and fills the staged rows.
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
// tables once), then fill() for each payment line, then let it go (the record sets close with it).
class PaymentMatcher {
public:
    enum class Lookup { Auto, Seek, Preload };
    PaymentMatcher(ledger::Database& db, qsizetype lineCount, Lookup lookup = Lookup::Auto);
    ~PaymentMatcher();
    PaymentMatcher(const PaymentMatcher&) = delete;
    PaymentMatcher& operator=(const PaymentMatcher&) = delete;

    // The staged row of one payment: TID, address, name, amount, date, check character,
    // "Rent" and the transaction number; unmatched payments carry the not-found texts.
    StagedRow fill(const PaymentLine& line);

private:
    // What the ledger says about one account number; a file often holds a tenant several times.
    struct TenantMatch {
        bool found = false;
        QString tid;
        QString unitAddress;
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
