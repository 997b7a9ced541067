#include <velmora/error.h>

namespace velmora {

Error::Error(int number, QString description, QStringList engineMessages)
    : std::runtime_error(description.toStdString()), m_number(number), m_description(std::move(description)),
      m_engineMessages(std::move(engineMessages))
{
}

} // namespace velmora
