#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace corvane {

// A column of a PDF table: its caption, and whether its texts stand to the right (amounts) or to
// the left. Its width comes from what it holds (WritePdfReport).
struct PdfColumn {
    QString caption;
    bool rightAligned = false;
};

// One part of a PDF report, in order: an optional bold heading, then text lines, then a table
// (its column captions, repeated at the top of every page it runs on to, and its rows, made as
// they are asked for; a row may be asked for more than once).
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
// every page the title and "Page n of m", then the parts in order, as many as fit a page. No text
// is cut and none runs past the page's edge:
//  - a text line longer than the page wraps between its words;
//  - each column of a table is as wide as its caption and its widest text when the page has room
//    for them all; otherwise the columns whose texts have more than one word share the room the
//    others leave, and a text too long for its column wraps between its words within the column.
//    A word (an amount, a date, a number, a code) is never broken, unless a single word is too
//    wide for the page; a caption wraps between its words as its column needs. The rows that
//    take more than one line stand apart from their neighbours by a little room.
//  - a row is never split over two pages.
// The file is written under a temporary name and renamed into place, so a failure never leaves
// half a report. Throws corvane::Error 75 when the file cannot be written.
void WritePdfReport(const QString& path, const QString& title, const std::vector<PdfPart>& parts);

}  // namespace corvane
