#pragma once

#include "core/Preferences.h"
#include "journal/PostingJournal.h"
#include "journal/PostingRecovery.h"
#include "payments/LoadedFile.h"
#include "payments/Payment.h"
#include "platform/Dialogs.h"

#include <QDate>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace corvane {

// What the payment screen's controls say about a posting run.
struct PostingChoices {
    int remarkChoice = 0;        // optRemark: 0 default remark, 1 the payment kind, 2 remarkText
    QString remarkText;          // txtRemark
    bool postMgmtFees = false;   // chkPostMgmtFees
    bool createDeposit = false;  // chkCreateDeposit
    QString depositNumber;       // txtCreateDeposit
};

// The figures a run leaves in the posting log: the day it posted and the total of its payments
// without their signs.
struct PostingFigures {
    QDate date;
    ledger::Currency balance;
};

enum class PostingOutcome {
    Completed,  // everything written and committed; message shown, log rewritten, file archived
    Stopped,    // cancelled or refused; nothing written; the screen stays open with its rows
};

struct PostingStart;
struct PostingAnswers;
struct PostingResult;

// The update of the payment screen's "Update Lodgebook Ledgers NOW" button, up to (not
// including) closing the screen, as plain steps. run() takes them in this order:
//   1. StartPosting (PostingSteps.h, pure): the figures, the accounts from the preferences or
//      the refusal of an invalid rent income or late fee category, and, from the standings the
//      load found, the questions that are due;
//   2. AskPostingQuestions (PostingMessages.h, through Dialogs): the confirmation when fees or a
//      deposit are not chosen, whether to leave out the noted payments, whether to record the
//      returns; the answers decide each payment's action (DecidePaymentActions);
//   3. post(): in one ledger transaction, the plan (preparePosting, PostingPlan.h) checked and
//      written — entries, returns, deposit — and the run recorded in the journal as pending just
//      before the commit; any refusal or failure leaves the ledger and the journal as they were;
//   4. finish(), after a commit only: the staged file archived, the log's figures set and the
//      log written, the run marked posted in the journal (left pending while the payments are
//      still staged);
//   5. PostingResultMessages (PostingMessages.h) words the result; run() shows each message.
// The journal is the one the load opened (PaymentLoad::takeJournal); when there is none yet,
// post() opens (creates) it into the same pointer, so the screen keeps it for a next try.
class PostingRun {
public:
    // `files`: the ledger, the staged payment file, today's date and the posting log, the same
    // parts that settling an interrupted run works on (PostingRecovery.h). The windows and the
    // tests make one from the shared state with PostingRunOf (FromSharedState.h).
    PostingRun(Dialogs& dialogs, const LedgerPreferences& preferences, RunSettlement files,
               std::unique_ptr<journal::PostingJournal>& journal)
        : dialogs_(dialogs),
          preferences_(preferences),
          files_(std::move(files)),
          journal_(journal) {}
    // For drivers that have no journal of their own: the run opens it.
    PostingRun(Dialogs& dialogs, const LedgerPreferences& preferences, RunSettlement files)
        : PostingRun(dialogs, preferences, std::move(files), ownJournal_) {}
    PostingRun(const PostingRun&) = delete;
    PostingRun& operator=(const PostingRun&) = delete;

    // `payments` as reviewed; `file` the staged file they were loaded from (the journal keeps it).
    PostingOutcome run(const std::vector<Payment>& payments, const PostingChoices& choices,
                       const LoadedFile& file);

    // Step 3: writes the run of `payments` with the actions the answers decided.
    PostingResult post(const std::vector<Payment>& payments, const PostingStart& start,
                       const PostingAnswers& answers, const PostingChoices& choices,
                       const LoadedFile& file);
    // Step 4: the steps after a commit; their failures go into `result`.
    void finish(PostingResult& result, const PostingFigures& figures);

private:
    Dialogs& dialogs_;
    const LedgerPreferences& preferences_;
    RunSettlement files_;
    std::unique_ptr<journal::PostingJournal> ownJournal_;
    std::unique_ptr<journal::PostingJournal>& journal_;
};

}  // namespace corvane
