// The field reading rule of the posting log, the preferences file and the staged file's first field.
#include "FuzzCheck.h"
#include "core/TextRules.h"
#include "platform/Error.h"
#include "platform/TextCodec.h"

#include <cstddef>
#include <cstdint>

using namespace corvane;

namespace {
// A field that the rule gives back unchanged when written plainly.
bool plainField(const QString& field) {
    if (field.isEmpty() || field.startsWith(QLatin1Char(' ')) ||
        field.startsWith(QLatin1Char('"')))
        return false;
    for (QChar c : field) {
        if (c == QLatin1Char(',') || c == QLatin1Char('\r') || c == QLatin1Char('\n')) return false;
    }
    return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text =
        decodeAnsi(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));

    FieldReader reader(text);
    QStringList fields;
    while (!reader.atEnd()) {
        // Every call consumes input: never more fields than characters.
        FUZZ_CHECK(fields.size() <= text.size());
        fields.append(reader.next());
    }
    bool threw = false;
    try {
        reader.next();
    } catch (const Error& e) {
        threw = e.number() == errc::InputPastEndOfFile;
    }
    FUZZ_CHECK(threw);

    // Written back one field per CR LF line, plain fields read back as they were.
    QStringList plain;
    for (const QString& f : fields) {
        if (plainField(f)) plain.append(f);
    }
    if (plain.isEmpty()) return 0;
    FieldReader again(plain.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
    for (const QString& f : plain) {
        FUZZ_CHECK(!again.atEnd());
        FUZZ_CHECK(again.next() == f);
    }
    FUZZ_CHECK(again.atEnd());
    return 0;
}
