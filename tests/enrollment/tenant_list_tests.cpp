#include "enrollment/TenantExport.h"
#include "enrollment/TenantListModel.h"

#include "platform/ledger/Database.h"
#include "support/TestLedger.h"
#include "support/TestPlatform.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

using test::TestLedger;
using test::TestPlatform;

class TenantListModelTest : public ::testing::Test {
protected:
    TenantListModelTest() : ledger(tp.path(kLedgerFileName)) {
        ledger.addOwner(1, QStringLiteral("Stone"), QStringLiteral("Ida"));
        ledger.addProperty(10, 1, QStringLiteral("Harbor Court"));
        ledger.addTenant(1, 10, QStringLiteral("Ann"), QStringLiteral("Lee"), QStringLiteral("N"));
        ledger.addUnit(1, 1, QStringLiteral("1 Elm"));
        ledger.addTenant(2, 10, QStringLiteral("Bo"), QStringLiteral("Ray"), QStringLiteral("Y"));
        ledger.addUnit(2, 2, QStringLiteral("2 Elm"));
        ledger.addUnit(3, 2, QStringLiteral("3 Elm"));
        ledger.exec(
            QStringLiteral("UPDATE Tenants SET TPayment=1250.5 WHERE TenantID=1; "
                           "UPDATE Tenants SET TPayment=NULL WHERE TenantID=2"));
        db = ledger::Database::open(ledger.path());
        // As the tenant screen shows a refused edit.
        QObject::connect(&model, &TenantListModel::editRefused,
                         [this](const UserMessage& message) { tell(tp.dialogs, message); });
        model.load(*db, kTenantListSql + QStringLiteral(" ORDER BY UAddress"));
    }
    QString storedFlag(int tenantId) const {
        return ledger
            .value(QStringLiteral("SELECT TACH FROM Tenants WHERE TenantID=%1").arg(tenantId))
            .toString();
    }
    QModelIndex flagCell(int row) const { return model.index(row, TenantListModel::ColCorvane); }

    TestPlatform tp;
    TestLedger ledger;
    std::unique_ptr<ledger::Database> db;
    TenantListModel model;
};

TEST_F(TenantListModelTest, listsOneRowPerUnit_withCaptionsAndCurrency) {
    ASSERT_EQ(model.rowCount(), 3);
    const QStringList captions = {"OID",
                                  "PID",
                                  "TID",
                                  "Owner Last",
                                  "Owner First",
                                  "Property Name",
                                  "Rental Unit Address",
                                  "Tenant Last",
                                  "Tenant First",
                                  "Payment",
                                  "Corvane"};
    for (int c = 0; c < captions.size(); ++c) {
        EXPECT_EQ(model.headerData(c, Qt::Horizontal).toString(), captions[c]);
    }
    const QStringList first = {"1",     "10",  "1",   "Stone",     "Ida", "Harbor Court",
                               "1 Elm", "Lee", "Ann", "$1,250.50", "N"};
    for (int c = 0; c < first.size(); ++c) {
        EXPECT_EQ(model.index(0, c).data().toString(), first[c]) << "column " << c;
    }
    EXPECT_EQ(model.index(1, TenantListModel::ColPayment).data().toString(), QString());
    EXPECT_EQ(model.index(2, TenantListModel::ColTID).data().toString(), QStringLiteral("2"));
}

TEST_F(TenantListModelTest, onlyTheFlagColumnIsEditable) {
    for (int c = 0; c < TenantListModel::ColumnCount; ++c) {
        EXPECT_EQ(model.flags(model.index(0, c)).testFlag(Qt::ItemIsEditable),
                  c == TenantListModel::ColCorvane)
            << "column " << c;
    }
    EXPECT_FALSE(model.setData(model.index(0, TenantListModel::ColTenantLast), "X"));
    EXPECT_EQ(ledger.value("SELECT TLastName1 FROM Tenants WHERE TenantID=1").toString(), "Lee");
}

struct FlagCase {
    const char* typed;
    bool accepted;
    const char* stored;  // the flag of tenant 1 afterwards
};

void PrintTo(const FlagCase& c, std::ostream* os) {
    *os << '"' << c.typed << '"';
}

class FlagCheckTest : public TenantListModelTest, public ::testing::WithParamInterface<FlagCase> {};

TEST_P(FlagCheckTest, flagEdit_upperCasedOrRefusedWithMessage) {
    const FlagCase& c = GetParam();
    if (!c.accepted)
        tp.dialogs.expectMessage(kFlagRefusedMessage, kFlagRefusedTitle);

    EXPECT_EQ(model.setData(flagCell(0), QString::fromUtf8(c.typed)), c.accepted);

    EXPECT_EQ(storedFlag(1), QString::fromUtf8(c.stored));
    EXPECT_EQ(flagCell(0).data().toString(), QString::fromUtf8(c.stored));
}

INSTANTIATE_TEST_SUITE_P(Typed, FlagCheckTest,
                         ::testing::Values(FlagCase{"y", true, "Y"}, FlagCase{"n", true, "N"},
                                           FlagCase{"d", true, "D"}, FlagCase{"Y", true, "Y"},
                                           FlagCase{"Yes", false, "N"}, FlagCase{"x", false, "N"},
                                           FlagCase{"", false, "N"}, FlagCase{" y", false, "N"}));

TEST_F(TenantListModelTest, flagEditOfTenantInTwoUnits_showsOnBothRows) {
    EXPECT_TRUE(model.setData(flagCell(1), QStringLiteral("d")));

    EXPECT_EQ(storedFlag(2), QStringLiteral("D"));
    EXPECT_EQ(flagCell(1).data().toString(), QStringLiteral("D"));
    EXPECT_EQ(flagCell(2).data().toString(), QStringLiteral("D"));
    EXPECT_EQ(storedFlag(1), QStringLiteral("N"));
}

TEST_F(TenantListModelTest, flagEditOfRemovedTenant_isReportedNotShown) {
    ledger.exec(QStringLiteral("DELETE FROM Tenants WHERE TenantID=1"));
    tp.dialogs.allowAnyMessages();

    EXPECT_FALSE(model.setData(flagCell(0), QStringLiteral("Y")));

    ASSERT_EQ(tp.dialogs.shown().size(), 1u);
    EXPECT_EQ(tp.dialogs.shown()[0].title, QStringLiteral("Corvane Error Message"));
    EXPECT_TRUE(tp.dialogs.shown()[0].text.startsWith(QStringLiteral("Error 3021: ")));
    EXPECT_EQ(flagCell(0).data().toString(), QStringLiteral("N"));
}

TEST_F(TenantListModelTest, setAllFlags_writesEveryListedTenantOnly) {
    ledger.addTenant(3, 10, QStringLiteral("Cy"), QStringLiteral("Unlisted"),
                     QStringLiteral("N"));  // no unit: not listed

    model.setAllFlags(QStringLiteral("Y"));

    EXPECT_EQ(storedFlag(1), QStringLiteral("Y"));
    EXPECT_EQ(storedFlag(2), QStringLiteral("Y"));
    EXPECT_EQ(storedFlag(3), QStringLiteral("N"));
    for (int r = 0; r < model.rowCount(); ++r) {
        EXPECT_EQ(flagCell(r).data().toString(), QStringLiteral("Y"));
    }
    EXPECT_TRUE(tp.dialogs.shown().empty());
}

TEST_F(TenantListModelTest, reload_seesAnotherWritersChanges) {
    ledger.exec(QStringLiteral("UPDATE Tenants SET TACH='D' WHERE TenantID=1"));
    EXPECT_EQ(flagCell(0).data().toString(), QStringLiteral("N"));

    model.reload();

    EXPECT_EQ(flagCell(0).data().toString(), QStringLiteral("D"));
}

TEST_F(TenantListModelTest, reload_seesChangesWrittenThroughTheSameLedger) {
    auto tenants = db->openTable(QStringLiteral("Tenants"));
    tenants->setIndex(QStringLiteral("TenantIDIndex"));
    tenants->seek(ledger::Value::integer(1));
    tenants->edit();
    tenants->setField(QStringLiteral("TLastName1"), ledger::Value::text(QStringLiteral("Lane")));
    tenants->update();
    model.reload();
    EXPECT_EQ(model.index(0, TenantListModel::ColTenantLast).data().toString(),
              QStringLiteral("Lane"));

    // Unchanged records list the same rows again.
    model.reload();
    ASSERT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.index(2, TenantListModel::ColUnitAddress).data().toString(),
              QStringLiteral("3 Elm"));
}

}  // namespace
}  // namespace corvane
