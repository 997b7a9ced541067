// The report control as a host drives it: what each method writes into the report request, the
// master inventory's store number split, the splash and pointer around a load, and the open
// viewer reused by a second call.

#include <velmora/error.h>
#include <velmora/qlrvx.h>

#include "control/frmSplash.h"
#include "core/reportrequest.h"
#include "grid/reportgrid.h"
#include "viewer/frmMain.h"

#include "../common/testservices.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace velmora;

namespace {

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void unloadViewer()
{
    frmMain::unloadAll();
    flushDeletes();
}

// Watches the splash: whether it was painted while visible, and what the pointer was then.
class SplashWatcher : public QObject {
public:
    bool paintedVisible = false;
    bool busyWhilePainted = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && watched->objectName() == QLatin1String("frmSplash")) {
            auto *w = static_cast<QWidget *>(watched);
            if (w->isVisible())
                paintedVisible = true;
            if (QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor)
                busyWhilePainted = true;
        }
        return false;
    }
};

} // namespace

class tst_QLrvx : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();

    void showsItsLabel();
    void requestWrites_data();
    void requestWrites();
    void masterStoreNumber_data();
    void masterStoreNumber();
    void masterWithoutPipeEmptiesEarlierFilter();
    void closingViewerLeavesHostControlAlone();
    void customerSearchFailureReachesCaller_data();
    void customerSearchFailureReachesCaller();

private:
    // Opens an inventory report on the sample database so that later calls find the viewer loaded.
    frmMain *openInventory(QLrvx &control);

    QTemporaryDir m_dir;
    QString m_connString;
    QString m_local;
    QString m_data;
};

void tst_QLrvx::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.filePath(QStringLiteral("settings")));
    const QString db = test::copySampleDatabase(m_dir.path());
    QVERIFY2(QFileInfo::exists(db), qPrintable(db));
    m_connString = QStringLiteral("Data Source=%1;User ID=SYSDBA;Password=masterkey").arg(db);
    m_local = m_dir.path() + QStringLiteral("/local/");
    m_data = m_dir.path() + QStringLiteral("/data/");
    QVERIFY(QDir().mkpath(m_local));
    QVERIFY(QDir().mkpath(m_data));
}

void tst_QLrvx::cleanupTestCase()
{
    unloadViewer();
}

void tst_QLrvx::cleanup()
{
    unloadViewer();
    QVERIFY(!frmMain::instance());
}

frmMain *tst_QLrvx::openInventory(QLrvx &control)
{
    QString sql = QStringLiteral("SELECT model, serial, cost, balance FROM inventory WHERE store = 3");
    QString data = m_data, conn = m_connString, name = QStringLiteral("Main"), number = QStringLiteral("3"),
            local = m_local;
    control.ShowINVReport(sql, data, conn, name, number, local);
    return frmMain::instance();
}

void tst_QLrvx::showsItsLabel()
{
    QWidget hostForm;   // the host's form the control sits on
    QLrvx control(&hostForm);
    auto *label = control.findChild<QLabel *>();
    QVERIFY(label);
    QCOMPARE(label->text(), QStringLiteral("Tallybook + Email"));
}

void tst_QLrvx::requestWrites_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<bool>("withLocalPath");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("keepsSql");

    QTest::newRow("ShowINVReport") << "ShowINVReport" << true << "" << "Velmora Inventory Report" << true;
    QTest::newRow("ShowINVReport without local path")
        << "ShowINVReport" << false << "" << "Velmora Inventory Report" << true;
    QTest::newRow("ShowDeletedInv empties the query")
        << "ShowDeletedInv" << true << "deletedinv" << "Velmora Deleted Inventory" << false;
    QTest::newRow("CustomSQL") << "CustomSQL" << true << "customsql" << "Velmora Custom SQL Report" << true;
    QTest::newRow("CustomSQL without local path")
        << "CustomSQL" << false << "customsql" << "Velmora Custom SQL Report" << true;
    QTest::newRow("CustomSQLSecurity")
        << "CustomSQLSecurity" << true << "customsqlsecurity" << "Velmora Custom SQL Results" << true;
    QTest::newRow("CustomSQLSecurity without local path")
        << "CustomSQLSecurity" << false << "customsqlsecurity" << "Velmora Custom SQL Results" << true;
    QTest::newRow("ServiceReport") << "ServiceReport" << true << "servicereport" << "Velmora Service Report" << true;
    QTest::newRow("ServiceReport without local path")
        << "ServiceReport" << false << "servicereport" << "Velmora Service Report" << true;
    QTest::newRow("ProjectedReport")
        << "ProjectedReport" << true << "projreport" << "Velmora Projected Revenue Detail" << true;
    QTest::newRow("ProjectedReport without local path")
        << "ProjectedReport" << false << "projreport" << "Velmora Projected Revenue Detail" << true;
    QTest::newRow("ShowMasterInv empties the query")
        << "ShowMasterInv" << true << "masterinv" << "Velmora Master Company Inventory" << false;
}

void tst_QLrvx::requestWrites()
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
    QVERIFY(watcher.paintedVisible);
    QVERIFY(watcher.busyWhilePainted);
    QVERIFY(!frmSplash::isLoaded());
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY(!pointerBusy());
    const std::shared_ptr<RecordTable> rows = viewer->Jgrid->table();
    QVERIFY(rows && rows->rowCount() > 0);
    const QString header = viewer->Jgrid->printerSettings().headerLeft;
    viewer->hide();

    // Every field holds what an earlier caller left, so a field the method does not write shows.
    ReportRequest &r = request();
    r.ReportKey = QStringLiteral("old key");
    r.ReportTitle = QStringLiteral("old title");
    r.SQLstatement = QStringLiteral("old sql");
    r.Datapath = QStringLiteral("/old/data/");
    r.ConnString = QStringLiteral("old conn");
    r.Storename = QStringLiteral("old store");
    r.StoreNumber = QStringLiteral("99");
    r.LocalPath = QStringLiteral("/old/local/");
    r.DBpassword = QStringLiteral("old password");
    r.MasterFilter = QStringLiteral("old filter");
    r.LayoutName = QStringLiteral("old layout");
    QLabel target;
    r.SearchResultTarget = &target;

    QString sql = QStringLiteral("SELECT model FROM inventory");
    QString data = QStringLiteral("/store/data/"), conn = QStringLiteral("new conn"), name = QStringLiteral("Uptown"),
            number = QStringLiteral("12"), local = QStringLiteral("/ws/local/");
    if (method == QLatin1String("ShowINVReport")) {
        withLocalPath ? control.ShowINVReport(sql, data, conn, name, number, local)
                      : control.ShowINVReport(sql, data, conn, name, number);
    } else if (method == QLatin1String("ShowDeletedInv")) {
        control.ShowDeletedInv(data, local, conn, name, number);
    } else if (method == QLatin1String("CustomSQL")) {
        withLocalPath ? control.CustomSQL(sql, data, conn, name, number, local)
                      : control.CustomSQL(sql, data, conn, name, number);
    } else if (method == QLatin1String("CustomSQLSecurity")) {
        withLocalPath ? control.CustomSQLSecurity(sql, data, conn, name, number, local)
                      : control.CustomSQLSecurity(sql, data, conn, name, number);
    } else if (method == QLatin1String("ServiceReport")) {
        withLocalPath ? control.ServiceReport(sql, data, conn, name, number, local)
                      : control.ServiceReport(sql, data, conn, name, number);
    } else if (method == QLatin1String("ProjectedReport")) {
        withLocalPath ? control.ProjectedReport(sql, data, conn, name, number, local)
                      : control.ProjectedReport(sql, data, conn, name, number);
    } else if (method == QLatin1String("ShowMasterInv")) {
        control.ShowMasterInv(data, local, conn, name, number);
    } else {
        QFAIL("unknown method");
    }

    QCOMPARE(r.ReportKey, key);
    QCOMPARE(r.ReportTitle, title);
    QCOMPARE(r.SQLstatement, keepsSql ? sql : QString());
    QCOMPARE(r.Datapath, data);
    QCOMPARE(r.ConnString, conn);
    QCOMPARE(r.Storename, name);
    QCOMPARE(r.StoreNumber, QStringLiteral("12"));
    QCOMPARE(r.LocalPath, withLocalPath ? local : QString());
    // Fields no report method writes.
    QCOMPARE(r.DBpassword, QStringLiteral("old password"));
    QCOMPARE(r.LayoutName, QStringLiteral("old layout"));
    QCOMPARE(r.SearchResultTarget.data(), &target);
    QCOMPARE(r.MasterFilter, method == QLatin1String("ShowMasterInv") ? QString() : QStringLiteral("old filter"));
    // The arguments are the host's variables: only the master report may change one.
    QCOMPARE(sql, QStringLiteral("SELECT model FROM inventory"));
    QCOMPARE(number, QStringLiteral("12"));
    // The viewer was open, so it was brought forward, neither queried nor set up again.
    QCOMPARE(frmMain::instance(), viewer);
    QVERIFY(viewer->isVisible());
    QCOMPARE(viewer->Jgrid->table(), rows);
    QCOMPARE(viewer->Jgrid->printerSettings().headerLeft, header);
}

void tst_QLrvx::masterStoreNumber_data()
{
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("storeNumber");
    QTest::addColumn<QString>("filter");
    QTest::newRow("store and condition") << "12|category = 'TV'" << "12" << "category = 'TV'";
    QTest::newRow("trailing pipe leaves no filter") << "12|" << "12" << "";
    QTest::newRow("leading pipe empties the store number") << "|x" << "" << "x";
    QTest::newRow("split at the first pipe") << "5|a = '|'" << "5" << "a = '|'";
    QTest::newRow("no pipe keeps the store number") << "12" << "12" << "";
}

void tst_QLrvx::masterStoreNumber()
{
    QFETCH(QString, argument);
    QFETCH(QString, storeNumber);
    QFETCH(QString, filter);
    QWidget hostForm;   // the host's form the control sits on
    QLrvx control(&hostForm);
    QVERIFY(openInventory(control));
    request().MasterFilter = QStringLiteral("left by an earlier call");

    QString data = m_data, local = m_local, conn = m_connString, name = QStringLiteral("Main");
    QString number = argument;
    control.ShowMasterInv(data, local, conn, name, number);
    QCOMPARE(number, storeNumber);   // the caller's own variable
    QCOMPARE(request().StoreNumber, storeNumber);
    QCOMPARE(request().MasterFilter, filter);
}

void tst_QLrvx::masterWithoutPipeEmptiesEarlierFilter()
{
    // Through a real load each time, so the filter really narrows the second report.
    QWidget hostForm;   // the host's form the control sits on
    QLrvx control(&hostForm);
    QString data = m_data, local = m_local, conn = m_connString, name = QStringLiteral("Main");
    QString number = QStringLiteral("3|category = 'TV'");
    control.ShowMasterInv(data, local, conn, name, number);
    QCOMPARE(request().MasterFilter, QStringLiteral("category = 'TV'"));
    QVERIFY(request().SQLstatement.endsWith(QStringLiteral("store <> 3 and category = 'TV'")));
    const int tvRows = frmMain::instance()->Jgrid->table()->rowCount();
    unloadViewer();

    number = QStringLiteral("3");
    control.ShowMasterInv(data, local, conn, name, number);
    QCOMPARE(request().MasterFilter, QString());
    QVERIFY(request().SQLstatement.endsWith(QStringLiteral("store <> 3")));
    QVERIFY(frmMain::instance()->Jgrid->table()->rowCount() > tvRows);
}

void tst_QLrvx::closingViewerLeavesHostControlAlone()
{
    // A host may show the control as a window of its own; Esc in the viewer must not take it away.
    QPointer<QLrvx> control = new QLrvx;
    control->show();
    frmMain *viewer = openInventory(*control);
    QVERIFY(viewer);
    auto *esc = viewer->findChild<QPushButton *>(QStringLiteral("Esc"));
    QVERIFY(esc);
    esc->click();
    flushDeletes();
    QVERIFY(!frmMain::instance());
    QVERIFY(control);
    QVERIFY(control->isVisible());
    delete control;
}

void tst_QLrvx::customerSearchFailureReachesCaller_data()
{
    QTest::addColumn<bool>("fileThere");
    QTest::addColumn<QString>("password");
    QTest::newRow("no search file") << false << "velmora";
    QTest::newRow("wrong password") << true << "not the password";
}

void tst_QLrvx::customerSearchFailureReachesCaller()
{
    QFETCH(bool, fileThere);
    QFETCH(QString, password);
    QTemporaryDir local;
    if (fileThere)
        QVERIFY(QFile::copy(test::sampleSearchFile(), local.filePath(QStringLiteral("search.tmp"))));

    ReportRequest &r = request();
    r.ReportKey = QStringLiteral("CustomerSearch");
    r.LocalPath = local.path() + QLatin1Char('/');
    r.DBpassword = password;

    bool thrown = false;
    try {
        frmSplash::loadViewer();
    } catch (const velmora::Error &e) {
        thrown = true;
        QVERIFY(!e.description().isEmpty());
    }
    QVERIFY(thrown);
    QVERIFY(!frmSplash::isLoaded());
    QVERIFY(!QApplication::overrideCursor());
    // A viewer whose load did not finish is not left behind: the next call loads afresh.
    QVERIFY(!frmMain::instance());
    QVERIFY(!QApplication::activeModalWidget());   // no message box of ours
}

QTEST_MAIN(tst_QLrvx)
#include "tst_qlrvx.moc"
