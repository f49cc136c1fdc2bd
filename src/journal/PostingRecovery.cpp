#include "journal/PostingRecovery.h"

#include "core/PostingLog.h"
#include "journal/RunReversal.h"
#include "platform/Error.h"
#include "platform/ledger/LedgerSchema.h"

#include <QCryptographicHash>
#include <QHash>
#include <QStringList>
#include <QUrl>

namespace corvane {

namespace {

// One record a run added, as the evidence keeps it: the table, its auto-number and the fields
// that tell the record apart (each percent-encoded, joined by "|").
struct AddedRecord {
    QString table;
    QString key;
    QStringList fields;
};

const AddedRecord kTransaction{Transactions::table,
                               Transactions::TransID,
                               {Transactions::TransAccountID, Transactions::TransAmount,
                                Transactions::TransDate, Transactions::TransTID}};
const AddedRecord kDeposit{CheckDepPrinted::table,
                           CheckDepPrinted::CkID,
                           {CheckDepPrinted::CkAccountID, CheckDepPrinted::CkAmount,
                            CheckDepPrinted::CkDate, CheckDepPrinted::CkNumber}};

QString encode(const QString& value) {
    return QString::fromLatin1(QUrl::toPercentEncoding(value));
}

QString sqlName(const char* name) {
    return QString::fromLatin1(name);
}

// The largest (or smallest) auto-number above `after`, or nullopt when there is none.
std::optional<std::int64_t> boundaryKey(ledger::Database& db, const AddedRecord& record,
                                        const char* aggregate, std::int64_t after) {
    auto rs = db.openDynaset(QStringLiteral("SELECT %1(%2) AS Boundary FROM %3 WHERE %2 > %4")
                                 .arg(sqlName(aggregate), record.key, record.table)
                                 .arg(after));
    if (rs->eof())
        return std::nullopt;
    const ledger::Value value = rs->field(QStringLiteral("Boundary"));
    if (value.isNull())
        return std::nullopt;
    return value.toInteger();
}

// The record's distinguishing fields, or nullopt when no record has that number.
std::optional<QString> fingerprint(ledger::Database& db, const AddedRecord& record,
                                   std::int64_t key) {
    auto rs =
        db.openDynaset(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = %4")
                           .arg(record.fields.join(QStringLiteral(", ")), record.table, record.key)
                           .arg(key));
    if (rs->eof())
        return std::nullopt;
    QStringList parts;
    for (const QString& name : rs->fieldNames()) {
        parts << encode(rs->field(name).toText());
    }
    return parts.join(QLatin1Char('|'));
}

// "name=number;fingerprint" for each added record a run can be recognised by.
QString evidenceLine(const char* name, std::int64_t key, const QString& print) {
    return QStringLiteral("%1=%2;%3\n").arg(QLatin1String(name)).arg(key).arg(print);
}

// Whether the ledger holds the record an evidence line describes.
bool ledgerHolds(ledger::Database& db, const AddedRecord& record, const QString& evidence) {
    const qsizetype split = evidence.indexOf(QLatin1Char(';'));
    bool ok = false;
    const std::int64_t key = evidence.left(split).toLongLong(&ok);
    if (split < 0 || !ok)
        return false;
    return fingerprint(db, record, key) == evidence.mid(split + 1);
}

QString digestOf(const QByteArray& bytes) {
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex());
}

// The steps that follow a run's commit: the staged file (only when it is the one the run posted,
// so that a later download under the same name is never taken for it) becomes the archive; the
// log gets the run's figures; the run becomes Posted.
void finishPostedRun(const RunSettlement& settlement, journal::PostingJournal& journal,
                     const journal::Run& run) {
    const PaymentFiles& payment = settlement.payment;
    Files& files = payment.files;
    const QString staged = payment.stagedPath();
    if (files.exists(staged) &&
        digestOf(files.readAll(staged, kMaxPaymentFileBytes)) == run.fileDigest)
        files.rename(staged, payment.archivePath());
    PostingLogFigures& log = settlement.postingLog;
    log.lastDatePosted = run.figures.lastDatePosted;
    log.lastBalancePosted = run.figures.lastBalancePosted;
    if (run.figures.rangeFrom && run.figures.rangeTo) {
        log.lastRangeFrom = *run.figures.rangeFrom;
        log.lastRangeTo = *run.figures.rangeTo;
    }
    // The payments are settled now; a log that cannot be written is told once, not every time.
    try {
        WritePostingLog(files, pathInFolder(payment.programFolder, kPostingLogFileName), log);
    } catch (const Error&) {
        journal.setState(run.runID, journal::RunState::Posted);
        throw;
    }
    Q_EMIT settlement.logSignals.figuresChanged();
    journal.setState(run.runID, journal::RunState::Posted);
}

}  // namespace

PostingEvidence PostingEvidence::Begin(ledger::Database& db) {
    PostingEvidence evidence;
    evidence.lastTransID_ = boundaryKey(db, kTransaction, "Max", 0).value_or(0);
    evidence.lastDepositID_ = boundaryKey(db, kDeposit, "Max", 0).value_or(0);
    return evidence;
}

QString PostingEvidence::collect(ledger::Database& db) const {
    QString text;
    // The run's first and last entry: a later edit in Lodgebook rarely touches both.
    if (const auto first = boundaryKey(db, kTransaction, "Min", lastTransID_)) {
        const std::int64_t last = boundaryKey(db, kTransaction, "Max", lastTransID_).value();
        text += evidenceLine("first", *first, fingerprint(db, kTransaction, *first).value());
        text += evidenceLine("last", last, fingerprint(db, kTransaction, last).value());
    }
    if (const auto deposit = boundaryKey(db, kDeposit, "Max", lastDepositID_)) {
        text += evidenceLine("deposit", *deposit, fingerprint(db, kDeposit, *deposit).value());
    }
    return text;
}

bool LedgerHoldsEvidence(ledger::Database& db, const QString& evidence) {
    QHash<QString, QString> lines;
    for (const QString& line : evidence.split(QLatin1Char('\n'))) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals > 0)
            lines.insert(line.left(equals), line.mid(equals + 1));
    }
    // The run is recognised by any one of the records it added.
    bool anyEvidence = false;
    const std::pair<const char*, const AddedRecord*> kinds[] = {
        {"first", &kTransaction}, {"last", &kTransaction}, {"deposit", &kDeposit}};
    for (const auto& [name, record] : kinds) {
        const auto it = lines.constFind(QLatin1String(name));
        if (it == lines.constEnd())
            continue;
        anyEvidence = true;
        if (ledgerHolds(db, *record, *it))
            return true;
    }
    return !anyEvidence;
}

RecoveryOutcome RecoverInterruptedPosting(const RunSettlement& settlement) {
    auto journal = journal::PostingJournal::openExisting(settlement.payment.programFolder);
    if (!journal)
        return RecoveryOutcome::NothingToRecover;
    return RecoverInterruptedPosting(settlement, *journal);
}

RecoveryOutcome RecoverInterruptedPosting(const RunSettlement& settlement,
                                          journal::PostingJournal& journal) {
    RecoveryOutcome outcome = RecoveryOutcome::NothingToRecover;
    for (const journal::Run& run : journal.unsettledRuns()) {
        if (run.state == journal::RunState::Reversing)
            SettleInterruptedReversal(*settlement.ledger, settlement.payment,
                                      settlement.environment, journal, run);
        if (run.state != journal::RunState::Pending)
            continue;
        if (LedgerHoldsEvidence(*settlement.ledger, run.evidence)) {
            finishPostedRun(settlement, journal, run);
            outcome = RecoveryOutcome::Posted;
        } else {
            journal.discard(run.runID);
            if (outcome == RecoveryOutcome::NothingToRecover)
                outcome = RecoveryOutcome::NotPosted;
        }
    }
    return outcome;
}

void SettleInterruptedRuns(const RunSettlement& settlement, journal::PostingJournal* journal) {
    if (!settlement.ledger)
        return;
    try {
        if (journal)
            RecoverInterruptedPosting(settlement, *journal);
        else
            RecoverInterruptedPosting(settlement);
    } catch (const journal::JournalError&) {
        // Told by whoever opens the journal next (the payment screen, the history).
    }
}

}  // namespace corvane
