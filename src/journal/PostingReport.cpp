#include "journal/PostingReport.h"

#include "core/PdfReport.h"
#include "core/TextRules.h"
#include "journal/JournalHistory.h"

#include <algorithm>
#include <vector>

namespace corvane {

using journal::RowOutcome;
using journal::Run;
using journal::RunRow;
using ledger::Currency;

namespace {

// The columns of the row lines.
const PdfColumn kColumns[] = {
    {QStringLiteral("TID")},
    {QStringLiteral("Tenant Name")},
    {QStringLiteral("Unit Address")},
    {QStringLiteral("Amount"), true},
    {QStringLiteral("Date")},
    {QStringLiteral("Type")},
    {QStringLiteral("Transaction Number")},
    {QStringLiteral("Result")},
};

QString remarkText(const Run& run) {
    switch (run.remarkChoice) {
        case 0:
            return QStringLiteral("the default remark of the Lodgebook preferences");
        case 1:
            return QStringLiteral("the payment type");
        default:
            return QStringLiteral("\"%1\"").arg(run.remarkText);
    }
}

QString yesNo(bool value) {
    return value ? QStringLiteral("Yes") : QStringLiteral("No");
}

// The lines above the column header on the first page.
QStringList runLines(const Run& run) {
    QString state = QStringLiteral("Posted");
    if (run.state == journal::RunState::Reversed && run.reversedOn)
        state = QStringLiteral("Reversed ") + shortDate(*run.reversedOn);
    const auto deposit = journal::DepositNumberOf(run);
    return {
        QStringLiteral("Posted: %1   Computer: %2")
            .arg(run.postedAt.toString(QStringLiteral("MM/dd/yyyy HH:mm")), run.computer),
        QStringLiteral("Payment file: ") + run.fileName,
        QStringLiteral("Remark: ") + remarkText(run),
        QStringLiteral("Management fees: ") + yesNo(run.postFees),
        QStringLiteral("Deposit number: ") +
            (deposit ? QString::number(*deposit) : QStringLiteral("no deposit")),
        QStringLiteral("State: ") + state,
        QString(),
    };
}

// The lines after the rows.
QStringList totalLines(const Run& run) {
    int payments = 0, fees = 0, leftOut = 0, returns = 0;
    Currency total, feeTotal, returnTotal;
    for (const RunRow& r : run.rows) {
        if (r.outcome == RowOutcome::ReturnRecorded) {
            ++returns;
            returnTotal += r.incomeAmount.value_or(Currency());
            continue;
        }
        if (r.incomeTransID) {
            ++payments;
            total += r.incomeAmount.value_or(Currency());
        }
        if (r.feeTransID) {
            ++fees;
            feeTotal += r.feeAmount.value_or(Currency());
        }
        leftOut += r.outcome != RowOutcome::Posted;
    }
    const auto deposit = journal::DepositNumberOf(run);
    QStringList lines = {
        QString(),
        QStringLiteral("Payments posted: %1   Total: %2").arg(payments).arg(formatCurrency(total)),
        QStringLiteral("Management fees: %1   Total: %2")
            .arg(fees)
            .arg(formatCurrency(feeTotal.abs())),
    };
    if (returns > 0) {
        lines << QStringLiteral("Returns recorded: %1   Total: %2")
                     .arg(returns)
                     .arg(formatCurrency(returnTotal.abs()));
    }
    lines << (deposit ? QStringLiteral("Deposit %1: %2")
                            .arg(*deposit)
                            .arg(formatCurrency(run.depositAmount.value_or(Currency())))
                      : QStringLiteral("Deposit: none"))
          << QStringLiteral("Rows left out: %1").arg(leftOut);
    return lines;
}

QStringList rowCells(const RunRow& r) {
    return {trimBlanks(r.tid),
            trimBlanks(r.name),
            trimBlanks(r.address),
            formatCurrencyText(trimBlanks(r.amount)),
            formatDateText(r.date),
            trimBlanks(r.pmtType),
            trimBlanks(r.transactionNumber),
            RowResultText(r)};
}

}  // namespace

QString PostingReportFileName(const Run& run) {
    return QStringLiteral("Corvane Posting Report %1.pdf")
        .arg(run.postedAt.toString(QStringLiteral("yyyy-MM-dd HHmm")));
}

QString RowResultText(const RunRow& row) {
    switch (row.outcome) {
        case RowOutcome::Posted: {
            QString text = QStringLiteral("Posted");
            if (row.tenantChoice != journal::TenantChoice::None)
                text += QStringLiteral(", tenant chosen by you");
            if (row.feeTransID && row.feeAmount)
                text += QStringLiteral(", fee ") + formatCurrency(*row.feeAmount);
            return text;
        }
        case RowOutcome::NoTenant:
            return QStringLiteral("Left out: no tenant");
        case RowOutcome::Note:
            return QStringLiteral("Left out: ") + row.note;
        case RowOutcome::ReturnRecorded:
            return QStringLiteral("Return recorded (posted %1)")
                .arg(row.returnOf ? shortDate(row.returnOf->postedOn) : QString());
    }
    return {};
}

void WritePostingReport(const Run& run, const std::vector<journal::OwnerTotal>& owners,
                        const QString& path) {
    PdfPart head;
    head.lines = runLines(run);
    PdfPart rows;
    rows.columns.assign(std::begin(kColumns), std::end(kColumns));
    rows.rows = static_cast<int>(run.rows.size());
    rows.cells = [&run](int row) { return rowCells(run.rows[static_cast<std::size_t>(row)]); };
    PdfPart gap;
    gap.lines = QStringList{QString()};
    PdfPart tail;
    tail.lines = totalLines(run);
    tail.bold = true;
    tail.keepTogether = true;
    WritePdfReport(path, kPostingReportTitle,
                   {head, rows, gap, journal::OwnerTotalsPart(owners), tail});
}

}  // namespace corvane
