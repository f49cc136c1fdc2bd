#pragma once

#include "core/Preferences.h"
#include "payments/Payment.h"
#include "payments/PostingPlan.h"
#include "payments/PostingRun.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace corvane {

// What "Update Lodgebook Ledgers NOW" would write now, shown before it is written: the plan of
// the run (preparePosting) with the screen's choices, the noted payments left out and the returns
// recorded (the answers the run's questions suggest), worded for the posting preview's window and
// its PDF. Every figure is the plan's; nothing here computes one.
class PostingPreview {
public:
    // One table: its caption, its column captions and its cells, made as they are read.
    struct Table {
        QString caption;
        QStringList columns;
        int rows = 0;
        std::function<QString(int row, int column)> cell;
    };
    // A caption and the value it labels ("Deposit Number:", "1045").
    struct Figure {
        QString caption;
        QString value;
    };

    // Plans the run dated `today` with the ledger preferences, in one read snapshot of the ledger
    // (nothing is written anywhere; no ledger is the posting run's refusal), the payments as
    // their standings (worked out by the load) and the questions' suggested answers say: noted
    // rows left out, returns recorded.
    static PostingPreview make(ledger::Database* ledger, const LedgerPreferences& preferences,
                               const QDate& today, std::vector<Payment> payments,
                               const PostingChoices& choices);

    // The one sentence at the top of the preview.
    static QString summary();
    // The posting run's message when it would refuse; the preview then shows nothing else.
    const std::optional<QString>& refusal() const { return refusal_; }

    // By owner, entries by tenant, balances by tenant, returns, rows not posted; their cells read
    // this preview, which must outlive them.
    std::vector<Table> tables() const;
    // The deposit, or the one line "No deposit".
    std::vector<Figure> deposit() const;
    std::vector<Figure> totals() const;

    const PostingPlan& plan() const { return plan_; }

private:
    std::vector<Payment> payments_;
    PostingPlan plan_;
    std::optional<QString> refusal_;
    std::vector<std::size_t> entriesByTenant_;  // plan_.entries' indexes, by tenant
};

// "less than the rent of $1,250.00 by $269.50", "more than the rent of $900.00 by $100.00"; empty
// for an entry that is not a rent payment differing from a rent above zero.
QString AgainstTheRent(const PlannedEntry& entry);

}  // namespace corvane
