// The viewer's load step against a real database: every report kind of the catalogue opened the
// way a host opens it, and the failure report triggered by real faults.

#include <velmora/error.h>
#include <velmora/qlrvx.h>

#include "control/frmSplash.h"
#include "core/reportrequest.h"
#include "core/layoutrules.h"
#include "data/connection.h"
#include "grid/reportgrid.h"
#include "platform/helpwindow.h"
#include "platform/platform.h"
#include "viewer/frmMain.h"
#include "viewer/loadstep.h"

#include "../common/dialogsteps.h"
#include "../common/testservices.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace velmora;

namespace {

void unloadViewer()
{
    frmMain::unloadAll();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// A loopback port nobody listens on: bound once by us, then let go.
int closedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    socklen_t len = sizeof a;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len) != 0) {
        if (fd >= 0)
            ::close(fd);
        return 0;
    }
    ::close(fd);
    return ntohs(a.sin_port);
}

// What the user saw in the first message box that opened, answered with OK.
struct SeenBox {
    bool seen = false;
    QString text;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QList<QMessageBox::StandardButton> buttons;
    bool splashUp = false;
    bool busyPointer = false;
    QString helpFile;   // what the Help button opened
    int helpTopic = -1;
    bool openAfterHelp = false;   // Help leaves the box open
};

// Notes what the message box shows, tries its Help button, and answers it with OK.
SeenBox look(QMessageBox *mb)
{
    SeenBox box;
    box.seen = true;
    box.text = mb->text();
    box.title = mb->windowTitle();
    box.icon = mb->icon();
    for (QAbstractButton *b : mb->buttons())
        box.buttons << mb->standardButton(b);
    std::sort(box.buttons.begin(), box.buttons.end());
    box.splashUp = frmSplash::isLoaded() && frmSplash::instance()->isVisible();
    box.busyPointer = QApplication::overrideCursor() != nullptr;
    if (QAbstractButton *help = mb->button(QMessageBox::Help)) {
        QTest::mouseClick(help, Qt::LeftButton);
        if (platform::HelpWindow *w = platform::helpWindow()) {
            box.helpFile = w->file();
            box.helpTopic = w->topic();
            w->close();
        }
        box.openAfterHelp = mb->isVisible();
    }
    QTest::mouseClick(mb->button(QMessageBox::Ok), Qt::LeftButton);
    return box;
}

const QString crlf = QStringLiteral("\r\n");

// Stops the test server (SIGSTOP) and lets it go on at the latest when it goes out of scope.
struct ServerPause {
    int pid = 0;
    void stop(int p)
    {
        pid = p;
        ::kill(pid, SIGSTOP);
    }
    void resume()
    {
        if (pid > 0)
            ::kill(pid, SIGCONT);
        pid = 0;
    }
    ~ServerPause() { resume(); }
};

// True once the count has not moved over several polls in a row: the rows buffered on our side
// are used up and the worker waits on the server.
struct Stall {
    qint64 last = -1;
    int still = 0;
    bool operator()(qint64 now)
    {
        still = now == last ? still + 1 : 0;
        last = now;
        return still >= 6;
    }
};

} // namespace

class tst_LoadStep : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void kinds_data();
    void kinds();
    void printSettingsAndHeaders();
    void totalsGroupCarriesTheReportTotals();
    void viewStyleMenu();
    void lastLayoutReopened_data();
    void lastLayoutReopened();
    void customerSearchFromTheSearchFile();
    void failureBoxes_data();
    void failureBoxes();
    void cancelThroughTheSplash_data();
    void cancelThroughTheSplash();
    void closingTheViewerDuringALoad();

private:
    // Opens the report of `key` over `sql` as the entry points do, answering a failure box when
    // one comes up.
    frmMain *open(const QString &key, const QString &sql, SeenBox *box = nullptr, const QString &conn = {});
    std::shared_ptr<RecordTable> independent(const QString &sql);

    QTemporaryDir m_dir;
    QString m_connString;
    QString m_serverConnString;   // the sample database through the test server
    test::FirebirdServer m_server;
    QString m_local;
    QString m_data;
    std::unique_ptr<Connection> m_check;
};

void tst_LoadStep::initTestCase()
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
    QFile help(m_local + QStringLiteral("velmora.chm"));
    QVERIFY(help.open(QIODevice::WriteOnly));
    help.write("<html><body><a name=\"topic16\"></a><h1>Connecting to the store server</h1></body></html>");
    help.close();
    auto check = Connection::open(m_connString, AccessMode::Read);
    QVERIFY2(check.ok(), qPrintable(check.ok() ? QString() : check.failure().text()));
    m_check = std::move(check.value());

    m_server = test::firebirdServer();
    QVERIFY2(m_server.isValid(), "the fbserver fixture did not start a server");
    const QString onServer = test::copySampleDatabase(m_server.dbDir);
    QVERIFY(!onServer.isEmpty());
    m_serverConnString = m_server.oleDbConnString(onServer);
}

void tst_LoadStep::cleanupTestCase()
{
    unloadViewer();
    m_check.reset();
}

void tst_LoadStep::init()
{
    ReportRequest &r = request();
    r.ReportTitle = QStringLiteral("Test Report");
    r.Datapath = m_data;
    r.LocalPath = m_local;
    r.Storename = QStringLiteral("Main Street");
    r.StoreNumber = QStringLiteral("07");
    r.MasterFilter.clear();
    r.LayoutName = QStringLiteral("left over");
}

void tst_LoadStep::cleanup()
{
    unloadViewer();
    QVERIFY(!frmMain::instance());
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY(!frmSplash::isLoaded());
    platform::settings()->remove(QStringLiteral("Saved Reports"));
}

frmMain *tst_LoadStep::open(const QString &key, const QString &sql, SeenBox *box, const QString &conn)
{
    ReportRequest &r = request();
    r.ReportKey = key;
    r.SQLstatement = sql;
    r.ConnString = conn.isEmpty() ? m_connString : conn;
    SeenBox seen;
    auto watch = test::whenOpen<QMessageBox>([&seen](QMessageBox *mb) { seen = look(mb); });
    frmSplash::loadViewer();
    if (box)
        *box = seen;
    else if (seen.seen)
        qWarning("unexpected message box: %s", qPrintable(seen.text));
    return frmMain::instance();
}

std::shared_ptr<RecordTable> tst_LoadStep::independent(const QString &sql)
{
    auto result = m_check->query(sql);
    if (!result.ok())
        qWarning("%s", qPrintable(result.failure().text()));
    return result.ok() ? result.value() : nullptr;
}

void tst_LoadStep::kinds_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("sql");          // what the host hands over
    QTest::addColumn<QString>("runs");         // what the load step runs
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("landscape");
    QTest::addColumn<QString>("counted");
    QTest::addColumn<QStringList>("summed");
    QTest::addColumn<bool>("totalsGroup");
    QTest::addColumn<bool>("editable");
    QTest::addColumn<bool>("deletable");
    QTest::addColumn<QStringList>("hidden");

    const QString inv = QStringLiteral(
        "SELECT model, serial, category, cost, balance, rbvbook, rentalincome, otherincome FROM inventory WHERE store = 7");
    const QStringList invSums{QStringLiteral("cost"), QStringLiteral("balance"), QStringLiteral("rbvbook"),
                              QStringLiteral("rentalincome"), QStringLiteral("otherincome")};
    const QString master = QStringLiteral(
        "SELECT model, serial, stock, description, category, store, cost, rentalincome, daterec, firstsaledate, "
        "balance as RBV from inventory where status = 'STOCK' and svcstatus <>'SERVICE' and store <> 7");
    const QString custom = QStringLiteral("SELECT account, name, city, bbbalance, deposit FROM customers");

    QTest::newRow("inventory") << "" << inv << inv << 1 << false << "model" << invSums << true << false << false
                               << QStringList();
    QTest::newRow("unknown key runs as inventory") << "weekly" << inv << inv << 1 << false << "model" << invSums
                                                   << true << false << false << QStringList();
    QTest::newRow("projected revenue")
        << "projreport" << "SELECT name, account, projpmt, pmtpaid, duedate FROM projrevenue"
        << "SELECT name, account, projpmt, pmtpaid, duedate FROM projrevenue" << 1 << false << "name"
        << QStringList{QStringLiteral("projpmt"), QStringLiteral("pmtpaid")} << true << false << false
        << QStringList();
    QTest::newRow("service") << "ServiceReport" << "SELECT model, serial, svccharge, status FROM service"
                             << "SELECT model, serial, svccharge, status FROM service" << 1 << false << "model"
                             << QStringList{QStringLiteral("svccharge")} << true << false << false << QStringList();
    QTest::newRow("custom sql is read only") << "customsql" << custom << custom << 1 << true << "account"
                                             << QStringList{QStringLiteral("bbbalance"), QStringLiteral("deposit")}
                                             << true << false << false << QStringList();
    QTest::newRow("custom sql security without prefix is editable")
        << "customsqlsecurity" << custom << custom << 3 << true << "account"
        << QStringList{QStringLiteral("bbbalance"), QStringLiteral("deposit")} << true << true << false
        << QStringList();
    QTest::newRow("custom sql security with READONLY is read only")
        << "CustomSQLSecurity" << QStringLiteral("READONLY ") + custom << QStringLiteral(" ") + custom << 1 << true
        << "account" << QStringList{QStringLiteral("bbbalance"), QStringLiteral("deposit")} << true << false << false
        << QStringList();
    QTest::newRow("ReadOnly in mixed case without a blank")
        << "customsqlsecurity" << QStringLiteral("ReadOnly") + custom << custom << 1 << true << "account"
        << QStringList{QStringLiteral("bbbalance"), QStringLiteral("deposit")} << true << false << false << QStringList();
    // The first text field counts, a later one does not; only money with two decimals is summed.
    const QString scaled = QStringLiteral("SELECT id, model, serial, CAST(cost AS NUMERIC(15,1)) AS cost1, "
                                          "CAST(cost AS NUMERIC(15,3)) AS cost3, cost, daterec, balance FROM inventory");
    QTest::newRow("custom sql totals from the field types")
        << "customsql" << scaled << scaled << 1 << true << "model" << QStringList{QStringLiteral("cost"), QStringLiteral("balance")}
        << true << false << false << QStringList();
    QTest::newRow("all customers hides four columns")
        << "allcustomers" << "" << "SELECT * from customers" << 1 << true << "" << QStringList() << false << false
        << false
        << QStringList{QStringLiteral("ss1"), QStringLiteral("ss2"), QStringLiteral("recupdate"),
                       QStringLiteral("emailinv")};
    QTest::newRow("deleted inventory is deletable")
        << "DeletedInv" << "" << "SELECT * FROM delinventory order by deleted desc" << 3 << true << ""
        << QStringList() << false << false << true << QStringList();
    QTest::newRow("master inventory") << "masterinv" << "" << master << 1 << false << "" << QStringList() << true
                                      << false << false << QStringList();
}

void tst_LoadStep::kinds()
{
    QFETCH(QString, key);
    QFETCH(QString, sql);
    QFETCH(QString, runs);
    QFETCH(int, mode);
    QFETCH(bool, landscape);
    QFETCH(QString, counted);
    QFETCH(QStringList, summed);
    QFETCH(bool, totalsGroup);
    QFETCH(bool, editable);
    QFETCH(bool, deletable);
    QFETCH(QStringList, hidden);

    frmMain *viewer = open(key, sql);
    QVERIFY(viewer);
    QVERIFY(viewer->isVisible());
    QCOMPARE(request().SQLstatement, runs);
    QVERIFY(request().LayoutName.isEmpty());
    QCOMPARE(platform::defaultHelpFile(), m_local + QStringLiteral("Velmora.chm"));

    // The query ran: the grid holds what an independent count of the same query finds.
    ReportGrid &grid = *viewer->Jgrid;
    QVERIFY(grid.table());
    const auto count = independent(QStringLiteral("SELECT COUNT(*) FROM (%1)").arg(runs));
    QVERIFY(count);
    QCOMPARE(qint64(grid.table()->rowCount()), count->value(0, 0).toLongLong());
    QVERIFY(grid.table()->rowCount() > 0);

    QVERIFY(viewer->connection);
    QCOMPARE(int(viewer->connection->mode()), mode);
    QCOMPARE(grid.printerSettings().orientation, landscape ? 2 : 1);

    // Totals on exactly the columns of the kind.
    for (int i = 1; i <= grid.columnCount(); ++i) {
        GridColumn *c = grid.column(i);
        if (c->totalsMarker() == 1)
            continue;
        const QString k = c->key().toLower();
        if (k == counted) {
            QCOMPARE(c->aggregateFunction(), 1);
            QCOMPARE(c->totalFormat(), QStringLiteral("#0"));
            QCOMPARE(c->totalPrefix(), QStringLiteral("Count:"));
        } else if (summed.contains(k)) {
            QCOMPARE(c->aggregateFunction(), 2);
            QCOMPARE(c->totalFormat(), QStringLiteral("#,##0.00"));
        } else {
            QVERIFY2(c->aggregateFunction() == 0, qPrintable(k));
        }
    }

    // The totals column and its one group.
    GridColumn *last = grid.column(grid.columnCount());
    if (totalsGroup) {
        QCOMPARE(last->caption(), QStringLiteral("Drag Columns Here to Group"));
        QCOMPARE(last->totalsMarker(), 1);
        QVERIFY(!last->visible());
        QCOMPARE(last->sourceColumn(), -1);
        QCOMPARE(grid.columnCount(), grid.table()->columnCount() + 1);
        QCOMPARE(grid.groups().count(), 1);
        QCOMPARE(grid.groups().item(1).column, grid.columnCount());
        QCOMPARE(grid.groups().item(1).order, 1);
    } else {
        QCOMPARE(grid.columnCount(), grid.table()->columnCount());
        QCOMPARE(grid.groups().count(), 0);
        for (int i = 1; i <= grid.columnCount(); ++i)
            QCOMPARE(grid.column(i)->totalsMarker(), 0);
    }

    QCOMPARE(grid.allowEdit(), editable);
    QCOMPARE(grid.allowDelete(), deletable);
    QVERIFY(!grid.allowAddNew());

    for (int i = 1; i <= grid.columnCount(); ++i) {
        GridColumn *c = grid.column(i);
        if (c->totalsMarker() == 1)
            continue;
        QCOMPARE(c->visible(), !hidden.contains(c->key().toLower()));
    }
    for (const QString &h : hidden)
        QVERIFY2(grid.columnByKey(h), qPrintable(h));

    // Moved to the first row.
    QCOMPARE(grid.currentRow(), 1);
    QCOMPARE(viewer->windowTitle() == QStringLiteral("Deleted Inventory"), key == u"DeletedInv");
}

void tst_LoadStep::printSettingsAndHeaders()
{
    request().Storename = QStringLiteral("Lager Süd");
    request().StoreNumber = QStringLiteral("07");
    request().ReportTitle = QStringLiteral("Velmora Inventory Report");
    frmMain *viewer = open(QString(), QStringLiteral("SELECT model, cost FROM inventory"));
    QVERIFY(viewer);
    const PrinterSettings &p = viewer->Jgrid->printerSettings();
    QList<int> margins{p.marginLeft, p.marginRight, p.marginTop, p.marginBottom};
    std::sort(margins.begin(), margins.end());
    QCOMPARE(margins, (QList<int>{720, 720, 720, 1080}));
    QCOMPARE(p.headerLeft, QStringLiteral("Velmora Inventory Report"));
    QCOMPARE(p.headerCenter, QStringLiteral("Lager Süd  Store#: 07"));
    QCOMPARE(p.headerRight, QLocale().toString(QDate::currentDate(), QLocale::ShortFormat));
    // The fit flag is off on a fresh grid, and panel 8 and the menu say so.
    QCOMPARE(p.fitColumnsToPage, false);
    QCOMPARE(viewer->MNUfitcol->isChecked(), false);
}

void tst_LoadStep::totalsGroupCarriesTheReportTotals()
{
    const QString sql = QStringLiteral("SELECT model, serial, cost, balance FROM inventory WHERE store = 7");
    frmMain *viewer = open(QString(), sql);
    QVERIFY(viewer);
    ReportGrid &grid = *viewer->Jgrid;
    const auto sums = independent(QStringLiteral("SELECT COUNT(model), SUM(cost), SUM(balance) FROM (%1)").arg(sql));
    QVERIFY(sums);

    // One group header over every row, and its footer with the totals.
    QCOMPARE(grid.row(1).type, GridRowType::GroupHeader);
    QCOMPARE(grid.row(1).recordCount, grid.table()->rowCount());
    int footer = 0;
    for (int p = 1; p <= grid.rowCount(); ++p) {
        if (grid.row(p).type == GridRowType::GroupFooter)
            footer = p;
        else
            QVERIFY(grid.row(p).type != GridRowType::GroupHeader || p == 1);
    }
    if (footer == 0) {   // collapsed groups keep their footer out of the list
        grid.expandAll();
        for (int p = 1; p <= grid.rowCount(); ++p)
            if (grid.row(p).type == GridRowType::GroupFooter)
                footer = p;
    }
    QVERIFY(footer > 0);
    const QLocale locale;
    const int model = grid.columnByKey(u"model")->index();
    const int cost = grid.columnByKey(u"cost")->index();
    const int balance = grid.columnByKey(u"balance")->index();
    QCOMPARE(grid.text(footer, model), QStringLiteral("Count: ") + locale.toString(sums->value(0, 0).toLongLong()));
    QCOMPARE(grid.text(footer, cost), locale.toString(sums->value(0, 1).toDouble(), 'f', 2));
    QCOMPARE(grid.text(footer, balance), locale.toString(sums->value(0, 2).toDouble(), 'f', 2));
    QVERIFY(grid.text(footer, grid.columnByKey(u"serial")->index()).isEmpty());
}

void tst_LoadStep::viewStyleMenu()
{
    frmMain *viewer = open(QStringLiteral("servicereport"), QStringLiteral("SELECT model, svccharge FROM service"));
    QVERIFY(viewer);
    QAction *grid = viewer->MnuViewStyle(0);
    QAction *card = viewer->MnuViewStyle(1);
    QVERIFY(grid && card);
    QVERIFY(!viewer->MnuViewStyle(2));
    QCOMPARE(grid->text(), QStringLiteral("Grid View"));
    QCOMPARE(card->text(), QStringLiteral("Card View"));
    QVERIFY(grid->isVisible() && card->isVisible());
    QVERIFY(grid->isChecked());
    QVERIFY(!card->isChecked());
    QCOMPARE(viewer->mnuCurrentView->actions().count(), 2);
    // The card entry does what it says.
    card->trigger();
    QCOMPARE(viewer->Jgrid->viewMode(), 1);
    QVERIFY(card->isChecked());
    QVERIFY(!grid->isChecked());
}

void tst_LoadStep::lastLayoutReopened_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("settingName");   // as another part of the program wrote it
    QTest::addColumn<bool>("reopened");
    QTest::newRow("inventory") << "" << "SELECT model, serial, cost FROM inventory" << "Last Inventory" << true;
    QTest::newRow("master inventory written in other case")
        << "masterinv" << "" << "Last Masterinv" << true;
    QTest::newRow("custom sql never reopens") << "customsql" << "SELECT model, serial, cost FROM inventory"
                                              << "Last Inventory" << false;
}

void tst_LoadStep::lastLayoutReopened()
{
    QFETCH(QString, key);
    QFETCH(QString, sql);
    QFETCH(QString, settingName);
    QFETCH(bool, reopened);
    // A layout showing two columns, serial first, saved for the kind and remembered.
    const QString folder = m_data + layoutrules::layoutFolder(key, Qt::CaseInsensitive);
    QVERIFY(QDir().mkpath(folder));
    QFile layout(folder + QStringLiteral("Store Layout.txt"));
    QVERIFY(layout.open(QIODevice::WriteOnly));
    layout.write("serial\r\nmodel\r\n");
    layout.close();
    {
        auto s = platform::settings();
        s->beginGroup(QStringLiteral("Saved Reports"));
        s->setValue(settingName, QStringLiteral("Store Layout.txt"));
    }
    request().Datapath = m_data;
    frmMain *viewer = open(key, sql);
    QFile::remove(layout.fileName());
    QVERIFY(viewer);
    ReportGrid &grid = *viewer->Jgrid;
    QCOMPARE(request().LayoutName, reopened ? QStringLiteral("Store Layout.txt") : QString());
    QCOMPARE(grid.columnByKey(u"serial")->position(), reopened ? 1 : 2);
    QCOMPARE(grid.columnByKey(u"cost")->visible(), !reopened);
    QVERIFY(grid.columnByKey(u"model")->visible());
}

void tst_LoadStep::customerSearchFromTheSearchFile()
{
    QVERIFY(QFile::copy(test::sampleSearchFile(), m_local + QStringLiteral("search.tmp")));
    request().DBpassword = QStringLiteral("velmora");
    frmMain *viewer = open(QStringLiteral("customersearch"), QString());
    QFile::remove(m_local + QStringLiteral("search.tmp"));
    QVERIFY(viewer && viewer->isVisible());
    ReportGrid &grid = *viewer->Jgrid;
    QVERIFY(grid.table());
    const auto count = independent(QStringLiteral("SELECT COUNT(*) FROM customers"));
    QCOMPARE(qint64(grid.table()->rowCount()), count->value(0, 0).toLongLong());
    QCOMPARE(grid.columnCount(), 18);
    QCOMPARE(grid.column(1)->key().toLower(), QStringLiteral("name"));
    QVERIFY(grid.columnByKey(u"account"));
    QVERIFY(!grid.allowEdit());
    QVERIFY(!grid.allowDelete());
    QCOMPARE(grid.groups().count(), 0);
    QCOMPARE(grid.printerSettings().orientation, 2);
    QVERIFY(request().SQLstatement.startsWith(QStringLiteral("SELECT name, altname, address")));
    QCOMPARE(viewer->MnuViewStyle(1)->text(), QStringLiteral("Card View"));
}

void tst_LoadStep::failureBoxes_data()
{
    QTest::addColumn<QString>("conn");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("lostServer");
    QTest::addColumn<QString>("engineWords");   // part of the engine's messages
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("key");

    const int port = closedPort();
    QVERIFY(port > 0);
    QTest::newRow("no server on the port")
        << QStringLiteral("Data Source=127.0.0.1/%1:/nowhere/store.fdb;User ID=SYSDBA;Password=x").arg(port)
        << "SELECT * FROM inventory" << true << "Failed to establish a connection." << 7 << "";
    QTest::newRow("host name that does not resolve")
        << "Data Source=velmora-no-such-host.invalid:/nowhere/store.fdb;User ID=SYSDBA;Password=x"
        << "SELECT * FROM inventory" << true << "Failed to locate host machine." << 7 << "";
    QTest::newRow("bad sql") << "" << "SELECT FROM WHERE" << false << "Token unknown" << 8 << "";
    QTest::newRow("statement without rows")
        << "" << "EXECUTE BLOCK AS DECLARE x INTEGER; BEGIN x = 1; END" << false << "" << 10 << "customsql";
    QTest::newRow("unknown table") << "" << "SELECT * FROM no_such_table" << false << "NO_SUCH_TABLE" << 8 << "";
}

void tst_LoadStep::failureBoxes()
{
    QFETCH(QString, conn);
    QFETCH(QString, sql);
    QFETCH(bool, lostServer);
    QFETCH(QString, key);
    QFETCH(QString, engineWords);
    QFETCH(int, line);

    SeenBox box;
    frmMain *viewer = open(key, sql, &box, conn);
    QVERIFY(box.seen);
    QCOMPARE(box.icon, QMessageBox::Warning);
    QCOMPARE(box.title, QStringLiteral("Velmora"));   // no title of its own
    QVERIFY(box.splashUp);                             // the box comes while the viewer loads
    QVERIFY(!box.busyPointer);                         // nobody should wait on an OK button
    QVERIFY2(box.text.contains(engineWords, Qt::CaseInsensitive), qPrintable(box.text));
    const bool engineSpoke = !engineWords.isEmpty();
    QVERIFY2(box.text.contains(crlf + QStringLiteral("Line#: ") + QString::number(line) + crlf +
                               QStringLiteral("Location: Tallybook OCX.FrmMain.Form_Load") + crlf +
                               (engineSpoke ? QStringLiteral("Message from SQL Engine: ")
                                            : QStringLiteral("***No error reported by primary SQL connection\r\n\r\n"))),
             qPrintable(box.text));
    QVERIFY(box.text.contains(QStringLiteral("\r\nDescription: ")));
    if (lostServer) {
        QCOMPARE(box.helpFile, m_local + QStringLiteral("velmora.chm"));
        QCOMPARE(box.helpTopic, 16);
        QVERIFY(box.openAfterHelp);
        QCOMPARE(box.buttons, (QList<QMessageBox::StandardButton>{QMessageBox::Ok, QMessageBox::Help}));
        QVERIFY(box.text.startsWith(
            QStringLiteral("Not able to find Server computer on the network or lost connection to server. Check your "
                           "network connections and settings, verify the server computer can be accessed through the "
                           "network and retry.\r\n\r\nComplete error message is below:\r\nError: ")));
        QVERIFY(box.text.endsWith(QStringLiteral("\n\r\n\r\nFor more information about this click the help button.")));
    } else {
        QCOMPARE(box.text.contains(QStringLiteral("Message from SQL Engine: ")), engineSpoke);
        QCOMPARE(box.buttons, QList<QMessageBox::StandardButton>{QMessageBox::Ok});
        QVERIFY(box.text.startsWith(QStringLiteral("Error: ")));
        QVERIFY(box.text.endsWith((engineSpoke ? QStringLiteral("\n\r\n\r\n") : QStringLiteral("connection\r\n\r\n")) +
                                  QStringLiteral("Report this information to Tech Support at 1-800-555-0147.")));
    }

    // Afterwards: pointer back, splash gone, and the viewer still shown with what was set up.
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY(!frmSplash::isLoaded());
    QVERIFY(viewer);
    QVERIFY(viewer->isVisible());
    QVERIFY(!viewer->Jgrid->table() || viewer->Jgrid->table()->rowCount() == 0);
}


namespace {

// Enough rows over the server that a load takes seconds: the inventory times the engine's types.
const QString manyRows = QStringLiteral(
    "SELECT i.model, i.description, i.cost, t.rdb$type AS kind FROM inventory i CROSS JOIN rdb$types t");

} // namespace

void tst_LoadStep::cancelThroughTheSplash_data()
{
    QTest::addColumn<bool>("silentServer");
    QTest::newRow("cancel while rows arrive") << false;
    QTest::newRow("cancel while the server does not answer") << true;
}

void tst_LoadStep::cancelThroughTheSplash()
{
    QFETCH(bool, silentServer);
    const int serverPid = test::readEnv(test::runDir() + QStringLiteral("/fbserver.env")).value(QStringLiteral("FB_PID")).toInt();
    QVERIFY(serverPid > 0);

    ServerPause pause;
    Stall stall;
    qint64 shownAtClick = -1;
    QElapsedTimer sinceClick;
    QTimer user;
    user.setInterval(20);
    connect(&user, &QTimer::timeout, this, [&] {
        LoadProgress *load = LoadProgress::instance();
        if (shownAtClick >= 0 || !frmSplash::isLoaded() || load->arrived() < 20000)
            return;
        if (silentServer && !pause.pid)
            pause.stop(serverPid);
        if (silentServer && !stall(load->arrived()))
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
    user.start();
    frmMain *viewer = open(QStringLiteral("customsql"), manyRows, nullptr, m_serverConnString);
    const qint64 returnedAfter = sinceClick.elapsed();
    user.stop();

    QVERIFY2(shownAtClick > 0, "the splash never counted arriving rows");
    QVERIFY2(returnedAfter < 1000, qPrintable(QString::number(returnedAfter)));
    QVERIFY(viewer && viewer->isVisible());
    const std::shared_ptr<RecordTable> table = viewer->Jgrid->table();
    QVERIFY(table);
    QCOMPARE(table->columnCount(), 4);
    QVERIFY(table->rowCount() >= shownAtClick);
    QVERIFY(table->rowCount() < 2000 * 100);
    QCOMPARE(viewer->statusText(), incompleteReportText(table->rowCount()));
    QCOMPARE(table->displayText(0, 0).isEmpty(), false);
    QVERIFY(viewer->connection);
    QCOMPARE(viewer->connection->usable(), !silentServer);

    // The abandoned call's late answer ends its worker and changes nothing the viewer shows.
    const int rowsShown = table->rowCount();
    pause.resume();
    QTRY_COMPARE_WITH_TIMEOUT(LoadJob::runningWorkers(), 0, 20000);
    QCOMPARE(viewer->Jgrid->table()->rowCount(), rowsShown);
    // The connection a silent server cost is opened afresh on its next use.
    auto again = viewer->connection->query(QStringLiteral("SELECT COUNT(*) FROM inventory"));
    QVERIFY2(again.ok(), qPrintable(again.ok() ? QString() : again.failure().text()));
    QVERIFY(viewer->connection->usable());
}

void tst_LoadStep::closingTheViewerDuringALoad()
{
    bool closed = false;
    QTimer user;
    user.setInterval(20);
    connect(&user, &QTimer::timeout, this, [&] {
        if (!closed && LoadProgress::instance()->arrived() >= 20000) {
            closed = true;
            frmMain::unloadAll();
        }
    });
    user.start();
    frmMain *viewer = open(QStringLiteral("customsql"), manyRows, nullptr, m_serverConnString);
    user.stop();
    QVERIFY(closed);
    QVERIFY(!viewer);
    QVERIFY(!frmSplash::isLoaded());
    QTRY_COMPARE_WITH_TIMEOUT(LoadJob::runningWorkers(), 0, 5000);
}

QTEST_MAIN(tst_LoadStep)
#include "tst_loadstep.moc"
