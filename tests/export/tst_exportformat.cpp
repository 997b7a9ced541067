#include "export/exportformat.h"

#include <QTest>

using namespace velmora;
namespace exf = velmora::exportformat;

class tst_ExportFormat : public QObject {
    Q_OBJECT
private slots:
    void numbers_data();
    void numbers();
    void scaledMatchesTheDouble();
    void times_data();
    void times();
    void writerByEnding_data();
    void writerByEnding();
};

void tst_ExportFormat::numbers_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<double>("value");
    QTest::addColumn<qint64>("scaled");   // -1: write value; else value is the scale
    QTest::addColumn<QString>("expected");
    QTest::newRow("a million has no exponent") << "en_US" << 1e6 << qint64(-1) << "1000000";
    QTest::newRow("no group separator") << "en_US" << 1234567.25 << qint64(-1) << "1234567.25";
    QTest::newRow("decimal comma") << "de_DE" << -12.5 << qint64(-1) << "-12,5";
    QTest::newRow("shortest, not 17 digits") << "en_US" << 0.1 << qint64(-1) << "0.1";
    QTest::newRow("1e15 takes an exponent") << "en_US" << 1e15 << qint64(-1) << "1E+15";
    QTest::newRow("1e-5 still plain") << "en_US" << 1e-5 << qint64(-1) << "0.00001";
    QTest::newRow("below 1e-5 an exponent") << "de_DE" << 2.5e-6 << qint64(-1) << "2,5E-06";
    QTest::newRow("money keeps a cent") << "de_DE" << 2.0 << qint64(-45005) << "-450,05";
    QTest::newRow("other digits") << "ar_EG" << 12.0 << qint64(-1) << QString::fromUtf8("\u0661\u0662");
}

void tst_ExportFormat::numbers()
{
    QFETCH(QString, locale);
    QFETCH(double, value);
    QFETCH(qint64, scaled);
    QFETCH(QString, expected);
    const auto style = exf::NumberStyle::of(QLocale(locale));
    QByteArray out;
    if (scaled == -1)
        exf::appendNumber(out, value, style);
    else
        exf::appendScaled(out, scaled, int(value), style);
    QCOMPARE(QString::fromUtf8(out), expected);
}

void tst_ExportFormat::scaledMatchesTheDouble()
{
    const auto style = exf::NumberStyle::of(QLocale(QStringLiteral("en_US")));
    for (qint64 v : {qint64(0), qint64(1), qint64(-7), qint64(10), qint64(123456789), qint64(99999999999999), qint64(100000),
                     qint64(4503599627370495)}) {
        for (int scale : {0, 1, 2, 4, 6, 9}) {
            QByteArray a, b;
            exf::appendScaled(a, v, scale, style);
            exf::appendNumber(b, double(v) / std::pow(10.0, scale), style);
            QCOMPARE(a, b);
        }
    }
}

// Times as a cell's text in a regional format, and in the name of an exported file of a kind.
void tst_ExportFormat::times_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<int>("kind");   // 0: a cell's text; 1, 2, 3: the name of a workbook, page or text file
    QTest::addColumn<QString>("expected");
    QTest::newRow("two-digit year widened") << "en_US" << QDateTime(QDate(1899, 12, 30), QTime(0, 0)) << 0 << "12/30/1899";
    QTest::newRow("24-hour locale") << "de_DE" << QDateTime(QDate(2024, 3, 5), QTime(7, 0, 1)) << 0 << "05.03.2024 07:00:01";
    QTest::newRow("midnight leaves the time out") << "en_GB" << QDateTime(QDate(2026, 12, 3), QTime(0, 0)) << 0 << "03/12/2026";
    QTest::newRow("no time at all, no text") << "en_US" << QDateTime() << 0 << "";
    QTest::newRow("afternoon spreadsheet") << "de_DE" << QDateTime(QDate(2026, 12, 3), QTime(14, 5, 9)) << 1
                                           << "/d/Sales export 12-03-2026 02-05-09 PM.xls";
    QTest::newRow("just after midnight, HTML") << "de_DE" << QDateTime(QDate(2026, 1, 9), QTime(0, 7, 0)) << 2
                                               << "/d/Sales export 01-09-2026 12-07-00 AM.html";
    QTest::newRow("noon, text") << "de_DE" << QDateTime(QDate(2026, 7, 4), QTime(12, 0, 1)) << 3
                                << "/d/Sales export 07-04-2026 12-00-01 PM.txt";
}

void tst_ExportFormat::times()
{
    QFETCH(QString, locale);
    QFETCH(QDateTime, when);
    QFETCH(int, kind);
    QTEST(kind ? exf::exportFileName(QStringLiteral("/d/"), QStringLiteral("Sales"), when, kind) : exf::generalDate(when, QLocale(locale)),
          "expected");
}

void tst_ExportFormat::writerByEnding_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("writer");
    QTest::newRow(".TXT") << "a.TXT" << int(exf::Writer::Text);
    QTest::newRow(".html") << "a.html" << int(exf::Writer::Html);
    QTest::newRow(".htm is a spreadsheet") << "a.htm" << int(exf::Writer::Spreadsheet);
    QTest::newRow(".csv is a spreadsheet") << "a.csv" << int(exf::Writer::Spreadsheet);
}

void tst_ExportFormat::writerByEnding()
{
    QFETCH(QString, name);
    QFETCH(int, writer);
    QCOMPARE(int(exf::writerFor(name)), writer);
}

QTEST_APPLESS_MAIN(tst_ExportFormat)
#include "tst_exportformat.moc"
