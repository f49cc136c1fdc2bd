#include "LodgebookSchema.h"

#include <sqlite3.h>

#include <stdexcept>
#include <string>

namespace lodgebook {

const char* ledgerSchemaSql() {
    return R"SQL(
CREATE TABLE Company (CompanyID INTEGER PRIMARY KEY, CName1 TEXT COLLATE NOCASE,
    CAddress1 TEXT COLLATE NOCASE, CPhone TEXT COLLATE NOCASE);
CREATE TABLE Owners (OwnerID INTEGER NOT NULL, OLastName1 TEXT COLLATE NOCASE,
    OFirstName1 TEXT COLLATE NOCASE, OMgmtFee TEXT COLLATE NOCASE, OAddress1 TEXT COLLATE NOCASE,
    OCurrBal REAL DEFAULT 0);
CREATE TABLE Properties (PropID INTEGER NOT NULL, POwnerID INTEGER, PropName TEXT COLLATE NOCASE,
    PAddress1 TEXT COLLATE NOCASE, PUnits INTEGER);
CREATE TABLE Tenants (TenantID INTEGER NOT NULL, TPropID INTEGER, TFirstName1 TEXT COLLATE NOCASE,
    TLastName1 TEXT COLLATE NOCASE, TAddress1 TEXT COLLATE NOCASE, TCity TEXT COLLATE NOCASE,
    TState TEXT COLLATE NOCASE, TZip TEXT COLLATE NOCASE, TEmail1 TEXT COLLATE NOCASE,
    TPayment REAL, TACH TEXT COLLATE NOCASE, TCurrBal REAL, TPhone1 TEXT COLLATE NOCASE,
    TMoveIn TEXT);
CREATE TABLE Units (UnitID INTEGER PRIMARY KEY, UTenantID INTEGER, UAddress TEXT COLLATE NOCASE,
    UNumber TEXT COLLATE NOCASE, UCurrBal REAL, URent REAL, UBedrooms INTEGER);
CREATE TABLE Transactions (TransID INTEGER PRIMARY KEY AUTOINCREMENT, TransAccountID INTEGER,
    TransPostToID INTEGER, TransAmount REAL, TransDate TEXT, TransCheckNumber INTEGER,
    TransRemark TEXT COLLATE NOCASE, TransType TEXT COLLATE NOCASE,
    TransPmtType TEXT COLLATE NOCASE, TransStatus TEXT COLLATE NOCASE,
    TransTax TEXT COLLATE NOCASE, TransOID INTEGER, TransPID INTEGER, TransUID INTEGER,
    TransTID INTEGER, TransReconciled TEXT COLLATE NOCASE, TransMemo TEXT COLLATE NOCASE);
CREATE TABLE CheckDepPrinted (CkID INTEGER PRIMARY KEY AUTOINCREMENT, CkPayee TEXT COLLATE NOCASE,
    CkAccountID INTEGER, CkAmount REAL, CkDate TEXT, CkInvoice TEXT COLLATE NOCASE,
    CkRemark TEXT COLLATE NOCASE, CkStatus TEXT COLLATE NOCASE, CkVendorID INTEGER,
    CkPostTo TEXT COLLATE NOCASE, CkNumber INTEGER, CkType TEXT COLLATE NOCASE,
    CkSplit TEXT COLLATE NOCASE, CkPostToText TEXT COLLATE NOCASE, CkCleared TEXT COLLATE NOCASE);
CREATE TABLE SplitPrintedChecks (SplitID INTEGER PRIMARY KEY AUTOINCREMENT, CkNumber INTEGER,
    CkCheckNumber INTEGER, CkAmount REAL, CkAccountID INTEGER, CkPostToID INTEGER,
    CkRemark TEXT COLLATE NOCASE, CkStatus TEXT COLLATE NOCASE, CkType TEXT COLLATE NOCASE,
    CkPostTo TEXT COLLATE NOCASE);
CREATE TABLE Vendors (VendorID INTEGER PRIMARY KEY, VName TEXT COLLATE NOCASE);
CREATE UNIQUE INDEX OwnerIDIndex ON Owners(OwnerID);
CREATE UNIQUE INDEX PropIDIndex ON Properties(PropID);
CREATE UNIQUE INDEX TenantIDIndex ON Tenants(TenantID);
CREATE INDEX UTenantIDIndex ON Units(UTenantID);
)SQL";
}

void createLedger(const QString& path) {
    sqlite3* db = nullptr;
    const std::string file = path.toStdString();
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        std::string message = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close(db);
        throw std::runtime_error("cannot create " + file + ": " + message);
    }
    char* error = nullptr;
    const std::string sql = std::string("PRAGMA journal_mode=WAL;") + ledgerSchemaSql();
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::string message = error ? error : "unknown error";
        sqlite3_free(error);
        sqlite3_close(db);
        throw std::runtime_error("cannot create " + file + ": " + message);
    }
    sqlite3_close(db);
}

}  // namespace lodgebook
