#pragma once

#include "core/Globals.h"
#include "journal/FromSharedState.h"
#include "payments/PostingRun.h"

#include <memory>

namespace corvane {

// A posting run over the shared state's dialogs, preferences, ledger, files and log: for the
// payment screen, which hands it the journal its load opened, and for the tests and drivers that
// post as it does (the run then opens the journal itself).
inline PostingRun PostingRunOf(Globals& globals,
                               std::unique_ptr<journal::PostingJournal>& journal) {
    return PostingRun(globals.dialogs(), globals.preferences, RunSettlementOf(globals), journal);
}
inline PostingRun PostingRunOf(Globals& globals) {
    return PostingRun(globals.dialogs(), globals.preferences, RunSettlementOf(globals));
}

}  // namespace corvane
