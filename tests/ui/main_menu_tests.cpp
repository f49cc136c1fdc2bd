#include "app/frmCorvaneMain.h"
#include "app/frmViewFiles.h"
#include "support/JournalSupport.h"
#include "support/TestFiles.h"
#include "support/TestLedger.h"
#include "support/TestPlatform.h"

#include <QAccessible>
#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

namespace corvane {
namespace {

using test::fileBytes;
using test::writeFile;

const QString kNoLog = QStringLiteral(
    "Cannot find the Corvane log file: CV-Log.txt. Please restore a copy of that file or create a "
    "new text file (.txt) with that name.");
const QString kWaiting = QStringLiteral(
    "You already have Corvane Tenant transactions waiting to be processed - no more Tenant "
    "transactions can be downloaded until you have taken care of the existing ones.");

class MainMenuTest : public ::testing::Test {
protected:
    // A Lodgebook folder as start-up expects it: ledger, posting log, preferences.
    void makeFolder(const QByteArray& log =
                        "03/02/2026\r\n1234.5\r\nhttps://pay.example\r\n"
                        "3/1/2026\r\n03/02/2026\r\n") {
        test::TestLedger ledger(t.path(QStringLiteral("lbdatafl.mdb")));
        if (!log.isNull())
            writeFile(t.path(QStringLiteral("CV-Log.txt")), log);
        writeFile(t.path(QStringLiteral("IDFILE.DAT")), test::preferencesFile());
    }
    // A posting run of payment B77 to tenant 42 that died between its commit and the archiving
    // of the staged file.
    void runDiedAfterItsCommit() {
        writeFile(t.path(QStringLiteral("paymentHistory.csv")), "B77,T42,Smith\r\n");
        auto db = ledger::Database::open(t.path(QStringLiteral("lbdatafl.mdb")));
        ledger::Transaction transaction(*db);
        const PostingEvidence evidence = PostingEvidence::Begin(*db);
        auto entries = db->openTable(QStringLiteral("Transactions"));
        entries->addNew();
        entries->setField(QStringLiteral("TransTID"), ledger::Value::integer(42));
        entries->update();
        entries.reset();
        test::recordPendingRun(t.globals.programFolder(), "B77,T42,Smith\r\n",
                               {QStringLiteral("12/08/2026"), QStringLiteral("77"),
                                QStringLiteral("12/01/2026"), QStringLiteral("12/05/2026")},
                               evidence.collect(*db));
        transaction.commit();
    }
    QString text(const char* name) const {
        auto* label = menu.findChild<QLabel*>(QLatin1String(name));
        return label ? label->text() : QStringLiteral("<no %1>").arg(QLatin1String(name));
    }
    bool hidden(const char* name) const {
        auto* label = menu.findChild<QLabel*>(QLatin1String(name));
        return !label || label->isHidden();
    }
    void click(const char* name) {
        auto* button = menu.findChild<QPushButton*>(QLatin1String(name));
        ASSERT_TRUE(button) << name;
        button->click();
    }

    test::TestPlatform t;
    frmCorvaneMain menu{t.globals};
};

TEST_F(MainMenuTest, startUpShowsTheLastPostingAndChecksThePaymentFile) {
    makeFolder();
    writeFile(t.path(QStringLiteral("paymentHistory.csv")), "B77,T42,Smith\r\n");
    t.dialogs.expectMessage(kWaiting, QStringLiteral("Corvane Notice"), MsgIcon::Information);
    ASSERT_TRUE(menu.Load());

    EXPECT_EQ(menu.windowTitle(), QStringLiteral("Corvane Main Menu"));
    EXPECT_EQ(text("labVersion"), QStringLiteral("1.0.51"));
    EXPECT_EQ(text("labLastDate"), QStringLiteral("Last Date Posted: 03/02/2026"));
    EXPECT_EQ(text("labLastBalance"), QStringLiteral("Last Balance Posted: $1,234.50"));
    EXPECT_EQ(text("labLastDateRange"),
              QStringLiteral("Last Date Range: 03/01/2026 to 03/02/2026"));
    EXPECT_EQ(text("labUser"), QStringLiteral("https://pay.example"));
    EXPECT_FALSE(hidden("labUser"));
    EXPECT_TRUE(t.dialogs.inputPrompts().empty());
    EXPECT_EQ(t.globals.LedgerDbPath, t.path(QStringLiteral("lbdatafl.mdb")));
    EXPECT_TRUE(t.globals.LedgerDb);
    EXPECT_EQ(t.globals.PaymentFileName, QStringLiteral("paymentHistory.csv"));
    EXPECT_EQ(t.globals.TenantExportFileName, QStringLiteral("CorvaneTenantExport.csv"));
    EXPECT_EQ(t.globals.preferences.rentIncome.text, QStringLiteral("F9"));

    click("cmdVeyraURL");
    EXPECT_EQ(t.shell.opened, QStringList{QStringLiteral("https://pay.example")});
}

// The labels that show a value expose that value to assistive tools; the log's dates are read as
// the ledger engine reads dates, and its balance is rounded to cents once.
TEST_F(MainMenuTest, valueLabelsAreHeardWithWhatTheyShow) {
    makeFolder(
        "12/4/26\r\n0.014999\r\nhttps://pay.example\r\n1/2/30 10:15 AM\r\n"
        "12/04/2026 10:15 AM\r\n");
    ASSERT_TRUE(menu.Load());
    EXPECT_EQ(text("labLastDate"), QStringLiteral("Last Date Posted: 12/4/26"));  // as stored
    EXPECT_EQ(text("labLastBalance"), QStringLiteral("Last Balance Posted: $0.01"));
    EXPECT_EQ(text("labLastDateRange"),
              QStringLiteral("Last Date Range: 01/02/1930 to 12/04/2026"));
    for (const char* name : {"labVersion", "labLastDate", "labLastBalance", "labLastDateRange"}) {
        auto* label = menu.findChild<QLabel*>(QLatin1String(name));
        ASSERT_TRUE(label) << name;
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(label);
        ASSERT_TRUE(accessible) << name;
        EXPECT_EQ(accessible->text(QAccessible::Name), label->text()) << name;
    }
    EXPECT_EQ(text("labVersion"), QStringLiteral("1.0.51"));
}

// A run that was killed after its commit, before its archive and log steps: start-up finishes
// it, so the posted payments are not reported as waiting and the labels show that run.
TEST_F(MainMenuTest, startUpFinishesAPostingRunThatDiedAfterItsCommit) {
    makeFolder();
    runDiedAfterItsCommit();
    ASSERT_TRUE(menu.Load());  // no message: nothing is waiting

    EXPECT_FALSE(QFile::exists(t.path(QStringLiteral("paymentHistory.csv"))));
    EXPECT_TRUE(QFile::exists(t.path(QStringLiteral("paymentHistory_LastDownload.csv"))));
    EXPECT_EQ(test::journalNumber(t.globals.programFolder(),
                                  "SELECT count(*) FROM Runs WHERE State = 'posted'"),
              1);
    EXPECT_EQ(text("labLastDate"), QStringLiteral("Last Date Posted: 12/08/2026"));
    EXPECT_EQ(text("labLastBalance"), QStringLiteral("Last Balance Posted: $77.00"));
    EXPECT_EQ(text("labLastDateRange"),
              QStringLiteral("Last Date Range: 12/01/2026 to 12/05/2026"));
    QFile log(t.path(QStringLiteral("CV-Log.txt")));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_EQ(log.readAll(),
              "12/08/2026\r\n77\r\nhttps://pay.example\r\n12/01/2026\r\n12/05/2026\r\n");
}

// The recovery of a run that died cannot archive its payments: the failure is told, start-up goes
// on, and the payments stay staged (and are offered as waiting) until the next try.
TEST_F(MainMenuTest, startUpRecoveryFailing_isToldAndStartUpGoesOn) {
    makeFolder();
    runDiedAfterItsCommit();
    const QString staged = t.path(QStringLiteral("paymentHistory.csv"));
    t.files.before = [&](const QString& change, const QString& path) {
        if (change == QLatin1String("rename") && path == staged)
            throw Error(errc::PermissionDenied, QStringLiteral("Permission denied: ") + path);
    };
    t.dialogs.expectMessage("Error 70: Permission denied: " + staged,
                            QStringLiteral("Corvane Error Message"));
    t.dialogs.expectMessage(kWaiting, QStringLiteral("Corvane Notice"));
    ASSERT_TRUE(menu.Load());

    EXPECT_TRUE(QFile::exists(staged));
    EXPECT_FALSE(QFile::exists(t.path(QStringLiteral("paymentHistory_LastDownload.csv"))));
    EXPECT_EQ(text("labLastDate"), QStringLiteral("Last Date Posted: 03/02/2026"));
    EXPECT_EQ(fileBytes(t.path(QStringLiteral("CV-Log.txt"))),
              "03/02/2026\r\n1234.5\r\nhttps://pay.example\r\n3/1/2026\r\n03/02/2026\r\n");
    EXPECT_EQ(
        test::journalNumber(t.folder.path(), "SELECT count(*) FROM Runs WHERE State = 'pending'"),
        1);  // left for the next try
    EXPECT_FALSE(t.dialogs.busy());
}

// An item-not-found error from any start-up step ends the program at once with its own message
// (here raised where start-up deletes a staged file that is not a payment file).
TEST_F(MainMenuTest, itemNotFoundDuringStartUp_saysTheFieldIsMissingAndEnds) {
    makeFolder();
    writeFile(t.path(QStringLiteral("paymentHistory.csv")), "X1,T42\r\n");
    t.files.before = [](const QString& change, const QString&) {
        if (change == QLatin1String("remove"))
            throw Error(errc::ItemNotFound, QStringLiteral("Item not found in this collection."));
    };
    t.dialogs.expectMessage(QStringLiteral("Invalid data found in file. The file will be deleted. "
                                           "Please download another file."),
                            QStringLiteral("Corvane"), MsgIcon::None);
    t.dialogs.expectMessage(QStringLiteral("Company Corvane field not found"),
                            QStringLiteral("Corvane"));
    EXPECT_FALSE(menu.Load());
    EXPECT_FALSE(t.globals.LedgerDb);
    EXPECT_FALSE(t.dialogs.busy());
}

TEST_F(MainMenuTest, noLedgerShowsTheDataFileMessageAndEnds) {
    writeFile(t.path(QStringLiteral("CV-Log.txt")), "x\r\n");
    t.dialogs.expectMessage(
        QStringLiteral("Lodgebook data file not found - be sure that the Corvane Program is copied "
                       "into the same directory or folder as the main Lodgebook Program."),
        QStringLiteral("Corvane"), MsgIcon::Information);
    EXPECT_FALSE(menu.Load());
    EXPECT_FALSE(menu.isVisible());
    EXPECT_FALSE(t.globals.LedgerDb);
    EXPECT_TRUE(t.globals.postingLog.lastDatePosted.isEmpty());
    EXPECT_FALSE(QFile::exists(t.path(QStringLiteral("lbdatafl.mdb"))));
}

TEST_F(MainMenuTest, missingLogKeepsTheDesignTextsAndTheSiteLabelHidden) {
    makeFolder(QByteArray());
    t.dialogs.expectMessage(kNoLog, QStringLiteral("Corvane"), MsgIcon::Information);
    ASSERT_TRUE(menu.Load());
    EXPECT_EQ(text("labLastDate"), QStringLiteral("Last Posting Date"));
    EXPECT_EQ(text("labLastBalance"), QStringLiteral("Last Balance Posted"));
    EXPECT_EQ(text("labLastDateRange"), QStringLiteral("Last Date Range Posted"));
    EXPECT_TRUE(hidden("labUser"));
    // The rest of start-up still ran.
    EXPECT_EQ(t.globals.PaymentFileName, QStringLiteral("paymentHistory.csv"));
    EXPECT_EQ(t.globals.preferences.lateFeeRemark, QStringLiteral("F18"));

    click("cmdVeyraURL");
    EXPECT_EQ(t.shell.opened, QStringList{QString()});
}

TEST_F(MainMenuTest, emptyLogShowsEmptyFiguresWithoutAPrompt) {
    makeFolder("");
    ASSERT_TRUE(menu.Load());
    EXPECT_TRUE(t.dialogs.inputPrompts().empty());
    EXPECT_EQ(text("labLastDate"), QStringLiteral("Last Date Posted: "));
    EXPECT_EQ(text("labLastBalance"), QStringLiteral("Last Balance Posted: "));
    EXPECT_EQ(text("labLastDateRange"), QStringLiteral("Last Date Range:  to "));
    EXPECT_FALSE(hidden("labUser"));
    EXPECT_EQ(text("labUser"), QString());
}

TEST_F(MainMenuTest, blankSiteAddressIsAskedForOnce) {
    makeFolder("03/02/2026\r\n10\r\n  \r\n03/01/2026\r\n03/02/2026\r\n");
    t.dialogs.expectInput(QStringLiteral("Please enter your Vantora URL"),
                          QStringLiteral("Vantora URL Entry"),
                          QStringLiteral("https://typed.example"));
    ASSERT_TRUE(menu.Load());
    EXPECT_EQ(t.dialogs.inputPrompts().size(), 1u);
    EXPECT_EQ(text("labUser"), QStringLiteral("https://typed.example"));
    click("cmdVeyraURL");
    EXPECT_EQ(t.shell.opened, QStringList{QStringLiteral("https://typed.example")});
}

TEST_F(MainMenuTest, missingPreferencesShowsTheGeneralErrorAndSkipsTheCheck) {
    makeFolder();
    QFile::remove(t.path(QStringLiteral("IDFILE.DAT")));
    writeFile(t.path(QStringLiteral("paymentHistory.csv")), "X1,T42\r\n");
    t.dialogs.allowAnyMessages();
    ASSERT_TRUE(menu.Load());
    ASSERT_EQ(t.dialogs.shown().size(), 1u);
    EXPECT_TRUE(t.dialogs.shown()[0].text.startsWith(QStringLiteral("Error 53: ")))
        << t.dialogs.shown()[0].text.toStdString();
    EXPECT_EQ(t.dialogs.shown()[0].title, QStringLiteral("Corvane Error Message"));
    EXPECT_EQ(t.dialogs.shown()[0].icon, MsgIcon::Information);
    EXPECT_TRUE(QFile::exists(t.path(QStringLiteral("paymentHistory.csv"))));
    EXPECT_EQ(text("labLastDate"), QStringLiteral("Last Date Posted: 03/02/2026"));
    EXPECT_FALSE(t.dialogs.busy());
}

TEST_F(MainMenuTest, ledgerOfAnotherFormatSkipsTheRestOfStartUp) {
    writeFile(t.path(QStringLiteral("lbdatafl.mdb")), "Standard Jet DB, not SQLite at all");
    writeFile(t.path(QStringLiteral("CV-Log.txt")), "03/02/2026\r\n1\r\nhttps://x\r\n\r\n\r\n");
    t.dialogs.allowAnyMessages();
    ASSERT_TRUE(menu.Load());
    ASSERT_EQ(t.dialogs.shown().size(), 1u);
    EXPECT_TRUE(t.dialogs.shown()[0].text.startsWith(QStringLiteral("Error 3343: ")))
        << t.dialogs.shown()[0].text.toStdString();
    EXPECT_EQ(t.dialogs.shown()[0].title, QStringLiteral("Corvane Error Message"));
    // What was set up before the failure stays; the log was never read.
    EXPECT_EQ(text("labVersion"), QStringLiteral("1.0.51"));
    EXPECT_EQ(t.globals.LedgerDbPath, t.path(QStringLiteral("lbdatafl.mdb")));
    EXPECT_EQ(text("labLastDate"), QStringLiteral("Last Posting Date"));
    EXPECT_TRUE(hidden("labUser"));
    EXPECT_TRUE(t.globals.PaymentFileName.isEmpty());
}

TEST_F(MainMenuTest, hostingServiceChoosesTheSessionPrinter) {
    for (const char* computer : {"LODGEBOOK", "Lodgebook"}) {
        test::TestPlatform p;
        test::TestLedger ledger(p.path(QStringLiteral("lbdatafl.mdb")));
        writeFile(p.path(QStringLiteral("CV-Log.txt")), "");
        writeFile(p.path(QStringLiteral("IDFILE.DAT")), test::preferencesFile());
        p.environment.variables.insert(QStringLiteral("COMPUTERNAME"), QLatin1String(computer));
        p.sessions.session = QStringLiteral("3");
        p.printers.installed = {QStringLiteral("Laser"),
                                QStringLiteral("Orvanta Live (redirected 3)")};
        frmCorvaneMain hosted(p.globals);
        ASSERT_TRUE(hosted.Load());
        EXPECT_EQ(p.printers.current, QLatin1String(computer) == QLatin1String("LODGEBOOK")
                                          ? QStringLiteral("Orvanta Live (redirected 3)")
                                          : QString())
            << computer;
    }
}

TEST_F(MainMenuTest, everyControlCarriesItsCaptionAndName) {
    struct Control {
        const char* name;
        const char* caption;
    };
    const Control controls[] = {
        {"labIntro",
         "Welcome to Lodgebook Corvane! Choose from one of the options below to import your "
         "payment file, post payments to your ledgers or change tenant info."},
        {"labVersion", "Version"},
        {"labUser", "Corvane URL"},
        {"labLastDate", "Last Posting Date"},
        {"labLastBalance", "Last Balance Posted"},
        {"labLastDateRange", "Last Date Range Posted"},
        {"cmdVeyraURL", "Go to Vantora"},
        {"fraOption2", "Check for any Tenant rent payments"},
        {"labStep2",
         "Use this step each time you want to download any Tenant rent payments that have been "
         "made. This will enable you to post the payments automatically to the Lodgebook ledgers, "
         "plus you can optionally charge management fees on those payments and create a register "
         "entry."},
        {"cmdDownloadPayment", "&Import Payment File and Post Rent Payments"},
        {"fraOption3", "Activate your Tenants to use Corvane"},
        {"labStep3",
         "Perform this step to activate or change the Tenants that use Corvane service. You must "
         "use this section in order to activate any users of the Corvane system."},
        {"cmdTenantUpdate", "&Activate or Change TENANTS"},
        {"cmdViewFiles", "View Files"},
        {"cmdExit", "&Exit"},
    };
    for (const Control& c : controls) {
        QWidget* widget = menu.findChild<QWidget*>(QLatin1String(c.name));
        ASSERT_TRUE(widget) << c.name;
        QString caption;
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            caption = label->text();
            EXPECT_TRUE(label->wordWrap()) << c.name;
        } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
            caption = button->text();
        } else if (auto* frame = qobject_cast<QGroupBox*>(widget)) {
            caption = frame->title();
            EXPECT_EQ(frame->accessibleName(), caption);
        }
        EXPECT_EQ(caption, QString::fromUtf8(c.caption)) << c.name;
    }
    auto* frame2 = menu.findChild<QGroupBox*>(QStringLiteral("fraOption2"));
    ASSERT_TRUE(frame2);
    EXPECT_TRUE(frame2->findChild<QPushButton*>(QStringLiteral("cmdDownloadPayment")));
    auto* frame3 = menu.findChild<QGroupBox*>(QStringLiteral("fraOption3"));
    ASSERT_TRUE(frame3);
    EXPECT_TRUE(frame3->findChild<QPushButton*>(QStringLiteral("cmdTenantUpdate")));
}

TEST_F(MainMenuTest, exitReleasesTheLedgerAndLeavesTheViewerOpen) {
    makeFolder();
    ASSERT_TRUE(menu.Load());
    menu.show();
    t.dialogs.allowAnyMessages();  // whatever the viewer itself reports on opening
    click("cmdViewFiles");
    click("cmdViewFiles");
    QList<frmViewFiles*> viewers;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* v = qobject_cast<frmViewFiles*>(w))
            viewers.append(v);
    }
    ASSERT_EQ(viewers.size(), 1);
    EXPECT_TRUE(viewers[0]->isVisible());
    EXPECT_EQ(viewers[0]->parent(), nullptr);

    click("cmdExit");
    EXPECT_FALSE(menu.isVisible());
    EXPECT_FALSE(t.globals.LedgerDb);
    EXPECT_TRUE(viewers[0]->isVisible());
    QPointer<frmViewFiles> viewer = viewers[0];
    viewer->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(viewer.isNull());
}

}  // namespace
}  // namespace corvane
