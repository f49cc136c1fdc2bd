#pragma once

#include <QProcess>
#include <QString>

namespace corvane::test {

// The text of a PDF file as pdftotext (poppler-utils) lays it out; pages are separated by form
// feeds. Empty when it cannot be read.
inline QString pdfText(const QString& pdf) {
    QProcess process;
    process.start(QStringLiteral("pdftotext"),
                  {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

}  // namespace corvane::test
