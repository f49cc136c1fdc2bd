#include "payments/JournalNotes.h"

#include "core/TextRules.h"

namespace corvane {

bool SettledStatus(const QString& status) {
    const QString trimmed = trimBlanks(status);
    return trimmed.isEmpty() || trimmed.compare(QLatin1String("Posted"), Qt::CaseInsensitive) == 0;
}

QString GoneFromLedgerNotice(const QMap<QDate, int>& countsByDate) {
    QStringList sentences;
    for (auto it = countsByDate.cbegin(); it != countsByDate.cend(); ++it) {
        sentences << QStringLiteral(
                         "%1 payments of this file were posted by Corvane on %2 but are no longer "
                         "in the Lodgebook ledger (it may have been restored from a backup, or "
                         "the entries removed in Lodgebook).")
                         .arg(it.value())
                         .arg(shortDate(it.key()));
    }
    sentences << QStringLiteral("They are not marked 'Already posted'.");
    return sentences.join(QLatin1Char(' '));
}

QString ReturnsQuestion(int count, const QStringList& statuses) {
    return QStringLiteral(
               "%1 payments posted before are now reported by the processor as not settled "
               "(%2): their rent, fees and deposit lines are still in the Lodgebook Ledgers. "
               "Press 'Yes' to record their return now, or 'No' to leave them out of this "
               "posting.")
        .arg(count)
        .arg(statuses.join(QStringLiteral(", ")));
}

}  // namespace corvane
