#include "core/viewrules.h"

#include <QTest>

using namespace velmora::viewrules;

Q_DECLARE_METATYPE(velmora::viewrules::Levels)
Q_DECLARE_METATYPE(std::vector<velmora::viewrules::ViewKey>)
Q_DECLARE_METATYPE(velmora::viewrules::FieldButtons)
Q_DECLARE_METATYPE(velmora::viewrules::GridLineSetting)

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

QString describe(const Levels &levels)
{
    QStringList parts;
    for (const LevelState &l : levels)
        parts << QStringLiteral("%1%2%3%4")
                     .arg(l.column)
                     .arg(l.ascending ? QLatin1Char('a') : QLatin1Char('d'))
                     .arg(l.listEnabled ? QLatin1Char('L') : QLatin1Char('-'))
                     .arg(l.ordersEnabled ? QLatin1Char('O') : QLatin1Char('-'));
    return parts.join(QLatin1Char(' '));
}

} // namespace

class tst_ViewRules : public QObject {
    Q_OBJECT
private slots:
    void levelRule_data();
    void levelRule();
    void levelsFromKeys_data();
    void levelsFromKeys();
    void levelsChanged_data();
    void levelsChanged();
    void keysFromLevels_data();
    void keysFromLevels();

    void withheldAndTotals_data();
    void withheldAndTotals();
    void insertionIndex_data();
    void insertionIndex();
    void currentAfterRemoval_data();
    void currentAfterRemoval();
    void fieldButtons_data();
    void fieldButtons();

    void fieldsSummary_data();
    void fieldsSummary();
    void keysSummary_data();
    void keysSummary();
    void formatSummary();

    void roundHalfEven_data();
    void roundHalfEven();
    void fontCaption_data();
    void fontCaption();
    void twipsPerPixel_data();
    void twipsPerPixel();
    void pixelText_data();
    void pixelText();
    void twipsFromPixelText_data();
    void twipsFromPixelText();
    void cardWidthRoundTrip();
    void gridLineEntry_data();
    void gridLineEntry();
    void gridLinesFromEntry_data();
    void gridLinesFromEntry();
};

void tst_ViewRules::levelRule_data()
{
    QTest::addColumn<Levels>("before");
    QTest::addColumn<int>("level");
    QTest::addColumn<QString>("after");

    Levels fresh{};
    QTest::newRow("fresh dialog at (None) disables levels 1 to 3") << fresh << 0 << "0aL- 0a-- 0a-- 0a--";

    Levels one = chosen({{5, false}});
    QTest::newRow("one level keeps its order") << one << 1 << "5dLO 0aL- 0a-- 0a--";

    Levels three = chosen({{2, false}, {3, false}, {4, false}});
    Levels cleared = three;
    cleared[0].column = 0;
    QTest::newRow("(None) in level 0 clears and disables every later level")
        << cleared << 0 << "0aL- 0a-- 0a-- 0a--";

    Levels middle = three;
    middle[1].column = 0;
    QTest::newRow("(None) in level 1 keeps level 0") << middle << 1 << "2dLO 0aL- 0a-- 0a--";

    Levels reselect = three;
    reselect[1].column = 7;
    QTest::newRow("another column resets the order to ascending") << reselect << 1 << "2dLO 7aLO 4dLO 0aL-";

    Levels last{};
    last = chosen({{1, true}, {1, true}, {1, true}});
    last[3].column = 9;
    QTest::newRow("level 3 has no next level to enable") << last << 3 << "1aLO 1aLO 1aLO 9aLO";

    Levels lastNone = chosen({{1, true}, {1, true}, {1, true}, {9, false}});
    lastNone[3].column = 0;
    QTest::newRow("(None) in level 3 only disables its orders") << lastNone << 3 << "1aLO 1aLO 1aLO 0aL-";
}

void tst_ViewRules::levelRule()
{
    QFETCH(Levels, before);
    QFETCH(int, level);
    QFETCH(QString, after);
    applyLevelRule(before, level);
    QCOMPARE(describe(before), after);
}

void tst_ViewRules::levelsFromKeys_data()
{
    QTest::addColumn<std::vector<ViewKey>>("keys");
    QTest::addColumn<QString>("levels");

    QTest::newRow("no keys") << std::vector<ViewKey>{} << "0aL- 0a-- 0a-- 0a--";
    QTest::newRow("totals group then city descending")
        << std::vector<ViewKey>{{12, 1}, {4, -1}} << "12aLO 4dLO 0aL- 0a--";
    QTest::newRow("same column twice") << std::vector<ViewKey>{{3, 1}, {3, 1}} << "3aLO 3aLO 0aL- 0a--";
    QTest::newRow("four keys fill every level")
        << std::vector<ViewKey>{{1, 1}, {2, -1}, {3, 1}, {4, -1}} << "1aLO 2dLO 3aLO 4dLO";
    QTest::newRow("a fifth key is not shown")
        << std::vector<ViewKey>{{1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, -1}} << "1aLO 2aLO 3aLO 4aLO";
    QTest::newRow("a key the dialog does not offer ends the run")
        << std::vector<ViewKey>{{1, 1}, {0, 1}, {3, 1}} << "1aLO 0aL- 0a-- 0a--";
}

void tst_ViewRules::levelsFromKeys()
{
    QFETCH(std::vector<ViewKey>, keys);
    QFETCH(QString, levels);
    QCOMPARE(describe(velmora::viewrules::levelsFromKeys(keys)), levels);
}

void tst_ViewRules::levelsChanged_data()
{
    QTest::addColumn<Levels>("levels");
    QTest::addColumn<std::vector<ViewKey>>("keys");
    QTest::addColumn<bool>("changed");

    const std::vector<ViewKey> two{{12, 1}, {4, -1}};
    QTest::newRow("filled and untouched") << velmora::viewrules::levelsFromKeys(two) << two << false;
    QTest::newRow("nothing chosen, no keys") << chosen({}) << std::vector<ViewKey>{} << false;
    QTest::newRow("cleared while keys exist") << chosen({}) << two << true;
    QTest::newRow("one level fewer") << chosen({{12, true}}) << two << true;
    QTest::newRow("one level more") << chosen({{12, true}, {4, false}, {6, true}}) << two << true;
    QTest::newRow("another column") << chosen({{12, true}, {5, false}}) << two << true;
    QTest::newRow("ascending where the key descends") << chosen({{12, true}, {4, true}}) << two << true;
    QTest::newRow("descending where the key ascends") << chosen({{12, false}, {4, false}}) << two << true;
    QTest::newRow("a key order other than 1 or -1 counts as changed")
        << chosen({{3, false}}) << std::vector<ViewKey>{{3, 0}} << true;
    const std::vector<ViewKey> five{{1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, -1}};
    QTest::newRow("a fifth key is not compared") << velmora::viewrules::levelsFromKeys(five) << five << false;
    QTest::newRow("level 3 cleared with five keys") << chosen({{1, true}, {2, true}, {3, true}}) << five << true;
}

void tst_ViewRules::levelsChanged()
{
    QFETCH(Levels, levels);
    QFETCH(std::vector<ViewKey>, keys);
    QFETCH(bool, changed);
    QCOMPARE(velmora::viewrules::levelsChanged(levels, keys), changed);
}

void tst_ViewRules::keysFromLevels_data()
{
    QTest::addColumn<Levels>("levels");
    QTest::addColumn<std::vector<ViewKey>>("keys");
    QTest::addColumn<std::vector<ViewKey>>("applied");

    const std::vector<ViewKey> none;
    QTest::newRow("nothing chosen clears") << chosen({}) << std::vector<ViewKey>{{2, 1}} << none;
    QTest::newRow("orders become 1 and -1")
        << chosen({{7, true}, {2, false}}) << none << std::vector<ViewKey>{{7, 1}, {2, -1}};
    QTest::newRow("same column on two levels")
        << chosen({{3, true}, {3, false}}) << none << std::vector<ViewKey>{{3, 1}, {3, -1}};
    const std::vector<ViewKey> five{{1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, -1}};
    QTest::newRow("four levels keep the keys past the fourth")
        << chosen({{4, true}, {3, true}, {2, true}, {1, false}}) << five
        << std::vector<ViewKey>{{4, 1}, {3, 1}, {2, 1}, {1, -1}, {5, -1}};
    QTest::newRow("a shorter run drops them")
        << chosen({{4, true}, {3, true}}) << five << std::vector<ViewKey>{{4, 1}, {3, 1}};
}

void tst_ViewRules::keysFromLevels()
{
    QFETCH(Levels, levels);
    QFETCH(std::vector<ViewKey>, keys);
    QFETCH(std::vector<ViewKey>, applied);
    QVERIFY(velmora::viewrules::keysFromLevels(levels, keys) == applied);
}

void tst_ViewRules::withheldAndTotals_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("withheld");
    QTest::addColumn<bool>("totals");

    QTest::newRow("ss1") << "ss1" << true << false;
    QTest::newRow("SS2 in capitals") << "SS2" << true << false;
    QTest::newRow("RecUpdate mixed case") << "RecUpdate" << true << false;
    QTest::newRow("emailinv") << "emailinv" << true << false;
    QTest::newRow("email is offered") << "email" << false << false;
    QTest::newRow("ss10 is offered") << "ss10" << false << false;
    QTest::newRow("totals caption") << "Drag Columns Here to Group" << false << true;
    QTest::newRow("totals caption in lower case") << "drag columns here to group" << false << true;
    QTest::newRow("similar caption") << "Drag Columns Here" << false << false;
}

void tst_ViewRules::withheldAndTotals()
{
    QFETCH(QString, caption);
    QFETCH(bool, withheld);
    QFETCH(bool, totals);
    QCOMPARE(isWithheldField(caption), withheld);
    QCOMPARE(isTotalsCaption(caption), totals);
}

void tst_ViewRules::insertionIndex_data()
{
    QTest::addColumn<int>("tag");
    QTest::addColumn<int>("shownCount");
    QTest::addColumn<int>("index");

    QTest::newRow("column 2 into five shown goes second") << 2 << 5 << 1;
    QTest::newRow("column 1 goes first") << 1 << 5 << 0;
    QTest::newRow("tag equal to the count inserts before the last") << 5 << 5 << 4;
    QTest::newRow("tag one past the count appends") << 6 << 5 << 5;
    QTest::newRow("tag far beyond the count appends") << 40 << 5 << 5;
    QTest::newRow("into an empty list") << 3 << 0 << 0;
}

void tst_ViewRules::insertionIndex()
{
    QFETCH(int, tag);
    QFETCH(int, shownCount);
    QFETCH(int, index);
    QCOMPARE(velmora::viewrules::insertionIndex(tag, shownCount), index);
}

void tst_ViewRules::currentAfterRemoval_data()
{
    QTest::addColumn<int>("noted");
    QTest::addColumn<int>("remaining");
    QTest::addColumn<int>("current");

    QTest::newRow("noted position still inside") << 2 << 5 << 2;
    QTest::newRow("noted position now past the end") << 5 << 5 << 4;
    QTest::newRow("list emptied") << 0 << 0 << -1;
    QTest::newRow("no noted position") << -1 << 3 << 0;
}

void tst_ViewRules::currentAfterRemoval()
{
    QFETCH(int, noted);
    QFETCH(int, remaining);
    QFETCH(int, current);
    QCOMPARE(velmora::viewrules::currentAfterRemoval(noted, remaining), current);
}

void tst_ViewRules::fieldButtons_data()
{
    QTest::addColumn<int>("availCurrent");
    QTest::addColumn<int>("shownCurrent");
    QTest::addColumn<int>("shownCount");
    QTest::addColumn<FieldButtons>("buttons");

    QTest::newRow("first shown entry") << 0 << 0 << 5 << FieldButtons{true, true, false, true};
    QTest::newRow("middle entry") << 0 << 2 << 5 << FieldButtons{true, true, true, true};
    QTest::newRow("last entry") << 0 << 4 << 5 << FieldButtons{true, true, true, false};
    QTest::newRow("only entry") << -1 << 0 << 1 << FieldButtons{false, true, false, false};
    QTest::newRow("no current entry in a full list enables Move Down")
        << 0 << -1 << 3 << FieldButtons{true, false, false, true};
    QTest::newRow("both lists empty") << -1 << -1 << 0 << FieldButtons{false, false, false, false};
}

void tst_ViewRules::fieldButtons()
{
    QFETCH(int, availCurrent);
    QFETCH(int, shownCurrent);
    QFETCH(int, shownCount);
    QFETCH(FieldButtons, buttons);
    QCOMPARE(velmora::viewrules::fieldButtons(availCurrent, shownCurrent, shownCount), buttons);
}

void tst_ViewRules::fieldsSummary_data()
{
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<QString>("text");
    QTest::newRow("name and phone") << QStringList{"name", "phone"} << "name, phone";
    QTest::newRow("no visible column") << QStringList{} << "";
    QTest::newRow("an empty caption gives two separators in a row")
        << QStringList{"name", "", "phone"} << "name, , phone";
}

void tst_ViewRules::fieldsSummary()
{
    QFETCH(QStringList, captions);
    QFETCH(QString, text);
    QCOMPARE(velmora::viewrules::fieldsSummary(captions), text);
}

void tst_ViewRules::keysSummary_data()
{
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<QList<int>>("orders");
    QTest::addColumn<bool>("substitute");
    QTest::addColumn<QString>("text");

    QTest::newRow("totals then city descending")
        << QStringList{"Drag Columns Here to Group", "city"} << QList<int>{1, -1} << true
        << "Report Totals (ascending), city (descending)";
    QTest::newRow("sort keys keep the totals caption")
        << QStringList{"Drag Columns Here to Group"} << QList<int>{1} << false
        << "Drag Columns Here to Group (ascending)";
    QTest::newRow("substitution compares exactly")
        << QStringList{"drag columns here to group"} << QList<int>{1} << true
        << "drag columns here to group (ascending)";
    QTest::newRow("no keys read None") << QStringList{} << QList<int>{} << true << "None";
    QTest::newRow("an order other than 1 reads descending") << QStringList{"zip"} << QList<int>{0} << false
                                                            << "zip (descending)";
}

void tst_ViewRules::keysSummary()
{
    QFETCH(QStringList, captions);
    QFETCH(QList<int>, orders);
    QFETCH(bool, substitute);
    QFETCH(QString, text);
    std::vector<SummaryKey> keys;
    for (int i = 0; i < captions.size(); ++i)
        keys.push_back({captions.at(i), orders.at(i)});
    QCOMPARE(velmora::viewrules::keysSummary(keys, substitute), text);
}

void tst_ViewRules::formatSummary()
{
    QCOMPARE(velmora::viewrules::formatSummary(0), QStringLiteral("Fonts and other Table View settings"));
    QCOMPARE(velmora::viewrules::formatSummary(1), QStringLiteral("Fonts and other Card View settings"));
    QCOMPARE(velmora::viewrules::formatSummary(2), QStringLiteral("Fonts and other Table View settings"));
}

void tst_ViewRules::roundHalfEven_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<qlonglong>("rounded");
    QTest::newRow("8.5 to 8") << 8.5 << 8LL;
    QTest::newRow("9.5 to 10") << 9.5 << 10LL;
    QTest::newRow("10.4 to 10") << 10.4 << 10LL;
    QTest::newRow("10.6 to 11") << 10.6 << 11LL;
    QTest::newRow("whole stays") << 12.0 << 12LL;
    QTest::newRow("-2.5 to -2") << -2.5 << -2LL;
    QTest::newRow("-3.5 to -4") << -3.5 << -4LL;
}

void tst_ViewRules::roundHalfEven()
{
    QFETCH(double, value);
    QFETCH(qlonglong, rounded);
    QCOMPARE(velmora::viewrules::roundHalfEven(value), rounded);
}

void tst_ViewRules::fontCaption_data()
{
    QTest::addColumn<double>("size");
    QTest::addColumn<QString>("family");
    QTest::addColumn<QString>("caption");
    QTest::newRow("8 pt. Tahoma") << 8.0 << "Tahoma" << "8 pt. Tahoma";
    QTest::newRow("8.5 rounds down to even") << 8.5 << "Tahoma" << "8 pt. Tahoma";
    QTest::newRow("9.5 rounds up to even") << 9.5 << "Arial" << "10 pt. Arial";
    QTest::newRow("11.25 rounds down") << 11.25 << "DejaVu Sans" << "11 pt. DejaVu Sans";
}

void tst_ViewRules::fontCaption()
{
    QFETCH(double, size);
    QFETCH(QString, family);
    QFETCH(QString, caption);
    QCOMPARE(velmora::viewrules::fontCaption(size, family), caption);
}

void tst_ViewRules::twipsPerPixel_data()
{
    QTest::addColumn<double>("dpi");
    QTest::addColumn<double>("twips");
    QTest::newRow("96 dpi") << 96.0 << 15.0;
    QTest::newRow("120 dpi") << 120.0 << 12.0;
    QTest::newRow("144 dpi") << 144.0 << 10.0;
    QTest::newRow("no dpi known") << 0.0 << 15.0;
}

void tst_ViewRules::twipsPerPixel()
{
    QFETCH(double, dpi);
    QFETCH(double, twips);
    QCOMPARE(twipsPerPixelForDpi(dpi), twips);
}

void tst_ViewRules::pixelText_data()
{
    QTest::addColumn<int>("twips");
    QTest::addColumn<double>("perPixel");
    QTest::addColumn<QString>("text");
    QTest::newRow("3000 twips at 15") << 3000 << 15.0 << "200";
    QTest::newRow("3000 twips at 12") << 3000 << 12.0 << "250";
    QTest::newRow("a fraction keeps its decimals") << 3010 << 15.0 << "200.666666666667";
}

void tst_ViewRules::pixelText()
{
    QFETCH(int, twips);
    QFETCH(double, perPixel);
    QFETCH(QString, text);
    QCOMPARE(velmora::viewrules::pixelText(twips, perPixel), text);
}

void tst_ViewRules::twipsFromPixelText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("perPixel");
    QTest::addColumn<int>("twips");   // -1: ignored

    QTest::newRow("200 pixels at 15") << "200" << 15.0 << 3000;
    QTest::newRow("spaces around") << "  200 " << 15.0 << 3000;
    QTest::newRow("decimal pixels round to the nearest twip") << "200.8" << 15.0 << 3012;
    QTest::newRow("half twip rounds to even") << "0.1" << 15.0 << 2;
    QTest::newRow("letters are ignored") << "wide" << 15.0 << -1;
    QTest::newRow("number with letters is ignored") << "200px" << 15.0 << -1;
    QTest::newRow("empty is ignored") << "" << 15.0 << -1;
    QTest::newRow("zero is ignored") << "0" << 15.0 << -1;
    QTest::newRow("negative is ignored") << "-20" << 15.0 << -1;
    QTest::newRow("too large is ignored") << "1e12" << 15.0 << -1;
}

void tst_ViewRules::twipsFromPixelText()
{
    QFETCH(QString, text);
    QFETCH(double, perPixel);
    QFETCH(int, twips);
    const std::optional<int> got = velmora::viewrules::twipsFromPixelText(text, perPixel);
    QCOMPARE(got.value_or(-1), twips);
}

void tst_ViewRules::cardWidthRoundTrip()
{
    for (double perPixel : {15.0, 12.0, 10.0, 1440.0 / 110.0}) {
        for (int twips : {1, 14, 15, 3000, 3010, 4321, 20000}) {
            const QString shown = velmora::viewrules::pixelText(twips, perPixel);
            QCOMPARE(velmora::viewrules::twipsFromPixelText(shown, perPixel).value_or(-1), twips);
        }
    }
}

void tst_ViewRules::gridLineEntry_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("style");
    QTest::addColumn<int>("entry");
    QTest::newRow("mode 0 whatever the style") << 0 << 1 << 0;
    QTest::newRow("small dots") << -1 << 2 << 1;
    QTest::newRow("dashes") << 2 << 1 << 2;
    QTest::newRow("solid") << -1 << 0 << 3;
    QTest::newRow("unknown style selects nothing") << -1 << 7 << -1;
}

void tst_ViewRules::gridLineEntry()
{
    QFETCH(int, mode);
    QFETCH(int, style);
    QFETCH(int, entry);
    QCOMPARE(gridLineEntryFor(mode, style), entry);
}

void tst_ViewRules::gridLinesFromEntry_data()
{
    QTest::addColumn<int>("entry");
    QTest::addColumn<GridLineSetting>("current");
    QTest::addColumn<GridLineSetting>("written");
    QTest::newRow("no grid lines keeps the style") << 0 << GridLineSetting{-1, 1} << GridLineSetting{0, 1};
    QTest::newRow("mode 0 opened and kept") << 0 << GridLineSetting{0, 2} << GridLineSetting{0, 2};
    QTest::newRow("style from no lines sets -1") << 3 << GridLineSetting{0, 1} << GridLineSetting{-1, 0};
    QTest::newRow("mode 2 is kept") << 1 << GridLineSetting{2, 0} << GridLineSetting{2, 2};
    QTest::newRow("mode -1 is kept") << 2 << GridLineSetting{-1, 0} << GridLineSetting{-1, 1};
    QTest::newRow("nothing selected keeps both") << -1 << GridLineSetting{-1, 7} << GridLineSetting{-1, 7};
}

void tst_ViewRules::gridLinesFromEntry()
{
    QFETCH(int, entry);
    QFETCH(GridLineSetting, current);
    QFETCH(GridLineSetting, written);
    QCOMPARE(velmora::viewrules::gridLinesFromEntry(entry, current), written);
}

QTEST_APPLESS_MAIN(tst_ViewRules)
#include "tst_viewrules.moc"
