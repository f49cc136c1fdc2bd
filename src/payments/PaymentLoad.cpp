#include "payments/PaymentLoad.h"

#include "journal/PostingJournal.h"
#include "journal/PostingRecovery.h"
#include "payments/PaymentIntake.h"
#include "payments/PaymentMatching.h"
#include "payments/PaymentNotes.h"
#include "payments/TenantChoice.h"
#include "platform/Error.h"
#include "platform/TextCodec.h"

#include <exception>
#include <future>
#include <new>

namespace corvane {
namespace {

// Row loops of the staged table count with 16 bits.
constexpr qsizetype kMaxStagedRows = 32767;

}  // namespace

std::optional<QString> NoteLoadedPayments(std::vector<Payment>& payments, ledger::Database& ledger,
                                          journal::PostingJournal* journal,
                                          QMap<QDate, int>* goneFromLedger) {
    std::optional<QString> problem;
    try {
        QMap<QDate, int> gone = NotePayments(payments, ledger, journal);
        if (goneFromLedger)
            *goneFromLedger = std::move(gone);
    } catch (const journal::JournalError& e) {
        problem = journal::unusableJournalMessage(e);
        NotePayments(payments, ledger, nullptr);
    }
    AddTenantChoiceNotes(payments);
    return problem;
}

std::optional<UserMessage> LoadProblemMessage(const LoadProblem& problem) {
    using Kind = LoadProblem::Kind;
    switch (problem.kind) {
        case Kind::NoFile:
            return std::nullopt;
        case Kind::NoPayments:
            return UserMessage{
                QStringLiteral("There were no tenant payments found to process, or there was "
                               "invalid data in the payment file. Please try again later."),
                MsgIcon::Information, QStringLiteral("Lodgebook Corvane")};
        case Kind::FileProblem:
            return UserMessage{QStringLiteral("There is a problem in the Corvane Payment File. "
                                              "Please contact support for assistance."),
                               MsgIcon::Information, QStringLiteral("Corvane")};
        case Kind::Unexpected:
            return UserMessage{QStringLiteral("Unexpected error in payment file: ") +
                                   QString::number(problem.number) + QStringLiteral(" - ") +
                                   problem.text,
                               MsgIcon::Information, QStringLiteral("Payment File Download")};
        case Kind::JournalUnusable:
            return UserMessage{problem.text, MsgIcon::Critical, journal::kJournalErrorTitle};
    }
    return std::nullopt;
}

bool PaymentLoad::load() {
    payments_.clear();
    total_ = {};
    problem_.reset();
    file_ = {};
    journal_.reset();
    goneFromLedger_.clear();
    int number = 0;
    QString description;
    try {
        steps();
        return !payments_.empty();
    } catch (const Error& e) {
        number = e.number();
        description = e.description();
    } catch (const std::bad_alloc&) {
        number = errc::OutOfMemory;
        description = QStringLiteral("Out of memory");
    } catch (const std::exception& e) {
        number = errc::InternalError;
        description = QStringLiteral("Internal error: ") + QString::fromLocal8Bit(e.what());
    }
    // Nothing half-read may be posted or printed.
    payments_.clear();
    total_ = {};
    file_ = {};
    journal_.reset();
    goneFromLedger_.clear();
    using Kind = LoadProblem::Kind;
    const Kind kind = number == errc::FileNotFound          ? Kind::NoFile
                      : number == errc::SubscriptOutOfRange ? Kind::FileProblem
                                                            : Kind::Unexpected;
    problem_ = LoadProblem{kind, number, description};
    return false;
}

ReadPayments PaymentLoad::readAndMatch(const QStringList& lines,
                                       std::optional<QString>& journalProblem) {
    // The lines are read on a second thread (or, when none can be started, after the tenants)
    // while the ledger's tenants are loaded for matching. A failure while loading the tenants is
    // told first, then the first line that cannot be read, then any failure while matching.
    ReadPayments read;
    {
        auto reading = std::async(std::launch::async | std::launch::deferred,
                                  [&lines] { return readPayments(lines); });
        PaymentMatcher matcher(*settlement_.ledger, lines.size());
        read = reading.get();
        for (Payment& p : read.payments)
            matcher.match(p);
        // A remembered choice matches what its account does not; the matcher fills the payment.
        if (journal_) {
            try {
                ApplyRememberedTenants(read.payments, *journal_,
                                       [&matcher](Payment& p, std::int64_t tenantID) {
                                           return matcher.matchTenant(p, tenantID);
                                       });
            } catch (const journal::JournalError& e) {
                journalProblem = journal::unusableJournalMessage(e);
            }
        }
    }
    return read;
}

void PaymentLoad::steps() {
    const PaymentFiles& payment = settlement_.payment;
    Files& files = payment.files;
    const QString staged = payment.stagedPath();
    // The journal says which payments were posted before and which tenants the user chose for
    // accounts of no tenant; without it nothing may be posted. Without a journal file nothing
    // was posted before: the first posting run makes it. It is opened once, here, and handed on.
    // A journal that cannot be used is told once the payments are loaded.
    std::optional<QString> journalProblem;
    try {
        journal_ = journal::PostingJournal::openExisting(payment.programFolder);
    } catch (const journal::JournalError& e) {
        journalProblem = journal::unusableJournalMessage(e);
    }
    // An interrupted posting run is settled first: its payments are either archived as posted or
    // still staged, never both staged and posted.
    if (!journalProblem)
        SettleInterruptedRuns(settlement_, journal_.get());
    if (!files.exists(staged))
        FindLatestPaymentFile(payment, dialogs_, downloadsFolder(settlement_.environment));
    if (!settlement_.ledger) {
        throw Error(errc::ObjectNotSet, QStringLiteral("Object variable or With block variable "
                                                       "not set (the ledger is not open)"));
    }
    if (!files.exists(staged))
        throw Error(errc::FileNotFound, QStringLiteral("File not found"));
    QByteArray bytes = files.readAll(staged, kMaxPaymentFileBytes);
    const QStringList lines = selectPaymentLines(decodeAnsi(bytes));
    if (lines.isEmpty()) {
        files.remove(staged);
        problem_ = LoadProblem{LoadProblem::Kind::NoPayments, 0, {}};
        return;
    }
    if (lines.size() > kMaxStagedRows) {
        throw Error(errc::Overflow,
                    QStringLiteral("Overflow: the payment file holds more than 32,767 payments"));
    }

    ReadPayments read = readAndMatch(lines, journalProblem);
    if (auto problem = NoteLoadedPayments(read.payments, *settlement_.ledger, journal_.get(),
                                          &goneFromLedger_))
        journalProblem = std::move(problem);
    // An amount beyond the currency's range is refused rather than counted as 0.
    if (read.amountTooLarge) {
        throw Error(
            errc::Overflow,
            QStringLiteral("Overflow: an amount or the total of the payments is too large"));
    }
    total_ = paymentsTotal(read.payments);
    payments_ = std::move(read.payments);
    file_ = LoadedFile::of(payment.stagedName, std::move(bytes));
    if (journalProblem)
        problem_ = LoadProblem{LoadProblem::Kind::JournalUnusable, 0, *journalProblem};
}

}  // namespace corvane
