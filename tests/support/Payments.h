#pragma once

#include "core/TextRules.h"
#include "payments/Payment.h"
#include "platform/ledger/Currency.h"

#include <QString>

namespace corvane::test {

// A payment as a test gives it, in the texts the grid shows: "T42" is matched to tenant 42,
// "T#99" matched no tenant (its account "T99"); the amount, date and check values are those of
// the texts. What is not given stays empty; the kind is Rent unless type is "Late Fee".
struct PaymentCells {
    QString tid = {}, address = {}, name = {}, amount = {}, date = {}, check = {}, type = {},
            transaction = {}, status = {};
    int line = 0;
};

inline Payment makePayment(const PaymentCells& c) {
    Payment p;
    p.line = c.line;
    if (c.tid.startsWith(QStringLiteral("T#"))) {
        p.account = QStringLiteral("T") + c.tid.mid(2);
    } else {
        p.account = c.tid;
        p.tenantID = c.tid.mid(1).toLongLong();
    }
    if (c.address != kTidNotFoundText)
        p.unitAddress = c.address;
    if (p.tenantID)
        p.tenantName = c.name;
    p.amountText = c.amount;
    p.amount = ledger::Currency::fromText(c.amount).value_or(ledger::Currency());
    p.dateText = c.date;
    p.date = parseDateText(c.date);
    p.checkChar = c.check;
    p.checkNumber = checkNumberOf(c.check);
    p.kind = c.type == QLatin1String("Late Fee") ? PaymentKind::LateFee : PaymentKind::Rent;
    p.transactionNumber = c.transaction;
    p.processorStatus = c.status;
    return p;
}

}  // namespace corvane::test
