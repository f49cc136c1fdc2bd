#pragma once

#include "journal/PostingJournal.h"
#include "journal/PostingRecovery.h"
#include "payments/LoadedFile.h"
#include "payments/Payment.h"
#include "payments/PaymentIntake.h"
#include "platform/Dialogs.h"
#include "platform/ledger/Currency.h"

#include <QDate>
#include <QMap>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

namespace corvane {

// What a load has to tell the user, as a kind with its data; LoadProblemMessage words it.
struct LoadProblem {
    enum class Kind {
        NoFile,           // nothing staged and no download taken: nothing more to tell
        NoPayments,       // no payment line: the staged file was deleted
        FileProblem,      // a line with too few fields (error 9)
        Unexpected,       // any other error, told with its number and description
        JournalUnusable,  // the payments are loaded but cannot be posted: the journal is unusable
    };
    Kind kind = Kind::Unexpected;
    int number = 0;
    QString text;  // the error's description, or the journal's message
};

// Notes the payments (NotePayments, PaymentNotes.h), then gives the tenant choices without
// another note theirs (AddTenantChoiceNotes); the payments posted by Corvane that the ledger no
// longer holds, by posting date, into `goneFromLedger` when given. A journal that cannot be read
// leaves no payment noted as posted before: its message is returned.
std::optional<QString> NoteLoadedPayments(std::vector<Payment>& payments, ledger::Database& ledger,
                                          journal::PostingJournal* journal,
                                          QMap<QDate, int>* goneFromLedger = nullptr);

// The message of a load problem for the screen to show (none for NoFile).
std::optional<UserMessage> LoadProblemMessage(const LoadProblem& problem);

// The payment screen's loading without the screen: the payments of the staged file, read once,
// matched and noted, ready for review and posting. The payment screen, the posting driver of the
// reliability tests and the benchmarks load through it.
//
// It works on what settling interrupted runs does (the ledger start-up has opened, or nothing,
// which is an error; the staged payment file and the journal of the program folder), and asks
// and tells through `dialogs`. Call order of load():
//   1. open the journal when there is one (once: the screen takes it, takeJournal), and settle
//      interrupted posting runs in it (SettleInterruptedRuns), when the ledger is open;
//   2. when nothing is staged, take the newest download of the Downloads folder
//      (downloadsFolder, FindLatestPaymentFile, which asks);
//   3. read the staged file (its bytes are kept with their digest), decode it, select the
//      payment lines (none: the file is deleted);
//   4. read the lines into payments on a second thread while the tenants are loaded for
//      matching, then match each payment, then match the payments of no tenant that have a
//      remembered tenant choice (ApplyRememberedTenants, TenantChoice.h);
//   5. note each payment (PaymentNotes.h), then give the tenant choices their notes
//      (NoteLoadedPayments);
//   6. total the payments.
// A failure in any step leaves no payments and says why in problem(). A journal that cannot be
// used leaves the payments loaded, with problem() saying so and canPost() false.
class PaymentLoad {
public:
    PaymentLoad(Dialogs& dialogs, RunSettlement settlement)
        : dialogs_(dialogs), settlement_(std::move(settlement)) {}

    // Returns true when payments were loaded (problem() may still hold JournalUnusable).
    bool load();

    std::vector<Payment>& payments() { return payments_; }
    const std::vector<Payment>& payments() const { return payments_; }
    int count() const { return static_cast<int>(payments_.size()); }
    ledger::Currency total() const { return total_; }
    const std::optional<LoadProblem>& problem() const { return problem_; }
    bool canPost() const { return !payments_.empty() && !problem_; }
    const LoadedFile& file() const { return file_; }
    // By posting date, how many payments of the file Corvane posted whose income entry the ledger
    // no longer holds (GoneFromLedgerNotice, JournalNotes.h); empty when none.
    const QMap<QDate, int>& goneFromLedger() const { return goneFromLedger_; }
    // The journal the load read, handed over (nullptr when there is none or it cannot be used).
    std::unique_ptr<journal::PostingJournal> takeJournal() { return std::move(journal_); }

private:
    void steps();
    // Step 4: the lines read while the tenants are loaded, matched, then matched by the
    // remembered choices; a journal that cannot be read is noted in `journalProblem`.
    ReadPayments readAndMatch(const QStringList& lines, std::optional<QString>& journalProblem);

    Dialogs& dialogs_;
    RunSettlement settlement_;
    std::unique_ptr<journal::PostingJournal> journal_;
    QMap<QDate, int> goneFromLedger_;
    std::vector<Payment> payments_;
    ledger::Currency total_;
    std::optional<LoadProblem> problem_;
    LoadedFile file_;
};

}  // namespace corvane
