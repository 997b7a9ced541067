// Text columns ranked on background threads after a load: a sort finds the same collation order
// whether the ranks were made ahead, are being made, or went stale, and a grid that goes away
// stops the threads at once.

#include "grid/textranks.h"
#include "gridtesting.h"

#include <QCollator>
#include <QElapsedTimer>
#include <QTest>

using namespace velmora;
using namespace velmora::test;

namespace {

// `count` distinct descriptions whose collation order differs from their byte order: mixed case,
// accents and numbers without leading zeros.
std::shared_ptr<RecordTable> manyTexts(int count)
{
    static const char *const words[] = {"apfel", "Äpfel", "zebra", "Öl", "ol", "Ober", "éclair", "Eclair", "ångström", "Zoo"};
    std::vector<InvRow> rows;
    std::vector<QByteArray> texts;
    texts.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i) {   // reserved: the rows point into texts that do not move
        texts.push_back(QByteArray(words[(i * 7) % 10]) + ' ' + QByteArray::number(count - i));
        rows.push_back({i + 1, "TV", 1, texts.back().constData(), 100, QDate(2020, 1, 1)});
    }
    return inventoryTable(rows);
}

} // namespace

class tst_TextRanks : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale(QStringLiteral("de_DE"))); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void sortFindsTheCollationOrder_data()
    {
        QTest::addColumn<bool>("waitForRanks");
        QTest::addColumn<bool>("changeAfterRanking");
        QTest::newRow("sort after the ranks are made") << true << false;
        QTest::newRow("sort while they are being made") << false << false;
        QTest::newRow("a text changed after ranking") << true << true;
    }

    void sortFindsTheCollationOrder()
    {
        QFETCH(bool, waitForRanks);
        QFETCH(bool, changeAfterRanking);
        auto table = manyTexts(6000);
        ReportGrid grid;
        grid.setTable(table);
        grid.rankTextsInBackground();
        if (waitForRanks)
            QTRY_COMPARE(grid::BackgroundRanks::runningThreads(), 0);
        if (changeAfterRanking)
            table->setValue(17, 3, QStringLiteral("Aardvark"));   // a text the ranks do not know

        grid.sortKeys().add(4, 1);
        grid.resort();
        QCollator collator{QLocale()};
        QStringList shown;
        for (int p = 1; p <= grid.rowCount(); ++p)
            shown << grid.value(p, 4).toString();
        QCOMPARE(shown.size(), 6000);
        for (int i = 1; i < shown.size(); ++i)
            QVERIFY2(collator.compare(shown[i - 1], shown[i]) <= 0, qPrintable(shown[i - 1] + QStringLiteral(" > ") + shown[i]));
        if (changeAfterRanking)
            QCOMPARE(shown.first(), QStringLiteral("Aardvark"));
    }

    void goingAwayStopsTheThreads()
    {
        auto table = manyTexts(300000);
        QElapsedTimer clock;
        {
            ReportGrid grid;
            grid.setTable(table);
            grid.rankTextsInBackground();
            QCOMPARE(grid::BackgroundRanks::runningThreads(), 1);   // one column, one thread
            clock.start();
        }
        QCOMPARE(grid::BackgroundRanks::runningThreads(), 0);
        QVERIFY2(clock.elapsed() < 500, qPrintable(QString::number(clock.elapsed())));
    }
};

QTEST_MAIN(tst_TextRanks)
#include "tst_textranks.moc"
