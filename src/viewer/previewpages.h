#pragma once

#include <QAbstractScrollArea>
#include <QCache>
#include <QImage>

#include <memory>

namespace velmora {

class GridPages;

// The print preview's page view: the pages one under another (or two side by side), of which
// only those in the window are painted, each into a small cache of page images, so a report of
// sixty thousand pages opens as fast as one of six.
class PreviewPages : public QAbstractScrollArea {
    Q_OBJECT
public:
    enum ViewMode { SinglePageView, FacingPagesView };

    explicit PreviewPages(QWidget *parent = nullptr);
    ~PreviewPages() override;

    // Shows these pages from the first one on.
    void setPages(std::shared_ptr<const GridPages> pages);
    const GridPages *pages() const { return m_pages.get(); }

    int pageCount() const;
    // The page chosen last, or the one scrolled to the top of the window; 1-based, 0 without pages.
    int currentPage() const { return m_current; }
    void setCurrentPage(int page);

    ViewMode viewMode() const { return m_mode; }
    void setSinglePageViewMode();
    void setFacingPagesViewMode();

    double zoomFactor() const { return m_zoom; }
    void zoomIn();
    void zoomOut();
    void fitInView();    // the whole page (or pair) in the window
    void fitToWidth();   // the page (or pair) as wide as the window; the opening zoom

    // The page images kept for repainting, and their bytes.
    int cachedPages() const { return m_cache.count(); }
    qsizetype cachedBytes() const { return m_cache.totalCost(); }

signals:
    // The current page, the page count or the view mode changed.
    void previewChanged();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    enum class Fit { Width, Page, Custom };
    QSizeF pageSize() const;   // one sheet on screen, in pixels
    int perRow() const { return m_mode == FacingPagesView ? 2 : 1; }
    int rowHeight() const;
    int pageAtScroll() const;
    void relayout();
    void applyFit();
    void setZoom(double zoom);
    QImage pageImage(int page, QSize size);

    std::shared_ptr<const GridPages> m_pages;
    ViewMode m_mode = SinglePageView;
    Fit m_fit = Fit::Width;
    double m_zoom = 1;
    int m_current = 0;
    bool m_settingPage = false;
    // Keyed by page; an image of another size (another zoom) is painted again.
    QCache<int, QImage> m_cache;
};

} // namespace velmora
