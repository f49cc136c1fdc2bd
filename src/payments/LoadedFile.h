#pragma once

#include <QByteArray>
#include <QCryptographicHash>
#include <QString>

namespace corvane {

// The staged payment file as it was loaded for review: the posting run's journal keeps these
// bytes, the ones the user reviewed, not whatever is on disk when the button is pressed.
struct LoadedFile {
    QString fileName;  // "paymentHistory.csv"
    QByteArray bytes;
    QString digest;  // SHA-1 of the bytes, hexadecimal

    static LoadedFile of(QString fileName, QByteArray bytes) {
        LoadedFile file{std::move(fileName), std::move(bytes), {}};
        file.digest = QString::fromLatin1(
            QCryptographicHash::hash(file.bytes, QCryptographicHash::Sha1).toHex());
        return file;
    }
};

}  // namespace corvane
