#include "payments/LedgerPosting.h"
#include "posting_fixture.h"
#include "support/JournalSupport.h"

#include <sqlite3.h>

#include <functional>
#include <stdexcept>

namespace corvane::test {
namespace {

const QString kOnlyFeesQuestion = QStringLiteral(
    "You have NOT chosen to create a BANK DEPOSIT for these transactions. Press 'Yes' to CONTINUE "
    "or 'No' to CANCEL.");

class PostingRunTest : public PostingFixture {};

TEST_F(PostingRunTest, neitherBoxChecked_answerNo_writesNothingAndStops) {
    addTenant(42);
    expectNeitherQuestion(kAnswerNo);
    EXPECT_EQ(post({row("T42", "500.00")}, neither()), PostingOutcome::Stopped);
    EXPECT_TRUE(transactions().isEmpty());
    EXPECT_TRUE(tp.files.exists(tp.path(kPaymentFileName)));
    EXPECT_FALSE(tp.files.exists(tp.path(kPostingLogFileName)));
}

TEST_F(PostingRunTest, neitherBoxChecked_answerYes_postsPaymentThenLogsAndArchives) {
    addTenant(42, 100, 200);
    expectNeitherQuestion(kAnswerYes);
    expectSuccess();
    EXPECT_EQ(post({row("T42", "500.00", "03/01/2026", "123")}, neither()),
              PostingOutcome::Completed);

    EXPECT_EQ(transactions(),
              QStringList{"4010|42|500|2026-03-01|123|March RENT|I|ACH|B|N|7|3|42|42"});
    EXPECT_EQ(balances(42), "600|700");
    EXPECT_EQ(ledger.value("SELECT COUNT(*) FROM CheckDepPrinted").toInt(), 0);
    EXPECT_EQ(tp.files.readAll(tp.path(kPostingLogFileName)),
              "03/14/2026\r\n500\r\nhttps://vantora.example\r\n03/01/2026\r\n03/01/2026\r\n");
    EXPECT_FALSE(tp.files.exists(tp.path(kPaymentFileName)));
    EXPECT_EQ(tp.files.readAll(tp.path(kPaymentArchiveFileName)), "B1,T42,x\r\n");
    EXPECT_FALSE(tp.dialogs.busy());
}

TEST_F(PostingRunTest, onlyUnmatchedRows_writeNothingButCompleteKeepingTheRange) {
    expectNeitherQuestion(kAnswerYes);
    expectSuccess();
    EXPECT_EQ(post({row("T#99", "50.00"), row("T#98", "10")}, neither()),
              PostingOutcome::Completed);
    EXPECT_TRUE(transactions().isEmpty());
    EXPECT_EQ(tp.globals.postingLog.lastRangeFrom, "01/01/2026");
    EXPECT_EQ(tp.globals.postingLog.lastRangeTo, "01/31/2026");
    EXPECT_TRUE(tp.files.exists(tp.path(kPaymentArchiveFileName)));
}

TEST_F(PostingRunTest, percentFee_postsNegativeFeeAfterThePaymentsAndLowersTheUnit) {
    addTenant(42);
    addTenant(43);
    PostingChoices fees;
    fees.postMgmtFees = true;
    tp.dialogs.expectQuestion(kOnlyFeesQuestion, kProgramTitle, kAnswerYes);
    expectSuccess();
    EXPECT_EQ(post({row("T42", "500.00"), row("T43", "1234.56", "03/02/2026", "")}, fees),
              PostingOutcome::Completed);
    EXPECT_EQ(
        transactions(),
        (QStringList{"4010|42|500|2026-03-01|0|March RENT|I|ACH|B|N|7|3|42|42",
                     "4010|43|1234.56|2026-03-02|NULL|March RENT|I|ACH|B|N|7|3|43|43",
                     "5010|42|-50|2026-03-01|NULL|Management Fee|E|NULL|U|N|7|3|42|42",
                     "5010|43|-123.456|2026-03-02|NULL|Management Fee|E|NULL|U|N|7|3|43|43"}));
    EXPECT_EQ(balances(42), "500|450");
    EXPECT_EQ(balances(43), "1234.56|1111.104");
}

TEST_F(PostingRunTest, feeKinds_flatPercentEmptyAndNone) {
    struct Case {
        int tenant;
        QVariant fee;
        QString amount;
        QString type;
        QString expectedFee;  // empty: no fee entry
    };
    const Case cases[] = {
        {11, QStringLiteral("25"), QStringLiteral("1234.56"), QStringLiteral("Rent"), "-25.0000"},
        {12, QStringLiteral("-25"), QStringLiteral("10"), QStringLiteral("Rent"), "-25.0000"},
        {13, QStringLiteral("8%"), QStringLiteral("1234.56"), QStringLiteral("Rent"), "-98.7648"},
        {14, QStringLiteral(""), QStringLiteral("300"), QStringLiteral("Rent"), ""},
        {15, QVariant(), QStringLiteral("300"), QStringLiteral("Rent"), ""},
        {16, QStringLiteral("   "), QStringLiteral("300"), QStringLiteral("Rent"), ""},
        {17, QStringLiteral("25"), QStringLiteral("40"), QStringLiteral("Late Fee"), ""},
        {18, QStringLiteral("0.015%"), QStringLiteral("1"), QStringLiteral("Rent"), "-0.0002"},
        {19, QStringLiteral("0.005%"), QStringLiteral("1"), QStringLiteral("Rent"), ""},
    };
    std::vector<Payment> rows;
    for (const Case& c : cases) {
        ledger.addOwner(c.tenant, QStringLiteral("O"), QStringLiteral("F"), c.fee);
        ledger.addProperty(c.tenant, c.tenant, QStringLiteral("P"));
        addTenant(c.tenant, 0, 0, c.tenant);
        rows.push_back(row(QStringLiteral("T%1").arg(c.tenant), c.amount,
                           QStringLiteral("03/01/2026"), QString(), c.type));
    }
    expectSuccess();
    EXPECT_EQ(post(rows, both()), PostingOutcome::Completed);
    for (const Case& c : cases) {
        const QStringList fee =
            records(QStringLiteral("SELECT printf('%.4f', TransAmount) FROM Transactions WHERE "
                                   "TransType = 'E' AND "
                                   "TransTID = %1")
                        .arg(c.tenant));
        EXPECT_EQ(fee, c.expectedFee.isEmpty() ? QStringList() : QStringList{c.expectedFee})
            << "tenant " << c.tenant;
    }
}

struct LateFeeCase {
    const char* category;
    const char* expectedStatus;    // TransStatus: the category's code
    const char* expectedBalances;  // TCurrBal|UCurrBal
};
void PrintTo(const LateFeeCase& c, std::ostream* os) {
    *os << '"' << c.category << '"';
}

class LateFeeTest : public PostingFixture, public ::testing::WithParamInterface<LateFeeCase> {};

TEST_P(LateFeeTest, lateFeeRow_movesTheBalancesItsCodeSays) {
    tp.globals.preferences.lateFee = readCategory(QString::fromLatin1(GetParam().category));
    addTenant(42, 10, 20);
    expectSuccess();
    EXPECT_EQ(post({row("T42", "40", "03/05/2026", "", "Late Fee")}, both(QString())),
              PostingOutcome::Completed);
    EXPECT_EQ(transactions(),
              QStringList{"4020|42|40|2026-03-05|NULL|Late Fee|I|ACH|" +
                          QString::fromLatin1(GetParam().expectedStatus) + "|N|7|3|42|42"});
    EXPECT_EQ(balances(42), QString::fromLatin1(GetParam().expectedBalances));
}

INSTANTIATE_TEST_SUITE_P(Codes, LateFeeTest,
                         ::testing::Values(LateFeeCase{"Late Fee Received;T-4020", "T", "50|20"},
                                           LateFeeCase{"Late Fee Received;N-4020", "N", "10|20"}));

TEST_F(PostingRunTest, remarkChoices_defaultMethodTypedAndNone) {
    addTenant(42);
    const QString typed = QString(70, QLatin1Char('x')).replace(0, 5, QStringLiteral("Typed"));
    const struct {
        int choice;
        QStringList remarks;
    } cases[] = {
        {0, {"March RENT", "Late Fee"}},
        {1, {"Rent", "Late Fee"}},
        {2, {typed.left(60), typed.left(60)}},
        {3, {"NULL", "NULL"}},
    };
    for (const auto& c : cases) {
        ledger.exec(QStringLiteral("DELETE FROM Transactions"));
        PostingChoices choices = both();
        choices.remarkChoice = c.choice;
        choices.remarkText = QStringLiteral("  ") + typed;
        expectSuccess();
        tp.files.writeAtomically(tp.path(kPaymentFileName), "B1\r\n");
        EXPECT_EQ(
            post({row("T42", "500"), row("T42", "20", "03/01/2026", "", "Late Fee")}, choices),
            PostingOutcome::Completed);
        EXPECT_EQ(records("SELECT TransRemark FROM Transactions WHERE TransType = 'I' ORDER BY "
                          "TransID"),
                  c.remarks)
            << "choice " << c.choice;
    }
}

TEST(ExpandMonthRemark, replacesTheFirstUpperCaseMonthAndTrims) {
    const QDate march(2026, 3, 14);
    const struct {
        QString remark;
        QString expanded;
    } cases[] = {
        {"MONTH RENT", "March RENT"},
        {"month rent", "month rent"},
        {"  Rent for MONTH, MONTH ", "Rent for March, MONTH"},
        {"MONTH", "March"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExpandMonthRemark(c.remark, march), c.expanded) << c.remark.toStdString();
}

TEST_F(PostingRunTest, depositNumber_overridesEveryCheckNumber_emptyKeepsStagedOnes) {
    addTenant(42);
    expectSuccess();
    EXPECT_EQ(post({row("T42", "500", "03/01/2026", "77"), row("T42", "5", "03/01/2026", "")},
                   both("1045")),
              PostingOutcome::Completed);
    EXPECT_EQ(records("SELECT TransCheckNumber FROM Transactions WHERE TransType = 'I'"),
              (QStringList{"1045", "1045"}));

    ledger.exec("DELETE FROM Transactions");
    expectSuccess();
    tp.files.writeAtomically(tp.path(kPaymentFileName), "B1\r\n");
    EXPECT_EQ(post({row("T42", "500", "03/01/2026", " 1234567890123 "),
                    row("T42", "5", "03/01/2026", " ")},
                   both("")),
              PostingOutcome::Completed);
    EXPECT_EQ(records("SELECT TransCheckNumber FROM Transactions WHERE TransType = 'I'"),
              (QStringList{"123456789", "NULL"}));
}

TEST_F(PostingRunTest, secondRowWithoutUnit_showsNotFoundAndWritesNothingAtAll) {
    addTenant(42, 100, 100);
    ledger.addTenant(43, 3, QStringLiteral("No"), QStringLiteral("Unit"));
    const QStringList before = writtenTables();
    tp.dialogs.expectMessage(
        "Not found: Tenant ID #43\r\rAmount: 250.5\rDate: 03/02/2026\rCheck Number: 1045\r"
        "Remark: March RENT\r\rThe above Corvane deposit does not have a Tenant set up for "
        "Corvane, this must be corrected before you can update any ledgers.",
        kProgramTitle);
    EXPECT_EQ(
        post({row("T42", "500"), row("T43", "250.50", "03/02/2026"), row("T42", "1")}, both()),
        PostingOutcome::Stopped);
    EXPECT_EQ(writtenTables(), before);
    EXPECT_TRUE(tp.files.exists(tp.path(kPaymentFileName)));
    EXPECT_EQ(tp.globals.postingLog.lastRangeFrom, "01/01/2026");
}

TEST_F(PostingRunTest, refusals_nameTheRowAndWriteNothing) {
    addTenant(42);
    ledger.addTenant(50, 99, QStringLiteral("No"), QStringLiteral("Property"));
    ledger.addUnit(50, 50, QStringLiteral("x"));
    ledger.addOwner(8, QStringLiteral("Bad"), QStringLiteral("Fee"), QStringLiteral("%"));
    ledger.addProperty(4, 8, QStringLiteral("Bad fee court"));
    addTenant(60, 0, 0, 4);
    ledger.addProperty(5, 9, QStringLiteral("No owner court"));
    addTenant(70, 0, 0, 5);
    const QString nothing = QStringLiteral("\r\rNothing was posted to the Lodgebook Ledgers.");
    const struct {
        Payment bad;
        QString message;
    } cases[] = {
        {row("T42", "5", "02/30/2026"),
         "Tenant ID: T42\rAmount: 5\rDate: 02/30/2026\r\rThe payment date is not a valid date." +
             nothing},
        {row("T44", "6"),
         "Tenant ID: T44\rAmount: 6\rDate: 03/01/2026\r\rTenant ID #44 is not found in the "
         "Lodgebook ledger." +
             nothing},
        {row("T50", "7"),
         "Tenant ID: T50\rAmount: 7\rDate: 03/01/2026\r\rProperty #99 of Tenant ID #50 is not "
         "found in the Lodgebook ledger." +
             nothing},
        {row("T60", "8"),
         "Tenant ID: T60\rAmount: 8\rDate: 03/01/2026\r\rThe management fee \"%\" of Owner #8 is "
         "neither an amount nor a percentage (such as 25 or 10%). Please correct it in "
         "Lodgebook." +
             nothing},
        {row("T70", "9"),
         "Tenant ID: T70\rAmount: 9\rDate: 03/01/2026\r\rOwner #9 of the property of Tenant ID "
         "#70 is not found in the Lodgebook ledger, so the management fee cannot be posted." +
             nothing},
    };
    const QStringList before = writtenTables();
    for (const auto& c : cases) {
        tp.dialogs.expectMessage(c.message, kProgramTitle);
        EXPECT_EQ(post({row("T42", "500"), c.bad}, both()), PostingOutcome::Stopped);
        EXPECT_EQ(writtenTables(), before);
    }
}

TEST_F(PostingRunTest, invalidCategories_refuseBeforeTheQuestion) {
    addTenant(42);
    tp.globals.preferences.rentIncome = readCategory(QStringLiteral("Rent Income;B-"));
    tp.dialogs.expectMessage(
        "You do not have a valid Account Category set up for 'Rent Income'. Nothing was posted "
        "to the Lodgebook Ledgers. Please check your Account Category and Account Default "
        "settings under 'Preferences' from the Lodgebook Main Menu.",
        kProgramTitle);
    EXPECT_EQ(post({row("T42", "5")}, neither()), PostingOutcome::Stopped);

    tp.globals.preferences.rentIncome = readCategory(QStringLiteral("Rent Income;B-4010"));
    tp.globals.preferences.lateFee = readCategory(QStringLiteral("Late Fee Received;T-40x"));
    tp.dialogs.expectMessage(
        "You do not have a valid Account Category set up for 'Late Fee Received'. Nothing was "
        "posted to the Lodgebook Ledgers. Please check your Account Category and Account Default "
        "settings under 'Preferences' from the Lodgebook Main Menu.",
        kProgramTitle);
    EXPECT_EQ(post({row("T42", "5")}, both()), PostingOutcome::Stopped);

    tp.globals.preferences.lateFee = readCategory(QStringLiteral("Late Fee Received;T-4020"));
    tp.globals.preferences.mgmtFee = {};
    tp.dialogs.expectQuestion(kOnlyFeesQuestion, kProgramTitle, kAnswerYes);
    tp.dialogs.expectMessage(
        "You do not have a valid Account Category set up for 'Management Fee'. Nothing was "
        "posted to the Lodgebook Ledgers. Please check your Account Category and Account Default "
        "settings under 'Preferences' from the Lodgebook Main Menu.",
        kProgramTitle, MsgIcon::Information);
    PostingChoices fees;
    fees.postMgmtFees = true;
    EXPECT_EQ(post({row("T42", "5")}, fees), PostingOutcome::Stopped);
    EXPECT_TRUE(transactions().isEmpty());
}

TEST_F(PostingRunTest, ledgerLockedByLodgebook_tellsTheUserAndWritesNothing) {
    addTenant(42);
    const QStringList before = writtenTables();
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(ledger.path().toUtf8().constData(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    tp.dialogs.expectMessage(
        "The Lodgebook ledger is in use by another program (Lodgebook may be saving its work). "
        "Nothing was posted to the Lodgebook Ledgers. Please wait a moment and press 'Update "
        "Lodgebook Ledgers NOW' again.",
        kProgramTitle);
    EXPECT_EQ(post({row("T42", "500")}, both(), 50), PostingOutcome::Stopped);
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(writtenTables(), before);
    EXPECT_TRUE(tp.files.exists(tp.path(kPaymentFileName)));

    expectSuccess();  // free again: the same rows post
    EXPECT_EQ(post({row("T42", "500")}, both()), PostingOutcome::Completed);
    EXPECT_EQ(transactions().size(), 2);
}

TEST_F(PostingRunTest, archiveFailsAfterTheCommit_reportsThePostedLedgerAndTheFile) {
    addTenant(42);
    tp.files.remove(tp.path(kPaymentFileName));
    expectSuccess();
    tp.dialogs.allowAnyMessages();
    EXPECT_EQ(post({row("T42", "500")}, both()), PostingOutcome::Completed);
    ASSERT_EQ(tp.dialogs.shown().size(), 2u);
    const ShownMessage& last = tp.dialogs.shown().back();
    EXPECT_TRUE(
        last.text.startsWith("Your Lodgebook Ledgers are updated, but the payment file "
                             "paymentHistory.csv could not be renamed to "
                             "paymentHistory_LastDownload.csv"))
        << last.text.toStdString();
    EXPECT_EQ(last.title, kProgramTitle);
    EXPECT_EQ(transactions().size(), 2);
    EXPECT_TRUE(tp.files.exists(tp.path(kPostingLogFileName)));
}

TEST_F(PostingRunTest, dateRange_comparesDatesAsDates) {
    addTenant(42);
    expectSuccess();
    EXPECT_EQ(post({row("T42", "1", "01/02/2026"), row("T42", "1", "12/30/2025"),
                    row("T#5", "1", "01/01/2020"), row("T42", "1", "3/1/2026")},
                   both()),
              PostingOutcome::Completed);
    EXPECT_EQ(tp.globals.postingLog.lastRangeFrom, "12/30/2025");
    EXPECT_EQ(tp.globals.postingLog.lastRangeTo, "3/1/2026");
}

}  // namespace
}  // namespace corvane::test

namespace corvane::test {
namespace {

// The error paths of a run: each says what happened, and the ledger, the staged payment file and
// the posting log are as the message says.
class PostingRunFailureTest : public PostingFixture {
protected:
    PostingRunFailureTest() { addTenant(42); }
    QString stagedPath() const { return tp.path(kPaymentFileName); }
    QString logPath() const { return tp.path(kPostingLogFileName); }
    // Nothing posted: the ledger as before, the payments still staged, no log written.
    void expectNothingPosted(const QStringList& before) {
        EXPECT_EQ(writtenTables(), before);
        EXPECT_EQ(tp.files.readAll(stagedPath()), QByteArray("B1,T42,x\r\n"));
        EXPECT_FALSE(tp.files.exists(tp.path(kPaymentArchiveFileName)));
        EXPECT_FALSE(tp.files.exists(logPath()));
        EXPECT_EQ(journalNumber(tp.folder.path(), "SELECT count(*) FROM Runs"), 0);
    }
    static PostingChoices depositOnly() {
        PostingChoices c = both();
        c.postMgmtFees = false;
        return c;
    }
};

const QString kDepositOnlyQuestion = QStringLiteral(
    "You have NOT chosen to POST MANAGEMENT FEEES for these transactions. Press 'Yes' to "
    "CONTINUE or 'No' to CANCEL.");

TEST_F(PostingRunFailureTest, depositOnly_answerNo_writesNothingAndStops) {
    const QStringList before = writtenTables();
    tp.dialogs.expectQuestion(kDepositOnlyQuestion, kProgramTitle, kAnswerNo);
    EXPECT_EQ(post({row("T42", "500")}, depositOnly()), PostingOutcome::Stopped);
    expectNothingPosted(before);
}

TEST_F(PostingRunFailureTest, depositOnly_answerYes_postsThePaymentAndDepositWithoutAFee) {
    tp.dialogs.expectQuestion(kDepositOnlyQuestion, kProgramTitle, kAnswerYes);
    expectSuccess();
    EXPECT_EQ(post({row("T42", "500")}, depositOnly()), PostingOutcome::Completed);
    EXPECT_EQ(transactions(),
              QStringList{"4010|42|500|2026-03-01|1045|March RENT|I|ACH|B|N|7|3|42|42"});
    EXPECT_EQ(records(QStringLiteral("SELECT CkAmount, CkNumber FROM CheckDepPrinted")),
              QStringList{"500|1045"});
    EXPECT_EQ(tp.files.readAll(tp.path(kPaymentArchiveFileName)), QByteArray("B1,T42,x\r\n"));
}

TEST_F(PostingRunFailureTest, depositNotFoundAfterWriting_saysSoAndWritesNothing) {
    // Lodgebook's ledger turns a new deposit into another kind of record as it is added.
    ledger.exec(QStringLiteral(
        "CREATE TRIGGER renumber AFTER INSERT ON CheckDepPrinted WHEN NEW.CkType = 'D' BEGIN "
        "UPDATE CheckDepPrinted SET CkType = 'C' WHERE CkID = NEW.CkID; END"));
    const QStringList before = writtenTables();
    tp.dialogs.expectMessage(QStringLiteral("Deposit Not found"), kProgramTitle, MsgIcon::None);
    EXPECT_EQ(post({row("T42", "500")}, both()), PostingOutcome::Stopped);
    expectNothingPosted(before);
}

TEST_F(PostingRunFailureTest, ledgerNotOpen_saysSoAndWritesNothing) {
    const QStringList before = writtenTables();
    tp.dialogs.expectMessage(QStringLiteral("The Lodgebook ledger is not open. Nothing was posted "
                                            "to the Lodgebook Ledgers."),
                             kProgramTitle);
    EXPECT_EQ(PostingRunOf(tp.globals).run({row("T42", "500")}, both(), stagedFile()),
              PostingOutcome::Stopped);
    expectNothingPosted(before);
}

TEST_F(PostingRunFailureTest, logCannotBeWrittenAfterTheCommit_theRunCompletesAndSaysSo) {
    tp.files.fillDiskOnWriting(kPostingLogFileName);
    expectSuccess();
    tp.dialogs.expectMessage(
        "Your Lodgebook Ledgers are updated, but the Corvane log file CV-Log.txt could not be "
        "written: Disk full: " +
            logPath() + "\r\rThe last posting figures it keeps are out of date.",
        kProgramTitle, MsgIcon::Exclamation);
    EXPECT_EQ(post({row("T42", "500")}, both()), PostingOutcome::Completed);
    EXPECT_EQ(transactions().size(), 2);  // the payment and its fee
    EXPECT_FALSE(tp.files.exists(stagedPath()));
    EXPECT_EQ(tp.files.readAll(tp.path(kPaymentArchiveFileName)), QByteArray("B1,T42,x\r\n"));
    EXPECT_FALSE(tp.files.exists(logPath()));
}

// Failures while the run writes, before its commit (here taking the time for the journal's record
// of the run): an engine error is named as the engine describes it, anything else by its own
// text; either way nothing is posted.
TEST_F(PostingRunFailureTest, failureBeforeTheCommit_isNamedAndNothingIsPosted) {
    const QString staged = stagedPath();
    const struct {
        std::function<void()> fail;
        QString named;
    } cases[] = {
        {[&] {
             throw Error(errc::PermissionDenied, QStringLiteral("Permission denied: ") + staged);
         },
         QStringLiteral("Permission denied: ") + staged},
        {[] { throw std::runtime_error("out of memory"); }, QStringLiteral("out of memory")},
    };
    const QStringList before = writtenTables();
    for (const auto& c : cases) {
        tp.environment.beforeNow = [&] {
            tp.environment.beforeNow = nullptr;
            c.fail();
        };
        tp.dialogs.expectMessage("The Lodgebook Ledgers could not be updated: " + c.named +
                                     "\r\rNothing was posted to the Lodgebook Ledgers.",
                                 kProgramTitle, MsgIcon::Critical);
        EXPECT_EQ(post({row("T42", "500")}, both()), PostingOutcome::Stopped);
        expectNothingPosted(before);
    }
}

}  // namespace
}  // namespace corvane::test
