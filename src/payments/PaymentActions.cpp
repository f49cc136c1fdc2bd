#include "payments/PaymentActions.h"

#include "core/TextRules.h"
#include "payments/PaymentNotes.h"

#include <QSet>

namespace corvane {

ReturnedPayments ReturnedPaymentsOf(const std::vector<Payment>& payments) {
    ReturnedPayments found;
    found.returned.assign(payments.size(), false);
    QSet<QString> seen;
    for (std::size_t i = 0; i < payments.size(); ++i) {
        const Payment& p = payments[i];
        if (!neverPostedAgain(p))
            continue;
        found.returned[i] = true;
        if (p.note != NoteKind::ReturnedAfterPosting || !p.standing.posting ||
            seen.contains(p.transactionNumber))
            continue;
        seen.insert(p.transactionNumber);
        found.first.push_back(i);
        found.posted.push_back(*p.standing.posting);
        const QString status = trimBlanks(p.processorStatus);
        if (!found.statuses.contains(status))
            found.statuses << status;
    }
    return found;
}

DueQuestions QuestionsDue(const std::vector<Payment>& payments, const ReturnedPayments& returned) {
    DueQuestions due;
    for (std::size_t i = 0; i < payments.size(); ++i)
        due.noted += askedAboutNote(payments[i]) && !returned.returned[i];
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
        else if (answers.leaveNotedOut && askedAboutNote(payments[i]))
            actions[i] = PaymentAction::leaveOut(Reason::Note);
    }
    if (answers.recordReturns) {
        for (std::size_t r = 0; r < returned.first.size(); ++r)
            actions[returned.first[r]] = PaymentAction::recordReturn(returned.posted[r]);
    }
    return actions;
}

}  // namespace corvane
