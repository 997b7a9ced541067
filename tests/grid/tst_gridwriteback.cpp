// The grid over the sample store database: edits and new rows go back through the data layer,
// refusals restore what was there, and a group's total matches the database's own sum. What was
// stored is read with isql-fb once the grid has let go of the database.

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

static const QString AddingSql =
    QStringLiteral("SELECT id, model, description, cost, store FROM inventory WHERE id <= 40 ORDER BY id");

class tst_GridWriteBack : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY2(QFile::exists(test::sampleDatabase()), "the sampledb fixture makes the sample database");
    }

    void init()
    {
        QLocale::setDefault(QLocale::c());
        m_db = test::copySampleDatabase(m_dir.path());
        QVERIFY(!m_db.isEmpty());
        m_grid = std::make_unique<ReportGrid>();
        m_grid->resize(900, 500);
    }

    void cleanup()
    {
        m_grid.reset();
        m_conn.reset();
    }

    // The rules for each type and locale have their own table; these rows are one per way a typed
    // text reaches the database or is held back in the editor.
    void typedIntoACell_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");   // as isql-fb shows it; the value before the edit when refused
        QTest::addColumn<QString>("refusal");  // a part of the message, empty when written

        QTest::newRow("text with accents and CJK") << "t" << "C" << QStringLiteral("Größe 大 señal") << QStringLiteral("Größe 大 señal") << "";
        QTest::newRow("numeric(18,4) past double precision") << "n4" << "C" << "123456789012345.6789" << "123456789012345.6789" << "";
        QTest::newRow("numeric(9,2) German") << "n2" << "de_DE" << "-21.474.836,48" << "-21474836.48" << "";
        QTest::newRow("numeric(18,4) fifth decimal") << "n4" << "C" << "1.23456" << "1.0000" << "at most 4 decimals";
        QTest::newRow("date in the user's form") << "d" << "de_DE" << "29.02.24" << "2024-02-29" << "";
    }

    void typedIntoACell()
    {
        QFETCH(QString, field);
        QFETCH(QString, locale);
        QFETCH(QString, typed);
        QFETCH(QString, refusal);
        m_conn = open(AccessMode::ReadWrite);
        QVERIFY(m_conn);
        QVERIFY(m_conn->execute(QStringLiteral("CREATE TABLE amounts (id INTEGER NOT NULL PRIMARY KEY, "
                                               "n4 NUMERIC(18,4), n2 NUMERIC(9,2), d DATE, t VARCHAR(40))")).ok());
        QVERIFY(m_conn->execute(QStringLiteral("INSERT INTO amounts VALUES (1, 1, 1, '2000-01-01', 'before')")).ok());
        bind(AccessMode::ReadWrite, QStringLiteral("SELECT * FROM amounts"), QStringLiteral("edit"));
        QLocale::setDefault(QLocale(locale));
        QSignalSpy refused(m_grid.get(), &ReportGrid::writeRefused);
        m_grid->setCurrentRow(1);
        retype(field, typed);
        if (refusal.isEmpty()) {
            QVERIFY2(refused.isEmpty(), qPrintable(this->refusal(refused)));
            if (field == u"t")
                QCOMPARE(m_grid->text(1, m_grid->columnByKey(field)->index()), typed);
        } else {
            QVERIFY2(refused.count() == 1 && this->refusal(refused).contains(refusal), qPrintable(this->refusal(refused)));
            // The typed text waits in the editor to be corrected.
            QCOMPARE(shownEditor() ? shownEditor()->text() : QString(), typed);
        }
        QTEST(stored(QStringLiteral("SELECT %1 FROM amounts WHERE id = 1").arg(field)), "stored");
    }

    void rowChangedElsewhereIsRefusedAndRestored()
    {
        bind(AccessMode::ReadWrite, QStringLiteral("SELECT id, model, description, cost FROM inventory WHERE id <= 40 ORDER BY id"),
             QStringLiteral("edit"));
        const int pos = 3;
        const int id = m_grid->value(pos, 1).toInt();
        const QString before = m_grid->text(pos, 3);
        auto other = open(AccessMode::ReadWrite);   // another user's change, committed before ours
        QVERIFY(other && other->execute(QStringLiteral("UPDATE inventory SET description = 'changed at the counter' "
                                                       "WHERE id = %1").arg(id)).ok());
        other.reset();

        QSignalSpy refused(m_grid.get(), &ReportGrid::writeRefused);
        QVERIFY(!m_grid->editCell(pos, 3, QStringLiteral("my change")));
        QVERIFY(refused.count() == 1 && !refusal(refused).isEmpty());
        QCOMPARE(m_grid->text(pos, 3), before);
        QCOMPARE(stored(QStringLiteral("SELECT description FROM inventory WHERE id = %1").arg(id)),
                 QStringLiteral("changed at the counter"));
    }

    // From the last row, Down reaches the new-item row; its cells are typed and the row is left.
    void newItemRow_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("cost");
        QTest::addColumn<QString>("leave");      // Return (grouped by store with totals), Up, click, focus, Escape
        QTest::addColumn<QString>("fixField");   // refused at first, then corrected in this field; empty: not refused
        QTest::addColumn<QString>("fixText");
        QTest::newRow("Return inserts") << "900001" << "1000.5" << "return" << "" << "";
        QTest::newRow("key already taken, then corrected") << "1" << "1000.5" << "return" << "id" << "900001";
        QTest::newRow("cost not a number, then corrected") << "900001" << "lots" << "return" << "cost" << "1000.5";
        QTest::newRow("Up arrow inserts") << "900001" << "1000.5" << "up" << "" << "";
        QTest::newRow("a click on a record inserts") << "900001" << "1000.5" << "click" << "" << "";
        QTest::newRow("focus to another widget inserts") << "900001" << "1000.5" << "focus" << "" << "";
        QTest::newRow("Escape discards, and leaving then has nothing to insert") << "900001" << "1000.5" << "escape" << "" << "";
    }

    void newItemRow()
    {
        QFETCH(QString, id);
        QFETCH(QString, cost);
        QFETCH(QString, leave);
        QFETCH(QString, fixField);
        QFETCH(QString, fixText);
        bind(AccessMode::ReadWrite, AddingSql, QStringLiteral("edit new"));
        GridColumn *costColumn = m_grid->columnByKey(u"cost");
        costColumn->setAggregateFunction(2);
        costColumn->setTotalFormat(QStringLiteral("#0.00"));
        const QString store = m_grid->text(1, 5);
        if (leave == u"return") {
            m_grid->groups().add(5, 1);
            m_grid->regroup();
        }
        const int records = m_grid->table()->rowCount();
        QSignalSpy refused(m_grid.get(), &ReportGrid::writeRefused);
        typeIntoNewRow({id, QStringLiteral("NR-1"), QStringLiteral("Neu ñ"), cost, store});
        QLineEdit *editor = shownEditor();
        QVERIFY(editor && m_grid->newRowPending());
        auto *view = static_cast<grid::GridTableView *>(m_grid->tableView());
        if (leave == u"return" || leave == u"up") {
            // Straight from the open editor: the cell is committed, then the row is left.
            QTest::keyClick(editor, leave == u"up" ? Qt::Key_Up : Qt::Key_Return);
        } else if (leave == u"click") {
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->cellRect(view->firstRow() + 1, 1).center());
        } else if (leave == u"focus") {
            auto *elsewhere = new QLineEdit(m_grid.get());
            elsewhere->show();
            elsewhere->setFocus();
        } else {
            QTest::keyClick(editor, Qt::Key_Escape);
            QVERIFY(!m_grid->newRowPending() && !shownEditor());
            QTest::keyClick(view, Qt::Key_Up);
        }
        if (!fixField.isEmpty()) {
            QCOMPARE(refused.count(), 1);
            QVERIFY(m_grid->newRowPending());
            QCOMPARE(m_grid->table()->rowCount(), records);
            // The typed values are still there to correct: the editor opens on them.
            QCOMPARE(retype(fixField, fixText), fixField == u"id" ? id : cost);
        }
        QTRY_VERIFY(!m_grid->newRowPending());
        QCOMPARE(refused.count(), fixField.isEmpty() ? 0 : 1);
        const bool inserted = leave != u"escape";
        QCOMPARE(m_grid->table()->rowCount(), records + inserted);
        const int pos = positionOfId(900001);
        QCOMPARE(pos > 0, inserted);
        int footer = pos;   // the new record sits in its store's group, and that group's total counts it
        while (leave == u"return" && footer < m_grid->rowCount() && m_grid->row(footer).type != GridRowType::GroupFooter)
            ++footer;
        const QString total = m_grid->text(footer, costColumn->index());
        if (leave == u"return") {
            QCOMPARE(m_grid->currentRow(), pos);
            QCOMPARE(m_grid->text(pos, costColumn->index()), QStringLiteral("1000.50"));
        }
        QCOMPARE(stored(QStringLiteral("SELECT COALESCE(MAX(model || '|' || description || '|' || cost || '|' || store), "
                                       "'none') FROM inventory WHERE id = 900001")),
                 inserted ? QStringLiteral("NR-1|Neu ñ|1000.50|") + store : QStringLiteral("none"));
        if (leave == u"return")
            QCOMPARE(total, test::isqlValue(m_db, QStringLiteral("SELECT SUM(cost) FROM inventory WHERE "
                                                                 "(id <= 40 OR id = 900001) AND store = %1").arg(store)));
    }

    void newItemRowOnlyWhereRowsCanBeAdded()
    {
        bind(AccessMode::ReadWrite, QStringLiteral("SELECT id, model FROM inventory WHERE id <= 40 ORDER BY id"),
             QStringLiteral("edit new"));
        QVERIFY(m_grid->newRowShown());
        m_grid->setAllowEdit(false);
        QVERIFY(!m_grid->newRowShown());
        m_grid->setAllowEdit(true);
        m_grid->setAllowAddNew(false);
        // The row is no record: counts stay those of the records, yet the view scrolls one row
        // further to show it under the last one.
        auto *view = static_cast<grid::GridTableView *>(m_grid->tableView());
        const int without = view->verticalScrollBar()->maximum();
        QVERIFY(without > 0);
        m_grid->setAllowAddNew(true);
        QCOMPARE(view->verticalScrollBar()->maximum(), without + 1);
        QCOMPARE(m_grid->rowCount(), 40);
        view->setFirstRow(without + 1);
        const QRect below = view->cellRect(40, 1);
        QVERIFY(view->viewport()->rect().contains(below.center()));
        QCOMPARE(m_grid->rowFromPoint(view->viewport()->mapTo(m_grid.get(), below.center())), 0);
        QCOMPARE(m_grid->rowFromPoint(view->viewport()->mapTo(m_grid.get(), view->cellRect(39, 0).center())), 40);
        // A click on it opens its editor in the clicked column; one row further down is nothing.
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, below.center());
        QCOMPARE(shownEditor() ? shownEditor()->text() : QStringLiteral("(no editor)"), QString());
        QCOMPARE(m_grid->currentColumn(), m_grid->columnByKey(u"model")->index());
        const int before = m_grid->currentRow();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->cellRect(41, 1).center());
        QCOMPARE(m_grid->currentRow(), before);
    }
private:
    std::unique_ptr<Connection> open(AccessMode mode)
    {
        auto c = Connection::open(
            QStringLiteral("Data Source=%1;User ID=SYSDBA;Password=masterkey;ctype=UTF8").arg(m_db), mode);
        if (!c.ok())
            qWarning("%s", qPrintable(c.failure().text()));
        return c.ok() ? std::move(c.value()) : nullptr;
    }
    // Binds the grid to a query's rows and shows it; `allow` holds "edit" and "new".
    void bind(AccessMode mode, const QString &sql, const QString &allow = {})
    {
        m_conn = open(mode);
        QVERIFY(m_conn);
        auto r = m_conn->query(sql);
        QVERIFY2(r.ok(), r.ok() ? "" : qPrintable(r.failure().text()));
        m_grid->setTable(r.value(), m_conn->writer(r.value()));
        m_grid->setAllowEdit(allow.contains(u"edit"));
        m_grid->setAllowAddNew(allow.contains(u"new"));
        m_grid->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_grid.get()));
    }
    // What the database holds once the grid and its connection are gone: the first value a select gives.
    QString stored(const QString &select)
    {
        m_grid.reset();
        m_conn.reset();
        return test::isqlValue(m_db, select);
    }
    int positionOfId(int id) const
    {
        for (int p = 1; p <= m_grid->rowCount(); ++p)
            if (m_grid->row(p).type == GridRowType::Record && m_grid->value(p, 1).toInt() == id)
                return p;
        return 0;
    }
    QLineEdit *shownEditor() const
    {
        // An editor that was just closed lingers until deleteLater; the open one is the shown one.
        for (QLineEdit *e : m_grid->tableView()->findChildren<QLineEdit *>(QStringLiteral("cellEditor")))
            if (e->isVisible())
                return e;
        return nullptr;
    }
    // Replaces the editor's text as a user types it; accented and CJK text arrives from an input method.
    static void type(QLineEdit *editor, const QString &text)
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
    // F2 on the current row's cell of `field`, `text` typed and Return; gives what the editor opened on.
    QString retype(const QString &field, const QString &text)
    {
        m_grid->setCurrentColumn(m_grid->columnByKey(field)->index());
        QTest::keyClick(m_grid->tableView(), Qt::Key_F2);
        QLineEdit *editor = shownEditor();
        const QString was = editor ? editor->text() : QStringLiteral("(no editor)");
        if (editor) {
            type(editor, text);
            QTest::keyClick(editor, Qt::Key_Return);
        }
        return was;
    }
    // From the last row, Down reaches the new-item row; the cells are typed from the id column
    // on, Tab moving to the next one.
    void typeIntoNewRow(const QStringList &cells)
    {
        m_grid->setCurrentRow(m_grid->rowCount());
        m_grid->setCurrentColumn(1);
        QWidget *view = m_grid->tableView();
        view->setFocus();
        QTest::keyClick(view, Qt::Key_Down);
        QTest::keyClick(view, Qt::Key_F2);
        for (int i = 0; i < cells.size(); ++i) {
            QVERIFY2(shownEditor(), "the new-item row opens the cell editor");
            type(shownEditor(), cells[i]);
            if (i + 1 < cells.size())
                QTest::keyClick(shownEditor(), Qt::Key_Tab);
        }
    }
    static QString refusal(const QSignalSpy &refused)
    {
        return refused.isEmpty() ? QString() : refused.first().first().toString();
    }

    QTemporaryDir m_dir;
    QString m_db;
    std::unique_ptr<Connection> m_conn;
    std::unique_ptr<ReportGrid> m_grid;
};

QTEST_MAIN(tst_GridWriteBack)
#include "tst_gridwriteback.moc"
