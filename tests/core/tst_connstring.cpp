#include "core/connstring.h"

#include <QTest>

using namespace velmora;

class tst_ConnString : public QObject {
    Q_OBJECT

private slots:
    void parses_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("parts");   // host|port|database|user|password|charset|role|dsn

        QTest::newRow("ole db form with host and port")
            << "Provider=LCPI.IBProvider.3;Data Source=srv1/3051:/data/store.fdb;User ID=sysdba;Password=masterkey;"
               "ctype=UTF8;Role=CLERK" << "srv1|3051|/data/store.fdb|sysdba|masterkey|UTF8|CLERK|srv1/3051:/data/store.fdb";
        QTest::newRow("keys in any letter case") << "PROVIDER=x;data source=srv1:/data/s.fdb;user id=ann;PASSWORD=pw;"
                                                    "CTYPE=WIN1252;role=r" << "srv1|0|/data/s.fdb|ann|pw|WIN1252|r|srv1:/data/s.fdb";
        QTest::newRow("data source without host is a local file")
            << "Provider=LCPI.IBProvider.3;Data Source=/var/db/store.fdb;User ID=a;Password=b" << "|0|/var/db/store.fdb|a|b|||/var/db/store.fdb";
        QTest::newRow("windows drive letter is not a host") << "Data Source=C:\\Store\\s.fdb" << "|0|C:\\Store\\s.fdb|||||C:\\Store\\s.fdb";
        QTest::newRow("host before a windows path") << "Data Source=srv:C:\\Store\\s.fdb" << "srv|0|C:\\Store\\s.fdb|||||srv:C:\\Store\\s.fdb";
        QTest::newRow("double quoted password holding a semicolon")
            << "Data Source=db:/d.fdb;Password=\"a;b\";User ID=u" << "db|0|/d.fdb|u|a;b|||db:/d.fdb";
        QTest::newRow("single quoted value with doubled quote") << "Data Source=db:/d.fdb;Password='it''s'"
                                                                << "db|0|/d.fdb||it's|||db:/d.fdb";
        QTest::newRow("spaces around keys and values") << "  Data Source =  h/3050:/d.fdb ; User ID = u ;"
                                                       << "h|3050|/d.fdb|u||||h/3050:/d.fdb";
        QTest::newRow("later key wins") << "Data Source=srva:/x.fdb;Data Source=srvb:/y.fdb" << "srvb|0|/y.fdb|||||srvb:/y.fdb";
        QTest::newRow("host in data source and path in location") << "Data Source=srv/3052;Location=/db/s.fdb;User ID=u"
                                                                  << "srv|3052|/db/s.fdb|u||||srv/3052:/db/s.fdb";
        QTest::newRow("location alone names its server") << "Location=srv/3051:/db/s.fdb" << "srv|3051|/db/s.fdb|||||srv/3051:/db/s.fdb";
        QTest::newRow("lc_ctype spelling") << "Data Source=/d.fdb;lc_ctype=UTF8" << "|0|/d.fdb|||UTF8||/d.fdb";
        QTest::newRow("plain dsn host port path") << "127.0.0.1/3055:/tmp/x.fdb" << "127.0.0.1|3055|/tmp/x.fdb|||||127.0.0.1/3055:/tmp/x.fdb";
        QTest::newRow("plain dsn alias on host") << "server:employee" << "server|0|employee|||||server:employee";
        QTest::newRow("plain dsn ipv6 host") << "[::1]/3050:/tmp/x.fdb" << "::1|3050|/tmp/x.fdb|||||[::1]/3050:/tmp/x.fdb";
        QTest::newRow("inet url with ipv6 host and port") << "inet://[::1]:3057//srv/x.fdb" << "::1|3057|/srv/x.fdb|||||[::1]/3057:/srv/x.fdb";
        QTest::newRow("non-ascii path") << "Data Source=db:/daten/Läden/straße.fdb" << "db|0|/daten/Läden/straße.fdb|||||db:/daten/Läden/straße.fdb";
        QTest::newRow("bracketed host holding a slash") << "[a/b]:/d.fdb" << "a/b|0|/d.fdb|||||[a/b]:/d.fdb";
    }

    void parses()
    {
        QFETCH(QString, text);
        const auto r = parseConnString(text);
        QVERIFY2(r.ok(), r.ok() ? "" : qPrintable(r.failure().description));
        const ConnString &c = r.value();
        QTEST(QStringList({c.host, QString::number(c.port), c.database, c.user, c.password, c.charset, c.role, c.dsn()})
                  .join(u'|'),
              "parts");
    }

    void malformed_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("mentions");

        QTest::newRow("empty") << "" << "empty";
        QTest::newRow("part without equals") << "Data Source=db:/d.fdb;garbage;User ID=u" << "\"garbage\" has no \"=\"";
        QTest::newRow("no data source") << "Provider=LCPI.IBProvider.3;User ID=u;Password=p" << "no Data Source";
        QTest::newRow("unclosed quote") << "Data Source=db:/d.fdb;Password=\"abc" << "not closed";
        QTest::newRow("text after quoted value") << "Data Source=db:/d.fdb;Password=\"abc\"x" << "after the quoted value";
        QTest::newRow("empty key") << "=value;Data Source=/d.fdb" << "no key";
        QTest::newRow("port out of range") << "h/70000:/d.fdb" << "\"70000\" is not a number";
        QTest::newRow("host without path") << "Data Source=server:" << "no database path";
        QTest::newRow("colon without host") << ":/d.fdb" << "host name";
        QTest::newRow("colon in a local location reads as a host") << "Location=/va0:/db/a.fdb" << "host name is empty";
        QTest::newRow("bracket inside the host") << "[[x]:/d.fdb" << "not valid";
        QTest::newRow("character 0 would cut the path") << QStringLiteral(u"Data Source=h:/d.fdb\0x") << "character 0";
        QTest::newRow("mistyped inet url") << "inet : //h/d.fdb" << "protocol";
        QTest::newRow("inet url with a blank path") << "inet://h:1/ \t" << "no host and database";
        QTest::newRow("unclosed ipv6 bracket") << "[::1/3050:/d.fdb" << "closing";
    }

    void malformed()
    {
        QFETCH(QString, text);
        QFETCH(QString, mentions);
        const auto r = parseConnString(text);
        QVERIFY(!r.ok());
        const QString why = r.failure().description;
        QVERIFY2(why.contains(mentions) && why.startsWith(QStringLiteral("The connection string is not valid")),
                 qPrintable(why));
        QCOMPARE(r.failure().engineMessages, QStringList{why});
    }
};

QTEST_GUILESS_MAIN(tst_ConnString)
#include "tst_connstring.moc"
