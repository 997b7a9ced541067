#include "viewer/previewpages.h"

#include "grid/gridprint.h"

#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace velmora {

namespace {
constexpr int Gap = 12;             // pixels around and between the sheets
constexpr double ZoomStep = 1.25;
// A sheet image at screen size is 2 to 4 MB; this keeps the pages of a window or two.
constexpr qsizetype CacheBytes = 32 * 1024 * 1024;
} // namespace

PreviewPages::PreviewPages(QWidget *parent) : QAbstractScrollArea(parent)
{
    m_cache.setMaxCost(CacheBytes);
    viewport()->setBackgroundRole(QPalette::Dark);
    viewport()->setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);
}

PreviewPages::~PreviewPages() = default;

void PreviewPages::setPages(std::shared_ptr<const GridPages> pages)
{
    m_pages = std::move(pages);
    m_cache.clear();
    m_current = pageCount() > 0 ? 1 : 0;
    applyFit();
    m_settingPage = true;
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    m_settingPage = false;
    viewport()->update();
    emit previewChanged();
}

int PreviewPages::pageCount() const
{
    return m_pages ? m_pages->pageCount() : 0;
}

QSizeF PreviewPages::pageSize() const
{
    if (!m_pages || m_pages->resolution() <= 0)
        return QSizeF(0, 0);
    const double toScreen = logicalDpiX() / m_pages->resolution() * m_zoom;
    return m_pages->paperRect().size() * toScreen;
}

int PreviewPages::rowHeight() const
{
    return int(std::ceil(pageSize().height())) + Gap;
}

int PreviewPages::pageAtScroll() const
{
    const int count = pageCount();
    if (count == 0 || rowHeight() <= 0)
        return 0;
    const int row = verticalScrollBar()->value() / rowHeight();
    // The row whose sheet fills most of the window's top counts, as a reader sees it.
    const int offset = verticalScrollBar()->value() - row * rowHeight();
    const int shownRow = offset > rowHeight() / 2 ? row + 1 : row;
    return std::clamp(shownRow * perRow() + 1, 1, count);
}

void PreviewPages::setCurrentPage(int page)
{
    const int count = pageCount();
    if (count == 0)
        return;
    page = std::clamp(page, 1, count);
    m_settingPage = true;
    verticalScrollBar()->setValue(((page - 1) / perRow()) * rowHeight());
    m_settingPage = false;
    if (std::exchange(m_current, page) != page)
        emit previewChanged();
}

void PreviewPages::setSinglePageViewMode()
{
    if (m_mode == SinglePageView)
        return;
    const int page = currentPage();
    m_mode = SinglePageView;
    applyFit();
    setCurrentPage(page);
    emit previewChanged();
}

void PreviewPages::setFacingPagesViewMode()
{
    if (m_mode == FacingPagesView)
        return;
    const int page = currentPage();
    m_mode = FacingPagesView;
    applyFit();
    setCurrentPage(page);
    emit previewChanged();
}

void PreviewPages::zoomIn()
{
    m_fit = Fit::Custom;
    setZoom(m_zoom * ZoomStep);
}

void PreviewPages::zoomOut()
{
    m_fit = Fit::Custom;
    setZoom(m_zoom / ZoomStep);
}

void PreviewPages::fitInView()
{
    m_fit = Fit::Page;
    applyFit();
}

void PreviewPages::fitToWidth()
{
    m_fit = Fit::Width;
    applyFit();
}

void PreviewPages::applyFit()
{
    if (!m_pages || m_pages->resolution() <= 0 || m_fit == Fit::Custom) {
        setZoom(m_zoom);
        return;
    }
    const QSizeF sheet = m_pages->paperRect().size() * (logicalDpiX() / m_pages->resolution());
    if (sheet.isEmpty())
        return;
    const QSize room = viewport()->size() - QSize(2 * Gap, 2 * Gap);
    const double across = (room.width() - (perRow() - 1) * Gap) / (sheet.width() * perRow());
    const double down = room.height() / sheet.height();
    setZoom(std::max(0.05, m_fit == Fit::Width ? across : std::min(across, down)));
}

void PreviewPages::setZoom(double zoom)
{
    const int page = currentPage();
    m_zoom = std::clamp(zoom, 0.05, 8.0);
    relayout();
    setCurrentPage(page);
    viewport()->update();
}

void PreviewPages::relayout()
{
    const QSizeF sheet = pageSize();
    const int rows = (pageCount() + perRow() - 1) / perRow();
    const int contentWidth = int(std::ceil(sheet.width())) * perRow() + (perRow() + 1) * Gap;
    // Down to the last row's top, so that every page can be the one at the top. Scroll
    // positions are whole pixels: the range stops short of overflowing rather than wrapping.
    const qint64 lastTop = qint64(std::max(0, rows - 1)) * rowHeight();
    verticalScrollBar()->setRange(0, int(std::min<qint64>(lastTop, std::numeric_limits<int>::max() / 2)));
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setSingleStep(40);
    horizontalScrollBar()->setRange(0, std::max(0, contentWidth - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
}

void PreviewPages::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    applyFit();
}

void PreviewPages::scrollContentsBy(int, int)
{
    viewport()->update();
    if (m_settingPage)
        return;
    const int page = pageAtScroll();
    if (std::exchange(m_current, page) != page)
        emit previewChanged();
}

void PreviewPages::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Down: verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd); return;
    case Qt::Key_Up: verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub); return;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
        // The window turns whole pages and says which; scrolling a window's height would not.
        event->ignore();
        return;
    default: QAbstractScrollArea::keyPressEvent(event);
    }
}

QImage PreviewPages::pageImage(int page, QSize size)
{
    if (const QImage *cached = m_cache.object(page); cached && cached->size() == size)
        return *cached;
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        const double scale = size.width() / m_pages->paperRect().width();
        p.scale(scale, scale);
        p.translate(m_pages->paintRect().topLeft() - m_pages->paperRect().topLeft());
        m_pages->paint(p, page);
    }
    // Shares the pixels with the copy returned; a page larger than the whole cache is not kept.
    m_cache.insert(page, new QImage(image), image.sizeInBytes());
    return image;
}

void PreviewPages::paintEvent(QPaintEvent *)
{
    QPainter p(viewport());
    const int count = pageCount();
    if (count == 0)
        return;
    const QSizeF sheet = pageSize();
    const QSize size(std::max(1, int(std::lround(sheet.width()))), std::max(1, int(std::lround(sheet.height()))));
    const int top = verticalScrollBar()->value();
    const int left = horizontalScrollBar()->value();
    const int contentWidth = size.width() * perRow() + (perRow() + 1) * Gap;
    const int centre = std::max(0, (viewport()->width() - contentWidth) / 2);
    const int firstRow = std::max(0, (top - Gap) / rowHeight());
    for (int row = firstRow;; ++row) {
        const int y = Gap + row * rowHeight() - top;
        if (y > viewport()->height())
            break;
        for (int k = 0; k < perRow(); ++k) {
            const int page = row * perRow() + k + 1;
            if (page > count)
                return;
            const QRect target(centre + Gap + k * (size.width() + Gap) - left, y, size.width(), size.height());
            p.fillRect(target.translated(3, 3), QColor(0, 0, 0, 80));
            p.drawImage(target.topLeft(), pageImage(page, size));
        }
    }
}

} // namespace velmora
