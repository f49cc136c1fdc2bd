#include "payments/PostingRun.h"

#include "core/PostingLog.h"
#include "core/Preferences.h"
#include "core/TextRules.h"
#include "journal/LedgerCheck.h"
#include "journal/PostingRecovery.h"
#include "payments/Deposit.h"
#include "payments/JournalNotes.h"
#include "payments/LedgerPosting.h"
#include "payments/Payment.h"
#include "payments/PaymentActions.h"
#include "payments/PaymentIntake.h"
#include "payments/PaymentReturns.h"
#include "payments/PostingMessages.h"
#include "payments/PostingPlan.h"
#include "platform/Error.h"

#include <QHash>
#include <QSet>
#include <QSysInfo>

#include <algorithm>
#include <exception>

namespace corvane {

namespace {

const QString kSuccessTitle = QStringLiteral("Lodgebook Corvane");

QString computerName(Environment& environment) {
    const QString name = environment.variable(QStringLiteral("COMPUTERNAME"));
    return name.isEmpty() ? QSysInfo::machineHostName() : name;
}

// The keys of what a run wrote.
struct WrittenPlan {
    std::vector<std::int64_t> transIDs;  // one per planned entry
    std::vector<WrittenReturn> returns;  // one per planned return
    std::optional<DepositResult> deposit;
};

// The journal's record of a run: every payment as shown, what became of it and the keys of what
// was written for it, and the balance changes (each tenant's and unit's sum).
journal::Run journalRun(Globals& globals, const std::vector<Payment>& payments,
                        const std::vector<PaymentAction>& actions, const PostingChoices& choices,
                        const PostingPlan& plan, const WrittenPlan& written,
                        const LoadedFile& file, const PostingFigures& figures) {
    journal::Run run;
    run.postedAt = globals.environment().now();
    run.postedAt.setTime(QTime(run.postedAt.time().hour(), run.postedAt.time().minute(),
                               run.postedAt.time().second()));
    run.computer = computerName(globals.environment());
    run.fileName = file.fileName;
    run.fileBytes = file.bytes;
    run.fileDigest = file.digest;
    run.remarkChoice = choices.remarkChoice;
    run.remarkText = choices.remarkText;
    run.postFees = choices.postMgmtFees;
    run.createDeposit = choices.createDeposit;
    run.depositNumber = choices.depositNumber;
    if (written.deposit) {
        run.depositID = written.deposit->depositID;
        run.depositAmount = written.deposit->total;
    }
    run.figures = {shortDate(figures.date), figures.balance.toPlainText(), {}, {}};
    if (plan.range) {
        run.figures.rangeFrom = plan.range->from;
        run.figures.rangeTo = plan.range->to;
    }

    run.rows.reserve(payments.size());
    for (std::size_t i = 0; i < payments.size(); ++i) {
        const Payment& p = payments[i];
        journal::RunRow r = RunRowAsShown(p);
        r.outcome = !p.matched() ? journal::RowOutcome::NoTenant
                    : actions[i].kind != PaymentAction::Kind::Post ? journal::RowOutcome::Note
                                                                   : journal::RowOutcome::Posted;
        run.rows.push_back(std::move(r));
    }
    for (std::size_t i = 0; i < plan.entries.size(); ++i) {
        const PlannedEntry& e = plan.entries[i];
        journal::RunRow& r = run.rows[e.payment];
        if (e.income) {
            r.incomeTransID = written.transIDs[i];
            r.incomeAmount = e.amount;
        } else {
            r.feeTransID = written.transIDs[i];
            r.feeAmount = e.amount;
        }
    }
    // The returns recorded, each linked to the run and line of the payment it returns.
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
                                         p.paid.posted.postedOn, figures.date, p.tenantID};
    }
    // Tenants, then units, each in key order.
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
        for (std::size_t i = 0; i < plan.deposit->lines.size(); ++i) {
            journal::RunRow& r = run.rows[plan.deposit->lines[i].payment];
            r.splitID = written.deposit->splitIDs[i];
            r.splitAmount = plan.deposit->lines[i].amount;
        }
    }
    return run;
}

// How the ledger transaction of a run ended.
struct WriteAttempt {
    enum class Kind { Committed, Refused, DepositNotFound, Locked, Failed };
    Kind kind = Kind::Failed;
    QString message;  // the refusal, or the engine's description of a failure
    std::optional<PaymentDateRange> range;
    std::int64_t runID = 0;
};

// Plans (preparePosting), checks and writes the whole run inside one ledger transaction; anything
// but a commit leaves the ledger as it was (the transaction rolls back when it goes out of scope,
// before the caller shows any message). Just before the commit the run goes into the journal as
// Pending (PostingJournal.h), so that a run that dies after it can be finished, or known as not
// posted, by the next start.
WriteAttempt writeRun(Globals& globals, journal::PostingJournal& journal,
                      const std::vector<Payment>& payments,
                      const std::vector<PaymentAction>& actions, const PostingChoices& choices,
                      const PostingAccounts& accounts, const PostingFigures& figures,
                      const LoadedFile& file) {
    using Kind = WriteAttempt::Kind;
    ledger::Database& db = *globals.LedgerDb;
    std::int64_t recorded = 0;
    try {
        ledger::Transaction transaction(db);
        const PostingEvidence evidence = PostingEvidence::Begin(db);
        const PostingPlan plan =
            preparePosting(db, payments, actions, choices, accounts, figures.date);
        if (plan.refusal) {
            return {Kind::Refused, refusalMessage(*plan.refusal, payments), {}, 0};
        }
        WrittenPlan written;
        written.transIDs = WriteLedgerEntries(db, plan.entries);
        written.returns = WriteReturns(db, plan.returns);
        if (plan.deposit) {
            written.deposit = CreateDeposit(db, *plan.deposit);
            if (!written.deposit->found) {
                return {Kind::DepositNotFound, {}, {}, 0};
            }
        }
        journal::Run run =
            journalRun(globals, payments, actions, choices, plan, written, file, figures);
        run.evidence = evidence.collect(db);
        recorded = journal.record(run);
        transaction.commit();
        return {Kind::Committed, {}, plan.range, recorded};
    } catch (const journal::JournalError& e) {
        // The ledger's transaction rolled back: the journal must hold every run that is posted.
        return {Kind::Failed,
                QStringLiteral("the posting journal %1 could not be written: %2")
                    .arg(journal::kJournalFileName, e.reason()),
                {},
                0};
    } catch (const std::exception& e) {
        if (recorded != 0) {
            try {
                journal.discard(recorded);
            } catch (const std::exception&) {
                // Left Pending, the run is found not posted by the next start.
            }
        }
        const auto* error = dynamic_cast<const Error*>(&e);
        if (error) {
            return {error->number() == errc::LedgerLocked ? Kind::Locked : Kind::Failed,
                    error->description(),
                    {},
                    0};
        }
        return {Kind::Failed, QString::fromLocal8Bit(e.what()), {}, 0};
    }
}

}  // namespace

PostingOutcome PostingRun::run(const std::vector<Payment>& reviewed, const PostingChoices& choices,
                               const LoadedFile& file) {
    Dialogs& dialogs = globals_.dialogs();
    const auto tell = [&](const QString& text, MsgIcon icon, const QString& title) {
        dialogs.messageBox(text, MsgButtons::Ok, icon, title);
    };
    const auto stop = [&](const QString& text, MsgIcon icon = MsgIcon::Information) {
        tell(text, icon, kProgramTitle);
        return PostingOutcome::Stopped;
    };
    const BusyPointer busy(dialogs);
    const QDate today = globals_.environment().today();
    // The figures the log keeps of this run: its day and the total of the payments reviewed.
    const PostingFigures figures{today, paymentsTotal(reviewed)};

    const RunAccounts accounts = AccountsOfRun(globals_.preferences, choices, today);
    if (accounts.refusal) {
        return stop(refusalMessage(*accounts.refusal, reviewed));
    }
    if (!choices.createDeposit || !choices.postMgmtFees) {
        if (dialogs.messageBox(confirmationQuestion(choices), MsgButtons::YesNo, MsgIcon::None,
                               kProgramTitle) != kAnswerYes) {
            return PostingOutcome::Stopped;
        }
    }
    // Payments whose return is recorded, or posted before and now reported as not settled, are
    // never posted again; the return of the latter may be recorded. Their standings say which.
    const ReturnedPayments returned = ReturnedPaymentsOf(reviewed);
    const DueQuestions due = QuestionsDue(reviewed, returned);
    PostingAnswers answers;
    if (due.noted > 0) {
        answers.leaveNotedOut = dialogs.messageBox(notesQuestion(due.noted), MsgButtons::YesNo,
                                                   MsgIcon::Question, kNotesTitle) == kAnswerYes;
    }
    if (due.returns > 0) {
        answers.recordReturns =
            dialogs.messageBox(ReturnsQuestion(due.returns, returned.statuses), MsgButtons::YesNo,
                               MsgIcon::Question, kReturnsTitle) == kAnswerYes;
    }
    const std::vector<PaymentAction> actions = DecidePaymentActions(reviewed, returned, answers);
    if (!globals_.LedgerDb) {
        return stop(refusalMessage(PostingRefusal{}, reviewed));
    }
    std::unique_ptr<journal::PostingJournal> journal;
    try {
        journal = journal::PostingJournal::open(globals_.programFolder());
    } catch (const journal::JournalError& e) {
        tell(unusableJournalMessage(e), MsgIcon::Critical, journal::kJournalErrorTitle);
        return PostingOutcome::Stopped;
    }

    const WriteAttempt attempt = writeRun(globals_, *journal, reviewed, actions, choices,
                                          accounts.accounts, figures, file);
    switch (attempt.kind) {
        case WriteAttempt::Kind::Committed:
            break;
        case WriteAttempt::Kind::Refused:
            return stop(attempt.message);
        case WriteAttempt::Kind::DepositNotFound:
            return stop(QStringLiteral("Deposit Not found"), MsgIcon::None);
        case WriteAttempt::Kind::Locked:
            return stop(QStringLiteral(
                "The Lodgebook ledger is in use by another program (Lodgebook may be saving its "
                "work). Nothing was posted to the Lodgebook Ledgers. Please wait a moment and "
                "press 'Update Lodgebook Ledgers NOW' again."));
        case WriteAttempt::Kind::Failed:
            return stop(QStringLiteral("The Lodgebook Ledgers could not be updated: %1\r\rNothing "
                                       "was posted to the Lodgebook Ledgers.")
                            .arg(attempt.message),
                        MsgIcon::Critical);
    }

    // The ledger is posted. What follows cannot undo that, so a failure is reported and the run
    // still counts as complete (the screen closes and the same rows cannot be posted twice). The
    // payments leave the staged name first, the moment after the commit.
    std::optional<QString> archiveFailure;
    try {
        ArchiveStagedPaymentFile(globals_.paymentFiles());
    } catch (const Error& e) {
        archiveFailure = e.description();
    }
    globals_.postingLog.lastDatePosted = shortDate(figures.date);
    globals_.postingLog.lastBalancePosted = figures.balance.toPlainText();
    if (attempt.range) {
        globals_.postingLog.lastRangeFrom = attempt.range->from;
        globals_.postingLog.lastRangeTo = attempt.range->to;
    }
    tell(QStringLiteral("Your Lodgebook Ledgers are now updated."), MsgIcon::Information,
         kSuccessTitle);
    try {
        WritePostingLog(globals_.files(), globals_.pathInProgramFolder(kPostingLogFileName),
                        globals_.postingLog);
        Q_EMIT globals_.postingLogSignals().figuresChanged();
    } catch (const Error& e) {
        tell(QStringLiteral("Your Lodgebook Ledgers are updated, but the Corvane log file %1 "
                            "could not be written: %2\r\rThe last posting figures it keeps are "
                            "out of date.")
                 .arg(kPostingLogFileName, e.description()),
             MsgIcon::Exclamation, kProgramTitle);
    }
    if (archiveFailure) {
        tell(QStringLiteral("Your Lodgebook Ledgers are updated, but the payment file %1 could "
                            "not be renamed to %2: %3\r\rThese payments are posted. Delete %1 "
                            "(under View Files) before you import again, or they will be offered "
                            "for posting a second time.")
                 .arg(globals_.stagedPaymentFileName(), kPaymentArchiveFileName, *archiveFailure),
             MsgIcon::Exclamation, kProgramTitle);
    }
    // The run is Posted once every step after the commit is done. While the payments are still
    // staged it stays Pending, and the next start or opening of the screen archives them.
    try {
        if (!archiveFailure)
            journal->setState(attempt.runID, journal::RunState::Posted);
    } catch (const journal::JournalError&) {
        // Left Pending, the run is found posted next time, which only repeats these steps.
    }
    return PostingOutcome::Completed;
}

}  // namespace corvane
