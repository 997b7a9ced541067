#include "platform/platform.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>

namespace velmora::platform {

int messageBox(QWidget *parent, const QString &text, int style, const QString &title, const QString &helpFile,
               int helpTopic)
{
    QMessageBox box(parent);
    box.setObjectName(QStringLiteral("velmoraMessageBox"));
    box.setWindowTitle(title.isEmpty() ? QStringLiteral("Velmora") : title);
    box.setText(text);
    switch (style & 0x70) {
    case MsgStyle::Critical: box.setIcon(QMessageBox::Critical); break;
    case MsgStyle::Question: box.setIcon(QMessageBox::Question); break;
    case MsgStyle::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case MsgStyle::Information: box.setIcon(QMessageBox::Information); break;
    default: break;
    }
    QList<QAbstractButton *> order;
    switch (style & 0x7) {
    case MsgStyle::OkCancel:
        order = {box.addButton(QMessageBox::Ok), box.addButton(QMessageBox::Cancel)};
        break;
    case MsgStyle::YesNoCancel:
        order = {box.addButton(QMessageBox::Yes), box.addButton(QMessageBox::No), box.addButton(QMessageBox::Cancel)};
        break;
    case MsgStyle::YesNo:
        order = {box.addButton(QMessageBox::Yes), box.addButton(QMessageBox::No)};
        break;
    default:
        order = {box.addButton(QMessageBox::Ok)};
        break;
    }
    const int defaultIndex = (style & 0x300) >> 8;
    if (defaultIndex < order.size())
        box.setDefaultButton(qobject_cast<QPushButton *>(order.at(defaultIndex)));
    if (order.size() > 1 && (style & 0x7) != MsgStyle::YesNo)
        box.setEscapeButton(order.last());
    QPushButton *help = nullptr;
    if (style & MsgStyle::HelpButton) {
        help = box.addButton(QMessageBox::Help);
        // The Help button shows the topic without closing the box, as users of such boxes expect.
        help->disconnect();
        QObject::connect(help, &QPushButton::clicked, &box,
                         [&box, helpFile, helpTopic] { showHelp(&box, helpFile, helpTopic); });
    }

    const int answer = box.exec();
    switch (answer) {
    case QMessageBox::Ok: return MsgResult::Ok;
    case QMessageBox::Cancel: return MsgResult::Cancel;
    case QMessageBox::Yes: return MsgResult::Yes;
    case QMessageBox::No: return MsgResult::No;
    default: return (style & 0x7) == MsgStyle::YesNo ? MsgResult::No : MsgResult::Cancel;
    }
}

void setBusy(bool on)
{
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else if (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

void processEvents()
{
    QApplication::processEvents();
}

std::unique_ptr<QSettings> settings()
{
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Velmora"),
                                       QStringLiteral("Velmora"));
}

} // namespace velmora::platform
