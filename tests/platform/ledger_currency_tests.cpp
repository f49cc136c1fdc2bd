#include "platform/ledger/Currency.h"
#include "platform/ledger/Value.h"

#include <gtest/gtest.h>

namespace corvane::ledger {
namespace {

Currency units(std::int64_t u) {
    return Currency::fromUnits(u);
}
Currency text(const char* t) {
    return Currency::fromText(QString::fromLatin1(t)).value();
}

TEST(LedgerCurrency, decimalPrefixTakesTheLongestLeadingNumber) {
    const struct {
        const char* input;
        const char* prefix;
    } cases[] = {{"T42", ""},    {" 12.5x", "12.5"}, {"-.5", "-.5"},   {".", ""},
                 {"  -3", "-3"}, {"+7a", "+7"},      {"1.2.3", "1.2"}, {"", ""},
                 {"-", ""},      {"\t9", "9"},       {"5.", "5."},     {"1 2", "1"}};
    for (const auto& c : cases) {
        EXPECT_EQ(decimalPrefix(QString::fromLatin1(c.input)).toString(),
                  QString::fromLatin1(c.prefix))
            << c.input;
    }
}

TEST(LedgerCurrency, fromTextIsExactAndRoundsHalvesToEvenAtTheFifthDecimal) {
    const struct {
        const char* input;
        std::int64_t units;
    } cases[] = {{"1234.56", 12345600}, {"0.00005", 0},    {"0.00015", 2},   {"0.00025", 2},
                 {"-0.00015", -2},      {"0.000051", 1},   {" 12 ", 120000}, {"-25", -250000},
                 {".5", 5000},          {"2.00035", 20004}};
    for (const auto& c : cases) {
        EXPECT_EQ(text(c.input).units(), c.units) << c.input;
    }
    for (const char* bad : {"abc", "1.2.3", "", "12a", "99999999999999999999", "- 5"}) {
        EXPECT_FALSE(Currency::fromText(QString::fromLatin1(bad)).has_value()) << bad;
    }
}

TEST(LedgerCurrency, fromDoubleUsesTheShortestDecimalOfTheDouble) {
    EXPECT_EQ(Currency::fromDouble(0.1 + 0.2), units(3000));
    EXPECT_EQ(Currency::fromDouble(1234.56), units(12345600));
    EXPECT_EQ(Currency::fromDouble(2.00015), units(20002));  // halves to even, up
    EXPECT_EQ(Currency::fromDouble(2.00025), units(20002));  // halves to even, down
    EXPECT_EQ(Currency::fromDouble(0.00005), units(0));
    EXPECT_EQ(Currency::fromDouble(-98.7648), units(-987648));
    EXPECT_EQ(Currency::fromDouble(98.7648).toDouble(), 98.7648);
}

TEST(LedgerCurrency, percentOfIsExact) {
    EXPECT_EQ(Currency::percentOf(text("8"), text("1234.56")), text("98.7648"));
    EXPECT_EQ(Currency::percentOf(text("10"), text("500")), text("50"));
    EXPECT_EQ(Currency::percentOf(text("0.5"), text("0.01")), units(0));  // 0.00005
    EXPECT_EQ(Currency::percentOf(text("1.5"), text("0.01")), units(2));  // 0.00015
    EXPECT_EQ(Currency::percentOf(text("7.25"), text("-333.33")), text("-24.1664"));
}

TEST(LedgerCurrency, leadingValueAndWholeRoundingAndPlainText) {
    EXPECT_EQ(Currency::leadingValue(u" 12.5%"), text("12.5"));
    EXPECT_EQ(Currency::leadingValue(u"%"), units(0));
    EXPECT_EQ(text("2.5").roundedToWhole(), 2);
    EXPECT_EQ(text("3.5").roundedToWhole(), 4);
    EXPECT_EQ(text("-2.5").roundedToWhole(), -2);
    EXPECT_EQ(text("2.5001").roundedToWhole(), 3);
    EXPECT_EQ(text("1234.5").toPlainText(), QStringLiteral("1234.5"));
    EXPECT_EQ(text("-25").toPlainText(), QStringLiteral("-25"));
    EXPECT_EQ(units(0).toPlainText(), QStringLiteral("0"));
    EXPECT_EQ(units(1).toPlainText(), QStringLiteral("0.0001"));
    EXPECT_EQ(units(-5000).toPlainText(), QStringLiteral("-0.5"));
}

TEST(LedgerValue, conversionsFollowTheKind) {
    EXPECT_EQ(Value::text(QStringLiteral("12.5")).toInteger(), 12);
    EXPECT_EQ(Value::text(QStringLiteral(" 42abc")).toInteger(), 42);
    EXPECT_EQ(Value::text(QStringLiteral("abc")).toInteger(), 0);
    EXPECT_EQ(Value::number(2.5).toInteger(), 2);
    EXPECT_EQ(Value::number(3.5).toInteger(), 4);
    EXPECT_EQ(Value::currency(text("1234.5")).toText(), QStringLiteral("1234.5"));
    EXPECT_EQ(Value::number(0.1).toText(), QStringLiteral("0.1"));
    EXPECT_EQ(Value::integer(7).toCurrency(), text("7"));
    EXPECT_EQ(Value::text(QStringLiteral("$5")).toCurrency(), units(0));
    EXPECT_EQ(Value::date(QDateTime(QDate(2026, 3, 4), QTime(0, 0))).toText(),
              QStringLiteral("03/04/2026"));
    EXPECT_EQ(Value::date(QDateTime(QDate(2026, 3, 4), QTime(14, 5, 6))).toText(),
              QStringLiteral("03/04/2026 14:05:06"));
    EXPECT_EQ(Value::text(QStringLiteral("3/4/2026")).toDate(),
              QDateTime(QDate(2026, 3, 4), QTime(0, 0)));
    EXPECT_EQ(Value::text(QStringLiteral("2026-03-04 14:05:06")).toDate(),
              QDateTime(QDate(2026, 3, 4), QTime(14, 5, 6)));
    EXPECT_FALSE(Value::text(QStringLiteral("13/45/2026")).toDate().isValid());
    const Value null;
    EXPECT_EQ(null.kind(), Value::Kind::Null);
    EXPECT_EQ(null.toText(), QString());
    EXPECT_EQ(null.toInteger(), 0);
    EXPECT_FALSE(null.toDate().isValid());
}

}  // namespace
}  // namespace corvane::ledger
