#pragma once

#include <QLocale>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace velmora::grid {

// Dense ranks of `size` texts in the locale's collation order (equal texts share a rank), made
// on `threads` threads. Empty when `stop` was set meanwhile.
std::vector<std::uint32_t> collationRanks(int size, const std::function<const QString &(int)> &text,
                                          const QLocale &locale, int threads, const std::atomic<bool> *stop = nullptr);

// Ranks text columns' dictionaries on two threads of their own, largest first, so that the first
// sort or grouping by a text column finds its ranks made. It ranks copies of the dictionaries:
// the table may change meanwhile (a write-back) without either side seeing the other.
class BackgroundRanks {
public:
    struct Column {
        int source = -1;
        std::vector<QString> texts;
    };
    BackgroundRanks(std::vector<Column> columns, const QLocale &locale);
    ~BackgroundRanks();   // stops the work and waits for the threads
    BackgroundRanks(const BackgroundRanks &) = delete;
    BackgroundRanks &operator=(const BackgroundRanks &) = delete;

    // The ranks of a column of `size` texts in `localeName`'s order: waits while they are being
    // made; nullopt when they are not started yet (the caller makes them, and they are skipped
    // here) or were made for another dictionary or locale.
    std::optional<std::vector<std::uint32_t>> take(int source, int size, const QString &localeName);

    // Threads of every instance that have not ended.
    static int runningThreads();

private:
    enum class State : std::uint8_t { Pending, Working, Done, Taken, Stopped };
    struct Entry {
        int source = -1;
        int size = 0;
        State state = State::Pending;
        std::vector<QString> texts;
        std::vector<std::uint32_t> ranks;
    };
    void work();

    QLocale m_locale;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Entry> m_entries;   // largest first
    std::atomic<bool> m_stop{false};
    std::vector<std::thread> m_threads;
};

} // namespace velmora::grid
