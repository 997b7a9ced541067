// The sample store database and customer search file as independent tools read them: isql-fb on
// a copy of the run's sample.fdb, the sqlcipher shell on search.tmp. And the Firebird test server
// as its clients meet it, kept to what would let other tests pass without testing anything: it
// must really be reached over TCP and keep the text it is given.

#include "common/testservices.h"
#include "common/tools.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

using namespace velmora::test;

class tst_SampleDb : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void facts_data();
    void facts();
    void seedsDecideTheData();
    void searchFileMatchesCustomers();
    void commandLineErrors_data();
    void commandLineErrors();
    void firebirdKeepsText_data();
    void firebirdKeepsText();

private:
    QString value(const QString &select);
    QString generate(const QString &name, int rows, int seed);
    QString dump(const QString &db, const QString &select);
    QString sqlcipher(const QString &script, const QString &key = sampleSearchPassword());

    QTemporaryDir m_dir;
    QString m_db;
    QStringList m_pending; // the _data function's queries: the first value() runs them all in one isql-fb session
    QHash<QString, QString> m_values;
};

QString tst_SampleDb::value(const QString &select)
{
    if (m_values.isEmpty()) {
        QString script = QStringLiteral("set list on;\n");
        for (qsizetype i = 0; i < m_pending.size(); ++i)
            script += QStringLiteral("select 'Q%1' as query_marker from rdb$database;\n%2;\n").arg(i).arg(m_pending[i]);
        qsizetype current = -1;
        for (const QString &line : isql(m_db, script).output.split(QLatin1Char('\n'))) {
            const QString t = line.trimmed();
            if (t.startsWith(QLatin1String("QUERY_MARKER")))
                current = t.mid(t.indexOf(QLatin1Char('Q'), 1) + 1).toInt();
            else if (!t.isEmpty() && current >= 0 && !m_values.contains(m_pending.value(current)))
                m_values.insert(m_pending.value(current), t.section(QLatin1Char(' '), 1).trimmed());
        }
    }
    return m_values.value(select, QStringLiteral("(no value)"));
}

void tst_SampleDb::initTestCase()
{
    QVERIFY2(QFileInfo::exists(sampleDatabase()), qPrintable(sampleDatabase() + " is missing: run through ctest"));
    QVERIFY(m_dir.isValid());
    m_db = copySampleDatabase(m_dir.filePath(QStringLiteral("copy")));
    QVERIFY(!m_db.isEmpty());
}

// What isql-fb reads from the sample database: an exact value, or a range "low..high".
void tst_SampleDb::facts_data()
{
    QTest::addColumn<QString>("select");
    QTest::addColumn<QString>("expected");
    const auto row = [this](const char *name, const char *select, const char *expected) {
        m_pending << QString::fromUtf8(select);
        QTest::newRow(name) << m_pending.last() << QString::fromLatin1(expected);
    };
    row("rows of each table: asked for, 1 in 25 deleted, 1 in 8 customers, 1 in 5 serviced, 1 in 4 projected",
        "select (select count(*) from inventory) || ' ' || (select count(*) from delinventory) || ' ' || "
        "(select count(*) from customers) || ' ' || (select count(*) from service) || ' ' || "
        "(select count(*) from projrevenue) from rdb$database", "2000 80 250 400 500");
    row("the database is UTF8", "select trim(rdb$character_set_name) from rdb$database", "UTF8");
    row("primary keys",
        "select cast(list(k, ' ') as varchar(200)) from (select trim(c.rdb$relation_name) || '.' || "
        "trim(s.rdb$field_name) k from rdb$relation_constraints c join rdb$index_segments s on s.rdb$index_name = "
        "c.rdb$index_name where c.rdb$constraint_type = 'PRIMARY KEY' and c.rdb$relation_name not starting 'RDB$' "
        "order by 1)",
        "CUSTOMERS.ACCOUNT DELINVENTORY.ID INVENTORY.ID PROJREVENUE.ID SERVICE.ID");
    // rdb$field_type:precision:scale:characters; 7 smallint, 8 integer, 12 date, 16 int64, 27 double,
    // 35 timestamp, 37 varchar.
    row("column types",
        "select cast(list(k, ' ') as varchar(2000)) from (select trim(r.rdb$relation_name) || '.' || "
        "trim(r.rdb$field_name) || '=' || f.rdb$field_type || ':' || coalesce(f.rdb$field_precision, 0) || ':' || "
        "f.rdb$field_scale || ':' || coalesce(f.rdb$character_length, 0) k from rdb$relation_fields r join rdb$fields f "
        "on f.rdb$field_name = r.rdb$field_source where trim(r.rdb$relation_name) || '.' || trim(r.rdb$field_name) in "
        "('INVENTORY.COST', 'INVENTORY.MODEL', 'INVENTORY.DESCRIPTION', 'INVENTORY.STORE', 'INVENTORY.DATEREC', "
        "'INVENTORY.WEIGHT', 'INVENTORY.UPC', 'INVENTORY.LASTUPDATE', 'DELINVENTORY.DELETED', 'CUSTOMERS.EMAILINV', "
        "'SERVICE.SVCCHARGE', 'PROJREVENUE.PMTPAID') order by 1)",
        "CUSTOMERS.EMAILINV=7:0:0:0 DELINVENTORY.DELETED=35:0:0:0 INVENTORY.COST=16:15:-2:0 INVENTORY.DATEREC=12:0:0:0 "
        "INVENTORY.DESCRIPTION=37:0:0:200 INVENTORY.LASTUPDATE=35:0:0:0 INVENTORY.MODEL=37:0:0:30 "
        "INVENTORY.STORE=8:0:0:0 INVENTORY.UPC=16:0:0:0 INVENTORY.WEIGHT=27:0:0:0 PROJREVENUE.PMTPAID=16:15:-2:0 "
        "SERVICE.SVCCHARGE=16:15:-2:0");
    row("twelve stores", "select count(distinct store) from inventory", "12");
    row("models recur across units",
        "select count(*) from (select model from inventory group by model having count(*) > 2)", "50..2000");
    row("stock numbers are unique", "select count(distinct stock) from inventory", "2000");
    row("never-sold stock has no first sale date", "select count(*) from inventory where firstsaledate is null", "100..1500");
    row("money carries cents", "select count(*) from inventory where mod(cost * 100, 100) <> 0", "1000..2000");
    row("received dates span years",
        "select extract(year from max(daterec)) - extract(year from min(daterec)) from inventory", "5..10");
    row("names with each of ü é ñ ß and apostrophes",
        "select minvalue((select count(*) from customers where name containing 'ü'), (select count(*) from customers "
        "where name containing 'é'), (select count(*) from customers where name containing 'ñ'), (select count(*) from "
        "customers where name containing 'ß'), (select count(*) from customers where name containing '''')) "
        "from rdb$database", "1..250");
    row("CJK names (3 bytes a character)",
        "select count(*) from customers where octet_length(name) >= 3 * char_length(name) - 3", "5..100");
    row("customers without e-mail", "select count(*) from customers where email is null", "20..150");
    row("master inventory lists other stores' stock",
        "select count(*) from inventory where status = 'STOCK' and svcstatus <> 'SERVICE' and store <> 7", "500..1200");
    row("rented units name existing customers, open tickets have no date out, deleted after received",
        "select (select count(*) from inventory i where i.customer is not null and not exists (select 1 from customers c "
        "where c.account = i.customer)) || ' ' || (select count(*) from service where status = 'OPEN' and dateout is not "
        "null) || ' ' || (select count(*) from delinventory where cast(deleted as date) < daterec) from rdb$database",
        "0 0 0");
}

void tst_SampleDb::facts()
{
    QFETCH(QString, select);
    QFETCH(QString, expected);
    const QString text = value(select);
    const qint64 n = text.toLongLong();
    if (!expected.contains(QStringLiteral("..")))
        QCOMPARE(text, expected);
    else
        QVERIFY2(text == QString::number(n) && n >= expected.section(QStringLiteral(".."), 0, 0).toLongLong()
                     && n <= expected.section(QStringLiteral(".."), 1).toLongLong(),
                 qPrintable(text + QStringLiteral(" not in ") + expected));
}

QString tst_SampleDb::generate(const QString &name, int rows, int seed)
{
    const QString out = m_dir.filePath(name);
    const ToolResult r = runTool(QStringLiteral(SAMPLEDB_EXE),
                                 {QStringLiteral("--output"), out, QStringLiteral("--rows"), QString::number(rows),
                                  QStringLiteral("--seed"), QString::number(seed), QStringLiteral("--quiet")});
    return r.exitCode == 0 ? out : QString();
}

QString tst_SampleDb::dump(const QString &db, const QString &select)
{
    const ToolResult r = isql(db, QStringLiteral("set list on;\n") + select + QStringLiteral(";\n"));
    return r.exitCode == 0 ? r.output : QStringLiteral("ERROR ") + r.output;
}

void tst_SampleDb::seedsDecideTheData()
{
    const QString a = generate(QStringLiteral("seed7-a.fdb"), 300, 7);
    const QString b = generate(QStringLiteral("seed7-b.fdb"), 300, 7);
    const QString other = generate(QStringLiteral("seed8.fdb"), 300, 8);
    const QString smaller = generate(QStringLiteral("seed7-200.fdb"), 200, 7);
    QVERIFY(!a.isEmpty() && !b.isEmpty() && !other.isEmpty() && !smaller.isEmpty());
    QString every;
    for (const char *table : {"inventory", "delinventory", "customers", "service", "projrevenue"})
        every += QStringLiteral("select * from %1 order by 1;\n").arg(QLatin1String(table));
    every.chop(2);
    const QString da = dump(a, every);
    QVERIFY2(da.size() > 100000 && da.contains(QLatin1String("PROJPMT")), qPrintable(da.left(300)));
    QVERIFY(da == dump(b, every));
    // Another seed moves the values only; a smaller run is the start of a larger one (both sizes
    // have the minimum customer count, so rented units point at the same accounts).
    const QString units = QStringLiteral("select model, serial, cost, status from inventory order by id");
    QVERIFY(dump(a, units) != dump(other, units));
    QCOMPARE(isqlValue(other, QStringLiteral("select count(*) from inventory")), QStringLiteral("300"));
    const QString first = QStringLiteral("select * from inventory where id <= 200 order by id");
    QCOMPARE(dump(a, first), dump(smaller, first));
}

QString tst_SampleDb::sqlcipher(const QString &script, const QString &key)
{
    const QString pragma = key.isEmpty() ? QString() : QStringLiteral("PRAGMA key = '%1';\n").arg(key);
    return runTool(QStringLiteral("sqlcipher"), {QStringLiteral("-batch"), sampleSearchFile()}, (pragma + script).toUtf8())
        .output.trimmed();
}

// The search file holds the database's customers, field for field, under its password only.
void tst_SampleDb::searchFileMatchesCustomers()
{
    QCOMPARE(sqlcipher(QStringLiteral(".headers on\n.separator ,\nSELECT * FROM customers LIMIT 1;\n")).section(u'\n', 0, 0),
             QStringLiteral("name,altname,address,apt,city,state,zip,hmphone,wkphone,workext,mess,cell,phone5,comments,"
                            "account,bbbalance,deposit,email"));
    const QString fromSearch = sqlcipher(QStringLiteral("SELECT account || '|' || name || '|' || ifnull(email, '') || '|' || "
                                                        "printf('%.2f', bbbalance) FROM customers ORDER BY account;\n"));
    const ToolResult r = isql(m_db, QStringLiteral("set heading off;\nselect trim(account) || '|' || name || '|' || "
                                                   "coalesce(email, '') || '|' || bbbalance from customers order by account;\n"));
    QCOMPARE(fromSearch.count(u'\n'), 249);
    QCOMPARE(QString(fromSearch).replace(u'\n', u' ').simplified(), r.output.simplified());
    for (const QString &key : {QString(), QStringLiteral("Velmora")}) {
        const QString out = sqlcipher(QStringLiteral("SELECT count(*) FROM customers;\n"), key);
        QVERIFY2(out.contains(QStringLiteral("file is encrypted or is not a database")), qPrintable(out));
    }
}

void tst_SampleDb::commandLineErrors_data()
{
    QTest::addColumn<QString>("arguments"); // @DIR@: a folder holding existing.fdb
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::newRow("existing database kept") << "--output @DIR@/existing.fdb" << 1 << "already exists (pass --replace";
    QTest::newRow("missing folder") << "--output @DIR@/no/such/x.fdb" << 1 << "does not exist";
    QTest::newRow("negative row count") << "--output @DIR@/n.fdb --rows -5" << 2 << "--rows needs a whole number";
    QTest::newRow("search file without password") << "--output @DIR@/n.fdb --search-file @DIR@/s.tmp" << 2
                                                  << "--search-file needs --search-password";
    QTest::newRow("unknown argument") << "--output @DIR@/n.fdb --colour" << 2 << "unknown argument \"--colour\"";
    QTest::newRow("server that is not there") << "--output 127.0.0.1/1:/tmp/none.fdb --user SYSDBA --password x" << 1
                                              << "Unable to complete network request to host";
}

void tst_SampleDb::commandLineErrors()
{
    QFETCH(QString, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    const QString dir = m_dir.filePath(QStringLiteral("cli")), existing = dir + QStringLiteral("/existing.fdb");
    QVERIFY(QDir().mkpath(dir) && writeBytes(existing, "precious"));
    const ToolResult r = runTool(QStringLiteral(SAMPLEDB_EXE), arguments.replace(QStringLiteral("@DIR@"), dir).split(u' '));
    QCOMPARE(r.exitCode, exitCode);
    QVERIFY2(r.output.contains(message), qPrintable(r.output));
    // Nothing half-made left behind, nothing overwritten.
    QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("existing.fdb")});
    QCOMPARE(readBytes(existing), QByteArray("precious"));
}

void tst_SampleDb::firebirdKeepsText_data()
{
    QTest::addColumn<QString>("charset");
    QTest::addColumn<QString>("text");
    QTest::newRow("UTF8 with CJK") << "UTF8" << QStringLiteral("Grüße, 田中 太郎");
    // Character sets other than UTF8 need the server's own copy of the intl module.
    QTest::newRow("WIN1252 accents") << "WIN1252" << QStringLiteral("Señor Müller – café");
}

void tst_SampleDb::firebirdKeepsText()
{
    QFETCH(QString, charset);
    QFETCH(QString, text);
    const FirebirdServer fb = firebirdServer();
    QVERIFY2(fb.isValid(), "no fbserver.env: run through ctest (fixture fbserver)");
    const QString dsn = fb.dsn(fb.newDatabasePath(charset.toLower()));
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

QTEST_GUILESS_MAIN(tst_SampleDb)
#include "tst_sampledb.moc"
