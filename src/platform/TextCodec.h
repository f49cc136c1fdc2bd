#pragma once

#include <QByteArray>
#include <QString>

namespace corvane {

// The 8-bit text of the files exchanged with Lodgebook and the processor is in the Windows-1252
// code page. Bytes that the code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) decode to
// the control characters of the same number, as Windows does, so every byte survives a round
// trip; characters that the code page cannot hold encode as "?".
QString decodeAnsi(const QByteArray& bytes);
QByteArray encodeAnsi(const QString& text);

}  // namespace corvane
