#include "platform/QtPrinters.h"

#include "platform/Error.h"

#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontMetricsF>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

namespace corvane {
namespace {

constexpr double kTwipsPerInch = 1440.0;

// One job on a QPrinter: the drawing position is kept in twips and converted to device pixels
// when text is drawn. Y is the top of the text line, as the program's layout gives it.
class QtPrinter final : public Printer {
public:
    QtPrinter(std::unique_ptr<QPrinter> printer, QString pdfPath)
        : printer_(std::move(printer)), pdfPath_(std::move(pdfPath)) {
        if (!painter_.begin(printer_.get())) {
            if (pdfPath_.isEmpty())
                throw Error(errc::PrinterError, QStringLiteral("Printer error"));
            throw Error(errc::PathFileAccessError,
                        QStringLiteral("Path/File access error: %1 cannot be written")
                            .arg(QDir::toNativeSeparators(pdfPath_)));
        }
        // The usual printer font of the office's printers, or a face of the same widths.
        QFont font = painter_.font();
        font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                          QStringLiteral("Nimbus Sans"), QStringLiteral("Helvetica")});
        painter_.setFont(font);
        const QRectF area = printer_->pageLayout().paintRectPixels(printer_->resolution());
        pageWidth_ = toTwips(area.width());
        pageHeight_ = toTwips(area.height());
    }

    ~QtPrinter() override {
        if (ended_ || !painter_.isActive())
            return;
        printer_->abort();
        painter_.end();
        if (!pdfPath_.isEmpty())
            QFile::remove(pdfPath_);
    }

    void setCurrentX(int twips) override { x_ = twips; }
    void setCurrentY(int twips) override { y_ = twips; }
    int currentX() const override { return x_; }
    int currentY() const override { return y_; }

    void setFontSize(double points) override {
        QFont font = painter_.font();
        font.setPointSizeF(points);
        painter_.setFont(font);
    }
    void setBold(bool bold) override {
        QFont font = painter_.font();
        font.setBold(bold);
        painter_.setFont(font);
    }

    void print(const QString& text, bool lineBreak) override {
        const QFontMetricsF metrics(painter_.font(), printer_.get());
        const int lineHeight = toTwips(metrics.lineSpacing());
        if (!text.isEmpty()) {
            // A line that would pass the bottom of the page goes to the top of the next one.
            if (y_ > 0 && y_ + lineHeight > pageHeight_) {
                if (!printer_->newPage())
                    throw Error(errc::PrinterError, QStringLiteral("Printer error"));
                y_ = 0;
            }
            painter_.drawText(QPointF(toPixels(x_), toPixels(y_) + metrics.ascent()), text);
        }
        if (lineBreak) {
            x_ = 0;
            y_ += lineHeight;
        } else {
            x_ += textWidth(text);
        }
    }

    int textWidth(const QString& text) const override {
        return toTwips(QFontMetricsF(painter_.font(), printer_.get()).horizontalAdvance(text));
    }
    int pageWidth() const override { return pageWidth_; }

    void endDoc() override {
        ended_ = true;
        const bool written = painter_.end();
        if (!written || printer_->printerState() == QPrinter::Error) {
            if (!pdfPath_.isEmpty())
                QFile::remove(pdfPath_);
            throw Error(errc::PrinterError, QStringLiteral("Printer error"));
        }
    }

    QString pdfFile() const override { return pdfPath_; }

private:
    int toTwips(double pixels) const {
        return qRound(pixels * kTwipsPerInch / printer_->resolution());
    }
    double toPixels(int twips) const { return twips * printer_->resolution() / kTwipsPerInch; }

    std::unique_ptr<QPrinter> printer_;
    QPainter painter_;  // declared after printer_: it ends before the printer goes
    QString pdfPath_;
    int pageWidth_ = 0;
    int pageHeight_ = 0;
    int x_ = 0;
    int y_ = 0;
    bool ended_ = false;
};

}  // namespace

QStringList QtPrinters::installedPrinters() {
    return QPrinterInfo::availablePrinterNames();
}

std::unique_ptr<Printer> QtPrinters::startJob(const QString& pdfFolder) {
    if (QPrinterInfo::availablePrinterNames().isEmpty()) {
        return startPdfJob(QDir(pdfFolder).filePath(kPdfFallbackFileName));
    }
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    if (!current_.isEmpty())
        printer->setPrinterName(current_);
    printer->setDocName(QStringLiteral("Corvane"));
    return std::make_unique<QtPrinter>(std::move(printer), QString());
}

std::unique_ptr<Printer> QtPrinters::startPdfJob(const QString& path) {
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(path);
    printer->setDocName(QStringLiteral("Corvane"));
    printer->setPageLayout(QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Portrait,
                                       QMarginsF(0.25, 0.25, 0.25, 0.25), QPageLayout::Inch));
    return std::make_unique<QtPrinter>(std::move(printer), path);
}

}  // namespace corvane
