#pragma once

#include "journal/JournalRun.h"
#include "journal/OwnerTotals.h"

#include <QString>

#include <vector>

namespace corvane {

inline const QString kPostingReportTitle = QStringLiteral("Corvane Posting Report");

// "Corvane Posting Report yyyy-mm-dd hhmm.pdf", by the run's posting time.
QString PostingReportFileName(const journal::Run& run);

// What became of a staged row: "Posted", "Posted, fee -$25.00", "Posted, tenant chosen by you"
// (chosen on the review screen or remembered from an earlier choice, with the fee after it when
// there is one), "Left out: no tenant", "Left out: " + its note, "Return recorded (posted
// mm/dd/yyyy)".
QString RowResultText(const journal::RunRow& row);

// Writes the report of a whole run (rows included) as a PDF (WritePdfReport): on every page the
// title and "Page n of m"; on the first the run's time, computer, file and choices; one line per
// staged row in file order; the payments and fees by owner (OwnerTotalsOfRun); then the totals.
// Throws corvane::Error 75 when the file cannot be written.
void WritePostingReport(const journal::Run& run, const std::vector<journal::OwnerTotal>& owners,
                        const QString& path);

}  // namespace corvane
