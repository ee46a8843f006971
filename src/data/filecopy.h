#pragma once

#include <QDir>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

struct sqlite3;

namespace orv {

class SecureKey;
class StoreError;

// What copies, restores and conversions of a database file share: engine handles of their own
// beside the program's connection, files written under a temporary name, and the logs beside a
// file. Every failure raises StoreError with a reason for the user.
namespace filecopy {

struct DbCloser {
    void operator()(sqlite3 *db) const noexcept;
};
using DbHandle = std::unique_ptr<sqlite3, DbCloser>;

// How long work on a file tells how far it came and learns whether to go on. `goOn` is asked
// between the steps of a copy and every few thousand instructions of the engine's own checks;
// false stops the work with the stop below. `report` gets the pages of a copy done so far and
// their total. Either may be empty; no steps at all copy in one go, as a scheduled copy does.
struct Steps {
    std::function<void(qint64 done, qint64 total)> report;
    std::function<bool()> goOn;
};

// Raises the stop (StoreError with SQLITE_INTERRUPT) when the steps say not to go on.
void goOnOrStop(const Steps *steps);
// Whether the error is that stop: the work was asked to end, nothing failed.
bool isStop(const StoreError &error);

// While it lives, the engine's statements on `db` ask the steps whether to go on and end with
// SQLITE_INTERRUPT when not, so a long integrity check stops when asked. Nothing without steps.
class EngineSteps final {
public:
    EngineSteps(sqlite3 *db, const Steps *steps);
    ~EngineSteps();
    EngineSteps(const EngineSteps &) = delete;
    EngineSteps &operator=(const EngineSteps &) = delete;

private:
    sqlite3 *m_db = nullptr;
};

// The engine's journal and log beside a database file.
const QStringList &logSuffixes();
void removeLogsOf(const QString &path);

// Opens `path` with the engine, keyed with `key`, or with the program's password when the key is
// null. A wrong key shows only at the first read.
DbHandle openKeyed(const QString &path, int flags, const SecureKey &key);

// Copies every page of `from` into `to`; both are keyed alike, which is what the cipher needs.
// With steps the copy goes a megabyte at a time, reporting and asking between steps; a source in
// log mode is read as of the first step while other connections go on writing.
void copyPages(sqlite3 *from, sqlite3 *to, const QString &target, const Steps *steps = nullptr);

// A file being written under a temporary name in `dir`, for its owner alone: removed with its logs
// unless it was moved to its final name.
class PartFile final {
public:
    PartFile(const QDir &dir, const QString &stem);
    ~PartFile();
    PartFile(const PartFile &) = delete;
    PartFile &operator=(const PartFile &) = delete;

    const QString &path() const { return m_path; }

    // Gives the file its final name, replacing a file there in one step. A file replaced leaves
    // its mode to the new one, as if it had been written over.
    void moveTo(const QString &target);

private:
    QString m_path;
};

// The names of the file's tables; raises StoreError naming `shown` when the file does not read
// with its key.
QStringList tableNames(sqlite3 *db, const QString &shown);

// Raises StoreError when the engine's integrity check of the file finds anything.
void checkIntegrity(sqlite3 *db, const QString &shown);

} // namespace filecopy
} // namespace orv
