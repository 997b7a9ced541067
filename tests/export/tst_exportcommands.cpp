// The viewer's export commands as a user meets them: where the file lands, what opens, what a
// failure says and leaves behind, Cancel, and "Export and E-Mail".

#include "exporttesting.h"

#include "../common/fulldisk.h"

#include "platform/frmSplash.h"
#include "core/reportrequest.h"
#include "export/exportcommands.h"
#include "export/mExport.h"
#include "grid/reportgrid.h"
#include "mail/EmailFRM.h"
#include "viewer/frmMain.h"

#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using namespace velmora;

class tst_ExportCommands : public QObject {
    Q_OBJECT
public slots:
    void opened(const QUrl &url) { m_opened << url.toLocalFile(); }

private slots:
    void initTestCase();
    void cleanupTestCase() { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
    void init();
    void cleanup();
    void commandWritesIntoTheUsersFolderAndOpens_data();
    void commandWritesIntoTheUsersFolderAndOpens();
    void failureSaysWhatAndWhereAndKeepsTheOlderFile_data();
    void failureSaysWhatAndWhereAndKeepsTheOlderFile();
    void cancelLeavesNoFile();
    void exportAndMail_data();
    void exportAndMail();

private:
    QStringList files(const QString &folder) const { return QDir(folder).entryList(QDir::Files | QDir::Hidden); }

    std::unique_ptr<QTemporaryDir> home;
    QPointer<frmMain> viewer;
    QStringList m_opened;
};

void tst_ExportCommands::initTestCase()
{
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "opened");
}

void tst_ExportCommands::init()
{
    home = std::make_unique<QTemporaryDir>();
    qputenv("HOME", QFile::encodeName(home->path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home->filePath(QStringLiteral(".config"))));
    ReportRequest &r = request();
    r.ReportTitle = QStringLiteral("Sales");
    r.Storename = QStringLiteral("Main");
    r.StoreNumber = QStringLiteral("7");
    // The mail window keeps its address book and settings in the data folder.
    r.Datapath = r.LocalPath = home->path() + QLatin1Char('/');
    viewer = new frmMain;
    viewer->Jgrid->setTable(test::exportTable());
    viewer->resize(800, 500);
    viewer->show();
    m_opened.clear();
}

void tst_ExportCommands::cleanup()
{
    delete viewer.data();
    delete EmailFRM::existing();
    home.reset();
}

void tst_ExportCommands::commandWritesIntoTheUsersFolderAndOpens_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QStringList>("folders");   // created under $HOME
    QTest::addColumn<QString>("expected");       // the folder the file lands in
    QTest::addColumn<QString>("ending");         // empty: no file, a message naming the title and the folder
    QTest::newRow("spreadsheet into the documents folder, not the desktop")
        << "Sales" << "MNUexportXL" << QStringList{"Documents", "Desktop"} << "Documents" << ".xls";
    QTest::newRow("HTML onto the desktop when there are no documents")
        << "Sales" << "MNUexportHTML" << QStringList{"Desktop"} << "Desktop" << ".html";
    QTest::newRow("text into the home folder when there is neither") << "Sales" << "MNUexportTXT" << QStringList{} << "" << ".txt";
    QTest::newRow("title with a slash is said") << "Sales 1/2" << "MNUexportTXT" << QStringList{"Documents"} << "Documents" << "";
}

void tst_ExportCommands::commandWritesIntoTheUsersFolderAndOpens()
{
    QFETCH(QString, title);
    QFETCH(QString, entry);
    QFETCH(QStringList, folders);
    QFETCH(QString, expected);
    QFETCH(QString, ending);
    request().ReportTitle = title;
    for (const QString &f : folders)
        QDir(home->path()).mkdir(f);
    const QString folder = expected.isEmpty() ? home->path() : home->filePath(expected);
    test::ModalScript answer({test::pressButton(QMessageBox::Ok)});
    viewer->findChild<QAction *>(entry)->trigger();
    const QStringList written = files(folder);
    if (ending.isEmpty()) {
        QVERIFY2(answer.seen.value(0).contains(u'"' + title + u'"') && answer.seen.value(0).contains(folder), qPrintable(answer.seen.join(u'|')));
        QCOMPARE(written, QStringList());
        QCOMPARE(m_opened, QStringList());
        return;
    }
    QCOMPARE(answer.seen, QStringList());
    QCOMPARE(written.size(), 1);
    QVERIFY2(QRegularExpression(QStringLiteral("^Sales export \\d\\d-\\d\\d-20\\d\\d \\d\\d-\\d\\d-\\d\\d [AP]M\\") + ending + u'$')
                 .match(written.first())
                 .hasMatch(),
             qPrintable(written.first()));
    QCOMPARE(m_opened, QStringList{QDir(folder).filePath(written.first())});
    QVERIFY(QFileInfo(m_opened.first()).size() > 100);
    QVERIFY(!frmSplash::isLoaded());
}

void tst_ExportCommands::failureSaysWhatAndWhereAndKeepsTheOlderFile_data()
{
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("reason");   // a pattern
    QTest::newRow("full disk, text") << false << "old.txt" << "No space left on device";
    QTest::newRow("full disk, HTML") << false << "old.html" << "No space left on device";
    QTest::newRow("full disk, spreadsheet") << false << "old.xls" << "No space left on device";
    QTest::newRow("full disk, xlsx") << false << "old.xlsx" << "No space left on device";
    QTest::newRow("read-only folder, text") << true << "old.txt" << "Read-only file system|not writable";
}

void tst_ExportCommands::failureSaysWhatAndWhereAndKeepsTheOlderFile()
{
    QFETCH(bool, readOnly);
    QFETCH(QString, name);
    QFETCH(QString, reason);
    VELMORA_FULL_DISK(disk, 64 * 1024);
    const QString folder = disk.path();
    const QString older = disk.filePath(name);
    QVERIFY(test::writeBytes(older, "older export"));
    if (readOnly)
        QVERIFY(test::runTool(QStringLiteral("mount"), {QStringLiteral("-o"), QStringLiteral("remount,ro"), folder}).exitCode == 0);
    std::vector<test::ExportRow> rows(20000, test::ExportRow{"a model name that fills the disk", 1, 1, QDate(2024, 1, 2), std::nullopt, {}});
    viewer->Jgrid->setTable(test::exportTable(rows));

    // The file the user already has stays as it was, and nothing else is left.
    const Result<int> n = writeExportFile(ExportTable::fromGrid(*viewer->Jgrid), older, PageInfo{});
    QVERIFY(!n.ok());
    const QRegularExpression why(reason);
    QVERIFY2(n.failure().description.contains(why), qPrintable(n.failure().description));
    QCOMPARE(files(folder), QStringList{name});
    QCOMPARE(test::readBytes(older), QByteArray("older export"));

    // Through the viewer: one message naming the folder and the reason; nothing opened.
    test::ModalScript answer({test::pressButton(QMessageBox::Ok)});
    QVERIFY(exportToFolder(*viewer, folder, name.endsWith(u".txt") ? 3 : 1).isEmpty());
    QCOMPARE(answer.seen.size(), 1);
    QVERIFY2(answer.seen[0].contains(folder) && answer.seen[0].contains(why), qPrintable(answer.seen[0]));
    QCOMPARE(files(folder), QStringList{name});
    QCOMPARE(m_opened, QStringList());
}

void tst_ExportCommands::cancelLeavesNoFile()
{
    // Long enough as a workbook that the progress and its Cancel button show.
    std::vector<test::ExportRow> rows(400000, test::ExportRow{"model", 1, 12345, QDate(2024, 1, 2), std::nullopt, QStringLiteral("n")});
    viewer->Jgrid->setTable(test::exportTable(rows));
    QString progress;
    test::ModalScript answer({[](QWidget *w) { w->findChild<QPushButton *>(QStringLiteral("cmdXlsx"))->click(); }});
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        auto *cancel = frmSplash::isLoaded() ? frmSplash::instance()->findChild<QPushButton *>(QStringLiteral("cmdCancel")) : nullptr;
        if (cancel && cancel->isVisible() && cancel->isEnabled()) {
            progress = frmSplash::instance()->findChild<QLabel *>(QStringLiteral("lblProgress"))->text();
            QVERIFY(viewer->Jgrid->isVisible());
            cancel->click();
        }
    });
    poll.start(20);
    viewer->findChild<QAction *>(QStringLiteral("MNUexportXL"))->trigger();
    QVERIFY2(QRegularExpression(QStringLiteral("^Exporting\u2026 [\\d,]+ of 400,000 rows$")).match(progress).hasMatch(),
             qPrintable(progress));
    QCOMPARE(files(home->path()), QStringList());
    QCOMPARE(m_opened, QStringList());
    QVERIFY(viewer->statusText().contains(QLatin1String("cancelled")));
}

void tst_ExportCommands::exportAndMail_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("ending");
    QTest::newRow("Option2 HTML") << "Option2" << ".html";
    QTest::newRow("Esc: nothing") << "" << "";
}

void tst_ExportCommands::exportAndMail()
{
    QFETCH(QString, option);
    QFETCH(QString, ending);
    QStringList handed;   // what the mail window shows after each command
    test::ModalScript answer({[&](QWidget *w) {
        test::steps(w, {QStringLiteral("?title=Export and E-mail Options"), QStringLiteral("?on:Option1")});
        test::steps(w, option.isEmpty() ? QStringList{QStringLiteral("Option1^Esc")} : QStringList{option, QStringLiteral("cmdOK")});
    }});
    for (int round = 0; round < 2; ++round) {   // the choice is not remembered
        viewer->runCommand(QStringLiteral("ExportEmail"), 13);
        if (EmailFRM *mail = EmailFRM::existing(); mail && mail->isVisible())
            handed << mail->SubjectTXT->text() << mail->MSGtxt->toPlainText() << mail->Attachment->text();
    }
    QCOMPARE(answer.seen, QStringList(2, QStringLiteral("velmora::frmExportOptions")));
    const QString desktop = home->filePath(QStringLiteral("Desktop"));
    if (option.isEmpty()) {
        QCOMPARE(handed, QStringList());
        QCOMPARE(files(desktop), QStringList());
        return;
    }
    QCOMPARE(handed.size(), 6);
    QCOMPARE(handed.at(0), QStringLiteral("Sales from: Main Store#: 7"));
    QCOMPARE(handed.at(1), handed.at(0));
    QVERIFY(handed.at(2).startsWith(desktop + QStringLiteral("/Sales export ")) && handed.at(2).endsWith(ending));
    QVERIFY(QFileInfo(handed.at(2)).size() > 100);
    QCOMPARE(m_opened, QStringList());
}

QTEST_MAIN(tst_ExportCommands)
#include "tst_exportcommands.moc"
