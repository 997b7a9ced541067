#include "core/reportrequest.h"
#include "core/layoutrules.h"
#include "viewer/layouts.h"

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
using velmora::test::ModalAnswer;

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

// Answers the picker with a typed name and OK.
void typeAndOk(FileDLG *dialog, const QString &name)
{
    auto *box = dialog->findChild<QLineEdit *>(QStringLiteral("FileNameTXT"));
    box->clear();
    QTest::keyClicks(box, name);
    QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("OKButton")), Qt::LeftButton);
}

// Acts as user and group "nobody" while alive when running as root, so permissions apply.
class Unprivileged {
public:
    Unprivileged()
    {
        if (::geteuid() != 0)
            return;
        m_groups.resize(std::size_t(::getgroups(0, nullptr)));
        ::getgroups(int(m_groups.size()), m_groups.data());
        m_active = ::setgroups(0, nullptr) == 0 && ::setegid(65534) == 0 && ::seteuid(65534) == 0;
    }
    ~Unprivileged()
    {
        if (!m_active)
            return;
        (void)::seteuid(0);
        (void)::setegid(0);
        (void)::setgroups(m_groups.size(), m_groups.data());
    }

private:
    std::vector<gid_t> m_groups;
    bool m_active = false;
};

} // namespace

class tst_Layouts : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void saveWithNoNameAsks();
    void saveAsCancelledWritesNothing();
    void roundTripInAnotherViewer();
    void listedColumnMissingFromReport();
    void unknownLinesKeepTheirPosition();
    void saveAfterOpenDoesNotAsk();
    void saveAsAlwaysAsks();
    void loadRemembersBeforeLookingAtTheFile();
    void kinds_data();
    void kinds();
    void namesMatchedIgnoringCase();
    void overwriteAfterDeleteFromList();
    void unreachableDataFolder();
    void unwritableLayoutKeepsOldFile();
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
}

void tst_Layouts::saveWithNoNameAsks()
{
    frmMain *v = viewer();
    ReportGrid &grid = *v->Jgrid;
    grid.columnByKey(u"serial")->setVisible(false);
    grid.columnByKey(u"cost")->setPosition(1);
    QCOMPARE(test::shownColumns(grid), (QStringList{"cost", "model", "description", "store"}));

    ModalAnswer<FileDLG> picker;
    bool openMode = true;
    picker.action = [&](FileDLG *dialog) {
        openMode = dialog->isOpenMode();
        typeAndOk(dialog, QStringLiteral("Sales"));
    };
    picker.arm();
    bool saveAs = false;
    SaveLayout(*v, saveAs);

    QCOMPARE(picker.shown, 1);
    QVERIFY(!openMode);
    // Every visible column in display order; the totals column never.
    QCOMPARE(readAll(layoutPath(QStringLiteral("Sales.txt"))), QByteArray("cost\r\nmodel\r\ndescription\r\nstore\r\n"));
    QCOMPARE(request().LayoutName, QStringLiteral("Sales.txt"));
    QCOMPARE(v->windowTitle(), QStringLiteral("Velmora Results... Layout: Sales.txt"));
    QCOMPARE(storedSettings().value(QStringLiteral("Saved Reports/Last Inventory")).toString(), QStringLiteral("Sales.txt"));
    for (const char *folder : {"Customer Search", "Customer List", "Masterinv"})
        QVERIFY2(QFileInfo(layoutPath(QString::fromUtf8(folder))).isDir(), folder);
}

void tst_Layouts::saveAsCancelledWritesNothing()
{
    frmMain *v = viewer();
    const QString before = v->windowTitle();
    ModalAnswer<FileDLG> picker;
    picker.action = [](FileDLG *dialog) {
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("CancelButton")), Qt::LeftButton);
    };
    picker.arm();
    bool saveAs = false;
    SaveLayout(*v, saveAs);
    QCOMPARE(picker.shown, 1);
    QCOMPARE(QDir(layoutPath({})).entryList(QDir::Files), QStringList());
    QVERIFY(request().LayoutName.isEmpty());
    QCOMPARE(v->windowTitle(), before);
    QVERIFY(!storedSettings().contains(QStringLiteral("Saved Reports/Last Inventory")));
}

void tst_Layouts::roundTripInAnotherViewer()
{
    frmMain *first = viewer();
    ReportGrid &grid = *first->Jgrid;
    grid.columnByKey(u"model")->setVisible(false);
    grid.columnByKey(u"store")->setPosition(1);
    grid.columnByKey(u"description")->setPosition(2);
    const QStringList shown = test::shownColumns(grid);
    QCOMPARE(shown, (QStringList{"store", "description", "serial", "cost"}));

    ModalAnswer<FileDLG> picker;
    picker.action = [](FileDLG *dialog) { typeAndOk(dialog, QStringLiteral("Round")); };
    picker.arm();
    bool saveAs = true;
    SaveLayout(*first, saveAs);
    QCOMPARE(picker.shown, 1);

    // A fresh viewer (the load step empties the current name) opens it from the list.
    request().LayoutName.clear();
    frmMain *second = viewer();
    QCOMPARE(test::shownColumns(*second->Jgrid), (QStringList{"model", "serial", "description", "store", "cost"}));
    QStringList offered;
    ModalAnswer<FileDLG> opener;
    opener.action = [&](FileDLG *dialog) {
        QVERIFY(dialog->isOpenMode());
        auto *list = dialog->findChild<QListWidget *>(QStringLiteral("List1"));
        for (int i = 0; i < list->count(); ++i)
            offered.append(list->item(i)->text());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("OKButton")), Qt::LeftButton);
    };
    opener.arm();
    OpenLayout(*second);
    QCOMPARE(opener.shown, 1);
    QCOMPARE(offered, QStringList{"Round.txt"});
    QCOMPARE(test::shownColumns(*second->Jgrid), shown);
    QVERIFY(!second->Jgrid->column(second->Jgrid->columnCount())->visible());
    QCOMPARE(request().LayoutName, QStringLiteral("Round.txt"));
    QCOMPARE(second->windowTitle(), QStringLiteral("Velmora Results... Layout: Round.txt"));
}

void tst_Layouts::listedColumnMissingFromReport()
{
    writeAll(layoutPath(QStringLiteral("Old.txt")), "cost\r\nretired\r\nmodel\r\n");
    frmMain *v = viewer();
    LoadLayout(*v, QStringLiteral("Old.txt"));
    QCOMPARE(test::shownColumns(*v->Jgrid), (QStringList{"cost", "model"}));
    QCOMPARE(v->windowTitle(), QStringLiteral("Velmora Results... Layout: Old.txt"));
}

void tst_Layouts::unknownLinesKeepTheirPosition()
{
    writeAll(layoutPath(QStringLiteral("Gap.txt")), "store\n\nnothing\nserial");
    frmMain *v = viewer();
    LoadLayout(*v, QStringLiteral("Gap.txt"));
    ReportGrid &grid = *v->Jgrid;
    QCOMPARE(test::shownColumns(grid), (QStringList{"store", "serial"}));
    QCOMPARE(grid.columnByKey(u"store")->position(), 1);
    QCOMPARE(grid.columnByKey(u"serial")->position(), 4);
}

void tst_Layouts::saveAfterOpenDoesNotAsk()
{
    writeAll(layoutPath(QStringLiteral("Daily.txt")), "model\r\ncost\r\n");
    frmMain *v = viewer();
    LoadLayout(*v, QStringLiteral("Daily.txt"));
    v->Jgrid->columnByKey(u"store")->setVisible(true);

    ModalAnswer<FileDLG> picker;
    picker.action = [](FileDLG *dialog) { dialog->reject(); };
    picker.arm();
    bool saveAs = false;
    SaveLayout(*v, saveAs);
    QCOMPARE(picker.shown, 0);
    QVERIFY(!saveAs);
    const QByteArray saved = readAll(layoutPath(QStringLiteral("Daily.txt")));
    QVERIFY2(saved.startsWith("model\r\ncost\r\n") && saved.contains("store\r\n"), saved.constData());
    QCOMPARE(storedSettings().value(QStringLiteral("Saved Reports/Last Inventory")).toString(), QStringLiteral("Daily.txt"));
}

void tst_Layouts::saveAsAlwaysAsks()
{
    writeAll(layoutPath(QStringLiteral("Daily.txt")), "model\r\n");
    frmMain *v = viewer();
    LoadLayout(*v, QStringLiteral("Daily.txt"));
    ModalAnswer<FileDLG> picker;
    picker.action = [](FileDLG *dialog) { typeAndOk(dialog, QStringLiteral("Weekly")); };
    picker.arm();
    bool saveAs = true;
    SaveLayout(*v, saveAs);
    QCOMPARE(picker.shown, 1);
    QCOMPARE(readAll(layoutPath(QStringLiteral("Daily.txt"))), QByteArray("model\r\n"));
    QCOMPARE(readAll(layoutPath(QStringLiteral("Weekly.txt"))), QByteArray("model\r\n"));
    QCOMPARE(request().LayoutName, QStringLiteral("Weekly.txt"));
}

void tst_Layouts::loadRemembersBeforeLookingAtTheFile()
{
    frmMain *v = viewer();
    const QString title = v->windowTitle();
    const QStringList shown = test::shownColumns(*v->Jgrid);
    LoadLayout(*v, QStringLiteral("Gone.txt"));
    QCOMPARE(storedSettings().value(QStringLiteral("Saved Reports/Last Inventory")).toString(), QStringLiteral("Gone.txt"));
    QCOMPARE(rememberedLayout(lastLayoutSettingName(QString())), QStringLiteral("Gone.txt"));
    QCOMPARE(test::shownColumns(*v->Jgrid), shown);
    QCOMPARE(v->windowTitle(), title);
    QVERIFY(request().LayoutName.isEmpty());
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
    ModalAnswer<FileDLG> picker;
    picker.action = [](FileDLG *dialog) { typeAndOk(dialog, QStringLiteral("Kind")); };
    picker.arm();
    bool saveAs = false;
    SaveLayout(*v, saveAs);
    QCOMPARE(picker.shown, 1);
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

void tst_Layouts::overwriteAfterDeleteFromList()
{
    writeAll(layoutPath(QStringLiteral("A.txt")), "model\r\n");
    writeAll(layoutPath(QStringLiteral("B.txt")), "cost\r\n");
    frmMain *v = viewer();
    ModalAnswer<QMessageBox> question;
    question.action = [](QMessageBox *box) { test::answerBox(box, QMessageBox::Yes); };
    ModalAnswer<FileDLG> picker;
    QStringList left;
    picker.action = [&](FileDLG *dialog) {
        auto *list = dialog->findChild<QListWidget *>(QStringLiteral("List1"));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
        question.arm();
        QTest::keyClick(list, Qt::Key_Delete);
        left.clear();
        for (int i = 0; i < list->count(); ++i)
            left.append(list->item(i)->text());
        // Then double-clicks the other one to overwrite it.
        const QPoint other = list->visualItemRect(list->item(0)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, other);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, other);
    };
    picker.arm();
    bool saveAs = true;
    SaveLayout(*v, saveAs);
    QCOMPARE(question.shown, 1);
    QCOMPARE(left, QStringList{"B.txt"});
    QVERIFY(!QFile::exists(layoutPath(QStringLiteral("A.txt"))));
    QCOMPARE(readAll(layoutPath(QStringLiteral("B.txt"))), QByteArray("model\r\nserial\r\ndescription\r\nstore\r\ncost\r\n"));
    QCOMPARE(request().LayoutName, QStringLiteral("B.txt"));
}

void tst_Layouts::unreachableDataFolder()
{
    request().Datapath = m_data + QStringLiteral("unplugged/");
    request().LayoutName = QStringLiteral("Named.txt");
    frmMain *v = viewer();
    const QString title = v->windowTitle();
    ModalAnswer<QMessageBox> message;
    message.action = [](QMessageBox *box) { test::answerBox(box, QMessageBox::Ok); };
    message.arm();
    bool saveAs = false;
    SaveLayout(*v, saveAs);
    QCOMPARE(message.shown, 1);
    QVERIFY2(message.text.contains(QStringLiteral("unplugged")), qPrintable(message.text));
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

    ModalAnswer<QMessageBox> message;
    message.action = [](QMessageBox *box) { test::answerBox(box, QMessageBox::Ok); };
    message.arm();
    bool saveAs = false;
    {
        Unprivileged nobody;
        SaveLayout(*v, saveAs);
    }
    QFile::setPermissions(layoutPath({}), readable);
    QCOMPARE(message.shown, 1);
    QVERIFY2(message.text.contains(QStringLiteral("Locked.txt")), qPrintable(message.text));
    QCOMPARE(readAll(layoutPath(QStringLiteral("Locked.txt"))), old);
    QCOMPARE(QDir(layoutPath({})).entryList(QDir::Files | QDir::Hidden), QStringList{"Locked.txt"});
    QCOMPARE(request().LayoutName, QStringLiteral("Locked.txt"));
}

// The user's way in: the viewer's File menu entries.
void tst_Layouts::viewerMenusOpenAndSave()
{
    frmMain *v = viewer();
    v->show();
    QVERIFY(QTest::qWaitForWindowExposed(v));
    auto action = [v](const char *name) {
        QAction *a = v->findChild<QAction *>(QString::fromUtf8(name));
        return a;
    };
    QVERIFY(action("MNUsaveAS") && action("MNUsave") && action("MNUopen"));

    v->Jgrid->columnByKey(u"serial")->setVisible(false);
    ModalAnswer<FileDLG> picker;
    picker.action = [](FileDLG *dialog) { typeAndOk(dialog, QStringLiteral("From Menu")); };
    picker.arm();
    action("MNUsaveAS")->trigger();
    QCOMPARE(picker.shown, 1);
    QCOMPARE(readAll(layoutPath(QStringLiteral("From Menu.txt"))), QByteArray("model\r\ndescription\r\nstore\r\ncost\r\n"));
    QCOMPARE(v->windowTitle(), QStringLiteral("Velmora Results... Layout: From Menu.txt"));

    // Save now writes under the current name without asking.
    v->Jgrid->columnByKey(u"cost")->setVisible(false);
    ModalAnswer<FileDLG> noPicker;
    noPicker.action = [](FileDLG *dialog) { dialog->reject(); };
    noPicker.arm();
    action("MNUsave")->trigger();
    QCOMPARE(noPicker.shown, 0);
    noPicker.timer.stop();
    QCOMPARE(readAll(layoutPath(QStringLiteral("From Menu.txt"))), QByteArray("model\r\ndescription\r\nstore\r\n"));

    // Open picks it from the list in open mode and applies it to the columns shown again.
    for (int i = 1; i <= v->Jgrid->columnCount() - 1; ++i)
        v->Jgrid->column(i)->setVisible(true);
    ModalAnswer<FileDLG> opener;
    opener.action = [](FileDLG *dialog) {
        auto *list = dialog->findChild<QListWidget *>(QStringLiteral("List1"));
        const QPoint at = list->visualItemRect(list->item(0)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    };
    opener.arm();
    action("MNUopen")->trigger();
    QCOMPARE(opener.shown, 1);
    QCOMPARE(test::shownColumns(*v->Jgrid), (QStringList{"model", "description", "store"}));
    v->hide();
}

QTEST_MAIN(tst_Layouts)
#include "tst_layouts.moc"
