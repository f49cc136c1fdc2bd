#pragma once

#include "core/Globals.h"
#include "journal/JournalDb.h"
#include "payments/LedgerPosting.h"
#include "payments/Payment.h"
#include "payments/PaymentActions.h"
#include "payments/PostingPlan.h"
#include "payments/PostingRun.h"

#include <QDate>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace corvane {

// What a posting run knows before it asks anything: its figures, its accounts (or the refusal of
// the run), the payments never posted again and the questions that are due.
struct PostingStart {
    PostingFigures figures;
    std::optional<PostingRefusal> refusal;  // the run stops here with this message
    PostingAccounts accounts;
    bool confirmationDue = false;  // fees or a deposit not chosen
    ReturnedPayments returned;
    DueQuestions due;
};

// Step 1 of a posting run (PostingRun.h), from what is already known: the preferences, the
// screen's choices, the payments with the standings the load found, and today. Reads no file and
// no database: a ledger that is not open refuses the run once the questions are answered.
PostingStart StartPosting(const LedgerPreferences& preferences, const PostingChoices& choices,
                          const std::vector<Payment>& payments, const QDate& today);

// How a posting run ended, as a kind with its data (PostingResultMessages words it).
struct PostingResult {
    enum class Kind {
        Cancelled,        // the user said No to the confirmation: nothing to tell
        Refused,          // `refusal`: nothing written
        DepositNotFound,  // the deposit just written could not be read back: nothing written
        Locked,           // the ledger is in use by another program: nothing written
        Failed,           // `failure` (the engine's description): nothing written
        JournalUnusable,  // the journal cannot be opened (`journalError`): nothing written
        Completed,        // committed; the steps after the commit may still have failed
    };
    Kind kind = Kind::Failed;
    std::optional<PostingRefusal> refusal;
    QString failure;
    std::optional<journal::JournalError> journalError;
    // Completed only: the posted payments' dates, the journal's run, and what failed after the
    // commit (the archive step's and the log's error descriptions).
    std::optional<PaymentDateRange> range;
    std::int64_t runID = 0;
    std::optional<QString> archiveFailure;
    std::optional<QString> logFailure;

    static PostingResult refused(PostingRefusal refusal) {
        PostingResult result;
        result.kind = Kind::Refused;
        result.refusal = std::move(refusal);
        return result;
    }
    static PostingResult of(Kind kind, QString failure = {}) {
        PostingResult result;
        result.kind = kind;
        result.failure = std::move(failure);
        return result;
    }
};

}  // namespace corvane
