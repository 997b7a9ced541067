#include "control/loadviewer.h"

#include "platform/platform.h"
#include "viewer/frmMain.h"
#include "viewer/loadstep.h"

namespace velmora {

void loadViewer()
{
    setPointerBusy();
    frmSplash *splash = frmSplash::instance();
    // While the rows arrive: how many, and a way to stop them. The connections go with the splash.
    LoadProgress *load = LoadProgress::instance();
    const auto showCount = [splash](qint64 n) {
        splash->showProgress(QStringLiteral("%L1 rows loaded").arg(n), [] { LoadProgress::instance()->cancel(); });
    };
    QObject::connect(load, &LoadProgress::started, splash, [showCount] { showCount(0); });
    QObject::connect(load, &LoadProgress::rowsArrived, splash, showCount);
    QObject::connect(load, &LoadProgress::ended, splash, &frmSplash::hideProgress);
    splash->show();
    splash->raise();
    // Painted now: the load step's set-up before its rows start arriving holds the thread.
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
        frmSplash::unload();
        restorePointer();
        throw;
    }
    frmSplash::unload();
    restorePointer();
}

} // namespace velmora
