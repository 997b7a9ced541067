// The Firebird test server as its clients meet it, kept to what would let other tests pass without
// testing anything: it must really be reached over TCP and keep the text it is given. (The SMTP
// sink's stored messages are read back by the mail tests, with Python's email package.)

#include "common/testservices.h"
#include "common/tools.h"

#include <QtTest>

using namespace velmora::test;

class tst_Services : public QObject
{
    Q_OBJECT

private slots:
    void firebirdKeepsText_data();
    void firebirdKeepsText();
};

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
    const FirebirdServer fb = firebirdServer();
    QVERIFY2(fb.isValid(), "no fbserver.env: run through ctest (fixture fbserver)");
    const QString dsn = fb.dsn(fb.newDatabasePath(charset.toLower()));
    // isql-fb without a database argument reads the CREATE DATABASE from its input.
    const ToolResult created = isql(QString(),
                                    QStringLiteral("create database '%1' user '%2' password '%3' default character "
                                                   "set %4;\ncreate table t (s varchar(40));\ninsert into t values "
                                                   "('%5');\ncommit;\n")
                                        .arg(dsn, fb.user, fb.password, charset, text),
                                    QString());
    QVERIFY2(created.exitCode == 0 && !created.output.contains(QStringLiteral("Statement failed")),
             qPrintable(created.output));
    QCOMPARE(isqlValue(dsn, QStringLiteral("select s from t"), fb.user, fb.password), text);
    QCOMPARE(isqlValue(dsn, QStringLiteral("select mon$remote_protocol from mon$attachments where mon$attachment_id = "
                                           "current_connection"),
                       fb.user, fb.password),
             QStringLiteral("TCPv4"));
}

QTEST_GUILESS_MAIN(tst_Services)
#include "tst_services.moc"
