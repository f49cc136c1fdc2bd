#pragma once

#include "journal/LedgerCheck.h"

#include <QDate>
#include <QMap>
#include <QString>
#include <QStringList>

namespace corvane {

// What the journal, checked against the ledger, says of one row of a download: the first of
// these that applies.
enum class JournalNoteKind {
    None,             // no Posted run holds its number (or only runs whose entry is gone)
    ReturnRecorded,   // "Return recorded mm/dd/yyyy": a Posted run recorded its return
    Returned,         // "<Status> after posting mm/dd/yyyy": posted, its entry as written, and
                      // the processor's status now is not "Posted"
    AlreadyPosted,    // "Already posted mm/dd/yyyy": posted, its entry as written
    ChangedInLedger,  // "Already posted mm/dd/yyyy, changed in ledger": the entry's TransID holds
                      // other values
};

struct JournalNote {
    JournalNoteKind kind = JournalNoteKind::None;
    QString text;  // the Note column's text; empty for None
    QDate date;    // the posting date (the recording date for ReturnRecorded)
    // For None: the posting date of a payment whose entry is no longer in the ledger, told once
    // by GoneFromLedgerNotice; invalid otherwise.
    QDate goneSince;
};

// The note of a row with this transaction number and processor status (field 8, as read).
JournalNote NoteFromJournal(const journal::PaymentsInJournal& journal, const QString& number,
                            const QString& status);

// The status reads as settled: empty after trimming blanks, or "Posted" (letter case ignored).
bool SettledStatus(const QString& status);

inline const QString kGoneFromLedgerTitle = QStringLiteral("Corvane Notice");
// The notice of the payments that Corvane posted but the ledger no longer holds: by posting date,
// how many. One sentence per date, in date order.
QString GoneFromLedgerNotice(const QMap<QDate, int>& countsByDate);

inline const QString kReturnsTitle = QStringLiteral("Corvane Transaction Posting");
// The Yes/No question of a posting run with rows returned after posting; `statuses` are the rows'
// statuses as the Note column names them (blanks trimmed), each once, in the rows' order.
QString ReturnsQuestion(int count, const QStringList& statuses);

}  // namespace corvane
