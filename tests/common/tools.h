#pragma once

// Independent readers for tests: command-line tools that check our results without our code
// (isql-fb for Firebird, sqlcipher for the search file, /usr/bin/python3 for mail and files).

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace velmora::test
{

struct ToolResult {
    bool started = false;
    int exitCode = -1;
    QString output; // stdout and stderr together, as a user would see them
};

// Runs a program with `input` on stdin. ISC_USER and ISC_PASSWORD are removed from its
// environment: libfbclient would otherwise log in with them where the test meant no login.
inline ToolResult runTool(const QString &program, const QStringList &arguments, const QByteArray &input = {},
                          const QProcessEnvironment &extra = {}, int timeoutMs = 120000)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("ISC_USER"));
    env.remove(QStringLiteral("ISC_PASSWORD"));
    env.insert(extra);
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, arguments);
    ToolResult r;
    r.started = p.waitForStarted(10000);
    if (!r.started) {
        r.output = p.errorString();
        return r;
    }
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(5000);
        r.output = QStringLiteral("(timed out) ") + QString::fromUtf8(p.readAll());
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.output = QString::fromUtf8(p.readAll());
    return r;
}

// isql-fb on a database (a file path for the embedded engine, or host/port:path), UTF8
// connection, `script` on stdin. Statements end with ";".
inline ToolResult isql(const QString &database, const QString &script, const QString &user = QStringLiteral("SYSDBA"),
                       const QString &password = {})
{
    QStringList args{QStringLiteral("-q"), QStringLiteral("-ch"), QStringLiteral("UTF8")};
    if (!user.isEmpty())
        args << QStringLiteral("-user") << user;
    if (!password.isEmpty())
        args << QStringLiteral("-password") << password;
    // Without a database isql-fb reads its CREATE DATABASE or CONNECT from the script.
    if (!database.isEmpty())
        args << database;
    return runTool(QStringLiteral("isql-fb"), args, script.toUtf8());
}

// One value from isql-fb's "set list on" output: the text after the first column name.
inline QString isqlValue(const QString &database, const QString &select, const QString &user = QStringLiteral("SYSDBA"),
                         const QString &password = {})
{
    const ToolResult r =
        isql(database, QStringLiteral("set list on;\n") + select + QStringLiteral(";\n"), user, password);
    if (r.exitCode != 0)
        return QStringLiteral("ERROR: ") + r.output;
    const QString first = r.output.trimmed().section(QLatin1Char('\n'), 0, 0).trimmed();
    const qsizetype gap = first.indexOf(QLatin1Char(' '));
    return gap < 0 ? QString() : first.mid(gap).trimmed();
}

} // namespace velmora::test
