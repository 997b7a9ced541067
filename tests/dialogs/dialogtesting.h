#pragma once

// The view dialogs' fixture: a grid over a small customer table with the hidden totals column,
// and the grid's state in one line for a table row to expect.

#include "common/dialogsteps.h"
#include "../grid/gridtesting.h"
#include "data/recordtable.h"
#include "grid/reportgrid.h"

#include <string_view>

namespace velmora::test {

// Columns of the customer table, 1-based as the grid numbers them; the totals column follows.
enum CustomerColumn { Account = 1, Name, City, State, Zip, Phone, Balance, Email, RecUpdate, Ss1, Totals };

inline std::shared_ptr<RecordTable> customerTable()
{
    RecordTable::Builder b;
    for (const char *name : {"account", "name", "city", "state", "zip", "phone", "bbbalance", "email", "recupdate", "ss1"})
        b.addColumn(name == std::string_view("bbbalance")   ? integerColumn(name, 2)
                    : name == std::string_view("recupdate") ? makeColumn(name, ColumnType::Timestamp, TypeCode::DbTimeStamp, 8)
                                                            : textColumn(name, 40));
    const char *const rows[][7] = {
        {"A100", "Miller", "Springfield", "IL", "62701", "555-0100", "12050"},
        {"A101", "Zoller", "Shelbyville", "IL", "62565", "555-0101", "0"},
        {"A102", "Baker", "Springfield", "IL", "62702", "555-0102", "9999"},
        {"A103", "Oakes", "Capital City", "IL", "62703", "555-0103", "150000"},
        {"A104", "Adams", "Shelbyville", "IL", "62565", "555-0104", "500"},
        {"A105", "Keller", "Springfield", "IL", "62704", "555-0105", "77"},
    };
    for (const auto &r : rows) {
        for (int c = 0; c < 6; ++c)
            b.appendText(c, QString::fromLatin1(r[c]));
        b.appendInteger(6, QByteArray(r[6]).toLongLong());
        b.appendText(7, QString::fromLatin1(r[1]).toLower() + QStringLiteral("@example.com"));
        b.appendTimestamp(8, TimeValue::fromParts(2460000, 3'600'000));
        b.appendText(9, QStringLiteral("000-00-0000"));
    }
    return std::make_shared<RecordTable>(b.finish());
}

// A grid over the customer table with the hidden totals column, as the viewer's load step
// leaves it: "recupdate" and "ss1" hidden, no groups yet.
inline std::unique_ptr<ReportGrid> customerGrid()
{
    auto grid = std::make_unique<ReportGrid>();
    grid->setTable(customerTable());
    grid->column(RecUpdate)->setVisible(false);
    grid->column(Ss1)->setVisible(false);
    GridColumn *totals = grid->addColumn(QStringLiteral("totals"));
    totals->setCaption(QStringLiteral("Drag Columns Here to Group"));
    totals->setVisible(false);
    totals->setTotalsMarker(1);
    return grid;
}

// The grid as the dialogs leave it, in one line a row of a table can hold:
// "groups city+ state-; sort name-; first group collapsed".
inline QString gridState(ReportGrid &grid)
{
    auto keys = [&grid](GridKeyList &list) {
        QStringList out;
        for (int i = 1; i <= list.count(); ++i) {
            const GridKey k = list.item(i);
            const GridColumn *c = grid.column(k.column);
            out << (c->totalsMarker() == 1 ? QStringLiteral("totals") : c->caption()) + (k.order == 1 ? u'+' : u'-');
        }
        return out.join(u' ');
    };
    const GridRow first = grid.row(1);   // a group row comes first when there are groups
    const QString shown = first.type != GridRowType::GroupHeader ? QStringLiteral("none")
                          : first.expanded                         ? QStringLiteral("expanded")
                                                                   : QStringLiteral("collapsed");
    return QStringLiteral("groups %1; sort %2; first group %3").arg(keys(grid.groups()), keys(grid.sortKeys()), shown);
}

// Captions of the visible columns in display order.
inline QString shownColumns(const ReportGrid &grid)
{
    QStringList shown;
    for (int p = 1; p <= grid.columnCount(); ++p)
        if (grid.columnAtPosition(p)->visible())
            shown << grid.columnAtPosition(p)->caption();
    return shown.join(u',');
}

} // namespace velmora::test
