#include "export/mExport.h"

#include "control/frmSplash.h"
#include "core/reportrequest.h"
#include "export/exportformat.h"
#include "grid/reportgrid.h"
#include "platform/platform.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QIODevice>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QStringEncoder>
#include <QThread>
#include <QTimer>

#include <memory>
#include <vector>

namespace velmora {

namespace exf = exportformat;

namespace {

constexpr int kFlushBytes = 1 << 20;
constexpr int kProgressStep = 4096;

Failure writeFailure(const QString &reason)
{
    return Failure{ExportError::Write, reason, {}, 0};
}

Failure cancelled()
{
    return Failure{ExportError::Cancelled, QStringLiteral("The export was cancelled; no file was written."), {}, 0};
}

// Turns cells into the bytes of a text line or an HTML cell. Texts of columns that repeat their
// values are encoded once per distinct text; dates once per distinct value seen recently.
class CellFormatter {
public:
    CellFormatter(const ExportTable &table, bool html)
        : m_table(table), m_html(html), m_number(exf::NumberStyle::of(QLocale::system())),
          m_date(exf::DateStyle::of(QLocale::system())), m_fields(std::size_t(table.fieldCount()))
    {
        const RecordTable *t = table.table();
        for (int f = 0; f < table.fieldCount(); ++f) {
            const int src = table.field(f).source;
            if (!t || src < 0 || t->column(src).type != ColumnType::Text)
                continue;
            const int distinct = t->dictionarySize(src);
            // A column whose texts mostly differ gains nothing from keeping their bytes.
            if (distinct <= table.recordCount() / 2 + 1024)
                m_fields[std::size_t(f)].spans.assign(std::size_t(distinct), Span{});
        }
    }

    void append(QByteArray &out, int record, int f)
    {
        m_table.read(record, f, m_cell);
        switch (m_cell.kind) {
        case ExportTable::Cell::Null:
            return;
        case ExportTable::Cell::Scaled:
            exf::appendScaled(out, m_cell.integer, m_cell.scale, m_number);
            return;
        case ExportTable::Cell::Real:
            exf::appendNumber(out, m_cell.real, m_number);
            return;
        case ExportTable::Cell::Time:
            appendTime(out, f, m_cell.integer);
            return;
        case ExportTable::Cell::Text:
            if (m_cell.code == ExportTable::kNoCode)
                appendText(out, m_cell.text);
            else
                appendCode(out, f, m_cell.code);
            return;
        }
    }

private:
    struct Span {
        std::uint32_t offset = 0xFFFFFFFFu;
        std::uint32_t size = 0;
    };
    struct FieldCache {
        std::vector<Span> spans;   // by dictionary code; empty when not kept
        QByteArray bytes;
        static constexpr int kDates = 256;
        std::int64_t dateKey[kDates];
        QByteArray dateText[kDates];
        bool dateUsed[kDates] = {};
    };

    void appendText(QByteArray &out, QStringView text)
    {
        if (m_html) {
            exf::appendHtmlEscaped(out, text);
            return;
        }
        const qsizetype at = out.size();
        out.resize(at + text.size() * 3);
        char *end = m_encoder.appendToBuffer(out.data() + at, text);
        out.resize(end - out.constData());
    }

    void appendCode(QByteArray &out, int f, std::uint32_t code)
    {
        FieldCache &c = m_fields[std::size_t(f)];
        const QString &text = m_table.table()->dictionaryText(m_table.field(f).source, code);
        if (c.spans.empty() || code >= c.spans.size()) {
            appendText(out, text);
            return;
        }
        Span &s = c.spans[code];
        if (s.offset == 0xFFFFFFFFu) {
            const qsizetype at = c.bytes.size();
            appendText(c.bytes, text);
            s.offset = std::uint32_t(at);
            s.size = std::uint32_t(c.bytes.size() - at);
        }
        out.append(c.bytes.constData() + s.offset, s.size);
    }

    void appendTime(QByteArray &out, int f, std::int64_t msecs)
    {
        FieldCache &c = m_fields[std::size_t(f)];
        const std::size_t slot = std::size_t((msecs / 86'400'000) ^ (msecs % 86'400'000)) % FieldCache::kDates;
        if (!c.dateUsed[slot] || c.dateKey[slot] != msecs) {
            c.dateUsed[slot] = true;
            c.dateKey[slot] = msecs;
            c.dateText[slot].clear();
            appendText(c.dateText[slot], exf::generalDate(msecs, m_date));
        }
        out += c.dateText[slot];
    }

    const ExportTable &m_table;
    bool m_html;
    exf::NumberStyle m_number;
    exf::DateStyle m_date;
    std::vector<FieldCache> m_fields;
    ExportTable::Cell m_cell;
    QStringEncoder m_encoder{QStringEncoder::Utf8};
};

bool flush(QIODevice &out, QByteArray &buf)
{
    if (buf.isEmpty())
        return true;
    const qint64 n = out.write(buf);
    buf.clear();
    return n >= 0;
}

// The records as lines or table rows, flushed in large pieces, with progress and cancel.
Result<int> writeRecords(const ExportTable &table, QIODevice &out, QByteArray &buf, bool html, ExportProgress *progress)
{
    CellFormatter cells(table, html);
    const int fields = table.fieldCount();
    const int records = table.recordCount();
    for (int r = 0; r < records; ++r) {
        if (html) {
            buf += exf::kHtmlRowOpen;
            for (int f = 0; f < fields; ++f) {
                buf += exf::kHtmlCellOpen;
                cells.append(buf, r, f);
                buf += exf::kHtmlCellClose;
            }
            buf += exf::kHtmlRowClose;
        } else {
            for (int f = 0; f < fields; ++f) {
                if (f)
                    buf += '|';
                cells.append(buf, r, f);
            }
            buf += "\r\n";
        }
        if (buf.size() >= kFlushBytes && !flush(out, buf))
            return writeFailure(out.errorString());
        if ((r + 1) % kProgressStep == 0 && progress) {
            progress->records.store(r + 1, std::memory_order_relaxed);
            if (progress->cancel.load(std::memory_order_relaxed))
                return cancelled();
        }
    }
    if (progress)
        progress->records.store(records, std::memory_order_relaxed);
    return records;
}

QStringList fieldNames(const ExportTable &table)
{
    QStringList names;
    for (int f = 0; f < table.fieldCount(); ++f)
        names << table.field(f).name;
    return names;
}

} // namespace

Result<int> WriteText(const ExportTable &table, QIODevice &out, ExportProgress *progress)
{
    QByteArray buf;
    buf.reserve(kFlushBytes + 4096);
    const QStringList names = fieldNames(table);
    buf += exf::textRecord(names);
    Result<int> n = writeRecords(table, out, buf, false, progress);
    if (n.ok() && !flush(out, buf))
        return writeFailure(out.errorString());
    return n;
}

Result<int> WriteHtml(const ExportTable &table, QIODevice &out, const PageInfo &page, ExportProgress *progress)
{
    QByteArray buf;
    buf.reserve(kFlushBytes + 4096);
    const auto line = [&buf](const char *text) {
        buf += text;
        buf += "\r\n";
    };
    line("<html>");
    line("<head>");
    // Non-ASCII values show right only when the browser knows the page's encoding.
    line("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">");
    line("<title></title>");
    line("<style type=\"text/css\">");
    line("<!--");
    line("p {font-size:10pt; font-family:Helvetica,Arial; margin-bottom:2pt; margin-top:2pt }");
    line("//-->");
    line("</style>");
    line("</head>\r\n");
    line("<body>");
    buf += "<p><b>";
    exf::appendHtmlEscaped(buf, page.title);
    line("</b></p><hr>");
    buf += "<p>Store: ";
    exf::appendHtmlEscaped(buf, page.storeLine);
    line("<br>");
    buf += "Exported at: ";
    exf::appendHtmlEscaped(buf, exf::generalDate(page.exportedAt, QLocale::system()));
    line("<br>");
    line("");
    line("");
    line("<table border=1 cellpadding=2 width=100%>");
    line("<tr bgcolor=#C0C0C0>");
    buf += exf::htmlHeader(fieldNames(table));
    line("</tr>");
    Result<int> n = writeRecords(table, out, buf, true, progress);
    if (!n.ok())
        return n;
    line("</table>");
    line("");
    buf += "<p>End of export - " + QByteArray::number(n.value()) + " records exported.</p>\r\n";
    line("");
    line("</body>");
    line("</html>");
    if (!flush(out, buf))
        return writeFailure(out.errorString());
    return n;
}

Result<int> writeExportFile(const ExportTable &table, const QString &fileName, const PageInfo &page,
                            ExportProgress *progress)
{
    const QFileInfo target(fileName);
    const auto failed = [&target](const QString &reason) {
        return writeFailure(QStringLiteral("The export could not be written to \"%1\" in the folder \"%2\": %3")
                                .arg(target.fileName(), target.absolutePath(), reason));
    };
    if (target.fileName().isEmpty())
        return failed(QStringLiteral("the file has no name."));
    if (!target.absoluteDir().exists())
        return failed(QStringLiteral("the folder does not exist."));

    const bool xlsx = fileName.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive);
    const exf::Writer kind = exf::writerFor(fileName);
    if (xlsx || kind == exf::Writer::Spreadsheet) {
        Result<int> n = xlsx ? WriteXlsx(table, fileName, progress) : WriteSpreadsheet(table, fileName, progress);
        if (!n.ok() && n.failure().number == ExportError::Write)
            return failed(n.failure().description);
        return n;
    }

    QSaveFile file(fileName);
    // Unbuffered: the writers hand over large pieces anyway, and a write the disk refuses must fail
    // there, not in the flush inside commit(), which would still rename a cut file into place.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return failed(file.errorString());
    Result<int> n = kind == exf::Writer::Text ? WriteText(table, file, progress) : WriteHtml(table, file, page, progress);
    if (!n.ok()) {
        file.cancelWriting();
        return n.failure().number == ExportError::Write ? failed(n.failure().description) : n;
    }
    if (!file.commit())
        return failed(file.errorString());
    return n;
}

namespace {

// The question a spreadsheet too long for its format asks before anything is written.
bool askForXlsx(QWidget *window, int records)
{
    QMessageBox box(window);
    box.setObjectName(QStringLiteral("velmoraMessageBox"));
    box.setWindowTitle(QStringLiteral("Velmora"));
    box.setIcon(QMessageBox::Question);
    box.setText(QStringLiteral("This export has %L1 rows, more than the %L2 an Excel 97-2003 workbook (.xls) can "
                               "hold.\n\nSave it as an Excel workbook (.xlsx) instead?")
                    .arg(records)
                    .arg(kSpreadsheetRows));
    QPushButton *xlsx = box.addButton(QStringLiteral("Save as .xlsx"), QMessageBox::AcceptRole);
    xlsx->setObjectName(QStringLiteral("cmdXlsx"));
    QPushButton *cancel = box.addButton(QMessageBox::Cancel);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    box.setDefaultButton(xlsx);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == xlsx;
}

} // namespace

Result<int> ExportGrid(ReportGrid &grid, QString &fileName, QWidget *window)
{
    const int first = grid.firstVisibleRow();
    grid.setRedraw(false);
    grid.refresh();
    grid.expandAll();
    ExportTable table = ExportTable::fromGrid(grid);
    if (first > 0)
        grid.setFirstVisibleRow(first);
    grid.setFocus();
    // The file is written from the table alone: the grid may paint while it is.
    grid.setRedraw(true);

    const ReportRequest &r = request();
    const PageInfo page{r.ReportTitle, r.Storename + QStringLiteral(" Store#: ") + r.StoreNumber,
                        QDateTime::currentDateTime()};

    if (exf::writerFor(fileName) == exf::Writer::Spreadsheet && table.recordCount() > kSpreadsheetRows &&
        !fileName.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive)) {
        if (!askForXlsx(window, table.recordCount()))
            return Failure{ExportError::Declined, QStringLiteral("Nothing was exported."), {}, 0};
        const QFileInfo info(fileName);
        const QString name = info.fileName();
        const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
        fileName = fileName.left(fileName.size() - name.size()) + (dot > 0 ? name.left(dot) : name) +
                   QStringLiteral(".xlsx");
    }

    ExportProgress progress;
    Result<int> result = Failure{};
    const QString target = fileName;
    std::unique_ptr<QThread> worker(
        QThread::create([&] { result = writeExportFile(table, target, page, &progress); }));
    QEventLoop loop;
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    QElapsedTimer clock;
    QTimer tick;
    tick.setInterval(150);
    const int total = table.recordCount();
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (clock.elapsed() < 500)
            return;
        frmSplash::instance()->showProgress(QStringLiteral("Exporting\u2026 %L1 of %L2 rows")
                                                .arg(progress.records.load(std::memory_order_relaxed))
                                                .arg(total),
                                            [&progress] { progress.cancel = true; });
    });
    clock.start();
    worker->start();
    tick.start();
    loop.exec();
    worker->wait();
    tick.stop();
    if (frmSplash::isLoaded())
        frmSplash::instance()->hideProgress();
    return result;
}

} // namespace velmora
