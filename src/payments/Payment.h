#pragma once

#include "journal/JournalRun.h"
#include "payments/StagedRow.h"
#include "platform/ledger/Currency.h"

#include <QDate>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace corvane {

// One reviewed row of the payment screen, read once into the values the posting run works
// with; the ledger entries, the fees, the deposit's split lines, the notes and the journal's rows
// are all made from these.
struct Payment {
    const StagedRow* row = nullptr;  // the row as shown (messages and the journal quote it)
    int line = 0;                    // its line in the payment file
    bool matched = false;            // TID does not begin with "T#"
    // The leading-number value of TID without its first character, as a whole number (0 for an
    // unmatched "T#" row).
    std::int64_t tenantID = 0;
    ledger::Currency amount;                  // the absolute leading-number value of the amount
    QString dateText;                         // as the file gives it
    std::optional<QDate> date;                // nullopt when the text is not a date
    std::optional<std::int64_t> checkNumber;  // nullopt when the check cell is blank
    QString pmtType;                          // "Rent" or "Late Fee"
    bool rent = false;                        // the payment type begins with "Rent"
    bool lateFee = false;                     // the payment type begins with "Late Fee"
    QString note;                             // the screen's note on the row, empty when none
    // How the tenant was found (TenantChoice.h), and whether the note only says that.
    journal::TenantChoice tenantChoice = journal::TenantChoice::None;
    bool noteIsTenantChoice = false;
    bool leftOut = false;  // the user chose to leave the rows with a note out of this run
};

// The payments of the staged rows, in order.
std::vector<Payment> ReadPayments(const std::vector<StagedRow>& rows);

// The journal's row of a staged row: its line, the grid's columns as shown (TID, address,
// name, amount, date, check, payment type, transaction number, note) and how its tenant was
// found; outcome and keys unset.
journal::RunRow RunRowAsShown(const StagedRow& row, int line);

}  // namespace corvane
