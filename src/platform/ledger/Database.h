#pragma once

#include "platform/ledger/Value.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace corvane::ledger {

class Database;

// A record set in the manner of the ledger's original engine: either a table (table type, for
// index seeks) or the result of a Jet SQL text (dynaset, for first-match finds). Errors are
// thrown as corvane::Error with the engine's numbers (3265 unknown field, 3021 no current record,
// 3260 ledger locked by another program, ...).
//
// Call order for adding: addNew, setField..., update (or cancelUpdate). For changing: position
// (seek, findFirst, moveFirst/moveNext), edit, setField..., update. After addNew the table's
// auto-number key (CkID, TransID, SplitID) can be read with field() before update.
class Recordset {
public:
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    // Navigation. A dynaset runs its query on first use; eof() is true past the last record and
    // for an empty set.
    bool eof();
    void moveFirst();
    void moveNext();
    // Number of records in the whole set.
    std::int64_t recordCount();
    // Reads the whole set once, in its order, without keeping it: `visit` gets each record's
    // fields named (values as field() gives them), read straight from the query. For a long
    // list that is only read; the set's position is not moved. Unknown names raise 3265.
    void forEach(const QStringList& fieldNames,
                 const std::function<void(const std::vector<Value>& fields)>& visit);

    // Table type only: choose an index by the catalogue's name, then seek "=" its key; noMatch()
    // tells whether a record was found (the current record is then that record).
    void setIndex(const QString& indexName);
    void seek(const Value& key);

    // Dynaset only: the first record (in the set's order) that meets a Jet criterion such as
    // "Val(CkID) = '12'"; noMatch() tells whether one was found.
    void findFirst(const QString& criterion);
    bool noMatch() const;

    // The current record's field, by name (case-insensitive, "Table.Field" accepted); while
    // adding or editing, the value assigned so far. Unknown names raise 3265.
    Value field(const QString& name);
    QStringList fieldNames();

    void addNew();
    void edit();
    void setField(const QString& name, const Value& value);
    void update();
    void cancelUpdate();
    void close();

private:
    friend class Database;
    struct Impl;
    explicit Recordset(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> d_;
};

// A narrow look-up through one of a table's indexes, for work that reads or changes a few fields
// of many records: it finds, as Recordset::seek does, the first record in index order whose
// indexed column equals a key, and reads or writes only the fields named when it was opened,
// through statements prepared once per connection. Values read and written are exactly those of
// Recordset::field and setField.
//
// Call order: Database::openLookup(table, index, fields) (unknown table 3078, index 3800, field
// 3265), then find, addTo and remove in any order; the Database must outlive it. The index
// "PrimaryKey" is the table's auto-number key (TransID, CkID, SplitID), as Jet names it.
class IndexLookup {
public:
    ~IndexLookup();
    IndexLookup(const IndexLookup&) = delete;
    IndexLookup& operator=(const IndexLookup&) = delete;

    // The record's fields in the order named; nullopt when no record has the key.
    std::optional<std::vector<Value>> find(const Value& key);
    // Adds `change` to the field at `field` (of those named) of the record and writes it back,
    // as edit, setField(name, Value::currency(field(name).toCurrency() + change)), update do.
    // False (nothing written) when no record has the key.
    bool addTo(const Value& key, int field, Currency change);
    // The same for several changes, added in turn as that many edits would (each sum written and
    // read back), in one statement.
    bool addTo(const Value& key, int field, const std::vector<Currency>& changes);
    // Deletes the record (as seek, then the record set's Delete, would); false when no record
    // has the key.
    bool remove(const Value& key);
    // Writes `value` to the field at `field` (of those named) of the record, as edit,
    // setField(name, value), update do. False (nothing written) when no record has the key.
    bool set(const Value& key, int field, const Value& value);
    // Every record whose key is one of `keys` (a whole-number key, such as "PrimaryKey"), with
    // its key and the fields named, read in one statement that takes the keys from one parameter:
    // for many look-ups at once, as many finds would see them. Keys without a record are left
    // out; the records come in no particular order. `visit` must not use this look-up.
    void findEach(
        const std::vector<std::int64_t>& keys,
        const std::function<void(std::int64_t key, const std::vector<Value>& fields)>& visit);
    // The same, with the fields as SQLite stores them (a whole number, a number or text, as the
    // file's own values are), without the conversions of the columns' kinds: for checks of many
    // records against values known beforehand, where reading each date as a date would cost more
    // than the look-up.
    void findEachAsStored(
        const std::vector<std::int64_t>& keys,
        const std::function<void(std::int64_t key, const std::vector<Value>& fields)>& visit);
    // Every record whose whole-number key lies between `from` and `to` (both included), with its
    // key and the fields as stored (as findEachAsStored gives them), in one statement that reads
    // that stretch of the index once: cheaper than finding each key when most keys between are
    // wanted. The records come in no particular order; `visit` must not use this look-up.
    void forEachBetweenAsStored(
        std::int64_t from, std::int64_t to,
        const std::function<void(std::int64_t key, const std::vector<Value>& fields)>& visit);
    // Every record in index order (by key, then as added), with its key and the fields named,
    // read in one statement; `visit` must not use this look-up.
    void forEach(
        const std::function<void(const Value& key, const std::vector<Value>& fields)>& visit);

private:
    friend class Database;
    struct Impl;
    explicit IndexLookup(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> d_;
};

// Adds records to a table through prepared INSERTs of the fields named, for work that adds many
// records of one shape. Each record is converted and stored exactly as a record set's addNew,
// setField (in the order the fields are named) and update would store it.
//
// Call order: Database::openAppender(table, fields) (unknown table 3078, field 3265), then add or
// addAll any number of times; the Database must outlive it.
class TableAppender {
public:
    ~TableAppender();
    TableAppender(const TableAppender&) = delete;
    TableAppender& operator=(const TableAppender&) = delete;

    // Adds one record: values[i] for the i-th field named; nullopt leaves that field unassigned
    // (as a field not set before update). Returns the new record's rowid.
    std::int64_t add(const std::vector<std::optional<Value>>& values);

    // Adds `count` records, as `count` calls of add would: `fill(i, values)` sets the i-th in
    // `values`, which keeps what the previous record had. Records of the same assigned fields go
    // several to a statement when the table numbers its keys itself (AUTOINCREMENT, no trigger),
    // so that their keys follow one another. Returns the rowids in order. A failure may leave some of
    // the records added, as a failing add leaves those before it.
    std::vector<std::int64_t> addAll(
        std::size_t count,
        const std::function<void(std::size_t, std::vector<std::optional<Value>>&)>& fill);

private:
    friend class Database;
    struct Impl;
    explicit TableAppender(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> d_;
};

// One field of a record to add, by name. A caller that makes each record as a list of these opens
// its appender with the fieldNames of such a list and hands it each record's takeValues, so that
// a value can only land in the field it is named with.
struct FieldValue {
    QString name;
    std::optional<Value> value;  // nullopt leaves the field unassigned
};
QStringList fieldNames(std::span<const FieldValue> record);
// The record's values, in its order, moved into an appender's `values` (of the same size).
void takeValues(std::span<FieldValue> record, std::vector<std::optional<Value>>& values);

// The one connection to Lodgebook's ledger file. Opened shared and read-write; a missing file is
// error 3024 (no file is ever created). A ledger that is there but cannot be used is refused with
// the cause in words: a full disk 3026, a failing disk or network 3043, a read-only file or folder
// 3051, a ledger Lodgebook holds locked 3260, a file that is not a ledger 3343. Writes wait for a
// busy timeout when Lodgebook holds the file locked and then fail with 3260.
class Database {
public:
    static std::unique_ptr<Database> open(const QString& path, int busyTimeoutMs = 5000);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    const QString& path() const;
    std::unique_ptr<Recordset> openTable(const QString& tableName);
    std::unique_ptr<Recordset> openDynaset(const QString& jetSql);
    std::unique_ptr<TableAppender> openAppender(const QString& tableName,
                                                const QStringList& fieldNames);
    std::unique_ptr<IndexLookup> openLookup(const QString& tableName, const QString& indexName,
                                            const QStringList& fieldNames);
    // Every record of the table whose field `rangeField` lies between the texts `from` and `to`
    // (both included, compared as stored, as the ISO texts of dates compare), with the fields
    // named read as a record set reads them, in one statement that reads the table once; the
    // records come in no particular order. `visit` must not use the database.
    void forEachInRange(const QString& tableName, const QStringList& fieldNames,
                        const QString& rangeField, const QString& from, const QString& to,
                        const std::function<void(const std::vector<Value>& fields)>& visit);

    // One transaction at a time. beginImmediate takes the write lock at once (waiting for the
    // busy timeout); commit makes the work durable; rollback undoes it.
    void beginImmediate();
    void commit();
    void rollback();
    bool inTransaction() const;

    // A mark of the ledger's records as this connection sees them: equal marks, equal records.
    // It moves when this connection writes (also a write rolled back later) and when another
    // connection (Lodgebook) commits a change.
    struct ContentMark {
        std::int64_t others = -1;  // the file's data version as last seen from here
        std::int64_t own = -1;     // the records this connection has written
        bool operator==(const ContentMark&) const = default;
    };
    ContentMark contentMark();
    // A read snapshot for many look-ups in a row, which otherwise each take and release the
    // file's read lock: beginRead starts a deferred transaction and returns true when none is
    // open (false: the open one serves); endRead ends the one it started. Use ReadTransaction.
    bool beginRead();
    void endRead();

    // The translation of a Jet SQL text or criterion into what SQLite runs (for tests and fuzzing).
    static QString translateJetSql(const QString& jetSql);
    static QString translateJetCriterion(const QString& criterion);

    struct Impl;

private:
    explicit Database(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> d_;
};

// RAII transaction: begins immediately, rolls back unless commit() was called.
class Transaction {
public:
    explicit Transaction(Database& db) : db_(db) { db_.beginImmediate(); }
    ~Transaction() {
        if (!done_) {
            try {
                db_.rollback();
            } catch (...) {
            }
        }
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit() {
        db_.commit();
        done_ = true;
    }

private:
    Database& db_;
    bool done_ = false;
};

// RAII read snapshot (Database::beginRead): ends on destruction the transaction it started.
class ReadTransaction {
public:
    explicit ReadTransaction(Database& db) : db_(db), started_(db.beginRead()) {}
    ~ReadTransaction() {
        if (started_) {
            try {
                db_.endRead();
            } catch (...) {
            }
        }
    }
    ReadTransaction(const ReadTransaction&) = delete;
    ReadTransaction& operator=(const ReadTransaction&) = delete;

private:
    Database& db_;
    bool started_;
};

}  // namespace corvane::ledger
