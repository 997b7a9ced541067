// The connection over the network: what the engine says when the server cannot be reached or
// goes away, and a fetch through a real server on a loopback port. And a host that has opened a
// database still ends on SIGTERM and SIGINT as it would without us, on the embedded engine and on
// a server, and the database opens cleanly afterwards.

#include "common/testservices.h"
#include "common/tools.h"
#include "data/connection.h"
#include "data/database.h"
#include "datatesting.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QTest>

#include <QTcpServer>

#include <csignal>
#include <cstdio>
#include <future>

using namespace velmora;
using test::failureText;

namespace {

// A server of a test's own, for tests that stop or kill it: doing so to the shared one would take
// it away from the other tests. Stopped (and woken first, should it be stopped) at scope end.
struct OwnServer {
    QTemporaryDir dir;
    test::FirebirdServer fb;
    pid_t pid = 0;

    bool script(const char *verb) const
    {
        QProcess run;
        run.start(QStringLiteral(VELMORA_SOURCE_DIR "/scripts/fbserver.sh"), {QLatin1String(verb), dir.path()});
        return dir.isValid() && run.waitForFinished(60'000) && run.exitCode() == 0;
    }
    bool start()
    {
        if (!script("start"))
            return false;
        fb = test::firebirdServer(dir.path());
        pid = pid_t(test::readEnv(dir.filePath(QStringLiteral("fbserver.env"))).value(QStringLiteral("FB_PID")).toLongLong());
        return pid > 0;
    }
    ~OwnServer()
    {
        if (pid > 0)
            ::kill(pid, SIGCONT);
        script("stop");
    }
    QString path(const char *file) const { return QDir(fb.dbDir).filePath(QLatin1String(file)); }
};

} // namespace

class tst_ConnectionServer : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cannotConnect_data();
    void cannotConnect();
    void fetchOverServer();
    void serverGone_data();
    void serverGone();
    void hostEndsOnSignal_data();
    void hostEndsOnSignal();

private:
    test::FirebirdServer m_server;
    QTemporaryDir m_dir;
};

void tst_ConnectionServer::initTestCase()
{
    m_server = test::firebirdServer();
    QVERIFY2(m_server.isValid(), "the fbserver fixture did not start a server");
    // A login must fail on what the connection string says, not on the environment's fallback.
    qunsetenv("ISC_USER");
    qunsetenv("ISC_PASSWORD");
}

void tst_ConnectionServer::cannotConnect_data()
{
    QTest::addColumn<QString>("source");   // CLOSED, SILENT: a port of ours; SERVER: the shared server
    QTest::addColumn<QString>("password");
    QTest::addColumn<QStringList>("says");   // the engine's first messages; none: only that it gave up in time
    QTest::addColumn<int>("number");
    // A port just given up: connections are refused.
    QTest::newRow("nothing listening") << "127.0.0.1/CLOSED:/tmp/x.fdb" << "x"
        << QStringList{"Unable to complete network request to host \"127.0.0.1\".", "Failed to establish a connection."}
        << 335544721;
    QTest::newRow("unresolvable host") << "no-such-host.invalid:/x.fdb" << "x"
        << QStringList{"Unable to complete network request to host \"no-such-host.invalid\".",
                       "Failed to locate host machine."} << 335544721;
    // The kernel completes the handshake for a listening socket nobody accepts from, so only the
    // connect timeout ends the wait, far below the client's own three minutes.
    QTest::newRow("silent port gives up after the timeout") << "127.0.0.1/SILENT:/tmp/x.fdb" << "x" << QStringList() << 0;
    QTest::newRow("wrong password") << "SERVER" << "wrong"
        << QStringList{"Your user name and password are not defined. Ask your database administrator to set up a "
                       "Firebird login."} << 335544472;
}

void tst_ConnectionServer::cannotConnect()
{
    QFETCH(QString, source);
    QFETCH(QString, password);
    QFETCH(QStringList, says);
    QFETCH(int, number);
    QTcpServer closed, silent;
    QVERIFY(closed.listen(QHostAddress::LocalHost) && silent.listen(QHostAddress::LocalHost));
    const quint16 closedPort = closed.serverPort();
    closed.close();
    source.replace(QStringLiteral("CLOSED"), QString::number(closedPort))
        .replace(QStringLiteral("SILENT"), QString::number(silent.serverPort()))
        .replace(QStringLiteral("SERVER"), m_server.dsn(m_server.newDatabasePath()));
    const QString user = source.contains(m_server.dbDir) ? m_server.user : QStringLiteral("SYSDBA");
    QElapsedTimer clock;
    clock.start();
    auto c = Connection::open(
        QStringLiteral("Provider=LCPI.IBProvider.3;Data Source=%1;User ID=%2;Password=%3").arg(source, user, password),
        AccessMode::Read, 2);
    QVERIFY(!c.ok());
    QVERIFY2(clock.elapsed() < 60'000, qPrintable(QString::number(clock.elapsed())));
    const Failure &f = c.failure();
    QVERIFY2(!f.engineMessages.isEmpty(), qPrintable(failureText(f)));
    QCOMPARE(f.engineMessages.mid(0, says.size()), says);
    if (number) {
        QCOMPARE(f.number, number);
        QCOMPARE(f.step, 7);
    }
}

void tst_ConnectionServer::fetchOverServer()
{
    const QString path = m_server.newDatabasePath(QStringLiteral("fetch"));
    const QString cs = m_server.oleDbConnString(path);
    CHECK_OK(createDatabase(cs));
    auto rw = Connection::open(cs, AccessMode::ReadWrite, 10);
    CHECK_OK(rw);
    auto &c = *rw.value();
    CHECK_OK(c.execute(QStringLiteral("CREATE TABLE inv (id INTEGER NOT NULL PRIMARY KEY, model VARCHAR(30), "
                                      "cost NUMERIC(15,2), daterec DATE)")));
    // Enough rows for several network batches.
    CHECK_OK(c.execute(QStringLiteral("EXECUTE BLOCK AS DECLARE i INTEGER = 0; BEGIN WHILE (i < 5000) DO BEGIN "
                                      "INSERT INTO inv VALUES (:i, 'Modèle ' || MOD(:i, 7), :i * 0.01, "
                                      "DATEADD(MOD(:i, 365) DAY TO DATE '2020-01-01')); i = i + 1; END END")));
    auto r = c.query(QStringLiteral("SELECT * FROM inv ORDER BY id"));
    CHECK_OK(r);
    const RecordTable &t = *r.value();
    QCOMPARE(t.rowCount(), 5000);
    QCOMPARE(t.dictionarySize(1), 7);
    QCOMPARE(t.text(4999, 1), QStringLiteral("Modèle 1"));
    QCOMPARE(t.displayText(4999, 2), QStringLiteral("49.99"));
    CHECK_OK(c.writer(r.value())->updateCell(10, 1, QStringLiteral("über")));
    QCOMPARE(test::isqlValue(m_server.dsn(path), QStringLiteral("SELECT model FROM inv WHERE id = 10"), m_server.user,
                             m_server.password),
             QStringLiteral("über"));
}

void tst_ConnectionServer::serverGone_data()
{
    QTest::addColumn<QString>("doing");
    QTest::addColumn<int>("signal");
    QTest::newRow("fetch, server killed") << "fetch" << SIGKILL;
    QTest::newRow("edit, server stopped") << "edit" << SIGSTOP;
    QTest::newRow("delete, server killed") << "delete" << SIGKILL;
}

void tst_ConnectionServer::serverGone()
{
    QFETCH(QString, doing);
    QFETCH(int, signal);
    OwnServer server;
    QVERIFY(server.start());
    const QString dsn = server.fb.dsn(server.path("gone.fdb")), cs = server.fb.oleDbConnString(server.path("gone.fdb"));
    CHECK_OK(createDatabase(cs));
    auto c = Connection::open(cs, AccessMode::ReadWrite, 10);
    CHECK_OK(c);
    const auto look = [&](const char *select) { return test::isqlValue(dsn, QLatin1String(select), server.fb.user, server.fb.password); };
    if (doing == u"fetch") {
        // Millions of generated rows: the fetch is still running when the server dies, once the
        // engine lists the statement as running or between two batches.
        auto fetch = std::async(std::launch::async, [&] {
            return c.value()->query(QStringLiteral("SELECT a.rdb$type FROM rdb$types a CROSS JOIN rdb$types b CROSS JOIN rdb$types c"));
        });
        QTRY_COMPARE_WITH_TIMEOUT(look("SELECT COUNT(*) FROM mon$statements WHERE mon$state IN (1, 2) AND mon$sql_text "
                                       "CONTAINING 'CROSS JOIN' AND mon$attachment_id <> CURRENT_CONNECTION"),
                                  QStringLiteral("1"), 30'000);
        QVERIFY(fetch.wait_for(std::chrono::seconds(0)) == std::future_status::timeout);
        QCOMPARE(::kill(server.pid, SIGKILL), 0);
        QVERIFY(fetch.wait_for(std::chrono::seconds(60)) == std::future_status::ready);
        const auto result = fetch.get();
        QVERIFY(!result.ok());
        QCOMPARE(result.failure().engineMessages.value(0), QStringLiteral("Error reading data from the connection."));
        QCOMPARE(result.failure().step, 8);
        return;
    }
    CHECK_OK(c.value()->execute(QStringLiteral("CREATE TABLE t (id INTEGER NOT NULL PRIMARY KEY, name VARCHAR(20))")));
    CHECK_OK(c.value()->execute(QStringLiteral("INSERT INTO t VALUES (1, 'first')")));
    c.value()->setWriteTimeout(2000);
    auto r = c.value()->query(QStringLiteral("SELECT * FROM t"));
    CHECK_OK(r);
    auto w = c.value()->writer(r.value());

    int ticks = 0;
    QTimer repaint;
    connect(&repaint, &QTimer::timeout, this, [&] { ++ticks; });
    repaint.start(100);
    QElapsedTimer clock;
    clock.start();
    ::kill(server.pid, signal);
    const Status st = doing == u"delete" ? w->deleteRow(0) : w->updateCell(0, 1, QStringLiteral("mine"));
    QVERIFY(!st.ok());
    QCOMPARE(r.value()->rowCount(), 1);
    QCOMPARE(r.value()->text(0, 1), QStringLiteral("first"));
    if (signal == SIGKILL) {
        // A server that is gone is said at once, in the client's words.
        QVERIFY2(st.failure().engineMessages.join(u' ').contains(QStringLiteral("connection")), qPrintable(failureText(st.failure())));
        QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
        QTRY_COMPARE_WITH_TIMEOUT(Connection::threadsRunning(), 0, 2000);
        return;
    }
    QVERIFY2(st.failure().description.contains(QStringLiteral("did not answer within 2 seconds")), qPrintable(failureText(st.failure())));
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY2(ticks >= 10, "timers ran while the write waited");
    QVERIFY(w->updateCell(0, 1, QStringLiteral("again")).failure().description.contains(QStringLiteral("stopped answering")));
    // The write given up no longer waits on the stopped server: a host could end now.
    QTRY_COMPARE_WITH_TIMEOUT(Connection::threadsRunning(), 0, 5000);

    // The server comes back: the abandoned write neither committed nor keeps the row locked.
    ::kill(server.pid, SIGCONT);
    auto other = Connection::open(cs, AccessMode::ReadWrite, 10);
    CHECK_OK(other);
    QCOMPARE(look("SELECT name FROM t"), QStringLiteral("first"));
    QTRY_VERIFY_WITH_TIMEOUT(other.value()->execute(QStringLiteral("UPDATE t SET name = 'after' WHERE id = 1")).ok(), 20000);
}

void tst_ConnectionServer::hostEndsOnSignal_data()
{
    QTest::addColumn<bool>("server");
    QTest::addColumn<int>("signal");
    QTest::newRow("embedded, SIGTERM") << false << int(SIGTERM);
    QTest::newRow("embedded, SIGINT") << false << int(SIGINT);
    QTest::newRow("server, SIGTERM") << true << int(SIGTERM);
}

void tst_ConnectionServer::hostEndsOnSignal()
{
    QFETCH(bool, server);
    QFETCH(int, signal);
    const QString path = server ? m_server.newDatabasePath() : m_dir.filePath(QStringLiteral("host-%1.fdb").arg(signal));
    const QString conn = server ? m_server.oleDbConnString(path)
                                : QStringLiteral("Data Source=%1;User ID=SYSDBA;Password=masterkey").arg(path);
    CHECK_OK(createDatabase(conn));
    QProcess host;
    host.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--host"), conn});
    QVERIFY(host.waitForReadyRead(60000));
    QCOMPARE(host.readLine().trimmed(), QByteArray("ready"));
    ::kill(pid_t(host.processId()), signal);
    QVERIFY2(host.waitForFinished(1000), "the host lives on after the signal");
    QCOMPARE(host.exitStatus(), QProcess::CrashExit);
    QCOMPARE(test::isqlValue(server ? m_server.dsn(path) : path, QStringLiteral("SELECT COUNT(*) FROM rdb$database"),
                             server ? m_server.user : QStringLiteral("SYSDBA"), m_server.password),
             QStringLiteral("1"));
}

// With --host and a connection string it is the host of the signal test instead: it opens the
// database, reads from it, says "ready" and waits for the end the way a host application does, in
// its event loop.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--host") == 0) {
        auto c = Connection::open(QString::fromLocal8Bit(argv[2]), AccessMode::ReadWrite);
        if (!c || !c.value()->query(QStringLiteral("SELECT COUNT(*) FROM rdb$relations")))
            return 1;
        std::puts("ready");
        std::fflush(stdout);
        return QCoreApplication::exec();
    }
    tst_ConnectionServer t;
    return QTest::qExec(&t, argc, argv);
}
#include "tst_connection_server.moc"
