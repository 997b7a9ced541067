#pragma once

// The small routines every window of the component shares: a registry-style text lookup, help
// topics, the two settings files and a folder test.

#include <QString>

namespace velmora {

// The root key value callers pass for the current user's part of the store.
constexpr quint32 HKEY_CURRENT_USER_ROOT = 0x80000001u;

// A text value by root, sub-key and value name, or def. This platform has no registry: the
// current user's shell-folder values "Personal" and "Desktop" (sub-key
// "Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders") are the user's documents
// and desktop folders; anything else gives def.
QString GetRegText(quint32 root, const QString &subKey, const QString &valueName, const QString &def);

// Opens topic `topic` of the help file LocalPath + "velmora.chm" over the viewer window.
void ShowHelpTopic(short &topic);

// Writes key=value into section of the local ("vlmoset.dat" in LocalPath, local true) or shared
// ("vlmfiles.dat" in Datapath, local false) settings file. An empty value deletes the key; an
// empty key and value delete the whole section. True when the file was saved (atomically).
bool WriteIniText(QString &section, QString &key, QString &value, bool &local);

// Reads key of section from the local or shared settings file (at most 254 characters), def when
// there is none. An empty key reads the whole section as entries "key=value", each followed by a
// character 0 (at most 31998 characters in all).
QString ReadIniText(QString &section, QString &key, QString &def, bool &local);

// True when path names a folder that can be listed; a trailing separator makes no difference.
bool FolderExists(const QString &path);

} // namespace velmora
