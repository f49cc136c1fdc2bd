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
    AsWritten,  // the key is there with the values the run wrote
    Changed,    // the key is there with other values (an entry corrected in Lodgebook, or the key
                // used again after the ledger was restored from a backup)
    Missing,    // no record has the key
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
// deposit (CkID, with CkAmount, CkNumber and CkType "D"). However many runs are checked, each
// table is read once, by all its keys at once, in one read snapshot. Nothing is written. Throws
// corvane::Error when the ledger cannot be read.
class LedgerCheck {
public:
    explicit LedgerCheck(ledger::Database& db) : db_(db) {}

    // Each run's records in the run's order: per row its income entry, fee entry and split line,
    // then the deposit.
    std::vector<std::vector<RunRecord>> records(const std::vector<const Run*>& runs);
    std::vector<RunRecord> records(const Run& run);
    std::vector<LedgerState> states(const std::vector<const Run*>& runs);

private:
    ledger::Database& db_;
};

// A payment that a Posted run posted, as the ledger holds its income entry.
struct PostedPayment {
    std::int64_t runID = 0;
    int line = 0;  // the row's line in that run's payment file
    QDate postedOn;
    RecordState entry = RecordState::Missing;
    std::optional<std::int64_t> incomeTransID;
    std::optional<std::int64_t> feeTransID;
};

// What the journal and the ledger say of a download's transaction numbers.
struct PaymentsInJournal {
    // By transaction number: the payment as a Posted run posted it. Of several such runs, the
    // newest whose income entry the ledger holds as written; else the newest whose entry is
    // changed; else the newest.
    QHash<QString, PostedPayment> posted;
    // By transaction number: the day a Posted run recorded the payment's return (the newest).
    QHash<QString, QDate> returnRecorded;
};

// Looks the numbers up in the journal (one statement for all) and the income entries of those
// posted in the ledger (one statement for all). Empty numbers are never posted. Throws
// JournalError or corvane::Error.
PaymentsInJournal FindPaymentsInJournal(PostingJournal& journal, ledger::Database& db,
                                        const QStringList& numbers);

}  // namespace corvane::journal
