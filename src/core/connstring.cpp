#include "core/connstring.h"

#include <algorithm>

namespace velmora {

namespace {

Failure malformed(const QString &why)
{
    Failure f;
    f.description = QStringLiteral("The connection string is not valid: %1").arg(why);
    f.engineMessages << f.description;
    return f;
}

// "User ID", "user_id" and "UserID" name the same key.
QString normalisedKey(QStringView key)
{
    QString out;
    out.reserve(key.size());
    for (QChar ch : key)
        if (!ch.isSpace() && ch != QLatin1Char('_'))
            out += ch.toLower();
    return out;
}

bool parsePort(QStringView text, int &port)
{
    bool ok = false;
    const int p = text.trimmed().toInt(&ok);
    if (!ok || p <= 0 || p > 65535)
        return false;
    port = p;
    return true;
}

// No host name holds a blank or a control character, and brackets only enclose a host (an IPv6
// address): a host with either could not be written into an attach string that reads back the same.
Status acceptHost(QStringView host, ConnString &out)
{
    if (host.isEmpty())
        return malformed(QStringLiteral("the host name is empty."));
    const bool bad = std::any_of(host.begin(), host.end(), [](QChar c) {
        return c.isSpace() || c.category() == QChar::Other_Control || c == QLatin1Char('[') || c == QLatin1Char(']');
    });
    if (bad)
        return malformed(QStringLiteral("the host name \"%1\" is not valid.").arg(host));
    out.host = host.toString();
    return {};
}

// host[/port] as written before the ":" of a DSN, or as a Data Source beside a separate database.
Status parseHostPort(QStringView text, ConnString &out)
{
    QStringView host = text.trimmed();
    QStringView port;
    if (host.startsWith(QLatin1Char('['))) {
        const qsizetype close = host.indexOf(QLatin1Char(']'));
        if (close < 0)
            return malformed(QStringLiteral("the host \"%1\" has no closing \"]\".").arg(host));
        const QStringView rest = host.mid(close + 1);
        if (!rest.isEmpty()) {
            if (!rest.startsWith(QLatin1Char('/')))
                return malformed(QStringLiteral("unexpected \"%1\" after the host.").arg(rest));
            port = rest.mid(1);
        }
        host = host.mid(1, close - 1);
    } else if (const qsizetype slash = host.indexOf(QLatin1Char('/')); slash >= 0) {
        port = host.mid(slash + 1);
        host = host.left(slash).trimmed();
    }
    if (host.isEmpty())
        return malformed(QStringLiteral("the host name is empty."));
    if (!port.isNull() && !parsePort(port, out.port))
        return malformed(QStringLiteral("the port \"%1\" is not a number from 1 to 65535.").arg(port.trimmed()));
    return acceptHost(host, out);
}

bool isDriveLetterPath(QStringView s)
{
    return s.size() >= 2 && s[0].isLetter() && s[1] == QLatin1Char(':')
        && (s.size() == 2 || s[2] == QLatin1Char('\\') || s[2] == QLatin1Char('/'));
}

Status parseDsn(QStringView text, ConnString &out)
{
    const QStringView s = text.trimmed();
    if (s.isEmpty())
        return malformed(QStringLiteral("no database is named."));

    // The URL-like form of newer clients: inet://host[:port]/path.
    if (s.startsWith(QLatin1String("inet://"), Qt::CaseInsensitive)) {
        const QStringView rest = s.mid(7);
        const qsizetype slash = rest.indexOf(QLatin1Char('/'));
        if (slash <= 0 || slash == rest.size() - 1)
            return malformed(QStringLiteral("\"%1\" names no host and database.").arg(s));
        QStringView hostPort = rest.left(slash);
        QStringView port;
        if (hostPort.startsWith(QLatin1Char('['))) {
            const qsizetype close = hostPort.indexOf(QLatin1Char(']'));
            if (close < 0)
                return malformed(QStringLiteral("the host \"%1\" has no closing \"]\".").arg(hostPort));
            const QStringView after = hostPort.mid(close + 1);
            if (!after.isEmpty() && !after.startsWith(QLatin1Char(':')))
                return malformed(QStringLiteral("unexpected \"%1\" after the host.").arg(after));
            port = after.isEmpty() ? QStringView() : after.mid(1);
            hostPort = hostPort.mid(1, close - 1);
        } else if (const qsizetype colon = hostPort.lastIndexOf(QLatin1Char(':')); colon >= 0) {
            port = hostPort.mid(colon + 1);
            hostPort = hostPort.left(colon);
        }
        if (!port.isNull() && !parsePort(port, out.port))
            return malformed(QStringLiteral("the port \"%1\" is not a number from 1 to 65535.").arg(port));
        if (Status st = acceptHost(hostPort, out); !st)
            return st;
        out.database = rest.mid(slash + 1).trimmed().toString();
        if (out.database.isEmpty())
            return malformed(QStringLiteral("\"%1\" names no host and database.").arg(s));
        return {};
    }

    qsizetype colon = -1;
    if (s.startsWith(QLatin1Char('['))) {
        const qsizetype close = s.indexOf(QLatin1Char(']'));
        colon = close < 0 ? -1 : s.indexOf(QLatin1Char(':'), close);
        if (close < 0)
            return malformed(QStringLiteral("the host \"%1\" has no closing \"]\".").arg(s));
        if (colon < 0)
            return malformed(QStringLiteral("no database path follows the host \"%1\".").arg(s));
    } else if (!isDriveLetterPath(s)) {
        colon = s.indexOf(QLatin1Char(':'));
    }

    if (colon < 0) {
        out.host.clear();
        out.port = 0;
        out.database = s.toString();
        return {};
    }
    if (colon == 0)
        return malformed(QStringLiteral("the host name before \":\" is empty."));
    const QStringView path = s.mid(colon + 1).trimmed();
    if (path.isEmpty())
        return malformed(QStringLiteral("no database path follows the host \"%1\".").arg(s.left(colon)));
    // "inet : //h/db" is a mistyped URL, and the attach string we would write reads as one.
    const QStringView before = s.left(colon).trimmed();
    const bool protocol = before.compare(u"inet", Qt::CaseInsensitive) == 0 || before.compare(u"wnet", Qt::CaseInsensitive) == 0
                          || before.compare(u"xnet", Qt::CaseInsensitive) == 0;
    if (protocol && path.startsWith(QLatin1String("//")))
        return malformed(QStringLiteral("\"%1\" is a protocol, not a host; the form is inet://host/path.").arg(before));
    if (Status st = parseHostPort(s.left(colon), out); !st)
        return st;
    out.database = path.toString();
    return {};
}

struct Pair {
    QString key;
    QString value;
};

// Splits "key=value;key=\"quoted;value\";..." keeping the order. A quoted value may hold ";" and
// a doubled quote stands for one quote character.
Result<QList<Pair>> splitPairs(const QString &text)
{
    QList<Pair> pairs;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        while (i < n && (text[i].isSpace() || text[i] == QLatin1Char(';')))
            ++i;
        if (i >= n)
            break;
        const qsizetype keyStart = i;
        while (i < n && text[i] != QLatin1Char('=') && text[i] != QLatin1Char(';'))
            ++i;
        const QString key = text.mid(keyStart, i - keyStart).trimmed();
        if (i >= n || text[i] == QLatin1Char(';'))
            return malformed(QStringLiteral("the part \"%1\" has no \"=\".").arg(key));
        if (key.isEmpty())
            return malformed(QStringLiteral("a value has no key before its \"=\"."));
        ++i; // '='
        while (i < n && text[i].isSpace() && text[i] != QLatin1Char(';'))
            ++i;
        QString value;
        if (i < n && (text[i] == QLatin1Char('"') || text[i] == QLatin1Char('\''))) {
            const QChar quote = text[i++];
            bool closed = false;
            while (i < n) {
                if (text[i] == quote) {
                    if (i + 1 < n && text[i + 1] == quote) {
                        value += quote;
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                value += text[i++];
            }
            if (!closed)
                return malformed(QStringLiteral("the quoted value of \"%1\" is not closed.").arg(key));
            while (i < n && text[i].isSpace())
                ++i;
            if (i < n && text[i] != QLatin1Char(';'))
                return malformed(QStringLiteral("unexpected text after the quoted value of \"%1\".").arg(key));
        } else {
            const qsizetype valueStart = i;
            while (i < n && text[i] != QLatin1Char(';'))
                ++i;
            value = text.mid(valueStart, i - valueStart).trimmed();
        }
        pairs.append({key, value});
    }
    return pairs;
}

} // namespace

QString ConnString::dsn() const
{
    if (host.isEmpty())
        return database;
    // Brackets keep a ":" (IPv6) or a "/" inside the host from reading as the path or port separator,
    // and a machine named like a protocol from reading as the URL form "inet://host/path".
    const bool protocolName = host.compare(u"inet", Qt::CaseInsensitive) == 0 || host.compare(u"wnet", Qt::CaseInsensitive) == 0
                              || host.compare(u"xnet", Qt::CaseInsensitive) == 0;
    QString h = protocolName || host.contains(QLatin1Char(':')) || host.contains(QLatin1Char('/'))
                    ? QLatin1Char('[') + host + QLatin1Char(']')
                    : host;
    if (port > 0)
        h += QLatin1Char('/') + QString::number(port);
    return h + QLatin1Char(':') + database;
}

Result<ConnString> parseConnString(const QString &text)
{
    ConnString out;
    if (text.trimmed().isEmpty())
        return malformed(QStringLiteral("it is empty."));
    // The client takes every part as a C string: a character 0 would cut it short silently.
    if (text.contains(QChar(0)))
        return malformed(QStringLiteral("it holds a character 0."));

    // A plain DSN has no key=value parts.
    if (!text.contains(QLatin1Char('='))) {
        if (Status st = parseDsn(text, out); !st)
            return st.failure();
        return out;
    }

    auto pairs = splitPairs(text);
    if (!pairs)
        return pairs.failure();

    QString dataSource;
    QString location;
    bool haveDataSource = false;
    for (const Pair &p : *pairs) {
        const QString key = normalisedKey(p.key);
        if (key == u"datasource" || key == u"server" || key == u"host") {
            dataSource = p.value;
            haveDataSource = true;
        } else if (key == u"location" || key == u"database" || key == u"initialcatalog" || key == u"dbname") {
            location = p.value;
        } else if (key == u"userid" || key == u"user" || key == u"uid" || key == u"username") {
            out.user = p.value;
        } else if (key == u"password" || key == u"pwd") {
            out.password = p.value;
        } else if (key == u"ctype" || key == u"lcctype" || key == u"charset" || key == u"characterset") {
            out.charset = p.value;
        } else if (key == u"role" || key == u"sqlrolename") {
            out.role = p.value;
        }
        // Provider and any other provider property (auto_commit, dialect, ...) do not change
        // where or how we attach.
    }

    if (location.trimmed().isEmpty() || dataSource.trimmed().isEmpty()) {
        if (location.trimmed().isEmpty() && (!haveDataSource || dataSource.trimmed().isEmpty()))
            return malformed(QStringLiteral("it names no Data Source."));
        // Without a host beside it, the client reads a Location as a whole attach string, so a
        // ":" in it names a server; reading it the same way keeps isRemote() true to the attach.
        const QString &dsn = location.trimmed().isEmpty() ? dataSource : location;
        if (Status st = parseDsn(dsn, out); !st)
            return st.failure();
        return out;
    }
    // Host in Data Source, path in Location.
    if (!dataSource.trimmed().isEmpty()) {
        if (Status st = parseHostPort(dataSource, out); !st)
            return st.failure();
    }
    out.database = location.trimmed();
    return out;
}

} // namespace velmora
