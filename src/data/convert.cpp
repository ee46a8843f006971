#include "convert.h"

#include "backup.h"
#include "connection.h"
#include "filecopy.h"
#include "pendingkeys.h"
#include "statement.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <sqlite3.h>

namespace orv::convert {

namespace {

[[noreturn]] void fail(int code, const QString &text)
{
    throw StoreError(static_cast<std::uint32_t>(code), text);
}

// The new file attached to the open connection as protected_copy, under its key, while the export runs; detached
// however the export ends. The key goes in as a bound value, never as part of a statement's text.
class Attached final {
public:
    Attached(sqlite3 *db, const QString &path, const SecureKey &key) : m_db(db)
    {
        Statement attach = Statement::prepared(db, QStringLiteral("ATTACH DATABASE ?1 AS protected_copy KEY ?2"),
                                               QStringLiteral("无法创建新的数据库文件"));
        attach.bind(1, path);
        const SecureBytes text = key.engineText();
        sqlite3_bind_blob(attach.handle(), 2, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
        attach.run(QStringLiteral("无法创建新的数据库文件“%1”").arg(QDir::toNativeSeparators(path)));
        // The new file stands alone until it takes the old one's name: no log beside it.
        sqlite3_exec(db, "PRAGMA protected_copy.journal_mode = DELETE", nullptr, nullptr, nullptr);
    }
    ~Attached() { sqlite3_exec(m_db, "DETACH DATABASE protected_copy", nullptr, nullptr, nullptr); }
    Attached(const Attached &) = delete;
    Attached &operator=(const Attached &) = delete;

private:
    sqlite3 *m_db;
};

qint64 rowCount(sqlite3 *db, const QString &table)
{
    QString quoted = table;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    Statement count = Statement::prepared(db, QStringLiteral("SELECT count(*) FROM \"%1\"").arg(quoted),
                                          QStringLiteral("无法读取数据表“%1”").arg(table));
    count.next(QStringLiteral("无法读取数据表“%1”").arg(table));
    return sqlite3_column_int64(count.handle(), 0);
}

// The new file holds what the old one holds: the same tables with as many rows each, and passes
// the engine's integrity check.
void checkCopy(sqlite3 *old, const QString &path, const SecureKey &key)
{
    const QString shown = QDir::toNativeSeparators(path);
    const filecopy::DbHandle copy = filecopy::openKeyed(path, SQLITE_OPEN_READONLY, key);
    QStringList before = filecopy::tableNames(old, QStringLiteral("OrvDb"));
    QStringList after = filecopy::tableNames(copy.get(), shown);
    before.sort();
    after.sort();
    if (before != after)
        fail(SQLITE_CORRUPT, QStringLiteral("新的数据库文件中的数据表与原来的不同。"));
    for (const QString &table : std::as_const(before)) {
        if (rowCount(old, table) != rowCount(copy.get(), table))
            fail(SQLITE_CORRUPT, QStringLiteral("新的数据库文件中数据表“%1”的行数与原来的不同。").arg(table));
    }
    filecopy::checkIntegrity(copy.get(), shown);
}

// The copies the program made of the file while it had no operators: each holds the residents'
// data under the password every copy of the program knows.
QStringList unprotectedCopies(const QString &databasePath)
{
    QStringList copies = backup::dailyCopies(databasePath);
    const QFileInfo database(databasePath);
    const QRegularExpression kept(QStringLiteral("^%1-before-restore-[0-9-]+\\.mdb$")
                                      .arg(QRegularExpression::escape(database.completeBaseName())));
    const QDir dir = database.absoluteDir();
    for (const QString &entry : dir.entryList(QDir::Files, QDir::Name)) {
        if (kept.match(entry).hasMatch())
            copies.append(dir.filePath(entry));
    }
    return copies;
}

} // namespace

Protected protectDatabase(Connection &connection, const QString &name, const QString &password, PasswordCost cost,
                          const std::function<void(const QString &)> &checked)
{
    if (!connection.isOpen())
        fail(SQLITE_MISUSE, QStringLiteral("没有打开的数据库。"));
    if (connection.inUnit())
        fail(SQLITE_BUSY, QStringLiteral("数据库正在写入，请稍后再试。"));
    const QString live = QFileInfo(connection.filePath()).absoluteFilePath();
    const QString keysPath = KeySlots::pathFor(live);
    const auto refuseKeyFileThere = [&keysPath] {
        if (QFileInfo::exists(keysPath) || QFileInfo(keysPath).isSymLink())
            fail(SQLITE_CANTOPEN,
                 QStringLiteral("密钥文件“%1”已经存在，不会覆盖它。").arg(QDir::toNativeSeparators(keysPath)));
    };
    refuseKeyFileThere();

    SecureKey key = SecureKey::random();
    const QFileInfo liveInfo(live);
    filecopy::PartFile part(liveInfo.absoluteDir(), liveInfo.fileName());
    // No set may go on reading through the connection while the file changes under it.
    connection.closeRecordsets();
    {
        const Attached attached(connection.handle(), part.path(), key);
        Statement exported =
            Statement::prepared(connection.handle(), QStringLiteral("SELECT sqlcipher_export('protected_copy')"),
                                QStringLiteral("无法把数据写入新的数据库文件"));
        exported.next(QStringLiteral("无法把数据写入新的数据库文件"));
    }
    checkCopy(connection.handle(), part.path(), key);
    if (checked)
        checked(part.path());

    // The key file is written before the file it opens is renamed into place, and waits until
    // then: should the program stop between the two, the next start finds the old file with no key
    // file beside it, or the new file with its key file.
    PendingKeyFile pending(live, part.path());
    KeySlots::create(pending.path(), key, name, password, cost);
    // Whatever took the key file's name meanwhile would stop it from following the new file.
    refuseKeyFileThere();
    connection.Close();
    try {
        part.moveTo(live);
    } catch (...) {
        connection.openFile(live, programPassword());
        throw;
    }
    pending.putInPlace();
    filecopy::removeLogsOf(live);
    Protected done{KeySlots::load(keysPath), SecureKey(), unprotectedCopies(live)};
    for (const QString &copy : std::as_const(done.removed)) {
        QFile::remove(copy);
        filecopy::removeLogsOf(copy);
    }
    connection.openFile(live, key);
    done.key = std::move(key);
    return done;
}

} // namespace orv::convert
