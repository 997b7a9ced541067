// The connection over the network: what the engine says when the server cannot be reached or
// goes away, and a fetch through a real server on a loopback port.

#include "common/testservices.h"
#include "common/tools.h"
#include "data/connection.h"
#include "data/database.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QTest>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace velmora;

namespace {

QString failureText(const Failure &f)
{
    return QStringLiteral("%1 [%2] %3").arg(f.number).arg(f.description, f.engineMessages.join(QStringLiteral(" | ")));
}

// A loopback socket bound to a free port; listening or not.
struct Socket {
    int fd = -1;
    int port = 0;
    explicit Socket(bool listening)
    {
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0
            || ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len) != 0 || (listening && ::listen(fd, 8) != 0))
            return;
        port = ntohs(a.sin_port);
    }
    ~Socket()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

// A server of a test's own, for tests that stop or kill it: doing so to the shared one would take
// it away from the other tests. Stopped (and woken first, should it be stopped) at scope end.
struct OwnServer {
    QTemporaryDir dir;
    QMap<QString, QString> env;
    pid_t pid = 0;

    bool start()
    {
        QProcess run;
        run.start(QStringLiteral(VELMORA_SOURCE_DIR "/scripts/fbserver.sh"), {QStringLiteral("start"), dir.path()});
        if (!dir.isValid() || !run.waitForFinished(60'000) || run.exitCode() != 0)
            return false;
        env = test::readEnv(dir.filePath(QStringLiteral("fbserver.env")));
        pid = pid_t(env.value(QStringLiteral("FB_PID")).toLongLong());
        return pid > 0;
    }
    ~OwnServer()
    {
        if (pid > 0)
            ::kill(pid, SIGCONT);
        QProcess stop;
        stop.start(QStringLiteral(VELMORA_SOURCE_DIR "/scripts/fbserver.sh"), {QStringLiteral("stop"), dir.path()});
        stop.waitForFinished(30'000);
    }
    QString dsn(const QString &file) const
    {
        return QStringLiteral("%1/%2:%3").arg(env.value(QStringLiteral("FB_HOST")), env.value(QStringLiteral("FB_PORT")),
                                              QDir(env.value(QStringLiteral("FB_DBDIR"))).filePath(file));
    }
    QString connString(const QString &file) const
    {
        return QStringLiteral("Data Source=%1;User ID=%2;Password=%3")
            .arg(dsn(file), env.value(QStringLiteral("FB_USER")), env.value(QStringLiteral("FB_PASSWORD")));
    }
};

} // namespace

class tst_ConnectionServer : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void nothingListening();
    void unresolvableHost();
    void silentPortGivesUpAfterTimeout();
    void wrongPassword();
    void missingDatabase();
    void fetchOverServer();
    void serverKilledInTheMiddleOfAFetch();
    void serverGoneDuringAWrite_data();
    void serverGoneDuringAWrite();

private:
    test::FirebirdServer m_server;
};

void tst_ConnectionServer::initTestCase()
{
    m_server = test::firebirdServer();
    QVERIFY2(m_server.isValid(), "the fbserver fixture did not start a server");
    // A login must fail on what the connection string says, not on the environment's fallback.
    qunsetenv("ISC_USER");
    qunsetenv("ISC_PASSWORD");
}

void tst_ConnectionServer::nothingListening()
{
    // Bound but not listening: connections to it are refused, and nobody else takes the port.
    Socket closed(false);
    const int port = closed.port;
    QVERIFY(port > 0);
    auto c = Connection::open(QStringLiteral("Data Source=127.0.0.1/%1:/tmp/x.fdb;User ID=SYSDBA;Password=x").arg(port),
                              AccessMode::Read, 5);
    QVERIFY(!c.ok());
    const QStringList &m = c.failure().engineMessages;
    QVERIFY2(m.size() >= 2, qPrintable(failureText(c.failure())));
    QCOMPARE(m.at(0), QStringLiteral("Unable to complete network request to host \"127.0.0.1\"."));
    QCOMPARE(m.at(1), QStringLiteral("Failed to establish a connection."));
    QCOMPARE(c.failure().number, 335544721);   // isc_network_error
    QCOMPARE(c.failure().step, 7);
}

void tst_ConnectionServer::unresolvableHost()
{
    auto c = Connection::open(QStringLiteral("Provider=LCPI.IBProvider.3;Data Source=no-such-host.invalid:/x.fdb;"
                                             "User ID=SYSDBA;Password=x"),
                              AccessMode::Read, 5);
    QVERIFY(!c.ok());
    const QStringList &m = c.failure().engineMessages;
    QVERIFY2(m.size() >= 2, qPrintable(failureText(c.failure())));
    QCOMPARE(m.at(0), QStringLiteral("Unable to complete network request to host \"no-such-host.invalid\"."));
    QCOMPARE(m.at(1), QStringLiteral("Failed to locate host machine."));
}

void tst_ConnectionServer::silentPortGivesUpAfterTimeout()
{
    // The kernel completes the handshake for a listening socket that nobody accepts from, so the
    // client waits for an answer that never comes; the connect timeout ends the wait.
    Socket silent(true);
    QVERIFY(silent.port > 0);
    QElapsedTimer clock;
    clock.start();
    auto c = Connection::open(
        QStringLiteral("Data Source=127.0.0.1/%1:/tmp/x.fdb;User ID=SYSDBA;Password=x").arg(silent.port),
        AccessMode::Read, 2);
    QVERIFY(!c.ok());
    QVERIFY2(!c.failure().engineMessages.isEmpty(), qPrintable(failureText(c.failure())));
    // Far below the client's own three minutes.
    QVERIFY2(clock.elapsed() < 60'000, qPrintable(QString::number(clock.elapsed())));
}

void tst_ConnectionServer::wrongPassword()
{
    auto c = Connection::open(QStringLiteral("Provider=LCPI.IBProvider.3;Data Source=%1;User ID=%2;Password=wrong-%3")
                                  .arg(m_server.dsn(m_server.newDatabasePath()), m_server.user, m_server.password),
                              AccessMode::Read, 10);
    QVERIFY(!c.ok());
    QCOMPARE(c.failure().engineMessages,
             QStringList{QStringLiteral("Your user name and password are not defined. Ask your database administrator "
                                        "to set up a Firebird login.")});
    QCOMPARE(c.failure().number, 335544472);   // isc_login
}

void tst_ConnectionServer::missingDatabase()
{
    const QString path = m_server.newDatabasePath(QStringLiteral("missing"));
    auto c = Connection::open(m_server.oleDbConnString(path), AccessMode::Read, 10);
    QVERIFY(!c.ok());
    const QStringList &m = c.failure().engineMessages;
    QVERIFY2(m.size() >= 2, qPrintable(failureText(c.failure())));
    QCOMPARE(m.at(0), QStringLiteral("I/O error during \"open\" operation for file \"%1\"").arg(path));
    QCOMPARE(m.at(1), QStringLiteral("Error while trying to open file"));
}

void tst_ConnectionServer::fetchOverServer()
{
    const QString cs = m_server.oleDbConnString(m_server.newDatabasePath(QStringLiteral("fetch")));
    const Status created = createDatabase(cs);
    QVERIFY2(created.ok(), created.ok() ? "" : qPrintable(failureText(created.failure())));
    auto rw = Connection::open(cs, AccessMode::ReadWrite, 10);
    QVERIFY2(rw.ok(), rw.ok() ? "" : qPrintable(failureText(rw.failure())));
    auto &c = *rw.value();
    QVERIFY(c.execute(QStringLiteral("CREATE TABLE inv (id INTEGER NOT NULL PRIMARY KEY, model VARCHAR(30), "
                                     "cost NUMERIC(15,2), daterec DATE)"))
                .ok());
    // Enough rows for several network batches.
    QVERIFY(c.execute(QStringLiteral("EXECUTE BLOCK AS DECLARE i INTEGER = 0; BEGIN WHILE (i < 5000) DO BEGIN "
                                     "INSERT INTO inv VALUES (:i, 'Modèle ' || MOD(:i, 7), :i * 0.01, "
                                     "DATEADD(MOD(:i, 365) DAY TO DATE '2020-01-01')); i = i + 1; END END"))
                .ok());
    auto r = c.query(QStringLiteral("SELECT * FROM inv ORDER BY id"));
    QVERIFY2(r.ok(), r.ok() ? "" : qPrintable(failureText(r.failure())));
    const RecordTable &t = *r.value();
    QCOMPARE(t.rowCount(), 5000);
    QCOMPARE(t.dictionarySize(1), 7);
    QCOMPARE(t.column(1).definedSize, 30);
    QCOMPARE(t.text(4999, 1), QStringLiteral("Modèle 1"));
    QCOMPARE(t.displayText(4999, 2), QStringLiteral("49.99"));
    QCOMPARE(t.column(2).typeCode, TypeCode::Numeric);

    auto w = c.writer(r.value());
    QVERIFY(w->updateCell(10, 1, QStringLiteral("über")).ok());
    auto check = c.query(QStringLiteral("SELECT model FROM inv WHERE id = 10"));
    QVERIFY(check.ok());
    QCOMPARE(check.value()->text(0, 0), QStringLiteral("über"));
}

void tst_ConnectionServer::serverKilledInTheMiddleOfAFetch()
{
    OwnServer server;
    QVERIFY(server.start());
    const pid_t pid = server.pid;
    const QString cs = server.connString(QStringLiteral("kill.fdb"));
    QVERIFY(createDatabase(cs).ok());
    auto reader = Connection::open(cs, AccessMode::Read, 10);
    QVERIFY(reader.ok());

    // Millions of generated rows: the fetch is still running when the server dies.
    std::atomic<bool> done{false};
    std::optional<Result<std::shared_ptr<RecordTable>>> result;
    std::thread fetch([&] {
        result.emplace(reader.value()->query(QStringLiteral(
            "SELECT a.rdb$type FROM rdb$types a CROSS JOIN rdb$types b CROSS JOIN rdb$types c")));
        done = true;
    });
    auto joinFetch = qScopeGuard([&] { fetch.join(); });

    // Wait until the engine lists the statement as running or between two batches (state 2),
    // then kill the server outright. The
    // monitoring tables are a snapshot per transaction, so each look is a connection of its own.
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            auto watcher = Connection::open(cs, AccessMode::Read, 10);
            if (!watcher.ok())
                return false;
            auto mon = watcher.value()->query(QStringLiteral(
                "SELECT COUNT(*) FROM mon$statements WHERE mon$state IN (1, 2) AND mon$sql_text CONTAINING 'CROSS JOIN' "
                "AND mon$attachment_id <> CURRENT_CONNECTION"));
            return mon.ok() && mon.value()->integer(0, 0) > 0;
        }(),
        30'000);
    QVERIFY(!done);
    QCOMPARE(::kill(pid, SIGKILL), 0);
    QTRY_VERIFY_WITH_TIMEOUT(done.load(), 60'000);

    QVERIFY(result.has_value());
    QVERIFY(!result->ok());
    const QStringList &m = result->failure().engineMessages;
    QVERIFY2(!m.isEmpty(), qPrintable(failureText(result->failure())));
    QCOMPARE(m.at(0), QStringLiteral("Error reading data from the connection."));
    QCOMPARE(result->failure().step, 8);
}

void tst_ConnectionServer::serverGoneDuringAWrite_data()
{
    QTest::addColumn<bool>("deleting");
    QTest::addColumn<int>("signal");
    QTest::newRow("edit, server stopped") << false << SIGSTOP;
    QTest::newRow("delete, server stopped") << true << SIGSTOP;
    QTest::newRow("edit, server killed") << false << SIGKILL;
    QTest::newRow("delete, server killed") << true << SIGKILL;
}

void tst_ConnectionServer::serverGoneDuringAWrite()
{
    QFETCH(bool, deleting);
    QFETCH(int, signal);
    OwnServer server;
    QVERIFY(server.start());
    const pid_t pid = server.pid;
    const QString dsn = server.dsn(QStringLiteral("stop.fdb"));
    const QString cs = server.connString(QStringLiteral("stop.fdb"));
    QVERIFY(createDatabase(cs).ok());
    auto c = Connection::open(cs, AccessMode::ReadWrite, 10);
    QVERIFY(c.ok());
    QVERIFY(c.value()->execute(QStringLiteral("CREATE TABLE t (id INTEGER NOT NULL PRIMARY KEY, name VARCHAR(20))")).ok());
    QVERIFY(c.value()->execute(QStringLiteral("INSERT INTO t VALUES (1, 'first')")).ok());
    c.value()->setWriteTimeout(2000);
    auto r = c.value()->query(QStringLiteral("SELECT * FROM t"));
    QVERIFY(r.ok());
    auto w = c.value()->writer(r.value());

    int ticks = 0;
    QTimer repaint;
    connect(&repaint, &QTimer::timeout, this, [&] { ++ticks; });
    repaint.start(100);
    QElapsedTimer clock;
    clock.start();
    ::kill(pid, signal);
    const Status st = deleting ? w->deleteRow(0) : w->updateCell(0, 1, QStringLiteral("mine"));
    QVERIFY(!st.ok());
    if (signal == SIGKILL) {
        // A server that is gone is said at once, in the client's words, and the row stays as read.
        QVERIFY2(st.failure().engineMessages.join(u' ').contains(QStringLiteral("connection")),
                 qPrintable(failureText(st.failure())));
        QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(r.value()->text(0, 1), QStringLiteral("first"));
        QTRY_COMPARE_WITH_TIMEOUT(Connection::threadsRunning(), 0, 2000);
        return;
    }
    QVERIFY2(st.failure().description.contains(QStringLiteral("did not answer within 2 seconds")),
             qPrintable(failureText(st.failure())));
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY2(ticks >= 10, "timers ran while the write waited");
    QCOMPARE(r.value()->rowCount(), 1);
    QCOMPARE(r.value()->text(0, 1), QStringLiteral("first"));
    QVERIFY(w->updateCell(0, 1, QStringLiteral("again")).failure().description.contains(QStringLiteral("stopped answering")));
    // The write given up no longer waits on the stopped server: a host could end now.
    QTRY_COMPARE_WITH_TIMEOUT(Connection::threadsRunning(), 0, 5000);

    // The server comes back: the abandoned write neither committed nor keeps the row locked.
    ::kill(pid, SIGCONT);
    auto other = Connection::open(cs, AccessMode::ReadWrite, 10);
    QVERIFY(other.ok());
    QCOMPARE(test::isqlValue(dsn, QStringLiteral("SELECT name FROM t"), server.env.value(QStringLiteral("FB_USER")),
                             server.env.value(QStringLiteral("FB_PASSWORD"))),
             QStringLiteral("first"));
    QTRY_VERIFY_WITH_TIMEOUT(other.value()->execute(QStringLiteral("UPDATE t SET name = 'after' WHERE id = 1")).ok(), 20000);
}

QTEST_GUILESS_MAIN(tst_ConnectionServer)
#include "tst_connection_server.moc"
