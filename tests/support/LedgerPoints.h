#pragma once

#include <QByteArray>

#include <sqlite3.h>

#include <cstdint>
#include <functional>

namespace corvane::test {

// The fixed moments of a transaction on the ledger (a *.mdb file) or the posting journal
// (CV-Journal.db) at which a test stops or kills the process that writes: every row the
// transaction changes and the moment just before its commit. Free of GoogleTest, so that the
// posting driver uses it too.
enum class LedgerPoint { RowChanged, Committing };
enum class PointFile { Ledger, Journal };

namespace detail {
inline std::function<void(LedgerPoint, PointFile)>& ledgerPointHandler() {
    static std::function<void(LedgerPoint, PointFile)> handler;
    return handler;
}
inline PointFile fileOf(void* hookArgument) {
    return static_cast<PointFile>(reinterpret_cast<std::intptr_t>(hookArgument));
}
inline void rowChanged(void* file, int, const char*, const char*, sqlite3_int64) {
    ledgerPointHandler()(LedgerPoint::RowChanged, fileOf(file));
}
inline int committing(void* file) {
    ledgerPointHandler()(LedgerPoint::Committing, fileOf(file));
    return 0;  // let the commit go on
}
inline int hookConnection(sqlite3* db, const char**, const struct sqlite3_api_routines*) {
    const QByteArray name = sqlite3_db_filename(db, "main");
    PointFile file = PointFile::Ledger;
    if (name.endsWith("/CV-Journal.db"))
        file = PointFile::Journal;
    else if (!name.endsWith(".mdb"))
        return SQLITE_OK;
    void* argument = reinterpret_cast<void*>(static_cast<std::intptr_t>(file));
    sqlite3_update_hook(db, rowChanged, argument);
    sqlite3_commit_hook(db, committing, argument);
    return SQLITE_OK;
}
}  // namespace detail

// Calls `handler` at every point of every ledger and journal opened from now on in this process.
inline void onLedgerPoints(std::function<void(LedgerPoint, PointFile)> handler) {
    detail::ledgerPointHandler() = std::move(handler);
    sqlite3_auto_extension(reinterpret_cast<void (*)()>(detail::hookConnection));
}

}  // namespace corvane::test
