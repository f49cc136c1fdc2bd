#include "core/StartUp.h"

#include "core/PostingLog.h"
#include "core/Preferences.h"
#include "core/TextRules.h"
#include "platform/Error.h"
#include "platform/TextCodec.h"

#include <exception>

namespace corvane {

void ShowStartUpMessage(Dialogs& dialogs, int number, const QString& description) {
    switch (number) {
        case errc::LedgerFileNotFound:
            dialogs.messageBox(QStringLiteral("Lodgebook data file not found - be sure that the "
                                              "Corvane Program is copied into the same directory "
                                              "or folder as the main Lodgebook Program."),
                               MsgButtons::Ok, MsgIcon::Information, kProgramTitle);
            return;
        case errc::ItemNotFound:
            dialogs.messageBox(QStringLiteral("Company Corvane field not found"), MsgButtons::Ok,
                               MsgIcon::Information, kProgramTitle);
            return;
        default:
            ShowGeneralError(dialogs, number, description);
    }
}

UserMessage GeneralErrorMessage(int number, const QString& description) {
    return UserMessage{QStringLiteral("Error %1: %2").arg(number).arg(description),
                       MsgIcon::Information, QStringLiteral("Corvane Error Message")};
}

void ShowGeneralError(Dialogs& dialogs, int number, const QString& description) {
    tell(dialogs, GeneralErrorMessage(number, description));
}

void CheckForPaymentFile(Globals& globals) {
    globals.preferences =
        LoadIDFile(globals.files(), globals.pathInProgramFolder(kPreferencesFileName));

    Files& files = globals.files();
    const QString staged = globals.pathInProgramFolder(globals.PaymentFileName);
    if (!files.exists(staged))
        return;

    FieldReader reader(decodeAnsi(files.readAll(staged, kMaxPaymentFileBytes)));
    const QString firstField = reader.next();
    if (!firstField.startsWith(QLatin1Char('B'))) {
        globals.dialogs().messageBox(
            QStringLiteral("Invalid data found in file. The file will be deleted. Please download "
                           "another file."),
            MsgButtons::Ok, MsgIcon::None, kProgramTitle);
        files.remove(staged);
    }
    if (files.exists(staged)) {
        globals.dialogs().messageBox(
            QStringLiteral("You already have Corvane Tenant transactions waiting to be processed - "
                           "no more Tenant transactions can be downloaded until you have taken "
                           "care of the existing ones."),
            MsgButtons::Ok, MsgIcon::Information, QStringLiteral("Corvane Notice"));
    }
}

void ChooseSessionPrinter(Environment& environment, Sessions& sessions, Printers& printers) {
    if (environment.variable(QStringLiteral("COMPUTERNAME")) != QLatin1String("LODGEBOOK"))
        return;
    const QString session = sessions.currentSessionId();
    if (session == QLatin1String("0"))
        return;
    const QString redirected = QStringLiteral("Orvanta Live (redirected %1)").arg(session);
    for (const QString& printer : printers.installedPrinters()) {
        if (printer == redirected)
            printers.setCurrentPrinter(printer);
    }
}

void OpenLedgerAndLog(Globals& globals, StartUpKind kind) {
    const bool program = kind == StartUpKind::Program;
    globals.LedgerDb = ledger::Database::open(globals.LedgerDbPath);
    // A reopening after a start-up that got past the ledger has nothing more to do.
    if (!program && !globals.PaymentFileName.isEmpty())
        return;
    // A missing log or preferences file was told at start-up; a reopening reads them quietly,
    // so that the next log keeps the figures and site address, and the posting run refuses
    // without the preferences as it would after that.
    const QString logPath = globals.pathInProgramFolder(kPostingLogFileName);
    const bool readLog = program || globals.files().exists(logPath);
    if (readLog &&
        ReadPostingLog(globals.files(), globals.dialogs(), logPath, globals.postingLog)) {
        PostingLogSignals& log = globals.postingLogSignals();
        Q_EMIT log.figuresChanged();
        if (program)
            Q_EMIT log.processorSiteRead(globals.postingLog.processorSiteUrl);
    }
    if (program) {
        Platform& platform = globals.platform();
        ChooseSessionPrinter(platform.environment, platform.sessions, platform.printers);
    }
    globals.PaymentFileName = kPaymentFileName;
    globals.TenantExportFileName = kTenantExportFileName;
    if (!program) {
        try {
            globals.preferences =
                LoadIDFile(globals.files(), globals.pathInProgramFolder(kPreferencesFileName));
        } catch (const Error&) {
        }
    }
}

bool ReopenLedger(Globals& globals) {
    if (globals.LedgerDb)
        return true;
    if (globals.LedgerDbPath.isEmpty())
        globals.LedgerDbPath = globals.pathInProgramFolder(kLedgerFileName);
    try {
        OpenLedgerAndLog(globals, StartUpKind::Reopening);
        return true;
    } catch (const Error& error) {
        ShowStartUpMessage(globals.dialogs(), error.number(), error.description());
    } catch (const std::exception& error) {
        ShowStartUpMessage(globals.dialogs(), 0, QString::fromLocal8Bit(error.what()));
    }
    return false;
}

}  // namespace corvane
