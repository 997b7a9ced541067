#include "dialogs/frmCardView.h"

#include "ui_frmCardView.h"

#include "core/viewrules.h"
#include "dialogs/dialogsupport.h"
#include "grid/reportgrid.h"

#include <QGuiApplication>
#include <QScreen>

namespace velmora {

// A font picked through "Font..." is the grid's own heading or body font, so it shows on the grid
// at once and stays after Cancel; colours, editing and the card width wait for OK. A card width
// that is not a positive number is left as it was, without a message.

namespace {
double g_twipsPerPixel = 0;
}

struct frmCardView::Impl {
    Ui::frmCardView ui;
    ReportGrid *grid = nullptr;
    QFont fonts[2];
    QColor colours[2];
    QLabel *current[2] = {};
};

void frmCardView::setTwipsPerPixel(double twipsPerPixel)
{
    g_twipsPerPixel = twipsPerPixel > 0 ? twipsPerPixel : 0;
}

double frmCardView::twipsPerPixel()
{
    if (g_twipsPerPixel > 0)
        return g_twipsPerPixel;
    const QScreen *screen = QGuiApplication::primaryScreen();
    return viewrules::twipsPerPixelForDpi(screen ? screen->logicalDotsPerInchX() : 96.0);
}

frmCardView::frmCardView(QWidget *parent) : QDialog(parent), d(std::make_unique<Impl>())
{
    d->ui.setupUi(this);
    dialogs::nameControlArrays(this);
    d->current[0] = d->ui.lblcurrfont_0;
    d->current[1] = d->ui.lblcurrfont_1;
    connect(d->ui.cmdfont_0, &QPushButton::clicked, this, [this] { cmdfont_Click(0); });
    connect(d->ui.cmdfont_1, &QPushButton::clicked, this, [this] { cmdfont_Click(1); });
    connect(d->ui.cmdOK, &QPushButton::clicked, this, &frmCardView::cmdOK_Click);
    connect(d->ui.cmdCancel, &QPushButton::clicked, this, &frmCardView::cmdCancel_Click);
}

frmCardView::~frmCardView() = default;

void frmCardView::FormatGrid(ReportGrid &gr, QWidget *parent)
{
    dialogs::DialogOwner<frmCardView> dlg(new frmCardView(dialogs::ownerFor(parent, &gr)));
    Impl &d = *dlg->d;
    d.grid = &gr;
    // The grid's own screen decides the pixel size unless a fixed value was set.
    const double perPixel = g_twipsPerPixel > 0 ? g_twipsPerPixel : gr.twipsPerPixel();

    d.fonts[0] = gr.headingFont();
    d.fonts[1] = gr.bodyFont();
    d.colours[0] = gr.headingTextColor();
    d.colours[1] = gr.bodyTextColor();
    dlg->ShowCurrentFonts();
    d.ui.chkAllowed->setChecked(gr.allowEdit());
    d.ui.txtCardWidth->setText(viewrules::pixelText(gr.cardWidth(), perPixel));

    dlg->m_ok = false;
    dlg->exec();
    if (!dlg || !dlg->m_ok)
        return;

    gr.setHeadingFont(d.fonts[0]);
    gr.setBodyFont(d.fonts[1]);
    gr.setHeadingTextColor(d.colours[0]);
    gr.setBodyTextColor(d.colours[1]);
    gr.setAllowEdit(d.ui.chkAllowed->isChecked());
    if (const std::optional<int> twips = viewrules::twipsFromPixelText(d.ui.txtCardWidth->text(), perPixel))
        gr.setCardWidth(*twips);
}

void frmCardView::cmdfont_Click(int index)
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

void frmCardView::ShowCurrentFonts()
{
    for (int i = 0; i < 2; ++i)
        dialogs::showCurrentFont(d->current[i], d->fonts[i], d->colours[i]);
}

void frmCardView::cmdOK_Click()
{
    m_ok = true;
    hide();
}

void frmCardView::cmdCancel_Click()
{
    hide();
}

} // namespace velmora
