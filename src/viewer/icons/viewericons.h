#pragma once

#include <QIcon>
#include <QString>
#include <QStringList>

namespace velmora {

// The viewer's command pictures, drawn as vector shapes at whatever size and pixel ratio they are
// asked for, so they stay sharp at 16 and 24 pixels on any screen. `key` is a command key of the
// command bar ("Open", "Print", "MoveNext", ...); an unknown key gives a null icon.
QIcon viewerIcon(const QString &key);

// Every key viewerIcon draws.
QStringList viewerIconKeys();

} // namespace velmora
