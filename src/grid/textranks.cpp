#include "grid/textranks.h"

#include <QCollator>

#include <algorithm>
#include <numeric>

namespace velmora::grid {

namespace {

std::atomic<int> s_running{0};

struct Stopped {};

} // namespace

std::vector<std::uint32_t> collationRanks(int size, const std::function<const QString &(int)> &text,
                                          const QLocale &locale, int threads, const std::atomic<bool> *stop)
{
    const auto stopped = [stop] { return stop && stop->load(std::memory_order_relaxed); };
    // Collation keys cost about a microsecond each, so they are what is shared between threads
    // (each with its own collator: one is not safe to share).
    std::vector<std::optional<QCollatorSortKey>> collationKeys(static_cast<std::size_t>(size));
    auto makeKeys = [&](int from, int to) {
        QCollator collator(locale);
        for (int code = from; code < to; ++code) {
            if ((code & 1023) == 0 && stopped())
                return;
            collationKeys[std::size_t(code)].emplace(collator.sortKey(text(code)));
        }
    };
    if (threads > 1 && size >= 20000) {
        std::thread helper(makeKeys, size / 2, size);
        makeKeys(0, size / 2);
        helper.join();
    } else {
        makeKeys(0, size);
    }
    if (stopped())
        return {};
    std::vector<QCollatorSortKey> keys;
    keys.reserve(std::size_t(size));
    for (auto &k : collationKeys)
        keys.push_back(std::move(*k));
    collationKeys.clear();
    std::vector<std::uint32_t> order(static_cast<std::size_t>(size));
    std::iota(order.begin(), order.end(), 0u);
    try {
        std::uint32_t compares = 0;
        std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
            if ((++compares & 0xFFFF) == 0 && stopped())
                throw Stopped{};
            return keys[a].compare(keys[b]) < 0;
        });
    } catch (const Stopped &) {
        return {};
    }
    std::vector<std::uint32_t> ranks(std::size_t(size), 0);
    std::uint32_t rank = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (i > 0 && keys[order[i]].compare(keys[order[i - 1]]) != 0)
            ++rank;
        ranks[order[i]] = rank;
    }
    return ranks;
}

BackgroundRanks::BackgroundRanks(std::vector<Column> columns, const QLocale &locale) : m_locale(locale)
{
    std::sort(columns.begin(), columns.end(),
              [](const Column &a, const Column &b) { return a.texts.size() > b.texts.size(); });
    for (Column &c : columns) {
        Entry e;
        e.source = c.source;
        e.size = int(c.texts.size());
        e.texts = std::move(c.texts);
        m_entries.push_back(std::move(e));
    }
    if (m_entries.empty())
        return;
    // Two threads, each on a column of its own: while one ranks the largest, the next ones are
    // done by the other, so a second of idling after a load covers the columns users sort by.
    const int threads = std::min<int>(int(m_entries.size()), 2);
    for (int i = 0; i < threads; ++i) {
        ++s_running;
        m_threads.emplace_back([this] {
            work();
            --s_running;
        });
    }
}

BackgroundRanks::~BackgroundRanks()
{
    m_stop = true;
    for (std::thread &t : m_threads)
        t.join();
}

void BackgroundRanks::work()
{
    for (;;) {
        Entry *entry = nullptr;
        {
            std::lock_guard lock(m_mutex);
            if (m_stop)
                return;
            for (Entry &e : m_entries) {
                if (e.state == State::Pending) {
                    entry = &e;
                    break;
                }
            }
            if (!entry)
                return;
            entry->state = State::Working;
        }
        // The texts are this thread's alone while the entry is Working.
        const std::vector<QString> &texts = entry->texts;
        std::vector<std::uint32_t> ranks = collationRanks(
            entry->size, [&texts](int i) -> const QString & { return texts[std::size_t(i)]; }, m_locale, 1, &m_stop);
        std::lock_guard lock(m_mutex);
        entry->state = m_stop ? State::Stopped : State::Done;
        entry->ranks = std::move(ranks);
        entry->texts = {};
        m_changed.notify_all();
    }
}

std::optional<std::vector<std::uint32_t>> BackgroundRanks::take(int source, int size, const QString &localeName)
{
    std::unique_lock lock(m_mutex);
    auto it = std::find_if(m_entries.begin(), m_entries.end(), [source](const Entry &e) { return e.source == source; });
    if (it == m_entries.end())
        return std::nullopt;
    Entry &e = *it;
    if (e.state == State::Pending) {
        e.state = State::Taken;
        e.texts = {};
        return std::nullopt;
    }
    m_changed.wait(lock, [&e] { return e.state != State::Working; });
    if (e.state != State::Done || e.size != size || localeName != m_locale.name())
        return std::nullopt;
    e.state = State::Taken;
    return std::move(e.ranks);
}

int BackgroundRanks::runningThreads()
{
    return s_running.load();
}

} // namespace velmora::grid
