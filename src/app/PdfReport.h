#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace corvane {

// A column of a PDF table: caption, left edge in inches from the margin, at most so many
// characters, right-aligned to `rightAlignWidth` inches (amounts) or left-aligned (0).
struct PdfColumn {
    QString caption;
    double left = 0;
    int maxChars = 0;
    double rightAlignWidth = 0;
};

// One part of a PDF report, in order: an optional bold heading, then text lines, then a table
// (its column captions, repeated at the top of every page it runs on to, and its rows, made as
// they are drawn).
struct PdfPart {
    QString heading;
    QStringList lines;
    bool bold = false;          // the lines in bold
    bool keepTogether = false;  // begins a new page rather than being split (when it fits one)
    std::vector<PdfColumn> columns;
    int rows = 0;
    std::function<QStringList(int row)> cells;
};

// Writes a report as a PDF through Qt's PDF writer, Letter landscape with half-inch margins: on
// every page the title and "Page n of m", then the parts in order, as many lines as fit a page.
// The file is written under a temporary name and renamed into place, so a failure never leaves
// half a report. Throws corvane::Error 75 when the file cannot be written.
void WritePdfReport(const QString& path, const QString& title, const std::vector<PdfPart>& parts);

}  // namespace corvane
