#include "app/frmHistory.h"
#include "journal/FromSharedState.h"
#include "journal/LedgerCheck.h"
#include "journal/PostingRecovery.h"
#include "journal/RunReversal.h"
#include "journal_fixture.h"

#include <QFile>
#include <QPushButton>
#include <QTableView>

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace corvane::test {
namespace {

const QString kTitle = QStringLiteral("Reverse Posting Run");
const QDateTime kPostedAt(QDate(2026, 12, 1), QTime(14, 30));

class ReversalTest : public JournalFixture {
protected:
    ReversalTest() {
        addTenant(101, 500, 300);
        addTenant(102);
    }
    // A run with fees and a deposit, a row without tenant and a row left out for its note.
    std::int64_t postFullRun() {
        return postRun(kPostedAt,
                       {{101, "1250.00", "12/01/2026", "25"},
                        {102, "900.50", "11/30/2026", "25"},
                        {0, "75.00", "11/29/2026"},
                        {102, "50.00", "11/30/2026", nullptr, "Repeated in this file"}},
                       QStringLiteral("1045"));
    }
    QString question() const {
        return QStringLiteral(
            "This removes from the Lodgebook Ledgers the 2 payment entries, 2 management fee "
            "entries and the deposit 1045 posted on 12/01/2026 14:30, and takes their amounts off "
            "the tenants' and units' balances. Are you SURE you want to reverse this posting run?");
    }
    void expectReversed(
        const QString& rest = QStringLiteral("Its payments are waiting to be posted again.")) {
        tp.dialogs.expectQuestion(question(), kTitle, kAnswerYes, MsgIcon::Question);
        tp.dialogs.expectMessage(
            QStringLiteral("The posting run of 12/01/2026 14:30 was reversed. ") + rest, kTitle);
    }
    void expectRefused(const QString& what) {
        tp.dialogs.expectMessage(QStringLiteral("This posting run cannot be reversed: ") + what +
                                     QStringLiteral(". Nothing was changed."),
                                 kTitle, MsgIcon::Exclamation);
    }
    // Presses "Reverse This Run" on the newest run in the history window.
    void pressReverse() {
        openLedger();
        frmHistory window(tp.globals);
        window.Load();
        window.findChild<QPushButton*>(QStringLiteral("cmdReverse"))->click();
    }
    // Reverses a run as the history window does, over the open ledger.
    ReversalOutcome reverse(std::int64_t runID, Dialogs& dialogs) {
        return RunReversal(dialogs, tp.globals.LedgerDb.get(),
                           {tp.files, tp.folder.path(), kPaymentFileName}, tp.environment,
                           journal())
            .run(runID);
    }
    ReversalOutcome reverse(std::int64_t runID) { return reverse(runID, tp.dialogs); }
    journal::RunState state(std::int64_t runID) { return journal().readRun(runID)->state; }
    QByteArray staged() const {
        QFile file(tp.path(kPaymentFileName));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

TEST_F(ReversalTest, runWithFeesAndDeposit_leavesTheLedgerAsBeforeItWasPosted) {
    const QStringList before = ledgerDump();
    const std::int64_t runID = postFullRun();
    ASSERT_NE(ledgerDump(), before);
    expectReversed();
    pressReverse();

    EXPECT_EQ(ledgerDump(), before);
    const auto run = journal().readRun(runID);
    EXPECT_EQ(run->state, journal::RunState::Reversed);
    EXPECT_EQ(run->reversedOn, tp.environment.today());
    EXPECT_EQ(staged(), run->fileBytes);
    // Its payments no longer count as posted.
    QStringList numbers;
    for (const journal::RunRow& row : run->rows)
        numbers << row.transactionNumber;
    const journal::PaymentStandings standings =
        journal::FindPaymentStandings(journal(), *tp.globals.LedgerDb, numbers);
    for (const QString& number : numbers)
        EXPECT_EQ(standings.of(number).kind, journal::PaymentStanding::Kind::NotPosted)
            << number.toStdString();
}

TEST_F(ReversalTest, afterAReversal_theRunBeforeItIsTheOneThatMayBeReversed) {
    const std::int64_t older =
        postRun(QDateTime(QDate(2026, 11, 2), QTime(9, 5)), {{101, "100.00", "11/01/2026"}});
    postFullRun();
    expectReversed();
    pressReverse();
    openLedger();
    frmHistory window(tp.globals);
    window.Load();
    EXPECT_FALSE(window.findChild<QPushButton*>(QStringLiteral("cmdReverse"))->isEnabled());
    window.selectRow(1);
    EXPECT_EQ(window.selectedRunID(), older);
    EXPECT_TRUE(window.findChild<QPushButton*>(QStringLiteral("cmdReverse"))->isEnabled());
}

TEST_F(ReversalTest, balancesMovedSince_onlyTheRunsChangesAreTakenOff) {
    postFullRun();
    // Lodgebook's own work after the run: an entry and its balance changes.
    ledger.exec(QStringLiteral(
        "INSERT INTO Transactions (TransPostToID, TransAmount, TransDate, TransType) VALUES "
        "(101, 40, '2026-12-02', 'I'); UPDATE Tenants SET TCurrBal = TCurrBal + 40 WHERE "
        "TenantID = 101; UPDATE Units SET UCurrBal = UCurrBal - 15.25 WHERE UTenantID = 101"));
    expectReversed();
    pressReverse();
    EXPECT_EQ(records(QStringLiteral("SELECT TenantID, TCurrBal, UCurrBal FROM Tenants JOIN Units "
                                     "ON UTenantID = TenantID ORDER BY TenantID")),
              (QStringList{"101|540|284.75", "102|0|0"}));
    EXPECT_EQ(records(QStringLiteral("SELECT TransPostToID, TransAmount FROM Transactions")),
              QStringList{"101|40"});
    EXPECT_EQ(ledger.value(QStringLiteral("SELECT COUNT(*) FROM SplitPrintedChecks")).toInt(), 0);
    EXPECT_EQ(ledger.value(QStringLiteral("SELECT COUNT(*) FROM CheckDepPrinted")).toInt(), 0);
}

TEST_F(ReversalTest, olderRunReversedWhileANewerStands_thenTheNewer_leavesTheLedgerAsBefore) {
    const QStringList before = ledgerDump();
    const std::int64_t older = postFullRun();
    const std::int64_t newer =
        postRun(QDateTime(QDate(2026, 12, 8), QTime(8, 0)), {{101, "300.00", "12/07/2026", "25"}},
                QStringLiteral("1046"));
    expectReversed();
    openLedger();
    {
        frmHistory window(tp.globals);
        window.Load();
        window.selectRow(1);
        ASSERT_EQ(window.selectedRunID(), older);
        window.findChild<QPushButton*>(QStringLiteral("cmdReverse"))->click();
    }
    tp.dialogs.verifyAllShown();
    EXPECT_EQ(state(older), journal::RunState::Reversed);
    EXPECT_EQ(state(newer), journal::RunState::Posted);

    tp.dialogs.expectQuestion(
        QStringLiteral("This removes from the Lodgebook Ledgers the 1 payment entries, 1 "
                       "management fee entries and the deposit 1046 posted on 12/08/2026 08:00, "
                       "and takes their amounts off the tenants' and units' balances. Are you "
                       "SURE you want to reverse this posting run?"),
        kTitle, kAnswerYes, MsgIcon::Question);
    tp.dialogs.expectMessage(
        QStringLiteral("The posting run of 12/08/2026 08:00 was reversed. Its payment file was "
                       "not staged again, because another payment file is waiting to be posted."),
        kTitle);
    pressReverse();
    EXPECT_EQ(ledgerDump(), before);
}

TEST_F(ReversalTest, returnRecordedByALaterRun_refusesThePaymentsRunUntilThatRunIsReversed) {
    const QStringList before = ledgerDump();
    const std::int64_t paid = postFullRun();
    const QStringList posted = ledgerDump();
    const std::int64_t returns =
        postReturns(QDateTime(QDate(2026, 12, 14), QTime(9, 0)), paid, {1}, QStringLiteral("1050"));
    const QStringList withReturn = ledgerDump();
    const QString number = journal().readRun(paid)->rows[0].transactionNumber;

    tp.dialogs.expectMessage(QStringLiteral("The return of payment %1 was recorded by the posting "
                                            "run of 12/14/2026 09:00. Reverse that run first.")
                                 .arg(number),
                             QStringLiteral("Corvane Posting History"), MsgIcon::Exclamation);
    openLedger();
    {
        frmHistory window(tp.globals);
        window.Load();
        window.selectRow(1);
        ASSERT_EQ(window.selectedRunID(), paid);
        window.findChild<QPushButton*>(QStringLiteral("cmdReverse"))->click();
    }
    tp.dialogs.verifyAllShown();
    EXPECT_EQ(ledgerDump(), withReturn);
    EXPECT_EQ(state(paid), journal::RunState::Posted);

    // The run of the return goes first, and takes exactly its own records with it.
    tp.dialogs.expectQuestion(
        QStringLiteral("This removes from the Lodgebook Ledgers the entries of 1 returned "
                       "payments and the deposit 1050 posted on 12/14/2026 09:00, and takes "
                       "their amounts off the tenants' and units' balances. Are you SURE you "
                       "want to reverse this posting run?"),
        kTitle, kAnswerYes, MsgIcon::Question);
    tp.dialogs.expectMessage(QStringLiteral("The posting run of 12/14/2026 09:00 was reversed. "
                                            "Its payments are waiting to be posted again."),
                             kTitle);
    pressReverse();
    EXPECT_EQ(state(returns), journal::RunState::Reversed);
    EXPECT_EQ(ledgerDump(), posted);
    expectReversed(
        QStringLiteral("Its payment file was not staged again, because another "
                       "payment file is waiting to be posted."));
    EXPECT_EQ(reverse(paid), ReversalOutcome::Reversed);
    EXPECT_EQ(ledgerDump(), before);
}

struct ChangeCase {
    const char* sql;  // %1: the run's first entry's TransID
    const char* what;
};

void PrintTo(const ChangeCase& c, std::ostream* os) {
    *os << c.sql;
}

class RefusedReversal : public ReversalTest, public ::testing::WithParamInterface<ChangeCase> {};

TEST_P(RefusedReversal, recordChangedByAnotherWriter_isNamedAndNothingChanges) {
    const std::int64_t runID = postFullRun();
    const qint64 firstEntry =
        ledger.value(QStringLiteral("SELECT min(TransID) FROM Transactions")).toLongLong();
    ledger.exec(QString::fromLatin1(GetParam().sql).arg(firstEntry));
    const QStringList changed = ledgerDump();
    // The history shows the run as the ledger holds it, and offers no reversal; a reversal asked
    // for all the same names what differs.
    openLedger();
    frmHistory window(tp.globals);
    window.Load();
    EXPECT_EQ(window.findChild<QTableView*>(QStringLiteral("gridHistory"))
                  ->model()
                  ->index(0, 8)
                  .data()
                  .toString(),
              QStringLiteral("Partly in ledger"));
    EXPECT_FALSE(window.findChild<QPushButton*>(QStringLiteral("cmdReverse"))->isEnabled());
    expectRefused(QLatin1String(GetParam().what));
    EXPECT_EQ(reverse(runID), ReversalOutcome::Refused);
    EXPECT_EQ(ledgerDump(), changed);
    EXPECT_EQ(state(runID), journal::RunState::Posted);
    EXPECT_TRUE(staged().isNull());
}

INSTANTIATE_TEST_SUITE_P(
    Changes, RefusedReversal,
    ::testing::Values(
        ChangeCase{"UPDATE Transactions SET TransAmount = 1200 WHERE TransID = %1",
                   "the entry of T101 for $1,250.00 on 12/01/2026 was changed or removed in "
                   "Lodgebook"},
        ChangeCase{"UPDATE Transactions SET TransDate = '2026-12-02' WHERE TransID = %1 + 1",
                   "the management fee entry of T101 for -$25.00 on 12/01/2026 was changed or "
                   "removed in Lodgebook"},
        ChangeCase{"DELETE FROM CheckDepPrinted",
                   "the deposit 1045 for $2,225.50 was changed or removed in Lodgebook"},
        ChangeCase{"UPDATE SplitPrintedChecks SET CkAmount = 75.01 WHERE CkPostToID = 0",
                   "the split line of T#9 for $75.00 in the deposit 1045 was changed or removed "
                   "in Lodgebook"},
        ChangeCase{"DELETE FROM Transactions WHERE TransPostToID = 102; "
                   "DELETE FROM Units WHERE UnitID = 101",
                   "the entry of T102 for $900.50 on 11/30/2026 was changed or removed in "
                   "Lodgebook, and so were 2 more of the run's records"}),
    [](const ::testing::TestParamInfo<ChangeCase>& info) {
        return "change" + std::to_string(info.index);
    });

// Lodgebook changes an entry while the question is open: the check inside the ledger's
// transaction finds it, and nothing changes.
TEST_F(ReversalTest, entryChangedWhileTheQuestionIsOpen_isFoundAndNothingChanges) {
    class ChangingDialogs final : public Dialogs {
    public:
        explicit ChangingDialogs(const TestLedger& ledger) : ledger_(ledger) {}
        int messageBox(const QString& text, MsgButtons buttons, MsgIcon, const QString&) override {
            shown << text;
            if (buttons == MsgButtons::YesNo)
                ledger_.exec(
                    QStringLiteral("UPDATE Transactions SET TransAmount = 901 WHERE "
                                   "TransPostToID = 102 AND TransType = 'I'"));
            return kAnswerYes;
        }
        QString inputBox(const QString&, const QString&, const QString&) override { return {}; }
        void setBusyPointer(bool) override {}
        QStringList shown;

    private:
        const TestLedger& ledger_;
    } dialogs(ledger);
    openLedger();
    const std::int64_t runID = postFullRun();
    EXPECT_EQ(reverse(runID, dialogs), ReversalOutcome::Refused);
    ASSERT_EQ(dialogs.shown.size(), 2);
    EXPECT_EQ(dialogs.shown[1], QStringLiteral("This posting run cannot be reversed: the entry of "
                                               "T102 for $900.50 on 11/30/2026 was changed or "
                                               "removed in Lodgebook. Nothing was changed."));
    EXPECT_EQ(state(runID), journal::RunState::Posted);
    EXPECT_EQ(ledger.value(QStringLiteral("SELECT COUNT(*) FROM Transactions")).toInt(), 4);
}

TEST_F(ReversalTest, anotherStagedFile_staysAndTheRunIsReversed) {
    const std::int64_t runID = postFullRun();
    const QByteArray other = "B900,T101,Someone,Addr,12/05/2026,Check,1.00,Posted\r\n";
    tp.files.writeAtomically(tp.path(kPaymentFileName), other);
    expectReversed(
        QStringLiteral("Its payment file was not staged again, because another "
                       "payment file is waiting to be posted."));
    pressReverse();
    EXPECT_EQ(staged(), other);
    EXPECT_EQ(state(runID), journal::RunState::Reversed);
}

TEST_F(ReversalTest, answerNo_changesNothing) {
    const std::int64_t runID = postFullRun();
    const QStringList posted = ledgerDump();
    tp.dialogs.expectQuestion(question(), kTitle, kAnswerNo, MsgIcon::Question);
    pressReverse();
    EXPECT_EQ(ledgerDump(), posted);
    EXPECT_EQ(state(runID), journal::RunState::Posted);
    EXPECT_TRUE(staged().isNull());
}

TEST_F(ReversalTest, ledgerHeldByLodgebook_isToldAndNothingChanges) {
    const std::int64_t runID = postFullRun();
    const QStringList posted = ledgerDump();
    tp.globals.LedgerDb = ledger::Database::open(ledger.path(), 200);
    sqlite3* lodgebook = nullptr;
    ASSERT_EQ(sqlite3_open(ledger.path().toUtf8().constData(), &lodgebook), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(lodgebook, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    tp.dialogs.expectQuestion(question(), kTitle, kAnswerYes, MsgIcon::Question);
    tp.dialogs.expectMessage(
        QStringLiteral("The Lodgebook ledger is in use by another program (Lodgebook may be "
                       "saving its work). Nothing was changed. Please wait a moment and press "
                       "'Reverse This Run' again."),
        kTitle);
    pressReverse();
    sqlite3_exec(lodgebook, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(lodgebook);
    EXPECT_EQ(ledgerDump(), posted);
    EXPECT_EQ(state(runID), journal::RunState::Posted);
}

// Killed between the journal's Reversing and the ledger's commit: the ledger still holds the run,
// so the next start makes it Posted again.
TEST_F(ReversalTest, killedBeforeTheLedgerCommit_runIsPostedAgain) {
    const std::int64_t runID = postFullRun();
    const QStringList posted = ledgerDump();
    journal().setState(runID, journal::RunState::Reversing);
    openLedger();
    RecoverInterruptedPosting(RunSettlementOf(tp.globals));
    EXPECT_EQ(state(runID), journal::RunState::Posted);
    EXPECT_EQ(ledgerDump(), posted);
    EXPECT_TRUE(staged().isNull());
}

// Killed after the ledger's commit, before the file was staged again and the run marked: the next
// start stages it and marks the run Reversed.
TEST_F(ReversalTest, killedAfterTheLedgerCommit_runIsReversedAndItsFileStaged) {
    const QStringList before = ledgerDump();
    const std::int64_t runID = postFullRun();
    expectReversed();
    pressReverse();
    QFile::remove(tp.path(kPaymentFileName));
    journal().setState(runID, journal::RunState::Reversing);

    RecoverInterruptedPosting(RunSettlementOf(tp.globals));
    const auto run = journal().readRun(runID);
    EXPECT_EQ(run->state, journal::RunState::Reversed);
    EXPECT_EQ(run->reversedOn, tp.environment.today());
    EXPECT_EQ(staged(), run->fileBytes);
    EXPECT_EQ(ledgerDump(), before);
}

TEST(ReversalQuestion, leavesOutTheFeesAndTheDepositARunDidNotMake) {
    struct Case {
        bool fee, deposit;
        const char* records;
    };
    const Case cases[] = {
        {true, true, "the 1 payment entries, 1 management fee entries and the deposit 77"},
        {true, false, "the 1 payment entries and 1 management fee entries"},
        {false, true, "the 1 payment entries and the deposit 77"},
        {false, false, "the 1 payment entries"},
    };
    for (const Case& c : cases) {
        journal::Run run;
        run.postedAt = QDateTime(QDate(2026, 12, 8), QTime(16, 5));
        journal::RunRow row;
        row.incomeTransID = 1;
        if (c.fee)
            row.feeTransID = 2;
        run.rows.push_back(row);
        run.createDeposit = c.deposit;
        run.depositNumber = QStringLiteral("77");
        if (c.deposit)
            run.depositID = 5;
        EXPECT_EQ(ReversalQuestion(run),
                  QStringLiteral("This removes from the Lodgebook Ledgers %1 posted on 12/08/2026 "
                                 "16:05, and takes their amounts off the tenants' and units' "
                                 "balances. Are you SURE you want to reverse this posting run?")
                      .arg(QLatin1String(c.records)));
    }
}

}  // namespace
}  // namespace corvane::test
