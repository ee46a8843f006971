#include "backup.h"

#include "connection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryFile>

#include <cstdio>
#include <memory>
#include <sqlite3.h>

namespace orv::backup {

namespace {

struct DbCloser {
    void operator()(sqlite3 *db) const noexcept { sqlite3_close_v2(db); }
};
using DbHandle = std::unique_ptr<sqlite3, DbCloser>;

struct BackupFinisher {
    void operator()(sqlite3_backup *job) const noexcept { sqlite3_backup_finish(job); }
};

struct StatementFinalizer {
    void operator()(sqlite3_stmt *statement) const noexcept { sqlite3_finalize(statement); }
};
using StatementHandle = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

const QStringList kLogSuffixes = {QStringLiteral("-wal"), QStringLiteral("-shm"), QStringLiteral("-journal")};

[[noreturn]] void fail(int code, const QString &text)
{
    throw StoreError(static_cast<std::uint32_t>(code), text);
}

QString engineWords(int code)
{
    return QString::fromUtf8(sqlite3_errstr(code));
}

void removeLogsOf(const QString &path)
{
    for (const QString &suffix : kLogSuffixes)
        QFile::remove(path + suffix);
}

// A file being written under a temporary name: removed with its logs unless it was kept.
class PartFile final {
public:
    PartFile(const QDir &dir, const QString &stem)
    {
        QTemporaryFile reserve(dir.filePath(QStringLiteral(".%1.XXXXXX.part").arg(stem)));
        reserve.setAutoRemove(false);
        if (!reserve.open())
            fail(SQLITE_CANTOPEN, QStringLiteral("无法在文件夹“%1”中写入文件：%2")
                                      .arg(QDir::toNativeSeparators(dir.path()), reserve.errorString()));
        m_path = reserve.fileName();
    }
    ~PartFile()
    {
        if (m_path.isEmpty())
            return;
        QFile::remove(m_path);
        removeLogsOf(m_path);
    }
    PartFile(const PartFile &) = delete;
    PartFile &operator=(const PartFile &) = delete;

    const QString &path() const { return m_path; }

    // Gives the file its final name, replacing a file there; rename() does it in one step.
    void moveTo(const QString &target)
    {
        if (std::rename(QFile::encodeName(m_path).constData(), QFile::encodeName(target).constData()) != 0)
            fail(SQLITE_CANTOPEN, QStringLiteral("无法把文件写成“%1”。").arg(QDir::toNativeSeparators(target)));
        m_path.clear();
    }

private:
    QString m_path;
};

DbHandle openKeyed(const QString &path, int flags)
{
    sqlite3 *raw = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &raw, flags, nullptr);
    DbHandle db(raw);
    if (rc != SQLITE_OK)
        fail(rc, QStringLiteral("文件“%1”无法打开（%2）。").arg(QDir::toNativeSeparators(path), engineWords(rc)));
    const QByteArray key = programPassword().toUtf8();
    sqlite3_key(raw, key.constData(), static_cast<int>(key.size()));
    return db;
}

// Copies every page of `from` into `to`; both are keyed alike, which is what the cipher needs.
void copyPages(sqlite3 *from, sqlite3 *to, const QString &target)
{
    int rc = SQLITE_OK;
    {
        std::unique_ptr<sqlite3_backup, BackupFinisher> job(sqlite3_backup_init(to, "main", from, "main"));
        if (!job)
            fail(sqlite3_errcode(to),
                 QStringLiteral("无法开始备份到“%1”（%2）。")
                     .arg(QDir::toNativeSeparators(target), QString::fromUtf8(sqlite3_errmsg(to))));
        // One step copies the whole file under one read lock; a busy file is tried again for a while.
        for (int tries = 0; tries < 100; ++tries) {
            rc = sqlite3_backup_step(job.get(), -1);
            if (rc != SQLITE_BUSY && rc != SQLITE_LOCKED)
                break;
            sqlite3_sleep(50);
        }
    }
    if (rc != SQLITE_DONE)
        fail(rc, QStringLiteral("无法写入“%1”（%2）。").arg(QDir::toNativeSeparators(target), engineWords(rc)));
    // A copy stands alone as one file: no log kept beside it.
    char *message = nullptr;
    rc = sqlite3_exec(to, "PRAGMA journal_mode = DELETE", nullptr, nullptr, &message);
    sqlite3_free(message);
    if (rc != SQLITE_OK)
        fail(rc, QStringLiteral("无法写入“%1”（%2）。").arg(QDir::toNativeSeparators(target), engineWords(rc)));
}

// Copies the database `from` into a new part file in `dir`, checked.
void writeChecked(sqlite3 *from, PartFile &part, const QString &target)
{
    {
        DbHandle to = openKeyed(part.path(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        copyPages(from, to.get(), target);
        const int rc = sqlite3_close(to.release());
        if (rc != SQLITE_OK)
            fail(rc, QStringLiteral("无法写入“%1”（%2）。").arg(QDir::toNativeSeparators(target), engineWords(rc)));
    }
    verify(part.path());
}

QString pathOfOpen(Connection &connection)
{
    if (!connection.isOpen())
        fail(SQLITE_MISUSE, QStringLiteral("没有打开的数据库。"));
    if (connection.inUnit())
        fail(SQLITE_BUSY, QStringLiteral("数据库正在写入，请稍后再试。"));
    return connection.filePath();
}

} // namespace

void backupTo(Connection &connection, const QString &target)
{
    const QString live = pathOfOpen(connection);
    const QFileInfo targetInfo(target);
    if (targetInfo.exists() && targetInfo.canonicalFilePath() == QFileInfo(live).canonicalFilePath())
        fail(SQLITE_MISUSE, QStringLiteral("备份不能写到正在使用的数据库文件本身。"));
    if (targetInfo.isDir())
        fail(SQLITE_CANTOPEN, QStringLiteral("“%1”是一个文件夹。").arg(QDir::toNativeSeparators(target)));
    PartFile part(targetInfo.absoluteDir(), targetInfo.fileName());
    writeChecked(connection.handle(), part, target);
    part.moveTo(target);
}

void verify(const QString &path)
{
    const QString shown = QDir::toNativeSeparators(path);
    const QFileInfo info(path);
    if (!info.isFile())
        fail(SQLITE_CANTOPEN, QStringLiteral("文件“%1”不存在。").arg(shown));
    DbHandle db = openKeyed(path, SQLITE_OPEN_READONLY);

    QStringList found;
    sqlite3_stmt *raw = nullptr;
    int rc = sqlite3_prepare_v2(db.get(), "SELECT name FROM sqlite_master WHERE type='table'", -1, &raw, nullptr);
    StatementHandle tables(raw);
    if (rc == SQLITE_OK) {
        while ((rc = sqlite3_step(raw)) == SQLITE_ROW)
            found.append(QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(raw, 0))));
    }
    if (rc != SQLITE_DONE)
        fail(SQLITE_NOTADB, QStringLiteral("文件“%1”不是本程序的数据库，或者它的密码与本程序的不同。").arg(shown));
    tables.reset();
    for (const QString &table : programTableNames()) {
        if (!found.contains(table))
            fail(SQLITE_NOTADB, QStringLiteral("文件“%1”中没有数据表“%2”，不是本程序的数据库。").arg(shown, table));
    }

    rc = sqlite3_prepare_v2(db.get(), "PRAGMA integrity_check", -1, &raw, nullptr);
    StatementHandle check(raw);
    QStringList problems;
    if (rc == SQLITE_OK) {
        while ((rc = sqlite3_step(raw)) == SQLITE_ROW)
            problems.append(QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(raw, 0))));
    }
    if (rc != SQLITE_DONE)
        problems.append(QString::fromUtf8(sqlite3_errmsg(db.get())));
    if (problems != QStringList{QStringLiteral("ok")})
        fail(SQLITE_CORRUPT, QStringLiteral("文件“%1”已经损坏，完整性检查没有通过（%2）。")
                                 .arg(shown, problems.mid(0, 3).join(QStringLiteral("；"))));
}

QString restoreFrom(Connection &connection, const QString &backupFile, const QDateTime &now)
{
    const QString live = pathOfOpen(connection);
    const QFileInfo liveInfo(live);
    if (QFileInfo(backupFile).canonicalFilePath() == liveInfo.canonicalFilePath())
        fail(SQLITE_MISUSE, QStringLiteral("不能用正在使用的数据库文件本身来恢复。"));
    verify(backupFile);

    // The chosen file is copied beside the database first: the swap below is then a rename on one
    // disk, and a file that only reads well from where it was fails here, before anything changed.
    const QDir dir = liveInfo.absoluteDir();
    PartFile staged(dir, liveInfo.fileName());
    {
        DbHandle from = openKeyed(backupFile, SQLITE_OPEN_READONLY);
        writeChecked(from.get(), staged, live);
    }

    QString kept = dir.filePath(QStringLiteral("%1-before-restore-%2.mdb")
                                    .arg(liveInfo.completeBaseName(), now.toString(QStringLiteral("yyyyMMdd-HHmmss"))));
    for (int n = 2; QFileInfo::exists(kept); ++n)
        kept = dir.filePath(QStringLiteral("%1-before-restore-%2-%3.mdb")
                                .arg(liveInfo.completeBaseName(), now.toString(QStringLiteral("yyyyMMdd-HHmmss")))
                                .arg(n));
    backupTo(connection, kept);

    const QString connectionString = connection.connectionString();
    connection.Close();
    // After a clean close no log is left; one that is left belongs to the replaced data and would be
    // replayed into the restored file.
    removeLogsOf(live);
    try {
        staged.moveTo(live);
    } catch (const StoreError &) {
        connection.Open(connectionString); // the file was not replaced: go on with it
        throw;
    }
    try {
        connection.Open(connectionString);
    } catch (const StoreError &) {
        // The checked copy should always open; if it does not, the replaced data comes back.
        QFile::remove(live);
        removeLogsOf(live);
        QFile::copy(kept, live);
        connection.Open(connectionString);
        throw;
    }
    return kept;
}

QString backupsFolder(const QString &databasePath)
{
    return QFileInfo(databasePath).absoluteDir().filePath(QStringLiteral("backups"));
}

QString dailyBackup(Connection &connection, const QDate &today, int keep)
{
    const QString live = pathOfOpen(connection);
    const QString folder = backupsFolder(live);
    if (!QDir().mkpath(folder))
        fail(SQLITE_CANTOPEN, QStringLiteral("无法创建备份文件夹“%1”。").arg(QDir::toNativeSeparators(folder)));
    const QString stem = QFileInfo(live).completeBaseName();
    const QDir dir(folder);
    const QString name = QStringLiteral("%1-%2.mdb").arg(stem, today.toString(QStringLiteral("yyyyMMdd")));
    if (dir.exists(name))
        return QString();
    backupTo(connection, dir.filePath(name));

    // Only our own dated copies are counted and removed; other files in the folder stay.
    const QRegularExpression dated(QStringLiteral("^%1-\\d{8}\\.mdb$").arg(QRegularExpression::escape(stem)));
    QStringList copies;
    for (const QString &entry : dir.entryList(QDir::Files, QDir::Name)) {
        if (dated.match(entry).hasMatch())
            copies.append(entry);
    }
    for (int i = 0; i + keep < copies.size(); ++i)
        QFile::remove(dir.filePath(copies.at(i)));
    return dir.filePath(name);
}

} // namespace orv::backup
