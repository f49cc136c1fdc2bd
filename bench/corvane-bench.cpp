// corvane-bench STEP SAMPLE_FOLDER
// Copies a sample Lodgebook folder (lodgebook-sample) into a fresh temporary folder, brings the
// program up to the step (untimed), runs the step once and prints "<step> <seconds> <peak MB>".
// Peak is the process's VmHWM after the step, so each step runs in a process of its own.
// Steps: startup, download, posting, tenants-open, tenants-sort, select-all, export; history,
// report, reversal (history-bench.h).

#include "app/Globals.h"
#include "app/frmCorvaneMain.h"
#include "enrollment/frmTenantUpdate.h"
#include "history-bench.h"
#include "payments/PaymentMatching.h"
#include "payments/PostingRun.h"
#include "payments/frmDownload.h"
#include "platform/Environment.h"
#include "platform/Files.h"
#include "platform/OptionList.h"
#include "platform/QtPrinters.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

using namespace corvane;

// Answers every question Yes and every message OK; counts them for the summary line.
class AnsweringDialogs final : public Dialogs {
public:
    int messageBox(const QString& text, MsgButtons buttons, MsgIcon,
                   const QString& title) override {
        ++messages_;
        if (verbose_)
            std::fprintf(stderr, "[%s] %s\n", qPrintable(title), qPrintable(text));
        return buttons == MsgButtons::YesNo ? kAnswerYes : kAnswerOk;
    }
    QString inputBox(const QString&, const QString&, const QString& defaultText) override {
        return defaultText;
    }
    void setBusyPointer(bool) override {}
    int messages() const { return messages_; }
    void setVerbose(bool verbose) { verbose_ = verbose; }

private:
    int messages_ = 0;
    bool verbose_ = false;
};

// The program's folder is the sample folder; its user/ subfolder is the user's profile.
class SampleEnvironment final : public Environment {
public:
    explicit SampleEnvironment(QString profile) : profile_(std::move(profile)) {}
    QString variable(const QString& name) override {
        return name == QLatin1String("USERPROFILE") ? profile_ : real_.variable(name);
    }
    bool hasVariable(const QString& name) override {
        return name == QLatin1String("USERPROFILE") || real_.hasVariable(name);
    }
    QDate today() override { return real_.today(); }
    QDateTime now() override { return real_.now(); }

private:
    QString profile_;
    RealEnvironment real_;
};

class NoShell final : public Shell {
public:
    void open(const QString&) override {}
    void openDocument(const QString&) override {}
};

class NoSessions final : public Sessions {
public:
    QString currentSessionId() override { return QStringLiteral("0"); }
};

bool copyFolder(const QString& from, const QString& to) {
    QDirIterator it(from, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    const QDir source(from);
    while (it.hasNext()) {
        const QString file = it.next();
        const QString target = to + QLatin1Char('/') + source.relativeFilePath(file);
        if (!QDir().mkpath(QFileInfo(target).path()) || !QFile::copy(file, target))
            return false;
    }
    return true;
}

double peakMegabytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return -1;
}

template <typename T>
T* child(QWidget& parent, const char* name) {
    T* found = parent.findChild<T*>(QString::fromLatin1(name));
    if (!found) {
        std::fprintf(stderr, "corvane-bench: no control %s\n", name);
        std::exit(3);
    }
    return found;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: corvane-bench STEP SAMPLE_FOLDER\n");
        return 2;
    }
    const QString step = args[1];
    QTemporaryDir work;
    if (!work.isValid() || !copyFolder(QDir(args[2]).absolutePath(), work.path())) {
        std::fprintf(stderr, "corvane-bench: cannot copy %s\n", qPrintable(args[2]));
        return 2;
    }

    AnsweringDialogs dialogs;
    dialogs.setVerbose(qEnvironmentVariableIsSet("CORVANE_BENCH_VERBOSE"));
    RealFiles files;
    SampleEnvironment environment(work.filePath(QStringLiteral("user")));
    NoShell shell;
    QtPrinters printers;
    NoSessions sessions;
    Globals globals(Platform{dialogs, files, environment, shell, printers, sessions}, work.path());

    QElapsedTimer timer;
    auto timed = [&timer](const std::function<void()>& run) {
        timer.start();
        run();
        return timer.nsecsElapsed() / 1e9;
    };

    frmCorvaneMain menu(globals);
    double seconds = 0;
    if (step == QLatin1String("startup")) {
        seconds = timed([&] {
            if (!menu.Load())
                std::exit(4);
        });
    } else {
        if (!menu.Load()) {
            std::fprintf(stderr, "corvane-bench: start-up failed\n");
            return 4;
        }
        if (bench::isHistoryStep(step)) {
            seconds = bench::runHistoryStep(step, globals, menu);
            if (seconds < 0)
                return 5;
        } else if (step == QLatin1String("download") || step == QLatin1String("posting")) {
            frmDownload screen(globals, &menu);
            if (step == QLatin1String("download")) {
                seconds = timed([&] { screen.Load(); });
            } else {
                screen.Load();
                PostingChoices choices;
                choices.postMgmtFees = true;
                choices.createDeposit = true;
                choices.depositNumber = QStringLiteral("4242");
                // The reviewer deletes what cannot be posted: payments of no tenant ("T#...")
                // and of a tenant without a unit.
                std::vector<StagedRow> rows;
                for (const StagedRow& row : screen.stagedPayments().rows()) {
                    if (row.cell(staged::UnitAddress) != kTidNotFoundText)
                        rows.push_back(row);
                }
                std::fprintf(stderr, "corvane-bench: posting %zu of %d rows\n", rows.size(),
                             screen.StagedCount());
                PostingOutcome outcome = PostingOutcome::Stopped;
                seconds = timed([&] { outcome = PostingRun(globals).run(rows, choices); });
                if (outcome != PostingOutcome::Completed) {
                    std::fprintf(stderr, "corvane-bench: posting stopped\n");
                    return 5;
                }
            }
            if (screen.StagedCount() == 0) {
                std::fprintf(stderr, "corvane-bench: nothing was loaded\n");
                return 5;
            }
        } else {
            frmTenantUpdate screen(globals, &menu);
            if (step == QLatin1String("tenants-open")) {
                seconds = timed([&] { screen.Load(); });
            } else {
                screen.Load();
                if (step == QLatin1String("tenants-sort")) {
                    OptionList* sortBy = child<OptionList>(screen, "optSortBy");
                    const int next = (sortBy->selectedIndex() + 1) % sortBy->count();
                    seconds = timed([&] { sortBy->setSelectedIndex(next); });
                } else if (step == QLatin1String("select-all")) {
                    QCheckBox* selectAll = child<QCheckBox>(screen, "chkSelectAll");
                    seconds = timed([&] { selectAll->click(); });
                } else if (step == QLatin1String("export")) {
                    QPushButton* exportButton = child<QPushButton>(screen, "cmdExport");
                    seconds = timed([&] { exportButton->click(); });
                    if (!QFile::exists(globals.pathInProgramFolder(kTenantExportFileName))) {
                        std::fprintf(stderr, "corvane-bench: no export file\n");
                        return 5;
                    }
                } else {
                    std::fprintf(stderr, "corvane-bench: unknown step %s\n", qPrintable(step));
                    return 2;
                }
            }
        }
    }
    std::printf("%s %.4f %.1f\n", qPrintable(step), seconds, peakMegabytes());
    std::fprintf(stderr, "corvane-bench: %s: %d messages\n", qPrintable(step), dialogs.messages());
    return 0;
}
