#include "firebirdwriter.h"

#include <firebird/Interface.h>

#include <cstring>
#include <stdexcept>

using namespace Firebird;

namespace sampledb
{

namespace
{

std::string describe(IUtil *util, IStatus *status)
{
    char text[2048];
    util->formatStatus(text, sizeof text, status);
    return text;
}

// One input message laid out as the engine describes it.
class Message
{
public:
    Message(ThrowStatusWrapper &status, IMessageMetadata *meta, const Table &table) : m_table(table)
    {
        const unsigned count = meta->getCount(&status);
        if (count != table.columns.size())
            throw std::logic_error("parameter count differs from the columns of " + table.name);
        m_buffer.assign(meta->getMessageLength(&status), 0);
        for (unsigned i = 0; i < count; ++i)
            m_fields.push_back({meta->getType(&status, i), meta->getScale(&status, i), meta->getLength(&status, i),
                                meta->getOffset(&status, i), meta->getNullOffset(&status, i)});
    }

    unsigned char *data() { return m_buffer.data(); }

    void set(const Row &row)
    {
        for (std::size_t i = 0; i < row.size(); ++i)
            std::visit([&](const auto &v) { put(i, v); }, row[i]);
    }

private:
    struct Field {
        unsigned type;
        int scale;
        unsigned length;
        unsigned offset;
        unsigned nullOffset;
    };

    template <typename T> void store(const Field &f, T value)
    {
        std::memcpy(&m_buffer[f.offset], &value, sizeof value);
        setNull(f, false);
    }
    void setNull(const Field &f, bool null)
    {
        const ISC_SHORT flag = null ? -1 : 0;
        std::memcpy(&m_buffer[f.nullOffset], &flag, sizeof flag);
    }
    [[noreturn]] void mismatch(std::size_t i) const
    {
        throw std::logic_error("value of the wrong type for " + m_table.name + "." + m_table.columns[i].name);
    }

    void put(std::size_t i, std::monostate) { setNull(m_fields[i], true); }
    void put(std::size_t i, std::int64_t v)
    {
        const Field &f = m_fields[i];
        if (f.scale != 0)
            mismatch(i);
        switch (f.type) {
        case SQL_SHORT:
            store(f, static_cast<ISC_SHORT>(v));
            break;
        case SQL_LONG:
            store(f, static_cast<ISC_LONG>(v));
            break;
        case SQL_INT64:
            store(f, static_cast<ISC_INT64>(v));
            break;
        default:
            mismatch(i);
        }
    }
    void put(std::size_t i, Money v)
    {
        const Field &f = m_fields[i];
        if (f.type != SQL_INT64 || f.scale != -2)
            mismatch(i);
        store(f, static_cast<ISC_INT64>(v.cents));
    }
    void put(std::size_t i, double v)
    {
        if (m_fields[i].type != SQL_DOUBLE)
            mismatch(i);
        store(m_fields[i], v);
    }
    void put(std::size_t i, Date v)
    {
        if (m_fields[i].type != SQL_TYPE_DATE)
            mismatch(i);
        store(m_fields[i], static_cast<ISC_DATE>(v.mjd));
    }
    void put(std::size_t i, Timestamp v)
    {
        if (m_fields[i].type != SQL_TIMESTAMP)
            mismatch(i);
        ISC_TIMESTAMP ts{static_cast<ISC_DATE>(v.mjd), static_cast<ISC_TIME>(v.seconds * 10000u)};
        store(m_fields[i], ts);
    }
    void put(std::size_t i, const std::string &v)
    {
        const Field &f = m_fields[i];
        const Column &c = m_table.columns[i];
        if (f.type != SQL_VARYING)
            mismatch(i);
        if (v.size() > f.length || utf8Length(v) > static_cast<std::size_t>(c.length))
            throw std::logic_error("text too long for " + m_table.name + "." + c.name + ": " + v);
        const auto length = static_cast<ISC_USHORT>(v.size());
        std::memcpy(&m_buffer[f.offset], &length, sizeof length);
        std::memcpy(&m_buffer[f.offset + sizeof length], v.data(), v.size());
        setNull(f, false);
    }

    const Table &m_table;
    std::vector<unsigned char> m_buffer;
    std::vector<Field> m_fields;
};

} // namespace

struct FirebirdWriter::Engine {
    IMaster *master = fb_get_master_interface();
    IStatus *rawStatus = master->getStatus();
    ThrowStatusWrapper status{rawStatus};
    IUtil *util = master->getUtilInterface();
    IProvider *provider = master->getDispatcher();
    IAttachment *attachment = nullptr;
    ITransaction *transaction = nullptr;

    template <typename F> void guarded(const std::string &what, F &&f)
    {
        try {
            f();
        } catch (const FbException &e) {
            throw std::runtime_error(what + ": " + describe(util, e.getStatus()));
        }
    }

    void execute(const std::string &sql)
    {
        attachment->execute(&status, transaction, 0, sql.c_str(), SQL_DIALECT_V6, nullptr, nullptr, nullptr, nullptr);
    }

    void commit()
    {
        transaction->commit(&status);
        transaction = nullptr;
    }

    ~Engine()
    {
        // Reached with a transaction only after a failure: leave nothing half-written behind.
        CheckStatusWrapper quiet(master->getStatus());
        if (transaction)
            transaction->rollback(&quiet);
        if (attachment)
            attachment->detach(&quiet);
        quiet.dispose();
        provider->release();
        rawStatus->dispose();
    }
};

FirebirdWriter::FirebirdWriter() : d(std::make_unique<Engine>()) {}
FirebirdWriter::~FirebirdWriter() = default;

void FirebirdWriter::create(const std::string &database, const std::string &user, const std::string &password)
{
    d->guarded("cannot create " + database, [&] {
        IXpbBuilder *dpb = d->util->getXpbBuilder(&d->status, IXpbBuilder::DPB, nullptr, 0);
        dpb->insertInt(&d->status, isc_dpb_page_size, 8192);
        dpb->insertInt(&d->status, isc_dpb_sql_dialect, 3);
        dpb->insertString(&d->status, isc_dpb_set_db_charset, "UTF8");
        dpb->insertString(&d->status, isc_dpb_lc_ctype, "UTF8");
        // Sample data can always be made again: skip the flush after every page write.
        dpb->insertInt(&d->status, isc_dpb_force_write, 0);
        if (!user.empty())
            dpb->insertString(&d->status, isc_dpb_user_name, user.c_str());
        if (!password.empty())
            dpb->insertString(&d->status, isc_dpb_password, password.c_str());
        d->attachment = d->provider->createDatabase(&d->status, database.c_str(), dpb->getBufferLength(&d->status),
                                                    dpb->getBuffer(&d->status));
        dpb->dispose();
    });
}

void FirebirdWriter::createTables(const std::vector<Table> &tables)
{
    d->guarded("cannot create the tables", [&] {
        d->transaction = d->attachment->startTransaction(&d->status, 0, nullptr);
        for (const Table &t : tables) {
            d->execute(t.createStatement(false));
        }
        d->commit();
        d->transaction = d->attachment->startTransaction(&d->status, 0, nullptr);
    });
}

void FirebirdWriter::insert(const Generator &generator, const Table &table, std::int64_t count,
                            const std::function<void(const Row &)> &rowDone)
{
    d->guarded("cannot fill " + table.name, [&] {
        IStatement *statement =
            d->attachment->prepare(&d->status, d->transaction, 0, table.insertStatement().c_str(), SQL_DIALECT_V6, 0);
        IMessageMetadata *meta = statement->getInputMetadata(&d->status);
        try {
            Message message(d->status, meta, table);
            Row row;
            for (std::int64_t i = 0; i < count; ++i) {
                generator.fill(table, i, row);
                message.set(row);
                statement->execute(&d->status, d->transaction, meta, message.data(), nullptr, nullptr);
                if (rowDone)
                    rowDone(row);
            }
        } catch (...) {
            meta->release();
            statement->release();
            throw;
        }
        meta->release();
        statement->free(&d->status);
    });
}

void FirebirdWriter::finish(const std::vector<Table> &tables)
{
    d->guarded("cannot finish the database", [&] {
        d->commit();
        d->transaction = d->attachment->startTransaction(&d->status, 0, nullptr);
        for (const Table &t : tables)
            for (const Column &c : t.columns)
                if (c.primaryKey)
                    d->execute("ALTER TABLE " + t.name + " ADD CONSTRAINT pk_" + t.name + " PRIMARY KEY (" + c.name +
                               ")");
        d->commit();
        d->attachment->detach(&d->status);
        d->attachment = nullptr;
    });
}

} // namespace sampledb
