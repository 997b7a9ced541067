#include "grid/groupbybox.h"

#include "grid/reportgrid.h"

#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>

namespace velmora::grid {

namespace {
constexpr int Margin = 6;
constexpr int Spacing = 14;
constexpr int Step = 8;   // each level sits a little lower: a staircase
} // namespace

GroupByBox::GroupByBox(ReportGrid *grid) : QWidget(grid), m_grid(grid)
{
    setObjectName(QStringLiteral("groupByBox"));
    setAcceptDrops(true);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Dark);
    setToolTip(hintText());
}

QString GroupByBox::hintText() { return QStringLiteral("Drag a column header here to group by that column"); }

std::vector<QRect> GroupByBox::layoutItems() const
{
    std::vector<QRect> rects;
    const QFontMetrics fm(m_grid->headingFont());
    const int h = fm.height() + 8;
    int x = Margin;
    for (int i = 1; i <= m_grid->groups().count(); ++i) {
        const GridColumn *c = m_grid->column(m_grid->groups().item(i).column);
        const QString caption = c ? c->caption() : QString();
        const int w = fm.horizontalAdvance(caption) + 30;
        rects.emplace_back(x, Margin + (i - 1) * Step, w, h);
        x += w + Spacing;
    }
    return rects;
}

QRect GroupByBox::itemRect(int item) const
{
    const auto rects = layoutItems();
    return item >= 1 && item <= int(rects.size()) ? rects[std::size_t(item - 1)] : QRect();
}

int GroupByBox::itemAt(QPoint pos) const
{
    const auto rects = layoutItems();
    for (std::size_t i = 0; i < rects.size(); ++i)
        if (rects[i].contains(pos))
            return int(i) + 1;
    return 0;
}

int GroupByBox::dropLevel(QPoint pos) const
{
    const auto rects = layoutItems();
    for (std::size_t i = 0; i < rects.size(); ++i)
        if (pos.x() < rects[i].center().x())
            return int(i) + 1;
    return int(rects.size()) + 1;
}

QSize GroupByBox::sizeHint() const
{
    const QFontMetrics fm(m_grid->headingFont());
    const int n = std::max(1, m_grid->groups().count());
    return QSize(200, 2 * Margin + fm.height() + 8 + (n - 1) * Step);
}

QSize GroupByBox::minimumSizeHint() const { return QSize(50, sizeHint().height()); }

void GroupByBox::groupsChanged()
{
    updateGeometry();
    update();
}

void GroupByBox::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QPalette pal = palette();
    p.setFont(m_grid->headingFont());
    const auto rects = layoutItems();
    if (rects.empty()) {
        p.setPen(pal.color(QPalette::Light));
        p.drawText(rect().adjusted(Margin, 0, -Margin, 0), Qt::AlignVCenter | Qt::AlignLeft, hintText());
        return;
    }
    for (std::size_t i = 0; i < rects.size(); ++i) {
        const QRect r = rects[i];
        const GridKey key = m_grid->groups().item(int(i) + 1);
        const GridColumn *c = m_grid->column(key.column);
        if (i > 0) {
            // Connector from the previous level down to this one.
            const QRect prev = rects[i - 1];
            p.setPen(pal.color(QPalette::Light));
            p.drawLine(prev.right() - 6, prev.bottom(), prev.right() - 6, r.center().y());
            p.drawLine(prev.right() - 6, r.center().y(), r.left(), r.center().y());
        }
        p.fillRect(r, pal.color(QPalette::Button));
        p.setPen(pal.color(QPalette::Shadow));
        p.drawRect(r.adjusted(0, 0, -1, -1));
        p.setPen(m_grid->headingTextColor());
        p.drawText(r.adjusted(6, 0, -20, 0), Qt::AlignVCenter | Qt::AlignLeft, c ? c->caption() : QString());
        const int cx = r.right() - 10, cy = r.center().y();
        QPolygon tri;
        if (key.order > 0)
            tri << QPoint(cx - 4, cy + 2) << QPoint(cx + 4, cy + 2) << QPoint(cx, cy - 3);
        else
            tri << QPoint(cx - 4, cy - 2) << QPoint(cx + 4, cy - 2) << QPoint(cx, cy + 3);
        p.setBrush(m_grid->headingTextColor());
        p.drawPolygon(tri);
        p.setBrush(Qt::NoBrush);
    }
}

void GroupByBox::mousePressEvent(QMouseEvent *event)
{
    m_pressPos = event->position().toPoint();
    m_pressItem = event->button() == Qt::LeftButton ? itemAt(m_pressPos) : 0;
}

void GroupByBox::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_pressItem || (event->position().toPoint() - m_pressPos).manhattanLength() < QApplication::startDragDistance())
        return;
    const int item = m_pressItem;
    m_pressItem = 0;
    auto *mime = new QMimeData;
    mime->setData(QLatin1String(GroupMime), QByteArray::number(item));
    auto *drag = new QDrag(this);
    drag->setMimeData(mime);
    drag->exec(Qt::MoveAction);
}

void GroupByBox::mouseReleaseEvent(QMouseEvent *event)
{
    const int item = m_pressItem;
    m_pressItem = 0;
    if (item && itemAt(event->position().toPoint()) == item)
        emit m_grid->groupHeaderClick(item);
}

void GroupByBox::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasFormat(QLatin1String(ColumnMime)) || event->mimeData()->hasFormat(QLatin1String(GroupMime)))
        event->acceptProposedAction();
}

void GroupByBox::dragMoveEvent(QDragMoveEvent *event)
{
    if (event->mimeData()->hasFormat(QLatin1String(ColumnMime)) || event->mimeData()->hasFormat(QLatin1String(GroupMime)))
        event->acceptProposedAction();
}

void GroupByBox::dropEvent(QDropEvent *event)
{
    const QMimeData *mime = event->mimeData();
    const int level = dropLevel(event->position().toPoint());
    GridKeyList &groups = m_grid->groups();
    if (mime->hasFormat(QLatin1String(GroupMime))) {
        const int item = mime->data(QLatin1String(GroupMime)).toInt();
        groups.move(item, level > item ? level - 1 : level);
    } else if (mime->hasFormat(QLatin1String(ColumnMime))) {
        const int column = mime->data(QLatin1String(ColumnMime)).toInt();
        if (!m_grid->column(column))
            return;
        int existing = 0;
        for (int i = 1; i <= groups.count(); ++i)
            if (groups.item(i).column == column)
                existing = i;
        if (existing)
            groups.move(existing, level > existing ? level - 1 : level);
        else
            groups.insert(level, column, 1);
    } else {
        return;
    }
    event->acceptProposedAction();
    m_grid->regroup();
}

} // namespace velmora::grid
