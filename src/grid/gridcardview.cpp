#include "grid/gridcardview.h"

#include "grid/reportgrid.h"

#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

namespace velmora::grid {

namespace {
constexpr int Gap = 10;
constexpr int Padding = 6;
} // namespace

GridCardView::GridCardView(ReportGrid *grid) : QAbstractScrollArea(grid), m_grid(grid)
{
    setObjectName(QStringLiteral("gridCardView"));
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAutoFillBackground(true);
    viewport()->setBackgroundRole(QPalette::Window);
}

int GridCardView::lineHeight() const { return QFontMetrics(m_grid->bodyFont()).height() + 3; }
int GridCardView::headingHeight() const { return QFontMetrics(m_grid->headingFont()).height() + 8; }

int GridCardView::cardWidthPixels() const
{
    return std::max(40, int(std::lround(m_grid->cardWidth() / m_grid->twipsPerPixel())));
}

int GridCardView::cardHeight() const
{
    return headingHeight() + int(m_grid->displayedColumns().size()) * lineHeight() + 2 * Padding;
}

int GridCardView::cardsPerLine() const
{
    return std::max(1, (viewport()->width() - Gap) / (cardWidthPixels() + Gap));
}

void GridCardView::updateScrollBars()
{
    const int lines = (m_grid->rowCount() + cardsPerLine() - 1) / cardsPerLine();
    const int total = lines * (cardHeight() + Gap) + Gap;
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setSingleStep(cardHeight() + Gap);
    verticalScrollBar()->setRange(0, std::max(0, total - viewport()->height()));
}

void GridCardView::rowsChanged()
{
    updateScrollBars();
    viewport()->update();
}

QRect GridCardView::cardRect(int row) const
{
    const int per = cardsPerLine();
    const int line = row / per, col = row % per;
    return QRect(Gap + col * (cardWidthPixels() + Gap), Gap + line * (cardHeight() + Gap) - verticalScrollBar()->value(),
                 cardWidthPixels(), cardHeight());
}

int GridCardView::cardAt(QPoint pos) const
{
    const int per = cardsPerLine();
    const int y = pos.y() + verticalScrollBar()->value() - Gap;
    const int x = pos.x() - Gap;
    if (x < 0 || y < 0)
        return -1;
    const int col = x / (cardWidthPixels() + Gap), line = y / (cardHeight() + Gap);
    if (col >= per || x % (cardWidthPixels() + Gap) >= cardWidthPixels() || y % (cardHeight() + Gap) >= cardHeight())
        return -1;
    const int row = line * per + col;
    return row < m_grid->rowCount() ? row : -1;
}

void GridCardView::ensureVisible(int row)
{
    if (!isVisible())
        return;
    updateScrollBars();
    const QRect r = cardRect(row);
    if (r.top() < 0)
        verticalScrollBar()->setValue(verticalScrollBar()->value() + r.top() - Gap);
    else if (r.bottom() > viewport()->height())
        verticalScrollBar()->setValue(verticalScrollBar()->value() + r.bottom() - viewport()->height() + Gap);
}

void GridCardView::paintEvent(QPaintEvent *)
{
    QPainter p(viewport());
    const int rows = m_grid->rowCount();
    if (rows == 0)
        return;
    const int per = cardsPerLine();
    const int step = cardHeight() + Gap;
    const int firstLine = std::max(0, (verticalScrollBar()->value() - Gap) / step);
    const int lastLine = (verticalScrollBar()->value() + viewport()->height()) / step;
    const auto cols = m_grid->displayedColumns();
    const QPalette pal = palette();
    const QFont body = m_grid->bodyFont();
    const QFontMetrics fm(body);
    const int current = m_grid->currentRow() - 1;
    for (int line = firstLine; line <= lastLine; ++line) {
        for (int c = 0; c < per; ++c) {
            const int row = line * per + c;
            if (row >= rows)
                return;
            const QRect card = cardRect(row);
            const bool selected = m_grid->isSelected(row + 1);
            p.fillRect(card, pal.color(QPalette::Base));
            p.setPen(row == current ? pal.color(QPalette::Highlight) : pal.color(QPalette::Mid));
            p.drawRect(card.adjusted(0, 0, -1, -1));
            const QRect head(card.left() + 1, card.top() + 1, card.width() - 2, headingHeight());
            p.fillRect(head, selected ? pal.color(QPalette::Highlight) : pal.color(QPalette::Button));
            p.setFont(m_grid->headingFont());
            p.setPen(selected ? pal.color(QPalette::HighlightedText) : m_grid->headingTextColor());
            const GridRow r = m_grid->row(row + 1);
            const QString title = r.type == GridRowType::GroupHeader
                ? m_grid->groupCaption(row + 1)
                : (cols.empty() ? QString() : m_grid->text(row + 1, cols.front()->index()));
            p.drawText(head.adjusted(Padding, 0, -Padding, 0), Qt::AlignVCenter | Qt::AlignLeft,
                       p.fontMetrics().elidedText(title, Qt::ElideRight, head.width() - 2 * Padding));
            if (r.type != GridRowType::Record)
                continue;
            p.setFont(body);
            p.setPen(m_grid->bodyTextColor());
            int y = head.bottom() + Padding;
            for (const GridColumn *col : cols) {
                const QString t = col->caption() + QStringLiteral(": ") + m_grid->text(row + 1, col->index());
                p.drawText(QRect(card.left() + Padding, y, card.width() - 2 * Padding, lineHeight()),
                           Qt::AlignVCenter | Qt::AlignLeft, fm.elidedText(t, Qt::ElideRight, card.width() - 2 * Padding));
                y += lineHeight();
            }
        }
    }
}

void GridCardView::showEvent(QShowEvent *event)
{
    QAbstractScrollArea::showEvent(event);
    updateScrollBars();
    if (m_grid->currentRow() > 0)
        ensureVisible(m_grid->currentRow() - 1);
}

void GridCardView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void GridCardView::mousePressEvent(QMouseEvent *event)
{
    setFocus(Qt::MouseFocusReason);
    const int row = cardAt(event->position().toPoint());
    if (row >= 0 && !(event->button() != Qt::LeftButton && m_grid->isSelected(row + 1)))
        m_grid->setCurrentRow(row + 1);
}

void GridCardView::mouseReleaseEvent(QMouseEvent *event)
{
    emit m_grid->mouseUp(event->button(), viewport()->mapTo(m_grid, event->position().toPoint()));
}

void GridCardView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (cardAt(event->position().toPoint()) >= 0)
        emit m_grid->dblClick();
}

void GridCardView::keyPressEvent(QKeyEvent *event)
{
    int key = event->key();
    emit m_grid->keyDown(key, event->modifiers());
    if (key == 0)
        return;
    const int cur = std::max(0, m_grid->currentRow() - 1);
    const int per = cardsPerLine();
    const int rows = m_grid->rowCount();
    const int pageCards = std::max(1, viewport()->height() / (cardHeight() + Gap)) * per;
    int target = -1;
    switch (key) {
    case Qt::Key_Left: target = cur - 1; break;
    case Qt::Key_Right: target = cur + 1; break;
    case Qt::Key_Up: target = cur - per; break;
    case Qt::Key_Down: target = cur + per; break;
    case Qt::Key_PageUp: target = cur - pageCards; break;
    case Qt::Key_PageDown: target = cur + pageCards; break;
    case Qt::Key_Home: target = 0; break;
    case Qt::Key_End: target = rows - 1; break;
    case Qt::Key_Delete:
        m_grid->deleteSelectedRows();
        return;
    default: {
        const QString typed = event->text();
        if (!typed.isEmpty() && typed.at(0).isPrint()) {
            int ch = typed.at(0).unicode();
            emit m_grid->keyPress(ch);
            return;
        }
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    }
    if (rows > 0)
        m_grid->setCurrentRow(std::clamp(target, 0, rows - 1) + 1);
}

} // namespace velmora::grid
