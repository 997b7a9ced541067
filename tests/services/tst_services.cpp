// The test services as their clients meet them, kept to what would let other tests pass without
// testing anything: the Firebird server must really be reached over TCP and keep the text it is
// given, and the SMTP sink must store what it accepts, with its envelope, and nothing it refuses.

#include "common/testservices.h"
#include "common/tools.h"

#include <QUuid>
#include <QtTest>

using namespace velmora::test;

namespace
{

// Sends one message and prints "OK" or "ERROR <code>"; with a stored file named, prints the
// subject, the From address and the decoded body that Python's email parser reads from it.
const char *const kSendOrRead = R"PY(
import smtplib, sys
from email import policy
from email.message import EmailMessage
from email.parser import BytesParser
if len(sys.argv) == 2:
    m = BytesParser(policy=policy.default).parse(open(sys.argv[1], "rb"))
    print("\n".join([m["subject"], m["from"].addresses[0].addr_spec, m.get_content().strip()]))
    sys.exit()
host, port, user, password, rcpt, subject, body = sys.argv[1:8]
m = EmailMessage()
m["From"], m["To"], m["Subject"] = "Velmora Test <reports@example.com>", rcpt, subject
m.set_content(body)
try:
    with smtplib.SMTP(host, int(port), timeout=30) as s:
        if user:
            s.login(user, password)
        s.send_message(m)
    print("OK")
except smtplib.SMTPRecipientsRefused as e:
    print("ERROR %d" % list(e.recipients.values())[0][0])
except smtplib.SMTPResponseException as e:
    print("ERROR %d" % e.smtp_code)
)PY";

} // namespace

class tst_Services : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void firebirdKeepsText_data();
    void firebirdKeepsText();
    void smtpSink_data();
    void smtpSink();

private:
    FirebirdServer m_fb;
    SmtpSink m_smtp;
};

void tst_Services::initTestCase()
{
    m_fb = firebirdServer();
    m_smtp = velmora::test::smtpSink();
    QVERIFY2(m_fb.isValid(), "no fbserver.env: run through ctest (fixture fbserver)");
    QVERIFY2(m_smtp.isValid(), "no smtp.env: run through ctest (fixture smtp)");
}

void tst_Services::firebirdKeepsText_data()
{
    QTest::addColumn<QString>("charset");
    QTest::addColumn<QString>("text");
    QTest::newRow("UTF8 with CJK") << "UTF8" << QStringLiteral("Grüße, 田中 太郎");
    // Character sets other than UTF8 need the server's own copy of the intl module.
    QTest::newRow("WIN1252 accents") << "WIN1252" << QStringLiteral("Señor Müller – café");
}

void tst_Services::firebirdKeepsText()
{
    QFETCH(QString, charset);
    QFETCH(QString, text);
    const QString dsn = m_fb.dsn(m_fb.newDatabasePath(charset.toLower()));
    // isql-fb without a database argument reads the CREATE DATABASE from its input.
    const ToolResult created = isql(QString(),
                                    QStringLiteral("create database '%1' user '%2' password '%3' default character "
                                                   "set %4;\ncreate table t (s varchar(40));\ninsert into t values "
                                                   "('%5');\ncommit;\n")
                                        .arg(dsn, m_fb.user, m_fb.password, charset, text),
                                    QString());
    QVERIFY2(created.exitCode == 0 && !created.output.contains(QStringLiteral("Statement failed")),
             qPrintable(created.output));
    QCOMPARE(isqlValue(dsn, QStringLiteral("select s from t"), m_fb.user, m_fb.password), text);
    QCOMPARE(isqlValue(dsn, QStringLiteral("select mon$remote_protocol from mon$attachments where mon$attachment_id = "
                                           "current_connection"),
                       m_fb.user, m_fb.password),
             QStringLiteral("TCPv4"));
}

void tst_Services::smtpSink_data()
{
    QTest::addColumn<bool>("login");
    QTest::addColumn<QString>("password"); // "" = the sink's own
    QTest::addColumn<QString>("recipient");
    QTest::addColumn<QString>("reply");
    QTest::newRow("plain mail accepted") << false << "" << "buyer@example.com" << "OK";
    QTest::newRow("mail after AUTH accepted") << true << "" << "buyer@example.com" << "OK";
    QTest::newRow("wrong password refused") << true << "wrong" << "buyer@example.com" << "ERROR 535";
    QTest::newRow("refused recipient") << false << "" << "refuse.me@example.com" << "ERROR 550";
}

void tst_Services::smtpSink()
{
    QFETCH(bool, login);
    QFETCH(QString, password);
    QFETCH(QString, recipient);
    QFETCH(QString, reply);
    const QString subject = QStringLiteral("Inventory Report für Müller ") + QUuid::createUuid().toString(QUuid::Id128);
    const QString body = QStringLiteral("Guten Tag Jürgen,\nanbei der Bericht – 田中.");
    const auto python = [](const QStringList &args) {
        return runTool(QStringLiteral("/usr/bin/python3"), QStringList{QStringLiteral("-c"), QString::fromLatin1(kSendOrRead)} + args)
            .output.trimmed();
    };
    QCOMPARE(python({m_smtp.host, QString::number(m_smtp.port), login ? m_smtp.user : QString(),
                     password.isEmpty() ? m_smtp.password : password, recipient, subject, body}),
             reply);
    const QString file = m_smtp.storedWith(subject.right(32).toUtf8());
    QCOMPARE(!file.isEmpty(), reply == u"OK");
    if (file.isEmpty())
        return;
    const QJsonObject envelope = m_smtp.envelope(file);
    QCOMPARE(envelope.value(QStringLiteral("from")).toString(), QStringLiteral("reports@example.com"));
    QCOMPARE(envelope.value(QStringLiteral("to")).toArray().first().toString(), recipient);
    QCOMPARE(envelope.value(QStringLiteral("auth_user")).toString(), login ? m_smtp.user : QString());
    // Stored raw, as sent on the wire: lines end in CRLF.
    QVERIFY(m_smtp.rawMessage(file).contains("\r\nSubject: "));
    QCOMPARE(python({file}), subject + QStringLiteral("\nreports@example.com\n") + body);
}

QTEST_GUILESS_MAIN(tst_Services)
#include "tst_services.moc"
