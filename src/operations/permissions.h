#pragma once

#include "data/roles.h"

#include <QList>
#include <QString>

namespace orv::ops {

// Everything the program lets an operator do that a role may allow or forbid; who may do what is
// data/roles.h's table, which a server's grants are made from as well.
using Action = orv::Action;

// Every action, in the order above.
QList<Action> allActions();
// The action's name as the menus and the operation log say it: 入住, 设置费用标准, ...
QString actionName(Action action);
bool isAllowed(Role role, Action action);
// Why the action's button is off for the role, for its tooltip; empty when the role may do it.
QString refusalTip(Role role, Action action);

} // namespace orv::ops
