#include "control/frmSplash.h"

#include "platform/platform.h"
#include "viewer/frmMain.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QStyle>
#include <QVBoxLayout>

namespace velmora {

namespace {
QPointer<frmSplash> s_splash;
bool s_busy = false;
} // namespace

frmSplash::frmSplash(QWidget *parent) : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("frmSplash"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Velmora"));

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto *shape = new QFrame(this);
    shape->setObjectName(QStringLiteral("Shape1"));
    shape->setFrameShape(QFrame::Box);
    shape->setLineWidth(2);
    outer->addWidget(shape);

    auto *row = new QHBoxLayout(shape);
    row->setContentsMargins(18, 18, 24, 18);
    row->setSpacing(16);
    auto *picture = new QLabel(shape);
    picture->setObjectName(QStringLiteral("Image1"));
    picture->setPixmap(style()->standardIcon(QStyle::SP_FileDialogContentsView).pixmap(48, 48));
    row->addWidget(picture);
    auto *text = new QLabel(QStringLiteral("Please Wait... Loading"), shape);
    text->setObjectName(QStringLiteral("Label1"));
    QFont f = text->font();
    f.setPointSizeF(f.pointSizeF() * 1.4);
    f.setBold(true);
    text->setFont(f);
    row->addWidget(text);
    adjustSize();
}

frmSplash *frmSplash::instance()
{
    if (!s_splash)
        s_splash = new frmSplash;
    return s_splash;
}

bool frmSplash::isLoaded()
{
    return !s_splash.isNull();
}

void frmSplash::unload()
{
    if (s_splash) {
        s_splash->hide();
        delete s_splash.data();
    }
}

void frmSplash::loadViewer()
{
    setPointerBusy();
    frmSplash *splash = instance();
    splash->show();
    splash->raise();
    // Painted now, not at the next pass of the event loop: the load step holds the thread.
    splash->repaint();
    platform::processEvents();
    try {
        frmMain *viewer = frmMain::load();
        platform::processEvents();
        if (viewer) {
            viewer->show();
            viewer->raise();
            viewer->activateWindow();
        }
    } catch (...) {
        // A viewer whose load step did not finish is not loaded: the next call loads it afresh.
        if (frmMain *halfLoaded = frmMain::instance()) {
            halfLoaded->hide();
            delete halfLoaded;
        }
        unload();
        restorePointer();
        throw;
    }
    unload();
    restorePointer();
}

void setPointerBusy()
{
    if (!s_busy) {
        platform::setBusy(true);
        s_busy = true;
    }
}

void restorePointer()
{
    if (s_busy) {
        platform::setBusy(false);
        s_busy = false;
    }
}

bool pointerBusy()
{
    return s_busy;
}

} // namespace velmora
