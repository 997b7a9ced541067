#include "dialogtesting.h"

#include "dialogs/frmGroupBy.h"
#include "dialogs/frmSort.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

using namespace velmora;
using namespace velmora::test;

namespace {

QComboBox *level(QWidget *dlg, int i)
{
    return child<QComboBox>(dlg, QStringLiteral("cboGroups(%1)").arg(i));
}

QRadioButton *order(QWidget *dlg, int i)
{
    return child<QRadioButton>(dlg, QStringLiteral("optOrder(%1)").arg(i));
}

std::vector<GridKey> keysOf(GridKeyList &list)
{
    std::vector<GridKey> out;
    for (int i = 1; i <= list.count(); ++i)
        out.push_back(list.item(i));
    return out;
}

bool sameKeys(const std::vector<GridKey> &a, const std::vector<std::pair<int, int>> &b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].column != b[i].first || a[i].order != b[i].second)
            return false;
    }
    return true;
}

// The first group header row's expanded flag; -1 when the grid shows no group row.
int firstGroupExpanded(const ReportGrid &grid)
{
    for (int p = 1; p <= grid.rowCount(); ++p) {
        if (grid.row(p).type == GridRowType::GroupHeader)
            return grid.row(p).expanded ? 1 : 0;
    }
    return -1;
}

QStringList recordTexts(const ReportGrid &grid, int column)
{
    QStringList out;
    for (int p = 1; p <= grid.rowCount(); ++p) {
        if (grid.row(p).type == GridRowType::Record)
            out << grid.text(p, column);
    }
    return out;
}

} // namespace

class tst_GroupSort : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    // Group by
    void groupControlsAndCaptions();
    void groupFillsFromGrid();
    void groupListsOfferEveryColumn();
    void groupOkWithoutChangesAppliesNothing();
    void groupOnlyAllCollapsedAppliesNothing();
    void groupClearAllOnGroupedGrid_data();
    void groupClearAllOnGroupedGrid();
    void groupSameColumnOnTwoLevels();
    void groupAppliesCollapsed();
    void groupCancelAndCloseApplyNothing_data();
    void groupCancelAndCloseApplyNothing();
    void groupLevelRuleThroughWidgets();
    void groupFifthGroupKeptWithFourLevels();
    void groupDialogIsDeleted();

    // Sort
    void sortListsWithoutTotalsColumn();
    void sortFillsFromKeys();
    void sortOkWithoutChangesAppliesNothing();
    void sortClearAllOnSortedGrid();
    void sortSameColumnOnTwoLevels();
    void sortDescendingResorts();

private:
    std::unique_ptr<ReportGrid> grid;
};

void tst_GroupSort::init()
{
    grid = customerGrid();
}

void tst_GroupSort::cleanup()
{
    grid.reset();
    QVERIFY(!QApplication::activeModalWidget());
}

void tst_GroupSort::groupControlsAndCaptions()
{
    auto opened = whenOpen<frmGroupBy>([](frmGroupBy *dlg) {
        QCOMPARE(dlg->windowTitle(), QStringLiteral("Group By"));
        QCOMPARE(child<QGroupBox>(dlg, QStringLiteral("Frame1(0)"))->title(), QStringLiteral("Group Items by"));
        for (int i = 1; i < 4; ++i)
            QCOMPARE(child<QGroupBox>(dlg, QStringLiteral("Frame1(%1)").arg(i))->title(), QStringLiteral("Then by"));
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(order(dlg, 2 * i)->text(), QStringLiteral("Ascending"));
            QCOMPARE(order(dlg, 2 * i + 1)->text(), QStringLiteral("Descending"));
        }
        QCOMPARE(child<QLabel>(dlg, QStringLiteral("Label1"))->text(), QStringLiteral("Expand/Collapse:"));
        auto *expand = child<QComboBox>(dlg, QStringLiteral("cboExpand"));
        QCOMPARE(texts(expand), (QStringList{"All Expanded", "All Collapsed"}));
        QCOMPARE(expand->itemData(0).toInt(), 0);
        QCOMPARE(expand->itemData(1).toInt(), -1);
        QCOMPARE(expand->currentText(), QStringLiteral("All Expanded"));
        QCOMPARE(child<QPushButton>(dlg, QStringLiteral("cmdOK"))->text(), QStringLiteral("OK"));
        QCOMPARE(child<QPushButton>(dlg, QStringLiteral("cmdCancel"))->text(), QStringLiteral("Cancel"));
        QCOMPARE(child<QPushButton>(dlg, QStringLiteral("cmdClearAll"))->text(), QStringLiteral("Clear All"));
        click(dlg, "cmdCancel");
    });
    frmGroupBy::GroupGrid(*grid);
    QVERIFY(*opened);
}

void tst_GroupSort::groupFillsFromGrid()
{
    grid->groups().add(Totals, 1);
    grid->groups().add(City, -1);
    grid->regroup();
    auto opened = whenOpen<frmGroupBy>([](frmGroupBy *dlg) {
        QCOMPARE(level(dlg, 0)->currentText(), QStringLiteral("Report Totals Group"));
        QCOMPARE(level(dlg, 0)->currentData().toInt(), int(Totals));
        QVERIFY(order(dlg, 0)->isChecked());
        QCOMPARE(level(dlg, 1)->currentText(), QStringLiteral("city"));
        QVERIFY(order(dlg, 3)->isChecked());
        QVERIFY(order(dlg, 3)->isEnabled());
        QCOMPARE(level(dlg, 2)->currentText(), QStringLiteral("(None)"));
        QVERIFY(level(dlg, 2)->isEnabled());
        QVERIFY(!order(dlg, 4)->isEnabled());
        QCOMPARE(level(dlg, 3)->currentText(), QStringLiteral("(None)"));
        QVERIFY(!level(dlg, 3)->isEnabled());
        QVERIFY(!order(dlg, 6)->isEnabled());
        QVERIFY(order(dlg, 6)->isChecked());
        click(dlg, "cmdCancel");
    });
    frmGroupBy::GroupGrid(*grid);
    QVERIFY(*opened);
}

void tst_GroupSort::groupListsOfferEveryColumn()
{
    auto opened = whenOpen<frmGroupBy>([](frmGroupBy *dlg) {
        const QStringList expected{"(None)", "account", "name", "city", "state", "zip", "phone", "bbbalance",
                                   "email", "recupdate", "ss1", "Report Totals Group"};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(texts(level(dlg, i)), expected);
            for (int e = 0; e < level(dlg, i)->count(); ++e)
                QCOMPARE(level(dlg, i)->itemData(e).toInt(), e);
        }
        QVERIFY(!level(dlg, 1)->isEnabled());
        QVERIFY(!order(dlg, 0)->isEnabled());
        click(dlg, "cmdCancel");
    });
    frmGroupBy::GroupGrid(*grid);
    QVERIFY(*opened);
}

void tst_GroupSort::groupOkWithoutChangesAppliesNothing()
{
    grid->groups().add(Totals, 1);
    grid->groups().add(City, 1);
    grid->regroup(true);
    QCOMPARE(firstGroupExpanded(*grid), 0);
    // Open one group by hand: a regroup would close it again.
    grid->setExpanded(1, true);
    const int rowsBefore = grid->rowCount();
    QSignalSpy rows(grid.get(), &ReportGrid::rowsChanged);

    auto opened = whenOpen<frmGroupBy>([](frmGroupBy *dlg) { click(dlg, "cmdOK"); });
    frmGroupBy::GroupGrid(*grid);
    QVERIFY(*opened);
    QCOMPARE(rows.count(), 0);
    QVERIFY(sameKeys(keysOf(grid->groups()), {{Totals, 1}, {City, 1}}));
    QCOMPARE(grid->rowCount(), rowsBefore);
    QVERIFY(grid->row(1).expanded);
}

void tst_GroupSort::groupOnlyAllCollapsedAppliesNothing()
{
    grid->groups().add(City, 1);
    grid->regroup(false);
    QCOMPARE(firstGroupExpanded(*grid), 1);
    QSignalSpy rows(grid.get(), &ReportGrid::rowsChanged);

    auto opened = whenOpen<frmGroupBy>([](frmGroupBy *dlg) {
        QVERIFY(choose(child<QComboBox>(dlg, QStringLiteral("cboExpand")), QStringLiteral("All Collapsed")));
        click(dlg, "cmdOK");
    });
    frmGroupBy::GroupGrid(*grid);
    QVERIFY(*opened);
    QCOMPARE(rows.count(), 0);
    QCOMPARE(firstGroupExpanded(*grid), 1);
    QVERIFY(sameKeys(keysOf(grid->groups()), {{City, 1}}));
}

void tst_GroupSort::groupClearAllOnGroupedGrid_data()
{
    QTest::addColumn<QString>("expand");
    QTest::newRow("expanded") << "All Expanded";
    QTest::newRow("collapsed chosen") << "All Collapsed";
}

void tst_GroupSort::groupClearAllOnGroupedGrid()
{
    QFETCH(QString, expand);
    grid->groups().add(Totals, 1);
    grid->groups().add(State, -1);
    grid->groups().add(City, 1);
    grid->regroup(true);

    auto opened = whenOpen<frmGroupBy>([expand](frmGroupBy *dlg) {
        click(dlg, "cmdClearAll");
        for (int i = 0; i < 4; ++i)
            QCOMPARE(level(dlg, i)->currentText(), QStringLiteral("(None)"));
        for (int i = 1; i < 4; ++i)
            QVERIFY(!level(dlg, i)->isEnabled());
        QVERIFY(level(dlg, 0)->isEnabled());
        for (int i = 0; i < 8; ++i)
            QVERIFY(!order(dlg, i)->isEnabled());
        QVERIFY(choose(child<QComboBox>(dlg, QStringLiteral("cboExpand")), expand));
        click(dlg, "cmdOK");
    });
    frmGroupBy::GroupGrid(*grid);
    QVERIFY(*opened);
    QCOMPARE(grid->groups().count(), 0);
    QCOMPARE(firstGroupExpanded(*grid), -1);
    QCOMPARE(grid->rowCount(), 6);
    QCOMPARE(grid->row(1).type, GridRowType::Record);
}

void tst_GroupSort::groupSameColumnOnTwoLevels()
{
    auto opened = whenOpen<frmGroupBy>([](frmGroupBy *dlg) {
        QVERIFY(choose(level(dlg, 0), QStringLiteral("city")));
        QVERIFY(level(dlg, 1)->isEnabled());
        QVERIFY(choose(level(dlg, 1), QStringLiteral("city")));
        order(dlg, 3)->click();
        click(dlg, "cmdOK");
    });
    frmGroupBy::GroupGrid(*grid);
    QVERIFY(*opened);
    QVERIFY(sameKeys(keysOf(grid->groups()), {{City, 1}, {City, -1}}));
    QCOMPARE(grid->row(1).type, GridRowType::GroupHeader);
}

void tst_GroupSort::groupAppliesCollapsed()
{
    grid->groups().add(Totals, 1);
    grid->regroup(false);
    auto opened = whenOpen<frmGroupBy>([](frmGroupBy *dlg) {
        QVERIFY(choose(level(dlg, 1), QStringLiteral("state")));
        order(dlg, 3)->click();
        QVERIFY(choose(level(dlg, 2), QStringLiteral("city")));
        QVERIFY(choose(child<QComboBox>(dlg, QStringLiteral("cboExpand")), QStringLiteral("All Collapsed")));
        click(dlg, "cmdOK");
    });
    frmGroupBy::GroupGrid(*grid);
    QVERIFY(*opened);
    QVERIFY(sameKeys(keysOf(grid->groups()), {{Totals, 1}, {State, -1}, {City, 1}}));
    QCOMPARE(firstGroupExpanded(*grid), 0);
}

void tst_GroupSort::groupCancelAndCloseApplyNothing_data()
{
    QTest::addColumn<bool>("closeWindow");
    QTest::newRow("Cancel") << false;
    QTest::newRow("closing the window") << true;
}

void tst_GroupSort::groupCancelAndCloseApplyNothing()
{
    QFETCH(bool, closeWindow);
    grid->groups().add(City, 1);
    grid->regroup(false);
    auto opened = whenOpen<frmGroupBy>([closeWindow](frmGroupBy *dlg) {
        QVERIFY(choose(level(dlg, 0), QStringLiteral("state")));
        if (closeWindow)
            dlg->close();
        else
            click(dlg, "cmdCancel");
    });
    frmGroupBy::GroupGrid(*grid);
    QVERIFY(*opened);
    QVERIFY(sameKeys(keysOf(grid->groups()), {{City, 1}}));
}

void tst_GroupSort::groupLevelRuleThroughWidgets()
{
    auto opened = whenOpen<frmGroupBy>([](frmGroupBy *dlg) {
        QVERIFY(choose(level(dlg, 0), QStringLiteral("state")));
        QVERIFY(order(dlg, 0)->isEnabled());
        QVERIFY(level(dlg, 1)->isEnabled());
        order(dlg, 1)->click();
        QVERIFY(choose(level(dlg, 1), QStringLiteral("city")));
        QVERIFY(choose(level(dlg, 2), QStringLiteral("zip")));
        QVERIFY(level(dlg, 3)->isEnabled());
        // Another column in level 0 puts its order back to ascending and keeps the later levels.
        QVERIFY(choose(level(dlg, 0), QStringLiteral("name")));
        QVERIFY(order(dlg, 0)->isChecked());
        QCOMPARE(level(dlg, 2)->currentText(), QStringLiteral("zip"));
        // "(None)" in the middle clears everything after it.
        QVERIFY(choose(level(dlg, 1), QStringLiteral("(None)")));
        QCOMPARE(level(dlg, 2)->currentText(), QStringLiteral("(None)"));
        QVERIFY(!level(dlg, 2)->isEnabled());
        QVERIFY(!order(dlg, 2)->isEnabled());
        QVERIFY(!order(dlg, 4)->isEnabled());
        click(dlg, "cmdOK");
    });
    frmGroupBy::GroupGrid(*grid);
    QVERIFY(*opened);
    QVERIFY(sameKeys(keysOf(grid->groups()), {{Name, 1}}));
}

void tst_GroupSort::groupFifthGroupKeptWithFourLevels()
{
    for (int c : {State, City, Zip, Name, Account})
        grid->groups().add(c, 1);
    grid->regroup();
    auto opened = whenOpen<frmGroupBy>([](frmGroupBy *dlg) {
        QCOMPARE(level(dlg, 3)->currentText(), QStringLiteral("name"));
        order(dlg, 7)->click();
        click(dlg, "cmdOK");
    });
    frmGroupBy::GroupGrid(*grid);
    QVERIFY(*opened);
    QVERIFY(sameKeys(keysOf(grid->groups()), {{State, 1}, {City, 1}, {Zip, 1}, {Name, -1}, {Account, 1}}));
}

void tst_GroupSort::groupDialogIsDeleted()
{
    QWidget owner;
    for (bool ok : {true, false}) {
        auto opened = whenOpen<frmGroupBy>([ok, &owner](frmGroupBy *dlg) {
            QCOMPARE(dlg->parentWidget(), &owner);
            click(dlg, ok ? "cmdOK" : "cmdCancel");
        });
        frmGroupBy::GroupGrid(*grid, &owner);
        QVERIFY(*opened);
        QVERIFY(owner.findChildren<frmGroupBy *>().isEmpty());
    }
}

void tst_GroupSort::sortListsWithoutTotalsColumn()
{
    auto opened = whenOpen<frmSort>([](frmSort *dlg) {
        QCOMPARE(dlg->windowTitle(), QStringLiteral("Sort"));
        QCOMPARE(child<QGroupBox>(dlg, QStringLiteral("Frame1(0)"))->title(), QStringLiteral("Sort Items by"));
        QCOMPARE(child<QGroupBox>(dlg, QStringLiteral("Frame1(3)"))->title(), QStringLiteral("Then by"));
        QVERIFY(!dlg->findChild<QComboBox *>(QStringLiteral("cboExpand")));
        const QStringList expected{"(None)", "account", "name", "city", "state", "zip", "phone", "bbbalance",
                                   "email", "recupdate", "ss1"};
        for (int i = 0; i < 4; ++i)
            QCOMPARE(texts(level(dlg, i)), expected);
        QCOMPARE(level(dlg, 0)->itemData(10).toInt(), int(Ss1));
        click(dlg, "cmdCancel");
    });
    frmSort::SortGrid(*grid);
    QVERIFY(*opened);
}

void tst_GroupSort::sortFillsFromKeys()
{
    grid->sortKeys().add(State, 1);
    grid->sortKeys().add(Name, -1);
    grid->resort();
    auto opened = whenOpen<frmSort>([](frmSort *dlg) {
        QCOMPARE(level(dlg, 0)->currentText(), QStringLiteral("state"));
        QVERIFY(order(dlg, 0)->isChecked());
        QCOMPARE(level(dlg, 1)->currentText(), QStringLiteral("name"));
        QVERIFY(order(dlg, 3)->isChecked());
        QCOMPARE(level(dlg, 2)->currentText(), QStringLiteral("(None)"));
        QVERIFY(!level(dlg, 3)->isEnabled());
        click(dlg, "cmdCancel");
    });
    frmSort::SortGrid(*grid);
    QVERIFY(*opened);
}

void tst_GroupSort::sortOkWithoutChangesAppliesNothing()
{
    grid->sortKeys().add(Name, 1);
    grid->sortKeys().add(City, -1);
    grid->resort();
    const QStringList sorted = recordTexts(*grid, Name);
    grid->selectRows({2, 3, 4});
    QSignalSpy rows(grid.get(), &ReportGrid::rowsChanged);
    auto opened = whenOpen<frmSort>([](frmSort *dlg) {
        QCOMPARE(level(dlg, 0)->currentText(), QStringLiteral("name"));
        QCOMPARE(level(dlg, 1)->currentText(), QStringLiteral("city"));
        click(dlg, "cmdOK");
    });
    frmSort::SortGrid(*grid);
    QVERIFY(*opened);
    QCOMPARE(rows.count(), 0);
    QCOMPARE(grid->selectedCount(), 3);
    QCOMPARE(recordTexts(*grid, Name), sorted);
    QVERIFY(sameKeys(keysOf(grid->sortKeys()), {{Name, 1}, {City, -1}}));
}

void tst_GroupSort::sortClearAllOnSortedGrid()
{
    grid->sortKeys().add(Name, -1);
    grid->sortKeys().add(City, 1);
    grid->resort();
    auto opened = whenOpen<frmSort>([](frmSort *dlg) {
        click(dlg, "cmdClearAll");
        QVERIFY(!level(dlg, 1)->isEnabled());
        click(dlg, "cmdOK");
    });
    frmSort::SortGrid(*grid);
    QVERIFY(*opened);
    QCOMPARE(grid->sortKeys().count(), 0);
    QCOMPARE(recordTexts(*grid, Account),
             (QStringList{"A100", "A101", "A102", "A103", "A104", "A105"}));
}

void tst_GroupSort::sortSameColumnOnTwoLevels()
{
    auto opened = whenOpen<frmSort>([](frmSort *dlg) {
        QVERIFY(choose(level(dlg, 0), QStringLiteral("zip")));
        QVERIFY(choose(level(dlg, 1), QStringLiteral("zip")));
        click(dlg, "cmdOK");
    });
    frmSort::SortGrid(*grid);
    QVERIFY(*opened);
    QVERIFY(sameKeys(keysOf(grid->sortKeys()), {{Zip, 1}, {Zip, 1}}));
}

void tst_GroupSort::sortDescendingResorts()
{
    auto opened = whenOpen<frmSort>([](frmSort *dlg) {
        QVERIFY(choose(level(dlg, 0), QStringLiteral("name")));
        order(dlg, 1)->click();
        click(dlg, "cmdOK");
    });
    frmSort::SortGrid(*grid);
    QVERIFY(*opened);
    QVERIFY(sameKeys(keysOf(grid->sortKeys()), {{Name, -1}}));
    QCOMPARE(recordTexts(*grid, Name), (QStringList{"Zoller", "Oakes", "Miller", "Keller", "Baker", "Adams"}));
}

QTEST_MAIN(tst_GroupSort)
#include "tst_groupsort.moc"
