// Printing the grid to PDF files, read back with pdftotext and pdfinfo.

#include "gridtesting.h"
#include "grid/gridprint.h"
#include "grid/reportgrid.h"

#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace velmora;
using namespace velmora::test;

class tst_GridPrint : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void headerPartsFooterPageAndTotals();
    void everyPageRepeatsColumnHeaders();
    void fitToWidthKeepsEveryColumn_data();
    void fitToWidthKeepsEveryColumn();
    void selectedRowsOnly();
    void nothingSelectedPrintsNothing();
    void landscapeAndMargins();
    void pagesByArithmeticMatchThePrint_data();
    void pagesByArithmeticMatchThePrint();
    void stoppedPrintEndsAtThePage();

private:
    QString printToPdf(bool selectedOnly, bool *ok = nullptr);
    static QString pdfText(const QString &file, int page = 0);
    static QString pdfInfo(const QString &file);

    QTemporaryDir m_dir;
    std::unique_ptr<ReportGrid> m_grid;
    QString m_file;
    int m_count = 0;
};

void tst_GridPrint::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY2(QFile::exists(QStringLiteral("/usr/bin/pdftotext")), "pdftotext (poppler-utils) is needed");
}

void tst_GridPrint::init()
{
    QLocale::setDefault(QLocale::c());
    m_grid = std::make_unique<ReportGrid>();
    m_grid->setTable(inventoryTable(sampleRows()));
    GridColumn *cost = m_grid->columnByKey(u"cost");
    cost->setAggregateFunction(2);
    cost->setTotalFormat(QStringLiteral("#,##0.00"));
    GridColumn *id = m_grid->columnByKey(u"id");
    id->setAggregateFunction(1);
    id->setTotalFormat(QStringLiteral("#0"));
    id->setTotalPrefix(QStringLiteral("Count:"));
    PrinterSettings &ps = m_grid->printerSettings();
    ps.headerLeft = QStringLiteral("Inventory Report");
    ps.headerCenter = QStringLiteral("Main Street  Store#: 7");
    ps.headerRight = QStringLiteral("12/06/2026");
    ps.fitColumnsToPage = true;   // the default column widths are a little wider than a portrait page
    // What the viewer does for every page.
    connect(m_grid.get(), &ReportGrid::printPage, this, [this](int n, int m) {
        m_grid->printerSettings().footerRight = QStringLiteral("Page %1 of %2").arg(n).arg(m);
    });
    m_file = m_dir.filePath(QStringLiteral("grid-%1.pdf").arg(++m_count));
}

void tst_GridPrint::cleanup()
{
    m_grid.reset();
}

QString tst_GridPrint::printToPdf(bool selectedOnly, bool *ok)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(m_file);
    const bool printed = m_grid->print(false, selectedOnly, &printer);
    if (ok)
        *ok = printed;
    return printed ? pdfText(m_file) : QString();
}

QString tst_GridPrint::pdfText(const QString &file, int page)
{
    QStringList args{QStringLiteral("-layout")};
    if (page > 0)
        args << QStringLiteral("-f") << QString::number(page) << QStringLiteral("-l") << QString::number(page);
    QProcess p;
    p.start(QStringLiteral("/usr/bin/pdftotext"), args << file << QStringLiteral("-"));
    if (!p.waitForFinished(30000))
        return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString tst_GridPrint::pdfInfo(const QString &file)
{
    QProcess p;
    p.start(QStringLiteral("/usr/bin/pdfinfo"), {file});
    if (!p.waitForFinished(30000))
        return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

void tst_GridPrint::headerPartsFooterPageAndTotals()
{
    m_grid->groups().add(2, 1);
    m_grid->regroup();
    QSignalSpy pages(m_grid.get(), &ReportGrid::printPage);
    bool ok = false;
    const QString text = printToPdf(false, &ok);
    QVERIFY(ok);
    QCOMPARE(pages.count(), 1);
    QCOMPARE(pages.first().at(0).toInt(), 1);
    QCOMPARE(pages.first().at(1).toInt(), 1);
    QVERIFY2(text.contains(QStringLiteral("Inventory Report")), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("Main Street Store#: 7")) || text.contains(QStringLiteral("Main Street  Store#: 7")));
    QVERIFY(text.contains(QStringLiteral("12/06/2026")));
    QVERIFY(text.contains(QStringLiteral("Page 1 of 1")));
    // The header parts sit on one line: left, centre, right in that order.
    const QString firstLine = text.section(QLatin1Char('\n'), 0, 0);
    QVERIFY(firstLine.indexOf(QStringLiteral("Inventory Report")) < firstLine.indexOf(QStringLiteral("Main Street")));
    QVERIFY(firstLine.indexOf(QStringLiteral("Main Street")) < firstLine.indexOf(QStringLiteral("12/06/2026")));
    QVERIFY(text.contains(QStringLiteral("category: TV (4)")));
    QVERIFY(text.contains(QStringLiteral("category: AUDIO (3)")));
    QVERIFY2(text.contains(QStringLiteral("2,849.48")), qPrintable(text));   // TV costs
    QVERIFY(text.contains(QStringLiteral("Count: 4")));
    QVERIFY(text.contains(QStringLiteral("Plasma 42")));
    QVERIFY(text.contains(QStringLiteral("Unsorted part")));
}

void tst_GridPrint::everyPageRepeatsColumnHeaders()
{
    std::vector<InvRow> rows;
    for (int i = 0; i < 300; ++i)
        rows.push_back({i + 1, i % 3 ? "TV" : "AUDIO", 1 + i % 4, "item", 100 + i, QDate(2020, 1, 1)});
    m_grid->setTable(inventoryTable(rows));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(m_file);
    m_grid->applyPageLayout(&printer);
    const int expected = m_grid->pageCount(&printer, false);
    QVERIFY(expected >= 3);
    QSignalSpy pages(m_grid.get(), &ReportGrid::printPage);
    QVERIFY(m_grid->print(false, false, &printer));
    QCOMPARE(pages.count(), expected);
    const QString text = pdfText(m_file);
    QVERIFY2(pdfInfo(m_file).contains(QRegularExpression(QStringLiteral("Pages:\\s+%1\\n").arg(expected))), qPrintable(pdfInfo(m_file)));
    for (int n = 1; n <= expected; ++n)
        QVERIFY2(text.contains(QStringLiteral("Page %1 of %2").arg(n).arg(expected)), qPrintable(QString::number(n)));
    QCOMPARE(text.count(QRegularExpression(QStringLiteral("\\bdescription\\b"))), expected);
    QCOMPARE(text.count(QStringLiteral("Inventory Report")), expected);
    // Every record is printed once.
    QVERIFY(text.contains(QStringLiteral("3.99")));    // id 300 costs 399 cents
    QCOMPARE(text.count(QRegularExpression(QStringLiteral("\\bitem\\b"))), 300);

    // Headers on the first page only when repeating is off.
    m_grid->printerSettings().repeatHeaders = false;
    m_file = m_dir.filePath(QStringLiteral("norepeat.pdf"));
    printer.setOutputFileName(m_file);
    QVERIFY(m_grid->print(false, false, &printer));
    QCOMPARE(pdfText(m_file).count(QRegularExpression(QStringLiteral("\\bdescription\\b"))), 1);
}

void tst_GridPrint::fitToWidthKeepsEveryColumn_data()
{
    QTest::addColumn<bool>("fit");
    QTest::addColumn<bool>("repeatFirstColumn");
    QTest::addColumn<bool>("onePage");
    QTest::newRow("fit columns to the page") << true << false << true;
    QTest::newRow("columns as wide as on screen continue on the next pages") << false << false << false;
    QTest::newRow("continued pages repeat the first column") << false << true << false;
}

void tst_GridPrint::fitToWidthKeepsEveryColumn()
{
    QFETCH(bool, fit);
    QFETCH(bool, repeatFirstColumn);
    QFETCH(bool, onePage);
    for (int c = 1; c <= m_grid->columnCount(); ++c)
        m_grid->column(c)->setWidth(300);   // 1800 px: far wider than a portrait page
    m_grid->printerSettings().fitColumnsToPage = fit;
    m_grid->printerSettings().repeatFrozenColumns = repeatFirstColumn;
    QSignalSpy pages(m_grid.get(), &ReportGrid::printPage);
    bool ok = false;
    const QString text = printToPdf(false, &ok);
    QVERIFY(ok);
    // Nothing is lost at the paper's edge either way: every caption and the last column's values.
    for (const char *caption : {"id", "category", "daterec"})
        QVERIFY2(text.contains(QString::fromLatin1(caption)), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("2023-01-01")));
    QCOMPARE(pages.count() == 1, onePage);
    const int total = pages.count();
    for (int n = 1; n <= total; ++n)
        QVERIFY2(text.contains(QStringLiteral("Page %1 of %2").arg(n).arg(total)), qPrintable(text));
    if (!onePage) {
        // Each page across repeats the header band but holds other columns.
        QCOMPARE(text.count(QStringLiteral("Inventory Report")), total);
        QCOMPARE(text.count(QRegularExpression(QStringLiteral("\\bdaterec\\b"))), 1);
        QCOMPARE(text.count(QRegularExpression(QStringLiteral("\\bid\\b"))), repeatFirstColumn ? total : 1);
    }
}

void tst_GridPrint::selectedRowsOnly()
{
    m_grid->selectRows({2, 6});
    bool ok = false;
    const QString text = printToPdf(true, &ok);
    QVERIFY(ok);
    QVERIFY(text.contains(QStringLiteral("Receiver")));
    QVERIFY(text.contains(QStringLiteral("OLED 55")));
    QVERIFY(!text.contains(QStringLiteral("Plasma 42")));
    QVERIFY(!text.contains(QStringLiteral("Washer")));
}

void tst_GridPrint::nothingSelectedPrintsNothing()
{
    m_grid->selectRows({});
    QSignalSpy pages(m_grid.get(), &ReportGrid::printPage);
    bool ok = true;
    printToPdf(true, &ok);
    QVERIFY(!ok);
    QCOMPARE(pages.count(), 0);
}

void tst_GridPrint::landscapeAndMargins()
{
    m_grid->printerSettings().orientation = 2;
    m_grid->printerSettings().marginLeft = 1440;
    QPrinter printer(QPrinter::HighResolution);
    m_grid->applyPageLayout(&printer);
    QCOMPARE(printer.pageLayout().orientation(), QPageLayout::Landscape);
    QCOMPARE(printer.pageLayout().margins(QPageLayout::Point).left(), 72.0);
    QCOMPARE(printer.pageLayout().margins(QPageLayout::Point).top(), 36.0);
    bool ok = false;
    printToPdf(false, &ok);
    QVERIFY(ok);
    // pdfinfo reports the page as wider than high.
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("Page size:\\s+([0-9.]+) x ([0-9.]+)")).match(pdfInfo(m_file));
    QVERIFY(m.hasMatch());
    QVERIFY(m.captured(1).toDouble() > m.captured(2).toDouble());
}

void tst_GridPrint::pagesByArithmeticMatchThePrint_data()
{
    QTest::addColumn<bool>("grouped");
    QTest::addColumn<bool>("collapsed");
    QTest::addColumn<bool>("fit");
    QTest::addColumn<bool>("repeatHeaders");
    QTest::addColumn<int>("columnWidth");   // 0: as they are
    QTest::newRow("grouped") << true << false << true << true << 0;
    QTest::newRow("grouped and collapsed") << true << true << true << true << 0;
    QTest::newRow("wide columns fitted to the width") << false << false << true << true << 300;
    QTest::newRow("headers on the first page only") << true << false << true << false << 0;
    QTest::newRow("wide columns continued across") << false << false << false << true << 300;
}

void tst_GridPrint::pagesByArithmeticMatchThePrint()
{
    QFETCH(bool, grouped);
    QFETCH(bool, collapsed);
    QFETCH(bool, fit);
    QFETCH(bool, repeatHeaders);
    QFETCH(int, columnWidth);
    static const char *const categories[] = {"TV", "AUDIO", "APPLIANCE", "VIDEO", "PHONE", "CAMERA", "GAMES", "DESK"};
    std::vector<InvRow> rows;
    for (int i = 0; i < 500; ++i)
        rows.push_back({100000 + i, categories[(i * 5) % 8], 1 + i % 4, "item", 100 + i, QDate(2020, 1, 1)});
    m_grid->setTable(inventoryTable(rows));
    if (grouped) {
        m_grid->groups().add(2, 1);
        m_grid->regroup();
    }
    if (collapsed) {
        // One group per row, so that the collapsed report has pages of group rows.
        m_grid->groups().clear();
        m_grid->groups().add(1, 1);
        m_grid->regroup();
        m_grid->collapseAll();
    }
    m_grid->printerSettings().fitColumnsToPage = fit;
    m_grid->printerSettings().repeatHeaders = repeatHeaders;
    m_grid->printerSettings().repeatFrozenColumns = true;
    if (columnWidth)
        for (int c = 1; c <= m_grid->columnCount(); ++c)
            m_grid->column(c)->setWidth(columnWidth);

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(m_file);
    m_grid->applyPageLayout(&printer);
    const GridPages pages(*m_grid, &printer, false);
    QVERIFY(pages.pageCount() >= 3);
    QVERIFY(m_grid->print(false, false, &printer));
    QVERIFY2(pdfInfo(m_file).contains(QRegularExpression(QStringLiteral("Pages:\\s+%1\\n").arg(pages.pageCount()))),
             qPrintable(pdfInfo(m_file)));

    // A row is told by its id, a group row by its caption.
    const auto label = [this](int pos) {
        const GridRow r = m_grid->row(pos);
        if (r.type == GridRowType::Record)
            return QRegularExpression(QStringLiteral("\\b%1\\b").arg(m_grid->text(pos, 1)));
        if (r.type == GridRowType::GroupHeader)
            return QRegularExpression(QRegularExpression::escape(m_grid->groupCaption(pos)));
        return QRegularExpression();
    };
    int lastShown = 0;
    for (int page = 1; page <= pages.pageCount(); ++page) {
        const auto [first, last] = pages.rowsOn(page);
        QVERIFY(first >= 1 && last >= first);
        QVERIFY(first <= lastShown + 1);   // no row is skipped between pages
        lastShown = last;
        const QString text = pdfText(m_file, page);
        const QString where = QStringLiteral("page %1, rows %2-%3").arg(page).arg(first).arg(last);
        for (int pos : {first, last}) {
            const QRegularExpression shown = label(pos);
            if (!shown.pattern().isEmpty())
                QVERIFY2(text.contains(shown), qPrintable(where + QStringLiteral(": row %1 missing\n").arg(pos) + text));
        }
        for (int pos : {first - 1, last + 1}) {
            if (pos < 1 || pos > m_grid->rowCount())
                continue;
            const QRegularExpression other = label(pos);
            if (!other.pattern().isEmpty())
                QVERIFY2(!text.contains(other), qPrintable(where + QStringLiteral(": row %1 also there\n").arg(pos) + text));
        }
    }
    QCOMPARE(lastShown, m_grid->rowCount());
}

void tst_GridPrint::stoppedPrintEndsAtThePage()
{
    std::vector<InvRow> rows;
    for (int i = 0; i < 300; ++i)
        rows.push_back({i + 1, "TV", 1, "item", 100, QDate(2020, 1, 1)});
    m_grid->setTable(inventoryTable(rows));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(m_file);
    m_grid->applyPageLayout(&printer);
    const GridPages pages(*m_grid, &printer, false);
    QVERIFY(pages.pageCount() >= 4);
    QList<int> told;
    QVERIFY(!pages.print(&printer, [&](int page, int count) {
        told << page;
        return count > 0 && page < 3;
    }));
    QCOMPARE(told, (QList<int>{1, 2, 3}));
    QVERIFY2(pdfInfo(m_file).contains(QRegularExpression(QStringLiteral("Pages:\\s+2\\n"))), qPrintable(pdfInfo(m_file)));
}

QTEST_MAIN(tst_GridPrint)
#include "tst_gridprint.moc"
