#pragma once

#include "data/oplog.h"

#include <functional>

class QString;
class QWidget;

namespace orv {

class Connection;

// Runs one button's handler as one unit: its writes stay only when it completes. When any
// exception escapes the handler, every write of the handler is undone, the user sees
// "数据库操作失败!" with the error's message, and the program goes on. Returns true when the
// handler completed. `beforeCommit` runs last inside the outermost unit, for writes that stand or
// fall with the handler's (its log row); what it raises undoes the unit as the handler's would.
bool runUnit(QWidget *parent, Connection &connection, const std::function<void()> &handler,
             const std::function<void()> &beforeCommit = {});

// Runs an action that opens no unit of its own (a check, a backup, a read for printing). When
// any exception escapes it, the user sees `lead` with the error's message and the program goes
// on. Returns true when the action completed.
bool runGuarded(QWidget *parent, const QString &lead, const std::function<void()> &action);

// Writes the log row of what a window did outside any handler (a list exported from it) under
// `operatorName`, in a unit of its own. Returns true when it was written.
bool logInOwnUnit(QWidget *parent, Connection &connection, const QString &operatorName, oplog::Entry entry);

// The lead runUnit shows before a failure's message.
QString unitFailureLead();

} // namespace orv
