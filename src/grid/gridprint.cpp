// Printing of a ReportGrid: the rows the grid shows (group headers, records, footers with totals)
// laid out on pages with a three-part header, a three-part footer and repeated column headers.
#include "grid/gridprint.h"

#include "grid/reportgrid.h"

#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

#include <algorithm>
#include <cmath>

namespace velmora {

namespace {

// The table part is drawn in screen pixel units (96 per inch) under a scale, so that column widths
// keep their screen proportions and fit-to-width shrinks text with its columns.
constexpr double ScreenDpi = 96.0;

QFont pixelFont(QFont f)
{
    if (f.pixelSize() <= 0)
        f.setPixelSize(std::max(1, int(std::lround(f.pointSizeF() * ScreenDpi / 72.0))));
    return f;
}

struct PageLayout {
    double scale = 1;          // device units per table unit
    QRectF page;               // device units, origin at the printable area's corner
    double bandHeight = 0;     // device units of the header and of the footer band
    double tableTop = 0;       // device units
    double rowHeight = 0;      // table units
    double headerRowHeight = 0;
    int rowsPerPage = 1;
    int firstPageRows = 1;
    QFont bandFont;
    QFont headingFont;
    QFont bodyFont;
    std::vector<GridColumn *> columns;
    std::vector<double> x;     // table units
    // Columns that do not fit across one page continue on the pages after it, so that nothing
    // printed is lost to the paper's edge: [first, last) column ranges, one per page across.
    std::vector<std::pair<std::size_t, std::size_t>> slices;
    double frozenWidth = 0;    // table units of the first column repeated on later pages across; 0 when not
};

PageLayout layoutFor(ReportGrid &grid, QPrinter *printer)
{
    PageLayout l;
    const double dpi = printer->resolution();
    l.page = QRectF(QPointF(0, 0), printer->pageLayout().paintRectPixels(printer->resolution()).size());
    l.columns = grid.displayedColumns();
    double x = 0;
    for (GridColumn *c : l.columns) {
        l.x.push_back(x);
        x += c->width();
    }

    l.scale = dpi / ScreenDpi;
    if (grid.printerSettings().fitColumnsToPage && x * l.scale > l.page.width() && x > 0)
        l.scale = l.page.width() / x;
    const double across = l.page.width() / l.scale;
    std::size_t first = 0;
    for (std::size_t i = 0; i < l.columns.size(); ++i) {
        // Pages after the first across give room to the repeated first column.
        const double room = first > 0 && l.frozenWidth > 0 ? across - l.frozenWidth : across;
        if (i > first && l.x[i] + l.columns[i]->width() - l.x[first] > room) {
            l.slices.emplace_back(first, i);
            first = i;
            if (l.frozenWidth == 0 && grid.printerSettings().repeatFrozenColumns && !l.columns.empty()
                && l.columns[0]->width() < across / 2)
                l.frozenWidth = l.columns[0]->width();
        }
    }
    l.slices.emplace_back(first, l.columns.size());
    l.bandFont = pixelFont(grid.bodyFont());
    l.headingFont = pixelFont(grid.headingFont());
    l.bodyFont = pixelFont(grid.bodyFont());
    const QFontMetricsF band(l.bandFont);
    l.bandHeight = band.height() * 1.6 * dpi / ScreenDpi;
    l.tableTop = l.bandHeight;
    l.rowHeight = QFontMetricsF(l.bodyFont).height() * 1.35;
    l.headerRowHeight = QFontMetricsF(l.headingFont).height() * 1.5;
    const double avail = (l.page.height() - 2 * l.bandHeight) / l.scale;
    const bool repeat = grid.printerSettings().repeatHeaders;
    l.firstPageRows = std::max(1, int((avail - l.headerRowHeight) / l.rowHeight));
    l.rowsPerPage = repeat ? l.firstPageRows : std::max(1, int(avail / l.rowHeight));
    return l;
}

// The grid positions to print: every shown row (counted, not listed) or the selected ones.
struct Rows {
    bool all = true;
    std::size_t count = 0;
    std::vector<int> selected;
    int at(std::size_t i) const { return all ? int(i) + 1 : selected[i]; }
};

Rows rowsToPrint(ReportGrid &grid, bool selectedOnly)
{
    Rows rows;
    rows.all = !selectedOnly;
    if (selectedOnly)
        rows.selected = grid.selectedPositions();
    rows.count = selectedOnly ? rows.selected.size() : std::size_t(grid.rowCount());
    return rows;
}

// Pages down the rows, before the column slices multiply them.
int pagesDown(const PageLayout &l, std::size_t rows)
{
    if (rows == 0)
        return 0;
    if (rows <= std::size_t(l.firstPageRows))
        return 1;
    return 1 + int((rows - std::size_t(l.firstPageRows) + std::size_t(l.rowsPerPage) - 1) / std::size_t(l.rowsPerPage));
}

int pagesFor(const PageLayout &l, std::size_t rows)
{
    return pagesDown(l, rows) * int(l.slices.size());
}

void drawBand(QPainter &p, const QRectF &r, const QString &left, const QString &center, const QString &right)
{
    p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter, left);
    p.drawText(r, Qt::AlignHCenter | Qt::AlignVCenter, center);
    p.drawText(r, Qt::AlignRight | Qt::AlignVCenter, right);
}

bool numeric(const GridColumn *c)
{
    return c->dataType() == GridDataType::Number;
}

} // namespace

void ReportGrid::applyPageLayout(QPrinter *printer) const
{
    if (!printer)
        return;
    const PrinterSettings &s = const_cast<ReportGrid *>(this)->printerSettings();
    printer->setPageOrientation(s.orientation == 2 ? QPageLayout::Landscape : QPageLayout::Portrait);
    printer->setPageMargins(QMarginsF(s.marginLeft / 20.0, s.marginTop / 20.0, s.marginRight / 20.0, s.marginBottom / 20.0),
                            QPageLayout::Point);
}

int ReportGrid::pageCount(QPrinter *printer, bool selectedOnly)
{
    if (!printer)
        return 0;
    return GridPages(*this, printer, selectedOnly).pageCount();
}

void ReportGrid::printTo(QPrinter *printer, bool selectedOnly)
{
    if (!printer)
        return;
    GridPages(*this, printer, selectedOnly).print(printer);
}

struct GridPages::Impl {
    ReportGrid &grid;
    PageLayout layout;
    Rows rows;
    int pages = 0;
    QRectF paper;
    QRectF printable;
    double resolution = 0;
};

GridPages::GridPages(ReportGrid &grid, QPrinter *printer, bool selectedOnly)
    : d(new Impl{grid, layoutFor(grid, printer), rowsToPrint(grid, selectedOnly), 0, {}, {}, 0})
{
    d->pages = pagesFor(d->layout, d->rows.count);
    d->resolution = printer->resolution();
    const QPageLayout page = printer->pageLayout();
    d->paper = QRectF(page.fullRectPixels(printer->resolution()));
    d->printable = QRectF(page.paintRectPixels(printer->resolution()));
}

GridPages::~GridPages() = default;

int GridPages::pageCount() const { return d->pages; }
QRectF GridPages::paperRect() const { return d->paper; }
QRectF GridPages::paintRect() const { return d->printable; }
double GridPages::resolution() const { return d->resolution; }

std::pair<int, int> GridPages::rowsOn(int page) const
{
    if (page < 1 || page > d->pages)
        return {0, -1};
    const PageLayout &l = d->layout;
    const int down = (page - 1) / int(l.slices.size());
    const std::size_t first = down == 0 ? 0 : std::size_t(l.firstPageRows) + std::size_t(down - 1) * std::size_t(l.rowsPerPage);
    const std::size_t capacity = std::size_t(down == 0 ? l.firstPageRows : l.rowsPerPage);
    const std::size_t last = std::min(d->rows.count, first + capacity) - 1;
    return {d->rows.at(first), d->rows.at(last)};
}

bool GridPages::print(QPrinter *printer, const std::function<bool(int, int)> &progress) const
{
    if (d->pages == 0)
        return false;
    QPainter p;
    if (!p.begin(printer))
        return false;
    for (int page = 1; page <= d->pages; ++page) {
        if (progress && !progress(page, d->pages)) {
            p.end();
            return false;
        }
        if (page > 1 && !printer->newPage())
            return false;
        paint(p, page);
    }
    return p.end();
}

void GridPages::paint(QPainter &p, int page) const
{
    ReportGrid &grid = d->grid;
    const PageLayout &l = d->layout;
    const Rows &rows = d->rows;
    const int pages = d->pages;
    if (page < 1 || page > pages)
        return;
    const double resolution = d->resolution;
    const int across = int(l.slices.size());
    const PrinterSettings &s = grid.printerSettings();
    const QColor text = grid.bodyTextColor();
    p.save();
    const QTransform origin = p.transform();
    {
        // Across, then down: every slice of a band of rows before the next band.
        const int down = (page - 1) / across;
        const auto [firstColumn, endColumn] = l.slices[std::size_t((page - 1) % across)];
        const double frozen = firstColumn > 0 ? l.frozenWidth : 0;
        // Table x of a column on this page: the repeated first column, then the slice's own.
        const auto columnX = [&](std::size_t i) { return i == 0 && firstColumn > 0 ? 0.0 : l.x[i] - l.x[firstColumn] + frozen; };
        std::vector<std::size_t> shown;
        if (frozen > 0)
            shown.push_back(0);
        for (std::size_t i = firstColumn; i < endColumn; ++i)
            shown.push_back(i);
        const double sliceWidth = shown.empty() ? 0 : columnX(shown.back()) + l.columns[shown.back()]->width();
        std::size_t next = down == 0 ? 0 : std::size_t(l.firstPageRows) + std::size_t(down - 1) * std::size_t(l.rowsPerPage);
        emit grid.printPage(page, pages);
        p.setTransform(origin);
        p.setPen(Qt::black);
        // Bands are drawn in device units with the band font scaled to the device.
        QFont bandFont = l.bandFont;
        bandFont.setPixelSize(std::max(1, int(std::lround(l.bandFont.pixelSize() * resolution / ScreenDpi))));
        p.setFont(bandFont);
        drawBand(p, QRectF(0, 0, l.page.width(), l.bandHeight), s.headerLeft, s.headerCenter, s.headerRight);
        drawBand(p, QRectF(0, l.page.height() - l.bandHeight, l.page.width(), l.bandHeight), s.footerLeft,
                 s.footerCenter, s.footerRight);

        p.translate(0, l.tableTop);
        p.scale(l.scale, l.scale);
        const double width = l.page.width() / l.scale;
        p.setClipRect(QRectF(0, 0, width, (l.page.height() - 2 * l.bandHeight) / l.scale), Qt::IntersectClip);
        double y = 0;
        const double lineWidth = std::min(width, sliceWidth);
        if (down == 0 || s.repeatHeaders) {
            p.setFont(l.headingFont);
            p.fillRect(QRectF(0, 0, lineWidth, l.headerRowHeight), QColor(230, 230, 230));
            p.setPen(grid.headingTextColor());
            for (std::size_t i : shown) {
                const QRectF cell(columnX(i) + 3, 0, l.columns[i]->width() - 6, l.headerRowHeight);
                p.drawText(cell, Qt::AlignVCenter | (numeric(l.columns[i]) ? Qt::AlignRight : Qt::AlignLeft),
                           l.columns[i]->caption());
            }
            p.setPen(Qt::darkGray);
            p.drawLine(QPointF(0, l.headerRowHeight), QPointF(lineWidth, l.headerRowHeight));
            y = l.headerRowHeight;
        }
        const int capacity = down == 0 ? l.firstPageRows : l.rowsPerPage;
        for (int k = 0; k < capacity && next < rows.count; ++k, ++next) {
            const int pos = rows.at(next);
            const GridRow r = grid.row(pos);
            const QRectF line(0, y, lineWidth, l.rowHeight);
            if (r.type == GridRowType::GroupHeader) {
                p.fillRect(line, grid.groupHeadingBackColor());
                QFont f = l.bodyFont;
                f.setBold(true);
                p.setFont(f);
                p.setPen(text);
                p.drawText(line.adjusted(3 + (r.level - 1) * 12, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                           grid.groupCaption(pos));
            } else {
                QFont f = l.bodyFont;
                f.setBold(r.type == GridRowType::GroupFooter);
                p.setFont(f);
                p.setPen(text);
                const QFontMetricsF metrics(f);
                for (std::size_t i : shown) {
                    const GridColumn *c = l.columns[i];
                    const QString t = grid.text(pos, c->index());
                    if (t.isEmpty())
                        continue;
                    const QRectF cell(columnX(i) + 3, y, c->width() - 6, l.rowHeight);
                    const bool right = numeric(c) || r.type == GridRowType::GroupFooter;
                    p.drawText(cell, Qt::AlignVCenter | (right ? Qt::AlignRight : Qt::AlignLeft),
                               metrics.elidedText(t, Qt::ElideRight, cell.width()));
                }
                if (r.type == GridRowType::GroupFooter) {
                    p.setPen(Qt::darkGray);
                    p.drawLine(line.topLeft(), line.topRight());
                }
            }
            y += l.rowHeight;
        }
    }
    p.restore();
}

bool ReportGrid::print(bool showDialog, bool selectedOnly, QPrinter *printer)
{
    std::unique_ptr<QPrinter> own;
    if (!printer) {
        own = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer = own.get();
    }
    applyPageLayout(printer);
    if (showDialog) {
        QPrintDialog dialog(printer, this);
        dialog.setObjectName(QStringLiteral("gridPrintDialog"));
        if (selectedCount() > 0)
            dialog.setOption(QAbstractPrintDialog::PrintSelection);
        if (dialog.exec() != QDialog::Accepted)
            return false;
    }
    if (pageCount(printer, selectedOnly) == 0)
        return false;
    printTo(printer, selectedOnly);
    return printer->printerState() != QPrinter::Error && printer->printerState() != QPrinter::Aborted;
}

bool ReportGrid::pageSetupDialog(QPrinter *printer, QWidget *parent)
{
    std::unique_ptr<QPrinter> own;
    if (!printer) {
        own = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer = own.get();
    }
    applyPageLayout(printer);
    QPageSetupDialog dialog(printer, parent ? parent : this);
    dialog.setObjectName(QStringLiteral("gridPageSetupDialog"));
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const QPageLayout layout = printer->pageLayout();
    const QMarginsF m = layout.margins(QPageLayout::Point);
    PrinterSettings &s = printerSettings();
    s.marginLeft = int(std::lround(m.left() * 20));
    s.marginTop = int(std::lround(m.top() * 20));
    s.marginRight = int(std::lround(m.right() * 20));
    s.marginBottom = int(std::lround(m.bottom() * 20));
    s.orientation = layout.orientation() == QPageLayout::Landscape ? 2 : 1;
    return true;
}

} // namespace velmora
