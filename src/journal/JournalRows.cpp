#include "journal/JournalRows.h"

#include "core/TextRules.h"
#include "journal/JournalDb.h"

#include <QDataStream>
#include <QIODevice>
#include <QStringEncoder>
#include <QtEndian>

#include <algorithm>
#include <string>

namespace corvane::journal {

using ledger::Currency;

namespace {

// The journal's row format (little-endian): a format byte, the number of rows (32 bits), then per
// row its line (32 bits), the nine texts (each its UTF-8 length in 32 bits and its bytes), the
// outcome byte, the tenant choice byte, a byte of flags telling which keys and amounts follow, and
// those (64 bits each); flag bit 6 adds the returned payment's run (64 bits), line (32 bits), and
// the Julian days of its posting and of the return (64 bits each). Format 1, written before
// returns and tenant choices, has neither the tenant choice byte nor flag bit 6; format 3 adds
// flag bit 7: the tenant of the return's entries (64 bits) after the returned payment. Formats 1
// and 2 are still read.
constexpr quint8 kRowFormat = 3;
constexpr quint8 kFirstRowFormat = 1;
constexpr quint8 kReturnsRowFormat = 2;
// The balance changes' format, unchanged since the first.
constexpr quint8 kChangesFormat = 1;
constexpr int kReturnBit = 6;
constexpr int kReturnTenantBit = 7;

// Appends to a byte array without a stream: a run's rows are written on the way to the ledger's
// commit, so every millisecond counts.
class RowWriter {
public:
    explicit RowWriter(qsizetype expected) { data_.resize(expected); }
    template <typename T>
    void number(T value) {
        qToLittleEndian(value, room(static_cast<qsizetype>(sizeof(T))));
        at_ += static_cast<qsizetype>(sizeof(T));
    }
    void text(const QString& value) {
        // UTF-8 needs at most 3 bytes a UTF-16 unit.
        char* start = room(4 + value.size() * 3) + 4;
        char* end = encoder_.appendToBuffer(start, value);
        qToLittleEndian(static_cast<quint32>(end - start), start - 4);
        at_ = end - data_.data();
    }
    QByteArray take() {
        data_.truncate(at_);
        return std::move(data_);
    }

private:
    // Where `size` more bytes go, the buffer grown (by half again at least) when they would not
    // fit.
    char* room(qsizetype size) {
        if (at_ + size > data_.size())
            data_.resize(std::max(at_ + size, data_.size() + data_.size() / 2));
        return data_.data() + at_;
    }
    QByteArray data_;
    qsizetype at_ = 0;
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
    void skipText() { take(number<quint32>()); }
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

}  // namespace

std::optional<std::int64_t> unitsOf(const std::optional<Currency>& amount) {
    if (!amount)
        return std::nullopt;
    return amount->units();
}

std::optional<Currency> currencyOf(const std::optional<std::int64_t>& units) {
    if (!units)
        return std::nullopt;
    return Currency::fromUnits(*units);
}

std::int64_t rowTenant(const RunRow& row) {
    if (row.tenantID)
        return *row.tenantID;
    return Currency::leadingValue(trimBlanks(row.tid.mid(1))).roundedToWhole();
}

std::int64_t rowEntryTenant(const RunRow& row) {
    if (row.returnOf && row.returnOf->tenantID)
        return *row.returnOf->tenantID;
    return rowTenant(row);
}

std::optional<QDate> rowEntryDate(const RunRow& row) {
    if (row.returnOf)
        return row.returnOf->recordedOn;
    return parseDateText(row.date);
}

namespace {

void appendJsonText(QString& json, const QString& text) {
    json += QLatin1Char('"');
    for (const QChar c : text) {
        if (c == u'"' || c == u'\\' || c.unicode() < 0x20)
            json += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            json += c;
    }
    json += QLatin1Char('"');
}

// Binds the texts of many rows through one buffer, without an allocation a row.
class TextBinder {
public:
    void bind(Statement& statement, int index, const QString& value) {
        // ASCII (as the processor's numbers are) byte for byte; any other text as toUtf8()
        // writes it.
        buffer_.resize(value.size());
        char* out = buffer_.data();
        for (const QChar c : value) {
            if (c.unicode() >= 0x80) {
                statement.bind(index, value);
                return;
            }
            *out++ = static_cast<char>(c.unicode());
        }
        statement.bindUtf8(index, buffer_.constData(), value.size());
    }
    // The date as QDate::toString(Qt::ISODate) writes it: yyyy-MM-dd.
    void bindIsoDate(Statement& statement, int index, const QDate& date) {
        int year = 0, month = 0, day = 0;
        if (date.isValid())
            date.getDate(&year, &month, &day);
        if (year < 1 || year > 9999) {
            bind(statement, index, date.toString(Qt::ISODate));
            return;
        }
        char text[10];
        for (int i = 3; i >= 0; --i, year /= 10)
            text[i] = static_cast<char>('0' + year % 10);
        text[4] = text[7] = '-';
        text[5] = static_cast<char>('0' + month / 10);
        text[6] = static_cast<char>('0' + month % 10);
        text[8] = static_cast<char>('0' + day / 10);
        text[9] = static_cast<char>('0' + day % 10);
        statement.bindUtf8(index, text, sizeof text);
    }

private:
    QByteArray buffer_;
};

// Inserts `count` rows of `columns` values, in order, 64 to a statement: `insert` is the INSERT
// up to its VALUES; bindRow(statement, its first parameter of the row, i) binds row i's values.
template <typename BindRow>
void insertRows(JournalDb& db, const char* insert, int columns, std::size_t count,
                BindRow bindRow) {
    constexpr std::size_t kBatch = 64;
    const auto statementOf = [&](std::size_t rows) {
        std::string row = "(?";
        for (int c = 1; c < columns; ++c)
            row += ",?";
        row += ')';
        std::string sql = std::string(insert) + " VALUES " + row;
        for (std::size_t i = 1; i < rows; ++i)
            sql += ',' + row;
        return db.prepare(sql.c_str());
    };
    const auto runRows = [&](Statement& s, std::size_t first, std::size_t rows) {
        for (std::size_t k = 0; k < rows; ++k)
            bindRow(s, 1 + static_cast<int>(k) * columns, first + k);
        s.run();
    };
    std::size_t i = 0;
    if (count >= kBatch) {
        Statement full = statementOf(kBatch);
        for (; count - i >= kBatch; i += kBatch)
            runRows(full, i, kBatch);
    }
    if (i < count) {
        Statement rest = statementOf(count - i);
        runRows(rest, i, count - i);
    }
}

}  // namespace

void indexRunRows(JournalDb& db, std::int64_t runID, const std::vector<RunRow>& rows) {
    // In key order, so that the index's pages are written one after another; the first row of a
    // number posted twice in one run stands for it.
    std::vector<const RunRow*> posted, returned;
    for (const RunRow& r : rows) {
        if (r.transactionNumber.isEmpty())
            continue;
        if (r.outcome == RowOutcome::Posted)
            posted.push_back(&r);
        else if (r.outcome == RowOutcome::ReturnRecorded && r.returnOf)
            returned.push_back(&r);
    }
    for (auto* list : {&posted, &returned}) {
        std::stable_sort(list->begin(), list->end(), [](const RunRow* a, const RunRow* b) {
            return a->transactionNumber < b->transactionNumber;
        });
        list->erase(std::unique(list->begin(), list->end(),
                                [](const RunRow* a, const RunRow* b) {
                                    return a->transactionNumber == b->transactionNumber;
                                }),
                    list->end());
    }
    // Each row's values bound, 64 rows to a statement: that costs less than SQLite reading them
    // back out of one JSON text, and less than a statement run for every row.
    TextBinder texts;
    insertRows(db,
               "INSERT INTO PostedNumbers (TransactionNumber, RunID, Line, TenantID, "
               "IncomeTransID, IncomeAmount, EntryDate, FeeTransID)",
               8, posted.size(), [&](Statement& s, int at, std::size_t i) {
                   const RunRow& r = *posted[i];
                   texts.bind(s, at, r.transactionNumber);
                   s.bind(at + 1, runID)
                       .bind(at + 2, r.line)
                       .bind(at + 3, rowTenant(r))
                       .bind(at + 4, r.incomeTransID)
                       .bind(at + 5, unitsOf(r.incomeAmount));
                   if (const std::optional<QDate> date = rowEntryDate(r))
                       texts.bindIsoDate(s, at + 6, *date);
                   else
                       s.bindNull(at + 6);
                   s.bind(at + 7, r.feeTransID);
               });
    insertRows(db,
               "INSERT INTO ReturnedPayments (TransactionNumber, RunID, Line, PaymentRunID, "
               "PaymentLine)",
               5, returned.size(), [&](Statement& s, int at, std::size_t i) {
                   const RunRow& r = *returned[i];
                   texts.bind(s, at, r.transactionNumber);
                   s.bind(at + 1, runID)
                       .bind(at + 2, r.line)
                       .bind(at + 3, r.returnOf->runID)
                       .bind(at + 4, r.returnOf->line);
               });
}

// The texts as a JSON array of strings.
QString jsonArray(const QStringList& texts) {
    QString json;
    json.reserve(texts.size() * 12 + 2);
    json += QLatin1Char('[');
    for (const QString& text : texts) {
        if (json.size() > 1)
            json += QLatin1Char(',');
        appendJsonText(json, text);
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
        const std::optional<std::int64_t> values[] = {r.incomeTransID, unitsOf(r.incomeAmount),
                                                      r.feeTransID,    unitsOf(r.feeAmount),
                                                      r.splitID,       unitsOf(r.splitAmount)};
        quint8 flags = 0;
        for (int bit = 0; bit < 6; ++bit) {
            if (values[bit])
                flags |= static_cast<quint8>(1u << bit);
        }
        if (r.returnOf)
            flags |= static_cast<quint8>(1u << kReturnBit);
        if (r.returnOf && r.returnOf->tenantID)
            flags |= static_cast<quint8>(1u << kReturnTenantBit);
        out.number(static_cast<quint8>(r.outcome));
        out.number(static_cast<quint8>(r.tenantChoice));
        out.number(flags);
        for (const auto& v : values) {
            if (v)
                out.number(static_cast<qint64>(*v));
        }
        if (r.returnOf) {
            out.number(static_cast<qint64>(r.returnOf->runID));
            out.number(static_cast<qint32>(r.returnOf->line));
            out.number(static_cast<qint64>(r.returnOf->postedOn.toJulianDay()));
            out.number(static_cast<qint64>(r.returnOf->recordedOn.toJulianDay()));
            if (r.returnOf->tenantID)
                out.number(static_cast<qint64>(*r.returnOf->tenantID));
        }
    }
    return out.take();
}

std::vector<RunRow> rowsFrom(const QByteArray& data, RowTexts texts) {
    RowReader in(data);
    const auto format = in.number<quint8>();
    const auto count = in.number<quint32>();
    if (in.ok() && format != kRowFormat && format != kReturnsRowFormat &&
        format != kFirstRowFormat)
        throw JournalError(QStringLiteral("a run's rows are in a format this Corvane cannot read"));
    std::vector<RunRow> rows;
    rows.reserve(std::min<quint32>(count, 1u << 16));
    for (quint32 i = 0; i < count && in.ok(); ++i) {
        RunRow r;
        r.line = in.number<qint32>();
        for (QString* text : {&r.tid, &r.address, &r.name, &r.amount, &r.date, &r.checkChar,
                              &r.pmtType, &r.transactionNumber, &r.note}) {
            if (texts == RowTexts::All || text == &r.tid || text == &r.date)
                *text = in.text();
            else
                in.skipText();
        }
        // The journal keeps the tenant as its TID: "T42", or "T#..." for none.
        if (!r.tid.startsWith(QStringLiteral("T#")))
            r.tenantID = rowTenant(r);
        const auto outcome = in.number<quint8>();
        const auto choice = format != kFirstRowFormat ? in.number<quint8>() : quint8{0};
        const auto flags = in.number<quint8>();
        r.tenantChoice = choice == static_cast<quint8>(TenantChoice::Chosen) ? TenantChoice::Chosen
                         : choice == static_cast<quint8>(TenantChoice::Remembered)
                             ? TenantChoice::Remembered
                             : TenantChoice::None;
        switch (outcome) {
            case static_cast<quint8>(RowOutcome::NoTenant):
                r.outcome = RowOutcome::NoTenant;
                break;
            case static_cast<quint8>(RowOutcome::Note):
                r.outcome = RowOutcome::Note;
                break;
            case static_cast<quint8>(RowOutcome::ReturnRecorded):
                r.outcome = RowOutcome::ReturnRecorded;
                break;
            default:
                r.outcome = RowOutcome::Posted;
        }
        const auto next = [&](int bit) -> std::optional<std::int64_t> {
            if (!(flags & (1u << bit)))
                return std::nullopt;
            return in.number<qint64>();
        };
        r.incomeTransID = next(0);
        r.incomeAmount = currencyOf(next(1));
        r.feeTransID = next(2);
        r.feeAmount = currencyOf(next(3));
        r.splitID = next(4);
        r.splitAmount = currencyOf(next(5));
        if (flags & (1u << kReturnBit)) {
            ReturnLink link;
            link.runID = in.number<qint64>();
            link.line = in.number<qint32>();
            link.postedOn = QDate::fromJulianDay(in.number<qint64>());
            link.recordedOn = QDate::fromJulianDay(in.number<qint64>());
            if (format == kRowFormat && (flags & (1u << kReturnTenantBit)))
                link.tenantID = in.number<qint64>();
            r.returnOf = link;
        }
        rows.push_back(std::move(r));
    }
    if (!in.ok() || !in.atEnd() || rows.size() != count)
        throw JournalError(QStringLiteral("a run's rows are damaged"));
    return rows;
}

QByteArray changesData(const std::vector<BalanceChange>& changes) {
    // As QDataStream (Qt 6.0, big-endian) writes them, without a stream: the format byte, the
    // count (32 bits), then per change its kind byte, key and amount (64 bits each).
    QByteArray data(static_cast<qsizetype>(5 + changes.size() * 17), Qt::Uninitialized);
    char* out = data.data();
    *out++ = static_cast<char>(kChangesFormat);
    qToBigEndian(static_cast<quint32>(changes.size()), out);
    out += 4;
    for (const BalanceChange& c : changes) {
        *out++ = static_cast<char>(static_cast<quint8>(c.kind));
        qToBigEndian(static_cast<qint64>(c.key), out);
        qToBigEndian(static_cast<qint64>(c.amount.units()), out + 8);
        out += 16;
    }
    return data;
}

std::vector<BalanceChange> changesFrom(const QByteArray& data) {
    QDataStream in(data);
    in.setVersion(QDataStream::Qt_6_0);
    quint8 format = 0;
    quint32 count = 0;
    in >> format >> count;
    if (format != kChangesFormat)
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

}  // namespace corvane::journal
