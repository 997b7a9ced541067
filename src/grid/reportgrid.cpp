#include "grid/reportgrid.h"

#include "data/connection.h"
#include "grid/gridcardview.h"
#include "grid/gridformat.h"
#include "grid/gridtableview.h"
#include "grid/gridviewmodel.h"
#include "grid/groupbybox.h"
#include "platform/platform.h"

#include <QAccessible>
#include <QApplication>
#include <QFontMetrics>
#include <QMetaMethod>
#include <QMimeData>
#include <QScreen>
#include <QScrollBar>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace velmora {

using grid::GridViewModel;

namespace {

int gridTypeOf(const ColumnInfo &info)
{
    switch (info.type) {
    case ColumnType::Integer:
    case ColumnType::Double:
    case ColumnType::Boolean:
        return GridDataType::Number;
    case ColumnType::Date:
        return GridDataType::Date;
    case ColumnType::Timestamp:
        return GridDataType::DateTime;
    case ColumnType::Text:
        break;
    }
    return GridDataType::Text;
}

} // namespace

struct ReportGrid::Impl {
    ReportGrid *q = nullptr;
    std::shared_ptr<RecordTable> table;
    std::shared_ptr<RecordWriter> writer;
    std::vector<std::unique_ptr<GridColumn>> columns;
    std::vector<int> order;   // column index at each display position
    std::unique_ptr<GridKeyList> groups;
    std::unique_ptr<GridKeyList> sortKeys;
    mutable GridViewModel model;
    mutable bool dirty = true;           // groups, sort keys or table changed
    mutable bool groupsDirty = true;     // the grouping itself changed (expansion cannot be kept)
    mutable bool totalsDirty = false;
    std::vector<int> totalOfColumn;      // column index - 1 -> total slot, -1 when none

    int current = -1;                    // 0-based visible position
    int currentColumn = 0;
    std::vector<std::pair<int, int>> selection;   // [first, last) ranges of positions, sorted

    int viewMode = 0;
    bool groupByBoxVisible = true;
    QFont headingFont;
    QFont bodyFont;
    QColor headingTextColor;
    QColor bodyTextColor;
    bool allowEdit = false;
    bool allowDelete = false;
    bool allowAddNew = false;
    std::map<int, QString> newRow;       // column index -> text typed into the new-item row
    int gridLines = 2;
    int gridLineStyle = 0;
    QColor groupBack;
    bool autoResize = false;
    int cardWidth = 3600;
    bool redraw = true;
    PrinterSettings printer;

    QStackedWidget *stack = nullptr;
    grid::GroupByBox *box = nullptr;
    grid::GridTableView *tableView = nullptr;
    grid::GridCardView *cardView = nullptr;

    const RecordTable *tbl() const { return table.get(); }

    std::vector<grid::ViewKey> viewKeys(const GridKeyList &list) const
    {
        std::vector<grid::ViewKey> keys;
        for (int i = 1; i <= list.count(); ++i) {
            const GridKey k = list.item(i);
            if (k.column < 1 || k.column > int(columns.size()))
                continue;
            keys.push_back({columns[std::size_t(k.column - 1)]->sourceColumn(), k.order < 0 ? -1 : 1});
        }
        return keys;
    }

    std::vector<grid::TotalSpec> totalSpecs()
    {
        std::vector<grid::TotalSpec> wanted;
        totalOfColumn.assign(columns.size(), -1);
        for (std::size_t i = 0; i < columns.size(); ++i) {
            const GridColumn &c = *columns[i];
            if (c.aggregateFunction() == 1 || c.aggregateFunction() == 2) {
                totalOfColumn[i] = int(wanted.size());
                wanted.push_back({c.sourceColumn(), c.aggregateFunction()});
            }
        }
        return wanted;
    }

    bool footers() const
    {
        return std::any_of(columns.begin(), columns.end(), [](const auto &c) {
            return c->visible() && (c->aggregateFunction() == 1 || c->aggregateFunction() == 2);
        });
    }

    void build(bool allCollapsed, bool keepExpansion)
    {
        const int record = current >= 0 && current < model.visibleCount()
                && model.entry(current).kind == GridViewModel::Kind::Record
            ? model.recordAt(model.entry(current).index) : -1;
        const bool hadCurrent = current >= 0;
        model.build(viewKeys(*groups), viewKeys(*sortKeys), totalSpecs(), allCollapsed, footers(), keepExpansion);
        dirty = groupsDirty = totalsDirty = false;
        selection.clear();
        current = -1;
        if (record >= 0)
            current = model.positionOfRecord(record);
        if (current < 0 && hadCurrent && model.visibleCount() > 0)
            current = 0;
        if (current >= 0)
            selection.push_back({current, current + 1});
    }

    void ensure() const
    {
        if (dirty) {
            auto *self = const_cast<Impl *>(this);
            self->build(false, !groupsDirty);
            self->rowsChanged();
        } else if (totalsDirty) {
            const_cast<Impl *>(this)->model.computeTotals(const_cast<Impl *>(this)->totalSpecs());
            model.setFooters(footers());
            totalsDirty = false;
        }
    }

    void rowsChanged()
    {
        if (tableView)
            tableView->rowsChanged();
        if (cardView)
            cardView->rowsChanged();
        if (QAccessible::isActive() && tableView) {
            QAccessibleTableModelChangeEvent ev(tableView, QAccessibleTableModelChangeEvent::ModelReset);
            QAccessible::updateAccessibility(&ev);
        }
        emit q->rowsChanged();
    }

    void repaint()
    {
        if (!redraw)
            return;
        if (tableView)
            tableView->viewport()->update();
        if (cardView)
            cardView->viewport()->update();
    }

    // Keeps the current row where it was after expand/collapse, or on the group hiding it.
    void relayout(const GridViewModel::Entry &before, bool hadEntry)
    {
        selection.clear();
        if (hadEntry) {
            int pos = -1;
            if (before.kind == GridViewModel::Kind::Record)
                pos = model.positionOfRecord(model.recordAt(before.index));
            else
                pos = model.positionOfGroupOrAncestor(before.index);
            current = pos >= 0 ? pos : (model.visibleCount() > 0 ? 0 : -1);
            if (current >= 0)
                selection.push_back({current, current + 1});
        }
        rowsChanged();
    }

    GridViewModel::Entry entryAt(int pos, bool *ok) const
    {
        *ok = pos >= 0 && pos < model.visibleCount();
        return *ok ? model.entry(pos) : GridViewModel::Entry{};
    }

    QString cellText(int record, const GridColumn &c) const
    {
        if (c.sourceColumn() < 0 || !table)
            return {};
        return table->displayText(record, c.sourceColumn());
    }

    QString totalText(int g, const GridColumn &c) const
    {
        const int slot = totalOfColumn.empty() || c.index() > int(totalOfColumn.size()) ? -1 : totalOfColumn[std::size_t(c.index() - 1)];
        if (slot < 0 || slot >= model.totalCount())
            return {};
        const grid::GroupTotal &t = model.total(g, slot);
        const QLocale locale;
        QString text;
        if (c.aggregateFunction() == 1) {
            text = grid::formatScaled(t.count, 0, grid::parseNumberFormat(c.totalFormat(), 0), locale);
        } else {
            const int src = c.sourceColumn();
            if (src < 0 || !table)
                return {};
            const ColumnInfo &info = table->column(src);
            if (info.type == ColumnType::Integer || info.type == ColumnType::Boolean)
                text = grid::formatScaled(t.intSum, info.scale, grid::parseNumberFormat(c.totalFormat(), info.scale), locale);
            else if (info.type == ColumnType::Double)
                text = grid::formatReal(t.realSum, grid::parseNumberFormat(c.totalFormat(), 2), locale);
            else
                return {};
        }
        const QString prefix = c.totalPrefix();
        if (prefix.isEmpty())
            return text;
        return prefix.endsWith(QLatin1Char(' ')) ? prefix + text : prefix + QLatin1Char(' ') + text;
    }

    const GridColumn *groupColumn(int level) const
    {
        if (level < 1 || level > groups->count())
            return nullptr;
        const int idx = groups->item(level).column;
        return idx >= 1 && idx <= int(columns.size()) ? columns[std::size_t(idx - 1)].get() : nullptr;
    }

    void setCurrent(int pos, bool select)
    {
        const int old = current;
        current = pos;
        if (select) {
            selection.clear();
            if (pos >= 0)
                selection.push_back({pos, pos + 1});
        }
        if (tableView && pos >= 0)
            tableView->ensureVisible(pos);
        if (cardView && pos >= 0)
            cardView->ensureVisible(pos);
        repaint();
        if (old != pos) {
            if (QAccessible::isActive() && tableView && pos >= 0) {
                QAccessibleEvent ev(tableView, QAccessible::Focus);
                QAccessible::updateAccessibility(&ev);
            }
            emit q->currentRowChanged(pos + 1);
        }
    }

    void refuse(const QString &reason)
    {
        if (q->isSignalConnected(QMetaMethod::fromSignal(&ReportGrid::writeRefused)))
            emit q->writeRefused(reason);
        else
            platform::messageBox(q, reason, platform::MsgStyle::Exclamation);
    }
};

// ---------------------------------------------------------------- GridColumn

GridColumn::GridColumn(ReportGrid *grid, int index, QString key, int source, int dataType)
    : m_grid(grid), m_index(index), m_key(std::move(key)), m_source(source), m_caption(m_key), m_dataType(dataType)
{
}

void GridColumn::setCaption(const QString &caption)
{
    m_caption = caption;
    m_grid->columnChanged(this);
}

void GridColumn::setVisible(bool visible)
{
    if (m_visible == visible)
        return;
    m_visible = visible;
    m_grid->d->totalsDirty = true;   // footers appear only for shown totals
    m_grid->columnChanged(this);
}

int GridColumn::position() const
{
    const auto &order = m_grid->d->order;
    return int(std::find(order.begin(), order.end(), m_index) - order.begin()) + 1;
}

void GridColumn::setPosition(int position)
{
    auto &order = m_grid->d->order;
    const int from = this->position() - 1;
    const int to = std::clamp(position, 1, int(order.size())) - 1;
    if (from == to || from >= int(order.size()))
        return;
    order.erase(order.begin() + from);
    order.insert(order.begin() + to, m_index);
    m_grid->columnChanged(this);
}

void GridColumn::setHasValueList(bool on)
{
    m_valueList = on;
}

void GridColumn::setAggregateFunction(int function)
{
    if (m_aggregate == function)
        return;
    m_aggregate = function;
    m_grid->d->totalsDirty = true;
    m_grid->columnChanged(this);
}

void GridColumn::setTotalFormat(const QString &format)
{
    m_totalFormat = format;
    m_grid->columnChanged(this);
}

void GridColumn::setTotalPrefix(const QString &prefix)
{
    m_totalPrefix = prefix;
    m_grid->columnChanged(this);
}

int GridColumn::groupPosition() const
{
    const GridKeyList &g = *m_grid->d->groups;
    for (int i = 1; i <= g.count(); ++i)
        if (g.item(i).column == m_index)
            return i;
    return 0;
}

int GridColumn::sortOrder() const
{
    const GridKeyList &s = *m_grid->d->sortKeys;
    for (int i = 1; i <= s.count(); ++i)
        if (s.item(i).column == m_index)
            return s.item(i).order < 0 ? -1 : 1;
    return 0;
}

void GridColumn::setTotalsMarker(int marker)
{
    m_totalsMarker = marker;
}

void GridColumn::setWidth(int width)
{
    m_width = std::max(8, width);
    m_grid->columnChanged(this);
}

void GridColumn::autoSize()
{
    ReportGrid::Impl &d = *m_grid->d;
    d.ensure();
    const QFontMetrics head(d.headingFont);
    const QFontMetrics body(d.bodyFont);
    int w = head.horizontalAdvance(m_caption) + 20;
    if (m_source >= 0 && d.table) {
        // The rows a user can see decide, so the cost does not grow with the table.
        const int first = std::max(0, m_grid->firstVisibleRow() - 1);
        const int last = std::min(d.model.visibleCount(), first + 200);
        for (int pos = first; pos < last; ++pos) {
            const auto e = d.model.entry(pos);
            if (e.kind != GridViewModel::Kind::Record)
                continue;
            w = std::max(w, body.horizontalAdvance(d.table->displayText(d.model.recordAt(e.index), m_source)) + 12);
        }
    }
    if (m_aggregate != 0) {
        // Totals are wider than the values they add up, and the outermost groups hold the largest;
        // a total cut short is the one figure a user came to read.
        QFont bold = d.bodyFont;
        bold.setBold(true);
        const QFontMetrics totals(bold);
        const int groupCount = std::min(d.model.groupCount(), 500);
        for (int g = 0; g < groupCount; ++g) {
            if (d.model.group(g).parent < 0)
                w = std::max(w, totals.horizontalAdvance(d.totalText(g, *this)) + 12);
        }
    }
    m_width = std::min(w, 600);
    m_grid->columnChanged(this);
}

// ---------------------------------------------------------------- GridKeyList

void GridKeyList::add(int columnIndex, int order)
{
    m_keys.push_back({columnIndex, order < 0 ? -1 : 1});
    m_grid->keysChanged(m_groups);
}

void GridKeyList::insert(int i, int columnIndex, int order)
{
    i = std::clamp(i, 1, count() + 1);
    m_keys.insert(m_keys.begin() + (i - 1), GridKey{columnIndex, order < 0 ? -1 : 1});
    m_grid->keysChanged(m_groups);
}

void GridKeyList::move(int from, int to)
{
    if (from < 1 || from > count())
        return;
    to = std::clamp(to, 1, count());
    if (from == to)
        return;
    const GridKey k = m_keys[std::size_t(from - 1)];
    m_keys.erase(m_keys.begin() + (from - 1));
    m_keys.insert(m_keys.begin() + (to - 1), k);
    m_grid->keysChanged(m_groups);
}

void GridKeyList::setOrder(int i, int order)
{
    if (i < 1 || i > count())
        return;
    m_keys[std::size_t(i - 1)].order = order < 0 ? -1 : 1;
    m_grid->keysChanged(m_groups);
}

void GridKeyList::remove(int i)
{
    if (i < 1 || i > count())
        return;
    m_keys.erase(m_keys.begin() + (i - 1));
    m_grid->keysChanged(m_groups);
}

void GridKeyList::clear()
{
    if (m_keys.empty())
        return;
    m_keys.clear();
    m_grid->keysChanged(m_groups);
}

// ---------------------------------------------------------------- ReportGrid

ReportGrid::ReportGrid(QWidget *parent) : QWidget(parent), d(std::make_unique<Impl>())
{
    d->q = this;
    d->groups.reset(new GridKeyList(this, true));
    d->sortKeys.reset(new GridKeyList(this, false));
    d->headingFont = font();
    d->headingFont.setBold(true);
    d->bodyFont = font();
    d->headingTextColor = palette().color(QPalette::ButtonText);
    d->bodyTextColor = palette().color(QPalette::Text);
    d->groupBack = palette().color(QPalette::Button);
    setObjectName(QStringLiteral("Jgrid"));
    setFocusPolicy(Qt::StrongFocus);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    d->box = new grid::GroupByBox(this);
    d->stack = new QStackedWidget(this);
    d->tableView = new grid::GridTableView(this);
    d->cardView = new grid::GridCardView(this);
    d->stack->addWidget(d->tableView);
    d->stack->addWidget(d->cardView);
    layout->addWidget(d->box);
    layout->addWidget(d->stack, 1);
    setFocusProxy(d->tableView);
}

ReportGrid::~ReportGrid() = default;

void ReportGrid::rankTextsInBackground()
{
    d->model.rankInBackground();
}

void ReportGrid::setTable(std::shared_ptr<RecordTable> table, std::shared_ptr<RecordWriter> writer)
{
    d->tableView->cancelEdit();
    d->newRow.clear();
    d->table = std::move(table);
    d->writer = std::move(writer);
    d->columns.clear();
    d->order.clear();
    d->groups->m_keys.clear();
    d->sortKeys->m_keys.clear();
    d->model.setTable(d->table.get());
    if (d->table) {
        for (int c = 0; c < d->table->columnCount(); ++c) {
            const ColumnInfo &info = d->table->column(c);
            auto col = std::unique_ptr<GridColumn>(new GridColumn(this, c + 1, info.name, c, gridTypeOf(info)));
            const QFontMetrics fm(d->bodyFont);
            const int chars = info.type == ColumnType::Text ? std::clamp(info.definedSize, 6, 30) : 12;
            col->m_width = std::max(fm.horizontalAdvance(QLatin1Char('0')) * chars,
                                    QFontMetrics(d->headingFont).horizontalAdvance(info.name) + 20);
            d->columns.push_back(std::move(col));
            d->order.push_back(c + 1);
        }
    }
    d->current = d->model.visibleCount() > 0 ? 0 : -1;
    d->currentColumn = d->columns.empty() ? 0 : 1;
    d->dirty = d->groupsDirty = true;
    d->ensure();
    d->current = d->model.visibleCount() > 0 ? 0 : -1;
    d->selection.clear();
    if (d->current >= 0)
        d->selection.push_back({0, 1});
    d->tableView->columnsChanged();
    d->box->groupsChanged();
    d->rowsChanged();
}

std::shared_ptr<RecordTable> ReportGrid::table() const { return d->table; }

int ReportGrid::columnCount() const { return int(d->columns.size()); }

GridColumn *ReportGrid::column(int index) const
{
    return index >= 1 && index <= int(d->columns.size()) ? d->columns[std::size_t(index - 1)].get() : nullptr;
}

GridColumn *ReportGrid::columnByKey(QStringView key) const
{
    for (const auto &c : d->columns)
        if (QStringView(c->key()).compare(key, Qt::CaseInsensitive) == 0)
            return c.get();
    return nullptr;
}

GridColumn *ReportGrid::columnAtPosition(int position) const
{
    return position >= 1 && position <= int(d->order.size()) ? column(d->order[std::size_t(position - 1)]) : nullptr;
}

GridColumn *ReportGrid::addColumn(const QString &key)
{
    const int index = int(d->columns.size()) + 1;
    d->columns.push_back(std::unique_ptr<GridColumn>(new GridColumn(this, index, key, -1, GridDataType::Text)));
    d->order.push_back(index);
    d->tableView->columnsChanged();
    return d->columns.back().get();
}

GridKeyList &ReportGrid::groups() { return *d->groups; }
GridKeyList &ReportGrid::sortKeys() { return *d->sortKeys; }

int ReportGrid::rowCount() const
{
    d->ensure();
    return d->model.visibleCount();
}

GridRow ReportGrid::row(int position) const
{
    d->ensure();
    GridRow r;
    bool ok = false;
    const auto e = d->entryAt(position - 1, &ok);
    if (!ok)
        return r;
    if (e.kind == GridViewModel::Kind::Record) {
        r.type = GridRowType::Record;
        r.record = d->model.recordAt(e.index);
        r.rowIndex = r.record + 1;
        r.recordCount = 1;
        return r;
    }
    const grid::Group &g = d->model.group(e.index);
    r.type = e.kind == GridViewModel::Kind::Header ? GridRowType::GroupHeader : GridRowType::GroupFooter;
    // Negative, so a group row's index never equals a record's.
    r.rowIndex = -(e.index + 1);
    r.level = g.level;
    r.expanded = g.expanded;
    r.recordCount = g.end - g.begin;
    return r;
}

QVariant ReportGrid::value(int position, int columnIndex) const
{
    d->ensure();
    bool ok = false;
    const auto e = d->entryAt(position - 1, &ok);
    const GridColumn *c = column(columnIndex);
    if (!ok || !c || !d->table)
        return {};
    if (e.kind == GridViewModel::Kind::Record)
        return c->sourceColumn() >= 0 ? d->table->value(d->model.recordAt(e.index), c->sourceColumn()) : QVariant();
    const grid::Group &g = d->model.group(e.index);
    if (e.kind == GridViewModel::Kind::Header) {
        const GridColumn *gc = d->groupColumn(g.level);
        if (gc != c || c->sourceColumn() < 0)
            return {};
        return d->table->value(d->model.groupSampleRecord(e.index), c->sourceColumn());
    }
    const int slot = columnIndex > int(d->totalOfColumn.size()) ? -1 : d->totalOfColumn[std::size_t(columnIndex - 1)];
    if (slot < 0 || slot >= d->model.totalCount())
        return {};
    const grid::GroupTotal &t = d->model.total(e.index, slot);
    if (c->aggregateFunction() == 1)
        return QVariant::fromValue(qint64(t.count));
    const ColumnInfo &info = d->table->column(c->sourceColumn());
    if (info.type == ColumnType::Double)
        return t.realSum;
    if (info.scale == 0 && t.intSum >= INT64_MIN && t.intSum <= INT64_MAX)
        return QVariant::fromValue(qint64(t.intSum));
    double div = 1;
    for (int i = 0; i < info.scale; ++i)
        div *= 10;
    return double(t.intSum) / div;
}

QString ReportGrid::text(int position, int columnIndex) const
{
    d->ensure();
    bool ok = false;
    const auto e = d->entryAt(position - 1, &ok);
    const GridColumn *c = column(columnIndex);
    if (!ok || !c)
        return {};
    if (e.kind == GridViewModel::Kind::Record)
        return d->cellText(d->model.recordAt(e.index), *c);
    if (e.kind == GridViewModel::Kind::Footer)
        return d->totalText(e.index, *c);
    const GridColumn *gc = d->groupColumn(d->model.group(e.index).level);
    return gc == c ? d->cellText(d->model.groupSampleRecord(e.index), *c) : QString();
}

QString ReportGrid::groupCaption(int position) const
{
    d->ensure();
    bool ok = false;
    const auto e = d->entryAt(position - 1, &ok);
    if (!ok || e.kind != GridViewModel::Kind::Header)
        return {};
    const grid::Group &g = d->model.group(e.index);
    const GridColumn *gc = d->groupColumn(g.level);
    QString value = gc ? d->cellText(d->model.groupSampleRecord(e.index), *gc) : QString();
    const QString base = gc ? gc->caption() + QStringLiteral(": ") + value : value;
    QString caption = base;
    emit const_cast<ReportGrid *>(this)->formatRow(row(position), caption);
    // A handler that leaves the caption alone gets the record count added; one that rewrites it
    // decides the whole text.
    if (caption == base)
        caption += QStringLiteral(" (%1)").arg(g.end - g.begin);
    return caption;
}

void ReportGrid::setExpanded(int position, bool expanded)
{
    d->ensure();
    bool ok = false;
    const auto e = d->entryAt(position - 1, &ok);
    if (!ok || e.kind == GridViewModel::Kind::Record)
        return;
    if (d->model.group(e.index).expanded == expanded)
        return;
    bool had = false;
    const auto cur = d->entryAt(d->current, &had);
    d->model.setExpanded(e.index, expanded);
    d->relayout(cur, had);
}

void ReportGrid::toggleExpanded(int position)
{
    const GridRow r = row(position);
    if (r.type != GridRowType::Record)
        setExpanded(position, !r.expanded);
}

int ReportGrid::currentRow() const
{
    d->ensure();
    return d->current + 1;
}

void ReportGrid::setCurrentRow(int position)
{
    d->ensure();
    if (position < 1 || position > d->model.visibleCount())
        return;
    d->setCurrent(position - 1, true);
}

int ReportGrid::currentColumn() const { return d->currentColumn; }

void ReportGrid::setCurrentColumn(int index)
{
    if (index < 0 || index > columnCount())
        return;
    d->currentColumn = index;
    d->repaint();
}

int ReportGrid::firstVisibleRow() const
{
    d->ensure();
    if (d->model.visibleCount() == 0)
        return 0;
    if (d->viewMode == 1)
        return d->cardView->cardAt(QPoint(1, 1)) + 1;
    return d->tableView->firstRow() + 1;
}

void ReportGrid::setFirstVisibleRow(int position)
{
    d->ensure();
    d->tableView->setFirstRow(position - 1);
}

int ReportGrid::rowFromPoint(QPoint p) const
{
    d->ensure();
    if (d->viewMode == 1) {
        const QPoint vp = d->cardView->viewport()->mapFrom(this, p);
        return d->cardView->cardAt(vp) + 1;
    }
    const QPoint vp = d->tableView->viewport()->mapFrom(this, p);
    return d->tableView->rowAt(vp) + 1;
}

int ReportGrid::columnFromPoint(QPoint p) const
{
    if (d->viewMode == 1)
        return 0;
    return d->tableView->columnAt(d->tableView->viewport()->mapFrom(this, p));
}

int ReportGrid::hitTest(QPoint p) const
{
    d->ensure();
    if (d->box->isVisible() && d->box->geometry().contains(p))
        return GridArea::GroupByBox;
    if (d->viewMode == 1)
        return rowFromPoint(p) > 0 ? GridArea::Record : GridArea::Nowhere;
    const QPoint vp = d->tableView->viewport()->mapFrom(this, p);
    if (!d->tableView->viewport()->rect().contains(vp))
        return GridArea::Nowhere;
    if (d->tableView->inHeader(vp))
        return d->tableView->columnAt(vp) > 0 ? GridArea::ColumnHeader : GridArea::Nowhere;
    const int r = d->tableView->rowAt(vp);
    if (r < 0)
        return GridArea::Nowhere;
    return d->model.entry(r).kind == GridViewModel::Kind::Record ? GridArea::Record : GridArea::GroupRow;
}

void ReportGrid::setRedraw(bool on)
{
    d->redraw = on;
    d->tableView->viewport()->setUpdatesEnabled(on);
    d->cardView->viewport()->setUpdatesEnabled(on);
    if (on)
        d->repaint();
}

bool ReportGrid::redraw() const { return d->redraw; }

void ReportGrid::refresh()
{
    d->tableView->cancelEdit();
    d->dirty = true;
    d->ensure();
    d->rowsChanged();
}

bool ReportGrid::isSelected(int position) const
{
    const int p = position - 1;
    for (const auto &[a, b] : d->selection)
        if (p >= a && p < b)
            return true;
    return false;
}

std::vector<int> ReportGrid::selectedPositions() const
{
    d->ensure();
    std::vector<int> out;
    for (const auto &[a, b] : d->selection)
        for (int p = a; p < b && p < d->model.visibleCount(); ++p)
            out.push_back(p + 1);
    return out;
}

int ReportGrid::selectedCount() const
{
    d->ensure();
    int n = 0;
    for (const auto &[a, b] : d->selection)
        n += std::max(0, std::min(b, d->model.visibleCount()) - a);
    return n;
}

void ReportGrid::selectRows(const std::vector<int> &positions)
{
    d->ensure();
    std::vector<int> ps;
    for (int p : positions)
        if (p >= 1 && p <= d->model.visibleCount())
            ps.push_back(p - 1);
    std::sort(ps.begin(), ps.end());
    ps.erase(std::unique(ps.begin(), ps.end()), ps.end());
    d->selection.clear();
    for (int p : ps) {
        if (!d->selection.empty() && d->selection.back().second == p)
            d->selection.back().second = p + 1;
        else
            d->selection.push_back({p, p + 1});
    }
    d->repaint();
}

std::vector<GridColumn *> ReportGrid::displayedColumns() const
{
    std::vector<GridColumn *> out;
    for (int idx : d->order) {
        GridColumn *c = column(idx);
        if (c && c->visible())
            out.push_back(c);
    }
    return out;
}

QString ReportGrid::selectedText(bool withHeaders) const
{
    const std::vector<GridColumn *> cols = displayedColumns();
    QStringList lines;
    if (withHeaders) {
        QStringList caps;
        for (const GridColumn *c : cols)
            caps << c->caption();
        lines << caps.join(QLatin1Char('\t'));
    }
    for (int pos : selectedPositions()) {
        const GridRow r = row(pos);
        if (r.type == GridRowType::GroupHeader) {
            lines << groupCaption(pos);
            continue;
        }
        QStringList cells;
        for (const GridColumn *c : cols)
            cells << text(pos, c->index());
        lines << cells.join(QLatin1Char('\t'));
    }
    return lines.join(QLatin1Char('\n'));
}

// ---------------------------------------------------------------- settings

int ReportGrid::viewMode() const { return d->viewMode; }

void ReportGrid::setViewMode(int mode)
{
    mode = mode == 1 ? 1 : 0;
    if (d->viewMode == mode)
        return;
    d->tableView->cancelEdit();
    d->viewMode = mode;
    if (mode == 1 && d->groups->count() > 0) {
        // Cards show records only; a grouping would hide records behind collapsed groups.
        d->groups->m_keys.clear();
        d->dirty = d->groupsDirty = true;
        d->ensure();
        d->box->groupsChanged();
    }
    d->stack->setCurrentIndex(mode);
    d->box->setVisible(d->groupByBoxVisible && mode == 0);
    setFocusProxy(mode == 1 ? static_cast<QWidget *>(d->cardView) : d->tableView);
    d->rowsChanged();
}

bool ReportGrid::groupByBoxVisible() const { return d->groupByBoxVisible; }

void ReportGrid::setGroupByBoxVisible(bool on)
{
    d->groupByBoxVisible = on;
    d->box->setVisible(on && d->viewMode == 0);
}

QFont ReportGrid::headingFont() const { return d->headingFont; }
void ReportGrid::setHeadingFont(const QFont &f)
{
    d->headingFont = f;
    d->tableView->columnsChanged();
    d->box->groupsChanged();
    d->rowsChanged();
}
QFont ReportGrid::bodyFont() const { return d->bodyFont; }
void ReportGrid::setBodyFont(const QFont &f)
{
    d->bodyFont = f;
    d->rowsChanged();
}
QColor ReportGrid::headingTextColor() const { return d->headingTextColor; }
void ReportGrid::setHeadingTextColor(const QColor &c)
{
    d->headingTextColor = c;
    d->repaint();
}
QColor ReportGrid::bodyTextColor() const { return d->bodyTextColor; }
void ReportGrid::setBodyTextColor(const QColor &c)
{
    d->bodyTextColor = c;
    d->repaint();
}
bool ReportGrid::allowEdit() const { return d->allowEdit; }
void ReportGrid::setAllowEdit(bool on)
{
    d->allowEdit = on;
    if (!on)
        d->tableView->cancelEdit();
    d->tableView->columnsChanged();
}
bool ReportGrid::allowDelete() const { return d->allowDelete; }
void ReportGrid::setAllowDelete(bool on) { d->allowDelete = on; }
bool ReportGrid::allowAddNew() const { return d->allowAddNew; }
void ReportGrid::setAllowAddNew(bool on)
{
    d->allowAddNew = on;
    d->tableView->columnsChanged();
}
int ReportGrid::gridLines() const { return d->gridLines; }
void ReportGrid::setGridLines(int mode)
{
    d->gridLines = mode;
    d->repaint();
}
int ReportGrid::gridLineStyle() const { return d->gridLineStyle; }
void ReportGrid::setGridLineStyle(int style)
{
    d->gridLineStyle = style;
    d->repaint();
}
QColor ReportGrid::groupHeadingBackColor() const { return d->groupBack; }
void ReportGrid::setGroupHeadingBackColor(const QColor &c)
{
    d->groupBack = c;
    d->repaint();
}
bool ReportGrid::columnAutoResize() const { return d->autoResize; }
void ReportGrid::setColumnAutoResize(bool on)
{
    d->autoResize = on;
    d->tableView->columnsChanged();
}
int ReportGrid::cardWidth() const { return d->cardWidth; }
void ReportGrid::setCardWidth(int twips)
{
    d->cardWidth = std::max(300, twips);
    d->cardView->rowsChanged();
}

double ReportGrid::twipsPerPixel() const
{
    const double dpi = logicalDpiX() > 0 ? logicalDpiX() : 96.0;
    return 1440.0 / dpi;
}

PrinterSettings &ReportGrid::printerSettings() { return d->printer; }

// ---------------------------------------------------------------- operations

void ReportGrid::regroup(bool allCollapsed)
{
    d->tableView->cancelEdit();
    d->build(allCollapsed, false);
    d->box->groupsChanged();
    d->rowsChanged();
}

void ReportGrid::resort()
{
    d->tableView->cancelEdit();
    d->build(false, !d->groupsDirty);
    d->rowsChanged();
}

void ReportGrid::collapseAll()
{
    d->ensure();
    bool had = false;
    const auto cur = d->entryAt(d->current, &had);
    d->model.setAllExpanded(false);
    d->relayout(cur, had);
}

void ReportGrid::expandAll()
{
    d->ensure();
    bool had = false;
    const auto cur = d->entryAt(d->current, &had);
    d->model.setAllExpanded(true);
    d->relayout(cur, had);
}

void ReportGrid::moveFirst()
{
    if (rowCount() > 0)
        setCurrentRow(1);
}

void ReportGrid::moveLast()
{
    if (rowCount() > 0)
        setCurrentRow(rowCount());
}

void ReportGrid::movePrevious()
{
    if (currentRow() > 1)
        setCurrentRow(currentRow() - 1);
}

void ReportGrid::moveNext()
{
    if (currentRow() < rowCount())
        setCurrentRow(currentRow() + 1);
}

// ---------------------------------------------------------------- write-back

bool ReportGrid::editCell(int position, int columnIndex, const QString &text)
{
    d->ensure();
    bool ok = false;
    const auto e = d->entryAt(position - 1, &ok);
    GridColumn *c = column(columnIndex);
    if (!ok || !c || e.kind != GridViewModel::Kind::Record)
        return false;
    if (c->sourceColumn() < 0 || !d->table) {
        d->refuse(QStringLiteral("The column \"%1\" is not a field of the database, so it cannot be changed.").arg(c->caption()));
        return false;
    }
    const int record = d->model.recordAt(e.index);
    const ColumnInfo &info = d->table->column(c->sourceColumn());
    QVariant v;
    QString reason;
    if (!grid::parseCellText(text, info, QLocale(), &v, &reason)) {
        d->refuse(reason);
        return false;
    }
    if (!d->writer) {
        d->refuse(QStringLiteral("These rows are not connected to a table of the database, so changes cannot be saved."));
        return false;
    }
    const Status can = d->writer->canWrite();
    if (!can) {
        d->refuse(can.failure().text());
        return false;
    }
    const Status st = d->writer->updateCell(record, c->sourceColumn(), v);
    if (!st) {
        d->refuse(st.failure().text());
        d->repaint();
        return false;
    }
    if (c->aggregateFunction() != 0)
        d->totalsDirty = true;
    d->ensure();
    d->repaint();
    return true;
}

bool ReportGrid::newRowShown() const
{
    return d->allowAddNew && d->allowEdit && d->table && d->writer && d->writer->canWrite().ok();
}

QString ReportGrid::newRowText(int columnIndex) const
{
    const auto it = d->newRow.find(columnIndex);
    return it == d->newRow.end() ? QString() : it->second;
}

void ReportGrid::setNewRowText(int columnIndex, const QString &text)
{
    if (text.isEmpty())
        d->newRow.erase(columnIndex);
    else
        d->newRow[columnIndex] = text;
    d->repaint();
}

bool ReportGrid::newRowPending() const
{
    return !d->newRow.empty();
}

void ReportGrid::discardNewRow()
{
    d->newRow.clear();
    d->repaint();
}

bool ReportGrid::commitNewRow()
{
    d->ensure();
    if (!newRowPending() || !d->table)
        return false;
    if (!d->writer) {
        d->refuse(QStringLiteral("These rows are not connected to a table of the database, so new rows cannot be saved."));
        return false;
    }
    const Status can = d->writer->canWrite();
    if (!can) {
        d->refuse(can.failure().text());
        return false;
    }
    std::vector<std::pair<int, QVariant>> values;
    for (const auto &[index, text] : d->newRow) {
        const GridColumn *c = column(index);
        if (!c)
            continue;
        if (c->sourceColumn() < 0) {
            d->refuse(QStringLiteral("The column \"%1\" is not a field of the database, so it cannot be filled in.")
                          .arg(c->caption()));
            return false;
        }
        QVariant v;
        QString reason;
        if (!grid::parseCellText(text, d->table->column(c->sourceColumn()), QLocale(), &v, &reason)) {
            d->refuse(reason);
            return false;
        }
        values.emplace_back(c->sourceColumn(), v);
    }
    const Result<int> added = d->writer->insertRow(values);
    if (!added) {
        d->refuse(added.failure().text());
        d->repaint();
        return false;
    }
    d->newRow.clear();
    // The new record takes its place among the groups and sort keys, and counts in the totals.
    d->build(false, !d->groupsDirty);
    d->current = d->model.positionOfRecord(added.value());
    d->selection.clear();
    if (d->current >= 0)
        d->selection.push_back({d->current, d->current + 1});
    d->rowsChanged();
    if (d->current >= 0)
        d->tableView->ensureVisible(d->current);
    emit currentRowChanged(d->current + 1);
    return true;
}

bool ReportGrid::deleteSelectedRows()
{
    d->ensure();
    if (!d->allowDelete)
        return false;
    std::vector<int> records;
    for (int pos : selectedPositions()) {
        const auto e = d->model.entry(pos - 1);
        if (e.kind == GridViewModel::Kind::Record)
            records.push_back(d->model.recordAt(e.index));
    }
    if (records.empty())
        return false;
    bool cancel = false;
    emit beforeDelete(cancel);
    if (cancel)
        return false;
    if (!d->writer) {
        d->refuse(QStringLiteral("These rows are not connected to a table of the database, so they cannot be deleted."));
        return false;
    }
    const Status can = d->writer->canWrite();
    if (!can) {
        d->refuse(can.failure().text());
        return false;
    }
    // Highest first: removing a row renumbers the rows after it.
    std::sort(records.begin(), records.end(), std::greater<>());
    const int firstPos = selectedPositions().front();
    int deleted = 0;
    QString failure;
    for (int r : records) {
        const Status st = d->writer->deleteRow(r);
        if (!st) {
            failure = st.failure().text();
            break;
        }
        ++deleted;
    }
    d->build(false, false);
    const int n = d->model.visibleCount();
    d->current = n == 0 ? -1 : std::min(firstPos - 1, n - 1);
    d->selection.clear();
    if (d->current >= 0)
        d->selection.push_back({d->current, d->current + 1});
    d->rowsChanged();
    emit currentRowChanged(d->current + 1);
    if (!failure.isEmpty())
        d->refuse(failure);
    return deleted > 0;
}

QMimeData *ReportGrid::createDragData()
{
    auto *mime = new QMimeData;
    emit dragDataRequest(mime);
    if (!mime->hasText())
        mime->setText(selectedText(true));
    return mime;
}

QWidget *ReportGrid::tableView() const { return d->tableView; }
QWidget *ReportGrid::cardView() const { return d->cardView; }
QWidget *ReportGrid::groupByBox() const { return d->box; }

std::size_t ReportGrid::memoryBytes() const
{
    return d->model.memoryBytes() + d->selection.capacity() * sizeof(std::pair<int, int>)
        + d->totalOfColumn.capacity() * sizeof(int) + d->columns.size() * (sizeof(GridColumn) + 64);
}

void ReportGrid::columnChanged(GridColumn *)
{
    if (d->totalsDirty)
        d->ensure();
    d->tableView->columnsChanged();
    d->box->groupsChanged();
    if (d->cardView)
        d->cardView->rowsChanged();
}

void ReportGrid::keysChanged(bool groups)
{
    d->dirty = true;
    if (groups)
        d->groupsDirty = true;
    d->box->groupsChanged();
    // Only a repaint here: asking the view for its rows would sort now, once per key added.
    d->tableView->viewport()->update();
    // Rows are rebuilt lazily, so a dialog that clears and adds several keys sorts once.
    QMetaObject::invokeMethod(this, [this] { d->ensure(); }, Qt::QueuedConnection);
}

} // namespace velmora
