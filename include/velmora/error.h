#pragma once

#include <velmora/velmora_export.h>

#include <QString>
#include <QStringList>
#include <stdexcept>

namespace velmora {

// The one failure that reaches a host: loading the customer search viewer (its search file missing,
// its password wrong, its query failing). Everything else is reported to the user inside the
// component and never crosses the public API.
class VELMORA_EXPORT Error : public std::runtime_error {
public:
    Error(int number, QString description, QStringList engineMessages = {});

    int number() const noexcept { return m_number; }
    const QString &description() const noexcept { return m_description; }
    // The database engine's own messages, one per entry of its status vector.
    const QStringList &engineMessages() const noexcept { return m_engineMessages; }

private:
    int m_number;
    QString m_description;
    QStringList m_engineMessages;
};

} // namespace velmora
