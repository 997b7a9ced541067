#include "grid/gridaccessible.h"

#include "grid/gridtableview.h"
#include "grid/reportgrid.h"

#include <QAccessibleWidget>
#include <QHash>
#include <QPointer>
#include <QScrollBar>
#include <QWidget>

#include <algorithm>

namespace velmora::grid {

namespace {

ReportGrid *gridOf(const GridTableView *view) { return view ? qobject_cast<ReportGrid *>(view->parentWidget() ? view->parentWidget()->parentWidget() : nullptr) : nullptr; }

// A cell of the table, or (row -1) a column header; positional, so its text is read live.
class GridAccessibleCell : public QAccessibleInterface, public QAccessibleTableCellInterface {
public:
    GridAccessibleCell(GridTableView *view, ReportGrid *grid, int row, int column)
        : m_view(view), m_grid(grid), m_row(row), m_column(column)
    {
    }

    bool isValid() const override
    {
        return m_view && m_grid && m_row < m_grid->rowCount() && m_column < int(m_grid->displayedColumns().size());
    }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return m_view ? m_view->window()->windowHandle() : nullptr; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QAccessibleInterface *parent() const override { return QAccessible::queryAccessibleInterface(m_view.data()); }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }

    GridColumn *gridColumn() const
    {
        const auto cols = m_grid->displayedColumns();
        return m_column >= 0 && m_column < int(cols.size()) ? cols[std::size_t(m_column)] : nullptr;
    }

    QString text(QAccessible::Text t) const override
    {
        if (!isValid() || (t != QAccessible::Name && t != QAccessible::Value))
            return {};
        GridColumn *c = gridColumn();
        if (m_row < 0)
            return c ? c->caption() : QString();
        const GridRow r = m_grid->row(m_row + 1);
        if (r.type == GridRowType::GroupHeader)
            return m_column == 0 ? m_grid->groupCaption(m_row + 1) : QString();
        return c ? m_grid->text(m_row + 1, c->index()) : QString();
    }
    void setText(QAccessible::Text, const QString &) override {}

    QRect rect() const override
    {
        if (!isValid())
            return {};
        QRect r = m_row < 0 ? QRect() : m_view->cellRect(m_row, m_column);
        if (m_row < 0) {
            const auto spans = m_view->columnLayout();
            const auto &s = spans[std::size_t(m_column)];
            r = QRect(s.x - m_view->horizontalScrollBar()->value(), 0, s.width, m_view->headerHeight());
        }
        return QRect(m_view->viewport()->mapToGlobal(r.topLeft()), r.size());
    }
    QAccessible::Role role() const override { return m_row < 0 ? QAccessible::ColumnHeader : QAccessible::Cell; }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid() || m_row < 0)
            return s;
        s.selectable = true;
        s.selected = m_grid->isSelected(m_row + 1);
        s.focusable = true;
        s.focused = m_grid->currentRow() == m_row + 1 && m_view->hasFocus();
        s.active = m_grid->currentRow() == m_row + 1;
        return s;
    }
    void *interface_cast(QAccessible::InterfaceType t) override
    {
        return t == QAccessible::TableCellInterface ? static_cast<QAccessibleTableCellInterface *>(this) : nullptr;
    }

    bool isSelected() const override { return m_row >= 0 && isValid() && m_grid->isSelected(m_row + 1); }
    QList<QAccessibleInterface *> columnHeaderCells() const override;
    QList<QAccessibleInterface *> rowHeaderCells() const override { return {}; }
    int columnIndex() const override { return m_column; }
    int rowIndex() const override { return m_row; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface *table() const override { return parent(); }

private:
    QPointer<GridTableView> m_view;
    QPointer<ReportGrid> m_grid;
    int m_row;
    int m_column;
};

class GridAccessibleTable : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit GridAccessibleTable(GridTableView *view) : QAccessibleWidget(view, QAccessible::Table) {}
    ~GridAccessibleTable() override
    {
        for (QAccessible::Id id : std::as_const(m_cells))
            QAccessible::deleteAccessibleInterface(id);
    }

    GridTableView *view() const { return static_cast<GridTableView *>(widget()); }
    ReportGrid *grid() const { return gridOf(view()); }

    void *interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::TableInterface)
            return static_cast<QAccessibleTableInterface *>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return QStringLiteral("Report rows");
        return QAccessibleWidget::text(t);
    }

    int childCount() const override { return (rowCount() + 1) * columnCount(); }
    QAccessibleInterface *child(int index) const override
    {
        const int cols = columnCount();
        if (cols == 0 || index < 0 || index >= childCount())
            return nullptr;
        return cell(index / cols - 1, index % cols);
    }
    int indexOfChild(const QAccessibleInterface *iface) const override
    {
        if (!iface || iface->role() == QAccessible::Table)
            return -1;
        auto *cellIface = const_cast<QAccessibleInterface *>(iface)->tableCellInterface();
        if (!cellIface)
            return -1;
        return (cellIface->rowIndex() + 1) * columnCount() + cellIface->columnIndex();
    }
    QAccessibleInterface *childAt(int x, int y) const override
    {
        const QPoint p = view()->viewport()->mapFromGlobal(QPoint(x, y));
        if (!view()->viewport()->rect().contains(p))
            return nullptr;
        const int column = columnOfIndex(view()->columnAt(p));
        if (column < 0)
            return nullptr;
        if (view()->inHeader(p))
            return cell(-1, column);
        const int row = view()->rowAt(p);
        return row >= 0 ? cell(row, column) : nullptr;
    }

    QAccessibleInterface *caption() const override { return nullptr; }
    QAccessibleInterface *summary() const override { return nullptr; }
    QAccessibleInterface *cellAt(int row, int column) const override
    {
        if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
            return nullptr;
        return cell(row, column);
    }
    int selectedCellCount() const override { return selectedRowCount() * columnCount(); }
    QList<QAccessibleInterface *> selectedCells() const override
    {
        QList<QAccessibleInterface *> out;
        for (int r : selectedRows())
            for (int c = 0; c < columnCount(); ++c)
                out << cell(r, c);
        return out;
    }
    QString columnDescription(int column) const override
    {
        const auto cols = grid()->displayedColumns();
        return column >= 0 && column < int(cols.size()) ? cols[std::size_t(column)]->caption() : QString();
    }
    QString rowDescription(int) const override { return {}; }
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override { return grid() ? grid()->selectedCount() : 0; }
    int columnCount() const override { return grid() ? int(grid()->displayedColumns().size()) : 0; }
    int rowCount() const override { return grid() ? grid()->rowCount() : 0; }
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override
    {
        QList<int> out;
        if (grid())
            for (int p : grid()->selectedPositions())
                out << p - 1;
        return out;
    }
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int row) const override { return grid() && grid()->isSelected(row + 1); }
    bool selectRow(int row) override
    {
        if (!grid() || row < 0 || row >= rowCount())
            return false;
        std::vector<int> sel = grid()->selectedPositions();
        sel.push_back(row + 1);
        grid()->selectRows(sel);
        return true;
    }
    bool selectColumn(int) override { return false; }
    bool unselectRow(int row) override
    {
        if (!grid())
            return false;
        std::vector<int> sel = grid()->selectedPositions();
        sel.erase(std::remove(sel.begin(), sel.end(), row + 1), sel.end());
        grid()->selectRows(sel);
        return true;
    }
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent *) override {}

    QAccessibleInterface *cell(int row, int column) const
    {
        const quint64 key = (quint64(quint32(row + 1)) << 32) | quint32(column);
        if (const auto it = m_cells.constFind(key); it != m_cells.constEnd())
            return QAccessible::accessibleInterface(*it);
        auto *iface = new GridAccessibleCell(view(), grid(), row, column);
        const QAccessible::Id id = QAccessible::registerAccessibleInterface(iface);
        m_cells.insert(key, id);
        return iface;
    }

private:
    int columnOfIndex(int columnIndex) const
    {
        const auto cols = grid()->displayedColumns();
        for (std::size_t i = 0; i < cols.size(); ++i)
            if (cols[i]->index() == columnIndex)
                return int(i);
        return -1;
    }

    mutable QHash<quint64, QAccessible::Id> m_cells;
};

QList<QAccessibleInterface *> GridAccessibleCell::columnHeaderCells() const
{
    auto *table = static_cast<GridAccessibleTable *>(QAccessible::queryAccessibleInterface(m_view.data()));
    if (!table || m_row < 0)
        return {};
    return {table->cell(-1, m_column)};
}

QAccessibleInterface *factory(const QString &, QObject *object)
{
    if (auto *view = qobject_cast<GridTableView *>(object))
        return new GridAccessibleTable(view);
    return nullptr;
}

} // namespace

void installGridAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(factory);
        return true;
    }();
    (void)installed;
}

} // namespace velmora::grid
