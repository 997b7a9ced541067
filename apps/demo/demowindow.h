#pragma once

#include <QMainWindow>

#include <functional>

class QGridLayout;
class QLineEdit;

namespace velmora {
class QLrvx;
}

// A store application's form in miniature: the store's details, the report control placed on the
// form, and one button per report method with a query of its kind.
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
};
