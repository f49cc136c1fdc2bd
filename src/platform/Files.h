#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

namespace corvane {

struct FileEntry {
    QString name;       // file name without folder
    QDateTime modified; // last-modified date and time (local time)
};

// The file system as the program uses it. Every failure throws corvane::Error with the number a
// Windows program reports for it (53 file not found, 70 permission denied, 75 path/file access
// error, 76 path not found, 61 disk full) and a description that names the file.
class Files {
public:
    virtual ~Files() = default;
    // Whether a file is at `path`; a folder is not a file.
    virtual bool exists(const QString& path) = 0;
    // The ordinary, non-hidden files of a folder, in the order the file system returns them:
    // regular files, or links to regular files (a link to a device or a pipe is not listed).
    virtual QList<FileEntry> listFiles(const QString& folder) = 0;
    virtual QDateTime modifiedTime(const QString& path) = 0;
    // Copies, replacing the target; reads the source as readAll(from, maxBytes) does.
    virtual void copy(const QString& from, const QString& to, qint64 maxBytes) = 0;
    void copy(const QString& from, const QString& to) { copy(from, to, -1); }
    // Renames in one step, replacing the target if it exists (at every instant either the old or
    // the new target exists).
    virtual void rename(const QString& from, const QString& to) = 0;
    virtual void remove(const QString& path) = 0;
    // The bytes of a regular file (anything else, such as a device or a pipe, is a path/file
    // access error). With maxBytes not negative, a longer file is not read: Error 6 (overflow).
    virtual QByteArray readAll(const QString& path, qint64 maxBytes) = 0;
    QByteArray readAll(const QString& path) { return readAll(path, -1); }
    // Writes to a temporary name beside the target, flushes it to disk and renames it into
    // place, so that a crash never leaves a half-written file.
    virtual void writeAtomically(const QString& path, const QByteArray& bytes) = 0;
};

// The real file system.
class RealFiles : public Files {
public:
    bool exists(const QString& path) override;
    QList<FileEntry> listFiles(const QString& folder) override;
    QDateTime modifiedTime(const QString& path) override;
    using Files::copy;
    using Files::readAll;
    void copy(const QString& from, const QString& to, qint64 maxBytes) override;
    void rename(const QString& from, const QString& to) override;
    void remove(const QString& path) override;
    QByteArray readAll(const QString& path, qint64 maxBytes) override;
    void writeAtomically(const QString& path, const QByteArray& bytes) override;
};

}  // namespace corvane
