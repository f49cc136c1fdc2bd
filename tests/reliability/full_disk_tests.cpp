#include "reliability_support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <unistd.h>

namespace corvane::test {
namespace {

qint64 folderBytes(const QString& dir) {
    qint64 total = 0;
    for (const QFileInfo& info : QDir(dir).entryInfoList(QDir::Files))
        total += info.size();
    return total;
}

// A prepared folder and a place to mount a program folder made from it; root only.
class ProgramFolderFaultTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (geteuid() != 0)
            GTEST_SKIP() << "mounting a small or read-only folder needs root";
        prepareFolder(source.path(), 200, 2000);
        mountPoint = scratch.filePath(QStringLiteral("lodgebook"));
        ASSERT_TRUE(QDir().mkpath(mountPoint));
    }
    void TearDown() override {
        if (mounted)
            umount2(mountPoint.toUtf8().constData(), MNT_DETACH);
    }
    QString path(const QString& name) const { return mountPoint + QLatin1Char('/') + name; }
    // The folder must be as the run found it: the ledger, the staged file and the log.
    // (A read-only folder's ledger is read through its source: the same file.)
    void expectUntouched(const QStringList& ledgerBefore, const QString& ledger) {
        EXPECT_EQ(queryValue(ledger, QStringLiteral("PRAGMA integrity_check")),
                  QStringLiteral("ok"));
        EXPECT_EQ(ledgerDump(ledger), ledgerBefore);
        EXPECT_EQ(fileBytes(path(QStringLiteral("paymentHistory.csv"))),
                  fileBytes(source.filePath(QStringLiteral("paymentHistory.csv"))));
        EXPECT_FALSE(QFile::exists(path(QStringLiteral("paymentHistory_LastDownload.csv"))));
        EXPECT_EQ(fileBytes(path(QStringLiteral("CV-Log.txt"))),
                  fileBytes(source.filePath(QStringLiteral("CV-Log.txt"))));
    }

    QTemporaryDir source, scratch;
    QString mountPoint;
    bool mounted = false;
};

TEST_F(ProgramFolderFaultTest, diskFillsDuringTheRun_nothingIsPostedAndTheUserIsTold) {
    // Room for the folder and a little more: the run's journal fills it.
    const qint64 room = (folderBytes(source.path()) + 96 * 1024) / 1024;
    const QByteArray options = QStringLiteral("size=%1k").arg(room).toUtf8();
    if (mount("tmpfs", mountPoint.toUtf8().constData(), "tmpfs", 0, options.constData()) != 0)
        GTEST_SKIP() << "no tmpfs mount here";
    mounted = true;
    copyFolderFiles(source.path(), mountPoint);
    const QStringList before = ledgerDump(path(QStringLiteral("lbdatafl.mdb")));

    const DriverResult result = runDriver(mountPoint);
    EXPECT_EQ(result.outcome, QStringLiteral("Stopped"));
    ASSERT_EQ(result.messages.size(), 1) << result.messages.join('\n').toStdString();
    EXPECT_TRUE(result.messages[0].startsWith(
        QStringLiteral("Corvane\tThe Lodgebook Ledgers could not be updated: ")))
        << result.messages[0].toStdString();
    EXPECT_TRUE(result.messages[0].contains(QStringLiteral("Nothing was posted")));
    expectUntouched(before, path(QStringLiteral("lbdatafl.mdb")));
}

TEST_F(ProgramFolderFaultTest, folderNotWritable_nothingIsPostedAndTheUserIsTold) {
    const QString ledger = source.filePath(QStringLiteral("lbdatafl.mdb"));
    const QStringList before = ledgerDump(ledger);
    const QByteArray from = source.path().toUtf8(), to = mountPoint.toUtf8();
    if (mount(from.constData(), to.constData(), nullptr, MS_BIND, nullptr) != 0)
        GTEST_SKIP() << "no bind mount here";
    mounted = true;
    if (mount(nullptr, to.constData(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0)
        GTEST_SKIP() << "no read-only remount here";

    // The ledger cannot be opened for writing, and the user is told why, naming the file.
    const DriverResult result = runDriver(mountPoint);
    EXPECT_EQ(result.outcome, QString());
    EXPECT_TRUE(result.messages.isEmpty()) << result.messages.join('\n').toStdString();
    EXPECT_EQ(result.error.trimmed(),
              QStringLiteral("error 3051: Cannot open the ledger file '%1': its folder is "
                             "read-only, and Corvane must be able to write there. Nothing was "
                             "changed. Make the folder writable, then try again.")
                  .arg(path(QStringLiteral("lbdatafl.mdb"))));
    expectUntouched(before, ledger);
}

}  // namespace
}  // namespace corvane::test
