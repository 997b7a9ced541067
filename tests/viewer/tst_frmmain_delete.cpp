// The delete question of the viewer, against a real store database.

#include "data/connection.h"

#include "viewertesting.h"

using namespace velmora;

class tst_frmMainDelete : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QPointer<frmMain> viewer;

    // A second, independent look at the database through a connection of its own.
    int databaseRows(const QString &where)
    {
        auto c = Connection::open(request().ConnString, AccessMode::Read);
        if (!c.ok())
            return -1;
        auto r = c.value()->query(QStringLiteral("SELECT COUNT(*) FROM inventory WHERE ") + where);
        return r.ok() ? int(r.value()->integer(0, 0)) : -1;
    }

private slots:
    void init()
    {
        const QString database = test::copySampleDatabase(dir.path());
        QVERIFY2(!database.isEmpty(), "the sample database (fixture sampledb) is missing");
        request().ReportKey = QStringLiteral("deletedinv");
        request().ConnString = QStringLiteral("Data Source=%1;User ID=SYSDBA;Password=masterkey;ctype=UTF8").arg(database);
        auto opened = Connection::open(request().ConnString, AccessMode::ReadWrite);
        QVERIFY2(opened.ok(), opened.ok() ? "" : qPrintable(opened.failure().description));
        viewer = new frmMain;
        viewer->connection = std::move(opened.value());
        auto rows = viewer->connection->query(QStringLiteral("SELECT * FROM inventory WHERE store = 3 ORDER BY id"));
        QVERIFY2(rows.ok(), rows.ok() ? "" : qPrintable(rows.failure().description));
        QVERIFY(rows.value()->rowCount() > 5);
        viewer->writer = viewer->connection->writer(rows.value());
        viewer->Jgrid->setTable(rows.value(), viewer->writer);
        viewer->Jgrid->setAllowDelete(true);
        viewer->show();
        viewer->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(viewer));
    }
    void cleanup()
    {
        delete viewer.data();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void deleteAsksFirst_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("answered No keeps the rows") << false;
        QTest::newRow("answered Yes deletes them") << true;
    }
    void deleteAsksFirst()
    {
        QFETCH(bool, yes);
        ReportGrid *g = viewer->Jgrid;
        const int before = g->rowCount();
        const int idColumn = g->columnByKey(u"id")->index();
        const QString first = g->text(2, idColumn), second = g->text(3, idColumn);
        const QString ids = QStringLiteral("id IN (%1, %2)").arg(first, second);
        QCOMPARE(databaseRows(ids), 2);

        g->selectRows({2, 3});
        g->tableView()->setFocus();
        QString defaultButton;
        auto asked = test::whenOpen<QMessageBox>([&](QMessageBox *box) {
            defaultButton = box->defaultButton() ? box->defaultButton()->text().remove(u'&') : QString();
            QCOMPARE(box->icon(), QMessageBox::Question);
            QCOMPARE(box->buttons().size(), 2);
            test::steps(box, {"?title=Verify Delete", "?text=Are you sure you want to delete the selected record(s)?",
                              yes ? "Yes" : "No"});
        });
        QTest::keyClick(g->tableView(), Qt::Key_Delete);
        QVERIFY(*asked);
        QCOMPARE(defaultButton, QStringLiteral("No"));
        QCOMPARE(g->rowCount(), yes ? before - 2 : before);
        QCOMPARE(databaseRows(ids), yes ? 0 : 2);
        for (int p = 1; p <= g->rowCount(); ++p)
            QCOMPARE(g->text(p, idColumn) == first || g->text(p, idColumn) == second, !yes && (p == 2 || p == 3));
    }
};

QTEST_MAIN(tst_frmMainDelete)
#include "tst_frmmain_delete.moc"
