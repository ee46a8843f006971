#include "backup.h"

#include "connection.h"
#include "filecopy.h"
#include "keyslots.h"
#include "pendingkeys.h"
#include "privatefiles.h"
#include "securekey.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <algorithm>
#include <optional>
#include <sqlite3.h>
#include <sys/stat.h>
#include <utility>

namespace orv::backup {

namespace {

using filecopy::DbHandle;
using filecopy::PartFile;

[[noreturn]] void fail(int code, const QString &text)
{
    throw StoreError(static_cast<std::uint32_t>(code), text);
}

QString engineWords(int code)
{
    return QString::fromUtf8(sqlite3_errstr(code));
}

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

void verifyWith(const QString &path, const SecureKey &key, const filecopy::Steps *steps)
{
    const QString shownPath = shown(path);
    const QFileInfo info(path);
    if (!info.isFile())
        fail(SQLITE_CANTOPEN, QStringLiteral("文件“%1”不存在。").arg(shownPath));
    const DbHandle db = filecopy::openKeyed(path, SQLITE_OPEN_READONLY, key);
    const filecopy::EngineSteps asked(db.get(), steps);
    try {
        const QStringList found = filecopy::tableNames(db.get(), shownPath);
        for (const QString &table : programTableNames()) {
            if (!found.contains(table))
                fail(SQLITE_NOTADB,
                     QStringLiteral("文件“%1”中没有数据表“%2”，不是本程序的数据库。").arg(shownPath, table));
        }
        filecopy::checkIntegrity(db.get(), shownPath);
    } catch (const StoreError &) {
        // A check stopped midway says nothing about the file.
        filecopy::goOnOrStop(steps);
        throw;
    }
}

// Copies the database `from` into the part file, keyed with `key`, checked.
void writeChecked(sqlite3 *from, PartFile &part, const QString &target, const SecureKey &key,
                  const filecopy::Steps *steps)
{
    {
        DbHandle to = filecopy::openKeyed(part.path(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, key);
        filecopy::copyPages(from, to.get(), target, steps);
        // A copy stands alone as one file: no log kept beside it.
        char *message = nullptr;
        int rc = sqlite3_exec(to.get(), "PRAGMA journal_mode = DELETE", nullptr, nullptr, &message);
        sqlite3_free(message);
        if (rc != SQLITE_OK)
            fail(rc, QStringLiteral("无法写入“%1”（%2）。").arg(shown(target), engineWords(rc)));
        rc = sqlite3_close(to.release());
        if (rc != SQLITE_OK)
            fail(rc, QStringLiteral("无法写入“%1”（%2）。").arg(shown(target), engineWords(rc)));
    }
    filecopy::goOnOrStop(steps);
    verifyWith(part.path(), key, steps);
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
    fail(SQLITE_CANTOPEN, QStringLiteral("“%1”是一串绕回自身的符号链接。").arg(shown(path)));
}

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(SQLITE_CANTOPEN, QStringLiteral("密钥文件“%1”无法读取：%2").arg(shown(path), file.errorString()));
    return file.readAll();
}

void writeKeyFile(const QString &path, const QByteArray &content)
{
    if (!writePrivateFile(path, content.constData(), static_cast<std::size_t>(content.size())))
        fail(SQLITE_CANTOPEN, QStringLiteral("无法写入密钥文件“%1”。").arg(shown(path)));
}

// The key file of the open database, read whole; none for a file kept without operators. A file
// with operators is never copied under the program's password by mistake.
std::optional<QByteArray> liveKeyFile(const QString &live, const SecureKey &key)
{
    const QString keys = KeySlots::pathFor(live);
    if (key.isNull()) {
        if (QFileInfo::exists(keys))
            fail(SQLITE_MISUSE,
                 QStringLiteral("数据库“%1”设置了操作员，要有操作员登录后才能备份或恢复。").arg(shown(live)));
        return std::nullopt;
    }
    if (!QFileInfo::exists(keys))
        fail(SQLITE_CANTOPEN, QStringLiteral("数据库“%1”旁边没有它的密钥文件“%2”。").arg(shown(live), shown(keys)));
    return contentOf(keys);
}

// Puts a checked file in place of the open database by renaming it there, and opens the
// connection again on `key`. When the rename fails the database is opened again as it was.
void swapIn(Connection &connection, PartFile &staged, const QString &live, const SecureKey &liveKey,
            const SecureKey &key)
{
    connection.Close();
    try {
        staged.moveTo(live);
    } catch (...) {
        if (liveKey.isNull())
            connection.openFile(live, programPassword());
        else
            connection.openFile(live, liveKey);
        throw;
    }
    // What the engine kept beside the replaced file belongs to that file alone.
    filecopy::removeLogsOf(live);
    connection.openFile(live, key);
}

} // namespace

void backupTo(Connection &connection, const QString &target)
{
    backupTo(connection, target, SecureKey());
}

void backupTo(Connection &connection, const QString &target, const SecureKey &key)
{
    stageBackup(connection, target, key).commit();
}

StagedCopy::StagedCopy(std::unique_ptr<PartFile> part, QString target, QString file, std::optional<QByteArray> keyFile)
    : m_part(std::move(part)), m_target(std::move(target)), m_file(std::move(file)), m_keyFile(std::move(keyFile))
{
}

StagedCopy::StagedCopy(StagedCopy &&) noexcept = default;
StagedCopy &StagedCopy::operator=(StagedCopy &&) noexcept = default;
StagedCopy::~StagedCopy() = default;

void StagedCopy::commit()
{
    if (!m_part)
        return;
    // The key file first: a copy that has its name is one that can be opened.
    if (m_keyFile)
        writeKeyFile(KeySlots::pathFor(m_file), *m_keyFile);
    m_part->moveTo(m_file);
    m_part.reset();
}

StagedCopy stageBackup(Connection &connection, const QString &target, const SecureKey &key,
                       const filecopy::Steps *steps)
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
        fail(SQLITE_CANTOPEN, QStringLiteral("“%1”是一个文件夹。").arg(shown(target)));
    // A device, pipe or socket is never replaced by a plain file.
    struct stat there {};
    if (::stat(QFile::encodeName(file).constData(), &there) == 0 && !S_ISREG(there.st_mode))
        fail(SQLITE_CANTOPEN, QStringLiteral("“%1”不是普通文件，备份不会替换它。").arg(shown(target)));
    // The engine owns the live file's journal and log: it would remove a copy put there or replay it.
    const QString named =
        QFileInfo(targetInfo.absolutePath()).canonicalFilePath() + QLatin1Char('/') + targetInfo.fileName();
    for (const QString &suffix : filecopy::logSuffixes()) {
        if (!liveFile.isEmpty() && named == liveFile + suffix)
            fail(SQLITE_MISUSE, QStringLiteral("备份不能写到正在使用的数据库的日志文件“%1”。").arg(shown(target)));
    }
    std::optional<QByteArray> keys = liveKeyFile(live, key);
    if (keys && KeySlots::pathFor(file) == KeySlots::pathFor(live))
        fail(SQLITE_MISUSE,
             QStringLiteral("备份的密钥文件不能写到正在使用的密钥文件“%1”。").arg(shown(KeySlots::pathFor(live))));
    auto part = std::make_unique<PartFile>(targetInfo.absoluteDir(), targetInfo.fileName());
    writeChecked(connection.handle(), *part, target, key, steps);
    return StagedCopy(std::move(part), target, file, std::move(keys));
}

void verify(const QString &path)
{
    verify(path, SecureKey());
}

void verify(const QString &path, const SecureKey &key, const filecopy::Steps *steps)
{
    verifyWith(path, key, steps);
}

QString keyFileBeside(const QString &backupFile)
{
    return KeySlots::pathFor(throughLinks(backupFile));
}

QString restoreFrom(Connection &connection, const QString &backupFile, const QDateTime &now)
{
    return restoreFrom(connection, backupFile, now, SecureKey(), SecureKey());
}

QString restoreFrom(Connection &connection, const QString &backupFile, const QDateTime &now, const SecureKey &liveKey,
                    const SecureKey &restoredKey, const filecopy::Steps *steps)
{
    PreparedRestore prepared = prepareRestore(connection, backupFile, now, liveKey, restoredKey, steps);
    return completeRestore(connection, prepared, liveKey, restoredKey, steps);
}

PreparedRestore::PreparedRestore() = default;
PreparedRestore::PreparedRestore(PreparedRestore &&) noexcept = default;
PreparedRestore &PreparedRestore::operator=(PreparedRestore &&) noexcept = default;
PreparedRestore::~PreparedRestore() = default;

PreparedRestore prepareRestore(Connection &connection, const QString &backupFile, const QDateTime &now,
                               const SecureKey &liveKey, const SecureKey &restoredKey, const filecopy::Steps *steps)
{
    PreparedRestore prepared;
    const QString live = pathOfOpen(connection);
    const QFileInfo liveInfo(live);
    if (QFileInfo(backupFile).canonicalFilePath() == liveInfo.canonicalFilePath())
        fail(SQLITE_MISUSE, QStringLiteral("不能用正在使用的数据库文件本身来恢复。"));
    if (!liveKey.isNull() && restoredKey.isNull())
        fail(SQLITE_MISUSE, QStringLiteral("这份备份没有设置操作员，不能用它替换设置了操作员的数据库。"));
    // Refuses a database with operators restored without a key, and one whose key file is missing.
    prepared.m_liveKeys = liveKeyFile(live, liveKey);
    if (!restoredKey.isNull()) {
        const QString keys = keyFileBeside(backupFile);
        if (!QFileInfo::exists(keys))
            fail(SQLITE_CANTOPEN, QStringLiteral("备份“%1”旁边没有它的密钥文件“%2”，没有这个文件就无法恢复。"
                                                 "请把备份时一起保存的密钥文件放回备份旁边再试。")
                                      .arg(shown(backupFile), shown(keys)));
        prepared.m_restoredKeys = contentOf(keys);
    }
    verifyWith(backupFile, restoredKey, steps);

    // The chosen file is copied beside the database first and checked there: a file that only
    // reads well from where it was fails here, before anything changed, and what is restored is
    // a copy nobody else changes meanwhile.
    const QDir dir = liveInfo.absoluteDir();
    prepared.m_staged = std::make_unique<PartFile>(dir, liveInfo.fileName());
    {
        const DbHandle from = filecopy::openKeyed(backupFile, SQLITE_OPEN_READONLY, restoredKey);
        writeChecked(from.get(), *prepared.m_staged, live, restoredKey, steps);
    }

    QString kept = dir.filePath(QStringLiteral("%1-before-restore-%2.mdb")
                                    .arg(liveInfo.completeBaseName(), now.toString(QStringLiteral("yyyyMMdd-HHmmss"))));
    for (int n = 2; QFileInfo::exists(kept) || QFileInfo::exists(KeySlots::pathFor(kept)); ++n)
        kept = dir.filePath(QStringLiteral("%1-before-restore-%2-%3.mdb")
                                .arg(liveInfo.completeBaseName(), now.toString(QStringLiteral("yyyyMMdd-HHmmss")))
                                .arg(n));
    prepared.m_kept = std::make_unique<StagedCopy>(stageBackup(connection, kept, liveKey, steps));
    return prepared;
}

QString completeRestore(Connection &connection, PreparedRestore &prepared, const SecureKey &liveKey,
                        const SecureKey &restoredKey, const filecopy::Steps *steps)
{
    const QString live = pathOfOpen(connection);
    if (!prepared.m_staged || !prepared.m_kept)
        fail(SQLITE_MISUSE, QStringLiteral("没有准备好的备份。"));
    prepared.m_kept->commit();
    QString kept = prepared.m_kept->target();
    PartFile &staged = *prepared.m_staged;
    const std::optional<QByteArray> &restoredKeys = prepared.m_restoredKeys;

    const QString liveKeysPath = KeySlots::pathFor(live);
    if (!restoredKey.equals(liveKey)) {
        // The backup's key file is written first and waits for its file to be renamed into place:
        // the file and the key file beside it always belong together, even if the program stops
        // between the two.
        PendingKeyFile pending(live, staged.path());
        writeKeyFile(pending.path(), *restoredKeys);
        swapIn(connection, staged, live, liveKey, restoredKey);
        pending.putInPlace();
        return kept;
    }

    // The pages are written into the file through the open connection, in one transaction, under
    // the engine's locks: another program with the file open sees the restored data and goes on
    // writing into it, and the file keeps its name, mode and owner. Swapping the file under that
    // program instead would let it write on into the replaced one and lose its work. No set may
    // read on through statements of the replaced content.
    connection.closeRecordsets();
    {
        const DbHandle from = filecopy::openKeyed(staged.path(), SQLITE_OPEN_READONLY, restoredKey);
        filecopy::copyPages(from.get(), connection.handle(), live, steps);
    }
    connection.contentReplaced();
    // Under the same key the operators of the backup come back with its data.
    if (restoredKeys)
        writeKeyFile(liveKeysPath, *restoredKeys);
    return kept;
}

QString backupsFolder(const QString &databasePath)
{
    return QFileInfo(databasePath).absoluteDir().filePath(QStringLiteral("backups"));
}

namespace {

QRegularExpression dailyName(const QString &stem)
{
    return QRegularExpression(QStringLiteral("^%1-(\\d{8})\\.mdb$").arg(QRegularExpression::escape(stem)));
}

// Today's copy of the database at `databasePath`: "<name>-YYYYMMDD.mdb".
QString dailyCopyName(const QString &databasePath, const QDate &today)
{
    return QStringLiteral("%1-%2.mdb")
        .arg(QFileInfo(databasePath).completeBaseName(), today.toString(QStringLiteral("yyyyMMdd")));
}

} // namespace

QStringList dailyCopies(const QString &databasePath)
{
    const QDir dir(backupsFolder(databasePath));
    const QRegularExpression dated = dailyName(QFileInfo(databasePath).completeBaseName());
    QStringList copies;
    for (const QString &entry : dir.entryList(QDir::Files, QDir::Name)) {
        if (dated.match(entry).hasMatch())
            copies.append(dir.filePath(entry));
    }
    return copies;
}

DailyBackup dailyBackup(Connection &connection, const QDate &today, int keep)
{
    return dailyBackup(connection, today, keep, SecureKey());
}

DailyBackup dailyBackup(Connection &connection, const QDate &today, int keep, const SecureKey &key)
{
    DailyBackup done;
    if (std::optional<StagedCopy> staged = stageDailyBackup(connection, today, key)) {
        staged->commit();
        done.written = staged->target();
    }
    done.leftAlone = pruneDailyCopies(connection.filePath(), today, keep);
    return done;
}

std::optional<StagedCopy> stageDailyBackup(Connection &connection, const QDate &today, const SecureKey &key,
                                           const filecopy::Steps *steps)
{
    const QString live = pathOfOpen(connection);
    const QString folder = backupsFolder(live);
    if (!makePrivateFolders(folder))
        fail(SQLITE_CANTOPEN, QStringLiteral("无法创建备份文件夹“%1”。").arg(shown(folder)));
    const QDir dir(folder);
    const QString name = dailyCopyName(live, today);
    if (dir.exists(name))
        return std::nullopt;
    return stageBackup(connection, dir.filePath(name), key, steps);
}

QStringList pruneDailyCopies(const QString &databasePath, const QDate &today, int keep)
{
    // Only our own dated copies are counted and removed, newest date first; other files in the
    // folder stay. A name dated after today (a clock that was wrong once) or not a date at all is
    // no copy of ours to rank: it would outrank today's and have it removed.
    const QDir dir(backupsFolder(databasePath));
    const QString name = dailyCopyName(databasePath, today);
    const QRegularExpression dated = dailyName(QFileInfo(databasePath).completeBaseName());
    QStringList leftAlone;
    std::vector<std::pair<QDate, QString>> copies;
    for (const QString &entry : dir.entryList(QDir::Files, QDir::Name)) {
        const QRegularExpressionMatch match = dated.match(entry);
        if (!match.hasMatch())
            continue;
        const QDate date = QDate::fromString(match.captured(1), QStringLiteral("yyyyMMdd"));
        if (!date.isValid() || date > today)
            leftAlone.append(dir.filePath(entry));
        else
            copies.emplace_back(date, entry);
    }
    std::sort(copies.begin(), copies.end(), [](const auto &a, const auto &b) { return a.first > b.first; });
    for (size_t i = static_cast<size_t>(std::max(keep, 0)); i < copies.size(); ++i) {
        if (copies[i].second == name)
            continue;
        QFile::remove(dir.filePath(copies[i].second));
        QFile::remove(KeySlots::pathFor(dir.filePath(copies[i].second)));
    }
    return leftAlone;
}

QString scheduledKeyFile()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("orvane/backup.key"));
}

} // namespace orv::backup
