#include "core/catalogue.h"

#include <QTest>

using namespace velmora;
using namespace velmora::catalogue;

Q_DECLARE_METATYPE(velmora::catalogue::Kind)
Q_DECLARE_METATYPE(velmora::catalogue::FailureBox)

class tst_Catalogue : public QObject {
    Q_OBJECT
private slots:
    void kindFromKey_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<Kind>("kind");
        QTest::newRow("empty key is inventory") << QString() << Kind::Inventory;
        QTest::newRow("key with a blank is unknown") << "deletedinv " << Kind::Inventory;
        QTest::newRow("DeletedInv in mixed case") << "DeletedInv" << Kind::DeletedInv;
        QTest::newRow("customsql") << "customsql" << Kind::CustomSql;
        QTest::newRow("CUSTOMSQLSECURITY in capitals") << "CUSTOMSQLSECURITY" << Kind::CustomSqlSecurity;
        QTest::newRow("masterinv") << "masterInv" << Kind::MasterInv;
    }

    void kindFromKey()
    {
        QFETCH(QString, key);
        QFETCH(Kind, kind);
        QCOMPARE(catalogue::kindFromKey(key), kind);
        QCOMPARE(rowForKey(key).kind, kind);
    }

    void masterQuery_data()
    {
        const QString stem = "SELECT model, serial, stock, description, category, store, cost, rentalincome, daterec, "
                             "firstsaledate, balance as RBV from inventory where status = 'STOCK' and svcstatus "
                             "<>'SERVICE' and store <> ";
        QTest::addColumn<QString>("storeNumber");   // its leading number is compared
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("sql");
        QTest::newRow("07 without filter compares with 7") << "07" << QString() << stem + "7";
        QTest::newRow("filter follows after and") << "12abc" << "category = 'TV'" << stem + "12 and category = 'TV'";
        QTest::newRow("no digits is 0") << "abc" << QString() << stem + "0";
        QTest::newRow("blanks before digits") << "  5" << QString() << stem + "5";
        QTest::newRow("negative") << "-3" << QString() << stem + "-3";
        QTest::newRow("an injected condition is cut off") << "1 or 1=1" << QString() << stem + "1";
    }

    void masterQuery()
    {
        QFETCH(QString, storeNumber);
        QFETCH(QString, filter);
        QTEST(masterInventoryQuery(storeNumber, filter), "sql");
    }

    void securedQuery_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("rest");
        QTest::addColumn<int>("mode");
        QTest::newRow("READONLY in capitals and a blank") << "READONLY select 1" << " select 1" << 1;
        QTest::newRow("readonly in mixed case") << "ReadOnlySELECT 1" << "SELECT 1" << 1;
        QTest::newRow("prefix not at the start") << " readonly select 1" << " readonly select 1" << 3;
        QTest::newRow("short text") << "read" << "read" << 3;
        QTest::newRow("only the prefix") << "readonly" << "" << 1;
    }

    void securedQuery()
    {
        QFETCH(QString, sql);
        const SecuredQuery q = catalogue::securedQuery(sql);
        QTEST(q.sql, "rest");
        QTEST(q.mode, "mode");
    }

    void totalsFromFieldTypes_data()
    {
        QTest::addColumn<QList<int>>("types");   // type code, scale pairs
        QTest::addColumn<QString>("expected");   // "name:function ..."
        QTest::newRow("two text fields count on the first only") << QList<int>{202, 0, 202, 0} << "f1:1";
        QTest::newRow("numeric scale 2 is summed") << QList<int>{202, 0, 131, 2, 131, 2} << "f1:1 f2:2 f3:2";
        QTest::newRow("numeric scale 1 and 3 get no sum") << QList<int>{131, 1, 131, 3, 202, 0} << "f3:1";
        QTest::newRow("integers and dates get nothing") << QList<int>{3, 0, 133, 0, 135, 0, 20, 0} << "";
        QTest::newRow("count may follow a sum") << QList<int>{131, 2, 3, 0, 202, 0, 202, 0} << "f1:2 f3:1";
        QTest::newRow("long text is not the counted text") << QList<int>{203, 0, 202, 0} << "f2:1";
    }

    void totalsFromFieldTypes()
    {
        QFETCH(QList<int>, types);
        std::vector<FieldType> fields;
        for (int i = 0; i + 1 < types.size(); i += 2)
            fields.push_back({QStringLiteral("f%1").arg(i / 2 + 1), types.at(i), types.at(i + 1)});
        QStringList actual;
        for (const TotalRule &t : catalogue::totalsFromFieldTypes(fields))
            actual << t.field + QLatin1Char(':') + QString::number(t.function);
        QTEST(actual.join(u' '), "expected");
    }

    void lostServer_data()
    {
        QTest::addColumn<QString>("messages");
        QTest::addColumn<bool>("lost");
        QTest::newRow("closed port") << "Unable to complete network request to host \"127.0.0.1\".\n"
                                        "Failed to establish a connection.\n" << true;
        QTest::newRow("forcibly closed in other case") << "AN EXISTING CONNECTION WAS FORCIBLY CLOSED BY THE REMOTE HOST.\n"
                                                       << true;
        QTest::newRow("server stopped") << "connection shutdown\n" << true;
        QTest::newRow("bad sql") << "Dynamic SQL Error\nSQL error code = -104\nToken unknown\n" << false;
        QTest::newRow("no messages") << QString() << false;
    }

    void lostServer()
    {
        QFETCH(QString, messages);
        QTEST(isLostServer(messages), "lost");
    }

    void failureReport_data()
    {
        QTest::addColumn<QStringList>("engine");
        QTest::addColumn<FailureBox>("box");
        QTest::addColumn<int>("style");
        QTest::addColumn<QString>("expectedText");
        const QString base = "Error: 335544721\r\nDescription: network request failed\r\nLine#: 7\r\n"
                             "Location: Tallybook OCX.FrmMain.Form_Load";
        const QString support = "Report this information to Tech Support at 1-800-555-0147.";
        QTest::newRow("lost server")
            << QStringList{"Unable to complete network request to host \"x\".", "Failed to establish a connection."}
            << FailureBox::LostServer << 16432
            << "Not able to find Server computer on the network or lost connection to server. Check your network "
               "connections and settings, verify the server computer can be accessed through the network and retry."
               "\r\n\r\nComplete error message is below:\r\n" + base +
                   "\r\nMessage from SQL Engine: Unable to complete network request to host \"x\".\nFailed to establish a "
                   "connection.\n\r\n\r\nFor more information about this click the help button.";
        QTest::newRow("no engine message") << QStringList() << FailureBox::NoEngineMessage << 48
                                           << base + "\r\n***No error reported by primary SQL connection\r\n\r\n" + support;
        QTest::newRow("other engine messages")
            << QStringList{"Dynamic SQL Error", "SQL error code = -104"} << FailureBox::EngineMessages << 48
            << base + "\r\nMessage from SQL Engine: Dynamic SQL Error\nSQL error code = -104\n\r\n\r\n" + support;
    }

    void failureReport()
    {
        QFETCH(QStringList, engine);
        QFETCH(FailureBox, box);
        const Failure f{335544721, QStringLiteral("network request failed"), engine, 7};
        const FailureReport r = catalogue::failureReport(f, QStringLiteral("/opt/store/"));
        QCOMPARE(r.box, box);
        QTEST(r.style, "style");
        QTEST(r.text, "expectedText");
        const bool lost = box == FailureBox::LostServer;
        QCOMPARE(r.helpFile, lost ? QStringLiteral("/opt/store/velmora.chm") : QString());
        if (lost)
            QCOMPARE(r.helpTopic, 16);
    }
};

QTEST_APPLESS_MAIN(tst_Catalogue)
#include "tst_catalogue.moc"
