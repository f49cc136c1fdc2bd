#pragma once

#include "platform/Printer.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace corvane {

// The system's printers through Qt Print Support. A job goes to the program's current printer
// (the system's default until setCurrentPrinter chooses another). When the system has no printer
// at all, the job is written instead as the PDF file kPdfFallbackFileName in the given folder,
// replacing an earlier one; Printer::pdfFile() then names it.
//
// A job whose Printer is destroyed before endDoc() is abandoned: nothing reaches the printer and
// a half-written PDF file is removed.
class QtPrinters final : public Printers {
public:
    QStringList installedPrinters() override;
    QString currentPrinter() override { return current_; }
    void setCurrentPrinter(const QString& deviceName) override { current_ = deviceName; }
    std::unique_ptr<Printer> startJob(const QString& pdfFolder) override;

    // A job written as a PDF file at `path` (US Letter, quarter-inch margins), whatever printers
    // are installed. Throws corvane::Error when the file cannot be written.
    static std::unique_ptr<Printer> startPdfJob(const QString& path);

private:
    QString current_;
};

inline const QString kPdfFallbackFileName = QStringLiteral("Corvane Download Transactions.pdf");

}  // namespace corvane
