#pragma once

#include "journal/JournalRun.h"
#include "journal/PostingJournal.h"
#include "platform/ledger/Database.h"

#include <QDate>
#include <QHash>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

namespace corvane::journal {

// What the ledger holds of one record a run wrote, looked up by the key the journal recorded.
enum class RecordState {
    AsWritten,  // the key is there with the values the run wrote, and no newer run's record
    Changed,    // the same record is there with other values: an entry of the same tenant and
                // kind with its amount or its date corrected in Lodgebook
    Missing,    // no record has the key, or it holds another record: another tenant's or
                // another kind of record, an entry with neither the amount nor the date written
                // (the key used again after the ledger was restored from a backup), a record
                // another run wrote there
};

// What the ledger holds of a whole run.
enum class LedgerState {
    Posted,          // every record as written (so is a run that wrote none)
    PartlyInLedger,  // some records changed or missing
    NotInLedger,     // none of its keys is there
};

// One ledger record of a run, as the ledger holds it.
struct RunRecord {
    enum class Kind { Income, Fee, Split, Deposit };
    Kind kind = Kind::Income;
    std::size_t row = 0;  // its row in Run::rows; 0 for the deposit
    RecordState state = RecordState::Missing;
};

// The state of a run from its records.
LedgerState LedgerStateOf(const std::vector<RunRecord>& records);

// Checks runs of the journal against the ledger, by the keys and values the journal recorded:
// the income and fee entries (TransID, with TransPostToID, TransAmount, TransDate and
// TransType), the split lines (SplitID, with the deposit's CkID, CkAmount and CkPostToID) and the
// deposit (CkID, with CkAmount, CkNumber and CkType "D"). A key belongs to one run: when several
// runs wrote the same key (a ledger restored from a backup uses its keys again), it holds the
// record of the newest run whose values it holds, and is missing from every other run. The runs
// checked decide that among themselves and with `rivals`, the journal's other runs
// (PostingJournal::runsToCheck). However many runs are checked, each table is read once, by all
// its keys at once, in one read snapshot. Nothing is written. Throws corvane::Error when the
// ledger cannot be read.
class LedgerCheck {
public:
    explicit LedgerCheck(ledger::Database& db, std::vector<const Run*> rivals = {})
        : db_(db), rivals_(std::move(rivals)) {}

    // Each run's records in the run's order: per row its income entry, fee entry and split line,
    // then the deposit.
    std::vector<std::vector<RunRecord>> records(const std::vector<const Run*>& runs);
    std::vector<RunRecord> records(const Run& run);
    std::vector<LedgerState> states(const std::vector<const Run*>& runs);

private:
    ledger::Database& db_;
    std::vector<const Run*> rivals_;
};

// What the ledger holds of each Posted run of the journal (the Posting History's states), each
// run checked against the others (LedgerCheck). Throws JournalError or corvane::Error.
QHash<std::int64_t, LedgerState> PostedRunStates(PostingJournal& journal, ledger::Database& db);

// A payment that a run posted (its number's first row in that run), as the ledger holds its
// income entry.
struct PostedPayment {
    std::int64_t runID = 0;
    int line = 0;  // the row's line in that run's payment file
    QDate postedOn;
    RecordState entry = RecordState::Missing;
    std::optional<std::int64_t> incomeTransID;
    std::optional<std::int64_t> feeTransID;
};

// The return of a posted payment, recorded by a later run.
struct RecordedReturn {
    std::int64_t runID = 0;
    int line = 0;       // the return's row in that run
    QDate recordedOn;   // the day of the return's entries
};

// What the journal and the ledger, read together, say of one transaction number: the one
// standing every decision about a payment of that number reads (its note, whether it is posted,
// whether its return is recorded).
struct PaymentStanding {
    enum class Kind {
        NotPosted,       // no run's income entry of it is in the ledger
        Posted,          // `posting`'s income entry is in the ledger as written
        Changed,         // `posting`'s income entry is there, edited in Lodgebook
        ReturnRecorded,  // posted, and its return recorded by `returned`: the ledger holds the
                         // return's entry as written
    };
    Kind kind = Kind::NotPosted;
    // The posting in the ledger: of the runs (posted, or reversed and restored) that posted the
    // number, the newest whose entry the ledger holds as written, else the newest whose entry was
    // changed.
    std::optional<PostedPayment> posting;
    std::optional<RecordedReturn> returned;
    // NotPosted: the posting day of the newest run that posted it, when the ledger no longer
    // holds that run's entry (restored from a backup, or removed in Lodgebook).
    QDate goneSince;
};

// The standings of a download's transaction numbers; a number no run posted is NotPosted.
class PaymentStandings {
public:
    const PaymentStanding& of(const QString& number) const;
    void set(const QString& number, PaymentStanding standing) {
        byNumber_.insert(number, std::move(standing));
    }

private:
    QHash<QString, PaymentStanding> byNumber_;
};

// Works out the standing of each number once: its postings and recorded returns from the
// journal (one statement each for all numbers), and their entries from the ledger (one
// statement for all). Empty numbers are never posted. Throws JournalError or corvane::Error.
PaymentStandings FindPaymentStandings(PostingJournal& journal, ledger::Database& db,
                                      const QStringList& numbers);

}  // namespace corvane::journal
