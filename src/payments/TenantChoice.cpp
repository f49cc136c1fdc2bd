#include "payments/TenantChoice.h"

#include "core/TextRules.h"
#include "journal/RememberedTenants.h"
#include "payments/PaymentNotes.h"

namespace corvane {

namespace {

const QString kRememberedPrefix = QStringLiteral("Matched by your choice of ");

}  // namespace

QString rememberedChoiceNote(const QDate& chosenOn) {
    return kRememberedPrefix + shortDate(chosenOn);
}

QString rememberedTenantGoneNote(std::int64_t tenantID) {
    return QStringLiteral("Remembered tenant #%1 not found").arg(tenantID);
}

void ApplyRememberedTenants(std::vector<Payment>& payments, journal::PostingJournal& journal,
                            const TenantFill& fill) {
    QStringList accounts;
    for (const Payment& p : payments) {
        if (!p.matched())
            accounts << p.choiceAccount;
    }
    if (accounts.isEmpty())
        return;
    const auto remembered = journal::RememberedTenants(journal.db()).find(accounts);
    if (remembered.isEmpty())
        return;
    for (Payment& p : payments) {
        if (p.matched())
            continue;
        const auto choice = remembered.constFind(p.choiceAccount);
        if (choice == remembered.constEnd())
            continue;
        if (fill(p, choice->tenantID)) {
            p.tenantChoice = journal::TenantChoice::Remembered;
            p.rememberedOn = choice->chosenOn;
        } else {
            p.rememberedTenantGone = choice->tenantID;
        }
    }
}

void FillChosenTenant(Payment& payment, const TenantCandidate& tenant) {
    payment.tenantID = tenant.tenantID;
    payment.unitAddress = tenant.unitAddress;
    payment.tenantName = tenant.name;
    payment.tenantChoice = journal::TenantChoice::Chosen;
}

void AddTenantChoiceNotes(std::vector<Payment>& payments) {
    for (Payment& p : payments) {
        if (p.note != NoteKind::None)
            continue;
        if (p.matched() && p.tenantChoice == journal::TenantChoice::Chosen)
            p.note = NoteKind::ChosenByYou;
        else if (p.matched() && p.tenantChoice == journal::TenantChoice::Remembered)
            p.note = NoteKind::RememberedChoice;
        else if (!p.matched() && p.rememberedTenantGone)
            p.note = NoteKind::RememberedTenantGone;
    }
}

std::optional<journal::JournalError> ApplyTenantChoice(
    std::vector<Payment>& payments, const TenantChoice& choice, ledger::Database& ledger,
    std::unique_ptr<journal::PostingJournal>& journal, const QString& programFolder) {
    const QString account = payments[choice.at].choiceAccount;
    std::optional<journal::JournalError> problem;
    try {
        if (choice.remember && !journal)
            journal = journal::PostingJournal::open(programFolder);
    } catch (const journal::JournalError& e) {
        problem = e;
    }
    for (std::size_t i = 0; i < payments.size(); ++i) {
        if (i == choice.at ||
            (choice.remember && !payments[i].matched() && payments[i].choiceAccount == account))
            FillChosenTenant(payments[i], choice.tenant);
    }
    try {
        NoteAgain(payments, ledger, journal.get());
        AddTenantChoiceNotes(payments);
        if (choice.remember && journal) {
            journal::RememberedTenants(journal->db())
                .remember({account, choice.tenant.tenantID, choice.madeOn, choice.computer});
        }
    } catch (const journal::JournalError& e) {
        problem = e;
    }
    return problem;
}

}  // namespace corvane
