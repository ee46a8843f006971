#include "app/commandline.h"
#include "data/backup.h"
#include "support/testdatabase.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

using namespace orv;
using namespace Qt::StringLiterals;

namespace {

const QString kPicture = QStringLiteral(ORV_RES_DIR "/bgl.jpg");

QByteArray contents(const QString &file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void write(const QString &file, const QByteArray &bytes)
{
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Prepares the folder as the program would, then opens the database the way the program does
// (a bare file name in the current directory). The previous current directory is restored.
struct Entered {
    QString problem;
    QString current;
    bool opens = false;
};

Entered enter(const StartOptions &options, const QString &picture = kPicture)
{
    const QString previous = QDir::currentPath();
    Entered result;
    result.problem = enterWorkingDirectory(options, picture);
    result.current = QDir::currentPath();
    if (result.problem.isEmpty()) {
        try {
            Connection connection;
            connection.Open(programConnectionString());
            result.opens = true;
        } catch (const StoreError &) {
        }
    }
    QDir::setCurrent(previous);
    return result;
}

// The installed program run as a scheduled job would run it: no display, only the arguments.
struct Ran {
    int status = -1;
    QString out;
    QString err;
};

Ran run(const QStringList &arguments, const QString &folder = QString())
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString &name : {u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s, u"QT_QPA_PLATFORM"_s})
        environment.remove(name);
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(folder);
    process.start(QStringLiteral(ORVANE_EXE), arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        test::fail(u"the program did not end normally"_s, __FILE__, __LINE__);
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

} // namespace

class TestCommandLine : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void optionsAreRead_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status"); // 0: the program runs
        QTest::addColumn<QString>("directory");
        QTest::addColumn<bool>("create");
        QTest::addColumn<QString>("output");
        const QString none;
        QTest::newRow("no options") << QStringList{} << 0 << none << false << none;
        QTest::newRow("short directory") << QStringList{u"-C"_s, u"/srv/office"_s} << 0 << u"/srv/office"_s << false
                                         << none;
        QTest::newRow("long directory and create")
            << QStringList{u"--directory=/srv/office"_s, u"--create"_s} << 0 << u"/srv/office"_s << true << none;
        QTest::newRow("unknown option") << QStringList{u"--colour"_s} << 2 << none << false
                                        << u"Unknown option 'colour'"_s;
        QTest::newRow("directory without a value")
            << QStringList{u"-C"_s} << 2 << none << false << u"Missing value after '-C'"_s;
        QTest::newRow("stray argument") << QStringList{u"OrvDb.mdb"_s} << 2 << none << false
                                        << u"unexpected argument 'OrvDb.mdb'"_s;
        QTest::newRow("two folders") << QStringList{u"-C"_s, u"/tmp"_s, u"--user-data"_s} << 2 << none << false
                                     << u"give one"_s;
    }
    void optionsAreRead()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, directory);
        QFETCH(bool, create);
        QFETCH(QString, output);
        arguments.prepend(u"orvane"_s);
        const CommandLine line = parseCommandLine(arguments);
        QCOMPARE(line.run, status == 0);
        QCOMPARE(line.exitStatus, status);
        QCOMPARE(line.options.directory, directory);
        QCOMPARE(line.options.create, create);
        QVERIFY2(line.output.contains(output), qPrintable(line.output));
    }

    void userDataIsTheFolderUnderXdgDataHomeAndIsCreated()
    {
        QTemporaryDir home;
        const QByteArray previous = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", home.path().toLocal8Bit());
        const CommandLine line = parseCommandLine({u"orvane"_s, u"--user-data"_s});
        if (previous.isEmpty())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", previous);

        const QString folder = home.filePath(u"orvane"_s);
        QCOMPARE(line.options.directory, folder);
        QVERIFY(line.options.create);
        const Entered entered = enter(line.options);
        QCOMPARE(entered.problem, QString());
        QCOMPARE(entered.current, folder);
        QVERIFY(entered.opens);
        QCOMPARE(contents(QDir(folder).filePath(u"bgl.jpg"_s)), contents(kPicture));
    }

    void createMakesADatabaseThatOpens_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::addColumn<QString>("picture");
        QTest::newRow("empty folder") << QString() << kPicture;
        QTest::newRow("missing folder") << u"office"_s << kPicture;
        QTest::newRow("missing nested folders") << u"a/b/office"_s << kPicture;
        // Without an installed picture the database is still made; the program starts without one.
        QTest::newRow("no installed picture") << QString() << QString();
    }
    void createMakesADatabaseThatOpens()
    {
        QFETCH(QString, relative);
        QFETCH(QString, picture);
        QTemporaryDir dir;
        const QString folder = relative.isEmpty() ? dir.path() : dir.filePath(relative);
        const Entered result = enter({folder, true}, picture);
        QCOMPARE(result.problem, QString());
        QCOMPARE(result.current, folder);
        QVERIFY(result.opens);
        QCOMPARE(QFile::exists(QDir(folder).filePath(u"bgl.jpg"_s)), !picture.isEmpty());
    }

    // Whatever is in the folder already is never overwritten, nor a missing picture added to a
    // database that is there.
    void anExistingFolderIsUsedAsItIs_data()
    {
        QTest::addColumn<QByteArray>("database"); // empty: a real one
        QTest::addColumn<QByteArray>("picture");  // empty: none
        QTest::addColumn<bool>("create");
        QTest::newRow("database") << QByteArray() << QByteArray() << false;
        QTest::newRow("database, create") << QByteArray() << QByteArray() << true;
        QTest::newRow("other files, create") << "not a database, but the office's file"_ba
                                             << "the office's own picture"_ba << true;
    }
    void anExistingFolderIsUsedAsItIs()
    {
        QFETCH(QByteArray, database);
        QFETCH(QByteArray, picture);
        QFETCH(bool, create);
        QTemporaryDir dir;
        const QString file = dir.filePath(u"OrvDb.mdb"_s);
        if (database.isEmpty())
            Connection::Create(file, programPassword());
        else
            write(file, database);
        if (!picture.isEmpty())
            write(dir.filePath(u"bgl.jpg"_s), picture);
        const QByteArray before = contents(file);
        const QString previous = QDir::currentPath();
        QCOMPARE(enterWorkingDirectory({dir.path(), create}, kPicture), QString());
        QCOMPARE(QDir::currentPath(), dir.path());
        QDir::setCurrent(previous);
        QCOMPARE(contents(file), before);
        QCOMPARE(contents(dir.filePath(u"bgl.jpg"_s)), picture);
    }

    void aMissingOrWrongFolderIsRefusedClearly_data()
    {
        QTest::addColumn<bool>("isFile");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << false << u"does not exist (add --create"_s;
        QTest::newRow("a file") << true << u"is not a folder"_s;
    }
    void aMissingOrWrongFolderIsRefusedClearly()
    {
        QFETCH(bool, isFile);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString target = dir.filePath(u"office"_s);
        if (isFile)
            write(target, "x");
        const QString before = QDir::currentPath();
        const Entered result = enter({target, isFile});
        QVERIFY2(result.problem.contains(target), qPrintable(result.problem));
        QVERIFY2(result.problem.contains(reason), qPrintable(result.problem));
        QCOMPARE(result.current, before);
        QVERIFY(!QFileInfo(target).isDir());
    }

    // Texts go to the right stream, with the right status, and nothing needs a display.
    void theCommandAnswersWithoutAWindow_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::newRow("version") << QStringList{u"--version"_s} << 0 << u"Orvane 1.0\n"_s << QString();
        QTest::newRow("help") << QStringList{u"--help"_s} << 0 << u"--user-data"_s << QString();
        QTest::newRow("missing folder") << QStringList{u"-C"_s, u"/nonexistent/office"_s} << 2 << QString()
                                        << u"the folder /nonexistent/office does not exist"_s;
    }
    void theCommandAnswersWithoutAWindow()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        const Ran ran = run(arguments);
        QCOMPARE(ran.status, status);
        if (out.endsWith(u'\n'))
            QCOMPARE(ran.out, out);
        else
            QVERIFY2(ran.out.contains(out), qPrintable(ran.out));
        QVERIFY2(err.isEmpty() ? ran.err.isEmpty() : ran.err.contains(err), qPrintable(ran.err));
    }

    void backupFromTheCommandLine_data()
    {
        QTest::addColumn<QString>("workingFolder"); // relative to the database's folder
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<int>("status");
        QTest::newRow("in the database's folder") << u"."_s << u"--backup copy.mdb"_s << 0;
        QTest::newRow("folder given") << u"elsewhere"_s << u"--backup ../copy.mdb --directory .."_s << 0;
        QTest::newRow("no database here") << u"elsewhere"_s << u"--backup ../copy.mdb"_s << 1;
        QTest::newRow("target folder missing") << u"."_s << u"--backup no/such/copy.mdb"_s << 1;
    }
    void backupFromTheCommandLine()
    {
        QFETCH(QString, workingFolder);
        QFETCH(QString, arguments);
        QFETCH(int, status);
        test::TestDatabase db;
        db.exec(u"INSERT INTO numinfo VALUES ('101', 2)"_s);
        const QDir home(db.directory());
        QVERIFY(home.mkpath(u"elsewhere"_s));
        const Ran ran = run(arguments.split(u' '), home.filePath(workingFolder));
        QCOMPARE(ran.status, status);
        const QString copy = home.filePath(u"copy.mdb"_s);
        if (status == 0) {
            QCOMPARE(ran.out.trimmed(), QFileInfo(copy).canonicalFilePath());
            backup::verify(copy);
        } else {
            QVERIFY(!ran.err.trimmed().isEmpty());
            QVERIFY(!QFile::exists(copy));
        }
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_commandline.moc"
