#include "payments/TenantChoice.h"

#include "app/TextRules.h"
#include "journal/RememberedTenants.h"
#include "payments/PaymentMatching.h"

namespace corvane {

namespace {

const QString kRememberedPrefix = QStringLiteral("Matched by your choice of ");

bool unmatched(const StagedRow& row) {
    return row.cell(staged::TID).startsWith(QStringLiteral("T#"));
}

}  // namespace

QString rememberedChoiceNote(const QDate& chosenOn) {
    return kRememberedPrefix + shortDate(chosenOn);
}

QString rememberedTenantGoneNote(std::int64_t tenantID) {
    return QStringLiteral("Remembered tenant #%1 not found").arg(tenantID);
}

QString choiceAccount(const QString& accountField) {
    QString account = accountField;
    account.remove(QLatin1Char(' '));
    return account;
}

void ApplyRememberedTenants(std::vector<StagedRow>& rows, journal::PostingJournal& journal,
                            const TenantFill& fill) {
    QStringList accounts;
    for (const StagedRow& row : rows) {
        if (unmatched(row))
            accounts << row.cell(staged::Account);
    }
    if (accounts.isEmpty())
        return;
    const auto remembered = journal::RememberedTenants(journal.db()).find(accounts);
    if (remembered.isEmpty())
        return;
    for (StagedRow& row : rows) {
        if (!unmatched(row))
            continue;
        const auto choice = remembered.constFind(row.cell(staged::Account));
        if (choice == remembered.constEnd())
            continue;
        row.setCell(staged::TenantChoiceNote, fill(row, choice->tenantID)
                                                  ? rememberedChoiceNote(choice->chosenOn)
                                                  : rememberedTenantGoneNote(choice->tenantID));
    }
}

void FillChosenTenant(StagedRow& row, const TenantCandidate& tenant) {
    row.setCell(staged::TID, tenant.tid);
    row.setCell(staged::UnitAddress, tenant.unitAddress.value_or(kTidNotFoundText));
    row.setCell(staged::TenantName, tenant.name);
    row.setCell(staged::TenantChoiceNote, kChosenByYouNote);
}

void AddTenantChoiceNotes(std::vector<StagedRow>& rows) {
    for (StagedRow& row : rows) {
        if (row.cell(staged::Note).isEmpty() && !row.cell(staged::TenantChoiceNote).isEmpty())
            row.setCell(staged::Note, row.cell(staged::TenantChoiceNote));
    }
}

journal::TenantChoice TenantChoiceOf(const StagedRow& row) {
    const QString& note = row.cell(staged::TenantChoiceNote);
    if (unmatched(row) || note.isEmpty())
        return journal::TenantChoice::None;
    return note == kChosenByYouNote ? journal::TenantChoice::Chosen
                                    : journal::TenantChoice::Remembered;
}

bool NoteIsTenantChoice(const StagedRow& row) {
    const QString& note = row.cell(staged::Note);
    return !note.isEmpty() && note == row.cell(staged::TenantChoiceNote);
}

}  // namespace corvane
