#include "journal/PostingJournal.h"

#include "app/TextRules.h"

#include <QDataStream>
#include <QDir>
#include <QIODevice>
#include <QStringEncoder>
#include <QtEndian>

#include <algorithm>
#include <stdexcept>

namespace corvane::journal {

using ledger::Currency;

namespace {

const QString kDateTimeFormat = QStringLiteral("yyyy-MM-ddTHH:mm:ss");
const QString kDateFormat = QStringLiteral("yyyy-MM-dd");

std::optional<std::int64_t> units(const std::optional<Currency>& amount) {
    if (!amount)
        return std::nullopt;
    return amount->units();
}

std::optional<Currency> currency(const std::optional<std::int64_t>& units) {
    if (!units)
        return std::nullopt;
    return Currency::fromUnits(*units);
}

// The journal's row format (little-endian): a format byte, the number of rows (32 bits), then per
// row its line (32 bits), the nine texts (each its UTF-8 length in 32 bits and its bytes), the
// outcome byte, a byte of flags telling which keys and amounts follow, and those (64 bits each).
constexpr quint8 kRowFormat = 1;

// Appends to a byte array without a stream: a run's rows are written on the way to the ledger's
// commit, so every millisecond counts.
class RowWriter {
public:
    explicit RowWriter(qsizetype expected) { data_.reserve(expected); }
    template <typename T>
    void number(T value) {
        const qsizetype at = data_.size();
        data_.resize(at + static_cast<qsizetype>(sizeof(T)));
        qToLittleEndian(value, data_.data() + at);
    }
    void text(const QString& value) {
        const qsizetype at = data_.size();
        data_.resize(at + 4 + value.size() * 3);  // UTF-8 needs at most 3 bytes a UTF-16 unit
        char* start = data_.data() + at + 4;
        char* end = encoder_.appendToBuffer(start, value);
        qToLittleEndian(static_cast<quint32>(end - start), data_.data() + at);
        data_.resize(at + 4 + (end - start));
    }
    QByteArray take() { return std::move(data_); }

private:
    QByteArray data_;
    QStringEncoder encoder_{QStringEncoder::Utf8};
};

class RowReader {
public:
    explicit RowReader(const QByteArray& data) : data_(data) {}
    template <typename T>
    T number() {
        if (!take(sizeof(T)))
            return T{};
        return qFromLittleEndian<T>(data_.constData() + at_ - static_cast<qsizetype>(sizeof(T)));
    }
    QString text() {
        const quint32 size = number<quint32>();
        if (!take(size))
            return {};
        return QString::fromUtf8(data_.constData() + at_ - size, size);
    }
    bool ok() const { return ok_; }
    bool atEnd() const { return at_ == data_.size(); }

private:
    bool take(std::size_t size) {
        if (!ok_ || size > static_cast<std::size_t>(data_.size() - at_)) {
            ok_ = false;
            return false;
        }
        at_ += static_cast<qsizetype>(size);
        return true;
    }
    const QByteArray& data_;
    qsizetype at_ = 0;
    bool ok_ = true;
};

// The texts as a JSON array of strings.
QString jsonArray(const QStringList& texts) {
    QString json;
    json.reserve(texts.size() * 12 + 2);
    json += QLatin1Char('[');
    for (const QString& text : texts) {
        if (json.size() > 1)
            json += QLatin1Char(',');
        json += QLatin1Char('"');
        for (const QChar c : text) {
            if (c == u'"' || c == u'\\' || c.unicode() < 0x20)
                json += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                json += c;
        }
        json += QLatin1Char('"');
    }
    json += QLatin1Char(']');
    return json;
}

QByteArray rowsData(const std::vector<RunRow>& rows) {
    RowWriter out(static_cast<qsizetype>(rows.size()) * 160 + 8);
    out.number(kRowFormat);
    out.number(static_cast<quint32>(rows.size()));
    for (const RunRow& r : rows) {
        out.number(static_cast<qint32>(r.line));
        for (const QString* text : {&r.tid, &r.address, &r.name, &r.amount, &r.date, &r.checkChar,
                                    &r.pmtType, &r.transactionNumber, &r.note})
            out.text(*text);
        const std::optional<std::int64_t> values[] = {r.incomeTransID, units(r.incomeAmount),
                                                      r.feeTransID,    units(r.feeAmount),
                                                      r.splitID,       units(r.splitAmount)};
        quint8 flags = 0;
        for (int bit = 0; bit < 6; ++bit) {
            if (values[bit])
                flags |= static_cast<quint8>(1u << bit);
        }
        out.number(static_cast<quint8>(r.outcome));
        out.number(flags);
        for (const auto& v : values) {
            if (v)
                out.number(static_cast<qint64>(*v));
        }
    }
    return out.take();
}

std::vector<RunRow> rowsFrom(const QByteArray& data) {
    RowReader in(data);
    const auto format = in.number<quint8>();
    const auto count = in.number<quint32>();
    if (in.ok() && format != kRowFormat)
        throw JournalError(QStringLiteral("a run's rows are in a format this Corvane cannot read"));
    std::vector<RunRow> rows;
    rows.reserve(std::min<quint32>(count, 1u << 16));
    for (quint32 i = 0; i < count && in.ok(); ++i) {
        RunRow r;
        r.line = in.number<qint32>();
        for (QString* text : {&r.tid, &r.address, &r.name, &r.amount, &r.date, &r.checkChar,
                              &r.pmtType, &r.transactionNumber, &r.note})
            *text = in.text();
        if (!r.tid.startsWith(QStringLiteral("T#")))
            r.tenantID = ledger::Currency::leadingValue(trimBlanks(r.tid.mid(1))).roundedToWhole();
        const auto outcome = in.number<quint8>();
        const auto flags = in.number<quint8>();
        r.outcome = outcome == static_cast<quint8>(RowOutcome::NoTenant) ? RowOutcome::NoTenant
                    : outcome == static_cast<quint8>(RowOutcome::Note)   ? RowOutcome::Note
                                                                         : RowOutcome::Posted;
        const auto next = [&](int bit) -> std::optional<std::int64_t> {
            if (!(flags & (1u << bit)))
                return std::nullopt;
            return in.number<qint64>();
        };
        r.incomeTransID = next(0);
        r.incomeAmount = currency(next(1));
        r.feeTransID = next(2);
        r.feeAmount = currency(next(3));
        r.splitID = next(4);
        r.splitAmount = currency(next(5));
        rows.push_back(std::move(r));
    }
    if (!in.ok() || !in.atEnd() || rows.size() != count)
        throw JournalError(QStringLiteral("a run's rows are damaged"));
    return rows;
}

QByteArray changesData(const std::vector<BalanceChange>& changes) {
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << kRowFormat << static_cast<quint32>(changes.size());
    for (const BalanceChange& c : changes)
        out << static_cast<quint8>(c.kind) << static_cast<qint64>(c.key)
            << static_cast<qint64>(c.amount.units());
    return data;
}

std::vector<BalanceChange> changesFrom(const QByteArray& data) {
    QDataStream in(data);
    in.setVersion(QDataStream::Qt_6_0);
    quint8 format = 0;
    quint32 count = 0;
    in >> format >> count;
    if (format != kRowFormat)
        throw JournalError(
            QStringLiteral("a run's balance changes are in a format this Corvane "
                           "cannot read"));
    std::vector<BalanceChange> changes;
    for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
        quint8 kind = 0;
        qint64 key = 0, amount = 0;
        in >> kind >> key >> amount;
        changes.push_back({kind == static_cast<quint8>(BalanceChange::Kind::Unit)
                               ? BalanceChange::Kind::Unit
                               : BalanceChange::Kind::Tenant,
                           key, Currency::fromUnits(amount)});
    }
    if (in.status() != QDataStream::Ok || changes.size() != count)
        throw JournalError(QStringLiteral("a run's balance changes are damaged"));
    return changes;
}

const char* const kRunColumns =
    "RunID, State, PostedAt, Computer, FileName, FileDigest, RemarkChoice, RemarkText, PostFees, "
    "CreateDeposit, DepositNumber, DepositID, DepositAmount, LogDate, LogBalance, LogRangeFrom, "
    "LogRangeTo, Evidence, ReversedOn";

// The columns of kRunColumns, in order, from a statement that selected them.
Run runFrom(const Statement& s) {
    Run run;
    run.runID = s.integer(0);
    run.state = runStateFromName(s.text(1));
    run.postedAt = QDateTime::fromString(s.text(2), kDateTimeFormat);
    run.computer = s.text(3);
    run.fileName = s.text(4);
    run.fileDigest = s.text(5);
    run.remarkChoice = static_cast<int>(s.integer(6));
    run.remarkText = s.text(7);
    run.postFees = s.integer(8) != 0;
    run.createDeposit = s.integer(9) != 0;
    run.depositNumber = s.text(10);
    run.depositID = s.optionalInteger(11);
    run.depositAmount = currency(s.optionalInteger(12));
    run.figures.lastDatePosted = s.text(13);
    run.figures.lastBalancePosted = s.text(14);
    run.figures.rangeFrom = s.optionalText(15);
    run.figures.rangeTo = s.optionalText(16);
    run.evidence = s.text(17);
    if (const auto reversed = s.optionalText(18))
        run.reversedOn = QDate::fromString(*reversed, kDateFormat);
    return run;
}

}  // namespace

QString journalUnusableText(const JournalError& error) {
    return QStringLiteral("The posting journal %1 cannot be used: %2.")
        .arg(kJournalFileName, error.reason());
}

QString unusableJournalMessage(const JournalError& error) {
    return journalUnusableText(error) +
           QStringLiteral(
               " Corvane records every posting run there and posts nothing without "
               "it. Move the file out of the Lodgebook folder to start a new journal.");
}

QString rowOutcomeName(RowOutcome outcome) {
    switch (outcome) {
        case RowOutcome::Posted:
            return QStringLiteral("posted");
        case RowOutcome::NoTenant:
            return QStringLiteral("no tenant");
        case RowOutcome::Note:
            return QStringLiteral("note");
    }
    return {};
}

RowOutcome rowOutcomeFromName(const QString& name) {
    if (name == QLatin1String("no tenant"))
        return RowOutcome::NoTenant;
    if (name == QLatin1String("note"))
        return RowOutcome::Note;
    return RowOutcome::Posted;
}

QString runStateName(RunState state) {
    switch (state) {
        case RunState::Pending:
            return QStringLiteral("pending");
        case RunState::Posted:
            return QStringLiteral("posted");
        case RunState::Reversing:
            return QStringLiteral("reversing");
        case RunState::Reversed:
            return QStringLiteral("reversed");
    }
    return {};
}

RunState runStateFromName(const QString& name) {
    if (name == QLatin1String("posted"))
        return RunState::Posted;
    if (name == QLatin1String("reversing"))
        return RunState::Reversing;
    if (name == QLatin1String("reversed"))
        return RunState::Reversed;
    return RunState::Pending;
}

QString PostingJournal::pathIn(const QString& programFolder) {
    return QDir(programFolder).filePath(kJournalFileName);
}

std::unique_ptr<PostingJournal> PostingJournal::open(const QString& programFolder) {
    return std::unique_ptr<PostingJournal>(
        new PostingJournal(JournalDb::open(pathIn(programFolder))));
}

RunSummary summaryOf(const Run& run) {
    RunSummary summary;
    std::optional<QDate> from, to;
    for (const RunRow& r : run.rows) {
        if (r.outcome != RowOutcome::Posted) {
            ++summary.rowsLeftOut;
            continue;
        }
        if (r.incomeAmount) {
            ++summary.paymentsPosted;
            summary.postedTotal += *r.incomeAmount;
        }
        if (r.feeAmount)
            summary.feesTotal += *r.feeAmount;
        if (const auto date = parseDateText(r.date)) {
            if (!from || *date < *from)
                from = date;
            if (!to || *to < *date)
                to = date;
        }
    }
    summary.rangeFrom = from;
    summary.rangeTo = to;
    return summary;
}

std::int64_t PostingJournal::record(const Run& run) {
    JournalDb& db = *db_;
    const RunSummary summary = summaryOf(run);
    const auto isoDate = [](const std::optional<QDate>& d) -> std::optional<QString> {
        if (!d)
            return std::nullopt;
        return d->toString(kDateFormat);
    };
    JournalTransaction transaction(db);
    db.prepare(
          "INSERT INTO Runs (State, PostedAt, Computer, FileName, FileBytes, FileDigest, "
          "RemarkChoice, RemarkText, PostFees, CreateDeposit, DepositNumber, DepositID, "
          "DepositAmount, LogDate, LogBalance, LogRangeFrom, LogRangeTo, Evidence, ReversedOn, "
          "PaymentsPosted, PostedTotal, FeesTotal, RowsLeftOut, RangeFrom, RangeTo, RowsData, "
          "BalanceChangesData) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, "
          "?14, ?15, ?16, ?17, ?18, ?19, ?20, ?21, ?22, ?23, ?24, ?25, ?26, ?27)")
        .bind(1, runStateName(run.state))
        .bind(2, run.postedAt.toString(kDateTimeFormat))
        .bind(3, run.computer)
        .bind(4, run.fileName)
        .bind(5, run.fileBytes)
        .bind(6, run.fileDigest)
        .bind(7, run.remarkChoice)
        .bind(8, run.remarkText)
        .bind(9, run.postFees)
        .bind(10, run.createDeposit)
        .bind(11, run.depositNumber)
        .bind(12, run.depositID)
        .bind(13, units(run.depositAmount))
        .bind(14, run.figures.lastDatePosted)
        .bind(15, run.figures.lastBalancePosted)
        .bind(16, run.figures.rangeFrom)
        .bind(17, run.figures.rangeTo)
        .bind(18, run.evidence)
        .bind(19, isoDate(run.reversedOn))
        .bind(20, static_cast<std::int64_t>(summary.paymentsPosted))
        .bind(21, summary.postedTotal.units())
        .bind(22, summary.feesTotal.units())
        .bind(23, static_cast<std::int64_t>(summary.rowsLeftOut))
        .bind(24, isoDate(summary.rangeFrom))
        .bind(25, isoDate(summary.rangeTo))
        .bind(26, rowsData(run.rows))
        .bind(27, changesData(run.balanceChanges))
        .run();
    const std::int64_t runID = db.lastInsertId();

    // In key order, so that the index's pages are written one after another.
    QStringList numbers;
    for (const RunRow& r : run.rows) {
        if (r.outcome == RowOutcome::Posted && !r.transactionNumber.isEmpty())
            numbers << r.transactionNumber;
    }
    numbers.sort();
    numbers.removeDuplicates();
    // One statement for all of them: SQLite reads the numbers from one JSON array.
    db.prepare(
          "INSERT INTO PostedNumbers (TransactionNumber, RunID) SELECT value, ?2 FROM "
          "json_each(?1)")
        .bind(1, jsonArray(numbers))
        .bind(2, runID)
        .run();
    transaction.commit();
    return runID;
}

void PostingJournal::setState(std::int64_t runID, RunState state, std::optional<QDate> reversedOn) {
    db_->prepare("UPDATE Runs SET State = ?1, ReversedOn = ?2 WHERE RunID = ?3")
        .bind(1, runStateName(state))
        .bind(2, reversedOn ? std::optional(reversedOn->toString(kDateFormat)) : std::nullopt)
        .bind(3, runID)
        .run();
}

void PostingJournal::discard(std::int64_t runID) {
    JournalTransaction transaction(*db_);
    for (const char* sql :
         {"DELETE FROM PostedNumbers WHERE RunID = ?1", "DELETE FROM Runs WHERE RunID = ?1"}) {
        db_->prepare(sql).bind(1, runID).run();
    }
    transaction.commit();
}

std::vector<Run> PostingJournal::unsettledRuns() {
    std::vector<Run> runs;
    Statement s = db_->prepare((std::string("SELECT ") + kRunColumns +
                                " FROM Runs WHERE State IN ('pending', 'reversing') ORDER BY RunID")
                                   .c_str());
    while (s.step())
        runs.push_back(runFrom(s));
    return runs;
}

std::optional<Run> PostingJournal::readRun(std::int64_t runID) {
    Statement s =
        db_->prepare((std::string("SELECT ") + kRunColumns +
                      ", FileBytes, RowsData, BalanceChangesData FROM Runs WHERE RunID = ?1")
                         .c_str());
    s.bind(1, runID);
    if (!s.step())
        return std::nullopt;
    Run run = runFrom(s);
    run.fileBytes = s.blob(19);
    run.rows = rowsFrom(s.blob(20));
    run.balanceChanges = changesFrom(s.blob(21));
    return run;
}

std::vector<RunSummary> PostingJournal::summaries() {
    std::vector<RunSummary> list;
    Statement s = db_->prepare(
        "SELECT RunID, State, PostedAt, Computer, DepositNumber, DepositID, DepositAmount, "
        "ReversedOn, PaymentsPosted, PostedTotal, FeesTotal, RowsLeftOut, RangeFrom, RangeTo, "
        "CreateDeposit FROM Runs WHERE State IN ('posted', 'reversed') ORDER BY RunID DESC");
    while (s.step()) {
        RunSummary r;
        r.runID = s.integer(0);
        r.state = runStateFromName(s.text(1));
        r.postedAt = QDateTime::fromString(s.text(2), kDateTimeFormat);
        r.computer = s.text(3);
        if (s.integer(14) != 0)
            r.depositNumber = s.text(4);
        r.depositID = s.optionalInteger(5);
        r.depositAmount = currency(s.optionalInteger(6));
        if (const auto reversed = s.optionalText(7))
            r.reversedOn = QDate::fromString(*reversed, kDateFormat);
        r.paymentsPosted = static_cast<int>(s.integer(8));
        r.postedTotal = Currency::fromUnits(s.integer(9));
        r.feesTotal = Currency::fromUnits(s.integer(10));
        r.rowsLeftOut = static_cast<int>(s.integer(11));
        if (const auto from = s.optionalText(12))
            r.rangeFrom = QDate::fromString(*from, kDateFormat);
        if (const auto to = s.optionalText(13))
            r.rangeTo = QDate::fromString(*to, kDateFormat);
        list.push_back(std::move(r));
    }
    return list;
}

QHash<QString, QDate> PostingJournal::postedDates(const QStringList& transactionNumbers) {
    QHash<QString, QDate> dates;
    QStringList numbers;
    numbers.reserve(transactionNumbers.size());
    for (const QString& number : transactionNumbers) {
        if (!number.isEmpty())
            numbers << number;
    }
    if (numbers.isEmpty())
        return dates;
    // One statement looks every number up in the index.
    Statement s = db_->prepare(
        "SELECT Numbers.value, max(Runs.PostedAt) FROM json_each(?1) AS Numbers "
        "JOIN PostedNumbers ON PostedNumbers.TransactionNumber = Numbers.value "
        "JOIN Runs ON Runs.RunID = PostedNumbers.RunID WHERE Runs.State = 'posted' "
        "GROUP BY Numbers.value");
    s.bind(1, jsonArray(numbers));
    while (s.step())
        dates.insert(s.text(0), QDateTime::fromString(s.text(1), kDateTimeFormat).date());
    return dates;
}

}  // namespace corvane::journal
