// corvane-bench STEP SAMPLE_FOLDER
// Copies a sample Lodgebook folder (lodgebook-sample) into a fresh temporary folder, brings the
// program up to the step (untimed), runs the step once and prints "<step> <seconds> <peak MB>".
// Peak is the process's VmHWM after the step, so each step runs in a process of its own.
// Steps: startup, download, posting, tenants-open, tenants-sort, select-all, export time the work
// with the windows never shown. The same steps with the suffix "-win" (all but startup) show the
// window as the program does and time until it has painted: the download from the moment the
// "Latest File" message is answered to the painted grid; the posting from the click on "Update
// Lodgebook Ledgers NOW" to the success message; the tenant screen's open, sort, select-all and
// export up to the repainted list. The suffix "-a11y" does the same with Qt's accessibility active,
// as when a screen reader or another assistive tool is running. history, report and reversal
// time the posting history (history-bench.h); notes and journal the duplicate guard's own
// costs (guard-bench.h); choose-open, choose-filter and remembered the choosing of a tenant for a
// payment that matches none (choose-bench.h). preview times the posting preview's plan of the
// posting step's rows (with "-win" and "-a11y" from the click on "Preview Posting..." to its
// painted window), preview-pdf the preview's PDF.

#include "app/frmCorvaneMain.h"
#include "choose-bench.h"
#include "core/Globals.h"
#include "enrollment/frmTenantUpdate.h"
#include "guard-bench.h"
#include "history-bench.h"
#include "payments/PaymentMatching.h"
#include "payments/PostingPreview.h"
#include "payments/PostingRunOf.h"
#include "payments/frmDownload.h"
#include "payments/frmPostingPreview.h"
#include "platform/Environment.h"
#include "platform/Files.h"
#include "platform/OptionList.h"
#include "platform/QtPrinters.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

#ifdef CORVANE_BENCH_ACCESSIBILITY
#include <QtGui/private/qguiapplication_p.h>
#include <QtGui/qpa/qplatformaccessibility.h>
#include <QtGui/qpa/qplatformintegration.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>

namespace {

using namespace corvane;

// Answers every question Yes and every message OK; counts them for the summary line. A watcher,
// when set, sees each message as it is shown (before it is answered).
class AnsweringDialogs final : public Dialogs {
public:
    int messageBox(const QString& text, MsgButtons buttons, MsgIcon,
                   const QString& title) override {
        ++messages_;
        if (verbose_)
            std::fprintf(stderr, "[%s] %s\n", qPrintable(title), qPrintable(text));
        if (watcher_)
            watcher_(title, text);
        return buttons == MsgButtons::YesNo ? kAnswerYes : kAnswerOk;
    }
    void setWatcher(std::function<void(const QString&, const QString&)> watcher) {
        watcher_ = std::move(watcher);
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
    std::function<void(const QString&, const QString&)> watcher_;
};

// Notes every paint of a widget (a grid's viewport): the paint has been done once the event loop
// returns after it was seen.
class PaintWatch final : public QObject {
public:
    explicit PaintWatch(QWidget* widget) { widget->installEventFilter(this); }
    void reset() { painted_ = false; }
    bool painted() const { return painted_; }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            painted_ = true;
        return false;
    }

private:
    bool painted_ = false;
};

// Processes events until the watched widget has painted (and the events its paint posted are
// handled); exits when nothing is painted within a minute.
void processUntilPainted(const PaintWatch& watch) {
    QElapsedTimer limit;
    limit.start();
    while (!watch.painted()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (limit.elapsed() > 60000) {
            std::fprintf(stderr, "corvane-bench: the window never painted\n");
            std::exit(6);
        }
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

// Qt's accessibility as an assistive tool switches it on: the platform's accessibility goes
// active, and the widgets then build accessible interfaces and send their events.
bool activateAccessibility() {
#ifdef CORVANE_BENCH_ACCESSIBILITY
    QPlatformAccessibility* accessibility =
        QGuiApplicationPrivate::platformIntegration()->accessibility();
    if (accessibility == nullptr)
        return false;
    accessibility->setActive(true);
    return QAccessible::isActive();
#else
    return false;
#endif
}

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

double processCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
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
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: corvane-bench STEP SAMPLE_FOLDER\n");
        return 2;
    }
    const QString name = args[1];
    QString step = name;
    const bool accessible = step.endsWith(QLatin1String("-a11y"));
    const bool windowed = accessible || step.endsWith(QLatin1String("-win"));
    if (windowed)
        step.truncate(step.lastIndexOf(QLatin1Char('-')));
    if (accessible && !activateAccessibility()) {
        std::fprintf(stderr, "corvane-bench: Qt's accessibility cannot be made active\n");
        return 2;
    }
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

    // The step's time, and the processor time it took (all threads), for comparing runs on a
    // busy machine.
    QElapsedTimer timer;
    double seconds = -1;
    double cpuSeconds = -1;
    double cpuAtStart = 0;
    auto startTimer = [&] {
        cpuAtStart = processCpuSeconds();
        timer.start();
    };
    auto stopTimer = [&] {
        seconds = timer.nsecsElapsed() / 1e9;
        cpuSeconds = processCpuSeconds() - cpuAtStart;
    };
    auto timed = [&](const std::function<void()>& run) {
        startTimer();
        run();
        stopTimer();
    };
    // The window's steps: `act` runs the step, the time runs on until the grid has repainted.
    auto timedUntilPainted = [&](QTableView* grid, const std::function<void()>& act) {
        PaintWatch watch(grid->viewport());
        timed([&] {
            act();
            watch.reset();
            grid->viewport()->update();
            processUntilPainted(watch);
        });
    };
    auto unknownStep = [&] {
        std::fprintf(stderr, "corvane-bench: unknown step %s\n", qPrintable(name));
        std::exit(2);
    };

    frmCorvaneMain menu(globals);
    if (step == QLatin1String("startup")) {
        if (windowed)
            unknownStep();
        timed([&] {
            if (!menu.Load())
                std::exit(4);
        });
    } else {
        if (!menu.Load()) {
            std::fprintf(stderr, "corvane-bench: start-up failed\n");
            return 4;
        }
        if (windowed) {
            menu.show();
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        }
        if (bench::isHistoryStep(step)) {
            seconds = bench::runHistoryStep(step, globals, menu);
            if (seconds < 0)
                return 5;
        } else if (bench::isChooseStep(step)) {
            seconds = bench::runChooseStep(step, windowed, globals, menu);
            if (seconds < 0)
                return 5;
        } else if (bench::isGuardStep(step)) {
            seconds = bench::runGuardStep(step, globals, menu);
            if (seconds < 0)
                return 5;
        } else if (step == QLatin1String("preview") || step == QLatin1String("preview-pdf")) {
            // The posting preview of the rows the posting step posts, with fees and a deposit:
            // the plan alone; with "-win" from the click on "Preview Posting..." to the painted
            // window; "preview-pdf" its PDF.
            frmDownload screen(globals, &menu);
            screen.Load();
            std::vector<Payment> rows;
            for (const Payment& row : screen.stagedPayments().rows()) {
                if (row.unitAddress.has_value())
                    rows.push_back(row);
            }
            screen.stagedPayments().setRows(std::move(rows));
            screen.TransactionTotal();
            child<QCheckBox>(screen, "chkPostMgmtFees")->setChecked(true);
            child<QCheckBox>(screen, "chkCreateDeposit")->setChecked(true);
            child<QLineEdit>(screen, "txtCreateDeposit")->setText(QStringLiteral("4242"));
            PostingChoices choices;
            choices.postMgmtFees = true;
            choices.createDeposit = true;
            choices.depositNumber = QStringLiteral("4242");
            if (step == QLatin1String("preview-pdf")) {
                if (windowed)
                    unknownStep();
                const PostingPreview preview = PostingPreview::make(
                    globals.LedgerDb.get(), globals.preferences, globals.environment().today(),
                    screen.stagedPayments().rows(), choices);
                timed([&] {
                    WritePostingPreview(preview, work.filePath(QStringLiteral("preview.pdf")));
                });
            } else if (!windowed) {
                timed([&] {
                    PostingPreview::make(globals.LedgerDb.get(), globals.preferences,
                                         globals.environment().today(),
                                         screen.stagedPayments().rows(), choices);
                });
            } else {
                screen.show();
                const PaintWatch grid(child<QTableView>(screen, "gridACHDownload")->viewport());
                processUntilPainted(grid);
                bool shown = false;
                QTimer::singleShot(0, [&] {
                    auto* window =
                        qobject_cast<frmPostingPreview*>(QApplication::activeModalWidget());
                    if (!window)
                        return;
                    PaintWatch watch(window->findChild<QTableView*>(
                                               QStringLiteral("gridEntriesbyTenant"))
                                         ->viewport());
                    processUntilPainted(watch);
                    stopTimer();
                    shown = true;
                    window->close();
                });
                startTimer();
                child<QPushButton>(screen, "cmdPreview")->click();
                if (!shown) {
                    std::fprintf(stderr, "corvane-bench: the preview was not shown\n");
                    return 5;
                }
            }
        } else if (step == QLatin1String("download") || step == QLatin1String("posting")) {
            frmDownload screen(globals, &menu);
            QTableView* grid = child<QTableView>(screen, "gridACHDownload");
            PaintWatch watch(grid->viewport());
            if (step == QLatin1String("download") && windowed) {
                // From the answer to "Latest File" to the painted grid.
                dialogs.setWatcher([&](const QString& title, const QString&) {
                    if (title == QLatin1String("Latest File"))
                        startTimer();
                });
                screen.Load();
                screen.show();
                processUntilPainted(watch);
                dialogs.setWatcher({});
                if (!timer.isValid()) {
                    std::fprintf(stderr, "corvane-bench: no \"Latest File\" message\n");
                    return 5;
                }
                stopTimer();
            } else if (step == QLatin1String("download")) {
                timed([&] { screen.Load(); });
            } else {
                screen.Load();
                if (windowed) {
                    screen.show();
                    processUntilPainted(watch);
                }
                // The reviewer deletes what cannot be posted: payments of no tenant ("T#...")
                // and of a tenant without a unit.
                std::vector<Payment> rows;
                for (const Payment& row : screen.stagedPayments().rows()) {
                    if (row.unitAddress.has_value())
                        rows.push_back(row);
                }
                std::fprintf(stderr, "corvane-bench: posting %zu of %d rows\n", rows.size(),
                             screen.StagedCount());
                if (windowed) {
                    // As the reviewer leaves them, with fees and a deposit chosen; the time runs
                    // from the click to the success message.
                    screen.stagedPayments().setRows(std::move(rows));
                    screen.TransactionTotal();
                    child<QCheckBox>(screen, "chkPostMgmtFees")->setChecked(true);
                    child<QCheckBox>(screen, "chkCreateDeposit")->setChecked(true);
                    child<QLineEdit>(screen, "txtCreateDeposit")->setText(QStringLiteral("4242"));
                    processUntilPainted(watch);
                    dialogs.setWatcher([&](const QString&, const QString& text) {
                        if (text == QLatin1String("Your Lodgebook Ledgers are now updated."))
                            stopTimer();
                    });
                    startTimer();
                    child<QPushButton>(screen, "cmdUpdate")->click();
                    dialogs.setWatcher({});
                    if (!screen.LedgersUpdated() || seconds < 0) {
                        std::fprintf(stderr, "corvane-bench: posting stopped\n");
                        return 5;
                    }
                } else {
                    PostingChoices choices;
                    choices.postMgmtFees = true;
                    choices.createDeposit = true;
                    choices.depositNumber = QStringLiteral("4242");
                    PostingOutcome outcome = PostingOutcome::Stopped;
                    timed([&] {
                        outcome = PostingRunOf(globals).run(rows, choices, screen.loadedFile());
                    });
                    if (outcome != PostingOutcome::Completed) {
                        std::fprintf(stderr, "corvane-bench: posting stopped\n");
                        return 5;
                    }
                }
            }
            if (screen.StagedCount() == 0) {
                std::fprintf(stderr, "corvane-bench: nothing was loaded\n");
                return 5;
            }
        } else {
            frmTenantUpdate screen(globals, &menu);
            QTableView* grid = child<QTableView>(screen, "gridACH");
            if (step == QLatin1String("tenants-open")) {
                if (windowed) {
                    timedUntilPainted(grid, [&] {
                        screen.Load();
                        screen.show();
                    });
                } else {
                    timed([&] { screen.Load(); });
                }
            } else {
                screen.Load();
                if (windowed) {
                    PaintWatch watch(grid->viewport());
                    screen.show();
                    processUntilPainted(watch);
                }
                std::function<void()> act;
                if (step == QLatin1String("tenants-sort")) {
                    OptionList* sortBy = child<OptionList>(screen, "optSortBy");
                    const int next = (sortBy->selectedIndex() + 1) % sortBy->count();
                    act = [sortBy, next] { sortBy->setSelectedIndex(next); };
                } else if (step == QLatin1String("select-all")) {
                    QCheckBox* selectAll = child<QCheckBox>(screen, "chkSelectAll");
                    act = [selectAll] { selectAll->click(); };
                } else if (step == QLatin1String("export")) {
                    QPushButton* exportButton = child<QPushButton>(screen, "cmdExport");
                    act = [exportButton] { exportButton->click(); };
                } else {
                    unknownStep();
                }
                if (windowed) {
                    timedUntilPainted(grid, act);
                } else {
                    timed(act);
                }
                if (step == QLatin1String("export") &&
                    !QFile::exists(globals.pathInProgramFolder(kTenantExportFileName))) {
                    std::fprintf(stderr, "corvane-bench: no export file\n");
                    return 5;
                }
            }
        }
    }
    std::printf("%s %.4f %.1f\n", qPrintable(name), seconds, peakMegabytes());
    std::fprintf(stderr, "corvane-bench: %s: %d messages, %.4f s of processor time\n",
                 qPrintable(name), dialogs.messages(), cpuSeconds);
    return 0;
}
