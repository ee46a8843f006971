#pragma once

#include "storeerror.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace orv {

class Connection;

// Copies of the program's database: taken with the engine's online backup while the program runs,
// keyed with the program's password, checked by opening them again. Every failure raises
// StoreError with a reason for the user and leaves the open database as it was.
namespace backup {

// Writes a consistent copy of the open database to `target` (replacing a file of that name, whose
// mode the copy keeps; a new copy is for its owner alone). A symbolic link is written through to
// the file it names. The copy is one self-contained file; it is written under a temporary name
// beside the target and takes the name only after it has been opened and checked, so a failure
// leaves no file behind. Refuses an empty name, a target that exists and is not a plain file, and
// the open database itself with its journal and log.
void backupTo(Connection &connection, const QString &target);

// Refuses (StoreError) a file that does not open with the program's key, lacks one of the eight
// tables or fails the engine's integrity check.
void verify(const QString &path);

// Replaces the content of the open database by a checked copy of `backupFile`. The data replaced is
// first copied beside the database as "<name>-before-restore-YYYYMMDD-HHMMSS.mdb"; that path is
// returned. The content is written in place through the connection, so other programs with the
// file open see it; every recordset on the connection is closed. When anything fails nothing is
// changed.
QString restoreFrom(Connection &connection, const QString &backupFile, const QDateTime &now);

// The folder of the automatic copies: "backups" beside the database file.
QString backupsFolder(const QString &databasePath);

struct DailyBackup {
    QString written;       // the file written; empty when today's copy was there already
    QStringList leftAlone; // copies named for a day after today or for no valid day
};

// Writes today's automatic copy "<name>-YYYYMMDD.mdb" into the backups folder unless it exists,
// then removes all but the `keep` copies of the latest days up to today, ranked by the date their
// names hold. Today's copy is never removed; names dated after today or not valid dates are left
// alone and returned to be reported.
DailyBackup dailyBackup(Connection &connection, const QDate &today, int keep = 14);

} // namespace backup
} // namespace orv
