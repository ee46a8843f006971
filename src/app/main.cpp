#include "backupcommand.h"
#include "cdormapp.h"
#include "commandline.h"

#include <QApplication>
#include <QFileInfo>

#include <cstdio>

int main(int argc, char *argv[])
{
    // The options are read before the window system is touched, so --help and --backup work on
    // a terminal without a display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const orv::CommandLine line = orv::parseCommandLine(arguments);
    if (!line.run) {
        std::fputs(line.output.toLocal8Bit().constData(), line.exitStatus == 0 ? stdout : stderr);
        return line.exitStatus;
    }
    // A relative backup name is taken from where the command was given, not from the database's folder.
    const QString backupTarget = line.backupFile.isEmpty() ? QString() : QFileInfo(line.backupFile).absoluteFilePath();
    if (const QString problem = orv::enterWorkingDirectory(line.options, orv::installedStartPicture());
        !problem.isEmpty()) {
        std::fprintf(stderr, "%s\n", problem.toLocal8Bit().constData());
        return 2;
    }
    if (!backupTarget.isEmpty()) {
        QCoreApplication core(argc, argv);
        return orv::runBackupCommand(backupTarget);
    }

    QApplication platform(argc, argv);
    orv::CDormApp theApp;
    return theApp.InitInstance();
}
