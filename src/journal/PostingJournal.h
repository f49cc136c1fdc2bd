#pragma once

#include "journal/JournalDb.h"
#include "journal/JournalRun.h"

#include <QDate>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace corvane::journal {

// What the user is told when the journal cannot be used (title kJournalErrorTitle): "The posting
// journal CV-Journal.db cannot be used: <reason>." The history and the reversal say just that;
// the payment screen and the posting run add why nothing can be posted and what to do.
inline const QString kJournalErrorTitle = QStringLiteral("Corvane Error Message");
QString journalUnusableText(const JournalError& error);
QString unusableJournalMessage(const JournalError& error);

// The posting journal: every posting run Corvane has made in this folder, with every row it was
// given and every ledger record it wrote. A run and the ledger are two files; they are kept equal
// across a kill at any moment by the order of the writes:
//   1. the ledger transaction writes the run's records;
//   2. record(run) commits the run to the journal as Pending, with evidence of its records;
//   3. the ledger transaction commits;
//   4. the steps after the commit (archive, log), then setState(Posted).
// A run left Pending (or Reversing) is settled by the next start (PostingRecovery.h), which asks
// the ledger for the run's evidence: present, the run counts as Posted; absent, it is discarded.
// A run's figures as the journal keeps them beside its rows.
struct RunSummary {
    std::int64_t runID = 0;
    RunState state = RunState::Posted;
    QDateTime postedAt;
    QString computer;
    std::optional<QString> depositNumber;  // as typed; nullopt when no deposit was chosen
    std::optional<std::int64_t> depositID;
    std::optional<ledger::Currency> depositAmount;
    std::optional<QDate> reversedOn;
    int paymentsPosted = 0;          // income entries written
    ledger::Currency postedTotal;    // their amounts
    ledger::Currency feesTotal;      // the fee entries' amounts, negative
    int rowsLeftOut = 0;             // staged rows not posted
    std::optional<QDate> rangeFrom;  // the posted payments' first and last date
    std::optional<QDate> rangeTo;
};
RunSummary summaryOf(const Run& run);

class PostingJournal {
public:
    // Opens CV-Journal.db in the program folder, creating it when missing. Throws JournalError
    // when the file cannot be used; such a file is left exactly as it is.
    static std::unique_ptr<PostingJournal> open(const QString& programFolder);
    // The same for a journal that is there; nothing (and no file made) when there is none yet:
    // nothing was posted before, and the first posting run makes it.
    static std::unique_ptr<PostingJournal> openExisting(const QString& programFolder);
    static QString pathIn(const QString& programFolder);

    JournalDb& db() { return *db_; }

    // Adds the run as Pending in one journal transaction; returns its RunID.
    std::int64_t record(const Run& run);
    void setState(std::int64_t runID, RunState state, std::optional<QDate> reversedOn = {});
    // Removes a run that never reached the ledger.
    void discard(std::int64_t runID);

    // The runs a kill left between their two commits (Pending or Reversing), without their rows.
    std::vector<Run> unsettledRuns();
    // A whole run, rows and balance changes included; nullopt when there is no such run.
    std::optional<Run> readRun(std::int64_t runID);
    // The settled runs (Posted or Reversed), newest first, without their rows.
    std::vector<RunSummary> summaries();
    // The settled runs (Posted or Reversed) with their rows and balance changes but without
    // their payment files, and of the rows' texts only TID and date, newest first: what a check
    // against the ledger reads (LedgerCheck.h). A reversed run is among them because a ledger
    // restored from a backup may hold its records again.
    std::vector<Run> runsToCheck();
    // One run as runsToCheck() reads it; nullopt when there is no such run.
    std::optional<Run> runToCheck(std::int64_t runID);

    // An income entry of the ledger, as a posting run writes one.
    struct IncomeEntry {
        std::int64_t transID = 0;
        std::int64_t tenantID = 0;
        std::int64_t amountUnits = 0;  // ten-thousandths
        QDate date;
    };
    // Of these entries, the keys of those a settled run (posted or reversed) wrote for a payment
    // with these values: Corvane's own entries, not payments typed into the ledger.
    QSet<std::int64_t> writtenByCorvane(const std::vector<IncomeEntry>& entries);

private:
    explicit PostingJournal(std::unique_ptr<JournalDb> db) : db_(std::move(db)) {}
    std::unique_ptr<JournalDb> db_;
};

}  // namespace corvane::journal
