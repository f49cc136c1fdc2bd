#include "payments/frmPostingPreview.h"

#include "core/PdfReport.h"
#include "journal/OwnerTotals.h"
#include "platform/Centre.h"
#include "platform/Error.h"

#include <QAbstractTableModel>
#include <QDir>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QScrollArea>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace corvane {

namespace {

bool isAmount(const QString& text) {
    return text.startsWith(QLatin1Char('$')) || text.startsWith(QLatin1String("-$"));
}

// A table of the preview as a read-only model; cells are made as the view asks for them.
class PreviewTableModel final : public QAbstractTableModel {
public:
    PreviewTableModel(PostingPreview::Table table, QObject* parent)
        : QAbstractTableModel(parent), table_(std::move(table)) {}
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : table_.rows;
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(table_.columns.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid())
            return {};
        if (role == Qt::TextAlignmentRole) {
            // Amounts to the right.
            const bool amount = isAmount(table_.cell(index.row(), index.column()));
            return QVariant::fromValue(Qt::AlignVCenter |
                                       (amount ? Qt::AlignRight : Qt::AlignLeft));
        }
        if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)
            return {};
        return table_.cell(index.row(), index.column());
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (role != Qt::DisplayRole)
            return {};
        if (orientation == Qt::Horizontal)
            return table_.columns.value(section);
        return section + 1;
    }

private:
    PostingPreview::Table table_;
};

// "Deposit Number:" -> "DepositNumber"
QString objectNameOf(const QString& caption) {
    QString name;
    for (const QChar c : caption) {
        if (c.isLetterOrNumber())
            name += c;
    }
    return name;
}

QLabel* wrapped(const QString& text, const QString& objectName) {
    auto* label = new QLabel(text);
    label->setObjectName(objectName);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

// A caption and its value, the caption labelling the value.
void addFigures(QFormLayout& form, const std::vector<PostingPreview::Figure>& figures) {
    for (const PostingPreview::Figure& f : figures) {
        auto* caption = new QLabel(f.caption);
        auto* value = new QLabel(f.value);
        caption->setObjectName(QStringLiteral("lab") + objectNameOf(f.caption) +
                               QStringLiteral("Caption"));
        value->setObjectName(QStringLiteral("lab") + objectNameOf(f.caption));
        caption->setBuddy(value);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        form.addRow(caption, value);
    }
}

}  // namespace

QString PostingPreviewFileName(const QDateTime& at) {
    return QStringLiteral("Corvane Posting Preview %1.pdf")
        .arg(at.toString(QStringLiteral("yyyy-MM-dd HHmm")));
}

frmPostingPreview::frmPostingPreview(Globals& globals, const PostingPreview& preview,
                                     QWidget* parent)
    : QDialog(parent), globals_(globals), preview_(preview) {
    setObjectName(QStringLiteral("frmPostingPreview"));
    setWindowTitle(kPostingPreviewTitle);
    setModal(true);
    resize(1200, 760);

    auto* layout = new QVBoxLayout(this);
    if (preview.refusal()) {
        // Where the run would refuse, its message and nothing else.
        layout->addWidget(wrapped(*preview.refusal(), QStringLiteral("labRefusal")));
        layout->addStretch();
        resize(720, 320);
    } else {
        layout->addWidget(wrapped(PostingPreview::summary(), QStringLiteral("labSummary")));
        auto* content = new QWidget;
        auto* tables = new QVBoxLayout(content);
        for (const PostingPreview::Table& table : preview.tables()) {
            auto* caption = new QLabel(table.caption);
            caption->setObjectName(QStringLiteral("lab") + objectNameOf(table.caption));
            auto* view = new QTableView;
            view->setObjectName(QStringLiteral("grid") + objectNameOf(table.caption));
            view->setAccessibleName(table.caption);
            caption->setBuddy(view);
            view->setModel(new PreviewTableModel(table, view));
            view->setEditTriggers(QAbstractItemView::NoEditTriggers);
            view->setSelectionBehavior(QAbstractItemView::SelectRows);
            view->setWordWrap(false);
            view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
            view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
            view->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
            view->horizontalHeader()->setStretchLastSection(true);
            // Each column as wide as its caption and the cells of its first rows.
            view->horizontalHeader()->setResizeContentsPrecision(100);
            view->resizeColumnsToContents();
            // Short tables as tall as their rows; long ones scroll within 16 rows.
            const int shown = std::clamp(table.rows, 1, 16);
            view->setFixedHeight(view->horizontalHeader()->sizeHint().height() +
                                 shown * view->verticalHeader()->defaultSectionSize() + 4 +
                                 view->horizontalScrollBar()->sizeHint().height());
            tables->addWidget(caption);
            tables->addWidget(view);
        }
        auto* figures = new QHBoxLayout;
        auto* deposit = new QGroupBox(QStringLiteral("Deposit"));
        deposit->setObjectName(QStringLiteral("fraDeposit"));
        addFigures(*new QFormLayout(deposit), preview.deposit());
        auto* totals = new QGroupBox(QStringLiteral("Totals"));
        totals->setObjectName(QStringLiteral("fraTotals"));
        addFigures(*new QFormLayout(totals), preview.totals());
        figures->addWidget(deposit, 1, Qt::AlignTop);
        figures->addWidget(totals, 1, Qt::AlignTop);
        tables->addLayout(figures);
        tables->addStretch();
        auto* scroll = new QScrollArea;
        scroll->setObjectName(QStringLiteral("scrPreview"));
        scroll->setWidgetResizable(true);
        scroll->setWidget(content);
        layout->addWidget(scroll, 1);
    }

    cmdSavePdf_ = new QPushButton(QStringLiteral("&Save as PDF..."));
    cmdSavePdf_->setObjectName(QStringLiteral("cmdSavePdf"));
    cmdClose_ = new QPushButton(QStringLiteral("&Close"));
    cmdClose_->setObjectName(QStringLiteral("cmdClose"));
    for (QPushButton* b : {cmdSavePdf_, cmdClose_})
        b->setAutoDefault(false);
    connect(cmdSavePdf_, &QPushButton::clicked, this, &frmPostingPreview::SaveAsPdf);
    connect(cmdClose_, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdSavePdf_);
    buttons->addStretch();
    buttons->addWidget(cmdClose_);
    layout->addLayout(buttons);
    cmdClose_->setFocus();
}

void frmPostingPreview::SaveAsPdf() {
    Dialogs& dialogs = globals_.dialogs();
    QString path;
    try {
        BusyPointer busy(dialogs);
        path = globals_.pathInProgramFolder(PostingPreviewFileName(globals_.environment().now()));
        WritePostingPreview(preview_, path);
    } catch (const Error& e) {
        dialogs.messageBox(
            QStringLiteral("The posting preview could not be written: %1").arg(e.description()),
            MsgButtons::Ok, MsgIcon::Exclamation, kPostingPreviewTitle);
        return;
    }
    dialogs.messageBox(
        QStringLiteral("The posting preview was written to:\r") + QDir::toNativeSeparators(path),
        MsgButtons::Ok, MsgIcon::Information, kPostingPreviewTitle);
    globals_.platform().shell.openDocument(path);
}

void WritePostingPreview(const PostingPreview& preview, const QString& path) {
    std::vector<PdfPart> parts;
    PdfPart top;
    // The refusal in the message's own lines, as the run shows it.
    top.lines = preview.refusal() ? preview.refusal()->split(QLatin1Char('\r'))
                                  : QStringList{PostingPreview::summary()};
    parts.push_back(top);
    if (!preview.refusal()) {
        const std::vector<PostingPreview::Table> tables = preview.tables();
        for (const PostingPreview::Table& table : tables) {
            PdfPart gap;
            gap.lines = {QString()};
            parts.push_back(gap);
            PdfPart part;
            part.heading = table.caption;
            // Amounts to the right, as the window shows them: a column whose first text is one.
            const int n = static_cast<int>(table.columns.size());
            for (int c = 0; c < n; ++c) {
                QString first;
                for (int r = 0; r < table.rows && first.isEmpty(); ++r)
                    first = table.cell(r, c);
                part.columns.push_back({table.columns[c], isAmount(first)});
            }
            part.rows = table.rows;
            part.cells = [&table, n](int row) {
                QStringList cells;
                for (int c = 0; c < n; ++c)
                    cells << table.cell(row, c);
                return cells;
            };
            parts.push_back(std::move(part));
        }
        PdfPart figures;
        figures.lines << QString() << QStringLiteral("Deposit");
        for (const PostingPreview::Figure& f : preview.deposit())
            figures.lines << f.caption + QLatin1Char(' ') + f.value;
        figures.lines << QString() << QStringLiteral("Totals");
        for (const PostingPreview::Figure& f : preview.totals())
            figures.lines << f.caption + QLatin1Char(' ') + f.value;
        figures.keepTogether = true;
        parts.push_back(figures);
        WritePdfReport(path, kPostingPreviewTitle, parts);
        return;
    }
    WritePdfReport(path, kPostingPreviewTitle, parts);
}

}  // namespace corvane
