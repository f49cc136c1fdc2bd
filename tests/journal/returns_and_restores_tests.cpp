// The books kept true through the windows: a ledger restored from a backup after a run, and a
// payment the processor returned after it was posted, on downloads with CR LF and LF line ends.
#include "app/frmHistory.h"
#include "journal_fixture.h"
#include "payments/frmDownload.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>

#include <gtest/gtest.h>

namespace corvane::test {
namespace {

const QString kPostingTitle = QStringLiteral("Corvane Transaction Posting");
const QString kUpdated = QStringLiteral("Your Lodgebook Ledgers are now updated.");
const QDateTime kFirstRun(QDate(2026, 12, 9), QTime(10, 0));
const QDateTime kSecondRun(QDate(2026, 12, 14), QTime(9, 0));

QString notesQuestion(int count) {
    return QStringLiteral(
               "%1 of these payments carry a note in the Note column (already posted, perhaps "
               "already in the ledger, repeated in this file, or not settled by the processor). "
               "Press 'Yes' to leave them out of this posting, or 'No' to post them as well.")
        .arg(count);
}

class BooksStayTrue : public JournalFixture, public ::testing::WithParamInterface<const char*> {
protected:
    BooksStayTrue() {
        tp.setUsualPreferences();
        addTenant(101, 1000, 500);
        addTenant(102, 0, 0);
        addTenant(103, -20, 10);
        openLedger();
    }
    QByteArray download(const char* status501 = "Posted", bool withNew = false) const {
        QByteArray text = QByteArray("B501,T101,Ann Lee,1 Road,12/01/2026,Check,\"$1,250.00\",") +
                          status501 + ",KV1,Online,Rent Payment\n" +
                          "B502,T102,Bo Lee,2 Road,12/02/2026,Card,$900.50,Posted,KV2,Online,Rent "
                          "Payment\n"
                          "B503,T103,Cy Lee,3 Road,12/02/2026,Card,$75.00,Posted,KV3,Online,Rent "
                          "Payment\n";
        if (withNew)
            text +=
                "B505,T102,Bo Lee,2 Road,12/13/2026,Card,$910.00,Posted,KV5,Online,Rent "
                "Payment\n";
        text.replace("\n", GetParam());
        return text;
    }
    void stage(const QByteArray& bytes) {
        tp.files.writeAtomically(tp.path(kPaymentFileName), bytes);
    }
    // Loads the staged file into the payment screen, then posts it with fees and a deposit.
    void postThroughTheScreen(const QString& depositNumber) {
        frmDownload screen(tp.globals);
        screen.Load();
        post(screen, depositNumber);
    }
    void post(frmDownload& screen, const QString& depositNumber) {
        screen.findChild<QCheckBox*>(QStringLiteral("chkPostMgmtFees"))->setChecked(true);
        screen.findChild<QCheckBox*>(QStringLiteral("chkCreateDeposit"))->setChecked(true);
        screen.findChild<QLineEdit*>(QStringLiteral("txtCreateDeposit"))->setText(depositNumber);
        tp.dialogs.expectMessage(kUpdated, QStringLiteral("Lodgebook Corvane"));
        screen.findChild<QPushButton*>(QStringLiteral("cmdUpdate"))->click();
        tp.dialogs.verifyAllShown();
        ASSERT_TRUE(screen.LedgersUpdated());
    }
    QStringList notesOf(frmDownload& screen) const {
        QStringList notes;
        const StagedPayments& rows = screen.stagedPayments();
        for (int r = 0; r < rows.rowCount(); ++r)
            notes << rows.data(rows.index(r, StagedPayments::gridColumn(staged::Note))).toString();
        return notes;
    }
    QStringList historyStates() {
        frmHistory window(tp.globals);
        window.Load();
        const QAbstractItemModel* model =
            window.findChild<QTableView*>(QStringLiteral("gridHistory"))->model();
        QStringList states;
        for (int r = 0; r < model->rowCount(); ++r)
            states << model->index(r, 8).data().toString();
        return states;
    }
    QStringList balances() const {
        return records(
            QStringLiteral("SELECT TenantID, TCurrBal, UCurrBal FROM Tenants JOIN Units "
                           "ON UTenantID = TenantID ORDER BY TenantID"));
    }
};

TEST_P(BooksStayTrue, ledgerRestoredAfterARun_isToldAndItsPaymentsArePostedOnce) {
    const QStringList before = balances();
    tp.environment.clock = kFirstRun;
    stage(download());
    postThroughTheScreen(QStringLiteral("1045"));
    // The office restores Lodgebook's ledger from the backup of the night before.
    ledger.exec(QStringLiteral(
        "DELETE FROM Transactions; DELETE FROM SplitPrintedChecks; DELETE FROM CheckDepPrinted; "
        "UPDATE Tenants SET TCurrBal = 1000 WHERE TenantID = 101; UPDATE Units SET UCurrBal = 500 "
        "WHERE UTenantID = 101; UPDATE Tenants SET TCurrBal = 0 WHERE TenantID = 102; UPDATE "
        "Units SET UCurrBal = 0 WHERE UTenantID = 102; UPDATE Tenants SET TCurrBal = -20 WHERE "
        "TenantID = 103; UPDATE Units SET UCurrBal = 10 WHERE UTenantID = 103"));
    ASSERT_EQ(balances(), before);
    EXPECT_EQ(historyStates(), QStringList{"Not in ledger"});

    tp.environment.clock = kSecondRun;
    stage(download());
    tp.dialogs.expectMessage(
        QStringLiteral("3 payments of this file were posted by Corvane on 12/09/2026 but are no "
                       "longer in the Lodgebook ledger (it may have been restored from a backup, "
                       "or the entries removed in Lodgebook). They are not marked 'Already "
                       "posted'."),
        QStringLiteral("Corvane Notice"), MsgIcon::Information);
    frmDownload screen(tp.globals);
    screen.Load();
    tp.dialogs.verifyAllShown();
    EXPECT_EQ(notesOf(screen), (QStringList{"", "", ""}));
    post(screen, QStringLiteral("1046"));
    EXPECT_EQ(records(QStringLiteral("SELECT TransPostToID, TransAmount FROM Transactions WHERE "
                                     "TransType = 'I' ORDER BY TransID")),
              (QStringList{"101|1250", "102|900.5", "103|75"}));
    EXPECT_EQ(balances(), (QStringList{"101|2250|1725", "102|900.5|875.5", "103|55|60"}));
    EXPECT_EQ(historyStates(), (QStringList{"Posted", "Not in ledger"}));
}

TEST_P(BooksStayTrue, paymentReturnedAfterPosting_isRecordedLinkedAndReversedExactly) {
    tp.environment.clock = kFirstRun;
    stage(download());
    postThroughTheScreen(QStringLiteral("1045"));
    const QStringList firstRunRecords = ledgerDump();
    const QStringList original =
        records(QStringLiteral("SELECT * FROM Transactions ORDER BY TransID"));

    tp.environment.clock = kSecondRun;
    stage(download("Returned", true));
    frmDownload screen(tp.globals);
    screen.Load();
    EXPECT_EQ(notesOf(screen),
              (QStringList{"Returned after posting 12/09/2026", "Already posted 12/09/2026",
                           "Already posted 12/09/2026", ""}));
    screen.findChild<QCheckBox*>(QStringLiteral("chkPostMgmtFees"))->setChecked(true);
    screen.findChild<QCheckBox*>(QStringLiteral("chkCreateDeposit"))->setChecked(true);
    screen.findChild<QLineEdit*>(QStringLiteral("txtCreateDeposit"))->setText("1046");
    tp.dialogs.expectQuestion(notesQuestion(2), kPostingTitle, kAnswerYes, MsgIcon::Question);
    tp.dialogs.expectQuestion(
        QStringLiteral("1 payments posted before are now reported by the processor as not settled "
                       "(Returned): their rent, fees and deposit lines are still in the Lodgebook "
                       "Ledgers. Press 'Yes' to record their return now, or 'No' to leave them out "
                       "of this posting."),
        kPostingTitle, kAnswerYes, MsgIcon::Question);
    tp.dialogs.expectMessage(kUpdated, QStringLiteral("Lodgebook Corvane"));
    screen.findChild<QPushButton*>(QStringLiteral("cmdUpdate"))->click();
    tp.dialogs.verifyAllShown();
    ASSERT_TRUE(screen.LedgersUpdated());

    // The originals unchanged; B505's entry and fee, then B501's return and its fee given back.
    const QStringList entries = records(QStringLiteral(
        "SELECT TransID, TransAccountID, TransPostToID, TransAmount, TransDate, TransCheckNumber, "
        "TransRemark, TransType, TransPmtType, TransStatus, TransTax, TransOID, TransPID, "
        "TransUID, TransTID FROM Transactions ORDER BY TransID"));
    EXPECT_EQ(records(QStringLiteral("SELECT * FROM Transactions WHERE TransID <= 6 ORDER BY "
                                     "TransID")),
              original);
    EXPECT_EQ(entries.mid(6),
              (QStringList{
                  "7|4010|102|910|2026-12-13|1046|December RENT|I|ACH|B|N|7|3|102|102",
                  "8|5010|102|-25|2026-12-13|NULL|Management Fee|E|NULL|U|N|7|3|102|102",
                  "9|4010|101|-1250|2026-12-14|1045|Returned B501|I|ACH|B|N|7|3|101|101",
                  "10|5010|101|25|2026-12-14|NULL|Returned B501|E|NULL|U|N|7|3|101|101",
              }));
    EXPECT_EQ(balances(), (QStringList{"101|1000|500", "102|1810.5|1760.5", "103|55|60"}));
    EXPECT_EQ(records(QStringLiteral("SELECT CkID, CkNumber, CkAmount FROM CheckDepPrinted ORDER "
                                     "BY CkID")),
              (QStringList{"1|1045|2225.5", "2|1046|-340"}));
    EXPECT_EQ(
        records(QStringLiteral("SELECT CkNumber, CkAmount, CkAccountID, CkPostToID, "
                               "CkRemark, CkPostTo FROM SplitPrintedChecks WHERE CkNumber = 2 "
                               "ORDER BY SplitID")),
        (QStringList{"2|910|4010|102|December RENT|B", "2|-1250|4010|101|Returned B501|B"}));
    const auto run = journal().readRun(2);
    ASSERT_TRUE(run);
    EXPECT_EQ(run->rows[0].outcome, journal::RowOutcome::ReturnRecorded);
    EXPECT_EQ(run->rows[0].returnOf,
              (journal::ReturnLink{1, 1, kFirstRun.date(), kSecondRun.date(), 101}));
    EXPECT_EQ(run->rows[0].incomeTransID, 9);
    EXPECT_EQ(run->rows[0].feeTransID, 10);
    EXPECT_EQ(run->rows[0].splitID, 5);
    EXPECT_EQ(historyStates(), (QStringList{"Posted", "Posted"}));

    // The same line again: its return is recorded, and it is left out.
    stage(download("Returned", true));
    {
        frmDownload again(tp.globals);
        again.Load();
        EXPECT_EQ(notesOf(again)[0], QStringLiteral("Return recorded 12/14/2026"));
    }

    // Reversing the run that recorded the return leaves the ledger as before it.
    frmHistory history(tp.globals);
    history.Load();
    tp.dialogs.expectQuestion(
        QStringLiteral("This removes from the Lodgebook Ledgers the 1 payment entries, 1 "
                       "management fee entries, the entries of 1 returned payments and the "
                       "deposit 1046 posted on 12/14/2026 09:00, and takes their amounts off the "
                       "tenants' and units' balances. Are you SURE you want to reverse this "
                       "posting run?"),
        QStringLiteral("Reverse Posting Run"), kAnswerYes, MsgIcon::Question);
    tp.dialogs.expectMessage(
        QStringLiteral("The posting run of 12/14/2026 09:00 was reversed. Its payment file was "
                       "not staged again, because another payment file is waiting to be posted."),
        QStringLiteral("Reverse Posting Run"));
    history.findChild<QPushButton*>(QStringLiteral("cmdReverse"))->click();
    tp.dialogs.verifyAllShown();
    EXPECT_EQ(ledgerDump(), firstRunRecords);
}

INSTANTIATE_TEST_SUITE_P(LineEnds, BooksStayTrue, ::testing::Values("\r\n", "\n"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::string(info.index == 0 ? "CRLF" : "LF");
                         });

// At its size on a 1280 x 1024 screen the payment screen shows the Note column whole, without
// scrolling sideways.
TEST_F(JournalFixture, paymentScreen_showsTheNoteColumnWithoutScrollingSideways) {
    tp.setUsualPreferences();
    addTenant(101);
    openLedger();
    tp.files.writeAtomically(
        tp.path(kPaymentFileName),
        "B1,T101,Ann Lee,1 Road,12/01/2026,Check,$10.00,Returned,KV1,Online\r\n");
    frmDownload screen(tp.globals);
    screen.Load();
    screen.show();
    EXPECT_LE(screen.frameGeometry().width(), 1280);
    EXPECT_LE(screen.frameGeometry().height(), 1024);
    auto* grid = screen.findChild<QTableView*>(QStringLiteral("gridACHDownload"));
    const int note = StagedPayments::gridColumn(staged::Note);
    EXPECT_GE(grid->columnWidth(note), 200);
    EXPECT_LE(grid->columnViewportPosition(note) + grid->columnWidth(note),
              grid->viewport()->width());
    EXPECT_EQ(grid->horizontalScrollBar()->maximum(), 0);
    EXPECT_EQ(grid->model()->index(0, note).data().toString(), QStringLiteral("Status: Returned"));
}

}  // namespace
}  // namespace corvane::test
