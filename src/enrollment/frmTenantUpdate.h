#pragma once

#include "core/Globals.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableView;

namespace corvane {

class OptionList;
class TenantListModel;

// The tenant enrollment screen: the ledger's tenants with their enrollment flag, in five orders,
// all or the enrolled only; flag edits go to the ledger at once; select-all and the tenant export.
// The opener constructs it, runs Load() (the loading, which may show messages), then exec()
// (modal). Its controls carry the objectNames optDisplay, optSortBy, gridACH, chkSelectAll,
// cmdExport, cmdExit, labListed, labCount, labTID, labUpdatePSN and txtTenantUpdate.
class frmTenantUpdate : public QDialog {
    Q_OBJECT
public:
    explicit frmTenantUpdate(Globals& globals, QWidget* parent = nullptr);
    void Load();
    // Builds the list query from the two option lists, sets the column widths of the chosen
    // order, lists the rows and shows their count.
    void GridSQL();

    // Grid column widths are given in twips; the grid's resolution turns them into pixels.
    int twipsToPixels(int twips) const;

protected:
    // Whatever way the screen closes, a flag still being typed is committed first.
    void done(int result) override;

private:
    void optDisplay_Change();
    void chkSelectAll_Click(bool checked);
    void cmdExport_Click();
    void commitOpenEdit();
    void refreshList();
    void showCount();

    Globals& globals_;
    OptionList* optDisplay_;
    OptionList* optSortBy_;
    QTableView* gridACH_;
    TenantListModel* model_;
    QCheckBox* chkSelectAll_;
    QPushButton* cmdExport_;
    QPushButton* cmdExit_;
    QLabel* labListed_;
    QLabel* labCount_;
    QLabel* labTID_;
    QLabel* labUpdatePSN_;
    QPlainTextEdit* txtTenantUpdate_;
    bool loading_ = false;
};

}  // namespace corvane
