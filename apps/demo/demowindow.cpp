#include "demowindow.h"

#include <velmora/error.h>
#include <velmora/qlcustsearch.h>
#include <velmora/qlrvx.h>

#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTime>
#include <QVBoxLayout>

namespace {

QString withSeparator(QString folder)
{
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

QLineEdit *field(const QString &objectName, const QString &text, QWidget *parent)
{
    auto *edit = new QLineEdit(text, parent);
    edit->setObjectName(objectName);
    edit->setMinimumWidth(420);
    return edit;
}

} // namespace

DemoWindow::DemoWindow(const Options &options, QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("DemoWindow"));
    setWindowTitle(QStringLiteral("Velmora Demo Store - Report Control"));

    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);

    auto *store = new QGroupBox(QStringLiteral("Store"), central);
    auto *form = new QFormLayout(store);
    m_storeName = field(QStringLiteral("txtStorename"), QStringLiteral("Velmora Rent-to-Own Main Street"), store);
    m_storeNumber = field(QStringLiteral("txtStoreNumber"), QStringLiteral("07"), store);
    m_dataFolder = field(QStringLiteral("txtDatapath"), withSeparator(options.dataFolder), store);
    m_localFolder = field(QStringLiteral("txtLocalPath"), withSeparator(options.localFolder), store);
    m_connString = field(QStringLiteral("txtConnString"),
                         options.database.isEmpty()
                             ? QString()
                             : QStringLiteral("Data Source=%1;User ID=SYSDBA;Password=masterkey;ctype=UTF8")
                                   .arg(options.database),
                         store);
    form->addRow(QStringLiteral("Store name:"), m_storeName);
    form->addRow(QStringLiteral("Store number:"), m_storeNumber);
    form->addRow(QStringLiteral("Data folder:"), m_dataFolder);
    form->addRow(QStringLiteral("Local folder:"), m_localFolder);
    form->addRow(QStringLiteral("Connection string:"), m_connString);
    layout->addWidget(store);

    auto *reports = new QGroupBox(QStringLiteral("Reports (edit a query, then press its button)"), central);
    m_reports = new QGridLayout(reports);
    m_reports->setColumnStretch(1, 1);
    layout->addWidget(reports);

    using velmora::QLrvx;
    addReport(QStringLiteral("Inventory Report"), QStringLiteral("cmdShowINVReport"),
              QStringLiteral("SELECT model, serial, stock, description, category, status, cost, balance, rbvbook, "
                             "rentalincome, otherincome, daterec FROM inventory WHERE store = 7 ORDER BY category, "
                             "model"),
              [this](QString &sql) {
                  QString data = m_dataFolder->text(), conn = m_connString->text(), name = m_storeName->text(),
                          number = m_storeNumber->text(), local = m_localFolder->text();
                  m_control->ShowINVReport(sql, data, conn, name, number, local);
              });
    addReport(QStringLiteral("Service Report"), QStringLiteral("cmdServiceReport"),
              QStringLiteral("SELECT ticket, datein, dateout, status, tech, name, customer, model, serial, category, "
                             "problem, svccharge, partscost FROM service WHERE store = 7 ORDER BY datein DESC"),
              [this](QString &sql) {
                  QString data = m_dataFolder->text(), conn = m_connString->text(), name = m_storeName->text(),
                          number = m_storeNumber->text(), local = m_localFolder->text();
                  m_control->ServiceReport(sql, data, conn, name, number, local);
              });
    addReport(QStringLiteral("Projected Revenue"), QStringLiteral("cmdProjectedReport"),
              QStringLiteral("SELECT duedate, name, account, agreement, stock, model, frequency, projpmt, pmtpaid "
                             "FROM projrevenue WHERE store = 7 ORDER BY duedate"),
              [this](QString &sql) {
                  QString data = m_dataFolder->text(), conn = m_connString->text(), name = m_storeName->text(),
                          number = m_storeNumber->text(), local = m_localFolder->text();
                  m_control->ProjectedReport(sql, data, conn, name, number, local);
              });
    addReport(QStringLiteral("Custom SQL"), QStringLiteral("cmdCustomSQL"),
              QStringLiteral("SELECT category, store, COUNT(*) AS units, CAST(SUM(cost) AS NUMERIC(15,2)) AS "
                             "total_cost, CAST(SUM(rentalincome) AS NUMERIC(15,2)) AS rental_income FROM inventory "
                             "GROUP BY category, store"),
              [this](QString &sql) {
                  QString data = m_dataFolder->text(), conn = m_connString->text(), name = m_storeName->text(),
                          number = m_storeNumber->text(), local = m_localFolder->text();
                  m_control->CustomSQL(sql, data, conn, name, number, local);
              });
    addReport(QStringLiteral("Custom SQL (editable)"), QStringLiteral("cmdCustomSQLSecurity"),
              QStringLiteral("SELECT account, name, address, city, state, zip, hmphone, email, bbbalance, deposit "
                             "FROM customers ORDER BY name"),
              [this](QString &sql) {
                  QString data = m_dataFolder->text(), conn = m_connString->text(), name = m_storeName->text(),
                          number = m_storeNumber->text(), local = m_localFolder->text();
                  m_control->CustomSQLSecurity(sql, data, conn, name, number, local);
              });
    addReport(QStringLiteral("Custom SQL (readonly)"), QStringLiteral("cmdCustomSQLSecurityReadonly"),
              QStringLiteral("readonly SELECT account, name, city, hmphone, cell, bbbalance, deposit FROM customers "
                             "WHERE bbbalance > 0 ORDER BY bbbalance DESC"),
              [this](QString &sql) {
                  QString data = m_dataFolder->text(), conn = m_connString->text(), name = m_storeName->text(),
                          number = m_storeNumber->text(), local = m_localFolder->text();
                  m_control->CustomSQLSecurity(sql, data, conn, name, number, local);
              });
    addReport(QStringLiteral("Deleted Inventory"), QStringLiteral("cmdShowDeletedInv"), QString(),
              [this](QString &) {
                  QString data = m_dataFolder->text(), conn = m_connString->text(), name = m_storeName->text(),
                          number = m_storeNumber->text(), local = m_localFolder->text();
                  m_control->ShowDeletedInv(data, local, conn, name, number);
              });

    // The master inventory takes its extra condition behind the store number.
    auto *masterButton = new QPushButton(QStringLiteral("Master Inventory"), reports);
    masterButton->setObjectName(QStringLiteral("cmdShowMasterInv"));
    m_masterFilter = field(QStringLiteral("txtMasterFilter"), QStringLiteral("category = 'TV'"), reports);
    m_masterFilter->setToolTip(QStringLiteral("Condition added to the master inventory query (store number|condition)"));
    const int row = m_reports->rowCount();
    m_reports->addWidget(masterButton, row, 0);
    m_reports->addWidget(m_masterFilter, row, 1);
    connect(masterButton, &QPushButton::clicked, this, [this] {
        QString data = m_dataFolder->text(), conn = m_connString->text(), name = m_storeName->text(),
                local = m_localFolder->text();
        QString number = m_storeNumber->text();
        if (!m_masterFilter->text().isEmpty())
            number += QLatin1Char('|') + m_masterFilter->text();
        m_control->ShowMasterInv(data, local, conn, name, number);
        // The control hands back the store number without the condition.
        m_storeNumber->setText(number);
    });

    // The mail methods: the window to compose in, and the unattended send a host runs at the end
    // of the day. The demo command points the data folder's mail settings at a local mail sink.
    auto *mail = new QGroupBox(QStringLiteral("E-Mail"), central);
    auto *mailForm = new QFormLayout(mail);
    m_toEmail = field(QStringLiteral("txtToEmail"), QStringLiteral("homeoffice@velmora-demo.example"), mail);
    m_subject = field(QStringLiteral("txtSubject"), QStringLiteral("End of day, store 07"), mail);
    m_message = field(QStringLiteral("txtMessagetoSend"), QStringLiteral("Today's figures are attached."), mail);
    m_attachment = field(QStringLiteral("txtFileAttach"), QString(), mail);
    m_attachment->setPlaceholderText(QStringLiteral("a file path, or several joined by |"));
    mailForm->addRow(QStringLiteral("To (unattended send):"), m_toEmail);
    mailForm->addRow(QStringLiteral("Subject:"), m_subject);
    mailForm->addRow(QStringLiteral("Message:"), m_message);
    mailForm->addRow(QStringLiteral("Attachment:"), m_attachment);
    auto *mailButtons = new QHBoxLayout;
    auto *sendEmail = new QPushButton(QStringLiteral("Compose E-Mail..."), mail);
    sendEmail->setObjectName(QStringLiteral("cmdSendEmail"));
    auto *sendEmailAuto = new QPushButton(QStringLiteral("Send E-Mail Unattended"), mail);
    sendEmailAuto->setObjectName(QStringLiteral("cmdSendEmailAuto"));
    m_mailResult = new QLabel(mail);
    m_mailResult->setObjectName(QStringLiteral("lblMailResult"));
    mailButtons->addWidget(sendEmail);
    mailButtons->addWidget(sendEmailAuto);
    mailButtons->addWidget(m_mailResult, 1);
    mailForm->addRow(mailButtons);
    layout->addWidget(mail);
    connect(sendEmail, &QPushButton::clicked, this, [this] {
        QString data = m_dataFolder->text(), local = m_localFolder->text(), name = m_storeName->text(),
                number = m_storeNumber->text(), subject = m_subject->text(), message = m_message->text(),
                attach = m_attachment->text();
        m_control->SendEmail(data, local, name, number, subject, message, attach);
    });
    connect(sendEmailAuto, &QPushButton::clicked, this, [this] {
        QString data = m_dataFolder->text(), local = m_localFolder->text(), to = m_toEmail->text(),
                name = m_storeName->text(), number = m_storeNumber->text(), subject = m_subject->text(),
                message = m_message->text(), attach = m_attachment->text();
        m_control->SendEmailAuto(data, local, to, name, number, subject, message, attach);
        // The subject variable is the host's only report of the outcome.
        m_mailResult->setText(subject == u"Success" ? QStringLiteral("Sent (the subject came back as \"Success\")")
                                                    : QStringLiteral("Not sent (the subject came back unchanged)"));
    });

    addCustomerSearch(central, layout);

    m_control = new velmora::QLrvx(central);
    m_control->setObjectName(QStringLiteral("QLrvx1"));
    auto *footer = new QHBoxLayout;
    footer->addStretch(1);
    footer->addWidget(m_control);
    layout->addLayout(footer);
    layout->addStretch(1);
    setCentralWidget(central);
}

void DemoWindow::addCustomerSearch(QWidget *parent, QLayout *layout)
{
    auto *box = new QGroupBox(QStringLiteral("Customers (double click or Enter on a customer picks the account)"),
                              parent);
    auto *grid = new QGridLayout(box);
    grid->setColumnStretch(1, 1);
    m_searchPassword = field(QStringLiteral("txtDBpassword"), QStringLiteral("velmora"), box);
    m_searchPassword->setEchoMode(QLineEdit::Password);
    m_searchPassword->setToolTip(QStringLiteral("Password of search.tmp in the local folder"));
    auto *searchButton = new QPushButton(QStringLiteral("Customer Search"), box);
    searchButton->setObjectName(QStringLiteral("cmdShowCustSearch"));
    auto *allButton = new QPushButton(QStringLiteral("All Customers"), box);
    allButton->setObjectName(QStringLiteral("cmdShowAllCustomers"));
    auto *focusButton = new QPushButton(QStringLiteral("Bring Viewer Forward"), box);
    focusButton->setObjectName(QStringLiteral("cmdCustSearchsetfocus"));
    m_pickedAccount = new QLabel(box);
    m_pickedAccount->setObjectName(QStringLiteral("lblPickedAccount"));
    m_pickedAccount->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_changeLog = new QPlainTextEdit(box);
    m_changeLog->setObjectName(QStringLiteral("txtChangeLog"));
    m_changeLog->setReadOnly(true);
    m_changeLog->setMaximumHeight(90);
    m_search = new velmora::QLCustSearch(box);
    m_search->setObjectName(QStringLiteral("QLCustSearch1"));

    grid->addWidget(searchButton, 0, 0);
    auto *password = new QHBoxLayout;
    password->addWidget(new QLabel(QStringLiteral("Search file password:"), box));
    password->addWidget(m_searchPassword, 1);
    grid->addLayout(password, 0, 1);
    grid->addWidget(allButton, 1, 0);
    grid->addWidget(new QLabel(QStringLiteral("(the store database)"), box), 1, 1);
    grid->addWidget(focusButton, 2, 0);
    auto *picked = new QHBoxLayout;
    picked->addWidget(new QLabel(QStringLiteral("Picked account:"), box));
    picked->addWidget(m_pickedAccount, 1);
    picked->addWidget(m_search);
    grid->addLayout(picked, 2, 1);
    grid->addWidget(m_changeLog, 3, 0, 1, 2);
    layout->addWidget(box);

    connect(m_search, &velmora::QLCustSearch::Change, this, [this] {
        m_pickedAccount->setText(m_search->Caption());
        m_changeLog->appendPlainText(QStringLiteral("%1  Change: Caption = \"%2\"")
                                         .arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss")),
                                              m_search->Caption()));
    });
    connect(searchButton, &QPushButton::clicked, this, [this] {
        QString data = m_dataFolder->text(), password = m_searchPassword->text(), name = m_storeName->text(),
                number = m_storeNumber->text(), local = m_localFolder->text();
        try {
            m_search->ShowCustSearch(data, password, name, number, local);
        } catch (const velmora::Error &e) {
            // The one failure the control hands to its host: the host says what went wrong.
            QMessageBox::warning(this, windowTitle(),
                                 QStringLiteral("The customer search could not be opened.\n\n%1")
                                     .arg(e.description()));
        }
    });
    connect(allButton, &QPushButton::clicked, this, [this] {
        QString data = m_dataFolder->text(), conn = m_connString->text(), name = m_storeName->text(),
                number = m_storeNumber->text(), local = m_localFolder->text();
        m_search->ShowAllCustomers(data, conn, name, number, local);
    });
    connect(focusButton, &QPushButton::clicked, m_search, &velmora::QLCustSearch::CustSearchsetfocus);
}

void DemoWindow::addReport(const QString &caption, const QString &objectName, const QString &sql,
                           std::function<void(QString &sql)> run)
{
    auto *button = new QPushButton(caption);
    button->setObjectName(objectName);
    const int row = m_reports->rowCount();
    m_reports->addWidget(button, row, 0);
    QLineEdit *query = nullptr;
    if (!sql.isEmpty()) {
        query = new QLineEdit(sql);
        query->setObjectName(objectName + QStringLiteral("SQL"));
        query->setCursorPosition(0);
        m_reports->addWidget(query, row, 1);
    } else {
        m_reports->addWidget(new QLabel(QStringLiteral("(the control's own query)")), row, 1);
    }
    connect(button, &QPushButton::clicked, this, [query, run] {
        QString text = query ? query->text() : QString();
        run(text);
    });
}
