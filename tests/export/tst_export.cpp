// The export engine's files, each read back by an independent reader.

#include "exporttesting.h"

#include "core/reportrequest.h"
#include "export/mExport.h"
#include "grid/reportgrid.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace velmora;

namespace {

// The page as html.parser sees it: the bold title, the header cells, the rows' cells, the last
// paragraph, the declared charset and whether any element other than the page's own appeared.
const char *const kReadHtml = R"(
import sys, json
from html.parser import HTMLParser
class P(HTMLParser):
    def __init__(s):
        super().__init__(convert_charrefs=True); s.out = {"th": [], "rows": [], "p": [], "tags": [], "charset": ""}; s.cell = None
    def handle_starttag(s, tag, attrs):
        s.out["tags"].append(tag) if tag not in s.out["tags"] else None
        a = dict(attrs)
        if tag == "meta" and "charset=" in a.get("content", ""): s.out["charset"] = a["content"].split("charset=")[1]
        if tag == "tr": s.row = []
        if tag in ("td", "th", "p"): s.cell = ""
    def handle_endtag(s, tag):
        if tag == "th": s.out["th"].append(s.cell)
        if tag == "td": s.row.append(s.cell)
        if tag == "tr" and s.row: s.out["rows"].append(s.row)
        if tag == "p" and s.cell is not None: s.out["p"].append(s.cell)
    def handle_data(s, d):
        if s.cell is not None: s.cell += d
p = P(); p.feed(open(sys.argv[1], encoding="utf-8").read()); print(json.dumps(p.out))
)";

// Every cell of the sheet as xlrd reads it: [type, value]; dates as [y, m, d, h, mi, s] with
// their number format (before March 1900, where xlrd will not name the day, as the serial number).
const char *const kReadXls = R"(
import sys, json, xlrd
b = xlrd.open_workbook(sys.argv[1], formatting_info=True)
s = b.sheet_by_index(0)
def cell(r, c):
    x = s.cell(r, c)
    if x.ctype == xlrd.XL_CELL_DATE:
        fmt = b.format_map[b.xf_list[x.xf_index].format_key].format_str
        try:
            return ["date", list(xlrd.xldate_as_tuple(x.value, b.datemode)), fmt]
        except xlrd.xldate.XLDateAmbiguous:
            return ["serial", x.value, fmt]
    return [{0: "empty", 1: "text", 2: "number"}.get(x.ctype, str(x.ctype)), x.value]
print(json.dumps({"sheets": b.sheet_names(), "rows": [[cell(r, c) for c in range(s.ncols)] for r in range(s.nrows)]}))
)";

const char *const kReadXlsx = R"(
import sys, json, openpyxl
b = openpyxl.load_workbook(sys.argv[1], read_only=True)
s = b.worksheets[0]
rows = [[v.isoformat() if hasattr(v, "isoformat") else v for v in r] for r in s.iter_rows(values_only=True)]
print(json.dumps({"sheets": b.sheetnames, "count": len(rows), "first": rows[:3], "last": rows[-1]}))
)";

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
}

QJsonArray jsonRow(std::initializer_list<QJsonValue> cells)
{
    return QJsonArray(cells);
}

} // namespace

class tst_Export : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void textFile_data();
    void textFile();
    void htmlPage();
    void spreadsheetByXlrd();
    void longSharedStringsContinue();
    void spreadsheetByLibreOffice();
    void tooManyRowsForXls_data();
    void tooManyRowsForXls();

private:
    void arrange(const QString &how);
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

// Puts the grid in the state a case names.
void tst_Export::arrange(const QString &how)
{
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
}

void tst_Export::textFile_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray header = "model|store|cost|daterec|stamp|note\r\n", bravo = "Bravo <script>alert(1)</script>|2|450.5|6/1/1850|3/2/2024",
                     alpha = "Alpha TV|1|1299|3/1/2024|3/1/2024 2:05:09 PM", charlie = "Charlie|1|19.99||",
                     delta = "Delta|2|-0.05|12/31/2024|2/28/1900 12:00:00 PM", zoe = "Zo\xc3\xab & \xe6\x97\xa5\xe6\x9c\xac",
                     x300 = QByteArray(300, 'x') + "END";
    QTest::newRow("every value kind, in table order")
        << "plain" << header + alpha + "|a|b\r\n" + bravo + '|' + zoe + "\r\n" + charlie + '|' + x300 + "\r\n" + delta + "|\r\n";
    QTest::newRow("collapsed groups give every record, no group rows")
        << "grouped" << header + alpha + "|a|b\r\n" + charlie + '|' + x300 + "\r\n" + bravo + '|' + zoe + "\r\n" + delta + "|\r\n";
    QTest::newRow("hidden column left out, moved column in grid order")
        << "hidden"
        << QByteArray("cost|model|store|daterec|stamp\r\n1299|Alpha TV|1|3/1/2024|3/1/2024 2:05:09 PM\r\n"
                      "450.5|Bravo <script>alert(1)</script>|2|6/1/1850|3/2/2024\r\n19.99|Charlie|1||\r\n"
                      "-0.05|Delta|2|12/31/2024|2/28/1900 12:00:00 PM\r\n");
    QTest::newRow("second column of a caption feeds the first one's field")
        << "duplicate"
        << "model|store|cost|daterec|stamp\r\na|b|1|1299|3/1/2024|3/1/2024 2:05:09 PM\r\n" + zoe +
               "|2|450.5|6/1/1850|3/2/2024\r\n" + x300 + "|1|19.99||\r\n|2|-0.05|12/31/2024|2/28/1900 12:00:00 PM\r\n";
    QTest::newRow("empty report: the header only") << "empty" << header;
}

void tst_Export::textFile()
{
    QFETCH(QString, how);
    QFETCH(QByteArray, expected);
    arrange(how);
    QString name = dir->filePath(QStringLiteral("out.txt"));
    const Result<int> n = ExportGrid(*grid, name, nullptr);
    QVERIFY2(n.ok(), qPrintable(n.ok() ? QString() : n.failure().description));
    QCOMPARE(readAll(name), expected);
    QCOMPARE(n.value(), int(expected.count("\r\n")) - 1);
    // The groups are left expanded.
    for (int p = 1; p <= grid->rowCount(); ++p)
        QVERIFY(grid->row(p).type == GridRowType::Record || grid->row(p).expanded);
}

void tst_Export::htmlPage()
{
    arrange(QStringLiteral("grouped"));
    QString name = dir->filePath(QStringLiteral("page.html"));
    QVERIFY(ExportGrid(*grid, name, nullptr).ok());
    const QByteArray bytes = readAll(name);
    QVERIFY(bytes.startsWith("<html>\r\n<head>\r\n"));
    QVERIFY(bytes.contains("</head>\r\n\r\n<body>\r\n"));
    QVERIFY(bytes.contains("<p>Store: Main St &quot;North&quot; Store#: 7<br>\r\nExported at: "));
    QVERIFY(bytes.endsWith("<p>End of export - 4 records exported.</p>\r\n\r\n</body>\r\n</html>\r\n"));
    const QJsonObject page = test::python(kReadHtml, name).object();
    QCOMPARE(page.value(u"charset").toString(), QStringLiteral("utf-8"));
    // Markup in values shows as text: no element beyond the page's own.
    QCOMPARE(page.value(u"tags").toArray(),
             QJsonArray({"html", "head", "meta", "title", "style", "body", "p", "b", "hr", "br", "table", "tr", "th", "td"}));
    const QJsonArray p = page.value(u"p").toArray();
    QCOMPARE(p.first().toString(), QStringLiteral("Stock <b> & more"));
    QCOMPARE(p.last().toString(), QStringLiteral("End of export - 4 records exported."));
    QCOMPARE(page.value(u"th").toArray(), QJsonArray({"model", "store", "cost", "daterec", "stamp", "note"}));
    const QJsonArray rows = page.value(u"rows").toArray();
    QCOMPARE(rows.size(), 4);
    const QString nb = QStringLiteral("\u00a0");
    QCOMPARE(rows.at(2).toArray(),
             QJsonArray({"Bravo <script>alert(1)</script>" + nb, "2" + nb, "450.5" + nb, "6/1/1850" + nb, "3/2/2024" + nb,
                         QStringLiteral("Zoë & 日本") + nb}));
    QCOMPARE(rows.at(1).toArray().at(3).toString(), nb);
}

void tst_Export::spreadsheetByXlrd()
{
    QString name = dir->filePath(QStringLiteral("book.xls"));
    QVERIFY(ExportGrid(*grid, name, nullptr).ok());
    const QJsonObject book = test::python(kReadXls, name).object();
    QCOMPARE(book.value(u"sheets").toArray(), QJsonArray({"Sheet 1"}));
    const QJsonArray rows = book.value(u"rows").toArray();
    QCOMPARE(rows.size(), 5);
    const auto text = [](const QString &s) { return jsonRow({"text", s}); };
    const auto number = [](double v) { return jsonRow({"number", v}); };
    const auto date = [](int y, int m, int d, int h, int mi, int s, const char *fmt) {
        return jsonRow({"date", jsonRow({y, m, d, h, mi, s}), fmt});
    };
    const QJsonArray empty = jsonRow({"empty", ""});
    QCOMPARE(rows.at(0).toArray(), QJsonArray({text("model"), text("store"), text("cost"), text("daterec"), text("stamp"), text("note")}));
    QCOMPARE(rows.at(1).toArray(), QJsonArray({text("Alpha TV"), number(1), number(1299), date(2024, 3, 1, 0, 0, 0, "m/d/yy"),
                                               date(2024, 3, 1, 14, 5, 9, "m/d/yy h:mm"), text("a|b")}));
    const auto serial = [](double v, const char *fmt) { return jsonRow({"serial", v, fmt}); };
    // Before 1900 a date is written as 1 January 1900 (serial 1).
    QCOMPARE(rows.at(2).toArray(), QJsonArray({text("Bravo <script>alert(1)</script>"), number(2), number(450.5),
                                               serial(1, "m/d/yy"), date(2024, 3, 2, 0, 0, 0, "m/d/yy"),
                                               text(QStringLiteral("Zoë & 日本"))}));
    QCOMPARE(rows.at(3).toArray(), QJsonArray({text("Charlie"), number(1), number(19.99), empty, empty, text(QString(255, u'x'))}));
    QCOMPARE(rows.at(4).toArray(), QJsonArray({text("Delta"), number(2), number(-0.05), date(2024, 12, 31, 0, 0, 0, "m/d/yy"),
                                               serial(59.5, "m/d/yy h:mm"), empty}));
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
    const QJsonArray read = test::python(kReadXls, name).object().value(u"rows").toArray();
    QCOMPARE(read.size(), 1501);
    for (int i = 0; i < 1500; ++i)
        QCOMPARE(read.at(i + 1).toArray().at(5).toArray().at(1).toString(), notes.at(i));
}

void tst_Export::spreadsheetByLibreOffice()
{
    if (QStandardPaths::findExecutable(QStringLiteral("soffice")).isEmpty())
        QSKIP("LibreOffice (soffice) is not installed, so no second reader can check the workbook");
    QString name = dir->filePath(QStringLiteral("book.xls"));
    QVERIFY(ExportGrid(*grid, name, nullptr).ok());
    const test::ToolResult r = test::runTool(
        QStringLiteral("soffice"),
        {QStringLiteral("-env:UserInstallation=file://") + dir->filePath(QStringLiteral("profile")), QStringLiteral("--headless"),
         QStringLiteral("--convert-to"), QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76"), QStringLiteral("--outdir"),
         dir->path(), name});
    QVERIFY2(r.exitCode == 0, qPrintable(r.output));
    const QList<QByteArray> lines = readAll(dir->filePath(QStringLiteral("book.csv"))).split('\n');
    QCOMPARE(lines.at(0).trimmed(), QByteArray("model,store,cost,daterec,stamp,note"));
    QVERIFY2(lines.at(1).startsWith("Alpha TV,1,1299,3/1/2024,3/1/2024 14:05,a|b"), lines.at(1).constData());
    QVERIFY2(lines.at(2).contains("Zo\xc3\xab & \xe6\x97\xa5\xe6\x9c\xac"), lines.at(2).constData());
    QVERIFY2(lines.at(3).startsWith("Charlie,1,19.99,,,xxx"), lines.at(3).constData());
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
    QString asked;
    test::ModalScript answer({[&](QWidget *w) {
        asked = static_cast<QMessageBox *>(w)->text();
        w->findChild<QPushButton *>(xlsx ? QStringLiteral("cmdXlsx") : QStringLiteral("cmdCancel"))->click();
    }});
    const Result<int> n = ExportGrid(*grid, name, nullptr);
    QVERIFY(asked.contains(QLatin1String("65,536 rows")));
    QCOMPARE(QFileInfo::exists(xls), false);
    if (!xlsx) {
        QVERIFY(!n.ok());
        QCOMPARE(QDir(dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList());
        return;
    }
    QVERIFY(n.ok());
    QCOMPARE(name, dir->filePath(QStringLiteral("big.xlsx")));
    const QJsonObject book = test::python(kReadXlsx, name).object();
    QCOMPARE(book.value(u"sheets").toArray(), QJsonArray({"Sheet 1"}));
    QCOMPARE(book.value(u"count").toInt(), kSpreadsheetRows + 2);
    QCOMPARE(book.value(u"first").toArray().at(1).toArray(),
             QJsonArray({"row", 1, 1, "2024-01-02T00:00:00", QJsonValue(), QJsonValue()}));
    QCOMPARE(book.value(u"last").toArray().at(0).toString(), QStringLiteral("last"));
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
