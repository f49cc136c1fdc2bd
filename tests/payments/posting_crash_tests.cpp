#include "posting_fixture.h"
#include "support/LedgerPoints.h"

#include <QFile>

#include <string>

#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

namespace corvane::test {
namespace {

class PostingCrashTest : public PostingFixture {
protected:
    // The ledger at `path` after a run of 6,000 payments of 10.50 to 2,000 tenants that was
    // killed (or left alone), read as the next program to open it would: as before the run, or
    // (when `posted`) with the payments and fees, the balances down, and one deposit of a line a
    // payment.
    static void expectWhole(const QString& path, bool posted, const std::string& when) {
        const QStringList totals = {
            queryValue(path, "SELECT COUNT(*) FROM Transactions"),
            queryValue(path,
                       "SELECT COUNT(*) || '|' || printf('%.4f', SUM(TCurrBal)) FROM Tenants"),
            queryValue(path, "SELECT COUNT(*) || '|' || printf('%.4f', SUM(UCurrBal)) FROM Units"),
            queryValue(path,
                       "SELECT COUNT(*) || '|' || printf('%.4f', SUM(CkAmount)) FROM "
                       "CheckDepPrinted"),
            queryValue(path, "SELECT COUNT(*) FROM SplitPrintedChecks")};
        const QStringList asBefore = {"0", "2000|0.0000", "2000|0.0000", "0|0.0000", "0"};
        const QStringList asPosted = {"12000", "2000|63000.0000", "2000|56700.0000", "1|63000.0000",
                                      "6000"};
        EXPECT_EQ(totals, posted ? asPosted : asBefore) << when;
    }
};

// A posting run killed at any moment before its commit leaves the ledger as it was, never half
// posted; one left alone posts everything.
TEST_F(PostingCrashTest, killedBeforeTheCommit_leavesTheLedgerAsItWas) {
    constexpr int kTenants = 2000;
    constexpr int kRows = 6000;
    ledger.exec(QStringLiteral(
                    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                    "INSERT INTO Tenants (TenantID, TPropID, TCurrBal) SELECT i, 3, 0 FROM n; "
                    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                    "INSERT INTO Units (UnitID, UTenantID, UCurrBal) SELECT i, i, 0 FROM n;")
                    .arg(kTenants));
    std::vector<Payment> rows;
    for (int i = 0; i < kRows; ++i) {
        rows.push_back(row(QStringLiteral("T%1").arg(i % kTenants + 1), QStringLiteral("10.5")));
    }
    const QStringList pristine = writtenTables();

    // The first run is left to finish and counts the rows it changes; every later one kills
    // itself at a fixed point: its first row, a row a growing share into the run, or (the last)
    // the moment before the commit.
    constexpr int kRuns = 7;
    long rowsChanged = 0;
    for (int run = 0; run < kRuns; ++run) {
        const QString copyPath = tp.path(QStringLiteral("copy-%1.mdb").arg(run));
        ASSERT_TRUE(QFile::copy(ledger.path(), copyPath));
        const long killAtRow =
            run == 0 || run == kRuns - 1 ? 0 : 1 + (rowsChanged - 1) * (run - 1) / (kRuns - 2);
        int counted[2];
        ASSERT_EQ(pipe(counted), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            long changed = 0;
            onLedgerPoints([&](LedgerPoint at, PointFile file) {
                if (file != PointFile::Ledger)
                    return;
                if (at == LedgerPoint::RowChanged ? ++changed == killAtRow : run == kRuns - 1)
                    raise(SIGKILL);
            });
            tp.dialogs.allowAnyMessages();
            tp.globals.LedgerDb = ledger::Database::open(copyPath);
            PostingRunOf(tp.globals).run(rows, both(), stagedFile());
            [[maybe_unused]] const auto written = write(counted[1], &changed, sizeof changed);
            _exit(0);
        }
        close(counted[1]);
        int status = 0;
        waitpid(child, &status, 0);
        if (run == 0) {
            ASSERT_TRUE(WIFEXITED(status));
            ASSERT_EQ(read(counted[0], &rowsChanged, sizeof rowsChanged), sizeof rowsChanged);
        } else {
            ASSERT_TRUE(WIFSIGNALED(status)) << "run " << run << " was not killed";
        }
        close(counted[0]);

        expectWhole(
            copyPath, run == 0,
            "killed at row " + std::to_string(killAtRow) + " of " + std::to_string(rowsChanged));
    }
    EXPECT_EQ(writtenTables(), pristine);
}

}  // namespace
}  // namespace corvane::test
