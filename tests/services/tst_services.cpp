// The test services as their clients meet them: the private Firebird server through isql-fb and
// fbsvcmgr over TCP, the SMTP sink through /usr/bin/python3's smtplib, with the stored mail read
// back by python's email parser. Also the scripts' own promises: free ports, separate folders,
// clean stops.

#include "common/testservices.h"
#include "common/tools.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QUuid>
#include <QtTest>

#include <csignal>
#include <sys/types.h>

using namespace velmora::test;

namespace
{

const QString kPython = QStringLiteral("/usr/bin/python3");

QString script(const char *name)
{
    return QStringLiteral(VELMORA_SCRIPTS_DIR "/") + QLatin1String(name);
}

// Sends one message; prints "OK" or "ERROR <code> <text>".
const char *const kSend = R"PY(
import smtplib, sys
from email.message import EmailMessage
host, port, user, password, rcpt, subject, body = sys.argv[1:8]
m = EmailMessage()
m["From"] = "Velmora Test <reports@example.com>"
m["To"] = rcpt
m["Subject"] = subject
m.set_content(body)
try:
    with smtplib.SMTP(host, int(port), timeout=30) as s:
        if user:
            s.login(user, password)
        refused = s.send_message(m)
    print("OK" if not refused else "REFUSED %r" % refused)
except smtplib.SMTPRecipientsRefused as e:
    code, text = list(e.recipients.values())[0]
    print("ERROR %d %s" % (code, text.decode()))
except smtplib.SMTPResponseException as e:
    print("ERROR %d %s" % (e.smtp_code, e.smtp_error.decode()))
)PY";

// Prints the subject, the From address and the decoded body of a stored message.
const char *const kParse = R"PY(
import sys
from email import policy
from email.parser import BytesParser
with open(sys.argv[1], "rb") as f:
    m = BytesParser(policy=policy.default).parse(f)
print(m["subject"])
print(m["from"].addresses[0].addr_spec)
print(m.get_content().strip())
)PY";

bool processAlive(qint64 pid)
{
    return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) == 0;
}

// The listening sockets of /proc/net/tcp: local address (hex, as the kernel writes it) by port.
QMap<int, QString> listeningSockets()
{
    QMap<int, QString> result;
    QFile f(QStringLiteral("/proc/net/tcp"));
    if (!f.open(QIODevice::ReadOnly))
        return result;
    for (const QByteArray &line : f.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 4 || fields[3] != "0A")
            continue;
        const QList<QByteArray> local = fields[1].split(':');
        if (local.size() == 2)
            result.insert(local[1].toInt(nullptr, 16), QString::fromLatin1(local[0]));
    }
    return result;
}

} // namespace

class tst_Services : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void firebirdKeepsText_data();
    void firebirdKeepsText();
    void firebirdListensOnLoopbackOnly();
    void firebirdRefusesTakenPort();
    void firebirdServersSideBySide();

    void smtpSink_data();
    void smtpSink();
    void smtpSinkRequiringAuthStartsAndStops();

private:
    QString send(const SmtpSink &sink, const QString &user, const QString &password, const QString &rcpt,
                 const QString &subject, const QString &body);
    QString storedWith(const SmtpSink &sink, const QString &token);

    FirebirdServer m_fb;
    SmtpSink m_smtp;
    QTemporaryDir m_dir;
};

void tst_Services::initTestCase()
{
    m_fb = firebirdServer();
    m_smtp = velmora::test::smtpSink();
    QVERIFY2(m_fb.isValid(), "no fbserver.env: run through ctest (fixture fbserver)");
    QVERIFY2(m_smtp.isValid(), "no smtp.env: run through ctest (fixture smtp)");
    QVERIFY(m_dir.isValid());
}

void tst_Services::firebirdKeepsText_data()
{
    QTest::addColumn<QString>("charset");
    QTest::addColumn<QString>("text");
    QTest::newRow("UTF8 with CJK") << "UTF8" << QStringLiteral("Grüße, 田中 太郎");
    // Character sets other than UTF8 need the server's own copy of the intl module.
    QTest::newRow("WIN1252 accents") << "WIN1252" << QStringLiteral("Señor Müller – café");
    QTest::newRow("ISO8859_1 sharp s") << "ISO8859_1" << QStringLiteral("Straße Ñandú");
}

void tst_Services::firebirdKeepsText()
{
    QFETCH(QString, charset);
    QFETCH(QString, text);
    const QString dsn = m_fb.dsn(m_fb.newDatabasePath(charset.toLower()));
    const ToolResult created = isql(QString(),
                                    QStringLiteral("create database '%1' user '%2' password '%3' default character "
                                                   "set %4;\ncreate table t (s varchar(40));\ninsert into t values "
                                                   "('%5');\ncommit;\n")
                                        .arg(dsn, m_fb.user, m_fb.password, charset, text),
                                    QString());
    // isql-fb without a database argument reads the CREATE DATABASE from its input.
    QVERIFY2(created.exitCode == 0 && !created.output.contains(QStringLiteral("Statement failed")),
             qPrintable(created.output));
    QCOMPARE(isqlValue(dsn, QStringLiteral("select s from t"), m_fb.user, m_fb.password), text);
    QCOMPARE(isqlValue(dsn,
                       QStringLiteral("select mon$remote_protocol from mon$attachments where mon$attachment_id = "
                                      "current_connection"),
                       m_fb.user, m_fb.password),
             QStringLiteral("TCPv4"));
}

void tst_Services::firebirdListensOnLoopbackOnly()
{
    const auto sockets = listeningSockets();
    QVERIFY2(sockets.contains(m_fb.port), "nothing listens on the server's port");
    QCOMPARE(sockets.value(m_fb.port), QStringLiteral("0100007F")); // 127.0.0.1
    QVERIFY(sockets.contains(m_smtp.port));
    QCOMPARE(sockets.value(m_smtp.port), QStringLiteral("0100007F"));
}

void tst_Services::firebirdRefusesTakenPort()
{
    const QString run = m_dir.filePath(QStringLiteral("taken"));
    const ToolResult r = runTool(script("fbserver.sh"), {QStringLiteral("start"), run, QString::number(m_fb.port)});
    QVERIFY(r.exitCode != 0);
    QVERIFY2(r.output.contains(QStringLiteral("port %1 is already in use").arg(m_fb.port)), qPrintable(r.output));
    QVERIFY(!QFileInfo::exists(run + QStringLiteral("/fbserver.env")));
    // The run's own server is untouched.
    QCOMPARE(firebirdServer().port, m_fb.port);
}

void tst_Services::firebirdServersSideBySide()
{
    const QString runA = m_dir.filePath(QStringLiteral("side-a"));
    const QString runB = m_dir.filePath(QStringLiteral("side-b"));
    for (const QString &run : {runA, runB}) {
        const ToolResult r = runTool(script("fbserver.sh"), {QStringLiteral("start"), run});
        QVERIFY2(r.exitCode == 0, qPrintable(r.output));
    }
    const auto a = readEnv(runA + QStringLiteral("/fbserver.env"));
    const auto b = readEnv(runB + QStringLiteral("/fbserver.env"));
    const QStringList ports{a.value(QStringLiteral("FB_PORT")), b.value(QStringLiteral("FB_PORT")),
                            QString::number(m_fb.port)};
    QCOMPARE(QSet<QString>(ports.begin(), ports.end()).size(), 3);
    QVERIFY(a.value(QStringLiteral("FB_PASSWORD")) != b.value(QStringLiteral("FB_PASSWORD")));
    QVERIFY(a.value(QStringLiteral("FB_DBDIR")).startsWith(runA));

    // Each server has its own security database: A's password does not open B. The refusal is
    // what a wrong password meets.
    const auto login = [](const QMap<QString, QString> &server, const QString &password) {
        return runTool(QStringLiteral("fbsvcmgr"),
                       {QStringLiteral("127.0.0.1/%1:service_mgr").arg(server.value(QStringLiteral("FB_PORT"))),
                        QStringLiteral("-user"), QStringLiteral("SYSDBA"), QStringLiteral("-password"), password,
                        QStringLiteral("-info_server_version")});
    };
    QCOMPARE(login(a, a.value(QStringLiteral("FB_PASSWORD"))).exitCode, 0);
    QVERIFY(login(b, b.value(QStringLiteral("FB_PASSWORD"))).output.contains(QStringLiteral("3.0.")));
    const ToolResult refused = login(b, a.value(QStringLiteral("FB_PASSWORD")));
    QVERIFY2(refused.output.contains(QStringLiteral("Your user name and password are not defined")), qPrintable(refused.output));

    for (const auto &[run, env] : {std::pair{runA, a}, std::pair{runB, b}}) {
        const qint64 pid = env.value(QStringLiteral("FB_PID")).toLongLong();
        QVERIFY(processAlive(pid));
        const ToolResult r = runTool(script("fbserver.sh"), {QStringLiteral("stop"), run});
        QVERIFY2(r.exitCode == 0, qPrintable(r.output));
        QVERIFY(!processAlive(pid));
        QVERIFY(!QFileInfo::exists(run + QStringLiteral("/fbserver.env")));
        // Stopping what is already stopped is no error.
        QCOMPARE(runTool(script("fbserver.sh"), {QStringLiteral("stop"), run}).exitCode, 0);
    }
    QVERIFY(!listeningSockets().contains(a.value(QStringLiteral("FB_PORT")).toInt()));
}

QString tst_Services::send(const SmtpSink &sink, const QString &user, const QString &password, const QString &rcpt,
                           const QString &subject, const QString &body)
{
    return runTool(kPython, {QStringLiteral("-c"), QString::fromLatin1(kSend), sink.host, QString::number(sink.port),
                             user, password, rcpt, subject, body})
        .output.trimmed();
}

// The stored message whose raw text carries `token` (other tests may share the sink).
QString tst_Services::storedWith(const SmtpSink &sink, const QString &token)
{
    for (const QString &file : sink.messageFiles())
        if (sink.rawMessage(file).contains(token.toUtf8()))
            return file;
    return {};
}

void tst_Services::smtpSink_data()
{
    QTest::addColumn<bool>("login");
    QTest::addColumn<QString>("password"); // "" = the sink's own
    QTest::addColumn<QString>("recipient");
    QTest::addColumn<QString>("reply"); // start of the sender's result
    QTest::addColumn<bool>("stored");
    QTest::newRow("plain mail accepted") << false << ""
                                         << "buyer@example.com"
                                         << "OK" << true;
    QTest::newRow("mail after AUTH accepted") << true << ""
                                              << "buyer@example.com"
                                              << "OK" << true;
    QTest::newRow("wrong password refused") << true << "wrong"
                                            << "buyer@example.com"
                                            << "ERROR 535" << false;
    QTest::newRow("refused recipient") << false << ""
                                       << "refuse.me@example.com"
                                       << "ERROR 550" << false;
    QTest::newRow("temporary failure") << false << ""
                                       << "tempfail@example.com"
                                       << "ERROR 451" << false;
    QTest::newRow("rejected after the message") << false << ""
                                                << "rejectdata@example.com"
                                                << "ERROR 554" << false;
}

void tst_Services::smtpSink()
{
    QFETCH(bool, login);
    QFETCH(QString, password);
    QFETCH(QString, recipient);
    QFETCH(QString, reply);
    QFETCH(bool, stored);
    const QString token = QUuid::createUuid().toString(QUuid::Id128);
    const QString subject = QStringLiteral("Inventory Report für Müller ") + token;
    const QString body = QStringLiteral("Guten Tag Jürgen,\nanbei der Bericht – 田中.\n");
    const QString result = send(m_smtp, login ? m_smtp.user : QString(),
                                password.isEmpty() ? m_smtp.password : password, recipient, subject, body);
    QVERIFY2(result.startsWith(reply), qPrintable(result));

    const QString file = storedWith(m_smtp, token);
    QCOMPARE(!file.isEmpty(), stored);
    if (!stored)
        return;
    const QJsonObject envelope = m_smtp.envelope(file);
    QCOMPARE(envelope.value(QStringLiteral("from")).toString(), QStringLiteral("reports@example.com"));
    QCOMPARE(envelope.value(QStringLiteral("to")).toArray().first().toString(), recipient);
    QCOMPARE(envelope.value(QStringLiteral("auth_user")).toString(), login ? m_smtp.user : QString());
    // Stored raw, as sent on the wire: lines end in CRLF.
    QVERIFY(m_smtp.rawMessage(file).contains("\r\nSubject: "));

    const ToolResult parsed = runTool(kPython, {QStringLiteral("-c"), QString::fromLatin1(kParse), file});
    QCOMPARE(parsed.exitCode, 0);
    QCOMPARE(parsed.output.trimmed().split(QLatin1Char('\n')),
             (QStringList{subject, QStringLiteral("reports@example.com"), QStringLiteral("Guten Tag Jürgen,"),
                          QStringLiteral("anbei der Bericht – 田中.")}));
}

void tst_Services::smtpSinkRequiringAuthStartsAndStops()
{
    const QString run = m_dir.filePath(QStringLiteral("smtp-auth"));
    QProcessEnvironment env;
    env.insert(QStringLiteral("SMTP_REQUIRE_AUTH"), QStringLiteral("1"));
    const ToolResult started = runTool(script("smtpsink.sh"), {QStringLiteral("start"), run}, {}, env);
    QVERIFY2(started.exitCode == 0, qPrintable(started.output));
    const auto values = readEnv(run + QStringLiteral("/smtp.env"));
    SmtpSink sink;
    sink.host = values.value(QStringLiteral("SMTP_HOST"));
    sink.port = values.value(QStringLiteral("SMTP_PORT")).toInt();
    sink.user = values.value(QStringLiteral("SMTP_USER"));
    sink.password = values.value(QStringLiteral("SMTP_PASSWORD"));
    sink.mailDir = values.value(QStringLiteral("SMTP_MAILDIR"));
    QVERIFY(sink.isValid());
    QVERIFY(sink.port != m_smtp.port);

    const QString anonymous =
        send(sink, QString(), QString(), QStringLiteral("a@example.com"), QStringLiteral("x"), QStringLiteral("x"));
    QVERIFY2(anonymous.startsWith(QStringLiteral("ERROR 530")), qPrintable(anonymous));
    QCOMPARE(sink.messageCount(), 0);
    const QString authed =
        send(sink, sink.user, sink.password, QStringLiteral("a@example.com"), QStringLiteral("y"), QStringLiteral("y"));
    QCOMPARE(authed, QStringLiteral("OK"));
    QCOMPARE(sink.messageCount(), 1);
    QCOMPARE(QFileInfo(sink.messageFiles().first()).fileName(), QStringLiteral("1.eml"));

    const qint64 pid = values.value(QStringLiteral("SMTP_PID")).toLongLong();
    QVERIFY(processAlive(pid));
    QCOMPARE(runTool(script("smtpsink.sh"), {QStringLiteral("stop"), run}).exitCode, 0);
    QVERIFY(!processAlive(pid));
    QVERIFY(!listeningSockets().contains(sink.port));
    QVERIFY(!QFileInfo::exists(run + QStringLiteral("/smtp.env")));
}

QTEST_GUILESS_MAIN(tst_Services)
#include "tst_services.moc"
