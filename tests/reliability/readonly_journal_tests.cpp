#include "reliability_support.h"
#include "support/JournalSupport.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <unistd.h>

namespace corvane::test {
namespace {

// A journal that the system will not let Corvane write (a read-only mount of the file itself, in
// a folder that can be written) is refused as read-only, before any run is recorded, and left as
// it was; the posting driver is told the same and posts nothing.
TEST(ReadOnlyJournalTest, aJournalThatCannotBeWritten_isRefusedAndNothingIsPosted) {
    if (geteuid() != 0)
        GTEST_SKIP() << "mounting a read-only file needs root";
    QTemporaryDir folder;
    prepareFolder(folder.path(), 20, 30);
    openJournal(folder.path());  // a good journal
    const QString journal = journal::PostingJournal::pathIn(folder.path());
    const QByteArray path = journal.toUtf8();
    if (mount(path.constData(), path.constData(), nullptr, MS_BIND, nullptr) != 0)
        GTEST_SKIP() << "no bind mount here";
    struct Unmount {
        QByteArray path;
        ~Unmount() { umount2(path.constData(), MNT_DETACH); }
    } unmount{path};
    if (mount(nullptr, path.constData(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0)
        GTEST_SKIP() << "no read-only remount here";
    const QByteArray before = fileBytes(journal);
    const QStringList ledger = ledgerDump(folder.filePath(QStringLiteral("lbdatafl.mdb")));

    try {
        openJournal(folder.path());
        ADD_FAILURE() << "a read-only journal was opened";
    } catch (const journal::JournalError& e) {
        EXPECT_EQ(e.reason(), QStringLiteral("the file or its folder is read-only"));
    }

    const DriverResult result = runDriver(folder.path());
    EXPECT_EQ(result.outcome, QStringLiteral("Stopped"));
    ASSERT_EQ(result.messages.size(), 1) << result.messages.join('\n').toStdString();
    EXPECT_EQ(result.messages[0],
              QStringLiteral("Corvane Error Message\tThe posting journal CV-Journal.db cannot be "
                             "used: the file or its folder is read-only. Corvane records every "
                             "posting run there and posts nothing without it. Move the file out "
                             "of the Lodgebook folder to start a new journal."));
    EXPECT_EQ(ledgerDump(folder.filePath(QStringLiteral("lbdatafl.mdb"))), ledger);
    EXPECT_EQ(fileBytes(journal), before);
    EXPECT_TRUE(QFile::exists(folder.filePath(QStringLiteral("paymentHistory.csv"))));
}

}  // namespace
}  // namespace corvane::test
