#pragma once

#include "data/recordtable.h"

#include <QLocale>

#include <cstdint>
#include <memory>
#include <vector>

namespace velmora::grid {

class BackgroundRanks;

// A group or sort key on a table column; source -1 is an unbound column (every value empty).
struct ViewKey {
    int source = -1;
    int order = 1;   // 1 ascending, -1 descending
};

// A total shown in group footers, one per grid column with a total function.
struct TotalSpec {
    int source = -1;
    int function = 0;   // 1 count of values, 2 sum
};

// Sums of 64-bit values in 128 bits: two billion of the largest NUMERIC(18,x) values still fit,
// so a total never wraps around.
__extension__ typedef __int128 TotalInt;

struct GroupTotal {
    std::int64_t count = 0;   // non-null values
    TotalInt intSum = 0;      // scaled integers: exact
    double realSum = 0;       // double columns only
};

struct Group {
    std::int32_t begin = 0;       // first position in the permutation
    std::int32_t end = 0;         // one past the last
    std::int32_t parent = -1;
    std::int32_t subtreeEnd = 0;  // index of the first group after this one's descendants
    std::int16_t level = 1;       // 1 = outermost
    bool expanded = true;
};

// The grid's rows in display order: a permutation of the table's rows sorted by the group keys and
// then the sort keys, the groups found in it (pre-order), their totals, and the flat list of rows
// a view shows (group header, records, group footer). Compares only integers: each key is turned
// into a per-row rank once (texts through a collator sort of the column's dictionary), and when
// the ranks of all keys fit in 64 bits they are packed and radix sorted.
class GridViewModel {
public:
    enum class Kind : std::uint8_t { Record, Header, Footer };
    struct Entry {
        Kind kind = Kind::Record;
        int index = 0;   // Record: position in the permutation; Header/Footer: group index
    };

    GridViewModel();
    ~GridViewModel();

    void setTable(const RecordTable *table);
    void setCollatorLocale(const QLocale &locale);

    // Sorts, finds groups and totals, and lays out the visible rows. keepExpansion copies the
    // expanded flags of the previous groups when the grouping itself did not change.
    void build(const std::vector<ViewKey> &groups, const std::vector<ViewKey> &sorts,
               const std::vector<TotalSpec> &totals, bool allCollapsed, bool footers,
               bool keepExpansion = false);
    void computeTotals(const std::vector<TotalSpec> &totals);
    void setFooters(bool on);

    int visibleCount() const { return m_identityVisible ? recordCount() : int(m_visible.size()); }
    Entry entry(int pos) const;
    int recordAt(int permPos) const { return m_perm.empty() ? permPos : m_perm[std::size_t(permPos)]; }
    int recordCount() const;   // rows of the permutation
    int groupLevels() const { return m_levels; }

    int groupCount() const { return int(m_groups.size()); }
    const Group &group(int g) const { return m_groups[std::size_t(g)]; }
    const GroupTotal &total(int g, int k) const { return m_totals[std::size_t(g) * m_totalSpecs.size() + std::size_t(k)]; }
    int totalCount() const { return int(m_totalSpecs.size()); }
    // The table row whose values a group row shows (its first record).
    int groupSampleRecord(int g) const { return recordAt(m_groups[std::size_t(g)].begin); }

    void setExpanded(int g, bool expanded);
    void setAllExpanded(bool expanded);

    // Position (0-based) of an entry in the visible list, -1 when hidden.
    int positionOf(Kind kind, int index) const;
    // Position of the record row showing table row `record`, or of the nearest visible group row
    // above it when a collapsed group hides it; -1 when absent.
    int positionOfRecord(int record) const;
    int positionOfGroupOrAncestor(int g) const;

    std::size_t memoryBytes() const;

    // Dense ranks of a text column's dictionary codes in collation order; cached per column.
    const std::vector<std::uint32_t> &textRanks(int source);
    // Starts ranking the text columns not ranked yet on threads of their own; a new table or
    // locale, and the model's end, stop them.
    void rankInBackground();

private:
    struct Keys;
    void rebuildVisible();
    void sortRows(const std::vector<ViewKey> &keys, std::vector<std::uint64_t> *packed,
                  std::vector<int> *shifts, bool *packedOk, std::vector<std::vector<std::uint64_t>> *wide);

    const RecordTable *m_table = nullptr;
    QLocale m_locale;
    bool m_localeSet = false;
    std::vector<std::int32_t> m_perm;     // empty = identity
    std::vector<std::int32_t> m_visible;  // >= 0 permutation position; < 0 group row (see entry())
    bool m_identityVisible = true;
    bool m_footers = false;
    int m_levels = 0;
    std::vector<Group> m_groups;
    std::vector<TotalSpec> m_totalSpecs;
    std::vector<GroupTotal> m_totals;
    struct RankCache {
        int dictionarySize = -1;
        QString locale;
        std::vector<std::uint32_t> ranks;
    };
    std::vector<RankCache> m_rankCache;
    std::unique_ptr<BackgroundRanks> m_background;
};

} // namespace velmora::grid
