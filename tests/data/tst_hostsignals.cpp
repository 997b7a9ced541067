// A host that has opened a database still ends on SIGTERM and SIGINT as it would without us,
// on the embedded engine and on a server, and the database opens cleanly afterwards.

#include "../common/testservices.h"
#include "../common/tools.h"
#include "data/database.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace velmora;

class tst_HostSignals : public QObject {
    Q_OBJECT

private slots:
    void hostEndsOnSignal_data();
    void hostEndsOnSignal();

private:
    QTemporaryDir m_dir;
};

void tst_HostSignals::hostEndsOnSignal_data()
{
    QTest::addColumn<bool>("server");
    QTest::addColumn<int>("signal");
    QTest::newRow("embedded, SIGTERM") << false << int(SIGTERM);
    QTest::newRow("embedded, SIGINT") << false << int(SIGINT);
    QTest::newRow("server, SIGTERM") << true << int(SIGTERM);
}

void tst_HostSignals::hostEndsOnSignal()
{
    QFETCH(bool, server);
    QFETCH(int, signal);
    const test::FirebirdServer fb = test::firebirdServer();
    if (server)
        QVERIFY2(fb.isValid(), "the fbserver fixture starts a server");
    const QString path = server ? fb.newDatabasePath() : m_dir.filePath(QStringLiteral("host-%1.fdb").arg(signal));
    const QString database = server ? fb.dsn(path) : path;
    const QString conn = server ? fb.oleDbConnString(path)
                                : QStringLiteral("Data Source=%1;User ID=SYSDBA;Password=masterkey").arg(path);
    QVERIFY(createDatabase(conn).ok());

    QProcess host;
    host.start(QStringLiteral(VELMORA_SIGNAL_HOST), {conn});
    QVERIFY(host.waitForReadyRead(60000));
    QCOMPARE(host.readLine().trimmed(), QByteArray("ready"));
    ::kill(pid_t(host.processId()), signal);
    QVERIFY2(host.waitForFinished(1000), "the host lives on after the signal");
    QCOMPARE(host.exitStatus(), QProcess::CrashExit);

    const QString user = server ? fb.user : QStringLiteral("SYSDBA");
    QCOMPARE(test::isqlValue(database, QStringLiteral("SELECT COUNT(*) FROM rdb$database"), user, fb.password),
             QStringLiteral("1"));
}

QTEST_GUILESS_MAIN(tst_HostSignals)
#include "tst_hostsignals.moc"
