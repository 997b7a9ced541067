#pragma once

// Drives modal dialogs as a user would, from short written steps, so a test of a window is a
// table of what the user does and what the window shows.

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <memory>

namespace velmora::test {

// Runs `act` on the first modal dialog of type D to open, from inside its exec(); whatever the
// action leaves open is then rejected so that a failing check never hangs the test. Returns a
// flag the test checks afterwards: the dialog did open. The watch ends when the flag is dropped,
// so a dialog that never came cannot be answered by a watch left over from an earlier test.
template <typename D>
std::shared_ptr<bool> whenOpen(std::function<void(D *)> act)
{
    auto acted = std::make_shared<bool>(false);
    auto *timer = new QTimer;
    timer->setInterval(2);
    QObject::connect(timer, &QTimer::timeout, [timer, act, alive = std::weak_ptr<bool>(acted)] {
        const std::shared_ptr<bool> flag = alive.lock();
        auto *dlg = qobject_cast<D *>(QApplication::activeModalWidget());
        if (flag && (!dlg || !dlg->isVisible()))
            return;
        timer->stop();
        timer->deleteLater();
        if (!flag)
            return;
        *flag = true;
        QPointer<D> guard(dlg);
        act(dlg);
        if (guard && guard->isVisible())
            guard->reject();
    });
    timer->start();
    return acted;
}

template <typename T>
T *child(QWidget *dlg, const QString &name)
{
    T *w = dlg->findChild<T *>(name);
    if (!w)
        qWarning("no control named %s", qPrintable(name));
    return w;
}

// The entries of a list or drop-down, joined by ",".
inline QString itemTexts(QWidget *w)
{
    auto *list = qobject_cast<QListWidget *>(w);
    auto *combo = qobject_cast<QComboBox *>(w);
    const QAbstractItemModel *model = list ? list->model() : combo ? combo->model() : nullptr;
    QStringList out;
    for (int i = 0; model && i < model->rowCount(); ++i)
        out << model->index(i, 0).data().toString();
    return out.join(u',');
}

// What a user reads in a control: a list's entries, a drop-down's choice, a text or a caption.
inline QString shownText(QWidget *w)
{
    if (qobject_cast<QListWidget *>(w))
        return itemTexts(w);
    for (const char *name : {"currentText", "text", "title"})
        if (w->metaObject()->indexOfProperty(name) >= 0)
            return w->property(name).toString();
    return {};
}

// One user action on an open dialog, or one look at it, written as a short step:
//   "cmdOK"                click the control of that name ("close" closes the window)
//   "cboGroups(1)=city"    choose the drop-down entry with that text
//   "Yes"                  a button found by its text when no control has that name (message boxes)
//   "lstAvail=name"        click a list entry; "lstAvail+=name" adds it with Ctrl, "lstAvail*=name"
//                          double-clicks it
//   "lstAvail^Ctrl+A"      press a key in a control
//   "txtCardWidth:=250"    type into a line edit in place of its text
//   "?lstVisible=a,b"      the control shows this (list entries, current entry, text or caption)
//   "?title=Sort", "?text=..." (a message box's text)
//   "?on:optOrder(3)", "?off:...", "?enabled:cmdUp", "?disabled:...", "?visible:...", "?hidden:..."
//   "cmdFields>lstAvail=city;cmdAdd;cmdOK"  act, and play the steps after ">" on the dialog that opens
inline void steps(QWidget *dlg, const QStringList &list);
inline void step(QWidget *dlg, const QString &s)
{
    if (s == u"close") {
        dlg->close();
        return;
    }
    if (s.startsWith(u'?')) {
        const qsizetype colon = s.indexOf(u':'), eq = s.indexOf(u'=');
        if (eq < 0 && colon > 0) {
            const QString what = s.mid(1, colon - 1);
            QWidget *w = child<QWidget>(dlg, s.mid(colon + 1));
            QVERIFY2(w, qPrintable(s));
            auto *b = qobject_cast<QAbstractButton *>(w);
            const bool got = what == u"on" || what == u"off"        ? b && b->isChecked()
                             : what == u"visible" || what == u"hidden" ? w->isVisible()
                                                                       : w->isEnabled();
            QVERIFY2(got == (what == u"on" || what == u"enabled" || what == u"visible"), qPrintable(s));
            return;
        }
        QString name = s.mid(1, eq - 1);
        if (name == u"title" || name == u"text") {   // the window's title, a message box's text
            QCOMPARE(dlg->property(name == u"title" ? "windowTitle" : "text").toString(), s.mid(eq + 1));
            return;
        }
        const bool items = name.startsWith(QStringLiteral("items:"));
        QWidget *w = child<QWidget>(dlg, items ? name.mid(6) : name);
        QVERIFY2(w, qPrintable(s));
        QCOMPARE(items ? itemTexts(w) : shownText(w), s.mid(eq + 1));
        return;
    }
    const qsizetype eq = s.indexOf(u'=');
    if (const qsizetype open = s.indexOf(u'>'); open > 0 && (eq < 0 || open < eq)) {
        auto inner = whenOpen<QDialog>([list = s.mid(open + 1).split(u';')](QDialog *d) { steps(d, list); });
        step(dlg, s.left(open));
        QVERIFY2(*inner, qPrintable(s));
        return;
    }
    if (const qsizetype key = s.indexOf(u'^'); key > 0 && eq < 0) {
        QWidget *w = child<QWidget>(dlg, s.left(key));
        QVERIFY2(w, qPrintable(s));
        w->setFocus();
        const QKeyCombination k = QKeySequence::fromString(s.mid(key + 1))[0];
        QTest::keyClick(w, k.key(), k.keyboardModifiers());
        return;
    }
    if (const qsizetype assign = s.indexOf(QStringLiteral(":=")); assign > 0) {
        auto *edit = child<QLineEdit>(dlg, s.left(assign));
        QVERIFY2(edit, qPrintable(s));
        edit->selectAll();
        QTest::keyClicks(edit, s.mid(assign + 2));
        return;
    }
    if (eq < 0) {
        QWidget *w = dlg->findChild<QWidget *>(s);
        for (QAbstractButton *b : dlg->findChildren<QAbstractButton *>())
            if (!w && b->isVisible() && b->text().remove(u'&') == s)
                w = b;
        QVERIFY2(w, qPrintable(s));
        QTest::mouseClick(w, Qt::LeftButton);
        return;
    }
    QString name = s.left(eq);
    const QString value = s.mid(eq + 1);
    if (auto *combo = dlg->findChild<QComboBox *>(name)) {
        const int i = combo->findText(value);
        QVERIFY2(i >= 0, qPrintable(s));
        combo->setCurrentIndex(i);
        return;
    }
    const QChar how = name.back();
    if (how == u'+' || how == u'*')
        name.chop(1);
    auto *list = child<QListWidget>(dlg, name);
    QVERIFY2(list, qPrintable(s));
    const QList<QListWidgetItem *> found = list->findItems(value, Qt::MatchExactly);
    QVERIFY2(!found.isEmpty(), qPrintable(s));
    list->scrollToItem(found.first());
    const QPoint at = list->visualItemRect(found.first()).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, how == u'+' ? Qt::ControlModifier : Qt::NoModifier, at);
    if (how == u'*')
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

// Clicks the control of that name.
inline void click(QWidget *dlg, const char *name) { step(dlg, QString::fromLatin1(name)); }

// Runs the steps in order, stopping at the first that fails.
inline void steps(QWidget *dlg, const QStringList &list)
{
    for (const QString &s : list) {
        step(dlg, s);
        if (QTest::currentTestFailed())
            return;
    }
}

// Opens a dialog through `open`, plays the steps on it and checks that it did open.
template <typename D>
void play(const QStringList &list, const std::function<void()> &open)
{
    auto opened = whenOpen<D>([list](D *dlg) { steps(dlg, list); });
    open();
    QVERIFY(*opened);
}

// Answers the modal windows that open while it lives, one action each, in order; the last action
// also answers any further ones. Records each answered window: "box: <text>" for a message box,
// else its class name. The splash screen, modal while it shows progress, is left alone.
class ModalScript {
public:
    using Action = std::function<void(QWidget *)>;
    explicit ModalScript(QList<Action> actions) : m_actions(std::move(actions))
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            QWidget *w = QApplication::activeModalWidget();
            if (!w || !w->isVisible() || w->objectName() == u"frmSplash" || m_actions.isEmpty())
                return;
            auto *box = qobject_cast<QMessageBox *>(w);
            seen << (box ? QStringLiteral("box: ") + box->text() : QString::fromLatin1(w->metaObject()->className()));
            m_actions.at(std::min(m_used++, m_actions.size() - 1))(w);
        });
        m_timer.start(5);
    }
    QStringList seen;
    int pending() const { return int(std::max<qsizetype>(0, m_actions.size() - m_used)); }

private:
    QList<Action> m_actions;
    qsizetype m_used = 0;
    QTimer m_timer;
};

// Clicks a message box's button; any other window is rejected.
inline ModalScript::Action pressButton(QMessageBox::StandardButton which)
{
    return [which](QWidget *w) {
        auto *box = qobject_cast<QMessageBox *>(w);
        if (box && box->button(which))
            box->button(which)->click();
        else if (auto *dialog = qobject_cast<QDialog *>(w))
            dialog->reject();
    };
}

} // namespace velmora::test
