#include "backupcommand.h"

#include "data/backup.h"
#include "data/connection.h"
#include "data/keyslots.h"
#include "data/pendingkeys.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <cstdio>
#include <cstring>
#include <exception>
#include <utility>

namespace orv {

int runBackupCommand(const QString &file)
{
    return runBackupCommand(file, backup::scheduledKeyFile());
}

int runBackupCommand(const QString &file, const QString &keyFile)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QString failed = QStringLiteral("备份数据库失败：");
    if (file.isEmpty()) {
        err << failed << QStringLiteral("--backup 需要一个文件名。") << Qt::endl;
        return 1;
    }
    try {
        Connection connection;
        const QString target = QFileInfo(file).absoluteFilePath();
        settlePendingKeyFiles(databaseFileName());
        const QString keysPath = KeySlots::pathFor(databaseFileName());
        if (!QFileInfo::exists(keysPath)) {
            connection.Open(programConnectionString());
            backup::backupTo(connection, target);
        } else {
            const KeySlots slots = KeySlots::load(keysPath);
            const QString shownKey = QDir::toNativeSeparators(keyFile);
            const QString advice =
                QStringLiteral("请管理员在程序的“数据”菜单中选择“定时备份密钥…”，再用它写出的密钥文件备份。");
            if (!QFileInfo::exists(keyFile)) {
                err << failed
                    << QStringLiteral("这个数据库设置了操作员，定时备份要用备份密钥文件“%1”，但没有这个文件。")
                           .arg(shownKey)
                    << advice << Qt::endl;
                return 1;
            }
            const Unlocked unlocked = slots.openWithKeyFile(keyFile);
            if (!unlocked.opened()) {
                err << failed << unlocked.refusal << advice << Qt::endl;
                return 1;
            }
            connection.openFile(databaseFileName(), unlocked.key);
            backup::backupTo(connection, target, unlocked.key);
        }
        out << QDir::toNativeSeparators(target) << Qt::endl;
        return 0;
    } catch (const StoreError &error) {
        err << failed << error.message() << Qt::endl;
        return 1;
    }
}

DailyCopy::DailyCopy(const QString &databasePath, const SecureKey &key, const QDate &today, QObject *parent)
    : QObject(parent), m_databasePath(databasePath), m_today(today),
      m_staged(std::make_shared<std::optional<backup::StagedCopy>>()),
      m_job(databasePath, key,
            [staged = m_staged, today](Connection &own, const SecureKey &ownKey, const filecopy::Steps &steps) {
                *staged = backup::stageDailyBackup(own, today, ownKey, &steps);
            })
{
    connect(&m_job, &FileJob::finished, this, &DailyCopy::ended);
}

DailyCopy::~DailyCopy()
{
    stop();
}

void DailyCopy::start()
{
    m_job.start();
}

void DailyCopy::stop()
{
    m_job.stop();
    m_job.wait();
    m_staged->reset();
}

void DailyCopy::windowShown()
{
    m_windowShown = true;
    for (const QString &line : std::as_const(m_held))
        QTextStream(stderr) << line << Qt::endl;
    m_held.clear();
}

void DailyCopy::tell(const QString &line)
{
    if (m_windowShown)
        QTextStream(stderr) << line << Qt::endl;
    else
        m_held.append(line);
}

void DailyCopy::ended()
{
    if (m_job.end() != FileJob::End::Stopped) {
        try {
            m_job.rethrow();
            if (*m_staged) {
                (*m_staged)->commit();
                m_written = (*m_staged)->target();
            }
            for (const QString &file : backup::pruneDailyCopies(m_databasePath, m_today, 14))
                tell(QStringLiteral("自动备份没有计入也不会删除“%1”：文件名中的日期在今天之后，或不是有效的日期。")
                         .arg(QDir::toNativeSeparators(file)));
        } catch (const StoreError &error) {
            tell(QStringLiteral("今天的自动备份没有完成：") + error.message());
        } catch (const std::exception &error) {
            tell(QStringLiteral("今天的自动备份没有完成：") + QString::fromLocal8Bit(error.what()));
        }
    }
    m_staged->reset();
    Q_EMIT finished();
}

} // namespace orv
