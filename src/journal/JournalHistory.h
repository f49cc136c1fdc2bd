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

// A return of one of a run's payments, recorded by a later run that is not reversed.
struct LaterReturn {
    QString transactionNumber;
    QDateTime recordedAt;  // the recording run's posting time
};
// The first such return (by the recording run), or nullopt. Throws JournalError.
std::optional<LaterReturn> ReturnRecordedLater(PostingJournal& journal, std::int64_t runID);

}  // namespace corvane::journal
