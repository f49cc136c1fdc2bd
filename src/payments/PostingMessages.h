#pragma once

#include "payments/LedgerPosting.h"
#include "payments/Payment.h"
#include "payments/PostingPlan.h"
#include "payments/PostingRun.h"

#include <QString>

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

}  // namespace corvane
