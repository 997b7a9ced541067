#pragma once

// Saved column layouts of the viewer: one text file per layout, one caption per line, in a folder
// per report kind under the store's data folder; the name last opened or saved for each kind is
// remembered in the per-user settings store (section "Saved Reports").

#include <QString>
#include <QStringList>

class QWidget;

namespace velmora {

class frmMain;

// Applies the layout file `name` (with ".txt", no folder) of the current report kind to the
// viewer's grid. The name becomes the kind's remembered layout before the file is looked at, so a
// missing file still becomes the remembered one; a missing file or lines naming no column change
// nothing else. Never reports a failure.
void LoadLayout(frmMain &viewer, const QString &name);

// Saves the visible columns (all but the totals column) under the current layout name, asking for
// a name through the picker when saveAs is set or there is no current name. A data folder that
// cannot be reached or a file that cannot be written ends in a message box; the previous file
// stays as it was.
void SaveLayout(frmMain &viewer, bool &saveAs);

// MNUopen / command key "Open": asks for a layout in open mode and loads it.
void OpenLayout(frmMain &viewer);

// The settings value name under which a report kind's last layout is remembered ("Last Inventory",
// "Last MasterInv", ...), the kind compared ignoring case; empty for the custom SQL kinds, which
// never reopen a layout.
QString lastLayoutSettingName(const QString &reportKey);

// The remembered layout stored under settingName in section "Saved Reports", the name matched
// ignoring letter case (the settings store itself is case-sensitive here, and the writers and
// readers of these values do not agree on case: "Last Masterinv" is written, "Last MasterInv"
// read). Empty when none.
QString rememberedLayout(const QString &settingName);

// Stores fileName under settingName in section "Saved Reports", replacing any value whose name
// differs only in letter case.
void rememberLayout(const QString &settingName, const QString &fileName);

// Makes sure the data folder exists and creates each missing folder of relativeFolders (parents
// listed first) under it. False, with the folder that failed in `failed`, when the data folder
// cannot be reached or a folder cannot be made.
bool makeLayoutFolders(const QStringList &relativeFolders, QString &failed);
// Tells the user that the layout folder `folder` cannot be reached or made.
void showLayoutFolderFailure(QWidget *parent, const QString &folder);

} // namespace velmora
