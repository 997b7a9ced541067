#include "dialogs/frmTableview.h"

#include "ui_frmTableview.h"

#include "core/viewrules.h"
#include "dialogs/dialogsupport.h"
#include "grid/reportgrid.h"

#include <QApplication>
#include <QPalette>

namespace velmora {

// Choices this dialog makes where the grid leaves room:
// - A font picked through "Font..." is the grid's own heading or body font, so it shows on the
//   grid at once and stays after Cancel; text colours, check boxes and lines wait for OK.
// - The "new item" row box is written back on OK; it can only be on while in-cell editing is, so
//   it opens cleared and disabled on a grid that does not allow editing.
// - A line style entry keeps the grid's mode 2 lines and otherwise sets mode -1. When the grid's
//   style matches no entry the list opens with nothing selected, and OK then leaves the lines as
//   they were.
// - "Button face" and "window background" are the application palette's Button and Base colours.

namespace {

QColor buttonFace()
{
    return QApplication::palette().color(QPalette::Button);
}

QColor windowBackground()
{
    return QApplication::palette().color(QPalette::Base);
}

} // namespace

struct frmTableview::Impl {
    Ui::frmTableview ui;
    ReportGrid *grid = nullptr;
    QFont fonts[2];
    QColor colours[2];
    QLabel *current[2] = {};
};

frmTableview::frmTableview(QWidget *parent) : QDialog(parent), d(std::make_unique<Impl>())
{
    d->ui.setupUi(this);
    dialogs::nameControlArrays(this);
    d->current[0] = d->ui.lblcurrfont_0;
    d->current[1] = d->ui.lblcurrfont_1;
    for (const auto &entry : viewrules::gridLineEntries)
        d->ui.cboGridlines->addItem(QString::fromLatin1(entry.text), entry.tag);
    connect(d->ui.cmdfont_0, &QPushButton::clicked, this, [this] { cmdfont_Click(0); });
    connect(d->ui.cmdfont_1, &QPushButton::clicked, this, [this] { cmdfont_Click(1); });
    connect(d->ui.chkAllowed, &QCheckBox::toggled, this, &frmTableview::chkAllowed_Click);
    connect(d->ui.cmdOK, &QPushButton::clicked, this, &frmTableview::cmdOK_Click);
    connect(d->ui.cmdCancel, &QPushButton::clicked, this, &frmTableview::cmdCancel_Click);
    chkAllowed_Click();
}

frmTableview::~frmTableview() = default;

void frmTableview::FormatGrid(ReportGrid &gr, QWidget *parent)
{
    dialogs::DialogOwner<frmTableview> dlg(new frmTableview(dialogs::ownerFor(parent, &gr)));
    Impl &d = *dlg->d;
    d.grid = &gr;

    d.fonts[0] = gr.headingFont();
    d.fonts[1] = gr.bodyFont();
    d.colours[0] = gr.headingTextColor();
    d.colours[1] = gr.bodyTextColor();
    dlg->ShowCurrentFonts();

    d.ui.chknewrow->setChecked(gr.allowAddNew());
    d.ui.chkAllowed->setChecked(gr.allowEdit());
    dlg->chkAllowed_Click();
    d.ui.cboGridlines->setCurrentIndex(viewrules::gridLineEntryFor(gr.gridLines(), gr.gridLineStyle()));
    d.ui.chkgrouphead->setChecked(gr.groupHeadingBackColor() == buttonFace());
    d.ui.chkAutoColSize->setChecked(gr.columnAutoResize());

    dlg->m_ok = false;
    dlg->exec();
    if (!dlg || !dlg->m_ok)
        return;

    gr.setHeadingFont(d.fonts[0]);
    gr.setBodyFont(d.fonts[1]);
    gr.setHeadingTextColor(d.colours[0]);
    gr.setBodyTextColor(d.colours[1]);
    gr.setAllowEdit(d.ui.chkAllowed->isChecked());
    gr.setAllowAddNew(d.ui.chkAllowed->isChecked() && d.ui.chknewrow->isChecked());
    const viewrules::GridLineSetting lines = viewrules::gridLinesFromEntry(
        d.ui.cboGridlines->currentIndex(), {gr.gridLines(), gr.gridLineStyle()});
    gr.setGridLines(lines.mode);
    gr.setGridLineStyle(lines.style);
    gr.setGroupHeadingBackColor(d.ui.chkgrouphead->isChecked() ? buttonFace() : windowBackground());
    gr.setColumnAutoResize(d.ui.chkAutoColSize->isChecked());
}

void frmTableview::cmdfont_Click(int index)
{
    if (!dialogs::chooseFont(this, d->fonts[index], d->colours[index]))
        return;
    if (d->grid) {
        if (index == 0)
            d->grid->setHeadingFont(d->fonts[0]);
        else
            d->grid->setBodyFont(d->fonts[1]);
    }
    ShowCurrentFonts();
}

void frmTableview::chkAllowed_Click()
{
    const bool allowed = d->ui.chkAllowed->isChecked();
    d->ui.chknewrow->setEnabled(allowed);
    if (!allowed)
        d->ui.chknewrow->setChecked(false);
}

void frmTableview::ShowCurrentFonts()
{
    for (int i = 0; i < 2; ++i)
        dialogs::showCurrentFont(d->current[i], d->fonts[i], d->colours[i]);
}

void frmTableview::cmdOK_Click()
{
    m_ok = true;
    hide();
}

void frmTableview::cmdCancel_Click()
{
    hide();
}

} // namespace velmora
