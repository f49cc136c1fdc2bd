#include "payments/PrintReport.h"

namespace corvane {

QList<int> PrintScreen(Globals&, const std::vector<StagedRow>&, const QList<int>& selectedRows,
                       int) {
    return selectedRows;
}

}  // namespace corvane
