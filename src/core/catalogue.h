#pragma once

#include "core/result.h"

#include <QString>
#include <QStringList>

#include <vector>

// The report catalogue: what each report kind runs, how it connects and how its grid is set up.
// Pure rules, so every one of them is checked without a window or a database.

namespace velmora::catalogue {

enum class Kind {
    Inventory,        // "" and every key not listed below
    ProjReport,       // "projreport"
    ServiceReport,    // "servicereport"
    CustomSql,        // "customsql"
    CustomSqlSecurity,// "customsqlsecurity"
    AllCustomers,     // "allcustomers"
    DeletedInv,       // "deletedinv"
    MasterInv,        // "masterinv"
    CustomerSearch,   // "customersearch"
};

// Access modes as the catalogue numbers them: 1 read only, 3 read/write.
namespace Mode {
constexpr int Read = 1;
constexpr int ReadWrite = 3;
} // namespace Mode

// Column total functions, in the grid's numbering.
namespace Total {
constexpr int Count = 1;
constexpr int Sum = 2;
} // namespace Total

struct TotalRule {
    QString field;
    int function = Total::Count;
    bool operator==(const TotalRule &o) const { return field == o.field && function == o.function; }
};

// What the grid may do with the rows once bound.
enum class DataSettings {
    None,          // left as the grid has them
    ReadCustom,    // custom SQL: editable only when the connection is read/write, never deletable
    ReadOnly,      // all customers and customer search
    Deletable,     // deleted inventory: rows may be deleted, not edited
    MasterOnly,    // master inventory
};

struct Row {
    Kind kind;
    QString key;               // as the hosts spell it
    int mode;                  // connection mode (custom SQL security decides from its query)
    bool landscape;
    std::vector<TotalRule> totals;
    bool totalsFromFieldTypes;
    bool totalsGroup;          // the hidden totals column, grouped so its group carries the totals
    DataSettings data;
    QString lastLayoutName;    // empty: no layout is reopened
    QStringList hiddenColumns;
};

// The kind for a request key, ignoring letter case; unknown keys are the inventory report.
Kind kindFromKey(const QString &key);
const Row &row(Kind kind);
inline const Row &rowForKey(const QString &key) { return row(kindFromKey(key)); }

// Built-in queries.
QString deletedInventoryQuery();
QString allCustomersQuery();
QString customerSearchQuery();
// The stock of every store but the caller's, optionally narrowed by the master filter.
QString masterInventoryQuery(const QString &storeNumber, const QString &masterFilter);
// The leading digits of a text read as a number ("07" is 7, "12|x" is 12), 0 when there are none.
qint64 leadingNumber(const QString &text);

// "customsqlsecurity": a leading "readonly" (any letter case) opens read only and is dropped.
struct SecuredQuery {
    QString sql;
    int mode = Mode::ReadWrite;
};
SecuredQuery securedQuery(const QString &sql);

// The master inventory's store number argument: "12|category = 'TV'" is store 12 and a filter.
struct MasterSplit {
    QString storeNumber;
    QString filter;
    bool hadSeparator = false;   // only then is the caller's store number shortened
};
MasterSplit splitMasterStoreNumber(const QString &storeNumber);

// Custom SQL totals from the result's field types: every numeric of scale 2 is summed; the first
// wide text field carries the row count.
struct FieldType {
    QString name;
    int typeCode = 0;
    int scale = 0;
};
std::vector<TotalRule> totalsFromFieldTypes(const std::vector<FieldType> &fields);

// The caption of the hidden totals column.
QString totalsColumnCaption();
// Its total number formats and count prefix.
QString countFormat();
QString sumFormat();
QString countPrefix();

// Print header texts.
QString storeHeader(const QString &storeName, const QString &storeNumber);

// The customer search file and its location under the local folder.
QString searchFilePath(const QString &localPath);

// The failure report of the load step.
enum class FailureBox { LostServer, NoEngineMessage, EngineMessages };
struct FailureReport {
    FailureBox box = FailureBox::NoEngineMessage;
    QString text;
    int style = 48;      // message box style value
    QString helpFile;    // only the lost-server box has help
    int helpTopic = 0;
};
// Every engine message followed by a line feed, in order.
QString engineMessagesText(const QStringList &messages);
// Whether the engine's words say the server is out of reach or the link to it broke.
bool isLostServer(const QString &engineMessages);
QString failureBaseText(const Failure &failure);
QString techSupportSentence();
FailureReport failureReport(const Failure &failure, const QString &localPath);

} // namespace velmora::catalogue
