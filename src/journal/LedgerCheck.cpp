#include "journal/LedgerCheck.h"

#include "journal/JournalHistory.h"
#include "journal/JournalRows.h"
#include "platform/ledger/DateText.h"
#include "platform/ledger/LedgerSchema.h"

#include <QSet>
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
    std::int64_t runID = 0;        // the run that wrote it
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

// A key that holds another tenant's record, or a record of another kind, holds another record:
// the one written is gone. So does a key whose entry has neither the amount nor the date written
// (the key used again by another entry of the tenant). The same entry with its amount or its
// date edited was changed.
RecordState entryState(const Expected& e, const std::vector<Value>& v) {
    if (v[2].toInteger() != e.link || v[3].toText() != QLatin1String(e.type))
        return RecordState::Missing;
    const bool amount = currencyIs(v[0], e.amount), date = dateIs(v[1], e.date);
    if (amount && date)
        return RecordState::AsWritten;
    return amount || date ? RecordState::Changed : RecordState::Missing;
}

RecordState splitState(const Expected& e, const std::vector<Value>& v) {
    if (v[0].toInteger() != e.depositID || v[2].toInteger() != e.link)
        return RecordState::Missing;
    return currencyIs(v[1], e.amount) ? RecordState::AsWritten : RecordState::Changed;
}

RecordState depositState(const Expected& e, const std::vector<Value>& v) {
    if (v[2].toText() != QLatin1String("D"))
        return RecordState::Missing;
    return currencyIs(v[0], e.amount) && v[1].toInteger() == e.link ? RecordState::AsWritten
                                                                    : RecordState::Changed;
}

// A key written by several runs holds the record of the newest run whose values it holds: the
// others' records at that key are gone (the ledger was restored from a backup and the key used
// again). `expected` is in key order.
void settleOwners(std::vector<Expected>& expected) {
    for (std::size_t i = 0; i < expected.size();) {
        std::size_t j = i + 1;
        while (j < expected.size() && expected[j].key == expected[i].key)
            ++j;
        if (j - i > 1) {
            const Expected* owner = nullptr;
            for (std::size_t k = i; k < j; ++k) {
                if (*expected[k].state == RecordState::AsWritten &&
                    (!owner || owner->runID < expected[k].runID))
                    owner = &expected[k];
            }
            for (std::size_t k = i; owner && k < j; ++k) {
                if (&expected[k] != owner)
                    *expected[k].state = RecordState::Missing;
            }
        }
        i = j;
    }
}

// Looks every expected record of one table up at once and sets its state.
void lookUp(ledger::Database& db, const QString& table, const QStringList& fields,
            std::vector<Expected>& expected,
            RecordState (*stateOf)(const Expected&, const std::vector<Value>&)) {
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
    const auto lookup = db.openLookup(table, PrimaryKey, fields);
    const auto visit = [&](std::int64_t key, const std::vector<Value>& values) {
        const auto from = std::partition_point(expected.begin(), expected.end(),
                                               [&](const Expected& e) { return e.key < key; });
        const auto to = std::partition_point(from, expected.end(),
                                             [&](const Expected& e) { return e.key == key; });
        for (auto it = from; it != to; ++it)
            *it->state = stateOf(*it, values);
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
    settleOwners(expected);
}

void lookUpEntries(ledger::Database& db, std::vector<Expected>& entries) {
    lookUp(db, Transactions::table,
           {Transactions::TransAmount, Transactions::TransDate, Transactions::TransPostToID,
            Transactions::TransType},
           entries, entryState);
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

namespace {

// The records of a run with the values it wrote them with, each pointing at where its state goes.
struct RunExpectations {
    std::vector<Expected> entries, splits, deposits;

    void add(const Run& run, std::vector<RunRecord>& records) {
        for (RunRecord& record : records) {
            if (record.kind == RunRecord::Kind::Deposit) {
                deposits.push_back({*run.depositID, run.depositAmount,
                                    DepositNumberOf(run).value_or(0), std::nullopt, 0, nullptr,
                                    &record.state, run.runID});
                continue;
            }
            const RunRow& r = run.rows[record.row];
            switch (record.kind) {
                case RunRecord::Kind::Income:
                    entries.push_back({*r.incomeTransID, r.incomeAmount, rowEntryTenant(r),
                                       rowEntryDate(r), 0, "I", &record.state, run.runID});
                    break;
                case RunRecord::Kind::Fee:
                    entries.push_back({*r.feeTransID, r.feeAmount, rowEntryTenant(r),
                                       rowEntryDate(r), 0, "E", &record.state, run.runID});
                    break;
                case RunRecord::Kind::Split:
                    splits.push_back({*r.splitID, r.splitAmount, rowEntryTenant(r), std::nullopt,
                                      run.depositID.value_or(0), nullptr, &record.state,
                                      run.runID});
                    break;
                case RunRecord::Kind::Deposit:
                    break;
            }
        }
    }

    // Keeps only the records whose keys are among `keys`' (a rival's records that may share a
    // key with a checked run's).
    void keepKeysOf(const RunExpectations& keys) {
        const auto keep = [](std::vector<Expected>& list, const std::vector<Expected>& of) {
            QSet<std::int64_t> wanted;
            for (const Expected& e : of)
                wanted.insert(e.key);
            std::erase_if(list, [&](const Expected& e) { return !wanted.contains(e.key); });
        };
        keep(entries, keys.entries);
        keep(splits, keys.splits);
        keep(deposits, keys.deposits);
    }

    void append(const RunExpectations& other) {
        entries.insert(entries.end(), other.entries.begin(), other.entries.end());
        splits.insert(splits.end(), other.splits.begin(), other.splits.end());
        deposits.insert(deposits.end(), other.deposits.begin(), other.deposits.end());
    }

    void lookUpAll(ledger::Database& db) {
        lookUpEntries(db, entries);
        lookUp(db, SplitPrintedChecks::table,
               {SplitPrintedChecks::CkNumber, SplitPrintedChecks::CkAmount,
                SplitPrintedChecks::CkPostToID},
               splits, splitState);
        lookUp(db, CheckDepPrinted::table,
               {CheckDepPrinted::CkAmount, CheckDepPrinted::CkNumber, CheckDepPrinted::CkType},
               deposits, depositState);
    }
};

std::vector<RunRecord> recordsOf(const Run& run) {
    std::vector<RunRecord> records;
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
    return records;
}

}  // namespace

std::vector<std::vector<RunRecord>> LedgerCheck::records(const std::vector<const Run*>& runs) {
    std::vector<std::vector<RunRecord>> all(runs.size());
    // The records first, so that the expectations can point at their states.
    QSet<std::int64_t> checked;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        all[i] = recordsOf(*runs[i]);
        checked.insert(runs[i]->runID);
    }
    RunExpectations expected;
    for (std::size_t i = 0; i < runs.size(); ++i)
        expected.add(*runs[i], all[i]);
    // The other runs' records that share a key with a checked one decide whose record it is.
    std::vector<std::vector<RunRecord>> rivalRecords;
    std::vector<const Run*> rivals;
    for (const Run* rival : rivals_) {
        if (!checked.contains(rival->runID))
            rivals.push_back(rival);
    }
    rivalRecords.reserve(rivals.size());
    RunExpectations others;
    for (const Run* rival : rivals) {
        rivalRecords.push_back(recordsOf(*rival));
        others.add(*rival, rivalRecords.back());
    }
    others.keepKeysOf(expected);
    expected.append(others);
    ledger::ReadTransaction snapshot(db_);
    expected.lookUpAll(db_);
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

QHash<std::int64_t, LedgerState> PostedRunStates(PostingJournal& journal, ledger::Database& db) {
    const std::vector<Run> settled = journal.runsToCheck();
    std::vector<const Run*> checked, all;
    for (const Run& run : settled) {
        all.push_back(&run);
        if (run.state == RunState::Posted)
            checked.push_back(&run);
    }
    const std::vector<LedgerState> states = LedgerCheck(db, all).states(checked);
    QHash<std::int64_t, LedgerState> byRun;
    for (std::size_t i = 0; i < checked.size(); ++i)
        byRun.insert(checked[i]->runID, states[i]);
    return byRun;
}

const PaymentStanding& PaymentStandings::of(const QString& number) const {
    static const PaymentStanding kNotPosted;
    const auto it = byNumber_.constFind(number);
    return it == byNumber_.constEnd() ? kNotPosted : *it;
}

namespace {

// One posting of a number, or one recorded return of it, with its income entry as expected.
struct Posting {
    QString number;
    PostedPayment payment;
    RecordState state = RecordState::Missing;
};
struct Return {
    QString number;
    RecordedReturn recorded;
    std::int64_t paymentRunID = 0;
    int paymentLine = 0;
    RecordState state = RecordState::Missing;
};

QDate dayOf(const QString& postedAt) {
    return QDate::fromString(postedAt.left(10), Qt::ISODate);
}

// The expectation of a row's income entry.
Expected incomeOf(const RunRow& r, std::int64_t runID, RecordState* state) {
    return {*r.incomeTransID, r.incomeAmount, rowEntryTenant(r), rowEntryDate(r), 0, "I", state,
            runID};
}

// Entries whose key now holds another record of the journal's runs: a changed entry whose key
// holds, as written, a record another run wrote is gone, not changed.
void settleChangedAgainstAllRuns(PostingJournal& journal, ledger::Database& db,
                                 const std::vector<Expected>& checked) {
    QSet<std::int64_t> changedKeys;
    for (const Expected& e : checked) {
        if (*e.state == RecordState::Changed)
            changedKeys.insert(e.key);
    }
    if (changedKeys.isEmpty())
        return;
    const std::vector<Run> runs = journal.runsToCheck();
    std::vector<std::vector<RunRecord>> records;
    records.reserve(runs.size());
    RunExpectations all;
    for (const Run& run : runs) {
        records.push_back(recordsOf(run));
        all.add(run, records.back());
    }
    std::erase_if(all.entries, [&](const Expected& e) { return !changedKeys.contains(e.key); });
    {
        ledger::ReadTransaction snapshot(db);
        lookUpEntries(db, all.entries);
    }
    QSet<std::int64_t> heldByAnother;
    for (const Expected& e : all.entries) {
        if (*e.state == RecordState::AsWritten)
            heldByAnother.insert(e.key);
    }
    for (const Expected& e : checked) {
        if (*e.state == RecordState::Changed && heldByAnother.contains(e.key))
            *e.state = RecordState::Missing;
    }
}

}  // namespace

namespace {

// The settled runs' posting days, and which of them are reversed (a run reversed whose records a
// restored ledger holds again has them in the ledger as much as a posted one).
struct SettledRuns {
    QHash<std::int64_t, QDate> postedOn;
    QSet<std::int64_t> reversed;
};

SettledRuns settledRuns(PostingJournal& journal) {
    SettledRuns runs;
    Statement s = journal.db().prepare(
        "SELECT RunID, PostedAt, State FROM Runs WHERE State IN ('posted', 'reversed')");
    while (s.step()) {
        runs.postedOn.insert(s.integer(0), dayOf(s.text(1)));
        if (s.text(2) == QLatin1String("reversed"))
            runs.reversed.insert(s.integer(0));
    }
    return runs;
}

// Every posting of the numbers by a settled run, with the expectation of its income entry.
std::vector<Posting> postingsOf(PostingJournal& journal, const QString& numbers,
                                const SettledRuns& runs, std::vector<Expected>& entries) {
    std::vector<Posting> postings;
    std::vector<Expected> expected;  // by posting, each with an income entry
    Statement s = journal.db().prepare(
        "SELECT Numbers.value, Posted.RunID, Posted.Line, Posted.TenantID, "
        "Posted.IncomeTransID, Posted.IncomeAmount, Posted.EntryDate, Posted.FeeTransID "
        "FROM json_each(?1) AS Numbers CROSS JOIN PostedNumbers AS Posted ON "
        "Posted.TransactionNumber = Numbers.value");
    s.bind(1, numbers);
    while (s.step()) {
        const auto day = runs.postedOn.constFind(s.integer(1));
        if (day == runs.postedOn.constEnd())
            continue;
        Posting p;
        p.number = s.text(0);
        p.payment.runID = day.key();
        p.payment.postedOn = *day;
        p.payment.line = static_cast<int>(s.integer(2));
        p.payment.incomeTransID = s.optionalInteger(4);
        p.payment.feeTransID = s.optionalInteger(7);
        if (p.payment.incomeTransID) {
            Expected e;
            e.key = *p.payment.incomeTransID;
            e.link = s.integer(3);
            e.amount = currencyOf(s.optionalInteger(5));
            if (const auto date = s.optionalText(6))
                e.date = QDate::fromString(*date, Qt::ISODate);
            e.type = "I";
            e.runID = day.key();
            expected.push_back(e);
        }
        postings.push_back(std::move(p));
    }
    // The states point into the postings, which no longer grow (returning the vector moves its
    // buffer, not its elements).
    auto e = expected.begin();
    for (Posting& p : postings) {
        if (p.payment.incomeTransID)
            (e++)->state = &p.state;
    }
    entries.insert(entries.end(), expected.begin(), expected.end());
    return postings;
}

// Every return of the numbers recorded by a settled run.
std::vector<Return> returnsOf(PostingJournal& journal, const QString& numbers,
                              const SettledRuns& runs) {
    std::vector<Return> returns;
    Statement s = journal.db().prepare(
        "SELECT Numbers.value, Returned.RunID, Returned.Line, Returned.PaymentRunID, "
        "Returned.PaymentLine FROM json_each(?1) AS Numbers CROSS JOIN ReturnedPayments AS "
        "Returned ON Returned.TransactionNumber = Numbers.value");
    s.bind(1, numbers);
    while (s.step()) {
        if (!runs.postedOn.contains(s.integer(1)))
            continue;
        Return r;
        r.number = s.text(0);
        r.recorded.runID = s.integer(1);
        r.recorded.line = static_cast<int>(s.integer(2));
        r.paymentRunID = s.integer(3);
        r.paymentLine = static_cast<int>(s.integer(4));
        returns.push_back(std::move(r));
    }
    return returns;
}

// The expectations of the returns' income entries: each return's row in the run that recorded
// it (the journal keeps the keys there).
void expectReturns(PostingJournal& journal, std::vector<Return>& returns,
                   std::vector<Expected>& entries) {
    QHash<std::int64_t, std::optional<Run>> recordingRuns;
    for (const Return& r : returns) {
        if (!recordingRuns.contains(r.recorded.runID))
            recordingRuns.insert(r.recorded.runID, journal.runToCheck(r.recorded.runID));
    }
    for (Return& r : returns) {
        const auto run = recordingRuns.constFind(r.recorded.runID);
        if (!*run)
            continue;
        for (const RunRow& row : (*run)->rows) {
            if (row.line == r.recorded.line && row.returnOf && row.incomeTransID) {
                r.recorded.recordedOn = row.returnOf->recordedOn;
                entries.push_back(incomeOf(row, (*run)->runID, &r.state));
                break;
            }
        }
    }
}

// A number's standing from its postings and returns, their entries looked up: its posting is the
// newest run's whose entry the ledger holds as written, else the newest whose entry was changed;
// else it is no longer posted (told, unless a reversal took it out).
PaymentStanding standingOf(const std::vector<const Posting*>& postings,
                           const std::vector<const Return*>& returns,
                           const QSet<std::int64_t>& reversed) {
    const auto rank = [](const Posting& p) {
        const int held = p.state == RecordState::AsWritten ? 2
                         : p.state == RecordState::Changed ? 1
                                                           : 0;
        return std::pair(held, p.payment.runID);
    };
    const Posting* best = nullptr;
    for (const Posting* p : postings) {
        if (!best || rank(*best) < rank(*p))
            best = p;
    }
    PaymentStanding standing;
    if (best->state == RecordState::Missing) {
        if (!reversed.contains(best->payment.runID))
            standing.goneSince = best->payment.postedOn;
        return standing;
    }
    standing.kind = best->state == RecordState::AsWritten ? PaymentStanding::Kind::Posted
                                                          : PaymentStanding::Kind::Changed;
    standing.posting = best->payment;
    standing.posting->entry = best->state;
    // Its return, while the ledger holds the return's entry as written (the newest).
    for (const Return* r : returns) {
        if (r->paymentRunID == best->payment.runID && r->paymentLine == best->payment.line &&
            r->state == RecordState::AsWritten &&
            (!standing.returned || standing.returned->runID < r->recorded.runID))
            standing.returned = r->recorded;
    }
    if (standing.returned)
        standing.kind = PaymentStanding::Kind::ReturnRecorded;
    return standing;
}

}  // namespace

PaymentStandings FindPaymentStandings(PostingJournal& journal, ledger::Database& db,
                                      const QStringList& numbers) {
    PaymentStandings found;
    QStringList wanted;
    wanted.reserve(numbers.size());
    for (const QString& number : numbers) {
        if (!number.isEmpty())
            wanted << number;
    }
    if (wanted.isEmpty())
        return found;
    const QString json = jsonArray(wanted);
    const SettledRuns runs = settledRuns(journal);
    if (runs.postedOn.isEmpty())
        return found;
    std::vector<Expected> entries;
    const std::vector<Posting> postings = postingsOf(journal, json, runs, entries);
    std::vector<Return> returns = returnsOf(journal, json, runs);
    expectReturns(journal, returns, entries);
    {
        ledger::ReadTransaction snapshot(db);
        lookUpEntries(db, entries);
    }
    settleChangedAgainstAllRuns(journal, db, entries);

    QHash<QString, std::vector<const Posting*>> postingsByNumber;
    for (const Posting& p : postings)
        postingsByNumber[p.number].push_back(&p);
    QHash<QString, std::vector<const Return*>> returnsByNumber;
    for (const Return& r : returns)
        returnsByNumber[r.number].push_back(&r);
    for (auto it = postingsByNumber.cbegin(); it != postingsByNumber.cend(); ++it)
        found.set(it.key(), standingOf(*it, returnsByNumber.value(it.key()), runs.reversed));
    return found;
}

}  // namespace corvane::journal
