#pragma once

#include "core/cellvalue.h"

#include <QString>
#include <QStringView>
#include <QVariant>

#include <cstdint>
#include <memory>
#include <vector>

namespace velmora {

// How a column's values are stored. Scaled numerics (NUMERIC/DECIMAL) are Integer with a scale:
// the stored value is the number times 10^scale, so money sums stay exact.
enum class ColumnType : std::uint8_t { Integer, Double, Date, Timestamp, Text, Boolean };

// Type codes in the terms the viewer's load step uses for a result's fields.
namespace TypeCode {
constexpr int SmallInt = 2;
constexpr int Integer = 3;
constexpr int Double = 5;
constexpr int Date = 7;
constexpr int Boolean = 11;
constexpr int BigInt = 20;
constexpr int Numeric = 131;
constexpr int DbDate = 133;
constexpr int DbTime = 134;
constexpr int DbTimeStamp = 135;
constexpr int WideText = 202;
constexpr int LongWideText = 203;
constexpr int LongBinary = 205;
} // namespace TypeCode

struct ColumnInfo {
    QString name;          // the result's name for the field (its alias when it has one)
    QString relation;      // table the field comes from; empty for an expression
    QString sourceField;   // the field's own name in that table; empty for an expression
    ColumnType type = ColumnType::Text;
    int typeCode = TypeCode::WideText;
    int scale = 0;         // digits after the decimal point of a scaled numeric (2 for money)
    int definedSize = 0;   // characters for text, bytes for everything else
    bool nullable = true;
};

// How a typed text is read for a column of this kind.
CellSpec cellSpecOf(const ColumnInfo &info);

// Day and time values, kept as plain integers so that sorting and grouping compare integers:
// a Date is a Julian day number (QDate::toJulianDay); a Timestamp is
// julianDay * 86'400'000 + milliseconds since midnight (wall-clock time, no zone).
namespace TimeValue {
inline std::int64_t fromParts(std::int64_t julianDay, std::int64_t msecsOfDay) { return julianDay * 86'400'000 + msecsOfDay; }
inline std::int64_t julianDay(std::int64_t ts) { return ts >= 0 ? ts / 86'400'000 : -((-ts + 86'399'999) / 86'400'000); }
inline std::int64_t msecsOfDay(std::int64_t ts) { return ts - julianDay(ts) * 86'400'000; }
} // namespace TimeValue

// A query result held column by column: one typed array per column, a null bitmap per column
// (absent while a column has no nulls) and texts dictionary-encoded into a per-column string pool
// (repeated texts share one entry, except in a column whose first 65,536 texts were all different,
// where each row keeps its own: a code identifies a text, but equal texts may have two codes).
// There are no row objects; row r of column c is element r of that column's array.
class RecordTable {
public:
    class Builder;

    RecordTable();
    ~RecordTable();
    RecordTable(RecordTable &&) noexcept;
    RecordTable &operator=(RecordTable &&) noexcept;
    RecordTable(const RecordTable &) = delete;
    RecordTable &operator=(const RecordTable &) = delete;

    int rowCount() const;
    int columnCount() const;
    const ColumnInfo &column(int col) const;
    int columnIndex(QStringView name) const;   // ignoring letter case; -1 when absent

    bool isNull(int row, int col) const;
    bool hasNulls(int col) const;

    // Typed reads; the column must be of the matching type.
    std::int64_t integer(int row, int col) const;   // Integer (scaled) and Boolean (0/1)
    double real(int row, int col) const;             // Double
    std::int32_t date(int row, int col) const;       // Date
    std::int64_t timestamp(int row, int col) const;  // Timestamp
    std::uint32_t textCode(int row, int col) const;  // Text: index into the column's dictionary

    int dictionarySize(int col) const;
    const QString &dictionaryText(int col, std::uint32_t code) const;
    const QString &text(int row, int col) const { return dictionaryText(col, textCode(row, col)); }

    // Raw arrays for loops over all rows (nullptr when the column has another type).
    const std::int64_t *integerData(int col) const;   // Integer, Boolean, Timestamp
    const double *realData(int col) const;
    const std::int32_t *dateData(int col) const;
    const std::uint32_t *textCodeData(int col) const;
    // Bit r set = row r is null; nullptr when the column has no nulls.
    const std::uint64_t *nullBits(int col) const;

    // Convenience for the UI and write-back, never for loops over all rows:
    // qint64 (integers), double (doubles and scaled numerics), bool, QDate, QDateTime, QString;
    // an invalid QVariant for null.
    QVariant value(int row, int col) const;
    // The cell as the user sees it: numbers with their scale's decimals ("1234.50"), dates in ISO
    // form, texts as stored, nulls as "".
    QString displayText(int row, int col) const;

    // Changes after a successful write-back.
    void setValue(int row, int col, const QVariant &value);   // invalid QVariant = null
    // Exact forms: a value read by parseCellValue(), and a cell of another table of the same type.
    void setCell(int row, int col, const CellValue &value);
    void copyCell(int row, int col, const RecordTable &from, int fromRow, int fromCol);
    // Whether two cells hold the same value: equal bits for doubles, equal texts and digests.
    bool sameCell(int row, int col, const RecordTable &other, int otherRow, int otherCol) const;
    // The content digest of a binary value shown as a summary text ("(binary, 12 bytes)"); 0 for none.
    std::uint64_t digest(int row, int col) const;
    void removeRow(int row);
    // Adds a row after the last one, values by column (missing or invalid ones are null);
    // returns its index.
    int appendRow(const std::vector<QVariant> &values);

    // Bytes held by the arrays, bitmaps and string pools.
    std::size_t memoryBytes() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// Fills a table column by column or row by row: after addColumn() for every column, each row is
// appended by calling exactly one append... per column in column order.
class RecordTable::Builder {
public:
    Builder();
    ~Builder();
    int addColumn(const ColumnInfo &info);
    void reserve(int rows);

    void appendNull(int col);
    void appendInteger(int col, std::int64_t v);   // scaled value for numerics; 0/1 for Boolean
    void appendReal(int col, double v);
    void appendDate(int col, std::int32_t julianDay);
    void appendTimestamp(int col, std::int64_t ts);
    void appendText(int col, QStringView v);
    void appendTextUtf8(int col, const char *utf8, int bytes);   // avoids a QString for repeated texts
    // Gives the value just appended to the column a digest of the content its text summarises.
    void setLastDigest(int col, std::uint64_t digest);
    // Optional, for speed: announces the text the next appendTextUtf8 of this column will be given
    // (the same bytes), so that the look-ups of a row's texts in their dictionaries run side by side.
    void prepareTextUtf8(int col, const char *utf8, int bytes);

    RecordTable finish();

private:
    std::unique_ptr<RecordTable::Impl> d;
    friend class RecordTable;
};

} // namespace velmora
