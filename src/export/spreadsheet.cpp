// The two workbook writers: an Excel 97-2003 workbook (BIFF8 records in an OLE2 compound file that
// libgsf writes) and, for exports longer than that format holds, an .xlsx workbook.

#include "export/mExport.h"
#include "export/recordformatter.h"

#include <QByteArray>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryFile>
#include <QtEndian>

#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-utils.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <vector>

namespace velmora {

namespace {

constexpr std::int64_t kMsecsPerDay = 86'400'000;
constexpr int kProgressStep = 4096;
constexpr qsizetype kChunk = 1 << 20;
// BIFF8 limits.
constexpr int kMaxPayload = 8224;
constexpr int kMaxTextChars = 255;

Failure writeFailure(const QString &reason)
{
    return Failure{ExportError::Write, reason, {}, 0};
}

Failure cancelled()
{
    return Failure{ExportError::Cancelled, QStringLiteral("The export was cancelled; no file was written."), {}, 0};
}

// A workbook's day number for a time value: days since 30 December 1899, with the 1900 system's
// leap day that never was (serials before 1 March 1900 count from 31 December 1899). Dates before
// 1 January 1900 cannot be shown by spreadsheet programs and are written as that date.
std::int64_t floored(std::int64_t msecs)
{
    static const std::int64_t jan1900 = QDate(1900, 1, 1).toJulianDay() * kMsecsPerDay;
    return std::max(msecs, jan1900);
}

double serialOf(std::int64_t msecs)
{
    static const std::int64_t mar1900 = QDate(1900, 3, 1).toJulianDay();
    static const std::int64_t base = QDate(1899, 12, 30).toJulianDay();
    msecs = floored(msecs);
    const std::int64_t day = msecs / kMsecsPerDay;
    const std::int64_t ofDay = msecs - day * kMsecsPerDay;
    const double days = double(day - base - (day < mar1900 ? 1 : 0));
    return days + double(ofDay) / double(kMsecsPerDay);
}

bool hasTimeOfDay(std::int64_t msecs)
{
    return floored(msecs) % kMsecsPerDay != 0;
}

// The first 255 characters, a surrogate pair never split.
QStringView cut(QStringView text)
{
    if (text.size() <= kMaxTextChars)
        return text;
    qsizetype n = kMaxTextChars;
    if (text[n - 1].isHighSurrogate())
        --n;
    return text.left(n);
}

double scaledOf(std::int64_t value, int scale)
{
    static constexpr double pow10[] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18};
    return scale > 0 && scale <= 18 ? double(value) / pow10[scale] : double(value);
}

double scaledValue(const ExportTable::Cell &c)
{
    return scaledOf(c.integer, c.scale);
}

// ---- BIFF8 records ------------------------------------------------------------------------------

void put16(QByteArray &b, unsigned v)
{
    const char c[2] = {char(v & 0xFF), char((v >> 8) & 0xFF)};
    b.append(c, 2);
}

void put32(QByteArray &b, std::uint32_t v)
{
    const char c[4] = {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char((v >> 24) & 0xFF)};
    b.append(c, 4);
}

void record(QByteArray &b, unsigned type, const QByteArray &payload)
{
    put16(b, type);
    put16(b, unsigned(payload.size()));
    b += payload;
}

// Little-endian values written in place; each returns the end.
char *le16(char *p, unsigned v)
{
    p[0] = char(v & 0xFF);
    p[1] = char((v >> 8) & 0xFF);
    return p + 2;
}

char *le32(char *p, std::uint32_t v)
{
    const std::uint32_t le = qToLittleEndian(v);
    std::memcpy(p, &le, 4);
    return p + 4;
}

char *leDouble(char *p, double v)
{
    std::uint64_t bits;
    std::memcpy(&bits, &v, 8);
    bits = qToLittleEndian(bits);
    std::memcpy(p, &bits, 8);
    return p + 8;
}

// The head every cell record starts with: type, payload size, row, column, cell format.
char *cellHead(char *p, unsigned type, unsigned size, int row, int col, unsigned xfIndex)
{
    return le16(le16(le16(le16(le16(p, type), size), unsigned(row)), unsigned(col)), xfIndex);
}

QByteArray bof(unsigned kind)
{
    QByteArray p;
    put16(p, 0x0600);   // BIFF8
    put16(p, kind);     // 5 workbook globals, 0x10 worksheet
    put16(p, 0x0DBB);
    put16(p, 0x07CC);
    put32(p, 0);
    put32(p, 6);
    return p;
}

QByteArray u16(unsigned v)
{
    QByteArray p;
    put16(p, v);
    return p;
}

// A short Latin-1 name in the 8-bit-length form (fonts, sheet names).
void putShortName(QByteArray &p, const char *name)
{
    const auto n = unsigned(std::strlen(name));
    p += char(n);
    p += char(0);
    p.append(name, n);
}

// Cell formats: 15 style formats every workbook carries, then the cell formats the cells use.
constexpr unsigned kXfGeneral = 15;
constexpr unsigned kXfDate = 16;
constexpr unsigned kXfDateTime = 17;

QByteArray xf(unsigned format, bool style, unsigned used)
{
    QByteArray p;
    put16(p, 0);                          // font
    put16(p, format);                     // number format (14 m/d/yyyy, 22 m/d/yyyy h:mm)
    put16(p, style ? 0xFFF5 : 0x0001);    // locked; a style's parent is none, a cell's is style 0
    p += char(0x20);                      // bottom-aligned
    p += char(0);
    p += char(0);
    p += char(used);
    put32(p, 0);                          // no borders
    put32(p, 0);
    put16(p, 0x20C0);                     // default pattern colours
    return p;
}

// Strings of the shared string table, with the positions the EXTSST index needs.
class SharedStrings {
public:
    // A text that outlives the workbook's writing (the table's own), kept as a view.
    int add(QStringView text)
    {
        m_texts.push_back(cut(text));
        return int(m_texts.size()) - 1;
    }
    int own(QString text)
    {
        m_owned.push_back(std::move(text));
        return add(m_owned.back());
    }
    int count() const { return int(m_texts.size()); }

    // SST and CONTINUE records, then EXTSST, appended to `out` whose start is stream position 0.
    void write(QByteArray &out, int references) const
    {
        const int n = count();
        const int perBucket = std::max(8, (n + 127) / 128);
        std::vector<std::pair<std::uint32_t, unsigned>> buckets;

        QByteArray rec;
        unsigned type = 0x00FC;
        put32(rec, std::uint32_t(references));
        put32(rec, std::uint32_t(n));
        const auto startContinue = [&] {
            record(out, type, rec);
            rec.clear();
            type = 0x003C;
        };
        for (int i = 0; i < n; ++i) {
            const QStringView s = m_texts[std::size_t(i)];
            bool wide = false;
            for (QChar c : s) {
                if (c.unicode() > 0xFF) {
                    wide = true;
                    break;
                }
            }
            const int unit = wide ? 2 : 1;
            // The header (length and option byte) is never split, and a string starts with at
            // least one of its characters beside it.
            if (rec.size() + 3 + (s.isEmpty() ? 0 : unit) > kMaxPayload)
                startContinue();
            if (i % perBucket == 0) {
                const auto at = std::uint32_t(out.size() + 4 + rec.size());
                buckets.emplace_back(at, unsigned(4 + rec.size()));
            }
            put16(rec, unsigned(s.size()));
            rec += char(wide ? 1 : 0);
            qsizetype done = 0;
            while (done < s.size()) {
                qsizetype fit = (kMaxPayload - rec.size()) / unit;
                if (fit <= 0) {
                    startContinue();
                    // Each continued piece of characters starts with its own option byte.
                    rec += char(wide ? 1 : 0);
                    fit = (kMaxPayload - 1) / unit;
                }
                const qsizetype take = std::min(fit, s.size() - done);
                for (qsizetype k = done; k < done + take; ++k) {
                    const char16_t c = s[k].unicode();
                    rec += char(c & 0xFF);
                    if (wide)
                        rec += char(c >> 8);
                }
                done += take;
            }
        }
        record(out, type, rec);

        QByteArray ext;
        put16(ext, unsigned(perBucket));
        for (const auto &[pos, offset] : buckets) {
            put32(ext, pos);
            put16(ext, offset);
            put16(ext, 0);
        }
        record(out, 0x00FF, ext);
    }

private:
    std::vector<QStringView> m_texts;
    std::deque<QString> m_owned;   // never moves what it holds
};

// Owns libgsf's objects; closing commits the file, dropping without commit throws it away.
class OleFile {
public:
    ~OleFile() { close(false); }

    bool open(const QString &path, QString *error)
    {
        static std::once_flag once;
        std::call_once(once, [] { gsf_init(); });
        GError *err = nullptr;
        m_sink = gsf_output_stdio_new(QFile::encodeName(path).constData(), &err);
        if (!m_sink) {
            *error = err ? QString::fromUtf8(err->message) : QStringLiteral("the file could not be created.");
            if (err)
                g_error_free(err);
            return false;
        }
        m_ole = gsf_outfile_msole_new(m_sink);
        m_stream = gsf_outfile_new_child(m_ole, "Workbook", FALSE);
        return m_stream != nullptr;
    }

    bool write(const ByteSink &bytes)
    {
        return bytes.size() == 0 ||
               gsf_output_write(m_stream, gsf_off_t(bytes.size()), reinterpret_cast<const guint8 *>(bytes.data()));
    }
    bool write(const QByteArray &bytes)
    {
        return bytes.isEmpty() || gsf_output_write(m_stream, gsf_off_t(bytes.size()),
                                                   reinterpret_cast<const guint8 *>(bytes.constData()));
    }

    QString error() const
    {
        for (GsfOutput *o : {m_stream, GSF_OUTPUT(m_ole), m_sink}) {
            if (o && gsf_output_error(o))
                return QString::fromUtf8(gsf_output_error(o)->message);
        }
        return QString::fromLocal8Bit(std::strerror(errno));
    }

    // Commit: every layer closed in order; the file replaces any older one only if all succeed.
    // Without commit the output is marked failed first, which makes libgsf drop its temporary file.
    bool close(bool commit)
    {
        if (!m_sink)
            return false;
        if (!commit)
            gsf_output_set_error(m_sink, 0, "cancelled");
        bool ok = true;
        if (m_stream) {
            ok = gsf_output_close(m_stream) && ok;
            g_object_unref(m_stream);
            m_stream = nullptr;
        }
        // Closing the compound file closes the file under it too (renaming it into place).
        if (m_ole) {
            ok = gsf_output_close(GSF_OUTPUT(m_ole)) && ok;
            g_object_unref(m_ole);
            m_ole = nullptr;
        }
        if (!gsf_output_is_closed(m_sink))
            ok = gsf_output_close(m_sink) && ok;
        if (!ok && commit)
            m_error = error();
        g_object_unref(m_sink);
        m_sink = nullptr;
        return ok;
    }
    QString closeError() const { return m_error; }

private:
    GsfOutput *m_sink = nullptr;
    GsfOutfile *m_ole = nullptr;
    GsfOutput *m_stream = nullptr;
    QString m_error;
};

} // namespace

Result<int> WriteSpreadsheet(const ExportTable &table, const QString &path, ExportProgress *progress)
{
    const int fields = table.fieldCount();
    const int records = table.recordCount();
    // Never a silently cut file: the caller offers an .xlsx workbook for more.
    if (records > kSpreadsheetRows)
        return writeFailure(QStringLiteral("%L1 rows are more than an Excel 97-2003 workbook can hold (%L2).")
                                .arg(records)
                                .arg(kSpreadsheetRows));
    const RecordTable *t = table.table();

    // Pass 1: the shared strings, each distinct text of a column once.
    SharedStrings strings;
    int references = 0;
    std::vector<int> header(static_cast<std::size_t>(fields));
    for (int f = 0; f < fields; ++f) {
        header[std::size_t(f)] = strings.add(table.field(f).name);
        ++references;
    }
    std::vector<ExportTable::Source> sources;
    std::vector<std::vector<std::int32_t>> byCode(static_cast<std::size_t>(fields));
    for (int f = 0; f < fields; ++f) {
        sources.push_back(table.source(f));
        if (sources.back().kind == ExportTable::Source::Code)
            byCode[std::size_t(f)].assign(std::size_t(t->dictionarySize(sources.back().column)), -1);
    }
    const std::int32_t *order = table.order();
    const auto isNull = [](const ExportTable::Source &s, int row) {
        return s.nulls && (s.nulls[row >> 6] >> (row & 63)) & 1u;
    };
    QHash<QString, int> byText;
    ExportTable::Cell cell;
    for (int f = 0; f < fields; ++f) {
        const ExportTable::Source &s = sources[std::size_t(f)];
        if (s.kind == ExportTable::Source::Code) {
            std::vector<std::int32_t> &index = byCode[std::size_t(f)];
            for (int r = 0; r < records; ++r) {
                const int row = order[r];
                if (isNull(s, row))
                    continue;
                std::int32_t &slot = index[s.codes[row]];
                if (slot < 0)
                    slot = strings.add(t->dictionaryText(s.column, s.codes[row]));
                ++references;
            }
        } else if (s.kind == ExportTable::Source::Other && table.field(f).type == ExportTable::FieldType::Text) {
            for (int r = 0; r < records; ++r) {
                table.read(r, f, cell);
                if (cell.kind != ExportTable::Cell::Text)
                    continue;
                const QString text = cut(cell.text).toString();
                if (!byText.contains(text))
                    byText.insert(text, strings.own(text));
                ++references;
            }
        }
        if (progress && progress->cancel.load(std::memory_order_relaxed))
            return cancelled();
    }

    // Workbook globals, kept whole so the sheet's position is known before it is written.
    QByteArray globals;
    record(globals, 0x0809, bof(0x0005));
    record(globals, 0x00E1, u16(0x04B0));
    record(globals, 0x0042, u16(0x04B0));   // code page: UTF-16
    {
        QByteArray w;
        for (unsigned v : {0u, 0u, 0x3000u, 0x1E00u, 0x0038u, 0u, 0u, 1u, 0x0258u})
            put16(w, v);
        record(globals, 0x003D, w);
    }
    record(globals, 0x0022, u16(0));   // dates count from 1900
    record(globals, 0x000E, u16(1));
    for (int i = 0; i < 4; ++i) {
        QByteArray font;
        for (unsigned v : {200u, 0u, 0x7FFFu, 400u, 0u})
            put16(font, v);
        put32(font, 0);
        putShortName(font, "Arial");
        record(globals, 0x0031, font);
    }
    for (int i = 0; i < 15; ++i)
        record(globals, 0x00E0, xf(0, true, i == 0 ? 0x00 : 0xF4));
    record(globals, 0x00E0, xf(0, false, 0x00));
    record(globals, 0x00E0, xf(14, false, 0x04));
    record(globals, 0x00E0, xf(22, false, 0x04));
    {
        QByteArray style;
        put16(style, 0x8000);
        style += char(0);
        style += char(char(0xFF));
        record(globals, 0x0293, style);
    }
    const qsizetype sheetOffsetAt = globals.size() + 4;
    {
        QByteArray sheet;
        put32(sheet, 0);   // the sheet's stream position, set below
        sheet += char(0);
        sheet += char(0);
        putShortName(sheet, "Sheet 1");
        record(globals, 0x0085, sheet);
    }
    strings.write(globals, references);
    record(globals, 0x000A, {});
    const auto sheetPos = std::uint32_t(globals.size());
    for (int i = 0; i < 4; ++i)
        globals[sheetOffsetAt + i] = char((sheetPos >> (8 * i)) & 0xFF);

    OleFile file;
    QString error;
    if (!file.open(path, &error))
        return writeFailure(error);
    if (!file.write(globals))
        return writeFailure(file.error());

    // Pass 2: the sheet, streamed, each cell's record written in place.
    ByteSink sheet(kChunk + 4096);
    {
        QByteArray head;
        record(head, 0x0809, bof(0x0010));
        QByteArray dim;
        put32(dim, 0);
        put32(dim, std::uint32_t(records + 1));
        put16(dim, 0);
        put16(dim, unsigned(fields));
        put16(dim, 0);
        record(head, 0x0200, dim);
        sheet.append(head);
    }
    constexpr std::size_t kLongestCell = 18;
    char *p = sheet.room(std::size_t(fields) * kLongestCell);
    for (int f = 0; f < fields; ++f)
        p = le32(cellHead(p, 0x00FD, 10, 0, f, kXfGeneral), std::uint32_t(header[std::size_t(f)]));
    sheet.done(p);
    const auto number = [](char *p, int row, int col, unsigned xfIndex, double value) {
        return leDouble(cellHead(p, 0x0203, 14, row, col, xfIndex), value);
    };
    const auto scaled = [&number](char *p, int row, int col, std::int64_t value, int scale) {
        // Whole numbers that fit go into the compact RK form.
        if (scale == 0 && value >= -(1 << 29) && value < (1 << 29))
            return le32(cellHead(p, 0x027E, 10, row, col, kXfGeneral), (std::uint32_t(std::int32_t(value)) << 2) | 2u);
        return number(p, row, col, kXfGeneral, scaledOf(value, scale));
    };
    const auto time = [&number](char *p, int row, int col, std::int64_t msecs) {
        return number(p, row, col, hasTimeOfDay(msecs) ? kXfDateTime : kXfDate, serialOf(msecs));
    };
    for (int r = 0; r < records; ++r) {
        const int row = r + 1;
        const int at = order[r];
        p = sheet.room(std::size_t(fields) * kLongestCell);
        for (int f = 0; f < fields; ++f) {
            const ExportTable::Source &s = sources[std::size_t(f)];
            if (isNull(s, at))
                continue;
            switch (s.kind) {
            case ExportTable::Source::Empty:
                break;
            case ExportTable::Source::Code:
                p = le32(cellHead(p, 0x00FD, 10, row, f, kXfGeneral), std::uint32_t(byCode[std::size_t(f)][s.codes[at]]));
                break;
            case ExportTable::Source::Scaled:
                p = scaled(p, row, f, s.integers[at], s.scale);
                break;
            case ExportTable::Source::Real:
                p = number(p, row, f, kXfGeneral, s.reals[at]);
                break;
            case ExportTable::Source::Day:
                p = time(p, row, f, std::int64_t(s.days[at]) * kMsecsPerDay);
                break;
            case ExportTable::Source::Stamp:
                p = time(p, row, f, s.integers[at]);
                break;
            case ExportTable::Source::Other:
                table.read(r, f, cell);
                switch (cell.kind) {
                case ExportTable::Cell::Null:
                    break;
                case ExportTable::Cell::Text:
                    p = le32(cellHead(p, 0x00FD, 10, row, f, kXfGeneral), std::uint32_t(byText.value(cut(cell.text).toString())));
                    break;
                case ExportTable::Cell::Scaled:
                    p = scaled(p, row, f, cell.integer, cell.scale);
                    break;
                case ExportTable::Cell::Real:
                    p = number(p, row, f, kXfGeneral, cell.real);
                    break;
                case ExportTable::Cell::Time:
                    p = time(p, row, f, cell.integer);
                    break;
                }
                break;
            }
        }
        sheet.done(p);
        if (sheet.size() >= std::size_t(kChunk)) {
            if (!file.write(sheet))
                return writeFailure(file.error());
            sheet.clear();
        }
        if (progress && (r + 1) % kProgressStep == 0) {
            progress->records.store(r + 1, std::memory_order_relaxed);
            if (progress->cancel.load(std::memory_order_relaxed))
                return cancelled();
        }
    }
    QByteArray buf;
    {
        QByteArray w;
        for (unsigned v : {0x06B6u, 0u, 0u, 0x40u, 0u, 0u, 0u, 0u, 0u})
            put16(w, v);
        record(buf, 0x023E, w);
    }
    record(buf, 0x000A, {});
    sheet.append(buf);
    if (!file.write(sheet))
        return writeFailure(file.error());
    if (!file.close(true))
        return writeFailure(file.closeError());
    if (progress)
        progress->records.store(records, std::memory_order_relaxed);
    return records;
}

Result<int> WriteXlsx(const ExportTable &table, const QString &path, ExportProgress *progress)
{
    constexpr int kXlsxRows = 1'048'575;
    const int fields = table.fieldCount();
    const int records = table.recordCount();
    if (records > kXlsxRows)
        return writeFailure(QStringLiteral("%L1 rows are more than an Excel workbook can hold (%L2).").arg(records).arg(kXlsxRows));

    // libxlsxwriter writes the named file only when the workbook is closed: under a temporary name
    // beside the target, renamed over it when complete.
    const QFileInfo target(path);
    QTemporaryFile staging(target.absolutePath() + QStringLiteral("/.") + target.fileName() + QStringLiteral(".XXXXXX"));
    if (!staging.open())
        return writeFailure(staging.errorString());
    const QByteArray stagingName = QFile::encodeName(staging.fileName());
    staging.close();

    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook *book = workbook_new_opt(stagingName.constData(), &options);
    if (!book)
        return writeFailure(QStringLiteral("the workbook could not be started."));
    lxw_worksheet *sheet = workbook_add_worksheet(book, "Sheet 1");
    lxw_format *date = workbook_add_format(book);
    format_set_num_format(date, "m/d/yyyy");
    lxw_format *dateTime = workbook_add_format(book);
    format_set_num_format(dateTime, "m/d/yyyy h:mm");

    const RecordTable *t = table.table();
    for (int f = 0; f < fields; ++f)
        worksheet_write_string(sheet, 0, lxw_col_t(f), table.field(f).name.toUtf8().constData(), nullptr);
    ExportTable::Cell cell;
    QByteArray utf8;
    bool stopped = false;
    for (int r = 0; r < records && !stopped; ++r) {
        const auto row = lxw_row_t(r + 1);
        for (int f = 0; f < fields; ++f) {
            table.read(r, f, cell);
            const auto col = lxw_col_t(f);
            switch (cell.kind) {
            case ExportTable::Cell::Null:
                break;
            case ExportTable::Cell::Text:
                utf8 = (cell.code == ExportTable::kNoCode ? QStringView(cell.text)
                                                          : QStringView(t->dictionaryText(table.field(f).source, cell.code)))
                           .toUtf8();
                worksheet_write_string(sheet, row, col, utf8.constData(), nullptr);
                break;
            case ExportTable::Cell::Scaled:
                worksheet_write_number(sheet, row, col, scaledValue(cell), nullptr);
                break;
            case ExportTable::Cell::Real:
                worksheet_write_number(sheet, row, col, cell.real, nullptr);
                break;
            case ExportTable::Cell::Time:
                worksheet_write_number(sheet, row, col, serialOf(cell.integer),
                                       hasTimeOfDay(cell.integer) ? dateTime : date);
                break;
            }
        }
        if (progress && (r + 1) % kProgressStep == 0) {
            progress->records.store(r + 1, std::memory_order_relaxed);
            stopped = progress->cancel.load(std::memory_order_relaxed);
        }
    }
    const lxw_error closed = workbook_close(book);
    if (stopped) {
        QFile::remove(staging.fileName());
        return cancelled();
    }
    if (closed != LXW_NO_ERROR) {
        const int err = errno;
        QFile::remove(staging.fileName());
        return writeFailure(QString::fromUtf8(lxw_strerror(closed)) + QStringLiteral(" (") +
                            QString::fromLocal8Bit(std::strerror(err)) + QStringLiteral(")"));
    }
    if (std::rename(stagingName.constData(), QFile::encodeName(path).constData()) != 0) {
        const int err = errno;
        QFile::remove(staging.fileName());
        return writeFailure(QString::fromLocal8Bit(std::strerror(err)));
    }
    staging.setAutoRemove(false);
    if (progress)
        progress->records.store(records, std::memory_order_relaxed);
    return records;
}

} // namespace velmora
