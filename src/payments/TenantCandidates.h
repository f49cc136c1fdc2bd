#pragma once

#include "platform/ledger/Database.h"

#include <QAbstractTableModel>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace corvane {

// One tenant of the ledger as the Choose Tenant window lists it: the tenant with the address of
// its first unit (as the payment matching takes it) and its property's name. The list shows the
// name by listedTenantName ("VACANT" where a matched row shows ", VACANT").
struct TenantCandidate {
    std::int64_t tenantID = 0;
    QString tid;                         // "T42", as a matched row shows it
    QString name;                        // "Lee, Ann", as a matched row shows it
    std::optional<QString> unitAddress;  // nullopt: the tenant has no unit
    QString property;                    // empty when the property is not found
};

// The ledger's tenants for choosing the tenant of a payment: the best candidates for the payment
// first (the tenants whose unit address is the payer's address, then those whose name shares
// the most words with the payer's name, each group by TID), then the others by TID; filtered by
// the words the user types, each of which must be in the tenant's TID, name or unit address
// (letter case, punctuation and repeated blanks ignored).
//
// Call order: load(db) (again after the ledger changed; an unchanged ledger is not read again),
// rankFor(payer name, payer address), then setFilter as the user types; candidateAt(row) for
// the row chosen. Each search key is made once, when the tenants are read, so that filtering
// 100,000 tenants costs one pass over their keys (or over the rows still shown, when the text
// only grows).
class TenantCandidates : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { ColTID, ColName, ColUnitAddress, ColProperty, ColumnCount };

    explicit TenantCandidates(QObject* parent = nullptr);
    ~TenantCandidates() override;

    // Reads TenantID, TLastName1, TFirstName1 and TPropID of every tenant, UAddress of every
    // unit and PropName of every property, one statement each (throws corvane::Error).
    void load(ledger::Database& db);
    void rankFor(const QString& payerName, const QString& payerAddress);
    void setFilter(const QString& text);
    const QString& filter() const { return filter_; }

    int tenantCount() const { return static_cast<int>(tenants_.size()); }
    // The tenant of a listed row; nullopt for a row that is not there.
    std::optional<TenantCandidate> candidateAt(int row) const;
    // The listed row of a tenant; -1 when the tenant is not listed.
    int rowOf(std::int64_t tenantID) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // The words of a text as searched and compared: lower case, every character that is not a
    // letter or a digit a blank, blanks simplified.
    static QString searchText(const QString& text);

private:
    // One tenant in one string (a list of 100,000 costs 100,000 strings): the TID, name, unit
    // address and property as shown, one after another, then the search key, the searchText of
    // TID, name and unit address separated by line feeds.
    struct Entry {
        std::int64_t tenantID = 0;
        QString text;
        int tidEnd = 0, nameEnd = 0, addressEnd = 0, propertyEnd = 0;  // the shown texts' ends
        int keyNameBegin = 0, keyNameEnd = 0, keyAddressBegin = 0;     // the key's parts
        bool hasUnit = false;
        // The name a matched row shows, when the last name is blank (", VACANT").
        QString rowName;
        QStringView key() const { return QStringView(text).sliced(propertyEnd); }
    };
    QString shownText(const Entry& e, int column) const;
    static void appendSearchText(QString& out, QStringView text);

    std::vector<Entry> tenants_;  // by TenantID
    std::vector<int> ranked_;     // indexes into tenants_, best first
    std::vector<int> shown_;      // the ranked tenants that pass the filter
    QString filter_;
    QStringList filterWords_;
    ledger::Database* db_ = nullptr;
    std::optional<ledger::Database::ContentMark> mark_;
};

}  // namespace corvane
