#include "export/recordformatter.h"

#include <QByteArrayView>
#include <QDate>
#include <QTime>

#include <algorithm>
#include <bit>
#include <limits>
#include <new>

#include <sys/mman.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace velmora {

namespace exf = exportformat;

namespace {

constexpr std::int64_t kMsecsPerDay = 86'400'000;
// Texts up to this long are copied as a whole block of it, which needs no call and no branch on
// the length.
constexpr std::size_t kShortText = 32;
// Room kept for a day's text in a record: the day cache's widest slot holds 59 bytes.
constexpr qsizetype kDayRoom = 64;
// A gathered text's size that sends its cell to putCell() instead.
constexpr std::uint64_t kNotGathered = 0xFFFF'FFFFull;

// Whether one of the four bytes of `bytes` is `byte`.
constexpr bool hasByte(std::uint32_t bytes, char byte)
{
    const std::uint32_t x = bytes ^ (0x0101'0101u * std::uint8_t(byte));
    return ((x - 0x0101'0101u) & ~x & 0x8080'8080u) != 0;
}

void encodeText(QByteArray &to, const QString &text, bool html)
{
    if (html)
        exf::appendHtmlEscaped(to, text);
    else
        to += text.toUtf8();
}

} // namespace

namespace {

// From this size on, one 2 MB page is cheaper here than faulting in 64 small ones.
constexpr std::size_t kLarge = 256u << 10;
constexpr std::size_t kHugePage = 2u << 20;

} // namespace

std::size_t largeCapacity(std::size_t bytes)
{
    return bytes < kLarge ? bytes : (bytes + kHugePage - 1) & ~(kHugePage - 1);
}

void *allocateLarge(std::size_t bytes)
{
    if (bytes < kLarge)
        return ::operator new(bytes);
    // Mapped one page larger, then trimmed to start on a 2 MB boundary.
    const std::size_t size = largeCapacity(bytes);
    void *mapped = ::mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        throw std::bad_alloc();
    char *const start = static_cast<char *>(mapped);
    char *const aligned =
        reinterpret_cast<char *>((reinterpret_cast<std::uintptr_t>(start) + kHugePage - 1) & ~std::uintptr_t(kHugePage - 1));
    if (aligned > start)
        ::munmap(start, std::size_t(aligned - start));
    if (start + kHugePage > aligned)
        ::munmap(aligned + size, std::size_t(start + kHugePage - aligned));
#ifdef MADV_HUGEPAGE
    // Only a wish: where the system says no, 4 KB pages serve.
    ::madvise(aligned, size, MADV_HUGEPAGE);
#endif
    return aligned;
}

void releaseLarge(void *memory, std::size_t bytes)
{
    if (!memory)
        return;
    if (bytes < kLarge)
        ::operator delete(memory);
    else
        ::munmap(memory, largeCapacity(bytes));
}

void ByteSink::reserve(std::size_t capacity)
{
    if (capacity <= m_capacity)
        return;
    capacity = largeCapacity(std::max(capacity, m_capacity + m_capacity / 2));
    char *bytes = static_cast<char *>(allocateLarge(capacity));
    if (m_size)
        std::memcpy(bytes, m_bytes, m_size);
    releaseLarge(m_bytes, m_capacity);
    m_bytes = bytes;
    m_capacity = capacity;
}

// Texts of small whole-number keys, direct-mapped: finding one is a single compare, and a slot
// (key, size, bytes) never crosses a cache line, so a slot asked for ahead is one prefetch.
class SlotCache {
public:
    SlotCache() = default;
    // `longest`: the longest text expected; longer ones are not kept.
    SlotCache(std::size_t count, qsizetype longest)
        : m_mask(count - 1), m_width(longest + kHead <= 16 ? 16 : longest + kHead <= 32 ? 32 : 64),
          m_bytes(count * m_width + kSlack)
    {
        for (std::size_t i = 0; i < count; ++i)
            std::memcpy(&m_bytes[i * m_width], &kNone, sizeof kNone);
    }
    const char *slot(std::int64_t key) const { return m_bytes.data() + (std::size_t(key) & m_mask) * m_width; }
    // The slot of a key kept, nullptr where it is not.
    const char *kept(std::int64_t key) const
    {
        const char *s = slot(key);
        std::int32_t held;
        std::memcpy(&held, s, sizeof held);
        return held == key && held != kNone ? s : nullptr;
    }
    const char *base() const { return m_bytes.data(); }
    // A kept key's text as gathered bytes: its offset from base() and, above, its size.
    bool gathered(std::int64_t key, std::uint64_t &value) const
    {
        const char *s = kept(key);
        if (s)
            value = std::uint64_t(s + kHead - m_bytes.data()) | std::uint64_t(std::uint8_t(s[sizeof(std::int32_t)])) << 32;
        return s != nullptr;
    }
    bool find(std::int64_t key, QByteArrayView &text) const
    {
        const char *s = kept(key);
        if (s)
            text = QByteArrayView(s + kHead, std::uint8_t(s[sizeof(std::int32_t)]));
        return s != nullptr;
    }
    // Keeps the text of a key in its slot; `replace`: even over another key's.
    QByteArrayView keep(std::int64_t key, const QByteArray &text, bool replace = true)
    {
        if (text.size() > qsizetype(m_width) - kHead || key <= kNone || key > std::numeric_limits<std::int32_t>::max())
            return text;
        char *s = m_bytes.data() + (std::size_t(key) & m_mask) * m_width;
        const auto held = std::int32_t(key);
        std::int32_t holder;
        std::memcpy(&holder, s, sizeof holder);
        if (!replace && holder != kNone)
            return text;
        std::memcpy(s, &held, sizeof held);
        s[sizeof held] = char(std::uint8_t(text.size()));
        std::memcpy(s + kHead, text.constData(), std::size_t(text.size()));
        return QByteArrayView(s + kHead, text.size());
    }

private:
    static constexpr std::int32_t kNone = std::numeric_limits<std::int32_t>::min();
    static constexpr qsizetype kHead = 5;
    static constexpr std::size_t kSlack = 64;   // a text is copied as a block that reaches past the last slot
    std::size_t m_mask = 0;
    std::size_t m_width = 16;
    std::vector<char, LargeAllocator<char>> m_bytes;
};

// A day's text written by hand where the pattern holds only days, months and years, as numbers in
// ASCII digits or as the locale's names, and literal text, as regional short dates do: the locale
// takes some 5,000 instructions a day, and each formatting thread meets every distinct day of a
// report once. Anything else (other digits, other fields, years outside 1 to 9999) is left to
// the locale.
class DayPattern {
public:
    DayPattern(const QString &pattern, const QLocale &locale, bool html)
    {
        // Two quotes in a row are a quote, inside quoted text or outside: rare enough to leave to
        // the locale.
        if (locale.zeroDigit() != QLatin1String("0") || pattern.contains(QLatin1String("''")))
            return;
        QString literal;
        const auto flush = [&] {
            if (literal.isEmpty())
                return;
            Piece piece;
            encodeText(piece.text, literal, html);
            m_pieces.push_back(std::move(piece));
            literal.clear();
        };
        for (qsizetype i = 0; i < pattern.size();) {
            const QChar c = pattern.at(i);
            if (c == QLatin1Char('\'')) {
                // Quoted text, as it stands.
                const qsizetype end = pattern.indexOf(QLatin1Char('\''), i + 1);
                literal += pattern.mid(i + 1, (end < 0 ? pattern.size() : end) - i - 1);
                i = end < 0 ? pattern.size() : end + 1;
                continue;
            }
            if (!c.isLetter()) {
                literal += c;
                ++i;
                continue;
            }
            qsizetype n = 1;
            while (i + n < pattern.size() && pattern.at(i + n) == c)
                ++n;
            const bool day = c == QLatin1Char('d'), month = c == QLatin1Char('M'), year = c == QLatin1Char('y');
            const Kind kind = (day || month) && n <= 4 ? Kind((day ? Day : Month) + n - 1)
                              : year && n == 2         ? Year2
                              : year && n == 4         ? Year4
                                                       : Unknown;
            if (kind == Unknown) {
                m_pieces.clear();
                return;
            }
            flush();
            Piece piece{kind, {}, {}};
            // Names as the locale writes them in a date, one per month or day of the week.
            if (kind == ShortMonth || kind == LongMonth || kind == ShortDay || kind == LongDay) {
                const QLocale::FormatType form = kind == ShortMonth || kind == ShortDay ? QLocale::ShortFormat : QLocale::LongFormat;
                for (int k = 1; k <= (month ? 12 : 7); ++k) {
                    piece.names.emplace_back();
                    encodeText(piece.names.back(), month ? locale.monthName(k, form) : locale.dayName(k, form), html);
                }
            }
            m_pieces.push_back(std::move(piece));
            i += n;
        }
        flush();
        m_usable = true;
    }

    // The day's text, false where the locale has to make it.
    bool write(QByteArray &out, QDate date) const
    {
        const int year = date.year();
        if (!m_usable || year < 1 || year > 9999)
            return false;
        char digits[4];
        const auto number = [&](int value, int width) {
            int n = 0;
            for (int v = value; n < width || v > 0; v /= 10)
                digits[n++] = char('0' + v % 10);
            for (int k = n - 1; k >= 0; --k)
                out += digits[k];
        };
        for (const Piece &piece : m_pieces) {
            switch (piece.kind) {
            case Literal: out += piece.text; break;
            case Day: number(date.day(), 1); break;
            case Day2: number(date.day(), 2); break;
            case ShortDay:
            case LongDay: out += piece.names[std::size_t(date.dayOfWeek() - 1)]; break;
            case Month: number(date.month(), 1); break;
            case Month2: number(date.month(), 2); break;
            case ShortMonth:
            case LongMonth: out += piece.names[std::size_t(date.month() - 1)]; break;
            case Year2: number(year % 100, 2); break;
            case Year4: number(year, 4); break;
            case Unknown: break;
            }
        }
        return true;
    }

private:
    // d, dd, ddd, dddd and M, MM, MMM, MMMM in this order.
    enum Kind : std::uint8_t { Literal, Day, Day2, ShortDay, LongDay, Month, Month2, ShortMonth, LongMonth, Year2, Year4, Unknown };
    struct Piece {
        Kind kind = Literal;
        QByteArray text;
        std::vector<QByteArray> names;   // by month or by day of the week from Monday
    };
    std::vector<Piece> m_pieces;
    bool m_usable = false;
};

// The texts of days and of times of day, made by the locale once per value and kept: a report's
// dates repeat across its rows, and a time's text (without milliseconds) depends only on its second.
struct RecordFormatter::Times {
    static constexpr std::size_t kDaySlots = 1 << 14;   // every day of 44 years without a collision

    Times(const QLocale &locale, bool html)
        : style(exf::DateStyle::of(locale)), html(html), bySecond(!style.timePattern.contains(QLatin1Char('z'))),
          dayPattern(style.datePattern, style.locale, html)
    {
        qsizetype longest = 0;
        for (int month = 1; month <= 12; ++month)
            longest = std::max(longest, dayText(QDate(2024, month, 28).toJulianDay()).size());
        days = SlotCache(kDaySlots, longest);
        longest = 0;
        for (int hour : {0, 1, 11, 12, 13, 23})
            longest = std::max(longest, timeText(hour * 3'600'000 + 3'599'000).size());
        secondsLongest = longest;
        seconds = SlotCache(1, longest);
    }

    // A cache for every second of a day, for a report with times: 2 MB not made for the others.
    void keepSeconds()
    {
        if (bySecond)
            seconds = SlotCache(1 << 17, secondsLongest);
    }

    const QByteArray &dayText(std::int64_t julianDay)
    {
        dayScratch.clear();
        const QDate date = QDate::fromJulianDay(julianDay);
        if (!dayPattern.write(dayScratch, date))
            encodeText(dayScratch, style.locale.toString(date, style.datePattern), html);
        return dayScratch;
    }
    const QByteArray &timeText(int msecsOfDay)
    {
        timeScratch.clear();
        encodeText(timeScratch, style.locale.toString(QTime::fromMSecsSinceStartOfDay(msecsOfDay), style.timePattern), html);
        return timeScratch;
    }

    // A day's text while a batch is written: a slot the batch gathered stays as it is.
    QByteArrayView day(std::int64_t julianDay)
    {
        QByteArrayView text;
        return days.find(julianDay, text) ? text : days.keep(julianDay, dayText(julianDay), false);
    }
    // Keeps a day's text before a batch is gathered, in place of another day of the same slot.
    void keepDay(std::int64_t julianDay)
    {
        if (!days.kept(julianDay))
            days.keep(julianDay, dayText(julianDay));
    }
    QByteArrayView time(int msecsOfDay)
    {
        if (!bySecond)
            return timeText(msecsOfDay);
        const int second = msecsOfDay / 1000;
        QByteArrayView text;
        return seconds.find(second, text) ? text : seconds.keep(second, timeText(second * 1000));
    }

    exf::DateStyle style;
    bool html;
    bool bySecond;
    DayPattern dayPattern;
    SlotCache days;
    SlotCache seconds;
    qsizetype secondsLongest = 0;
    QByteArray dayScratch;
    QByteArray timeScratch;
};

// A text field whose texts repeat, its dictionary already turned into the file's bytes.
struct RecordFormatter::Encoded {
    ExportTable::Source source;
    std::size_t longest = 0;   // bytes of the longest text
    std::vector<std::uint32_t, LargeAllocator<std::uint32_t>> offsets;   // by code, and one past the last
    ByteSink bytes;
};

RecordFormatter::RecordFormatter(const ExportTable &table, Form form, const QLocale &locale, Dictionaries dictionaries)
    : m_table(table), m_data(table.table()), m_order(table.order()), m_records(table.recordCount()),
      m_encoded(std::make_shared<std::vector<std::unique_ptr<Encoded>>>()), m_html(form == Form::Html),
      m_locale(locale), m_number(exf::NumberStyle::of(locale)), m_lone(QString(QChar(0xD800)).toUtf8()),
      m_times(std::make_unique<Times>(locale, m_html))
{
    m_sources.reserve(std::size_t(table.fieldCount()));
    for (int f = 0; f < table.fieldCount(); ++f) {
        m_sources.push_back(table.source(f));
        const bool convert = dictionaries == Dictionaries::Converted && m_sources.back().kind == ExportTable::Source::Code;
        m_encodedOf.push_back(convert ? encode(m_sources.back()) : nullptr);
    }
    // What append() writes through its own cursor: the literals, and every cell of a known
    // longest text. The others make their own room.
    const std::size_t cellLiterals = m_html ? sizeof exf::kHtmlCellOpen + sizeof exf::kHtmlCellClose : 1;
    m_recordRoom = kShortText + sizeof exf::kHtmlRowOpen + sizeof exf::kHtmlRowClose;
    for (std::size_t f = 0; f < m_sources.size(); ++f) {
        m_recordRoom += cellLiterals;
        if (m_encodedOf[f])
            m_recordRoom += std::max(kShortText, m_encodedOf[f]->longest);
        else if (m_sources[f].kind == ExportTable::Source::Scaled || m_sources[f].kind == ExportTable::Source::Real)
            m_recordRoom += std::size_t(m_number.room);
        else if (m_sources[f].kind == ExportTable::Source::Day)
            m_recordRoom += std::size_t(kDayRoom);
        else if (m_sources[f].kind == ExportTable::Source::Code)
            m_recordRoom += kShortText;
    }
    planColumns();
}

RecordFormatter::RecordFormatter(const RecordFormatter &model, const QLocale &locale)
    : m_table(model.m_table), m_data(model.m_data), m_order(model.m_order), m_records(model.m_records),
      m_sources(model.m_sources), m_encoded(model.m_encoded), m_encodedOf(model.m_encodedOf),
      m_html(model.m_html), m_locale(locale), m_number(model.m_number), m_recordRoom(model.m_recordRoom),
      m_lone(model.m_lone), m_times(std::make_unique<Times>(locale, m_html))
{
    planColumns();
}

RecordFormatter::~RecordFormatter() = default;

std::unique_ptr<RecordFormatter> RecordFormatter::twin() const
{
    return std::unique_ptr<RecordFormatter>(new RecordFormatter(*this, m_locale));
}

const RecordFormatter::Encoded *RecordFormatter::encode(const ExportTable::Source &source)
{
    // Converting each distinct text once pays where texts repeat; read in code order, the
    // dictionary streams through the cache, and the bytes take less room than the strings.
    constexpr std::size_t kBudget = 32u << 20;
    const int distinct = m_data->dictionarySize(source.column);
    std::size_t used = 0;
    for (const auto &e : *m_encoded)
        used += e->bytes.size() + e->offsets.size() * sizeof(std::uint32_t);
    if (distinct > m_records / 2 || used + std::size_t(distinct) * sizeof(std::uint32_t) > kBudget)
        return nullptr;
    auto e = std::make_unique<Encoded>();
    e->source = source;
    e->offsets.reserve(std::size_t(distinct) + 1);
    // Room for texts of one byte a unit, as most are: the bytes are not moved while they grow.
    std::size_t units = kShortText;
    for (int code = 0; code < distinct; ++code)
        units += std::size_t(m_data->dictionaryText(source.column, std::uint32_t(code)).size());
    e->bytes.reserve(units);
    for (int code = 0; code < distinct; ++code) {
        e->offsets.push_back(std::uint32_t(e->bytes.size()));
        putText(e->bytes, m_data->dictionaryText(source.column, std::uint32_t(code)));
        e->longest = std::max<std::size_t>(e->longest, e->bytes.size() - e->offsets.back());
        if (used + e->bytes.size() + e->offsets.capacity() * sizeof(std::uint32_t) > kBudget)
            return nullptr;
    }
    e->offsets.push_back(std::uint32_t(e->bytes.size()));
    // Room past the last text, so that a short one is copied in one fixed-size move.
    e->bytes.room(kShortText);
    m_encoded->push_back(std::move(e));
    return m_encoded->back().get();
}

// The cells the batch loop does not write itself: a day pushed out of its cache slot, a time
// stamp, and a cell only ExportTable::read() converts.
inline void RecordFormatter::putCell(ByteSink &out, int record, int row, int f)
{
    const ExportTable::Source &s = m_sources[std::size_t(f)];
    if (s.nulls && (s.nulls[row >> 6] >> (row & 63)) & 1u)
        return;
    switch (s.kind) {
    case ExportTable::Source::Day: {
        const QByteArrayView day = m_times->day(s.days[row]);
        out.append(day.data(), std::size_t(day.size()));
        return;
    }
    case ExportTable::Source::Stamp:
        putTime(out, s.integers[row]);
        return;
    default:
        putOther(out, record, f);
        return;
    }
}

template <std::size_t N>
inline char *copyLiteral(char *p, const char (&text)[N])
{
    std::memcpy(p, text, N - 1);
    return p + N - 1;
}

void RecordFormatter::planColumns()
{
    m_columns.assign(m_sources.size(), Column{});
    m_values.assign(m_sources.size() * kBatch, 0);
    m_nullsOf.assign(m_sources.size(), 0);
    for (std::size_t f = 0; f < m_sources.size(); ++f) {
        const ExportTable::Source &s = m_sources[f];
        Column &c = m_columns[f];
        c.scale = s.scale;
        switch (s.kind) {
        case ExportTable::Source::Empty:
            break;
        case ExportTable::Source::Code:
            c.lane = Lane::Bytes;
            c.base = m_encodedOf[f] ? m_encodedOf[f]->bytes.data() : nullptr;
            c.texts = !m_encodedOf[f];
            break;
        case ExportTable::Source::Day:
            c.lane = Lane::Bytes;
            c.base = m_times->days.base();
            c.days = true;
            break;
        case ExportTable::Source::Scaled:
            c.lane = !m_number.simple || s.scale < 0 || s.scale > 4 ? Lane::Scaled
                                                                     : Lane(int(Lane::Scaled0) + s.scale);
            break;
        case ExportTable::Source::Real:
            c.lane = Lane::Real;
            break;
        case ExportTable::Source::Stamp:
        case ExportTable::Source::Other:
            c.lane = Lane::Slow;
            m_times->keepSeconds();
            break;
        }
    }
}

void RecordFormatter::gather(int first, int n)
{
    // Field by field, each a tight loop over the batch: the loads of a column follow each other
    // and the processor has many of them under way at once, where a record at a time it would
    // wait for each in turn between the formatting of its neighbours. What a loop cannot use
    // at once (a dictionary's text, a cache slot) it asks for, to be there when the batch is
    // written.
    for (int i = 0; i < n; ++i)
        m_rows[i] = m_order[first + i];
    // Every day of the batch is kept before any is gathered: a day kept later could push out
    // one of the same slot gathered before it.
    for (const ExportTable::Source &s : m_sources) {
        if (s.kind == ExportTable::Source::Day) {
            for (int i = 0; i < n; ++i)
                m_times->keepDay(s.days[m_rows[i]]);
        } else if (s.kind == ExportTable::Source::Stamp) {
            for (int i = 0; i < n; ++i)
                m_times->keepDay(TimeValue::julianDay(s.integers[m_rows[i]]));
        }
    }
    m_texts.clear();
    for (std::size_t f = 0; f < m_sources.size(); ++f) {
        const ExportTable::Source &s = m_sources[f];
        const Column &c = m_columns[f];
        std::uint64_t *value = m_values.data() + f * kBatch;
        std::uint64_t nulls = 0;
        if (s.nulls) {
            for (int i = 0; i < n; ++i)
                nulls |= ((s.nulls[m_rows[i] >> 6] >> (m_rows[i] & 63)) & 1u) << i;
        }
        m_nullsOf[f] = nulls;
        switch (c.lane) {
        case Lane::Skip:
            break;
        case Lane::Bytes:
            if (c.days) {
                for (int i = 0; i < n; ++i) {
                    // Pushed out by a later day of the batch: made by the locale when written.
                    if (!m_times->days.gathered(s.days[m_rows[i]], value[i]))
                        value[i] = kNotGathered << 32;
                    if ((nulls >> i) & 1u)
                        value[i] = 0;
                }
            } else if (c.texts) {
                // Each text used about once: converted here, one after another, where a cell
                // at a time would cost a call and a fresh cursor each.
                for (int i = 0; i < n; ++i) {
                    const std::size_t at = m_texts.size();
                    if (!((nulls >> i) & 1u))
                        putText(m_texts, m_data->dictionaryText(s.column, s.codes[m_rows[i]]));
                    value[i] = at | std::uint64_t(m_texts.size() - at) << 32;
                }
            } else {
                const std::uint32_t *offsets = m_encodedOf[f]->offsets.data();
                for (int i = 0; i < n; ++i) {
                    const std::uint32_t code = s.codes[m_rows[i]];
                    const std::uint32_t at = offsets[code];
                    const std::uint64_t size = (nulls >> i) & 1u ? 0 : offsets[code + 1] - at;
                    value[i] = at | size << 32;
                    __builtin_prefetch(c.base + at);
                }
            }
            break;
        case Lane::Scaled0:
        case Lane::Scaled1:
        case Lane::Scaled2:
        case Lane::Scaled3:
        case Lane::Scaled4:
        case Lane::Scaled:
            for (int i = 0; i < n; ++i)
                value[i] = std::uint64_t(s.integers[m_rows[i]]);
            break;
        case Lane::Real:
            for (int i = 0; i < n; ++i)
                value[i] = std::bit_cast<std::uint64_t>(s.reals[m_rows[i]]);
            break;
        case Lane::Slow:
            if (s.kind == ExportTable::Source::Stamp) {
                for (int i = 0; i < n; ++i) {
                    const std::int64_t msecs = s.integers[m_rows[i]];
                    const std::int64_t day = TimeValue::julianDay(msecs);
                    __builtin_prefetch(m_times->days.slot(day));
                    __builtin_prefetch(m_times->seconds.slot((msecs - day * kMsecsPerDay) / 1000));
                }
            }
            break;
        }
    }
    // Every gathered text has a short block readable after its start; the texts may have moved.
    m_texts.room(kShortText);
    for (Column &c : m_columns) {
        if (c.texts)
            c.base = m_texts.data();
    }
}

namespace {

template <int Scale>
[[gnu::always_inline]] inline char *writeScale(char *p, std::uint64_t value, char minus, char point,
                                               const exf::NumberStyle &style)
{
    char *end = exf::scaled::writeSimple<Scale>(p, std::int64_t(value), minus, point);
    return end ? end : exf::scaled::writeOther(p, std::int64_t(value), Scale, style);
}

} // namespace

template <bool Html>
void RecordFormatter::writeBatch(ByteSink &out, int first, int n)
{
    // The cells whose longest text is known are written through a cursor of this function's own,
    // which the compiler keeps in a register: through the sink, every byte stored would make it
    // read the sink's size and capacity again. Room for all of them is made once per record.
    // Held in locals: a store through the cursor may alias any member, which the compiler would
    // then read again after every byte written.
    const std::size_t fields = m_columns.size();
    const Column *const columns = m_columns.data();
    const std::uint64_t *const values = m_values.data();
    const std::uint64_t *const nullsOf = m_nullsOf.data();
    const std::size_t recordRoom = m_recordRoom;
    const char minus = m_number.minusSign, point = m_number.point;
    for (int i = 0; i < n; ++i) {
        char *p = out.room(recordRoom);
        if constexpr (Html)
            p = copyLiteral(p, exf::kHtmlRowOpen);
        const std::uint64_t *value = values + i;
        for (std::size_t f = 0; f < fields; ++f, value += kBatch) {
            if constexpr (Html)
                p = copyLiteral(p, exf::kHtmlCellOpen);
            else if (f)
                *p++ = '|';
            const Column &c = columns[f];
            if (c.lane == Lane::Bytes) {
                const char *text = c.base + std::uint32_t(*value);
                const std::size_t size = *value >> 32;
                // Every gathered text has this much readable after its start: one move, no call.
                std::memcpy(p, text, kShortText);
                if (size <= kShortText) {
                    p += size;
                } else if (size != kNotGathered && !c.texts) {
                    std::memcpy(p + kShortText, text + kShortText, size - kShortText);
                    p += size;
                } else if (size != kNotGathered) {
                    // Of any length: room made for it alone.
                    out.done(p);
                    out.append(text, size);
                    p = out.room(recordRoom);
                } else {
                    out.done(p);
                    putCell(out, first + i, m_rows[i], int(f));
                    p = out.room(recordRoom);
                }
            } else if (!((nullsOf[f] >> i) & 1u)) {
                switch (c.lane) {
                case Lane::Scaled0: p = writeScale<0>(p, *value, minus, point, m_number); break;
                case Lane::Scaled1: p = writeScale<1>(p, *value, minus, point, m_number); break;
                case Lane::Scaled2: p = writeScale<2>(p, *value, minus, point, m_number); break;
                case Lane::Scaled3: p = writeScale<3>(p, *value, minus, point, m_number); break;
                case Lane::Scaled4: p = writeScale<4>(p, *value, minus, point, m_number); break;
                case Lane::Scaled: p = exf::writeScaled(p, std::int64_t(*value), c.scale, m_number); break;
                case Lane::Real: p = exf::writeNumber(p, std::bit_cast<double>(*value), m_number); break;
                case Lane::Slow:
                    out.done(p);
                    putCell(out, first + i, m_rows[i], int(f));
                    p = out.room(recordRoom);
                    break;
                case Lane::Skip:
                case Lane::Bytes:
                    break;
                }
            }
            if constexpr (Html)
                p = copyLiteral(p, exf::kHtmlCellClose);
        }
        p = Html ? copyLiteral(p, exf::kHtmlRowClose) : copyLiteral(p, "\r\n");
        out.done(p);
    }
}

void RecordFormatter::append(ByteSink &out, int first, int end)
{
    for (; first < end; first += kBatch) {
        const int n = std::min(kBatch, end - first);
        gather(first, n);
        if (m_html)
            writeBatch<true>(out, first, n);
        else
            writeBatch<false>(out, first, n);
    }
}

void RecordFormatter::putOther(ByteSink &out, int record, int f)
{
    m_table.read(record, f, m_cell);
    switch (m_cell.kind) {
    case ExportTable::Cell::Null:
        return;
    case ExportTable::Cell::Scaled:
        out.done(exf::writeScaled(out.room(std::size_t(m_number.room)), m_cell.integer, m_cell.scale, m_number));
        return;
    case ExportTable::Cell::Real:
        out.done(exf::writeNumber(out.room(std::size_t(m_number.room)), m_cell.real, m_number));
        return;
    case ExportTable::Cell::Time:
        putTime(out, m_cell.integer);
        return;
    case ExportTable::Cell::Text:
        putText(out, m_cell.code == ExportTable::kNoCode ? QStringView(m_cell.text)
                                                          : QStringView(m_data->dictionaryText(m_table.field(f).source, m_cell.code)));
        return;
    }
}

void RecordFormatter::putTime(ByteSink &out, std::int64_t msecs)
{
    const std::int64_t day = TimeValue::julianDay(msecs);
    const int ofDay = int(msecs - day * kMsecsPerDay);
    const QByteArrayView date = m_times->day(day);
    if (ofDay == 0) {
        out.append(date.data(), std::size_t(date.size()));
        return;
    }
    const QByteArrayView time = m_times->time(ofDay);
    char *p = out.room(std::size_t(date.size() + 1 + time.size()));
    std::memcpy(p, date.data(), std::size_t(date.size()));
    p += date.size();
    *p++ = ' ';
    std::memcpy(p, time.data(), std::size_t(time.size()));
    out.done(p + time.size());
}

void RecordFormatter::putText(ByteSink &out, QStringView text)
{
    const qsizetype n = text.size();
    // UTF-8 takes at most three bytes per UTF-16 unit, an entity at most six.
    char *p = out.room(std::size_t(n) * (m_html ? 6 : 3));
    const char16_t *c = text.utf16();
    qsizetype i = 0;
#ifdef __SSE2__
    // Eight units at a time while they are plain ASCII needing no entity, packed to bytes in one
    // step: descriptions, names and serials are, and converting each distinct one is most of the
    // time before the first record.
    const auto plain = [this](const char16_t *at, char *to) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i *>(at));
        const __m128i high = _mm_and_si128(units, _mm_set1_epi16(short(0xFF80)));
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(high, _mm_setzero_si128())) != 0xFFFF)
            return false;
        if (m_html) {
            const __m128i special =
                _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(units, _mm_set1_epi16('&')), _mm_cmpeq_epi16(units, _mm_set1_epi16('<'))),
                             _mm_or_si128(_mm_cmpeq_epi16(units, _mm_set1_epi16('>')), _mm_cmpeq_epi16(units, _mm_set1_epi16('"'))));
            if (_mm_movemask_epi8(special) != 0)
                return false;
        }
        _mm_storel_epi64(reinterpret_cast<__m128i *>(to), _mm_packus_epi16(units, units));
        return true;
    };
    for (; i + 8 <= n && plain(c + i, p); i += 8)
        p += 8;
    // The last few units as the last eight, again over some already written: the same bytes.
    if (n >= 8 && i < n && i + 8 > n && plain(c + n - 8, p - (i + 8 - n))) {
        p += n - i;
        i = n;
    }
#endif
    // Four units at a time while they are plain ASCII needing no entity: ids, serials and codes
    // are, and a unit at a time they cost as much as all the numbers of a record.
    for (; std::endian::native == std::endian::little && i + 4 <= n; i += 4) {
        std::uint64_t units;
        std::memcpy(&units, c + i, sizeof units);
        if (units & 0xFF80'FF80'FF80'FF80ull)
            break;
        const auto bytes = std::uint32_t((units & 0xFF) | ((units >> 8) & 0xFF00) | ((units >> 16) & 0xFF'0000) |
                                         ((units >> 24) & 0xFF00'0000));
        if (m_html && (hasByte(bytes, '&') || hasByte(bytes, '<') || hasByte(bytes, '>') || hasByte(bytes, '"')))
            break;
        std::memcpy(p, &bytes, sizeof bytes);
        p += sizeof bytes;
    }
    for (; i < n; ++i) {
        const char16_t u = c[i];
        if (u < 0x80) {
            if (m_html && (u == u'&' || u == u'<' || u == u'>' || u == u'"')) {
                const char *entity = u == u'&' ? "&amp;" : u == u'<' ? "&lt;" : u == u'>' ? "&gt;" : "&quot;";
                const std::size_t len = std::strlen(entity);
                std::memcpy(p, entity, len);
                p += len;
            } else {
                *p++ = char(u);
            }
        } else if (u < 0x800) {
            *p++ = char(0xC0 | (u >> 6));
            *p++ = char(0x80 | (u & 0x3F));
        } else if (!QChar::isSurrogate(u)) {
            *p++ = char(0xE0 | (u >> 12));
            *p++ = char(0x80 | ((u >> 6) & 0x3F));
            *p++ = char(0x80 | (u & 0x3F));
        } else if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(c[i + 1])) {
            const char32_t cp = QChar::surrogateToUcs4(u, c[++i]);
            *p++ = char(0xF0 | (cp >> 18));
            *p++ = char(0x80 | ((cp >> 12) & 0x3F));
            *p++ = char(0x80 | ((cp >> 6) & 0x3F));
            *p++ = char(0x80 | (cp & 0x3F));
        } else {
            const auto len = std::min<std::size_t>(std::size_t(m_lone.size()), 3);
            std::memcpy(p, m_lone.constData(), len);
            p += len;
        }
    }
    out.done(p);
}

} // namespace velmora
