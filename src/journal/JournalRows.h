#pragma once

#include "journal/JournalRun.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

namespace corvane::journal {

// The journal's own formats for what a run keeps whole: its staged rows (RowsData) and its
// balance changes (BalanceChangesData). Both throw JournalError on data they cannot read.
QByteArray rowsData(const std::vector<RunRow>& rows);
// Which texts of the rows are read: all, or only those a check against the ledger needs (TID and
// date; the others stay empty).
enum class RowTexts { All, LedgerKeys };
std::vector<RunRow> rowsFrom(const QByteArray& data, RowTexts texts = RowTexts::All);
QByteArray changesData(const std::vector<BalanceChange>& changes);
std::vector<BalanceChange> changesFrom(const QByteArray& data);

// The tenant of a row: its tenantID, else the leading-number value of its TID without the "T";
// 0 for "T#...".
std::int64_t rowTenant(const RunRow& row);
// The TransPostToID of a row's entries and split line: a return's are the returned payment's
// tenant; otherwise the row's tenant (rowTenant).
std::int64_t rowEntryTenant(const RunRow& row);
// The TransDate of a row's entries: the day a return was recorded, otherwise the payment's date.
std::optional<QDate> rowEntryDate(const RunRow& row);

class JournalDb;

// Writes the run's rows into the journal's indexes of them: PostedNumbers (each transaction number
// the run posted, with its first such row's line and income entry as written) and
// ReturnedPayments (each return the run recorded, with the payment it returns). Inside the
// caller's journal transaction.
void indexRunRows(JournalDb& db, std::int64_t runID, const std::vector<RunRow>& rows);

// The texts as a JSON array of strings, for statements that read many values from one parameter.
QString jsonArray(const QStringList& texts);

std::optional<std::int64_t> unitsOf(const std::optional<ledger::Currency>& amount);
std::optional<ledger::Currency> currencyOf(const std::optional<std::int64_t>& units);

}  // namespace corvane::journal
