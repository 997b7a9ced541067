// The sample store database and customer search file as independent tools read them: isql-fb on
// a copy of the run's sample.fdb, the sqlcipher shell on search.tmp.

#include "common/testservices.h"
#include "common/tools.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

using namespace velmora::test;

namespace
{

QString keySql(const QString &table)
{
    return QStringLiteral("select cast(list(trim(s.rdb$field_name)) as varchar(200)) from rdb$relation_constraints c "
                          "join rdb$index_segments s on s.rdb$index_name = c.rdb$index_name "
                          "where c.rdb$constraint_type = 'PRIMARY KEY' and c.rdb$relation_name = '%1'")
        .arg(table);
}

QString typeSql(const QString &table, const QString &column)
{
    return QStringLiteral("select f.rdb$field_type || ':' || coalesce(f.rdb$field_precision, 0) || ':' || "
                          "f.rdb$field_scale || ':' || coalesce(f.rdb$character_length, 0) from rdb$relation_fields r "
                          "join rdb$fields f on f.rdb$field_name = r.rdb$field_source "
                          "where r.rdb$relation_name = '%1' and r.rdb$field_name = '%2'")
        .arg(table, column);
}

} // namespace

class tst_SampleDb : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void facts_data();
    void facts();
    void seedsDecideTheData();

    void searchFileReadsWithPassword();
    void searchFileMatchesCustomers();
    void searchFileRefuses_data();
    void searchFileRefuses();

    void commandLineErrors_data();
    void commandLineErrors();

private:
    // The _data functions queue their queries with want(); the first value() of a test function
    // runs all queued ones in one isql-fb session (each start of the engine costs a fraction of a
    // second).
    QString want(const QString &select);
    QString value(const QString &select);
    QString generate(const QString &name, int rows, int seed);
    QString dump(const QString &db, const QString &select);
    QString sqlcipher(const QString &file, const QString &script);

    QTemporaryDir m_dir;
    QString m_db;
    QStringList m_pending;
    QHash<QString, QString> m_values;
};

QString tst_SampleDb::want(const QString &select)
{
    if (!m_values.contains(select) && !m_pending.contains(select))
        m_pending << select;
    return select;
}

QString tst_SampleDb::value(const QString &select)
{
    if (!m_values.contains(select)) {
        want(select);
        QString script = QStringLiteral("set list on;\n");
        for (qsizetype i = 0; i < m_pending.size(); ++i)
            script += QStringLiteral("select 'Q%1' as query_marker from rdb$database;\n%2;\n").arg(i).arg(m_pending[i]);
        const ToolResult r = isql(m_db, script);
        qsizetype current = -1;
        for (const QString &line : r.output.split(QLatin1Char('\n'))) {
            const QString t = line.trimmed();
            if (t.startsWith(QLatin1String("QUERY_MARKER"))) {
                current = t.mid(t.indexOf(QLatin1Char('Q'), 1) + 1).toInt();
                continue;
            }
            if (t.isEmpty() || current < 0 || current >= m_pending.size() || m_values.contains(m_pending[current]))
                continue;
            const qsizetype gap = t.indexOf(QLatin1Char(' '));
            m_values.insert(m_pending[current], gap < 0 ? QString() : t.mid(gap).trimmed());
        }
        for (const QString &q : std::as_const(m_pending))
            if (!m_values.contains(q))
                m_values.insert(q, QStringLiteral("(no value) ") + r.output.right(500));
        m_pending.clear();
    }
    return m_values.value(select);
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
    const auto row = [this](const char *name, const QString &select, const char *expected) {
        QTest::newRow(name) << want(select) << QString::fromLatin1(expected);
    };
    const auto count = [](const char *table) { return QStringLiteral("select count(*) from ") + QLatin1String(table); };
    row("inventory holds the rows asked for", count("inventory"), "2000");
    row("deleted inventory is one in 25", count("delinventory"), "80");
    row("customers are one in 8", count("customers"), "250");
    row("service tickets are one in 5", count("service"), "400");
    row("projected payments are one in 4", count("projrevenue"), "500");
    row("the database is UTF8", QStringLiteral("select trim(rdb$character_set_name) from rdb$database"), "UTF8");

    row("inventory by id", keySql(QStringLiteral("INVENTORY")), "ID");
    row("deleted inventory by id", keySql(QStringLiteral("DELINVENTORY")), "ID");
    row("customers by account", keySql(QStringLiteral("CUSTOMERS")), "ACCOUNT");
    row("service by id", keySql(QStringLiteral("SERVICE")), "ID");
    row("projected revenue by id", keySql(QStringLiteral("PROJREVENUE")), "ID");

    // rdb$field_type:precision:scale:characters; 7 smallint, 8 integer, 12 date, 16 int64, 27 double,
    // 35 timestamp, 37 varchar.
    const auto type = [](const char *table, const char *column) { return typeSql(QLatin1String(table), QLatin1String(column)); };
    row("cost is NUMERIC(15,2)", type("INVENTORY", "COST"), "16:15:-2:0");
    row("rental income is NUMERIC(15,2)", type("INVENTORY", "RENTALINCOME"), "16:15:-2:0");
    row("model is VARCHAR(30)", type("INVENTORY", "MODEL"), "37:0:0:30");
    row("description is VARCHAR(200)", type("INVENTORY", "DESCRIPTION"), "37:0:0:200");
    row("store is INTEGER", type("INVENTORY", "STORE"), "8:0:0:0");
    row("daterec is DATE", type("INVENTORY", "DATEREC"), "12:0:0:0");
    row("weight is DOUBLE PRECISION", type("INVENTORY", "WEIGHT"), "27:0:0:0");
    row("upc is BIGINT", type("INVENTORY", "UPC"), "16:0:0:0");
    row("lastupdate is TIMESTAMP", type("INVENTORY", "LASTUPDATE"), "35:0:0:0");
    row("deleted is TIMESTAMP", type("DELINVENTORY", "DELETED"), "35:0:0:0");
    row("customer balance is NUMERIC(15,2)", type("CUSTOMERS", "BBBALANCE"), "16:15:-2:0");
    row("recupdate is TIMESTAMP", type("CUSTOMERS", "RECUPDATE"), "35:0:0:0");
    row("emailinv is SMALLINT", type("CUSTOMERS", "EMAILINV"), "7:0:0:0");
    row("service charge is NUMERIC(15,2)", type("SERVICE", "SVCCHARGE"), "16:15:-2:0");
    row("projected payment is NUMERIC(15,2)", type("PROJREVENUE", "PROJPMT"), "16:15:-2:0");
    row("payment paid is NUMERIC(15,2)", type("PROJREVENUE", "PMTPAID"), "16:15:-2:0");

    const auto q = [](const char *sql) { return QString::fromUtf8(sql); };
    row("twelve stores", q("select count(distinct store) from inventory"), "12");
    row("several categories", q("select count(distinct category) from inventory"), "10..30");
    row("models recur across units",
        q("select count(*) from (select model from inventory group by model having count(*) > 2)"), "50..2000");
    row("stock numbers are unique", q("select count(distinct stock) from inventory"), "2000");
    row("never-sold stock has no first sale date", q("select count(*) from inventory where firstsaledate is null"), "100..1500");
    row("some service states unknown", q("select count(*) from inventory where svcstatus is null"), "50..500");
    row("money carries cents", q("select count(*) from inventory where mod(cost * 100, 100) <> 0"), "1000..2000");
    row("long descriptions", q("select count(*) from inventory where char_length(description) > 120"), "100..1000");
    row("descriptions fill the column", q("select max(char_length(description)) from inventory"), "150..200");
    row("received dates span years",
        q("select extract(year from max(daterec)) - extract(year from min(daterec)) from inventory"), "5..10");
    row("names with u umlaut", q("select count(*) from customers where name containing 'ü'"), "1..250");
    row("names with e acute", q("select count(*) from customers where name containing 'é'"), "1..250");
    row("names with n tilde", q("select count(*) from customers where name containing 'ñ'"), "1..250");
    row("names with sharp s", q("select count(*) from customers where name containing 'ß'"), "1..250");
    row("CJK names (3 bytes a character)",
        q("select count(*) from customers where octet_length(name) >= 3 * char_length(name) - 3"), "5..100");
    row("names with apostrophes", q("select count(*) from customers where name containing ''''"), "1..250");
    row("customers without e-mail", q("select count(*) from customers where email is null"), "20..150");
    row("rented units name existing customers",
        q("select count(*) from inventory i where i.customer is not null and not exists "
          "(select 1 from customers c where c.account = i.customer)"), "0");
    row("master inventory lists other stores' stock",
        q("SELECT count(*) from (SELECT model, serial, stock, description, category, store, cost, rentalincome, "
          "daterec, firstsaledate, balance as RBV from inventory where status = 'STOCK' and svcstatus <>'SERVICE' "
          "and store <> 7)"), "500..1200");
    row("open service tickets have no date out",
        q("select count(*) from service where status = 'OPEN' and dateout is not null"), "0");
    row("service charges summed", q("select cast(sum(svccharge) as integer) from service"), "10000..200000");
    row("unpaid projected payments", q("select count(*) from projrevenue where pmtpaid = 0 and paiddate is null"), "50..500");
    row("deleted after received", q("select count(*) from delinventory where cast(deleted as date) < daterec"), "0");
}

void tst_SampleDb::facts()
{
    QFETCH(QString, select);
    QFETCH(QString, expected);
    const QString text = value(select);
    if (!expected.contains(QStringLiteral(".."))) {
        QCOMPARE(text, expected);
        return;
    }
    bool ok = false;
    const qint64 n = text.toLongLong(&ok);
    QVERIFY2(ok, qPrintable(text));
    QVERIFY2(n >= expected.section(QStringLiteral(".."), 0, 0).toLongLong()
                 && n <= expected.section(QStringLiteral(".."), 1).toLongLong(),
             qPrintable(QStringLiteral("%1 not in %2").arg(n).arg(expected)));
}

QString tst_SampleDb::generate(const QString &name, int rows, int seed)
{
    const QString out = m_dir.filePath(name);
    const ToolResult r = runTool(QStringLiteral(SAMPLEDB_EXE),
                                 {QStringLiteral("--output"), out, QStringLiteral("--rows"), QString::number(rows),
                                  QStringLiteral("--seed"), QString::number(seed), QStringLiteral("--quiet")});
    if (r.exitCode != 0)
        qWarning("%s", qPrintable(r.output));
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

QString tst_SampleDb::sqlcipher(const QString &file, const QString &script)
{
    return runTool(QStringLiteral("sqlcipher"), {QStringLiteral("-batch"), file}, script.toUtf8()).output.trimmed();
}

void tst_SampleDb::searchFileReadsWithPassword()
{
    const QString out = sqlcipher(sampleSearchFile(), QStringLiteral("PRAGMA key = '%1';\nPRAGMA cipher_version;\n"
                                                                     "SELECT count(*) FROM customers;\n")
                                                          .arg(sampleSearchPassword()));
    const QStringList lines = out.split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 2);
    QVERIFY2(!lines[0].isEmpty(), "the search file's library has no cipher");
    QCOMPARE(lines[1], QStringLiteral("250"));
    const QString columns = sqlcipher(sampleSearchFile(), QStringLiteral("PRAGMA key = 'velmora';\n"
                                                                         "SELECT group_concat(name, ',') FROM "
                                                                         "pragma_table_info('customers');\n"));
    // SQLite 3.15 has no table-valued pragmas; fall back to the header row of an empty select.
    const QString expected = QStringLiteral(
        "name,altname,address,apt,city,state,zip,hmphone,wkphone,workext,mess,cell,phone5,comments,account,"
        "bbbalance,deposit,email");
    if (columns != expected) {
        const QString header =
            sqlcipher(sampleSearchFile(), QStringLiteral("PRAGMA key = 'velmora';\n.headers on\n.separator ,\n"
                                                         "SELECT * FROM customers LIMIT 1;\n"))
                .section(QLatin1Char('\n'), 0, 0);
        QCOMPARE(header, expected);
    }
}

void tst_SampleDb::searchFileMatchesCustomers()
{
    const QString fromSearch =
        sqlcipher(sampleSearchFile(), QStringLiteral("PRAGMA key = 'velmora';\n"
                                                     "SELECT account || '|' || name || '|' || "
                                                     "ifnull(email, '') || '|' || printf('%.2f', bbbalance) "
                                                     "FROM customers ORDER BY account;\n"));
    const ToolResult r = isql(m_db, QStringLiteral("set heading off;\n"
                                                   "select trim(account) || '|' || name || '|' || "
                                                   "coalesce(email, '') || '|' || bbbalance "
                                                   "from customers order by account;\n"));
    QCOMPARE(r.exitCode, 0);
    QStringList fromFirebird;
    for (const QString &line : r.output.split(QLatin1Char('\n')))
        if (!line.trimmed().isEmpty())
            fromFirebird << line.trimmed();
    QCOMPARE(fromFirebird.size(), 250);
    QCOMPARE(fromSearch.split(QLatin1Char('\n')), fromFirebird);
}

void tst_SampleDb::searchFileRefuses_data()
{
    QTest::addColumn<QString>("keyPragma");
    QTest::newRow("wrong password") << "PRAGMA key = 'not-velmora';\n";
    QTest::newRow("no password") << "";
    QTest::newRow("password in other letter case") << "PRAGMA key = 'Velmora';\n";
}

void tst_SampleDb::searchFileRefuses()
{
    QFETCH(QString, keyPragma);
    const QString out = sqlcipher(sampleSearchFile(), keyPragma + QStringLiteral("SELECT count(*) FROM customers;\n"));
    QVERIFY2(out.contains(QStringLiteral("file is encrypted or is not a database")), qPrintable(out));
}

void tst_SampleDb::commandLineErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    const QString existing = QStringLiteral("@EXISTING@");
    QTest::newRow("existing database kept")
        << QStringList{QStringLiteral("--output"), existing} << 1 << "already exists (pass --replace";
    QTest::newRow("missing folder") << QStringList{QStringLiteral("--output"), QStringLiteral("@DIR@/no/such/x.fdb")}
                                    << 1 << "does not exist";
    QTest::newRow("row count not a number") << QStringList{QStringLiteral("--output"), QStringLiteral("@DIR@/n.fdb"),
                                                           QStringLiteral("--rows"), QStringLiteral("many")}
                                            << 2 << "--rows needs a whole number";
    QTest::newRow("negative row count") << QStringList{QStringLiteral("--output"), QStringLiteral("@DIR@/n.fdb"),
                                                       QStringLiteral("--rows"), QStringLiteral("-5")}
                                        << 2 << "--rows needs a whole number";
    QTest::newRow("search file without password")
        << QStringList{QStringLiteral("--output"), QStringLiteral("@DIR@/n.fdb"), QStringLiteral("--search-file"),
                       QStringLiteral("@DIR@/s.tmp")}
        << 2 << "--search-file needs --search-password";
    QTest::newRow("no output") << QStringList{QStringLiteral("--rows"), QStringLiteral("10")} << 2
                               << "--output is required";
    QTest::newRow("unknown argument") << QStringList{QStringLiteral("--output"), QStringLiteral("@DIR@/n.fdb"),
                                                     QStringLiteral("--colour")}
                                      << 2 << "unknown argument \"--colour\"";
    QTest::newRow("server that is not there")
        << QStringList{QStringLiteral("--output"),   QStringLiteral("127.0.0.1/1:/tmp/none.fdb"),
                       QStringLiteral("--user"),     QStringLiteral("SYSDBA"),
                       QStringLiteral("--password"), QStringLiteral("x")}
        << 1 << "Unable to complete network request to host";
}

void tst_SampleDb::commandLineErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    const QString dir = m_dir.filePath(QStringLiteral("cli"));
    QDir().mkpath(dir);
    const QString existing = QDir(dir).filePath(QStringLiteral("existing.fdb"));
    QFile f(existing);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("precious");
    f.close();
    for (QString &a : arguments)
        a.replace(QStringLiteral("@EXISTING@"), existing).replace(QStringLiteral("@DIR@"), dir);

    const ToolResult r = runTool(QStringLiteral(SAMPLEDB_EXE), arguments);
    QCOMPARE(r.exitCode, exitCode);
    QVERIFY2(r.output.contains(message), qPrintable(r.output));
    // Nothing half-made left behind, nothing overwritten.
    QCOMPARE(QDir(dir).entryList({QStringLiteral("*.partial")}, QDir::Files), QStringList());
    QVERIFY(!QFileInfo::exists(QDir(dir).filePath(QStringLiteral("n.fdb"))));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("precious"));
}

QTEST_GUILESS_MAIN(tst_SampleDb)
#include "tst_sampledb.moc"
