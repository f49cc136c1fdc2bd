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
    if (!prefix.isEmpty()) {
        bool ok = false;
        value = prefix.toDouble(&ok);
        if (!ok)
            value = 0.0;
    }
    AccountNumber out;
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

PaymentMatcher::PaymentMatcher(ledger::Database& db) {
    matchesNothing_ = db.openTable(QStringLiteral("Properties"))->recordCount() == 0;
    tenants_ = db.openTable(QStringLiteral("Tenants"));
    units_ = db.openTable(QStringLiteral("Units"));
    if (tenants_->recordCount() == 0 || units_->recordCount() == 0)
        matchesNothing_ = true;
    tenants_->setIndex(QStringLiteral("TenantIDIndex"));
    units_->setIndex(QStringLiteral("UTenantIDIndex"));
}

PaymentMatcher::~PaymentMatcher() = default;

StagedRow PaymentMatcher::fill(const PaymentLine& line) {
    StagedRow row;
    const AccountNumber account = accountNumber(line.account);
    bool found = false;
    if (!matchesNothing_ && account.key) {
        tenants_->seek(ledger::Value::integer(*account.key));
        found = !tenants_->noMatch();
    }
    row.setCell(staged::TransactionNumber, line.transactionNumber);
    if (found) {
        const ledger::Value tenantId = tenants_->field(QStringLiteral("TenantID"));
        QString tid = tenantId.toText();
        tid.remove(QLatin1Char(' '));
        row.setCell(staged::TID, QStringLiteral("T") + tid);
        units_->seek(ledger::Value::integer(tenantId.toInteger()));
        row.setCell(staged::UnitAddress, units_->noMatch()
                                             ? kTidNotFoundText
                                             : units_->field(QStringLiteral("UAddress")).toText());
        row.setCell(staged::TenantName,
                    tenantDisplayName(tenants_->field(QStringLiteral("TLastName1")),
                                      tenants_->field(QStringLiteral("TFirstName1"))));
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
