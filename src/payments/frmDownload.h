#pragma once

#include "core/Globals.h"
#include "journal/PostingJournal.h"
#include "payments/LoadedFile.h"
#include "payments/PostingRun.h"
#include "payments/StagedPayments.h"
#include "payments/TenantCandidates.h"
#include "platform/OptionList.h"
#include "platform/ledger/Currency.h"

#include <QDate>
#include <QDialog>
#include <QMap>

#include <memory>
#include <optional>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace corvane {

// The payment download screen: the staged payments, matched to tenants, for review before they
// are posted. The opener constructs it, runs Load() (the loading, which may show messages), then
// exec() (modal). Loading again starts afresh. Leaving by any way (cmdExit, the close box, Esc)
// asks first while unposted rows remain.
class frmDownload : public QDialog {
    Q_OBJECT
public:
    explicit frmDownload(Globals& globals, QWidget* parent = nullptr);
    ~frmDownload() override;

    // Takes in the payment file (the newest download when nothing is staged), reads and matches
    // its payment lines and shows them with their count and total. Every failure ends in a
    // message (or none for a missing file) and an empty screen with Update and Print disabled.
    void Load();
    // Recomputes PaymentsTotal and the total label.
    void TransactionTotal();
    // Deletes the grid's selected rows (the current row when none is selected), then updates
    // the count and total; the staged file is archived when the last row goes.
    void DeleteSelectedRows();
    // The deposit number check run when txtCreateDeposit loses the focus.
    void txtCreateDeposit_LostFocus();
    // "Preview Posting...": what "Update Lodgebook Ledgers NOW" would write now with the screen's
    // choices (PostingPreview), in the posting preview window (frmPostingPreview, modal).
    void PreviewPosting();
    // "Choose Tenant..." for the current row, when it matches no tenant: the Choose Tenant window
    // (frmChooseTenant, modal); the chosen tenant fills the row (and, when the choice is to be
    // remembered, every unmatched row of the same account), the choice is remembered in the
    // journal, and the notes and the total are made again.
    void ChooseTenant();

    StagedPayments& stagedPayments() { return *StagedPayments_; }
    // The staged file the rows were loaded from (empty when none are).
    const LoadedFile& loadedFile() const { return loadedFile_; }
    int StagedCount() const { return StagedPayments_->StagedCount(); }
    ledger::Currency PaymentsTotal() const { return paymentsTotal_; }
    bool LedgersUpdated() const { return ledgersUpdated_; }
    bool PostingStopped() const { return postingStopped_; }
    // optRemark's selected index (0 to 2).
    int optRemarkIndex() const;
    void setOptRemarkIndex(int index);

    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showEmpty();
    void optRemark_Click(int index);
    void cmdUpdate_Click();
    void cmdPrintScreen_Click();
    void cmdPreview_Click();
    // The screen's choices for a posting run.
    PostingChoices postingChoices() const;
    bool depositNumberIsValid();
    void currentRowChanged();
    // The row Choose Tenant works on: the one selected row, else the current row; -1 for none.
    int reviewedRow() const;

    Globals& globals_;
    StagedPayments* StagedPayments_;
    LoadedFile loadedFile_;
    ledger::Currency paymentsTotal_;
    bool ledgersUpdated_ = false;
    bool postingStopped_ = false;
    bool checkingDeposit_ = false;
    // The journal the load read (nullptr when there is none or it cannot be used).
    std::unique_ptr<journal::PostingJournal> journal_;
    // The ledger's tenants for choosing, read on the first choice.
    std::unique_ptr<TenantCandidates> candidates_;

    QLabel* labDeposits_;
    QTableView* gridACHDownload_;
    QLabel* labCorvanePayments_;
    QLabel* labTotal_;
    QLabel* labTransTotal_;
    OptionList* optRemark_;
    QLineEdit* txtRemark_;
    QGroupBox* fraPostMgmtFees_;
    QCheckBox* chkPostMgmtFees_;
    QGroupBox* frmCreateDeposit_;
    QCheckBox* chkCreateDeposit_;
    QLineEdit* txtCreateDeposit_;
    QPushButton* cmdUpdate_;
    QPushButton* cmdPrintScreen_;
    QPushButton* cmdPreview_;
    QPushButton* cmdChooseTenant_;
    QPushButton* cmdExit_;
};

}  // namespace corvane
