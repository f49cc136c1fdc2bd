// The payment file intake: decoding, acceptance, line selection and the line rule.
#include "FuzzCheck.h"
#include "app/TextRules.h"
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
        // A line that does not split gives the split's error; fewer than 7 fields: error 9; no
        // account number: error 13; else the fields.
        QStringList split;
        int expectedError = 0;
        try {
            split = splitPaymentLine(line);
            expectedError = split.size() < 7 ? 9 : trimBlanks(split.at(1)).isEmpty() ? 13 : 0;
        } catch (const Error& e) {
            expectedError = e.number();
        }
        try {
            const PaymentLine fields = readPaymentLine(line);
            FUZZ_CHECK(expectedError == 0);
            FUZZ_CHECK(fields.account == split.at(1) && fields.amount == split.at(6));
            FUZZ_CHECK(fields.transactionNumber.startsWith(QLatin1Char('B')) ||
                       fields.transactionNumber.startsWith(QLatin1Char(' ')));
            FUZZ_CHECK(!fields.amount.contains(QLatin1Char('$')));
            FUZZ_CHECK(!fields.amount.contains(QLatin1Char('"')));
        } catch (const Error& e) {
            FUZZ_CHECK(e.number() == expectedError);
            FUZZ_CHECK(!e.description().isEmpty());
        }
    }
    return 0;
}
