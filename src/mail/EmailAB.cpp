#include "mail/EmailAB.h"

#include "core/mailrules.h"
#include "platform/platform.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

namespace velmora {

EmailAB::EmailAB(QTableWidget *addressBook, QWidget *parent) : QDialog(parent), m_book(addressBook)
{
    setObjectName(QStringLiteral("EmailAB"));
    setWindowTitle(QStringLiteral("E-Mail Address Book"));
    setModal(true);
    auto *grid = new QGridLayout(this);
    const char *captions[] = {"Store # or Name:", "E-Mail:"};
    for (int i = 0; i < 2; ++i) {
        auto *label = new QLabel(QString::fromLatin1(captions[i]), this);
        label->setObjectName(QStringLiteral("lblLabels(%1)").arg(i));
        grid->addWidget(label, i, 0);
    }
    TXTname = new QLineEdit(this);
    TXTname->setObjectName(QStringLiteral("TXTname"));
    TXTemail = new QLineEdit(this);
    TXTemail->setObjectName(QStringLiteral("TXTemail"));
    TXTemail->setMinimumWidth(260);
    grid->addWidget(TXTname, 0, 1);
    grid->addWidget(TXTemail, 1, 1);
    EditMode = new QLabel(QStringLiteral("add"), this);
    EditMode->setObjectName(QStringLiteral("EditMode"));
    EditMode->hide();

    auto *buttons = new QHBoxLayout;
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    grid->addLayout(buttons, 2, 0, 1, 2);
    connect(cmdOK, &QPushButton::clicked, this, &EmailAB::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void EmailAB::cmdOK_Click()
{
    const QString name = TXTname->text().trimmed();
    const QString address = TXTemail->text().trimmed();
    if (name.isEmpty() || address.isEmpty()) {
        platform::messageBox(this, QStringLiteral("Fill in name and email address."), platform::MsgStyle::Information);
        return;
    }
    int row = -1;
    const QString mode = EditMode->text();
    if (mode == u"add") {
        row = m_book->rowCount();
        m_book->setRowCount(row + 1);
    } else if (mode.startsWith(u"edit")) {
        row = mailrules::editModeRow(mode) - 1;   // rows count from 1 under the header row
    }
    if (row >= 0 && row < m_book->rowCount()) {
        m_book->setItem(row, 0, new QTableWidgetItem(name));
        m_book->setItem(row, 1, new QTableWidgetItem(address));
    }
    accept();
}

} // namespace velmora
