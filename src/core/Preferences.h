#pragma once

#include "core/Globals.h"

#include <QString>

#include <cstdint>

namespace corvane {

// Reads the six ledger preferences from IDFILE.DAT in the program folder (fields 9, 10, 15, 16,
// 17, 18) into Globals::preferences, each read once. A missing file throws corvane::Error 53.
void LoadIDFile(Globals& globals);

// A category preference read once from its stored text, e.g. "Rent Income;B-4010". Its number
// text is what follows the code and the character after it (two characters after the first ";",
// or from the third character without one), blanks removed.
CategoryPreference readCategory(const QString& stored);

// The six preferences of their stored texts, in the file's order.
LedgerPreferences readLedgerPreferences(const QString& rentIncomeCategory,
                                        const QString& rentIncomeRemark,
                                        const QString& mgmtFeeCategory,
                                        const QString& mgmtFeeRemark,
                                        const QString& lateFeeCategory,
                                        const QString& lateFeeRemark);

}  // namespace corvane
