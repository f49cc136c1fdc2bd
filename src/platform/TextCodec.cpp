#include "platform/TextCodec.h"

#include <iconv.h>

#include <cerrno>
#include <mutex>

namespace corvane {
namespace {

// iconv descriptors are not thread-safe; the program uses them from the interface thread, the
// guard only keeps benchmarks and tests honest.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }
    std::mutex& mutex() { return mutex_; }

private:
    iconv_t cd_;
    std::mutex mutex_;
};

Converter& decoder() {
    static Converter c("UTF-16LE", "WINDOWS-1252");
    return c;
}

Converter& encoder() {
    static Converter c("WINDOWS-1252", "UTF-16LE");
    return c;
}

}  // namespace

QString decodeAnsi(const QByteArray& bytes) {
    QString out;
    if (bytes.isEmpty()) return out;
    bool plainAscii = true;
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            plainAscii = false;
            break;
        }
    }
    if (plainAscii) return QString::fromLatin1(bytes);

    Converter& conv = decoder();
    std::lock_guard lock(conv.mutex());
    out.reserve(bytes.size());
    if (!conv.valid()) return QString::fromLatin1(bytes);
    iconv(conv.get(), nullptr, nullptr, nullptr, nullptr);
    const char* data = bytes.constData();
    qsizetype pos = 0;
    const qsizetype n = bytes.size();
    while (pos < n) {
        // Convert one run; on an undefined byte emit it as the control character of its number.
        char16_t buffer[4096];
        char* inPtr = const_cast<char*>(data + pos);
        size_t inLeft = static_cast<size_t>(n - pos);
        char* outPtr = reinterpret_cast<char*>(buffer);
        size_t outLeft = sizeof(buffer);
        size_t rc = iconv(conv.get(), &inPtr, &inLeft, &outPtr, &outLeft);
        const qsizetype produced = static_cast<qsizetype>((sizeof(buffer) - outLeft) / 2);
        out.append(reinterpret_cast<const QChar*>(buffer), produced);
        pos = n - static_cast<qsizetype>(inLeft);
        if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
            out.append(QChar(static_cast<unsigned char>(data[pos])));
            ++pos;
            iconv(conv.get(), nullptr, nullptr, nullptr, nullptr);
        }
    }
    return out;
}

QByteArray encodeAnsi(const QString& text) {
    QByteArray out;
    if (text.isEmpty()) return out;
    bool plainAscii = true;
    for (QChar c : text) {
        if (c.unicode() >= 0x80) {
            plainAscii = false;
            break;
        }
    }
    if (plainAscii) return text.toLatin1();

    Converter& conv = encoder();
    std::lock_guard lock(conv.mutex());
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text.at(i).unicode();
        if (u < 0x80) {
            out.append(static_cast<char>(u));
            continue;
        }
        if (u == 0x81 || u == 0x8D || u == 0x8F || u == 0x90 || u == 0x9D) {
            out.append(static_cast<char>(u));
            continue;
        }
        char in[2] = {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
        char result[4];
        char* inPtr = in;
        size_t inLeft = 2;
        char* outPtr = result;
        size_t outLeft = sizeof(result);
        iconv(conv.get(), nullptr, nullptr, nullptr, nullptr);
        if (!conv.valid() ||
            iconv(conv.get(), &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) ||
            outLeft == sizeof(result)) {
            out.append('?');
        } else {
            out.append(result, static_cast<qsizetype>(sizeof(result) - outLeft));
        }
    }
    return out;
}

}  // namespace corvane
