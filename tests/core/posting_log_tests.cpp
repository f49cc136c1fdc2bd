#include "core/PostingLog.h"
#include "platform/TextCodec.h"
#include "support/TestFiles.h"
#include "support/TestPlatform.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace corvane {
namespace {

using test::fileBytes;
using test::writeFile;

const QString kUrlPrompt = QStringLiteral("Please enter your Vantora URL");
const QString kUrlTitle = QStringLiteral("Vantora URL Entry");

struct LogValues {
    QString date, balance, url, from, to;
    bool operator==(const LogValues&) const = default;
};

LogValues values(const PostingLogFigures& f) {
    return {f.lastDatePosted, f.lastBalancePosted, f.processorSiteUrl, f.lastRangeFrom,
            f.lastRangeTo};
}

QString logPath(const test::TestPlatform& t) {
    return t.path(QStringLiteral("CV-Log.txt"));
}

bool read(test::TestPlatform& t, PostingLogFigures& figures) {
    return ReadPostingLog(t.files, t.dialogs, logPath(t), figures);
}

void PrintTo(const LogValues& v, std::ostream* os) {
    *os << QStringList{v.date, v.balance, v.url, v.from, v.to}
               .join(QStringLiteral(" | "))
               .toStdString();
}

TEST(ReadPostingLog, fillsTheFiveValuesAndTheLabels) {
    test::TestPlatform t;
    PostingLogFigures figures;
    writeFile(t.path(QStringLiteral("CV-Log.txt")),
              "03/02/2026\r\n1234.5\r\nhttps://pay.vantora.example/acme\r\n2/1/2026\r\n"
              "02/28/2026\r\n");
    EXPECT_TRUE(read(t, figures));
    EXPECT_EQ(values(figures),
              (LogValues{"03/02/2026", "1234.5", "https://pay.vantora.example/acme", "2/1/2026",
                         "02/28/2026"}));
    EXPECT_EQ(LastDateLabel(figures), QStringLiteral("Last Date Posted: 03/02/2026"));
    EXPECT_EQ(LastBalanceLabel(figures), QStringLiteral("Last Balance Posted: $1,234.50"));
    EXPECT_EQ(LastDateRangeLabel(figures),
              QStringLiteral("Last Date Range: 02/01/2026 to 02/28/2026"));
}

TEST(ReadPostingLog, missingLogShowsItsMessageAndFillsNothing) {
    test::TestPlatform t;
    PostingLogFigures figures;
    t.dialogs.expectMessage(
        QStringLiteral(
            "Cannot find the Corvane log file: CV-Log.txt. Please restore a copy of that "
            "file or create a new text file (.txt) with that name."),
        QStringLiteral("Corvane"), MsgIcon::Information);
    EXPECT_FALSE(read(t, figures));
    EXPECT_EQ(values(figures), LogValues{});
}

TEST(ReadPostingLog, emptyLogAsksNothing) {
    test::TestPlatform t;
    PostingLogFigures figures;
    writeFile(t.path(QStringLiteral("CV-Log.txt")), "");
    EXPECT_TRUE(read(t, figures));
    EXPECT_TRUE(t.dialogs.inputPrompts().empty());
    EXPECT_EQ(LastDateLabel(figures), QStringLiteral("Last Date Posted: "));
    EXPECT_EQ(LastBalanceLabel(figures), QStringLiteral("Last Balance Posted: "));
    EXPECT_EQ(LastDateRangeLabel(figures), QStringLiteral("Last Date Range:  to "));
}

TEST(ReadPostingLog, blankSiteAddressIsAskedForOnce) {
    for (const QByteArray& third : {QByteArray(""), QByteArray("    ")}) {
        test::TestPlatform t;
        PostingLogFigures figures;
        writeFile(t.path(QStringLiteral("CV-Log.txt")),
                  "03/02/2026\r\n10\r\n" + third + "\r\n03/01/2026\r\n03/02/2026\r\n");
        t.dialogs.expectInput(kUrlPrompt, kUrlTitle, QStringLiteral("https://typed.example"));
        EXPECT_TRUE(read(t, figures));
        EXPECT_EQ(t.dialogs.inputPrompts().size(), 1u);
        EXPECT_EQ(figures.processorSiteUrl, QStringLiteral("https://typed.example"));
        EXPECT_EQ(figures.lastRangeTo, QStringLiteral("03/02/2026"));
    }
}

TEST(ReadPostingLog, extraLinesAreIgnoredAndACommaShiftsTheFields) {
    test::TestPlatform t;
    PostingLogFigures figures;
    writeFile(t.path(QStringLiteral("CV-Log.txt")),
              "03/02/2026\r\n1,234.5\r\nhttps://x.example\r\n03/01/2026\r\n03/02/2026\r\n"
              "extra\r\nmore\r\n");
    EXPECT_TRUE(read(t, figures));
    EXPECT_EQ(values(figures),
              (LogValues{"03/02/2026", "1", "234.5", "https://x.example", "03/01/2026"}));
}

TEST(ReadPostingLog, quotedSiteAddressAndWindows1252Text) {
    test::TestPlatform t;
    PostingLogFigures figures;
    writeFile(t.path(QStringLiteral("CV-Log.txt")),
              "\"03/02/2026\"\r\n0\r\n\"https://x.example/a,b\"\r\nCaf\xE9\r\n\r\n");
    EXPECT_TRUE(read(t, figures));
    EXPECT_EQ(figures.processorSiteUrl, QStringLiteral("https://x.example/a,b"));
    EXPECT_EQ(figures.lastRangeFrom, QStringLiteral("Caf\u00e9"));
}

TEST(WritePostingLog, writesFiveCrLfLines) {
    test::TestPlatform t;
    PostingLogFigures figures;
    figures.lastDatePosted = QStringLiteral("3/14/2026");
    figures.lastBalancePosted = QStringLiteral("1234.5");
    figures.processorSiteUrl = QStringLiteral("https://pay.example/caf\u00e9");
    figures.lastRangeFrom = QStringLiteral("2026-03-01");
    figures.lastRangeTo = QStringLiteral("not a date");
    WritePostingLog(t.files, logPath(t), figures);

    const QByteArray written(
        "03/14/2026\r\n1234.5\r\nhttps://pay.example/caf\xE9\r\n03/01/2026\r\n"
        "not a date\r\n");
    EXPECT_EQ(fileBytes(logPath(t)), written);
    EXPECT_EQ(QDir(t.folder.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("CV-Log.txt")});

    // A log that cannot be written is left as it was.
    t.files.fillDiskOnWriting(QStringLiteral("CV-Log.txt"));
    figures.lastDatePosted = QStringLiteral("3/15/2026");
    EXPECT_THROW(WritePostingLog(t.files, logPath(t), figures), Error);
    EXPECT_EQ(fileBytes(logPath(t)), written);
}

TEST(WritePostingLog, replacesTheOldLogAndReadsBack) {
    test::TestPlatform t;
    PostingLogFigures figures;
    writeFile(t.path(QStringLiteral("CV-Log.txt")),
              "old\r\nlog\r\nwith\r\nseven\r\nlines\r\n6\r\n7\r\n");
    figures.processorSiteUrl = QStringLiteral("https://x.example");
    figures.lastBalancePosted = QStringLiteral("-25");
    WritePostingLog(t.files, logPath(t), figures);
    EXPECT_EQ(fileBytes(t.path(QStringLiteral("CV-Log.txt"))),
              QByteArray("\r\n-25\r\nhttps://x.example\r\n\r\n\r\n"));

    test::TestPlatform again;
    writeFile(again.path(QStringLiteral("CV-Log.txt")),
              fileBytes(t.path(QStringLiteral("CV-Log.txt"))));
    PostingLogFigures readBack;
    EXPECT_TRUE(read(again, readBack));
    EXPECT_EQ(values(readBack), (LogValues{"", "-25", "https://x.example", "", ""}));
}

}  // namespace
}  // namespace corvane
