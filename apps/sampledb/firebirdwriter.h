#pragma once

#include "generator.h"

#include <functional>
#include <memory>
#include <string>

namespace sampledb
{

// Creates the store database and fills it through one prepared INSERT per table in one
// transaction: the engine then only appends pages, which is what makes a million rows take
// seconds rather than minutes. Every engine failure is thrown as std::runtime_error carrying the
// engine's own messages.
class FirebirdWriter
{
public:
    FirebirdWriter();
    ~FirebirdWriter();
    FirebirdWriter(const FirebirdWriter &) = delete;
    FirebirdWriter &operator=(const FirebirdWriter &) = delete;

    // `database` is a file path (embedded engine) or a server DSN such as 127.0.0.1/3050:/x.fdb.
    void create(const std::string &database, const std::string &user, const std::string &password);
    void createTables(const std::vector<Table> &tables);
    // Rows 0..count-1 of the table from the generator; `rowDone` sees each row after it is sent.
    void insert(const Generator &generator, const Table &table, std::int64_t count,
                const std::function<void(const Row &)> &rowDone = {});
    // Commits the data, then adds the primary keys (one sorted index build instead of index
    // maintenance on every insert) and detaches.
    void finish(const std::vector<Table> &tables);

private:
    struct Engine;
    std::unique_ptr<Engine> d;
};

} // namespace sampledb
