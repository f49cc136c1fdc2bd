#pragma once

#include "app/Globals.h"

namespace corvane {

// The message start-up shows for a failure, with the information icon: 3024 "Lodgebook data
// file not found - ..." and 3265 "Company Corvane field not found" (title "Corvane"); any other
// "Error <number>: <description>" (title "Corvane Error Message").
void ShowStartUpMessage(Dialogs& dialogs, int number, const QString& description);
// Start-up's general error message: "Error <number>: <description>", "Corvane Error Message".
void ShowGeneralError(Dialogs& dialogs, int number, const QString& description);

// The last step of start-up: reads the ledger preferences (LoadIDFile), then looks at the staged
// payment file. A staged file whose first field does not begin with "B" is reported and deleted;
// one that remains is a reminder that payments wait to be posted. Errors (a missing IDFILE.DAT,
// an empty staged file) are thrown as corvane::Error for the start-up handler.
void CheckForPaymentFile(Globals& globals);

// On the hosting service (COMPUTERNAME exactly "LODGEBOOK"), makes the session's redirected
// printer "Orvanta Live (redirected <session>)" the current printer; elsewhere does nothing.
void ChooseSessionPrinter(Globals& globals);

}  // namespace corvane
