#pragma once

#include "core/Globals.h"
#include "journal/PostingJournal.h"

#include <QDialog>

#include <memory>
#include <optional>

class QLabel;
class QPushButton;
class QStandardItemModel;
class QTableView;

namespace corvane {

// "Corvane Remembered Tenants": the tenants the user chose for processor accounts that match no
// tenant of their own (RememberedTenants.h), with the forgetting of one of them. Opened from the
// posting history. The opener constructs it, runs Load() (which may show the journal's message),
// then exec() (modal).
class frmRememberedTenants : public QDialog {
    Q_OBJECT
public:
    explicit frmRememberedTenants(Globals& globals, QWidget* parent = nullptr);
    ~frmRememberedTenants() override;

    // Reads the journal's remembered choices (none when there is no journal) and lists them by
    // account, the first one selected.
    void Load();
    void selectRow(int row);
    // The account of the selected row.
    std::optional<QString> selectedAccount() const;

private:
    void fillList();
    void selectionChanged();
    void cmdForget_Click();
    void showJournalError(const journal::JournalError& error);

    Globals& globals_;
    std::unique_ptr<journal::PostingJournal> journal_;

    QTableView* gridRemembered_;
    QStandardItemModel* choices_;
    QLabel* labNone_;
    QPushButton* cmdForget_;
    QPushButton* cmdExit_;
};

}  // namespace corvane
