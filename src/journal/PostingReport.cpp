#include "journal/PostingReport.h"

#include "app/TextRules.h"
#include "journal/JournalHistory.h"
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
#include <iterator>
#include <vector>

namespace corvane {

using journal::RowOutcome;
using journal::Run;
using journal::RunRow;
using ledger::Currency;

namespace {

constexpr double kFontPoints = 9;
constexpr double kTitlePoints = 14;
constexpr int kResolution = 600;  // dots per inch of the PDF's drawing

constexpr double kColumnGap = 0.15;  // inches between two columns

// A column of the row lines: its caption, whether a long text wraps within it (the others are
// as wide as their widest text) and whether it is right-aligned (amounts).
struct Column {
    const char* caption;
    bool wraps;
    bool rightAligned;
};
const Column kColumns[] = {
    {"TID", false, false},
    {"Tenant Name", true, false},
    {"Unit Address", true, false},
    {"Amount", false, true},
    {"Date", false, false},
    {"Type", false, false},
    {"Transaction Number", true, false},
    {"Result", true, false},
};
constexpr int kColumnCount = static_cast<int>(std::size(kColumns));

QString remarkText(const Run& run) {
    switch (run.remarkChoice) {
        case 0:
            return QStringLiteral("the default remark of the Lodgebook preferences");
        case 1:
            return QStringLiteral("the payment type");
        default:
            return QStringLiteral("\"%1\"").arg(run.remarkText);
    }
}

QString yesNo(bool value) {
    return value ? QStringLiteral("Yes") : QStringLiteral("No");
}

// The lines above the column header on the first page.
QStringList runLines(const Run& run) {
    QString state = QStringLiteral("Posted");
    if (run.state == journal::RunState::Reversed && run.reversedOn)
        state = QStringLiteral("Reversed ") + shortDate(*run.reversedOn);
    const auto deposit = journal::DepositNumberOf(run);
    return {
        QStringLiteral("Posted: %1   Computer: %2")
            .arg(run.postedAt.toString(QStringLiteral("MM/dd/yyyy HH:mm")), run.computer),
        QStringLiteral("Payment file: ") + run.fileName,
        QStringLiteral("Remark: ") + remarkText(run),
        QStringLiteral("Management fees: ") + yesNo(run.postFees),
        QStringLiteral("Deposit number: ") +
            (deposit ? QString::number(*deposit) : QStringLiteral("no deposit")),
        QStringLiteral("State: ") + state,
        QString(),
    };
}

// The lines after the rows.
QStringList totalLines(const Run& run) {
    int payments = 0, fees = 0, leftOut = 0, returns = 0;
    Currency total, feeTotal, returnTotal;
    for (const RunRow& r : run.rows) {
        if (r.outcome == RowOutcome::ReturnRecorded) {
            ++returns;
            returnTotal += r.incomeAmount.value_or(Currency());
            continue;
        }
        if (r.incomeTransID) {
            ++payments;
            total += r.incomeAmount.value_or(Currency());
        }
        if (r.feeTransID) {
            ++fees;
            feeTotal += r.feeAmount.value_or(Currency());
        }
        leftOut += r.outcome != RowOutcome::Posted;
    }
    const auto deposit = journal::DepositNumberOf(run);
    QStringList lines = {
        QString(),
        QStringLiteral("Payments posted: %1   Total: %2").arg(payments).arg(formatCurrency(total)),
        QStringLiteral("Management fees: %1   Total: %2")
            .arg(fees)
            .arg(formatCurrency(feeTotal.abs())),
    };
    if (returns > 0) {
        lines << QStringLiteral("Returns recorded: %1   Total: %2")
                     .arg(returns)
                     .arg(formatCurrency(returnTotal.abs()));
    }
    lines << (deposit ? QStringLiteral("Deposit %1: %2")
                            .arg(*deposit)
                            .arg(formatCurrency(run.depositAmount.value_or(Currency())))
                      : QStringLiteral("Deposit: none"))
          << QStringLiteral("Rows left out: %1").arg(leftOut);
    return lines;
}

QStringList rowCells(const RunRow& r) {
    return {trimBlanks(r.tid),
            trimBlanks(r.name),
            trimBlanks(r.address),
            formatCurrencyText(trimBlanks(r.amount)),
            formatDateText(r.date),
            trimBlanks(r.pmtType),
            trimBlanks(r.transactionNumber),
            RowResultText(r)};
}

// A row as printed: each cell's lines within its column.
using PrintedRow = std::vector<QStringList>;

int lineCount(const PrintedRow& row) {
    qsizetype lines = 1;
    for (const QStringList& cell : row)
        lines = std::max(lines, cell.size());
    return static_cast<int>(lines);
}

// Draws the pages: the title and the page number on each, the run's lines on the first, then
// the column header and as many rows as fit, a row never split over two pages.
class ReportPainter {
public:
    ReportPainter(QPdfWriter& writer, QPainter& painter) : writer_(writer), painter_(painter) {
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
        const QFontMetricsF titleMetrics(title_, &writer_);
        titleHeight_ = titleMetrics.lineSpacing() * 1.5;
        const QRectF area = writer_.pageLayout().paintRectPixels(kResolution);
        width_ = area.width();
        height_ = area.height();
    }

    void draw(const QStringList& head, const std::vector<QStringList>& cells,
              const QStringList& tail) {
        layOut(cells);
        QStringList captions;
        for (const Column& c : kColumns)
            captions << QString::fromLatin1(c.caption);
        header_ = wrapped(captions, bold_);
        std::vector<PrintedRow> rows;
        rows.reserve(cells.size());
        for (const QStringList& row : cells)
            rows.push_back(wrapped(row, body_));

        // Rows of more than one line stand apart by a little room.
        rowGap_ = 0;
        for (const PrintedRow& row : rows) {
            if (lineCount(row) > 1) {
                rowGap_ = line_ * 0.4;
                break;
            }
        }

        // Every page: the title, the column header (on the first page after the run's lines),
        // the body, and the page number on the last line. The totals stay together on one page.
        const double top = titleHeight_ + heightOf(header_);
        const double bottom = height_ - line_;
        std::vector<std::size_t> pageEnds;  // one past the last row of each page
        std::size_t pageStart = 0;
        double y = top + line_ * static_cast<double>(head.size());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (i > pageStart && y + heightOf(rows[i]) > bottom) {
                pageEnds.push_back(i);
                pageStart = i;
                y = top;
            }
            y += heightOf(rows[i]);
        }
        pageEnds.push_back(rows.size());
        const bool tailOnNewPage =
            y + line_ * static_cast<double>(tail.size()) > bottom && pageStart < rows.size();
        const int pages = static_cast<int>(pageEnds.size()) + (tailOnNewPage ? 1 : 0);

        std::size_t next = 0;
        for (int page = 1; page <= static_cast<int>(pageEnds.size()); ++page) {
            if (page > 1)
                writer_.newPage();
            startPage(page, pages, page == 1 ? head : QStringList());
            for (; next < pageEnds[static_cast<std::size_t>(page - 1)]; ++next)
                drawRow(rows[next]);
        }
        if (tailOnNewPage) {
            writer_.newPage();
            startPage(pages, pages, QStringList());
        }
        painter_.setFont(bold_);
        for (const QString& text : tail) {
            painter_.drawText(QPointF(0, y_ + ascent_), text);
            y_ += line_;
        }
    }

private:
    // The columns from the widths of what they hold: each as wide as its caption and its widest
    // text when the page has room for all; otherwise the wrapping columns share the room the
    // others leave, none narrower than the longest word of its caption.
    void layOut(const std::vector<QStringList>& rows) {
        const QFontMetricsF metrics(body_, &writer_);
        const QFontMetricsF boldMetrics(bold_, &writer_);
        std::vector<ColumnWant> wants;
        for (int i = 0; i < kColumnCount; ++i) {
            const QString caption = QString::fromLatin1(kColumns[i].caption);
            ColumnWant want{boldMetrics.horizontalAdvance(caption), 0, kColumns[i].wraps};
            for (const QStringList& row : rows)
                want.wanted = std::max(want.wanted, metrics.horizontalAdvance(row[i]));
            for (const QString& word : caption.split(QLatin1Char(' ')))
                want.least = std::max(want.least, boldMetrics.horizontalAdvance(word));
            if (!want.yields)
                want.least = want.wanted;
            wants.push_back(want);
        }
        const double gap = kColumnGap * kResolution;
        widths_ = ShareWidths(wants, width_ - gap * (kColumnCount - 1));
        lefts_.clear();
        double left = 0;
        for (const double width : widths_) {
            lefts_.push_back(left);
            left += width + gap;
        }
    }

    // Each cell's text, broken into lines that fit its column: at blanks and hyphens, or within a
    // word that is wider than the column.
    PrintedRow wrapped(const QStringList& cells, const QFont& font) const {
        const QFontMetricsF metrics(font, &writer_);
        PrintedRow row;
        for (qsizetype i = 0; i < cells.size(); ++i) {
            const QString& text = cells[i];
            const double width = widths_[static_cast<std::size_t>(i)];
            if (metrics.horizontalAdvance(text) <= width) {
                row.push_back({text});
                continue;
            }
            QTextLayout layout(text, font, &writer_);
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
            row.push_back(lines);
        }
        return row;
    }

    void startPage(int page, int pages, const QStringList& head) {
        painter_.setFont(title_);
        const QFontMetricsF titleMetrics(title_, &writer_);
        painter_.drawText(QPointF(0, titleMetrics.ascent()), kPostingReportTitle);
        painter_.setFont(body_);
        y_ = titleHeight_;
        for (const QString& text : head) {
            painter_.drawText(QPointF(0, y_ + ascent_), text);
            y_ += line_;
        }
        const QString number = QStringLiteral("Page %1 of %2").arg(page).arg(pages);
        const QFontMetricsF metrics(body_, &writer_);
        painter_.drawText(
            QPointF(width_ - metrics.horizontalAdvance(number), height_ - line_ + ascent_), number);
        painter_.setFont(bold_);
        drawRow(header_);
        painter_.setFont(body_);
    }

    // Draws a row in the painter's font from the current line down, and moves below it.
    void drawRow(const PrintedRow& row) {
        const QFontMetricsF metrics(painter_.font(), &writer_);
        for (std::size_t i = 0; i < row.size(); ++i) {
            for (qsizetype n = 0; n < row[i].size(); ++n) {
                const QString& text = row[i][n];
                if (text.isEmpty())
                    continue;
                double x = lefts_[i];
                if (kColumns[i].rightAligned)
                    x += widths_[i] - metrics.horizontalAdvance(text);
                painter_.drawText(QPointF(x, y_ + line_ * static_cast<double>(n) + ascent_), text);
            }
        }
        y_ += heightOf(row);
    }

    double heightOf(const PrintedRow& row) const { return line_ * lineCount(row) + rowGap_; }

    QPdfWriter& writer_;
    QPainter& painter_;
    QFont body_, bold_, title_;
    double line_ = 0, ascent_ = 0, titleHeight_ = 0, width_ = 0, height_ = 0, y_ = 0;
    double rowGap_ = 0;
    std::vector<double> lefts_, widths_;  // the columns' left edges and widths, in dots
    PrintedRow header_;
};

[[noreturn]] void cannotWrite(const QString& path) {
    throw Error(errc::PathFileAccessError,
                QStringLiteral("Path/File access error: %1 cannot be written")
                    .arg(QDir::toNativeSeparators(path)));
}

}  // namespace

QString PostingReportFileName(const Run& run) {
    return QStringLiteral("Corvane Posting Report %1.pdf")
        .arg(run.postedAt.toString(QStringLiteral("yyyy-MM-dd HHmm")));
}

QString RowResultText(const RunRow& row) {
    switch (row.outcome) {
        case RowOutcome::Posted: {
            QString text = QStringLiteral("Posted");
            if (row.tenantChoice != journal::TenantChoice::None)
                text += QStringLiteral(", tenant chosen by you");
            if (row.feeTransID && row.feeAmount)
                text += QStringLiteral(", fee ") + formatCurrency(*row.feeAmount);
            return text;
        }
        case RowOutcome::NoTenant:
            return QStringLiteral("Left out: no tenant");
        case RowOutcome::Note:
            return QStringLiteral("Left out: ") + row.note;
        case RowOutcome::ReturnRecorded:
            return QStringLiteral("Return recorded (posted %1)")
                .arg(row.returnOf ? shortDate(row.returnOf->postedOn) : QString());
    }
    return {};
}

void WritePostingReport(const Run& run, const QString& path) {
    std::vector<QStringList> rows;
    rows.reserve(run.rows.size());
    for (const RunRow& r : run.rows)
        rows.push_back(rowCells(r));

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        cannotWrite(path);
    {
        QPdfWriter writer(&file);
        writer.setTitle(kPostingReportTitle);
        writer.setCreator(QStringLiteral("Corvane"));
        writer.setResolution(kResolution);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Landscape,
                                         QMarginsF(0.5, 0.5, 0.5, 0.5), QPageLayout::Inch));
        QPainter painter;
        if (!painter.begin(&writer))
            cannotWrite(path);
        ReportPainter(writer, painter).draw(runLines(run), rows, totalLines(run));
        painter.end();
    }
    if (!file.commit())
        cannotWrite(path);
}

}  // namespace corvane
