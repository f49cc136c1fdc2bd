#include "payments/Payment.h"

#include "payments/PaymentNotes.h"

#include "core/TextRules.h"
#include "platform/Error.h"

#include <cmath>

namespace corvane {

using ledger::Currency;

QString paymentKindText(PaymentKind kind) {
    return kind == PaymentKind::LateFee ? QStringLiteral("Late Fee") : QStringLiteral("Rent");
}

QString shownTid(const Payment& payment) {
    if (payment.tenantID)
        return QStringLiteral("T") + QString::number(*payment.tenantID);
    return QStringLiteral("T#") + accountNumberOf(payment.account).text;
}

QString choiceAccount(const QString& accountField) {
    QString account = accountField;
    account.remove(QLatin1Char(' '));
    return account;
}

std::optional<std::int64_t> checkNumberOf(const QString& checkChar) {
    const QString check = trimBlanks(checkChar);
    if (check.isEmpty())
        return std::nullopt;
    return Currency::leadingValue(check.left(9)).roundedToWhole();
}

AccountNumber accountNumberOf(const QString& account) {
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
        out.key = static_cast<std::int64_t>(value);
        out.text = QString::number(*out.key);
    } else {
        out.text = QString::number(value, 'g', 15);
    }
    return out;
}

Currency paymentsTotal(const std::vector<Payment>& payments) {
    std::int64_t sum = 0;
    for (const Payment& p : payments) {
        if (__builtin_add_overflow(sum, p.amount.abs().units(), &sum)) {
            throw Error(errc::Overflow, QStringLiteral("Overflow: an amount or the total of the "
                                                       "payments is too large"));
        }
    }
    return Currency::fromUnits(sum);
}

QString shownAddress(const Payment& payment) {
    return payment.unitAddress.value_or(kTidNotFoundText);
}

QString shownName(const Payment& payment) {
    return payment.matched() ? payment.tenantName : kTenantNotFoundText;
}

journal::RunRow RunRowAsShown(const Payment& payment) {
    journal::RunRow r;
    r.line = payment.line;
    r.tid = shownTid(payment);
    r.tenantID = payment.tenantID;
    r.address = shownAddress(payment);
    r.name = shownName(payment);
    r.amount = payment.amountText;
    r.date = payment.dateText;
    r.checkChar = payment.checkChar;
    r.pmtType = paymentKindText(payment.kind);
    r.transactionNumber = payment.transactionNumber;
    r.note = noteText(payment);
    r.tenantChoice = payment.matched() ? payment.tenantChoice : journal::TenantChoice::None;
    return r;
}

}  // namespace corvane
