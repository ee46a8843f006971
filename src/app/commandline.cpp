#include "commandline.h"

#include "data/connection.h"
#include "data/privatefiles.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace orv {

namespace {

const QString kProgram = QStringLiteral("orvane");
const QString kVersion = QStringLiteral("Orvane 1.0");
const QString kPictureFile = QStringLiteral("bgl.jpg");

CommandLine finish(int status, const QString &output)
{
    CommandLine line;
    line.run = false;
    line.exitStatus = status;
    line.output = output.endsWith(QLatin1Char('\n')) ? output : output + QLatin1Char('\n');
    return line;
}

} // namespace

CommandLine parseCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Runs a staff dormitory: rooms, residents, queries and fees, kept in OrvDb.mdb.\n"
                       "Without options the program works in the current directory."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption directory({QStringLiteral("C"), QStringLiteral("directory")},
                                       QStringLiteral("Work in <dir>: open its OrvDb.mdb and show its bgl.jpg."),
                                       QStringLiteral("dir"));
    const QCommandLineOption create(
        QStringLiteral("create"),
        QStringLiteral("Make the folder when it is missing; when it has no database, the window asks for the "
                       "first 管理员 (name and password) and makes an empty database keyed for them, with the "
                       "start-up picture beside it. Nothing that exists is overwritten."));
    const QCommandLineOption userData(
        QStringLiteral("user-data"), QStringLiteral("Work in the user's data folder ($XDG_DATA_HOME/orvane, by default "
                                                    "~/.local/share/orvane); implies --create."));
    const QCommandLineOption backup(
        QStringLiteral("backup"),
        QStringLiteral("Copy the database of the folder into <file> while it may be in use, print the "
                       "file written and end, without a window (for scheduled backups)."),
        QStringLiteral("file"));
    const QCommandLineOption importCheckIns(
        QStringLiteral("import-checkins"),
        QStringLiteral("Check in every resident of <file> (CSV or XLSX, a header row naming 姓名, 性别, 部门, 工号, "
                       "手机, 日期, 房间), all or none, without a window. Refused rows are printed as 第N行：<reason> "
                       "and nothing is written."),
        QStringLiteral("file"));
    const QCommandLineOption importReadings(
        QStringLiteral("import-readings"),
        QStringLiteral("Settle the meter readings of <file> (a header row naming 房间, 日期, 水表数, 电表数) the "
                       "same way."),
        QStringLiteral("file"));
    const QCommandLineOption check(QStringLiteral("check"),
                                   QStringLiteral("With an import: only check the rows; nothing is written."));
    const QCommandLineOption operatorName(
        QStringLiteral("operator"),
        QStringLiteral("With an import on a database that has operators: run it as the operator <name>, whose "
                       "password is the first line of standard input (not shown when typed)."),
        QStringLiteral("name"));
    const QCommandLineOption migrateTo(
        QStringLiteral("migrate-to"),
        QStringLiteral("Copy the database of the folder, every table and every row in order, into the empty "
                       "PostgreSQL database at <uri> (a libpq connection URI), which gets the program's tables "
                       "first; the rows are counted and the rules between the tables checked there before it "
                       "is done. Nothing stays on the server when it fails."),
        QStringLiteral("uri"));
    const QCommandLineOption migrateFrom(
        QStringLiteral("migrate-from"),
        QStringLiteral("Write the PostgreSQL database at <uri> into the new database file named after it "
                       "(--migrate-from URI FILE). With --operator the file gets its own key and a key file "
                       "whose first 管理员 is that operator (password on standard input)."),
        QStringLiteral("uri"));
    const QCommandLineOption server(
        QStringLiteral("server"),
        QStringLiteral("Work on the PostgreSQL database at <uri> (a libpq connection URI; TLS and the password file "
                       "work as libpq documents them) instead of the folder's file: the window, --import-checkins, "
                       "--import-readings and --backup alike. Whoever the server signs in is the operator."),
        QStringLiteral("uri"));
    const QCommandLineOption localFile(
        QStringLiteral("file"),
        QStringLiteral("Open the folder's database file even when a server was chosen with 连接服务器… in the "
                       "data menu."));
    parser.addOptions({directory, create, userData, backup, importCheckIns, importReadings, check, operatorName,
                       migrateTo, migrateFrom, server, localFile});

    if (!parser.parse(arguments))
        return finish(2, kProgram + QStringLiteral(": ") + parser.errorText() + QStringLiteral("\nTry '") + kProgram +
                             QStringLiteral(" --help'."));
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        // The help text names the program as it was started; the installed command is lower case.
        QString text = parser.helpText();
        const int eol = text.indexOf(QLatin1Char('\n'));
        text.replace(0, eol, QStringLiteral("Usage: ") + kProgram + QStringLiteral(" [options]"));
        return finish(0, text);
    }
    if (parser.isSet(version))
        return finish(0, kVersion);
    const bool migrating = parser.isSet(migrateTo) || parser.isSet(migrateFrom);
    // --migrate-from alone takes a positional argument: the file to write.
    const qsizetype positional = parser.isSet(migrateFrom) ? 1 : 0;
    if (parser.positionalArguments().size() > positional)
        return finish(2, kProgram + QStringLiteral(": unexpected argument '") +
                             parser.positionalArguments().at(positional) + QStringLiteral("'\nTry '") + kProgram +
                             QStringLiteral(" --help'."));
    if (parser.isSet(migrateFrom) && parser.positionalArguments().isEmpty())
        return finish(2, kProgram + QStringLiteral(": --migrate-from needs the new file: --migrate-from URI FILE."));
    if (parser.isSet(directory) && parser.isSet(userData))
        return finish(2, kProgram + QStringLiteral(": --directory and --user-data name two folders; give one."));

    // An empty name would otherwise read as no backup asked for, and the window would start.
    if (parser.isSet(backup) && parser.value(backup).isEmpty())
        return finish(1, QStringLiteral("备份数据库失败：--backup 需要一个文件名。"));

    const bool importing = parser.isSet(importCheckIns) || parser.isSet(importReadings);
    if (parser.isSet(importCheckIns) && parser.isSet(importReadings))
        return finish(2, kProgram +
                             QStringLiteral(": --import-checkins and --import-readings name two batches; give one."));
    if (importing && parser.isSet(backup))
        return finish(2, kProgram + QStringLiteral(": --backup and an import are two commands; give one."));
    if (migrating && (importing || parser.isSet(backup) || (parser.isSet(migrateTo) && parser.isSet(migrateFrom))))
        return finish(2, kProgram + QStringLiteral(": a migration is a command of its own; give one command."));
    if (migrating && parser.value(parser.isSet(migrateTo) ? migrateTo : migrateFrom).isEmpty())
        return finish(1, QStringLiteral("迁移数据库失败：需要数据库服务器的连接地址。"));
    if (parser.isSet(check) && !importing)
        return finish(2, kProgram + QStringLiteral(": --check goes with --import-checkins or --import-readings."));
    if (importing && parser.value(parser.isSet(importCheckIns) ? importCheckIns : importReadings).isEmpty())
        return finish(1, QStringLiteral("批量导入失败：需要一个文件名。"));
    if (parser.isSet(operatorName) && !importing && !migrating)
        return finish(2, kProgram + QStringLiteral(": --operator goes with --import-checkins or --import-readings."));
    if (parser.isSet(operatorName) && parser.value(operatorName).trimmed().isEmpty())
        return finish(2, kProgram + QStringLiteral(": --operator needs the operator's name."));
    if (parser.isSet(server) && parser.isSet(localFile))
        return finish(2, kProgram + QStringLiteral(": --server and --file name two stores; give one."));
    // A migration names its server itself; a second one would leave it unclear which is meant.
    if (parser.isSet(server) && migrating)
        return finish(2, kProgram + QStringLiteral(": a migration names its server itself; leave out --server."));
    if (parser.isSet(server) && parser.value(server).trimmed().isEmpty())
        return finish(1, QStringLiteral("连接数据库服务器失败：--server 需要数据库服务器的连接地址。"));
    // On a server the server signs in whoever runs the command.
    if (parser.isSet(server) && parser.isSet(operatorName))
        return finish(2, kProgram + QStringLiteral(": on a server the connection address says who signs in; leave "
                                                   "out --operator."));

    CommandLine line;
    line.backupFile = parser.value(backup);
    line.importKind = parser.isSet(importReadings) ? ops::BatchKind::Readings : ops::BatchKind::CheckIns;
    line.importFile = parser.value(parser.isSet(importReadings) ? importReadings : importCheckIns);
    line.checkOnly = parser.isSet(check);
    line.operatorName = parser.value(operatorName);
    line.migrateTo = parser.value(migrateTo);
    line.migrateFrom = parser.value(migrateFrom);
    line.migrateFile = parser.positionalArguments().value(0);
    line.serverUri = parser.value(server);
    line.localFile = parser.isSet(localFile);
    line.options.create = parser.isSet(create) || parser.isSet(userData);
    if (parser.isSet(userData))
        line.options.directory = userDataDirectory();
    else if (parser.isSet(directory))
        line.options.directory = parser.value(directory);
    return line;
}

QString userDataDirectory()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)).filePath(kProgram);
}

QString installedStartPicture()
{
    // The data folder is found from the executable, so a package installed under any prefix works.
    const QFileInfo executable(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath());
    const QString picture =
        QDir::cleanPath(executable.absolutePath() + QStringLiteral("/" ORV_DATA_FROM_BINDIR "/") + kPictureFile);
    return QFileInfo::exists(picture) ? picture : QString();
}

QString enterWorkingDirectory(const StartOptions &options)
{
    if (options.directory.isEmpty())
        return QString();
    const QString folder = QDir::cleanPath(options.directory);
    const QFileInfo info(folder);
    if (!info.exists()) {
        if (!options.create)
            return kProgram + QStringLiteral(": the folder %1 does not exist (add --create to make it)").arg(folder);
        if (!makePrivateFolders(folder))
            return kProgram + QStringLiteral(": cannot create the folder %1").arg(folder);
    } else if (!info.isDir()) {
        return kProgram + QStringLiteral(": %1 is not a folder").arg(folder);
    }
    if (!QDir::setCurrent(folder))
        return kProgram + QStringLiteral(": cannot enter the folder %1").arg(folder);
    return QString();
}

bool databaseMissing()
{
    const QFileInfo database(databaseFileName());
    return !database.exists() && !database.isSymLink();
}

void copyStartPicture(const QString &pictureSource)
{
    const QFileInfo picture(kPictureFile);
    if (!pictureSource.isEmpty() && !picture.exists() && !picture.isSymLink())
        QFile::copy(pictureSource, kPictureFile);
}

} // namespace orv
