#pragma once

#include "support/QtPrinting.h"
#include "support/TestFiles.h"
#include "support/TestLedger.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <sys/types.h>

#include <ostream>

class QProcess;

namespace corvane::test {

// A build product beside the tests (the posting driver, the program).
QString builtExecutable(const QString& relativePath);

// Writes a prepared Lodgebook folder into `dir`: the sample tool's ledger, preferences and log,
// with its payment download already staged as paymentHistory.csv.
void prepareFolder(const QString& dir, int tenants, int payments, bool crlf = true);
// Copies the files of a folder (not its subfolders) into another, replacing what is there.
void copyFolderFiles(const QString& from, const QString& to);

// Starts the posting driver (tests/drivers/posting_driver.cpp) on a folder; false when it did not
// start. The caller decides when it ends (waits, kills, writes to its standard input).
bool startDriver(QProcess& driver, const QString& folder, const QStringList& options = {});
// What the driver writes to standard output up to `marker`: everything until the marker has
// been seen, or until it ends or says nothing for a minute.
QByteArray readOutputUntil(QProcess& driver, const QByteArray& marker);

// Steps a driver started with --step through its fixed points up to point number `index`
// (counted from 0), where it is left waiting; the names of the points passed, that one last.
// Fewer when the driver ended first.
QStringList stepToPoint(QProcess& driver, int index);

// What a posting driver said and how it ended.
struct DriverResult {
    bool finished = false;  // it ended by itself (not killed, not timed out)
    int exitCode = -1;
    QStringList messages;  // "title\ttext" of every message box, in order
    QString outcome;       // "Completed", "Stopped" or empty
    QStringList points;    // the names of the fixed points passed (with --step)
    QString error;         // a failure before the run ("error N: description"), when any
};
DriverResult runDriver(const QString& folder, const QStringList& options = {},
                       int timeoutMs = 120000);

// Another process that stands in for Lodgebook: it takes the ledger's write lock (and runs `sql`
// inside that transaction), then commits after `holdMs` or when released, whichever comes first.
class LedgerHolder {
public:
    LedgerHolder(const QString& ledgerPath, int holdMs, const QString& sql = {});
    ~LedgerHolder();
    LedgerHolder(const LedgerHolder&) = delete;
    LedgerHolder& operator=(const LedgerHolder&) = delete;
    // True once the holder has the write lock.
    bool locked() const { return locked_; }
    // Lets the holder commit now; waits until it has ended. Returns its exit status (0 when the
    // lock was taken and committed).
    int release();

private:
    pid_t pid_ = -1;
    int releaseFd_ = -1;
    bool locked_ = false;
    int status_ = -1;
};

}  // namespace corvane::test
