#include "journal/RememberedTenants.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace corvane::journal {

namespace {

const QString kDateFormat = QStringLiteral("yyyy-MM-dd");

RememberedTenant choiceFrom(const Statement& s) {
    return {s.text(0), s.integer(1), QDate::fromString(s.text(2), kDateFormat), s.text(3)};
}

}  // namespace

void RememberedTenants::remember(const RememberedTenant& choice) {
    JournalTransaction transaction(db_);
    db_.prepare(
           "INSERT OR REPLACE INTO RememberedTenants (Account, TenantID, ChosenOn, Computer) "
           "VALUES (?1, ?2, ?3, ?4)")
        .bind(1, choice.account)
        .bind(2, choice.tenantID)
        .bind(3, choice.chosenOn.toString(kDateFormat))
        .bind(4, choice.computer)
        .run();
    transaction.commit();
}

QHash<QString, RememberedTenant> RememberedTenants::find(const QStringList& accounts) {
    QHash<QString, RememberedTenant> found;
    if (accounts.isEmpty())
        return found;
    // SQLite reads the accounts from one JSON array and looks each up in the table's key.
    const QByteArray json =
        QJsonDocument(QJsonArray::fromStringList(accounts)).toJson(QJsonDocument::Compact);
    Statement s = db_.prepare(
        "SELECT RememberedTenants.Account, TenantID, ChosenOn, Computer FROM "
        "(SELECT DISTINCT value AS Account FROM json_each(?1)) AS Wanted "
        "JOIN RememberedTenants ON RememberedTenants.Account = Wanted.Account");
    s.bind(1, QString::fromUtf8(json));
    while (s.step()) {
        RememberedTenant choice = choiceFrom(s);
        found.insert(choice.account, std::move(choice));
    }
    return found;
}

std::vector<RememberedTenant> RememberedTenants::list() {
    std::vector<RememberedTenant> all;
    Statement s = db_.prepare(
        "SELECT Account, TenantID, ChosenOn, Computer FROM RememberedTenants ORDER BY Account");
    while (s.step())
        all.push_back(choiceFrom(s));
    return all;
}

bool RememberedTenants::forget(const QString& account) {
    JournalTransaction transaction(db_);
    bool found = false;
    {
        Statement s = db_.prepare("DELETE FROM RememberedTenants WHERE Account = ?1 RETURNING 1");
        s.bind(1, account);
        found = s.step();
        while (s.step()) {
        }
    }
    transaction.commit();
    return found;
}

}  // namespace corvane::journal
