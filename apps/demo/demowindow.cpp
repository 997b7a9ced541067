#include "demowindow.h"

#include <velmora/qlrvx.h>

#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
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

    m_control = new velmora::QLrvx(central);
    m_control->setObjectName(QStringLiteral("QLrvx1"));
    auto *footer = new QHBoxLayout;
    footer->addStretch(1);
    footer->addWidget(m_control);
    layout->addLayout(footer);
    layout->addStretch(1);
    setCentralWidget(central);
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
