#pragma once

#include "journal/JournalRun.h"
#include "journal/PostingJournal.h"
#include "platform/ledger/Currency.h"

#include <QDate>
#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace corvane::journal {

// What the posting history shows of one run: its figures, counted from its rows.
struct RunSummary {
    std::int64_t runID = 0;
    RunState state = RunState::Posted;
    QDateTime postedAt;
    QString computer;
    int payments = 0;         // income entries posted
    ledger::Currency total;   // their amounts
    int fees = 0;             // management fee entries posted
    ledger::Currency feeTotal;  // their amounts, as a positive amount
    std::optional<std::int64_t> depositNumber;  // the deposit's CkNumber; none without a deposit
    std::optional<ledger::Currency> depositAmount;
    std::optional<QString> rangeFrom, rangeTo;  // the posted payments' dates, as staged
    int leftOut = 0;                            // rows not posted
    std::optional<QDate> reversedOn;
};

// The deposit number of a run as the ledger holds it (CkNumber): the leading-number value of the
// number typed, 0 when there is none; nullopt when the run made no deposit.
std::optional<std::int64_t> DepositNumberOf(const Run& run);

// The history of the runs of the journal. The figures of a run never change once it is recorded,
// so each run's figures are counted from its rows once and kept in the journal's RunFigures
// table; a history of many large runs then opens by reading one row per run.
//
// Call order: construct over an open journal; runs() and newestReversible() in any order.
class JournalHistory {
public:
    explicit JournalHistory(PostingJournal& journal) : journal_(journal) {}

    // Every Posted, Reversing or Reversed run, newest first (pending runs are not yet runs).
    // Throws JournalError.
    std::vector<RunSummary> runs();
    // The newest run that is not reversed, when it is Posted; the only run that may be reversed.
    std::optional<std::int64_t> newestReversible();

private:
    void countMissingFigures();
    PostingJournal& journal_;
};

}  // namespace corvane::journal
