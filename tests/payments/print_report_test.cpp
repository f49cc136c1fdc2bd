#include "payments/PrintReport.h"
#include "support/Payments.h"
#include "support/RecordingPrinter.h"
#include "support/TestPlatform.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

using test::PrintedText;
using test::PrintRecorder;
using test::TestPlatform;

const QString kPrintTitle = QStringLiteral("Corvane Print");
// 26 blanks: (80 - 29) / 2 = 25.5 goes to the even 26.
const QString kTitle =
    QString(26, QLatin1Char(' ')) + QStringLiteral("Corvane Download Transactions");

struct RowValues {
    QString tid, address, name, amount, date, type, transaction;
};

Payment makeRow(const RowValues& v) {
    return test::makePayment({.tid = v.tid,
                              .address = v.address,
                              .name = v.name,
                              .amount = v.amount,
                              .date = v.date,
                              .check = QStringLiteral("C"),
                              .type = v.type,
                              .transaction = v.transaction});
}

Payment simpleRow(int tenant, const QString& amount) {
    return makeRow({QStringLiteral("T%1").arg(tenant), QStringLiteral("%1 Elm St").arg(tenant),
                    QStringLiteral("Tenant %1").arg(tenant), amount, QStringLiteral("03/01/2026"),
                    QStringLiteral("Rent"), QStringLiteral("B%1").arg(tenant)});
}

PrintedText text(const QString& t, int x, int y, bool bold = false, bool lineBreak = false) {
    return {t, x, y, bold, 10.0, lineBreak, 1};
}

// The date, title and header lines, as they always open the report.
std::vector<PrintedText> reportOpening() {
    return {
        text(QStringLiteral("03/14/2026"), 500, 1220, false, true),
        // Half of 12240 minus 55 characters of 100 twips.
        text(kTitle, 620, 1600, true, true),
        text(QStringLiteral("TID"), 500, 2000),
        text(QStringLiteral("Rental Unit Address"), 1200, 2000),
        text(QStringLiteral("Tenant Name"), 3800, 2000),
        text(QStringLiteral("Amount"), 6000, 2000),
        text(QStringLiteral("Date"), 7100, 2000),
        text(QStringLiteral("Type"), 8200, 2000),
        text(QStringLiteral("Transaction Num"), 8750, 2000),
    };
}

void appendRow(std::vector<PrintedText>& out, int y, const QStringList& cells) {
    const int xs[] = {500, 1200, 3800, 6000, 7100, 8200, 8750};
    for (int i = 0; i < 7; ++i)
        out.push_back(text(cells.at(i), xs[i], y));
}

// Prints as the payment screen does: the step's messages shown through `tp`'s dialogs.
QList<int> printScreen(TestPlatform& tp, const std::vector<Payment>& rows,
                       const QList<int>& selected, int current) {
    const PrintedScreen printed = PrintScreen(tp.dialogs, tp.printers, tp.folder.path(),
                                              tp.environment.today(), rows, selected, current);
    for (const UserMessage& message : printed.messages)
        tell(tp.dialogs, message);
    return printed.selection;
}

class PrintReport : public ::testing::Test {
protected:
    PrintReport() { recorder.attach(tp.printers); }

    std::vector<QString> printedTids() const {
        std::vector<QString> tids;
        for (const PrintedText& t : recorder.visibleTexts()) {
            if (t.y >= 2400 && t.x == 500 && !t.bold)
                tids.push_back(t.text);
        }
        return tids;
    }

    TestPlatform tp;
    PrintRecorder recorder;
};

TEST_F(PrintReport, matchedAndUnmatchedRows_printEveryTextAtItsPlace) {
    const std::vector<Payment> rows = {
        makeRow({QStringLiteral("T42"), QStringLiteral("12 Elm Street"),
                 QStringLiteral("Smith, Jane"), QStringLiteral("1234.56"),
                 QStringLiteral("03/01/2026"), QStringLiteral("Rent"),
                 QStringLiteral("B100200300")}),
        makeRow({QStringLiteral("T#99"), QStringLiteral("(TID not found-PRINT SCREEN!)"),
                 QStringLiteral("(not found-cannot post!)"), QStringLiteral("75.5"),
                 QStringLiteral("03/02/2026"), QStringLiteral("Late Fee"),
                 QStringLiteral("B100200301")}),
    };
    tp.dialogs.expectMessage(QStringLiteral("Screen Printed"), kPrintTitle);

    const QList<int> selection = printScreen(tp, rows, {}, 0);

    std::vector<PrintedText> expected = reportOpening();
    appendRow(
        expected, 2400,
        {"T42", "12 Elm Street", "Smith, Jane", "1234.56", "03/01/2026", "Rent", "B100200300"});
    appendRow(expected, 2640,
              {"T#99", "(TID not found-PRINT", "(not found-cannot po", "75.5", "03/02/2026",
               "Late Fee", "B100200301"});
    // A blank line after the last row, then the total.
    expected.push_back(text(QStringLiteral("Total Amount: $1,310.06"), 500, 3120, true, true));
    EXPECT_EQ(recorder.visibleTexts(), expected);
    EXPECT_EQ(selection, (QList<int>{0, 1}));
    EXPECT_EQ(recorder.jobsStarted(), 1);
    EXPECT_EQ(recorder.jobsEnded(), 1);
    EXPECT_FALSE(tp.dialogs.busy());
    EXPECT_GT(tp.dialogs.busyCalls(), 0);
    // Each line ends once; the title is the only other bold text.
    const auto& all = recorder.texts();
    const long lineEnds =
        std::count_if(all.begin(), all.end(), [](const PrintedText& t) { return t.lineBreak; });
    EXPECT_EQ(lineEnds, 7);  // date, title, header, two rows, blank line, total
}

TEST_F(PrintReport, emptyGrid_printsOpeningAndAZeroTotal) {
    tp.dialogs.expectMessage(QStringLiteral("Screen Printed"), kPrintTitle);
    const QList<int> selection = printScreen(tp, {}, {}, -1);
    std::vector<PrintedText> expected = reportOpening();
    expected.push_back(text(QStringLiteral("Total Amount: $0.00"), 500, 2640, true, true));
    EXPECT_EQ(recorder.visibleTexts(), expected);
    EXPECT_TRUE(selection.isEmpty());
    EXPECT_EQ(recorder.jobsEnded(), 1);
}

TEST_F(PrintReport, valuesAreCutToTheirColumns) {
    const std::vector<Payment> rows = {
        makeRow({QStringLiteral("T1234567890"), QStringLiteral("   123456789012345678901234"),
                 QStringLiteral("Abcdefghijklmnopqrst-uvw"), QStringLiteral("1234567890123.4567"),
                 QStringLiteral("03/01/2026 09:30"), QStringLiteral("Late Fee"),
                 QStringLiteral("  B123456789012345")}),
    };
    tp.dialogs.expectMessage(QStringLiteral("Screen Printed"), kPrintTitle);
    printScreen(tp, rows, {}, 0);
    std::vector<PrintedText> expected;
    // Cut first, then trimmed, except type and transaction number: trimmed, then cut (the
    // 16-character transaction number loses its last character).
    appendRow(expected, 2400,
              {"T1234567", "12345678901234567", "Abcdefghijklmnopqrst", "1234567890123.4",
               "03/01/2026", "Late Fee", "B12345678901234"});
    const std::vector<PrintedText> visible = recorder.visibleTexts();
    const std::vector<PrintedText> printedRow(visible.begin() + 9, visible.begin() + 16);
    EXPECT_EQ(printedRow, expected);
    EXPECT_EQ(visible.back().text, QStringLiteral("Total Amount: $1,234,567,890,123.46"));
}

struct SelectionCase {
    const char* name;
    QList<int> selected;
    int current;
    std::vector<QString> tids;
    QString total;
};

TEST_F(PrintReport, printsTheGridsSelectionInItsOrderAndTotalsOnlyThose) {
    const SelectionCase cases[] = {
        {"current at top", {}, 0, {"T1", "T2", "T3", "T4"}, "$100.00"},
        {"current further down", {}, 2, {"T3", "T4"}, "$70.00"},
        {"selected above current", {0}, 2, {"T1", "T3", "T4"}, "$80.00"},
        {"selection kept in its order", {3, 1}, 2, {"T4", "T2", "T3"}, "$90.00"},
        {"selection inside the added rows", {2}, 0, {"T3", "T1", "T2", "T4"}, "$100.00"},
    };
    const std::vector<Payment> rows = {simpleRow(1, "10.00"), simpleRow(2, "20.00"),
                                       simpleRow(3, "30.00"), simpleRow(4, "40.00")};
    for (const SelectionCase& c : cases) {
        SCOPED_TRACE(c.name);
        TestPlatform platform;
        PrintRecorder rec;
        rec.attach(platform.printers);
        platform.dialogs.expectMessage(QStringLiteral("Screen Printed"), kPrintTitle);
        const QList<int> selection = printScreen(platform, rows, c.selected, c.current);
        std::vector<QString> tids;
        for (const PrintedText& t : rec.visibleTexts()) {
            if (t.y >= 2400 && t.x == 500 && !t.bold)
                tids.push_back(t.text);
        }
        EXPECT_EQ(tids, c.tids);
        EXPECT_EQ(selection.size(), static_cast<qsizetype>(c.tids.size()));
        EXPECT_EQ(rec.visibleTexts().back().text, QStringLiteral("Total Amount: ") + c.total);
    }
}

TEST_F(PrintReport, printerFailures_showTheirOwnTextWithoutScreenPrinted) {
    recorder.failEndDocWith(482, QStringLiteral("Printer error"));
    tp.dialogs.expectMessage(QStringLiteral("Printer error"), kProgramTitle, MsgIcon::None);
    printScreen(tp, {simpleRow(1, "10.00")}, {}, 0);
    EXPECT_FALSE(tp.dialogs.busy());

    TestPlatform noPrinter;  // no job can be started at all
    noPrinter.dialogs.expectMessage(QStringLiteral("Printer error"), kProgramTitle, MsgIcon::None);
    printScreen(noPrinter, {simpleRow(1, "10.00")}, {}, 0);
    EXPECT_FALSE(noPrinter.dialogs.busy());
}

TEST_F(PrintReport, pdfInsteadOfAPrinter_saysWhereTheFileIs) {
    recorder.reportPdfFile(QStringLiteral("/lodgebook/Corvane Download Transactions.pdf"));
    tp.dialogs.expectMessage(QStringLiteral("Screen Printed"), kPrintTitle);
    tp.dialogs.expectMessage(
        QStringLiteral("No printer is installed, so the list was saved as the "
                       "PDF file /lodgebook/Corvane Download Transactions.pdf"),
        kPrintTitle);
    printScreen(tp, {simpleRow(1, "10.00")}, {}, 0);
}

}  // namespace
}  // namespace corvane
