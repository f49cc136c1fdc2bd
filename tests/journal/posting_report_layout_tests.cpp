#include "journal/PostingReport.h"
#include "support/PdfText.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

namespace corvane::test {
namespace {

using journal::RowOutcome;

const char* const kNotFoundName = "(not found-cannot post!)";
const char* const kNotFoundAddress = "(TID not found-PRINT SCREEN!)";
const char* const kLongName = "Vanderbilt-Hollingsworth, Maximilian Jon";  // 40 characters
const char* const kLongAddress = "12345 North Wellington Boulevard, Apartment 1204";

journal::RunRow row(const char* tid, const char* name, const char* address, const char* amount,
                    RowOutcome outcome = RowOutcome::Posted, const char* note = "") {
    journal::RunRow r;
    r.tid = QString::fromUtf8(tid);
    r.name = QString::fromUtf8(name);
    r.address = QString::fromUtf8(address);
    r.amount = QString::fromUtf8(amount);
    r.date = QStringLiteral("11/28/2026");
    r.pmtType = QStringLiteral("Rent");
    r.transactionNumber = QStringLiteral("B179613540017788");
    r.outcome = outcome;
    r.note = QString::fromUtf8(note);
    return r;
}

// The report of runs holding the longest texts the program writes: every text printed whole
// (no word cut short), inside the page, no two texts on one line overlapping; and where the
// texts fit, the row on one line.
TEST(PostingReportLayout, theLongestTextsArePrintedWholeWithinTheirColumnsAndThePage) {
    const journal::RunRow notFound =
        row("T#99", kNotFoundName, kNotFoundAddress, "75.00", RowOutcome::NoTenant);
    const journal::RunRow longName = row("T1042", kLongName, kLongAddress, "1250.00");
    const journal::RunRow large = row("T7", "Lee, Ann", "12 Oak St", "922337203685477.58");
    const journal::RunRow noted =
        row("T1042", kLongName, kNotFoundAddress, "-922337203685477.58", RowOutcome::Note,
            "Already posted 11/02/2026, changed in ledger");
    const struct Case {
        const char* what;
        std::vector<journal::RunRow> rows;
        std::vector<const char*> printed;  // every text of the rows as printed
        const char* line;                  // a row that reads whole on one line; null: wrapped
    } cases[] = {
        {"not-found texts",
         {notFound},
         {"T#99", kNotFoundName, kNotFoundAddress, "$75.00", "Left out: no tenant"},
         "T#99 (not found-cannot post!) (TID not found-PRINT SCREEN!) $75.00 11/28/2026 Rent "
         "B179613540017788 Left out: no tenant"},
        {"40-character name",
         {longName},
         {"T1042", kLongName, kLongAddress, "$1,250.00", "Posted"},
         "T1042 Vanderbilt-Hollingsworth, Maximilian Jon 12345 North Wellington Boulevard, "
         "Apartment 1204 $1,250.00 11/28/2026 Rent B179613540017788 Posted"},
        {"large amount",
         {large},
         {"$922,337,203,685,477.58"},
         "T7 Lee, Ann 12 Oak St $922,337,203,685,477.58 11/28/2026 Rent B179613540017788 Posted"},
        {"all at once",
         {notFound, longName, large, noted},
         {kNotFoundName, kNotFoundAddress, kLongName, kLongAddress, "$922,337,203,685,477.58",
          "-$922,337,203,685,477.58", "Left out: Already posted 11/02/2026, changed in ledger"},
         nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        journal::Run run;
        run.state = journal::RunState::Posted;
        run.postedAt = QDateTime(QDate(2026, 12, 1), QTime(14, 30));
        run.computer = QStringLiteral("OFFICE-PC");
        run.fileName = QStringLiteral("paymentHistory.csv");
        run.rows = c.rows;
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString pdf = dir.filePath(PostingReportFileName(run));
        WritePostingReport(run, pdf);

        const QString text = pdfText(pdf);
        QStringList lines;
        for (const QString& line : text.split(QLatin1Char('\n')))
            lines << line.simplified();
        const QStringList tokens = text.simplified().split(QLatin1Char(' '));
        for (const char* printed : c.printed) {
            for (const QString& word : QString::fromUtf8(printed).split(QLatin1Char(' ')))
                EXPECT_TRUE(tokens.contains(word)) << word.toStdString() << "\n"
                                                   << text.toStdString();
        }
        if (c.line) {
            EXPECT_TRUE(lines.contains(QString::fromUtf8(c.line))) << text.toStdString();
        }

        const PdfWords words = pdfWords(pdf);
        ASSERT_FALSE(words.words.empty());
        const double margin = 36;  // half an inch, in points
        std::map<std::pair<int, long>, std::vector<const PdfWord*>> byLine;
        for (const PdfWord& w : words.words) {
            EXPECT_GE(w.xMin, margin - 0.5) << w.text.toStdString();
            EXPECT_LE(w.xMax, words.pageWidth - margin + 0.5) << w.text.toStdString();
            byLine[{w.page, std::lround(w.yMax)}].push_back(&w);
        }
        for (auto& [at, line] : byLine) {
            std::sort(line.begin(), line.end(),
                      [](const PdfWord* a, const PdfWord* b) { return a->xMin < b->xMin; });
            for (std::size_t i = 1; i < line.size(); ++i)
                EXPECT_GE(line[i]->xMin, line[i - 1]->xMax - 0.01)
                    << line[i - 1]->text.toStdString() << " overlaps "
                    << line[i]->text.toStdString();
        }
    }
}

}  // namespace
}  // namespace corvane::test
