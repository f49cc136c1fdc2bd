#pragma once

#include <QObject>

class QSocketNotifier;

namespace corvane {

// Ends the program cleanly when it is asked to quit by a signal (SIGTERM, as a session's end or a
// service manager sends it, or SIGINT, Ctrl+C in the terminal that started it): the event loops
// stop as if the last window had closed, without questions, and everything is destroyed in order
// (the ledger closed, the instance lock released). The signal handler only writes a byte to a
// socket; the quitting happens in the event loop. One instance, while the application runs.
class QuitSignals final : public QObject {
    Q_OBJECT
public:
    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;

private:
    void quit();

    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace corvane
