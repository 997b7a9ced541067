#include "core/catalogue.h"

#include <QTest>

using namespace velmora;
using namespace velmora::catalogue;

Q_DECLARE_METATYPE(velmora::catalogue::Kind)
Q_DECLARE_METATYPE(velmora::catalogue::FailureBox)

class tst_Catalogue : public QObject {
    Q_OBJECT
private slots:
    void kindFromKey_data();
    void kindFromKey();
    void leadingNumber_data();
    void leadingNumber();
    void masterQuery_data();
    void masterQuery();
    void securedQuery_data();
    void securedQuery();
    void totalsFromFieldTypes_data();
    void totalsFromFieldTypes();
    void lostServer_data();
    void lostServer();
    void failureReport_data();
    void failureReport();
    void storeHeader();
};

void tst_Catalogue::kindFromKey_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<Kind>("kind");
    QTest::newRow("empty key is inventory") << QString() << Kind::Inventory;
    QTest::newRow("unknown key is inventory") << QStringLiteral("weekly") << Kind::Inventory;
    QTest::newRow("key with a blank is unknown") << QStringLiteral("deletedinv ") << Kind::Inventory;
    QTest::newRow("deletedinv") << QStringLiteral("deletedinv") << Kind::DeletedInv;
    QTest::newRow("DeletedInv in mixed case") << QStringLiteral("DeletedInv") << Kind::DeletedInv;
    QTest::newRow("customsql") << QStringLiteral("customsql") << Kind::CustomSql;
    QTest::newRow("CUSTOMSQLSECURITY in capitals") << QStringLiteral("CUSTOMSQLSECURITY") << Kind::CustomSqlSecurity;
    QTest::newRow("servicereport") << QStringLiteral("servicereport") << Kind::ServiceReport;
    QTest::newRow("projreport") << QStringLiteral("ProjReport") << Kind::ProjReport;
    QTest::newRow("masterinv") << QStringLiteral("masterInv") << Kind::MasterInv;
    QTest::newRow("customersearch") << QStringLiteral("CustomerSearch") << Kind::CustomerSearch;
    QTest::newRow("allcustomers") << QStringLiteral("allcustomers") << Kind::AllCustomers;
}

void tst_Catalogue::kindFromKey()
{
    QFETCH(QString, key);
    QFETCH(Kind, kind);
    QCOMPARE(catalogue::kindFromKey(key), kind);
    QCOMPARE(rowForKey(key).kind, kind);
}

void tst_Catalogue::leadingNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("number");
    QTest::newRow("leading zero dropped") << QStringLiteral("07") << qint64(7);
    QTest::newRow("plain number") << QStringLiteral("12") << qint64(12);
    QTest::newRow("digits then text") << QStringLiteral("12abc") << qint64(12);
    QTest::newRow("no digits is zero") << QStringLiteral("abc") << qint64(0);
    QTest::newRow("empty is zero") << QString() << qint64(0);
    QTest::newRow("blanks before digits") << QStringLiteral("  5") << qint64(5);
    QTest::newRow("negative") << QStringLiteral("-3") << qint64(-3);
    QTest::newRow("an injected condition is cut off") << QStringLiteral("1 or 1=1") << qint64(1);
}

void tst_Catalogue::leadingNumber()
{
    QFETCH(QString, text);
    QFETCH(qint64, number);
    QCOMPARE(catalogue::leadingNumber(text), number);
}

void tst_Catalogue::masterQuery_data()
{
    const QString stem = QStringLiteral(
        "SELECT model, serial, stock, description, category, store, cost, rentalincome, daterec, firstsaledate, "
        "balance as RBV from inventory where status = 'STOCK' and svcstatus <>'SERVICE' and store <> ");
    QTest::addColumn<QString>("storeNumber");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("sql");
    QTest::newRow("07 without filter compares with 7") << QStringLiteral("07") << QString() << stem + QStringLiteral("7");
    QTest::newRow("filter follows after and") << QStringLiteral("12") << QStringLiteral("category = 'TV'")
                                              << stem + QStringLiteral("12 and category = 'TV'");
    QTest::newRow("empty store number is 0") << QString() << QString() << stem + QStringLiteral("0");
}

void tst_Catalogue::masterQuery()
{
    QFETCH(QString, storeNumber);
    QFETCH(QString, filter);
    QTEST(masterInventoryQuery(storeNumber, filter), "sql");
}

void tst_Catalogue::securedQuery_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("rest");
    QTest::addColumn<int>("mode");
    QTest::newRow("READONLY in capitals and a blank")
        << QStringLiteral("READONLY select * from inventory") << QStringLiteral(" select * from inventory") << 1;
    QTest::newRow("readonly in mixed case") << QStringLiteral("ReadOnlySELECT 1 FROM rdb$database")
                                            << QStringLiteral("SELECT 1 FROM rdb$database") << 1;
    QTest::newRow("no prefix is read/write") << QStringLiteral("select * from inventory")
                                             << QStringLiteral("select * from inventory") << 3;
    QTest::newRow("prefix not at the start") << QStringLiteral(" readonly select 1") << QStringLiteral(" readonly select 1")
                                             << 3;
    QTest::newRow("short text") << QStringLiteral("read") << QStringLiteral("read") << 3;
    QTest::newRow("only the prefix") << QStringLiteral("readonly") << QString() << 1;
}

void tst_Catalogue::securedQuery()
{
    QFETCH(QString, sql);
    const SecuredQuery q = catalogue::securedQuery(sql);
    QTEST(q.sql, "rest");
    QTEST(q.mode, "mode");
}

void tst_Catalogue::totalsFromFieldTypes_data()
{
    QTest::addColumn<QList<int>>("types");
    QTest::addColumn<QList<int>>("scales");
    QTest::addColumn<QStringList>("expected");   // "name:function"
    QTest::newRow("two text fields count on the first only")
        << QList<int>{202, 202} << QList<int>{0, 0} << QStringList{QStringLiteral("f1:1")};
    QTest::newRow("numeric scale 2 is summed") << QList<int>{202, 131, 131} << QList<int>{0, 2, 2}
                                               << QStringList{QStringLiteral("f1:1"), QStringLiteral("f2:2"),
                                                              QStringLiteral("f3:2")};
    QTest::newRow("numeric scale 1 and 3 get no sum") << QList<int>{131, 131, 202} << QList<int>{1, 3, 0}
                                                      << QStringList{QStringLiteral("f3:1")};
    QTest::newRow("integers and dates get nothing") << QList<int>{3, 133, 135, 20} << QList<int>{0, 0, 0, 0}
                                                    << QStringList();
    QTest::newRow("count may follow a sum") << QList<int>{131, 3, 202, 202} << QList<int>{2, 0, 0, 0}
                                            << QStringList{QStringLiteral("f1:2"), QStringLiteral("f3:1")};
    QTest::newRow("long text is not the counted text") << QList<int>{203, 202} << QList<int>{0, 0}
                                                       << QStringList{QStringLiteral("f2:1")};
}

void tst_Catalogue::totalsFromFieldTypes()
{
    QFETCH(QList<int>, types);
    QFETCH(QList<int>, scales);
    QFETCH(QStringList, expected);
    std::vector<FieldType> fields;
    for (int i = 0; i < types.size(); ++i)
        fields.push_back({QStringLiteral("f%1").arg(i + 1), types.at(i), scales.at(i)});
    QStringList actual;
    for (const TotalRule &t : catalogue::totalsFromFieldTypes(fields))
        actual << t.field + QLatin1Char(':') + QString::number(t.function);
    QCOMPARE(actual, expected);
}

void tst_Catalogue::lostServer_data()
{
    QTest::addColumn<QString>("messages");
    QTest::addColumn<bool>("lost");
    QTest::newRow("closed port") << QStringLiteral("Unable to complete network request to host \"127.0.0.1\".\n"
                                                   "Failed to establish a connection.\n")
                                 << true;
    QTest::newRow("unknown host") << QStringLiteral("Unable to complete network request to host \"nohost\".\n"
                                                    "Failed to locate host machine.\n")
                                  << true;
    QTest::newRow("forcibly closed in other case")
        << QStringLiteral("AN EXISTING CONNECTION WAS FORCIBLY CLOSED BY THE REMOTE HOST.\n") << true;
    QTest::newRow("read from a broken link") << QStringLiteral("Error reading data from the connection.\n") << true;
    QTest::newRow("write to a broken link") << QStringLiteral("Error writing data to the connection.\n") << true;
    QTest::newRow("server stopped") << QStringLiteral("connection shutdown\n") << true;
    QTest::newRow("bad sql") << QStringLiteral("Dynamic SQL Error\nSQL error code = -104\nToken unknown\n") << false;
    QTest::newRow("wrong password") << QStringLiteral("Your user name and password are not defined.\n") << false;
    QTest::newRow("no messages") << QString() << false;
}

void tst_Catalogue::lostServer()
{
    QFETCH(QString, messages);
    QTEST(isLostServer(messages), "lost");
}

void tst_Catalogue::failureReport_data()
{
    QTest::addColumn<QStringList>("engine");
    QTest::addColumn<FailureBox>("box");
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("expectedText");
    const QString base = QStringLiteral("Error: 335544721\r\nDescription: network request failed\r\nLine#: 7\r\n"
                                        "Location: Tallybook OCX.FrmMain.Form_Load");
    const QString support = QStringLiteral("Report this information to Tech Support at 1-800-555-0147.");
    QTest::newRow("lost server")
        << QStringList{QStringLiteral("Unable to complete network request to host \"x\"."),
                       QStringLiteral("Failed to establish a connection.")}
        << FailureBox::LostServer << 16432
        << QStringLiteral("Not able to find Server computer on the network or lost connection to server. Check your "
                          "network connections and settings, verify the server computer can be accessed through "
                          "the network and retry.\r\n\r\nComplete error message is below:\r\n") +
               base +
               QStringLiteral("\r\nMessage from SQL Engine: Unable to complete network request to host \"x\".\n"
                              "Failed to establish a connection.\n\r\n\r\nFor more information about this click the "
                              "help button.");
    QTest::newRow("no engine message")
        << QStringList() << FailureBox::NoEngineMessage << 48
        << base + QStringLiteral("\r\n***No error reported by primary SQL connection\r\n\r\n") + support;
    QTest::newRow("other engine messages")
        << QStringList{QStringLiteral("Dynamic SQL Error"), QStringLiteral("SQL error code = -104")}
        << FailureBox::EngineMessages << 48
        << base + QStringLiteral("\r\nMessage from SQL Engine: Dynamic SQL Error\nSQL error code = -104\n\r\n\r\n") +
               support;
}

void tst_Catalogue::failureReport()
{
    QFETCH(QStringList, engine);
    QFETCH(FailureBox, box);
    QFETCH(int, style);
    QFETCH(QString, expectedText);
    Failure f;
    f.number = 335544721;
    f.description = QStringLiteral("network request failed");
    f.step = 7;
    f.engineMessages = engine;
    const FailureReport r = catalogue::failureReport(f, QStringLiteral("/opt/store/"));
    QCOMPARE(r.box, box);
    QCOMPARE(r.style, style);
    QCOMPARE(r.text, expectedText);
    if (box == FailureBox::LostServer) {
        QCOMPARE(r.helpFile, QStringLiteral("/opt/store/velmora.chm"));
        QCOMPARE(r.helpTopic, 16);
    } else {
        QVERIFY(r.helpFile.isEmpty());
    }
}

void tst_Catalogue::storeHeader()
{
    QCOMPARE(catalogue::storeHeader(QStringLiteral("Main St"), QStringLiteral("07")),
             QStringLiteral("Main St  Store#: 07"));
}

QTEST_APPLESS_MAIN(tst_Catalogue)
#include "tst_catalogue.moc"
