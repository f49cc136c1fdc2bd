#pragma once

#include "payments/StagedRow.h"
#include "platform/Dialogs.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <QStyledItemDelegate>

#include <vector>

namespace corvane {

// The payment screen's table of staged payments as the grid's model: one StagedRow per payment,
// in file order; the grid shows cells 1 to 13 (grid column k shows cell k + 1). Only "Pmt Type"
// can be edited, and only to "Rent" or "Late Fee"; any other value is refused with a message and
// the cell keeps its value. "Amount" is shown in currency form, the cell keeps its text.
class StagedPayments : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit StagedPayments(Dialogs& dialogs, QObject* parent = nullptr);

    static const QStringList& columnCaptions();
    // Grid column (0-based) of a staged cell number (1-based) and back.
    static int gridColumn(int cell) { return cell - 1; }

    void setRows(std::vector<StagedRow> rows);
    void clear();
    const std::vector<StagedRow>& rows() const { return rows_; }
    int StagedCount() const { return static_cast<int>(rows_.size()); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    bool removeRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;

private:
    Dialogs& dialogs_;
    std::vector<StagedRow> rows_;
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
