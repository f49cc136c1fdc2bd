#pragma once

#include "app/Globals.h"

#include <QString>

namespace corvane {

// The ledger's tenant list: one row per tenant and unit, with the tenant's property and that
// property's owner. Both the enrollment screen and the export start from this text.
inline const QString kTenantListSql = QStringLiteral(
    "SELECT DISTINCTROW Owners.*, Properties.*, Tenants.*, Units.* FROM (Owners INNER JOIN "
    "(Properties INNER JOIN Tenants ON Properties.PropID = Tenants.TPropID) ON Owners.OwnerID = "
    "Properties.POwnerID) INNER JOIN Units ON Tenants.TenantID = Units.UTenantID");

// The first line of the tenant export file.
inline const QString kTenantExportHeader = QStringLiteral(
    "Company ID,Paypoint ID,New Owner,Account Number,First Name,LastName,Address,City,State,Zip,"
    "Web Status,Balance,Email");

// Writes "CorvaneTenantExport.csv" in the program folder for every enrolled tenant and shows the
// outcome's message. The file is written under a temporary name and renamed into place; when no
// tenant qualifies no export file remains (an earlier one is removed). Ledger and file failures
// are thrown as corvane::Error (before any message), for the caller to report.
void CreateTenantExportFile(Globals& globals);

}  // namespace corvane
