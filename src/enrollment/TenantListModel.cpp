#include "enrollment/TenantListModel.h"

#include "core/StartUp.h"
#include "core/TextRules.h"
#include "enrollment/TenantExport.h"
#include "platform/ledger/LedgerSchema.h"

#include <QStringList>

#include <algorithm>

namespace corvane {
namespace {

const QStringList kCaptions = {
    QStringLiteral("OID"),
    QStringLiteral("PID"),
    QStringLiteral("TID"),
    QStringLiteral("Owner Last"),
    QStringLiteral("Owner First"),
    QStringLiteral("Property Name"),
    QStringLiteral("Rental Unit Address"),
    QStringLiteral("Tenant Last"),
    QStringLiteral("Tenant First"),
    QStringLiteral("Payment"),
    QStringLiteral("Corvane"),
};

bool isAcceptedFlag(const QString& flag) {
    return flag == QLatin1String("Y") || flag == QLatin1String("N") || flag == QLatin1String("D");
}

// The fields a row is made of, in the order TenantListRow takes them.
const std::vector<TenantListField> kRowFields = {
    {Owners::table, Owners::OwnerID},       {Tenants::table, Tenants::TPropID},
    {Tenants::table, Tenants::TenantID},    {Owners::table, Owners::OLastName1},
    {Owners::table, Owners::OFirstName1},   {Properties::table, Properties::PropName},
    {Units::table, Units::UAddress},        {Tenants::table, Tenants::TLastName1},
    {Tenants::table, Tenants::TFirstName1}, {Tenants::table, Tenants::TPayment},
    {Tenants::table, Tenants::TACH},
};
constexpr int kFirstText = 3;
constexpr int kPaymentField = kFirstText + TenantListRow::kTextCount;
constexpr int kFlagField = kPaymentField + 1;

// The list query reads the fields a row shows rather than the four tables' every field: the same
// rows in the same order.
QString narrowedListSql(const QString& jetSql) {
    if (!jetSql.startsWith(kTenantListSql))
        return jetSql;
    return tenantListSqlOf(kRowFields) + jetSql.mid(kTenantListSql.size());
}

}  // namespace

TenantListRow::TenantListRow(const std::vector<ledger::Value>& fields)
    : ownerId_(fields[0].toInteger()),
      propId_(fields[1].toInteger()),
      tenantId_(fields[2].toInteger()),
      flag_(fields[kFlagField].toText()) {
    for (int i = 0; i < kTextCount; ++i) {
        texts_ += fields[static_cast<std::size_t>(kFirstText + i)].toText();
        ends_[static_cast<std::size_t>(i)] = static_cast<int>(texts_.size());
    }
    texts_.squeeze();
    const ledger::Value& payment = fields[kPaymentField];
    if (!payment.isNull())
        payment_ = payment.toCurrency();
}

QString TenantListRow::text(Text which) const {
    const int begin = which == 0 ? 0 : ends_[static_cast<std::size_t>(which) - 1];
    return texts_.mid(begin, ends_[static_cast<std::size_t>(which)] - begin);
}

void TenantListModel::load(ledger::Database& db, const QString& jetSql) {
    beginResetModel();
    const bool sameQuery = current_ && &db == db_ && jetSql == sql_;
    db_ = &db;
    sql_ = jetSql;
    try {
        // The same query over the same records lists the same rows: they are not read again.
        const ledger::Database::ContentMark mark = db.contentMark();
        if (sameQuery && mark == mark_) {
            endResetModel();
            return;
        }
        current_ = false;
        rows_.clear();
        auto rs = db.openDynaset(narrowedListSql(jetSql));
        // The flag takes a few values: the rows share them.
        QStringList flags;
        rs->forEach(fieldNamesOf(kRowFields), [&](const std::vector<ledger::Value>& fields) {
            TenantListRow& row = rows_.emplace_back(fields);
            const auto known = std::find(flags.cbegin(), flags.cend(), row.flag());
            if (known != flags.cend()) {
                row.setFlag(*known);
            } else if (flags.size() < 8) {
                flags.append(row.flag());
            }
        });
        rs->close();
        mark_ = mark;
        current_ = true;
    } catch (...) {
        rows_.clear();
        current_ = false;
        endResetModel();
        throw;
    }
    endResetModel();
}

void TenantListModel::reload() {
    if (db_)
        load(*db_, sql_);
}

int TenantListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TenantListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TenantListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    if (role == Qt::TextAlignmentRole && index.column() == ColPayment) {
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    }
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    const TenantListRow& row = rows_[static_cast<std::size_t>(index.row())];
    switch (index.column()) {
        case ColOID:
            return QString::number(row.ownerId());
        case ColPID:
            return QString::number(row.propId());
        case ColTID:
            return QString::number(row.tenantId());
        case ColOwnerLast:
            return row.text(TenantListRow::OwnerLast);
        case ColOwnerFirst:
            return row.text(TenantListRow::OwnerFirst);
        case ColPropertyName:
            return row.text(TenantListRow::PropertyName);
        case ColUnitAddress:
            return row.text(TenantListRow::UnitAddress);
        case ColTenantLast:
            return row.text(TenantListRow::TenantLast);
        case ColTenantFirst:
            return row.text(TenantListRow::TenantFirst);
        case ColPayment:
            return row.payment() ? formatCurrency(*row.payment()) : QString();
        case ColCorvane:
            return row.flag();
        default:
            return {};
    }
}

QVariant TenantListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= ColumnCount) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    return kCaptions[section];
}

Qt::ItemFlags TenantListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == ColCorvane)
        f |= Qt::ItemIsEditable;
    return f;
}

bool TenantListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole || index.column() != ColCorvane || !db_) {
        return false;
    }
    const QString flag = value.toString().toUpper();
    if (!isAcceptedFlag(flag)) {
        Q_EMIT editRefused(
            UserMessage{kFlagRefusedMessage, MsgIcon::Information, kFlagRefusedTitle});
        return false;
    }
    const std::int64_t tenantId = rows_[static_cast<std::size_t>(index.row())].tenantId();
    try {
        auto tenants = db_->openTable(Tenants::table);
        tenants->setIndex(Tenants::TenantIDIndex);
        if (!writeFlag(*tenants, tenantId, flag)) {
            throw Error(errc::NoCurrentRecord,
                        QStringLiteral("No current record: tenant %1 is no longer in the ledger.")
                            .arg(tenantId));
        }
        tenants->close();
    } catch (const Error& error) {
        Q_EMIT editRefused(GeneralErrorMessage(error.number(), error.description()));
        return false;
    }
    showFlagsOf(tenantId, flag);
    return true;
}

void TenantListModel::setAllFlags(const QString& flag) {
    if (!db_)
        return;
    {
        ledger::Transaction transaction(*db_);
        // Only the flag is written: a look-up of that one field rather than whole records.
        auto tenants = db_->openLookup(Tenants::table, Tenants::TenantIDIndex, {Tenants::TACH});
        const ledger::Value value = ledger::Value::text(flag);
        // In the index's order, each tenant once (a tenant listed twice gets the same value
        // twice): neighbouring records are written one after another.
        std::vector<std::int64_t> tenantIds;
        tenantIds.reserve(rows_.size());
        for (const TenantListRow& row : rows_)
            tenantIds.push_back(row.tenantId());
        std::sort(tenantIds.begin(), tenantIds.end());
        tenantIds.erase(std::unique(tenantIds.begin(), tenantIds.end()), tenantIds.end());
        // A tenant removed from the ledger since the list was read has nothing to write.
        for (const std::int64_t tenantId : tenantIds)
            tenants->set(ledger::Value::integer(tenantId), 0, value);
        tenants.reset();
        transaction.commit();
    }
    for (TenantListRow& row : rows_)
        row.setFlag(flag);
    if (!rows_.empty()) {
        Q_EMIT dataChanged(index(0, ColCorvane), index(rowCount() - 1, ColCorvane));
    }
}

bool TenantListModel::writeFlag(ledger::Recordset& tenants, std::int64_t tenantId,
                                const QString& flag) {
    tenants.seek(ledger::Value::integer(tenantId));
    if (tenants.noMatch())
        return false;
    tenants.edit();
    tenants.setField(Tenants::TACH, ledger::Value::text(flag));
    tenants.update();
    return true;
}

// A tenant in two units is listed twice: both rows show the flag just written.
void TenantListModel::showFlagsOf(std::int64_t tenantId, const QString& flag) {
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (rows_[i].tenantId() != tenantId)
            continue;
        rows_[i].setFlag(flag);
        const int r = static_cast<int>(i);
        Q_EMIT dataChanged(index(r, ColCorvane), index(r, ColCorvane));
    }
}

}  // namespace corvane
