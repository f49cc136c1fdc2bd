#include "journal/JournalHistory.h"

namespace corvane::journal {

using ledger::Currency;

namespace {

// The figures of a run, counted once from its rows (see JournalHistory).
const char* const kFiguresTable = R"sql(
CREATE TABLE IF NOT EXISTS RunFigures (
    RunID INTEGER PRIMARY KEY REFERENCES Runs (RunID),
    Payments INTEGER NOT NULL,            -- income entries posted
    Total INTEGER NOT NULL,               -- their amounts, ten-thousandths of a dollar
    Fees INTEGER NOT NULL,                -- management fee entries posted
    FeeTotal INTEGER NOT NULL,            -- their amounts, negative as written
    LeftOut INTEGER NOT NULL              -- rows not posted
)
)sql";

const char* const kCountFigures = R"sql(
INSERT INTO RunFigures (RunID, Payments, Total, Fees, FeeTotal, LeftOut)
SELECT Runs.RunID, count(RunRows.IncomeTransID), coalesce(sum(RunRows.IncomeAmount), 0),
       count(RunRows.FeeTransID), coalesce(sum(RunRows.FeeAmount), 0),
       coalesce(sum(RunRows.Outcome <> 'posted'), 0)
FROM Runs LEFT JOIN RunRows ON RunRows.RunID = Runs.RunID
WHERE Runs.State <> 'pending' AND Runs.RunID NOT IN (SELECT RunID FROM RunFigures)
GROUP BY Runs.RunID
)sql";

std::optional<std::int64_t> depositNumber(bool createDeposit,
                                          const std::optional<std::int64_t>& depositID,
                                          const QString& typed) {
    if (!createDeposit || !depositID)
        return std::nullopt;
    return Currency::leadingValue(typed).roundedToWhole();
}

}  // namespace

std::optional<std::int64_t> DepositNumberOf(const Run& run) {
    return depositNumber(run.createDeposit, run.depositID, run.depositNumber);
}

void JournalHistory::countMissingFigures() {
    JournalDb& db = journal_.db();
    JournalTransaction transaction(db);
    db.exec(kFiguresTable);
    db.exec(kCountFigures);
    transaction.commit();
}

std::vector<RunSummary> JournalHistory::runs() {
    countMissingFigures();
    Statement s = journal_.db().prepare(
        "SELECT Runs.RunID, State, PostedAt, Computer, CreateDeposit, DepositNumber, DepositID, "
        "DepositAmount, LogRangeFrom, LogRangeTo, ReversedOn, Payments, Total, Fees, FeeTotal, "
        "LeftOut FROM Runs JOIN RunFigures ON RunFigures.RunID = Runs.RunID "
        "WHERE State <> 'pending' ORDER BY Runs.RunID DESC");
    std::vector<RunSummary> runs;
    while (s.step()) {
        RunSummary r;
        r.runID = s.integer(0);
        r.state = runStateFromName(s.text(1));
        r.postedAt = QDateTime::fromString(s.text(2), Qt::ISODate);
        r.computer = s.text(3);
        r.depositNumber = depositNumber(s.integer(4) != 0, s.optionalInteger(6), s.text(5));
        if (const auto amount = s.optionalInteger(7))
            r.depositAmount = Currency::fromUnits(*amount);
        r.rangeFrom = s.optionalText(8);
        r.rangeTo = s.optionalText(9);
        if (const auto reversed = s.optionalText(10))
            r.reversedOn = QDate::fromString(*reversed, Qt::ISODate);
        r.payments = static_cast<int>(s.integer(11));
        r.total = Currency::fromUnits(s.integer(12));
        r.fees = static_cast<int>(s.integer(13));
        r.feeTotal = Currency::fromUnits(s.integer(14)).abs();
        r.leftOut = static_cast<int>(s.integer(15));
        runs.push_back(std::move(r));
    }
    return runs;
}

std::optional<std::int64_t> JournalHistory::newestReversible() {
    Statement s = journal_.db().prepare(
        "SELECT RunID, State FROM Runs WHERE State <> 'reversed' ORDER BY RunID DESC LIMIT 1");
    if (!s.step() || runStateFromName(s.text(1)) != RunState::Posted)
        return std::nullopt;
    return s.integer(0);
}

}  // namespace corvane::journal
