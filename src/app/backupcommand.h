#pragma once

#include "data/backup.h"
#include "data/filejob.h"

#include <QDate>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace orv {

class SecureKey;

// "Orvane --backup FILE": an online copy of the database in the current folder, without a window.
// Prints the file written and returns 0, or prints the reason and returns 1. A database with
// operators is opened through its backup slot with the key file at `keyFile`, for this copy alone.
int runBackupCommand(const QString &file, const QString &keyFile);
int runBackupCommand(const QString &file);

// Today's automatic copy in the "backups" folder beside the database, keeping the newest 14, keyed
// with `key` for a database with operators (see backup::dailyBackup). Made beside the window on a
// connection and a thread of its own; it gets its name on the window's thread, so a copy stopped
// first never has it. What it has to tell goes to the error output, but not before the window is up.
class DailyCopy final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DailyCopy)
public:
    DailyCopy(const QString &databasePath, const SecureKey &key, const QDate &today, QObject *parent = nullptr);
    ~DailyCopy() override;

    void start();
    // Stops the copy and waits for its thread; a copy not named yet is removed. Nothing is told.
    void stop();
    // The window is up: what was held back is told now, the rest as it comes.
    void windowShown();
    // The copy written once finished; empty when there was one already, or it failed or stopped.
    const QString &written() const { return m_written; }

Q_SIGNALS:
    // The copy got its name, failed or stopped.
    void finished();

private:
    void ended();
    void tell(const QString &line);

    QString m_databasePath;
    QDate m_today;
    // Filled on the copy's thread, named or dropped on this object's.
    std::shared_ptr<std::optional<backup::StagedCopy>> m_staged;
    FileJob m_job;
    QStringList m_held;
    bool m_windowShown = false;
    QString m_written;
};

} // namespace orv
