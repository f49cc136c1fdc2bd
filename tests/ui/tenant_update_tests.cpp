#include "enrollment/TenantListModel.h"
#include "enrollment/frmTenantUpdate.h"
#include "platform/OptionList.h"

#include "platform/ledger/Database.h"
#include "support/TestFiles.h"
#include "support/TestLedger.h"
#include "support/TestPlatform.h"
#include "support/Widgets.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableView>

#include <gtest/gtest.h>

#include <vector>

namespace corvane {
namespace {

using test::TestLedger;
using test::TestPlatform;

const QString kExportQuestion = QStringLiteral(
    "This will create an export file in CSV format (comma separated values) for all Corvane "
    "tenants. You can use this file in Excel and Word to create a merge letter informing your "
    "Tenants of their TID login and the benefits of the Corvane service. The file name that will "
    "be created is 'CorvaneTenantExport.csv' and will be found in your Lodgebook folder.\r\r"
    "Do you want to create the file now?");
const QString kActivateAll =
    QStringLiteral("Are you SURE you want to change ALL Tenants to ACTIVATE CORVANE?");
const QString kRemoveAll =
    QStringLiteral("Are you SURE you want to REMOVE ALL Tenants from CORVANE?");

// Six listed tenants whose orders differ by every sort item, with names and addresses whose
// order depends on comparing without regard to case; tenant 8 has no unit and is never listed.
class TenantUpdateScreenTest : public ::testing::Test {
protected:
    TenantUpdateScreenTest() : ledger(tp.path(kLedgerFileName)) {
        ledger.addOwner(1, QStringLiteral("zeta"), QStringLiteral("Amy"));
        ledger.addOwner(2, QStringLiteral("Alpha"), QStringLiteral("Bob"));
        ledger.addProperty(10, 2, QStringLiteral("Maple Court"));
        ledger.addProperty(20, 1, QStringLiteral("birch House"));
        addTenant(1, 10, "Ann", "carter", "Y", "Cedar Way 3");
        addTenant(2, 20, "Bea", "Adams", "N", "aspen Road 7");
        addTenant(3, 10, "Cy", "baker", "D", "Birch Lane 2");
        addTenant(4, 20, "Di", "Evans", "yes", "dogwood Ct 1");
        addTenant(5, 10, "Ed", "dunn", " Y", "Elm St 9");
        addTenant(6, 20, "Flo", "Gray", "y", "Fir Ave 4");
        ledger.addTenant(8, 10, QStringLiteral("Hal"), QStringLiteral("Nounit"),
                         QStringLiteral("Y"));
        tp.globals.LedgerDbPath = ledger.path();
        tp.globals.LedgerDb = ledger::Database::open(ledger.path());
    }
    void addTenant(int id, int prop, const char* first, const char* last, const char* flag,
                   const char* address) {
        ledger.addTenant(id, prop, QString::fromUtf8(first), QString::fromUtf8(last),
                         QString::fromUtf8(flag));
        ledger.addUnit(id, id, QString::fromUtf8(address));
    }
    std::vector<int> listed() const {
        std::vector<int> ids;
        for (int r = 0; r < grid()->model()->rowCount(); ++r) {
            ids.push_back(grid()->model()->index(r, TenantListModel::ColTID).data().toInt());
        }
        return ids;
    }
    std::vector<QString> storedFlags() const {
        std::vector<QString> flags;
        for (const QVariantList& row : ledger.rows("SELECT TACH FROM Tenants ORDER BY TenantID")) {
            flags.push_back(row[0].toString());
        }
        return flags;
    }
    template <typename T>
    T* control(const char* name) const {
        return test::child<T>(screen, name);
    }
    QTableView* grid() const { return control<QTableView>("gridACH"); }
    OptionList* display() const { return control<OptionList>("optDisplay"); }
    OptionList* sortBy() const { return control<OptionList>("optSortBy"); }
    QString count() const { return control<QLabel>("labCount")->text(); }

    TestPlatform tp;
    TestLedger ledger;
    frmTenantUpdate screen{tp.globals};
};

TEST_F(TenantUpdateScreenTest, opening_listsAllByUnitAddressWithItsWidths) {
    screen.Load();

    EXPECT_EQ(screen.windowTitle(), QStringLiteral("Corvane Tenant Update"));
    EXPECT_EQ(display()->selectedIndex(), 1);
    EXPECT_EQ(sortBy()->selectedText(), QStringLiteral("Rental Unit Address"));
    EXPECT_EQ(listed(), (std::vector<int>{2, 3, 1, 4, 5, 6}));
    EXPECT_EQ(count(), QStringLiteral("6"));
    QTableView* g = grid();
    // Widths in pixels at the offscreen screen's 96 dots an inch: 15 twips a pixel.
    ASSERT_EQ(g->logicalDpiX(), 96);
    for (int hidden :
         {TenantListModel::ColOID, TenantListModel::ColPID, TenantListModel::ColOwnerLast,
          TenantListModel::ColOwnerFirst, TenantListModel::ColPropertyName}) {
        EXPECT_TRUE(g->isColumnHidden(hidden)) << "column " << hidden;
    }
    EXPECT_EQ(g->columnWidth(TenantListModel::ColTID), 33);
    EXPECT_EQ(g->columnWidth(TenantListModel::ColUnitAddress), 298);
    EXPECT_EQ(g->columnWidth(TenantListModel::ColTenantLast), 167);
    EXPECT_EQ(g->columnWidth(TenantListModel::ColTenantFirst), 133);
    EXPECT_FALSE(g->isColumnHidden(TenantListModel::ColPayment));
    EXPECT_FALSE(g->isColumnHidden(TenantListModel::ColCorvane));
    EXPECT_TRUE(tp.dialogs.shown().empty());
}

TEST_F(TenantUpdateScreenTest, controls_carryTheirCaptions) {
    EXPECT_EQ(display()->title(), QStringLiteral("Choose one:"));
    EXPECT_EQ(display()->accessibleName(), QStringLiteral("Choose one:"));
    EXPECT_EQ(sortBy()->title(), QStringLiteral("Sort by:"));
    EXPECT_EQ(control<QCheckBox>("chkSelectAll")->text(),
              QStringLiteral("Select or de-select  ALL TENANTS for Corvane"));
    EXPECT_EQ(control<QPushButton>("cmdExport")->text(),
              QStringLiteral("Create Corvane Tenant Export File"));
    EXPECT_EQ(control<QPushButton>("cmdExit")->text(), QStringLiteral("&Exit"));
    EXPECT_EQ(control<QLabel>("labListed")->text(), QStringLiteral("Tenants Listed:"));
    EXPECT_EQ(
        control<QLabel>("labTID")->text(),
        QStringLiteral("Note: the TID is the unique Tenant ID needed for each Tenant's login."));
    EXPECT_TRUE(control<QLabel>("labUpdatePSN")->text().startsWith("After you have updated"));
    EXPECT_TRUE(control<QPlainTextEdit>("txtTenantUpdate")->isReadOnly());
    EXPECT_FALSE(grid()->accessibleName().isEmpty());
}

struct OrderCase {
    int item;
    const char* text;
    std::vector<int> tenants;
};
// Shown in test names by its caption.
void PrintTo(const OrderCase& c, std::ostream* os) {
    *os << '"' << c.text << '"';
}

class SortOrderTest : public TenantUpdateScreenTest,
                      public ::testing::WithParamInterface<OrderCase> {};

TEST_P(SortOrderTest, sortItem_ordersWithoutRegardToCase) {
    screen.Load();
    sortBy()->setSelectedIndex(GetParam().item);

    EXPECT_EQ(sortBy()->selectedText(), QString::fromLatin1(GetParam().text));
    EXPECT_EQ(listed(), GetParam().tenants);
    EXPECT_EQ(count(), QStringLiteral("6"));
}

INSTANTIATE_TEST_SUITE_P(
    Items, SortOrderTest,
    ::testing::Values(OrderCase{0, "Owner Name", {3, 1, 5, 2, 4, 6}},
                      OrderCase{1, "Property/Building Name", {2, 4, 6, 3, 1, 5}},
                      OrderCase{2, "Rental Unit Address", {2, 3, 1, 4, 5, 6}},
                      OrderCase{3, "Tenant Name", {2, 3, 1, 5, 4, 6}},
                      // " Y" first, then D before N before Y ("Y" and "y" alike, by last name).
                      OrderCase{4, "Corvane", {5, 3, 2, 1, 6, 4}}));

TEST_F(TenantUpdateScreenTest, sortItem_setsItsColumnWidths) {
    screen.Load();
    QTableView* g = grid();

    sortBy()->setSelectedIndex(0);
    EXPECT_EQ(g->columnWidth(TenantListModel::ColOwnerLast), 167);
    EXPECT_EQ(g->columnWidth(TenantListModel::ColOwnerFirst), 100);
    EXPECT_TRUE(g->isColumnHidden(TenantListModel::ColPropertyName));
    EXPECT_EQ(g->columnWidth(TenantListModel::ColUnitAddress), 200);
    EXPECT_EQ(g->columnWidth(TenantListModel::ColTenantLast), 133);
    EXPECT_TRUE(g->isColumnHidden(TenantListModel::ColTenantFirst));

    sortBy()->setSelectedIndex(1);
    EXPECT_TRUE(g->isColumnHidden(TenantListModel::ColOwnerLast));
    EXPECT_EQ(g->columnWidth(TenantListModel::ColPropertyName), 231);
    EXPECT_EQ(g->columnWidth(TenantListModel::ColUnitAddress), 233);
    EXPECT_TRUE(g->isColumnHidden(TenantListModel::ColTenantFirst));
    EXPECT_TRUE(g->isColumnHidden(TenantListModel::ColOID));
}

TEST_F(TenantUpdateScreenTest, showCorvaneTenants_listsFlagsStartingWithY) {
    screen.Load();

    display()->setSelectedIndex(0);

    // "Y", "yes" and "y" count; " Y" (a blank first) does not.
    EXPECT_EQ(listed(), (std::vector<int>{1, 4, 6}));
    EXPECT_EQ(count(), QStringLiteral("3"));

    display()->setSelectedIndex(1);
    EXPECT_EQ(count(), QStringLiteral("6"));
}

TEST_F(TenantUpdateScreenTest, selectAllTicked_yesActivatesEveryListedTenant) {
    screen.Load();
    display()->setSelectedIndex(0);
    tp.dialogs.expectQuestion(kActivateAll, QStringLiteral("Tenant Update"), kAnswerYes);

    control<QCheckBox>("chkSelectAll")->click();

    EXPECT_EQ(display()->selectedIndex(), 1);
    // Tenant 8 has no unit, is not listed and keeps its flag either way.
    EXPECT_EQ(storedFlags(), (std::vector<QString>{"Y", "Y", "Y", "Y", "Y", "Y", "Y"}));
    EXPECT_EQ(count(), QStringLiteral("6"));
    for (int r = 0; r < 6; ++r) {
        EXPECT_EQ(grid()->model()->index(r, TenantListModel::ColCorvane).data().toString(), "Y");
    }
}

TEST_F(TenantUpdateScreenTest, selectAllCleared_yesRemovesEveryListedTenant) {
    screen.Load();
    QCheckBox* box = control<QCheckBox>("chkSelectAll");
    {
        const QSignalBlocker quiet(box);  // ticked before, without its steps
        box->setChecked(true);
    }
    tp.dialogs.expectQuestion(kRemoveAll, QStringLiteral("Tenant Update"), kAnswerYes);

    box->click();

    EXPECT_EQ(storedFlags(), (std::vector<QString>{"N", "N", "N", "N", "N", "N", "Y"}));
}

TEST_F(TenantUpdateScreenTest, selectAll_noWritesNothingButShowsAll) {
    screen.Load();
    display()->setSelectedIndex(0);
    const std::vector<QString> before = storedFlags();
    tp.dialogs.expectQuestion(kActivateAll, QStringLiteral("Tenant Update"), kAnswerNo);
    QCheckBox* box = control<QCheckBox>("chkSelectAll");

    box->click();

    EXPECT_TRUE(box->isChecked());
    EXPECT_EQ(display()->selectedIndex(), 1);
    EXPECT_EQ(count(), QStringLiteral("6"));
    EXPECT_EQ(storedFlags(), before);
}

// Space on the focused box and an assistive tool's "Toggle" action run the select-all steps as a
// mouse click does.
TEST_F(TenantUpdateScreenTest, selectAllBySpaceOrAccessibleToggle_asksAndWrites) {
    screen.Load();
    screen.show();
    QCheckBox* box = control<QCheckBox>("chkSelectAll");

    tp.dialogs.expectQuestion(kActivateAll, QStringLiteral("Tenant Update"), kAnswerYes);
    box->setFocus();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
    QApplication::sendEvent(box, &press);
    QApplication::sendEvent(box, &release);
    tp.dialogs.verifyAllShown();
    EXPECT_TRUE(box->isChecked());
    EXPECT_EQ(storedFlags(), (std::vector<QString>{"Y", "Y", "Y", "Y", "Y", "Y", "Y"}));

    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(box);
    ASSERT_NE(accessible, nullptr);
    ASSERT_NE(accessible->actionInterface(), nullptr);
    ASSERT_TRUE(accessible->actionInterface()->actionNames().contains(
        QAccessibleActionInterface::toggleAction()));
    tp.dialogs.expectQuestion(kRemoveAll, QStringLiteral("Tenant Update"), kAnswerYes);
    accessible->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    tp.dialogs.verifyAllShown();
    EXPECT_FALSE(box->isChecked());
    EXPECT_EQ(storedFlags(), (std::vector<QString>{"N", "N", "N", "N", "N", "N", "Y"}));
    screen.close();
}

TEST_F(TenantUpdateScreenTest, tenantCount_isHeardWithItsCaption) {
    screen.Load();
    QLabel* countLabel = control<QLabel>("labCount");
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(countLabel);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->text(QAccessible::Name), QStringLiteral("6"));
    const auto labels = accessible->relations(QAccessible::Label);  // labelled by
    ASSERT_EQ(labels.size(), 1);
    EXPECT_EQ(labels.first().first->text(QAccessible::Name), QStringLiteral("Tenants Listed:"));
}

// Start-up could not open the ledger: the screen tries again and, when it still cannot, says why
// as start-up does and lists nothing.
TEST_F(TenantUpdateScreenTest, ledgerNotOpenedAtStartUp_isOpenedAgainOrTheReasonTold) {
    // Opening the ledger again also reads what start-up did not get to: the log, the preferences.
    test::writeFile(tp.path(kPostingLogFileName),
                    "03/02/2026\r\n1234.5\r\nhttps://pay.example\r\n3/1/2026\r\n03/02/2026\r\n");
    test::writeFile(tp.path(QStringLiteral("IDFILE.DAT")), test::preferencesFile());
    tp.globals.LedgerDb.reset();
    screen.Load();
    EXPECT_TRUE(tp.globals.LedgerDb);
    EXPECT_EQ(count(), QStringLiteral("6"));

    frmTenantUpdate again(tp.globals);
    tp.globals.LedgerDb.reset();
    QFile::remove(ledger.path());
    tp.dialogs.expectMessage(QStringLiteral("Lodgebook data file not found - be sure that the "
                                            "Corvane Program is copied into the same directory or "
                                            "folder as the main Lodgebook Program."),
                             QStringLiteral("Corvane"));
    again.Load();
    tp.dialogs.verifyAllShown();
    EXPECT_FALSE(tp.globals.LedgerDb);
    EXPECT_EQ(again.findChild<QTableView*>(QStringLiteral("gridACH"))->model()->rowCount(), 0);
}

TEST_F(TenantUpdateScreenTest, flagTypedInGrid_isStoredWhenScreenCloses) {
    screen.Load();
    screen.show();
    QTableView* g = grid();
    const QModelIndex cell = g->model()->index(0, TenantListModel::ColCorvane);  // tenant 2
    g->setCurrentIndex(cell);
    g->edit(cell);
    auto* editor = g->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("y"));

    screen.close();

    EXPECT_EQ(ledger.value("SELECT TACH FROM Tenants WHERE TenantID=2").toString(), "Y");
}

TEST_F(TenantUpdateScreenTest, wrongFlagTypedInGrid_isRefusedWithMessage) {
    screen.Load();
    screen.show();
    QTableView* g = grid();
    const QModelIndex cell = g->model()->index(1, TenantListModel::ColCorvane);  // tenant 3
    g->setCurrentIndex(cell);
    g->edit(cell);
    auto* editor = g->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("Yes"));
    tp.dialogs.expectMessage(kFlagRefusedMessage, kFlagRefusedTitle);

    g->setCurrentIndex(g->model()->index(2, TenantListModel::ColCorvane));

    EXPECT_EQ(ledger.value("SELECT TACH FROM Tenants WHERE TenantID=3").toString(), "D");
    EXPECT_EQ(g->model()->index(1, TenantListModel::ColCorvane).data().toString(), "D");
    screen.close();
}

TEST_F(TenantUpdateScreenTest, exportYes_writesFileOfEnrolledTenants) {
    screen.Load();
    tp.dialogs.expectQuestion(kExportQuestion, QStringLiteral("Corvane Tenant Export"), kAnswerYes);
    tp.dialogs.expectMessage(QStringLiteral("Export File Created\r\rFile Name: "
                                            "CorvaneTenantExport.csv\r\rFile Path: ") +
                                 tp.path(QStringLiteral("CorvaneTenantExport.csv")),
                             QStringLiteral("Lodgebook Corvane Export"));

    control<QPushButton>("cmdExport")->click();

    QFile file(tp.path(QStringLiteral("CorvaneTenantExport.csv")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    // Tenants 1 ("Y") and 5 (" Y"); not "yes" or "y", nor tenant 8 without a unit.
    EXPECT_EQ(bytes.count('\n'), 3);
    EXPECT_TRUE(bytes.contains(",,,T1,Ann,carter,Cedar Way 3,,,,998,,\r\n"));
    EXPECT_TRUE(bytes.contains(",,,T5,Ed,dunn,Elm St 9,,,,998,,\r\n"));
}

TEST_F(TenantUpdateScreenTest, exportNo_writesNothing) {
    screen.Load();
    tp.dialogs.expectQuestion(kExportQuestion, QStringLiteral("Corvane Tenant Export"), kAnswerNo);

    control<QPushButton>("cmdExport")->click();

    EXPECT_FALSE(QFile::exists(tp.path(QStringLiteral("CorvaneTenantExport.csv"))));
}

TEST_F(TenantUpdateScreenTest, exportOnAFullDisk_saysSoAndKeepsTheEarlierExport) {
    const QString exportPath = tp.path(QStringLiteral("CorvaneTenantExport.csv"));
    tp.files.writeAtomically(exportPath, "earlier export\r\n");
    tp.files.fillDiskOnWriting(QStringLiteral("CorvaneTenantExport.csv"));
    screen.Load();
    tp.dialogs.expectQuestion(kExportQuestion, QStringLiteral("Corvane Tenant Export"), kAnswerYes);
    tp.dialogs.expectMessage("Error 61: Disk full: " + exportPath,
                             QStringLiteral("Corvane Error Message"));

    control<QPushButton>("cmdExport")->click();

    EXPECT_EQ(tp.files.readAll(exportPath), QByteArray("earlier export\r\n"));
}

}  // namespace
}  // namespace corvane
