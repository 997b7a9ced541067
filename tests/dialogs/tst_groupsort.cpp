#include "dialogtesting.h"

#include "dialogs/frmGroupBy.h"
#include "dialogs/frmSort.h"

#include <QSignalSpy>

using namespace velmora;
using namespace velmora::test;

class tst_GroupSort : public QObject {
    Q_OBJECT
private slots:
    void init() { grid = customerGrid(); }
    void cleanup() { QVERIFY(!QApplication::activeModalWidget()); }

    void apply_data()
    {
        QTest::addColumn<bool>("sort");
        QTest::addColumn<QList<int>>("keys");   // column, order pairs the grid has before
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("after");
        QTest::addColumn<bool>("applied");      // the grid rebuilt its rows

        const QString columns = "(None),account,name,city,state,zip,phone,bbbalance,email,recupdate,ss1";
        QTest::newRow("group: controls, captions and every column offered")
            << false << QList<int>{}
            << QStringList{"?title=Group By", "?Frame1(0)=Group Items by", "?Frame1(3)=Then by",
                           "?optOrder(0)=Ascending", "?optOrder(7)=Descending", "?Label1=Expand/Collapse:",
                           "?items:cboExpand=All Expanded,All Collapsed", "?cboExpand=All Expanded",
                           "?items:cboGroups(3)=" + columns + ",Report Totals Group", "?disabled:cboGroups(1)",
                           "?disabled:optOrder(0)", "?cmdClearAll=Clear All", "cmdCancel"}
            << "groups ; sort ; first group none" << false;
        QTest::newRow("group: filled from the grid, the totals column by its own name")
            << false << QList<int>{Totals, 1, City, -1}
            << QStringList{"?cboGroups(0)=Report Totals Group", "?on:optOrder(0)", "?cboGroups(1)=city",
                           "?on:optOrder(3)", "?enabled:optOrder(3)", "?cboGroups(2)=(None)", "?enabled:cboGroups(2)",
                           "?disabled:optOrder(4)", "?disabled:cboGroups(3)", "cmdCancel"}
            << "groups totals+ city-; sort ; first group expanded" << false;
        QTest::newRow("group: OK without changes applies nothing")
            << false << QList<int>{Totals, 1, City, 1} << QStringList{"cmdOK"}
            << "groups totals+ city+; sort ; first group expanded" << false;
        QTest::newRow("group: only All Collapsed chosen applies nothing")
            << false << QList<int>{City, 1} << QStringList{"cboExpand=All Collapsed", "cmdOK"}
            << "groups city+; sort ; first group expanded" << false;
        QTest::newRow("group: Clear All ungroups")
            << false << QList<int>{Totals, 1, State, -1, City, 1}
            << QStringList{"cmdClearAll", "?cboGroups(0)=(None)", "?cboGroups(2)=(None)", "?enabled:cboGroups(0)",
                           "?disabled:cboGroups(1)", "?disabled:optOrder(0)", "cboExpand=All Collapsed", "cmdOK"}
            << "groups ; sort ; first group none" << true;
        QTest::newRow("group: new levels applied collapsed")
            << false << QList<int>{Totals, 1}
            << QStringList{"cboGroups(1)=state", "optOrder(3)", "cboGroups(2)=city", "cboExpand=All Collapsed", "cmdOK"}
            << "groups totals+ state- city+; sort ; first group collapsed" << true;
        QTest::newRow("group: the order alone changed")
            << false << QList<int>{City, 1} << QStringList{"optOrder(1)", "cmdOK"}
            << "groups city-; sort ; first group expanded" << true;
        QTest::newRow("group: Cancel applies nothing")
            << false << QList<int>{City, 1} << QStringList{"cboGroups(0)=state", "cmdCancel"}
            << "groups city+; sort ; first group expanded" << false;
        QTest::newRow("group: another column resets the order, (None) clears the later levels")
            << false << QList<int>{}
            << QStringList{"cboGroups(0)=state", "?enabled:optOrder(0)", "optOrder(1)", "cboGroups(1)=city",
                           "cboGroups(2)=zip", "?enabled:cboGroups(3)", "cboGroups(0)=name", "?on:optOrder(0)",
                           "?cboGroups(2)=zip", "cboGroups(1)=(None)", "?cboGroups(2)=(None)", "?disabled:cboGroups(2)",
                           "?disabled:optOrder(2)", "?disabled:optOrder(4)", "cmdOK"}
            << "groups name+; sort ; first group expanded" << true;
        QTest::newRow("group: a fifth group is kept behind four levels")
            << false << QList<int>{State, 1, City, 1, Zip, 1, Name, 1, Account, 1}
            << QStringList{"?cboGroups(3)=name", "optOrder(7)", "cmdOK"}
            << "groups state+ city+ zip+ name- account+; sort ; first group expanded" << true;

        QTest::newRow("sort: captions, no totals column and no expand list")
            << true << QList<int>{}
            << QStringList{"?title=Sort", "?Frame1(0)=Sort Items by", "?Frame1(3)=Then by",
                           "?items:cboGroups(2)=" + columns, "cmdCancel"}
            << "groups ; sort ; first group none" << false;
        QTest::newRow("sort: filled from the keys")
            << true << QList<int>{State, 1, Name, -1}
            << QStringList{"?cboGroups(0)=state", "?on:optOrder(0)", "?cboGroups(1)=name", "?on:optOrder(3)",
                           "?cboGroups(2)=(None)", "?disabled:cboGroups(3)", "cmdOK"}
            << "groups ; sort state+ name-; first group none" << false;
        QTest::newRow("sort: the same column on two levels")
            << true << QList<int>{} << QStringList{"cboGroups(0)=zip", "cboGroups(1)=zip", "cmdOK"}
            << "groups ; sort zip+ zip+; first group none" << true;
        QTest::newRow("sort: descending")
            << true << QList<int>{} << QStringList{"cboGroups(0)=name", "optOrder(1)", "cmdOK"}
            << "groups ; sort name-; first group none" << true;
    }

    void apply()
    {
        QFETCH(bool, sort);
        QFETCH(QList<int>, keys);
        QFETCH(QStringList, steps);
        QFETCH(bool, applied);
        for (int i = 0; i + 1 < keys.size(); i += 2)
            (sort ? grid->sortKeys() : grid->groups()).add(keys.at(i), keys.at(i + 1));
        grid->regroup();
        grid->selectRows({2, 3});
        QSignalSpy rows(grid.get(), &ReportGrid::rowsChanged);
        QWidget owner;
        if (sort)
            play<frmSort>(steps, [&] { frmSort::SortGrid(*grid, &owner); });
        else
            play<frmGroupBy>(steps, [&] { frmGroupBy::GroupGrid(*grid, &owner); });
        QVERIFY(owner.findChildren<QDialog *>().isEmpty());   // the dialog is deleted, whatever closed it
        QTEST(gridState(*grid), "after");
        QCOMPARE(!rows.isEmpty(), applied);
        if (!applied)
            QCOMPARE(grid->selectedCount(), 2);
    }

private:
    std::unique_ptr<ReportGrid> grid;
};

QTEST_MAIN(tst_GroupSort)
#include "tst_groupsort.moc"
