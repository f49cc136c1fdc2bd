#pragma once

#include "app/Globals.h"

namespace corvane {

enum class StartUpKind {
    Program,    // the main menu's load: every failure is told
    Reopening,  // a screen that needs the ledger start-up could not open: quietly
};

// The one start-up sequence, for the main menu's load and for the reopening of a ledger that
// start-up could not open. Call order:
//   1. open the ledger at LedgerDbPath (a failure is thrown as corvane::Error);
//      a reopening after a start-up that got past the ledger stops here;
//   2. read the posting log (at program start always, a missing log told; when reopening, only
//      when there is one) and show its figures on the main menu (at program start also the
//      processor's site);
//   3. at program start, choose the session's printer (ChooseSessionPrinter);
//   4. set the shared file names;
//   5. at program start, settle interrupted posting runs (SettleInterruptedRuns; a failure is
//      told and start-up goes on);
//   6. at program start CheckForPaymentFile (the preferences, then the staged file; failures
//      thrown); when reopening the preferences only, a failure left to the posting run.
void RunStartUp(Globals& globals, StartUpKind kind);

// For the screens that need the ledger: when start-up could not open it (LedgerDb is nothing),
// runs the start-up sequence again as a reopening, from LedgerDbPath (the program folder's
// ledger when that is not set yet). Returns false, after showing the start-up message for the
// failure, when it still cannot be opened; true when the ledger is open.
bool ReopenLedger(Globals& globals);

// The one place that settles interrupted posting runs (RecoverInterruptedPosting), when the
// ledger is open. A journal that cannot be used is left to whoever opens it next, which tells;
// any other failure is thrown as corvane::Error and the run stays unsettled for the next try.
void SettleInterruptedRuns(Globals& globals);

}  // namespace corvane
