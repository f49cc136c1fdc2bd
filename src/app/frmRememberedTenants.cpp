#include "app/frmRememberedTenants.h"

#include "core/TextRules.h"
#include "journal/RememberedTenants.h"
#include "platform/Centre.h"
#include "platform/Error.h"
#include "platform/ledger/LedgerSchema.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

namespace corvane {
namespace {

const QString kTitle = QStringLiteral("Corvane Remembered Tenants");
const QString kTenantGone = QStringLiteral("(tenant not found)");
constexpr int kAccountRole = Qt::UserRole + 1;

const QStringList kCaptions = {QStringLiteral("Account"), QStringLiteral("Tenant"),
                               QStringLiteral("Name"), QStringLiteral("Date"),
                               QStringLiteral("Computer")};

QPushButton* makeButton(const char* name, const QString& text, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    return button;
}

}  // namespace

frmRememberedTenants::frmRememberedTenants(Globals& globals, QWidget* parent)
    : QDialog(parent),
      globals_(globals),
      gridRemembered_(new QTableView(this)),
      choices_(new QStandardItemModel(0, static_cast<int>(kCaptions.size()), this)),
      labNone_(new QLabel(QStringLiteral("No tenant choice is remembered."), this)),
      cmdForget_(makeButton("cmdForget", QStringLiteral("&Forget This Choice"), this)),
      cmdExit_(makeButton("cmdExit", QStringLiteral("&Exit"), this)) {
    setObjectName(QStringLiteral("frmRememberedTenants"));
    setWindowTitle(kTitle);
    setModal(true);

    choices_->setHorizontalHeaderLabels(kCaptions);
    gridRemembered_->setObjectName(QStringLiteral("gridRemembered"));
    gridRemembered_->setAccessibleName(QStringLiteral("Remembered Tenants"));
    gridRemembered_->setModel(choices_);
    gridRemembered_->setSelectionBehavior(QAbstractItemView::SelectRows);
    gridRemembered_->setSelectionMode(QAbstractItemView::SingleSelection);
    gridRemembered_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gridRemembered_->verticalHeader()->hide();
    gridRemembered_->horizontalHeader()->setStretchLastSection(true);
    labNone_->setObjectName(QStringLiteral("labNone"));
    labNone_->hide();

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdForget_);
    buttons->addStretch();
    buttons->addWidget(cmdExit_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(labNone_);
    layout->addWidget(gridRemembered_, 1);
    layout->addLayout(buttons);
    resize(700, 360);

    connect(gridRemembered_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &frmRememberedTenants::selectionChanged);
    connect(cmdForget_, &QPushButton::clicked, this, &frmRememberedTenants::cmdForget_Click);
    connect(cmdExit_, &QPushButton::clicked, this, &QDialog::reject);
}

frmRememberedTenants::~frmRememberedTenants() = default;

void frmRememberedTenants::Load() {
    CentreOnScreen(*this);
    journal_.reset();
    try {
        journal_ = journal::PostingJournal::openExisting(globals_.programFolder());
    } catch (const journal::JournalError& e) {
        showJournalError(e);
        return;
    }
    fillList();
}

void frmRememberedTenants::showJournalError(const journal::JournalError& error) {
    journal_.reset();
    choices_->removeRows(0, choices_->rowCount());
    labNone_->hide();
    selectionChanged();
    globals_.dialogs().messageBox(journal::unusableJournalMessage(error), MsgButtons::Ok,
                                  MsgIcon::Critical, journal::kJournalErrorTitle);
}

void frmRememberedTenants::fillList() {
    std::vector<journal::RememberedTenant> choices;
    if (journal_) {
        try {
            choices = journal::RememberedTenants(journal_->db()).list();
        } catch (const journal::JournalError& e) {
            showJournalError(e);
            return;
        }
    }
    // The tenants' names as the ledger has them now.
    std::unique_ptr<ledger::IndexLookup> names;
    if (globals_.LedgerDb && !choices.empty()) {
        try {
            names = globals_.LedgerDb->openLookup(Tenants::table, Tenants::TenantIDIndex,
                                                  {Tenants::TLastName1, Tenants::TFirstName1});
        } catch (const Error&) {
            // Listed without names.
        }
    }
    choices_->removeRows(0, choices_->rowCount());
    for (const journal::RememberedTenant& choice : choices) {
        QString name;
        if (names) {
            const auto tenant = names->find(ledger::Value::integer(choice.tenantID));
            name = tenant ? listedTenantName((*tenant)[0].toText(), (*tenant)[1].toText())
                          : kTenantGone;
        }
        QList<QStandardItem*> items;
        for (const QString& text : {choice.account, QStringLiteral("T%1").arg(choice.tenantID),
                                    name, shortDate(choice.chosenOn), choice.computer})
            items.append(new QStandardItem(text));
        items.front()->setData(choice.account, kAccountRole);
        choices_->appendRow(items);
    }
    labNone_->setVisible(choices.empty());
    gridRemembered_->resizeColumnsToContents();
    selectRow(0);
    selectionChanged();
}

std::optional<QString> frmRememberedTenants::selectedAccount() const {
    const QModelIndexList rows = gridRemembered_->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return std::nullopt;
    return choices_->index(rows.front().row(), 0).data(kAccountRole).toString();
}

void frmRememberedTenants::selectRow(int row) {
    if (row < 0 || row >= choices_->rowCount())
        return;
    gridRemembered_->selectRow(row);
}

void frmRememberedTenants::selectionChanged() {
    cmdForget_->setEnabled(journal_ && selectedAccount().has_value());
}

void frmRememberedTenants::cmdForget_Click() {
    const auto account = selectedAccount();
    if (!journal_ || !account)
        return;
    const int row = gridRemembered_->selectionModel()->selectedRows().front().row();
    const QString tenant = choices_->index(row, 1).data().toString();
    Dialogs& dialogs = globals_.dialogs();
    const int answer = dialogs.messageBox(
        QStringLiteral("Forget the choice of tenant %1 for account %2? Payments already posted "
                       "stay as they are; later payments of account %2 will match no tenant "
                       "until you choose one again.")
            .arg(tenant, *account),
        MsgButtons::YesNo, MsgIcon::Question, kTitle);
    if (answer != kAnswerYes)
        return;
    try {
        journal::RememberedTenants(journal_->db()).forget(*account);
    } catch (const journal::JournalError& e) {
        showJournalError(e);
        return;
    }
    fillList();
    selectRow(std::min(row, choices_->rowCount() - 1));
}

}  // namespace corvane
