#pragma once

#include "core/result.h"
#include "data/recordtable.h"

#include <QString>

#include <memory>

namespace velmora {

// Opens the encrypted customer search file with its password and loads the rows of sql.
// A missing file, a wrong password and a failing query each come back as a Failure whose
// description the user can act on; the file is never created or changed.
Result<std::shared_ptr<RecordTable>> loadSearchFile(const QString &path, const QString &password,
                                                    const QString &sql);

} // namespace velmora
