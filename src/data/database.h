#pragma once

#include "core/result.h"

#include <QString>

namespace velmora {

// Creates an empty UTF8 database (dialect 3) where the connection string points: a local file
// through the embedded engine, or a path on a server. Fails when the file already exists.
Status createDatabase(const QString &connString);

} // namespace velmora
