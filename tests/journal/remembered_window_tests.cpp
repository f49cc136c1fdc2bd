#include "app/frmHistory.h"
#include "app/frmRememberedTenants.h"
#include "journal/RememberedTenants.h"
#include "journal_fixture.h"

#include <QAbstractItemModel>
#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace corvane::test {
namespace {

const QString kTitle = QStringLiteral("Corvane Remembered Tenants");

QString forgetQuestion(const char* tenant, const char* account) {
    return QStringLiteral(
               "Forget the choice of tenant %1 for account %2? Payments already posted stay as "
               "they are; later payments of account %2 will match no tenant until you choose one "
               "again.")
        .arg(QLatin1String(tenant), QLatin1String(account));
}

class RememberedTenantsWindow : public JournalFixture {
protected:
    RememberedTenantsWindow() {
        addTenant(101);
        addTenant(102);
        openLedger();
    }
    void remember(const char* account, std::int64_t tenant, QDate on) {
        journal::RememberedTenants(journal().db())
            .remember({QLatin1String(account), tenant, on, QStringLiteral("OFFICE-PC")});
    }
    frmRememberedTenants& open() {
        window = std::make_unique<frmRememberedTenants>(tp.globals);
        window->Load();
        window->show();
        return *window;
    }
    QTableView* grid() const {
        return window->findChild<QTableView*>(QStringLiteral("gridRemembered"));
    }
    QStringList row(int r) const {
        QStringList cells;
        for (int c = 0; c < grid()->model()->columnCount(); ++c)
            cells << grid()->model()->index(r, c).data().toString();
        return cells;
    }
    QPushButton* forget() const {
        return window->findChild<QPushButton*>(QStringLiteral("cmdForget"));
    }

    std::unique_ptr<frmRememberedTenants> window;
};

TEST_F(RememberedTenantsWindow, listsEveryChoiceByAccountWithTheTenantsNameNow) {
    remember("T999", 101, QDate(2026, 12, 1));
    remember("T12", 555, QDate(2026, 11, 3));  // a tenant removed from the ledger since
    ledger.addTenant(103, 3, QStringLiteral("VACANT"), QVariant());  // no last name
    remember("T5", 103, QDate(2026, 11, 4));
    frmRememberedTenants& w = open();
    EXPECT_EQ(w.windowTitle(), kTitle);
    EXPECT_TRUE(w.isModal());
    QStringList captions;
    for (int c = 0; c < grid()->model()->columnCount(); ++c)
        captions << grid()->model()->headerData(c, Qt::Horizontal).toString();
    EXPECT_EQ(captions, (QStringList{"Account", "Tenant", "Name", "Date", "Computer"}));
    ASSERT_EQ(grid()->model()->rowCount(), 3);
    EXPECT_EQ(row(0),
              (QStringList{"T12", "T555", "(tenant not found)", "11/03/2026", "OFFICE-PC"}));
    EXPECT_EQ(row(1), (QStringList{"T5", "T103", "VACANT", "11/04/2026", "OFFICE-PC"}));
    EXPECT_EQ(row(2), (QStringList{"T999", "T101", "Lee, Ann101", "12/01/2026", "OFFICE-PC"}));
    EXPECT_EQ(w.selectedAccount(), QStringLiteral("T12"));
    EXPECT_TRUE(forget()->isEnabled());
    EXPECT_TRUE(w.findChild<QLabel*>(QStringLiteral("labNone"))->isHidden());

    QStringList names;
    const std::function<void(QAccessibleInterface*)> walk = [&](QAccessibleInterface* node) {
        if (!node)
            return;
        names << node->text(QAccessible::Name);
        for (int i = 0; i < node->childCount(); ++i)
            walk(node->child(i));
    };
    walk(QAccessible::queryAccessibleInterface(&w));
    for (const char* name : {"Remembered Tenants", "Account", "Computer", "T999", "Lee, Ann101",
                             "12/01/2026", "Forget This Choice", "Exit"})
        EXPECT_TRUE(names.contains(QLatin1String(name))) << name;
}

TEST_F(RememberedTenantsWindow, noChoiceShowsTheLabelAndCannotForget) {
    for (const bool journalFile : {false, true}) {
        if (journalFile)
            journal();
        frmRememberedTenants& w = open();
        EXPECT_EQ(grid()->model()->rowCount(), 0);
        auto* label = w.findChild<QLabel*>(QStringLiteral("labNone"));
        EXPECT_FALSE(label->isHidden());
        EXPECT_EQ(label->text(), QStringLiteral("No tenant choice is remembered."));
        EXPECT_FALSE(forget()->isEnabled());
    }
}

TEST_F(RememberedTenantsWindow, forgettingAsksFirstAndChangesNothingPosted) {
    remember("T999", 101, QDate(2026, 12, 1));
    remember("T998", 102, QDate(2026, 12, 2));
    const std::int64_t runID =
        postRun(QDateTime(QDate(2026, 12, 2), QTime(9, 0)), {{101, "1250.00", "12/01/2026"}});
    const QStringList ledgerBefore = ledgerDump();
    const auto rowsBefore = journal().readRun(runID)->rows;
    open().selectRow(1);

    tp.dialogs.expectQuestion(forgetQuestion("T101", "T999"), kTitle, kAnswerNo, MsgIcon::Question);
    forget()->click();
    tp.dialogs.verifyAllShown();
    EXPECT_EQ(grid()->model()->rowCount(), 2);

    tp.dialogs.expectQuestion(forgetQuestion("T101", "T999"), kTitle, kAnswerYes,
                              MsgIcon::Question);
    forget()->click();
    tp.dialogs.verifyAllShown();
    ASSERT_EQ(grid()->model()->rowCount(), 1);
    EXPECT_EQ(row(0).first(), QStringLiteral("T998"));
    EXPECT_EQ(window->selectedAccount(), QStringLiteral("T998"));
    EXPECT_EQ(journal::RememberedTenants(journal().db()).list().size(), 1u);
    EXPECT_EQ(ledgerDump(), ledgerBefore);
    const auto rowsAfter = journal().readRun(runID)->rows;
    ASSERT_EQ(rowsAfter.size(), rowsBefore.size());
    EXPECT_EQ(rowsAfter[0].incomeTransID, rowsBefore[0].incomeTransID);
    EXPECT_EQ(rowsAfter[0].tid, rowsBefore[0].tid);
}

TEST_F(RememberedTenantsWindow, theHistoryOpensItByItsButton) {
    remember("T999", 101, QDate(2026, 12, 1));
    frmHistory history(tp.globals);
    history.Load();
    history.show();
    auto* button = history.findChild<QPushButton*>(QStringLiteral("cmdRemembered"));
    ASSERT_TRUE(button);
    EXPECT_EQ(button->text(), QStringLiteral("Remembered &Tenants..."));
    QString title;
    int rows = -1;
    QTimer::singleShot(0, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        title = modal->windowTitle();
        rows = modal->findChild<QTableView*>(QStringLiteral("gridRemembered"))->model()->rowCount();
        modal->close();
    });
    button->click();
    EXPECT_EQ(title, kTitle);
    EXPECT_EQ(rows, 1);
}

}  // namespace
}  // namespace corvane::test
