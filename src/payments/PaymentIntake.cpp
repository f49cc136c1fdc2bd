#include "payments/PaymentIntake.h"

#include "core/TextRules.h"
#include "platform/Error.h"

#include <QLocale>
#include <QStandardPaths>

#include <algorithm>
#include <array>

namespace corvane {
namespace {

const QString kPaymentBaseName = QStringLiteral("paymentHistory");

}  // namespace

QString RemoveExtension(const QString& fileName) {
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? fileName : fileName.left(dot);
}

QString RemoveCopyNumber(const QString& fileName) {
    QString name = fileName;
    if (name.contains(QLatin1Char('(')) && name.endsWith(QLatin1Char(')'))) {
        name.truncate(name.lastIndexOf(QLatin1Char('(')));
    }
    return trimBlanks(name);
}

bool isPaymentDownloadName(const QString& fileName) {
    return RemoveCopyNumber(RemoveExtension(fileName)) == kPaymentBaseName;
}

QString downloadsFolder(Environment& environment) {
    if (environment.hasVariable(QStringLiteral("USERPROFILE"))) {
        return environment.variable(QStringLiteral("USERPROFILE")) + QStringLiteral("/Downloads");
    }
    return QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
}

bool FindLatestPaymentFile(const PaymentFiles& payment, Dialogs& dialogs,
                           const QString& downloads) {
    Files& files = payment.files;

    QList<FileEntry> listing;
    try {
        listing = files.listFiles(downloads);
    } catch (const Error& e) {
        // A Downloads folder that does not exist holds no downloads.
        if (e.number() != errc::PathNotFound && e.number() != errc::FileNotFound)
            throw;
    }

    QString bestName;
    QDateTime bestTime(QDate(1900, 1, 1), QTime(0, 0));
    for (const FileEntry& entry : listing) {
        if (!entry.modified.isValid() || !isPaymentDownloadName(entry.name))
            continue;
        if (entry.modified > bestTime) {
            bestName = entry.name;
            bestTime = entry.modified;
        }
    }

    if (bestName.isEmpty()) {
        dialogs.messageBox(QStringLiteral("No payment files were found in your Downloads folder. "
                                          "Please download a new payment file."),
                           MsgButtons::Ok, MsgIcon::Exclamation, QStringLiteral("No Files"));
        return false;
    }
    dialogs.messageBox(
        QStringLiteral("The most recent paymentHistory file in your DOWNLOADS folder is: ") +
            QLatin1Char('\r') + bestName + QStringLiteral("\r\n") +
            QStringLiteral("Last Modified: ") +
            QLocale::system().toString(bestTime, QLocale::ShortFormat) + QLatin1Char('\r') +
            QStringLiteral("This file will be loaded to your screen. Be SURE the transaction dates "
                           "are correct before posting!"),
        MsgButtons::Ok, MsgIcon::Information, QStringLiteral("Latest File"));

    // Copy under a temporary name first, so that a failed copy never leaves a half file under
    // the staged name, and delete the download only once the staged file is complete.
    const QString download = pathInFolder(downloads, bestName);
    const QString staged = payment.stagedPath();
    const QString partial = staged + QStringLiteral(".part");
    try {
        files.copy(download, partial, kMaxPaymentFileBytes);
    } catch (const Error&) {
        try {
            if (files.exists(partial))
                files.remove(partial);
        } catch (const Error&) {
        }
        throw;
    }
    files.rename(partial, staged);
    try {
        files.remove(download);
    } catch (const Error&) {
        // The download stays; without this the same payments could be posted twice.
        try {
            files.remove(staged);
        } catch (const Error&) {
        }
        throw;
    }
    return true;
}

bool acceptsPaymentFile(const QString& text) {
    return text.size() >= 2 && text.at(0) == QLatin1Char('B') && text.at(1) >= QLatin1Char('0') &&
           text.at(1) <= QLatin1Char('9');
}

QStringList selectPaymentLines(const QString& text) {
    QStringList lines;
    if (!acceptsPaymentFile(text))
        return lines;
    qsizetype start = 0;
    for (;;) {
        const qsizetype end = text.indexOf(QLatin1Char('\n'), start);
        if (end < 0)
            break;
        // A CR LF line's carriage return belongs to its end, never to its last field.
        const qsizetype length =
            end > start && text.at(end - 1) == QLatin1Char('\r') ? end - 1 - start : end - start;
        QString line = text.mid(start, length);
        const QString trimmed = trimBlanks(line);
        if (trimmed.isEmpty() || !trimmed.startsWith(QLatin1Char('B')))
            break;
        lines.append(std::move(line));
        start = end + 1;
    }
    return lines;
}

namespace {

// The line as the line rule splits it: the amount's "$" and commas, every "$" and every double
// quote removed.
QString cleanPaymentLine(const QString& line) {
    const qsizetype dollar = line.indexOf(QLatin1Char('$'));
    if (dollar < 0) {
        throw Error(errc::InvalidProcedureCall,
                    QStringLiteral("Invalid procedure call or argument: a payment line has no "
                                   "amount (no \"$\")"));
    }
    const qsizetype point = line.indexOf(QLatin1Char('.'), dollar);
    if (point < 0) {
        throw Error(errc::InvalidProcedureCall,
                    QStringLiteral("Invalid procedure call or argument: the amount of a payment "
                                   "line has no decimal point"));
    }
    QString work = line;
    work.remove(QLatin1Char('$'));
    // The amount's whole-dollar part with its "."; wherever it occurs, its commas go.
    const QString dollars = work.mid(dollar, point - dollar);
    if (dollars.contains(QLatin1Char(','))) {
        QString plain = dollars;
        plain.remove(QLatin1Char(','));
        work.replace(dollars, plain);
    }
    work.remove(QLatin1Char('"'));
    return work;
}

}  // namespace

PaymentLine readPaymentLine(const QString& line) {
    // The fields as views of the cleaned line: only the first eight are read, and only those
    // kept become strings.
    const QString work = cleanPaymentLine(line);
    std::array<QStringView, 8> fields;
    qsizetype count = 0;
    for (qsizetype start = 0; count < qsizetype(fields.size());) {
        const qsizetype comma = work.indexOf(QLatin1Char(','), start);
        fields[count++] = QStringView(work).mid(start, comma < 0 ? -1 : comma - start);
        if (comma < 0)
            break;
        start = comma + 1;
    }
    if (count < 7) {
        throw Error(errc::SubscriptOutOfRange,
                    QStringLiteral("Subscript out of range: a payment line has fewer than 7 "
                                   "fields"));
    }
    if (std::all_of(fields[1].begin(), fields[1].end(), [](QChar c) { return c == u' '; })) {
        throw Error(errc::TypeMismatch,
                    QStringLiteral("Type mismatch: a payment line has no account number"));
    }
    PaymentLine out;
    out.transactionNumber = fields[0].toString();
    out.account = fields[1].toString();
    out.payerName = fields[2].toString();
    out.payerAddress = fields[3].toString();
    out.date = fields[4].toString();
    out.method = fields[5].toString();
    out.amount = fields[6].toString();
    if (count > 7)
        out.status = fields[7].toString();
    return out;
}

bool isPlainAmount(QStringView amount) {
    qsizetype i = amount.startsWith(QLatin1Char('-')) ? 1 : 0;
    const auto digits = [&] {
        const qsizetype start = i;
        while (i < amount.size() && amount[i] >= QLatin1Char('0') && amount[i] <= QLatin1Char('9'))
            ++i;
        return i > start;
    };
    if (!digits())
        return false;
    if (i < amount.size() && amount[i] == QLatin1Char('.')) {
        ++i;
        if (!digits())
            return false;
    }
    return i == amount.size();
}

void requirePlainAmount(const PaymentLine& line, qsizetype lineNumber) {
    if (isPlainAmount(line.amount))
        return;
    throw Error(
        errc::TypeMismatch,
        QStringLiteral("Type mismatch: the amount of line %1 is not a number: ").arg(lineNumber) +
            line.amount);
}

ReadPayments readPayments(const QStringList& lines) {
    ReadPayments read;
    read.payments.reserve(static_cast<std::size_t>(lines.size()));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        PaymentLine line;
        try {
            line = readPaymentLine(lines.at(i));
        } catch (const Error& e) {
            throw Error(e.number(), e.description() + QStringLiteral(" (line %1)").arg(i + 1));
        }
        requirePlainAmount(line, i + 1);  // names its line itself
        Payment p;
        p.line = static_cast<int>(i + 1);
        p.transactionNumber = std::move(line.transactionNumber);
        p.account = std::move(line.account);
        p.choiceAccount = choiceAccount(p.account);
        p.payerName = std::move(line.payerName);
        p.payerAddress = std::move(line.payerAddress);
        if (const auto amount = ledger::Currency::fromText(ledger::decimalPrefix(line.amount)))
            p.amount = *amount;
        else
            read.amountTooLarge = true;
        p.amountText = std::move(line.amount);
        p.date = parseDateText(line.date);
        p.dateText = std::move(line.date);
        p.checkChar = trimLeadingBlanks(line.method).left(1);
        p.checkNumber = checkNumberOf(p.checkChar);
        p.processorStatus = trimBlanks(line.status.value_or(QString()));
        read.payments.push_back(std::move(p));
    }
    return read;
}

void ArchiveStagedPaymentFile(const PaymentFiles& payment) {
    payment.files.rename(payment.stagedPath(), payment.archivePath());
}

}  // namespace corvane
