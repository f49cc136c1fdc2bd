#pragma once

#include "platform/Platform.h"
#include "platform/ledger/Database.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>

namespace corvane {

inline const QString kLedgerFileName = QStringLiteral("lbdatafl.mdb");
inline const QString kPaymentFileName = QStringLiteral("paymentHistory.csv");
inline const QString kPaymentArchiveFileName = QStringLiteral("paymentHistory_LastDownload.csv");
inline const QString kTenantExportFileName = QStringLiteral("CorvaneTenantExport.csv");
inline const QString kPostingLogFileName = QStringLiteral("CV-Log.txt");
inline const QString kPreferencesFileName = QStringLiteral("IDFILE.DAT");
// The most of a payment download or of the staged payment file that is read: far more than
// 32,767 payment lines of any sane length. A longer file is refused, not read.
inline constexpr qint64 kMaxPaymentFileBytes = 64 * 1024 * 1024;

// The five lines of the posting log (CV-Log.txt), as texts: the log keeps what it was given.
struct PostingLogFigures {
    QString lastDatePosted;
    QString lastBalancePosted;
    QString processorSiteUrl;
    QString lastRangeFrom;
    QString lastRangeTo;
};

// A category preference of IDFILE.DAT ("Rent Income;B-4010"), read once (Preferences.h).
struct CategoryPreference {
    QString text;              // as the file gives it
    bool valid = false;        // its number text is a number: posting refuses it otherwise
    std::int64_t account = 0;  // the account category number, rounded to a whole number (4010)
    QString code;              // the status code ("B")
};

// The six ledger preferences, read once; the remarks without their leading and trailing blanks.
struct LedgerPreferences {
    CategoryPreference rentIncome;
    QString rentIncomeRemark;
    CategoryPreference mgmtFee;
    QString mgmtFeeRemark;
    CategoryPreference lateFee;
    QString lateFeeRemark;
};

// What the posting log tells whoever shows its figures (the main menu connects to it), so that
// neither the log nor start-up knows a window.
class PostingLogSignals : public QObject {
    Q_OBJECT
Q_SIGNALS:
    // Globals::postingLog changed: start-up read the log, or a posting run wrote it.
    void figuresChanged();
    // At program start, start-up read the processor's site address from the log.
    void processorSiteRead(const QString& url);
};

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
        return programFolder_ + QLatin1Char('/') + fileName;
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
