#include "dialogtesting.h"

#include "dialogs/frmShowfields.h"

using namespace velmora;
using namespace velmora::test;

class tst_Showfields : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        // Shown: account, city, state, zip, phone. Hidden: name, bbbalance, email; recupdate and ss1
        // hidden and withheld from the lists; the totals column hidden.
        grid = customerGrid();
        for (int c : {Name, Balance, Email})
            grid->column(c)->setVisible(false);
    }

    void cleanup() { QVERIFY(!QApplication::activeModalWidget()); }

    void choose_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("shown");   // visible columns in display order afterwards

        const QString before = "account,city,state,zip,phone";
        QTest::newRow("captions, and both lists filled by display position")
            << QStringList{"?title=Show Fields", "?lblcaption(0)=Available fields:",
                           "?lblcaption(1)=Show these fields in this order:", "?cmdAdd=Add ->", "?cmdRemove=<- Remove",
                           "?cmdUp=Move Up", "?cmdDown=Move Down", "?lstVisible=" + before,
                           "?lstAvail=name,bbbalance,email", "?enabled:cmdAdd", "?disabled:cmdUp", "?enabled:cmdDown",
                           "cmdCancel"}
            << false << before;
        QTest::newRow("a column goes back to its own place among the shown")
            << QStringList{"lstAvail=name", "cmdAdd", "?lstVisible=account,name,city,state,zip,phone",
                           "?lstAvail=bbbalance,email", "cmdOK"}
            << true << "account,name,city,state,zip,phone";
        QTest::newRow("a column past the shown count is appended")
            << QStringList{"lstAvail=email", "cmdAdd", "cmdOK"} << true << before + ",email";
        QTest::newRow("added twice it takes the place it was given the first time")
            << QStringList{"lstAvail=email", "cmdAdd", "lstAvail=name", "cmdAdd", "lstVisible=email", "cmdRemove",
                           "?lstAvail=bbbalance,email", "cmdAdd", "cmdOK"}
            << true << "account,name,city,state,zip,email,phone";
        QTest::newRow("double-clicks add and remove")
            << QStringList{"lstAvail*=name", "lstVisible*=state", "?lstAvail=bbbalance,email,state", "cmdOK"}
            << true << "account,name,city,zip,phone";
        QTest::newRow("several removed at once in reverse order")
            << QStringList{"lstVisible=city", "lstVisible+=state", "lstVisible+=phone", "cmdRemove",
                           "?lstAvail=name,bbbalance,email,phone,state,city", "cmdOK"}
            << true << "account,zip";
        QTest::newRow("moved up and down; nothing past either end")
            << QStringList{"lstVisible=zip", "cmdUp", "cmdUp", "lstVisible=account", "cmdDown", "lstVisible=zip",
                           "?disabled:cmdUp", "cmdUp", "lstVisible=phone", "?disabled:cmdDown", "cmdDown", "cmdOK"}
            << true << "zip,account,city,state,phone";
        QTest::newRow("everything removed")
            << QStringList{"lstVisible^Ctrl+A", "cmdRemove", "?lstVisible=", "?disabled:cmdRemove", "?disabled:cmdUp",
                           "?disabled:cmdDown", "cmdOK"}
            << true << "";
        QTest::newRow("everything added, last selected first; withheld fields stay out")
            << QStringList{"lstAvail^Ctrl+A", "cmdAdd", "?lstAvail=", "?disabled:cmdAdd", "cmdOK"}
            << true << "account,name,city,state,zip,phone,email,bbbalance";
        QTest::newRow("Cancel leaves the grid")
            << QStringList{"lstAvail=name", "cmdAdd", "lstVisible=zip", "cmdRemove", "cmdCancel"} << false << before;
        QTest::newRow("closing the window leaves the grid")
            << QStringList{"lstAvail=name", "cmdAdd", "close"} << false << before;
    }

    void choose()
    {
        QFETCH(QStringList, steps);
        QFETCH(bool, accepted);
        bool result = !accepted;
        play<frmShowfields>(steps, [&] { result = frmShowfields::ShowFields(*grid); });
        QCOMPARE(result, accepted);
        QTEST(shownColumns(*grid), "shown");
        QVERIFY(!grid->column(Totals)->visible());
    }
private:
    std::unique_ptr<ReportGrid> grid;
};

QTEST_MAIN(tst_Showfields)
#include "tst_showfields.moc"
