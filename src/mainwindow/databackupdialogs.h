#pragma once

#include <QString>

class QWidget;

namespace orv {

class Connection;

// "备份数据库…": asks where, then writes a checked copy of the open database there. Returns the
// backup's path, or empty when none was written.
QString backupDatabaseInteractively(QWidget *parent, Connection &connection);

// "恢复数据库…": asks for a backup, checks it, asks the user to confirm, then puts it in place of the
// open database. Returns true when the database was replaced (the caller clears what it shows).
bool restoreDatabaseInteractively(QWidget *parent, Connection &connection);

} // namespace orv
