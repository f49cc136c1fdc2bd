#include "journal/PostingJournal.h"

#include "core/TextRules.h"
#include "journal/JournalRows.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <stdexcept>

namespace corvane::journal {

using ledger::Currency;

namespace {

const QString kDateTimeFormat = QStringLiteral("yyyy-MM-ddTHH:mm:ss");
const QString kDateFormat = QStringLiteral("yyyy-MM-dd");

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
    run.depositAmount = currencyOf(s.optionalInteger(12));
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
        case RowOutcome::ReturnRecorded:
            return QStringLiteral("return recorded");
    }
    return {};
}

RowOutcome rowOutcomeFromName(const QString& name) {
    if (name == QLatin1String("no tenant"))
        return RowOutcome::NoTenant;
    if (name == QLatin1String("note"))
        return RowOutcome::Note;
    if (name == QLatin1String("return recorded"))
        return RowOutcome::ReturnRecorded;
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

std::unique_ptr<PostingJournal> PostingJournal::openExisting(const QString& programFolder) {
    if (!QFileInfo::exists(pathIn(programFolder)))
        return nullptr;
    return open(programFolder);
}

RunSummary summaryOf(const Run& run) {
    RunSummary summary;
    std::optional<QDate> from, to;
    for (const RunRow& r : run.rows) {
        if (r.outcome == RowOutcome::ReturnRecorded)
            continue;
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
    // The file and the rows are bound where they are, not copied: SQLite copies them once more
    // into the record it writes, and a run of 32,767 rows holds megabytes of each.
    const QByteArray rows = rowsData(run.rows);
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
        .bindInPlace(5, run.fileBytes)
        .bind(6, run.fileDigest)
        .bind(7, run.remarkChoice)
        .bind(8, run.remarkText)
        .bind(9, run.postFees)
        .bind(10, run.createDeposit)
        .bind(11, run.depositNumber)
        .bind(12, run.depositID)
        .bind(13, unitsOf(run.depositAmount))
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
        .bindInPlace(26, rows)
        .bind(27, changesData(run.balanceChanges))
        .run();
    const std::int64_t runID = db.lastInsertId();

    indexRunRows(db, runID, run.rows);
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
         {"DELETE FROM PostedNumbers WHERE RunID = ?1",
          "DELETE FROM ReturnedPayments WHERE RunID = ?1", "DELETE FROM Runs WHERE RunID = ?1"}) {
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

namespace {

// A run as a check against the ledger reads it: the statement's run columns, then its rows and
// balance changes.
const std::string kRunToCheckColumns =
    std::string("SELECT ") + kRunColumns + ", RowsData, BalanceChangesData FROM Runs ";

Run runToCheckFrom(const Statement& s) {
    Run run = runFrom(s);
    run.rows = rowsFrom(s.blob(19), RowTexts::LedgerKeys);
    run.balanceChanges = changesFrom(s.blob(20));
    return run;
}

}  // namespace

std::vector<Run> PostingJournal::runsToCheck() {
    std::vector<Run> runs;
    Statement s = db_->prepare(
        (kRunToCheckColumns + "WHERE State IN ('posted', 'reversed') ORDER BY RunID DESC").c_str());
    while (s.step())
        runs.push_back(runToCheckFrom(s));
    return runs;
}

std::optional<Run> PostingJournal::runToCheck(std::int64_t runID) {
    Statement s = db_->prepare((kRunToCheckColumns + "WHERE RunID = ?1").c_str());
    s.bind(1, runID);
    if (!s.step())
        return std::nullopt;
    return runToCheckFrom(s);
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
        r.depositAmount = currencyOf(s.optionalInteger(6));
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

QSet<std::int64_t> PostingJournal::writtenByCorvane(const std::vector<IncomeEntry>& entries) {
    QSet<std::int64_t> written;
    if (entries.empty())
        return written;
    QString json = QStringLiteral("[");
    for (const IncomeEntry& e : entries) {
        if (json.size() > 1)
            json += QLatin1Char(',');
        json += QStringLiteral("[%1,%2,%3,\"%4\"]")
                    .arg(e.transID)
                    .arg(e.tenantID)
                    .arg(e.amountUnits)
                    .arg(e.date.toString(Qt::ISODate));
    }
    json += QLatin1Char(']');
    Statement s = db_->prepare(
        "SELECT DISTINCT Entry.value->>0 FROM json_each(?1) AS Entry JOIN PostedNumbers AS Posted "
        "ON Posted.IncomeTransID = Entry.value->>0 AND Posted.TenantID = Entry.value->>1 AND "
        "Posted.IncomeAmount = Entry.value->>2 AND Posted.EntryDate = Entry.value->>3 JOIN Runs "
        "ON Runs.RunID = Posted.RunID WHERE Runs.State IN ('posted', 'reversed')");
    s.bind(1, json);
    while (s.step())
        written.insert(s.integer(0));
    return written;
}

}  // namespace corvane::journal
