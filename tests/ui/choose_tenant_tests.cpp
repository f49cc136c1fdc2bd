#include "payments/frmChooseTenant.h"
#include "support/TestLedger.h"
#include "support/TestPlatform.h"
#include "support/Widgets.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

#include <gtest/gtest.h>

#include <functional>

namespace corvane::test {
namespace {

// What the Choose Tenant window is opened with, for the payment of account T999.
ChooseTenantInput payment() {
    return {QStringLiteral("T999"),    QStringLiteral("Ann Lee"),    QStringLiteral("99 Pine Rd"),
            QStringLiteral("1250.00"), QStringLiteral("06/01/2026"), QStringLiteral("B100")};
}

// Presses and releases a key on the widget that has the keyboard focus.
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

class ChooseTenantWindow : public ::testing::Test {
protected:
    ChooseTenantWindow() : ledger(tp.path(kLedgerFileName)) {
        ledger.addOwner(7, QStringLiteral("Owner"), QStringLiteral("Olga"));
        ledger.addProperty(3, 7, QStringLiteral("Elm Court"));
        ledger.addTenant(42, 3, QStringLiteral("Ann"), QStringLiteral("Lee"));
        ledger.addUnit(1, 42, QStringLiteral("12 Oak St"));
        ledger.addTenant(7, 3, QStringLiteral("Bob"), QStringLiteral("Smith"));
        ledger.addUnit(2, 7, QStringLiteral("99 Pine Rd"));
        ledger.addTenant(105, 3, QStringLiteral("Ann"), QStringLiteral("Leeds"));
        ledger.addUnit(3, 105, QStringLiteral("5 Elm St"));
        db = ledger::Database::open(ledger.path());
        candidates.load(*db);
        window = std::make_unique<frmChooseTenant>(payment(), candidates);
        window->show();
        QApplication::setActiveWindow(window.get());
        QApplication::processEvents();
    }
    template <typename T>
    T* control(const char* name) const {
        return child<T>(*window, name);
    }
    QTableView* grid() const { return control<QTableView>("gridTenants"); }
    QString currentTid() const {
        const QModelIndex current = grid()->currentIndex();
        return current.isValid() ? current.siblingAtColumn(0).data().toString() : QString();
    }

    TestPlatform tp;
    TestLedger ledger;
    std::unique_ptr<ledger::Database> db;
    TenantCandidates candidates;
    std::unique_ptr<frmChooseTenant> window;
};

TEST_F(ChooseTenantWindow, showsThePaymentAndSelectsTheBestCandidate) {
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Corvane Choose Tenant"));
    EXPECT_TRUE(window->isModal());
    const std::pair<const char*, const char*> lines[] = {{"labPayerName", "Ann Lee"},
                                                         {"labPayerAddress", "99 Pine Rd"},
                                                         {"labAmount", "1250.00"},
                                                         {"labDate", "06/01/2026"},
                                                         {"labTransactionNumber", "B100"}};
    for (const auto& [name, text] : lines)
        EXPECT_EQ(control<QLabel>(name)->text(), QLatin1String(text)) << name;
    EXPECT_EQ(control<QCheckBox>("chkRemember")->text(),
              QStringLiteral("&Remember this tenant for account T999"));
    EXPECT_TRUE(control<QCheckBox>("chkRemember")->isChecked());
    EXPECT_EQ(control<QPushButton>("cmdUse")->text(), QStringLiteral("&Use This Tenant"));
    EXPECT_EQ(control<QPushButton>("cmdCancel")->text(), QStringLiteral("&Cancel"));
    // Bob Smith lives at the payer's address; Ann Lee has the payer's name.
    EXPECT_EQ(currentTid(), QStringLiteral("T7"));
    EXPECT_EQ(grid()->model()->index(1, 1).data().toString(), QStringLiteral("Lee, Ann"));
    EXPECT_EQ(QApplication::focusWidget(), control<QLineEdit>("txtSearch"));
}

TEST_F(ChooseTenantWindow, keyboardOnly_typeToSearchArrowDownEnter) {
    type(QStringLiteral("lee"));
    EXPECT_EQ(grid()->model()->rowCount(), 2);
    EXPECT_EQ(currentTid(), QStringLiteral("T42"));
    press(Qt::Key_Down);
    EXPECT_EQ(currentTid(), QStringLiteral("T105"));
    EXPECT_EQ(QApplication::focusWidget(), control<QLineEdit>("txtSearch"));
    press(Qt::Key_Return);
    EXPECT_EQ(window->result(), QDialog::Accepted);
    ASSERT_TRUE(window->chosen());
    EXPECT_EQ(window->chosen()->tenant.tenantID, 105);
    EXPECT_EQ(window->chosen()->tenant.tid, QStringLiteral("T105"));
    EXPECT_EQ(window->chosen()->tenant.name, QStringLiteral("Leeds, Ann"));
    EXPECT_EQ(window->chosen()->tenant.unitAddress, QStringLiteral("5 Elm St"));
    EXPECT_TRUE(window->chosen()->remember);
}

TEST_F(ChooseTenantWindow, aTenantWithoutALastNameIsListedByTheFirstName) {
    ledger.addTenant(8, 3, QStringLiteral("VACANT"), QVariant());
    ledger.addUnit(4, 8, QStringLiteral("7 Elm St"));
    candidates.load(*db);
    type(QStringLiteral("vacant"));
    ASSERT_EQ(grid()->model()->rowCount(), 1);
    EXPECT_EQ(grid()->model()->index(0, 1).data().toString(), QStringLiteral("VACANT"));
    press(Qt::Key_Return);
    ASSERT_TRUE(window->chosen());
    // The payment's row shows the name as a matched row of the tenant does.
    EXPECT_EQ(window->chosen()->tenant.name, QStringLiteral(", VACANT"));
}

TEST_F(ChooseTenantWindow, nothingListedNothingToUse) {
    type(QStringLiteral("zzz"));
    EXPECT_EQ(grid()->model()->rowCount(), 0);
    EXPECT_FALSE(control<QPushButton>("cmdUse")->isEnabled());
    press(Qt::Key_Return);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->chosen());
    press(Qt::Key_Backspace);
    press(Qt::Key_Backspace);
    press(Qt::Key_Backspace);
    EXPECT_EQ(grid()->model()->rowCount(), 3);
    EXPECT_TRUE(control<QPushButton>("cmdUse")->isEnabled());
}

// A screen reader's user: every control and value found by its caption, and used by its actions.
TEST_F(ChooseTenantWindow, everythingIsReachableThroughTheAccessibilityTree) {
    QHash<QString, QAccessibleInterface*> byName;
    const std::function<void(QAccessibleInterface*)> walk = [&](QAccessibleInterface* node) {
        if (!node)
            return;
        byName.insert(node->text(QAccessible::Name), node);
        for (int i = 0; i < node->childCount(); ++i)
            walk(node->child(i));
    };
    walk(QAccessible::queryAccessibleInterface(window.get()));
    for (const char* name :
         {"Payment:", "Payer Name:", "Ann Lee", "99 Pine Rd", "1250.00", "06/01/2026", "B100",
          "Search", "Tenants", "TID", "Tenant Name", "Unit Address", "Property", "Smith, Bob",
          "Elm Court", "Remember this tenant for account T999", "Use This Tenant", "Cancel"}) {
        EXPECT_TRUE(byName.contains(QLatin1String(name))) << name;
    }
    const auto labels = byName.value(QStringLiteral("Ann Lee"))->relations(QAccessible::Label);
    QStringList captions;
    for (const auto& [label, relation] : labels)
        captions << label->text(QAccessible::Name);
    EXPECT_TRUE(captions.contains(QStringLiteral("Payer Name:")))
        << captions.join(u'|').toStdString();

    QAccessibleInterface* search = byName.value(QStringLiteral("Search"));
    ASSERT_TRUE(search && search->editableTextInterface());
    search->editableTextInterface()->insertText(0, QStringLiteral("leeds"));
    EXPECT_EQ(currentTid(), QStringLiteral("T105"));
    QAccessibleInterface* remember =
        byName.value(QStringLiteral("Remember this tenant for account T999"));
    ASSERT_TRUE(remember && remember->actionInterface());
    remember->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    QAccessibleInterface* use = byName.value(QStringLiteral("Use This Tenant"));
    ASSERT_TRUE(use && use->actionInterface());
    use->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QElapsedTimer waited;  // the button is pressed as a user would, for a moment
    waited.start();
    while (window->isVisible() && waited.elapsed() < 2000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_TRUE(window->chosen());
    EXPECT_EQ(window->chosen()->tenant.tenantID, 105);
    EXPECT_FALSE(window->chosen()->remember);
}

}  // namespace
}  // namespace corvane::test
