#pragma once

#include <QString>

#include <array>

namespace corvane {

// One staged payment: 19 text cells, numbered from 1 as the screen and the posting run name them.
inline constexpr int kStagedColumnCount = 19;

namespace staged {
inline constexpr int OID = 1;
inline constexpr int PID = 2;
inline constexpr int UID = 3;
inline constexpr int TID = 4;                // "T42", or "T#99" for an unmatched payment
inline constexpr int UnitAddress = 5;
inline constexpr int TenantName = 6;
inline constexpr int Amount = 7;             // amount text, "1234.56"
inline constexpr int Date = 8;               // payment date as the file gives it
inline constexpr int CheckNumber = 9;        // one character
inline constexpr int DepositDate = 10;
inline constexpr int PmtType = 11;           // "Rent" or "Late Fee"
inline constexpr int TransactionNumber = 12;
inline constexpr int Note = 13;             // "Already posted 12/01/2026", ...; empty when none
inline constexpr int GridColumnCount = 13;  // the grid shows columns 1 to 13
// Not shown: what the payment screen keeps of the file's line for the notes and the journal.
inline constexpr int ProcessorStatus = 14;  // the line's field 8, as read
inline constexpr int LineNumber = 15;       // the line's number in the file, from 1
inline constexpr int Account = 16;          // the line's account field, blanks removed
inline constexpr int PayerName = 17;        // the line's fields 3 and 4, as read
inline constexpr int PayerAddress = 18;
// When the user chose the row's tenant, on this screen or earlier (TenantChoice.h): the note that
// says so ("Chosen by you", "Matched by your choice of mm/dd/yyyy"), or that the remembered
// tenant is gone ("Remembered tenant #n not found"); empty otherwise.
inline constexpr int TenantChoiceNote = 19;
}  // namespace staged

class StagedRow {
public:
    const QString& cell(int column) const { return cells_.at(static_cast<size_t>(column - 1)); }
    void setCell(int column, QString value) {
        cells_.at(static_cast<size_t>(column - 1)) = std::move(value);
    }
    bool operator==(const StagedRow&) const = default;

private:
    std::array<QString, kStagedColumnCount> cells_;
};

}  // namespace corvane
