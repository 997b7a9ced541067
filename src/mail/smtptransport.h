#pragma once

// Sends the bytes of a built message through an SMTP server with libcurl. Knows nothing of
// windows: run() blocks the thread it is called on (a worker), while percentDone() and cancel()
// may be called from any other thread.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>

namespace velmora::mail {

struct SmtpAccount {
    QString server;        // host, host:port or an smtp:// / smtps:// URL
    bool useSsl = false;   // implicit TLS (port 465 unless the server field names a port)
    QString user;          // AUTH only when set
    QString password;      // when set, the connection must be encrypted or nothing is sent
    QString caFile;        // trust anchors replacing the system's bundle; empty: defaultCaFile()
    int connectTimeoutSeconds = 30;   // TCP connect, TLS handshake and the server's greeting
    int stallSeconds = 60;            // no byte moving for this long ends the send
};

struct SendOutcome {
    bool sent = false;
    bool cancelled = false;
    QString errorText;     // the server's words and the library's, for the user
};

class SmtpTransport {
public:
    SmtpTransport();
    ~SmtpTransport();
    SmtpTransport(const SmtpTransport &) = delete;
    SmtpTransport &operator=(const SmtpTransport &) = delete;

    // Trust anchors for accounts that name none; empty (the default) means the system's bundle.
    // Tests that run their own certificate authority set it.
    static void setDefaultCaFile(const QString &file);
    static QString defaultCaFile();

    SendOutcome run(const SmtpAccount &account, const QString &from, const QStringList &recipients,
                    const QByteArray &message);

    // 0..100 of the message's bytes handed to the server.
    int percentDone() const { return m_percent.load(std::memory_order_relaxed); }
    // Ends a running send within a fraction of a second; it then reports cancelled.
    void cancel() { m_cancel.store(true, std::memory_order_relaxed); }
    bool cancelRequested() const { return m_cancel.load(std::memory_order_relaxed); }

private:
    struct Call;
    std::atomic<int> m_percent{0};
    std::atomic<bool> m_cancel{false};
};

} // namespace velmora::mail
