#pragma once

#include "platform/Error.h"
#include "platform/Files.h"

#include <QFileInfo>
#include <QString>

#include <functional>

namespace corvane::test {

// The real file system with a hook before and after every read of a file and every change to
// one, through which a test makes it fail (the hook throws) or stops the program there. A hook
// is called with what is done ("read", "copy", "rename", "remove" or "write") and the file (a
// rename's source, a copy's target). Free of GoogleTest, so that the posting driver uses it too.
class HookedFiles : public RealFiles {
public:
    using Hook = std::function<void(const QString& change, const QString& path)>;
    Hook before;
    Hook after;

    // Makes every write of the file named `fileName` fail as a full disk does.
    void fillDiskOnWriting(const QString& fileName) {
        before = [fileName](const QString& change, const QString& path) {
            if (change == QLatin1String("write") && QFileInfo(path).fileName() == fileName)
                throw Error(errc::DiskFull, QStringLiteral("Disk full: ") + path);
        };
    }

    using Files::copy;
    using Files::readAll;
    QByteArray readAll(const QString& path, qint64 maxBytes) override {
        QByteArray bytes;
        around(QStringLiteral("read"), path, [&] { bytes = RealFiles::readAll(path, maxBytes); });
        return bytes;
    }
    void copy(const QString& from, const QString& to, qint64 maxBytes) override {
        around(QStringLiteral("copy"), to, [&] { RealFiles::copy(from, to, maxBytes); });
    }
    void rename(const QString& from, const QString& to) override {
        around(QStringLiteral("rename"), from, [&] { RealFiles::rename(from, to); });
    }
    void remove(const QString& path) override {
        around(QStringLiteral("remove"), path, [&] { RealFiles::remove(path); });
    }
    void writeAtomically(const QString& path, const QByteArray& bytes) override {
        around(QStringLiteral("write"), path, [&] { RealFiles::writeAtomically(path, bytes); });
    }

private:
    template <typename Change>
    void around(const QString& change, const QString& path, Change run) {
        if (before)
            before(change, path);
        run();
        if (after)
            after(change, path);
    }
};

}  // namespace corvane::test
