#pragma once

#include "core/result.h"
#include "data/recordtable.h"

#include <QString>
#include <QVariant>

#include <memory>
#include <utility>
#include <vector>

namespace velmora {

// OLE DB access modes, as the report catalogue names them.
enum class AccessMode { Read = 1, ReadWrite = 3 };

// Writes a user's edit or delete back to the table the rows came from. Obtained from the
// connection that ran the query; refuses (with a reason the user can read) what it cannot do
// safely: a join, an expression column, a read-only connection, a row another user changed.
class RecordWriter {
public:
    virtual ~RecordWriter() = default;
    // Why editing or deleting is impossible for this result, or success when it is possible.
    virtual Status canWrite() const = 0;
    // On success the table is changed too (RecordTable::setValue / removeRow).
    virtual Status updateCell(int row, int col, const QVariant &newValue) = 0;
    virtual Status deleteRow(int row) = 0;
    // Adds a row to the table with the given columns (RecordTable indexes) set; columns left out
    // get the table's defaults. On success the row, as the database stored it (generated keys,
    // defaults and trigger values included), is appended to the RecordTable too and its index
    // there is returned.
    virtual Result<int> insertRow(const std::vector<std::pair<int, QVariant>> &values) = 0;
};

// One attachment to the store database, opened in a catalogue access mode: Read runs in a
// read-only transaction; ReadWrite runs every statement in an auto-commit transaction.
class Connection {
public:
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // connString: the OLE DB form or a plain Firebird DSN (see ConnString). An unreachable
    // host gives up after connectTimeoutSeconds instead of the client's three minutes.
    static Result<std::unique_ptr<Connection>> open(const QString &connString, AccessMode mode,
                                                    int connectTimeoutSeconds = 15);

    AccessMode mode() const;

    // Runs the statement and loads every row.
    Result<std::shared_ptr<RecordTable>> query(const QString &sql);

    // Runs a statement that returns no rows (in the connection's transaction mode).
    Status execute(const QString &sql);

    // How long an edit or delete of its writers waits for the server (15 seconds unless set).
    void setWriteTimeout(int milliseconds);

    // Write-back for a result this connection produced; the writer shares the table.
    std::unique_ptr<RecordWriter> writer(std::shared_ptr<RecordTable> table);

private:
    Connection();
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace velmora
