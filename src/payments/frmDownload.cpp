#include "payments/frmDownload.h"

#include "core/StartUp.h"
#include "core/TextRules.h"
#include "journal/FromSharedState.h"
#include "journal/RememberedTenants.h"
#include "payments/JournalNotes.h"
#include "payments/PaymentIntake.h"
#include "payments/PaymentLoad.h"
#include "payments/PostingPreview.h"
#include "payments/PostingRunOf.h"
#include "payments/PrintReport.h"
#include "payments/TenantChoice.h"
#include "payments/frmChooseTenant.h"
#include "payments/frmPostingPreview.h"
#include "platform/Centre.h"
#include "platform/Error.h"
#include "platform/GridColumns.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSysInfo>
#include <QTableView>
#include <QVBoxLayout>

#include <optional>
#include <set>

#include <algorithm>

namespace corvane {
namespace {

const QString kCountCaption = QStringLiteral("Number of Corvane Payments:");

template <typename T>
T* named(T* widget, const char* objectName) {
    widget->setObjectName(QString::fromLatin1(objectName));
    return widget;
}

QString countText(int count) {
    return kCountCaption + QLatin1Char(' ') + QString::number(count);
}

}  // namespace

frmDownload::frmDownload(Globals& globals, QWidget* parent)
    : QDialog(parent), globals_(globals), StagedPayments_(new StagedPayments(this)) {
    setObjectName(QStringLiteral("frmDownload"));
    setWindowTitle(QStringLiteral("Corvane Payment Download"));
    // Wide enough on a 1280 x 1024 screen for every shown column, the Note column included,
    // without scrolling sideways.
    resize(1240, 720);

    labDeposits_ = named(new QLabel(QStringLiteral(
                             "Below are the Tenant deposits that have been retreived from the "
                             "Payment Processor, but have not been transferred into the Lodgebook "
                             "Program. Press 'Update Lodgebook Ledgers' to enter these "
                             "transactions into the Lodgebook.")),
                         "labDeposits");
    labDeposits_->setWordWrap(true);

    gridACHDownload_ = named(new QTableView, "gridACHDownload");
    gridACHDownload_->setAccessibleName(QStringLiteral("Corvane Payments"));
    gridACHDownload_->setModel(StagedPayments_);
    gridACHDownload_->setItemDelegateForColumn(StagedPayments::gridColumn(staged::PmtType),
                                               new PmtTypeDelegate(gridACHDownload_));
    gridACHDownload_->setSelectionBehavior(QAbstractItemView::SelectRows);
    gridACHDownload_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    gridACHDownload_->setEditTriggers(QAbstractItemView::DoubleClicked |
                                      QAbstractItemView::SelectedClicked |
                                      QAbstractItemView::EditKeyPressed);
    for (int cell : {staged::OID, staged::PID, staged::UID, staged::DepositDate}) {
        gridACHDownload_->setColumnHidden(StagedPayments::gridColumn(cell), true);
    }
    gridACHDownload_->horizontalHeader()->setStretchLastSection(true);
    // Each column as wide as its caption and texts where the screen has room; where it has not,
    // the address, the name and the note give way, cut with "…" and whole in their tooltips.
    auto* columns =
        new GridColumns(*gridACHDownload_, {StagedPayments::gridColumn(staged::UnitAddress),
                                            StagedPayments::gridColumn(staged::TenantName),
                                            StagedPayments::gridColumn(staged::Note)});
    {
        // "Late Fee" fits, drop-down included, whatever the rows hold now.
        QComboBox pmtType;
        pmtType.addItems({QStringLiteral("Rent"), QStringLiteral("Late Fee")});
        columns->setMinimumWidth(StagedPayments::gridColumn(staged::PmtType),
                                 pmtType.sizeHint().width());
    }
    auto* deleteRow = new QAction(QStringLiteral("Delete Row"), gridACHDownload_);
    deleteRow->setObjectName(QStringLiteral("actDeleteRow"));
    deleteRow->setShortcut(QKeySequence::Delete);
    deleteRow->setShortcutContext(Qt::WidgetShortcut);
    gridACHDownload_->addAction(deleteRow);
    gridACHDownload_->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(deleteRow, &QAction::triggered, this, &frmDownload::DeleteSelectedRows);

    labCorvanePayments_ = named(new QLabel(kCountCaption), "labCorvanePayments");
    labTotal_ = named(new QLabel(QStringLiteral("Total of Corvane Payments:")), "labTotal");
    labTransTotal_ = named(new QLabel, "labTransTotal");
    labTotal_->setBuddy(labTransTotal_);  // the caption labels the total; the total is its value

    optRemark_ =
        named(new OptionList(
                  QStringLiteral("Transaction Remark Choices:"),
                  {QStringLiteral("Use standard 'default' REMARK entered under 'Preferences'."),
                   QStringLiteral("Use the 'Method' column entry for the Remark."),
                   QStringLiteral("Use this Remark:")}),
              "optRemark");
    txtRemark_ = named(new QLineEdit, "txtRemark");
    txtRemark_->setMaxLength(60);
    txtRemark_->setAccessibleName(QStringLiteral("Remark"));
    optRemark_->layout()->addWidget(txtRemark_);
    optRemark_->setSelectedIndex(0);
    txtRemark_->setEnabled(false);
    connect(optRemark_, &OptionList::selectedIndexChanged, this, &frmDownload::optRemark_Click);

    fraPostMgmtFees_ =
        named(new QGroupBox(QStringLiteral("Post Management Fees")), "fraPostMgmtFees");
    chkPostMgmtFees_ = named(
        new QCheckBox(QStringLiteral("Post a managment fee on each rent income transaction.")),
        "chkPostMgmtFees");
    (new QVBoxLayout(fraPostMgmtFees_))->addWidget(chkPostMgmtFees_);

    frmCreateDeposit_ = named(new QGroupBox(QStringLiteral("Create Deposit:")), "frmCreateDeposit");
    chkCreateDeposit_ =
        named(new QCheckBox(QStringLiteral("Yes, create a deposit using this deposit number:")),
              "chkCreateDeposit");
    txtCreateDeposit_ = named(new QLineEdit, "txtCreateDeposit");
    txtCreateDeposit_->setMaxLength(8);
    txtCreateDeposit_->setAccessibleName(QStringLiteral("Deposit Number"));
    txtCreateDeposit_->installEventFilter(this);
    auto* depositLayout = new QHBoxLayout(frmCreateDeposit_);
    depositLayout->addWidget(chkCreateDeposit_);
    depositLayout->addWidget(txtCreateDeposit_);

    cmdUpdate_ =
        named(new QPushButton(QStringLiteral("Update Lodgebook Ledgers NOW")), "cmdUpdate");
    cmdPrintScreen_ = named(new QPushButton(QStringLiteral("&Print Screen")), "cmdPrintScreen");
    cmdPreview_ = named(new QPushButton(QStringLiteral("Pre&view Posting...")), "cmdPreview");
    cmdChooseTenant_ =
        named(new QPushButton(QStringLiteral("Choose &Tenant...")), "cmdChooseTenant");
    cmdExit_ = named(new QPushButton(QStringLiteral("&Exit")), "cmdExit");
    for (QPushButton* b : {cmdUpdate_, cmdPrintScreen_, cmdPreview_, cmdChooseTenant_, cmdExit_})
        b->setAutoDefault(false);
    cmdChooseTenant_->setEnabled(false);
    connect(cmdUpdate_, &QPushButton::clicked, this, &frmDownload::cmdUpdate_Click);
    connect(cmdPrintScreen_, &QPushButton::clicked, this, &frmDownload::cmdPrintScreen_Click);
    connect(cmdPreview_, &QPushButton::clicked, this, &frmDownload::cmdPreview_Click);
    connect(cmdChooseTenant_, &QPushButton::clicked, this, &frmDownload::ChooseTenant);
    // A double click on an unmatched row chooses its tenant (on "Pmt Type" it edits the type).
    connect(gridACHDownload_, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) {
                if (index.column() != StagedPayments::gridColumn(staged::PmtType))
                    ChooseTenant();
            });
    connect(gridACHDownload_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &frmDownload::currentRowChanged);
    connect(gridACHDownload_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &frmDownload::currentRowChanged);
    connect(StagedPayments_, &QAbstractItemModel::modelReset, this,
            &frmDownload::currentRowChanged);
    connect(StagedPayments_, &QAbstractItemModel::rowsRemoved, this,
            &frmDownload::currentRowChanged);
    connect(StagedPayments_, &StagedPayments::editRefused, this,
            [this](const UserMessage& message) { tell(globals_.dialogs(), message); });
    connect(cmdExit_, &QPushButton::clicked, this, &QWidget::close);

    auto* totals = new QHBoxLayout;
    totals->addWidget(labCorvanePayments_);
    totals->addStretch();
    totals->addWidget(labTotal_);
    totals->addWidget(labTransTotal_);

    auto* options = new QHBoxLayout;
    options->addWidget(optRemark_, 2);
    auto* rightColumn = new QVBoxLayout;
    rightColumn->addWidget(fraPostMgmtFees_);
    rightColumn->addWidget(frmCreateDeposit_);
    options->addLayout(rightColumn, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdUpdate_);
    buttons->addWidget(cmdPrintScreen_);
    buttons->addWidget(cmdPreview_);
    buttons->addWidget(cmdChooseTenant_);
    buttons->addStretch();
    buttons->addWidget(cmdExit_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(labDeposits_);
    layout->addWidget(gridACHDownload_, 1);
    layout->addLayout(totals);
    layout->addLayout(options);
    layout->addLayout(buttons);
}

frmDownload::~frmDownload() = default;

void frmDownload::Load() {
    // A ledger that start-up could not open is tried again before Downloads is looked at.
    if (!ReopenLedger(globals_)) {
        showEmpty();
        return;
    }
    Dialogs& dialogs = globals_.dialogs();
    std::optional<BusyPointer> busy(std::in_place, dialogs);  // until the load is done
    // Loading again starts afresh: nothing of the last load shows while this one asks.
    ledgersUpdated_ = false;
    postingStopped_ = false;
    chkCreateDeposit_->setChecked(false);
    showEmpty();
    journal_.reset();
    PaymentLoad load(globals_.dialogs(), RunSettlementOf(globals_));
    const bool loaded = load.load();
    CentreOnScreen(*this);
    busy.reset();
    if (loaded) {
        loadedFile_ = load.file();
        journal_ = load.takeJournal();
        cmdUpdate_->setEnabled(load.canPost());
        StagedPayments_->setRows(std::move(load.payments()));
        labCorvanePayments_->setText(countText(StagedCount()));
        cmdPrintScreen_->setEnabled(true);
        cmdPreview_->setEnabled(true);
        TransactionTotal();
        currentRowChanged();
    }
    if (load.problem()) {
        if (const auto message = LoadProblemMessage(*load.problem()))
            tell(dialogs, *message);
    }
    // Payments that Corvane posted but the ledger no longer holds are told once.
    if (loaded && !load.goneFromLedger().isEmpty()) {
        dialogs.messageBox(GoneFromLedgerNotice(load.goneFromLedger()), MsgButtons::Ok,
                           MsgIcon::Information, kGoneFromLedgerTitle);
    }
}

int frmDownload::reviewedRow() const {
    // The one row selected (as a click or an assistive tool selects it), else the current row.
    std::set<int> selected;
    for (const QModelIndex& index : gridACHDownload_->selectionModel()->selectedIndexes())
        selected.insert(index.row());
    const int row = selected.size() == 1 ? *selected.begin()
                    : selected.empty()   ? gridACHDownload_->currentIndex().row()
                                         : -1;
    return row >= 0 && row < StagedCount() ? row : -1;
}

void frmDownload::currentRowChanged() {
    const int row = reviewedRow();
    const bool unmatched =
        row >= 0 && !StagedPayments_->rows()[static_cast<std::size_t>(row)].matched();
    cmdChooseTenant_->setEnabled(unmatched && globals_.LedgerDb != nullptr);
}

void frmDownload::ChooseTenant() {
    const int at = reviewedRow();
    if (at < 0 || !globals_.LedgerDb)
        return;
    const Payment& payment = StagedPayments_->rows()[static_cast<std::size_t>(at)];
    if (payment.matched())
        return;
    Dialogs& dialogs = globals_.dialogs();
    try {
        BusyPointer busy(dialogs);
        if (!candidates_)
            candidates_ = std::make_unique<TenantCandidates>();
        candidates_->load(*globals_.LedgerDb);
    } catch (const Error& e) {
        ShowGeneralError(dialogs, e.number(), e.description());
        return;
    }
    const ChooseTenantInput input{payment.choiceAccount, payment.payerName,
                                  payment.payerAddress,  formatCurrencyText(payment.amountText),
                                  payment.dateText,      payment.transactionNumber};
    std::optional<ChooseTenantResult> chosen;
    {
        frmChooseTenant window(input, *candidates_, this);
        if (window.exec() == QDialog::Accepted)
            chosen = window.chosen();
    }
    if (!chosen)
        return;

    // The payment, and when the choice is kept, the other payments of the account, as the next
    // load will match them; the choice is kept in the journal the load opened (or a new one).
    std::vector<Payment> payments = StagedPayments_->rows();
    const std::optional<journal::JournalError> journalProblem =
        ApplyTenantChoice(payments,
                          {static_cast<std::size_t>(at), chosen->tenant, chosen->remember,
                           globals_.environment().today(), computerName(globals_.environment())},
                          *globals_.LedgerDb, journal_, globals_.programFolder());
    StagedPayments_->setRows(std::move(payments));
    labCorvanePayments_->setText(countText(StagedCount()));
    TransactionTotal();
    gridACHDownload_->selectionModel()->setCurrentIndex(
        StagedPayments_->index(at, 0),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (journalProblem) {
        dialogs.messageBox(journal::unusableJournalMessage(*journalProblem), MsgButtons::Ok,
                           MsgIcon::Critical, journal::kJournalErrorTitle);
    }
}

void frmDownload::showEmpty() {
    StagedPayments_->clear();
    loadedFile_ = {};
    paymentsTotal_ = {};
    labCorvanePayments_->setText(kCountCaption);
    labTransTotal_->clear();
    cmdUpdate_->setEnabled(false);
    cmdPrintScreen_->setEnabled(false);
    cmdPreview_->setEnabled(false);
}

void frmDownload::TransactionTotal() {
    const ledger::Currency total = paymentsTotal(StagedPayments_->rows());
    paymentsTotal_ = total;
    if (StagedCount() > 0)
        labTransTotal_->setText(formatCurrency(total));
}

void frmDownload::DeleteSelectedRows() {
    if (StagedCount() == 0)
        return;
    QList<int> doomed;
    for (const QModelIndex& index : gridACHDownload_->selectionModel()->selectedRows()) {
        doomed.append(index.row());
    }
    if (doomed.isEmpty() && gridACHDownload_->currentIndex().isValid()) {
        doomed.append(gridACHDownload_->currentIndex().row());
    }
    if (doomed.isEmpty())
        return;
    // From the last row up, each run of neighbouring rows in one removal (one update of the grid
    // and of what the accessibility layer knows of it, rather than one per row).
    std::sort(doomed.begin(), doomed.end(), std::greater<>());
    for (qsizetype i = 0; i < doomed.size();) {
        qsizetype last = i;
        while (last + 1 < doomed.size() && doomed[last + 1] == doomed[last] - 1)
            ++last;
        StagedPayments_->removeRows(doomed[last], static_cast<int>(last - i + 1));
        i = last + 1;
    }

    labCorvanePayments_->setText(countText(StagedCount()));
    TransactionTotal();
    if (StagedCount() == 0) {
        labTransTotal_->setText(QStringLiteral("0"));
        cmdUpdate_->setEnabled(false);
        cmdPrintScreen_->setEnabled(false);
        cmdPreview_->setEnabled(false);
        labCorvanePayments_->setText(countText(0));
        try {
            ArchiveStagedPaymentFile(globals_.paymentFiles());
        } catch (const Error& e) {
            tell(globals_.dialogs(), *LoadProblemMessage(LoadProblem{LoadProblem::Kind::Unexpected,
                                                                     e.number(), e.description()}));
        }
    }
}

int frmDownload::optRemarkIndex() const {
    return optRemark_->selectedIndex();
}

void frmDownload::setOptRemarkIndex(int index) {
    optRemark_->setSelectedIndex(index);
}

void frmDownload::optRemark_Click(int index) {
    if (index == 0 || index == 1) {
        txtRemark_->setEnabled(false);
    } else if (index == 2) {
        txtRemark_->setEnabled(true);
    }
}

bool frmDownload::depositNumberIsValid() {
    const QString text = trimBlanks(txtCreateDeposit_->text());
    if (text != txtCreateDeposit_->text())
        txtCreateDeposit_->setText(text);
    return text.isEmpty() || ledger::Currency::fromText(text).has_value();
}

void frmDownload::txtCreateDeposit_LostFocus() {
    if (checkingDeposit_)
        return;
    checkingDeposit_ = true;
    if (!depositNumberIsValid()) {
        globals_.dialogs().messageBox(
            QStringLiteral("Please enter a number only for the Deposit Number"), MsgButtons::Ok,
            MsgIcon::Information, QStringLiteral("Create Deposit"));
        txtCreateDeposit_->setFocus(Qt::OtherFocusReason);
    }
    checkingDeposit_ = false;
}

bool frmDownload::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txtCreateDeposit_ && event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        // Switching to another window or opening a menu is not leaving the box.
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            txtCreateDeposit_LostFocus();
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmDownload::cmdUpdate_Click() {
    // The deposit number may still be pending its check when the button is pressed.
    if (!depositNumberIsValid()) {
        txtCreateDeposit_LostFocus();
        return;
    }
    const PostingOutcome outcome = PostingRunOf(globals_, journal_)
                                       .run(StagedPayments_->rows(), postingChoices(), loadedFile_);
    postingStopped_ = outcome == PostingOutcome::Stopped;
    if (outcome != PostingOutcome::Completed)
        return;
    cmdUpdate_->setEnabled(false);
    cmdExit_->setFocus();
    ledgersUpdated_ = true;
    accept();
}

PostingChoices frmDownload::postingChoices() const {
    PostingChoices choices;
    choices.remarkChoice = optRemarkIndex();
    choices.remarkText = txtRemark_->text();
    choices.postMgmtFees = chkPostMgmtFees_->isChecked();
    choices.createDeposit = chkCreateDeposit_->isChecked();
    choices.depositNumber = txtCreateDeposit_->text();
    return choices;
}

void frmDownload::cmdPreview_Click() {
    // The deposit number is checked as for the posting.
    if (!depositNumberIsValid()) {
        txtCreateDeposit_LostFocus();
        return;
    }
    PreviewPosting();
}

void frmDownload::PreviewPosting() {
    if (StagedCount() == 0)
        return;
    Dialogs& dialogs = globals_.dialogs();
    std::optional<PostingPreview> preview;
    try {
        BusyPointer busy(dialogs);
        preview = PostingPreview::make(globals_.LedgerDb.get(), globals_.preferences,
                                       globals_.environment().today(), StagedPayments_->rows(),
                                       postingChoices());
    } catch (const Error& e) {
        ShowGeneralError(dialogs, e.number(), e.description());
        return;
    }
    frmPostingPreview window(globals_, *preview, this);
    window.exec();
}

void frmDownload::cmdPrintScreen_Click() {
    QItemSelectionModel* selection = gridACHDownload_->selectionModel();
    QList<int> selected;
    for (const QModelIndex& index : selection->selectedRows())
        selected.append(index.row());
    std::sort(selected.begin(), selected.end());
    const QModelIndex current = gridACHDownload_->currentIndex();
    const PrintedScreen printed =
        PrintScreen(globals_.dialogs(), globals_.platform().printers, globals_.programFolder(),
                    globals_.environment().today(), StagedPayments_->rows(), selected,
                    current.isValid() ? current.row() : 0);
    for (const UserMessage& message : printed.messages)
        tell(globals_.dialogs(), message);
    // The printed rows selected in one change, not one per row.
    QItemSelection rows;
    for (int row : printed.selection) {
        if (row < 0 || row >= StagedCount())
            continue;
        rows.select(StagedPayments_->index(row, 0), StagedPayments_->index(row, 0));
    }
    selection->select(rows, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void frmDownload::reject() {
    if (!ledgersUpdated_ && StagedCount() > 0) {
        const int answer = globals_.dialogs().messageBox(
            QStringLiteral("You are trying to leave without updating your TENANT LEDGERS. Are you "
                           "SURE you want to exit WITHOUT POSTING these transactions?"),
            MsgButtons::YesNo, MsgIcon::None, QStringLiteral("Corvane Transaction Posting"));
        if (answer != kAnswerYes)
            return;
    }
    QDialog::reject();
}

}  // namespace corvane
