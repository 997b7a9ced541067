#include "tst_frmmain_fixture.h"

#include "core/reportrequest.h"
#include "grid/groupbybox.h"
#include "grid/reportgrid.h"
#include "platform/helpwindow.h"
#include "viewer/commandbar.h"
#include "viewer/frmMain.h"
#include "viewer/frmPrintPreview.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <algorithm>
#include <functional>
#include <memory>

using namespace velmora;

namespace {

// Answers every modal window that comes up while it is alive: notes its name and closes it, so a
// command that opens a dialog returns.
class ModalCatcher : public QObject {
public:
    ModalCatcher()
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            QWidget *modal = QApplication::activeModalWidget();
            if (!modal)
                return;
            m_seen << (modal->objectName().isEmpty() ? QString::fromLatin1(modal->metaObject()->className())
                                                     : modal->objectName());
            if (auto *dialog = qobject_cast<QDialog *>(modal))
                dialog->reject();
            else
                modal->close();
        });
        m_timer.start(10);
    }
    QStringList seen() const { return m_seen; }

private:
    QTimer m_timer;
    QStringList m_seen;
};

// A point of the grid (in its coordinates) for which `wanted` holds, scanning the grid.
QPoint findPoint(ReportGrid *grid, const std::function<bool(QPoint)> &wanted)
{
    for (int y = 1; y < grid->height(); y += 2) {
        for (int x = 2; x < grid->width(); x += 4) {
            const QPoint p(x, y);
            if (wanted(p))
                return p;
        }
    }
    return {-1, -1};
}

// Sends a click at grid point p to the widget that is really there, as the mouse would.
void clickGrid(ReportGrid *grid, QPoint p, Qt::MouseButton button = Qt::LeftButton)
{
    QWidget *target = grid->childAt(p);
    QVERIFY(target);
    QTest::mouseClick(target, button, {}, target->mapFrom(grid, p));
}

void doubleClickGrid(ReportGrid *grid, QPoint p)
{
    QWidget *target = grid->childAt(p);
    QVERIFY(target);
    const QPoint local = target->mapFrom(grid, p);
    QTest::mousePress(target, Qt::LeftButton, {}, local);
    QTest::mouseRelease(target, Qt::LeftButton, {}, local);
    QTest::mouseDClick(target, Qt::LeftButton, {}, local);
}

// "name|text", with " [x]" or " [ ]" for a check mark and " (hidden)" for an entry not shown.
QStringList menuEntries(const QList<QAction *> &actions)
{
    QStringList out;
    for (QAction *a : actions)
        out << a->objectName() + QLatin1Char('|') + (a->isSeparator() ? QStringLiteral("-") : a->text())
                + (a->isCheckable() ? (a->isChecked() ? QStringLiteral(" [x]") : QStringLiteral(" [ ]")) : QString())
                + (a->isVisible() ? QString() : QStringLiteral(" (hidden)"));
    return out;
}

} // namespace

class tst_frmMain : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    // The window.
    void captionAndControlsInOrder();
    void menuTree_data();
    void menuTree();
    void openingFileEnablesThePrintEntries();
    void commandBarPanels();
    void resizeRule_data();
    void resizeRule();

    // Commands.
    void command_data();
    void command();
    void toggles_data();
    void toggles();
    void helpOpensTopic4();
    void closingUnloadsEveryWindowOfTheComponent_data();
    void closingUnloadsEveryWindowOfTheComponent();
    void escapeInACellEditorCancelsTheEditFirst();

    // Grid events.
    void headerClicks_data();
    void headerClicks();
    void rightClickPopupByHitArea_data();
    void rightClickPopupByHitArea();
    void groupsExpandAndCollapse();
    void typeToJump_data();
    void typeToJump();
    void typeToJumpSkipsGroupRows();
    void customerSearchDeliversTheAccount_data();
    void customerSearchDeliversTheAccount();
    void dragCarriesTheSelectedRowsAsText();

private:
    int panelOf(const QString &tag) const;
    void clickPanel(int panel);
    QPoint headerPoint(int column) const;
    QPoint groupRowPoint(int position) const;
    QString observe() const;
    void groupByStore();

    QPointer<frmMain> viewer;
    std::unique_ptr<QTemporaryDir> dir;
};

void tst_frmMain::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    ReportRequest &r = request();
    r.ReportKey.clear();
    r.ReportTitle = QStringLiteral("Inventory Report");
    r.Datapath = dir->path() + QLatin1Char('/');
    r.LocalPath = dir->path() + QLatin1Char('/');
    r.LayoutName.clear();
    r.SearchResultTarget = nullptr;

    viewer = new frmMain;
    viewer->Jgrid->setTable(test::sampleTable());
    // What the load step does to the view-style menu.
    viewer->MnuViewStyle(0)->setText(QStringLiteral("Grid View"));
    viewer->MnuViewStyle(0)->setChecked(true);
    viewer->addMnuViewStyle()->setText(QStringLiteral("Card View"));
    viewer->resize(900, 600);
    viewer->show();
    QVERIFY(QTest::qWaitForWindowExposed(viewer));
    viewer->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(viewer));
}

void tst_frmMain::cleanup()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *menu = qobject_cast<QMenu *>(w))
            menu->hide();
    }
    delete viewer.data();
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (qstrncmp(w->metaObject()->className(), "velmora::", 9) == 0)
            delete w;
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    dir.reset();
}

int tst_frmMain::panelOf(const QString &tag) const
{
    for (int i = 1; i <= viewer->Toolbar->panelCount(); ++i) {
        if (viewer->Toolbar->tag(i) == tag)
            return i;
    }
    return 0;
}

void tst_frmMain::clickPanel(int panel)
{
    QTest::mouseClick(viewer->Toolbar, Qt::LeftButton, {}, viewer->Toolbar->panelRect(panel).center());
}

QPoint tst_frmMain::headerPoint(int column) const
{
    // The middle of the column's header: its edges are the handles that resize columns.
    ReportGrid *g = viewer->Jgrid;
    const QPoint any = findPoint(g, [g, column](QPoint p) {
        return g->hitTest(p) == GridArea::ColumnHeader && g->columnFromPoint(p) == column;
    });
    if (any.x() < 0)
        return any;
    int left = any.x();
    int right = any.x();
    while (right + 1 < g->width() && g->columnFromPoint(QPoint(right + 1, any.y())) == column)
        ++right;
    return {(left + right) / 2, any.y()};
}

QPoint tst_frmMain::groupRowPoint(int position) const
{
    ReportGrid *g = viewer->Jgrid;
    return findPoint(g, [g, position](QPoint p) {
        return g->hitTest(p) == GridArea::GroupRow && g->rowFromPoint(p) == position;
    });
}

QString tst_frmMain::observe() const
{
    ReportGrid *g = viewer->Jgrid;
    const CommandBar *bar = viewer->Toolbar;
    QString menu, groups;
    for (const QAction *a : {viewer->MNUfitcol, viewer->mnugbBox, viewer->MnuViewStyle(0), viewer->MnuViewStyle(1)})
        menu += a->isChecked() ? u'1' : u'0';
    for (int i = 1; i <= g->groups().count(); ++i)
        groups += QString::number(g->groups().item(i).column) + (g->groups().item(i).order == 1 ? u'+' : u'-');
    return QStringLiteral("mode=%1 fit=%2 box=%3 row=%4 p8=%5 p20=%6 p21=%7 preview=%8 viewer=%9 menu=%10 groups=%11")
        .arg(g->viewMode())
        .arg(int(viewer->Jgrid->printerSettings().fitColumnsToPage))
        .arg(int(g->groupByBoxVisible()))
        .arg(g->currentRow())
        .arg(bar->appearance(8))
        .arg(bar->appearance(20))
        .arg(bar->appearance(21))
        .arg(viewer->printPreview() && viewer->printPreview()->isVisible() ? 1 : 0)
        .arg(viewer->isVisible() ? 1 : 0)
        .arg(menu, groups);
}

void tst_frmMain::groupByStore()
{
    viewer->Jgrid->groups().add(2, 1);
    viewer->Jgrid->regroup();
    QCOMPARE(viewer->Jgrid->groups().count(), 1);
    QCOMPARE(viewer->Jgrid->row(1).type, GridRowType::GroupHeader);
}

// ---- The window -------------------------------------------------------------------------------

void tst_frmMain::captionAndControlsInOrder()
{
    QCOMPARE(viewer->windowTitle(), QStringLiteral("Velmora Results"));
    QCOMPARE(viewer->Esc->text(), QStringLiteral("Esc - Exit"));
    QCOMPARE(viewer->Jgrid->objectName(), QStringLiteral("Jgrid"));
    QCOMPARE(viewer->Toolbar->objectName(), QStringLiteral("Toolbar"));
    QCOMPARE(viewer->Esc->objectName(), QStringLiteral("Esc"));
    QCOMPARE(viewer->findChild<QToolBar *>(QStringLiteral("tlbMain")), viewer->tlbMain);

    // tlbMain, the menus, Jgrid, Toolbar, Esc: creation order is the order of the children.
    const QObjectList top = viewer->children();
    const auto at = [&top](const QObject *o) { return top.indexOf(const_cast<QObject *>(o)); };
    QVERIFY(at(viewer->tlbMain) >= 0);
    QVERIFY(at(viewer->tlbMain) < at(viewer->menuBar()));
    const QObjectList client = viewer->Jgrid->parentWidget()->children();
    QVERIFY(client.indexOf(viewer->Jgrid) < client.indexOf(viewer->Toolbar));
    QVERIFY(client.indexOf(viewer->Toolbar) < client.indexOf(viewer->Esc));
    QVERIFY(at(viewer->menuBar()) < at(viewer->Jgrid->parentWidget()));
}

void tst_frmMain::menuTree_data()
{
    QTest::addColumn<QString>("menu");   // empty: the menu bar
    QTest::addColumn<QStringList>("entries");

    QTest::newRow("menu bar shows only the three menus")
        << "" << QStringList{"mnuFile|&File", "mnuView|&View", "mnuHelp|&Help",
                             "MNUColumnHeader|Remove this Column (hidden)", "MNUexpandPU|Expand (hidden)"};
    QTest::newRow("File") << "mnuFile"
                          << QStringList{"MNUopen|&Open Layout",
                                         "MNUsave|&Save Layout",
                                         "MNUsaveAS|Save &AS",
                                         "mnuPageSetup|Page Setup",
                                         "MNUfitcol|Fit Columns to page when printing [ ]",
                                         "mnuPrintPreview|Print Pre&view",
                                         "mnuPrint(0)|&Print...",
                                         "mnuPrint(1)|Print Selected Items...",
                                         "MNUexportXL|Export to Excel Spreadsheet",
                                         "MNUexportHTML|Export to HTML",
                                         "MNUexportTXT|Export to Text File",
                                         "MNUexportEmail|&Export and E-Mail",
                                         "mnuSepPrint|-",
                                         "mnuExit|E&xit"};
    QTest::newRow("View") << "mnuView"
                          << QStringList{"mnuCurrentView|CurrentView",
                                         "mnuViewSep|-",
                                         "mnushow|Show Fields...",
                                         "mnusort|Sort...",
                                         "mnugroup|Group By...",
                                         "mnuformat|Format View...",
                                         "mnuEXCol|Expand/Collapse Groups",
                                         "mnuSum|View Summary...",
                                         "mnuViewSep1|-",
                                         "mnugbBox|Group By Box [x]"};
    QTest::newRow("CurrentView after the load step")
        << "mnuCurrentView" << QStringList{"MnuViewStyle(0)|Grid View [x]", "MnuViewStyle(1)|Card View [ ]"};
    QTest::newRow("Expand/Collapse Groups") << "mnuEXCol"
                                            << QStringList{"mnucolall|Collapse All", "mnuexpall|Expand All"};
    QTest::newRow("column header pop-up") << "MNUColumnHeader" << QStringList{"MNUcolumnRemove|Remove Column"};
    QTest::newRow("group row pop-up") << "MNUexpandPU"
                                      << QStringList{"MNUexpand|Expand this Group",
                                                     "MNUcollapse|Collapse this Group"};
}

void tst_frmMain::menuTree()
{
    QFETCH(QString, menu);
    QFETCH(QStringList, entries);
    auto *m = viewer->findChild<QMenu *>(menu);
    QVERIFY(menu.isEmpty() || m);
    QCOMPARE(menuEntries(menu.isEmpty() ? viewer->menuBar()->actions() : m->actions()), entries);
}

void tst_frmMain::openingFileEnablesThePrintEntries()
{
    const QStringList names{"mnuPrintPreview", "mnuPrint(0)", "mnuPrint(1)"};
    for (const QString &name : names)
        viewer->findChild<QAction *>(name)->setEnabled(false);
    viewer->mnuFile->popup(viewer->mapToGlobal(QPoint(10, 10)));
    QTRY_VERIFY(viewer->mnuFile->isVisible());
    for (const QString &name : names)
        QVERIFY2(viewer->findChild<QAction *>(name)->isEnabled(), qPrintable(name));
    viewer->mnuFile->hide();
}

void tst_frmMain::commandBarPanels()
{
    const QStringList expected{"", "Open|Open Saved Layout", "Save|Save Layout", "SaveAs|Save Layout AS", "",
                               "Print|Print", "PrintPreview|Print Preview",
                               "FitCols|Shrink Columns to fit on page when printing", "",
                               "ExportXLS|Export to Excel Spreadsheet", "ExportHTML|Export to HTML",
                               "ExportTXT|Export to Text file", "ExportEmail|Export and attach to E-Mail", "",
                               "Summary|View Summary...", "Fields|Choose Fields", "Group|Group By", "Sort|Sort By", "",
                               "ShowGroupByBox|Show Group By Box", "Views|Turn on/off Card view", "",
                               "MoveFirst|Move First", "MovePrevious|Move Previous", "MoveNext|Move Next",
                               "MoveLast|Move Last"};
    const CommandBar *bar = viewer->Toolbar;
    QStringList panels;
    for (int i = 1; i <= bar->panelCount(); ++i) {
        panels << (bar->tag(i).isEmpty() ? QString() : bar->tag(i) + u'|' + bar->toolTip(i));
        QCOMPARE(bar->icon(i).isNull(), bar->tag(i).isEmpty());
        QCOMPARE(bar->appearance(i), 5);
    }
    QCOMPARE(panels, expected);
    // The command bar is the one the user clicks; the button bar behind it only carries the keys.
    QVERIFY(!viewer->tlbMain->isVisible());
    QStringList keys;
    for (QAction *a : viewer->tlbMain->actions())
        keys << a->data().toString();
    QStringList tags;
    for (const QString &p : panels)
        if (!p.isEmpty())
            tags << p.section(u'|', 0, 0);
    QCOMPARE(keys, tags);
}

void tst_frmMain::resizeRule_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("usual window") << QSize(900, 600);
    QTest::newRow("small window") << QSize(420, 260);
    QTest::newRow("wide window") << QSize(1600, 500);
}

void tst_frmMain::resizeRule()
{
    QFETCH(QSize, size);
    viewer->resize(size);
    QTRY_COMPARE(viewer->size(), size);
    const QWidget *client = viewer->Jgrid->parentWidget();
    const double twipsPerPixel = 1440.0 / viewer->logicalDpiX();
    const int left = qRound(60 / twipsPerPixel);
    const int less = qRound(90 / twipsPerPixel);
    const QRect expected(left, viewer->Toolbar->height(), client->width() - less,
                         client->height() - viewer->Toolbar->height());
    QTRY_COMPARE(viewer->Jgrid->geometry(), expected);
    QCOMPARE(viewer->Toolbar->geometry().top(), 0);
    QVERIFY(viewer->Esc->isVisible());
    QVERIFY(!viewer->Esc->geometry().intersects(viewer->Jgrid->geometry()));
}

// ---- Commands ---------------------------------------------------------------------------------

static const char kBase[] = "mode=0 fit=0 box=1 row=3 p8=5 p20=5 p21=5 preview=0 viewer=1 menu=0110 groups=";

void tst_frmMain::command_data()
{
    QTest::addColumn<QString>("how");        // "panel N", "key K" (run as given) or "menu <action>"
    QTest::addColumn<int>("viewMode");
    QTest::addColumn<bool>("gridHidden");
    QTest::addColumn<QString>("state");      // empty: not compared
    QTest::addColumn<QString>("modal");      // the windows that came up

    const QString base = QString::fromLatin1(kBase);
    const auto with = [&base](std::initializer_list<std::pair<const char *, const char *>> changes) {
        QString s = base;
        for (auto [from, to] : changes)
            s.replace(QLatin1String(from), QLatin1String(to));
        return s;
    };
    QTest::newRow("panel 1 is a spacer") << "panel 1" << 0 << false << base << "";
    QTest::newRow("Open asks for a layout") << "panel 2" << 0 << false << base << "FileDLG";
    QTest::newRow("Save without a name asks for one") << "panel 3" << 0 << false << base << "FileDLG";
    QTest::newRow("SaveAs asks for a name") << "panel 4" << 0 << false << base << "FileDLG";
    QTest::newRow("Print shows the print dialog") << "panel 6" << 0 << false << base << "dlgPrint";
    QTest::newRow("PrintPreview swaps the windows")
        << "panel 7" << 0 << false << with({{"preview=0 viewer=1", "preview=1 viewer=0"}}) << "";
    QTest::newRow("FitCols") << "panel 8" << 0 << false
                             << with({{"fit=0", "fit=1"}, {"p8=5", "p8=10"}, {"menu=0", "menu=1"}}) << "";
    // Panels 10 to 12 write files; the export tests drive them.
    QTest::newRow("ExportEmail asks for the kind of file") << "panel 13" << 0 << false << base << "frmExportOptions";
    QTest::newRow("Summary") << "panel 15" << 0 << false << base << "frmSummary";
    QTest::newRow("Fields") << "panel 16" << 0 << false << base << "frmShowfields";
    QTest::newRow("Group") << "panel 17" << 0 << false << base << "frmGroupBy";
    QTest::newRow("Sort") << "panel 18" << 0 << false << base << "frmSort";
    QTest::newRow("ShowGroupByBox hides the box")
        << "panel 20" << 0 << false << with({{"box=1", "box=0"}, {"p20=5", "p20=10"}, {"menu=01", "menu=00"}}) << "";
    QTest::newRow("Views turns card view on")
        << "panel 21" << 0 << false << with({{"mode=0", "mode=1"}, {"p21=5", "p21=10"}, {"menu=0110", "menu=0101"}})
        << "";
    QTest::newRow("MoveFirst") << "panel 23" << 0 << false << with({{"row=3", "row=1"}}) << "";
    QTest::newRow("MovePrevious") << "panel 24" << 0 << false << with({{"row=3", "row=2"}}) << "";
    QTest::newRow("MoveNext") << "panel 25" << 0 << false << with({{"row=3", "row=4"}}) << "";
    QTest::newRow("MoveLast") << "panel 26" << 0 << false << with({{"row=3", "row=8"}}) << "";
    QTest::newRow("key views in lower case")
        << "key views" << 0 << false << with({{"mode=0", "mode=1"}, {"p21=5", "p21=10"}, {"menu=0110", "menu=0101"}})
        << "";
    QTest::newRow("key FITCOLS in capitals")
        << "key FITCOLS" << 0 << false << with({{"fit=0", "fit=1"}, {"p8=5", "p8=10"}, {"menu=0", "menu=1"}}) << "";
    QTest::newRow("key Edit does nothing") << "key Edit" << 0 << false << base << "";
    QTest::newRow("an unknown key does nothing") << "key Zoom" << 0 << false << base << "";
    QTest::newRow("an empty key does nothing") << "key " << 0 << false << base << "";
    QTest::newRow("key Group needs the grid") << "key Group" << 0 << true << "" << "";
    QTest::newRow("key Sort needs the grid") << "key Sort" << 0 << true << "" << "";
    QTest::newRow("key Fields does not") << "key Fields" << 0 << true << "" << "frmShowfields";
    QTest::newRow("key Summary does not") << "key Summary" << 0 << true << "" << "frmSummary";
    QTest::newRow("Show Fields") << "menu mnushow" << 0 << false << "" << "frmShowfields";
    QTest::newRow("Show Fields, grid hidden") << "menu mnushow" << 0 << true << "" << "";
    QTest::newRow("Sort, grid hidden") << "menu mnusort" << 0 << true << "" << "";
    QTest::newRow("Group By") << "menu mnugroup" << 0 << false << "" << "frmGroupBy";
    QTest::newRow("Group By, grid hidden") << "menu mnugroup" << 0 << true << "" << "";
    QTest::newRow("Format View in table view") << "menu mnuformat" << 0 << false << "" << "frmTableview";
    QTest::newRow("Format View in card view") << "menu mnuformat" << 1 << false << "" << "frmCardView";
    QTest::newRow("Format View, grid hidden") << "menu mnuformat" << 0 << true << "" << "";
    QTest::newRow("View Summary") << "menu mnuSum" << 0 << false << "" << "frmSummary";
    QTest::newRow("Open Layout") << "menu MNUopen" << 0 << false << "" << "FileDLG";
    QTest::newRow("Save AS") << "menu MNUsaveAS" << 0 << false << "" << "FileDLG";
    QTest::newRow("Print Selected Items") << "menu mnuPrint(1)" << 0 << false << "" << "dlgPrint";
    QTest::newRow("Export and E-Mail asks for the kind of file")
        << "menu MNUexportEmail" << 0 << false << "" << "frmExportOptions";
}

void tst_frmMain::command()
{
    QFETCH(QString, how);
    QFETCH(int, viewMode);
    QFETCH(bool, gridHidden);
    QFETCH(QString, state);
    QFETCH(QString, modal);
    viewer->Jgrid->setViewMode(viewMode);
    viewer->Jgrid->setCurrentRow(3);
    if (gridHidden)
        viewer->Jgrid->hide();
    QCOMPARE(observe(), QString::fromLatin1(kBase).replace("mode=0", QStringLiteral("mode=%1").arg(viewMode)));
    const QString what = how.section(u' ', 1);
    QStringList seen;
    {
        ModalCatcher catcher;
        if (how.startsWith(u"panel")) {
            clickPanel(what.toInt());
        } else if (how.startsWith(u"key")) {
            viewer->runCommand(what, 0);
        } else {
            auto *action = viewer->findChild<QAction *>(what);
            QVERIFY(action);
            action->trigger();
        }
        seen = catcher.seen();
    }
    QCOMPARE(seen.join(QLatin1Char(',')), modal);
    if (!state.isEmpty())
        QCOMPARE(observe(), state);
    if (how.startsWith(u"panel") && what.toInt() > 22)
        QVERIFY(viewer->Jgrid->hasFocus() || viewer->Jgrid->isAncestorOf(QApplication::focusWidget()));
}

void tst_frmMain::toggles_data()
{
    QTest::addColumn<QStringList>("actions");   // panels by number, menu entries by name
    QTest::addColumn<QStringList>("states");    // what each leaves

    const QString base = QString::fromLatin1(kBase);
    const QString card = QString(base).replace("mode=0", "mode=1").replace("p21=5", "p21=10").replace("menu=0110", "menu=0101");
    // The new group puts a header over every record: the current record moves down to row 6.
    const QString back = QString(base).replace("row=3", "row=6") + QStringLiteral("5+");
    QTest::newRow("card view and back gets the last column as a group")
        << QStringList{"21", "21"} << QStringList{card, back};
    QTest::newRow("the view style menu switches only from the unchecked entry")
        << QStringList{"MnuViewStyle(0)", "MnuViewStyle(1)", "MnuViewStyle(1)", "MnuViewStyle(0)"}
        << QStringList{base, card, card, back};
    const QString fit = QString(base).replace("fit=0", "fit=1").replace("p8=5", "p8=10").replace("menu=0", "menu=1");
    QTest::newRow("fit to page from menu and bar") << QStringList{"MNUfitcol", "8", "MNUfitcol"}
                                                   << QStringList{fit, base, fit};
    const QString nobox = QString(base).replace("box=1", "box=0").replace("p20=5", "p20=10").replace("menu=01", "menu=00");
    QTest::newRow("group-by box from menu and bar") << QStringList{"mnugbBox", "20", "20"}
                                                    << QStringList{nobox, base, nobox};
}

void tst_frmMain::toggles()
{
    QFETCH(QStringList, actions);
    QFETCH(QStringList, states);
    viewer->Jgrid->setCurrentRow(3);
    for (int i = 0; i < actions.size(); ++i) {
        bool panel = false;
        const int n = actions.at(i).toInt(&panel);
        if (panel)
            clickPanel(n);
        else
            viewer->findChild<QAction *>(actions.at(i))->trigger();
        QCOMPARE(observe(), states.at(i));
    }
    // The load step's report of the flag.
    viewer->showFitToPage(true);
    QVERIFY(viewer->MNUfitcol->isChecked());
    QCOMPARE(viewer->Toolbar->appearance(8), 10);
}

void tst_frmMain::helpOpensTopic4()
{
    QVERIFY(QFile::copy(QStringLiteral(VELMORA_SOURCE_DIR "/src/platform/help/velmora.chm"),
                        request().LocalPath + QStringLiteral("velmora.chm")));
    viewer->findChild<QAction *>(QStringLiteral("mnuHelp"))->trigger();
    QTRY_VERIFY(platform::helpWindow() && platform::helpWindow()->isVisible());
    QCOMPARE(platform::helpWindow()->topic(), 4);
    QCOMPARE(QFileInfo(platform::helpWindow()->file()).fileName(), QStringLiteral("velmora.chm"));
}

void tst_frmMain::closingUnloadsEveryWindowOfTheComponent_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Esc button") << "button";
    QTest::newRow("File Exit") << "mnuExit";
    QTest::newRow("Esc key in the grid") << "key in grid";
    QTest::newRow("Esc key on the Esc button") << "key on button";
}

void tst_frmMain::closingUnloadsEveryWindowOfTheComponent()
{
    QFETCH(QString, how);
    // Another window of the component, and one of the host.
    QPointer<CommandBar> other = new CommandBar;
    other->show();
    QPointer<QWidget> host = new QWidget;
    host->setObjectName(QStringLiteral("hostWindow"));
    host->show();
    QVERIFY(QTest::qWaitForWindowExposed(host));
    viewer->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(viewer));

    if (how == QLatin1String("button")) {
        QTest::mouseClick(viewer->Esc, Qt::LeftButton);
    } else if (how == QLatin1String("mnuExit")) {
        viewer->findChild<QAction *>(QStringLiteral("mnuExit"))->trigger();
    } else if (how == QLatin1String("key in grid")) {
        QWidget *table = viewer->Jgrid->tableView();
        table->setFocus();
        QTest::keyClick(table, Qt::Key_Escape);
    } else {
        viewer->Esc->setFocus();
        QTest::keyClick(viewer->Esc, Qt::Key_Escape);
    }
    QTRY_VERIFY(viewer.isNull());
    QTRY_VERIFY(other.isNull());
    QVERIFY(!host.isNull());
    QCOMPARE(frmMain::instance(), nullptr);
    delete host.data();
}

void tst_frmMain::escapeInACellEditorCancelsTheEditFirst()
{
    ReportGrid *g = viewer->Jgrid;
    g->setAllowEdit(true);
    const QPoint p = findPoint(g, [g](QPoint q) {
        return g->hitTest(q) == GridArea::Record && g->rowFromPoint(q) == 2 && g->columnFromPoint(q) == 1;
    });
    QVERIFY(p.x() >= 0);
    doubleClickGrid(g, p);
    QTRY_VERIFY(qobject_cast<QLineEdit *>(QApplication::focusWidget()));
    QWidget *editor = QApplication::focusWidget();
    QVERIFY(g->isAncestorOf(editor));
    QTest::keyClicks(editor, QStringLiteral("changed"));
    QTest::keyClick(editor, Qt::Key_Escape);
    QTRY_VERIFY(!qobject_cast<QLineEdit *>(QApplication::focusWidget()));
    QVERIFY(!viewer.isNull());
    QCOMPARE(g->text(2, 1), QStringLiteral("Bravo Sound"));
    // With no edit open, Esc closes as everywhere else.
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : viewer.data(), Qt::Key_Escape);
    QTRY_VERIFY(viewer.isNull());
}

// ---- Grid events ------------------------------------------------------------------------------

void tst_frmMain::headerClicks_data()
{
    QTest::addColumn<bool>("grouped");        // grouped by store first
    QTest::addColumn<QStringList>("clicks");  // "header N" or "box" (the group in the group-by box)
    QTest::addColumn<QStringList>("after");   // keys, then the first row's model or store, after each click

    QTest::newRow("ascending, descending, ascending")
        << false << QStringList{"header 3", "header 3", "header 3"}
        << QStringList{"sort 3+ | Charlie Lamp", "sort 3- | Foxtrot PC", "sort 3+ | Charlie Lamp"};
    QTest::newRow("another column replaces the sort key")
        << false << QStringList{"header 1", "header 3"} << QStringList{"sort 1+ | Alpha TV", "sort 3+ | Charlie Lamp"};
    QTest::newRow("the grouped column's header flips its group")
        << true << QStringList{"header 2", "header 2"} << QStringList{"group 2- | 3", "group 2+ | 1"};
    QTest::newRow("the group in the group-by box flips its order")
        << true << QStringList{"box"} << QStringList{"group 2- | 3"};
}

void tst_frmMain::headerClicks()
{
    QFETCH(bool, grouped);
    QFETCH(QStringList, clicks);
    QFETCH(QStringList, after);
    ReportGrid *g = viewer->Jgrid;
    if (grouped)
        groupByStore();
    g->setCurrentRow(2);
    const int current = g->currentRow();
    for (int i = 0; i < clicks.size(); ++i) {
        if (clicks[i] == u"box") {
            auto *box = qobject_cast<grid::GroupByBox *>(g->groupByBox());
            QVERIFY(box && !box->itemRect(1).isEmpty());
            QTest::mouseClick(box, Qt::LeftButton, {}, box->itemRect(1).center());
        } else {
            const QPoint p = headerPoint(clicks[i].section(u' ', 1).toInt());
            QVERIFY2(p.x() >= 0, qPrintable(clicks[i]));
            clickGrid(g, p);
        }
        QString keys;
        for (GridKeyList *list : {&g->sortKeys(), &g->groups()})
            for (int k = 1; k <= list->count(); ++k)
                keys += (list == &g->sortKeys() ? QStringLiteral("sort ") : QStringLiteral("group "))
                    + QString::number(list->item(k).column) + (list->item(k).order == 1 ? u'+' : u'-');
        QCOMPARE(keys + QStringLiteral(" | ") + g->text(1, grouped ? 2 : 1), after[i]);
        if (!grouped)
            QCOMPARE(g->column(after[i].mid(5, 1).toInt())->sortOrder(), after[i].at(6) == u'+' ? 1 : -1);
    }
    // A current row up to the second stays where it was.
    QCOMPARE(g->currentRow(), current);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void tst_frmMain::rightClickPopupByHitArea_data()
{
    QTest::addColumn<int>("area");
    QTest::addColumn<QString>("menu");
    QTest::newRow("group row shows Expand") << int(GridArea::GroupRow) << "MNUexpandPU";
    QTest::newRow("column header shows Remove") << int(GridArea::ColumnHeader) << "MNUColumnHeader";
    QTest::newRow("record row shows nothing") << int(GridArea::Record) << "";
    QTest::newRow("empty grid space shows nothing") << int(GridArea::Nowhere) << "";
    QTest::newRow("group-by box shows nothing") << int(GridArea::GroupByBox) << "";
}

void tst_frmMain::rightClickPopupByHitArea()
{
    QFETCH(int, area);
    QFETCH(QString, menu);
    groupByStore();
    ReportGrid *g = viewer->Jgrid;
    const QPoint p = findPoint(g, [g, area](QPoint q) {
        return g->hitTest(q) == area && (area != GridArea::Nowhere || g->childAt(q) != nullptr);
    });
    QVERIFY(p.x() >= 0);
    viewer->MNUexpand->setProperty("tag", QStringLiteral("untouched"));
    viewer->MNUColumnHeader->setProperty("tag", QStringLiteral("untouched"));
    clickGrid(g, p, Qt::RightButton);

    QStringList shown;
    for (QMenu *m : {viewer->MNUexpandPU, viewer->MNUColumnHeader}) {
        if (m->isVisible())
            shown << m->objectName();
    }
    QCOMPARE(shown.join(QLatin1Char(',')), menu);
    if (area == GridArea::GroupRow)
        QCOMPARE(viewer->MNUexpand->property("tag").toString(), QString::number(g->row(g->rowFromPoint(p)).rowIndex));
    else
        QCOMPARE(viewer->MNUexpand->property("tag").toString(), QStringLiteral("untouched"));
    if (area != GridArea::ColumnHeader) {
        QCOMPARE(viewer->MNUColumnHeader->property("tag").toString(), QStringLiteral("untouched"));
        return;
    }
    // Remove Column hides the clicked column alone and keeps its data.
    const int column = g->columnFromPoint(p);
    QCOMPARE(viewer->MNUColumnHeader->property("tag").toString(), g->column(column)->caption());
    const QVariant value = g->value(2, column);
    viewer->findChild<QAction *>(QStringLiteral("MNUcolumnRemove"))->trigger();
    viewer->MNUColumnHeader->hide();
    for (int c = 1; c <= g->columnCount(); ++c)
        QCOMPARE(g->column(c)->visible(), c != column);
    QCOMPARE(g->value(2, column), value);
    QCOMPARE(headerPoint(column), QPoint(-1, -1));
}

void tst_frmMain::groupsExpandAndCollapse()
{
    // Without groups, expanding and collapsing change nothing, the current row included.
    ReportGrid *g = viewer->Jgrid;
    g->setCurrentRow(4);
    viewer->MNUexpand->setProperty("tag", QStringLiteral("1"));
    viewer->findChild<QAction *>(QStringLiteral("MNUcollapse"))->trigger();
    QCOMPARE(g->rowCount(), test::kSampleCount);
    viewer->MNUexpand->trigger();
    SetGroupExpanded(*g, 0, false);
    QCOMPARE(g->rowCount(), test::kSampleCount);
    QCOMPARE(g->currentRow(), 4);
    QVERIFY(g->redraw());

    groupByStore();
    QStringList captions;
    for (int p = 1; p <= g->rowCount(); ++p) {
        if (g->row(p).type == GridRowType::GroupHeader)
            captions << g->groupCaption(p);
    }
    QCOMPARE(captions, (QStringList{"store: 1 (3 ) ", "store: 2 (3 ) ", "store: 3 (2 ) "}));
    viewer->findChild<QAction *>(QStringLiteral("mnucolall"))->trigger();
    QCOMPARE(g->rowCount(), 3);
    const int id = g->row(2).rowIndex;

    clickGrid(g, groupRowPoint(2), Qt::RightButton);
    QTRY_VERIFY(viewer->MNUexpandPU->isVisible());
    viewer->MNUexpand->trigger();
    viewer->MNUexpandPU->hide();
    QCOMPARE(g->rowCount(), 3 + 3);   // store 2 has three rows
    QVERIFY(g->row(2).expanded);
    QVERIFY(!g->row(1).expanded);
    QCOMPARE(g->row(6).type, GridRowType::GroupHeader);
    QVERIFY(!g->row(6).expanded);
    QVERIFY(g->redraw());

    // The tag is read as a number: trailing decimals are cut off.
    viewer->MNUexpand->setProperty("tag", QString::number(id) + QStringLiteral(".9"));
    viewer->findChild<QAction *>(QStringLiteral("MNUcollapse"))->trigger();
    QCOMPARE(g->rowCount(), 3);
    QVERIFY(!g->row(2).expanded);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    viewer->findChild<QAction *>(QStringLiteral("mnuexpall"))->trigger();
    QCOMPARE(g->rowCount(), 3 + test::kSampleCount);
}

void tst_frmMain::typeToJump_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("start");
    QTest::addColumn<QChar>("typed");
    QTest::addColumn<int>("expected");

    // Rows: 1 Alpha TV, 2 Bravo Sound, 3 Charlie Lamp, 4 alpine Desk, 5 Delta Fridge,
    // 6 Echo Speaker, 7 bravo Chair, 8 Foxtrot PC.
    QTest::newRow("match after the current row") << "masterinv" << 1 << QChar(u'c') << 3;
    QTest::newRow("upper-cased key finds a lower-case row") << "masterinv" << 2 << QChar(u'a') << 4;
    QTest::newRow("upper-case key finds a lower-case row") << "masterinv" << 3 << QChar(u'B') << 7;
    QTest::newRow("search starts after the current row") << "masterinv" << 2 << QChar(u'b') << 7;
    QTest::newRow("no match leaves the row") << "masterinv" << 3 << QChar(u'z') << 3;
    QTest::newRow("match only before the current row is not found") << "masterinv" << 5 << QChar(u'a') << 5;
    QTest::newRow("kind compared ignoring case") << "MasterInv" << 1 << QChar(u'e') << 6;
    QTest::newRow("other report kinds do not jump") << "" << 1 << QChar(u'c') << 1;
}

void tst_frmMain::typeToJump()
{
    QFETCH(QString, kind);
    QFETCH(int, start);
    QFETCH(QChar, typed);
    QFETCH(int, expected);
    request().ReportKey = kind;
    ReportGrid *g = viewer->Jgrid;
    g->setCurrentRow(start);
    g->setCurrentColumn(1);
    QWidget *table = g->tableView();
    table->setFocus();

    int delivered = -1;
    // Connected after the viewer: sees the character as the viewer left it.
    connect(g, &ReportGrid::keyPress, this, [&delivered](int &c) { delivered = c; });
    QTest::keyClick(table, typed.toLatin1());
    QCOMPARE(g->currentRow(), expected);
    QCOMPARE(g->currentColumn(), 1);
    if (kind.compare(QLatin1String("masterinv"), Qt::CaseInsensitive) == 0)
        QCOMPARE(delivered, 0);
    else
        QCOMPARE(delivered, int(typed.unicode()));
    disconnect(g, &ReportGrid::keyPress, this, nullptr);
}

void tst_frmMain::typeToJumpSkipsGroupRows()
{
    request().ReportKey = QStringLiteral("masterinv");
    groupByStore();
    ReportGrid *g = viewer->Jgrid;
    int header = 0;
    for (int p = 1; p <= g->rowCount(); ++p) {
        if (g->row(p).type == GridRowType::GroupHeader && g->text(p, 2) == QLatin1String("2"))
            header = p;
    }
    QVERIFY(header > 2);
    QCOMPARE(g->row(header + 1).type, GridRowType::Record);
    g->setCurrentRow(2);
    g->setCurrentColumn(2);
    g->tableView()->setFocus();
    QTest::keyClick(g->tableView(), '2');
    QCOMPARE(g->currentRow(), header + 1);
}

void tst_frmMain::customerSearchDeliversTheAccount_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("enter");     // Enter on the current row, or a double-click on row 3
    QTest::addColumn<QString>("target");

    QTest::newRow("double-click in a customer search") << "customersearch" << false << "C1003";
    QTest::newRow("Enter in a customer search, kind in any case") << "CustomerSearch" << true << "C1005";
    QTest::newRow("other reports deliver nothing") << "allcustomers" << false << "before";
}

void tst_frmMain::customerSearchDeliversTheAccount()
{
    QFETCH(QString, kind);
    QFETCH(bool, enter);
    QFETCH(QString, target);
    request().ReportKey = kind;
    QLabel label(QStringLiteral("before"));
    request().SearchResultTarget = &label;
    ReportGrid *g = viewer->Jgrid;
    // The column is found by caption in any letter case, wherever it is shown.
    g->column(4)->setCaption(QStringLiteral("ACCOUNT"));
    g->column(4)->setPosition(1);
    int delivered = -1;
    connect(g, &ReportGrid::keyDown, this, [&delivered](int &key, Qt::KeyboardModifiers) { delivered = key; });
    if (enter) {
        g->setCurrentRow(5);
        g->tableView()->setFocus();
        QTest::keyClick(g->tableView(), Qt::Key_Return);
        QCOMPARE(delivered, 0);
        QCOMPARE(g->currentRow(), 5);
    } else {
        const QPoint p = findPoint(g, [g](QPoint q) { return g->hitTest(q) == GridArea::Record && g->rowFromPoint(q) == 3; });
        QVERIFY(p.x() >= 0);
        doubleClickGrid(g, p);
    }
    disconnect(g, &ReportGrid::keyDown, this, nullptr);
    QCOMPARE(label.text(), target);
    // A search viewer whose label went away delivers nowhere, without harm.
    request().SearchResultTarget = nullptr;
    emit g->dblClick();
}

void tst_frmMain::dragCarriesTheSelectedRowsAsText()
{
    ReportGrid *g = viewer->Jgrid;
    g->selectRows({2, 3});
    int effects = 0;
    emit g->dragStart(effects);
    QCOMPARE(effects, 1);
    std::unique_ptr<QMimeData> data(g->createDragData());
    QVERIFY(data->hasText());
    QCOMPARE(data->text(), g->selectedText(true));
    const QStringList lines = data->text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);   // the captions, then the two rows
    QVERIFY(lines[0].contains(QLatin1String("model")));
    QVERIFY(lines[1].startsWith(QLatin1String("Bravo Sound")));
    QVERIFY(lines[2].startsWith(QLatin1String("Charlie Lamp")));
}

QTEST_MAIN(tst_frmMain)
#include "tst_frmmain.moc"
