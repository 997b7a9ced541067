#pragma once

// Small in-memory inventory tables for the grid tests.

#include "data/recordtable.h"
#include "grid/reportgrid.h"

#include <QDate>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

namespace velmora::test {

struct InvRow {
    int id;
    const char *category;   // nullptr = null
    int store;
    const char *description;
    std::optional<std::int64_t> costCents;
    QDate daterec;
};

inline ColumnInfo makeColumn(const char *name, ColumnType type, int code, int size, int scale = 0)
{
    return {.name = QString::fromLatin1(name), .type = type, .typeCode = code, .scale = scale, .definedSize = size};
}

inline ColumnInfo textColumn(const char *name, int size = 30) { return makeColumn(name, ColumnType::Text, TypeCode::WideText, size); }
inline ColumnInfo dateColumn(const char *name) { return makeColumn(name, ColumnType::Date, TypeCode::DbDate, 4); }
inline ColumnInfo integerColumn(const char *name, int scale = 0)
{
    return makeColumn(name, ColumnType::Integer, scale ? TypeCode::Numeric : TypeCode::Integer, 8, scale);
}

// Columns: id, category, store, description, cost NUMERIC(15,2), daterec.
inline std::shared_ptr<RecordTable> inventoryTable(const std::vector<InvRow> &rows)
{
    RecordTable::Builder b;
    b.addColumn(integerColumn("id"));
    b.addColumn(textColumn("category"));
    b.addColumn(integerColumn("store"));
    b.addColumn(textColumn("description", 200));
    b.addColumn(integerColumn("cost", 2));
    b.addColumn(dateColumn("daterec"));
    for (const InvRow &r : rows) {
        b.appendInteger(0, r.id);
        r.category ? b.appendText(1, QString::fromUtf8(r.category)) : b.appendNull(1);
        b.appendInteger(2, r.store);
        b.appendText(3, QString::fromUtf8(r.description));
        r.costCents ? b.appendInteger(4, *r.costCents) : b.appendNull(4);
        r.daterec.isValid() ? b.appendDate(5, std::int32_t(r.daterec.toJulianDay())) : b.appendNull(5);
    }
    return std::make_shared<RecordTable>(b.finish());
}

// Ten rows over three categories (one null) and two stores.
inline std::vector<InvRow> sampleRows()
{
    return {
        {1, "TV", 1, "Plasma 42", 49999, QDate(2020, 1, 5)},
        {2, "AUDIO", 2, "Receiver", 12050, QDate(2020, 2, 1)},
        {3, "TV", 2, "LCD 32", 29900, QDate(2019, 12, 24)},
        {4, "APPLIANCE", 1, "Washer", 45000, QDate(2021, 3, 3)},
        {5, "AUDIO", 1, "Speakers", std::nullopt, QDate()},
        {6, "TV", 1, "OLED 55", 129999, QDate(2022, 6, 30)},
        {7, nullptr, 2, "Unsorted part", 100, QDate(2018, 7, 7)},
        {8, "APPLIANCE", 2, "Dryer", 39999, QDate(2021, 3, 4)},
        {9, "AUDIO", 2, "Turntable", 8999, QDate(2020, 5, 5)},
        {10, "TV", 2, "Projector", 75050, QDate(2023, 1, 1)},
    };
}

// The ids of the record rows in display order.
inline QList<int> recordIds(const ReportGrid &g)
{
    QList<int> ids;
    for (int p = 1; p <= g.rowCount(); ++p)
        if (g.row(p).type == GridRowType::Record)
            ids << g.value(p, 1).toInt();
    return ids;
}

// Row types and group levels as a short text: "H1 R R F1".
inline QString rowShape(const ReportGrid &g)
{
    QStringList parts;
    for (int p = 1; p <= g.rowCount(); ++p) {
        const GridRow r = g.row(p);
        parts << (r.type == GridRowType::Record ? QStringLiteral("R")
                                                : (r.type == GridRowType::GroupHeader ? u'H' : u'F') + QString::number(r.level));
    }
    return parts.join(QLatin1Char(' '));
}

} // namespace velmora::test
