#include "payments/PaymentReturns.h"

#include "app/TextRules.h"
#include "platform/Error.h"
#include "platform/ledger/DateText.h"

#include <QStringList>

namespace corvane {

using ledger::Currency;
using ledger::Value;

namespace {

// The fields of a Transactions record that a return copies, in this order; the amount, date and
// remark follow them (kAmount, kDate, kRemark).
const QStringList kCopiedFields = {
    QStringLiteral("TransAccountID"),   QStringLiteral("TransPostToID"),
    QStringLiteral("TransCheckNumber"), QStringLiteral("TransType"),
    QStringLiteral("TransPmtType"),     QStringLiteral("TransStatus"),
    QStringLiteral("TransTax"),         QStringLiteral("TransOID"),
    QStringLiteral("TransPID"),         QStringLiteral("TransUID"),
    QStringLiteral("TransTID"),         QStringLiteral("TransAmount"),
};
constexpr std::size_t kAccount = 0, kPostTo = 1, kStatus = 5, kAmount = 11;

QStringList writtenFields() {
    QStringList fields = kCopiedFields;
    fields << QStringLiteral("TransDate") << QStringLiteral("TransRemark");
    return fields;
}

void moveBalance(ledger::IndexLookup& balances, std::int64_t tenantID, Currency change,
                 const char* what) {
    if (!balances.addTo(Value::integer(tenantID), 0, change)) {
        throw Error(errc::NoCurrentRecord,
                    QStringLiteral("The %1 of Tenant ID #%2 is no longer in the ledger.")
                        .arg(QLatin1String(what))
                        .arg(tenantID));
    }
}

}  // namespace

QString ReturnRemark(const QString& transactionNumber) {
    return QStringLiteral("Returned ") + transactionNumber;
}

ReturnsPlan PlanReturns(ledger::Database& db, const std::vector<PaymentReturn>& returns,
                        const QDate& today) {
    ReturnsPlan plan;
    if (returns.empty())
        return plan;
    const auto entries =
        db.openLookup(QStringLiteral("Transactions"), QStringLiteral("PrimaryKey"), kCopiedFields);
    plan.returns.reserve(returns.size());
    for (const PaymentReturn& r : returns) {
        PlannedReturn p;
        p.paid = r;
        std::optional<std::vector<Value>> income;
        if (r.posted.incomeTransID)
            income = entries->find(Value::integer(*r.posted.incomeTransID));
        if (r.posted.feeTransID)
            p.fee = entries->find(Value::integer(*r.posted.feeTransID));
        if (!income || (r.posted.feeTransID && !p.fee)) {
            plan.refusal = ReturnRefusal{r.transactionNumber, r.posted.postedOn};
            plan.returns.clear();
            return plan;
        }
        p.income = std::move(*income);
        p.tenantID = p.income[kPostTo].toInteger();
        p.accountID = p.income[kAccount].toInteger();
        p.status = p.income[kStatus].isNull() ? QString() : p.income[kStatus].toText();
        p.date = today;
        p.remark = ReturnRemark(r.transactionNumber);
        p.incomeAmount = -p.income[kAmount].toCurrency();
        if (p.fee)
            p.feeAmount = (*p.fee)[kAmount].toCurrency().abs();
        // The statuses of a payment: "B" moves both balances, "T" the tenant's only.
        if (p.status == QLatin1String("B"))
            p.unitChange = p.incomeAmount;
        if (p.status == QLatin1String("B") || p.status == QLatin1String("T"))
            p.tenantChange = p.incomeAmount;
        if (p.feeAmount)
            p.unitChange = p.unitChange.value_or(Currency()) + *p.feeAmount;
        plan.returns.push_back(std::move(p));
    }
    return plan;
}

std::vector<WrittenReturn> WriteReturns(ledger::Database& db,
                                        const std::vector<PlannedReturn>& returns) {
    std::vector<WrittenReturn> written;
    if (returns.empty())
        return written;
    const auto appender = db.openAppender(QStringLiteral("Transactions"), writtenFields());
    const auto add = [&](const std::vector<Value>& original, Currency amount, const QDate& day,
                         const QString& remark) {
        std::vector<std::optional<Value>> record;
        record.reserve(kCopiedFields.size() + 2);
        for (std::size_t i = 0; i < kAmount; ++i) {
            // A field the original does not have stays unassigned, as it was there.
            record.push_back(original[i].isNull() ? std::nullopt : std::optional(original[i]));
        }
        record.push_back(Value::currency(amount));
        record.push_back(Value::text(ledger::isoDateText(ledger::DateParts{day, QTime(0, 0)})));
        record.push_back(Value::text(remark));
        return appender->add(record);
    };
    const auto tenants = db.openLookup(QStringLiteral("Tenants"), QStringLiteral("TenantIDIndex"),
                                       {QStringLiteral("TCurrBal")});
    const auto units = db.openLookup(QStringLiteral("Units"), QStringLiteral("UTenantIDIndex"),
                                     {QStringLiteral("UCurrBal")});
    written.reserve(returns.size());
    for (const PlannedReturn& p : returns) {
        WrittenReturn w;
        w.incomeTransID = add(p.income, p.incomeAmount, p.date, p.remark);
        if (p.fee && p.feeAmount)
            w.feeTransID = add(*p.fee, *p.feeAmount, p.date, p.remark);
        if (p.unitChange)
            moveBalance(*units, p.tenantID, *p.unitChange, "unit");
        if (p.tenantChange)
            moveBalance(*tenants, p.tenantID, *p.tenantChange, "tenant record");
        written.push_back(w);
    }
    return written;
}

}  // namespace corvane
