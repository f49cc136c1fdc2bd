#pragma once

#include <QProcess>
#include <QRegularExpression>
#include <QString>

#include <vector>

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

// A word of a PDF as pdftotext -bbox places it: its page (from 1) and its box in points.
struct PdfWord {
    int page = 0;
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
    QString text;
};
struct PdfWords {
    double pageWidth = 0;  // of the last page
    std::vector<PdfWord> words;
};

inline PdfWords pdfWords(const QString& pdf) {
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    PdfWords out;
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return out;
    static const QRegularExpression item(
        QStringLiteral("<page width=\"([\\d.]+)\"|<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" "
                       "xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">([^<]*)</word>"));
    int page = 0;
    for (const auto& m : item.globalMatch(QString::fromUtf8(process.readAllStandardOutput()))) {
        if (m.capturedLength(1) > 0) {
            ++page;
            out.pageWidth = m.captured(1).toDouble();
        } else {
            out.words.push_back(
                {page, m.captured(2).toDouble(), m.captured(3).toDouble(), m.captured(4).toDouble(),
                 m.captured(5).toDouble(),
                 m.captured(6).replace(QLatin1String("&amp;"), QLatin1String("&"))});
        }
    }
    return out;
}

}  // namespace corvane::test
