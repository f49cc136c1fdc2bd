#include "history-bench.h"

#include "app/frmHistory.h"
#include "journal/JournalHistory.h"
#include "journal/PostingJournal.h"
#include "payments/PaymentMatching.h"
#include "payments/PostingRunOf.h"
#include "payments/frmDownload.h"

#include <QDir>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTableView>

#include <cstdio>

namespace corvane::bench {
namespace {

constexpr int kRuns = 100;
constexpr int kRowsPerRun = 1000;

double failed(const char* why) {
    std::fprintf(stderr, "corvane-bench: %s\n", why);
    return -1;
}

// A journal of kRuns posted runs, one a week, with fees and a deposit.
void writeRuns(Globals& globals) {
    auto journal = journal::PostingJournal::open(globals.programFolder());
    std::int64_t key = 1;
    for (int r = 0; r < kRuns; ++r) {
        journal::Run run;
        run.postedAt = QDateTime(QDate(2024, 1, 2).addDays(7 * r), QTime(9, 30));
        run.computer = QStringLiteral("OFFICE");
        run.fileName = kPaymentFileName;
        run.fileBytes = QByteArray(kRowsPerRun * 80, 'x');
        run.postFees = run.createDeposit = true;
        run.depositNumber = QString::number(5000 + r);
        run.depositID = r + 1;
        run.depositAmount = ledger::Currency::fromUnits(12500000LL * kRowsPerRun);
        run.rows.resize(kRowsPerRun);
        for (int j = 0; j < kRowsPerRun; ++j) {
            journal::RunRow& row = run.rows[static_cast<std::size_t>(j)];
            row.line = j + 1;
            row.tid = QStringLiteral("T%1").arg(1000 + j);
            row.amount = QStringLiteral("1250.00");
            row.date = run.postedAt.date().toString(QStringLiteral("MM/dd/yyyy"));
            row.pmtType = QStringLiteral("Rent");
            row.transactionNumber = QStringLiteral("B%1").arg(r * kRowsPerRun + j);
            row.incomeTransID = key++;
            row.incomeAmount = ledger::Currency::fromUnits(12500000);
            row.feeTransID = key++;
            row.feeAmount = ledger::Currency::fromUnits(-250000);
            row.splitID = row.incomeTransID;
            row.splitAmount = row.incomeAmount;
        }
        journal->setState(journal->record(run), journal::RunState::Posted);
    }
}

// Posts the sample's download as the posting step does: fees, a deposit, and only the rows that
// can be posted.
bool postSample(Globals& globals, QWidget& menu) {
    frmDownload screen(globals, &menu);
    screen.Load();
    PostingChoices choices;
    choices.postMgmtFees = true;
    choices.createDeposit = true;
    choices.depositNumber = QStringLiteral("4242");
    std::vector<Payment> rows;
    for (const Payment& row : screen.stagedPayments().rows()) {
        if (row.unitAddress.has_value())
            rows.push_back(row);
    }
    return PostingRunOf(globals).run(rows, choices, screen.loadedFile()) == PostingOutcome::Completed;
}

}  // namespace

bool isHistoryStep(const QString& step) {
    return step == QLatin1String("history") || step == QLatin1String("report") ||
           step == QLatin1String("reversal");
}

double runHistoryStep(const QString& step, Globals& globals, QWidget& menu) {
    QElapsedTimer timer;
    if (step == QLatin1String("history")) {
        writeRuns(globals);
        timer.start();
        frmHistory window(globals, &menu);
        window.Load();
        const double seconds = timer.nsecsElapsed() / 1e9;
        const auto* grid = window.findChild<QTableView*>(QStringLiteral("gridHistory"));
        return grid->model()->rowCount() == kRuns ? seconds : failed("the history is not full");
    }
    if (!postSample(globals, menu))
        return failed("posting stopped");
    frmHistory window(globals, &menu);
    window.Load();
    if (step == QLatin1String("report")) {
        timer.start();
        window.findChild<QPushButton*>(QStringLiteral("cmdReport"))->click();
        const double seconds = timer.nsecsElapsed() / 1e9;
        const QStringList reports =
            QDir(globals.programFolder())
                .entryList({QStringLiteral("Corvane Posting Report *.pdf")});
        return reports.size() == 1 ? seconds : failed("no posting report");
    }
    timer.start();
    window.findChild<QPushButton*>(QStringLiteral("cmdReverse"))->click();
    const double seconds = timer.nsecsElapsed() / 1e9;
    auto journal = journal::PostingJournal::open(globals.programFolder());
    const auto runs = journal->summaries();
    return runs.empty() || runs.front().state != journal::RunState::Reversed
               ? failed("the run is not reversed")
               : seconds;
}

}  // namespace corvane::bench
