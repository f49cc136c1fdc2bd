#include "reliability_support.h"
#include "support/LineEnds.h"

#include <QFile>
#include <QHash>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>

namespace corvane::test {
namespace {

const QString kStaged = QStringLiteral("paymentHistory.csv");
const QString kArchive = QStringLiteral("paymentHistory_LastDownload.csv");
const QString kLog = QStringLiteral("CV-Log.txt");
const QString kLedger = QStringLiteral("lbdatafl.mdb");
const QString kJournal = QStringLiteral("CV-Journal.db");

// The number of the journal's runs in a state; "0" when there is no journal yet (none, or one
// whose making was killed).
QString journalCount(const QString& journal, const char* state) {
    if (!QFile::exists(journal) ||
        queryValue(journal, QStringLiteral("SELECT count(*) FROM sqlite_schema WHERE name = "
                                           "'Runs'")) == QLatin1String("0"))
        return QStringLiteral("0");
    return queryValue(
        journal,
        QStringLiteral("SELECT count(*) FROM Runs WHERE State = '%1'").arg(QLatin1String(state)));
}

// A prepared folder of 2,000 payments, and what a complete run makes of it; one for each line
// end of the download.
class KilledPostingTest : public ::testing::TestWithParam<LineEnd> {
protected:
    struct Prepared {
        QTemporaryDir base, reference;
        QStringList points;  // the fixed points of a complete run, in order
    };
    KilledPostingTest() : prepared_(prepared(GetParam())) {}

    static Prepared& prepared(LineEnd end) {
        static std::map<LineEnd, std::unique_ptr<Prepared>> all;
        std::unique_ptr<Prepared>& made = all[end];
        if (!made) {
            made = std::make_unique<Prepared>();
            prepareFolder(made->base.path(), 400, 2000, end == LineEnd::CrLf);
            copyFolderFiles(made->base.path(), made->reference.path());
            // With its standard input closed the driver names every fixed point and goes on.
            const DriverResult result =
                runDriver(made->reference.path(), {QStringLiteral("--step")});
            made->points = result.points;
            EXPECT_EQ(result.outcome, QStringLiteral("Completed"))
                << result.messages.join('\n').toStdString();
        }
        return *made;
    }

    QString basePath(const QString& name) const { return prepared_.base.filePath(name); }
    QString refPath(const QString& name) const { return prepared_.reference.filePath(name); }

    // The folder is exactly as before the run or exactly as after a complete one.
    enum class State { Before, After, Neither };
    State expectWhole(const QString& folder, const std::string& when) {
        const QString ledger = folder + QLatin1Char('/') + kLedger;
        EXPECT_EQ(queryValue(ledger, QStringLiteral("PRAGMA integrity_check")),
                  QStringLiteral("ok"))
            << when;
        const QStringList dump = ledgerDump(ledger);
        const bool before = dump == ledgerDump(basePath(kLedger));
        const bool after = dump == ledgerDump(refPath(kLedger));
        EXPECT_TRUE(before || after) << when << ": the ledger is half posted";

        const QString staged = folder + QLatin1Char('/') + kStaged;
        const QString archive = folder + QLatin1Char('/') + kArchive;
        EXPECT_NE(QFile::exists(staged), QFile::exists(archive)) << when;
        const QString present = QFile::exists(staged) ? staged : archive;
        EXPECT_EQ(fileBytes(present), fileBytes(basePath(kStaged))) << when;
        // The journal holds the run as posted exactly when the ledger holds it, or holds it as
        // pending (killed between the two commits or before the steps after them), for the next
        // start to settle. Posted payments still under the staged name must be pending.
        const QString journal = folder + QLatin1Char('/') + kJournal;
        const QString posted = journalCount(journal, "posted");
        const QString pending = journalCount(journal, "pending");
        EXPECT_EQ(posted, after && pending == QLatin1String("0") ? QStringLiteral("1")
                                                                 : QStringLiteral("0"))
            << when << ": the journal's posted runs do not match the ledger";
        if (after && QFile::exists(staged)) {
            EXPECT_EQ(pending, QStringLiteral("1"))
                << when << ": posted payments staged without a pending run";
        }

        const QByteArray log = fileBytes(folder + QLatin1Char('/') + kLog);
        EXPECT_TRUE(log == fileBytes(basePath(kLog)) || log == fileBytes(refPath(kLog)))
            << when << ": log " << log.toStdString();
        return before ? State::Before : after ? State::After : State::Neither;
    }

    // A run after the kill finishes what was left: the folder ends as after one complete run,
    // and payments the killed run had posted are not posted again.
    void expectPostedOnceWhenRunAgain(const QString& folder, State killed,
                                      const std::string& when) {
        const DriverResult again = runDriver(folder);
        EXPECT_EQ(expectWhole(folder, when + ", then run again"), State::After)
            << again.messages.join(QLatin1Char('\n')).toStdString();
        if (killed == State::After) {
            EXPECT_NE(again.outcome, QStringLiteral("Completed")) << when << ": posted twice";
        }
        EXPECT_FALSE(QFile::exists(folder + QLatin1Char('/') + kStaged)) << when;
        const QString journal = folder + QLatin1Char('/') + kJournal;
        EXPECT_EQ(journalCount(journal, "pending"), QStringLiteral("0")) << when;
        EXPECT_EQ(journalCount(journal, "posted"), QStringLiteral("1")) << when;
        EXPECT_EQ(fileBytes(folder + QLatin1Char('/') + kLog), fileBytes(refPath(kLog))) << when;
    }

    const Prepared& prepared_;
};

// The sum of `amountSql` per `keySql` of the posted entries, and the change of `balanceSql` per
// key between the two ledgers, as "key|amount" texts of the keys that moved.
QStringList changes(const QString& ledger, const QString& sql) {
    QStringList out;
    for (const QString& row : queryRows(ledger, sql)) {
        const QStringList cells = row.split(QLatin1Char('|'));
        if (std::abs(cells[1].toDouble()) > 0.00005)
            out << cells[0] + QLatin1Char('|') + QString::asprintf("%.4f", cells[1].toDouble());
    }
    return out;
}
QStringList balanceChanges(const QString& before, const QString& after, const QString& sql) {
    QHash<QString, double> old;
    for (const QString& row : queryRows(before, sql))
        old.insert(row.section(QLatin1Char('|'), 0, 0),
                   row.section(QLatin1Char('|'), 1).toDouble());
    QStringList out;
    for (const QString& row : queryRows(after, sql)) {
        const QString key = row.section(QLatin1Char('|'), 0, 0);
        const double delta = row.section(QLatin1Char('|'), 1).toDouble() - old.value(key);
        if (std::abs(delta) > 0.00005)
            out << key + QLatin1Char('|') + QString::asprintf("%.4f", delta);
    }
    return out;
}

TEST_P(KilledPostingTest, completeRun_balancesEqualTheirPostedEntries) {
    const QString before = basePath(kLedger), after = refPath(kLedger);
    // Every tenant's balance went down by its payments, every unit's by its payments and fees.
    const QStringList tenantEntries =
        changes(after, QStringLiteral("SELECT TransTID, SUM(TransAmount) FROM Transactions WHERE "
                                      "TransType = 'I' GROUP BY TransTID ORDER BY TransTID"));
    ASSERT_GT(tenantEntries.size(), 100);
    EXPECT_EQ(
        balanceChanges(before, after,
                       QStringLiteral("SELECT TenantID, TCurrBal FROM Tenants ORDER BY TenantID")),
        tenantEntries);
    // A unit is known by its tenant's number (a tenant in two units: the first unit moves).
    const QStringList unitEntries =
        changes(after, QStringLiteral("SELECT TransUID, SUM(TransAmount) FROM Transactions "
                                      "GROUP BY TransUID ORDER BY TransUID"));
    EXPECT_EQ(balanceChanges(before, after,
                             QStringLiteral("SELECT UTenantID, SUM(UCurrBal) FROM Units "
                                            "GROUP BY UTenantID ORDER BY UTenantID")),
              unitEntries);
    EXPECT_GT(queryValue(after, QStringLiteral("SELECT COUNT(*) FROM Transactions WHERE "
                                               "TransType = 'E'"))
                  .toInt(),
              100);
    // The deposit equals the sum of its split lines, and there is one line per payment.
    EXPECT_EQ(
        queryValue(after, QStringLiteral(
                              "SELECT printf('%.4f', d.CkAmount) = printf('%.4f', SUM(s.CkAmount)) "
                              "FROM CheckDepPrinted d JOIN SplitPrintedChecks s "
                              "ON s.CkNumber = d.CkNumber")),
        QStringLiteral("1"));
    EXPECT_EQ(queryValue(after, QStringLiteral("SELECT COUNT(*) FROM CheckDepPrinted")),
              QStringLiteral("1"));
    EXPECT_FALSE(QFile::exists(refPath(kStaged)));
    EXPECT_EQ(fileBytes(refPath(kLog)).count("\r\n"), 5);
}

// Killed at every fixed point of a run (each 500th ledger row, each commit of the journal and of
// the ledger, each file change, each message), the folder is whole each time: as before the run
// up to the ledger's commit, as after it from then on. Running again posts whatever was not
// posted, exactly once.
TEST_P(KilledPostingTest, killedAtEveryPoint_leavesAllOrNothingAndPostsOnce) {
    const QStringList& points = prepared_.points;
    const qsizetype commit = points.indexOf(QStringLiteral("ledger commit"));
    ASSERT_GT(commit, 3) << points.join(QLatin1Char(',')).toStdString();  // rows before it
    ASSERT_TRUE(points.contains(QStringLiteral("ledger row 1")));
    ASSERT_TRUE(points.contains(QStringLiteral("journal commit")));
    ASSERT_TRUE(points.contains(QStringLiteral("after rename paymentHistory.csv")));
    ASSERT_TRUE(points.contains(QStringLiteral("message")));
    QTemporaryDir work;
    for (int at = 0; at < points.size(); ++at) {
        copyFolderFiles(prepared_.base.path(), work.path());
        QProcess driver;
        ASSERT_TRUE(startDriver(driver, work.path(), {QStringLiteral("--step")}));
        ASSERT_EQ(stepToPoint(driver, at), points.mid(0, at + 1));
        driver.kill();  // SIGKILL
        driver.waitForFinished();
        const std::string when = "killed at " + points[at].toStdString();
        const State expected = at <= commit ? State::Before : State::After;
        EXPECT_EQ(expectWhole(work.path(), when), expected) << when;
        expectPostedOnceWhenRunAgain(work.path(), expected, when);
    }
}

// Killed while the success message is shown: the ledger is committed, so the staged file must
// already be gone and a second run must find nothing to post.
TEST_P(KilledPostingTest, killedAtTheSuccessMessage_paymentsAreNotStagedAgain) {
    QTemporaryDir work;
    copyFolderFiles(prepared_.base.path(), work.path());
    QProcess driver;
    ASSERT_TRUE(startDriver(driver, work.path(), {QStringLiteral("--hold-at-success")}));
    const QByteArray output = readOutputUntil(driver, "now updated");
    ASSERT_TRUE(output.contains("MSG\tLodgebook Corvane\tYour Lodgebook Ledgers are now updated."))
        << output.toStdString();
    driver.kill();
    driver.waitForFinished();

    EXPECT_EQ(expectWhole(work.path(), "at the success message"), State::After);
    expectPostedOnceWhenRunAgain(work.path(), State::After, "at the success message");
    EXPECT_EQ(ledgerDump(work.filePath(kLedger)), ledgerDump(refPath(kLedger)));
}

INSTANTIATE_TEST_SUITE_P(LineEnds, KilledPostingTest, kLineEnds, lineEndName);

}  // namespace
}  // namespace corvane::test
