#pragma once

#include "platform/Environment.h"
#include "platform/Printer.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QStringList>

#include <functional>
#include <memory>

namespace corvane::test {

// Doubles of the environment, the shell, the printers and the session number: no variables, a
// fixed clock, nothing opened, no printer, session "0" unless a test says otherwise. Free of
// GoogleTest, so that test drivers and fuzz targets use them too.
class FakeEnvironment final : public Environment {
public:
    QHash<QString, QString> variables;
    QDateTime clock = QDateTime(QDate(2026, 3, 14), QTime(9, 30, 0));

    QString variable(const QString& name) override { return variables.value(name); }
    bool hasVariable(const QString& name) override { return variables.contains(name); }
    QDate today() override { return clock.date(); }
    // Called before now() answers (a test makes the clock fail with it).
    std::function<void()> beforeNow;
    QDateTime now() override {
        if (beforeNow)
            beforeNow();
        return clock;
    }
};

class FakeShell final : public Shell {
public:
    QStringList opened;
    QStringList openedDocuments;
    void open(const QString& address) override { opened.append(address); }
    void openDocument(const QString& path) override { openedDocuments.append(path); }
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

}  // namespace corvane::test
