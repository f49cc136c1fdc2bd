#pragma once

#include "platform/ledger/Currency.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace corvane::journal {

enum class RunState { Pending, Posted, Reversing, Reversed };

// What became of one staged row in a posting run.
enum class RowOutcome {
    Posted,          // its income entry (and fee, when one was due) was written
    NoTenant,        // left out: no tenant matched its account number
    Note,            // left out: the user chose to leave out the rows that carry a note
    ReturnRecorded,  // a payment posted before, reported since as not settled: its return was
                     // written (the negative income entry, the fee given back, a negative split
                     // line), linked to the payment by `returnOf`
};

// The payment whose return a row recorded: the run and line that posted it.
struct ReturnLink {
    std::int64_t runID = 0;
    int line = 0;
    QDate postedOn;    // that run's posting date
    QDate recordedOn;  // the TransDate of the return's entries: the day it was recorded
    // The TransPostToID of the return's entries: the tenant of the payment's entry, whatever
    // tenant the row that reported the return matched; none in runs recorded before it was kept.
    std::optional<std::int64_t> tenantID;
    bool operator==(const ReturnLink&) const = default;
};

// How a row's tenant was found: by its account number, or by the user's choice, made on the
// review screen or remembered from an earlier one.
enum class TenantChoice { None, Chosen, Remembered };

// One staged row of a run: the grid's columns as shown, what became of it and the keys of what
// was written for it. For a ReturnRecorded row the keys and amounts are those of the return's
// records: the income entry (negative), the fee given back (positive), the split line (negative).
struct RunRow {
    int line = 0;  // the row's line in the payment file
    QString tid, address, name, amount, date, checkChar, pmtType, transactionNumber, note;
    // The matched tenant's TenantID (its TID without the "T"); none for a "T#" row.
    std::optional<std::int64_t> tenantID;
    RowOutcome outcome = RowOutcome::Posted;
    TenantChoice tenantChoice = TenantChoice::None;
    std::optional<std::int64_t> incomeTransID;  // Transactions.TransID of the income entry
    std::optional<ledger::Currency> incomeAmount;
    std::optional<std::int64_t> feeTransID;     // Transactions.TransID of the management fee
    std::optional<ledger::Currency> feeAmount;  // negative, as written
    std::optional<std::int64_t> splitID;        // SplitPrintedChecks.SplitID of its split line
    std::optional<ledger::Currency> splitAmount;
    std::optional<ReturnLink> returnOf;  // a ReturnRecorded row's payment
};

// An amount a run added to a tenant's TCurrBal or a unit's UCurrBal (the sum of its changes).
struct BalanceChange {
    enum class Kind { Tenant, Unit };
    Kind kind = Kind::Tenant;
    std::int64_t key = 0;  // TenantID; for a unit its UTenantID
    ledger::Currency amount;
};

// The figures a run puts in the posting log.
struct PostedFigures {
    QString lastDatePosted;
    QString lastBalancePosted;
    std::optional<QString> rangeFrom;  // both or neither
    std::optional<QString> rangeTo;
};

// One posting run as the journal keeps it.
struct Run {
    std::int64_t runID = 0;  // set by the journal
    RunState state = RunState::Pending;
    QDateTime postedAt;  // local time, to the second
    QString computer;
    QString fileName;
    QByteArray fileBytes;
    QString fileDigest;  // SHA-1 of the staged file, hexadecimal
    int remarkChoice = 0;
    QString remarkText;
    bool postFees = false;
    bool createDeposit = false;
    QString depositNumber;                  // as typed
    std::optional<std::int64_t> depositID;  // CheckDepPrinted.CkID
    std::optional<ledger::Currency> depositAmount;
    PostedFigures figures;
    // Records of the run that tell whether its ledger commit was made (PostingEvidence).
    QString evidence;
    std::optional<QDate> reversedOn;
    std::vector<RunRow> rows;  // file order
    std::vector<BalanceChange> balanceChanges;
};

// "posted", "no tenant", "note", "return recorded"
QString rowOutcomeName(RowOutcome outcome);
RowOutcome rowOutcomeFromName(const QString& name);
QString runStateName(RunState state);  // "pending", "posted", "reversing", "reversed"
RunState runStateFromName(const QString& name);

}  // namespace corvane::journal
