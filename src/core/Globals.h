#pragma once

#include "core/PostingLog.h"
#include "core/Preferences.h"
#include "core/ProgramFiles.h"
#include "platform/Platform.h"
#include "platform/ledger/Database.h"

#include <QString>

#include <memory>

namespace corvane {

// The process-wide shared state every screen works on: the one ledger connection, the posting
// log's figures, the ledger preferences, the shared file names and the files viewer's choice.
// Its members are public by design; everything else keeps its data private. One instance lives from
// start-up to exit (tests make their own).
class Globals {
public:
    Globals(Platform platform, QString programFolder)
        : platform_(platform), programFolder_(std::move(programFolder)) {}

    Platform& platform() { return platform_; }
    Dialogs& dialogs() { return platform_.dialogs; }
    Files& files() { return platform_.files; }
    Environment& environment() { return platform_.environment; }

    // The folder of the running program, which is Lodgebook's folder.
    const QString& programFolder() const { return programFolder_; }
    // programFolder + "/" + fileName.
    QString pathInProgramFolder(const QString& fileName) const {
        return pathInFolder(programFolder_, fileName);
    }

    std::unique_ptr<ledger::Database> LedgerDb;
    QString LedgerDbPath;

    // The posting log's figures, as read from CV-Log.txt or left by the last posting run.
    PostingLogFigures postingLog;
    QString PaymentFileName;       // "paymentHistory.csv" once start-up has set it
    QString TenantExportFileName;  // "CorvaneTenantExport.csv" once start-up has set it

    // The ledger preferences of IDFILE.DAT, once start-up has read them.
    LedgerPreferences preferences;

    // The staged payment file's name: PaymentFileName, or "paymentHistory.csv" before start-up
    // has set it.
    QString stagedPaymentFileName() const {
        return PaymentFileName.isEmpty() ? kPaymentFileName : PaymentFileName;
    }
    // The staged payment file under that name, in the program folder.
    PaymentFiles paymentFiles() { return {files(), programFolder_, stagedPaymentFileName()}; }

    // The files viewer's choice, kept across closing and reopening the viewer.
    QString ChosenFileName;
    bool ChosenFileFound = false;

    // Emitted when the posting log's figures change.
    PostingLogSignals& postingLogSignals() { return postingLogSignals_; }

private:
    Platform platform_;
    QString programFolder_;
    PostingLogSignals postingLogSignals_;
};

}  // namespace corvane
