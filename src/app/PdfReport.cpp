#include "app/PdfReport.h"

#include "platform/Error.h"
#include "platform/GridColumns.h"

#include <QDir>
#include <QFont>
#include <QFontMetricsF>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextLayout>

#include <algorithm>
#include <limits>
#include <unordered_map>

namespace corvane {

namespace {

constexpr double kFontPoints = 9;
constexpr double kTitlePoints = 14;
constexpr int kResolution = 600;     // dots per inch of the PDF's drawing
constexpr double kColumnGap = 0.15;  // inches between two columns
constexpr double kRowGap = 0.4;      // lines around a row of more than one line

[[noreturn]] void cannotWrite(const QString& path) {
    throw Error(errc::PathFileAccessError,
                QStringLiteral("Path/File access error: %1 cannot be written")
                    .arg(QDir::toNativeSeparators(path)));
}

// A table as laid out: its columns' left edges and widths (in dots), the width of each of its
// cells as drawn, the lines of its captions, and the lines of each cell of the rows that take
// more than one line.
struct Table {
    std::vector<double> lefts, widths;
    std::vector<float> cellWidths;  // row by row
    std::vector<QStringList> captions;
    double captionHeight = 0;
    std::unordered_map<int, std::vector<QStringList>> wrapped;  // by row
    double rowGap = 0;  // above and below a row of more than one line

    float cellWidth(int row, std::size_t column) const {
        return cellWidths[static_cast<std::size_t>(row) * widths.size() + column];
    }
};

// One block of a page: a heading, a text line, a table's captions or one of its rows.
struct Block {
    enum class Kind { Heading, Text, Captions, Row };
    Kind kind = Kind::Text;
    std::size_t part = 0;
    int index = 0;  // the text line's or the row's
    double height = 0;
};

// The lines of a text in `width`, broken at blanks and hyphens, or within a word wider than the
// width.
QStringList wrap(const QString& text, const QFont& font, QPaintDevice* device, double width) {
    QTextLayout layout(text, font, device);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        lines << text.mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    return lines;
}

class ReportPainter {
public:
    ReportPainter(QPdfWriter& writer, QPainter& painter, QString title)
        : writer_(writer), painter_(painter), titleText_(std::move(title)) {
        QFont font = painter_.font();
        font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                          QStringLiteral("Helvetica")});
        font.setPointSizeF(kFontPoints);
        // No shaping for Latin text: "fi" stays two letters, so that the text reads back (copy,
        // search, screen readers) as it was written; it is faster, too.
        font.setStyleStrategy(QFont::PreferNoShaping);
        body_ = font;
        title_ = font;
        title_.setPointSizeF(kTitlePoints);
        title_.setBold(true);
        bold_ = font;
        bold_.setBold(true);
        const QFontMetricsF metrics(body_, &writer_);
        line_ = metrics.lineSpacing();
        ascent_ = metrics.ascent();
        titleHeight_ = QFontMetricsF(title_, &writer_).lineSpacing() * 1.5;
        const QRectF area = writer_.pageLayout().paintRectPixels(kResolution);
        width_ = area.width();
        height_ = area.height();
    }

    void draw(const std::vector<PdfPart>& parts) {
        texts_.clear();
        tables_.clear();
        for (const PdfPart& part : parts) {
            QStringList lines;
            for (const QString& text : part.lines)
                lines << fitted(text, part.bold ? bold_ : body_, width_);
            texts_.push_back(lines);
            tables_.push_back(part.columns.empty() ? Table() : layOut(part));
        }
        const auto pages = paginate(parts);
        for (std::size_t page = 0; page < pages.size(); ++page) {
            if (page > 0) {
                writer_.newPage();
                current_ = nullptr;
            }
            startPage(static_cast<int>(page) + 1, static_cast<int>(pages.size()));
            double y = titleHeight_;
            for (const Block& block : pages[page]) {
                const PdfPart& part = parts[block.part];
                const Table& table = tables_[block.part];
                switch (block.kind) {
                    case Block::Kind::Heading:
                        useFont(bold_);
                        painter_.drawText(QPointF(0, y + ascent_), part.heading);
                        break;
                    case Block::Kind::Text:
                        useFont(part.bold ? bold_ : body_);
                        painter_.drawText(QPointF(0, y + ascent_),
                                          texts_[block.part][block.index]);
                        break;
                    case Block::Kind::Captions:
                        useFont(bold_);
                        drawLines(part, table, table.captions, y);
                        break;
                    case Block::Kind::Row:
                        useFont(body_);
                        drawRow(part, table, block.index, y);
                        break;
                }
                y += block.height;
            }
        }
    }

private:
    // The lines of a text within `width`: the text itself when it fits.
    QStringList fitted(const QString& text, const QFont& font, double width) const {
        if (QFontMetricsF(font, &writer_).horizontalAdvance(text) <= width)
            return {text};
        return wrap(text, font, &writer_, width);
    }

    // The columns from the widths of what they hold: each as wide as its caption and its widest
    // text when the page has room for all; otherwise the columns whose texts have blanks share
    // the room the others leave, none narrower than the longest word of its caption or of a text
    // that wraps in it.
    Table layOut(const PdfPart& part) const {
        Table table;
        const std::size_t n = part.columns.size();
        const QFontMetricsF metrics(body_, &writer_), boldMetrics(bold_, &writer_);
        const auto widestWord = [](const QString& text, const QFontMetricsF& m) {
            double widest = 0;
            for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
                widest = std::max(widest, m.horizontalAdvance(word));
            return widest;
        };
        std::vector<ColumnWant> wants(n);
        std::vector<double> captionLeast(n);
        for (std::size_t c = 0; c < n; ++c) {
            const QString& caption = part.columns[c].caption;
            wants[c].wanted = boldMetrics.horizontalAdvance(caption);
            captionLeast[c] = widestWord(caption, boldMetrics);
        }
        // Each cell measured once; the columns whose texts can wrap are those with blanks.
        std::vector<float> cellMost(n, 0);
        std::vector<bool> blanks(n, false);
        table.cellWidths.resize(static_cast<std::size_t>(part.rows) * n);
        for (int r = 0; r < part.rows; ++r) {
            const QStringList cells = part.cells(r);
            for (std::size_t c = 0; c < n && c < static_cast<std::size_t>(cells.size()); ++c) {
                const QString& text = cells[static_cast<qsizetype>(c)];
                const auto width = static_cast<float>(metrics.horizontalAdvance(text));
                table.cellWidths[static_cast<std::size_t>(r) * n + c] = width;
                cellMost[c] = std::max(cellMost[c], width);
                if (!blanks[c] && text.contains(QLatin1Char(' ')))
                    blanks[c] = true;
            }
        }
        for (std::size_t c = 0; c < n; ++c) {
            wants[c].wanted = std::max<double>(wants[c].wanted, cellMost[c]);
            wants[c].least = blanks[c] ? captionLeast[c]
                                       : std::max<double>(captionLeast[c], cellMost[c]);
            wants[c].yields = wants[c].least < wants[c].wanted;
        }
        const double gap = kColumnGap * kResolution;
        const double room = width_ - gap * static_cast<double>(n - 1);
        table.widths = ShareWidths(wants, room);

        // A wrapping column is no narrower than the longest word of a text that wraps in it. The
        // texts narrower than a column's width never wrap; as the columns are narrowed, the texts
        // between the new width and the last one checked are looked at.
        std::vector<double> checkedDownTo(n, std::numeric_limits<double>::max());
        for (bool raised = true; raised;) {
            raised = false;
            for (std::size_t c = 0; c < n; ++c) {
                if (!blanks[c] || table.widths[c] >= checkedDownTo[c])
                    continue;
                for (int r = 0; r < part.rows; ++r) {
                    const float width = table.cellWidth(r, c);
                    if (width <= table.widths[c] || width > checkedDownTo[c])
                        continue;
                    const double word =
                        widestWord(part.cells(r).value(static_cast<qsizetype>(c)), metrics);
                    if (word > wants[c].least) {
                        wants[c].least = word;
                        raised = true;
                    }
                }
                checkedDownTo[c] = table.widths[c];
            }
            if (raised)
                table.widths = ShareWidths(wants, room);
        }
        double total = 0;
        for (const double width : table.widths)
            total += width;
        if (total > room) {
            // A word too wide for the page: it is broken rather than drawn past the page's edge.
            for (std::size_t c = 0; c < n; ++c) {
                if (blanks[c])
                    wants[c].least = captionLeast[c];
            }
            table.widths = ShareWidths(wants, room);
        }

        double left = 0;
        for (const double width : table.widths) {
            table.lefts.push_back(left);
            left += width + gap;
        }
        int captionLines = 1;
        for (std::size_t c = 0; c < n; ++c) {
            table.captions.push_back(fitted(part.columns[c].caption, bold_, table.widths[c]));
            captionLines = std::max(captionLines, static_cast<int>(table.captions.back().size()));
        }
        table.captionHeight = line_ * captionLines;

        // The rows with a text wider than its column, as their cells' lines.
        for (int r = 0; r < part.rows; ++r) {
            bool wraps = false;
            for (std::size_t c = 0; c < n && !wraps; ++c)
                wraps = table.cellWidth(r, c) > table.widths[c];
            if (!wraps)
                continue;
            const QStringList cells = part.cells(r);
            std::vector<QStringList> lines;
            for (std::size_t c = 0; c < n; ++c) {
                const QString text = cells.value(static_cast<qsizetype>(c));
                lines.push_back(table.cellWidth(r, c) > table.widths[c]
                                    ? wrap(text, body_, &writer_, table.widths[c])
                                    : QStringList{text});
            }
            table.wrapped.emplace(r, std::move(lines));
        }
        if (!table.wrapped.empty())
            table.rowGap = line_ * kRowGap / 2;
        return table;
    }

    double rowHeight(const Table& table, int row) const {
        const auto it = table.wrapped.find(row);
        if (it == table.wrapped.end())
            return line_;
        qsizetype lines = 1;
        for (const QStringList& cell : it->second)
            lines = std::max(lines, cell.size());
        return line_ * static_cast<double>(lines) + 2 * table.rowGap;
    }

    // The blocks of every page, between the title and the page number: a part kept together
    // starts a new page when it does not fit the rest of one; a table starts one when not even
    // its captions and first row fit; a table's captions are repeated at the top of each page its
    // rows run on to; a row is never split.
    std::vector<std::vector<Block>> paginate(const std::vector<PdfPart>& parts) const {
        const double room = height_ - titleHeight_ - 2 * line_;
        std::vector<std::vector<Block>> pages(1);
        double y = 0;
        const auto fits = [&](double height) { return y + height <= room; };
        const auto add = [&](const Block& block) {
            if (!pages.back().empty() && !fits(block.height)) {
                pages.emplace_back();
                y = 0;
            }
            pages.back().push_back(block);
            y += block.height;
        };
        for (std::size_t p = 0; p < parts.size(); ++p) {
            const PdfPart& part = parts[p];
            const Table& table = tables_[p];
            const bool isTable = !part.columns.empty();
            const double lead = (part.heading.isEmpty() ? 0 : line_) +
                                line_ * static_cast<double>(texts_[p].size());
            double size = lead;
            if (isTable) {
                size += table.captionHeight;
                for (int r = 0; r < part.rows; ++r)
                    size += rowHeight(table, r);
            }
            const double firstRow = isTable && part.rows > 0 ? rowHeight(table, 0) : 0;
            if (!pages.back().empty() &&
                ((part.keepTogether && size <= room && !fits(size)) ||
                 (isTable && !fits(lead + table.captionHeight + firstRow)))) {
                pages.emplace_back();
                y = 0;
            }
            if (!part.heading.isEmpty())
                add({Block::Kind::Heading, p, 0, line_});
            for (int i = 0; i < static_cast<int>(texts_[p].size()); ++i)
                add({Block::Kind::Text, p, i, line_});
            if (!isTable)
                continue;
            const Block captions{Block::Kind::Captions, p, 0, table.captionHeight};
            add(captions);
            for (int r = 0; r < part.rows; ++r) {
                const Block row{Block::Kind::Row, p, r, rowHeight(table, r)};
                if (!fits(row.height)) {
                    pages.emplace_back();
                    y = 0;
                    add(captions);
                }
                add(row);
            }
        }
        return pages;
    }

    // Sets the painter's font only when it changes (each change costs the PDF engine a state).
    void useFont(const QFont& font) {
        if (current_ == &font)
            return;
        painter_.setFont(font);
        current_ = &font;
    }

    void startPage(int page, int pages) {
        useFont(title_);
        painter_.drawText(QPointF(0, QFontMetricsF(title_, &writer_).ascent()), titleText_);
        useFont(body_);
        const QString number = QStringLiteral("Page %1 of %2").arg(page).arg(pages);
        const QFontMetricsF metrics(body_, &writer_);
        painter_.drawText(
            QPointF(width_ - metrics.horizontalAdvance(number), height_ - line_ + ascent_), number);
    }

    // A row of one line is drawn from its cells as they are made, each placed by its measured
    // width; a row of more than one line from its cells' lines.
    void drawRow(const PdfPart& part, const Table& table, int row, double y) {
        const auto it = table.wrapped.find(row);
        if (it != table.wrapped.end()) {
            drawLines(part, table, it->second, y + table.rowGap);
            return;
        }
        const QStringList cells = part.cells(row);
        for (std::size_t c = 0; c < table.widths.size() && c < static_cast<std::size_t>(cells.size());
             ++c) {
            const QString& text = cells[static_cast<qsizetype>(c)];
            if (text.isEmpty())
                continue;
            double x = table.lefts[c];
            if (part.columns[c].rightAligned)
                x += table.widths[c] - table.cellWidth(row, c);
            painter_.drawText(QPointF(x, y + ascent_), text);
        }
    }

    // Each column's lines, one under the other, in the painter's font.
    void drawLines(const PdfPart& part, const Table& table, const std::vector<QStringList>& lines,
                   double y) {
        const QFontMetricsF metrics(painter_.font(), &writer_);
        for (std::size_t c = 0; c < lines.size(); ++c) {
            for (qsizetype n = 0; n < lines[c].size(); ++n) {
                const QString& text = lines[c][n];
                if (text.isEmpty())
                    continue;
                double x = table.lefts[c];
                if (part.columns[c].rightAligned)
                    x += table.widths[c] - metrics.horizontalAdvance(text);
                painter_.drawText(QPointF(x, y + line_ * static_cast<double>(n) + ascent_), text);
            }
        }
    }

    QPdfWriter& writer_;
    QPainter& painter_;
    QString titleText_;
    QFont body_, bold_, title_;
    const QFont* current_ = nullptr;
    double line_ = 0, ascent_ = 0, titleHeight_ = 0, width_ = 0, height_ = 0;
    std::vector<QStringList> texts_;  // each part's text lines as drawn
    std::vector<Table> tables_;       // each part's table
};

}  // namespace

void WritePdfReport(const QString& path, const QString& title, const std::vector<PdfPart>& parts) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        cannotWrite(path);
    {
        QPdfWriter writer(&file);
        writer.setTitle(title);
        writer.setCreator(QStringLiteral("Corvane"));
        writer.setResolution(kResolution);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Landscape,
                                         QMarginsF(0.5, 0.5, 0.5, 0.5), QPageLayout::Inch));
        QPainter painter;
        if (!painter.begin(&writer))
            cannotWrite(path);
        ReportPainter(writer, painter, title).draw(parts);
        painter.end();
    }
    if (!file.commit())
        cannotWrite(path);
}

}  // namespace corvane
