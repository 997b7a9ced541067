#include "core/layoutrules.h"

#include <QTest>

namespace lr = velmora::layoutrules;

class tst_LayoutRules : public QObject {
    Q_OBJECT
private slots:
    void folders_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("exact");        // the picker's folder below "Saved Report Layouts/"
        QTest::addColumn<QString>("ignoringCase"); // the viewer's open and save

        QTest::newRow("inventory") << "" << "" << "";
        QTest::newRow("customer search") << "customersearch" << "Customer Search/" << "Customer Search/";
        QTest::newRow("deleted inventory") << "deletedinv" << "INV2/" << "INV2/";
        QTest::newRow("all customers") << "allcustomers" << "Customer List/" << "Customer List/";
        QTest::newRow("custom SQL uses the root") << "customsql" << "" << "";
        QTest::newRow("DeletedInv: picker exact, viewer ignoring case") << "DeletedInv" << "" << "INV2/";
        QTest::newRow("MASTERINV: picker exact, viewer ignoring case") << "MASTERINV" << "" << "Masterinv/";
    }

    void folders()
    {
        QFETCH(QString, key);
        QFETCH(QString, exact);
        QFETCH(QString, ignoringCase);
        const QString root = QStringLiteral("Saved Report Layouts/");
        QCOMPARE(lr::layoutFolder(key, Qt::CaseSensitive), root + exact);
        QCOMPARE(lr::layoutFolder(key, Qt::CaseInsensitive), root + ignoringCase);
    }

    void foldersMadeSure()
    {
        QCOMPARE(lr::saveFolders(),
                 (QStringList{"Saved Report Layouts/", "Saved Report Layouts/Customer Search/",
                              "Saved Report Layouts/Customer List/", "Saved Report Layouts/Masterinv/"}));
        const QStringList picker = lr::pickerFolders();
        QCOMPARE(picker.first(), QStringLiteral("Saved Report Layouts/"));
        // Every folder a kind can use is made by the picker, parents first.
        for (const QString key : {"", "customersearch", "deletedinv", "allcustomers", "servicereport", "projreport",
                                  "masterinv"})
            QVERIFY2(picker.contains(lr::layoutFolder(key, Qt::CaseSensitive)), qPrintable(key));
    }

    // The rules for a typed layout name and for the files listed: what each makes of a name.
    void names_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("withTxt");
        QTest::addColumn<QString>("cleaned");
        QTest::addColumn<bool>("listed");
        QTest::newRow("plain name") << "Sales" << "Sales.txt" << "Sales" << false;
        QTest::newRow("upper-case ending is kept") << "Sales.TXT" << "Sales.TXT" << "Sales.TXT" << true;
        QTest::newRow("txt without a dot") << "Salestxt" << "Salestxt.txt" << "Salestxt" << true;
        QTest::newRow("other ending") << "Sales.csv" << "Sales.csv.txt" << "Sales.csv" << false;
        QTest::newRow("an ending after .txt") << "a.txt.bak" << "a.txt.bak.txt" << "a.txt.bak" << false;
        QTest::newRow("every forbidden character") << "?\\/><*|:;\"x" << "?\\/><*|:;\"x.txt" << "__________x" << false;
        QTest::newRow("leading dots go") << "..x.txt" << "..x.txt" << "x.txt" << true;
        QTest::newRow("dots after a replaced character stay") << "/..x" << "/..x.txt" << "_..x" << false;
        QTest::newRow("inner and trailing dots stay") << "a.b." << "a.b..txt" << "a.b." << false;
        QTest::newRow("blanks and non-ASCII stay") << " Süd 店 " << " Süd 店 .txt" << " Süd 店 " << false;
    }

    void names()
    {
        QFETCH(QString, name);
        QTEST(lr::withTxtEnding(name), "withTxt");
        QTEST(lr::cleanName(name), "cleaned");
        QTEST(lr::isLayoutFileName(name), "listed");
    }

    void formatUsesCrLf()
    {
        QCOMPARE(lr::formatLayout({"model", "Serial No", "Müller"}),
                 QByteArray("model\r\nSerial No\r\nM\xc3\xbcller\r\n"));
        QCOMPARE(lr::formatLayout({}), QByteArray());
    }

    void parse_data()
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

    void parse()
    {
        QFETCH(QByteArray, data);
        QTEST(lr::parseLayout(data), "captions");
    }
};

QTEST_GUILESS_MAIN(tst_LayoutRules)
#include "tst_layoutrules.moc"
