#include "dialogs/frmSummary.h"

#include "ui_frmSummary.h"

#include "core/viewrules.h"
#include "dialogs/dialogsupport.h"
#include "dialogs/frmCardView.h"
#include "dialogs/frmGroupBy.h"
#include "dialogs/frmShowfields.h"
#include "dialogs/frmSort.h"
#include "dialogs/frmTableview.h"
#include "grid/reportgrid.h"

#include <QPointer>

namespace velmora {

struct frmSummary::Impl {
    Ui::frmSummary ui;
    // The grid can go while the window is open (its viewer unloaded); the buttons then do nothing.
    QPointer<ReportGrid> grid;
};

frmSummary::frmSummary(QWidget *parent) : QDialog(parent), d(std::make_unique<Impl>())
{
    d->ui.setupUi(this);
    dialogs::nameControlArrays(this);
    connect(d->ui.cmdFields, &QPushButton::clicked, this, &frmSummary::cmdFields_Click);
    connect(d->ui.cmdGroup, &QPushButton::clicked, this, &frmSummary::cmdGroup_Click);
    connect(d->ui.cmdSort, &QPushButton::clicked, this, &frmSummary::cmdSort_Click);
    connect(d->ui.cmdFormat, &QPushButton::clicked, this, &frmSummary::cmdFormat_Click);
    connect(d->ui.cmdOK, &QPushButton::clicked, this, &frmSummary::cmdOK_Click);
}

frmSummary::~frmSummary() = default;

void frmSummary::ShowSummary(ReportGrid &gr, QWidget *parent)
{
    dialogs::DialogOwner<frmSummary> dlg(new frmSummary(dialogs::ownerFor(parent, &gr)));
    Impl &d = *dlg->d;
    d.grid = &gr;
    dlg->RefreshFields();
    dlg->RefreshGroups();
    dlg->RefreshSort();
    d.ui.lblformat->setText(viewrules::formatSummary(gr.viewMode()));
    if (gr.viewMode() == 1)
        d.ui.cmdGroup->setEnabled(false);
    dlg->exec();
    if (dlg)
        d.grid = nullptr;
}

void frmSummary::RefreshFields()
{
    if (!d->grid)
        return;
    QStringList captions;
    for (int c = 1; c <= d->grid->columnCount(); ++c) {
        const GridColumn *col = d->grid->column(c);
        if (col && col->visible())
            captions << col->caption();
    }
    d->ui.lblFields->setText(viewrules::fieldsSummary(captions));
}

namespace {

std::vector<viewrules::SummaryKey> summaryKeys(const ReportGrid &grid, GridKeyList &list)
{
    std::vector<viewrules::SummaryKey> keys;
    for (int i = 1; i <= list.count(); ++i) {
        const GridKey key = list.item(i);
        const GridColumn *col = grid.column(key.column);
        keys.push_back({col ? col->caption() : QString(), key.order});
    }
    return keys;
}

} // namespace

void frmSummary::RefreshGroups()
{
    if (d->grid)
        d->ui.lblGroups->setText(viewrules::keysSummary(summaryKeys(*d->grid, d->grid->groups()), true));
}

void frmSummary::RefreshSort()
{
    if (d->grid)
        d->ui.lblSort->setText(viewrules::keysSummary(summaryKeys(*d->grid, d->grid->sortKeys()), false));
}

void frmSummary::cmdFields_Click()
{
    if (d->grid && frmShowfields::ShowFields(*d->grid, this))
        RefreshFields();
}

void frmSummary::cmdGroup_Click()
{
    if (!d->grid)
        return;
    frmGroupBy::GroupGrid(*d->grid, this);
    RefreshGroups();
}

void frmSummary::cmdSort_Click()
{
    if (!d->grid)
        return;
    frmSort::SortGrid(*d->grid, this);
    RefreshSort();
}

void frmSummary::cmdFormat_Click()
{
    if (!d->grid)
        return;
    if (d->grid->viewMode() != 0)
        frmCardView::FormatGrid(*d->grid, this);
    else
        frmTableview::FormatGrid(*d->grid, this);
}

void frmSummary::cmdOK_Click()
{
    hide();
}

} // namespace velmora
