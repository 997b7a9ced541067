#include <velmora/qlrvx.h>

#include "control/loadviewer.h"
#include "core/reportrequest.h"
#include "core/catalogue.h"
#include "mail/EmailFRM.h"

#include <QLabel>
#include <QVBoxLayout>

namespace velmora {

struct QLrvx::Impl {
    QLabel *label = nullptr;
};

namespace {

// The request fields every report method writes, in the order it writes them.
void writeReport(const QString &key, const QString &title, const QString &sql, const QString &datapath,
                 const QString &connString, const QString &storename, const QString &storeNumber,
                 const QString &localPath)
{
    ReportRequest &r = request();
    r.ReportKey = key;
    r.ReportTitle = title;
    r.SQLstatement = sql;
    r.Datapath = datapath;
    r.ConnString = connString;
    r.Storename = storename;
    r.StoreNumber = storeNumber;
    r.LocalPath = localPath;
}

// The request fields the mail methods write, in their order; the report fields stay as they are.
void writeMail(const QString &datapath, const QString &storename, const QString &storeNumber, const QString &localPath)
{
    ReportRequest &r = request();
    r.Datapath = datapath;
    r.Storename = storename;
    r.StoreNumber = storeNumber;
    r.LocalPath = localPath;
}

} // namespace

QLrvx::QLrvx(QWidget *parent) : QWidget(parent), d(std::make_unique<Impl>())
{
    setObjectName(QStringLiteral("QLrvx"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    d->label = new QLabel(QStringLiteral("Tallybook + Email"), this);
    d->label->setObjectName(QStringLiteral("Label1"));
    layout->addWidget(d->label);
}

QLrvx::~QLrvx() = default;

void QLrvx::ShowINVReport(QString &SQLstatement1, QString &Datapath1, QString &ConnString1, QString &Storename1,
                          QString &StoreNumber1)
{
    QString noLocalPath;
    ShowINVReport(SQLstatement1, Datapath1, ConnString1, Storename1, StoreNumber1, noLocalPath);
}

void QLrvx::ShowINVReport(QString &SQLstatement1, QString &Datapath1, QString &ConnString1, QString &Storename1,
                          QString &StoreNumber1, QString &LocalPath1)
{
    writeReport(QString(), QStringLiteral("Velmora Inventory Report"), SQLstatement1, Datapath1, ConnString1,
                Storename1, StoreNumber1, LocalPath1);
    loadViewer();
}

void QLrvx::ShowDeletedInv(QString &Datapath1, QString &LocalPath1, QString &ConnString1, QString &Storename1,
                           QString &StoreNumber1)
{
    writeReport(QStringLiteral("deletedinv"), QStringLiteral("Velmora Deleted Inventory"), QString(), Datapath1,
                ConnString1, Storename1, StoreNumber1, LocalPath1);
    loadViewer();
}

void QLrvx::CustomSQL(QString &SQLstatement1, QString &Datapath1, QString &ConnString1, QString &Storename1,
                      QString &StoreNumber1)
{
    QString noLocalPath;
    CustomSQL(SQLstatement1, Datapath1, ConnString1, Storename1, StoreNumber1, noLocalPath);
}

void QLrvx::CustomSQL(QString &SQLstatement1, QString &Datapath1, QString &ConnString1, QString &Storename1,
                      QString &StoreNumber1, QString &LocalPath1)
{
    writeReport(QStringLiteral("customsql"), QStringLiteral("Velmora Custom SQL Report"), SQLstatement1, Datapath1,
                ConnString1, Storename1, StoreNumber1, LocalPath1);
    loadViewer();
}

void QLrvx::CustomSQLSecurity(QString &SQLstatement1, QString &Datapath1, QString &ConnString1, QString &Storename1,
                              QString &StoreNumber1)
{
    QString noLocalPath;
    CustomSQLSecurity(SQLstatement1, Datapath1, ConnString1, Storename1, StoreNumber1, noLocalPath);
}

void QLrvx::CustomSQLSecurity(QString &SQLstatement1, QString &Datapath1, QString &ConnString1, QString &Storename1,
                              QString &StoreNumber1, QString &LocalPath1)
{
    writeReport(QStringLiteral("customsqlsecurity"), QStringLiteral("Velmora Custom SQL Results"), SQLstatement1,
                Datapath1, ConnString1, Storename1, StoreNumber1, LocalPath1);
    loadViewer();
}

void QLrvx::ServiceReport(QString &SQLstatement1, QString &Datapath1, QString &ConnString1, QString &Storename1,
                          QString &StoreNumber1)
{
    QString noLocalPath;
    ServiceReport(SQLstatement1, Datapath1, ConnString1, Storename1, StoreNumber1, noLocalPath);
}

void QLrvx::ServiceReport(QString &SQLstatement1, QString &Datapath1, QString &ConnString1, QString &Storename1,
                          QString &StoreNumber1, QString &LocalPath1)
{
    writeReport(QStringLiteral("servicereport"), QStringLiteral("Velmora Service Report"), SQLstatement1, Datapath1,
                ConnString1, Storename1, StoreNumber1, LocalPath1);
    loadViewer();
}

void QLrvx::ProjectedReport(QString &SQLstatement1, QString &Datapath1, QString &ConnString1, QString &Storename1,
                            QString &StoreNumber1)
{
    QString noLocalPath;
    ProjectedReport(SQLstatement1, Datapath1, ConnString1, Storename1, StoreNumber1, noLocalPath);
}

void QLrvx::ProjectedReport(QString &SQLstatement1, QString &Datapath1, QString &ConnString1, QString &Storename1,
                            QString &StoreNumber1, QString &LocalPath1)
{
    writeReport(QStringLiteral("projreport"), QStringLiteral("Velmora Projected Revenue Detail"), SQLstatement1,
                Datapath1, ConnString1, Storename1, StoreNumber1, LocalPath1);
    loadViewer();
}

void QLrvx::ShowMasterInv(QString &Datapath1, QString &LocalPath1, QString &ConnString1, QString &Storename1,
                          QString &StoreNumber1)
{
    const catalogue::MasterSplit split = catalogue::splitMasterStoreNumber(StoreNumber1);
    request().MasterFilter = split.filter;
    if (split.hadSeparator)
        StoreNumber1 = split.storeNumber;
    writeReport(QStringLiteral("masterinv"), QStringLiteral("Velmora Master Company Inventory"), QString(),
                Datapath1, ConnString1, Storename1, StoreNumber1, LocalPath1);
    loadViewer();
}

// ---- Mail ----------------------------------------------------------------------------------------

void QLrvx::SendEmail(QString &Datapath1, QString &LocalPath1, QString &Storename1, QString &StoreNumber1)
{
    QString subject;
    SendEmail(Datapath1, LocalPath1, Storename1, StoreNumber1, subject);
}

void QLrvx::SendEmail(QString &Datapath1, QString &LocalPath1, QString &Storename1, QString &StoreNumber1,
                      QString &Subject)
{
    QString message;
    SendEmail(Datapath1, LocalPath1, Storename1, StoreNumber1, Subject, message);
}

void QLrvx::SendEmail(QString &Datapath1, QString &LocalPath1, QString &Storename1, QString &StoreNumber1,
                      QString &Subject, QString &MessagetoSend)
{
    QString attach;
    SendEmail(Datapath1, LocalPath1, Storename1, StoreNumber1, Subject, MessagetoSend, attach);
}

void QLrvx::SendEmail(QString &Datapath1, QString &LocalPath1, QString &Storename1, QString &StoreNumber1,
                      QString &Subject, QString &MessagetoSend, QString &FileAttach)
{
    bool deleteAfterSend = false;
    SendEmail(Datapath1, LocalPath1, Storename1, StoreNumber1, Subject, MessagetoSend, FileAttach, deleteAfterSend);
}

void QLrvx::SendEmail(QString &Datapath1, QString &LocalPath1, QString &Storename1, QString &StoreNumber1,
                      QString &Subject, QString &MessagetoSend, QString &FileAttach, bool &DeleteAfterSend)
{
    bool fromEOD = false;
    SendEmail(Datapath1, LocalPath1, Storename1, StoreNumber1, Subject, MessagetoSend, FileAttach, DeleteAfterSend,
              fromEOD);
}

void QLrvx::SendEmail(QString &Datapath1, QString &LocalPath1, QString &Storename1, QString &StoreNumber1,
                      QString &Subject, QString &MessagetoSend, QString &FileAttach, bool &DeleteAfterSend,
                      bool &FromEOD)
{
    bool deleteAll = false;
    SendEmail(Datapath1, LocalPath1, Storename1, StoreNumber1, Subject, MessagetoSend, FileAttach, DeleteAfterSend,
              FromEOD, deleteAll);
}

void QLrvx::SendEmail(QString &Datapath1, QString &LocalPath1, QString &Storename1, QString &StoreNumber1,
                      QString &Subject, QString &MessagetoSend, QString &FileAttach, bool &DeleteAfterSend,
                      bool &FromEOD, bool &DeleteAllHOfiles)
{
    writeMail(Datapath1, Storename1, StoreNumber1, LocalPath1);
    QString toEmail;
    bool autoSend = false;
    EmailFRM::instance()->StartMail(Subject, MessagetoSend, FileAttach, DeleteAfterSend, FromEOD, DeleteAllHOfiles,
                                    toEmail, autoSend);
}

void QLrvx::SendEmailAuto(QString &Datapath1, QString &LocalPath1, QString &ToEmail, QString &Storename1,
                          QString &StoreNumber1)
{
    QString subject;
    SendEmailAuto(Datapath1, LocalPath1, ToEmail, Storename1, StoreNumber1, subject);
}

void QLrvx::SendEmailAuto(QString &Datapath1, QString &LocalPath1, QString &ToEmail, QString &Storename1,
                          QString &StoreNumber1, QString &Subject)
{
    QString message;
    SendEmailAuto(Datapath1, LocalPath1, ToEmail, Storename1, StoreNumber1, Subject, message);
}

void QLrvx::SendEmailAuto(QString &Datapath1, QString &LocalPath1, QString &ToEmail, QString &Storename1,
                          QString &StoreNumber1, QString &Subject, QString &MessagetoSend)
{
    QString attach;
    SendEmailAuto(Datapath1, LocalPath1, ToEmail, Storename1, StoreNumber1, Subject, MessagetoSend, attach);
}

void QLrvx::SendEmailAuto(QString &Datapath1, QString &LocalPath1, QString &ToEmail, QString &Storename1,
                          QString &StoreNumber1, QString &Subject, QString &MessagetoSend, QString &FileAttach)
{
    bool deleteAfterSend = false;
    SendEmailAuto(Datapath1, LocalPath1, ToEmail, Storename1, StoreNumber1, Subject, MessagetoSend, FileAttach,
                  deleteAfterSend);
}

void QLrvx::SendEmailAuto(QString &Datapath1, QString &LocalPath1, QString &ToEmail, QString &Storename1,
                          QString &StoreNumber1, QString &Subject, QString &MessagetoSend, QString &FileAttach,
                          bool &DeleteAfterSend)
{
    writeMail(Datapath1, Storename1, StoreNumber1, LocalPath1);
    bool fromEOD = false;
    bool deleteAll = false;
    bool autoSend = true;
    EmailFRM::instance()->StartMail(Subject, MessagetoSend, FileAttach, DeleteAfterSend, fromEOD, deleteAll, ToEmail,
                                    autoSend);
}

} // namespace velmora
