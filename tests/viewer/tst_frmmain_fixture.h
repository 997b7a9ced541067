#pragma once

// A small inventory-like result for the viewer tests that need no database.

#include "../grid/gridtesting.h"
#include "data/recordtable.h"

#include <QDate>
#include <QStringList>

#include <memory>

namespace velmora::test {

struct SampleRow {
    const char *model;
    int store;
    qint64 cents;
    const char *account;
    int day;   // day of March 2024
};

// Models are chosen so that their first letters tell the type-to-jump cases apart.
inline constexpr SampleRow kSampleRows[] = {
    {"Alpha TV", 1, 129900, "C1001", 1},
    {"Bravo Sound", 2, 45050, "C1002", 2},
    {"Charlie Lamp", 1, 1999, "C1003", 3},
    {"alpine Desk", 3, 30000, "C1004", 4},
    {"Delta Fridge", 2, 99900, "C1005", 5},
    {"Echo Speaker", 1, 15000, "C1006", 6},
    {"bravo Chair", 3, 8900, "C1007", 7},
    {"Foxtrot PC", 2, 250000, "C1008", 8},
};
inline constexpr int kSampleCount = int(std::size(kSampleRows));

// Columns: model, store, cost (NUMERIC(15,2)), account, daterec; `repeat` copies of the rows,
// the copies' models numbered so every row stays distinguishable in printed output.
inline std::shared_ptr<RecordTable> sampleTable(int repeat = 1)
{
    RecordTable::Builder b;
    const int cModel = b.addColumn(textColumn("model"));
    ColumnInfo store = integerColumn("store");
    store.typeCode = TypeCode::Integer;
    store.definedSize = 4;
    const int cStore = b.addColumn(store);
    const int cCost = b.addColumn(integerColumn("cost", 2));
    const int cAccount = b.addColumn(textColumn("account", 12));
    const int cDate = b.addColumn(dateColumn("daterec"));
    for (int copy = 0; copy < repeat; ++copy) {
        for (const SampleRow &row : kSampleRows) {
            const QString name = copy == 0 ? QString::fromUtf8(row.model)
                                           : QStringLiteral("%1 #%2").arg(QString::fromUtf8(row.model)).arg(copy);
            b.appendText(cModel, name);
            b.appendInteger(cStore, row.store);
            b.appendInteger(cCost, row.cents);
            b.appendText(cAccount, QString::fromUtf8(row.account));
            b.appendDate(cDate, std::int32_t(QDate(2024, 3, row.day).toJulianDay()));
        }
    }
    return std::make_shared<RecordTable>(b.finish());
}

} // namespace velmora::test
