#pragma once

#include "core/Globals.h"

#include <QString>
#include <QWidget>

namespace corvane::bench {

// The posting history's steps of corvane-bench:
//   history   the history window opens on a journal of 100 runs of 1,000 payments each;
//   report    the posting report of a run of the sample's payments is written;
//   reversal  that run is reversed.
bool isHistoryStep(const QString& step);
// Brings the program to the step (untimed), runs it and returns its seconds; a negative number
// (with the reason on standard error) when it could not be run.
double runHistoryStep(const QString& step, Globals& globals, QWidget& menu);

}  // namespace corvane::bench
