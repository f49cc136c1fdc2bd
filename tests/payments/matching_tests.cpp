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
    StagedRow match(const QString& account, const QString& method = QStringLiteral("Check")) {
        auto db = ledger::Database::open(ledger.path());
        PaymentMatcher matcher(*db, 1, GetParam());
        PaymentLine line;
        line.transactionNumber = QStringLiteral("B100");
        line.account = account;
        line.date = QStringLiteral("06/01/2026");
        line.method = method;
        line.amount = QStringLiteral("1250.00");
        return matcher.fill(line);
    }
    void expectUnmatched(const StagedRow& row, const QString& tid) {
        EXPECT_EQ(row.cell(staged::TID), tid);
        EXPECT_EQ(row.cell(staged::UnitAddress), QStringLiteral("(TID not found-PRINT SCREEN!)"));
        EXPECT_EQ(row.cell(staged::TenantName), QStringLiteral("(not found-cannot post!)"));
    }

    TestPlatform tp;
    TestLedger ledger;
};

TEST_P(MatchingTest, matchedTenantFillsEveryCellOfTheRow) {
    ledger.addTenant(42, 3, QStringLiteral("Ann"), QStringLiteral("Lee"));
    ledger.addUnit(1, 42, QStringLiteral("12 Oak St"));
    const StagedRow row = match(QStringLiteral("T42"), QStringLiteral("  Card"));
    EXPECT_EQ(row.cell(staged::TID), QStringLiteral("T42"));
    EXPECT_EQ(row.cell(staged::UnitAddress), QStringLiteral("12 Oak St"));
    EXPECT_EQ(row.cell(staged::TenantName), QStringLiteral("Lee, Ann"));
    EXPECT_EQ(row.cell(staged::Amount), QStringLiteral("1250.00"));
    EXPECT_EQ(row.cell(staged::Date), QStringLiteral("06/01/2026"));
    EXPECT_EQ(row.cell(staged::CheckNumber), QStringLiteral("C"));
    EXPECT_EQ(row.cell(staged::PmtType), QStringLiteral("Rent"));
    EXPECT_EQ(row.cell(staged::TransactionNumber), QStringLiteral("B100"));
    for (int cell : {staged::OID, staged::PID, staged::UID, staged::DepositDate, 13, 19}) {
        EXPECT_TRUE(row.cell(cell).isEmpty()) << cell;
    }
}

TEST_P(MatchingTest, nameIsTheLastNameAloneWithoutAFirstName) {
    ledger.addTenant(1, 3, QString(), QStringLiteral("Lee"));
    ledger.addTenant(2, 3, QStringLiteral("   "), QStringLiteral("Kim"));
    ledger.addTenant(3, 3, QVariant(), QStringLiteral("Roe"));
    ledger.addTenant(4, 3, QStringLiteral("Bo"), QVariant());
    for (int id = 1; id <= 4; ++id)
        ledger.addUnit(id, id, QStringLiteral("Unit"));
    EXPECT_EQ(match(QStringLiteral("T1")).cell(staged::TenantName), QStringLiteral("Lee"));
    EXPECT_EQ(match(QStringLiteral("T2")).cell(staged::TenantName), QStringLiteral("Kim"));
    EXPECT_EQ(match(QStringLiteral("T3")).cell(staged::TenantName), QStringLiteral("Roe"));
    EXPECT_EQ(match(QStringLiteral("T4")).cell(staged::TenantName), QStringLiteral(", Bo"));
}

TEST_P(MatchingTest, unknownTenantAndTenantWithoutUnit) {
    ledger.addTenant(42, 3, QStringLiteral("Ann"), QStringLiteral("Lee"));
    ledger.addUnit(1, 5, QStringLiteral("Elsewhere"));
    expectUnmatched(match(QStringLiteral("T99")), QStringLiteral("T#99"));
    expectUnmatched(match(QStringLiteral("Tabc")), QStringLiteral("T#0"));
    expectUnmatched(match(QStringLiteral("T42.5")), QStringLiteral("T#42.5"));
    const StagedRow row = match(QStringLiteral("T42"));
    EXPECT_EQ(row.cell(staged::TID), QStringLiteral("T42"));
    EXPECT_EQ(row.cell(staged::UnitAddress), QStringLiteral("(TID not found-PRINT SCREEN!)"));
    EXPECT_EQ(row.cell(staged::TenantName), QStringLiteral("Lee, Ann"));
}

TEST_P(MatchingTest, accountTextIsReadByItsLeadingNumber) {
    ledger.addTenant(7, 3, QStringLiteral("Ann"), QStringLiteral("Lee"));
    ledger.addUnit(1, 7, QStringLiteral("1 Elm"));
    EXPECT_EQ(match(QStringLiteral("T007")).cell(staged::TID), QStringLiteral("T7"));
    EXPECT_EQ(match(QStringLiteral("X 7 x")).cell(staged::TID), QStringLiteral("T7"));
    EXPECT_EQ(match(QStringLiteral("T7\r")).cell(staged::TID), QStringLiteral("T7"));
}

TEST_P(MatchingTest, aTenantInTwoUnitsShowsTheUnitWithTheLowestUnitID) {
    ledger.addTenant(42, 3, QStringLiteral("Ann"), QStringLiteral("Lee"));
    ledger.addUnit(9, 42, QStringLiteral("9 Late St"));
    ledger.addUnit(4, 42, QStringLiteral("4 Early St"));
    EXPECT_EQ(match(QStringLiteral("T42")).cell(staged::UnitAddress), QStringLiteral("4 Early St"));
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
