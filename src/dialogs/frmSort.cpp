#include "dialogs/frmSort.h"

#include "ui_frmSort.h"

#include "core/viewrules.h"
#include "dialogs/dialogsupport.h"
#include "grid/reportgrid.h"

#include <QComboBox>

namespace velmora {

// The totals column holds one value for every row, so a sort key on it orders nothing: the
// dialog neither offers it nor shows such a key, and a changed sort leaves it out. Keys past the
// fourth are kept when all four levels are chosen, as in the group-by dialog.

struct frmSort::Impl {
    Ui::frmSort ui;
    dialogs::LevelControls levels;
};

frmSort::frmSort(QWidget *parent) : QDialog(parent), d(std::make_unique<Impl>())
{
    d->ui.setupUi(this);
    dialogs::nameControlArrays(this);
    d->levels.attach(this);
    for (int i = 0; i < viewrules::LevelCount; ++i)
        connect(d->levels.list(i), &QComboBox::currentIndexChanged, this, [this, i] { cboGroups_Click(i); });
    connect(d->ui.cmdOK, &QPushButton::clicked, this, &frmSort::cmdOK_Click);
    connect(d->ui.cmdCancel, &QPushButton::clicked, this, &frmSort::cmdCancel_Click);
    connect(d->ui.cmdClearAll, &QPushButton::clicked, this, &frmSort::cmdClearAll_Click);
}

frmSort::~frmSort() = default;

void frmSort::SortGrid(ReportGrid &grid, QWidget *parent)
{
    dialogs::DialogOwner<frmSort> dlg(new frmSort(dialogs::ownerFor(parent, &grid)));
    Impl &d = *dlg->d;

    std::vector<std::pair<QString, int>> entries;
    for (int c = 1; c <= grid.columnCount(); ++c) {
        const GridColumn *col = grid.column(c);
        if (col && col->totalsMarker() != 1)
            entries.emplace_back(col->caption(), c);
    }
    d.levels.fill(entries);
    std::vector<viewrules::ViewKey> keys;
    for (int k = 1; k <= grid.sortKeys().count(); ++k) {
        const GridKey key = grid.sortKeys().item(k);
        const GridColumn *col = grid.column(key.column);
        if (col && col->totalsMarker() != 1)
            keys.push_back({key.column, key.order});
    }
    d.levels.load(keys);

    dlg->m_ok = false;
    dlg->exec();
    if (!dlg || !dlg->m_ok)
        return;

    const viewrules::Levels chosen = d.levels.read();
    if (!viewrules::levelsChanged(chosen, keys))
        return;
    const std::vector<viewrules::ViewKey> apply = viewrules::keysFromLevels(chosen, keys);

    const dialogs::BusyCursor busy;
    grid.sortKeys().clear();
    for (const viewrules::ViewKey &k : apply)
        grid.sortKeys().add(k.column, k.order);
    grid.resort();
}

void frmSort::cboGroups_Click(int index)
{
    d->levels.levelChanged(index);
}

void frmSort::cmdOK_Click()
{
    m_ok = true;
    hide();
}

void frmSort::cmdCancel_Click()
{
    hide();
}

void frmSort::cmdClearAll_Click()
{
    d->levels.clearAll();
}

} // namespace velmora
