#pragma once

#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;

namespace velmora {

// The "please wait" window shown while the viewer loads. It has no behaviour of its own; its one
// instance is created on first use and unloaded when the viewer is up (or its load failed).
class frmSplash : public QWidget {
    Q_OBJECT
public:
    static frmSplash *instance();
    static bool isLoaded();
    static void unload();

    // What every entry point does once the request is written: hourglass, splash shown and
    // painted, the viewer loaded (its load step runs only when it is not loaded yet), shown
    // non-modal and brought forward, splash unloaded, pointer back. A velmora::Error from the
    // customer search load reaches the caller, after the pointer and the splash are cleaned up.
    static void loadViewer();

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
