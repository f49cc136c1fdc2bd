#include "enrollment/frmTenantUpdate.h"

namespace corvane {

frmTenantUpdate::frmTenantUpdate(Globals& globals, QWidget* parent) : QDialog(parent), globals_(globals) {}

void frmTenantUpdate::Load() {}

}  // namespace corvane
