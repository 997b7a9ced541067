// The delete question of the viewer, against a real store database.

#include "common/dialogsteps.h"
#include "common/testservices.h"
#include "core/reportrequest.h"
#include "data/connection.h"
#include "grid/reportgrid.h"
#include "viewer/frmMain.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace velmora;

class tst_frmMainDelete : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void deleteAsksFirst_data();
    void deleteAsksFirst();

private:
    int databaseRows(const QString &where);

    QTemporaryDir dir;
    QString database;
    QPointer<frmMain> viewer;
};

void tst_frmMainDelete::initTestCase()
{
    QVERIFY(dir.isValid());
}

void tst_frmMainDelete::init()
{
    database = test::copySampleDatabase(dir.path());
    QVERIFY2(!database.isEmpty(), "the sample database (fixture sampledb) is missing");
    request().ReportKey = QStringLiteral("deletedinv");
    request().ConnString = QStringLiteral("Data Source=%1;User ID=SYSDBA;Password=masterkey;ctype=UTF8").arg(database);

    auto opened = Connection::open(request().ConnString, AccessMode::ReadWrite);
    QVERIFY2(opened.ok(), opened.ok() ? "" : qPrintable(opened.failure().description));
    viewer = new frmMain;
    viewer->connection = std::move(opened.value());
    auto rows = viewer->connection->query(QStringLiteral("SELECT * FROM inventory WHERE store = 3 ORDER BY id"));
    QVERIFY2(rows.ok(), rows.ok() ? "" : qPrintable(rows.failure().description));
    std::shared_ptr<RecordTable> table = rows.value();
    QVERIFY(table->rowCount() > 5);
    viewer->writer = viewer->connection->writer(table);
    viewer->Jgrid->setTable(table, viewer->writer);
    viewer->Jgrid->setAllowDelete(true);
    viewer->show();
    QVERIFY(QTest::qWaitForWindowExposed(viewer));
    viewer->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(viewer));
}

void tst_frmMainDelete::cleanup()
{
    delete viewer.data();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

int tst_frmMainDelete::databaseRows(const QString &where)
{
    // A second, independent look at the database through a connection of its own.
    auto c = Connection::open(request().ConnString, AccessMode::Read);
    if (!c.ok())
        return -1;
    auto r = c.value()->query(QStringLiteral("SELECT COUNT(*) FROM inventory WHERE ") + where);
    if (!r.ok())
        return -1;
    return int(r.value()->integer(0, 0));
}

void tst_frmMainDelete::deleteAsksFirst_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("answered No keeps the rows") << false;
    QTest::newRow("answered Yes deletes them") << true;
}

void tst_frmMainDelete::deleteAsksFirst()
{
    QFETCH(bool, yes);
    ReportGrid *g = viewer->Jgrid;
    const int before = g->rowCount();
    const int idColumn = g->columnByKey(u"id")->index();
    const QString first = g->text(2, idColumn);
    const QString second = g->text(3, idColumn);
    const QString ids = QStringLiteral("id IN (%1, %2)").arg(first, second);
    QCOMPARE(databaseRows(ids), 2);

    g->selectRows({2, 3});
    QWidget *table = g->tableView();
    table->setFocus();
    QString defaultButton;
    auto asked = test::whenOpen<QMessageBox>([&](QMessageBox *box) {
        defaultButton = box->defaultButton() ? box->defaultButton()->text().remove(u'&') : QString();
        test::steps(box, {"?title=Verify Delete", "?text=Are you sure you want to delete the selected record(s)?",
                          yes ? "Yes" : "No"});
        QCOMPARE(box->icon(), QMessageBox::Question);
        QCOMPARE(box->buttons().size(), 2);
    });
    QTest::keyClick(table, Qt::Key_Delete);
    QVERIFY(*asked);
    QCOMPARE(defaultButton, QStringLiteral("No"));

    if (yes) {
        QCOMPARE(g->rowCount(), before - 2);
        QCOMPARE(databaseRows(ids), 0);
        for (int p = 1; p <= g->rowCount(); ++p)
            QVERIFY(g->text(p, idColumn) != first && g->text(p, idColumn) != second);
    } else {
        QCOMPARE(g->rowCount(), before);
        QCOMPARE(databaseRows(ids), 2);
        QCOMPARE(g->text(2, idColumn), first);
    }
}

QTEST_MAIN(tst_frmMainDelete)
#include "tst_frmmain_delete.moc"
