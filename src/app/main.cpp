#include "backupcommand.h"
#include "cdormapp.h"
#include "commandline.h"
#include "importcommand.h"
#include "migratecommand.h"
#include "operations/accommodation.h"
#include "operations/fees.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <cstdio>

namespace {

// The office's rules a batch runs per row, for the command line and the data menu alike: the same
// operations the check-in form and the utility settlement run.
orv::ops::BatchOperations batchOperations()
{
    return {orv::ops::checkInOperation(orv::ops::checkIn), orv::ops::readingOperation(orv::ops::settleUtility)};
}

} // namespace

int main(int argc, char *argv[])
{
    // The options are read before the window system is touched, so --help and --backup work on
    // a terminal without a display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        // A name that is not valid text would be changed on the way in and name another file.
        const QByteArray raw(argv[i]);
        arguments.append(QFile::decodeName(raw));
        if (QFile::encodeName(arguments.last()) != raw) {
            std::fprintf(stderr, "orvane: 参数“%s”不是有效的 UTF-8 文本，不能原样作为文件名使用。\n", argv[i]);
            return 2;
        }
    }
    const orv::CommandLine line = orv::parseCommandLine(arguments);
    if (!line.run) {
        std::fputs(line.output.toLocal8Bit().constData(), line.exitStatus == 0 ? stdout : stderr);
        return line.exitStatus;
    }
    // A relative backup name is taken from where the command was given, not from the database's folder.
    const QString backupTarget = line.backupFile.isEmpty() ? QString() : QFileInfo(line.backupFile).absoluteFilePath();
    const QString importSource = line.importFile.isEmpty() ? QString() : QFileInfo(line.importFile).absoluteFilePath();
    if (!line.migrateFrom.isEmpty()) {
        QCoreApplication core(argc, argv);
        QTextStream out(stdout);
        QTextStream err(stderr);
        const orv::CommandOperator who{line.operatorName,
                                       [&line] { return orv::passwordFromStandardInput(line.operatorName); }};
        return orv::runMigrateFromCommand(line.migrateFrom, line.migrateFile, out, err,
                                          line.operatorName.isEmpty() ? orv::CommandOperator{} : who);
    }
    if (const QString problem = orv::enterWorkingDirectory(line.options); !problem.isEmpty()) {
        std::fprintf(stderr, "%s\n", problem.toLocal8Bit().constData());
        return 2;
    }
    if (!backupTarget.isEmpty() && !line.serverUri.isEmpty()) {
        // A server's backup is a file of the program's own made from it, which a --migrate-to puts
        // back; the server's own tools copy the server.
        QCoreApplication core(argc, argv);
        QTextStream out(stdout);
        QTextStream err(stderr);
        return orv::runMigrateFromCommand(line.serverUri, backupTarget, out, err);
    }
    if (!backupTarget.isEmpty()) {
        QCoreApplication core(argc, argv);
        return orv::runBackupCommand(backupTarget);
    }
    if (!importSource.isEmpty()) {
        QCoreApplication core(argc, argv);
        QTextStream out(stdout);
        QTextStream err(stderr);
        const orv::CommandOperator who{line.operatorName,
                                       [&line] { return orv::passwordFromStandardInput(line.operatorName); }};
        return orv::runImportCommand(line.importKind, importSource, line.checkOnly, batchOperations(), out, err, who,
                                     line.serverUri);
    }

    if (!line.migrateTo.isEmpty()) {
        QCoreApplication core(argc, argv);
        QTextStream out(stdout);
        QTextStream err(stderr);
        const orv::CommandOperator who{line.operatorName,
                                       [&line] { return orv::passwordFromStandardInput(line.operatorName); }};
        return orv::runMigrateToCommand(line.migrateTo, out, err, who);
    }

    QApplication platform(argc, argv);
    orv::CDormApp theApp(orv::CDormApp::kPictureMilliseconds, batchOperations());
    theApp.setStore(line.serverUri, line.localFile);
    if (line.options.create)
        theApp.setFirstStart(orv::installedStartPicture());
    return theApp.InitInstance();
}
