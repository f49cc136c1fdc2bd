#include "core/PdfReport.h"

#include "platform/Error.h"
#include "platform/GridColumns.h"

#include <QDir>
#include <QFont>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRawFont>
#include <QSaveFile>
#include <QVarLengthArray>

#include <algorithm>
#include <limits>
#include <numeric>
#include <optional>
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

// The lines of a text within `width` as `measure` measures them: broken at blanks, and within a
// word only where the word alone is wider than the width.
template <class Measure>
QStringList wrap(const QString& text, double width, Measure&& measure) {
    QStringList lines;
    QString line;
    for (QString word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QString joined = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
        if (measure(joined) <= width) {
            line = joined;
            continue;
        }
        if (!line.isEmpty())
            lines << line;
        while (word.size() > 1 && measure(word) > width) {
            qsizetype fits = 1;
            while (fits + 1 < word.size() && measure(word.left(fits + 1)) <= width)
                ++fits;
            lines << word.left(fits);
            word = word.mid(fits);
        }
        line = word;
    }
    if (!line.isEmpty() || lines.isEmpty())
        lines << line;
    return lines;
}

// A font whose texts are measured and drawn glyph by glyph, each glyph placed by the advances of
// the glyphs before it, so that a text takes on the page exactly the width it was measured at.
// It spares the drawing of each text its own layout, and the texts of a row go to the page as one
// run of glyphs. A text with a character the font lacks is measured and drawn through Qt's text
// layout instead (which finds the character in another font).
class GlyphFont {
public:
    GlyphFont(const QFont& font, QPaintDevice* device)
        : font_(font),
          metrics_(font, device),
          raw_(QRawFont::fromFont(QFont(font, device))),
          advances_(0x10000, -1.0F) {}

    const QFont& font() const { return font_; }

    // The width of a text as drawn.
    double width(const QString& text) {
        if (!toGlyphs(text))
            return metrics_.horizontalAdvance(text);
        double width = 0;
        for (const quint32 glyph : glyphs_)
            width += advance(glyph);
        return width;
    }

    // Adds a text's glyphs and their places, its baseline's left end at `at`, to a run being
    // made; false when the text has to be drawn by Qt's text layout.
    bool place(const QString& text, QPointF at, QList<quint32>& glyphs, QList<QPointF>& places) {
        if (!toGlyphs(text))
            return false;
        for (const quint32 glyph : glyphs_) {
            glyphs.push_back(glyph);
            places.push_back(at);
            at.rx() += advance(glyph);
        }
        return true;
    }

    // Draws a run of glyphs made by place().
    void draw(QPainter& painter, const QList<quint32>& glyphs, const QList<QPointF>& places) const {
        if (glyphs.isEmpty())
            return;
        QGlyphRun run;
        run.setRawFont(raw_);
        run.setGlyphIndexes(glyphs);
        run.setPositions(places);
        painter.drawGlyphRun(QPointF(0, 0), run);
    }

private:
    // The text's glyphs in glyphs_; false when the font lacks one of its characters.
    bool toGlyphs(const QString& text) {
        int count = static_cast<int>(text.size());
        glyphs_.resize(count);
        if (count > 0 &&
            !raw_.glyphIndexesForChars(text.constData(), count, glyphs_.data(), &count))
            return false;
        glyphs_.resize(count);
        return std::find(glyphs_.begin(), glyphs_.end(), 0U) == glyphs_.end();
    }

    // Glyph numbers are 16 bits in the fonts in use; any other is measured each time.
    double advance(quint32 glyph) {
        const auto measured = [&] {
            QPointF advance;
            raw_.advancesForGlyphIndexes(&glyph, &advance, 1);
            return advance.x();
        };
        if (glyph >= advances_.size())
            return measured();
        float& known = advances_[glyph];
        if (known < 0)
            known = static_cast<float>(measured());
        return known;
    }

    QFont font_;
    QFontMetricsF metrics_;
    QRawFont raw_;
    std::vector<float> advances_;  // by glyph, once known (they are multiples of 1/64)
    QVarLengthArray<quint32, 64> glyphs_;
};

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
        bodyGlyphs_.emplace(body_, &writer_);
        boldGlyphs_.emplace(bold_, &writer_);
        const QFontMetricsF metrics(body_, &writer_);
        line_ = metrics.lineSpacing();
        ascent_ = metrics.ascent();
        titleHeight_ = QFontMetricsF(title_, &writer_).lineSpacing() * 1.5;
        const QRectF area = writer_.pageLayout().paintRectPixels(kResolution);
        width_ = area.width();
        height_ = area.height();
    }

    void draw(const std::vector<PdfPart>& parts) {
        for (const PdfPart& part : parts) {
            const QFontMetricsF metrics(part.bold ? bold_ : body_, &writer_);
            QStringList lines;
            for (const QString& text : part.lines) {
                lines << (metrics.horizontalAdvance(text) <= width_
                              ? QStringList{text}
                              : wrap(text, width_, [&](const QString& t) {
                                    return metrics.horizontalAdvance(t);
                                }));
            }
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
                        painter_.drawText(QPointF(0, y + ascent_), texts_[block.part][block.index]);
                        break;
                    case Block::Kind::Captions:
                        drawLines(part, table, table.captions, *boldGlyphs_, y);
                        break;
                    case Block::Kind::Row:
                        drawRow(part, table, block.index, y);
                        break;
                }
                y += block.height;
            }
        }
    }

private:
    // The columns from the widths of what they hold: each as wide as its caption and its widest
    // text when the page has room for all; otherwise the columns whose texts have blanks share
    // the room the others leave, none narrower than the longest word of its caption or of a text
    // that wraps in it.
    Table layOut(const PdfPart& part) {
        GlyphFont& body = *bodyGlyphs_;
        GlyphFont& bold = *boldGlyphs_;
        const auto widestWord = [](const QString& text, GlyphFont& font) {
            double widest = 0;
            for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
                widest = std::max(widest, font.width(word));
            return widest;
        };
        Table table;
        const std::size_t n = part.columns.size();
        std::vector<ColumnWant> wants(n);
        std::vector<double> captionLeast(n);
        for (std::size_t c = 0; c < n; ++c) {
            const QString& caption = part.columns[c].caption;
            wants[c].wanted = bold.width(caption);
            captionLeast[c] = widestWord(caption, bold);
        }
        // Each cell measured once; the columns whose texts can wrap are those with blanks.
        std::vector<float> widest(n, 0);
        std::vector<bool> blanks(n, false);
        table.cellWidths.resize(static_cast<std::size_t>(part.rows) * n);
        for (int r = 0; r < part.rows; ++r) {
            const QStringList cells = part.cells(r);
            for (std::size_t c = 0; c < n && c < static_cast<std::size_t>(cells.size()); ++c) {
                const QString& text = cells[static_cast<qsizetype>(c)];
                const auto width = static_cast<float>(body.width(text));
                table.cellWidths[static_cast<std::size_t>(r) * n + c] = width;
                widest[c] = std::max(widest[c], width);
                if (!blanks[c] && text.contains(QLatin1Char(' ')))
                    blanks[c] = true;
            }
        }
        for (std::size_t c = 0; c < n; ++c) {
            wants[c].wanted = std::max<double>(wants[c].wanted, widest[c]);
            wants[c].least =
                blanks[c] ? captionLeast[c] : std::max<double>(captionLeast[c], widest[c]);
            wants[c].yields = wants[c].least < wants[c].wanted;
        }
        const double gap = kColumnGap * kResolution;
        const double room = width_ - gap * static_cast<double>(n - 1);
        table.widths = ShareWidths(wants, room);

        // A column that wraps is no narrower than the longest word of a text that wraps in it.
        // As the columns are narrowed, the texts between a column's new width and the width last
        // looked at are looked at.
        std::vector<double> lookedAt(n, std::numeric_limits<double>::max());
        for (bool raised = true; raised;) {
            raised = false;
            for (std::size_t c = 0; c < n; ++c) {
                if (!blanks[c] || table.widths[c] >= lookedAt[c])
                    continue;
                for (int r = 0; r < part.rows; ++r) {
                    const float width = table.cellWidth(r, c);
                    if (width <= table.widths[c] || width > lookedAt[c])
                        continue;
                    const double word =
                        widestWord(part.cells(r).value(static_cast<qsizetype>(c)), body);
                    if (word > wants[c].least) {
                        wants[c].least = word;
                        raised = true;
                    }
                }
                lookedAt[c] = table.widths[c];
            }
            if (raised)
                table.widths = ShareWidths(wants, room);
        }
        if (std::accumulate(table.widths.begin(), table.widths.end(), 0.0) > room) {
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
        const auto lines = [](const QString& text, double width, GlyphFont& font) {
            return font.width(text) <= width
                       ? QStringList{text}
                       : wrap(text, width, [&](const QString& t) { return font.width(t); });
        };
        qsizetype captionLines = 1;
        for (std::size_t c = 0; c < n; ++c) {
            table.captions.push_back(lines(part.columns[c].caption, table.widths[c], bold));
            captionLines = std::max(captionLines, table.captions.back().size());
        }
        table.captionHeight = line_ * static_cast<double>(captionLines);

        // The rows with a text wider than its column, as their cells' lines.
        for (int r = 0; r < part.rows; ++r) {
            bool wraps = false;
            for (std::size_t c = 0; c < n && !wraps; ++c)
                wraps = table.cellWidth(r, c) > table.widths[c];
            if (!wraps)
                continue;
            const QStringList cells = part.cells(r);
            std::vector<QStringList> cellLines;
            for (std::size_t c = 0; c < n; ++c)
                cellLines.push_back(
                    lines(cells.value(static_cast<qsizetype>(c)), table.widths[c], body));
            table.wrapped.emplace(r, std::move(cellLines));
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
        const auto newPage = [&] {
            pages.emplace_back();
            y = 0;
        };
        const auto add = [&](const Block& block) {
            if (!pages.back().empty() && !fits(block.height))
                newPage();
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
                 (isTable && !fits(lead + table.captionHeight + firstRow))))
                newPage();
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
                    newPage();
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
            drawLines(part, table, it->second, *bodyGlyphs_, y + table.rowGap);
            return;
        }
        const QStringList cells = part.cells(row);
        glyphs_.clear();
        places_.clear();
        for (std::size_t c = 0;
             c < table.widths.size() && c < static_cast<std::size_t>(cells.size()); ++c) {
            const QString& text = cells[static_cast<qsizetype>(c)];
            if (text.isEmpty())
                continue;
            double x = table.lefts[c];
            if (part.columns[c].rightAligned)
                x += table.widths[c] - table.cellWidth(row, c);
            place(*bodyGlyphs_, text, QPointF(x, y + ascent_));
        }
        bodyGlyphs_->draw(painter_, glyphs_, places_);
    }

    // Each column's lines, one under the other.
    void drawLines(const PdfPart& part, const Table& table, const std::vector<QStringList>& lines,
                   GlyphFont& font, double y) {
        glyphs_.clear();
        places_.clear();
        for (std::size_t c = 0; c < lines.size(); ++c) {
            for (qsizetype n = 0; n < lines[c].size(); ++n) {
                const QString& text = lines[c][n];
                if (text.isEmpty())
                    continue;
                double x = table.lefts[c];
                if (part.columns[c].rightAligned)
                    x += table.widths[c] - font.width(text);
                place(font, text, QPointF(x, y + line_ * static_cast<double>(n) + ascent_));
            }
        }
        font.draw(painter_, glyphs_, places_);
    }

    // Adds a text to the run being made, or draws it through Qt's text layout when its font
    // lacks one of its characters.
    void place(GlyphFont& font, const QString& text, QPointF at) {
        if (font.place(text, at, glyphs_, places_))
            return;
        useFont(font.font());
        painter_.drawText(at, text);
    }

    QPdfWriter& writer_;
    QPainter& painter_;
    QString titleText_;
    QFont body_, bold_, title_;
    std::optional<GlyphFont> bodyGlyphs_, boldGlyphs_;
    const QFont* current_ = nullptr;
    double line_ = 0, ascent_ = 0, titleHeight_ = 0, width_ = 0, height_ = 0;
    std::vector<QStringList> texts_;  // each part's text lines as drawn
    std::vector<Table> tables_;       // each part's table, laid out
    QList<quint32> glyphs_;           // the run of glyphs being made, and their places
    QList<QPointF> places_;
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
