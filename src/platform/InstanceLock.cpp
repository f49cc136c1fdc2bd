#include "platform/InstanceLock.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace corvane {

InstanceLock::~InstanceLock() { release(); }

InstanceLock::Result InstanceLock::acquire(const QString& folder) {
    release();
    const QByteArray path = QFile::encodeName(folder + QLatin1Char('/') + lockFileName());
    int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        // A folder without write permission cannot hold the lock file; an existing lock file can
        // still be opened for reading and locked.
        fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return Result::Failed;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool held = errno == EWOULDBLOCK;
        ::close(fd);
        return held ? Result::HeldByAnother : Result::Failed;
    }
    fd_ = fd;
    return Result::Acquired;
}

void InstanceLock::release() {
    if (fd_ >= 0) {
        ::flock(fd_, LOCK_UN);
        ::close(fd_);
        fd_ = -1;
    }
}

}  // namespace corvane
