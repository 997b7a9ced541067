// The export engine's files, each read back by an independent reader.

#include "exporttesting.h"

#include "core/reportrequest.h"
#include "export/mExport.h"
#include "grid/reportgrid.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace velmora;

class tst_Export : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void files_data();
    void files();
    void longSharedStringsContinue();
    void tooManyRowsForXls_data();
    void tooManyRowsForXls();

private:
    std::unique_ptr<ReportGrid> grid;
    std::unique_ptr<QTemporaryDir> dir;
};

void tst_Export::init()
{
    dir = std::make_unique<QTemporaryDir>();
    grid = std::make_unique<ReportGrid>();
    grid->resize(600, 300);
    grid->setTable(test::exportTable());
    ReportRequest &r = request();
    r.ReportTitle = QStringLiteral("Stock <b> & more");
    r.Storename = QStringLiteral("Main St \"North\"");
    r.StoreNumber = QStringLiteral("7");
}

void tst_Export::cleanup()
{
    grid.reset();
    dir.reset();
}

// Each file as its reader shows it: a text file as its bytes, a page through html.parser, a
// workbook through xlrd (see readexport.py) and LibreOffice.
void tst_Export::files_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("expected");
    const QString header = "model|store|cost|daterec|stamp|note\r\n", bravo = "Bravo <script>alert(1)</script>|2|450.5|6/1/1850|3/2/2024",
                  alpha = "Alpha TV|1|1299|3/1/2024|3/1/2024 2:05:09 PM", charlie = "Charlie|1|19.99||",
                  delta = "Delta|2|-0.05|12/31/2024|2/28/1900 12:00:00 PM", zoe = QStringLiteral("Zoë & 日本"),
                  x300 = QString(300, u'x') + "END";
    QTest::newRow("every value kind, in table order") << "plain" << "out.txt"
        << header + alpha + "|a|b\r\n" + bravo + '|' + zoe + "\r\n" + charlie + '|' + x300 + "\r\n" + delta + "|\r\n";
    QTest::newRow("collapsed groups give every record, no group rows") << "grouped" << "out.txt"
        << header + alpha + "|a|b\r\n" + charlie + '|' + x300 + "\r\n" + bravo + '|' + zoe + "\r\n" + delta + "|\r\n";
    QTest::newRow("hidden column left out, moved column in grid order") << "hidden" << "out.txt"
        << "cost|model|store|daterec|stamp\r\n1299|Alpha TV|1|3/1/2024|3/1/2024 2:05:09 PM\r\n450.5|Bravo "
           "<script>alert(1)</script>|2|6/1/1850|3/2/2024\r\n19.99|Charlie|1||\r\n-0.05|Delta|2|12/31/2024|2/28/1900 12:00:00 PM\r\n";
    QTest::newRow("second column of a caption feeds the first one's field") << "duplicate" << "out.txt"
        << "model|store|cost|daterec|stamp\r\na|b|1|1299|3/1/2024|3/1/2024 2:05:09 PM\r\n" + zoe +
               "|2|450.5|6/1/1850|3/2/2024\r\n" + x300 + "|1|19.99||\r\n|2|-0.05|12/31/2024|2/28/1900 12:00:00 PM\r\n";
    QTest::newRow("empty report: the header only") << "empty" << "out.txt" << header;
    // Markup in values shows as text: no element beyond the page's own.
    QTest::newRow("page of collapsed groups") << "grouped" << "page.html"
        << "charset: utf-8\nelements: html head meta title style body p b hr br table tr th td\nStock <b> & more\n"
           "Store: Main St \"North\" Store#: 7\nExported at: (time)\nmodel\tstore\tcost\tdaterec\tstamp\tnote\n"
           "Alpha TV~\t1~\t1299~\t3/1/2024~\t3/1/2024 2:05:09 PM~\ta|b~\nCharlie~\t1~\t19.99~\t~\t~\t" + x300 + "~\n"
           "Bravo <script>alert(1)</script>~\t2~\t450.5~\t6/1/1850~\t3/2/2024~\t" + zoe + "~\n"
           "Delta~\t2~\t-0.05~\t12/31/2024~\t2/28/1900 12:00:00 PM~\t~\nEnd of export - 4 records exported.";
    // Before 1900 a date is written as 1 January 1900 (serial 1); a text is cut at 255 characters.
    QTest::newRow("workbook") << "plain" << "book.xls"
        << "sheets: Sheet 1\nmodel\tstore\tcost\tdaterec\tstamp\tnote\nAlpha TV\t=1\t=1299\t@2024-03-01 00:00:00 m/d/yy\t"
           "@2024-03-01 14:05:09 m/d/yy h:mm\ta|b\nBravo <script>alert(1)</script>\t=2\t=450.5\t@serial 1 m/d/yy\t"
           "@2024-03-02 00:00:00 m/d/yy\t" + zoe + "\nCharlie\t=1\t=19.99\t\t\t" + QString(255, u'x') + "\nDelta\t=2\t=-0.05\t"
           "@2024-12-31 00:00:00 m/d/yy\t@serial 59.5 m/d/yy h:mm\t";
}

void tst_Export::files()
{
    QFETCH(QString, how);
    QFETCH(QString, file);
    if (how.contains(u"grouped")) {
        grid->groups().add(2, 1);
        grid->collapseAll();
    }
    if (how.contains(u"hidden")) {
        grid->column(6)->setVisible(false);
        grid->column(3)->setPosition(1);
    }
    if (how.contains(u"duplicate"))
        grid->column(6)->setCaption(QStringLiteral("model"));
    if (how.contains(u"empty"))
        grid->setTable(test::exportTable({}));
    QString name = dir->filePath(file);
    const Result<int> n = ExportGrid(*grid, name, nullptr);
    QVERIFY2(n.ok(), qPrintable(n.ok() ? QString() : n.failure().description));
    QCOMPARE(n.value(), how == u"empty" ? 0 : 4);
    const QByteArray bytes = test::readBytes(name);
    QString read = file.endsWith(u".txt") ? QString::fromUtf8(bytes) : test::readExport(name);
    QTEST(read.replace(QRegularExpression(QStringLiteral("Exported at: .*")), QStringLiteral("Exported at: (time)")), "expected");
    QVERIFY(!file.endsWith(u".html")
            || (bytes.startsWith("<html>\r\n<head>\r\n") && bytes.contains("</head>\r\n\r\n<body>\r\n")
                && bytes.contains("<p>Store: Main St &quot;North&quot; Store#: 7<br>\r\nExported at: ")
                && bytes.endsWith("<p>End of export - 4 records exported.</p>\r\n\r\n</body>\r\n</html>\r\n")));
    // The groups are left expanded.
    for (int p = 1; p <= grid->rowCount(); ++p)
        QVERIFY(grid->row(p).type == GridRowType::Record || grid->row(p).expanded);
    if (!file.endsWith(u".xls"))
        return;
    if (QStandardPaths::findExecutable(QStringLiteral("soffice")).isEmpty())
        QSKIP("LibreOffice (soffice) is not installed, so no second reader can check the workbook");
    const test::ToolResult r = test::runTool(
        QStringLiteral("soffice"),
        {QStringLiteral("-env:UserInstallation=file://") + dir->filePath(QStringLiteral("profile")), QStringLiteral("--headless"),
         QStringLiteral("--convert-to"), QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76"), QStringLiteral("--outdir"),
         dir->path(), name});
    const QString csv = QString::fromUtf8(test::readBytes(dir->filePath(QStringLiteral("book.csv"))));
    QVERIFY2(r.exitCode == 0 && csv.startsWith(QStringLiteral("model,store,cost,daterec,stamp,note\nAlpha TV,1,1299,3/1/2024,3/1/2024 14:05,a|b\n"))
                 && csv.contains(QStringLiteral("Zoë & 日本\nCharlie,1,19.99,,,xxx")),
             qPrintable(r.output + csv));
}

void tst_Export::longSharedStringsContinue()
{
    // Distinct texts, wide and narrow, long enough that the shared strings cross many records.
    std::vector<test::ExportRow> rows;
    QStringList notes;
    for (int i = 0; i < 1500; ++i) {
        notes << (i % 3 ? QStringLiteral("narrow %1 ").arg(i).repeated(6) : QStringLiteral("ωιδε %1 日本 ").arg(i).repeated(5));
        rows.push_back({"m", i, i, std::nullopt, std::nullopt, notes.last()});
    }
    grid->setTable(test::exportTable(rows));
    QString name = dir->filePath(QStringLiteral("long.xls"));
    QVERIFY(ExportGrid(*grid, name, nullptr).ok());
    const QStringList read = test::readExport(name).split(u'\n');
    QCOMPARE(read.size(), 1502);
    for (int i = 0; i < 1500; ++i)
        QCOMPARE(read.at(i + 2).section(u'\t', 5), notes.at(i));
}

void tst_Export::tooManyRowsForXls_data()
{
    QTest::addColumn<bool>("xlsx");
    QTest::newRow("saved as .xlsx") << true;
    QTest::newRow("cancelled: nothing written") << false;
}

void tst_Export::tooManyRowsForXls()
{
    QFETCH(bool, xlsx);
    std::vector<test::ExportRow> rows(kSpreadsheetRows + 1, test::ExportRow{"row", 1, 100, QDate(2024, 1, 2), std::nullopt, {}});
    rows.back().model = "last";
    grid->setTable(test::exportTable(rows));
    const QString xls = dir->filePath(QStringLiteral("big.xls"));
    QString name = xls;
    test::ModalScript answer({[xlsx](QWidget *w) { test::click(w, xlsx ? "cmdXlsx" : "cmdCancel"); }});
    const Result<int> n = ExportGrid(*grid, name, nullptr);
    QVERIFY2(answer.seen.value(0).contains(QLatin1String("65,536 rows")), qPrintable(answer.seen.join(u'|')));
    QCOMPARE(QFileInfo::exists(xls), false);
    if (!xlsx) {
        QVERIFY(!n.ok());
        QCOMPARE(QDir(dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList());
        return;
    }
    QVERIFY(n.ok());
    QCOMPARE(name, dir->filePath(QStringLiteral("big.xlsx")));
    const QStringList read = test::readExport(name).split(u'\n');
    QCOMPARE(read.size(), kSpreadsheetRows + 3);
    QCOMPARE(read.mid(0, 3), (QStringList{"sheets: Sheet 1", "model\tstore\tcost\tdaterec\tstamp\tnote",
                                          "row\t=1\t=1\t@2024-01-02 00:00:00\t\t"}));
    QVERIFY(read.last().startsWith(u"last\t"));
}

int main(int argc, char **argv)
{
    // The files' numbers and dates follow the user's regional format; these tests read them in
    // the United States one.
    qputenv("LC_ALL", "en_US.UTF-8");
    QApplication app(argc, argv);
    tst_Export t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_export.moc"
