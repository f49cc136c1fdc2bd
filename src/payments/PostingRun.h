#pragma once

#include "app/Globals.h"
#include "payments/StagedRow.h"

#include <QString>

#include <vector>

namespace corvane {

// What the payment screen's controls say about a posting run.
struct PostingChoices {
    int remarkChoice = 0;     // optRemark: 0 default remark, 1 the payment kind, 2 remarkText
    QString remarkText;       // txtRemark
    bool postMgmtFees = false;   // chkPostMgmtFees
    bool createDeposit = false;  // chkCreateDeposit
    QString depositNumber;       // txtCreateDeposit
};

enum class PostingOutcome {
    Completed,  // everything written and committed; message shown, log rewritten, file archived
    Stopped,    // cancelled or refused; nothing written; the screen stays open with its rows
};

// The update of the payment screen's "Update Lodgebook Ledgers NOW" button, up to (not
// including) closing the screen. Call order: build the plan of every entry, balance change, fee,
// deposit and split line; check it (categories, units, tenants, owners, fees, dates); ask the
// confirmation question; write the plan in one ledger transaction; then the success message, the
// posting log and the menu's labels, and the archive step.
class PostingRun {
public:
    explicit PostingRun(Globals& globals) : globals_(globals) {}
    PostingOutcome run(const std::vector<StagedRow>& rows, const PostingChoices& choices);

private:
    Globals& globals_;
};

}  // namespace corvane
