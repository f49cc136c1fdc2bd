#include "platform/Error.h"
#include "platform/ledger/Database.h"
#include "support/ErrorOf.h"
#include "support/OrdinaryUser.h"
#include "support/TestFiles.h"
#include "support/TestLedger.h"
#include "support/TestPlatform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <functional>
#include <optional>

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane::ledger {
namespace {

using test::TestLedger;

using test::errorOf;

Value text(const char* t) {
    return Value::text(QString::fromUtf8(t));
}

class LedgerDatabase : public ::testing::Test {
protected:
    test::TestPlatform platform;
    QString path = platform.path(QStringLiteral("lbdatafl.mdb"));
    TestLedger ledger{path};
    std::unique_ptr<Database> open(int timeout = 5000) { return Database::open(path, timeout); }
};

TEST_F(LedgerDatabase, missingFileIs3024AndNoFileIsCreated) {
    const QString missing = platform.path(QStringLiteral("nothere.mdb"));
    const Error e = errorOf([&] { Database::open(missing); });
    EXPECT_EQ(e.number(), 3024);
    EXPECT_EQ(e.description(), QStringLiteral("Could not find file '%1'.").arg(missing));
    EXPECT_FALSE(QFileInfo::exists(missing));
}

TEST_F(LedgerDatabase, fileThatIsNotALedgerIs3343) {
    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {{"junk.mdb", QByteArray("Standard Jet DB\0 not really", 27)},
                 {"empty.mdb", QByteArray()}};
    for (const auto& c : cases) {
        const QString file = platform.path(QString::fromLatin1(c.name));
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(c.bytes);
        f.close();
        const Error e = errorOf([&] { Database::open(file); });
        EXPECT_EQ(e.number(), 3343) << c.name;
        EXPECT_EQ(e.description(), QStringLiteral("Unrecognized database format '%1'.").arg(file));
        EXPECT_EQ(QFileInfo(file).size(), c.bytes.size()) << c.name;
    }
}

TEST_F(LedgerDatabase, seekByIndexFindsTheRecordOrReportsNoMatch) {
    ledger.addTenant(42, 7, QStringLiteral("Ann"), QStringLiteral("Lee"));
    ledger.addTenant(43, 7, QStringLiteral("Bob"), QStringLiteral("Ray"));
    ledger.addUnit(1, 42, QStringLiteral("1 Main St"));
    ledger.addUnit(2, 42, QStringLiteral("2 Main St"));
    auto db = open();
    auto tenants = db->openTable(QStringLiteral("Tenants"));
    tenants->setIndex(QStringLiteral("TenantIDIndex"));
    tenants->seek(Value::integer(43));
    ASSERT_FALSE(tenants->noMatch());
    EXPECT_EQ(tenants->field(QStringLiteral("tfirstname1")), text("Bob"));
    EXPECT_EQ(tenants->field(QStringLiteral("Tenants.TPropID")), Value::integer(7));
    tenants->seek(Value::integer(99));
    EXPECT_TRUE(tenants->noMatch());
    EXPECT_EQ(errorOf([&] { tenants->field(QStringLiteral("TFirstName1")); }).number(), 3021);

    // A non-unique index finds the first record of the key.
    auto units = db->openTable(QStringLiteral("Units"));
    units->setIndex(QStringLiteral("UTenantIDIndex"));
    units->seek(text("42"));
    EXPECT_EQ(units->field(QStringLiteral("UAddress")), text("1 Main St"));

    EXPECT_EQ(errorOf([&] { units->setIndex(QStringLiteral("NoSuchIndex")); }).number(), 3800);
    const Error unknown = errorOf([&] { units->field(QStringLiteral("UColour")); });
    EXPECT_EQ(unknown.number(), 3265);
    EXPECT_EQ(unknown.description(), QStringLiteral("Item not found in this collection."));
}

TEST_F(LedgerDatabase, editWritesTheExactCurrencyOfOneRecord) {
    ledger.addTenant(42, 7, QStringLiteral("Ann"), QStringLiteral("Lee"), QStringLiteral("N"), 0.1);
    ledger.addTenant(43, 7, QStringLiteral("Bob"), QStringLiteral("Ray"), QStringLiteral("N"), 5.0);
    auto db = open();
    auto tenants = db->openTable(QStringLiteral("Tenants"));
    tenants->setIndex(QStringLiteral("TenantIDIndex"));
    tenants->seek(Value::integer(42));
    tenants->edit();
    const Currency balance = tenants->field(QStringLiteral("TCurrBal")).toCurrency();
    tenants->setField(QStringLiteral("TCurrBal"),
                      Value::currency(balance + Currency::fromText(u"0.2").value()));
    EXPECT_EQ(tenants->field(QStringLiteral("TCurrBal")).toCurrency(), Currency::fromUnits(3000));
    tenants->update();
    EXPECT_EQ(ledger.value(QStringLiteral("SELECT TCurrBal FROM Tenants WHERE TenantID = 42")),
              0.3);
    EXPECT_EQ(ledger.value(QStringLiteral("SELECT TCurrBal FROM Tenants WHERE TenantID = 43")),
              5.0);
    EXPECT_EQ(tenants->field(QStringLiteral("TCurrBal")).toCurrency(), Currency::fromUnits(3000));
    EXPECT_EQ(errorOf([&] { tenants->update(); }).number(), 3020);
}

TEST_F(LedgerDatabase, addNewGivesTheAutoNumberKeyBeforeUpdate) {
    ledger.exec(QStringLiteral(
        "INSERT INTO CheckDepPrinted (CkID, CkType) VALUES (11, 'D');"
        "DELETE FROM CheckDepPrinted WHERE CkID = 11;"));  // the sequence stays at 11
    auto db = open();
    auto deposits =
        db->openDynaset(QStringLiteral("SELECT * FROM CheckDepPrinted WHERE CkType = 'D'"));
    deposits->addNew();
    deposits->setField(QStringLiteral("CkPayee"), text("DEPOSIT"));
    deposits->setField(QStringLiteral("CkAmount"), Value::currency(Currency::fromUnits(987648)));
    deposits->setField(QStringLiteral("CkDate"), text("03/14/2026"));
    deposits->setField(QStringLiteral("CkType"), text("D"));
    const Value key = deposits->field(QStringLiteral("CkID"));
    EXPECT_EQ(key, Value::integer(12));
    deposits->update();
    const auto rows =
        ledger.rows(QStringLiteral("SELECT CkID, CkPayee, CkAmount, CkDate FROM CheckDepPrinted"));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0].toLongLong(), 12);
    EXPECT_EQ(rows[0][1].toString(), QStringLiteral("DEPOSIT"));
    EXPECT_EQ(rows[0][2].toDouble(), 98.7648);
    EXPECT_EQ(rows[0][3].toString(), QStringLiteral("2026-03-14"));

    // Found again by the key with the program's criterion, and edited.
    auto again =
        db->openDynaset(QStringLiteral("SELECT * FROM CheckDepPrinted WHERE CkType = 'D'"));
    again->findFirst(QStringLiteral("Val(CkID) = '12'"));
    ASSERT_FALSE(again->noMatch());
    again->edit();
    again->setField(QStringLiteral("CkAmount"), text("425.50"));
    again->update();
    EXPECT_EQ(ledger.value(QStringLiteral("SELECT CkAmount FROM CheckDepPrinted")), 425.5);
    again->findFirst(QStringLiteral("Val(CkID) = '13'"));
    EXPECT_TRUE(again->noMatch());
    EXPECT_EQ(errorOf([&] { again->edit(); }).number(), 3021);
}

TEST_F(LedgerDatabase, assigningConvertsToTheColumnKind) {
    auto db = open();
    auto entries = db->openDynaset(QStringLiteral("SELECT * from Transactions"));
    entries->addNew();
    EXPECT_EQ(errorOf([&] {
                  entries->setField(QStringLiteral("TransCheckNumber"), text("12a"));
              }).number(),
              3421);
    EXPECT_EQ(
        errorOf([&] { entries->setField(QStringLiteral("TransAmount"), text("$5")); }).number(),
        3421);
    entries->setField(QStringLiteral("TransCheckNumber"), text(" 1045 "));
    entries->setField(QStringLiteral("TransAmount"), Value::number(0.1 + 0.2));
    entries->setField(QStringLiteral("TransDate"),
                      Value::date(QDateTime(QDate(2026, 3, 4), QTime(9, 30, 0))));
    entries->setField(QStringLiteral("TransRemark"), Value::integer(5));
    entries->setField(QStringLiteral("TransMemo"), Value());
    entries->update();
    entries->addNew();
    entries->setField(QStringLiteral("TransDate"), text("not a date"));
    entries->update();
    const auto rows = ledger.rows(QStringLiteral(
        "SELECT TransCheckNumber, TransAmount, TransDate, TransRemark, typeof(TransMemo) "
        "FROM Transactions ORDER BY TransID"));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][0].toLongLong(), 1045);
    EXPECT_EQ(rows[0][1].toDouble(), 0.3);
    EXPECT_EQ(rows[0][2].toString(), QStringLiteral("2026-03-04 09:30:00"));
    EXPECT_EQ(rows[0][3].toString(), QStringLiteral("5"));
    EXPECT_EQ(rows[0][4].toString(), QStringLiteral("null"));
    EXPECT_EQ(rows[1][2].toString(), QStringLiteral("not a date"));
}

TEST_F(LedgerDatabase, readingGoesByTheDeclaredColumnType) {
    ledger.exec(QStringLiteral(
        "INSERT INTO Transactions (TransID, TransRemark, TransAmount, TransDate, TransCheckNumber)"
        " VALUES (1, 5, 0.30000000000000004, '2026-03-14', NULL),"
        " (2, 'x', 1.23456, 'March', 7), (3, NULL, NULL, '2026-03-14 08:00:01', NULL)"));
    auto db = open();
    auto entries = db->openDynaset(QStringLiteral("SELECT * FROM Transactions ORDER BY TransID"));
    EXPECT_EQ(entries->recordCount(), 3);
    EXPECT_EQ(entries->field(QStringLiteral("TransRemark")), text("5"));
    EXPECT_EQ(entries->field(QStringLiteral("TransAmount")),
              Value::currency(Currency::fromUnits(3000)));
    EXPECT_EQ(entries->field(QStringLiteral("TransDate")),
              Value::date(QDateTime(QDate(2026, 3, 14), QTime(0, 0))));
    EXPECT_TRUE(entries->field(QStringLiteral("TransCheckNumber")).isNull());
    entries->moveNext();
    EXPECT_EQ(entries->field(QStringLiteral("TransAmount")),
              Value::currency(Currency::fromUnits(12346)));
    EXPECT_EQ(entries->field(QStringLiteral("TransDate")), text("March"));
    EXPECT_EQ(entries->field(QStringLiteral("TransCheckNumber")), Value::integer(7));
    entries->moveNext();
    EXPECT_EQ(entries->field(QStringLiteral("TransDate")),
              Value::date(QDateTime(QDate(2026, 3, 14), QTime(8, 0, 1))));
    EXPECT_TRUE(entries->field(QStringLiteral("TransRemark")).isNull());
    entries->moveNext();
    EXPECT_TRUE(entries->eof());
    EXPECT_EQ(errorOf([&] { entries->field(QStringLiteral("TransDate")); }).number(), 3021);
    EXPECT_EQ(errorOf([&] { entries->moveNext(); }).number(), 3021);
}

TEST_F(LedgerDatabase, aWriteWhileLodgebookHoldsTheLedgerFailsWith3260AndWritesNothing) {
    ledger.addTenant(42, 7, QStringLiteral("Ann"), QStringLiteral("Lee"), QStringLiteral("N"), 1.0);
    auto db = open(200);
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open_v2(path.toUtf8().constData(), &other, SQLITE_OPEN_READWRITE, nullptr),
              SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);

    auto entries = db->openDynaset(QStringLiteral("SELECT * from Transactions"));
    entries->addNew();
    entries->setField(QStringLiteral("TransAmount"), Value::integer(5));
    const Error add = errorOf([&] { entries->update(); });
    EXPECT_EQ(add.number(), 3260);
    EXPECT_TRUE(add.description().contains(QStringLiteral("in use by another program")));

    auto tenants = db->openTable(QStringLiteral("Tenants"));
    tenants->setIndex(QStringLiteral("TenantIDIndex"));
    tenants->seek(Value::integer(42));  // reading still works
    tenants->edit();
    tenants->setField(QStringLiteral("TCurrBal"), Value::integer(2));
    EXPECT_EQ(errorOf([&] { tenants->update(); }).number(), 3260);
    EXPECT_EQ(errorOf([&] { db->beginImmediate(); }).number(), 3260);
    EXPECT_FALSE(db->inTransaction());

    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(ledger.value(QStringLiteral("SELECT COUNT(*) FROM Transactions")).toInt(), 0);
    EXPECT_EQ(ledger.value(QStringLiteral("SELECT TCurrBal FROM Tenants")), 1.0);
    entries->update();  // the pending record is kept and can be saved once the ledger is free
    EXPECT_EQ(ledger.value(QStringLiteral("SELECT COUNT(*) FROM Transactions")).toInt(), 1);
}

TEST_F(LedgerDatabase, rollbackLeavesNothingAndCommitKeepsEverything) {
    auto db = open();
    for (const bool keep : {false, true}) {
        Transaction transaction(*db);
        EXPECT_TRUE(db->inTransaction());
        auto entries = db->openDynaset(QStringLiteral("SELECT * from Transactions"));
        for (int i = 0; i < 3; ++i) {
            entries->addNew();
            entries->setField(QStringLiteral("TransRemark"), text(keep ? "kept" : "dropped"));
            entries->update();
        }
        if (keep)
            transaction.commit();
    }
    EXPECT_FALSE(db->inTransaction());
    EXPECT_EQ(ledger.value(QStringLiteral("SELECT group_concat(TransRemark) FROM Transactions")),
              QStringLiteral("kept,kept,kept"));
    EXPECT_EQ(errorOf([&] { db->commit(); }).number(), 3034);
}

TEST_F(LedgerDatabase, tableNavigationFollowsTheIndexAndCountsAllRecords) {
    ledger.exec(QStringLiteral("INSERT INTO Company (CompanyID, CName1) VALUES (1, 'Acme, Inc')"));
    ledger.addOwner(3, QStringLiteral("C"), QStringLiteral("c"));
    ledger.addOwner(1, QStringLiteral("A"), QStringLiteral("a"));
    ledger.addOwner(2, QStringLiteral("B"), QStringLiteral("b"));
    auto db = open();
    auto company = db->openTable(QStringLiteral("company"));
    EXPECT_FALSE(company->eof());
    EXPECT_EQ(company->field(QStringLiteral("CName1")), text("Acme, Inc"));
    auto owners = db->openTable(QStringLiteral("Owners"));
    EXPECT_EQ(owners->recordCount(), 3);
    owners->setIndex(QStringLiteral("OwnerIDIndex"));
    QStringList order;
    for (owners->moveFirst(); !owners->eof(); owners->moveNext()) {
        order << owners->field(QStringLiteral("OLastName1")).toText();
    }
    EXPECT_EQ(order.join(u','), QStringLiteral("A,B,C"));
    owners->seek(Value::integer(2));
    owners->moveNext();
    EXPECT_EQ(owners->field(QStringLiteral("OwnerID")), Value::integer(3));
    EXPECT_EQ(owners->fieldNames().first(), QStringLiteral("OwnerID"));
}

}  // namespace
}  // namespace corvane::ledger

namespace corvane::ledger {
namespace {

// A ledger of two tenants with three pages of entries, so that damage to a page past the schema
// shows only once the entries are read.
class LedgerEngineErrors : public LedgerDatabase {
protected:
    LedgerEngineErrors() {
        ledger.addTenant(1, 7, QStringLiteral("Ann"), QStringLiteral("Lee"));
        ledger.addTenant(2, 7, QStringLiteral("Bo"), QStringLiteral("Best"));
        ledger.exec(QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300) "
            "INSERT INTO Transactions (TransRemark) SELECT printf('%040d', i) FROM n; "
            "PRAGMA wal_checkpoint(TRUNCATE)"));
    }
    // Adds a tenant through a record set: its number as given (none when null).
    void addTenant(Database& db, const Value& tenantId) {
        auto tenants = db.openTable(QStringLiteral("Tenants"));
        tenants->addNew();
        if (!tenantId.isNull())
            tenants->setField(QStringLiteral("TenantID"), tenantId);
        tenants->setField(QStringLiteral("TLastName1"), text("New"));
        tenants->update();
    }
    QString tenants() const {
        return ledger.value(QStringLiteral("SELECT group_concat(TenantID) FROM Tenants"))
            .toString();
    }
};

TEST_F(LedgerEngineErrors, aRecordTheTableRefusesIsNotSaved) {
    auto db = open();
    const Error duplicate = errorOf([&] { addTenant(*db, Value::integer(2)); });
    EXPECT_EQ(duplicate.number(), 3022);
    EXPECT_EQ(duplicate.description(),
              QStringLiteral("The record was not saved: it would create a duplicate value in the "
                             "table's key or index (UNIQUE constraint failed: Tenants.TenantID)."));
    const Error empty = errorOf([&] { addTenant(*db, Value()); });
    EXPECT_EQ(empty.number(), 3314);
    EXPECT_EQ(empty.description(),
              QStringLiteral("A field of this record cannot be empty (NOT NULL constraint failed: "
                             "Tenants.TenantID)."));
    EXPECT_EQ(tenants(), QStringLiteral("1,2"));
}

TEST_F(LedgerEngineErrors, anUnknownColumnIs3061) {
    auto db = open();
    const QString sql = QStringLiteral("SELECT TNoSuchField FROM Tenants");
    auto set = db->openDynaset(sql);
    const Error e = errorOf([&] { set->eof(); });
    EXPECT_EQ(e.number(), 3061);
    EXPECT_EQ(
        e.description(),
        QStringLiteral("Unknown field name in '%1' (no such column: TNoSuchField).").arg(sql));
}

TEST_F(LedgerEngineErrors, aSecondTransactionIs3003AndTheFirstGoesOn) {
    auto db = open();
    db->beginImmediate();
    const Error e = errorOf([&] { db->beginImmediate(); });
    EXPECT_EQ(e.number(), 3003);
    EXPECT_EQ(e.description(),
              QStringLiteral("Could not start a transaction: one is already open."));
    EXPECT_TRUE(db->inTransaction());
    addTenant(*db, Value::integer(3));
    db->commit();
    EXPECT_EQ(tenants(), QStringLiteral("1,2,3"));
}

TEST_F(LedgerEngineErrors, aPageDamagedAfterOpeningIsReportedWhenRead) {
    auto db = open();
    {
        // The last page holds entries; the schema on the first page stays readable.
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.seek(file.size() - 4096));
        file.write(QByteArray(4096, '\x5a'));
    }
    auto entries = db->openDynaset(QStringLiteral("SELECT * FROM Transactions"));
    const Error e = errorOf([&] {
        for (entries->moveFirst(); !entries->eof(); entries->moveNext()) {
        }
    });
    EXPECT_EQ(e.number(), 3343);
    EXPECT_EQ(e.description(),
              QStringLiteral("The ledger file is damaged (database disk image is malformed)."));
}

TEST_F(LedgerEngineErrors, aLedgerThatCannotBeReadAtOpenIsPermissionDenied) {
    // The folder may be passed through, the file not read.
    ASSERT_EQ(::chmod(QFile::encodeName(platform.folder.path()).constData(), 0711), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0), 0);
    const Error e = errorOf([&] {
        test::OrdinaryUser user;
        ASSERT_TRUE(user.ok());
        Database::open(path);
    });
    ::chmod(QFile::encodeName(path).constData(), 0644);
    EXPECT_EQ(e.number(), 70);
    EXPECT_EQ(e.description(), QStringLiteral("Permission denied: '%1'.").arg(path));
}

// --- A ledger that is there but cannot be used ---------------------------------------------------

class LedgerOpenFailure;
struct OpenFailure {
    const char* name;
    void (*arrange)(LedgerOpenFailure&);  // makes the cause happen for real
    int number;
    const char* description;  // %1: the ledger's path
};

class LedgerOpenFailure : public LedgerEngineErrors,
                          public ::testing::WithParamInterface<OpenFailure> {
public:
    ~LedgerOpenFailure() override { undo(); }
    using LedgerDatabase::path;
    QString ledger = path;      // the file opened: the test's own, or a copy on another disk
    bool ordinaryUser = false;  // opened as an ordinary user, so that file modes count for root
    std::function<void()> undo = [] {};
};

void setModes(const QString& ledger, mode_t file, mode_t folder) {
    ::chmod(QFile::encodeName(ledger).constData(), file);
    ::chmod(QFile::encodeName(QFileInfo(ledger).absolutePath()).constData(), folder);
}

// The ledger copied to a small disk of its own, which a file then fills to the last byte.
void onAFullDisk(LedgerOpenFailure& t) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root mounts a small disk";
    const QString disk = QFileInfo(t.path).absolutePath() + QStringLiteral("/disk");
    QDir().mkpath(disk);
    const QByteArray size =
        "size=" + QByteArray::number(QFileInfo(t.path).size() / 1024 + 64) + "k";
    if (::mount("tmpfs", QFile::encodeName(disk).constData(), "tmpfs", 0, size.constData()) != 0)
        GTEST_SKIP() << "no tmpfs mount here";
    t.undo = [disk] { ::umount2(QFile::encodeName(disk).constData(), MNT_DETACH); };
    t.ledger = disk + QStringLiteral("/lbdatafl.mdb");
    QFile::copy(t.path, t.ledger);
    QFile filler(disk + QStringLiteral("/filler"));
    filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    while (filler.write(QByteArray(4096, 'x')) == 4096) {
    }
    while (filler.write("x", 1) == 1) {
    }
}

// SQLite's files through the system's own file layer, except that a database file cannot be
// opened: the disk reports an input/output error.
sqlite3_vfs* systemFiles = nullptr;
int openFailingDatabase(sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* out) {
    if (!(flags & SQLITE_OPEN_MAIN_DB))
        return systemFiles->xOpen(systemFiles, name, file, flags, out);
    file->pMethods = nullptr;
    return SQLITE_IOERR;
}

void onAFailingDisk(LedgerOpenFailure& t) {
    static sqlite3_vfs failing = [] {
        systemFiles = sqlite3_vfs_find(nullptr);
        sqlite3_vfs vfs = *systemFiles;
        vfs.zName = "failing-disk";
        vfs.xOpen = openFailingDatabase;
        return vfs;
    }();
    sqlite3_vfs_register(&failing, 1);
    t.undo = [] { sqlite3_vfs_unregister(&failing); };
}

void readOnlyFile(LedgerOpenFailure& t) {
    setModes(t.path, 0444, 0777);
    t.ordinaryUser = true;
    t.undo = [&t] { setModes(t.path, 0644, 0700); };
}

void inAReadOnlyFolder(LedgerOpenFailure& t) {
    setModes(t.path, 0666, 0555);
    t.ordinaryUser = true;
    t.undo = [&t] { setModes(t.path, 0644, 0700); };
}

void lockedWholeByLodgebook(LedgerOpenFailure& t) {
    sqlite3* other = nullptr;
    sqlite3_open_v2(QFile::encodeName(t.path).constData(), &other, SQLITE_OPEN_READWRITE, nullptr);
    t.undo = [other] { sqlite3_close(other); };
    ASSERT_EQ(sqlite3_exec(other, "PRAGMA locking_mode = EXCLUSIVE; BEGIN EXCLUSIVE", nullptr,
                           nullptr, nullptr),
              SQLITE_OK);
}

// An SQLite header on pages that are not a database.
void damagedPastItsHeader(LedgerOpenFailure& t) {
    QFile file(t.path);
    file.open(QIODevice::WriteOnly);
    file.write(QByteArray("SQLite format 3\0", 16) + QByteArray(4080, '\x5a'));
}

const OpenFailure kOpenFailures[] = {
    {"fullDisk", onAFullDisk, 3026,
     "Cannot open the ledger file '%1': the disk it is on is full. Nothing was changed. Make room "
     "on that disk, then try again."},
    {"failingDisk", onAFailingDisk, 3043,
     "Cannot open the ledger file '%1': the disk or the network it is on failed while it was "
     "read. Nothing was changed. Check the disk or the network connection, then try again."},
    {"readOnlyFile", readOnlyFile, 3051,
     "Cannot open the ledger file '%1': the file is read-only, and Corvane must be able to write "
     "to it. Nothing was changed. Make the file writable, then try again."},
    {"readOnlyFolder", inAReadOnlyFolder, 3051,
     "Cannot open the ledger file '%1': its folder is read-only, and Corvane must be able to "
     "write there. Nothing was changed. Make the folder writable, then try again."},
    {"locked", lockedWholeByLodgebook, 3260,
     "The ledger is in use by another program (Lodgebook). Nothing was written; try again when "
     "it is free."},
    {"notALedger", damagedPastItsHeader, 3343, "Unrecognized database format '%1'."},
};

void PrintTo(const OpenFailure& c, std::ostream* os) {
    *os << c.name;
}

// Each cause is told in its own words, and the ledger is left as it was.
TEST_P(LedgerOpenFailure, isToldInItsOwnWordsAndChangesNothing) {
    GetParam().arrange(*this);
    if (IsSkipped() || HasFatalFailure())
        return;
    const QByteArray before = test::fileBytes(ledger);
    const Error e = errorOf([&] {
        std::optional<test::OrdinaryUser> user;
        if (ordinaryUser) {
            ASSERT_TRUE(user.emplace().ok());
        }
        Database::open(ledger, 100);
    });
    EXPECT_EQ(test::fileBytes(ledger), before);
    EXPECT_EQ(e.number(), GetParam().number);
    EXPECT_EQ(e.description().toStdString(),
              QString::fromUtf8(GetParam().description).arg(ledger).toStdString());
}

INSTANTIATE_TEST_SUITE_P(Causes, LedgerOpenFailure, ::testing::ValuesIn(kOpenFailures),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvane::ledger
