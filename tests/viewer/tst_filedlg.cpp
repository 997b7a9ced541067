#include "core/reportrequest.h"
#include "viewer/FileDLG.h"

#include "layouttesting.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace velmora;
using velmora::test::ModalAnswer;

namespace {

void touch(const QString &path, const QByteArray &content = "model\r\n")
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
    f.write(content);
}

QStringList listed(FileDLG *dialog)
{
    QStringList names;
    auto *list = dialog->findChild<QListWidget *>(QStringLiteral("List1"));
    for (int i = 0; list && i < list->count(); ++i)
        names.append(list->item(i)->text());
    return names;
}

QLineEdit *nameBox(FileDLG *dialog)
{
    return dialog->findChild<QLineEdit *>(QStringLiteral("FileNameTXT"));
}

void clickItem(FileDLG *dialog, const QString &text, bool twice = false)
{
    auto *list = dialog->findChild<QListWidget *>(QStringLiteral("List1"));
    const QList<QListWidgetItem *> items = list->findItems(text, Qt::MatchExactly);
    QVERIFY2(items.size() == 1, qPrintable(text));
    const QPoint at = list->visualItemRect(items.first()).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    if (twice)
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

void typeName(FileDLG *dialog, const QString &name)
{
    QLineEdit *box = nameBox(dialog);
    box->clear();
    QTest::keyClicks(box, name);
}

void clickOk(FileDLG *dialog)
{
    QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("OKButton")), Qt::LeftButton);
}

} // namespace

class tst_FileDLG : public QObject {
    Q_OBJECT
private slots:
    void init();

    void controlsAndCaptions_data();
    void controlsAndCaptions();
    void makesTheLayoutFolders();
    void listsTheKindsTxtFiles();
    void kindComparedExactly();
    void clickCopiesTheName();
    void doubleClickChooses();

    void savedNames_data();
    void savedNames();
    void tooLongNameStaysOpen();
    void openModeTakesNamesAsTyped_data();
    void openModeTakesNamesAsTyped();
    void emptyNameStaysOpen();
    void cancelGivesNothing();
    void escapeGivesNothing();
    void enterPressesOk();

    void deleteKeyAsksThenDeletes();
    void deleteKeyAnsweredNoKeepsTheFile();

    void unreachableDataFolderSaysSo();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_data;
};

void tst_FileDLG::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_data = m_dir->path() + u'/';
    request().Datapath = m_data;
    request().ReportKey.clear();
}

void tst_FileDLG::controlsAndCaptions_data()
{
    QTest::addColumn<bool>("openMode");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("saveLabelShown");
    QTest::newRow("save mode") << false << "Save Report Layout" << true;
    QTest::newRow("open mode") << true << "Select a saved layout to use" << false;
}

void tst_FileDLG::controlsAndCaptions()
{
    QFETCH(bool, openMode);
    QFETCH(QString, caption);
    QFETCH(bool, saveLabelShown);
    ModalAnswer<FileDLG> answer;
    QString title;
    bool labelShown = !saveLabelShown;
    QString label1, saveLabel, okText, cancelText;
    bool okDefault = false;
    answer.action = [&](FileDLG *dialog) {
        title = dialog->windowTitle();
        labelShown = dialog->findChild<QLabel *>(QStringLiteral("SaveLBL"))->isVisible();
        label1 = dialog->findChild<QLabel *>(QStringLiteral("Label1"))->text();
        saveLabel = dialog->findChild<QLabel *>(QStringLiteral("SaveLBL"))->text();
        auto *ok = dialog->findChild<QPushButton *>(QStringLiteral("OKButton"));
        okText = ok->text();
        okDefault = ok->isDefault();
        cancelText = dialog->findChild<QPushButton *>(QStringLiteral("CancelButton"))->text();
        QVERIFY(dialog->findChild<QLineEdit *>(QStringLiteral("FileNameTXT")));
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("CancelButton")), Qt::LeftButton);
    };
    answer.arm();
    QCOMPARE(FileDLG::GetSaveFile(openMode), QString());
    QCOMPARE(answer.shown, 1);
    QCOMPARE(title, caption);
    QCOMPARE(labelShown, saveLabelShown);
    QCOMPARE(label1, QStringLiteral("To delete a file from the list below click on it and press the Delete key"));
    QCOMPARE(saveLabel, QStringLiteral("Type a filename or select one to save as"));
    QCOMPARE(okText, QStringLiteral("OK"));
    QVERIFY(okDefault);
    QCOMPARE(cancelText, QStringLiteral("Cancel"));
}

void tst_FileDLG::makesTheLayoutFolders()
{
    ModalAnswer<FileDLG> answer;
    answer.action = [](FileDLG *dialog) { dialog->reject(); };
    answer.arm();
    FileDLG::GetSaveFile(true);
    for (const char *folder : {"", "Customer Search", "Customer List", "INV2", "Service", "Proj", "Masterinv"})
        QVERIFY2(QFileInfo(m_data + QStringLiteral("Saved Report Layouts/") + QString::fromUtf8(folder)).isDir(), folder);
}

void tst_FileDLG::listsTheKindsTxtFiles()
{
    const QString folder = m_data + QStringLiteral("Saved Report Layouts/Service/");
    QVERIFY(QDir().mkpath(folder + QStringLiteral("Folder.txt")));
    touch(folder + QStringLiteral("b.txt"));
    touch(folder + QStringLiteral("A.TXT"));
    touch(folder + QStringLiteral("notes.csv"));
    touch(folder + QStringLiteral("Clean.txt.bak"));
    touch(m_data + QStringLiteral("Saved Report Layouts/Inventory.txt"));
    request().ReportKey = QStringLiteral("servicereport");

    ModalAnswer<FileDLG> answer;
    QStringList names;
    answer.action = [&](FileDLG *dialog) {
        names = listed(dialog);
        dialog->reject();
    };
    answer.arm();
    FileDLG::GetSaveFile(true);
    QCOMPARE(names, (QStringList{"A.TXT", "b.txt"}));
}

void tst_FileDLG::kindComparedExactly()
{
    QVERIFY(QDir().mkpath(m_data + QStringLiteral("Saved Report Layouts/INV2")));
    touch(m_data + QStringLiteral("Saved Report Layouts/INV2/Deleted.txt"));
    touch(m_data + QStringLiteral("Saved Report Layouts/Root.txt"));
    QStringList names;
    ModalAnswer<FileDLG> answer;
    answer.action = [&](FileDLG *dialog) {
        names = listed(dialog);
        dialog->reject();
    };
    request().ReportKey = QStringLiteral("deletedinv");
    answer.arm();
    FileDLG::GetSaveFile(true);
    QCOMPARE(names, QStringList{"Deleted.txt"});
    request().ReportKey = QStringLiteral("DeletedInv");
    answer.arm();
    FileDLG::GetSaveFile(true);
    QCOMPARE(names, QStringList{"Root.txt"});
}

void tst_FileDLG::clickCopiesTheName()
{
    QVERIFY(QDir().mkpath(m_data + QStringLiteral("Saved Report Layouts")));
    touch(m_data + QStringLiteral("Saved Report Layouts/First.txt"));
    touch(m_data + QStringLiteral("Saved Report Layouts/Second.txt"));
    QString afterClick;
    ModalAnswer<FileDLG> answer;
    answer.action = [&](FileDLG *dialog) {
        clickItem(dialog, QStringLiteral("Second.txt"));
        afterClick = nameBox(dialog)->text();
        clickOk(dialog);
    };
    answer.arm();
    QCOMPARE(FileDLG::GetSaveFile(false), QStringLiteral("Second.txt"));
    QCOMPARE(afterClick, QStringLiteral("Second.txt"));
}

void tst_FileDLG::doubleClickChooses()
{
    QVERIFY(QDir().mkpath(m_data + QStringLiteral("Saved Report Layouts")));
    touch(m_data + QStringLiteral("Saved Report Layouts/First.txt"));
    touch(m_data + QStringLiteral("Saved Report Layouts/Second.txt"));
    ModalAnswer<FileDLG> answer;
    answer.action = [&](FileDLG *dialog) { clickItem(dialog, QStringLiteral("First.txt"), true); };
    answer.arm();
    QCOMPARE(FileDLG::GetSaveFile(true), QStringLiteral("First.txt"));
    QVERIFY(!FileDLG::instance()->isVisible());
}

void tst_FileDLG::savedNames_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("result");
    QTest::newRow("Sales") << "Sales" << "Sales.txt";
    QTest::newRow("Sales.TXT") << "Sales.TXT" << "Sales.TXT";
    QTest::newRow("21 characters") << QString(21, u'n') << QString(21, u'n') + ".txt";
    QTest::newRow("a:b?c") << "a:b?c" << "a_b_c.txt";
    QTest::newRow("..x") << "..x" << "x.txt";
    QTest::newRow("every forbidden character") << "a?\\/><*|:;\"b" << "a__________b.txt";
}

void tst_FileDLG::savedNames()
{
    QFETCH(QString, typed);
    QFETCH(QString, result);
    ModalAnswer<FileDLG> answer;
    answer.action = [&](FileDLG *dialog) {
        typeName(dialog, typed);
        clickOk(dialog);
    };
    answer.arm();
    QCOMPARE(FileDLG::GetSaveFile(false), result);
    QCOMPARE(nameBox(FileDLG::instance())->text(), result);
}

void tst_FileDLG::tooLongNameStaysOpen()
{
    ModalAnswer<QMessageBox> message;
    message.action = [](QMessageBox *box) { test::answerBox(box, QMessageBox::Ok); };
    bool stillOpen = false;
    QString shownName;
    ModalAnswer<FileDLG> answer;
    answer.action = [&](FileDLG *dialog) {
        typeName(dialog, QStringLiteral("a:") + QString(20, u'n'));   // 22 characters
        message.arm();
        clickOk(dialog);
        stillOpen = dialog->isVisible();
        shownName = nameBox(dialog)->text();
        // The user shortens the name and tries again.
        typeName(dialog, QString(21, u'n'));
        clickOk(dialog);
    };
    answer.arm();
    QCOMPARE(FileDLG::GetSaveFile(false), QString(21, u'n') + QStringLiteral(".txt"));
    QCOMPARE(message.shown, 1);
    QCOMPARE(message.text, QStringLiteral("File name must be 25 characters or less."));
    QVERIFY(stillOpen);
    QCOMPARE(shownName, QStringLiteral("a_") + QString(20, u'n') + QStringLiteral(".txt"));
}

void tst_FileDLG::openModeTakesNamesAsTyped_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("result");
    QTest::newRow("a:b?c is not cleaned") << "a:b?c" << "a:b?c.txt";
    QTest::newRow("..x keeps its dots") << "..x" << "..x.txt";
    QTest::newRow("22 characters are not refused") << QString(22, u'n') << QString(22, u'n') + ".txt";
    QTest::newRow("Sales.TXT keeps its ending") << "Sales.TXT" << "Sales.TXT";
}

void tst_FileDLG::openModeTakesNamesAsTyped()
{
    QFETCH(QString, typed);
    QFETCH(QString, result);
    ModalAnswer<QMessageBox> message;
    message.action = [](QMessageBox *box) { test::answerBox(box, QMessageBox::Ok); };
    ModalAnswer<FileDLG> answer;
    answer.action = [&](FileDLG *dialog) {
        typeName(dialog, typed);
        message.arm();
        clickOk(dialog);
        if (dialog->isVisible())
            dialog->reject();
    };
    answer.arm();
    QCOMPARE(FileDLG::GetSaveFile(true), result);
    QCOMPARE(message.shown, 0);
    QCOMPARE(nameBox(FileDLG::instance())->text(), typed);
}

void tst_FileDLG::emptyNameStaysOpen()
{
    bool stillOpen = false;
    ModalAnswer<FileDLG> answer;
    answer.action = [&](FileDLG *dialog) {
        clickOk(dialog);
        stillOpen = dialog->isVisible();
        typeName(dialog, QStringLiteral("Later"));
        clickOk(dialog);
    };
    answer.arm();
    QCOMPARE(FileDLG::GetSaveFile(false), QStringLiteral("Later.txt"));
    QVERIFY(stillOpen);
}

void tst_FileDLG::cancelGivesNothing()
{
    ModalAnswer<FileDLG> answer;
    answer.action = [&](FileDLG *dialog) {
        typeName(dialog, QStringLiteral("Typed"));
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("CancelButton")), Qt::LeftButton);
    };
    answer.arm();
    QCOMPARE(FileDLG::GetSaveFile(false), QString());
    // The next use starts without the earlier result.
    answer.action = [&](FileDLG *dialog) {
        QVERIFY(nameBox(dialog)->text().isEmpty());
        dialog->reject();
    };
    answer.arm();
    QCOMPARE(FileDLG::GetSaveFile(false), QString());
    QCOMPARE(answer.shown, 2);
}

void tst_FileDLG::escapeGivesNothing()
{
    ModalAnswer<FileDLG> answer;
    answer.action = [&](FileDLG *dialog) {
        typeName(dialog, QStringLiteral("Typed"));
        QTest::keyClick(nameBox(dialog), Qt::Key_Escape);
    };
    answer.arm();
    QCOMPARE(FileDLG::GetSaveFile(false), QString());
}

void tst_FileDLG::enterPressesOk()
{
    ModalAnswer<FileDLG> answer;
    answer.action = [&](FileDLG *dialog) {
        typeName(dialog, QStringLiteral("Entered"));
        QTest::keyClick(nameBox(dialog), Qt::Key_Return);
    };
    answer.arm();
    QCOMPARE(FileDLG::GetSaveFile(false), QStringLiteral("Entered.txt"));
}

void tst_FileDLG::deleteKeyAsksThenDeletes()
{
    const QString folder = m_data + QStringLiteral("Saved Report Layouts/");
    QVERIFY(QDir().mkpath(folder));
    touch(folder + QStringLiteral("Keep.txt"));
    touch(folder + QStringLiteral("Old.txt"));
    ModalAnswer<QMessageBox> question;
    int icon = -1;
    QStringList buttons;
    question.action = [&](QMessageBox *box) {
        icon = box->icon();
        for (QAbstractButton *b : box->buttons())
            buttons.append(b->text().remove(u'&'));
        test::answerBox(box, QMessageBox::Yes);
    };
    QStringList after;
    ModalAnswer<FileDLG> answer;
    answer.action = [&](FileDLG *dialog) {
        clickItem(dialog, QStringLiteral("Old.txt"));
        question.arm();
        QTest::keyClick(dialog->findChild<QListWidget *>(QStringLiteral("List1")), Qt::Key_Delete);
        after = listed(dialog);
        dialog->reject();
    };
    answer.arm();
    FileDLG::GetSaveFile(true);
    QCOMPARE(question.shown, 1);
    QCOMPARE(question.text, QStringLiteral("Do you want to delete the layout: Old.txt"));
    QCOMPARE(icon, int(QMessageBox::Question));
    buttons.sort();
    QCOMPARE(buttons, (QStringList{"No", "Yes"}));
    QCOMPARE(after, QStringList{"Keep.txt"});
    QVERIFY(!QFile::exists(folder + QStringLiteral("Old.txt")));
    QVERIFY(QFile::exists(folder + QStringLiteral("Keep.txt")));
}

void tst_FileDLG::deleteKeyAnsweredNoKeepsTheFile()
{
    const QString folder = m_data + QStringLiteral("Saved Report Layouts/");
    QVERIFY(QDir().mkpath(folder));
    touch(folder + QStringLiteral("Old.txt"));
    ModalAnswer<QMessageBox> question;
    question.action = [](QMessageBox *box) { test::answerBox(box, QMessageBox::No); };
    QStringList after;
    ModalAnswer<FileDLG> answer;
    answer.action = [&](FileDLG *dialog) {
        // Without a selection the key does nothing.
        QTest::keyClick(dialog->findChild<QListWidget *>(QStringLiteral("List1")), Qt::Key_Delete);
        clickItem(dialog, QStringLiteral("Old.txt"));
        question.arm();
        QTest::keyClick(dialog->findChild<QListWidget *>(QStringLiteral("List1")), Qt::Key_Delete);
        after = listed(dialog);
        dialog->reject();
    };
    answer.arm();
    FileDLG::GetSaveFile(true);
    QCOMPARE(question.shown, 1);
    QCOMPARE(after, QStringList{"Old.txt"});
    QVERIFY(QFile::exists(folder + QStringLiteral("Old.txt")));
}

void tst_FileDLG::unreachableDataFolderSaysSo()
{
    request().Datapath = m_data + QStringLiteral("unplugged/");
    ModalAnswer<QMessageBox> message;
    message.action = [](QMessageBox *box) { test::answerBox(box, QMessageBox::Ok); };
    message.arm();
    QCOMPARE(FileDLG::GetSaveFile(false), QString());
    QCOMPARE(message.shown, 1);
    QVERIFY2(message.text.contains(QStringLiteral("cannot be reached")), qPrintable(message.text));
    QVERIFY(!QFileInfo::exists(request().Datapath));
}

QTEST_MAIN(tst_FileDLG)
#include "tst_filedlg.moc"
