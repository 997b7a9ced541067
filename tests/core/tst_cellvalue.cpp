// Typed cell texts read into the column's own representation: exact, in the user's locale and
// the C form, refused with the column's range or scale rather than rounded or wrapped.

#include "core/cellvalue.h"

#include <QTest>

using namespace velmora;

namespace {

// The value as one text: the integer as stored (scaled), doubles with every digit.
QString shown(const CellValue &v)
{
    if (const auto *i = std::get_if<std::int64_t>(&v))
        return QString::number(*i);
    if (const auto *d = std::get_if<double>(&v))
        return QString::number(*d, 'g', 17);
    if (const auto *day = std::get_if<QDate>(&v))
        return day->toString(Qt::ISODate);
    if (const auto *ts = std::get_if<QDateTime>(&v))
        return ts->toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    if (const auto *s = std::get_if<QString>(&v))
        return *s;
    return QStringLiteral("null");
}

} // namespace

class tst_CellValue : public QObject {
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("scale");
        QTest::addColumn<int>("bytes");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");   // the value, or "!" and a part of the refusal

        const int num = int(CellKind::Integer), real = int(CellKind::Real), date = int(CellKind::Date);
        const int ts = int(CellKind::Timestamp), time = int(CellKind::Time);
        QTest::newRow("numeric(18,4) past double precision") << "C" << num << 4 << 8 << "123456789012345.6789" << "1234567890123456789";
        QTest::newRow("numeric(18,4) smallest") << "en_US" << num << 4 << 8 << "-922,337,203,685,477.5808" << "-9223372036854775808";
        QTest::newRow("numeric(18,4) one past the largest names the range") << "en_US" << num << 4 << 8 << "922337203685477.5808"
                                                                            << "!from -922,337,203,685,477.5808 to 922,337,203,685,477.5807";
        QTest::newRow("twenty nines") << "C" << num << 4 << 8 << "99999999999999999999" << "!outside the range";
        QTest::newRow("bigint past 2^53") << "C" << num << 0 << 8 << "9007199254740993" << "9007199254740993";
        QTest::newRow("integer past the largest") << "C" << num << 0 << 4 << "2147483648" << "!to 2147483647";
        QTest::newRow("smallint smallest") << "C" << num << 0 << 2 << "-32768" << "-32768";
        QTest::newRow("smallint past the largest") << "C" << num << 0 << 2 << "32768" << "!from -32768 to 32767";
        QTest::newRow("numeric(9,2) stored in 32 bits") << "C" << num << 2 << 4 << "21474836.48" << "!to 21474836.47";
        QTest::newRow("excess decimal refused") << "C" << num << 2 << 8 << "1.234" << "!at most 2 decimals";
        QTest::newRow("trailing zeros are not decimals") << "C" << num << 2 << 8 << "1.2300" << "123";
        QTest::newRow("whole-number column refuses a fraction") << "C" << num << 0 << 8 << "12.5" << "!whole numbers only";
        QTest::newRow("German groups and decimal comma") << "de_DE" << num << 2 << 8 << "-1.234.567,89" << "-123456789";
        QTest::newRow("German user typing the C form") << "de_DE" << num << 2 << 8 << "1234.5" << "123450";
        QTest::newRow("French narrow-space groups") << "fr_FR" << num << 2 << 8 << QStringLiteral("1\u202F234,5") << "123450";
        QTest::newRow("comma not in groups of three is refused") << "en_US" << num << 2 << 8 << "1,5" << "!is not a number";
        QTest::newRow("double keeps the decimal") << "de_DE" << real << 0 << 8 << "0,1" << "0.10000000000000001";
        QTest::newRow("double overflow") << "C" << real << 0 << 8 << "1e309" << "!outside the range";
        QTest::newRow("float overflow") << "C" << real << 0 << 4 << "1e39" << "!outside the range";
        QTest::newRow("US short date, two-digit year") << "en_US" << date << 0 << 0 << "2/29/24" << "2024-02-29";
        QTest::newRow("German date, four-digit year") << "de_DE" << date << 0 << 0 << "29.02.2024" << "2024-02-29";
        QTest::newRow("no 30th of February") << "C" << date << 0 << 0 << "2024-02-30" << "!holds dates";
        QTest::newRow("timestamp with milliseconds") << "C" << ts << 0 << 0 << "2024-02-29 13:05:07.123" << "2024-02-29 13:05:07.123";
        QTest::newRow("timestamp of a local date and time") << "en_US" << ts << 0 << 0 << "2/29/24 1:05 PM" << "2024-02-29 13:05:00.000";
        QTest::newRow("hour 25") << "C" << ts << 0 << 0 << "2024-02-29 25:00" << "!dates with times";
        QTest::newRow("time in ten-thousandths") << "C" << time << 0 << 0 << "7:05:09.1234" << "07:05:09.1234";
        QTest::newRow("minute 60") << "C" << time << 0 << 0 << "13:60" << "!times of day";
    }

    void parse()
    {
        QFETCH(QString, locale);
        QFETCH(int, kind);
        QFETCH(int, scale);
        QFETCH(int, bytes);
        QFETCH(QString, text);
        QFETCH(QString, expected);
        const CellSpec col{.kind = CellKind(kind), .scale = scale, .bytes = bytes, .name = QStringLiteral("PRICE")};
        const auto r = parseCellValue(text, QLocale(locale), col);
        if (expected.startsWith(QLatin1Char('!'))) {
            const QString why = r.ok() ? shown(r.value()) : r.failure().description;
            QVERIFY2(!r.ok() && why.contains(expected.mid(1)) && why.contains(QStringLiteral("PRICE")), qPrintable(why));
        } else {
            QVERIFY2(r.ok(), r.ok() ? "" : qPrintable(r.failure().description));
            QCOMPARE(shown(r.value()), expected);
        }
    }
};

QTEST_GUILESS_MAIN(tst_CellValue)
#include "tst_cellvalue.moc"
