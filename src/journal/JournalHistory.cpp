#include "journal/JournalHistory.h"

namespace corvane::journal {

namespace {

std::optional<std::int64_t> depositNumber(const std::optional<QString>& typed,
                                          const std::optional<std::int64_t>& depositID) {
    if (!typed || !depositID)
        return std::nullopt;
    return ledger::Currency::leadingValue(*typed).roundedToWhole();
}

}  // namespace

std::optional<std::int64_t> DepositNumberOf(const Run& run) {
    return depositNumber(run.createDeposit ? std::optional(run.depositNumber) : std::nullopt,
                         run.depositID);
}

std::optional<std::int64_t> DepositNumberOf(const RunSummary& run) {
    return depositNumber(run.depositNumber, run.depositID);
}

std::optional<std::int64_t> NewestReversibleRun(PostingJournal& journal) {
    Statement s = journal.db().prepare(
        "SELECT RunID, State FROM Runs WHERE State <> 'reversed' ORDER BY RunID DESC LIMIT 1");
    if (!s.step() || runStateFromName(s.text(1)) != RunState::Posted)
        return std::nullopt;
    return s.integer(0);
}

}  // namespace corvane::journal
