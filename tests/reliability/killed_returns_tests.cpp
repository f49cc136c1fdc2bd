// A posting run that records the returns of payments posted before, killed at every fixed point:
// the ledger holds all of the run or none of it, and running again records each return once.
#include "reliability_support.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace corvane::test {
namespace {

const QString kStaged = QStringLiteral("paymentHistory.csv");
const QString kArchive = QStringLiteral("paymentHistory_LastDownload.csv");
const QString kLedger = QStringLiteral("lbdatafl.mdb");
const QString kJournal = QStringLiteral("CV-Journal.db");
constexpr int kReturned = 40;

// A folder whose 600 payments are posted, with the processor's next download staged: the same
// lines, the first kReturned of the posted ones now "Returned"; and the same folder after a
// complete run.
class KilledReturnsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        base_ = new QTemporaryDir;
        prepareFolder(base_->path(), 200, 600);
        const DriverResult first = runDriver(base_->path());
        ASSERT_EQ(first.outcome, QStringLiteral("Completed"))
            << first.messages.join('\n').toStdString();
        QList<QByteArray> lines = fileBytes(base_->filePath(kArchive)).split('\n');
        const QStringList posted = queryRows(
            base_->filePath(kJournal),
            QStringLiteral("SELECT TransactionNumber FROM PostedNumbers WHERE RunID = 1"));
        int returned = 0;
        for (QByteArray& line : lines) {
            if (returned < kReturned && line.contains(",Posted,") &&
                posted.contains(QString::fromLatin1(line.left(line.indexOf(','))))) {
                line.replace(",Posted,", ",Returned,");
                ++returned;
            }
        }
        QFile staged(base_->filePath(kStaged));
        ASSERT_TRUE(staged.open(QIODevice::WriteOnly));
        staged.write(lines.join('\n'));
        staged.close();
        queryRows(base_->filePath(kLedger), QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));

        reference_ = new QTemporaryDir;
        copyFolderFiles(base_->path(), reference_->path());
        const DriverResult result = runDriver(reference_->path(), {QStringLiteral("--step")});
        points_ = new QStringList(result.points);
        messages_ = new QStringList(result.messages);
        ASSERT_EQ(result.outcome, QStringLiteral("Completed"))
            << result.messages.join('\n').toStdString();
    }
    static void TearDownTestSuite() {
        delete base_;
        delete reference_;
        delete points_;
        delete messages_;
    }

    static QTemporaryDir* base_;
    static QTemporaryDir* reference_;
    static QStringList* points_;
    static QStringList* messages_;
};

QTemporaryDir* KilledReturnsTest::base_ = nullptr;
QTemporaryDir* KilledReturnsTest::reference_ = nullptr;
QStringList* KilledReturnsTest::points_ = nullptr;
QStringList* KilledReturnsTest::messages_ = nullptr;

TEST_F(KilledReturnsTest, completeRun_recordsEachReturnOnceAndLinksIt) {
    EXPECT_TRUE(messages_->contains(
        QStringLiteral("Corvane Transaction Posting\t%1 payments posted before are now reported by "
                       "the processor as not settled (Returned): their rent, fees and deposit "
                       "lines are still in the Lodgebook Ledgers. Press 'Yes' to record their "
                       "return now, or 'No' to leave them out of this posting.")
            .arg(kReturned)))
        << messages_->join('\n').toStdString();
    const QString ledger = reference_->filePath(kLedger);
    EXPECT_EQ(queryValue(ledger, QStringLiteral("SELECT COUNT(*) FROM Transactions WHERE "
                                                "TransRemark LIKE 'Returned B%' AND TransType = "
                                                "'I' AND TransAmount < 0")),
              QString::number(kReturned));
    EXPECT_EQ(queryValue(reference_->filePath(kJournal),
                         QStringLiteral("SELECT COUNT(*) FROM ReturnedPayments JOIN Runs USING "
                                        "(RunID) WHERE State = 'posted' AND PaymentRunID = 1")),
              QString::number(kReturned));
}

// Killed at every fixed point of the run, the ledger is as before it or as after it; the next run
// then ends exactly where a run that was never killed ends, each return recorded once.
TEST_F(KilledReturnsTest, killedAtEveryPoint_leavesAllOrNothingAndRecordsEachReturnOnce) {
    const QStringList& points = *points_;
    const qsizetype commit = points.indexOf(QStringLiteral("ledger commit"));
    ASSERT_GT(commit, 0) << points.join(QLatin1Char(',')).toStdString();
    const QStringList before = ledgerDump(base_->filePath(kLedger));
    const QStringList after = ledgerDump(reference_->filePath(kLedger));
    ASSERT_NE(before, after);
    QTemporaryDir work;
    for (int at = 0; at < points.size(); ++at) {
        copyFolderFiles(base_->path(), work.path());
        QProcess driver;
        ASSERT_TRUE(startDriver(driver, work.path(), {QStringLiteral("--step")}));
        ASSERT_EQ(stepToPoint(driver, at), points.mid(0, at + 1));
        driver.kill();  // SIGKILL
        driver.waitForFinished();
        const std::string when = "killed at " + points[at].toStdString();
        const QStringList killed = ledgerDump(work.filePath(kLedger));
        EXPECT_EQ(killed, at <= commit ? before : after) << when;
        runDriver(work.path());
        EXPECT_EQ(ledgerDump(work.filePath(kLedger)), after) << when << ", then run again";
        EXPECT_EQ(queryValue(work.filePath(kJournal),
                             QStringLiteral("SELECT COUNT(*) FROM Runs WHERE State <> 'posted'")),
                  QStringLiteral("0"))
            << when;
    }
}

}  // namespace
}  // namespace corvane::test
