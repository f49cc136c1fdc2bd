#include "SampleFolder.h"

#include "journal/PostingJournal.h"

#include "LodgebookSchema.h"
#include "platform/Files.h"
#include "platform/TextCodec.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace lodgebook {
namespace {

const QString kCrLf = QStringLiteral("\r\n");
constexpr int kFirstTenantId = 1001;
constexpr int kFirstPropId = 201;
constexpr int kSpecialTenants = 12;
constexpr int kTwoUnitTenant = 2;  // index of the tenant who lives in two units
constexpr int kNoUnitTenant = 3;   // index of the tenant who has no unit
constexpr int kVacantTenant = 1;

const char* const kFirstNames[] = {"James",    "Maria", "Robert", "Linda",   "Michael",
                                   "Patricia", "David", "Jenny",  "Carlos",  "Aisha",
                                   "Wei",      "Olga",  "Thomas", "Sarah",   "Daniel",
                                   "Fatima",   "Kevin", "Grace",  "Nikolai", "Hana"};
const char* const kLastNames[] = {"Smith",    "Garcia", "Johnson", "Brown",    "Lee",
                                  "Martinez", "Davis",  "Wilson",  "Anderson", "Taylor",
                                  "Nguyen",   "Moore",  "Clark",   "Lewis",    "Walker",
                                  "Young",    "Hall",   "Allen",   "King",     "Wright"};
const char* const kStreets[] = {"Oak St",   "Maple Ave",   "Harbor Way",  "Pine St",
                                "Cedar Ln", "Elm St",      "Birch Rd",    "Willow Ct",
                                "Front St", "Lakeview Dr", "Sunset Blvd", "Mill Rd"};
const char* const kBuildings[] = {"Harbor View Apartments", "Oak Court",
                                  "Maple Terrace",          "Cedar Flats",
                                  "Willow Commons",         "Front Street Lofts"};
struct City {
    const char* name;
    const char* state;
    const char* zipPrefix;
};
const City kCities[] = {{"Portland", "OR", "972"},
                        {"Salem", "OR", "973"},
                        {"Vancouver", "WA", "986"},
                        {"Beaverton", "OR", "970"}};
// Fees of owners after the first four, which are fixed.
const char* const kMoreFees[] = {"10%", "6.5%", "40", "8%", "25"};

template <typename T, size_t N>
constexpr int count(const T (&)[N]) {
    return static_cast<int>(N);
}

// A seeded generator whose numbers are the same with every standard library.
class Random {
public:
    explicit Random(unsigned seed) : engine_(seed) {}
    int below(int n) { return static_cast<int>(engine_() % static_cast<std::uint32_t>(n)); }
    template <typename T, size_t N>
    const T& pick(const T (&items)[N]) {
        return items[below(static_cast<int>(N))];
    }

private:
    std::mt19937 engine_;
};

[[noreturn]] void failSql(sqlite3* db, const QString& what) {
    throw std::runtime_error(what.toStdString() + ": " + sqlite3_errmsg(db));
}

class Connection {
public:
    explicit Connection(const QString& path) {
        const QByteArray p = QFile::encodeName(path);
        if (sqlite3_open_v2(p.constData(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
            const std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
            sqlite3_close(db_);
            throw std::runtime_error("cannot open " + p.toStdString() + ": " + message);
        }
        sqlite3_busy_timeout(db_, 5000);
    }
    ~Connection() { sqlite3_close(db_); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    sqlite3* get() const { return db_; }
    void exec(const char* sql) {
        if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
            failSql(db_, QString::fromUtf8(sql));
        }
    }

private:
    sqlite3* db_ = nullptr;
};

// A prepared INSERT; values are bound in column order, then run() adds the record.
class Insert {
public:
    Insert(Connection& db, const char* sql) : db_(db.get()) {
        if (sqlite3_prepare_v2(db_, sql, -1, &stmt_, nullptr) != SQLITE_OK) {
            failSql(db_, QString::fromUtf8(sql));
        }
    }
    ~Insert() { sqlite3_finalize(stmt_); }
    Insert(const Insert&) = delete;
    Insert& operator=(const Insert&) = delete;

    Insert& integer(qint64 v) {
        sqlite3_bind_int64(stmt_, ++index_, v);
        return *this;
    }
    Insert& real(double v) {
        sqlite3_bind_double(stmt_, ++index_, v);
        return *this;
    }
    Insert& text(const QString& v) {
        const QByteArray utf8 = v.toUtf8();
        sqlite3_bind_text(stmt_, ++index_, utf8.constData(), static_cast<int>(utf8.size()),
                          SQLITE_TRANSIENT);
        return *this;
    }
    Insert& text(const std::optional<QString>& v) {
        if (!v) {
            sqlite3_bind_null(stmt_, ++index_);
            return *this;
        }
        return text(*v);
    }
    void run() {
        if (sqlite3_step(stmt_) != SQLITE_DONE)
            failSql(db_, QStringLiteral("insert"));
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
        index_ = 0;
    }

private:
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
    int index_ = 0;
};

// Commits at commit(); rolled back when left by an exception.
class Transaction {
public:
    explicit Transaction(Connection& db) : db_(db) { db_.exec("BEGIN IMMEDIATE"); }
    ~Transaction() {
        if (!committed_)
            sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit() {
        db_.exec("COMMIT");
        committed_ = true;
    }

private:
    Connection& db_;
    bool committed_ = false;
};

struct Tenant {
    int id = 0;
    int propId = 0;
    QString first;
    QString last;
    QString address;
    const City* city = nullptr;
    QString zip;
    QString tach;
    qint64 rentCents = 0;
    qint64 balanceCents = 0;
    int units = 1;
};

double dollars(qint64 cents) {
    return static_cast<double>(cents) / 100.0;
}

// "$1,250.00", in double quotes when it has a thousands separator, as the processor writes it.
QString processorAmount(qint64 cents) {
    QString whole = QString::number(cents / 100);
    for (qsizetype i = whole.size() - 3; i > 0; i -= 3)
        whole.insert(i, QLatin1Char(','));
    const QString amount =
        QStringLiteral("$%1.%2").arg(whole).arg(cents % 100, 2, 10, QLatin1Char('0'));
    return whole.contains(QLatin1Char(',')) ? QLatin1Char('"') + amount + QLatin1Char('"') : amount;
}

std::vector<Tenant> makeTenants(const SampleOptions& options, int properties, Random& random) {
    static const qint64 kSpecialBalances[kSpecialTenants] = {0,    0,      125000, -3550, 41025, 0,
                                                             9999, 123456, 0,      1250,  64000, 0};
    std::vector<Tenant> tenants(static_cast<size_t>(options.tenants));
    for (int t = 0; t < options.tenants; ++t) {
        Tenant& tenant = tenants[static_cast<size_t>(t)];
        tenant.id = kFirstTenantId + t;
        tenant.propId = kFirstPropId + t % properties;
        tenant.first = QString::fromLatin1(random.pick(kFirstNames));
        tenant.last = QString::fromLatin1(random.pick(kLastNames));
        tenant.address = QStringLiteral("%1 %2")
                             .arg(100 + random.below(9800))
                             .arg(QString::fromLatin1(random.pick(kStreets)));
        tenant.city = &random.pick(kCities);
        tenant.zip = QString::fromLatin1(tenant.city->zipPrefix) +
                     QStringLiteral("%1").arg(random.below(100), 2, 10, QLatin1Char('0'));
        tenant.rentCents = (650 + 25 * random.below(70)) * 100;
        const int flag = random.below(10);
        tenant.tach = flag < 7   ? QStringLiteral("Y")
                      : flag < 9 ? QStringLiteral("N")
                                 : QStringLiteral("D");
        tenant.balanceCents = random.below(3) == 0 ? 25 * (random.below(880) - 80) : 0;
        if (t >= kSpecialTenants)
            continue;

        tenant.tach = QStringLiteral("Y");
        tenant.balanceCents = kSpecialBalances[t];
        switch (t) {
            case 0:
                tenant.first = QStringLiteral("Renée");
                tenant.last = QStringLiteral("Nuñez");
                tenant.rentCents = 125000;
                break;
            case kVacantTenant:
                tenant.first = QStringLiteral("VACANT");
                tenant.last = QString();
                break;
            case kTwoUnitTenant:
                tenant.units = 2;
                tenant.rentCents = 215000;
                break;
            case kNoUnitTenant:
                tenant.units = 0;
                tenant.address = QStringLiteral("PO Box 1142");
                break;
            case 4:
                tenant.tach = QStringLiteral("D");
                break;
            case 5:
            case 8:
                tenant.tach = QStringLiteral("N");
                break;
            default:
                break;
        }
    }
    return tenants;
}

QString email(const Tenant& tenant) {
    if (tenant.first == QLatin1String("VACANT"))
        return {};
    // Plain letters only: "Renée Nuñez" writes as renee.nunez.
    QString name = (tenant.first + QLatin1Char('.') + tenant.last).toLower();
    name = name.normalized(QString::NormalizationForm_D);
    name.removeIf([](QChar c) { return c.unicode() > 0x7f || c == QLatin1Char(' '); });
    return name + QStringLiteral("@example.com");
}

struct LedgerCounts {
    int owners = 0;
    int properties = 0;
    int units = 0;
};

// Earlier entries of the ledger's tenants: rent received ("I") and now and then a fee ("E"),
// dated from 2020 to the end of May 2026.
void addEarlierEntries(Connection& db, const std::vector<Tenant>& tenants, int count,
                       Random& random) {
    Insert entry(db,
                 "INSERT INTO Transactions (TransAccountID, TransPostToID, TransAmount, TransDate, "
                 "TransRemark, TransType, TransPmtType, TransStatus, TransTax, TransTID) VALUES "
                 "(?, ?, ?, ?, ?, ?, ?, ?, 'N', ?)");
    const QDate first(2020, 1, 1);
    const int days = static_cast<int>(first.daysTo(QDate(2026, 5, 31)));
    const int tenantCount = static_cast<int>(tenants.size());
    for (int i = 0; i < count; ++i) {
        const Tenant& t = tenants[static_cast<size_t>(random.below(tenantCount))];
        const bool fee = random.below(5) == 0;
        entry.integer(fee ? 5010 : 4010)
            .integer(t.id)
            .real(dollars(fee ? -t.rentCents / 10 : t.rentCents))
            .text(first.addDays(random.below(days)).toString(Qt::ISODate))
            .text(fee ? QStringLiteral("Management Fee") : QStringLiteral("RENT"))
            .text(fee ? QStringLiteral("E") : QStringLiteral("I"))
            .text(fee ? std::optional<QString>() : std::optional(QStringLiteral("ACH")))
            .text(fee ? QStringLiteral("U") : QStringLiteral("B"))
            .integer(t.id)
            .run();
    }
}

LedgerCounts fillLedger(const QString& path, const std::vector<Tenant>& tenants, int properties,
                        int ledgerEntries, Random& random) {
    Connection db(path);
    // An existing ledger is filled only when it holds nothing yet: a real one is never touched.
    {
        sqlite3_stmt* stmt = nullptr;
        const char* sql =
            "SELECT (SELECT COUNT(*) FROM Company) + (SELECT COUNT(*) FROM Owners) + "
            "(SELECT COUNT(*) FROM Properties) + (SELECT COUNT(*) FROM Tenants) + "
            "(SELECT COUNT(*) FROM Units) + (SELECT COUNT(*) FROM Transactions)";
        if (sqlite3_prepare_v2(db.get(), sql, -1, &stmt, nullptr) != SQLITE_OK) {
            failSql(db.get(), path + QStringLiteral(" is not a Lodgebook ledger"));
        }
        const bool empty = sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_int64(stmt, 0) == 0;
        sqlite3_finalize(stmt);
        if (!empty) {
            throw std::runtime_error(path.toStdString() +
                                     " already holds records; a sample is written only into a "
                                     "new folder or beside an empty ledger");
        }
    }

    Transaction transaction(db);
    Insert company(db,
                   "INSERT INTO Company (CompanyID, CName1, CAddress1, CPhone) "
                   "VALUES (?, ?, ?, ?)");
    company.integer(1)
        .text(QStringLiteral("Harbor Point Rentals, LLC"))
        .text(QStringLiteral("1200 Harbor Way, Suite 300, Portland, OR 97201"))
        .text(QStringLiteral("(503) 555-0100"))
        .run();

    LedgerCounts counts;
    counts.properties = properties;
    counts.owners = std::max(4, properties / 3);
    Insert owner(db,
                 "INSERT INTO Owners (OwnerID, OLastName1, OFirstName1, OMgmtFee, OAddress1, "
                 "OCurrBal) VALUES (?, ?, ?, ?, ?, 0)");
    for (int o = 0; o < counts.owners; ++o) {
        std::optional<QString> fee;
        switch (o) {
            case 0:
                fee = QStringLiteral("8%");
                break;
            case 1:
                fee = QStringLiteral("25");
                break;
            case 2:
                fee = QString();
                break;
            case 3:
                break;  // no fee at all: NULL
            default:
                fee = QString::fromLatin1(random.pick(kMoreFees));
                break;
        }
        owner.integer(o + 1)
            .text(QString::fromLatin1(random.pick(kLastNames)))
            .text(QString::fromLatin1(random.pick(kFirstNames)))
            .text(fee)
            .text(QStringLiteral("%1 %2")
                      .arg(10 + random.below(990))
                      .arg(QString::fromLatin1(random.pick(kStreets))))
            .run();
    }

    Insert property(db,
                    "INSERT INTO Properties (PropID, POwnerID, PropName, PAddress1, PUnits) "
                    "VALUES (?, ?, ?, ?, ?)");
    for (int p = 0; p < properties; ++p) {
        QString name = QString::fromLatin1(kBuildings[p % count(kBuildings)]);
        if (p >= count(kBuildings))
            name += QStringLiteral(" %1").arg(p / count(kBuildings) + 1);
        property.integer(kFirstPropId + p)
            .integer(p % counts.owners + 1)
            .text(name)
            .text(QStringLiteral("%1 %2").arg(100 + p).arg(
                QString::fromLatin1(kStreets[p % count(kStreets)])))
            .integer(static_cast<qint64>(tenants.size()) / properties + 1)
            .run();
    }

    Insert tenant(db,
                  "INSERT INTO Tenants (TenantID, TPropID, TFirstName1, TLastName1, TAddress1, "
                  "TCity, TState, TZip, TEmail1, TPayment, TACH, TCurrBal, TPhone1, TMoveIn) "
                  "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    Insert unit(db,
                "INSERT INTO Units (UnitID, UTenantID, UAddress, UNumber, UCurrBal, URent, "
                "UBedrooms) VALUES (?, ?, ?, ?, ?, ?, ?)");
    const QDate firstMoveIn(2018, 1, 1);
    for (const Tenant& t : tenants) {
        tenant.integer(t.id)
            .integer(t.propId)
            .text(t.first)
            .text(t.last)
            .text(t.address)
            .text(QString::fromLatin1(t.city->name))
            .text(QString::fromLatin1(t.city->state))
            .text(t.zip)
            .text(email(t))
            .real(dollars(t.rentCents))
            .text(t.tach)
            .real(dollars(t.balanceCents))
            .text(QStringLiteral("(503) 555-%1").arg(random.below(10000), 4, 10, QLatin1Char('0')))
            .text(firstMoveIn.addDays(random.below(3000)).toString(Qt::ISODate))
            .run();
        for (int u = 0; u < t.units; ++u) {
            // A tenant in two units has the balance and the rent split between them.
            const qint64 balance =
                t.units == 2 ? (u == 0 ? t.balanceCents - t.balanceCents / 2 : t.balanceCents / 2)
                             : t.balanceCents;
            const qint64 rent = t.rentCents / t.units;
            ++counts.units;
            unit.integer(counts.units)
                .integer(t.id)
                .text(u == 0 ? t.address : t.address + QStringLiteral(" Rear"))
                .text(QStringLiteral("%1%2")
                          .arg(1 + random.below(4))
                          .arg(QLatin1Char(static_cast<char>('A' + random.below(6)))))
                .real(dollars(balance))
                .real(dollars(rent))
                .integer(1 + random.below(4))
                .run();
        }
    }
    addEarlierEntries(db, tenants, ledgerEntries, random);
    transaction.commit();
    return counts;
}

QString preferencesText() {
    // Lodgebook writes its preferences as quoted text, bare numbers, eight fields a line.
    const QStringList lines = {
        QStringLiteral(
            R"("Lodgebook","5.20","Harbor Point Rentals","1200 Harbor Way","Portland","OR","97201","(503) 555-0100")"),
        QStringLiteral(
            R"(1,"Rent Income;B-4010","MONTH RENT","Security Deposits;T-2010","Security Deposit","Repairs;U-5020","Repairs","Management Fees;U-5010")"),
        QStringLiteral(
            R"("Management Fee","Late Fee Received;T-4020","Late Fee","Laundry Income;U-4030","Laundry","Utilities;U-5030","Utilities",0)"),
        QStringLiteral(R"("Checking;B-1010","","N","Y",30,5,"25.00","LETTER")"),
        QStringLiteral(R"("Default","C:\Lodgebook\Reports","",0,1,"Y","N","END")"),
    };
    return lines.join(kCrLf) + kCrLf;
}

QString postingLogText() {
    const QStringList lines = {QStringLiteral("06/15/2026"), QStringLiteral("1234.5"),
                               QStringLiteral("https://www.vantora.example/landlord"),
                               QStringLiteral("05/01/2026"), QStringLiteral("05/31/2026")};
    return lines.join(kCrLf) + kCrLf;
}

struct PaymentFile {
    QString text;
    int unmatched = 0;
};

PaymentFile paymentText(const SampleOptions& options, const std::vector<Tenant>& tenants,
                        Random& random) {
    PaymentFile file;
    const QString end = options.crlfPayments ? kCrLf : QStringLiteral("\n");
    const QDate firstDay(2026, 6, 1);
    const int tenantCount = static_cast<int>(tenants.size());
    const int noTenantBase = kFirstTenantId + tenantCount + 5000;
    qint64 totalCents = 0;
    file.text.reserve(static_cast<qsizetype>(options.payments) * 110 + 100);
    for (int j = 0; j < options.payments; ++j) {
        QString account;
        QString payer;
        QString address;
        qint64 cents = 0;
        if (j % 7 == 6) {
            ++file.unmatched;
            account = QStringLiteral("T%1").arg(noTenantBase + j);
            payer = QStringLiteral("%1 %2").arg(QString::fromLatin1(random.pick(kFirstNames)),
                                                QString::fromLatin1(random.pick(kLastNames)));
            address = QStringLiteral("%1 %2")
                          .arg(100 + random.below(9800))
                          .arg(QString::fromLatin1(random.pick(kStreets)));
            cents = (500 + random.below(1500)) * 100;
        } else {
            int t = j == 0 ? 0 : j == 1 ? kTwoUnitTenant : random.below(tenantCount);
            if (t >= tenantCount || t == kVacantTenant)
                t = 0;
            const Tenant& tenant = tenants[static_cast<size_t>(t)];
            account = QStringLiteral("T%1").arg(tenant.id);
            payer = tenant.first + QLatin1Char(' ') + tenant.last;
            address = tenant.address;
            // Now and then a partial payment with cents.
            cents = j > 1 && random.below(8) == 0 ? 10000 + random.below(200000) : tenant.rentCents;
        }
        totalCents += cents;
        const QDate date = firstDay.addDays(static_cast<qint64>(j) * 28 / options.payments);
        file.text +=
            QStringLiteral("B%1,%2,%3,%4,%5,%6,%7,Posted,KV%8,Online,Rent Payment")
                .arg(2400000 + 3 * j + random.below(3))
                .arg(account, payer, address, date.toString(QStringLiteral("MM/dd/yyyy")),
                     random.below(3) == 0 ? QStringLiteral("Card") : QStringLiteral("Check"),
                     processorAmount(cents))
                .arg(10000000 + random.below(90000000));
        file.text += end;
    }
    // The processor ends its export with a blank line and a summary.
    file.text += end;
    file.text += QStringLiteral("Total,%1 payments,,,,,%2")
                     .arg(options.payments)
                     .arg(processorAmount(totalCents));
    file.text += end;
    return file;
}

// Earlier posting runs in Corvane's journal, one a month before the download's, each of `rows`
// posted payments with transaction numbers of their own.
void writeEarlierRuns(const QString& dir, int runs, int rows, Random& random) {
    if (runs == 0)
        return;
    auto journal = corvane::journal::PostingJournal::open(dir);
    for (int r = 0; r < runs; ++r) {
        corvane::journal::Run run;
        run.postedAt = QDateTime(QDate(2025, 6, 3).addMonths(r), QTime(9, 30));
        run.computer = QStringLiteral("OFFICE");
        run.fileName = QStringLiteral("paymentHistory.csv");
        run.fileBytes = QByteArray(static_cast<qsizetype>(rows) * 100, 'x');
        run.figures = {run.postedAt.date().toString(QStringLiteral("MM/dd/yyyy")),
                       QStringLiteral("0"),
                       {},
                       {}};
        run.rows.resize(static_cast<size_t>(rows));
        for (int j = 0; j < rows; ++j) {
            corvane::journal::RunRow& row = run.rows[static_cast<size_t>(j)];
            row.line = j + 1;
            row.tid = QStringLiteral("T%1").arg(kFirstTenantId + random.below(1000));
            row.amount = QStringLiteral("1250.00");
            row.date = run.postedAt.date().toString(QStringLiteral("MM/dd/yyyy"));
            row.pmtType = QStringLiteral("Rent");
            row.transactionNumber = QStringLiteral("B%1").arg(1000000 + r * 40000 + j);
            row.incomeTransID = r * rows + j + 1;
            row.incomeAmount = corvane::ledger::Currency::fromUnits(12500000);
        }
        journal->setState(journal->record(run), corvane::journal::RunState::Posted);
    }
}

void writeFile(const QString& path, const QString& text) {
    corvane::RealFiles files;
    files.writeAtomically(path, corvane::encodeAnsi(text));
}

}  // namespace

SampleSummary writeSampleFolder(const QString& dir, const SampleOptions& options) {
    if (options.tenants < 1 || options.tenants > kMaxSampleTenants) {
        throw std::runtime_error("the number of tenants must be between 1 and " +
                                 std::to_string(kMaxSampleTenants));
    }
    if (options.payments < 0 || options.payments > kMaxSamplePayments) {
        throw std::runtime_error("the number of payments must be between 0 and " +
                                 std::to_string(kMaxSamplePayments));
    }
    if (options.ledgerEntries < 0 || options.ledgerEntries > kMaxSampleLedgerEntries ||
        options.journalRuns < 0 || options.journalRuns > kMaxSampleJournalRuns) {
        throw std::runtime_error("too many earlier ledger entries or posting runs");
    }
    const QString downloads = dir + QStringLiteral("/user/Downloads");
    if (!QDir().mkpath(downloads)) {
        throw std::runtime_error("cannot create the folder " + downloads.toStdString());
    }

    Random random(options.seed);
    const int properties = std::max(4, (options.tenants + 9) / 10);
    const std::vector<Tenant> tenants = makeTenants(options, properties, random);

    const QString ledger = dir + QStringLiteral("/lbdatafl.mdb");
    if (!QFileInfo::exists(ledger))
        createLedger(ledger);
    const LedgerCounts counts =
        fillLedger(ledger, tenants, properties, options.ledgerEntries, random);
    writeEarlierRuns(dir, options.journalRuns, options.payments, random);

    writeFile(dir + QStringLiteral("/IDFILE.DAT"), preferencesText());
    writeFile(dir + QStringLiteral("/CV-Log.txt"), postingLogText());
    const PaymentFile payments = paymentText(options, tenants, random);
    writeFile(downloads + QStringLiteral("/paymentHistory.csv"), payments.text);

    SampleSummary summary;
    summary.owners = counts.owners;
    summary.properties = counts.properties;
    summary.tenants = options.tenants;
    summary.units = counts.units;
    summary.payments = options.payments;
    summary.unmatchedPayments = payments.unmatched;
    return summary;
}

}  // namespace lodgebook
