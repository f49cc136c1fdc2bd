#include "core/PostingLog.h"

#include "core/TextRules.h"
#include "platform/TextCodec.h"

namespace corvane {

bool ReadPostingLog(Files& files, Dialogs& dialogs, const QString& path,
                    PostingLogFigures& figures) {
    if (!files.exists(path)) {
        dialogs.messageBox(
            QStringLiteral("Cannot find the Corvane log file: CV-Log.txt. Please restore a copy of "
                           "that file or create a new text file (.txt) with that name."),
            MsgButtons::Ok, MsgIcon::Information, kProgramTitle);
        return false;
    }
    FieldReader reader(decodeAnsi(files.readAll(path)));
    for (int field = 0; !reader.atEnd(); ++field) {
        const QString value = reader.next();
        switch (field) {
            case 0:
                figures.lastDatePosted = value;
                break;
            case 1:
                figures.lastBalancePosted = value;
                break;
            case 2:
                if (!trimBlanks(value).isEmpty()) {
                    figures.processorSiteUrl = value;
                } else {
                    figures.processorSiteUrl =
                        dialogs.inputBox(QStringLiteral("Please enter your Vantora URL"),
                                         QStringLiteral("Vantora URL Entry"), QString());
                }
                break;
            case 3:
                figures.lastRangeFrom = value;
                break;
            case 4:
                figures.lastRangeTo = value;
                break;
            default:
                break;
        }
    }
    return true;
}

QString LastDateLabel(const PostingLogFigures& figures) {
    return QStringLiteral("Last Date Posted: ") + figures.lastDatePosted;
}

QString LastBalanceLabel(const PostingLogFigures& figures) {
    return QStringLiteral("Last Balance Posted: ") + formatCurrencyText(figures.lastBalancePosted);
}

QString LastDateRangeLabel(const PostingLogFigures& figures) {
    return QStringLiteral("Last Date Range: ") + formatDateText(figures.lastRangeFrom) +
           QStringLiteral(" to ") + formatDateText(figures.lastRangeTo);
}

void WritePostingLog(Files& files, const QString& path, const PostingLogFigures& figures) {
    const QString lines[] = {formatDateText(figures.lastDatePosted), figures.lastBalancePosted,
                             figures.processorSiteUrl, formatDateText(figures.lastRangeFrom),
                             formatDateText(figures.lastRangeTo)};
    QString text;
    for (const QString& line : lines)
        text += line + QStringLiteral("\r\n");
    // Write-then-rename: a crash leaves either the old log or the new one, never half of it.
    files.writeAtomically(path, encodeAnsi(text));
}

}  // namespace corvane
