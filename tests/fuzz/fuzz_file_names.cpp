// The name rule of the payment downloads.
#include "FuzzCheck.h"
#include "core/TextRules.h"
#include "payments/PaymentIntake.h"
#include "platform/TextCodec.h"

#include <cstddef>
#include <cstdint>

using namespace corvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString name =
        decodeAnsi(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));

    const QString withoutExtension = RemoveExtension(name);
    FUZZ_CHECK(name.startsWith(withoutExtension));
    if (name.contains(QLatin1Char('.'))) {
        FUZZ_CHECK(withoutExtension.size() == name.lastIndexOf(QLatin1Char('.')));
    } else {
        FUZZ_CHECK(withoutExtension == name);
    }

    const QString base = RemoveCopyNumber(withoutExtension);
    FUZZ_CHECK(base == trimBlanks(base));
    FUZZ_CHECK(withoutExtension.contains(base));

    // A payment download is "paymentHistory", perhaps after blanks, then whatever follows it.
    const QString kBase = QStringLiteral("paymentHistory");
    if (isPaymentDownloadName(name)) {
        const qsizetype at = name.indexOf(kBase);
        FUZZ_CHECK(at >= 0 && name.left(at).count(QLatin1Char(' ')) == at);
    }
    // And it is one with any extension and any copy number a browser adds.
    QString word = name;
    word.remove(QLatin1Char('.')).remove(QLatin1Char('(')).remove(QLatin1Char(')'));
    FUZZ_CHECK(isPaymentDownloadName(kBase + QLatin1Char('.') + word));
    FUZZ_CHECK(
        isPaymentDownloadName(kBase + QStringLiteral(" (") + word + QStringLiteral(").csv")));
    return 0;
}
