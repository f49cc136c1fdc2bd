#pragma once

#include "journal/JournalRun.h"
#include "journal/PostingJournal.h"
#include "payments/StagedRow.h"
#include "payments/TenantCandidates.h"

#include <QDate>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace corvane {

// The user's choice of tenant for payments whose account matches no tenant: made on the payment
// screen (frmChooseTenant), or remembered from an earlier choice (RememberedTenants.h). A chosen
// row is filled as a match fills it and posts as a matched row does; its TenantChoiceNote cell
// says how its tenant was found. That note is the row's note unless a note of the duplicate
// guard applies (PaymentNotes.h), and it is not one the posting run asks about: choosing is the
// user's own decision.
inline const QString kChosenByYouNote = QStringLiteral("Chosen by you");
// "Matched by your choice of mm/dd/yyyy".
QString rememberedChoiceNote(const QDate& chosenOn);
// "Remembered tenant #n not found".
QString rememberedTenantGoneNote(std::int64_t tenantID);

// The account a choice is remembered for: the line's account field, blanks removed.
QString choiceAccount(const QString& accountField);

// Fills the row's TID, unit address and tenant name as a match gives them for the tenant;
// returns false (the row unchanged) when the ledger has no such tenant.
using TenantFill = std::function<bool(StagedRow& row, std::int64_t tenantID)>;

// Matches each unmatched row (TID "T#...") whose account has a remembered choice to the chosen
// tenant, with the note "Matched by your choice of ..."; when that tenant is gone the row stays
// unmatched with the note "Remembered tenant #n not found". A row matched by its own account is
// never changed. One look-up in the journal for all rows. Throws journal::JournalError.
void ApplyRememberedTenants(std::vector<StagedRow>& rows, journal::PostingJournal& journal,
                            const TenantFill& fill);

// Fills the row with the tenant chosen on the screen, with the note "Chosen by you".
void FillChosenTenant(StagedRow& row, const TenantCandidate& tenant);

// Gives each row without a note its tenant choice's note (after NotePayments).
void AddTenantChoiceNotes(std::vector<StagedRow>& rows);

// How the row's tenant was found, for the journal.
journal::TenantChoice TenantChoiceOf(const StagedRow& row);
// Whether the row's note is the one of its tenant choice (not asked about before posting).
bool NoteIsTenantChoice(const StagedRow& row);

}  // namespace corvane
