#pragma once

#include "core/Globals.h"

namespace corvane {

// Start-up: reads CV-Log.txt into the five shared variables (asking for the site address when
// the log holds none); the caller then shows the labels below. A missing log shows its
// message and returns false; nothing is filled.
bool ReadPostingLog(Globals& globals);

// The label texts, as the main menu shows them.
QString LastDateLabel(const Globals& globals);     // "Last Date Posted: " + LastDatePosted
QString LastBalanceLabel(const Globals& globals);  // "Last Balance Posted: " + "$##,##0.00"
QString LastDateRangeLabel(const Globals& globals);  // "Last Date Range: " + from + " to " + to

// After a posting run: writes the five lines (CR LF, Windows-1252) by write-then-rename, then
// emits PostingLogSignals::figuresChanged (the main menu shows them). Throws corvane::Error naming
// the file when it cannot be written; nothing is emitted then.
void WritePostingLog(Globals& globals);

}  // namespace corvane
