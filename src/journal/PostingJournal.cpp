#include "journal/PostingJournal.h"

#include <QDir>

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

QString unusableJournalMessage(const JournalError& error) {
    return QStringLiteral("The posting journal %1 cannot be used: %2. Corvane records every posting "
                          "run there and posts nothing without it. Move the file out of the "
                          "Lodgebook folder to start a new journal.")
        .arg(kJournalFileName, error.reason());
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

std::int64_t PostingJournal::record(const Run& run) {
    JournalDb& db = *db_;
    JournalTransaction transaction(db);
    db.prepare(
          "INSERT INTO Runs (State, PostedAt, Computer, FileName, FileBytes, FileDigest, "
          "RemarkChoice, RemarkText, PostFees, CreateDeposit, DepositNumber, DepositID, "
          "DepositAmount, LogDate, LogBalance, LogRangeFrom, LogRangeTo, Evidence, ReversedOn) "
          "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17, ?18, "
          "?19)")
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
        .bind(19, run.reversedOn ? std::optional(run.reversedOn->toString(kDateFormat))
                                 : std::nullopt)
        .run();
    const std::int64_t runID = db.lastInsertId();

    Statement row = db.prepare(
        "INSERT INTO RunRows (RunID, Seq, Line, TID, Address, Name, Amount, PayDate, CheckChar, "
        "PmtType, TransactionNumber, Note, Outcome, IncomeTransID, IncomeAmount, FeeTransID, "
        "FeeAmount, SplitID, SplitAmount) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, "
        "?12, ?13, ?14, ?15, ?16, ?17, ?18, ?19)");
    int seq = 0;
    for (const RunRow& r : run.rows) {
        row.bind(1, runID)
            .bind(2, seq++)
            .bind(3, r.line)
            .bind(4, r.tid)
            .bind(5, r.address)
            .bind(6, r.name)
            .bind(7, r.amount)
            .bind(8, r.date)
            .bind(9, r.checkChar)
            .bind(10, r.pmtType)
            .bind(11, r.transactionNumber)
            .bind(12, r.note)
            .bind(13, rowOutcomeName(r.outcome))
            .bind(14, r.incomeTransID)
            .bind(15, units(r.incomeAmount))
            .bind(16, r.feeTransID)
            .bind(17, units(r.feeAmount))
            .bind(18, r.splitID)
            .bind(19, units(r.splitAmount))
            .run();
    }
    Statement change = db.prepare(
        "INSERT INTO BalanceChanges (RunID, Kind, KeyID, Amount) VALUES (?1, ?2, ?3, ?4)");
    for (const BalanceChange& c : run.balanceChanges) {
        change.bind(1, runID)
            .bind(2, c.kind == BalanceChange::Kind::Tenant ? QStringLiteral("tenant")
                                                           : QStringLiteral("unit"))
            .bind(3, c.key)
            .bind(4, c.amount.units())
            .run();
    }
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
    for (const char* sql : {"DELETE FROM BalanceChanges WHERE RunID = ?1",
                            "DELETE FROM RunRows WHERE RunID = ?1",
                            "DELETE FROM Runs WHERE RunID = ?1"}) {
        db_->prepare(sql).bind(1, runID).run();
    }
    transaction.commit();
}

std::vector<Run> PostingJournal::unsettledRuns() {
    std::vector<Run> runs;
    Statement s = db_->prepare(
        (std::string("SELECT ") + kRunColumns +
         " FROM Runs WHERE State IN ('pending', 'reversing') ORDER BY RunID")
            .c_str());
    while (s.step())
        runs.push_back(runFrom(s));
    return runs;
}

std::optional<Run> PostingJournal::readRun(std::int64_t runID) {
    Statement s = db_->prepare(
        (std::string("SELECT ") + kRunColumns + ", FileBytes FROM Runs WHERE RunID = ?1").c_str());
    s.bind(1, runID);
    if (!s.step())
        return std::nullopt;
    Run run = runFrom(s);
    run.fileBytes = s.blob(19);

    Statement rows = db_->prepare(
        "SELECT Line, TID, Address, Name, Amount, PayDate, CheckChar, PmtType, TransactionNumber, "
        "Note, Outcome, IncomeTransID, IncomeAmount, FeeTransID, FeeAmount, SplitID, SplitAmount "
        "FROM RunRows WHERE RunID = ?1 ORDER BY Seq");
    rows.bind(1, runID);
    while (rows.step()) {
        RunRow r;
        r.line = static_cast<int>(rows.integer(0));
        r.tid = rows.text(1);
        r.address = rows.text(2);
        r.name = rows.text(3);
        r.amount = rows.text(4);
        r.date = rows.text(5);
        r.checkChar = rows.text(6);
        r.pmtType = rows.text(7);
        r.transactionNumber = rows.text(8);
        r.note = rows.text(9);
        r.outcome = rowOutcomeFromName(rows.text(10));
        r.incomeTransID = rows.optionalInteger(11);
        r.incomeAmount = currency(rows.optionalInteger(12));
        r.feeTransID = rows.optionalInteger(13);
        r.feeAmount = currency(rows.optionalInteger(14));
        r.splitID = rows.optionalInteger(15);
        r.splitAmount = currency(rows.optionalInteger(16));
        run.rows.push_back(std::move(r));
    }
    Statement changes = db_->prepare(
        "SELECT Kind, KeyID, Amount FROM BalanceChanges WHERE RunID = ?1 ORDER BY Kind, KeyID");
    changes.bind(1, runID);
    while (changes.step()) {
        BalanceChange c;
        c.kind = changes.text(0) == QLatin1String("unit") ? BalanceChange::Kind::Unit
                                                          : BalanceChange::Kind::Tenant;
        c.key = changes.integer(1);
        c.amount = Currency::fromUnits(changes.integer(2));
        run.balanceChanges.push_back(c);
    }
    return run;
}

QHash<QString, QDate> PostingJournal::postedDates(const QStringList& transactionNumbers) {
    QHash<QString, QDate> dates;
    Statement s = db_->prepare(
        "SELECT max(Runs.PostedAt) FROM RunRows JOIN Runs ON Runs.RunID = RunRows.RunID "
        "WHERE RunRows.TransactionNumber = ?1 AND RunRows.Outcome = 'posted' "
        "AND Runs.State = 'posted'");
    JournalTransaction snapshot(*db_);  // one read lock for all the look-ups
    for (const QString& number : transactionNumbers) {
        if (number.isEmpty() || dates.contains(number))
            continue;
        s.bind(1, number);
        if (s.step() && !s.isNull(0))
            dates.insert(number, QDateTime::fromString(s.text(0), kDateTimeFormat).date());
        s.reset();
    }
    return dates;
}

}  // namespace corvane::journal
