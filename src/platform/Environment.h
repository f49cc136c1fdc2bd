#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

namespace corvane {

// Environment variables and the system clock.
class Environment {
public:
    virtual ~Environment() = default;
    // The value of an environment variable; empty when unset.
    virtual QString variable(const QString& name) = 0;
    virtual bool hasVariable(const QString& name) = 0;
    virtual QDate today() = 0;
    virtual QDateTime now() = 0;
};

// The computer's name: COMPUTERNAME, or the host's name when it is not set.
QString computerName(Environment& environment);

class RealEnvironment : public Environment {
public:
    QString variable(const QString& name) override;
    bool hasVariable(const QString& name) override;
    QDate today() override;
    QDateTime now() override;
};

// Opens an address with the shell's "Open" operation (the desktop's browser).
class Shell {
public:
    virtual ~Shell() = default;
    virtual void open(const QString& address) = 0;
    // Opens a file the program wrote (a report) with the desktop's viewer for its kind.
    virtual void openDocument(const QString& path) = 0;
};

class QtShell : public Shell {
public:
    void open(const QString& address) override;
    void openDocument(const QString& path) override;
};

// The session number of the running process, as decimal text; "0" when it cannot tell.
class Sessions {
public:
    virtual ~Sessions() = default;
    virtual QString currentSessionId() = 0;
};

// Walks the process list (/proc) to the running process and takes its session number.
class ProcSessions : public Sessions {
public:
    QString currentSessionId() override;
};

}  // namespace corvane
