#pragma once

// Fixtures for driving the view dialogs: a grid over a small customer table with the hidden
// totals column, and a way to act on a modal dialog while its exec() runs.

#include "data/recordtable.h"
#include "grid/reportgrid.h"

#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace velmora::test {

// Columns of the customer table, 1-based as the grid numbers them; the totals column follows.
enum CustomerColumn {
    Account = 1,
    Name,
    City,
    State,
    Zip,
    Phone,
    Balance,
    Email,
    RecUpdate,
    Ss1,
    Totals
};

inline std::shared_ptr<RecordTable> customerTable()
{
    RecordTable::Builder b;
    auto text = [&](const char *name) {
        ColumnInfo c;
        c.name = QString::fromLatin1(name);
        c.relation = QStringLiteral("CUSTOMERS");
        c.sourceField = c.name;
        c.type = ColumnType::Text;
        c.typeCode = TypeCode::WideText;
        c.definedSize = 40;
        return b.addColumn(c);
    };
    const int account = text("account");
    const int name = text("name");
    const int city = text("city");
    const int state = text("state");
    const int zip = text("zip");
    const int phone = text("phone");
    ColumnInfo money;
    money.name = QStringLiteral("bbbalance");
    money.type = ColumnType::Integer;
    money.typeCode = TypeCode::Numeric;
    money.scale = 2;
    money.definedSize = 8;
    const int balance = b.addColumn(money);
    const int email = text("email");
    ColumnInfo stamp;
    stamp.name = QStringLiteral("recupdate");
    stamp.type = ColumnType::Timestamp;
    stamp.typeCode = TypeCode::DbTimeStamp;
    stamp.definedSize = 8;
    const int recupdate = b.addColumn(stamp);
    const int ss1 = text("ss1");

    struct Row {
        const char *account, *name, *city, *state, *zip, *phone;
        qint64 cents;
    };
    const Row rows[] = {
        {"A100", "Miller", "Springfield", "IL", "62701", "555-0100", 12050},
        {"A101", "Zoller", "Shelbyville", "IL", "62565", "555-0101", 0},
        {"A102", "Baker", "Springfield", "IL", "62702", "555-0102", 9999},
        {"A103", "Oakes", "Capital City", "IL", "62703", "555-0103", 150000},
        {"A104", "Adams", "Shelbyville", "IL", "62565", "555-0104", 500},
        {"A105", "Keller", "Springfield", "IL", "62704", "555-0105", 77},
    };
    for (const Row &r : rows) {
        b.appendText(account, QString::fromLatin1(r.account));
        b.appendText(name, QString::fromLatin1(r.name));
        b.appendText(city, QString::fromLatin1(r.city));
        b.appendText(state, QString::fromLatin1(r.state));
        b.appendText(zip, QString::fromLatin1(r.zip));
        b.appendText(phone, QString::fromLatin1(r.phone));
        b.appendInteger(balance, r.cents);
        b.appendText(email, QString::fromLatin1(r.name).toLower() + QStringLiteral("@example.com"));
        b.appendTimestamp(recupdate, TimeValue::fromParts(2460000, 3'600'000));
        b.appendText(ss1, QStringLiteral("000-00-0000"));
    }
    return std::make_shared<RecordTable>(b.finish());
}

// A grid over the customer table with the hidden totals column, as the viewer's load step
// leaves it: "recupdate" and "ss1" hidden, no groups yet.
inline std::unique_ptr<ReportGrid> customerGrid()
{
    auto grid = std::make_unique<ReportGrid>();
    grid->setTable(customerTable());
    grid->column(RecUpdate)->setVisible(false);
    grid->column(Ss1)->setVisible(false);
    GridColumn *totals = grid->addColumn(QStringLiteral("totals"));
    totals->setCaption(QStringLiteral("Drag Columns Here to Group"));
    totals->setVisible(false);
    totals->setTotalsMarker(1);
    return grid;
}

// Runs `act` on the first modal dialog of type D to open, from inside its exec(); whatever the
// action leaves open is then rejected so that a failing check never hangs the test. Returns a
// flag the test checks afterwards: the dialog did open.
template <typename D>
std::shared_ptr<bool> whenOpen(std::function<void(D *)> act)
{
    auto acted = std::make_shared<bool>(false);
    auto *timer = new QTimer;
    timer->setInterval(2);
    auto polls = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, act, acted, polls] {
        auto *dlg = qobject_cast<D *>(QApplication::activeModalWidget());
        if (!dlg || !dlg->isVisible()) {
            if (++*polls > 5000) {   // the dialog never came: stop polling, the test fails on the flag
                timer->stop();
                timer->deleteLater();
            }
            return;
        }
        timer->stop();
        timer->deleteLater();
        *acted = true;
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

inline void click(QWidget *dlg, const char *name)
{
    QWidget *button = child<QWidget>(dlg, QString::fromLatin1(name));
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton);
}

// Picks an entry of a drop-down by its text, as a user choosing from the list.
inline bool choose(QComboBox *combo, const QString &text)
{
    const int i = combo ? combo->findText(text) : -1;
    if (i < 0)
        return false;
    combo->setCurrentIndex(i);
    return true;
}

inline QStringList texts(const QListWidget *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

inline QStringList texts(const QComboBox *combo)
{
    QStringList out;
    for (int i = 0; i < combo->count(); ++i)
        out << combo->itemText(i);
    return out;
}

// Clicks a list entry by its text; with Ctrl it joins the selection.
inline bool clickEntry(QListWidget *list, const QString &text, Qt::KeyboardModifiers mods = {})
{
    const QList<QListWidgetItem *> found = list->findItems(text, Qt::MatchExactly);
    if (found.isEmpty())
        return false;
    list->scrollToItem(found.first());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, mods, list->visualItemRect(found.first()).center());
    return true;
}

inline bool doubleClickEntry(QListWidget *list, const QString &text)
{
    const QList<QListWidgetItem *> found = list->findItems(text, Qt::MatchExactly);
    if (found.isEmpty())
        return false;
    const QPoint at = list->visualItemRect(found.first()).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    return true;
}

} // namespace velmora::test
