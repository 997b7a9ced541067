#include "common/fulldisk.h"
#include "common/unprivileged.h"
#include "core/reportrequest.h"
#include "core/layoutrules.h"
#include "viewer/layouts.h"

#include "common/dialogsteps.h"
#include "layouttesting.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <grp.h>
#include <unistd.h>

#include <vector>

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
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(data);
}

QSettings storedSettings()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Velmora"), QStringLiteral("Velmora"));
}

using velmora::test::Unprivileged;

} // namespace

class tst_Layouts : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void saveAndLoad_data();
    void saveAndLoad();
    void kinds_data();
    void kinds();
    void namesMatchedIgnoringCase();
    void unreachableDataFolder();
    void unwritableLayoutKeepsOldFile();
    void fullDiskKeepsOldLayout();
    void viewerMenusOpenAndSave();

private:
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
};

void tst_Layouts::initTestCase()
{
    QVERIFY(m_settingsDir.isValid());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settingsDir.path());
}

void tst_Layouts::init()
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

void tst_Layouts::cleanup()
{
    m_viewers.clear();
    QVERIFY(!QApplication::activeModalWidget());
}

void tst_Layouts::saveAndLoad_data()
{
    QTest::addColumn<QStringList>("files");     // "name=lines" under the layout root, before and after
    QTest::addColumn<QString>("loaded");        // a layout loaded first
    QTest::addColumn<QString>("hide");          // columns hidden (","), then one moved first ("^cost")
    QTest::addColumn<QString>("action");        // save, saveas, open or "load Name.txt"
    QTest::addColumn<QStringList>("picker");    // the picker's steps; empty: it must not come up
    QTest::addColumn<QStringList>("after");     // every layout file afterwards
    QTest::addColumn<QString>("name");          // the current layout name afterwards
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("remembered");    // "Last Inventory" afterwards

    const QString all = "model,serial,description,store,cost";
    QTest::newRow("save without a name asks for one; every visible column in display order")
        << QStringList{} << "" << "serial ^cost" << "save"
        << QStringList{"?visible:SaveLBL", "FileNameTXT:=Sales", "OKButton"}
        << QStringList{"Sales.txt=cost,model,description,store"} << "Sales.txt" << "cost,model,description,store"
        << "Sales.txt";
    QTest::newRow("a cancelled picker writes nothing")
        << QStringList{} << "" << "" << "save" << QStringList{"CancelButton"} << QStringList{} << "" << all << "";
    QTest::newRow("save after a load writes under its name without asking")
        << QStringList{"Daily.txt=model,cost"} << "Daily.txt" << "" << "save" << QStringList{}
        << QStringList{"Daily.txt=model,cost"} << "Daily.txt" << "model,cost" << "Daily.txt";
    QTest::newRow("save as always asks")
        << QStringList{"Daily.txt=model"} << "Daily.txt" << "" << "saveas"
        << QStringList{"FileNameTXT:=Weekly", "OKButton"} << QStringList{"Daily.txt=model", "Weekly.txt=model"}
        << "Weekly.txt" << "model" << "Weekly.txt";
    QTest::newRow("one deleted from the list, another overwritten")
        << QStringList{"A.txt=model", "B.txt=cost"} << "" << "" << "saveas"
        << QStringList{"List1=A.txt", "List1^Del>Yes", "?List1=B.txt", "List1*=B.txt"}
        << QStringList{"B.txt=" + all} << "B.txt" << all << "B.txt";
    QTest::newRow("open takes the layout from the list")
        << QStringList{"Round.txt=store,description,serial,cost"} << "" << "" << "open"
        << QStringList{"?List1=Round.txt", "List1=Round.txt", "OKButton"}
        << QStringList{"Round.txt=store,description,serial,cost"} << "Round.txt" << "store,description,serial,cost"
        << "Round.txt";
    QTest::newRow("a listed column the report lacks is passed over")
        << QStringList{"Old.txt=cost,retired,model"} << "" << "" << "load Old.txt" << QStringList{}
        << QStringList{"Old.txt=cost,retired,model"} << "Old.txt" << "cost,model" << "Old.txt";
    QTest::newRow("a missing file is remembered and changes nothing else")
        << QStringList{} << "" << "" << "load Gone.txt" << QStringList{} << QStringList{} << "" << all << "Gone.txt";
}

// Layout files are written with "\r\n" after each line; a row writes them with ",".
static QByteArray layoutLines(const QString &columns)
{
    return columns.isEmpty() ? QByteArray() : (QString(columns).replace(u',', QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8();
}

void tst_Layouts::saveAndLoad()
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
        QCOMPARE(dialog->isOpenMode(), action == u"open");
        steps(dialog, picker);
    });
    bool saveAs = action == u"saveas";
    if (action.startsWith(u"save"))
        SaveLayout(*v, saveAs);
    else if (action == u"open")
        OpenLayout(*v);
    else
        LoadLayout(*v, action.section(u' ', 1));
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

void tst_Layouts::kinds_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("folder");        // under "Saved Report Layouts/"
    QTest::addColumn<QString>("writtenAs");     // settings name written by the save
    QTest::addColumn<bool>("reopened");         // the load step reads it back

    QTest::newRow("inventory") << "" << "" << "Last Inventory" << true;
    QTest::newRow("customer search") << "customersearch" << "Customer Search/" << "Last Customer Search" << true;
    QTest::newRow("deleted inventory, key in mixed case") << "DeletedInv" << "INV2/" << "Del Inventory" << true;
    QTest::newRow("all customers") << "allcustomers" << "Customer List/" << "Last All Customers" << true;
    QTest::newRow("service") << "servicereport" << "Service/" << "Last Service" << true;
    QTest::newRow("projected") << "projreport" << "Proj/" << "Last Projected" << true;
    QTest::newRow("master inventory") << "masterinv" << "Masterinv/" << "Last Masterinv" << true;
    QTest::newRow("custom SQL") << "customsql" << "" << "Last Inventory" << false;
    QTest::newRow("custom SQL with security") << "customsqlsecurity" << "" << "Last Inventory" << false;
}

void tst_Layouts::kinds()
{
    QFETCH(QString, key);
    QFETCH(QString, folder);
    QFETCH(QString, writtenAs);
    QFETCH(bool, reopened);
    request().ReportKey = key;
    frmMain *v = viewer();
    v->Jgrid->columnByKey(u"description")->setVisible(false);
    play<FileDLG>({"FileNameTXT:=Kind", "OKButton"}, [v] {
        bool saveAs = false;
        SaveLayout(*v, saveAs);
    });
    QCOMPARE(readAll(layoutPath(folder + QStringLiteral("Kind.txt"))), QByteArray("model\r\nserial\r\nstore\r\ncost\r\n"));
    QCOMPARE(storedSettings().value(QStringLiteral("Saved Reports/") + writtenAs).toString(), QStringLiteral("Kind.txt"));

    const QString reopenName = lastLayoutSettingName(key);
    QCOMPARE(!reopenName.isEmpty(), reopened);
    QCOMPARE(rememberedLayout(reopenName), reopened ? QStringLiteral("Kind.txt") : QString());

    // What the load step does with the remembered name: a fresh viewer shows the saved columns.
    if (reopened) {
        request().LayoutName.clear();
        frmMain *next = viewer();
        LoadLayout(*next, rememberedLayout(reopenName));
        QCOMPARE(test::shownColumns(*next->Jgrid), (QStringList{"model", "serial", "store", "cost"}));
        QCOMPARE(request().LayoutName, QStringLiteral("Kind.txt"));
    }
}

void tst_Layouts::namesMatchedIgnoringCase()
{
    request().ReportKey = QStringLiteral("masterinv");
    writeAll(layoutPath(QStringLiteral("Masterinv/Stock.txt")), "model\r\n");
    frmMain *v = viewer();
    LoadLayout(*v, QStringLiteral("Stock.txt"));
    QSettings raw = storedSettings();
    raw.beginGroup(QStringLiteral("Saved Reports"));
    QCOMPARE(raw.childKeys(), QStringList{"Last Masterinv"});
    raw.endGroup();
    QCOMPARE(lastLayoutSettingName(QStringLiteral("MasterInv")), QStringLiteral("Last MasterInv"));
    QCOMPARE(rememberedLayout(QStringLiteral("Last MasterInv")), QStringLiteral("Stock.txt"));
    QCOMPARE(rememberedLayout(QStringLiteral("LAST MASTERINV")), QStringLiteral("Stock.txt"));

    // A value stored under another spelling is replaced, not doubled.
    rememberLayout(QStringLiteral("Last MasterInv"), QStringLiteral("Other.txt"));
    raw.sync();
    raw.beginGroup(QStringLiteral("Saved Reports"));
    QCOMPARE(raw.childKeys(), QStringList{"Last MasterInv"});
    QCOMPARE(rememberedLayout(QStringLiteral("Last Masterinv")), QStringLiteral("Other.txt"));
    QCOMPARE(rememberedLayout(QStringLiteral("Last Service")), QString());
}

void tst_Layouts::unreachableDataFolder()
{
    request().Datapath = m_data + QStringLiteral("unplugged/");
    request().LayoutName = QStringLiteral("Named.txt");
    frmMain *v = viewer();
    const QString title = v->windowTitle();
    QString text;
    auto box = whenOpen<QMessageBox>([&text](QMessageBox *b) { text = b->text(); });
    bool saveAs = false;
    SaveLayout(*v, saveAs);
    QVERIFY(*box);
    QVERIFY2(text.contains(QStringLiteral("unplugged")), qPrintable(text));
    QVERIFY(!QFileInfo::exists(request().Datapath));
    QCOMPARE(v->windowTitle(), title);
    QVERIFY(!storedSettings().contains(QStringLiteral("Saved Reports/Last Inventory")));
}

void tst_Layouts::unwritableLayoutKeepsOldFile()
{
    const QByteArray old = "model\r\ncost\r\n";
    writeAll(layoutPath(QStringLiteral("Locked.txt")), old);
    frmMain *v = viewer();
    LoadLayout(*v, QStringLiteral("Locked.txt"));
    v->Jgrid->columnByKey(u"serial")->setVisible(true);

    // Everyone may read the tree, nobody but its owner write.
    const auto readable = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                          | QFileDevice::ReadOther | QFileDevice::ExeOther;
    QVERIFY(QFile::setPermissions(m_dir->path(), readable));
    for (const QString &folder : layoutrules::pickerFolders()) {
        QDir().mkpath(m_data + folder);
        QFile::setPermissions(m_data + folder, readable);
    }
    QFile::setPermissions(layoutPath(QStringLiteral("Locked.txt")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther);
    QFile::setPermissions(layoutPath({}), QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther
                                              | QFileDevice::ExeOther);

    QString text;
    auto box = whenOpen<QMessageBox>([&text](QMessageBox *b) { text = b->text(); });
    bool saveAs = false;
    {
        Unprivileged nobody;
        SaveLayout(*v, saveAs);
    }
    QFile::setPermissions(layoutPath({}), readable);
    QVERIFY(*box);
    QVERIFY2(text.contains(QStringLiteral("Locked.txt")), qPrintable(text));
    QCOMPARE(readAll(layoutPath(QStringLiteral("Locked.txt"))), old);
    QCOMPARE(QDir(layoutPath({})).entryList(QDir::Files | QDir::Hidden), QStringList{"Locked.txt"});
    QCOMPARE(request().LayoutName, QStringLiteral("Locked.txt"));
}

void tst_Layouts::fullDiskKeepsOldLayout()
{
    VELMORA_FULL_DISK(disk, 64 * 1024);
    m_data = disk.path() + u'/';
    request().Datapath = m_data;
    const QByteArray old = "model\r\ncost\r\n";
    writeAll(layoutPath(QStringLiteral("Full.txt")), old);
    frmMain *v = viewer();
    LoadLayout(*v, QStringLiteral("Full.txt"));
    v->Jgrid->columnByKey(u"serial")->setVisible(true);
    QVERIFY(disk.fill());

    QString text;
    auto box = whenOpen<QMessageBox>([&text](QMessageBox *b) { text = b->text(); });
    bool saveAs = false;
    SaveLayout(*v, saveAs);
    QVERIFY(*box);
    QVERIFY2(text.contains(QStringLiteral("Full.txt")) && text.contains(QStringLiteral("No space left on device")),
             qPrintable(text));
    QCOMPARE(readAll(layoutPath(QStringLiteral("Full.txt"))), old);
    QCOMPARE(QDir(layoutPath({})).entryList(QDir::Files | QDir::Hidden), QStringList{"Full.txt"});
}

// The user's way in: the viewer's File menu entries.
void tst_Layouts::viewerMenusOpenAndSave()
{
    frmMain *v = viewer();
    v->show();
    QVERIFY(QTest::qWaitForWindowExposed(v));
    auto trigger = [v](const char *name) { v->findChild<QAction *>(QString::fromUtf8(name))->trigger(); };

    v->Jgrid->columnByKey(u"serial")->setVisible(false);
    play<FileDLG>({"FileNameTXT:=From Menu", "OKButton"}, [&] { trigger("MNUsaveAS"); });
    QCOMPARE(readAll(layoutPath(QStringLiteral("From Menu.txt"))), QByteArray("model\r\ndescription\r\nstore\r\ncost\r\n"));
    QCOMPARE(v->windowTitle(), QStringLiteral("Velmora Results... Layout: From Menu.txt"));

    // Save now writes under the current name without asking.
    v->Jgrid->columnByKey(u"cost")->setVisible(false);
    trigger("MNUsave");
    QCOMPARE(readAll(layoutPath(QStringLiteral("From Menu.txt"))), QByteArray("model\r\ndescription\r\nstore\r\n"));

    // Open picks it from the list and applies it to the columns shown again.
    for (int i = 1; i <= v->Jgrid->columnCount() - 1; ++i)
        v->Jgrid->column(i)->setVisible(true);
    play<FileDLG>({"List1*=From Menu.txt"}, [&] { trigger("MNUopen"); });
    QCOMPARE(test::shownColumns(*v->Jgrid), (QStringList{"model", "description", "store"}));
    v->hide();
}

QTEST_MAIN(tst_Layouts)
#include "tst_layouts.moc"
