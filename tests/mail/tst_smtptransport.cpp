// The message builder and the SMTP transport against the test sink: what arrives is read back by
// Python's email package; failures must carry the server's own words.

#include "mail/mimemessage.h"
#include "mail/smtptransport.h"
#include "mailtesting.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using namespace velmora;
using namespace velmora::mail;
using namespace velmora::test;

namespace {

const QString Subject = QStringLiteral("Überweisung für Filiale 12 – März");
const QString SenderName = QStringLiteral("Jürgen's Store, Main St  Store: 12");

} // namespace

class tst_SmtpTransport : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void messageArrivesIntact_data();
    void messageArrivesIntact();
    void sendFails_data();
    void sendFails();
    void tlsSendsPasswordOnlyEncrypted_data();
    void tlsSendsPasswordOnlyEncrypted();
    void silentServerEndsPromptly_data();
    void silentServerEndsPromptly();

private:
    OutgoingMail mail(const QString &token) const;
    QString server(const QString &which) const;

    SmtpSink m_sink;
    TlsSink m_tls;
    QTemporaryDir m_dir;
};

void tst_SmtpTransport::initTestCase()
{
    m_sink = smtpSink();
    m_tls = tlsSink();
    QVERIFY2(m_sink.isValid() && m_tls.isValid(), "no smtp.env with TLS ports: run through ctest (fixture smtp)");
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QVERIFY(picture.save(m_dir.filePath(QStringLiteral("pic1.png"))));
    QVERIFY(writeBytes(m_dir.filePath(QStringLiteral("Inventur März.xls")), QByteArray(3000, 'x')));
    QVERIFY(writeBytes(m_dir.filePath(QStringLiteral("XferVLM.vmx")), QByteArray("transfer")));
}

OutgoingMail tst_SmtpTransport::mail(const QString &token) const
{
    OutgoingMail m;
    m.subject = Subject + u' ' + token;
    m.senderName = SenderName;
    m.senderAddress = QStringLiteral("store12@example.com");
    m.to = QStringLiteral("office@example.com, buyer@example.com");
    m.copyTo = QStringLiteral("copy@example.com");
    m.plainText = QStringLiteral("Grüße aus Filiale 12 ") + token;
    return m;
}

QString tst_SmtpTransport::server(const QString &which) const
{
    const int port = which == u"starttls" ? m_tls.startTlsPort : which == u"tls" ? m_tls.tlsPort : m_sink.port;
    return m_sink.host + u':' + QString::number(port);
}

void tst_SmtpTransport::messageArrivesIntact_data()
{
    QTest::addColumn<bool>("html");
    QTest::addColumn<bool>("picture");
    QTest::addColumn<QStringList>("attachments");
    QTest::addColumn<QString>("structure");

    const QString alternative = QStringLiteral("multipart/alternative(text/plain,text/html)");
    QTest::newRow("plain text alone") << false << false << QStringList() << "text/plain";
    QTest::newRow("html beside its plain text") << true << false << QStringList() << alternative;
    QTest::newRow("html with an inline picture")
        << true << true << QStringList()
        << "multipart/alternative(text/plain,multipart/related(text/html,image/png))";
    QTest::newRow("attachments with a non-ascii name")
        << true << false << QStringList{QStringLiteral("Inventur März.xls"), QStringLiteral("XferVLM.vmx")}
        << "multipart/mixed(" + alternative + ",application/vnd.ms-excel,application/octet-stream)";
}

void tst_SmtpTransport::messageArrivesIntact()
{
    QFETCH(bool, html);
    QFETCH(bool, picture);
    QFETCH(QStringList, attachments);
    QFETCH(QString, structure);

    const QString token = QUuid::createUuid().toString(QUuid::Id128);
    OutgoingMail m = mail(token);
    if (html)
        m.html = QStringLiteral("<html><body><p>Grüße ") + token
                 + (picture ? QStringLiteral("<img src=\"cid:pic1.png@t\"></p>") : QStringLiteral("</p>"))
                 + QStringLiteral("</body></html>");
    if (picture)
        m.images.append({QStringLiteral("pic1.png@t"), QStringLiteral("pic1.png"),
                         readBytes(m_dir.filePath(QStringLiteral("pic1.png")))});
    for (const QString &a : attachments)
        m.attachments.append(m_dir.filePath(a));

    Result<BuiltMail> built = buildMessage(m);
    QVERIFY2(built.ok(), qPrintable(built.ok() ? QString() : built.failure().text()));
    SmtpTransport transport;
    const SendOutcome sent = transport.run({server(QStringLiteral("plain"))}, built->envelopeFrom,
                                           built->envelopeRecipients, built->bytes);
    QVERIFY2(sent.sent, qPrintable(sent.errorText));
    QCOMPARE(transport.percentDone(), 100);

    const QString file = storedWith(m_sink, token.toUtf8());
    QVERIFY(!file.isEmpty());
    QCOMPARE(m_sink.envelope(file).value(QStringLiteral("to")).toVariant().toStringList(),
             (QStringList{"office@example.com", "buyer@example.com", "copy@example.com"}));
    const QJsonObject got = readMail(file);
    QCOMPARE(got.value(QStringLiteral("subject")).toString(), m.subject);
    QCOMPARE(got.value(QStringLiteral("from_name")).toString(), SenderName);
    QCOMPARE(got.value(QStringLiteral("from_addr")).toString(), m.senderAddress);
    QCOMPARE(got.value(QStringLiteral("reply_to")).toVariant().toStringList(), QStringList{m.senderAddress});
    QCOMPARE(got.value(QStringLiteral("cc")).toVariant().toStringList(), QStringList{"copy@example.com"});
    QVERIFY(got.value(QStringLiteral("date")).toBool());
    QVERIFY(got.value(QStringLiteral("message_id")).toBool());
    QCOMPARE(got.value(QStringLiteral("structure")).toString(), structure);
    QVERIFY(got.value(QStringLiteral("plain")).toString().contains(m.plainText));
    if (html)
        QVERIFY(got.value(QStringLiteral("html")).toString().contains(QStringLiteral("Grüße ") + token));
    const QJsonArray images = got.value(QStringLiteral("images")).toArray();
    QCOMPARE(images.size(), picture ? 1 : 0);
    if (picture)
        QVERIFY(images.at(0).toObject().value(QStringLiteral("referenced")).toBool());
    const QJsonArray files = got.value(QStringLiteral("attachments")).toArray();
    QCOMPARE(files.size(), attachments.size());
    for (int i = 0; i < attachments.size(); ++i) {
        QCOMPARE(files.at(i).toObject().value(QStringLiteral("name")).toString(), attachments.at(i));
        QCOMPARE(files.at(i).toObject().value(QStringLiteral("size")).toInt(),
                 int(QFileInfo(m.attachments.at(i)).size()));
    }
}

void tst_SmtpTransport::sendFails_data()
{
    QTest::addColumn<QString>("server");    // plain, starttls, tls, closed, or a server text
    QTest::addColumn<QString>("password");  // "good" for the sink's, else as given
    QTest::addColumn<QString>("recipient");
    QTest::addColumn<bool>("trustSink");
    QTest::addColumn<QStringList>("words");

    const QString ok = QStringLiteral("office@example.com");
    QTest::newRow("refused recipient")
        << "plain" << "" << "refuse@example.com" << true << QStringList{"550 5.1.1", "Recipient address rejected"};
    QTest::newRow("wrong password") << "starttls" << "wrong" << ok << true << QStringList{"535"};
    QTest::newRow("password on a server without encryption")
        << "plain" << "good" << ok << true << QStringList{"no encrypted connection", "password was not sent"};
    QTest::newRow("connection dropped during the message")
        << "plain" << "" << "dropdata@example.com" << true << QStringList{};
    QTest::newRow("nothing listening") << "closed" << "" << ok << true << QStringList{"could not be reached"};
    QTest::newRow("certificate of no trusted authority")
        << "tls" << "good" << ok << false << QStringList{"could not be verified"};
    QTest::newRow("server text that names no server") << "mail.example.com:25:1" << "" << ok << true
                                                       << QStringList{"is not an SMTP server name"};
}

void tst_SmtpTransport::sendFails()
{
    QFETCH(QString, server);
    QFETCH(QString, password);
    QFETCH(QString, recipient);
    QFETCH(bool, trustSink);
    QFETCH(QStringList, words);

    SmtpAccount account;
    if (server == u"closed") {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        account.server = QStringLiteral("127.0.0.1:%1").arg(probe.serverPort());
    } else {
        account.server = server.contains(u'.') ? server : this->server(server);
    }
    account.useSsl = server == u"tls";
    if (!password.isEmpty()) {
        account.user = m_sink.user;
        account.password = password == u"good" ? m_sink.password : password;
    }
    account.caFile = trustSink ? m_tls.caFile : QString();

    const QString token = QUuid::createUuid().toString(QUuid::Id128);
    OutgoingMail m = mail(token);
    m.to = recipient;
    m.copyTo.clear();
    Result<BuiltMail> built = buildMessage(m);
    QVERIFY(built.ok());
    const QString logBefore = readText(m_tls.authLog);
    const SendOutcome sent = SmtpTransport().run(account, built->envelopeFrom, built->envelopeRecipients, built->bytes);
    QVERIFY(!sent.sent);
    QVERIFY(!sent.cancelled);
    QVERIFY(!sent.errorText.trimmed().isEmpty());
    for (const QString &w : words)
        QVERIFY2(sent.errorText.contains(w), qPrintable(sent.errorText));
    QVERIFY(storedWith(m_sink, token.toUtf8()).isEmpty());
    QVERIFY2(!readText(m_tls.authLog).mid(logBefore.size()).contains(QStringLiteral("tls=0")),
             "a password crossed a connection in the clear");
}

void tst_SmtpTransport::tlsSendsPasswordOnlyEncrypted_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<bool>("useSsl");
    QTest::newRow("STARTTLS on the plain port") << "starttls" << false;
    QTest::newRow("TLS from the first byte") << "tls" << true;
}

void tst_SmtpTransport::tlsSendsPasswordOnlyEncrypted()
{
    QFETCH(QString, server);
    QFETCH(bool, useSsl);
    SmtpAccount account{this->server(server), useSsl, m_sink.user, m_sink.password, m_tls.caFile};
    const QString token = QUuid::createUuid().toString(QUuid::Id128);
    Result<BuiltMail> built = buildMessage(mail(token));
    QVERIFY(built.ok());
    const QString logBefore = readText(m_tls.authLog);
    const SendOutcome sent = SmtpTransport().run(account, built->envelopeFrom, built->envelopeRecipients, built->bytes);
    QVERIFY2(sent.sent, qPrintable(sent.errorText));
    QVERIFY(!storedWith(m_sink, token.toUtf8()).isEmpty());
    const QString port = QString::number(server == u"tls" ? m_tls.tlsPort : m_tls.startTlsPort);
    QCOMPARE(readText(m_tls.authLog).mid(logBefore.size()), port + u' ' + m_sink.user + QStringLiteral(" tls=1 ok=1\n"));
}

void tst_SmtpTransport::silentServerEndsPromptly_data()
{
    QTest::addColumn<bool>("cancel");
    QTest::newRow("cancel while the server says nothing") << true;
    QTest::newRow("connect timeout when a TLS port gets plain SMTP") << false;
}

// A server that accepts the connection and never greets, as an implicit-TLS port does to a plain
// client: a cancel must end the send at once, and the connect timeout must end it without one.
void tst_SmtpTransport::silentServerEndsPromptly()
{
    QFETCH(bool, cancel);
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    SmtpAccount account{QStringLiteral("127.0.0.1:%1").arg(silent.serverPort())};
    account.connectTimeoutSeconds = cancel ? 60 : 1;
    Result<BuiltMail> built = buildMessage(mail(QStringLiteral("silent")));
    QVERIFY(built.ok());

    SmtpTransport transport;
    SendOutcome outcome;
    QThread *worker = QThread::create([&] {
        outcome = transport.run(account, built->envelopeFrom, built->envelopeRecipients, built->bytes);
    });
    worker->start();
    QVERIFY(silent.waitForNewConnection(10000));
    QElapsedTimer clock;
    clock.start();
    if (cancel)
        transport.cancel();
    QVERIFY(worker->wait(10000));
    delete worker;
    QVERIFY(clock.elapsed() < (cancel ? 1000 : 3000));
    QVERIFY(!outcome.sent);
    QCOMPARE(outcome.cancelled, cancel);
    QVERIFY2(outcome.errorText.contains(cancel ? QStringLiteral("cancelled") : QStringLiteral("did not answer in time")),
             qPrintable(outcome.errorText));
}

QTEST_GUILESS_MAIN(tst_SmtpTransport)
#include "tst_smtptransport.moc"
