#include "outcome.h"

#include <utility>

namespace orv::ops {

Outcome Outcome::refused(const QString &message)
{
    Outcome outcome;
    outcome.message = message;
    return outcome;
}

Outcome Outcome::doneWith(QStringList changed, const QString &message)
{
    Outcome outcome;
    outcome.done = true;
    outcome.message = message;
    outcome.changed = std::move(changed);
    return outcome;
}

Outcome &Outcome::logged(Action action, const QString &target, const QString &detail)
{
    log.action = actionName(action);
    log.target = target;
    log.detail = detail;
    return *this;
}

} // namespace orv::ops
