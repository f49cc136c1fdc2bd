#include "payments/JournalNotes.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

using journal::RecordState;

struct NoteCase {
    std::optional<RecordState> posted;  // posted on 12/09/2026 with its entry so; none: never
    bool returnRecorded;                // recorded on 12/14/2026
    const char* status;
    JournalNoteKind kind;
    const char* text;
};

TEST(JournalNotes, theJournalAndTheLedgerDecideTheNote) {
    const NoteCase cases[] = {
        {std::nullopt, false, "Returned", JournalNoteKind::None, ""},
        {RecordState::AsWritten, false, "Posted", JournalNoteKind::AlreadyPosted,
         "Already posted 12/09/2026"},
        {RecordState::AsWritten, false, "  ", JournalNoteKind::AlreadyPosted,
         "Already posted 12/09/2026"},
        {RecordState::AsWritten, false, "POSTED", JournalNoteKind::AlreadyPosted,
         "Already posted 12/09/2026"},
        {RecordState::AsWritten, false, " Returned ", JournalNoteKind::Returned,
         "Returned after posting 12/09/2026"},
        {RecordState::Changed, false, "Returned", JournalNoteKind::ChangedInLedger,
         "Already posted 12/09/2026, changed in ledger"},
        {RecordState::Missing, false, "Posted", JournalNoteKind::None, ""},
        {RecordState::AsWritten, true, "Returned", JournalNoteKind::ReturnRecorded,
         "Return recorded 12/14/2026"},
    };
    for (const NoteCase& c : cases) {
        journal::PaymentsInJournal journal;
        if (c.posted) {
            journal::PostedPayment p;
            p.postedOn = QDate(2026, 12, 9);
            p.entry = *c.posted;
            journal.posted.insert(QStringLiteral("B7"), p);
        }
        if (c.returnRecorded)
            journal.returnRecorded.insert(QStringLiteral("B7"), QDate(2026, 12, 14));
        const JournalNote note =
            NoteFromJournal(journal, QStringLiteral("B7"), QLatin1String(c.status));
        EXPECT_EQ(note.kind, c.kind) << c.text;
        EXPECT_EQ(note.text, QLatin1String(c.text));
        EXPECT_EQ(note.goneSince.isValid(), c.posted == RecordState::Missing) << c.text;
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
