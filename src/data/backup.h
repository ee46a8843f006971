#pragma once

#include "filecopy.h"
#include "storeerror.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

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

// A checked copy waiting under a temporary name beside its target, with the key file it takes
// along: the first half of backupTo. Work on another thread stages the copy; the window's thread
// gives it its name, or drops it, which removes it.
class StagedCopy final {
public:
    StagedCopy(StagedCopy &&) noexcept;
    StagedCopy &operator=(StagedCopy &&) noexcept;
    ~StagedCopy();

    // The name the copy is to take, as it was asked for.
    const QString &target() const { return m_target; }
    // Writes the key file beside the target, then gives the copy its name.
    void commit();

private:
    friend StagedCopy stageBackup(Connection &, const QString &, const SecureKey &, const filecopy::Steps *);
    StagedCopy(std::unique_ptr<filecopy::PartFile> part, QString target, QString file,
               std::optional<QByteArray> keyFile);

    std::unique_ptr<filecopy::PartFile> m_part;
    QString m_target;
    QString m_file; // the target through its links
    std::optional<QByteArray> m_keyFile;
};

// Everything backupTo does but the naming, with the same refusals; stopped by the steps.
StagedCopy stageBackup(Connection &connection, const QString &target, const SecureKey &key,
                       const filecopy::Steps *steps = nullptr);

// Refuses (StoreError) a file that does not open with its key (the program's password when the
// key is null), lacks one of the eight tables or fails the engine's integrity check.
// A check stopped by the steps raises the stop.
void verify(const QString &path, const SecureKey &key, const filecopy::Steps *steps = nullptr);
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
// The steps see every copy and check the restore makes.
QString restoreFrom(Connection &connection, const QString &backupFile, const QDateTime &now, const SecureKey &liveKey,
                    const SecureKey &restoredKey, const filecopy::Steps *steps = nullptr);
QString restoreFrom(Connection &connection, const QString &backupFile, const QDateTime &now);

// restoreFrom in two halves. The first makes the copies and checks; it changes nothing and reads
// the database through any connection to it, so it can run beside the window. The second, on the
// program's connection and with the same keys, keeps the replaced data and puts the copy in place.
// What the first made and the second did not use is removed.
class PreparedRestore final {
public:
    PreparedRestore();
    PreparedRestore(PreparedRestore &&) noexcept;
    PreparedRestore &operator=(PreparedRestore &&) noexcept;
    ~PreparedRestore();

private:
    friend PreparedRestore prepareRestore(Connection &, const QString &, const QDateTime &, const SecureKey &,
                                          const SecureKey &, const filecopy::Steps *);
    friend QString completeRestore(Connection &, PreparedRestore &, const SecureKey &, const SecureKey &,
                                   const filecopy::Steps *);

    std::unique_ptr<filecopy::PartFile> m_staged;
    std::unique_ptr<StagedCopy> m_kept;
    std::optional<QByteArray> m_liveKeys;
    std::optional<QByteArray> m_restoredKeys;
};

PreparedRestore prepareRestore(Connection &connection, const QString &backupFile, const QDateTime &now,
                               const SecureKey &liveKey, const SecureKey &restoredKey,
                               const filecopy::Steps *steps = nullptr);
QString completeRestore(Connection &connection, PreparedRestore &prepared, const SecureKey &liveKey,
                        const SecureKey &restoredKey, const filecopy::Steps *steps = nullptr);

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

// The halves of dailyBackup, for a copy made on another thread: today's copy staged unless it is
// there already, then (once it has its name) the copies beyond `keep` removed and the names left
// alone returned.
std::optional<StagedCopy> stageDailyBackup(Connection &connection, const QDate &today, const SecureKey &key,
                                           const filecopy::Steps *steps = nullptr);
QStringList pruneDailyCopies(const QString &databasePath, const QDate &today, int keep);

// The automatic copies of the database at `databasePath`, as dailyBackup names them.
QStringList dailyCopies(const QString &databasePath);

// The key file the unattended "--backup" opens a database's backup slot with:
// ~/.config/orvane/backup.key (under $XDG_CONFIG_HOME when set).
QString scheduledKeyFile();

} // namespace backup
} // namespace orv
