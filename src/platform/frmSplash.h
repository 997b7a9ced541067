#pragma once

#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;

namespace velmora {

// The "please wait" window shown while the viewer loads and while a file is written. It has no
// behaviour of its own; its one instance is created on first use and unloaded when the work is
// done. It lives beneath the windows because they show and unload it; the entry points' routine
// that loads the viewer behind it is the controls' (control/loadviewer.h).
class frmSplash : public QWidget {
    Q_OBJECT
public:
    static frmSplash *instance();
    static bool isLoaded();
    static void unload();

    // Long work: a line under the caption saying how far it got ("lblProgress") and a Cancel
    // button ("cmdCancel") that calls onCancel. While they show, the splash is modal, so the
    // windows under it paint but take no input.
    void showProgress(const QString &text, std::function<void()> onCancel);
    void hideProgress();

private:
    explicit frmSplash(QWidget *parent = nullptr);
    QLabel *m_progress = nullptr;
    QPushButton *m_cancel = nullptr;
    std::function<void()> m_onCancel;
};

// The entry points' hourglass. Restoring is idempotent: the load step's failure report restores
// it before the entry point does, and a host's own busy pointer is never taken away.
void setPointerBusy();
void restorePointer();
bool pointerBusy();

} // namespace velmora
