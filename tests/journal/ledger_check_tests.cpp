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
    journal::PaymentStandings find(const QStringList& numbers) {
        openLedger();
        return journal::FindPaymentStandings(journal(), *tp.globals.LedgerDb, numbers);
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
                  "Not in ledger"}),
    [](const ::testing::TestParamInfo<StateCase>& info) {
        return "ledger" + std::to_string(info.index);
    });

TEST_F(LedgerCheckTest, postedNumbers_standByWhatTheLedgerHoldsOfTheirIncomeEntry) {
    using Kind = journal::PaymentStanding::Kind;
    const std::int64_t runID =
        postRun(kPostedAt, {{101, "1250.00", "12/01/2026", "25", nullptr, "B1"},
                            {102, "900.50", "11/30/2026", nullptr, nullptr, "B2"},
                            {101, "75.00", "11/30/2026", nullptr, nullptr, "B3"},
                            {0, "10.00", "11/30/2026", nullptr, nullptr, "B4"},
                            {103, "40.00", "11/30/2026", nullptr, nullptr, "B5"}});
    // B2 edited in Lodgebook, B3 removed, B5's key taken by another tenant's entry.
    ledger.exec(
        QStringLiteral("UPDATE Transactions SET TransAmount = 900 WHERE TransPostToID = "
                       "102; DELETE FROM Transactions WHERE TransAmount = 75; UPDATE "
                       "Transactions SET TransPostToID = 101 WHERE TransPostToID = 103"));
    const journal::PaymentStandings found = find({"B1", "B2", "B3", "B4", "B5", "B9", ""});
    EXPECT_EQ(found.of("B1").kind, Kind::Posted);
    EXPECT_EQ(found.of("B2").kind, Kind::Changed);
    EXPECT_EQ(found.of("B3").kind, Kind::NotPosted);
    EXPECT_EQ(found.of("B3").goneSince, kPostedAt.date());
    EXPECT_EQ(found.of("B4").kind, Kind::NotPosted) << "B4 had no tenant";
    EXPECT_FALSE(found.of("B4").goneSince.isValid());
    EXPECT_EQ(found.of("B5").kind, Kind::NotPosted) << "another tenant's entry is not B5's";
    EXPECT_EQ(found.of("B9").kind, Kind::NotPosted);
    const journal::PostedPayment b1 = *found.of("B1").posting;
    EXPECT_EQ(b1.runID, runID);
    EXPECT_EQ(b1.line, 1);
    EXPECT_EQ(b1.postedOn, kPostedAt.date());
    EXPECT_EQ(b1.incomeTransID, 1);
    EXPECT_EQ(b1.feeTransID, 2);

    // A reversed run's entries are gone; a ledger restored from before the reversal holds them.
    journal().setState(runID, journal::RunState::Reversed, kPostedAt.date());
    EXPECT_EQ(find({"B1"}).of("B1").kind, Kind::Posted);
    ledger.exec(QStringLiteral("DELETE FROM Transactions"));
    EXPECT_EQ(find({"B1"}).of("B1").kind, Kind::NotPosted);
}

TEST_F(LedgerCheckTest, postedAgainAfterARestore_theRunWhoseEntryTheLedgerHoldsAnswers) {
    postFullRun();
    ledger.exec(
        QStringLiteral("DELETE FROM Transactions; DELETE FROM SplitPrintedChecks; "
                       "DELETE FROM CheckDepPrinted"));
    const std::int64_t again =
        postRun(kPostedAt.addDays(2), {{101, "1250.00", "12/01/2026", nullptr, nullptr, "B1"}});
    const journal::PaymentStandings found = find({"B1", "B2"});
    EXPECT_EQ(found.of("B1").posting->runID, again);
    EXPECT_EQ(found.of("B1").kind, journal::PaymentStanding::Kind::Posted);
    EXPECT_EQ(found.of("B1").posting->postedOn, QDate(2026, 12, 11));
    EXPECT_EQ(found.of("B2").kind, journal::PaymentStanding::Kind::NotPosted);
    EXPECT_EQ(found.of("B2").goneSince, kPostedAt.date());
}

TEST_F(LedgerCheckTest, returnRecorded_standsWhileTheLedgerHoldsTheReturn) {
    const std::int64_t paid = postFullRun();
    const std::int64_t returns =
        postReturns(QDateTime(QDate(2026, 12, 14), QTime(9, 0)), paid, {2});
    journal::PaymentStandings found = find({"B1", "B2"});
    EXPECT_EQ(found.of("B1").kind, journal::PaymentStanding::Kind::Posted);
    EXPECT_EQ(found.of("B2").kind, journal::PaymentStanding::Kind::ReturnRecorded);
    EXPECT_EQ(found.of("B2").returned->recordedOn, QDate(2026, 12, 14));
    EXPECT_EQ(found.of("B2").returned->runID, returns);
    ledger.exec(QStringLiteral("DELETE FROM Transactions WHERE TransAmount < 0"));
    EXPECT_EQ(find({"B2"}).of("B2").kind, journal::PaymentStanding::Kind::Posted)
        << "a return the ledger no longer holds is not recorded";
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

    const journal::PaymentStandings found = find({"B1", "B2"});
    EXPECT_EQ(found.of("B1").kind, journal::PaymentStanding::Kind::Posted);
    EXPECT_EQ(found.of("B2").kind, journal::PaymentStanding::Kind::Posted);
    EXPECT_EQ(found.of("B2").posting->line, 2);
    EXPECT_EQ(journal().readRun(runID)->rows.size(), 2u);
    EXPECT_EQ(historyStates(), QStringList{"Posted"});
    journal::Statement version = journal().db().prepare("PRAGMA user_version");
    ASSERT_TRUE(version.step());
    EXPECT_EQ(version.integer(0), journal::JournalDb::schemaVersion());
}

}  // namespace
}  // namespace corvane::test
