#pragma once

#include <QRect>
#include <QWidget>

#include <vector>

namespace velmora {

class ReportGrid;

namespace grid {

// MIME types of what is dragged between the column headers and the group-by box.
inline constexpr char ColumnMime[] = "application/x-velmora-grid-column";
inline constexpr char GroupMime[] = "application/x-velmora-grid-group";

// The strip above the table where the groups show as a staircase of captions: a column header
// dropped here becomes a group at that level, a group dragged away is removed, a click on a
// group raises the grid's groupHeaderClick.
class GroupByBox : public QWidget {
    Q_OBJECT
public:
    explicit GroupByBox(ReportGrid *grid);

    static QString hintText();
    void groupsChanged();
    int itemAt(QPoint pos) const;                  // 1-based group item, 0 when none
    QRect itemRect(int item) const;
    int dropLevel(QPoint pos) const;               // 1-based level a drop at pos inserts at
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    std::vector<QRect> layoutItems() const;

    ReportGrid *m_grid;
    QPoint m_pressPos;
    int m_pressItem = 0;
};

} // namespace grid
} // namespace velmora
