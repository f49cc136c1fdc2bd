// Reversing the newest posting run without its window, in a process of its own, for the
// reliability tests that kill it.
//
//   corvane_reversal_driver FOLDER [--settle-only]
//
// FOLDER is a Lodgebook folder with a journal of posted runs. The driver opens the ledger,
// settles an interrupted run as start-up does, then (unless --settle-only) reverses the newest
// run that is not reversed, answering Yes. Every message box is written to standard output as
// "MSG<TAB>title<TAB>text". The last line is "STATE <state of the newest run>" (posted,
// reversing, reversed) or "STATE none"; exit status 0, or 2 on a failure (error on stderr).

#include "core/Globals.h"
#include "journal/FromSharedState.h"
#include "journal/JournalHistory.h"
#include "journal/PostingRecovery.h"
#include "journal/RunReversal.h"
#include "platform/Error.h"
#include "platform/Files.h"
#include "support/PlatformDoubles.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace corvane {
namespace {

class PrintingDialogs final : public Dialogs {
public:
    int messageBox(const QString& text, MsgButtons buttons, MsgIcon,
                   const QString& title) override {
        QString shown = text;
        shown.replace(QLatin1Char('\r'), QStringLiteral("\\r"));
        std::printf("MSG\t%s\t%s\n", title.toUtf8().constData(), shown.toUtf8().constData());
        std::fflush(stdout);
        return buttons == MsgButtons::YesNo ? kAnswerYes : kAnswerOk;
    }
    QString inputBox(const QString&, const QString&, const QString&) override { return {}; }
    void setBusyPointer(bool) override {}
};

}  // namespace
}  // namespace corvane

int main(int argc, char** argv) {
    using namespace corvane;
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty()) {
        std::fprintf(stderr, "usage: corvane_reversal_driver FOLDER [--settle-only]\n");
        return 2;
    }
    PrintingDialogs dialogs;
    RealFiles files;
    test::FakeEnvironment environment;
    test::FakeShell shell;
    test::FakePrinters printers;
    test::FakeSessions sessions;
    Globals globals(Platform{dialogs, files, environment, shell, printers, sessions}, args[0]);
    globals.PaymentFileName = kPaymentFileName;
    try {
        globals.LedgerDbPath = globals.pathInProgramFolder(kLedgerFileName);
        globals.LedgerDb = ledger::Database::open(globals.LedgerDbPath);
        RecoverInterruptedPosting(RunSettlementOf(globals));
        auto journal = journal::PostingJournal::open(globals.programFolder());
        if (!args.contains(QStringLiteral("--settle-only"))) {
            const auto runs = journal->summaries();
            if (!runs.empty() && runs.front().state == journal::RunState::Posted)
                RunReversal(dialogs, globals.LedgerDb.get(), globals.paymentFiles(), environment,
                            *journal)
                    .run(runs.front().runID);
        }
        const auto runs = journal->summaries();
        std::printf(
            "STATE %s\n",
            runs.empty() ? "none" : journal::runStateName(runs.front().state).toUtf8().constData());
    } catch (const journal::JournalError& e) {
        std::fprintf(stderr, "journal: %s\n", e.reason().toUtf8().constData());
        return 2;
    } catch (const Error& e) {
        std::fprintf(stderr, "error %d: %s\n", e.number(), e.description().toUtf8().constData());
        return 2;
    }
    return 0;
}
