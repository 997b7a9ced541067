// Printing the grid to PDF files, read back with pdftotext and pdfinfo.

#include "gridtesting.h"
#include "../common/tools.h"
#include "grid/gridprint.h"
#include "grid/reportgrid.h"

#include <QPrinter>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace velmora;
using namespace velmora::test;

class tst_GridPrint : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY2(QFile::exists(QStringLiteral("/usr/bin/pdftotext")), "pdftotext (poppler-utils) is needed");
    }

    void init()
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

    void cleanup()
    {
        m_grid.reset();
    }

    // In landscape with an inch on the left: header parts, page number, group captions and totals.
    void headerPartsFooterPageAndTotals()
    {
        m_grid->groups().add(2, 1);
        m_grid->regroup();
        m_grid->printerSettings().orientation = 2;
        m_grid->printerSettings().marginLeft = 1440;
        QSignalSpy pages(m_grid.get(), &ReportGrid::printPage);
        const QString text = printToPdf();
        QCOMPARE(pages.count(), 1);
        QCOMPARE(pages.first(), (QVariantList{1, 1}));
        // The header parts sit on one line: left, centre, right in that order.
        QVERIFY2(text.section(u'\n', 0, 0).contains(
                     QRegularExpression(QStringLiteral("Inventory Report +Main Street +Store#: 7 +12/06/2026"))),
                 qPrintable(text));
        for (const char *shown : {"Page 1 of 1", "category: TV (4)", "category: AUDIO (3)", "2,849.48", "Count: 4",
                                  "Plasma 42", "Unsorted part"})
            QVERIFY2(text.contains(QLatin1String(shown)), shown);
        // pdftotext's boxes: the page is wider than high, and the first word starts 72 points in.
        const QString boxes = tool("pdftotext", {"-bbox", m_file, "-"});
        const auto page = QRegularExpression(QStringLiteral("<page width=\"([\\d.]+)\" height=\"([\\d.]+)\"")).match(boxes);
        const auto word = QRegularExpression(QStringLiteral("<word xMin=\"([\\d.]+)\"")).match(boxes);
        QVERIFY2(page.captured(1).toDouble() > page.captured(2).toDouble(), qPrintable(boxes.left(400)));
        QVERIFY2(qAbs(word.captured(1).toDouble() - 72) < 2, qPrintable(boxes.left(400)));
    }

    void fitToWidthKeepsEveryColumn_data()
    {
        // Continued pages that repeat the first column are rows of the page arithmetic's table.
        QTest::addColumn<bool>("fit");
        QTest::newRow("fit columns to the page") << true;
        QTest::newRow("columns as wide as on screen continue on the next pages") << false;
    }

    void fitToWidthKeepsEveryColumn()
    {
        QFETCH(bool, fit);
        for (int c = 1; c <= m_grid->columnCount(); ++c)
            m_grid->column(c)->setWidth(300);   // 1800 px: far wider than a portrait page
        m_grid->printerSettings().fitColumnsToPage = fit;
        QSignalSpy pages(m_grid.get(), &ReportGrid::printPage);
        const QString text = printToPdf();
        // Nothing is lost at the paper's edge either way: every caption and the last column's values.
        for (const char *shown : {"id", "category", "daterec", "2023-01-01"})
            QVERIFY2(text.contains(QLatin1String(shown)), qPrintable(text));
        const int total = pages.count();
        QCOMPARE(total == 1, fit);
        QVERIFY2(text.contains(QStringLiteral("Page %1 of %1").arg(total)), qPrintable(text));
        // Each page across repeats the header band but holds other columns.
        QCOMPARE(text.count(QStringLiteral("Inventory Report")), total);
        for (const char *caption : {"\\bdaterec\\b", "\\bid\\b"})
            QCOMPARE(text.count(QRegularExpression(QLatin1String(caption))), 1);
    }

    // Which selected rows are printed is checked through the viewer's print command; here, the edge.
    void nothingSelectedPrintsNothing()
    {
        m_grid->selectRows({});
        QSignalSpy pages(m_grid.get(), &ReportGrid::printPage);
        QCOMPARE(printToPdf(true), QString());
        QCOMPARE(pages.count(), 0);
        QVERIFY(!QFile::exists(m_file));
    }

    void pagesByArithmeticMatchThePrint_data()
    {
        QTest::addColumn<bool>("grouped");
        QTest::addColumn<bool>("collapsed");
        QTest::addColumn<bool>("repeatHeaders");
        QTest::addColumn<int>("columnWidth");   // 0: as they are; wider ones continue across pages
        QTest::newRow("grouped") << true << false << true << 0;
        QTest::newRow("grouped and collapsed") << true << true << true << 0;
        QTest::newRow("headers on the first page only") << true << false << false << 0;
        QTest::newRow("wide columns continued across") << false << false << true << 300;
    }

    void pagesByArithmeticMatchThePrint()
    {
        QFETCH(bool, grouped);
        QFETCH(bool, collapsed);
        QFETCH(bool, repeatHeaders);
        QFETCH(int, columnWidth);
        manyRows(500);
        // Collapsed, one group per row, so that the report has pages of group rows.
        if (grouped)
            m_grid->groups().add(collapsed ? 1 : 2, 1);
        m_grid->regroup(collapsed);
        m_grid->printerSettings().fitColumnsToPage = columnWidth == 0;
        m_grid->printerSettings().repeatHeaders = repeatHeaders;
        m_grid->printerSettings().repeatFrozenColumns = true;
        if (columnWidth)
            for (int c = 1; c <= m_grid->columnCount(); ++c)
                m_grid->column(c)->setWidth(columnWidth);

        QPrinter printer(QPrinter::HighResolution);
        setUp(printer);
        const GridPages pages(*m_grid, &printer, false);
        QVERIFY(pages.pageCount() >= 3);
        QSignalSpy told(m_grid.get(), &ReportGrid::printPage);
        QVERIFY(m_grid->print(false, false, &printer));
        QCOMPARE(told.count(), pages.pageCount());
        QCOMPARE(pdfPages(), pages.pageCount());
        const QString all = pdfText();
        if (!columnWidth)
            QCOMPARE(all.count(QRegularExpression(QStringLiteral("\\bdescription\\b"))), repeatHeaders ? pages.pageCount() : 1);
        if (!collapsed)   // every record printed once
            QCOMPARE(all.count(QRegularExpression(QStringLiteral("\\bitem\\b"))), 500);

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
            const QString text = pdfText(page);
            const QString where = QStringLiteral("page %1, rows %2-%3\n").arg(page).arg(first).arg(last) + text;
            QVERIFY2(text.contains(QStringLiteral("Page %1 of %2").arg(page).arg(pages.pageCount())), qPrintable(where));
            for (int pos : {first, last})
                QVERIFY2(label(pos).pattern().isEmpty() || text.contains(label(pos)), qPrintable(where));
            for (int pos : {first - 1, last + 1})
                if (pos >= 1 && pos <= m_grid->rowCount())
                    QVERIFY2(label(pos).pattern().isEmpty() || !text.contains(label(pos)), qPrintable(where));
        }
        QCOMPARE(lastShown, m_grid->rowCount());
    }

    void stoppedPrintEndsAtThePage()
    {
        manyRows(300);
        QPrinter printer(QPrinter::HighResolution);
        setUp(printer);
        const GridPages pages(*m_grid, &printer, false);
        QVERIFY(pages.pageCount() >= 4);
        QList<int> told;
        QVERIFY(!pages.print(&printer, [&](int page, int count) {
            told << page;
            return count > 0 && page < 3;
        }));
        QCOMPARE(told, (QList<int>{1, 2, 3}));
        QCOMPARE(pdfPages(), 2);
    }
private:
    // A printer writing this test's PDF file with the grid's page layout.
    void setUp(QPrinter &printer)
    {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(m_file);
        m_grid->applyPageLayout(&printer);
    }
    // The grid printed to this test's PDF file: the text of every page, or empty when it printed nothing.
    QString printToPdf(bool selectedOnly = false)
    {
        QPrinter printer(QPrinter::HighResolution);
        setUp(printer);
        return m_grid->print(false, selectedOnly, &printer) ? pdfText() : QString();
    }
    // `count` rows of "item" over eight categories, ids from 100000, costs from 1.00.
    void manyRows(int count)
    {
        static const char *const categories[] = {"TV", "AUDIO", "APPLIANCE", "VIDEO", "PHONE", "CAMERA", "GAMES", "DESK"};
        std::vector<InvRow> rows;
        for (int i = 0; i < count; ++i)
            rows.push_back({100000 + i, categories[(i * 5) % 8], 1 + i % 4, "item", 100 + i, QDate(2020, 1, 1)});
        m_grid->setTable(inventoryTable(rows));
    }
    static QString tool(const char *name, const QStringList &args)
    {
        return runTool(QStringLiteral("/usr/bin/") + QLatin1String(name), args).output;
    }
    QString pdfText(int page = 0) const
    {
        const QStringList pages = page ? QStringList{"-f", QString::number(page), "-l", QString::number(page)} : QStringList();
        return tool("pdftotext", QStringList{"-layout"} + pages + QStringList{m_file, "-"});
    }
    int pdfPages() const { return tool("pdfinfo", {m_file}).section(QStringLiteral("Pages:"), 1).section(u'\n', 0, 0).toInt(); }

    QTemporaryDir m_dir;
    std::unique_ptr<ReportGrid> m_grid;
    QString m_file;
    int m_count = 0;
};

QTEST_MAIN(tst_GridPrint)
#include "tst_gridprint.moc"
