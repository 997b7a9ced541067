#include "datatesting.h"

#include <QDate>
#include <QDateTime>
#include <QTest>

using namespace velmora;
using test::column;

namespace {

// id INTEGER, cost NUMERIC(15,2), ratio DOUBLE, daterec DATE, stamp TIMESTAMP, model VARCHAR, flag BOOLEAN
RecordTable sampleTable()
{
    RecordTable::Builder b;
    b.addColumn(column("id", ColumnType::Integer, TypeCode::Integer));
    b.addColumn(column("cost", ColumnType::Integer, TypeCode::Numeric, 2));
    b.addColumn(column("ratio", ColumnType::Double, TypeCode::Double));
    b.addColumn(column("daterec", ColumnType::Date, TypeCode::DbDate));
    b.addColumn(column("stamp", ColumnType::Timestamp, TypeCode::DbTimeStamp));
    b.addColumn(column("Model", ColumnType::Text, TypeCode::WideText));
    b.addColumn(column("flag", ColumnType::Boolean, TypeCode::Boolean));
    b.reserve(3);
    const auto jd = std::int32_t(QDate(2024, 2, 29).toJulianDay());
    // row 0
    b.appendInteger(0, 1);
    b.appendInteger(1, 123450);
    b.appendReal(2, 0.5);
    b.appendDate(3, jd);
    b.appendTimestamp(4, TimeValue::fromParts(jd, 13 * 3600000 + 5 * 60000 + 7000));
    b.appendText(5, u"TV-100");
    b.appendInteger(6, 1);
    // row 1: nulls everywhere but id
    b.appendInteger(0, 2);
    for (int c = 1; c < 7; ++c)
        b.appendNull(c);
    // row 2
    b.appendInteger(0, 3);
    b.appendInteger(1, -5);
    b.appendReal(2, -2.25);
    b.appendDate(3, jd + 1);
    b.appendTimestamp(4, TimeValue::fromParts(jd + 1, 0));
    const QByteArray utf8 = QStringLiteral("TV-100").toUtf8();
    b.appendTextUtf8(5, utf8.constData(), int(utf8.size()));
    b.appendInteger(6, 0);
    return b.finish();
}

} // namespace

class tst_RecordTable : public QObject {
    Q_OBJECT

private slots:
    void shape();
    void largeTextColumnsReadBack_data();
    void largeTextColumnsReadBack();
    void setValue_data();
    void setValue();
};

void tst_RecordTable::shape()
{
    QString copy;
    QVariant value;
    {
        const RecordTable t = sampleTable();
        QCOMPARE(t.rowCount(), 3);
        QCOMPARE(t.columnCount(), 7);
        QCOMPARE(t.columnIndex(u"model"), 5);
        QCOMPARE(t.columnIndex(u"MODEL"), 5);
        QCOMPARE(t.columnIndex(u"nosuch"), -1);
        // "TV-100" twice (once from UTF-16, once from UTF-8) and the null's empty text.
        QCOMPARE(t.dictionarySize(5), 2);
        QCOMPARE(t.textCode(0, 5), t.textCode(2, 5));
        copy = t.text(0, 5);
        value = t.value(2, 5);
    }
    // Texts copied out outlive the table: overwrite its freed memory before looking at them.
    RecordTable::Builder b;
    b.addColumn(column("t", ColumnType::Text, TypeCode::WideText));
    for (int i = 0; i < 1000; ++i)
        b.appendText(0, QStringLiteral("filler %1 filler filler").arg(i));
    const RecordTable other = b.finish();
    QCOMPARE(copy, QStringLiteral("TV-100"));
    QCOMPARE(value.toString(), QStringLiteral("TV-100"));
}

// A value the user typed or the database returned, stored into a cell.
void tst_RecordTable::setValue_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("col");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("shown");
    QTest::newRow("money from text") << 0 << 1 << QVariant(QStringLiteral("99.99")) << "99.99";
    QTest::newRow("money from a double") << 0 << 1 << QVariant(0.1) << "0.10";
    QTest::newRow("timestamp with milliseconds") << 0 << 4 << QVariant(QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59, 500)))
                                                 << "1999-12-31 23:59:59.500";
    QTest::newRow("double") << 0 << 2 << QVariant(3.5) << "3.5";
    QTest::newRow("null into a column without nulls") << 2 << 0 << QVariant() << "";
    QTest::newRow("a null text filled") << 1 << 5 << QVariant(QStringLiteral("filled")) << "filled";
    QTest::newRow("a null integer filled") << 1 << 1 << QVariant(qint64(42)) << "42.00";
}

void tst_RecordTable::setValue()
{
    QFETCH(int, row);
    QFETCH(int, col);
    QFETCH(QVariant, value);
    QFETCH(QString, shown);
    RecordTable t = sampleTable();
    const int codeOfOtherRow = t.column(col).type == ColumnType::Text ? t.textCode(2, col) : 0;
    t.setValue(row, col, value);
    QCOMPARE(t.displayText(row, col), shown);
    QCOMPARE(t.isNull(row, col), !value.isValid());
    bool anyNull = false;
    for (int r = 0; r < t.rowCount(); ++r)
        anyNull = anyNull || t.isNull(r, col);
    QCOMPARE(t.hasNulls(col), anyNull);   // the fast path for columns without nulls must not be taken wrongly
    if (t.column(col).type == ColumnType::Text) {
        QCOMPARE(t.textCode(2, col), codeOfOtherRow);   // the other rows keep their texts
        t.setValue(2, col, value);
        QCOMPARE(t.textCode(row, col), t.textCode(2, col));   // and equal texts share a code
    }
    t.setValue(row, col, QVariant());
    t.setValue(row, col, value);
    QCOMPARE(t.displayText(row, col), shown);
}

// Columns long enough for the dictionary to grow many times and for a column of all-different
// texts to be told apart from one that repeats; every row must read back as it went in, whether
// or not its look-up was announced first, and again after a row is removed (null bits then move
// across the words that hold them: with nulls every 7th row, row 64's moves to row 63).
void tst_RecordTable::largeTextColumnsReadBack_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("distinct");   // 0: every row its own text, then repeats of earlier ones
    QTest::addColumn<int>("nullEvery");  // 0: no nulls
    QTest::addColumn<bool>("announce");
    QTest::newRow("all different with nulls") << 80000 << 0 << 50 << false;
    QTest::newRow("few values") << 90000 << 12 << 7 << true;
    QTest::newRow("many values, repeated") << 120000 << 40000 << 97 << true;
}

void tst_RecordTable::largeTextColumnsReadBack()
{
    QFETCH(int, rows);
    QFETCH(int, distinct);
    QFETCH(int, nullEvery);
    QFETCH(bool, announce);
    const int unique = 70000;   // rows of their own before the repeats start
    auto textOf = [&](int r) -> QByteArray {
        const int v = distinct ? int((std::uint64_t(r) * 2654435761u) % std::uint64_t(distinct))
                               : (r < unique ? r : (r * 7) % unique);
        // Lengths vary so that equal prefixes and equal hashes of different lengths are exercised.
        // Two-, three- and four-byte UTF-8 sequences.
        return QByteArray("item-") + QByteArray::number(v) + QByteArray(v % 5, 'x') + "-\xc3\xbc\xe6\x9d\xb1\xf0\x9f\x98\x80";
    };
    auto isNullRow = [&](int r) { return nullEvery && r % nullEvery == 1; };
    RecordTable::Builder b;
    b.addColumn(column("t", ColumnType::Text, TypeCode::WideText));
    for (int r = 0; r < rows; ++r) {
        if (isNullRow(r)) {
            b.appendNull(0);
            continue;
        }
        const QByteArray text = textOf(r);
        if (announce && r % 3)
            b.prepareTextUtf8(0, text.constData(), int(text.size()));
        b.appendTextUtf8(0, text.constData(), int(text.size()));
    }
    RecordTable t = b.finish();
    const auto readsBack = [&](int removed) {
        QCOMPARE(t.rowCount(), rows - (removed >= 0));
        for (int r = 0; r < t.rowCount(); ++r) {
            const int was = removed >= 0 && r >= removed ? r + 1 : r;
            QCOMPARE(t.isNull(r, 0), isNullRow(was));
            if (!isNullRow(was) && t.text(r, 0) != QString::fromUtf8(textOf(was)))
                QFAIL(qPrintable(QStringLiteral("row %1 reads %2").arg(r).arg(t.text(r, 0))));
        }
    };
    readsBack(-1);
    if (distinct) {
        // Repeating texts are stored once each (and nulls once).
        QCOMPARE(t.dictionarySize(0), distinct + (nullEvery ? 1 : 0));
        for (int r = 0; r + distinct < rows; r += 101)
            if (!isNullRow(r) && !isNullRow(r + distinct))
                QCOMPARE(t.textCode(r + distinct, 0), t.textCode(r, 0));
    }
    t.removeRow(10);
    readsBack(10);
}

QTEST_GUILESS_MAIN(tst_RecordTable)
#include "tst_recordtable.moc"
