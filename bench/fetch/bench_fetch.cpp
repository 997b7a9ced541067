// bench_fetch [--rows N] [--runs R] [--query SQL] [--only bare|load]
//
// --only runs one side alone (to profile it); the ratio is then not printed.
//
// Baseline: the bare Firebird client (OO API) fetching every row and decoding it into plain
// arrays (native-width numbers, texts appended to one byte buffer), nothing else. Against it: our
// load as the viewer runs it (LoadJob: attach and fetch on a worker) into a RecordTable. Both over
// a loopback server this program starts and stops, then over the embedded engine, on the sample
// inventory (created when missing).

#include "data/connection.h"

#include <firebird/Interface.h>
#include <ibase.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace velmora;
using namespace Firebird;

namespace {

struct Env {
    QString host, port, user, password;
};

struct BareResult {
    qint64 rows = 0;
    std::size_t rawBytes = 0;
    double seconds = 0;
};

// Every column's values in the width the message carries them; texts as UTF-8 bytes plus an
// offset each. This is the least any client must hold after a fetch.
BareResult bareFetch(const QString &dsn, const Env &env, const QString &sql)
{
    BareResult out;
    IMaster *master = fb_get_master_interface();
    ThrowStatusWrapper st(master->getStatus());
    IProvider *prov = master->getDispatcher();
    IUtil *util = master->getUtilInterface();
    QElapsedTimer clock;
    clock.start();
    try {
        IXpbBuilder *dpb = util->getXpbBuilder(&st, IXpbBuilder::DPB, nullptr, 0);
        if (!env.user.isEmpty())
            dpb->insertString(&st, isc_dpb_user_name, env.user.toUtf8().constData());
        if (!env.password.isEmpty())
            dpb->insertString(&st, isc_dpb_password, env.password.toUtf8().constData());
        dpb->insertString(&st, isc_dpb_lc_ctype, "UTF8");
        IAttachment *att = prov->attachDatabase(&st, dsn.toUtf8().constData(), dpb->getBufferLength(&st),
                                                dpb->getBuffer(&st));
        dpb->dispose();
        static const unsigned char tpb[] = {isc_tpb_version3, isc_tpb_read, isc_tpb_read_committed,
                                            isc_tpb_rec_version, isc_tpb_nowait};
        ITransaction *tra = att->startTransaction(&st, sizeof tpb, tpb);
        IStatement *stmt = att->prepare(&st, tra, 0, sql.toUtf8().constData(), SQL_DIALECT_V6,
                                        IStatement::PREPARE_PREFETCH_METADATA);
        IMessageMetadata *meta = stmt->getOutputMetadata(&st);
        const unsigned n = meta->getCount(&st);
        struct Col {
            unsigned type, offset, nullOffset, length;
            std::vector<unsigned char> fixed;
            std::string text;
            std::vector<std::uint32_t> offsets;
            std::vector<std::uint8_t> nulls;
        };
        std::vector<Col> cols(n);
        for (unsigned i = 0; i < n; ++i) {
            cols[i].type = meta->getType(&st, i) & ~1u;
            cols[i].offset = meta->getOffset(&st, i);
            cols[i].nullOffset = meta->getNullOffset(&st, i);
            cols[i].length = meta->getLength(&st, i);
        }
        IResultSet *rs = stmt->openCursor(&st, tra, nullptr, nullptr, meta, 0);
        std::vector<unsigned char> buffer(meta->getMessageLength(&st));
        unsigned char *buf = buffer.data();
        while (rs->fetchNext(&st, buf) == IStatus::RESULT_OK) {
            ++out.rows;
            for (Col &c : cols) {
                short isNull;
                std::memcpy(&isNull, buf + c.nullOffset, sizeof isNull);
                c.nulls.push_back(isNull ? 1 : 0);
                const unsigned char *f = buf + c.offset;
                if (c.type == SQL_VARYING) {
                    std::uint16_t len = 0;
                    if (!isNull)
                        std::memcpy(&len, f, 2);
                    c.offsets.push_back(std::uint32_t(c.text.size()));
                    c.text.append(reinterpret_cast<const char *>(f + 2), len);
                } else if (c.type == SQL_TEXT) {
                    c.offsets.push_back(std::uint32_t(c.text.size()));
                    if (!isNull)
                        c.text.append(reinterpret_cast<const char *>(f), c.length);
                } else {
                    c.fixed.insert(c.fixed.end(), f, f + c.length);
                }
            }
        }
        rs->close(&st);
        stmt->free(&st);
        meta->release();
        tra->commit(&st);
        att->detach(&st);
        out.seconds = double(clock.nsecsElapsed()) / 1e9;
        for (const Col &c : cols)
            out.rawBytes += c.fixed.size() + c.text.size() + c.offsets.size() * sizeof(std::uint32_t);
    } catch (const FbException &e) {
        char text[1024];
        util->formatStatus(text, sizeof text, e.getStatus());
        std::fprintf(stderr, "bare fetch failed: %s\n", text);
        out.rows = -1;
    }
    st.dispose();
    prov->release();
    return out;
}

struct LoadResult {
    qint64 rows = 0;
    std::size_t memory = 0;
    double seconds = 0;
};

// The load as the viewer runs it: attach and fetch on a worker thread, this thread waiting.
LoadResult ourLoad(const QString &connString, const QString &sql)
{
    LoadResult out;
    QElapsedTimer clock;
    clock.start();
    auto job = LoadJob::start(connString, AccessMode::Read, sql, {});
    job->wait();
    auto r = job->takeResult();
    if (!r) {
        std::fprintf(stderr, "load failed: %s\n", qPrintable(r.failure().engineMessages.join(u' ')));
        out.rows = -1;
        return out;
    }
    job->takeConnection().reset();
    out.seconds = double(clock.nsecsElapsed()) / 1e9;
    out.rows = r.value()->rowCount();
    out.memory = r.value()->memoryBytes();
    return out;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

int runScript(const QStringList &args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QStringLiteral(VELMORA_SOURCE_DIR "/scripts/fbserver.sh"), args);
    if (!p.waitForFinished(120'000))
        return -1;
    return p.exitCode();
}

QMap<QString, QString> readEnv(const QString &file)
{
    QMap<QString, QString> env;
    QFile f(file);
    if (f.open(QIODevice::ReadOnly | QIODevice::Text))
        while (!f.atEnd()) {
            const QString line = QString::fromUtf8(f.readLine()).trimmed();
            const qsizetype eq = line.indexOf(QLatin1Char('='));
            if (eq > 0)
                env.insert(line.left(eq), line.mid(eq + 1));
        }
    return env;
}

struct Figures {
    double bareSeconds = 0, loadSeconds = 0;
    double ratio = 0;   // median of the runs' own load/fetch ratios
    qint64 rows = 0;
    std::size_t raw = 0, memory = 0;
    bool ok = false;
};

QString g_only;

Figures measure(const char *label, const QString &dsn, const Env &env, const QString &sql, int runs)
{
    Figures f;
    std::vector<double> bare, load, ratios;
    const QString connString = QStringLiteral("Data Source=%1;User ID=%2;Password=%3;ctype=UTF8")
                                   .arg(dsn, env.user, env.password);
    for (int i = 0; i < runs; ++i) {
        // Alternate the two so that drift in the machine's load hits both alike; each run's own
        // ratio compares two measurements seconds apart, and their median is the figure reported,
        // which a shared machine's slow minutes move far less than the medians of each side.
        BareResult b;
        LoadResult l;
        if (g_only != u"load")
            b = bareFetch(dsn, env, sql);
        if (g_only != u"bare")
            l = ourLoad(connString, sql);
        if (!g_only.isEmpty()) {
            std::printf("  %s run %d: %s %.3f s\n", label, i + 1, qPrintable(g_only),
                        g_only == u"bare" ? b.seconds : l.seconds);
            continue;
        }
        if (b.rows < 0 || l.rows < 0 || b.rows != l.rows) {
            std::fprintf(stderr, "%s: row counts differ or a run failed (%lld vs %lld)\n", label, b.rows, l.rows);
            return f;
        }
        bare.push_back(b.seconds);
        load.push_back(l.seconds);
        ratios.push_back(l.seconds / b.seconds);
        f.rows = b.rows;
        f.raw = b.rawBytes;
        f.memory = l.memory;
        std::printf("  %s run %d: bare %.3f s, load %.3f s\n", label, i + 1, b.seconds, l.seconds);
        std::fflush(stdout);
    }
    f.bareSeconds = median(bare);
    f.loadSeconds = median(load);
    f.ratio = median(ratios);
    f.ok = true;
    return f;
}

void report(const char *label, const Figures &f)
{
    if (!f.ok) {
        std::printf("%s: failed\n", label);
        return;
    }
    std::printf("%s: %lld rows\n", label, f.rows);
    std::printf("  bare client fetch:     %.3f s  %12.0f rows/s\n", f.bareSeconds, double(f.rows) / f.bareSeconds);
    std::printf("  load into RecordTable: %.3f s  %12.0f rows/s\n", f.loadSeconds, double(f.rows) / f.loadSeconds);
    std::printf("  table memory %.1f MB, raw column bytes %.1f MB: %.2f x\n", double(f.memory) / 1e6,
                double(f.raw) / 1e6, double(f.memory) / double(f.raw));
    std::printf("  load/fetch ratio: %.3f (ratio of the medians %.3f)\n", f.ratio, f.loadSeconds / f.bareSeconds);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    qint64 rows = 1'000'000;
    int runs = 5;
    QString sql = QStringLiteral("SELECT * FROM inventory");
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == u"--rows")
            rows = args[i + 1].toLongLong();
        else if (args[i] == u"--runs")
            runs = std::max(1, args[i + 1].toInt());
        else if (args[i] == u"--query")
            sql = args[i + 1];
        else if (args[i] == u"--only")
            g_only = args[i + 1];
    }

    const QDir dataDir(QStringLiteral(VELMORA_BENCH_DATA));
    QDir().mkpath(dataDir.path());
    const QString db = dataDir.filePath(QStringLiteral("inventory-%1.fdb").arg(rows));
    if (!QFile::exists(db)) {
#ifdef VELMORA_SAMPLEDB
        std::printf("creating %s (%lld rows)...\n", qPrintable(db), rows);
        std::fflush(stdout);
        QProcess gen;
        gen.setProcessChannelMode(QProcess::ForwardedChannels);
        gen.start(QStringLiteral(VELMORA_SAMPLEDB),
                  {QStringLiteral("--output"), db, QStringLiteral("--rows"), QString::number(rows), QStringLiteral("--quiet")});
        if (!gen.waitForFinished(-1) || gen.exitCode() != 0) {
            std::fprintf(stderr, "the sample database generator failed\n");
            return 1;
        }
#else
        std::fprintf(stderr, "no sample database generator in this build\n");
        return 1;
#endif
    }

    // Server first: while it runs it owns the file, and the embedded engine gets it afterwards.
    const QString runDir = dataDir.filePath(QStringLiteral("server-run"));
    if (runScript({QStringLiteral("start"), runDir}) != 0) {
        std::fprintf(stderr, "could not start the Firebird server\n");
        return 1;
    }
    const auto env = readEnv(runDir + QStringLiteral("/fbserver.env"));
    const Env server{env.value(QStringLiteral("FB_HOST")), env.value(QStringLiteral("FB_PORT")),
                     env.value(QStringLiteral("FB_USER")), env.value(QStringLiteral("FB_PASSWORD"))};
    const QString serverDsn = QStringLiteral("%1/%2:%3").arg(server.host, server.port, db);
    std::printf("query: %s\n", qPrintable(sql));
    const Figures overServer = measure("server", serverDsn, server, sql, runs);
    runScript({QStringLiteral("stop"), runDir});

    const Env embedded{{}, {}, QStringLiteral("SYSDBA"), {}};
    const Figures overEmbedded = measure("embedded", db, embedded, sql, runs);

    if (!g_only.isEmpty())
        return 0;
    std::printf("\n");
    report("loopback server", overServer);
    report("embedded engine", overEmbedded);
    if (!overServer.ok || !overEmbedded.ok)
        return 1;
    // The headline figure: over the server, as the product runs.
    std::printf("load/fetch ratio: %.3f\n", overServer.ratio);
    return 0;
}
