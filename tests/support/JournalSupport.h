#pragma once

#include "journal/PostingJournal.h"
#include "journal/PostingRecovery.h"

#include <QCryptographicHash>

#include <memory>

namespace corvane::test {

inline std::unique_ptr<journal::PostingJournal> openJournal(const QString& folder) {
    return journal::PostingJournal::open(folder);
}

// One number a query on the journal gives, such as "SELECT count(*) FROM Runs".
inline std::int64_t journalNumber(const QString& folder, const char* sql) {
    auto journal = openJournal(folder);
    auto s = journal->db().prepare(sql);
    s.step();
    return s.integer(0);
}

// Records a run as Pending, as a posting run does just before the ledger's commit: the staged
// file's bytes, the log's figures and the evidence of what the ledger transaction wrote.
inline std::int64_t recordPendingRun(const QString& folder, const QByteArray& stagedBytes,
                                     const journal::PostedFigures& figures,
                                     const QString& evidence) {
    journal::Run run;
    run.postedAt = QDateTime(QDate(2026, 3, 14), QTime(9, 30));
    run.fileName = QStringLiteral("paymentHistory.csv");
    run.fileBytes = stagedBytes;
    run.fileDigest = QString::fromLatin1(
        QCryptographicHash::hash(stagedBytes, QCryptographicHash::Sha1).toHex());
    run.figures = figures;
    run.evidence = evidence;
    return openJournal(folder)->record(run);
}

}  // namespace corvane::test
