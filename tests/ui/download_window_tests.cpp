#include "payments/PaymentIntake.h"
#include "payments/frmDownload.h"
#include "platform/ledger/Database.h"
#include "support/RecordingPrinter.h"
#include "support/TestLedger.h"
#include "support/TestPlatform.h"
#include "support/Widgets.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>

#include <gtest/gtest.h>

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

class DownloadWindowTest : public ::testing::Test {
protected:
    DownloadWindowTest() : ledger(tp.path(kLedgerFileName)) {
        QDir(home.path()).mkpath(QStringLiteral("Downloads"));
        tp.environment.variables.insert(QStringLiteral("USERPROFILE"), home.path());
        Globals& g = tp.globals;
        g.PaymentFileName = kPaymentFileName;
        g.RentIncomeCategory = QStringLiteral("Rent Income;B-4010");
        g.RentIncomeRemark = QStringLiteral("MONTH RENT");
        g.MgmtFeeCategory = QStringLiteral("Management Fees;U-5010");
        g.MgmtFeeRemark = QStringLiteral("Management Fee");
        g.LateFeeCategory = QStringLiteral("Late Fee Received;T-4020");
        g.LateFeeRemark = QStringLiteral("Late Fee");
        ledger.addOwner(7, QStringLiteral("Owner"), QStringLiteral("Olga"));
        ledger.addProperty(3, 7, QStringLiteral("Elm Court"));
        ledger.addTenant(42, 3, QStringLiteral("Ann"), QStringLiteral("Lee"));
        ledger.addUnit(1, 42, QStringLiteral("12 Oak St"));
        g.LedgerDb = ledger::Database::open(ledger.path());
    }

    QString staged() const { return tp.path(kPaymentFileName); }
    QString archive() const { return tp.path(kPaymentArchiveFileName); }
    void stage(const QByteArray& bytes) { tp.files.writeAtomically(staged(), bytes); }
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
        return screen.stagedPayments().rows().at(static_cast<size_t>(row)).cell(column);
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

TEST_F(DownloadWindowTest, showsEveryControlWithItsCaption) {
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

TEST_F(DownloadWindowTest, threePaymentsAndASummaryGiveThreeMatchedRows) {
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
    EXPECT_EQ(tp.globals.LastDatePosted, QStringLiteral("03/14/2026"));
    EXPECT_EQ(tp.globals.LastBalancePosted, QStringLiteral("1125.5"));
    EXPECT_TRUE(enabled("cmdUpdate"));
    EXPECT_TRUE(enabled("cmdPrintScreen"));
    EXPECT_FALSE(tp.dialogs.busy());
    EXPECT_TRUE(QFile::exists(staged()));
}

TEST_F(DownloadWindowTest, aPaymentAndARefundTotalTheirAbsoluteAmounts) {
    stage(paymentLine("B1", "T42", "$100.00") + paymentLine("B2", "T42", "-$25.00"));
    screen.Load();
    EXPECT_EQ(label("labTransTotal"), QStringLiteral("$125.00"));
    EXPECT_EQ(screen.PaymentsTotal(), ledger::Currency::fromUnits(1250000));
}

TEST_F(DownloadWindowTest, filesWithoutACompletePaymentLineAreDeleted) {
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

TEST_F(DownloadWindowTest, aShortLineIsAProblemInThePaymentFileAndTheFileStays) {
    stage(paymentLine("B1", "T42", "$1.00") + "B2,T42,a,b,$1.00\n");
    tp.dialogs.expectMessage(QStringLiteral("There is a problem in the Corvane Payment File. "
                                            "Please contact support for assistance."),
                             QStringLiteral("Corvane"));
    screen.Load();
    expectEmptyAndDisabled();
    EXPECT_TRUE(QFile::exists(staged()));
}

TEST_F(DownloadWindowTest, malformedLinesShowTheErrorNumberAndWhatIsWrong) {
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

TEST_F(DownloadWindowTest, moreThan32767PaymentsAreRefusedWhole) {
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

TEST_F(DownloadWindowTest, anAmountBeyondTheCurrencyRangeIsAnOverflow) {
    stage(paymentLine("B1", "T42", "$1.00") +
          paymentLine("B2", "T42", "$99,999,999,999,999,999,999.00"));
    tp.dialogs.expectMessage(QStringLiteral("Unexpected error in payment file: 6 - Overflow: an "
                                            "amount or the total of the payments is too large"),
                             QStringLiteral("Payment File Download"));
    screen.Load();
    expectEmptyAndDisabled();
}

TEST_F(DownloadWindowTest, withoutALedgerTheLoadingFailsWithAnEmptyScreen) {
    stageThree();
    tp.globals.LedgerDb.reset();
    tp.dialogs.expectMessage(QStringLiteral("Unexpected error in payment file: 91 - Object "
                                            "variable or With block variable not set (the "
                                            "ledger is not open)"),
                             QStringLiteral("Payment File Download"));
    screen.Load();
    expectEmptyAndDisabled();
}

TEST_F(DownloadWindowTest, theNewestDownloadIsTakenWhenNothingIsStaged) {
    const QString download = home.filePath(QStringLiteral("Downloads/paymentHistory (1).csv"));
    tp.files.writeAtomically(download, paymentLine("B1", "T42", "$100.00"));
    tp.dialogs.allowAnyMessages();
    screen.Load();
    ASSERT_EQ(tp.dialogs.shown().size(), 1u);
    EXPECT_EQ(tp.dialogs.shown().front().title, QStringLiteral("Latest File"));
    EXPECT_EQ(screen.StagedCount(), 1);
    EXPECT_FALSE(QFile::exists(download));
    EXPECT_TRUE(QFile::exists(staged()));
}

TEST_F(DownloadWindowTest, aStagedFileIsShownWithoutLookingAtDownloads) {
    stageThree();
    const QString download = home.filePath(QStringLiteral("Downloads/paymentHistory.csv"));
    tp.files.writeAtomically(download, paymentLine("B9", "T42", "$9.00"));
    screen.Load();  // no message expected
    EXPECT_EQ(screen.StagedCount(), 3);
    EXPECT_TRUE(QFile::exists(download));
}

TEST_F(DownloadWindowTest, noDownloadShowsNoFilesAnEmptyScreenAndLeavesWithoutAQuestion) {
    tp.dialogs.expectMessage(QStringLiteral("No payment files were found in your Downloads "
                                            "folder. Please download a new payment file."),
                             QStringLiteral("No Files"), MsgIcon::Exclamation);
    screen.Load();
    expectEmptyAndDisabled();
    screen.show();
    child<QPushButton>("cmdExit")->click();
    EXPECT_FALSE(screen.isVisible());
}

TEST_F(DownloadWindowTest, typedRentIsRefusedAndTheCellKeepsItsValue) {
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

TEST_F(DownloadWindowTest, deletingRowsDownToTheLastArchivesTheFile) {
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
    EXPECT_EQ(tp.globals.LastBalancePosted, QStringLiteral("0"));

    screen.show();
    child<QPushButton>("cmdExit")->click();  // no question
    EXPECT_FALSE(screen.isVisible());
}

TEST_F(DownloadWindowTest, deleteRowWithoutASelectionDeletesTheCurrentRow) {
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

TEST_F(DownloadWindowTest, printScreenPrintsTheSelectionAndShowsItSelected) {
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

TEST_F(DownloadWindowTest, leavingWithRowsAsksAndNoKeepsTheScreenOpen) {
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

TEST_F(DownloadWindowTest, theRemarkBoxIsOpenOnlyForTheOwnRemark) {
    auto* remark = child<QLineEdit>("txtRemark");
    EXPECT_EQ(screen.optRemarkIndex(), 0);
    EXPECT_FALSE(remark->isEnabled());
    screen.setOptRemarkIndex(2);
    EXPECT_TRUE(remark->isEnabled());
    screen.setOptRemarkIndex(1);
    EXPECT_FALSE(remark->isEnabled());
}

TEST_F(DownloadWindowTest, theDepositNumberMustBeANumberWhenLeavingTheBox) {
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

TEST_F(DownloadWindowTest, aCompletedPostingClosesWithoutTheQuestionAndTheNextOpeningFindsNoFile) {
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

}  // namespace
}  // namespace corvane::test
