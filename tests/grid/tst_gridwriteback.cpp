// The grid over the sample store database: edits and deletes go back through the data layer,
// refusals restore what was there, and totals match the database's own sums.

#include "../common/testservices.h"
#include "../common/tools.h"
#include "data/connection.h"
#include "grid/gridtableview.h"
#include "grid/reportgrid.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

using namespace velmora;

class tst_GridWriteBack : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void typedIntoACell_data();
    void typedIntoACell();
    void rowChangedElsewhereIsRefusedAndRestored();
    void readOnlyConnectionRefusesEveryChange();
    void deleteKey_data();
    void deleteKey();
    void totalsMatchTheDatabaseSums();
    void newItemRowInsertsARecord();
    void refusedInsertKeepsTheTypedRow_data();
    void refusedInsertKeepsTheTypedRow();
    void leavingTheNewItemRow_data();
    void leavingTheNewItemRow();
    void clickOnTheNewItemRowEditsIt();
    void newItemRowOnlyWhereRowsCanBeAdded();

private:
    std::unique_ptr<Connection> open(AccessMode mode);
    void bind(AccessMode mode, const QString &sql);
    // What the database holds now, through a connection of its own: the first column of the first row.
    QString stored(const QString &select);
    int positionOfId(int id) const;
    QLineEdit *shownEditor() const;
    void type(QLineEdit *editor, const QString &text);
    void typeIntoNewRow(const QStringList &cells);
    void bindForAdding();

    QTemporaryDir m_dir;
    QString m_db;
    std::unique_ptr<Connection> m_conn;
    std::unique_ptr<ReportGrid> m_grid;
};

std::unique_ptr<Connection> tst_GridWriteBack::open(AccessMode mode)
{
    auto c = Connection::open(
        QStringLiteral("Provider=LCPI.IBProvider.3;Data Source=%1;User ID=SYSDBA;Password=masterkey;ctype=UTF8").arg(m_db), mode);
    if (!c.ok())
        qWarning("%s", qPrintable(c.failure().text()));
    return c.ok() ? std::move(c.value()) : nullptr;
}

void tst_GridWriteBack::bind(AccessMode mode, const QString &sql)
{
    m_conn = open(mode);
    QVERIFY(m_conn);
    auto r = m_conn->query(sql);
    QVERIFY2(r.ok(), r.ok() ? "" : qPrintable(r.failure().text()));
    std::shared_ptr<RecordWriter> writer = m_conn->writer(r.value());
    m_grid->setTable(r.value(), writer);
}

QString tst_GridWriteBack::stored(const QString &select)
{
    auto other = open(AccessMode::Read);
    auto r = other ? other->query(select) : Result<std::shared_ptr<RecordTable>>(Failure{});
    if (!r.ok() || r.value()->rowCount() == 0)
        return QStringLiteral("(nothing)");
    return r.value()->displayText(0, 0);
}

int tst_GridWriteBack::positionOfId(int id) const
{
    const int idColumn = m_grid->columnByKey(u"id")->index();
    for (int p = 1; p <= m_grid->rowCount(); ++p)
        if (m_grid->row(p).type == GridRowType::Record && m_grid->value(p, idColumn).toInt() == id)
            return p;
    return 0;
}

void tst_GridWriteBack::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY2(QFile::exists(test::sampleDatabase()), "the sampledb fixture makes the sample database");
}

void tst_GridWriteBack::init()
{
    QLocale::setDefault(QLocale::c());
    m_db = test::copySampleDatabase(m_dir.path());
    QVERIFY(!m_db.isEmpty());
    m_grid = std::make_unique<ReportGrid>();
    m_grid->resize(900, 500);
}

void tst_GridWriteBack::cleanup()
{
    m_grid.reset();
    m_conn.reset();
}

QLineEdit *tst_GridWriteBack::shownEditor() const
{
    // An editor that was just closed lingers until deleteLater; the open one is the shown one.
    const auto editors = m_grid->tableView()->findChildren<QLineEdit *>(QStringLiteral("cellEditor"));
    for (QLineEdit *e : editors)
        if (e->isVisible())
            return e;
    return nullptr;
}

// Replaces the editor's text as a user types it; accented and CJK text arrives from an input method.
void tst_GridWriteBack::type(QLineEdit *editor, const QString &text)
{
    editor->selectAll();
    editor->del();
    if (std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 128; })) {
        QTest::keyClicks(editor, text);
    } else {
        QInputMethodEvent typing;
        typing.setCommitString(text);
        QApplication::sendEvent(editor, &typing);
    }
}

void tst_GridWriteBack::typedIntoACell_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");   // as isql-fb shows it; the value before the edit when refused
    QTest::addColumn<QString>("refusal");  // a part of the message, empty when written

    QTest::newRow("text with accents and CJK") << "t" << "C" << QStringLiteral("Größe 大 señal") << QStringLiteral("Größe 大 señal") << "";
    QTest::newRow("empty text") << "t" << "C" << "" << "" << "";
    QTest::newRow("numeric(18,4) past double precision") << "n4" << "C" << "123456789012345.6789" << "123456789012345.6789" << "";
    QTest::newRow("numeric(18,4) largest, US groups") << "n4" << "en_US" << "922,337,203,685,477.5807" << "922337203685477.5807" << "";
    QTest::newRow("numeric(18,4) twenty nines") << "n4" << "C" << "99999999999999999999" << "1.0000" << "922337203685477.5807";
    QTest::newRow("numeric(18,4) fifth decimal") << "n4" << "C" << "1.23456" << "1.0000" << "at most 4 decimals";
    QTest::newRow("numeric(9,2) German") << "n2" << "de_DE" << "-21.474.836,48" << "-21474836.48" << "";
    QTest::newRow("numeric(9,2) past 32 bits") << "n2" << "C" << "21474836.48" << "1.00" << "21474836.47";
    QTest::newRow("bigint past 2^53") << "bi" << "C" << "9007199254740993" << "9007199254740993" << "";
    QTest::newRow("bigint past the largest") << "bi" << "C" << "9223372036854775808" << "1" << "9223372036854775807";
    QTest::newRow("smallint largest") << "si" << "C" << "32767" << "32767" << "";
    QTest::newRow("smallint one more") << "si" << "C" << "32768" << "1" << "32767";
    QTest::newRow("date in the user's form") << "d" << "de_DE" << "29.02.24" << "2024-02-29" << "";
    QTest::newRow("not a date") << "d" << "C" << "2024-02-30" << "2000-01-01" << "holds dates";
}

void tst_GridWriteBack::typedIntoACell()
{
    QFETCH(QString, field);
    QFETCH(QString, locale);
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QFETCH(QString, refusal);
    m_conn = open(AccessMode::ReadWrite);
    QVERIFY(m_conn);
    QVERIFY(m_conn->execute(QStringLiteral("CREATE TABLE amounts (id INTEGER NOT NULL PRIMARY KEY, si SMALLINT, "
                                           "bi BIGINT, n4 NUMERIC(18,4), n2 NUMERIC(9,2), d DATE, t VARCHAR(40))")).ok());
    QVERIFY(m_conn->execute(QStringLiteral("INSERT INTO amounts VALUES (1, 1, 1, 1, 1, '2000-01-01', 'before')")).ok());
    bind(AccessMode::ReadWrite, QStringLiteral("SELECT * FROM amounts"));
    QLocale::setDefault(QLocale(locale));
    m_grid->setAllowEdit(true);
    m_grid->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_grid.get()));
    QSignalSpy refused(m_grid.get(), &ReportGrid::writeRefused);
    m_grid->setCurrentRow(1);
    m_grid->setCurrentColumn(m_grid->columnByKey(field)->index());
    QTest::keyClick(m_grid->tableView(), Qt::Key_F2);
    QVERIFY(shownEditor());
    type(shownEditor(), typed);
    QTest::keyClick(shownEditor(), Qt::Key_Return);
    if (refusal.isEmpty()) {
        QVERIFY2(refused.isEmpty(), refused.isEmpty() ? "" : qPrintable(refused.first().first().toString()));
        if (field == u"t")
            QCOMPARE(m_grid->text(1, m_grid->columnByKey(field)->index()), typed);
    } else {
        QCOMPARE(refused.count(), 1);
        QVERIFY2(refused.first().first().toString().contains(refusal), qPrintable(refused.first().first().toString()));
        // The typed text waits in the editor to be corrected.
        QVERIFY(shownEditor());
        QCOMPARE(shownEditor()->text(), typed);
    }
    m_grid.reset();
    m_conn.reset();
    QCOMPARE(test::isqlValue(m_db, QStringLiteral("SELECT %1 FROM amounts WHERE id = 1").arg(field)), stored);
}

void tst_GridWriteBack::rowChangedElsewhereIsRefusedAndRestored()
{
    bind(AccessMode::ReadWrite, QStringLiteral("SELECT id, model, description, cost FROM inventory WHERE id <= 40 ORDER BY id"));
    m_grid->setAllowEdit(true);
    const int pos = 3;
    const int id = m_grid->value(pos, 1).toInt();
    const QString before = m_grid->text(pos, 3);
    auto other = open(AccessMode::ReadWrite);
    QVERIFY(other);
    QVERIFY(other->execute(QStringLiteral("UPDATE inventory SET description = 'changed at the counter' WHERE id = %1").arg(id)).ok());

    QSignalSpy refused(m_grid.get(), &ReportGrid::writeRefused);
    QVERIFY(!m_grid->editCell(pos, 3, QStringLiteral("my change")));
    QCOMPARE(refused.count(), 1);
    QVERIFY(!refused.first().first().toString().isEmpty());
    QCOMPARE(m_grid->text(pos, 3), before);
    QCOMPARE(stored(QStringLiteral("SELECT description FROM inventory WHERE id = %1").arg(id)), QStringLiteral("changed at the counter"));
}

void tst_GridWriteBack::readOnlyConnectionRefusesEveryChange()
{
    bind(AccessMode::Read, QStringLiteral("SELECT id, description FROM inventory WHERE id <= 5 ORDER BY id"));
    m_grid->setAllowEdit(true);
    m_grid->setAllowDelete(true);
    m_grid->setAllowAddNew(true);
    QVERIFY(!m_grid->newRowShown());
    QSignalSpy refused(m_grid.get(), &ReportGrid::writeRefused);
    const QString before = m_grid->text(1, 2);
    QVERIFY(!m_grid->editCell(1, 2, QStringLiteral("nope")));
    QCOMPARE(refused.count(), 1);
    QCOMPARE(m_grid->text(1, 2), before);
    m_grid->selectRows({2});
    QVERIFY(!m_grid->deleteSelectedRows());
    QCOMPARE(refused.count(), 2);
    QCOMPARE(m_grid->rowCount(), 5);
}

void tst_GridWriteBack::deleteKey_data()
{
    QTest::addColumn<bool>("cancel");   // what the host answers to the question before deleting
    QTest::newRow("deletes the selected rows after asking") << false;
    QTest::newRow("a cancelled delete keeps them") << true;
}

void tst_GridWriteBack::deleteKey()
{
    QFETCH(bool, cancel);
    bind(AccessMode::ReadWrite, QStringLiteral("SELECT id, model, description FROM inventory WHERE id <= 40 ORDER BY id"));
    m_grid->setAllowDelete(true);
    m_grid->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_grid.get()));
    const int rows = m_grid->rowCount();
    const int a = m_grid->value(2, 1).toInt(), b = m_grid->value(7, 1).toInt();
    int asked = 0;
    connect(m_grid.get(), &ReportGrid::beforeDelete, this, [&](bool &c) { ++asked, c = cancel; });
    QSignalSpy refused(m_grid.get(), &ReportGrid::writeRefused);
    m_grid->setCurrentRow(2);
    m_grid->selectRows({2, 7});
    QTest::keyClick(m_grid->tableView(), Qt::Key_Delete);
    QCOMPARE(asked, 1);
    QVERIFY(refused.isEmpty());
    QCOMPARE(m_grid->rowCount(), cancel ? rows : rows - 2);
    QCOMPARE(positionOfId(a) > 0, cancel);
    QCOMPARE(positionOfId(b) > 0, cancel);
    QCOMPARE(stored(QStringLiteral("SELECT COUNT(*) FROM inventory WHERE id IN (%1, %2)").arg(a).arg(b)),
             cancel ? QStringLiteral("2") : QStringLiteral("0"));
}

void tst_GridWriteBack::totalsMatchTheDatabaseSums()
{
    bind(AccessMode::Read, QStringLiteral("SELECT * FROM inventory"));
    GridColumn *cost = m_grid->columnByKey(u"COST");
    QVERIFY(cost);
    cost->setAggregateFunction(2);
    cost->setTotalFormat(QStringLiteral("#,##0.00"));
    GridColumn *model = m_grid->columnByKey(u"model");
    model->setAggregateFunction(1);
    model->setTotalFormat(QStringLiteral("#0"));
    model->setTotalPrefix(QStringLiteral("Count:"));
    m_grid->groups().add(m_grid->columnByKey(u"store")->index(), 1);
    m_grid->regroup(true);

    auto other = open(AccessMode::Read);
    auto sums = other->query(QStringLiteral("SELECT store, SUM(cost), COUNT(model) FROM inventory GROUP BY store ORDER BY store"));
    QVERIFY(sums.ok());
    const RecordTable &s = *sums.value();
    QVERIFY(s.rowCount() >= 2);
    // Collapsed: header and footer per store, stores ascending (nulls first, if any).
    int footer = 0;
    for (int p = 1; p <= m_grid->rowCount(); ++p) {
        if (m_grid->row(p).type != GridRowType::GroupFooter)
            continue;
        const int r = footer++;
        QVERIFY(r < s.rowCount());
        // Formatted here independently: whole units with thousands commas, then the cents.
        const qint64 cents = s.isNull(r, 1) ? 0 : s.integer(r, 1);
        QString units = QString::number(std::abs(cents) / 100);
        for (int i = int(units.size()) - 3; i > 0; i -= 3)
            units.insert(i, QLatin1Char(','));
        const QString expected = (cents < 0 ? QStringLiteral("-") : QString()) + units + QLatin1Char('.')
            + QString::number(std::abs(cents) % 100).rightJustified(2, QLatin1Char('0'));
        QCOMPARE(m_grid->text(p, cost->index()), expected);
        QCOMPARE(m_grid->text(p, model->index()), QStringLiteral("Count: %1").arg(s.integer(r, 2)));
    }
    QCOMPARE(footer, s.rowCount());
}

// From the last row, Down reaches the new-item row; the cells are typed from the current column
// on, Tab moving to the next one, an empty text leaving a cell as it is.
void tst_GridWriteBack::typeIntoNewRow(const QStringList &cells)
{
    m_grid->setCurrentRow(m_grid->rowCount());
    m_grid->setCurrentColumn(m_grid->columnByKey(u"id")->index());
    QWidget *view = m_grid->tableView();
    view->setFocus();
    QTest::keyClick(view, Qt::Key_Down);
    QTest::keyClick(view, Qt::Key_F2);
    for (int i = 0; i < cells.size(); ++i) {
        QLineEdit *editor = shownEditor();
        QVERIFY2(editor, "the new-item row opens the cell editor");
        if (!cells[i].isEmpty())
            type(editor, cells[i]);
        if (i + 1 < cells.size())
            QTest::keyClick(editor, Qt::Key_Tab);
    }
}

void tst_GridWriteBack::bindForAdding()
{
    bind(AccessMode::ReadWrite, QStringLiteral("SELECT id, model, description, cost, store FROM inventory WHERE id <= 40 ORDER BY id"));
    m_grid->setAllowEdit(true);
    m_grid->setAllowAddNew(true);
    m_grid->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_grid.get()));
}

void tst_GridWriteBack::newItemRowInsertsARecord()
{
    bindForAdding();
    GridColumn *cost = m_grid->columnByKey(u"cost");
    cost->setAggregateFunction(2);
    cost->setTotalFormat(QStringLiteral("#0.00"));
    m_grid->groups().add(m_grid->columnByKey(u"store")->index(), 1);
    m_grid->regroup();
    QVERIFY(m_grid->newRowShown());
    const int records = m_grid->table()->rowCount();
    const int storeColumn = m_grid->columnByKey(u"store")->index();
    QString store;
    for (int p = 1; p <= m_grid->rowCount() && store.isEmpty(); ++p)
        if (m_grid->row(p).type == GridRowType::Record)
            store = m_grid->text(p, storeColumn);
    QVERIFY(!store.isEmpty());
    QSignalSpy refused(m_grid.get(), &ReportGrid::writeRefused);

    typeIntoNewRow({QStringLiteral("900001"), QStringLiteral("NR-1"), QStringLiteral("Neu ñ"), QStringLiteral("1000.5"), store});
    QTest::keyClick(shownEditor(), Qt::Key_Return);

    QVERIFY2(refused.isEmpty(), refused.isEmpty() ? "" : qPrintable(refused.first().first().toString()));
    QVERIFY(!m_grid->newRowPending());
    QCOMPARE(m_grid->table()->rowCount(), records + 1);
    const int pos = positionOfId(900001);
    QVERIFY(pos > 0);
    QCOMPARE(m_grid->currentRow(), pos);
    QCOMPARE(m_grid->text(pos, cost->index()), QStringLiteral("1000.50"));
    QCOMPARE(m_grid->text(pos, storeColumn), store);

    QCOMPARE(stored(QStringLiteral("SELECT model || '|' || description || '|' || cost || '|' || store FROM inventory "
                                   "WHERE id = 900001")),
             QStringLiteral("NR-1|Neu ñ|1000.50|") + store);

    // The new record sits in its store's group, and that group's total counts it.
    int footer = 0;
    for (int p = pos; p <= m_grid->rowCount() && !footer; ++p)
        if (m_grid->row(p).type == GridRowType::GroupFooter)
            footer = p;
    QVERIFY(footer > 0);
    QCOMPARE(m_grid->text(footer, cost->index()),
             stored(QStringLiteral("SELECT SUM(cost) FROM inventory WHERE (id <= 40 OR id = 900001) AND store = %1").arg(store)));
}

void tst_GridWriteBack::refusedInsertKeepsTheTypedRow_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("cost");
    QTest::addColumn<QString>("fixField");
    QTest::addColumn<QString>("fixText");
    QTest::addColumn<int>("newId");
    QTest::newRow("key already taken") << "1" << "5" << "id" << "900002" << 900002;
    QTest::newRow("cost is not a number") << "900003" << "lots" << "cost" << "12.5" << 900003;
}

void tst_GridWriteBack::refusedInsertKeepsTheTypedRow()
{
    QFETCH(QString, id);
    QFETCH(QString, cost);
    QFETCH(QString, fixField);
    QFETCH(QString, fixText);
    QFETCH(int, newId);
    bindForAdding();
    const int rows = m_grid->rowCount();
    QSignalSpy refused(m_grid.get(), &ReportGrid::writeRefused);
    typeIntoNewRow({id, QString(), QString(), cost});
    QTest::keyClick(shownEditor(), Qt::Key_Return);

    QCOMPARE(refused.count(), 1);
    QVERIFY(!refused.first().first().toString().isEmpty());
    QCOMPARE(m_grid->rowCount(), rows);
    QVERIFY(m_grid->newRowPending());
    QCOMPARE(m_grid->newRowText(m_grid->columnByKey(u"id")->index()), id);
    QCOMPARE(m_grid->newRowText(m_grid->columnByKey(u"cost")->index()), cost);
    const QString count = QStringLiteral("SELECT COUNT(*) FROM inventory WHERE id = %1").arg(newId);
    QCOMPARE(stored(count), QStringLiteral("0"));

    // The typed values are still there to correct: the editor opens on them.
    m_grid->setCurrentColumn(m_grid->columnByKey(fixField)->index());
    QTest::keyClick(m_grid->tableView(), Qt::Key_F2);
    QLineEdit *editor = shownEditor();
    QVERIFY(editor);
    QCOMPARE(editor->text(), fixField == u"id" ? id : cost);
    type(editor, fixText);
    QTest::keyClick(editor, Qt::Key_Return);
    QCOMPARE(refused.count(), 1);
    QVERIFY(!m_grid->newRowPending());
    QCOMPARE(m_grid->rowCount(), rows + 1);
    QVERIFY(positionOfId(newId) > 0);
    QCOMPARE(stored(count), QStringLiteral("1"));
}

void tst_GridWriteBack::leavingTheNewItemRow_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Up arrow inserts") << "up";
    QTest::newRow("a click on a record inserts") << "click";
    QTest::newRow("focus to another widget inserts") << "focus";
    QTest::newRow("Escape discards, and leaving then has nothing to insert") << "escape";
}

void tst_GridWriteBack::leavingTheNewItemRow()
{
    QFETCH(QString, how);
    bindForAdding();
    auto *elsewhere = new QLineEdit(m_grid.get());
    elsewhere->setGeometry(0, 0, 10, 10);
    elsewhere->show();
    const int rows = m_grid->rowCount();
    QSignalSpy refused(m_grid.get(), &ReportGrid::writeRefused);
    typeIntoNewRow({QStringLiteral("900005"), QStringLiteral("LEFT-1")});
    QLineEdit *editor = shownEditor();
    QVERIFY(editor);
    QVERIFY(m_grid->newRowPending());
    if (how == u"up") {
        // Straight from the open editor: the cell is committed, then the row is left.
        QTest::keyClick(editor, Qt::Key_Up);
    } else if (how == u"click") {
        auto *view = static_cast<grid::GridTableView *>(m_grid->tableView());
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->cellRect(view->firstRow() + 1, 1).center());
    } else if (how == u"focus") {
        elsewhere->setFocus();
    } else {
        QTest::keyClick(editor, Qt::Key_Escape);
        QVERIFY(!m_grid->newRowPending());
        QVERIFY(!shownEditor());
        QTest::keyClick(m_grid->tableView(), Qt::Key_Up);
    }
    QTRY_VERIFY(!m_grid->newRowPending());
    QVERIFY2(refused.isEmpty(), refused.isEmpty() ? "" : qPrintable(refused.first().first().toString()));
    const bool inserted = how != u"escape";
    QCOMPARE(m_grid->rowCount(), rows + inserted);
    QCOMPARE(positionOfId(900005) > 0, inserted);
    QCOMPARE(stored(QStringLiteral("SELECT model FROM inventory WHERE id = 900005")),
             inserted ? QStringLiteral("LEFT-1") : QStringLiteral("(nothing)"));
}

void tst_GridWriteBack::clickOnTheNewItemRowEditsIt()
{
    bind(AccessMode::ReadWrite, QStringLiteral("SELECT id, model FROM inventory WHERE id <= 3 ORDER BY id"));
    m_grid->setAllowEdit(true);
    m_grid->setAllowAddNew(true);
    m_grid->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_grid.get()));
    auto *view = static_cast<grid::GridTableView *>(m_grid->tableView());
    // Below the three records, in the model column.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->cellRect(3, 1).center());
    QLineEdit *editor = shownEditor();
    QVERIFY2(editor, "a click on the new-item row opens its editor");
    QVERIFY(editor->text().isEmpty());
    QCOMPARE(m_grid->currentColumn(), m_grid->columnByKey(u"model")->index());
    QCOMPARE(m_grid->rowCount(), 3);
    // One row further down is past the new-item row: nothing there.
    const int before = m_grid->currentRow();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->cellRect(4, 1).center());
    QCOMPARE(m_grid->currentRow(), before);
    QVERIFY(!m_grid->newRowPending());
}

void tst_GridWriteBack::newItemRowOnlyWhereRowsCanBeAdded()
{
    m_grid->setAllowEdit(true);
    m_grid->setAllowAddNew(true);
    bind(AccessMode::ReadWrite, QStringLiteral("SELECT id, description FROM inventory WHERE id <= 5 ORDER BY id"));
    QVERIFY(m_grid->newRowShown());
    m_grid->setAllowEdit(false);
    QVERIFY(!m_grid->newRowShown());
    m_grid->setAllowEdit(true);
    m_grid->setAllowAddNew(false);
    QVERIFY(!m_grid->newRowShown());
    // The row is no record: counts stay those of the records, yet the view scrolls one row
    // further to show it under the last one.
    bind(AccessMode::ReadWrite, QStringLiteral("SELECT id, description FROM inventory WHERE id <= 40 ORDER BY id"));
    m_grid->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_grid.get()));
    auto *view = static_cast<grid::GridTableView *>(m_grid->tableView());
    const int without = view->verticalScrollBar()->maximum();
    QVERIFY(without > 0);
    m_grid->setAllowAddNew(true);
    QCOMPARE(view->verticalScrollBar()->maximum(), without + 1);
    QCOMPARE(m_grid->rowCount(), 40);
    view->setFirstRow(without + 1);
    const QRect below = view->cellRect(40, 0);
    QVERIFY(view->viewport()->rect().contains(below.center()));
    QCOMPARE(m_grid->rowFromPoint(view->viewport()->mapTo(m_grid.get(), below.center())), 0);
    QCOMPARE(m_grid->rowFromPoint(view->viewport()->mapTo(m_grid.get(), view->cellRect(39, 0).center())), 40);
}

QTEST_MAIN(tst_GridWriteBack)
#include "tst_gridwriteback.moc"
