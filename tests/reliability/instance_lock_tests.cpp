#include "platform/InstanceLock.h"
#include "reliability_support.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <QtEndian>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

namespace corvane::test {
namespace {

using Result = InstanceLock::Result;

bool readExactly(int fd, char* buffer, size_t size) {
    for (size_t done = 0; done < size;) {
        const ssize_t n = read(fd, buffer + done, size - done);
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Presses Return on the screen of a program that runs on Qt's VNC platform at `port`, as a
// VNC viewer would (protocol 3.3, no security). False when no screen answers.
bool pressReturnOverVnc(quint16 port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    char version[12], security[4], init[24];
    ok = ok && readExactly(fd, version, sizeof version) && write(fd, "RFB 003.003\n", 12) == 12 &&
         readExactly(fd, security, sizeof security) && write(fd, "\1", 1) == 1 &&
         readExactly(fd, init, sizeof init);
    if (ok) {
        const quint32 nameLength = qFromBigEndian<quint32>(init + 20);
        QByteArray name(static_cast<qsizetype>(nameLength), '\0');
        ok = readExactly(fd, name.data(), nameLength);
    }
    for (const char down : {'\1', '\0'}) {
        const char key[8] = {4, down, 0, 0, 0, 0, '\xff', '\x0d'};  // KeyEvent, XK_Return
        ok = ok && write(fd, key, sizeof key) == sizeof key;
    }
    close(fd);
    return ok;
}

TEST(InstanceLockTest, secondLockOfTheSameFolder_isHeldByAnotherUntilReleased) {
    QTemporaryDir folder, other;
    InstanceLock first, second, elsewhere;
    EXPECT_EQ(first.acquire(folder.path()), Result::Acquired);
    EXPECT_EQ(second.acquire(folder.path()), Result::HeldByAnother);
    EXPECT_EQ(elsewhere.acquire(other.path()), Result::Acquired);
    first.release();
    EXPECT_EQ(second.acquire(folder.path()), Result::Acquired);
}

TEST(InstanceLockTest, holderKilled_theSystemReleasesTheLock) {
    QTemporaryDir folder;
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t holder = fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        InstanceLock lock;
        const char byte = lock.acquire(folder.path()) == Result::Acquired ? 'A' : 'F';
        [[maybe_unused]] const auto written = write(ready[1], &byte, 1);
        pause();
        _exit(0);
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    EXPECT_EQ(byte, 'A');
    InstanceLock lock;
    EXPECT_EQ(lock.acquire(folder.path()), Result::HeldByAnother);
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    EXPECT_EQ(lock.acquire(folder.path()), Result::Acquired);
    close(ready[0]);
    close(ready[1]);
}

// Two real copies of the program in one Lodgebook folder: the second ends with a failure status
// at once (after its message), the first keeps running.
TEST(InstanceLockTest, secondCorvaneInTheSameFolder_endsAndTheFirstKeepsRunning) {
    QTemporaryDir folder;
    prepareFolder(folder.path(), 12, 5);
    const QString program = folder.filePath(QStringLiteral("corvane"));
    ASSERT_TRUE(QFile::copy(builtExecutable(QStringLiteral("corvane")), program));
    QFile::setPermissions(program, QFile::permissions(program) | QFile::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("USERPROFILE"), folder.filePath(QStringLiteral("user")));

    QProcess first;
    first.setProcessEnvironment(env);
    first.start(program, {});
    ASSERT_TRUE(first.waitForStarted());
    // Wait (bounded) until the first copy holds the folder's lock.
    InstanceLock probe;
    Result seen = Result::Acquired;
    for (int i = 0; i < 600 && (seen = probe.acquire(folder.path())) == Result::Acquired; ++i) {
        probe.release();
        QThread::msleep(50);
    }
    probe.release();
    ASSERT_EQ(seen, Result::HeldByAnother);

    // The second copy shows its message on a screen the test can reach; Return closes it, as
    // the user would.
    // Qt's VNC platform keeps its screen buffers until the process ends; a leak check of the
    // program (sanitizer builds) is told so and still checks everything else.
    const QString suppressions = folder.filePath(QStringLiteral("lsan-qt-vnc.supp"));
    QFile supp(suppressions);
    ASSERT_TRUE(supp.open(QIODevice::WriteOnly));
    supp.write("leak:libqvnc.so\n");
    supp.close();
    const QString lsan = env.value(QStringLiteral("LSAN_OPTIONS"));
    env.insert(QStringLiteral("LSAN_OPTIONS"),
               (lsan.isEmpty() ? QString() : lsan + QLatin1Char(':')) +
                   QStringLiteral("suppressions=") + suppressions);
    QProcess second;
    const quint16 port = static_cast<quint16>(20000 + getpid() % 20000);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("vnc:port=%1").arg(port));
    second.setProcessEnvironment(env);
    second.start(program, {});
    ASSERT_TRUE(second.waitForStarted());
    bool pressed = false;
    for (int i = 0; i < 200 && !pressed && second.state() == QProcess::Running; ++i) {
        QThread::msleep(100);
        pressed = pressReturnOverVnc(port);
    }
    EXPECT_TRUE(pressed) << "no message screen to answer";
    const bool ended = second.waitForFinished(30000);
    if (!ended) {
        second.kill();
        second.waitForFinished();
    }
    EXPECT_TRUE(ended) << "the second copy did not end";
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit)
        << second.readAllStandardError().right(3000).toStdString();
    EXPECT_NE(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);
    first.kill();
    first.waitForFinished();
}

}  // namespace
}  // namespace corvane::test
