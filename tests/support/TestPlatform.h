#pragma once

#include "app/Globals.h"
#include "platform/Environment.h"
#include "platform/Files.h"
#include "platform/Printer.h"
#include "support/ScriptedDialogs.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>

namespace corvane::test {

class FakeEnvironment final : public Environment {
public:
    QHash<QString, QString> variables;
    QDateTime clock = QDateTime(QDate(2026, 3, 14), QTime(9, 30, 0));

    QString variable(const QString& name) override { return variables.value(name); }
    bool hasVariable(const QString& name) override { return variables.contains(name); }
    QDate today() override { return clock.date(); }
    QDateTime now() override { return clock; }
};

class FakeShell final : public Shell {
public:
    QStringList opened;
    void open(const QString& address) override { opened.append(address); }
};

class FakeSessions final : public Sessions {
public:
    QString session = QStringLiteral("0");
    QString currentSessionId() override { return session; }
};

class FakePrinters final : public Printers {
public:
    QStringList installed;
    QString current;
    // Makes the printer of each job; tests that print set it.
    std::function<std::unique_ptr<Printer>()> makeJob;

    QStringList installedPrinters() override { return installed; }
    QString currentPrinter() override { return current; }
    void setCurrentPrinter(const QString& deviceName) override { current = deviceName; }
    std::unique_ptr<Printer> startJob(const QString&) override {
        return makeJob ? makeJob() : nullptr;
    }
};

// Everything a test needs to run the program's logic or windows: its own temporary program
// folder, scripted dialogs, the real file system, a fixed clock, and a Globals over them.
class TestPlatform {
public:
    TestPlatform()
        : platform_{dialogs, files, environment, shell, printers, sessions},
          globals(platform_, folder.path()) {}

    QString path(const QString& fileName) const { return folder.filePath(fileName); }

    QTemporaryDir folder;
    ScriptedDialogs dialogs;
    RealFiles files;
    FakeEnvironment environment;
    FakeShell shell;
    FakePrinters printers;
    FakeSessions sessions;

private:
    Platform platform_;

public:
    Globals globals;
};

}  // namespace corvane::test
