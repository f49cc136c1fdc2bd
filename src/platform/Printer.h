#pragma once

#include <QString>
#include <QStringList>

#include <memory>

namespace corvane {

// One print job, drawn as text at positions in twips (1/1440 inch) from the top-left corner of
// the drawing area. A line break moves to X 0 of the next text line (the line height of the
// current font); text that runs past the bottom of a page continues on the next page.
class Printer {
public:
    virtual ~Printer() = default;
    virtual void setCurrentX(int twips) = 0;
    virtual void setCurrentY(int twips) = 0;
    virtual int currentX() const = 0;
    virtual int currentY() const = 0;
    virtual void setFontSize(double points) = 0;
    virtual void setBold(bool bold) = 0;
    // Prints at the current position; with lineBreak the position moves to the next line,
    // otherwise X moves past the text.
    virtual void print(const QString& text, bool lineBreak) = 0;
    virtual int textWidth(const QString& text) const = 0;  // twips, current font
    virtual int pageWidth() const = 0;                    // twips
    // Ends the job (the pages go to the printer). Throws corvane::Error on failure.
    virtual void endDoc() = 0;
    // When no printer is installed the job is written as a PDF file: its path, else empty.
    virtual QString pdfFile() const { return {}; }
};

// The installed printers and the program's current printer.
class Printers {
public:
    virtual ~Printers() = default;
    // Device names, in the order the system lists them.
    virtual QStringList installedPrinters() = 0;
    virtual QString currentPrinter() = 0;  // empty: the system's default
    virtual void setCurrentPrinter(const QString& deviceName) = 0;
    // Starts a job on the current printer; with no printer at all, a PDF file in `pdfFolder`.
    virtual std::unique_ptr<Printer> startJob(const QString& pdfFolder) = 0;
};

}  // namespace corvane
