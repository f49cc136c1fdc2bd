#include "journal/OwnerTotals.h"

#include "core/TextRules.h"
#include "platform/ledger/LedgerSchema.h"

#include <QHash>

#include <algorithm>
#include <map>
#include <utility>

namespace corvane::journal {

using ledger::Currency;
using ledger::Value;

std::vector<OwnerTotal> TotalsByOwner(const std::vector<OwnerPayment>& payments) {
    std::map<std::pair<std::int64_t, std::int64_t>, OwnerTotal> byKey;
    for (const OwnerPayment& p : payments) {
        OwnerTotal& t = byKey[{p.ownerID, p.propID}];
        if (t.payments == 0) {
            t.ownerID = p.ownerID;
            t.propID = p.propID;
            t.owner = p.owner;
            t.property = p.property;
        }
        ++t.payments;
        t.total += p.amount;
        if (p.fee) {
            ++t.fees;
            t.feeTotal += p.fee->abs();
        }
        t.net = t.total - t.feeTotal;
    }
    std::vector<OwnerTotal> totals;
    totals.reserve(byKey.size());
    for (auto& [key, total] : byKey)
        totals.push_back(std::move(total));
    std::stable_sort(totals.begin(), totals.end(), [](const OwnerTotal& a, const OwnerTotal& b) {
        if (const int c = a.owner.compare(b.owner, Qt::CaseInsensitive); c != 0)
            return c < 0;
        return a.property.compare(b.property, Qt::CaseInsensitive) < 0;
    });
    return totals;
}

QString PersonName(const QString& last, const QString& first) {
    const QString l = trimBlanks(last), f = trimBlanks(first);
    return l.isEmpty() ? f : f.isEmpty() ? l : l + QStringLiteral(", ") + f;
}

QStringList OwnerTotalCaptions() {
    return {QStringLiteral("Owner"),      QStringLiteral("Property"),
            QStringLiteral("Payments"),   QStringLiteral("Total"),
            QStringLiteral("Fees"),       QStringLiteral("Fees Total"),
            QStringLiteral("Total Less Fees")};
}

QStringList OwnerTotalCells(const OwnerTotal& t) {
    return {t.owner,
            t.property,
            QString::number(t.payments),
            formatCurrency(t.total),
            QString::number(t.fees),
            formatCurrency(t.feeTotal),
            formatCurrency(t.net)};
}

PdfPart OwnerTotalsPart(const std::vector<OwnerTotal>& totals) {
    PdfPart part;
    part.heading = QStringLiteral("By Owner");
    const QStringList captions = OwnerTotalCaptions();
    // The owner and the property to the left, the counts and amounts to the right.
    for (qsizetype i = 0; i < captions.size(); ++i)
        part.columns.push_back({captions[i], i >= 2});
    part.rows = static_cast<int>(totals.size());
    part.cells = [&totals](int row) {
        return OwnerTotalCells(totals[static_cast<std::size_t>(row)]);
    };
    return part;
}

std::vector<OwnerTotal> OwnerTotalsOfRun(ledger::Database& db, const Run& run) {
    const auto text = [](const Value& v) { return v.isNull() ? QString() : v.toText(); };
    const auto tenants = db.openLookup(Tenants::table, Tenants::TenantIDIndex, {Tenants::TPropID});
    const auto properties = db.openLookup(Properties::table, Properties::PropIDIndex,
                                          {Properties::POwnerID, Properties::PropName});
    const auto owners = db.openLookup(Owners::table, Owners::OwnerIDIndex,
                                      {Owners::OLastName1, Owners::OFirstName1});
    // Each tenant, property and owner read once.
    QHash<std::int64_t, OwnerPayment> byTenant;
    std::vector<OwnerPayment> payments;
    for (const RunRow& r : run.rows) {
        if (r.outcome != RowOutcome::Posted || !r.incomeTransID || !r.tenantID)
            continue;
        auto it = byTenant.find(*r.tenantID);
        if (it == byTenant.end()) {
            OwnerPayment where;
            if (const auto tenant = tenants->find(Value::integer(*r.tenantID))) {
                where.propID = (*tenant)[0].toInteger();
                if (const auto property = properties->find(Value::integer(where.propID))) {
                    where.ownerID = (*property)[0].toInteger();
                    where.property = text((*property)[1]);
                    if (const auto owner = owners->find(Value::integer(where.ownerID)))
                        where.owner = PersonName(text((*owner)[0]), text((*owner)[1]));
                }
            } else {
                where.owner = QStringLiteral("(tenant not in the ledger)");
            }
            it = byTenant.insert(*r.tenantID, where);
        }
        OwnerPayment p = *it;
        p.amount = r.incomeAmount.value_or(Currency());
        if (r.feeTransID)
            p.fee = r.feeAmount.value_or(Currency());
        payments.push_back(std::move(p));
    }
    return TotalsByOwner(payments);
}

}  // namespace corvane::journal
