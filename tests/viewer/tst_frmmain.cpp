// The viewer window driven as a user drives it, over a small result that needs no database: its
// menus, its command bar and the pictures on it, the grid under the mouse and the keys.

#include "viewertesting.h"

#include "grid/groupbybox.h"
#include "platform/helpwindow.h"
#include "viewer/commandbar.h"
#include "viewer/frmPrintPreview.h"
#include "viewer/icons/viewericons.h"

#include <set>

using namespace velmora;
using test::clickGrid;
using test::findPoint;

namespace {

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

// The window's state as observe() writes it, before any command.
const QString kBase = QStringLiteral("mode=0 fit=0 box=1 row=3 p8=5 p20=5 p21=5 preview=0 viewer=1 menu=0110 groups=");

// kBase with the fields named in `changes` ("row=1 fit=1") set to other values.
QString changed(const QString &changes, QString state = kBase)
{
    for (const QString &c : changes.split(u' ', Qt::SkipEmptyParts))
        state.replace(QRegularExpression(QStringLiteral("\\b%1=\\S*").arg(c.section(u'=', 0, 0))), c);
    return state;
}

} // namespace

class tst_frmMain : public QObject {
    Q_OBJECT

    QPointer<frmMain> viewer;
    std::unique_ptr<QTemporaryDir> dir;

    void clickPanel(int panel)
    {
        QTest::mouseClick(viewer->Toolbar, Qt::LeftButton, {}, viewer->Toolbar->panelRect(panel).center());
    }
    void trigger(const QString &action) { viewer->findChild<QAction *>(action)->trigger(); }

    // A point of the column's header clear of its edges, which are the handles that resize columns.
    QPoint headerPoint(int column) const
    {
        ReportGrid *g = viewer->Jgrid;
        return findPoint(g, [g, column](QPoint p) {
            return g->hitTest(p) == GridArea::ColumnHeader && g->columnFromPoint(p - QPoint(8, 0)) == column
                   && g->columnFromPoint(p + QPoint(8, 0)) == column;
        });
    }

    QString observe() const
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
            .arg(int(g->printerSettings().fitColumnsToPage))
            .arg(int(g->groupByBoxVisible()))
            .arg(g->currentRow())
            .arg(bar->appearance(8))
            .arg(bar->appearance(20))
            .arg(bar->appearance(21))
            .arg(viewer->printPreview() && viewer->printPreview()->isVisible() ? 1 : 0)
            .arg(viewer->isVisible() ? 1 : 0)
            .arg(menu, groups);
    }

    void groupByStore()
    {
        viewer->Jgrid->groups().add(2, 1);
        viewer->Jgrid->regroup();
        QCOMPARE(viewer->Jgrid->row(1).type, GridRowType::GroupHeader);
    }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        ReportRequest &r = request();
        r.ReportKey.clear();
        r.ReportTitle = QStringLiteral("Inventory Report");
        r.Datapath = r.LocalPath = dir->path() + QLatin1Char('/');
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
        viewer->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(viewer));
    }

    void cleanup()
    {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *menu = qobject_cast<QMenu *>(w))
                menu->hide();
        test::closeEveryWindow(viewer);
        dir.reset();
    }

    void menuTree_data()
    {
        QTest::addColumn<QString>("menu");   // empty: the menu bar, with the window's caption
        QTest::addColumn<QString>("entries");
        QTest::newRow("menu bar shows only the three menus")
            << "" << "Velmora Results, Esc - Exit: mnuFile|&File; mnuView|&View; mnuHelp|&Help; MNUColumnHeader|Remove "
                     "this Column (hidden); MNUexpandPU|Expand (hidden)";
        QTest::newRow("File") << "mnuFile"
                              << "MNUopen|&Open Layout; MNUsave|&Save Layout; MNUsaveAS|Save &AS; mnuPageSetup|Page Setup; "
                                 "MNUfitcol|Fit Columns to page when printing [ ]; mnuPrintPreview|Print Pre&view; "
                                 "mnuPrint(0)|&Print...; mnuPrint(1)|Print Selected Items...; MNUexportXL|Export to Excel "
                                 "Spreadsheet; MNUexportHTML|Export to HTML; MNUexportTXT|Export to Text File; "
                                 "MNUexportEmail|&Export and E-Mail; mnuSepPrint|-; mnuExit|E&xit";
        QTest::newRow("View") << "mnuView"
                              << "mnuCurrentView|CurrentView; mnuViewSep|-; mnushow|Show Fields...; mnusort|Sort...; "
                                 "mnugroup|Group By...; mnuformat|Format View...; mnuEXCol|Expand/Collapse Groups; "
                                 "mnuSum|View Summary...; mnuViewSep1|-; mnugbBox|Group By Box [x]";
        QTest::newRow("Expand/Collapse Groups") << "mnuEXCol" << "mnucolall|Collapse All; mnuexpall|Expand All";
        QTest::newRow("column header pop-up") << "MNUColumnHeader" << "MNUcolumnRemove|Remove Column";
        QTest::newRow("group row pop-up") << "MNUexpandPU" << "MNUexpand|Expand this Group; MNUcollapse|Collapse this Group";
    }
    void menuTree()
    {
        QFETCH(QString, menu);
        QFETCH(QString, entries);
        auto *m = viewer->findChild<QMenu *>(menu);
        QVERIFY(menu.isEmpty() || m);
        QCOMPARE((menu.isEmpty() ? viewer->windowTitle() + QStringLiteral(", ") + viewer->Esc->text() + QStringLiteral(": ") : QString())
                     + menuEntries(menu.isEmpty() ? viewer->menuBar()->actions() : m->actions()).join(QStringLiteral("; ")),
                 entries);
    }

    void openingFileEnablesThePrintEntries()
    {
        const QStringList names{"mnuPrintPreview", "mnuPrint(0)", "mnuPrint(1)"};
        for (const QString &name : names)
            viewer->findChild<QAction *>(name)->setEnabled(false);
        viewer->mnuFile->popup(viewer->mapToGlobal(QPoint(10, 10)));
        QTRY_VERIFY(viewer->mnuFile->isVisible());
        for (const QString &name : names)
            QVERIFY2(viewer->findChild<QAction *>(name)->isEnabled(), qPrintable(name));
    }

    void commandBarPanels()
    {
        const QString expected = QStringLiteral(
            "; Open|Open Saved Layout; Save|Save Layout; SaveAs|Save Layout AS; ; Print|Print; PrintPreview|Print Preview; "
            "FitCols|Shrink Columns to fit on page when printing; ; ExportXLS|Export to Excel Spreadsheet; ExportHTML|Export "
            "to HTML; ExportTXT|Export to Text file; ExportEmail|Export and attach to E-Mail; ; Summary|View Summary...; "
            "Fields|Choose Fields; Group|Group By; Sort|Sort By; ; ShowGroupByBox|Show Group By Box; Views|Turn on/off Card "
            "view; ; MoveFirst|Move First; MovePrevious|Move Previous; MoveNext|Move Next; MoveLast|Move Last");
        const CommandBar *bar = viewer->Toolbar;
        QStringList panels, tags, keys;
        for (int i = 1; i <= bar->panelCount(); ++i) {
            panels << (bar->tag(i).isEmpty() ? QString() : bar->tag(i) + u'|' + bar->toolTip(i));
            QCOMPARE(bar->icon(i).isNull(), bar->tag(i).isEmpty());
            if (!bar->tag(i).isEmpty())
                tags << bar->tag(i);
        }
        QCOMPARE(panels.join(QStringLiteral("; ")), expected);
        // The command bar is the one the user clicks; the button bar behind it only carries the keys.
        QVERIFY(!viewer->tlbMain->isVisible());
        for (QAction *a : viewer->tlbMain->actions())
            keys << a->data().toString();
        QCOMPARE(keys, tags);
    }

    void panelClick_data()
    {
        QTest::addColumn<int>("pressed");    // panel, or 0 for a point right of every panel
        QTest::addColumn<int>("released");
        QTest::addColumn<bool>("right");     // the right mouse button
        QTest::addColumn<int>("clicked");    // the panel reported, 0 for none
        QTest::newRow("leading spacer") << 1 << 1 << false << 1;
        QTest::newRow("last picture") << 26 << 26 << false << 26;
        QTest::newRow("released over another panel") << 23 << 24 << false << 0;
        QTest::newRow("outside every panel") << 0 << 0 << false << 0;
        QTest::newRow("right button") << 23 << 23 << true << 0;
    }
    void panelClick()
    {
        QFETCH(int, pressed);
        QFETCH(int, released);
        QFETCH(bool, right);
        QFETCH(int, clicked);
        CommandBar *bar = viewer->Toolbar;
        QSignalSpy spy(bar, &CommandBar::panelClicked);
        const auto at = [bar](int panel) { return panel ? bar->panelRect(panel).center() : QPoint(bar->width() + 5, 0); };
        const Qt::MouseButton button = right ? Qt::RightButton : Qt::LeftButton;
        QTest::mousePress(bar, button, {}, at(pressed));
        QTest::mouseRelease(bar, button, {}, at(released));
        QCOMPARE(spy.count() == 1 ? spy.at(0).at(0).toInt() : -spy.count(), clicked);
    }

    void panelLooksAndTooltips()
    {
        CommandBar *bar = viewer->Toolbar;
        const QRect r = bar->panelRect(23);
        const QImage raised = bar->grab(r).toImage();
        bar->setAppearance(23, 10);
        QVERIFY(bar->grab(r).toImage() != raised);
        bar->setAppearance(23, 5);
        QCOMPARE(bar->grab(r).toImage(), raised);
        // Panels that are not there keep no appearance.
        bar->setAppearance(0, 10);
        bar->setAppearance(27, 10);
        QCOMPARE((QList<int>{bar->appearance(0), bar->appearance(1), bar->appearance(26), bar->appearance(27)}),
                 (QList<int>{0, 5, 5, 0}));
        // A picture's tooltip is its text; a spacer has none.
        for (const int panel : {23, 22}) {
            const QPoint pos = bar->panelRect(panel).center();
            QHelpEvent help(QEvent::ToolTip, pos, bar->mapToGlobal(pos));
            QApplication::sendEvent(bar, &help);
            QTRY_COMPARE(QToolTip::isVisible() ? QToolTip::text() : QString(), panel == 23 ? "Move First" : "");
            QToolTip::hideText();
        }
    }

    void picturesAreDrawnAt16And24PixelsAndHighDensity_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<qreal>("ratio");
        QTest::newRow("16 px") << 16 << 1.0;
        QTest::newRow("24 px at ratio 2") << 24 << 2.0;   // the sizes between draw the same way
    }
    void picturesAreDrawnAt16And24PixelsAndHighDensity()
    {
        QFETCH(int, size);
        QFETCH(qreal, ratio);
        std::set<QByteArray> seen;
        for (const QString &key : viewerIconKeys()) {
            const QPixmap pm = viewerIcon(key).pixmap(QSize(size, size), ratio);
            QCOMPARE(pm.size(), QSize(size, size) * ratio);
            const QImage img = pm.toImage().convertToFormat(QImage::Format_ARGB32);
            // Legible means: a fair share of the square is drawn, and not all of it; and no two alike.
            int opaque = 0;
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x)
                    opaque += qAlpha(img.pixel(x, y)) > 128;
            const double share = double(opaque) / (img.width() * img.height());
            QVERIFY2(share > 0.08 && share < 0.95, qPrintable(key + QStringLiteral(" %1").arg(share)));
            QVERIFY2(seen.insert(QByteArray(reinterpret_cast<const char *>(img.constBits()), int(img.sizeInBytes()))).second,
                     qPrintable(key));
        }
    }
    void resizedWindowKeepsTheGridUnderTheBar()
    {
        viewer->resize(420, 260);
        QTRY_COMPARE(viewer->size(), QSize(420, 260));
        // The grid fills the client below the command bar, but for a narrow margin each side.
        const QWidget *client = viewer->Jgrid->parentWidget();
        QTRY_COMPARE(viewer->Jgrid->geometry().bottom(), client->rect().bottom());
        const QRect grid = viewer->Jgrid->geometry();
        QCOMPARE(QList<int>({viewer->Toolbar->geometry().top(), grid.top()}), QList<int>({0, viewer->Toolbar->height()}));
        QVERIFY(grid.left() > 0 && grid.right() < client->rect().right() && grid.width() > client->width() - 20);
        QVERIFY(viewer->Esc->isVisible() && !viewer->Esc->geometry().intersects(grid));
    }

    void command_data()
    {
        // "panel N", "key K" (run as given, "_" for a blank) or "menu <action>", then "card" for the
        // card view and "hidden" for a hidden grid.
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("state");     // what changes from kBase; "-": not compared
        QTest::addColumn<QString>("modal");     // the windows that came up
        QTest::newRow("panel 1 is a spacer") << "panel 1" << "" << "";
        QTest::newRow("Open asks for a layout") << "panel 2" << "" << "FileDLG";
        QTest::newRow("Print shows the print dialog") << "panel 6" << "" << "dlgPrint";
        QTest::newRow("PrintPreview swaps the windows") << "panel 7" << "preview=1 viewer=0" << "";
        // Panels 3 and 4 run the File menu's Save and SaveAs, which the layout tests drive; panels 10 to
        // 12 write files, which the export tests drive; 8, 20 and 21 toggle (below).
        QTest::newRow("ExportEmail asks for the kind of file") << "panel 13" << "" << "frmExportOptions";
        QTest::newRow("Summary") << "panel 15" << "" << "frmSummary";
        QTest::newRow("Fields") << "panel 16" << "" << "frmShowfields";
        QTest::newRow("Group") << "panel 17" << "" << "frmGroupBy";
        QTest::newRow("Sort") << "panel 18" << "" << "frmSort";
        QTest::newRow("MoveFirst") << "panel 23" << "row=1" << "";
        QTest::newRow("MovePrevious") << "panel 24" << "row=2" << "";
        QTest::newRow("MoveNext") << "panel 25" << "row=4" << "";
        QTest::newRow("MoveLast") << "panel 26" << "row=8" << "";
        QTest::newRow("key in capitals") << "key FITCOLS" << "fit=1 p8=10 menu=1110" << "";
        QTest::newRow("key Edit does nothing") << "key Edit" << "" << "";
        QTest::newRow("key in small letters") << "key printpreview" << "preview=1 viewer=0" << "";
        QTest::newRow("key in mixed case") << "key mOVEnEXT" << "row=4" << "";
        QTest::newRow("key with a trailing blank is another key") << "key Print_" << "" << "";
        QTest::newRow("a prefix of a key is no key") << "key Export" << "" << "";
        QTest::newRow("key Group needs the grid") << "key Group hidden" << "-" << "";
        QTest::newRow("key Sort needs the grid") << "key Sort hidden" << "-" << "";
        QTest::newRow("key Fields does not") << "key Fields hidden" << "-" << "frmShowfields";
        QTest::newRow("Show Fields") << "menu mnushow" << "-" << "frmShowfields";
        QTest::newRow("Show Fields, grid hidden") << "menu mnushow hidden" << "-" << "";
        QTest::newRow("Sort, grid hidden") << "menu mnusort hidden" << "-" << "";
        QTest::newRow("Group By") << "menu mnugroup" << "-" << "frmGroupBy";
        QTest::newRow("Group By, grid hidden") << "menu mnugroup hidden" << "-" << "";
        QTest::newRow("Format View in table view") << "menu mnuformat" << "-" << "frmTableview";
        QTest::newRow("Format View in card view") << "menu mnuformat card" << "-" << "frmCardView";
        QTest::newRow("Format View, grid hidden") << "menu mnuformat hidden" << "-" << "";
        QTest::newRow("View Summary") << "menu mnuSum" << "-" << "frmSummary";
        // The layout and print entries are driven by the layout and print tests.
    }
    void command()
    {
        QFETCH(QString, how);
        QFETCH(QString, state);
        QFETCH(QString, modal);
        const QStringList words = how.split(u' ');
        const QString &what = words[1];
        viewer->Jgrid->setViewMode(words.contains(u"card") ? 1 : 0);
        viewer->Jgrid->setCurrentRow(3);
        viewer->Jgrid->setHidden(words.contains(u"hidden"));
        QCOMPARE(observe(), changed(QStringLiteral("mode=%1").arg(viewer->Jgrid->viewMode())));
        QString seen;
        auto watch = test::whenOpen<QDialog>([&seen](QDialog *d) { seen = d->objectName(); });
        if (words[0] == u"panel")
            clickPanel(what.toInt());
        else if (words[0] == u"key")
            viewer->runCommand(QString(what).replace(u'_', u' '), 0);
        else
            trigger(what);
        QCOMPARE(seen, modal);
        if (state != u"-")
            QCOMPARE(observe(), changed(state));
        if (words[0] == u"panel" && what.toInt() > 22)
            QVERIFY(viewer->Jgrid->hasFocus() || viewer->Jgrid->isAncestorOf(QApplication::focusWidget()));
    }

    void toggles_data()
    {
        QTest::addColumn<QStringList>("actions");   // panels by number, menu entries by name
        QTest::addColumn<QStringList>("states");    // what each changes from kBase
        const QString card = QStringLiteral("mode=1 p21=10 menu=0101");
        // The new group puts a header over every record: the current record moves down to row 6.
        const QString back = QStringLiteral("row=6 groups=5+");
        QTest::newRow("card view and back gets the last column as a group")
            << QStringList{"21", "21"} << QStringList{card, back};
        QTest::newRow("the view style menu switches only from the unchecked entry")
            << QStringList{"MnuViewStyle(0)", "MnuViewStyle(1)", "MnuViewStyle(1)", "MnuViewStyle(0)"}
            << QStringList{"", card, card, back};
        const QString fit = QStringLiteral("fit=1 p8=10 menu=1110");
        QTest::newRow("fit to page from menu and bar") << QStringList{"MNUfitcol", "8", "MNUfitcol"}
                                                       << QStringList{fit, "", fit};
        const QString nobox = QStringLiteral("box=0 p20=10 menu=0010");
        QTest::newRow("group-by box from menu and bar") << QStringList{"mnugbBox", "20", "20"}
                                                        << QStringList{nobox, "", nobox};
    }
    void toggles()
    {
        QFETCH(QStringList, actions);
        QFETCH(QStringList, states);
        viewer->Jgrid->setCurrentRow(3);
        for (int i = 0; i < actions.size(); ++i) {
            bool panel = false;
            const int n = actions.at(i).toInt(&panel);
            panel ? clickPanel(n) : trigger(actions.at(i));
            QCOMPARE(observe(), changed(states.at(i)));
        }
    }

    void helpOpensTopic4()
    {
        QVERIFY(QFile::copy(QStringLiteral(VELMORA_SOURCE_DIR "/src/platform/help/velmora.chm"),
                            request().LocalPath + QStringLiteral("velmora.chm")));
        trigger(QStringLiteral("mnuHelp"));
        QTRY_VERIFY(platform::helpWindow() && platform::helpWindow()->isVisible());
        QCOMPARE(platform::helpWindow()->topic(), 4);
        QCOMPARE(QFileInfo(platform::helpWindow()->file()).fileName(), QStringLiteral("velmora.chm"));
    }

    void closingUnloadsEveryWindowOfTheComponent_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Esc button") << "button";
        QTest::newRow("File Exit") << "mnuExit";
        QTest::newRow("Esc key in the grid") << "key in grid";
        QTest::newRow("Esc key on the Esc button") << "key on button";
    }
    void closingUnloadsEveryWindowOfTheComponent()
    {
        QFETCH(QString, how);
        // Another window of the component, and one of the host.
        QPointer<CommandBar> other = new CommandBar;
        other->show();
        QPointer<QWidget> host = new QWidget;
        host->show();
        QVERIFY(QTest::qWaitForWindowExposed(host));
        viewer->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(viewer));
        if (how == u"button") {
            QTest::mouseClick(viewer->Esc, Qt::LeftButton);
        } else if (how == u"mnuExit") {
            trigger(how);
        } else {
            QWidget *w = how == u"key in grid" ? viewer->Jgrid->tableView() : static_cast<QWidget *>(viewer->Esc);
            w->setFocus();
            QTest::keyClick(w, Qt::Key_Escape);
        }
        QTRY_VERIFY(viewer.isNull() && other.isNull());
        QVERIFY(!host.isNull());
        QCOMPARE(frmMain::instance(), nullptr);
        delete host.data();
    }

    void escapeInACellEditorCancelsTheEditFirst()
    {
        ReportGrid *g = viewer->Jgrid;
        g->setAllowEdit(true);
        clickGrid(g, test::recordPoint(g, 2, 1), Qt::LeftButton, true);
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

    void headerClicks_data()
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
    void headerClicks()
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
                clickGrid(g, headerPoint(clicks[i].section(u' ', 1).toInt()));
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
    }

    void rightClickPopupByHitArea_data()
    {
        QTest::addColumn<int>("area");
        QTest::addColumn<QString>("menu");
        // The group row's pop-up is driven by groupsExpandAndCollapse.
        QTest::newRow("column header shows Remove") << int(GridArea::ColumnHeader) << "MNUColumnHeader";
        QTest::newRow("record row shows nothing") << int(GridArea::Record) << "";
    }
    void rightClickPopupByHitArea()
    {
        QFETCH(int, area);
        QFETCH(QString, menu);
        groupByStore();
        ReportGrid *g = viewer->Jgrid;
        const QPoint p = findPoint(g, [g, area](QPoint q) { return g->hitTest(q) == area; });
        viewer->MNUColumnHeader->setProperty("tag", QStringLiteral("untouched"));
        clickGrid(g, p, Qt::RightButton);
        QStringList shown;
        for (QMenu *m : {viewer->MNUexpandPU, viewer->MNUColumnHeader})
            if (m->isVisible())
                shown << m->objectName();
        QCOMPARE(shown.join(QLatin1Char(',')), menu);
        const int column = g->columnFromPoint(p);
        QCOMPARE(viewer->MNUColumnHeader->property("tag").toString(),
                 area == GridArea::ColumnHeader ? g->column(column)->caption() : "untouched");
        if (area != GridArea::ColumnHeader)
            return;
        // Remove Column hides the clicked column alone and keeps its data.
        const QVariant value = g->value(2, column);
        trigger(QStringLiteral("MNUcolumnRemove"));
        viewer->MNUColumnHeader->hide();
        for (int c = 1; c <= g->columnCount(); ++c)
            QCOMPARE(g->column(c)->visible(), c != column);
        QCOMPARE(g->value(2, column), value);
        QCOMPARE(headerPoint(column), QPoint(-1, -1));
    }

    void groupsExpandAndCollapse()
    {
        // Without groups, expanding and collapsing change nothing, the current row included.
        ReportGrid *g = viewer->Jgrid;
        g->setCurrentRow(4);
        viewer->MNUexpand->setProperty("tag", QStringLiteral("1"));
        trigger(QStringLiteral("MNUcollapse"));
        viewer->MNUexpand->trigger();
        SetGroupExpanded(*g, 0, false);
        QCOMPARE(g->rowCount(), test::kSampleCount);
        QCOMPARE(g->currentRow(), 4);

        groupByStore();
        QStringList captions;
        for (int p = 1; p <= g->rowCount(); ++p)
            if (g->row(p).type == GridRowType::GroupHeader)
                captions << g->groupCaption(p);
        QCOMPARE(captions, (QStringList{"store: 1 (3 ) ", "store: 2 (3 ) ", "store: 3 (2 ) "}));
        trigger(QStringLiteral("mnucolall"));
        QCOMPARE(g->rowCount(), 3);
        const int id = g->row(2).rowIndex;

        clickGrid(g, findPoint(g, [g](QPoint q) { return g->hitTest(q) == GridArea::GroupRow && g->rowFromPoint(q) == 2; }),
                  Qt::RightButton);
        QTRY_VERIFY(viewer->MNUexpandPU->isVisible());
        viewer->MNUexpand->trigger();
        viewer->MNUexpandPU->hide();
        QCOMPARE(g->rowCount(), 3 + 3);   // store 2 has three rows
        QVERIFY(g->row(2).expanded && !g->row(1).expanded && !g->row(6).expanded);
        QCOMPARE(g->row(6).type, GridRowType::GroupHeader);

        // The tag is read as a number: trailing decimals are cut off.
        viewer->MNUexpand->setProperty("tag", QString::number(id) + QStringLiteral(".9"));
        trigger(QStringLiteral("MNUcollapse"));
        QCOMPARE(g->rowCount(), 3);
        trigger(QStringLiteral("mnuexpall"));
        QCOMPARE(g->rowCount(), 3 + test::kSampleCount);
        QVERIFY(g->redraw());
    }

    void typeToJump_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("grouped");   // 0: no groups; else the store typed, grouped by store
        QTest::addColumn<int>("start");
        QTest::addColumn<QChar>("typed");
        QTest::addColumn<int>("expected");
        // Rows: 1 Alpha TV, 2 Bravo Sound, 3 Charlie Lamp, 4 alpine Desk, 5 Delta Fridge,
        // 6 Echo Speaker, 7 bravo Chair, 8 Foxtrot PC.
        QTest::newRow("match after the current row") << "masterinv" << 0 << 1 << QChar(u'c') << 3;
        QTest::newRow("upper-case key finds a lower-case row") << "masterinv" << 0 << 3 << QChar(u'B') << 7;
        QTest::newRow("search starts after the current row") << "masterinv" << 0 << 2 << QChar(u'b') << 7;
        QTest::newRow("match only before the current row is not found") << "masterinv" << 0 << 5 << QChar(u'a') << 5;
        QTest::newRow("kind compared ignoring case") << "MasterInv" << 0 << 1 << QChar(u'e') << 6;
        QTest::newRow("other report kinds do not jump") << "" << 0 << 1 << QChar(u'c') << 1;
        // Grouped by store, the rows are: 1 header 1, 2-4 records, 5 header 2, 6 ...
        QTest::newRow("group rows are skipped") << "masterinv" << 2 << 2 << QChar(u'2') << 6;
    }
    void typeToJump()
    {
        QFETCH(QString, kind);
        QFETCH(int, grouped);
        QFETCH(int, start);
        QFETCH(QChar, typed);
        QFETCH(int, expected);
        request().ReportKey = kind;
        ReportGrid *g = viewer->Jgrid;
        if (grouped)
            groupByStore();
        g->setCurrentRow(start);
        g->setCurrentColumn(grouped ? 2 : 1);
        g->tableView()->setFocus();
        int delivered = -1;
        // Connected after the viewer: sees the character as the viewer left it.
        connect(g, &ReportGrid::keyPress, this, [&delivered](int &c) { delivered = c; });
        QTest::keyClick(g->tableView(), typed.toLatin1());
        disconnect(g, &ReportGrid::keyPress, this, nullptr);
        QCOMPARE(g->currentRow(), expected);
        QCOMPARE(g->currentColumn(), grouped ? 2 : 1);
        QCOMPARE(delivered, kind.isEmpty() ? int(typed.unicode()) : 0);
    }

    void dragAllowsCopyingOnly()
    {
        // What is dragged is the grid's own test.
        int effects = 0;
        emit viewer->Jgrid->dragStart(effects);
        QCOMPARE(effects, 1);
    }
};

QTEST_MAIN(tst_frmMain)
#include "tst_frmmain.moc"
