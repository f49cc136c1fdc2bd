#include "journal/LedgerCheck.h"

#include "journal/JournalHistory.h"
#include "journal/JournalRows.h"
#include "platform/ledger/DateText.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <memory>

namespace corvane::journal {

using ledger::Currency;
using ledger::Value;

namespace {

// A record the ledger should hold, with the values it was written with.
struct Expected {
    std::int64_t key = 0;
    std::optional<Currency> amount;
    std::int64_t link = 0;  // an entry's TransPostToID, a split's CkPostToID, a deposit's CkNumber
    std::optional<QDate> date;     // entries
    std::int64_t depositID = 0;    // splits: the deposit's CkID
    const char* type = nullptr;    // entries: "I" or "E"
    RecordState* state = nullptr;  // where the answer goes
};

// The fields are read as stored (IndexLookup::findEachAsStored) and compared as the engine reads
// them: a currency from a number or its text, a date from ISO text (a date with a time is the
// same day), whole numbers and texts as they are.
bool currencyIs(const Value& v, const std::optional<Currency>& amount) {
    if (!amount)
        return false;
    switch (v.kind()) {
        case Value::Kind::Integer:
            return Currency::fromDouble(static_cast<double>(v.toInteger())) == *amount;
        case Value::Kind::Number:
            return Currency::fromDouble(v.toNumber()) == *amount;
        case Value::Kind::Text:
            return Currency::fromText(v.toText()) == amount;
        default:
            return false;
    }
}

bool dateIs(const Value& v, const std::optional<QDate>& date) {
    if (!date || v.kind() != Value::Kind::Text)
        return false;
    const QString text = v.toText();
    if (text.size() < 10 || text[4] != u'-')
        return false;
    const auto parts = ledger::parseDateParts(text);
    return parts && parts->date.isValid() && parts->date == *date;
}

bool entryHolds(const Expected& e, const std::vector<Value>& v) {
    return currencyIs(v[0], e.amount) && dateIs(v[1], e.date) && v[2].toInteger() == e.link &&
           v[3].toText() == QLatin1String(e.type);
}

bool splitHolds(const Expected& e, const std::vector<Value>& v) {
    return v[0].toInteger() == e.depositID && currencyIs(v[1], e.amount) &&
           v[2].toInteger() == e.link;
}

bool depositHolds(const Expected& e, const std::vector<Value>& v) {
    return currencyIs(v[0], e.amount) && v[1].toInteger() == e.link &&
           v[2].toText() == QLatin1String("D");
}

// Looks every expected record of one table up at once and sets its state.
void lookUp(ledger::Database& db, const QString& table, const QStringList& fields,
            std::vector<Expected>& expected,
            bool (*holds)(const Expected&, const std::vector<Value>&)) {
    if (expected.empty())
        return;
    std::sort(expected.begin(), expected.end(),
              [](const Expected& a, const Expected& b) { return a.key < b.key; });
    std::vector<std::int64_t> keys;
    keys.reserve(expected.size());
    for (const Expected& e : expected) {
        if (keys.empty() || keys.back() != e.key)
            keys.push_back(e.key);
    }
    const auto lookup = db.openLookup(table, QStringLiteral("PrimaryKey"), fields);
    const auto visit = [&](std::int64_t key, const std::vector<Value>& values) {
        const auto from = std::partition_point(expected.begin(), expected.end(),
                                               [&](const Expected& e) { return e.key < key; });
        const auto to = std::partition_point(from, expected.end(),
                                             [&](const Expected& e) { return e.key == key; });
        for (auto it = from; it != to; ++it)
            *it->state = holds(*it, values) ? RecordState::AsWritten : RecordState::Changed;
    };
    // A run's records follow one another in their tables: a stretch of keys of which most are
    // wanted is read in one scan, the scattered keys are found one by one.
    std::vector<std::int64_t> scattered;
    for (std::size_t i = 0; i < keys.size();) {
        std::size_t j = i + 1;
        while (j < keys.size() && keys[j] - keys[j - 1] <= 4)
            ++j;
        if (j - i >= 64)
            lookup->forEachBetweenAsStored(keys[i], keys[j - 1], visit);
        else
            scattered.insert(scattered.end(), keys.begin() + static_cast<std::ptrdiff_t>(i),
                             keys.begin() + static_cast<std::ptrdiff_t>(j));
        i = j;
    }
    lookup->findEachAsStored(scattered, visit);
}

}  // namespace

LedgerState LedgerStateOf(const std::vector<RunRecord>& records) {
    bool any = false, all = true;
    for (const RunRecord& r : records) {
        any = any || r.state != RecordState::Missing;
        all = all && r.state == RecordState::AsWritten;
    }
    if (all)
        return LedgerState::Posted;
    return any ? LedgerState::PartlyInLedger : LedgerState::NotInLedger;
}

std::vector<std::vector<RunRecord>> LedgerCheck::records(const std::vector<const Run*>& runs) {
    std::vector<std::vector<RunRecord>> all(runs.size());
    // The records first, so that the expectations can point at their states.
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const Run& run = *runs[i];
        std::vector<RunRecord>& records = all[i];
        for (std::size_t row = 0; row < run.rows.size(); ++row) {
            const RunRow& r = run.rows[row];
            if (r.incomeTransID)
                records.push_back({RunRecord::Kind::Income, row});
            if (r.feeTransID)
                records.push_back({RunRecord::Kind::Fee, row});
            if (r.splitID)
                records.push_back({RunRecord::Kind::Split, row});
        }
        if (run.depositID)
            records.push_back({RunRecord::Kind::Deposit, 0});
    }
    std::vector<Expected> entries, splits, deposits;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const Run& run = *runs[i];
        for (RunRecord& record : all[i]) {
            if (record.kind == RunRecord::Kind::Deposit) {
                deposits.push_back({*run.depositID, run.depositAmount,
                                    DepositNumberOf(run).value_or(0), std::nullopt, 0, nullptr,
                                    &record.state});
                continue;
            }
            const RunRow& r = run.rows[record.row];
            switch (record.kind) {
                case RunRecord::Kind::Income:
                    entries.push_back({*r.incomeTransID, r.incomeAmount, rowTenant(r),
                                       rowEntryDate(r), 0, "I", &record.state});
                    break;
                case RunRecord::Kind::Fee:
                    entries.push_back({*r.feeTransID, r.feeAmount, rowTenant(r), rowEntryDate(r), 0,
                                       "E", &record.state});
                    break;
                case RunRecord::Kind::Split:
                    splits.push_back({*r.splitID, r.splitAmount, rowTenant(r), std::nullopt,
                                      run.depositID.value_or(0), nullptr, &record.state});
                    break;
                case RunRecord::Kind::Deposit:
                    break;
            }
        }
    }
    ledger::ReadTransaction snapshot(db_);
    lookUp(db_, QStringLiteral("Transactions"),
           {QStringLiteral("TransAmount"), QStringLiteral("TransDate"),
            QStringLiteral("TransPostToID"), QStringLiteral("TransType")},
           entries, entryHolds);
    lookUp(db_, QStringLiteral("SplitPrintedChecks"),
           {QStringLiteral("CkNumber"), QStringLiteral("CkAmount"), QStringLiteral("CkPostToID")},
           splits, splitHolds);
    lookUp(db_, QStringLiteral("CheckDepPrinted"),
           {QStringLiteral("CkAmount"), QStringLiteral("CkNumber"), QStringLiteral("CkType")},
           deposits, depositHolds);
    return all;
}

std::vector<RunRecord> LedgerCheck::records(const Run& run) {
    return std::move(records(std::vector<const Run*>{&run}).front());
}

std::vector<LedgerState> LedgerCheck::states(const std::vector<const Run*>& runs) {
    std::vector<LedgerState> states;
    states.reserve(runs.size());
    for (const std::vector<RunRecord>& records : records(runs))
        states.push_back(LedgerStateOf(records));
    return states;
}

PaymentsInJournal FindPaymentsInJournal(PostingJournal& journal, ledger::Database& db,
                                        const QStringList& numbers) {
    PaymentsInJournal found;
    QStringList wanted;
    wanted.reserve(numbers.size());
    for (const QString& number : numbers) {
        if (!number.isEmpty())
            wanted << number;
    }
    if (wanted.isEmpty())
        return found;
    const QString json = jsonArray(wanted);

    // The Posted runs' posting days, then every row of each number (a run not Posted is left
    // out here, which costs less than joining each row with its run).
    QHash<std::int64_t, QDate> postedOn;
    {
        Statement s =
            journal.db().prepare("SELECT RunID, PostedAt FROM Runs WHERE State = 'posted'");
        while (s.step())
            postedOn.insert(s.integer(0), QDate::fromString(s.text(1).left(10), Qt::ISODate));
    }
    struct Candidate {
        QString number;
        PostedPayment payment;
        Expected expected;
        RecordState state = RecordState::Missing;
    };
    std::vector<Candidate> candidates;
    if (!postedOn.isEmpty()) {
        Statement s = journal.db().prepare(
            "SELECT Numbers.value, Posted.RunID, Posted.Line, Posted.TenantID, "
            "Posted.IncomeTransID, Posted.IncomeAmount, Posted.EntryDate, Posted.FeeTransID "
            "FROM json_each(?1) AS Numbers CROSS JOIN PostedNumbers AS Posted ON "
            "Posted.TransactionNumber = Numbers.value");
        s.bind(1, json);
        while (s.step()) {
            const auto day = postedOn.constFind(s.integer(1));
            if (day == postedOn.constEnd())
                continue;
            Candidate c;
            c.number = s.text(0);
            c.payment.runID = day.key();
            c.payment.postedOn = *day;
            c.payment.line = static_cast<int>(s.integer(2));
            c.payment.incomeTransID = s.optionalInteger(4);
            c.payment.feeTransID = s.optionalInteger(7);
            c.expected.key = c.payment.incomeTransID.value_or(0);
            c.expected.link = s.integer(3);
            c.expected.amount = currencyOf(s.optionalInteger(5));
            if (const auto date = s.optionalText(6))
                c.expected.date = QDate::fromString(*date, Qt::ISODate);
            c.expected.type = "I";
            candidates.push_back(std::move(c));
        }
    }
    {
        Statement s = journal.db().prepare(
            "SELECT Numbers.value, max(Runs.PostedAt) FROM json_each(?1) AS Numbers CROSS JOIN "
            "ReturnedPayments AS Returned ON Returned.TransactionNumber = Numbers.value JOIN "
            "Runs ON Runs.RunID = Returned.RunID WHERE Runs.State = 'posted' GROUP BY "
            "Numbers.value");
        s.bind(1, json);
        while (s.step()) {
            found.returnRecorded.insert(
                s.text(0),
                QDateTime::fromString(s.text(1), QStringLiteral("yyyy-MM-ddTHH:mm:ss")).date());
        }
    }
    if (candidates.empty())
        return found;

    std::vector<Expected> entries;
    entries.reserve(candidates.size());
    for (Candidate& c : candidates) {
        if (c.payment.incomeTransID) {
            c.expected.state = &c.state;
            entries.push_back(c.expected);
        }
    }
    {
        ledger::ReadTransaction snapshot(db);
        lookUp(db, QStringLiteral("Transactions"),
               {QStringLiteral("TransAmount"), QStringLiteral("TransDate"),
                QStringLiteral("TransPostToID"), QStringLiteral("TransType")},
               entries, entryHolds);
    }
    // Of several runs of a number: the best held entry, then the newest run.
    const auto rank = [](const PostedPayment& p) {
        const int held = p.entry == RecordState::AsWritten ? 2
                         : p.entry == RecordState::Changed ? 1
                                                           : 0;
        return std::pair(held, p.runID);
    };
    found.posted.reserve(static_cast<qsizetype>(candidates.size()));
    for (Candidate& c : candidates) {
        c.payment.entry = c.state;
        const auto it = found.posted.find(c.number);
        if (it == found.posted.end())
            found.posted.insert(c.number, c.payment);
        else if (rank(*it) < rank(c.payment))
            *it = c.payment;
    }
    return found;
}

}  // namespace corvane::journal
