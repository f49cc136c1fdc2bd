#include "payments/PaymentNotes.h"

#include "app/TextRules.h"
#include "journal/LedgerCheck.h"
#include "payments/JournalNotes.h"
#include "payments/Payment.h"

#include <QHash>
#include <QSet>

#include <tuple>

namespace corvane {

namespace {

using ledger::Currency;
using ledger::Value;

// An income entry as the "In ledger?" note compares it.
struct EntryKey {
    std::int64_t tenantID = 0;
    qint64 day = 0;           // Julian day
    std::int64_t amount = 0;  // ten-thousandths
    bool operator==(const EntryKey&) const = default;
};

size_t qHash(const EntryKey& key, size_t seed = 0) {
    return qHashMulti(seed, key.tenantID, key.day, key.amount);
}

const QString kIsoDate = QStringLiteral("yyyy-MM-dd");

// The keys of the ledger's income entries, among `wanted`.
QSet<EntryKey> entriesInLedger(ledger::Database& ledger, const QSet<EntryKey>& wanted,
                               const QDate& from, const QDate& to) {
    QSet<EntryKey> found;
    // A date's ISO text sorts before the same date with a time, which sorts before the next day.
    ledger.forEachInRange(
        QStringLiteral("Transactions"),
        {QStringLiteral("TransType"), QStringLiteral("TransPostToID"),
         QStringLiteral("TransAmount"), QStringLiteral("TransDate")},
        QStringLiteral("TransDate"), from.toString(kIsoDate),
        to.toString(kIsoDate) + QStringLiteral(" 99"), [&](const std::vector<Value>& f) {
            if (f[0].isNull() ||
                f[0].toText().compare(QLatin1String("I"), Qt::CaseInsensitive) != 0)
                return;
            if (f[1].isNull() || f[2].isNull() || f[3].kind() != Value::Kind::Date)
                return;
            const EntryKey key{f[1].toInteger(), f[3].toDate().date().toJulianDay(),
                               f[2].toCurrency().abs().units()};
            if (wanted.contains(key))
                found.insert(key);
        });
    return found;
}

}  // namespace

QMap<QDate, int> NotePayments(std::vector<Payment>& payments, ledger::Database& ledger,
                              journal::PostingJournal* journal) {
    QStringList numbers;
    numbers.reserve(static_cast<qsizetype>(payments.size()));
    for (const Payment& p : payments)
        numbers << p.transactionNumber;
    const journal::PaymentsInJournal inJournal =
        journal ? journal::FindPaymentsInJournal(*journal, ledger, numbers)
                : journal::PaymentsInJournal();
    QMap<QDate, int> gone;

    // The matched payments' entries, and the range of their dates.
    std::vector<std::optional<EntryKey>> keys(payments.size());
    QSet<EntryKey> wanted;
    wanted.reserve(static_cast<qsizetype>(payments.size()));
    QDate from, to;
    for (std::size_t i = 0; i < payments.size(); ++i) {
        const Payment& p = payments[i];
        if (!p.matched() || !p.date)
            continue;
        keys[i] = EntryKey{*p.tenantID, p.date->toJulianDay(), p.amount.abs().units()};
        wanted.insert(*keys[i]);
        if (!from.isValid() || *p.date < from)
            from = *p.date;
        if (!to.isValid() || to < *p.date)
            to = *p.date;
    }
    const QSet<EntryKey> inLedger =
        wanted.isEmpty() ? QSet<EntryKey>() : entriesInLedger(ledger, wanted, from, to);

    QSet<QString> seen;
    seen.reserve(static_cast<qsizetype>(payments.size()));
    for (std::size_t i = 0; i < payments.size(); ++i) {
        Payment& p = payments[i];
        const QString& number = p.transactionNumber;
        const QString& status = p.processorStatus;
        QString note;
        const JournalNote posted = NoteFromJournal(inJournal, number, status);
        if (posted.goneSince.isValid() && !seen.contains(number))
            ++gone[posted.goneSince];
        if (posted.kind != JournalNoteKind::None) {
            note = posted.text;
        } else if (seen.contains(number)) {
            note = QStringLiteral("Repeated in this file");
        } else if (keys[i] && inLedger.contains(*keys[i])) {
            note = QStringLiteral("In ledger?");
        } else if (!status.isEmpty() &&
                   status.compare(QLatin1String("Posted"), Qt::CaseInsensitive) != 0) {
            note = QStringLiteral("Status: ") + status;
        }
        seen.insert(number);
        p.note = std::move(note);
        p.noteIsTenantChoice = false;
    }
    return gone;
}

}  // namespace corvane
