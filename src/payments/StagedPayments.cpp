#include "payments/StagedPayments.h"

#include "core/TextRules.h"
#include "payments/PaymentNotes.h"

#include <QComboBox>

namespace corvane {
namespace {

const QString kRent = QStringLiteral("Rent");
const QString kLateFee = QStringLiteral("Late Fee");

bool validIndex(const QModelIndex& index, int rowCount) {
    return index.isValid() && !index.parent().isValid() && index.row() >= 0 &&
           index.row() < rowCount && index.column() >= 0 &&
           index.column() < staged::GridColumnCount;
}

}  // namespace

QString shownCell(const Payment& p, int column) {
    switch (column) {
        case staged::TID:
            return shownTid(p);
        case staged::UnitAddress:
            return shownAddress(p);
        case staged::TenantName:
            return shownName(p);
        case staged::Amount:
            return p.amountText;
        case staged::Date:
            return p.dateText;
        case staged::CheckNumber:
            return p.checkChar;
        case staged::PmtType:
            return paymentKindText(p.kind);
        case staged::TransactionNumber:
            return p.transactionNumber;
        case staged::Note:
            return noteText(p);
        default:
            return {};
    }
}

const QStringList& StagedPayments::columnCaptions() {
    static const QStringList captions = {QStringLiteral("OID"),
                                         QStringLiteral("PID"),
                                         QStringLiteral("UID"),
                                         QStringLiteral("TID"),
                                         QStringLiteral("Rental Unit Address"),
                                         QStringLiteral("Tenant Name"),
                                         QStringLiteral("Amount"),
                                         QStringLiteral("Date"),
                                         QStringLiteral("Check #"),
                                         QStringLiteral("Deposit Date"),
                                         QStringLiteral("Pmt Type"),
                                         QStringLiteral("Transaction Number"),
                                         QStringLiteral("Note")};
    return captions;
}

void StagedPayments::setRows(std::vector<Payment> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

void StagedPayments::clear() {
    setRows({});
}

int StagedPayments::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : StagedCount();
}

int StagedPayments::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : staged::GridColumnCount;
}

QVariant StagedPayments::data(const QModelIndex& index, int role) const {
    if (!validIndex(index, StagedCount()))
        return {};
    const QString cell = shownCell(rows_[static_cast<size_t>(index.row())], index.column() + 1);
    if (role == Qt::DisplayRole) {
        return index.column() == gridColumn(staged::Amount) ? formatCurrencyText(cell) : cell;
    }
    if (role == Qt::EditRole)
        return cell;
    if (role == Qt::TextAlignmentRole && index.column() == gridColumn(staged::Amount)) {
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    }
    return {};
}

QVariant StagedPayments::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    if (section < 0 || section >= columnCaptions().size())
        return {};
    return columnCaptions().at(section);
}

Qt::ItemFlags StagedPayments::flags(const QModelIndex& index) const {
    if (!validIndex(index, StagedCount()))
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == gridColumn(staged::PmtType))
        f |= Qt::ItemIsEditable;
    return f;
}

bool StagedPayments::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !validIndex(index, StagedCount()) ||
        index.column() != gridColumn(staged::PmtType)) {
        return false;
    }
    const QString text = value.toString();
    if (text != kRent && text != kLateFee) {
        Q_EMIT editRefused(UserMessage{
            QStringLiteral("Only the words 'Rent' or 'Late Fee' are allowed under Pmt Type"),
            MsgIcon::Information, QStringLiteral("Pmt Type Edit")});
        return false;
    }
    rows_[static_cast<size_t>(index.row())].kind =
        text == kLateFee ? PaymentKind::LateFee : PaymentKind::Rent;
    Q_EMIT dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

bool StagedPayments::removeRows(int row, int count, const QModelIndex& parent) {
    if (parent.isValid() || row < 0 || count <= 0 || row + count > StagedCount())
        return false;
    beginRemoveRows(QModelIndex(), row, row + count - 1);
    rows_.erase(rows_.begin() + row, rows_.begin() + row + count);
    endRemoveRows();
    return true;
}

QWidget* PmtTypeDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                       const QModelIndex&) const {
    auto* box = new QComboBox(parent);
    box->addItems({kRent, kLateFee});
    box->setAccessibleName(QStringLiteral("Pmt Type"));
    // A choice is committed at once, not only when the editor loses the focus.
    auto* self = const_cast<PmtTypeDelegate*>(this);
    connect(box, &QComboBox::activated, self, [self, box] {
        Q_EMIT self->commitData(box);
        Q_EMIT self->closeEditor(box);
    });
    return box;
}

void PmtTypeDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    auto* box = qobject_cast<QComboBox*>(editor);
    if (box == nullptr)
        return;
    const int found = box->findText(index.data(Qt::EditRole).toString());
    box->setCurrentIndex(found < 0 ? 0 : found);
}

void PmtTypeDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                   const QModelIndex& index) const {
    auto* box = qobject_cast<QComboBox*>(editor);
    if (box == nullptr)
        return;
    model->setData(index, box->currentText(), Qt::EditRole);
}

}  // namespace corvane
