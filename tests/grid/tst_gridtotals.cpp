// Column totals at the edges of what a NUMERIC(18,2) column holds, and formats the totals
// cannot be shown in: exact sums or a text that says why, never a wrapped number.

#include "gridtesting.h"

#include <QApplication>
#include <QTest>

using namespace velmora;
using namespace velmora::test;

class tst_GridTotals : public QObject {
    Q_OBJECT

private slots:
    void sumFooter_data();
    void sumFooter();
};

void tst_GridTotals::sumFooter_data()
{
    QTest::addColumn<QList<qint64>>("cents");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("expected");

    const qint64 top = INT64_MAX, bottom = INT64_MIN;
    QTest::newRow("two largest values") << QList<qint64>{top, top} << "#,##0.00" << "184,467,440,737,095,516.14";
    QTest::newRow("two smallest values") << QList<qint64>{bottom, bottom} << "#0.00" << "-184467440737095516.16";
    QTest::newRow("largest and smallest") << QList<qint64>{top, bottom} << "#0.00" << "-0.01";
    QTest::newRow("rounded to whole units") << QList<qint64>{top, 1} << "#,##0" << "92,233,720,368,547,758";
    QTest::newRow("eighteen decimals") << QList<qint64>{top, top} << "#0.000000000000000000"
                                       << "184467440737095516.140000000000000000";
    QTest::newRow("twenty decimals are refused") << QList<qint64>{5} << "#0.00000000000000000000"
                                                 << "(the format asks for more than 18 decimals)";
}

void tst_GridTotals::sumFooter()
{
    QFETCH(QList<qint64>, cents);
    QFETCH(QString, format);
    QFETCH(QString, expected);
    QLocale::setDefault(QLocale::c());
    ReportGrid grid;
    std::vector<InvRow> rows;
    for (qint64 c : cents)
        rows.push_back({int(rows.size()) + 1, "A", 1, "item", c, QDate()});
    grid.setTable(inventoryTable(rows));
    GridColumn *cost = grid.columnByKey(u"cost");
    cost->setAggregateFunction(2);
    cost->setTotalFormat(format);
    grid.groups().add(2, 1);
    grid.regroup(true);
    QCOMPARE(rowShape(grid), QStringLiteral("H1 F1"));
    QCOMPARE(grid.text(2, cost->index()), expected);
}

QTEST_MAIN(tst_GridTotals)
#include "tst_gridtotals.moc"
