#pragma once

#include "journal/JournalRun.h"

#include <QString>

namespace corvane {

inline const QString kPostingReportTitle = QStringLiteral("Corvane Posting Report");

// "Corvane Posting Report yyyy-mm-dd hhmm.pdf", by the run's posting time.
QString PostingReportFileName(const journal::Run& run);

// What became of a staged row: "Posted", "Posted, fee -$25.00", "Posted, tenant chosen by you"
// (chosen on the review screen or remembered from an earlier choice, with the fee after it when
// there is one), "Left out: no tenant", "Left out: " + its note, "Return recorded (posted
// mm/dd/yyyy)".
QString RowResultText(const journal::RunRow& row);

// Writes the report of a whole run (rows included) as a PDF through Qt's PDF writer: on every page
// the title and "Page n of m"; on the first the run's time, computer, file and choices; one row
// per staged row in file order, in columns as wide as what they hold (when the page is too narrow
// for all, the names, addresses, transaction numbers and results wrap within their columns; no
// text is cut); then the totals. The file is written under a temporary name and
// renamed into place, so a failure never leaves half a report. Throws corvane::Error 75 when the
// file cannot be written.
void WritePostingReport(const journal::Run& run, const QString& path);

}  // namespace corvane
