#pragma once

#include "journal/PostingJournal.h"
#include "payments/Payment.h"
#include "platform/ledger/Database.h"

#include <vector>

namespace corvane {

// The notes of the payment screen's Note column: each payment gets at most one, the first of
// these that applies:
//   "Already posted mm/dd/yyyy"  its transaction number was posted by a run of the journal that
//                                is not reversed (the newest such run's posting date);
//   "Repeated in this file"      an earlier row has the same transaction number;
//   "In ledger?"                 a matched row whose tenant already has an income entry
//                                (TransType "I") with the same TransPostToID, amount and date;
//   "Status: <status>"           the line's status (field 8, blanks trimmed) is there and is not
//                                "Posted" (letter case ignored).
// `journal` may be null (a journal that cannot be
// used): no row is then found already posted. Reads the ledger's Transactions once, and only the
// entries dated within the file's payment dates.
void NotePayments(std::vector<Payment>& payments, ledger::Database& ledger,
                  journal::PostingJournal* journal);

}  // namespace corvane
