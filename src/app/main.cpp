#include "cdormapp.h"
#include "commandline.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    // The options are read before the window system is touched, so --help works on a terminal.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const orv::CommandLine line = orv::parseCommandLine(arguments);
    if (!line.run) {
        std::fputs(line.output.toLocal8Bit().constData(), line.exitStatus == 0 ? stdout : stderr);
        return line.exitStatus;
    }
    if (const QString problem = orv::enterWorkingDirectory(line.options, orv::installedStartPicture());
        !problem.isEmpty()) {
        std::fprintf(stderr, "%s\n", problem.toLocal8Bit().constData());
        return 2;
    }

    QApplication platform(argc, argv);
    orv::CDormApp theApp;
    return theApp.InitInstance();
}
