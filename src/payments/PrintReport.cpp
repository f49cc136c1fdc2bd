#include "payments/PrintReport.h"

#include "core/TextRules.h"
#include "payments/StagedPayments.h"
#include "platform/Error.h"
#include "platform/ledger/Currency.h"

#include <QDir>

#include <cmath>
#include <exception>

namespace corvane {
namespace {

const QString kPrintTitle = QStringLiteral("Corvane Print");
const QString kReportTitle = QStringLiteral("Corvane Download Transactions");
constexpr int kTitleLineWidth = 80;  // the title is centred within this many characters
constexpr double kFontSize = 10.0;
constexpr int kLeftX = 500;
constexpr int kDateY = 1220;
constexpr int kTitleY = 1600;
constexpr int kHeaderY = 2000;
constexpr int kFirstRowY = 2400;

// A printed column: its grid position (0-based), the header text, X, and how its value is cut.
struct PrintedColumn {
    int gridColumn;
    QString header;
    int x;
    int width;
    bool trimBeforeCut;  // trim blanks, then cut (otherwise cut, then trim)
};

// The header is the grid caption cut to the column's width; the payment type shows "Type".
const PrintedColumn kColumns[] = {
    {3, QStringLiteral("TID"), 500, 8, false},
    {4, QStringLiteral("Rental Unit Address"), 1200, 20, false},
    {5, QStringLiteral("Tenant Name"), 3800, 20, false},
    {6, QStringLiteral("Amount"), 6000, 15, false},
    {7, QStringLiteral("Date"), 7100, 10, false},
    {10, QStringLiteral("Type"), 8200, 10, true},
    {11, QStringLiteral("Transaction Number").left(15), 8750, 15, true},
};

QString cutValue(const PrintedColumn& column, const QString& value) {
    return column.trimBeforeCut ? trimBlanks(value).left(column.width)
                                : trimBlanks(value.left(column.width));
}

// The rows to print: the user's selection (rows that exist, once each, in its order), then every
// row from the current row to the last that is not selected already.
QList<int> printSelection(int rowCount, const QList<int>& selectedRows, int currentRow) {
    QList<int> selection;
    for (int row : selectedRows) {
        if (row >= 0 && row < rowCount && !selection.contains(row))
            selection.append(row);
    }
    for (int row = std::max(currentRow, 0); row < rowCount; ++row) {
        if (!selection.contains(row))
            selection.append(row);
    }
    return selection;
}

QString titleLine() {
    // Half the free width, rounded to the nearest whole number, a half to the even one.
    const long blanks = std::lrint((kTitleLineWidth - kReportTitle.size()) / 2.0);
    return QString(std::max(blanks, 0L), QLatin1Char(' ')) + kReportTitle;
}

// Prints the report as one job; returns the PDF file it was written to, or empty text.
QString printReport(Printers& printers, const QString& pdfFolder, const QDate& today,
                    const std::vector<Payment>& rows, const QList<int>& selection) {
    std::unique_ptr<Printer> printer = printers.startJob(pdfFolder);
    if (!printer)
        throw Error(errc::PrinterError, QStringLiteral("Printer error"));
    Printer& p = *printer;

    p.setFontSize(kFontSize);
    p.setCurrentX(kLeftX);
    p.setCurrentY(kDateY);
    p.print(shortDate(today), true);

    const QString title = titleLine();
    p.setCurrentY(kTitleY);
    // A title wider than half the page starts at the left edge rather than off the page.
    p.setCurrentX(std::max(p.pageWidth() / 2 - p.textWidth(title), 0));
    p.setBold(true);
    p.print(title, true);
    p.setBold(false);

    p.setCurrentY(kHeaderY);
    for (const PrintedColumn& column : kColumns) {
        p.setCurrentX(column.x);
        p.print(column.header, false);
    }
    p.print(QString(), true);

    ledger::Currency total;
    p.setCurrentY(kFirstRowY);
    for (int row : selection) {
        const Payment& payment = rows.at(static_cast<size_t>(row));
        for (const PrintedColumn& column : kColumns) {
            // Grid column k shows column k + 1.
            p.setCurrentX(column.x);
            p.print(cutValue(column, shownCell(payment, column.gridColumn + 1)), false);
        }
        total += payment.amount;
        p.print(QString(), true);
    }

    p.print(QString(), true);
    p.setBold(true);
    p.setCurrentX(kLeftX);
    p.print(QStringLiteral("Total Amount: ") + formatCurrency(total), true);
    p.setBold(false);

    p.endDoc();
    return p.pdfFile();
}

}  // namespace

PrintedScreen PrintScreen(Dialogs& dialogs, Printers& printers, const QString& pdfFolder,
                          const QDate& today, const std::vector<Payment>& rows,
                          const QList<int>& selectedRows, int currentRow) {
    PrintedScreen printed;
    printed.selection = printSelection(static_cast<int>(rows.size()), selectedRows, currentRow);

    const BusyPointer busy(dialogs);
    QString pdfFile;
    try {
        // A job that fails part-way is abandoned (its printer object is gone before the message).
        pdfFile = printReport(printers, pdfFolder, today, rows, printed.selection);
    } catch (const Error& e) {
        printed.messages.push_back({e.description(), MsgIcon::None, kProgramTitle});
        return printed;
    } catch (const std::exception& e) {
        printed.messages.push_back(
            {QString::fromLocal8Bit(e.what()), MsgIcon::None, kProgramTitle});
        return printed;
    }
    printed.messages.push_back(
        {QStringLiteral("Screen Printed"), MsgIcon::Information, kPrintTitle});
    if (!pdfFile.isEmpty()) {
        printed.messages.push_back(
            {QStringLiteral("No printer is installed, so the list was saved as the PDF file ") +
                 QDir::toNativeSeparators(pdfFile),
             MsgIcon::Information, kPrintTitle});
    }
    return printed;
}

}  // namespace corvane
