#include "reliability_support.h"

#include "SampleFolder.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>
#include <cstdio>

namespace corvane::test {

QString builtExecutable(const QString& relativePath) {
    return QStringLiteral(CORVANE_TEST_BINARY_DIR "/") + relativePath;
}

void prepareFolder(const QString& dir, int tenants, int payments, bool crlf) {
    lodgebook::SampleOptions options;
    options.tenants = tenants;
    options.payments = payments;
    options.crlfPayments = crlf;
    lodgebook::writeSampleFolder(dir, options);
    const QString download = dir + QStringLiteral("/user/Downloads/paymentHistory.csv");
    ASSERT_TRUE(QFile::copy(download, dir + QStringLiteral("/paymentHistory.csv")));
    // The sample's tenant without a unit would stop every run; give it one, as Lodgebook would.
    const QString ledger = dir + QStringLiteral("/lbdatafl.mdb");
    queryRows(ledger, QStringLiteral("INSERT INTO Units (UnitID, UTenantID, UAddress, UCurrBal) "
                                     "SELECT 999999, 1004, '4 Spare Lane', 0 WHERE NOT EXISTS "
                                     "(SELECT 1 FROM Units WHERE UTenantID = 1004)"));
    queryRows(ledger, QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
}

void copyFolderFiles(const QString& from, const QString& to) {
    QDir target(to);
    for (const QString& name : target.entryList(QDir::Files | QDir::Hidden))
        target.remove(name);
    QDir source(from);
    for (const QString& name : source.entryList(QDir::Files | QDir::Hidden)) {
        ASSERT_TRUE(QFile::copy(source.filePath(name), target.filePath(name)))
            << name.toStdString();
    }
}

bool startDriver(QProcess& driver, const QString& folder, const QStringList& options) {
    driver.start(builtExecutable(QStringLiteral("tests/corvane_posting_driver")),
                 QStringList{folder} + options);
    return driver.waitForStarted(30000);
}

QByteArray readOutputUntil(QProcess& driver, const QByteArray& marker) {
    QByteArray output;
    while (!output.contains(marker) && driver.waitForReadyRead(60000))
        output += driver.readAllStandardOutput();
    return output;
}

QStringList stepToPoint(QProcess& driver, int index) {
    QStringList points;
    while (points.size() <= index) {
        if (!driver.canReadLine() && !driver.waitForReadyRead(60000))
            break;
        while (driver.canReadLine() && points.size() <= index) {
            const QByteArray line = driver.readLine().trimmed();
            if (!line.startsWith("POINT "))
                continue;
            points << QString::fromUtf8(line.mid(6));
            if (points.size() <= index)
                driver.write("\n");
        }
    }
    return points;
}

DriverResult runDriver(const QString& folder, const QStringList& options, int timeoutMs) {
    QProcess process;
    DriverResult result;
    if (!startDriver(process, folder, options)) {
        ADD_FAILURE() << "the posting driver did not start";
        return result;
    }
    process.closeWriteChannel();
    result.finished = process.waitForFinished(timeoutMs);
    if (!result.finished) {
        process.kill();
        process.waitForFinished();
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.error = QString::fromUtf8(process.readAllStandardError()).trimmed();
    for (const QString& line : QString::fromUtf8(process.readAllStandardOutput()).split('\n')) {
        if (line.startsWith(QLatin1String("MSG\t")))
            result.messages << line.mid(4);
        else if (line.startsWith(QLatin1String("OUTCOME ")))
            result.outcome = line.mid(8);
        else if (line.startsWith(QLatin1String("POINT ")))
            result.points << line.mid(6);
    }
    return result;
}

LedgerHolder::LedgerHolder(const QString& ledgerPath, int holdMs, const QString& sql) {
    int ready[2], releasePipe[2];
    if (pipe(ready) != 0 || pipe(releasePipe) != 0) {
        ADD_FAILURE() << "pipe";
        return;
    }
    std::signal(SIGPIPE, SIG_IGN);  // a holder that failed has closed its end
    const QByteArray path = ledgerPath.toUtf8();
    const QByteArray statements = QByteArrayLiteral("BEGIN IMMEDIATE;") + sql.toUtf8();
    pid_ = fork();
    if (pid_ == 0) {
        close(ready[0]);
        close(releasePipe[1]);
        sqlite3* db = nullptr;
        if (sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            _exit(3);
        sqlite3_busy_timeout(db, 10000);
        if (sqlite3_exec(db, statements.constData(), nullptr, nullptr, nullptr) != SQLITE_OK) {
            std::fprintf(stderr, "ledger holder: %s\n", sqlite3_errmsg(db));
            _exit(4);
        }
        const char byte = 'L';
        if (write(ready[1], &byte, 1) != 1)
            _exit(5);
        pollfd wait{releasePipe[0], POLLIN, 0};
        poll(&wait, 1, holdMs);
        const int rc = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(db);
        _exit(rc == SQLITE_OK ? 0 : 6);
    }
    close(ready[1]);
    close(releasePipe[0]);
    releaseFd_ = releasePipe[1];
    char byte = 0;
    locked_ = pid_ > 0 && read(ready[0], &byte, 1) == 1;
    close(ready[0]);
}

int LedgerHolder::release() {
    if (pid_ > 0) {
        const char byte = 'R';
        [[maybe_unused]] const auto written = write(releaseFd_, &byte, 1);
        waitpid(pid_, &status_, 0);
        pid_ = -1;
    }
    if (releaseFd_ >= 0) {
        close(releaseFd_);
        releaseFd_ = -1;
    }
    return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
}

LedgerHolder::~LedgerHolder() {
    release();
}

}  // namespace corvane::test
