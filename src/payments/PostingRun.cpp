#include "payments/PostingRun.h"

#include "app/PostingLog.h"
#include "app/Preferences.h"
#include "app/TextRules.h"
#include "journal/LedgerCheck.h"
#include "journal/PostingRecovery.h"
#include "payments/Deposit.h"
#include "payments/JournalNotes.h"
#include "payments/LedgerPosting.h"
#include "payments/Payment.h"
#include "payments/PaymentIntake.h"
#include "payments/PaymentNotes.h"
#include "payments/PaymentReturns.h"
#include "payments/PostingMessages.h"
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

// The payments of a run that were posted before and are now reported as not settled: they are
// never posted again; `recorded` are the returns the user chose to record (all or none).
struct RunReturns {
    std::vector<std::size_t> notPosted;  // every such payment (its index in the run's payments)
    // The first payment of each transaction number, whose return is recorded, and the return.
    std::vector<std::size_t> payments;
    std::vector<PaymentReturn> recorded;
    QStringList statuses;  // the processor's statuses of them, each once
};

// The payments of the run that are never posted as new income (PaymentNotes.h), and of those
// reported as not settled after posting, the returns to record: the first row of each number.
RunReturns returnsOf(const std::vector<Payment>& payments) {
    RunReturns returns;
    QSet<QString> seen;
    for (std::size_t i = 0; i < payments.size(); ++i) {
        const Payment& p = payments[i];
        if (!neverPostedAgain(p))
            continue;
        returns.notPosted.push_back(i);
        if (p.note != NoteKind::ReturnedAfterPosting || !p.standing.posting ||
            seen.contains(p.transactionNumber))
            continue;
        seen.insert(p.transactionNumber);
        returns.payments.push_back(i);
        returns.recorded.push_back({p.transactionNumber, *p.standing.posting});
        const QString status = trimBlanks(p.processorStatus);
        if (!returns.statuses.contains(status))
            returns.statuses << status;
    }
    return returns;
}

// The split line of a recorded return in the run's deposit: the negative amount, on the account
// of the payment's entry.
SplitLine returnSplitLine(std::size_t payment, const PaymentReturn& paid, const WrittenReturn& w,
                          const PostingAccounts& accounts) {
    SplitLine line;
    line.payment = payment;
    line.amount = w.incomeAmount;
    line.accountID = w.accountID;
    line.postToID = w.tenantID;
    line.remark = ReturnRemark(paid.transactionNumber);
    line.postTo = w.accountID == accounts.lateFeeAccount && w.accountID != accounts.rentAccount
                      ? accounts.lateFeeCode
                      : accounts.rentCode;
    return line;
}

// The journal's record of a run: every payment as shown, what became of it and the keys of what
// was written for it, and the balance changes (each tenant's and unit's sum).
journal::Run journalRun(Globals& globals, const std::vector<Payment>& payments,
                        const PostingChoices& choices, const EntriesPlan& plan,
                        const std::vector<std::int64_t>& transIDs,
                        const std::optional<DepositPlan>& deposit,
                        const std::optional<DepositResult>& written, const LoadedFile& file,
                        const PostingFigures& figures, const RunReturns& returns,
                        const std::vector<WrittenReturn>& returned) {
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
    if (written) {
        run.depositID = written->depositID;
        run.depositAmount = written->total;
    }
    run.figures = {shortDate(figures.date), figures.balance.toPlainText(), {}, {}};
    if (plan.range) {
        run.figures.rangeFrom = plan.range->from;
        run.figures.rangeTo = plan.range->to;
    }

    run.rows.reserve(payments.size());
    for (const Payment& p : payments) {
        journal::RunRow r = RunRowAsShown(p);
        r.outcome = !p.matched() ? journal::RowOutcome::NoTenant
                    : p.leftOut  ? journal::RowOutcome::Note
                                 : journal::RowOutcome::Posted;
        run.rows.push_back(std::move(r));
    }
    QHash<std::int64_t, ledger::Currency> tenantChanges, unitChanges;
    for (std::size_t i = 0; i < plan.entries.size(); ++i) {
        const PlannedEntry& e = plan.entries[i];
        journal::RunRow& r = run.rows[e.payment];
        if (e.income) {
            r.incomeTransID = transIDs[i];
            r.incomeAmount = e.amount;
        } else {
            r.feeTransID = transIDs[i];
            r.feeAmount = e.amount;
        }
        if (e.changesUnit)
            unitChanges[e.postToID] += e.unitChange;
        if (e.changesTenant)
            tenantChanges[e.postToID] += e.tenantChange;
    }
    // The returns recorded, each linked to the run and line of the payment it returns.
    for (std::size_t i = 0; i < returned.size(); ++i) {
        const PaymentReturn& paid = returns.recorded[i];
        const WrittenReturn& w = returned[i];
        journal::RunRow& r = run.rows[returns.payments[i]];
        r.outcome = journal::RowOutcome::ReturnRecorded;
        r.incomeTransID = w.incomeTransID;
        r.incomeAmount = w.incomeAmount;
        r.feeTransID = w.feeTransID;
        r.feeAmount = w.feeAmount;
        r.returnOf = journal::ReturnLink{paid.posted.runID, paid.posted.line, paid.posted.postedOn,
                                         figures.date, w.tenantID};
        if (w.unitChange)
            unitChanges[w.tenantID] += *w.unitChange;
        if (w.tenantChange)
            tenantChanges[w.tenantID] += *w.tenantChange;
    }
    // Tenants, then units, each in key order.
    using Kind = journal::BalanceChange::Kind;
    for (const auto& [kind, sums] :
         {std::pair{Kind::Tenant, &tenantChanges}, std::pair{Kind::Unit, &unitChanges}}) {
        const auto first = run.balanceChanges.size();
        for (auto it = sums->cbegin(); it != sums->cend(); ++it)
            run.balanceChanges.push_back({kind, it.key(), it.value()});
        std::sort(run.balanceChanges.begin() + static_cast<std::ptrdiff_t>(first),
                  run.balanceChanges.end(),
                  [](const auto& a, const auto& b) { return a.key < b.key; });
    }
    if (deposit && written) {
        for (std::size_t i = 0; i < deposit->lines.size(); ++i) {
            journal::RunRow& r = run.rows[deposit->lines[i].payment];
            r.splitID = written->splitIDs[i];
            r.splitAmount = deposit->lines[i].amount;
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

// Plans, checks and writes the whole run inside one ledger transaction; anything but a commit
// leaves the ledger as it was (the transaction rolls back when it goes out of scope, before the
// caller shows any message). Just before the commit the run goes into the journal as Pending
// (PostingJournal.h), so that a run that dies after it can be finished, or known as not posted,
// by the next start.
WriteAttempt writeRun(Globals& globals, journal::PostingJournal& journal,
                      const std::vector<Payment>& payments, const PostingChoices& choices,
                      const PostingAccounts& accounts, const PostingFigures& figures,
                      const LoadedFile& file, const RunReturns& returns) {
    using Kind = WriteAttempt::Kind;
    ledger::Database& db = *globals.LedgerDb;
    std::int64_t recorded = 0;
    try {
        ledger::Transaction transaction(db);
        const PostingEvidence evidence = PostingEvidence::Begin(db);
        EntriesPlan plan;
        {
            LedgerLookup lookup(db);
            plan = PlanLedgerEntries(payments, choices, accounts, lookup);
        }
        if (plan.refusal) {
            return {Kind::Refused, refusalMessage(*plan.refusal, payments), {}, 0};
        }
        const std::vector<std::int64_t> transIDs = WriteLedgerEntries(db, plan.entries);
        const ReturnsResult returned = WriteReturns(db, returns.recorded, figures.date);
        if (returned.problem) {
            return {Kind::Refused, *returned.problem, {}, 0};
        }
        std::optional<DepositPlan> deposit;
        std::optional<DepositResult> written;
        if (choices.createDeposit) {
            deposit = PlanDeposit(payments, choices, accounts, figures.date);
            for (std::size_t i = 0; i < returned.written.size(); ++i) {
                deposit->lines.push_back(returnSplitLine(returns.payments[i], returns.recorded[i],
                                                         returned.written[i], accounts));
            }
            written = CreateDeposit(db, *deposit);
            if (!written->found) {
                return {Kind::DepositNotFound, {}, {}, 0};
            }
        }
        journal::Run run = journalRun(globals, payments, choices, plan, transIDs, deposit, written,
                                      file, figures, returns, returned.written);
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
    // The payments as reviewed; a copy only when some are left out (for their note, or as
    // payments posted before).
    const std::vector<Payment>* posted = &reviewed;
    std::vector<Payment> leavingOut;
    Dialogs& dialogs = globals_.dialogs();
    const auto tell = [&](const QString& text, MsgIcon icon, const QString& title) {
        dialogs.setBusyPointer(false);
        dialogs.messageBox(text, MsgButtons::Ok, icon, title);
    };
    const auto stop = [&](const QString& text, MsgIcon icon = MsgIcon::Information) {
        tell(text, icon, kProgramTitle);
        return PostingOutcome::Stopped;
    };
    dialogs.setBusyPointer(true);
    const QDate today = globals_.environment().today();
    // The figures the log keeps of this run: its day and the total of the payments reviewed.
    const PostingFigures figures{today, paymentsTotal(reviewed)};

    PostingAccounts accounts;
    const LedgerPreferences& preferences = globals_.preferences;
    if (!preferences.rentIncome.valid) {
        return stop(invalidCategoryMessage(QStringLiteral("Rent Income")));
    }
    accounts.rentAccount = preferences.rentIncome.account;
    accounts.rentCode = preferences.rentIncome.code;
    accounts.rentRemark = ExpandMonthRemark(preferences.rentIncomeRemark, today);
    if (!preferences.lateFee.valid) {
        return stop(invalidCategoryMessage(QStringLiteral("Late Fee Received")));
    }
    accounts.lateFeeAccount = preferences.lateFee.account;
    accounts.lateFeeCode = preferences.lateFee.code;
    accounts.lateFeeRemark = ExpandMonthRemark(preferences.lateFeeRemark, today);

    if (!choices.createDeposit || !choices.postMgmtFees) {
        dialogs.setBusyPointer(false);
        if (dialogs.messageBox(confirmationQuestion(choices), MsgButtons::YesNo, MsgIcon::None,
                               kProgramTitle) != kAnswerYes) {
            return PostingOutcome::Stopped;
        }
    }
    if (choices.postMgmtFees) {
        accounts.mgmtFeeCategoryValid = preferences.mgmtFee.valid;
        if (accounts.mgmtFeeCategoryValid) {
            accounts.mgmtFeeAccount = preferences.mgmtFee.account;
            accounts.mgmtFeeRemark = ExpandMonthRemark(preferences.mgmtFeeRemark, today);
        }
    }
    // Payments whose return is recorded, or posted before and now reported as not settled, are
    // never posted again; the return of the latter may be recorded. Their standings say which.
    RunReturns returns = returnsOf(reviewed);
    std::vector<bool> returned(reviewed.size(), false);
    for (const std::size_t i : returns.notPosted)
        returned[i] = true;
    const auto askedAbout = [](const Payment& p) { return askedAboutNote(p); };
    int noted = 0;
    for (std::size_t i = 0; i < reviewed.size(); ++i)
        noted += askedAbout(reviewed[i]) && !returned[i];
    bool leaveNotedOut = false;
    if (noted > 0) {
        dialogs.setBusyPointer(false);
        if (dialogs.messageBox(notesQuestion(noted), MsgButtons::YesNo, MsgIcon::Question,
                               kNotesTitle) == kAnswerYes) {
            leaveNotedOut = true;
        }
        dialogs.setBusyPointer(true);
    }
    // A copy of the payments as reviewed only when some are left out.
    if (leaveNotedOut || !returns.notPosted.empty()) {
        leavingOut = reviewed;
        for (std::size_t i = 0; i < leavingOut.size(); ++i)
            leavingOut[i].leftOut = (leaveNotedOut && askedAbout(leavingOut[i])) || returned[i];
        posted = &leavingOut;
    }
    if (!returns.payments.empty()) {
        dialogs.setBusyPointer(false);
        if (dialogs.messageBox(
                ReturnsQuestion(static_cast<int>(returns.payments.size()), returns.statuses),
                MsgButtons::YesNo, MsgIcon::Question, kReturnsTitle) != kAnswerYes) {
            returns.recorded.clear();
        }
        dialogs.setBusyPointer(true);
    }
    if (returns.recorded.empty())
        returns.payments.clear();
    if (!globals_.LedgerDb) {
        return stop(
            QStringLiteral("The Lodgebook ledger is not open. Nothing was posted to the "
                           "Lodgebook Ledgers."));
    }
    std::unique_ptr<journal::PostingJournal> journal;
    try {
        journal = journal::PostingJournal::open(globals_.programFolder());
    } catch (const journal::JournalError& e) {
        tell(unusableJournalMessage(e), MsgIcon::Critical, journal::kJournalErrorTitle);
        return PostingOutcome::Stopped;
    }

    const WriteAttempt attempt =
        writeRun(globals_, *journal, *posted, choices, accounts, figures, file, returns);
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
        ArchiveStagedPaymentFile(globals_);
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
        WritePostingLog(globals_);
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
    dialogs.setBusyPointer(false);
    return PostingOutcome::Completed;
}

}  // namespace corvane
