#pragma once

// The address book's entry dialog: a name (or store number) and an address, added as a new row of
// the mail window's address book or written over the row its edit mode names.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace velmora {

class EmailAB : public QDialog {
    Q_OBJECT
public:
    explicit EmailAB(QTableWidget *addressBook, QWidget *parent = nullptr);

    QLineEdit *TXTname = nullptr;
    QLineEdit *TXTemail = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;
    QLabel *EditMode = nullptr;   // hidden: "add", or "edit" and the row number ("edit 12")

    void cmdOK_Click();

private:
    QTableWidget *m_book;
};

} // namespace velmora
