#pragma once

// The export engine: ExportGrid copies the grid's visible rows into an export table (a view over
// the grid's data) and hands it to the writer the file name picks; the writers put the table into
// a text file, an HTML page or a workbook.

#include "core/result.h"
#include "export/exporttable.h"

#include <QDateTime>
#include <QString>

#include <atomic>

class QIODevice;
class QWidget;

namespace velmora {

class ReportGrid;

// Shared between a writer on its worker thread and the window waiting for it.
struct ExportProgress {
    std::atomic<qint64> records{0};   // records written so far
    std::atomic<bool> cancel{false};  // set to stop the writer; what it wrote is thrown away
};

// Failure numbers of the export.
namespace ExportError {
constexpr int Cancelled = 1;
constexpr int Write = 2;        // the file system refused (folder, disk, name)
constexpr int Declined = 3;     // the user chose not to write a file
} // namespace ExportError

// What the HTML page shows above its table.
struct PageInfo {
    QString title;
    QString storeLine;
    QDateTime exportedAt;
};

// The writers. Each returns the number of records written; a failure's description says what
// went wrong. They run on any thread; progress (optional) is updated every few thousand records.
Result<int> WriteText(const ExportTable &table, QIODevice &out, ExportProgress *progress = nullptr);
Result<int> WriteHtml(const ExportTable &table, QIODevice &out, const PageInfo &page, ExportProgress *progress = nullptr);
// An Excel 97-2003 workbook (BIFF8 in an OLE2 file) at path; at most kSpreadsheetRows records.
Result<int> WriteSpreadsheet(const ExportTable &table, const QString &path, ExportProgress *progress = nullptr);
// An Excel workbook (.xlsx) at path, rows streamed in order.
Result<int> WriteXlsx(const ExportTable &table, const QString &path, ExportProgress *progress = nullptr);
constexpr int kSpreadsheetRows = 65535;   // data rows of a BIFF8 sheet under its header row

// Writes the table into fileName with the writer its ending picks (an ".xlsx" name gets the xlsx
// writer), under a temporary name in the same folder that replaces fileName only when complete:
// a failure or a cancel leaves any older file as it was.
Result<int> writeExportFile(const ExportTable &table, const QString &fileName, const PageInfo &page,
                            ExportProgress *progress = nullptr);

// The whole export of a grid: groups expanded, the table taken in grid order, scroll position and
// focus restored, the file written on a worker while the window shows progress (after about half
// a second) with a Cancel button. A spreadsheet of more rows than the format holds asks first
// whether to write an .xlsx workbook instead; fileName then ends in ".xlsx". Failures are returned,
// not shown.
Result<int> ExportGrid(ReportGrid &grid, QString &fileName, QWidget *window = nullptr);

} // namespace velmora
