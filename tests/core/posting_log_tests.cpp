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

LogValues values(const Globals& g) {
    return {g.postingLog.lastDatePosted, g.postingLog.lastBalancePosted,
            g.postingLog.processorSiteUrl, g.postingLog.lastRangeFrom, g.postingLog.lastRangeTo};
}

void PrintTo(const LogValues& v, std::ostream* os) {
    *os << QStringList{v.date, v.balance, v.url, v.from, v.to}
               .join(QStringLiteral(" | "))
               .toStdString();
}

TEST(ReadPostingLog, fillsTheFiveValuesAndTheLabels) {
    test::TestPlatform t;
    writeFile(t.path(QStringLiteral("CV-Log.txt")),
              "03/02/2026\r\n1234.5\r\nhttps://pay.vantora.example/acme\r\n2/1/2026\r\n"
              "02/28/2026\r\n");
    EXPECT_TRUE(ReadPostingLog(t.globals));
    EXPECT_EQ(values(t.globals),
              (LogValues{"03/02/2026", "1234.5", "https://pay.vantora.example/acme", "2/1/2026",
                         "02/28/2026"}));
    EXPECT_EQ(LastDateLabel(t.globals), QStringLiteral("Last Date Posted: 03/02/2026"));
    EXPECT_EQ(LastBalanceLabel(t.globals), QStringLiteral("Last Balance Posted: $1,234.50"));
    EXPECT_EQ(LastDateRangeLabel(t.globals),
              QStringLiteral("Last Date Range: 02/01/2026 to 02/28/2026"));
}

TEST(ReadPostingLog, missingLogShowsItsMessageAndFillsNothing) {
    test::TestPlatform t;
    t.dialogs.expectMessage(
        QStringLiteral(
            "Cannot find the Corvane log file: CV-Log.txt. Please restore a copy of that "
            "file or create a new text file (.txt) with that name."),
        QStringLiteral("Corvane"), MsgIcon::Information);
    EXPECT_FALSE(ReadPostingLog(t.globals));
    EXPECT_EQ(values(t.globals), LogValues{});
}

TEST(ReadPostingLog, emptyLogAsksNothing) {
    test::TestPlatform t;
    writeFile(t.path(QStringLiteral("CV-Log.txt")), "");
    EXPECT_TRUE(ReadPostingLog(t.globals));
    EXPECT_TRUE(t.dialogs.inputPrompts().empty());
    EXPECT_EQ(LastDateLabel(t.globals), QStringLiteral("Last Date Posted: "));
    EXPECT_EQ(LastBalanceLabel(t.globals), QStringLiteral("Last Balance Posted: "));
    EXPECT_EQ(LastDateRangeLabel(t.globals), QStringLiteral("Last Date Range:  to "));
}

TEST(ReadPostingLog, blankSiteAddressIsAskedForOnce) {
    for (const QByteArray& third : {QByteArray(""), QByteArray("    ")}) {
        test::TestPlatform t;
        writeFile(t.path(QStringLiteral("CV-Log.txt")),
                  "03/02/2026\r\n10\r\n" + third + "\r\n03/01/2026\r\n03/02/2026\r\n");
        t.dialogs.expectInput(kUrlPrompt, kUrlTitle, QStringLiteral("https://typed.example"));
        EXPECT_TRUE(ReadPostingLog(t.globals));
        EXPECT_EQ(t.dialogs.inputPrompts().size(), 1u);
        EXPECT_EQ(t.globals.postingLog.processorSiteUrl, QStringLiteral("https://typed.example"));
        EXPECT_EQ(t.globals.postingLog.lastRangeTo, QStringLiteral("03/02/2026"));
    }
}

TEST(ReadPostingLog, extraLinesAreIgnoredAndACommaShiftsTheFields) {
    test::TestPlatform t;
    writeFile(t.path(QStringLiteral("CV-Log.txt")),
              "03/02/2026\r\n1,234.5\r\nhttps://x.example\r\n03/01/2026\r\n03/02/2026\r\n"
              "extra\r\nmore\r\n");
    EXPECT_TRUE(ReadPostingLog(t.globals));
    EXPECT_EQ(values(t.globals),
              (LogValues{"03/02/2026", "1", "234.5", "https://x.example", "03/01/2026"}));
}

TEST(ReadPostingLog, quotedSiteAddressAndWindows1252Text) {
    test::TestPlatform t;
    writeFile(t.path(QStringLiteral("CV-Log.txt")),
              "\"03/02/2026\"\r\n0\r\n\"https://x.example/a,b\"\r\nCaf\xE9\r\n\r\n");
    EXPECT_TRUE(ReadPostingLog(t.globals));
    EXPECT_EQ(t.globals.postingLog.processorSiteUrl, QStringLiteral("https://x.example/a,b"));
    EXPECT_EQ(t.globals.postingLog.lastRangeFrom, QStringLiteral("Caf\u00e9"));
}

TEST(WritePostingLog, writesFiveCrLfLinesAndTellsTheNewLabels) {
    test::TestPlatform t;
    // The labels as whoever shows them reads them when told.
    std::vector<QStringList> told;
    QObject::connect(&t.globals.postingLogSignals(), &PostingLogSignals::figuresChanged, [&] {
        told.push_back(
            {LastDateLabel(t.globals), LastBalanceLabel(t.globals), LastDateRangeLabel(t.globals)});
    });
    t.globals.postingLog.lastDatePosted = QStringLiteral("3/14/2026");
    t.globals.postingLog.lastBalancePosted = QStringLiteral("1234.5");
    t.globals.postingLog.processorSiteUrl = QStringLiteral("https://pay.example/caf\u00e9");
    t.globals.postingLog.lastRangeFrom = QStringLiteral("2026-03-01");
    t.globals.postingLog.lastRangeTo = QStringLiteral("not a date");
    WritePostingLog(t.globals);

    EXPECT_EQ(fileBytes(t.path(QStringLiteral("CV-Log.txt"))),
              QByteArray("03/14/2026\r\n1234.5\r\nhttps://pay.example/caf\xE9\r\n03/01/2026\r\n"
                         "not a date\r\n"));
    EXPECT_EQ(QDir(t.folder.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("CV-Log.txt")});
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0], (QStringList{QStringLiteral("Last Date Posted: 3/14/2026"),
                                    QStringLiteral("Last Balance Posted: $1,234.50"),
                                    QStringLiteral("Last Date Range: 03/01/2026 to not a date")}));

    // A log that cannot be written leaves the labels as they were.
    t.files.fillDiskOnWriting(QStringLiteral("CV-Log.txt"));
    t.globals.postingLog.lastDatePosted = QStringLiteral("3/15/2026");
    EXPECT_THROW(WritePostingLog(t.globals), Error);
    EXPECT_EQ(told.size(), 1u);
}

TEST(WritePostingLog, replacesTheOldLogAndReadsBack) {
    test::TestPlatform t;
    writeFile(t.path(QStringLiteral("CV-Log.txt")),
              "old\r\nlog\r\nwith\r\nseven\r\nlines\r\n6\r\n7\r\n");
    t.globals.postingLog.processorSiteUrl = QStringLiteral("https://x.example");
    t.globals.postingLog.lastBalancePosted = QStringLiteral("-25");
    WritePostingLog(t.globals);
    EXPECT_EQ(fileBytes(t.path(QStringLiteral("CV-Log.txt"))),
              QByteArray("\r\n-25\r\nhttps://x.example\r\n\r\n\r\n"));

    test::TestPlatform again;
    writeFile(again.path(QStringLiteral("CV-Log.txt")),
              fileBytes(t.path(QStringLiteral("CV-Log.txt"))));
    EXPECT_TRUE(ReadPostingLog(again.globals));
    EXPECT_EQ(values(again.globals), (LogValues{"", "-25", "https://x.example", "", ""}));
}

}  // namespace
}  // namespace corvane
