#include "app/frmCorvaneMain.h"
#include "app/frmHistory.h"
#include "journal_fixture.h"
#include "support/PdfText.h"

#include <QAbstractItemModel>
#include <QAccessible>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTableView>

#include <gtest/gtest.h>

namespace corvane::test {
namespace {

const QString kErrorTitle = QStringLiteral("Corvane Error Message");
const QString kReportTitle = QStringLiteral("Corvane Posting Report");

// A line's words joined by single blanks, as a reader sees them.
QStringList readLines(const QString& text) {
    QStringList lines;
    for (const QString& line : text.split(QLatin1Char('\n')))
        lines << line.simplified();
    return lines;
}

class HistoryWindow : public JournalFixture {
protected:
    frmHistory& open() {
        openLedger();
        window = std::make_unique<frmHistory>(tp.globals);
        window->Load();
        window->show();
        return *window;
    }
    QPushButton* button(const char* name) const {
        return window->findChild<QPushButton*>(QLatin1String(name));
    }
    QStringList row(int r) const {
        const QAbstractItemModel* model =
            window->findChild<QTableView*>(QStringLiteral("gridHistory"))->model();
        QStringList cells;
        for (int c = 0; c < model->columnCount(); ++c)
            cells << model->index(r, c).data().toString();
        return cells;
    }
    int rowCount() const {
        return window->findChild<QTableView*>(QStringLiteral("gridHistory"))->model()->rowCount();
    }
    // Three runs: an older one with fees and a deposit, reversed since; one with a run left out;
    // the newest without fees or deposit.
    void postThreeRuns() {
        addTenant(101);
        addTenant(102);
        const auto first =
            postRun(QDateTime(QDate(2026, 11, 2), QTime(9, 5)),
                    {{101, "1250.00", "11/01/2026", "25"}, {102, "900.50", "10/30/2026", "25"}},
                    QStringLiteral("1045"));
        journal().setState(first, journal::RunState::Reversed, QDate(2026, 11, 3));
        postRun(QDateTime(QDate(2026, 12, 1), QTime(14, 30)),
                {{101, "1250.00", "11/28/2026", "25"},
                 {0, "75.00", "11/29/2026"},
                 {102, "900.50", "11/30/2026", nullptr, "Already posted 11/02/2026"}},
                QStringLiteral("1046"));
        postRun(QDateTime(QDate(2026, 12, 8), QTime(8, 0)), {{102, "1,100.00", "12/07/2026"}});
    }

    std::unique_ptr<frmHistory> window;
};

TEST_F(HistoryWindow, listsEveryRunNewestFirstWithItsFigures) {
    postThreeRuns();
    frmHistory& w = open();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Corvane Posting History"));
    EXPECT_TRUE(w.isModal());
    ASSERT_EQ(rowCount(), 3);
    const QAbstractItemModel* model =
        w.findChild<QTableView*>(QStringLiteral("gridHistory"))->model();
    QStringList captions;
    for (int c = 0; c < model->columnCount(); ++c)
        captions << model->headerData(c, Qt::Horizontal).toString();
    EXPECT_EQ(captions, (QStringList{"Posted", "Computer", "Payments", "Total", "Fees", "Deposit #",
                                     "Date Range", "Left Out", "State"}));
    EXPECT_EQ(row(0), (QStringList{"12/08/2026 08:00", "OFFICE-PC", "1", "$1,100.00", "$0.00", "",
                                   "12/07/2026 to 12/07/2026", "0", "Posted"}));
    EXPECT_EQ(row(1), (QStringList{"12/01/2026 14:30", "OFFICE-PC", "1", "$1,250.00", "$25.00",
                                   "1046", "11/28/2026 to 11/28/2026", "2", "Posted"}));
    EXPECT_EQ(row(2),
              (QStringList{"11/02/2026 09:05", "OFFICE-PC", "2", "$2,150.50", "$50.00", "1045",
                           "10/30/2026 to 11/01/2026", "0", "Reversed 11/03/2026"}));
    // The newest run is selected; any run the ledger holds as posted may be reversed.
    EXPECT_EQ(w.selectedRunID(), 3);
    EXPECT_TRUE(button("cmdReport")->isEnabled());
    EXPECT_TRUE(button("cmdReverse")->isEnabled());
    EXPECT_TRUE(w.findChild<QLabel*>(QStringLiteral("labNoRuns"))->isHidden());
    w.selectRow(1);
    EXPECT_TRUE(button("cmdReport")->isEnabled());
    EXPECT_TRUE(button("cmdReverse")->isEnabled());
    w.selectRow(2);
    EXPECT_FALSE(button("cmdReverse")->isEnabled());
}

TEST_F(HistoryWindow, everyControlIsReachableByItsCaption) {
    postThreeRuns();
    frmHistory& w = open();
    QStringList names;
    const std::function<void(QAccessibleInterface*)> walk = [&](QAccessibleInterface* node) {
        if (!node)
            return;
        names << node->text(QAccessible::Name);
        for (int i = 0; i < node->childCount(); ++i)
            walk(node->child(i));
    };
    walk(QAccessible::queryAccessibleInterface(&w));
    for (const char* name :
         {"Posting Report", "Reverse This Run", "Exit", "Posting Runs", "Posted", "Date Range",
          "12/08/2026 08:00", "$2,150.50", "Reversed 11/03/2026"}) {
        EXPECT_TRUE(names.contains(QLatin1String(name))) << name;
    }
}

TEST_F(HistoryWindow, noRunShowsTheLabelAndDisablesBothButtons) {
    for (const bool journalFile : {false, true}) {
        if (journalFile)
            journal();  // an empty journal
        frmHistory& w = open();
        EXPECT_EQ(rowCount(), 0);
        auto* label = w.findChild<QLabel*>(QStringLiteral("labNoRuns"));
        EXPECT_FALSE(label->isHidden());
        EXPECT_EQ(label->text(), QStringLiteral("No posting run has been recorded yet."));
        EXPECT_FALSE(button("cmdReport")->isEnabled());
        EXPECT_FALSE(button("cmdReverse")->isEnabled());
        EXPECT_EQ(QFile::exists(tp.path(QStringLiteral("CV-Journal.db"))), journalFile)
            << "the history never creates a journal";
    }
}

TEST_F(HistoryWindow, unusableJournalIsToldAndLeftAsItIs) {
    const QByteArray bytes = "not a journal at all, but somebody's notes";
    QFile file(tp.path(QStringLiteral("CV-Journal.db")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    tp.dialogs.expectMessage(
        QStringLiteral("The posting journal CV-Journal.db cannot be used: it is not a database."),
        kErrorTitle, MsgIcon::Exclamation);
    open();
    EXPECT_EQ(rowCount(), 0);
    EXPECT_FALSE(button("cmdReport")->isEnabled());
    EXPECT_FALSE(button("cmdReverse")->isEnabled());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), bytes);
}

TEST_F(HistoryWindow, mainMenuOpensTheHistoryBesideViewFiles) {
    frmCorvaneMain menu(tp.globals);
    auto* history = menu.findChild<QPushButton*>(QStringLiteral("cmdHistory"));
    ASSERT_TRUE(history);
    EXPECT_EQ(history->text(), QStringLiteral("Posting &History"));
    EXPECT_EQ(history->parentWidget(),
              menu.findChild<QPushButton*>(QStringLiteral("cmdViewFiles"))->parentWidget());
}

TEST_F(HistoryWindow, reportOfTheSelectedRunIsWrittenAndOpened) {
    postThreeRuns();
    open().selectRow(1);
    const QString path = tp.path(QStringLiteral("Corvane Posting Report 2026-12-01 1430.pdf"));
    tp.dialogs.expectMessage(
        QStringLiteral("The posting report was written to:\r") + QDir::toNativeSeparators(path),
        kReportTitle);
    button("cmdReport")->click();
    EXPECT_EQ(tp.shell.openedDocuments, QStringList{path});
    const QStringList lines = readLines(pdfText(path));
    const QStringList expected = {
        "Corvane Posting Report",
        "Posted: 12/01/2026 14:30 Computer: OFFICE-PC",
        "Payment file: paymentHistory.csv",
        "Remark: the default remark of the Lodgebook preferences",
        "Management fees: Yes",
        "Deposit number: 1046",
        "State: Posted",
        "TID Tenant Name Unit Address Amount Date Type Transaction Number Result",
        "T101 Ann101 Lee 101 Elm St $1,250.00 11/28/2026 Rent B17961354001 Posted, fee -$25.00",
        "T#9 (not found-cannot post!) (TID not found-PRINT SCREEN!) $75.00 11/29/2026 Rent "
        "B17961354002 Left out: no tenant",
        "T102 Ann102 Lee 102 Elm St $900.50 11/30/2026 Rent B17961354003 Left out: Already "
        "posted 11/02/2026",
        "By Owner",
        "Owner Property Payments Total Fees Fees Total Total Less Fees",
        "Owner, Olga Elm Court 1 $1,250.00 1 $25.00 $1,225.00",
        "Payments posted: 1 Total: $1,250.00",
        "Management fees: 1 Total: $25.00",
        "Deposit 1046: $1,325.00",
        "Rows left out: 2",
        "Page 1 of 1",
    };
    QStringList shown;
    for (const QString& line : lines) {
        if (!line.isEmpty())
            shown << line;
    }
    EXPECT_EQ(shown, expected);
}

TEST_F(HistoryWindow, longReportCarriesTitleAndPageNumberOnEveryPage) {
    addTenant(101);
    std::vector<RowPlan> rows(130, RowPlan{101, "10.00", "12/01/2026"});
    postRun(QDateTime(QDate(2026, 12, 9), QTime(7, 45)), rows);
    open();
    const QString path = tp.path(QStringLiteral("Corvane Posting Report 2026-12-09 0745.pdf"));
    tp.dialogs.expectMessage(
        QStringLiteral("The posting report was written to:\r") + QDir::toNativeSeparators(path),
        kReportTitle);
    button("cmdReport")->click();
    const QStringList pages = pdfText(path).split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    ASSERT_GE(pages.size(), 3);
    int rowLines = 0;
    for (qsizetype p = 0; p < pages.size(); ++p) {
        const QStringList lines = readLines(pages[p]);
        EXPECT_TRUE(lines.contains(QStringLiteral("Corvane Posting Report"))) << p;
        EXPECT_TRUE(lines.contains(QStringLiteral("Page %1 of %2").arg(p + 1).arg(pages.size())))
            << p;
        rowLines += static_cast<int>(lines.filter(QStringLiteral("T101 Ann101")).size());
    }
    EXPECT_EQ(rowLines, 130);
    const QStringList last = readLines(pages.last());
    EXPECT_TRUE(last.contains(QStringLiteral("Payments posted: 130 Total: $1,300.00")));
    EXPECT_TRUE(last.contains(QStringLiteral("Rows left out: 0")));
}

TEST_F(HistoryWindow, reportOfARunThatRecordedAReturn_linksTheRowToItsPosting) {
    addTenant(101);
    const auto paid = postRun(QDateTime(QDate(2026, 12, 9), QTime(10, 15)),
                              {{101, "1250.00", "12/01/2026", "25", nullptr, "B77"}});
    postReturns(QDateTime(QDate(2026, 12, 14), QTime(9, 0)), paid, {1});
    open();
    EXPECT_EQ(row(0)[8], QStringLiteral("Posted"));
    const QString path = tp.path(QStringLiteral("Corvane Posting Report 2026-12-14 0900.pdf"));
    tp.dialogs.expectMessage(
        QStringLiteral("The posting report was written to:\r") + QDir::toNativeSeparators(path),
        kReportTitle);
    button("cmdReport")->click();
    const QStringList lines = readLines(pdfText(path));
    EXPECT_TRUE(
        lines.contains(QStringLiteral("T101 Ann101 Lee 101 Elm St $1,250.00 12/01/2026 "
                                      "Rent B77 Return recorded (posted 12/09/2026)")))
        << lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(lines.contains(QStringLiteral("Payments posted: 0 Total: $0.00")));
    EXPECT_TRUE(lines.contains(QStringLiteral("Returns recorded: 1 Total: $1,250.00")));
    EXPECT_TRUE(lines.contains(QStringLiteral("Rows left out: 0")));
}

}  // namespace
}  // namespace corvane::test
