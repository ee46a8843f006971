#pragma once

#include "storeerror.h"

#include <QDate>
#include <QDateTime>
#include <QString>

namespace orv {

class Connection;

// Copies of the program's database: taken with the engine's online backup while the program runs,
// keyed with the program's password, checked by opening them again. Every failure raises
// StoreError with a reason for the user and leaves the open database as it was.
namespace backup {

// Writes a consistent copy of the open database to `target` (replacing a file of that name). The
// copy is one self-contained file; it is written under a temporary name beside the target and
// takes the name only after it has been opened and checked, so a failure leaves no file behind.
void backupTo(Connection &connection, const QString &target);

// Refuses (StoreError) a file that does not open with the program's key, lacks one of the eight
// tables or fails the engine's integrity check.
void verify(const QString &path);

// Replaces the open database by a checked copy of `backupFile`. The data replaced is first copied
// beside the database as "<name>-before-restore-YYYYMMDD-HHMMSS.mdb"; that path is returned. The
// connection is closed (every recordset on it too) and opened again on the restored file. When the
// check fails nothing is changed.
QString restoreFrom(Connection &connection, const QString &backupFile, const QDateTime &now);

// The folder of the automatic copies: "backups" beside the database file.
QString backupsFolder(const QString &databasePath);

// Writes today's automatic copy "<name>-YYYYMMDD.mdb" into the backups folder unless it exists,
// then removes all but the newest `keep` copies. Returns the file written, or an empty string when
// today's copy was there already.
QString dailyBackup(Connection &connection, const QDate &today, int keep = 14);

} // namespace backup
} // namespace orv
