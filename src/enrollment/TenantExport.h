#pragma once

#include "app/Globals.h"

namespace corvane {

// Writes "CorvaneTenantExport.csv" in the program folder for every enrolled tenant and shows the
// outcome's message.
void CreateTenantExportFile(Globals& globals);

}  // namespace corvane
