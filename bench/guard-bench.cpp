#include "guard-bench.h"

#include "ProcessorTime.h"

#include "journal/LedgerCheck.h"
#include "journal/PostingJournal.h"
#include "payments/Payment.h"
#include "payments/PaymentMatching.h"
#include "payments/PaymentNotes.h"
#include "payments/PostingRunOf.h"
#include "payments/frmDownload.h"
#include "platform/ledger/Database.h"

#include <QElapsedTimer>
#include <QSet>

#include <cstdio>

namespace corvane::bench {

bool isGuardStep(const QString& step) {
    return step == QLatin1String("notes") || step == QLatin1String("journal") ||
           step == QLatin1String("check") || step == QLatin1String("returns");
}


double runGuardStep(const QString& step, Globals& globals, QWidget& menu) {
    frmDownload screen(globals, &menu);
    screen.Load();
    std::vector<Payment> rows = screen.stagedPayments().rows();
    if (rows.empty()) {
        std::fprintf(stderr, "corvane-bench: no rows loaded\n");
        return -1;
    }
    QElapsedTimer timer;
    if (step == QLatin1String("notes")) {
        const double cpu = threadCpuSeconds();
        timer.start();
        const auto journal = journal::PostingJournal::openExisting(globals.programFolder());
        NotePayments(rows, *globals.LedgerDb, journal.get());
        return tellProcessorTime(timer.nsecsElapsed() / 1e9, cpu);
    }

    if (step == QLatin1String("returns")) {
        // Untimed: a run posts 1,000 of the file's payments; the processor then reports those
        // as returned in the whole file, whose other payments are new.
        const QString staged = globals.pathInProgramFolder(globals.stagedPaymentFileName());
        const QByteArray bytes = globals.files().readAll(staged);
        QList<QByteArray> lines = bytes.split('\n');
        QList<QByteArray> first;
        QSet<int> returned;
        for (const Payment& row : rows) {
            const int line = row.line;
            // Only payments that can post: a tenant with a unit.
            if (!row.unitAddress.has_value() || returned.size() == 1000)
                continue;
            returned.insert(line - 1);
            first << lines[line - 1];
        }
        PostingChoices choices;
        choices.postMgmtFees = true;
        choices.createDeposit = true;
        choices.depositNumber = QStringLiteral("4242");
        const auto post = [&](bool timed) {
            frmDownload screen(globals, &menu);
            screen.Load();
            std::vector<Payment> loaded;
            for (const Payment& row : screen.stagedPayments().rows()) {
                if (row.unitAddress.has_value())
                    loaded.push_back(row);
            }
            if (timed)
                timer.start();
            return PostingRunOf(globals).run(loaded, choices, screen.loadedFile()) ==
                   PostingOutcome::Completed;
        };
        globals.files().writeAtomically(staged, first.join('\n') + '\n');
        if (!post(false)) {
            std::fprintf(stderr, "corvane-bench: the first run stopped\n");
            return -1;
        }
        for (const int i : returned)
            lines[i].replace(",Posted,", ",Returned,");
        globals.files().writeAtomically(staged, lines.join('\n'));
        if (!post(true)) {
            std::fprintf(stderr, "corvane-bench: the run of returns stopped\n");
            return -1;
        }
        const double seconds = timer.nsecsElapsed() / 1e9;
        auto journal = journal::PostingJournal::open(globals.programFolder());
        const auto run = journal->readRun(journal->summaries().front().runID);
        int recorded = 0, posted = 0;
        for (const journal::RunRow& r : run->rows) {
            recorded += r.outcome == journal::RowOutcome::ReturnRecorded;
            posted += r.outcome == journal::RowOutcome::Posted;
        }
        if (recorded != 1000) {
            std::fprintf(stderr, "corvane-bench: %d returns recorded, %d payments posted\n",
                         recorded, posted);
            return -1;
        }
        return seconds;
    }
    if (step == QLatin1String("check")) {
        // The worst case: every payment of the file posted before by one more run of the
        // journal, its income entry one of the ledger's entries, as written.
        journal::Run run;
        run.postedAt = QDateTime::currentDateTime();
        run.computer = QStringLiteral("BENCH");
        run.fileName = globals.stagedPaymentFileName();
        QStringList numbers;
        std::vector<std::int64_t> keys;
        for (std::int64_t key = 1; key <= 2 * static_cast<std::int64_t>(rows.size()); ++key)
            keys.push_back(key * 7);
        const auto entries = globals.LedgerDb->openLookup(
            QStringLiteral("Transactions"), QStringLiteral("PrimaryKey"),
            {QStringLiteral("TransAmount"), QStringLiteral("TransDate"),
             QStringLiteral("TransPostToID"), QStringLiteral("TransType")});
        std::size_t i = 0;
        entries->findEach(keys, [&](std::int64_t key, const std::vector<ledger::Value>& v) {
            if (i >= rows.size() || v[1].kind() != ledger::Value::Kind::Date ||
                v[3].toText() != QLatin1String("I"))
                return;
            journal::RunRow r = RunRowAsShown(rows[i]);
            r.tenantID = v[2].toInteger();
            r.tid = QStringLiteral("T%1").arg(*r.tenantID);
            r.date = v[1].toDate().date().toString(QStringLiteral("MM/dd/yyyy"));
            r.incomeTransID = key;
            r.incomeAmount = v[0].toCurrency();
            numbers << r.transactionNumber;
            run.rows.push_back(std::move(r));
            ++i;
        });
        auto journal = journal::PostingJournal::open(globals.programFolder());
        const std::int64_t runID = journal->record(run);
        journal->setState(runID, journal::RunState::Posted);
        journal.reset();
        const double cpu = threadCpuSeconds();
        timer.start();
        journal = journal::PostingJournal::open(globals.programFolder());
        const auto found = journal::FindPaymentStandings(*journal, *globals.LedgerDb, numbers);
        const double seconds = tellProcessorTime(timer.nsecsElapsed() / 1e9, cpu);
        journal->discard(runID);  // the sample's journal stays as it was made
        int asWritten = 0;
        const QSet<QString> distinct(numbers.begin(), numbers.end());
        for (const QString& number : distinct)
            asWritten += found.of(number).kind == journal::PaymentStanding::Kind::Posted;
        if (asWritten != distinct.size()) {
            std::fprintf(stderr, "corvane-bench: %d of %lld entries found as written\n", asWritten,
                         static_cast<long long>(numbers.size()));
            return -1;
        }
        return seconds;
    }

    // A run as the posting run makes it: every row with an entry, a fee and a split line.
    journal::Run run;
    run.postedAt = QDateTime::currentDateTime();
    run.computer = QStringLiteral("BENCH");
    run.fileName = screen.loadedFile().fileName;
    run.fileBytes = screen.loadedFile().bytes;
    run.fileDigest = screen.loadedFile().digest;
    std::int64_t key = 5000000;
    for (const Payment& row : rows) {
        journal::RunRow r = RunRowAsShown(row);
        r.incomeTransID = ++key;
        r.incomeAmount = ledger::Currency::fromUnits(12500000);
        r.feeTransID = ++key;
        r.feeAmount = ledger::Currency::fromUnits(-1000000);
        r.splitID = key;
        r.splitAmount = r.incomeAmount;
        run.balanceChanges.push_back({journal::BalanceChange::Kind::Tenant, key, *r.incomeAmount});
        run.rows.push_back(std::move(r));
    }
    // What the run adds before its success message: the journal opened and the run recorded
    // (it is marked posted after the message).
    timer.start();
    auto journal = journal::PostingJournal::open(globals.programFolder());
    journal->record(run);
    return timer.nsecsElapsed() / 1e9;
}

}  // namespace corvane::bench
