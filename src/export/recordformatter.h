#pragma once

// The records of an export table as the bytes of text lines or HTML table rows, in a regional
// format. Built to keep up with the disk over a million rows: records are gathered a batch at a
// time, field by field, straight from each field's array; numbers are written by hand, dates and
// times come from caches the locale fills once per distinct value, and plain ASCII texts are copied
// without a conversion object. The bytes are those of exportformat's textRecord() and htmlRecord()
// for the same values.

#include "export/exportformat.h"
#include "export/exporttable.h"

#include <QByteArray>
#include <QLocale>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

namespace velmora {

// Memory for the large arrays of an export. From 256 KB up it is mapped in 2 MB pages where
// the system allows: the first touch of each 4 KB page is a fault, and on a virtual machine a
// fault can cost 15 us, a quarter of a second for 64 MB that 2 MB pages fill in 4 ms.
void *allocateLarge(std::size_t bytes);
void releaseLarge(void *memory, std::size_t bytes);
// The capacity allocateLarge() actually gives for `bytes`.
std::size_t largeCapacity(std::size_t bytes);

template <typename T>
struct LargeAllocator {
    using value_type = T;
    LargeAllocator() = default;
    template <typename U>
    LargeAllocator(const LargeAllocator<U> &) noexcept
    {
    }
    T *allocate(std::size_t n) { return static_cast<T *>(allocateLarge(n * sizeof(T))); }
    void deallocate(T *memory, std::size_t n) noexcept { releaseLarge(memory, n * sizeof(T)); }
    friend bool operator==(const LargeAllocator &, const LargeAllocator &) { return true; }
};

// Bytes put together through a raw cursor: room(n) makes n bytes free at the cursor, done() moves
// the cursor past what was written there.
class ByteSink {
public:
    explicit ByteSink(std::size_t capacity = 0) { reserve(capacity); }
    ~ByteSink() { releaseLarge(m_bytes, m_capacity); }
    ByteSink(ByteSink &&other) noexcept
        : m_bytes(std::exchange(other.m_bytes, nullptr)), m_size(std::exchange(other.m_size, 0)),
          m_capacity(std::exchange(other.m_capacity, 0))
    {
    }
    ByteSink &operator=(ByteSink &&other) noexcept
    {
        if (this != &other) {
            releaseLarge(m_bytes, m_capacity);
            m_bytes = std::exchange(other.m_bytes, nullptr);
            m_size = std::exchange(other.m_size, 0);
            m_capacity = std::exchange(other.m_capacity, 0);
        }
        return *this;
    }
    char *room(std::size_t n)
    {
        if (m_capacity - m_size < n)
            reserve(m_size + n);
        return m_bytes + m_size;
    }
    void done(const char *end) { m_size = std::size_t(end - m_bytes); }
    void append(const char *bytes, std::size_t n)
    {
        std::memcpy(room(n), bytes, n);
        m_size += n;
    }
    void append(const QByteArray &bytes) { append(bytes.constData(), std::size_t(bytes.size())); }
    const char *data() const { return m_bytes; }
    std::size_t size() const { return m_size; }
    void clear() { m_size = 0; }
    void reserve(std::size_t capacity);

private:
    char *m_bytes = nullptr;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
};

class RecordFormatter {
public:
    enum class Form { Text, Html };
    // `dictionaries`: whether the texts of repeating dictionaries are converted once, up front
    // (which pays over many records), or each where it is used (which starts at once).
    enum class Dictionaries { Converted, AsUsed };
    RecordFormatter(const ExportTable &table, Form form, const QLocale &locale,
                    Dictionaries dictionaries = Dictionaries::Converted);
    ~RecordFormatter();
    RecordFormatter(const RecordFormatter &) = delete;
    RecordFormatter &operator=(const RecordFormatter &) = delete;

    // Records first to end - 1 (in export order) as text lines or table rows, CR LF included.
    void append(ByteSink &out, int first, int end);

    // A formatter for another thread: it shares the texts converted already and has caches of
    // its own.
    std::unique_ptr<RecordFormatter> twin() const;

private:
    RecordFormatter(const RecordFormatter &model, const QLocale &locale);
    struct Times;
    struct Encoded;
    // How the loop over a batch writes a field: Bytes copies a text found or converted while
    // gathering (a dictionary's, a day's, a text used about once), ScaledN writes a number of N
    // decimals, Slow asks putCell().
    enum class Lane : std::uint8_t { Skip, Bytes, Scaled0, Scaled1, Scaled2, Scaled3, Scaled4, Scaled, Real, Slow };
    struct Column {
        Lane lane = Lane::Skip;
        int scale = 0;
        const char *base = nullptr;   // Bytes: where the gathered offsets start from
        bool days = false;            // Bytes: the texts are the day cache's
        bool texts = false;           // Bytes: converted while gathering, of any length
    };
    static constexpr int kBatch = 64;   // one bit of a word per record for its nulls
    const Encoded *encode(const ExportTable::Source &source);
    void planColumns();
    void gather(int first, int n);
    template <bool Html>
    void writeBatch(ByteSink &out, int first, int n);
    void putCell(ByteSink &out, int record, int row, int f);
    void putText(ByteSink &out, QStringView text);
    void putTime(ByteSink &out, std::int64_t msecs);
    void putOther(ByteSink &out, int record, int f);

    const ExportTable &m_table;
    const RecordTable *m_data;
    const std::int32_t *m_order;
    int m_records;
    std::vector<ExportTable::Source> m_sources;
    std::shared_ptr<std::vector<std::unique_ptr<Encoded>>> m_encoded;   // read-only once made
    std::vector<const Encoded *> m_encodedOf;   // by field; nullptr where texts are converted per batch
    bool m_html;
    QLocale m_locale;
    exportformat::NumberStyle m_number;
    std::size_t m_recordRoom = 0;   // the room append() makes for a record's cells of known size
    QByteArray m_lone;   // what a surrogate without its partner becomes, as QString::toUtf8() has it
    std::unique_ptr<Times> m_times;
    ExportTable::Cell m_cell;
    std::vector<Column> m_columns;        // by field
    std::vector<std::uint64_t> m_values;  // gathered: field f, record i of the batch at f * kBatch + i
    std::vector<std::uint64_t> m_nullsOf; // by field: bit i set where record i of the batch is null
    std::int32_t m_rows[kBatch] = {};     // the table rows of the batch
    ByteSink m_texts;                     // the batch's texts of dictionaries not converted whole
};

} // namespace velmora
