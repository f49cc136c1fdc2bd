#pragma once

#include <QString>

// The tables, fields and indexes of Lodgebook's ledger that Corvane reads or writes, by the
// catalogue's names, and the rule of an entry's status. Each constant is spelt as the name it
// holds, so that looking for a field finds every use, in code and in the Jet SQL texts alike.
namespace corvane {

// Jet's name for a table's auto-number key (TransID, CkID, SplitID) used as an index.
inline const QString PrimaryKey = QStringLiteral("PrimaryKey");

namespace Company {
inline const QString table = QStringLiteral("Company");
inline const QString CName1 = QStringLiteral("CName1");
}  // namespace Company

namespace Owners {
inline const QString table = QStringLiteral("Owners");
inline const QString OwnerIDIndex = QStringLiteral("OwnerIDIndex");
inline const QString OwnerID = QStringLiteral("OwnerID");
inline const QString OLastName1 = QStringLiteral("OLastName1");
inline const QString OFirstName1 = QStringLiteral("OFirstName1");
inline const QString OMgmtFee = QStringLiteral("OMgmtFee");
}  // namespace Owners

namespace Properties {
inline const QString table = QStringLiteral("Properties");
inline const QString PropIDIndex = QStringLiteral("PropIDIndex");
inline const QString PropID = QStringLiteral("PropID");
inline const QString POwnerID = QStringLiteral("POwnerID");
inline const QString PropName = QStringLiteral("PropName");
}  // namespace Properties

namespace Tenants {
inline const QString table = QStringLiteral("Tenants");
inline const QString TenantIDIndex = QStringLiteral("TenantIDIndex");
inline const QString TenantID = QStringLiteral("TenantID");
inline const QString TPropID = QStringLiteral("TPropID");
inline const QString TFirstName1 = QStringLiteral("TFirstName1");
inline const QString TLastName1 = QStringLiteral("TLastName1");
inline const QString TCity = QStringLiteral("TCity");
inline const QString TState = QStringLiteral("TState");
inline const QString TZip = QStringLiteral("TZip");
inline const QString TEmail1 = QStringLiteral("TEmail1");
inline const QString TPayment = QStringLiteral("TPayment");
inline const QString TACH = QStringLiteral("TACH");
inline const QString TCurrBal = QStringLiteral("TCurrBal");
}  // namespace Tenants

// A unit is found by its tenant: UTenantIDIndex, whose first record for a tenant is the unit.
namespace Units {
inline const QString table = QStringLiteral("Units");
inline const QString UTenantIDIndex = QStringLiteral("UTenantIDIndex");
inline const QString UTenantID = QStringLiteral("UTenantID");
inline const QString UAddress = QStringLiteral("UAddress");
inline const QString UNumber = QStringLiteral("UNumber");
inline const QString UCurrBal = QStringLiteral("UCurrBal");
}  // namespace Units

namespace Transactions {
inline const QString table = QStringLiteral("Transactions");
inline const QString TransID = QStringLiteral("TransID");
inline const QString TransAccountID = QStringLiteral("TransAccountID");
inline const QString TransPostToID = QStringLiteral("TransPostToID");
inline const QString TransAmount = QStringLiteral("TransAmount");
inline const QString TransDate = QStringLiteral("TransDate");
inline const QString TransCheckNumber = QStringLiteral("TransCheckNumber");
inline const QString TransRemark = QStringLiteral("TransRemark");
inline const QString TransType = QStringLiteral("TransType");
inline const QString TransPmtType = QStringLiteral("TransPmtType");
inline const QString TransStatus = QStringLiteral("TransStatus");
inline const QString TransTax = QStringLiteral("TransTax");
inline const QString TransOID = QStringLiteral("TransOID");
inline const QString TransPID = QStringLiteral("TransPID");
inline const QString TransUID = QStringLiteral("TransUID");
inline const QString TransTID = QStringLiteral("TransTID");
}  // namespace Transactions

// The balances a payment's entry moves by its TransStatus (letter case counts): "B" the tenant's
// (TCurrBal) and the unit's (UCurrBal), "T" the tenant's only, any other neither.
struct BalancesMoved {
    bool tenant = false;
    bool unit = false;
};
inline BalancesMoved balancesMovedBy(const QString& status) {
    const bool both = status == QLatin1String("B");
    return {.tenant = both || status == QLatin1String("T"), .unit = both};
}

namespace CheckDepPrinted {
inline const QString table = QStringLiteral("CheckDepPrinted");
inline const QString CkID = QStringLiteral("CkID");
inline const QString CkPayee = QStringLiteral("CkPayee");
inline const QString CkAccountID = QStringLiteral("CkAccountID");
inline const QString CkAmount = QStringLiteral("CkAmount");
inline const QString CkDate = QStringLiteral("CkDate");
inline const QString CkInvoice = QStringLiteral("CkInvoice");
inline const QString CkRemark = QStringLiteral("CkRemark");
inline const QString CkStatus = QStringLiteral("CkStatus");
inline const QString CkVendorID = QStringLiteral("CkVendorID");
inline const QString CkPostTo = QStringLiteral("CkPostTo");
inline const QString CkNumber = QStringLiteral("CkNumber");
inline const QString CkType = QStringLiteral("CkType");
inline const QString CkSplit = QStringLiteral("CkSplit");
inline const QString CkPostToText = QStringLiteral("CkPostToText");
}  // namespace CheckDepPrinted

// A deposit's split lines: CkNumber is the deposit's CkID.
namespace SplitPrintedChecks {
inline const QString table = QStringLiteral("SplitPrintedChecks");
inline const QString CkNumber = QStringLiteral("CkNumber");
inline const QString CkCheckNumber = QStringLiteral("CkCheckNumber");
inline const QString CkAmount = QStringLiteral("CkAmount");
inline const QString CkAccountID = QStringLiteral("CkAccountID");
inline const QString CkPostToID = QStringLiteral("CkPostToID");
inline const QString CkRemark = QStringLiteral("CkRemark");
inline const QString CkStatus = QStringLiteral("CkStatus");
inline const QString CkType = QStringLiteral("CkType");
inline const QString CkPostTo = QStringLiteral("CkPostTo");
}  // namespace SplitPrintedChecks

}  // namespace corvane
