#include "platform/GridColumns.h"

#include <QAbstractItemModel>
#include <QEvent>
#include <QFontMetricsF>
#include <QHeaderView>
#include <QHelpEvent>
#include <QStyle>
#include <QTableView>
#include <QToolTip>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace corvane {
namespace {

// The room a cell gives its text beside the text itself: the style's margin on either side and
// the grid line.
int cellMargin(const QTableView& grid) {
    const int margin = grid.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &grid) + 1;
    return 2 * margin + (grid.showGrid() ? 1 : 0);
}

// The width of a text as the sum of its characters' advances (unrounded): about the text's
// drawn width (kerning narrows it a little), and cheap enough to look at every cell of 32,767 rows.
class TextWidths {
public:
    explicit TextWidths(const QFont& font) : metrics_(font) { latin1_.fill(-1); }
    qreal operator()(const QString& text) {
        qreal width = 0;
        for (const QChar c : text) {
            if (c.unicode() < latin1_.size()) {
                qreal& advance = latin1_[c.unicode()];
                if (advance < 0)
                    advance = metrics_.horizontalAdvance(c);
                width += advance;
            } else {
                width += metrics_.horizontalAdvance(c);
            }
        }
        return width;
    }

private:
    QFontMetricsF metrics_;
    std::array<qreal, 256> latin1_;
};

}  // namespace

std::vector<double> ShareWidths(const std::vector<ColumnWant>& columns, double room) {
    std::vector<double> widths;
    double total = 0;
    for (const ColumnWant& c : columns) {
        widths.push_back(c.wanted);
        total += c.wanted;
    }
    if (total <= room)
        return widths;
    // The yielding columns are cut down to one level: each as wide as the level, but no narrower
    // than its least and no wider than its want; the level is the highest at which all fit.
    double high = 0;
    for (const ColumnWant& c : columns) {
        if (c.yields)
            high = std::max(high, c.wanted);
        else
            room -= c.wanted;
    }
    const auto widthAt = [](const ColumnWant& c, double level) {
        return std::max(c.least, std::min(level, c.wanted));
    };
    const auto sumAt = [&](double level) {
        double sum = 0;
        for (const ColumnWant& c : columns)
            sum += c.yields ? widthAt(c, level) : 0;
        return sum;
    };
    double low = 0;
    for (int step = 0; step < 50; ++step) {
        const double level = (low + high) / 2;
        (sumAt(level) <= room ? low : high) = level;
    }
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].yields)
            widths[i] = widthAt(columns[i], low);
    }
    return widths;
}

GridColumns::GridColumns(QTableView& grid, std::set<int> yielding)
    : QObject(&grid), grid_(grid), yielding_(std::move(yielding)) {
    grid_.setWordWrap(false);
    grid_.setTextElideMode(Qt::ElideRight);
    grid_.viewport()->installEventFilter(this);
    if (QAbstractItemModel* model = grid_.model())
        connect(model, &QAbstractItemModel::modelReset, this, &GridColumns::fit);
}

void GridColumns::setMinimumWidth(int column, int width) {
    minimum_[column] = width;
}

int GridColumns::wantedWidth(int column) const {
    const QAbstractItemModel* model = grid_.model();
    int caption = grid_.horizontalHeader()->sectionSizeHint(column);
    const auto minimum = minimum_.find(column);
    if (minimum != minimum_.end())
        caption = std::max(caption, minimum->second);
    if (model == nullptr)
        return caption;
    // The widest text by its characters, measured as drawn.
    TextWidths estimate(grid_.font());
    qreal widest = 0;
    QString widestText;
    for (int row = 0, rows = model->rowCount(); row < rows; ++row) {
        QString text = model->index(row, column).data().toString();
        const qreal width = estimate(text);
        if (width > widest) {
            widest = width;
            widestText = std::move(text);
        }
    }
    if (widestText.isEmpty())
        return caption;
    const int drawn = std::max(static_cast<int>(std::ceil(widest)),
                               grid_.fontMetrics().horizontalAdvance(widestText));
    return std::max(caption, drawn + cellMargin(grid_));
}

void GridColumns::fit() {
    wanted_.clear();
    const QHeaderView* header = grid_.horizontalHeader();
    for (int c = 0; c < header->count(); ++c) {
        if (!header->isSectionHidden(c))
            wanted_[c] = wantedWidth(c);
    }
    share();
}

void GridColumns::share() {
    QHeaderView* header = grid_.horizontalHeader();
    fittedWidth_ = grid_.viewport()->width();
    std::vector<int> shown;
    std::vector<ColumnWant> wants;
    for (const auto& [column, wanted] : wanted_) {
        if (header->isSectionHidden(column))
            continue;
        const bool yields = yielding_.count(column) > 0;
        int least = wanted;
        if (yields) {
            const auto minimum = minimum_.find(column);
            least = std::min(wanted, std::max(header->sectionSizeHint(column),
                                              minimum == minimum_.end() ? 0 : minimum->second));
        }
        shown.push_back(column);
        wants.push_back({double(wanted), double(least), yields});
    }
    const std::vector<double> widths = ShareWidths(wants, fittedWidth_);
    for (std::size_t i = 0; i < shown.size(); ++i)
        header->resizeSection(shown[i], static_cast<int>(widths[i]));
}

bool GridColumns::eventFilter(QObject* watched, QEvent* event) {
    // The viewport still has events while the grid is being destroyed, when the grid is no
    // longer a table view: the grid is not touched then.
    if (qobject_cast<QTableView*>(watched->parent()) != &grid_ || watched != grid_.viewport())
        return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::Resize && grid_.viewport()->width() != fittedWidth_) {
        share();
    } else if (event->type() == QEvent::ToolTip) {
        // The whole text of a cell whose text is cut; no tooltip for a text shown whole.
        const auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex index = grid_.indexAt(help->pos());
        const QString text = index.data().toString();
        const QRect cell = grid_.visualRect(index);
        if (index.isValid() &&
            QFontMetrics(grid_.font()).horizontalAdvance(text) + cellMargin(grid_) > cell.width())
            QToolTip::showText(help->globalPos(), text, grid_.viewport(), cell);
        else
            QToolTip::hideText();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace corvane
