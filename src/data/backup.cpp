#include "backup.h"

#include "connection.h"
#include "privatefiles.h"
#include "statement.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryFile>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <sqlite3.h>
#include <sys/stat.h>
#include <utility>

namespace orv::backup {

namespace {

struct DbCloser {
    void operator()(sqlite3 *db) const noexcept { sqlite3_close_v2(db); }
};
using DbHandle = std::unique_ptr<sqlite3, DbCloser>;

struct BackupFinisher {
    void operator()(sqlite3_backup *job) const noexcept { sqlite3_backup_finish(job); }
};

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
        // A copy holds the residents' data: for its owner alone, whatever the umask.
        if (!QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner))
            fail(SQLITE_CANTOPEN,
                 QStringLiteral("无法在文件夹“%1”中写入文件。").arg(QDir::toNativeSeparators(dir.path())));
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

    // Gives the file its final name, replacing a file there; rename() does it in one step. A file
    // replaced leaves its mode to the copy, as if it had been written over.
    void moveTo(const QString &target)
    {
        struct stat replaced {};
        if (::stat(QFile::encodeName(target).constData(), &replaced) == 0 && S_ISREG(replaced.st_mode))
            ::chmod(QFile::encodeName(m_path).constData(), replaced.st_mode & 07777);
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
}

// Copies the database `from` into a new part file in `dir`, checked.
void writeChecked(sqlite3 *from, PartFile &part, const QString &target)
{
    {
        DbHandle to = openKeyed(part.path(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        copyPages(from, to.get(), target);
        // A copy stands alone as one file: no log kept beside it.
        char *message = nullptr;
        int rc = sqlite3_exec(to.get(), "PRAGMA journal_mode = DELETE", nullptr, nullptr, &message);
        sqlite3_free(message);
        if (rc != SQLITE_OK)
            fail(rc, QStringLiteral("无法写入“%1”（%2）。").arg(QDir::toNativeSeparators(target), engineWords(rc)));
        rc = sqlite3_close(to.release());
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

// Where a copy written to `path` lands: a symbolic link is written through to the file it names
// (a link to a removable disk fills the disk), and stays a link.
QString throughLinks(const QString &path)
{
    QString at = QFileInfo(path).absoluteFilePath();
    for (int hops = 0; hops < 40; ++hops) {
        const QFileInfo info(at);
        if (!info.isSymLink())
            return at;
        at = info.symLinkTarget();
    }
    fail(SQLITE_CANTOPEN, QStringLiteral("“%1”是一串绕回自身的符号链接。").arg(QDir::toNativeSeparators(path)));
}

} // namespace

void backupTo(Connection &connection, const QString &target)
{
    const QString live = pathOfOpen(connection);
    if (target.isEmpty())
        fail(SQLITE_MISUSE, QStringLiteral("没有指明备份文件的名字。"));
    const QString file = throughLinks(target);
    const QFileInfo targetInfo(file);
    const QString liveFile = QFileInfo(live).canonicalFilePath();
    if (targetInfo.exists() && targetInfo.canonicalFilePath() == liveFile)
        fail(SQLITE_MISUSE, QStringLiteral("备份不能写到正在使用的数据库文件本身。"));
    if (targetInfo.isDir())
        fail(SQLITE_CANTOPEN, QStringLiteral("“%1”是一个文件夹。").arg(QDir::toNativeSeparators(target)));
    // A device, pipe or socket is never replaced by a plain file.
    struct stat there {};
    if (::stat(QFile::encodeName(file).constData(), &there) == 0 && !S_ISREG(there.st_mode))
        fail(SQLITE_CANTOPEN,
             QStringLiteral("“%1”不是普通文件，备份不会替换它。").arg(QDir::toNativeSeparators(target)));
    // The engine owns the live file's journal and log: it would remove a copy put there or replay it.
    const QString named =
        QFileInfo(targetInfo.absolutePath()).canonicalFilePath() + QLatin1Char('/') + targetInfo.fileName();
    for (const QString &suffix : kLogSuffixes) {
        if (!liveFile.isEmpty() && named == liveFile + suffix)
            fail(SQLITE_MISUSE,
                 QStringLiteral("备份不能写到正在使用的数据库的日志文件“%1”。").arg(QDir::toNativeSeparators(target)));
    }
    PartFile part(targetInfo.absoluteDir(), targetInfo.fileName());
    writeChecked(connection.handle(), part, target);
    part.moveTo(file);
}

void verify(const QString &path)
{
    const QString shown = QDir::toNativeSeparators(path);
    const QFileInfo info(path);
    if (!info.isFile())
        fail(SQLITE_CANTOPEN, QStringLiteral("文件“%1”不存在。").arg(shown));
    DbHandle db = openKeyed(path, SQLITE_OPEN_READONLY);

    QStringList found;
    Statement tables(db.get(), QStringLiteral("SELECT name FROM sqlite_master WHERE type='table'"));
    int rc = tables.status();
    if (rc == SQLITE_OK) {
        while ((rc = tables.step()) == SQLITE_ROW)
            found.append(tables.text(0));
    }
    if (rc != SQLITE_DONE)
        fail(SQLITE_NOTADB, QStringLiteral("文件“%1”不是本程序的数据库，或者它的密码与本程序的不同。").arg(shown));
    tables.finalize();
    for (const QString &table : programTableNames()) {
        if (!found.contains(table))
            fail(SQLITE_NOTADB, QStringLiteral("文件“%1”中没有数据表“%2”，不是本程序的数据库。").arg(shown, table));
    }

    Statement check(db.get(), QStringLiteral("PRAGMA integrity_check"));
    rc = check.status();
    QStringList problems;
    if (rc == SQLITE_OK) {
        while ((rc = check.step()) == SQLITE_ROW)
            problems.append(check.text(0));
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

    // The chosen file is copied beside the database first and checked there: a file that only
    // reads well from where it was fails here, before anything changed, and what is restored is
    // a copy nobody else changes meanwhile.
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

    // The pages are written into the file through the open connection, in one transaction, under
    // the engine's locks: another program with the file open sees the restored data and goes on
    // writing into it, and the file keeps its name, mode and owner. Swapping the file under that
    // program instead would let it write on into the replaced one and lose its work. No set may
    // read on through statements of the replaced content.
    connection.closeRecordsets();
    {
        DbHandle from = openKeyed(staged.path(), SQLITE_OPEN_READONLY);
        copyPages(from.get(), connection.handle(), live);
    }
    connection.contentReplaced();
    return kept;
}

QString backupsFolder(const QString &databasePath)
{
    return QFileInfo(databasePath).absoluteDir().filePath(QStringLiteral("backups"));
}

DailyBackup dailyBackup(Connection &connection, const QDate &today, int keep)
{
    const QString live = pathOfOpen(connection);
    const QString folder = backupsFolder(live);
    if (!makePrivateFolders(folder))
        fail(SQLITE_CANTOPEN, QStringLiteral("无法创建备份文件夹“%1”。").arg(QDir::toNativeSeparators(folder)));
    const QString stem = QFileInfo(live).completeBaseName();
    const QDir dir(folder);
    const QString name = QStringLiteral("%1-%2.mdb").arg(stem, today.toString(QStringLiteral("yyyyMMdd")));
    DailyBackup done;
    if (!dir.exists(name)) {
        backupTo(connection, dir.filePath(name));
        done.written = dir.filePath(name);
    }

    // Only our own dated copies are counted and removed, newest date first; other files in the
    // folder stay. A name dated after today (a clock that was wrong once) or not a date at all is
    // no copy of ours to rank: it would outrank today's and have it removed.
    const QRegularExpression dated(QStringLiteral("^%1-(\\d{8})\\.mdb$").arg(QRegularExpression::escape(stem)));
    std::vector<std::pair<QDate, QString>> copies;
    for (const QString &entry : dir.entryList(QDir::Files, QDir::Name)) {
        const QRegularExpressionMatch match = dated.match(entry);
        if (!match.hasMatch())
            continue;
        const QDate date = QDate::fromString(match.captured(1), QStringLiteral("yyyyMMdd"));
        if (!date.isValid() || date > today)
            done.leftAlone.append(dir.filePath(entry));
        else
            copies.emplace_back(date, entry);
    }
    std::sort(copies.begin(), copies.end(), [](const auto &a, const auto &b) { return a.first > b.first; });
    for (size_t i = static_cast<size_t>(std::max(keep, 0)); i < copies.size(); ++i) {
        if (copies[i].second != name)
            QFile::remove(dir.filePath(copies[i].second));
    }
    return done;
}

} // namespace orv::backup
