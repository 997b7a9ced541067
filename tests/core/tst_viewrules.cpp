#include "core/viewrules.h"

#include <QTest>

using namespace velmora::viewrules;

Q_DECLARE_METATYPE(velmora::viewrules::Levels)
Q_DECLARE_METATYPE(std::vector<velmora::viewrules::ViewKey>)

namespace {

// Levels from a compact picture: columns per level, orders (true = ascending), and the rule run
// on every level in turn, as a user choosing from the top down would leave them.
Levels chosen(std::initializer_list<std::pair<int, bool>> picks)
{
    Levels l{};
    applyLevelRule(l, 0);
    int i = 0;
    for (auto [column, ascending] : picks) {
        l[std::size_t(i)].column = column;
        applyLevelRule(l, i);
        l[std::size_t(i)].ascending = ascending;
        ++i;
    }
    return l;
}

} // namespace

// The dialogs' tests drive these rules through the windows; what stays here are the cases no
// window reaches easily: odd key orders, every withheld name and typed widths.
class tst_ViewRules : public QObject {
    Q_OBJECT
private slots:
    void levelsChanged_data()
    {
        QTest::addColumn<Levels>("levels");
        QTest::addColumn<std::vector<ViewKey>>("keys");
        QTest::addColumn<bool>("changed");

        const std::vector<ViewKey> two{{12, 1}, {4, -1}};
        QTest::newRow("filled and untouched") << velmora::viewrules::levelsFromKeys(two) << two << false;
        QTest::newRow("one level fewer") << chosen({{12, true}}) << two << true;
        QTest::newRow("descending where the key ascends") << chosen({{12, false}, {4, false}}) << two << true;
        QTest::newRow("a key order other than 1 or -1 counts as changed")
            << chosen({{3, false}}) << std::vector<ViewKey>{{3, 0}} << true;
        const std::vector<ViewKey> five{{1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, -1}};
        QTest::newRow("a fifth key is not compared") << velmora::viewrules::levelsFromKeys(five) << five << false;
        QTest::newRow("level 3 cleared with five keys") << chosen({{1, true}, {2, true}, {3, true}}) << five << true;
    }

    void levelsChanged()
    {
        QFETCH(Levels, levels);
        QFETCH(std::vector<ViewKey>, keys);
        QTEST(velmora::viewrules::levelsChanged(levels, keys), "changed");
    }

    void withheldAndTotals_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("withheld");
        QTest::addColumn<bool>("totals");

        QTest::newRow("ss1") << "ss1" << true << false;
        QTest::newRow("SS2 in capitals") << "SS2" << true << false;
        QTest::newRow("RecUpdate mixed case") << "RecUpdate" << true << false;
        QTest::newRow("ss10 is offered") << "ss10" << false << false;
        QTest::newRow("totals caption in lower case") << "drag columns here to group" << false << true;
        QTest::newRow("similar caption") << "Drag Columns Here" << false << false;
    }

    void withheldAndTotals()
    {
        QFETCH(QString, caption);
        QTEST(isWithheldField(caption), "withheld");
        QTEST(isTotalsCaption(caption), "totals");
    }

    void roundHalfEven()
    {
        const std::pair<double, long long> cases[] = {{8.5, 8}, {9.5, 10}, {10.6, 11}, {-2.5, -2}, {-3.5, -4}};
        for (auto [value, rounded] : cases)
            QCOMPARE(velmora::viewrules::roundHalfEven(value), rounded);
    }

    void twipsFromPixelText_data()
    {
        QTest::addColumn<QString>("text");   // pixels typed at 15 twips a pixel
        QTest::addColumn<int>("twips");   // -1: ignored

        QTest::newRow("200 pixels at 15") << "200" << 3000;
        QTest::newRow("decimal pixels round to the nearest twip") << "200.8" << 3012;
        QTest::newRow("half twip rounds to even") << "0.1" << 2;
        QTest::newRow("letters are ignored") << "wide" << -1;
        QTest::newRow("number with letters is ignored") << "200px" << -1;
        QTest::newRow("zero is ignored") << "0" << -1;
        QTest::newRow("negative is ignored") << "-20" << -1;
        QTest::newRow("too large is ignored") << "1e12" << -1;
    }

    void twipsFromPixelText()
    {
        QFETCH(QString, text);
        QTEST(velmora::viewrules::twipsFromPixelText(text, 15).value_or(-1), "twips");
    }

    void cardWidthRoundTrip()
    {
        for (double perPixel : {15.0, 12.0, 10.0, 1440.0 / 110.0}) {
            for (int twips : {1, 14, 15, 3000, 3010, 4321, 20000}) {
                const QString shown = velmora::viewrules::pixelText(twips, perPixel);
                QCOMPARE(velmora::viewrules::twipsFromPixelText(shown, perPixel).value_or(-1), twips);
            }
        }
    }
};

QTEST_APPLESS_MAIN(tst_ViewRules)
#include "tst_viewrules.moc"
