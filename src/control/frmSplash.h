#pragma once

#include <QWidget>

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

private:
    explicit frmSplash(QWidget *parent = nullptr);
};

// The entry points' hourglass. Restoring is idempotent: the load step's failure report restores
// it before the entry point does, and a host's own busy pointer is never taken away.
void setPointerBusy();
void restorePointer();
bool pointerBusy();

} // namespace velmora
