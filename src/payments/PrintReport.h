#pragma once

#include "payments/Payment.h"
#include "platform/Dialogs.h"
#include "platform/Printer.h"

#include <QDate>
#include <QList>
#include <QString>

#include <vector>

namespace corvane {

// The payment screen's "&Print Screen": prints the rows of the grid's selection (the rows the user
// had selected, then every row from the current row down) on the current printer, then shows
// "Screen Printed" (and, when no printer is installed, where the PDF file of the list was
// written in `pdfFolder`). The report is dated `today`. Any failure abandons the job and shows the
// error's own text. Returns the rows of the grid's selection after printing (0-based), so that the
// screen can show them selected; the last of them is the row the grid's current row ends on.
// `selectedRows` and `currentRow` are 0-based grid rows.
QList<int> PrintScreen(Dialogs& dialogs, Printers& printers, const QString& pdfFolder,
                       const QDate& today, const std::vector<Payment>& rows,
                       const QList<int>& selectedRows, int currentRow);

}  // namespace corvane
