#include "payments/PrintReport.h"
#include "platform/Error.h"
#include "platform/QtPrinters.h"
#include "support/Payments.h"
#include "support/PdfText.h"
#include "support/TestPlatform.h"

#include <QFile>
#include <QPrinterInfo>
#include <QStandardPaths>

#include <gtest/gtest.h>

namespace corvane {
namespace {

using test::TestPlatform;

Payment paymentRow(int tenant, const QString& address, const QString& name, const QString& amount,
                   const QString& transaction) {
    return test::makePayment({.tid = QStringLiteral("T%1").arg(tenant),
                              .address = address,
                              .name = name,
                              .amount = amount,
                              .date = QStringLiteral("03/01/2026"),
                              .type = QStringLiteral("Rent"),
                              .transaction = transaction});
}

using test::pdfText;

class PrintPdf : public ::testing::Test {
protected:
    void SetUp() override {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty()) {
            GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
        }
        pdfPath = tp.path(kPdfFallbackFileName);
        // Always a PDF job, so that no test ever reaches a real printer.
        tp.printers.makeJob = [this] { return QtPrinters::startPdfJob(pdfPath); };
    }

    // Prints and expects the two messages of a job written as a PDF file.
    void print(const std::vector<Payment>& rows) {
        tp.dialogs.expectMessage(QStringLiteral("Screen Printed"), QStringLiteral("Corvane Print"));
        tp.dialogs.expectMessage(
            QStringLiteral("No printer is installed, so the list was saved as the PDF file ") +
                pdfPath,
            QStringLiteral("Corvane Print"));
        const PrintedScreen printed = PrintScreen(tp.dialogs, tp.printers, tp.folder.path(),
                                                  tp.environment.today(), rows, {}, 0);
        for (const UserMessage& message : printed.messages)
            tell(tp.dialogs, message);
    }

    TestPlatform tp;
    QString pdfPath;
};

TEST_F(PrintPdf, pdfHoldsTheTitleHeaderRowsAndTotal) {
    print({paymentRow(42, QStringLiteral("12 Elm Street"), QStringLiteral("Smith, Jane"),
                      QStringLiteral("1234.56"), QStringLiteral("B100200300")),
           paymentRow(99, QStringLiteral("(TID not found-PRINT SCREEN!)"),
                      QStringLiteral("(not found-cannot post!)"), QStringLiteral("75.50"),
                      QStringLiteral("B100200301"))});
    const QString text = pdfText(pdfPath);
    ASSERT_FALSE(text.isEmpty()) << "no text read from " << pdfPath.toStdString();
    for (const char* expected :
         {"03/14/2026", "Corvane Download Transactions", "TID", "Rental Unit Address",
          "Tenant Name", "Amount", "Type", "Transaction Num", "T42", "12 Elm Street", "Smith, Jane",
          "1234.56", "B100200300", "T99", "(TID not found-PRINT", "(not found-cannot po", "75.50",
          "Total Amount: $1,310.06"}) {
        EXPECT_TRUE(text.contains(QLatin1String(expected))) << expected << " in\n"
                                                            << text.toStdString();
    }
    // The title and header come before the rows, the total after them.
    EXPECT_LT(text.indexOf(QLatin1String("Corvane Download")), text.indexOf(QLatin1String("TID")));
    EXPECT_LT(text.indexOf(QLatin1String("Transaction Num")), text.indexOf(QLatin1String("T42")));
    EXPECT_LT(text.indexOf(QLatin1String("B100200301")), text.indexOf(QLatin1String("Total")));
}

TEST_F(PrintPdf, rowsThatDoNotFitRunOnToTheNextPagesWithoutAnotherHeader) {
    std::vector<Payment> rows;
    for (int i = 1; i <= 150; ++i) {
        rows.push_back(paymentRow(i, QStringLiteral("%1 Oak Avenue").arg(i),
                                  QStringLiteral("Tenant %1").arg(i), QStringLiteral("10.00"),
                                  QStringLiteral("B9%1").arg(i, 5, 10, QLatin1Char('0'))));
    }
    print(rows);
    const QString text = pdfText(pdfPath);
    const QStringList pages = text.split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    ASSERT_GE(pages.size(), 2) << text.toStdString();
    EXPECT_TRUE(pages.first().contains(QLatin1String("Rental Unit Address")));
    for (qsizetype p = 1; p < pages.size(); ++p) {
        EXPECT_FALSE(pages.at(p).contains(QLatin1String("Rental Unit Address")))
            << "page " << p + 1;
        EXPECT_FALSE(pages.at(p).contains(QLatin1String("Corvane Download"))) << "page " << p + 1;
    }
    for (int i = 1; i <= 150; ++i) {
        const QString transaction = QStringLiteral("B9%1").arg(i, 5, 10, QLatin1Char('0'));
        EXPECT_EQ(text.count(transaction), 1) << transaction.toStdString();
    }
    EXPECT_TRUE(pages.last().contains(QLatin1String("Total Amount: $1,500.00")));
}

TEST(QtPrintersJob, withoutAnyPrinter_writesThePdfInTheGivenFolder) {
    if (!QPrinterInfo::availablePrinterNames().isEmpty()) {
        GTEST_SKIP() << "this system has printers; the PDF fallback is not used";
    }
    TestPlatform tp;
    QtPrinters printers;
    std::unique_ptr<Printer> job = printers.startJob(tp.folder.path());
    ASSERT_NE(job, nullptr);
    EXPECT_EQ(job->pdfFile(), tp.path(QStringLiteral("Corvane Download Transactions.pdf")));
    job->setFontSize(10);
    job->print(QStringLiteral("hello"), true);
    job->endDoc();
    EXPECT_TRUE(QFile::exists(job->pdfFile()));
}

TEST(QtPrintersJob, abandonedJob_leavesNoPdfBehind) {
    TestPlatform tp;
    const QString path = tp.path(kPdfFallbackFileName);
    {
        std::unique_ptr<Printer> job = QtPrinters::startPdfJob(path);
        job->setFontSize(10);
        job->print(QStringLiteral("half a report"), true);
        EXPECT_GT(job->textWidth(QStringLiteral("half a report")), 0);
        EXPECT_GT(job->pageWidth(), 10000);  // US Letter less the margins, in twips
    }
    EXPECT_FALSE(QFile::exists(path));
}

TEST(QtPrintersJob, unwritableFolder_isAnErrorNamingTheFile) {
    TestPlatform tp;
    const QString path = tp.path(QStringLiteral("no such folder/list.pdf"));
    try {
        QtPrinters::startPdfJob(path);
        FAIL() << "expected an error";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), errc::PathFileAccessError);
        EXPECT_TRUE(e.description().contains(QStringLiteral("list.pdf")));
    }
}

}  // namespace
}  // namespace corvane
