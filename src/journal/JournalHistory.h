#pragma once

#include "journal/JournalRun.h"
#include "journal/PostingJournal.h"
#include "platform/ledger/Database.h"

#include <cstdint>
#include <optional>

namespace corvane::journal {

// The deposit number of a run as the ledger holds it (CkNumber): the leading-number value of the
// number typed, 0 when there is none; nullopt when the run made no deposit.
std::optional<std::int64_t> DepositNumberOf(const Run& run);
std::optional<std::int64_t> DepositNumberOf(const RunSummary& run);

// A return of one of a run's payments, recorded by a later run, whose entry the ledger holds as
// that run wrote it (a reversed run's too: a ledger restored from a backup may hold it again).
struct LaterReturn {
    QString transactionNumber;
    QDateTime recordedAt;  // the recording run's posting time
};
// The first such return (by the recording run), or nullopt; `runs` are the journal's settled runs
// (PostingJournal::runsToCheck). Throws JournalError or corvane::Error.
std::optional<LaterReturn> ReturnRecordedLater(PostingJournal& journal, ledger::Database& db,
                                               std::int64_t runID,
                                               const std::vector<const Run*>& runs);

}  // namespace corvane::journal
