#pragma once

#include <QMainWindow>

#include <functional>

class QGridLayout;
class QLabel;
class QLayout;
class QLineEdit;
class QPlainTextEdit;

namespace velmora {
class QLCustSearch;
class QLrvx;
}

// A store application's form in miniature: the store's details, the report control placed on the
// form, one button per report method with a query of its kind, one per mail method; below them the
// customer search control with the account picked last and a log of its Change events.
class DemoWindow : public QMainWindow {
    Q_OBJECT
public:
    struct Options {
        QString dataFolder;
        QString localFolder;
        QString database;
    };
    explicit DemoWindow(const Options &options, QWidget *parent = nullptr);

private:
    void addCustomerSearch(QWidget *parent, QLayout *layout);
    void addReport(const QString &caption, const QString &objectName, const QString &sql,
                   std::function<void(QString &sql)> run);

    velmora::QLrvx *m_control = nullptr;
    QLineEdit *m_storeName = nullptr;
    QLineEdit *m_storeNumber = nullptr;
    QLineEdit *m_dataFolder = nullptr;
    QLineEdit *m_localFolder = nullptr;
    QLineEdit *m_connString = nullptr;
    QLineEdit *m_masterFilter = nullptr;
    QGridLayout *m_reports = nullptr;
    velmora::QLCustSearch *m_search = nullptr;
    QLineEdit *m_searchPassword = nullptr;
    QLabel *m_pickedAccount = nullptr;
    QPlainTextEdit *m_changeLog = nullptr;
    QLineEdit *m_toEmail = nullptr;
    QLineEdit *m_subject = nullptr;
    QLineEdit *m_message = nullptr;
    QLineEdit *m_attachment = nullptr;
    QLabel *m_mailResult = nullptr;
};
