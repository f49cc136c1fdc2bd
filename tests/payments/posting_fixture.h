#pragma once

#include "core/Globals.h"
#include "payments/Payment.h"
#include "payments/PostingRunOf.h"
#include "platform/ledger/Database.h"
#include "support/Payments.h"
#include "support/TestLedger.h"
#include "support/TestPlatform.h"

#include <QFile>
#include <QStringList>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace corvane::test {

// A program folder with its own ledger (owner 7, property 3, tenants as arranged), the usual
// preferences and a staged payment file, for running the posting run without its screen.
class PostingFixture : public ::testing::Test {
protected:
    PostingFixture() : ledger(tp.path(kLedgerFileName)) {
        Globals& g = tp.globals;
        tp.setUsualPreferences();
        g.PaymentFileName = kPaymentFileName;
        g.postingLog.processorSiteUrl = QStringLiteral("https://vantora.example");
        g.postingLog.lastRangeFrom = QStringLiteral("01/01/2026");
        g.postingLog.lastRangeTo = QStringLiteral("01/31/2026");
        tp.files.writeAtomically(tp.path(kPaymentFileName), "B1,T42,x\r\n");
        ledger.addOwner(7, QStringLiteral("Owner"), QStringLiteral("Olga"), QStringLiteral("10%"));
        ledger.addProperty(3, 7, QStringLiteral("Elm Court"));
    }

    // Tenant `id` of property 3 with a unit of the same number.
    void addTenant(int id, double tenantBalance = 0, double unitBalance = 0, int propId = 3) {
        ledger.addTenant(id, propId, QStringLiteral("First"), QStringLiteral("Last"),
                         QStringLiteral("Y"), tenantBalance);
        ledger.addUnit(id, id, QStringLiteral("1 Elm St"), QString::number(id), unitBalance);
    }

    static Payment row(const QString& tid, const QString& amount,
                       const QString& date = QStringLiteral("03/01/2026"),
                       const QString& check = QStringLiteral("C"),
                       const QString& type = QStringLiteral("Rent")) {
        return makePayment(
            {.tid = tid, .amount = amount, .date = date, .check = check, .type = type});
    }

    static PostingChoices both(const QString& depositNumber = QStringLiteral("1045")) {
        PostingChoices c;
        c.postMgmtFees = true;
        c.createDeposit = true;
        c.depositNumber = depositNumber;
        return c;
    }
    static PostingChoices neither() { return PostingChoices{}; }

    void expectNeitherQuestion(int answer) {
        tp.dialogs.expectQuestion(
            QStringLiteral("You have NOT chosen to create a BANK DEPOSIT or POST MANAGEMENT "
                           "FEEES for these transactions. Press 'Yes' to CONTINUE or 'No' to "
                           "CANCEL."),
            kProgramTitle, answer);
    }
    void expectSuccess() {
        tp.dialogs.expectMessage(QStringLiteral("Your Lodgebook Ledgers are now updated."),
                                 QStringLiteral("Lodgebook Corvane"));
    }

    // Posts the rows as loaded from the staged file as it is now.
    PostingOutcome post(const std::vector<Payment>& rows, const PostingChoices& choices,
                        int busyTimeoutMs = 5000) {
        if (!tp.globals.LedgerDb) {
            tp.globals.LedgerDb = ledger::Database::open(ledger.path(), busyTimeoutMs);
        }
        return PostingRunOf(tp.globals).run(rows, choices, stagedFile());
    }
    LoadedFile stagedFile() const {
        QFile file(tp.path(kPaymentFileName));
        return LoadedFile::of(kPaymentFileName,
                              file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
    }

    // Rows of a query as "a|b|c" texts, NULL shown as NULL, for whole-record comparisons.
    QStringList records(const QString& sql) const {
        QStringList out;
        for (const QVariantList& r : ledger.rows(sql)) {
            QStringList cells;
            for (const QVariant& v : r) {
                cells << (v.isNull() ? QStringLiteral("NULL") : v.toString());
            }
            out << cells.join(QLatin1Char('|'));
        }
        return out;
    }
    QStringList transactions() const {
        return records(QStringLiteral(
            "SELECT TransAccountID, TransPostToID, TransAmount, TransDate, TransCheckNumber, "
            "TransRemark, TransType, TransPmtType, TransStatus, TransTax, TransOID, TransPID, "
            "TransUID, TransTID FROM Transactions ORDER BY TransID"));
    }
    QString balances(int tenantId) const {
        return records(QStringLiteral("SELECT TCurrBal, UCurrBal FROM Tenants JOIN Units ON "
                                      "UTenantID = TenantID WHERE TenantID = %1")
                           .arg(tenantId))
            .join(QLatin1Char(';'));
    }
    // Everything the run may write, for before/after comparisons.
    QStringList writtenTables() const { return ledgerDump(ledger.path()); }

    TestPlatform tp;
    TestLedger ledger;
};

}  // namespace corvane::test
