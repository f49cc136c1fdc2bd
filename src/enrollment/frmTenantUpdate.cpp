#include "enrollment/frmTenantUpdate.h"

#include "core/StartUp.h"
#include "enrollment/TenantExport.h"
#include "enrollment/TenantListModel.h"
#include "platform/Error.h"
#include "platform/OptionList.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QVBoxLayout>

#include <array>

namespace corvane {
namespace {

// The sort orders: item, ORDER BY clause, and the widths (twips) of the columns TID to
// "Tenant First" for that order; width 0 hides a column.
struct SortOrder {
    QString item;
    QString clause;
    std::array<int, 7> widths;
};

const std::array<SortOrder, 5> kSortOrders = {{
    {QStringLiteral("Owner Name"),
     QStringLiteral(" ORDER BY Owners.OLastName1, Owners.OFirstName1, Properties.PropName, "
                    "Units.UAddress"),
     {500, 2500, 1500, 0, 3000, 2000, 0}},
    {QStringLiteral("Property/Building Name"),
     QStringLiteral(" ORDER BY PropName, UAddress"),
     {500, 0, 0, 3465, 3500, 2000, 0}},
    {QStringLiteral("Rental Unit Address"),
     QStringLiteral(" ORDER BY UAddress, UNumber"),
     {500, 0, 0, 0, 4465, 2500, 2000}},
    {QStringLiteral("Tenant Name"),
     QStringLiteral(" ORDER BY TLastName1, TFirstName1"),
     {500, 0, 0, 0, 4465, 2500, 2000}},
    {QStringLiteral("Corvane"),
     QStringLiteral(" ORDER BY TACH, TLastName1, TFirstName1"),
     {500, 0, 0, 0, 4465, 2500, 2000}},
}};

const QString kEnrolledOnly = QStringLiteral(" WHERE Trim(Left(Tenants.TACH,1)) = 'Y'");

const QString kExportQuestion = QStringLiteral(
    "This will create an export file in CSV format (comma separated values) for all Corvane "
    "tenants. You can use this file in Excel and Word to create a merge letter informing your "
    "Tenants of their TID login and the benefits of the Corvane service. The file name that will "
    "be created is 'CorvaneTenantExport.csv' and will be found in your Lodgebook folder.\r\r"
    "Do you want to create the file now?");

QLabel* wrappedLabel(const QString& text, const QString& name, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setWordWrap(true);
    return label;
}

}  // namespace

frmTenantUpdate::frmTenantUpdate(Globals& globals, QWidget* parent)
    : QDialog(parent), globals_(globals) {
    setObjectName(QStringLiteral("frmTenantUpdate"));
    setWindowTitle(QStringLiteral("Corvane Tenant Update"));

    txtTenantUpdate_ = new QPlainTextEdit(this);
    txtTenantUpdate_->setObjectName(QStringLiteral("txtTenantUpdate"));
    txtTenantUpdate_->setPlainText(QStringLiteral(
        "This is where you can add or edit which tenants use the Corvane service. If you want a "
        "Tenant to be included, type a 'Y' in the 'Corvane' field. If an active tenant becomes "
        "'VACANT' it will be inactived at the Vantora site."));
    txtTenantUpdate_->setAccessibleName(txtTenantUpdate_->toPlainText());
    txtTenantUpdate_->setReadOnly(true);
    txtTenantUpdate_->setMaximumHeight(90);

    optDisplay_ = new OptionList(
        QStringLiteral("Choose one:"),
        {QStringLiteral("Show Corvane Tenants"), QStringLiteral("Show All Tenants")}, this);
    optDisplay_->setObjectName(QStringLiteral("optDisplay"));
    QStringList sortItems;
    for (const SortOrder& order : kSortOrders)
        sortItems.append(order.item);
    optSortBy_ = new OptionList(QStringLiteral("Sort by:"), sortItems, this);
    optSortBy_->setObjectName(QStringLiteral("optSortBy"));

    model_ = new TenantListModel(this);
    connect(model_, &TenantListModel::editRefused, this,
            [this](const UserMessage& message) { tell(globals_.dialogs(), message); });
    gridACH_ = new QTableView(this);
    gridACH_->setObjectName(QStringLiteral("gridACH"));
    gridACH_->setAccessibleName(QStringLiteral("Tenants"));
    gridACH_->setModel(model_);
    gridACH_->setSelectionBehavior(QAbstractItemView::SelectItems);
    gridACH_->setSelectionMode(QAbstractItemView::SingleSelection);
    gridACH_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                              QAbstractItemView::AnyKeyPressed |
                              QAbstractItemView::SelectedClicked);
    gridACH_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    gridACH_->verticalHeader()->hide();
    gridACH_->setWordWrap(false);

    chkSelectAll_ =
        new QCheckBox(QStringLiteral("Select or de-select  ALL TENANTS for Corvane"), this);
    chkSelectAll_->setObjectName(QStringLiteral("chkSelectAll"));
    cmdExport_ = new QPushButton(QStringLiteral("Create Corvane Tenant Export File"), this);
    cmdExport_->setObjectName(QStringLiteral("cmdExport"));
    cmdExit_ = new QPushButton(QStringLiteral("&Exit"), this);
    cmdExit_->setObjectName(QStringLiteral("cmdExit"));
    cmdExit_->setAutoDefault(false);
    cmdExport_->setAutoDefault(false);
    labListed_ = wrappedLabel(QStringLiteral("Tenants Listed:"), QStringLiteral("labListed"), this);
    labListed_->setWordWrap(false);
    labCount_ = wrappedLabel(QString(), QStringLiteral("labCount"), this);
    labCount_->setWordWrap(false);
    labListed_->setBuddy(labCount_);
    labTID_ = wrappedLabel(
        QStringLiteral("Note: the TID is the unique Tenant ID needed for each Tenant's login."),
        QStringLiteral("labTID"), this);
    labUpdatePSN_ = wrappedLabel(
        QStringLiteral("After you have updated this screen, you can then create an 'export' file. "
                       "That export file can be imported into your Vantora (online) account to "
                       "update your tenants."),
        QStringLiteral("labUpdatePSN"), this);

    auto* top = new QHBoxLayout;
    top->addWidget(txtTenantUpdate_, 1);
    top->addWidget(optDisplay_);
    top->addWidget(optSortBy_);

    auto* count = new QHBoxLayout;
    count->addWidget(labListed_);
    count->addWidget(labCount_);
    count->addStretch(1);
    count->addWidget(chkSelectAll_);

    auto* bottom = new QGridLayout;
    bottom->addWidget(labTID_, 0, 0);
    bottom->addWidget(labUpdatePSN_, 1, 0);
    bottom->addWidget(cmdExport_, 0, 1, 2, 1);
    bottom->addWidget(cmdExit_, 0, 2, 2, 1);
    bottom->setColumnStretch(0, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(gridACH_, 1);
    layout->addLayout(count);
    layout->addLayout(bottom);
    resize(980, 640);

    connect(optDisplay_, &OptionList::selectedIndexChanged, this,
            &frmTenantUpdate::optDisplay_Change);
    connect(optSortBy_, &OptionList::selectedIndexChanged, this, &frmTenantUpdate::GridSQL);
    // Ticked or cleared by the mouse, the keyboard or an assistive tool's "Toggle": the same steps.
    connect(chkSelectAll_, &QCheckBox::toggled, this, &frmTenantUpdate::chkSelectAll_Click);
    connect(cmdExport_, &QPushButton::clicked, this, &frmTenantUpdate::cmdExport_Click);
    connect(cmdExit_, &QPushButton::clicked, this, &QDialog::close);
}

void frmTenantUpdate::Load() {
    if (QScreen* s = screen()) {
        const QRect area = s->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
    gridACH_->setColumnHidden(TenantListModel::ColOID, true);
    gridACH_->setColumnHidden(TenantListModel::ColPID, true);
    // A ledger that start-up could not open is tried again before anything is listed.
    if (!ReopenLedger(globals_))
        return;
    loading_ = true;
    optDisplay_->setSelectedIndex(1);  // finds the loading flag set: no list yet
    optSortBy_->setSelectedIndex(2);   // lists all tenants by rental unit address
}

int frmTenantUpdate::twipsToPixels(int twips) const {
    return qRound(twips * gridACH_->logicalDpiX() / 1440.0);
}

void frmTenantUpdate::GridSQL() {
    commitOpenEdit();
    QString sql = kTenantListSql;
    const QString item = optSortBy_->selectedText();
    for (const SortOrder& order : kSortOrders) {
        if (item != order.item)
            continue;
        if (optDisplay_->selectedIndex() == 0)
            sql += kEnrolledOnly;
        sql += order.clause;
        for (int i = 0; i < static_cast<int>(order.widths.size()); ++i) {
            const int column = TenantListModel::ColTID + i;
            const int width = order.widths[static_cast<std::size_t>(i)];
            gridACH_->setColumnHidden(column, width == 0);
            if (width > 0)
                gridACH_->setColumnWidth(column, twipsToPixels(width));
        }
        break;
    }
    try {
        if (!globals_.LedgerDb) {
            throw Error(errc::LedgerFileNotFound, QStringLiteral("The ledger is not open."));
        }
        model_->load(*globals_.LedgerDb, sql);
    } catch (const Error& error) {
        ShowGeneralError(globals_.dialogs(), error.number(), error.description());
    }
    showCount();
}

void frmTenantUpdate::optDisplay_Change() {
    if (loading_) {
        loading_ = false;
        return;
    }
    GridSQL();
}

void frmTenantUpdate::chkSelectAll_Click(bool checked) {
    optDisplay_->setSelectedIndex(1);
    const QString question =
        checked ? QStringLiteral("Are you SURE you want to change ALL Tenants to ACTIVATE CORVANE?")
                : QStringLiteral("Are you SURE you want to REMOVE ALL Tenants from CORVANE?");
    const int answer = globals_.dialogs().messageBox(question, MsgButtons::YesNo, MsgIcon::None,
                                                     QStringLiteral("Tenant Update"));
    if (answer != kAnswerYes)
        return;
    try {
        model_->setAllFlags(checked ? QStringLiteral("Y") : QStringLiteral("N"));
    } catch (const Error& error) {
        ShowGeneralError(globals_.dialogs(), error.number(), error.description());
    }
    refreshList();
}

void frmTenantUpdate::cmdExport_Click() {
    const int answer = globals_.dialogs().messageBox(
        kExportQuestion, MsgButtons::YesNo, MsgIcon::None, QStringLiteral("Corvane Tenant Export"));
    if (answer != kAnswerYes)
        return;
    refreshList();
    try {
        tell(globals_.dialogs(),
             CreateTenantExportFile(globals_.LedgerDb.get(), globals_.files(), globals_.dialogs(),
                                    globals_.pathInProgramFolder(kTenantExportFileName)));
    } catch (const Error& error) {
        ShowGeneralError(globals_.dialogs(), error.number(), error.description());
    }
}

void frmTenantUpdate::done(int result) {
    commitOpenEdit();
    QDialog::done(result);
}

// Leaving the current cell commits an editor that is still open (or refuses its value).
void frmTenantUpdate::commitOpenEdit() {
    if (gridACH_->currentIndex().isValid())
        gridACH_->setCurrentIndex(QModelIndex());
}

void frmTenantUpdate::refreshList() {
    commitOpenEdit();
    try {
        model_->reload();
    } catch (const Error& error) {
        ShowGeneralError(globals_.dialogs(), error.number(), error.description());
    }
    showCount();
}

void frmTenantUpdate::showCount() {
    labCount_->setText(QString::number(model_->rowCount()));
}

}  // namespace corvane
