#include "filecopy.h"

#include "connection.h"
#include "securekey.h"
#include "statement.h"
#include "storeerror.h"

#include <QFile>
#include <QTemporaryFile>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <sqlite3.h>
#include <sys/stat.h>

namespace orv::filecopy {

namespace {

struct BackupFinisher {
    void operator()(sqlite3_backup *job) const noexcept { sqlite3_backup_finish(job); }
};

[[noreturn]] void fail(int code, const QString &text)
{
    throw StoreError(static_cast<std::uint32_t>(code), text);
}

QString engineWords(int code)
{
    return QString::fromUtf8(sqlite3_errstr(code));
}

// About a megabyte a step: a stop is heard within a fraction of a second, and a large file still
// reports in a few hundred steps.
constexpr int kBytesPerStep = 1 << 20;

int pagesPerStep(sqlite3 *db)
{
    Statement size(db, QStringLiteral("PRAGMA page_size"));
    const qint64 bytes = size.status() == SQLITE_OK && size.step() == SQLITE_ROW ? size.integer(0) : 0;
    return bytes > 0 ? static_cast<int>(std::max<qint64>(1, kBytesPerStep / bytes)) : 256;
}

bool inLogMode(sqlite3 *db)
{
    Statement mode(db, QStringLiteral("PRAGMA journal_mode"));
    return mode.status() == SQLITE_OK && mode.step() == SQLITE_ROW &&
           mode.text(0).compare(QLatin1String("wal"), Qt::CaseInsensitive) == 0;
}

// Holds one read of a source in log mode across the steps of a copy: its pages all come from one
// moment while the program's writes go on into the log, where any write between two steps would
// otherwise start the copy over. A source with the rollback journal is left alone: a read held
// there would stop every write until the copy ends.
class HeldRead final {
public:
    explicit HeldRead(sqlite3 *db)
    {
        if (!sqlite3_get_autocommit(db) || !inLogMode(db))
            return;
        if (sqlite3_exec(db, "BEGIN; SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr) == SQLITE_OK)
            m_db = db;
        else if (!sqlite3_get_autocommit(db))
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    ~HeldRead()
    {
        if (m_db)
            sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
    }
    HeldRead(const HeldRead &) = delete;
    HeldRead &operator=(const HeldRead &) = delete;

private:
    sqlite3 *m_db = nullptr;
};

int askSteps(void *steps) noexcept
{
    try {
        const auto *asked = static_cast<const Steps *>(steps);
        return asked->goOn() ? 0 : 1;
    } catch (...) {
        return 1;
    }
}

} // namespace

void goOnOrStop(const Steps *steps)
{
    if (steps && steps->goOn && !steps->goOn())
        fail(SQLITE_INTERRUPT, QStringLiteral("已停止。"));
}

bool isStop(const StoreError &error)
{
    return (error.code() & 0xff) == SQLITE_INTERRUPT;
}

EngineSteps::EngineSteps(sqlite3 *db, const Steps *steps)
{
    if (!db || !steps || !steps->goOn)
        return;
    m_db = db;
    sqlite3_progress_handler(db, 4000, &askSteps, const_cast<Steps *>(steps));
}

EngineSteps::~EngineSteps()
{
    if (m_db)
        sqlite3_progress_handler(m_db, 0, nullptr, nullptr);
}

void DbCloser::operator()(sqlite3 *db) const noexcept
{
    sqlite3_close_v2(db);
}

const QStringList &logSuffixes()
{
    static const QStringList suffixes = {QStringLiteral("-wal"), QStringLiteral("-shm"), QStringLiteral("-journal")};
    return suffixes;
}

void removeLogsOf(const QString &path)
{
    for (const QString &suffix : logSuffixes())
        QFile::remove(path + suffix);
}

DbHandle openKeyed(const QString &path, int flags, const SecureKey &key)
{
    sqlite3 *raw = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &raw, flags, nullptr);
    DbHandle db(raw);
    if (rc != SQLITE_OK)
        fail(rc, QStringLiteral("文件“%1”无法打开（%2）。").arg(QDir::toNativeSeparators(path), engineWords(rc)));
    if (key.isNull()) {
        const QByteArray password = programPassword().toUtf8();
        sqlite3_key(raw, password.constData(), static_cast<int>(password.size()));
    } else {
        const SecureBytes text = key.engineText();
        sqlite3_key(raw, text.data(), static_cast<int>(text.size()));
    }
    return db;
}

void copyPages(sqlite3 *from, sqlite3 *to, const QString &target, const Steps *steps)
{
    int rc = SQLITE_OK;
    {
        std::optional<HeldRead> held;
        if (steps)
            held.emplace(from);
        // Without steps one step copies the whole file under one read lock.
        const int pages = steps ? pagesPerStep(from) : -1;
        std::unique_ptr<sqlite3_backup, BackupFinisher> job(sqlite3_backup_init(to, "main", from, "main"));
        if (!job)
            fail(sqlite3_errcode(to),
                 QStringLiteral("无法开始备份到“%1”（%2）。")
                     .arg(QDir::toNativeSeparators(target), QString::fromUtf8(sqlite3_errmsg(to))));
        // A busy file is tried again for a while.
        for (int busy = 0; busy < 100;) {
            goOnOrStop(steps);
            rc = sqlite3_backup_step(job.get(), pages);
            if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
                ++busy;
                sqlite3_sleep(50);
                continue;
            }
            if (rc != SQLITE_OK && rc != SQLITE_DONE)
                break;
            busy = 0;
            if (steps && steps->report) {
                const int total = sqlite3_backup_pagecount(job.get());
                steps->report(total - sqlite3_backup_remaining(job.get()), total);
            }
            if (rc == SQLITE_DONE)
                break;
        }
    }
    if (rc != SQLITE_DONE)
        fail(rc, QStringLiteral("无法写入“%1”（%2）。").arg(QDir::toNativeSeparators(target), engineWords(rc)));
}

PartFile::PartFile(const QDir &dir, const QString &stem)
{
    QTemporaryFile reserve(dir.filePath(QStringLiteral(".%1.XXXXXX.part").arg(stem)));
    reserve.setAutoRemove(false);
    if (!reserve.open())
        fail(SQLITE_CANTOPEN, QStringLiteral("无法在文件夹“%1”中写入文件：%2")
                                  .arg(QDir::toNativeSeparators(dir.path()), reserve.errorString()));
    m_path = reserve.fileName();
    // A copy holds the residents' data: for its owner alone, whatever the umask.
    if (!QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner))
        fail(SQLITE_CANTOPEN, QStringLiteral("无法在文件夹“%1”中写入文件。").arg(QDir::toNativeSeparators(dir.path())));
}

PartFile::~PartFile()
{
    if (m_path.isEmpty())
        return;
    QFile::remove(m_path);
    removeLogsOf(m_path);
}

void PartFile::moveTo(const QString &target)
{
    struct stat replaced {};
    if (::stat(QFile::encodeName(target).constData(), &replaced) == 0 && S_ISREG(replaced.st_mode))
        ::chmod(QFile::encodeName(m_path).constData(), replaced.st_mode & 07777);
    if (std::rename(QFile::encodeName(m_path).constData(), QFile::encodeName(target).constData()) != 0)
        fail(SQLITE_CANTOPEN, QStringLiteral("无法把文件写成“%1”。").arg(QDir::toNativeSeparators(target)));
    m_path.clear();
}

QStringList tableNames(sqlite3 *db, const QString &shown)
{
    QStringList found;
    Statement tables(db, QStringLiteral("SELECT name FROM sqlite_master WHERE type='table'"));
    int rc = tables.status();
    if (rc == SQLITE_OK) {
        while ((rc = tables.step()) == SQLITE_ROW)
            found.append(tables.text(0));
    }
    if (rc != SQLITE_DONE)
        fail(SQLITE_NOTADB, QStringLiteral("文件“%1”不是本程序的数据库，或者它的密码与本程序的不同。").arg(shown));
    return found;
}

void checkIntegrity(sqlite3 *db, const QString &shown)
{
    Statement check(db, QStringLiteral("PRAGMA integrity_check"));
    int rc = check.status();
    QStringList problems;
    if (rc == SQLITE_OK) {
        while ((rc = check.step()) == SQLITE_ROW)
            problems.append(check.text(0));
    }
    if (rc != SQLITE_DONE)
        problems.append(QString::fromUtf8(sqlite3_errmsg(db)));
    if (problems != QStringList{QStringLiteral("ok")})
        fail(SQLITE_CORRUPT, QStringLiteral("文件“%1”已经损坏，完整性检查没有通过（%2）。")
                                 .arg(shown, problems.mid(0, 3).join(QStringLiteral("；"))));
}

} // namespace orv::filecopy
