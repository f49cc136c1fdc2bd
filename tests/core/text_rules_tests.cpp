#include "core/TextRules.h"
#include "platform/Error.h"

#include <gtest/gtest.h>

#include <vector>

namespace corvane {
namespace {

std::vector<QString> readAllFields(const QString& text) {
    FieldReader reader(text);
    std::vector<QString> fields;
    while (!reader.atEnd())
        fields.push_back(reader.next());
    return fields;
}

std::vector<QString> list(std::initializer_list<const char*> items) {
    std::vector<QString> out;
    for (const char* item : items)
        out.push_back(QString::fromUtf8(item));
    return out;
}

TEST(FieldReader, readsFieldsByTheReadingRule) {
    struct Case {
        const char* text;
        std::vector<QString> fields;
    };
    const Case cases[] = {
        {"", {}},
        {"a,b,c\r\n", list({"a", "b", "c"})},
        {"one\r\ntwo\r\n", list({"one", "two"})},
        {"one\ntwo\n", list({"one", "two"})},
        {"one\rtwo\r", list({"one", "two"})},
        {"last field without line end", list({"last field without line end"})},
        {"   leading blanks,  b  \r\n", list({"leading blanks", "b  "})},
        {"\"Rent Income;B-4010\",\"MONTH RENT\"\r\n", list({"Rent Income;B-4010", "MONTH RENT"})},
        {"\"comma, inside\",x\r\n", list({"comma, inside", "x"})},
        {"  \"quoted\" trailing,next\r\n", list({"quoted", "next"})},
        {"\"unterminated", list({"unterminated"})},
        {"a\r\n\r\nc\r\n", list({"a", "", "c"})},
        {"a,,c", list({"a", "", "c"})},
        {"\"\"\r\n", list({""})},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(readAllFields(QString::fromUtf8(c.text)), c.fields) << c.text;
    }
}

TEST(FieldReader, readingPastTheEndIsError62) {
    FieldReader reader(QStringLiteral("only\r\n"));
    EXPECT_EQ(reader.next(), QStringLiteral("only"));
    ASSERT_TRUE(reader.atEnd());
    try {
        reader.next();
        FAIL() << "no error past the end";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), errc::InputPastEndOfFile);
    }
}

TEST(TextRules, trimBlanksRemovesSpacesOnly) {
    EXPECT_EQ(trimBlanks(QStringLiteral("  a b  ")), QStringLiteral("a b"));
    EXPECT_EQ(trimBlanks(QStringLiteral(" x\r")), QStringLiteral("x\r"));
    EXPECT_EQ(trimBlanks(QStringLiteral("\tx ")), QStringLiteral("\tx"));
    EXPECT_EQ(trimBlanks(QStringLiteral("   ")), QString());
    EXPECT_EQ(trimLeadingBlanks(QStringLiteral("  a  ")), QStringLiteral("a  "));
}

TEST(TextRules, formatsCurrencyWithDollarGroupingAndCents) {
    struct Case {
        const char* text;
        const char* shown;
    };
    const Case cases[] = {
        {"1234.5", "$1,234.50"},
        {"-25", "-$25.00"},
        {"0", "$0.00"},
        {"1234567.891", "$1,234,567.89"},
        {"999.995", "$1,000.00"},
        {"0.125", "$0.12"},
        {"0.135", "$0.14"},
        {"-0.004", "$0.00"},
        {"100", "$100.00"},
        {"", ""},
        {"abc", "abc"},
        {"12abc", "12abc"},
        {" 42 ", "$42.00"},
        // Rounded once from every digit of the text, not first to four decimals.
        {"0.014999", "$0.01"},
        {"0.00505", "$0.01"},
        {"-0.014999", "-$0.01"},
        {"0.0150001", "$0.02"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(formatCurrencyText(QString::fromUtf8(c.text)), QString::fromUtf8(c.shown))
            << c.text;
    }
    EXPECT_EQ(formatCurrency(ledger::Currency::fromUnits(-12345678)), QStringLiteral("-$1,234.57"));
}

TEST(TextRules, datesReadAndFormatAsMonthDayYear) {
    EXPECT_EQ(parseDateText(QStringLiteral("6/1/2026")), QDate(2026, 6, 1));
    EXPECT_EQ(parseDateText(QStringLiteral("06/01/2026")), QDate(2026, 6, 1));
    EXPECT_EQ(parseDateText(QStringLiteral("2026-03-14")), QDate(2026, 3, 14));
    EXPECT_FALSE(parseDateText(QStringLiteral("13/01/2026")));
    EXPECT_FALSE(parseDateText(QString()));
    EXPECT_EQ(formatDateText(QStringLiteral("3/4/2026")), QStringLiteral("03/04/2026"));
    EXPECT_EQ(formatDateText(QStringLiteral("not a date")), QStringLiteral("not a date"));
    EXPECT_EQ(formatDateText(QString()), QString());
    // The ledger engine's reading: two-digit years 00-29 are 20xx, 30-99 19xx; a time may follow.
    EXPECT_EQ(parseDateText(QStringLiteral("12/4/26")), QDate(2026, 12, 4));
    EXPECT_EQ(parseDateText(QStringLiteral("1/2/29")), QDate(2029, 1, 2));
    EXPECT_EQ(parseDateText(QStringLiteral("1/2/30")), QDate(1930, 1, 2));
    EXPECT_EQ(parseDateText(QStringLiteral("12/04/2026 10:15 AM")), QDate(2026, 12, 4));
    EXPECT_EQ(parseDateText(QStringLiteral("2026-12-04 22:15:00")), QDate(2026, 12, 4));
    EXPECT_FALSE(parseDateText(QStringLiteral("12/4/026")));
    EXPECT_EQ(formatDateText(QStringLiteral("12/4/26")), QStringLiteral("12/04/2026"));
    EXPECT_EQ(formatDateText(QStringLiteral("3/9/99 1:05 PM")), QStringLiteral("03/09/1999"));
    EXPECT_EQ(shortDate(QDate(2026, 12, 5)), QStringLiteral("12/05/2026"));
}

}  // namespace
}  // namespace corvane
