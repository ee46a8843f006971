#include "backupcommand.h"

#include "data/backup.h"
#include "data/connection.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <cstdio>
#include <cstring>

namespace orv {

int runBackupCommand(const QString &file)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (file.isEmpty()) {
        err << QStringLiteral("--backup 需要一个文件名。") << Qt::endl;
        return 2;
    }
    try {
        Connection connection;
        connection.Open(programConnectionString());
        const QString target = QFileInfo(file).absoluteFilePath();
        backup::backupTo(connection, target);
        out << QDir::toNativeSeparators(target) << Qt::endl;
        return 0;
    } catch (const StoreError &error) {
        err << QStringLiteral("备份数据库失败：") << error.message() << Qt::endl;
        return 1;
    }
}

void runDailyBackup(Connection &connection)
{
    try {
        backup::dailyBackup(connection, QDate::currentDate());
    } catch (const StoreError &error) {
        QTextStream(stderr) << QStringLiteral("今天的自动备份没有完成：") << error.message() << Qt::endl;
    }
}

} // namespace orv
