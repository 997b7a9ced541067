#include "dialogs/dialogsupport.h"

#include "platform/platform.h"

#include <QColorDialog>
#include <QComboBox>
#include <QFontDialog>
#include <QLabel>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalBlocker>

namespace velmora::dialogs {

void nameControlArrays(QWidget *root)
{
    static const QRegularExpression arrayName(QStringLiteral("^([A-Za-z][A-Za-z0-9]*)_([0-9]+)$"));
    const QList<QObject *> children = root->findChildren<QObject *>();
    for (QObject *o : children) {
        const QRegularExpressionMatch m = arrayName.match(o->objectName());
        if (m.hasMatch())
            o->setObjectName(m.captured(1) + QLatin1Char('(') + m.captured(2) + QLatin1Char(')'));
    }
}

void LevelControls::attach(QWidget *root)
{
    for (int i = 0; i < viewrules::LevelCount; ++i) {
        m_lists[std::size_t(i)] = control<QComboBox>(root, QStringLiteral("cboGroups(%1)").arg(i));
        for (int k = 0; k < 2; ++k)
            m_orders[std::size_t(2 * i + k)] =
                control<QRadioButton>(root, QStringLiteral("optOrder(%1)").arg(2 * i + k));
    }
}

void LevelControls::fill(const std::vector<std::pair<QString, int>> &entries)
{
    for (QComboBox *list : m_lists) {
        const QSignalBlocker block(list);
        list->clear();
        list->addItem(QStringLiteral("(None)"), 0);
        for (const auto &[text, tag] : entries)
            list->addItem(text, tag);
    }
}

void LevelControls::load(const std::vector<viewrules::ViewKey> &keys)
{
    // A key on a column the lists do not hold ends the run, as it cannot be shown.
    std::vector<viewrules::ViewKey> shown;
    for (const viewrules::ViewKey &k : keys)
        shown.push_back({m_lists[0]->findData(k.column) > 0 ? k.column : 0, k.order});
    show(viewrules::levelsFromKeys(shown));
}

viewrules::Levels LevelControls::read() const
{
    viewrules::Levels levels{};
    for (int i = 0; i < viewrules::LevelCount; ++i) {
        viewrules::LevelState &l = levels[std::size_t(i)];
        const QComboBox *list = m_lists[std::size_t(i)];
        l.column = list->currentIndex() > 0 ? list->currentData().toInt() : 0;
        l.ascending = !descending(i)->isChecked();
        l.listEnabled = list->isEnabled();
        l.ordersEnabled = ascending(i)->isEnabled();
    }
    return levels;
}

void LevelControls::show(const viewrules::Levels &levels)
{
    for (int i = 0; i < viewrules::LevelCount; ++i) {
        const viewrules::LevelState &l = levels[std::size_t(i)];
        QComboBox *list = m_lists[std::size_t(i)];
        const QSignalBlocker block(list);
        // The same column can sit in several levels; a level keeps its own entry when it
        // already shows that column.
        if (list->currentIndex() < 0 || list->currentData().toInt() != l.column)
            list->setCurrentIndex(std::max(0, list->findData(l.column)));
        list->setEnabled(l.listEnabled);
        (l.ascending ? ascending(i) : descending(i))->setChecked(true);
        ascending(i)->setEnabled(l.ordersEnabled);
        descending(i)->setEnabled(l.ordersEnabled);
    }
}

void LevelControls::levelChanged(int level)
{
    viewrules::Levels levels = read();
    viewrules::applyLevelRule(levels, level);
    show(levels);
}

void LevelControls::clearAll()
{
    if (m_lists[0]->currentIndex() != 0)
        m_lists[0]->setCurrentIndex(0);   // runs the level rule through currentIndexChanged
    else
        levelChanged(0);
}

BusyCursor::BusyCursor()
{
    platform::setBusy(true);
}

BusyCursor::~BusyCursor()
{
    platform::setBusy(false);
}

bool chooseFont(QWidget *parent, QFont &font, QColor &colour)
{
    QFontDialog fonts(parent);
    fonts.setObjectName(QStringLiteral("cdlFont"));
    fonts.setOption(QFontDialog::DontUseNativeDialog);
    fonts.setCurrentFont(font);
    if (fonts.exec() != QDialog::Accepted)
        return false;
    const QFont chosen = fonts.selectedFont();
    font.setBold(chosen.bold());
    font.setItalic(chosen.italic());
    font.setFamily(chosen.family());
    if (chosen.pointSizeF() > 0)
        font.setPointSizeF(chosen.pointSizeF());
    font.setStrikeOut(chosen.strikeOut());
    font.setUnderline(chosen.underline());

    QColorDialog colours(parent);
    colours.setObjectName(QStringLiteral("cdlColor"));
    colours.setOption(QColorDialog::DontUseNativeDialog);
    colours.setCurrentColor(colour);
    if (colours.exec() == QDialog::Accepted && colours.selectedColor().isValid())
        colour = colours.selectedColor();
    return true;
}

void showCurrentFont(QLabel *label, const QFont &font, const QColor &colour)
{
    QFont shown = label->font();
    shown.setBold(font.bold());
    shown.setItalic(font.italic());
    shown.setFamily(font.family());
    shown.setStrikeOut(font.strikeOut());
    shown.setUnderline(font.underline());
    label->setFont(shown);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    double size = font.pointSizeF();
    if (size <= 0 && font.pixelSize() > 0)
        size = font.pixelSize() * 72.0 / label->logicalDpiY();
    label->setText(viewrules::fontCaption(size, font.family()));
}

QWidget *ownerFor(QWidget *parent, QWidget *grid)
{
    if (parent)
        return parent;
    QWidget *w = grid ? grid->window() : nullptr;
    return w && w->isVisible() ? w : nullptr;
}

} // namespace velmora::dialogs
