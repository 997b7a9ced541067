#pragma once

#include <QAbstractScrollArea>

namespace velmora {

class ReportGrid;

namespace grid {

// Card view of a ReportGrid: each record a card of "caption: value" lines, cards of the grid's
// card width flowing across and then down. Only the cards on screen are painted.
class GridCardView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit GridCardView(ReportGrid *grid);

    void rowsChanged();
    void ensureVisible(int row);
    int cardAt(QPoint viewportPos) const;   // 0-based row, -1 when none
    QRect cardRect(int row) const;          // viewport coordinates
    int cardWidthPixels() const;
    int cardHeight() const;
    int cardsPerLine() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void updateScrollBars();
    int lineHeight() const;
    int headingHeight() const;

    ReportGrid *m_grid;
};

} // namespace grid
} // namespace velmora
