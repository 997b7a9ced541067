// The layout picker driven as a user drives it, over layout files on disk; then saved layouts through
// the viewer's File menu and the picker, the files and the remembered names read back as bytes and
// through QSettings.

#include "common/fulldisk.h"
#include "common/unprivileged.h"
#include "core/layoutrules.h"
#include "viewer/layouts.h"

#include "viewertesting.h"

using namespace velmora;
using namespace velmora::test;

class tst_Layouts : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QTemporaryDir m_settingsDir;
    QString m_data;
    std::vector<std::unique_ptr<frmMain>> m_viewers;

    frmMain *viewer()
    {
        m_viewers.emplace_back(test::layoutViewer());
        return m_viewers.back().get();
    }
    QString layoutPath(const QString &relative) const { return m_data + QStringLiteral("Saved Report Layouts/") + relative; }
    void trigger(frmMain *v, const QString &action) { v->findChild<QAction *>(action)->trigger(); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_settingsDir.isValid());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settingsDir.path());
    }
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_data = m_dir->path() + u'/';
        request().Datapath = m_data;
        request().ReportKey.clear();
        request().LayoutName.clear();
        storedSettings().clear();
    }
    void cleanup()
    {
        m_viewers.clear();
        QVERIFY(!QApplication::activeModalWidget());
    }

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
        for (const QString &f : files)
            QVERIFY(f.endsWith(u'/') ? QDir().mkpath(layoutPath(f)) : writeAll(layoutPath(f), {}));
        QString got = QStringLiteral("(not returned)");
        play<FileDLG>(steps, [&] { got = FileDLG::GetSaveFile(openMode); });
        QCOMPARE(got, result);
        QVERIFY(!FileDLG::instance()->isVisible());
        for (const QString &f : files)
            QCOMPARE(QFileInfo::exists(layoutPath(f)), !gone.contains(f));
        // The next use starts without the earlier name.
        if (result.isEmpty())
            play<FileDLG>({"?FileNameTXT=", "CancelButton"}, [&] { FileDLG::GetSaveFile(openMode); });
    }

    void makesTheLayoutFolders()
    {
        play<FileDLG>({"CancelButton"}, [] { FileDLG::GetSaveFile(true); });
        for (const char *folder : {"", "Customer Search", "Customer List", "INV2", "Service", "Proj", "Masterinv"})
            QVERIFY2(QFileInfo(layoutPath(QString::fromUtf8(folder))).isDir(), folder);
    }

    void unreachableDataFolderSaysSo()
    {
        request().Datapath = m_dir->path() + QStringLiteral("/unplugged/");
        ModalScript box({pressButton(QMessageBox::Ok)});
        QCOMPARE(FileDLG::GetSaveFile(false), QString());
        QVERIFY2(box.seen.join(u'|').contains(QStringLiteral("cannot be reached")), qPrintable(box.seen.join(u'|')));
        QVERIFY(!QFileInfo::exists(request().Datapath));
    }

    void saveAndLoad_data()
    {
        QTest::addColumn<QStringList>("files");     // "name=lines" under the layout root, before and after
        QTest::addColumn<QString>("loaded");        // a layout loaded first
        QTest::addColumn<QString>("hide");          // columns hidden, then one moved first ("^cost")
        QTest::addColumn<QString>("action");        // a File menu entry, or "load Name.txt" as the load step does
        QTest::addColumn<QStringList>("picker");    // the picker's steps; empty: it must not come up
        QTest::addColumn<QStringList>("after");     // every layout file afterwards
        QTest::addColumn<QString>("name");          // the current layout name afterwards
        QTest::addColumn<QString>("shown");

        const QString all = "model,serial,description,store,cost";
        QTest::newRow("save without a name asks for one; every visible column in display order")
            << QStringList{} << "" << "serial ^cost" << "MNUsave"
            << QStringList{"?visible:SaveLBL", "FileNameTXT:=Sales", "OKButton"}
            << QStringList{"Sales.txt=cost,model,description,store"} << "Sales.txt" << "cost,model,description,store";
        QTest::newRow("a cancelled picker writes nothing")
            << QStringList{} << "" << "" << "MNUsave" << QStringList{"CancelButton"} << QStringList{} << "" << all;
        QTest::newRow("save after a load writes under its name without asking")
            << QStringList{"Daily.txt=model,cost"} << "Daily.txt" << "" << "MNUsave" << QStringList{}
            << QStringList{"Daily.txt=model,cost"} << "Daily.txt" << "model,cost";
        QTest::newRow("save as always asks")
            << QStringList{"Daily.txt=model"} << "Daily.txt" << "" << "MNUsaveAS"
            << QStringList{"FileNameTXT:=Weekly", "OKButton"} << QStringList{"Daily.txt=model", "Weekly.txt=model"}
            << "Weekly.txt" << "model";
        QTest::newRow("open takes the layout from the list")
            << QStringList{"Round.txt=store,description,serial,cost"} << "" << "" << "MNUopen"
            << QStringList{"?List1=Round.txt", "List1=Round.txt", "OKButton"}
            << QStringList{"Round.txt=store,description,serial,cost"} << "Round.txt" << "store,description,serial,cost";
        QTest::newRow("a listed column the report lacks is passed over")
            << QStringList{"Old.txt=cost,retired,model"} << "" << "" << "load Old.txt" << QStringList{}
            << QStringList{"Old.txt=cost,retired,model"} << "Old.txt" << "cost,model";
        QTest::newRow("a missing file is remembered and changes nothing else")
            << QStringList{} << "" << "" << "load Gone.txt" << QStringList{} << QStringList{} << "" << all;
    }
    void saveAndLoad()
    {
        QFETCH(QStringList, files);
        QFETCH(QString, loaded);
        QFETCH(QString, hide);
        QFETCH(QString, action);
        QFETCH(QStringList, picker);
        QFETCH(QStringList, after);
        QFETCH(QString, name);
        QFETCH(QString, shown);
        // Layout files have "\r\n" after each line; the rows write them with ",".
        for (const QString &f : files)
            QVERIFY(writeAll(layoutPath(f.section(u'=', 0, 0)), (f.section(u'=', 1).replace(u',', "\r\n") + "\r\n").toUtf8()));
        frmMain *v = viewer();
        const QString title = v->windowTitle();
        if (!loaded.isEmpty())
            LoadLayout(*v, loaded);
        for (const QString &h : hide.split(u' ', Qt::SkipEmptyParts)) {
            if (h.startsWith(u'^'))
                v->Jgrid->columnByKey(h.mid(1))->setPosition(1);
            else
                v->Jgrid->columnByKey(h)->setVisible(false);
        }
        auto opened = whenOpen<FileDLG>([&](FileDLG *dialog) {
            QCOMPARE(dialog->isOpenMode(), action == u"MNUopen");
            steps(dialog, picker);
        });
        if (action.startsWith(u"load"))
            LoadLayout(*v, action.section(u' ', 1));
        else
            trigger(v, action);
        QCOMPARE(*opened, !picker.isEmpty());
        QStringList written;
        for (const QFileInfo &f : QDir(layoutPath({})).entryInfoList(QDir::Files, QDir::Name))
            written << f.fileName() + u'=' + QString::fromUtf8(readAll(f.filePath())).replace(QStringLiteral("\r\n"), QStringLiteral(",")).chopped(1);
        QCOMPARE(written, after);
        QCOMPARE(request().LayoutName, name);
        QCOMPARE(v->windowTitle(), name.isEmpty() ? title : QStringLiteral("Velmora Results... Layout: ") + name);
        QCOMPARE(shownColumns(*v->Jgrid), shown);
        QVERIFY(!v->Jgrid->column(v->Jgrid->columnCount())->visible());
        // A load remembers the name it was given, found or not.
        QCOMPARE(storedSettings().value(QStringLiteral("Saved Reports/Last Inventory")).toString(),
                 action.startsWith(u"load") ? action.section(u' ', 1) : name);
    }

    void kinds_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("folder");        // under "Saved Report Layouts/"
        QTest::addColumn<QString>("writtenAs");     // settings name written by the save
        // The other kinds differ only in their names, which the layout rules' own tests cover; the
        // load step's tests read the names back.
        QTest::newRow("inventory") << "" << "" << "Last Inventory";
        QTest::newRow("deleted inventory, key in mixed case") << "DeletedInv" << "INV2/" << "Del Inventory";
        QTest::newRow("projected") << "projreport" << "Proj/" << "Last Projected";
        QTest::newRow("custom SQL") << "customsql" << "" << "Last Inventory";
    }
    void kinds()
    {
        QFETCH(QString, key);
        QFETCH(QString, folder);
        QFETCH(QString, writtenAs);
        request().ReportKey = key;
        // A name stored under another spelling is replaced, not doubled.
        storedSettings().setValue(QStringLiteral("Saved Reports/") + writtenAs.toUpper(), QStringLiteral("Old.txt"));
        frmMain *v = viewer();
        v->Jgrid->columnByKey(u"description")->setVisible(false);
        play<FileDLG>({"FileNameTXT:=Kind", "OKButton"}, [&] { trigger(v, QStringLiteral("MNUsaveAS")); });
        QCOMPARE(readAll(layoutPath(folder + QStringLiteral("Kind.txt"))), QByteArray("model\r\nserial\r\nstore\r\ncost\r\n"));
        QCOMPARE(storedSettings().allKeys(), QStringList{"Saved Reports/" + writtenAs});
        QCOMPARE(storedSettings().value(QStringLiteral("Saved Reports/") + writtenAs).toString(), QStringLiteral("Kind.txt"));
    }

    // Every failure to save ends in a message naming what failed, and the old layout stays whole.
    void failedSaveKeepsTheOldLayout_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("says");
        QTest::newRow("data folder unplugged") << "unplugged" << "unplugged";
        QTest::newRow("layout folder not writable") << "locked" << "Old.txt";
        QTest::newRow("disk full") << "full" << "No space left on device";
    }
    void failedSaveKeepsTheOldLayout()
    {
        QFETCH(QString, how);
        QFETCH(QString, says);
        std::unique_ptr<FullDisk> disk;
        if (how == u"full") {
            disk = std::make_unique<FullDisk>(64 * 1024);
            if (!disk->isMounted())
                QSKIP(qPrintable(disk->skipReason()));
            request().Datapath = m_data = disk->path() + u'/';
        }
        const QByteArray old = "model\r\ncost\r\n";
        QVERIFY(writeAll(layoutPath(QStringLiteral("Old.txt")), old));
        frmMain *v = viewer();
        LoadLayout(*v, QStringLiteral("Old.txt"));
        const QString title = v->windowTitle();
        v->Jgrid->columnByKey(u"serial")->setVisible(true);
        storedSettings().clear();

        // Everyone may read the tree, nobody but its owner write.
        const auto readable = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                              | QFileDevice::ReadOther | QFileDevice::ExeOther;
        if (how == u"unplugged") {
            request().Datapath = m_data + QStringLiteral("unplugged/");
        } else if (how == u"locked") {
            QVERIFY(QFile::setPermissions(m_dir->path(), readable));
            for (const QString &folder : layoutrules::pickerFolders()) {
                QDir().mkpath(m_data + folder);
                QFile::setPermissions(m_data + folder, readable);
            }
            QFile::setPermissions(layoutPath({}), QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther
                                                      | QFileDevice::ExeOther);
        } else {
            QVERIFY(disk->fill());
        }
        ModalScript box({pressButton(QMessageBox::Ok)});
        std::optional<Unprivileged> nobody;
        if (how == u"locked")
            nobody.emplace();
        trigger(v, QStringLiteral("MNUsave"));
        nobody.reset();
        QFile::setPermissions(layoutPath({}), readable);
        const QString text = box.seen.join(u'|');
        QVERIFY2(text.contains(says) && (how == u"unplugged" || text.contains(QStringLiteral("Old.txt"))), qPrintable(text));
        QCOMPARE(readAll(layoutPath(QStringLiteral("Old.txt"))), old);
        QCOMPARE(QDir(layoutPath({})).entryList(QDir::Files | QDir::Hidden), QStringList{"Old.txt"});
        QVERIFY(!QFileInfo::exists(request().Datapath) || how != u"unplugged");
        QCOMPARE(request().LayoutName, QStringLiteral("Old.txt"));
        QCOMPARE(v->windowTitle(), title);
        QVERIFY(!storedSettings().contains(QStringLiteral("Saved Reports/Last Inventory")));
    }
};

QTEST_MAIN(tst_Layouts)
#include "tst_layouts.moc"
