#include "payments/PaymentIntake.h"
#include "platform/Error.h"
#include "support/TestFiles.h"
#include "support/TestPlatform.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <optional>

namespace corvane::test {
namespace {

// --- the name rule ---------------------------------------------------------------------------

struct NameCase {
    const char* name;
    bool isDownload;
};

TEST(PaymentNameRule, takesOnlyPaymentHistoryBaseNames) {
    const NameCase cases[] = {
        {"paymentHistory.csv", true},
        {"paymentHistory (2).csv", true},
        {"paymentHistory(1).csv", true},
        {"paymentHistory.txt", true},
        {"paymentHistory (copy)", true},
        {"paymentHistory", true},
        {"PaymentHistory.csv", false},
        {"paymentHistory_LastDownload.csv", false},
        {"paymentHistory.old.csv", false},
        {"paymentHistory (1", false},
        {"", false},
        {".", false},
        {"(", false},
        {")", false},
    };
    for (const NameCase& c : cases) {
        EXPECT_EQ(isPaymentDownloadName(QString::fromUtf8(c.name)), c.isDownload) << c.name;
    }
}

TEST(PaymentNameRule, stepsCutAtTheLastDotAndTheLastParenthesis) {
    EXPECT_EQ(RemoveExtension(QStringLiteral("a.b.csv")), QStringLiteral("a.b"));
    EXPECT_EQ(RemoveExtension(QStringLiteral("noext")), QStringLiteral("noext"));
    EXPECT_EQ(RemoveCopyNumber(QStringLiteral("x (1) (2)")), QStringLiteral("x (1)"));
    EXPECT_EQ(RemoveCopyNumber(QStringLiteral("  x (1)")), QStringLiteral("x"));
    EXPECT_EQ(RemoveCopyNumber(QStringLiteral("x (1) ")), QStringLiteral("x (1)"));
}

// --- the line rule ---------------------------------------------------------------------------

TEST(PaymentLineRule, exampleLineGivesEightFieldsWithThePlainAmount) {
    const PaymentLine line = readPaymentLine(
        QStringLiteral("B100,T42,Smith,12 Oak St,06/01/2026, Check,\"$1,250.00\",Posted"));
    EXPECT_EQ(line.transactionNumber, QStringLiteral("B100"));
    EXPECT_EQ(line.account, QStringLiteral("T42"));
    EXPECT_EQ(line.payerName, QStringLiteral("Smith"));
    EXPECT_EQ(line.payerAddress, QStringLiteral("12 Oak St"));
    EXPECT_EQ(line.date, QStringLiteral("06/01/2026"));
    EXPECT_EQ(line.method, QStringLiteral(" Check"));
    EXPECT_EQ(line.amount, QStringLiteral("1250.00"));
    EXPECT_EQ(line.status, QStringLiteral("Posted"));
}

TEST(PaymentLineRule, quotesGoEverywhere) {
    const PaymentLine line = readPaymentLine(QStringLiteral("B1,\"T7\",a,b,03/01/2026,Card,$5.00"));
    EXPECT_EQ(line.status, std::nullopt);  // seven fields
    EXPECT_EQ(line.account, QStringLiteral("T7"));
    EXPECT_EQ(line.amount, QStringLiteral("5.00"));
    // A "$" right before the point: the dollar part is just "." and nothing is replaced.
    EXPECT_EQ(readPaymentLine(QStringLiteral("B1,T1,a,b,d,m,$.50")).amount, QStringLiteral(".50"));
    // A large amount with two separators.
    EXPECT_EQ(readPaymentLine(QStringLiteral("B1,T1,a,b,d,m,\"$1,234,567.89\"")).amount,
              QStringLiteral("1234567.89"));
}

// Each line is read once into its payment's values; the matching adds the tenant.
TEST(PaymentLineRule, eachLineBecomesAPaymentWithItsValues) {
    const ReadPayments read = readPayments(
        {QStringLiteral("B100,T42,Smith,12 Oak St,06/01/2026,  Card,\"$1,250.00\", Returned "),
         QStringLiteral("B101,T 7,a,b,6/2/2026 10:30,,$-25.50"),
         QStringLiteral("B102,T1,a,b,not a date,7,$0.5,")});
    ASSERT_EQ(read.payments.size(), 3u);
    EXPECT_FALSE(read.amountTooLarge);
    const Payment& p = read.payments[0];
    EXPECT_EQ(p.line, 1);
    EXPECT_EQ(p.transactionNumber, QStringLiteral("B100"));
    EXPECT_EQ(p.account, QStringLiteral("T42"));
    EXPECT_EQ(p.tenantID, std::nullopt);
    EXPECT_EQ(p.amountText, QStringLiteral("1250.00"));
    EXPECT_EQ(p.amount, ledger::Currency::fromUnits(12500000));
    EXPECT_EQ(p.dateText, QStringLiteral("06/01/2026"));
    EXPECT_EQ(p.date, QDate(2026, 6, 1));
    EXPECT_EQ(p.checkChar, QStringLiteral("C"));
    EXPECT_EQ(p.checkNumber, 0);
    EXPECT_EQ(p.kind, PaymentKind::Rent);
    EXPECT_EQ(p.processorStatus, QStringLiteral("Returned"));
    const Payment& refund = read.payments[1];
    EXPECT_EQ(refund.line, 2);
    EXPECT_EQ(refund.amount, ledger::Currency::fromUnits(-255000));
    EXPECT_EQ(refund.date, QDate(2026, 6, 2));
    EXPECT_EQ(refund.checkChar, QString());
    EXPECT_EQ(refund.checkNumber, std::nullopt);
    EXPECT_EQ(refund.processorStatus, QString());
    const Payment& odd = read.payments[2];
    EXPECT_EQ(odd.line, 3);
    EXPECT_EQ(odd.date, std::nullopt);
    EXPECT_EQ(odd.dateText, QStringLiteral("not a date"));
    EXPECT_EQ(odd.checkNumber, 7);
    EXPECT_EQ(odd.amount, ledger::Currency::fromUnits(5000));

    EXPECT_TRUE(
        readPayments({QStringLiteral("B1,T1,a,b,d,m,$99999999999999999999.00")}).amountTooLarge);
}

// The first line that cannot be read stops the reading, with its number.
TEST(PaymentLineRule, readingLinesStopsAtTheFirstBadLine) {
    const QStringList lines = {QStringLiteral("B1,T1,a,b,d,m,$5.00"),
                               QStringLiteral("B2,T1,a,b,d,m,$5x.00"),
                               QStringLiteral("B3,T1,a,b,d,m,5.00")};
    EXPECT_EQ(readPayments(lines.mid(0, 1)).payments.at(0).amountText, QStringLiteral("5.00"));
    try {
        readPayments(lines);
        ADD_FAILURE() << "bad lines were read";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), errc::TypeMismatch);
        EXPECT_EQ(e.description(),
                  QStringLiteral("Type mismatch: the amount of line 2 is not a number: 5x.00"));
    }
    try {
        readPayments(lines.mid(0, 1) + lines.mid(2));
        ADD_FAILURE() << "a line without an amount was read";
    } catch (const Error& e) {
        EXPECT_TRUE(e.description().endsWith(QStringLiteral(" (line 2)")))
            << e.description().toStdString();
    }
}

struct BadLine {
    const char* line;
    int error;
};

TEST(PaymentLineRule, malformedLinesRaiseTheirErrorNumbers) {
    const BadLine cases[] = {
        {"B1,T42,a,b,06/01/2026,Check,100.00,Posted", errc::InvalidProcedureCall},  // no "$"
        {"B1,T42,a,b,06/01/2026,Check,$100,Posted", errc::InvalidProcedureCall},    // no "."
        {"B1.5,T42,a,b,06/01/2026,Check,$100", errc::InvalidProcedureCall},  // "." only before
        {"B1,T42,a,b,$1.00", errc::SubscriptOutOfRange},                     // 5 fields
        {"B1,$1.00", errc::SubscriptOutOfRange},
        {"B1,,a,b,06/01/2026,Check,$1.00,Posted", errc::TypeMismatch},  // no account
        {"B1,  ,a,b,06/01/2026,Check,$1.00,Posted", errc::TypeMismatch},
        {"", errc::InvalidProcedureCall},
        {",,,,,,,,", errc::InvalidProcedureCall},
    };
    for (const BadLine& c : cases) {
        std::optional<int> number;
        try {
            readPaymentLine(QString::fromUtf8(c.line));
        } catch (const Error& e) {
            number = e.number();
            EXPECT_FALSE(e.description().isEmpty());
        }
        EXPECT_EQ(number, std::optional<int>(c.error)) << c.line;
    }
}

TEST(PaymentLineRule, hugeAndBinaryLinesEndInFieldsOrAnError) {
    QString huge = QStringLiteral("B1,T1,a,b,d,m,$") + QString(1 << 20, QLatin1Char('9')) +
                   QStringLiteral(".00");
    EXPECT_EQ(readPaymentLine(huge).amount.size(), (1 << 20) + 3);
    QString junk;
    for (int i = 0; i < 4096; ++i)
        junk.append(QChar(static_cast<char16_t>((i * 37) % 256)));
    // The line rule leaves it two fields, too few for a payment line.
    try {
        readPaymentLine(junk);
        ADD_FAILURE() << "a line of two fields was read";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), errc::SubscriptOutOfRange);
    }
}

// --- acceptance and selection ----------------------------------------------------------------

struct SelectionCase {
    const char* name;
    QByteArray text;
    int lines;
};

TEST(PaymentFileSelection, takesCompletePaymentLinesUpToTheFirstOtherLine) {
    const SelectionCase cases[] = {
        {"three and summary", "B1,x\nB2,x\nB3,x\n\nTotal,3\n", 3},
        {"CR LF ends", "B1,x\r\nB2,x\r\n\r\nTotal\r\n", 2},
        {"last line without LF", "B1,x\nB2,x", 1},
        {"single line without LF", "B1,x", 0},
        {"header line", "Transaction,Account\nB1,x\n", 0},
        {"byte order mark",
         "\xEF\xBB\xBF"
         "B1,x\n",
         0},
        {"quoted first field", "\"B12\",x\n", 0},
        {"B without digit", "BX,x\n", 0},
        {"empty", "", 0},
        {"one character", "B", 0},
        {"commas only", ",,,,\n,,,\n", 0},
        {"blank line with spaces ends", "B1,x\n   \nB2,x\n", 1},
        {"indented payment line", "B1,x\n  B2,x\n", 2},
        {"NUL bytes", QByteArray("B1,\0x\nB2\0\n\0\n", 12), 2},
    };
    for (const SelectionCase& c : cases) {
        const QStringList lines = selectPaymentLines(QString::fromLatin1(c.text));
        EXPECT_EQ(lines.size(), c.lines) << c.name;
    }
    EXPECT_EQ(selectPaymentLines(QStringLiteral("B1,x\r\nB2\n")),
              QStringList({QStringLiteral("B1,x"), QStringLiteral("B2")}));
}

// A line's end belongs to no field, whichever field is last: the amount (7 fields), the status
// (8) or a field that is not read; and a carriage return alone is not a line's end.
TEST(PaymentLineRule, aLinesEndBelongsToNoField) {
    for (const char* end : {"\r\n", "\n"}) {
        const QString eol = QString::fromLatin1(end);
        const QString text = "B1,T1,a,b,06/01/2026,Check,$5.00" + eol +
                             "B2,T2,a,b,06/01/2026,Check,\"$1,250.00\",Posted" + eol +
                             "B3,T3,a,b,06/01/2026,Check,$7.50,Returned,x" + eol +
                             "B4,T4,a,b,06/01/2026,Check,$1.00,Posted\rB5" + eol + eol +
                             "Total,4,$1263.50" + eol;
        const std::vector<Payment> read = readPayments(selectPaymentLines(text)).payments;
        ASSERT_EQ(read.size(), 4u) << end;
        EXPECT_EQ(read[0].amountText, QStringLiteral("5.00")) << end;
        EXPECT_EQ(read[0].processorStatus, QString()) << end;
        EXPECT_EQ(read[1].amountText, QStringLiteral("1250.00")) << end;
        EXPECT_EQ(read[1].processorStatus, QStringLiteral("Posted")) << end;
        EXPECT_EQ(read[2].processorStatus, QStringLiteral("Returned")) << end;
        EXPECT_EQ(read[3].processorStatus, QStringLiteral("Posted\rB5")) << end;
    }
}

// --- FindLatestPaymentFile -------------------------------------------------------------------

// The real file system with a listing that the test decides (order and times).
class ListedFiles final : public RealFiles {
public:
    std::optional<QList<FileEntry>> listing;
    bool failRemove = false;
    bool failCopy = false;
    QList<FileEntry> listFiles(const QString& folder) override {
        return listing ? *listing : RealFiles::listFiles(folder);
    }
    void remove(const QString& path) override {
        if (failRemove && path.contains(QStringLiteral("Downloads"))) {
            throw Error(errc::PermissionDenied, QStringLiteral("Permission denied: ") + path);
        }
        RealFiles::remove(path);
    }
    using RealFiles::copy;
    void copy(const QString& from, const QString& to, qint64 maxBytes) override {
        if (failCopy) {
            QFile half(to);
            half.open(QIODevice::WriteOnly);
            half.write("B1,T");
            half.close();
            throw Error(errc::DiskFull, QStringLiteral("Disk full"));
        }
        RealFiles::copy(from, to, maxBytes);
    }
};

class FindLatestTest : public ::testing::Test {
protected:
    FindLatestTest() : payment{files, program(), kPaymentFileName} {
        QDir(home.path()).mkpath(QStringLiteral("Downloads"));
        tp.environment.variables.insert(QStringLiteral("USERPROFILE"), home.path());
    }
    QString program() {
        QDir(tp.folder.path()).mkpath(QStringLiteral("program"));
        return tp.path(QStringLiteral("program"));
    }
    QString download(const QString& name) const { return home.filePath("Downloads/" + name); }
    QString staged() const { return payment.stagedPath(); }
    // The Downloads folder as USERPROFILE gives it.
    bool findLatest() {
        return FindLatestPaymentFile(payment, tp.dialogs, downloadsFolder(tp.environment));
    }

    void writeDownload(const QString& name, const QByteArray& bytes, const QDateTime& when) {
        QFile f(download(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.flush();
        ASSERT_TRUE(f.setFileTime(when, QFileDevice::FileModificationTime));
        f.close();
    }
    // `shown` as the C locale the tests run in writes a date and time.
    void expectLatest(const QString& name, const char* shown) {
        tp.dialogs.expectMessage(
            "The most recent paymentHistory file in your DOWNLOADS folder is: \r" + name +
                "\r\nLast Modified: " + QString::fromLatin1(shown) +
                "\rThis file will be loaded to your screen. Be SURE the transaction dates are "
                "correct before posting!",
            QStringLiteral("Latest File"));
    }
    void expectNoFiles() {
        tp.dialogs.expectMessage(QStringLiteral("No payment files were found in your Downloads "
                                                "folder. Please download a new payment file."),
                                 QStringLiteral("No Files"), MsgIcon::Exclamation);
    }
    QByteArray stagedBytes() const {
        return QFile::exists(staged()) ? test::fileBytes(staged()) : "<none>";
    }

    TestPlatform tp;
    QTemporaryDir home;
    ListedFiles files;
    PaymentFiles payment;
    const QDateTime nine{QDate(2026, 6, 1), QTime(9, 0)};
    const QDateTime ten{QDate(2026, 6, 1), QTime(10, 0)};
};

TEST_F(FindLatestTest, newestDownloadIsStagedAndOnlyItLeavesDownloads) {
    writeDownload(QStringLiteral("paymentHistory.csv"), "B1,old\n", nine);
    writeDownload(QStringLiteral("paymentHistory (1).csv"), "B2,new\n", ten);
    writeDownload(QStringLiteral("PaymentHistory (5).csv"), "B3,wrong case\n", ten.addSecs(3600));
    expectLatest(QStringLiteral("paymentHistory (1).csv"), "1 Jun 2026 10:00:00");
    EXPECT_TRUE(findLatest());
    EXPECT_EQ(stagedBytes(), QByteArray("B2,new\n"));
    EXPECT_FALSE(QFile::exists(download(QStringLiteral("paymentHistory (1).csv"))));
    EXPECT_TRUE(QFile::exists(download(QStringLiteral("paymentHistory.csv"))));
    EXPECT_EQ(QDir(payment.programFolder).entryList(QDir::Files), QStringList({kPaymentFileName}));
}

TEST_F(FindLatestTest, equalTimesTakeTheFirstListed) {
    writeDownload(QStringLiteral("paymentHistory (2).csv"), "B2\n", ten);
    writeDownload(QStringLiteral("paymentHistory (1).csv"), "B1\n", ten);
    files.listing = QList<FileEntry>{{QStringLiteral("paymentHistory (2).csv"), ten},
                                     {QStringLiteral("paymentHistory (1).csv"), ten}};
    expectLatest(QStringLiteral("paymentHistory (2).csv"), "1 Jun 2026 10:00:00");
    EXPECT_TRUE(findLatest());
    EXPECT_EQ(stagedBytes(), QByteArray("B2\n"));
}

TEST_F(FindLatestTest, aTextDownloadIsStagedUnderTheCsvName) {
    writeDownload(QStringLiteral("paymentHistory.txt"), "B9\n", nine);
    expectLatest(QStringLiteral("paymentHistory.txt"), "1 Jun 2026 09:00:00");
    EXPECT_TRUE(findLatest());
    EXPECT_EQ(stagedBytes(), QByteArray("B9\n"));
}

TEST_F(FindLatestTest, noPaymentDownloadShowsNoFilesAndStagesNothing) {
    writeDownload(QStringLiteral("PaymentHistory.csv"), "B1\n", nine);
    writeDownload(QStringLiteral("paymentHistory.old.csv"), "B1\n", nine);
    // A file older than 1900 never counts.
    files.listing = QList<FileEntry>{
        {QStringLiteral("PaymentHistory.csv"), nine},
        {QStringLiteral("paymentHistory.old.csv"), nine},
        {QStringLiteral("paymentHistory.csv"), QDateTime(QDate(1899, 12, 31), QTime(0, 0))}};
    expectNoFiles();
    EXPECT_FALSE(findLatest());
    EXPECT_TRUE(QDir(payment.programFolder).entryList(QDir::Files).isEmpty());
}

TEST_F(FindLatestTest, aMissingDownloadsFolderHoldsNoFiles) {
    tp.environment.variables.insert(QStringLiteral("USERPROFILE"), home.filePath("nobody"));
    expectNoFiles();
    EXPECT_FALSE(findLatest());
}

TEST_F(FindLatestTest, aFailedCopyLeavesNoStagedFileAndKeepsTheDownload) {
    writeDownload(QStringLiteral("paymentHistory.csv"), "B1,T42\n", nine);
    files.failCopy = true;
    expectLatest(QStringLiteral("paymentHistory.csv"), "1 Jun 2026 09:00:00");
    EXPECT_THROW(findLatest(), Error);
    EXPECT_TRUE(QDir(payment.programFolder).entryList(QDir::Files).isEmpty());
    EXPECT_TRUE(QFile::exists(download(QStringLiteral("paymentHistory.csv"))));
}

TEST_F(FindLatestTest, aDownloadThatCannotBeDeletedIsNotStaged) {
    writeDownload(QStringLiteral("paymentHistory.csv"), "B1,T42\n", nine);
    files.failRemove = true;
    expectLatest(QStringLiteral("paymentHistory.csv"), "1 Jun 2026 09:00:00");
    try {
        findLatest();
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), errc::PermissionDenied);
    }
    EXPECT_FALSE(QFile::exists(staged()));
    EXPECT_TRUE(QFile::exists(download(QStringLiteral("paymentHistory.csv"))));
}

// --- the archive step ------------------------------------------------------------------------

TEST(PaymentArchive, replacesAnEarlierArchiveAndRemovesTheStagedFile) {
    TestPlatform tp;
    tp.files.writeAtomically(tp.path(kPaymentFileName), "B2,new\n");
    tp.files.writeAtomically(tp.path(kPaymentArchiveFileName), "B1,old\n");
    ArchiveStagedPaymentFile({tp.files, tp.folder.path(), kPaymentFileName});
    EXPECT_FALSE(QFile::exists(tp.path(kPaymentFileName)));
    EXPECT_EQ(tp.files.readAll(tp.path(kPaymentArchiveFileName)), QByteArray("B2,new\n"));
}

}  // namespace
}  // namespace corvane::test
