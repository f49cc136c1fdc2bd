#include "core/PostingLog.h"

#include "core/TextRules.h"
#include "platform/TextCodec.h"

namespace corvane {

bool ReadPostingLog(Globals& globals) {
    const QString path = globals.pathInProgramFolder(kPostingLogFileName);
    if (!globals.files().exists(path)) {
        globals.dialogs().messageBox(
            QStringLiteral("Cannot find the Corvane log file: CV-Log.txt. Please restore a copy of "
                           "that file or create a new text file (.txt) with that name."),
            MsgButtons::Ok, MsgIcon::Information, kProgramTitle);
        return false;
    }
    FieldReader reader(decodeAnsi(globals.files().readAll(path)));
    for (int field = 0; !reader.atEnd(); ++field) {
        const QString value = reader.next();
        switch (field) {
            case 0:
                globals.postingLog.lastDatePosted = value;
                break;
            case 1:
                globals.postingLog.lastBalancePosted = value;
                break;
            case 2:
                if (!trimBlanks(value).isEmpty()) {
                    globals.postingLog.processorSiteUrl = value;
                } else {
                    globals.postingLog.processorSiteUrl =
                        globals.dialogs().inputBox(QStringLiteral("Please enter your Vantora URL"),
                                                   QStringLiteral("Vantora URL Entry"), QString());
                }
                break;
            case 3:
                globals.postingLog.lastRangeFrom = value;
                break;
            case 4:
                globals.postingLog.lastRangeTo = value;
                break;
            default:
                break;
        }
    }
    return true;
}

QString LastDateLabel(const Globals& globals) {
    return QStringLiteral("Last Date Posted: ") + globals.postingLog.lastDatePosted;
}

QString LastBalanceLabel(const Globals& globals) {
    return QStringLiteral("Last Balance Posted: ") +
           formatCurrencyText(globals.postingLog.lastBalancePosted);
}

QString LastDateRangeLabel(const Globals& globals) {
    return QStringLiteral("Last Date Range: ") + formatDateText(globals.postingLog.lastRangeFrom) +
           QStringLiteral(" to ") + formatDateText(globals.postingLog.lastRangeTo);
}

void WritePostingLog(Globals& globals) {
    const QString lines[] = {
        formatDateText(globals.postingLog.lastDatePosted), globals.postingLog.lastBalancePosted,
        globals.postingLog.processorSiteUrl, formatDateText(globals.postingLog.lastRangeFrom),
        formatDateText(globals.postingLog.lastRangeTo)};
    QString text;
    for (const QString& line : lines)
        text += line + QStringLiteral("\r\n");
    // Write-then-rename: a crash leaves either the old log or the new one, never half of it.
    globals.files().writeAtomically(globals.pathInProgramFolder(kPostingLogFileName),
                                    encodeAnsi(text));
    Q_EMIT globals.postingLogSignals().figuresChanged();
}

}  // namespace corvane
