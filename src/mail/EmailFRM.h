#pragma once

// The mail window: compose a message (recipients, subject, a formatted body with pictures,
// attachments), pick addresses from the address book, keep the SMTP settings, and send through
// the SMTP server off the user-interface thread with a progress bar and Cancel Send. The host
// reaches it through StartMail; unattended, it sends at once and closes.

#include <QWidget>

#include <memory>

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QTextEdit;
class QToolBar;

namespace velmora {

class EmailFRM : public QWidget {
    Q_OBJECT
public:
    // The one instance, created on first use; it and its state flags outlive a closing of the
    // window, so a caller reads MailSent() after an unattended send.
    static EmailFRM *instance();
    static EmailFRM *existing();   // nullptr when never created (or unloaded with the viewer)
    ~EmailFRM() override;

    // Fills the window from the host's variables and shows it (modal when FromEOD1). The message
    // form "~~recipient~~html" sets the recipient and comes back shortened in MessagetoSend;
    // unattended (AutoSend), the window sends at once and Subject becomes "Success" after a send.
    void StartMail(QString &Subject, QString &MessagetoSend, QString &FileAttach, bool &DeleteAfterSend1,
                   bool &FromEOD1, bool &DeleteAllHOfiles1, QString &ToEmail, bool &AutoSend);

    bool isLoaded() const;
    bool MailSent() const;
    bool AddressBookChanged() const;
    bool sending() const;

    // Compose panel.
    QFrame *Frame1 = nullptr;
    QTextEdit *TOtxt = nullptr;
    QLineEdit *SubjectTXT = nullptr;
    QTextEdit *MSGtxt = nullptr;
    QToolBar *TXButtonBar = nullptr;
    QLabel *Label7 = nullptr;
    QLabel *Attachment = nullptr;
    QPushButton *Command4 = nullptr;
    QLabel *Label12 = nullptr;
    QPushButton *editsettings = nullptr;
    QPushButton *Command1 = nullptr;
    QTableWidget *Grid1 = nullptr;
    QPushButton *ABadd = nullptr;
    QPushButton *ABedit = nullptr;
    QPushButton *ABdelete = nullptr;
    // Sending panel.
    QFrame *Frame2 = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    QPushButton *CancelSend = nullptr;
    // Settings panel.
    QFrame *Frame3 = nullptr;
    QLineEdit *ServerTXT = nullptr;
    QLineEdit *SenderNameTXT = nullptr;
    QLineEdit *SenderEmailTXT = nullptr;
    QLineEdit *SMTPUser = nullptr;
    QLineEdit *SMTPpassword = nullptr;
    QCheckBox *SSLcheck = nullptr;
    QPushButton *SaveSettings = nullptr;
    QPushButton *ESC2 = nullptr;

    // Buttons, as a click runs them.
    void Command1_Click();
    void CancelSend_Click();
    void editsettings_Click();
    void SaveSettings_Click();
    void ESC2_Click();
    void ABadd_Click();
    void ABedit_Click();
    void ABdelete_Click();
    void Grid1_DblClick();
    void Command4_Click();

signals:
    void unloaded();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit EmailFRM(QWidget *parent = nullptr);
    void Form_Load();
    void EmailFormSize(bool save);
    void showPanel(QFrame *panel);
    void layOutSmallCentred();
    void loadAddressBook();
    bool writeAddressBook();
    // What closing keeps, whether the window is closed or deleted with the viewer's windows.
    void keepOnUnload();
    void readSettings();
    bool transferFileRescued();
    void afterSend();
    void buildFormattingBar();

    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace velmora
