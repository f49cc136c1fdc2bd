#include "platform/Error.h"
#include "platform/Files.h"
#include "support/ErrorOf.h"
#include "support/OrdinaryUser.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <functional>

namespace corvane {
namespace {

class RealFilesTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return folder_.filePath(name); }
    void put(const QString& name, const QByteArray& bytes) const {
        test::writeFile(path(name), bytes);
    }
    // The file's bytes; "<missing>" when there is no such file (an empty file reads as empty).
    QByteArray contents(const QString& name) const {
        return QFile::exists(path(name)) ? test::fileBytes(path(name)) : "<missing>";
    }
    // Every entry of the folder, hidden ones included.
    QStringList everything() const {
        return QDir(folder_.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                       QDir::Name);
    }

    QTemporaryDir folder_;
    RealFiles files_;
};

using test::errorOf;
using test::OrdinaryUser;

struct MissingCase {
    const char* operation;
    std::function<void(Files&, const QString& missing, const QString& existing)> run;
};

const MissingCase kMissingCases[] = {
    {"readAll", [](Files& f, const QString& m, const QString&) { f.readAll(m); }},
    {"modifiedTime", [](Files& f, const QString& m, const QString&) { f.modifiedTime(m); }},
    {"remove", [](Files& f, const QString& m, const QString&) { f.remove(m); }},
    {"rename from", [](Files& f, const QString& m, const QString& e) { f.rename(m, e); }},
    {"copy from", [](Files& f, const QString& m, const QString& e) { f.copy(m, e); }},
};

TEST_F(RealFilesTest, missingFileOrFolder_reportsFileNotFoundOrPathNotFoundNamingTheFile) {
    put(QStringLiteral("there.csv"), "x");
    const QString existing = path(QStringLiteral("there.csv"));
    for (const MissingCase& c : kMissingCases) {
        SCOPED_TRACE(c.operation);
        const QString missingFile = path(QStringLiteral("gone.csv"));
        const Error file = errorOf([&] { c.run(files_, missingFile, existing); });
        EXPECT_EQ(file.number(), errc::FileNotFound);
        EXPECT_EQ(file.description(), QStringLiteral("File not found: ") + missingFile);

        const QString missingFolder = path(QStringLiteral("no-folder/gone.csv"));
        const Error folder = errorOf([&] { c.run(files_, missingFolder, existing); });
        EXPECT_EQ(folder.number(), errc::PathNotFound);
        EXPECT_EQ(folder.description(), QStringLiteral("Path not found: ") + missingFolder);
    }
    EXPECT_EQ(contents(QStringLiteral("there.csv")), QByteArray("x"));
}

TEST_F(RealFilesTest, targetInMissingFolder_reportsPathNotFoundAndLeavesTheSource) {
    put(QStringLiteral("a.csv"), "payments");
    const QString target = path(QStringLiteral("no-folder/b.csv"));
    const QString source = path(QStringLiteral("a.csv"));
    EXPECT_EQ(errorOf([&] { files_.rename(source, target); }).number(), errc::PathNotFound);
    EXPECT_EQ(errorOf([&] { files_.copy(source, target); }).number(), errc::PathNotFound);
    EXPECT_EQ(errorOf([&] { files_.writeAtomically(target, "x"); }).number(), errc::PathNotFound);
    EXPECT_EQ(everything(), QStringList{QStringLiteral("a.csv")});
}

TEST_F(RealFilesTest, listFiles_ofMissingFolder_isPathNotFound) {
    const QString missing = path(QStringLiteral("Downloads"));
    const Error seen = errorOf([&] { files_.listFiles(missing); });
    EXPECT_EQ(seen.number(), errc::PathNotFound);
    EXPECT_EQ(seen.description(), QStringLiteral("Path not found: ") + missing);
}

TEST_F(RealFilesTest, directoryInPlaceOfFile_isPathFileAccessError) {
    ASSERT_TRUE(QDir(folder_.path()).mkdir(QStringLiteral("paymentHistory.csv")));
    const QString dir = path(QStringLiteral("paymentHistory.csv"));
    EXPECT_EQ(errorOf([&] { files_.readAll(dir); }).number(), errc::PathFileAccessError);
    EXPECT_EQ(errorOf([&] { files_.writeAtomically(dir, "x"); }).number(),
              errc::PathFileAccessError);
}

TEST_F(RealFilesTest, directory_isNotAFileThatExists) {
    ASSERT_TRUE(QDir(folder_.path()).mkdir(QStringLiteral("CV-Log.txt")));
    put(QStringLiteral("IDFILE.DAT"), "x");
    EXPECT_FALSE(files_.exists(path(QStringLiteral("CV-Log.txt"))));
    EXPECT_TRUE(files_.exists(path(QStringLiteral("IDFILE.DAT"))));
}

// A device or a pipe, even behind a link, is neither listed nor read (reading it would never end
// or never begin); only regular files are.
TEST_F(RealFilesTest, devicesAndPipes_areNotListedNorRead) {
    put(QStringLiteral("regular.csv"), "B1\n");
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), path(QStringLiteral("zero.csv"))));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path(QStringLiteral("pipe.csv"))).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(path(QStringLiteral("pipe.csv")), path(QStringLiteral("link.csv"))));
    ASSERT_TRUE(QFile::link(path(QStringLiteral("regular.csv")), path(QStringLiteral("ok.csv"))));
    QStringList listed;
    for (const FileEntry& entry : files_.listFiles(folder_.path()))
        listed << entry.name;
    listed.sort();
    EXPECT_EQ(listed, (QStringList{QStringLiteral("ok.csv"), QStringLiteral("regular.csv")}));
    for (const char* name : {"zero.csv", "pipe.csv", "link.csv"}) {
        const QString special = path(QString::fromLatin1(name));
        EXPECT_EQ(errorOf([&] { files_.readAll(special); }).number(), errc::PathFileAccessError)
            << name;
        EXPECT_EQ(errorOf([&] { files_.copy(special, path(QStringLiteral("copy.csv"))); }).number(),
                  errc::PathFileAccessError)
            << name;
    }
    EXPECT_EQ(files_.readAll(path(QStringLiteral("ok.csv"))), QByteArray("B1\n"));
}

TEST_F(RealFilesTest, readAllWithALimit_readsUpToItAndRefusesMoreWithOverflow) {
    put(QStringLiteral("four.csv"), "B123");
    const QString four = path(QStringLiteral("four.csv"));
    EXPECT_EQ(files_.readAll(four, 4), QByteArray("B123"));
    const Error seen = errorOf([&] { files_.readAll(four, 3); });
    EXPECT_EQ(seen.number(), errc::Overflow);
    EXPECT_EQ(seen.description(),
              QStringLiteral("Overflow: the file %1 is longer than 3 bytes").arg(four));
    EXPECT_EQ(errorOf([&] { files_.copy(four, path(QStringLiteral("to.csv")), 3); }).number(),
              errc::Overflow);
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("to.csv"))));
    EXPECT_EQ(contents(QStringLiteral("four.csv")), QByteArray("B123"));
}


TEST_F(RealFilesTest, readOnlyFolderOrUnreadableFile_isPermissionDenied) {
    put(QStringLiteral("locked.csv"), "x");
    const QString locked = path(QStringLiteral("locked.csv"));
    ASSERT_EQ(::chmod(QFile::encodeName(locked).constData(), 0), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(folder_.path()).constData(), 0555), 0);
    Error write(0, {});
    Error read(0, {});
    Error removal(0, {});
    {
        OrdinaryUser user;
        ASSERT_TRUE(user.ok());
        write = errorOf([&] { files_.writeAtomically(path(QStringLiteral("new.csv")), "x"); });
        read = errorOf([&] { files_.readAll(locked); });
        removal = errorOf([&] { files_.remove(locked); });
    }
    ::chmod(QFile::encodeName(folder_.path()).constData(), 0700);
    EXPECT_EQ(write.number(), errc::PermissionDenied);
    EXPECT_EQ(write.description(),
              QStringLiteral("Permission denied: ") + path(QStringLiteral("new.csv")));
    EXPECT_EQ(read.number(), errc::PermissionDenied);
    EXPECT_EQ(removal.number(), errc::PermissionDenied);
    EXPECT_EQ(everything(), QStringList{QStringLiteral("locked.csv")});
}

TEST_F(RealFilesTest, rename_replacesTheTargetAndRemovesTheSource) {
    put(QStringLiteral("paymentHistory.csv"), "new payments");
    put(QStringLiteral("paymentHistory_LastDownload.csv"), "old payments");
    files_.rename(path(QStringLiteral("paymentHistory.csv")),
                  path(QStringLiteral("paymentHistory_LastDownload.csv")));
    EXPECT_EQ(contents(QStringLiteral("paymentHistory_LastDownload.csv")), "new payments");
    EXPECT_EQ(everything(), QStringList{QStringLiteral("paymentHistory_LastDownload.csv")});
}

TEST_F(RealFilesTest, writeAtomically_replacesContentKeepsModeAndLeavesNoTemporaryFile) {
    put(QStringLiteral("CV-Log.txt"), "a much longer old content than the new one\r\n");
    const QByteArray target = QFile::encodeName(path(QStringLiteral("CV-Log.txt")));
    ASSERT_EQ(::chmod(target.constData(), 0640), 0);
    const QByteArray bytes("06/15/2026\r\n1234.5\r\n\xE9\r\n", 22);
    files_.writeAtomically(path(QStringLiteral("CV-Log.txt")), bytes);
    EXPECT_EQ(contents(QStringLiteral("CV-Log.txt")), bytes);
    struct stat st {};
    ASSERT_EQ(::stat(target.constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    files_.writeAtomically(path(QStringLiteral("new.txt")), QByteArray());
    EXPECT_EQ(contents(QStringLiteral("new.txt")), QByteArray());
    EXPECT_EQ(everything(), (QStringList{QStringLiteral("CV-Log.txt"), QStringLiteral("new.txt")}));
}

TEST_F(RealFilesTest, copy_replacesTheTargetAndKeepsTheSourceAndItsTime) {
    put(QStringLiteral("download.csv"), "B100,T42\n");
    put(QStringLiteral("paymentHistory.csv"), "older and longer content\n");
    const QDateTime nineOClock(QDate(2026, 6, 1), QTime(9, 0, 0));
    {
        QFile source(path(QStringLiteral("download.csv")));
        ASSERT_TRUE(source.open(QIODevice::ReadWrite));
        ASSERT_TRUE(source.setFileTime(nineOClock, QFileDevice::FileModificationTime));
    }
    files_.copy(path(QStringLiteral("download.csv")), path(QStringLiteral("paymentHistory.csv")));
    EXPECT_EQ(contents(QStringLiteral("paymentHistory.csv")), "B100,T42\n");
    EXPECT_EQ(contents(QStringLiteral("download.csv")), "B100,T42\n");
    EXPECT_EQ(files_.modifiedTime(path(QStringLiteral("paymentHistory.csv"))), nineOClock);
}

TEST_F(RealFilesTest, listFiles_givesOrdinaryVisibleFilesWithTheirTimes) {
    put(QStringLiteral("paymentHistory.csv"), "x");
    put(QStringLiteral("paymentHistory (1).csv"), "y");
    put(QStringLiteral("README"), "no extension");
    put(QStringLiteral(".hidden.csv"), "z");
    ASSERT_TRUE(QDir(folder_.path()).mkdir(QStringLiteral("paymentHistory (2).csv")));
    ASSERT_TRUE(QDir(folder_.path()).mkdir(QStringLiteral(".cache")));
    const QDateTime tenOClock(QDate(2026, 6, 1), QTime(10, 0, 0));
    {
        QFile file(path(QStringLiteral("paymentHistory (1).csv")));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(tenOClock, QFileDevice::FileModificationTime));
    }

    QStringList names;
    for (const FileEntry& entry : files_.listFiles(folder_.path())) {
        names.append(entry.name);
        if (entry.name == QLatin1String("paymentHistory (1).csv")) {
            EXPECT_EQ(entry.modified, tenOClock);
        }
    }
    names.sort();
    EXPECT_EQ(names,
              (QStringList{QStringLiteral("README"), QStringLiteral("paymentHistory (1).csv"),
                           QStringLiteral("paymentHistory.csv")}));
}

TEST_F(RealFilesTest, existsAndRemove) {
    put(QStringLiteral("CorvaneTenantExport.csv"), "x");
    const QString file = path(QStringLiteral("CorvaneTenantExport.csv"));
    EXPECT_TRUE(files_.exists(file));
    files_.remove(file);
    EXPECT_FALSE(files_.exists(file));
    EXPECT_THROW(files_.readAll(file), Error);
}

// A write that fails half way leaves the old file as it was and no temporary file: once for a
// file larger than the process may write (EFBIG), once for a disk that fills (a small tmpfs,
// mounted only when the tests run as root).
TEST_F(RealFilesTest, writeFailingHalfWay_keepsTheOldFileAndLeavesNoTemporaryFile) {
    put(QStringLiteral("CV-Log.txt"), "old log\r\n");
    const QByteArray big(64 * 1024, 'x');
    rlimit before{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = before;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const Error tooBig =
        errorOf([&] { files_.writeAtomically(path(QStringLiteral("CV-Log.txt")), big); });
    ::setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, oldSignal);
    EXPECT_EQ(tooBig.number(), errc::PathFileAccessError);
    EXPECT_EQ(tooBig.description(),
              QStringLiteral("Path/File access error: ") + path(QStringLiteral("CV-Log.txt")));
    EXPECT_EQ(contents(QStringLiteral("CV-Log.txt")), "old log\r\n");
    EXPECT_EQ(everything(), QStringList{QStringLiteral("CV-Log.txt")});

    if (::geteuid() != 0)
        GTEST_SKIP() << "mounting a small disk needs root";
    const QString disk = path(QStringLiteral("disk"));
    ASSERT_TRUE(QDir().mkpath(disk));
    if (::mount("tmpfs", QFile::encodeName(disk).constData(), "tmpfs", 0, "size=16k") != 0)
        GTEST_SKIP() << "no tmpfs mount here";
    const QString log = disk + QStringLiteral("/CV-Log.txt");
    files_.writeAtomically(log, "old log\r\n");
    const Error full = errorOf([&] { files_.writeAtomically(log, big); });
    const QByteArray left = files_.readAll(log);
    const QStringList entries =
        QDir(disk).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    ::umount2(QFile::encodeName(disk).constData(), MNT_DETACH);
    EXPECT_EQ(full.number(), errc::DiskFull);
    EXPECT_EQ(full.description(), QStringLiteral("Disk full: ") + log);
    EXPECT_EQ(left, "old log\r\n");
    EXPECT_EQ(entries, QStringList{QStringLiteral("CV-Log.txt")});
}

}  // namespace
}  // namespace corvane
