#include "posting_fixture.h"

namespace corvane::test {
namespace {

const QString kDepositRecord = QStringLiteral(
    "SELECT CkID, CkPayee, CkAccountID, CkAmount, CkDate, CkInvoice, CkRemark, CkStatus, "
    "CkVendorID, CkPostTo, CkNumber, CkType, CkSplit, CkPostToText FROM CheckDepPrinted");
const QString kSplitLines = QStringLiteral(
    "SELECT CkNumber, CkCheckNumber, CkAmount, CkAccountID, CkPostToID, CkRemark, CkStatus, "
    "CkType, CkPostTo FROM SplitPrintedChecks ORDER BY SplitID");

class DepositTest : public PostingFixture {
protected:
    void SetUp() override {
        addTenant(42);
        addTenant(43);
        // An earlier deposit, so that the new record's CkID is not 1.
        ledger.exec(
            "INSERT INTO CheckDepPrinted (CkID, CkPayee, CkAmount, CkType, CkNumber) "
            "VALUES (7, 'DEPOSIT', 12, 'D', 1000)");
    }
};

TEST_F(DepositTest, threeRows_oneDepositOfTheirTotalWithLinkedSplitLines) {
    expectSuccess();
    EXPECT_EQ(
        post({row("T42", "100.00", "03/01/2026", "5"), row("T43", "250.50", "03/02/2026", "6"),
              row("T42", "75.00", "03/03/2026", "7")},
             both("1045")),
        PostingOutcome::Completed);
    EXPECT_EQ(records(kDepositRecord + " WHERE CkID > 7"),
              QStringList{"8|DEPOSIT|0|425.5|2026-03-14||CORVANE DEPOSIT|P|-1|NULL|1045|D|Y|Y"});
    EXPECT_EQ(records(kSplitLines),
              (QStringList{"8|5|100|4010|42|March RENT|P|D|B", "8|6|250.5|4010|43|March RENT|P|D|B",
                           "8|7|75|4010|42|March RENT|P|D|B"}));
    EXPECT_EQ(records(kDepositRecord + " WHERE CkID = 7"),
              QStringList{"7|DEPOSIT|NULL|12|NULL|NULL|NULL|NULL|NULL|NULL|1000|D|NULL|NULL"});
}

TEST_F(DepositTest, unmatchedLateFeeAndBlankCheckRows_getTheirSplitLines) {
    expectSuccess();
    PostingChoices choices = both("");
    EXPECT_EQ(
        post({row("T#99", "20", "03/01/2026", "9"), row("T42", "40", "03/01/2026", " ", "Late Fee"),
              row("T43", "0.125", "03/01/2026", "")},
             choices),
        PostingOutcome::Completed);
    EXPECT_EQ(records(kDepositRecord + " WHERE CkID > 7"),
              QStringList{"8|DEPOSIT|0|60.125|2026-03-14||CORVANE DEPOSIT|P|-1|NULL|0|D|Y|Y"});
    EXPECT_EQ(records(kSplitLines),
              (QStringList{"8|9|20|4010|0|March RENT|P|D|B", "8|NULL|40|4020|42|March RENT|P|D|T",
                           "8|NULL|0.125|4010|43|March RENT|P|D|B"}));
    // The unmatched payment is in the deposit only; the late fee is not charged a fee.
    EXPECT_EQ(records("SELECT TransTID, TransAmount, TransType FROM Transactions ORDER BY TransID"),
              (QStringList{"42|40|I", "43|0.125|I", "43|-0.0125|E"}));
}

TEST_F(DepositTest, remarkChoiceOne_splitLinesTakeThePaymentKind) {
    expectSuccess();
    PostingChoices choices = both();
    choices.remarkChoice = 1;
    EXPECT_EQ(post({row("T42", "1"), row("T42", "2", "03/01/2026", "", "Late Fee")}, choices),
              PostingOutcome::Completed);
    EXPECT_EQ(records("SELECT CkRemark FROM SplitPrintedChecks ORDER BY SplitID"),
              (QStringList{"Rent", "Late Fee"}));
}

TEST_F(DepositTest, noRows_depositOfZeroWithoutLines) {
    expectSuccess();
    EXPECT_EQ(post({}, both("12")), PostingOutcome::Completed);
    EXPECT_EQ(records(kDepositRecord + " WHERE CkID > 7"),
              QStringList{"8|DEPOSIT|0|0|2026-03-14||CORVANE DEPOSIT|P|-1|NULL|12|D|Y|Y"});
    EXPECT_EQ(ledger.value("SELECT COUNT(*) FROM SplitPrintedChecks").toInt(), 0);
}

}  // namespace
}  // namespace corvane::test
