#include "platform/GridColumns.h"

#include <QAbstractItemModel>
#include <QEvent>
#include <QHeaderView>
#include <QHelpEvent>
#include <QStyle>
#include <QTableView>
#include <QToolTip>

#include <algorithm>
#include <array>
#include <vector>

namespace corvane {
namespace {

// The room a cell gives its text beside the text itself: the style's margin on either side and
// the grid line.
int cellMargin(const QTableView& grid) {
    const int margin = grid.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &grid) + 1;
    return 2 * margin + (grid.showGrid() ? 1 : 0);
}

// The width of a text as the sum of its characters' advances: never less than the text's drawn
// width (kerning only narrows), and cheap enough to look at every cell of 32,767 rows.
class TextWidths {
public:
    explicit TextWidths(const QFontMetrics& metrics) : metrics_(metrics) { latin1_.fill(-1); }
    int operator()(const QString& text) {
        int width = 0;
        for (const QChar c : text) {
            if (c.unicode() < latin1_.size()) {
                int& advance = latin1_[c.unicode()];
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
    const QFontMetrics& metrics_;
    std::array<int, 256> latin1_;
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
    const QFontMetrics metrics(grid_.font());
    TextWidths width(metrics);
    int widest = 0;
    for (int row = 0, rows = model->rowCount(); row < rows; ++row)
        widest = std::max(widest, width(model->index(row, column).data().toString()));
    return std::max(caption, widest == 0 ? 0 : widest + cellMargin(grid_));
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
    if (watched != grid_.viewport())
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
