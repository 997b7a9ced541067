// The viewer's load step against a real database: every report kind of the catalogue opened the
// way a host opens it, a deletion in the deleted inventory, and the failure report triggered by
// real faults.

#include "core/layoutrules.h"
#include "data/connection.h"
#include "platform/helpwindow.h"
#include "platform/platform.h"
#include "viewer/loadstep.h"

#include "viewertesting.h"

#include "common/tools.h"

#include <csignal>

using namespace velmora;

namespace {

// What the user saw in a message box, its text and then the rest in one line, trying its Help
// button; answered with OK.
QStringList look(QMessageBox *mb)
{
    QString help = QStringLiteral("none");
    if (QAbstractButton *button = mb->button(QMessageBox::Help)) {
        QTest::mouseClick(button, Qt::LeftButton);
        platform::HelpWindow *w = platform::helpWindow();
        help = w ? w->file() + u'#' + QString::number(w->topic()) + (mb->isVisible() ? " box open" : " box gone") : "no window";
        if (w)
            w->close();
    }
    const QString seen = QStringLiteral("%1 icon %2, %3 buttons, splash %4, pointer %5, help %6")
                             .arg(mb->windowTitle())
                             .arg(int(mb->icon()))
                             .arg(mb->buttons().size())
                             .arg(frmSplash::isLoaded() && frmSplash::instance()->isVisible() ? "up" : "gone")
                             .arg(QApplication::overrideCursor() ? "busy" : "normal", help);
    const QString text = mb->text();
    QTest::mouseClick(mb->button(QMessageBox::Ok), Qt::LeftButton);
    return {text, seen};
}

// Enough rows over the server that a load takes seconds: the inventory times the engine's types.
const QString manyRows = QStringLiteral(
    "SELECT i.model, i.description, i.cost, t.rdb$type AS kind FROM inventory i CROSS JOIN rdb$types t");

} // namespace

class tst_LoadStep : public QObject {
    Q_OBJECT

    test::SampleStore m_store;
    QString m_serverConnString;   // the sample database through the test server

    // Opens the report of `key` over `sql` as the entry points do, answering a failure box when
    // one comes up.
    frmMain *open(const QString &key, const QString &sql, QStringList *box = nullptr, const QString &conn = {})
    {
        ReportRequest &r = request();
        r.ReportKey = key;
        r.SQLstatement = sql;
        r.ConnString = conn.isEmpty() ? m_store.conn : conn;
        QStringList seen;
        auto watch = test::whenOpen<QMessageBox>([&seen](QMessageBox *mb) { seen = look(mb); });
        loadViewer();
        if (box)
            *box = seen;
        else if (!seen.isEmpty())
            qWarning("unexpected message box: %s", qPrintable(seen.first()));
        return frmMain::instance();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_store.setUp());
        QVERIFY(test::writeAll(m_store.local + QStringLiteral("velmora.chm"),
                               "<html><body><a name=\"topic16\"></a><h1>Connecting to the store server</h1></body></html>"));
        const test::FirebirdServer server = test::firebirdServer();
        QVERIFY2(server.isValid(), "the fbserver fixture did not start a server");
        const QString onServer = test::copySampleDatabase(server.dbDir);
        QVERIFY(!onServer.isEmpty());
        m_serverConnString = server.oleDbConnString(onServer);
    }
    void init()
    {
        ReportRequest &r = request();
        r.ReportTitle = QStringLiteral("Test Report");
        r.Datapath = m_store.data;
        r.LocalPath = m_store.local;
        r.Storename = QStringLiteral("Main Street");
        r.StoreNumber = QStringLiteral("07");
        r.MasterFilter.clear();
        r.LayoutName = QStringLiteral("left over");
    }
    void cleanup()
    {
        test::unloadViewers();
        QVERIFY(!frmMain::instance());
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(!frmSplash::isLoaded());
        platform::settings()->remove(QStringLiteral("Saved Reports"));
    }

    void kinds_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("sql");     // what the host hands over
        QTest::addColumn<QString>("runs");    // what the load step runs
        QTest::addColumn<QString>("shape");   // the pages, the access, the totals and hidden columns

        const QString inv = QStringLiteral(
            "SELECT model, serial, category, cost, balance, rbvbook, rentalincome, otherincome FROM inventory WHERE store = 7");
        const QString master = QStringLiteral(
            "SELECT model, serial, stock, description, category, store, cost, rentalincome, daterec, firstsaledate, "
            "balance as RBV from inventory where status = 'STOCK' and svcstatus <>'SERVICE' and store <> 7");
        const QString custom = QStringLiteral("SELECT account, name, city, bbbalance, deposit FROM customers");
        QTest::newRow("inventory") << "" << inv << inv
                                   << "portrait, read, count model, sum cost balance rbvbook rentalincome otherincome, totals";
        // The other kinds that take the host's query differ from these only in the catalogue's names.
        const QString service = QStringLiteral("SELECT model, serial, svccharge, status FROM service");
        QTest::newRow("service") << "ServiceReport" << service << service << "portrait, read, count model, sum svccharge, totals";
        QTest::newRow("custom sql security without prefix is editable")
            << "customsqlsecurity" << custom << custom << "landscape, edit, count account, sum bbbalance deposit, totals";
        QTest::newRow("custom sql security with READONLY, any case, is read only")
            << "CustomSQLSecurity" << "ReadOnly " + custom << " " + custom
            << "landscape, read, count account, sum bbbalance deposit, totals";
        // Custom SQL is read only. The first text field counts, a later one does not; only money with
        // two decimals is summed.
        const QString scaled = QStringLiteral("SELECT id, model, serial, CAST(cost AS NUMERIC(15,1)) AS cost1, "
                                              "CAST(cost AS NUMERIC(15,3)) AS cost3, cost, daterec, balance FROM inventory");
        QTest::newRow("custom sql totals from the field types")
            << "customsql" << scaled << scaled << "landscape, read, count model, sum cost balance, totals";
        QTest::newRow("all customers hides four columns") << "allcustomers" << "" << "SELECT * from customers"
                                                          << "landscape, read, hidden ss1 ss2 recupdate emailinv";
        QTest::newRow("deleted inventory is deletable")
            << "DeletedInv" << "" << "SELECT * FROM delinventory order by deleted desc" << "landscape, delete";
        QTest::newRow("master inventory") << "masterinv" << "" << master << "portrait, read, totals";
    }
    void kinds()
    {
        QFETCH(QString, key);
        QFETCH(QString, sql);
        QFETCH(QString, runs);
        QFETCH(QString, shape);

        frmMain *viewer = open(key, sql);
        QVERIFY(viewer && viewer->isVisible());
        QCOMPARE(request().SQLstatement, runs);
        QVERIFY(request().LayoutName.isEmpty());
        QCOMPARE(platform::defaultHelpFile(), m_store.local + QStringLiteral("Velmora.chm"));
        QCOMPARE(viewer->windowTitle() == QStringLiteral("Deleted Inventory"), key == u"DeletedInv");

        ReportGrid &grid = *viewer->Jgrid;
        QVERIFY(grid.table() && grid.table()->rowCount() > 0);
        QCOMPARE(grid.currentRow(), 1);
        QVERIFY(viewer->connection && !grid.allowAddNew());
        // Read and write only where the grid may change rows.
        QCOMPARE(int(viewer->connection->mode()), grid.allowEdit() || grid.allowDelete() ? 3 : 1);
        QStringList seen{grid.printerSettings().orientation == 2 ? "landscape" : "portrait",
                         grid.allowEdit() ? "edit" : grid.allowDelete() ? "delete" : "read"};
        QString counted, summed, hidden;   // the hidden columns are kept, not shown
        for (int i = 1; i <= grid.table()->columnCount(); ++i) {
            const GridColumn *c = grid.column(i);
            const QString k = u' ' + c->key().toLower();
            counted += c->aggregateFunction() == 1 ? k : QString();
            summed += c->aggregateFunction() == 2 ? k : QString();
            hidden += c->visible() ? QString() : k;
        }
        for (const QString &part : {"count" + counted, "sum" + summed, "hidden" + hidden})
            if (part.contains(u' '))
                seen << part;
        // The totals column: the last one, hidden, and its one group.
        if (grid.columnCount() > grid.table()->columnCount()) {
            const GridColumn *last = grid.column(grid.columnCount());
            QCOMPARE(last->caption(), QStringLiteral("Drag Columns Here to Group"));
            QVERIFY(!last->visible() && last->totalsMarker() == 1 && last->sourceColumn() == -1);
            QCOMPARE(grid.groups().count(), 1);
            QCOMPARE(grid.groups().item(1).column, grid.columnCount());
            QCOMPARE(grid.groups().item(1).order, 1);
            seen << QStringLiteral("totals");
        }
        QCOMPARE(grid.columnCount() - grid.table()->columnCount(), grid.groups().count());
        QCOMPARE(seen.join(QStringLiteral(", ")), shape);
    }

    // An inventory report as a store opens it: page set-up, the totals group, the view styles.
    void inventoryPagesTotalsAndViews()
    {
        request().Storename = QStringLiteral("Lager Süd");
        request().ReportTitle = QStringLiteral("Velmora Inventory Report");
        const QString sql = QStringLiteral("SELECT model, serial, cost, balance FROM inventory WHERE store = 7");
        // What isql-fb finds for the same query, while no viewer holds the file.
        const QStringList sums = test::isqlValue(m_store.db, QStringLiteral("SELECT COUNT(*) || '|' || COUNT(model) || '|' || "
                                                                            "SUM(cost) || '|' || SUM(balance) FROM (%1)")
                                                                 .arg(sql))
                                     .split(u'|');
        QCOMPARE(sums.size(), 4);
        frmMain *viewer = open(QString(), sql);
        QVERIFY(viewer);
        ReportGrid &grid = *viewer->Jgrid;
        const PrinterSettings &p = grid.printerSettings();
        QList<int> margins{p.marginLeft, p.marginRight, p.marginTop, p.marginBottom};
        std::sort(margins.begin(), margins.end());
        QCOMPARE(margins, (QList<int>{720, 720, 720, 1080}));
        QCOMPARE(p.headerLeft, QStringLiteral("Velmora Inventory Report"));
        QCOMPARE(p.headerCenter, QStringLiteral("Lager Süd  Store#: 07"));
        QCOMPARE(p.headerRight, QLocale().toString(QDate::currentDate(), QLocale::ShortFormat));
        // The fit flag is off on a fresh grid, and the menu says so.
        QVERIFY(!p.fitColumnsToPage && !viewer->MNUfitcol->isChecked());

        // One group header over every row, and its footer with the totals.
        QCOMPARE(grid.row(1).type, GridRowType::GroupHeader);
        QCOMPARE(QString::number(grid.row(1).recordCount), sums[0]);
        QCOMPARE(grid.row(1).recordCount, grid.table()->rowCount());
        grid.expandAll();   // collapsed groups keep their footer out of the list
        int footer = 0;
        for (int r = 2; r <= grid.rowCount(); ++r) {
            QVERIFY(grid.row(r).type != GridRowType::GroupHeader);
            if (grid.row(r).type == GridRowType::GroupFooter)
                footer = r;
        }
        QVERIFY(footer > 0);
        const QLocale locale;
        const auto cell = [&](const char16_t *key) { return grid.text(footer, grid.columnByKey(key)->index()); };
        QCOMPARE(cell(u"model"), QStringLiteral("Count: ") + locale.toString(sums[1].toLongLong()));
        QCOMPARE(cell(u"cost"), locale.toString(sums[2].toDouble(), 'f', 2));
        QCOMPARE(cell(u"balance"), locale.toString(sums[3].toDouble(), 'f', 2));
        QVERIFY(cell(u"serial").isEmpty());

        // Two view styles, the grid checked.
        QCOMPARE(viewer->mnuCurrentView->actions(), (QList<QAction *>{viewer->MnuViewStyle(0), viewer->MnuViewStyle(1)}));
        QCOMPARE(viewer->MnuViewStyle(0)->text() + u'|' + viewer->MnuViewStyle(1)->text(), QStringLiteral("Grid View|Card View"));
        QVERIFY(viewer->MnuViewStyle(0)->isChecked() && !viewer->MnuViewStyle(1)->isChecked());
    }

    void lastLayoutReopened_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("settingName");   // as another part of the program wrote it
        QTest::addColumn<bool>("reopened");
        const QString sql = QStringLiteral("SELECT model, serial, cost FROM inventory");
        QTest::newRow("inventory") << "" << sql << "Last Inventory" << true;
        QTest::newRow("master inventory written in other case") << "masterinv" << "" << "Last Masterinv" << true;
        QTest::newRow("custom sql never reopens") << "customsql" << sql << "Last Inventory" << false;
    }
    void lastLayoutReopened()
    {
        QFETCH(QString, key);
        QFETCH(QString, sql);
        QFETCH(QString, settingName);
        QFETCH(bool, reopened);
        // A layout showing two columns, serial first, saved for the kind and remembered.
        const QString layout = m_store.data + layoutrules::layoutFolder(key, Qt::CaseInsensitive) + QStringLiteral("Store Layout.txt");
        QVERIFY(test::writeAll(layout, "serial\r\nmodel\r\n"));
        platform::settings()->setValue(QStringLiteral("Saved Reports/") + settingName, QStringLiteral("Store Layout.txt"));
        frmMain *viewer = open(key, sql);
        QFile::remove(layout);
        QVERIFY(viewer);
        ReportGrid &grid = *viewer->Jgrid;
        QCOMPARE(request().LayoutName, reopened ? QStringLiteral("Store Layout.txt") : QString());
        QCOMPARE(grid.columnByKey(u"serial")->position(), reopened ? 1 : 2);
        QCOMPARE(grid.columnByKey(u"cost")->visible(), !reopened);
        QVERIFY(grid.columnByKey(u"model")->visible());
    }

    // The deleted inventory as a store opens it: a deletion is asked first, and what the grid lets go
    // of is gone from the database, as isql-fb reads it once the viewer has let go of the file.
    void deleteAsksFirst_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("answered No keeps the rows") << false;
        QTest::newRow("answered Yes deletes them") << true;
    }
    void deleteAsksFirst()
    {
        QFETCH(bool, yes);
        frmMain *viewer = open(QStringLiteral("DeletedInv"), QString());
        QVERIFY(viewer);
        ReportGrid *g = viewer->Jgrid;
        const int before = g->rowCount(), id = g->columnByKey(u"id")->index();
        const QStringList ids{g->text(2, id), g->text(3, id)};
        g->selectRows({2, 3});
        g->tableView()->setFocus();
        QString defaultButton;
        auto asked = test::whenOpen<QMessageBox>([&](QMessageBox *box) {
            defaultButton = box->defaultButton() ? box->defaultButton()->text().remove(u'&') : QString();
            QCOMPARE(box->icon(), QMessageBox::Question);
            QCOMPARE(box->buttons().size(), 2);
            test::steps(box, {"?title=Verify Delete", "?text=Are you sure you want to delete the selected record(s)?",
                              yes ? "Yes" : "No"});
        });
        QTest::keyClick(g->tableView(), Qt::Key_Delete);
        QVERIFY(*asked);
        QCOMPARE(defaultButton, QStringLiteral("No"));
        QCOMPARE(g->rowCount(), yes ? before - 2 : before);
        for (int p = 1; p <= g->rowCount(); ++p)
            QCOMPARE(ids.contains(g->text(p, id)), !yes && (p == 2 || p == 3));
        test::unloadViewers();
        QCOMPARE(test::isqlValue(m_store.db, QStringLiteral("SELECT COUNT(*) FROM delinventory WHERE id IN (%1)").arg(ids.join(u','))),
                 yes ? QStringLiteral("0") : QStringLiteral("2"));
    }

    void failureBoxes_data()
    {
        QTest::addColumn<QString>("conn");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<bool>("lostServer");
        QTest::addColumn<QString>("engineWords");   // part of the engine's messages
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("key");
        // Port 1 of the loopback: nobody listens there.
        QTest::newRow("no server on the port")
            << "Data Source=127.0.0.1/1:/nowhere/store.fdb;User ID=SYSDBA;Password=x"
            << "SELECT * FROM inventory" << true << "Failed to establish a connection." << 7 << "";
        QTest::newRow("host name that does not resolve")
            << "Data Source=velmora-no-such-host.invalid:/nowhere/store.fdb;User ID=SYSDBA;Password=x"
            << "SELECT * FROM inventory" << true << "Failed to locate host machine." << 7 << "";
        QTest::newRow("bad sql") << "" << "SELECT FROM WHERE" << false << "Token unknown" << 8 << "";
        QTest::newRow("statement without rows")
            << "" << "EXECUTE BLOCK AS DECLARE x INTEGER; BEGIN x = 1; END" << false << "" << 10 << "customsql";
    }
    void failureBoxes()
    {
        QFETCH(QString, conn);
        QFETCH(QString, sql);
        QFETCH(bool, lostServer);
        QFETCH(QString, engineWords);
        QFETCH(int, line);
        QFETCH(QString, key);

        QStringList box;
        frmMain *viewer = open(key, sql, &box, conn);
        QCOMPARE(box.size(), 2);
        // No title of its own, the box comes while the viewer loads, and nobody waits on an OK button;
        // on a lost server, Help shows the topic and leaves the box open.
        QCOMPARE(box[1], QStringLiteral("Velmora icon %1, %2 buttons, splash up, pointer normal, help %3")
                             .arg(int(QMessageBox::Warning))
                             .arg(lostServer ? 2 : 1)
                             .arg(lostServer ? m_store.local + QStringLiteral("velmora.chm#16 box open") : "none"));
        const QString &text = box[0];
        QVERIFY2(text.contains(engineWords, Qt::CaseInsensitive), qPrintable(text));
        // The report's wording is the catalogue's; here, which report the real fault gives.
        QVERIFY2(text.contains(QStringLiteral("\r\nLine#: %1\r\nLocation: Tallybook OCX.FrmMain.Form_Load\r\n").arg(line)),
                 qPrintable(text));
        QCOMPARE(text.contains(QStringLiteral("Message from SQL Engine: ")), !engineWords.isEmpty());
        QCOMPARE(text.startsWith(QStringLiteral("Not able to find Server computer")), lostServer);
        QCOMPARE(text.endsWith(QStringLiteral("Report this information to Tech Support at 1-800-555-0147.")), !lostServer);
        // Afterwards: pointer back, splash gone, and the viewer still shown with what was set up.
        QVERIFY(!QApplication::overrideCursor() && !frmSplash::isLoaded());
        QVERIFY(viewer && viewer->isVisible());
        QVERIFY(!viewer->Jgrid->table() || viewer->Jgrid->table()->rowCount() == 0);
    }

    void cancelThroughTheSplash_data()
    {
        QTest::addColumn<bool>("silentServer");
        QTest::newRow("cancel while rows arrive") << false;
        QTest::newRow("cancel while the server does not answer") << true;
    }
    void cancelThroughTheSplash()
    {
        QFETCH(bool, silentServer);
        const int serverPid = test::readEnv(test::runDir() + QStringLiteral("/fbserver.env")).value(QStringLiteral("FB_PID")).toInt();
        QVERIFY(serverPid > 0);
        // The server stopped with SIGSTOP goes on at the latest when the test ends.
        int paused = 0;
        const auto resume = [&paused] {
            if (paused > 0)
                ::kill(std::exchange(paused, 0), SIGCONT);
        };
        const auto resumeAtTheEnd = qScopeGuard(resume);
        // The count stood still over several polls: the rows buffered on our side are used up and
        // the worker waits on the server.
        qint64 lastCount = -1;
        int still = 0;
        qint64 shownAtClick = -1;
        QElapsedTimer sinceClick;
        QTimer user;
        connect(&user, &QTimer::timeout, this, [&] {
            LoadProgress *load = LoadProgress::instance();
            if (shownAtClick >= 0 || !frmSplash::isLoaded() || load->arrived() < 20000)
                return;
            if (silentServer && !paused)
                ::kill(paused = serverPid, SIGSTOP);
            still = load->arrived() == lastCount ? still + 1 : 0;
            lastCount = load->arrived();
            if (silentServer && still < 6)
                return;
            auto *rows = frmSplash::instance()->findChild<QLabel *>(QStringLiteral("lblProgress"));
            auto *cancel = frmSplash::instance()->findChild<QPushButton *>(QStringLiteral("cmdCancel"));
            QVERIFY(rows && cancel && rows->isVisible() && cancel->isVisible());
            QCOMPARE(cancel->text(), QStringLiteral("Cancel"));
            // The label is refreshed a few times a second: a user clicks once it shows rows.
            const qint64 shown = QLocale().toLongLong(rows->text().section(QLatin1Char(' '), 0, 0));
            if (shown <= 0)
                return;
            shownAtClick = shown;
            sinceClick.start();
            QTest::mouseClick(cancel, Qt::LeftButton);
        });
        user.start(20);
        frmMain *viewer = open(QStringLiteral("customsql"), manyRows, nullptr, m_serverConnString);
        const qint64 returnedAfter = sinceClick.elapsed();
        user.stop();

        QVERIFY2(shownAtClick > 0, "the splash never counted arriving rows");
        QVERIFY2(returnedAfter < 1000, qPrintable(QString::number(returnedAfter)));
        QVERIFY(viewer && viewer->isVisible());
        const std::shared_ptr<RecordTable> table = viewer->Jgrid->table();
        QVERIFY(table && table->columnCount() == 4);
        QVERIFY(table->rowCount() >= shownAtClick && table->rowCount() < 2000 * 100);
        QCOMPARE(viewer->statusText(), incompleteReportText(table->rowCount()));
        QVERIFY(!table->displayText(0, 0).isEmpty());
        QCOMPARE(viewer->connection->usable(), !silentServer);

        // The abandoned call's late answer ends its worker and changes nothing the viewer shows.
        const int rowsShown = table->rowCount();
        resume();
        QTRY_COMPARE_WITH_TIMEOUT(LoadJob::runningWorkers(), 0, 20000);
        QCOMPARE(viewer->Jgrid->table()->rowCount(), rowsShown);
        // The connection a silent server cost is opened afresh on its next use.
        auto again = viewer->connection->query(QStringLiteral("SELECT COUNT(*) FROM inventory"));
        QVERIFY2(again.ok(), qPrintable(again.ok() ? QString() : again.failure().text()));
        QVERIFY(viewer->connection->usable());
    }

    void closingTheViewerDuringALoad()
    {
        bool closed = false;
        QTimer user;
        connect(&user, &QTimer::timeout, this, [&] {
            if (!closed && LoadProgress::instance()->arrived() >= 20000) {
                closed = true;
                frmMain::unloadAll();
            }
        });
        user.start(20);
        frmMain *viewer = open(QStringLiteral("customsql"), manyRows, nullptr, m_serverConnString);
        user.stop();
        QVERIFY(closed && !viewer && !frmSplash::isLoaded());
        QTRY_COMPARE_WITH_TIMEOUT(LoadJob::runningWorkers(), 0, 5000);
    }
};

QTEST_MAIN(tst_LoadStep)
#include "tst_loadstep.moc"
