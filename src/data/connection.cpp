#include "data/connection.h"

#include "core/connstring.h"
#include "data/fbclient.h"

#include <ibase.h>

#include <QDate>
#include <QLocale>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QTime>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <variant>
#include <vector>

namespace velmora {

using namespace Firebird;

namespace {

// Step numbers of the viewer's load step that these calls stand for; a failure carries them so
// the failure report can say where the load stopped.
constexpr int kStepOpen = 7;
constexpr int kStepQuery = 8;

constexpr unsigned kCharsetOctets = 1;
constexpr unsigned kCharsetUtf8 = 4;
constexpr int kMaxVarcharBytes = 32765;
constexpr int kDefaultPort = 3050;   // the client's own when the connection string names none

// How long an edit or delete waits for the server before the user is told. A row write answers
// in milliseconds even on a busy store server; after fifteen seconds the server or the network
// has stopped, and the user gets the window back instead of a frozen one.
constexpr int kWriteTimeoutMs = 15000;

// Every thread the data layer leaves running on its own. Such a thread may hold the last
// reference to an attachment, and the client library unloads its engine when the last one is
// detached; racing the process's own exit, that unloading crashes or hangs it. So the exit waits
// for them, but never long: a thread still waiting on a server that stopped answering after
// this grace is left behind, as the process is ending anyway.
class DetachedThreads {
public:
    static DetachedThreads &instance()
    {
        // Never destroyed: a thread left behind at the exit may still come to count itself out.
        static DetachedThreads *const threads = new DetachedThreads;
        static const ExitWait exitWait;
        return *threads;
    }

    int running()
    {
        const std::lock_guard lock(m_mutex);
        return m_running;
    }

    template <class Work>
    void start(Work work)
    {
        {
            const std::lock_guard lock(m_mutex);
            ++m_running;
        }
        std::thread([this, work = std::make_unique<Work>(std::move(work))]() mutable {
            (*work)();
            work.reset();   // whatever it captured goes before the exit is told
            const std::lock_guard lock(m_mutex);
            if (--m_running == 0)
                m_idle.notify_all();
        }).detach();
    }

private:
    struct ExitWait {
        ~ExitWait()
        {
            DetachedThreads &t = instance();
            std::unique_lock lock(t.m_mutex);
            t.m_idle.wait_for(lock, std::chrono::seconds(5), [&t] { return t.m_running == 0; });
        }
    };

    DetachedThreads() = default;

    std::mutex m_mutex;
    std::condition_variable m_idle;
    int m_running = 0;
};

template <class Work>
void runDetached(Work work)
{
    DetachedThreads::instance().start(std::move(work));
}

QString stalledText()
{
    return QStringLiteral("The connection to the database stopped answering earlier. Close the report and open it "
                          "again to go on.");
}

Failure ownFailure(const QString &description, int step = 0)
{
    Failure f;
    f.description = description;
    f.engineMessages << description;
    f.step = step;
    return f;
}

QString quoteIdent(const QString &name)
{
    QString q = name;
    q.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

QString quoteLiteral(const QString &text)
{
    QString q = text;
    q.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
}

const QString &droppedText()
{
    static const QString text = QStringLiteral(
        "The connection to the database was dropped when the load was cancelled while the server did not "
        "answer. Close the report and open it again to work with the database.");
    return text;
}

} // namespace

// Between a fetch and whoever stops it from another thread. The fetch appends each row with the
// mutex held and never holds it while it waits on the server, so a stop always gets the mutex
// at once and takes the builder with whole rows only.
struct FetchControl {
    std::mutex mutex;
    std::atomic<bool> stop{false};
    std::atomic<qint64> rows{0};
    std::unique_ptr<RecordTable::Builder> builder;
    QString plan;
};

// The attachment and its one transaction. Shared with the writers of its results, so a writer
// kept by the grid never outlives the attachment it writes through.
struct FbSession {
    fb::Handle<IAttachment> attachment;
    fb::Handle<ITransaction> transaction;
    AccessMode mode = AccessMode::Read;
    // Set when a write gave up waiting for the server: the attachment may still be held by the
    // call that waits, so nothing uses it again; the report is reopened on a new one.
    std::atomic<bool> stalled{false};
    // Set when a cancelled load dropped the attachment under a worker still waiting on it.
    std::atomic<bool> dropped{false};
    // The connection to a server, to be cut when the attachment is given up.
    std::vector<fb::ServerSocket> sockets;

    // Frees whoever still waits on the server. Should the client make the abort wait as well,
    // only a thread of its own waits.
    static void giveUp(const std::shared_ptr<FbSession> &session)
    {
        fb::cutSockets(session->sockets);
        runDetached([session] {
            fb::Status st;
            session->attachment->cancelOperation(st.ptr(), fb_cancel_abort);
        });
    }

    ~FbSession()
    {
        if (transaction) {
            fb::Status st;
            transaction->commit(st.ptr());
            if (!st.failed())
                transaction.take();
        }
        transaction.reset();
        attachment.reset();
    }

    // `accessPlan`, when given, receives the engine's access plan of the statement; `tx` runs it
    // in another transaction of the attachment than the session's own. With `control`, rows go
    // into its builder, where another thread can watch and stop them.
    Result<RecordTable> query(const QString &sql, int step, QString *accessPlan = nullptr, ITransaction *tx = nullptr,
                              FetchControl *control = nullptr);
    Status execute(const QString &sql, int step);
    // Runs a statement whose parameters are all passed as UTF-8 text (nullopt = NULL): the
    // server converts each to the type it expects, so one encoding serves every column type.
    // With `returned`, the statement ends in RETURNING one field, whose raw bytes land there
    // (empty when it is null).
    // A value longer than a VARCHAR parameter can be goes to the server as a text blob.
    Result<quint64> executeWithText(const QString &sql, const std::vector<std::optional<QByteArray>> &params, int step,
                                    QByteArray *returned = nullptr, ITransaction *tx = nullptr);
};

namespace {

enum class Decode : std::uint8_t {
    Short, Long, Int64, Float, Double, Date, Time, Timestamp, Varying, Char, VaryingHex, CharHex,
    Boolean, BlobText, BlobOther, Null, Other
};

struct FieldPlan {
    Decode kind;
    unsigned offset;
    unsigned nullOffset;
    unsigned length;
};

QString timeText(ISC_TIME t)
{
    const unsigned fraction = t % 10000;
    const unsigned secs = t / 10000;
    QString s = QStringLiteral("%1:%2:%3")
                    .arg(secs / 3600, 2, 10, QLatin1Char('0'))
                    .arg((secs / 60) % 60, 2, 10, QLatin1Char('0'))
                    .arg(secs % 60, 2, 10, QLatin1Char('0'));
    if (fraction)
        s += QStringLiteral(".%1").arg(fraction, 4, 10, QLatin1Char('0'));
    return s;
}

void appendHex(RecordTable::Builder &b, int col, const unsigned char *p, unsigned n)
{
    static const char digits[] = "0123456789ABCDEF";
    char buf[2 * 256];
    std::string big;
    char *out = buf;
    if (n > 256) {
        big.resize(2 * std::size_t(n));
        out = big.data();
    }
    for (unsigned i = 0; i < n; ++i) {
        out[2 * i] = digits[p[i] >> 4];
        out[2 * i + 1] = digits[p[i] & 15];
    }
    b.appendTextUtf8(col, out, int(2 * n));
}

// Describes one output field in the terms the viewer uses and picks how to decode it.
ColumnInfo describe(IMessageMetadata *meta, unsigned i, fb::Status &st, FieldPlan &plan)
{
    ColumnInfo c;
    const char *alias = meta->getAlias(st.ptr(), i);
    const char *field = meta->getField(st.ptr(), i);
    const char *relation = meta->getRelation(st.ptr(), i);
    c.name = QString::fromUtf8(alias && *alias ? alias : field);
    c.relation = QString::fromUtf8(relation);
    c.sourceField = c.relation.isEmpty() ? QString() : QString::fromUtf8(field);
    c.nullable = meta->isNullable(st.ptr(), i);
    const unsigned type = meta->getType(st.ptr(), i) & ~1u;
    const int scale = meta->getScale(st.ptr(), i);
    const unsigned length = meta->getLength(st.ptr(), i);
    const unsigned charset = meta->getCharSet(st.ptr(), i);
    const int subType = meta->getSubType(st.ptr(), i);
    plan.offset = meta->getOffset(st.ptr(), i);
    plan.nullOffset = meta->getNullOffset(st.ptr(), i);
    plan.length = length;
    c.definedSize = int(length);

    auto integer = [&](Decode d, int code) {
        plan.kind = d;
        c.type = ColumnType::Integer;
        if (scale < 0) {
            c.typeCode = TypeCode::Numeric;
            c.scale = -scale;
        } else {
            c.typeCode = code;
        }
    };
    switch (type) {
    case SQL_SHORT: integer(Decode::Short, TypeCode::SmallInt); break;
    case SQL_LONG: integer(Decode::Long, TypeCode::Integer); break;
    case SQL_INT64: integer(Decode::Int64, TypeCode::BigInt); break;
    case SQL_FLOAT:
        plan.kind = Decode::Float;
        c.type = ColumnType::Double;
        c.typeCode = TypeCode::Double;
        break;
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
        plan.kind = Decode::Double;
        c.type = ColumnType::Double;
        c.typeCode = TypeCode::Double;
        break;
    case SQL_TYPE_DATE:
        plan.kind = Decode::Date;
        c.type = ColumnType::Date;
        c.typeCode = TypeCode::DbDate;
        break;
    case SQL_TYPE_TIME:
        // There is no time-of-day column type; "hh:mm:ss" text sorts in time order.
        plan.kind = Decode::Time;
        c.type = ColumnType::Text;
        c.typeCode = TypeCode::DbTime;
        c.definedSize = 13;
        break;
    case SQL_TIMESTAMP:
        plan.kind = Decode::Timestamp;
        c.type = ColumnType::Timestamp;
        c.typeCode = TypeCode::DbTimeStamp;
        break;
    case SQL_VARYING:
    case SQL_TEXT: {
        const bool octets = charset == kCharsetOctets;
        plan.kind = type == SQL_VARYING ? (octets ? Decode::VaryingHex : Decode::Varying)
                                        : (octets ? Decode::CharHex : Decode::Char);
        c.type = ColumnType::Text;
        c.typeCode = TypeCode::WideText;
        c.definedSize = octets ? int(2 * length) : int(length / unsigned(fb::bytesPerChar(charset)));
        break;
    }
    case SQL_BOOLEAN:
        plan.kind = Decode::Boolean;
        c.type = ColumnType::Boolean;
        c.typeCode = TypeCode::Boolean;
        break;
    case SQL_BLOB:
        plan.kind = subType == 1 ? Decode::BlobText : Decode::BlobOther;
        c.type = ColumnType::Text;
        c.typeCode = subType == 1 ? TypeCode::LongWideText : TypeCode::LongBinary;
        c.definedSize = 2147483647;
        break;
    case SQL_NULL:
        plan.kind = Decode::Null;
        c.type = ColumnType::Text;
        c.typeCode = TypeCode::WideText;
        c.definedSize = 0;
        break;
    default:
        plan.kind = Decode::Other;
        c.type = ColumnType::Text;
        c.typeCode = TypeCode::WideText;
        break;
    }
    return c;
}

template <typename T>
T load(const unsigned char *p)
{
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

} // namespace

Result<RecordTable> FbSession::query(const QString &sql, int step, QString *accessPlan, ITransaction *tx,
                                     FetchControl *control)
{
    ITransaction *const transaction = tx ? tx : this->transaction.get();
    if (dropped)
        return ownFailure(droppedText(), step);
    FetchControl own;
    FetchControl &ctl = control ? *control : own;
    const auto stopped = [step] { return ownFailure(QStringLiteral("The load was cancelled."), step); };

    fb::Status st;
    const QByteArray text = sql.toUtf8();
    fb::Handle<IStatement> stmt(attachment->prepare(st.ptr(), transaction, 0, text.constData(),
                                                    SQL_DIALECT_V6, IStatement::PREPARE_PREFETCH_METADATA));
    if (st.failed())
        return st.failure(step);
    QString plan;
    if (accessPlan || control) {
        const char *text = stmt->getPlan(st.ptr(), false);
        plan = !st.failed() && text ? QString::fromUtf8(text) : QString();
        st.clear();
        if (accessPlan)
            *accessPlan = plan;
    }

    if (!(stmt->getFlags(st.ptr()) & IStatement::FLAG_HAS_CURSOR)) {
        stmt->execute(st.ptr(), transaction, nullptr, nullptr, nullptr, nullptr);
        if (st.failed())
            return st.failure(step);
        return RecordTable::Builder().finish();
    }

    fb::Metadata meta(stmt->getOutputMetadata(st.ptr()));
    if (st.failed())
        return st.failure(step);
    const unsigned count = meta->getCount(st.ptr());
    std::vector<FieldPlan> plans(count);
    std::vector<ColumnInfo> infos;
    infos.reserve(count);
    for (unsigned i = 0; i < count; ++i)
        infos.push_back(describe(meta.get(), i, st, plans[i]));
    if (st.failed())
        return st.failure(step);

    fb::Handle<IResultSet> cursor(stmt->openCursor(st.ptr(), transaction, nullptr, nullptr, meta.get(), 0));
    if (st.failed())
        return st.failure(step);
    {
        std::lock_guard lock(ctl.mutex);
        if (ctl.stop)
            return stopped();
        ctl.builder = std::make_unique<RecordTable::Builder>();
        for (const ColumnInfo &info : infos)
            ctl.builder->addColumn(info);
        ctl.plan = plan;
    }

    std::vector<unsigned char> message(meta->getMessageLength(st.ptr()));
    unsigned char *const buf = message.data();
    const FieldPlan *const fields = plans.data();
    std::vector<char> segment(32 * 1024);   // the wire protocol counts segment lengths in 16 bits

    auto readBlob = [&](ISC_QUAD id, std::string &blob) -> bool {
        blob.clear();
        fb::Handle<IBlob> b(attachment->openBlob(st.ptr(), transaction, &id, 0, nullptr));
        if (st.failed())
            return false;
        for (;;) {
            unsigned got = 0;
            const int rc = b->getSegment(st.ptr(), unsigned(segment.size()), segment.data(), &got);
            if (rc == IStatus::RESULT_OK || rc == IStatus::RESULT_SEGMENT) {
                blob.append(segment.data(), got);
                continue;
            }
            if (rc == IStatus::RESULT_NO_DATA)
                break;
            return false;
        }
        b.end(st);
        return !st.failed();
    };

    std::vector<unsigned> varying;   // text columns whose look-ups are started together
    std::vector<unsigned> blobColumns;   // read from the server before the row is appended
    for (unsigned i = 0; i < count; ++i) {
        if (plans[i].kind == Decode::Varying)
            varying.push_back(i);
        if (plans[i].kind == Decode::BlobText || plans[i].kind == Decode::BlobOther)
            blobColumns.push_back(i);
    }
    std::vector<std::string> blobs(count);

    int rc;
    while ((rc = cursor->fetchNext(st.ptr(), buf)) == IStatus::RESULT_OK) {
        for (const unsigned i : blobColumns) {
            const FieldPlan &p = fields[i];
            if (!load<short>(buf + p.nullOffset) && !readBlob(load<ISC_QUAD>(buf + p.offset), blobs[i]))
                return ctl.stop ? stopped() : st.failure(step);
        }
        std::lock_guard lock(ctl.mutex);
        if (ctl.stop.load(std::memory_order_relaxed))
            return stopped();
        RecordTable::Builder &builder = *ctl.builder;
        for (const unsigned i : varying) {
            const FieldPlan &p = fields[i];
            if (!load<short>(buf + p.nullOffset))
                builder.prepareTextUtf8(int(i), reinterpret_cast<const char *>(buf + p.offset + 2),
                                        load<std::uint16_t>(buf + p.offset));
        }
        for (unsigned i = 0; i < count; ++i) {
            const FieldPlan &p = fields[i];
            const int col = int(i);
            if (load<short>(buf + p.nullOffset)) {
                builder.appendNull(col);
                continue;
            }
            const unsigned char *f = buf + p.offset;
            switch (p.kind) {
            case Decode::Short: builder.appendInteger(col, load<std::int16_t>(f)); break;
            case Decode::Long: builder.appendInteger(col, load<std::int32_t>(f)); break;
            case Decode::Int64: builder.appendInteger(col, load<std::int64_t>(f)); break;
            case Decode::Float: builder.appendReal(col, double(load<float>(f))); break;
            case Decode::Double: builder.appendReal(col, load<double>(f)); break;
            case Decode::Date: builder.appendDate(col, load<ISC_DATE>(f) + fb::kJulianDayOfIscEpoch); break;
            case Decode::Time: builder.appendText(col, timeText(load<ISC_TIME>(f))); break;
            case Decode::Timestamp: {
                const auto ts = load<ISC_TIMESTAMP>(f);
                builder.appendTimestamp(col, TimeValue::fromParts(std::int64_t(ts.timestamp_date) + fb::kJulianDayOfIscEpoch,
                                                                  std::int64_t(ts.timestamp_time) / 10));
                break;
            }
            case Decode::Varying: {
                const auto n = load<std::uint16_t>(f);
                builder.appendTextUtf8(col, reinterpret_cast<const char *>(f + 2), n);
                break;
            }
            case Decode::Char: {
                // CHAR arrives padded to its full byte length; the padding is not part of the value.
                unsigned n = p.length;
                while (n && f[n - 1] == ' ')
                    --n;
                builder.appendTextUtf8(col, reinterpret_cast<const char *>(f), int(n));
                break;
            }
            case Decode::VaryingHex: appendHex(builder, col, f + 2, load<std::uint16_t>(f)); break;
            case Decode::CharHex: appendHex(builder, col, f, p.length); break;
            case Decode::Boolean: builder.appendInteger(col, *f ? 1 : 0); break;
            case Decode::BlobText: builder.appendTextUtf8(col, blobs[i].data(), int(blobs[i].size())); break;
            case Decode::BlobOther:
                builder.appendText(col, QStringLiteral("(binary, %1 bytes)").arg(blobs[i].size()));
                // The write-back compares the content, which the summary text does not show.
                builder.setLastDigest(col, qHash(QByteArrayView(blobs[i].data(), qsizetype(blobs[i].size())), 0x5EEDu) | 1u);
                break;
            case Decode::Null: builder.appendNull(col); break;
            case Decode::Other: builder.appendText(col, QStringLiteral("(array)")); break;
            }
        }
        ctl.rows.store(ctl.rows.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    }
    if (rc != IStatus::RESULT_NO_DATA || st.failed())
        return ctl.stop ? stopped() : st.failure(step);
    cursor.end(st);
    if (st.failed())
        return st.failure(step);
    stmt.end(st);
    std::unique_ptr<RecordTable::Builder> builder;
    {
        std::lock_guard lock(ctl.mutex);
        builder = std::move(ctl.builder);
    }
    if (!builder)
        return stopped();
    return builder->finish();
}

Status FbSession::execute(const QString &sql, int step)
{
    if (dropped)
        return ownFailure(droppedText(), step);
    fb::Status st;
    const QByteArray text = sql.toUtf8();
    attachment->execute(st.ptr(), transaction.get(), 0, text.constData(), SQL_DIALECT_V6, nullptr, nullptr, nullptr,
                        nullptr);
    if (st.failed())
        return st.failure(step);
    return {};
}

Result<quint64> FbSession::executeWithText(const QString &sql, const std::vector<std::optional<QByteArray>> &params,
                                         int step, QByteArray *returned, ITransaction *tx)
{
    ITransaction *const transaction = tx ? tx : this->transaction.get();
    if (dropped)
        return ownFailure(droppedText(), step);
    fb::Status st;
    const QByteArray text = sql.toUtf8();
    fb::Handle<IStatement> stmt(attachment->prepare(st.ptr(), transaction, 0, text.constData(),
                                                    SQL_DIALECT_V6, IStatement::PREPARE_PREFETCH_METADATA));
    if (st.failed())
        return st.failure(step);
    fb::Metadata described(stmt->getInputMetadata(st.ptr()));
    if (st.failed())
        return st.failure(step);
    const unsigned count = described->getCount(st.ptr());
    if (count != params.size())
        return ownFailure(QStringLiteral("Internal error: the statement expects %1 values, %2 were given.")
                              .arg(count)
                              .arg(params.size()),
                          step);

    fb::Metadata meta;
    if (count) {
        fb::Builder b(described->getBuilder(st.ptr()));
        for (unsigned i = 0; i < count && !st.failed(); ++i) {
            const int bytes = params[i] ? int(params[i]->size()) : 0;
            const bool blob = bytes > kMaxVarcharBytes;
            b->setType(st.ptr(), i, (blob ? SQL_BLOB : SQL_VARYING) + 1);
            b->setSubType(st.ptr(), i, blob ? 1 : 0);
            b->setScale(st.ptr(), i, 0);
            b->setCharSet(st.ptr(), i, kCharsetUtf8);
            b->setLength(st.ptr(), i, blob ? unsigned(sizeof(ISC_QUAD)) : unsigned(std::max(bytes, 1)));
        }
        if (st.failed())
            return st.failure(step);
        meta = fb::Metadata(b->getMetadata(st.ptr()));
        if (st.failed())
            return st.failure(step);
    }

    std::vector<unsigned char> message(count ? meta->getMessageLength(st.ptr()) : 0);
    for (unsigned i = 0; i < count; ++i) {
        unsigned char *buf = message.data();
        const short isNull = params[i] ? 0 : -1;
        std::memcpy(buf + meta->getNullOffset(st.ptr(), i), &isNull, sizeof isNull);
        if (!params[i])
            continue;
        unsigned char *f = buf + meta->getOffset(st.ptr(), i);
        if (params[i]->size() > kMaxVarcharBytes) {
            ISC_QUAD id{};
            fb::Handle<IBlob> blob(attachment->createBlob(st.ptr(), transaction, &id, 0, nullptr));
            for (qsizetype at = 0; !st.failed() && at < params[i]->size(); at += kMaxVarcharBytes)
                blob->putSegment(st.ptr(), unsigned(std::min<qsizetype>(kMaxVarcharBytes, params[i]->size() - at)),
                                 params[i]->constData() + at);
            if (!st.failed())
                blob.end(st);
            if (st.failed())
                return st.failure(step);
            std::memcpy(f, &id, sizeof id);
            continue;
        }
        const auto n = std::uint16_t(params[i]->size());
        std::memcpy(f, &n, sizeof n);
        std::memcpy(f + 2, params[i]->constData(), n);
    }
    fb::Metadata outMeta;
    std::vector<unsigned char> out;
    if (returned) {
        outMeta = fb::Metadata(stmt->getOutputMetadata(st.ptr()));
        if (st.failed())
            return st.failure(step);
        if (outMeta->getCount(st.ptr()) != 1)
            return ownFailure(QStringLiteral("Internal error: the statement does not return one value."), step);
        out.resize(outMeta->getMessageLength(st.ptr()));
    }
    stmt->execute(st.ptr(), transaction, meta.get(), count ? message.data() : nullptr,
                  returned ? outMeta.get() : nullptr, returned ? out.data() : nullptr);
    if (st.failed())
        return st.failure(step);
    if (returned) {
        returned->clear();
        short isNull = 0;
        std::memcpy(&isNull, out.data() + outMeta->getNullOffset(st.ptr(), 0), sizeof isNull);
        const unsigned type = outMeta->getType(st.ptr(), 0) & ~1u;
        if (!isNull && type == SQL_TEXT)
            *returned = QByteArray(reinterpret_cast<const char *>(out.data() + outMeta->getOffset(st.ptr(), 0)),
                                   int(outMeta->getLength(st.ptr(), 0)));
        if (st.failed())
            return st.failure(step);
    }
    const quint64 affected = stmt->getAffectedRecords(st.ptr());
    if (st.failed())
        return st.failure(step);
    return affected;
}

// ---- Connection --------------------------------------------------------------------------------

struct Connection::Impl {
    std::shared_ptr<FbSession> session;
    int writeTimeoutMs = kWriteTimeoutMs;
    // What it was opened with, to attach afresh after a cancelled load dropped the attachment.
    QString connString;
    int connectTimeoutSeconds = 15;
    // The access plan of each result still alive, for the writer's join test.
    std::vector<std::pair<std::weak_ptr<RecordTable>, QString>> plans;
};

Connection::Connection() : d(std::make_unique<Impl>()) {}
Connection::~Connection() = default;

Result<std::unique_ptr<Connection>> Connection::open(const QString &connString, AccessMode mode,
                                                     int connectTimeoutSeconds)
{
    auto parsed = parseConnString(connString);
    if (!parsed) {
        Failure f = parsed.failure();
        f.step = kStepOpen;
        return f;
    }
    const ConnString &cs = parsed.value();

    fb::Status st;
    fb::AttachParams params;
    params.user = cs.user;
    params.password = cs.password;
    params.role = cs.role;
    params.charset = cs.charset;
    params.connectTimeout = connectTimeoutSeconds;
    if (Status ok = fb::checkAttachParams(params, kStepOpen); !ok)
        return ok.failure();
    const QByteArray dpb = fb::buildDpb(params, st);
    if (st.failed())
        return st.failure(kStepOpen);

    auto session = std::make_shared<FbSession>();
    session->mode = mode;
    const QByteArray dsn = cs.dsn().toUtf8();
    const std::vector<fb::ServerSocket> before = cs.isRemote() ? fb::openSockets() : std::vector<fb::ServerSocket>{};
    {
        const fb::HostSignals keepSignals;
        session->attachment = fb::Handle<IAttachment>(fb::provider()->attachDatabase(
            st.ptr(), dsn.constData(), unsigned(dpb.size()), reinterpret_cast<const unsigned char *>(dpb.constData())));
    }
    if (st.failed())
        return st.failure(kStepOpen);
    if (cs.isRemote())
        session->sockets = fb::newServerSockets(before, cs.port > 0 ? cs.port : kDefaultPort);

    // Read: a read-only read-committed transaction, which the engine never has to keep old record
    // versions for, so it can stay open as long as the viewer does. ReadWrite: every statement
    // commits on its own; nowait so that a row another user holds fails at once instead of hanging.
    static const unsigned char readTpb[] = {isc_tpb_version3, isc_tpb_read, isc_tpb_read_committed,
                                            isc_tpb_rec_version, isc_tpb_nowait};
    static const unsigned char writeTpb[] = {isc_tpb_version3, isc_tpb_write, isc_tpb_read_committed,
                                             isc_tpb_rec_version, isc_tpb_nowait, isc_tpb_autocommit};
    const bool readOnly = mode == AccessMode::Read;
    session->transaction = fb::Handle<ITransaction>(session->attachment->startTransaction(
        st.ptr(), readOnly ? sizeof readTpb : sizeof writeTpb, readOnly ? readTpb : writeTpb));
    if (st.failed())
        return st.failure(kStepOpen);

    std::unique_ptr<Connection> c(new Connection);
    c->d->session = std::move(session);
    c->d->connString = connString;
    c->d->connectTimeoutSeconds = connectTimeoutSeconds;
    return c;
}

AccessMode Connection::mode() const { return d->session->mode; }

bool Connection::usable() const { return !d->session->dropped; }

Result<std::shared_ptr<RecordTable>> Connection::query(const QString &sql)
{
    if (d->session->stalled)
        return ownFailure(stalledText(), kStepQuery);
    if (!usable()) {
        auto fresh = open(d->connString, d->session->mode, d->connectTimeoutSeconds);
        if (!fresh) {
            Failure f = fresh.failure();
            f.step = kStepQuery;
            return f;
        }
        d->session = std::move(fresh.value()->d->session);
        d->plans.clear();
    }
    QString plan;
    auto r = d->session->query(sql, kStepQuery, &plan);
    if (!r)
        return r.failure();
    auto table = std::make_shared<RecordTable>(std::move(r.value()));
    std::erase_if(d->plans, [](const auto &p) { return p.first.expired(); });
    d->plans.emplace_back(table, plan);
    return table;
}

Status Connection::execute(const QString &sql) { return d->session->execute(sql, 0); }

void Connection::setWriteTimeout(int milliseconds) { d->writeTimeoutMs = std::max(1, milliseconds); }

// ---- Write-back --------------------------------------------------------------------------------

namespace {

// Whether the main query's plan reads more than one stream: "PLAN JOIN (A NATURAL, B INDEX (..))",
// HASH and MERGE joins, or several streams in one list. Subqueries' plans come first, one line each.
bool readsSeveralStreams(const QString &plan)
{
    const QStringList lines = plan.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (lines.isEmpty())
        return false;
    QString main = lines.last();
    static const QRegularExpression indexList(QStringLiteral("INDEX\\s*\\([^)]*\\)"));
    main.remove(indexList);
    static const QRegularExpression join(QStringLiteral("\\b(JOIN|HASH|MERGE)\\b"));
    return main.contains(join) || main.contains(QLatin1Char(','));
}

QString columnList(const QStringList &names)
{
    return names.join(QStringLiteral(", "));
}

class FbRecordWriter final : public RecordWriter {
public:
    FbRecordWriter(std::shared_ptr<FbSession> session, std::shared_ptr<RecordTable> table, QString plan, int timeoutMs)
        : m_session(std::move(session)), m_table(std::move(table)), m_plan(std::move(plan)), m_timeoutMs(timeoutMs)
    {
        m_reason = analyse();
    }

    Status canWrite() const override { return m_reason; }

    Status updateCell(int row, int col, const QVariant &newValue) override
    {
        if (!m_reason)
            return m_reason;
        if (row < 0 || row >= m_table->rowCount() || col < 0 || col >= m_table->columnCount())
            return ownFailure(QStringLiteral("There is no such cell to change."));
        const ColumnInfo &info = m_table->column(col);
        if (Status ok = storable(info, QStringLiteral("changed")); !ok)
            return ok;

        // Convert the new value exactly as the table stores it, so that the database and the
        // table end up holding the same value.
        auto converted = convert(info, newValue);
        if (!converted)
            return converted.failure();
        const RecordTable &one = *converted;

        RowWrite w = prepareWrite(row);
        const std::vector<int> columns = w.columns;
        w.statement = QStringLiteral("UPDATE %1 SET %2 = ? WHERE %3")
                          .arg(quoteIdent(m_relation), quoteIdent(info.sourceField), keyClause(row));
        w.params.push_back(paramText(one, 0, 0));
        // A new key loses the row under its old one; the table then takes the value as written.
        w.reread = std::find(m_keyColumns.begin(), m_keyColumns.end(), col) == m_keyColumns.end();
        auto done = runWaiting(std::move(w), QStringLiteral("changed"));
        if (!done)
            return explain(done.failure(), QStringLiteral("changed"));
        if (done->has_value())
            takeRow(row, columns, **done);
        else
            for (int c = 0; c < m_table->columnCount(); ++c)
                if (c == col || (m_table->column(c).relation == m_relation && m_table->column(c).sourceField == info.sourceField))
                    m_table->copyCell(row, c, one, 0, 0);
        return {};
    }

    Status deleteRow(int row) override
    {
        if (!m_reason)
            return m_reason;
        if (row < 0 || row >= m_table->rowCount())
            return ownFailure(QStringLiteral("There is no such row to delete."));
        RowWrite w = prepareWrite(row);
        w.statement = QStringLiteral("DELETE FROM %1 WHERE %2").arg(quoteIdent(m_relation), keyClause(row));
        auto done = runWaiting(std::move(w), QStringLiteral("deleted"));
        if (!done)
            return explain(done.failure(), QStringLiteral("deleted"));
        m_table->removeRow(row);
        return {};
    }

    Result<int> insertRow(const std::vector<std::pair<int, QVariant>> &values) override
    {
        if (!m_reason)
            return m_reason.failure();
        if (m_session->stalled)
            return ownFailure(stalledText());
        if (values.empty())
            return ownFailure(QStringLiteral("The new row has no values to save."));
        std::vector<std::pair<int, RecordTable>> given;
        QStringList names;
        QStringList marks;
        std::vector<std::optional<QByteArray>> params;
        QSet<QString> seen;
        for (const auto &[col, value] : values) {
            if (col < 0 || col >= m_table->columnCount())
                return ownFailure(QStringLiteral("There is no such column to fill."));
            const ColumnInfo &info = m_table->column(col);
            if (Status ok = storable(info, QStringLiteral("filled in")); !ok)
                return ok.failure();
            auto converted = convert(info, value);
            if (!converted)
                return converted.failure();
            // The same field shown twice is written once.
            if (!seen.contains(info.sourceField)) {
                seen.insert(info.sourceField);
                names << quoteIdent(info.sourceField);
                marks << QStringLiteral("?");
                params.push_back(paramText(*converted, 0, 0));
            }
            given.emplace_back(col, std::move(*converted));
        }
        const QString sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3) RETURNING RDB$DB_KEY")
                                .arg(quoteIdent(m_relation), names.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
        QByteArray dbKey;
        auto affected = m_session->executeWithText(sql, params, 0, &dbKey);
        if (!affected)
            return explain(affected.failure(), QStringLiteral("added"));

        // The database may have filled columns the user left out (a key from a generator,
        // defaults, triggers) or normalised what was given. The new row is read back by the
        // record key the insert returned, so the table shows what is stored and later edits of
        // the row match it. Should that read fail, the row is in the database all the same: it
        // keeps the values as given rather than being reported as a failed insert.
        if (!dbKey.isEmpty()) {
            QStringList fields;
            std::vector<int> cols;
            for (int c = 0; c < m_table->columnCount(); ++c) {
                const ColumnInfo &info = m_table->column(c);
                if (info.relation != m_relation)
                    continue;
                fields << (info.sourceField == u"DB_KEY" ? QStringLiteral("RDB$DB_KEY") : quoteIdent(info.sourceField));
                cols.push_back(c);
            }
            auto stored = m_session->query(QStringLiteral("SELECT %1 FROM %2 WHERE RDB$DB_KEY = x'%3'")
                                               .arg(fields.join(QStringLiteral(", ")), quoteIdent(m_relation),
                                                    QString::fromLatin1(dbKey.toHex())),
                                           0);
            if (stored && stored->rowCount() == 1 && stored->columnCount() == int(cols.size())) {
                const int added = m_table->appendRow({});
                for (std::size_t i = 0; i < cols.size(); ++i)
                    m_table->copyCell(added, cols[i], *stored, 0, int(i));
                return added;
            }
        }
        const int added = m_table->appendRow({});
        for (const auto &[col, one] : given)
            m_table->copyCell(added, col, one, 0, 0);
        return added;
    }

private:
    // Whether a value of this column can be written; `verb` says what the user tried.
    Status storable(const ColumnInfo &info, const QString &verb) const
    {
        if (info.relation.isEmpty())
            return ownFailure(QStringLiteral("The column \"%1\" is calculated by the query, not stored in a table: "
                                             "it cannot be %2.")
                                  .arg(info.name, verb));
        if (info.sourceField == u"DB_KEY" || m_binary.contains(info.sourceField) || info.typeCode == TypeCode::LongBinary)
            return ownFailure(QStringLiteral("The column \"%1\" holds binary data and cannot be %2 here.")
                                  .arg(info.name, verb));
        return {};
    }

    Status analyse()
    {
        if (m_session->mode == AccessMode::Read)
            return ownFailure(QStringLiteral("The report was opened read only: its rows cannot be changed or deleted."));
        QStringList relations;
        for (int c = 0; c < m_table->columnCount(); ++c) {
            const QString &r = m_table->column(c).relation;
            if (!r.isEmpty() && !relations.contains(r))
                relations << r;
        }
        if (relations.isEmpty())
            return ownFailure(QStringLiteral("The rows are not read from a table, so they cannot be changed or deleted."));
        if (relations.size() > 1)
            return ownFailure(QStringLiteral("The rows join several tables (%1): changes cannot be written back to "
                                             "a join.")
                                  .arg(relations.join(QStringLiteral(", "))));
        // A table joined with itself names one table in every column, yet a row of the result
        // stands for two rows of it; the engine's plan shows the second stream.
        if (readsSeveralStreams(m_plan))
            return ownFailure(QStringLiteral("The rows join %1 with itself: changes cannot be written back to a join.")
                                  .arg(relations.front()));
        m_relation = relations.front();

        // Columns whose text we hold as hexadecimal digits, and text blobs, which a comparison
        // with a parameter cannot always reach.
        auto fields = m_session->query(
            QStringLiteral("SELECT TRIM(rf.rdb$field_name), f.rdb$character_set_id, f.rdb$field_type "
                           "FROM rdb$relation_fields rf JOIN rdb$fields f ON f.rdb$field_name = rf.rdb$field_source "
                           "WHERE rf.rdb$relation_name = %1")
                .arg(quoteLiteral(m_relation)),
            0);
        if (!fields)
            return fields.failure();
        for (int r = 0; r < fields->rowCount(); ++r) {
            const bool text = !fields->isNull(r, 2)
                && (fields->integer(r, 2) == 14 || fields->integer(r, 2) == 37);   // CHAR, VARCHAR
            if (text && !fields->isNull(r, 1) && fields->integer(r, 1) == std::int64_t(kCharsetOctets))
                m_binary.insert(fields->text(r, 0));
        }

        auto key = m_session->query(
            QStringLiteral("SELECT TRIM(s.rdb$field_name) FROM rdb$relation_constraints rc "
                           "JOIN rdb$index_segments s ON s.rdb$index_name = rc.rdb$index_name "
                           "WHERE rc.rdb$relation_name = %1 AND rc.rdb$constraint_type = 'PRIMARY KEY' "
                           "ORDER BY s.rdb$field_position")
                .arg(quoteLiteral(m_relation)),
            0);
        if (!key)
            return key.failure();
        QStringList keyFields;
        bool complete = key->rowCount() > 0;
        for (int r = 0; r < key->rowCount(); ++r) {
            const QString field = key->text(r, 0);
            keyFields << field;
            const int col = tableColumn(field);
            if (col < 0)
                complete = false;
            else
                m_keyColumns.push_back(col);
        }
        if (!complete) {
            m_keyColumns.clear();
            m_dbKeyColumn = tableColumn(QStringLiteral("DB_KEY"));
            if (m_dbKeyColumn < 0) {
                const QString what = keyFields.isEmpty()
                    ? QStringLiteral("the table has no primary key")
                    : QStringLiteral("its primary key (%1) is not among the columns").arg(columnList(keyFields));
                return ownFailure(QStringLiteral("The rows of %1 cannot be matched to the table: %2 and the query does "
                                                 "not read RDB$DB_KEY.")
                                      .arg(m_relation, what));
            }
        }
        return {};
    }

    int tableColumn(const QString &field) const
    {
        for (int c = 0; c < m_table->columnCount(); ++c)
            if (m_table->column(c).relation == m_relation && m_table->column(c).sourceField == field)
                return c;
        return -1;
    }

    // Everything one write needs, copied out of the table so that it can run on any thread.
    struct RowWrite {
        QString check;        // SELECT <the row's stored fields> FROM <table> WHERE <key> WITH LOCK
        std::vector<int> columns;   // the table column of each field read by `check`
        RecordTable before;   // one row: those fields as the table holds them
        QString statement;    // the UPDATE or DELETE of the row by the same key
        std::vector<std::optional<QByteArray>> params;
        bool reread = false;  // read the row back after the write
    };

    RowWrite prepareWrite(int row) const
    {
        RowWrite w;
        QStringList fields;
        RecordTable::Builder b;
        for (int c = 0; c < m_table->columnCount(); ++c) {
            const ColumnInfo &info = m_table->column(c);
            if (info.relation != m_relation || info.sourceField == u"DB_KEY"
                || fields.contains(quoteIdent(info.sourceField)))
                continue;
            fields << quoteIdent(info.sourceField);
            w.columns.push_back(c);
            b.addColumn(info);
        }
        for (std::size_t i = 0; i < w.columns.size(); ++i)
            b.appendNull(int(i));
        w.before = b.finish();
        for (std::size_t i = 0; i < w.columns.size(); ++i)
            w.before.copyCell(0, int(i), *m_table, row, w.columns[i]);
        w.check = QStringLiteral("SELECT %1 FROM %2 WHERE %3 WITH LOCK")
                      .arg(fields.join(QStringLiteral(", ")), quoteIdent(m_relation), keyClause(row));
        return w;
    }

    // Runs a write in a transaction of its own. The row is read again by its key with a lock, so
    // that nobody can change it between the comparison and the write, and compared with what the
    // table holds column by column (BLOBs by their whole content); only an unchanged row is
    // written. With `reread`, the row as stored afterwards (triggers, padding) comes back.
    static Result<std::optional<RecordTable>> runRowWrite(FbSession &s, const RowWrite &w, const QString &verb,
                                                          std::atomic<int> &state)
    {
        static const unsigned char tpb[] = {isc_tpb_version3, isc_tpb_write, isc_tpb_read_committed,
                                            isc_tpb_rec_version, isc_tpb_nowait};
        fb::Status st;
        fb::Handle<ITransaction> tx(s.attachment->startTransaction(st.ptr(), sizeof tpb, tpb));
        if (st.failed())
            return st.failure();
        auto now = s.query(w.check, 0, nullptr, tx.get());
        if (!now)
            return now.failure();
        if (now->rowCount() != 1)
            return conflict(verb);
        for (int c = 0; c < w.before.columnCount(); ++c)
            if (!w.before.sameCell(0, c, *now, 0, c))
                return conflict(verb);
        auto affected = s.executeWithText(w.statement, w.params, 0, nullptr, tx.get());
        if (!affected)
            return affected.failure();
        if (affected.value() != 1)
            return conflict(verb);
        std::optional<RecordTable> after;
        if (w.reread) {
            auto stored = s.query(w.check, 0, nullptr, tx.get());
            if (stored && stored->rowCount() == 1)
                after = std::move(stored.value());
        }
        // A write the user was already told about is not committed behind their back.
        int running = kRunning;
        if (!state.compare_exchange_strong(running, kCommitting))
            return conflict(verb);
        tx->commit(st.ptr());
        if (st.failed())
            return st.failure();
        tx.take();
        return after;
    }

    static constexpr int kRunning = 0, kCommitting = 1, kAbandoned = 2;

    // Runs the write on a thread of its own and waits for it at most m_timeoutMs. Meanwhile the
    // windows repaint and timers run, but the user's clicks and keys wait, so nothing changes the
    // rows or closes the report under the write. A server that does not answer in time is given
    // up: its connection is cut and never used again, and the thread, which owns everything it
    // touches, ends on its own without writing into the table or committing.
    Result<std::optional<RecordTable>> runWaiting(RowWrite w, const QString &verb)
    {
        if (m_session->stalled)
            return ownFailure(stalledText());
        struct Shared {
            std::mutex mutex;
            std::condition_variable answered;
            std::optional<Result<std::optional<RecordTable>>> result;
            std::atomic<int> state{kRunning};
        };
        auto shared = std::make_shared<Shared>();
        runDetached([shared, session = m_session, w = std::move(w), verb]() mutable {
            auto r = runRowWrite(*session, w, verb, shared->state);
            // Let go of the attachment before answering: the caller may close it right after.
            session.reset();
            const std::lock_guard lock(shared->mutex);
            shared->result.emplace(std::move(r));
            shared->answered.notify_all();
        });

        const QCoreApplication *app = QCoreApplication::instance();
        const bool uiThread = app && QThread::currentThread() == app->thread();
        QElapsedTimer clock;
        clock.start();
        std::unique_lock lock(shared->mutex);
        while (!shared->result) {
            const qint64 left = m_timeoutMs - clock.elapsed();
            if (left <= 0)
                break;
            shared->answered.wait_for(lock, std::chrono::milliseconds(std::min<qint64>(left, 30)));
            if (shared->result || !uiThread)
                continue;
            lock.unlock();
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            lock.lock();
        }
        if (shared->result)
            return std::move(*shared->result);
        lock.unlock();

        int running = kRunning;
        const bool beforeCommit = shared->state.compare_exchange_strong(running, kAbandoned);
        m_session->stalled = true;
        FbSession::giveUp(m_session);
        const int seconds = int((m_timeoutMs + 999) / 1000);
        if (beforeCommit)
            return ownFailure(QStringLiteral("The database server did not answer within %1 seconds, so the row was not "
                                             "%2. Close the report and open it again when the server is back.")
                                  .arg(seconds)
                                  .arg(verb));
        return ownFailure(QStringLiteral("The database server stopped answering while the row was being %1: it may or "
                                         "may not have been %1. Close the report and open it again to see the "
                                         "current data.")
                              .arg(verb));
    }

    // The row as read back after a write, into every column that shows one of its fields.
    void takeRow(int row, const std::vector<int> &columns, const RecordTable &stored)
    {
        for (std::size_t i = 0; i < columns.size(); ++i) {
            const QString &field = m_table->column(columns[i]).sourceField;
            for (int c = 0; c < m_table->columnCount(); ++c)
                if (m_table->column(c).relation == m_relation && m_table->column(c).sourceField == field)
                    m_table->copyCell(row, c, stored, 0, int(i));
        }
    }

    // The row's key as SQL literals, so that the locking read and the write name the same row.
    QString keyClause(int row) const
    {
        if (m_dbKeyColumn >= 0)
            return QStringLiteral("RDB$DB_KEY = x'%1'").arg(m_table->text(row, m_dbKeyColumn));
        QStringList terms;
        for (int c : m_keyColumns) {
            const ColumnInfo &info = m_table->column(c);
            const QString name = quoteIdent(info.sourceField);
            if (m_table->isNull(row, c)) {
                terms << name + QStringLiteral(" IS NULL");
                continue;
            }
            QString value;
            switch (info.type) {
            case ColumnType::Integer: value = m_table->displayText(row, c); break;
            case ColumnType::Double: value = QString::number(m_table->real(row, c), 'g', 17); break;
            case ColumnType::Boolean: value = m_table->integer(row, c) ? QStringLiteral("TRUE") : QStringLiteral("FALSE"); break;
            case ColumnType::Date: value = QStringLiteral("DATE ") + quoteLiteral(m_table->displayText(row, c)); break;
            case ColumnType::Timestamp: {
                // The table keeps milliseconds; the engine keeps tenths of them.
                const std::int64_t ts = m_table->timestamp(row, c);
                terms << QStringLiteral("%1 >= TIMESTAMP '%2' AND %1 < TIMESTAMP '%3'")
                             .arg(name, QString::fromUtf8(timestampText(ts)), QString::fromUtf8(timestampText(ts + 1)));
                continue;
            }
            case ColumnType::Text:
                value = m_binary.contains(info.sourceField) ? QStringLiteral("x'%1'").arg(m_table->text(row, c))
                                                             : quoteLiteral(m_table->text(row, c));
                break;
            }
            terms << name + QStringLiteral(" = ") + value;
        }
        return terms.join(QStringLiteral(" AND "));
    }

    static QByteArray timestampText(std::int64_t ts)
    {
        const QTime t = QTime::fromMSecsSinceStartOfDay(int(TimeValue::msecsOfDay(ts)));
        return (QDate::fromJulianDay(TimeValue::julianDay(ts)).toString(Qt::ISODate) + QLatin1Char(' ')
                + t.toString(QStringLiteral("hh:mm:ss.zzz")))
            .toUtf8();
    }

    // A cell as text the engine converts back to exactly the same value.
    static std::optional<QByteArray> paramText(const RecordTable &t, int row, int col)
    {
        if (t.isNull(row, col))
            return std::nullopt;
        switch (t.column(col).type) {
        case ColumnType::Double: return QByteArray::number(t.real(row, col), 'g', 17);
        case ColumnType::Boolean: return QByteArray(t.integer(row, col) ? "TRUE" : "FALSE");
        case ColumnType::Timestamp: return timestampText(t.timestamp(row, col));
        default: return t.displayText(row, col).toUtf8();
        }
    }

    // A value a caller passed, as the C-locale text the exact reading of typed cells takes.
    static QString callerText(const ColumnInfo &info, const QVariant &v)
    {
        switch (v.typeId()) {
        case QMetaType::Double:
        case QMetaType::Float:
            // Fifteen digits give back the decimal a caller wrote (12.25, not 12.2500000000000001)
            // for a scaled column; a floating column takes the double itself.
            return QString::number(v.toDouble(), 'g', info.type == ColumnType::Double ? 17 : 15);
        case QMetaType::Bool: return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
        case QMetaType::ULongLong: return QString::number(v.toULongLong());
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong: return QString::number(v.toLongLong());
        case QMetaType::QDate: return v.toDate().toString(Qt::ISODate);
        case QMetaType::QTime: return v.toTime().toString(QStringLiteral("HH:mm:ss.zzz"));
        case QMetaType::QDateTime: return v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
        default: return v.toString();
        }
    }

    // The new value in a one-cell table of the column's type, or why the column cannot hold it.
    // Whatever form a caller passes goes through the same exact reading as a typed cell.
    static Result<RecordTable> convert(const ColumnInfo &info, const QVariant &v)
    {
        RecordTable::Builder b;
        b.addColumn(info);
        b.appendNull(0);
        RecordTable one = b.finish();
        CellValue cell;
        if (v.metaType() == QMetaType::fromType<CellValue>()) {
            cell = v.value<CellValue>();
        } else if (v.isValid() && !v.isNull()) {
            auto parsed = parseCellValue(callerText(info, v), QLocale::c(), cellSpecOf(info));
            if (!parsed)
                return ownFailure(parsed.failure().description);
            cell = parsed.value();
        }
        if (std::holds_alternative<std::monostate>(cell) && !info.nullable)
            return ownFailure(QStringLiteral("The column \"%1\" must have a value.").arg(info.name));
        one.setCell(0, 0, cell);
        return one;
    }

    static Failure conflict(const QString &verb)
    {
        return ownFailure(QStringLiteral("The row was changed or deleted by another user since it was read, so it "
                                         "was not %1. Reopen the report to see the current data.")
                              .arg(verb));
    }

    static Failure explain(Failure f, const QString &verb)
    {
        if (f.number == int(isc_lock_conflict) || f.number == int(isc_update_conflict) || f.number == int(isc_deadlock))
            f.description = QStringLiteral("Another user is changing the same row right now, so it was not %1. "
                                           "Try again in a moment.")
                                .arg(verb);
        return f;
    }

    std::shared_ptr<FbSession> m_session;
    std::shared_ptr<RecordTable> m_table;
    QString m_plan;
    int m_timeoutMs = kWriteTimeoutMs;
    Status m_reason;
    QString m_relation;
    std::vector<int> m_keyColumns;
    int m_dbKeyColumn = -1;
    QSet<QString> m_binary;
};

} // namespace

// ---- Load on a worker --------------------------------------------------------------------------

namespace {
std::atomic<int> s_runningWorkers{0};
// How long a cancel waits for the worker to put its cursor away before it drops the attachment.
constexpr auto kCancelGrace = std::chrono::milliseconds(250);
} // namespace

struct LoadJob::State {
    QString connString;
    AccessMode mode = AccessMode::Read;
    QString sql;
    int connectTimeoutSeconds = 15;
    FetchControl fetch;

    std::mutex mutex;   // guards what follows
    std::condition_variable endedSignal;
    bool ended = false;
    bool cancelled = false;
    bool abandoned = false;   // a cancel stopped waiting; the worker's results go nowhere
    std::function<void()> endedCallback;
    std::shared_ptr<FbSession> session;   // once attached, for a cancel to drop
    std::unique_ptr<Connection> connection;
    std::optional<Result<std::shared_ptr<RecordTable>>> result;

    static void run(const std::shared_ptr<State> &s);
};

void LoadJob::State::run(const std::shared_ptr<State> &s)
{
    std::unique_ptr<Connection> connection;
    std::optional<Result<std::shared_ptr<RecordTable>>> result;
    auto opened = Connection::open(s->connString, s->mode, s->connectTimeoutSeconds);
    if (!opened) {
        result.emplace(opened.failure());
    } else {
        connection = std::move(opened.value());
        std::shared_ptr<FbSession> session = connection->d->session;
        bool cancelled;
        {
            std::lock_guard lock(s->mutex);
            cancelled = s->cancelled;
            if (!cancelled)
                s->session = session;
        }
        if (!cancelled) {
            QString plan;
            auto rows = session->query(s->sql, kStepQuery, &plan, nullptr, &s->fetch);
            if (rows) {
                auto table = std::make_shared<RecordTable>(std::move(rows.value()));
                connection->d->plans.emplace_back(table, plan);
                result.emplace(std::move(table));
            } else {
                result.emplace(rows.failure());
            }
        }
    }
    {
        std::lock_guard lock(s->mutex);
        // Only a cancel needs the session from here on; kept, it could make this thread the one
        // that detaches the attachment once the caller has let the job go.
        s->session.reset();
        if (!s->abandoned) {
            s->connection = std::move(connection);
            s->result = std::move(result);
        }
        s->ended = true;
        s->endedSignal.notify_all();
        if (!s->cancelled && s->endedCallback)
            s->endedCallback();
        s->endedCallback = nullptr;
    }
    // An abandoned attachment is given up here, on the worker, whenever the server lets it go.
    connection.reset();
    result.reset();
}

LoadJob::LoadJob() : d(std::make_shared<State>()) {}

LoadJob::~LoadJob()
{
    bool running;
    {
        std::lock_guard lock(d->mutex);
        running = !d->ended && !d->cancelled;
    }
    if (running)
        cancel();
}

std::shared_ptr<LoadJob> LoadJob::start(const QString &connString, AccessMode mode, const QString &sql,
                                        std::function<void()> ended, int connectTimeoutSeconds)
{
    std::shared_ptr<LoadJob> job(new LoadJob);
    job->d->connString = connString;
    job->d->mode = mode;
    job->d->sql = sql;
    job->d->connectTimeoutSeconds = connectTimeoutSeconds;
    job->d->endedCallback = std::move(ended);
    ++s_runningWorkers;
    runDetached([s = job->d]() mutable {
        State::run(s);
        s.reset();
        --s_runningWorkers;
    });
    return job;
}

qint64 LoadJob::rowsArrived() const { return d->fetch.rows.load(std::memory_order_relaxed); }

bool LoadJob::isFinished() const
{
    std::lock_guard lock(d->mutex);
    return d->ended && !d->cancelled;
}

bool LoadJob::isCancelled() const
{
    std::lock_guard lock(d->mutex);
    return d->cancelled;
}

void LoadJob::wait()
{
    std::unique_lock lock(d->mutex);
    d->endedSignal.wait(lock, [this] { return d->ended; });
}

void LoadJob::cancel()
{
    std::unique_ptr<RecordTable::Builder> builder;
    QString plan;
    {
        std::lock_guard lock(d->fetch.mutex);
        d->fetch.stop = true;
        builder = std::move(d->fetch.builder);
        plan = d->fetch.plan;
    }
    std::shared_ptr<FbSession> silent;
    {
        std::unique_lock lock(d->mutex);
        if (d->cancelled || d->ended)
            return;   // nothing more to stop; what the worker left stays to be taken
        d->cancelled = true;
        d->endedCallback = nullptr;
        if (!d->endedSignal.wait_for(lock, kCancelGrace, [this] { return d->ended; })) {
            d->abandoned = true;
            silent = d->session;
        }
        d->result.reset();   // the rows that arrived, below, are the result
        if (silent) {
            // The worker is waiting on the server. Dropping the attachment makes its call fail
            // as soon as the client notices; until then it holds the session alone.
            silent->dropped = true;
            std::unique_ptr<Connection> c(new Connection);
            c->d->session = silent;
            c->d->connString = d->connString;
            c->d->connectTimeoutSeconds = d->connectTimeoutSeconds;
            d->connection = std::move(c);
        }
    }
    if (silent)
        FbSession::giveUp(silent);
    RecordTable table = builder ? builder->finish() : RecordTable::Builder().finish();
    auto shared = std::make_shared<RecordTable>(std::move(table));
    std::lock_guard lock(d->mutex);
    if (d->connection && !plan.isNull())
        d->connection->d->plans.emplace_back(shared, plan);
    d->result.emplace(std::move(shared));
}

std::unique_ptr<Connection> LoadJob::takeConnection()
{
    std::lock_guard lock(d->mutex);
    return std::move(d->connection);
}

Result<std::shared_ptr<RecordTable>> LoadJob::takeResult()
{
    std::lock_guard lock(d->mutex);
    if (!d->result)
        return ownFailure(QStringLiteral("The load has not ended yet."), kStepQuery);
    auto r = std::move(*d->result);
    d->result.reset();
    return r;
}

int LoadJob::runningWorkers() { return s_runningWorkers.load(); }

int Connection::threadsRunning() { return DetachedThreads::instance().running(); }

std::unique_ptr<RecordWriter> Connection::writer(std::shared_ptr<RecordTable> table)
{
    QString plan;
    for (const auto &[known, text] : d->plans) {
        if (known.lock() == table)
            plan = text;
    }
    return std::make_unique<FbRecordWriter>(d->session, std::move(table), plan, d->writeTimeoutMs);
}

} // namespace velmora
