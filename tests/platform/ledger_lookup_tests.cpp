#include "platform/Error.h"
#include "platform/ledger/Database.h"
#include "support/ErrorOf.h"
#include "support/TestLedger.h"
#include "support/TestPlatform.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace corvane::ledger {
namespace {

class LedgerLookup : public ::testing::Test {
protected:
    test::TestPlatform platform;
    QString path = platform.path(QStringLiteral("lbdatafl.mdb"));
    test::TestLedger ledger{path};

    // The stored balance of a unit, exactly: its storage class and all the digits of a double.
    QString storedBalance(int unitId) const {
        return ledger
            .value(QStringLiteral("SELECT typeof(UCurrBal) || ':' || CASE typeof(UCurrBal) WHEN "
                                  "'real' THEN printf('%!.17g', UCurrBal) ELSE quote(UCurrBal) "
                                  "END FROM Units WHERE UnitID = %1")
                       .arg(unitId))
            .toString();
    }
};

// addTo writes what seek, edit, setField(field + change) and update write, for any stored value.
TEST_F(LedgerLookup, addToWritesWhatARecordSetEditWrites) {
    const char* stored[] = {"NULL", "0.1",    "1234.5678", "0.00005", "-0.30000000000000004",
                            "7",    "'12.5'", "'abc'",     "'3x'",    "99999999.99995"};
    const Currency changes[] = {Currency::fromUnits(1), Currency::fromUnits(-123456),
                                Currency::fromUnits(10000000)};
    // Some of the sums as SQLite stores them (text that is no number counts as nothing).
    const struct {
        const char* stored;
        int change;
        const char* expected;
    } pinned[] = {{"NULL", 0, "real:0.0001"},
                  {"0.1", 1, "real:-12.2456"},
                  {"'12.5'", 1, "real:0.15440000000000001"},
                  {"'abc'", 2, "real:1000.0"},
                  {"'3x'", 0, "real:3.0001000000000002"},
                  {"99999999.99995", 0, "real:100000000.0001"}};
    int pinnedSeen = 0;
    int unit = 1;
    for (const char* value : stored) {
        for (int c = 0; c < 3; ++c) {
            const Currency change = changes[c];
            // Unit `unit` changes through the look-up, unit `unit + 1` through a record set.
            for (int u : {unit, unit + 1}) {
                ledger.exec(QStringLiteral("INSERT INTO Units (UnitID, UTenantID, UCurrBal) VALUES "
                                           "(%1, %1, %2)")
                                .arg(u)
                                .arg(QLatin1String(value)));
            }
            auto db = Database::open(path);
            auto lookup = db->openLookup(QStringLiteral("Units"), QStringLiteral("UTenantIDIndex"),
                                         {QStringLiteral("UCurrBal")});
            EXPECT_TRUE(lookup->addTo(Value::integer(unit), 0, change));
            auto units = db->openTable(QStringLiteral("Units"));
            units->setIndex(QStringLiteral("UTenantIDIndex"));
            units->seek(Value::integer(unit + 1));
            ASSERT_FALSE(units->noMatch());
            units->edit();
            units->setField(
                QStringLiteral("UCurrBal"),
                Value::currency(units->field(QStringLiteral("UCurrBal")).toCurrency() + change));
            units->update();
            EXPECT_EQ(storedBalance(unit), storedBalance(unit + 1))
                << value << " + " << change.toPlainText().toStdString();
            for (const auto& p : pinned) {
                if (qstrcmp(p.stored, value) == 0 && p.change == c) {
                    EXPECT_EQ(storedBalance(unit), QLatin1String(p.expected)) << value;
                    ++pinnedSeen;
                }
            }
            unit += 2;
        }
    }
    EXPECT_EQ(pinnedSeen, std::size(pinned));
}

TEST_F(LedgerLookup, findsTheFirstRecordInIndexOrderAndOnlyThatOneChanges) {
    ledger.addUnit(5, 42, QStringLiteral("5 Second St"), {}, 10.0);
    ledger.addUnit(3, 42, QStringLiteral("3 First St"), {}, 20.0);
    ledger.addUnit(4, 43, QStringLiteral("4 Other St"), {}, 30.0);
    auto db = Database::open(path);
    auto lookup = db->openLookup(QStringLiteral("Units"), QStringLiteral("UTenantIDIndex"),
                                 {QStringLiteral("UAddress"), QStringLiteral("ucurrbal")});
    const auto found = lookup->find(Value::integer(42));
    ASSERT_TRUE(found.has_value());
    ASSERT_EQ(found->size(), 2u);
    EXPECT_EQ((*found)[0].toText(), QStringLiteral("3 First St"));
    EXPECT_EQ((*found)[1].toCurrency(), Currency::fromUnits(200000));
    // A key given as text is converted to the indexed column's kind, as a seek converts it.
    EXPECT_TRUE(lookup->find(Value::text(QStringLiteral("43"))).has_value());

    EXPECT_TRUE(lookup->addTo(Value::integer(42), 1, Currency::fromUnits(-25000)));
    EXPECT_EQ(ledger.value(QStringLiteral("SELECT UCurrBal FROM Units WHERE UnitID = 3")),
              QVariant(17.5));
    EXPECT_EQ(ledger.value(QStringLiteral("SELECT UCurrBal FROM Units WHERE UnitID = 5")),
              QVariant(10.0));

    // No record of the key (or a Null key): nothing found, nothing written.
    EXPECT_FALSE(lookup->find(Value::integer(99)).has_value());
    EXPECT_FALSE(lookup->find(Value()).has_value());
    EXPECT_FALSE(lookup->addTo(Value::integer(99), 1, Currency::fromUnits(1)));
    EXPECT_FALSE(lookup->addTo(Value(), 1, Currency::fromUnits(1)));
    EXPECT_EQ(ledger.value(QStringLiteral("SELECT sum(UCurrBal) FROM Units")), QVariant(57.5));
}

TEST_F(LedgerLookup, unknownNamesRaiseTheEngineErrors) {
    auto db = Database::open(path);
    const auto errorOf = [&](const QString& table, const QString& index, const QString& field) {
        return test::errorOf([&] { db->openLookup(table, index, {field}); }).number();
    };
    EXPECT_EQ(errorOf(QStringLiteral("Nowhere"), QStringLiteral("UTenantIDIndex"),
                      QStringLiteral("UCurrBal")),
              3078);
    EXPECT_EQ(
        errorOf(QStringLiteral("Units"), QStringLiteral("NoSuchIndex"), QStringLiteral("UCurrBal")),
        3800);
    EXPECT_EQ(errorOf(QStringLiteral("Units"), QStringLiteral("UTenantIDIndex"),
                      QStringLiteral("UNoSuchField")),
              3265);
}

TEST_F(LedgerLookup, aReadSnapshotSeesTheLedgerAsItWasAndEndsOnlyWhatItStarted) {
    ledger.addUnit(1, 7, QStringLiteral("1 Main St"));
    auto db = Database::open(path);
    auto lookup = db->openLookup(QStringLiteral("Units"), QStringLiteral("UTenantIDIndex"),
                                 {QStringLiteral("UAddress")});
    {
        ReadTransaction snapshot(*db);
        EXPECT_TRUE(lookup->find(Value::integer(7)).has_value());
        // Lodgebook adds a unit meanwhile: the snapshot does not see it.
        ledger.addUnit(2, 8, QStringLiteral("2 Main St"));
        EXPECT_FALSE(lookup->find(Value::integer(8)).has_value());
    }
    EXPECT_FALSE(db->inTransaction());
    EXPECT_TRUE(lookup->find(Value::integer(8)).has_value());

    // Inside a write transaction the snapshot adds nothing and ends nothing.
    db->beginImmediate();
    {
        ReadTransaction snapshot(*db);
        EXPECT_TRUE(lookup->find(Value::integer(8)).has_value());
    }
    EXPECT_TRUE(db->inTransaction());
    db->rollback();
}

}  // namespace
}  // namespace corvane::ledger

namespace corvane::ledger {
namespace {

// A loaded set keeps its records as read and makes each field's Value when it is read: every
// field reads as the same record read by a seek does (kind, value, empty text not null).
TEST_F(LedgerLookup, loadedRecordsReadAsRecordsFoundBySeek) {
    ledger.exec(QStringLiteral(
        "INSERT INTO Tenants (TenantID, TPropID, TFirstName1, TLastName1, TCity, TZip, TEmail1, "
        "TPayment, TACH, TCurrBal, TMoveIn) VALUES "
        "(1, '12abc', '', NULL, 42, 'Zoë', 'a@b', 'x1', 'Y', 2.5, '2026-03-01'), "
        "(2, 3.5, 'Ann', 'Ames', '', NULL, '', 7, '', '12.25', 'soon'), "
        "(3, NULL, NULL, 'Å', 'Oslo', '', NULL, NULL, NULL, 0.1, '2026-03-01 14:05:00')"));
    auto db = Database::open(path);
    auto loaded = db->openDynaset(QStringLiteral("SELECT * FROM Tenants"));
    auto sought = db->openTable(QStringLiteral("Tenants"));
    sought->setIndex(QStringLiteral("TenantIDIndex"));
    int records = 0;
    for (loaded->moveFirst(); !loaded->eof(); loaded->moveNext()) {
        sought->seek(loaded->field(QStringLiteral("TenantID")));
        ASSERT_FALSE(sought->noMatch());
        for (const QString& name : loaded->fieldNames()) {
            const Value a = loaded->field(name);
            const Value b = sought->field(name);
            EXPECT_TRUE(a == b && a.kind() == b.kind() &&
                        a.toText().isNull() == b.toText().isNull())
                << name.toStdString() << ": " << a.toText().toStdString() << " / "
                << b.toText().toStdString();
        }
        ++records;
    }
    EXPECT_EQ(records, 3);
    // Some of those fields as the engine reads them: text that is no number stays text, a real
    // in a whole-number column is rounded, a text balance is money, an empty text is not null.
    loaded->moveFirst();
    EXPECT_EQ(loaded->field(QStringLiteral("TPropID")).kind(), Value::Kind::Text);
    EXPECT_EQ(loaded->field(QStringLiteral("TPropID")).toText(), QStringLiteral("12abc"));
    EXPECT_FALSE(loaded->field(QStringLiteral("TFirstName1")).toText().isNull());
    loaded->moveNext();
    EXPECT_EQ(loaded->field(QStringLiteral("TPropID")).kind(), Value::Kind::Integer);
    EXPECT_EQ(loaded->field(QStringLiteral("TPropID")).toText(), QStringLiteral("4"));
    EXPECT_EQ(loaded->field(QStringLiteral("TCurrBal")).kind(), Value::Kind::Currency);
    EXPECT_EQ(loaded->field(QStringLiteral("TCurrBal")).toCurrency(), Currency::fromUnits(122500));
    // A field written through the set reads back as written; the others as read.
    loaded->moveFirst();
    loaded->edit();
    loaded->setField(QStringLiteral("TCity"), Value::text(QStringLiteral("Bergen")));
    loaded->update();
    EXPECT_EQ(loaded->field(QStringLiteral("TCity")).toText(), QStringLiteral("Bergen"));
    EXPECT_EQ(loaded->field(QStringLiteral("TZip")).toText(), QStringLiteral("Zoë"));
    EXPECT_TRUE(loaded->field(QStringLiteral("TLastName1")).isNull());
    EXPECT_EQ(ledger.value(QStringLiteral("SELECT quote(TCity) || quote(TZip) FROM Tenants "
                                          "WHERE TenantID = 1")),
              QVariant(QStringLiteral("'Bergen''Zoë'")));
}

}  // namespace
}  // namespace corvane::ledger

namespace corvane::ledger {
namespace {

// A record added by an appender is stored as addNew, setField (same order) and update store it.
TEST_F(LedgerLookup, appendedRecordsAreStoredAsRecordSetAdditions) {
    const QStringList fields = {QStringLiteral("TransAmount"), QStringLiteral("TransDate"),
                                QStringLiteral("TransRemark"), QStringLiteral("TransCheckNumber"),
                                QStringLiteral("TransType")};
    const std::vector<std::vector<std::optional<Value>>> records = {
        {Value::currency(Currency::fromUnits(1234567)), Value::text(QStringLiteral("3/1/2026")),
         std::nullopt, Value::integer(77), Value::text(QStringLiteral("I"))},
        {Value::text(QStringLiteral("12.5")), Value::text(QStringLiteral("2026-03-02")),
         Value::text(QStringLiteral("Rent ü")), Value(), std::nullopt},
        {Value::number(0.1), Value::text(QStringLiteral("soon")), Value::text(QString()),
         Value::text(QStringLiteral("42")), Value::integer(5)},
    };
    auto db = Database::open(path);
    auto appender = db->openAppender(QStringLiteral("Transactions"), fields);
    auto set = db->openDynaset(QStringLiteral("SELECT * from Transactions"));
    for (const auto& record : records) {
        appender->add(record);
        set->addNew();
        for (std::size_t i = 0; i < record.size(); ++i) {
            if (record[i])
                set->setField(fields[static_cast<qsizetype>(i)], *record[i]);
        }
        set->update();
    }
    const auto rows = ledger.rows(QStringLiteral(
        "SELECT quote(TransAmount), quote(TransDate), quote(TransRemark), "
        "quote(TransCheckNumber), quote(TransType) FROM Transactions ORDER BY TransID"));
    ASSERT_EQ(rows.size(), 2 * records.size());
    for (std::size_t r = 0; r < records.size(); ++r)
        EXPECT_EQ(rows[2 * r], rows[2 * r + 1]) << "record " << r;
    // Money as a real, dates as ISO text, an unset field Null, text in a number column as text.
    const std::vector<QStringList> expected = {{"123.4567", "'2026-03-01'", "NULL", "77", "'I'"},
                                               {"12.5", "'2026-03-02'", "'Rent ü'", "NULL", "NULL"},
                                               {"0.1", "'soon'", "''", "42", "'5'"}};
    for (std::size_t r = 0; r < records.size(); ++r)
        EXPECT_EQ(QVariant(rows[2 * r]).toStringList(), expected[r]) << "record " << r;
}

// "PrimaryKey" is a table's auto-number key, as Jet names its index; remove deletes the record
// found by the key and nothing else.
TEST_F(LedgerLookup, primaryKeyFindsByTheAutoNumberAndRemoveDeletesThatRecord) {
    ledger.exec(
        QStringLiteral("INSERT INTO Transactions (TransPostToID, TransAmount) VALUES "
                       "(101, 10), (102, 20), (103, 30)"));
    auto db = Database::open(path);
    auto entries = db->openLookup(QStringLiteral("Transactions"), QStringLiteral("PrimaryKey"),
                                  {QStringLiteral("TransPostToID"), QStringLiteral("TransAmount")});
    const auto second = entries->find(Value::integer(2));
    ASSERT_TRUE(second);
    EXPECT_EQ((*second)[0].toInteger(), 102);
    EXPECT_EQ((*second)[1].toCurrency(), Currency::fromUnits(200000));
    EXPECT_TRUE(entries->remove(Value::integer(2)));
    EXPECT_FALSE(entries->remove(Value::integer(2)));
    EXPECT_FALSE(entries->find(Value::integer(2)));
    EXPECT_EQ(
        ledger.rows(QStringLiteral("SELECT TransID FROM Transactions ORDER BY TransID")).size(),
        2u);
    EXPECT_EQ(ledger.value(QStringLiteral("SELECT group_concat(TransID) FROM Transactions")),
              QStringLiteral("1,3"));
    // A table without an auto-number key has no such index.
    EXPECT_THROW(db->openLookup(QStringLiteral("Owners"), QStringLiteral("PrimaryKey"), {}),
                 corvane::Error);
}

}  // namespace
}  // namespace corvane::ledger

namespace corvane::ledger {
namespace {

// forEach gives each record's fields named as field() reads them, in the set's order.
TEST_F(LedgerLookup, forEachReadsTheFieldsNamedAsFieldReadsThem) {
    ledger.exec(QStringLiteral(
        "INSERT INTO Tenants (TenantID, TPropID, TFirstName1, TLastName1, TPayment, TACH) VALUES "
        "(2, '12abc', '', NULL, 'x1', 'Y'), (1, 3.5, 'Ann', 'Ames', 7, NULL)"));
    const QStringList names = {QStringLiteral("tenantid"),
                               QStringLiteral("TPropID"),
                               QStringLiteral("Tenants.TFirstName1"),
                               QStringLiteral("TLastName1"),
                               QStringLiteral("TPayment"),
                               QStringLiteral("TACH")};
    auto db = Database::open(path);
    auto set = db->openDynaset(QStringLiteral("SELECT * FROM Tenants ORDER BY TenantID"));
    std::vector<std::vector<Value>> visited;
    set->forEach(names, [&](const std::vector<Value>& fields) { visited.push_back(fields); });
    ASSERT_EQ(visited.size(), 2u);
    std::size_t r = 0;
    for (set->moveFirst(); !set->eof(); set->moveNext(), ++r) {
        for (qsizetype i = 0; i < names.size(); ++i) {
            const Value expected = set->field(names[i]);
            const Value& got = visited[r][static_cast<std::size_t>(i)];
            EXPECT_TRUE(got == expected && got.kind() == expected.kind())
                << names[i].toStdString() << ": " << got.toText().toStdString();
        }
    }
    try {
        set->forEach({QStringLiteral("TNoSuchField")}, [](const std::vector<Value>&) {});
        ADD_FAILURE() << "no error for an unknown field";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), errc::ItemNotFound);
    }
}

// set writes what seek, edit, setField and update write (or refuses what they refuse), for values
// of every kind.
TEST_F(LedgerLookup, setWritesWhatARecordSetEditWrites) {
    const Value values[] = {Value::text(QStringLiteral("Y")),
                            Value::text(QStringLiteral("12.5")),
                            Value::text(QString()),
                            Value(),
                            Value::integer(7),
                            Value::currency(Currency::fromUnits(12345))};
    const QString fields[] = {QStringLiteral("TACH"), QStringLiteral("TPayment")};
    auto db = Database::open(path);
    int tenant = 1;
    // What a write left in the record, or the number of the error that refused it.
    const auto outcome = [&](const QString& field, int id, const std::function<void()>& write) {
        try {
            write();
        } catch (const Error& e) {
            return QStringLiteral("error %1").arg(e.number());
        }
        return ledger
            .value(QStringLiteral("SELECT quote(%1) FROM Tenants WHERE TenantID = %2")
                       .arg(field)
                       .arg(id))
            .toString();
    };
    for (const QString& field : fields) {
        auto lookup =
            db->openLookup(QStringLiteral("Tenants"), QStringLiteral("TenantIDIndex"), {field});
        auto tenants = db->openTable(QStringLiteral("Tenants"));
        tenants->setIndex(QStringLiteral("TenantIDIndex"));
        for (const Value& value : values) {
            ledger.exec(QStringLiteral("INSERT INTO Tenants (TenantID) VALUES (%1), (%2)")
                            .arg(tenant)
                            .arg(tenant + 1));
            const QString bySet = outcome(
                field, tenant, [&] { EXPECT_TRUE(lookup->set(Value::integer(tenant), 0, value)); });
            const QString byEdit = outcome(field, tenant + 1, [&] {
                tenants->seek(Value::integer(tenant + 1));
                tenants->edit();
                tenants->setField(field, value);
                tenants->update();
            });
            EXPECT_EQ(bySet, byEdit)
                << field.toStdString() << " = " << value.toText().toStdString();
            tenant += 2;
        }
        EXPECT_FALSE(lookup->set(Value::integer(999), 0, values[0]));
    }
}

// The content mark moves with this connection's writes and another connection's commits only.
TEST_F(LedgerLookup, contentMarkMovesWhenARecordChanges) {
    auto db = Database::open(path);
    const Database::ContentMark start = db->contentMark();
    auto units = db->openDynaset(QStringLiteral("SELECT * FROM Units"));
    EXPECT_TRUE(units->eof());
    EXPECT_EQ(db->contentMark(), start);
    ledger.addUnit(1, 1, QStringLiteral("1 Elm"));
    const Database::ContentMark afterOther = db->contentMark();
    EXPECT_NE(afterOther, start);
    auto lookup = db->openLookup(QStringLiteral("Units"), QStringLiteral("UTenantIDIndex"),
                                 {QStringLiteral("UAddress")});
    ASSERT_TRUE(lookup->set(Value::integer(1), 0, Value::text(QStringLiteral("2 Elm"))));
    EXPECT_NE(db->contentMark(), afterOther);
}

}  // namespace
}  // namespace corvane::ledger

namespace corvane::ledger {
namespace {

// Some remarks are not ASCII, one has half of a surrogate pair (stored as "?").
QString remarkOf(std::size_t i) {
    return i % 13 == 6 ? QStringLiteral("Rent ") + QChar(0xD800) + QStringLiteral("ü")
                       : QStringLiteral("Rent %1").arg(i);
}

// Records for addAll: some fields left unassigned now and then, text and numbers converted.
void fillTransaction(std::size_t i, std::vector<std::optional<Value>>& record) {
    record[0] = i % 11 == 4 ? Value::text(QStringLiteral("12.5"))
                            : Value::currency(Currency::fromUnits(10000 + static_cast<int>(i)));
    record[1] = Value::text(QStringLiteral("12/%1/2026").arg(i % 28 + 1));
    record[2] = i % 7 == 3 ? std::nullopt : std::optional(Value::text(remarkOf(i)));
    record[3] = i % 5 == 0 ? Value() : Value::integer(static_cast<std::int64_t>(i));
}

// addAll stores each record as add does, in order, and gives each its own key, after the keys a
// deleted record used; several hundred records take several INSERTs.
TEST_F(LedgerLookup, addAllStoresWhatAddStoresWithTheKeysInOrder) {
    ledger.exec(QStringLiteral("INSERT INTO Transactions (TransID) VALUES (500)"));
    ledger.exec(QStringLiteral("DELETE FROM Transactions"));
    const QStringList fields = {QStringLiteral("TransAmount"), QStringLiteral("TransDate"),
                                QStringLiteral("TransRemark"), QStringLiteral("TransCheckNumber")};
    constexpr std::size_t count = 300;
    auto db = Database::open(path);
    auto appender = db->openAppender(QStringLiteral("Transactions"), fields);
    const std::vector<std::int64_t> keys = appender->addAll(count, fillTransaction);
    std::vector<std::optional<Value>> record(fields.size());
    for (std::size_t i = 0; i < count; ++i) {
        fillTransaction(i, record);
        appender->add(record);
    }
    const auto rows = ledger.rows(
        QStringLiteral("SELECT TransID, quote(TransAmount), quote(TransDate), quote(TransRemark), "
                       "quote(TransCheckNumber) FROM Transactions ORDER BY TransID"));
    ASSERT_EQ(rows.size(), 2 * count);
    ASSERT_EQ(keys.size(), count);
    for (std::size_t i = 0; i < count; ++i) {
        QStringList byAddAll = QVariant(rows[i]).toStringList();
        QStringList byAdd = QVariant(rows[count + i]).toStringList();
        EXPECT_EQ(byAddAll.takeFirst().toLongLong(), keys[i]) << "record " << i;
        EXPECT_EQ(keys[i], static_cast<std::int64_t>(501 + i));
        byAdd.removeFirst();
        EXPECT_EQ(byAddAll, byAdd) << "record " << i;
    }
    EXPECT_EQ(ledger.value(QStringLiteral("SELECT hex(TransRemark) FROM Transactions WHERE "
                                          "TransID = 507")),
              QVariant(QString::fromLatin1(QByteArray("Rent ?\xC3\xBC").toHex().toUpper())));
}

// A record that cannot be converted stops addAll as it stops add: those before it are added.
TEST_F(LedgerLookup, addAllStopsAtARecordThatCannotBeConverted) {
    auto db = Database::open(path);
    auto appender =
        db->openAppender(QStringLiteral("Transactions"),
                         {QStringLiteral("TransAmount"), QStringLiteral("TransDate"),
                          QStringLiteral("TransRemark"), QStringLiteral("TransCheckNumber")});
    const auto fill = [](std::size_t i, std::vector<std::optional<Value>>& record) {
        fillTransaction(i, record);
        if (i == 150)
            record[0] = Value::text(QStringLiteral("twelve"));
    };
    EXPECT_EQ(test::errorOf([&] { appender->addAll(200, fill); }).number(),
              errc::DataTypeConversion);
    EXPECT_EQ(ledger.value(QStringLiteral("SELECT count(*) || ',' || max(TransID) FROM "
                                          "Transactions")),
              QVariant(QStringLiteral("150,150")));
}

// A trigger that adds records of its own takes keys between the records: each still gets its own.
TEST_F(LedgerLookup, addAllGivesEachRecordItsKeyBesideATriggersRecords) {
    ledger.exec(QStringLiteral(
        "CREATE TRIGGER twin AFTER INSERT ON Transactions WHEN NEW.TransRemark <> 'twin' BEGIN "
        "INSERT INTO Transactions (TransRemark) VALUES ('twin'); END"));
    auto db = Database::open(path);
    auto appender =
        db->openAppender(QStringLiteral("Transactions"), {QStringLiteral("TransRemark")});
    const std::vector<std::int64_t> keys =
        appender->addAll(200, [](std::size_t i, std::vector<std::optional<Value>>& record) {
            record[0] = Value::text(QString::number(i));
        });
    ASSERT_EQ(keys.size(), 200u);
    for (std::size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(ledger
                      .value(QStringLiteral("SELECT TransRemark FROM Transactions WHERE TransID "
                                            "= %1")
                                 .arg(keys[i]))
                      .toString(),
                  QString::number(i));
    }
}

// A table that does not number its keys itself gets its records one at a time, keys in order.
TEST_F(LedgerLookup, addAllToATableWithoutAutoNumbersGivesEachRowid) {
    auto db = Database::open(path);
    auto appender = db->openAppender(QStringLiteral("Tenants"),
                                     {QStringLiteral("TenantID"), QStringLiteral("TCity")});
    const std::vector<std::int64_t> keys =
        appender->addAll(3, [](std::size_t i, std::vector<std::optional<Value>>& record) {
            record[0] = Value::integer(static_cast<std::int64_t>(10 - i));
            record[1] = Value::text(QStringLiteral("Oslo"));
        });
    EXPECT_EQ(ledger
                  .value(QStringLiteral("SELECT group_concat(rowid || ':' || TenantID) FROM "
                                        "Tenants WHERE TCity = 'Oslo'"))
                  .toString(),
              QStringLiteral("%1:10,%2:9,%3:8").arg(keys[0]).arg(keys[1]).arg(keys[2]));
}

}  // namespace
}  // namespace corvane::ledger

namespace corvane::ledger {
namespace {

// Many keys at once give what a find of each gives; read as stored, the fields are the file's
// own values. A ledger may carry columns of any name, "key" and "value" included.
TEST_F(LedgerLookup, manyKeysAtOnceGiveWhatAFindOfEachGives) {
    ledger.exec(QStringLiteral(
        "ALTER TABLE Transactions ADD COLUMN value TEXT; ALTER TABLE Transactions ADD COLUMN "
        "key INTEGER; INSERT INTO Transactions (TransPostToID, TransAmount, TransDate, value, "
        "key) VALUES (101, 10.5, '2026-12-01', 'x', 7), (102, '20', '2026-12-02 10:30:00', 'y', "
        "8), (103, NULL, 'soon', 'z', 9), (104, 40, '2026-12-04', 'w', 10)"));
    auto db = Database::open(path);
    const QStringList fields = {QStringLiteral("TransPostToID"), QStringLiteral("TransAmount"),
                                QStringLiteral("TransDate")};
    auto entries =
        db->openLookup(QStringLiteral("Transactions"), QStringLiteral("PrimaryKey"), fields);
    std::map<std::int64_t, std::vector<Value>> found, stored, between;
    entries->findEach({3, 1, 9, 2, 3},
                      [&](std::int64_t key, const std::vector<Value>& v) { found[key] = v; });
    EXPECT_EQ(found.size(), 3u);
    for (const auto& [key, values] : found)
        EXPECT_EQ(values, *entries->find(Value::integer(key))) << key;

    entries->findEachAsStored(
        {1, 2, 3}, [&](std::int64_t key, const std::vector<Value>& v) { stored[key] = v; });
    EXPECT_EQ(stored[1], (std::vector<Value>{Value::integer(101), Value::number(10.5),
                                             Value::text(QStringLiteral("2026-12-01"))}));
    EXPECT_EQ(stored[2], (std::vector<Value>{Value::integer(102), Value::number(20),
                                             Value::text(QStringLiteral("2026-12-02 10:30:00"))}));
    EXPECT_EQ(stored[3], (std::vector<Value>{Value::integer(103), Value(),
                                             Value::text(QStringLiteral("soon"))}));
    entries->forEachBetweenAsStored(
        2, 3, [&](std::int64_t key, const std::vector<Value>& v) { between[key] = v; });
    EXPECT_EQ(between,
              (std::map<std::int64_t, std::vector<Value>>{{2, stored[2]}, {3, stored[3]}}));
}

}  // namespace
}  // namespace corvane::ledger
