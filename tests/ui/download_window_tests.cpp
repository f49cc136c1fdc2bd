#include "payments/PaymentIntake.h"
#include "payments/PaymentMatching.h"
#include "payments/frmDownload.h"
#include "platform/ledger/Database.h"
#include "support/LineEnds.h"
#include "support/RecordingPrinter.h"
#include "support/TestLedger.h"
#include "support/TestPlatform.h"
#include "support/Widgets.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>
#include <QToolTip>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace corvane::test {
namespace {

const QString kNoPayments = QStringLiteral(
    "There were no tenant payments found to process, or there was invalid data in the payment "
    "file. Please try again later.");
const QString kLeaveQuestion = QStringLiteral(
    "You are trying to leave without updating your TENANT LEDGERS. Are you SURE you want to exit "
    "WITHOUT POSTING these transactions?");
const QString kLeaveTitle = QStringLiteral("Corvane Transaction Posting");

QByteArray paymentLine(const char* id, const char* account, const char* amount) {
    return QByteArray(id) + ',' + account + ",Payer,1 Road,06/01/2026,Check,\"" + amount +
           "\",Posted\n";
}

class DownloadWindowTest : public ::testing::TestWithParam<LineEnd> {
protected:
    DownloadWindowTest() : ledger(tp.path(kLedgerFileName)) {
        QDir(home.path()).mkpath(QStringLiteral("Downloads"));
        tp.environment.variables.insert(QStringLiteral("USERPROFILE"), home.path());
        Globals& g = tp.globals;
        g.PaymentFileName = kPaymentFileName;
        tp.setUsualPreferences();
        ledger.addOwner(7, QStringLiteral("Owner"), QStringLiteral("Olga"));
        ledger.addProperty(3, 7, QStringLiteral("Elm Court"));
        ledger.addTenant(42, 3, QStringLiteral("Ann"), QStringLiteral("Lee"));
        ledger.addUnit(1, 42, QStringLiteral("12 Oak St"));
        g.LedgerDb = ledger::Database::open(ledger.path());
    }

    QString staged() const { return tp.path(kPaymentFileName); }
    QString archive() const { return tp.path(kPaymentArchiveFileName); }
    // A payment download's bytes, written with LF ends, in the line ends of the test's run.
    QByteArray inLineEnds(const QByteArray& lfBytes) const {
        return withLineEnd(lfBytes, GetParam());
    }
    void stage(const QByteArray& bytes) { tp.files.writeAtomically(staged(), inLineEnds(bytes)); }
    void stageThree() {
        stage(paymentLine("B1", "T42", "$100.00") + paymentLine("B2", "T99", "-$25.00") +
              paymentLine("B3", "T42", "$1,000.50") + "\nTotal,3,,,,,$1075.50\n");
    }

    template <typename T>
    T* child(const char* name) {
        return test::child<T>(screen, name);
    }
    QString label(const char* name) { return child<QLabel>(name)->text(); }
    bool enabled(const char* name) { return child<QPushButton>(name)->isEnabled(); }
    QString cell(int row, int column) {
        return shownCell(screen.stagedPayments().rows().at(static_cast<size_t>(row)), column);
    }
    void expectEmptyAndDisabled() {
        EXPECT_EQ(screen.StagedCount(), 0);
        EXPECT_EQ(child<QTableView>("gridACHDownload")->model()->rowCount(), 0);
        EXPECT_FALSE(enabled("cmdUpdate"));
        EXPECT_FALSE(enabled("cmdPrintScreen"));
        EXPECT_FALSE(tp.dialogs.busy());
    }
    void selectRows(std::initializer_list<int> rows) {
        auto* grid = child<QTableView>("gridACHDownload");
        grid->clearSelection();
        for (int r : rows) {
            grid->selectionModel()->select(screen.stagedPayments().index(r, 4),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }

    TestPlatform tp;
    QTemporaryDir home;
    TestLedger ledger;
    frmDownload screen{tp.globals};
};

TEST_P(DownloadWindowTest, showsEveryControlWithItsCaption) {
    EXPECT_EQ(screen.windowTitle(), QStringLiteral("Corvane Payment Download"));
    EXPECT_EQ(child<QPushButton>("cmdUpdate")->text(),
              QStringLiteral("Update Lodgebook Ledgers NOW"));
    EXPECT_EQ(child<QPushButton>("cmdPrintScreen")->text(), QStringLiteral("&Print Screen"));
    EXPECT_EQ(child<QPushButton>("cmdExit")->text(), QStringLiteral("&Exit"));
    EXPECT_EQ(label("labTotal"), QStringLiteral("Total of Corvane Payments:"));
    EXPECT_EQ(label("labCorvanePayments"), QStringLiteral("Number of Corvane Payments:"));
    EXPECT_TRUE(label("labDeposits").startsWith(QStringLiteral("Below are the Tenant deposits")));
    EXPECT_EQ(child<QGroupBox>("optRemark")->title(),
              QStringLiteral("Transaction Remark Choices:"));
    EXPECT_EQ(child<QGroupBox>("frmCreateDeposit")->title(), QStringLiteral("Create Deposit:"));
    EXPECT_EQ(child<QGroupBox>("fraPostMgmtFees")->title(), QStringLiteral("Post Management Fees"));
    EXPECT_EQ(child<QCheckBox>("chkPostMgmtFees")->text(),
              QStringLiteral("Post a managment fee on each rent income transaction."));
    EXPECT_EQ(child<QCheckBox>("chkCreateDeposit")->text(),
              QStringLiteral("Yes, create a deposit using this deposit number:"));
    EXPECT_EQ(child<QLineEdit>("txtRemark")->maxLength(), 60);
    EXPECT_EQ(child<QLineEdit>("txtCreateDeposit")->maxLength(), 8);
    auto* grid = child<QTableView>("gridACHDownload");
    for (int c = 0; c < 12; ++c) {
        EXPECT_EQ(grid->isColumnHidden(c), c == 0 || c == 1 || c == 2 || c == 9) << c;
    }
    ASSERT_EQ(grid->actions().size(), 1);
    EXPECT_EQ(grid->actions().first()->text(), QStringLiteral("Delete Row"));
}

TEST_P(DownloadWindowTest, threePaymentsAndASummaryGiveThreeMatchedRows) {
    stageThree();
    screen.Load();
    ASSERT_EQ(screen.StagedCount(), 3);
    EXPECT_EQ(label("labCorvanePayments"), QStringLiteral("Number of Corvane Payments: 3"));
    EXPECT_EQ(label("labTransTotal"), QStringLiteral("$1,125.50"));
    EXPECT_EQ(cell(0, staged::TID), QStringLiteral("T42"));
    EXPECT_EQ(cell(0, staged::UnitAddress), QStringLiteral("12 Oak St"));
    EXPECT_EQ(cell(0, staged::TenantName), QStringLiteral("Lee, Ann"));
    EXPECT_EQ(cell(1, staged::TID), QStringLiteral("T#99"));
    EXPECT_EQ(cell(1, staged::Amount), QStringLiteral("-25.00"));
    EXPECT_EQ(cell(2, staged::Amount), QStringLiteral("1000.50"));
    EXPECT_EQ(cell(2, staged::TransactionNumber), QStringLiteral("B3"));
    EXPECT_TRUE(enabled("cmdUpdate"));
    EXPECT_TRUE(enabled("cmdPrintScreen"));
    EXPECT_FALSE(tp.dialogs.busy());
    EXPECT_TRUE(QFile::exists(staged()));
}

TEST_P(DownloadWindowTest, aPaymentAndARefundTotalTheirAbsoluteAmounts) {
    stage(paymentLine("B1", "T42", "$100.00") + paymentLine("B2", "T42", "-$25.00"));
    screen.Load();
    EXPECT_EQ(label("labTransTotal"), QStringLiteral("$125.00"));
    EXPECT_EQ(screen.PaymentsTotal(), ledger::Currency::fromUnits(1250000));
}

TEST_P(DownloadWindowTest, filesWithoutACompletePaymentLineAreDeleted) {
    const QByteArray files[] = {"B1,T42,a,b,06/01/2026,Check,$1.00,Posted",
                                "Transaction,Account\n" + paymentLine("B1", "T42", "$1.00"),
                                "\xEF\xBB\xBF" + paymentLine("B1", "T42", "$1.00"), ""};
    for (const QByteArray& bytes : files) {
        stage(bytes);
        tp.dialogs.expectMessage(kNoPayments, QStringLiteral("Lodgebook Corvane"));
        screen.Load();
        tp.dialogs.verifyAllShown();
        EXPECT_FALSE(QFile::exists(staged())) << bytes.constData();
        expectEmptyAndDisabled();
    }
}

TEST_P(DownloadWindowTest, aShortLineIsAProblemInThePaymentFileAndTheFileStays) {
    stage(paymentLine("B1", "T42", "$1.00") + "B2,T42,a,b,$1.00\n");
    tp.dialogs.expectMessage(QStringLiteral("There is a problem in the Corvane Payment File. "
                                            "Please contact support for assistance."),
                             QStringLiteral("Corvane"));
    screen.Load();
    expectEmptyAndDisabled();
    EXPECT_TRUE(QFile::exists(staged()));
}

TEST_P(DownloadWindowTest, malformedLinesShowTheErrorNumberAndWhatIsWrong) {
    struct Case {
        QByteArray line;
        QString message;
    };
    const Case cases[] = {
        {"B2,T42,a,b,06/01/2026,Check,100.00,Posted\n",
         "Unexpected error in payment file: 5 - Invalid procedure call or argument: a payment "
         "line has no amount (no \"$\") (line 2)"},
        {"B2,T42,a,b,06/01/2026,Check,$100,Posted\n",
         "Unexpected error in payment file: 5 - Invalid procedure call or argument: the amount "
         "of a payment line has no decimal point (line 2)"},
        {"B2,,a,b,06/01/2026,Check,$1.00,Posted\n",
         "Unexpected error in payment file: 13 - Type mismatch: a payment line has no account "
         "number (line 2)"},
    };
    for (const Case& c : cases) {
        stage(paymentLine("B1", "T42", "$1.00") + c.line);
        tp.dialogs.expectMessage(c.message, QStringLiteral("Payment File Download"));
        screen.Load();
        tp.dialogs.verifyAllShown();
        expectEmptyAndDisabled();
        EXPECT_TRUE(QFile::exists(staged()));
    }
}

TEST_P(DownloadWindowTest, moreThan32767PaymentsAreRefusedWhole) {
    const QByteArray line = paymentLine("B1", "T42", "$1.00");
    QByteArray bytes;
    bytes.reserve(line.size() * 32768);
    for (int i = 0; i < 32768; ++i)
        bytes += line;
    stage(bytes);
    tp.dialogs.expectMessage(QStringLiteral("Unexpected error in payment file: 6 - Overflow: the "
                                            "payment file holds more than 32,767 payments"),
                             QStringLiteral("Payment File Download"));
    screen.Load();
    expectEmptyAndDisabled();
    EXPECT_TRUE(QFile::exists(staged()));
}

TEST_P(DownloadWindowTest, anAmountBeyondTheCurrencyRangeIsAnOverflow) {
    stage(paymentLine("B1", "T42", "$1.00") +
          paymentLine("B2", "T42", "$99,999,999,999,999,999,999.00"));
    tp.dialogs.expectMessage(QStringLiteral("Unexpected error in payment file: 6 - Overflow: an "
                                            "amount or the total of the payments is too large"),
                             QStringLiteral("Payment File Download"));
    screen.Load();
    expectEmptyAndDisabled();
}

// Start-up could not open the ledger; now it opens: the screen opens it and loads as usual.
TEST_P(DownloadWindowTest, aLedgerNotOpenedAtStartUpIsOpenedAgain) {
    stageThree();
    tp.globals.LedgerDb.reset();
    screen.Load();  // no message
    EXPECT_TRUE(tp.globals.LedgerDb);
    EXPECT_EQ(screen.StagedCount(), 3);
    EXPECT_EQ(cell(0, staged::TenantName), QStringLiteral("Lee, Ann"));
}

// Start-up stopped at the ledger, before the log, the file names and the preferences: opening
// the ledger now also reads those, so that the payments can be posted with the preferences.
TEST_P(DownloadWindowTest, aLedgerOpenedAfterStartUpAlsoReadsTheLogAndThePreferences) {
    tp.files.writeAtomically(
        tp.path(kPreferencesFileName),
        "\"Lodgebook\",\"5.20\",\"Co\",\"1 Way\",\"Town\",\"OR\",\"97201\",\"555\"\r\n"
        "1,\"Rent Income;B-4010\",\"RENT\",\"Deposits;T-2010\",\"Deposit\",\"Repairs;U-5020\","
        "\"Repairs\",\"Management Fees;U-5010\"\r\n"
        "\"Management Fee\",\"Late Fee Received;T-4020\",\"Late Fee\",\"x;U-1\",\"x\",\"y;U-2\","
        "\"y\",0\r\n");
    tp.files.writeAtomically(tp.path(kPostingLogFileName),
                             "06/15/2026\r\n1234.5\r\nhttps://pay.example\r\n05/01/2026\r\n"
                             "05/31/2026\r\n");
    Globals& g = tp.globals;
    g.PaymentFileName.clear();
    g.preferences = {};
    g.LedgerDb.reset();
    stageThree();
    screen.Load();  // no message
    EXPECT_EQ(screen.StagedCount(), 3);
    EXPECT_EQ(g.PaymentFileName, kPaymentFileName);
    EXPECT_EQ(g.TenantExportFileName, kTenantExportFileName);
    EXPECT_EQ(g.preferences.rentIncome.text, QStringLiteral("Rent Income;B-4010"));
    EXPECT_EQ(g.preferences.lateFeeRemark, QStringLiteral("Late Fee"));
    EXPECT_EQ(g.postingLog.processorSiteUrl, QStringLiteral("https://pay.example"));
}

// It still cannot be opened: the start-up message for that error, and nothing is taken from
// Downloads nor put in the program folder.
TEST_P(DownloadWindowTest, aLedgerThatStillCannotBeOpenedIsToldAndDownloadsIsUntouched) {
    const QString download = home.filePath(QStringLiteral("Downloads/paymentHistory.csv"));
    tp.files.writeAtomically(download, inLineEnds(paymentLine("B1", "T42", "$100.00")));
    tp.globals.LedgerDb.reset();
    tp.files.writeAtomically(ledger.path(), "Standard Jet DB, locked and half written");
    const QStringList before = QDir(tp.folder.path()).entryList(QDir::AllEntries | QDir::Hidden);
    tp.dialogs.allowAnyMessages();
    screen.Load();
    ASSERT_EQ(tp.dialogs.shown().size(), 1u);
    const ShownMessage& told = tp.dialogs.shown().front();
    EXPECT_TRUE(told.text.startsWith(QStringLiteral("Error 3343: Unrecognized database format")))
        << told.text.toStdString();
    EXPECT_EQ(told.title, QStringLiteral("Corvane Error Message"));
    EXPECT_EQ(told.icon, MsgIcon::Information);
    expectEmptyAndDisabled();
    EXPECT_TRUE(QFile::exists(download));
    EXPECT_EQ(QDir(tp.folder.path()).entryList(QDir::AllEntries | QDir::Hidden), before);

    QFile::remove(ledger.path());
    tp.dialogs.allowAnyMessages(false);
    tp.dialogs.expectMessage(QStringLiteral("Lodgebook data file not found - be sure that the "
                                            "Corvane Program is copied into the same directory or "
                                            "folder as the main Lodgebook Program."),
                             QStringLiteral("Corvane"));
    screen.Load();
    EXPECT_TRUE(QFile::exists(download));
    EXPECT_FALSE(QFile::exists(staged()));
}

TEST_P(DownloadWindowTest, theTotalIsHeardAsItsValueLabelledByItsCaption) {
    stageThree();
    screen.Load();
    QAccessibleInterface* total =
        QAccessible::queryAccessibleInterface(child<QLabel>("labTransTotal"));
    ASSERT_NE(total, nullptr);
    EXPECT_EQ(total->text(QAccessible::Name), QStringLiteral("$1,125.50"));
    const auto labels = total->relations(QAccessible::Label);  // labelled by
    ASSERT_EQ(labels.size(), 1);
    EXPECT_EQ(labels.first().first->text(QAccessible::Name),
              QStringLiteral("Total of Corvane Payments:"));
    QAccessibleInterface* count =
        QAccessible::queryAccessibleInterface(child<QLabel>("labCorvanePayments"));
    ASSERT_NE(count, nullptr);
    EXPECT_EQ(count->text(QAccessible::Name), QStringLiteral("Number of Corvane Payments: 3"));
}

// Captions and texts read whole where the screen has room (at the screen's own size on a 1280 x
// 1024 screen); narrower, the long texts end in "…" and stay whole in the tooltip and the
// accessibility tree, and the captions stay whole.
TEST_P(DownloadWindowTest, gridTextsReadWholeOrCutWithTheWholeTextAtHand) {
    const QString address = QStringLiteral("12345 North Wellington Boulevard, Apartment 1204");
    ledger.addTenant(43, 3, QStringLiteral("Maximilian Jon"),
                     QStringLiteral("Vanderbilt-Hollingsworth"));  // 40 characters with the comma
    ledger.addUnit(2, 43, address);
    stage(paymentLine("B17961354001778899", "T43", "$922,337,203,685.47") +
          paymentLine("B2", "T99", "-$25.00"));
    screen.Load();
    screen.show();
    auto* grid = child<QTableView>("gridACHDownload");
    const QHeaderView* header = grid->horizontalHeader();
    const int margin = 2 * (grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1) + 1;
    const auto fits = [&](int row, int column) {
        const QString text = grid->model()->index(row, column).data().toString();
        return grid->fontMetrics().horizontalAdvance(text) + margin <= header->sectionSize(column);
    };
    const int shownAddress = StagedPayments::gridColumn(staged::UnitAddress);
    for (const int width : {screen.width(), 900}) {
        screen.resize(width, screen.height());
        QApplication::processEvents();
        EXPECT_EQ(grid->horizontalScrollBar()->maximum(), 0) << width;  // the Note column in view
        for (int c = 0; c < header->count(); ++c) {
            if (grid->isColumnHidden(c))
                continue;
            EXPECT_GE(header->sectionSize(c), header->sectionSizeHint(c)) << width << " " << c;
            const bool yields = c == shownAddress || c == shownAddress + 1;  // address, name
            EXPECT_TRUE((width == 900 && yields) || (fits(0, c) && fits(1, c)))
                << width << " " << c;
        }
    }
    EXPECT_FALSE(fits(0, shownAddress));
    const QRect cell = grid->visualRect(grid->model()->index(0, shownAddress));
    QHelpEvent help(QEvent::ToolTip, cell.center(), grid->viewport()->mapToGlobal(cell.center()));
    QApplication::sendEvent(grid->viewport(), &help);
    EXPECT_EQ(QToolTip::text(), address);
    QAccessibleInterface* shown = QAccessible::queryAccessibleInterface(grid);
    EXPECT_EQ(shown->tableInterface()->cellAt(0, shownAddress)->text(QAccessible::Name), address);
}

// Dates as the ledger engine reads them: a two-digit year, a time after the date.
TEST_P(DownloadWindowTest, shortDatesAndDatesWithATimePost) {
    stage(
        "B1,T42,Payer,1 Road,12/4/26,Check,\"$100.00\",Posted\n"
        "B2,T42,Payer,1 Road,12/04/2026 10:15 AM,Check,\"$50.00\",Posted\n"
        "B3,T42,Payer,1 Road,1/2/30,Check,\"$5.00\",Posted\n");
    screen.Load();
    tp.dialogs.allowAnyMessages();
    child<QPushButton>("cmdUpdate")->click();
    EXPECT_TRUE(screen.LedgersUpdated());
    for (const ShownMessage& m : tp.dialogs.shown())
        EXPECT_FALSE(m.text.contains(QStringLiteral("not a valid date"))) << m.text.toStdString();
    std::vector<QString> dates;
    for (const QVariantList& row :
         ledger.rows(QStringLiteral("SELECT TransDate FROM Transactions ORDER BY TransID")))
        dates.push_back(row[0].toString());
    EXPECT_EQ(dates, (std::vector<QString>{"2026-12-04", "2026-12-04", "1930-01-02"}));
    const QByteArray log = tp.files.readAll(tp.path(kPostingLogFileName));
    EXPECT_TRUE(log.endsWith("\r\n01/02/1930\r\n12/04/2026\r\n")) << log.constData();
}

TEST_P(DownloadWindowTest, anInvalidManagementFeeCategorySaysNothingWasPosted) {
    stage(paymentLine("B1", "T42", "$100.00"));
    screen.Load();
    tp.globals.preferences.mgmtFee = readCategory(QStringLiteral("Management Fees;U-"));
    child<QCheckBox>("chkPostMgmtFees")->setChecked(true);
    tp.dialogs.expectQuestion(QStringLiteral("You have NOT chosen to create a BANK DEPOSIT for "
                                             "these transactions. Press 'Yes' to CONTINUE or 'No' "
                                             "to CANCEL."),
                              QStringLiteral("Corvane"), kAnswerYes);
    tp.dialogs.expectMessage(
        QStringLiteral("You do not have a valid Account Category set up for 'Management Fee'. "
                       "Nothing was posted to the Lodgebook Ledgers. Please check your Account "
                       "Category and Account Default settings under 'Preferences' from the "
                       "Lodgebook Main Menu."),
        QStringLiteral("Corvane"), MsgIcon::Information);
    child<QPushButton>("cmdUpdate")->click();
    tp.dialogs.verifyAllShown();
    EXPECT_FALSE(screen.LedgersUpdated());
    EXPECT_EQ(ledger.value(QStringLiteral("SELECT COUNT(*) FROM Transactions")).toInt(), 0);
    EXPECT_TRUE(QFile::exists(staged()));
}

// The line rule leaves such amounts as text that is not a number; they are refused, not read as 1.
TEST_P(DownloadWindowTest, anAmountThatIsNotAPlainNumberStopsTheLoading) {
    struct Case {
        QByteArray amount;  // as in the file
        QString message;
    };
    const Case cases[] = {
        {"$1e308.",
         "Unexpected error in payment file: 13 - Type mismatch: the amount of line 2 "
         "is not a number: 1e308."},
        {QByteArray("$1\0"
                    "2.00",
                    7),
         QStringLiteral("Unexpected error in payment file: 13 - Type mismatch: the amount of line "
                        "2 is not a number: 1") +
             QChar(0) + QStringLiteral("2.00")},
        {"$1.2.3",
         "Unexpected error in payment file: 13 - Type mismatch: the amount of line 2 "
         "is not a number: 1.2.3"},
        {"$ 5.00",
         "Unexpected error in payment file: 13 - Type mismatch: the amount of line 2 "
         "is not a number:  5.00"},
    };
    for (const Case& c : cases) {
        stage(paymentLine("B1", "T42", "$1.00") + "B2,T42,Payer,1 Road,06/01/2026,Check,\"" +
              c.amount + "\",Posted\n");
        tp.dialogs.expectMessage(c.message, QStringLiteral("Payment File Download"));
        screen.Load();
        tp.dialogs.verifyAllShown();
        expectEmptyAndDisabled();
        EXPECT_TRUE(QFile::exists(staged()));
    }
    stage(paymentLine("B1", "T42", "$1,250.00") + paymentLine("B2", "T42", "-$25.00") +
          paymentLine("B3", "T42", "$0.5") + "B4,T42,Payer,1 Road,06/01/2026,Check,$2.00\n");
    screen.Load();
    EXPECT_EQ(screen.StagedCount(), 4);
    EXPECT_EQ(label("labTransTotal"), QStringLiteral("$1,277.50"));
}

// "T" and a number too large for any key matches no tenant, not tenant 0.
TEST_P(DownloadWindowTest, anAccountNumberTooLargeForAKeyMatchesNoTenant) {
    ledger.addTenant(0, 3, QStringLiteral("Zero"), QStringLiteral("Tenant"));
    ledger.addUnit(2, 0, QStringLiteral("0 Zero Rd"));
    const QByteArray huge = "T" + QByteArray(5000, '7');
    stage(paymentLine("B1", huge.constData(), "$10.00") +
          paymentLine("B2", "T100000000000000000000", "$20.00"));
    screen.Load();
    ASSERT_EQ(screen.StagedCount(), 2);
    EXPECT_EQ(cell(0, staged::TID), QStringLiteral("T#") + QString(5000, QLatin1Char('7')));
    EXPECT_EQ(cell(0, staged::TenantName), kTenantNotFoundText);
    EXPECT_EQ(cell(1, staged::TID), QStringLiteral("T#1e+20"));
    tp.dialogs.allowAnyMessages();
    child<QPushButton>("cmdUpdate")->click();
    EXPECT_EQ(ledger.value(QStringLiteral("SELECT COUNT(*) FROM Transactions")).toInt(), 0);
}

// A link to a device or to a pipe in Downloads is not a download; the regular file is taken.
TEST_P(DownloadWindowTest, onlyRegularFilesInDownloadsAreDownloads) {
    const QString folder = home.filePath(QStringLiteral("Downloads"));
    const QString regular = folder + QStringLiteral("/paymentHistory (1).csv");
    tp.files.writeAtomically(regular, inLineEnds(paymentLine("B1", "T42", "$100.00")));
    {
        QFile older(regular);  // older than the pipe: without the rule the pipe would be newest
        ASSERT_TRUE(older.open(QIODevice::ReadWrite));
        ASSERT_TRUE(older.setFileTime(QDateTime::currentDateTime().addDays(-1),
                                      QFileDevice::FileModificationTime));
    }
    ASSERT_TRUE(
        QFile::link(QStringLiteral("/dev/zero"), folder + QStringLiteral("/paymentHistory.csv")));
    const QByteArray pipe = QFile::encodeName(folder + QStringLiteral("/paymentHistory (2).csv"));
    ASSERT_EQ(::mkfifo(pipe.constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(QString::fromLocal8Bit(pipe),
                            folder + QStringLiteral("/paymentHistory (3).csv")));
    tp.dialogs.allowAnyMessages();
    screen.Load();
    ASSERT_EQ(tp.dialogs.shown().size(), 1u);
    EXPECT_TRUE(tp.dialogs.shown().front().text.contains(QStringLiteral("paymentHistory (1).csv")));
    EXPECT_EQ(screen.StagedCount(), 1);
    EXPECT_FALSE(QFile::exists(regular));
    EXPECT_TRUE(QFileInfo(folder + QStringLiteral("/paymentHistory.csv")).isSymLink());
}

// A file longer than 64 MB is not read: the overflow error, and the file stays where it is.
TEST_P(DownloadWindowTest, aFileLongerThan64MegabytesIsRefusedAndStays) {
    const auto makeLong = [](const QString& path) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(paymentLine("B1", "T42", "$1.00"));
        ASSERT_TRUE(file.resize(kMaxPaymentFileBytes + 1));  // sparse: costs no disk
    };
    const QString download = home.filePath(QStringLiteral("Downloads/paymentHistory.csv"));
    makeLong(download);
    const QStringList programFolder = QDir(tp.folder.path()).entryList(QDir::Files | QDir::Hidden);
    tp.dialogs.allowAnyMessages();
    screen.Load();
    ASSERT_EQ(tp.dialogs.shown().size(), 2u);
    EXPECT_EQ(tp.dialogs.shown()[0].title, QStringLiteral("Latest File"));
    EXPECT_TRUE(tp.dialogs.shown()[1].text.startsWith(
        QStringLiteral("Unexpected error in payment file: 6 - Overflow: ")))
        << tp.dialogs.shown()[1].text.toStdString();
    EXPECT_EQ(tp.dialogs.shown()[1].title, QStringLiteral("Payment File Download"));
    expectEmptyAndDisabled();
    EXPECT_EQ(QFileInfo(download).size(), kMaxPaymentFileBytes + 1);
    EXPECT_FALSE(QFile::exists(staged()));
    EXPECT_EQ(QDir(tp.folder.path()).entryList(QDir::Files | QDir::Hidden), programFolder);

    QFile::rename(download, staged());
    tp.dialogs.allowAnyMessages(false);
    tp.dialogs.expectMessage(QStringLiteral("Unexpected error in payment file: 6 - Overflow: the "
                                            "file %1 is longer than 67108864 bytes")
                                 .arg(staged()),
                             QStringLiteral("Payment File Download"));
    screen.Load();
    expectEmptyAndDisabled();
    EXPECT_EQ(QFileInfo(staged()).size(), kMaxPaymentFileBytes + 1);
}

TEST_P(DownloadWindowTest, theNewestDownloadIsTakenWhenNothingIsStaged) {
    const QString download = home.filePath(QStringLiteral("Downloads/paymentHistory (1).csv"));
    tp.files.writeAtomically(download, inLineEnds(paymentLine("B1", "T42", "$100.00")));
    tp.dialogs.allowAnyMessages();
    screen.Load();
    ASSERT_EQ(tp.dialogs.shown().size(), 1u);
    EXPECT_EQ(tp.dialogs.shown().front().title, QStringLiteral("Latest File"));
    EXPECT_EQ(screen.StagedCount(), 1);
    EXPECT_FALSE(QFile::exists(download));
    EXPECT_TRUE(QFile::exists(staged()));
}

TEST_P(DownloadWindowTest, aStagedFileIsShownWithoutLookingAtDownloads) {
    stageThree();
    const QString download = home.filePath(QStringLiteral("Downloads/paymentHistory.csv"));
    tp.files.writeAtomically(download, inLineEnds(paymentLine("B9", "T42", "$9.00")));
    screen.Load();  // no message expected
    EXPECT_EQ(screen.StagedCount(), 3);
    EXPECT_TRUE(QFile::exists(download));
}

TEST_P(DownloadWindowTest, noDownloadShowsNoFilesAnEmptyScreenAndLeavesWithoutAQuestion) {
    tp.dialogs.expectMessage(QStringLiteral("No payment files were found in your Downloads "
                                            "folder. Please download a new payment file."),
                             QStringLiteral("No Files"), MsgIcon::Exclamation);
    screen.Load();
    expectEmptyAndDisabled();
    screen.show();
    child<QPushButton>("cmdExit")->click();
    EXPECT_FALSE(screen.isVisible());
}

TEST_P(DownloadWindowTest, typedRentIsRefusedAndTheCellKeepsItsValue) {
    stageThree();
    screen.Load();
    StagedPayments& model = screen.stagedPayments();
    const QModelIndex type = model.index(0, StagedPayments::gridColumn(staged::PmtType));
    tp.dialogs.expectMessage(
        QStringLiteral("Only the words 'Rent' or 'Late Fee' are allowed under Pmt Type"),
        QStringLiteral("Pmt Type Edit"));
    EXPECT_FALSE(model.setData(type, QStringLiteral("rent")));
    EXPECT_EQ(model.data(type).toString(), QStringLiteral("Rent"));
    EXPECT_TRUE(model.setData(type, QStringLiteral("Late Fee")));
    EXPECT_EQ(cell(0, staged::PmtType), QStringLiteral("Late Fee"));
}

TEST_P(DownloadWindowTest, deletingRowsDownToTheLastArchivesTheFile) {
    stageThree();
    tp.files.writeAtomically(archive(), "B0,older archive\n");
    screen.Load();
    selectRows({0, 2});
    screen.DeleteSelectedRows();
    ASSERT_EQ(screen.StagedCount(), 1);
    EXPECT_EQ(cell(0, staged::TransactionNumber), QStringLiteral("B2"));
    EXPECT_EQ(label("labCorvanePayments"), QStringLiteral("Number of Corvane Payments: 1"));
    EXPECT_EQ(label("labTransTotal"), QStringLiteral("$25.00"));
    EXPECT_TRUE(QFile::exists(staged()));

    const QByteArray stagedBytes = tp.files.readAll(staged());
    selectRows({0});
    child<QTableView>("gridACHDownload")->actions().first()->trigger();
    EXPECT_EQ(screen.StagedCount(), 0);
    EXPECT_EQ(label("labCorvanePayments"), QStringLiteral("Number of Corvane Payments: 0"));
    EXPECT_EQ(label("labTransTotal"), QStringLiteral("0"));
    EXPECT_FALSE(enabled("cmdUpdate"));
    EXPECT_FALSE(enabled("cmdPrintScreen"));
    EXPECT_FALSE(QFile::exists(staged()));
    EXPECT_EQ(tp.files.readAll(archive()), stagedBytes);

    screen.show();
    child<QPushButton>("cmdExit")->click();  // no question
    EXPECT_FALSE(screen.isVisible());
}

TEST_P(DownloadWindowTest, deleteRowWithoutASelectionDeletesTheCurrentRow) {
    stageThree();
    screen.Load();
    auto* grid = child<QTableView>("gridACHDownload");
    QAction* deleteRow = grid->actions().first();
    EXPECT_EQ(deleteRow->shortcut(), QKeySequence(QKeySequence::Delete));
    grid->setCurrentIndex(screen.stagedPayments().index(1, 4));
    grid->clearSelection();
    deleteRow->trigger();
    ASSERT_EQ(screen.StagedCount(), 2);
    EXPECT_EQ(cell(1, staged::TransactionNumber), QStringLiteral("B3"));
    EXPECT_EQ(label("labTransTotal"), QStringLiteral("$1,100.50"));
}

TEST_P(DownloadWindowTest, printScreenPrintsTheSelectionAndShowsItSelected) {
    stageThree();
    screen.Load();
    PrintRecorder recorder;
    recorder.attach(tp.printers);
    auto* grid = child<QTableView>("gridACHDownload");
    grid->setCurrentIndex(screen.stagedPayments().index(2, 4));
    selectRows({0});
    tp.dialogs.allowAnyMessages();
    child<QPushButton>("cmdPrintScreen")->click();
    EXPECT_EQ(recorder.jobsEnded(), 1);
    QStringList printed;
    for (const PrintedText& t : recorder.visibleTexts())
        printed << t.text;
    // The selected first row and the rows from the current one down are printed, not the row
    // between them, and the rows printed are shown selected.
    EXPECT_EQ(printed.filter(QRegularExpression(QStringLiteral("^B\\d$"))),
              (QStringList{QStringLiteral("B1"), QStringLiteral("B3")}));
    QList<int> selected;
    for (const QModelIndex& i : grid->selectionModel()->selectedRows())
        selected << i.row();
    std::sort(selected.begin(), selected.end());
    EXPECT_EQ(selected, (QList<int>{0, 2}));
}

TEST_P(DownloadWindowTest, leavingWithRowsAsksAndNoKeepsTheScreenOpen) {
    stageThree();
    screen.Load();
    screen.show();
    tp.dialogs.expectQuestion(kLeaveQuestion, kLeaveTitle, kAnswerNo);
    child<QPushButton>("cmdExit")->click();
    EXPECT_TRUE(screen.isVisible());
    tp.dialogs.expectQuestion(kLeaveQuestion, kLeaveTitle, kAnswerNo);
    screen.close();  // the close box
    EXPECT_TRUE(screen.isVisible());
    tp.dialogs.expectQuestion(kLeaveQuestion, kLeaveTitle, kAnswerNo);
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&screen, &esc);
    EXPECT_TRUE(screen.isVisible());
    tp.dialogs.verifyAllShown();

    tp.dialogs.expectQuestion(kLeaveQuestion, kLeaveTitle, kAnswerYes);
    child<QPushButton>("cmdExit")->click();
    EXPECT_FALSE(screen.isVisible());
    EXPECT_TRUE(QFile::exists(staged()));
}

TEST_P(DownloadWindowTest, theRemarkBoxIsOpenOnlyForTheOwnRemark) {
    auto* remark = child<QLineEdit>("txtRemark");
    EXPECT_EQ(screen.optRemarkIndex(), 0);
    EXPECT_FALSE(remark->isEnabled());
    screen.setOptRemarkIndex(2);
    EXPECT_TRUE(remark->isEnabled());
    screen.setOptRemarkIndex(1);
    EXPECT_FALSE(remark->isEnabled());
}

TEST_P(DownloadWindowTest, theDepositNumberMustBeANumberWhenLeavingTheBox) {
    stageThree();
    screen.Load();
    screen.show();
    QApplication::setActiveWindow(&screen);
    auto* deposit = child<QLineEdit>("txtCreateDeposit");
    auto* remarkChoice = child<QCheckBox>("chkPostMgmtFees");

    deposit->setFocus();
    deposit->setText(QStringLiteral(" 15 "));
    remarkChoice->setFocus();
    EXPECT_EQ(deposit->text(), QStringLiteral("15"));

    deposit->setText(QString());
    screen.txtCreateDeposit_LostFocus();
    EXPECT_EQ(deposit->text(), QString());

    deposit->setFocus();
    deposit->setText(QStringLiteral("12A"));
    tp.dialogs.expectMessage(QStringLiteral("Please enter a number only for the Deposit Number"),
                             QStringLiteral("Create Deposit"));
    remarkChoice->setFocus();
    tp.dialogs.verifyAllShown();
    EXPECT_EQ(QApplication::focusWidget(), deposit);
    EXPECT_EQ(deposit->text(), QStringLiteral("12A"));

    // Pressing Update with the bad number still pending posts nothing.
    tp.dialogs.expectMessage(QStringLiteral("Please enter a number only for the Deposit Number"),
                             QStringLiteral("Create Deposit"));
    child<QPushButton>("cmdUpdate")->click();
    EXPECT_EQ(ledger.value(QStringLiteral("SELECT COUNT(*) FROM Transactions")).toInt(), 0);
    tp.dialogs.allowAnyMessages();
}

TEST_P(DownloadWindowTest, aCompletedPostingClosesWithoutTheQuestionAndTheNextOpeningFindsNoFile) {
    stage(paymentLine("B1", "T42", "$100.00"));
    screen.Load();
    screen.show();
    tp.dialogs.allowAnyMessages();
    child<QPushButton>("cmdUpdate")->click();
    EXPECT_TRUE(screen.LedgersUpdated());
    EXPECT_FALSE(screen.isVisible());
    EXPECT_EQ(screen.result(), QDialog::Accepted);
    for (const ShownMessage& m : tp.dialogs.shown())
        EXPECT_NE(m.text, kLeaveQuestion);
    EXPECT_EQ(ledger.value(QStringLiteral("SELECT COUNT(*) FROM Transactions")).toInt(), 1);
    EXPECT_FALSE(QFile::exists(staged()));
    EXPECT_TRUE(QFile::exists(archive()));

    tp.dialogs.allowAnyMessages(false);
    frmDownload again(tp.globals);
    tp.dialogs.expectMessage(QStringLiteral("No payment files were found in your Downloads "
                                            "folder. Please download a new payment file."),
                             QStringLiteral("No Files"), MsgIcon::Exclamation);
    again.Load();
    EXPECT_EQ(again.StagedCount(), 0);
    again.show();
    again.findChild<QPushButton*>(QStringLiteral("cmdExit"))->click();
    EXPECT_FALSE(again.isVisible());
}

INSTANTIATE_TEST_SUITE_P(LineEnds, DownloadWindowTest, kLineEnds, lineEndName);

}  // namespace
}  // namespace corvane::test
