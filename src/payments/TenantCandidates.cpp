#include "payments/TenantCandidates.h"

#include "core/TextRules.h"
#include "payments/PaymentMatching.h"
#include "platform/ledger/LedgerSchema.h"

#include <QHash>
#include <QStringList>

#include <algorithm>

namespace corvane {

namespace {

const QStringList kCaptions = {QStringLiteral("TID"), QStringLiteral("Tenant Name"),
                               QStringLiteral("Unit Address"), QStringLiteral("Property")};

// Whether `word` stands in `text` between `begin` and `end` as a whole word.
bool hasWord(QStringView text, qsizetype begin, qsizetype end, const QString& word) {
    const QStringView part = text.sliced(begin, end - begin);
    for (qsizetype at = part.indexOf(word); at >= 0; at = part.indexOf(word, at + 1)) {
        const qsizetype after = at + word.size();
        if ((at == 0 || part[at - 1] == u' ') && (after == part.size() || part[after] == u' '))
            return true;
    }
    return false;
}

}  // namespace

TenantCandidates::TenantCandidates(QObject* parent) : QAbstractTableModel(parent) {}

TenantCandidates::~TenantCandidates() = default;

void TenantCandidates::appendSearchText(QString& out, QStringView text) {
    const qsizetype start = out.size();
    bool blank = true;  // no blank at the start, none twice
    for (const QChar c : text) {
        if (c.isLetterOrNumber()) {
            out += c.toLower();
            blank = false;
        } else if (!blank) {
            out += u' ';
            blank = true;
        }
    }
    if (out.size() > start && out.endsWith(u' '))
        out.chop(1);
}

QString TenantCandidates::searchText(const QString& text) {
    QString out;
    out.reserve(text.size());
    appendSearchText(out, text);
    return out;
}

void TenantCandidates::load(ledger::Database& db) {
    const ledger::Database::ContentMark mark = db.contentMark();
    if (&db == db_ && mark_ == mark)
        return;
    beginResetModel();
    tenants_.clear();
    ranked_.clear();
    shown_.clear();
    mark_.reset();
    db_ = &db;
    try {
        ledger::ReadTransaction snapshot(db);
        QHash<qint64, QString> properties;
        db.openLookup(Properties::table, Properties::PropIDIndex, {Properties::PropName})
            ->forEach([&](const ledger::Value& id, const std::vector<ledger::Value>& fields) {
                if (!id.isNull() && !properties.contains(id.toInteger()))
                    properties.insert(id.toInteger(), fields[0].toText());
            });
        // Each tenant's first unit in index order, as the matching takes it, found by binary
        // search in the units as the index gives them.
        std::vector<std::pair<qint64, QString>> units;
        db.openLookup(Units::table, Units::UTenantIDIndex, {Units::UAddress})
            ->forEach([&](const ledger::Value& tenantId, const std::vector<ledger::Value>& unit) {
                if (!tenantId.isNull())
                    units.emplace_back(tenantId.toInteger(), unit[0].toText());
            });
        const auto byKey = [](const auto& a, const auto& b) { return a.first < b.first; };
        if (!std::is_sorted(units.begin(), units.end(), byKey))
            std::stable_sort(units.begin(), units.end(), byKey);
        db.openLookup(Tenants::table, Tenants::TenantIDIndex,
                      {Tenants::TLastName1, Tenants::TFirstName1, Tenants::TPropID})
            ->forEach([&](const ledger::Value& tenantId, const std::vector<ledger::Value>& f) {
                if (tenantId.isNull())
                    return;
                Entry e;
                e.tenantID = tenantId.toInteger();
                const QString id = tenantId.toText().remove(QLatin1Char(' '));
                const QString name = listedTenantName(f[0].toText(), f[1].toText());
                if (trimBlanks(f[0].toText()).isEmpty())
                    e.rowName = tenantDisplayName(f[0], f[1]);
                const auto unit =
                    std::lower_bound(units.cbegin(), units.cend(),
                                     std::pair<qint64, QString>(e.tenantID, QString()), byKey);
                e.hasUnit = unit != units.cend() && unit->first == e.tenantID;
                const QString address = e.hasUnit ? unit->second : QString();
                const QString property = properties.value(f[2].toInteger());
                QString& t = e.text;
                t.reserve(2 * (1 + id.size() + name.size() + address.size()) + property.size() + 2);
                t += u'T';
                t += id;
                e.tidEnd = static_cast<int>(t.size());
                t += name;
                e.nameEnd = static_cast<int>(t.size());
                t += address;
                e.addressEnd = static_cast<int>(t.size());
                t += property;
                e.propertyEnd = static_cast<int>(t.size());
                appendSearchText(t, QStringView(t).first(e.tidEnd));
                t += u'\n';
                e.keyNameBegin = static_cast<int>(t.size()) - e.propertyEnd;
                appendSearchText(t, name);
                e.keyNameEnd = static_cast<int>(t.size()) - e.propertyEnd;
                t += u'\n';
                e.keyAddressBegin = static_cast<int>(t.size()) - e.propertyEnd;
                appendSearchText(t, address);
                tenants_.push_back(std::move(e));
            });
    } catch (...) {
        tenants_.clear();
        endResetModel();
        throw;
    }
    mark_ = mark;
    ranked_.resize(tenants_.size());
    for (std::size_t i = 0; i < ranked_.size(); ++i)
        ranked_[i] = static_cast<int>(i);
    shown_ = ranked_;
    filter_.clear();
    filterWords_.clear();
    endResetModel();
}

void TenantCandidates::rankFor(const QString& payerName, const QString& payerAddress) {
    const QString address = searchText(payerAddress);
    QStringList words;
    for (const QString& word : searchText(payerName).split(u' ', Qt::SkipEmptyParts)) {
        if (word.size() >= 2 && !words.contains(word))
            words << word;  // initials say too little
    }
    // The same unit address outweighs any number of shared words of the name.
    // The candidates (those with points) in order of points, then every other tenant by TID.
    std::vector<std::pair<int, int>> candidates;  // points, index
    std::vector<int> others;
    others.reserve(tenants_.size());
    for (std::size_t i = 0; i < tenants_.size(); ++i) {
        const Entry& e = tenants_[i];
        const QStringView key = e.key();
        const QStringView unit = key.sliced(e.keyAddressBegin);
        int points = 0;
        if (!unit.isEmpty() && !address.isEmpty() &&
            (address == unit || (address.startsWith(unit) && address[unit.size()] == u' ')))
            points = 1000;
        for (const QString& word : words) {
            if (hasWord(key, e.keyNameBegin, e.keyNameEnd, word))
                ++points;
        }
        if (points > 0)
            candidates.emplace_back(points, static_cast<int>(i));
        else
            others.push_back(static_cast<int>(i));
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    beginResetModel();
    ranked_.clear();
    ranked_.reserve(tenants_.size());
    for (const auto& [points, index] : candidates)
        ranked_.push_back(index);
    ranked_.insert(ranked_.end(), others.cbegin(), others.cend());
    shown_ = ranked_;
    filter_.clear();
    filterWords_.clear();
    endResetModel();
}

void TenantCandidates::setFilter(const QString& text) {
    if (text == filter_)
        return;
    const QStringList words = searchText(text).split(u' ', Qt::SkipEmptyParts);
    // A text that only grew keeps to the rows it showed: every word it had is still in it.
    bool narrower = !filterWords_.isEmpty() && words.size() >= filterWords_.size();
    for (qsizetype i = 0; narrower && i < filterWords_.size(); ++i) {
        const bool last = i == filterWords_.size() - 1;
        narrower = last ? words[i].startsWith(filterWords_[i]) : words[i] == filterWords_[i];
    }
    beginResetModel();
    const std::vector<int>& from = narrower ? shown_ : ranked_;
    std::vector<int> kept;
    if (words.isEmpty()) {
        kept = ranked_;
    } else {
        kept.reserve(from.size());
        for (const int i : from) {
            const QStringView key = tenants_[static_cast<std::size_t>(i)].key();
            const bool all = std::all_of(words.cbegin(), words.cend(),
                                         [&](const QString& word) { return key.contains(word); });
            if (all)
                kept.push_back(i);
        }
    }
    shown_ = std::move(kept);
    filter_ = text;
    filterWords_ = words;
    endResetModel();
}

QString TenantCandidates::shownText(const Entry& e, int column) const {
    const QStringView shown(e.text);
    const int tidEnd = e.tidEnd;
    switch (column) {
        case ColTID:
            return shown.first(tidEnd).toString();
        case ColName:
            return shown.sliced(tidEnd, e.nameEnd - tidEnd).toString();
        case ColUnitAddress:
            return shown.sliced(e.nameEnd, e.addressEnd - e.nameEnd).toString();
        case ColProperty:
            return shown.sliced(e.addressEnd, e.propertyEnd - e.addressEnd).toString();
        default:
            return {};
    }
}

std::optional<TenantCandidate> TenantCandidates::candidateAt(int row) const {
    if (row < 0 || row >= rowCount())
        return std::nullopt;
    const Entry& e = tenants_[static_cast<std::size_t>(shown_[static_cast<std::size_t>(row)])];
    TenantCandidate c;
    c.tenantID = e.tenantID;
    c.tid = shownText(e, ColTID);
    c.name = e.rowName.isNull() ? shownText(e, ColName) : e.rowName;
    if (e.hasUnit)
        c.unitAddress = shownText(e, ColUnitAddress);
    c.property = shownText(e, ColProperty);
    return c;
}

int TenantCandidates::rowOf(std::int64_t tenantID) const {
    for (std::size_t row = 0; row < shown_.size(); ++row) {
        if (tenants_[static_cast<std::size_t>(shown_[row])].tenantID == tenantID)
            return static_cast<int>(row);
    }
    return -1;
}

int TenantCandidates::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(shown_.size());
}

int TenantCandidates::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TenantCandidates::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || role != Qt::DisplayRole)
        return {};
    const Entry& e =
        tenants_[static_cast<std::size_t>(shown_[static_cast<std::size_t>(index.row())])];
    return shownText(e, index.column());
}

QVariant TenantCandidates::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= ColumnCount)
        return {};
    return kCaptions[section];
}

}  // namespace corvane
