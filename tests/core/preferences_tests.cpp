#include "core/Preferences.h"
#include "platform/Error.h"
#include "platform/TextCodec.h"
#include "support/TestFiles.h"
#include "support/TestPlatform.h"

#include <QFile>

#include <gtest/gtest.h>

namespace corvane {
namespace {

using test::fileBytes;
using test::writeFile;

// Fields 0..count-1 of a preferences file in Lodgebook's form; fields 9 to 18 carry the usual
// categories and remarks, the others a placeholder naming their number.
QByteArray preferencesFile(int count) {
    return test::preferencesFile(count, {{9, QStringLiteral("Rent Income;B-4010")},
                                         {10, QStringLiteral("MONTH RENT")},
                                         {15, QStringLiteral("Management Fees;U-5010")},
                                         {16, QStringLiteral("Management Fee")},
                                         {17, QStringLiteral("Late Fee Received;T-4020")},
                                         {18, QStringLiteral("Late Fee \u00e9t\u00e9")}});
}

struct Six {
    QString rentCategory, rentRemark, feeCategory, feeRemark, lateCategory, lateRemark;
    bool operator==(const Six&) const = default;
};

Six six(const LedgerPreferences& p) {
    return {p.rentIncome.text, p.rentIncomeRemark, p.mgmtFee.text,
            p.mgmtFeeRemark,   p.lateFee.text,     p.lateFeeRemark};
}

LedgerPreferences load(test::TestPlatform& t) {
    return LoadIDFile(t.files, t.path(QStringLiteral("IDFILE.DAT")));
}

void PrintTo(const Six& s, std::ostream* os) {
    *os << (QStringList{s.rentCategory, s.rentRemark, s.feeCategory, s.feeRemark, s.lateCategory,
                        s.lateRemark}
                .join(QStringLiteral(" | "))
                .toStdString());
}

TEST(LoadIDFile, nineteenFieldsFillAllSixPreferences) {
    test::TestPlatform t;
    writeFile(t.path(QStringLiteral("IDFILE.DAT")), preferencesFile(19));
    EXPECT_EQ(six(load(t)),
              (Six{"Rent Income;B-4010", "MONTH RENT", "Management Fees;U-5010", "Management Fee",
                   "Late Fee Received;T-4020", QStringLiteral("Late Fee \u00e9t\u00e9")}));
}

TEST(LoadIDFile, fortyFieldsReadTheSameSix) {
    test::TestPlatform t;
    writeFile(t.path(QStringLiteral("IDFILE.DAT")), preferencesFile(40));
    const LedgerPreferences preferences = load(t);
    EXPECT_EQ(preferences.lateFeeRemark, QStringLiteral("Late Fee \u00e9t\u00e9"));
    EXPECT_EQ(preferences.rentIncome.text, QStringLiteral("Rent Income;B-4010"));
    EXPECT_EQ(preferences.rentIncome.account, 4010);
    EXPECT_EQ(preferences.lateFee.code, QStringLiteral("T"));
}

TEST(LoadIDFile, elevenFieldsFillOnlyTheRentIncomePair) {
    test::TestPlatform t;
    writeFile(t.path(QStringLiteral("IDFILE.DAT")), preferencesFile(11));
    EXPECT_EQ(six(load(t)), (Six{"Rent Income;B-4010", "MONTH RENT", "", "", "", ""}));
}

TEST(LoadIDFile, unquotedCommaShiftsLaterFields) {
    test::TestPlatform t;
    // Field 3 written without quotes holds a comma: it reads as two fields.
    QByteArray bytes = preferencesFile(19);
    bytes.replace("\"F3\"", "Smith, Jones");
    writeFile(t.path(QStringLiteral("IDFILE.DAT")), bytes);
    EXPECT_EQ(six(load(t)), (Six{"F8", "Rent Income;B-4010", "F14", "Management Fees;U-5010",
                                 "Management Fee", "Late Fee Received;T-4020"}));
}

TEST(LoadIDFile, missingFileIsError53) {
    test::TestPlatform t;
    try {
        load(t);
        FAIL() << "no error for a missing IDFILE.DAT";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), errc::FileNotFound);
    }
}

TEST(CategoryPreference, accountCodeAndValidityOfTheStoredText) {
    struct Case {
        const char* stored;
        std::int64_t account;
        const char* code;
        bool valid;
    };
    const Case cases[] = {
        {"Rent Income;B-4010", 4010, "B", true},
        {"  Late Fee;T-4020  ", 4020, "T", true},
        // Without ";" the number is read after the first two characters; the code is the first.
        {"XY4010", 4010, "X", true},
        {"Rent4010", 0, "R", false},
        {"X;B-", 0, "B", false},
        {"X;B", 0, "B", false},
        {"X;", 0, "", false},
        {"A;B-12.5", 12, "B", true},
        {"A;B-13.5", 14, "B", true},
        // Rounded once from the whole text, not first to four decimals.
        {"Rent Income;B-4011.49995", 4011, "B", true},
        {"A;B-4011.50001", 4012, "B", true},
        {"A;B- 77abc", 77, "B", false},
        {"A;B-abc", 0, "B", false},
        {"Fee;U-5010;x", 5010, "U", false},
        {"A;B-99999999999", 0, "B", true},  // beyond a category number's range
        {"", 0, "", false},
        {"   ", 0, "", false},
    };
    for (const Case& c : cases) {
        const CategoryPreference category = readCategory(QString::fromUtf8(c.stored));
        EXPECT_EQ(category.text, QString::fromUtf8(c.stored));
        EXPECT_EQ(category.account, c.account) << c.stored;
        EXPECT_EQ(category.code, QString::fromUtf8(c.code)) << c.stored;
        EXPECT_EQ(category.valid, c.valid) << c.stored;
    }
}

}  // namespace
}  // namespace corvane
