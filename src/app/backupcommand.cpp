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

int runBackupCommandIfAsked(int argc, char *argv[])
{
    QString file;
    QString directory;
    bool asked = false;
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        const char *next = i + 1 < argc ? argv[i + 1] : nullptr;
        if (std::strcmp(arg, "--backup") == 0) {
            asked = true;
            file = next ? QFile::decodeName(next) : QString();
            ++i;
        } else if (std::strncmp(arg, "--backup=", 9) == 0) {
            asked = true;
            file = QFile::decodeName(arg + 9);
        } else if ((std::strcmp(arg, "--directory") == 0 || std::strcmp(arg, "-C") == 0) && next) {
            directory = QFile::decodeName(next);
            ++i;
        } else if (std::strncmp(arg, "--directory=", 12) == 0) {
            directory = QFile::decodeName(arg + 12);
        }
    }
    if (!asked)
        return -1;
    QCoreApplication core(argc, argv);
    // A relative backup name is taken from where the command was given, not from the database's folder.
    const QString target = file.isEmpty() ? file : QFileInfo(file).absoluteFilePath();
    if (!directory.isEmpty() && !QDir::setCurrent(directory)) {
        QTextStream(stderr) << QStringLiteral("无法进入文件夹“%1”。").arg(directory) << Qt::endl;
        return 1;
    }
    return runBackupCommand(target);
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
