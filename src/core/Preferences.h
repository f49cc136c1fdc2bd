#pragma once

#include "platform/Files.h"

#include <QString>

#include <cstdint>

namespace corvane {

// A category preference of IDFILE.DAT ("Rent Income;B-4010"), read once.
struct CategoryPreference {
    QString text;              // as the file gives it
    bool valid = false;        // its number text is a number: posting refuses it otherwise
    std::int64_t account = 0;  // the account category number, rounded to a whole number (4010)
    QString code;              // the status code ("B")
};

// The six ledger preferences, read once; the remarks without their leading and trailing blanks.
struct LedgerPreferences {
    CategoryPreference rentIncome;
    QString rentIncomeRemark;
    CategoryPreference mgmtFee;
    QString mgmtFeeRemark;
    CategoryPreference lateFee;
    QString lateFeeRemark;
};

// Reads the six ledger preferences from IDFILE.DAT at `path` (fields 9, 10, 15, 16, 17, 18), each
// read once; start-up keeps them in Globals::preferences. A missing file throws corvane::Error 53.
LedgerPreferences LoadIDFile(Files& files, const QString& path);

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
