#include "journal/LedgerCheck.h"
#include "journal/journal_fixture.h"
#include "payments/PaymentReturns.h"
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
    ReturnsResult write(const QStringList& numbers) {
        const journal::PaymentsInJournal found =
            journal::FindPaymentsInJournal(journal(), *tp.globals.LedgerDb, numbers);
        std::vector<PaymentReturn> returns;
        for (const QString& number : numbers)
            returns.push_back({number, found.posted.value(number)});
        ledger::Transaction transaction(*tp.globals.LedgerDb);
        ReturnsResult result = WriteReturns(*tp.globals.LedgerDb, returns, today);
        transaction.commit();
        return result;
    }
};

TEST_F(PaymentReturns, paymentWithAFee_isReturnedByNewEntriesAndTheBalancesMoveBack) {
    postRun(QDateTime(QDate(2026, 12, 9), QTime(10, 15)),
            {{101, "1250.00", "12/01/2026", "25", nullptr, "B1"},
             {102, "900.50", "11/30/2026", nullptr, nullptr, "B2"}});
    ledger.exec(QStringLiteral("UPDATE Transactions SET TransCheckNumber = 1045"));
    const QString columns = QStringLiteral(
        "SELECT TransID, TransAccountID, TransPostToID, TransAmount, TransDate, "
        "TransCheckNumber, TransRemark, TransType, TransPmtType, TransStatus, TransTax, TransOID, "
        "TransPID, TransUID, TransTID FROM Transactions ORDER BY TransID");
    const QStringList originals = records(columns);

    const ReturnsResult result = write({"B1", "B2"});
    ASSERT_FALSE(result.problem);
    const QStringList returned = {
        "4|4010|101|-1250|2026-12-14|1045|Returned B1|I|ACH|B|N|7|3|101|101",
        "5|5010|101|25|2026-12-14|1045|Returned B1|E|NULL|U|N|7|3|101|101",
        "6|4010|102|-900.5|2026-12-14|1045|Returned B2|I|ACH|B|N|7|3|102|102",
    };
    EXPECT_EQ(records(columns), originals + returned);
    EXPECT_EQ(records(QStringLiteral("SELECT TenantID, TCurrBal, UCurrBal FROM Tenants JOIN Units "
                                     "ON UTenantID = TenantID ORDER BY TenantID")),
              (QStringList{"101|100|50", "102|0|0"}));
    ASSERT_EQ(result.written.size(), 2u);
    EXPECT_EQ(result.written[0].incomeTransID, 4);
    EXPECT_EQ(result.written[0].feeTransID, 5);
    EXPECT_EQ(result.written[0].feeAmount, ledger::Currency::fromUnits(250000));
    EXPECT_EQ(result.written[0].unitChange, ledger::Currency::fromUnits(-12250000));
    EXPECT_EQ(result.written[1].tenantChange, ledger::Currency::fromUnits(-9005000));
}

TEST_F(PaymentReturns, originalEntryGone_refusesBeforeWritingAnything) {
    postRun(QDateTime(QDate(2026, 12, 9), QTime(10, 15)),
            {{101, "1250.00", "12/01/2026", nullptr, nullptr, "B1"},
             {102, "900.50", "11/30/2026", nullptr, nullptr, "B2"}});
    const journal::PaymentsInJournal found =
        journal::FindPaymentsInJournal(journal(), *tp.globals.LedgerDb, {"B1", "B2"});
    ledger.exec(QStringLiteral("DELETE FROM Transactions WHERE TransPostToID = 102"));
    const QStringList before = ledgerDump();
    ledger::Transaction transaction(*tp.globals.LedgerDb);
    const ReturnsResult result =
        WriteReturns(*tp.globals.LedgerDb,
                     {{"B1", found.posted.value("B1")}, {"B2", found.posted.value("B2")}}, today);
    transaction.commit();
    EXPECT_EQ(result.problem,
              QStringLiteral("The entries that posted payment B2 on 12/09/2026 are no longer in "
                             "the Lodgebook ledger, so its return cannot be recorded. Nothing was "
                             "posted to the Lodgebook Ledgers."));
    EXPECT_EQ(ledgerDump(), before);
}

}  // namespace
}  // namespace corvane::test
