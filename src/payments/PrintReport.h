#pragma once

#include "app/Globals.h"
#include "payments/StagedRow.h"

#include <QList>
#include <QString>

#include <vector>

namespace corvane {

// The payment screen's "&Print Screen": prints the rows of the grid's selection (the rows the user
// had selected, then every row from the current row down) on the current printer, then shows
// "Screen Printed". Returns the rows of the grid's selection after printing (0-based), so that the
// screen can show them selected. `selectedRows` and `currentRow` are 0-based grid rows.
QList<int> PrintScreen(Globals& globals, const std::vector<StagedRow>& rows,
                       const QList<int>& selectedRows, int currentRow);

}  // namespace corvane
