#include "journal/JournalDb.h"

#include "journal/JournalRows.h"

#include <QFileInfo>

#include <sqlite3.h>

#include <iterator>

namespace corvane::journal {

namespace {

// "CVJ1" in the file header: this file is a Corvane posting journal.
constexpr int kApplicationId = 0x43564A31;
// The schema of the first journals (version 1). A new journal starts from it and takes every
// step of kSchemaSteps, as an older journal does when it is opened.
const char* const kFirstSchema = R"sql(
CREATE TABLE Runs (
    RunID INTEGER PRIMARY KEY AUTOINCREMENT,
    -- pending: written just before the ledger's commit, until the steps after it are done;
    -- reversing: likewise around the commit of a reversal.
    State TEXT NOT NULL CHECK (State IN ('pending', 'posted', 'reversing', 'reversed')),
    PostedAt TEXT NOT NULL,               -- local time, yyyy-MM-ddTHH:mm:ss
    Computer TEXT NOT NULL,
    FileName TEXT NOT NULL,
    FileBytes BLOB NOT NULL,              -- the staged payment file as posted
    FileDigest TEXT NOT NULL,             -- SHA-1 of FileBytes, hexadecimal
    RemarkChoice INTEGER NOT NULL,        -- 0 default remark, 1 the payment type, 2 RemarkText
    RemarkText TEXT NOT NULL,
    PostFees INTEGER NOT NULL,
    CreateDeposit INTEGER NOT NULL,
    DepositNumber TEXT NOT NULL,          -- as typed
    DepositID INTEGER,                    -- the deposit's CkID
    DepositAmount INTEGER,                -- ten-thousandths of a dollar
    LogDate TEXT NOT NULL,                -- the posting log's figures of the run
    LogBalance TEXT NOT NULL,
    LogRangeFrom TEXT,
    LogRangeTo TEXT,
    Evidence TEXT NOT NULL,               -- records that tell whether the ledger holds the run
    ReversedOn TEXT,                      -- yyyy-MM-dd
    -- The run's figures, for a list of runs without reading their rows.
    PaymentsPosted INTEGER NOT NULL,      -- income entries written
    PostedTotal INTEGER NOT NULL,         -- their amounts, ten-thousandths
    FeesTotal INTEGER NOT NULL,           -- the fee entries' amounts (negative), ten-thousandths
    RowsLeftOut INTEGER NOT NULL,         -- staged rows not posted
    RangeFrom TEXT,                       -- the posted payments' first and last date, yyyy-MM-dd
    RangeTo TEXT,
    -- Every staged row of the run and every balance change, in the journal's row format
    -- (PostingJournal.cpp): written and read whole, so that recording a run of thousands of rows
    -- costs one insert.
    RowsData BLOB NOT NULL,
    BalanceChangesData BLOB NOT NULL
);
-- The transaction numbers of the payments a run posted, for the duplicate guard.
CREATE TABLE PostedNumbers (
    TransactionNumber TEXT NOT NULL,
    RunID INTEGER NOT NULL REFERENCES Runs (RunID),
    PRIMARY KEY (TransactionNumber, RunID)
) WITHOUT ROWID;
)sql";

// From 1 to 2: each posted number keeps the line and the income entry its run wrote for it, so
// that the ledger can be asked whether it still holds that entry as written; and the returns of
// posted payments, each linked to the run and line of the payment it returns.
void addEntriesAndReturns(JournalDb& db) {
    db.exec(R"sql(
ALTER TABLE PostedNumbers ADD COLUMN Line INTEGER;
ALTER TABLE PostedNumbers ADD COLUMN TenantID INTEGER;         -- the entry's TransPostToID
ALTER TABLE PostedNumbers ADD COLUMN IncomeTransID INTEGER;
ALTER TABLE PostedNumbers ADD COLUMN IncomeAmount INTEGER;     -- ten-thousandths, as written
ALTER TABLE PostedNumbers ADD COLUMN EntryDate TEXT;           -- its TransDate, yyyy-MM-dd
ALTER TABLE PostedNumbers ADD COLUMN FeeTransID INTEGER;
-- The returns a run recorded (rows "return recorded"): the payment's transaction number, the
-- recording run and line, and the run and line that posted the payment.
CREATE TABLE ReturnedPayments (
    TransactionNumber TEXT NOT NULL,
    RunID INTEGER NOT NULL REFERENCES Runs (RunID),
    Line INTEGER NOT NULL,
    PaymentRunID INTEGER NOT NULL REFERENCES Runs (RunID),
    PaymentLine INTEGER NOT NULL,
    PRIMARY KEY (TransactionNumber, RunID)
) WITHOUT ROWID;
CREATE INDEX ReturnedPaymentsByPayment ON ReturnedPayments (PaymentRunID);
DELETE FROM PostedNumbers;
)sql");
    // The runs' own rows say what each posted number's entry was.
    Statement runs = db.prepare("SELECT RunID, RowsData FROM Runs ORDER BY RunID");
    while (runs.step())
        indexRunRows(db, runs.integer(0), rowsFrom(runs.blob(1)));
}

// The changes of the journal's schema, in order: step i takes a journal of version i + 1 to
// version i + 2. Each runs inside the one transaction that upgrades the journal.
struct SchemaStep {
    int from;
    void (*apply)(JournalDb& db);
};
// From 2 to 3: the tenant the user chose for a processor account that matches no tenant of its
// own.
void addRememberedTenants(JournalDb& db) {
    db.exec(R"sql(
CREATE TABLE RememberedTenants (
    Account TEXT NOT NULL PRIMARY KEY,    -- the account field of the payment file, blanks removed
    TenantID INTEGER NOT NULL,
    ChosenOn TEXT NOT NULL,               -- yyyy-MM-dd
    Computer TEXT NOT NULL
) WITHOUT ROWID;
)sql");
}

// Add a step at the end; never change one that has shipped.
constexpr SchemaStep kSchemaSteps[] = {
    {1, addEntriesAndReturns},
    {2, addRememberedTenants},
};

// The schema's version; a journal of a higher version was written by a newer Corvane.
constexpr int kSchemaVersion = 1 + static_cast<int>(std::size(kSchemaSteps));

// The steps must follow one another from version 1.
constexpr bool stepsInOrder() {
    int version = 1;
    for (const SchemaStep& step : kSchemaSteps) {
        if (step.from != version++)
            return false;
    }
    return true;
}
static_assert(stepsInOrder(), "each schema step starts where the one before it ends");

QString message(sqlite3* db) {
    return QString::fromUtf8(sqlite3_errmsg(db));
}

bool isReadOnlyError(int code) {
    const int primary = code & 0xff;
    return primary == SQLITE_READONLY || primary == SQLITE_CANTOPEN || primary == SQLITE_PERM ||
           primary == SQLITE_AUTH;
}

}  // namespace

std::unique_ptr<JournalDb> JournalDb::open(const QString& path) {
    const QFileInfo info(path);
    if (info.isDir())
        throw JournalError(QStringLiteral("it is a folder, not a file"));
    if (info.exists() && !info.isFile())
        throw JournalError(QStringLiteral("it is not a regular file"));
    const bool existed = info.exists();

    sqlite3* raw = nullptr;
    const int flags =
        SQLITE_OPEN_READWRITE | (existed ? 0 : SQLITE_OPEN_CREATE) | SQLITE_OPEN_NOMUTEX;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &raw, flags, nullptr);
    std::unique_ptr<JournalDb> db(new JournalDb(raw, path));
    if (rc != SQLITE_OK) {
        if (!existed)
            throw JournalError(QStringLiteral("it cannot be created in the program folder (%1)")
                                   .arg(raw ? message(raw) : QStringLiteral("out of memory")));
        throw JournalError(QStringLiteral("it cannot be opened (%1)").arg(message(raw)));
    }
    sqlite3_busy_timeout(raw, 5000);
    sqlite3_extended_result_codes(raw, 1);
    db->createOrCheckSchema();
    return db;
}

JournalDb::~JournalDb() {
    sqlite3_close_v2(db_);
}

void JournalDb::createOrCheckSchema() {
    // Reading the header refuses a file that is not a database without writing to it.
    int applicationId = 0, version = 0, tables = 0;
    {
        Statement read = prepare(
            "SELECT (SELECT application_id FROM pragma_application_id), "
            "(SELECT user_version FROM pragma_user_version), "
            "(SELECT count(*) FROM sqlite_schema)");
        read.step();
        applicationId = static_cast<int>(read.integer(0));
        version = static_cast<int>(read.integer(1));
        tables = static_cast<int>(read.integer(2));
    }
    if (applicationId == 0 && tables == 0) {
        // A new file (or an empty database): the journal's schema goes in.
        if (sqlite3_db_readonly(db_, "main") == 1)
            throw JournalError(QStringLiteral("the file or its folder is read-only"));
        exec("PRAGMA synchronous = FULL");
        JournalTransaction transaction(*this);
        exec(kFirstSchema);
        upgradeFrom(1);
        exec(("PRAGMA application_id = " + std::to_string(kApplicationId)).c_str());
        transaction.commit();
        return;
    }
    if (applicationId != kApplicationId)
        throw JournalError(
            QStringLiteral("it is another program's database, not Corvane's "
                           "posting journal"));
    if (version > kSchemaVersion)
        throw JournalError(QStringLiteral("it was written by a newer version of Corvane"));
    if (sqlite3_db_readonly(db_, "main") == 1)
        throw JournalError(QStringLiteral("the file or its folder is read-only"));
    exec("PRAGMA synchronous = FULL");
    if (version < kSchemaVersion) {
        // An older journal is upgraded in place, all steps or none.
        JournalTransaction transaction(*this);
        upgradeFrom(version);
        transaction.commit();
        return;
    }
    // A write that changes nothing proves that the file and its folder (where the rollback
    // journal goes) can be written; it needs no sync to disk.
    exec("PRAGMA synchronous = OFF");
    {
        JournalTransaction transaction(*this);
        exec(("PRAGMA user_version = " + std::to_string(version)).c_str());
        transaction.commit();
    }
    exec("PRAGMA synchronous = FULL");
}

void JournalDb::upgradeFrom(int version) {
    for (const SchemaStep& step : kSchemaSteps) {
        if (step.from >= version)
            step.apply(*this);
    }
    exec(("PRAGMA user_version = " + std::to_string(kSchemaVersion)).c_str());
}

int JournalDb::schemaVersion() {
    return kSchemaVersion;
}

Statement JournalDb::prepare(const char* sql) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, sql, -1, &stmt, nullptr) != SQLITE_OK)
        fail("prepare");
    return Statement(*this, stmt);
}

void JournalDb::exec(const char* sql) {
    if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        fail("exec");
}

std::int64_t JournalDb::lastInsertId() const {
    return sqlite3_last_insert_rowid(db_);
}

void JournalDb::begin() {
    exec("BEGIN IMMEDIATE");
}

void JournalDb::commit() {
    exec("COMMIT");
}

void JournalDb::rollback() {
    if (!sqlite3_get_autocommit(db_))
        exec("ROLLBACK");
}

void JournalDb::fail(const char* what) const {
    const int code = sqlite3_extended_errcode(db_);
    const int primary = code & 0xff;
    if (primary == SQLITE_NOTADB)
        throw JournalError(QStringLiteral("it is not a database"));
    if (primary == SQLITE_CORRUPT)
        throw JournalError(QStringLiteral("the file is damaged (%1)").arg(message(db_)));
    if (isReadOnlyError(code))
        throw JournalError(QStringLiteral("the file or its folder is read-only"));
    if (primary == SQLITE_FULL)
        throw JournalError(QStringLiteral("the disk is full"));
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED)
        throw JournalError(QStringLiteral("another program holds it locked"));
    throw JournalError(QStringLiteral("%1 (%2)").arg(message(db_), QLatin1String(what)));
}

JournalTransaction::~JournalTransaction() {
    if (!done_) {
        try {
            db_.rollback();
        } catch (...) {
        }
    }
}

// ---- statements ----

Statement::~Statement() {
    sqlite3_finalize(stmt_);
}

Statement& Statement::bind(int index, std::int64_t value) {
    if (sqlite3_bind_int64(stmt_, index, value) != SQLITE_OK)
        db_->fail("bind");
    return *this;
}

Statement& Statement::bind(int index, const QString& value) {
    const QByteArray utf8 = value.toUtf8();
    return bindUtf8(index, utf8.constData(), utf8.size());
}

Statement& Statement::bindUtf8(int index, const char* data, qsizetype size) {
    if (sqlite3_bind_text64(stmt_, index, data, static_cast<sqlite3_uint64>(size),
                            SQLITE_TRANSIENT, SQLITE_UTF8) != SQLITE_OK)
        db_->fail("bind");
    return *this;
}

namespace {

int bindBlob(sqlite3_stmt* stmt, int index, const QByteArray& blob, sqlite3_destructor_type copy) {
    // An empty blob is still a blob, not Null.
    return sqlite3_bind_blob64(stmt, index, blob.constData() ? blob.constData() : "",
                               static_cast<sqlite3_uint64>(blob.size()), copy);
}

}  // namespace

Statement& Statement::bind(int index, const QByteArray& blob) {
    if (bindBlob(stmt_, index, blob, SQLITE_TRANSIENT) != SQLITE_OK)
        db_->fail("bind");
    return *this;
}

Statement& Statement::bindInPlace(int index, const QByteArray& blob) {
    if (bindBlob(stmt_, index, blob, SQLITE_STATIC) != SQLITE_OK)
        db_->fail("bind");
    return *this;
}

Statement& Statement::bind(int index, std::optional<std::int64_t> value) {
    return value ? bind(index, *value) : bindNull(index);
}

Statement& Statement::bind(int index, const std::optional<QString>& value) {
    return value ? bind(index, *value) : bindNull(index);
}

Statement& Statement::bindNull(int index) {
    if (sqlite3_bind_null(stmt_, index) != SQLITE_OK)
        db_->fail("bind");
    return *this;
}

bool Statement::step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    db_->fail("step");
}

void Statement::run() {
    while (step()) {
    }
    reset();
}

void Statement::reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

bool Statement::isNull(int column) const {
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

std::int64_t Statement::integer(int column) const {
    return sqlite3_column_int64(stmt_, column);
}

std::optional<std::int64_t> Statement::optionalInteger(int column) const {
    if (isNull(column))
        return std::nullopt;
    return integer(column);
}

QString Statement::text(int column) const {
    const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return QString::fromUtf8(data, sqlite3_column_bytes(stmt_, column));
}

std::optional<QString> Statement::optionalText(int column) const {
    if (isNull(column))
        return std::nullopt;
    return text(column);
}

QByteArray Statement::blob(int column) const {
    const auto* data = static_cast<const char*>(sqlite3_column_blob(stmt_, column));
    return QByteArray(data, sqlite3_column_bytes(stmt_, column));
}

}  // namespace corvane::journal
