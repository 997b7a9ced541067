// The encrypted customer search file: right and wrong password, missing file, column typing.

#include "common/testservices.h"
#include "data/searchfile.h"

#define SQLITE_HAS_CODEC 1
#include <sqlite3.h>

#include <QDate>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace velmora;

namespace {

const QString kSearchQuery = QStringLiteral(
    "SELECT name, altname, address, apt, city, state, zip, hmphone, wkphone, workext, mess, cell, phone5, "
    "comments, account, bbbalance, deposit, email from customers");

// Writes an SQLCipher file of our own, keyed with password, so each typing rule has a known input.
bool writeCipherFile(const QString &path, const QString &password, const QStringList &statements)
{
    sqlite3 *db = nullptr;
    bool ok = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                              nullptr)
        == SQLITE_OK;
    const QByteArray key = password.toUtf8();
    ok = ok && sqlite3_key(db, key.constData(), int(key.size())) == SQLITE_OK;
    for (const QString &sql : statements)
        ok = ok && sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

} // namespace

class tst_SearchFile : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void sampleFileWithRightPassword();
    void wrongPassword_data();
    void wrongPassword();
    void missingFileIsNotCreated();
    void notADatabase();
    void badQuery();
    void columnTypes_data();
    void columnTypes();
    void values();

private:
    QTemporaryDir m_dir;
    QString m_typed;
};

void tst_SearchFile::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_typed = m_dir.filePath(QStringLiteral("typed.tmp"));
    QVERIFY(writeCipherFile(
        m_typed, QStringLiteral("s3cret"),
        {QStringLiteral("CREATE TABLE c (id INTEGER PRIMARY KEY, name VARCHAR(40), balance NUMERIC, rate NUMERIC(9,3), "
                        "ratio REAL, since DATE, stamp DATETIME, vip BOOLEAN, note TEXT)"),
         QStringLiteral("INSERT INTO c VALUES (1, 'Müller', 12.5, 1.25, 0.5, '2023-04-05', '2023-04-05 06:07:08', 1, "
                        "'東京')"),
         QStringLiteral("INSERT INTO c VALUES (2, NULL, 100, '2.5', NULL, NULL, NULL, 0, NULL)"),
         QStringLiteral("INSERT INTO c VALUES (3, 'Peña', 0.07, 3, 2, '2024-02-29', '2024-02-29 23:59:59', 0, '')")}));
}

void tst_SearchFile::sampleFileWithRightPassword()
{
    const QString file = test::sampleSearchFile();
    QVERIFY2(QFile::exists(file), "the sampledb fixture did not write the search file");
    auto r = loadSearchFile(file, test::sampleSearchPassword(), kSearchQuery);
    QVERIFY2(r.ok(), r.ok() ? "" : qPrintable(r.failure().description + r.failure().engineMessages.join(u' ')));
    const RecordTable &t = *r.value();
    QVERIFY(t.rowCount() > 0);
    QCOMPARE(t.columnCount(), 18);
    QCOMPARE(t.column(0).name, QStringLiteral("name"));
    QCOMPARE(t.column(14).name, QStringLiteral("account"));
    QCOMPARE(t.column(14).type, ColumnType::Text);
    QCOMPARE(t.column(15).typeCode, TypeCode::Numeric);
    QCOMPARE(t.column(15).scale, 2);
    QCOMPARE(t.column(0).relation, QStringLiteral("customers"));
    // Every account is there and unique.
    QCOMPARE(t.dictionarySize(14), t.rowCount());
}

void tst_SearchFile::wrongPassword_data()
{
    QTest::addColumn<QString>("password");
    QTest::newRow("wrong password") << "not-the-password";
    QTest::newRow("empty password") << "";
    QTest::newRow("password in other letter case") << "S3CRET";
}

void tst_SearchFile::wrongPassword()
{
    QFETCH(QString, password);
    auto r = loadSearchFile(m_typed, password, QStringLiteral("SELECT * FROM c"));
    QVERIFY(!r.ok());
    QVERIFY2(r.failure().description.contains(QStringLiteral("the password is wrong")), qPrintable(r.failure().description));
    QCOMPARE(r.failure().engineMessages, QStringList{QStringLiteral("file is encrypted or is not a database")});
}

void tst_SearchFile::missingFileIsNotCreated()
{
    const QString missing = m_dir.filePath(QStringLiteral("nothere/search.tmp"));
    auto r = loadSearchFile(missing, QStringLiteral("velmora"), kSearchQuery);
    QVERIFY(!r.ok());
    QCOMPARE(r.failure().description, QStringLiteral("The customer search file \"%1\" does not exist.").arg(missing));
    QVERIFY(!QFile::exists(missing));
    const QString missingHere = m_dir.filePath(QStringLiteral("absent.tmp"));
    QVERIFY(!loadSearchFile(missingHere, QStringLiteral("x"), kSearchQuery).ok());
    QVERIFY(!QFile::exists(missingHere));
}

void tst_SearchFile::notADatabase()
{
    const QString junk = m_dir.filePath(QStringLiteral("junk.tmp"));
    QFile f(junk);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(4096, 'x'));
    f.close();
    auto r = loadSearchFile(junk, QStringLiteral("velmora"), kSearchQuery);
    QVERIFY(!r.ok());
    QVERIFY(r.failure().description.contains(QStringLiteral("not a customer search file")));
}

void tst_SearchFile::badQuery()
{
    auto r = loadSearchFile(m_typed, QStringLiteral("s3cret"), QStringLiteral("SELECT * FROM customers"));
    QVERIFY(!r.ok());
    QCOMPARE(r.failure().engineMessages, QStringList{QStringLiteral("no such table: customers")});
}

void tst_SearchFile::columnTypes_data()
{
    QTest::addColumn<QString>("column");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("scale");
    QTest::addColumn<int>("size");
    QTest::newRow("integer") << "id" << int(ColumnType::Integer) << TypeCode::Integer << 0 << 8;
    QTest::newRow("varchar keeps its length") << "name" << int(ColumnType::Text) << TypeCode::WideText << 0 << 40;
    QTest::newRow("numeric without scale holds money") << "balance" << int(ColumnType::Integer) << TypeCode::Numeric
                                                       << 2 << 8;
    QTest::newRow("numeric with declared scale") << "rate" << int(ColumnType::Integer) << TypeCode::Numeric << 3 << 8;
    QTest::newRow("real") << "ratio" << int(ColumnType::Double) << TypeCode::Double << 0 << 8;
    QTest::newRow("date") << "since" << int(ColumnType::Date) << TypeCode::DbDate << 0 << 4;
    QTest::newRow("datetime") << "stamp" << int(ColumnType::Timestamp) << TypeCode::DbTimeStamp << 0 << 8;
    QTest::newRow("boolean") << "vip" << int(ColumnType::Boolean) << TypeCode::Boolean << 0 << 1;
    QTest::newRow("text") << "note" << int(ColumnType::Text) << TypeCode::LongWideText << 0 << 0;
    QTest::newRow("integer expression") << "twice" << int(ColumnType::Integer) << TypeCode::BigInt << 0 << 8;
    QTest::newRow("real expression") << "half" << int(ColumnType::Double) << TypeCode::Double << 0 << 8;
    QTest::newRow("text expression") << "label" << int(ColumnType::Text) << TypeCode::WideText << 0 << 0;
}

void tst_SearchFile::columnTypes()
{
    QFETCH(QString, column);
    auto r = loadSearchFile(m_typed, QStringLiteral("s3cret"),
                            QStringLiteral("SELECT *, id * 2 AS twice, id / 2.0 AS half, 'n' || id AS label FROM c"));
    QVERIFY2(r.ok(), r.ok() ? "" : qPrintable(r.failure().description));
    const int col = r.value()->columnIndex(column);
    QVERIFY(col >= 0);
    const ColumnInfo &info = r.value()->column(col);
    QTEST(int(info.type), "type");
    QTEST(info.typeCode, "code");
    QTEST(info.scale, "scale");
    QTEST(info.definedSize, "size");
}

void tst_SearchFile::values()
{
    auto r = loadSearchFile(m_typed, QStringLiteral("s3cret"), QStringLiteral("SELECT * FROM c ORDER BY id"));
    QVERIFY(r.ok());
    const RecordTable &t = *r.value();
    QCOMPARE(t.rowCount(), 3);
    QCOMPARE(t.text(0, 1), QStringLiteral("Müller"));
    QVERIFY(t.isNull(1, 1));
    QCOMPARE(t.displayText(0, 2), QStringLiteral("12.50"));
    QCOMPARE(t.displayText(1, 2), QStringLiteral("100.00"));
    QCOMPARE(t.displayText(2, 2), QStringLiteral("0.07"));
    QCOMPARE(t.displayText(1, 3), QStringLiteral("2.500"));   // stored as text, typed by its declaration
    QCOMPARE(t.real(2, 4), 2.0);
    QCOMPARE(t.value(2, 5).toDate(), QDate(2024, 2, 29));
    QCOMPARE(t.displayText(0, 6), QStringLiteral("2023-04-05 06:07:08"));
    QCOMPARE(t.value(0, 7).toBool(), true);
    QCOMPARE(t.text(0, 8), QStringLiteral("東京"));
    QVERIFY(!t.isNull(2, 8));
    QCOMPARE(t.text(2, 8), QString());
}

QTEST_GUILESS_MAIN(tst_SearchFile)
#include "tst_searchfile.moc"
