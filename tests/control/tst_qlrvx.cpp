// The report control as a host drives it: what each method writes into the report request, the
// master inventory's store number split, the splash and pointer around a load, and the open
// viewer reused by a second call.

#include "../viewer/viewertesting.h"

using namespace velmora;

namespace {

// Watches the splash: whether it was painted while visible, and what the pointer was then.
class SplashWatcher : public QObject {
public:
    bool paintedVisible = false;
    bool busyWhilePainted = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && watched->objectName() == QLatin1String("frmSplash")) {
            paintedVisible |= static_cast<QWidget *>(watched)->isVisible();
            busyWhilePainted |= QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        }
        return false;
    }
};

} // namespace

class tst_QLrvx : public QObject {
    Q_OBJECT

    test::SampleStore m_store;

    // Opens an inventory report on the sample database so that later calls find the viewer loaded.
    frmMain *openInventory(QLrvx &control)
    {
        test::HostCall call{QStringLiteral("SELECT model, serial, cost, balance FROM inventory WHERE store = 3"),
                            m_store.data, m_store.conn, QStringLiteral("Main"), QStringLiteral("3"), m_store.local};
        test::callReport(control, QStringLiteral("ShowINVReport"), call);
        return frmMain::instance();
    }

private slots:
    void initTestCase() { QVERIFY(m_store.setUp()); }
    void cleanupTestCase() { test::unloadViewers(); }
    void cleanup()
    {
        test::unloadViewers();
        QVERIFY(!frmMain::instance());
    }

    void showsItsLabel()
    {
        QWidget hostForm;   // the host's form the control sits on
        QLrvx control(&hostForm);
        QCOMPARE(control.findChild<QLabel *>()->text(), QStringLiteral("Tallybook + Email"));
    }

    void requestWrites_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<bool>("withLocalPath");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("keepsSql");
        const std::tuple<const char *, const char *, const char *, bool> methods[] = {
            {"ShowINVReport", "", "Velmora Inventory Report", true},
            {"CustomSQL", "customsql", "Velmora Custom SQL Report", true},
            {"CustomSQLSecurity", "customsqlsecurity", "Velmora Custom SQL Results", true},
            {"ServiceReport", "servicereport", "Velmora Service Report", true},
            {"ProjectedReport", "projreport", "Velmora Projected Revenue Detail", true},
            {"ShowDeletedInv", "deletedinv", "Velmora Deleted Inventory", false},
            {"ShowMasterInv", "masterinv", "Velmora Master Company Inventory", false}};
        for (const auto &[method, key, title, keepsSql] : methods) {
            QTest::newRow(method) << method << true << key << title << keepsSql;
            if (keepsSql)   // the methods with a query have an overload without the local path
                QTest::newRow(qPrintable(QStringLiteral("%1 without local path").arg(QLatin1String(method))))
                    << method << false << key << title << keepsSql;
        }
    }
    void requestWrites()
    {
        QFETCH(QString, method);
        QFETCH(bool, withLocalPath);
        QFETCH(QString, key);
        QFETCH(QString, title);
        QFETCH(bool, keepsSql);

        SplashWatcher watcher;
        qApp->installEventFilter(&watcher);
        QWidget hostForm;   // the host's form the control sits on
        QLrvx control(&hostForm);
        frmMain *viewer = openInventory(control);
        qApp->removeEventFilter(&watcher);
        QVERIFY(viewer && viewer->isVisible());
        QVERIFY(watcher.paintedVisible && watcher.busyWhilePainted);
        QVERIFY(!frmSplash::isLoaded() && !QApplication::overrideCursor() && !pointerBusy());
        const std::shared_ptr<RecordTable> rows = viewer->Jgrid->table();
        QVERIFY(rows && rows->rowCount() > 0);
        const QString header = viewer->Jgrid->printerSettings().headerLeft;
        viewer->hide();

        // Every field holds what an earlier caller left, so a field the method does not write shows.
        ReportRequest &r = request();
        r.ReportKey = r.ReportTitle = r.SQLstatement = r.Datapath = r.ConnString = r.Storename = r.StoreNumber =
            r.LocalPath = QStringLiteral("old");
        r.DBpassword = QStringLiteral("old password");
        r.MasterFilter = QStringLiteral("old filter");
        r.LayoutName = QStringLiteral("old layout");
        QLabel target;
        r.SearchResultTarget = &target;

        test::HostCall call{QStringLiteral("SELECT model FROM inventory"), QStringLiteral("/store/data/"),
                            QStringLiteral("new conn"), QStringLiteral("Uptown"), QStringLiteral("12"),
                            QStringLiteral("/ws/local/"), withLocalPath};
        test::callReport(control, method, call);
        QCOMPARE(QStringList({r.ReportKey, r.ReportTitle, r.SQLstatement, r.Datapath, r.ConnString, r.Storename,
                              r.StoreNumber, r.LocalPath}),
                 QStringList({key, title, keepsSql ? call.sql : QString(), "/store/data/", "new conn", "Uptown", "12",
                              withLocalPath ? "/ws/local/" : ""}));
        // Fields no report method writes.
        QCOMPARE(r.DBpassword, QStringLiteral("old password"));
        QCOMPARE(r.LayoutName, QStringLiteral("old layout"));
        QCOMPARE(r.SearchResultTarget.data(), &target);
        QCOMPARE(r.MasterFilter, method == QLatin1String("ShowMasterInv") ? QString() : QStringLiteral("old filter"));
        // The arguments are the host's variables: only the master report may change one.
        QCOMPARE(call.sql + u'|' + call.number, QStringLiteral("SELECT model FROM inventory|12"));
        // The viewer was open, so it was brought forward, neither queried nor set up again.
        QCOMPARE(frmMain::instance(), viewer);
        QVERIFY(viewer->isVisible());
        QCOMPARE(viewer->Jgrid->table(), rows);
        QCOMPARE(viewer->Jgrid->printerSettings().headerLeft, header);
    }

    void masterStoreNumber_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("storeNumber");
        QTest::addColumn<QString>("filter");
        QTest::newRow("store and condition") << "12|category = 'TV'" << "12" << "category = 'TV'";
        QTest::newRow("leading pipe empties the store number") << "|x" << "" << "x";
        QTest::newRow("split at the first pipe") << "5|a = '|'" << "5" << "a = '|'";
        QTest::newRow("no pipe keeps the store number") << "12" << "12" << "";
    }
    void masterStoreNumber()
    {
        QFETCH(QString, argument);
        QFETCH(QString, storeNumber);
        QFETCH(QString, filter);
        QWidget hostForm;
        QLrvx control(&hostForm);
        QVERIFY(openInventory(control));
        request().MasterFilter = QStringLiteral("left by an earlier call");
        test::HostCall call{{}, m_store.data, m_store.conn, QStringLiteral("Main"), argument, m_store.local};
        test::callReport(control, QStringLiteral("ShowMasterInv"), call);
        QCOMPARE(call.number, storeNumber);   // the caller's own variable
        QCOMPARE(request().StoreNumber, storeNumber);
        QCOMPARE(request().MasterFilter, filter);
    }

    void closingViewerLeavesHostControlAlone()
    {
        // A host may show the control as a window of its own; Esc in the viewer must not take it away.
        QPointer<QLrvx> control = new QLrvx;
        control->show();
        frmMain *viewer = openInventory(*control);
        QVERIFY(viewer);
        viewer->findChild<QPushButton *>(QStringLiteral("Esc"))->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!frmMain::instance());
        QVERIFY(control && control->isVisible());
        delete control;
    }
};

QTEST_MAIN(tst_QLrvx)
#include "tst_qlrvx.moc"
