#include "journal/PostingReport.h"
#include "support/PdfText.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace corvane::test {
namespace {

journal::RunRow row(const char* tid, const char* name, const char* address, const char* amount,
                    const char* note = nullptr) {
    journal::RunRow r;
    r.tid = QString::fromUtf8(tid);
    r.name = QString::fromUtf8(name);
    r.address = QString::fromUtf8(address);
    r.amount = QString::fromUtf8(amount);
    r.date = QStringLiteral("11/28/2026");
    r.pmtType = QStringLiteral("Rent");
    r.transactionNumber = QStringLiteral("B179613540017788");
    r.outcome = note ? journal::RowOutcome::Note : journal::RowOutcome::Posted;
    r.note = QString::fromUtf8(note);
    return r;
}

// The longest texts the program writes, each printed whole (every word of it), inside the page
// and overlapping no other text; where the page has room, each row on one line; a row never split
// over two pages, each page headed by the captions.
TEST(PostingReportLayout, theLongestTextsArePrintedWholeWithinTheirColumnsAndThePage) {
    const auto notFound = row("T#99", "(not found-cannot post!)", "(TID not found-PRINT SCREEN!)",
                              "75.00", "no tenant");
    const auto longName = row("T1042", "Vanderbilt-Hollingsworth, Maximilian Jon",  // 40
                              "12345 North Wellington Boulevard, Apartment 1204", "1250.00");
    const auto large = row("T7", "Lee, Ann", "12 Oak St", "-922337203685477.58",
                           "Already posted 11/02/2026, changed in ledger");
    // Rows that wrap, over more than one page, with a letter Liberation Sans lacks (drawn in a
    // font that has it, as DejaVu Sans does).
    std::vector<journal::RunRow> pages;
    for (int i = 1; i <= 40; ++i) {
        const QByteArray n = QByteArray::number(i);
        pages.push_back(row("T" + n, "Vanderbilt-Hollingsworth \u10D0, Maximilian Jon" + n,
                            "12345 North Wellington Boulevard, Apartment " + n, "1250.00",
                            "Already posted 11/02/2026, changed in ledger"));
    }
    const QString remark = QStringLiteral("Rent paid through the processor, ").repeated(6);
    const struct {
        std::vector<journal::RunRow> rows;
        const char* line;  // null: the rows wrap
    } cases[] = {
        {{notFound},
         "T#99 (not found-cannot post!) (TID not found-PRINT SCREEN!) $75.00 11/28/2026 Rent "
         "B179613540017788 Left out: no tenant"},
        {{longName},
         "T1042 Vanderbilt-Hollingsworth, Maximilian Jon 12345 North Wellington Boulevard, "
         "Apartment 1204 $1,250.00 11/28/2026 Rent B179613540017788 Posted"},
        {{large},
         "T7 Lee, Ann 12 Oak St -$922,337,203,685,477.58 11/28/2026 Rent B179613540017788 Left "
         "out: Already posted 11/02/2026, changed in ledger"},
        {{notFound, longName, large, notFound}, nullptr},
        {pages, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line ? c.line : "all the rows");
        journal::Run run;
        run.state = journal::RunState::Posted;
        run.postedAt = QDateTime(QDate(2026, 12, 1), QTime(14, 30));
        run.rows = c.rows;
        run.remarkChoice = 2;
        run.remarkText = remark;
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString pdf = dir.filePath(PostingReportFileName(run));
        WritePostingReport(run, {}, pdf);

        const QString text = pdfText(pdf);
        const QStringList words = text.simplified().split(QLatin1Char(' '));
        QStringList lines;
        for (const QString& line : text.split(QLatin1Char('\n')))
            lines << line.simplified();
        for (const journal::RunRow& r : c.rows) {
            for (const QString& field :
                 {r.tid, r.name, r.address, r.note, r.transactionNumber, remark}) {
                for (const QString& word : field.split(QLatin1Char(' '), Qt::SkipEmptyParts))
                    EXPECT_TRUE(words.contains(word)) << word.toStdString() << text.toStdString();
            }
        }
        if (c.line) {
            EXPECT_TRUE(lines.contains(QString::fromUtf8(c.line))) << text.toStdString();
        }

        const PdfWords placed = pdfWords(pdf);
        std::map<std::pair<int, long>, std::map<double, const PdfWord*>> placedLines;
        std::map<QString, int> pageOf;
        std::set<int> headed;
        for (const PdfWord& w : placed.words) {
            pageOf[w.text] = w.page;
            if (w.text == QLatin1String("Result"))
                headed.insert(w.page);
            EXPECT_GE(w.xMin, 35.5) << w.text.toStdString();  // the half-inch margins
            EXPECT_LE(w.xMax, placed.pageWidth - 35.5) << w.text.toStdString();
            placedLines[{w.page, std::lround(w.yMax)}][w.xMin] = &w;
        }
        for (const auto& [at, line] : placedLines) {
            for (auto w = line.begin(), next = std::next(w); next != line.end(); w = next++)
                EXPECT_GE(next->first, w->second->xMax - 0.01) << w->second->text.toStdString();
        }
        for (const journal::RunRow& r : c.rows) {
            const int page = pageOf[r.tid];
            EXPECT_EQ(pageOf[r.name.section(QLatin1Char(' '), -1)], page) << r.tid.toStdString();
            EXPECT_TRUE(headed.count(page)) << r.tid.toStdString();
        }
    }
}

}  // namespace
}  // namespace corvane::test
