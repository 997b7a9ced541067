#pragma once

#include "generator.h"

#include <memory>
#include <string>

namespace sampledb
{

// The customer search file: an SQLCipher database keyed with a password, holding the customer
// search columns. Written under a temporary name and renamed when complete, so an interrupted run
// never leaves a file that looks finished.
class SearchFileWriter
{
public:
    SearchFileWriter(const std::string &path, const std::string &password, const Table &customers);
    ~SearchFileWriter();
    SearchFileWriter(const SearchFileWriter &) = delete;
    SearchFileWriter &operator=(const SearchFileWriter &) = delete;

    void add(const Row &customer);
    void finish();

    // The columns of the customer search query, in its order.
    static const std::vector<std::string> &columns();

private:
    struct Db;
    std::unique_ptr<Db> d;
};

} // namespace sampledb
