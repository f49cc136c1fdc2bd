#include "payments/Deposit.h"

#include "platform/ledger/LedgerSchema.h"

#include <array>

namespace corvane {

using ledger::Currency;
using ledger::Value;

namespace {
const QString kDepositsSql = QStringLiteral("SELECT * FROM %1 WHERE %2 = 'D'")
                                 .arg(CheckDepPrinted::table, CheckDepPrinted::CkType);
}  // namespace

DepositPlan PlanDeposit(const std::vector<Payment>& payments,
                        const std::vector<PaymentAction>& actions, const PostingChoices& choices,
                        const PostingAccounts& accounts, const QDate& today) {
    DepositPlan plan;
    plan.number = depositNumber(choices);
    plan.date = today;
    plan.lines.reserve(payments.size());
    for (std::size_t i = 0; i < payments.size(); ++i) {
        const Payment& payment = payments[i];
        if (actions[i].kind != PaymentAction::Kind::Post)
            continue;
        SplitLine line;
        line.payment = i;
        line.checkNumber = payment.checkNumber;
        const bool lateFee = payment.kind == PaymentKind::LateFee;
        line.amount = payment.amount.abs();
        line.accountID = lateFee ? accounts.lateFeeAccount : accounts.rentAccount;
        line.postToID = payment.tenantID.value_or(0);
        // The default remark of every line is the rent remark, late fee lines included.
        line.remark = chosenRemark(choices, payment, accounts.rentRemark);
        line.postTo = lateFee ? accounts.lateFeeCode : accounts.rentCode;
        plan.lines.push_back(std::move(line));
    }
    return plan;
}

Currency CreateSplits(ledger::Database& db, std::int64_t depositID,
                      const std::vector<SplitLine>& lines, std::vector<std::int64_t>& splitIDs) {
    Currency total;
    // What a record set over "SELECT * FROM SplitPrintedChecks" would add, field by field.
    const auto record = [&](const SplitLine& line) -> std::array<ledger::FieldValue, 9> {
        using namespace SplitPrintedChecks;
        return {{
            {CkNumber, Value::integer(depositID)},
            {CkCheckNumber,
             line.checkNumber ? std::optional(Value::integer(*line.checkNumber)) : std::nullopt},
            {CkAmount, Value::currency(line.amount)},
            {CkAccountID, Value::integer(line.accountID)},
            {CkPostToID, Value::integer(line.postToID)},
            {CkRemark, line.remark ? std::optional(Value::text(*line.remark)) : std::nullopt},
            {CkStatus, Value::text(QStringLiteral("P"))},
            {CkType, Value::text(QStringLiteral("D"))},
            {CkPostTo, Value::text(line.postTo)},
        }};
    };
    // Every line's record names the same fields.
    const auto splits =
        db.openAppender(SplitPrintedChecks::table, ledger::fieldNames(record(SplitLine{})));
    const std::vector<std::int64_t> ids =
        splits->addAll(lines.size(), [&](std::size_t i, std::vector<std::optional<Value>>& values) {
            auto fields = record(lines[i]);
            ledger::takeValues(fields, values);
        });
    splitIDs.insert(splitIDs.end(), ids.begin(), ids.end());
    for (const SplitLine& line : lines)
        total += line.amount;
    return total;
}

DepositResult CreateDeposit(ledger::Database& db, const DepositPlan& plan) {
    DepositResult result;
    {
        auto deposits = db.openDynaset(kDepositsSql);
        deposits->addNew();
        deposits->setField(CheckDepPrinted::CkPayee, Value::text(QStringLiteral("DEPOSIT")));
        deposits->setField(CheckDepPrinted::CkAccountID, Value::integer(0));
        deposits->setField(CheckDepPrinted::CkAmount, Value::currency(Currency()));
        deposits->setField(CheckDepPrinted::CkDate, Value::date(QDateTime(plan.date, QTime(0, 0))));
        deposits->setField(CheckDepPrinted::CkInvoice, Value::text(QString()));
        deposits->setField(CheckDepPrinted::CkRemark,
                           Value::text(QStringLiteral("CORVANE DEPOSIT")));
        deposits->setField(CheckDepPrinted::CkStatus, Value::text(QStringLiteral("P")));
        deposits->setField(CheckDepPrinted::CkVendorID, Value::integer(-1));
        deposits->setField(CheckDepPrinted::CkPostTo, Value());
        deposits->setField(CheckDepPrinted::CkNumber, Value::integer(plan.number));
        deposits->setField(CheckDepPrinted::CkType, Value::text(QStringLiteral("D")));
        deposits->setField(CheckDepPrinted::CkSplit, Value::text(QStringLiteral("Y")));
        deposits->setField(CheckDepPrinted::CkPostToText, Value::text(QStringLiteral("Y")));
        result.depositID = deposits->field(CheckDepPrinted::CkID).toInteger();
        deposits->update();
        deposits->close();
    }

    result.total = CreateSplits(db, result.depositID, plan.lines, result.splitIDs);

    auto deposits = db.openDynaset(kDepositsSql);
    deposits->findFirst(
        QStringLiteral("Val(%1) = '%2'").arg(CheckDepPrinted::CkID).arg(result.depositID));
    if (deposits->noMatch()) {
        deposits->close();
        return result;
    }
    result.found = true;
    deposits->edit();
    deposits->setField(CheckDepPrinted::CkAmount, Value::currency(result.total));
    deposits->update();
    deposits->close();
    return result;
}

}  // namespace corvane
