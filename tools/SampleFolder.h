#pragma once

#include <QString>

namespace lodgebook {

struct SampleOptions {
    int tenants = 12;          // 1 to 100,000
    int payments = 10;         // 0 to 32,767
    unsigned seed = 1;         // the same seed writes the same folder
    bool crlfPayments = true;  // the download's line ends: CR LF, as the processor's; else LF
    int ledgerEntries = 0;     // 0 to 1,000,000 earlier Transactions records (the ledger's past)
    int journalRuns = 0;       // 0 to 12 earlier posting runs of `payments` rows in CV-Journal.db
};

inline constexpr int kMaxSampleTenants = 100000;
inline constexpr int kMaxSamplePayments = 32767;
inline constexpr int kMaxSampleLedgerEntries = 1000000;
inline constexpr int kMaxSampleJournalRuns = 12;

// What a sample folder holds, for the caller's summary.
struct SampleSummary {
    int owners = 0;
    int properties = 0;
    int tenants = 0;
    int units = 0;
    int payments = 0;
    int unmatchedPayments = 0;  // payments whose T-number belongs to no tenant
};

// Writes a whole sample Lodgebook folder into `dir` (created when missing):
//   lbdatafl.mdb                     the ledger (a new one, or an existing empty one filled)
//   IDFILE.DAT                       Lodgebook's preferences, 40 fields
//   CV-Log.txt                       a posting log of five lines
//   user/Downloads/paymentHistory.csv  a payment download of options.payments lines
//   CV-Journal.db                    with options.journalRuns: Corvane's posting journal with
//                                    that many earlier runs (their payments' transaction numbers
//                                    are not the download's)
// With options.ledgerEntries the ledger also holds that many earlier income and fee entries of
// its tenants, dated before the download's payments.
// A ledger that already holds records is never touched: the call throws instead, before any
// file is written. Throws std::runtime_error (bad options, a file that cannot be written).
//
// The first twelve tenants (TenantID 1001 to 1012) always carry the same traits, so that a
// sample of the default size shows every case: 1001 "Renée Nuñez" (enrolled); 1002 first name
// "VACANT", empty last name (enrolled); 1003 lives in two units; 1004 has no unit; 1005 marked
// "D"; 1006 and 1009 not enrolled "N"; the others enrolled "Y". Owner 1 charges "8%", owner 2
// "25", owner 3 an empty fee, owner 4 none (NULL). The company is "Harbor Point Rentals, LLC".
// Every seventh payment carries a T-number that belongs to no tenant.
SampleSummary writeSampleFolder(const QString& dir, const SampleOptions& options);

}  // namespace lodgebook
