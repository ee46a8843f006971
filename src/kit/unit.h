#pragma once

#include <functional>

class QWidget;

namespace orv {

class Connection;

// Runs one button's handler as one unit: its writes stay only when it completes. When any
// exception escapes the handler, every write of the handler is undone, the user sees
// "数据库操作失败!" with the error's message, and the program goes on. Returns true when the
// handler completed.
bool runUnit(QWidget *parent, Connection &connection, const std::function<void()> &handler);

} // namespace orv
