#include "app/frmViewFiles.h"

namespace corvane {

frmViewFiles::frmViewFiles(Globals& globals, QWidget* parent) : QWidget(parent), globals_(globals) {}

void frmViewFiles::Load() {}

}  // namespace corvane
