#include "payments/frmChooseTenant.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace corvane {
namespace {

template <typename T>
T* named(T* widget, const char* objectName) {
    widget->setObjectName(QString::fromLatin1(objectName));
    return widget;
}

}  // namespace

frmChooseTenant::frmChooseTenant(const ChooseTenantInput& input, TenantCandidates& candidates,
                                 QWidget* parent)
    : QDialog(parent), candidates_(candidates) {
    setObjectName(QStringLiteral("frmChooseTenant"));
    setWindowTitle(QStringLiteral("Corvane Choose Tenant"));
    setModal(true);
    resize(760, 520);

    // The payment's line: each value labelled by its caption.
    auto* payment = named(new QGroupBox(QStringLiteral("Payment:")), "fraPayment");
    auto* form = new QFormLayout(payment);
    const struct {
        const char* name;
        const char* caption;
        const QString& value;
    } lines[] = {
        {"labPayerName", "Payer Name:", input.payerName},
        {"labPayerAddress", "Payer Address:", input.payerAddress},
        {"labAmount", "Amount:", input.amount},
        {"labDate", "Date:", input.date},
        {"labTransactionNumber", "Transaction Number:", input.transactionNumber},
    };
    for (const auto& line : lines) {
        auto* caption = new QLabel(QString::fromLatin1(line.caption));
        auto* value = named(new QLabel(line.value), line.name);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        caption->setBuddy(value);
        form->addRow(caption, value);
    }

    auto* labSearch = named(new QLabel(QStringLiteral("&Search:")), "labSearch");
    txtSearch_ = named(new QLineEdit, "txtSearch");
    txtSearch_->setPlaceholderText(QStringLiteral("Tenant name, unit address or tenant number"));
    txtSearch_->setAccessibleName(QStringLiteral("Search"));
    txtSearch_->installEventFilter(this);
    labSearch->setBuddy(txtSearch_);

    candidates_.rankFor(input.payerName, input.payerAddress);
    gridTenants_ = named(new QTableView, "gridTenants");
    gridTenants_->setAccessibleName(QStringLiteral("Tenants"));
    gridTenants_->setModel(&candidates_);
    gridTenants_->setSelectionBehavior(QAbstractItemView::SelectRows);
    gridTenants_->setSelectionMode(QAbstractItemView::SingleSelection);
    gridTenants_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gridTenants_->setTabKeyNavigation(false);
    gridTenants_->verticalHeader()->hide();
    // Rows of one height: a list of 100,000 tenants is never measured row by row.
    gridTenants_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    gridTenants_->horizontalHeader()->setStretchLastSection(true);
    gridTenants_->setColumnWidth(TenantCandidates::ColTID, 80);
    gridTenants_->setColumnWidth(TenantCandidates::ColName, 200);
    gridTenants_->setColumnWidth(TenantCandidates::ColUnitAddress, 220);

    chkRemember_ =
        named(new QCheckBox(QStringLiteral("&Remember this tenant for account ") + input.account),
              "chkRemember");
    chkRemember_->setChecked(true);

    cmdUse_ = named(new QPushButton(QStringLiteral("&Use This Tenant")), "cmdUse");
    cmdCancel_ = named(new QPushButton(QStringLiteral("&Cancel")), "cmdCancel");
    cmdUse_->setDefault(true);
    cmdCancel_->setAutoDefault(false);
    connect(cmdUse_, &QPushButton::clicked, this, &frmChooseTenant::cmdUse_Click);
    connect(cmdCancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(txtSearch_, &QLineEdit::textChanged, this, &frmChooseTenant::txtSearch_Changed);
    connect(gridTenants_, &QAbstractItemView::doubleClicked, this, &frmChooseTenant::cmdUse_Click);
    connect(gridTenants_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &frmChooseTenant::currentChanged);
    connect(&candidates_, &QAbstractItemModel::modelReset, this, &frmChooseTenant::currentChanged);

    auto* search = new QHBoxLayout;
    search->addWidget(labSearch);
    search->addWidget(txtSearch_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(chkRemember_);
    buttons->addStretch();
    buttons->addWidget(cmdUse_);
    buttons->addWidget(cmdCancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(payment);
    layout->addLayout(search);
    layout->addWidget(gridTenants_, 1);
    layout->addLayout(buttons);

    setTabOrder(txtSearch_, gridTenants_);
    setTabOrder(gridTenants_, chkRemember_);
    setTabOrder(chkRemember_, cmdUse_);
    setTabOrder(cmdUse_, cmdCancel_);
    txtSearch_->setFocus(Qt::OtherFocusReason);
    selectRow(0);
}

frmChooseTenant::~frmChooseTenant() {
    // The candidates outlive the window; the grid lets go of them first.
    disconnect(&candidates_, nullptr, this, nullptr);
    gridTenants_->setModel(nullptr);
}

void frmChooseTenant::txtSearch_Changed(const QString& text) {
    candidates_.setFilter(text);
    selectRow(0);
}

void frmChooseTenant::selectRow(int row) {
    if (row < 0 || row >= candidates_.rowCount()) {
        gridTenants_->selectionModel()->clear();
        currentChanged();
        return;
    }
    const QModelIndex index = candidates_.index(row, 0);
    gridTenants_->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    gridTenants_->scrollTo(index);
    currentChanged();
}

void frmChooseTenant::currentChanged() {
    const QModelIndex current = gridTenants_->selectionModel()->currentIndex();
    cmdUse_->setEnabled(current.isValid() && current.row() < candidates_.rowCount());
}

void frmChooseTenant::cmdUse_Click() {
    const QModelIndex current = gridTenants_->selectionModel()->currentIndex();
    const auto candidate = candidates_.candidateAt(current.isValid() ? current.row() : -1);
    if (!candidate)
        return;
    chosen_ = ChooseTenantResult{*candidate, chkRemember_->isChecked()};
    accept();
}

bool frmChooseTenant::eventFilter(QObject* watched, QEvent* event) {
    // The keys that move through a list move through the tenants while the user types.
    if (watched == txtSearch_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp ||
            key == Qt::Key_PageDown) {
            QCoreApplication::sendEvent(gridTenants_, event);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace corvane
