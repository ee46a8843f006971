#pragma once

#include <QString>

namespace orv {

class Connection;
class SecureKey;

// "Orvane --backup FILE": an online copy of the database in the current folder, without a window.
// Prints the file written and returns 0, or prints the reason and returns 1. A database with
// operators is opened through its backup slot with the key file at `keyFile`, for this copy alone.
int runBackupCommand(const QString &file, const QString &keyFile);
int runBackupCommand(const QString &file);

// Today's automatic copy in the "backups" folder beside the database, keeping the newest 14, keyed
// with `key` for a database with operators. A failure is told on the error output and does not
// stop the start.
void runDailyBackup(Connection &connection, const SecureKey &key);

} // namespace orv
