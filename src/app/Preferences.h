#pragma once

#include "app/Globals.h"

namespace corvane {

// Reads the six ledger preferences from IDFILE.DAT in the program folder (fields 9, 10, 15, 16,
// 17, 18). A missing file throws corvane::Error 53.
void LoadIDFile(Globals& globals);

// The account category number of a category preference ("Rent Income;B-4010" -> 4010). The
// preference is trimmed of blanks and stored back.
int CategoryNumber(QString& category);
// The status code of a category preference ("Rent Income;B-4010" -> "B"); trimmed and stored back.
QString CategoryCode(QString& category);
// The number text of a category preference: what follows the code and the character after it,
// with blanks removed ("" when blank). Posting refuses a category whose number text is blank or
// not a number.
QString CategoryNumberText(const QString& category);

}  // namespace corvane
