#include "dialogtesting.h"

#include "dialogs/frmSummary.h"

using namespace velmora;
using namespace velmora::test;

class tst_Summary : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QVERIFY(!QApplication::activeModalWidget()); }

    void lines_data()
    {
        QTest::addColumn<int>("viewMode");
        QTest::addColumn<QList<int>>("shown");
        QTest::addColumn<QList<int>>("groups");   // column, order pairs
        QTest::addColumn<QList<int>>("sorts");
        QTest::addColumn<QStringList>("steps");

        const QList<int> none;
        QTest::newRow("captions and the table view's line")
            << 0 << QList<int>{Name} << none << none
            << QStringList{"?title=View Summary", "?cmdFields=Fields...", "?cmdGroup=Group By...", "?cmdSort=Sort...",
                           "?cmdFormat=Format...", "?enabled:cmdGroup", "?lblformat=Fonts and other Table View settings",
                           "cmdFormat>?title=Format Table View;cmdOK", "cmdOK"};
        QTest::newRow("totals group then city descending")
            << 0 << QList<int>{Name, Phone} << QList<int>{Totals, 1, City, -1} << none
            << QStringList{"?lblFields=name, phone", "?lblGroups=Report Totals (ascending), city (descending)",
                           "?lblSort=None", "cmdOK"};
        QTest::newRow("sort keys in list order, no visible column")
            << 0 << QList<int>{} << QList<int>{State, 1} << QList<int>{Name, -1, Account, 1}
            << QStringList{"?lblFields=", "?lblGroups=state (ascending)",
                           "?lblSort=name (descending), account (ascending)", "cmdOK"};
        QTest::newRow("card view: its line, no grouping, its format dialog")
            << 1 << QList<int>{Name} << none << none
            << QStringList{"?lblformat=Fonts and other Card View settings", "?disabled:cmdGroup", "?enabled:cmdSort",
                           "cmdFormat>?title=Format Card View;cmdOK", "cmdOK"};
        QTest::newRow("an accepted field chooser refreshes its line")
            << 0 << QList<int>{Name, Phone} << none << none
            << QStringList{"cmdFields>lstAvail=city;cmdAdd;cmdOK", "?lblFields=name, city, phone", "cmdOK"};
        QTest::newRow("a cancelled field chooser leaves its line")
            << 0 << QList<int>{Name, Phone} << none << none
            << QStringList{"cmdFields>lstAvail=city;cmdAdd;cmdCancel", "?lblFields=name, phone", "close"};
        QTest::newRow("group and sort dialogs refresh their lines")
            << 0 << QList<int>{Name} << QList<int>{Totals, 1} << none
            << QStringList{"cmdGroup>cboGroups(1)=city;optOrder(3);cmdOK",
                           "?lblGroups=Report Totals (ascending), city (descending)",
                           "cmdSort>cboGroups(0)=zip;cmdOK", "?lblSort=zip (ascending)", "cmdOK"};
    }

    void lines()
    {
        QFETCH(int, viewMode);
        QFETCH(QList<int>, shown);
        QFETCH(QList<int>, groups);
        QFETCH(QList<int>, sorts);
        QFETCH(QStringList, steps);
        auto grid = customerGrid();
        grid->setViewMode(viewMode);
        for (int c = 1; c <= grid->columnCount(); ++c)
            grid->column(c)->setVisible(shown.contains(c));
        for (int i = 0; i + 1 < groups.size(); i += 2)
            grid->groups().add(groups.at(i), groups.at(i + 1));
        for (int i = 0; i + 1 < sorts.size(); i += 2)
            grid->sortKeys().add(sorts.at(i), sorts.at(i + 1));
        grid->regroup();
        QWidget owner;
        play<frmSummary>(steps, [&] { frmSummary::ShowSummary(*grid, &owner); });
        QVERIFY(owner.findChildren<QDialog *>().isEmpty());   // deleted with the windows it opened
    }
};

QTEST_MAIN(tst_Summary)
#include "tst_summary.moc"
