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

QString menuEntries(const QList<QAction *> &actions)
{
    QStringList out;
    for (QAction *a : actions)
        out << a->objectName() + QLatin1Char('|') + (a->isSeparator() ? QStringLiteral("-") : a->text());
    return out.join(QLatin1Char('\n'));
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
    void menuBarShowsOnlyTheThreeMenus();
    void checkMarksAsDesigned();
    void openingFileEnablesThePrintEntries();
    void commandBarPanels_data();
    void commandBarPanels();
    void secondButtonBarHasTheSameKeys();
    void resizeRule_data();
    void resizeRule();

    // Commands.
    void commandBarDispatch_data();
    void commandBarDispatch();
    void commandKeysIgnoreCaseAndEditDoesNothing_data();
    void commandKeysIgnoreCaseAndEditDoesNothing();
    void viewCommandsOnlyWhileTheGridShows_data();
    void viewCommandsOnlyWhileTheGridShows();
    void menuEntriesOpenTheirDialogs_data();
    void menuEntriesOpenTheirDialogs();
    void cardViewToggleAndBackAddsTheLastColumnGroup();
    void viewStyleMenuSwitchesOnlyFromTheUncheckedEntry();
    void fitToPageToggleFromMenuAndBar();
    void groupByBoxToggleFromMenuAndBar();
    void collapseAndExpandAll();
    void helpOpensTopic4();
    void closingUnloadsEveryWindowOfTheComponent_data();
    void closingUnloadsEveryWindowOfTheComponent();
    void escapeInACellEditorCancelsTheEditFirst();

    // Grid events.
    void headerClickSortsAscendingDescendingAscending();
    void headerClickOnAnotherColumnReplacesTheSortKey();
    void headerClickKeepsACurrentRowBelow3();
    void groupedColumnHeaderFlipsItsGroup();
    void groupHeaderClickInTheGroupByBoxFlipsTheOrder();
    void rightClickPopupByHitArea_data();
    void rightClickPopupByHitArea();
    void removeColumnHidesItAndKeepsItsData();
    void expandAndCollapseOneGroup();
    void expandCollapseWithoutGroupsChangesNothing();
    void groupCaptionCountsTheRows();
    void endAndHomeKeys();
    void typeToJump_data();
    void typeToJump();
    void typeToJumpSkipsGroupRows();
    void doubleClickDeliversTheAccount();
    void enterDeliversTheAccountInCustomerSearch();
    void doubleClickOutsideCustomerSearchDeliversNothing();
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
    const ReportGrid *g = viewer->Jgrid;
    const CommandBar *bar = viewer->Toolbar;
    return QStringLiteral("mode=%1 fit=%2 box=%3 row=%4 p8=%5 p20=%6 p21=%7 preview=%8 viewer=%9")
        .arg(g->viewMode())
        .arg(int(viewer->Jgrid->printerSettings().fitColumnsToPage))
        .arg(int(g->groupByBoxVisible()))
        .arg(g->currentRow())
        .arg(bar->appearance(8))
        .arg(bar->appearance(20))
        .arg(bar->appearance(21))
        .arg(viewer->printPreview() && viewer->printPreview()->isVisible() ? 1 : 0)
        .arg(viewer->isVisible() ? 1 : 0);
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
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QStringList>("entries");

    QTest::newRow("File") << "mnuFile"
                          << QStringList{"MNUopen|&Open Layout",
                                         "MNUsave|&Save Layout",
                                         "MNUsaveAS|Save &AS",
                                         "mnuPageSetup|Page Setup",
                                         "MNUfitcol|Fit Columns to page when printing",
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
                                         "mnugbBox|Group By Box"};
    QTest::newRow("CurrentView after the load step")
        << "mnuCurrentView" << QStringList{"MnuViewStyle(0)|Grid View", "MnuViewStyle(1)|Card View"};
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
    QVERIFY(m);
    QCOMPARE(menuEntries(m->actions()), entries.join(QLatin1Char('\n')));
    for (QAction *a : m->actions())
        QVERIFY2(a->isVisible(), qPrintable(a->objectName()));
}

void tst_frmMain::menuBarShowsOnlyTheThreeMenus()
{
    const QList<QAction *> top = viewer->menuBar()->actions();
    QCOMPARE(menuEntries(top), QStringLiteral("mnuFile|&File\nmnuView|&View\nmnuHelp|&Help\n"
                                              "MNUColumnHeader|Remove this Column\nMNUexpandPU|Expand"));
    QStringList visible;
    for (QAction *a : top) {
        if (a->isVisible())
            visible << a->objectName();
    }
    QCOMPARE(visible, (QStringList{"mnuFile", "mnuView", "mnuHelp"}));
    QCOMPARE(viewer->MNUColumnHeader->objectName(), QStringLiteral("MNUColumnHeader"));
    QCOMPARE(viewer->MNUexpandPU->objectName(), QStringLiteral("MNUexpandPU"));
}

void tst_frmMain::checkMarksAsDesigned()
{
    QVERIFY(viewer->MNUfitcol->isCheckable());
    QVERIFY(!viewer->MNUfitcol->isChecked());
    QVERIFY(viewer->mnugbBox->isCheckable());
    QVERIFY(viewer->mnugbBox->isChecked());
    QVERIFY(viewer->Jgrid->groupByBoxVisible());
    QVERIFY(viewer->MnuViewStyle(0)->isCheckable());
    QVERIFY(viewer->MnuViewStyle(1)->isCheckable());
    QCOMPARE(viewer->MnuViewStyle(2), nullptr);
    QCOMPARE(viewer->MnuViewStyle(-1), nullptr);
    for (const char *name : {"MNUopen", "mnuPrint(0)", "mnuExit", "mnushow", "mnuSum"})
        QVERIFY2(!viewer->findChild<QAction *>(QLatin1String(name))->isCheckable(), name);
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

void tst_frmMain::commandBarPanels_data()
{
    QTest::addColumn<int>("panel");
    QTest::addColumn<QString>("tooltip");
    QTest::addColumn<QString>("tag");

    const char *table[26][2] = {{"", ""},
                                {"Open Saved Layout", "Open"},
                                {"Save Layout", "Save"},
                                {"Save Layout AS", "SaveAs"},
                                {"", ""},
                                {"Print", "Print"},
                                {"Print Preview", "PrintPreview"},
                                {"Shrink Columns to fit on page when printing", "FitCols"},
                                {"", ""},
                                {"Export to Excel Spreadsheet", "ExportXLS"},
                                {"Export to HTML", "ExportHTML"},
                                {"Export to Text file", "ExportTXT"},
                                {"Export and attach to E-Mail", "ExportEmail"},
                                {"", ""},
                                {"View Summary...", "Summary"},
                                {"Choose Fields", "Fields"},
                                {"Group By", "Group"},
                                {"Sort By", "Sort"},
                                {"", ""},
                                {"Show Group By Box", "ShowGroupByBox"},
                                {"Turn on/off Card view", "Views"},
                                {"", ""},
                                {"Move First", "MoveFirst"},
                                {"Move Previous", "MovePrevious"},
                                {"Move Next", "MoveNext"},
                                {"Move Last", "MoveLast"}};
    for (int i = 0; i < 26; ++i) {
        const QString tag = QString::fromLatin1(table[i][1]);
        QTest::addRow("panel %d %s", i + 1, tag.isEmpty() ? "spacer" : table[i][1])
            << i + 1 << QString::fromLatin1(table[i][0]) << tag;
    }
}

void tst_frmMain::commandBarPanels()
{
    QFETCH(int, panel);
    QFETCH(QString, tooltip);
    QFETCH(QString, tag);
    QCOMPARE(viewer->Toolbar->panelCount(), 26);
    QCOMPARE(viewer->Toolbar->tag(panel), tag);
    QCOMPARE(viewer->Toolbar->toolTip(panel), tooltip);
    QCOMPARE(viewer->Toolbar->icon(panel).isNull(), tag.isEmpty());
    QCOMPARE(viewer->Toolbar->appearance(panel), 5);
}

void tst_frmMain::secondButtonBarHasTheSameKeys()
{
    QStringList barKeys;
    for (int i = 1; i <= viewer->Toolbar->panelCount(); ++i) {
        if (!viewer->Toolbar->tag(i).isEmpty())
            barKeys << viewer->Toolbar->tag(i);
    }
    QStringList keys;
    QStringList tips;
    for (QAction *a : viewer->tlbMain->actions()) {
        keys << a->data().toString();
        tips << a->toolTip();
        QVERIFY(!a->icon().isNull());
    }
    QCOMPARE(keys, barKeys);
    QCOMPARE(tips, (QStringList{"Open Saved Layout", "Save Layout", "Save Layout AS", "Print", "Print Preview",
                                "Shrink Columns to fit on page when printing", "Export to Excel Spreadsheet",
                                "Export to HTML", "Export to a text file", "Export and attach to E-Mail",
                                "View Summary...", "Choose Fields to include", "Group by...", "Sort...",
                                "Group By Box", "Switch Card View On/Off", "Move first visible record",
                                "Move previous visible record", "Move next visible record",
                                "Move last visible record"}));
    // The command bar is the one the user clicks.
    QVERIFY(!viewer->tlbMain->isVisible());
    QVERIFY(viewer->Toolbar->isVisible());
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
    QVERIFY(viewer->Toolbar->height() >= viewer->Toolbar->sizeHint().height());
    QVERIFY(viewer->Esc->isVisible());
    QVERIFY(!viewer->Esc->geometry().intersects(viewer->Jgrid->geometry()));
}

// ---- Commands ---------------------------------------------------------------------------------

void tst_frmMain::commandBarDispatch_data()
{
    QTest::addColumn<int>("panel");
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("modal");

    const QString base = QStringLiteral("mode=0 fit=0 box=1 row=3 p8=5 p20=5 p21=5 preview=0 viewer=1");
    const auto with = [&base](const char *from, const char *to) {
        QString s = base;
        return s.replace(QLatin1String(from), QLatin1String(to));
    };
    QTest::newRow("1 spacer") << 1 << base << "";
    QTest::newRow("2 Open asks for a layout") << 2 << base << "FileDLG";
    QTest::newRow("3 Save without a name asks for one") << 3 << base << "FileDLG";
    QTest::newRow("4 SaveAs asks for a name") << 4 << base << "FileDLG";
    QTest::newRow("5 spacer") << 5 << base << "";
    QTest::newRow("6 Print shows the print dialog") << 6 << base << "dlgPrint";
    QTest::newRow("7 PrintPreview swaps the windows")
        << 7 << with("preview=0 viewer=1", "preview=1 viewer=0") << "";
    QTest::newRow("8 FitCols") << 8 << with("fit=0 box=1 row=3 p8=5", "fit=1 box=1 row=3 p8=10") << "";
    QTest::newRow("9 spacer") << 9 << base << "";
    // Panels 10 to 12 write files; the export tests drive them.
    QTest::newRow("13 ExportEmail asks for the kind of file") << 13 << base << "frmExportOptions";
    QTest::newRow("14 spacer") << 14 << base << "";
    QTest::newRow("15 Summary") << 15 << base << "frmSummary";
    QTest::newRow("16 Fields") << 16 << base << "frmShowfields";
    QTest::newRow("17 Group") << 17 << base << "frmGroupBy";
    QTest::newRow("18 Sort") << 18 << base << "frmSort";
    QTest::newRow("19 spacer") << 19 << base << "";
    QTest::newRow("20 ShowGroupByBox hides the box") << 20 << with("box=1", "box=0").replace("p20=5", "p20=10")
                                                     << "";
    QTest::newRow("21 Views turns card view on") << 21 << with("mode=0", "mode=1").replace("p21=5", "p21=10")
                                                 << "";
    QTest::newRow("22 spacer") << 22 << base << "";
    QTest::newRow("23 MoveFirst") << 23 << with("row=3", "row=1") << "";
    QTest::newRow("24 MovePrevious") << 24 << with("row=3", "row=2") << "";
    QTest::newRow("25 MoveNext") << 25 << with("row=3", "row=4") << "";
    QTest::newRow("26 MoveLast") << 26 << with("row=3", "row=8") << "";
}

void tst_frmMain::commandBarDispatch()
{
    QFETCH(int, panel);
    QFETCH(QString, state);
    QFETCH(QString, modal);

    viewer->Jgrid->setCurrentRow(3);
    QCOMPARE(observe(), QStringLiteral("mode=0 fit=0 box=1 row=3 p8=5 p20=5 p21=5 preview=0 viewer=1"));
    QStringList seen;
    {
        ModalCatcher catcher;
        clickPanel(panel);
        seen = catcher.seen();
    }
    QCOMPARE(seen.join(QLatin1Char(',')), modal);
    QCOMPARE(observe(), state);
    if (QString(QTest::currentDataTag()).contains(QLatin1String("Move")))
        QVERIFY(viewer->Jgrid->hasFocus() || viewer->Jgrid->isAncestorOf(QApplication::focusWidget()));
}

void tst_frmMain::commandKeysIgnoreCaseAndEditDoesNothing_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("state");
    const QString base = QStringLiteral("mode=0 fit=0 box=1 row=3 p8=5 p20=5 p21=5 preview=0 viewer=1");
    QTest::newRow("views in lower case") << "views" << "mode=1 fit=0 box=1 row=3 p8=5 p20=5 p21=10 preview=0 viewer=1";
    QTest::newRow("FITCOLS in capitals") << "FITCOLS" << "mode=0 fit=1 box=1 row=3 p8=10 p20=5 p21=5 preview=0 viewer=1";
    QTest::newRow("movefirst") << "movefirst" << "mode=0 fit=0 box=1 row=1 p8=5 p20=5 p21=5 preview=0 viewer=1";
    QTest::newRow("Edit does nothing") << "Edit" << base;
    QTest::newRow("unknown key does nothing") << "Zoom" << base;
    QTest::newRow("empty key does nothing") << "" << base;
}

void tst_frmMain::commandKeysIgnoreCaseAndEditDoesNothing()
{
    QFETCH(QString, key);
    QFETCH(QString, state);
    viewer->Jgrid->setCurrentRow(3);
    ModalCatcher catcher;
    viewer->runCommand(key, 0);
    QCOMPARE(catcher.seen(), QStringList());
    QCOMPARE(observe(), state);
}

void tst_frmMain::viewCommandsOnlyWhileTheGridShows_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("modal");
    QTest::newRow("Group needs the grid") << "Group" << "";
    QTest::newRow("Sort needs the grid") << "Sort" << "";
    QTest::newRow("Fields does not ask") << "Fields" << "frmShowfields";
    QTest::newRow("Summary does not ask") << "Summary" << "frmSummary";
}

void tst_frmMain::viewCommandsOnlyWhileTheGridShows()
{
    QFETCH(QString, key);
    QFETCH(QString, modal);
    viewer->Jgrid->hide();
    ModalCatcher catcher;
    viewer->runCommand(key, 0);
    QCOMPARE(catcher.seen().join(QLatin1Char(',')), modal);
}

void tst_frmMain::menuEntriesOpenTheirDialogs_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("viewMode");
    QTest::addColumn<bool>("gridHidden");
    QTest::addColumn<QString>("modal");
    QTest::newRow("Show Fields") << "mnushow" << 0 << false << "frmShowfields";
    QTest::newRow("Show Fields, grid hidden") << "mnushow" << 0 << true << "";
    QTest::newRow("Sort") << "mnusort" << 0 << false << "frmSort";
    QTest::newRow("Sort, grid hidden") << "mnusort" << 0 << true << "";
    QTest::newRow("Group By") << "mnugroup" << 0 << false << "frmGroupBy";
    QTest::newRow("Group By, grid hidden") << "mnugroup" << 0 << true << "";
    QTest::newRow("Format View in table view") << "mnuformat" << 0 << false << "frmTableview";
    QTest::newRow("Format View in card view") << "mnuformat" << 1 << false << "frmCardView";
    QTest::newRow("Format View, grid hidden") << "mnuformat" << 0 << true << "";
    QTest::newRow("View Summary") << "mnuSum" << 0 << false << "frmSummary";
    QTest::newRow("Open Layout") << "MNUopen" << 0 << false << "FileDLG";
    QTest::newRow("Save Layout without a name") << "MNUsave" << 0 << false << "FileDLG";
    QTest::newRow("Save AS") << "MNUsaveAS" << 0 << false << "FileDLG";
    QTest::newRow("Print") << "mnuPrint(0)" << 0 << false << "dlgPrint";
    QTest::newRow("Print Selected Items") << "mnuPrint(1)" << 0 << false << "dlgPrint";
    QTest::newRow("Export and E-Mail asks for the kind of file") << "MNUexportEmail" << 0 << false << "frmExportOptions";
}

void tst_frmMain::menuEntriesOpenTheirDialogs()
{
    QFETCH(QString, entry);
    QFETCH(int, viewMode);
    QFETCH(bool, gridHidden);
    QFETCH(QString, modal);
    viewer->Jgrid->setViewMode(viewMode);
    if (gridHidden)
        viewer->Jgrid->hide();
    auto *action = viewer->findChild<QAction *>(entry);
    QVERIFY(action);
    ModalCatcher catcher;
    action->trigger();
    QCOMPARE(catcher.seen().join(QLatin1Char(',')), modal);
}

void tst_frmMain::cardViewToggleAndBackAddsTheLastColumnGroup()
{
    ReportGrid *g = viewer->Jgrid;
    const int lastColumn = g->columnCount();
    QCOMPARE(g->groups().count(), 0);

    clickPanel(21);
    QCOMPARE(g->viewMode(), 1);
    QCOMPARE(viewer->Toolbar->appearance(21), 10);
    QVERIFY(!viewer->MnuViewStyle(0)->isChecked());
    QVERIFY(viewer->MnuViewStyle(1)->isChecked());
    QCOMPARE(g->groups().count(), 0);

    clickPanel(21);
    QCOMPARE(g->viewMode(), 0);
    QCOMPARE(viewer->Toolbar->appearance(21), 5);
    QVERIFY(viewer->MnuViewStyle(0)->isChecked());
    QVERIFY(!viewer->MnuViewStyle(1)->isChecked());
    QCOMPARE(g->groups().count(), 1);
    QCOMPARE(g->groups().item(1).column, lastColumn);
    QCOMPARE(g->groups().item(1).order, 1);
}

void tst_frmMain::viewStyleMenuSwitchesOnlyFromTheUncheckedEntry()
{
    ReportGrid *g = viewer->Jgrid;
    viewer->MnuViewStyle(0)->trigger();   // already checked: nothing
    QCOMPARE(g->viewMode(), 0);
    QVERIFY(viewer->MnuViewStyle(0)->isChecked());
    QVERIFY(!viewer->MnuViewStyle(1)->isChecked());

    viewer->MnuViewStyle(1)->trigger();
    QCOMPARE(g->viewMode(), 1);
    QCOMPARE(viewer->Toolbar->appearance(21), 10);
    QVERIFY(!viewer->MnuViewStyle(0)->isChecked());
    QVERIFY(viewer->MnuViewStyle(1)->isChecked());

    viewer->MnuViewStyle(1)->trigger();   // checked now: nothing
    QCOMPARE(g->viewMode(), 1);
    QVERIFY(viewer->MnuViewStyle(1)->isChecked());

    viewer->MnuViewStyle(0)->trigger();
    QCOMPARE(g->viewMode(), 0);
    QCOMPARE(viewer->Toolbar->appearance(21), 5);
    QVERIFY(viewer->MnuViewStyle(0)->isChecked());
    QVERIFY(!viewer->MnuViewStyle(1)->isChecked());
}

void tst_frmMain::fitToPageToggleFromMenuAndBar()
{
    PrinterSettings &s = viewer->Jgrid->printerSettings();
    QVERIFY(!s.fitColumnsToPage);
    viewer->MNUfitcol->trigger();
    QVERIFY(s.fitColumnsToPage);
    QVERIFY(viewer->MNUfitcol->isChecked());
    QCOMPARE(viewer->Toolbar->appearance(8), 10);

    clickPanel(8);
    QVERIFY(!s.fitColumnsToPage);
    QVERIFY(!viewer->MNUfitcol->isChecked());
    QCOMPARE(viewer->Toolbar->appearance(8), 5);

    // The load step's report of the flag.
    viewer->showFitToPage(true);
    QVERIFY(viewer->MNUfitcol->isChecked());
    QCOMPARE(viewer->Toolbar->appearance(8), 10);
}

void tst_frmMain::groupByBoxToggleFromMenuAndBar()
{
    ReportGrid *g = viewer->Jgrid;
    viewer->mnugbBox->trigger();
    QVERIFY(!g->groupByBoxVisible());
    QVERIFY(!viewer->mnugbBox->isChecked());
    QCOMPARE(viewer->Toolbar->appearance(20), 10);

    clickPanel(20);
    QVERIFY(g->groupByBoxVisible());
    QVERIFY(viewer->mnugbBox->isChecked());
    QCOMPARE(viewer->Toolbar->appearance(20), 5);

    clickPanel(20);
    QVERIFY(!g->groupByBoxVisible());
    QVERIFY(!viewer->mnugbBox->isChecked());
    QCOMPARE(viewer->Toolbar->appearance(20), 10);
}

void tst_frmMain::collapseAndExpandAll()
{
    groupByStore();
    ReportGrid *g = viewer->Jgrid;
    viewer->findChild<QAction *>(QStringLiteral("mnucolall"))->trigger();
    QCOMPARE(g->rowCount(), 3);
    viewer->findChild<QAction *>(QStringLiteral("mnuexpall"))->trigger();
    QCOMPARE(g->rowCount(), 3 + test::kSampleCount);
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

void tst_frmMain::headerClickSortsAscendingDescendingAscending()
{
    ReportGrid *g = viewer->Jgrid;
    const QPoint p = headerPoint(1);
    QVERIFY(p.x() >= 0);
    const auto models = [g] {
        QStringList out;
        for (int r = 1; r <= g->rowCount(); ++r)
            out << g->text(r, 1);
        return out;
    };
    const QStringList unsorted = models();
    const QList<int> expected{1, -1, 1};
    QList<QStringList> orders;
    for (int i = 0; i < 3; ++i) {
        clickGrid(g, p);
        QCOMPARE(g->column(1)->sortOrder(), expected[i]);
        QCOMPARE(g->sortKeys().count(), 1);
        QCOMPARE(g->sortKeys().item(1).column, 1);
        QCOMPARE(g->sortKeys().item(1).order, expected[i]);
        orders << models();
    }
    QVERIFY(orders[0] != unsorted);
    QCOMPARE(orders[0].first(), QStringLiteral("Alpha TV"));
    QStringList reversed = orders[0];
    std::reverse(reversed.begin(), reversed.end());
    QCOMPARE(orders[1], reversed);
    QCOMPARE(orders[2], orders[0]);
}

void tst_frmMain::headerClickOnAnotherColumnReplacesTheSortKey()
{
    ReportGrid *g = viewer->Jgrid;
    clickGrid(g, headerPoint(1));
    clickGrid(g, headerPoint(3));
    QCOMPARE(g->sortKeys().count(), 1);
    QCOMPARE(g->sortKeys().item(1).column, 3);
    QCOMPARE(g->sortKeys().item(1).order, 1);
    QCOMPARE(g->column(1)->sortOrder(), 0);
    QCOMPARE(g->text(1, 1), QStringLiteral("Charlie Lamp"));   // the cheapest
}

void tst_frmMain::headerClickKeepsACurrentRowBelow3()
{
    ReportGrid *g = viewer->Jgrid;
    g->setCurrentRow(2);
    clickGrid(g, headerPoint(3));
    QCOMPARE(g->currentRow(), 2);
    g->setCurrentRow(1);
    clickGrid(g, headerPoint(3));
    QCOMPARE(g->currentRow(), 1);
}

void tst_frmMain::groupedColumnHeaderFlipsItsGroup()
{
    groupByStore();
    ReportGrid *g = viewer->Jgrid;
    const QPoint p = headerPoint(2);
    QVERIFY2(p.x() >= 0, "the grouped column shows a header");
    clickGrid(g, p);
    QCOMPARE(g->groups().item(1).order, -1);
    QCOMPARE(g->sortKeys().count(), 0);
    QCOMPARE(g->column(2)->sortOrder(), 0);
    QCOMPARE(g->text(1, 2), QStringLiteral("3"));
    clickGrid(g, p);
    QCOMPARE(g->groups().item(1).order, 1);
    QCOMPARE(g->text(1, 2), QStringLiteral("1"));
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void tst_frmMain::groupHeaderClickInTheGroupByBoxFlipsTheOrder()
{
    groupByStore();
    ReportGrid *g = viewer->Jgrid;
    auto *box = qobject_cast<grid::GroupByBox *>(g->groupByBox());
    QVERIFY(box);
    const QRect item = box->itemRect(1);
    QVERIFY(!item.isEmpty());
    g->setCurrentRow(2);
    QTest::mouseClick(box, Qt::LeftButton, {}, item.center());
    QCOMPARE(g->groups().item(1).order, -1);
    QCOMPARE(g->text(1, 2), QStringLiteral("3"));
    QCOMPARE(g->currentRow(), 2);
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
    if (area == GridArea::ColumnHeader)
        QCOMPARE(viewer->MNUColumnHeader->property("tag").toString(), g->column(g->columnFromPoint(p))->caption());
    else
        QCOMPARE(viewer->MNUColumnHeader->property("tag").toString(), QStringLiteral("untouched"));
}

void tst_frmMain::removeColumnHidesItAndKeepsItsData()
{
    ReportGrid *g = viewer->Jgrid;
    clickGrid(g, headerPoint(3), Qt::RightButton);
    QTRY_VERIFY(viewer->MNUColumnHeader->isVisible());
    QCOMPARE(viewer->MNUColumnHeader->property("tag").toString(), QStringLiteral("cost"));
    viewer->findChild<QAction *>(QStringLiteral("MNUcolumnRemove"))->trigger();
    viewer->MNUColumnHeader->hide();
    QVERIFY(!g->column(3)->visible());
    QVERIFY(g->column(1)->visible());
    QVERIFY(g->column(2)->visible());
    QCOMPARE(g->value(1, 3).toDouble(), 1299.00);
    QCOMPARE(headerPoint(3), QPoint(-1, -1));
}

void tst_frmMain::expandAndCollapseOneGroup()
{
    groupByStore();
    ReportGrid *g = viewer->Jgrid;
    g->collapseAll();
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
}

void tst_frmMain::expandCollapseWithoutGroupsChangesNothing()
{
    ReportGrid *g = viewer->Jgrid;
    g->setCurrentRow(4);
    viewer->MNUexpand->setProperty("tag", QStringLiteral("1"));
    viewer->findChild<QAction *>(QStringLiteral("MNUcollapse"))->trigger();
    QCOMPARE(g->rowCount(), test::kSampleCount);
    viewer->MNUexpand->trigger();
    QCOMPARE(g->rowCount(), test::kSampleCount);
    SetGroupExpanded(*g, 0, false);
    QCOMPARE(g->rowCount(), test::kSampleCount);
    QCOMPARE(g->currentRow(), 4);
    QVERIFY(g->redraw());
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void tst_frmMain::groupCaptionCountsTheRows()
{
    groupByStore();
    ReportGrid *g = viewer->Jgrid;
    const QStringList expected{"store: 1 (3 ) ", "store: 2 (3 ) ", "store: 3 (2 ) "};
    QStringList captions;
    for (int p = 1; p <= g->rowCount(); ++p) {
        if (g->row(p).type == GridRowType::GroupHeader)
            captions << g->groupCaption(p);
    }
    QCOMPARE(captions, expected);
}

void tst_frmMain::endAndHomeKeys()
{
    ReportGrid *g = viewer->Jgrid;
    g->setCurrentRow(3);
    QWidget *table = g->tableView();
    table->setFocus();
    QTest::keyClick(table, Qt::Key_End);
    QCOMPARE(g->currentRow(), test::kSampleCount);
    QTest::keyClick(table, Qt::Key_Home);
    QCOMPARE(g->currentRow(), 1);
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

void tst_frmMain::doubleClickDeliversTheAccount()
{
    request().ReportKey = QStringLiteral("customersearch");
    QLabel target;
    target.setText(QStringLiteral("before"));
    request().SearchResultTarget = &target;
    ReportGrid *g = viewer->Jgrid;
    // The column is found by caption in any letter case, wherever it is shown.
    g->column(4)->setCaption(QStringLiteral("ACCOUNT"));
    g->column(4)->setPosition(1);
    const QPoint p = findPoint(g, [g](QPoint q) { return g->hitTest(q) == GridArea::Record && g->rowFromPoint(q) == 3; });
    QVERIFY(p.x() >= 0);
    doubleClickGrid(g, p);
    QCOMPARE(g->currentRow(), 3);
    QCOMPARE(target.text(), QStringLiteral("C1003"));
}

void tst_frmMain::enterDeliversTheAccountInCustomerSearch()
{
    request().ReportKey = QStringLiteral("CustomerSearch");
    QLabel target;
    request().SearchResultTarget = &target;
    ReportGrid *g = viewer->Jgrid;
    g->setCurrentRow(5);
    g->tableView()->setFocus();
    int delivered = -1;
    connect(g, &ReportGrid::keyDown, this, [&delivered](int &key, Qt::KeyboardModifiers) { delivered = key; });
    QTest::keyClick(g->tableView(), Qt::Key_Return);
    QCOMPARE(target.text(), QStringLiteral("C1005"));
    QCOMPARE(delivered, 0);
    QCOMPARE(g->currentRow(), 5);
    disconnect(g, &ReportGrid::keyDown, this, nullptr);
}

void tst_frmMain::doubleClickOutsideCustomerSearchDeliversNothing()
{
    request().ReportKey = QStringLiteral("allcustomers");
    QLabel target;
    target.setText(QStringLiteral("before"));
    request().SearchResultTarget = &target;
    ReportGrid *g = viewer->Jgrid;
    g->setCurrentRow(2);
    emit g->dblClick();
    QCOMPARE(target.text(), QStringLiteral("before"));
    // A search viewer whose label went away delivers nowhere, without harm.
    request().ReportKey = QStringLiteral("customersearch");
    request().SearchResultTarget = nullptr;
    emit g->dblClick();
    QCOMPARE(target.text(), QStringLiteral("before"));
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
