#include "enrollment/TenantExport.h"

#include "app/TextRules.h"
#include "platform/Error.h"
#include "platform/TextCodec.h"
#include "platform/ledger/Database.h"

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
    auto company = db.openTable(QStringLiteral("Company"));
    if (company->eof())
        return {};
    company->moveFirst();
    return cleaned(company->field(QStringLiteral("CName1")));
}

QString exportLine(const QString& company, ledger::Recordset& row) {
    const QString first = trimBlanks(row.field(QStringLiteral("TFirstName1")).toText());
    const bool vacant = first == kVacant;
    const ledger::Value last = row.field(QStringLiteral("TLastName1"));
    const QString lastName = vacant && trimBlanks(last.toText()).isEmpty()
                                 ? QStringLiteral("(LastName)")
                                 : cleaned(last);
    const QStringList fields = {
        company,
        QString(),
        QString(),
        QLatin1Char('T') + trimBlanks(row.field(QStringLiteral("TenantID")).toText()),
        cleaned(row.field(QStringLiteral("TFirstName1"))),
        lastName,
        cleaned(row.field(QStringLiteral("UAddress"))),
        cleaned(row.field(QStringLiteral("TCity"))),
        cleaned(row.field(QStringLiteral("TState"))),
        cleaned(row.field(QStringLiteral("TZip"))),
        vacant ? QStringLiteral("0") : QStringLiteral("998"),
        QString(),
        cleaned(row.field(QStringLiteral("TEmail1"))),
    };
    return fields.join(QLatin1Char(',')) + kLineEnd;
}

}  // namespace

void CreateTenantExportFile(Globals& globals) {
    const QString path = globals.pathInProgramFolder(kTenantExportFileName);
    bool written = false;
    {
        BusyPointer busy(globals.dialogs());
        if (!globals.LedgerDb) {
            throw Error(errc::LedgerFileNotFound, QStringLiteral("The ledger is not open."));
        }
        ledger::Database& db = *globals.LedgerDb;
        const QString company = companyName(db);
        auto tenants =
            db.openDynaset(kTenantListSql + QStringLiteral(" WHERE Trim(Tenants.TACH) = 'Y'"));
        QString text = kTenantExportHeader + kLineEnd;
        for (; !tenants->eof(); tenants->moveNext()) {
            // Only an upper-case "Y" counts, whatever the engine's text comparison lets through.
            if (trimBlanks(tenants->field(QStringLiteral("TACH")).toText()) != QLatin1String("Y")) {
                continue;
            }
            text += exportLine(company, *tenants);
            written = true;
        }
        tenants->close();
        if (written) {
            globals.files().writeAtomically(path, encodeAnsi(text));
        } else if (globals.files().exists(path)) {
            globals.files().remove(path);
        }
    }
    if (written) {
        globals.dialogs().messageBox(QStringLiteral("Export File Created\r\rFile Name: ") +
                                         kTenantExportFileName + QStringLiteral("\r\rFile Path: ") +
                                         path,
                                     MsgButtons::Ok, MsgIcon::Information, kExportTitle);
    } else {
        globals.dialogs().messageBox(
            QStringLiteral("There are no Corvane tenants selected. No export file was created"),
            MsgButtons::Ok, MsgIcon::Information, kExportTitle);
    }
}

}  // namespace corvane
