#pragma once

#include "journal/LedgerCheck.h"
#include "payments/Payment.h"

#include <QStringList>

#include <cstddef>
#include <optional>
#include <vector>

namespace corvane {

// What a posting run does with one reviewed payment. Decided before the plan is made
// (DecidePaymentActions), from what is known of the payment and the answers to the run's
// questions; the plan (PostingPlan.h) follows it.
struct PaymentAction {
    enum class Kind {
        Post,          // posted (a payment of no tenant gets its split line only)
        LeaveOut,      // not posted, no split line
        RecordReturn,  // posted by an earlier run and now reported as not settled: its return is
                       // recorded, the payment is not posted again
    };
    enum class Reason {
        None,
        Note,                  // it carries a note and the user leaves such payments out
        ReturnedAfterPosting,  // posted before, now reported as not settled; its return is not
                               // recorded by this row
    };
    Kind kind = Kind::Post;
    Reason reason = Reason::None;                  // LeaveOut only
    std::optional<journal::PostedPayment> posted;  // RecordReturn only: the earlier posting

    static PaymentAction post() { return {}; }
    static PaymentAction leaveOut(Reason reason) { return {Kind::LeaveOut, reason, {}}; }
    static PaymentAction recordReturn(const journal::PostedPayment& posted) {
        return {Kind::RecordReturn, Reason::None, posted};
    }
};

// The payments of a run that are never posted as new income, by their standings (PaymentNotes.h:
// their return is recorded, or they were posted and are now reported as not settled), and the
// returns that may be recorded: the first row of each number reported as not settled.
struct ReturnedPayments {
    std::vector<bool> returned;  // by payment: never posted again
    // The first payment of each transaction number whose return may be recorded (its index) and
    // its posting.
    std::vector<std::size_t> first;
    std::vector<journal::PostedPayment> posted;
    QStringList statuses;  // the processor's statuses of them, each once, in the rows' order
};
ReturnedPayments ReturnedPaymentsOf(const std::vector<Payment>& payments);

// The questions a run asks before it posts: how many noted payments it asks to leave out, how
// many returns it asks to record.
struct DueQuestions {
    int noted = 0;
    int returns = 0;
};
DueQuestions QuestionsDue(const std::vector<Payment>& payments, const ReturnedPayments& returned);

// The user's answers (or the answers the questions suggest: Yes to both).
struct PostingAnswers {
    bool leaveNotedOut = false;
    bool recordReturns = false;
};
inline constexpr PostingAnswers kSuggestedAnswers{true, true};

// One action per payment: a payment whose return is recorded, or returned after posting, is never
// posted again (the first of its number returned after posting records the return when the user
// says so); a matched payment with a note the notes question asks about (askedAboutNote) is left
// out when the user says so; every other payment is posted.
std::vector<PaymentAction> DecidePaymentActions(const std::vector<Payment>& payments,
                                                const ReturnedPayments& returned,
                                                const PostingAnswers& answers);

}  // namespace corvane
