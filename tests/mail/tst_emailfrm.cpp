// The mail window driven as a user drives it, through the host's two mail methods, against the
// test sink; what arrives is read by Python's email package, the files we write by Python too.

#include "core/reportrequest.h"
#include "mail/EmailAB.h"
#include "mail/EmailFRM.h"
#include "mail/smtptransport.h"
#include "viewer/frmMain.h"
#include "mailtesting.h"
#include "common/fulldisk.h"

#include <optional>
#include "demowindow.h"

#include <velmora/qlrvx.h>

#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTableWidget>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

using namespace velmora;
using namespace velmora::test;

namespace {

const QString Subject = QStringLiteral("Tagesabschluss März – Filiale 12");
const QString Sender = QStringLiteral("store12@example.com");
const QString Store = QStringLiteral("Jürgen's Möbel, Main St");   // needs encoding and quoting as a name

} // namespace

class tst_EmailFRM : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void sendsWhatWasComposed_data();
    void sendsWhatWasComposed();
    void failedSendKeepsMessage_data();
    void failedSendKeepsMessage();
    void unattendedSends_data();
    void unattendedSends();
    void settingsRoundTrip();
    void addressBook_data();
    void addressBook();
    void failedSavesKeepFiles_data();
    void failedSavesKeepFiles();
    void transferFileRescue_data();
    void transferFileRescue();
    void demoButtons();

private:
    void writeSettings(const QString &server, const QString &extra = {});
    EmailFRM *compose(QString &subject, QString &message, QString &attach);
    EmailFRM *compose()
    {
        QString subject = Subject, message = QStringLiteral("Hello"), attach;
        return compose(subject, message, attach);
    }
    QString book() const { return m_data + QStringLiteral("vlmoemail.dat"); }
    QString settingsFile() const { return m_data + QStringLiteral("vlmfiles.dat"); }
    // What a Python script prints about a file.
    static QString python(const char *script, const QString &file)
    {
        return runTool(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QLatin1String(script), file}).output.trimmed();
    }

    SmtpSink m_sink;
    TlsSink m_tls;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_data;
    QLrvx *m_control = nullptr;
    QTemporaryDir m_config;
};

void tst_EmailFRM::initTestCase()
{
    m_sink = smtpSink();
    m_tls = tlsSink();
    QVERIFY2(m_sink.isValid() && m_tls.isValid(), "no smtp.env with TLS ports: run through ctest (fixture smtp)");
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_config.path());
    mail::SmtpTransport::setDefaultCaFile(m_tls.caFile);
    m_control = new QLrvx;
}

void tst_EmailFRM::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QFile::setPermissions(m_dir->path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                             | QFileDevice::ReadOther | QFileDevice::ExeOther);
    m_data = m_dir->filePath(QStringLiteral("data/"));
    QVERIFY(QDir().mkpath(m_data));
    writeSettings(m_sink.host + u':' + QString::number(m_sink.port), QStringLiteral("CopyTO=copy@example.com\r\n"));
}

void tst_EmailFRM::cleanup()
{
    if (EmailFRM *w = EmailFRM::existing()) {
        w->Attachment->clear();
        w->close();
        QVERIFY(!w->isVisible());
    }
    QFile::setPermissions(m_data, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

void tst_EmailFRM::writeSettings(const QString &server, const QString &extra)
{
    QByteArray text = "[Email]\r\nsenderemail=" + Sender.toUtf8() + "\r\n" + extra.toUtf8();
    if (!server.isEmpty())
        text += "server=" + server.toUtf8() + "\r\n";
    QVERIFY(writeBytes(settingsFile(), text));
}

EmailFRM *tst_EmailFRM::compose(QString &subject, QString &message, QString &attach)
{
    QString data = m_data, local = m_data, store = Store, number = QStringLiteral("12");
    m_control->SendEmail(data, local, store, number, subject, message, attach);
    EmailFRM *w = EmailFRM::existing();
    return w && w->isVisible() && w->Frame1->isVisible() ? w : nullptr;
}

void tst_EmailFRM::sendsWhatWasComposed_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("attach");
    QTest::addColumn<QString>("read");   // what a mail reader shows below the sender's headers

    const QString typed = QStringLiteral("To: office@example.com, buyer@example.com\nDated and numbered: True\n"
                                         "multipart/mixed(multipart/alternative(text/plain,text/html),text/plain");
    QTest::newRow("picture in a ~~ message for the home office")
        << "~~boss@example.com~~<!DOCTYPE html><html><body><p>Grüße <img src=\"DIR/pics/pic1.png\"></p></body></html>" << ""
        << "To: boss@example.com\nDated and numbered: True\nmultipart/alternative(text/plain,multipart/related(text/html,"
           "image/png))\nplain: Grüße\npicture pic1.png, shown";
    QTest::newRow("two attachments joined by |") << "x" << "DIR/a.txt|DIR/Inventur März.xls"
        << typed + ",application/vnd.ms-excel)\nplain: x\nattachment a.txt, 1 bytes\nattachment Inventur März.xls, 500 bytes";
    QTest::newRow("trailing |") << "x" << "DIR/a.txt|" << typed + ")\nplain: x\nattachment a.txt, 1 bytes";
}

void tst_EmailFRM::sendsWhatWasComposed()
{
    QFETCH(QString, message);
    QFETCH(QString, attach);
    QFETCH(QString, read);

    const QString dir = m_dir->path();
    QImage picture(6, 6, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    QVERIFY(QDir().mkpath(dir + QStringLiteral("/pics")) && picture.save(dir + QStringLiteral("/pics/pic1.png"))
            && writeBytes(dir + QStringLiteral("/a.txt"), "a") && writeBytes(dir + QStringLiteral("/Inventur März.xls"), QByteArray(500, 'x')));
    message.replace(QStringLiteral("DIR"), dir);
    attach.replace(QStringLiteral("DIR"), dir);
    const QString token = QUuid::createUuid().toString(QUuid::Id128);
    QString subject = Subject + u' ' + token;
    const QString passedMessage = message;

    EmailFRM *w = compose(subject, message, attach);
    QVERIFY(w);
    const bool marked = passedMessage.startsWith(u"~~");
    QCOMPARE(message, marked ? passedMessage.mid(passedMessage.indexOf(u"~~", 2) + 2) : passedMessage);
    if (!marked)
        QTest::keyClicks(w->TOtxt, QStringLiteral("office@example.com, buyer@example.com"));
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    QVERIFY(!w->isVisible());
    QVERIFY(w->MailSent());
    QCOMPARE(subject, Subject + u' ' + token);
    QCOMPARE(readMail(m_sink.storedWith(token.toUtf8())),
             QStringLiteral("Subject: %1\nFrom: %2  Store: 12 <%3>\nReply-To: %3\nCc: copy@example.com\n").arg(subject, Store, Sender)
                 + read);
    QVERIFY(QFileInfo::exists(dir + QStringLiteral("/a.txt")));   // not asked to delete
}

// A send that fails, or that the window's own checks stop, says why and keeps the message; put
// right, the same window sends.
void tst_EmailFRM::failedSendKeepsMessage_data()
{
    QTest::addColumn<QString>("server");   // plain, starttls, closed: nothing listening, none: no settings
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("recipient");
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<QStringList>("says");

    const QString failed = QStringLiteral("box: Sending E-Mail Failed. Information is below:\n\n");
    QTest::newRow("refused recipient") << "plain" << "" << "refuse@example.com" << false << QStringList{failed, "550 5.1.1"};
    QTest::newRow("wrong password") << "starttls" << "wrong" << "office@example.com" << false << QStringList{failed, "535"};
    QTest::newRow("nothing listening") << "closed" << "" << "office@example.com" << false
                                       << QStringList{failed, "could not be reached"};
    QTest::newRow("cancel while the server is slow") << "plain" << "" << "slow@example.com" << true
                                                     << QStringList{failed, "cancelled"};
    QTest::newRow("no server") << "none" << "" << "office@example.com" << false << QStringList{
        "box: You must enter SMTP settings. Click on the Edit SMTP Settings button to enter SMTP settings."};
    QTest::newRow("no recipient") << "plain" << "" << "  " << false << QStringList{"box: Enter a recipient's E-Mail address."};
}

void tst_EmailFRM::failedSendKeepsMessage()
{
    QFETCH(QString, server);
    QFETCH(QString, password);
    QFETCH(QString, recipient);
    QFETCH(bool, cancel);
    QFETCH(QStringList, says);

    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const quint16 closedPort = closed.serverPort();
    closed.close();
    const int port = server == u"starttls" ? m_tls.startTlsPort : server == u"closed" ? closedPort : m_sink.port;
    writeSettings(server == u"none" ? QString() : QStringLiteral("127.0.0.1:%1").arg(port),
                  password.isEmpty() ? QString() : QStringLiteral("senderuser=%1\r\nsenderpassword=%2\r\n").arg(m_sink.user, password));
    QVERIFY(writeBytes(m_dir->filePath(QStringLiteral("a.txt")), "a"));
    QString subject = Subject, message = QStringLiteral("Grüße"), attach = m_dir->filePath(QStringLiteral("a.txt"));
    EmailFRM *w = compose(subject, message, attach);
    QVERIFY(w);
    w->TOtxt->setPlainText(recipient);
    const QSize before = w->size();

    QTimer canceller;
    if (cancel) {
        connect(&canceller, &QTimer::timeout, w, [w] {
            if (w->sending() && w->Frame2->isVisible())
                QTest::mouseClick(w->CancelSend, Qt::LeftButton);
        });
        canceller.start(20);
    }
    QElapsedTimer clock;
    clock.start();
    {
        ModalScript answers({pressButton(QMessageBox::Ok)});
        QTest::mouseClick(w->Command1, Qt::LeftButton);
        QCOMPARE(answers.seen.size(), 1);
        QVERIFY2(answers.seen.first().startsWith(says.first()), qPrintable(answers.seen.first()));
        QVERIFY2(answers.seen.first().contains(says.last()), qPrintable(answers.seen.first()));
    }
    QVERIFY(clock.elapsed() < 15000);
    canceller.stop();
    QVERIFY(w->isVisible() && w->Frame1->isVisible() && !w->Frame2->isVisible());
    QCOMPARE(w->size(), before);
    QCOMPARE(w->SubjectTXT->text(), Subject);
    QCOMPARE(w->MSGtxt->toPlainText(), QStringLiteral("Grüße"));
    QCOMPARE(w->Attachment->text(), m_dir->filePath(QStringLiteral("a.txt")));
    QVERIFY(!w->MailSent());

    const QString token = QUuid::createUuid().toString(QUuid::Id128);
    w->SubjectTXT->setText(token);
    w->TOtxt->setPlainText(QStringLiteral("office@example.com"));
    w->ServerTXT->setText(QStringLiteral("127.0.0.1:%1").arg(server == u"closed" ? m_sink.port : port));
    if (!password.isEmpty())
        w->SMTPpassword->setText(m_sink.password);
    QTest::mouseClick(w->Command1, Qt::LeftButton);
    QVERIFY(w->MailSent());
    QVERIFY(!m_sink.storedWith(token.toUtf8()).isEmpty());
}

// The host's unattended send: the subject comes back "Success" and the attachment is deleted only
// after a send; the form's size and the address book are not saved.
void tst_EmailFRM::unattendedSends_data()
{
    QTest::addColumn<bool>("server");
    QTest::addColumn<QString>("recipient");
    QTest::addColumn<QString>("box");
    QTest::addColumn<bool>("sent");

    QTest::newRow("sent") << true << "office@example.com" << "" << true;
    QTest::newRow("refused") << true << "refuse@example.com" << "" << false;
    QTest::newRow("without a server") << false << "office@example.com"
        << "You must enter SMTP settings. Click on the Edit SMTP Settings button to enter SMTP settings." << false;
}

void tst_EmailFRM::unattendedSends()
{
    QFETCH(bool, server);
    QFETCH(QString, recipient);
    QFETCH(QString, box);
    QFETCH(bool, sent);

    if (!server)
        writeSettings({});
    QSettings store(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Velmora"), QStringLiteral("Velmora"));
    store.remove(QStringLiteral("Email Form Size"));
    const QString token = QUuid::createUuid().toString(QUuid::Id128);
    QString subject = token, data = m_data, local = m_data, store12 = QStringLiteral("Main St"), number = QStringLiteral("12");
    QString message = QStringLiteral("End of day"), attach = m_dir->filePath(QStringLiteral("eod.txt"));
    QVERIFY(writeBytes(attach, "figures"));
    bool deleteAfterSend = true;
    request().ReportTitle = QStringLiteral("Velmora Inventory Report");
    ModalScript answers({pressButton(QMessageBox::Ok)});
    m_control->SendEmailAuto(data, local, recipient, store12, number, subject, message, attach, deleteAfterSend);
    EmailFRM *w = EmailFRM::existing();
    QCOMPARE(answers.seen, box.isEmpty() ? QStringList() : QStringList{QStringLiteral("box: ") + box});
    QCOMPARE(subject, sent ? QStringLiteral("Success") : token);
    QCOMPARE(QFileInfo::exists(attach), !sent);
    QCOMPARE(!m_sink.storedWith(token.toUtf8()).isEmpty(), sent);
    QCOMPARE(w->isVisible(), !box.isEmpty());
    QVERIFY(!w->Frame1->isVisible());
    QCOMPARE(request().ReportTitle, QStringLiteral("Velmora Inventory Report"));
    store.sync();
    QVERIFY(!store.childGroups().contains(QStringLiteral("Email Form Size")));
    QVERIFY(!QFileInfo::exists(book()));
}

// Saved settings as Python's configparser reads them; typed but not saved: kept in the window, not
// in the file. A missing address book starts with tech support in it.
void tst_EmailFRM::settingsRoundTrip()
{
    EmailFRM *w = compose();
    QVERIFY(w);
    QCOMPARE(readBytes(book()), QByteArray("\"Velmora Tech Support\",\"support@velmora.example\"\r\n"));
    QTest::mouseClick(w->editsettings, Qt::LeftButton);
    QVERIFY(w->Frame3->isVisible() && !w->Frame1->isVisible());
    w->ServerTXT->setText(QStringLiteral("mail.example.com:2525"));
    w->SenderNameTXT->clear();
    w->SMTPUser->clear();
    w->SMTPpassword->setText(QStringLiteral("pw"));
    w->SSLcheck->setChecked(true);
    QTest::mouseClick(w->SaveSettings, Qt::LeftButton);
    QVERIFY(w->Frame1->isVisible());
    QCOMPARE(python("import configparser,sys\nc=configparser.ConfigParser()\nc.optionxform=str\nc.read(sys.argv[1])\n"
                    "print(sorted(c['Email'].items()))", settingsFile()),
             QStringLiteral("[('CopyTO', 'copy@example.com'), ('UseSSL', '1'), ('senderemail', 'store12@example.com'), "
                            "('senderpassword', 'pw'), ('server', 'mail.example.com:2525')]"));

    QTest::mouseClick(w->editsettings, Qt::LeftButton);
    w->ServerTXT->setText(QStringLiteral("other.example.com"));
    QTest::mouseClick(w->ESC2, Qt::LeftButton);
    QCOMPARE(w->ServerTXT->text(), QStringLiteral("other.example.com"));
    w->close();
    QVERIFY(w = compose());
    QCOMPARE(w->ServerTXT->text(), QStringLiteral("mail.example.com:2525"));
    QCOMPARE(w->SenderNameTXT->text(), Store + QStringLiteral("  Store: 12"));
    QVERIFY(w->SSLcheck->isChecked());
}

// Edits, picks and a delete, read back by Python's csv module once the window is closed or unloaded
// with the viewer's windows; a cancelled add still writes the book anew.
void tst_EmailFRM::addressBook_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("window closed") << "close";
    QTest::newRow("unloaded with the viewer's windows") << "unload";
    QTest::newRow("cancelled add") << "cancel";
}

void tst_EmailFRM::addressBook()
{
    QFETCH(QString, how);
    QByteArray lines = "Store 1 , s1@example.com\n";
    for (int i = 2; i <= 12; ++i)
        lines += QStringLiteral("\"Store %1\",\"s%1@example.com\"\r\n").arg(i).toUtf8();
    QVERIFY(writeBytes(book(), lines + "\"Store 13\"\r\n"));
    EmailFRM *w = compose();
    QVERIFY(w);
    QCOMPARE(w->Grid1->rowCount(), 13);
    QCOMPARE(w->Grid1->item(12, 1)->text(), QString());
    if (how == u"cancel") {
        ModalScript answers({pressButton(QMessageBox::Cancel)});
        QTest::mouseClick(w->ABadd, Qt::LeftButton);
        QCOMPARE(answers.seen, QStringList{"velmora::EmailAB"});
        w->close();
        QCOMPARE(readBytes(book()), "\"Store 1\",\"s1@example.com\"\r\n" + lines.mid(lines.indexOf('\n') + 1) + "\"Store 13\",\"\"\r\n");
        return;
    }
    w->Grid1->setCurrentCell(11, 0);
    ModalScript answers({[](QWidget *dlg) {
                             auto *ab = qobject_cast<EmailAB *>(dlg);
                             QCOMPARE(ab->EditMode->text(), QStringLiteral("edit 12"));
                             ab->TXTemail->setText(QStringLiteral(" new12@example.com "));
                             QTest::mouseClick(ab->cmdOK, Qt::LeftButton);
                         },
                         pressButton(QMessageBox::Yes)});
    QTest::mouseClick(w->ABedit, Qt::LeftButton);
    for (int row : {0, 11}) {
        w->Grid1->scrollTo(w->Grid1->model()->index(row, 1));
        const QPoint at = w->Grid1->visualRect(w->Grid1->model()->index(row, 1)).center();
        QTest::mouseClick(w->Grid1->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(w->Grid1->viewport(), Qt::LeftButton, {}, at);
    }
    QCOMPARE(w->TOtxt->toPlainText(), QStringLiteral("s1@example.com,new12@example.com"));
    w->Grid1->setCurrentCell(0, 0);
    QTest::mouseClick(w->ABdelete, Qt::LeftButton);
    QCOMPARE(answers.seen, (QStringList{"velmora::EmailAB",
                                        "box: Do you want to delete the following from the address book: Store 1  s1@example.com"}));
    if (how == u"unload") {
        frmMain::unloadAll();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    } else {
        w->close();
    }
    QCOMPARE(python("import csv,sys\nrows=list(csv.reader(open(sys.argv[1],newline='')))\nprint(len(rows), rows[0], rows[10], rows[11])",
                    book()),
             QStringLiteral("12 ['Store 2', 's2@example.com'] ['Store 12', 'new12@example.com'] ['Store 13', '']"));
}

// A settings or address book save that fails says so and leaves both files as they were: a data
// folder the user may not write to, and a disk with no room left.
void tst_EmailFRM::failedSavesKeepFiles_data()
{
    QTest::addColumn<bool>("fullDisk");
    QTest::newRow("data folder not writable") << false;
    QTest::newRow("disk full") << true;
}

void tst_EmailFRM::failedSavesKeepFiles()
{
    QFETCH(bool, fullDisk);
    std::unique_ptr<FullDisk> disk;
    const QString data = m_data;
    auto back = qScopeGuard([&] { m_data = data; });
    if (fullDisk) {
        disk = std::make_unique<FullDisk>(64 * 1024);
        if (!disk->isMounted())
            QSKIP(qPrintable(disk->skipReason()));
        m_data = disk->path() + u'/';
        QVERIFY(QFile::copy(data + QStringLiteral("vlmfiles.dat"), settingsFile()));
    }
    const QByteArray entries = "\"A\",\"a@example.com\"\r\n";
    QVERIFY(writeBytes(book(), entries));
    const QByteArray settings = readBytes(settingsFile());
    std::optional<Unprivileged> nobody;
    if (!fullDisk) {
        for (const QString &f : {book(), settingsFile()})
            QFile::setPermissions(f, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther);
        QFile::setPermissions(m_data, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                          | QFileDevice::ReadOther | QFileDevice::ExeOther);
        nobody.emplace();
    }
    EmailFRM *w = compose();
    QVERIFY(w);
    QCOMPARE(w->Grid1->rowCount(), 1);
    if (fullDisk)
        QVERIFY(disk->fill());
    ModalScript answers({pressButton(QMessageBox::Ok),
                         [](QWidget *dlg) {
                             qobject_cast<EmailAB *>(dlg)->TXTname->setText(QStringLiteral("B"));
                             qobject_cast<EmailAB *>(dlg)->TXTemail->setText(QStringLiteral("b@example.com"));
                             QTest::mouseClick(qobject_cast<EmailAB *>(dlg)->cmdOK, Qt::LeftButton);
                         },
                         pressButton(QMessageBox::Ok)});
    QTest::mouseClick(w->editsettings, Qt::LeftButton);
    w->ServerTXT->setText(QStringLiteral("changed.example.com"));
    QTest::mouseClick(w->SaveSettings, Qt::LeftButton);
    QVERIFY(w->Frame3->isVisible());   // nothing typed is lost
    QTest::mouseClick(w->ESC2, Qt::LeftButton);
    QTest::mouseClick(w->ABadd, Qt::LeftButton);
    w->close();
    QVERIFY(!w->isVisible());
    QCOMPARE(answers.seen.size(), 3);
    QVERIFY2(answers.seen[0].contains(QStringLiteral("mail settings could not be saved")), qPrintable(answers.seen[0]));
    QVERIFY2(answers.seen[2].contains(QStringLiteral("address book could not be saved"))
                 && (!fullDisk || answers.seen[2].contains(QStringLiteral("No space left on device"))),
             qPrintable(answers.seen[2]));
    QCOMPARE(readBytes(book()), entries);
    QCOMPARE(readBytes(settingsFile()), settings);
}

// Closing the window with a transfer file attached offers to copy it elsewhere.
void tst_EmailFRM::transferFileRescue_data()
{
    QTest::addColumn<bool>("targetExists");
    QTest::addColumn<bool>("choose");
    QTest::newRow("cancelled picker keeps the window") << false << false;
    QTest::newRow("declined overwrite brings the picker back") << true << false;
    QTest::newRow("copy deletes the source") << false << true;
}

void tst_EmailFRM::transferFileRescue()
{
    QFETCH(bool, targetExists);
    QFETCH(bool, choose);
    QString subject = Subject, message = QStringLiteral("x"), attach = m_data + QStringLiteral("HomeOffice/XferVLM.VMX");
    const QString source = attach, target = m_dir->filePath(QStringLiteral("rescue/"));
    QVERIFY(QDir().mkpath(m_data + QStringLiteral("HomeOffice")) && QDir().mkpath(target) && writeBytes(source, "transfer"));
    QVERIFY(!targetExists || writeBytes(target + QStringLiteral("XferVLM.vmx"), "older"));
    EmailFRM *w = compose(subject, message, attach);
    QVERIFY(w);
    const ModalScript::Action pick = [target](QWidget *picker) {
        qobject_cast<QFileDialog *>(picker)->setDirectory(target);
        static_cast<QDialog *>(picker)->accept();
    };
    using Steps = QList<ModalScript::Action>;
    ModalScript answers(targetExists ? Steps{pick, pressButton(QMessageBox::No), pressButton(QMessageBox::Cancel)}
                                     : choose ? Steps{pick} : Steps{pressButton(QMessageBox::Cancel)});
    w->close();
    QCOMPARE(answers.pending(), 0);
    QCOMPARE(w->isVisible(), !choose);
    QCOMPARE(QFileInfo::exists(source), !choose);
    QCOMPARE(readBytes(target + QStringLiteral("XferVLM.vmx")),
             choose ? QByteArray("transfer") : targetExists ? QByteArray("older") : QByteArray());
    if (targetExists)
        QCOMPARE(answers.seen.value(1), QStringLiteral("box: ") + target + QStringLiteral("XferVLM.vmx\nFile exists...Overwrite?"));
}

// The demo host's two mail buttons: the unattended send reports what the subject came back as,
// the other opens the compose window with the host's subject.
void tst_EmailFRM::demoButtons()
{
    DemoWindow demo({m_data, m_data, QString()});
    demo.show();
    const QString token = QUuid::createUuid().toString(QUuid::Id128);
    demo.findChild<QLineEdit *>(QStringLiteral("txtSubject"))->setText(token);
    QTest::mouseClick(demo.findChild<QPushButton *>(QStringLiteral("cmdSendEmailAuto")), Qt::LeftButton);
    QVERIFY(demo.findChild<QLabel *>(QStringLiteral("lblMailResult"))->text().startsWith(QStringLiteral("Sent")));
    QVERIFY(!m_sink.storedWith(token.toUtf8()).isEmpty());
    QTest::mouseClick(demo.findChild<QPushButton *>(QStringLiteral("cmdSendEmail")), Qt::LeftButton);
    QVERIFY(EmailFRM::existing()->isVisible());
    QCOMPARE(EmailFRM::existing()->SubjectTXT->text(), token);
}

QTEST_MAIN(tst_EmailFRM)
#include "tst_emailfrm.moc"
