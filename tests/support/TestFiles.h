#pragma once

#include <QByteArray>
#include <QString>

namespace corvane::test {

// Writes `bytes` as the whole file at `path` (made or replaced); fails the test when it cannot.
void writeFile(const QString& path, const QByteArray& bytes);
// The bytes of a file; empty when it cannot be read.
QByteArray fileBytes(const QString& path);

}  // namespace corvane::test
