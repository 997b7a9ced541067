#pragma once

#include "core/result.h"
#include "data/recordtable.h"

#include <QString>
#include <QVariant>

#include <functional>
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

    // False once the attachment was dropped because a cancelled load left the server's answer
    // behind; its writers then refuse, and query() attaches afresh.
    bool usable() const;

    // Runs the statement and loads every row.
    Result<std::shared_ptr<RecordTable>> query(const QString &sql);

    // Runs a statement that returns no rows (in the connection's transaction mode).
    Status execute(const QString &sql);

    // How long an edit or delete of its writers waits for the server (15 seconds unless set).
    void setWriteTimeout(int milliseconds);

    // Threads still finishing a load, a write or an abort the caller stopped waiting for. The
    // process's exit waits a few seconds for them, as one may hold the last attachment.
    static int threadsRunning();

    // Write-back for a result this connection produced; the writer shares the table.
    std::unique_ptr<RecordWriter> writer(std::shared_ptr<RecordTable> table);

private:
    Connection();
    struct Impl;
    std::unique_ptr<Impl> d;
    friend class LoadJob;
};

// Opens a connection and loads a query's rows on a worker thread, so the thread that started it
// stays free to repaint, show progress and take a Cancel.
class LoadJob {
public:
    // `ended` runs on the worker when the job has finished or failed by itself; never after
    // cancel() has returned, and never for a cancelled job.
    static std::shared_ptr<LoadJob> start(const QString &connString, AccessMode mode, const QString &sql,
                                          std::function<void()> ended, int connectTimeoutSeconds = 15);
    ~LoadJob();
    LoadJob(const LoadJob &) = delete;
    LoadJob &operator=(const LoadJob &) = delete;

    qint64 rowsArrived() const;
    bool isFinished() const;   // finished or failed by itself
    bool isCancelled() const;

    // Blocks until the worker has finished; for callers with nothing else to do.
    void wait();

    // Stops the load and keeps the rows that arrived. Returns within about a quarter of a second
    // even while the worker waits on a server that has stopped answering: the attachment is then
    // dropped (the connection comes back unusable) and the worker, left to end on its own, no
    // longer touches anything that was handed out.
    void cancel();

    // After isFinished() or cancel(): the connection (null when it was not opened) and the rows
    // (a cancelled job's rows that arrived, or the failure that ended it).
    std::unique_ptr<Connection> takeConnection();
    Result<std::shared_ptr<RecordTable>> takeResult();

    // Workers of any job that have not ended yet.
    static int runningWorkers();

    struct State;

private:
    LoadJob();
    std::shared_ptr<State> d;
};

} // namespace velmora
