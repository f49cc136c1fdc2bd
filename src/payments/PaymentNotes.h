#pragma once

#include "journal/PostingJournal.h"
#include "payments/Payment.h"
#include "platform/ledger/Database.h"

#include <QDate>
#include <QMap>

#include <vector>

namespace corvane {

// The notes of the payment screen's Note column: each payment gets at most one, the first of
// these that applies:
//   what the journal, checked against the ledger, says of its transaction number (JournalNotes.h:
//   "Return recorded mm/dd/yyyy", "<Status> after posting mm/dd/yyyy", "Already posted
//   mm/dd/yyyy", "Already posted mm/dd/yyyy, changed in ledger"; a payment posted by Corvane
//   whose income entry the ledger no longer holds gets none of these);
//   "Repeated in this file"      an earlier row has the same transaction number;
//   "In ledger?"                 a matched row whose tenant already has an income entry
//                                (TransType "I") with the same TransPostToID, amount and date;
//   "Status: <status>"           the line's status (field 8, blanks trimmed) is there and is not
//                                "Posted" (letter case ignored).
// `journal` may be null (a journal that cannot be
// used): no row is then found already posted. Reads the ledger's Transactions once, and only the
// entries dated within the file's payment dates, and the posted payments' income entries by
// their keys. Returns, by posting date, how many payments of the file Corvane posted whose income
// entry the ledger no longer holds (for GoneFromLedgerNotice).
QMap<QDate, int> NotePayments(std::vector<Payment>& payments, ledger::Database& ledger,
                              journal::PostingJournal* journal);

}  // namespace corvane
