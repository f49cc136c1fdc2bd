#include "journal/JournalRows.h"
#include "journal/PostingJournal.h"
#include "support/JournalSupport.h"

#include <QFile>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <gtest/gtest.h>

namespace corvane::journal {
namespace {

using ledger::Currency;

Currency dollars(std::int64_t cents) {
    return Currency::fromUnits(cents * 100);
}

RunRow row(const char* number, const char* date, RowOutcome outcome) {
    RunRow r;
    r.tid = QStringLiteral("T101");
    r.address = QStringLiteral("12 Oak St");
    r.name = QStringLiteral("Nuñez, Renée");
    r.amount = QStringLiteral("1250.00");
    r.date = QString::fromLatin1(date);
    r.checkChar = QStringLiteral("C");
    r.pmtType = QStringLiteral("Rent");
    r.transactionNumber = QString::fromLatin1(number);
    r.outcome = outcome;
    return r;
}

Run threeRowRun(const QDateTime& postedAt) {
    Run run;
    run.postedAt = postedAt;
    run.computer = QStringLiteral("OFFICE-PC");
    run.fileName = QStringLiteral("paymentHistory.csv");
    run.fileBytes = QByteArray("B1,T101\r\n\0binary", 17);
    run.remarkChoice = 2;
    run.remarkText = QStringLiteral("June rent");
    run.postFees = true;
    run.createDeposit = true;
    run.depositNumber = QStringLiteral("1045");
    run.depositID = 9;
    run.depositAmount = dollars(135000);
    run.figures = {QStringLiteral("12/09/2026"), QStringLiteral("2600"),
                   QStringLiteral("12/01/2026"), QStringLiteral("12/4/26")};
    run.evidence = QStringLiteral("first=1;x\n");
    run.rows = {row("B1", "12/01/2026", RowOutcome::Posted),
                row("B2", "12/04/2026", RowOutcome::Posted),
                row("B3", "12/02/2026", RowOutcome::Note)};
    run.rows[0].line = 1;
    run.rows[0].incomeTransID = 41;
    run.rows[0].incomeAmount = dollars(125000);
    run.rows[0].feeTransID = 43;
    run.rows[0].feeAmount = dollars(-12500);
    run.rows[0].splitID = 7;
    run.rows[0].splitAmount = dollars(125000);
    run.rows[1].line = 2;
    run.rows[1].incomeTransID = 42;
    run.rows[1].incomeAmount = dollars(10000);
    run.rows[2].line = 5;
    run.rows[2].note = QStringLiteral("Repeated in this file");
    run.balanceChanges = {{BalanceChange::Kind::Tenant, 101, dollars(135000)},
                          {BalanceChange::Kind::Unit, 101, dollars(122500)}};
    return run;
}

class PostingJournalTest : public ::testing::Test {
protected:
    std::unique_ptr<PostingJournal> journal() { return PostingJournal::open(dir.path()); }
    QTemporaryDir dir;
};

TEST_F(PostingJournalTest, aRecordedRunReadsBackWholeWithItsFigures) {
    const journal::Run written = threeRowRun(QDateTime(QDate(2026, 12, 9), QTime(14, 5, 30)));
    const std::int64_t id = journal()->record(written);

    const std::optional<journal::Run> read = journal()->readRun(id);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->state, RunState::Pending);
    EXPECT_EQ(read->postedAt, written.postedAt);
    EXPECT_EQ(read->fileBytes, written.fileBytes);
    EXPECT_EQ(read->remarkText, QStringLiteral("June rent"));
    EXPECT_EQ(read->depositAmount, dollars(135000));
    EXPECT_EQ(read->figures.rangeTo, QStringLiteral("12/4/26"));
    ASSERT_EQ(read->rows.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        const RunRow& a = read->rows[i];
        const RunRow& b = written.rows[i];
        EXPECT_EQ(std::tie(a.line, a.tid, a.address, a.name, a.amount, a.date, a.checkChar,
                           a.pmtType, a.transactionNumber, a.note, a.outcome),
                  std::tie(b.line, b.tid, b.address, b.name, b.amount, b.date, b.checkChar,
                           b.pmtType, b.transactionNumber, b.note, b.outcome))
            << i;
        EXPECT_EQ(std::tie(a.incomeTransID, a.incomeAmount, a.feeTransID, a.feeAmount, a.splitID,
                           a.splitAmount),
                  std::tie(b.incomeTransID, b.incomeAmount, b.feeTransID, b.feeAmount, b.splitID,
                           b.splitAmount))
            << i;
    }
    ASSERT_EQ(read->balanceChanges.size(), 2u);
    EXPECT_EQ(read->balanceChanges[1].kind, BalanceChange::Kind::Unit);
    EXPECT_EQ(read->balanceChanges[1].amount, dollars(122500));

    // Only settled runs are listed.
    EXPECT_TRUE(journal()->summaries().empty());
    journal()->setState(id, RunState::Posted);
    const auto list = journal()->summaries();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].paymentsPosted, 2);
    EXPECT_EQ(list[0].postedTotal, dollars(135000));
    EXPECT_EQ(list[0].feesTotal, dollars(-12500));
    EXPECT_EQ(list[0].rowsLeftOut, 1);
    EXPECT_EQ(list[0].rangeFrom, QDate(2026, 12, 1));
    EXPECT_EQ(list[0].rangeTo, QDate(2026, 12, 4));
    EXPECT_EQ(list[0].depositNumber, QStringLiteral("1045"));
}

TEST_F(PostingJournalTest, aDiscardedRunLeavesNoTrace) {
    const std::int64_t id = journal()->record(threeRowRun(QDateTime::currentDateTime()));
    journal()->discard(id);
    EXPECT_FALSE(journal()->readRun(id).has_value());
    {
        journal::Statement numbers = journal()->db().prepare("SELECT count(*) FROM PostedNumbers");
        ASSERT_TRUE(numbers.step());
        EXPECT_EQ(numbers.integer(0), 0);
    }
    EXPECT_TRUE(journal()->unsettledRuns().empty());
}

// A table's rows as SQLite quotes them (texts quoted, numbers bare, NULL), one a line.
QString quotedRows(PostingJournal& journal, const char* sql) {
    QStringList lines;
    Statement s = journal.db().prepare(sql);
    while (s.step())
        lines << s.text(0);
    return lines.join(QLatin1Char('\n'));
}

TEST_F(PostingJournalTest, theIndexesKeepEachNumberWithTheEntryItsRunWrote) {
    journal::Run run = threeRowRun(QDateTime(QDate(2026, 12, 9), QTime(14, 5, 30)));
    run.rows[1].tenantID = 205;
    // A number posted twice in the run: its first row stands for it.
    run.rows.push_back(row("B2", "12/05/2026", RowOutcome::Posted));
    run.rows.back().line = 6;
    // Texts that are not plain ASCII, an unreadable date, no income entry, a tenant by its TID.
    run.rows.push_back(row("", "", RowOutcome::Posted));
    run.rows.back().transactionNumber = QStringLiteral("Ä\"9\\\t");
    run.rows.back().line = 7;
    run.rows.back().tid = QStringLiteral("T 88");
    run.rows.push_back(row("B4", "1/2/2027", RowOutcome::Posted));
    run.rows.back().line = 8;
    run.rows.back().incomeTransID = 44;
    run.rows.back().incomeAmount = Currency::fromUnits(-5);
    // A return: its entries are dated the day it was recorded.
    run.rows.push_back(row("B0", "11/30/2026", RowOutcome::ReturnRecorded));
    run.rows.back().line = 9;
    run.rows.back().incomeTransID = 45;
    run.rows.back().returnOf = ReturnLink{3, 4, QDate(2026, 12, 1), QDate(2026, 12, 8), 77};
    const auto j = journal();
    const std::int64_t id = j->record(run);
    ASSERT_EQ(id, 1);

    EXPECT_EQ(quotedRows(*j, "SELECT quote(TransactionNumber) || '|' || quote(RunID) || '|' || "
                             "quote(Line) || '|' || quote(TenantID) || '|' || quote(IncomeTransID) "
                             "|| '|' || quote(IncomeAmount) || '|' || quote(EntryDate) || '|' || "
                             "quote(FeeTransID) "
                             "FROM PostedNumbers ORDER BY TransactionNumber"),
              QStringLiteral("'B1'|1|1|101|41|12500000|'2026-12-01'|43\n"
                             "'B2'|1|2|205|42|1000000|'2026-12-04'|NULL\n"
                             "'B4'|1|8|101|44|-5|'2027-01-02'|NULL\n"
                             "'Ä\"9\\\t'|1|7|88|NULL|NULL|NULL|NULL"));
    EXPECT_EQ(quotedRows(*j, "SELECT quote(TransactionNumber) || '|' || quote(RunID) || '|' || "
                             "quote(Line) || '|' || quote(PaymentRunID) || '|' || "
                             "quote(PaymentLine) "
                             "FROM ReturnedPayments"),
              QStringLiteral("'B0'|1|9|3|4"));
}

TEST(JournalRows, balanceChangesKeepTheirStoredLayout) {
    const QByteArray data = changesData({{BalanceChange::Kind::Tenant, 101, dollars(135000)},
                                         {BalanceChange::Kind::Unit, 7, dollars(-5)}});
    EXPECT_EQ(data.toHex(), QByteArray("0100000002"
                                       "0000000000000000650000000000cdfe60"
                                       "010000000000000007fffffffffffffe0c"));
    EXPECT_EQ(changesFrom(data)[1].amount, dollars(-5));
}

TEST_F(PostingJournalTest, damagedRowsAreReportedNotMisread) {
    const std::int64_t id = journal()->record(threeRowRun(QDateTime::currentDateTime()));
    journal()->db().exec("UPDATE Runs SET RowsData = substr(RowsData, 1, 40)");
    try {
        journal()->readRun(id);
        ADD_FAILURE() << "read";
    } catch (const JournalError& e) {
        EXPECT_EQ(e.reason(), QStringLiteral("a run's rows are damaged"));
    }
}

}  // namespace
}  // namespace corvane::journal
