#include "app/frmHistory.h"

#include "app/frmRememberedTenants.h"
#include "core/StartUp.h"
#include "core/TextRules.h"
#include "journal/FromSharedState.h"
#include "journal/JournalHistory.h"
#include "journal/LedgerCheck.h"
#include "journal/PostingReport.h"
#include "journal/RunReversal.h"
#include "platform/Centre.h"
#include "platform/Error.h"

#include <QDir>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

namespace corvane {
namespace {

using journal::RunState;
using journal::RunSummary;  // PostingJournal.h

constexpr int kRunIDRole = Qt::UserRole + 1;
constexpr int kReversibleRole = Qt::UserRole + 2;

const QStringList kCaptions = {
    QStringLiteral("Posted"),     QStringLiteral("Computer"), QStringLiteral("Payments"),
    QStringLiteral("Total"),      QStringLiteral("Fees"),     QStringLiteral("Deposit #"),
    QStringLiteral("Date Range"), QStringLiteral("Left Out"), QStringLiteral("State"),
};

QString ledgerStateText(journal::LedgerState state) {
    switch (state) {
        case journal::LedgerState::Posted:
            break;
        case journal::LedgerState::PartlyInLedger:
            return QStringLiteral("Partly in ledger");
        case journal::LedgerState::NotInLedger:
            return QStringLiteral("Not in ledger");
    }
    return QStringLiteral("Posted");
}

// `ledger`: what the ledger holds of a Posted run.
QStringList rowTexts(const RunSummary& run, journal::LedgerState ledger) {
    QString range;
    if (run.paymentsPosted > 0 && run.rangeFrom && run.rangeTo)
        range = shortDate(*run.rangeFrom) + QStringLiteral(" to ") + shortDate(*run.rangeTo);
    QString state = ledgerStateText(ledger);
    if (run.state == RunState::Reversed)
        state = QStringLiteral("Reversed ") + (run.reversedOn ? shortDate(*run.reversedOn) : "");
    const auto depositNumber = journal::DepositNumberOf(run);
    return {
        run.postedAt.toString(QStringLiteral("MM/dd/yyyy HH:mm")),
        run.computer,
        QString::number(run.paymentsPosted),
        formatCurrency(run.postedTotal),
        formatCurrency(run.feesTotal.abs()),
        depositNumber ? QString::number(*depositNumber) : QString(),
        range,
        QString::number(run.rowsLeftOut),
        state,
    };
}

QPushButton* makeButton(const char* name, const QString& text, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    return button;
}

}  // namespace

frmHistory::frmHistory(Globals& globals, QWidget* parent)
    : QDialog(parent),
      globals_(globals),
      gridHistory_(new QTableView(this)),
      runs_(new QStandardItemModel(0, static_cast<int>(kCaptions.size()), this)),
      labNoRuns_(new QLabel(QStringLiteral("No posting run has been recorded yet."), this)),
      cmdReport_(makeButton("cmdReport", QStringLiteral("Posting &Report"), this)),
      cmdReverse_(makeButton("cmdReverse", QStringLiteral("&Reverse This Run"), this)),
      cmdRemembered_(makeButton("cmdRemembered", QStringLiteral("Remembered &Tenants..."), this)),
      cmdExit_(makeButton("cmdExit", QStringLiteral("&Exit"), this)) {
    setObjectName(QStringLiteral("frmHistory"));
    setWindowTitle(QStringLiteral("Corvane Posting History"));
    setModal(true);

    runs_->setHorizontalHeaderLabels(kCaptions);
    gridHistory_->setObjectName(QStringLiteral("gridHistory"));
    gridHistory_->setAccessibleName(QStringLiteral("Posting Runs"));
    gridHistory_->setModel(runs_);
    gridHistory_->setSelectionBehavior(QAbstractItemView::SelectRows);
    gridHistory_->setSelectionMode(QAbstractItemView::SingleSelection);
    gridHistory_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gridHistory_->verticalHeader()->hide();
    gridHistory_->horizontalHeader()->setStretchLastSection(true);
    labNoRuns_->setObjectName(QStringLiteral("labNoRuns"));
    labNoRuns_->setWordWrap(true);
    labNoRuns_->hide();

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdReport_);
    buttons->addWidget(cmdReverse_);
    buttons->addWidget(cmdRemembered_);
    buttons->addStretch();
    buttons->addWidget(cmdExit_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(labNoRuns_);
    layout->addWidget(gridHistory_, 1);
    layout->addLayout(buttons);
    resize(980, 420);

    connect(gridHistory_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &frmHistory::selectionChanged);
    connect(cmdReport_, &QPushButton::clicked, this, &frmHistory::cmdReport_Click);
    connect(cmdReverse_, &QPushButton::clicked, this, &frmHistory::cmdReverse_Click);
    connect(cmdRemembered_, &QPushButton::clicked, this, &frmHistory::cmdRemembered_Click);
    connect(cmdExit_, &QPushButton::clicked, this, &QDialog::reject);
}

frmHistory::~frmHistory() = default;

void frmHistory::Load() {
    CentreOnScreen(*this);
    journal_.reset();
    try {
        journal_ = journal::PostingJournal::openExisting(globals_.programFolder());
    } catch (const journal::JournalError& e) {
        showJournalError(e);
        return;
    }
    // A run that a kill left between its commits is settled, in the journal just opened, before
    // it is shown.
    try {
        SettleInterruptedRuns(RunSettlementOf(globals_), journal_.get());
    } catch (const Error& e) {
        ShowGeneralError(globals_.dialogs(), e.number(), e.description());
    }
    fillList();
}

void frmHistory::showJournalError(const journal::JournalError& error) {
    journal_.reset();
    runs_->removeRows(0, runs_->rowCount());
    labNoRuns_->hide();
    selectionChanged();
    globals_.dialogs().messageBox(journal::journalUnusableText(error), MsgButtons::Ok,
                                  MsgIcon::Exclamation, QStringLiteral("Corvane Error Message"));
}

void frmHistory::fillList() {
    std::vector<RunSummary> runs;
    // What the ledger holds of each Posted run, as it says now.
    QHash<std::int64_t, journal::LedgerState> inLedger;
    if (journal_) {
        try {
            runs = journal_->summaries();
            if (globals_.LedgerDb) {
                inLedger = journal::PostedRunStates(*journal_, *globals_.LedgerDb);
            }
        } catch (const journal::JournalError& e) {
            showJournalError(e);
            return;
        } catch (const Error&) {
            // The ledger cannot be read: the runs are shown as the journal has them, and a
            // reversal tells what fails.
            inLedger.clear();
        }
    }
    runs_->removeRows(0, runs_->rowCount());
    for (const RunSummary& run : runs) {
        QList<QStandardItem*> items;
        const journal::LedgerState ledger = inLedger.value(run.runID, journal::LedgerState::Posted);
        const QStringList texts = rowTexts(run, ledger);
        for (qsizetype column = 0; column < texts.size(); ++column) {
            auto* item = new QStandardItem(texts[column]);
            if (column >= 2 && column <= 5)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            items.append(item);
        }
        items.front()->setData(QVariant::fromValue(run.runID), kRunIDRole);
        items.front()->setData(
            run.state == RunState::Posted && ledger == journal::LedgerState::Posted,
            kReversibleRole);
        runs_->appendRow(items);
    }
    labNoRuns_->setVisible(runs.empty());
    gridHistory_->resizeColumnsToContents();
    selectRow(0);
    selectionChanged();
}

std::optional<std::int64_t> frmHistory::selectedRunID() const {
    const QModelIndexList rows = gridHistory_->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return std::nullopt;
    return runs_->index(rows.front().row(), 0).data(kRunIDRole).toLongLong();
}

void frmHistory::selectRow(int row) {
    if (row < 0 || row >= runs_->rowCount())
        return;
    gridHistory_->selectRow(row);
}

void frmHistory::selectionChanged() {
    const auto runID = selectedRunID();
    cmdReport_->setEnabled(journal_ && runID.has_value());
    const QModelIndexList rows = gridHistory_->selectionModel()->selectedRows();
    cmdReverse_->setEnabled(journal_ && runID &&
                            runs_->index(rows.front().row(), 0).data(kReversibleRole).toBool());
}

void frmHistory::cmdReport_Click() {
    const auto runID = selectedRunID();
    if (!journal_ || !runID)
        return;
    Dialogs& dialogs = globals_.dialogs();
    const QString title = QStringLiteral("Corvane Posting Report");
    QString path;
    try {
        BusyPointer busy(dialogs);
        const std::optional<journal::Run> run = journal_->readRun(*runID);
        if (!run)
            return;
        path = globals_.pathInProgramFolder(PostingReportFileName(*run));
        // The payments by owner as the ledger names the owners now.
        const std::vector<journal::OwnerTotal> owners =
            globals_.LedgerDb ? journal::OwnerTotalsOfRun(*globals_.LedgerDb, *run)
                              : std::vector<journal::OwnerTotal>{};
        WritePostingReport(*run, owners, path);
    } catch (const journal::JournalError& e) {
        showJournalError(e);
        return;
    } catch (const Error& e) {
        dialogs.messageBox(
            QStringLiteral("The posting report could not be written: %1").arg(e.description()),
            MsgButtons::Ok, MsgIcon::Exclamation, title);
        return;
    }
    dialogs.messageBox(
        QStringLiteral("The posting report was written to:\r") + QDir::toNativeSeparators(path),
        MsgButtons::Ok, MsgIcon::Information, title);
    globals_.platform().shell.openDocument(path);
}

void frmHistory::cmdRemembered_Click() {
    frmRememberedTenants window(globals_, this);
    window.Load();
    window.exec();
}

void frmHistory::cmdReverse_Click() {
    const auto runID = selectedRunID();
    if (!journal_ || !runID)
        return;
    RunReversal reversal(globals_.dialogs(), globals_.LedgerDb.get(), globals_.paymentFiles(),
                         globals_.environment(), *journal_);
    if (reversal.run(*runID) == ReversalOutcome::Reversed)
        fillList();
}

}  // namespace corvane
