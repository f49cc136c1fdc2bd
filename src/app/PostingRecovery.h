#pragma once

#include "app/Globals.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace corvane {

// A posting run leaves a note beside the ledger, "CV-Posting.txt", from just before its commit
// until its log and archive steps are done. A run that dies in between (killed, power lost)
// leaves the note behind; the next start-up and the next opening of the payment screen read it,
// ask the ledger whether that commit was made, and finish what the run left undone:
//  - committed: the staged payment file becomes the archive and the log gets the run's figures,
//    so that the same payments are never offered for posting again;
//  - not committed: nothing to do, the payments stay staged and are offered again.
// Either way the note is removed.
//
// Call order in a posting run: PostingNote::Begin inside the ledger transaction before anything
// is written; write everything; note.Write(...) (throws when the note cannot be written — the
// run must then roll back); commit; archive; log; RemovePostingNote.

inline const QString kPostingNoteFileName = QStringLiteral("CV-Posting.txt");

// The figures a run puts in the posting log.
struct PostedFigures {
    QString lastDatePosted;
    QString lastBalancePosted;
    std::optional<QString> rangeFrom;  // both or neither
    std::optional<QString> rangeTo;
};

class PostingNote {
public:
    // The last auto-numbers of the tables a run adds to, read inside the run's transaction
    // before its first write.
    static PostingNote Begin(ledger::Database& db);

    // Inside the same transaction, after the last write and before the commit: writes the note
    // with what the run added (its first and last entry, its deposit) and the log's figures.
    void Write(Globals& globals, const PostedFigures& figures) const;

private:
    std::int64_t lastTransID_ = 0;
    std::int64_t lastDepositID_ = 0;
};

void RemovePostingNote(Globals& globals);

enum class RecoveryOutcome {
    NothingToRecover,  // no note: the last run ended normally
    Posted,            // the interrupted run's commit was made; its steps after it are done now
    NotPosted,         // the commit was not made; the payments are still staged
};

// Reads the note of an interrupted run, if any, and finishes that run as described above.
// Needs the ledger open. Throws corvane::Error when the ledger or the files cannot be read or
// changed; the note then stays for the next attempt (except when only the log cannot be
// written: the payments are settled, so the note goes and the error is thrown once).
RecoveryOutcome RecoverInterruptedPosting(Globals& globals);

}  // namespace corvane
