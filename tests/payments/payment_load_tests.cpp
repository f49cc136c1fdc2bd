// The payment load without its screen, as the posting driver and the benchmarks use it: what it
// hands the review and the posting run, and the problem it leaves to tell.
#include "journal/PostingJournal.h"
#include "payments/PaymentLoad.h"
#include "payments/PaymentNotes.h"
#include "support/LineEnds.h"
#include "support/TestLedger.h"
#include "support/TestPlatform.h"

#include <QCryptographicHash>
#include <QFile>

#include <gtest/gtest.h>

namespace corvane::test {
namespace {

class PaymentLoadTest : public ::testing::TestWithParam<LineEnd> {
protected:
    PaymentLoadTest() : ledger(tp.path(kLedgerFileName)) {
        ledger.addOwner(7, QStringLiteral("Owner"), QStringLiteral("Olga"));
        ledger.addProperty(3, 7, QStringLiteral("Elm Court"));
        ledger.addTenant(42, 3, QStringLiteral("Ann"), QStringLiteral("Lee"));
        ledger.addUnit(1, 42, QStringLiteral("12 Oak St"));
        db = ledger::Database::open(ledger.path());
    }
    QByteArray stage(const QByteArray& lfBytes) {
        const QByteArray bytes = withLineEnd(lfBytes, GetParam());
        tp.files.writeAtomically(tp.path(kPaymentFileName), bytes);
        return bytes;
    }
    // What the payment screen settles and loads with.
    RunSettlement settlement() {
        return {db.get(),
                {tp.files, tp.folder.path(), kPaymentFileName},
                tp.environment,
                figures,
                logSignals};
    }

    TestPlatform tp;
    TestLedger ledger;
    std::unique_ptr<ledger::Database> db;
    PostingLogFigures figures;
    PostingLogSignals logSignals;
};

TEST_P(PaymentLoadTest, givesTheTypedPaymentsTheirTotalAndTheBytesLoaded) {
    const QByteArray bytes = stage(
        "B1,T42,Payer,1 Road,06/01/2026,Check,\"$1,250.00\",Posted\n"
        "B2,T99,Payer,1 Road,06/02/2026,Card,$-25.00,Returned\n"
        "Total,2,,,,,$1225.00\n");
    PaymentLoad load(tp.dialogs, settlement());
    ASSERT_TRUE(load.load());
    EXPECT_FALSE(load.problem().has_value());
    EXPECT_TRUE(load.canPost());
    ASSERT_EQ(load.count(), 2);
    const Payment& rent = load.payments()[0];
    EXPECT_EQ(rent.line, 1);
    EXPECT_EQ(rent.tenantID, 42);
    EXPECT_EQ(rent.tenantName, QStringLiteral("Lee, Ann"));
    EXPECT_EQ(rent.amount, ledger::Currency::fromUnits(12500000));
    EXPECT_EQ(rent.date, QDate(2026, 6, 1));
    EXPECT_EQ(rent.processorStatus, QStringLiteral("Posted"));
    EXPECT_EQ(noteText(rent), QString());
    const Payment& refund = load.payments()[1];
    EXPECT_EQ(refund.tenantID, std::nullopt);
    EXPECT_EQ(shownTid(refund), QStringLiteral("T#99"));
    EXPECT_EQ(refund.processorStatus, QStringLiteral("Returned"));
    EXPECT_EQ(noteText(refund), QStringLiteral("Status: Returned"));
    EXPECT_EQ(load.total(), ledger::Currency::fromUnits(12750000));
    EXPECT_EQ(load.file().fileName, kPaymentFileName);
    EXPECT_EQ(load.file().bytes, bytes);
    EXPECT_EQ(
        load.file().digest,
        QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex()));
}

TEST_P(PaymentLoadTest, aFileWithoutPaymentsIsDeletedAndToldAsNoPayments) {
    stage("Total,0,,,,,$0.00\n");
    PaymentLoad load(tp.dialogs, settlement());
    EXPECT_FALSE(load.load());
    ASSERT_TRUE(load.problem().has_value());
    EXPECT_EQ(load.problem()->kind, LoadProblem::Kind::NoPayments);
    EXPECT_FALSE(QFile::exists(tp.path(kPaymentFileName)));
    EXPECT_EQ(load.count(), 0);
}

TEST_P(PaymentLoadTest, aBadLineLeavesNothingLoadedAndNamesTheError) {
    stage("B1,T42,Payer,1 Road,06/01/2026,Check,$5x.00\n");
    PaymentLoad load(tp.dialogs, settlement());
    EXPECT_FALSE(load.load());
    ASSERT_TRUE(load.problem().has_value());
    EXPECT_EQ(load.problem()->kind, LoadProblem::Kind::Unexpected);
    EXPECT_EQ(load.problem()->number, errc::TypeMismatch);
    EXPECT_EQ(load.count(), 0);
    EXPECT_TRUE(load.file().bytes.isEmpty());
    EXPECT_TRUE(QFile::exists(tp.path(kPaymentFileName)));
}

TEST_P(PaymentLoadTest, anUnusableJournalLoadsThePaymentsButNothingCanBePosted) {
    QFile journal(journal::PostingJournal::pathIn(tp.folder.path()));
    ASSERT_TRUE(journal.open(QIODevice::WriteOnly));
    journal.write(QByteArray(4096, 'x'));
    journal.close();
    stage("B1,T42,Payer,1 Road,06/01/2026,Check,$5.00,Posted\n");
    PaymentLoad load(tp.dialogs, settlement());
    EXPECT_TRUE(load.load());
    EXPECT_EQ(load.count(), 1);
    EXPECT_FALSE(load.canPost());
    ASSERT_TRUE(load.problem().has_value());
    EXPECT_EQ(load.problem()->kind, LoadProblem::Kind::JournalUnusable);
    EXPECT_TRUE(load.problem()->text.startsWith(
        QStringLiteral("The posting journal CV-Journal.db cannot be used: it is not a database.")));
}

INSTANTIATE_TEST_SUITE_P(LineEnds, PaymentLoadTest, kLineEnds, lineEndName);

}  // namespace
}  // namespace corvane::test
