// The encrypted customer search file: files that cannot be read, and how each column is typed.
// (The right and wrong password and a missing file are driven through the customer search window.)

#include "../common/testservices.h"
#include "../common/tools.h"
#include "data/searchfile.h"

#include <QTemporaryDir>
#include <QTest>

using namespace velmora;

class tst_SearchFile : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void failures_data();
    void failures();
    void columns_data();
    void columns();

private:
    QTemporaryDir m_dir;
    QString m_typed;
};

// A file of our own, written by the sqlcipher shell and keyed "s3cret", so each typing rule has a
// known input; and a file that is no database at all.
void tst_SearchFile::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_typed = m_dir.filePath(QStringLiteral("typed.tmp"));
    const test::ToolResult made = test::runTool(
        QStringLiteral("sqlcipher"), {m_typed},
        "PRAGMA key = 's3cret';\nCREATE TABLE c (id INTEGER PRIMARY KEY, name VARCHAR(40), balance NUMERIC, rate NUMERIC(9,3), "
        "ratio REAL, since DATE, stamp DATETIME, vip BOOLEAN, note TEXT);\nINSERT INTO c VALUES (1, 'Müller', 12.5, 1.25, 0.5, "
        "'2023-04-05', '2023-04-05 06:07:08', 1, '東京');\nINSERT INTO c VALUES (2, NULL, 100, '2.5', NULL, NULL, NULL, 0, NULL);\n"
        "INSERT INTO c VALUES (3, 'Peña', 0.07, 3, 2, '2024-02-29', '2024-02-29 23:59:59', 0, '');\n");
    QVERIFY2(made.exitCode == 0 && !made.output.contains(u"rror"), qPrintable(made.output));
    QVERIFY(test::writeBytes(m_dir.filePath(QStringLiteral("junk.tmp")), QByteArray(4096, 'x')));
}

// Files that cannot be read: the reason in the description, the library's own words beside it.
void tst_SearchFile::failures_data()
{
    QTest::addColumn<QString>("file");   // in the test folder; "typed.tmp" is keyed "s3cret"
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("says");
    QTest::addColumn<QString>("engine");   // the library's message, empty: not compared

    const QString all = QStringLiteral("SELECT * FROM c");
    const QString locked = QStringLiteral("file is encrypted or is not a database");
    QTest::newRow("empty password") << "typed.tmp" << "" << all << "the password is wrong" << locked;
    QTest::newRow("not a database") << "junk.tmp" << "velmora" << all << "not a customer search file" << "";
    QTest::newRow("query of a table it lacks") << "typed.tmp" << "s3cret" << "SELECT * FROM customers" << ""
                                              << "no such table: customers";
}

void tst_SearchFile::failures()
{
    QFETCH(QString, file);
    QFETCH(QString, password);
    QFETCH(QString, query);
    QFETCH(QString, engine);
    auto r = loadSearchFile(m_dir.filePath(file), password, query);
    QVERIFY(!r.ok());
    QFETCH(QString, says);
    QVERIFY2(r.failure().description.contains(says), qPrintable(r.failure().description));
    if (!engine.isEmpty())
        QCOMPARE(r.failure().engineMessages, QStringList{engine});
}

// Each column typed from its declaration, and its values in the three rows (the second mostly null).
void tst_SearchFile::columns_data()
{
    QTest::addColumn<QString>("column");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("scale");
    QTest::addColumn<int>("size");
    QTest::addColumn<QStringList>("shown");   // "<null>" for a null
    const auto I = int(ColumnType::Integer), T = int(ColumnType::Text), D = int(ColumnType::Double);
    const QString null = QStringLiteral("<null>");
    QTest::newRow("integer") << "id" << I << TypeCode::Integer << 0 << 8 << QStringList{"1", "2", "3"};
    QTest::newRow("varchar keeps its length") << "name" << T << TypeCode::WideText << 0 << 40 << QStringList{"Müller", null, "Peña"};
    QTest::newRow("numeric without scale holds money") << "balance" << I << TypeCode::Numeric << 2 << 8
                                                       << QStringList{"12.50", "100.00", "0.07"};
    QTest::newRow("numeric with declared scale, also from text") << "rate" << I << TypeCode::Numeric << 3 << 8
                                                                 << QStringList{"1.250", "2.500", "3.000"};
    QTest::newRow("real") << "ratio" << D << TypeCode::Double << 0 << 8 << QStringList{"0.5", null, "2"};
    QTest::newRow("date") << "since" << int(ColumnType::Date) << TypeCode::DbDate << 0 << 4
                          << QStringList{"2023-04-05", null, "2024-02-29"};
    QTest::newRow("datetime") << "stamp" << int(ColumnType::Timestamp) << TypeCode::DbTimeStamp << 0 << 8
                              << QStringList{"2023-04-05 06:07:08", null, "2024-02-29 23:59:59"};
    QTest::newRow("boolean") << "vip" << int(ColumnType::Boolean) << TypeCode::Boolean << 0 << 1 << QStringList{"True", "False", "False"};
    QTest::newRow("text, empty is not null") << "note" << T << TypeCode::LongWideText << 0 << 0 << QStringList{"東京", null, ""};
    QTest::newRow("integer expression") << "twice" << I << TypeCode::BigInt << 0 << 8 << QStringList{"2", "4", "6"};
    QTest::newRow("real expression") << "half" << D << TypeCode::Double << 0 << 8 << QStringList{"0.5", "1", "1.5"};
    QTest::newRow("text expression") << "label" << T << TypeCode::WideText << 0 << 0 << QStringList{"n1", "n2", "n3"};
}

void tst_SearchFile::columns()
{
    QFETCH(QString, column);
    QFETCH(QStringList, shown);
    auto r = loadSearchFile(m_typed, QStringLiteral("s3cret"),
                            QStringLiteral("SELECT *, id * 2 AS twice, id / 2.0 AS half, 'n' || id AS label FROM c ORDER BY id"));
    QVERIFY2(r.ok(), r.ok() ? "" : qPrintable(r.failure().description));
    const RecordTable &t = *r.value();
    const int col = t.columnIndex(column);
    QVERIFY(col >= 0);
    const ColumnInfo &info = t.column(col);
    QTEST(int(info.type), "type");
    QTEST(info.typeCode, "code");
    QTEST(info.scale, "scale");
    QTEST(info.definedSize, "size");
    QStringList got;
    for (int row = 0; row < t.rowCount(); ++row)
        got << (t.isNull(row, col) ? QStringLiteral("<null>") : t.displayText(row, col));
    QCOMPARE(got, shown);
}

QTEST_GUILESS_MAIN(tst_SearchFile)
#include "tst_searchfile.moc"
