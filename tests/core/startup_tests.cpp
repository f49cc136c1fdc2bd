#include "core/StartUp.h"
#include "platform/Error.h"
#include "support/TestFiles.h"
#include "support/TestPlatform.h"

#include <QFile>

#include <gtest/gtest.h>

namespace corvane {
namespace {

using test::fileBytes;
using test::writeFile;

const QString kInvalid = QStringLiteral(
    "Invalid data found in file. The file will be deleted. Please download another file.");
const QString kWaiting = QStringLiteral(
    "You already have Corvane Tenant transactions waiting to be processed - no more Tenant "
    "transactions can be downloaded until you have taken care of the existing ones.");

class CheckForPaymentFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        t.globals.PaymentFileName = QStringLiteral("paymentHistory.csv");
        writeFile(t.path(QStringLiteral("IDFILE.DAT")), test::preferencesFile());
    }
    QString staged() const { return t.path(QStringLiteral("paymentHistory.csv")); }

    test::TestPlatform t;
};

TEST_F(CheckForPaymentFileTest, noStagedFileShowsNothingButReadsThePreferences) {
    CheckForPaymentFile(t.globals);
    EXPECT_TRUE(t.dialogs.shown().empty());
    EXPECT_EQ(t.globals.preferences.rentIncome.text, QStringLiteral("F9"));
    EXPECT_EQ(t.globals.preferences.lateFeeRemark, QStringLiteral("F18"));
}

TEST_F(CheckForPaymentFileTest, waitingPaymentsAreRemindedAndKept) {
    for (const QByteArray& content :
         {QByteArray("B77,T42,Smith\n"), QByteArray("\"B12\",T42\r\n"), QByteArray("   B9")}) {
        writeFile(staged(), content);
        t.dialogs.expectMessage(kWaiting, QStringLiteral("Corvane Notice"), MsgIcon::Information);
        CheckForPaymentFile(t.globals);
        t.dialogs.verifyAllShown();
        EXPECT_TRUE(QFile::exists(staged())) << content.constData();
    }
}

TEST_F(CheckForPaymentFileTest, invalidFirstFieldDeletesTheFileWithoutNotice) {
    for (const QByteArray& content :
         {QByteArray("X1,T42\n"), QByteArray("b77,T42\n"), QByteArray("\r\nB77,T42\n"),
          QByteArray("\xEF\xBB\xBF"
                     "B7,T1\n")}) {
        writeFile(staged(), content);
        t.dialogs.expectMessage(kInvalid, QStringLiteral("Corvane"), MsgIcon::None);
        CheckForPaymentFile(t.globals);
        t.dialogs.verifyAllShown();
        EXPECT_EQ(t.dialogs.shown().back().buttons, MsgButtons::Ok);
        EXPECT_FALSE(QFile::exists(staged())) << content.constData();
    }
}

TEST_F(CheckForPaymentFileTest, emptyStagedFileIsError62AndStays) {
    writeFile(staged(), "");
    try {
        CheckForPaymentFile(t.globals);
        FAIL() << "no error for an empty staged file";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), errc::InputPastEndOfFile);
    }
    EXPECT_TRUE(QFile::exists(staged()));
    EXPECT_TRUE(t.dialogs.shown().empty());
}

TEST_F(CheckForPaymentFileTest, missingPreferencesStopsBeforeTheCheck) {
    QFile::remove(t.path(QStringLiteral("IDFILE.DAT")));
    writeFile(staged(), "X1,T42\n");
    try {
        CheckForPaymentFile(t.globals);
        FAIL() << "no error for a missing IDFILE.DAT";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), errc::FileNotFound);
    }
    EXPECT_TRUE(QFile::exists(staged()));
    EXPECT_TRUE(t.dialogs.shown().empty());
}

TEST(ChooseSessionPrinter, onlyTheHostingServiceChoosesTheRedirectedPrinter) {
    struct Case {
        const char* computer;
        const char* session;
        const char* chosen;
    };
    const Case cases[] = {
        {"LODGEBOOK", "7", "Orvanta Live (redirected 7)"},
        {"Lodgebook", "7", "Laser"},
        {"OFFICE", "7", "Laser"},
        {"LODGEBOOK", "0", "Laser"},
        {"LODGEBOOK", "12", "Laser"},
    };
    for (const Case& c : cases) {
        test::FakeEnvironment environment;
        test::FakeSessions sessions;
        test::FakePrinters printers;
        environment.variables.insert(QStringLiteral("COMPUTERNAME"), QString::fromUtf8(c.computer));
        sessions.session = QString::fromUtf8(c.session);
        printers.installed = {QStringLiteral("Laser"),
                              QStringLiteral("Orvanta Live (redirected 0)"),
                              QStringLiteral("Orvanta Live (redirected 7)"),
                              QStringLiteral("Orvanta Live (redirected 77)")};
        printers.current = QStringLiteral("Laser");
        ChooseSessionPrinter(environment, sessions, printers);
        EXPECT_EQ(printers.current, QString::fromUtf8(c.chosen)) << c.computer << " " << c.session;
    }
}

}  // namespace
}  // namespace corvane
