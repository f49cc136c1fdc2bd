#include "payments/PostingRun.h"

#include "app/PostingLog.h"
#include "journal/PostingRecovery.h"
#include "app/Preferences.h"
#include "payments/Deposit.h"
#include "payments/LedgerPosting.h"
#include "payments/PaymentIntake.h"
#include "platform/Error.h"

#include <exception>

namespace corvane {

namespace {

const QString kSuccessTitle = QStringLiteral("Lodgebook Corvane");

QString invalidCategoryMessage(const QString& name) {
    return QStringLiteral(
               "You do not have a valid Account Category set up for '%1'. Nothing was "
               "posted to the Lodgebook Ledgers. Please check your Account Category "
               "and Account Default settings under 'Preferences' from the Lodgebook "
               "Main Menu.")
        .arg(name);
}

// A category whose number text is a number.
bool validCategory(const QString& category) {
    const QString number = CategoryNumberText(category);
    return !number.isEmpty() && ledger::Currency::fromText(number).has_value();
}

QString confirmationQuestion(const PostingChoices& choices) {
    QString missing;
    if (!choices.createDeposit && !choices.postMgmtFees) {
        missing = QStringLiteral("create a BANK DEPOSIT or POST MANAGEMENT FEEES");
    } else if (!choices.postMgmtFees) {
        missing = QStringLiteral("POST MANAGEMENT FEEES");
    } else {
        missing = QStringLiteral("create a BANK DEPOSIT");
    }
    return QStringLiteral(
               "You have NOT chosen to %1 for these transactions. Press 'Yes' to "
               "CONTINUE or 'No' to CANCEL.")
        .arg(missing);
}

// How the ledger transaction of a run ended.
struct WriteAttempt {
    enum class Kind { Committed, Refused, DepositNotFound, Locked, Failed };
    Kind kind = Kind::Failed;
    QString message;  // the refusal, or the engine's description of a failure
    std::optional<PaymentDateRange> range;
};

// Plans, checks and writes the whole run inside one ledger transaction; anything but a commit
// leaves the ledger as it was (the transaction rolls back when it goes out of scope, before the
// caller shows any message). Just before the commit the run's note is written (PostingRecovery.h),
// so that a run that dies after it can be finished, or known as not posted, by the next start.
WriteAttempt writeRun(Globals& globals, const std::vector<StagedRow>& rows,
                      const PostingChoices& choices, const PostingAccounts& accounts,
                      const QDate& today) {
    using Kind = WriteAttempt::Kind;
    ledger::Database& db = *globals.LedgerDb;
    bool noteWritten = false;
    try {
        ledger::Transaction transaction(db);
        const PostingNote note = PostingNote::Begin(db);
        EntriesPlan plan;
        {
            LedgerLookup lookup(db);
            plan = PlanLedgerEntries(rows, choices, accounts, lookup);
        }
        if (plan.problem) {
            return {Kind::Refused, *plan.problem, {}};
        }
        WriteLedgerEntries(db, plan.entries);
        if (choices.createDeposit) {
            if (!CreateDeposit(db, PlanDeposit(rows, choices, accounts, today)).found) {
                return {Kind::DepositNotFound, {}, {}};
            }
        }
        PostedFigures figures{globals.LastDatePosted, globals.LastBalancePosted, {}, {}};
        if (plan.range) {
            figures.rangeFrom = plan.range->from;
            figures.rangeTo = plan.range->to;
        }
        noteWritten = true;
        note.Write(globals, figures);
        transaction.commit();
        return {Kind::Committed, {}, plan.range};
    } catch (const std::exception& e) {
        if (noteWritten) {
            try {
                RemovePostingNote(globals);
            } catch (const Error&) {
                // Left behind, the note is resolved as "not posted" by the next start.
            }
        }
        const auto* error = dynamic_cast<const Error*>(&e);
        if (error) {
            return {error->number() == errc::LedgerLocked ? Kind::Locked : Kind::Failed,
                    error->description(),
                    {}};
        }
        return {Kind::Failed, QString::fromLocal8Bit(e.what()), {}};
    }
}

}  // namespace

PostingOutcome PostingRun::run(const std::vector<StagedRow>& rows, const PostingChoices& choices) {
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

    PostingAccounts accounts;
    if (!validCategory(globals_.RentIncomeCategory)) {
        return stop(invalidCategoryMessage(QStringLiteral("Rent Income")));
    }
    accounts.rentAccount = CategoryNumber(globals_.RentIncomeCategory);
    accounts.rentCode = CategoryCode(globals_.RentIncomeCategory);
    accounts.rentRemark = ExpandMonthRemark(globals_.RentIncomeRemark, today);
    if (!validCategory(globals_.LateFeeCategory)) {
        return stop(invalidCategoryMessage(QStringLiteral("Late Fee Received")));
    }
    accounts.lateFeeAccount = CategoryNumber(globals_.LateFeeCategory);
    accounts.lateFeeCode = CategoryCode(globals_.LateFeeCategory);
    accounts.lateFeeRemark = ExpandMonthRemark(globals_.LateFeeRemark, today);

    if (!choices.createDeposit || !choices.postMgmtFees) {
        dialogs.setBusyPointer(false);
        if (dialogs.messageBox(confirmationQuestion(choices), MsgButtons::YesNo, MsgIcon::None,
                               kProgramTitle) != kAnswerYes) {
            return PostingOutcome::Stopped;
        }
    }
    if (choices.postMgmtFees) {
        accounts.mgmtFeeCategoryValid = validCategory(globals_.MgmtFeeCategory);
        if (accounts.mgmtFeeCategoryValid) {
            accounts.mgmtFeeAccount = CategoryNumber(globals_.MgmtFeeCategory);
            accounts.mgmtFeeRemark = ExpandMonthRemark(globals_.MgmtFeeRemark, today);
        }
    }
    if (!globals_.LedgerDb) {
        return stop(
            QStringLiteral("The Lodgebook ledger is not open. Nothing was posted to the "
                           "Lodgebook Ledgers."));
    }

    const WriteAttempt attempt = writeRun(globals_, rows, choices, accounts, today);
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
    if (attempt.range) {
        globals_.LastRangeFrom = attempt.range->from;
        globals_.LastRangeTo = attempt.range->to;
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
                 .arg(globals_.stagedPaymentFileName(), kPaymentArchiveFileName,
                      *archiveFailure),
             MsgIcon::Exclamation, kProgramTitle);
    }
    // The note goes once every step after the commit is done. While the payments are still
    // staged it stays, and the next start or opening of the screen archives them.
    try {
        if (!archiveFailure)
            RemovePostingNote(globals_);
    } catch (const Error&) {
        // A note left behind is found posted next time, which only repeats these steps.
    }
    dialogs.setBusyPointer(false);
    return PostingOutcome::Completed;
}

}  // namespace corvane
