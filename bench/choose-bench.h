#pragma once

#include "app/Globals.h"

#include <QString>
#include <QWidget>

namespace corvane::bench {

// Choosing the tenant of a payment that matches none, as corvane-bench steps (the program
// started, untimed), for the first unmatched payment of the sample's download:
//   choose-open    the ledger's tenants read and ranked for the payment and the Choose Tenant
//                  window made (with -win/-a11y: shown, until its list has painted);
//   choose-filter  the window open, one letter typed into its search box: the list filtered
//                  (with -win/-a11y: until it has painted again);
//   remembered     1,000 of the download's unmatched accounts remembered in the journal
//                  (untimed), then the remembered choices of every account of the download
//                  looked up at once, as the download's loading does.
bool isChooseStep(const QString& step);
// Runs the step and returns its seconds; negative (with the reason on standard error) when it
// could not be run.
double runChooseStep(const QString& step, bool windowed, Globals& globals, QWidget& menu);

}  // namespace corvane::bench
