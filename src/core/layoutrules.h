#pragma once

// Rules of saved column layouts that need no window: where each report kind keeps its layouts,
// under which settings name the last one is remembered, how a typed name becomes a file name,
// and the layout file format.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace velmora::layoutrules {

// The folder every kind's layout folder lives in, relative to the data folder.
inline constexpr char16_t RootFolder[] = u"Saved Report Layouts/";

// The kind's layout folder relative to the data folder, ending in "/" ("Saved Report Layouts/INV2/").
// The picker compares the kind key exactly, the viewer's open and save ignoring case; any key not
// in the table uses the root folder.
QString layoutFolder(const QString &reportKey, Qt::CaseSensitivity cs);

// The settings value name under which the layout last opened or saved for the kind is stored
// ("Last Inventory", "Last Masterinv", ...); the kind compared ignoring case.
QString savedLayoutKey(const QString &reportKey);

// The settings value name the viewer's load step reads for the kind ("Last MasterInv", ...);
// empty for the kinds that never reopen a layout (custom SQL).
QString reopenLayoutKey(const QString &reportKey);

// Folders (relative, ending in "/") the layout save makes sure of before writing.
QStringList saveFolders();
// Folders (relative, ending in "/") the layout picker makes sure of when it opens.
QStringList pickerFolders();

// The longest accepted layout file name, ".txt" included.
constexpr int MaxNameLength = 25;

// name with ".txt" appended unless its last four characters already are ".txt" in any case.
QString withTxtEnding(const QString &name);
// Each of ? \ / > < * | : ; and " becomes "_", then leading dots go.
QString cleanName(const QString &name);
bool nameTooLong(const QString &name);
// True for a directory entry the picker lists: its last three characters, lower-cased, are "txt".
bool isLayoutFileName(const QString &fileName);

// A layout file: one column caption per line, each line ended by CR LF; UTF-8.
QByteArray formatLayout(const QStringList &captions);
// The captions of a layout file, lines ended by CR LF, LF or CR; a last line without an end
// counts; a file that is not UTF-8 is read as Latin-1.
QStringList parseLayout(const QByteArray &data);

} // namespace velmora::layoutrules
