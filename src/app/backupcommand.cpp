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
        err << QStringLiteral("备份数据库失败：--backup 需要一个文件名。") << Qt::endl;
        return 1;
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
        const backup::DailyBackup done = backup::dailyBackup(connection, QDate::currentDate());
        for (const QString &file : done.leftAlone)
            QTextStream(stderr) << QStringLiteral(
                                       "自动备份没有计入也不会删除“%1”：文件名中的日期在今天之后，或不是有效的日期。")
                                       .arg(QDir::toNativeSeparators(file))
                                << Qt::endl;
    } catch (const StoreError &error) {
        QTextStream(stderr) << QStringLiteral("今天的自动备份没有完成：") << error.message() << Qt::endl;
    }
}

} // namespace orv
