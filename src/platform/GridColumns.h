#pragma once

#include <QObject>

#include <map>
#include <set>
#include <vector>

class QTableView;

namespace corvane {

// What a column of a grid or a printed list wants: the width of its caption and widest text, the
// least it can do with, and whether it yields (its texts can be cut or wrapped) when room is short.
struct ColumnWant {
    double wanted = 0;
    double least = 0;
    bool yields = false;
};

// The columns' widths in `room`: each its wanted width when all fit; otherwise the columns that do
// not yield keep theirs and the yielding ones are cut down to one width, the widest that lets
// them all fit, except that none is narrower than its least width (so the widths may add up to
// more than the room) nor wider than it wants.
std::vector<double> ShareWidths(const std::vector<ColumnWant>& columns, double room);

// Sizes a grid's shown columns to what they hold, so that no caption or cell text is cut:
//  - each column as wide as its caption and its widest text, when the grid has room for them all
//    (the last column then takes the room left over);
//  - otherwise the other columns keep their widths and the yielding columns share the room that
//    is left, none narrower than its caption and none wider than its texts; a text that still does
//    not fit ends in "…" and shows whole as the cell's tooltip (the accessibility tree always has
//    the whole text, the model's).
// Rows are one line high; a text never wraps. The texts are measured when the model is reset
// and the widths worked out again then and when the grid changes width; a column the user drags
// keeps its width until then. Construct it over a grid that has its model.
class GridColumns : public QObject {
public:
    // `yielding`: the model's column numbers of the long texts (addresses, names, notes).
    GridColumns(QTableView& grid, std::set<int> yielding);

    // A column is at least this wide (an editor that must fit, say).
    void setMinimumWidth(int column, int width);
    // The width the column's caption and texts want, margins included.
    int wantedWidth(int column) const;
    // Measures the texts again and sizes the columns.
    void fit();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void share();

    QTableView& grid_;
    std::set<int> yielding_;
    std::map<int, int> minimum_;
    std::map<int, int> wanted_;  // by column, as last measured
    int fittedWidth_ = -1;       // the viewport's width at the last fit
};

}  // namespace corvane
