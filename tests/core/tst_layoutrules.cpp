#include "core/layoutrules.h"

#include <QTest>

namespace lr = velmora::layoutrules;

class tst_LayoutRules : public QObject {
    Q_OBJECT
private slots:
    void folders_data();
    void folders();
    void foldersMadeSure();

    void txtEnding_data();
    void txtEnding();
    void cleanName_data();
    void cleanName();
    void listedFiles_data();
    void listedFiles();

    void formatUsesCrLf();
    void parse_data();
    void parse();
};

void tst_LayoutRules::folders_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("exact");        // the picker's folder below "Saved Report Layouts/"
    QTest::addColumn<QString>("ignoringCase"); // the viewer's open and save

    QTest::newRow("inventory") << "" << "" << "";
    QTest::newRow("customer search") << "customersearch" << "Customer Search/" << "Customer Search/";
    QTest::newRow("deleted inventory") << "deletedinv" << "INV2/" << "INV2/";
    QTest::newRow("all customers") << "allcustomers" << "Customer List/" << "Customer List/";
    QTest::newRow("custom SQL uses the root") << "customsql" << "" << "";
    QTest::newRow("unknown key uses the root") << "whatever" << "" << "";
    QTest::newRow("DeletedInv: picker exact, viewer ignoring case") << "DeletedInv" << "" << "INV2/";
    QTest::newRow("MASTERINV: picker exact, viewer ignoring case") << "MASTERINV" << "" << "Masterinv/";
}

void tst_LayoutRules::folders()
{
    QFETCH(QString, key);
    QFETCH(QString, exact);
    QFETCH(QString, ignoringCase);
    const QString root = QStringLiteral("Saved Report Layouts/");
    QCOMPARE(lr::layoutFolder(key, Qt::CaseSensitive), root + exact);
    QCOMPARE(lr::layoutFolder(key, Qt::CaseInsensitive), root + ignoringCase);
}

void tst_LayoutRules::foldersMadeSure()
{
    QCOMPARE(lr::saveFolders(),
             (QStringList{"Saved Report Layouts/", "Saved Report Layouts/Customer Search/",
                          "Saved Report Layouts/Customer List/", "Saved Report Layouts/Masterinv/"}));
    const QStringList picker = lr::pickerFolders();
    QCOMPARE(picker.size(), 7);
    QCOMPARE(picker.first(), QStringLiteral("Saved Report Layouts/"));
    // Every folder a kind can use is made by the picker, parents first.
    for (const QString key : {"", "customersearch", "deletedinv", "allcustomers", "servicereport", "projreport",
                              "masterinv"})
        QVERIFY2(picker.contains(lr::layoutFolder(key, Qt::CaseSensitive)), qPrintable(key));
}

void tst_LayoutRules::txtEnding_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain name gets .txt") << "Sales" << "Sales.txt";
    QTest::newRow("upper-case ending is kept") << "Sales.TXT" << "Sales.TXT";
    QTest::newRow("txt without dot gets .txt") << "Salestxt" << "Salestxt.txt";
    QTest::newRow("other ending gets .txt") << "Sales.csv" << "Sales.csv.txt";
    QTest::newRow("just the ending") << ".txt" << ".txt";
}

void tst_LayoutRules::txtEnding()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QCOMPARE(lr::withTxtEnding(name), expected);
}

void tst_LayoutRules::cleanName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::newRow("every forbidden character") << "?\\/><*|:;\"x" << "__________x";
    QTest::newRow("leading dots go") << "..x" << "x";
    QTest::newRow("dots after a replaced character stay") << "/..x" << "_..x";
    QTest::newRow("inner and trailing dots stay") << "a.b." << "a.b.";
    QTest::newRow("blanks and non-ASCII stay") << " Süd 店 " << " Süd 店 ";
}

void tst_LayoutRules::cleanName()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QCOMPARE(lr::cleanName(name), expected);
}

void tst_LayoutRules::listedFiles_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("listed");
    QTest::newRow("a.txt") << "a.txt" << true;
    QTest::newRow("A.TXT") << "A.TXT" << true;
    QTest::newRow("no dot: notestxt") << "notestxt" << true;
    QTest::newRow("a.csv") << "a.csv" << false;
    QTest::newRow("a.txt.bak") << "a.txt.bak" << false;
}

void tst_LayoutRules::listedFiles()
{
    QFETCH(QString, fileName);
    QFETCH(bool, listed);
    QCOMPARE(lr::isLayoutFileName(fileName), listed);
}

void tst_LayoutRules::formatUsesCrLf()
{
    QCOMPARE(lr::formatLayout({"model", "Serial No", "Müller"}),
             QByteArray("model\r\nSerial No\r\nM\xc3\xbcller\r\n"));
    QCOMPARE(lr::formatLayout({}), QByteArray());
}

void tst_LayoutRules::parse_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QStringList>("captions");
    QTest::newRow("CR LF") << QByteArray("a\r\nb\r\n") << QStringList{"a", "b"};
    QTest::newRow("CR") << QByteArray("a\rb\r") << QStringList{"a", "b"};
    QTest::newRow("last line without end") << QByteArray("a\r\nb") << QStringList{"a", "b"};
    QTest::newRow("blank line in the middle") << QByteArray("a\r\n\r\nb\r\n") << QStringList{"a", "", "b"};
    QTest::newRow("empty file") << QByteArray() << QStringList{};
    QTest::newRow("UTF-8 with byte order mark") << QByteArray("\xef\xbb\xbfM\xc3\xbcller\r\n")
                                                << QStringList{QStringLiteral("Müller")};
    QTest::newRow("Latin-1") << QByteArray("M\xfcller\r\n") << QStringList{QStringLiteral("Müller")};
}

void tst_LayoutRules::parse()
{
    QFETCH(QByteArray, data);
    QFETCH(QStringList, captions);
    QCOMPARE(lr::parseLayout(data), captions);
}

QTEST_GUILESS_MAIN(tst_LayoutRules)
#include "tst_layoutrules.moc"
