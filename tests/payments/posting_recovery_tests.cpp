#include "posting_fixture.h"

#include "journal/FromSharedState.h"
#include "journal/PostingRecovery.h"
#include "platform/Error.h"
#include "support/JournalSupport.h"

#include <QDir>

namespace corvane::test {
namespace {

const QByteArray kStagedBytes = "B1,T42,x\r\n";

// A run that died while Pending in the journal. The fixture's run is stopped at the archive step
// by a folder in the archive's place; "the next start" is a fresh set of figures.
class PostingRecoveryTest : public PostingFixture {
protected:
    int unsettled() {
        return static_cast<int>(openJournal(tp.globals.programFolder())->unsettledRuns().size());
    }
    int runs() {
        return static_cast<int>(
            journalNumber(tp.globals.programFolder(), "SELECT count(*) FROM Runs"));
    }

    // Posts one payment of tenant 42 whose archive step fails; the run stays Pending.
    void postWithArchiveBlocked() {
        addTenant(42);
        ASSERT_TRUE(QDir().mkpath(tp.path(kPaymentArchiveFileName) + "/blocker"));
        tp.dialogs.allowAnyMessages();
        ASSERT_EQ(post({row("T42", "500")}, both()), PostingOutcome::Completed);
        ASSERT_EQ(unsettled(), 1);
        ASSERT_TRUE(QDir(tp.path(kPaymentArchiveFileName)).removeRecursively());
        tp.files.remove(tp.path(kPostingLogFileName));
        // What the next start has read from the old log.
        tp.globals.postingLog.lastDatePosted = tp.globals.postingLog.lastBalancePosted = QString();
        tp.globals.postingLog.lastRangeFrom = tp.globals.postingLog.lastRangeTo = QString();
    }

    // Adds payments through the engine inside a transaction and records the run as Pending, as
    // a run killed after its journal record and before (commit = false) or after (true) the
    // ledger's commit.
    void interruptedRun(bool commit, int entries = 1) {
        addTenant(42);
        tp.globals.LedgerDb = ledger::Database::open(ledger.path());
        ledger::Transaction transaction(*tp.globals.LedgerDb);
        const PostingEvidence evidence = PostingEvidence::Begin(*tp.globals.LedgerDb);
        auto table = tp.globals.LedgerDb->openTable(QStringLiteral("Transactions"));
        for (int i = 0; i < entries; ++i) {
            table->addNew();
            table->setField(QStringLiteral("TransTID"), ledger::Value::integer(42));
            table->setField(QStringLiteral("TransAmount"),
                            ledger::Value::currency(*ledger::Currency::fromText(u"500")));
            table->update();
        }
        table.reset();
        recordPendingRun(tp.globals.programFolder(), kStagedBytes,
                         {QStringLiteral("03/14/2026"), QStringLiteral("500"),
                          QStringLiteral("03/01/2026"), QStringLiteral("03/02/2026")},
                         evidence.collect(*tp.globals.LedgerDb));
        if (commit)
            transaction.commit();
    }

    QByteArray log() { return tp.files.readAll(tp.path(kPostingLogFileName)); }

    // "The next start" settles the runs; how often it told that the figures changed.
    RecoveryOutcome recover() {
        QObject told;
        QObject::connect(&tp.globals.postingLogSignals(), &PostingLogSignals::figuresChanged, &told,
                         [this] { ++figuresTold; });
        return RecoverInterruptedPosting(RunSettlementOf(tp.globals));
    }
    int figuresTold = 0;
};

TEST_F(PostingRecoveryTest, diedAfterTheCommit_theNextStartArchivesAndLogsWithoutPostingAgain) {
    postWithArchiveBlocked();
    const QStringList posted = writtenTables();

    EXPECT_EQ(recover(), RecoveryOutcome::Posted);
    EXPECT_FALSE(tp.files.exists(tp.path(kPaymentFileName)));
    EXPECT_EQ(tp.files.readAll(tp.path(kPaymentArchiveFileName)), kStagedBytes);
    EXPECT_EQ(log(),
              "03/14/2026\r\n500\r\nhttps://vantora.example\r\n03/01/2026\r\n03/01/2026\r\n");
    EXPECT_EQ(unsettled(), 0);
    EXPECT_EQ(writtenTables(), posted);
    EXPECT_EQ(figuresTold, 1);
    EXPECT_EQ(LastDateLabel(tp.globals.postingLog), QStringLiteral("Last Date Posted: 03/14/2026"));
    EXPECT_EQ(recover(), RecoveryOutcome::NothingToRecover);
    EXPECT_EQ(figuresTold, 1);
}

TEST_F(PostingRecoveryTest, diedAfterTheCommit_aLogThatCannotBeWrittenIsToldOnce) {
    postWithArchiveBlocked();
    ASSERT_TRUE(QDir().mkpath(tp.path(kPostingLogFileName) + "/blocker"));

    EXPECT_THROW(recover(), Error);
    EXPECT_EQ(figuresTold, 0);
    EXPECT_EQ(tp.files.readAll(tp.path(kPaymentArchiveFileName)), kStagedBytes);
    EXPECT_EQ(unsettled(), 0);
    EXPECT_EQ(recover(), RecoveryOutcome::NothingToRecover);
}

TEST_F(PostingRecoveryTest, diedAfterTheCommit_aNewDownloadUnderTheStagedNameIsLeftStaged) {
    postWithArchiveBlocked();
    tp.files.writeAtomically(tp.path(kPaymentFileName), "B2,T42,other\r\n");

    EXPECT_EQ(recover(), RecoveryOutcome::Posted);
    EXPECT_EQ(tp.files.readAll(tp.path(kPaymentFileName)), "B2,T42,other\r\n");
    EXPECT_FALSE(tp.files.exists(tp.path(kPaymentArchiveFileName)));
    EXPECT_EQ(unsettled(), 0);
}

TEST_F(PostingRecoveryTest, diedAfterTheCommit_anEntryEditedInLodgebookSinceStillCounts) {
    interruptedRun(true, 3);
    ledger.exec(QStringLiteral("UPDATE Transactions SET TransAmount = 450 WHERE TransID = 3"));

    EXPECT_EQ(recover(), RecoveryOutcome::Posted);
    EXPECT_FALSE(tp.files.exists(tp.path(kPaymentFileName)));
    EXPECT_EQ(log(),
              "03/14/2026\r\n500\r\nhttps://vantora.example\r\n03/01/2026\r\n03/02/2026\r\n");
}

TEST_F(PostingRecoveryTest, diedBeforeTheCommit_thePaymentsStayStagedAndTheLogAsItWas) {
    interruptedRun(false);
    const QStringList untouched = writtenTables();

    EXPECT_EQ(recover(), RecoveryOutcome::NotPosted);
    EXPECT_EQ(tp.files.readAll(tp.path(kPaymentFileName)), kStagedBytes);
    EXPECT_FALSE(tp.files.exists(tp.path(kPaymentArchiveFileName)));
    EXPECT_FALSE(tp.files.exists(tp.path(kPostingLogFileName)));
    EXPECT_EQ(figuresTold, 0);
    EXPECT_EQ(unsettled(), 0);
    EXPECT_EQ(writtenTables(), untouched);
    EXPECT_EQ(runs(), 0);
}

TEST_F(PostingRecoveryTest, diedBeforeTheCommit_aLodgebookEntryReusingTheNumberIsNotTheRun) {
    interruptedRun(false);
    // Lodgebook's next entry takes the number the rolled-back run had used.
    ledger.exec(QStringLiteral("INSERT INTO Transactions (TransTID, TransAmount) VALUES (42, 75)"));
    ASSERT_EQ(ledger.value(QStringLiteral("SELECT MAX(TransID) FROM Transactions")).toInt(), 1);

    EXPECT_EQ(recover(), RecoveryOutcome::NotPosted);
    EXPECT_TRUE(tp.files.exists(tp.path(kPaymentFileName)));
}

}  // namespace
}  // namespace corvane::test
