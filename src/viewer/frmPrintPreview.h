#pragma once

#include <QPointer>
#include <QWidget>

#include <memory>

class QPrinter;
class QStatusBar;
class QToolButton;

namespace velmora {

class GridPages;
class PreviewPages;
class frmMain;

// The print preview window: the pages of the viewer's grid above a status line that tells the
// pagination state. While it is open the viewer is hidden; closing it hands its window state,
// position and size back to the viewer and shows the viewer again.
class frmPrintPreview : public QWidget {
    Q_OBJECT
public:
    // `viewer` gets the window back when the preview closes.
    explicit frmPrintPreview(frmMain *viewer);
    ~frmPrintPreview() override;

    PreviewPages *GEXPreview1 = nullptr;
    QStatusBar *stbPreview = nullptr;

    void Form_Resize();
    // The status text for the preview's current page, page count and page-view mode.
    void GEXPreview1_PageChange();
    void GEXPreview1_PaginationStart();
    QString statusText() const;
    // Shows page `page` (clamped to the pages there are) and says so in the status line.
    void showPage(int page);
    // Shows these pages from the first, saying "Paginating..." until they are laid out.
    void showPages(std::shared_ptr<const GridPages> pages);
    // The viewer goes away first: closing hands nothing back.
    void releaseViewer() { m_viewer = nullptr; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void Form_Unload();
    void printFromPreview();

    QPointer<frmMain> m_viewer;
    bool m_unloaded = false;
};

// "Page c of m", or "Page c - c+1 of m" when two pages show side by side and c is not the last.
QString previewPageStatus(int current, int count, bool facingPages);

} // namespace velmora
