// velmora-report as a cron job runs it: no display, no terminal, its own environment. Each kind's
// file is read by an independent reader and compared with what the viewer exports for the same
// request and layout; every failure ends in one stderr line, its exit status and no file.

#include <velmora/qlcustsearch.h>

#include "core/layoutrules.h"
#include "export/mExport.h"
#include "viewer/layouts.h"

#include "../common/tools.h"
#include "../viewer/viewertesting.h"

using namespace velmora;

namespace {

struct Run {
    int exit = -1;
    QByteArray out, err;
};

// The tool (or `program`) with a cron job's environment: no display, no platform chosen, settings
// in `config`.
Run runReport(const QStringList &args, const QString &config, const QString &program = QStringLiteral(VELMORA_REPORT_TOOL))
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "ISC_USER", "ISC_PASSWORD"})
        env.remove(QString::fromLatin1(name));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config);
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    Run r;
    if (p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit)
        r.exit = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

// What the independent reader finds in an export file; text files as their bytes.
QByteArray contents(const QString &file)
{
    if (file.endsWith(QLatin1String(".txt")))
        return test::readAll(file);
    const test::ToolResult r = test::runTool(QStringLiteral("/usr/bin/python3"),
                                             {QStringLiteral(VELMORA_SOURCE_DIR "/tests/search/readexport.py"), file});
    return r.exitCode == 0 ? r.output.toUtf8() : "(unreadable) " + r.output.toUtf8();
}

// The records under the captions.
int recordsIn(const QString &file, const QByteArray &read)
{
    return int(file.endsWith(QLatin1String(".txt")) ? read.count("\r\n")
                                                     : QJsonDocument::fromJson(read)[QLatin1String("rows")].toArray().size()) - 1;
}

} // namespace

class tst_VelmoraReport : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_store.setUp());
        // One saved layout for the inventory: fewer columns, in another order.
        const QString layout = m_store.data + layoutrules::layoutFolder(QString(), Qt::CaseInsensitive) + QStringLiteral("Short.txt");
        QVERIFY(QDir().mkpath(QFileInfo(layout).path()));
        QFile file(layout);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("cost\r\nmodel\r\ncategory\r\n") > 0);
    }

    void cleanup()
    {
        test::unloadViewers();
        test::storedSettings().clear();
    }

    void sameFileAsTheViewer_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("storeNumber");
        QTest::addColumn<QString>("layout");       // --layout
        QTest::addColumn<QString>("remembered");   // the kind's last layout in the settings
        QTest::addColumn<QString>("ending");
        const QString inv = QStringLiteral("SELECT model, serial, category, cost, balance, daterec FROM inventory "
                                           "WHERE store = 7 ORDER BY serial");
        QTest::newRow("inventory as text") << "inventory" << inv << "7" << "" << "" << "txt";
        QTest::newRow("inventory with a named layout, xls") << "inventory" << inv << "7" << "Short" << "" << "xls";
        QTest::newRow("inventory with its last layout, html") << "inventory" << inv << "7" << "" << "Short.txt" << "html";
        QTest::newRow("deleted inventory, xlsx") << "deletedinv" << "" << "7" << "" << "" << "xlsx";
        QTest::newRow("custom sql, html") << "customsql"
                                          << "SELECT category, COUNT(*) AS units, CAST(SUM(cost) AS NUMERIC(15,2)) AS "
                                             "total FROM inventory GROUP BY category"
                                          << "7" << "" << "" << "html";
        QTest::newRow("master inventory with a condition, xlsx")
            << "masterinv" << "" << "7|category = 'TV'" << "" << "" << "xlsx";
        QTest::newRow("all customers, txt") << "allcustomers" << "" << "7" << "" << "" << "txt";
    }

    void sameFileAsTheViewer()
    {
        QFETCH(QString, kind);
        QFETCH(QString, sql);
        QFETCH(QString, storeNumber);
        QFETCH(QString, layout);
        QFETCH(QString, remembered);
        QFETCH(QString, ending);
        QSettings settings = test::storedSettings();
        if (!remembered.isEmpty())
            settings.setValue(QStringLiteral("Saved Reports/Last Inventory"), remembered);
        settings.sync();
        QTemporaryDir out;
        const QString toolFile = out.filePath(QStringLiteral("tool.") + ending);
        QStringList args{"--kind", kind, "--conn", m_store.conn, "--store-name", "Main Street", "--store-number", storeNumber,
                         "--data", m_store.data, "--local", m_store.local, "--out", toolFile};
        if (!sql.isEmpty())
            args << QStringLiteral("--sql") << sql;
        if (!layout.isEmpty())
            args << QStringLiteral("--layout") << layout;
        const Run run = runReport(args, m_store.settings);
        QVERIFY2(run.exit == 0, run.err.constData());
        QVERIFY2(run.err.isEmpty() && run.out.isEmpty(), run.err.constData());   // not a terminal: silent
        // A named layout is applied, not remembered: the user's last layout stays the user's.
        settings.sync();
        QCOMPARE(settings.value(QStringLiteral("Saved Reports/Last Inventory")).toString(), remembered);

        // The viewer on the same request, through the controls, exporting as its command does.
        // The other kinds with a query of the host's differ from the inventory only in the catalogue's names.
        const QMap<QString, QString> methods{{"inventory", "ShowINVReport"}, {"deletedinv", "ShowDeletedInv"},
                                             {"customsql", "CustomSQL"}, {"masterinv", "ShowMasterInv"}};
        test::HostCall call{sql, m_store.data, m_store.conn, QStringLiteral("Main Street"), storeNumber, m_store.local};
        QLrvx reports;
        QLCustSearch customers;
        if (methods.contains(kind))
            test::callReport(reports, methods.value(kind), call);
        else
            customers.ShowAllCustomers(call.data, call.conn, call.name, call.number, call.local);
        frmMain *viewer = frmMain::instance();
        QVERIFY(viewer);
        if (!layout.isEmpty())
            LoadLayout(*viewer, layout + QStringLiteral(".txt"));
        QString viewerFile = out.filePath(QStringLiteral("viewer.") + ending);
        QVERIFY(ExportGrid(*viewer->Jgrid, viewerFile, viewer).ok());

        const QByteArray fromTool = contents(toolFile);
        QCOMPARE(fromTool, contents(viewerFile));
        // And the rows are the query's rows, as the database itself counts them once the viewer has
        // let go of the file.
        const QString ran = request().SQLstatement;
        cleanup();
        const QString count = test::isqlValue(m_store.db, QStringLiteral("SELECT COUNT(*) FROM (%1)").arg(ran));
        QVERIFY2(count.toInt() > 0, qPrintable(count));
        QCOMPARE(recordsIn(toolFile, fromTool), count.toInt());
        if (!layout.isEmpty() || !remembered.isEmpty())
            QVERIFY(fromTool.contains("COST") && !fromTool.contains("SERIAL"));
    }

    void failures_data()
    {
        QTest::addColumn<QStringList>("args");   // beside --out
        QTest::addColumn<QString>("outName");    // relative to a folder holding an older file of that name
        QTest::addColumn<int>("exit");
        QTest::addColumn<QString>("says");

        const test::FirebirdServer server = test::firebirdServer();
        QVERIFY(server.isValid());
        const QString served = test::copySampleDatabase(server.dbDir);
        QVERIFY(!served.isEmpty());
        const QString inv = QStringLiteral("SELECT model, cost FROM inventory");
        const auto job = [&](const QString &kind, const QString &conn, const QString &sql = {}) {
            QStringList a{QStringLiteral("--kind"), kind, QStringLiteral("--conn"), conn, QStringLiteral("--data"), m_store.data};
            if (!sql.isEmpty())
                a << QStringLiteral("--sql") << sql;
            return a;
        };
        QTest::newRow("no server") << job("inventory", QStringLiteral("Data Source=velmora-no-such-host.invalid:/x.fdb;"
                                                                      "User ID=SYSDBA;Password=x"), inv)
                                   << "old.xls" << 3 << "cannot reach the database server";
        QTest::newRow("wrong password")
            << job("inventory", QStringLiteral("Data Source=%1;User ID=%2;Password=not-it").arg(server.dsn(served), server.user), inv)
            << "old.xls" << 3 << "password";
        QTest::newRow("bad sql") << job("customsql", m_store.conn, QStringLiteral("SELECT FROM WHERE")) << "old.txt" << 3
                                 << "Token unknown";
        QTest::newRow("unknown layout") << job("inventory", m_store.conn, inv) + QStringList{"--layout", "Nowhere"}
                                        << "old.html" << 4 << "no saved layout \"Nowhere\"";
        QTest::newRow("folder that is not there") << job("inventory", m_store.conn, inv) << "missing/new.txt" << 5
                                                  << "missing/new.txt";
        QTest::newRow("unknown kind") << job("weekly", m_store.conn, inv) << "old.txt" << 2 << "unknown kind \"weekly\"";
        QTest::newRow("query missing") << job("customsql", m_store.conn) << "old.txt" << 2 << "--sql is needed";
        QTest::newRow("no known ending") << job("inventory", m_store.conn, inv) << "old.csv" << 2 << ".xls, .xlsx, .html or .txt";
    }

    void failures()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, outName);
        QFETCH(int, exit);
        QFETCH(QString, says);
        QTemporaryDir folder;
        const QString out = folder.filePath(outName);
        QFile old(out);
        const bool hadOld = old.open(QIODevice::WriteOnly) && old.write("older export") > 0;
        old.close();

        const Run run = runReport(args << QStringLiteral("--out") << out, m_store.settings);
        QVERIFY2(run.exit == exit, run.err.constData());
        QVERIFY(run.out.isEmpty());
        const QString err = QString::fromUtf8(run.err);
        QVERIFY2(err.startsWith(QLatin1String("velmora-report: ")) && err.count(u'\n') == 1 && err.endsWith(u'\n'),
                 qPrintable(err));
        QVERIFY2(err.contains(says), qPrintable(err));
        // Nothing new under any name, and an older file is left as it was.
        const QStringList left = QDir(folder.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
        QCOMPARE(left, hadOld ? QStringList{QFileInfo(out).fileName()} : QStringList{});
        QCOMPARE(test::readAll(out), hadOld ? QByteArray("older export") : QByteArray("<missing>"));
    }

    void helpAndTerminalProgress()
    {
        const Run help = runReport({QStringLiteral("--help")}, m_store.settings);
        QCOMPARE(help.exit, 0);
        for (const char *option : {"Usage:", "--kind <kind>", "--sql", "--conn", "--store-name", "--store-number",
                                   "--data", "--local", "--layout", "--out"})
            QVERIFY2(help.out.contains(option), option);

        // On a terminal (script(1) gives the tool one) the rows fetched and written are shown.
        QTemporaryDir out;
        const QString file = out.filePath(QStringLiteral("inv.txt"));
        const QString command = QStringLiteral("'%1' --kind inventory --sql 'SELECT model FROM inventory' --conn '%2' --out '%3'")
                                    .arg(QStringLiteral(VELMORA_REPORT_TOOL), m_store.conn, file);
        const Run script = runReport({QStringLiteral("-qec"), command, QStringLiteral("/dev/null")}, m_store.settings,
                                     QStringLiteral("script"));
        QCOMPARE(script.exit, 0);
        QVERIFY2(script.out.contains("fetched 2000 rows") && script.out.contains("written 2000 rows"), script.out.constData());
    }

private:
    test::SampleStore m_store;
};

QTEST_MAIN(tst_VelmoraReport)
#include "tst_velmorareport.moc"
