#pragma once

#include "platform/Files.h"

#include <QString>

namespace corvane {

// The files of the program folder (Lodgebook's folder) that Corvane reads and writes.
inline const QString kLedgerFileName = QStringLiteral("lbdatafl.mdb");
inline const QString kPaymentFileName = QStringLiteral("paymentHistory.csv");
inline const QString kPaymentArchiveFileName = QStringLiteral("paymentHistory_LastDownload.csv");
inline const QString kTenantExportFileName = QStringLiteral("CorvaneTenantExport.csv");
inline const QString kPostingLogFileName = QStringLiteral("CV-Log.txt");
inline const QString kPreferencesFileName = QStringLiteral("IDFILE.DAT");
// The most of a payment download or of the staged payment file that is read: far more than
// 32,767 payment lines of any sane length. A longer file is refused, not read.
inline constexpr qint64 kMaxPaymentFileBytes = 64 * 1024 * 1024;

// folder + "/" + fileName.
inline QString pathInFolder(const QString& folder, const QString& fileName) {
    return folder + QLatin1Char('/') + fileName;
}

// The staged payment file and what lives beside it in the program folder (its archive, the
// posting journal), as the plain parts of the program reach them.
struct PaymentFiles {
    Files& files;
    QString programFolder;
    QString stagedName;  // "paymentHistory.csv" (Globals::stagedPaymentFileName)

    QString stagedPath() const { return pathInFolder(programFolder, stagedName); }
    QString archivePath() const { return pathInFolder(programFolder, kPaymentArchiveFileName); }
};

}  // namespace corvane
