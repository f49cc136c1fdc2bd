#include "payments/Deposit.h"

namespace corvane {

using ledger::Currency;
using ledger::Value;

namespace {
const QString kDepositsSql = QStringLiteral("SELECT * FROM CheckDepPrinted WHERE CkType = 'D'");
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
    const auto splits = db.openAppender(
        QStringLiteral("SplitPrintedChecks"),
        {QStringLiteral("CkNumber"), QStringLiteral("CkCheckNumber"), QStringLiteral("CkAmount"),
         QStringLiteral("CkAccountID"), QStringLiteral("CkPostToID"), QStringLiteral("CkRemark"),
         QStringLiteral("CkStatus"), QStringLiteral("CkType"), QStringLiteral("CkPostTo")});
    const std::vector<std::int64_t> ids =
        splits->addAll(lines.size(), [&](std::size_t i, std::vector<std::optional<Value>>& record) {
            const SplitLine& line = lines[i];
            record[0] = Value::integer(depositID);
            record[1] =
                line.checkNumber ? std::optional(Value::integer(*line.checkNumber)) : std::nullopt;
            record[2] = Value::currency(line.amount);
            record[3] = Value::integer(line.accountID);
            record[4] = Value::integer(line.postToID);
            record[5] = line.remark ? std::optional(Value::text(*line.remark)) : std::nullopt;
            record[6] = Value::text(QStringLiteral("P"));
            record[7] = Value::text(QStringLiteral("D"));
            record[8] = Value::text(line.postTo);
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
        deposits->setField(QStringLiteral("CkPayee"), Value::text(QStringLiteral("DEPOSIT")));
        deposits->setField(QStringLiteral("CkAccountID"), Value::integer(0));
        deposits->setField(QStringLiteral("CkAmount"), Value::currency(Currency()));
        deposits->setField(QStringLiteral("CkDate"),
                           Value::date(QDateTime(plan.date, QTime(0, 0))));
        deposits->setField(QStringLiteral("CkInvoice"), Value::text(QString()));
        deposits->setField(QStringLiteral("CkRemark"),
                           Value::text(QStringLiteral("CORVANE DEPOSIT")));
        deposits->setField(QStringLiteral("CkStatus"), Value::text(QStringLiteral("P")));
        deposits->setField(QStringLiteral("CkVendorID"), Value::integer(-1));
        deposits->setField(QStringLiteral("CkPostTo"), Value());
        deposits->setField(QStringLiteral("CkNumber"), Value::integer(plan.number));
        deposits->setField(QStringLiteral("CkType"), Value::text(QStringLiteral("D")));
        deposits->setField(QStringLiteral("CkSplit"), Value::text(QStringLiteral("Y")));
        deposits->setField(QStringLiteral("CkPostToText"), Value::text(QStringLiteral("Y")));
        result.depositID = deposits->field(QStringLiteral("CkID")).toInteger();
        deposits->update();
        deposits->close();
    }

    result.total = CreateSplits(db, result.depositID, plan.lines, result.splitIDs);

    auto deposits = db.openDynaset(kDepositsSql);
    deposits->findFirst(QStringLiteral("Val(CkID) = '") + QString::number(result.depositID) +
                        QLatin1Char('\''));
    if (deposits->noMatch()) {
        deposits->close();
        return result;
    }
    result.found = true;
    deposits->edit();
    deposits->setField(QStringLiteral("CkAmount"), Value::currency(result.total));
    deposits->update();
    deposits->close();
    return result;
}

}  // namespace corvane
