#pragma once

// Private to data/: owners for the Firebird client's interfaces and the conversion of a failed
// status into a Failure. Nothing above data/ includes this header.

#include "core/result.h"

#include <firebird/Interface.h>

#include <QByteArray>
#include <QString>

#include <utility>
#include <vector>

namespace velmora::fb {

Firebird::IMaster *master();
Firebird::IUtil *util();
Firebird::IProvider *provider();

// A status object of our own per call site; CheckStatusWrapper never throws.
class Status {
public:
    Status();
    ~Status();
    Status(const Status &) = delete;
    Status &operator=(const Status &) = delete;

    Firebird::CheckStatusWrapper *ptr() { return &m_wrapper; }
    bool failed() const;
    void clear() { m_wrapper.init(); }
    // Every message of the status vector, one text each, in order; the number is the first GDS code.
    Failure failure(int step = 0, const QString &description = {}) const;

private:
    Firebird::IStatus *m_status;
    Firebird::CheckStatusWrapper m_wrapper;
};

// The interfaces end differently: an attachment detaches, a transaction commits or rolls back,
// a statement is freed, a cursor or blob is closed. Each of those releases the interface when it
// succeeds; when it fails (a lost server) only release() is left, so the owners fall back to it.
template <typename T>
struct EndPolicy;

template <>
struct EndPolicy<Firebird::IAttachment> {
    static void end(Firebird::IAttachment *p, Firebird::CheckStatusWrapper *st) { p->detach(st); }
};
template <>
struct EndPolicy<Firebird::ITransaction> {
    static void end(Firebird::ITransaction *p, Firebird::CheckStatusWrapper *st) { p->rollback(st); }
};
template <>
struct EndPolicy<Firebird::IStatement> {
    static void end(Firebird::IStatement *p, Firebird::CheckStatusWrapper *st) { p->free(st); }
};
template <>
struct EndPolicy<Firebird::IResultSet> {
    static void end(Firebird::IResultSet *p, Firebird::CheckStatusWrapper *st) { p->close(st); }
};
template <>
struct EndPolicy<Firebird::IBlob> {
    static void end(Firebird::IBlob *p, Firebird::CheckStatusWrapper *st) { p->close(st); }
};

template <typename T>
class Handle {
public:
    Handle() = default;
    explicit Handle(T *p) : m_p(p) {}
    ~Handle() { reset(); }
    Handle(Handle &&o) noexcept : m_p(std::exchange(o.m_p, nullptr)) {}
    Handle &operator=(Handle &&o) noexcept
    {
        if (this != &o) {
            reset();
            m_p = std::exchange(o.m_p, nullptr);
        }
        return *this;
    }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;

    T *get() const { return m_p; }
    T *operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

    // Ends the interface its own way; on failure it is released anyway and the status tells why.
    void end(Status &st)
    {
        if (!m_p)
            return;
        EndPolicy<T>::end(m_p, st.ptr());
        if (st.failed())
            m_p->release();
        m_p = nullptr;
    }
    void reset()
    {
        if (!m_p)
            return;
        Status st;
        end(st);
    }
    // The interface was ended by the engine itself (a successful commit, for instance).
    T *take() { return std::exchange(m_p, nullptr); }

private:
    T *m_p = nullptr;
};

class Metadata {
public:
    Metadata() = default;
    explicit Metadata(Firebird::IMessageMetadata *p) : m_p(p) {}
    ~Metadata()
    {
        if (m_p)
            m_p->release();
    }
    Metadata(Metadata &&o) noexcept : m_p(std::exchange(o.m_p, nullptr)) {}
    Metadata &operator=(Metadata &&o) noexcept
    {
        std::swap(m_p, o.m_p);
        return *this;
    }
    Metadata(const Metadata &) = delete;
    Metadata &operator=(const Metadata &) = delete;
    Firebird::IMessageMetadata *get() const { return m_p; }
    Firebird::IMessageMetadata *operator->() const { return m_p; }

private:
    Firebird::IMessageMetadata *m_p = nullptr;
};

class Builder {
public:
    explicit Builder(Firebird::IMetadataBuilder *p) : m_p(p) {}
    ~Builder()
    {
        if (m_p)
            m_p->release();
    }
    Builder(const Builder &) = delete;
    Builder &operator=(const Builder &) = delete;
    Firebird::IMetadataBuilder *operator->() const { return m_p; }
    Firebird::IMetadataBuilder *get() const { return m_p; }

private:
    Firebird::IMetadataBuilder *m_p;
};

// Database parameter block for attach/create: user, password, role, character set, timeout.
struct AttachParams {
    QString user;
    QString password;
    QString role;
    QString charset;          // "UTF8" when empty
    int connectTimeout = 0;   // seconds; 0 = client default
    bool createUtf8 = false;  // createDatabase: default character set UTF8
};
QByteArray buildDpb(const AttachParams &p, Status &st);
// A value the parameter block cannot carry (each item holds at most 255 bytes), said in the
// user's terms: the client library would only report a malformed "clumplet" buffer.
velmora::Status checkAttachParams(const AttachParams &p, int step);

// Keeps the host's handling of SIGINT and SIGTERM across a call that attaches to a database.
// On its first attach the client library installs handlers of its own for both signals that
// shut every attachment down and then let the process run on, so a host sent SIGTERM (a logout,
// `systemctl stop`, `kill`) would not end. Refusing that shutdown through fb_shutdown_callback
// would keep the process alive just the same; putting the host's own dispositions back leaves
// the signals to do what the host chose (by default: end the process). The engine's files stay
// consistent when a process ends that way: it writes its pages in careful order, as it must
// for a power cut.
class HostSignals {
public:
    HostSignals();
    ~HostSignals();
    HostSignals(const HostSignals &) = delete;
    HostSignals &operator=(const HostSignals &) = delete;

private:
    struct Saved;
    Saved *m_saved;
};

// The client library has no timeout for an answer from a server once attached: a call waits on
// the attachment's socket for as long as the server keeps the connection open without answering
// (a stopped or hung server, a cable pulled beyond a router). To give such a call back, the
// sockets an attach opened are remembered and shut down when the attachment is given up, which
// makes the waiting call fail at once with the client's own network error.
struct ServerSocket {
    int fd = -1;
    unsigned long inode = 0;   // tells our socket from a later one that reused its number
};
std::vector<ServerSocket> openSockets();
// The sockets in `now` missing from `before` that are TCP connections to `port`.
std::vector<ServerSocket> newServerSockets(const std::vector<ServerSocket> &before, int port);
// Shuts down each socket that is still the one remembered; never closes a descriptor.
void cutSockets(const std::vector<ServerSocket> &sockets);

// Bytes per character of a Firebird character set id, for turning byte lengths into characters.
int bytesPerChar(unsigned charSetId);

// Firebird's ISC_DATE counts days from 1858-11-17, Julian day 2400001.
constexpr int kJulianDayOfIscEpoch = 2400001;

} // namespace velmora::fb
