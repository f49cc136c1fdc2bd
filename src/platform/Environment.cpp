#include "platform/Environment.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QSysInfo>
#include <QUrl>

#include <unistd.h>

namespace corvane {

QString computerName(Environment& environment) {
    const QString name = environment.variable(QStringLiteral("COMPUTERNAME"));
    return name.isEmpty() ? QSysInfo::machineHostName() : name;
}

namespace {
// There is no USERPROFILE on this platform; the user's home folder takes its place, so that the
// Downloads folder is found beneath it.
const QString kUserProfile = QStringLiteral("USERPROFILE");
}  // namespace

QString RealEnvironment::variable(const QString& name) {
    const QByteArray key = name.toLocal8Bit();
    if (qEnvironmentVariableIsSet(key.constData()))
        return qEnvironmentVariable(key.constData());
    if (name == kUserProfile)
        return QDir::homePath();
    return {};
}

bool RealEnvironment::hasVariable(const QString& name) {
    return name == kUserProfile || qEnvironmentVariableIsSet(name.toLocal8Bit().constData());
}

QDate RealEnvironment::today() {
    return QDate::currentDate();
}

QDateTime RealEnvironment::now() {
    return QDateTime::currentDateTime();
}

void QtShell::open(const QString& address) {
    const QString trimmed = address.trimmed();
    if (trimmed.isEmpty())
        return;
    // The address comes from a text file anyone may edit: only web addresses are handed to the
    // desktop, never a local program or file.
    const QUrl url = QUrl::fromUserInput(trimmed);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        return;
    }
    QDesktopServices::openUrl(url);
}

void QtShell::openDocument(const QString& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

QString ProcSessions::currentSessionId() {
    // /proc/<pid>/stat: "pid (command) state ppid pgrp session ..."; the command may itself hold
    // blanks and parentheses, so the fields are counted from the last ")".
    QFile stat(QStringLiteral("/proc/%1/stat").arg(::getpid()));
    if (!stat.open(QIODevice::ReadOnly))
        return QStringLiteral("0");
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    if (close < 0)
        return QStringLiteral("0");
    const QList<QByteArray> fields = line.mid(close + 1).simplified().split(' ');
    // fields: state, ppid, pgrp, session, ...
    if (fields.size() < 4)
        return QStringLiteral("0");
    bool ok = false;
    const qlonglong session = fields[3].toLongLong(&ok);
    if (!ok || session < 0)
        return QStringLiteral("0");
    return QString::number(session);
}

}  // namespace corvane
