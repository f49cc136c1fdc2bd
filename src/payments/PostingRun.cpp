#include "payments/PostingRun.h"

#include "core/PostingLog.h"
#include "core/TextRules.h"
#include "journal/PostingRecovery.h"
#include "payments/Deposit.h"
#include "payments/LedgerPosting.h"
#include "payments/PaymentActions.h"
#include "payments/PaymentIntake.h"
#include "payments/PaymentReturns.h"
#include "payments/PostingMessages.h"
#include "payments/PostingPlan.h"
#include "payments/PostingSteps.h"
#include "platform/Error.h"

#include <exception>

namespace corvane {

namespace {

// The keys of what a run wrote.
struct WrittenPlan {
    std::vector<std::int64_t> transIDs;  // one per planned entry
    std::vector<WrittenReturn> returns;  // one per planned return
    std::optional<DepositResult> deposit;
};

// The journal's record of a run, before the keys: when and where it ran, from which file, with
// which choices and figures, and every payment as shown with what became of it.
journal::Run journalRunAsAsked(Environment& environment, const std::vector<Payment>& payments,
                               const std::vector<PaymentAction>& actions,
                               const PostingChoices& choices, const PostingPlan& plan,
                               const LoadedFile& file, const PostingFigures& figures) {
    journal::Run run;
    const QDateTime now = environment.now();
    run.postedAt =
        QDateTime(now.date(), QTime(now.time().hour(), now.time().minute(), now.time().second()));
    run.computer = computerName(environment);
    run.fileName = file.fileName;
    run.fileBytes = file.bytes;
    run.fileDigest = file.digest;
    run.remarkChoice = choices.remarkChoice;
    run.remarkText = choices.remarkText;
    run.postFees = choices.postMgmtFees;
    run.createDeposit = choices.createDeposit;
    run.depositNumber = choices.depositNumber;
    run.figures = {shortDate(figures.date), figures.balance.toPlainText(), {}, {}};
    if (plan.range) {
        run.figures.rangeFrom = plan.range->from;
        run.figures.rangeTo = plan.range->to;
    }
    run.rows.reserve(payments.size());
    for (std::size_t i = 0; i < payments.size(); ++i) {
        const Payment& p = payments[i];
        journal::RunRow r = RunRowAsShown(p);
        r.outcome = !p.matched()                                   ? journal::RowOutcome::NoTenant
                    : actions[i].kind != PaymentAction::Kind::Post ? journal::RowOutcome::Note
                                                                   : journal::RowOutcome::Posted;
        run.rows.push_back(std::move(r));
    }
    return run;
}

// Adds to the journal's record the keys of what was written for each payment (entries, returns
// linked to the run and line of the payment they return, split lines) and the balance changes
// (each tenant's, then each unit's sum, in key order).
void noteWritten(journal::Run& run, const PostingPlan& plan, const WrittenPlan& written,
                 const QDate& postedOn) {
    for (std::size_t i = 0; i < plan.entries.size(); ++i) {
        const PlannedEntry& e = plan.entries[i];
        journal::RunRow& r = run.rows[e.payment];
        (e.income ? r.incomeTransID : r.feeTransID) = written.transIDs[i];
        (e.income ? r.incomeAmount : r.feeAmount) = e.amount;
    }
    for (std::size_t i = 0; i < plan.returns.size(); ++i) {
        const PlannedReturn& p = plan.returns[i];
        const WrittenReturn& w = written.returns[i];
        journal::RunRow& r = run.rows[p.paid.payment];
        r.outcome = journal::RowOutcome::ReturnRecorded;
        r.incomeTransID = w.incomeTransID;
        r.incomeAmount = p.incomeAmount;
        r.feeTransID = w.feeTransID;
        r.feeAmount = w.feeTransID ? p.feeAmount : std::nullopt;
        r.returnOf = journal::ReturnLink{p.paid.posted.runID, p.paid.posted.line,
                                         p.paid.posted.postedOn, postedOn, p.tenantID};
    }
    using Kind = journal::BalanceChange::Kind;
    for (const PlanTenant& t : plan.tenants) {
        if (t.tenant.changed)
            run.balanceChanges.push_back({Kind::Tenant, t.tenantID, t.tenant.change});
    }
    for (const PlanTenant& t : plan.tenants) {
        if (t.unit.changed)
            run.balanceChanges.push_back({Kind::Unit, t.tenantID, t.unit.change});
    }
    if (plan.deposit && written.deposit) {
        run.depositID = written.deposit->depositID;
        run.depositAmount = written.deposit->total;
        for (std::size_t i = 0; i < plan.deposit->lines.size(); ++i) {
            journal::RunRow& r = run.rows[plan.deposit->lines[i].payment];
            r.splitID = written.deposit->splitIDs[i];
            r.splitAmount = plan.deposit->lines[i].amount;
        }
    }
}

// What a failure inside the ledger transaction tells: the ledger in use, or the engine's words.
PostingResult failureOf(const std::exception& e) {
    using Kind = PostingResult::Kind;
    if (const auto* error = dynamic_cast<const Error*>(&e)) {
        return error->number() == errc::LedgerLocked
                   ? PostingResult::of(Kind::Locked)
                   : PostingResult::of(Kind::Failed, error->description());
    }
    return PostingResult::of(Kind::Failed, QString::fromLocal8Bit(e.what()));
}

}  // namespace

PostingStart StartPosting(const LedgerPreferences& preferences, const PostingChoices& choices,
                          const std::vector<Payment>& payments, const QDate& today) {
    PostingStart start;
    // The figures the log keeps of this run: its day and the total of the payments reviewed.
    start.figures = {today, paymentsTotal(payments)};
    RunAccounts accounts = AccountsOfRun(preferences, choices, today);
    start.accounts = accounts.accounts;
    start.refusal = std::move(accounts.refusal);
    start.confirmationDue = !choices.createDeposit || !choices.postMgmtFees;
    // Payments whose return is recorded, or posted before and now reported as not settled, are
    // never posted again; the return of the latter may be recorded. Their standings say which.
    start.returned = ReturnedPaymentsOf(payments);
    start.due = QuestionsDue(payments, start.returned);
    return start;
}

PostingOutcome PostingRun::run(const std::vector<Payment>& reviewed, const PostingChoices& choices,
                               const LoadedFile& file) {
    Dialogs& dialogs = dialogs_;
    const BusyPointer busy(dialogs);
    const PostingStart start =
        StartPosting(preferences_, choices, reviewed, files_.environment.today());
    PostingResult result = PostingResult::refused(start.refusal.value_or(PostingRefusal{}));
    if (!start.refusal) {
        const std::optional<PostingAnswers> answers = AskPostingQuestions(dialogs, start, choices);
        result = answers ? post(reviewed, start, *answers, choices, file)
                         : PostingResult::of(PostingResult::Kind::Cancelled);
    }
    if (result.kind == PostingResult::Kind::Completed)
        finish(result, start.figures);
    for (const UserMessage& message :
         PostingResultMessages(result, reviewed, files_.payment.stagedName))
        tell(dialogs, message);
    return result.kind == PostingResult::Kind::Completed ? PostingOutcome::Completed
                                                         : PostingOutcome::Stopped;
}

// Plans (preparePosting), checks and writes the whole run inside one ledger transaction; anything
// but a commit leaves the ledger as it was (the transaction rolls back when it goes out of scope,
// before any message is shown). Just before the commit the run goes into the journal as Pending
// (PostingJournal.h), so that a run that dies after it can be finished, or known as not posted,
// by the next start.
PostingResult PostingRun::post(const std::vector<Payment>& payments, const PostingStart& start,
                               const PostingAnswers& answers, const PostingChoices& choices,
                               const LoadedFile& file) {
    using Kind = PostingResult::Kind;
    if (!files_.ledger)
        return PostingResult::refused(PostingRefusal{});
    try {
        if (!journal_)
            journal_ = journal::PostingJournal::open(files_.payment.programFolder);
    } catch (const journal::JournalError& e) {
        PostingResult result = PostingResult::of(Kind::JournalUnusable);
        result.journalError = e;
        return result;
    }
    const std::vector<PaymentAction> actions =
        DecidePaymentActions(payments, start.returned, answers);
    ledger::Database& db = *files_.ledger;
    std::int64_t recorded = 0;
    try {
        ledger::Transaction transaction(db);
        const PostingEvidence evidence = PostingEvidence::Begin(db);
        const PostingPlan plan =
            preparePosting(db, payments, actions, choices, start.accounts, start.figures.date);
        if (plan.refusal)
            return PostingResult::refused(*plan.refusal);
        WrittenPlan written;
        written.transIDs = WriteLedgerEntries(db, plan.entries);
        written.returns = WriteReturns(db, plan.returns);
        if (plan.deposit) {
            written.deposit = CreateDeposit(db, *plan.deposit);
            if (!written.deposit->found)
                return PostingResult::of(Kind::DepositNotFound);
        }
        journal::Run run = journalRunAsAsked(files_.environment, payments, actions, choices, plan,
                                             file, start.figures);
        noteWritten(run, plan, written, start.figures.date);
        run.evidence = evidence.collect(db);
        recorded = journal_->record(run);
        transaction.commit();
        PostingResult result = PostingResult::of(Kind::Completed);
        result.range = plan.range;
        result.runID = recorded;
        return result;
    } catch (const journal::JournalError& e) {
        // The ledger's transaction rolled back: the journal must hold every run that is posted.
        return PostingResult::of(Kind::Failed,
                                 QStringLiteral("the posting journal %1 could not be written: %2")
                                     .arg(journal::kJournalFileName, e.reason()));
    } catch (const std::exception& e) {
        if (recorded != 0) {
            try {
                journal_->discard(recorded);
            } catch (const std::exception&) {
                // Left Pending, the run is found not posted by the next start.
            }
        }
        return failureOf(e);
    }
}

// The ledger is posted. What follows cannot undo that, so a failure is noted in the result and
// the run still counts as complete (the screen closes and the same rows cannot be posted twice).
// The payments leave the staged name first, the moment after the commit.
void PostingRun::finish(PostingResult& result, const PostingFigures& figures) {
    try {
        ArchiveStagedPaymentFile(files_.payment);
    } catch (const Error& e) {
        result.archiveFailure = e.description();
    }
    files_.postingLog.lastDatePosted = shortDate(figures.date);
    files_.postingLog.lastBalancePosted = figures.balance.toPlainText();
    if (result.range) {
        files_.postingLog.lastRangeFrom = result.range->from;
        files_.postingLog.lastRangeTo = result.range->to;
    }
    try {
        WritePostingLog(files_.payment.files,
                        pathInFolder(files_.payment.programFolder, kPostingLogFileName),
                        files_.postingLog);
        Q_EMIT files_.logSignals.figuresChanged();
    } catch (const Error& e) {
        result.logFailure = e.description();
    }
    // The run is Posted once every step after the commit is done. While the payments are still
    // staged it stays Pending, and the next start or opening of the screen archives them.
    try {
        if (!result.archiveFailure)
            journal_->setState(result.runID, journal::RunState::Posted);
    } catch (const journal::JournalError&) {
        // Left Pending, the run is found posted next time, which only repeats these steps.
    }
}

}  // namespace corvane
