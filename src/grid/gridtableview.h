#pragma once

#include <QAbstractScrollArea>
#include <QPointer>

#include <vector>

#include <QLineEdit>

namespace velmora {

class GridColumn;
class ReportGrid;

namespace grid {

// Table view of a ReportGrid: a header line and fixed-height rows painted straight from the
// grid's visible rows; only the rows on screen are touched.
class GridTableView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit GridTableView(ReportGrid *grid);
    ~GridTableView() override;

    struct ColumnSpan {
        GridColumn *column = nullptr;
        int x = 0;       // content coordinates (before horizontal scrolling)
        int width = 0;
    };
    std::vector<ColumnSpan> columnLayout() const;

    void rowsChanged();
    void columnsChanged();
    int firstRow() const;                  // 0-based
    void setFirstRow(int row);
    void ensureVisible(int row);
    int rowAt(QPoint viewportPos) const;   // 0-based, -1 when none
    int columnAt(QPoint viewportPos) const;  // column index, 0 when none
    bool inHeader(QPoint viewportPos) const;
    int headerHeight() const;
    int rowHeight() const;
    int visibleRowCapacity() const;
    QRect cellRect(int row, int displayedColumn) const;   // viewport coordinates
    bool editing() const { return m_editor != nullptr; }
    void startEdit(const QString &initialText = {}, bool replace = false);
    // False when the value was refused and `keepRefused` reopened the editor on it.
    bool commitEdit(bool keepRefused = false);
    void commitEditor(QLineEdit *editor);
    void cancelEdit();
    // The editor's own keys: Enter commits (and inserts the new-item row), Escape cancels (and
    // drops the new-item row), Tab moves along the new-item row.
    void editorReturn();
    void editorEscape();
    bool editorTab(bool next);
    // The new-item row under the last row; 0-based row number rowCount() of the grid.
    bool onNewRow() const { return m_onNewRow; }
    bool newRowAt(QPoint viewportPos) const;
    void enterNewRow();
    // Inserts what was typed into the new-item row and leaves it; false when the insert was
    // refused (the row stays current with its texts).
    bool leaveNewRow();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    bool viewportEvent(QEvent *event) override;

private:
    void updateScrollBars();
    int resizeHandleAt(QPoint viewportPos) const;   // column index whose right edge is there
    bool overGlyph(int row, QPoint viewportPos) const;
    void paintHeader(QPainter &p);
    void paintRows(QPainter &p);
    void moveCurrent(int row, Qt::KeyboardModifiers modifiers);
    void stepColumn(int delta);
    void paintNewRow(QPainter &p, int y);
    void startHeaderDrag(GridColumn *column);
    void startRowDrag();

    ReportGrid *m_grid;
    QPointer<QLineEdit> m_editor;
    int m_editPosition = 0;
    int m_editColumn = 0;
    bool m_editNew = false;       // the editor sits on the new-item row
    bool m_onNewRow = false;      // the new-item row is the current row
    bool m_inserting = false;     // an insert (and a refusal's message box) is under way
    // Mouse state.
    QPoint m_pressPos;
    int m_pressColumn = 0;        // header: column index pressed
    int m_resizeColumn = 0;       // header: column being resized
    int m_resizeStartWidth = 0;
    bool m_pressOnRow = false;
    bool m_dragged = false;
    int m_anchor = -1;            // 0-based anchor of shift selection
};

} // namespace grid
} // namespace velmora
