#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

namespace corvane::test {

// Writes `bytes` as the whole file at `path` (made or replaced); fails the test when it cannot.
void writeFile(const QString& path, const QByteArray& bytes);
// The bytes of a file; empty when it cannot be read.
QByteArray fileBytes(const QString& path);

// A preferences file (IDFILE.DAT) as Lodgebook writes it: `count` quoted fields on one line,
// field i reading "F<i>" unless `values` gives it, in the ANSI code page.
QByteArray preferencesFile(int count = 19, const QHash<int, QString>& values = {});

}  // namespace corvane::test
