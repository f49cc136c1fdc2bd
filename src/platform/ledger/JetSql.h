#pragma once

#include <QString>
#include <QStringList>

namespace corvane::ledger {

// How a dynaset runs a Jet SQL text on SQLite: the translated query, with one leading hidden
// rowid column per table of its FROM clause when the rows can be traced back to their tables
// (then edits go back to those tables), and a way to run it for a first-match find.
struct DynasetPlan {
    QString sql;              // what the dynaset runs
    QStringList rowidTables;  // the table behind each hidden leading column, in order
    QString plainSql;         // the translation without hidden columns (fallback)

    // The query narrowed to the first record meeting an already translated criterion.
    QString findSql(const QString& criterionSql) const;

    // Where a criterion can be joined into the query's own WHERE clause.
    bool canInject = false;
    QString head;       // SELECT ... FROM ...
    QString condition;  // the WHERE condition, empty when none
    QString tail;       // GROUP BY / ORDER BY ...
};

// Throw corvane::Error(3075, ...) for text that cannot be read as SQL (an open quote).
QString translateJetStatement(const QString& jetSql);
QString translateJetExpression(const QString& criterion);
DynasetPlan planDynaset(const QString& jetSql);

}  // namespace corvane::ledger
