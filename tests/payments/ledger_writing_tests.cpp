#include "payments/LedgerPosting.h"
#include "platform/Error.h"
#include "platform/ledger/Database.h"
#include "support/TestLedger.h"
#include "support/TestPlatform.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

using ledger::Currency;
using ledger::Value;

Currency units(std::int64_t u) {
    return Currency::fromUnits(u);
}

PlannedEntry entry(std::int64_t tenantID, Currency amount, const QString& status) {
    PlannedEntry e;
    e.income = status != QLatin1String("U");
    e.accountID = 4010;
    e.postToID = tenantID;
    e.amount = amount;
    e.date = QDate(2026, 3, 1);
    e.status = status;
    e.ids = {1, 1, tenantID, tenantID};
    e.changesUnit = status == QLatin1String("B") || status == QLatin1String("U");
    e.unitChange = status == QLatin1String("U") ? -amount.abs() : amount;
    e.changesTenant = status == QLatin1String("B") || status == QLatin1String("T");
    e.tenantChange = amount;
    return e;
}

class LedgerWriting : public ::testing::Test {
protected:
    test::TestPlatform platform;
    test::TestLedger ledger{platform.path(QStringLiteral("lbdatafl.mdb"))};
    test::TestLedger reference{platform.path(QStringLiteral("reference.mdb"))};

    // Every balance exactly: storage class and all the digits of a double.
    QStringList balances(const test::TestLedger& l) const {
        QStringList out;
        for (const char* sql :
             {"SELECT UnitID, typeof(UCurrBal), printf('%!.17g', UCurrBal) FROM Units ORDER BY 1",
              "SELECT TenantID, typeof(TCurrBal), printf('%!.17g', TCurrBal) FROM Tenants ORDER "
              "BY 1"}) {
            for (const QVariantList& row : l.rows(QString::fromLatin1(sql)))
                out << row[0].toString() + u'|' + row[1].toString() + u'|' + row[2].toString();
        }
        return out;
    }
};

// Several changes of one record end as they do when each is read, added and written back in
// entry order through a record set.
TEST_F(LedgerWriting, balancesEndAsWhenEachEntryIsAppliedInTurn) {
    for (const test::TestLedger* l : {&ledger, &reference}) {
        l->addTenant(2, 1, QStringLiteral("Ann"), QStringLiteral("Ames"));
        l->addTenant(1, 1, QStringLiteral("Bo"), QStringLiteral("Best"));
        l->addUnit(20, 2, QStringLiteral("2 Main St"));
        l->addUnit(10, 1, QStringLiteral("1 Main St"));
        l->exec(
            QStringLiteral("UPDATE Units SET UCurrBal = 0.1 + 0.2 WHERE UnitID = 20; "
                           "UPDATE Tenants SET TCurrBal = '3x' WHERE TenantID = 1; "
                           "UPDATE Tenants SET TCurrBal = 1e-5 WHERE TenantID = 2"));
    }
    const std::vector<PlannedEntry> entries = {
        entry(2, units(1001000), QStringLiteral("B")), entry(1, units(500000), QStringLiteral("B")),
        entry(2, units(1), QStringLiteral("T")),       entry(2, units(333333), QStringLiteral("B")),
        entry(2, units(100100), QStringLiteral("U")),  entry(1, units(12345), QStringLiteral("U"))};

    auto db = ledger::Database::open(ledger.path());
    {
        ledger::Transaction transaction(*db);
        WriteLedgerEntries(*db, entries);
        transaction.commit();
    }
    auto ref = ledger::Database::open(reference.path());
    for (const PlannedEntry& e : entries) {
        const auto add = [&](const QString& table, const QString& index, const QString& field,
                             Currency change) {
            auto rs = ref->openTable(table);
            rs->setIndex(index);
            rs->seek(Value::integer(e.postToID));
            ASSERT_FALSE(rs->noMatch());
            rs->edit();
            rs->setField(field, Value::currency(rs->field(field).toCurrency() + change));
            rs->update();
        };
        if (e.changesUnit)
            add(QStringLiteral("Units"), QStringLiteral("UTenantIDIndex"),
                QStringLiteral("UCurrBal"), e.unitChange);
        if (e.changesTenant)
            add(QStringLiteral("Tenants"), QStringLiteral("TenantIDIndex"),
                QStringLiteral("TCurrBal"), e.tenantChange);
    }
    EXPECT_EQ(balances(ledger).join(u' ').toStdString(),
              balances(reference).join(u' ').toStdString());
    EXPECT_EQ(balances(ledger),
              (QStringList{"10|real|48.765500000000003", "20|real|123.72329999999999",
                           "1|real|53.0", "2|real|133.43340000000001"}));
    QStringList rounded;
    for (const QVariantList& row : ledger.rows(QStringLiteral(
             "SELECT printf('%.4f', v) FROM (SELECT 0 g, UnitID k, UCurrBal v FROM Units UNION "
             "ALL SELECT 1, TenantID, TCurrBal FROM Tenants) ORDER BY g, k")))
        rounded << row[0].toString();
    EXPECT_EQ(rounded.join(u' ').toStdString(), "48.7655 123.7233 53.0000 133.4334");
    // The entries are added in their order.
    QStringList added;
    for (const QVariantList& row : ledger.rows(QStringLiteral(
             "SELECT TransPostToID, printf('%.4f', TransAmount), TransDate FROM Transactions ORDER "
             "BY TransID")))
        added << row[0].toString() + u'|' + row[1].toString() + u'|' + row[2].toString();
    EXPECT_EQ(added,
              (QStringList{"2|100.1000|2026-03-01", "1|50.0000|2026-03-01", "2|0.0001|2026-03-01",
                           "2|33.3333|2026-03-01", "2|10.0100|2026-03-01", "1|1.2345|2026-03-01"}));
}

// A record gone at writing time is reported for the first entry, in order, that needs it.
TEST_F(LedgerWriting, aMissingRecordIsReportedForTheFirstEntryThatNeedsIt) {
    ledger.addTenant(1, 1, QStringLiteral("Bo"), QStringLiteral("Best"));
    ledger.addUnit(10, 1, QStringLiteral("1 Main St"));
    ledger.addTenant(4, 1, QStringLiteral("Di"), QStringLiteral("Dunn"));  // no unit
    ledger.addUnit(50, 5, QStringLiteral("5 Main St"));                    // no tenant record
    const std::vector<PlannedEntry> entries = {entry(1, units(10000), QStringLiteral("B")),
                                               entry(5, units(10000), QStringLiteral("B")),
                                               entry(4, units(10000), QStringLiteral("B"))};
    auto db = ledger::Database::open(ledger.path());
    ledger::Transaction transaction(*db);
    try {
        WriteLedgerEntries(*db, entries);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), 3021);
        EXPECT_EQ(e.description(),
                  QStringLiteral("The tenant record of Tenant ID #5 is no longer in the ledger."));
    }
}

}  // namespace
}  // namespace corvane
