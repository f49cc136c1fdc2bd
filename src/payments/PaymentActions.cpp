#include "payments/PaymentActions.h"

#include "payments/JournalNotes.h"

#include <QSet>

namespace corvane {

namespace {

// The noted payments a run asks about: a tenant the user chose is the user's own decision.
bool askedAbout(const Payment& p) {
    return p.matched() && !p.note.isEmpty() && !p.noteIsTenantChoice;
}

}  // namespace

ReturnedPayments FindReturnedPayments(journal::PostingJournal* journal, ledger::Database& db,
                                      const std::vector<Payment>& payments) {
    ReturnedPayments found;
    found.returned.assign(payments.size(), false);
    if (!journal)
        return found;
    QStringList numbers;
    numbers.reserve(static_cast<qsizetype>(payments.size()));
    for (const Payment& p : payments)
        numbers << p.transactionNumber;
    const journal::PaymentsInJournal inJournal =
        journal::FindPaymentsInJournal(*journal, db, numbers);
    if (inJournal.posted.isEmpty())
        return found;
    QSet<QString> seen;
    for (std::size_t i = 0; i < payments.size(); ++i) {
        const QString& number = numbers[static_cast<qsizetype>(i)];
        const QString& status = payments[i].processorStatus;
        if (NoteFromJournal(inJournal, number, status).kind != JournalNoteKind::Returned)
            continue;
        found.returned[i] = true;
        if (seen.contains(number))
            continue;
        seen.insert(number);
        found.first.push_back(i);
        found.posted.push_back(inJournal.posted.value(number));
        if (!found.statuses.contains(status))
            found.statuses << status;
    }
    return found;
}

DueQuestions QuestionsDue(const std::vector<Payment>& payments, const ReturnedPayments& returned) {
    DueQuestions due;
    for (std::size_t i = 0; i < payments.size(); ++i)
        due.noted += askedAbout(payments[i]) && !returned.returned[i];
    due.returns = static_cast<int>(returned.first.size());
    return due;
}

std::vector<PaymentAction> DecidePaymentActions(const std::vector<Payment>& payments,
                                                const ReturnedPayments& returned,
                                                const PostingAnswers& answers) {
    using Reason = PaymentAction::Reason;
    std::vector<PaymentAction> actions(payments.size());
    for (std::size_t i = 0; i < payments.size(); ++i) {
        if (returned.returned[i])
            actions[i] = PaymentAction::leaveOut(Reason::ReturnedAfterPosting);
        else if (answers.leaveNotedOut && askedAbout(payments[i]))
            actions[i] = PaymentAction::leaveOut(Reason::Note);
    }
    if (answers.recordReturns) {
        for (std::size_t r = 0; r < returned.first.size(); ++r)
            actions[returned.first[r]] = PaymentAction::recordReturn(returned.posted[r]);
    }
    return actions;
}

}  // namespace corvane
