#pragma once

#include <QDate>
#include <QMap>
#include <QString>
#include <QStringList>

namespace corvane {

// The status reads as settled: empty after trimming blanks, or "Posted" (letter case ignored).
bool SettledStatus(const QString& status);

inline const QString kGoneFromLedgerTitle = QStringLiteral("Corvane Notice");
// The notice of the payments that Corvane posted but the ledger no longer holds: by posting date,
// how many. One sentence per date, in date order.
QString GoneFromLedgerNotice(const QMap<QDate, int>& countsByDate);

inline const QString kReturnsTitle = QStringLiteral("Corvane Transaction Posting");
// The Yes/No question of a posting run with rows returned after posting; `statuses` are the rows'
// statuses as the Note column names them (blanks trimmed), each once, in the rows' order.
QString ReturnsQuestion(int count, const QStringList& statuses);

}  // namespace corvane
