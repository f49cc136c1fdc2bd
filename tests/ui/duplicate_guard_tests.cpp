// The duplicate guard through the payment screen: the notes of the Note column, the question that
// leaves noted payments out, the journal the run leaves behind, and a journal that cannot be used.
#include "journal/PostingJournal.h"
#include "payments/PaymentNotes.h"
#include "payments/frmDownload.h"
#include "platform/ledger/Database.h"
#include "support/JournalSupport.h"
#include "support/LineEnds.h"
#include "support/TestLedger.h"
#include "support/TestPlatform.h"

#include <QCheckBox>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

#include <gtest/gtest.h>

#include <functional>

namespace corvane::test {
namespace {

const QString kNotesQuestion = QStringLiteral(
    "%1 of these payments carry a note in the Note column (already posted, perhaps already in the "
    "ledger, repeated in this file, or not settled by the processor). Press 'Yes' to leave them "
    "out of this posting, or 'No' to post them as well.");
const QString kPostingTitle = QStringLiteral("Corvane Transaction Posting");
const QString kUpdated = QStringLiteral("Your Lodgebook Ledgers are now updated.");

QByteArray line(const char* id, const char* account, const char* date, const char* amount,
                const char* status = "Posted") {
    return QByteArray(id) + ',' + account + ",Payer,1 Road," + date + ",Check,\"" + amount + "\"," +
           status + "\n";
}

class DuplicateGuardTest : public ::testing::TestWithParam<LineEnd> {
protected:
    DuplicateGuardTest() : ledger(tp.path(kLedgerFileName)) {
        Globals& g = tp.globals;
        g.PaymentFileName = kPaymentFileName;
        tp.setUsualPreferences();
        ledger.addOwner(7, QStringLiteral("Owner"), QStringLiteral("Olga"), QStringLiteral("10%"));
        ledger.addProperty(3, 7, QStringLiteral("Elm Court"));
        for (int tenant : {101, 102, 103}) {
            ledger.addTenant(tenant, 3, QStringLiteral("Ann"), QStringLiteral("Lee"),
                             QStringLiteral("Y"), 1250.0);
            ledger.addUnit(tenant, tenant, QStringLiteral("%1 Oak St").arg(tenant), {}, 1250.0);
        }
        // Typed into Lodgebook by hand: tenant 103's $980.00 of 12/03/2026.
        ledger.exec(QStringLiteral(
            "INSERT INTO Transactions (TransPostToID, TransAmount, TransDate, TransType) "
            "VALUES (103, 980, '2026-12-03', 'I')"));
        g.LedgerDb = ledger::Database::open(ledger.path());
    }

    QString folder() const { return tp.globals.programFolder(); }
    void stage(const QByteArray& bytes) {
        tp.files.writeAtomically(tp.path(kPaymentFileName), withLineEnd(bytes, GetParam()));
    }

    // A run of an earlier day that posted B100 (its entry is in the ledger unless the run was
    // reversed) and left out B200 for its note.
    void journalWithAnEarlierRun(journal::RunState state) {
        ledger.exec(QStringLiteral(
            "INSERT INTO Transactions (TransPostToID, TransAmount, TransDate, TransType) "
            "VALUES (101, 1250, '2026-12-01', 'I')"));
        if (state == journal::RunState::Reversed)
            ledger.exec(QStringLiteral("DELETE FROM Transactions WHERE TransPostToID = 101"));
        journal::Run run;
        run.postedAt = QDateTime(QDate(2026, 12, 1), QTime(8, 15));
        run.rows.resize(2);
        run.rows[0].transactionNumber = QStringLiteral("B100");
        run.rows[0].tid = QStringLiteral("T101");
        run.rows[0].date = QStringLiteral("12/01/2026");
        run.rows[0].incomeTransID =
            ledger.value(QStringLiteral("SELECT max(TransID) FROM Transactions")).toLongLong();
        run.rows[0].incomeAmount = ledger::Currency::fromUnits(12500000);
        run.rows[1].transactionNumber = QStringLiteral("B200");
        run.rows[1].outcome = journal::RowOutcome::Note;
        auto journal = openJournal(folder());
        journal->setState(journal->record(run), state);
    }

    QStringList notes() {
        QStringList shown;
        const StagedPayments& model = screen.stagedPayments();
        for (int r = 0; r < model.rowCount(); ++r)
            shown
                << model.data(model.index(r, StagedPayments::gridColumn(staged::Note))).toString();
        return shown;
    }

    QPushButton* button(const char* name) {
        return screen.findChild<QPushButton*>(QString::fromLatin1(name));
    }

    void post(bool fees, const QString& depositNumber) {
        screen.findChild<QCheckBox*>(QStringLiteral("chkPostMgmtFees"))->setChecked(fees);
        screen.findChild<QCheckBox*>(QStringLiteral("chkCreateDeposit"))
            ->setChecked(!depositNumber.isEmpty());
        screen.findChild<QLineEdit*>(QStringLiteral("txtCreateDeposit"))->setText(depositNumber);
        button("cmdUpdate")->click();
    }

    std::vector<QVariantList> entries() {
        return ledger.rows(QStringLiteral(
            "SELECT TransID, TransPostToID, TransAmount, TransType FROM Transactions ORDER BY "
            "TransID"));
    }

    TestPlatform tp;
    TestLedger ledger;
    frmDownload screen{tp.globals};
};

TEST_P(DuplicateGuardTest, eachRowGetsTheFirstNoteThatApplies) {
    journalWithAnEarlierRun(journal::RunState::Posted);
    stage(line("B100", "T101", "12/01/2026", "$1,250.00") +              // posted by the run
          line("B100", "T101", "12/01/2026", "$1,250.00", "Returned") +  // returned since
          line("B200", "T102", "12/02/2026", "$700.00") +                // left out then: no note
          line("B300", "T102", "12/02/2026", "$700.00") +
          line("B300", "T102", "12/02/2026", "$700.00", "Returned") +  // repeated beats status
          line("B400", "T103", "12/03/2026", "$980.00") +              // typed in by hand
          line("B401", "T103", "12/03/2026", "$981.00") +              // another amount
          line("B500", "T101", "12/04/2026", "$2,100.00", " Returned ") +
          line("B600", "T101", "12/04/2026", "$5.00", "posted") +
          line("B700", "T999", "12/03/2026", "$980.00"));  // no tenant, no ledger check
    screen.Load();
    EXPECT_EQ(notes(),
              QStringList({"Already posted 12/01/2026", "Returned after posting 12/01/2026", "", "",
                           "Repeated in this file", "In ledger?", "", "Status: Returned", "", ""}));
    EXPECT_EQ(screen.stagedPayments()
                  .headerData(StagedPayments::gridColumn(staged::Note), Qt::Horizontal)
                  .toString(),
              QStringLiteral("Note"));
    EXPECT_TRUE(button("cmdUpdate")->isEnabled());
}

TEST_P(DuplicateGuardTest, aReversedRunNoLongerCountsAsPosted) {
    journalWithAnEarlierRun(journal::RunState::Reversed);
    stage(line("B100", "T101", "12/01/2026", "$1,250.00"));
    screen.Load();
    EXPECT_EQ(notes(), QStringList({""}));
}

TEST_P(DuplicateGuardTest, answeringYes_leavesTheNotedPaymentsOutOfEntriesFeesAndDeposit) {
    stage(line("B1", "T101", "12/01/2026", "$1,250.00") +
          line("B1", "T101", "12/01/2026", "$1,250.00") +
          line("B2", "T102", "12/02/2026", "$2,100.00", "Returned") +
          line("B3", "T103", "12/03/2026", "$980.00") + line("B4", "T999", "12/04/2026", "$5.00"));
    screen.Load();
    tp.dialogs.expectQuestion(kNotesQuestion.arg(3), kPostingTitle, kAnswerYes, MsgIcon::Question);
    tp.dialogs.expectMessage(kUpdated, QStringLiteral("Lodgebook Corvane"));
    post(true, QStringLiteral("77"));
    ASSERT_TRUE(screen.LedgersUpdated());

    // The hand-typed entry, then B1's payment and fee; the deposit holds B1 and the unmatched B4.
    EXPECT_EQ(entries(), (std::vector<QVariantList>{
                             {1, 103, 980.0, "I"}, {2, 101, 1250.0, "I"}, {3, 101, -125.0, "E"}}));
    EXPECT_EQ(ledger.value(QStringLiteral("SELECT TCurrBal FROM Tenants WHERE TenantID = 101")),
              2500.0);
    EXPECT_EQ(ledger.value(QStringLiteral("SELECT TCurrBal FROM Tenants WHERE TenantID = 102")),
              1250.0);
    EXPECT_EQ(ledger.rows(QStringLiteral("SELECT CkID, CkNumber, CkAmount FROM CheckDepPrinted")),
              (std::vector<QVariantList>{{1, 77, 1255.0}}));
    EXPECT_EQ(ledger.rows(QStringLiteral(
                  "SELECT SplitID, CkPostToID, CkAmount FROM SplitPrintedChecks ORDER BY SplitID")),
              (std::vector<QVariantList>{{1, 101, 1250.0}, {2, 0, 5.0}}));

    auto journal = openJournal(folder());
    const auto run = journal->readRun(1);
    ASSERT_TRUE(run.has_value());
    EXPECT_EQ(run->state, journal::RunState::Posted);
    EXPECT_EQ(run->fileBytes, tp.files.readAll(tp.path(kPaymentArchiveFileName)));
    EXPECT_EQ(run->depositID, 1);
    EXPECT_EQ(run->depositAmount, ledger::Currency::fromUnits(12550000));
    ASSERT_EQ(run->rows.size(), 5u);
    using O = journal::RowOutcome;
    const std::vector<O> outcomes{O::Posted, O::Note, O::Note, O::Note, O::NoTenant};
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        EXPECT_EQ(run->rows[i].outcome, outcomes[i]) << i;
        EXPECT_EQ(run->rows[i].line, static_cast<int>(i) + 1);
    }
    EXPECT_EQ(run->rows[0].incomeTransID, 2);
    EXPECT_EQ(run->rows[0].feeTransID, 3);
    EXPECT_EQ(run->rows[0].feeAmount, ledger::Currency::fromUnits(-1250000));
    EXPECT_EQ(run->rows[0].splitID, 1);
    EXPECT_EQ(run->rows[4].splitID, 2);
    EXPECT_EQ(run->rows[1].note, QStringLiteral("Repeated in this file"));
    EXPECT_EQ(run->rows[2].note, QStringLiteral("Status: Returned"));
    EXPECT_EQ(run->rows[3].note, QStringLiteral("In ledger?"));
    EXPECT_FALSE(run->rows[3].incomeTransID.has_value());
    // Tenant 101's balance, and its unit's less the fee.
    using K = journal::BalanceChange::Kind;
    ASSERT_EQ(run->balanceChanges.size(), 2u);
    EXPECT_EQ(run->balanceChanges[0].kind, K::Tenant);
    EXPECT_EQ(run->balanceChanges[0].amount, ledger::Currency::fromUnits(12500000));
    EXPECT_EQ(run->balanceChanges[1].kind, K::Unit);
    EXPECT_EQ(run->balanceChanges[1].amount, ledger::Currency::fromUnits(11250000));
}

TEST_P(DuplicateGuardTest, answeringNo_postsTheNotedPaymentsAsWell) {
    stage(line("B1", "T101", "12/01/2026", "$1,250.00") +
          line("B1", "T101", "12/01/2026", "$1,250.00"));
    screen.Load();
    tp.dialogs.expectQuestion(kNotesQuestion.arg(1), kPostingTitle, kAnswerNo, MsgIcon::Question);
    tp.dialogs.expectMessage(kUpdated, QStringLiteral("Lodgebook Corvane"));
    post(true, QStringLiteral("77"));
    EXPECT_EQ(ledger.value(QStringLiteral("SELECT TCurrBal FROM Tenants WHERE TenantID = 101")),
              3750.0);
    EXPECT_EQ(ledger.value(QStringLiteral("SELECT CkAmount FROM CheckDepPrinted")), 2500.0);
    EXPECT_EQ(journalNumber(folder(), "SELECT PaymentsPosted FROM Runs"), 2);

    // The same download again: every row is now already posted.
    stage(line("B1", "T101", "12/01/2026", "$1,250.00"));
    frmDownload again(tp.globals);
    again.Load();
    EXPECT_EQ(noteText(again.stagedPayments().rows().at(0)),
              QStringLiteral("Already posted ") + tp.environment.today().toString("MM/dd/yyyy"));
}

// The run's record keeps the file the user reviewed, even when the staged file changes on disk
// while the rows are on the screen.
TEST_P(DuplicateGuardTest, theJournalKeepsTheFileAsReviewedNotAsItIsAtPosting) {
    stage(line("B1", "T101", "12/01/2026", "$1,250.00"));
    const QByteArray reviewed = tp.files.readAll(tp.path(kPaymentFileName));
    screen.Load();
    stage(line("B1", "T101", "12/01/2026", "$1,250.00") +
          line("B2", "T102", "12/02/2026", "$9.00"));
    tp.dialogs.expectMessage(kUpdated, QStringLiteral("Lodgebook Corvane"));
    post(true, QStringLiteral("77"));
    ASSERT_TRUE(screen.LedgersUpdated());
    const auto run = openJournal(folder())->readRun(1);
    ASSERT_TRUE(run.has_value());
    EXPECT_EQ(run->fileBytes, reviewed);
    EXPECT_EQ(
        run->fileDigest,
        QString::fromLatin1(QCryptographicHash::hash(reviewed, QCryptographicHash::Sha1).toHex()));
    ASSERT_EQ(run->rows.size(), 1u);
}

// A journal that cannot be used is told once the rows are loaded; the payments can be reviewed and
// printed but not posted, and the file is left exactly as it was.
TEST_P(DuplicateGuardTest, aJournalThatCannotBeUsed_isToldAndNothingCanBePosted) {
    const struct {
        const char* what;
        std::function<void(const QString&)> make;
        QString reason;
    } cases[] = {
        {"not a database",
         [](const QString& p) {
             QFile f(p);
             ASSERT_TRUE(f.open(QIODevice::WriteOnly));
             f.write(QByteArray(4096, 'x'));
         },
         QStringLiteral("it is not a database")},
        {"another program's database", [](const QString& p) { TestLedger other(p); },
         QStringLiteral("it is another program's database, not Corvane's posting journal")},
        {"a folder", [](const QString& p) { ASSERT_TRUE(QDir().mkpath(p)); },
         QStringLiteral("it is a folder, not a file")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QString path = journal::PostingJournal::pathIn(folder());
        QFile::remove(path);
        QDir(path).removeRecursively();
        c.make(path);
        const QByteArray before = QFileInfo(path).isFile() ? tp.files.readAll(path) : QByteArray();
        stage(line("B1", "T101", "12/01/2026", "$1,250.00"));
        frmDownload download(tp.globals);
        tp.dialogs.expectMessage(
            QStringLiteral("The posting journal CV-Journal.db cannot be used: %1. Corvane records "
                           "every posting run there and posts nothing without it. Move the file "
                           "out of the Lodgebook folder to start a new journal.")
                .arg(c.reason),
            QStringLiteral("Corvane Error Message"), MsgIcon::Critical);
        download.Load();
        tp.dialogs.verifyAllShown();
        EXPECT_EQ(download.StagedCount(), 1);
        EXPECT_FALSE(download.findChild<QPushButton*>(QStringLiteral("cmdUpdate"))->isEnabled());
        EXPECT_TRUE(
            download.findChild<QPushButton*>(QStringLiteral("cmdPrintScreen"))->isEnabled());
        if (!before.isEmpty()) {
            EXPECT_EQ(tp.files.readAll(path), before);
        }
        EXPECT_EQ(ledger.value(QStringLiteral("SELECT count(*) FROM Transactions")), 1);
    }
}

INSTANTIATE_TEST_SUITE_P(LineEnds, DuplicateGuardTest, kLineEnds, lineEndName);

}  // namespace
}  // namespace corvane::test
