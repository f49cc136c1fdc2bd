// Choosing the tenant of a payment that matches none, through the payment screen: the choice, the
// remembered choice of the next load, posting such rows, a remembered tenant that is gone,
// forgetting, cancelling, and all of it by the keyboard alone.
#include "app/frmRememberedTenants.h"
#include "journal/PostingReport.h"
#include "journal/RememberedTenants.h"
#include "payments/frmChooseTenant.h"
#include "payments/frmDownload.h"
#include "platform/ledger/Database.h"
#include "support/JournalSupport.h"
#include "support/LineEnds.h"
#include "support/TestLedger.h"
#include "support/TestPlatform.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableView>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace corvane::test {
namespace {

const QString kUpdated = QStringLiteral("Your Lodgebook Ledgers are now updated.");
const QString kNotesQuestion = QStringLiteral(
    "%1 of these payments carry a note in the Note column (already posted, perhaps already in the "
    "ledger, repeated in this file, or not settled by the processor). Press 'Yes' to leave them "
    "out of this posting, or 'No' to post them as well.");

// A line as the processor writes it, with the payer's name and address (LF ended here; staged
// with each line end).
QByteArray line(const char* id, const char* account, const char* payer, const char* address,
                const char* amount) {
    return QByteArray(id) + ',' + account + ',' + payer + ',' + address + ",03/01/2026,Check,\"" +
           amount + "\",Posted\n";
}

void press(Qt::Key key, const QString& text = {}) {
    QWidget* target = QApplication::focusWidget();
    ASSERT_NE(target, nullptr) << "no widget has the focus";
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, text);
    QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &down);
    QApplication::sendEvent(target, &up);
}

void type(const QString& text) {
    for (const QChar c : text)
        press(static_cast<Qt::Key>(c.toUpper().unicode()), QString(c));
}

class ChooseTenantOnTheScreen : public ::testing::TestWithParam<LineEnd> {
protected:
    ChooseTenantOnTheScreen() : ledger(tp.path(kLedgerFileName)) {
        tp.globals.PaymentFileName = kPaymentFileName;
        tp.setUsualPreferences();
        tp.environment.variables.insert(QStringLiteral("COMPUTERNAME"),
                                        QStringLiteral("OFFICE-PC"));
        ledger.addOwner(7, QStringLiteral("Owner"), QStringLiteral("Olga"));
        ledger.addProperty(3, 7, QStringLiteral("Elm Court"));
        ledger.addTenant(42, 3, QStringLiteral("Ann"), QStringLiteral("Lee"));
        ledger.addUnit(1, 42, QStringLiteral("12 Oak St"));
        ledger.addTenant(7, 3, QStringLiteral("Bob"), QStringLiteral("Smith"));
        ledger.addUnit(2, 7, QStringLiteral("99 Pine Rd"));
        tp.globals.LedgerDb = ledger::Database::open(ledger.path());
    }

    // T42 pays for itself; account T999 (Bob Smith's, mistyped at the processor) twice.
    void stageThree() {
        stage(line("B1", "T42", "Ann Lee", "12 Oak St", "$100.00") +
              line("B2", "T999", "Bob Smith", "99 Pine Rd", "$1,250.00") +
              line("B3", "T 999", "Bob Smith", "99 Pine Rd", "$10.00"));
    }
    void stage(const QByteArray& lines) {
        tp.files.writeAtomically(tp.path(kPaymentFileName), withLineEnd(lines, GetParam()));
    }
    void load() {
        screen = std::make_unique<frmDownload>(tp.globals);
        screen->Load();
        screen->show();
        QApplication::setActiveWindow(screen.get());
    }
    QPushButton* button(const char* name) const {
        return screen->findChild<QPushButton*>(QString::fromLatin1(name));
    }
    QTableView* grid() const {
        return screen->findChild<QTableView*>(QStringLiteral("gridACHDownload"));
    }
    void selectRow(int row) { grid()->selectRow(row); }
    // TID, address, name and note of a row as shown.
    QStringList shown(int row) const {
        QStringList cells;
        for (const int cell : {staged::TID, staged::UnitAddress, staged::TenantName, staged::Note})
            cells << screen->stagedPayments()
                         .index(row, StagedPayments::gridColumn(cell))
                         .data()
                         .toString();
        return cells;
    }
    // Runs `act` on the Choose Tenant window once it is open (and modal).
    void whenChooserOpens(std::function<void(frmChooseTenant&)> act) {
        QTimer::singleShot(0, [this, act = std::move(act)] {
            auto* chooser = qobject_cast<frmChooseTenant*>(QApplication::activeModalWidget());
            if (!chooser) {
                ADD_FAILURE() << "the Choose Tenant window is not open";
                return;
            }
            ++choosersSeen;
            QApplication::setActiveWindow(chooser);
            act(*chooser);
            if (chooser->isVisible())
                chooser->reject();
        });
    }
    void post() {
        screen->findChild<QCheckBox*>(QStringLiteral("chkPostMgmtFees"))->setChecked(true);
        screen->findChild<QCheckBox*>(QStringLiteral("chkCreateDeposit"))->setChecked(true);
        screen->findChild<QLineEdit*>(QStringLiteral("txtCreateDeposit"))->setText("5");
        button("cmdUpdate")->click();
    }
    std::vector<journal::RememberedTenant> remembered() {
        return journal::RememberedTenants(openJournal(tp.globals.programFolder())->db()).list();
    }
    void remember(const char* account, std::int64_t tenant) {
        journal::RememberedTenants(openJournal(tp.globals.programFolder())->db())
            .remember(
                {QLatin1String(account), tenant, QDate(2026, 2, 27), QStringLiteral("OFFICE-PC")});
    }

    TestPlatform tp;
    TestLedger ledger;
    std::unique_ptr<frmDownload> screen;
    int choosersSeen = 0;
};

TEST_P(ChooseTenantOnTheScreen, choosingFillsTheRowsPostsThemAsMatchedAndIsRemembered) {
    stageThree();
    load();
    EXPECT_EQ(shown(1), (QStringList{"T#999", "(TID not found-PRINT SCREEN!)",
                                     "(not found-cannot post!)", ""}));
    QPushButton* choose = button("cmdChooseTenant");
    ASSERT_TRUE(choose);
    EXPECT_EQ(choose->text(), QStringLiteral("Choose &Tenant..."));
    selectRow(0);
    EXPECT_FALSE(choose->isEnabled());
    // As an assistive tool selects a row: the selection moves, the current row stays.
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(grid());
    ASSERT_TRUE(table && table->tableInterface());
    grid()->clearSelection();
    table->tableInterface()->selectRow(1);
    EXPECT_EQ(grid()->currentIndex().row(), 0);
    EXPECT_TRUE(choose->isEnabled());
    selectRow(1);
    EXPECT_TRUE(choose->isEnabled());
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(choose);
    ASSERT_TRUE(accessible && accessible->actionInterface());
    EXPECT_EQ(accessible->text(QAccessible::Name), QStringLiteral("Choose Tenant..."));
    EXPECT_TRUE(accessible->actionInterface()->actionNames().contains(
        QAccessibleActionInterface::pressAction()));

    whenChooserOpens([](frmChooseTenant& chooser) {
        EXPECT_EQ(chooser.windowTitle(), QStringLiteral("Corvane Choose Tenant"));
        EXPECT_EQ(chooser.findChild<QLabel*>(QStringLiteral("labPayerName"))->text(),
                  QStringLiteral("Bob Smith"));
        EXPECT_EQ(chooser.findChild<QLabel*>(QStringLiteral("labAmount"))->text(),
                  QStringLiteral("$1,250.00"));
        EXPECT_EQ(chooser.findChild<QCheckBox*>(QStringLiteral("chkRemember"))->text(),
                  QStringLiteral("&Remember this tenant for account T999"));
        chooser.findChild<QPushButton*>(QStringLiteral("cmdUse"))->click();  // Bob, listed first
    });
    choose->click();
    EXPECT_EQ(choosersSeen, 1);
    // Both payments of the account, as a match fills them; the count and total as before.
    for (const int row : {1, 2})
        EXPECT_EQ(shown(row), (QStringList{"T7", "99 Pine Rd", "Smith, Bob", "Chosen by you"}))
            << row;
    EXPECT_EQ(shown(0), (QStringList{"T42", "12 Oak St", "Lee, Ann", ""}));
    EXPECT_FALSE(choose->isEnabled());
    EXPECT_EQ(screen->findChild<QLabel*>(QStringLiteral("labTransTotal"))->text(),
              QStringLiteral("$1,360.00"));
    EXPECT_EQ(
        remembered(),
        (std::vector<journal::RememberedTenant>{{"T999", 7, QDate(2026, 3, 14), "OFFICE-PC"}}));

    // No question about the notes: choosing was the user's decision.
    tp.dialogs.expectMessage(kUpdated, QStringLiteral("Lodgebook Corvane"));
    post();
    ASSERT_TRUE(screen->LedgersUpdated());
    EXPECT_EQ(ledger.rows(QStringLiteral("SELECT TransPostToID, TransAmount, TransTID FROM "
                                         "Transactions ORDER BY TransID")),
              (std::vector<QVariantList>{{42, 100.0, 42}, {7, 1250.0, 7}, {7, 10.0, 7}}));
    EXPECT_EQ(ledger.value(QStringLiteral("SELECT TCurrBal FROM Tenants WHERE TenantID = 7")),
              1260.0);
    EXPECT_EQ(ledger.value(QStringLiteral("SELECT UCurrBal FROM Units WHERE UTenantID = 7")),
              1260.0);
    EXPECT_EQ(ledger.rows(QStringLiteral("SELECT CkPostToID, CkAmount FROM SplitPrintedChecks "
                                         "ORDER BY SplitID")),
              (std::vector<QVariantList>{{42, 100.0}, {7, 1250.0}, {7, 10.0}}));
    const auto run = openJournal(tp.globals.programFolder())->readRun(1);
    ASSERT_TRUE(run);
    ASSERT_EQ(run->rows.size(), 3u);
    QStringList results;
    for (const journal::RunRow& row : run->rows)
        results << RowResultText(row);
    EXPECT_EQ(results, (QStringList{"Posted", "Posted, tenant chosen by you",
                                    "Posted, tenant chosen by you"}));
    EXPECT_EQ(run->rows[1].tenantChoice, journal::TenantChoice::Chosen);
    EXPECT_EQ(run->rows[1].tid, QStringLiteral("T7"));
    EXPECT_EQ(run->rows[1].note, QStringLiteral("Chosen by you"));
}

TEST_P(ChooseTenantOnTheScreen, theNextLoadMatchesByTheRememberedChoiceButNeverOverAnOwnTenant) {
    remember("T999", 7);
    remember("T42", 7);  // T42 is a tenant of its own
    stage(line("B1", "T42", "Ann Lee", "12 Oak St", "$100.00") +
          line("B2", "T999", "Bob Smith", "99 Pine Rd", "$1,250.00") +
          line("B2", "T999", "Bob Smith", "99 Pine Rd", "$1,250.00"));
    load();
    EXPECT_EQ(shown(0), (QStringList{"T42", "12 Oak St", "Lee, Ann", ""}));
    EXPECT_EQ(shown(1), (QStringList{"T7", "99 Pine Rd", "Smith, Bob",
                                     "Matched by your choice of 02/27/2026"}));
    // The duplicate guard's note comes first, and it is asked about.
    EXPECT_EQ(shown(2), (QStringList{"T7", "99 Pine Rd", "Smith, Bob", "Repeated in this file"}));
    selectRow(1);
    EXPECT_FALSE(button("cmdChooseTenant")->isEnabled());

    tp.dialogs.expectQuestion(kNotesQuestion.arg(1), QStringLiteral("Corvane Transaction Posting"),
                              kAnswerYes, MsgIcon::Question);
    tp.dialogs.expectMessage(kUpdated, QStringLiteral("Lodgebook Corvane"));
    post();
    ASSERT_TRUE(screen->LedgersUpdated());
    EXPECT_EQ(ledger.value(QStringLiteral("SELECT TCurrBal FROM Tenants WHERE TenantID = 7")),
              1250.0);
    const auto run = openJournal(tp.globals.programFolder())->readRun(1);
    ASSERT_TRUE(run);
    EXPECT_EQ(run->rows[0].tenantChoice, journal::TenantChoice::None);
    EXPECT_EQ(run->rows[1].tenantChoice, journal::TenantChoice::Remembered);
    EXPECT_EQ(run->rows[1].outcome, journal::RowOutcome::Posted);
    EXPECT_EQ(run->rows[2].outcome, journal::RowOutcome::Note);
    EXPECT_EQ(RowResultText(run->rows[1]), QStringLiteral("Posted, tenant chosen by you"));
}

TEST_P(ChooseTenantOnTheScreen, aRememberedTenantThatIsGoneLeavesTheRowUnmatchedAndSaysSo) {
    remember("T999", 555);
    stageThree();
    load();
    EXPECT_EQ(shown(1),
              (QStringList{"T#999", "(TID not found-PRINT SCREEN!)", "(not found-cannot post!)",
                           "Remembered tenant #555 not found"}));
    selectRow(1);
    EXPECT_TRUE(button("cmdChooseTenant")->isEnabled());
}

TEST_P(ChooseTenantOnTheScreen, aForgottenChoiceNoLongerMatches) {
    remember("T999", 7);
    frmRememberedTenants window(tp.globals);
    window.Load();
    tp.dialogs.expectQuestion(
        QStringLiteral("Forget the choice of tenant T7 for account T999? Payments already posted "
                       "stay as they are; later payments of account T999 will match no tenant "
                       "until you choose one again."),
        QStringLiteral("Corvane Remembered Tenants"), kAnswerYes, MsgIcon::Question);
    window.findChild<QPushButton*>(QStringLiteral("cmdForget"))->click();
    stageThree();
    load();
    EXPECT_EQ(shown(1).first(), QStringLiteral("T#999"));
    EXPECT_EQ(shown(1).last(), QString());
}

TEST_P(ChooseTenantOnTheScreen, cancellingChangesNothingAndRemembersNothing) {
    stageThree();
    load();
    selectRow(2);
    const auto allShown = [this] {
        std::vector<QStringList> rows;
        for (int r = 0; r < screen->StagedCount(); ++r)
            rows.push_back(shown(r));
        return rows;
    };
    const std::vector<QStringList> before = allShown();
    whenChooserOpens([](frmChooseTenant&) { press(Qt::Key_Escape); });
    // A double click on the row opens it as the button does.
    const QRect cell = grid()->visualRect(
        screen->stagedPayments().index(2, StagedPayments::gridColumn(staged::TenantName)));
    const QPoint at = cell.center();
    const QPoint global = grid()->viewport()->mapToGlobal(at);
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                                    QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
        const bool pressed = type != QEvent::MouseButtonRelease;
        QMouseEvent event(type, at, global, Qt::LeftButton, pressed ? Qt::LeftButton : Qt::NoButton,
                          Qt::NoModifier);
        QApplication::sendEvent(grid()->viewport(), &event);
    }
    EXPECT_EQ(choosersSeen, 1);
    EXPECT_EQ(allShown(), before);
    EXPECT_FALSE(QFile::exists(journal::PostingJournal::pathIn(tp.globals.programFolder())));
}

// The user's keys alone: the button by its keys, typing, the arrow keys, the check box by the
// space bar, Enter.
TEST_P(ChooseTenantOnTheScreen, keyboardOnly_choosesForThisPaymentWithoutRemembering) {
    stageThree();
    load();
    grid()->setFocus();
    selectRow(1);
    button("cmdChooseTenant")->setFocus();
    whenChooserOpens([](frmChooseTenant& chooser) {
        type(QStringLiteral("lee"));  // Ann Lee, the only one
        press(Qt::Key_Up);
        QWidget* box = chooser.findChild<QCheckBox*>(QStringLiteral("chkRemember"));
        while (QApplication::focusWidget() != box && QApplication::focusWidget())
            press(Qt::Key_Tab);
        press(Qt::Key_Space, QStringLiteral(" "));
        press(Qt::Key_Return);
    });
    ASSERT_EQ(QApplication::focusWidget(), button("cmdChooseTenant"));
    press(Qt::Key_Space, QStringLiteral(" "));
    EXPECT_EQ(choosersSeen, 1);
    EXPECT_EQ(shown(1), (QStringList{"T42", "12 Oak St", "Lee, Ann", "Chosen by you"}));
    EXPECT_EQ(shown(2).first(), QStringLiteral("T#999"));  // not remembered: this payment only
    EXPECT_FALSE(QFile::exists(journal::PostingJournal::pathIn(tp.globals.programFolder())));
}

INSTANTIATE_TEST_SUITE_P(LineEnds, ChooseTenantOnTheScreen, kLineEnds, lineEndName);

}  // namespace
}  // namespace corvane::test
