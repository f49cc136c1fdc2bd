#pragma once

#include "core/Globals.h"
#include "journal/PostingJournal.h"
#include "platform/ledger/Database.h"
#include "support/QtPrinting.h"
#include "support/TestLedger.h"
#include "support/TestPlatform.h"

#include <QCryptographicHash>
#include <QStringList>

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <vector>

namespace corvane::test {

// One staged row of a run made by JournalFixture::postRun.
struct RowPlan {
    int tenant = 0;  // 0: no tenant matched ("T#" row)
    const char* amount = "0";
    const char* date = "12/01/2026";
    const char* fee = nullptr;     // a management fee, as a positive amount
    const char* note = nullptr;    // left out for its note
    const char* number = nullptr;  // the transaction number; made from the run's time when null
};

// A program folder with a ledger of owner 7, property 3 and tenants, and a posting journal of
// runs written as a posting run writes them: each run's entries, fees, deposit and split lines
// in the ledger (raw SQL, as an independent writer) and the run with every key in the journal.
class JournalFixture : public ::testing::Test {
protected:
    JournalFixture() : ledger(tp.path(kLedgerFileName)) {
        tp.globals.PaymentFileName = kPaymentFileName;
        ledger.addOwner(7, QStringLiteral("Owner"), QStringLiteral("Olga"), QStringLiteral("25"));
        ledger.addProperty(3, 7, QStringLiteral("Elm Court"));
    }

    void addTenant(int id, double tenantBalance = 0, double unitBalance = 0) {
        ledger.addTenant(id, 3, QStringLiteral("Ann%1").arg(id), QStringLiteral("Lee"),
                         QStringLiteral("Y"), tenantBalance);
        ledger.addUnit(id, id, QStringLiteral("%1 Elm St").arg(id), QString(), unitBalance);
    }

    void openLedger() {
        if (!tp.globals.LedgerDb)
            tp.globals.LedgerDb = ledger::Database::open(ledger.path());
    }

    journal::PostingJournal& journal() {
        if (!journal_)
            journal_ = journal::PostingJournal::open(tp.folder.path());
        return *journal_;
    }

    qint64 lastKey(const char* table, const char* key) const {
        return ledger
            .value(QStringLiteral("SELECT max(%1) FROM %2")
                       .arg(QLatin1String(key), QLatin1String(table)))
            .toLongLong();
    }

    // Adds the run's balance changes to the ledger's balances and to the run.
    void applyChanges(journal::Run& run,
                      const std::map<std::pair<int, qint64>, ledger::Currency>& changes) {
        for (const auto& [key, amount] : changes) {
            const bool tenant = key.first == 0;
            ledger.exec(QStringLiteral("UPDATE %1 SET %2 = %2 + %3 WHERE %4 = %5")
                            .arg(tenant ? QStringLiteral("Tenants") : QStringLiteral("Units"),
                                 tenant ? QStringLiteral("TCurrBal") : QStringLiteral("UCurrBal"),
                                 amount.toPlainText(),
                                 tenant ? QStringLiteral("TenantID") : QStringLiteral("UTenantID"))
                            .arg(key.second));
            run.balanceChanges.push_back(
                {tenant ? journal::BalanceChange::Kind::Tenant : journal::BalanceChange::Kind::Unit,
                 key.second, amount});
        }
    }

    // Writes a run into the ledger and the journal (Posted); returns its RunID.
    std::int64_t postRun(const QDateTime& postedAt, const std::vector<RowPlan>& rowPlans,
                         const QString& depositNumber = QString()) {
        using ledger::Currency;
        journal::Run run;
        run.postedAt = postedAt;
        run.computer = QStringLiteral("OFFICE-PC");
        run.fileName = kPaymentFileName;
        run.remarkChoice = 0;
        run.postFees = false;
        run.createDeposit = !depositNumber.isNull();
        run.depositNumber = depositNumber;
        Currency depositTotal;
        std::map<std::pair<int, qint64>, Currency> changes;  // (kind, key) -> amount
        int line = 0;
        for (const RowPlan& plan : rowPlans) {
            ++line;
            const QString transaction =
                plan.number ? QLatin1String(plan.number)
                            : QStringLiteral("B%1%2").arg(postedAt.toSecsSinceEpoch()).arg(line);
            run.fileBytes += QStringLiteral("%1,T%2,Payer,Addr,%3,Check,\"%4\",Posted\r\n")
                                 .arg(transaction)
                                 .arg(plan.tenant)
                                 .arg(QLatin1String(plan.date), QLatin1String(plan.amount))
                                 .toLatin1();
            journal::RunRow row;
            row.line = line;
            row.tid = plan.tenant ? QStringLiteral("T%1").arg(plan.tenant) : QStringLiteral("T#9");
            row.address = plan.tenant ? QStringLiteral("%1 Elm St").arg(plan.tenant)
                                      : QStringLiteral("(TID not found-PRINT SCREEN!)");
            row.name = plan.tenant ? QStringLiteral("Ann%1 Lee").arg(plan.tenant)
                                   : QStringLiteral("(not found-cannot post!)");
            row.amount = QLatin1String(plan.amount);
            row.date = QLatin1String(plan.date);
            row.checkChar = QStringLiteral("C");
            row.pmtType = QStringLiteral("Rent");
            row.transactionNumber = transaction;
            row.note = plan.note ? QLatin1String(plan.note) : QString();
            const Currency amount =
                *Currency::fromText(QString::fromLatin1(plan.amount).remove(QLatin1Char(',')));
            const QString isoDate =
                QDate::fromString(QLatin1String(plan.date), QStringLiteral("MM/dd/yyyy"))
                    .toString(Qt::ISODate);
            if (plan.note) {
                row.outcome = journal::RowOutcome::Note;
            } else if (!plan.tenant) {
                row.outcome = journal::RowOutcome::NoTenant;
            } else {
                ledger.exec(
                    QStringLiteral("INSERT INTO Transactions (TransAccountID, TransPostToID, "
                                   "TransAmount, TransDate, TransRemark, TransType, TransPmtType, "
                                   "TransStatus, TransTax, TransOID, TransPID, TransUID, TransTID) "
                                   "VALUES (4010, %1, %2, '%3', 'December RENT', 'I', 'ACH', 'B', "
                                   "'N', 7, 3, %1, %1)")
                        .arg(plan.tenant)
                        .arg(amount.toPlainText(), isoDate));
                row.incomeTransID = lastKey("Transactions", "TransID");
                row.incomeAmount = amount;
                changes[{0, plan.tenant}] += amount;
                changes[{1, plan.tenant}] += amount;
                if (plan.fee) {
                    run.postFees = true;
                    const Currency fee = -*Currency::fromText(QString::fromLatin1(plan.fee));
                    ledger.exec(
                        QStringLiteral("INSERT INTO Transactions (TransAccountID, TransPostToID, "
                                       "TransAmount, TransDate, TransRemark, TransType, "
                                       "TransStatus, TransTax, TransOID, TransPID, TransUID, "
                                       "TransTID) VALUES (5010, %1, %2, '%3', 'Management Fee', "
                                       "'E', 'U', 'N', 7, 3, %1, %1)")
                            .arg(plan.tenant)
                            .arg(fee.toPlainText(), isoDate));
                    row.feeTransID = lastKey("Transactions", "TransID");
                    row.feeAmount = fee;
                    changes[{1, plan.tenant}] += fee;
                }
            }
            run.rows.push_back(row);
        }
        if (run.createDeposit) {
            ledger.exec(QStringLiteral("INSERT INTO CheckDepPrinted (CkPayee, CkAccountID, "
                                       "CkAmount, CkDate, CkInvoice, CkRemark, CkStatus, "
                                       "CkVendorID, CkNumber, CkType, CkSplit, CkPostToText) "
                                       "VALUES ('DEPOSIT', 0, 0, '%1', '', 'CORVANE DEPOSIT', "
                                       "'P', -1, %2, 'D', 'Y', 'Y')")
                            .arg(postedAt.date().toString(Qt::ISODate))
                            .arg(ledger::Currency::leadingValue(depositNumber).roundedToWhole()));
            run.depositID = lastKey("CheckDepPrinted", "CkID");
            for (journal::RunRow& row : run.rows) {
                if (row.outcome == journal::RowOutcome::Note)
                    continue;
                const int tenant = row.tid.mid(1).toInt();
                ledger.exec(QStringLiteral("INSERT INTO SplitPrintedChecks (CkNumber, CkAmount, "
                                           "CkAccountID, CkPostToID, CkRemark, CkStatus, CkType, "
                                           "CkPostTo) VALUES (%1, %2, 4010, %3, 'December RENT', "
                                           "'P', 'D', 'B')")
                                .arg(*run.depositID)
                                .arg(QString(row.amount).remove(QLatin1Char(',')))
                                .arg(tenant));
                row.splitID = lastKey("SplitPrintedChecks", "SplitID");
                row.splitAmount = *Currency::fromText(QString(row.amount).remove(QLatin1Char(',')));
                depositTotal += *row.splitAmount;
            }
            ledger.exec(QStringLiteral("UPDATE CheckDepPrinted SET CkAmount = %1 WHERE CkID = %2")
                            .arg(depositTotal.toPlainText())
                            .arg(*run.depositID));
            run.depositAmount = depositTotal;
        }
        applyChanges(run, changes);
        run.fileDigest = QString::fromLatin1(
            QCryptographicHash::hash(run.fileBytes, QCryptographicHash::Sha1).toHex());
        const std::int64_t runID = journal().record(run);
        journal().setState(runID, journal::RunState::Posted);
        return runID;
    }

    // Writes a run that records the return of the payments at `lines` of `paymentRun` as a
    // posting run records them: for each, a negative copy of its income entry, its fee given back,
    // and with a deposit a negative split line; the balances moved back. Returns its RunID.
    std::int64_t postReturns(const QDateTime& postedAt, std::int64_t paymentRun,
                             const std::vector<int>& lines,
                             const QString& depositNumber = QString()) {
        using ledger::Currency;
        const journal::Run paid = *journal().readRun(paymentRun);
        journal::Run run;
        run.postedAt = postedAt;
        run.computer = QStringLiteral("OFFICE-PC");
        run.fileName = kPaymentFileName;
        run.createDeposit = !depositNumber.isNull();
        run.depositNumber = depositNumber;
        const QString today = postedAt.date().toString(Qt::ISODate);
        if (run.createDeposit) {
            ledger.exec(QStringLiteral("INSERT INTO CheckDepPrinted (CkPayee, CkAccountID, "
                                       "CkAmount, CkDate, CkRemark, CkStatus, CkVendorID, "
                                       "CkNumber, CkType, CkSplit, CkPostToText) VALUES "
                                       "('DEPOSIT', 0, 0, '%1', 'CORVANE DEPOSIT', 'P', -1, %2, "
                                       "'D', 'Y', 'Y')")
                            .arg(today)
                            .arg(Currency::leadingValue(depositNumber).roundedToWhole()));
            run.depositID = lastKey("CheckDepPrinted", "CkID");
            run.depositAmount = Currency();
        }
        std::map<std::pair<int, qint64>, Currency> changes;
        int line = 0;
        for (const int paidLine : lines) {
            journal::RunRow row = paid.rows.at(static_cast<std::size_t>(paidLine - 1));
            const QString remark = QStringLiteral("Returned ") + row.transactionNumber;
            run.fileBytes += QStringLiteral("%1,%2,Payer,Addr,%3,Check,\"%4\",Returned\r\n")
                                 .arg(row.transactionNumber, row.tid, row.date, row.amount)
                                 .toLatin1();
            const qint64 tenant = row.tid.mid(1).toLongLong();
            ledger.exec(QStringLiteral(
                            "INSERT INTO Transactions (TransAccountID, TransPostToID, TransAmount, "
                            "TransDate, TransCheckNumber, TransRemark, TransType, TransPmtType, "
                            "TransStatus, TransTax, TransOID, TransPID, TransUID, TransTID) SELECT "
                            "TransAccountID, TransPostToID, -TransAmount, '%1', TransCheckNumber, "
                            "'%2', TransType, TransPmtType, TransStatus, TransTax, TransOID, "
                            "TransPID, TransUID, TransTID FROM Transactions WHERE TransID = %3")
                            .arg(today, remark)
                            .arg(*row.incomeTransID));
            row.returnOf =
                journal::ReturnLink{paid.runID, row.line, paid.postedAt.date(), postedAt.date(), tenant};
            row.line = ++line;
            row.outcome = journal::RowOutcome::ReturnRecorded;
            row.incomeTransID = lastKey("Transactions", "TransID");
            row.incomeAmount = -*row.incomeAmount;
            changes[{0, tenant}] += *row.incomeAmount;
            changes[{1, tenant}] += *row.incomeAmount;
            if (row.feeTransID) {
                ledger.exec(
                    QStringLiteral(
                        "INSERT INTO Transactions (TransAccountID, TransPostToID, TransAmount, "
                        "TransDate, TransRemark, TransType, TransStatus, TransTax, TransOID, "
                        "TransPID, TransUID, TransTID) SELECT TransAccountID, TransPostToID, "
                        "abs(TransAmount), '%1', '%2', TransType, TransStatus, TransTax, TransOID, "
                        "TransPID, TransUID, TransTID FROM Transactions WHERE TransID = %3")
                        .arg(today, remark)
                        .arg(*row.feeTransID));
                row.feeTransID = lastKey("Transactions", "TransID");
                row.feeAmount = row.feeAmount->abs();
                changes[{1, tenant}] += *row.feeAmount;
            }
            row.splitID.reset();
            row.splitAmount.reset();
            if (run.depositID) {
                ledger.exec(QStringLiteral("INSERT INTO SplitPrintedChecks (CkNumber, CkAmount, "
                                           "CkAccountID, CkPostToID, CkRemark, CkStatus, CkType, "
                                           "CkPostTo) VALUES (%1, %2, 4010, %3, '%4', 'P', 'D', "
                                           "'B')")
                                .arg(*run.depositID)
                                .arg(row.incomeAmount->toPlainText())
                                .arg(tenant)
                                .arg(remark));
                row.splitID = lastKey("SplitPrintedChecks", "SplitID");
                row.splitAmount = row.incomeAmount;
                *run.depositAmount += *row.splitAmount;
            }
            run.rows.push_back(row);
        }
        if (run.depositID) {
            ledger.exec(QStringLiteral("UPDATE CheckDepPrinted SET CkAmount = %1 WHERE CkID = %2")
                            .arg(run.depositAmount->toPlainText())
                            .arg(*run.depositID));
        }
        applyChanges(run, changes);
        const std::int64_t runID = journal().record(run);
        journal().setState(runID, journal::RunState::Posted);
        return runID;
    }

    // Rows of a query as "a|b|c" texts.
    QStringList records(const QString& sql) const {
        QStringList out;
        for (const QVariantList& r : ledger.rows(sql)) {
            QStringList cells;
            for (const QVariant& v : r)
                cells << (v.isNull() ? QStringLiteral("NULL") : v.toString());
            out << cells.join(QLatin1Char('|'));
        }
        return out;
    }
    // Every record a run writes or changes.
    QStringList ledgerDump() const {
        QStringList all;
        for (const char* table : {"Transactions ORDER BY TransID", "CheckDepPrinted ORDER BY CkID",
                                  "SplitPrintedChecks ORDER BY SplitID",
                                  "Tenants ORDER BY TenantID", "Units ORDER BY UnitID"}) {
            all << QLatin1String(table)
                << records(QStringLiteral("SELECT * FROM ") + QLatin1String(table));
        }
        return all;
    }

    TestPlatform tp;
    TestLedger ledger;
    std::unique_ptr<journal::PostingJournal> journal_;
};

}  // namespace corvane::test
