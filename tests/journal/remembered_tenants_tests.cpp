#include "journal/PostingJournal.h"
#include "journal/PostingReport.h"
#include "journal/RememberedTenants.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <sqlite3.h>

#include <gtest/gtest.h>

namespace corvane::journal {
namespace {

RememberedTenant choice(const char* account, std::int64_t tenant, QDate on = {2026, 12, 1}) {
    return {QString::fromLatin1(account), tenant, on, QStringLiteral("OFFICE-PC")};
}

class RememberedTenantsTest : public ::testing::Test {
protected:
    PostingJournal& journal() {
        if (!journal_)
            journal_ = PostingJournal::open(dir.path());
        return *journal_;
    }
    RememberedTenants remembered() { return RememberedTenants(journal().db()); }
    // Runs SQL on the journal's file by a connection of its own, as another program would.
    void rawExec(const char* sql) {
        journal_.reset();
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(PostingJournal::pathIn(dir.path()).toUtf8().constData(), &db),
                  SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sql;
        sqlite3_close(db);
    }
    QByteArray fileBytes() const {
        QFile file(PostingJournal::pathIn(dir.path()));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    std::unique_ptr<PostingJournal> journal_;
};

TEST_F(RememberedTenantsTest, aChoiceIsAddedReplacedFoundListedAndForgotten) {
    remembered().remember(choice("T999", 42));
    remembered().remember(choice("T12", 7, QDate(2026, 11, 3)));
    remembered().remember(choice("T999", 43, QDate(2026, 12, 9)));  // chosen again: replaced

    EXPECT_EQ(remembered().list(),
              (std::vector<RememberedTenant>{choice("T12", 7, QDate(2026, 11, 3)),
                                             choice("T999", 43, QDate(2026, 12, 9))}));
    const auto found = remembered().find({"T999", "T5", "T999", ""});
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(found.value(QStringLiteral("T999")), choice("T999", 43, QDate(2026, 12, 9)));
    EXPECT_TRUE(remembered().find({}).isEmpty());

    EXPECT_TRUE(remembered().forget(QStringLiteral("T999")));
    EXPECT_FALSE(remembered().forget(QStringLiteral("T999")));
    EXPECT_EQ(remembered().list(),
              (std::vector<RememberedTenant>{choice("T12", 7, QDate(2026, 11, 3))}));
}

// A journal as the first Corvane wrote it: schema version 1, its run's rows in format 1 (no
// tenant choice byte).
TEST_F(RememberedTenantsTest, aJournalOfVersionOneIsUpgradedInPlaceAndKeepsItsRuns) {
    journal::Run run;
    run.postedAt = QDateTime(QDate(2026, 6, 2), QTime(9, 30));
    run.computer = QStringLiteral("OFFICE-PC");
    run.fileName = QStringLiteral("paymentHistory.csv");
    const std::int64_t id = journal().record(run);
    journal().setState(id, RunState::Posted);

    // Format 1: format, count; line, nine texts, outcome, flags, the income entry's key.
    QByteArray rows;
    const auto put = [&rows](auto value) {
        char bytes[sizeof(value)];
        qToLittleEndian(value, bytes);
        rows.append(bytes, sizeof(value));
    };
    put(quint8{1});
    put(quint32{1});
    put(qint32{3});
    for (const char* text :
         {"T42", "12 Oak St", "Lee, Ann", "1250.00", "06/01/2026", "C", "Rent", "B100", ""}) {
        put(static_cast<quint32>(qstrlen(text)));
        rows.append(text);
    }
    put(quint8{0});     // posted
    put(quint8{0x01});  // the income entry's TransID follows
    put(qint64{41});
    // The first schema: no remembered tenants, no returns, posted numbers without their entries.
    rawExec(QStringLiteral(
                "DROP TABLE RememberedTenants; DROP TABLE ReturnedPayments; DROP TABLE "
                "PostedNumbers; CREATE TABLE PostedNumbers (TransactionNumber TEXT NOT NULL, RunID "
                "INTEGER NOT NULL REFERENCES Runs (RunID), PRIMARY KEY (TransactionNumber, RunID)) "
                "WITHOUT ROWID; PRAGMA user_version = 1; UPDATE Runs SET RowsData = x'%1'")
                .arg(QString::fromLatin1(rows.toHex()))
                .toUtf8()
                .constData());

    const std::optional<journal::Run> read = journal().readRun(id);
    ASSERT_TRUE(read);
    ASSERT_EQ(read->rows.size(), 1u);
    EXPECT_EQ(read->rows[0].line, 3);
    EXPECT_EQ(read->rows[0].name, QStringLiteral("Lee, Ann"));
    EXPECT_EQ(read->rows[0].incomeTransID, 41);
    EXPECT_EQ(read->rows[0].tenantChoice, TenantChoice::None);
    EXPECT_EQ(journal().summaries().size(), 1u);
    remembered().remember(choice("T999", 42));
    EXPECT_EQ(remembered().list().size(), 1u);
    Statement version = journal().db().prepare("PRAGMA user_version");
    ASSERT_TRUE(version.step());
    EXPECT_EQ(version.integer(0), journal::JournalDb::schemaVersion());
}

TEST_F(RememberedTenantsTest, aJournalOfANewerCorvaneIsRefusedAndLeftAsItIs) {
    journal();
    rawExec("PRAGMA user_version = 99");
    const QByteArray before = fileBytes();
    try {
        journal();
        ADD_FAILURE() << "opened";
    } catch (const JournalError& e) {
        EXPECT_EQ(e.reason(), QStringLiteral("it was written by a newer version of Corvane"));
    }
    EXPECT_EQ(fileBytes(), before);
}

TEST_F(RememberedTenantsTest, theRowsTenantChoiceIsRecordedAndReported) {
    journal::Run run;
    run.postedAt = QDateTime(QDate(2026, 12, 9), QTime(8, 0));
    for (const TenantChoice how :
         {TenantChoice::None, TenantChoice::Chosen, TenantChoice::Remembered}) {
        RunRow row;
        row.tid = QStringLiteral("T42");
        row.tenantChoice = how;
        row.incomeTransID = 1;
        run.rows.push_back(row);
    }
    run.rows[2].feeTransID = 2;
    run.rows[2].feeAmount = ledger::Currency::fromUnits(-250000);
    const std::optional<journal::Run> read = journal().readRun(journal().record(run));
    ASSERT_TRUE(read);
    QStringList results;
    for (const RunRow& row : read->rows)
        results << RowResultText(row);
    EXPECT_EQ(results, (QStringList{"Posted", "Posted, tenant chosen by you",
                                    "Posted, tenant chosen by you, fee -$25.00"}));
}

}  // namespace
}  // namespace corvane::journal
