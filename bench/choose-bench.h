#pragma once

#include "core/Globals.h"

#include <QString>
#include <QWidget>

namespace corvane::bench {

// Choosing the tenant of a payment that matches none, as corvane-bench steps (the program
// started, untimed), for the first unmatched payment of the sample's download:
//   choose-open    the ledger's tenants read and ranked for the payment and the Choose Tenant
//                  window made (with -win/-a11y: shown, until its list has painted);
//   choose-filter  the window open, one letter typed into its search box: the list filtered
//                  (with -win/-a11y: until it has painted again);
//   remembered     what 1,000 remembered accounts add to the download: the download loaded
//                  (from the staged file) without remembered choices and then with 1,000 of its
//                  accounts of no tenant remembered, the fastest of five loads each; the step's
//                  seconds are the difference.
bool isChooseStep(const QString& step);
// Runs the step and returns its seconds; negative (with the reason on standard error) when it
// could not be run.
double runChooseStep(const QString& step, bool windowed, Globals& globals, QWidget& menu);

}  // namespace corvane::bench
