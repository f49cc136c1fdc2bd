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

ReturnsResult WriteReturns(ledger::Database& db, const std::vector<PaymentReturn>& returns,
                           const QDate& today) {
    ReturnsResult result;
    if (returns.empty())
        return result;
    const auto entries =
        db.openLookup(QStringLiteral("Transactions"), QStringLiteral("PrimaryKey"), kCopiedFields);
    // Every original first: nothing is written for a run that is refused.
    struct Originals {
        std::vector<Value> income;
        std::optional<std::vector<Value>> fee;
    };
    std::vector<Originals> originals;
    originals.reserve(returns.size());
    for (const PaymentReturn& r : returns) {
        Originals o;
        std::optional<std::vector<Value>> income;
        if (r.posted.incomeTransID)
            income = entries->find(Value::integer(*r.posted.incomeTransID));
        if (r.posted.feeTransID)
            o.fee = entries->find(Value::integer(*r.posted.feeTransID));
        if (!income || (r.posted.feeTransID && !o.fee)) {
            result.problem = QStringLiteral(
                                 "The entries that posted payment %1 on %2 are no longer in the "
                                 "Lodgebook ledger, so its return cannot be recorded. Nothing was "
                                 "posted to the Lodgebook Ledgers.")
                                 .arg(r.transactionNumber, shortDate(r.posted.postedOn));
            return result;
        }
        o.income = std::move(*income);
        originals.push_back(std::move(o));
    }

    const auto appender = db.openAppender(QStringLiteral("Transactions"), writtenFields());
    const Value date = Value::text(ledger::isoDateText(ledger::DateParts{today, QTime(0, 0)}));
    const auto add = [&](const std::vector<Value>& original, Currency amount,
                         const QString& remark) {
        std::vector<std::optional<Value>> record;
        record.reserve(kCopiedFields.size() + 2);
        for (std::size_t i = 0; i < kAmount; ++i) {
            // A field the original does not have stays unassigned, as it was there.
            record.push_back(original[i].isNull() ? std::nullopt : std::optional(original[i]));
        }
        record.push_back(Value::currency(amount));
        record.push_back(date);
        record.push_back(Value::text(remark));
        return appender->add(record);
    };
    const auto tenants = db.openLookup(QStringLiteral("Tenants"), QStringLiteral("TenantIDIndex"),
                                       {QStringLiteral("TCurrBal")});
    const auto units = db.openLookup(QStringLiteral("Units"), QStringLiteral("UTenantIDIndex"),
                                     {QStringLiteral("UCurrBal")});
    for (std::size_t i = 0; i < returns.size(); ++i) {
        const Originals& o = originals[i];
        const QString remark = ReturnRemark(returns[i].transactionNumber);
        WrittenReturn w;
        w.tenantID = o.income[kPostTo].toInteger();
        w.accountID = o.income[kAccount].toInteger();
        w.status = o.income[kStatus].isNull() ? QString() : o.income[kStatus].toText();
        w.incomeAmount = -o.income[kAmount].toCurrency();
        w.incomeTransID = add(o.income, w.incomeAmount, remark);
        if (o.fee) {
            w.feeAmount = (*o.fee)[kAmount].toCurrency().abs();
            w.feeTransID = add(*o.fee, *w.feeAmount, remark);
        }
        // The statuses of a payment: "B" moves both balances, "T" the tenant's only.
        if (w.status == QLatin1String("B"))
            w.unitChange = w.incomeAmount;
        if (w.status == QLatin1String("B") || w.status == QLatin1String("T"))
            w.tenantChange = w.incomeAmount;
        if (w.feeAmount)
            w.unitChange = w.unitChange.value_or(Currency()) + *w.feeAmount;
        if (w.unitChange)
            moveBalance(*units, w.tenantID, *w.unitChange, "unit");
        if (w.tenantChange)
            moveBalance(*tenants, w.tenantID, *w.tenantChange, "tenant record");
        result.written.push_back(std::move(w));
    }
    return result;
}

}  // namespace corvane
