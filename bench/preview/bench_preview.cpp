// bench_preview [rows]   (default 1,000,000)
//
// Opening the print preview of a grouped inventory and jumping to its last page, with our page
// view that lays the pages out by arithmetic and paints only those on screen; beside it, in the
// same run, the eager way (Qt's QPrintPreviewWidget, which paints every page before it shows
// one) at 10,000 rows. Then printing the 100,000-row report to a PDF file page by page, beside
// the same pages rendered as preview images.

#include "data/recordtable.h"
#include "grid/gridprint.h"
#include "grid/reportgrid.h"
#include "viewer/previewpages.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <unistd.h>

using namespace velmora;

namespace {

const char *const Categories[] = {"TV", "AUDIO", "APPLIANCE", "VIDEO", "PHONE", "CAMERA", "GAMES", "FURNITURE",
                                  "COMPUTER", "TOOLS"};

ColumnInfo column(const char *name, ColumnType type, int scale = 0)
{
    ColumnInfo c;
    c.name = QString::fromLatin1(name);
    c.type = type;
    c.typeCode = type == ColumnType::Text ? TypeCode::WideText : scale ? TypeCode::Numeric : TypeCode::Integer;
    c.scale = scale;
    c.definedSize = type == ColumnType::Text ? 30 : 8;
    return c;
}

std::shared_ptr<RecordTable> inventory(int rows)
{
    RecordTable::Builder b;
    b.addColumn(column("model", ColumnType::Text));
    b.addColumn(column("serial", ColumnType::Text));
    b.addColumn(column("description", ColumnType::Text));
    b.addColumn(column("category", ColumnType::Text));
    b.addColumn(column("store", ColumnType::Integer));
    b.addColumn(column("cost", ColumnType::Integer, 2));
    b.addColumn(column("balance", ColumnType::Integer, 2));
    b.reserve(rows);
    std::uint64_t seed = 1;
    const auto next = [&seed](int below) {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        return int((seed >> 33) % std::uint64_t(below));
    };
    char buf[64];
    for (int r = 0; r < rows; ++r) {
        int n = std::snprintf(buf, sizeof buf, "%c%c-%d", 'A' + next(26), 'A' + next(26), next(100));
        b.appendTextUtf8(0, buf, n);
        n = std::snprintf(buf, sizeof buf, "SN%08d", r);
        b.appendTextUtf8(1, buf, n);
        n = std::snprintf(buf, sizeof buf, "Item %d", next(20000));
        b.appendTextUtf8(2, buf, n);
        const char *cat = Categories[next(10)];
        b.appendTextUtf8(3, cat, int(std::strlen(cat)));
        b.appendInteger(4, 1 + next(12));
        b.appendInteger(5, 500 + next(500000));
        b.appendInteger(6, next(300000));
    }
    return std::make_shared<RecordTable>(b.finish());
}

// The report as the viewer sets it up: grouped by category, totals in the footers.
void setUp(ReportGrid &grid, const std::shared_ptr<RecordTable> &table)
{
    grid.setTable(table);
    for (const char *k : {"cost", "balance"}) {
        grid.columnByKey(QString::fromLatin1(k))->setAggregateFunction(2);
        grid.columnByKey(QString::fromLatin1(k))->setTotalFormat(QStringLiteral("#,##0.00"));
    }
    grid.groups().add(grid.columnByKey(u"category")->index(), 1);
    grid.regroup();
    PrinterSettings &s = grid.printerSettings();
    s.headerLeft = QStringLiteral("Velmora Inventory Report");
    s.repeatHeaders = true;
    QObject::connect(&grid, &ReportGrid::printPage, &grid, [&grid](int n, int m) {
        grid.printerSettings().footerRight = QStringLiteral("Page %1 of %2").arg(n).arg(m);
    });
}

double seconds(const QElapsedTimer &t) { return double(t.nsecsElapsed()) / 1e9; }

long residentBytes()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> parts = f.readAll().split(' ');
    return parts.size() > 1 ? parts[1].toLong() * sysconf(_SC_PAGESIZE) : 0;
}

// The peak resident size since the last call, reset by it (Linux 4.0 and later), so that a step's
// figure is the most it held at any moment, not what it still holds at its end.
long peakBytes()
{
    long peak = 0;
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith("VmHWM:"))
                peak = line.mid(6).trimmed().split(' ').value(0).toLong() * 1024;
    }
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
    return peak;
}

struct Preview {
    double open = 0;
    double lastPage = 0;
    long bytes = 0;
    int pages = 0;
};

Preview ourPreview(ReportGrid &grid, QPrinter &printer)
{
    Preview out;
    peakBytes();
    const long before = residentBytes();
    PreviewPages view;
    view.resize(1000, 800);
    view.show();
    QElapsedTimer t;
    t.start();
    view.setPages(std::make_shared<GridPages>(grid, &printer, false));
    view.viewport()->grab();   // the first screen painted
    out.open = seconds(t);
    out.pages = view.pageCount();
    t.restart();
    view.setCurrentPage(view.pageCount());
    view.viewport()->grab();
    out.lastPage = seconds(t);
    if (view.pages()->rowsOn(out.pages).second != grid.rowCount()) {
        std::printf("FAILED: the last page does not end with the last row\n");
        std::exit(1);
    }
    out.bytes = peakBytes() - before;
    return out;
}

Preview eagerPreview(ReportGrid &grid, QPrinter &printer)
{
    Preview out;
    peakBytes();
    const long before = residentBytes();
    QPrintPreviewWidget widget(&printer);
    widget.resize(1000, 800);
    QObject::connect(&widget, &QPrintPreviewWidget::paintRequested, &widget,
                     [&grid](QPrinter *p) { GridPages(grid, p, false).print(p); });
    QElapsedTimer t;
    t.start();
    widget.show();
    widget.updatePreview();
    widget.grab();
    out.open = seconds(t);
    out.pages = widget.pageCount();
    t.restart();
    widget.setCurrentPage(widget.pageCount());
    widget.grab();
    out.lastPage = seconds(t);
    out.bytes = peakBytes() - before;
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;

    QPrinter printer(QPrinter::HighResolution);
    double eagerRate = 0;   // pages per second the eager preview renders before it shows one
    {
        ReportGrid small;
        setUp(small, inventory(10000));
        small.applyPageLayout(&printer);
        const Preview eager = eagerPreview(small, printer);
        const Preview ours = ourPreview(small, printer);
        eagerRate = eager.pages / eager.open;
        std::printf("10000 rows, %d pages: eager preview open %.3f s, last page %.3f s, %.1f MB; ours open %.3f s, "
                    "last page %.4f s, %.1f MB\n",
                    eager.pages, eager.open, eager.lastPage, eager.bytes / 1e6, ours.open, ours.lastPage, ours.bytes / 1e6);
    }

    ReportGrid grid;
    setUp(grid, inventory(rows));
    grid.applyPageLayout(&printer);
    const Preview ours = ourPreview(grid, printer);
    std::printf("rows: %d grouped by category, pages: %d\n", rows, ours.pages);
    std::printf("preview open seconds: %.3f (target 0.5)\n", ours.open);
    std::printf("preview last page seconds: %.4f (target 0.1)\n", ours.lastPage);
    std::printf("preview bytes: %ld (%.1f MB beyond the grid; target 64 MB)\n", ours.bytes, ours.bytes / 1e6);

    // Printing streams: 100,000 rows to a PDF file, page after page.
    ReportGrid hundred;
    setUp(hundred, inventory(100000));
    QTemporaryDir dir;
    QPrinter pdf(QPrinter::HighResolution);
    pdf.setOutputFormat(QPrinter::PdfFormat);
    pdf.setOutputFileName(dir.filePath(QStringLiteral("report.pdf")));
    hundred.applyPageLayout(&pdf);
    const GridPages pages(hundred, &pdf, false);
    peakBytes();
    const long before = residentBytes();
    QElapsedTimer t;
    t.start();
    if (!pages.print(&pdf)) {
        std::printf("FAILED: the PDF was not written\n");
        return 1;
    }
    const double printSeconds = seconds(t);
    const long printBytes = peakBytes() - before;
    // The same pages as preview images, on a sample of them.
    const int sample = std::min(pages.pageCount(), 300);
    const QSize sheet = (pages.paperRect().size() * (96.0 / pages.resolution())).toSize();
    t.restart();
    for (int page = 1; page <= sample; ++page) {
        QImage image(sheet, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter p(&image);
        p.scale(96.0 / pages.resolution(), 96.0 / pages.resolution());
        pages.paint(p, page);
    }
    const double renderRate = sample / seconds(t);
    std::printf("print pages per second: %.0f (100000 rows, %d pages to PDF in %.2f s, %.1f MB while printing; "
                "the same pages rendered for the preview: %.0f per second; the eager preview at 10000 rows: %.0f per "
                "second)\n",
                pages.pageCount() / printSeconds, pages.pageCount(), printSeconds, printBytes / 1e6, renderRate, eagerRate);
    return 0;
}
