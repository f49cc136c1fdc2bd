#include "journal/PostingReport.h"

#include "app/TextRules.h"
#include "journal/JournalHistory.h"
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

// A column of the row lines: caption, left edge in inches from the margin, at most so many
// characters, right-aligned to `width` inches (amounts) or left-aligned.
struct Column {
    const char* caption;
    double left;
    int maxChars;
    double rightAlignWidth;  // 0: left-aligned
};
const Column kColumns[] = {
    {"TID", 0.0, 9, 0},
    {"Tenant Name", 0.6, 22, 0},
    {"Unit Address", 2.1, 26, 0},
    {"Amount", 3.8, 15, 0.95},
    {"Date", 4.9, 10, 0},
    {"Type", 5.65, 10, 0},
    {"Transaction Number", 6.2, 18, 0},
    {"Result", 7.75, 48, 0},
};

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

// Draws the pages: the title and the page number on each, the run's lines on the first, then
// the column header and as many lines as fit.
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

    void draw(const QStringList& head, const std::vector<QStringList>& rows,
              const QStringList& tail) {
        // Every page: the title, the column header (on the first page after the run's lines),
        // the body, and the page number on the last line. The totals stay together on one page.
        const int perPage = std::max(1, static_cast<int>((height_ - titleHeight_) / line_) - 2);
        const int firstPage = std::max(1, perPage - static_cast<int>(head.size()));
        std::vector<int> rowsOnPage{0};  // the number of row lines of each page
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const int capacity = rowsOnPage.size() == 1 ? firstPage : perPage;
            if (rowsOnPage.back() == capacity)
                rowsOnPage.push_back(0);
            ++rowsOnPage.back();
        }
        const int room = (rowsOnPage.size() == 1 ? firstPage : perPage) - rowsOnPage.back();
        const bool tailOnNewPage = room < static_cast<int>(tail.size()) && rowsOnPage.back() > 0;
        const int pages = static_cast<int>(rowsOnPage.size()) + (tailOnNewPage ? 1 : 0);

        std::size_t next = 0;
        for (int page = 1; page <= static_cast<int>(rowsOnPage.size()); ++page) {
            if (page > 1)
                writer_.newPage();
            startPage(page, pages, page == 1 ? head : QStringList());
            for (int line = 0; line < rowsOnPage[page - 1]; ++line)
                drawCells(rows[next++], y_ + line_ * line);
            y_ += line_ * rowsOnPage[page - 1];
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
    double inches(double value) const { return value * kResolution; }

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
        drawColumnHeader(y_);
        y_ += line_;
    }

    void drawColumnHeader(double y) {
        painter_.setFont(bold_);
        const QFontMetricsF metrics(bold_, &writer_);
        for (const Column& c : kColumns) {
            const QString caption = QString::fromLatin1(c.caption);
            double x = inches(c.left);
            if (c.rightAlignWidth > 0)
                x += inches(c.rightAlignWidth) - metrics.horizontalAdvance(caption);
            painter_.drawText(QPointF(x, y + ascent_), caption);
        }
        painter_.setFont(body_);
    }

    void drawCells(const QStringList& cells, double y) {
        const QFontMetricsF metrics(body_, &writer_);
        for (qsizetype i = 0; i < cells.size(); ++i) {
            const Column& c = kColumns[i];
            const QString text = cells[i].left(c.maxChars);
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
    QFont body_, bold_, title_;
    double line_ = 0, ascent_ = 0, titleHeight_ = 0, width_ = 0, height_ = 0, y_ = 0;
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
