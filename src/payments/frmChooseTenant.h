#pragma once

#include "payments/TenantCandidates.h"

#include <QDialog>
#include <QString>

#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace corvane {

// The payment a tenant is chosen for, as the payment file gives it.
struct ChooseTenantInput {
    QString account;  // the account field, "T999"
    QString payerName;
    QString payerAddress;
    QString amount;
    QString date;
    QString transactionNumber;
};

// What the user chose.
struct ChooseTenantResult {
    TenantCandidate tenant;
    bool remember = true;  // keep the choice for the account's later payments
};

// "Corvane Choose Tenant": the tenant of a payment that matches no tenant, chosen by the user
// from the ledger's tenants, the best candidates first (TenantCandidates). Typing filters the
// list (the search box has the focus; the arrow keys move through the list from there), Enter or
// a double click uses the selected tenant, Esc cancels.
//
// Call order: load the candidates (TenantCandidates::load), construct over them (they are ranked
// for the payment and listed unfiltered, the best candidate selected), exec() (modal), then
// chosen(). The window does not own the candidates; they outlive it and can serve again.
class frmChooseTenant : public QDialog {
    Q_OBJECT
public:
    frmChooseTenant(const ChooseTenantInput& input, TenantCandidates& candidates,
                    QWidget* parent = nullptr);
    ~frmChooseTenant() override;

    // The choice once "Use This Tenant" was pressed; nullopt when cancelled.
    const std::optional<ChooseTenantResult>& chosen() const { return chosen_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void txtSearch_Changed(const QString& text);
    void selectRow(int row);
    void currentChanged();
    void cmdUse_Click();

    TenantCandidates& candidates_;
    std::optional<ChooseTenantResult> chosen_;

    QLineEdit* txtSearch_;
    QTableView* gridTenants_;
    QCheckBox* chkRemember_;
    QPushButton* cmdUse_;
    QPushButton* cmdCancel_;
};

}  // namespace corvane
