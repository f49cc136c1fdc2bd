#include "enrollment/TenantListModel.h"

#include "app/TextRules.h"

#include <QStringList>

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

TenantListRow readRow(ledger::Recordset& rs) {
    TenantListRow row;
    row.ownerId = rs.field(QStringLiteral("OwnerID")).toInteger();
    row.propId = rs.field(QStringLiteral("TPropID")).toInteger();
    row.tenantId = rs.field(QStringLiteral("TenantID")).toInteger();
    row.ownerLast = rs.field(QStringLiteral("OLastName1")).toText();
    row.ownerFirst = rs.field(QStringLiteral("OFirstName1")).toText();
    row.propertyName = rs.field(QStringLiteral("PropName")).toText();
    row.unitAddress = rs.field(QStringLiteral("UAddress")).toText();
    row.tenantLast = rs.field(QStringLiteral("TLastName1")).toText();
    row.tenantFirst = rs.field(QStringLiteral("TFirstName1")).toText();
    row.payment = rs.field(QStringLiteral("TPayment"));
    row.flag = rs.field(QStringLiteral("TACH")).toText();
    return row;
}

}  // namespace

void showLedgerError(Dialogs& dialogs, const Error& error) {
    dialogs.messageBox(QStringLiteral("Error %1: %2").arg(error.number()).arg(error.description()),
                       MsgButtons::Ok, MsgIcon::Information,
                       QStringLiteral("Corvane Error Message"));
}

TenantListModel::TenantListModel(Dialogs& dialogs, QObject* parent)
    : QAbstractTableModel(parent), dialogs_(dialogs) {}

void TenantListModel::load(ledger::Database& db, const QString& jetSql) {
    beginResetModel();
    db_ = &db;
    sql_ = jetSql;
    rows_.clear();
    try {
        auto rs = db.openDynaset(jetSql);
        for (; !rs->eof(); rs->moveNext())
            rows_.push_back(readRow(*rs));
        rs->close();
    } catch (...) {
        rows_.clear();
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
            return QString::number(row.ownerId);
        case ColPID:
            return QString::number(row.propId);
        case ColTID:
            return QString::number(row.tenantId);
        case ColOwnerLast:
            return row.ownerLast;
        case ColOwnerFirst:
            return row.ownerFirst;
        case ColPropertyName:
            return row.propertyName;
        case ColUnitAddress:
            return row.unitAddress;
        case ColTenantLast:
            return row.tenantLast;
        case ColTenantFirst:
            return row.tenantFirst;
        case ColPayment:
            return row.payment.isNull() ? QString() : formatCurrency(row.payment.toCurrency());
        case ColCorvane:
            return row.flag;
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
        dialogs_.messageBox(kFlagRefusedMessage, MsgButtons::Ok, MsgIcon::Information,
                            kFlagRefusedTitle);
        return false;
    }
    const std::int64_t tenantId = rows_[static_cast<std::size_t>(index.row())].tenantId;
    try {
        auto tenants = db_->openTable(QStringLiteral("Tenants"));
        tenants->setIndex(QStringLiteral("TenantIDIndex"));
        if (!writeFlag(*tenants, tenantId, flag)) {
            throw Error(errc::NoCurrentRecord,
                        QStringLiteral("No current record: tenant %1 is no longer in the ledger.")
                            .arg(tenantId));
        }
        tenants->close();
    } catch (const Error& error) {
        showLedgerError(dialogs_, error);
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
        auto tenants = db_->openTable(QStringLiteral("Tenants"));
        tenants->setIndex(QStringLiteral("TenantIDIndex"));
        // A tenant removed from the ledger since the list was read has nothing to write.
        for (const TenantListRow& row : rows_)
            writeFlag(*tenants, row.tenantId, flag);
        tenants->close();
        transaction.commit();
    }
    for (TenantListRow& row : rows_)
        row.flag = flag;
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
    tenants.setField(QStringLiteral("TACH"), ledger::Value::text(flag));
    tenants.update();
    return true;
}

// A tenant in two units is listed twice: both rows show the flag just written.
void TenantListModel::showFlagsOf(std::int64_t tenantId, const QString& flag) {
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (rows_[i].tenantId != tenantId)
            continue;
        rows_[i].flag = flag;
        const int r = static_cast<int>(i);
        Q_EMIT dataChanged(index(r, ColCorvane), index(r, ColCorvane));
    }
}

}  // namespace corvane
