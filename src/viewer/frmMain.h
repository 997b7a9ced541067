#pragma once

// The report viewer window. This header's public surface is shared by the load step
// (loadstep.cpp), saved layouts (layouts.cpp) and the window's own commands (frmMain.cpp).

#include <QMainWindow>

#include <memory>

class QAction;
class QMenu;
class QPushButton;

namespace velmora {

class CommandBar;
class Connection;
class RecordWriter;
class ReportGrid;

class frmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit frmMain(QWidget *parent = nullptr);
    ~frmMain() override;

    // The one instance; created (and its load step run) by load().
    static frmMain *instance();
    // Creates the window and runs its load step when it is not loaded yet; returns it.
    static frmMain *load();
    // Unloads every window of the component (Esc, mnuExit).
    static void unloadAll();

    ReportGrid *Jgrid = nullptr;
    CommandBar *Toolbar = nullptr;
    QPushButton *Esc = nullptr;

    QMenu *mnuFile = nullptr;
    QAction *MNUfitcol = nullptr;
    QAction *mnugbBox = nullptr;
    QMenu *mnuCurrentView = nullptr;
    // MnuViewStyle(0) exists from the start; MnuViewStyle(1) is created by the load step.
    QAction *MnuViewStyle(int i) const;
    QAction *addMnuViewStyle();   // creates the next element of the menu array
    QMenu *MNUColumnHeader = nullptr;
    QMenu *MNUexpandPU = nullptr;
    QAction *MNUexpand = nullptr;

    // The connection and writer the load step opened; they live as long as the window.
    std::unique_ptr<Connection> connection;
    std::shared_ptr<RecordWriter> writer;

    // Operations other parts call.
    void Form_Load();          // the load step (loadstep.cpp)
    void Form_Resize();
    void showFitToPage(bool on);   // panel 8 appearance and MNUfitcol check
    void ExportGrid(int &kind);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace velmora
