#include "payments/Payment.h"

#include "app/TextRules.h"
#include "payments/TenantChoice.h"

namespace corvane {

using ledger::Currency;

std::vector<Payment> ReadPayments(const std::vector<StagedRow>& rows) {
    std::vector<Payment> payments;
    payments.reserve(rows.size());
    int index = 0;
    for (const StagedRow& row : rows) {
        Payment p;
        p.row = &row;
        ++index;
        bool numbered = false;
        p.line = row.cell(staged::LineNumber).toInt(&numbered);
        if (!numbered)
            p.line = index;
        const QString& tid = row.cell(staged::TID);
        p.matched = !tid.startsWith(QStringLiteral("T#"));
        p.tenantID = Currency::leadingValue(trimBlanks(tid.mid(1))).roundedToWhole();
        p.amount = Currency::leadingValue(row.cell(staged::Amount)).abs();
        p.dateText = row.cell(staged::Date);
        p.date = parseDateText(p.dateText);
        const QString check = trimBlanks(row.cell(staged::CheckNumber));
        if (!check.isEmpty())
            p.checkNumber = Currency::leadingValue(check.left(9)).roundedToWhole();
        p.pmtType = row.cell(staged::PmtType);
        p.rent = p.pmtType.startsWith(QStringLiteral("Rent"));
        p.lateFee = p.pmtType.startsWith(QStringLiteral("Late Fee"));
        p.note = row.cell(staged::Note);
        p.tenantChoice = TenantChoiceOf(row);
        p.noteIsTenantChoice = NoteIsTenantChoice(row);
        payments.push_back(std::move(p));
    }
    return payments;
}

journal::RunRow RunRowAsShown(const StagedRow& row, int line) {
    journal::RunRow r;
    r.line = line;
    r.tid = row.cell(staged::TID);
    r.address = row.cell(staged::UnitAddress);
    r.name = row.cell(staged::TenantName);
    r.amount = row.cell(staged::Amount);
    r.date = row.cell(staged::Date);
    r.checkChar = row.cell(staged::CheckNumber);
    r.pmtType = row.cell(staged::PmtType);
    r.transactionNumber = row.cell(staged::TransactionNumber);
    r.note = row.cell(staged::Note);
    r.tenantChoice = TenantChoiceOf(row);
    return r;
}

}  // namespace corvane
