#pragma once

#include "support/QtPrinting.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <vector>

namespace corvane::test {

// A Lodgebook ledger file for a test, made with the sample tool's schema, with raw SQL access for
// arranging records and for reading back what the program wrote (independently of the engine).
class TestLedger {
public:
    // Creates an empty ledger at `path` (the tables, indexes and WAL journal of Lodgebook).
    explicit TestLedger(const QString& path);

    const QString& path() const { return path_; }
    // Runs SQL statements; fails the test on an error.
    void exec(const QString& sql) const;
    // Rows of a query, each value as QVariant (NULL as a null QVariant).
    std::vector<QVariantList> rows(const QString& sql) const;
    // The single value of a query ("SELECT COUNT(*) FROM Transactions").
    QVariant value(const QString& sql) const;

    // Convenience inserts for the usual records.
    void addOwner(int ownerId, const QString& last, const QString& first,
                  const QVariant& mgmtFee = QVariant()) const;
    void addProperty(int propId, int ownerId, const QString& name) const;
    void addTenant(int tenantId, int propId, const QVariant& first, const QVariant& last,
                   const QString& tach = QStringLiteral("N"), double balance = 0.0) const;
    void addUnit(int unitId, int tenantId, const QString& address, const QString& number = {},
                 double balance = 0.0) const;

private:
    QString path_;
};

// Reading any ledger file back by a connection of its own (as the next program to open it would,
// recovering it after a crash), each value as SQLite gives its text, Null as "NULL".
// The rows of one query as "a|b|c" texts.
QStringList queryRows(const QString& ledgerPath, const QString& sql);
// The first row of a query; empty when there is none.
QString queryValue(const QString& ledgerPath, const QString& sql);
// Every row of every table a posting run writes (and the auto-number counters), for exact
// before/after comparisons.
QStringList ledgerDump(const QString& ledgerPath);

}  // namespace corvane::test
