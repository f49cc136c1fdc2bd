#pragma once

#include "payments/Payment.h"
#include "payments/PaymentActions.h"
#include "payments/PostingRun.h"
#include "platform/ledger/Currency.h"
#include "platform/ledger/Database.h"

#include <QDate>
#include <QHash>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace corvane {

// The remark, trimmed of blanks, with the current month's full name (system language) in place of
// its first "MONTH" (exact case).
QString ExpandMonthRemark(const QString& remark, const QDate& today);

// The owner, property, tenant and unit a tenant's ledger entries belong to (a unit is identified
// by its tenant's ID).
struct LedgerIDs {
    std::int64_t ownerID = 0;
    std::int64_t propID = 0;
    std::int64_t tenantID = 0;
    std::int64_t unitID = 0;
};

enum class LookupFailure { None, TenantNotFound, PropertyNotFound };

// What a posting plan shows of a tenant's record beside its keys.
struct TenantRecord {
    ledger::Currency balance;  // TCurrBal
    ledger::Currency rent;     // TPayment (0 when empty)
    QString firstName, lastName;
};

struct LedgerIDsLookup {
    LedgerIDs ids;
    LookupFailure failure = LookupFailure::None;
    std::int64_t propID = 0;  // the tenant's TPropID (named in the message when it is missing)
    TenantRecord tenant;      // unless the tenant is not found
    QString propertyName;     // PropName, when the property is found
};

// A tenant's unit: the first Units record with its UTenantID.
struct UnitRecord {
    ledger::Currency balance;  // UCurrBal
    QString address;           // UAddress
};

struct OwnerFeeLookup {
    bool ownerFound = false;
    ledger::Value mgmtFee;  // OMgmtFee as stored
    QString lastName, firstName;
};

// The ledger look-ups of a posting run, each key read once and kept. Construct it over the open
// ledger, then call any of the look-ups in any order; the index look-ups stay open for the life
// of the object.
class LedgerLookup {
public:
    explicit LedgerLookup(ledger::Database& db);
    ~LedgerLookup();
    LedgerLookup(const LedgerLookup&) = delete;
    LedgerLookup& operator=(const LedgerLookup&) = delete;

    // The tenant's record (TenantIDIndex), then its property's (PropIDIndex).
    LedgerIDsLookup LookupLedgerIDs(std::int64_t tenantID);
    // Whether a Units record has this UTenantID (UTenantIDIndex), and the first such record.
    bool hasUnit(std::int64_t tenantID) { return unit(tenantID).has_value(); }
    std::optional<UnitRecord> unit(std::int64_t tenantID);
    // The owner's record (OwnerIDIndex) and its OMgmtFee.
    OwnerFeeLookup ownerFee(std::int64_t ownerID);
    // Looks up these tenants (ledger IDs, then the unit of each one found) in key order, which
    // reads neighbouring index entries one after another; the look-ups above then answer from
    // what was read.
    void prefetch(std::vector<std::int64_t> tenantIDs);

private:
    ledger::IndexLookup& table(std::unique_ptr<ledger::IndexLookup>& lookup, const QString& name,
                               const QString& index, const QStringList& fields);

    ledger::Database& db_;
    std::unique_ptr<ledger::IndexLookup> tenants_, properties_, units_, owners_;
    QHash<std::int64_t, LedgerIDsLookup> ids_;
    QHash<std::int64_t, std::optional<std::vector<ledger::Value>>> propertiesFound_;
    QHash<std::int64_t, std::optional<UnitRecord>> unitsFound_;
    QHash<std::int64_t, OwnerFeeLookup> ownersFound_;
};

// The remark by the remark choice: 0 `defaultRemark`, 1 the payment type, 2 the typed remark
// (both trimmed, at most 60 characters); nullopt for any other choice.
std::optional<QString> chosenRemark(const PostingChoices& choices, const Payment& payment,
                                    const QString& defaultRemark);
// The leading-number value of the deposit number, as a whole number.
std::int64_t depositNumber(const PostingChoices& choices);

// The account categories and remarks of a run, read from the preferences.
struct PostingAccounts {
    std::int64_t rentAccount = 0;
    QString rentCode;
    QString rentRemark;
    std::int64_t lateFeeAccount = 0;
    QString lateFeeCode;
    QString lateFeeRemark;
    bool mgmtFeeCategoryValid = false;
    std::int64_t mgmtFeeAccount = 0;
    QString mgmtFeeRemark;
};

// One new Transactions record and the balance changes that follow it.
struct PlannedEntry {
    std::size_t payment = 0;  // the payment it is made from (its index in the run's payments)
    bool income = true;       // a payment ("I", "ACH") or a management fee ("E")
    std::int64_t accountID = 0;
    std::int64_t postToID = 0;
    ledger::Currency amount;
    QDate date;
    std::optional<std::int64_t> checkNumber;
    std::optional<QString> remark;
    QString status;
    LedgerIDs ids;
    bool changesUnit = false;  // UCurrBal += unitChange
    ledger::Currency unitChange;
    bool changesTenant = false;  // TCurrBal += tenantChange
    ledger::Currency tenantChange;
    // A rent payment of a tenant whose rent (TPayment) is above zero and differs from the amount:
    // the rent, and the amount less the rent (below zero for a partial payment).
    std::optional<ledger::Currency> rent;
    ledger::Currency rentDifference;
};

struct PaymentDateRange {
    QString from;
    QString to;
};

// Why a plan refuses the run, with what its message names (PostingMessages.h words it).
struct PlanRefusal {
    enum class Kind {
        InvalidDate,             // the payment's date is not a date
        TenantNotFound,          // no Tenants record has the payment's tenant ID
        PropertyNotFound,        // the tenant's property (propID) is not in the ledger
        UnitNotFound,            // no unit has the tenant; `entry` is the one that needed it
        MgmtFeeCategoryInvalid,  // fees chosen, but the management fee category is not valid
        OwnerNotFound,           // the property's owner (ownerID) is not in the ledger
        InvalidMgmtFee,          // the owner's OMgmtFee (mgmtFee) is neither amount nor percent
    };
    Kind kind = Kind::InvalidDate;
    std::size_t payment = 0;  // the payment it names (its index in the run's payments)
    std::int64_t tenantID = 0;
    std::int64_t propID = 0;
    std::int64_t ownerID = 0;
    QString mgmtFee{};
    PlannedEntry entry{};
};

// The ledger entries of a run in the order they are added, or the first refusal found.
struct EntriesPlan {
    std::vector<PlannedEntry> entries;
    std::optional<PaymentDateRange> range;  // none when every row is unmatched
    std::optional<PlanRefusal> refusal;
};

// The payment pass and, when fees are chosen, the management fee pass, as a plan: every matched
// payment that is not left out is checked (date, tenant, property, unit; then the fee category,
// owners and fees) before anything is written. Reads the ledger through `lookup` only.
// Only the matched payments whose action is Post are planned.
EntriesPlan PlanLedgerEntries(const std::vector<Payment>& payments,
                              const std::vector<PaymentAction>& actions,
                              const PostingChoices& choices, const PostingAccounts& accounts,
                              LedgerLookup& lookup);

// Adds the planned entries through "SELECT * from Transactions", then applies their balance
// changes to each unit and tenant (each record's changes in entry order, records in key order),
// read and written inside the caller's transaction. A unit or tenant missing at this point throws
// corvane::Error 3021 naming the first entry, in order, that needed it. Returns the new records'
// TransIDs, one per entry in order.
std::vector<std::int64_t> WriteLedgerEntries(ledger::Database& db,
                                             const std::vector<PlannedEntry>& entries);

}  // namespace corvane
