#include "platform/Files.h"

#include "platform/Error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

namespace corvane {
namespace {

// Throws the error a Windows program reports for a failed file operation on `path`.
[[noreturn]] void fail(int osError, const QString& path) {
    switch (osError) {
        case ENOENT:
            if (QFileInfo(path).absoluteDir().exists()) {
                throw Error(errc::FileNotFound, QStringLiteral("File not found: ") + path);
            }
            throw Error(errc::PathNotFound, QStringLiteral("Path not found: ") + path);
        case ENOTDIR:
            throw Error(errc::PathNotFound, QStringLiteral("Path not found: ") + path);
        case EACCES:
        case EPERM:
            throw Error(errc::PermissionDenied, QStringLiteral("Permission denied: ") + path);
        case ENOSPC:
        case EDQUOT:
            throw Error(errc::DiskFull, QStringLiteral("Disk full: ") + path);
        default:
            throw Error(errc::PathFileAccessError,
                        QStringLiteral("Path/File access error: ") + path);
    }
}

// An open file descriptor, closed at the end of its scope.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return fd_; }
    // Closes now and reports the result (a late write error of some file systems shows here).
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

QByteArray nativePath(const QString& path) {
    return QFile::encodeName(path);
}

// Makes a rename or a new file in `folder` durable; file systems that cannot sync a folder
// are left alone.
void syncFolder(const QString& folder) {
    Descriptor dir(::open(nativePath(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0)
        ::fsync(dir.get());
}

bool writeFully(int fd, const QByteArray& bytes) {
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        left -= n;
    }
    return true;
}

void requireExisting(const QString& path) {
    struct stat st {};
    if (::stat(nativePath(path).constData(), &st) != 0)
        fail(errno, path);
}

}  // namespace

bool RealFiles::exists(const QString& path) {
    const QFileInfo info(path);
    return info.exists() && !info.isDir();
}

QList<FileEntry> RealFiles::listFiles(const QString& folder) {
    // QDir reports a missing or unreadable folder as an empty one, so try to open it first.
    {
        Descriptor dir(::open(nativePath(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (dir.get() < 0) {
            if (errno == ENOENT || errno == ENOTDIR) {
                throw Error(errc::PathNotFound, QStringLiteral("Path not found: ") + folder);
            }
            fail(errno, folder);
        }
    }
    QList<FileEntry> files;
    const QFileInfoList entries =
        QDir(folder).entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::Unsorted);
    files.reserve(entries.size());
    for (const QFileInfo& info : entries) {
        // QDir lists a link to a device or a pipe as a file; reading one would never end.
        struct stat st {};
        if (::stat(nativePath(info.filePath()).constData(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        files.append({info.fileName(), info.lastModified()});
    }
    return files;
}

QDateTime RealFiles::modifiedTime(const QString& path) {
    requireExisting(path);
    return QFileInfo(path).lastModified();
}

void RealFiles::copy(const QString& from, const QString& to, qint64 maxBytes) {
    const QByteArray bytes = readAll(from, maxBytes);
    writeAtomically(to, bytes);
    // Like a copy on Windows, the copy keeps the source's last-modified time.
    struct stat st {};
    if (::stat(nativePath(from).constData(), &st) == 0) {
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        ::utimensat(AT_FDCWD, nativePath(to).constData(), times, 0);
    }
}

void RealFiles::rename(const QString& from, const QString& to) {
    struct stat st {};
    if (::lstat(nativePath(from).constData(), &st) != 0)
        fail(errno, from);
    // POSIX rename replaces an existing target in one step.
    if (::rename(nativePath(from).constData(), nativePath(to).constData()) != 0)
        fail(errno, to);
    syncFolder(QFileInfo(to).absolutePath());
}

void RealFiles::remove(const QString& path) {
    if (::unlink(nativePath(path).constData()) != 0)
        fail(errno, path);
}

QByteArray RealFiles::readAll(const QString& path, qint64 maxBytes) {
    // Without waiting: opening a pipe for reading would otherwise block until a writer comes.
    Descriptor file(::open(nativePath(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.get() < 0)
        fail(errno, path);
    struct stat st {};
    if (::fstat(file.get(), &st) != 0)
        fail(errno, path);
    if (!S_ISREG(st.st_mode))
        fail(EISDIR, path);
    const auto tooLong = [&] {
        throw Error(errc::Overflow, QStringLiteral("Overflow: the file %1 is longer than %2 bytes")
                                        .arg(path)
                                        .arg(maxBytes));
    };
    if (maxBytes >= 0 && st.st_size > maxBytes)
        tooLong();
    QByteArray bytes;
    bytes.reserve(static_cast<qsizetype>(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(file.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(errno, path);
        }
        if (n == 0)
            break;
        if (maxBytes >= 0 && bytes.size() + n > maxBytes)
            tooLong();  // grown since it was measured
        bytes.append(buffer, n);
    }
    return bytes;
}

void RealFiles::writeAtomically(const QString& path, const QByteArray& bytes) {
    // QSaveFile would do the temporary file and the rename, but it neither syncs the folder nor
    // tells why it failed (disk full and permission denied look alike), so this is done here.
    const QFileInfo target(path);
    const QString folder = target.absolutePath();
    const QByteArray finalName = nativePath(path);

    mode_t mode = 0666;  // narrowed by the umask, as for any new file
    bool keepMode = false;
    struct stat existing {};
    if (::stat(finalName.constData(), &existing) == 0) {
        if (S_ISDIR(existing.st_mode))
            fail(EISDIR, path);
        mode = existing.st_mode & 07777;
        keepMode = true;
    }

    // A hidden name beside the target, so that a folder listing never offers it as a file.
    QByteArray tempName;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        tempName = nativePath(folder + QStringLiteral("/.") + target.fileName() +
                              QStringLiteral(".%1.tmp").arg(QRandomGenerator::global()->generate(),
                                                            8, 16, QLatin1Char('0')));
        fd = ::open(tempName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd < 0 && errno != EEXIST)
            fail(errno, path);
    }
    if (fd < 0)
        fail(EEXIST, path);
    Descriptor file(fd);
    auto abandon = [&](int osError) {
        file.close();
        ::unlink(tempName.constData());
        fail(osError, path);
    };
    if (keepMode && ::fchmod(file.get(), mode) != 0)
        abandon(errno);
    if (!writeFully(file.get(), bytes))
        abandon(errno);
    if (::fsync(file.get()) != 0)
        abandon(errno);
    if (!file.close()) {
        const int osError = errno;
        ::unlink(tempName.constData());
        fail(osError, path);
    }
    if (::rename(tempName.constData(), finalName.constData()) != 0) {
        const int osError = errno;
        ::unlink(tempName.constData());
        fail(osError, path);
    }
    syncFolder(folder);
}

}  // namespace corvane
