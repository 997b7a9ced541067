#pragma once

// Shared pieces of the mail tests: the sink's TLS listeners, a reader of stored messages that is
// Python's email package rather than our code, and a way to act without root's privileges.

#include "common/unprivileged.h"
#include "common/testservices.h"
#include "common/tools.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>
#include <QPushButton>

#include <grp.h>
#include <unistd.h>

#include <vector>

namespace velmora::test {

struct TlsSink {
    int startTlsPort = 0;
    int tlsPort = 0;
    QString caFile;
    QString authLog;   // "<port> <login> tls=<0|1> ok=<0|1>" per AUTH attempt
    bool isValid() const { return startTlsPort > 0 && tlsPort > 0 && !caFile.isEmpty(); }
};

inline TlsSink tlsSink()
{
    const auto env = readEnv(runDir() + QStringLiteral("/smtp.env"));
    TlsSink s;
    s.startTlsPort = env.value(QStringLiteral("SMTP_STARTTLS_PORT")).toInt();
    s.tlsPort = env.value(QStringLiteral("SMTP_TLS_PORT")).toInt();
    s.caFile = env.value(QStringLiteral("SMTP_CA_FILE"));
    s.authLog = runDir() + QStringLiteral("/auth.log");
    return s;
}

inline QString readText(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

inline QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

inline bool writeBytes(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

// What Python's email package reads from a stored message (see readmail.py).
inline QJsonObject readMail(const QString &emlFile)
{
    const ToolResult r = runTool(QStringLiteral("/usr/bin/python3"),
                                 {QStringLiteral(VELMORA_SOURCE_DIR "/tests/mail/readmail.py"), emlFile});
    const QJsonObject o = QJsonDocument::fromJson(r.output.toUtf8()).object();
    if (o.isEmpty())
        qWarning("readmail.py: %s", qPrintable(r.output));
    return o;
}

// The newest stored message whose raw bytes hold token, or empty.
inline QString storedWith(const SmtpSink &sink, const QByteArray &token)
{
    const QStringList files = sink.messageFiles();
    for (auto it = files.crbegin(); it != files.crend(); ++it) {
        if (sink.rawMessage(*it).contains(token))
            return *it;
    }
    return {};
}


} // namespace velmora::test

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace velmora::test {

// Answers the modal windows that open from now on, one action each, in order (message boxes,
// the address book dialog, the folder picker). Each answered window's class and, for message
// boxes, text are recorded. The script ends with the object.
class ModalScript {
public:
    using Action = std::function<void(QWidget *)>;
    explicit ModalScript(QList<Action> actions) : m_actions(std::move(actions))
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
        m_timer.start();
    }
    QStringList seen;    // class names, or "box: <text>" for message boxes
    int pending() const { return int(m_actions.size()); }

private:
    void poll()
    {
        QWidget *w = QApplication::activeModalWidget();
        if (!w || !w->isVisible() || m_actions.isEmpty())
            return;
        if (auto *box = qobject_cast<QMessageBox *>(w))
            seen << QStringLiteral("box: ") + box->text();
        else
            seen << QString::fromLatin1(w->metaObject()->className());
        m_actions.takeFirst()(w);
    }
    QList<Action> m_actions;
    QTimer m_timer;
};

inline ModalScript::Action pressButton(QMessageBox::StandardButton which)
{
    return [which](QWidget *w) {
        auto *box = qobject_cast<QMessageBox *>(w);
        if (box && box->button(which))
            box->button(which)->click();
        else if (auto *dialog = qobject_cast<QDialog *>(w))
            dialog->reject();
    };
}

} // namespace velmora::test
