// The whole road back: payments posted through the payment screen, then reversed through the
// posting history, leave the ledger as it was and the payments waiting to be posted again.
#include "app/frmHistory.h"
#include "journal_fixture.h"
#include "payments/frmDownload.h"
#include "support/LineEnds.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

#include <gtest/gtest.h>

namespace corvane::test {
namespace {

const QByteArray kDownload =
    "B501,T101,Ann Lee,1 Road,12/01/2026,Check,\"$1,250.00\",Posted\n"
    "B502,T102,Bo Lee,2 Road,12/02/2026,Card,$900.50,Posted\n"
    "B503,T777,Nobody,3 Road,12/02/2026,Card,$75.00,Posted\n"
    "B504,T101,Ann Lee,1 Road,12/03/2026,Check,$10.00,Posted\n";

class PostAndReverse : public JournalFixture, public ::testing::WithParamInterface<LineEnd> {
protected:
    PostAndReverse() {
        Globals& g = tp.globals;
        tp.setUsualPreferences();
        g.postingLog.processorSiteUrl = QStringLiteral("https://vantora.example");
        addTenant(101, 1250, 800);
        addTenant(102, -20.5, 0);
        openLedger();
    }

    // Posts the staged file through the payment screen with fees and deposit 1045.
    void postThroughTheScreen() {
        frmDownload screen(tp.globals);
        screen.Load();
        screen.findChild<QCheckBox*>(QStringLiteral("chkPostMgmtFees"))->setChecked(true);
        screen.findChild<QCheckBox*>(QStringLiteral("chkCreateDeposit"))->setChecked(true);
        screen.findChild<QLineEdit*>(QStringLiteral("txtCreateDeposit"))->setText("1045");
        tp.dialogs.expectMessage(QStringLiteral("Your Lodgebook Ledgers are now updated."),
                                 QStringLiteral("Lodgebook Corvane"));
        screen.findChild<QPushButton*>(QStringLiteral("cmdUpdate"))->click();
        tp.dialogs.verifyAllShown();
        ASSERT_TRUE(screen.LedgersUpdated());
    }
};

TEST_P(PostAndReverse, postedThenReversed_ledgerEqualsTheLedgerBeforeAndPaymentsAreStaged) {
    tp.files.writeAtomically(tp.path(kPaymentFileName), withLineEnd(kDownload, GetParam()));
    const QStringList before = ledgerDump();
    postThroughTheScreen();
    ASSERT_EQ(ledger.value(QStringLiteral("SELECT COUNT(*) FROM Transactions")).toInt(), 6);
    ASSERT_FALSE(QFile::exists(tp.path(kPaymentFileName)));
    const QByteArray log = [&] {
        QFile file(tp.path(kPostingLogFileName));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();

    tp.dialogs.expectQuestion(
        QStringLiteral(
            "This removes from the Lodgebook Ledgers the 3 payment entries, 3 management "
            "fee entries and the deposit 1045 posted on 03/14/2026 09:30, and takes "
            "their amounts off the tenants' and units' balances. Are you SURE you want "
            "to reverse this posting run?"),
        QStringLiteral("Reverse Posting Run"), kAnswerYes, MsgIcon::Question);
    tp.dialogs.expectMessage(QStringLiteral("The posting run of 03/14/2026 09:30 was reversed. Its "
                                            "payments are waiting to be posted again."),
                             QStringLiteral("Reverse Posting Run"));
    frmHistory history(tp.globals);
    history.Load();
    const QAbstractItemModel* runs =
        history.findChild<QTableView*>(QStringLiteral("gridHistory"))->model();
    ASSERT_EQ(runs->rowCount(), 1);
    QStringList cells;
    for (int c = 0; c < runs->columnCount(); ++c)
        cells << runs->index(0, c).data().toString();
    EXPECT_EQ(cells, (QStringList{"03/14/2026 09:30", cells[1], "3", "$2,160.50", "$75.00", "1045",
                                  "12/01/2026 to 12/03/2026", "1", "Posted"}));
    history.findChild<QPushButton*>(QStringLiteral("cmdReverse"))->click();
    tp.dialogs.verifyAllShown();

    EXPECT_EQ(ledgerDump(), before);
    QFile staged(tp.path(kPaymentFileName));
    ASSERT_TRUE(staged.open(QIODevice::ReadOnly));
    EXPECT_EQ(staged.readAll(), withLineEnd(kDownload, GetParam()));
    QFile logAfter(tp.path(kPostingLogFileName));
    ASSERT_TRUE(logAfter.open(QIODevice::ReadOnly));
    EXPECT_EQ(logAfter.readAll(), log) << "the posting log is not changed";
    EXPECT_EQ(runs->index(0, 8).data().toString(), QStringLiteral("Reversed 03/14/2026"));

    // The payments are offered again without an "Already posted" note, and post as before.
    {
        frmDownload screen(tp.globals);
        screen.Load();
        const StagedPayments& rows = screen.stagedPayments();
        for (int r = 0; r < rows.rowCount(); ++r) {
            EXPECT_EQ(rows.data(rows.index(r, StagedPayments::gridColumn(staged::Note))).toString(),
                      QString())
                << r;
        }
    }
    postThroughTheScreen();
    EXPECT_EQ(ledger.value(QStringLiteral("SELECT COUNT(*) FROM Transactions")).toInt(), 6);
}

INSTANTIATE_TEST_SUITE_P(LineEnds, PostAndReverse, kLineEnds, lineEndName);

}  // namespace
}  // namespace corvane::test
