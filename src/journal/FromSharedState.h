#pragma once

#include "core/Globals.h"
#include "journal/PostingRecovery.h"

namespace corvane {

// What settling interrupted runs takes, out of the shared state: for the windows and start-up,
// which hold it (and the tests and drivers that run them). The staged name is the one of now.
inline RunSettlement RunSettlementOf(Globals& globals) {
    return {globals.LedgerDb.get(), globals.paymentFiles(), globals.environment(),
            globals.postingLog, globals.postingLogSignals()};
}

}  // namespace corvane
