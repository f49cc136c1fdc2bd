#include "payments/PaymentMatching.h"
#include "support/TestLedger.h"
#include "support/TestPlatform.h"

#include <gtest/gtest.h>

#include <memory>

namespace corvane::test {
namespace {

// Every case runs with seeks and with the tables read once; both must give the same rows.
class MatchingTest : public ::testing::TestWithParam<PaymentMatcher::Lookup> {
protected:
    MatchingTest() : ledger(tp.path(kLedgerFileName)) {
        ledger.addOwner(7, QStringLiteral("Owner"), QStringLiteral("Olga"));
        ledger.addProperty(3, 7, QStringLiteral("Elm Court"));
    }
    Payment match(const QString& account) {
        auto db = ledger::Database::open(ledger.path());
        PaymentMatcher matcher(*db, 1, GetParam());
        Payment payment;
        payment.account = account;
        matcher.match(payment);
        return payment;
    }
    void expectUnmatched(const Payment& row, const QString& tid) {
        EXPECT_EQ(row.tenantID, std::nullopt);
        EXPECT_EQ(shownTid(row), tid);
        EXPECT_EQ(shownAddress(row), QStringLiteral("(TID not found-PRINT SCREEN!)"));
        EXPECT_EQ(shownName(row), QStringLiteral("(not found-cannot post!)"));
    }

    TestPlatform tp;
    TestLedger ledger;
};

TEST_P(MatchingTest, aMatchedTenantGivesItsIDItsFirstUnitAndItsName) {
    ledger.addTenant(42, 3, QStringLiteral("Ann"), QStringLiteral("Lee"));
    ledger.addUnit(1, 42, QStringLiteral("12 Oak St"));
    const Payment row = match(QStringLiteral("T42"));
    EXPECT_EQ(row.tenantID, 42);
    EXPECT_EQ(shownTid(row), QStringLiteral("T42"));
    EXPECT_EQ(shownAddress(row), QStringLiteral("12 Oak St"));
    EXPECT_EQ(shownName(row), QStringLiteral("Lee, Ann"));
}

TEST_P(MatchingTest, nameIsTheLastNameAloneWithoutAFirstName) {
    ledger.addTenant(1, 3, QString(), QStringLiteral("Lee"));
    ledger.addTenant(2, 3, QStringLiteral("   "), QStringLiteral("Kim"));
    ledger.addTenant(3, 3, QVariant(), QStringLiteral("Roe"));
    ledger.addTenant(4, 3, QStringLiteral("Bo"), QVariant());
    for (int id = 1; id <= 4; ++id)
        ledger.addUnit(id, id, QStringLiteral("Unit"));
    EXPECT_EQ(match(QStringLiteral("T1")).tenantName, QStringLiteral("Lee"));
    EXPECT_EQ(match(QStringLiteral("T2")).tenantName, QStringLiteral("Kim"));
    EXPECT_EQ(match(QStringLiteral("T3")).tenantName, QStringLiteral("Roe"));
    EXPECT_EQ(match(QStringLiteral("T4")).tenantName, QStringLiteral(", Bo"));
}

TEST_P(MatchingTest, unknownTenantAndTenantWithoutUnit) {
    ledger.addTenant(42, 3, QStringLiteral("Ann"), QStringLiteral("Lee"));
    ledger.addUnit(1, 5, QStringLiteral("Elsewhere"));
    expectUnmatched(match(QStringLiteral("T99")), QStringLiteral("T#99"));
    expectUnmatched(match(QStringLiteral("Tabc")), QStringLiteral("T#0"));
    expectUnmatched(match(QStringLiteral("T42.5")), QStringLiteral("T#42.5"));
    const Payment row = match(QStringLiteral("T42"));
    EXPECT_EQ(row.tenantID, 42);
    EXPECT_EQ(shownAddress(row), QStringLiteral("(TID not found-PRINT SCREEN!)"));
    EXPECT_EQ(shownName(row), QStringLiteral("Lee, Ann"));
}

TEST_P(MatchingTest, accountTextIsReadByItsLeadingNumber) {
    ledger.addTenant(7, 3, QStringLiteral("Ann"), QStringLiteral("Lee"));
    ledger.addUnit(1, 7, QStringLiteral("1 Elm"));
    EXPECT_EQ(match(QStringLiteral("T007")).tenantID, 7);
    EXPECT_EQ(match(QStringLiteral("X 7 x")).tenantID, 7);
    EXPECT_EQ(match(QStringLiteral("T7\r")).tenantID, 7);
}

TEST_P(MatchingTest, aTenantInTwoUnitsShowsTheUnitWithTheLowestUnitID) {
    ledger.addTenant(42, 3, QStringLiteral("Ann"), QStringLiteral("Lee"));
    ledger.addUnit(9, 42, QStringLiteral("9 Late St"));
    ledger.addUnit(4, 42, QStringLiteral("4 Early St"));
    EXPECT_EQ(shownAddress(match(QStringLiteral("T42"))), QStringLiteral("4 Early St"));
}

TEST_P(MatchingTest, anEmptyPropertiesTableMatchesNobody) {
    ledger.exec(QStringLiteral("DELETE FROM Properties"));
    ledger.addTenant(42, 3, QStringLiteral("Ann"), QStringLiteral("Lee"));
    ledger.addUnit(1, 42, QStringLiteral("12 Oak St"));
    expectUnmatched(match(QStringLiteral("T42")), QStringLiteral("T#42"));
}

TEST_P(MatchingTest, anEmptyUnitsTableMatchesNobody) {
    ledger.addTenant(42, 3, QStringLiteral("Ann"), QStringLiteral("Lee"));
    expectUnmatched(match(QStringLiteral("T42")), QStringLiteral("T#42"));
}

INSTANTIATE_TEST_SUITE_P(BothLookups, MatchingTest,
                         ::testing::Values(PaymentMatcher::Lookup::Seek,
                                           PaymentMatcher::Lookup::Preload));

}  // namespace
}  // namespace corvane::test
