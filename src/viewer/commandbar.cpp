#include "viewer/commandbar.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <qdrawutil.h>

#include <array>
#include <utility>

namespace velmora {

namespace {
constexpr int kMargin = 2;    // around the row of panels
constexpr int kPadding = 4;   // between a panel's frame and its picture
constexpr int kSpacerWidth = 8;
} // namespace

CommandBar::CommandBar(QWidget *parent) : QWidget(parent)
{
    setMouseTracking(true);
    setAttribute(Qt::WA_Hover);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setAutoFillBackground(true);
}

CommandBar::~CommandBar() = default;

int CommandBar::panelCount() const
{
    return int(m_panels.size());
}

void CommandBar::addPanel(const QIcon &icon, const QString &tooltip, const QString &tag)
{
    m_panels.push_back(Panel{icon, tooltip, tag, Raised});
    updateGeometry();
    update();
}

QString CommandBar::tag(int index) const
{
    return index >= 1 && index <= panelCount() ? m_panels[std::size_t(index - 1)].tag : QString();
}

QString CommandBar::toolTip(int index) const
{
    return index >= 1 && index <= panelCount() ? m_panels[std::size_t(index - 1)].tooltip : QString();
}

QIcon CommandBar::icon(int index) const
{
    return index >= 1 && index <= panelCount() ? m_panels[std::size_t(index - 1)].icon : QIcon();
}

int CommandBar::appearance(int index) const
{
    return index >= 1 && index <= panelCount() ? m_panels[std::size_t(index - 1)].appearance : 0;
}

void CommandBar::setAppearance(int index, int appearance)
{
    if (index < 1 || index > panelCount())
        return;
    Panel &panel = m_panels[std::size_t(index - 1)];
    if (panel.appearance == appearance)
        return;
    panel.appearance = appearance;
    update(panelRect(index));
}

void CommandBar::setIconSize(int size)
{
    if (size <= 0 || size == m_iconSize)
        return;
    m_iconSize = size;
    updateGeometry();
    update();
}

bool CommandBar::isSpacer(int index) const
{
    const Panel &panel = m_panels[std::size_t(index - 1)];
    return panel.tag.isEmpty() && panel.icon.isNull();
}

int CommandBar::panelWidth(int index) const
{
    return isSpacer(index) ? kSpacerWidth : m_iconSize + 2 * kPadding;
}

QRect CommandBar::panelRect(int index) const
{
    if (index < 1 || index > panelCount())
        return {};
    int x = kMargin;
    for (int i = 1; i < index; ++i)
        x += panelWidth(i);
    return QRect(x, kMargin, panelWidth(index), m_iconSize + 2 * kPadding);
}

int CommandBar::panelAt(QPoint pos) const
{
    const int top = kMargin;
    const int bottom = kMargin + m_iconSize + 2 * kPadding;
    if (pos.y() < top || pos.y() >= bottom)
        return 0;
    int x = kMargin;
    for (int i = 1; i <= panelCount(); ++i) {
        const int w = panelWidth(i);
        if (pos.x() >= x && pos.x() < x + w)
            return i;
        x += w;
    }
    return 0;
}

QSize CommandBar::sizeHint() const
{
    int width = 2 * kMargin;
    for (int i = 1; i <= panelCount(); ++i)
        width += panelWidth(i);
    return {width, m_iconSize + 2 * kPadding + 2 * kMargin};
}

QSize CommandBar::minimumSizeHint() const
{
    return {0, sizeHint().height()};
}

void CommandBar::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QPalette &pal = palette();
    p.setPen(pal.color(QPalette::Mid));
    p.drawLine(0, height() - 1, width(), height() - 1);

    for (int i = 1; i <= panelCount(); ++i) {
        const QRect r = panelRect(i);
        if (isSpacer(i)) {
            // A spacer shows as an etched divider, like a toolbar separator.
            const int x = r.center().x();
            p.setPen(pal.color(QPalette::Mid));
            p.drawLine(x, r.top() + 3, x, r.bottom() - 3);
            p.setPen(pal.color(QPalette::Light));
            p.drawLine(x + 1, r.top() + 3, x + 1, r.bottom() - 3);
            continue;
        }
        const Panel &panel = m_panels[std::size_t(i - 1)];
        const bool on = panel.appearance == Pressed;
        const bool down = m_pressed == i && m_hover == i;
        if (on || down) {
            p.fillRect(r.adjusted(1, 1, -1, -1), pal.color(QPalette::Midlight).darker(on ? 112 : 104));
            qDrawShadePanel(&p, r, pal, true, 1);
        } else {
            if (m_hover == i && isEnabled())
                p.fillRect(r.adjusted(1, 1, -1, -1), pal.color(QPalette::Light));
            qDrawShadePanel(&p, r, pal, false, 1);
        }
        const QRect iconRect(r.left() + kPadding, r.top() + kPadding, m_iconSize, m_iconSize);
        // A pressed panel's picture sits one pixel lower right, as on a pushed button.
        panel.icon.paint(&p, (on || down) ? iconRect.translated(1, 1) : iconRect, Qt::AlignCenter,
                         isEnabled() ? QIcon::Normal : QIcon::Disabled, on ? QIcon::On : QIcon::Off);
    }
}

bool CommandBar::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const int index = panelAt(help->pos());
        const QString text = toolTip(index);
        if (text.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), text, this, panelRect(index));
        }
        return true;
    }
    return QWidget::event(event);
}

void CommandBar::setHover(int index)
{
    if (index == m_hover)
        return;
    const int old = std::exchange(m_hover, index);
    update(panelRect(old));
    update(panelRect(index));
}

void CommandBar::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_pressed = panelAt(event->position().toPoint());
    setHover(m_pressed);
    update(panelRect(m_pressed));
}

void CommandBar::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    const int pressed = std::exchange(m_pressed, 0);
    update(panelRect(pressed));
    // A click counts only when the button goes up over the panel it went down on.
    if (pressed != 0 && panelAt(event->position().toPoint()) == pressed)
        emit panelClicked(pressed);
}

void CommandBar::mouseMoveEvent(QMouseEvent *event)
{
    setHover(panelAt(event->position().toPoint()));
    QWidget::mouseMoveEvent(event);
}

void CommandBar::leaveEvent(QEvent *event)
{
    setHover(0);
    QWidget::leaveEvent(event);
}

BarCommand barCommand(QStringView key)
{
    // Looked up in this order; the first key equal to the given one (ignoring case) wins.
    static const std::array<std::pair<const char16_t *, BarCommand>, 21> table{{
        {u"Open", BarCommand::Open},
        {u"Save", BarCommand::Save},
        {u"SaveAs", BarCommand::SaveAs},
        {u"ExportEmail", BarCommand::ExportEmail},
        {u"ExportXLS", BarCommand::ExportXLS},
        {u"ExportHTML", BarCommand::ExportHTML},
        {u"ExportTXT", BarCommand::ExportTXT},
        {u"PrintPreview", BarCommand::PrintPreview},
        {u"Print", BarCommand::Print},
        {u"Fields", BarCommand::Fields},
        {u"Edit", BarCommand::None},
        {u"Group", BarCommand::Group},
        {u"Sort", BarCommand::Sort},
        {u"Views", BarCommand::Views},
        {u"FitCols", BarCommand::FitCols},
        {u"ShowGroupByBox", BarCommand::ShowGroupByBox},
        {u"Summary", BarCommand::Summary},
        {u"MoveFirst", BarCommand::MoveFirst},
        {u"MoveLast", BarCommand::MoveLast},
        {u"MovePrevious", BarCommand::MovePrevious},
        {u"MoveNext", BarCommand::MoveNext},
    }};
    for (const auto &[name, command] : table) {
        if (key.compare(QStringView(name), Qt::CaseInsensitive) == 0)
            return command;
    }
    return BarCommand::None;
}

} // namespace velmora

#include "moc_commandbar.cpp"
