// The Firebird connection over the embedded engine: type mapping, failures, write-back.

#include "../common/tools.h"
#include "data/connection.h"
#include "data/database.h"

#include <QDate>
#include <QDateTime>
#include <QTemporaryDir>
#include <QTest>

using namespace velmora;

namespace {

QString failureText(const Failure &f)
{
    return QStringLiteral("%1 [%2] %3").arg(f.number).arg(f.description, f.engineMessages.join(QStringLiteral(" | ")));
}

#define CHECK_OK(expr)                                                                                                 \
    do {                                                                                                               \
        const auto &r_ = (expr);                                                                                       \
        QVERIFY2(r_.ok(), r_.ok() ? "" : qPrintable(failureText(r_.failure())));                                      \
    } while (0)

} // namespace

class tst_Connection : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void typeMapping_data();
    void typeMapping();
    void values();
    void nullRow();
    void nonAsciiTextRoundTrips();
    void longestVarcharAndLongMemo();
    void expressionAndAliasColumns();
    void emptyResultKeepsColumns();
    void statementWithoutRowsRuns();

    void failures_data();
    void failures();
    void missingDatabase();
    void malformedConnectionString_data();
    void malformedConnectionString();
    void readOnlyRefusesWrite();

    void updateCellWritesAndChangesTable();
    void updateToNullAndBack();
    void updateRefusesBadValue();
    void deleteRowRemovesIt();
    void conflictAfterAnotherConnectionChangedRow();
    void conflictOnDeleteOfRowAnotherUserDeleted();
    void conflictOnNullOldValue();
    void blobRowsWrittenOrRefused_data();
    void blobRowsWrittenOrRefused();
    void dbKeyWhenNoPrimaryKey();
    void refusals_data();
    void refusals();
    void expressionColumnCannotBeChanged();
    void insertRowWritesAndAppends();
    void insertReadsBackWhatTheDatabaseFilled();
    void insertIntoTableMatchedByDbKey();
    void insertRefused_data();
    void insertRefused();

private:
    QString conn(AccessMode = AccessMode::ReadWrite) const;
    std::unique_ptr<Connection> open(AccessMode mode);

    QTemporaryDir m_dir;
    QString m_db;
    int m_copy = 0;
};

QString tst_Connection::conn(AccessMode) const
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

void tst_Connection::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

// A fresh database per test: write-back tests change rows.
void tst_Connection::init()
{
    m_db = m_dir.filePath(QStringLiteral("store-%1.fdb").arg(++m_copy));
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
    };
    for (const char *sql : ddl)
        CHECK_OK(c->execute(QString::fromUtf8(sql)));
}

void tst_Connection::typeMapping_data()
{
    QTest::addColumn<QString>("column");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("scale");
    QTest::addColumn<int>("size");

    QTest::newRow("integer") << "ID" << int(ColumnType::Integer) << TypeCode::Integer << 0 << 4;
    QTest::newRow("smallint") << "SI" << int(ColumnType::Integer) << TypeCode::SmallInt << 0 << 2;
    QTest::newRow("bigint") << "BI" << int(ColumnType::Integer) << TypeCode::BigInt << 0 << 8;
    QTest::newRow("money numeric(15,2)") << "MONEY" << int(ColumnType::Integer) << TypeCode::Numeric << 2 << 8;
    QTest::newRow("numeric(9,4)") << "N4" << int(ColumnType::Integer) << TypeCode::Numeric << 4 << 4;
    QTest::newRow("double precision") << "DBL" << int(ColumnType::Double) << TypeCode::Double << 0 << 8;
    QTest::newRow("float") << "FL" << int(ColumnType::Double) << TypeCode::Double << 0 << 4;
    QTest::newRow("date") << "D" << int(ColumnType::Date) << TypeCode::DbDate << 0 << 4;
    QTest::newRow("time as text") << "T" << int(ColumnType::Text) << TypeCode::DbTime << 0 << 13;
    QTest::newRow("timestamp") << "TS" << int(ColumnType::Timestamp) << TypeCode::DbTimeStamp << 0 << 8;
    QTest::newRow("utf8 varchar(30) is 30 characters") << "VC" << int(ColumnType::Text) << TypeCode::WideText << 0 << 30;
    QTest::newRow("char(5)") << "CH" << int(ColumnType::Text) << TypeCode::WideText << 0 << 5;
    QTest::newRow("longest utf8 varchar") << "LONGEST" << int(ColumnType::Text) << TypeCode::WideText << 0 << 8191;
    QTest::newRow("text blob") << "MEMO" << int(ColumnType::Text) << TypeCode::LongWideText << 0 << 2147483647;
    QTest::newRow("boolean") << "FLAG" << int(ColumnType::Boolean) << TypeCode::Boolean << 0 << 1;
    QTest::newRow("octets as hex digits") << "OCT" << int(ColumnType::Text) << TypeCode::WideText << 0 << 8;
}

void tst_Connection::typeMapping()
{
    QFETCH(QString, column);
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
}

void tst_Connection::values()
{
    auto c = open(AccessMode::Read);
    QVERIFY(c);
    auto r = c->query(QStringLiteral("SELECT * FROM types ORDER BY id"));
    CHECK_OK(r);
    const RecordTable &t = *r.value();
    QCOMPARE(t.rowCount(), 3);
    auto at = [&](const char *name) { return t.columnIndex(QString::fromLatin1(name)); };
    QCOMPARE(t.integer(0, at("ID")), 1);
    QCOMPARE(t.integer(0, at("SI")), -7);
    QCOMPARE(t.integer(0, at("BI")), 9000000000LL);
    QCOMPARE(t.integer(0, at("MONEY")), 123456);
    QCOMPARE(t.displayText(0, at("MONEY")), QStringLiteral("1234.56"));
    QCOMPARE(t.integer(0, at("N4")), 31416);
    QCOMPARE(t.real(0, at("DBL")), 0.1);
    QCOMPARE(t.real(0, at("FL")), 2.5);
    QCOMPARE(t.value(0, at("D")).toDate(), QDate(2024, 2, 29));
    QCOMPARE(t.text(0, at("T")), QStringLiteral("13:05:07.5000"));
    QCOMPARE(t.value(0, at("TS")).toDateTime(), QDateTime(QDate(2024, 2, 29), QTime(13, 5, 7, 123)));
    QCOMPARE(t.text(0, at("VC")), QStringLiteral("TV-100"));
    QCOMPARE(t.text(0, at("CH")), QStringLiteral("ab"));
    QCOMPARE(t.text(0, at("MEMO")), QStringLiteral("short memo"));
    QCOMPARE(t.value(0, at("FLAG")).toBool(), true);
    QCOMPARE(t.text(0, at("OCT")), QStringLiteral("DEADBEEF"));
    QCOMPARE(t.displayText(2, at("MONEY")), QStringLiteral("-0.05"));
}

void tst_Connection::nullRow()
{
    auto c = open(AccessMode::Read);
    QVERIFY(c);
    auto r = c->query(QStringLiteral("SELECT * FROM types WHERE id = 2"));
    CHECK_OK(r);
    const RecordTable &t = *r.value();
    QCOMPARE(t.rowCount(), 1);
    QVERIFY(!t.isNull(0, 0));
    for (int col = 1; col < t.columnCount(); ++col) {
        QVERIFY2(t.isNull(0, col), qPrintable(t.column(col).name));
        QVERIFY(t.hasNulls(col));
    }
}

void tst_Connection::nonAsciiTextRoundTrips()
{
    auto c = open(AccessMode::Read);
    QVERIFY(c);
    auto r = c->query(QStringLiteral("SELECT vc, ch, CHAR_LENGTH(vc) AS n FROM types WHERE vc = 'Müller 東京 ñ ß'"));
    CHECK_OK(r);
    const RecordTable &t = *r.value();
    QCOMPARE(t.rowCount(), 1);
    QCOMPARE(t.text(0, 0), QStringLiteral("Müller 東京 ñ ß"));
    QCOMPARE(t.text(0, 1), QStringLiteral("é"));
    QCOMPARE(t.integer(0, 2), 13);
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
    QCOMPARE(r.value()->text(0, 0).size(), 8191);
    QCOMPARE(r.value()->text(0, 1).size(), memo.size());
    QCOMPARE(r.value()->text(0, 1), memo);
}

void tst_Connection::expressionAndAliasColumns()
{
    auto c = open(AccessMode::Read);
    QVERIFY(c);
    auto r = c->query(QStringLiteral("SELECT id AS ident, money * 2 AS twice, 'x' || vc FROM types ORDER BY id"));
    CHECK_OK(r);
    const RecordTable &t = *r.value();
    QCOMPARE(t.column(0).name, QStringLiteral("IDENT"));
    QCOMPARE(t.column(0).relation, QStringLiteral("TYPES"));
    QCOMPARE(t.column(0).sourceField, QStringLiteral("ID"));
    QCOMPARE(t.column(1).name, QStringLiteral("TWICE"));
    QVERIFY(t.column(1).relation.isEmpty());
    QVERIFY(t.column(1).sourceField.isEmpty());
    QCOMPARE(t.column(1).typeCode, TypeCode::Numeric);
    QCOMPARE(t.displayText(0, 1), QStringLiteral("2469.12"));
    QVERIFY(!t.column(2).name.isEmpty());
    QVERIFY(t.column(2).relation.isEmpty());
}

void tst_Connection::emptyResultKeepsColumns()
{
    auto c = open(AccessMode::Read);
    QVERIFY(c);
    auto r = c->query(QStringLiteral("SELECT id, vc FROM types WHERE 1 = 0"));
    CHECK_OK(r);
    QCOMPARE(r.value()->rowCount(), 0);
    QCOMPARE(r.value()->columnCount(), 2);
    QCOMPARE(r.value()->column(1).definedSize, 30);
}

void tst_Connection::statementWithoutRowsRuns()
{
    auto c = open(AccessMode::ReadWrite);
    QVERIFY(c);
    auto r = c->query(QStringLiteral("UPDATE stores SET name = 'Renamed' WHERE store = 1"));
    CHECK_OK(r);
    QCOMPARE(r.value()->columnCount(), 0);
    auto check = c->query(QStringLiteral("SELECT name FROM stores"));
    CHECK_OK(check);
    QCOMPARE(check.value()->text(0, 0), QStringLiteral("Renamed"));
}

void tst_Connection::failures_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QStringList>("messages");

    QTest::newRow("syntax error") << "SELEC * FROM types"
                                  << QStringList{"Dynamic SQL Error", "SQL error code = -104", "Token unknown - line 1, column 1",
                                                 "SELEC"};
    QTest::newRow("unknown table") << "SELECT * FROM nosuchtable"
                                   << QStringList{"Dynamic SQL Error", "SQL error code = -204", "Table unknown",
                                                  "NOSUCHTABLE", "At line 1, column 15"};
    QTest::newRow("unknown column") << "SELECT nosuchcolumn FROM types"
                                    << QStringList{"Dynamic SQL Error", "SQL error code = -206", "Column unknown",
                                                   "NOSUCHCOLUMN", "At line 1, column 8"};
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

void tst_Connection::missingDatabase()
{
    const QString missing = m_dir.filePath(QStringLiteral("missing.fdb"));
    auto c = Connection::open(QStringLiteral("Data Source=%1;User ID=SYSDBA;Password=x").arg(missing), AccessMode::Read);
    QVERIFY(!c.ok());
    const QStringList &m = c.failure().engineMessages;
    QVERIFY2(m.size() >= 2, qPrintable(failureText(c.failure())));
    QCOMPARE(m.at(0), QStringLiteral("I/O error during \"open\" operation for file \"%1\"").arg(missing));
    QCOMPARE(m.at(1), QStringLiteral("Error while trying to open file"));
    QCOMPARE(c.failure().step, 7);
    QCOMPARE(c.failure().number, 335544344);   // isc_io_error
}

void tst_Connection::malformedConnectionString_data()
{
    QTest::addColumn<QString>("connString");
    QTest::addColumn<QString>("says");
    const QString base = QStringLiteral("Data Source=/nowhere/store.fdb;User ID=%1;Password=%2");
    QTest::newRow("no data source") << "Provider=LCPI.IBProvider.3;User ID=a" << "no Data Source";
    QTest::newRow("300-character user name") << base.arg(QString(300, QLatin1Char('u')), QStringLiteral("masterkey"))
                                             << "The user name is too long";
    QTest::newRow("300-byte password") << base.arg(QStringLiteral("SYSDBA"), QString(150, QChar(0x00E9)))
                                       << "The password is too long";
}

void tst_Connection::malformedConnectionString()
{
    QFETCH(QString, connString);
    QFETCH(QString, says);
    auto c = Connection::open(connString, AccessMode::Read);
    QVERIFY(!c.ok());
    QVERIFY2(c.failure().text().contains(says), qPrintable(failureText(c.failure())));
    QCOMPARE(c.failure().step, 7);
}

void tst_Connection::readOnlyRefusesWrite()
{
    auto c = open(AccessMode::Read);
    QVERIFY(c);
    QCOMPARE(c->mode(), AccessMode::Read);
    const Status st = c->execute(QStringLiteral("UPDATE stores SET name = 'x'"));
    QVERIFY(!st.ok());
    QCOMPARE(st.failure().engineMessages, QStringList{QStringLiteral("attempted update during read-only transaction")});

    auto r = c->query(QStringLiteral("SELECT * FROM stores"));
    CHECK_OK(r);
    auto w = c->writer(r.value());
    QVERIFY(!w->canWrite().ok());
    QVERIFY(w->canWrite().failure().description.contains(QStringLiteral("read only")));
    const Status up = w->updateCell(0, 1, QStringLiteral("changed"));
    QVERIFY(!up.ok());
    QCOMPARE(r.value()->text(0, 1), QStringLiteral("Main"));
    QVERIFY(!w->deleteRow(0).ok());
    QCOMPARE(r.value()->rowCount(), 1);
}

void tst_Connection::updateCellWritesAndChangesTable()
{
    auto c = open(AccessMode::ReadWrite);
    QVERIFY(c);
    auto r = c->query(QStringLiteral("SELECT * FROM types ORDER BY id"));
    CHECK_OK(r);
    RecordTable &t = *r.value();
    auto w = c->writer(r.value());
    CHECK_OK(w->canWrite());
    const int money = t.columnIndex(u"money");
    const int vc = t.columnIndex(u"vc");
    const int ts = t.columnIndex(u"ts");
    CHECK_OK(w->updateCell(0, money, QStringLiteral("99.5")));
    QCOMPARE(t.displayText(0, money), QStringLiteral("99.50"));
    CHECK_OK(w->updateCell(0, vc, QStringLiteral("Größe 大")));
    QCOMPARE(t.text(0, vc), QStringLiteral("Größe 大"));
    // The timestamp and double of row 1 take part in the match; they still match after edits.
    CHECK_OK(w->updateCell(0, t.columnIndex(u"d"), QDate(2001, 1, 2)));
    CHECK_OK(w->updateCell(0, ts, QDateTime(QDate(2001, 1, 2), QTime(3, 4, 5, 6))));

    auto other = open(AccessMode::Read);
    QVERIFY(other);
    auto check = other->query(QStringLiteral("SELECT money, vc, d, ts FROM types WHERE id = 1"));
    CHECK_OK(check);
    QCOMPARE(check.value()->displayText(0, 0), QStringLiteral("99.50"));
    QCOMPARE(check.value()->text(0, 1), QStringLiteral("Größe 大"));
    QCOMPARE(check.value()->value(0, 2).toDate(), QDate(2001, 1, 2));
    QCOMPARE(check.value()->value(0, 3).toDateTime(), QDateTime(QDate(2001, 1, 2), QTime(3, 4, 5, 6)));
}

void tst_Connection::updateToNullAndBack()
{
    auto c = open(AccessMode::ReadWrite);
    QVERIFY(c);
    auto r = c->query(QStringLiteral("SELECT id, vc, money FROM types WHERE id = 3"));
    CHECK_OK(r);
    auto w = c->writer(r.value());
    CHECK_OK(w->updateCell(0, 1, QVariant()));
    QVERIFY(r.value()->isNull(0, 1));
    // The null just written is the old value the next update must match.
    CHECK_OK(w->updateCell(0, 1, QStringLiteral("back")));
    CHECK_OK(w->updateCell(0, 2, 12.25));
    auto check = c->query(QStringLiteral("SELECT vc, money FROM types WHERE id = 3"));
    CHECK_OK(check);
    QCOMPARE(check.value()->text(0, 0), QStringLiteral("back"));
    QCOMPARE(check.value()->integer(0, 1), 1225);
}

void tst_Connection::updateRefusesBadValue()
{
    auto c = open(AccessMode::ReadWrite);
    QVERIFY(c);
    auto r = c->query(QStringLiteral("SELECT id, money, d FROM types WHERE id = 1"));
    CHECK_OK(r);
    auto w = c->writer(r.value());
    const Status st = w->updateCell(0, 1, QStringLiteral("twelve"));
    QVERIFY(!st.ok());
    QVERIFY(st.failure().description.contains(QStringLiteral("is not a number")));
    QCOMPARE(r.value()->integer(0, 1), 123456);
    QVERIFY(!w->updateCell(0, 0, QVariant()).ok());   // id is NOT NULL
    QVERIFY(!w->updateCell(0, 2, QStringLiteral("2024-13-45")).ok());
}

void tst_Connection::deleteRowRemovesIt()
{
    auto c = open(AccessMode::ReadWrite);
    QVERIFY(c);
    auto r = c->query(QStringLiteral("SELECT * FROM types ORDER BY id"));
    CHECK_OK(r);
    auto w = c->writer(r.value());
    // Row 1 (id 2) is all nulls but its key; row 0 holds every type, blob and octets included.
    CHECK_OK(w->deleteRow(1));
    CHECK_OK(w->deleteRow(0));
    QCOMPARE(r.value()->rowCount(), 1);
    QCOMPARE(r.value()->integer(0, 0), 3);
    auto check = c->query(QStringLiteral("SELECT id FROM types"));
    CHECK_OK(check);
    QCOMPARE(check.value()->rowCount(), 1);
    QCOMPARE(check.value()->integer(0, 0), 3);
}

void tst_Connection::conflictAfterAnotherConnectionChangedRow()
{
    auto mine = open(AccessMode::ReadWrite);
    auto theirs = open(AccessMode::ReadWrite);
    QVERIFY(mine && theirs);
    auto r = mine->query(QStringLiteral("SELECT * FROM types ORDER BY id"));
    CHECK_OK(r);
    auto w = mine->writer(r.value());
    CHECK_OK(theirs->execute(QStringLiteral("UPDATE types SET money = 1.00 WHERE id = 1")));

    const int vc = r.value()->columnIndex(u"vc");
    const Status st = w->updateCell(0, vc, QStringLiteral("mine"));
    QVERIFY(!st.ok());
    QVERIFY2(st.failure().description.contains(QStringLiteral("changed or deleted by another user since it was read")),
             qPrintable(st.failure().description));
    QCOMPARE(r.value()->text(0, vc), QStringLiteral("TV-100"));
    QVERIFY(!w->deleteRow(0).ok());
    QCOMPARE(r.value()->rowCount(), 3);

    auto check = theirs->query(QStringLiteral("SELECT vc, money FROM types WHERE id = 1"));
    CHECK_OK(check);
    QCOMPARE(check.value()->text(0, 0), QStringLiteral("TV-100"));
    QCOMPARE(check.value()->integer(0, 1), 100);
    // Another row nobody touched still takes the change.
    CHECK_OK(w->updateCell(2, vc, QStringLiteral("mine")));
}

void tst_Connection::conflictOnDeleteOfRowAnotherUserDeleted()
{
    auto mine = open(AccessMode::ReadWrite);
    auto theirs = open(AccessMode::ReadWrite);
    QVERIFY(mine && theirs);
    auto r = mine->query(QStringLiteral("SELECT store, name FROM stores"));
    CHECK_OK(r);
    auto w = mine->writer(r.value());
    CHECK_OK(theirs->execute(QStringLiteral("DELETE FROM stores")));
    const Status st = w->deleteRow(0);
    QVERIFY(!st.ok());
    QVERIFY(st.failure().description.contains(QStringLiteral("another user")));
    QCOMPARE(r.value()->rowCount(), 1);
}

void tst_Connection::blobRowsWrittenOrRefused_data()
{
    QTest::addColumn<QString>("theirs");   // what another user changes first; empty for nothing
    QTest::addColumn<QString>("action");   // "name", "memo" (a 100,001-character text) or "delete"
    QTest::addColumn<QString>("after");    // isql-fb: name, length of memo and rows left

    // The row holds a 40,000-byte binary BLOB and a 100,000-character text BLOB.
    const QString lastByte = QStringLiteral("UPDATE docs SET pic = OVERLAY(pic PLACING x'01' FROM 40000)");
    const QString lastChar = QStringLiteral("UPDATE docs SET memo = OVERLAY(memo PLACING 'Z' FROM 100000)");
    QTest::newRow("edit beside the BLOBs") << "" << "name" << "mine 100000 1";
    QTest::newRow("long text written into the text BLOB") << "" << "memo" << "first 100001 1";
    QTest::newRow("delete the row") << "" << "delete" << "";
    QTest::newRow("last byte of the binary BLOB changed: edit refused") << lastByte << "name" << "first 100000 1";
    QTest::newRow("last byte of the binary BLOB changed: delete refused") << lastByte << "delete" << "first 100000 1";
    QTest::newRow("end of the text BLOB changed: edit refused") << lastChar << "name" << "first 100000 1";
    QTest::newRow("end of the text BLOB changed: delete refused") << lastChar << "delete" << "first 100000 1";
}

void tst_Connection::blobRowsWrittenOrRefused()
{
    QFETCH(QString, theirs);
    QFETCH(QString, action);
    QFETCH(QString, after);
    {
        auto mine = open(AccessMode::ReadWrite);
        auto other = open(AccessMode::ReadWrite);
        QVERIFY(mine && other);
        CHECK_OK(mine->execute(QStringLiteral("CREATE TABLE docs (id INTEGER NOT NULL PRIMARY KEY, name VARCHAR(20), "
                                              "pic BLOB SUB_TYPE BINARY, memo BLOB SUB_TYPE TEXT)")));
        CHECK_OK(mine->execute(QStringLiteral(
            "EXECUTE BLOCK AS DECLARE p BLOB SUB_TYPE BINARY = ''; DECLARE m BLOB SUB_TYPE TEXT = ''; "
            "DECLARE i INTEGER = 0; BEGIN WHILE (i < 10) DO BEGIN p = p || RPAD('', 4000, 'p'); "
            "m = m || RPAD('', 10000, 'm'); i = i + 1; END INSERT INTO docs VALUES (1, 'first', :p, :m); END")));
        auto r = mine->query(QStringLiteral("SELECT * FROM docs"));
        CHECK_OK(r);
        auto w = mine->writer(r.value());
        if (!theirs.isEmpty())
            CHECK_OK(other->execute(theirs));
        const Status st = action == u"delete" ? w->deleteRow(0)
            : action == u"memo"               ? w->updateCell(0, 3, QString(100001, QLatin1Char('n')))
                                              : w->updateCell(0, 1, QStringLiteral("mine"));
        QCOMPARE(st.ok(), theirs.isEmpty());
        if (!st.ok())
            QVERIFY2(st.failure().description.contains(QStringLiteral("changed or deleted by another user")),
                     qPrintable(failureText(st.failure())));
        QCOMPARE(r.value()->rowCount(), action == u"delete" && st.ok() ? 0 : 1);
    }
    const test::ToolResult check = test::isql(
        m_db, QStringLiteral("SET HEADING OFF; SELECT name, CHAR_LENGTH(memo), (SELECT COUNT(*) FROM docs) FROM docs;"));
    QCOMPARE(check.output.simplified(), after);
}

void tst_Connection::conflictOnNullOldValue()
{
    auto mine = open(AccessMode::ReadWrite);
    auto theirs = open(AccessMode::ReadWrite);
    QVERIFY(mine && theirs);
    auto r = mine->query(QStringLiteral("SELECT id, vc, bi FROM types WHERE id = 2"));
    CHECK_OK(r);
    auto w = mine->writer(r.value());
    // Old value NULL, now filled by someone else: the row must not match.
    CHECK_OK(theirs->execute(QStringLiteral("UPDATE types SET bi = 5 WHERE id = 2")));
    QVERIFY(!w->updateCell(0, 1, QStringLiteral("mine")).ok());
}

void tst_Connection::dbKeyWhenNoPrimaryKey()
{
    auto c = open(AccessMode::ReadWrite);
    QVERIFY(c);
    auto without = c->query(QStringLiteral("SELECT a, b FROM nokey"));
    CHECK_OK(without);
    auto refused = c->writer(without.value());
    QVERIFY(!refused->canWrite().ok());
    QVERIFY2(refused->canWrite().failure().description.contains(QStringLiteral("RDB$DB_KEY")),
             qPrintable(refused->canWrite().failure().description));

    // Two identical rows: only the key of the row itself tells them apart.
    auto r = c->query(QStringLiteral("SELECT RDB$DB_KEY, a, b FROM nokey"));
    CHECK_OK(r);
    QCOMPARE(r.value()->rowCount(), 2);
    auto w = c->writer(r.value());
    CHECK_OK(w->canWrite());
    CHECK_OK(w->updateCell(0, 2, QStringLiteral("changed")));
    auto check = c->query(QStringLiteral("SELECT b FROM nokey ORDER BY b"));
    CHECK_OK(check);
    QCOMPARE(check.value()->text(0, 0), QStringLiteral("changed"));
    QCOMPARE(check.value()->text(1, 0), QStringLiteral("one"));
    CHECK_OK(w->deleteRow(1));
    auto left = c->query(QStringLiteral("SELECT b FROM nokey"));
    CHECK_OK(left);
    QCOMPARE(left.value()->rowCount(), 1);
    QCOMPARE(left.value()->text(0, 0), QStringLiteral("changed"));
}

void tst_Connection::refusals_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("reason");
    QTest::newRow("join") << "SELECT t.id, s.name FROM types t JOIN stores s ON s.store = t.id" << "join";
    QTest::newRow("table joined with itself")
        << "SELECT a.id, b.vc FROM types a JOIN types b ON b.id = a.id" << "with itself";
    QTest::newRow("only expressions") << "SELECT COUNT(*) FROM types" << "not read from a table";
    QTest::newRow("key not selected") << "SELECT vc, money FROM types" << "primary key (ID)";
}

void tst_Connection::refusals()
{
    QFETCH(QString, sql);
    QFETCH(QString, reason);
    auto c = open(AccessMode::ReadWrite);
    QVERIFY(c);
    auto r = c->query(sql);
    CHECK_OK(r);
    auto w = c->writer(r.value());
    QVERIFY(!w->canWrite().ok());
    QVERIFY2(w->canWrite().failure().description.contains(reason), qPrintable(w->canWrite().failure().description));
    QVERIFY(!w->updateCell(0, 0, QStringLiteral("1")).ok());
    QVERIFY(!w->deleteRow(0).ok());
    QVERIFY(r.value()->rowCount() > 0);
}

void tst_Connection::expressionColumnCannotBeChanged()
{
    auto c = open(AccessMode::ReadWrite);
    QVERIFY(c);
    auto r = c->query(QStringLiteral("SELECT id, money, money * 2 AS twice FROM types WHERE id = 1"));
    CHECK_OK(r);
    auto w = c->writer(r.value());
    CHECK_OK(w->canWrite());
    const Status st = w->updateCell(0, 2, 5);
    QVERIFY(!st.ok());
    QVERIFY(st.failure().description.contains(QStringLiteral("calculated by the query")));
    CHECK_OK(w->updateCell(0, 1, 7));
    QCOMPARE(r.value()->displayText(0, 1), QStringLiteral("7.00"));
}

void tst_Connection::insertRowWritesAndAppends()
{
    auto c = open(AccessMode::ReadWrite);
    QVERIFY(c);
    auto r = c->query(QStringLiteral("SELECT id, money, vc, d, ts, flag FROM types ORDER BY id"));
    CHECK_OK(r);
    RecordTable &t = *r.value();
    auto w = c->writer(r.value());
    const auto added = w->insertRow({{0, QStringLiteral("10")},
                                     {1, QStringLiteral("12.5")},
                                     {2, QStringLiteral("Neu ñ 東")},
                                     {3, QStringLiteral("2025-03-01")},
                                     {4, QDateTime(QDate(2025, 3, 1), QTime(8, 30, 0, 250))},
                                     {5, QStringLiteral("true")}});
    CHECK_OK(added);
    QCOMPARE(added.value(), 3);
    QCOMPARE(t.rowCount(), 4);
    QCOMPARE(t.integer(3, 0), 10);
    QCOMPARE(t.displayText(3, 1), QStringLiteral("12.50"));
    QCOMPARE(t.text(3, 2), QStringLiteral("Neu ñ 東"));
    QCOMPARE(t.value(3, 3).toDate(), QDate(2025, 3, 1));
    QCOMPARE(t.value(3, 5).toBool(), true);

    auto other = open(AccessMode::Read);
    QVERIFY(other);
    auto check = other->query(QStringLiteral("SELECT money, vc, d, ts, flag FROM types WHERE id = 10"));
    CHECK_OK(check);
    QCOMPARE(check.value()->rowCount(), 1);
    QCOMPARE(check.value()->integer(0, 0), 1250);
    QCOMPARE(check.value()->text(0, 1), QStringLiteral("Neu ñ 東"));
    QCOMPARE(check.value()->value(0, 2).toDate(), QDate(2025, 3, 1));
    QCOMPARE(check.value()->value(0, 3).toDateTime(), QDateTime(QDate(2025, 3, 1), QTime(8, 30, 0, 250)));

    // The appended row is matched like any other: it can be changed and deleted at once.
    CHECK_OK(w->updateCell(3, 2, QStringLiteral("edited")));
    CHECK_OK(w->deleteRow(3));
    QCOMPARE(t.rowCount(), 3);
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

void tst_Connection::insertIntoTableMatchedByDbKey()
{
    auto c = open(AccessMode::ReadWrite);
    QVERIFY(c);
    auto r = c->query(QStringLiteral("SELECT RDB$DB_KEY, a, b FROM nokey"));
    CHECK_OK(r);
    auto w = c->writer(r.value());
    const auto added = w->insertRow({{1, 1}, {2, QStringLiteral("one")}});
    CHECK_OK(added);
    QCOMPARE(added.value(), 2);
    QVERIFY(!r.value()->isNull(2, 0));   // its record key, read back
    // Three identical rows now; the key of the new one picks it alone.
    CHECK_OK(w->updateCell(2, 2, QStringLiteral("three")));
    auto check = c->query(QStringLiteral("SELECT COUNT(*) FROM nokey WHERE b = 'one'"));
    CHECK_OK(check);
    QCOMPARE(check.value()->integer(0, 0), 2);
}

void tst_Connection::insertRefused_data()
{
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<int>("column");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("reason");
    QTest::newRow("read-only connection") << true << "SELECT * FROM stores" << 1 << QVariant(QStringLiteral("New"))
                                          << "read only";
    QTest::newRow("join") << false << "SELECT t.id, s.name FROM types t JOIN stores s ON s.store = t.id" << 0
                          << QVariant(11) << "join";
    QTest::newRow("expression column") << false << "SELECT id, money * 2 AS twice FROM types" << 1 << QVariant(5)
                                       << "calculated by the query";
    QTest::newRow("value does not convert") << false << "SELECT id, money FROM types" << 1
                                            << QVariant(QStringLiteral("twelve")) << "is not a number";
    QTest::newRow("date does not convert") << false << "SELECT id, d FROM types" << 1
                                           << QVariant(QStringLiteral("2024-13-45")) << "not a valid value";
    QTest::newRow("required column empty") << false << "SELECT id, vc FROM types" << 0 << QVariant()
                                           << "must have a value";
    QTest::newRow("duplicate key") << false << "SELECT id, vc FROM types" << 0 << QVariant(1) << "PRIMARY";
}

void tst_Connection::insertRefused()
{
    QFETCH(bool, readOnly);
    QFETCH(QString, sql);
    QFETCH(int, column);
    QFETCH(QVariant, value);
    QFETCH(QString, reason);
    auto c = open(readOnly ? AccessMode::Read : AccessMode::ReadWrite);
    QVERIFY(c);
    auto r = c->query(sql);
    CHECK_OK(r);
    const int before = r.value()->rowCount();
    auto w = c->writer(r.value());
    const auto added = w->insertRow({{column, value}});
    QVERIFY(!added.ok());
    QVERIFY2(failureText(added.failure()).contains(reason), qPrintable(failureText(added.failure())));
    QCOMPARE(r.value()->rowCount(), before);
    auto counts = c->query(QStringLiteral("SELECT (SELECT COUNT(*) FROM types), (SELECT COUNT(*) FROM stores) "
                                          "FROM rdb$database"));
    CHECK_OK(counts);
    QCOMPARE(counts.value()->integer(0, 0), 3);
    QCOMPARE(counts.value()->integer(0, 1), 1);
}

QTEST_GUILESS_MAIN(tst_Connection)
#include "tst_connection.moc"
