#pragma once

#include "data/roles.h"

#include <QList>
#include <QString>

namespace orv::ops {

// Everything the program lets an operator do that a role may allow or forbid.
enum class Action {
    CheckIn,
    CheckOut,
    BatchCheckIn,
    Query,
    SettleUtilities,
    BatchReadings,
    SettleRent,
    Export,
    Print,
    Backup,
    CheckDatabase,
    ChangeOwnPassword,
    SetFeeStandard,
    AddRoom,
    ModifyRoom,
    DeleteRoom,
    RestoreDatabase,
    ManageOperators,
};

// Every action, in the order above.
QList<Action> allActions();
// The action's name as the menus and the operation log say it: 入住, 设置费用标准, ...
QString actionName(Action action);
bool isAllowed(Role role, Action action);
// Why the action's button is off for the role, for its tooltip; empty when the role may do it.
QString refusalTip(Role role, Action action);

} // namespace orv::ops
