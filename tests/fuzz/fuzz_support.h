#pragma once

// A platform without windows or disk for the fuzz targets that run the program's own procedures.

#include "core/Globals.h"
#include "platform/Error.h"
#include "support/PlatformDoubles.h"

#include <QByteArray>
#include <QHash>
#include <QStringList>

namespace corvane::fuzz {

class QuietDialogs final : public Dialogs {
public:
    int inputs = 0;
    int messageBox(const QString&, MsgButtons b, MsgIcon, const QString&) override {
        return b == MsgButtons::YesNo ? kAnswerYes : kAnswerOk;
    }
    QString inputBox(const QString&, const QString&, const QString&) override {
        ++inputs;
        return QStringLiteral("typed");
    }
    void setBusyPointer(bool) override {}
};

// Files held in memory, so that a run costs no disk.
class MemoryFiles final : public Files {
public:
    QHash<QString, QByteArray> content;
    bool exists(const QString& path) override { return content.contains(path); }
    QList<FileEntry> listFiles(const QString&) override { return {}; }
    QDateTime modifiedTime(const QString&) override { return {}; }
    using Files::copy;
    using Files::readAll;
    void copy(const QString& from, const QString& to, qint64 maxBytes) override {
        content[to] = readAll(from, maxBytes);
    }
    void rename(const QString& from, const QString& to) override {
        content[to] = readAll(from);
        content.remove(from);
    }
    void remove(const QString& path) override { content.remove(path); }
    QByteArray readAll(const QString& path, qint64 maxBytes) override {
        const auto it = content.constFind(path);
        if (it == content.constEnd())
            throw Error(errc::FileNotFound, QStringLiteral("File not found: ") + path);
        if (maxBytes >= 0 && it->size() > maxBytes)
            throw Error(errc::Overflow, QStringLiteral("Overflow: ") + path);
        return *it;
    }
    void writeAtomically(const QString& path, const QByteArray& bytes) override {
        content[path] = bytes;
    }
};


// A Globals over the doubles above, in the program folder "/lodgebook".
class FuzzPlatform {
public:
    FuzzPlatform()
        : platform_{dialogs, files, environment, shell, printers, sessions},
          globals(platform_, QStringLiteral("/lodgebook")) {}
    QuietDialogs dialogs;
    MemoryFiles files;
    test::FakeEnvironment environment;
    test::FakeShell shell;
    test::FakePrinters printers;
    test::FakeSessions sessions;

private:
    Platform platform_;

public:
    Globals globals;
};

}  // namespace corvane::fuzz
