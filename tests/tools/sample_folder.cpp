#include "SampleFolder.h"

#include "platform/TextCodec.h"
#include "support/TestFiles.h"
#include "support/TestLedger.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <optional>
#include <stdexcept>

namespace lodgebook {
namespace {

using corvane::test::fileBytes;
using corvane::test::TestLedger;

// One value of a query on a ledger that this test did not create (TestLedger makes new ones).
QString valueIn(const QString& ledger, const char* sql) {
    sqlite3* db = nullptr;
    QString value = QStringLiteral("<error>");
    if (sqlite3_open_v2(QFile::encodeName(ledger).constData(), &db, SQLITE_OPEN_READONLY,
                        nullptr) == SQLITE_OK) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW) {
            value = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
        }
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return value;
}

QStringList column(const TestLedger& ledger, const QString& sql) {
    QStringList values;
    for (const QVariantList& row : ledger.rows(sql)) {
        values.append(row.at(0).isNull() ? QStringLiteral("<NULL>") : row.at(0).toString());
    }
    return values;
}

// A sample folder in its own temporary folder; the ledger is read back through TestLedger.
class SampleFolderTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return folder_.filePath(name); }
    SampleSummary write(const SampleOptions& options) {
        ledger_.emplace(path(QStringLiteral("lbdatafl.mdb")));
        return writeSampleFolder(folder_.path(), options);
    }
    QByteArray payments() const {
        return fileBytes(path(QStringLiteral("user/Downloads/paymentHistory.csv")));
    }
    // The payment lines of the download, before the blank line, without their ends.
    QList<QByteArray> paymentLines() const {
        QList<QByteArray> lines = payments().replace("\r\n", "\n").split('\n');
        const qsizetype blank = lines.indexOf(QByteArray());
        return blank < 0 ? lines : lines.mid(0, blank);
    }

    QTemporaryDir folder_;
    std::optional<TestLedger> ledger_;
};

TEST_F(SampleFolderTest, defaultFolder_holdsEveryFileAndTheLedgerShowsEveryCase) {
    const SampleSummary summary = write(SampleOptions{});
    for (const char* name :
         {"lbdatafl.mdb", "IDFILE.DAT", "CV-Log.txt", "user/Downloads/paymentHistory.csv"}) {
        EXPECT_TRUE(QFileInfo(path(QString::fromLatin1(name))).isFile()) << name;
    }
    const TestLedger& ledger = *ledger_;
    EXPECT_EQ(ledger.value(QStringLiteral("SELECT CName1 FROM Company")).toString(),
              "Harbor Point Rentals, LLC");
    const QStringList fees = column(ledger, QStringLiteral("SELECT OMgmtFee FROM Owners"));
    for (const char* fee : {"8%", "25", "", "<NULL>"}) {
        EXPECT_TRUE(fees.contains(QString::fromLatin1(fee))) << fee;
    }
    EXPECT_EQ(column(ledger, QStringLiteral("SELECT DISTINCT TACH FROM Tenants ORDER BY TACH")),
              (QStringList{"D", "N", "Y"}));
    EXPECT_EQ(
        ledger.value(QStringLiteral("SELECT TLastName1 FROM Tenants WHERE TFirstName1 = 'VACANT'"))
            .toString(),
        QString());
    EXPECT_EQ(ledger
                  .value(QStringLiteral("SELECT COUNT(*) FROM Tenants WHERE TFirstName1 = "
                                        "'Renée' AND TLastName1 = 'Nuñez'"))
                  .toInt(),
              1);
    EXPECT_EQ(ledger
                  .value(QStringLiteral("SELECT COUNT(*) FROM (SELECT UTenantID FROM Units "
                                        "GROUP BY UTenantID HAVING COUNT(*) = 2)"))
                  .toInt(),
              1);
    EXPECT_EQ(ledger
                  .value(QStringLiteral("SELECT COUNT(*) FROM Tenants WHERE TenantID NOT IN "
                                        "(SELECT UTenantID FROM Units)"))
                  .toInt(),
              1);
    EXPECT_GT(
        ledger.value(QStringLiteral("SELECT COUNT(*) FROM Tenants WHERE TCurrBal <> 0")).toInt(),
        0);
    EXPECT_GT(
        ledger.value(QStringLiteral("SELECT COUNT(*) FROM Units WHERE UCurrBal <> 0")).toInt(), 0);
    // Every record hangs together: units to tenants, tenants to properties, properties to owners.
    EXPECT_EQ(ledger
                  .value(QStringLiteral("SELECT COUNT(*) FROM Units WHERE UTenantID NOT IN "
                                        "(SELECT TenantID FROM Tenants)"))
                  .toInt(),
              0);
    EXPECT_EQ(ledger
                  .value(QStringLiteral("SELECT COUNT(*) FROM Tenants WHERE TPropID NOT IN "
                                        "(SELECT PropID FROM Properties)"))
                  .toInt(),
              0);
    EXPECT_EQ(ledger
                  .value(QStringLiteral("SELECT COUNT(*) FROM Properties WHERE POwnerID NOT IN "
                                        "(SELECT OwnerID FROM Owners)"))
                  .toInt(),
              0);
    EXPECT_EQ(summary.tenants, 12);
    EXPECT_EQ(summary.units, ledger.value(QStringLiteral("SELECT COUNT(*) FROM Units")).toInt());
    EXPECT_EQ(ledger.value(QStringLiteral("PRAGMA journal_mode")).toString(), "wal");
}

TEST_F(SampleFolderTest, preferencesAndLog_areCrLfLinesInLodgebooksLayout) {
    write(SampleOptions{});
    const QByteArray prefs = fileBytes(path(QStringLiteral("IDFILE.DAT")));
    ASSERT_TRUE(prefs.endsWith("\r\n"));
    EXPECT_EQ(prefs.count('\n'), prefs.count("\r\n"));
    // Split by the program's reading rule: no field of this file holds a comma.
    QStringList fields;
    for (const QString& line :
         corvane::decodeAnsi(prefs).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
        for (QString field : line.split(QLatin1Char(','))) {
            if (field.startsWith(QLatin1Char('"')))
                field = field.mid(1, field.size() - 2);
            fields.append(field);
        }
    }
    EXPECT_GE(fields.size(), 38);
    EXPECT_EQ(
        fields.mid(9, 10),
        (QStringList{"Rent Income;B-4010", "MONTH RENT", "Security Deposits;T-2010",
                     "Security Deposit", "Repairs;U-5020", "Repairs", "Management Fees;U-5010",
                     "Management Fee", "Late Fee Received;T-4020", "Late Fee"}));

    const QByteArray log = fileBytes(path(QStringLiteral("CV-Log.txt")));
    const QList<QByteArray> lines = log.split('\n');
    ASSERT_EQ(lines.size(), 6);  // five lines and nothing after the last line end
    EXPECT_TRUE(lines.last().isEmpty());
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(lines[i].endsWith('\r')) << i;
    const QRegularExpression date(QStringLiteral("^\\d\\d/\\d\\d/\\d{4}\r$"));
    for (int i : {0, 3, 4}) {
        EXPECT_TRUE(date.match(QString::fromLatin1(lines[i])).hasMatch()) << lines[i].constData();
    }
    EXPECT_EQ(lines[1], "1234.5\r");
    EXPECT_TRUE(lines[2].startsWith("https://"));
}

TEST_F(SampleFolderTest, paymentDownload_followsTheProcessorsFormat) {
    SampleOptions options;
    options.payments = 40;
    const SampleSummary summary = write(options);
    const QByteArray bytes = payments();
    EXPECT_TRUE(
        bytes.contains("Ren\xE9"
                       "e Nu\xF1"
                       "ez"));

    const QRegularExpression line(QStringLiteral(
        "^B\\d+,T(\\d+),[^,\"]+,[^,\"]+,\\d\\d/\\d\\d/\\d{4},(Check|Card),"
        "(\\$\\d{1,3}\\.\\d\\d|\"\\$\\d{1,3}(,\\d{3})+\\.\\d\\d\"),Posted,[^\"$]*$"));
    const QList<QByteArray> lines = paymentLines();
    ASSERT_EQ(lines.size(), 40);
    QSet<QString> accounts;
    QSet<QString> transactionNumbers;
    bool quotedAmount = false;
    for (const QByteArray& raw : lines) {
        const QString text = corvane::decodeAnsi(raw);
        const QRegularExpressionMatch match = line.match(text);
        ASSERT_TRUE(match.hasMatch()) << raw.constData();
        accounts.insert(match.captured(1));
        transactionNumbers.insert(text.section(QLatin1Char(','), 0, 0));
        quotedAmount = quotedAmount || match.captured(3).startsWith(QLatin1Char('"'));
    }
    EXPECT_TRUE(quotedAmount);
    EXPECT_EQ(transactionNumbers.size(), 40);
    EXPECT_TRUE(bytes.contains(",\"$1,250.00\",Posted,"));

    int known = 0;
    int unknown = 0;
    for (const QString& id : accounts) {
        const int found = ledger_
                              ->value(QStringLiteral("SELECT COUNT(*) FROM Tenants WHERE "
                                                     "TenantID = %1")
                                          .arg(id))
                              .toInt();
        (found == 1 ? known : unknown) += 1;
    }
    EXPECT_GT(known, 1);
    EXPECT_EQ(unknown, summary.unmatchedPayments);
    EXPECT_GT(unknown, 0);

    // After the payments: one blank line, the summary, and the end of the file; every line
    // ended by CR LF, as the processor ends them.
    EXPECT_EQ(bytes.count("\r\n"), bytes.count('\n'));
    EXPECT_EQ(bytes.count('\r'), bytes.count('\n'));
    const QList<QByteArray> all = QByteArray(bytes).replace("\r\n", "\n").split('\n');
    ASSERT_EQ(all.size(), 43);
    EXPECT_TRUE(all[40].isEmpty());
    EXPECT_TRUE(all[41].startsWith("Total,40 payments,"));
    EXPECT_TRUE(all[42].isEmpty());
}

TEST_F(SampleFolderTest, lfOption_endsEveryLineWithLf) {
    SampleOptions options;
    options.crlfPayments = false;
    write(options);
    const QByteArray bytes = payments();
    EXPECT_EQ(bytes.count('\n'), options.payments + 2);
    EXPECT_FALSE(bytes.contains('\r'));
}

TEST_F(SampleFolderTest, sizesAreHonoured) {
    SampleOptions options;
    options.tenants = 3000;
    options.payments = 0;
    const SampleSummary summary = write(options);
    EXPECT_EQ(ledger_->value(QStringLiteral("SELECT COUNT(*) FROM Tenants")).toInt(), 3000);
    EXPECT_EQ(
        ledger_->value(QStringLiteral("SELECT COUNT(DISTINCT TenantID) FROM Tenants")).toInt(),
        3000);
    EXPECT_EQ(summary.units, ledger_->value(QStringLiteral("SELECT COUNT(*) FROM Units")).toInt());
    EXPECT_EQ(summary.units, 3000);  // one tenant with two units, one with none
    EXPECT_TRUE(paymentLines().isEmpty());
    EXPECT_TRUE(payments().startsWith("\r\nTotal,0 payments,"))
        << "no payments: the file starts blank";

    QTemporaryDir other;
    options.tenants = 1;
    options.payments = kMaxSamplePayments;
    writeSampleFolder(other.path(), options);
    const QByteArray bytes =
        fileBytes(other.filePath(QStringLiteral("user/Downloads/paymentHistory.csv")));
    EXPECT_EQ(bytes.count('\n'), kMaxSamplePayments + 2);
}

TEST_F(SampleFolderTest, sameSeedWritesTheSameFolder_anotherSeedAnother) {
    SampleOptions options;
    options.tenants = 200;
    options.payments = 50;
    options.seed = 42;
    write(options);
    QTemporaryDir same;
    QTemporaryDir different;
    writeSampleFolder(same.path(), options);
    options.seed = 43;
    writeSampleFolder(different.path(), options);
    const QString download = QStringLiteral("user/Downloads/paymentHistory.csv");
    EXPECT_EQ(payments(), fileBytes(same.filePath(download)));
    EXPECT_NE(payments(), fileBytes(different.filePath(download)));
    const char* tenants =
        "SELECT group_concat(TenantID || TFirstName1 || TLastName1 || TACH || TCurrBal, '|') "
        "FROM Tenants";
    EXPECT_EQ(ledger_->value(QString::fromLatin1(tenants)).toString(),
              valueIn(same.filePath(QStringLiteral("lbdatafl.mdb")), tenants));
}

TEST_F(SampleFolderTest, ledgerWithRecords_isNeverTouched) {
    write(SampleOptions{});
    ASSERT_TRUE(QFile::remove(path(QStringLiteral("IDFILE.DAT"))));
    ledger_->exec(QStringLiteral("UPDATE Tenants SET TCurrBal = 777"));
    EXPECT_THROW(writeSampleFolder(folder_.path(), SampleOptions{}), std::runtime_error);
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("IDFILE.DAT"))));
    EXPECT_EQ(ledger_->value(QStringLiteral("SELECT COUNT(*) FROM Tenants WHERE TCurrBal <> 777"))
                  .toInt(),
              0);
    EXPECT_EQ(ledger_->value(QStringLiteral("SELECT COUNT(*) FROM Tenants")).toInt(), 12);
}

TEST(SampleOptionsTest, outOfRangeSizes_areRefusedBeforeAnythingIsWritten) {
    struct Case {
        int tenants;
        int payments;
    };
    for (const Case c : {Case{0, 10}, Case{kMaxSampleTenants + 1, 10}, Case{12, -1},
                         Case{12, kMaxSamplePayments + 1}}) {
        QTemporaryDir dir;
        SampleOptions options;
        options.tenants = c.tenants;
        options.payments = c.payments;
        EXPECT_THROW(writeSampleFolder(dir.path(), options), std::runtime_error)
            << c.tenants << " " << c.payments;
        EXPECT_TRUE(QDir(dir.path()).isEmpty());
    }
}

TEST(SampleText, reneeNunezRoundTripsThroughTheAnsiCodePage) {
    const QString name = QStringLiteral("Renée Nuñez");
    const QByteArray bytes = corvane::encodeAnsi(name);
    EXPECT_EQ(bytes, QByteArray("Ren\xE9"
                                "e Nu\xF1"
                                "ez"));
    EXPECT_EQ(corvane::decodeAnsi(bytes), name);
}

TEST(SampleTool, writesTheFolderAndRefusesBadArguments) {
    const QString tool = QStringLiteral(CORVANE_TEST_BINARY_DIR "/lodgebook-sample");
    if (!QFileInfo(tool).isExecutable())
        GTEST_SKIP() << "lodgebook-sample is not built";
    QTemporaryDir dir;
    const QString sample = dir.filePath(QStringLiteral("Lodgebook"));
    QProcess run;
    run.start(tool, {sample, QStringLiteral("--tenants"), QStringLiteral("30"),
                     QStringLiteral("--payments"), QStringLiteral("5"), QStringLiteral("--seed"),
                     QStringLiteral("9")});
    ASSERT_TRUE(run.waitForFinished(60000));
    EXPECT_EQ(run.exitCode(), 0) << run.readAllStandardError().constData();
    EXPECT_EQ(valueIn(sample + QStringLiteral("/lbdatafl.mdb"), "SELECT COUNT(*) FROM Tenants"),
              "30");

    for (const QStringList& args :
         {QStringList{},
          QStringList{sample + QStringLiteral("2"), QStringLiteral("--tenants"),
                      QStringLiteral("many")},
          QStringList{sample + QStringLiteral("2"), QStringLiteral("--payments"),
                      QStringLiteral("32768")}}) {
        QProcess bad;
        bad.start(tool, args);
        ASSERT_TRUE(bad.waitForFinished(60000));
        EXPECT_EQ(bad.exitCode(), 2) << args.join(QLatin1Char(' ')).toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(sample + QStringLiteral("2")));

    QProcess again;  // the folder now holds a ledger with records
    again.start(tool, {sample});
    ASSERT_TRUE(again.waitForFinished(60000));
    EXPECT_EQ(again.exitCode(), 1);
    EXPECT_TRUE(again.readAllStandardError().contains("already holds records"));
}

}  // namespace
}  // namespace lodgebook
