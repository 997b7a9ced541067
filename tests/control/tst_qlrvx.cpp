// The report control as a host drives it: what each method writes into the report request, the
// master inventory's store number split, the splash and pointer around a load, and the open
// viewer reused by a second call. Then the demo host on the sample database: every report button
// opens the viewer on rows, with no failure box, and the master inventory button hands the store
// number back without its filter.

#include "../../apps/demo/demowindow.h"
#include "../viewer/viewertesting.h"

using namespace velmora;

namespace {

// Watches the splash: whether it was painted while visible, and whether the pointer was busy then.
struct SplashWatcher : QObject {
    bool paintedVisible = false, busyWhilePainted = false;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && watched->objectName() == u"frmSplash" && static_cast<QWidget *>(watched)->isVisible()) {
            paintedVisible = true;
            busyWhilePainted |= QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        }
        return false;
    }
};

} // namespace

class tst_QLrvx : public QObject {
    Q_OBJECT

    test::SampleStore m_store;
    std::unique_ptr<DemoWindow> m_demo;

    // Opens an inventory report on the sample database so that later calls find the viewer loaded.
    frmMain *openInventory(QLrvx &control)
    {
        test::HostCall call{QStringLiteral("SELECT model, serial, cost, balance FROM inventory WHERE store = 3"),
                            m_store.data, m_store.conn, QStringLiteral("Main"), QStringLiteral("3"), m_store.local};
        test::callReport(control, QStringLiteral("ShowINVReport"), call);
        return frmMain::instance();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_store.setUp());
        // Folders given without the separator, as a user types them: the demo adds it.
        m_demo = std::make_unique<DemoWindow>(DemoWindow::Options{m_store.data.chopped(1), m_store.local.chopped(1), m_store.db});
        m_demo->show();
    }
    void cleanup()
    {
        test::unloadViewers();
        QVERIFY(!frmMain::instance());
        QVERIFY(m_demo->isVisible());   // closing the viewer leaves the host alone
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
            r.LocalPath = r.DBpassword = r.MasterFilter = r.LayoutName = QStringLiteral("old");
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
        // Fields no report method writes, but for the master report's filter.
        QCOMPARE(QStringList({r.DBpassword, r.LayoutName, r.MasterFilter}),
                 QStringList({"old", "old", method == QLatin1String("ShowMasterInv") ? "" : "old"}));
        QCOMPARE(r.SearchResultTarget.data(), &target);
        // The arguments are the host's variables: only the master report may change one.
        QCOMPARE(call.sql + u'|' + call.number, QStringLiteral("SELECT model FROM inventory|12"));
        // The viewer was open, so it was brought forward, neither queried nor set up again.
        QVERIFY(frmMain::instance() == viewer && viewer->isVisible());
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
        QCOMPARE(control->findChild<QLabel *>()->text(), QStringLiteral("Tallybook + Email"));
        frmMain *viewer = openInventory(*control);
        QVERIFY(viewer);
        viewer->findChild<QPushButton *>(QStringLiteral("Esc"))->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!frmMain::instance());
        QVERIFY(control && control->isVisible());
        delete control;
    }

    void demoFields()
    {
        const auto field = [this](const char *name) { return m_demo->findChild<QLineEdit *>(QLatin1String(name))->text(); };
        QCOMPARE(QStringList({field("txtDatapath"), field("txtLocalPath")}), QStringList({m_store.data, m_store.local}));
        QVERIFY(field("txtConnString").contains(m_store.db));
    }

    void reportButtons_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("editable");
        QTest::newRow("inventory") << "cmdShowINVReport" << "" << false;
        QTest::newRow("service") << "cmdServiceReport" << "servicereport" << false;
        QTest::newRow("projected revenue") << "cmdProjectedReport" << "projreport" << false;
        QTest::newRow("custom sql") << "cmdCustomSQL" << "customsql" << false;
        QTest::newRow("custom sql editable") << "cmdCustomSQLSecurity" << "customsqlsecurity" << true;
        QTest::newRow("custom sql readonly") << "cmdCustomSQLSecurityReadonly" << "customsqlsecurity" << false;
        QTest::newRow("deleted inventory") << "cmdShowDeletedInv" << "deletedinv" << false;
        QTest::newRow("master inventory") << "cmdShowMasterInv" << "masterinv" << false;
    }

    void reportButtons()
    {
        QFETCH(QString, button);
        QFETCH(QString, key);
        QFETCH(bool, editable);
        // A failure box would hold the click; note it and answer it.
        QString boxText;
        auto watch = test::whenOpen<QMessageBox>([&boxText](QMessageBox *box) { boxText = box->text(); });
        QTest::mouseClick(m_demo->findChild<QPushButton *>(button), Qt::LeftButton);
        QVERIFY2(boxText.isEmpty(), qPrintable(boxText));
        QCOMPARE(request().ReportKey, key);
        frmMain *viewer = frmMain::instance();
        QVERIFY(viewer && viewer->isVisible());
        QVERIFY2(viewer->Jgrid->table() && viewer->Jgrid->table()->rowCount() > 0, qPrintable(request().SQLstatement));
        QCOMPARE(viewer->Jgrid->allowEdit(), editable);
    }

    void masterButtonKeepsTheStoreNumber()
    {
        auto *number = m_demo->findChild<QLineEdit *>(QStringLiteral("txtStoreNumber"));
        auto *filter = m_demo->findChild<QLineEdit *>(QStringLiteral("txtMasterFilter"));
        number->setText(QStringLiteral("07"));
        filter->setText(QStringLiteral("category = 'AUDIO'"));
        QTest::mouseClick(m_demo->findChild<QPushButton *>(QStringLiteral("cmdShowMasterInv")), Qt::LeftButton);
        QCOMPARE(number->text(), QStringLiteral("07"));
        QCOMPARE(request().MasterFilter, QStringLiteral("category = 'AUDIO'"));
        QVERIFY(request().SQLstatement.endsWith(QStringLiteral("store <> 7 and category = 'AUDIO'")));
        QVERIFY(frmMain::instance()->Jgrid->table()->rowCount() > 0);
    }

    void customerSearchPickShowsAndLogs()
    {
        QVERIFY(QFile::copy(test::sampleSearchFile(), m_store.local + QStringLiteral("search.tmp")));
        QTest::mouseClick(m_demo->findChild<QPushButton *>(QStringLiteral("cmdShowCustSearch")), Qt::LeftButton);
        QVERIFY(frmMain::instance());
        ReportGrid *g = frmMain::instance()->Jgrid;
        g->setCurrentRow(4);
        QTest::keyClick(g->tableView(), Qt::Key_Return);
        const QString account = g->text(4, g->columnByKey(u"account")->index());
        QVERIFY(!account.isEmpty());
        QCOMPARE(m_demo->findChild<QLabel *>(QStringLiteral("lblPickedAccount"))->text(), account);
        const QStringList log =
            m_demo->findChild<QPlainTextEdit *>(QStringLiteral("txtChangeLog"))->toPlainText().split(u'\n');
        QCOMPARE(log.size(), 1);
        QVERIFY(log.first().endsWith(QStringLiteral("Change: Caption = \"%1\"").arg(account)));
    }
};

QTEST_MAIN(tst_QLrvx)
#include "tst_qlrvx.moc"
