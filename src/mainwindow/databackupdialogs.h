#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace orv {

class Connection;
namespace ops {
class Desk;
}

// "备份数据库…": asks where, then writes a checked copy of the open database there, keyed with the
// desk's key and with its key file beside it when the file has operators. Returns the backup's
// path, or empty when none was written.
QString backupDatabaseInteractively(QWidget *parent, Connection &connection, const ops::Desk *desk = nullptr);

// "恢复数据库…": asks for a backup, checks it, asks the user to confirm, then puts it in place of the
// open database. A backup with operators is opened for one of its 管理员 first, and the desk is
// signed in as that 管理员 afterwards, on the restored key file. Returns true when the database
// was replaced (the caller clears what it shows and tells the window of the desk).
// `beforeReplacing` runs once the user has confirmed, before anything is copied.
bool restoreDatabaseInteractively(QWidget *parent, Connection &connection, ops::Desk *desk = nullptr,
                                  const std::function<void()> &beforeReplacing = {});

// "定时备份密钥…": writes the key file of the unattended backup and the backup slot it opens, and
// shows where it is and the command to schedule.
void createBackupKeyInteractively(QWidget *parent, Connection &connection, ops::Desk &desk);

} // namespace orv
