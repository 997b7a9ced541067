// Saved layouts through the viewer's File menu and the layout picker; the files and the remembered
// names are read back as bytes and through QSettings.

#include "common/fulldisk.h"
#include "common/unprivileged.h"
#include "core/layoutrules.h"
#include "viewer/layouts.h"

#include "viewertesting.h"

using namespace velmora;
using namespace velmora::test;

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeAll(const QString &path, const QByteArray &data)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(data) == data.size());
}

QSettings storedSettings()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Velmora"), QStringLiteral("Velmora"));
}

// Layout files are written with "\r\n" after each line; a row writes them with ",".
QByteArray layoutLines(const QString &columns)
{
    return columns.isEmpty() ? QByteArray() : (QString(columns).replace(u',', QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8();
}

} // namespace

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
        QSettings settings = storedSettings();
        settings.clear();
        settings.sync();
    }
    void cleanup()
    {
        m_viewers.clear();
        QVERIFY(!QApplication::activeModalWidget());
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
        QTest::addColumn<QString>("remembered");    // "Last Inventory" afterwards

        const QString all = "model,serial,description,store,cost";
        QTest::newRow("save without a name asks for one; every visible column in display order")
            << QStringList{} << "" << "serial ^cost" << "MNUsave"
            << QStringList{"?visible:SaveLBL", "FileNameTXT:=Sales", "OKButton"}
            << QStringList{"Sales.txt=cost,model,description,store"} << "Sales.txt" << "cost,model,description,store"
            << "Sales.txt";
        QTest::newRow("a cancelled picker writes nothing")
            << QStringList{} << "" << "" << "MNUsave" << QStringList{"CancelButton"} << QStringList{} << "" << all << "";
        QTest::newRow("save after a load writes under its name without asking")
            << QStringList{"Daily.txt=model,cost"} << "Daily.txt" << "" << "MNUsave" << QStringList{}
            << QStringList{"Daily.txt=model,cost"} << "Daily.txt" << "model,cost" << "Daily.txt";
        QTest::newRow("save as always asks")
            << QStringList{"Daily.txt=model"} << "Daily.txt" << "" << "MNUsaveAS"
            << QStringList{"FileNameTXT:=Weekly", "OKButton"} << QStringList{"Daily.txt=model", "Weekly.txt=model"}
            << "Weekly.txt" << "model" << "Weekly.txt";
        QTest::newRow("open takes the layout from the list")
            << QStringList{"Round.txt=store,description,serial,cost"} << "" << "" << "MNUopen"
            << QStringList{"?List1=Round.txt", "List1=Round.txt", "OKButton"}
            << QStringList{"Round.txt=store,description,serial,cost"} << "Round.txt" << "store,description,serial,cost"
            << "Round.txt";
        QTest::newRow("a listed column the report lacks is passed over")
            << QStringList{"Old.txt=cost,retired,model"} << "" << "" << "load Old.txt" << QStringList{}
            << QStringList{"Old.txt=cost,retired,model"} << "Old.txt" << "cost,model" << "Old.txt";
        QTest::newRow("a missing file is remembered and changes nothing else")
            << QStringList{} << "" << "" << "load Gone.txt" << QStringList{} << QStringList{} << "" << all << "Gone.txt";
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
        QFETCH(QString, remembered);
        for (const QString &f : files)
            writeAll(layoutPath(f.section(u'=', 0, 0)), layoutLines(f.section(u'=', 1)));
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
        QCOMPARE(test::shownColumns(*v->Jgrid).join(u','), shown);
        QVERIFY(!v->Jgrid->column(v->Jgrid->columnCount())->visible());
        QCOMPARE(storedSettings().value(QStringLiteral("Saved Reports/Last Inventory")).toString(), remembered);
    }

    void kinds_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("folder");        // under "Saved Report Layouts/"
        QTest::addColumn<QString>("writtenAs");     // settings name written by the save
        QTest::addColumn<bool>("reopened");         // the load step reads it back
        // The other kinds differ only in their names, which the layout rules' own tests cover.
        QTest::newRow("inventory") << "" << "" << "Last Inventory" << true;
        QTest::newRow("deleted inventory, key in mixed case") << "DeletedInv" << "INV2/" << "Del Inventory" << true;
        QTest::newRow("projected") << "projreport" << "Proj/" << "Last Projected" << true;
        QTest::newRow("custom SQL") << "customsql" << "" << "Last Inventory" << false;
    }
    void kinds()
    {
        QFETCH(QString, key);
        QFETCH(QString, folder);
        QFETCH(QString, writtenAs);
        QFETCH(bool, reopened);
        request().ReportKey = key;
        frmMain *v = viewer();
        v->Jgrid->columnByKey(u"description")->setVisible(false);
        play<FileDLG>({"FileNameTXT:=Kind", "OKButton"}, [&] { trigger(v, QStringLiteral("MNUsaveAS")); });
        QCOMPARE(readAll(layoutPath(folder + QStringLiteral("Kind.txt"))), QByteArray("model\r\nserial\r\nstore\r\ncost\r\n"));
        QCOMPARE(storedSettings().value(QStringLiteral("Saved Reports/") + writtenAs).toString(), QStringLiteral("Kind.txt"));
        QCOMPARE(rememberedLayout(lastLayoutSettingName(key)), reopened ? QStringLiteral("Kind.txt") : QString());
    }

    void namesMatchedIgnoringCase()
    {
        request().ReportKey = QStringLiteral("masterinv");
        writeAll(layoutPath(QStringLiteral("Masterinv/Stock.txt")), "model\r\n");
        LoadLayout(*viewer(), QStringLiteral("Stock.txt"));
        QSettings raw = storedSettings();
        QCOMPARE(raw.allKeys(), QStringList{"Saved Reports/Last Masterinv"});
        QCOMPARE(rememberedLayout(QStringLiteral("LAST MASTERINV")), QStringLiteral("Stock.txt"));
        // A value stored under another spelling is replaced, not doubled.
        rememberLayout(QStringLiteral("Last MasterInv"), QStringLiteral("Other.txt"));
        raw.sync();
        QCOMPARE(raw.allKeys(), QStringList{"Saved Reports/Last MasterInv"});
        QCOMPARE(rememberedLayout(QStringLiteral("Last Masterinv")), QStringLiteral("Other.txt"));
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
        writeAll(layoutPath(QStringLiteral("Old.txt")), old);
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
            QFile::setPermissions(layoutPath(QStringLiteral("Old.txt")), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                                             | QFileDevice::ReadOther);
            QFile::setPermissions(layoutPath({}), QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther
                                                      | QFileDevice::ExeOther);
        } else {
            QVERIFY(disk->fill());
        }
        QString text;
        auto box = whenOpen<QMessageBox>([&text](QMessageBox *b) { text = b->text(); });
        std::optional<Unprivileged> nobody;
        if (how == u"locked")
            nobody.emplace();
        trigger(v, QStringLiteral("MNUsave"));
        nobody.reset();
        QFile::setPermissions(layoutPath({}), readable);
        QVERIFY(*box);
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
