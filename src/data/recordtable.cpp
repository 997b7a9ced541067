#include "data/recordtable.h"

#include <QDate>
#include <QLocale>
#include <QDateTime>
#include <QTime>

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <numeric>
#include <thread>
#include <type_traits>
#include <utility>
#include <variant>

namespace velmora {

namespace {

constexpr std::int64_t kPow10[] = {1LL,
                                   10LL,
                                   100LL,
                                   1000LL,
                                   10000LL,
                                   100000LL,
                                   1000000LL,
                                   10000000LL,
                                   100000000LL,
                                   1000000000LL,
                                   10000000000LL,
                                   100000000000LL,
                                   1000000000000LL,
                                   10000000000000LL,
                                   100000000000000LL,
                                   1000000000000000LL,
                                   10000000000000000LL,
                                   100000000000000000LL,
                                   1000000000000000000LL};

std::int64_t pow10(int scale)
{
    return (scale >= 0 && scale <= 18) ? kPow10[scale] : 1;
}

// Eight bytes at a time, mixed by multiplication: quick for the short and the 200-character texts
// of a report alike.
std::uint64_t hashBytes(const char *p, std::size_t n)
{
    std::uint64_t h = 0x9E3779B97F4A7C15ull ^ n;
    while (n >= 8) {
        std::uint64_t w;
        std::memcpy(&w, p, 8);
        h = (h ^ w) * 0xFF51AFD7ED558CCDull;
        h ^= h >> 32;
        p += 8;
        n -= 8;
    }
    if (n) {
        std::uint64_t w = 0;
        std::memcpy(&w, p, n);
        h = (h ^ w) * 0xC4CEB9FE1A85EC53ull;
    }
    h ^= h >> 29;
    h *= 0x94D049BB133111EBull;
    h ^= h >> 31;
    return h;
}

// Decodes UTF-8 into out (cleared first). Invalid sequences become U+FFFD, as QString would do.
void decodeUtf8(const char *utf8, int bytes, std::vector<char16_t> &out)
{
    out.clear();
    out.reserve(std::size_t(bytes));
    const auto *p = reinterpret_cast<const unsigned char *>(utf8);
    const auto *end = p + bytes;
    while (p < end) {
        unsigned c = *p;
        if (c < 0x80) {
            out.push_back(char16_t(c));
            ++p;
            continue;
        }
        int extra;
        std::uint32_t cp;
        if ((c & 0xE0) == 0xC0) {
            extra = 1;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            cp = c & 0x07;
        } else {
            out.push_back(u'\uFFFD');
            ++p;
            continue;
        }
        if (end - p <= extra) {
            out.push_back(u'\uFFFD');
            break;
        }
        bool good = true;
        for (int i = 1; i <= extra; ++i) {
            if ((p[i] & 0xC0) != 0x80) {
                good = false;
                break;
            }
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        if (!good) {
            out.push_back(u'\uFFFD');
            ++p;
            continue;
        }
        p += extra + 1;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(char16_t(0xD800 + (cp >> 10)));
            out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(char16_t(cp));
        }
    }
}

QString formatScaled(std::int64_t v, int scale)
{
    if (scale <= 0)
        return QString::number(v);
    const bool negative = v < 0;
    // Work in unsigned so that INT64_MIN does not overflow.
    const std::uint64_t mag = negative ? std::uint64_t(0) - std::uint64_t(v) : std::uint64_t(v);
    const std::uint64_t p = std::uint64_t(pow10(scale));
    QString s = QString::number(mag / p);
    QString frac = QString::number(mag % p);
    s += QLatin1Char('.');
    s += QString(scale - frac.size(), QLatin1Char('0'));
    s += frac;
    if (negative)
        s.prepend(QLatin1Char('-'));
    return s;
}


// A growable array of plain values on malloc/realloc: large blocks are mmapped by the allocator
// and realloc moves their pages instead of copying them, which keeps a million-row fetch from
// spending its time re-copying and faulting in ever larger std::vector buffers.
template <typename T>
class PodVec {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    PodVec() = default;
    ~PodVec() { std::free(m_data); }
    PodVec(PodVec &&o) noexcept
        : m_data(std::exchange(o.m_data, nullptr)), m_size(std::exchange(o.m_size, 0)), m_cap(std::exchange(o.m_cap, 0))
    {
    }
    PodVec &operator=(PodVec &&o) noexcept
    {
        std::swap(m_data, o.m_data);
        std::swap(m_size, o.m_size);
        std::swap(m_cap, o.m_cap);
        return *this;
    }
    PodVec(const PodVec &) = delete;
    PodVec &operator=(const PodVec &) = delete;

    std::size_t size() const { return m_size; }
    std::size_t capacity() const { return m_cap; }
    bool empty() const { return m_size == 0; }
    T *data() { return m_data; }
    const T *data() const { return m_data; }
    T *begin() { return m_data; }
    T *end() { return m_data + m_size; }
    T &operator[](std::size_t i) { return m_data[i]; }
    const T &operator[](std::size_t i) const { return m_data[i]; }

    void reserve(std::size_t n)
    {
        if (n > m_cap)
            reallocate(n);
    }
    void shrink_to_fit()
    {
        if (m_cap > m_size)
            reallocate(m_size);
    }
    void push_back(T v)
    {
        if (m_size == m_cap)
            reallocate(m_cap < 1024 ? 1024 : m_cap * 2);
        m_data[m_size++] = v;
    }
    // Appends [first, last); the position must be end().
    void insert(T *, const T *first, const T *last)
    {
        const std::size_t n = std::size_t(last - first);
        if (m_size + n > m_cap)
            reallocate(std::max(m_size + n, m_cap < 1024 ? std::size_t(1024) : m_cap * 2));
        if (n)
            std::memcpy(m_data + m_size, first, n * sizeof(T));
        m_size += n;
    }
    void erase(T *pos)
    {
        std::memmove(pos, pos + 1, std::size_t(end() - pos - 1) * sizeof(T));
        --m_size;
    }

private:
    void reallocate(std::size_t n)
    {
        if (n == 0) {
            std::free(m_data);
            m_data = nullptr;
            m_cap = 0;
            return;
        }
        void *p = std::realloc(m_data, n * sizeof(T));
        if (!p)
            throw std::bad_alloc();
        m_data = static_cast<T *>(p);
        m_cap = n;
    }

    T *m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_cap = 0;
};

} // namespace

struct RecordTable::Impl {
    static constexpr std::size_t kDistinctSampleRows = 65536;

    struct Column {
        ColumnInfo info;
        PodVec<std::int64_t> ints;   // Integer, Boolean, Timestamp
        PodVec<double> reals;        // Double
        PodVec<std::int32_t> dates;  // Date
        PodVec<std::uint32_t> codes; // Text
        std::vector<std::uint64_t> nulls; // empty while the column has no null

        // Text dictionary: every distinct text once (every row's text in a distinctPerRow column).
        // While building, the texts sit in one UTF-8 buffer as the database delivered them;
        // finish() decodes each into a QString of its own.
        std::vector<QString> dict;
        // Content digests of binary values shown as a summary text, by row; shorter than the
        // column (or empty) where rows have none.
        std::vector<std::uint64_t> digests;
        std::uint64_t digest(std::size_t row) const { return row < digests.size() ? digests[row] : 0; }
        void setDigest(std::size_t row, std::uint64_t v)
        {
            if (row >= digests.size()) {
                if (v == 0)
                    return;
                digests.resize(row + 1, 0);
            }
            digests[row] = v;
        }

        // Build-time only, dropped by finish(). Each text is a record in `keys`: its code and its
        // byte count (4 bytes each) and its UTF-8 bytes, in code order. `probe` is an
        // open-addressing table of slots holding the top 24 bits of the text's hash and the
        // record's offset + 1, so that a look-up reads one slot and, when the bits match, one
        // record: two cache misses at most, none for a passed-over slot.
        PodVec<char> keys;
        std::uint32_t keyCount = 0;
        std::unique_ptr<std::uint64_t[]> probe;
        std::size_t probeSlots = 0;
        std::uint64_t preparedHash = 0;
        bool prepared = false;
        std::int64_t nullTextCode = -1;
        std::size_t nullTexts = 0;
        // Set when the first rows of a column were all different (serial numbers, keys): its texts
        // are then stored one per row without looking them up, because a look-up in a table as
        // large as the column costs a cache miss per row and finds nothing to share. Equal texts
        // may then hold different codes; readers that compare texts rank them by content anyway.
        bool distinctPerRow = false;

        std::size_t size() const
        {
            switch (info.type) {
            case ColumnType::Double: return reals.size();
            case ColumnType::Date: return dates.size();
            case ColumnType::Text: return codes.size();
            default: return ints.size();
            }
        }

        bool isNull(std::size_t row) const
        {
            const std::size_t w = row >> 6;
            return w < nulls.size() && (nulls[w] >> (row & 63)) & 1u;
        }
        void setNullBit(std::size_t row, bool on)
        {
            const std::size_t w = row >> 6;
            if (!on && w >= nulls.size())
                return;
            if (w >= nulls.size())
                nulls.resize(w + 1, 0);
            const std::uint64_t bit = std::uint64_t(1) << (row & 63);
            if (on)
                nulls[w] |= bit;
            else
                nulls[w] &= ~bit;
        }

        static constexpr int kTagShift = 40;
        static constexpr std::uint64_t kOffsetMask = (std::uint64_t(1) << kTagShift) - 1;
        static std::uint64_t tagOf(std::uint64_t h) { return h >> kTagShift << kTagShift; }

        std::uint32_t addKey(const char *utf8, std::size_t n)
        {
            const std::uint32_t code = keyCount++;
            const std::uint32_t header[2] = {code, std::uint32_t(n)};
            const auto *h = reinterpret_cast<const char *>(header);
            keys.insert(keys.end(), h, h + sizeof header);
            keys.insert(keys.end(), utf8, utf8 + n);
            return code;
        }

        // The record at `offset` holds these bytes: its code, else -1.
        std::int64_t matchAt(std::size_t offset, const char *utf8, std::size_t n) const
        {
            std::uint32_t header[2];
            std::memcpy(header, keys.data() + offset, sizeof header);
            if (header[1] != n || (n && std::memcmp(keys.data() + offset + sizeof header, utf8, n) != 0))
                return -1;
            return header[0];
        }

        void growSlots()
        {
            const std::size_t n = std::max<std::size_t>(64, probeSlots * 2);
            probe.reset(new std::uint64_t[n]());
            probeSlots = n;
            const std::size_t mask = n - 1;
            std::size_t offset = 0;
            for (std::uint32_t code = 0; code < keyCount; ++code) {
                std::uint32_t len;
                std::memcpy(&len, keys.data() + offset + 4, sizeof len);
                const std::uint64_t h = hashBytes(keys.data() + offset + 8, len);
                std::size_t i = h & mask;
                while (probe[i])
                    i = (i + 1) & mask;
                probe[i] = tagOf(h) | (offset + 1);
                offset += 8 + len;
            }
        }

        // Hashes a text that the next intern() of this column will be given and asks for its slot
        // now, so that the cache misses of a row's text columns overlap instead of queueing.
        void prepare(const char *utf8, std::size_t n)
        {
            if (distinctPerRow)
                return;
            if ((std::size_t(keyCount) + 1) * 2 > probeSlots)
                growSlots();
            preparedHash = hashBytes(utf8, n);
            prepared = true;
            __builtin_prefetch(&probe[preparedHash & (probeSlots - 1)]);
        }

        // Texts are looked up by their UTF-8 bytes, as the database delivers them, so a repeated
        // value (most of a report's texts) costs a hash and a compare, never a decode.
        std::uint32_t intern(const char *utf8, std::size_t n)
        {
            if (distinctPerRow)
                return addKey(utf8, n);
            if ((std::size_t(keyCount) + 1) * 2 > probeSlots) {
                growSlots();
                prepared = false;
            }
            const std::uint64_t h = prepared ? preparedHash : hashBytes(utf8, n);
            prepared = false;
            const std::uint64_t tag = tagOf(h);
            const std::size_t mask = probeSlots - 1;
            std::size_t i = h & mask;
            while (const std::uint64_t slot = probe[i]) {
                if ((slot & ~kOffsetMask) == tag) {
                    const std::int64_t code = matchAt((slot & kOffsetMask) - 1, utf8, n);
                    if (code >= 0)
                        return std::uint32_t(code);
                }
                i = (i + 1) & mask;
            }
            const std::size_t offset = keys.size();
            if (offset + 1 > kOffsetMask)
                throw std::bad_alloc();
            probe[i] = tag | (offset + 1);
            return addKey(utf8, n);
        }

        void dropProbe()
        {
            probe.reset();
            probeSlots = 0;
            prepared = false;
        }

        void appendCode(std::uint32_t code)
        {
            codes.push_back(code);
            // Judged once, on a sample large enough that a column of a few thousand repeating
            // values (customers, descriptions) cannot pass for one of all-different values.
            // Nulls share one entry and do not count either way.
            if (codes.size() == kDistinctSampleRows) {
                const std::size_t texts = codes.size() - nullTexts;
                const std::size_t distinct = keyCount - (nullTextCode >= 0 ? 1 : 0);
                if (texts >= kDistinctSampleRows / 2 && distinct * 100 >= texts * 99) {
                    distinctPerRow = true;
                    dropProbe();
                }
            }
        }

        // After finish(): the build-time buffers are gone, so new texts get QStrings of their own.
        std::uint32_t internFinished(const QString &s)
        {
            for (std::uint32_t code = 0; code < dict.size(); ++code)
                if (dict[code] == s)
                    return code;
            dict.push_back(s);
            return std::uint32_t(dict.size() - 1);
        }

        void freeze()
        {
            // Each text owns its characters: a copy of a dictionary text (a QVariant, a model's
            // cache) must stay valid after the table is gone, which views into one shared pool
            // (QString::fromRawData) would not.
            dict.clear();
            // Decoded once per dictionary entry, here rather than while rows arrive, so that loading
            // only hashes and compares bytes.
            std::vector<char16_t> scratch;
            dict.reserve(keyCount);
            std::size_t offset = 0;
            for (std::uint32_t code = 0; code < keyCount; ++code) {
                std::uint32_t len;
                std::memcpy(&len, keys.data() + offset + 4, sizeof len);
                decodeUtf8(keys.data() + offset + 8, int(len), scratch);
                dict.emplace_back(reinterpret_cast<const QChar *>(scratch.data()), qsizetype(scratch.size()));
                offset += 8 + len;
            }
            dropProbe();
            keys = PodVec<char>();
            keyCount = 0;
        }
    };

    std::vector<Column> columns;
    int rows = 0;
    bool finished = false;
};

namespace {
template <typename V>
void shrinkIfLoose(V &v)
{
    if (v.capacity() > v.size() + v.size() / 16 + 64)
        v.shrink_to_fit();
}
template <typename T>
std::size_t bytesOf(const std::vector<T> &v)
{
    return v.capacity() * sizeof(T);
}
template <typename T>
std::size_t bytesOf(const PodVec<T> &v)
{
    return v.capacity() * sizeof(T);
}
} // namespace

// ---- RecordTable -------------------------------------------------------------------------------

RecordTable::RecordTable() : d(std::make_unique<Impl>()) { d->finished = true; }
RecordTable::~RecordTable() = default;
RecordTable::RecordTable(RecordTable &&) noexcept = default;
RecordTable &RecordTable::operator=(RecordTable &&) noexcept = default;

int RecordTable::rowCount() const { return d->rows; }
int RecordTable::columnCount() const { return int(d->columns.size()); }
const ColumnInfo &RecordTable::column(int col) const { return d->columns[std::size_t(col)].info; }

int RecordTable::columnIndex(QStringView name) const
{
    for (std::size_t c = 0; c < d->columns.size(); ++c)
        if (name.compare(d->columns[c].info.name, Qt::CaseInsensitive) == 0)
            return int(c);
    return -1;
}

bool RecordTable::isNull(int row, int col) const { return d->columns[std::size_t(col)].isNull(std::size_t(row)); }

bool RecordTable::hasNulls(int col) const
{
    const auto &bits = d->columns[std::size_t(col)].nulls;
    return std::any_of(bits.begin(), bits.end(), [](std::uint64_t w) { return w != 0; });
}

std::int64_t RecordTable::integer(int row, int col) const
{
    const auto &c = d->columns[std::size_t(col)];
    assert(c.info.type == ColumnType::Integer || c.info.type == ColumnType::Boolean);
    return c.ints[std::size_t(row)];
}

double RecordTable::real(int row, int col) const
{
    const auto &c = d->columns[std::size_t(col)];
    assert(c.info.type == ColumnType::Double);
    return c.reals[std::size_t(row)];
}

std::int32_t RecordTable::date(int row, int col) const
{
    const auto &c = d->columns[std::size_t(col)];
    assert(c.info.type == ColumnType::Date);
    return c.dates[std::size_t(row)];
}

std::int64_t RecordTable::timestamp(int row, int col) const
{
    const auto &c = d->columns[std::size_t(col)];
    assert(c.info.type == ColumnType::Timestamp);
    return c.ints[std::size_t(row)];
}

std::uint32_t RecordTable::textCode(int row, int col) const
{
    const auto &c = d->columns[std::size_t(col)];
    assert(c.info.type == ColumnType::Text);
    return c.codes[std::size_t(row)];
}

int RecordTable::dictionarySize(int col) const { return int(d->columns[std::size_t(col)].dict.size()); }

const QString &RecordTable::dictionaryText(int col, std::uint32_t code) const
{
    return d->columns[std::size_t(col)].dict[code];
}

const std::int64_t *RecordTable::integerData(int col) const
{
    const auto &c = d->columns[std::size_t(col)];
    const bool fits = c.info.type == ColumnType::Integer || c.info.type == ColumnType::Boolean
        || c.info.type == ColumnType::Timestamp;
    return fits ? c.ints.data() : nullptr;
}

const double *RecordTable::realData(int col) const
{
    const auto &c = d->columns[std::size_t(col)];
    return c.info.type == ColumnType::Double ? c.reals.data() : nullptr;
}

const std::int32_t *RecordTable::dateData(int col) const
{
    const auto &c = d->columns[std::size_t(col)];
    return c.info.type == ColumnType::Date ? c.dates.data() : nullptr;
}

const std::uint32_t *RecordTable::textCodeData(int col) const
{
    const auto &c = d->columns[std::size_t(col)];
    return c.info.type == ColumnType::Text ? c.codes.data() : nullptr;
}

const std::uint64_t *RecordTable::nullBits(int col) const
{
    return hasNulls(col) ? d->columns[std::size_t(col)].nulls.data() : nullptr;
}

CellSpec cellSpecOf(const ColumnInfo &info)
{
    CellSpec s;
    s.name = info.name;
    s.nullable = info.nullable;
    switch (info.type) {
    case ColumnType::Integer:
        s.kind = CellKind::Integer;
        s.scale = info.scale;
        s.bytes = info.definedSize == 2 || info.definedSize == 4 ? info.definedSize : 8;
        break;
    case ColumnType::Double:
        s.kind = CellKind::Real;
        s.bytes = info.definedSize == 4 ? 4 : 8;
        break;
    case ColumnType::Date: s.kind = CellKind::Date; break;
    case ColumnType::Timestamp: s.kind = CellKind::Timestamp; break;
    case ColumnType::Boolean: s.kind = CellKind::Boolean; break;
    case ColumnType::Text:
        s.kind = info.typeCode == TypeCode::DbTime ? CellKind::Time : CellKind::Text;
        s.maxChars = info.typeCode == TypeCode::WideText ? info.definedSize : 0;
        break;
    }
    return s;
}

QVariant RecordTable::value(int row, int col) const
{
    const auto &c = d->columns[std::size_t(col)];
    const auto r = std::size_t(row);
    if (c.isNull(r))
        return {};
    switch (c.info.type) {
    case ColumnType::Integer:
        if (c.info.scale > 0)
            return double(c.ints[r]) / double(pow10(c.info.scale));
        return qint64(c.ints[r]);
    case ColumnType::Boolean: return c.ints[r] != 0;
    case ColumnType::Double: return c.reals[r];
    case ColumnType::Date: return QDate::fromJulianDay(c.dates[r]);
    case ColumnType::Timestamp: {
        const std::int64_t ts = c.ints[r];
        return QDateTime(QDate::fromJulianDay(TimeValue::julianDay(ts)),
                         QTime::fromMSecsSinceStartOfDay(int(TimeValue::msecsOfDay(ts))));
    }
    case ColumnType::Text: return c.dict[c.codes[r]];
    }
    return {};
}

QString RecordTable::displayText(int row, int col) const
{
    const auto &c = d->columns[std::size_t(col)];
    const auto r = std::size_t(row);
    if (c.isNull(r))
        return {};
    switch (c.info.type) {
    case ColumnType::Integer: return formatScaled(c.ints[r], c.info.scale);
    case ColumnType::Boolean: return c.ints[r] ? QStringLiteral("True") : QStringLiteral("False");
    case ColumnType::Double: return QString::number(c.reals[r], 'g', 15);
    case ColumnType::Date: return QDate::fromJulianDay(c.dates[r]).toString(Qt::ISODate);
    case ColumnType::Timestamp: {
        const std::int64_t ts = c.ints[r];
        const QTime t = QTime::fromMSecsSinceStartOfDay(int(TimeValue::msecsOfDay(ts)));
        return QDate::fromJulianDay(TimeValue::julianDay(ts)).toString(Qt::ISODate) + QLatin1Char(' ')
            + t.toString(t.msec() ? QStringLiteral("hh:mm:ss.zzz") : QStringLiteral("hh:mm:ss"));
    }
    case ColumnType::Text: return c.dict[c.codes[r]];
    }
    return {};
}

void RecordTable::setValue(int row, int col, const QVariant &value)
{
    auto &c = d->columns[std::size_t(col)];
    const auto r = std::size_t(row);
    c.setDigest(r, 0);
    if (!value.isValid() || value.isNull()) {
        c.setNullBit(r, true);
        switch (c.info.type) {
        case ColumnType::Double: c.reals[r] = 0; break;
        case ColumnType::Date: c.dates[r] = 0; break;
        case ColumnType::Text: c.codes[r] = c.internFinished(QString()); break;
        default: c.ints[r] = 0; break;
        }
        return;
    }
    c.setNullBit(r, false);
    switch (c.info.type) {
    case ColumnType::Integer: {
        // A value the column cannot hold is not invented: the cell becomes null instead of a
        // wrapped or rounded number. Write-back hands exact values to setCell() anyway.
        const int type = value.typeId();
        std::int64_t v = 0;
        bool ok = true;
        if (type == QMetaType::Double || type == QMetaType::Float) {
            const double scaled = value.toDouble() * double(pow10(c.info.scale));
            ok = std::isfinite(scaled) && std::fabs(scaled) < 9.2e18;
            if (ok)
                v = std::llround(scaled);
        } else if (type == QMetaType::QString) {
            const auto parsed = parseCellValue(value.toString(), QLocale::c(), cellSpecOf(c.info));
            ok = parsed.ok() && std::holds_alternative<std::int64_t>(parsed.value());
            if (ok)
                v = std::get<std::int64_t>(parsed.value());
        } else {
            ok = !__builtin_mul_overflow(value.toLongLong(), pow10(c.info.scale), &v);
        }
        if (!ok) {
            c.setNullBit(r, true);
            v = 0;
        }
        c.ints[r] = v;
        break;
    }
    case ColumnType::Boolean: c.ints[r] = value.toBool() ? 1 : 0; break;
    case ColumnType::Double: c.reals[r] = value.toDouble(); break;
    case ColumnType::Date: c.dates[r] = std::int32_t(value.toDate().toJulianDay()); break;
    case ColumnType::Timestamp: {
        const QDateTime dt = value.toDateTime();
        c.ints[r] = TimeValue::fromParts(dt.date().toJulianDay(), dt.time().msecsSinceStartOfDay());
        break;
    }
    case ColumnType::Text: c.codes[r] = c.internFinished(value.toString()); break;
    }
}

void RecordTable::setCell(int row, int col, const CellValue &value)
{
    auto &c = d->columns[std::size_t(col)];
    const auto r = std::size_t(row);
    if (const auto *v = std::get_if<std::int64_t>(&value); v && c.info.type == ColumnType::Integer) {
        c.setNullBit(r, false);
        c.ints[r] = *v;
        return;
    }
    QVariant v;
    std::visit(
        [&v](const auto &x) {
            if constexpr (!std::is_same_v<std::decay_t<decltype(x)>, std::monostate>)
                v = QVariant::fromValue(x);
        },
        value);
    setValue(row, col, v);
}

void RecordTable::copyCell(int row, int col, const RecordTable &from, int fromRow, int fromCol)
{
    auto &c = d->columns[std::size_t(col)];
    const auto &f = from.d->columns[std::size_t(fromCol)];
    const auto r = std::size_t(row);
    const auto fr = std::size_t(fromRow);
    if (f.isNull(fr) || f.info.type != c.info.type) {
        setValue(row, col, QVariant());
        return;
    }
    c.setNullBit(r, false);
    switch (c.info.type) {
    case ColumnType::Double: c.reals[r] = f.reals[fr]; break;
    case ColumnType::Date: c.dates[r] = f.dates[fr]; break;
    case ColumnType::Text: c.codes[r] = c.internFinished(f.dict[f.codes[fr]]); break;
    default: c.ints[r] = f.ints[fr]; break;
    }
    c.setDigest(r, f.digest(fr));
}

bool RecordTable::sameCell(int row, int col, const RecordTable &other, int otherRow, int otherCol) const
{
    const auto &a = d->columns[std::size_t(col)];
    const auto &b = other.d->columns[std::size_t(otherCol)];
    const auto r = std::size_t(row);
    const auto o = std::size_t(otherRow);
    if (a.info.type != b.info.type || a.isNull(r) != b.isNull(o))
        return false;
    if (a.isNull(r))
        return true;
    switch (a.info.type) {
    case ColumnType::Double: return std::memcmp(&a.reals[r], &b.reals[o], sizeof(double)) == 0;
    case ColumnType::Date: return a.dates[r] == b.dates[o];
    case ColumnType::Text: return a.dict[a.codes[r]] == b.dict[b.codes[o]] && a.digest(r) == b.digest(o);
    default: return a.ints[r] == b.ints[o];
    }
}

std::uint64_t RecordTable::digest(int row, int col) const
{
    return d->columns[std::size_t(col)].digest(std::size_t(row));
}

void RecordTable::removeRow(int row)
{
    if (row < 0 || row >= d->rows)
        return;
    const auto r = std::size_t(row);
    for (auto &c : d->columns) {
        switch (c.info.type) {
        case ColumnType::Double: c.reals.erase(c.reals.begin() + std::ptrdiff_t(r)); break;
        case ColumnType::Date: c.dates.erase(c.dates.begin() + std::ptrdiff_t(r)); break;
        case ColumnType::Text: c.codes.erase(c.codes.begin() + std::ptrdiff_t(r)); break;
        default: c.ints.erase(c.ints.begin() + std::ptrdiff_t(r)); break;
        }
        if (r < c.digests.size())
            c.digests.erase(c.digests.begin() + std::ptrdiff_t(r));
        if (c.nulls.empty())
            continue;
        // Shift every bit above the removed row down by one.
        const std::size_t w0 = r >> 6;
        if (w0 < c.nulls.size()) {
            const unsigned b = unsigned(r & 63);
            const std::uint64_t low = b ? (c.nulls[w0] & ((std::uint64_t(1) << b) - 1)) : 0;
            const std::uint64_t high = b == 63 ? 0 : (c.nulls[w0] >> (b + 1)) << b;
            c.nulls[w0] = low | high;
            for (std::size_t w = w0 + 1; w < c.nulls.size(); ++w) {
                c.nulls[w - 1] |= (c.nulls[w] & 1u) << 63;
                c.nulls[w] >>= 1;
            }
        }
    }
    --d->rows;
}

int RecordTable::appendRow(const std::vector<QVariant> &values)
{
    const int row = d->rows;
    for (auto &c : d->columns) {
        switch (c.info.type) {
        case ColumnType::Double: c.reals.push_back(0); break;
        case ColumnType::Date: c.dates.push_back(0); break;
        case ColumnType::Text: c.codes.push_back(0); break;
        default: c.ints.push_back(0); break;
        }
    }
    ++d->rows;
    for (int col = 0; col < int(d->columns.size()); ++col)
        setValue(row, col, std::size_t(col) < values.size() ? values[std::size_t(col)] : QVariant());
    return row;
}

std::size_t RecordTable::memoryBytes() const
{
    std::size_t total = 0;
    for (const auto &c : d->columns) {
        total += bytesOf(c.ints) + bytesOf(c.reals) + bytesOf(c.dates) + bytesOf(c.codes) + bytesOf(c.nulls)
            + bytesOf(c.dict);
        // Each text's own block: the array header, the characters and their terminator.
        for (const QString &s : c.dict)
            if (s.capacity() > 0)
                total += std::size_t(s.capacity() + 1) * sizeof(QChar) + 16;
    }
    return total;
}

// ---- Builder -----------------------------------------------------------------------------------

RecordTable::Builder::Builder() : d(std::make_unique<RecordTable::Impl>()) {}
RecordTable::Builder::~Builder() = default;

int RecordTable::Builder::addColumn(const ColumnInfo &info)
{
    assert(d->rows == 0);
    Impl::Column c;
    c.info = info;
    d->columns.push_back(std::move(c));
    return int(d->columns.size() - 1);
}

void RecordTable::Builder::reserve(int rows)
{
    const auto n = std::size_t(std::max(rows, 0));
    for (auto &c : d->columns) {
        switch (c.info.type) {
        case ColumnType::Double: c.reals.reserve(n); break;
        case ColumnType::Date: c.dates.reserve(n); break;
        case ColumnType::Text: c.codes.reserve(n); break;
        default: c.ints.reserve(n); break;
        }
    }
}

void RecordTable::Builder::appendNull(int col)
{
    auto &c = d->columns[std::size_t(col)];
    c.setNullBit(c.size(), true);
    switch (c.info.type) {
    case ColumnType::Double: c.reals.push_back(0); break;
    case ColumnType::Date: c.dates.push_back(0); break;
    case ColumnType::Text:
        // A null text points at the empty text, so code arrays stay valid dictionary indexes.
        if (c.nullTextCode < 0) {
            c.prepared = false;
            c.nullTextCode = c.intern(nullptr, 0);
        }
        ++c.nullTexts;
        c.appendCode(std::uint32_t(c.nullTextCode));
        break;
    default: c.ints.push_back(0); break;
    }
}

void RecordTable::Builder::appendInteger(int col, std::int64_t v)
{
    auto &c = d->columns[std::size_t(col)];
    assert(c.info.type == ColumnType::Integer || c.info.type == ColumnType::Boolean);
    c.ints.push_back(v);
}

void RecordTable::Builder::appendReal(int col, double v)
{
    auto &c = d->columns[std::size_t(col)];
    assert(c.info.type == ColumnType::Double);
    c.reals.push_back(v);
}

void RecordTable::Builder::appendDate(int col, std::int32_t julianDay)
{
    auto &c = d->columns[std::size_t(col)];
    assert(c.info.type == ColumnType::Date);
    c.dates.push_back(julianDay);
}

void RecordTable::Builder::appendTimestamp(int col, std::int64_t ts)
{
    auto &c = d->columns[std::size_t(col)];
    assert(c.info.type == ColumnType::Timestamp);
    c.ints.push_back(ts);
}

void RecordTable::Builder::appendText(int col, QStringView v)
{
    auto &c = d->columns[std::size_t(col)];
    assert(c.info.type == ColumnType::Text);
    const QByteArray utf8 = v.toUtf8();
    c.prepared = false;
    c.appendCode(c.intern(utf8.constData(), std::size_t(utf8.size())));
}

void RecordTable::Builder::setLastDigest(int col, std::uint64_t digest)
{
    auto &c = d->columns[std::size_t(col)];
    if (c.size() > 0)
        c.setDigest(c.size() - 1, digest);
}

void RecordTable::Builder::prepareTextUtf8(int col, const char *utf8, int bytes)
{
    d->columns[std::size_t(col)].prepare(utf8, std::size_t(std::max(bytes, 0)));
}

void RecordTable::Builder::appendTextUtf8(int col, const char *utf8, int bytes)
{
    auto &c = d->columns[std::size_t(col)];
    assert(c.info.type == ColumnType::Text);
    c.appendCode(c.intern(utf8, std::size_t(std::max(bytes, 0))));
}

namespace {
// Decoding a large result's texts (a million serial numbers are a million QStrings) takes a
// noticeable part of a load; the columns are independent, so a second core takes half of them.
// By now the database has sent everything and the other core is idle.
template <typename Columns>
void freezeTexts(Columns &columns)
{
    std::vector<std::size_t> order(columns.size());
    std::iota(order.begin(), order.end(), std::size_t(0));
    std::size_t bytes = 0;
    for (const auto &c : columns)
        bytes += c.keys.size();
    // Largest first, so that the two workers end close together.
    std::sort(order.begin(), order.end(),
              [&columns](std::size_t a, std::size_t b) { return columns[a].keys.size() > columns[b].keys.size(); });
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t i; (i = next.fetch_add(1)) < order.size();)
            columns[order[i]].freeze();
    };
    if (bytes < (std::size_t(4) << 20) || std::thread::hardware_concurrency() < 2) {
        work();
        return;
    }
    std::exception_ptr failed;
    std::thread helper([&] {
        try {
            work();
        } catch (...) {
            failed = std::current_exception();
        }
    });
    try {
        work();
    } catch (...) {
        helper.join();
        throw;
    }
    helper.join();
    if (failed)
        std::rethrow_exception(failed);
}
} // namespace

RecordTable RecordTable::Builder::finish()
{
    std::size_t rows = d->columns.empty() ? 0 : d->columns.front().size();
    for (auto &c : d->columns) {
        assert(c.size() == rows);
        rows = std::min(rows, c.size());
    }
    for (auto &c : d->columns) {
        shrinkIfLoose(c.ints);
        shrinkIfLoose(c.reals);
        shrinkIfLoose(c.dates);
        shrinkIfLoose(c.codes);
        // Bitmaps cover every row, so readers of nullBits() may index any row.
        if (!c.nulls.empty())
            c.nulls.resize((rows + 63) / 64, 0);
    }
    freezeTexts(d->columns);
    d->rows = int(rows);
    d->finished = true;
    RecordTable table;
    table.d = std::move(d);
    d = std::make_unique<RecordTable::Impl>();
    return table;
}

} // namespace velmora
