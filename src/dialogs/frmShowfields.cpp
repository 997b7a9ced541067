#include "dialogs/frmShowfields.h"

#include "ui_frmShowfields.h"

#include "core/viewrules.h"
#include "dialogs/dialogsupport.h"
#include "grid/reportgrid.h"

namespace velmora {

// Each entry carries two numbers: its tag (the column's index at first, then the 1-based place
// an Add put it, which steers where the next Add of that entry lands) and the index of the column
// it stands for. OK changes the columns through that index: it finds the same column a lookup by
// caption would whenever captions are unique, and the right one when two columns share a caption.

namespace {

constexpr int ColumnRole = dialogs::TagRole + 1;

// The entry a step leaves current is also the only one selected, so that the next Add or Remove
// moves just that entry and not one left selected from before.
void makeCurrent(QListWidget *list, int row)
{
    if (row < 0 || row >= list->count())
        return;
    list->selectionModel()->setCurrentIndex(list->model()->index(row, 0), QItemSelectionModel::ClearAndSelect);
}

} // namespace

struct frmShowfields::Impl {
    Ui::frmShowfields ui;
};

frmShowfields::frmShowfields(QWidget *parent) : QDialog(parent), d(std::make_unique<Impl>())
{
    d->ui.setupUi(this);
    dialogs::nameControlArrays(this);
    connect(d->ui.cmdAdd, &QPushButton::clicked, this, &frmShowfields::cmdAdd_Click);
    connect(d->ui.cmdRemove, &QPushButton::clicked, this, &frmShowfields::cmdRemove_Click);
    connect(d->ui.cmdUp, &QPushButton::clicked, this, &frmShowfields::cmdUp_Click);
    connect(d->ui.cmdDown, &QPushButton::clicked, this, &frmShowfields::cmdDown_Click);
    connect(d->ui.cmdOK, &QPushButton::clicked, this, &frmShowfields::cmdOK_Click);
    connect(d->ui.cmdCancel, &QPushButton::clicked, this, &frmShowfields::cmdCancel_Click);
    connect(d->ui.lstAvail, &QListWidget::itemDoubleClicked, this, &frmShowfields::cmdAdd_Click);
    connect(d->ui.lstVisible, &QListWidget::itemDoubleClicked, this, &frmShowfields::cmdRemove_Click);
    connect(d->ui.lstVisible, &QListWidget::itemClicked, this, &frmShowfields::UpdateButtons);
    // Keyboard moves change the current entries too; the buttons follow them.
    connect(d->ui.lstVisible, &QListWidget::currentRowChanged, this, &frmShowfields::UpdateButtons);
    connect(d->ui.lstAvail, &QListWidget::currentRowChanged, this, &frmShowfields::UpdateButtons);
}

frmShowfields::~frmShowfields() = default;

bool frmShowfields::ShowFields(ReportGrid &gr, QWidget *parent)
{
    dialogs::DialogOwner<frmShowfields> dlg(new frmShowfields(dialogs::ownerFor(parent, &gr)));
    Impl &d = *dlg->d;

    for (int p = 1; p <= gr.columnCount(); ++p) {
        const GridColumn *col = gr.columnAtPosition(p);
        if (!col || col->totalsMarker() == 1 || viewrules::isTotalsCaption(col->caption()))
            continue;
        QListWidget *list = d.ui.lstVisible;
        if (!col->visible()) {
            if (viewrules::isWithheldField(col->caption()))
                continue;
            list = d.ui.lstAvail;
        }
        auto *entry = new QListWidgetItem(col->caption(), list);
        entry->setData(dialogs::TagRole, col->index());
        entry->setData(ColumnRole, col->index());
    }
    makeCurrent(d.ui.lstAvail, 0);
    makeCurrent(d.ui.lstVisible, 0);
    dlg->UpdateButtons();

    dlg->m_ok = false;
    dlg->exec();
    if (!dlg || !dlg->m_ok)
        return false;

    const dialogs::BusyCursor busy;
    const bool redraw = gr.redraw();
    gr.setRedraw(false);
    for (int i = 0; i < d.ui.lstAvail->count(); ++i) {
        if (GridColumn *col = gr.column(d.ui.lstAvail->item(i)->data(ColumnRole).toInt()))
            col->setVisible(false);
    }
    for (int i = 0; i < d.ui.lstVisible->count(); ++i) {
        if (GridColumn *col = gr.column(d.ui.lstVisible->item(i)->data(ColumnRole).toInt())) {
            col->setVisible(true);
            col->setPosition(i + 1);
        }
    }
    gr.setRedraw(redraw);
    return true;
}

void frmShowfields::cmdAdd_Click()
{
    QListWidget *from = d->ui.lstAvail;
    QListWidget *to = d->ui.lstVisible;
    from->setFocus();
    if (from->currentRow() < 0)
        return;
    int noted = -1;
    QListWidgetItem *last = nullptr;
    for (int i = from->count() - 1; i >= 0; --i) {
        if (!from->item(i)->isSelected())
            continue;
        noted = from->currentRow();
        QListWidgetItem *entry = from->takeItem(i);
        const int at = viewrules::insertionIndex(entry->data(dialogs::TagRole).toInt(), to->count());
        entry->setData(dialogs::TagRole, at + 1);
        to->insertItem(at, entry);
        last = entry;
    }
    const int current = viewrules::currentAfterRemoval(noted, from->count());
    makeCurrent(from, current);
    if (last)
        makeCurrent(to, to->row(last));
    UpdateButtons();
}

void frmShowfields::cmdRemove_Click()
{
    QListWidget *from = d->ui.lstVisible;
    QListWidget *to = d->ui.lstAvail;
    from->setFocus();
    if (from->currentRow() < 0)
        return;
    int noted = -1;
    QListWidgetItem *last = nullptr;
    for (int i = from->count() - 1; i >= 0; --i) {
        if (!from->item(i)->isSelected())
            continue;
        noted = from->currentRow();
        QListWidgetItem *entry = from->takeItem(i);
        to->addItem(entry);
        last = entry;
    }
    const int current = viewrules::currentAfterRemoval(noted, from->count());
    makeCurrent(from, current);
    if (last)
        makeCurrent(to, to->row(last));
    UpdateButtons();
}

void frmShowfields::cmdUp_Click()
{
    QListWidget *list = d->ui.lstVisible;
    const int row = list->currentRow();
    if (row <= 0)
        return;
    QListWidgetItem *entry = list->takeItem(row);
    list->insertItem(row - 1, entry);
    makeCurrent(list, row - 1);
    list->setFocus();
    UpdateButtons();
}

void frmShowfields::cmdDown_Click()
{
    QListWidget *list = d->ui.lstVisible;
    const int row = list->currentRow();
    if (row < 0 || row >= list->count() - 1)
        return;
    QListWidgetItem *entry = list->takeItem(row);
    list->insertItem(row + 1, entry);
    makeCurrent(list, row + 1);
    list->setFocus();
    UpdateButtons();
}

void frmShowfields::cmdOK_Click()
{
    m_ok = true;
    hide();
}

void frmShowfields::cmdCancel_Click()
{
    hide();
}

void frmShowfields::UpdateButtons()
{
    const viewrules::FieldButtons b = viewrules::fieldButtons(d->ui.lstAvail->currentRow(),
                                                              d->ui.lstVisible->currentRow(),
                                                              d->ui.lstVisible->count());
    d->ui.cmdAdd->setEnabled(b.add);
    d->ui.cmdRemove->setEnabled(b.remove);
    d->ui.cmdUp->setEnabled(b.up);
    d->ui.cmdDown->setEnabled(b.down);
}

} // namespace velmora
