#include "journal/RunReversal.h"

#include "core/TextRules.h"
#include "journal/JournalHistory.h"
#include "journal/JournalRows.h"
#include "journal/LedgerCheck.h"
#include "platform/Error.h"
#include "platform/ledger/Database.h"
#include "platform/ledger/LedgerSchema.h"

#include <exception>
#include <memory>
#include <variant>

namespace corvane {

using journal::BalanceChange;
using journal::JournalError;
using journal::Run;
using journal::RunRow;
using journal::RunState;
using ledger::Currency;
using ledger::Value;

namespace {

QString postedAtText(const Run& run) {
    return run.postedAt.toString(QStringLiteral("MM/dd/yyyy HH:mm"));
}

QString depositText(const Run& run) {
    return QString::number(journal::DepositNumberOf(run).value_or(0));
}

// The ledger's records of a run, reached by their keys: its entries (Transactions), split lines
// (SplitPrintedChecks) and deposit (CheckDepPrinted), and the tenants and units whose balances
// it changed. Reads and writes inside whatever transaction the caller holds.
class RunRecords {
public:
    // `rivals`: the journal's settled runs, which may own keys the run wrote (LedgerCheck.h).
    explicit RunRecords(ledger::Database& db, std::vector<const Run*> rivals = {})
        : db_(db),
          rivals_(std::move(rivals)),
          entries_(db.openLookup(Transactions::table, PrimaryKey,
                                 {Transactions::TransAmount, Transactions::TransDate,
                                  Transactions::TransPostToID, Transactions::TransType})),
          splits_(db.openLookup(SplitPrintedChecks::table, PrimaryKey,
                                {SplitPrintedChecks::CkNumber, SplitPrintedChecks::CkAmount,
                                 SplitPrintedChecks::CkPostToID})),
          deposits_(db.openLookup(
              CheckDepPrinted::table, PrimaryKey,
              {CheckDepPrinted::CkAmount, CheckDepPrinted::CkNumber, CheckDepPrinted::CkType})),
          tenants_(db.openLookup(Tenants::table, Tenants::TenantIDIndex, {Tenants::TCurrBal})),
          units_(db.openLookup(Units::table, Units::UTenantIDIndex, {Units::UCurrBal})) {}

    // The first record that differs from what the run wrote, with how many more do.
    std::optional<ChangedRecord> firstChange(const Run& run) {
        using Kind = ChangedRecord::Kind;
        std::optional<ChangedRecord> first;
        int count = 0;
        const auto differs = [&](ChangedRecord record) {
            if (count++ == 0)
                first = std::move(record);
        };
        for (const journal::RunRecord& record : journal::LedgerCheck(db_, rivals_).records(run)) {
            if (record.state == journal::RecordState::AsWritten)
                continue;
            static const RunRow kNoRow;
            const RunRow& r =
                record.kind == journal::RunRecord::Kind::Deposit ? kNoRow : run.rows[record.row];
            // A return's entries are dated the day it was recorded.
            const QString date = r.returnOf ? shortDate(r.returnOf->recordedOn) : r.date;
            switch (record.kind) {
                case journal::RunRecord::Kind::Income:
                    differs({Kind::Entry, r.tid, r.incomeAmount.value_or(Currency()), date, {}, 0});
                    break;
                case journal::RunRecord::Kind::Fee:
                    differs({Kind::FeeEntry, r.tid, r.feeAmount.value_or(Currency()), date, {}, 0});
                    break;
                case journal::RunRecord::Kind::Split:
                    differs({Kind::SplitLine,
                             r.tid,
                             r.splitAmount.value_or(Currency()),
                             {},
                             depositText(run),
                             0});
                    break;
                case journal::RunRecord::Kind::Deposit:
                    differs({Kind::Deposit,
                             {},
                             run.depositAmount.value_or(Currency()),
                             {},
                             depositText(run),
                             0});
                    break;
            }
        }
        for (const BalanceChange& c : run.balanceChanges) {
            if (!balances(c).find(Value::integer(c.key))) {
                differs({c.kind == BalanceChange::Kind::Tenant ? Kind::TenantRecord : Kind::Unit,
                         {},
                         {},
                         {},
                         {},
                         c.key});
            }
        }
        if (first)
            first->more = count - 1;
        return first;
    }

    // Whether any record the run added is still in the ledger.
    bool holdsAny(const Run& run) {
        const auto has = [](ledger::IndexLookup& table, const std::optional<std::int64_t>& key) {
            return key && table.find(Value::integer(*key)).has_value();
        };
        if (has(*deposits_, run.depositID))
            return true;
        for (const RunRow& r : run.rows) {
            if (has(*entries_, r.incomeTransID) || has(*entries_, r.feeTransID) ||
                has(*splits_, r.splitID))
                return true;
        }
        return false;
    }

    // Removes the run's records and takes its balance changes off. firstChange() must have found
    // nothing in the same transaction.
    void remove(const Run& run) {
        for (const RunRow& r : run.rows) {
            if (r.incomeTransID)
                entries_->remove(Value::integer(*r.incomeTransID));
            if (r.feeTransID)
                entries_->remove(Value::integer(*r.feeTransID));
            if (r.splitID)
                splits_->remove(Value::integer(*r.splitID));
        }
        if (run.depositID)
            deposits_->remove(Value::integer(*run.depositID));
        for (const BalanceChange& c : run.balanceChanges) {
            if (!balances(c).addTo(Value::integer(c.key), 0, -c.amount)) {
                throw Error(
                    errc::NoCurrentRecord,
                    QStringLiteral("The balance of T%1 is no longer in the ledger.").arg(c.key));
            }
        }
    }

private:
    ledger::IndexLookup& balances(const BalanceChange& change) {
        return change.kind == BalanceChange::Kind::Tenant ? *tenants_ : *units_;
    }

    ledger::Database& db_;
    std::vector<const Run*> rivals_;
    std::unique_ptr<ledger::IndexLookup> entries_, splits_, deposits_, tenants_, units_;
};

// Stages the run's payment file again under the staged name; false (nothing written) when a
// payment file is staged already.
bool restagePaymentFile(const PaymentFiles& payment, const Run& run) {
    const QString staged = payment.stagedPath();
    if (payment.files.exists(staged))
        return false;
    payment.files.writeAtomically(staged, run.fileBytes);
    return true;
}

const QString kNothingChanged = QStringLiteral("Nothing was changed.");

// How the ledger transaction of a reversal ended.
struct ReversalAttempt {
    enum class Kind { Committed, Changed, Locked, JournalFailed, Failed };
    Kind kind = Kind::Failed;
    QString message;  // what differs, or the description of a failure
};

// Step 3 of RunReversal: anything but a commit leaves the ledger and the journal as they were.
// The records are checked again unless no other writer has committed since `checkedAt` (the
// ledger's content mark before the first check).
ReversalAttempt reverseInLedger(ledger::Database& db, journal::PostingJournal& journal,
                                const Run& run, const std::vector<const Run*>& rivals,
                                const ledger::Database::ContentMark& checkedAt) {
    using Kind = ReversalAttempt::Kind;
    bool reversing = false;
    try {
        ledger::Transaction transaction(db);
        RunRecords records(db, rivals);
        if (db.contentMark() != checkedAt) {
            if (const auto changed = records.firstChange(run))
                return {Kind::Changed, changedRecordText(*changed)};
        }
        records.remove(run);
        journal.setState(run.runID, RunState::Reversing);
        reversing = true;
        transaction.commit();
        return {Kind::Committed, {}};
    } catch (const std::exception& e) {
        if (reversing) {
            try {
                journal.setState(run.runID, RunState::Posted);
            } catch (const JournalError&) {
                // Left Reversing, the run is found whole in the ledger and settled as Posted.
            }
        }
        if (const auto* journalError = dynamic_cast<const JournalError*>(&e))
            return {Kind::JournalFailed, journal::journalUnusableText(*journalError)};
        if (const auto* error = dynamic_cast<const Error*>(&e)) {
            return {error->number() == errc::LedgerLocked ? Kind::Locked : Kind::Failed,
                    error->description()};
        }
        return {Kind::Failed, QString::fromLocal8Bit(e.what())};
    }
}

}  // namespace

QString changedRecordText(const ChangedRecord& r) {
    using Kind = ChangedRecord::Kind;
    QString record;
    switch (r.kind) {
        case Kind::Entry:
            record = QStringLiteral("the entry of %1 for %2 on %3")
                         .arg(r.tid, formatCurrency(r.amount), formatDateText(r.dateText));
            break;
        case Kind::FeeEntry:
            record = QStringLiteral("the management fee entry of %1 for %2 on %3")
                         .arg(r.tid, formatCurrency(r.amount), formatDateText(r.dateText));
            break;
        case Kind::SplitLine:
            record = QStringLiteral("the split line of %1 for %2 in the deposit %3")
                         .arg(r.tid, formatCurrency(r.amount), r.deposit);
            break;
        case Kind::Deposit:
            record =
                QStringLiteral("the deposit %1 for %2").arg(r.deposit, formatCurrency(r.amount));
            break;
        case Kind::TenantRecord:
            record = QStringLiteral("the tenant record of T%1").arg(r.key);
            break;
        case Kind::Unit:
            record = QStringLiteral("the unit of T%1").arg(r.key);
            break;
    }
    QString text = record + QStringLiteral(" was changed or removed in Lodgebook");
    if (r.more > 0)
        text += QStringLiteral(", and so were %1 more of the run's records").arg(r.more);
    return text;
}

std::optional<ChangedRecord> FindChangedRecord(ledger::Database& db, const Run& run,
                                               const std::vector<const Run*>& rivals) {
    ledger::ReadTransaction snapshot(db);
    return RunRecords(db, rivals).firstChange(run);
}

QString ReversalQuestion(const Run& run) {
    int payments = 0, fees = 0, returns = 0;
    for (const RunRow& r : run.rows) {
        if (r.outcome == journal::RowOutcome::ReturnRecorded) {
            returns += r.incomeTransID.has_value();
            continue;
        }
        payments += r.incomeTransID.has_value();
        fees += r.feeTransID.has_value();
    }
    QStringList parts;
    if (payments > 0 || returns == 0)
        parts << QStringLiteral("the %1 payment entries").arg(payments);
    if (fees > 0)
        parts << QStringLiteral("%1 management fee entries").arg(fees);
    if (returns > 0)
        parts << QStringLiteral("the entries of %1 returned payments").arg(returns);
    if (run.depositID)
        parts << QStringLiteral("the deposit %1").arg(depositText(run));
    QString records = parts.takeLast();
    if (!parts.isEmpty())
        records = parts.join(QStringLiteral(", ")) + QStringLiteral(" and ") + records;
    return QStringLiteral(
               "This removes from the Lodgebook Ledgers %1 posted on %2, and takes "
               "their amounts off the tenants' and units' balances. Are you SURE you "
               "want to reverse this posting run?")
        .arg(records, postedAtText(run));
}

namespace {

UserMessage reversalMessage(const QString& text, MsgIcon icon = MsgIcon::Exclamation) {
    return {text, icon, kReversalTitle};
}

UserMessage cannotReverse(const QString& what) {
    return reversalMessage(
        QStringLiteral("This posting run cannot be reversed: %1. %2").arg(what, kNothingChanged));
}

UserMessage journalRefusal(const JournalError& e) {
    return reversalMessage(journal::journalUnusableText(e) + QLatin1Char(' ') + kNothingChanged);
}

std::vector<const Run*> pointersTo(const std::vector<Run>& runs) {
    std::vector<const Run*> pointers;
    pointers.reserve(runs.size());
    for (const Run& run : runs)
        pointers.push_back(&run);
    return pointers;
}

// What a reversal that was not committed tells.
UserMessage attemptRefusal(const ReversalAttempt& attempt) {
    switch (attempt.kind) {
        case ReversalAttempt::Kind::Changed:
            return cannotReverse(attempt.message);
        case ReversalAttempt::Kind::Locked:
            return reversalMessage(
                QStringLiteral("The Lodgebook ledger is in use by another program (Lodgebook may "
                               "be saving its work). %1 Please wait a moment and press 'Reverse "
                               "This Run' again.")
                    .arg(kNothingChanged),
                MsgIcon::Information);
        case ReversalAttempt::Kind::JournalFailed:
            return reversalMessage(attempt.message + QLatin1Char(' ') + kNothingChanged);
        case ReversalAttempt::Kind::Committed:
        case ReversalAttempt::Kind::Failed:
            break;
    }
    return reversalMessage(QStringLiteral("The posting run could not be reversed: %1\r\r%2")
                               .arg(attempt.message, kNothingChanged),
                           MsgIcon::Critical);
}

}  // namespace

ReversalOutcome RunReversal::run(std::int64_t runID) {
    const BusyPointer busy(dialogs_);
    std::variant<CheckedRun, UserMessage> checked = check(runID);
    if (const auto* refused = std::get_if<UserMessage>(&checked)) {
        tell(dialogs_, *refused);
        return ReversalOutcome::Refused;
    }
    const CheckedRun& c = std::get<CheckedRun>(checked);
    if (dialogs_.messageBox(ReversalQuestion(c.run), MsgButtons::YesNo, MsgIcon::Question,
                            kReversalTitle) != kAnswerYes) {
        return ReversalOutcome::Cancelled;
    }
    const ReversalAttempt attempt =
        reverseInLedger(*ledger_, journal_, c.run, pointersTo(c.settled), c.checkedAt);
    if (attempt.kind != ReversalAttempt::Kind::Committed) {
        tell(dialogs_, attemptRefusal(attempt));
        return ReversalOutcome::Refused;
    }
    tell(dialogs_, finish(c.run));
    return ReversalOutcome::Reversed;
}

std::variant<RunReversal::CheckedRun, UserMessage> RunReversal::check(std::int64_t runID) {
    CheckedRun checked;
    try {
        std::optional<Run> run = journal_.readRun(runID);
        if (!run)
            return cannotReverse(QStringLiteral("it is no longer in the posting journal"));
        if (run->state != RunState::Posted)
            return cannotReverse(QStringLiteral("it is not a posted run"));
        checked.run = std::move(*run);
        checked.settled = journal_.runsToCheck();
    } catch (const JournalError& e) {
        return journalRefusal(e);
    }
    if (!ledger_)
        return reversalMessage(
            QStringLiteral("The Lodgebook ledger is not open. %1").arg(kNothingChanged));
    ledger::Database& db = *ledger_;
    const std::vector<const Run*> rivals = pointersTo(checked.settled);
    try {
        checked.checkedAt = db.contentMark();
        if (const auto later = journal::ReturnRecordedLater(journal_, db, runID, rivals)) {
            // The return's entries stand on the payment's: the later run goes first.
            return UserMessage{
                QStringLiteral("The return of payment %1 was recorded by the posting run of %2. "
                               "Reverse that run first.")
                    .arg(later->transactionNumber,
                         later->recordedAt.toString(QStringLiteral("MM/dd/yyyy HH:mm"))),
                MsgIcon::Exclamation, kPostingHistoryTitle};
        }
        if (const auto changed = FindChangedRecord(db, checked.run, rivals))
            return cannotReverse(changedRecordText(*changed));
    } catch (const JournalError& e) {
        return journalRefusal(e);
    } catch (const Error& e) {
        return reversalMessage(QStringLiteral("The Lodgebook ledger could not be read: %1\r\r%2")
                                   .arg(e.description(), kNothingChanged),
                               MsgIcon::Critical);
    }
    return checked;
}

// The ledger is reversed. The payment file goes back first; a run that dies before it is marked
// Reversed is settled by the next start, which stages the file when it is not there.
UserMessage RunReversal::finish(const Run& run) {
    const QString reversed =
        QStringLiteral("The posting run of %1 was reversed.").arg(postedAtText(run));
    QString message;
    try {
        message = restagePaymentFile(payment_, run)
                      ? QStringLiteral("%1 Its payments are waiting to be posted again.")
                      : QStringLiteral(
                            "%1 Its payment file was not staged again, because another "
                            "payment file is waiting to be posted.");
        message = message.arg(reversed);
    } catch (const Error& e) {
        message = QStringLiteral("%1 Its payment file could not be staged again: %2")
                      .arg(reversed, e.description());
    }
    try {
        journal_.setState(run.runID, RunState::Reversed, environment_.today());
    } catch (const JournalError& e) {
        message += QStringLiteral("\r\r") + journal::journalUnusableText(e) +
                   QStringLiteral(" The run is marked reversed when Corvane next starts.");
    }
    return reversalMessage(message, MsgIcon::Information);
}

void SettleInterruptedReversal(ledger::Database& ledger, const PaymentFiles& payment,
                               Environment& environment, journal::PostingJournal& journal,
                               const Run& unsettled) {
    const std::optional<Run> run = journal.readRun(unsettled.runID);
    if (!run)
        return;
    bool held = false;
    {
        ledger::ReadTransaction snapshot(ledger);
        held = RunRecords(ledger).holdsAny(*run);
    }
    if (held) {
        journal.setState(run->runID, RunState::Posted);
        return;
    }
    restagePaymentFile(payment, *run);
    journal.setState(run->runID, RunState::Reversed, environment.today());
}

}  // namespace corvane
