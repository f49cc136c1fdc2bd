#pragma once

#include "platform/Dialogs.h"
#include "platform/Error.h"
#include "platform/ledger/Database.h"
#include "platform/ledger/Value.h"

#include <QAbstractTableModel>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace corvane {

// One listed row: a tenant in one unit, with the unit's property and that property's owner. The
// six names and the address are kept in one string, so that a long list costs one string per row
// rather than one per field.
class TenantListRow {
public:
    enum Text { OwnerLast, OwnerFirst, PropertyName, UnitAddress, TenantLast, TenantFirst };
    static constexpr int kTextCount = TenantFirst + 1;

    // The fields in the order of kTenantListFields.
    explicit TenantListRow(const std::vector<ledger::Value>& fields);

    std::int64_t ownerId() const { return ownerId_; }
    std::int64_t propId() const { return propId_; }
    std::int64_t tenantId() const { return tenantId_; }
    QString text(Text which) const;
    const std::optional<ledger::Currency>& payment() const { return payment_; }  // Null: none
    const QString& flag() const { return flag_; }  // Tenants.TACH as stored
    void setFlag(const QString& flag) { flag_ = flag; }

private:
    std::int64_t ownerId_ = 0;
    std::int64_t propId_ = 0;
    std::int64_t tenantId_ = 0;
    QString texts_;
    std::array<int, kTextCount> ends_{};
    std::optional<ledger::Currency> payment_;
    QString flag_;
};

// The tenant list of the enrollment screen, bound to the ledger: the rows of a list query, read
// in one pass. Only the "Corvane" column (the enrollment flag) is editable; a flag edit is
// checked (upper-cased; "Y", "N" or "D" only, otherwise the user is told and the edit refused)
// and written to Tenants.TACH of that tenant at once.
//
// Call order: load(db, sql) to fill the list; then, any number of times, setData on the flag
// column, setAllFlags, and load or reload to re-run a query.
class TenantListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        ColOID,
        ColPID,
        ColTID,
        ColOwnerLast,
        ColOwnerFirst,
        ColPropertyName,
        ColUnitAddress,
        ColTenantLast,
        ColTenantFirst,
        ColPayment,
        ColCorvane,
        ColumnCount
    };

    explicit TenantListModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    // Runs the Jet SQL text on `db` and lists its rows (throws corvane::Error; the list is then
    // empty). The database must outlive the model's use of it.
    void load(ledger::Database& db, const QString& jetSql);
    // Runs the last query again (the rows read last stay when no record has changed since).
    void reload();

    const std::vector<TenantListRow>& rows() const { return rows_; }

    // Writes `flag` to Tenants.TACH of every listed row's tenant, in one transaction (nothing is
    // written when any write fails; throws corvane::Error). A tenant listed twice is written
    // once, with the same value.
    void setAllFlags(const QString& flag);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

Q_SIGNALS:
    // An edit of the "Corvane" column was refused (not Y or N) or could not be written: the
    // message for the window to show. The row keeps its flag.
    void editRefused(const corvane::UserMessage& message);

private:
    // False when the tenant is not in the ledger (any more).
    bool writeFlag(ledger::Recordset& tenants, std::int64_t tenantId, const QString& flag);
    void showFlagsOf(std::int64_t tenantId, const QString& flag);

    ledger::Database* db_ = nullptr;
    QString sql_;
    // The rows are those of sql_ over the records as they were at mark_.
    bool current_ = false;
    ledger::Database::ContentMark mark_;
    std::vector<TenantListRow> rows_;
};

// The message when a flag edit is refused.
inline const QString kFlagRefusedMessage = QStringLiteral(
    "Please enter 'Y' if this Tenant uses the Corvane Rent or 'N' if not. If you want to "
    "permanently DELETE this Tenant from Corvane, enter a 'D'.");
inline const QString kFlagRefusedTitle = QStringLiteral("Corvane Rent");

}  // namespace corvane
