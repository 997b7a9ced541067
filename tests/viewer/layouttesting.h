#pragma once

// The saved-layout tests' fixture: a viewer over a small table with the load step's totals column.

#include "../grid/gridtesting.h"
#include "data/recordtable.h"
#include "grid/reportgrid.h"
#include "viewer/FileDLG.h"
#include "viewer/frmMain.h"

#include <memory>

namespace velmora::test {

inline std::shared_ptr<RecordTable> layoutTable()
{
    RecordTable::Builder b;
    const char *names[] = {"model", "serial", "description", "store", "cost"};
    for (const char *name : names)
        b.addColumn(textColumn(name, 0));
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 5; ++c)
            b.appendText(c, QStringLiteral("v%1%2").arg(r).arg(c));
    }
    return std::make_shared<RecordTable>(b.finish());
}

// A viewer over the table, with the hidden totals column the load step adds.
inline frmMain *layoutViewer()
{
    auto *viewer = new frmMain;
    viewer->setAttribute(Qt::WA_DeleteOnClose, false);
    viewer->Jgrid->setTable(layoutTable());
    GridColumn *totals = viewer->Jgrid->addColumn();
    totals->setTotalsMarker(1);
    totals->setCaption(QStringLiteral("Drag Columns Here to Group"));
    totals->setVisible(false);
    return viewer;
}

// Visible captions in display order.
inline QStringList shownColumns(const ReportGrid &grid)
{
    QStringList shown;
    for (int p = 1; p <= grid.columnCount(); ++p) {
        const GridColumn *c = grid.columnAtPosition(p);
        if (c && c->visible())
            shown.append(c->caption());
    }
    return shown;
}

} // namespace velmora::test
