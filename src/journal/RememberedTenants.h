#pragma once

#include "journal/JournalDb.h"

#include <QDate>
#include <QHash>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace corvane::journal {

// A tenant the user chose for a processor account that matches no tenant of its own: payments
// of that account are matched to this tenant from then on.
struct RememberedTenant {
    QString account;  // the payment file's account field, blanks removed ("T999")
    std::int64_t tenantID = 0;
    QDate chosenOn;
    QString computer;
    bool operator==(const RememberedTenant&) const = default;
};

// The remembered choices of the posting journal (table RememberedTenants). One choice per
// account; choosing again for the same account replaces it. Forgetting a choice changes nothing
// that was posted with it: the runs keep their rows as posted.
class RememberedTenants {
public:
    explicit RememberedTenants(JournalDb& db) : db_(db) {}

    // Adds the choice, or replaces the one of the same account (one journal transaction).
    void remember(const RememberedTenant& choice);
    // The choices of these accounts that are remembered, by account: one statement, whatever
    // the number of accounts.
    QHash<QString, RememberedTenant> find(const QStringList& accounts);
    // Every choice, by account.
    std::vector<RememberedTenant> list();
    // Removes the account's choice; false when none was remembered.
    bool forget(const QString& account);

private:
    JournalDb& db_;
};

}  // namespace corvane::journal
