#pragma once

#include "core/Globals.h"

#include <QString>
#include <QWidget>

namespace corvane::bench {

// The duplicate guard's own costs, as corvane-bench steps (the payment screen loaded, untimed):
//   notes    the notes of the loaded rows: the journal opened, the posted transaction numbers
//            looked up, the ledger's income entries of the payments' dates read;
//   journal  the journal opened and a posting run of the loaded rows recorded in it, as the run
//            does before the ledger's commit (it is marked posted after the success message);
//   check    the ledger check of the download's transaction numbers when a run of the journal
//            posted every one of them (each income entry looked up in the ledger);
//   returns  a posting run of the file's payments that records the return of 1,000 of them,
//            which an earlier run posted (the posting run's work, from the click on).
bool isGuardStep(const QString& step);
// Runs the step and returns its seconds; negative (with the reason on standard error) when it
// could not be run.
double runGuardStep(const QString& step, Globals& globals, QWidget& menu);

}  // namespace corvane::bench
