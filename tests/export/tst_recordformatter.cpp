// The fast record formatter against the plain rules: every cell read through ExportTable::read(),
// written by the locale (numberText, generalDate) and joined by textRecord()/htmlRecord(), must
// give the same bytes, in regional formats with other digits, signs and AM/PM texts.

#include "../data/datatesting.h"
#include "export/exportformat.h"
#include "export/mExport.h"
#include "export/recordformatter.h"

#include <QBuffer>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <random>

using namespace velmora;
using test::column;
namespace exf = velmora::exportformat;

namespace {

// Every kind of cell and source, a null in every seventh row, texts that repeat and texts that do
// not, dates across more years than the formatter keeps without collisions; records shuffled, and
// every tenth row left out as a filtered grid would.
ExportTable sampleTable(int rows)
{
    const QStringList texts{QString(), QStringLiteral("a|b"), QStringLiteral("<script>&\"x\"</script>"),
                            QStringLiteral("Zoë 日本"), QStringLiteral("pair \U0001F600"),
                            QString(QChar(0xD800)) + QStringLiteral("lone"), QString(300, u'y'), QStringLiteral("12,5")};
    RecordTable::Builder b;
    for (const ColumnInfo &c : {column("repeats", ColumnType::Text), column("distinct", ColumnType::Text),
                                column("money", ColumnType::Integer, TypeCode::Numeric, 2), column("count", ColumnType::Integer),
                                column("real", ColumnType::Double), column("day", ColumnType::Date),
                                column("stamp", ColumnType::Timestamp), column("flag", ColumnType::Boolean)})
        b.addColumn(c);
    std::mt19937_64 random(7);
    const double reals[] = {0.1, -2.5, 1e20, 1.5e-7, 123456.789, 1e15, 0, qInf()};
    const std::int64_t firstDay = QDate(1800, 1, 1).toJulianDay();
    for (int r = 0; r < rows; ++r) {
        const auto pick = [&random](std::uint64_t n) { return random() % n; };
        for (int c = 0; c < 8; ++c) {
            if (pick(7) == 0) {
                b.appendNull(c);
                continue;
            }
            switch (c) {
            case 0: b.appendText(c, texts.at(int(pick(8)))); break;
            case 1: b.appendText(c, QStringLiteral("r%1 ").arg(r) + texts.at(r % 8)); break;
            case 2: b.appendInteger(c, r == 1 ? std::int64_t(1) << 60 : std::int64_t(pick(2'000'000'000)) - 1'000'000'000); break;
            case 3: b.appendInteger(c, std::int64_t(pick(100'000)) - 50'000); break;
            case 4: b.appendReal(c, reals[pick(8)] * (pick(2) ? 1 : -1)); break;
            case 5: b.appendDate(c, std::int32_t(firstDay + std::int64_t(pick(128'000)))); break;
            case 6: b.appendTimestamp(c, TimeValue::fromParts(firstDay + std::int64_t(pick(128'000)),
                                                              pick(3) ? std::int64_t(pick(86'400'000)) : 0));
                break;
            default: b.appendInteger(c, std::int64_t(pick(2))); break;
            }
        }
    }
    auto table = std::make_shared<RecordTable>(b.finish());
    using T = ExportTable::FieldType;
    std::vector<ExportTable::Field> fields{{QStringLiteral("repeats"), T::Text, 0},   {QStringLiteral("distinct"), T::Text, 1},
                                           {QStringLiteral("money"), T::Double, 2},   {QStringLiteral("count"), T::Double, 3},
                                           {QStringLiteral("real"), T::Double, 4},    {QStringLiteral("day"), T::TimeStamp, 5},
                                           {QStringLiteral("stamp"), T::TimeStamp, 6}, {QStringLiteral("flag"), T::Double, 7},
                                           {QStringLiteral("parsed"), T::Double, 0},  {QStringLiteral("day text"), T::Text, 5},
                                           {QStringLiteral("unbound"), T::Text, -1}};
    std::vector<std::int32_t> order;
    for (int r = 0; r < rows; ++r) {
        if (r % 10 != 9)
            order.push_back(r);
    }
    std::shuffle(order.begin(), order.end(), random);
    return ExportTable(table, std::move(fields), std::move(order));
}

// The records as the plain rules write them.
QByteArray expectedRecords(const ExportTable &table, const QLocale &locale, bool html)
{
    const exf::DateStyle dates = exf::DateStyle::of(locale);
    QByteArray out;
    ExportTable::Cell cell;
    for (int r = 0; r < table.recordCount(); ++r) {
        QStringList values;
        for (int f = 0; f < table.fieldCount(); ++f) {
            table.read(r, f, cell);
            switch (cell.kind) {
            case ExportTable::Cell::Null: values << QString(); break;
            case ExportTable::Cell::Scaled: values << exf::numberText(double(cell.integer) / std::pow(10.0, cell.scale), locale); break;
            case ExportTable::Cell::Real: values << exf::numberText(cell.real, locale); break;
            case ExportTable::Cell::Time: values << exf::generalDate(cell.integer, dates); break;
            case ExportTable::Cell::Text:
                values << (cell.code == ExportTable::kNoCode ? cell.text : table.table()->dictionaryText(table.field(f).source, cell.code));
                break;
            }
        }
        out += html ? exf::htmlRecord(values) : exf::textRecord(values);
    }
    return out;
}

} // namespace

class tst_RecordFormatter : public QObject {
    Q_OBJECT
private slots:
    void sameBytesAsTheRules_data();
    void sameBytesAsTheRules();
    void writersHandOverEveryPiece();
};

void tst_RecordFormatter::sameBytesAsTheRules_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<bool>("html");
    QTest::addColumn<bool>("asUsed");   // no dictionary converted up front
    for (const char *name : {"C", "en_US", "de_DE", "bg_BG", "ar_EG", "fa_IR", "ja_JP"}) {
        QTest::addRow("%s text", name) << QString::fromLatin1(name) << false << false;
        QTest::addRow("%s HTML", name) << QString::fromLatin1(name) << true << false;
    }
    QTest::addRow("de_DE text, texts as used") << QStringLiteral("de_DE") << false << true;
    QTest::addRow("en_US HTML, texts as used") << QStringLiteral("en_US") << true << true;
}

void tst_RecordFormatter::sameBytesAsTheRules()
{
    QFETCH(QString, locale);
    QFETCH(bool, html);
    QFETCH(bool, asUsed);
    const ExportTable table = sampleTable(3000);
    RecordFormatter records(table, html ? RecordFormatter::Form::Html : RecordFormatter::Form::Text, QLocale(locale),
                            asUsed ? RecordFormatter::Dictionaries::AsUsed : RecordFormatter::Dictionaries::Converted);
    ByteSink out;
    // Pieces of every size, so that batches start and end anywhere.
    for (int r = 0, n = 1; r < table.recordCount(); r += n, n = n * 3 % 97)
        records.append(out, r, std::min(table.recordCount(), r + n));
    const QByteArray expected = expectedRecords(table, QLocale(locale), html);
    const QByteArray got(out.data(), qsizetype(out.size()));
    // The first difference in its context (none at all: both empty).
    const qsizetype at = std::mismatch(got.begin(), got.end(), expected.begin(), expected.end()).first - got.begin();
    QCOMPARE(QString::fromUtf8(got.mid(at - 40, 100)), QString::fromUtf8(expected.mid(at - 40, 100)));
}

void tst_RecordFormatter::writersHandOverEveryPiece()
{
    // Several megabytes: the pieces pass through every buffer and must reach the file in order.
    const ExportTable table = sampleTable(40000);
    QStringList names;
    for (int f = 0; f < table.fieldCount(); ++f)
        names << table.field(f).name;
    QBuffer text;
    text.open(QIODevice::WriteOnly);
    QCOMPARE(WriteText(table, text).value(), table.recordCount());
    QVERIFY2(text.size() > 4 << 20, qPrintable(QString::number(text.size())));
    QVERIFY(text.data() == exf::textRecord(names) + expectedRecords(table, QLocale::system(), false));

    QBuffer page;
    page.open(QIODevice::WriteOnly);
    QCOMPARE(WriteHtml(table, page, PageInfo{}).value(), table.recordCount());
    const QByteArray rows = exf::htmlHeader(names) + "</tr>\r\n" + expectedRecords(table, QLocale::system(), true) +
                            "</table>\r\n\r\n<p>End of export - " + QByteArray::number(table.recordCount()) + " records exported.";
    QVERIFY(page.data().contains(rows));
}

QTEST_GUILESS_MAIN(tst_RecordFormatter)
#include "tst_recordformatter.moc"
