#include "payments/PaymentMatching.h"

#include "app/TextRules.h"
#include "platform/ledger/Currency.h"

#include <cmath>
#include <optional>

namespace corvane {
namespace {

// The account number of a payment line: the leading-number value of the account field without
// its first character, blanks removed ("T42" gives 42). The key is set only for a whole number.
struct AccountNumber {
    QString text;               // as written after "T#" when the tenant is not found
    std::optional<qint64> key;  // the TenantID to seek
};

AccountNumber accountNumber(const QString& account) {
    QString digits = account.mid(1);
    digits.remove(QLatin1Char(' '));
    const QStringView prefix = ledger::decimalPrefix(digits);
    double value = 0.0;
    AccountNumber out;
    if (!prefix.isEmpty()) {
        bool ok = false;
        value = prefix.toDouble(&ok);
        if (!ok) {
            // Too large (or too small) for any number: no tenant has it as key.
            out.text = prefix.toString();
            return out;
        }
    }
    if (std::trunc(value) == value && std::fabs(value) < 9.0e15) {
        out.key = static_cast<qint64>(value);
        out.text = QString::number(*out.key);
    } else {
        out.text = QString::number(value, 'g', 15);
    }
    return out;
}

QString firstNonBlank(const QString& text) {
    const QString rest = trimLeadingBlanks(text);
    return rest.left(1);
}

}  // namespace

QString tenantDisplayName(const ledger::Value& lastName, const ledger::Value& firstName) {
    const QString last = lastName.toText();
    if (firstName.isNull() || trimBlanks(firstName.toText()).isEmpty())
        return last;
    return last + QStringLiteral(", ") + firstName.toText();
}

PaymentMatcher::PaymentMatcher(ledger::Database& db, qsizetype lineCount, Lookup lookup)
    : snapshot_(db) {
    matchesNothing_ = db.openTable(QStringLiteral("Properties"))->recordCount() == 0;
    tenants_ = db.openTable(QStringLiteral("Tenants"));
    units_ = db.openTable(QStringLiteral("Units"));
    const std::int64_t tenantCount = tenants_->recordCount();
    const std::int64_t unitCount = units_->recordCount();
    if (tenantCount == 0 || unitCount == 0)
        matchesNothing_ = true;
    tenants_->setIndex(QStringLiteral("TenantIDIndex"));
    units_->setIndex(QStringLiteral("UTenantIDIndex"));
    // A seek costs about as much as reading four records in a walk.
    const bool large = 4 * static_cast<std::int64_t>(lineCount) > tenantCount + unitCount;
    if (!matchesNothing_ && (lookup == Lookup::Preload || (lookup == Lookup::Auto && large))) {
        preload(db);
    } else if (!matchesNothing_) {
        tenantFields_ = db.openLookup(QStringLiteral("Tenants"), QStringLiteral("TenantIDIndex"),
                                      {QStringLiteral("TenantID"), QStringLiteral("TLastName1"),
                                       QStringLiteral("TFirstName1")});
        unitAddress_ = db.openLookup(QStringLiteral("Units"), QStringLiteral("UTenantIDIndex"),
                                     {QStringLiteral("UAddress")});
    }
}

void PaymentMatcher::preload(ledger::Database& db) {
    QHash<qint64, QString> firstUnitAddress;
    db.openLookup(QStringLiteral("Units"), QStringLiteral("UTenantIDIndex"),
                  {QStringLiteral("UAddress")})
        ->forEach([&](const ledger::Value& tenantId, const std::vector<ledger::Value>& unit) {
            if (tenantId.isNull())
                return;
            const qint64 key = tenantId.toInteger();
            if (!firstUnitAddress.contains(key))
                firstUnitAddress.insert(key, unit[0].toText());
        });
    db.openLookup(QStringLiteral("Tenants"), QStringLiteral("TenantIDIndex"),
                  {QStringLiteral("TLastName1"), QStringLiteral("TFirstName1")})
        ->forEach([&](const ledger::Value& tenantId, const std::vector<ledger::Value>& tenant) {
            const qint64 key = tenantId.toInteger();
            if (known_.contains(key))
                return;
            TenantMatch match;
            match.found = true;
            match.tid = QStringLiteral("T") + tenantId.toText().remove(QLatin1Char(' '));
            const auto unit = firstUnitAddress.constFind(key);
            match.unitAddress = unit == firstUnitAddress.constEnd() ? kTidNotFoundText : *unit;
            match.tenantName = tenantDisplayName(tenant[0], tenant[1]);
            known_.insert(key, match);
        });
    preloaded_ = true;
}

PaymentMatcher::~PaymentMatcher() = default;

PaymentMatcher::TenantMatch PaymentMatcher::lookUp(qint64 account) {
    const auto cached = known_.constFind(account);
    if (cached != known_.constEnd())
        return *cached;
    TenantMatch match;
    if (preloaded_)
        return match;
    if (const auto tenant = tenantFields_->find(ledger::Value::integer(account))) {
        const std::vector<ledger::Value>& fields = *tenant;
        match.found = true;
        match.tid = QStringLiteral("T") + fields[0].toText().remove(QLatin1Char(' '));
        const auto unit = unitAddress_->find(ledger::Value::integer(fields[0].toInteger()));
        match.unitAddress = unit ? (*unit)[0].toText() : kTidNotFoundText;
        match.tenantName = tenantDisplayName(fields[1], fields[2]);
    }
    known_.insert(account, match);
    return match;
}

StagedRow PaymentMatcher::fill(const PaymentLine& line) {
    StagedRow row;
    const AccountNumber account = accountNumber(line.account);
    TenantMatch match;
    if (!matchesNothing_ && account.key)
        match = lookUp(*account.key);
    row.setCell(staged::TransactionNumber, line.transactionNumber);
    if (match.found) {
        row.setCell(staged::TID, match.tid);
        row.setCell(staged::UnitAddress, match.unitAddress);
        row.setCell(staged::TenantName, match.tenantName);
    } else {
        row.setCell(staged::TID, QStringLiteral("T#") + account.text);
        row.setCell(staged::UnitAddress, kTidNotFoundText);
        row.setCell(staged::TenantName, kTenantNotFoundText);
    }
    row.setCell(staged::Amount, line.amount);
    row.setCell(staged::Date, line.date);
    row.setCell(staged::CheckNumber, firstNonBlank(line.method));
    row.setCell(staged::PmtType, QStringLiteral("Rent"));
    return row;
}

}  // namespace corvane
