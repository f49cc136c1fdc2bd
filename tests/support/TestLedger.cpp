#include "support/TestLedger.h"

#include "LodgebookSchema.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace corvane::test {
namespace {

struct Connection {
    explicit Connection(const QString& path) {
        const QByteArray p = path.toUtf8();
        if (sqlite3_open_v2(p.constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
            ADD_FAILURE() << "cannot open test ledger " << p.constData();
        }
        sqlite3_busy_timeout(db, 10000);
    }
    ~Connection() { sqlite3_close(db); }
    sqlite3* db = nullptr;
};

void bind(sqlite3_stmt* stmt, int index, const QVariant& v) {
    if (v.isNull()) {
        sqlite3_bind_null(stmt, index);
    } else if (v.typeId() == QMetaType::Double) {
        sqlite3_bind_double(stmt, index, v.toDouble());
    } else if (v.typeId() == QMetaType::Int || v.typeId() == QMetaType::LongLong) {
        sqlite3_bind_int64(stmt, index, v.toLongLong());
    } else {
        const QByteArray t = v.toString().toUtf8();
        sqlite3_bind_text(stmt, index, t.constData(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
    }
}

void run(const QString& path, const char* sql, const QVariantList& params) {
    Connection c(path);
    sqlite3_stmt* stmt = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(c.db, sql, -1, &stmt, nullptr), SQLITE_OK) << sqlite3_errmsg(c.db);
    for (int i = 0; i < params.size(); ++i) bind(stmt, i + 1, params[i]);
    EXPECT_EQ(sqlite3_step(stmt), SQLITE_DONE) << sqlite3_errmsg(c.db);
    sqlite3_finalize(stmt);
}

}  // namespace

TestLedger::TestLedger(const QString& path) : path_(path) { lodgebook::createLedger(path); }

void TestLedger::exec(const QString& sql) const {
    Connection c(path_);
    char* error = nullptr;
    const QByteArray s = sql.toUtf8();
    if (sqlite3_exec(c.db, s.constData(), nullptr, nullptr, &error) != SQLITE_OK) {
        ADD_FAILURE() << "SQL failed: " << s.constData() << ": " << (error ? error : "?");
        sqlite3_free(error);
    }
}

namespace {

// Calls `row` with every row of a query on the ledger at `path`; fails the test on an error.
template <typename Row>
void forEachRow(const QString& path, const QString& sql, Row row) {
    Connection c(path);
    sqlite3_stmt* stmt = nullptr;
    const QByteArray s = sql.toUtf8();
    if (sqlite3_prepare_v2(c.db, s.constData(), -1, &stmt, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << "SQL failed: " << s.constData() << ": " << sqlite3_errmsg(c.db);
        return;
    }
    while (sqlite3_step(stmt) == SQLITE_ROW)
        row(stmt);
    sqlite3_finalize(stmt);
}

}  // namespace

std::vector<QVariantList> TestLedger::rows(const QString& sql) const {
    std::vector<QVariantList> out;
    forEachRow(path_, sql, [&](sqlite3_stmt* stmt) {
        QVariantList row;
        for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
            switch (sqlite3_column_type(stmt, i)) {
                case SQLITE_NULL:
                    row.append(QVariant());
                    break;
                case SQLITE_INTEGER:
                    row.append(QVariant::fromValue(sqlite3_column_int64(stmt, i)));
                    break;
                case SQLITE_FLOAT:
                    row.append(sqlite3_column_double(stmt, i));
                    break;
                default:
                    row.append(QString::fromUtf8(
                        reinterpret_cast<const char*>(sqlite3_column_text(stmt, i)),
                        sqlite3_column_bytes(stmt, i)));
            }
        }
        out.push_back(row);
    });
    return out;
}

QStringList queryRows(const QString& ledgerPath, const QString& sql) {
    QStringList out;
    forEachRow(ledgerPath, sql, [&](sqlite3_stmt* stmt) {
        QStringList cells;
        for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
            cells << (text ? QString::fromUtf8(text) : QStringLiteral("NULL"));
        }
        out << cells.join(QLatin1Char('|'));
    });
    return out;
}

QString queryValue(const QString& ledgerPath, const QString& sql) {
    const QStringList rows = queryRows(ledgerPath, sql);
    return rows.isEmpty() ? QString() : rows.first();
}

QStringList ledgerDump(const QString& ledgerPath) {
    QStringList all;
    for (const char* sql :
         {"SELECT * FROM Transactions ORDER BY TransID",
          "SELECT * FROM CheckDepPrinted ORDER BY CkID",
          "SELECT * FROM SplitPrintedChecks ORDER BY SplitID",
          "SELECT * FROM Tenants ORDER BY TenantID", "SELECT * FROM Units ORDER BY UnitID",
          "SELECT * FROM sqlite_sequence ORDER BY name"}) {
        all << QString::fromLatin1(sql) << queryRows(ledgerPath, QString::fromLatin1(sql));
    }
    return all;
}

QVariant TestLedger::value(const QString& sql) const {
    auto r = rows(sql);
    if (r.empty() || r.front().isEmpty()) return {};
    return r.front().front();
}

void TestLedger::addOwner(int ownerId, const QString& last, const QString& first,
                          const QVariant& mgmtFee) const {
    run(path_, "INSERT INTO Owners (OwnerID, OLastName1, OFirstName1, OMgmtFee) VALUES (?,?,?,?)",
        {ownerId, last, first, mgmtFee});
}

void TestLedger::addProperty(int propId, int ownerId, const QString& name) const {
    run(path_, "INSERT INTO Properties (PropID, POwnerID, PropName) VALUES (?,?,?)",
        {propId, ownerId, name});
}

void TestLedger::addTenant(int tenantId, int propId, const QVariant& first, const QVariant& last,
                           const QString& tach, double balance) const {
    run(path_,
        "INSERT INTO Tenants (TenantID, TPropID, TFirstName1, TLastName1, TACH, TCurrBal, "
        "TPayment) VALUES (?,?,?,?,?,?,0)",
        {tenantId, propId, first, last, tach, balance});
}

void TestLedger::addUnit(int unitId, int tenantId, const QString& address, const QString& number,
                         double balance) const {
    run(path_,
        "INSERT INTO Units (UnitID, UTenantID, UAddress, UNumber, UCurrBal) VALUES (?,?,?,?,?)",
        {unitId, tenantId, address, number, balance});
}

}  // namespace corvane::test
