#pragma once

#include "core/ProgramFiles.h"
#include "journal/JournalRun.h"
#include "journal/PostingJournal.h"
#include "platform/Dialogs.h"
#include "platform/Environment.h"
#include "platform/ledger/Database.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

namespace corvane {

inline const QString kReversalTitle = QStringLiteral("Reverse Posting Run");
// The title of the refusal to reverse a run whose payment's return a later run recorded.
inline const QString kPostingHistoryTitle = QStringLiteral("Corvane Posting History");

// What became of a press of "Reverse This Run".
enum class ReversalOutcome {
    Reversed,   // the run's records are gone from the ledger and the run is marked reversed
    Cancelled,  // the user answered No
    Refused,    // a record differs, the ledger is held, or something failed; nothing was changed
};

// A record of a run that the ledger no longer holds as the run wrote it.
struct ChangedRecord {
    enum class Kind { Entry, FeeEntry, SplitLine, Deposit, TenantRecord, Unit };
    Kind kind = Kind::Entry;
    QString tid;              // the row's TID (entries and split lines)
    ledger::Currency amount;  // as the run wrote it (entries, split lines, the deposit)
    QString dateText;         // the row's date (entries)
    QString deposit;          // the deposit's number (split lines, the deposit)
    std::int64_t key = 0;     // the TenantID (a tenant record, a unit)
    int more = 0;             // how many further records of the run differ
};

// The first record of the run that the ledger no longer holds as the run wrote it, with a count
// of further such records; nullopt when every record is there: the income and fee entries, the
// split lines, the deposit with its amount, and the tenants and units whose balances the run
// changed. A key that holds the record of a newer run of `rivals` (the journal's settled runs) is
// not the run's (LedgerCheck.h).
std::optional<ChangedRecord> FindChangedRecord(ledger::Database& db, const journal::Run& run,
                                               const std::vector<const journal::Run*>& rivals);
// It as the user knows it: "the entry of T101 for $1,250.00 on 12/01/2026 was changed or removed
// in Lodgebook", ", and so were <n> more of the run's records" when there are more.
QString changedRecordText(const ChangedRecord& record);

// The Yes/No question that comes before a reversal.
QString ReversalQuestion(const journal::Run& run);

// Reverses a Posted run exactly, whichever run it is, in `ledger` (nothing when the ledger is not
// open: refused), in this order:
//   1. read the run from the journal; refuse it when a later Posted run recorded the return of
//      one of its payments and the ledger holds that return (that run must be reversed first);
//      check, reading the ledger, that every record it wrote is still there as written and is
//      not another run's (FindChangedRecord);
//      otherwise say what differs and stop;
//   2. ask (ReversalQuestion); No stops;
//   3. in one ledger transaction: check again (when another writer has committed since the
//      first check), remove the run's entries, split lines and deposit,
//      take the run's balance changes off TCurrBal and UCurrBal; mark the run Reversing in the
//      journal (committed); commit the ledger;
//   4. stage the run's payment file again under the staged name (`payment`) when no payment file
//      is staged; mark the run Reversed with the environment's date; say so.
// A kill between the journal's Reversing and the end of step 4 is settled by the next start
// (SettleInterruptedReversal). Every message goes through Dialogs, with the title
// "Reverse Posting Run".
class RunReversal {
public:
    RunReversal(Dialogs& dialogs, ledger::Database* ledger, PaymentFiles payment,
                Environment& environment, journal::PostingJournal& journal)
        : dialogs_(dialogs),
          ledger_(ledger),
          payment_(std::move(payment)),
          environment_(environment),
          journal_(journal) {}
    ReversalOutcome run(std::int64_t runID);

private:
    // Step 1's result: the run, the journal's settled runs (its rivals for the ledger's keys)
    // and the ledger's content mark when they were checked.
    struct CheckedRun {
        journal::Run run;
        std::vector<journal::Run> settled;
        ledger::Database::ContentMark checkedAt;
    };
    // Step 1: the run read and checked; or the refusal to show.
    std::variant<CheckedRun, UserMessage> check(std::int64_t runID);
    // Step 4: the payment file staged again and the run marked Reversed; what to tell.
    UserMessage finish(const journal::Run& run);

    Dialogs& dialogs_;
    ledger::Database* ledger_;
    PaymentFiles payment_;
    Environment& environment_;
    journal::PostingJournal& journal_;
};

// Settles a run that a kill left Reversing: when the ledger holds none of its records any more,
// the reversal was committed, so its payment file is staged again (when none is staged) and the
// run becomes Reversed with the environment's date; when the ledger still holds its records, the
// run is Posted again. Throws JournalError or corvane::Error; the run then stays Reversing for the
// next attempt.
void SettleInterruptedReversal(ledger::Database& ledger, const PaymentFiles& payment,
                               Environment& environment, journal::PostingJournal& journal,
                               const journal::Run& run);

}  // namespace corvane
