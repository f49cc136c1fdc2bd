// corvane_bench STEP FOLDER
//   Runs Corvane's windows on a Lodgebook folder written by lodgebook-sample (the folder is
//   changed: payments are posted, flags set, files written) and times one step. Everything the
//   step needs first (start-up, opening the screen) runs untimed before it. Prints one line:
//     STEP <seconds> <peak resident kB of the process after the step> <messages shown>
//   Steps: startup, download (open the payment screen: load and match), post (post every row with
//   management fees and a deposit), tenants (open the tenant screen), sort, filter, selectall,
//   export.
// corvane_bench exec COMMAND ARGS...
//   Runs COMMAND as a child with its output discarded and prints "exec <seconds> <peak kB> <exit
//   status>" of the child, so that a peer program is measured the same way.
//
// Every message box is answered Yes (or OK) and counted; nothing waits for a person.

#include "app/Globals.h"
#include "app/frmCorvaneMain.h"
#include "enrollment/frmTenantUpdate.h"
#include "payments/PaymentMatching.h"
#include "payments/frmDownload.h"
#include "platform/Environment.h"
#include "platform/Files.h"
#include "platform/OptionList.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>

#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <set>
#include <vector>

namespace corvane::bench {
namespace {

// Answers every question Yes and every message OK; keeps the count and the last text.
class AnsweringDialogs final : public Dialogs {
public:
    int messageBox(const QString& text, MsgButtons buttons, MsgIcon, const QString&) override {
        ++shown_;
        last_ = text;
        return buttons == MsgButtons::YesNo ? kAnswerYes : kAnswerOk;
    }
    QString inputBox(const QString&, const QString&, const QString& defaultText) override {
        ++shown_;
        return defaultText;
    }
    void setBusyPointer(bool) override {}
    int shown() const { return shown_; }
    const QString& last() const { return last_; }

private:
    int shown_ = 0;
    QString last_;
};

class NoShell final : public Shell {
public:
    void open(const QString&) override {}
};

class NoPrinters final : public Printers {
public:
    QStringList installedPrinters() override { return {}; }
    QString currentPrinter() override { return {}; }
    void setCurrentPrinter(const QString&) override {}
    std::unique_ptr<Printer> startJob(const QString&) override { return nullptr; }
};

class OneSession final : public Sessions {
public:
    QString currentSessionId() override { return QStringLiteral("0"); }
};

// The peak resident set of this process so far, in kB (VmHWM).
long peakResidentKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double secondsOf(const std::function<void()>& step) {
    const auto start = std::chrono::steady_clock::now();
    step();
    QCoreApplication::processEvents();  // the screen as the user first sees it
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

template <typename T>
T* child(QWidget& window, const char* name) {
    T* widget = window.findChild<T*>(QString::fromLatin1(name));
    if (widget == nullptr) {
        std::fprintf(stderr, "corvane_bench: no control %s\n", name);
        std::exit(3);
    }
    return widget;
}

// "T<TenantID>" of every tenant with a unit, read from the ledger file directly.
std::set<QString> tenantsWithUnit(const QString& folder) {
    std::set<QString> tids;
    sqlite3* db = nullptr;
    const QByteArray path = QDir(folder).filePath(kLedgerFileName).toUtf8();
    if (sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* query = nullptr;
        sqlite3_prepare_v2(db, "SELECT DISTINCT UTenantID FROM Units", -1, &query, nullptr);
        while (query != nullptr && sqlite3_step(query) == SQLITE_ROW)
            tids.insert(QStringLiteral("T%1").arg(sqlite3_column_int64(query, 0)));
        sqlite3_finalize(query);
    }
    sqlite3_close(db);
    return tids;
}

int runStep(const QString& step, const QString& folder) {
    AnsweringDialogs dialogs;
    RealFiles files;
    RealEnvironment environment;
    NoShell shell;
    NoPrinters printers;
    OneSession sessions;
    // The sample folder keeps its Downloads folder under user/.
    qputenv("USERPROFILE", QDir(folder).filePath(QStringLiteral("user")).toLocal8Bit());
    Globals globals(Platform{dialogs, files, environment, shell, printers, sessions}, folder);

    double seconds = 0;
    bool ok = true;
    frmCorvaneMain menu(globals);
    auto startUp = [&] {
        if (!menu.Load()) {
            std::fprintf(stderr, "corvane_bench: start-up failed: %s\n", qPrintable(dialogs.last()));
            std::exit(3);
        }
        menu.show();
    };
    if (step == QLatin1String("startup")) {
        seconds = secondsOf(startUp);
    } else {
        startUp();
        QCoreApplication::processEvents();
    }

    std::unique_ptr<frmDownload> download;
    auto openDownload = [&] {
        download = std::make_unique<frmDownload>(globals, &menu);
        download->Load();
        download->show();
    };
    if (step == QLatin1String("download")) {
        seconds = secondsOf(openDownload);
        ok = download->StagedCount() > 0;
    } else if (step == QLatin1String("post")) {
        openDownload();
        QCoreApplication::processEvents();
        // The user first deletes the payments that cannot be posted: those of no known tenant
        // and those of a tenant without a unit.
        const std::set<QString> withUnit = tenantsWithUnit(folder);
        std::vector<StagedRow> postable;
        for (const StagedRow& row : download->stagedPayments().rows()) {
            if (withUnit.count(row.cell(staged::TID)) != 0 &&
                row.cell(staged::TenantName) != kTenantNotFoundText)
                postable.push_back(row);
        }
        download->stagedPayments().setRows(std::move(postable));
        download->TransactionTotal();
        child<QCheckBox>(*download, "chkPostMgmtFees")->setChecked(true);
        child<QCheckBox>(*download, "chkCreateDeposit")->setChecked(true);
        child<QLineEdit>(*download, "txtCreateDeposit")->setText(QStringLiteral("4711"));
        seconds = secondsOf([&] { child<QPushButton>(*download, "cmdUpdate")->click(); });
        ok = download->LedgersUpdated();
    }

    std::unique_ptr<frmTenantUpdate> tenants;
    auto openTenants = [&] {
        tenants = std::make_unique<frmTenantUpdate>(globals, &menu);
        tenants->Load();
        tenants->show();
    };
    if (step == QLatin1String("tenants")) {
        seconds = secondsOf(openTenants);
    } else if (step == QLatin1String("sort") || step == QLatin1String("filter") ||
               step == QLatin1String("selectall") || step == QLatin1String("export")) {
        openTenants();
        QCoreApplication::processEvents();
        if (step == QLatin1String("sort")) {
            // From the rental unit address order to the tenant name order.
            seconds = secondsOf([&] { child<OptionList>(*tenants, "optSortBy")->setSelectedIndex(3); });
        } else if (step == QLatin1String("filter")) {
            // From all tenants to the enrolled ones only.
            seconds = secondsOf([&] { child<OptionList>(*tenants, "optDisplay")->setSelectedIndex(0); });
        } else if (step == QLatin1String("selectall")) {
            seconds = secondsOf([&] { child<QCheckBox>(*tenants, "chkSelectAll")->click(); });
        } else {
            seconds = secondsOf([&] { child<QPushButton>(*tenants, "cmdExport")->click(); });
            ok = QFile::exists(globals.pathInProgramFolder(kTenantExportFileName));
        }
    }
    if (seconds == 0 && step != QLatin1String("startup")) {
        std::fprintf(stderr, "corvane_bench: unknown step %s\n", qPrintable(step));
        return 2;
    }
    if (!ok) {
        std::fprintf(stderr, "corvane_bench: %s did not complete; last message: %s\n",
                     qPrintable(step), qPrintable(dialogs.last()));
        return 3;
    }
    std::printf("%s %.4f %ld %d\n", qPrintable(step), seconds, peakResidentKb(), dialogs.shown());
    return 0;
}

int runChild(char** argv) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        execvp(argv[0], argv);
        std::_Exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) < 0) {
        std::perror("corvane_bench exec");
        return 2;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const int exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::printf("exec %.4f %ld %d\n", seconds, usage.ru_maxrss, exitStatus);
    return exitStatus;
}

}  // namespace
}  // namespace corvane::bench

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "exec") == 0)
        return corvane::bench::runChild(argv + 2);
    if (argc != 3) {
        std::fprintf(stderr, "usage: corvane_bench STEP FOLDER | corvane_bench exec COMMAND...\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return corvane::bench::runStep(QString::fromLocal8Bit(argv[1]),
                                   QDir(QString::fromLocal8Bit(argv[2])).absolutePath());
}
