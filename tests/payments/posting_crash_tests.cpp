#include "posting_fixture.h"

#include <QElapsedTimer>
#include <QFile>

#include <sqlite3.h>

#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

namespace corvane::test {
namespace {

class PostingCrashTest : public PostingFixture {};

// One value from the ledger at `path`, read by a connection of its own (which recovers the file
// the way the next program to open it would).
QString queryCopy(const QString& path, const char* sql) {
    sqlite3* db = nullptr;
    QString out;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) ==
        SQLITE_OK) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW) {
            out = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
        }
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return out;
}

// A posting run killed at any moment leaves the ledger as it was or fully posted, never half.
TEST_F(PostingCrashTest, killedPartWay_leavesTheLedgerAsBeforeOrFullyPosted) {
    constexpr int kTenants = 2000;
    constexpr int kRows = 6000;
    ledger.exec(QStringLiteral(
                    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                    "INSERT INTO Tenants (TenantID, TPropID, TCurrBal) SELECT i, 3, 0 FROM n; "
                    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                    "INSERT INTO Units (UnitID, UTenantID, UCurrBal) SELECT i, i, 0 FROM n;")
                    .arg(kTenants));
    std::vector<StagedRow> rows;
    for (int i = 0; i < kRows; ++i) {
        rows.push_back(row(QStringLiteral("T%1").arg(i % kTenants + 1), QStringLiteral("10.5")));
    }
    const QStringList pristine = writtenTables();

    // The first run is left to finish (its length spreads the kills of the others over the
    // whole run); every later one is killed after a growing share of that length.
    int untouched = 0, posted = 0;
    qint64 fullRunMs = 0;
    constexpr int kRuns = 7;
    for (int run = 0; run < kRuns; ++run) {
        const QString copyPath = tp.path(QStringLiteral("copy-%1.mdb").arg(run));
        ASSERT_TRUE(QFile::copy(ledger.path(), copyPath));
        QElapsedTimer elapsed;
        elapsed.start();
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            tp.dialogs.allowAnyMessages();
            tp.globals.LedgerDb = ledger::Database::open(copyPath);
            PostingRun(tp.globals).run(rows, both());
            _exit(0);
        }
        if (run > 0) {
            usleep(static_cast<useconds_t>(fullRunMs * 1000 * run / kRuns));
            kill(child, SIGKILL);
        }
        int status = 0;
        waitpid(child, &status, 0);
        if (run == 0) {
            ASSERT_TRUE(WIFEXITED(status));
            fullRunMs = elapsed.elapsed();
        }
        const int delay = run;

        const int count = queryCopy(copyPath, "SELECT COUNT(*) FROM Transactions").toInt();
        const QStringList after = {
            queryCopy(copyPath,
                      "SELECT COUNT(*) || '|' || printf('%.4f', SUM(TCurrBal)) FROM Tenants"),
            queryCopy(copyPath,
                      "SELECT COUNT(*) || '|' || printf('%.4f', SUM(UCurrBal)) FROM Units"),
            queryCopy(
                copyPath,
                "SELECT COUNT(*) || '|' || printf('%.4f', SUM(CkAmount)) FROM CheckDepPrinted"),
            queryCopy(copyPath, "SELECT COUNT(*) FROM SplitPrintedChecks")};
        if (count == 0) {
            ++untouched;
            EXPECT_EQ(after, (QStringList{"2000|0.0000", "2000|0.0000", "0|0.0000", "0"})) << delay;
        } else {
            ++posted;
            EXPECT_EQ(count, 2 * kRows) << delay;  // payments and fees
            EXPECT_EQ(after,
                      (QStringList{"2000|63000.0000", "2000|56700.0000", "1|63000.0000", "6000"}))
                << delay;
        }
    }
    EXPECT_EQ(writtenTables(), pristine);
    EXPECT_GE(posted, 1);  // the run that was left to finish
    EXPECT_EQ(untouched + posted, kRuns);
}

}  // namespace
}  // namespace corvane::test
