#pragma once

// The running load of the viewer, as the window that waits on it sees it.

#include "data/connection.h"

#include <QObject>

#include <memory>

class QEventLoop;
class QTimer;

namespace velmora {

// The rows of the viewer's query arrive on a worker; this object waits for them on the user's
// thread in a local event loop, says a few times a second how many have arrived, and takes the
// user's Cancel. One load runs at a time: there is one viewer.
class LoadProgress : public QObject {
    Q_OBJECT
public:
    static LoadProgress *instance();

    struct Outcome {
        std::unique_ptr<Connection> connection;   // null when it was not opened
        Result<std::shared_ptr<RecordTable>> rows = Failure{};
        bool cancelled = false;
    };
    // Opens the connection and loads the query's rows, returning when they are all in, the
    // load failed or the user cancelled it (then `rows` holds those that arrived).
    Outcome run(const QString &connString, AccessMode mode, const QString &sql);

    bool isRunning() const;
    qint64 arrived() const;

    // How often the count of arrived rows is told, in milliseconds.
    static constexpr int kProgressInterval = 200;

public slots:
    void cancel();

signals:
    void started();
    void rowsArrived(qint64 rows);
    void ended();

private:
    explicit LoadProgress(QObject *parent = nullptr);
    void jobEnded(quint64 generation);

    std::shared_ptr<LoadJob> m_job;
    QEventLoop *m_loop = nullptr;
    QTimer *m_timer = nullptr;
    quint64 m_generation = 0;
};

// The status line of a report whose load the user cancelled.
QString incompleteReportText(int rows);

} // namespace velmora
