#pragma once

// One run of velmora-report: the request a host would pass to the controls' methods, the layout to
// apply and the file to write.

#include <QString>

#include <functional>
#include <optional>

namespace velmora::report {

struct Job {
    QString kind;          // inventory, deletedinv, customsql, servicereport, projectedreport, masterinv, allcustomers
    QString sql;
    QString connString;
    QString storeName;
    QString storeNumber;   // masterinv: may carry "|condition"
    QString dataFolder;
    QString localFolder;
    QString layout;        // empty: the kind's last layout, as the viewer reopens it
    QString out;
};

// Exit statuses, documented in --help.
namespace Exit {
constexpr int Ok = 0;
constexpr int Usage = 2;
constexpr int Report = 3;   // the database refused: no server, wrong login, bad SQL
constexpr int Layout = 4;
constexpr int Output = 5;
} // namespace Exit

struct JobFailure {
    int exit = Exit::Report;
    QString message;   // one line, for stderr
};

// The kinds --kind accepts, in the order --help lists them.
QStringList kinds();

// What is wrong with the job's arguments before anything runs; nullopt when nothing is.
std::optional<JobFailure> checkJob(const Job &job);

// Progress: "fetched" once the rows are in, "written" a few times a second while the file is written.
using Progress = std::function<void(const char *stage, qint64 rows)>;

// Loads the report as the viewer does (same request, load step, last or named layout), writes the
// grid's rows through the export engine and returns the number of records written. The file appears
// under its name only when complete.
std::optional<JobFailure> runJob(const Job &job, const Progress &progress, qint64 &written);

} // namespace velmora::report
