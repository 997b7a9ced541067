#pragma once

#include "core/result.h"

#include <QString>

namespace velmora {

// Where the store database is and how to log in. Read from either the OLE DB form the host passes
// ("Provider=...;Data Source=host/port:path;User ID=...;Password=...;ctype=...;Role=...") or a
// plain Firebird DSN ("host/port:path", "host:path", "path").
struct ConnString {
    QString host;       // empty: the local file through the embedded engine
    int port = 0;       // 0: the client's default
    QString database;   // path (or alias) on the host
    QString user;
    QString password;
    QString charset;    // connection character set; empty means the caller's default
    QString role;

    // The Firebird attach string: "host/port:database", "host:database" or "database".
    QString dsn() const;
    bool isRemote() const { return !host.isEmpty(); }
};

// A malformed text (a part without "=", an unclosed quote, no database, a port that is not a
// number) is a Failure whose description says what is wrong; nothing is guessed.
Result<ConnString> parseConnString(const QString &text);

} // namespace velmora
