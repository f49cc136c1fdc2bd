#pragma once

#include "core/Globals.h"
#include "payments/LoadedFile.h"
#include "payments/Payment.h"

#include <QDate>
#include <QString>

#include <vector>

namespace corvane {

// What the payment screen's controls say about a posting run.
struct PostingChoices {
    int remarkChoice = 0;        // optRemark: 0 default remark, 1 the payment kind, 2 remarkText
    QString remarkText;          // txtRemark
    bool postMgmtFees = false;   // chkPostMgmtFees
    bool createDeposit = false;  // chkCreateDeposit
    QString depositNumber;       // txtCreateDeposit
};

// The figures a run leaves in the posting log: the day it posted and the total of its payments
// without their signs.
struct PostingFigures {
    QDate date;
    ledger::Currency balance;
};

enum class PostingOutcome {
    Completed,  // everything written and committed; message shown, log rewritten, file archived
    Stopped,    // cancelled or refused; nothing written; the screen stays open with its rows
};

// The update of the payment screen's "Update Lodgebook Ledgers NOW" button, up to (not
// including) closing the screen. Call order inside run(): check the rent income and late fee
// categories; ask the confirmation question when a box is unchecked; when matched rows carry a
// note (other than that of a tenant the user chose, TenantChoice.h), ask whether to leave them
// out; when payments posted before are now reported by the processor as not settled
// (JournalNotes.h), ask whether to record their return (they are never posted again); open the
// posting journal (PostingJournal.h); begin one ledger transaction; build the plan of every
// entry, balance change and fee (LedgerPosting.h) and check it (dates, tenants, properties,
// units, the fee category, owners, fees); write it, then the returns (PaymentReturns.h), then
// the deposit and its split lines (Deposit.h), a return's line negative; record the run in the
// journal as pending; commit. Only after the commit: the archive step, LastRangeFrom/To, the
// success message, the posting log with the menu's labels, and the run marked posted in the
// journal. Any refusal or failure before the commit leaves the ledger and the journal as they
// were and returns Stopped.
class PostingRun {
public:
    explicit PostingRun(Globals& globals) : globals_(globals) {}
    // `payments` as reviewed; `file` the staged file they were loaded from (the journal keeps it).
    PostingOutcome run(const std::vector<Payment>& payments, const PostingChoices& choices,
                       const LoadedFile& file);

private:
    Globals& globals_;
};

}  // namespace corvane
