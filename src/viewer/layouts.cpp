#include "viewer/layouts.h"

#include "platform/modMain.h"
#include "core/profilefile.h"
#include "core/reportrequest.h"
#include "core/layoutrules.h"
#include "grid/reportgrid.h"
#include "platform/platform.h"
#include "viewer/FileDLG.h"
#include "viewer/frmMain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace velmora {

namespace {

const QString SettingsSection = QStringLiteral("Saved Reports");
const QString TotalsCaption = QStringLiteral("Drag Columns Here to Group");

QString layoutCaption(const QString &name)
{
    return QStringLiteral("Velmora Results... Layout: ") + name;
}

GridColumn *columnNamed(const ReportGrid &grid, const QString &text)
{
    if (text.isEmpty())
        return nullptr;
    if (GridColumn *column = grid.columnByKey(text))
        return column;
    // Columns added by code have no field name; their caption is what a layout records.
    for (int i = 1; i <= grid.columnCount(); ++i) {
        GridColumn *column = grid.column(i);
        if (column && column->caption() == text)
            return column;
    }
    return nullptr;
}

// Writes data to path through a temporary file, so a failure leaves the previous file as it was.
bool writeWhole(const QString &path, const QByteArray &data, QString &error)
{
    error = replaceFileContents(path, data);
    return error.isEmpty();
}

} // namespace

QString lastLayoutSettingName(const QString &reportKey)
{
    return layoutrules::reopenLayoutKey(reportKey);
}

QString rememberedLayout(const QString &settingName)
{
    if (settingName.isEmpty())
        return {};
    auto settings = platform::settings();
    settings->beginGroup(SettingsSection);
    const QStringList keys = settings->childKeys();
    for (const QString &key : keys) {
        if (key.compare(settingName, Qt::CaseInsensitive) == 0)
            return settings->value(key).toString();
    }
    return {};
}

void rememberLayout(const QString &settingName, const QString &fileName)
{
    if (settingName.isEmpty())
        return;
    auto settings = platform::settings();
    settings->beginGroup(SettingsSection);
    const QStringList keys = settings->childKeys();
    for (const QString &key : keys) {
        if (key.compare(settingName, Qt::CaseInsensitive) == 0 && key != settingName)
            settings->remove(key);
    }
    settings->setValue(settingName, fileName);
    settings->endGroup();
    settings->sync();
}

bool makeLayoutFolders(const QStringList &relativeFolders, QString &failed)
{
    const QString data = request().Datapath;
    if (data.isEmpty() || !FolderExists(data)) {
        failed = data.isEmpty() ? layoutrules::layoutFolder({}, Qt::CaseSensitive) : data;
        return false;
    }
    for (const QString &relative : relativeFolders) {
        const QString folder = data + relative;
        if (FolderExists(folder))
            continue;
        if (!QDir().mkdir(folder) && !FolderExists(folder)) {
            failed = folder;
            return false;
        }
    }
    return true;
}

void showLayoutFolderFailure(QWidget *parent, const QString &folder)
{
    platform::messageBox(parent,
                         QStringLiteral("The folder for saved report layouts cannot be reached or created:\n%1\n\n"
                                        "Check that the store's data folder is available and that you may "
                                        "write into it.")
                             .arg(QDir::toNativeSeparators(folder)),
                         platform::MsgStyle::Exclamation);
}

void LoadLayout(frmMain &viewer, const QString &name)
{
    const QString key = request().ReportKey;
    const QString path = request().Datapath + layoutrules::layoutFolder(key, Qt::CaseInsensitive) + name;
    // Remembered before the file is looked at: a layout that is gone stays the kind's layout.
    rememberLayout(layoutrules::savedLayoutKey(key), name);

    if (name.isEmpty() || !QFileInfo(path).isFile())
        return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QStringList lines = layoutrules::parseLayout(file.readAll());
    file.close();

    ReportGrid *grid = viewer.Jgrid;
    if (grid) {
        const bool redraw = grid->redraw();
        grid->setRedraw(false);
        const int count = grid->columnCount();
        for (int i = 1; i <= count; ++i) {
            if (GridColumn *column = grid->column(i))
                column->setVisible(false);
        }
        // Line n gives position n, so a line naming no column leaves its position to a hidden one.
        for (int n = 1; n <= int(lines.size()); ++n) {
            GridColumn *column = columnNamed(*grid, lines.at(n - 1));
            if (!column)
                continue;
            column->setVisible(true);
            column->setPosition(std::min(n, count));
        }
        grid->setRedraw(redraw);
    }
    request().LayoutName = name;
    viewer.setWindowTitle(layoutCaption(name));
}

void SaveLayout(frmMain &viewer, bool &saveAs)
{
    const QString key = request().ReportKey;
    const QString kindFolder = layoutrules::layoutFolder(key, Qt::CaseInsensitive);
    // The kind's own folder too: a layout named earlier may be saved before the picker ever made it.
    QStringList folders = layoutrules::saveFolders();
    if (!folders.contains(kindFolder))
        folders.append(kindFolder);
    QString failed;
    if (!makeLayoutFolders(folders, failed)) {
        showLayoutFolderFailure(&viewer, failed);
        return;
    }

    if (request().LayoutName.isEmpty())
        saveAs = true;
    QString name = request().LayoutName;
    if (saveAs) {
        name = FileDLG::GetSaveFile(false, &viewer);
        if (name.isEmpty())
            return;
    }

    QStringList captions;
    if (const ReportGrid *grid = viewer.Jgrid) {
        const int count = grid->columnCount();
        for (int position = 1; position <= count; ++position) {
            const GridColumn *column = grid->columnAtPosition(position);
            if (!column || column->caption() == TotalsCaption)
                continue;
            if (column->visible())
                captions.append(column->caption());
        }
    }

    const QString path = request().Datapath + kindFolder + name;
    QString error;
    if (!writeWhole(path, layoutrules::formatLayout(captions), error)) {
        platform::messageBox(&viewer,
                             QStringLiteral("The layout %1 could not be saved:\n%2\n\n%3")
                                 .arg(name, QDir::toNativeSeparators(path), error),
                             platform::MsgStyle::Exclamation);
        return;
    }
    request().LayoutName = name;
    viewer.setWindowTitle(layoutCaption(name));
    rememberLayout(layoutrules::savedLayoutKey(key), name);
}

void OpenLayout(frmMain &viewer)
{
    const QString name = FileDLG::GetSaveFile(true, &viewer);
    if (!name.isEmpty())
        LoadLayout(viewer, name);
}

} // namespace velmora
