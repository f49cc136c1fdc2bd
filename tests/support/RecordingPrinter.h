#pragma once

#include "platform/Printer.h"
#include "support/TestPlatform.h"

#include <QString>

#include <memory>
#include <vector>

namespace corvane::test {

// One operation on a recorded print job.
enum class PrintOpKind { SetX, SetY, FontSize, Bold, Text, EndDoc };

struct PrintOp {
    PrintOpKind kind;
    int value = 0;        // SetX, SetY: twips; Bold: 0 or 1
    double points = 0.0;  // FontSize
    QString text = {};    // Text
    bool operator==(const PrintOp&) const = default;
};

// A text as it landed on the page: where, in which style, and whether the line ended after it.
struct PrintedText {
    QString text;
    int x = 0;
    int y = 0;
    bool bold = false;
    double points = 0.0;
    bool lineBreak = false;
    int page = 1;
    bool operator==(const PrintedText&) const = default;
};

// Fixed text metrics, so that tests can compute every position.
struct RecordingMetrics {
    int charWidth = 100;     // twips per character, any font
    int lineHeight = 240;    // twips per text line, any font
    int pageWidth = 12240;   // 8.5 inches
    int pageHeight = 15840;  // 11 inches
};

// Everything printed through the jobs of one PrintRecorder. attach() makes the FakePrinters of a
// TestPlatform hand out recording jobs; each job appends to this recorder, which outlives it.
class PrintRecorder {
public:
    explicit PrintRecorder(RecordingMetrics metrics = {}) : metrics_(metrics) {}

    void attach(FakePrinters& printers);
    std::unique_ptr<Printer> makeJob();

    // Failures to simulate: endDoc() throws this error; pdfFile() reports this path.
    void failEndDocWith(int number, const QString& description);
    void reportPdfFile(const QString& path) { pdfFile_ = path; }

    const std::vector<PrintOp>& ops() const { return ops_; }
    // The Text operations with their position and style (empty line ends included).
    const std::vector<PrintedText>& texts() const { return texts_; }
    // The texts that are not empty, in print order.
    std::vector<PrintedText> visibleTexts() const;
    int jobsStarted() const { return jobs_; }
    int jobsEnded() const { return ended_; }
    const RecordingMetrics& metrics() const { return metrics_; }

private:
    friend class RecordingPrinter;
    RecordingMetrics metrics_;
    std::vector<PrintOp> ops_;
    std::vector<PrintedText> texts_;
    int jobs_ = 0;
    int ended_ = 0;
    bool failEndDoc_ = false;
    int failNumber_ = 0;
    QString failDescription_;
    QString pdfFile_;
};

// A Printer that records every operation into its PrintRecorder. A line that would pass the
// bottom of a page moves to the top of the next page, as a real printer does.
class RecordingPrinter final : public Printer {
public:
    explicit RecordingPrinter(PrintRecorder& recorder) : recorder_(recorder) {}

    void setCurrentX(int twips) override;
    void setCurrentY(int twips) override;
    int currentX() const override { return x_; }
    int currentY() const override { return y_; }
    void setFontSize(double points) override;
    void setBold(bool bold) override;
    void print(const QString& text, bool lineBreak) override;
    int textWidth(const QString& text) const override;
    int pageWidth() const override { return recorder_.metrics_.pageWidth; }
    void endDoc() override;
    QString pdfFile() const override { return recorder_.pdfFile_; }

private:
    PrintRecorder& recorder_;
    int x_ = 0;
    int y_ = 0;
    int page_ = 1;
    double points_ = 0.0;
    bool bold_ = false;
};

}  // namespace corvane::test
