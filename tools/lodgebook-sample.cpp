// lodgebook-sample DIR [--tenants N] [--payments M] [--seed S] [--crlf|--lf] [--ledger-entries E]
//                      [--journal-runs R]
// Writes a whole sample Lodgebook folder: ledger, preferences, posting log and a Downloads folder
// with a payment download (see SampleFolder.h).

#include "SampleFolder.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

#include <cstdio>
#include <exception>

namespace {

// Reads a whole-number option; false (with a message) when it is not one or out of range.
bool readNumber(const QCommandLineParser& parser, const QString& name, long long low,
                long long high, long long& value) {
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    value = parser.value(name).toLongLong(&ok);
    if (ok && value >= low && value <= high)
        return true;
    std::fprintf(stderr, "lodgebook-sample: --%s must be a whole number from %lld to %lld\n",
                 qPrintable(name), low, high);
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("lodgebook-sample"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Writes a sample Lodgebook folder: lbdatafl.mdb, IDFILE.DAT, CV-Log.txt and "
                       "user/Downloads/paymentHistory.csv."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("DIR"), QStringLiteral("The folder to write."));
    parser.addOption({QStringLiteral("tenants"), QStringLiteral("Number of tenants (default 12)."),
                      QStringLiteral("N")});
    parser.addOption({QStringLiteral("payments"),
                      QStringLiteral("Number of payments in the download (default 10)."),
                      QStringLiteral("M")});
    parser.addOption({QStringLiteral("seed"), QStringLiteral("Seed of the generator (default 1)."),
                      QStringLiteral("S")});
    parser.addOption({QStringLiteral("crlf"),
                      QStringLiteral("End the download's lines with CR LF, as the processor "
                                     "does (the default).")});
    parser.addOption({QStringLiteral("lf"),
                      QStringLiteral("End the download's lines with LF instead of CR LF.")});
    parser.addOption({QStringLiteral("ledger-entries"),
                      QStringLiteral("Earlier entries in the ledger's Transactions (default 0)."),
                      QStringLiteral("E")});
    parser.addOption({QStringLiteral("journal-runs"),
                      QStringLiteral("Earlier posting runs in CV-Journal.db (default 0)."),
                      QStringLiteral("R")});
    parser.process(app);

    const QStringList dirs = parser.positionalArguments();
    if (dirs.size() != 1) {
        std::fprintf(stderr, "%s", qPrintable(parser.helpText()));
        return 2;
    }
    lodgebook::SampleOptions options;
    long long tenants = options.tenants;
    long long payments = options.payments;
    long long seed = options.seed;
    long long ledgerEntries = 0, journalRuns = 0;
    if (!readNumber(parser, QStringLiteral("tenants"), 1, lodgebook::kMaxSampleTenants, tenants) ||
        !readNumber(parser, QStringLiteral("payments"), 0, lodgebook::kMaxSamplePayments,
                    payments) ||
        !readNumber(parser, QStringLiteral("seed"), 0, 4294967295LL, seed) ||
        !readNumber(parser, QStringLiteral("ledger-entries"), 0, lodgebook::kMaxSampleLedgerEntries,
                    ledgerEntries) ||
        !readNumber(parser, QStringLiteral("journal-runs"), 0, lodgebook::kMaxSampleJournalRuns,
                    journalRuns)) {
        return 2;
    }
    options.tenants = static_cast<int>(tenants);
    options.payments = static_cast<int>(payments);
    options.seed = static_cast<unsigned>(seed);
    if (parser.isSet(QStringLiteral("crlf")) && parser.isSet(QStringLiteral("lf"))) {
        std::fprintf(stderr, "--crlf and --lf cannot both be given\n");
        return 2;
    }
    options.crlfPayments = !parser.isSet(QStringLiteral("lf"));
    options.ledgerEntries = static_cast<int>(ledgerEntries);
    options.journalRuns = static_cast<int>(journalRuns);

    const QString dir = QDir(dirs.first()).absolutePath();
    try {
        const lodgebook::SampleSummary summary = lodgebook::writeSampleFolder(dir, options);
        std::printf(
            "Wrote the sample Lodgebook folder %s: %d owners, %d properties, %d tenants, %d units, "
            "%d payments (%d for no tenant) in user/Downloads/paymentHistory.csv\n",
            qPrintable(QDir::toNativeSeparators(dir)), summary.owners, summary.properties,
            summary.tenants, summary.units, summary.payments, summary.unmatchedPayments);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "lodgebook-sample: %s\n", e.what());
        return 1;
    }
    return 0;
}
