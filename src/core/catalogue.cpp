#include "core/catalogue.h"

#include <array>
#include <limits>

namespace velmora::catalogue {

namespace {

const QString crlf = QStringLiteral("\r\n");

std::vector<TotalRule> countAndSums(const QString &countField, std::initializer_list<const char *> sums)
{
    std::vector<TotalRule> rules{{countField, Total::Count}};
    for (const char *s : sums)
        rules.push_back({QString::fromLatin1(s), Total::Sum});
    return rules;
}

const std::array<Row, 9> &rows()
{
    static const std::array<Row, 9> table = {{
        {Kind::Inventory, QString(), Mode::Read, false,
         countAndSums(QStringLiteral("model"), {"cost", "balance", "rbvbook", "rentalincome", "otherincome"}), false,
         true, DataSettings::None, QStringLiteral("Last Inventory"), {}},
        {Kind::ProjReport, QStringLiteral("projreport"), Mode::Read, false,
         countAndSums(QStringLiteral("name"), {"projpmt", "pmtpaid"}), false, true, DataSettings::None,
         QStringLiteral("Last Projected"), {}},
        {Kind::ServiceReport, QStringLiteral("servicereport"), Mode::Read, false,
         countAndSums(QStringLiteral("model"), {"svccharge"}), false, true, DataSettings::None,
         QStringLiteral("Last Service"), {}},
        {Kind::CustomSql, QStringLiteral("customsql"), Mode::Read, true, {}, true, true, DataSettings::ReadCustom,
         QString(), {}},
        {Kind::CustomSqlSecurity, QStringLiteral("customsqlsecurity"), Mode::ReadWrite, true, {}, true, true,
         DataSettings::ReadCustom, QString(), {}},
        {Kind::AllCustomers, QStringLiteral("allcustomers"), Mode::Read, true, {}, false, false,
         DataSettings::ReadOnly, QStringLiteral("Last All Customers"),
         {QStringLiteral("ss1"), QStringLiteral("ss2"), QStringLiteral("recupdate"), QStringLiteral("emailinv")}},
        {Kind::DeletedInv, QStringLiteral("deletedinv"), Mode::ReadWrite, true, {}, false, false,
         DataSettings::Deletable, QStringLiteral("Del Inventory"), {}},
        {Kind::MasterInv, QStringLiteral("masterinv"), Mode::Read, false, {}, false, true, DataSettings::MasterOnly,
         QStringLiteral("Last MasterInv"), {}},
        {Kind::CustomerSearch, QStringLiteral("customersearch"), Mode::Read, true, {}, false, false,
         DataSettings::ReadOnly, QStringLiteral("Last Customer Search"), {}},
    }};
    return table;
}

} // namespace

Kind kindFromKey(const QString &key)
{
    for (const Row &r : rows()) {
        if (!r.key.isEmpty() && key.compare(r.key, Qt::CaseInsensitive) == 0)
            return r.kind;
    }
    return Kind::Inventory;
}

const Row &row(Kind kind)
{
    return rows().at(std::size_t(kind));
}

QString deletedInventoryQuery()
{
    return QStringLiteral("SELECT * FROM delinventory order by deleted desc");
}

QString allCustomersQuery()
{
    return QStringLiteral("SELECT * from customers");
}

QString customerSearchQuery()
{
    return QStringLiteral("SELECT name, altname, address, apt, city, state, zip, hmphone, wkphone, workext, mess, "
                          "cell, phone5, comments, account, bbbalance, deposit, email from customers");
}

qint64 leadingNumber(const QString &text)
{
    // Store numbers are typed by people: blanks before the digits are forgiven, as is a sign.
    int i = 0;
    while (i < text.size() && (text.at(i) == QLatin1Char(' ') || text.at(i) == QLatin1Char('\t')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    qint64 n = 0;
    for (; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            break;
        if (n > (std::numeric_limits<qint64>::max() - 9) / 10)
            break;   // a number this long is no store number; keep what fits
        n = n * 10 + (c.unicode() - '0');
    }
    return negative ? -n : n;
}

QString masterInventoryQuery(const QString &storeNumber, const QString &masterFilter)
{
    QString sql = QStringLiteral("SELECT model, serial, stock, description, category, store, cost, rentalincome, "
                                 "daterec, firstsaledate, balance as RBV from inventory where status = 'STOCK' and "
                                 "svcstatus <>'SERVICE' and store <> ") +
                  QString::number(leadingNumber(storeNumber));
    if (!masterFilter.isEmpty())
        sql += QStringLiteral(" and ") + masterFilter;
    return sql;
}

SecuredQuery securedQuery(const QString &sql)
{
    if (sql.left(8).toLower() == QLatin1String("readonly"))
        return {sql.mid(8), Mode::Read};
    return {sql, Mode::ReadWrite};
}

MasterSplit splitMasterStoreNumber(const QString &storeNumber)
{
    const qsizetype p = storeNumber.indexOf(QLatin1Char('|'));
    if (p < 0)
        return {storeNumber, QString(), false};
    return {storeNumber.left(p), storeNumber.mid(p + 1), true};
}

std::vector<TotalRule> totalsFromFieldTypes(const std::vector<FieldType> &fields)
{
    constexpr int numeric = 131;
    constexpr int wideText = 202;
    std::vector<TotalRule> rules;
    bool counted = false;
    for (const FieldType &f : fields) {
        if (f.typeCode == numeric && f.scale == 2) {
            rules.push_back({f.name, Total::Sum});
        } else if (f.typeCode == wideText && !counted) {
            rules.push_back({f.name, Total::Count});
            counted = true;
        }
    }
    return rules;
}

QString totalsColumnCaption()
{
    return QStringLiteral("Drag Columns Here to Group");
}

QString countFormat()
{
    return QStringLiteral("#0");
}

QString sumFormat()
{
    return QStringLiteral("#,##0.00");
}

QString countPrefix()
{
    return QStringLiteral("Count:");
}

QString storeHeader(const QString &storeName, const QString &storeNumber)
{
    return storeName + QStringLiteral("  Store#: ") + storeNumber;
}

QString searchFilePath(const QString &localPath)
{
    return localPath + QStringLiteral("search.tmp");
}

QString engineMessagesText(const QStringList &messages)
{
    QString text;
    for (const QString &m : messages)
        text += m + QLatin1Char('\n');
    return text;
}

bool isLostServer(const QString &engineMessages)
{
    // The first three are the words of the engine when it cannot reach the server at all; the
    // rest are how this platform's client words a link that broke while in use.
    static const std::array<QLatin1String, 6> words = {
        QLatin1String("failed to establish a connection"),
        QLatin1String("An existing connection was forcibly closed by the remote host."),
        QLatin1String("Failed to locate host machine."),
        QLatin1String("Error reading data from the connection."),
        QLatin1String("Error writing data to the connection."),
        QLatin1String("connection shutdown"),
    };
    for (const QLatin1String &w : words) {
        if (engineMessages.contains(w, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

QString failureBaseText(const Failure &failure)
{
    return QStringLiteral("Error: ") + QString::number(failure.number) + crlf + QStringLiteral("Description: ") +
           failure.description + crlf + QStringLiteral("Line#: ") + QString::number(failure.step) + crlf +
           QStringLiteral("Location: Tallybook OCX.FrmMain.Form_Load");
}

QString techSupportSentence()
{
    return QStringLiteral("Report this information to Tech Support at 1-800-555-0147.");
}

FailureReport failureReport(const Failure &failure, const QString &localPath)
{
    const QString engine = engineMessagesText(failure.engineMessages);
    const QString base = failureBaseText(failure);
    FailureReport report;
    if (isLostServer(engine)) {
        report.box = FailureBox::LostServer;
        report.text = QStringLiteral("Not able to find Server computer on the network or lost connection to server. "
                                     "Check your network connections and settings, verify the server computer can "
                                     "be accessed through the network and retry.") +
                      crlf + crlf + QStringLiteral("Complete error message is below:") + crlf + base + crlf +
                      QStringLiteral("Message from SQL Engine: ") + engine + crlf + crlf +
                      QStringLiteral("For more information about this click the help button.");
        report.style = 16432;
        report.helpFile = localPath + QStringLiteral("velmora.chm");
        report.helpTopic = 16;
    } else if (engine.isEmpty()) {
        report.box = FailureBox::NoEngineMessage;
        report.text = base + crlf + QStringLiteral("***No error reported by primary SQL connection") + crlf + crlf +
                      techSupportSentence();
        report.style = 48;
    } else {
        report.box = FailureBox::EngineMessages;
        report.text = base + crlf + QStringLiteral("Message from SQL Engine: ") + engine + crlf + crlf +
                      techSupportSentence();
        report.style = 48;
    }
    return report;
}

} // namespace velmora::catalogue
