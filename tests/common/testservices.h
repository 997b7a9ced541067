#pragma once

// What the CTest fixtures of tests/services.cmake started for this run, as the tests see it.
// A test names the fixtures it needs (FIXTURES fbserver smtp sampledb) and then checks
// `isValid()` on what it reads here: without the fixture the env file is missing.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <QUuid>

#include <algorithm>

namespace velmora::test
{

// The per-run folder of this build tree (servers' env files, sample database, mail).
inline QString runDir()
{
    QString dir = qEnvironmentVariable("VELMORA_TEST_RUN_DIR");
#ifdef VELMORA_BINARY_DIR
    if (dir.isEmpty())
        dir = QStringLiteral(VELMORA_BINARY_DIR "/test-run");
#endif
    return dir;
}

// KEY=VALUE lines; blank lines and lines starting with # are skipped. Empty when the file is missing.
inline QMap<QString, QString> readEnv(const QString &file)
{
    QMap<QString, QString> values;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return values;
    QTextStream in(&f);
    while (!in.atEnd()) {
        const QString line = in.readLine();
        if (const qsizetype eq = line.indexOf(QLatin1Char('=')); eq > 0 && !line.startsWith(QLatin1Char('#')))
            values.insert(line.left(eq).trimmed(), line.mid(eq + 1));
    }
    return values;
}

// A file name in `folder` unique in this run: stem-<12 hex digits>.fdb.
inline QString uniqueDatabaseName(const QString &folder, const QString &stem)
{
    return QDir(folder).filePath(stem + QLatin1Char('-') + QUuid::createUuid().toString(QUuid::Id128).left(12) +
                                 QStringLiteral(".fdb"));
}

struct FirebirdServer {
    QString host;
    int port = 0;
    QString user;
    QString password;
    QString dbDir; // a folder the server may create and open databases in

    bool isValid() const { return !host.isEmpty() && port > 0 && !dbDir.isEmpty(); }
    // Firebird DSN of a database file on this server: host/port:path.
    QString dsn(const QString &path) const { return QStringLiteral("%1/%2:%3").arg(host).arg(port).arg(path); }
    // The OLE DB form the host application passes.
    QString oleDbConnString(const QString &path) const
    {
        return QStringLiteral("Provider=LCPI.IBProvider.3;Data Source=%1;User ID=%2;Password=%3;ctype=UTF8")
            .arg(dsn(path), user, password);
    }
    // A path for a new database file in dbDir, unique in this run.
    QString newDatabasePath(const QString &stem = QStringLiteral("db")) const { return uniqueDatabaseName(dbDir, stem); }
};

// The run's server, or one that scripts/fbserver.sh started in another folder.
inline FirebirdServer firebirdServer(const QString &folder = runDir())
{
    const auto env = readEnv(folder + QStringLiteral("/fbserver.env"));
    return {env.value(QStringLiteral("FB_HOST")), env.value(QStringLiteral("FB_PORT")).toInt(),
            env.value(QStringLiteral("FB_USER")), env.value(QStringLiteral("FB_PASSWORD")),
            env.value(QStringLiteral("FB_DBDIR"))};
}

struct SmtpSink {
    QString host;
    int port = 0;
    QString user;
    QString password;
    QString mailDir;

    bool isValid() const { return !host.isEmpty() && port > 0 && !mailDir.isEmpty(); }

    // The newest stored message (<n>.eml, listed once complete) whose raw bytes hold `token`
    // (tests share the sink), or empty.
    QString storedWith(const QByteArray &token) const
    {
        QString newest;
        for (const QString &name : QDir(mailDir).entryList({QStringLiteral("*.eml")}, QDir::Files)) {
            QFile f(QDir(mailDir).filePath(name));
            if (f.open(QIODevice::ReadOnly) && f.readAll().contains(token) &&
                (newest.isEmpty() || name.section(u'.', 0, 0).toInt() > QFileInfo(newest).baseName().toInt()))
                newest = f.fileName();
        }
        return newest;
    }
};

inline SmtpSink smtpSink()
{
    const auto env = readEnv(runDir() + QStringLiteral("/smtp.env"));
    return {env.value(QStringLiteral("SMTP_HOST")), env.value(QStringLiteral("SMTP_PORT")).toInt(),
            env.value(QStringLiteral("SMTP_USER")), env.value(QStringLiteral("SMTP_PASSWORD")),
            env.value(QStringLiteral("SMTP_MAILDIR"))};
}

// The run's sample database (2,000 inventory rows, seed 1).
inline QString sampleDatabase() { return runDir() + QStringLiteral("/sample.fdb"); }

// Copies the sample database to a fresh file in `toFolder` and returns its path (empty on
// failure). One process owns a database file, so every test works on its own copy.
inline QString copySampleDatabase(const QString &toFolder)
{
    if (!QDir().mkpath(toFolder))
        return {};
    const QString target = uniqueDatabaseName(toFolder, QStringLiteral("sample"));
    if (!QFile::copy(sampleDatabase(), target))
        return {};
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup);
    return QFileInfo(target).absoluteFilePath();
}

// The run's customer search file (SQLCipher, password sampleSearchPassword()).
inline QString sampleSearchFile() { return runDir() + QStringLiteral("/search.tmp"); }
inline QString sampleSearchPassword() { return QStringLiteral("velmora"); }

// A file's bytes (empty when it cannot be read), and a file written anew with `data`.
inline QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
inline bool writeBytes(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

} // namespace velmora::test
