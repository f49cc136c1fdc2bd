// The connection to the ledger file: opening it, its transactions and content mark, what it knows
// of the schema, and the read of a range of one field.

#include "platform/ledger/Engine.h"

#include "platform/Error.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

namespace corvane::ledger {

namespace {

// SQLite keeps no count of the memory it uses: the count takes a lock on every allocation, and a
// posting run's tens of thousands of statements spent a tenth of their time there. It has to be
// said before SQLite starts, so before main (the posting journal opens its file with it too).
const bool kMemoryCountOff = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0) == SQLITE_OK;

// Whether this process may write there, as the system decides it for the user it runs as (a
// read-only disk says no to everyone).
bool writable(const QString& path) {
    return ::faccessat(AT_FDCWD, QFile::encodeName(path).constData(), W_OK, AT_EACCESS) == 0;
}

[[noreturn]] void notALedger(const QString& path) {
    throwError(errc::UnrecognizedDatabaseFormat,
               QStringLiteral("Unrecognized database format '%1'.").arg(path));
}

[[noreturn]] void cannotOpen(int number, const QString& path, const QString& why,
                             const QString& todo) {
    throwError(number, QStringLiteral("Cannot open the ledger file '%1': %2. Nothing was changed. "
                                      "%3, then try again.")
                           .arg(path, why, todo));
}

// Why the ledger file, which is there, could not be opened or read, from SQLite's result code
// and the system's error number: each cause in its own words, and only a file that SQLite does
// not read as a database is "Unrecognized database format". The ledger is never changed.
[[noreturn]] void refuseToOpen(int rc, int systemError, const QString& path) {
    const int primary = rc & 0xff;
    if (isBusy(rc))
        throwError(errc::LedgerLocked, kLockedMessage);
    if (primary == SQLITE_FULL || systemError == ENOSPC || systemError == EDQUOT) {
        cannotOpen(errc::LedgerDiskFull, path, QStringLiteral("the disk it is on is full"),
                   QStringLiteral("Make room on that disk"));
    }
    const bool refused = primary == SQLITE_READONLY || primary == SQLITE_PERM ||
                         systemError == EROFS || systemError == EACCES || systemError == EPERM;
    // SQLite writes beside the ledger (its -wal and -shm files) even to read it.
    if (refused || primary == SQLITE_CANTOPEN) {
        if (!writable(QFileInfo(path).absolutePath())) {
            cannotOpen(errc::LedgerWriteFailed, path,
                       QStringLiteral("its folder is read-only, and Corvane must be able to "
                                      "write there"),
                       QStringLiteral("Make the folder writable"));
        }
        if (!writable(path)) {
            cannotOpen(errc::LedgerWriteFailed, path,
                       QStringLiteral("the file is read-only, and Corvane must be able to write "
                                      "to it"),
                       QStringLiteral("Make the file writable"));
        }
    }
    if (refused) {
        cannotOpen(errc::LedgerWriteFailed, path,
                   QStringLiteral("the system lets Corvane read it but not write to it"),
                   QStringLiteral("Make sure that the ledger and the files beside it may be "
                                  "written"));
    }
    if (primary == SQLITE_CANTOPEN && !QFileInfo::exists(path))
        throwError(errc::LedgerFileNotFound, QStringLiteral("Could not find file '%1'.").arg(path));
    if (primary == SQLITE_IOERR || primary == SQLITE_CANTOPEN) {
        cannotOpen(errc::LedgerDiskError, path,
                   QStringLiteral("the disk or the network it is on failed while it was read"),
                   QStringLiteral("Check the disk or the network connection"));
    }
    notALedger(path);
}

}  // namespace

// --- The schema ---------------------------------------------------------------------------------

TableInfo& Database::Impl::table(const QString& name) {
    const QString key = name.toLower();
    const auto it = tables.find(key);
    if (it != tables.end())
        return *it->second;
    auto info = std::make_unique<TableInfo>();
    sqlite3_stmt* s = statement(QStringLiteral(
        "SELECT name, sql FROM sqlite_master WHERE type IN ('table','view') AND name = ?1 "
        "COLLATE NOCASE"));
    {
        StatementUse use(s);
        const QByteArray n = name.toUtf8();
        sqlite3_bind_text(s, 1, n.constData(), static_cast<int>(n.size()), SQLITE_TRANSIENT);
        if (step(s, name) != SQLITE_ROW) {
            throwError(3078, QStringLiteral("Could not find the table '%1'.").arg(name));
        }
        info->name = columnText(s, 0);
        info->autoIncrement =
            columnText(s, 1).contains(QLatin1String("AUTOINCREMENT"), Qt::CaseInsensitive);
    }
    sqlite3_stmt* cols =
        statement(QStringLiteral("SELECT name, type, pk FROM pragma_table_info(?1)"));
    int pkCount = 0;
    int pkColumn = -1;
    {
        StatementUse use(cols);
        const QByteArray n = info->name.toUtf8();
        sqlite3_bind_text(cols, 1, n.constData(), static_cast<int>(n.size()), SQLITE_TRANSIENT);
        while (step(cols, name) == SQLITE_ROW) {
            ResultColumn c;
            c.name = columnText(cols, 0);
            const QByteArray type = columnText(cols, 1).toUtf8();
            c.kind = kindOf(type.constData(), c.name);
            c.base = 0;
            c.tableColumn = static_cast<int>(info->tableColumns.size());
            if (sqlite3_column_int(cols, 2) > 0) {
                ++pkCount;
                if (type.toUpper() == "INTEGER")
                    pkColumn = c.tableColumn;
            }
            info->tableColumns.push_back(c);
        }
    }
    if (pkCount == 1)
        info->autoKey = pkColumn;
    ResultColumn rowid;
    rowid.name = QStringLiteral("rowid");
    rowid.kind = ColumnKind::Integer;
    rowid.hidden = true;
    info->rowSet.add(rowid, {});
    for (const ResultColumn& c : info->tableColumns) {
        info->tableSet.add(c, info->name);
        info->rowSet.add(c, info->name);
    }
    info->selectByRowid =
        QStringLiteral("SELECT rowid, * FROM %1 WHERE rowid = ?1").arg(quoteName(info->name));
    TableInfo& ref = *info;
    tables.emplace(key, std::move(info));
    return ref;
}

const IndexInfo& Database::Impl::index(TableInfo& t, const QString& indexName) {
    const QString key = indexName.toLower();
    const auto it = t.indexes.constFind(key);
    if (it != t.indexes.constEnd())
        return it.value();
    sqlite3_stmt* s = statement(QStringLiteral(
        "SELECT ii.name FROM sqlite_master m, pragma_index_info(m.name) ii WHERE "
        "m.type = 'index' AND m.name = ?1 COLLATE NOCASE AND m.tbl_name = ?2 COLLATE NOCASE "
        "ORDER BY ii.seqno LIMIT 1"));
    IndexInfo info;
    {
        StatementUse use(s);
        const QByteArray n = indexName.toUtf8();
        const QByteArray tn = t.name.toUtf8();
        sqlite3_bind_text(s, 1, n.constData(), static_cast<int>(n.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(s, 2, tn.constData(), static_cast<int>(tn.size()), SQLITE_TRANSIENT);
        if (step(s, indexName) == SQLITE_ROW) {
            const int column = t.tableSet.find(columnText(s, 0));
            info.column = column;
        }
    }
    // Jet's name for the index of a table's primary key (its auto-number key here).
    if (info.column < 0 && key == QLatin1String("primarykey"))
        info.column = t.autoKey;
    if (info.column < 0) {
        throwError(3800, QStringLiteral("'%1' is not an index in this table.").arg(indexName));
    }
    info.name = indexName;
    const QString table = quoteName(t.name);
    const QString column = quoteName(t.tableColumns[info.column].name);
    info.seekSql =
        QStringLiteral("SELECT rowid, * FROM %1 WHERE %2 = ?1 ORDER BY %2, rowid LIMIT 1")
            .arg(table, column);
    info.orderSql = QStringLiteral("SELECT rowid, * FROM %1 ORDER BY %2, rowid").arg(table, column);
    return t.indexes.insert(key, info).value();
}

// --- Database -----------------------------------------------------------------------------------

Database::Database(std::unique_ptr<Impl> impl) : d_(std::move(impl)) {}
Database::~Database() = default;

std::unique_ptr<Database> Database::open(const QString& path, int busyTimeoutMs) {
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists()) {
        throwError(errc::LedgerFileNotFound, QStringLiteral("Could not find file '%1'.").arg(path));
    }
    if (!info.isFile())
        notALedger(path);
    {
        // An SQLite file starts with its header text; an empty file is not a ledger.
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            throwError(errc::PermissionDenied,
                       QStringLiteral("Permission denied: '%1'.").arg(path));
        }
        const QByteArray header = file.read(16);
        if (file.error() == QFileDevice::ReadError)
            refuseToOpen(SQLITE_IOERR_READ, 0, path);
        if (header != QByteArray("SQLite format 3\0", 16))
            notALedger(path);
    }
    auto impl = std::make_unique<Impl>();
    impl->path = path;
    const QByteArray file = path.toUtf8();
    // Never SQLITE_OPEN_CREATE; one thread uses the connection, so it needs no mutex.
    int rc = sqlite3_open_v2(file.constData(), &impl->db,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    // SQLite opens a file it may not write read-only, without a word: the ledger must be written.
    if (rc == SQLITE_OK && sqlite3_db_readonly(impl->db, "main") == 1)
        rc = SQLITE_READONLY;
    if (rc != SQLITE_OK)
        refuseToOpen(rc, impl->db ? sqlite3_system_errno(impl->db) : 0, path);
    sqlite3_extended_result_codes(impl->db, 1);
    sqlite3_busy_timeout(impl->db, busyTimeoutMs);
    // Keep a whole ledger of 100,000 tenants in memory (the default is 2 MB).
    sqlite3_exec(impl->db, "PRAGMA cache_size = -65536", nullptr, nullptr, nullptr);
    // Reading the schema proves that the file is a readable database.
    sqlite3_stmt* s = nullptr;
    int check = sqlite3_prepare_v2(impl->db, "SELECT count(*) FROM sqlite_master", -1, &s, nullptr);
    if (check == SQLITE_OK)
        check = sqlite3_step(s);
    sqlite3_finalize(s);
    if (check != SQLITE_ROW)
        refuseToOpen(check, sqlite3_system_errno(impl->db), path);
    registerFunctions(impl->db);
    return std::unique_ptr<Database>(new Database(std::move(impl)));
}

const QString& Database::path() const {
    return d_->path;
}

void Database::beginImmediate() {
    if (inTransaction()) {
        throwError(3003, QStringLiteral("Could not start a transaction: one is already open."));
    }
    d_->exec("BEGIN IMMEDIATE");
}

void Database::commit() {
    if (!inTransaction()) {
        throwError(3034, QStringLiteral("Commit or rollback without a transaction."));
    }
    d_->exec("COMMIT");
}

void Database::rollback() {
    if (!inTransaction()) {
        throwError(3034, QStringLiteral("Commit or rollback without a transaction."));
    }
    d_->exec("ROLLBACK");
}

bool Database::inTransaction() const {
    return sqlite3_get_autocommit(d_->db) == 0;
}

Database::ContentMark Database::contentMark() {
    const QString sql = QStringLiteral("PRAGMA data_version");
    sqlite3_stmt* s = d_->statement(sql);
    StatementUse use(s);
    ContentMark mark;
    if (d_->step(s, sql) == SQLITE_ROW)
        mark.others = sqlite3_column_int64(s, 0);
    mark.own = sqlite3_total_changes64(d_->db);
    return mark;
}

bool Database::beginRead() {
    if (inTransaction())
        return false;
    d_->exec("BEGIN");
    return true;
}

void Database::endRead() {
    if (inTransaction())
        d_->exec("COMMIT");
}

void Database::forEachInRange(const QString& tableName, const QStringList& fieldNames,
                              const QString& rangeField, const QString& from, const QString& to,
                              const std::function<void(const std::vector<Value>& fields)>& visit) {
    TableInfo& t = d_->table(tableName);
    const int range = t.tableSet.find(rangeField);
    if (range < 0)
        itemNotFound();
    std::vector<ColumnKind> kinds;
    QStringList columns;
    for (const QString& name : fieldNames) {
        const int column = t.tableSet.find(name);
        if (column < 0)
            itemNotFound();
        kinds.push_back(t.tableColumns[column].kind);
        columns << quoteName(t.tableColumns[column].name);
    }
    sqlite3_stmt* s = d_->statement(QStringLiteral("SELECT %1 FROM %2 WHERE %3 BETWEEN ?1 AND ?2")
                                        .arg(columns.join(QStringLiteral(", ")), quoteName(t.name),
                                             quoteName(t.tableColumns[range].name)));
    StatementUse use(s);
    const QByteArray fromText = from.toUtf8(), toText = to.toUtf8();
    sqlite3_bind_text(s, 1, fromText.constData(), static_cast<int>(fromText.size()), SQLITE_STATIC);
    sqlite3_bind_text(s, 2, toText.constData(), static_cast<int>(toText.size()), SQLITE_STATIC);
    std::vector<Value> values;
    while (d_->step(s, t.name) == SQLITE_ROW) {
        values.clear();
        for (std::size_t i = 0; i < kinds.size(); ++i)
            values.push_back(readValue(s, static_cast<int>(i), kinds[i]));
        visit(values);
    }
}

}  // namespace corvane::ledger
