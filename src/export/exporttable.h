#pragma once

// What an export writes: one field per visible grid column, one record per record row of the
// grid in its current order. A typed view over the grid's table, not a copy of its cells: a field
// reads its column's array directly, and the records are the table rows in grid order.

#include "data/recordtable.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace velmora {

class ReportGrid;

class ExportTable {
public:
    enum class FieldType : std::uint8_t { Text, Double, TimeStamp };

    struct Field {
        QString name;
        FieldType type = FieldType::Text;
        int source = -1;   // table column feeding the field; -1 for an unbound column (always empty)
    };

    // What one cell holds once converted to its field's type.
    struct Cell {
        enum Kind : std::uint8_t { Null, Scaled, Real, Time, Text };
        Kind kind = Null;
        int scale = 0;
        std::int64_t integer = 0;   // Scaled: the value times 10^scale; Time: julian day * 86,400,000 + ms
        double real = 0;
        std::uint32_t code = 0;     // Text from a text column: its dictionary code; else kNoCode
        QString text;               // Text
    };
    static constexpr std::uint32_t kNoCode = 0xFFFFFFFFu;

    ExportTable() = default;
    ExportTable(std::shared_ptr<const RecordTable> table, std::vector<Field> fields, std::vector<std::int32_t> order);

    // The grid's visible columns in display order (a second column with the same caption feeds
    // the first one's field) and its record rows in display order. Expects every group expanded.
    static ExportTable fromGrid(const ReportGrid &grid);

    int fieldCount() const { return int(m_fields.size()); }
    const Field &field(int f) const { return m_fields[std::size_t(f)]; }
    int recordCount() const { return int(m_order.size()); }
    const RecordTable *table() const { return m_table.get(); }

    // The cell of record r (0-based, in export order) and field f.
    void read(int r, int f, Cell &cell) const;

    // Where a loop over every record reads field f straight from the table: the array of the
    // column feeding it, indexed by the table rows of order(). Other: only read() converts it.
    struct Source {
        enum Kind : std::uint8_t { Empty, Code, Scaled, Real, Day, Stamp, Other };
        Kind kind = Empty;
        int column = -1;
        int scale = 0;
        const std::uint64_t *nulls = nullptr;   // bit set = null; nullptr when the column has none
        const std::int64_t *integers = nullptr; // Scaled, Stamp
        const double *reals = nullptr;          // Real
        const std::int32_t *days = nullptr;     // Day
        const std::uint32_t *codes = nullptr;   // Code
    };
    Source source(int f) const;
    // The table rows of the records, in export order.
    const std::int32_t *order() const { return m_order.data(); }

private:
    std::shared_ptr<const RecordTable> m_table;
    std::vector<Field> m_fields;
    std::vector<std::int32_t> m_order;
};

} // namespace velmora
