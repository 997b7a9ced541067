#include "export/mExport.h"

#include "core/reportrequest.h"
#include "export/exportformat.h"
#include "export/recordformatter.h"
#include "grid/reportgrid.h"
#include "platform/frmSplash.h"
#include "platform/platform.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDevice>
#include <QFileInfo>
#include <QIODevice>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace velmora {

namespace exf = exportformat;

namespace {

constexpr std::size_t kBufferBytes = 1 << 20;

Failure writeFailure(const QString &reason)
{
    return Failure{ExportError::Write, reason, {}, 0};
}

// Running out of memory ends an export with this message, not the host.
Failure outOfMemory()
{
    return writeFailure(QStringLiteral("the computer ran out of memory."));
}

Failure cancelled()
{
    return Failure{ExportError::Cancelled, QStringLiteral("The export was cancelled; no file was written."), {}, 0};
}

// Writes a file's pieces in order from the threads that format them. The thread whose piece is
// next writes it itself, from its own cache, and then any pieces parked behind it; a thread whose
// piece is not next parks it and goes on formatting, so neither waits for the other. No thread of
// its own passes pieces along: two cores go to formatting and copying. A piece handed too far
// ahead waits, so a few buffers exist at any row count.
//
// The disk is put to work while the records are still being formatted: every few megabytes
// written, their write-back is started, and a thread of its own syncs what was written so far.
// Left to the sync at the end, the whole file would reach the disk only after the last record:
// that sync takes as long as what is left to write, and the user would wait for it after the
// formatting instead of during it. Small steps keep the disk busy and leave little for the end.
class FileFeeder {
public:
    explicit FileFeeder(QIODevice &out) : m_out(out)
    {
        if (auto *file = qobject_cast<QFileDevice *>(&out))
            m_fd = file->handle();
        if (m_fd >= 0) {
            try {
                m_syncer = std::thread([this] { syncEarly(); });
            } catch (const std::system_error &) {
                // The sync at the end does it all.
            }
        }
    }
    ~FileFeeder() { finish(); }
    FileFeeder(const FileFeeder &) = delete;
    FileFeeder &operator=(const FileFeeder &) = delete;

    // Takes a part of block `block` (blocks numbered from 0, none left out; parts in order, the
    // last one saying so) to be written after every piece before it, and leaves an empty buffer
    // in `sink`; false once a write failed or the export stopped.
    bool hand(int block, ByteSink &sink, bool last = true)
    {
        std::unique_lock lock(m_mutex);
        const std::pair<int, int> piece(block, m_parts[block]++);
        if (last)
            m_parts.erase(block);
        const auto next = [&] { return !m_writing && piece == std::pair(m_next, m_nextPart); };
        m_turn.wait(lock, [&] { return next() || int(m_pending.size()) < kMaxPending || m_failed || m_stopped; });
        if (m_failed || m_stopped)
            return false;
        if (!next()) {
            m_pending.emplace(piece, Piece{std::move(sink), last});
            sink = takeBuffer();
            return true;
        }
        // This thread's turn: its own piece, then those parked behind it.
        m_writing = true;
        bool own = true;
        Piece current{std::move(sink), last};
        for (;;) {
            lock.unlock();
            const bool written = write(current.bytes);
            current.bytes.clear();
            lock.lock();
            if (own)
                sink = std::move(current.bytes);
            else
                m_free.push_back(std::move(current.bytes));
            if (!written) {
                m_writing = false;
                m_turn.notify_all();
                return false;
            }
            if (current.last) {
                ++m_next;
                m_nextPart = 0;
            } else {
                ++m_nextPart;
            }
            const auto parked = m_pending.find(std::pair(m_next, m_nextPart));
            if (parked == m_pending.end() || m_stopped)
                break;
            current = std::move(parked->second);
            m_pending.erase(parked);
            own = false;
            m_turn.notify_all();   // a slot is free
        }
        m_writing = false;
        m_turn.notify_all();
        return true;
    }

    // Makes every hand() return false: pieces still missing will not come.
    void stop()
    {
        std::lock_guard lock(m_mutex);
        m_stopped = true;
        m_turn.notify_all();
    }

    // Waits for the syncs under way; false when a write or a sync failed.
    bool finish()
    {
        {
            std::lock_guard lock(m_syncMutex);
            m_syncClosing = true;
        }
        m_syncWanted.notify_all();
        if (m_syncer.joinable())
            m_syncer.join();
        std::lock_guard lock(m_mutex);
        return !m_failed;
    }

    QString error() const
    {
        std::lock_guard lock(m_mutex);
        return m_error;
    }

private:
    static constexpr int kMaxPending = 4;
    static constexpr qint64 kWriteBackBytes = 4 << 20;
    static constexpr qint64 kSyncBytes = 4 << 20;

    struct Piece {
        ByteSink bytes;
        bool last = true;
    };

    // An empty buffer, from those written already where there is one; under the lock.
    ByteSink takeBuffer()
    {
        if (m_free.empty())
            return ByteSink(kBufferBytes);
        ByteSink buffer = std::move(m_free.back());
        m_free.pop_back();
        return buffer;
    }

    // The first failure is the one reported.
    void fail(const QString &why)
    {
        std::lock_guard lock(m_mutex);
        if (!m_failed)
            m_error = why;
        m_failed = true;
        m_turn.notify_all();
    }

    bool write(const ByteSink &bytes)
    {
        // A full disk first takes part of a piece; the write of the rest says why it failed.
        for (std::size_t done = 0; done < bytes.size();) {
            const qint64 n = m_out.write(bytes.data() + done, qint64(bytes.size() - done));
            if (n <= 0) {
                fail(m_out.errorString());
                return false;
            }
            done += std::size_t(n);
        }
        m_written += qint64(bytes.size());
        if (m_fd >= 0 && m_written - m_flushed >= kWriteBackBytes) {
            // Only a start: the sync at the end still makes sure, and still reports a failure.
            ::sync_file_range(m_fd, m_flushed, m_written - m_flushed, SYNC_FILE_RANGE_WRITE);
            m_flushed = m_written;
            if (m_written - m_syncAsked >= kSyncBytes) {
                {
                    std::lock_guard lock(m_syncMutex);
                    m_syncAsked = m_written;
                }
                m_syncWanted.notify_one();
            }
        }
        return true;
    }

    // Syncs whenever a writer asks and the last sync is over: a request made meanwhile is served
    // by the next one, so a writer never waits for the disk.
    void syncEarly()
    {
        std::unique_lock lock(m_syncMutex);
        qint64 synced = 0;
        for (;;) {
            m_syncWanted.wait(lock, [&] { return m_syncAsked > synced || m_syncClosing; });
            if (m_syncClosing)
                return;
            synced = m_syncAsked;
            lock.unlock();
            // A failed sync must fail the export: the kernel reports a write-back error to one
            // sync only, and the one at the end would then succeed over a damaged file.
            if (::fdatasync(m_fd) != 0) {
                fail(QString::fromLocal8Bit(std::strerror(errno)));
                return;
            }
            lock.lock();
        }
    }

    QIODevice &m_out;
    int m_fd = -1;
    qint64 m_written = 0;   // by the thread whose turn it is, as is m_flushed
    qint64 m_flushed = 0;
    qint64 m_syncAsked = 0;   // guarded by m_syncMutex, as is m_syncClosing
    bool m_syncClosing = false;
    std::mutex m_syncMutex;
    std::condition_variable m_syncWanted;
    std::thread m_syncer;
    mutable std::mutex m_mutex;   // guards what follows
    std::condition_variable m_turn;
    std::map<std::pair<int, int>, Piece> m_pending;   // parked, by block and part
    std::map<int, int> m_parts;                         // parts handed so far, by block
    std::vector<ByteSink> m_free;
    int m_next = 0;
    int m_nextPart = 0;
    bool m_writing = false;
    bool m_failed = false;
    bool m_stopped = false;
    QString m_error;
};

// The records as lines or table rows, pieces 1 to the returned count - 1 (piece 0 is the head of
// the file). Blocks of records are formatted by this thread and a second one, so on two cores
// formatting keeps up with the disk; each has its own formatter and caches.
Result<int> writeRecords(const ExportTable &table, FileFeeder &feeder, RecordFormatter::Form form, ExportProgress *progress,
                         int *pieces)
{
    constexpr int kBlock = 4096;
    constexpr int kStep = 256;   // the most records formatted between looks at the buffer's size
    const int count = table.recordCount();
    const int blocks = (count + kBlock - 1) / kBlock;
    *pieces = blocks + 1;
    // The second thread starts at once with a formatter that converts each text where it is
    // used, while this one converts the repeating dictionaries; it goes over to a twin of this
    // one's formatter at its next block once they are ready. The disk gets its first bytes
    // without waiting for the dictionaries.
    const QLocale locale = QLocale::system();
    std::optional<RecordFormatter> asUsed;
    std::unique_ptr<RecordFormatter> twin;
    std::atomic<RecordFormatter *> converted{nullptr};
    std::atomic<bool> stopped{false};
    // Each thread takes the next block not yet taken: one slowed down (by the disk's threads,
    // say) holds up no fixed share of the blocks.
    std::atomic<int> untaken{0};
    std::atomic<bool> exhausted{false};   // memory ran out
    const auto formatBlocks = [&](RecordFormatter *records, bool upgrade) {
        ByteSink buf(kBufferBytes);
        int step = 1;
        for (int b; (b = untaken.fetch_add(1, std::memory_order_relaxed)) < blocks;) {
            if (upgrade) {
                if (RecordFormatter *ready = converted.load(std::memory_order_acquire)) {
                    records = ready;
                    upgrade = false;
                }
            }
            for (int r = b * kBlock, end = std::min(count, r + kBlock); r < end;) {
                const std::size_t before = buf.size();
                const int next = std::min(end, r + step);
                records->append(buf, r, next);
                // A few steps fill a buffer, however wide the records.
                step = std::clamp(int(kBufferBytes / 8 / std::max<std::size_t>(1, (buf.size() - before) / std::size_t(next - r))),
                                  1, kStep);
                r = next;
                // Wide records make a block large: it goes out in parts.
                if (buf.size() >= kBufferBytes && r < end && !feeder.hand(1 + b, buf, false))
                    return;
            }
            if (!feeder.hand(1 + b, buf))
                return;
            if (progress) {
                progress->records.fetch_add(std::min(count - b * kBlock, kBlock), std::memory_order_relaxed);
                if (progress->cancel.load(std::memory_order_relaxed)) {
                    stopped = true;
                    feeder.stop();
                    return;
                }
            }
        }
    };
    // An exception leaving a thread would end the process.
    const auto work = [&](RecordFormatter *records, bool upgrade) {
        try {
            formatBlocks(records, upgrade);
        } catch (const std::bad_alloc &) {
            exhausted = true;
            feeder.stop();
        }
    };
    std::thread second;
    try {
        if (blocks > 1) {
            asUsed.emplace(table, form, locale, RecordFormatter::Dictionaries::AsUsed);
            try {
                second = std::thread(work, &*asUsed, true);
            } catch (const std::system_error &) {
            }
        }
        RecordFormatter formatter(table, form, locale);
        twin = formatter.twin();
        converted.store(twin.get(), std::memory_order_release);
        work(&formatter, false);
    } catch (const std::bad_alloc &) {
        exhausted = true;
        feeder.stop();
    }
    if (second.joinable())
        second.join();
    if (exhausted)
        return outOfMemory();
    if (stopped)
        return cancelled();
    return count;
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
    FileFeeder feeder(out);
    ByteSink buf(kBufferBytes);
    buf.append(exf::textRecord(fieldNames(table)));
    int pieces = 0;
    Result<int> n = feeder.hand(0, buf) ? writeRecords(table, feeder, RecordFormatter::Form::Text, progress, &pieces)
                                        : Result<int>(writeFailure(feeder.error()));
    if (n.ok() && !feeder.finish())
        return writeFailure(feeder.error());
    return n;
}

Result<int> WriteHtml(const ExportTable &table, QIODevice &out, const PageInfo &page, ExportProgress *progress)
{
    ByteSink buf(kBufferBytes);
    FileFeeder feeder(out);
    const auto text = [&buf](const char *bytes) { buf.append(bytes, std::strlen(bytes)); };
    const auto escaped = [&buf](const QString &value) {
        QByteArray bytes;
        exf::appendHtmlEscaped(bytes, value);
        buf.append(bytes);
    };
    const auto line = [&text](const char *bytes) {
        text(bytes);
        text("\r\n");
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
    text("<p><b>");
    escaped(page.title);
    line("</b></p><hr>");
    text("<p>Store: ");
    escaped(page.storeLine);
    line("<br>");
    text("Exported at: ");
    escaped(exf::generalDate(page.exportedAt, QLocale::system()));
    line("<br>");
    line("");
    line("");
    line("<table border=1 cellpadding=2 width=100%>");
    line("<tr bgcolor=#C0C0C0>");
    buf.append(exf::htmlHeader(fieldNames(table)));
    line("</tr>");
    int pieces = 0;
    Result<int> n = feeder.hand(0, buf) ? writeRecords(table, feeder, RecordFormatter::Form::Html, progress, &pieces)
                                        : Result<int>(writeFailure(feeder.error()));
    if (!n.ok())
        return n;
    line("</table>");
    line("");
    buf.append("<p>End of export - " + QByteArray::number(n.value()) + " records exported.</p>\r\n");
    line("");
    line("</body>");
    line("</html>");
    if (!feeder.hand(pieces, buf) || !feeder.finish())
        return writeFailure(feeder.error());
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
        Result<int> n = outOfMemory();
        try {
            n = xlsx ? WriteXlsx(table, fileName, progress) : WriteSpreadsheet(table, fileName, progress);
        } catch (const std::bad_alloc &) {
        }
        if (!n.ok() && n.failure().number == ExportError::Write)
            return failed(n.failure().description);
        return n;
    }

    QSaveFile file(fileName);
    // Unbuffered: the writers hand over large pieces anyway, and a write the disk refuses must fail
    // there, not in the flush inside commit(), which would still rename a cut file into place.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return failed(file.errorString());
    Result<int> n = outOfMemory();
    try {
        n = kind == exf::Writer::Text ? WriteText(table, file, progress) : WriteHtml(table, file, page, progress);
    } catch (const std::bad_alloc &) {
    }
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
