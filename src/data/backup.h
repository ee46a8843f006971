#pragma once

#include "storeerror.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace orv {

class Connection;
class SecureKey;

// Copies of the program's database: taken with the engine's online backup while the program runs,
// checked by opening them again. A file kept without operators is copied keyed with the program's
// password (a null key below); a file with operators keyed with its own key, and its key file
// travels with it as "NAME.keys" beside the copy: without that file nobody could open the copy.
// Every failure raises StoreError with a reason for the user and leaves the open database as it was.
namespace backup {

// Writes a consistent copy of the open database to `target` (replacing a file of that name, whose
// mode the copy keeps; a new copy is for its owner alone). A symbolic link is written through to
// the file it names. The copy is one self-contained file; it is written under a temporary name
// beside the target and takes the name only after it has been opened and checked, so a failure
// leaves no file behind. Refuses an empty name, a target that exists and is not a plain file, and
// the open database itself with its journal and log. A keyed database's key file is written beside
// the copy before the copy takes its name.
void backupTo(Connection &connection, const QString &target, const SecureKey &key);
void backupTo(Connection &connection, const QString &target);

// Refuses (StoreError) a file that does not open with its key (the program's password when the
// key is null), lacks one of the eight tables or fails the engine's integrity check.
void verify(const QString &path, const SecureKey &key);
void verify(const QString &path);

// Where a copy's key file lies: "NAME.keys" beside the file a link names.
QString keyFileBeside(const QString &backupFile);

// Replaces the content of the open database by a checked copy of `backupFile`. The data replaced is
// first copied beside the database as "<name>-before-restore-YYYYMMDD-HHMMSS.mdb"; that path is
// returned. The content is written in place through the connection, so other programs with the
// file open see it; every recordset on the connection is closed. When anything fails nothing is
// changed.
//
// With keys: `liveKey` keys the open database (null for one without operators), `restoredKey` the
// backup, as its own key file unsealed it for a 管理员. The backup's key file then takes the place
// of the database's. A backup under another key than the open file's cannot be written through the
// connection: it takes the file's place by a rename and the connection is opened again on its key.
// A backup without operators is refused for a database that has them.
QString restoreFrom(Connection &connection, const QString &backupFile, const QDateTime &now, const SecureKey &liveKey,
                    const SecureKey &restoredKey);
QString restoreFrom(Connection &connection, const QString &backupFile, const QDateTime &now);

// The folder of the automatic copies: "backups" beside the database file.
QString backupsFolder(const QString &databasePath);

struct DailyBackup {
    QString written;       // the file written; empty when today's copy was there already
    QStringList leftAlone; // copies named for a day after today or for no valid day
};

// Writes today's automatic copy "<name>-YYYYMMDD.mdb" into the backups folder unless it exists,
// then removes all but the `keep` copies of the latest days up to today, ranked by the date their
// names hold, each with its key file. Today's copy is never removed; names dated after today or
// not valid dates are left alone and returned to be reported. `key` as for backupTo.
DailyBackup dailyBackup(Connection &connection, const QDate &today, int keep, const SecureKey &key);
DailyBackup dailyBackup(Connection &connection, const QDate &today, int keep = 14);

// The automatic copies of the database at `databasePath`, as dailyBackup names them.
QStringList dailyCopies(const QString &databasePath);

// The key file the unattended "--backup" opens a database's backup slot with:
// ~/.config/orvane/backup.key (under $XDG_CONFIG_HOME when set).
QString scheduledKeyFile();

} // namespace backup
} // namespace orv
