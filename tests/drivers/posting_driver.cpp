// A posting run without its screen, in a process of its own, for the reliability tests: they kill
// it, starve it of disk space, or hold the ledger locked while it runs.
//
//   corvane_posting_driver FOLDER [--busy-timeout MS] [--pause] [--hold-at-success] [--step]
//
// FOLDER is a prepared Lodgebook folder (ledger, IDFILE.DAT, CV-Log.txt, a staged
// paymentHistory.csv). The driver reads the preferences and the log, loads the staged file as the
// payment screen does (PaymentLoad), then posts every row with management fees and a deposit
// numbered 1045. Every message box is written to standard output as one line
// "MSG<TAB>title<TAB>text" (carriage returns and line feeds shown as \r and \n) and answered Yes.
// --pause prints "LOADED" once the rows are ready and waits for a line on standard input before
// posting (the moment between the screen's loading and the user's press of the button);
// --hold-at-success waits for a line on standard input while the success message is "shown".
// --step announces each fixed point of the run as a line "POINT name" and waits there for a line
// on standard input (with standard input closed it goes straight on): the first ledger row the
// run changes and every 500th after it ("POINT ledger row N"), the moment before the ledger
// commits ("POINT ledger commit") and before each commit of the posting journal ("POINT journal
// commit"), before and after every change to a file ("POINT before rename
// paymentHistory.csv", "POINT after write CV-Log.txt") and every message box ("POINT message",
// after its MSG line). A test that kills the driver at a point always sees the same moment.
// The last line is "OUTCOME Completed" or "OUTCOME Stopped"; exit status 0, or 2 on a failure
// before the run (with the error on standard error).

#include "core/Globals.h"
#include "core/PostingLog.h"
#include "core/Preferences.h"
#include "journal/FromSharedState.h"
#include "payments/PaymentLoad.h"
#include "payments/PostingRunOf.h"
#include "platform/Error.h"
#include "platform/Files.h"
#include "support/HookedFiles.h"
#include "support/LedgerPoints.h"
#include "support/PlatformDoubles.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

namespace corvane {
namespace {

void waitForLine() {
    std::string line;
    std::getline(std::cin, line);
}

bool stepping = false;

// Announces a fixed point and, when stepping, waits there.
void point(const QString& name) {
    if (!stepping)
        return;
    std::printf("POINT %s\n", name.toUtf8().constData());
    std::fflush(stdout);
    waitForLine();
}

class PrintingDialogs final : public Dialogs {
public:
    bool holdAtSuccess = false;

    int messageBox(const QString& text, MsgButtons buttons, MsgIcon,
                   const QString& title) override {
        QString shown = text;
        shown.replace(QLatin1Char('\r'), QStringLiteral("\\r"))
            .replace(QLatin1Char('\n'), QStringLiteral("\\n"));
        std::printf("MSG\t%s\t%s\n", title.toUtf8().constData(), shown.toUtf8().constData());
        std::fflush(stdout);
        point(QStringLiteral("message"));
        if (holdAtSuccess && text == QLatin1String("Your Lodgebook Ledgers are now updated."))
            waitForLine();
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
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty()) {
        std::fprintf(stderr, "usage: corvane_posting_driver FOLDER [options]\n");
        return 2;
    }
    const QString folder = args.takeFirst();
    int busyTimeoutMs = 5000;
    bool pause = false;
    PrintingDialogs dialogs;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--busy-timeout") && i + 1 < args.size())
            busyTimeoutMs = args[++i].toInt();
        else if (args[i] == QLatin1String("--pause"))
            pause = true;
        else if (args[i] == QLatin1String("--hold-at-success"))
            dialogs.holdAtSuccess = true;
        else if (args[i] == QLatin1String("--step"))
            stepping = true;
    }

    test::HookedFiles files;
    if (stepping) {
        // Reading changes nothing, so only the changes are points.
        files.before = [](const QString& change, const QString& path) {
            if (change != QLatin1String("read"))
                point(QStringLiteral("before ") + change + QLatin1Char(' ') +
                      QFileInfo(path).fileName());
        };
        files.after = [](const QString& change, const QString& path) {
            if (change != QLatin1String("read"))
                point(QStringLiteral("after ") + change + QLatin1Char(' ') +
                      QFileInfo(path).fileName());
        };
    }
    test::FakeEnvironment environment;
    test::FakeShell shell;
    test::FakePrinters printers;
    test::FakeSessions sessions;
    Globals globals(Platform{dialogs, files, environment, shell, printers, sessions}, folder);
    globals.PaymentFileName = kPaymentFileName;
    globals.TenantExportFileName = kTenantExportFileName;
    int rowsChanged = 0;
    if (stepping) {
        test::onLedgerPoints([&rowsChanged](test::LedgerPoint at, test::PointFile file) {
            const bool ledger = file == test::PointFile::Ledger;
            if (at == test::LedgerPoint::Committing)
                point(ledger ? QStringLiteral("ledger commit") : QStringLiteral("journal commit"));
            else if (ledger && rowsChanged++ % 500 == 0)
                point(QStringLiteral("ledger row %1").arg(rowsChanged));
        });
    }
    try {
        globals.LedgerDbPath = globals.pathInProgramFolder(kLedgerFileName);
        globals.LedgerDb = ledger::Database::open(globals.LedgerDbPath, busyTimeoutMs);
        ReadPostingLog(globals.files(), globals.dialogs(),
                       globals.pathInProgramFolder(kPostingLogFileName), globals.postingLog);
        globals.preferences =
            LoadIDFile(globals.files(), globals.pathInProgramFolder(kPreferencesFileName));
    } catch (const Error& e) {
        std::fprintf(stderr, "error %d: %s\n", e.number(), e.description().toUtf8().constData());
        return 2;
    }
    // The payment screen's loading, recovery of an interrupted run first. With a journal that
    // cannot be used the payments still load; the run then refuses it.
    PaymentLoad load(globals.dialogs(), RunSettlementOf(globals));
    if (!load.load()) {
        const LoadProblem problem = load.problem().value_or(LoadProblem{});
        std::fprintf(stderr, "error %d: %s\n", problem.number, problem.text.toUtf8().constData());
        return 2;
    }
    if (pause) {
        std::printf("LOADED\n");
        std::fflush(stdout);
        waitForLine();
    }

    PostingChoices choices;
    choices.postMgmtFees = true;
    choices.createDeposit = true;
    choices.depositNumber = QStringLiteral("1045");
    const PostingOutcome outcome = PostingRunOf(globals).run(load.payments(), choices, load.file());
    std::printf("OUTCOME %s\n", outcome == PostingOutcome::Completed ? "Completed" : "Stopped");
    std::fflush(stdout);
    return 0;
}
