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

std::optional<LaterReturn> ReturnRecordedLater(PostingJournal& journal, std::int64_t runID) {
    Statement s = journal.db().prepare(
        "SELECT Returned.TransactionNumber, Runs.PostedAt FROM ReturnedPayments AS Returned "
        "JOIN Runs ON Runs.RunID = Returned.RunID WHERE Returned.PaymentRunID = ?1 AND "
        "Runs.State <> 'reversed' ORDER BY Runs.RunID, Returned.Line LIMIT 1");
    s.bind(1, runID);
    if (!s.step())
        return std::nullopt;
    return LaterReturn{s.text(0),
                       QDateTime::fromString(s.text(1), QStringLiteral("yyyy-MM-ddTHH:mm:ss"))};
}

}  // namespace corvane::journal
