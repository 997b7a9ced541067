#include "platform/helpwindow.h"

#include "platform/platform.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>
#include <QVBoxLayout>

namespace velmora::platform {

namespace {

QPointer<HelpWindow> g_window;
QString g_defaultFile;

bool isCompiledWindowsHelp(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(4) == "ITSF";
}

bool hasAnchor(const QTextDocument *document, const QString &anchor)
{
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().anchorNames().contains(anchor))
                return true;
        }
    }
    return false;
}

} // namespace

QString helpTopicAnchor(int topic)
{
    return QStringLiteral("topic%1").arg(topic);
}

QString resolveHelpFile(const QString &file)
{
    if (file.isEmpty())
        return {};
    const QFileInfo info(file);
    if (info.isFile())
        return info.absoluteFilePath();
    const QDir folder = info.absoluteDir();
    const QStringList entries = folder.entryList(QDir::Files | QDir::Hidden);
    for (const QString &entry : entries) {
        if (entry.compare(info.fileName(), Qt::CaseInsensitive) == 0)
            return folder.absoluteFilePath(entry);
    }
    return {};
}

HelpWindow::HelpWindow(QWidget *parent)
    : QDialog(parent)
    , m_browser(new QTextBrowser(this))
{
    setObjectName(QStringLiteral("velmoraHelp"));
    setWindowTitle(QStringLiteral("Velmora Help"));
    setModal(false);
    m_browser->setObjectName(QStringLiteral("helpBrowser"));
    m_browser->setOpenExternalLinks(true);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->setObjectName(QStringLiteral("helpButtons"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_browser);
    layout->addWidget(buttons);
    resize(720, 560);
}

void HelpWindow::showTopic(const QString &file, int topic)
{
    QUrl url = QUrl::fromLocalFile(file);
    url.setFragment(helpTopicAnchor(topic));
    if (file != m_file) {
        m_browser->clearHistory();
        m_browser->setSearchPaths({QFileInfo(file).absolutePath()});
        // The suffix says nothing about the content, so the type is given.
        m_browser->setSource(url, QTextDocument::HtmlResource);
        m_file = file;
    } else {
        m_browser->setSource(url, QTextDocument::HtmlResource);
    }
    m_topic = topic;
    const QString anchor = helpTopicAnchor(topic);
    if (hasAnchor(m_browser->document(), anchor))
        m_browser->scrollToAnchor(anchor);
    else
        m_browser->verticalScrollBar()->setValue(0);
    const QString title = m_browser->documentTitle();
    setWindowTitle(title.isEmpty() ? QStringLiteral("Velmora Help") : title);
}

HelpWindow *helpWindow()
{
    return g_window.data();
}

void showHelp(QWidget *parent, const QString &file, int topic)
{
    const QString requested = file.isEmpty() ? g_defaultFile : file;
    const QString path = resolveHelpFile(requested);
    if (path.isEmpty()) {
        messageBox(parent,
                   QStringLiteral("The help file %1 could not be found. Help is not available.")
                       .arg(requested.isEmpty() ? QStringLiteral("velmora.chm") : QDir::toNativeSeparators(requested)),
                   MsgStyle::Exclamation);
        return;
    }
    if (isCompiledWindowsHelp(path)) {
        messageBox(parent,
                   QStringLiteral("The help file %1 is a Windows compiled help file, which cannot be shown on "
                                  "this system.")
                       .arg(QDir::toNativeSeparators(path)),
                   MsgStyle::Exclamation);
        return;
    }
    // While a modal window (a message box with a Help button) is up, only its own children take
    // input, so the help window then belongs to it.
    QWidget *modal = QApplication::activeModalWidget();
    if (g_window && modal && g_window->parentWidget() != modal && g_window != modal) {
        g_window->setParent(modal, g_window->windowFlags());
    } else if (!g_window) {
        g_window = new HelpWindow(modal);
        g_window->setAttribute(Qt::WA_DeleteOnClose, false);
    }
    (void)parent;
    g_window->showTopic(path, topic);
    g_window->show();
    g_window->raise();
    g_window->activateWindow();
}

void setDefaultHelpFile(const QString &file)
{
    g_defaultFile = file;
}

QString defaultHelpFile()
{
    return g_defaultFile;
}

} // namespace velmora::platform
