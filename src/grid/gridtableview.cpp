#include "grid/gridtableview.h"

#include "grid/gridaccessible.h"
#include "grid/groupbybox.h"
#include "grid/reportgrid.h"

#include <QApplication>
#include <QDrag>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>
#include <utility>

namespace velmora::grid {

namespace {

constexpr int ResizeMargin = 4;
constexpr int LevelIndent = 16;
constexpr int GlyphSize = 9;

Qt::PenStyle penStyle(int gridLineStyle)
{
    switch (gridLineStyle) {
    case 1:
        return Qt::DashLine;
    case 2:
        return Qt::DotLine;
    default:
        return Qt::SolidLine;
    }
}

// Swallows Escape for the editor so that it cancels instead of reaching the grid.
class CellEditor : public QLineEdit {
public:
    CellEditor(QWidget *parent, GridTableView *view) : QLineEdit(parent), m_view(view) {}

protected:
    void keyPressEvent(QKeyEvent *e) override
    {
        if (e->key() == Qt::Key_Escape) {
            m_view->editorEscape();
            return;
        }
        if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
            m_view->editorReturn();
            return;
        }
        QLineEdit::keyPressEvent(e);
    }
    bool focusNextPrevChild(bool next) override
    {
        return m_view->editorTab(next) || QLineEdit::focusNextPrevChild(next);
    }
    void focusOutEvent(QFocusEvent *e) override
    {
        QLineEdit::focusOutEvent(e);
        if (e->reason() != Qt::PopupFocusReason)
            QMetaObject::invokeMethod(m_view, [v = m_view, self = this] { v->commitEditor(self); }, Qt::QueuedConnection);
    }

private:
    GridTableView *m_view;
};

} // namespace

GridTableView::GridTableView(ReportGrid *grid) : QAbstractScrollArea(grid), m_grid(grid)
{
    setObjectName(QStringLiteral("gridTableView"));
    installGridAccessibility();
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    viewport()->setMouseTracking(true);
    viewport()->setAutoFillBackground(true);
    viewport()->setBackgroundRole(QPalette::Base);
    verticalScrollBar()->setSingleStep(1);
    horizontalScrollBar()->setSingleStep(20);
}

GridTableView::~GridTableView() = default;

int GridTableView::headerHeight() const { return QFontMetrics(m_grid->headingFont()).height() + 8; }
int GridTableView::rowHeight() const { return QFontMetrics(m_grid->bodyFont()).height() + 6; }

int GridTableView::visibleRowCapacity() const
{
    return std::max(1, (viewport()->height() - headerHeight()) / rowHeight());
}

std::vector<GridTableView::ColumnSpan> GridTableView::columnLayout() const
{
    std::vector<ColumnSpan> spans;
    const std::vector<GridColumn *> cols = m_grid->displayedColumns();
    int total = 0;
    for (const GridColumn *c : cols)
        total += c->width();
    const bool fit = m_grid->columnAutoResize() && total > 0;
    const double scale = fit ? double(viewport()->width()) / total : 1.0;
    int x = 0;
    for (GridColumn *c : cols) {
        const int w = fit ? std::max(8, int(c->width() * scale)) : c->width();
        spans.push_back({c, x, w});
        x += w;
    }
    return spans;
}

void GridTableView::updateScrollBars()
{
    const int rows = m_grid->rowCount() + (m_grid->newRowShown() ? 1 : 0);
    const int cap = visibleRowCapacity();
    verticalScrollBar()->setPageStep(cap);
    verticalScrollBar()->setRange(0, std::max(0, rows - cap));
    const auto spans = columnLayout();
    const int total = spans.empty() ? 0 : spans.back().x + spans.back().width;
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setRange(0, m_grid->columnAutoResize() ? 0 : std::max(0, total - viewport()->width()));
}

void GridTableView::rowsChanged()
{
    cancelEdit();
    if (!m_grid->newRowShown())
        m_onNewRow = false;
    updateScrollBars();
    viewport()->update();
}

void GridTableView::columnsChanged()
{
    if (!m_grid->newRowShown()) {
        if (m_editNew)
            cancelEdit();
        m_onNewRow = false;
    }
    updateScrollBars();
    viewport()->update();
}

int GridTableView::firstRow() const { return verticalScrollBar()->value(); }

void GridTableView::setFirstRow(int row)
{
    updateScrollBars();
    verticalScrollBar()->setValue(std::max(0, row));
}

void GridTableView::ensureVisible(int row)
{
    // Before the first show the viewport has no size yet: scrolling then would hide the top rows.
    if (!isVisible())
        return;
    updateScrollBars();
    const int first = firstRow();
    const int cap = visibleRowCapacity();
    if (row < first)
        verticalScrollBar()->setValue(row);
    else if (row >= first + cap)
        verticalScrollBar()->setValue(row - cap + 1);
}

bool GridTableView::inHeader(QPoint pos) const { return pos.y() >= 0 && pos.y() < headerHeight(); }

int GridTableView::rowAt(QPoint pos) const
{
    if (pos.y() < headerHeight() || pos.x() < 0 || pos.x() >= viewport()->width())
        return -1;
    const int row = firstRow() + (pos.y() - headerHeight()) / rowHeight();
    return row < m_grid->rowCount() ? row : -1;
}

bool GridTableView::newRowAt(QPoint pos) const
{
    if (!m_grid->newRowShown() || pos.y() < headerHeight() || pos.x() < 0 || pos.x() >= viewport()->width())
        return false;
    return firstRow() + (pos.y() - headerHeight()) / rowHeight() == m_grid->rowCount();
}

int GridTableView::columnAt(QPoint pos) const
{
    const int x = pos.x() + horizontalScrollBar()->value();
    for (const ColumnSpan &s : columnLayout())
        if (x >= s.x && x < s.x + s.width)
            return s.column->index();
    return 0;
}

int GridTableView::resizeHandleAt(QPoint pos) const
{
    if (!inHeader(pos) || m_grid->columnAutoResize())
        return 0;
    const int x = pos.x() + horizontalScrollBar()->value();
    for (const ColumnSpan &s : columnLayout())
        if (std::abs(x - (s.x + s.width)) <= ResizeMargin)
            return s.column->index();
    return 0;
}

QRect GridTableView::cellRect(int row, int displayedColumn) const
{
    const auto spans = columnLayout();
    const int y = headerHeight() + (row - firstRow()) * rowHeight();
    if (displayedColumn < 0 || displayedColumn >= int(spans.size()))
        return {};
    const ColumnSpan &s = spans[std::size_t(displayedColumn)];
    return QRect(s.x - horizontalScrollBar()->value(), y, s.width, rowHeight());
}

bool GridTableView::overGlyph(int row, QPoint pos) const
{
    const GridRow r = m_grid->row(row + 1);
    if (r.type != GridRowType::GroupHeader)
        return false;
    const int x0 = (r.level - 1) * LevelIndent - horizontalScrollBar()->value();
    return pos.x() >= x0 && pos.x() < x0 + LevelIndent;
}

void GridTableView::paintEvent(QPaintEvent *)
{
    QPainter p(viewport());
    paintRows(p);
    paintHeader(p);
}

void GridTableView::paintHeader(QPainter &p)
{
    const int h = headerHeight();
    const int dx = horizontalScrollBar()->value();
    p.fillRect(QRect(0, 0, viewport()->width(), h), palette().color(QPalette::Button));
    p.setFont(m_grid->headingFont());
    for (const ColumnSpan &s : columnLayout()) {
        const QRect r(s.x - dx, 0, s.width, h);
        if (r.right() < 0 || r.left() > viewport()->width())
            continue;
        p.setPen(m_grid->headingTextColor());
        int textRight = 6;
        if (const int order = s.column->sortOrder()) {
            // A small triangle: up for ascending, down for descending.
            const int cx = r.right() - 10, cy = r.center().y();
            QPolygon tri;
            if (order > 0)
                tri << QPoint(cx - 4, cy + 2) << QPoint(cx + 4, cy + 2) << QPoint(cx, cy - 3);
            else
                tri << QPoint(cx - 4, cy - 2) << QPoint(cx + 4, cy - 2) << QPoint(cx, cy + 3);
            p.setBrush(m_grid->headingTextColor());
            p.drawPolygon(tri);
            p.setBrush(Qt::NoBrush);
            textRight = 18;
        }
        const QRect tr = r.adjusted(6, 0, -textRight, 0);
        const bool right = s.column->dataType() == GridDataType::Number;
        p.drawText(tr, Qt::AlignVCenter | (right ? Qt::AlignRight : Qt::AlignLeft),
                   p.fontMetrics().elidedText(s.column->caption(), Qt::ElideRight, tr.width()));
        p.setPen(palette().color(QPalette::Mid));
        p.drawLine(r.right(), 2, r.right(), h - 3);
    }
    p.setPen(palette().color(QPalette::Mid));
    p.drawLine(0, h - 1, viewport()->width(), h - 1);
}

void GridTableView::paintRows(QPainter &p)
{
    const int rows = m_grid->rowCount();
    const int first = firstRow();
    const int rh = rowHeight();
    const int top = headerHeight();
    const int dx = horizontalScrollBar()->value();
    const int width = viewport()->width();
    const auto spans = columnLayout();
    const int tableRight = spans.empty() ? 0 : spans.back().x + spans.back().width - dx;
    const QFont body = m_grid->bodyFont();
    QFont bold = body;
    bold.setBold(true);
    const QPalette pal = palette();
    const int current = m_grid->currentRow() - 1;
    const bool lines = m_grid->gridLines() != 0;
    QPen linePen(pal.color(QPalette::Midlight), 0, penStyle(m_grid->gridLineStyle()));
    const QFontMetrics fm(body);
    for (int row = first, y = top; row < rows && y < viewport()->height(); ++row, y += rh) {
        const GridRow r = m_grid->row(row + 1);
        const QRect line(0, y, width, rh);
        const bool selected = m_grid->isSelected(row + 1);
        if (r.type == GridRowType::GroupHeader) {
            p.fillRect(line, selected ? pal.color(QPalette::Highlight) : m_grid->groupHeadingBackColor());
            const int x0 = (r.level - 1) * LevelIndent - dx;
            const QRect glyph(x0 + (LevelIndent - GlyphSize) / 2, y + (rh - GlyphSize) / 2, GlyphSize, GlyphSize);
            p.setPen(pal.color(QPalette::Dark));
            p.setBrush(pal.color(QPalette::Base));
            p.drawRect(glyph);
            p.setBrush(Qt::NoBrush);
            p.drawLine(glyph.left() + 2, glyph.center().y(), glyph.right() - 2, glyph.center().y());
            if (!r.expanded)
                p.drawLine(glyph.center().x(), glyph.top() + 2, glyph.center().x(), glyph.bottom() - 2);
            p.setFont(bold);
            p.setPen(selected ? pal.color(QPalette::HighlightedText) : m_grid->bodyTextColor());
            p.drawText(QRect(x0 + LevelIndent + 2, y, width, rh), Qt::AlignVCenter | Qt::AlignLeft,
                       m_grid->groupCaption(row + 1));
        } else {
            if (selected)
                p.fillRect(QRect(0, y, std::max(tableRight, 0), rh), pal.color(QPalette::Highlight));
            else if (r.type == GridRowType::GroupFooter)
                p.fillRect(QRect(0, y, std::max(tableRight, 0), rh), pal.color(QPalette::AlternateBase));
            p.setFont(r.type == GridRowType::GroupFooter ? bold : body);
            p.setPen(selected ? pal.color(QPalette::HighlightedText) : m_grid->bodyTextColor());
            for (const ColumnSpan &s : spans) {
                const int x = s.x - dx;
                if (x + s.width < 0 || x > width)
                    continue;
                const QString t = m_grid->text(row + 1, s.column->index());
                if (t.isEmpty())
                    continue;
                const QRect cell(x + 4, y, s.width - 8, rh);
                const bool right = s.column->dataType() == GridDataType::Number || r.type == GridRowType::GroupFooter;
                p.drawText(cell, Qt::AlignVCenter | (right ? Qt::AlignRight : Qt::AlignLeft),
                           fm.elidedText(t, Qt::ElideRight, cell.width()));
            }
            if (lines && r.type == GridRowType::Record) {
                p.setPen(linePen);
                for (const ColumnSpan &s : spans)
                    p.drawLine(s.x + s.width - 1 - dx, y, s.x + s.width - 1 - dx, y + rh - 1);
            }
        }
        if (lines) {
            p.setPen(linePen);
            p.drawLine(0, y + rh - 1, std::max(tableRight, 0), y + rh - 1);
        }
        if (row == current && hasFocus() && !m_onNewRow) {
            p.setPen(QPen(pal.color(QPalette::Text), 0, Qt::DotLine));
            p.drawRect(QRect(0, y, std::max(tableRight, width) - 1, rh - 1));
        }
    }
    if (m_grid->newRowShown()) {
        const int y = top + (rows - first) * rh;
        if (y + rh > top && y < viewport()->height())
            paintNewRow(p, y);
    }
}

void GridTableView::paintNewRow(QPainter &p, int y)
{
    const int rh = rowHeight();
    const int dx = horizontalScrollBar()->value();
    const int width = viewport()->width();
    const auto spans = columnLayout();
    const int tableRight = spans.empty() ? 0 : spans.back().x + spans.back().width - dx;
    const QPalette pal = palette();
    // A faint band, so the row reads as a place to type rather than as a record.
    QColor band = pal.color(QPalette::Highlight);
    band.setAlpha(24);
    p.fillRect(QRect(0, y, std::max(tableRight, width), rh), band);
    const QFont body = m_grid->bodyFont();
    const QFontMetrics fm(body);
    if (!m_grid->newRowPending()) {
        QFont hint = body;
        hint.setItalic(true);
        p.setFont(hint);
        p.setPen(pal.color(QPalette::PlaceholderText));
        p.drawText(QRect(4 - dx, y, std::max(tableRight, width) - 8, rh), Qt::AlignVCenter | Qt::AlignLeft,
                   tr("Click here to add a new record"));
    } else {
        p.setFont(body);
        p.setPen(m_grid->bodyTextColor());
        for (const ColumnSpan &s : spans) {
            const int x = s.x - dx;
            if (x + s.width < 0 || x > width)
                continue;
            const QString t = m_grid->newRowText(s.column->index());
            if (t.isEmpty())
                continue;
            const QRect cell(x + 4, y, s.width - 8, rh);
            const bool right = s.column->dataType() == GridDataType::Number;
            p.drawText(cell, Qt::AlignVCenter | (right ? Qt::AlignRight : Qt::AlignLeft),
                       fm.elidedText(t, Qt::ElideRight, cell.width()));
        }
    }
    p.setPen(QPen(pal.color(QPalette::Mid), 0, Qt::DashLine));
    p.drawLine(0, y, std::max(tableRight, 0), y);
    if (m_onNewRow && hasFocus()) {
        p.setPen(QPen(pal.color(QPalette::Text), 0, Qt::DotLine));
        p.drawRect(QRect(0, y, std::max(tableRight, width) - 1, rh - 1));
    }
}

void GridTableView::showEvent(QShowEvent *event)
{
    QAbstractScrollArea::showEvent(event);
    updateScrollBars();
    if (m_grid->currentRow() > 0)
        ensureVisible(m_grid->currentRow() - 1);
}

void GridTableView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void GridTableView::scrollContentsBy(int, int)
{
    cancelEdit();
    viewport()->update();
}

void GridTableView::focusInEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void GridTableView::focusOutEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
    // Focus going to the row's own editor or a pop-up is not leaving the row.
    const QWidget *to = QApplication::focusWidget();
    if (m_onNewRow && !m_editor && event->reason() != Qt::PopupFocusReason && to && to != this && !isAncestorOf(to))
        leaveNewRow();
}

void GridTableView::enterNewRow()
{
    if (!m_grid->newRowShown())
        return;
    m_onNewRow = true;
    // The record that was current is no longer the one the keys act on.
    m_grid->selectRows({});
    ensureVisible(m_grid->rowCount());
    viewport()->update();
}

bool GridTableView::leaveNewRow()
{
    if (!m_onNewRow)
        return true;
    if (m_inserting)
        return false;
    if (m_grid->newRowPending()) {
        m_inserting = true;
        const bool inserted = m_grid->commitNewRow();
        m_inserting = false;
        if (!inserted) {
            viewport()->update();
            return false;
        }
    }
    m_onNewRow = false;
    viewport()->update();
    return true;
}

bool GridTableView::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::HoverMove || event->type() == QEvent::MouseMove) {
        const auto *me = static_cast<QMouseEvent *>(event);
        if (!(me->buttons() & Qt::LeftButton))
            viewport()->setCursor(resizeHandleAt(me->position().toPoint()) ? Qt::SplitHCursor : Qt::ArrowCursor);
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void GridTableView::mousePressEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    m_pressPos = pos;
    m_dragged = false;
    m_pressColumn = 0;
    m_resizeColumn = 0;
    m_pressOnRow = false;
    commitEdit();
    setFocus(Qt::MouseFocusReason);
    if (inHeader(pos)) {
        if (event->button() == Qt::LeftButton) {
            m_resizeColumn = resizeHandleAt(pos);
            if (m_resizeColumn)
                m_resizeStartWidth = m_grid->column(m_resizeColumn)->width();
            else
                m_pressColumn = columnAt(pos);
        }
        return;
    }
    if (newRowAt(pos)) {
        if (const int col = columnAt(pos))
            m_grid->setCurrentColumn(col);
        enterNewRow();
        if (event->button() == Qt::LeftButton && m_grid->allowEdit())
            startEdit();
        return;
    }
    if (m_onNewRow && rowAt(pos) >= 0 && !leaveNewRow())
        return;
    // Positions are read after the insert: the new record may have moved the rows.
    const int row = rowAt(pos);
    if (row < 0)
        return;
    if (event->button() == Qt::LeftButton && overGlyph(row, pos)) {
        m_grid->setCurrentRow(row + 1);
        m_grid->toggleExpanded(row + 1);
        return;
    }
    if (const int col = columnAt(pos))
        m_grid->setCurrentColumn(col);
    const Qt::KeyboardModifiers mods = event->modifiers();
    if (event->button() != Qt::LeftButton && m_grid->isSelected(row + 1)) {
        // A right click keeps a multi-row selection for the pop-up menu.
        return;
    }
    if ((mods & Qt::ControlModifier) && event->button() == Qt::LeftButton) {
        std::vector<int> sel = m_grid->selectedPositions();
        const auto it = std::find(sel.begin(), sel.end(), row + 1);
        if (it != sel.end())
            sel.erase(it);
        else
            sel.push_back(row + 1);
        m_grid->setCurrentRow(row + 1);
        m_grid->selectRows(sel);
        m_anchor = row;
        return;
    }
    moveCurrent(row, mods & Qt::ShiftModifier);
    m_pressOnRow = event->button() == Qt::LeftButton;
}

void GridTableView::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    if (!(event->buttons() & Qt::LeftButton))
        return;
    if (m_resizeColumn) {
        m_grid->column(m_resizeColumn)->setWidth(m_resizeStartWidth + pos.x() - m_pressPos.x());
        return;
    }
    if (m_dragged || (pos - m_pressPos).manhattanLength() < QApplication::startDragDistance())
        return;
    if (m_pressColumn) {
        m_dragged = true;
        startHeaderDrag(m_grid->column(m_pressColumn));
        m_pressColumn = 0;
    } else if (m_pressOnRow) {
        m_dragged = true;
        startRowDrag();
        m_pressOnRow = false;
    }
}

void GridTableView::mouseReleaseEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    if (m_pressColumn && !m_dragged && inHeader(pos) && columnAt(pos) == m_pressColumn)
        emit m_grid->columnHeaderClick(m_grid->column(m_pressColumn));
    m_pressColumn = 0;
    m_resizeColumn = 0;
    m_pressOnRow = false;
    emit m_grid->mouseUp(event->button(), viewport()->mapTo(m_grid, pos));
}

void GridTableView::mouseDoubleClickEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    if (inHeader(pos)) {
        if (const int c = resizeHandleAt(pos))
            m_grid->column(c)->autoSize();
        return;
    }
    const int row = rowAt(pos);
    if (row < 0)
        return;
    const GridRow r = m_grid->row(row + 1);
    if (r.type == GridRowType::GroupHeader) {
        if (!overGlyph(row, pos))
            m_grid->toggleExpanded(row + 1);
        emit m_grid->dblClick();
        return;
    }
    emit m_grid->dblClick();
    if (r.type == GridRowType::Record && m_grid->allowEdit())
        startEdit();
}

void GridTableView::moveCurrent(int row, Qt::KeyboardModifiers modifiers)
{
    const int rows = m_grid->rowCount();
    if (rows == 0)
        return;
    row = std::clamp(row, 0, rows - 1);
    if ((modifiers & Qt::ShiftModifier) && m_anchor >= 0) {
        m_grid->setCurrentRow(row + 1);
        std::vector<int> sel;
        for (int p = std::min(m_anchor, row); p <= std::max(m_anchor, row); ++p)
            sel.push_back(p + 1);
        m_grid->selectRows(sel);
        return;
    }
    m_anchor = row;
    m_grid->setCurrentRow(row + 1);
}

void GridTableView::keyPressEvent(QKeyEvent *event)
{
    int key = event->key();
    // An arrow the editor does not use reaches the grid through it: the cell is done.
    if (m_editor && (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp || key == Qt::Key_PageDown)
        && !commitEdit(true)) {
        event->accept();
        return;
    }
    emit m_grid->keyDown(key, event->modifiers());
    if (key == 0) {
        event->accept();
        return;
    }
    const int rows = m_grid->rowCount();
    const int cur = m_grid->currentRow() - 1;
    const GridRow r = cur >= 0 ? m_grid->row(cur + 1) : GridRow{};
    const Qt::KeyboardModifiers mods = event->modifiers();
    if (m_onNewRow) {
        switch (key) {
        case Qt::Key_Up:
        case Qt::Key_PageUp:
        case Qt::Key_Home: {
            const bool pending = m_grid->newRowPending();
            if (!leaveNewRow() || pending)
                return;   // refused, or the inserted record is current now
            moveCurrent(key == Qt::Key_Up ? rows - 1 : key == Qt::Key_Home ? 0 : rows - visibleRowCapacity(), mods);
            return;
        }
        case Qt::Key_Down:
        case Qt::Key_PageDown:
        case Qt::Key_End:
        case Qt::Key_Delete:
            return;
        case Qt::Key_Left:
            stepColumn(-1);
            return;
        case Qt::Key_Right:
            stepColumn(1);
            return;
        case Qt::Key_Escape:
            m_grid->discardNewRow();
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (m_grid->newRowPending())
                leaveNewRow();
            else
                startEdit();
            return;
        case Qt::Key_F2:
            startEdit();
            return;
        default:
            break;
        }
        const QString typed = event->text();
        if (!typed.isEmpty() && typed.at(0).isPrint() && !(mods & (Qt::ControlModifier | Qt::AltModifier))) {
            int ch = typed.at(0).unicode();
            emit m_grid->keyPress(ch);
            if (ch != 0)
                startEdit(QString(QChar(ch)), true);
            return;
        }
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    switch (key) {
    case Qt::Key_Up:
        moveCurrent(cur - 1, mods);
        return;
    case Qt::Key_Down:
        if (cur >= rows - 1 && !(mods & Qt::ShiftModifier) && m_grid->newRowShown())
            enterNewRow();
        else
            moveCurrent(cur + 1, mods);
        return;
    case Qt::Key_PageUp:
        moveCurrent(cur - visibleRowCapacity(), mods);
        return;
    case Qt::Key_PageDown:
        moveCurrent(cur + visibleRowCapacity(), mods);
        return;
    case Qt::Key_Home:
        moveCurrent(0, mods);
        return;
    case Qt::Key_End:
        moveCurrent(rows - 1, mods);
        return;
    case Qt::Key_Left:
        if (r.type == GridRowType::GroupHeader && r.expanded)
            m_grid->setExpanded(cur + 1, false);
        else
            stepColumn(-1);
        return;
    case Qt::Key_Right:
        if (r.type == GridRowType::GroupHeader && !r.expanded)
            m_grid->setExpanded(cur + 1, true);
        else
            stepColumn(1);
        return;
    case Qt::Key_Plus:
        if (r.type == GridRowType::GroupHeader)
            m_grid->setExpanded(cur + 1, true);
        return;
    case Qt::Key_Minus:
        if (r.type == GridRowType::GroupHeader)
            m_grid->setExpanded(cur + 1, false);
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (r.type == GridRowType::GroupHeader)
            m_grid->toggleExpanded(cur + 1);
        else if (r.type == GridRowType::Record && m_grid->allowEdit())
            startEdit();
        return;
    case Qt::Key_F2:
        if (r.type == GridRowType::Record && m_grid->allowEdit())
            startEdit();
        return;
    case Qt::Key_Delete:
        m_grid->deleteSelectedRows();
        return;
    default:
        break;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        std::vector<int> all(static_cast<std::size_t>(rows));
        for (int i = 0; i < rows; ++i)
            all[std::size_t(i)] = i + 1;
        m_grid->selectRows(all);
        return;
    }
    const QString typed = event->text();
    if (!typed.isEmpty() && typed.at(0).isPrint() && !(mods & (Qt::ControlModifier | Qt::AltModifier))) {
        int ch = typed.at(0).unicode();
        emit m_grid->keyPress(ch);
        if (ch == 0)
            return;
        if (r.type == GridRowType::Record && m_grid->allowEdit())
            startEdit(QString(QChar(ch)), true);
        return;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

void GridTableView::stepColumn(int delta)
{
    const auto cols = m_grid->displayedColumns();
    if (cols.empty())
        return;
    int i = 0;
    for (std::size_t k = 0; k < cols.size(); ++k)
        if (cols[k]->index() == m_grid->currentColumn())
            i = int(k);
    i = std::clamp(i + delta, 0, int(cols.size()) - 1);
    m_grid->setCurrentColumn(cols[std::size_t(i)]->index());
    const auto spans = columnLayout();
    const ColumnSpan &s = spans[std::size_t(i)];
    if (s.x < horizontalScrollBar()->value())
        horizontalScrollBar()->setValue(s.x);
    else if (s.x + s.width > horizontalScrollBar()->value() + viewport()->width())
        horizontalScrollBar()->setValue(s.x + s.width - viewport()->width());
}

void GridTableView::startEdit(const QString &initialText, bool replace)
{
    cancelEdit();
    const int pos = m_grid->currentRow();
    const bool newRow = m_onNewRow && m_grid->newRowShown() && m_grid->allowEdit();
    if (!newRow && (pos < 1 || m_grid->row(pos).type != GridRowType::Record))
        return;
    const auto cols = m_grid->displayedColumns();
    int display = -1;
    for (std::size_t k = 0; k < cols.size(); ++k)
        if (cols[k]->index() == m_grid->currentColumn())
            display = int(k);
    if (display < 0) {
        if (cols.empty())
            return;
        display = 0;
        m_grid->setCurrentColumn(cols.front()->index());
    }
    const int line = newRow ? m_grid->rowCount() : pos - 1;
    ensureVisible(line);
    m_editPosition = pos;
    m_editNew = newRow;
    m_editColumn = cols[std::size_t(display)]->index();
    auto *editor = new CellEditor(viewport(), this);
    editor->setObjectName(QStringLiteral("cellEditor"));
    editor->setFont(m_grid->bodyFont());
    editor->setFrame(false);
    editor->setText(replace ? initialText
                            : newRow ? m_grid->newRowText(m_editColumn) : m_grid->text(pos, m_editColumn));
    editor->setGeometry(cellRect(line, display));
    editor->show();
    editor->setFocus(Qt::OtherFocusReason);
    m_editor = editor;
}

bool GridTableView::commitEdit(bool keepRefused)
{
    if (!m_editor)
        return true;
    QLineEdit *editor = m_editor;
    m_editor = nullptr;
    const bool newRow = std::exchange(m_editNew, false);
    const QString text = editor->text();
    // Focus goes back to the grid only from its own editor: when the user clicked elsewhere,
    // the edit is committed without taking the focus away from where they went.
    const bool hadFocus = editor->hasFocus();
    editor->hide();
    editor->deleteLater();
    if (hadFocus || !QApplication::focusWidget())
        setFocus(Qt::OtherFocusReason);
    if (newRow)
        m_grid->setNewRowText(m_editColumn, text);
    else if (text != m_grid->text(m_editPosition, m_editColumn) && !m_grid->editCell(m_editPosition, m_editColumn, text)
             && keepRefused) {
        // A refused value stays in the editor for the user to correct instead of being lost.
        startEdit(text, true);
        return false;
    }
    viewport()->update();
    return true;
}

void GridTableView::commitEditor(QLineEdit *editor)
{
    // Focus left this editor; a later editor is not this one's business.
    if (m_editor != editor)
        return;
    const bool newRow = m_editNew;
    commitEdit();
    // Leaving the grid altogether leaves the new-item row too.
    const QWidget *to = QApplication::focusWidget();
    if (newRow && to && to != this && !isAncestorOf(to))
        leaveNewRow();
}

void GridTableView::editorReturn()
{
    const bool newRow = m_editNew;
    if (!commitEdit(true))
        return;
    if (newRow)
        leaveNewRow();
}

void GridTableView::editorEscape()
{
    const bool newRow = m_editNew;
    cancelEdit();
    if (newRow)
        m_grid->discardNewRow();
}

bool GridTableView::editorTab(bool next)
{
    if (!m_editNew)
        return false;
    commitEdit();
    stepColumn(next ? 1 : -1);
    startEdit();
    return true;
}

void GridTableView::cancelEdit()
{
    if (!m_editor)
        return;
    QLineEdit *editor = m_editor;
    m_editor = nullptr;
    m_editNew = false;
    editor->hide();
    editor->deleteLater();
    setFocus(Qt::OtherFocusReason);
    viewport()->update();
}

void GridTableView::startHeaderDrag(GridColumn *column)
{
    if (!column)
        return;
    auto *mime = new QMimeData;
    mime->setData(QLatin1String(ColumnMime), QByteArray::number(column->index()));
    auto *drag = new QDrag(this);
    drag->setMimeData(mime);
    drag->exec(Qt::MoveAction | Qt::CopyAction);
}

void GridTableView::startRowDrag()
{
    int effects = 1;
    emit m_grid->dragStart(effects);
    if (effects == 0)
        return;
    auto *drag = new QDrag(this);
    drag->setMimeData(m_grid->createDragData());
    drag->exec(Qt::CopyAction);
}

void GridTableView::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasFormat(QLatin1String(ColumnMime)) || event->mimeData()->hasFormat(QLatin1String(GroupMime)))
        event->acceptProposedAction();
}

void GridTableView::dragMoveEvent(QDragMoveEvent *event)
{
    if (event->mimeData()->hasFormat(QLatin1String(ColumnMime)) || event->mimeData()->hasFormat(QLatin1String(GroupMime)))
        event->acceptProposedAction();
}

void GridTableView::dropEvent(QDropEvent *event)
{
    const QMimeData *mime = event->mimeData();
    const QPoint pos = event->position().toPoint();   // viewport coordinates
    if (mime->hasFormat(QLatin1String(GroupMime))) {
        // A group dragged out of the group-by box onto the rows is removed.
        const int item = mime->data(QLatin1String(GroupMime)).toInt();
        if (item >= 1 && item <= m_grid->groups().count()) {
            m_grid->groups().remove(item);
            m_grid->regroup();
        }
        event->acceptProposedAction();
        return;
    }
    if (mime->hasFormat(QLatin1String(ColumnMime))) {
        GridColumn *moved = m_grid->column(mime->data(QLatin1String(ColumnMime)).toInt());
        const int target = columnAt(QPoint(pos.x(), 1));
        if (moved && target && target != moved->index()) {
            GridColumn *t = m_grid->column(target);
            const auto spans = columnLayout();
            int newPos = t->position();
            for (const ColumnSpan &s : spans)
                if (s.column == t && pos.x() + horizontalScrollBar()->value() > s.x + s.width / 2
                    && moved->position() > t->position())
                    newPos = t->position() + 1;
            moved->setPosition(newPos);
        }
        event->acceptProposedAction();
    }
}

} // namespace velmora::grid
