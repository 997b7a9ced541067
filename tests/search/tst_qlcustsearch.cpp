// The customer search control as a host drives it, on the sample search file and database: picks
// reach Caption and Change, the right control receives them, and a search that cannot load
// reaches the host as velmora::Error with nothing left behind.

#include <velmora/error.h>
#include <velmora/qlcustsearch.h>

#include "../common/tools.h"
#include "../viewer/viewertesting.h"

using namespace velmora;

namespace {

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

    test::SampleStore m_store;
    QWidget m_form;   // the host's form

    // The control's search, or its list of all customers, as a host calls it.
    void search(QLCustSearch &control, bool all = false)
    {
        QString data = m_store.data, second = all ? m_store.conn : test::sampleSearchPassword(),
                name = QStringLiteral("Main"), number = QStringLiteral("7"), local = m_store.local;
        all ? control.ShowAllCustomers(data, second, name, number, local)
            : control.ShowCustSearch(data, second, name, number, local);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_store.setUp());
        QVERIFY(QFile::copy(test::sampleSearchFile(), m_store.local + QStringLiteral("search.tmp")));
        QVERIFY(!accountOfRow(1).isEmpty());
        m_form.show();
    }
    void cleanup() { test::unloadViewers(); }

    void captionWritesRaiseChangeOnce()
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

    void receiver_data()
    {
        // Calls in order: "A search", "B list" (control A or B, the search or all customers), "close"
        // (the user closes the viewer); then a double click on row 2 in whatever viewer is open, twice:
        // the second is no change. The demo's test picks by Enter.
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<QString>("receiver");
        QTest::newRow("the control that searched") << QStringList{"A search"} << "A";
        QTest::newRow("the last of two searching controls") << QStringList{"A search", "B search"} << "B";
        QTest::newRow("a list asked for later keeps the search's receiver") << QStringList{"A search", "B list"} << "A";
        QTest::newRow("a list viewer never picks") << QStringList{"A search", "close", "B list"} << "";
        QTest::newRow("a search after a list picks for the searcher") << QStringList{"B list", "close", "A search"} << "A";
    }
    void receiver()
    {
        QFETCH(QStringList, calls);
        QFETCH(QString, receiver);
        QLCustSearch a(&m_form), b(&m_form);
        QSignalSpy changesA(&a, &QLCustSearch::Change), changesB(&b, &QLCustSearch::Change);
        for (const QString &call : calls) {
            QLCustSearch &control = call.startsWith(u'A') ? a : b;
            if (call == u"close")
                test::unloadViewers();
            else
                search(control, call.endsWith(u"list"));
        }
        QVERIFY(frmMain::instance() && frmMain::instance()->Jgrid->rowCount() > 3);
        QString seen;
        for (QLCustSearch *c : {&a, &b})
            connect(c, &QLCustSearch::Change, this, [&seen, c] { seen = c->Caption(); });
        ReportGrid *g = frmMain::instance()->Jgrid;
        for (int twice = 0; twice < 2; ++twice) {
            g->setCurrentRow(1);
            test::clickGrid(g, test::recordPoint(g, 2), Qt::LeftButton, true);
            QCOMPARE(g->currentRow(), 2);
        }
        QCOMPARE(changesA.count(), receiver == u"A" ? 1 : 0);
        QCOMPARE(changesB.count(), receiver == u"B" ? 1 : 0);
        // The caption is already the account when Change is raised.
        QCOMPARE(seen, receiver.isEmpty() ? QString() : accountOfRow(2));
    }

    void setFocusNeverOpensAViewer()
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

    void loadOrError_data()
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
    void loadOrError()
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
                                (fileIn == u"local" ? local : current).filePath(QStringLiteral("search.tmp"))));
        request().LocalPath = QStringLiteral("/left/by/an/earlier/call/");

        QLCustSearch control(&m_form);
        QString data = m_store.data, pw = password, name = QStringLiteral("Main"), number = QStringLiteral("7"),
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
        QVERIFY(!frmSplash::isLoaded() && !QApplication::overrideCursor());
        QVERIFY(!QApplication::activeModalWidget());   // the host, not a box of ours, tells the user
        QCOMPARE(error.isEmpty(), loads);
        // A viewer whose load did not finish is not left behind: the next call loads afresh.
        QCOMPARE(frmMain::instance() && frmMain::instance()->isVisible(), loads);
        if (!loads)
            return;
        // The search file's customers, read only, by name first, on landscape pages, no groups.
        ReportGrid *g = frmMain::instance()->Jgrid;
        QCOMPARE(g->value(1, g->columnByKey(u"account")->index()).toString(), accountOfRow(1));
        QCOMPARE(g->columnCount(), 18);
        QCOMPARE(g->column(1)->key().toLower(), QStringLiteral("name"));
        QVERIFY(!g->allowEdit() && !g->allowDelete() && g->groups().count() == 0 && g->printerSettings().orientation == 2);
        QVERIFY(request().SQLstatement.startsWith(QStringLiteral("SELECT name, altname, address")));
    }
};

QTEST_MAIN(tst_QLCustSearch)
#include "tst_qlcustsearch.moc"
