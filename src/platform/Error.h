#pragma once

#include <QString>

#include <stdexcept>

namespace corvane {

// A failure with the number and description that a Windows program of this kind reports for it:
// the ledger engine's numbers (3024 file not found, 3265 item not found, ...), the run time's
// numbers for files (53 file not found, 62 input past end of file, 70 permission denied,
// 75 path/file access error, 76 path not found) and the program's own (9 subscript out of range).
// The error handlers of start-up and of the payment screen map these numbers to messages.
class Error : public std::runtime_error {
public:
    Error(int number, const QString& description)
        : std::runtime_error(description.toStdString()),
          number_(number),
          description_(description) {}

    int number() const { return number_; }
    const QString& description() const { return description_; }

private:
    int number_;
    QString description_;
};

namespace errc {
inline constexpr int Overflow = 6;
inline constexpr int OutOfMemory = 7;
inline constexpr int InternalError = 51;
inline constexpr int ObjectNotSet = 91;
inline constexpr int PrinterError = 482;
inline constexpr int SubscriptOutOfRange = 9;
inline constexpr int TypeMismatch = 13;
inline constexpr int FileNotFound = 53;
inline constexpr int InputPastEndOfFile = 62;
inline constexpr int DiskFull = 61;
inline constexpr int PermissionDenied = 70;
inline constexpr int PathFileAccessError = 75;
inline constexpr int PathNotFound = 76;
inline constexpr int InvalidProcedureCall = 5;
// Ledger engine numbers.
inline constexpr int LedgerFileNotFound = 3024;
inline constexpr int ItemNotFound = 3265;
inline constexpr int NoCurrentRecord = 3021;
inline constexpr int LedgerLocked = 3260;
inline constexpr int UnrecognizedDatabaseFormat = 3343;
inline constexpr int DataTypeConversion = 3421;
inline constexpr int SyntaxError = 3075;
inline constexpr int UpdateWithoutEdit = 3020;
inline constexpr int LedgerWriteFailed = 3051;  // also: a ledger that is read-only
inline constexpr int LedgerDiskFull = 3026;
inline constexpr int LedgerDiskError = 3043;  // the disk or network failed
}  // namespace errc

}  // namespace corvane
