#include "reliability_support.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace corvane::test {
namespace {

const QString kLockedMessage = QStringLiteral(
    "Corvane\tThe Lodgebook ledger is in use by another program (Lodgebook may be saving its "
    "work). Nothing was posted to the Lodgebook Ledgers. Please wait a moment and press 'Update "
    "Lodgebook Ledgers NOW' again.");
const QString kSuccessMessage =
    QStringLiteral("Lodgebook Corvane\tYour Lodgebook Ledgers are now updated.");

// A prepared folder of 300 payments; Lodgebook is played by a second process.
class LodgebookAtTheSameTimeTest : public ::testing::Test {
protected:
    void SetUp() override { prepareFolder(dir.path(), 120, 300); }
    QString ledger() const { return dir.filePath(QStringLiteral("lbdatafl.mdb")); }
    QString postedCount() const {
        return queryValue(ledger(), QStringLiteral("SELECT COUNT(*) FROM Transactions"));
    }
    QTemporaryDir dir;
};

TEST_F(LodgebookAtTheSameTimeTest, lodgebookHoldsTheLedgerOneSecond_theRunWaitsAndCompletes) {
    LedgerHolder lodgebook(ledger(), 1000);
    ASSERT_TRUE(lodgebook.locked());
    const DriverResult result = runDriver(dir.path());
    EXPECT_EQ(result.outcome, QStringLiteral("Completed"));
    EXPECT_EQ(result.messages, QStringList{kSuccessMessage});
    EXPECT_EQ(lodgebook.release(), 0);
    EXPECT_GT(postedCount().toInt(), 0);
}

TEST_F(LodgebookAtTheSameTimeTest, lodgebookHoldsTheLedgerLong_theRunSaysSoWritesNothing) {
    const QStringList before = ledgerDump(ledger());
    const QString logPath = dir.filePath(QStringLiteral("CV-Log.txt"));
    const QByteArray log = fileBytes(logPath);
    {
        // Thirty seconds, far beyond the run's busy timeout; released once the run has reported.
        LedgerHolder lodgebook(ledger(), 30000);
        ASSERT_TRUE(lodgebook.locked());
        const DriverResult result = runDriver(dir.path());
        EXPECT_EQ(result.outcome, QStringLiteral("Stopped"));
        EXPECT_EQ(result.messages, QStringList{kLockedMessage});
        EXPECT_EQ(lodgebook.release(), 0);
    }
    EXPECT_EQ(ledgerDump(ledger()), before);
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("paymentHistory.csv"))));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("paymentHistory_LastDownload.csv"))));
    EXPECT_FALSE(log.isEmpty());
    EXPECT_EQ(fileBytes(logPath), log);

    const DriverResult again = runDriver(dir.path());
    EXPECT_EQ(again.outcome, QStringLiteral("Completed"));
    EXPECT_GT(postedCount().toInt(), 0);
}

// Lodgebook changes a tenant's balance after the screen has loaded the payments and before the
// posting: both changes are in the final balance.
TEST_F(LodgebookAtTheSameTimeTest, balanceChangedBetweenLoadingAndPosting_noUpdateIsLost) {
    const QString tenantQuery =
        QStringLiteral("SELECT TransTID FROM Transactions WHERE TransType = 'I' LIMIT 1");
    // Which tenant the file pays, and by how much, from a complete run on a copy.
    QTemporaryDir copy;
    copyFolderFiles(dir.path(), copy.path());
    ASSERT_EQ(runDriver(copy.path()).outcome, QStringLiteral("Completed"));
    const QString copyLedger = copy.filePath(QStringLiteral("lbdatafl.mdb"));
    const QString tenant = queryValue(copyLedger, tenantQuery);
    const double postedBalance =
        queryValue(copyLedger,
                   QStringLiteral("SELECT TCurrBal FROM Tenants WHERE TenantID = ") + tenant)
            .toDouble();

    // The sample's first payment is tenant 1001's; a complete run leaves it at 6,250.00.
    EXPECT_EQ(tenant, QStringLiteral("1001"));
    EXPECT_EQ(QString::asprintf("%.4f", postedBalance), QStringLiteral("6250.0000"));
    QProcess driver;
    ASSERT_TRUE(startDriver(driver, dir.path(), {QStringLiteral("--pause")}));
    QByteArray output = readOutputUntil(driver, "LOADED");
    ASSERT_TRUE(output.contains("LOADED"));
    {
        LedgerHolder lodgebook(
            ledger(), 0,
            QStringLiteral("UPDATE Tenants SET TCurrBal = TCurrBal + 100.25 WHERE TenantID = ") +
                tenant);
        ASSERT_TRUE(lodgebook.locked());
        ASSERT_EQ(lodgebook.release(), 0);
    }
    driver.write("\n");
    driver.closeWriteChannel();
    ASSERT_TRUE(driver.waitForFinished(120000));
    output += driver.readAllStandardOutput();
    EXPECT_TRUE(output.contains("OUTCOME Completed")) << output.toStdString();
    EXPECT_EQ(
        queryValue(ledger(), QStringLiteral("SELECT printf('%.4f', TCurrBal) FROM Tenants WHERE "
                                            "TenantID = ") +
                                 tenant),
        QStringLiteral("6350.2500"));
}

}  // namespace
}  // namespace corvane::test
