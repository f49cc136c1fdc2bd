#pragma once

#include <QByteArray>

#include <sqlite3.h>

#include <functional>

namespace corvane::test {

// The fixed moments of a ledger transaction at which a test stops or kills the process that
// writes: every row the transaction changes and the moment just before its commit. Free of
// GoogleTest, so that the posting driver uses it too.
enum class LedgerPoint { RowChanged, Committing };

namespace detail {
inline std::function<void(LedgerPoint)>& ledgerPointHandler() {
    static std::function<void(LedgerPoint)> handler;
    return handler;
}
inline void rowChanged(void*, int, const char*, const char*, sqlite3_int64) {
    ledgerPointHandler()(LedgerPoint::RowChanged);
}
inline int committing(void*) {
    ledgerPointHandler()(LedgerPoint::Committing);
    return 0;  // let the commit go on
}
inline int hookLedger(sqlite3* db, const char**, const struct sqlite3_api_routines*) {
    const char* file = sqlite3_db_filename(db, "main");
    if (file && QByteArray(file).endsWith(".mdb")) {
        sqlite3_update_hook(db, rowChanged, nullptr);
        sqlite3_commit_hook(db, committing, nullptr);
    }
    return SQLITE_OK;
}
}  // namespace detail

// Calls `handler` at every point of every ledger (a *.mdb file) opened from now on in this process.
inline void onLedgerPoints(std::function<void(LedgerPoint)> handler) {
    detail::ledgerPointHandler() = std::move(handler);
    sqlite3_auto_extension(reinterpret_cast<void (*)()>(detail::hookLedger));
}

}  // namespace corvane::test
