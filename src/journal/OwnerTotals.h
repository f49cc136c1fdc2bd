#pragma once

#include "core/PdfReport.h"
#include "journal/JournalRun.h"
#include "platform/ledger/Currency.h"
#include "platform/ledger/Database.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

namespace corvane::journal {

// One posted payment as its owner's totals count it.
struct OwnerPayment {
    std::int64_t ownerID = 0;
    std::int64_t propID = 0;
    QString owner;     // as shown: "Last, First"
    QString property;  // PropName
    ledger::Currency amount;              // the income entry's amount
    std::optional<ledger::Currency> fee;  // the management fee entry's amount (negative)
};

// The payments posted for one owner's property and the management fees charged on them.
struct OwnerTotal {
    std::int64_t ownerID = 0;
    std::int64_t propID = 0;
    QString owner;
    QString property;
    int payments = 0;
    ledger::Currency total;
    int fees = 0;
    ledger::Currency feeTotal;  // without its sign
    ledger::Currency net;       // the total less the fees
};

// By owner and property, ordered by the owner's name, then the property's (letter case ignored),
// then their keys.
std::vector<OwnerTotal> TotalsByOwner(const std::vector<OwnerPayment>& payments);

// A person's name as shown: "Last, First", or the first name alone when the last is empty.
QString PersonName(const QString& last, const QString& first);

// The by-owner table as the preview and the posting report show it: its captions and the cells
// of one owner's property.
QStringList OwnerTotalCaptions();
QStringList OwnerTotalCells(const OwnerTotal& total);
// The same as a part of a PDF report, headed "By Owner"; it reads `totals`, which must outlive it.
PdfPart OwnerTotalsPart(const std::vector<OwnerTotal>& totals);

// The owner totals of a run from the journal: its posted rows, each counted for the owner and
// property of its tenant as the ledger holds them (read by TenantID; the rows of tenants no longer
// in the ledger together as "(tenant not in the ledger)"). Reads the ledger only. Throws
// corvane::Error.
std::vector<OwnerTotal> OwnerTotalsOfRun(ledger::Database& db, const Run& run);

}  // namespace corvane::journal
