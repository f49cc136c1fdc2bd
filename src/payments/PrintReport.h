#pragma once

#include "payments/Payment.h"
#include "platform/Dialogs.h"
#include "platform/Printer.h"

#include <QDate>
#include <QList>
#include <QString>

#include <vector>

namespace corvane {

// What printing the screen leaves: the rows of the grid's selection after printing (0-based), so
// that the screen can show them selected (the last of them is the row the grid's current row ends
// on), and the messages for the screen to show.
struct PrintedScreen {
    QList<int> selection;
    std::vector<UserMessage> messages;
};

// The payment screen's "&Print Screen": prints the rows of the grid's selection (the rows the user
// had selected, then every row from the current row down) on the current printer, under the busy
// pointer. Its messages: "Screen Printed" (and, when no printer is installed, where the PDF file
// of the list was written in `pdfFolder`); or, when the job fails, the error's own text (the job
// abandoned). The report is dated `today`. `selectedRows` and `currentRow` are 0-based grid rows.
PrintedScreen PrintScreen(Dialogs& dialogs, Printers& printers, const QString& pdfFolder,
                          const QDate& today, const std::vector<Payment>& rows,
                          const QList<int>& selectedRows, int currentRow);

}  // namespace corvane
