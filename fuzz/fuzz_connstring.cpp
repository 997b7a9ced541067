// Connection strings come from the host and from settings files: any text either parses into a
// place to attach to that our own attach string names again, or fails with a reason.

#include "core/connstring.h"
#include "fuzzing.h"

using namespace velmora;

namespace {

QString quoted(QString value)
{
    value.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + value + QLatin1Char('"');
}

QString describe(const ConnString &c)
{
    return QStringLiteral("host=[%1] port=%2 database=[%3] user=[%4] password=[%5] charset=[%6] role=[%7]")
        .arg(c.host)
        .arg(c.port)
        .arg(c.database, c.user, c.password, c.charset, c.role);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const Result<ConnString> parsed = parseConnString(text);
    if (!parsed) {
        FUZZ_CHECK(!parsed.failure().description.isEmpty());
        return 0;
    }
    const ConnString &c = parsed.value();
    FUZZ_CHECK_SAY(!c.database.trimmed().isEmpty(), describe(c));
    FUZZ_CHECK_SAY(c.port >= 0 && c.port <= 65535, describe(c));
    FUZZ_CHECK_SAY(c.port == 0 || c.isRemote(), describe(c));

    // What the client library is given must name the same server and file when it is read again.
    // A one-letter host without a port reads as a Windows drive ("c:/db.fdb"), by design.
    const bool driveLike = c.host.size() == 1 && c.host.front().isLetter() && c.port == 0;
    if (!driveLike) {
        Result<ConnString> again = parseConnString(QStringLiteral("Data Source=") + quoted(c.dsn()));
        FUZZ_CHECK_SAY(again.ok(), c.dsn() + QLatin1Char(' ') + (again ? QString() : again.failure().description));
        FUZZ_CHECK_SAY(again->host == c.host && again->port == c.port && again->database == c.database,
                       c.dsn() + QStringLiteral(" read as ") + describe(*again));
    }

    // The parts written back into the OLE DB form, quoted, read as the same parts: passwords with
    // ";", "=" or quotes included.
    const QString written = QStringLiteral("Provider=LCPI.IBProvider.3;Data Source=%1;User ID=%2;Password=%3;ctype=%4;"
                                           "Role=%5")
                                .arg(quoted(c.dsn()), quoted(c.user), quoted(c.password), quoted(c.charset),
                                     quoted(c.role));
    Result<ConnString> back = parseConnString(written);
    FUZZ_CHECK_SAY(back.ok(), written);
    ConnString expected = c;
    if (driveLike) {
        expected.host = back->host;
        expected.port = back->port;
        expected.database = back->database;
    }
    FUZZ_CHECK_SAY(describe(*back) == describe(expected), written + QStringLiteral(" read as ") + describe(*back));
    return 0;
}
