#pragma once

#include <QString>

namespace lodgebook {

// Creates an empty Lodgebook ledger file at `path` as Lodgebook lays it out on this platform:
// WAL journal, the tables with their text columns COLLATE NOCASE, extra columns that Corvane does
// not touch, and the four indexes. Throws std::runtime_error on failure.
void createLedger(const QString& path);

// The schema's SQL text (for tests that build their own ledgers).
const char* ledgerSchemaSql();

}  // namespace lodgebook
