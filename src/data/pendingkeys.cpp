#include "pendingkeys.h"

#include "keyslots.h"
#include "storeerror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

namespace orv {

namespace {

// The engine writes a random salt into the first bytes of every keyed file it makes; two files
// made apart never share it, so it names the file the waiting key file belongs to.
constexpr qint64 kSaltBytes = 16;

QString saltOf(const QString &database)
{
    QFile file(database);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray salt = file.read(kSaltBytes);
    return salt.size() == kSaltBytes ? QString::fromLatin1(salt.toHex()) : QString();
}

QString waitingName(const QString &keys, const QString &salt)
{
    return QStringLiteral("%1.%2.pending").arg(keys, salt);
}

void syncFolder(const QString &path)
{
    const int folder = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
}

} // namespace

PendingKeyFile::PendingKeyFile(const QString &database, const QString &stagedDatabase)
    : m_keys(KeySlots::pathFor(QFileInfo(database).absoluteFilePath()))
{
    const QString salt = saltOf(stagedDatabase);
    if (salt.isEmpty())
        throw StoreError(SQLITE_CANTOPEN,
                         QStringLiteral("无法读取新的数据库文件“%1”。").arg(QDir::toNativeSeparators(stagedDatabase)));
    m_path = waitingName(m_keys, salt);
}

PendingKeyFile::~PendingKeyFile()
{
    if (!m_path.isEmpty())
        QFile::remove(m_path);
}

void PendingKeyFile::putInPlace()
{
    if (std::rename(QFile::encodeName(m_path).constData(), QFile::encodeName(m_keys).constData()) != 0) {
        // Another start of the program may have put it in place first.
        if (!(errno == ENOENT && QFileInfo::exists(m_keys))) {
            // Its database is in place already: the key file waits for the next start.
            m_path.clear();
            throw StoreError(SQLITE_CANTOPEN,
                             QStringLiteral("无法写入密钥文件“%1”。").arg(QDir::toNativeSeparators(m_keys)));
        }
    }
    m_path.clear();
    syncFolder(m_keys);
}

void settlePendingKeyFiles(const QString &database)
{
    const QString keys = KeySlots::pathFor(QFileInfo(database).absoluteFilePath());
    const QString salt = saltOf(database);
    if (salt.isEmpty())
        return;
    const QString waiting = waitingName(keys, salt);
    if (!QFileInfo::exists(waiting))
        return;
    if (std::rename(QFile::encodeName(waiting).constData(), QFile::encodeName(keys).constData()) == 0)
        syncFolder(keys);
}

} // namespace orv
