#pragma once

#include "app/Globals.h"

#include <QString>

namespace corvane {

// The ledger's tenant list: one row per tenant and unit, with the tenant's property and that
// property's owner. Both the enrollment screen and the export start from this text.
inline const QString kTenantListSelect =
    QStringLiteral("SELECT DISTINCTROW Owners.*, Properties.*, Tenants.*, Units.* ");
inline const QString kTenantListFrom = QStringLiteral(
    "FROM (Owners INNER JOIN (Properties INNER JOIN Tenants ON Properties.PropID = "
    "Tenants.TPropID) ON Owners.OwnerID = Properties.POwnerID) INNER JOIN Units ON "
    "Tenants.TenantID = Units.UTenantID");
inline const QString kTenantListSql = kTenantListSelect + kTenantListFrom;

// The same list with only the fields named (a comma-separated list of Table.Field): the same
// rows in the same order, without reading and sorting the four tables' every field.
inline QString tenantListSqlOf(const QString& fields) {
    return QStringLiteral("SELECT DISTINCTROW ") + fields + QLatin1Char(' ') + kTenantListFrom;
}

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
