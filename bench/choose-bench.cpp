#include "choose-bench.h"

#include "journal/PostingJournal.h"
#include "journal/RememberedTenants.h"
#include "payments/PaymentIntake.h"
#include "payments/frmChooseTenant.h"
#include "payments/frmDownload.h"
#include "platform/TextCodec.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTableView>

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace corvane::bench {
namespace {

// The processor time of this thread, to compare runs on a busy machine.
double threadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Tells the step's processor time on standard error and returns its seconds.
double done(double seconds, double cpuAtStart) {
    std::fprintf(stderr, "corvane-bench: %.4f s of processor time in the step\n",
                 threadCpuSeconds() - cpuAtStart);
    return seconds;
}

double failed(const char* why) {
    std::fprintf(stderr, "corvane-bench: %s\n", why);
    return -1;
}

// Notes a paint of the watched widget.
class Painted final : public QObject {
public:
    explicit Painted(QWidget* widget) { widget->installEventFilter(this); }
    void reset() { seen_ = false; }
    // Processes events until the widget has painted, then the events its paint posted.
    bool wait() {
        QElapsedTimer limit;
        limit.start();
        while (!seen_ && limit.elapsed() < 60000)
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        return seen_;
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            seen_ = true;
        return false;
    }

private:
    bool seen_ = false;
};

// The fields of the download's payment lines, as the line rule cuts them.
std::vector<PaymentLine> downloadLines(Globals& globals) {
    QFile file(QDir(globals.programFolder())
                   .filePath(QStringLiteral("user/Downloads/") + kPaymentFileName));
    std::vector<PaymentLine> lines;
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    for (const QString& line : selectPaymentLines(decodeAnsi(file.readAll())))
        lines.push_back(readPaymentLine(line));
    return lines;
}

}  // namespace

bool isChooseStep(const QString& step) {
    return step == QLatin1String("choose-open") || step == QLatin1String("choose-filter") ||
           step == QLatin1String("remembered");
}

double runChooseStep(const QString& step, bool windowed, Globals& globals, QWidget& menu) {
    const std::vector<PaymentLine> lines = downloadLines(globals);
    if (lines.empty() || !globals.LedgerDb)
        return failed("no download or no ledger");
    QElapsedTimer timer;
    if (step == QLatin1String("remembered")) {
        // The download loaded again and again from the staged file, each time in full: the
        // fastest load without remembered choices, then with them; the step's seconds are the
        // difference.
        frmDownload screen(globals, &menu);
        screen.Load();  // stages the download
        auto journal = journal::PostingJournal::open(globals.programFolder());
        const auto fastestLoad = [&](double& cpuSeconds) {
            double fastest = 1e9;
            cpuSeconds = 1e9;
            for (int i = 0; i < 5; ++i) {
                const double cpu = threadCpuSeconds();
                timer.start();
                screen.Load();
                fastest = std::min(fastest, timer.nsecsElapsed() / 1e9);
                cpuSeconds = std::min(cpuSeconds, threadCpuSeconds() - cpu);
            }
            return fastest;
        };
        double cpuWithout = 0, cpuWith = 0;
        const double without = fastestLoad(cpuWithout);
        // 1,000 of the accounts of no tenant (every 7th payment of the sample) remembered as
        // the tenant of the payment before.
        journal->db().exec("PRAGMA synchronous = OFF");  // the arranging is not timed
        int remembered = 0;
        for (std::size_t j = 6; j < lines.size() && remembered < 1000; j += 7, ++remembered) {
            journal::RememberedTenants(journal->db())
                .remember({QString(lines[j].account).remove(QLatin1Char(' ')),
                           lines[j - 1].account.mid(1).toLongLong(), QDate(2026, 6, 1),
                           QStringLiteral("OFFICE")});
        }
        const double with = fastestLoad(cpuWith);
        int chosen = 0;
        for (const Payment& row : screen.stagedPayments().rows())
            chosen += row.tenantChoice != journal::TenantChoice::None || row.rememberedTenantGone;
        std::fprintf(stderr,
                     "corvane-bench: the download in %.4f s (%.4f s of processor time) without "
                     "remembered choices, %.4f s (%.4f s) with %d, matching %d rows\n",
                     without, cpuWithout, with, cpuWith, remembered, chosen);
        return chosen >= remembered ? std::max(0.0, with - without)
                                    : failed("the choices did not match");
    }

    // The first payment of an account that matches no tenant: every 7th of the sample.
    const PaymentLine& fields = lines[std::min<std::size_t>(6, lines.size() - 1)];
    const ChooseTenantInput input{fields.account, fields.payerName, fields.payerAddress,
                                  fields.amount,  fields.date,      fields.transactionNumber};
    TenantCandidates candidates;
    std::unique_ptr<frmChooseTenant> window;
    const auto open = [&] {
        candidates.load(*globals.LedgerDb);
        window = std::make_unique<frmChooseTenant>(input, candidates, &menu);
    };
    if (step == QLatin1String("choose-open")) {
        const double cpu = threadCpuSeconds();
        timer.start();
        open();
        if (windowed) {
            Painted painted(window->findChild<QTableView*>()->viewport());
            window->show();
            if (!painted.wait())
                return failed("the window never painted");
        }
        const double seconds = done(timer.nsecsElapsed() / 1e9, cpu);
        return candidates.tenantCount() > 0 ? seconds : failed("no tenant listed");
    }
    if (step != QLatin1String("choose-filter"))
        return failed("unknown step");
    open();
    QTableView* grid = window->findChild<QTableView*>();
    Painted painted(grid->viewport());
    if (windowed) {
        window->show();
        QApplication::setActiveWindow(window.get());
        if (!painted.wait())
            return failed("the window never painted");
    }
    auto* search = window->findChild<QLineEdit*>(QStringLiteral("txtSearch"));
    const int before = grid->model()->rowCount();
    painted.reset();
    const double cpu = threadCpuSeconds();
    timer.start();
    QKeyEvent down(QEvent::KeyPress, Qt::Key_M, Qt::NoModifier, QStringLiteral("m"));
    QKeyEvent up(QEvent::KeyRelease, Qt::Key_M, Qt::NoModifier, QStringLiteral("m"));
    QApplication::sendEvent(search, &down);
    QApplication::sendEvent(search, &up);
    if (windowed && !painted.wait())
        return failed("the list never painted again");
    const double seconds = done(timer.nsecsElapsed() / 1e9, cpu);
    const int after = grid->model()->rowCount();
    return after > 0 && after < before ? seconds : failed("the letter filtered nothing");
}

}  // namespace corvane::bench
