#include "searchfile.h"

#include <sqlite3.h>

#include <cstdio>
#include <stdexcept>

namespace sampledb
{

const std::vector<std::string> &SearchFileWriter::columns()
{
    static const std::vector<std::string> names{"name",   "altname",  "address", "apt",       "city",    "state",
                                                "zip",    "hmphone",  "wkphone", "workext",   "mess",    "cell",
                                                "phone5", "comments", "account", "bbbalance", "deposit", "email"};
    return names;
}

struct SearchFileWriter::Db {
    std::string path;
    std::string partial;
    sqlite3 *db = nullptr;
    sqlite3_stmt *insert = nullptr;
    std::vector<int> source; // customers column of each search column

    [[noreturn]] void fail(const std::string &what)
    {
        throw std::runtime_error(what + " (" + path + "): " + (db ? sqlite3_errmsg(db) : "out of memory"));
    }
    void exec(const std::string &sql)
    {
        if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
            fail("cannot write the search file");
    }
    ~Db()
    {
        sqlite3_finalize(insert);
        sqlite3_close(db);
        if (!partial.empty())
            std::remove(partial.c_str());
    }
};

SearchFileWriter::SearchFileWriter(const std::string &path, const std::string &password, const Table &customers)
    : d(std::make_unique<Db>())
{
    d->path = path;
    d->partial = path + ".partial";
    std::remove(d->partial.c_str());
    if (sqlite3_open_v2(d->partial.c_str(), &d->db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
        d->fail("cannot create the search file");
    if (sqlite3_key(d->db, password.data(), static_cast<int>(password.size())) != SQLITE_OK)
        d->fail("cannot key the search file");
    // Linked against plain SQLite by mistake, the key would be silently ignored and the customers'
    // data written in the clear.
    sqlite3_stmt *version = nullptr;
    std::string cipher;
    if (sqlite3_prepare_v2(d->db, "PRAGMA cipher_version", -1, &version, nullptr) == SQLITE_OK &&
        sqlite3_step(version) == SQLITE_ROW && sqlite3_column_text(version, 0))
        cipher = reinterpret_cast<const char *>(sqlite3_column_text(version, 0));
    sqlite3_finalize(version);
    if (cipher.empty())
        throw std::runtime_error("the SQLite library in use has no encryption (PRAGMA cipher_version is empty)");

    std::string create = "CREATE TABLE customers (", insert = "INSERT INTO customers VALUES (";
    for (const std::string &name : columns()) {
        const int index = customers.indexOf(name);
        if (index < 0)
            throw std::logic_error("customers has no column " + name);
        d->source.push_back(index);
        const bool first = d->source.size() == 1;
        const ColumnType type = customers.columns[static_cast<std::size_t>(index)].type;
        create += (first ? "" : ", ") + name + (type == ColumnType::Money ? " NUMERIC" : " TEXT") +
                  (name == "account" ? " PRIMARY KEY" : "");
        insert += first ? "?" : ", ?";
    }
    d->exec(create + ")");
    d->exec("CREATE INDEX customers_name ON customers(name)");
    d->exec("BEGIN");
    if (sqlite3_prepare_v2(d->db, (insert + ")").c_str(), -1, &d->insert, nullptr) != SQLITE_OK)
        d->fail("cannot prepare the search file insert");
}

SearchFileWriter::~SearchFileWriter() = default;

void SearchFileWriter::add(const Row &customer)
{
    sqlite3_reset(d->insert);
    for (std::size_t i = 0; i < d->source.size(); ++i) {
        const Value &v = customer[static_cast<std::size_t>(d->source[i])];
        const int param = static_cast<int>(i) + 1;
        if (const auto *text = std::get_if<std::string>(&v))
            sqlite3_bind_text(d->insert, param, text->data(), static_cast<int>(text->size()), SQLITE_TRANSIENT);
        else if (const auto *money = std::get_if<Money>(&v))
            sqlite3_bind_double(d->insert, param, static_cast<double>(money->cents) / 100.0);
        else
            sqlite3_bind_null(d->insert, param);
    }
    if (sqlite3_step(d->insert) != SQLITE_DONE)
        d->fail("cannot add a customer to the search file");
}

void SearchFileWriter::finish()
{
    d->exec("COMMIT");
    sqlite3_finalize(d->insert);
    d->insert = nullptr;
    if (sqlite3_close(d->db) != SQLITE_OK)
        d->fail("cannot close the search file");
    d->db = nullptr;
    if (std::rename(d->partial.c_str(), d->path.c_str()) != 0)
        throw std::runtime_error("cannot move the search file into place: " + d->path);
    d->partial.clear();
}

} // namespace sampledb
