// The mail rules that need no window: address book files, the host's message forms, body
// rewriting and where the SMTP server is.

#include "core/mailrules.h"

#include <QTest>

using namespace velmora;
using namespace velmora::mailrules;

using Entries = QList<AddressEntry>;
Q_DECLARE_METATYPE(AddressEntry)

class tst_MailRules : public QObject {
    Q_OBJECT

private slots:
    void readsAddressBook_data();
    void readsAddressBook();
    void writesAddressBook();
    void marksAndLists_data();
    void marksAndLists();
    void rewritesBody_data();
    void rewritesBody();
    void findsServer_data();
    void findsServer();
    void smallRules();
};

void tst_MailRules::readsAddressBook_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<Entries>("entries");

    QTest::newRow("written entries") << QByteArray("\"Velmora Tech Support\",\"support@x.com\"\r\n\"12\",\"s12@x.com\"\r\n")
                                     << Entries{{"Velmora Tech Support", "support@x.com"}, {"12", "s12@x.com"}};
    QTest::newRow("comma inside quotes stays") << QByteArray("\"Miller, Ann\",\"ann@x.com\"\n")
                                               << Entries{{"Miller, Ann", "ann@x.com"}};
    QTest::newRow("text after a closing quote is dropped") << QByteArray("\"A\"junk,\"a@x.com\" x\r\n")
                                                           << Entries{{"A", "a@x.com"}};
    QTest::newRow("empty address after the comma") << QByteArray("\"A\",\r\n\"B\",\"b@x.com\"")
                                                    << Entries{{"A", ""}, {"B", "b@x.com"}};
    QTest::newRow("blank lines hold nothing") << QByteArray("\r\n\"A\",\"a@x.com\"\r\n\r\n  \r\n") << Entries{{"A", "a@x.com"}};
    QTest::newRow("latin-1 file") << QByteArray("\"J\xfcrgen\",\"j@x.com\"\r\n") << Entries{{"Jürgen", "j@x.com"}};
    QTest::newRow("unclosed quote runs to the end") << QByteArray("\"A\",\"a@x") << Entries{{"A", "a@x"}};
    QTest::newRow("empty file") << QByteArray() << Entries{};
}

void tst_MailRules::readsAddressBook()
{
    QFETCH(QByteArray, file);
    QFETCH(Entries, entries);
    QCOMPARE(readAddressBook(file), entries);
}

void tst_MailRules::writesAddressBook()
{
    const Entries entries{{"Jürgen, Main St", "j@x.com"}, {"Say \"hi\"", ""}};
    const QByteArray written = writeAddressBook(entries);
    QCOMPARE(written, QByteArray("\"J\xc3\xbcrgen, Main St\",\"j@x.com\"\r\n\"Say 'hi'\",\"\"\r\n"));
    QCOMPARE(readAddressBook(written), (Entries{{"Jürgen, Main St", "j@x.com"}, {"Say 'hi'", ""}}));
}

void tst_MailRules::marksAndLists_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("marked");
    QTest::addColumn<QString>("recipient");
    QTest::addColumn<QString>("body");

    QTest::newRow("recipient between markers") << "~~ho@x.com~~<html>hi</html>" << true << "ho@x.com" << "<html>hi</html>";
    QTest::newRow("empty markers keep the recipient") << "~~~~<html>hi</html>" << true << "" << "<html>hi</html>";
    QTest::newRow("no closing marker takes the whole message") << "~~<html>" << true << "" << "~~<html>";
    QTest::newRow("plain message") << "Hello ~~x~~" << false << "" << "Hello ~~x~~";
}

void tst_MailRules::marksAndLists()
{
    QFETCH(QString, message);
    QFETCH(bool, marked);
    QFETCH(QString, recipient);
    QFETCH(QString, body);
    const MarkedMessage m = splitMarkedMessage(message);
    QCOMPARE(m.marked, marked);
    QCOMPARE(m.recipient, recipient);
    QCOMPARE(m.body, body);
}

void tst_MailRules::rewritesBody_data()
{
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("rewritten");

    QTest::newRow("path reduced to its file name")
        << "<p><img src=\"/tmp/a/b/pic1.jpg\" width=\"3\"></p>" << "<p><img src=\"cid:pic1.jpg@m\" width=\"3\"></p>";
    QTest::newRow("each image on its own")
        << "<img src=\"x/pic1.jpg\"><img src=\"pic2.png\"><img src=\"a/b/c.gif\">"
        << "<img src=\"cid:pic1.jpg@m\"><img src=\"cid:pic2.png@m\"><img src=\"c.gif\">";
    QTest::newRow("first base reference cut out, a second kept")
        << "<head><base href=\"file:///a/\"><base href=\"x\"></head>" << "<head><base href=\"x\"></head>";
    QTest::newRow("src attributes outside images untouched")
        << "<script src=\"/a/pic1.jpg\"></script>" << "<script src=\"/a/pic1.jpg\"></script>";
    QTest::newRow("unquoted source left alone") << "<img src=/a/pic1.jpg>" << "<img src=/a/pic1.jpg>";
    QTest::newRow("src= inside another attribute is no source")
        << "<img alt='src=\"a/b\"' src=\"/t/pic1.jpg\">" << "<img alt='src=\"a/b\"' src=\"cid:pic1.jpg@m\">";
    QTest::newRow("image without a source, then one with")
        << "<img width=\"3\"><p src=\"/x/y\"><IMG SRC=\"q/pic2.png\">" << "<img width=\"3\"><p src=\"/x/y\"><IMG SRC=\"cid:pic2.png@m\">";
}

void tst_MailRules::rewritesBody()
{
    QFETCH(QString, html);
    QFETCH(QString, rewritten);
    const QHash<QString, QString> ids{{"pic1.jpg", "pic1.jpg@m"}, {"pic2.png", "pic2.png@m"}};
    QCOMPARE(referToContentIds(reduceImageSources(removeBaseReference(html)), ids), rewritten);
}

void tst_MailRules::findsServer_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<bool>("useSsl");
    QTest::addColumn<QString>("url");   // empty: not valid

    QTest::newRow("host without ssl uses 25") << "mail.x.com" << false << "smtp://mail.x.com:25";
    QTest::newRow("host with ssl uses 465") << " mail.x.com " << true << "smtps://mail.x.com:465";
    QTest::newRow("port kept without ssl") << "127.0.0.1:2525" << false << "smtp://127.0.0.1:2525";
    QTest::newRow("v6 address with port") << "[::1]:2525" << false << "smtp://[::1]:2525";
    QTest::newRow("bare v6 address") << "::1" << true << "smtps://[::1]:465";
    QTest::newRow("scheme wins over the tick") << "smtps://mail.x.com" << false << "smtps://mail.x.com:465";
    QTest::newRow("port out of range") << "mail.x.com:70000" << false << "";
    QTest::newRow("empty port") << "mail.x.com:" << false << "";
    QTest::newRow("blank inside") << "mail x.com" << false << "";
    QTest::newRow("user part") << "me@mail.x.com" << false << "";
    QTest::newRow("fragment or query") << "mail.x.com#a" << false << "";
    QTest::newRow("nothing") << "  " << false << "";
}

void tst_MailRules::findsServer()
{
    QFETCH(QString, server);
    QFETCH(bool, useSsl);
    QFETCH(QString, url);
    const SmtpEndpoint e = smtpEndpoint(server, useSsl);
    QCOMPARE(e.valid, !url.isEmpty());
    if (e.valid)
        QCOMPARE(e.url, url);
}

void tst_MailRules::smallRules()
{
    QCOMPARE(attachmentFiles(QStringLiteral("a||b")), (QStringList{"a", "b"}));
    QCOMPARE(defaultSenderName(QStringLiteral("Main St"), QStringLiteral("-3")), QStringLiteral("Main St  Store:-3"));
    QCOMPARE(defaultSenderName(QStringLiteral("Main St"), QStringLiteral("12b")), QStringLiteral("Main St  Store:12b"));
    QCOMPARE(addPickedAddress(QStringLiteral(" a@x "), QStringLiteral("b@x")), QStringLiteral("a@x,b@x"));
    QCOMPARE(addPickedAddress(QStringLiteral("a@x,"), QStringLiteral("b@x")), QStringLiteral("a@x,b@x"));
    QVERIFY(isHtmlDocument(QStringLiteral("<!DOCTYPE HTML PUBLIC")));
}

QTEST_APPLESS_MAIN(tst_MailRules)
#include "tst_mailrules.moc"
