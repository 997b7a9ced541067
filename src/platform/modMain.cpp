#include "platform/modMain.h"

#include "core/reportrequest.h"
#include "core/profilefile.h"
#include "platform/platform.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QWidget>

namespace velmora {

namespace {

constexpr QStringView ShellFoldersKey = u"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

QString settingsFile(bool local)
{
    const ReportRequest &r = request();
    return local ? r.LocalPath + QLatin1String("vlmoset.dat") : r.Datapath + QLatin1String("vlmfiles.dat");
}

QWidget *viewerWindow()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *w : windows) {
        if (w->objectName() == u"frmMain")
            return w;
    }
    return QApplication::activeWindow();
}

} // namespace

QString GetRegText(quint32 root, const QString &subKey, const QString &valueName, const QString &def)
{
    if (root != HKEY_CURRENT_USER_ROOT)
        return def;
    QString key = subKey;
    while (key.endsWith(u'\\'))
        key.chop(1);
    if (key.compare(ShellFoldersKey, Qt::CaseInsensitive) != 0)
        return def;

    QString folder;
    if (valueName.compare(u"Personal", Qt::CaseInsensitive) == 0)
        folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    else if (valueName.compare(u"Desktop", Qt::CaseInsensitive) == 0)
        folder = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    else
        return def;
    // The shell-folder values name a folder without a trailing separator.
    while (folder.size() > 1 && folder.endsWith(u'/'))
        folder.chop(1);
    return folder.isEmpty() ? def : folder;
}

void ShowHelpTopic(short &topic)
{
    platform::showHelp(viewerWindow(), request().LocalPath + QLatin1String("velmora.chm"), topic);
}

bool WriteIniText(QString &section, QString &key, QString &value, bool &local)
{
    ProfileFile file(settingsFile(local));
    if (key.isEmpty() && value.isEmpty())
        return file.deleteSection(section);
    if (!value.isEmpty())
        return file.writeString(section, key, value);
    return file.deleteKey(section, key);
}

QString ReadIniText(QString &section, QString &key, QString &def, bool &local)
{
    const ProfileFile file(settingsFile(local));
    if (key.isEmpty())
        return file.readSection(section, ProfileFile::SectionBufferSize);
    return file.readString(section, key, def, ProfileFile::ValueBufferSize);
}

bool FolderExists(const QString &path)
{
    QString folder = path;
    while (folder.size() > 1 && folder.endsWith(u'/'))
        folder.chop(1);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return false;
    // A folder that can be listed shows at least its "." entry; one that cannot shows nothing.
    return !QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System).isEmpty();
}

} // namespace velmora
