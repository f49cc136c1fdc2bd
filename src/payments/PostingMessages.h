#pragma once

#include "payments/LedgerPosting.h"
#include "payments/Payment.h"
#include "payments/PostingPlan.h"
#include "payments/PostingRun.h"
#include "payments/PostingSteps.h"
#include "platform/Dialogs.h"

#include <QString>

#include <optional>
#include <vector>

namespace corvane {

// The posting run's texts for the user, each written once here; the plan and the run report
// kinds with their data.

// "You do not have a valid Account Category set up for '<name>'. Nothing was posted ..."
QString invalidCategoryMessage(const QString& name);

// The message of a plan's refusal of the run, naming the payment it was found at.
QString refusalMessage(const PlanRefusal& refusal, const std::vector<Payment>& payments);
// The message of any refusal of a run (PostingPlan.h).
QString refusalMessage(const PostingRefusal& refusal, const std::vector<Payment>& payments);

// The question asked when fees or a deposit are not chosen.
QString confirmationQuestion(const PostingChoices& choices);

// The question asked when matched payments carry a note, and its title.
inline const QString kNotesTitle = QStringLiteral("Corvane Transaction Posting");
QString notesQuestion(int count);

// Step 2 of a posting run (PostingRun.h): asks the questions that are due, in this order: the
// confirmation (No cancels the run: none), whether to leave out the noted payments, whether to
// record the returns. A question not due is answered No.
std::optional<PostingAnswers> AskPostingQuestions(Dialogs& dialogs, const PostingStart& start,
                                                  const PostingChoices& choices);

// What the user is told of a posting run's result, in order (none when it was cancelled): the
// refusal or failure; or, for a completed run, the success, then that the log could not be
// written, then that the staged file `stagedFileName` could not be archived.
std::vector<UserMessage> PostingResultMessages(const PostingResult& result,
                                               const std::vector<Payment>& payments,
                                               const QString& stagedFileName);

}  // namespace corvane
