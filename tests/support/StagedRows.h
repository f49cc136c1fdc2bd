#pragma once

#include "payments/StagedRow.h"

#include <QString>

#include <utility>

namespace corvane::test {

// The cells of a staged payment row a test gives by name; a cell not given stays empty.
struct StagedCells {
    QString oid = {}, pid = {}, uid = {}, tid = {}, address = {}, name = {}, amount = {}, date = {},
            check = {}, depositDate = {}, type = {}, transaction = {};
};

inline StagedRow makeStagedRow(const StagedCells& c) {
    StagedRow row;
    const std::pair<int, const QString*> cells[] = {{staged::OID, &c.oid},
                                                    {staged::PID, &c.pid},
                                                    {staged::UID, &c.uid},
                                                    {staged::TID, &c.tid},
                                                    {staged::UnitAddress, &c.address},
                                                    {staged::TenantName, &c.name},
                                                    {staged::Amount, &c.amount},
                                                    {staged::Date, &c.date},
                                                    {staged::CheckNumber, &c.check},
                                                    {staged::DepositDate, &c.depositDate},
                                                    {staged::PmtType, &c.type},
                                                    {staged::TransactionNumber, &c.transaction}};
    for (const auto& [column, text] : cells)
        row.setCell(column, *text);
    return row;
}

}  // namespace corvane::test
