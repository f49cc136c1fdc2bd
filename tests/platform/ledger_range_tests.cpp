#include "platform/Error.h"
#include "platform/ledger/Database.h"
#include "support/TestLedger.h"

#include <QTemporaryDir>

#include <algorithm>

#include <gtest/gtest.h>

namespace corvane::ledger {
namespace {

// The records of a range of dates, as the payment screen reads the ledger's entries: both ends
// included, an entry with a time on the last day too; values read as a record set reads them.
TEST(LedgerRangeTest, recordsBetweenTwoDatesAreReadOnceWithTheirValues) {
    QTemporaryDir dir;
    test::TestLedger ledger(dir.filePath(QStringLiteral("lbdatafl.mdb")));
    ledger.exec(QStringLiteral(
        "INSERT INTO Transactions (TransPostToID, TransAmount, TransDate, TransType) VALUES "
        "(1, 10.5, '2026-11-30', 'I'), (2, 20, '2026-12-01', 'I'), (3, 30.25, '2026-12-02', 'E'), "
        "(4, 40, '2026-12-03 10:15:00', 'i'), (5, 50, '2026-12-04', 'I'), (6, 60, NULL, 'I')"));
    auto db = Database::open(ledger.path());

    std::vector<QString> seen;
    db->forEachInRange(
        QStringLiteral("Transactions"),
        {QStringLiteral("TransPostToID"), QStringLiteral("TransAmount"),
         QStringLiteral("TransDate"), QStringLiteral("TransType")},
        QStringLiteral("TransDate"), QStringLiteral("2026-12-01"), QStringLiteral("2026-12-03 99"),
        [&](const std::vector<Value>& f) {
            seen.push_back(QStringLiteral("%1 %2 %3 %4")
                               .arg(f[0].toInteger())
                               .arg(f[1].toCurrency().toPlainText(),
                                    f[2].toDate().toString(Qt::ISODate), f[3].toText()));
        });
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen,
              (std::vector<QString>{"2 20 2026-12-01T00:00:00 I", "3 30.25 2026-12-02T00:00:00 E",
                                    "4 40 2026-12-03T10:15:00 i"}));
}

TEST(LedgerRangeTest, anUnknownFieldIsTheEnginesItemNotFound) {
    QTemporaryDir dir;
    test::TestLedger ledger(dir.filePath(QStringLiteral("lbdatafl.mdb")));
    auto db = Database::open(ledger.path());
    try {
        db->forEachInRange(QStringLiteral("Transactions"), {QStringLiteral("NoSuchField")},
                           QStringLiteral("TransDate"), QString(), QString(),
                           [](const std::vector<Value>&) {});
        ADD_FAILURE() << "read";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), errc::ItemNotFound);
    }
}

}  // namespace
}  // namespace corvane::ledger
