// corvane-floor STEP SAMPLE_FOLDER
// The floors of the two main steps: what the least a program could do for them costs on the same
// sample folder, written straight against SQLite's C API with nothing of Corvane's, so that
// bench/run can show how far Corvane's steps are from them. Prints "<step> <seconds> <peak MB>"
// as corvane-bench does.
//   download-floor  reads paymentHistory.csv from the sample's Downloads folder, splits its
//                   payment lines, and matches them against the tenants and units they name
//                   (one query for the tenants, one for their units).
//   posting-floor   writes the records a posting run of the sample writes (with fees and a
//                   deposit): an income entry per payment of a tenant with a unit, a management
//                   fee per rent payment of an owner who charges one, the deposit and its split
//                   lines, the tenants' and units' balances; in one transaction, on a copy of
//                   the ledger. The payments are read from the file beforehand, untimed.

#include <sqlite3.h>

#include <unistd.h>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct FloorPayment {
    std::string transaction;
    std::int64_t tenant = -1;  // -1: the account names no tenant number
    std::int64_t cents = 0;
    std::string date;  // ISO, as stored
};

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "corvane-floor: %s\n", what.c_str());
    std::exit(3);
}

void check(sqlite3* db, int rc, const char* what) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
        fail(std::string(what) + ": " + sqlite3_errmsg(db));
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        fail("cannot read " + path.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The payment lines, up to the blank line before the summary: transaction number, "T" + tenant,
// payer, address, mm/dd/yyyy, method, amount ("$1,250.00" in quotes when it has a separator).
std::vector<FloorPayment> readPayments(std::string_view text) {
    std::vector<FloorPayment> payments;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            break;
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty() || line.front() != 'B')
            break;
        FloorPayment p;
        int field = 0;
        bool quoted = false;
        std::size_t from = 0;
        for (std::size_t i = 0; i <= line.size(); ++i) {
            if (i < line.size() && line[i] == '"')
                quoted = !quoted;
            if (i < line.size() && (line[i] != ',' || quoted))
                continue;
            const std::string_view value = line.substr(from, i - from);
            if (field == 0) {
                p.transaction = value;
            } else if (field == 1 && value.size() > 1 && value.front() == 'T') {
                p.tenant = std::strtoll(std::string(value.substr(1)).c_str(), nullptr, 10);
            } else if (field == 4 && value.size() == 10) {
                p.date = std::string(value.substr(6, 4)) + '-' + std::string(value.substr(0, 2)) +
                         '-' + std::string(value.substr(3, 2));
            } else if (field == 6) {
                std::int64_t cents = 0;
                bool negative = false;
                for (char c : value) {
                    if (c == '-')
                        negative = true;
                    else if (c >= '0' && c <= '9')
                        cents = cents * 10 + (c - '0');
                }
                p.cents = negative ? -cents : cents;
            }
            ++field;
            from = i + 1;
        }
        payments.push_back(std::move(p));
    }
    return payments;
}

// The tenant numbers as a JSON array, for json_each.
std::string keysJson(const std::vector<FloorPayment>& payments) {
    std::string json = "[";
    for (const FloorPayment& p : payments) {
        if (p.tenant < 0)
            continue;
        if (json.size() > 1)
            json += ',';
        json += std::to_string(p.tenant);
    }
    return json + ']';
}

struct TenantRow {
    std::int64_t prop = 0;
    std::string name;
    std::int64_t unit = -1;
    std::string address;
};

// The tenants of the payments and the first unit of each, by two queries over the key list.
std::unordered_map<std::int64_t, TenantRow> readTenants(sqlite3* db, const std::string& keys) {
    std::unordered_map<std::int64_t, TenantRow> tenants;
    sqlite3_stmt* q = nullptr;
    check(db,
          sqlite3_prepare_v2(db,
                             "SELECT TenantID, TPropID, TFirstName1, TLastName1 FROM Tenants "
                             "WHERE TenantID IN (SELECT value FROM json_each(?))",
                             -1, &q, nullptr),
          "tenants");
    sqlite3_bind_text(q, 1, keys.data(), static_cast<int>(keys.size()), SQLITE_STATIC);
    while (sqlite3_step(q) == SQLITE_ROW) {
        TenantRow& t = tenants[sqlite3_column_int64(q, 0)];
        t.prop = sqlite3_column_int64(q, 1);
        const auto* first = sqlite3_column_text(q, 2);
        const auto* last = sqlite3_column_text(q, 3);
        t.name = std::string(first ? reinterpret_cast<const char*>(first) : "") + ' ' +
                 (last ? reinterpret_cast<const char*>(last) : "");
    }
    sqlite3_finalize(q);
    check(db,
          sqlite3_prepare_v2(db,
                             "SELECT UTenantID, UnitID, UAddress FROM Units WHERE UTenantID IN "
                             "(SELECT value FROM json_each(?)) ORDER BY UnitID DESC",
                             -1, &q, nullptr),
          "units");
    sqlite3_bind_text(q, 1, keys.data(), static_cast<int>(keys.size()), SQLITE_STATIC);
    while (sqlite3_step(q) == SQLITE_ROW) {
        const auto found = tenants.find(sqlite3_column_int64(q, 0));
        if (found == tenants.end())
            continue;
        found->second.unit = sqlite3_column_int64(q, 1);
        const auto* address = sqlite3_column_text(q, 2);
        found->second.address = address ? reinterpret_cast<const char*>(address) : "";
    }
    sqlite3_finalize(q);
    return tenants;
}

sqlite3* openLedger(const fs::path& path, int flags) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK)
        fail("cannot open " + path.string());
    sqlite3_busy_timeout(db, 5000);
    return db;
}

double downloadFloor(const fs::path& folder) {
    const auto started = std::chrono::steady_clock::now();
    const std::string text = readFile(folder / "user/Downloads/paymentHistory.csv");
    const std::vector<FloorPayment> payments = readPayments(text);
    sqlite3* db = openLedger(folder / "lbdatafl.mdb", SQLITE_OPEN_READONLY);
    const auto tenants = readTenants(db, keysJson(payments));
    std::size_t matched = 0;
    for (const FloorPayment& p : payments)
        matched += tenants.count(p.tenant);
    sqlite3_close(db);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::fprintf(stderr, "corvane-floor: %zu payments, %zu matched\n", payments.size(), matched);
    return seconds;
}

// A management fee in cents (negative), from OMgmtFee: a percentage of the payment or an amount.
std::int64_t feeCents(const std::string& fee, std::int64_t cents) {
    if (fee.empty())
        return 0;
    const double value = std::strtod(fee.c_str(), nullptr);
    if (fee.find('%') != std::string::npos)
        return -static_cast<std::int64_t>(value * static_cast<double>(cents) / 100.0 + 0.5);
    return -static_cast<std::int64_t>(value * 100.0 + 0.5);
}

double postingFloor(const fs::path& folder) {
    const std::vector<FloorPayment> payments =
        readPayments(readFile(folder / "user/Downloads/paymentHistory.csv"));
    const fs::path work = fs::temp_directory_path() / ("corvane-floor-" + std::to_string(getpid()));
    fs::create_directories(work);
    fs::copy_file(folder / "lbdatafl.mdb", work / "lbdatafl.mdb");

    const auto started = std::chrono::steady_clock::now();
    sqlite3* db = openLedger(work / "lbdatafl.mdb", SQLITE_OPEN_READWRITE);
    check(db, sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), "begin");
    const auto tenants = readTenants(db, keysJson(payments));

    // The owners and their fees, by property.
    std::unordered_map<std::int64_t, std::pair<std::int64_t, std::string>> owners;  // by prop
    sqlite3_stmt* q = nullptr;
    check(db,
          sqlite3_prepare_v2(db,
                             "SELECT p.PropID, o.OwnerID, o.OMgmtFee FROM Properties p JOIN "
                             "Owners o ON o.OwnerID = p.POwnerID",
                             -1, &q, nullptr),
          "owners");
    while (sqlite3_step(q) == SQLITE_ROW) {
        const auto* fee = sqlite3_column_text(q, 2);
        owners[sqlite3_column_int64(q, 0)] = {sqlite3_column_int64(q, 1),
                                              fee ? reinterpret_cast<const char*>(fee) : ""};
    }
    sqlite3_finalize(q);

    sqlite3_stmt* entry = nullptr;
    check(db,
          sqlite3_prepare_v2(
              db,
              "INSERT INTO Transactions (TransAccountID, TransPostToID, TransAmount, TransDate, "
              "TransRemark, TransType, TransPmtType, TransStatus, TransOID, TransPID, TransUID, "
              "TransTID) VALUES (?, ?, ?, ?, ?, ?, 'ACH', ?, ?, ?, ?, ?)",
              -1, &entry, nullptr),
          "entry");
    sqlite3_stmt* split = nullptr;
    check(db,
          sqlite3_prepare_v2(db,
                             "INSERT INTO SplitPrintedChecks (CkNumber, CkAmount, CkAccountID, "
                             "CkPostToID, CkRemark, CkType) VALUES (4242, ?, 1010, ?, ?, 'D')",
                             -1, &split, nullptr),
          "split");
    const auto add = [&](std::int64_t account, std::int64_t postTo, std::int64_t cents,
                         const std::string& date, const char* remark, const char* type,
                         const char* status, std::int64_t owner, std::int64_t prop,
                         std::int64_t unit) {
        sqlite3_bind_int64(entry, 1, account);
        sqlite3_bind_int64(entry, 2, postTo);
        sqlite3_bind_double(entry, 3, static_cast<double>(cents) / 100.0);
        sqlite3_bind_text(entry, 4, date.data(), static_cast<int>(date.size()), SQLITE_STATIC);
        sqlite3_bind_text(entry, 5, remark, -1, SQLITE_STATIC);
        sqlite3_bind_text(entry, 6, type, -1, SQLITE_STATIC);
        sqlite3_bind_text(entry, 7, status, -1, SQLITE_STATIC);
        sqlite3_bind_int64(entry, 8, owner);
        sqlite3_bind_int64(entry, 9, prop);
        sqlite3_bind_int64(entry, 10, unit);
        sqlite3_bind_int64(entry, 11, postTo);
        check(db, sqlite3_step(entry), "add entry");
        sqlite3_reset(entry);
    };

    // Balances are written in key order, which walks each table's B-tree once.
    std::map<std::int64_t, std::int64_t> tenantCents, unitCents;
    std::int64_t depositCents = 0;
    std::size_t written = 0;
    for (const FloorPayment& p : payments) {
        const auto t = tenants.find(p.tenant);
        if (t == tenants.end() || t->second.unit < 0)
            continue;
        const auto owner = owners.find(t->second.prop);
        const std::int64_t ownerID = owner == owners.end() ? 0 : owner->second.first;
        add(4010, p.tenant, p.cents, p.date, "Rent", "I", "B", ownerID, t->second.prop,
            t->second.unit);
        tenantCents[p.tenant] -= p.cents;
        unitCents[t->second.unit] -= p.cents;
        ++written;
        if (owner != owners.end()) {
            const std::int64_t fee = feeCents(owner->second.second, p.cents);
            if (fee != 0) {
                add(5010, ownerID, fee, p.date, "Management Fee", "E", "U", ownerID, t->second.prop,
                    t->second.unit);
                unitCents[t->second.unit] -= fee;
                ++written;
            }
        }
        sqlite3_bind_double(split, 1, static_cast<double>(p.cents) / 100.0);
        sqlite3_bind_int64(split, 2, p.tenant);
        sqlite3_bind_text(split, 3, p.transaction.data(), static_cast<int>(p.transaction.size()),
                          SQLITE_STATIC);
        check(db, sqlite3_step(split), "add split line");
        sqlite3_reset(split);
        depositCents += p.cents;
    }
    const std::string deposit =
        "INSERT INTO CheckDepPrinted (CkPayee, CkAccountID, CkAmount, CkDate, CkRemark, CkNumber, "
        "CkType) VALUES ('DEPOSIT', 1010, " +
        std::to_string(static_cast<double>(depositCents) / 100.0) +
        ", date('now'), 'CORVANE DEPOSIT', 4242, 'D')";
    check(db, sqlite3_exec(db, deposit.c_str(), nullptr, nullptr, nullptr), "deposit");

    const auto apply = [&](const char* sql, const std::map<std::int64_t, std::int64_t>& c) {
        sqlite3_stmt* u = nullptr;
        check(db, sqlite3_prepare_v2(db, sql, -1, &u, nullptr), "balance");
        for (const auto& [key, cents] : c) {
            sqlite3_bind_double(u, 1, static_cast<double>(cents) / 100.0);
            sqlite3_bind_int64(u, 2, key);
            check(db, sqlite3_step(u), "update balance");
            sqlite3_reset(u);
        }
        sqlite3_finalize(u);
    };
    apply("UPDATE Tenants SET TCurrBal = TCurrBal + ? WHERE TenantID = ?", tenantCents);
    apply("UPDATE Units SET UCurrBal = UCurrBal + ? WHERE UnitID = ?", unitCents);
    sqlite3_finalize(entry);
    sqlite3_finalize(split);
    check(db, sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), "commit");
    sqlite3_close(db);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::fprintf(stderr, "corvane-floor: %zu entries\n", written);
    fs::remove_all(work);
    return seconds;
}

double peakMegabytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: corvane-floor download-floor|posting-floor SAMPLE_FOLDER\n");
        return 2;
    }
    // As Corvane does: no count of SQLite's memory, whose lock every allocation would take.
    sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    const std::string step = argv[1];
    double seconds = 0;
    if (step == "download-floor")
        seconds = downloadFloor(argv[2]);
    else if (step == "posting-floor")
        seconds = postingFloor(argv[2]);
    else
        fail("unknown step " + step);
    std::printf("%s %.4f %.1f\n", step.c_str(), seconds, peakMegabytes());
    return 0;
}
