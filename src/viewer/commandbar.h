#pragma once

#include <QIcon>
#include <QString>
#include <QStringView>
#include <QWidget>

#include <vector>

namespace velmora {

// A row of clickable picture panels, each with a tooltip and a tag naming the command it runs.
// A panel shows one of two appearances: 5 raised (off) or 10 pressed (on). Panels without a tag
// are spacers: narrow, no picture, clicking them still reports the index (the tag is empty).
class CommandBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int Raised = 5;
    static constexpr int Pressed = 10;

    explicit CommandBar(QWidget *parent = nullptr);
    ~CommandBar() override;

    // Panels are numbered from 1.
    int panelCount() const;
    void addPanel(const QIcon &icon, const QString &tooltip, const QString &tag);
    QString tag(int index) const;
    QString toolTip(int index) const;
    QIcon icon(int index) const;
    int appearance(int index) const;
    void setAppearance(int index, int appearance);

    // Logical size of the panel pictures (default 24).
    int iconSize() const { return m_iconSize; }
    void setIconSize(int size);

    // Where panel `index` is drawn, in the bar's coordinates; an empty rect for a bad index.
    QRect panelRect(int index) const;
    // The panel under `pos`, 0 when none.
    int panelAt(QPoint pos) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void panelClicked(int index);

protected:
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    struct Panel {
        QIcon icon;
        QString tooltip;
        QString tag;
        int appearance = Raised;
    };
    bool isSpacer(int index) const;
    int panelWidth(int index) const;
    void setHover(int index);

    std::vector<Panel> m_panels;
    int m_iconSize = 24;
    int m_hover = 0;
    int m_pressed = 0;
};

// The commands a command key names. Keys are compared ignoring letter case; "Edit" and every key
// that is not listed name no command.
enum class BarCommand {
    None,
    Open,
    Save,
    SaveAs,
    ExportEmail,
    ExportXLS,
    ExportHTML,
    ExportTXT,
    PrintPreview,
    Print,
    Fields,
    Group,
    Sort,
    Views,
    FitCols,
    ShowGroupByBox,
    Summary,
    MoveFirst,
    MoveLast,
    MovePrevious,
    MoveNext,
};

BarCommand barCommand(QStringView key);

} // namespace velmora
