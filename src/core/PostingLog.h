#pragma once

#include "platform/Dialogs.h"
#include "platform/Files.h"

#include <QObject>
#include <QString>

namespace corvane {

// The five lines of the posting log (CV-Log.txt), as texts: the log keeps what it was given.
struct PostingLogFigures {
    QString lastDatePosted;
    QString lastBalancePosted;
    QString processorSiteUrl;
    QString lastRangeFrom;
    QString lastRangeTo;
};

// What the posting log's figures tell whoever shows them (the main menu connects to it), so that
// neither the log nor start-up knows a window. Whoever changes the figures emits figuresChanged.
class PostingLogSignals : public QObject {
    Q_OBJECT
Q_SIGNALS:
    // The figures changed: start-up read the log, or a posting run (or the settling of an
    // interrupted one) wrote it.
    void figuresChanged();
    // At program start, start-up read the processor's site address from the log.
    void processorSiteRead(const QString& url);
};

// Start-up: reads the log at `path` (CV-Log.txt) into `figures`, field by field (asking for the
// site address when the log holds none); the caller then emits figuresChanged. A missing log
// shows its message and returns false; nothing is filled.
bool ReadPostingLog(Files& files, Dialogs& dialogs, const QString& path,
                    PostingLogFigures& figures);

// The label texts, as the main menu shows them: "Last Date Posted: " + lastDatePosted,
// "Last Balance Posted: " + "$##,##0.00", "Last Date Range: " + from + " to " + to.
QString LastDateLabel(const PostingLogFigures& figures);
QString LastBalanceLabel(const PostingLogFigures& figures);
QString LastDateRangeLabel(const PostingLogFigures& figures);

// After a posting run: writes the five lines (CR LF, Windows-1252) to the log at `path` by
// write-then-rename; the caller, which changed the figures, then emits figuresChanged. Throws
// corvane::Error naming the file when it cannot be written.
void WritePostingLog(Files& files, const QString& path, const PostingLogFigures& figures);

}  // namespace corvane
