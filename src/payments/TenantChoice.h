#pragma once

#include "journal/JournalRun.h"
#include "journal/PostingJournal.h"
#include "journal/RememberedTenants.h"
#include "payments/Payment.h"
#include "payments/TenantCandidates.h"

#include <QDate>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace corvane {

// The user's choice of tenant for payments whose account matches no tenant: made on the payment
// screen (frmChooseTenant), or remembered from an earlier choice (RememberedTenants.h). A chosen
// payment is filled as a match fills it and posts as a matched one does; its note says how its
// tenant was found unless a note of the duplicate guard applies (PaymentNotes.h), and it is not
// one the posting run asks about: choosing is the user's own decision.
inline const QString kChosenByYouNote = QStringLiteral("Chosen by you");
// "Matched by your choice of mm/dd/yyyy".
QString rememberedChoiceNote(const QDate& chosenOn);
// "Remembered tenant #n not found".
QString rememberedTenantGoneNote(std::int64_t tenantID);

// Fills the payment's tenant, unit address and tenant name as a match gives them for the tenant;
// returns false (the payment unchanged) when the ledger has no such tenant.
using TenantFill = std::function<bool(Payment& payment, std::int64_t tenantID)>;

// Matches each unmatched payment whose account has a remembered choice to the chosen tenant,
// with the note "Matched by your choice of ..."; when that tenant is gone the payment stays
// unmatched with the note "Remembered tenant #n not found". A payment matched by its own account
// is never changed. One look-up in the journal for all payments. Throws journal::JournalError.
void ApplyRememberedTenants(std::vector<Payment>& payments, journal::PostingJournal& journal,
                            const TenantFill& fill);

// Fills the payment with the tenant chosen on the screen, with the note "Chosen by you".
void FillChosenTenant(Payment& payment, const TenantCandidate& tenant);

// Gives each payment without a note its tenant choice's note (after NotePayments).
void AddTenantChoiceNotes(std::vector<Payment>& payments);

// The user's choice on the payment screen (frmChooseTenant): the payment at `at` gets `tenant`;
// with `remember` so do the other payments of its account that match no tenant (as the next load
// will match them), and the choice is kept for later loads, as made on `madeOn` at `computer`.
struct TenantChoice {
    std::size_t at = 0;
    TenantCandidate tenant;
    bool remember = false;
    QDate madeOn;
    QString computer;
};

// Applies the choice: fills the payments, notes them again (NoteAgain: their standings stay as
// the load found them), then keeps a remembered choice in `journal`, the journal the load opened,
// which is opened (created) in `programFolder` when there is none yet. When the journal cannot be
// opened or written its error is returned; the payments are chosen all the same.
std::optional<journal::JournalError> ApplyTenantChoice(
    std::vector<Payment>& payments, const TenantChoice& choice, ledger::Database& ledger,
    std::unique_ptr<journal::PostingJournal>& journal, const QString& programFolder);

}  // namespace corvane
