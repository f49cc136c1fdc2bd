#include "app/PdfReport.h"

#include "platform/Error.h"

#include <QDir>
#include <QFont>
#include <QFontMetricsF>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include <algorithm>

namespace corvane {

namespace {

constexpr double kFontPoints = 9;
constexpr double kTitlePoints = 14;
constexpr int kResolution = 600;  // dots per inch of the PDF's drawing

// One line of a page: a heading, a text line, a table's column captions or one of its rows.
struct Line {
    enum class Kind { Heading, Text, Columns, Row };
    Kind kind = Kind::Text;
    std::size_t part = 0;
    int index = 0;  // the text line's or the row's
};

[[noreturn]] void cannotWrite(const QString& path) {
    throw Error(errc::PathFileAccessError,
                QStringLiteral("Path/File access error: %1 cannot be written")
                    .arg(QDir::toNativeSeparators(path)));
}

// The lines of every page: a part kept together starts a new page when it does not fit the rest
// of one; a table's column captions are repeated at the top of each page its rows run on to.
std::vector<std::vector<Line>> paginate(const std::vector<PdfPart>& parts, int perPage) {
    std::vector<std::vector<Line>> pages(1);
    const auto room = [&] { return perPage - static_cast<int>(pages.back().size()); };
    const auto add = [&](const Line& line) {
        if (room() <= 0)
            pages.emplace_back();
        pages.back().push_back(line);
    };
    for (std::size_t p = 0; p < parts.size(); ++p) {
        const PdfPart& part = parts[p];
        const bool table = !part.columns.empty();
        const int size = (part.heading.isEmpty() ? 0 : 1) + static_cast<int>(part.lines.size()) +
                         (table ? 1 + part.rows : 0);
        if (!pages.back().empty() &&
            ((part.keepTogether && size <= perPage && size > room()) || (table && room() < 2)))
            pages.emplace_back();
        if (!part.heading.isEmpty())
            add({Line::Kind::Heading, p, 0});
        for (int i = 0; i < part.lines.size(); ++i)
            add({Line::Kind::Text, p, i});
        if (!table)
            continue;
        add({Line::Kind::Columns, p, 0});
        for (int r = 0; r < part.rows; ++r) {
            if (room() <= 0) {
                pages.emplace_back();
                pages.back().push_back({Line::Kind::Columns, p, 0});
            }
            pages.back().push_back({Line::Kind::Row, p, r});
        }
    }
    return pages;
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

    // Lines per page, below the title and above the page number.
    int perPage() const { return std::max(1, static_cast<int>((height_ - titleHeight_) / line_) - 2); }

    void draw(const std::vector<PdfPart>& parts) {
        const auto pages = paginate(parts, perPage());
        const QFontMetricsF bodyMetrics(body_, &writer_), boldMetrics(bold_, &writer_);
        for (std::size_t page = 0; page < pages.size(); ++page) {
            if (page > 0) {
                writer_.newPage();
                current_ = nullptr;
            }
            startPage(static_cast<int>(page) + 1, static_cast<int>(pages.size()));
            double y = titleHeight_;
            for (const Line& line : pages[page]) {
                const PdfPart& part = parts[line.part];
                switch (line.kind) {
                    case Line::Kind::Heading:
                        useFont(bold_);
                        painter_.drawText(QPointF(0, y + ascent_), part.heading);
                        break;
                    case Line::Kind::Text:
                        useFont(part.bold ? bold_ : body_);
                        painter_.drawText(QPointF(0, y + ascent_), part.lines[line.index]);
                        break;
                    case Line::Kind::Columns: {
                        useFont(bold_);
                        QStringList captions;
                        for (const PdfColumn& c : part.columns)
                            captions << c.caption;
                        drawCells(part.columns, captions, y, boldMetrics);
                        break;
                    }
                    case Line::Kind::Row:
                        useFont(body_);
                        drawCells(part.columns, part.cells(line.index), y, bodyMetrics);
                        break;
                }
                y += line_;
            }
        }
    }

private:
    double inches(double value) const { return value * kResolution; }

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

    void drawCells(const std::vector<PdfColumn>& columns, const QStringList& cells, double y,
                   const QFontMetricsF& metrics) {
        for (std::size_t i = 0; i < columns.size() && i < static_cast<std::size_t>(cells.size());
             ++i) {
            const PdfColumn& c = columns[i];
            const QString text = cells[static_cast<qsizetype>(i)].left(c.maxChars);
            if (text.isEmpty())
                continue;
            double x = inches(c.left);
            if (c.rightAlignWidth > 0)
                x += inches(c.rightAlignWidth) - metrics.horizontalAdvance(text);
            painter_.drawText(QPointF(x, y + ascent_), text);
        }
    }

    QPdfWriter& writer_;
    QPainter& painter_;
    QString titleText_;
    QFont body_, bold_, title_;
    const QFont* current_ = nullptr;
    double line_ = 0, ascent_ = 0, titleHeight_ = 0, width_ = 0, height_ = 0;
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
