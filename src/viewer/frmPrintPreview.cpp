#include "viewer/frmPrintPreview.h"

#include "grid/gridprint.h"
#include "viewer/frmMain.h"
#include "viewer/icons/viewericons.h"
#include "viewer/previewpages.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QStatusBar>
#include <QToolButton>

namespace velmora {

QString previewPageStatus(int current, int count, bool facingPages)
{
    const QString part = facingPages && current < count
                             ? QStringLiteral("%1 - %2").arg(current).arg(current + 1)
                             : QString::number(current);
    return QStringLiteral("Page ") + part + QStringLiteral(" of ") + QString::number(count);
}

namespace {

QToolButton *toolButton(QWidget *parent, const QString &name, const QString &text, const QString &tip)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(name);
    button->setText(text);
    button->setToolTip(tip);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

} // namespace

frmPrintPreview::frmPrintPreview(frmMain *viewer) : m_viewer(viewer)
{
    setObjectName(QStringLiteral("frmPrintPreview"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Print Preview"));

    GEXPreview1 = new PreviewPages(this);
    GEXPreview1->setObjectName(QStringLiteral("GEXPreview1"));
    stbPreview = new QStatusBar(this);
    stbPreview->setObjectName(QStringLiteral("stbPreview"));
    stbPreview->setSizeGripEnabled(false);

    // The status text lives in a label of its own: a status bar's temporary message is wiped by
    // every menu or tool tip that passes over it.
    auto *status = new QLabel(stbPreview);
    status->setObjectName(QStringLiteral("lblPreviewStatus"));
    stbPreview->addWidget(status, 1);

    // The preview's own controls sit at the right of the status line, leaving the pages the
    // whole window above it.
    auto *facing = toolButton(stbPreview, QStringLiteral("cmdTwoPages"), QStringLiteral("Two Pages"),
                              QStringLiteral("Show two pages side by side"));
    facing->setCheckable(true);
    auto *zoomOut = toolButton(stbPreview, QStringLiteral("cmdZoomOut"), QStringLiteral("-"),
                               QStringLiteral("Zoom out"));
    auto *zoomIn = toolButton(stbPreview, QStringLiteral("cmdZoomIn"), QStringLiteral("+"),
                              QStringLiteral("Zoom in"));
    auto *fit = toolButton(stbPreview, QStringLiteral("cmdFitPage"), QStringLiteral("Whole Page"),
                           QStringLiteral("Fit the whole page in the window"));
    auto *first = toolButton(stbPreview, QStringLiteral("cmdFirstPage"), QString(), QStringLiteral("First page"));
    first->setIcon(viewerIcon(QStringLiteral("MoveFirst")));
    auto *previous = toolButton(stbPreview, QStringLiteral("cmdPreviousPage"), QString(),
                                QStringLiteral("Previous page"));
    previous->setIcon(viewerIcon(QStringLiteral("MovePrevious")));
    auto *next = toolButton(stbPreview, QStringLiteral("cmdNextPage"), QString(), QStringLiteral("Next page"));
    next->setIcon(viewerIcon(QStringLiteral("MoveNext")));
    auto *last = toolButton(stbPreview, QStringLiteral("cmdLastPage"), QString(), QStringLiteral("Last page"));
    last->setIcon(viewerIcon(QStringLiteral("MoveLast")));
    auto *print = toolButton(stbPreview, QStringLiteral("cmdPrint"), QString(), QStringLiteral("Print..."));
    print->setIcon(viewerIcon(QStringLiteral("Print")));
    auto *close = toolButton(stbPreview, QStringLiteral("cmdClose"), QStringLiteral("Close"),
                             QStringLiteral("Close the preview"));
    for (QToolButton *button : {facing, zoomOut, zoomIn, fit, first, previous, next, last, print, close})
        stbPreview->addPermanentWidget(button);

    connect(facing, &QToolButton::toggled, this, [this](bool on) {
        if (on)
            GEXPreview1->setFacingPagesViewMode();
        else
            GEXPreview1->setSinglePageViewMode();
        GEXPreview1_PageChange();
    });
    connect(zoomOut, &QToolButton::clicked, GEXPreview1, [this] { GEXPreview1->zoomOut(); });
    connect(zoomIn, &QToolButton::clicked, GEXPreview1, [this] { GEXPreview1->zoomIn(); });
    connect(fit, &QToolButton::clicked, GEXPreview1, &PreviewPages::fitInView);
    connect(first, &QToolButton::clicked, this, [this] { showPage(1); });
    connect(previous, &QToolButton::clicked, this, [this] { showPage(GEXPreview1->currentPage() - 1); });
    connect(next, &QToolButton::clicked, this, [this] { showPage(GEXPreview1->currentPage() + 1); });
    connect(last, &QToolButton::clicked, this, [this] { showPage(GEXPreview1->pageCount()); });
    connect(print, &QToolButton::clicked, this, &frmPrintPreview::printFromPreview);
    connect(close, &QToolButton::clicked, this, &QWidget::close);

    connect(GEXPreview1, &PreviewPages::previewChanged, this, &frmPrintPreview::GEXPreview1_PageChange);

    resize(800, 600);
}

frmPrintPreview::~frmPrintPreview() = default;

QString frmPrintPreview::statusText() const
{
    return findChild<QLabel *>(QStringLiteral("lblPreviewStatus"))->text();
}

void frmPrintPreview::GEXPreview1_PaginationStart()
{
    auto *label = findChild<QLabel *>(QStringLiteral("lblPreviewStatus"));
    label->setText(QStringLiteral("Paginating..."));
    // Laying out the pages holds the event loop for a moment; the text shows before it.
    label->repaint();
}

void frmPrintPreview::GEXPreview1_PageChange()
{
    const bool facing = GEXPreview1->viewMode() == PreviewPages::FacingPagesView;
    findChild<QLabel *>(QStringLiteral("lblPreviewStatus"))
        ->setText(previewPageStatus(GEXPreview1->currentPage(), GEXPreview1->pageCount(), facing));
}

void frmPrintPreview::showPage(int page)
{
    // The page view reports a change only when another page comes to the top; a page chosen
    // here is said at once, also when the view could not scroll that far.
    GEXPreview1->setCurrentPage(qBound(1, page, qMax(1, GEXPreview1->pageCount())));
    GEXPreview1_PageChange();
}

void frmPrintPreview::showPages(std::shared_ptr<const GridPages> pages)
{
    GEXPreview1_PaginationStart();
    GEXPreview1->setPages(std::move(pages));
    GEXPreview1_PageChange();
}

void frmPrintPreview::Form_Resize()
{
    // Resizing never fails visibly: a minimised window simply gets nothing.
    const int statusHeight = stbPreview->sizeHint().height();
    const int h = qMax(0, height() - statusHeight);
    GEXPreview1->setGeometry(0, 0, qMax(0, width()), h);
    stbPreview->setGeometry(0, h, qMax(0, width()), statusHeight);
}

void frmPrintPreview::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

void frmPrintPreview::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        close();
        return;
    case Qt::Key_PageDown:
        showPage(GEXPreview1->currentPage() + 1);
        return;
    case Qt::Key_PageUp:
        showPage(GEXPreview1->currentPage() - 1);
        return;
    case Qt::Key_Home:
        showPage(1);
        return;
    case Qt::Key_End:
        showPage(GEXPreview1->pageCount());
        return;
    default:
        break;
    }
    if (event->matches(QKeySequence::Print)) {
        printFromPreview();
        return;
    }
    QWidget::keyPressEvent(event);
}

void frmPrintPreview::printFromPreview()
{
    if (!m_viewer)
        return;
    m_viewer->mnuPrint_Click(0);
    const QString failure = m_viewer->statusText();
    if (!failure.isEmpty())
        findChild<QLabel *>(QStringLiteral("lblPreviewStatus"))->setText(failure);
}

void frmPrintPreview::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    QWidget::closeEvent(event);
}

void frmPrintPreview::Form_Unload()
{
    if (std::exchange(m_unloaded, true))
        return;
    frmMain *viewer = m_viewer.data();
    if (!viewer)
        return;
    const Qt::WindowStates state = windowState() & ~Qt::WindowActive;
    if (state & (Qt::WindowMaximized | Qt::WindowFullScreen)) {
        viewer->setWindowState(state);
        viewer->show();
        return;
    }
    if (state & Qt::WindowMinimized) {
        viewer->showMinimized();
        return;
    }
    viewer->setWindowState(Qt::WindowNoState);
    viewer->setGeometry(geometry());
    viewer->show();
}

} // namespace velmora

#include "moc_frmPrintPreview.cpp"
