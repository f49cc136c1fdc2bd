#include "enrollment/TenantExport.h"

#include "platform/ledger/Database.h"
#include "support/TestLedger.h"
#include "support/TestPlatform.h"

#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>

namespace corvane {
namespace {

using test::TestLedger;
using test::TestPlatform;

const QString kTitle = QStringLiteral("Lodgebook Corvane Export");
const QString kNothingMessage =
    QStringLiteral("There are no Corvane tenants selected. No export file was created");
const QByteArray kHeader =
    "Company ID,Paypoint ID,New Owner,Account Number,First Name,LastName,Address,City,State,Zip,"
    "Web Status,Balance,Email\r\n";

class TenantExportTest : public ::testing::Test {
protected:
    TenantExportTest() : ledger(tp.path(kLedgerFileName)) {
        ledger.addOwner(1, QStringLiteral("Stone"), QStringLiteral("Ida"));
        ledger.addProperty(10, 1, QStringLiteral("Harbor Court"));
    }
    void open() { db = ledger::Database::open(ledger.path()); }
    void createExportFile() {
        tell(tp.dialogs, CreateTenantExportFile(db.get(), tp.files, tp.dialogs, exportPath()));
    }
    QString exportPath() const { return tp.path(QStringLiteral("CorvaneTenantExport.csv")); }
    QByteArray exportBytes() const {
        QFile f(exportPath());
        EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << "no export file";
        return f.readAll();
    }
    // The data lines of the file, sorted (the engine returns the rows in no fixed order).
    std::vector<QByteArray> dataLines(const QByteArray& bytes) const {
        EXPECT_TRUE(bytes.startsWith(kHeader));
        EXPECT_TRUE(bytes.endsWith("\r\n"));
        std::vector<QByteArray> lines;
        for (const QByteArray& line : bytes.mid(kHeader.size()).split('\n')) {
            if (line.isEmpty())
                continue;
            EXPECT_TRUE(line.endsWith('\r')) << line.constData();
            lines.push_back(line.chopped(1));
        }
        std::sort(lines.begin(), lines.end());
        return lines;
    }
    void setTenant(int id, const QString& city, const QString& state, const QString& zip,
                   const QString& email) {
        ledger.exec(QStringLiteral("UPDATE Tenants SET TCity='%1', TState='%2', TZip='%3', "
                                   "TEmail1='%4' WHERE TenantID=%5")
                        .arg(city, state, zip, email)
                        .arg(id));
    }
    void expectSuccessMessage() {
        tp.dialogs.expectMessage(QStringLiteral("Export File Created\r\rFile Name: "
                                                "CorvaneTenantExport.csv\r\rFile Path: ") +
                                     tp.folder.path() + QStringLiteral("/CorvaneTenantExport.csv"),
                                 kTitle);
    }

    TestPlatform tp;
    TestLedger ledger;
    std::unique_ptr<ledger::Database> db;
};

TEST_F(TenantExportTest, enrolledTenants_writtenCleanedWithFixedEmptyFields) {
    ledger.exec(
        QStringLiteral("INSERT INTO Company (CompanyID, CName1) VALUES "
                       "(1, ' Harbor Point Rentals, LLC ')"));
    ledger.addTenant(101, 10, QStringLiteral(" Mary, Ann "), QStringLiteral("O'Neil"));
    ledger.exec(QStringLiteral("UPDATE Tenants SET TACH='Y' WHERE TenantID=101"));
    setTenant(101, QStringLiteral("Springfield"), QStringLiteral("IL"), QStringLiteral("62701"),
              QStringLiteral("mary@example.com"));
    ledger.addUnit(1, 101, QStringLiteral("12 Oak St, Apt 3"));
    // Vacant with no last name, vacant with one, and a first name only like the word.
    ledger.addTenant(102, 10, QStringLiteral("VACANT"), QVariant(), QStringLiteral(" Y "));
    ledger.addUnit(2, 102, QStringLiteral("14 Oak St"));
    ledger.addTenant(103, 10, QStringLiteral(" VACANT "), QStringLiteral("Smith"),
                     QStringLiteral("Y"));
    ledger.addUnit(3, 103, QStringLiteral("16 Oak St"));
    ledger.addTenant(104, 10, QStringLiteral("Vacant"), QStringLiteral("  "), QStringLiteral("Y "));
    ledger.addUnit(4, 104, QStringLiteral("18 Oak St"));
    // One tenant in two units: a line per unit.
    ledger.addTenant(105, 10, QStringLiteral("Renée"), QStringLiteral("Nuñez"),
                     QStringLiteral("Y"));
    ledger.addUnit(5, 105, QStringLiteral("20 Oak St"));
    ledger.addUnit(6, 105, QStringLiteral("22 Oak St"));
    // Not exported: "Yes", lower-case y, N, D, and an enrolled tenant without a unit.
    ledger.addTenant(106, 10, QStringLiteral("Al"), QStringLiteral("Yes"), QStringLiteral("Yes"));
    ledger.addUnit(7, 106, QStringLiteral("24 Oak St"));
    ledger.addTenant(107, 10, QStringLiteral("Bo"), QStringLiteral("Lower"), QStringLiteral("y"));
    ledger.addUnit(8, 107, QStringLiteral("26 Oak St"));
    ledger.addTenant(108, 10, QStringLiteral("Cy"), QStringLiteral("No"), QStringLiteral("N"));
    ledger.addUnit(9, 108, QStringLiteral("28 Oak St"));
    ledger.addTenant(109, 10, QStringLiteral("Di"), QStringLiteral("Del"), QStringLiteral("D"));
    ledger.addUnit(10, 109, QStringLiteral("30 Oak St"));
    ledger.addTenant(110, 10, QStringLiteral("Ed"), QStringLiteral("Nounit"), QStringLiteral("Y"));
    open();
    expectSuccessMessage();

    createExportFile();

    const QByteArray bytes = exportBytes();
    std::vector<QByteArray> expected = {
        "Harbor Point Rentals  LLC,,,T101,Mary  Ann,O'Neil,12 Oak St  Apt 3,Springfield,IL,62701,"
        "998,,mary@example.com",
        "Harbor Point Rentals  LLC,,,T102,VACANT,(LastName),14 Oak St,,,,0,,",
        "Harbor Point Rentals  LLC,,,T103,VACANT,Smith,16 Oak St,,,,0,,",
        "Harbor Point Rentals  LLC,,,T104,Vacant,,18 Oak St,,,,998,,",
        "Harbor Point Rentals  LLC,,,T105,Ren\xe9"
        "e,Nu\xf1"
        "ez,20 Oak St,,,,998,,",
        "Harbor Point Rentals  LLC,,,T105,Ren\xe9"
        "e,Nu\xf1"
        "ez,22 Oak St,,,,998,,",
    };
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(dataLines(bytes), expected);
    EXPECT_EQ(bytes.count('\n'), 7);
    EXPECT_FALSE(tp.dialogs.busy());
}

TEST_F(TenantExportTest, emptyCompanyTable_andNullValues_giveEmptyFields) {
    ledger.addTenant(5, 10, QVariant(), QVariant(), QStringLiteral("Y"));
    ledger.addUnit(1, 5, QString());
    ledger.exec(QStringLiteral("UPDATE Units SET UAddress=NULL"));
    open();
    expectSuccessMessage();

    createExportFile();

    EXPECT_EQ(exportBytes(), kHeader + ",,,T5,,,,,,,998,,\r\n");
}

TEST_F(TenantExportTest, noEnrolledTenant_removesFileAndSaysSo) {
    ledger.addTenant(5, 10, QStringLiteral("Ann"), QStringLiteral("Lee"), QStringLiteral("y"));
    ledger.addUnit(1, 5, QStringLiteral("1 Elm"));
    {
        QFile earlier(exportPath());
        ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
        earlier.write("an earlier export\r\n");
    }
    open();
    tp.dialogs.expectMessage(kNothingMessage, kTitle);

    createExportFile();

    EXPECT_FALSE(QFile::exists(exportPath()));
    EXPECT_FALSE(tp.dialogs.busy());
}

TEST_F(TenantExportTest, earlierExport_isReplacedWhole) {
    {
        QFile earlier(exportPath());
        ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
        earlier.write(QByteArray(5000, 'x'));
    }
    ledger.exec(QStringLiteral("INSERT INTO Company (CompanyID, CName1) VALUES (1, 'Acme')"));
    ledger.addTenant(7, 10, QStringLiteral("Jo"), QStringLiteral("Park"), QStringLiteral("Y"));
    ledger.addUnit(1, 7, QStringLiteral("9 Bay Rd"));
    open();
    expectSuccessMessage();

    createExportFile();

    EXPECT_EQ(exportBytes(), kHeader + "Acme,,,T7,Jo,Park,9 Bay Rd,,,,998,,\r\n");
}

}  // namespace
}  // namespace corvane
