#include "app/frmCorvaneMain.h"
#include "core/Globals.h"
#include "platform/Environment.h"
#include "platform/Files.h"
#include "platform/InstanceLock.h"
#include "platform/QtDialogs.h"
#include "platform/QtPrinters.h"
#include "platform/QuitSignals.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QTimer>

// Start-up's trace, off unless asked for (QT_LOGGING_RULES="corvane.startup.info=true").
Q_LOGGING_CATEGORY(lcStartUp, "corvane.startup", QtWarningMsg)

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvane"));
    // The program lives in Lodgebook's folder; every file it uses is found there.
    const QString programFolder = QCoreApplication::applicationDirPath();

    corvane::QtDialogs dialogs;
    corvane::RealFiles files;
    corvane::RealEnvironment environment;
    corvane::QtShell shell;
    corvane::QtPrinters printers;
    corvane::ProcSessions sessions;

    // Two copies working on the same folder could post the same payment file twice.
    corvane::InstanceLock lock;
    if (lock.acquire(programFolder) == corvane::InstanceLock::Result::HeldByAnother) {
        dialogs.messageBox(QStringLiteral("Corvane is already running for this Lodgebook folder."),
                           corvane::MsgButtons::Ok, corvane::MsgIcon::Information,
                           corvane::kProgramTitle);
        return 1;
    }

    corvane::Globals globals(
        corvane::Platform{dialogs, files, environment, shell, printers, sessions}, programFolder);
    corvane::frmCorvaneMain menu(globals);
    if (!menu.Load())
        return 1;
    menu.show();
    corvane::QuitSignals quitSignals;
    QTimer::singleShot(0, &menu, [&menu] {
        qCInfo(lcStartUp, "main menu shown: %s", qUtf8Printable(menu.windowTitle()));
    });
    // The process ends when the last window closes; the files viewer may outlive the menu.
    const int code = app.exec();
    qCInfo(lcStartUp, "exiting with %d", code);
    return code;
}
