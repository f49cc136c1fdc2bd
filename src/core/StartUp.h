#pragma once

#include "core/Globals.h"

namespace corvane {

// The message start-up shows for a failure, with the information icon: 3024 "Lodgebook data
// file not found - ..." and 3265 "Company Corvane field not found" (title "Corvane"); any other
// "Error <number>: <description>" (title "Corvane Error Message").
void ShowStartUpMessage(Dialogs& dialogs, int number, const QString& description);
// Start-up's general error message: "Error <number>: <description>", "Corvane Error Message".
UserMessage GeneralErrorMessage(int number, const QString& description);
void ShowGeneralError(Dialogs& dialogs, int number, const QString& description);

// The last step of start-up: reads the ledger preferences (LoadIDFile) into Globals::preferences,
// then looks at the staged payment file. A staged file whose first field does not begin with "B"
// is reported and deleted; one that remains is a reminder that payments wait to be posted. Errors
// (a missing IDFILE.DAT, an empty staged file) are thrown as corvane::Error for the start-up
// handler.
void CheckForPaymentFile(Globals& globals);

// On the hosting service (COMPUTERNAME exactly "LODGEBOOK"), makes the session's redirected
// printer "Orvanta Live (redirected <session>)" the current printer; elsewhere does nothing.
void ChooseSessionPrinter(Environment& environment, Sessions& sessions, Printers& printers);

enum class StartUpKind {
    Program,    // the main menu's load: every failure is told
    Reopening,  // a screen that needs the ledger start-up could not open: quietly
};

// The shared part of start-up, for the main menu's load (RunStartUp, app/StartUpSequence.h) and
// for the reopening of a ledger that start-up could not open. Call order:
//   1. open the ledger at LedgerDbPath (a failure is thrown as corvane::Error);
//      a reopening after a start-up that got past the ledger stops here;
//   2. read the posting log into Globals::postingLog (at program start always, a missing log
//      told; when reopening, only when there is one) and signal its figures (at program start
//      also the processor's site);
//   3. at program start, choose the session's printer (ChooseSessionPrinter);
//   4. set the shared file names;
//   5. when reopening, read the preferences into Globals::preferences quietly (a failure is left
//      to the posting run).
void OpenLedgerAndLog(Globals& globals, StartUpKind kind);

// For the screens that need the ledger: when start-up could not open it (LedgerDb is nothing),
// runs OpenLedgerAndLog again as a reopening, from LedgerDbPath (the program folder's ledger when
// that is not set yet). Returns false, after showing the start-up message for the failure, when
// it still cannot be opened; true when the ledger is open.
bool ReopenLedger(Globals& globals);

}  // namespace corvane
