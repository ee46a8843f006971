#pragma once

#include <QString>

namespace orv {

class Connection;

// "Orvane --backup FILE": an online copy of the database in the current folder, without a window.
// Prints the file written and returns 0, or prints the reason and returns 1.
int runBackupCommand(const QString &file);

// Today's automatic copy in the "backups" folder beside the database, keeping the newest 14. A
// failure is told on the error output and does not stop the start.
void runDailyBackup(Connection &connection);

} // namespace orv
