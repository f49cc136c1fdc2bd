#pragma once

#include "core/PostingLog.h"
#include "core/ProgramFiles.h"
#include "journal/PostingJournal.h"
#include "platform/Environment.h"
#include "platform/ledger/Database.h"

#include <QString>

#include <cstdint>

namespace corvane {

// The records of a posting run that tell, after a kill, whether its ledger commit was made: the
// run's first and last Transactions record and its deposit, each by its key and the fields that
// tell it apart from a record another writer may later add under the same key.
//
// Call order in a posting run: PostingEvidence::Begin inside the ledger transaction before
// anything is written; write everything; collect() after the last write, before the commit; the
// text goes into the journal's Pending run (PostingJournal.h).
class PostingEvidence {
public:
    static PostingEvidence Begin(ledger::Database& db);
    QString collect(ledger::Database& db) const;

private:
    std::int64_t lastTransID_ = 0;
    std::int64_t lastDepositID_ = 0;
};

// Whether the ledger holds the records that collect() described. A run that added no record
// changed nothing in the ledger, and counts as held.
bool LedgerHoldsEvidence(ledger::Database& db, const QString& evidence);

enum class RecoveryOutcome {
    NothingToRecover,  // no run was left between its commits
    Posted,            // an interrupted run's commit was made; its steps after it are done now
    NotPosted,         // the commit was not made; the run is gone from the journal and its
                       // payments are still staged
};

// What settling interrupted runs works on: the ledger it reads, the journal and the staged
// payment file of the program folder, the date a settled reversal is marked with, and the posting
// log's figures, which a settled run changes (then writes, then tells).
struct RunSettlement {
    ledger::Database* ledger;       // nothing when the ledger is not open
    PaymentFiles payment;           // the staged payment file, its archive, the journal's folder
    Environment& environment;       // today's date
    PostingLogFigures& postingLog;  // Globals::postingLog
    PostingLogSignals& logSignals;  // figuresChanged once the log (CV-Log.txt) is written
};

// Settles the runs a kill left unsettled in the journal: a Pending run whose records the ledger
// holds becomes Posted, after the steps that followed its commit are done (the staged payment
// file, when it is still the one posted, becomes the archive; the log gets the run's figures and
// figuresChanged is emitted);
// a Pending run whose records the ledger lacks is discarded. A Reversing run is settled by
// SettleInterruptedReversal (RunReversal.h).
//
// Needs the ledger open. Does nothing when there is no journal file yet. Throws JournalError when
// the journal cannot be used and corvane::Error when the ledger or the files cannot be read or
// changed; the run then stays unsettled for the next attempt (except when only the log cannot be
// written: the payments are settled, so the run becomes Posted and the error is thrown once).
RecoveryOutcome RecoverInterruptedPosting(const RunSettlement& settlement);
// The same with the journal a caller has already opened.
RecoveryOutcome RecoverInterruptedPosting(const RunSettlement& settlement,
                                          journal::PostingJournal& journal);

// The one place that settles interrupted posting runs (RecoverInterruptedPosting), when the
// ledger is open, in `journal` when the caller has it open (else the journal file, when there is
// one). A journal that cannot be used is left to whoever opens it next, which tells;
// any other failure is thrown as corvane::Error and the run stays unsettled for the next try.
void SettleInterruptedRuns(const RunSettlement& settlement,
                           journal::PostingJournal* journal = nullptr);

}  // namespace corvane
