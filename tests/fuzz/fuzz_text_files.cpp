// The text files as the program writes and reads them: any bytes survive the ANSI code page both
// ways, any bytes read as the posting log and as IDFILE.DAT give values or a typed error, and a
// posting log written then read gives back the values that its five lines can carry.

#include "FuzzCheck.h"
#include "core/PostingLog.h"
#include "core/Preferences.h"
#include "core/TextRules.h"
#include "fuzz_support.h"
#include "platform/TextCodec.h"

#include <cstddef>
#include <cstdint>

using namespace corvane;

namespace {

// A value that the log's five unquoted lines can carry unchanged.
bool loggable(const QString& value) {
    return decodeAnsi(encodeAnsi(value)) == value && !value.contains(QLatin1Char(',')) &&
           !value.contains(QLatin1Char('\r')) && !value.contains(QLatin1Char('\n')) &&
           !value.startsWith(QLatin1Char(' ')) && !value.startsWith(QLatin1Char('"'));
}

void postingLogRoundTrip(const QString& text) {
    const QStringList parts = text.split(QLatin1Char('|'));
    if (parts.size() < 5)
        return;
    for (int i = 0; i < 5; ++i) {
        if (!loggable(parts[i]))
            return;
    }
    if (trimBlanks(parts[2]).isEmpty() || parts[4].isEmpty())
        return;
    fuzz::FuzzPlatform writer;
    const QString log = writer.globals.pathInProgramFolder(kPostingLogFileName);
    PostingLogFigures written;
    written.lastDatePosted = parts[0];
    written.lastBalancePosted = parts[1];
    written.processorSiteUrl = parts[2];
    written.lastRangeFrom = parts[3];
    written.lastRangeTo = parts[4];
    WritePostingLog(writer.files, log, written);
    fuzz::FuzzPlatform reader;
    reader.files.content = writer.files.content;
    PostingLogFigures r;
    FUZZ_CHECK(ReadPostingLog(reader.files, reader.dialogs, log, r));
    FUZZ_CHECK(r.lastDatePosted == formatDateText(parts[0]) && r.lastBalancePosted == parts[1] &&
               r.processorSiteUrl == parts[2] && r.lastRangeFrom == formatDateText(parts[3]) &&
               r.lastRangeTo == formatDateText(parts[4]));
    FUZZ_CHECK(reader.dialogs.inputs == 0);
}

// Any bytes as the log and as IDFILE.DAT: values, or a typed error.
void readFiles(const QByteArray& bytes) {
    fuzz::FuzzPlatform p;
    p.files.content.insert(p.globals.pathInProgramFolder(kPostingLogFileName), bytes);
    p.files.content.insert(p.globals.pathInProgramFolder(kPreferencesFileName), bytes);
    PostingLogFigures figures;
    FUZZ_CHECK(ReadPostingLog(p.files, p.dialogs,
                              p.globals.pathInProgramFolder(kPostingLogFileName), figures));
    try {
        const LedgerPreferences preferences =
            LoadIDFile(p.files, p.globals.pathInProgramFolder(kPreferencesFileName));
        readCategory(preferences.rentIncome.text);
        readCategory(preferences.mgmtFee.text);
    } catch (const Error& e) {
        FUZZ_CHECK(!e.description().isEmpty());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString text = decodeAnsi(bytes);
    FUZZ_CHECK(encodeAnsi(text) == bytes);
    const QString unicode = QString::fromUtf8(bytes);
    QString representable;
    for (const QChar c : unicode) {
        if (decodeAnsi(encodeAnsi(QString(c))) == QString(c))
            representable += c;
    }
    FUZZ_CHECK(decodeAnsi(encodeAnsi(representable)) == representable);
    readFiles(bytes);
    postingLogRoundTrip(unicode);
    return 0;
}
