#pragma once

// Pieces the view dialogs share: control-array names, the group/sort level widgets and the
// lifetime of a modal dialog run from a static operation.

#include "core/viewrules.h"

#include <QPointer>

#include <array>

class QColor;
class QComboBox;
class QDialog;
class QFont;
class QLabel;
class QGroupBox;
class QRadioButton;
class QWidget;

namespace velmora::dialogs {

// Designer forms cannot name a widget "cboGroups(0)"; they name it "cboGroups_0" and this turns
// every such name under `root` into the control-array form "cboGroups(0)".
void nameControlArrays(QWidget *root);

// Finds a child by its (control-array) name; asserts in debug builds when it is missing.
template <typename T>
T *control(QWidget *root, const QString &name);

// Role of an entry's whole-number tag (a combo entry's item data, a list entry's tag).
constexpr int TagRole = 0x0100;   // Qt::UserRole

// The four levels of the group-by and sort dialogs: one drop-down and two order buttons each.
// The dialog runs levelChanged(i) whenever the selection of level i changes, whether the user or
// the code selected the entry, which keeps the levels consistent through the level rule.
class LevelControls {
public:
    void attach(QWidget *root);
    QComboBox *list(int level) const { return m_lists[std::size_t(level)]; }
    QRadioButton *ascending(int level) const { return m_orders[std::size_t(2 * level)]; }
    QRadioButton *descending(int level) const { return m_orders[std::size_t(2 * level + 1)]; }

    // "(None)" (tag 0), then the entries given, into all four lists.
    void fill(const std::vector<std::pair<QString, int>> &entries);
    void load(const std::vector<viewrules::ViewKey> &keys);
    viewrules::Levels read() const;
    void show(const viewrules::Levels &levels);
    void levelChanged(int level);   // cboGroups_Click
    void clearAll();                // "(None)" in level 0

private:
    std::array<QComboBox *, viewrules::LevelCount> m_lists{};
    std::array<QRadioButton *, 2 * viewrules::LevelCount> m_orders{};
};

// Hourglass for the lifetime of the object.
class BusyCursor {
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

// Owns a dialog created by a static operation and deletes it on every way out, unless its
// parent took it down first.
template <typename D>
class DialogOwner {
public:
    explicit DialogOwner(D *dialog) : m_dialog(dialog) {}
    ~DialogOwner() { delete m_dialog.data(); }
    DialogOwner(const DialogOwner &) = delete;
    DialogOwner &operator=(const DialogOwner &) = delete;
    D *operator->() const { return m_dialog.data(); }
    D *get() const { return m_dialog.data(); }
    explicit operator bool() const { return !m_dialog.isNull(); }

private:
    QPointer<D> m_dialog;
};

// The font choice of the format dialogs: the font dialog ("cdlFont") loaded from `font`, then,
// when it was accepted, the colour dialog ("cdlColor") for the text colour. Cancel in the font
// dialog changes nothing and returns false; Cancel in the colour dialog keeps the colour and the
// chosen font. Only bold, italic, family, size, strikeout and underline are taken over.
bool chooseFont(QWidget *parent, QFont &font, QColor &colour);

// A "Current font" label: the font's family and styles (not its size) in the text colour, with
// the caption "8 pt. Tahoma".
void showCurrentFont(QLabel *label, const QFont &font, const QColor &colour);

// The window a dialog opened for `grid` belongs to when the caller names none.
QWidget *ownerFor(QWidget *parent, QWidget *grid);

} // namespace velmora::dialogs

#include <QWidget>

template <typename T>
T *velmora::dialogs::control(QWidget *root, const QString &name)
{
    T *w = root->findChild<T *>(name);
    Q_ASSERT_X(w, "velmora::dialogs::control", qPrintable(name));
    return w;
}
