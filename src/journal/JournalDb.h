#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

struct sqlite3;
struct sqlite3_stmt;

namespace corvane::journal {

// The posting journal's file beside the ledger. Corvane's own SQLite database: its schema is ours
// and nothing of it ever goes into Lodgebook's ledger.
inline const QString kJournalFileName = QStringLiteral("CV-Journal.db");

// Why the journal cannot be used; thrown by JournalDb::open and by any statement that fails.
// `reason()` completes the sentence "The posting journal CV-Journal.db cannot be used: ...".
class JournalError : public std::runtime_error {
public:
    explicit JournalError(const QString& reason)
        : std::runtime_error(reason.toStdString()), reason_(reason) {}
    const QString& reason() const { return reason_; }

private:
    QString reason_;
};

class Statement;

// One connection to CV-Journal.db. open() creates a missing file with the journal's schema, and
// refuses (JournalError) a file it cannot use: a folder, a file that is not an SQLite database,
// another program's database, a journal written by a newer Corvane, a read-only file or folder.
// A refused file is never changed. A journal of an earlier Corvane is brought up to the current
// schema in place, in one transaction, when it is opened. Statements run with the rollback journal
// and full syncs, so a committed transaction survives a kill or a power loss.
class JournalDb {
public:
    static std::unique_ptr<JournalDb> open(const QString& path);
    // The version of the schema this Corvane writes (the file's user_version).
    static int schemaVersion();
    ~JournalDb();
    JournalDb(const JournalDb&) = delete;
    JournalDb& operator=(const JournalDb&) = delete;

    const QString& path() const { return path_; }
    Statement prepare(const char* sql);
    void exec(const char* sql);
    std::int64_t lastInsertId() const;

    void begin();  // BEGIN IMMEDIATE
    void commit();
    void rollback();

    [[noreturn]] void fail(const char* what) const;

private:
    JournalDb(sqlite3* db, QString path) : db_(db), path_(std::move(path)) {}
    void createOrCheckSchema();
    // Takes the schema from `version` to schemaVersion(), inside the caller's transaction.
    void upgradeFrom(int version);

    sqlite3* db_;
    QString path_;
};

// RAII write transaction on the journal: rolls back unless committed.
class JournalTransaction {
public:
    explicit JournalTransaction(JournalDb& db) : db_(db) { db_.begin(); }
    ~JournalTransaction();
    JournalTransaction(const JournalTransaction&) = delete;
    JournalTransaction& operator=(const JournalTransaction&) = delete;
    void commit() {
        db_.commit();
        done_ = true;
    }

private:
    JournalDb& db_;
    bool done_ = false;
};

// A prepared statement. Parameters are numbered from 1, result columns from 0.
class Statement {
public:
    Statement(JournalDb& db, sqlite3_stmt* stmt) : db_(&db), stmt_(stmt) {}
    Statement(Statement&& other) noexcept : db_(other.db_), stmt_(other.stmt_) {
        other.stmt_ = nullptr;
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    Statement& operator=(Statement&&) = delete;
    ~Statement();

    Statement& bind(int index, std::int64_t value);
    Statement& bind(int index, int value) { return bind(index, static_cast<std::int64_t>(value)); }
    Statement& bind(int index, bool value) { return bind(index, static_cast<std::int64_t>(value)); }
    Statement& bind(int index, const QString& value);
    // UTF-8 text of `size` bytes, copied by SQLite (the bytes may change after the call).
    Statement& bindUtf8(int index, const char* data, qsizetype size);
    Statement& bind(int index, const QByteArray& blob);
    // The blob without a copy: `blob` must stay unchanged until the statement has run (run()
    // or reset()). For the megabytes of a run's file and rows.
    Statement& bindInPlace(int index, const QByteArray& blob);
    Statement& bind(int index, std::optional<std::int64_t> value);
    Statement& bind(int index, const std::optional<QString>& value);
    Statement& bindNull(int index);

    // Steps once: true while a row is there, false when done.
    bool step();
    // Runs a statement that returns no rows, then resets it for the next bindings.
    void run();
    void reset();

    bool isNull(int column) const;
    std::int64_t integer(int column) const;
    std::optional<std::int64_t> optionalInteger(int column) const;
    QString text(int column) const;
    std::optional<QString> optionalText(int column) const;
    QByteArray blob(int column) const;

private:
    JournalDb* db_;
    sqlite3_stmt* stmt_;
};

}  // namespace corvane::journal
