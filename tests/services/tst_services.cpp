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

const QString kPython = QStringLiteral("/usr/bin/python3");

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
    QString send(const SmtpSink &sink, const QString &user, const QString &password, const QString &rcpt,
                 const QString &subject, const QString &body);
    QString storedWith(const SmtpSink &sink, const QString &token);

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

QTEST_GUILESS_MAIN(tst_Services)
#include "tst_services.moc"
