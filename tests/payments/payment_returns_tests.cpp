#include "journal/LedgerCheck.h"
#include "journal/journal_fixture.h"
#include "payments/PaymentReturns.h"
#include "payments/PostingMessages.h"
#include "platform/Error.h"

#include <gtest/gtest.h>

namespace corvane::test {
namespace {

class PaymentReturns : public JournalFixture {
protected:
    PaymentReturns() {
        addTenant(101, 100, 50);
        addTenant(102);
        openLedger();
    }
    const QDate today{2026, 12, 14};
};

// What a return writes is read back record by record through the payment screen
// (tests/journal/returns_and_restores_tests.cpp); here, the refusal of the plan, which reads only.
TEST_F(PaymentReturns, originalEntryGone_refusesAndPlansNothing) {
    postRun(QDateTime(QDate(2026, 12, 9), QTime(10, 15)),
            {{101, "1250.00", "12/01/2026", nullptr, nullptr, "B1"},
             {102, "900.50", "11/30/2026", nullptr, nullptr, "B2"}});
    const journal::PaymentStandings found =
        journal::FindPaymentStandings(journal(), *tp.globals.LedgerDb, {"B1", "B2"});
    ledger.exec(QStringLiteral("DELETE FROM Transactions WHERE TransPostToID = 102"));
    const QStringList before = ledgerDump();
    const ReturnsPlan plan =
        PlanReturns(*tp.globals.LedgerDb,
                    {{"B1", *found.of("B1").posting}, {"B2", *found.of("B2").posting}}, today);
    ASSERT_TRUE(plan.refusal);
    EXPECT_TRUE(plan.returns.empty());
    EXPECT_EQ(refusalMessage(PostingRefusal{.kind = PostingRefusal::Kind::ReturnEntriesGone,
                                            .returned = *plan.refusal},
                             {}),
              QStringLiteral("The entries that posted payment B2 on 12/09/2026 are no longer in "
                             "the Lodgebook ledger, so its return cannot be recorded. Nothing was "
                             "posted to the Lodgebook Ledgers."));
    EXPECT_EQ(ledgerDump(), before);
}

}  // namespace
}  // namespace corvane::test
