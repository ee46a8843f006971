#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace orv {

// What an operator is allowed to do is decided by the role alone (see operations/permissions.h).
enum class Role {
    Administrator, // 管理员: everything, including the operators themselves
    Attendant,     // 值班员: the desk's daily work
};

// The role's name as the key slots store it and the user reads it.
QString roleName(Role role);
// The role a stored name stands for; none for any other text.
std::optional<Role> roleFromName(const QString &name);

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

// How an action changes one of the tables.
enum class Write { Insert, Update, Delete };

struct TableWrite {
    QString table;
    Write write;
    QStringList columns; // the columns an update sets; empty for inserts and deletes
};

// Every action, in the order above.
QList<Action> everyAction();
// Whether the role may do the action at all; a 管理员 may do everything.
bool mayDo(Role role, Action action);
// The writes the action makes on the tables. Its line in the operation log is not among them:
// every operator appends to the log and none may change it.
QList<TableWrite> writesOf(Action action);
// The table of the operation log.
inline const QString kLogTable = QStringLiteral("oplog");

} // namespace orv
