// The module's settings files, registry look-ups, folder checks and help topics as the
// component's other parts call them.

#include "common/unprivileged.h"
#include "platform/helpwindow.h"
#include "platform/modMain.h"
#include "platform/platform.h"

#include "../viewer/viewertesting.h"

using namespace velmora;

namespace {

const QString ShellFolders = QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders");

} // namespace

class tst_ModMain : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        // The user's folders come from the XDG user-dirs file, which the test writes itself.
        const QString config = m_home.filePath(QStringLiteral("config"));
        QVERIFY(QDir().mkpath(config));
        qputenv("HOME", m_home.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", config.toUtf8());
        QVERIFY(test::writeAll(config + QStringLiteral("/user-dirs.dirs"),
                               "XDG_DOCUMENTS_DIR=\"$HOME/Meine Dokumente\"\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"));
        QVERIFY(QDir(m_home.path()).mkpath(QStringLiteral("Meine Dokumente")));
        QVERIFY(QDir(m_home.path()).mkpath(QStringLiteral("Schreibtisch")));
    }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        request().LocalPath = m_local = m_dir->filePath(QStringLiteral("local")) + u'/';
        request().Datapath = m_data = m_dir->filePath(QStringLiteral("data")) + u'/';
        QVERIFY(QDir().mkpath(m_local) && QDir().mkpath(m_data));
    }

    void cleanup()
    {
        if (platform::HelpWindow *w = platform::helpWindow())
            w->hide();
    }

    void ini_data()
    {
        // Steps: writes "L|section|key|value" (L the local file, D the shared one) and reads
        // "L|section|key|default|expected" ("\\0" stands for a character 0); then both files' text.
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QByteArray>("local");
        QTest::addColumn<QByteArray>("shared");

        QTest::newRow("each flag picks its file, names in any case")
            << QStringList{"L|S|k|local", "D|S|k|shared", "L|S|k||local", "D|s|K||shared", "D|S|other|dflt|dflt"}
            << QByteArray("[S]\r\nk=local\r\n") << QByteArray("[S]\r\nk=shared\r\n");
        QTest::newRow("non-ASCII value")
            << QStringList{"D|Email|From|Jürgen Groß <j@example.com>", "D|Email|From||Jürgen Groß <j@example.com>"}
            << QByteArray() << QByteArray("[Email]\r\nFrom=J\xc3\xbcrgen Gro\xc3\x9f <j@example.com>\r\n");
        QTest::newRow("an empty value deletes the key only")
            << QStringList{"D|Email|A|1", "D|Email|B|1", "D|Email|a|", "D|Email|A|gone|gone"} << QByteArray()
            << QByteArray("[Email]\r\nB=1\r\n");
        QTest::newRow("no key and no value delete the section")
            << QStringList{"D|Email|A|1", "D|Other|A|1", "D|Email||", "D|Email|A|gone|gone"} << QByteArray()
            << QByteArray("[Other]\r\nA=1\r\n");
        QTest::newRow("no key reads the section's entries")
            << QStringList{"L|Email|Host|h", "L|Email|Port|25", "L|Email||unused|Host=h\\0Port=25\\0", "L|Nothing||unused|"}
            << QByteArray("[Email]\r\nHost=h\r\nPort=25\r\n") << QByteArray();
    }

    void ini()
    {
        QFETCH(QStringList, steps);
        QFETCH(QByteArray, local);
        QFETCH(QByteArray, shared);
        for (const QString &line : steps) {
            QStringList f = line.split(u'|');
            bool isLocal = f[0] == u"L";
            if (f.size() == 4)
                QVERIFY(WriteIniText(f[1], f[2], f[3], isLocal));
            else
                QCOMPARE(ReadIniText(f[1], f[2], f[3], isLocal), f[4].replace(QStringLiteral("\\0"), QChar(0)));
        }
        QCOMPARE(test::readAll(m_local + QStringLiteral("vlmoset.dat")), local.isEmpty() ? QByteArray("<missing>") : local);
        QCOMPARE(test::readAll(m_data + QStringLiteral("vlmfiles.dat")), shared.isEmpty() ? QByteArray("<missing>") : shared);
    }

    void iniMissingFolderFails()
    {
        request().Datapath = m_dir->filePath(QStringLiteral("unplugged")) + u'/';
        bool shared = false;
        QString section = QStringLiteral("S"), key = QStringLiteral("k"), value = QStringLiteral("d");
        QVERIFY(!WriteIniText(section, key, value, shared));
        QCOMPARE(ReadIniText(section, key, value, shared), QStringLiteral("d"));
        QVERIFY(!QFileInfo::exists(request().Datapath));
    }

    void regText_data()
    {
        QTest::addColumn<quint32>("root");
        QTest::addColumn<QString>("subKey");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");   // relative to HOME, or the default "DEF"

        QTest::newRow("Personal is the documents folder") << 0x80000001u << ShellFolders << "Personal"
                                                          << "~/Meine Dokumente";
        QTest::newRow("Desktop is the desktop folder") << 0x80000001u << ShellFolders << "Desktop" << "~/Schreibtisch";
        QTest::newRow("value name ignoring case") << 0x80000001u << ShellFolders << "personal" << "~/Meine Dokumente";
        QTest::newRow("key ignoring case") << 0x80000001u << ShellFolders.toUpper() << "Desktop" << "~/Schreibtisch";
        QTest::newRow("unknown value gives the default") << 0x80000001u << ShellFolders << "AppData" << "DEF";
        QTest::newRow("other key gives the default") << 0x80000001u << "Software\\Velmora" << "Personal" << "DEF";
        QTest::newRow("other root gives the default") << 0x80000002u << ShellFolders << "Personal" << "DEF";
    }

    void regText()
    {
        QFETCH(quint32, root);
        QFETCH(QString, subKey);
        QFETCH(QString, value);
        QFETCH(QString, expected);
        if (expected.startsWith(u'~'))
            expected.replace(0, 1, m_home.path());
        QCOMPARE(GetRegText(root, subKey, value, QStringLiteral("DEF")), expected);
    }

    void folderExists_data()
    {
        QTest::addColumn<QString>("relative");   // under the test folder
        QTest::addColumn<bool>("exists");
        QTest::newRow("existing folder") << "data" << true;
        QTest::newRow("missing folder") << "nowhere" << false;
        QTest::newRow("a file is no folder") << "data/file.txt" << false;
        QTest::newRow("folder inside a missing one") << "nowhere/deeper" << false;
        QTest::newRow("folder the user may not read") << "locked" << false;
    }

    void folderExists()
    {
        QFETCH(QString, relative);
        QFETCH(bool, exists);
        const QString locked = m_dir->filePath(QStringLiteral("locked"));
        const auto open = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther
                          | QFileDevice::ExeOther;
        QVERIFY(test::writeAll(m_data + QStringLiteral("file.txt"), {}) && QDir().mkpath(locked + QStringLiteral("/inner")));
        QVERIFY(QFile::setPermissions(m_dir->path(), open) && QFile::setPermissions(locked, QFileDevice::WriteOwner));
        const QString path = m_dir->filePath(relative);
        QList<bool> seen;
        {
            test::Unprivileged nobody;
            seen = {FolderExists(path), FolderExists(path + u'/')};
        }
        QFile::setPermissions(locked, open);
        QCOMPARE(seen, QList<bool>({exists, exists}));
    }

    void helpTopicOpensWindow_data()
    {
        QTest::addColumn<short>("topic");
        QTest::addColumn<QString>("visibleText");   // a text of the topic that must be on screen
        QTest::addColumn<QString>("file");
        QTest::newRow("connection problems topic 16") << short(16) << "Connection problems" << "velmora.chm";
        QTest::newRow("unknown topic shows the start") << short(99) << "Velmora Help" << "velmora.chm";
        QTest::newRow("help file named in another case") << short(16) << "Connection problems" << "Velmora.CHM";
    }

    void helpTopicOpensWindow()
    {
        QFETCH(short, topic);
        QFETCH(QString, visibleText);
        QFETCH(QString, file);
        QVERIFY(QFile::copy(QStringLiteral(VELMORA_SOURCE_DIR "/src/platform/help/velmora.chm"), m_local + file));
        ShowHelpTopic(topic);
        platform::HelpWindow *window = platform::helpWindow();
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->file(), QFileInfo(m_local + file).absoluteFilePath());
        QCOMPARE(window->topic(), int(topic));
        auto *browser = window->findChild<QTextBrowser *>(QStringLiteral("helpBrowser"));
        // The topic's heading is on screen; for topics below the first screenful the view scrolled.
        QTextCursor at = browser->document()->find(visibleText);
        while (!at.isNull() && at.blockFormat().headingLevel() == 0)
            at = browser->document()->find(visibleText, at);
        QVERIFY(!at.isNull());
        const QRect rect = browser->cursorRect(at);
        QVERIFY2(browser->viewport()->rect().contains(rect),
                 qPrintable(QStringLiteral("heading at y %1, viewport height %2").arg(rect.y()).arg(browser->viewport()->height())));
        QCOMPARE(browser->verticalScrollBar()->value() > 0, topic == 16);
    }

    void helpFileRefused_data()
    {
        QTest::addColumn<QByteArray>("file");   // empty: no help file at all
        QTest::addColumn<QString>("says");
        QTest::newRow("missing") << QByteArray() << "velmora.chm could not be found";
        QTest::newRow("a compiled help file") << (QByteArray("ITSF\x03\x00\x00\x00", 8) + QByteArray(200, '\0'))
                                              << "cannot be shown";
    }

    void helpFileRefused()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, says);
        QVERIFY(file.isEmpty() || test::writeAll(m_local + QStringLiteral("velmora.chm"), file));
        test::ModalScript box({test::pressButton(QMessageBox::Ok)});
        short topic = 4;
        ShowHelpTopic(topic);
        QVERIFY2(box.seen.join(u'|').contains(says), qPrintable(box.seen.join(u'|')));
        QVERIFY(!platform::helpWindow() || !platform::helpWindow()->isVisible());
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_local;
    QString m_data;
    QTemporaryDir m_home;
};

QTEST_MAIN(tst_ModMain)
#include "tst_modmain.moc"
