#include "grid/gridviewmodel.h"

#include "grid/textranks.h"

#include <QCollator>

#include <algorithm>
#include <bit>
#include <numeric>
#include <optional>
#include <thread>

namespace velmora::grid {

namespace {

int bitsFor(std::uint64_t maxValue) { return int(std::bit_width(maxValue)); }

inline bool isNullBit(const std::uint64_t *bits, std::size_t row)
{
    return bits && ((bits[row >> 6] >> (row & 63)) & 1u);
}

// Least significant digit radix sort of (key, row) pairs over the low `bits` bits of the keys.
// Stable, so rows with equal keys keep table order.
void radixSort(std::vector<std::uint64_t> &keys, std::vector<std::int32_t> &rows, int bits)
{
    constexpr int digitBits = 11;
    constexpr std::size_t buckets = std::size_t(1) << digitBits;
    const std::size_t n = keys.size();
    if (bits <= 0 || n < 2)
        return;
    const int passes = (bits + digitBits - 1) / digitBits;
    std::vector<std::uint64_t> keys2(n);
    std::vector<std::int32_t> rows2(n);
    std::vector<std::size_t> counts(buckets * std::size_t(passes), 0);
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint64_t k = keys[i];
        for (int p = 0; p < passes; ++p)
            ++counts[std::size_t(p) * buckets + ((k >> (p * digitBits)) & (buckets - 1))];
    }
    for (int p = 0; p < passes; ++p) {
        std::size_t *c = &counts[std::size_t(p) * buckets];
        // A digit that is the same for every key moves nothing.
        if (std::any_of(c, c + buckets, [n](std::size_t v) { return v == n; }))
            continue;
        std::size_t sum = 0;
        for (std::size_t b = 0; b < buckets; ++b) {
            const std::size_t v = c[b];
            c[b] = sum;
            sum += v;
        }
        const int shift = p * digitBits;
        const std::uint64_t *ks = keys.data();
        const std::int32_t *rs = rows.data();
        std::uint64_t *kd = keys2.data();
        std::int32_t *rd = rows2.data();
        for (std::size_t i = 0; i < n; ++i) {
            const std::size_t dst = c[(ks[i] >> shift) & (buckets - 1)]++;
            kd[dst] = ks[i];
            rd[dst] = rs[i];
        }
        keys.swap(keys2);
        rows.swap(rows2);
    }
}

} // namespace

GridViewModel::GridViewModel() = default;
GridViewModel::~GridViewModel() = default;

void GridViewModel::setTable(const RecordTable *table)
{
    m_background.reset();
    m_table = table;
    m_rankCache.clear();
    m_perm.clear();
    m_visible.clear();
    m_identityVisible = true;
    m_groups.clear();
    m_totals.clear();
    m_levels = 0;
}

void GridViewModel::setCollatorLocale(const QLocale &locale)
{
    m_background.reset();
    m_locale = locale;
    m_localeSet = true;
    m_rankCache.clear();
}

int GridViewModel::recordCount() const
{
    if (!m_perm.empty())
        return int(m_perm.size());
    return m_table ? m_table->rowCount() : 0;
}

const std::vector<std::uint32_t> &GridViewModel::textRanks(int source)
{
    if (int(m_rankCache.size()) <= source)
        m_rankCache.resize(std::size_t(source) + 1);
    RankCache &cache = m_rankCache[std::size_t(source)];
    const int size = m_table->dictionarySize(source);
    // The user's locale unless one was set: a change of the default locale re-ranks.
    const QLocale locale = m_localeSet ? m_locale : QLocale();
    if (cache.dictionarySize == size && cache.locale == locale.name())
        return cache.ranks;
    if (m_background) {
        if (auto made = m_background->take(source, size, locale.name())) {
            cache.ranks = std::move(*made);
            cache.dictionarySize = size;
            cache.locale = locale.name();
            return cache.ranks;
        }
    }
    cache.ranks = collationRanks(
        size, [this, source](int code) -> const QString & { return m_table->dictionaryText(source, std::uint32_t(code)); },
        locale, 2);
    cache.dictionarySize = size;
    cache.locale = locale.name();
    return cache.ranks;
}

void GridViewModel::rankInBackground()
{
    m_background.reset();
    if (!m_table)
        return;
    const QLocale locale = m_localeSet ? m_locale : QLocale();
    std::vector<BackgroundRanks::Column> columns;
    for (int c = 0; c < m_table->columnCount(); ++c) {
        const int size = m_table->dictionarySize(c);
        // Small dictionaries rank in a blink when first needed; not worth a thread.
        if (m_table->column(c).type != ColumnType::Text || size < 2000)
            continue;
        if (c < int(m_rankCache.size()) && m_rankCache[std::size_t(c)].dictionarySize == size
            && m_rankCache[std::size_t(c)].locale == locale.name())
            continue;
        BackgroundRanks::Column column;
        column.source = c;
        column.texts.reserve(std::size_t(size));
        for (int code = 0; code < size; ++code)
            column.texts.push_back(m_table->dictionaryText(c, std::uint32_t(code)));
        columns.push_back(std::move(column));
    }
    if (!columns.empty())
        m_background = std::make_unique<BackgroundRanks>(std::move(columns), locale);
}

// Per-row keys of one column: 0 for null, then 1.. in ascending order; `bits` wide.
struct GridViewModel::Keys {
    int bits = 0;
    std::uint64_t flip = 0;   // xor mask that reverses the order for descending keys
};

void GridViewModel::sortRows(const std::vector<ViewKey> &keys, std::vector<std::uint64_t> *packed,
                             std::vector<int> *shifts, bool *packedOk,
                             std::vector<std::vector<std::uint64_t>> *wide)
{
    const std::size_t n = std::size_t(m_table->rowCount());
    // Turns each key column into integers, calling sink(row, key) for every row.
    auto keyColumn = [&](const ViewKey &key, auto &&sink) -> int {
        const int src = key.source;
        if (src < 0 || src >= m_table->columnCount())
            return 0;
        const std::uint64_t *nulls = m_table->nullBits(src);
        int bits = 0;
        auto produce = [&](auto &&keyOf, int b) {
            bits = b;
            const std::uint64_t flip = key.order < 0 && b > 0
                ? (b >= 64 ? ~std::uint64_t(0) : (std::uint64_t(1) << b) - 1) : 0;
            if (nulls) {
                for (std::size_t r = 0; r < n; ++r)
                    sink(r, (isNullBit(nulls, r) ? 0 : keyOf(r)) ^ flip);
            } else {
                for (std::size_t r = 0; r < n; ++r)
                    sink(r, keyOf(r) ^ flip);
            }
        };
        switch (m_table->column(src).type) {
        case ColumnType::Text: {
            const std::vector<std::uint32_t> &ranks = textRanks(src);
            const std::uint32_t *codes = m_table->textCodeData(src);
            const std::uint64_t maxRank = ranks.empty() ? 0 : *std::max_element(ranks.begin(), ranks.end());
            const std::uint32_t *rk = ranks.data();
            produce([codes, rk](std::size_t r) { return std::uint64_t(rk[codes[r]]) + 1; }, bitsFor(maxRank + 1));
            break;
        }
        case ColumnType::Integer:
        case ColumnType::Boolean:
        case ColumnType::Timestamp: {
            const std::int64_t *v = m_table->integerData(src);
            std::int64_t lo = INT64_MAX, hi = INT64_MIN;
            for (std::size_t r = 0; r < n; ++r) {
                if (nulls && isNullBit(nulls, r))
                    continue;
                lo = std::min(lo, v[r]);
                hi = std::max(hi, v[r]);
            }
            if (lo > hi)
                return 0;
            const std::uint64_t range = std::uint64_t(hi) - std::uint64_t(lo);
            const int b = range >= UINT64_MAX - 1 ? 64 : bitsFor(range + 1);
            produce([v, lo](std::size_t r) { return std::uint64_t(v[r]) - std::uint64_t(lo) + 1; }, b);
            break;
        }
        case ColumnType::Date: {
            const std::int32_t *v = m_table->dateData(src);
            std::int32_t lo = INT32_MAX, hi = INT32_MIN;
            for (std::size_t r = 0; r < n; ++r) {
                if (nulls && isNullBit(nulls, r))
                    continue;
                lo = std::min(lo, v[r]);
                hi = std::max(hi, v[r]);
            }
            if (lo > hi)
                return 0;
            produce([v, lo](std::size_t r) { return std::uint64_t(std::int64_t(v[r]) - lo) + 1; },
                 bitsFor(std::uint64_t(std::int64_t(hi) - lo) + 1));
            break;
        }
        case ColumnType::Double: {
            const double *v = m_table->realData(src);
            std::vector<double> distinct;
            distinct.reserve(n);
            for (std::size_t r = 0; r < n; ++r)
                if (!(nulls && isNullBit(nulls, r)))
                    distinct.push_back(v[r]);
            std::sort(distinct.begin(), distinct.end());
            distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
            if (distinct.empty())
                return 0;
            const double *dv = distinct.data();
            const std::size_t dn = distinct.size();
            produce([v, dv, dn](std::size_t r) {
                return std::uint64_t(std::lower_bound(dv, dv + dn, v[r]) - dv) + 1;
            }, bitsFor(dn));
            break;
        }
        }
        return bits;
    };

    // Pack every key into one 64-bit word, most significant key first, while their widths allow;
    // the per-key columns stay for a comparison sort when they do not.
    std::vector<int> bits(keys.size(), 0);
    int total = 0;
    bool fits = true;
    packed->assign(n, 0);
    std::vector<std::vector<std::uint64_t>> columns;
    for (std::size_t k = 0; k < keys.size(); ++k) {
        std::vector<std::uint64_t> col(n);
        std::uint64_t *c = col.data();
        const int b = keyColumn(keys[k], [c](std::size_t r, std::uint64_t v) { c[r] = v; });
        bits[k] = b;
        if (fits && total + b <= 64) {
            std::uint64_t *p = packed->data();
            if (total == 0)
                std::copy(c, c + n, p);
            else if (b > 0)
                for (std::size_t r = 0; r < n; ++r)
                    p[r] = (p[r] << b) | c[r];
            total += b;
        } else {
            fits = false;
        }
        columns.push_back(std::move(col));
    }
    shifts->assign(keys.size(), 0);
    int after = 0;
    for (std::size_t k = keys.size(); k-- > 0;) {
        (*shifts)[k] = after;
        after += bits[k];
    }
    *packedOk = fits;
    m_perm.resize(n);
    std::iota(m_perm.begin(), m_perm.end(), 0);
    if (fits) {
        wide->clear();
        radixSort(*packed, m_perm, total);
    } else {
        packed->clear();
        std::stable_sort(m_perm.begin(), m_perm.end(), [&columns](std::int32_t a, std::int32_t b) {
            for (const auto &c : columns) {
                if (c[std::size_t(a)] != c[std::size_t(b)])
                    return c[std::size_t(a)] < c[std::size_t(b)];
            }
            return false;
        });
        *wide = std::move(columns);
    }
}

void GridViewModel::build(const std::vector<ViewKey> &groups, const std::vector<ViewKey> &sorts,
                          const std::vector<TotalSpec> &totals, bool allCollapsed, bool footers,
                          bool keepExpansion)
{
    std::vector<bool> oldExpanded;
    if (keepExpansion) {
        oldExpanded.reserve(m_groups.size());
        for (const Group &g : m_groups)
            oldExpanded.push_back(g.expanded);
    }
    m_groups.clear();
    m_totals.clear();
    m_perm.clear();
    m_visible.clear();
    m_footers = footers;
    m_levels = int(groups.size());
    if (!m_table) {
        m_identityVisible = true;
        return;
    }
    const std::size_t n = std::size_t(m_table->rowCount());
    if (groups.empty() && sorts.empty()) {
        m_identityVisible = true;
        m_totalSpecs = totals;
        return;
    }
    std::vector<ViewKey> keys = groups;
    keys.insert(keys.end(), sorts.begin(), sorts.end());
    std::vector<std::uint64_t> packed;
    std::vector<int> shifts;
    std::vector<std::vector<std::uint64_t>> wide;
    bool packedOk = true;
    sortRows(keys, &packed, &shifts, &packedOk, &wide);

    if (!groups.empty() && n > 0) {
        const int levels = int(groups.size());
        std::vector<std::int32_t> open(std::size_t(levels) + 1, -1);
        auto close = [&](int fromLevel, std::int32_t at) {
            for (int l = levels; l >= fromLevel; --l) {
                const std::int32_t g = open[std::size_t(l)];
                if (g < 0)
                    continue;
                m_groups[std::size_t(g)].end = at;
                m_groups[std::size_t(g)].subtreeEnd = std::int32_t(m_groups.size());
                open[std::size_t(l)] = -1;
            }
        };
        auto changedLevel = [&](std::size_t i) -> int {
            if (i == 0)
                return 1;
            if (packedOk) {
                const std::uint64_t diff = packed[i] ^ packed[i - 1];
                for (int l = 1; l <= levels; ++l) {
                    const int s = shifts[std::size_t(l - 1)];
                    if (s < 64 && (diff >> s) != 0)
                        return l;
                }
                return levels + 1;
            }
            const std::size_t a = std::size_t(m_perm[i]), b = std::size_t(m_perm[i - 1]);
            for (int l = 1; l <= levels; ++l)
                if (wide[std::size_t(l - 1)][a] != wide[std::size_t(l - 1)][b])
                    return l;
            return levels + 1;
        };
        for (std::size_t i = 0; i < n; ++i) {
            const int level = changedLevel(i);
            if (level > levels)
                continue;
            close(level, std::int32_t(i));
            for (int l = level; l <= levels; ++l) {
                Group g;
                g.begin = std::int32_t(i);
                g.parent = open[std::size_t(l - 1)];
                g.level = std::int16_t(l);
                g.expanded = !allCollapsed;
                open[std::size_t(l)] = std::int32_t(m_groups.size());
                m_groups.push_back(g);
            }
        }
        close(1, std::int32_t(n));
        if (keepExpansion && oldExpanded.size() == m_groups.size())
            for (std::size_t g = 0; g < m_groups.size(); ++g)
                m_groups[g].expanded = oldExpanded[g];
    }
    packed.clear();
    packed.shrink_to_fit();
    wide.clear();
    computeTotals(totals);
    rebuildVisible();
}

void GridViewModel::computeTotals(const std::vector<TotalSpec> &totals)
{
    m_totalSpecs = totals;
    m_totals.assign(m_groups.size() * totals.size(), GroupTotal{});
    if (m_groups.empty() || totals.empty() || !m_table)
        return;
    const std::size_t n = std::size_t(m_table->rowCount());
    const std::size_t K = totals.size();
    // Table row -> innermost group, so that every total is one sequential pass over its column.
    std::vector<std::int32_t> leafOf(n, -1);
    for (std::size_t g = 0; g < m_groups.size(); ++g) {
        const Group &grp = m_groups[g];
        if (grp.level != m_levels)
            continue;
        for (std::int32_t p = grp.begin; p < grp.end; ++p)
            leafOf[std::size_t(recordAt(p))] = std::int32_t(g);
    }
    GroupTotal *t = m_totals.data();
    const std::int32_t *leaf = leafOf.data();
    for (std::size_t k = 0; k < K; ++k) {
        const int src = totals[k].source;
        if (src < 0 || src >= m_table->columnCount())
            continue;
        const std::uint64_t *nulls = m_table->nullBits(src);
        const ColumnType type = m_table->column(src).type;
        if (type == ColumnType::Integer || type == ColumnType::Boolean) {
            const std::int64_t *v = m_table->integerData(src);
            for (std::size_t r = 0; r < n; ++r) {
                if (nulls && isNullBit(nulls, r))
                    continue;
                GroupTotal &gt = t[std::size_t(leaf[r]) * K + k];
                ++gt.count;
                gt.intSum += v[r];
            }
        } else if (type == ColumnType::Double) {
            const double *v = m_table->realData(src);
            for (std::size_t r = 0; r < n; ++r) {
                if (nulls && isNullBit(nulls, r))
                    continue;
                GroupTotal &gt = t[std::size_t(leaf[r]) * K + k];
                ++gt.count;
                gt.realSum += v[r];
            }
        } else {
            for (std::size_t r = 0; r < n; ++r)
                if (!(nulls && isNullBit(nulls, r)))
                    ++t[std::size_t(leaf[r]) * K + k].count;
        }
    }
    // Children follow their parent in pre-order, so a backward walk rolls every level up.
    for (std::size_t g = m_groups.size(); g-- > 0;) {
        const std::int32_t parent = m_groups[g].parent;
        if (parent < 0)
            continue;
        for (std::size_t k = 0; k < K; ++k) {
            GroupTotal &to = t[std::size_t(parent) * K + k];
            const GroupTotal &from = t[g * K + k];
            to.count += from.count;
            to.intSum += from.intSum;
            to.realSum += from.realSum;
        }
    }
}

void GridViewModel::setFooters(bool on)
{
    if (m_footers == on)
        return;
    m_footers = on;
    rebuildVisible();
}

void GridViewModel::rebuildVisible()
{
    m_visible.clear();
    if (m_groups.empty()) {
        m_identityVisible = true;
        if (m_levels > 0 && m_table && m_table->rowCount() == 0)
            return;
        return;
    }
    m_identityVisible = false;
    std::vector<std::int32_t> stack;
    auto header = [](std::int32_t g) { return -1 - 2 * g; };
    auto footer = [](std::int32_t g) { return -2 - 2 * g; };
    const std::int32_t count = std::int32_t(m_groups.size());
    std::int32_t g = 0;
    auto popUntil = [&](std::int32_t next) {
        while (!stack.empty() && m_groups[std::size_t(stack.back())].subtreeEnd <= next) {
            if (m_footers)
                m_visible.push_back(footer(stack.back()));
            stack.pop_back();
        }
    };
    while (g < count) {
        popUntil(g);
        const Group &grp = m_groups[std::size_t(g)];
        m_visible.push_back(header(g));
        if (!grp.expanded) {
            if (m_footers)
                m_visible.push_back(footer(g));
            g = grp.subtreeEnd;
            continue;
        }
        stack.push_back(g);
        if (grp.level == m_levels)
            for (std::int32_t p = grp.begin; p < grp.end; ++p)
                m_visible.push_back(p);
        ++g;
    }
    popUntil(INT32_MAX);
}

GridViewModel::Entry GridViewModel::entry(int pos) const
{
    if (m_identityVisible)
        return {Kind::Record, pos};
    const std::int32_t v = m_visible[std::size_t(pos)];
    if (v >= 0)
        return {Kind::Record, v};
    const std::int32_t t = -1 - v;
    return {(t & 1) ? Kind::Footer : Kind::Header, t >> 1};
}

void GridViewModel::setExpanded(int g, bool expanded)
{
    if (g < 0 || g >= int(m_groups.size()) || m_groups[std::size_t(g)].expanded == expanded)
        return;
    m_groups[std::size_t(g)].expanded = expanded;
    rebuildVisible();
}

void GridViewModel::setAllExpanded(bool expanded)
{
    for (Group &g : m_groups)
        g.expanded = expanded;
    rebuildVisible();
}

int GridViewModel::positionOf(Kind kind, int index) const
{
    if (m_identityVisible)
        return kind == Kind::Record && index < recordCount() ? index : -1;
    const std::int32_t want = kind == Kind::Record ? index : (kind == Kind::Header ? -1 - 2 * index : -2 - 2 * index);
    const auto it = std::find(m_visible.begin(), m_visible.end(), want);
    return it == m_visible.end() ? -1 : int(it - m_visible.begin());
}

int GridViewModel::positionOfRecord(int record) const
{
    int permPos = record;
    if (!m_perm.empty()) {
        const auto it = std::find(m_perm.begin(), m_perm.end(), record);
        if (it == m_perm.end())
            return -1;
        permPos = int(it - m_perm.begin());
    }
    const int pos = positionOf(Kind::Record, permPos);
    if (pos >= 0 || m_groups.empty())
        return pos;
    for (std::size_t g = 0; g < m_groups.size(); ++g) {
        const Group &grp = m_groups[g];
        if (grp.level == m_levels && grp.begin <= permPos && permPos < grp.end)
            return positionOfGroupOrAncestor(int(g));
    }
    return -1;
}

int GridViewModel::positionOfGroupOrAncestor(int g) const
{
    int target = g;
    for (int a = m_groups[std::size_t(g)].parent; a >= 0; a = m_groups[std::size_t(a)].parent)
        if (!m_groups[std::size_t(a)].expanded)
            target = a;
    return positionOf(Kind::Header, target);
}

std::size_t GridViewModel::memoryBytes() const
{
    std::size_t bytes = m_perm.capacity() * sizeof(std::int32_t) + m_visible.capacity() * sizeof(std::int32_t)
        + m_groups.capacity() * sizeof(Group) + m_totals.capacity() * sizeof(GroupTotal);
    for (const RankCache &c : m_rankCache)
        bytes += c.ranks.capacity() * sizeof(std::uint32_t);
    return bytes;
}

} // namespace velmora::grid
