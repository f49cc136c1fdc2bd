#include "payments/TenantCandidates.h"
#include "support/TestLedger.h"
#include "support/TestPlatform.h"

#include <gtest/gtest.h>

namespace corvane::test {
namespace {

class TenantCandidatesTest : public ::testing::Test {
protected:
    TenantCandidatesTest() : ledger(tp.path(kLedgerFileName)) {
        ledger.exec(QStringLiteral("ALTER TABLE Tenants ADD COLUMN TNotes TEXT"));
        ledger.addOwner(7, QStringLiteral("Owner"), QStringLiteral("Olga"));
        ledger.addProperty(3, 7, QStringLiteral("Elm Court"));
        ledger.addProperty(4, 7, QStringLiteral("Pine Villas"));
        ledger.addTenant(42, 3, QStringLiteral("Ann"), QStringLiteral("Lee"));
        ledger.addUnit(1, 42, QStringLiteral("12 Oak St"));
        ledger.addTenant(7, 4, QStringLiteral("Bob"), QStringLiteral("Smith"));
        ledger.addUnit(2, 7, QStringLiteral("99 Pine Rd"));
        ledger.addTenant(105, 3, QStringLiteral("Ann"), QStringLiteral("Leeds"));
        ledger.addUnit(3, 105, QStringLiteral("5 Elm St"));
        ledger.addTenant(230, 9, QStringLiteral("Carl"), QStringLiteral("Lee"));  // no unit
        ledger.addTenant(3, 3, QStringLiteral("Eve"), QStringLiteral("Nuñez"));
        ledger.addUnit(4, 3, QStringLiteral("7 Birch Ln"));
        db = ledger::Database::open(ledger.path());
        candidates.load(*db);
    }
    QStringList listed() const {
        QStringList tids;
        for (int row = 0; row < candidates.rowCount(); ++row)
            tids << candidates.index(row, TenantCandidates::ColTID).data().toString();
        return tids;
    }

    TestPlatform tp;
    TestLedger ledger;
    std::unique_ptr<ledger::Database> db;
    TenantCandidates candidates;
};

TEST_F(TenantCandidatesTest, sameUnitAddressFirstThenSimilarNamesThenTheRestByTid) {
    candidates.rankFor(QStringLiteral("ANN  LEE"), QStringLiteral("99 Pine Rd., Springfield"));
    EXPECT_EQ(listed(), (QStringList{"T7", "T42", "T105", "T230", "T3"}));
    candidates.rankFor(QStringLiteral("J. Doe"), QString());
    EXPECT_EQ(listed(), (QStringList{"T3", "T7", "T42", "T105", "T230"}));
}

TEST_F(TenantCandidatesTest, rowsShowTidNameUnitAddressAndProperty) {
    candidates.rankFor(QString(), QString());
    QStringList captions;
    for (int c = 0; c < candidates.columnCount(); ++c)
        captions << candidates.headerData(c, Qt::Horizontal).toString();
    EXPECT_EQ(captions, (QStringList{"TID", "Tenant Name", "Unit Address", "Property"}));
    QStringList cells;
    for (int c = 0; c < candidates.columnCount(); ++c)
        cells << candidates.index(1, c).data().toString();
    EXPECT_EQ(cells, (QStringList{"T7", "Smith, Bob", "99 Pine Rd", "Pine Villas"}));
    const auto lee = candidates.candidateAt(candidates.rowOf(230));
    ASSERT_TRUE(lee);
    EXPECT_EQ(lee->name, QStringLiteral("Lee, Carl"));
    EXPECT_FALSE(lee->unitAddress.has_value());
    EXPECT_EQ(lee->property, QString());
    EXPECT_FALSE(candidates.candidateAt(5));
}

TEST_F(TenantCandidatesTest, typedWordsFilterByNameUnitAddressOrTenantNumber) {
    candidates.rankFor(QStringLiteral("Ann Lee"), QString());
    const struct {
        const char* typed;
        QStringList tids;
    } cases[] = {
        {"l", {"T42", "T105", "T230", "T3"}},  // "Birch Ln"
        {"le", {"T42", "T105", "T230"}},
        {"lee", {"T42", "T105", "T230"}},
        {"lee ann", {"T42", "T105"}},
        {"leeds", {"T105"}},
        {"leedsx", {}},
        {"LEE,", {"T42", "T105", "T230"}},
        {"12 oak st.", {"T42"}},
        {"t10", {"T105"}},
        {"23", {"T230"}},
        {"nuñez", {"T3"}},
        {"pine", {"T7"}},
        {"", {"T42", "T105", "T230", "T3", "T7"}},
        {"  ", {"T42", "T105", "T230", "T3", "T7"}},
    };
    for (const auto& c : cases) {
        candidates.setFilter(QString::fromUtf8(c.typed));
        EXPECT_EQ(listed(), c.tids) << c.typed;
    }
}

TEST_F(TenantCandidatesTest, aChangedLedgerIsReadAgain) {
    ledger.addTenant(500, 3, QStringLiteral("Zed"), QStringLiteral("Ray"));
    candidates.load(*db);
    candidates.rankFor(QString(), QString());
    EXPECT_EQ(candidates.tenantCount(), 6);
    EXPECT_EQ(listed().last(), QStringLiteral("T500"));
}

}  // namespace
}  // namespace corvane::test
