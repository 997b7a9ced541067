#pragma once

#include <QRectF>

#include <functional>
#include <memory>
#include <utility>

class QPainter;
class QPrinter;

namespace velmora {

class ReportGrid;

// The grid's rows laid out on pages of one printer's geometry, without painting any: the page
// count and the rows of every page follow from the fixed row height and the page size, so a
// million rows paginate at once; a page is painted only when it is printed or seen.
class GridPages {
public:
    // The rows are those the grid shows (or its selected ones) now; the grid must outlive this.
    GridPages(ReportGrid &grid, QPrinter *printer, bool selectedOnly);
    ~GridPages();
    GridPages(const GridPages &) = delete;
    GridPages &operator=(const GridPages &) = delete;

    int pageCount() const;
    // The sheet and its printable area, in the printer's device units.
    QRectF paperRect() const;
    QRectF paintRect() const;
    double resolution() const;   // device units per inch

    // Grid positions (1-based) of the first and the last row on `page`; {0, -1} when none.
    std::pair<int, int> rowsOn(int page) const;

    // Paints `page` (1-based) with the painter's origin at the printable area's corner and one
    // device unit per painter unit. The grid's printPage signal comes first, so the footer can
    // say which page it is.
    void paint(QPainter &painter, int page) const;

    // Paints every page onto `printer`, one after another; `progress`, when given, hears of each
    // page before it is painted and stops the job by returning false (the pages already sent
    // stay sent). False when the job was stopped or the device failed.
    bool print(QPrinter *printer, const std::function<bool(int page, int pages)> &progress = {}) const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace velmora
