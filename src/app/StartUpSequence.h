#pragma once

#include "core/Globals.h"

namespace corvane {

// The main menu's start-up. Call order:
//   1. OpenLedgerAndLog as the program's start (core/StartUp.h): the ledger, the posting log and
//      its figures, the session's printer, the shared file names;
//   2. settle interrupted posting runs (SettleInterruptedRuns; a failure is told and start-up
//      goes on);
//   3. CheckForPaymentFile (the preferences, then the staged file).
// A failure of 1 or 3 is thrown as corvane::Error for the start-up handler.
void RunStartUp(Globals& globals);

}  // namespace corvane
