#include "payments/PostingMessages.h"

#include "core/Globals.h"
#include "core/TextRules.h"
#include "journal/PostingJournal.h"
#include "payments/JournalNotes.h"
#include "platform/ledger/Value.h"

#include <QStringList>

namespace corvane {

using ledger::Value;

namespace {

const QString kNothingPosted = QStringLiteral("Nothing was posted to the Lodgebook Ledgers.");

// A refusal that names the row: its TID, amount and date, then what is wrong.
QString rowProblem(const Payment& payment, const QString& what) {
    return QStringList{QStringLiteral("Tenant ID: ") + shownTid(payment),
                       QStringLiteral("Amount: ") + payment.amountText,
                       QStringLiteral("Date: ") + payment.dateText,
                       QString(),
                       what,
                       QString(),
                       kNothingPosted}
        .join(QLatin1Char('\r'));
}

QString unitNotFoundMessage(const Payment& payment, const PlannedEntry& entry) {
    return QStringList{
        QStringLiteral("Not found: Tenant ID #") + QString::number(payment.tenantID.value_or(0)),
        QString(),
        QStringLiteral("Amount: ") + entry.amount.toPlainText(),
        QStringLiteral("Date: ") + Value::date(QDateTime(entry.date, QTime(0, 0))).toText(),
        QStringLiteral("Check Number: ") +
            (entry.checkNumber ? QString::number(*entry.checkNumber) : QString()),
        QStringLiteral("Remark: ") + entry.remark.value_or(QString()),
        QString(),
        QStringLiteral("The above Corvane deposit does not have a Tenant set up for Corvane, this "
                       "must be corrected before you can update any ledgers.")}
        .join(QLatin1Char('\r'));
}

}  // namespace

QString invalidCategoryMessage(const QString& name) {
    return QStringLiteral(
               "You do not have a valid Account Category set up for '%1'. Nothing was "
               "posted to the Lodgebook Ledgers. Please check your Account Category "
               "and Account Default settings under 'Preferences' from the Lodgebook "
               "Main Menu.")
        .arg(name);
}

QString refusalMessage(const PlanRefusal& r, const std::vector<Payment>& payments) {
    using Kind = PlanRefusal::Kind;
    const Payment& payment = payments.at(r.payment);
    switch (r.kind) {
        case Kind::InvalidDate:
            return rowProblem(payment, QStringLiteral("The payment date is not a valid date."));
        case Kind::TenantNotFound:
            return rowProblem(payment,
                              QStringLiteral("Tenant ID #%1 is not found in the Lodgebook ledger.")
                                  .arg(r.tenantID));
        case Kind::PropertyNotFound:
            return rowProblem(payment, QStringLiteral("Property #%1 of Tenant ID #%2 is not found "
                                                      "in the Lodgebook ledger.")
                                           .arg(r.propID)
                                           .arg(r.tenantID));
        case Kind::UnitNotFound:
            return unitNotFoundMessage(payment, r.entry);
        case Kind::MgmtFeeCategoryInvalid:
            return invalidCategoryMessage(QStringLiteral("Management Fee"));
        case Kind::OwnerNotFound:
            return rowProblem(
                payment,
                QStringLiteral("Owner #%1 of the property of Tenant ID #%2 is not found in "
                               "the Lodgebook ledger, so the management fee cannot be posted.")
                    .arg(r.ownerID)
                    .arg(r.tenantID));
        case Kind::InvalidMgmtFee:
            return rowProblem(
                payment,
                QStringLiteral("The management fee \"%1\" of Owner #%2 is neither an amount "
                               "nor a percentage (such as 25 or 10%). Please correct it in "
                               "Lodgebook.")
                    .arg(r.mgmtFee)
                    .arg(r.ownerID));
    }
    return {};
}

QString refusalMessage(const PostingRefusal& r, const std::vector<Payment>& payments) {
    using Kind = PostingRefusal::Kind;
    switch (r.kind) {
        case Kind::LedgerNotOpen:
            return QStringLiteral("The Lodgebook ledger is not open. ") + kNothingPosted;
        case Kind::InvalidCategory:
            return invalidCategoryMessage(r.category);
        case Kind::Plan:
            return refusalMessage(r.plan, payments);
        case Kind::ReturnEntriesGone:
            return QStringLiteral(
                       "The entries that posted payment %1 on %2 are no longer in the Lodgebook "
                       "ledger, so its return cannot be recorded. ")
                       .arg(r.returned.transactionNumber, shortDate(r.returned.postedOn)) +
                   kNothingPosted;
    }
    return {};
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

QString notesQuestion(int count) {
    return QStringLiteral(
               "%1 of these payments carry a note in the Note column (already posted, perhaps "
               "already in the ledger, repeated in this file, or not settled by the processor). "
               "Press 'Yes' to leave them out of this posting, or 'No' to post them as well.")
        .arg(count);
}

std::optional<PostingAnswers> AskPostingQuestions(Dialogs& dialogs, const PostingStart& start,
                                                  const PostingChoices& choices) {
    const auto yes = [&](const QString& question, MsgIcon icon, const QString& title) {
        return dialogs.messageBox(question, MsgButtons::YesNo, icon, title) == kAnswerYes;
    };
    if (start.confirmationDue &&
        !yes(confirmationQuestion(choices), MsgIcon::None, kProgramTitle)) {
        return std::nullopt;
    }
    PostingAnswers answers;
    if (start.due.noted > 0)
        answers.leaveNotedOut = yes(notesQuestion(start.due.noted), MsgIcon::Question, kNotesTitle);
    if (start.due.returns > 0) {
        answers.recordReturns = yes(ReturnsQuestion(start.due.returns, start.returned.statuses),
                                    MsgIcon::Question, kReturnsTitle);
    }
    return answers;
}

std::vector<UserMessage> PostingResultMessages(const PostingResult& result,
                                               const std::vector<Payment>& payments,
                                               const QString& stagedFileName) {
    using Kind = PostingResult::Kind;
    switch (result.kind) {
        case Kind::Cancelled:
            return {};
        case Kind::Refused:
            return {{refusalMessage(result.refusal.value_or(PostingRefusal{}), payments)}};
        case Kind::DepositNotFound:
            return {{QStringLiteral("Deposit Not found"), MsgIcon::None}};
        case Kind::Locked:
            return {{QStringLiteral(
                "The Lodgebook ledger is in use by another program (Lodgebook may be saving its "
                "work). Nothing was posted to the Lodgebook Ledgers. Please wait a moment and "
                "press 'Update Lodgebook Ledgers NOW' again.")}};
        case Kind::Failed:
            return {{QStringLiteral("The Lodgebook Ledgers could not be updated: %1\r\r")
                             .arg(result.failure) +
                         kNothingPosted,
                     MsgIcon::Critical}};
        case Kind::JournalUnusable:
            return {{journal::unusableJournalMessage(
                         result.journalError.value_or(journal::JournalError(QString()))),
                     MsgIcon::Critical, journal::kJournalErrorTitle}};
        case Kind::Completed:
            break;
    }
    std::vector<UserMessage> messages{{QStringLiteral("Your Lodgebook Ledgers are now updated."),
                                       MsgIcon::Information, QStringLiteral("Lodgebook Corvane")}};
    if (result.logFailure) {
        messages.push_back(
            {QStringLiteral("Your Lodgebook Ledgers are updated, but the Corvane log file %1 "
                            "could not be written: %2\r\rThe last posting figures it keeps are "
                            "out of date.")
                 .arg(kPostingLogFileName, *result.logFailure),
             MsgIcon::Exclamation});
    }
    if (result.archiveFailure) {
        messages.push_back(
            {QStringLiteral("Your Lodgebook Ledgers are updated, but the payment file %1 could "
                            "not be renamed to %2: %3\r\rThese payments are posted. Delete %1 "
                            "(under View Files) before you import again, or they will be offered "
                            "for posting a second time.")
                 .arg(stagedFileName, kPaymentArchiveFileName, *result.archiveFailure),
             MsgIcon::Exclamation});
    }
    return messages;
}

}  // namespace corvane
