#pragma once

#include "core/Globals.h"
#include "core/Preferences.h"
#include "platform/Environment.h"
#include "platform/Files.h"
#include "platform/Printer.h"
#include "support/HookedFiles.h"
#include "support/PlatformDoubles.h"
#include "support/QtPrinting.h"
#include "support/ScriptedDialogs.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>

namespace corvane::test {

// Everything a test needs to run the program's logic or windows: its own temporary program
// folder, scripted dialogs, the real file system (with hooks), a fixed clock, and a Globals over
// them.
class TestPlatform {
public:
    TestPlatform()
        : platform_{dialogs, files, environment, shell, printers, sessions},
          globals(platform_, folder.path()) {}

    QString path(const QString& fileName) const { return folder.filePath(fileName); }
    // The six ledger preferences as a usual IDFILE.DAT gives them.
    void setUsualPreferences() {
        globals.preferences = readLedgerPreferences(
            QStringLiteral("Rent Income;B-4010"), QStringLiteral("MONTH RENT"),
            QStringLiteral("Management Fees;U-5010"), QStringLiteral("Management Fee"),
            QStringLiteral("Late Fee Received;T-4020"), QStringLiteral("Late Fee"));
    }

    QTemporaryDir folder;
    ScriptedDialogs dialogs;
    HookedFiles files;  // the real file system; a test may make a change fail
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
