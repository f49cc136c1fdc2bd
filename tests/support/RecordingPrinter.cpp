#include "support/RecordingPrinter.h"

#include "platform/Error.h"

namespace corvane::test {

void PrintRecorder::attach(FakePrinters& printers) {
    printers.makeJob = [this] { return makeJob(); };
}

std::unique_ptr<Printer> PrintRecorder::makeJob() {
    ++jobs_;
    return std::make_unique<RecordingPrinter>(*this);
}

void PrintRecorder::failEndDocWith(int number, const QString& description) {
    failEndDoc_ = true;
    failNumber_ = number;
    failDescription_ = description;
}

std::vector<PrintedText> PrintRecorder::visibleTexts() const {
    std::vector<PrintedText> visible;
    for (const PrintedText& t : texts_) {
        if (!t.text.isEmpty())
            visible.push_back(t);
    }
    return visible;
}

void RecordingPrinter::setCurrentX(int twips) {
    x_ = twips;
    recorder_.ops_.push_back({PrintOpKind::SetX, twips});
}

void RecordingPrinter::setCurrentY(int twips) {
    y_ = twips;
    recorder_.ops_.push_back({PrintOpKind::SetY, twips});
}

void RecordingPrinter::setFontSize(double points) {
    points_ = points;
    recorder_.ops_.push_back({PrintOpKind::FontSize, 0, points});
}

void RecordingPrinter::setBold(bool bold) {
    bold_ = bold;
    recorder_.ops_.push_back({PrintOpKind::Bold, bold ? 1 : 0});
}

void RecordingPrinter::print(const QString& text, bool lineBreak) {
    const RecordingMetrics& m = recorder_.metrics_;
    if (!text.isEmpty() && y_ > 0 && y_ + m.lineHeight > m.pageHeight) {
        ++page_;
        y_ = 0;
    }
    recorder_.ops_.push_back({PrintOpKind::Text, lineBreak ? 1 : 0, 0.0, text});
    recorder_.texts_.push_back({text, x_, y_, bold_, points_, lineBreak, page_});
    if (lineBreak) {
        x_ = 0;
        y_ += m.lineHeight;
    } else {
        x_ += textWidth(text);
    }
}

int RecordingPrinter::textWidth(const QString& text) const {
    return static_cast<int>(text.size()) * recorder_.metrics_.charWidth;
}

void RecordingPrinter::endDoc() {
    recorder_.ops_.push_back({PrintOpKind::EndDoc});
    if (recorder_.failEndDoc_)
        throw Error(recorder_.failNumber_, recorder_.failDescription_);
    ++recorder_.ended_;
}

}  // namespace corvane::test
