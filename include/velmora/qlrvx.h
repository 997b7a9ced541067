#pragma once

#include <velmora/velmora_export.h>

#include <QString>
#include <QWidget>

#include <memory>

namespace velmora {

// The report control a host places on one of its forms. Each report method fills the component's
// report request with the report's kind, title, query and the store's details, and opens the
// report viewer behind a "please wait" splash. Arguments are the host's own variables: the
// control may write back into them (ShowMasterInv shortens the store number).
//
// The viewer opens once; while it is open a further call only changes the request and brings the
// open viewer to the front. Database failures are reported to the user inside the viewer; no
// method throws.
class VELMORA_EXPORT QLrvx : public QWidget {
    Q_OBJECT
public:
    explicit QLrvx(QWidget *parent = nullptr);
    ~QLrvx() override;

    // Inventory report over the host's query.
    void ShowINVReport(QString &SQLstatement1, QString &Datapath1, QString &ConnString1, QString &Storename1,
                       QString &StoreNumber1);
    void ShowINVReport(QString &SQLstatement1, QString &Datapath1, QString &ConnString1, QString &Storename1,
                       QString &StoreNumber1, QString &LocalPath1);

    // Deleted inventory: the component's own query; its rows may be deleted for good.
    void ShowDeletedInv(QString &Datapath1, QString &LocalPath1, QString &ConnString1, QString &Storename1,
                        QString &StoreNumber1);

    // Any query, read only, totals chosen from the result's field types.
    void CustomSQL(QString &SQLstatement1, QString &Datapath1, QString &ConnString1, QString &Storename1,
                   QString &StoreNumber1);
    void CustomSQL(QString &SQLstatement1, QString &Datapath1, QString &ConnString1, QString &Storename1,
                   QString &StoreNumber1, QString &LocalPath1);

    // Any query, editable unless it starts with "readonly" (which is dropped before it runs).
    void CustomSQLSecurity(QString &SQLstatement1, QString &Datapath1, QString &ConnString1, QString &Storename1,
                           QString &StoreNumber1);
    void CustomSQLSecurity(QString &SQLstatement1, QString &Datapath1, QString &ConnString1, QString &Storename1,
                           QString &StoreNumber1, QString &LocalPath1);

    void ServiceReport(QString &SQLstatement1, QString &Datapath1, QString &ConnString1, QString &Storename1,
                       QString &StoreNumber1);
    void ServiceReport(QString &SQLstatement1, QString &Datapath1, QString &ConnString1, QString &Storename1,
                       QString &StoreNumber1, QString &LocalPath1);

    void ProjectedReport(QString &SQLstatement1, QString &Datapath1, QString &ConnString1, QString &Storename1,
                         QString &StoreNumber1);
    void ProjectedReport(QString &SQLstatement1, QString &Datapath1, QString &ConnString1, QString &Storename1,
                         QString &StoreNumber1, QString &LocalPath1);

    // Stock of every other store. StoreNumber1 may carry an extra condition after a "|"
    // ("12|category = 'TV'"): the condition narrows the report and StoreNumber1 comes back as
    // the part before the "|".
    void ShowMasterInv(QString &Datapath1, QString &LocalPath1, QString &ConnString1, QString &Storename1,
                       QString &StoreNumber1);

    // Opens the mail window for the user to compose and send a message, filled with what is
    // given; the optional tail may be left off from the end. With FromEOD the call returns only
    // when the window has closed. After a send, DeleteAfterSend deletes the attachment and
    // DeleteAllHOfiles also empties the "HomeOffice" folder of the data folder. A message of the
    // form "~~address~~<html...>" sends the HTML to that address and comes back in MessagetoSend
    // without its "~~address~~" part. Neither method changes the report kind or title.
    void SendEmail(QString &Datapath1, QString &LocalPath1, QString &Storename1, QString &StoreNumber1);
    void SendEmail(QString &Datapath1, QString &LocalPath1, QString &Storename1, QString &StoreNumber1,
                   QString &Subject);
    void SendEmail(QString &Datapath1, QString &LocalPath1, QString &Storename1, QString &StoreNumber1,
                   QString &Subject, QString &MessagetoSend);
    void SendEmail(QString &Datapath1, QString &LocalPath1, QString &Storename1, QString &StoreNumber1,
                   QString &Subject, QString &MessagetoSend, QString &FileAttach);
    void SendEmail(QString &Datapath1, QString &LocalPath1, QString &Storename1, QString &StoreNumber1,
                   QString &Subject, QString &MessagetoSend, QString &FileAttach, bool &DeleteAfterSend);
    void SendEmail(QString &Datapath1, QString &LocalPath1, QString &Storename1, QString &StoreNumber1,
                   QString &Subject, QString &MessagetoSend, QString &FileAttach, bool &DeleteAfterSend,
                   bool &FromEOD);
    void SendEmail(QString &Datapath1, QString &LocalPath1, QString &Storename1, QString &StoreNumber1,
                   QString &Subject, QString &MessagetoSend, QString &FileAttach, bool &DeleteAfterSend,
                   bool &FromEOD, bool &DeleteAllHOfiles);

    // Sends without asking anything, through the mail settings stored in the data folder, and
    // returns when the send has ended. Subject becomes "Success" after a send and is left as it
    // was otherwise: it is the one report of the outcome.
    void SendEmailAuto(QString &Datapath1, QString &LocalPath1, QString &ToEmail, QString &Storename1,
                       QString &StoreNumber1);
    void SendEmailAuto(QString &Datapath1, QString &LocalPath1, QString &ToEmail, QString &Storename1,
                       QString &StoreNumber1, QString &Subject);
    void SendEmailAuto(QString &Datapath1, QString &LocalPath1, QString &ToEmail, QString &Storename1,
                       QString &StoreNumber1, QString &Subject, QString &MessagetoSend);
    void SendEmailAuto(QString &Datapath1, QString &LocalPath1, QString &ToEmail, QString &Storename1,
                       QString &StoreNumber1, QString &Subject, QString &MessagetoSend, QString &FileAttach);
    void SendEmailAuto(QString &Datapath1, QString &LocalPath1, QString &ToEmail, QString &Storename1,
                       QString &StoreNumber1, QString &Subject, QString &MessagetoSend, QString &FileAttach,
                       bool &DeleteAfterSend);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace velmora
