#include "app/StartUpSequence.h"

#include "core/StartUp.h"
#include "journal/FromSharedState.h"
#include "platform/Error.h"

namespace corvane {

void RunStartUp(Globals& globals) {
    OpenLedgerAndLog(globals, StartUpKind::Program);
    // A posting run that ended abruptly is finished, or known as not posted, before anything
    // looks at the staged file. A failure is told and start-up goes on; while the run stays
    // unsettled, the payment screen tries again when it opens.
    try {
        SettleInterruptedRuns(RunSettlementOf(globals));
    } catch (const Error& error) {
        ShowGeneralError(globals.dialogs(), error.number(), error.description());
    }
    CheckForPaymentFile(globals);
}

}  // namespace corvane
