#include "dialogtesting.h"

#include "dialogs/frmCardView.h"
#include "dialogs/frmGroupBy.h"
#include "dialogs/frmShowfields.h"
#include "dialogs/frmSort.h"
#include "dialogs/frmSummary.h"
#include "dialogs/frmTableview.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace velmora;
using namespace velmora::test;

namespace {

QString line(QWidget *dlg, const char *name)
{
    return child<QLabel>(dlg, QString::fromLatin1(name))->text();
}

QPushButton *button(QWidget *dlg, const char *name)
{
    return child<QPushButton>(dlg, QString::fromLatin1(name));
}

// Only these columns shown, in column-index order as the summary lists them.
void showOnly(ReportGrid &grid, std::initializer_list<int> columns)
{
    for (int c = 1; c <= grid.columnCount(); ++c)
        grid.column(c)->setVisible(std::find(columns.begin(), columns.end(), c) != columns.end());
}

} // namespace

class tst_Summary : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void controlsAndCaptions();
    void lines_data();
    void lines();
    void emptyCaptionGivesEmptyItem();
    void cardViewLineAndDisabledGroupBy();
    void formatOpensTheDialogOfTheView_data();
    void formatOpensTheDialogOfTheView();
    void cancelledChooserLeavesItsLine();
    void acceptedChooserRefreshesItsLine();
    void cancelledGroupAndSortStillRebuild();
    void groupByAppliesAndRefreshes();
    void summaryIsDeleted();

private:
    std::unique_ptr<ReportGrid> grid;
};

void tst_Summary::init()
{
    grid = customerGrid();
}

void tst_Summary::cleanup()
{
    grid.reset();
    QVERIFY(!QApplication::activeModalWidget());
}

void tst_Summary::controlsAndCaptions()
{
    auto opened = whenOpen<frmSummary>([](frmSummary *dlg) {
        QCOMPARE(dlg->windowTitle(), QStringLiteral("View Summary"));
        QCOMPARE(dlg->font().family(), QStringLiteral("Tahoma"));
        QCOMPARE(dlg->findChild<QGroupBox *>()->title(), QStringLiteral("Description"));
        QCOMPARE(button(dlg, "cmdFields")->text(), QStringLiteral("Fields..."));
        QCOMPARE(button(dlg, "cmdGroup")->text(), QStringLiteral("Group By..."));
        QCOMPARE(button(dlg, "cmdSort")->text(), QStringLiteral("Sort..."));
        QCOMPARE(button(dlg, "cmdFormat")->text(), QStringLiteral("Format..."));
        QCOMPARE(button(dlg, "cmdOK")->text(), QStringLiteral("OK"));
        QVERIFY(button(dlg, "cmdGroup")->isEnabled());
        QCOMPARE(line(dlg, "lblformat"), QStringLiteral("Fonts and other Table View settings"));
        click(dlg, "cmdOK");
    });
    frmSummary::ShowSummary(*grid);
    QVERIFY(*opened);
}

void tst_Summary::lines_data()
{
    QTest::addColumn<QList<int>>("shownColumns");
    QTest::addColumn<QList<int>>("groups");   // column, order pairs
    QTest::addColumn<QList<int>>("sorts");
    QTest::addColumn<QString>("fields");
    QTest::addColumn<QString>("grouping");
    QTest::addColumn<QString>("sorting");

    QTest::newRow("totals then city descending")
        << QList<int>{Name, Phone} << QList<int>{Totals, 1, City, -1} << QList<int>{}
        << "name, phone" << "Report Totals (ascending), city (descending)" << "None";
    QTest::newRow("no groups or sort keys read None")
        << QList<int>{Account, Name, City} << QList<int>{} << QList<int>{}
        << "account, name, city" << "None" << "None";
    QTest::newRow("sort keys in list order")
        << QList<int>{Zip} << QList<int>{State, 1} << QList<int>{Name, -1, Account, 1}
        << "zip" << "state (ascending)" << "name (descending), account (ascending)";
    QTest::newRow("no visible column leaves the fields line empty")
        << QList<int>{} << QList<int>{} << QList<int>{City, 1} << "" << "None" << "city (ascending)";
}

void tst_Summary::lines()
{
    QFETCH(QList<int>, shownColumns);
    QFETCH(QList<int>, groups);
    QFETCH(QList<int>, sorts);
    QFETCH(QString, fields);
    QFETCH(QString, grouping);
    QFETCH(QString, sorting);
    for (int c = 1; c <= grid->columnCount(); ++c)
        grid->column(c)->setVisible(shownColumns.contains(c));
    for (int i = 0; i + 1 < groups.size(); i += 2)
        grid->groups().add(groups.at(i), groups.at(i + 1));
    for (int i = 0; i + 1 < sorts.size(); i += 2)
        grid->sortKeys().add(sorts.at(i), sorts.at(i + 1));
    grid->regroup();

    auto opened = whenOpen<frmSummary>([=](frmSummary *dlg) {
        QCOMPARE(line(dlg, "lblFields"), fields);
        QCOMPARE(line(dlg, "lblGroups"), grouping);
        QCOMPARE(line(dlg, "lblSort"), sorting);
        click(dlg, "cmdOK");
    });
    frmSummary::ShowSummary(*grid);
    QVERIFY(*opened);
}

void tst_Summary::emptyCaptionGivesEmptyItem()
{
    showOnly(*grid, {Name, City, Phone});
    grid->column(City)->setCaption(QString());
    auto opened = whenOpen<frmSummary>([](frmSummary *dlg) {
        QCOMPARE(line(dlg, "lblFields"), QStringLiteral("name, , phone"));
        click(dlg, "cmdOK");
    });
    frmSummary::ShowSummary(*grid);
    QVERIFY(*opened);
}

void tst_Summary::cardViewLineAndDisabledGroupBy()
{
    grid->setViewMode(1);
    auto opened = whenOpen<frmSummary>([](frmSummary *dlg) {
        QCOMPARE(line(dlg, "lblformat"), QStringLiteral("Fonts and other Card View settings"));
        QVERIFY(!button(dlg, "cmdGroup")->isEnabled());
        QVERIFY(button(dlg, "cmdSort")->isEnabled());
        QVERIFY(button(dlg, "cmdFormat")->isEnabled());
        click(dlg, "cmdOK");
    });
    frmSummary::ShowSummary(*grid);
    QVERIFY(*opened);
}

void tst_Summary::formatOpensTheDialogOfTheView_data()
{
    QTest::addColumn<int>("viewMode");
    QTest::newRow("table view") << 0;
    QTest::newRow("card view") << 1;
}

void tst_Summary::formatOpensTheDialogOfTheView()
{
    QFETCH(int, viewMode);
    grid->setViewMode(viewMode);
    auto opened = whenOpen<frmSummary>([viewMode](frmSummary *dlg) {
        const QString before = line(dlg, "lblformat");
        QString title;
        auto inner = whenOpen<QDialog>([&title](QDialog *format) {
            title = format->windowTitle();
            QVERIFY(qobject_cast<frmTableview *>(format) || qobject_cast<frmCardView *>(format));
            click(format, "cmdOK");
        });
        click(dlg, "cmdFormat");
        QVERIFY(*inner);
        QCOMPARE(title, viewMode == 1 ? QStringLiteral("Format Card View") : QStringLiteral("Format Table View"));
        QCOMPARE(line(dlg, "lblformat"), before);
        click(dlg, "cmdOK");
    });
    frmSummary::ShowSummary(*grid);
    QVERIFY(*opened);
}

void tst_Summary::cancelledChooserLeavesItsLine()
{
    showOnly(*grid, {Name, Phone});
    auto opened = whenOpen<frmSummary>([this](frmSummary *dlg) {
        QCOMPARE(line(dlg, "lblFields"), QStringLiteral("name, phone"));
        // The grid changes behind the summary's back; only an accepted chooser rebuilds the line.
        grid->column(City)->setVisible(true);
        auto inner = whenOpen<frmShowfields>([](frmShowfields *chooser) { click(chooser, "cmdCancel"); });
        click(dlg, "cmdFields");
        QVERIFY(*inner);
        QCOMPARE(line(dlg, "lblFields"), QStringLiteral("name, phone"));
        click(dlg, "cmdOK");
    });
    frmSummary::ShowSummary(*grid);
    QVERIFY(*opened);
}

void tst_Summary::acceptedChooserRefreshesItsLine()
{
    showOnly(*grid, {Name, Phone});
    auto opened = whenOpen<frmSummary>([](frmSummary *dlg) {
        auto inner = whenOpen<frmShowfields>([](frmShowfields *chooser) {
            QVERIFY(clickEntry(chooser->findChild<QListWidget *>(QStringLiteral("lstAvail")), QStringLiteral("city")));
            click(chooser, "cmdAdd");
            click(chooser, "cmdOK");
        });
        click(dlg, "cmdFields");
        QVERIFY(*inner);
        QCOMPARE(line(dlg, "lblFields"), QStringLiteral("name, city, phone"));
        click(dlg, "cmdOK");
    });
    frmSummary::ShowSummary(*grid);
    QVERIFY(*opened);
    QVERIFY(grid->column(City)->visible());
}

void tst_Summary::cancelledGroupAndSortStillRebuild()
{
    auto opened = whenOpen<frmSummary>([this](frmSummary *dlg) {
        QCOMPARE(line(dlg, "lblGroups"), QStringLiteral("None"));
        QCOMPARE(line(dlg, "lblSort"), QStringLiteral("None"));
        grid->groups().add(State, -1);
        grid->sortKeys().add(Zip, 1);
        auto groupDialog = whenOpen<frmGroupBy>([](frmGroupBy *g) { click(g, "cmdCancel"); });
        click(dlg, "cmdGroup");
        QVERIFY(*groupDialog);
        QCOMPARE(line(dlg, "lblGroups"), QStringLiteral("state (descending)"));
        QCOMPARE(line(dlg, "lblSort"), QStringLiteral("None"));
        auto sortDialog = whenOpen<frmSort>([](frmSort *s) { click(s, "cmdCancel"); });
        click(dlg, "cmdSort");
        QVERIFY(*sortDialog);
        QCOMPARE(line(dlg, "lblSort"), QStringLiteral("zip (ascending)"));
        click(dlg, "cmdOK");
    });
    frmSummary::ShowSummary(*grid);
    QVERIFY(*opened);
}

void tst_Summary::groupByAppliesAndRefreshes()
{
    grid->groups().add(Totals, 1);
    grid->regroup();
    auto opened = whenOpen<frmSummary>([](frmSummary *dlg) {
        QCOMPARE(line(dlg, "lblGroups"), QStringLiteral("Report Totals (ascending)"));
        auto groupDialog = whenOpen<frmGroupBy>([](frmGroupBy *g) {
            QVERIFY(choose(g->findChild<QComboBox *>(QStringLiteral("cboGroups(1)")), QStringLiteral("city")));
            g->findChild<QRadioButton *>(QStringLiteral("optOrder(3)"))->click();
            click(g, "cmdOK");
        });
        click(dlg, "cmdGroup");
        QVERIFY(*groupDialog);
        QCOMPARE(line(dlg, "lblGroups"), QStringLiteral("Report Totals (ascending), city (descending)"));
        click(dlg, "cmdOK");
    });
    frmSummary::ShowSummary(*grid);
    QVERIFY(*opened);
    QCOMPARE(grid->groups().count(), 2);
}

void tst_Summary::summaryIsDeleted()
{
    QWidget owner;
    auto opened = whenOpen<frmSummary>([](frmSummary *dlg) { dlg->close(); });
    frmSummary::ShowSummary(*grid, &owner);
    QVERIFY(*opened);
    QVERIFY(owner.findChildren<QDialog *>().isEmpty());
}

QTEST_MAIN(tst_Summary)
#include "tst_summary.moc"
