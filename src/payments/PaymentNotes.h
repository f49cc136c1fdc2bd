#pragma once

#include "journal/PostingJournal.h"
#include "payments/Payment.h"
#include "platform/ledger/Database.h"

#include <QDate>
#include <QMap>

#include <vector>

namespace corvane {

// The standings and notes of the payment screen's rows. Each payment gets its number's standing
// (FindPaymentStandings, LedgerCheck.h: what the journal and the ledger say of it together) and at
// most one note, the first of these that applies:
//   ReturnRecorded        its posting's return is recorded and in the ledger;
//   ReturnedAfterPosting  posted, in the ledger as written, and the line's status is not settled;
//   AlreadyPosted         posted, in the ledger as written;
//   ChangedInLedger       posted, and its entry was edited in Lodgebook;
//   Repeated              an earlier row has the same transaction number;
//   InLedger              a matched row whose tenant already has an income entry (TransType "I")
//                         with the same TransPostToID and date and the amount a posting writes
//                         for it (the payment's without its sign: never a return's negative
//                         entry) that no posting run of Corvane wrote;
//   Status                the line's status (field 8, blanks trimmed) is there and not "Posted"
//                         (letter case ignored).
// A payment Corvane posted whose income entry the ledger no longer holds gets none of the first
// four. `journal` may be null (a journal that cannot be used): no row is then found posted. Reads
// the ledger's Transactions once, and only the entries dated within the file's payment dates, and
// the posted payments' entries by their keys. Returns, by posting date, how many payments of the
// file Corvane posted whose income entry the ledger no longer holds (for GoneFromLedgerNotice).
QMap<QDate, int> NotePayments(std::vector<Payment>& payments, ledger::Database& ledger,
                              journal::PostingJournal* journal);
// The same for payments whose standings are worked out already (a tenant chosen since the load
// changes what a row's tenant has in the ledger, not what the journal says of its number): the
// journal is asked only whether an entry that looks typed in was Corvane's.
QMap<QDate, int> NoteAgain(std::vector<Payment>& payments, ledger::Database& ledger,
                           journal::PostingJournal* journal);

// The note the journal gives a row: its number's standing with the line's status (one of the
// first four kinds above, or None).
NoteKind journalNote(const journal::PaymentStanding& standing, const QString& status);

// The Note column's text of a payment: the words of its note, each written here once (the tenant
// choices' in TenantChoice.h); empty when none.
QString noteText(const Payment& payment);

// What the posting run does with a payment because of its standing and note.
// Never posted as new income: its return is recorded, or it was posted and is now reported as
// not settled (its return may be recorded instead).
bool neverPostedAgain(const Payment& payment);
// A matched payment whose note the notes question asks about (not a tenant choice, which is the
// user's own decision, and not one that is never posted anyway).
bool askedAboutNote(const Payment& payment);

}  // namespace corvane
