#include "app/Preferences.h"
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

Six six(const Globals& g) {
    return {g.RentIncomeCategory, g.RentIncomeRemark, g.MgmtFeeCategory,
            g.MgmtFeeRemark,      g.LateFeeCategory,  g.LateFeeRemark};
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
    LoadIDFile(t.globals);
    EXPECT_EQ(six(t.globals),
              (Six{"Rent Income;B-4010", "MONTH RENT", "Management Fees;U-5010", "Management Fee",
                   "Late Fee Received;T-4020", QStringLiteral("Late Fee \u00e9t\u00e9")}));
}

TEST(LoadIDFile, fortyFieldsReadTheSameSix) {
    test::TestPlatform t;
    writeFile(t.path(QStringLiteral("IDFILE.DAT")), preferencesFile(40));
    LoadIDFile(t.globals);
    EXPECT_EQ(t.globals.LateFeeRemark, QStringLiteral("Late Fee \u00e9t\u00e9"));
    EXPECT_EQ(t.globals.RentIncomeCategory, QStringLiteral("Rent Income;B-4010"));
}

TEST(LoadIDFile, elevenFieldsFillOnlyTheRentIncomePair) {
    test::TestPlatform t;
    writeFile(t.path(QStringLiteral("IDFILE.DAT")), preferencesFile(11));
    LoadIDFile(t.globals);
    EXPECT_EQ(six(t.globals), (Six{"Rent Income;B-4010", "MONTH RENT", "", "", "", ""}));
}

TEST(LoadIDFile, unquotedCommaShiftsLaterFields) {
    test::TestPlatform t;
    // Field 3 written without quotes holds a comma: it reads as two fields.
    QByteArray bytes = preferencesFile(19);
    bytes.replace("\"F3\"", "Smith, Jones");
    writeFile(t.path(QStringLiteral("IDFILE.DAT")), bytes);
    LoadIDFile(t.globals);
    EXPECT_EQ(six(t.globals), (Six{"F8", "Rent Income;B-4010", "F14", "Management Fees;U-5010",
                                   "Management Fee", "Late Fee Received;T-4020"}));
}

TEST(LoadIDFile, missingFileIsError53AndLeavesThePreferencesEmpty) {
    test::TestPlatform t;
    try {
        LoadIDFile(t.globals);
        FAIL() << "no error for a missing IDFILE.DAT";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), errc::FileNotFound);
    }
    EXPECT_EQ(six(t.globals), Six{});
}

TEST(CategoryPreference, numberAndCodeOfTheStoredText) {
    struct Case {
        const char* stored;
        int number;
        const char* code;
        const char* numberText;
        const char* trimmed;
    };
    const Case cases[] = {
        {"Rent Income;B-4010", 4010, "B", "4010", "Rent Income;B-4010"},
        {"  Late Fee;T-4020  ", 4020, "T", "4020", "Late Fee;T-4020"},
        // Without ";" the number is read after the first two characters; the code is the first.
        {"XY4010", 4010, "X", "4010", "XY4010"},
        {"Rent4010", 0, "R", "nt4010", "Rent4010"},
        {"X;B-", 0, "B", "", "X;B-"},
        {"X;B", 0, "B", "", "X;B"},
        {"X;", 0, "", "", "X;"},
        {"A;B-12.5", 12, "B", "12.5", "A;B-12.5"},
        {"A;B-13.5", 14, "B", "13.5", "A;B-13.5"},
        // Rounded once from the whole text, not first to four decimals.
        {"Rent Income;B-4011.49995", 4011, "B", "4011.49995", "Rent Income;B-4011.49995"},
        {"A;B-4011.50001", 4012, "B", "4011.50001", "A;B-4011.50001"},
        {"A;B- 77abc", 77, "B", "77abc", "A;B- 77abc"},
        {"A;B-abc", 0, "B", "abc", "A;B-abc"},
        {"Fee;U-5010;x", 5010, "U", "5010;x", "Fee;U-5010;x"},
        {"", 0, "", "", ""},
        {"   ", 0, "", "", ""},
    };
    for (const Case& c : cases) {
        QString forNumber = QString::fromUtf8(c.stored);
        QString forCode = forNumber;
        EXPECT_EQ(CategoryNumberText(forNumber), QString::fromUtf8(c.numberText)) << c.stored;
        EXPECT_EQ(CategoryNumber(forNumber), c.number) << c.stored;
        EXPECT_EQ(forNumber, QString::fromUtf8(c.trimmed)) << c.stored;
        EXPECT_EQ(CategoryCode(forCode), QString::fromUtf8(c.code)) << c.stored;
        EXPECT_EQ(forCode, QString::fromUtf8(c.trimmed)) << c.stored;
    }
}

}  // namespace
}  // namespace corvane
