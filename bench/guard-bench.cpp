#include "guard-bench.h"

#include "journal/PostingJournal.h"
#include "payments/Payment.h"
#include "payments/PaymentNotes.h"
#include "payments/frmDownload.h"

#include <QElapsedTimer>
#include <QFileInfo>

#include <cstdio>

namespace corvane::bench {

bool isGuardStep(const QString& step) {
    return step == QLatin1String("notes") || step == QLatin1String("journal");
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
        timer.start();
        std::unique_ptr<journal::PostingJournal> journal;
        if (QFileInfo::exists(journal::PostingJournal::pathIn(globals.programFolder())))
            journal = journal::PostingJournal::open(globals.programFolder());
        NotePayments(rows, *globals.LedgerDb, journal.get());
        return timer.nsecsElapsed() / 1e9;
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
