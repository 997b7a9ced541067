// The grid's contract over in-memory tables: columns, keys, rows, totals, views and events.

#include "gridtesting.h"
#include "grid/groupbybox.h"
#include "grid/reportgrid.h"

#include <QAccessible>
#include <QAbstractScrollArea>
#include <QAccessibleInterface>
#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>

using namespace velmora;
using namespace velmora::test;

class tst_ReportGrid : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        QLocale::setDefault(QLocale::c());
        m_grid = std::make_unique<ReportGrid>();
        m_grid->resize(700, 400);
        m_grid->setTable(inventoryTable(sampleRows()));
    }

    void cleanup()
    {
        m_grid.reset();
        QLocale::setDefault(QLocale::c());
    }

    void rowOrder_data()
    {
        QTest::addColumn<QString>("sort");     // keys as "column:order,..."
        QTest::addColumn<QString>("groups");   // the same; a "+" after them: cost totals in footers
        QTest::addColumn<QString>("shape");    // empty: the records alone
        QTest::addColumn<QList<int>>("ids");
        QTest::newRow("cost ascending, null first") << "cost:1" << "" << "" << QList<int>{5, 7, 9, 2, 3, 8, 4, 1, 10, 6};
        QTest::newRow("cost descending, null last") << "cost:-1" << "" << "" << QList<int>{6, 10, 1, 4, 8, 3, 2, 9, 7, 5};
        QTest::newRow("description text") << "description:1" << "" << "" << QList<int>{8, 3, 6, 1, 10, 2, 5, 9, 7, 4};
        QTest::newRow("store then date descending") << "store:1,daterec:-1" << "" << "" << QList<int>{6, 4, 1, 5, 10, 8, 9, 2, 3, 7};
        QTest::newRow("category keeps table order within ties") << "category:1" << "" << "" << QList<int>{7, 4, 8, 2, 5, 9, 1, 3, 6, 10};
        QTest::newRow("grouped by store descending, footers") << "" << "store:-1+" << "H1 R R R R R R F1 H1 R R R R F1"
                                                              << QList<int>{2, 3, 7, 8, 9, 10, 1, 4, 5, 6};
        QTest::newRow("grouped by category then store, null first")
            << "" << "category:1,store:1" << "H1 H2 R H1 H2 R H2 R H1 H2 R H2 R R H1 H2 R R H2 R R"
            << QList<int>{7, 4, 8, 5, 2, 9, 1, 6, 3, 10};
    }

    void rowOrder()
    {
        QFETCH(QString, sort);
        QFETCH(QString, groups);
        QFETCH(QString, shape);
        if (groups.endsWith(u'+'))
            m_grid->columnByKey(u"cost")->setAggregateFunction(2);
        addKeys(m_grid->sortKeys(), sort);
        addKeys(m_grid->groups(), groups.remove(u'+'));
        m_grid->regroup();
        QCOMPARE(rowShape(*m_grid), shape.isEmpty() ? QStringList(10, QStringLiteral("R")).join(u' ') : shape);
        QTEST(recordIds(*m_grid), "ids");
        // Record rows carry their 1-based record number; group rows a negative group id.
        for (int p = 1; p <= m_grid->rowCount(); ++p) {
            const GridRow r = m_grid->row(p);
            QVERIFY(r.type == GridRowType::Record ? r.rowIndex == r.record + 1 : r.rowIndex < 0);
        }
    }

    void keysWiderThanOneWordSortTheSame()
    {
        // Costs spread over 2^60 need 61 bits; with the date and the description the keys no longer
        // pack into one word, and the comparison sort must agree with a plain tuple sort.
        using Expect = std::tuple<std::int64_t, qint64, QString, int>;   // cost, -day, description, id
        std::vector<InvRow> rows;
        std::vector<Expect> expect;
        const char *words[] = {"pear", "apple", "fig"};
        for (int i = 0; i < 60; ++i) {
            const std::int64_t cost = (i % 4 == 0 ? std::int64_t(1) << 60 : std::int64_t(i % 3)) * (i % 2 ? -1 : 1);
            const QDate date = QDate(2020, 1, 1).addDays(i % 5);
            rows.push_back({i + 1, "A", 1, words[i % 3], cost, date});
            expect.emplace_back(cost, -date.toJulianDay(), QString::fromLatin1(words[i % 3]), i + 1);
        }
        m_grid->setTable(inventoryTable(rows));
        addKeys(m_grid->sortKeys(), QStringLiteral("cost:1,daterec:-1,description:1"));
        m_grid->resort();
        std::sort(expect.begin(), expect.end());
        QList<int> ids;
        for (const Expect &e : expect)
            ids << std::get<3>(e);
        QCOMPARE(recordIds(*m_grid), ids);
        // Grouping by the wide key finds the same boundaries: 2^60, 2, 1, 0, -1, -2.
        m_grid->sortKeys().clear();
        addKeys(m_grid->groups(), QStringLiteral("cost:-1,daterec:1"));
        m_grid->regroup(true);
        QCOMPARE(m_grid->rowCount(), 6);
        QCOMPARE(m_grid->value(6, 5).toDouble(), -0.02);
        QCOMPARE(m_grid->value(1, 5).toDouble(), double(std::int64_t(1) << 60) / 100);
    }

    // A column whose first rows all differ keeps a text per row, so equal texts later on hold codes of
    // their own; grouping and sorting must still treat them as one value.
    void equalTextsGroupTogetherInAnAllDifferentColumn()
    {
        std::vector<QByteArray> descriptions;
        std::vector<InvRow> rows;
        const int unique = 70000;
        for (int i = 0; i < unique; ++i)
            descriptions.push_back(QByteArray("d") + QByteArray::number(i).rightJustified(5, '0'));
        descriptions.insert(descriptions.end(), 3, "d00007");
        for (std::size_t i = 0; i < descriptions.size(); ++i)
            rows.push_back({int(i), "TV", 1, descriptions[i].constData(), 100, QDate(2024, 1, 1)});
        m_grid->setTable(inventoryTable(rows));
        group(4, true);
        QCOMPARE(m_grid->rowCount(), unique);
        QCOMPARE(m_grid->text(8, 4), QStringLiteral("d00007"));
        QCOMPARE(m_grid->row(8).recordCount, 4);
        m_grid->groups().clear();
        m_grid->sortKeys().add(4, -1);
        m_grid->regroup();
        // Descending: d69999 .. d00008 first (69,992 rows), then the four d00007 rows together.
        const int d7 = unique - 8 + 1;
        for (int i = 0; i < 5; ++i)
            QCOMPARE(m_grid->text(d7 + i, 4), i < 4 ? QStringLiteral("d00007") : QStringLiteral("d00006"));
    }

    void currentRowFollowsItsRecordAcrossRegroup()
    {
        m_grid->setCurrentRow(6);   // id 6
        group(2);
        QCOMPARE(m_grid->value(m_grid->currentRow(), 1).toInt(), 6);
        m_grid->collapseAll();
        // Hidden inside a collapsed group: the group row takes over.
        QCOMPARE(m_grid->row(m_grid->currentRow()).type, GridRowType::GroupHeader);
        QCOMPARE(m_grid->value(m_grid->currentRow(), 2).toString(), QStringLiteral("TV"));
        // Regrouped all collapsed on two levels: an outer group opens onto its inner ones, still collapsed.
        group(3, true);
        QCOMPARE(rowShape(*m_grid), QStringLiteral("H1 H1 H1 H1"));
        m_grid->setExpanded(2, true);
        QCOMPARE(rowShape(*m_grid), QStringLiteral("H1 H1 H2 H2 H1 H1"));
    }

    void footerTotals_data()
    {
        // Costs in cents (a null QVariant is a null cost), all in one category over two stores.
        QTest::addColumn<QVariantList>("cents");
        QTest::addColumn<int>("function");   // 1 count, 2 sum
        QTest::addColumn<QString>("format");
        QTest::addColumn<int>("levels");   // grouped by category, then by store
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("expected");   // the outermost footer's cost cell

        const qint64 top = INT64_MAX, bottom = INT64_MIN;
        const QString c = QStringLiteral("C");
        QTest::newRow("two largest values") << QVariantList{top, top} << 2 << "#,##0.00" << 1 << c << "184,467,440,737,095,516.14";
        QTest::newRow("two smallest values") << QVariantList{bottom, bottom} << 2 << "#0.00" << 1 << c << "-184467440737095516.16";
        QTest::newRow("largest and smallest") << QVariantList{top, bottom} << 2 << "#0.00" << 1 << c << "-0.01";
        QTest::newRow("whole units of the largest") << QVariantList{top, 1} << 2 << "#,##0" << 1 << c << "92,233,720,368,547,758";
        QTest::newRow("half a unit rounds up") << QVariantList{149, 101} << 2 << "#,##0" << 1 << c << "3";
        QTest::newRow("a negative half rounds away from zero") << QVariantList{-149, -101} << 2 << "#0" << 1 << c << "-3";
        QTest::newRow("eighteen decimals") << QVariantList{top, top} << 2 << "#0.000000000000000000" << 1 << c
                                           << "184467440737095516.140000000000000000";
        QTest::newRow("twenty decimals are refused") << QVariantList{5} << 2 << "#0.00000000000000000000" << 1 << c
                                                     << "(the format asks for more than 18 decimals)";
        QTest::newRow("count skips nulls") << QVariantList{QVariant(), 5, 7} << 1 << "#0" << 1 << c << "2";
        QTest::newRow("sum of nulls only is zero") << QVariantList{QVariant()} << 2 << "#,##0.00" << 1 << c << "0.00";
        QTest::newRow("German separators") << QVariantList{123456789, -50} << 2 << "#,##0.00" << 1 << "de_DE" << "1.234.567,39";
        QTest::newRow("outer count rolls up the stores") << QVariantList{1, 2, QVariant(), 4, 5} << 1 << "#0" << 2 << c << "4";
        QTest::newRow("outer sum rolls up the stores") << QVariantList{1, 2, 3, 4} << 2 << "#0.00" << 2 << c << "0.10";
    }

    void footerTotals()
    {
        QFETCH(QVariantList, cents);
        QFETCH(int, function);
        QFETCH(QString, format);
        QFETCH(int, levels);
        QFETCH(QString, locale);
        QLocale::setDefault(QLocale(locale));
        std::vector<InvRow> rows;
        for (const QVariant &v : cents)
            rows.push_back({int(rows.size()) + 1, "A", int(rows.size()) % 2, "item",
                            v.isNull() ? std::nullopt : std::optional<std::int64_t>(v.toLongLong()), QDate()});
        m_grid->setTable(inventoryTable(rows));
        GridColumn *cost = m_grid->columnByKey(u"cost");
        cost->setAggregateFunction(function);
        cost->setTotalFormat(format);
        for (int level = 1; level <= levels; ++level)
            group(level + 1, true);
        QCOMPARE(rowShape(*m_grid), QStringLiteral("H1 F1"));
        QTEST(m_grid->text(2, cost->index()), "expected");
    }

    void groupCaptionEvent()
    {
        group(2);
        const int tv = 10;   // after the groups of null (1 row), APPLIANCE (2) and AUDIO (3)
        QCOMPARE(m_grid->groupCaption(tv), QStringLiteral("category: TV (4)"));
        // A handler is handed the caption without the count, to add what it likes.
        int seen = 0;
        connect(m_grid.get(), &ReportGrid::formatRow, this, [&seen](const GridRow &row, QString &caption) {
            seen += row.type == GridRowType::GroupHeader;
            caption += QStringLiteral(" [%1]").arg(row.recordCount);
        });
        QCOMPARE(m_grid->groupCaption(tv), QStringLiteral("category: TV [4]"));
        QCOMPARE(seen, 1);
        QCOMPARE(m_grid->groupCaption(tv + 1), QString());   // a record row has none
    }

    void pointsOnTheGrid()
    {
        group(3);
        const QPoint header = shown(0, 60);
        const QPoint origin = m_grid->tableView()->mapTo(m_grid.get(), QPoint(0, 0));
        QCOMPARE(m_grid->hitTest(origin + header), GridArea::ColumnHeader);
        QCOMPARE(m_grid->hitTest(origin + shown(1, 60)), GridArea::GroupRow);
        QCOMPARE(m_grid->hitTest(origin + shown(2, 60)), GridArea::Record);
        QCOMPARE(m_grid->hitTest(m_grid->groupByBox()->geometry().center()), GridArea::GroupByBox);
        QCOMPARE(m_grid->hitTest(origin + QPoint(60, m_grid->tableView()->height() - 8)), GridArea::Nowhere);
        QCOMPARE(m_grid->rowFromPoint(origin + shown(3, 5)), 3);
        QCOMPARE(m_grid->rowFromPoint(origin + QPoint(5, 3)), 0);
        QCOMPARE(m_grid->columnFromPoint(origin + shown(1, m_grid->column(1)->width() + 5)), 2);
        // A click on a column's header is told to the host, with the button let go and where.
        QSignalSpy clicks(m_grid.get(), &ReportGrid::columnHeaderClick);
        QSignalSpy ups(m_grid.get(), &ReportGrid::mouseUp);
        QTest::mouseClick(viewport(), Qt::LeftButton, {}, shown(0, m_grid->column(1)->width() + m_grid->column(2)->width() + 20));
        QCOMPARE(clicks.count(), 1);
        QCOMPARE(clicks.first().first().value<GridColumn *>(), m_grid->column(3));
        QCOMPARE(ups.count(), 1);
        QCOMPARE(ups.first().first().value<Qt::MouseButton>(), Qt::LeftButton);
        QCOMPARE(m_grid->hitTest(ups.first().at(1).toPoint()), GridArea::ColumnHeader);
        // Columns are found by where they are shown.
        m_grid->columnByKey(u"id")->setPosition(3);
        QCOMPARE(m_grid->columnFromPoint(origin + shown(1, 5)), 2);
        m_grid->columnByKey(u"category")->setVisible(false);
        QCOMPARE(m_grid->columnFromPoint(origin + shown(1, 5)), 3);
    }

    // Keys move the current row, telling the host, unless its handler swallows them.
    void keysMoveUnlessSwallowed()
    {
        shown(0, 0);
        m_grid->setCurrentRow(2);
        m_grid->setAllowEdit(true);
        QList<int> keys, chars;
        connect(m_grid.get(), &ReportGrid::keyDown, this, [&keys](int &key, Qt::KeyboardModifiers) {
            keys << key;
            if (key == Qt::Key_Down)
                key = 0;
        });
        connect(m_grid.get(), &ReportGrid::keyPress, this, [&chars](int &c) {
            chars << c;
            c = 0;
        });
        QSignalSpy moved(m_grid.get(), &ReportGrid::currentRowChanged);
        QTest::keyClick(m_grid->tableView(), Qt::Key_Down);
        QCOMPARE(m_grid->currentRow(), 2);
        QTest::keyClick(m_grid->tableView(), Qt::Key_Up);
        QCOMPARE(m_grid->currentRow(), 1);
        QCOMPARE(moved.count(), 1);
        QTest::keyClicks(m_grid->tableView(), QStringLiteral("bÜ"));
        QCOMPARE(chars, (QList<int>{'b', 0xDC}));
        QCOMPARE(keys.mid(0, 2), (QList<int>{Qt::Key_Down, Qt::Key_Up}));
        // The typed characters were swallowed, so no editor opened.
        QVERIFY(!m_grid->tableView()->findChild<QLineEdit *>(QStringLiteral("cellEditor")));
        // Page Down stops at the last row, the one row selected.
        m_grid->setCurrentRow(8);
        QTest::keyClick(m_grid->tableView(), Qt::Key_PageDown);
        QCOMPARE(m_grid->currentRow(), 10);
        QCOMPARE(m_grid->selectedCount(), 1);
    }

    void expandCollapseByKeyboardAndClick()
    {
        group(3);
        const QPoint secondGroup = shown(6, 8);
        m_grid->setCurrentRow(1);
        QTest::keyClick(m_grid->tableView(), Qt::Key_Left);
        QCOMPARE(rowShape(*m_grid), QStringLiteral("H1 H1 R R R R R R"));
        QTest::keyClick(m_grid->tableView(), Qt::Key_Right);
        QCOMPARE(m_grid->rowCount(), 12);
        QTest::keyClick(m_grid->tableView(), Qt::Key_Minus);
        QCOMPARE(m_grid->rowCount(), 8);
        QTest::keyClick(m_grid->tableView(), Qt::Key_Return);
        QCOMPARE(m_grid->rowCount(), 12);
        // A click on the +/- box of the second group collapses it.
        QTest::mouseClick(viewport(), Qt::LeftButton, {}, secondGroup);
        QCOMPARE(rowShape(*m_grid), QStringLiteral("H1 R R R R H1"));
        // A double-click on the caption expands it again.
        QSignalSpy dbl(m_grid.get(), &ReportGrid::dblClick);
        QTest::mouseDClick(viewport(), Qt::LeftButton, {}, secondGroup + QPoint(112, 0));
        QCOMPARE(m_grid->rowCount(), 12);
        QCOMPARE(dbl.count(), 1);
    }

    void extendedSelectionWithShiftAndControl()
    {
        QTest::mouseClick(viewport(), Qt::LeftButton, {}, shown(2, 40));
        QTest::mouseClick(viewport(), Qt::LeftButton, Qt::ShiftModifier, shown(5, 40));
        QCOMPARE(m_grid->selectedCount(), 4);
        QTest::mouseClick(viewport(), Qt::LeftButton, Qt::ControlModifier, shown(8, 40));
        QTest::mouseClick(viewport(), Qt::LeftButton, Qt::ControlModifier, shown(3, 40));
        QCOMPARE(m_grid->selectedPositions(), (std::vector<int>{2, 4, 5, 8}));
        QCOMPARE(m_grid->currentRow(), 3);
        QTest::keyClick(m_grid->tableView(), Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(m_grid->selectedPositions(), (std::vector<int>{3, 4}));
        // Dragged, the selected rows are plain text under the captions, unless the host puts its own.
        std::unique_ptr<QMimeData> mime(m_grid->createDragData());
        QCOMPARE(mime->text(), QStringLiteral("id\tcategory\tstore\tdescription\tcost\tdaterec\n"
                                              "3\tTV\t2\tLCD 32\t299.00\t2019-12-24\n"
                                              "4\tAPPLIANCE\t1\tWasher\t450.00\t2021-03-03"));
        connect(m_grid.get(), &ReportGrid::dragDataRequest, this, [](QMimeData *data) { data->setText(QStringLiteral("x")); });
        mime.reset(m_grid->createDragData());
        QCOMPARE(mime->text(), QStringLiteral("x"));
        QTest::keyClick(m_grid->tableView(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(m_grid->selectedCount(), 10);
    }

    // Headers dropped on the box group the rows, a click on a group in the box is told to the host,
    // a group dragged out of the box is removed, and a header dropped on another moves its column.
    void groupByBoxByDragAndClick()
    {
        shown(0, 0);
        auto *box = static_cast<grid::GroupByBox *>(m_grid->groupByBox());
        QVERIFY(box->isVisible());
        QVERIFY(drop(box, grid::ColumnMime, 3, QPoint(5, 5)));   // store
        QCOMPARE(rowShape(*m_grid), QStringLiteral("H1 R R R R H1 R R R R R R"));
        // Dropped left of the first group: category becomes the outer level.
        QVERIFY(drop(box, grid::ColumnMime, 2, QPoint(2, 5)));
        QCOMPARE(rowShape(*m_grid), QStringLiteral("H1 H2 R H1 H2 R H2 R H1 H2 R H2 R R H1 H2 R R H2 R R"));
        QSignalSpy clicks(m_grid.get(), &ReportGrid::groupHeaderClick);
        QTest::mouseClick(box, Qt::LeftButton, {}, box->itemRect(2).center());
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->width() - 3, box->height() - 3));
        QCOMPARE(clicks.count(), 1);
        QCOMPARE(clicks.first().first().toInt(), 2);
        drop(viewport(), grid::GroupMime, 1, QPoint(50, 80));
        QCOMPARE(m_grid->groups().count(), 1);
        QCOMPARE(rowShape(*m_grid), QStringLiteral("H1 R R R R H1 R R R R R R"));
        // A header dropped on another moves its column there.
        drop(viewport(), grid::ColumnMime, 5, shown(0, 5));   // cost over the id column
        QCOMPARE(m_grid->selectedText(true).section(QLatin1Char('\n'), 0, 0),
                 QStringLiteral("cost\tid\tcategory\tstore\tdescription\tdaterec"));
    }

    void cardViewPaintsCards()
    {
        group(2);
        m_grid->setCardWidth(int(200 * m_grid->twipsPerPixel()));
        m_grid->setViewMode(1);
        QCOMPARE(m_grid->groups().count(), 0);   // cards show no groups
        shown(0, 0);
        QVERIFY(!m_grid->groupByBox()->isVisible());
        auto *cards = static_cast<QAbstractScrollArea *>(m_grid->cardView());
        const QImage img = cards->viewport()->grab().toImage();
        // Cards of 200 px flow across: the pixels inside the first card and inside the third differ
        // from the background between them.
        const QColor background = img.pixelColor(img.width() - 3, 3);
        const auto ink = [&](int left) {
            int n = 0;
            for (int y = 12; y < 100; ++y)
                for (int x = left + 12; x < left + 200; ++x)
                    n += img.pixelColor(x, y) != background;
            return n;
        };
        QVERIFY(ink(0) > 2000 && ink(2 * 210) > 2000);
        QCOMPARE(img.pixelColor(10 + 200 + 5, 40), background);
        // Clicking the second card makes record 2 current; Right moves to the third.
        QTest::mouseClick(cards->viewport(), Qt::LeftButton, {}, QPoint(10 + 210 + 50, 40));
        QCOMPARE(m_grid->currentRow(), 2);
        QTest::keyClick(cards, Qt::Key_Right);
        QCOMPARE(m_grid->currentRow(), 3);
        // A wider card setting leaves room for fewer cards per line.
        m_grid->setCardWidth(int(400 * m_grid->twipsPerPixel()));
        const QImage wide = cards->viewport()->grab().toImage();
        QVERIFY(wide.pixelColor(10 + 200 + 5, 40) != background);   // the first card reaches here now
        QCOMPARE(wide.pixelColor(10 + 400 + 5, 40), background);
    }

    void paintIsLimitedToTheScreen()
    {
        // A grid over 300,000 rows paints the same screen as one over 30: it asks only for the
        // captions of the group rows on screen.
        std::vector<InvRow> rows;
        for (int i = 0; i < 300000; ++i)
            rows.push_back({i, i % 2 ? "A" : "B", i % 7, "d", i, QDate()});
        m_grid->setTable(inventoryTable(rows));
        addKeys(m_grid->groups(), QStringLiteral("store:1,category:1"));
        m_grid->regroup();
        m_grid->moveFirst();
        int captions = 0;
        connect(m_grid.get(), &ReportGrid::formatRow, this, [&captions](const GridRow &, QString &) { ++captions; });
        shown(0, 0);
        captions = 0;
        m_grid->tableView()->grab();
        QVERIFY(captions >= 2 && captions < 40);
    }

    void accessibleCellTexts()
    {
        m_grid->columnByKey(u"cost")->setAggregateFunction(2);
        m_grid->columnByKey(u"cost")->setTotalFormat(QStringLiteral("#,##0.00"));
        m_grid->columnByKey(u"store")->setVisible(false);
        group(3);
        shown(0, 0);
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(m_grid->tableView());
        QAccessibleTableInterface *table = iface ? iface->tableInterface() : nullptr;
        QVERIFY(table && iface->role() == QAccessible::Table);
        QCOMPARE(table->columnCount(), 5);
        // The first children are the column headers.
        QCOMPARE(iface->child(3)->role(), QAccessible::ColumnHeader);
        QCOMPARE(iface->child(3)->text(QAccessible::Name), QStringLiteral("cost"));
        QCOMPARE(table->cellAt(0, 0)->text(QAccessible::Name), QStringLiteral("store: 1 (4)"));
        QCOMPARE(table->cellAt(1, 3)->text(QAccessible::Name), QStringLiteral("499.99"));
        QCOMPARE(table->cellAt(5, 3)->text(QAccessible::Name), QStringLiteral("2,249.98"));
        QAccessibleTableCellInterface *cell = table->cellAt(1, 2)->tableCellInterface();
        QVERIFY(cell);
        QCOMPARE(cell->columnHeaderCells().first()->text(QAccessible::Name), QStringLiteral("description"));
        m_grid->setCurrentRow(2);
        QVERIFY(cell->isSelected());
        QVERIFY(table->cellAt(m_grid->rowCount(), 0) == nullptr);
        // The cell under a point is the one the grid paints there.
        const QRect r = table->cellAt(2, 2)->rect();
        QCOMPARE(iface->childAt(r.center().x(), r.center().y())->text(QAccessible::Name), m_grid->text(3, 4));
    }

    // Rows that cannot be saved: an edit is refused and the old text restored, no new-item row is
    // offered, and Delete does not even ask unless deleting is allowed.
    void withoutAWriterNothingIsWritten()
    {
        m_grid->setAllowEdit(true);
        m_grid->setAllowAddNew(true);
        QVERIFY(!m_grid->newRowShown());
        shown(0, 0);
        QSignalSpy refused(m_grid.get(), &ReportGrid::writeRefused);
        m_grid->setCurrentRow(2);
        m_grid->setCurrentColumn(4);
        QTest::keyClick(m_grid->tableView(), Qt::Key_F2);
        auto *editor = m_grid->tableView()->findChild<QLineEdit *>(QStringLiteral("cellEditor"));
        QVERIFY(editor);
        QCOMPARE(editor->text(), QStringLiteral("Receiver"));
        editor->selectAll();
        QTest::keyClicks(editor, QStringLiteral("Amplifier"));
        QTest::keyClick(editor, Qt::Key_Return);
        QCOMPARE(refused.count(), 1);
        QCOMPARE(m_grid->text(2, 4), QStringLiteral("Receiver"));
        // Down stays on the last record: there is no new-item row to go to.
        m_grid->setCurrentRow(10);
        QTest::keyClick(m_grid->tableView(), Qt::Key_Down);
        QCOMPARE(m_grid->selectedPositions(), std::vector<int>{10});
        QVERIFY(!m_grid->commitNewRow());
        int asked = 0;
        connect(m_grid.get(), &ReportGrid::beforeDelete, this, [&asked](bool &) { ++asked; });
        QTest::keyClick(m_grid->tableView(), Qt::Key_Delete);
        QCOMPARE(asked, 0);
        QCOMPARE(m_grid->rowCount(), 10);
    }
private:
    // Shows the grid; the point in its table view's viewport of column x, on row `pos` (0: header).
    QPoint shown(int pos, int x)
    {
        m_grid->show();
        if (!QTest::qWaitForWindowExposed(m_grid.get()))
            qWarning("the grid was not exposed");
        const int header = QFontMetrics(m_grid->headingFont()).height() + 8;
        const int rowH = QFontMetrics(m_grid->bodyFont()).height() + 6;
        return {x, pos == 0 ? header / 2 + 2 : header + (pos - 1) * rowH + rowH / 2};
    }
    QWidget *viewport() { return static_cast<QAbstractScrollArea *>(m_grid->tableView())->viewport(); }
    // Drags a column header or a group of the box onto `target` as a user's drop would.
    static bool drop(QWidget *target, const char *mimeType, int value, QPoint at)
    {
        QMimeData mime;
        mime.setData(QLatin1String(mimeType), QByteArray::number(value));
        QDragEnterEvent enter(at, Qt::MoveAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(target, &enter);
        QDropEvent dropEv(at, Qt::MoveAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(target, &dropEv);
        return enter.isAccepted() && dropEv.isAccepted();
    }
    void group(int column, bool collapsed = false)
    {
        m_grid->groups().add(column, 1);
        m_grid->regroup(collapsed);
    }
    // Keys as "column:order,...", added to the sort keys or the groups.
    void addKeys(GridKeyList &list, const QString &keys)
    {
        for (const QString &k : keys.split(QLatin1Char(','), Qt::SkipEmptyParts))
            list.add(m_grid->columnByKey(k.section(u':', 0, 0))->index(), k.section(u':', 1).toInt());
    }

    std::unique_ptr<ReportGrid> m_grid;
};

QTEST_MAIN(tst_ReportGrid)
#include "tst_reportgrid.moc"
