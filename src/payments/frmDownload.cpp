#include "payments/frmDownload.h"

namespace corvane {

frmDownload::frmDownload(Globals& globals, QWidget* parent) : QDialog(parent), globals_(globals) {}

void frmDownload::Load() {}

}  // namespace corvane
