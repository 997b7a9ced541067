#pragma once

#include <velmora/velmora_export.h>

#include <QString>
#include <QWidget>

#include <memory>

namespace velmora {

// The customer search control a host places on one of its forms. It opens the report viewer on
// the store's customers, either as a search over the workstation's search file ("search.tmp" in
// the local folder, keyed by its password), from which the user picks one customer with a double
// click or Enter, or as the list of all customers from the store database. The picked account
// number arrives in Caption, and Change tells the host.
//
// Several controls may sit on the host's forms: the last one that called ShowCustSearch receives
// the picks; ShowAllCustomers leaves the receiver as it was. Arguments are the host's own
// variables, passed by reference.
//
// ShowCustSearch throws velmora::Error when the search cannot be loaded (search file missing,
// wrong password, a query the file cannot answer); the busy pointer is back and the splash gone
// by then. ShowAllCustomers reports a database failure to the user itself and never throws.
class VELMORA_EXPORT QLCustSearch : public QWidget {
    Q_OBJECT
    // The picked account (or what the host wrote); a runtime value, never saved with a form.
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption NOTIFY Change DESIGNABLE false STORED false)
public:
    explicit QLCustSearch(QWidget *parent = nullptr);
    ~QLCustSearch() override;

    QString Caption() const;
    void setCaption(const QString &strNewText);

    // Brings the open viewer to the front; never opens one.
    void CustSearchsetfocus();

    // The search over the local search file; LocalPath1 omitted means the file is looked up by
    // its bare name, in the process's current folder.
    void ShowCustSearch(QString &Datapath1, QString &DBpassword1, QString &Storename1, QString &StoreNumber1);
    void ShowCustSearch(QString &Datapath1, QString &DBpassword1, QString &Storename1, QString &StoreNumber1,
                        QString &LocalPath1);

    // Every customer of the store database; this list never delivers a pick.
    void ShowAllCustomers(QString &Datapath1, QString &ConnString1, QString &Storename1, QString &StoreNumber1);
    void ShowAllCustomers(QString &Datapath1, QString &ConnString1, QString &Storename1, QString &StoreNumber1,
                          QString &LocalPath1);

Q_SIGNALS:
    // Raised once for every actual change of Caption, by a pick or by the host's own write.
    void Change();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace velmora
