// The SMTP transport against the test sink's plain and TLS listeners and against a server that
// never answers: passwords only ever cross encrypted connections, failures carry the server's own
// words, and a timeout ends a stalled send promptly. (What arrives, how the window shows failures
// and a cancel are tested through the mail window.)

#include "mail/mimemessage.h"
#include "mail/smtptransport.h"
#include "mailtesting.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTest>

using namespace velmora;
using namespace velmora::mail;
using namespace velmora::test;

class tst_SmtpTransport : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void send_data();
    void send();

private:
    SmtpSink m_sink;
    TlsSink m_tls;
};

void tst_SmtpTransport::initTestCase()
{
    m_sink = smtpSink();
    m_tls = tlsSink();
    QVERIFY2(m_sink.isValid() && m_tls.isValid(), "no smtp.env with TLS ports: run through ctest (fixture smtp)");
}

void tst_SmtpTransport::send_data()
{
    QTest::addColumn<QString>("server");    // plain, starttls, tls, or silent: accepts and never greets
    QTest::addColumn<bool>("login");        // with the sink's user and password
    QTest::addColumn<QString>("recipient");
    QTest::addColumn<bool>("trustSink");
    QTest::addColumn<QStringList>("words");  // in the error text; none and no error: sent

    const QString ok = QStringLiteral("office@example.com");
    QTest::newRow("password on a server without encryption")
        << "plain" << true << ok << true << QStringList{"no encrypted connection", "password was not sent"};
    QTest::newRow("connection dropped during the message")
        << "plain" << false << "dropdata@example.com" << true << QStringList{""};
    QTest::newRow("certificate of no trusted authority")
        << "tls" << true << ok << false << QStringList{"could not be verified"};
    // As an implicit-TLS port does to a plain client: the connect timeout ends the send promptly.
    QTest::newRow("server that never greets") << "silent" << false << ok << true << QStringList{"did not answer in time"};
    QTest::newRow("STARTTLS on the plain port") << "starttls" << true << ok << true << QStringList();
    QTest::newRow("TLS from the first byte") << "tls" << true << ok << true << QStringList();
}

void tst_SmtpTransport::send()
{
    QFETCH(QString, server);
    QFETCH(bool, login);
    QFETCH(QString, recipient);
    QFETCH(bool, trustSink);
    QFETCH(QStringList, words);

    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    const int port = server == u"starttls" ? m_tls.startTlsPort
                     : server == u"tls"    ? m_tls.tlsPort
                     : server == u"silent" ? silent.serverPort()
                                           : m_sink.port;
    SmtpAccount account{m_sink.host + u':' + QString::number(port)};
    account.connectTimeoutSeconds = 1;
    account.useSsl = server == u"tls";
    account.user = login ? m_sink.user : QString();
    account.password = login ? m_sink.password : QString();
    account.caFile = trustSink ? m_tls.caFile : QString();

    const QString token = QUuid::createUuid().toString(QUuid::Id128);
    OutgoingMail m;
    m.subject = m.plainText = token;
    m.senderName = QStringLiteral("Main St  Store: 12");
    m.senderAddress = QStringLiteral("store12@example.com");
    m.to = recipient;
    Result<BuiltMail> built = buildMessage(m);
    QVERIFY(built.ok());
    const QString logBefore = QString::fromUtf8(readBytes(m_tls.authLog));
    QElapsedTimer clock;
    clock.start();
    const SendOutcome sent = SmtpTransport().run(account, built->envelopeFrom, built->envelopeRecipients, built->bytes);
    QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
    const QString logged = QString::fromUtf8(readBytes(m_tls.authLog)).mid(logBefore.size());
    if (words.isEmpty()) {
        QVERIFY2(sent.sent, qPrintable(sent.errorText));
        QVERIFY(!m_sink.storedWith(token.toUtf8()).isEmpty());
        QCOMPARE(logged, QString::number(port) + u' ' + m_sink.user + QStringLiteral(" tls=1 ok=1\n"));
        return;
    }
    QVERIFY(!sent.sent && !sent.cancelled && !sent.errorText.trimmed().isEmpty());
    for (const QString &w : words)
        QVERIFY2(sent.errorText.contains(w), qPrintable(sent.errorText));
    QVERIFY(m_sink.storedWith(token.toUtf8()).isEmpty());
    QVERIFY2(!logged.contains(QStringLiteral("tls=0")), "a password crossed a connection in the clear");
}

QTEST_GUILESS_MAIN(tst_SmtpTransport)
#include "tst_smtptransport.moc"
