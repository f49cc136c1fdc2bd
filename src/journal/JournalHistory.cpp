#include "journal/JournalHistory.h"

#include "journal/LedgerCheck.h"

#include <algorithm>

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

std::optional<LaterReturn> ReturnRecordedLater(PostingJournal& journal, ledger::Database& db,
                                               std::int64_t runID,
                                               const std::vector<const Run*>& runs) {
    struct Recorded {
        QString number;
        std::int64_t runID = 0;
        int line = 0;
        QDateTime at;
    };
    std::vector<Recorded> recorded;
    {
        Statement s = journal.db().prepare(
            "SELECT Returned.TransactionNumber, Runs.RunID, Returned.Line, Runs.PostedAt FROM "
            "ReturnedPayments AS Returned JOIN Runs ON Runs.RunID = Returned.RunID WHERE "
            "Returned.PaymentRunID = ?1 AND Runs.State IN ('posted', 'reversed') ORDER BY Runs.RunID, "
            "Returned.Line");
        s.bind(1, runID);
        while (s.step()) {
            recorded.push_back({s.text(0), s.integer(1), static_cast<int>(s.integer(2)),
                                QDateTime::fromString(s.text(3),
                                                      QStringLiteral("yyyy-MM-ddTHH:mm:ss"))});
        }
    }
    if (recorded.empty())
        return std::nullopt;
    // The returns whose entries the ledger holds as their runs wrote them.
    std::vector<const Run*> recording;
    for (const Recorded& r : recorded) {
        for (const Run* run : runs) {
            if (run->runID == r.runID &&
                std::find(recording.begin(), recording.end(), run) == recording.end())
                recording.push_back(run);
        }
    }
    const auto records = LedgerCheck(db, runs).records(recording);
    for (const Recorded& r : recorded) {
        for (std::size_t i = 0; i < recording.size(); ++i) {
            if (recording[i]->runID != r.runID)
                continue;
            for (const RunRecord& record : records[i]) {
                if (record.kind == RunRecord::Kind::Income &&
                    recording[i]->rows[record.row].line == r.line &&
                    record.state == RecordState::AsWritten)
                    return LaterReturn{r.number, r.at};
            }
        }
    }
    return std::nullopt;
}

}  // namespace corvane::journal
