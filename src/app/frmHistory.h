#pragma once

#include "core/Globals.h"
#include "journal/PostingJournal.h"

#include <QDialog>

#include <cstdint>
#include <memory>
#include <optional>

class QLabel;
class QPushButton;
class QStandardItemModel;
class QTableView;

namespace corvane {

// The posting history: one row per posting run of the journal, newest first, with what the ledger
// holds of it when the window opens (its State), the report of the selected run, the reversal of
// the selected run when the ledger holds it as posted and the remembered tenant choices
// (frmRememberedTenants). The opener constructs
// it, runs Load() (which may show the journal's message), then exec() (modal).
class frmHistory : public QDialog {
    Q_OBJECT
public:
    explicit frmHistory(Globals& globals, QWidget* parent = nullptr);
    ~frmHistory() override;

    // Settles an interrupted run, reads the journal and fills the list; the newest run is
    // selected.
    void Load();

    // The run of the selected row; nullopt when none is selected.
    std::optional<std::int64_t> selectedRunID() const;
    void selectRow(int row);

private:
    void fillList();
    void selectionChanged();
    void cmdReport_Click();
    void cmdReverse_Click();
    void cmdRemembered_Click();
    void showJournalError(const journal::JournalError& error);

    Globals& globals_;
    std::unique_ptr<journal::PostingJournal> journal_;

    QTableView* gridHistory_;
    QStandardItemModel* runs_;
    QLabel* labNoRuns_;
    QPushButton* cmdReport_;
    QPushButton* cmdReverse_;
    QPushButton* cmdRemembered_;
    QPushButton* cmdExit_;
};

}  // namespace corvane
