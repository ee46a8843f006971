#include "storeerror.h"

namespace orv {

StoreError::StoreError(std::uint32_t code, const QString &message)
    : std::runtime_error(message.toStdString()), m_code(code), m_message(message)
{
}

} // namespace orv
