#include "platform/ledger/LedgerSchema.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

// The balances a payment's entry moves follow its status letter exactly: "B" both, "T" the
// tenant's only, anything else (the fee's "U", another case, a blank) neither.
TEST(EntryStatus, bMovesTheTenantAndTheUnitAndTOnlyTheTenant) {
    const struct {
        const char* status;
        bool tenant, unit;
    } cases[] = {{"B", true, true},    {"T", true, false},  {"U", false, false},
                 {"b", false, false},  {"t", false, false}, {"B ", false, false},
                 {"BT", false, false}, {"", false, false}};
    for (const auto& c : cases) {
        const BalancesMoved moved = balancesMovedBy(QString::fromLatin1(c.status));
        EXPECT_EQ(moved.tenant, c.tenant) << c.status;
        EXPECT_EQ(moved.unit, c.unit) << c.status;
    }
}

}  // namespace
}  // namespace corvane
