#include "reliability_support.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace corvane::test {
namespace {

const QString kLedger = QStringLiteral("lbdatafl.mdb");
const QString kStaged = QStringLiteral("paymentHistory.csv");

// What a reversal driver (tests/drivers/reversal_driver.cpp) printed last: "STATE <state>".
QString runReversalDriver(const QString& folder, const QStringList& options = {}) {
    QProcess driver;
    driver.start(builtExecutable(QStringLiteral("tests/corvane_reversal_driver")),
                 QStringList{folder} + options);
    if (!driver.waitForStarted(30000) || !driver.waitForFinished(120000)) {
        ADD_FAILURE() << "the reversal driver did not run";
        return {};
    }
    const QString output = QString::fromUtf8(driver.readAllStandardOutput());
    const qsizetype at = output.lastIndexOf(QLatin1String("STATE "));
    if (at < 0) {
        ADD_FAILURE() << output.toStdString() << driver.readAllStandardError().toStdString();
        return {};
    }
    return output.mid(at + 6).trimmed();
}

// A folder whose run of 2,000 payments is posted (with fees and a deposit), and the same folder
// after the run was reversed.
class KilledReversalTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        posted_ = new QTemporaryDir;
        prepareFolder(posted_->path(), 400, 2000);
        const DriverResult posting = runDriver(posted_->path());
        ASSERT_EQ(posting.outcome, QStringLiteral("Completed"))
            << posting.messages.join('\n').toStdString();
        queryRows(posted_->filePath(kLedger), QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
        ASSERT_FALSE(QFile::exists(posted_->filePath(kStaged)));
        reversed_ = new QTemporaryDir;
        copyFolderFiles(posted_->path(), reversed_->path());
        QElapsedTimer timer;
        timer.start();
        ASSERT_EQ(runReversalDriver(reversed_->path()), QStringLiteral("reversed"));
        fullRunMs_ = timer.elapsed();
        ASSERT_TRUE(QFile::exists(reversed_->filePath(kStaged)));
    }
    static void TearDownTestSuite() {
        delete posted_;
        delete reversed_;
    }

    static QTemporaryDir* posted_;
    static QTemporaryDir* reversed_;
    static qint64 fullRunMs_;
};

QTemporaryDir* KilledReversalTest::posted_ = nullptr;
QTemporaryDir* KilledReversalTest::reversed_ = nullptr;
qint64 KilledReversalTest::fullRunMs_ = 0;

// Killed at thirty moments of a reversal, the next start finds the ledger either still posted
// (the run Posted, nothing staged) or reversed (the run Reversed, its payments staged again);
// reversing again then ends exactly where a reversal that was never killed ends.
TEST_F(KilledReversalTest, killedAtThirtyMoments_isPostedOrReversedWhole) {
    const QStringList posted = ledgerDump(posted_->filePath(kLedger));
    const QStringList reversed = ledgerDump(reversed_->filePath(kLedger));
    ASSERT_NE(posted, reversed);
    QTemporaryDir work;
    int stillPosted = 0, wasReversed = 0;
    constexpr int kMoments = 30;
    for (int moment = 0; moment < kMoments; ++moment) {
        copyFolderFiles(posted_->path(), work.path());
        const qint64 delay = moment == kMoments - 1 ? -1 : fullRunMs_ * moment / (kMoments - 4);
        QProcess driver;
        driver.start(builtExecutable(QStringLiteral("tests/corvane_reversal_driver")),
                     {work.path()});
        ASSERT_TRUE(driver.waitForStarted(30000));
        if (!driver.waitForFinished(static_cast<int>(delay))) {
            driver.kill();  // SIGKILL
            driver.waitForFinished();
        }
        const std::string when = "killed after " + std::to_string(delay) + " ms";
        const QString ledger = work.filePath(kLedger);
        EXPECT_EQ(queryValue(ledger, QStringLiteral("PRAGMA integrity_check")),
                  QStringLiteral("ok"))
            << when;
        const QStringList dump = ledgerDump(ledger);
        const QString state = runReversalDriver(work.path(), {QStringLiteral("--settle-only")});
        if (dump == posted) {
            ++stillPosted;
            EXPECT_EQ(state, QStringLiteral("posted")) << when;
            EXPECT_FALSE(QFile::exists(work.filePath(kStaged))) << when;
        } else {
            ++wasReversed;
            EXPECT_EQ(dump, reversed) << when << ": the ledger is half reversed";
            EXPECT_EQ(state, QStringLiteral("reversed")) << when;
            EXPECT_EQ(fileBytes(work.filePath(kStaged)), fileBytes(reversed_->filePath(kStaged)))
                << when;
        }
        EXPECT_EQ(runReversalDriver(work.path()), QStringLiteral("reversed")) << when;
        EXPECT_EQ(ledgerDump(ledger), reversed) << when;
        EXPECT_EQ(fileBytes(work.filePath(kStaged)), fileBytes(reversed_->filePath(kStaged)))
            << when;
    }
    EXPECT_GT(stillPosted, 0);
    EXPECT_GT(wasReversed, 0);
}

}  // namespace
}  // namespace corvane::test
