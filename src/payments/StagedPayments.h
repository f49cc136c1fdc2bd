#pragma once

#include "payments/Payment.h"
#include "platform/Dialogs.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <QStyledItemDelegate>

#include <vector>

namespace corvane {

// The grid's columns, numbered from 1 as the screen and the print report name them.
namespace staged {
inline constexpr int OID = 1;
inline constexpr int PID = 2;
inline constexpr int UID = 3;
inline constexpr int TID = 4;  // "T42", or "T#99" for an unmatched payment
inline constexpr int UnitAddress = 5;
inline constexpr int TenantName = 6;
inline constexpr int Amount = 7;       // amount text, "1234.56"
inline constexpr int Date = 8;         // payment date as the file gives it
inline constexpr int CheckNumber = 9;  // one character
inline constexpr int DepositDate = 10;
inline constexpr int PmtType = 11;  // "Rent" or "Late Fee"
inline constexpr int TransactionNumber = 12;
inline constexpr int Note = 13;  // "Already posted 12/01/2026", ...; empty when none
inline constexpr int GridColumnCount = 13;
}  // namespace staged

// The text a payment shows in a grid column (1 to 13): the file's texts as read, the TID, the
// payment type; the owner, property, unit and deposit date columns stay empty.
QString shownCell(const Payment& payment, int column);

// The payment screen's table of staged payments as the grid's model: one Payment per row, in
// file order, shown in the columns above (grid column k shows column k + 1). Only "Pmt Type"
// can be edited, and only to "Rent" or "Late Fee"; any other value is refused (editRefused) and
// the payment keeps its kind. "Amount" is shown in currency form; its edit text is the file's.
class StagedPayments : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit StagedPayments(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    static const QStringList& columnCaptions();
    // Grid column (0-based) of a staged cell number (1-based) and back.
    static int gridColumn(int cell) { return cell - 1; }

    void setRows(std::vector<Payment> rows);
    void clear();
    const std::vector<Payment>& rows() const { return rows_; }
    int StagedCount() const { return static_cast<int>(rows_.size()); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    bool removeRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;

Q_SIGNALS:
    // An edit of "Pmt Type" to other than "Rent" or "Late Fee" was refused: the message for the
    // screen to show.
    void editRefused(const corvane::UserMessage& message);

private:
    std::vector<Payment> rows_;
};

// The "Pmt Type" editor: a drop-down of "Rent" and "Late Fee".
class PmtTypeDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;
};

}  // namespace corvane
