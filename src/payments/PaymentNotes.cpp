#include "payments/PaymentNotes.h"

#include "core/TextRules.h"
#include "journal/LedgerCheck.h"
#include "payments/JournalNotes.h"
#include "payments/Payment.h"
#include "payments/TenantChoice.h"
#include "platform/ledger/LedgerSchema.h"

#include <QHash>
#include <QMultiHash>
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

// The ledger's income entries whose keys are among `wanted`, with their TransIDs.
QMultiHash<EntryKey, std::int64_t> entriesInLedger(ledger::Database& ledger,
                                                   const QSet<EntryKey>& wanted, const QDate& from,
                                                   const QDate& to) {
    QMultiHash<EntryKey, std::int64_t> found;
    // A date's ISO text sorts before the same date with a time, which sorts before the next day.
    ledger.forEachInRange(
        Transactions::table,
        {Transactions::TransType, Transactions::TransPostToID, Transactions::TransAmount,
         Transactions::TransDate, Transactions::TransID},
        Transactions::TransDate, from.toString(kIsoDate),
        to.toString(kIsoDate) + QStringLiteral(" 99"), [&](const std::vector<Value>& f) {
            if (f[0].isNull() ||
                f[0].toText().compare(QLatin1String("I"), Qt::CaseInsensitive) != 0)
                return;
            if (f[1].isNull() || f[2].isNull() || f[3].kind() != Value::Kind::Date)
                return;
            const EntryKey key{f[1].toInteger(), f[3].toDate().date().toJulianDay(),
                               f[2].toCurrency().units()};
            if (wanted.contains(key))
                found.insert(key, f[4].toInteger());
        });
    return found;
}

}  // namespace

NoteKind journalNote(const journal::PaymentStanding& standing, const QString& status) {
    using Kind = journal::PaymentStanding::Kind;
    switch (standing.kind) {
        case Kind::NotPosted:
            return NoteKind::None;
        case Kind::ReturnRecorded:
            return NoteKind::ReturnRecorded;
        case Kind::Posted:
            return SettledStatus(status) ? NoteKind::AlreadyPosted
                                         : NoteKind::ReturnedAfterPosting;
        case Kind::Changed:
            return NoteKind::ChangedInLedger;
    }
    return NoteKind::None;
}

namespace {

// The keys of the rows that may be payments already typed into the ledger: matched, dated, and
// not posted by Corvane as far as the journal and the ledger know.
std::vector<std::optional<EntryKey>> inLedgerKeys(const std::vector<Payment>& payments,
                                                  QSet<EntryKey>& wanted, QDate& from,
                                                  QDate& to) {
    std::vector<std::optional<EntryKey>> keys(payments.size());
    for (std::size_t i = 0; i < payments.size(); ++i) {
        const Payment& p = payments[i];
        if (!p.matched() || !p.date || p.note != NoteKind::None)
            continue;
        keys[i] = EntryKey{*p.tenantID, p.date->toJulianDay(), p.amount.abs().units()};
        wanted.insert(*keys[i]);
        if (!from.isValid() || *p.date < from)
            from = *p.date;
        if (!to.isValid() || to < *p.date)
            to = *p.date;
    }
    return keys;
}

}  // namespace

QMap<QDate, int> NotePayments(std::vector<Payment>& payments, ledger::Database& ledger,
                              journal::PostingJournal* journal) {
    QStringList numbers;
    numbers.reserve(static_cast<qsizetype>(payments.size()));
    for (const Payment& p : payments)
        numbers << p.transactionNumber;
    const journal::PaymentStandings standings =
        journal ? journal::FindPaymentStandings(*journal, ledger, numbers)
                : journal::PaymentStandings();
    for (Payment& p : payments)
        p.standing = standings.of(p.transactionNumber);
    return NoteAgain(payments, ledger, journal);
}

QMap<QDate, int> NoteAgain(std::vector<Payment>& payments, ledger::Database& ledger,
                           journal::PostingJournal* journal) {
    QMap<QDate, int> gone;

    // The journal's notes, and the repeated numbers.
    QSet<QString> seen;
    seen.reserve(static_cast<qsizetype>(payments.size()));
    for (Payment& p : payments) {
        const QString& number = p.transactionNumber;
        p.note = journalNote(p.standing, p.processorStatus);
        if (p.standing.goneSince.isValid() && !seen.contains(number))
            ++gone[p.standing.goneSince];
        if (p.note == NoteKind::None && seen.contains(number))
            p.note = NoteKind::Repeated;
        seen.insert(number);
    }

    // The entries already in the ledger that Corvane did not write.
    QSet<EntryKey> wanted;
    QDate from, to;
    const std::vector<std::optional<EntryKey>> keys = inLedgerKeys(payments, wanted, from, to);
    QMultiHash<EntryKey, std::int64_t> inLedger;
    if (!wanted.isEmpty())
        inLedger = entriesInLedger(ledger, wanted, from, to);
    if (journal && !inLedger.isEmpty()) {
        std::vector<journal::PostingJournal::IncomeEntry> found;
        for (auto it = inLedger.cbegin(); it != inLedger.cend(); ++it) {
            found.push_back({it.value(), it.key().tenantID, it.key().amount,
                             QDate::fromJulianDay(it.key().day)});
        }
        const QSet<std::int64_t> corvanes = journal->writtenByCorvane(found);
        for (auto it = inLedger.begin(); it != inLedger.end();) {
            it = corvanes.contains(it.value()) ? inLedger.erase(it) : std::next(it);
        }
    }
    for (std::size_t i = 0; i < payments.size(); ++i) {
        Payment& p = payments[i];
        if (p.note != NoteKind::None)
            continue;
        if (keys[i] && inLedger.contains(*keys[i]))
            p.note = NoteKind::InLedger;
        else if (!SettledStatus(p.processorStatus))
            p.note = NoteKind::Status;
    }
    return gone;
}

QString noteText(const Payment& p) {
    const journal::PaymentStanding& standing = p.standing;
    const QDate postedOn = standing.posting ? standing.posting->postedOn : QDate();
    switch (p.note) {
        case NoteKind::None:
            return {};
        case NoteKind::ReturnRecorded:
            return QStringLiteral("Return recorded ") +
                   shortDate(standing.returned ? standing.returned->recordedOn : QDate());
        case NoteKind::ReturnedAfterPosting:
            return trimBlanks(p.processorStatus) + QStringLiteral(" after posting ") +
                   shortDate(postedOn);
        case NoteKind::AlreadyPosted:
            return QStringLiteral("Already posted ") + shortDate(postedOn);
        case NoteKind::ChangedInLedger:
            return QStringLiteral("Already posted %1, changed in ledger").arg(shortDate(postedOn));
        case NoteKind::Repeated:
            return QStringLiteral("Repeated in this file");
        case NoteKind::InLedger:
            return QStringLiteral("In ledger?");
        case NoteKind::Status:
            return QStringLiteral("Status: ") + p.processorStatus;
        case NoteKind::ChosenByYou:
            return kChosenByYouNote;
        case NoteKind::RememberedChoice:
            return rememberedChoiceNote(p.rememberedOn);
        case NoteKind::RememberedTenantGone:
            return rememberedTenantGoneNote(p.rememberedTenantGone.value_or(0));
    }
    return {};
}

bool neverPostedAgain(const Payment& p) {
    return p.note == NoteKind::ReturnRecorded || p.note == NoteKind::ReturnedAfterPosting;
}

bool askedAboutNote(const Payment& p) {
    switch (p.note) {
        case NoteKind::AlreadyPosted:
        case NoteKind::ChangedInLedger:
        case NoteKind::Repeated:
        case NoteKind::InLedger:
        case NoteKind::Status:
            return p.matched();
        default:
            return false;
    }
}

}  // namespace corvane
