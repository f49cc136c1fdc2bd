// The payment file intake: decoding, acceptance, line selection and the line rule.
#include "FuzzCheck.h"
#include "core/TextRules.h"
#include "payments/PaymentIntake.h"
#include "platform/Error.h"
#include "platform/TextCodec.h"

#include <cstddef>
#include <cstdint>

using namespace corvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString text = decodeAnsi(bytes);
    // Every byte of the code page survives a round trip.
    FUZZ_CHECK(encodeAnsi(text) == bytes);

    const QStringList lines = selectPaymentLines(text);
    if (!acceptsPaymentFile(text))
        FUZZ_CHECK(lines.isEmpty());
    FUZZ_CHECK(lines.size() <= text.count(QLatin1Char('\n')));
    for (const QString& line : lines) {
        FUZZ_CHECK(trimBlanks(line).startsWith(QLatin1Char('B')));
        FUZZ_CHECK(!line.contains(QLatin1Char('\n')));  // a line's end is not part of it
        // The fields, or the line rule's error: 5 no amount, 9 fewer than 7 fields, 13 no
        // account number.
        try {
            const PaymentLine fields = readPaymentLine(line);
            FUZZ_CHECK(!trimBlanks(fields.account).isEmpty());
            FUZZ_CHECK(fields.transactionNumber.startsWith(QLatin1Char('B')) ||
                       fields.transactionNumber.startsWith(QLatin1Char(' ')));
            FUZZ_CHECK(!fields.amount.contains(QLatin1Char('$')));
            FUZZ_CHECK(!fields.amount.contains(QLatin1Char('"')));
        } catch (const Error& e) {
            FUZZ_CHECK(e.number() == 5 || e.number() == 9 || e.number() == 13);
            FUZZ_CHECK(!e.description().isEmpty());
        }
    }
    return 0;
}
