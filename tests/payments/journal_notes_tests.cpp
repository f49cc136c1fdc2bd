#include "payments/JournalNotes.h"
#include "payments/PaymentNotes.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

using Standing = journal::PaymentStanding::Kind;

struct NoteCase {
    Standing standing;  // posted on 12/09/2026; a return recorded on 12/14/2026
    const char* status;
    NoteKind kind;
    const char* text;
};

TEST(JournalNotes, theStandingAndTheStatusDecideTheNote) {
    const NoteCase cases[] = {
        {Standing::NotPosted, "Returned", NoteKind::None, ""},
        {Standing::Posted, "Posted", NoteKind::AlreadyPosted, "Already posted 12/09/2026"},
        {Standing::Posted, "  ", NoteKind::AlreadyPosted, "Already posted 12/09/2026"},
        {Standing::Posted, "POSTED", NoteKind::AlreadyPosted, "Already posted 12/09/2026"},
        {Standing::Posted, " Returned ", NoteKind::ReturnedAfterPosting,
         "Returned after posting 12/09/2026"},
        {Standing::Changed, "Returned", NoteKind::ChangedInLedger,
         "Already posted 12/09/2026, changed in ledger"},
        {Standing::ReturnRecorded, "Returned", NoteKind::ReturnRecorded,
         "Return recorded 12/14/2026"},
        {Standing::ReturnRecorded, "Posted", NoteKind::ReturnRecorded,
         "Return recorded 12/14/2026"},
    };
    for (const NoteCase& c : cases) {
        Payment p;
        p.processorStatus = QLatin1String(c.status);
        p.standing.kind = c.standing;
        if (c.standing != Standing::NotPosted) {
            p.standing.posting = journal::PostedPayment{};
            p.standing.posting->postedOn = QDate(2026, 12, 9);
        }
        if (c.standing == Standing::ReturnRecorded)
            p.standing.returned = journal::RecordedReturn{3, 1, QDate(2026, 12, 14)};
        p.note = journalNote(p.standing, p.processorStatus);
        EXPECT_EQ(p.note, c.kind) << c.text;
        EXPECT_EQ(noteText(p), QLatin1String(c.text));
    }
}

TEST(JournalNotes, noticeHasOneSentencePerPostingDate) {
    EXPECT_EQ(GoneFromLedgerNotice({{QDate(2026, 12, 9), 3}}),
              QStringLiteral("3 payments of this file were posted by Corvane on 12/09/2026 but "
                             "are no longer in the Lodgebook ledger (it may have been restored "
                             "from a backup, or the entries removed in Lodgebook). They are not "
                             "marked 'Already posted'."));
    EXPECT_EQ(GoneFromLedgerNotice({{QDate(2026, 12, 9), 3}, {QDate(2026, 11, 2), 1}}),
              QStringLiteral("1 payments of this file were posted by Corvane on 11/02/2026 but "
                             "are no longer in the Lodgebook ledger (it may have been restored "
                             "from a backup, or the entries removed in Lodgebook). 3 payments of "
                             "this file were posted by Corvane on 12/09/2026 but are no longer in "
                             "the Lodgebook ledger (it may have been restored from a backup, or "
                             "the entries removed in Lodgebook). They are not marked 'Already "
                             "posted'."));
}

}  // namespace
}  // namespace corvane
