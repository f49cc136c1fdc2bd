#include "startup/StartUpSequence.h"

#include "app/PostingLog.h"
#include "app/Preferences.h"
#include "app/StartUp.h"
#include "journal/PostingRecovery.h"
#include "platform/Error.h"

#include <exception>

namespace corvane {

void RunStartUp(Globals& globals, StartUpKind kind) {
    const bool program = kind == StartUpKind::Program;
    globals.LedgerDb = ledger::Database::open(globals.LedgerDbPath);
    // A reopening after a start-up that got past the ledger has nothing more to do.
    if (!program && !globals.PaymentFileName.isEmpty())
        return;
    // A missing log or preferences file was told at start-up; a reopening reads them quietly,
    // so that the next log keeps the figures and site address, and the posting run refuses
    // without the preferences as it would after that.
    const bool readLog =
        program || globals.files().exists(globals.pathInProgramFolder(kPostingLogFileName));
    if (readLog && ReadPostingLog(globals)) {
        PostingLogSignals& log = globals.postingLogSignals();
        Q_EMIT log.figuresChanged();
        if (program)
            Q_EMIT log.processorSiteRead(globals.postingLog.processorSiteUrl);
    }
    if (program)
        ChooseSessionPrinter(globals);
    globals.PaymentFileName = kPaymentFileName;
    globals.TenantExportFileName = kTenantExportFileName;
    if (!program) {
        try {
            LoadIDFile(globals);
        } catch (const Error&) {
        }
        return;
    }
    // A posting run that ended abruptly is finished, or known as not posted, before anything
    // looks at the staged file. A failure is told and start-up goes on; while the run stays
    // unsettled, the payment screen tries again when it opens.
    try {
        SettleInterruptedRuns(globals);
    } catch (const Error& error) {
        ShowGeneralError(globals.dialogs(), error.number(), error.description());
    }
    CheckForPaymentFile(globals);
}

bool ReopenLedger(Globals& globals) {
    if (globals.LedgerDb)
        return true;
    if (globals.LedgerDbPath.isEmpty())
        globals.LedgerDbPath = globals.pathInProgramFolder(kLedgerFileName);
    try {
        RunStartUp(globals, StartUpKind::Reopening);
        return true;
    } catch (const Error& error) {
        ShowStartUpMessage(globals.dialogs(), error.number(), error.description());
    } catch (const std::exception& error) {
        ShowStartUpMessage(globals.dialogs(), 0, QString::fromLocal8Bit(error.what()));
    }
    return false;
}

void SettleInterruptedRuns(Globals& globals) {
    if (!globals.LedgerDb)
        return;
    try {
        RecoverInterruptedPosting(globals);
    } catch (const journal::JournalError&) {
        // Told by whoever opens the journal next (the payment screen, the history).
    }
}

}  // namespace corvane
