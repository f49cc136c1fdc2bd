#include "enrollment/TenantExport.h"

namespace corvane {

void CreateTenantExportFile(Globals&) {}

}  // namespace corvane
