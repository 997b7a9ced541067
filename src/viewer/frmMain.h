#pragma once

// The report viewer window. This header's public surface is shared by the load step
// (loadstep.cpp), saved layouts (layouts.cpp) and the window's own commands (frmMain.cpp).

#include <QMainWindow>

#include <memory>

class QAction;
class QMenu;
class QPrinter;
class QPushButton;
class QToolBar;

namespace velmora {

class CommandBar;
class Connection;
class RecordWriter;
class ReportGrid;
class frmPrintPreview;

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

    QToolBar *tlbMain = nullptr;
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

    // Commands, as the menus and the command bar run them.
    void Toolbar_PanelClick(int index);
    void runCommand(const QString &key, int panel);   // a command-bar key; unknown keys do nothing
    void toggleCardView();
    void toggleFitToPage();
    void toggleGroupByBox(int panel);
    void mnuPageSetup_Click();
    void mnuPrint_Click(int index);       // 0 all rows, 1 the selected rows
    void mnuPrintPreview_Click();
    // Prints the grid's pages one after another, with a progress window and Cancel for a long job.
    void printPages(QPrinter &printer, bool selectedOnly);
    void Esc_Click();

    // The page setup the viewer keeps between prints (printer, paper, margins).
    QPrinter &printer();
    // The open print preview, nullptr when none.
    frmPrintPreview *printPreview() const;
    // Says a failure the user must know about in the viewer's status line.
    void showStatus(const QString &text);
    QString statusText() const;

    // Grid events.
    void Jgrid_ColumnHeaderClick(int columnIndex);
    void Jgrid_GroupHeaderClick(int groupItem);
    void Jgrid_MouseUp(Qt::MouseButton button, QPoint pos);
    void Jgrid_DblClick();
    // True when this window delivers double click and Enter as a pick: it was loaded as the
    // customer search.
    bool picksAccounts() const;

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// Expands (or collapses) every group row of `grid` whose row index is rowIndex, with the redraw
// off meanwhile; a grid without groups is left as it is.
void SetGroupExpanded(ReportGrid &grid, int rowIndex, bool expand);

} // namespace velmora
