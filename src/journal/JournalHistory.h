#pragma once

#include "journal/JournalRun.h"
#include "journal/PostingJournal.h"

#include <cstdint>
#include <optional>

namespace corvane::journal {

// The deposit number of a run as the ledger holds it (CkNumber): the leading-number value of the
// number typed, 0 when there is none; nullopt when the run made no deposit.
std::optional<std::int64_t> DepositNumberOf(const Run& run);
std::optional<std::int64_t> DepositNumberOf(const RunSummary& run);

// The newest run that is not reversed, when it is Posted: the only run that may be reversed
// (runs are taken back newest first). Throws JournalError.
std::optional<std::int64_t> NewestReversibleRun(PostingJournal& journal);

}  // namespace corvane::journal
