#include "platform/Error.h"
#include "platform/ledger/Database.h"
#include "support/TestLedger.h"
#include "support/TestPlatform.h"

#include <gtest/gtest.h>

namespace corvane::ledger {
namespace {

using test::TestLedger;

const QString kJoin = QStringLiteral(
    "SELECT DISTINCTROW Owners.*, Properties.*, Tenants.*, Units.* FROM (Owners INNER JOIN "
    "(Properties INNER JOIN Tenants ON Properties.PropID = Tenants.TPropID) ON Owners.OwnerID = "
    "Properties.POwnerID) INNER JOIN Units ON Tenants.TenantID = Units.UTenantID");

class LedgerJetSql : public ::testing::Test {
protected:
    LedgerJetSql() {
        ledger.addOwner(1, QStringLiteral("smith"), QStringLiteral("Al"));
        ledger.addOwner(2, QStringLiteral("Adams"), QStringLiteral("Bo"));
        ledger.addProperty(10, 1, QStringLiteral("Elm Court"));
        ledger.addProperty(20, 2, QStringLiteral("birch Hall"));
    }

    // One tenant with one unit (or two), and its flag.
    void tenant(int id, int prop, const char* last, const char* tach, const char* address,
                const char* second = nullptr) {
        ledger.addTenant(id, prop, QStringLiteral("F%1").arg(id), QString::fromUtf8(last),
                         QString::fromUtf8(tach));
        ledger.addUnit(id * 10, id, QString::fromUtf8(address));
        if (second)
            ledger.addUnit(id * 10 + 1, id, QString::fromUtf8(second));
    }

    // The values of one field over the whole set, in its order.
    QStringList column(const QString& sql, const QString& field) {
        auto db = Database::open(path);
        auto set = db->openDynaset(sql);
        QStringList values;
        for (; !set->eof(); set->moveNext())
            values << set->field(field).toText();
        EXPECT_EQ(set->recordCount(), values.size());
        return values;
    }

    test::TestPlatform platform;
    QString path = platform.path(QStringLiteral("lbdatafl.mdb"));
    TestLedger ledger{path};
};

TEST_F(LedgerJetSql, joinListsEveryTenantInEveryUnitOnce) {
    tenant(5, 10, "Cole", "Y", "9 Oak", "3 Pine");
    tenant(6, 20, "Dunn", "N", "1 Ash");
    tenant(7, 99, "Nowhere", "Y", "5 Gone");  // its property is missing: not listed
    ledger.addTenant(8, 10, QStringLiteral("No"), QStringLiteral("Unit"));  // no unit: not listed
    const QStringList ids =
        column(kJoin + QStringLiteral(" ORDER BY UAddress"), QStringLiteral("TenantID"));
    EXPECT_EQ(ids.join(u','), QStringLiteral("6,5,5"));
    EXPECT_EQ(column(kJoin + QStringLiteral(" ORDER BY UAddress, UNumber"),
                     QStringLiteral("Units.UAddress"))
                  .join(u','),
              QStringLiteral("1 Ash,3 Pine,9 Oak"));
}

TEST_F(LedgerJetSql, enrollmentFiltersCompareTheFlagWithoutRegardToCase) {
    const struct {
        int id;
        const char* tach;
        bool listed;    // Trim(Left(Tenants.TACH,1)) = 'Y'
        bool exported;  // Trim(Tenants.TACH) = 'Y'
    } cases[] = {{1, "Y", true, true},   {2, "y", true, true},   {3, "Yes", true, false},
                 {4, "Y ", true, true},  {5, " Y", false, true}, {6, " Y ", false, true},
                 {7, "N", false, false}, {8, "", false, false},  {9, "D", false, false}};
    QStringList listed, exported;
    for (const auto& c : cases) {
        tenant(c.id, 10, "T", c.tach, QStringLiteral("%1 Elm").arg(c.id).toUtf8().constData());
        if (c.listed)
            listed << QString::number(c.id);
        if (c.exported)
            exported << QString::number(c.id);
    }
    EXPECT_EQ(
        column(kJoin + QStringLiteral(" WHERE Trim(Left(Tenants.TACH,1)) = 'Y' ORDER BY UAddress"),
               QStringLiteral("TenantID")),
        listed);
    EXPECT_EQ(column(kJoin + QStringLiteral(" WHERE Trim(Tenants.TACH) = 'Y' ORDER BY UAddress"),
                     QStringLiteral("TenantID")),
              exported);
}

TEST_F(LedgerJetSql, sortOrdersTextWithoutRegardToCase) {
    tenant(1, 10, "zeta", "y", "b street");
    tenant(2, 20, "Alpha", "N", "B street");
    tenant(3, 10, "beta", "D", "C street");
    tenant(4, 20, "Gamma", "n", "a street");
    EXPECT_EQ(column(kJoin + QStringLiteral(" ORDER BY TLastName1, TFirstName1"),
                     QStringLiteral("TLastName1"))
                  .join(u','),
              QStringLiteral("Alpha,beta,Gamma,zeta"));
    const QStringList flags = column(
        kJoin + QStringLiteral(" ORDER BY TACH, TLastName1, TFirstName1"), QStringLiteral("TACH"));
    EXPECT_EQ(flags.join(u','), QStringLiteral("D,N,n,y"));
    EXPECT_EQ(column(kJoin + QStringLiteral(" ORDER BY Owners.OLastName1, Owners.OFirstName1, "
                                            "Properties.PropName, Units.UAddress"),
                     QStringLiteral("OLastName1"))
                  .join(u','),
              QStringLiteral("Adams,Adams,smith,smith"));
    EXPECT_EQ(column(kJoin + QStringLiteral(" ORDER BY PropName DESC, UAddress"),
                     QStringLiteral("UAddress"))
                  .join(u','),
              QStringLiteral("b street,C street,a street,B street"));
}

TEST_F(LedgerJetSql, matchingFindsTenantsAndUnitsByTheirNumber) {
    tenant(42, 10, "Lee", "Y", "4 Elm");
    tenant(7, 20, "Ray", "Y", "7 Birch");
    ledger.exec(QStringLiteral("UPDATE Tenants SET TenantID = ' 12x' WHERE TenantID = 7"));
    auto db = Database::open(path);
    auto set = db->openDynaset(QStringLiteral(
        "SELECT PropID, POwnerID, UAddress, UTenantID, TenantID, TFirstName1, TLastName1 FROM "
        "Properties, Units, Tenants"));
    set->findFirst(QStringLiteral("Val(TenantID) = '42'"));
    ASSERT_FALSE(set->noMatch());
    EXPECT_EQ(set->field(QStringLiteral("TLastName1")), Value::text(QStringLiteral("Lee")));
    set->findFirst(QStringLiteral("Val(UTenantID) = '7'"));
    ASSERT_FALSE(set->noMatch());
    EXPECT_EQ(set->field(QStringLiteral("UAddress")), Value::text(QStringLiteral("7 Birch")));
    set->findFirst(QStringLiteral("Val(TenantID) = '12'"));  // the leading number of " 12x"
    ASSERT_FALSE(set->noMatch());
    EXPECT_EQ(set->field(QStringLiteral("TLastName1")), Value::text(QStringLiteral("Ray")));
    set->findFirst(QStringLiteral("Val(TenantID) = '99'"));
    EXPECT_TRUE(set->noMatch());
    EXPECT_EQ(set->recordCount(), 2 * 2 * 2);
}

TEST_F(LedgerJetSql, depositQueryMatchesItsTypeWithoutRegardToCase) {
    ledger.exec(
        QStringLiteral("INSERT INTO CheckDepPrinted (CkID, CkType, CkNumber) VALUES "
                       "(1, 'D', 100), (2, 'C', 200), (3, 'd', 300)"));
    EXPECT_EQ(column(QStringLiteral("SELECT * FROM CheckDepPrinted WHERE CkType = 'D'"),
                     QStringLiteral("CkNumber"))
                  .join(u','),
              QStringLiteral("100,300"));
    auto db = Database::open(path);
    auto set = db->openDynaset(QStringLiteral("SELECT * FROM CheckDepPrinted WHERE CkType = 'D'"));
    set->findFirst(QStringLiteral("Val(CkID) = '2'"));  // a check, not in the set
    EXPECT_TRUE(set->noMatch());
    set->findFirst(QStringLiteral("Val(CkID) = '3'"));
    ASSERT_FALSE(set->noMatch());
    EXPECT_EQ(set->field(QStringLiteral("CkNumber")), Value::integer(300));
    set->moveNext();
    EXPECT_TRUE(set->eof());
}

TEST_F(LedgerJetSql, flagEditsThroughTheJoinGoBackToTenants) {
    tenant(5, 10, "Cole", "N", "9 Oak", "3 Pine");
    auto db = Database::open(path);
    auto set = db->openDynaset(kJoin + QStringLiteral(" ORDER BY UAddress"));
    try {
        for (; !set->eof(); set->moveNext()) {
            set->edit();
            set->setField(QStringLiteral("TACH"), Value::text(QStringLiteral("Y")));
            set->update();
            EXPECT_EQ(set->field(QStringLiteral("Tenants.TACH")), Value::text(QStringLiteral("Y")));
        }
    } catch (const Error& e) {
        ADD_FAILURE() << e.number() << e.description().toStdString();
    }
    EXPECT_EQ(ledger.value(QStringLiteral("SELECT TACH FROM Tenants WHERE TenantID = 5")),
              QStringLiteral("Y"));
    EXPECT_EQ(ledger.value(QStringLiteral("SELECT COUNT(*) FROM Units")).toInt(), 2);
}

TEST(LedgerJetSqlTranslation, translatesTheProgramsConstructs) {
    const struct {
        const char* jet;
        const char* sqlite;
    } cases[] = {
        {"Val(CkID) = '12'", "corvane_val(CkID) = 12"},
        {"Trim(Left(Tenants.TACH,1)) = 'Y'",
         "trim(corvane_left(Tenants.TACH,1)) = 'Y' COLLATE NOCASE"},
        {"'Y' <> Trim(Tenants.TACH)", "'Y' COLLATE NOCASE <> trim(Tenants.TACH)"},
        {"CkType = \"D\" AND CkDate >= #03/14/2026#",
         "CkType = 'D' COLLATE NOCASE AND CkDate >= '2026-03-14' COLLATE NOCASE"},
        {"TLastName1 Like 'O*'", "TLastName1 Like 'O%'"},
        {"Val(TenantID) = 'x'", "corvane_val(TenantID) = 'x' COLLATE NOCASE"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Database::translateJetCriterion(QString::fromUtf8(c.jet)),
                  QString::fromUtf8(c.sqlite))
            << c.jet;
    }
    EXPECT_EQ(Database::translateJetSql(QStringLiteral(
                  "SELECT DISTINCTROW * FROM Units ORDER BY UAddress DESC, UNumber;")),
              QStringLiteral("SELECT * FROM Units ORDER BY UAddress COLLATE NOCASE DESC, UNumber "
                             "COLLATE NOCASE"));
}

// What the translation makes of a text: the SQLite text, or the error a Jet program reports.
QString translationOf(const char* jet, bool statement) {
    try {
        return statement ? Database::translateJetSql(QString::fromUtf8(jet))
                         : Database::translateJetCriterion(QString::fromUtf8(jet));
    } catch (const Error& e) {
        return QStringLiteral("error %1: %2").arg(e.number()).arg(e.description());
    }
}

TEST(LedgerJetSqlTranslation, junkIsTranslatedAsWrittenOrRefusedWithASyntaxError) {
    const struct {
        const char* jet;
        const char* outcome;
    } cases[] = {
        {"'", "error 3075: Syntax error in query expression '''."},
        {"[abc", "error 3075: Syntax error in query expression '[abc'."},
        {"#13/45/2026#", "error 3075: Syntax error in query expression '#13/45/2026#'."},
        {"\"unclosed", "error 3075: Syntax error in query expression '\"unclosed'."},
        {"#", "error 3075: Syntax error in query expression '#'."},
        {"((((", "(((("},
        {"))))", "))))"},
        {"= = =", "= = ="},
        {"ORDER BY", "ORDER BY"},
        {"ORDER BY ,,", "ORDER BY ,,"},
        {"SELECT FROM", "SELECT FROM"},
        {"Val(", "corvane_val("},
        {"'a'='b'='c'", "'a' COLLATE NOCASE='b' COLLATE NOCASE='c' COLLATE NOCASE"},
        {"a <> ''''", "a <> '''' COLLATE NOCASE"},
        {"", ""},
    };
    for (const auto& c : cases) {
        for (const bool statement : {false, true}) {
            EXPECT_EQ(translationOf(c.jet, statement), QString::fromUtf8(c.outcome))
                << c.jet << (statement ? " as a statement" : " as a criterion");
        }
    }
}

TEST_F(LedgerJetSql, badQueriesAndCriteriaRaiseEngineErrors) {
    auto db = Database::open(path);
    auto set = db->openDynaset(QStringLiteral("SELECT * FROM NoSuchTable"));
    try {
        set->eof();
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), 3078);
    }
    auto units = db->openDynaset(QStringLiteral("SELECT * FROM Units"));
    try {
        units->findFirst(QStringLiteral("Val(UTenantID = '4'"));
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), 3075);
    }
}

}  // namespace
}  // namespace corvane::ledger
