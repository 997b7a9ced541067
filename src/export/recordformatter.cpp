#include "export/recordformatter.h"

#include <QByteArrayView>
#include <QDate>
#include <QTime>

#include <algorithm>
#include <bit>
#include <limits>

namespace velmora {

namespace exf = exportformat;

namespace {

constexpr std::int64_t kMsecsPerDay = 86'400'000;
// Texts up to this long are copied as a whole block of it, which needs no call and no branch on
// the length.
constexpr std::size_t kShortText = 32;
// Room kept for a day's text in a record: the day cache's widest slot holds 59 bytes, and its
// narrow slots are copied 16 bytes at a time.
constexpr qsizetype kDayRoom = 64;
// Dictionaries up to this size stay in the processor's cache while a file is written.
constexpr std::size_t kCached = 256u << 10;
constexpr std::int64_t kNoKey = std::numeric_limits<std::int64_t>::min();

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

void ByteSink::reserve(std::size_t capacity)
{
    if (capacity <= m_capacity)
        return;
    capacity = std::max(capacity, m_capacity + m_capacity / 2);
    std::unique_ptr<char[]> bytes(new char[capacity]);
    if (m_size)
        std::memcpy(bytes.get(), m_bytes.get(), m_size);
    m_bytes = std::move(bytes);
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
    bool find(std::int64_t key, QByteArrayView &text) const
    {
        const char *s = kept(key);
        if (s)
            text = QByteArrayView(s + kHead, std::uint8_t(s[sizeof(std::int32_t)]));
        return s != nullptr;
    }
    // Copies the text of a key kept to `to` and returns its end; nullptr where the key is not
    // kept. A text of the narrow slots is copied as one 16-byte move, which needs no call.
    char *copy(char *to, std::int64_t key) const
    {
        const char *s = kept(key);
        if (!s)
            return nullptr;
        const std::size_t n = std::uint8_t(s[sizeof(std::int32_t)]);
        if (m_width == 16)
            std::memcpy(to, s + kHead, 16);
        else
            std::memcpy(to, s + kHead, n);
        return to + n;
    }
    QByteArrayView keep(std::int64_t key, const QByteArray &text)
    {
        if (text.size() > qsizetype(m_width) - kHead || key <= kNone || key > std::numeric_limits<std::int32_t>::max())
            return text;
        char *s = m_bytes.data() + (std::size_t(key) & m_mask) * m_width;
        const auto held = std::int32_t(key);
        std::memcpy(s, &held, sizeof held);
        s[sizeof held] = char(std::uint8_t(text.size()));
        std::memcpy(s + kHead, text.constData(), std::size_t(text.size()));
        return QByteArrayView(s + kHead, text.size());
    }

private:
    static constexpr std::int32_t kNone = std::numeric_limits<std::int32_t>::min();
    static constexpr qsizetype kHead = 5;
    static constexpr std::size_t kSlack = 16;   // the last slot's 16-byte copy reads past it
    std::size_t m_mask = 0;
    std::size_t m_width = 16;
    std::vector<char> m_bytes;
};

// The texts of days and of times of day, made by the locale once per value and kept: a report's
// dates repeat across its rows, and a time's text (without milliseconds) depends only on its second.
struct RecordFormatter::Times {
    static constexpr std::size_t kDaySlots = 1 << 14;   // every day of 44 years without a collision

    Times(const QLocale &locale, bool html)
        : style(exf::DateStyle::of(locale)), html(html), bySecond(!style.timePattern.contains(QLatin1Char('z')))
    {
        qsizetype longest = 0;
        for (int month = 1; month <= 12; ++month)
            longest = std::max(longest, dayText(QDate(2024, month, 28).toJulianDay()).size());
        days = SlotCache(kDaySlots, longest);
        longest = 0;
        for (int hour : {0, 1, 11, 12, 13, 23})
            longest = std::max(longest, timeText(hour * 3'600'000 + 3'599'000).size());
        seconds = SlotCache(bySecond ? 1 << 17 : 1, longest);
    }

    const QByteArray &dayText(std::int64_t julianDay)
    {
        dayScratch.clear();
        encodeText(dayScratch, style.locale.toString(QDate::fromJulianDay(julianDay), style.datePattern), html);
        return dayScratch;
    }
    const QByteArray &timeText(int msecsOfDay)
    {
        timeScratch.clear();
        encodeText(timeScratch, style.locale.toString(QTime::fromMSecsSinceStartOfDay(msecsOfDay), style.timePattern), html);
        return timeScratch;
    }

    QByteArrayView day(std::int64_t julianDay)
    {
        QByteArrayView text;
        return days.find(julianDay, text) ? text : days.keep(julianDay, dayText(julianDay));
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
    SlotCache days;
    SlotCache seconds;
    QByteArray dayScratch;
    QByteArray timeScratch;
};

// A text field whose texts repeat, its dictionary already turned into the file's bytes.
struct RecordFormatter::Encoded {
    ExportTable::Source source;
    std::size_t longest = 0;   // bytes of the longest text
    std::vector<std::uint32_t> offsets;   // by code, and one past the last
    ByteSink bytes;
};

RecordFormatter::RecordFormatter(const ExportTable &table, Form form, const QLocale &locale)
    : m_table(table), m_data(table.table()), m_order(table.order()), m_records(table.recordCount()),
      m_encoded(std::make_shared<std::vector<std::unique_ptr<Encoded>>>()), m_html(form == Form::Html),
      m_locale(locale), m_number(exf::NumberStyle::of(locale)), m_lone(QString(QChar(0xD800)).toUtf8()),
      m_times(std::make_unique<Times>(locale, m_html))
{
    m_sources.reserve(std::size_t(table.fieldCount()));
    for (int f = 0; f < table.fieldCount(); ++f) {
        m_sources.push_back(table.source(f));
        const ExportTable::Source::Kind kind = m_sources.back().kind;
        m_encodedOf.push_back(kind == ExportTable::Source::Code ? encode(m_sources.back()) : nullptr);
        if (kind == ExportTable::Source::Code && !m_encodedOf.back())
            m_codeSources.push_back(m_sources.back());
        else if (kind == ExportTable::Source::Day || kind == ExportTable::Source::Stamp)
            m_timeSources.push_back(m_sources.back());
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
    }
}

RecordFormatter::RecordFormatter(const RecordFormatter &model, const QLocale &locale)
    : m_table(model.m_table), m_data(model.m_data), m_order(model.m_order), m_records(model.m_records),
      m_sources(model.m_sources), m_encoded(model.m_encoded), m_encodedOf(model.m_encodedOf),
      m_large(model.m_large), m_codeSources(model.m_codeSources), m_timeSources(model.m_timeSources), m_html(model.m_html), m_locale(locale),
      m_number(model.m_number), m_recordRoom(model.m_recordRoom), m_lone(model.m_lone),
      m_times(std::make_unique<Times>(locale, m_html))
{
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
    if (m_encoded->back()->bytes.size() + m_encoded->back()->offsets.size() * sizeof(std::uint32_t) > kCached)
        m_large.push_back(m_encoded->back().get());
    return m_encoded->back().get();
}

void RecordFormatter::prefetch(int record)
{
    // A text is two loads from anywhere in memory (where it starts, then its bytes); asked for a
    // few records ahead, both are in the cache by the time the record is written. Small
    // dictionaries stay in the cache anyway and are not asked for.
    constexpr int kString = 16;
    constexpr int kCharacters = 8;
    if (record + kString < m_records) {
        const int row = m_order[record + kString];
        for (const Encoded *e : m_large)
            __builtin_prefetch(&e->offsets[e->source.codes[row]]);
        for (const ExportTable::Source &s : m_codeSources)
            __builtin_prefetch(&m_data->dictionaryText(s.column, s.codes[row]));
    }
    if (record + kCharacters >= m_records)
        return;
    const int row = m_order[record + kCharacters];
    for (const Encoded *e : m_large)
        __builtin_prefetch(e->bytes.data() + e->offsets[e->source.codes[row]]);
    for (const ExportTable::Source &s : m_codeSources)
        __builtin_prefetch(m_data->dictionaryText(s.column, s.codes[row]).constData());
    for (const ExportTable::Source &s : m_timeSources) {
        if (s.days) {
            __builtin_prefetch(m_times->days.slot(s.days[row]));
        } else {
            const std::int64_t day = TimeValue::julianDay(s.integers[row]);
            __builtin_prefetch(m_times->days.slot(day));
            __builtin_prefetch(m_times->seconds.slot((s.integers[row] - day * kMsecsPerDay) / 1000));
        }
    }
}

inline void RecordFormatter::putCell(ByteSink &out, int record, int row, int f)
{
    const ExportTable::Source &s = m_sources[std::size_t(f)];
    if (s.nulls && (s.nulls[row >> 6] >> (row & 63)) & 1u)
        return;
    switch (s.kind) {
    case ExportTable::Source::Empty:
        return;
    case ExportTable::Source::Code:
        if (const Encoded *e = m_encodedOf[std::size_t(f)]) {
            const std::uint32_t code = s.codes[row];
            out.append(e->bytes.data() + e->offsets[code], e->offsets[code + 1] - e->offsets[code]);
        } else {
            putText(out, m_data->dictionaryText(s.column, s.codes[row]));
        }
        return;
    case ExportTable::Source::Scaled:
        out.done(exf::writeScaled(out.room(std::size_t(m_number.room)), s.integers[row], s.scale, m_number));
        return;
    case ExportTable::Source::Real:
        out.done(exf::writeNumber(out.room(std::size_t(m_number.room)), s.reals[row], m_number));
        return;
    case ExportTable::Source::Day: {
        const QByteArrayView day = m_times->day(s.days[row]);
        out.append(day.data(), std::size_t(day.size()));
        return;
    }
    case ExportTable::Source::Stamp:
        putTime(out, s.integers[row]);
        return;
    case ExportTable::Source::Other:
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

void RecordFormatter::append(ByteSink &out, int record)
{
    // The cells whose longest text is known are written through a cursor of this function's own,
    // which the compiler keeps in a register: through the sink, every byte stored would make it
    // read the sink's size and capacity again. Room for all of them is made once per record.
    const int fields = int(m_sources.size());
    prefetch(record);
    const int row = m_order[record];
    char *p = out.room(m_recordRoom);
    if (m_html)
        p = copyLiteral(p, exf::kHtmlRowOpen);
    for (int f = 0; f < fields; ++f) {
        if (m_html)
            p = copyLiteral(p, exf::kHtmlCellOpen);
        else if (f)
            *p++ = '|';
        const ExportTable::Source &s = m_sources[std::size_t(f)];
        if (!s.nulls || !((s.nulls[row >> 6] >> (row & 63)) & 1u)) {
            const Encoded *e = m_encodedOf[std::size_t(f)];
            if (e) {
                const std::uint32_t code = s.codes[row];
                const std::uint32_t at = e->offsets[code];
                // Every text of the dictionary has this much readable after its start.
                std::memcpy(p, e->bytes.data() + at, kShortText);
                const std::size_t n = e->offsets[code + 1] - at;
                if (n > kShortText)
                    std::memcpy(p + kShortText, e->bytes.data() + at + kShortText, n - kShortText);
                p += n;
            } else if (s.kind == ExportTable::Source::Scaled) {
                p = exf::writeScaled(p, s.integers[row], s.scale, m_number);
            } else if (s.kind == ExportTable::Source::Real) {
                p = exf::writeNumber(p, s.reals[row], m_number);
            } else if (char *end = s.kind == ExportTable::Source::Day ? m_times->days.copy(p, s.days[row]) : nullptr) {
                p = end;
            } else {
                out.done(p);
                putCell(out, record, row, f);
                p = out.room(m_recordRoom);
            }
        }
        if (m_html)
            p = copyLiteral(p, exf::kHtmlCellClose);
    }
    p = m_html ? copyLiteral(p, exf::kHtmlRowClose) : copyLiteral(p, "\r\n");
    out.done(p);
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
