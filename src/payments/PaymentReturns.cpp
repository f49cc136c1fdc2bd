#include "payments/PaymentReturns.h"

#include "core/TextRules.h"
#include "platform/Error.h"
#include "platform/ledger/DateText.h"
#include "platform/ledger/LedgerSchema.h"

#include <QStringList>

namespace corvane {

using ledger::Currency;
using ledger::Value;

namespace {

// The fields of a Transactions record that a return reads, in this order: it copies all but the
// last, the amount (kAmount), and writes its own amount, date and remark.
const QStringList kCopiedFields = {
    Transactions::TransAccountID, Transactions::TransPostToID, Transactions::TransCheckNumber,
    Transactions::TransType,      Transactions::TransPmtType,  Transactions::TransStatus,
    Transactions::TransTax,       Transactions::TransOID,      Transactions::TransPID,
    Transactions::TransUID,       Transactions::TransTID,      Transactions::TransAmount,
};
constexpr std::size_t kAccount = 0, kPostTo = 1, kStatus = 5, kAmount = 11;

// A return's record: the original's fields (a field the original does not have stays
// unassigned, as it was there), then its own amount, date and remark.
std::vector<ledger::FieldValue> returnRecord(const std::vector<Value>& original, Currency amount,
                                             const QDate& day, const QString& remark) {
    std::vector<ledger::FieldValue> record;
    record.reserve(kCopiedFields.size() + 2);
    for (std::size_t i = 0; i < kAmount; ++i) {
        record.push_back({kCopiedFields[static_cast<qsizetype>(i)],
                          original[i].isNull() ? std::nullopt : std::optional(original[i])});
    }
    record.push_back({Transactions::TransAmount, Value::currency(amount)});
    record.push_back({Transactions::TransDate,
                      Value::text(ledger::isoDateText(ledger::DateParts{day, QTime(0, 0)}))});
    record.push_back({Transactions::TransRemark, Value::text(remark)});
    return record;
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
    const auto entries = db.openLookup(Transactions::table, PrimaryKey, kCopiedFields);
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
        const BalancesMoved moved = balancesMovedBy(p.status);
        if (moved.unit)
            p.unitChange = p.incomeAmount;
        if (moved.tenant)
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
    // Every return's record names the same fields as the first one's.
    const PlannedReturn& first = returns.front();
    const auto appender = db.openAppender(
        Transactions::table, ledger::fieldNames(returnRecord(first.income, first.incomeAmount,
                                                             first.date, first.remark)));
    std::vector<std::optional<Value>> values;
    const auto add = [&](const std::vector<Value>& original, Currency amount, const QDate& day,
                         const QString& remark) {
        auto record = returnRecord(original, amount, day, remark);
        values.resize(record.size());
        ledger::takeValues(record, values);
        return appender->add(values);
    };
    const auto tenants = db.openLookup(Tenants::table, Tenants::TenantIDIndex, {Tenants::TCurrBal});
    const auto units = db.openLookup(Units::table, Units::UTenantIDIndex, {Units::UCurrBal});
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
