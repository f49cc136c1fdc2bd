// The books against a model: random sequences of what an office and Lodgebook do over a few
// months (downloads posted with every choice and every answer, returns reported, runs reversed,
// the ledger restored from a backup, Lodgebook's own entries, tenants chosen, remembered and
// forgotten), each step checked against a plain model of the books that this test keeps by
// itself. A failing sequence is shrunk to the shortest and printed with its seed.
//
// CI runs a bounded number of sequences; CORVANE_BOOKS_SEQUENCES=N runs N of them (RC_PARAMS,
// RapidCheck's own settings, is read as well: RC_PARAMS="reproduce=..." replays a failure).
#include "core/Globals.h"
#include "core/Preferences.h"
#include "journal/LedgerCheck.h"
#include "journal/PostingJournal.h"
#include "journal/RememberedTenants.h"
#include "journal/FromSharedState.h"
#include "journal/RunReversal.h"
#include "payments/PaymentLoad.h"
#include "payments/PostingRunOf.h"
#include "payments/TenantChoice.h"
#include "support/HookedFiles.h"
#include "support/PlatformDoubles.h"
#include "support/TestLedger.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <rapidcheck.h>
#include <rapidcheck/gtest.h>
#include <rapidcheck/state.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <sstream>
#include <vector>

namespace corvane::test {
namespace {

// The payments the processor may report: two of tenant 101 alike but for the day (B104 falls on
// the day a return of B101 may be recorded), and one of an account that matches no tenant (its
// tenant chosen as 102).
struct KnownPayment {
    const char* number;
    const char* account;
    int tenant;  // 0: none matches the account; chosen as kChosenTenant
    const char* amount;
    const char* date;
};
constexpr KnownPayment kPayments[] = {
    {"B101", "T101", 101, "1250.00", "12/01/2026"}, {"B102", "T102", 102, "900.50", "12/02/2026"},
    {"B103", "T103", 103, "75.00", "12/02/2026"},   {"B104", "T101", 101, "1250.00", "12/04/2026"},
    {"B105", "T999", 0, "640.00", "12/03/2026"},    {"B106", "T102", 102, "910.00", "12/05/2026"},
};
constexpr int kPaymentCount = 6;
constexpr int kChosenTenant = 102;
constexpr int kTenants[] = {101, 102, 103};
const ledger::Currency kFee = ledger::Currency::fromUnits(250000);  // the owner's $25.00
const QDateTime kFirstDay(QDate(2026, 12, 1), QTime(10, 0));

ledger::Currency amountOf(int payment) {
    return *ledger::Currency::fromText(QString::fromLatin1(kPayments[payment].amount));
}

// ----- The model: what the books hold, kept without Corvane's code -----

// The three tables a run writes, each a map from key to the record's values as text, with the
// next key each table gives (AUTOINCREMENT: never one given before, unless a restore forgets it).
enum Table { kEntries, kSplits, kDeposits };
struct Balances {
    std::map<int, ledger::Currency> tenant, unit;
};
struct ModelLedger {
    std::map<std::int64_t, QString> tables[3];
    std::int64_t next[3] = {1, 1, 1};
    Balances balances;

    std::int64_t add(Table table, const QString& values) {
        tables[table][next[table]] = values;
        return next[table]++;
    }
};

// A record a run wrote: where, and with which values.
struct ModelRecord {
    Table table = kEntries;
    std::int64_t key = 0;
    QString values;
};
struct ModelPosting {
    int run = 0;  // index into Model::runs
    int payment = 0;
    int tenant = 0;
    bool fee = false;
    bool first = false;  // its number's first row posted in the run
    std::int64_t incomeKey = 0;
};
struct ModelReturn {
    int run = 0;
    int posting = 0;  // index into Model::postings
    std::int64_t incomeKey = 0;
};
struct ModelRun {
    bool reversed = false;
    std::vector<ModelRecord> records;
    std::vector<std::pair<int, std::pair<ledger::Currency, ledger::Currency>>> changes;
};

QString money(ledger::Currency amount) {
    return QString::number(amount.toDouble(), 'f', 2);
}
QString isoDay(const char* usDate) {
    return QDate::fromString(QLatin1String(usDate), QStringLiteral("MM/dd/yyyy"))
        .toString(Qt::ISODate);
}
QString entryValues(const char* type, int tenant, ledger::Currency amount, const QString& day) {
    return QStringLiteral("%1|%2|%3|%4").arg(QLatin1String(type)).arg(tenant).arg(money(amount), day);
}

struct Model {
    std::vector<ModelRun> runs;
    std::vector<ModelPosting> postings;
    std::vector<ModelReturn> returns;
    ModelLedger ledger;
    std::map<int, ModelLedger> backups;
    bool remembered = false;  // the account T999 remembered as kChosenTenant
    int day = 0;              // days since kFirstDay

    // Whether the ledger holds the record as the run wrote it, and it is that run's: a key that
    // several runs wrote with the same values is the newest's.
    bool holds(int run, const ModelRecord& r) const {
        const auto it = ledger.tables[r.table].find(r.key);
        if (it == ledger.tables[r.table].end() || it->second != r.values)
            return false;
        for (std::size_t later = static_cast<std::size_t>(run) + 1; later < runs.size(); ++later) {
            for (const ModelRecord& other : runs[later].records) {
                if (other.table == r.table && other.key == r.key && other.values == r.values)
                    return false;
            }
        }
        return true;
    }
    const ModelRecord& incomeRecord(int run, std::int64_t key) const {
        for (const ModelRecord& r : runs[static_cast<std::size_t>(run)].records) {
            if (r.table == kEntries && r.key == key)
                return r;
        }
        static const ModelRecord kNone;
        return kNone;
    }
    bool postingHeld(const ModelPosting& p) const {
        return holds(p.run, incomeRecord(p.run, p.incomeKey));
    }
    bool returnHeld(const ModelReturn& r) const {
        return holds(r.run, incomeRecord(r.run, r.incomeKey));
    }
    // The posting of a payment the ledger holds: the newest run's first row whose income entry
    // is there; -1 when none.
    int currentPosting(int payment) const {
        int best = -1;
        for (int i = 0; i < static_cast<int>(postings.size()); ++i) {
            const ModelPosting& p = postings[static_cast<std::size_t>(i)];
            if (p.payment == payment && p.first && postingHeld(p) &&
                (best < 0 || postings[static_cast<std::size_t>(best)].run < p.run))
                best = i;
        }
        return best;
    }
    bool returnRecorded(int posting) const {
        for (const ModelReturn& r : returns) {
            if (r.posting == posting && returnHeld(r))
                return true;
        }
        return false;
    }
    // "Posted", "Partly in ledger" or "Not in ledger", as the run's records say.
    QString runState(int run) const {
        const ModelRun& r = runs[static_cast<std::size_t>(run)];
        std::size_t held = 0;
        for (const ModelRecord& record : r.records)
            held += holds(run, record);
        if (held == r.records.size())
            return QStringLiteral("Posted");
        return held == 0 ? QStringLiteral("Not in ledger") : QStringLiteral("Partly in ledger");
    }
    void move(int run, int tenant, ledger::Currency tenantChange, ledger::Currency unitChange) {
        ledger.balances.tenant[tenant] += tenantChange;
        ledger.balances.unit[tenant] += unitChange;
        runs[static_cast<std::size_t>(run)].changes.push_back({tenant, {tenantChange, unitChange}});
    }
};

Model initialModel() {
    Model m;
    m.ledger.balances.tenant = {{101, ledger::Currency::fromUnits(10000000)},
                                {102, {}},
                                {103, ledger::Currency::fromUnits(-200000)}};
    m.ledger.balances.unit = {{101, ledger::Currency::fromUnits(5000000)},
                              {102, {}},
                              {103, ledger::Currency::fromUnits(100000)}};
    return m;
}

// ----- The office: a Lodgebook folder with Corvane, driven without its windows -----

// Answers the posting run's two questions as the step says, and Yes to every other question.
class AnsweringDialogs final : public Dialogs {
public:
    bool leaveNotedOut = true;
    bool recordReturns = true;
    std::optional<QString> notesQuestion;
    std::vector<QString> messages;

    int messageBox(const QString& text, MsgButtons buttons, MsgIcon, const QString&) override {
        if (buttons == MsgButtons::Ok) {
            messages.push_back(text);
            return kAnswerOk;
        }
        if (text.contains(QLatin1String("carry a note in the Note column"))) {
            notesQuestion = text;
            return leaveNotedOut ? kAnswerYes : kAnswerNo;
        }
        if (text.contains(QLatin1String("reported by the processor as not settled")))
            return recordReturns ? kAnswerYes : kAnswerNo;
        return kAnswerYes;
    }
    QString inputBox(const QString&, const QString&, const QString&) override { return {}; }
    void setBusyPointer(bool) override {}
};

class Office {
    QTemporaryDir folder_, backups_;
    HookedFiles files_;
    FakeEnvironment environment_;
    FakeShell shell_;
    FakePrinters printers_;
    FakeSessions sessions_;

public:
    AnsweringDialogs dialogs;

private:
    Platform platform_;

public:
    Office()
        : platform_{dialogs, files_, environment_, shell_, printers_, sessions_},
          globals(platform_, folder_.path()),
          ledger(folder_.filePath(kLedgerFileName)) {
        globals.PaymentFileName = kPaymentFileName;
        globals.preferences = readLedgerPreferences(
            QStringLiteral("Rent Income;B-4010"), QStringLiteral("MONTH RENT"),
            QStringLiteral("Management Fees;U-5010"), QStringLiteral("Management Fee"),
            QStringLiteral("Late Fee Received;T-4020"), QStringLiteral("Late Fee"));
        ledger.addOwner(7, QStringLiteral("Owner"), QStringLiteral("Olga"), QStringLiteral("25"));
        ledger.addProperty(3, 7, QStringLiteral("Elm Court"));
        const Model start = initialModel();
        for (int t : kTenants) {
            ledger.addTenant(t, 3, QStringLiteral("Ann%1").arg(t), QStringLiteral("Lee"),
                             QStringLiteral("Y"), start.ledger.balances.tenant.at(t).toDouble());
            ledger.addUnit(t, t, QStringLiteral("%1 Elm St").arg(t), QString(),
                           start.ledger.balances.unit.at(t).toDouble());
        }
        environment_.clock = kFirstDay;
        openLedger();
    }

    QString path(const QString& name) const { return folder_.filePath(name); }
    void setDay(int day) { environment_.clock = kFirstDay.addDays(day); }
    void openLedger() { globals.LedgerDb = ledger::Database::open(ledger.path()); }
    // The ledger's connection closed, so that the file alone holds the books.
    void closeLedger() { globals.LedgerDb.reset(); }
    std::unique_ptr<journal::PostingJournal> journal() {
        return journal::PostingJournal::open(folder_.path());
    }
    QString backupPath(int slot) const { return backups_.filePath(QString::number(slot)); }

    Globals globals;
    TestLedger ledger;
};

using Command = rc::state::Command<Model, Office>;

// One row of a download: a known payment, settled or reported "Returned".
struct Row {
    int payment = 0;
    bool returned = false;
};

QByteArray downloadOf(const std::vector<Row>& rows) {
    QByteArray text;
    for (const Row& r : rows) {
        const KnownPayment& p = kPayments[r.payment];
        text += QByteArray(p.number) + ',' + p.account + ",Payer,1 Road," + p.date + ",Check,$" +
                p.amount + ',' + (r.returned ? "Returned" : "Posted") +
                ",KV,Online,Rent Payment\r\n";
    }
    return text;
}

// A download posted: the rows, the screen's choices, the tenant chosen for the account of no
// tenant, and the answers to the questions.
struct Download : Command {
    std::vector<Row> rows;
    bool fees = false, deposit = false, leaveNotedOut = true, recordReturns = true;
    bool choose = false, remember = false;

    Download() {
        const auto count = *rc::gen::inRange(1, 6);
        for (int i = 0; i < count; ++i)
            rows.push_back({*rc::gen::inRange(0, kPaymentCount), *rc::gen::weightedElement<bool>(
                                                                      {{3, false}, {1, true}})});
        fees = *rc::gen::arbitrary<bool>();
        deposit = *rc::gen::arbitrary<bool>();
        leaveNotedOut = *rc::gen::arbitrary<bool>();
        recordReturns = *rc::gen::arbitrary<bool>();
        choose = *rc::gen::arbitrary<bool>();
        remember = choose && *rc::gen::arbitrary<bool>();
    }
    Download(std::vector<Row> r, bool f, bool d, bool leave, bool record, bool c = false,
             bool rem = false)
        : rows(std::move(r)), fees(f), deposit(d), leaveNotedOut(leave), recordReturns(record),
          choose(c), remember(rem) {}

    // The tenant of each row as the load and the screen leave it: 0 for none.
    std::vector<int> tenants(const Model& m) const {
        std::vector<int> t;
        bool chosenOne = false;
        for (const Row& r : rows) {
            const KnownPayment& p = kPayments[r.payment];
            int tenant = p.tenant;
            if (tenant == 0 && (m.remembered || (choose && (remember || !chosenOne)))) {
                chosenOne = chosenOne || !m.remembered;
                tenant = kChosenTenant;
            }
            t.push_back(tenant);
        }
        return t;
    }

    // What the run does, row by row, and how many rows the notes question counts.
    struct Plan {
        std::vector<bool> posted;
        std::vector<int> returnOf;  // per row: the posting whose return it records, or -1
        int asked = 0;
    };
    Plan plan(const Model& m) const {
        Plan plan;
        const std::vector<int> tenant = tenants(m);
        std::vector<bool> seen(kPaymentCount, false), returnSeen(kPaymentCount, false);
        enum class Note { None, Asked, NeverPosted, ChosenTenant };
        std::vector<Note> notes;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const Row& r = rows[i];
            const int current = m.currentPosting(r.payment);
            int returnOf = -1;
            Note note = Note::None;
            if (current >= 0 && m.returnRecorded(current)) {
                note = Note::NeverPosted;
            } else if (current >= 0 && r.returned) {
                note = Note::NeverPosted;
                if (!returnSeen[static_cast<std::size_t>(r.payment)] && recordReturns)
                    returnOf = current;
                returnSeen[static_cast<std::size_t>(r.payment)] = true;
            } else if (current >= 0 || seen[static_cast<std::size_t>(r.payment)] || r.returned) {
                note = Note::Asked;
            }
            seen[static_cast<std::size_t>(r.payment)] = true;
            plan.returnOf.push_back(returnOf);
            notes.push_back(note);
            plan.asked += note == Note::Asked && tenant[i] != 0;
        }
        for (std::size_t i = 0; i < rows.size(); ++i) {
            plan.posted.push_back(tenant[i] != 0 && notes[i] != Note::NeverPosted &&
                                  !(notes[i] == Note::Asked && leaveNotedOut));
        }
        return plan;
    }

    void apply(Model& m) const override {
        const Plan p = plan(m);
        const std::vector<int> tenant = tenants(m);
        const int run = static_cast<int>(m.runs.size());
        m.runs.emplace_back();
        const QString today = kFirstDay.addDays(m.day).date().toString(Qt::ISODate);
        const auto write = [&](Table table, const QString& values) {
            const std::int64_t key = m.ledger.add(table, values);
            m.runs.back().records.push_back({table, key, values});
            return key;
        };
        // The income entries, then the fees, then the returns, then the deposit and its lines:
        // the order of the run's writes, which gives the keys.
        std::vector<bool> firstDone(kPaymentCount, false);
        std::vector<int> posted;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (!p.posted[i])
                continue;
            const int payment = rows[i].payment;
            const std::int64_t key =
                write(kEntries, entryValues("I", tenant[i], amountOf(payment),
                                            isoDay(kPayments[payment].date)));
            m.postings.push_back({run, payment, tenant[i], fees,
                                  !firstDone[static_cast<std::size_t>(payment)], key});
            firstDone[static_cast<std::size_t>(payment)] = true;
            posted.push_back(static_cast<int>(m.postings.size()) - 1);
            m.move(run, tenant[i], amountOf(payment),
                   amountOf(payment) - (fees ? kFee : ledger::Currency()));
        }
        for (const int i : posted) {
            const ModelPosting& paid = m.postings[static_cast<std::size_t>(i)];
            if (fees)
                write(kEntries, entryValues("E", paid.tenant, -kFee,
                                            isoDay(kPayments[paid.payment].date)));
        }
        std::vector<int> returned;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (p.returnOf[i] < 0)
                continue;
            const ModelPosting paid = m.postings[static_cast<std::size_t>(p.returnOf[i])];
            const std::int64_t key =
                write(kEntries, entryValues("I", paid.tenant, -amountOf(paid.payment), today));
            if (paid.fee)
                write(kEntries, entryValues("E", paid.tenant, kFee, today));
            m.returns.push_back({run, p.returnOf[i], key});
            returned.push_back(p.returnOf[i]);
            m.move(run, paid.tenant, -amountOf(paid.payment),
                   -amountOf(paid.payment) + (paid.fee ? kFee : ledger::Currency()));
        }
        if (deposit) {
            const std::int64_t depositKey = m.ledger.next[kDeposits];
            ledger::Currency total;
            std::vector<QString> lines;
            for (const int i : posted) {
                const ModelPosting& paid = m.postings[static_cast<std::size_t>(i)];
                total += amountOf(paid.payment);
                lines.push_back(QStringLiteral("%1|%2|%3")
                                    .arg(depositKey)
                                    .arg(money(amountOf(paid.payment)))
                                    .arg(paid.tenant));
            }
            for (const int i : returned) {
                const ModelPosting& paid = m.postings[static_cast<std::size_t>(i)];
                total -= amountOf(paid.payment);
                lines.push_back(QStringLiteral("%1|%2|%3")
                                    .arg(depositKey)
                                    .arg(money(-amountOf(paid.payment)))
                                    .arg(paid.tenant));
            }
            write(kDeposits, QStringLiteral("%1|1045|D").arg(money(total)));
            for (const QString& line : lines)
                write(kSplits, line);
        }
        if (choose && remember)
            m.remembered = true;
    }

    void run(const Model& m, Office& office) const override {
        QFile staged(office.path(kPaymentFileName));
        RC_ASSERT(staged.open(QIODevice::WriteOnly | QIODevice::Truncate));
        staged.write(downloadOf(rows));
        staged.close();
        PaymentLoad load(office.globals.dialogs(), RunSettlementOf(office.globals));
        RC_ASSERT(load.load());
        std::vector<Payment> payments = load.payments();
        if (choose) {
            // As the screen does: the first row of no tenant chosen, the account's others too
            // when the choice is kept.
            const TenantCandidate chosen{kChosenTenant, QStringLiteral("T102"),
                                         QStringLiteral("Lee, Ann102"),
                                         QStringLiteral("102 Elm St"), QStringLiteral("Elm Court")};
            const auto first = std::find_if(payments.begin(), payments.end(),
                                            [](const Payment& p) { return !p.matched(); });
            if (first != payments.end()) {
                auto journal = office.journal();
                ApplyTenantChoice(payments,
                                  {static_cast<std::size_t>(first - payments.begin()), chosen,
                                   remember, QDate(2026, 12, 1), QStringLiteral("OFFICE")},
                                  *office.globals.LedgerDb, journal, office.globals.programFolder());
            }
        }
        office.dialogs.leaveNotedOut = leaveNotedOut;
        office.dialogs.recordReturns = recordReturns;
        office.dialogs.notesQuestion.reset();
        office.dialogs.messages.clear();
        PostingChoices choices;
        choices.postMgmtFees = fees;
        choices.createDeposit = deposit;
        choices.depositNumber = QStringLiteral("1045");
        const PostingOutcome outcome = PostingRunOf(office.globals).run(payments, choices, load.file());
        RC_ASSERT(outcome == PostingOutcome::Completed);
        const Plan p = plan(m);
        const std::optional<QString> question =
            p.asked > 0 ? std::optional(QStringLiteral("%1 of").arg(p.asked)) : std::nullopt;
        RC_ASSERT(office.dialogs.notesQuestion.has_value() == question.has_value());
        if (question)
            RC_ASSERT(office.dialogs.notesQuestion->startsWith(*question));
    }

    void show(std::ostream& os) const override {
        os << "Download(";
        for (const Row& r : rows)
            os << kPayments[r.payment].number << (r.returned ? " Returned" : "") << ", ";
        os << (fees ? "fees" : "no fees") << ", " << (deposit ? "deposit" : "no deposit")
           << ", notes answered " << (leaveNotedOut ? "Yes" : "No") << ", returns answered "
           << (recordReturns ? "Yes" : "No") << (choose ? ", T999 chosen as T102" : "")
           << (remember ? " and remembered" : "") << ")";
    }
};

// "Reverse This Run" on one of the runs, whatever its state.
struct Reverse : Command {
    int target = 0;
    Reverse() : target(*rc::gen::inRange(0, 6)) {}
    explicit Reverse(int r) : target(r) {}

    void checkPreconditions(const Model& m) const override { RC_PRE(target < int(m.runs.size())); }

    bool allowed(const Model& m) const {
        if (m.runs[static_cast<std::size_t>(target)].reversed || m.runState(target) != "Posted")
            return false;
        // A later run's return of one of its payments, still in the ledger, goes first.
        for (const ModelReturn& r : m.returns) {
            if (r.run != target && m.postings[static_cast<std::size_t>(r.posting)].run == target &&
                m.returnHeld(r))
                return false;
        }
        return true;
    }

    void apply(Model& m) const override {
        if (!allowed(m))
            return;
        ModelRun& run = m.runs[static_cast<std::size_t>(target)];
        for (const ModelRecord& r : run.records)
            m.ledger.tables[r.table].erase(r.key);
        for (const auto& [tenant, change] : run.changes) {
            m.ledger.balances.tenant[tenant] -= change.first;
            m.ledger.balances.unit[tenant] -= change.second;
        }
        run.reversed = true;
    }

    void run(const Model& m, Office& office) const override {
        const QStringList before = ledgerDump(office.ledger.path());
        auto journal = office.journal();
        Globals& g = office.globals;
        const ReversalOutcome outcome =
            RunReversal(g.dialogs(), g.LedgerDb.get(), g.paymentFiles(), g.environment(), *journal)
                .run(target + 1);
        RC_ASSERT((outcome == ReversalOutcome::Reversed) == allowed(m));
        if (outcome != ReversalOutcome::Reversed)
            RC_ASSERT(ledgerDump(office.ledger.path()) == before);
    }

    void show(std::ostream& os) const override { os << "Reverse(run " << target + 1 << ")"; }
};

// A backup of the ledger file, as the office's nightly copy makes it.
struct Backup : Command {
    int slot = 0;
    Backup() : slot(*rc::gen::inRange(0, 2)) {}
    explicit Backup(int s) : slot(s) {}

    void apply(Model& m) const override { m.backups[slot] = m.ledger; }
    void run(const Model&, Office& office) const override {
        office.closeLedger();
        QFile::remove(office.backupPath(slot));
        RC_ASSERT(QFile::copy(office.ledger.path(), office.backupPath(slot)));
        office.openLedger();
    }
    void show(std::ostream& os) const override { os << "Backup(" << slot << ")"; }
};

// The ledger restored from a backup: the journal keeps every run, the ledger's keys are used again.
struct Restore : Command {
    int slot = 0;
    Restore() : slot(*rc::gen::inRange(0, 2)) {}
    explicit Restore(int s) : slot(s) {}

    void checkPreconditions(const Model& m) const override { RC_PRE(m.backups.count(slot) > 0); }
    void apply(Model& m) const override { m.ledger = m.backups.at(slot); }
    void run(const Model&, Office& office) const override {
        office.closeLedger();
        QFile::remove(office.ledger.path());
        QFile::remove(office.ledger.path() + QStringLiteral("-wal"));
        QFile::remove(office.ledger.path() + QStringLiteral("-shm"));
        RC_ASSERT(QFile::copy(office.backupPath(slot), office.ledger.path()));
        QFile(office.ledger.path())
            .setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        office.openLedger();
    }
    void show(std::ostream& os) const override { os << "Restore(" << slot << ")"; }
};

// Lodgebook's own work: a $40.00 entry of a tenant on a day of no payment (taking the next key, which after a restore
// may be one a lost run of Corvane's had), or the income entry of a payment removed.
struct Lodgebook : Command {
    bool add = true;
    int tenant = 101;  // add
    int payment = 0;   // remove
    Lodgebook()
        : add(*rc::gen::arbitrary<bool>()),
          tenant(*rc::gen::element(101, 102, 103)),
          payment(*rc::gen::inRange(0, kPaymentCount)) {}
    Lodgebook(bool a, int t, int p) : add(a), tenant(t), payment(p) {}

    QString removedValues() const {
        const KnownPayment& p = kPayments[payment];
        return entryValues("I", p.tenant != 0 ? p.tenant : kChosenTenant, amountOf(payment),
                           isoDay(p.date));
    }
    void apply(Model& m) const override {
        if (add) {
            m.ledger.add(kEntries, entryValues("I", tenant, ledger::Currency::fromUnits(400000),
                                               QStringLiteral("2026-11-20")));
            return;
        }
        // The newest entry of the payment.
        auto& entries = m.ledger.tables[kEntries];
        for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
            if (it->second == removedValues()) {
                entries.erase(it->first);
                return;
            }
        }
    }
    void run(const Model&, Office& office) const override {
        if (add) {
            office.ledger.exec(
                QStringLiteral("INSERT INTO Transactions (TransAccountID, TransPostToID, "
                               "TransAmount, TransDate, TransType, TransStatus, TransRemark) "
                               "VALUES (4010, %1, 40, '2026-11-20', 'I', 'B', 'Typed')")
                    .arg(tenant));
            return;
        }
        const QStringList v = removedValues().split(QLatin1Char('|'));
        office.ledger.exec(QStringLiteral("DELETE FROM Transactions WHERE TransID = (SELECT "
                                          "max(TransID) FROM Transactions WHERE TransType = 'I' "
                                          "AND TransPostToID = %1 AND TransAmount = %2 AND "
                                          "TransDate LIKE '%3%')")
                               .arg(v[1], v[2], v[3]));
    }
    void show(std::ostream& os) const override {
        if (add)
            os << "Lodgebook adds $40.00 for T" << tenant;
        else
            os << "Lodgebook removes the entry of " << kPayments[payment].number;
    }
};

// The remembered tenant of the account T999 forgotten.
struct Forget : Command {
    void apply(Model& m) const override { m.remembered = false; }
    void run(const Model&, Office& office) const override {
        journal::RememberedTenants(office.journal()->db()).forget(QStringLiteral("T999"));
    }
    void show(std::ostream& os) const override { os << "Forget(T999)"; }
};

struct NextDay : Command {
    void apply(Model& m) const override { ++m.day; }
    void run(const Model& m, Office& office) const override { office.setDay(m.day + 1); }
    void show(std::ostream& os) const override { os << "NextDay"; }
};

// After every step: every record of the three tables, the balances and the history's states as
// the model says.
void checkBooks(const Model& m, Office& office) {
    const QString path = office.ledger.path();
    const auto table = [&](Table t) {
        QStringList rows;
        for (const auto& [key, values] : m.ledger.tables[t])
            rows << QString::number(key) + QLatin1Char('|') + values;
        return rows;
    };
    RC_ASSERT(queryRows(path, QStringLiteral(
                                  "SELECT TransID, TransType, TransPostToID, printf('%.2f', "
                                  "TransAmount), substr(TransDate, 1, 10) FROM Transactions "
                                  "ORDER BY TransID")) == table(kEntries));
    RC_ASSERT(queryRows(path, QStringLiteral("SELECT SplitID, CkNumber, printf('%.2f', "
                                             "CkAmount), CkPostToID FROM SplitPrintedChecks "
                                             "ORDER BY SplitID")) == table(kSplits));
    RC_ASSERT(queryRows(path, QStringLiteral("SELECT CkID, printf('%.2f', CkAmount), CkNumber, "
                                             "CkType FROM CheckDepPrinted ORDER BY CkID")) ==
              table(kDeposits));
    for (int t : kTenants) {
        const QStringList balances = queryRows(
            path, QStringLiteral("SELECT printf('%.2f', TCurrBal), printf('%.2f', UCurrBal) FROM "
                                 "Tenants JOIN Units ON UTenantID = TenantID WHERE TenantID = %1")
                      .arg(t));
        RC_ASSERT(balances == QStringList{money(m.ledger.balances.tenant.at(t)) +
                                          QLatin1Char('|') +
                                          money(m.ledger.balances.unit.at(t))});
    }
    // The history's states of the runs that are not reversed.
    const auto journal = office.journal();
    const QHash<std::int64_t, journal::LedgerState> states =
        journal::PostedRunStates(*journal, *office.globals.LedgerDb);
    for (int run = 0; run < static_cast<int>(m.runs.size()); ++run) {
        if (m.runs[static_cast<std::size_t>(run)].reversed) {
            RC_ASSERT(!states.contains(run + 1));
            continue;
        }
        const journal::LedgerState state = states.value(run + 1);
        const QString shown = state == journal::LedgerState::Posted ? QStringLiteral("Posted")
                              : state == journal::LedgerState::NotInLedger
                                  ? QStringLiteral("Not in ledger")
                                  : QStringLiteral("Partly in ledger");
        RC_ASSERT(shown == m.runState(run));
    }
}

// Each command checks the books after it runs.
template <typename Step>
struct Checked : Step {
    using Step::Step;
    void run(const Model& m, Office& office) const override {
        Step::run(m, office);
        Model next = m;
        Step::apply(next);
        checkBooks(next, office);
    }
};

using Steps = rc::state::Commands<Command>;

template <typename Step, typename... Args>
std::shared_ptr<const Command> step(Args&&... args) {
    return std::make_shared<const Checked<Step>>(std::forward<Args>(args)...);
}

// Runs a sequence the model found, as a plain test that names the step and the check that fail.
void runSteps(const Steps& steps) {
    Office office;
    Model model = initialModel();
    for (const auto& s : steps) {
        std::ostringstream shown;
        s->show(shown);
        try {
            s->checkPreconditions(model);
            s->run(model, office);
        } catch (const rc::detail::CaseResult& result) {
            FAIL() << shown.str() << ": " << result.description;
        }
        s->apply(model);
    }
}

TEST(BooksModel, anySequenceOfAnOfficesWorkKeepsTheBooksTrue) {
    rc::detail::TestParams params = rc::detail::configuration().testParams;
    if (!std::getenv("RC_PARAMS")) {
        params.maxSuccess = 60;
        params.maxSize = 30;
    }
    if (const char* sequences = std::getenv("CORVANE_BOOKS_SEQUENCES"))
        params.maxSuccess = std::atoi(sequences);
    rc::detail::TestMetadata metadata;
    metadata.id = "BooksModel/anySequenceOfAnOfficesWorkKeepsTheBooksTrue";
    metadata.description = "any sequence of an office's work keeps the books true";
    const auto result = rc::detail::checkTestable(
        [] {
            Office office;
            rc::state::check(initialModel(), office,
                             rc::state::gen::execOneOfWithArgs<
                                 Checked<Download>, Checked<Download>, Checked<Download>,
                                 Checked<Reverse>, Checked<Backup>, Checked<Restore>,
                                 Checked<Lodgebook>, Checked<Forget>, Checked<NextDay>>());
        },
        metadata, params);
    if (!result.template is<rc::detail::SuccessResult>()) {
        std::ostringstream message;
        rc::detail::printResultMessage(result, message);
        FAIL() << message.str();
    }
}

// The sequences the model found, kept as they were shrunk.
using Rows = std::vector<Row>;
constexpr bool kFees = true, kDeposit = true, kYes = true, kNo = false;

TEST(BooksModelFound, returnOfAChosenTenantsPayment_bothRunsStayPostedAndReverseNewestFirst) {
    runSteps({step<Download>(Rows{{4, false}}, kFees, kDeposit, kYes, kYes, true, false),
              step<NextDay>(),
              step<Download>(Rows{{4, true}}, kFees, kDeposit, kYes, kYes),
              step<Reverse>(0), step<Reverse>(1), step<Reverse>(0)});
}

TEST(BooksModelFound, postedAgainAfterARestore_theOlderRunIsNotInLedgerNorReversed) {
    runSteps({step<Backup>(0), step<Download>(Rows{{0, false}}, kNo, kNo, kNo, kNo),
              step<Restore>(0), step<Download>(Rows{{0, false}}, kNo, kNo, kNo, kNo),
              step<Reverse>(0), step<Reverse>(1)});
}

TEST(BooksModelFound, theSameRecordsWrittenTwice_areTheNewerRunsWhicheverBackupHoldsThem) {
    runSteps({step<Backup>(0), step<Download>(Rows{{0, false}}, kNo, kNo, kNo, kNo),
              step<Backup>(1), step<Restore>(0),
              step<Download>(Rows{{0, false}}, kNo, kNo, kNo, kNo), step<Restore>(1)});
}

TEST(BooksModelFound, returnRecordedThenRestoredAway_isRecordedAgain) {
    runSteps({step<Download>(Rows{{0, false}}, kFees, kDeposit, kYes, kYes), step<Backup>(0),
              step<NextDay>(), step<Download>(Rows{{0, true}}, kFees, kDeposit, kYes, kYes),
              step<Restore>(0), step<Download>(Rows{{0, true}}, kFees, kDeposit, kYes, kYes)});
}

TEST(BooksModelFound, recordedReturnAnsweredNo_isNeverPostedAsNewRent) {
    runSteps({step<Download>(Rows{{1, false}}, kNo, kNo, kNo, kNo),
              step<Download>(Rows{{1, true}}, kNo, kNo, kNo, kYes),
              step<Download>(Rows{{1, false}}, kNo, kNo, kNo, kNo)});
}

TEST(BooksModelFound, aKeyTakenByLodgebooksOwnEntry_leavesThePaymentToBePostedAgain) {
    runSteps({step<Backup>(0), step<Download>(Rows{{1, false}}, kNo, kNo, kNo, kNo),
              step<Restore>(0), step<Lodgebook>(true, 102, 0),
              step<Download>(Rows{{1, false}}, kFees, kDeposit, kYes, kYes)});
}

TEST(BooksModelFound, aPaymentOnTheDayOfAReturnOfTheSameAmount_isNotInLedger) {
    runSteps({step<Download>(Rows{{0, false}}, kFees, kDeposit, kYes, kYes), step<NextDay>(),
              step<NextDay>(), step<NextDay>(),
              step<Download>(Rows{{0, true}}, kFees, kDeposit, kYes, kYes),
              step<Download>(Rows{{3, false}}, kFees, kDeposit, kYes, kYes)});
}

}  // namespace
}  // namespace corvane::test
