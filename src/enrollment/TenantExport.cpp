#include "enrollment/TenantExport.h"

#include "core/ProgramFiles.h"
#include "core/TextRules.h"
#include "platform/Error.h"
#include "platform/TextCodec.h"
#include "platform/ledger/Database.h"
#include "platform/ledger/LedgerSchema.h"

#include <QStringList>

namespace corvane {
namespace {

const QString kExportTitle = QStringLiteral("Lodgebook Corvane Export");
const QString kVacant = QStringLiteral("VACANT");
const QString kLineEnd = QStringLiteral("\r\n");

// A value as it goes into the file: its text (Null is empty), each comma made a blank, then
// trimmed, so that the separator never occurs inside a field.
QString cleaned(const ledger::Value& value) {
    QString text = value.toText();
    text.replace(QLatin1Char(','), QLatin1Char(' '));
    return trimBlanks(text);
}

// The company name of the ledger's first Company record; empty when there is none.
QString companyName(ledger::Database& db) {
    auto company = db.openTable(Company::table);
    if (company->eof())
        return {};
    company->moveFirst();
    return cleaned(company->field(Company::CName1));
}

// The fields an export line is made of, in the order exportLine takes them.
enum ExportField { First, Last, Id, Address, City, State, Zip, Email, Flag };
const std::vector<TenantListField> kExportFields = {
    {Tenants::table, Tenants::TFirstName1}, {Tenants::table, Tenants::TLastName1},
    {Tenants::table, Tenants::TenantID},    {Units::table, Units::UAddress},
    {Tenants::table, Tenants::TCity},       {Tenants::table, Tenants::TState},
    {Tenants::table, Tenants::TZip},        {Tenants::table, Tenants::TEmail1},
    {Tenants::table, Tenants::TACH}};

QString exportLine(const QString& company, const std::vector<ledger::Value>& row) {
    const QString first = trimBlanks(row[First].toText());
    const bool vacant = first == kVacant;
    const ledger::Value& last = row[Last];
    const QString lastName = vacant && trimBlanks(last.toText()).isEmpty()
                                 ? QStringLiteral("(LastName)")
                                 : cleaned(last);
    const QStringList fields = {
        company,
        QString(),
        QString(),
        QLatin1Char('T') + trimBlanks(row[Id].toText()),
        cleaned(row[First]),
        lastName,
        cleaned(row[Address]),
        cleaned(row[City]),
        cleaned(row[State]),
        cleaned(row[Zip]),
        vacant ? QStringLiteral("0") : QStringLiteral("998"),
        QString(),
        cleaned(row[Email]),
    };
    return fields.join(QLatin1Char(',')) + kLineEnd;
}

}  // namespace

UserMessage CreateTenantExportFile(ledger::Database* ledger, Files& files, Dialogs& dialogs,
                                   const QString& path) {
    bool written = false;
    {
        BusyPointer busy(dialogs);
        if (!ledger) {
            throw Error(errc::LedgerFileNotFound, QStringLiteral("The ledger is not open."));
        }
        ledger::Database& db = *ledger;
        const QString company = companyName(db);
        auto tenants = db.openDynaset(tenantListSqlOf(kExportFields) +
                                      QStringLiteral(" WHERE Trim(Tenants.TACH) = 'Y'"));
        QString text = kTenantExportHeader + kLineEnd;
        tenants->forEach(fieldNamesOf(kExportFields), [&](const std::vector<ledger::Value>& row) {
            // Only an upper-case "Y" counts, whatever the engine's text comparison lets through.
            if (trimBlanks(row[Flag].toText()) != QLatin1String("Y"))
                return;
            text += exportLine(company, row);
            written = true;
        });
        tenants->close();
        if (written) {
            files.writeAtomically(path, encodeAnsi(text));
        } else if (files.exists(path)) {
            files.remove(path);
        }
    }
    if (written) {
        return UserMessage{QStringLiteral("Export File Created\r\rFile Name: ") +
                               kTenantExportFileName + QStringLiteral("\r\rFile Path: ") + path,
                           MsgIcon::Information, kExportTitle};
    }
    return UserMessage{
        QStringLiteral("There are no Corvane tenants selected. No export file was created"),
        MsgIcon::Information, kExportTitle};
}

}  // namespace corvane
