// The customer search control as a host drives it, on the sample search file and database: picks
// reach Caption and Change, the right control receives them, and a search that cannot load
// reaches the host as velmora::Error with nothing left behind.

#include <velmora/error.h>
#include <velmora/qlcustsearch.h>

#include "control/frmSplash.h"
#include "core/reportrequest.h"
#include "grid/reportgrid.h"
#include "viewer/frmMain.h"

#include "../common/testservices.h"
#include "../common/tools.h"

#include <QApplication>
#include <QLabel>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace velmora;

namespace {

void unloadViewer()
{
    frmMain::unloadAll();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The account of the search file's row n (1-based, in stored order as a plain scan reads it), read by
// sqlcipher.
QString accountOfRow(int n)
{
    const test::ToolResult r = test::runTool(
        QStringLiteral("sqlcipher"), {test::sampleSearchFile()},
        QStringLiteral("PRAGMA key = '%1';\nSELECT account FROM customers NOT INDEXED LIMIT 1 OFFSET %2;\n")
            .arg(test::sampleSearchPassword())
            .arg(n - 1)
            .toUtf8());
    return r.exitCode == 0 ? r.output.trimmed().split(QLatin1Char('\n')).last().trimmed() : QString();
}

} // namespace

class tst_QLCustSearch : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();

    void captionWritesRaiseChangeOnce();
    void receiver_data();
    void receiver();
    void setFocusNeverOpensAViewer();
    void loadOrError_data();
    void loadOrError();

private:
    void search(QLCustSearch &control, const QString &password = test::sampleSearchPassword());
    void list(QLCustSearch &control);
    void pick(int row, bool byEnter);

    QTemporaryDir m_dir;
    QString m_data, m_local, m_conn;
    QWidget m_form;   // the host's form
};

void tst_QLCustSearch::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.filePath(QStringLiteral("settings")));
    const QString db = test::copySampleDatabase(m_dir.path());
    QVERIFY(QFileInfo::exists(db));
    m_conn = QStringLiteral("Data Source=%1;User ID=SYSDBA;Password=masterkey").arg(db);
    m_data = m_dir.filePath(QStringLiteral("data/"));
    m_local = m_dir.filePath(QStringLiteral("local/"));
    QVERIFY(QDir().mkpath(m_data) && QDir().mkpath(m_local));
    QVERIFY(QFile::copy(test::sampleSearchFile(), m_local + QStringLiteral("search.tmp")));
    QVERIFY(!accountOfRow(1).isEmpty());
    m_form.show();
}

void tst_QLCustSearch::cleanup()
{
    unloadViewer();
}

void tst_QLCustSearch::search(QLCustSearch &control, const QString &password)
{
    QString data = m_data, pw = password, name = QStringLiteral("Main"), number = QStringLiteral("7"),
            local = m_local;
    control.ShowCustSearch(data, pw, name, number, local);
}

void tst_QLCustSearch::list(QLCustSearch &control)
{
    QString data = m_data, conn = m_conn, name = QStringLiteral("Main"), number = QStringLiteral("7"),
            local = m_local;
    control.ShowAllCustomers(data, conn, name, number, local);
}

void tst_QLCustSearch::pick(int row, bool byEnter)
{
    ReportGrid *g = frmMain::instance()->Jgrid;
    if (byEnter) {
        g->setCurrentRow(row);
        QTest::keyClick(g->tableView(), Qt::Key_Return);
        return;
    }
    // The double click lands on the row as the mouse would: the first point of the grid over it.
    for (int y = 1; y < g->height(); ++y) {
        const QPoint p(g->width() / 3, y);
        if (g->hitTest(p) != GridArea::Record || g->rowFromPoint(p) != row)
            continue;
        QWidget *target = g->childAt(p);
        QVERIFY(target);
        const QPoint at = target->mapFrom(g, p);
        QTest::mousePress(target, Qt::LeftButton, {}, at);
        QTest::mouseRelease(target, Qt::LeftButton, {}, at);
        QTest::mouseDClick(target, Qt::LeftButton, {}, at);
        QCOMPARE(g->currentRow(), row);
        return;
    }
    QFAIL("the row is not on screen");
}

void tst_QLCustSearch::captionWritesRaiseChangeOnce()
{
    QLCustSearch control(&m_form);
    QSignalSpy changes(&control, &QLCustSearch::Change);
    // Through the property, the way a form loader or a script sets it.
    for (const char *text : {"C100", "C100", "C200", ""})
        control.setProperty("Caption", QString::fromLatin1(text));
    QCOMPARE(changes.count(), 3);
    control.setCaption(QStringLiteral("C300"));
    QCOMPARE(control.findChild<QLabel *>(QStringLiteral("QLsearchResults"))->text(), QStringLiteral("C300"));
    QCOMPARE(changes.count(), 4);
}

void tst_QLCustSearch::receiver_data()
{
    // Calls in order: "A search", "B list" (control A or B, the search or all customers), "close"
    // (the user closes the viewer); then a pick in whatever viewer is open.
    // The pick is a double click or Enter on row 2, then the same again, which is no change.
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<bool>("byEnter");
    QTest::addColumn<QString>("receiver");
    QTest::newRow("the control that searched") << QStringList{"A search"} << false << "A";
    QTest::newRow("the control that searched, by Enter") << QStringList{"A search"} << true << "A";
    QTest::newRow("the last of two searching controls") << QStringList{"A search", "B search"} << false << "B";
    QTest::newRow("a list asked for later keeps the search's receiver")
        << QStringList{"A search", "B list"} << false << "A";
    QTest::newRow("a list viewer never picks") << QStringList{"A search", "close", "B list"} << false << "";
    QTest::newRow("a search after a list picks for the searcher")
        << QStringList{"B list", "close", "A search"} << false << "A";
}

void tst_QLCustSearch::receiver()
{
    QFETCH(QStringList, calls);
    QFETCH(bool, byEnter);
    QFETCH(QString, receiver);
    QLCustSearch a(&m_form), b(&m_form);
    QSignalSpy changesA(&a, &QLCustSearch::Change), changesB(&b, &QLCustSearch::Change);
    for (const QString &call : calls) {
        if (call == QLatin1String("close")) {
            unloadViewer();
            continue;
        }
        QLCustSearch &control = call.startsWith(u'A') ? a : b;
        call.endsWith(QLatin1String("search")) ? search(control) : list(control);
    }
    QVERIFY(frmMain::instance());
    QVERIFY(frmMain::instance()->Jgrid->rowCount() > 3);
    QString seen;
    for (QLCustSearch *c : {&a, &b})
        connect(c, &QLCustSearch::Change, this, [&seen, c] { seen = c->Caption(); });
    pick(2, byEnter);
    pick(2, byEnter);
    QCOMPARE(changesA.count(), receiver == QLatin1String("A") ? 1 : 0);
    QCOMPARE(changesB.count(), receiver == QLatin1String("B") ? 1 : 0);
    // The caption is already the account when Change is raised.
    QCOMPARE(seen, receiver.isEmpty() ? QString() : accountOfRow(2));
}

void tst_QLCustSearch::setFocusNeverOpensAViewer()
{
    QLCustSearch control(&m_form);
    const int windows = int(QApplication::topLevelWidgets().size());
    control.CustSearchsetfocus();
    QVERIFY(!frmMain::instance());
    QCOMPARE(int(QApplication::topLevelWidgets().size()), windows);

    search(control);
    frmMain *viewer = frmMain::instance();
    m_form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&m_form));
    control.CustSearchsetfocus();
    QVERIFY(QTest::qWaitForWindowActive(viewer));
}

void tst_QLCustSearch::loadOrError_data()
{
    QTest::addColumn<QString>("fileIn");    // "local", "current" (the process's folder) or ""
    QTest::addColumn<bool>("withLocalPath");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("loads");
    const QString pw = test::sampleSearchPassword();
    QTest::newRow("in the local folder") << "local" << true << pw << true;
    QTest::newRow("no local folder: the bare name in the current folder") << "current" << false << pw << true;
    QTest::newRow("no local folder: the local folder is not searched") << "local" << false << pw << false;
    QTest::newRow("no search file") << "" << true << pw << false;
    QTest::newRow("wrong password") << "local" << true << "not the password" << false;
}

void tst_QLCustSearch::loadOrError()
{
    QFETCH(QString, fileIn);
    QFETCH(bool, withLocalPath);
    QFETCH(QString, password);
    QFETCH(bool, loads);
    QTemporaryDir local, current;
    const QString oldCurrent = QDir::currentPath();
    QVERIFY(QDir::setCurrent(current.path()));
    if (!fileIn.isEmpty())
        QVERIFY(QFile::copy(test::sampleSearchFile(),
                            (fileIn == QLatin1String("local") ? local : current).filePath(QStringLiteral("search.tmp"))));
    request().LocalPath = QStringLiteral("/left/by/an/earlier/call/");

    QLCustSearch control(&m_form);
    QString data = m_data, pw = password, name = QStringLiteral("Main"), number = QStringLiteral("7"),
            folder = local.path() + QLatin1Char('/');
    QString error;
    try {
        withLocalPath ? control.ShowCustSearch(data, pw, name, number, folder)
                      : control.ShowCustSearch(data, pw, name, number);
    } catch (const velmora::Error &e) {
        error = e.description();
    }
    QDir::setCurrent(oldCurrent);
    QCOMPARE(request().LocalPath, withLocalPath ? folder : QString());
    QVERIFY(!frmSplash::isLoaded());
    QVERIFY(!QApplication::overrideCursor());
    if (loads) {
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY(frmMain::instance() && frmMain::instance()->isVisible());
        ReportGrid *g = frmMain::instance()->Jgrid;
        QCOMPARE(g->value(1, g->columnByKey(u"account")->index()).toString(), accountOfRow(1));
    } else {
        QVERIFY(!error.isEmpty());
        QVERIFY(!frmMain::instance());
    }
}

QTEST_MAIN(tst_QLCustSearch)
#include "tst_qlcustsearch.moc"
