// One payment download walked through the real windows, from start-up to the viewer, on a sample
// Lodgebook folder; each step checks what the user sees and what lands in the files and ledger.
#include "SampleFolder.h"
#include "app/frmCorvaneMain.h"
#include "app/frmViewFiles.h"
#include "enrollment/TenantListModel.h"
#include "enrollment/frmTenantUpdate.h"
#include "payments/frmDownload.h"
#include "support/LineEnds.h"
#include "support/RecordingPrinter.h"
#include "support/TestFiles.h"
#include "support/TestLedger.h"
#include "support/TestPlatform.h"
#include "support/Widgets.h"

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPointer>
#include <QPushButton>
#include <QTableView>

#include <gtest/gtest.h>

namespace corvane::test {
namespace {

QStringList messageTexts(const ScriptedDialogs& dialogs, size_t from = 0) {
    QStringList texts;
    for (size_t i = from; i < dialogs.shown().size(); ++i)
        texts << dialogs.shown()[i].title + QStringLiteral(": ") + dialogs.shown()[i].text;
    return texts;
}

class RoadOfOnePayment : public ::testing::TestWithParam<LineEnd> {};

TEST_P(RoadOfOnePayment, fromTheDownloadToTheLedgerTheExportAndTheViewer) {
    TestPlatform tp;
    const QString folder = tp.folder.path();
    TestLedger ledger(folder + QStringLiteral("/") + kLedgerFileName);
    lodgebook::SampleOptions options;
    options.payments = 0;
    lodgebook::writeSampleFolder(folder, options);
    const QString downloads = folder + QStringLiteral("/user/Downloads");
    tp.environment.variables.insert(QStringLiteral("USERPROFILE"),
                                    folder + QStringLiteral("/user"));

    // The processor's newest download beside an older one: tenants 1001 and 1007 and a late fee.
    const QByteArray newest = withLineEnd(
        "B501,T1001,Renee,1 Road,03/10/2026,Check,\"$1,200.00\",Posted\n"
        "B502,T1007,Payer,2 Road,03/11/2026,Check,\"$850.00\",Posted\n"
        "B503,T1008,Payer,3 Road,03/12/2026,Check,\"$45.00\",Posted\n"
        "B504,T1010,Payer,4 Road,03/12/2026,Check,\"$700.00\",Posted\n"
        "\nTotal,4,,,,,$2795.00\n",
        GetParam());
    writeFile(downloads + QStringLiteral("/paymentHistory.csv"),
              withLineEnd("B9,T1001,Old,1 Road,01/10/2026,Check,\"$1.00\",Posted\n", GetParam()));
    writeFile(downloads + QStringLiteral("/paymentHistory (1).csv"), newest);
    {
        QFile older(downloads + QStringLiteral("/paymentHistory.csv"));
        ASSERT_TRUE(older.open(QIODevice::ReadWrite));
        older.setFileTime(QDateTime::currentDateTime().addDays(-2),
                          QFileDevice::FileModificationTime);
    }
    const double balancesBefore =
        ledger.value(QStringLiteral("SELECT TOTAL(TCurrBal) FROM Tenants")).toDouble();
    const int transactionsBefore =
        ledger.value(QStringLiteral("SELECT COUNT(*) FROM Transactions")).toInt();

    // Start-up.
    tp.dialogs.allowAnyMessages();
    frmCorvaneMain menu(tp.globals);
    ASSERT_TRUE(menu.Load());
    menu.show();
    for (const QString& m : messageTexts(tp.dialogs))
        EXPECT_FALSE(m.contains(QStringLiteral("Error"))) << m.toStdString();
    ASSERT_TRUE(tp.globals.LedgerDb);

    // The import button's screen, opened as the menu opens it.
    size_t seen = tp.dialogs.shown().size();
    auto download = std::make_unique<frmDownload>(tp.globals, &menu);
    download->Load();
    const QStringList loadMessages = messageTexts(tp.dialogs, seen);
    ASSERT_FALSE(loadMessages.isEmpty());
    EXPECT_TRUE(loadMessages.first().startsWith(QStringLiteral("Latest File: ")))
        << loadMessages.join('\n').toStdString();
    EXPECT_EQ(fileBytes(tp.path(kPaymentFileName)), newest);
    EXPECT_FALSE(QFile::exists(downloads + QStringLiteral("/paymentHistory (1).csv")));
    EXPECT_TRUE(QFile::exists(downloads + QStringLiteral("/paymentHistory.csv")));
    ASSERT_EQ(download->StagedCount(), 4);
    auto* grid = child<QTableView>(*download, "gridACHDownload");
    ASSERT_EQ(grid->model()->rowCount(), 4);
    EXPECT_EQ(child<QLabel>(*download, "labCorvanePayments")->text(),
              QStringLiteral("Number of Corvane Payments: 4"));
    EXPECT_EQ(child<QLabel>(*download, "labTransTotal")->text(), QStringLiteral("$2,795.00"));
    // A first download on an empty journal: settled payments carry no note.
    for (int r = 0; r < 4; ++r) {
        const QModelIndex note = grid->model()->index(r, StagedPayments::gridColumn(staged::Note));
        EXPECT_EQ(note.data().toString(), QString()) << r;
    }
    download->show();

    // Review: the third payment becomes a late fee, the fourth is deleted.
    StagedPayments& rows = download->stagedPayments();
    EXPECT_TRUE(rows.setData(rows.index(2, StagedPayments::gridColumn(staged::PmtType)),
                             QStringLiteral("Late Fee")));
    EXPECT_EQ(shownCell(rows.rows().at(2), staged::PmtType), QStringLiteral("Late Fee"));
    grid->clearSelection();
    grid->selectionModel()->select(rows.index(3, 4),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    download->DeleteSelectedRows();
    ASSERT_EQ(download->StagedCount(), 3);
    EXPECT_EQ(child<QLabel>(*download, "labCorvanePayments")->text(),
              QStringLiteral("Number of Corvane Payments: 3"));
    EXPECT_EQ(child<QLabel>(*download, "labTransTotal")->text(), QStringLiteral("$2,095.00"));

    // Remark, fees and a deposit.
    download->setOptRemarkIndex(1);
    EXPECT_EQ(download->optRemarkIndex(), 1);
    child<QCheckBox>(*download, "chkPostMgmtFees")->setChecked(true);
    child<QCheckBox>(*download, "chkCreateDeposit")->setChecked(true);
    child<QLineEdit>(*download, "txtCreateDeposit")->setText(QStringLiteral("517"));
    download->txtCreateDeposit_LostFocus();

    // Printed, to a PDF file.
    seen = tp.dialogs.shown().size();
    PrintRecorder recorder;
    recorder.attach(tp.printers);
    grid->selectAll();
    child<QPushButton>(*download, "cmdPrintScreen")->click();
    EXPECT_EQ(recorder.jobsEnded(), 1);
    EXPECT_EQ(messageTexts(tp.dialogs, seen).last(),
              QStringLiteral("Corvane Print: Screen Printed"));
    QStringList printed;
    for (const PrintedText& t : recorder.visibleTexts())
        printed << t.text;
    for (const char* number : {"B501", "B502", "B503"})
        EXPECT_TRUE(printed.contains(QLatin1String(number))) << number;
    EXPECT_FALSE(printed.contains(QStringLiteral("B504")));

    // "Update Lodgebook Ledgers NOW".
    auto* update = child<QPushButton>(*download, "cmdUpdate");
    EXPECT_EQ(update->text().remove('&'), QStringLiteral("Update Lodgebook Ledgers NOW"));
    const QByteArray stagedBeforePosting = fileBytes(tp.path(kPaymentFileName));
    seen = tp.dialogs.shown().size();
    update->click();
    const QStringList postMessages = messageTexts(tp.dialogs, seen);
    EXPECT_EQ(
        postMessages,
        QStringList{QStringLiteral("Lodgebook Corvane: Your Lodgebook Ledgers are now updated.")});
    EXPECT_TRUE(download->LedgersUpdated()) << postMessages.join('\n').toStdString();
    EXPECT_FALSE(download->isVisible());
    download.reset();

    // The ledger: the three entries, one management fee (owner 1 charges 8%, none on a late fee),
    // the tenants' balances raised by the payments, the deposit with a split line per payment.
    std::vector<QStringList> entries;
    for (const QVariantList& r : ledger.rows(QStringLiteral(
             "SELECT TransPostToID, TransAmount, TransRemark, TransType FROM Transactions "
             "ORDER BY TransID")))
        entries.push_back(QVariant(r).toStringList());
    const std::vector<QStringList> expectedEntries = {
        {"1001", "1200", "Rent", "I"},
        {"1007", "850", "Rent", "I"},
        {"1008", "45", "Late Fee", "I"},
        {"1001", "-96", "Management Fee", "E"},
    };
    EXPECT_EQ(transactionsBefore, 0);
    EXPECT_EQ(entries, expectedEntries);
    const double balancesAfter =
        ledger.value(QStringLiteral("SELECT TOTAL(TCurrBal) FROM Tenants")).toDouble();
    EXPECT_NEAR(balancesAfter - balancesBefore, 2095.0, 0.005);
    const auto deposits = ledger.rows(QStringLiteral(
        "SELECT CkID, CkAmount, CkRemark, CkNumber, CkType, CkPayee FROM CheckDepPrinted"));
    ASSERT_EQ(deposits.size(), 1u);
    EXPECT_EQ(QVariant(deposits[0]).toStringList().mid(1),
              (QStringList{"2095", "CORVANE DEPOSIT", "517", "D", "DEPOSIT"}));
    EXPECT_EQ(ledger
                  .value(QStringLiteral("SELECT COUNT(*) || '/' || TOTAL(CkAmount) FROM "
                                        "SplitPrintedChecks WHERE CkNumber = ") +
                         deposits[0][0].toString())
                  .toString(),
              QStringLiteral("3/2095.0"));

    // The log's five lines and the menu's three labels.
    const QStringList log = QString::fromLatin1(fileBytes(tp.path(QStringLiteral("CV-Log.txt"))))
                                .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    EXPECT_EQ(log, (QStringList{"03/14/2026", "2095", "https://www.vantora.example/landlord",
                                "03/10/2026", "03/12/2026"}));
    EXPECT_EQ(child<QLabel>(menu, "labLastDate")->text(),
              QStringLiteral("Last Date Posted: 03/14/2026"));
    EXPECT_EQ(child<QLabel>(menu, "labLastBalance")->text(),
              QStringLiteral("Last Balance Posted: $2,095.00"));
    EXPECT_EQ(child<QLabel>(menu, "labLastDateRange")->text(),
              QStringLiteral("Last Date Range: 03/10/2026 to 03/12/2026"));

    // The staged file became the archive; a second opening finds no file.
    EXPECT_FALSE(QFile::exists(tp.path(kPaymentFileName)));
    const QByteArray archive = fileBytes(tp.path(kPaymentArchiveFileName));
    EXPECT_EQ(archive, stagedBeforePosting);
    EXPECT_TRUE(archive.contains("B501")) << archive.toStdString();
    // The older download is still there; the user clears it before looking again.
    ASSERT_TRUE(QFile::remove(downloads + QStringLiteral("/paymentHistory.csv")));
    seen = tp.dialogs.shown().size();
    {
        frmDownload again(tp.globals, &menu);
        again.Load();
        EXPECT_EQ(again.StagedCount(), 0);
        EXPECT_EQ(messageTexts(tp.dialogs, seen),
                  QStringList{QStringLiteral("No Files: No payment files were found in your "
                                             "Downloads folder. Please download a new payment "
                                             "file.")});
    }

    // The tenant screen: tenant 1006 enrolled, then the export file.
    {
        frmTenantUpdate tenants(tp.globals, &menu);
        tenants.Load();
        tenants.show();
        auto* list = child<QTableView>(tenants, "gridACH");
        QAbstractItemModel* model = list->model();
        int row = -1;
        for (int r = 0; r < model->rowCount(); ++r) {
            const QString id = model->index(r, TenantListModel::ColTID).data().toString();
            if (id == QStringLiteral("1006") || id == QStringLiteral("T1006"))
                row = r;
        }
        ASSERT_GE(row, 0);
        const int flagColumn = TenantListModel::ColCorvane;
        EXPECT_EQ(model->index(row, flagColumn).data().toString(), QStringLiteral("N"));
        EXPECT_TRUE(model->setData(model->index(row, flagColumn), QStringLiteral("Y")));
        EXPECT_EQ(
            ledger.value(QStringLiteral("SELECT TACH FROM Tenants WHERE TenantID=1006")).toString(),
            QStringLiteral("Y"));
        child<QPushButton>(tenants, "cmdExport")->click();
        tenants.close();
    }
    const QByteArray exported = fileBytes(tp.path(kTenantExportFileName));
    // Tenant 1006 now among them; 1009 (not enrolled) and 1005 ("D") are not; tenant 1003's
    // two units give two lines; the file is in the Windows character set.
    const QByteArray company = "Harbor Point Rentals  LLC,,,";
    const QByteArray expectedExport =
        "Company ID,Paypoint ID,New Owner,Account Number,First Name,LastName,Address,City,State,"
        "Zip,Web Status,Balance,Email\r\n" +
        company +
        "T1001,Ren\xe9"
        "e,Nu\xf1"
        "ez,8224 Front St,Beaverton,OR,97013,998,,"
        "renee.nunez@example.com\r\n" +
        company + "T1002,VACANT,(LastName),2549 Cedar Ln,Beaverton,OR,97013,0,,\r\n" + company +
        "T1003,Kevin,Nguyen,8593 Harbor Way,Portland,OR,97223,998,,"
        "kevin.nguyen@example.com\r\n" +
        company +
        "T1003,Kevin,Nguyen,8593 Harbor Way Rear,Portland,OR,97223,998,,"
        "kevin.nguyen@example.com\r\n" +
        company +
        "T1006,Aisha,Garcia,4764 Oak St,Salem,OR,97388,998,,aisha.garcia@example.com\r\n" +
        company +
        "T1007,Olga,Walker,4637 Oak St,Vancouver,WA,98699,998,,olga.walker@example.com\r\n" +
        company +
        "T1008,Maria,Wilson,4272 Cedar Ln,Salem,OR,97323,998,,maria.wilson@example.com\r\n" +
        company +
        "T1010,Wei,Wright,7371 Sunset Blvd,Salem,OR,97340,998,,wei.wright@example.com\r\n" +
        company +
        "T1011,Robert,Wilson,1377 Front St,Beaverton,OR,97053,998,,"
        "robert.wilson@example.com\r\n" +
        company +
        "T1012,Kevin,Hall,110 Harbor Way,Beaverton,OR,97075,998,,kevin.hall@example.com\r\n";
    EXPECT_EQ(exported, expectedExport);
    EXPECT_EQ(messageTexts(tp.dialogs).last(),
              QStringLiteral("Lodgebook Corvane Export: Export File Created\r\rFile Name: "
                             "CorvaneTenantExport.csv\r\rFile Path: ") +
                  tp.path(kTenantExportFileName));

    // The viewer shows the archive line by line.
    // It deletes itself on close, as when the menu opens it; the test's event loop never runs, so
    // the deletion is delivered here, before the next test counts the windows that are open.
    QPointer<frmViewFiles> viewer = new frmViewFiles(tp.globals);
    viewer->Load();
    viewer->show();
    viewer->chooseFile(2);
    QAbstractItemModel* lines = child<QListView>(*viewer, "lstFileContents")->model();
    ASSERT_EQ(lines->rowCount(), 6);  // four payments, a blank line, the total
    EXPECT_EQ(lines->index(0, 0).data().toString(),
              QStringLiteral("B501,T1001,Renee,1 Road,03/10/2026,Check,\"$1,200.00\",Posted"));
    viewer->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(viewer.isNull());
    menu.close();
}

INSTANTIATE_TEST_SUITE_P(LineEnds, RoadOfOnePayment, kLineEnds, lineEndName);

}  // namespace
}  // namespace corvane::test
