#include "dialogtesting.h"

#include "dialogs/frmShowfields.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

using namespace velmora;
using namespace velmora::test;

namespace {

QListWidget *avail(QWidget *dlg)
{
    return child<QListWidget>(dlg, QStringLiteral("lstAvail"));
}

QListWidget *shown(QWidget *dlg)
{
    return child<QListWidget>(dlg, QStringLiteral("lstVisible"));
}

bool enabled(QWidget *dlg, const char *name)
{
    return child<QWidget>(dlg, QString::fromLatin1(name))->isEnabled();
}

// Captions of the visible columns in display order.
QStringList shownColumns(const ReportGrid &grid)
{
    QStringList out;
    for (int p = 1; p <= grid.columnCount(); ++p) {
        const GridColumn *c = grid.columnAtPosition(p);
        if (c->visible())
            out << c->caption();
    }
    return out;
}

} // namespace

class tst_Showfields : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void controlsAndCaptions();
    void listsFilledByDisplayPosition();
    void withheldShownColumnIsListed();
    void addInsertsByTag_data();
    void addInsertsByTag();
    void addByDoubleClick();
    void addTwiceUsesTheNewTag();
    void removeSeveralInReverseOrder();
    void removeByDoubleClick();
    void moveUpAndDown();
    void topUpAndBottomDownDoNothing();
    void okWithNothingShown();
    void recupdateStaysHidden();
    void cancelLeavesGridUntouched_data();
    void cancelLeavesGridUntouched();

private:
    std::unique_ptr<ReportGrid> grid;
};

void tst_Showfields::init()
{
    // Five shown fields (account, city, state, zip, phone); name, bbbalance and email hidden;
    // recupdate and ss1 hidden and withheld; the totals column hidden.
    grid = customerGrid();
    for (int c : {Name, Balance, Email})
        grid->column(c)->setVisible(false);
}

void tst_Showfields::cleanup()
{
    grid.reset();
    QVERIFY(!QApplication::activeModalWidget());
}

void tst_Showfields::controlsAndCaptions()
{
    auto opened = whenOpen<frmShowfields>([](frmShowfields *dlg) {
        QCOMPARE(dlg->windowTitle(), QStringLiteral("Show Fields"));
        QCOMPARE(child<QLabel>(dlg, QStringLiteral("lblcaption(0)"))->text(), QStringLiteral("Available fields:"));
        QCOMPARE(child<QLabel>(dlg, QStringLiteral("lblcaption(1)"))->text(),
                 QStringLiteral("Show these fields in this order:"));
        QCOMPARE(child<QPushButton>(dlg, QStringLiteral("cmdAdd"))->text(), QStringLiteral("Add ->"));
        QCOMPARE(child<QPushButton>(dlg, QStringLiteral("cmdRemove"))->text(), QStringLiteral("<- Remove"));
        QCOMPARE(child<QPushButton>(dlg, QStringLiteral("cmdUp"))->text(), QStringLiteral("Move Up"));
        QCOMPARE(child<QPushButton>(dlg, QStringLiteral("cmdDown"))->text(), QStringLiteral("Move Down"));
        QCOMPARE(avail(dlg)->selectionMode(), QAbstractItemView::ExtendedSelection);
        QCOMPARE(shown(dlg)->selectionMode(), QAbstractItemView::ExtendedSelection);
        click(dlg, "cmdCancel");
    });
    QVERIFY(!frmShowfields::ShowFields(*grid));
    QVERIFY(*opened);
}

void tst_Showfields::listsFilledByDisplayPosition()
{
    grid->column(Phone)->setPosition(1);   // phone shown first
    auto opened = whenOpen<frmShowfields>([](frmShowfields *dlg) {
        QCOMPARE(texts(shown(dlg)), (QStringList{"phone", "account", "city", "state", "zip"}));
        QCOMPARE(texts(avail(dlg)), (QStringList{"name", "bbbalance", "email"}));
        QCOMPARE(shown(dlg)->item(0)->data(Qt::UserRole).toInt(), int(Phone));
        QCOMPARE(avail(dlg)->item(2)->data(Qt::UserRole).toInt(), int(Email));
        QCOMPARE(avail(dlg)->currentRow(), 0);
        QCOMPARE(shown(dlg)->currentRow(), 0);
        QVERIFY(enabled(dlg, "cmdAdd"));
        QVERIFY(enabled(dlg, "cmdRemove"));
        QVERIFY(!enabled(dlg, "cmdUp"));
        QVERIFY(enabled(dlg, "cmdDown"));
        click(dlg, "cmdCancel");
    });
    frmShowfields::ShowFields(*grid);
    QVERIFY(*opened);
}

void tst_Showfields::withheldShownColumnIsListed()
{
    grid->column(Ss1)->setVisible(true);
    auto opened = whenOpen<frmShowfields>([](frmShowfields *dlg) {
        QVERIFY(texts(shown(dlg)).contains(QStringLiteral("ss1")));
        QVERIFY(!texts(avail(dlg)).contains(QStringLiteral("recupdate")));
        QVERIFY(!texts(avail(dlg)).contains(QStringLiteral("Drag Columns Here to Group")));
        QVERIFY(!texts(shown(dlg)).contains(QStringLiteral("Drag Columns Here to Group")));
        click(dlg, "cmdCancel");
    });
    frmShowfields::ShowFields(*grid);
    QVERIFY(*opened);
}

void tst_Showfields::addInsertsByTag_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QStringList>("shownAfter");
    QTest::addColumn<int>("newTag");

    QTest::newRow("column 2 into five shown fields goes second")
        << "name" << QStringList{"account", "name", "city", "state", "zip", "phone"} << 2;
    QTest::newRow("column 7 beyond the shown count appends")
        << "bbbalance" << QStringList{"account", "city", "state", "zip", "phone", "bbbalance"} << 6;
    QTest::newRow("column 8 beyond the shown count appends")
        << "email" << QStringList{"account", "city", "state", "zip", "phone", "email"} << 6;
}

void tst_Showfields::addInsertsByTag()
{
    QFETCH(QString, field);
    QFETCH(QStringList, shownAfter);
    QFETCH(int, newTag);
    auto opened = whenOpen<frmShowfields>([=](frmShowfields *dlg) {
        QVERIFY(clickEntry(avail(dlg), field));
        click(dlg, "cmdAdd");
        QCOMPARE(texts(shown(dlg)), shownAfter);
        QCOMPARE(shown(dlg)->currentItem()->text(), field);
        QCOMPARE(shown(dlg)->currentItem()->data(Qt::UserRole).toInt(), newTag);
        QVERIFY(!texts(avail(dlg)).contains(field));
        QCOMPARE(avail(dlg)->count(), 2);
        QVERIFY(avail(dlg)->currentRow() >= 0);
        click(dlg, "cmdOK");
    });
    QVERIFY(frmShowfields::ShowFields(*grid));
    QVERIFY(*opened);
    QCOMPARE(shownColumns(*grid), shownAfter);
}

void tst_Showfields::addByDoubleClick()
{
    auto opened = whenOpen<frmShowfields>([](frmShowfields *dlg) {
        QVERIFY(doubleClickEntry(avail(dlg), QStringLiteral("name")));
        QCOMPARE(texts(shown(dlg)), (QStringList{"account", "name", "city", "state", "zip", "phone"}));
        QCOMPARE(texts(avail(dlg)), (QStringList{"bbbalance", "email"}));
        click(dlg, "cmdOK");
    });
    QVERIFY(frmShowfields::ShowFields(*grid));
    QVERIFY(*opened);
    QVERIFY(grid->column(Name)->visible());
    QCOMPARE(grid->column(Name)->position(), 2);
}

void tst_Showfields::addTwiceUsesTheNewTag()
{
    // email (column 8) is appended sixth and takes tag 6; removed and added again among six
    // shown fields it goes to sixth place, before the field that is now last.
    auto opened = whenOpen<frmShowfields>([](frmShowfields *dlg) {
        QVERIFY(clickEntry(avail(dlg), QStringLiteral("email")));
        click(dlg, "cmdAdd");
        QCOMPARE(texts(shown(dlg)), (QStringList{"account", "city", "state", "zip", "phone", "email"}));
        QVERIFY(clickEntry(avail(dlg), QStringLiteral("name")));
        click(dlg, "cmdAdd");
        QCOMPARE(texts(shown(dlg)), (QStringList{"account", "name", "city", "state", "zip", "phone", "email"}));
        QVERIFY(clickEntry(shown(dlg), QStringLiteral("email")));
        click(dlg, "cmdRemove");
        QCOMPARE(texts(avail(dlg)), (QStringList{"bbbalance", "email"}));
        QCOMPARE(avail(dlg)->currentItem()->data(Qt::UserRole).toInt(), 6);
        click(dlg, "cmdAdd");
        QCOMPARE(texts(shown(dlg)), (QStringList{"account", "name", "city", "state", "zip", "email", "phone"}));
        click(dlg, "cmdOK");
    });
    QVERIFY(frmShowfields::ShowFields(*grid));
    QVERIFY(*opened);
    QCOMPARE(shownColumns(*grid), (QStringList{"account", "name", "city", "state", "zip", "email", "phone"}));
}

void tst_Showfields::removeSeveralInReverseOrder()
{
    auto opened = whenOpen<frmShowfields>([](frmShowfields *dlg) {
        QVERIFY(clickEntry(shown(dlg), QStringLiteral("city")));
        QVERIFY(clickEntry(shown(dlg), QStringLiteral("state"), Qt::ControlModifier));
        QVERIFY(clickEntry(shown(dlg), QStringLiteral("phone"), Qt::ControlModifier));
        QCOMPARE(shown(dlg)->selectedItems().size(), 3);
        click(dlg, "cmdRemove");
        QCOMPARE(texts(shown(dlg)), (QStringList{"account", "zip"}));
        QCOMPARE(texts(avail(dlg)), (QStringList{"name", "bbbalance", "email", "phone", "state", "city"}));
        QCOMPARE(avail(dlg)->currentItem()->text(), QStringLiteral("city"));
        QVERIFY(shown(dlg)->currentRow() >= 0);
        // Moved entries keep their tags: city goes back to third place.
        QCOMPARE(avail(dlg)->currentItem()->data(Qt::UserRole).toInt(), int(City));
        click(dlg, "cmdOK");
    });
    QVERIFY(frmShowfields::ShowFields(*grid));
    QVERIFY(*opened);
    QCOMPARE(shownColumns(*grid), (QStringList{"account", "zip"}));
    QVERIFY(!grid->column(City)->visible());
}

void tst_Showfields::removeByDoubleClick()
{
    auto opened = whenOpen<frmShowfields>([](frmShowfields *dlg) {
        QVERIFY(doubleClickEntry(shown(dlg), QStringLiteral("state")));
        QCOMPARE(texts(shown(dlg)), (QStringList{"account", "city", "zip", "phone"}));
        QCOMPARE(texts(avail(dlg)).last(), QStringLiteral("state"));
        click(dlg, "cmdOK");
    });
    QVERIFY(frmShowfields::ShowFields(*grid));
    QVERIFY(*opened);
    QVERIFY(!grid->column(State)->visible());
}

void tst_Showfields::moveUpAndDown()
{
    auto opened = whenOpen<frmShowfields>([](frmShowfields *dlg) {
        QVERIFY(clickEntry(shown(dlg), QStringLiteral("zip")));
        click(dlg, "cmdUp");
        click(dlg, "cmdUp");
        QCOMPARE(texts(shown(dlg)), (QStringList{"account", "zip", "city", "state", "phone"}));
        QCOMPARE(shown(dlg)->currentItem()->text(), QStringLiteral("zip"));
        QVERIFY(clickEntry(shown(dlg), QStringLiteral("account")));
        click(dlg, "cmdDown");
        QCOMPARE(texts(shown(dlg)), (QStringList{"zip", "account", "city", "state", "phone"}));
        QVERIFY(enabled(dlg, "cmdUp"));
        click(dlg, "cmdOK");
    });
    QVERIFY(frmShowfields::ShowFields(*grid));
    QVERIFY(*opened);
    QCOMPARE(shownColumns(*grid), (QStringList{"zip", "account", "city", "state", "phone"}));
    QCOMPARE(grid->column(Zip)->position(), 1);
}

void tst_Showfields::topUpAndBottomDownDoNothing()
{
    auto opened = whenOpen<frmShowfields>([](frmShowfields *dlg) {
        const QStringList before = texts(shown(dlg));
        QVERIFY(clickEntry(shown(dlg), QStringLiteral("account")));
        QVERIFY(!enabled(dlg, "cmdUp"));
        QVERIFY(enabled(dlg, "cmdDown"));
        click(dlg, "cmdUp");
        QCOMPARE(texts(shown(dlg)), before);
        QCOMPARE(shown(dlg)->currentRow(), 0);
        QVERIFY(clickEntry(shown(dlg), QStringLiteral("phone")));
        QVERIFY(enabled(dlg, "cmdUp"));
        QVERIFY(!enabled(dlg, "cmdDown"));
        click(dlg, "cmdDown");
        QCOMPARE(texts(shown(dlg)), before);
        QCOMPARE(shown(dlg)->currentRow(), 4);
        click(dlg, "cmdOK");
    });
    QVERIFY(frmShowfields::ShowFields(*grid));
    QVERIFY(*opened);
    QCOMPARE(shownColumns(*grid), (QStringList{"account", "city", "state", "zip", "phone"}));
}

void tst_Showfields::okWithNothingShown()
{
    GridColumn *totals = grid->column(Totals);
    const int totalsPosition = totals->position();
    auto opened = whenOpen<frmShowfields>([](frmShowfields *dlg) {
        shown(dlg)->setFocus();
        QTest::keyClick(shown(dlg), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(shown(dlg)->selectedItems().size(), 5);
        click(dlg, "cmdRemove");
        QCOMPARE(shown(dlg)->count(), 0);
        QVERIFY(!enabled(dlg, "cmdRemove"));
        QVERIFY(!enabled(dlg, "cmdUp"));
        QVERIFY(!enabled(dlg, "cmdDown"));
        QCOMPARE(avail(dlg)->count(), 8);
        click(dlg, "cmdOK");
    });
    QVERIFY(frmShowfields::ShowFields(*grid));
    QVERIFY(*opened);
    QVERIFY(shownColumns(*grid).isEmpty());
    QVERIFY(!totals->visible());
    QCOMPARE(totals->totalsMarker(), 1);
    QCOMPARE(totals->position(), totalsPosition);
}

void tst_Showfields::recupdateStaysHidden()
{
    auto opened = whenOpen<frmShowfields>([](frmShowfields *dlg) {
        QVERIFY(!texts(avail(dlg)).contains(QStringLiteral("recupdate"), Qt::CaseInsensitive));
        QVERIFY(!texts(avail(dlg)).contains(QStringLiteral("ss1"), Qt::CaseInsensitive));
        avail(dlg)->setFocus();
        QTest::keyClick(avail(dlg), Qt::Key_A, Qt::ControlModifier);
        click(dlg, "cmdAdd");
        QCOMPARE(avail(dlg)->count(), 0);
        QVERIFY(!enabled(dlg, "cmdAdd"));
        click(dlg, "cmdOK");
    });
    QVERIFY(frmShowfields::ShowFields(*grid));
    QVERIFY(*opened);
    QVERIFY(!grid->column(RecUpdate)->visible());
    QVERIFY(!grid->column(Ss1)->visible());
    QVERIFY(grid->column(Name)->visible());
    QVERIFY(grid->column(Email)->visible());
}

void tst_Showfields::cancelLeavesGridUntouched_data()
{
    QTest::addColumn<bool>("closeWindow");
    QTest::newRow("Cancel") << false;
    QTest::newRow("closing the window") << true;
}

void tst_Showfields::cancelLeavesGridUntouched()
{
    QFETCH(bool, closeWindow);
    const QStringList before = shownColumns(*grid);
    auto opened = whenOpen<frmShowfields>([closeWindow](frmShowfields *dlg) {
        QVERIFY(clickEntry(avail(dlg), QStringLiteral("name")));
        click(dlg, "cmdAdd");
        QVERIFY(clickEntry(shown(dlg), QStringLiteral("zip")));
        click(dlg, "cmdRemove");
        if (closeWindow)
            dlg->close();
        else
            click(dlg, "cmdCancel");
    });
    QVERIFY(!frmShowfields::ShowFields(*grid));
    QVERIFY(*opened);
    QCOMPARE(shownColumns(*grid), before);
}

QTEST_MAIN(tst_Showfields)
#include "tst_showfields.moc"
