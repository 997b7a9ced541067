#pragma once

// Deterministic store data: every row is a pure function of (seed, table, row number), so a small
// database is a prefix of a large one made with the same seed, and two runs give identical files'
// contents.

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace sampledb
{

struct Money {
    std::int64_t cents;
};
// Days since 17 November 1858, the engine's own day count.
struct Date {
    std::int32_t mjd;
};
struct Timestamp {
    std::int32_t mjd;
    std::uint32_t seconds;
};

using Value = std::variant<std::monostate, std::int64_t, Money, double, Date, Timestamp, std::string>;

enum class ColumnType { SmallInt, Integer, BigInt, Money, Double, Date, Timestamp, VarChar };

struct Column {
    std::string name;
    ColumnType type;
    int length = 0; // characters, VarChar only
    bool primaryKey = false;

    std::string sqlType() const;
};

struct Table {
    std::string name;
    std::vector<Column> columns;

    int indexOf(std::string_view column) const; // -1 when absent
    // Key columns are NOT NULL either way; `withKey` false leaves the constraint for later.
    std::string createStatement(bool withKey = true) const;
    std::string insertStatement() const;
};

using Row = std::vector<Value>;

// Row counts of the tables that follow from the inventory size the caller asks for.
struct Sizes {
    std::int64_t inventory;
    std::int64_t deletedInventory;
    std::int64_t customers;
    std::int64_t service;
    std::int64_t projectedRevenue;

    static Sizes forInventory(std::int64_t rows);
};

class Generator
{
public:
    Generator(std::uint64_t seed, const Sizes &sizes);

    const std::vector<Table> &tables() const { return m_tables; }
    std::int64_t rowCount(const Table &table) const;
    // Fills `row` (resized to the table's column count) with row number `index` (0-based).
    void fill(const Table &table, std::int64_t index, Row &row) const;

    static int daysFromCivil(int year, int month, int day); // days since 17 Nov 1858

private:
    void inventoryRow(std::int64_t index, Row &row, bool deleted) const;
    void customerRow(std::int64_t index, Row &row) const;
    void serviceRow(std::int64_t index, Row &row) const;
    void projectedRow(std::int64_t index, Row &row) const;

    std::uint64_t m_seed;
    Sizes m_sizes;
    std::vector<Table> m_tables;
};

// Number of characters (code points) of UTF-8 text.
std::size_t utf8Length(std::string_view text);

} // namespace sampledb
