// The Firebird connection over the embedded engine: type mapping, failures, write-back.

#include "../common/tools.h"
#include "data/connection.h"
#include "data/database.h"
#include "datatesting.h"

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace velmora;

using test::failureText;

class tst_Connection : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void types_data();
    void types();
    void reads_data();
    void reads();
    void longestVarcharAndLongMemo();

    void failures_data();
    void failures();
    void cannotOpen_data();
    void cannotOpen();

    void writes_data();
    void writes();
    void insertReadsBackWhatTheDatabaseFilled();
    void readOnlyConnectionRefusesWrites();

private:
    QString conn() const;
    std::unique_ptr<Connection> open(AccessMode mode);

    QTemporaryDir m_dir;
    QString m_db;
    int m_copy = 0;
};

QString tst_Connection::conn() const
{
    return QStringLiteral("Provider=LCPI.IBProvider.3;Data Source=%1;User ID=SYSDBA;Password=masterkey;ctype=UTF8")
        .arg(m_db);
}

std::unique_ptr<Connection> tst_Connection::open(AccessMode mode)
{
    auto c = Connection::open(conn(), mode);
    if (!c.ok())
        qWarning("%s", qPrintable(failureText(c.failure())));
    return c.ok() ? std::move(c.value()) : nullptr;
}

// One database made here, and a fresh copy of it for every test: write-back tests change rows.
void tst_Connection::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_db = m_dir.filePath(QStringLiteral("template.fdb"));
    CHECK_OK(createDatabase(conn()));
    auto c = open(AccessMode::ReadWrite);
    QVERIFY(c);
    const char *ddl[] = {
        "CREATE TABLE types (id INTEGER NOT NULL PRIMARY KEY, si SMALLINT, bi BIGINT, money NUMERIC(15,2), "
        "n4 NUMERIC(9,4), dbl DOUBLE PRECISION, fl FLOAT, d DATE, t TIME, ts TIMESTAMP, vc VARCHAR(30), ch CHAR(5), "
        "longest VARCHAR(8191), memo BLOB SUB_TYPE TEXT, flag BOOLEAN, oct CHAR(4) CHARACTER SET OCTETS)",
        "INSERT INTO types VALUES (1, -7, 9000000000, 1234.56, 3.1416, 0.1, 2.5, '2024-02-29', '13:05:07.5', "
        "'2024-02-29 13:05:07.123', 'TV-100', 'ab', 'x', 'short memo', TRUE, x'DEADBEEF')",
        "INSERT INTO types (id) VALUES (2)",
        "INSERT INTO types (id, vc, ch, money) VALUES (3, 'Müller 東京 ñ ß', 'é', -0.05)",
        "CREATE TABLE stores (store INTEGER NOT NULL PRIMARY KEY, name VARCHAR(40))",
        "INSERT INTO stores VALUES (1, 'Main')",
        "CREATE TABLE nokey (a INTEGER, b VARCHAR(10))",
        "INSERT INTO nokey VALUES (1, 'one')",
        "INSERT INTO nokey VALUES (1, 'one')",
        // A 40,000-byte binary BLOB and a 100,000-character text BLOB.
        "CREATE TABLE docs (id INTEGER NOT NULL PRIMARY KEY, name VARCHAR(20), pic BLOB SUB_TYPE BINARY, "
        "memo BLOB SUB_TYPE TEXT)",
        "EXECUTE BLOCK AS DECLARE p BLOB SUB_TYPE BINARY = ''; DECLARE m BLOB SUB_TYPE TEXT = ''; "
        "DECLARE i INTEGER = 0; BEGIN WHILE (i < 10) DO BEGIN p = p || RPAD('', 4000, 'p'); "
        "m = m || RPAD('', 10000, 'm'); i = i + 1; END INSERT INTO docs VALUES (1, 'first', :p, :m); END",
    };
    for (const char *sql : ddl)
        CHECK_OK(c->execute(QString::fromUtf8(sql)));
}

void tst_Connection::init()
{
    m_db = m_dir.filePath(QStringLiteral("store-%1.fdb").arg(++m_copy));
    QVERIFY(QFile::copy(m_dir.filePath(QStringLiteral("template.fdb")), m_db));
}

void tst_Connection::types_data()
{
    QTest::addColumn<QString>("column");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("scale");
    QTest::addColumn<int>("size");
    QTest::addColumn<QVariant>("value");   // of the row with id 1; the row with id 2 is null but its key

    const auto I = int(ColumnType::Integer), D = int(ColumnType::Double), T = int(ColumnType::Text);
    QTest::newRow("integer") << "ID" << I << TypeCode::Integer << 0 << 4 << QVariant(1);
    QTest::newRow("smallint") << "SI" << I << TypeCode::SmallInt << 0 << 2 << QVariant(-7);
    QTest::newRow("bigint") << "BI" << I << TypeCode::BigInt << 0 << 8 << QVariant(9000000000LL);
    QTest::newRow("money numeric(15,2)") << "MONEY" << I << TypeCode::Numeric << 2 << 8 << QVariant(123456);
    QTest::newRow("numeric(9,4)") << "N4" << I << TypeCode::Numeric << 4 << 4 << QVariant(31416);
    QTest::newRow("double precision") << "DBL" << D << TypeCode::Double << 0 << 8 << QVariant(0.1);
    QTest::newRow("float") << "FL" << D << TypeCode::Double << 0 << 4 << QVariant(2.5);
    QTest::newRow("date") << "D" << int(ColumnType::Date) << TypeCode::DbDate << 0 << 4 << QVariant(QDate(2024, 2, 29));
    QTest::newRow("time as text") << "T" << T << TypeCode::DbTime << 0 << 13 << QVariant(QStringLiteral("13:05:07.5000"));
    QTest::newRow("timestamp") << "TS" << int(ColumnType::Timestamp) << TypeCode::DbTimeStamp << 0 << 8
                               << QVariant(QDateTime(QDate(2024, 2, 29), QTime(13, 5, 7, 123)));
    QTest::newRow("utf8 varchar(30) is 30 characters") << "VC" << T << TypeCode::WideText << 0 << 30 << QVariant(QStringLiteral("TV-100"));
    QTest::newRow("char(5)") << "CH" << T << TypeCode::WideText << 0 << 5 << QVariant(QStringLiteral("ab"));
    QTest::newRow("longest utf8 varchar") << "LONGEST" << T << TypeCode::WideText << 0 << 8191 << QVariant(QStringLiteral("x"));
    QTest::newRow("text blob") << "MEMO" << T << TypeCode::LongWideText << 0 << 2147483647 << QVariant(QStringLiteral("short memo"));
    QTest::newRow("boolean") << "FLAG" << int(ColumnType::Boolean) << TypeCode::Boolean << 0 << 1 << QVariant(true);
    QTest::newRow("octets as hex digits") << "OCT" << T << TypeCode::WideText << 0 << 8 << QVariant(QStringLiteral("DEADBEEF"));
}

void tst_Connection::types()
{
    QFETCH(QString, column);
    QFETCH(QVariant, value);
    auto c = open(AccessMode::Read);
    QVERIFY(c);
    auto r = c->query(QStringLiteral("SELECT * FROM types ORDER BY id"));
    CHECK_OK(r);
    const RecordTable &t = *r.value();
    const int col = t.columnIndex(column);
    QVERIFY(col >= 0);
    const ColumnInfo &info = t.column(col);
    QCOMPARE(info.name, column);
    QCOMPARE(info.relation, QStringLiteral("TYPES"));
    QCOMPARE(info.sourceField, column);
    QTEST(int(info.type), "type");
    QTEST(info.typeCode, "code");
    QTEST(info.scale, "scale");
    QTEST(info.definedSize, "size");
    QCOMPARE(info.nullable, column != u"ID");
    if (info.type == ColumnType::Integer || info.type == ColumnType::Boolean)
        QCOMPARE(qlonglong(t.integer(0, col)), value.toLongLong());
    else if (info.type == ColumnType::Double)
        QCOMPARE(t.real(0, col), value.toDouble());
    else if (info.type == ColumnType::Text)
        QCOMPARE(t.text(0, col), value.toString());
    else
        QCOMPARE(t.value(0, col), value);
    QCOMPARE(t.isNull(1, col), column != u"ID");
}

// What a query reads, as "COLUMN@RELATION.FIELD ..." and then each row's shown cells joined by "|";
// statements before the last (split at ";") run first and must return no columns.
void tst_Connection::reads_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("read");
    QTest::newRow("non-ASCII text round trips") << "SELECT vc, ch, CHAR_LENGTH(vc) AS n, money FROM types WHERE id = 3"
                                                << "VC@TYPES.VC CH@TYPES.CH N MONEY@TYPES.MONEY / Müller 東京 ñ ß|é|13|-0.05";
    QTest::newRow("alias keeps its source, an expression has none")
        << "SELECT id AS ident, money * 2 AS twice, 'x' || vc AS x FROM types WHERE id = 1"
        << "IDENT@TYPES.ID TWICE X / 1|2469.12|xTV-100";
    QTest::newRow("empty result keeps its columns") << "SELECT id, vc FROM types WHERE 1 = 0" << "ID@TYPES.ID VC@TYPES.VC";
    QTest::newRow("statement without rows runs")
        << "UPDATE stores SET name = 'Renamed' WHERE store = 1;SELECT name FROM stores" << "NAME@STORES.NAME / Renamed";
}

void tst_Connection::reads()
{
    QFETCH(QString, sql);
    auto c = open(AccessMode::ReadWrite);
    QVERIFY(c);
    std::shared_ptr<RecordTable> t;
    for (const QString &statement : sql.split(u';')) {
        QVERIFY(!t || t->columnCount() == 0);
        auto r = c->query(statement);
        CHECK_OK(r);
        t = r.value();
    }
    QStringList read;
    for (int col = 0; col < t->columnCount(); ++col) {
        const ColumnInfo &info = t->column(col);
        read << info.name + (info.relation.isEmpty() ? QString() : u'@' + info.relation + u'.' + info.sourceField);
    }
    for (int row = 0; row < t->rowCount(); ++row) {
        QStringList cells;
        for (int col = 0; col < t->columnCount(); ++col)
            cells << t->displayText(row, col);
        read << QStringLiteral("/") << cells.join(u'|');
    }
    QTEST(read.join(u' '), "read");
}

void tst_Connection::longestVarcharAndLongMemo()
{
    auto c = open(AccessMode::ReadWrite);
    QVERIFY(c);
    // 8191 four-byte characters fill a UTF8 VARCHAR to its byte limit; the memo spans many segments.
    const QString longest(8191 / 2, QChar(0x00FC));
    const QString longestText = longest + longest + QLatin1Char('!');
    QString memo;
    for (int i = 0; i < 20000; ++i)
        memo += QStringLiteral("line %1 ü\n").arg(i);
    CHECK_OK(c->execute(QStringLiteral("UPDATE types SET longest = '%1', memo = '%2' WHERE id = 1")
                            .arg(longestText, memo.left(8000))));
    // A memo longer than any statement literal: build it up by concatenation.
    for (int from = 8000; from < memo.size(); from += 8000)
        CHECK_OK(c->execute(QStringLiteral("UPDATE types SET memo = memo || '%1' WHERE id = 1").arg(memo.mid(from, 8000))));
    auto r = c->query(QStringLiteral("SELECT longest, memo FROM types WHERE id = 1"));
    CHECK_OK(r);
    QCOMPARE(r.value()->text(0, 0), longestText);
    QCOMPARE(r.value()->text(0, 1), memo);
}

void tst_Connection::failures_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QStringList>("messages");

    QTest::newRow("unknown table") << "SELECT * FROM nosuchtable"
                                   << QStringList{"Dynamic SQL Error", "SQL error code = -204", "Table unknown",
                                                  "NOSUCHTABLE", "At line 1, column 15"};
    QTest::newRow("conversion error while fetching")
        << "SELECT CAST(vc AS INTEGER) FROM types WHERE id = 1"
        << QStringList{"conversion error from string \"TV-100\""};
}

void tst_Connection::failures()
{
    QFETCH(QString, sql);
    QFETCH(QStringList, messages);
    auto c = open(AccessMode::Read);
    QVERIFY(c);
    auto r = c->query(sql);
    QVERIFY(!r.ok());
    const Failure &f = r.failure();
    QCOMPARE(f.engineMessages, messages);
    QVERIFY(f.number > 335544000);
    QCOMPARE(f.step, 8);
    QVERIFY(f.description.contains(messages.first()));
}

void tst_Connection::cannotOpen_data()
{
    QTest::addColumn<QString>("connString");   // DIR: the test folder
    QTest::addColumn<QString>("says");
    QTest::addColumn<int>("number");   // 0: not compared
    const QString base = QStringLiteral("Data Source=/nowhere/store.fdb;User ID=%1;Password=%2");
    QTest::newRow("missing database") << "Data Source=DIR/missing.fdb;User ID=SYSDBA;Password=x"
        << "I/O error during \"open\" operation for file \"DIR/missing.fdb\"\nError while trying to open file" << 335544344;
    QTest::newRow("no data source") << "Provider=LCPI.IBProvider.3;User ID=a" << "no Data Source" << 0;
    QTest::newRow("300-character user name") << base.arg(QString(300, QLatin1Char('u')), QStringLiteral("masterkey"))
                                             << "The user name is too long" << 0;
    QTest::newRow("300-byte password") << base.arg(QStringLiteral("SYSDBA"), QString(150, QChar(0x00E9)))
                                       << "The password is too long" << 0;
}

void tst_Connection::cannotOpen()
{
    QFETCH(QString, connString);
    QFETCH(QString, says);
    QFETCH(int, number);
    auto c = Connection::open(connString.replace(QStringLiteral("DIR"), m_dir.path()), AccessMode::Read);
    QVERIFY(!c.ok());
    QVERIFY2(c.failure().text().contains(says.replace(QStringLiteral("DIR"), m_dir.path())),
             qPrintable(failureText(c.failure())));
    QCOMPARE(c.failure().step, 7);
    if (number)
        QCOMPARE(c.failure().number, number);
}

// Write-back as a table of steps on the rows a query read, each step the way the grid asks:
//   "set ROW FIELD VALUE", "null ROW FIELD", "del ROW", "add FIELD=VALUE,FIELD=VALUE"
// Every step but the last must succeed; the last fails with `refused` unless that is empty, and
// then leaves the table as it was. What the database holds afterwards is read by isql-fb.
void tst_Connection::writes_data()
{
    QTest::addColumn<QString>("theirs");   // what another user changes between our read and our write
    QTest::addColumn<QString>("select");
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("refused");
    QTest::addColumn<QString>("check");   // isql-fb's select and what it shows, after " => "

    const QString all = QStringLiteral("SELECT * FROM types ORDER BY id");
    const QString docs = QStringLiteral("SELECT * FROM docs");
    const QString docsAfter = QStringLiteral("SELECT name, CHAR_LENGTH(memo), (SELECT COUNT(*) FROM docs) FROM docs => ");
    const QString changed = QStringLiteral("changed or deleted by another user since it was read");
    const QString lastByte = QStringLiteral("UPDATE docs SET pic = OVERLAY(pic PLACING x'01' FROM 40000)");
    const QString lastChar = QStringLiteral("UPDATE docs SET memo = OVERLAY(memo PLACING 'Z' FROM 100000)");
    const QString theirMoney = QStringLiteral("UPDATE types SET money = 1.00 WHERE id = 1");
    const QString counts = QStringLiteral("SELECT COUNT(*), (SELECT COUNT(*) FROM stores) FROM types => 3 1");

    // Rows matched by their old values, the double and timestamp of the first row among them.
    QTest::newRow("edits of several types") << "" << all
        << "set 0 MONEY 99.5;set 0 VC Größe 大;set 0 D 2001-01-02;set 0 TS 2001-01-02 03:04:05.006;set 0 MONEY 7" << ""
        << "SELECT money, vc, d, ts FROM types WHERE id = 1 => 7.00 Größe 大 2001-01-02 2001-01-02 03:04:05.0060";
    QTest::newRow("a null written is the next old value") << "" << "SELECT id, vc, money FROM types WHERE id = 3"
        << "null 0 VC;set 0 VC back;set 0 MONEY 12.25" << "" << "SELECT vc, money FROM types WHERE id = 3 => back 12.25";
    QTest::newRow("delete rows with every type") << "" << all << "del 1;del 0" << "" << "SELECT id FROM types => 3";
    QTest::newRow("identical rows told apart by their record key") << "" << "SELECT RDB$DB_KEY, a, b FROM nokey"
        << "set 0 B changed;del 1;add A=1,B=one;set 1 B three" << "" << "SELECT b FROM nokey ORDER BY b => changed three";
    QTest::newRow("an added row is matched like any other") << "" << "SELECT id, money, vc, d, flag FROM types ORDER BY id"
        << "add ID=10,MONEY=12.5,VC=Neu ñ 東,D=2025-03-01,FLAG=true;set 3 VC edited" << ""
        << "SELECT money, vc, d, flag FROM types WHERE id = 10 => 12.50 edited 2025-03-01 <true>";
    QTest::newRow("edit beside the BLOBs") << "" << docs << "set 0 NAME mine" << "" << docsAfter + "mine 100000 1";
    QTest::newRow("long text into the text BLOB") << "" << docs << "set 0 MEMO " + QString(100001, u'n') << ""
                                                  << docsAfter + "first 100001 1";

    QTest::newRow("row changed by another user: edit refused, other rows still take theirs")
        << theirMoney << all << "set 2 VC mine;set 0 VC mine" << changed
        << "SELECT vc, money FROM types WHERE id IN (1, 3) ORDER BY id => TV-100 1.00 mine -0.05";
    QTest::newRow("row deleted by another user") << "DELETE FROM stores" << "SELECT store, name FROM stores"
                                                 << "del 0" << "another user" << "SELECT COUNT(*) FROM stores => 0";
    QTest::newRow("null old value filled by another user") << "UPDATE types SET bi = 5 WHERE id = 2"
        << "SELECT id, vc, bi FROM types WHERE id = 2" << "set 0 VC mine" << changed << "SELECT vc FROM types WHERE id = 2 => <null>";
    QTest::newRow("last byte of the binary BLOB changed: delete refused") << lastByte << docs << "del 0" << changed
                                                                         << docsAfter + "first 100000 1";
    QTest::newRow("end of the text BLOB changed: edit refused") << lastChar << docs << "set 0 NAME mine" << changed
                                                               << docsAfter + "first 100000 1";

    const QString join = QStringLiteral("SELECT t.id, s.name FROM types t JOIN stores s ON s.store = t.id");
    QTest::newRow("join") << "" << join << "set 0 NAME x" << "join" << "SELECT name FROM stores => Main";
    QTest::newRow("table joined with itself") << "" << "SELECT a.id, b.vc FROM types a JOIN types b ON b.id = a.id"
                                              << "del 0" << "with itself" << counts;
    QTest::newRow("only expressions") << "" << "SELECT COUNT(*) FROM types" << "del 0" << "not read from a table" << counts;
    QTest::newRow("key not selected") << "" << "SELECT vc, money FROM types" << "set 0 VC x" << "primary key (ID)"
                                      << "SELECT vc FROM types WHERE id = 1 => TV-100";
    QTest::newRow("no primary key and no record key") << "" << "SELECT a, b FROM nokey" << "del 0" << "RDB$DB_KEY"
                                                      << "SELECT COUNT(*) FROM nokey => 2";
    const QString twice = QStringLiteral("SELECT id, money, money * 2 AS twice FROM types WHERE id = 1");
    QTest::newRow("expression column") << "" << twice << "set 0 MONEY 7;set 0 TWICE 5" << "calculated by the query"
                                             << "SELECT money FROM types WHERE id = 1 => 7.00";
    QTest::newRow("not a number") << "" << all << "set 0 MONEY twelve" << "is not a number"
                                  << "SELECT money FROM types WHERE id = 1 => 1234.56";
    QTest::newRow("not a date") << "" << all << "add ID=11,D=2024-13-45" << "not a valid value" << counts;
    QTest::newRow("required column emptied") << "" << all << "null 0 ID" << "must have a value"
                                             << "SELECT COUNT(*) FROM types WHERE id = 1 => 1";
    QTest::newRow("required column left out") << "" << "SELECT id, vc FROM types" << "add VC=x" << "\"TYPES\".\"ID\"" << counts;
}

void tst_Connection::writes()
{
    QFETCH(QString, theirs);
    QFETCH(QString, select);
    QFETCH(QString, steps);
    QFETCH(QString, refused);
    QFETCH(QString, check);
    {
        auto mine = open(AccessMode::ReadWrite);
        auto other = open(AccessMode::ReadWrite);
        QVERIFY(mine && other);
        auto r = mine->query(select);
        CHECK_OK(r);
        RecordTable &t = *r.value();
        auto w = mine->writer(r.value());
        if (!theirs.isEmpty())
            CHECK_OK(other->execute(theirs));
        const QStringList list = steps.split(u';');
        for (qsizetype i = 0; i < list.size(); ++i) {
            const QStringList word = list[i].split(u' ');
            const int row = word.value(1).toInt();
            const int col = t.columnIndex(word.value(2));
            const int rows = t.rowCount();
            const QString before = col >= 0 && row < rows ? t.displayText(row, col) : QString();
            Status st;
            if (word[0] == u"add") {
                std::vector<std::pair<int, QVariant>> values;
                for (const QString &kv : list[i].mid(4).split(u','))
                    values.emplace_back(t.columnIndex(kv.section(u'=', 0, 0)), kv.section(u'=', 1));
                const auto added = w->insertRow(values);
                if (added.ok())
                    QCOMPARE(added.value(), rows);
                else
                    st = added.failure();
            } else if (word[0] == u"del") {
                st = w->deleteRow(row);
            } else {
                st = w->updateCell(row, col, word[0] == u"null" ? QVariant() : QVariant(list[i].section(u' ', 3)));
            }
            const bool last = i == list.size() - 1;
            if (!last || refused.isEmpty()) {
                QVERIFY2(st.ok(), qPrintable(list[i] + QStringLiteral(": ") + failureText(st.failure())));
                QCOMPARE(t.rowCount(), rows + (word[0] == u"add") - (word[0] == u"del"));
            } else {
                QVERIFY2(!st.ok(), qPrintable(list[i]));
                QVERIFY2(failureText(st.failure()).contains(refused), qPrintable(failureText(st.failure())));
                QCOMPARE(t.rowCount(), rows);
                if (col >= 0 && row < rows)
                    QCOMPARE(t.displayText(row, col), before);
            }
        }
    }
    const test::ToolResult after =
        test::isql(m_db, QStringLiteral("SET HEADING OFF; %1;").arg(check.section(QStringLiteral(" => "), 0, 0)));
    QCOMPARE(after.output.simplified(), check.section(QStringLiteral(" => "), 1));
}

void tst_Connection::insertReadsBackWhatTheDatabaseFilled()
{
    auto c = open(AccessMode::ReadWrite);
    QVERIFY(c);
    CHECK_OK(c->execute(QStringLiteral("CREATE TABLE orders (id INTEGER GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY, "
                                       "item VARCHAR(20), status VARCHAR(8) DEFAULT 'open' NOT NULL, code VARCHAR(10))")));
    CHECK_OK(c->execute(QStringLiteral("CREATE TRIGGER orders_code FOR orders BEFORE INSERT AS "
                                       "BEGIN NEW.code = UPPER(NEW.item); END")));
    auto r = c->query(QStringLiteral("SELECT id, item, status, code FROM orders"));
    CHECK_OK(r);
    QCOMPARE(r.value()->rowCount(), 0);
    auto w = c->writer(r.value());
    // The key comes from the identity, the status from its default, the code from the trigger.
    const auto first = w->insertRow({{1, QStringLiteral("lamp")}});
    CHECK_OK(first);
    QCOMPARE(first.value(), 0);
    QCOMPARE(r.value()->integer(0, 0), 1);
    QCOMPARE(r.value()->text(0, 2), QStringLiteral("open"));
    QCOMPARE(r.value()->text(0, 3), QStringLiteral("LAMP"));
    const auto second = w->insertRow({{0, 40}, {1, QStringLiteral("desk")}, {2, QStringLiteral("held")}});
    CHECK_OK(second);
    QCOMPARE(r.value()->integer(1, 0), 40);
    QCOMPARE(r.value()->text(1, 2), QStringLiteral("held"));
    QCOMPARE(r.value()->text(1, 3), QStringLiteral("DESK"));
    // What the table holds is what the database holds, so edits of the new rows match them.
    CHECK_OK(w->updateCell(0, 2, QStringLiteral("shipped")));
    CHECK_OK(w->updateCell(1, 1, QStringLiteral("chair")));
    auto check = c->query(QStringLiteral("SELECT id, status, item FROM orders ORDER BY id"));
    CHECK_OK(check);
    QCOMPARE(check.value()->rowCount(), 2);
    QCOMPARE(check.value()->text(0, 1), QStringLiteral("shipped"));
    QCOMPARE(check.value()->text(1, 2), QStringLiteral("chair"));
}

void tst_Connection::readOnlyConnectionRefusesWrites()
{
    {
        auto c = open(AccessMode::Read);
        QVERIFY(c);
        auto r = c->query(QStringLiteral("SELECT * FROM stores"));
        CHECK_OK(r);
        auto w = c->writer(r.value());
        const auto refused = [](const auto &st) {
            return !st.ok() && st.failure().description.contains(QStringLiteral("read only"));
        };
        QVERIFY(refused(w->updateCell(0, 1, QStringLiteral("x"))));
        QVERIFY(refused(w->deleteRow(0)));
        QVERIFY(refused(w->insertRow({{1, QStringLiteral("New")}})));
        QCOMPARE(r.value()->rowCount(), 1);
    }
    QCOMPARE(test::isqlValue(m_db, QStringLiteral("SELECT COUNT(*) || ' ' || MIN(name) FROM stores")), QStringLiteral("1 Main"));
}

QTEST_GUILESS_MAIN(tst_Connection)
#include "tst_connection.moc"
