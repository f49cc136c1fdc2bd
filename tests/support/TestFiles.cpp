#include "support/TestFiles.h"

#include "platform/TextCodec.h"

#include <QFile>
#include <QStringList>

#include <gtest/gtest.h>

namespace corvane::test {

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size()) << path.toStdString();
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray preferencesFile(int count, const QHash<int, QString>& values) {
    QStringList fields;
    for (int i = 0; i < count; ++i)
        fields << QLatin1Char('"') + values.value(i, QStringLiteral("F%1").arg(i)) +
                      QLatin1Char('"');
    return encodeAnsi(fields.join(QLatin1Char(',')) + QStringLiteral("\r\n"));
}

}  // namespace corvane::test
