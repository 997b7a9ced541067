// The delete question of the viewer, against a real store database.

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
#include <QTimer>

#include <functional>
#include <memory>

using namespace velmora;

namespace {

// What the question looked like, and the answer given to it.
struct Question {
    bool asked = false;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
    QString defaultButton;
};

class QuestionAnswer : public QObject {
public:
    QuestionAnswer(QMessageBox::StandardButton answer, Question &seen) : m_answer(answer), m_seen(seen)
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || m_seen.asked)
                return;
            m_seen.asked = true;
            m_seen.title = box->windowTitle();
            m_seen.text = box->text();
            m_seen.icon = box->icon();
            for (QAbstractButton *b : box->buttons())
                m_seen.buttons << b->text().remove(QLatin1Char('&'));
            if (box->defaultButton())
                m_seen.defaultButton = box->defaultButton()->text().remove(QLatin1Char('&'));
            box->button(m_answer)->click();
        });
        m_timer.start(10);
    }

private:
    QTimer m_timer;
    QMessageBox::StandardButton m_answer;
    Question &m_seen;
};

} // namespace

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
    Question seen;
    {
        QuestionAnswer answer(yes ? QMessageBox::Yes : QMessageBox::No, seen);
        QTest::keyClick(table, Qt::Key_Delete);
    }
    QVERIFY(seen.asked);
    QCOMPARE(seen.title, QStringLiteral("Verify Delete"));
    QCOMPARE(seen.text, QStringLiteral("Are you sure you want to delete the selected record(s)?"));
    QCOMPARE(seen.icon, QMessageBox::Question);
    QCOMPARE(seen.buttons.size(), 2);
    QVERIFY(seen.buttons.contains(QStringLiteral("Yes")));
    QVERIFY(seen.buttons.contains(QStringLiteral("No")));
    QCOMPARE(seen.defaultButton, QStringLiteral("No"));

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
