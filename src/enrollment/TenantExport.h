#pragma once

#include "platform/Dialogs.h"
#include "platform/Files.h"
#include "platform/ledger/Database.h"

#include <QString>
#include <QStringList>

#include <vector>

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

// A field of the tenant list and the table it comes from.
struct TenantListField {
    QString table;
    QString name;
};

// The same list with only these fields (as Table.Field): the same rows in the same order,
// without reading and sorting the four tables' every field. Its records have the fields by their
// names (fieldNamesOf), in this order.
inline QString tenantListSqlOf(const std::vector<TenantListField>& fields) {
    QStringList qualified;
    for (const TenantListField& field : fields)
        qualified << field.table + QLatin1Char('.') + field.name;
    return QStringLiteral("SELECT DISTINCTROW ") + qualified.join(QStringLiteral(", ")) +
           QLatin1Char(' ') + kTenantListFrom;
}
inline QStringList fieldNamesOf(const std::vector<TenantListField>& fields) {
    QStringList names;
    for (const TenantListField& field : fields)
        names << field.name;
    return names;
}

// The first line of the tenant export file.
inline const QString kTenantExportHeader = QStringLiteral(
    "Company ID,Paypoint ID,New Owner,Account Number,First Name,LastName,Address,City,State,Zip,"
    "Web Status,Balance,Email");

// Writes the export file at `path` ("CorvaneTenantExport.csv" in the program folder) for every
// enrolled tenant of `ledger`, under the busy pointer, and returns the outcome's message. The file
// is written under a temporary name and renamed into place; when no tenant qualifies no export file
// remains (an earlier one is removed). Ledger and file failures (no ledger open among them) are
// thrown as corvane::Error (before any message), for the caller to report.
UserMessage CreateTenantExportFile(ledger::Database* ledger, Files& files, Dialogs& dialogs,
                                   const QString& path);

}  // namespace corvane
