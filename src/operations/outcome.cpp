#include "outcome.h"

#include <utility>

namespace orv::ops {

Outcome Outcome::refused(const QString &message)
{
    return Outcome{false, message, {}};
}

Outcome Outcome::doneWith(QStringList changed, const QString &message)
{
    return Outcome{true, message, std::move(changed)};
}

} // namespace orv::ops
