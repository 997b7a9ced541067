// velmora-sampledb: creates the sample store database (and optionally the customer search file).
//
//   velmora-sampledb --output <file.fdb | host[/port]:path> [--rows N] [--seed S] [--replace]
//                    [--search-file <path> --search-password <pw>] [--user U --password P]

#include "firebirdwriter.h"
#include "searchfile.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>

namespace fs = std::filesystem;
using namespace sampledb;

namespace
{

const char *const kUsage =
    "usage: velmora-sampledb --output <file.fdb | host[/port]:path> [--rows N (20000)] [--seed S (1)]\n"
    "                        [--replace] [--search-file <path> --search-password <pw>]\n"
    "                        [--user SYSDBA --password pw (for a server)] [--quiet]\n";

struct Options {
    std::string output;
    std::int64_t rows = 20000;
    std::uint64_t seed = 1;
    std::string searchFile;
    std::optional<std::string> searchPassword;
    std::string user;
    std::string password;
    bool replace = false;
    bool quiet = false;
};

[[noreturn]] void usage(const std::string &problem)
{
    std::cerr << "velmora-sampledb: " << problem << "\n" << kUsage;
    std::exit(2);
}

std::int64_t number(const std::string &option, const std::string &text)
{
    std::size_t used = 0;
    long long value = 0;
    try {
        value = std::stoll(text, &used);
    } catch (const std::exception &) {
        used = 0;
    }
    if (used != text.size() || value < 0)
        usage(option + " needs a whole number of zero or more, not \"" + text + "\"");
    return value;
}

Options parse(int argc, char **argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                usage(arg + " needs a value");
            return argv[++i];
        };
        if (arg == "--output" || arg == "-o")
            o.output = value();
        else if (arg == "--rows")
            o.rows = number(arg, value());
        else if (arg == "--seed")
            o.seed = static_cast<std::uint64_t>(number(arg, value()));
        else if (arg == "--search-file")
            o.searchFile = value();
        else if (arg == "--search-password")
            o.searchPassword = value();
        else if (arg == "--user")
            o.user = value();
        else if (arg == "--password")
            o.password = value();
        else if (arg == "--replace")
            o.replace = true;
        else if (arg == "--quiet")
            o.quiet = true;
        else if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            std::exit(0);
        } else
            usage("unknown argument \"" + arg + "\"");
    }
    if (o.output.empty())
        usage("--output is required");
    if (!o.searchFile.empty() && !o.searchPassword)
        usage("--search-file needs --search-password");
    if (o.searchFile.empty() && o.searchPassword)
        usage("--search-password needs --search-file");
    return o;
}

// A Firebird DSN names a server as "host:path", "host/port:path" or "inet://host:port/path"; an
// absolute path, or any text without a colon, is a file for the embedded engine.
bool isLocal(const std::string &database)
{
    return database.starts_with('/') || database.find(':') == std::string::npos;
}

double seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

} // namespace

int main(int argc, char **argv)
{
    const Options o = parse(argc, argv);
    const bool local = isLocal(o.output);
    std::string target = o.output;
    fs::path finalPath;
    try {
        if (local) {
            finalPath = fs::absolute(o.output);
            if (!fs::is_directory(finalPath.parent_path()))
                throw std::runtime_error("the folder " + finalPath.parent_path().string() + " does not exist");
            if (fs::exists(finalPath) && !o.replace)
                throw std::runtime_error(finalPath.string() + " already exists (pass --replace to make it again)");
            // Built under a temporary name: an interrupted run never leaves a database that looks
            // finished.
            target = finalPath.string() + ".partial";
            fs::remove(target);
        }

        const auto start = std::chrono::steady_clock::now();
        const Generator generator(o.seed, Sizes::forInventory(o.rows));
        FirebirdWriter writer;
        writer.create(target, o.user.empty() && local ? std::string("SYSDBA") : o.user, o.password);
        writer.createTables(generator.tables());

        std::optional<SearchFileWriter> search;
        for (const Table &table : generator.tables()) {
            const auto tableStart = std::chrono::steady_clock::now();
            const std::int64_t count = generator.rowCount(table);
            if (table.name == "customers" && !o.searchFile.empty()) {
                search.emplace(o.searchFile, *o.searchPassword, table);
                writer.insert(generator, table, count, [&](const Row &row) { search->add(row); });
            } else {
                writer.insert(generator, table, count);
            }
            if (!o.quiet)
                std::printf("%-13s %9lld rows  %6.2f s\n", table.name.c_str(), static_cast<long long>(count),
                            seconds(tableStart));
        }
        const auto keyStart = std::chrono::steady_clock::now();
        writer.finish(generator.tables());
        if (!o.quiet)
            std::printf("%-13s %9s       %6.2f s\n", "primary keys", "", seconds(keyStart));
        if (local)
            fs::rename(target, finalPath);
        if (search)
            search->finish();
        if (!o.quiet) {
            std::printf("created %s in %.2f s\n", local ? finalPath.c_str() : o.output.c_str(), seconds(start));
            if (search)
                std::printf("created search file %s\n", o.searchFile.c_str());
        }
    } catch (const std::exception &e) {
        std::fprintf(stderr, "velmora-sampledb: %s\n", e.what());
        const std::string text = e.what();
        if (local && text.find("Permission denied") != std::string::npos && text.find("/firebird") != std::string::npos)
            std::fprintf(stderr, "velmora-sampledb: the embedded engine cannot write its lock folder; set "
                                 "FIREBIRD_LOCK to a folder you can write\n");
        if (local && target != o.output) {
            std::error_code ignored;
            fs::remove(target, ignored);
        }
        return 1;
    }
    return 0;
}
