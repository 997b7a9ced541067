// The layout picker driven as a user drives it, over layout files on disk.

#include "viewertesting.h"

using namespace velmora;
using namespace velmora::test;

class tst_FileDLG : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_layouts;

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        request().Datapath = m_dir->path() + u'/';
        m_layouts = request().Datapath + QStringLiteral("Saved Report Layouts/");
    }
    void cleanup() { QVERIFY(!QApplication::activeModalWidget()); }

    void choose_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("files");   // under the layout root; a trailing "/" makes a folder
        QTest::addColumn<bool>("openMode");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QStringList>("gone");    // the files deleted

        const QStringList two{"First.txt", "Second.txt"};
        const QString n21(21, u'n');
        QTest::newRow("save mode: captions")
            << "" << QStringList{} << false
            << QStringList{"?title=Save Report Layout", "?visible:SaveLBL",
                           "?SaveLBL=Type a filename or select one to save as",
                           "?Label1=To delete a file from the list below click on it and press the Delete key",
                           "?OKButton=OK", "?CancelButton=Cancel", "CancelButton"}
            << "" << QStringList{};
        QTest::newRow("open mode: caption")
            << "" << QStringList{} << true << QStringList{"?title=Select a saved layout to use", "?hidden:SaveLBL"}
            << "" << QStringList{};
        QTest::newRow("the kind's .txt files, in any case of the ending")
            << "servicereport"
            << QStringList{"Service/Folder.txt/", "Service/b.txt", "Service/A.TXT", "Service/notes.csv",
                           "Service/Clean.txt.bak", "Inventory.txt"}
            << true << QStringList{"?List1=A.TXT,b.txt"} << "" << QStringList{};
        QTest::newRow("the kind is compared exactly")
            << "DeletedInv" << QStringList{"INV2/Deleted.txt", "Root.txt"} << true << QStringList{"?List1=Root.txt"}
            << "" << QStringList{};
        QTest::newRow("a click copies the name") << "" << two << false
                                                 << QStringList{"List1=Second.txt", "?FileNameTXT=Second.txt", "OKButton"}
                                                 << "Second.txt" << QStringList{};
        QTest::newRow("a double-click chooses") << "" << two << true << QStringList{"List1*=First.txt"} << "First.txt"
                                                << QStringList{};
        // The ending and the name rules' other cases are the layout rules' tests.
        QTest::newRow("forbidden characters and leading dots are cleaned, in the box too")
            << "" << two << false << QStringList{"FileNameTXT:=..a?\\/><*|:;\"b", "OKButton"} << "a__________b.txt" << QStringList{};
        QTest::newRow("open mode takes a name as typed")
            << "" << two << true << QStringList{"FileNameTXT:=..a:b?c", "OKButton", "?FileNameTXT=..a:b?c"}
            << "..a:b?c.txt" << QStringList{};
        QTest::newRow("open mode takes 22 characters")
            << "" << two << true << QStringList{"FileNameTXT:=" + n21 + "n", "OKButton"} << n21 + "n.txt" << QStringList{};
        QTest::newRow("too long a name is refused and the dialog stays, 21 characters are taken")
            << "" << two << false
            << QStringList{"FileNameTXT:=a:" + QString(20, u'n'),
                           "OKButton>?text=File name must be 25 characters or less.;OK",
                           "?FileNameTXT=a_" + QString(20, u'n') + ".txt", "FileNameTXT:=" + n21, "OKButton"}
            << n21 + ".txt" << QStringList{};
        QTest::newRow("an empty name keeps the dialog open")
            << "" << two << false << QStringList{"OKButton", "?visible:OKButton", "FileNameTXT:=Later", "OKButton"}
            << "Later.txt" << QStringList{};
        QTest::newRow("Enter presses OK") << "" << two << false << QStringList{"FileNameTXT:=Entered", "FileNameTXT^Return"}
                                          << "Entered.txt" << QStringList{};
        QTest::newRow("Cancel gives nothing") << "" << two << false << QStringList{"FileNameTXT:=Typed", "CancelButton"}
                                              << "" << QStringList{};
        QTest::newRow("Delete asks, then deletes")
            << "" << QStringList{"Keep.txt", "Old.txt"} << true
            << QStringList{"List1=Old.txt", "List1^Del>?text=Do you want to delete the layout: Old.txt;Yes",
                           "?List1=Keep.txt"}
            << "" << QStringList{"Old.txt"};
        QTest::newRow("Delete answered No keeps the file, and without a selection asks nothing")
            << "" << QStringList{"Old.txt"} << true
            << QStringList{"List1^Del", "List1=Old.txt", "List1^Del>No", "?List1=Old.txt"} << ""
            << QStringList{};
    }

    void choose()
    {
        QFETCH(QString, kind);
        QFETCH(QStringList, files);
        QFETCH(bool, openMode);
        QFETCH(QStringList, steps);
        QFETCH(QString, result);
        QFETCH(QStringList, gone);
        request().ReportKey = kind;
        for (const QString &f : files) {
            QVERIFY(QDir().mkpath(QFileInfo(m_layouts + f).path()));
            if (f.endsWith(u'/'))
                QVERIFY(QDir().mkpath(m_layouts + f));
            else
                QVERIFY(QFile(m_layouts + f).open(QIODevice::WriteOnly));
        }
        QString got = QStringLiteral("(not returned)");
        play<FileDLG>(steps, [&] { got = FileDLG::GetSaveFile(openMode); });
        QCOMPARE(got, result);
        QVERIFY(!FileDLG::instance()->isVisible());
        for (const QString &f : files)
            QCOMPARE(QFileInfo::exists(m_layouts + f), !gone.contains(f));
        // The next use starts without the earlier name.
        if (result.isEmpty())
            play<FileDLG>({"?FileNameTXT=", "CancelButton"}, [&] { FileDLG::GetSaveFile(openMode); });
    }

    void makesTheLayoutFolders()
    {
        play<FileDLG>({"CancelButton"}, [] { FileDLG::GetSaveFile(true); });
        for (const char *folder : {"", "Customer Search", "Customer List", "INV2", "Service", "Proj", "Masterinv"})
            QVERIFY2(QFileInfo(m_layouts + QString::fromUtf8(folder)).isDir(), folder);
    }

    void unreachableDataFolderSaysSo()
    {
        request().Datapath = m_dir->path() + QStringLiteral("/unplugged/");
        QString text;
        auto box = whenOpen<QMessageBox>([&text](QMessageBox *b) { text = b->text(); });
        QCOMPARE(FileDLG::GetSaveFile(false), QString());
        QVERIFY(*box);
        QVERIFY2(text.contains(QStringLiteral("cannot be reached")), qPrintable(text));
        QVERIFY(!QFileInfo::exists(request().Datapath));
    }
};

QTEST_MAIN(tst_FileDLG)
#include "tst_filedlg.moc"
