#include "app/PostingRecovery.h"

#include "app/PostingLog.h"
#include "platform/Error.h"

#include <QCryptographicHash>
#include <QHash>
#include <QStringList>
#include <QUrl>

namespace corvane {

namespace {

// One record a run added, as the note keeps it: the table, its auto-number and the fields that
// tell the record apart (each percent-encoded, joined by "|").
struct AddedRecord {
    const char* table;
    const char* key;
    const char* fields;  // comma-separated, as in the query
};

const AddedRecord kTransaction{"Transactions", "TransID",
                               "TransAccountID, TransAmount, TransDate, TransTID"};
const AddedRecord kDeposit{"CheckDepPrinted", "CkID", "CkAccountID, CkAmount, CkDate, CkNumber"};

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
                                 .arg(sqlName(aggregate), sqlName(record.key),
                                      sqlName(record.table))
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
    auto rs = db.openDynaset(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = %4")
                                 .arg(sqlName(record.fields), sqlName(record.table),
                                      sqlName(record.key))
                                 .arg(key));
    if (rs->eof())
        return std::nullopt;
    QStringList parts;
    for (const QString& name : rs->fieldNames()) {
        parts << encode(rs->field(name).toText());
    }
    return parts.join(QLatin1Char('|'));
}

QString decode(const QString& value) {
    return QUrl::fromPercentEncoding(value.toLatin1());
}

// "name=number;fingerprint" for each added record a run can be recognised by.
QString evidenceLine(const char* name, std::int64_t key, const QString& print) {
    return QStringLiteral("%1=%2;%3\n").arg(QLatin1String(name)).arg(key).arg(print);
}

// Whether the ledger holds the record a note's evidence line describes.
bool ledgerHolds(ledger::Database& db, const AddedRecord& record, const QString& evidence) {
    const qsizetype split = evidence.indexOf(QLatin1Char(';'));
    bool ok = false;
    const std::int64_t key = evidence.left(split).toLongLong(&ok);
    if (split < 0 || !ok)
        return false;
    return fingerprint(db, record, key) == evidence.mid(split + 1);
}

QString notePath(Globals& globals) {
    return globals.pathInProgramFolder(kPostingNoteFileName);
}

QString stagedPath(Globals& globals) {
    return globals.pathInProgramFolder(globals.stagedPaymentFileName());
}

// The staged file's content, so that a later download under the same name is never taken for it.
QString stagedDigest(Globals& globals) {
    if (!globals.files().exists(stagedPath(globals)))
        return {};
    return QString::fromLatin1(
        QCryptographicHash::hash(globals.files().readAll(stagedPath(globals), kMaxPaymentFileBytes),
                                 QCryptographicHash::Sha1)
            .toHex());
}

}  // namespace

PostingNote PostingNote::Begin(ledger::Database& db) {
    PostingNote note;
    note.lastTransID_ = boundaryKey(db, kTransaction, "Max", 0).value_or(0);
    note.lastDepositID_ = boundaryKey(db, kDeposit, "Max", 0).value_or(0);
    return note;
}

void PostingNote::Write(Globals& globals, const PostedFigures& figures) const {
    ledger::Database& db = *globals.LedgerDb;
    QString text = QStringLiteral("file=%1\ndate=%2\nbalance=%3\n")
                       .arg(stagedDigest(globals), encode(figures.lastDatePosted),
                            encode(figures.lastBalancePosted));
    if (figures.rangeFrom && figures.rangeTo) {
        text += QStringLiteral("rangeFrom=%1\nrangeTo=%2\n")
                    .arg(encode(*figures.rangeFrom), encode(*figures.rangeTo));
    }
    // The run's first and last entry: a later edit in Lodgebook rarely touches both.
    if (const auto first = boundaryKey(db, kTransaction, "Min", lastTransID_)) {
        const std::int64_t last = boundaryKey(db, kTransaction, "Max", lastTransID_).value();
        text += evidenceLine("first", *first, fingerprint(db, kTransaction, *first).value());
        text += evidenceLine("last", last, fingerprint(db, kTransaction, last).value());
    }
    if (const auto deposit = boundaryKey(db, kDeposit, "Max", lastDepositID_)) {
        text += evidenceLine("deposit", *deposit, fingerprint(db, kDeposit, *deposit).value());
    }
    globals.files().writeAtomically(notePath(globals), text.toUtf8());
}

void RemovePostingNote(Globals& globals) {
    if (globals.files().exists(notePath(globals)))
        globals.files().remove(notePath(globals));
}

RecoveryOutcome RecoverInterruptedPosting(Globals& globals) {
    Files& files = globals.files();
    if (!files.exists(notePath(globals)))
        return RecoveryOutcome::NothingToRecover;

    QHash<QString, QString> note;
    for (const QString& line : QString::fromUtf8(files.readAll(notePath(globals))).split('\n')) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals > 0)
            note.insert(line.left(equals), line.mid(equals + 1));
    }
    // The run is recognised by any one of the records it added; a run that added none changed
    // nothing, so it counts as posted (its file would have been archived).
    ledger::Database& db = *globals.LedgerDb;
    bool anyEvidence = false, posted = false;
    const std::pair<const char*, const AddedRecord*> evidence[] = {
        {"first", &kTransaction}, {"last", &kTransaction}, {"deposit", &kDeposit}};
    for (const auto& [name, record] : evidence) {
        const auto it = note.constFind(QLatin1String(name));
        if (it == note.constEnd())
            continue;
        anyEvidence = true;
        posted = posted || ledgerHolds(db, *record, *it);
    }
    if (!note.contains(QStringLiteral("date")) || !note.contains(QStringLiteral("balance"))) {
        posted = false;  // not a complete note: leave the payments staged
    } else if (!anyEvidence) {
        posted = true;
    }
    if (!posted) {
        RemovePostingNote(globals);
        return RecoveryOutcome::NotPosted;
    }

    const QString staged = stagedPath(globals);
    if (files.exists(staged) && stagedDigest(globals) == note.value(QStringLiteral("file")))
        files.rename(staged, globals.pathInProgramFolder(kPaymentArchiveFileName));
    globals.LastDatePosted = decode(note.value(QStringLiteral("date")));
    globals.LastBalancePosted = decode(note.value(QStringLiteral("balance")));
    if (note.contains(QStringLiteral("rangeFrom")) && note.contains(QStringLiteral("rangeTo"))) {
        globals.LastRangeFrom = decode(note.value(QStringLiteral("rangeFrom")));
        globals.LastRangeTo = decode(note.value(QStringLiteral("rangeTo")));
    }
    // The payments are settled now; a log that cannot be written is told once, not every time.
    try {
        WritePostingLog(globals);
    } catch (const Error&) {
        RemovePostingNote(globals);
        throw;
    }
    RemovePostingNote(globals);
    return RecoveryOutcome::Posted;
}

}  // namespace corvane
