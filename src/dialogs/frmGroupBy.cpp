#include "dialogs/frmGroupBy.h"

#include "ui_frmGroupBy.h"

#include "core/viewrules.h"
#include "dialogs/dialogsupport.h"
#include "grid/reportgrid.h"

#include <QComboBox>


namespace velmora {

// Four levels are all the dialog shows; groups past the fourth (made in the group-by box) are
// kept when the user picks all four levels and dropped when the run of levels ends earlier.
// Levels are selected by the group's column index rather than by caption, so a column whose
// caption another column shares still opens on the right entry.

struct frmGroupBy::Impl {
    Ui::frmGroupBy ui;
    dialogs::LevelControls levels;
};

frmGroupBy::frmGroupBy(QWidget *parent) : QDialog(parent), d(std::make_unique<Impl>())
{
    d->ui.setupUi(this);
    dialogs::nameControlArrays(this);
    d->levels.attach(this);
    for (int i = 0; i < viewrules::LevelCount; ++i)
        connect(d->levels.list(i), &QComboBox::currentIndexChanged, this, [this, i] { cboGroups_Click(i); });
    d->ui.cboExpand->addItem(QStringLiteral("All Expanded"), 0);
    d->ui.cboExpand->addItem(QStringLiteral("All Collapsed"), -1);
    connect(d->ui.cmdOK, &QPushButton::clicked, this, &frmGroupBy::cmdOK_Click);
    connect(d->ui.cmdCancel, &QPushButton::clicked, this, &frmGroupBy::cmdCancel_Click);
    connect(d->ui.cmdClearAll, &QPushButton::clicked, this, &frmGroupBy::cmdClearAll_Click);
}

frmGroupBy::~frmGroupBy() = default;

void frmGroupBy::GroupGrid(ReportGrid &grid, QWidget *parent)
{
    dialogs::DialogOwner<frmGroupBy> dlg(new frmGroupBy(dialogs::ownerFor(parent, &grid)));
    Impl &d = *dlg->d;

    d.ui.cboExpand->setCurrentIndex(0);
    std::vector<std::pair<QString, int>> entries;
    for (int c = 1; c <= grid.columnCount(); ++c) {
        const GridColumn *col = grid.column(c);
        if (!col)
            continue;
        entries.emplace_back(col->totalsMarker() == 1 ? QStringLiteral("Report Totals Group") : col->caption(), c);
    }
    d.levels.fill(entries);
    std::vector<viewrules::ViewKey> keys;
    for (int g = 1; g <= grid.groups().count(); ++g)
        keys.push_back({grid.groups().item(g).column, grid.groups().item(g).order});
    d.levels.load(keys);

    dlg->m_ok = false;
    dlg->exec();
    if (!dlg || !dlg->m_ok)
        return;

    const viewrules::Levels chosen = d.levels.read();
    if (!viewrules::levelsChanged(chosen, keys))
        return;
    const bool collapsed = d.ui.cboExpand->currentData().toInt() != 0;
    const std::vector<viewrules::ViewKey> apply = viewrules::keysFromLevels(chosen, keys);

    const dialogs::BusyCursor busy;
    grid.groups().clear();
    for (const viewrules::ViewKey &k : apply)
        grid.groups().add(k.column, k.order);
    grid.regroup(collapsed);
}

void frmGroupBy::cboGroups_Click(int index)
{
    d->levels.levelChanged(index);
}

void frmGroupBy::cmdOK_Click()
{
    m_ok = true;
    hide();
}

void frmGroupBy::cmdCancel_Click()
{
    hide();
}

void frmGroupBy::cmdClearAll_Click()
{
    d->levels.clearAll();
}

} // namespace velmora
