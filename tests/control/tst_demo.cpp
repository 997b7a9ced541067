// The demo host on the sample database: every report button opens the viewer on rows, with no
// failure box, and the master inventory button hands the store number back without its filter.

#include "../../apps/demo/demowindow.h"

#include "../viewer/viewertesting.h"

using namespace velmora;

class tst_Demo : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_store.setUp());
        // Folders given without the separator, as a user types them: the demo adds it.
        m_window = std::make_unique<DemoWindow>(DemoWindow::Options{m_store.data.chopped(1), m_store.local.chopped(1), m_store.db});
        m_window->show();
    }

    void cleanup()
    {
        test::unloadViewers();
        QVERIFY(m_window->isVisible());   // closing the viewer leaves the host alone
    }

    void titleAndFields()
    {
        QVERIFY(m_window->windowTitle().contains(QStringLiteral("Demo")));
        QCOMPARE(m_window->findChild<QLineEdit *>(QStringLiteral("txtDatapath"))->text(), m_store.data);
        QCOMPARE(m_window->findChild<QLineEdit *>(QStringLiteral("txtLocalPath"))->text(), m_store.local);
        QVERIFY(m_window->findChild<QLineEdit *>(QStringLiteral("txtConnString"))->text().contains(m_store.db));
        QVERIFY(m_window->findChild<QWidget *>(QStringLiteral("QLrvx1")));
    }

    void reportButtons_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("editable");
        QTest::newRow("inventory") << "cmdShowINVReport" << "" << false;
        QTest::newRow("service") << "cmdServiceReport" << "servicereport" << false;
        QTest::newRow("projected revenue") << "cmdProjectedReport" << "projreport" << false;
        QTest::newRow("custom sql") << "cmdCustomSQL" << "customsql" << false;
        QTest::newRow("custom sql editable") << "cmdCustomSQLSecurity" << "customsqlsecurity" << true;
        QTest::newRow("custom sql readonly") << "cmdCustomSQLSecurityReadonly" << "customsqlsecurity" << false;
        QTest::newRow("deleted inventory") << "cmdShowDeletedInv" << "deletedinv" << false;
        QTest::newRow("master inventory") << "cmdShowMasterInv" << "masterinv" << false;
    }

    void reportButtons()
    {
        QFETCH(QString, button);
        QFETCH(QString, key);
        QFETCH(bool, editable);
        // A failure box would hold the click; note it and answer it.
        QString boxText;
        auto watch = test::whenOpen<QMessageBox>([&boxText](QMessageBox *box) { boxText = box->text(); });
        QTest::mouseClick(m_window->findChild<QPushButton *>(button), Qt::LeftButton);
        QVERIFY2(boxText.isEmpty(), qPrintable(boxText));
        QCOMPARE(request().ReportKey, key);
        frmMain *viewer = frmMain::instance();
        QVERIFY(viewer && viewer->isVisible());
        QVERIFY2(viewer->Jgrid->table() && viewer->Jgrid->table()->rowCount() > 0, qPrintable(request().SQLstatement));
        QCOMPARE(viewer->Jgrid->allowEdit(), editable);
    }

    void masterButtonKeepsTheStoreNumber()
    {
        auto *number = m_window->findChild<QLineEdit *>(QStringLiteral("txtStoreNumber"));
        auto *filter = m_window->findChild<QLineEdit *>(QStringLiteral("txtMasterFilter"));
        number->setText(QStringLiteral("07"));
        filter->setText(QStringLiteral("category = 'AUDIO'"));
        QTest::mouseClick(m_window->findChild<QPushButton *>(QStringLiteral("cmdShowMasterInv")), Qt::LeftButton);
        QCOMPARE(number->text(), QStringLiteral("07"));
        QCOMPARE(request().MasterFilter, QStringLiteral("category = 'AUDIO'"));
        QVERIFY(request().SQLstatement.endsWith(QStringLiteral("store <> 7 and category = 'AUDIO'")));
        QVERIFY(frmMain::instance()->Jgrid->table()->rowCount() > 0);
    }

    void customerSearchPickShowsAndLogs()
    {
        QVERIFY(QFile::copy(test::sampleSearchFile(), m_store.local + QStringLiteral("search.tmp")));
        QTest::mouseClick(m_window->findChild<QPushButton *>(QStringLiteral("cmdShowCustSearch")), Qt::LeftButton);
        QVERIFY(frmMain::instance());
        ReportGrid *g = frmMain::instance()->Jgrid;
        g->setCurrentRow(4);
        QTest::keyClick(g->tableView(), Qt::Key_Return);
        const QString account = g->text(4, g->columnByKey(u"account")->index());
        QVERIFY(!account.isEmpty());
        QCOMPARE(m_window->findChild<QLabel *>(QStringLiteral("lblPickedAccount"))->text(), account);
        const QStringList log =
            m_window->findChild<QPlainTextEdit *>(QStringLiteral("txtChangeLog"))->toPlainText().split(u'\n');
        QCOMPARE(log.size(), 1);
        QVERIFY(log.first().endsWith(QStringLiteral("Change: Caption = \"%1\"").arg(account)));
    }

private:
    test::SampleStore m_store;
    std::unique_ptr<DemoWindow> m_window;
};

QTEST_MAIN(tst_Demo)
#include "tst_demo.moc"
