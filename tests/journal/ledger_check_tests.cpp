// The journal checked against the ledger: what the history shows of each run, what a download's
// transaction numbers are found to be, and an older journal upgraded in place.
#include "app/frmHistory.h"
#include "journal/JournalDb.h"
#include "journal/LedgerCheck.h"
#include "journal_fixture.h"

#include <QTableView>

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace corvane::test {
namespace {

using journal::RecordState;

const QDateTime kPostedAt(QDate(2026, 12, 9), QTime(10, 15));

class LedgerCheckTest : public JournalFixture {
protected:
    LedgerCheckTest() {
        addTenant(101);
        addTenant(102);
    }
    // Two payments with a fee each and a deposit; numbers B1 and B2.
    std::int64_t postFullRun(const QDateTime& at = kPostedAt) {
        return postRun(at,
                       {{101, "1250.00", "12/01/2026", "25", nullptr, "B1"},
                        {102, "900.50", "11/30/2026", "25", nullptr, "B2"}},
                       QStringLiteral("1045"));
    }
    // The State column of the history's rows, as the window shows them when it opens.
    QStringList historyStates() {
        openLedger();
        frmHistory window(tp.globals);
        window.Load();
        const QAbstractItemModel* model =
            window.findChild<QTableView*>(QStringLiteral("gridHistory"))->model();
        QStringList states;
        for (int r = 0; r < model->rowCount(); ++r)
            states << model->index(r, 8).data().toString();
        return states;
    }
    journal::PaymentsInJournal find(const QStringList& numbers) {
        openLedger();
        return journal::FindPaymentsInJournal(journal(), *tp.globals.LedgerDb, numbers);
    }
};

struct StateCase {
    const char* sql;  // what happened to the ledger since the run
    const char* state;
};

void PrintTo(const StateCase& c, std::ostream* os) {
    *os << c.sql;
}

class HistoryState : public LedgerCheckTest, public ::testing::WithParamInterface<StateCase> {};

TEST_P(HistoryState, stateTellsWhatTheLedgerHoldsOfTheRun) {
    postFullRun();
    if (*GetParam().sql)
        ledger.exec(QLatin1String(GetParam().sql));
    EXPECT_EQ(historyStates(), QStringList{QLatin1String(GetParam().state)});
}

INSTANTIATE_TEST_SUITE_P(
    Ledgers, HistoryState,
    ::testing::Values(
        StateCase{"", "Posted"},
        StateCase{"UPDATE Transactions SET TransAmount = 1200 WHERE TransAmount = 1250",
                  "Partly in ledger"},
        StateCase{"UPDATE Transactions SET TransDate = '2026-12-02' WHERE TransType = 'E'",
                  "Partly in ledger"},
        StateCase{"DELETE FROM SplitPrintedChecks WHERE CkPostToID = 102", "Partly in ledger"},
        StateCase{"UPDATE CheckDepPrinted SET CkAmount = 1", "Partly in ledger"},
        // Restored from the backup of the night before the run.
        StateCase{"DELETE FROM Transactions; DELETE FROM SplitPrintedChecks; "
                  "DELETE FROM CheckDepPrinted",
                  "Not in ledger"},
        // Restored, then Lodgebook's own work took the run's keys again.
        StateCase{"DELETE FROM Transactions; DELETE FROM SplitPrintedChecks; DELETE FROM "
                  "CheckDepPrinted; INSERT INTO Transactions (TransID, TransPostToID, "
                  "TransAmount, TransDate, TransType) VALUES (1, 555, 10, '2026-12-05', 'I')",
                  "Partly in ledger"}),
    [](const ::testing::TestParamInfo<StateCase>& info) {
        return "ledger" + std::to_string(info.index);
    });

TEST_F(LedgerCheckTest, postedNumbers_areAnsweredByWhatTheLedgerHoldsOfTheirIncomeEntry) {
    const std::int64_t runID =
        postRun(kPostedAt, {{101, "1250.00", "12/01/2026", "25", nullptr, "B1"},
                            {102, "900.50", "11/30/2026", nullptr, nullptr, "B2"},
                            {101, "75.00", "11/30/2026", nullptr, nullptr, "B3"},
                            {0, "10.00", "11/30/2026", nullptr, nullptr, "B4"}});
    ledger.exec(
        QStringLiteral("UPDATE Transactions SET TransAmount = 900 WHERE TransPostToID = "
                       "102; DELETE FROM Transactions WHERE TransAmount = 75"));
    const journal::PaymentsInJournal found = find({"B1", "B2", "B3", "B4", "B9", ""});
    EXPECT_EQ(found.posted.size(), 3) << "B4 had no tenant, B9 was never posted";
    EXPECT_EQ(found.posted.value("B1").entry, RecordState::AsWritten);
    EXPECT_EQ(found.posted.value("B2").entry, RecordState::Changed);
    EXPECT_EQ(found.posted.value("B3").entry, RecordState::Missing);
    const journal::PostedPayment b1 = found.posted.value("B1");
    EXPECT_EQ(b1.runID, runID);
    EXPECT_EQ(b1.line, 1);
    EXPECT_EQ(b1.postedOn, kPostedAt.date());
    EXPECT_EQ(b1.incomeTransID, 1);
    EXPECT_EQ(b1.feeTransID, 2);
    EXPECT_TRUE(found.returnRecorded.isEmpty());

    journal().setState(runID, journal::RunState::Reversed, kPostedAt.date());
    EXPECT_TRUE(find({"B1", "B2", "B3"}).posted.isEmpty()) << "a reversed run posted nothing";
}

TEST_F(LedgerCheckTest, postedAgainAfterARestore_theRunWhoseEntryTheLedgerHoldsAnswers) {
    postFullRun();
    ledger.exec(
        QStringLiteral("DELETE FROM Transactions; DELETE FROM SplitPrintedChecks; "
                       "DELETE FROM CheckDepPrinted"));
    const std::int64_t again =
        postRun(kPostedAt.addDays(2), {{101, "1250.00", "12/01/2026", nullptr, nullptr, "B1"}});
    const journal::PaymentsInJournal found = find({"B1", "B2"});
    EXPECT_EQ(found.posted.value("B1").runID, again);
    EXPECT_EQ(found.posted.value("B1").entry, RecordState::AsWritten);
    EXPECT_EQ(found.posted.value("B1").postedOn, QDate(2026, 12, 11));
    EXPECT_EQ(found.posted.value("B2").entry, RecordState::Missing);
    EXPECT_EQ(found.posted.value("B2").postedOn, kPostedAt.date());
}

TEST_F(LedgerCheckTest, returnRecordedByAPostedRun_isFoundWithItsDay) {
    const std::int64_t paid = postFullRun();
    const std::int64_t returns =
        postReturns(QDateTime(QDate(2026, 12, 14), QTime(9, 0)), paid, {2});
    journal::PaymentsInJournal found = find({"B1", "B2"});
    EXPECT_EQ(found.returnRecorded, (QHash<QString, QDate>{{"B2", QDate(2026, 12, 14)}}));
    EXPECT_EQ(found.posted.value("B2").entry, RecordState::AsWritten)
        << "the original records are never changed";
    journal().setState(returns, journal::RunState::Reversed, QDate(2026, 12, 15));
    EXPECT_TRUE(find({"B2"}).returnRecorded.isEmpty());
}

// A journal of the first schema, as earlier Corvanes wrote it: the run goes in with the current
// writer, then the schema's additions are taken out again (format 1 rows are read by another test).
TEST_F(LedgerCheckTest, journalOfTheFirstSchema_isUpgradedInPlaceAndKeepsItsRuns) {
    const std::int64_t runID = postFullRun();
    journal_.reset();
    const QString path = journal::PostingJournal::pathIn(tp.folder.path());
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    const char* firstSchema =
        "DROP TABLE ReturnedPayments; DROP TABLE RememberedTenants; "
        "CREATE TABLE Numbers AS SELECT TransactionNumber, RunID FROM PostedNumbers; "
        "DROP TABLE PostedNumbers; "
        "CREATE TABLE PostedNumbers (TransactionNumber TEXT NOT NULL, RunID INTEGER NOT NULL "
        "REFERENCES Runs (RunID), PRIMARY KEY (TransactionNumber, RunID)) WITHOUT ROWID; "
        "INSERT INTO PostedNumbers SELECT * FROM Numbers; DROP TABLE Numbers; "
        "PRAGMA user_version = 1;";
    ASSERT_EQ(sqlite3_exec(db, firstSchema, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);

    const journal::PaymentsInJournal found = find({"B1", "B2"});
    EXPECT_EQ(found.posted.value("B1").entry, RecordState::AsWritten);
    EXPECT_EQ(found.posted.value("B2").entry, RecordState::AsWritten);
    EXPECT_EQ(found.posted.value("B2").line, 2);
    EXPECT_EQ(journal().readRun(runID)->rows.size(), 2u);
    EXPECT_EQ(historyStates(), QStringList{"Posted"});
    journal::Statement version = journal().db().prepare("PRAGMA user_version");
    ASSERT_TRUE(version.step());
    EXPECT_EQ(version.integer(0), journal::JournalDb::schemaVersion());
}

}  // namespace
}  // namespace corvane::test
