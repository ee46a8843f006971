#include "app/commandline.h"
#include "data/connection.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace orv;

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

} // namespace

class TestCommandLine : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void optionsAreRead_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("run");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("directory");
        QTest::addColumn<bool>("create");
        QTest::addColumn<QString>("output");
        const QString none;
        QTest::newRow("no options") << QStringList{} << true << 0 << none << false << none;
        QTest::newRow("short directory") << QStringList{QStringLiteral("-C"), QStringLiteral("/srv/office")} << true
                                         << 0 << QStringLiteral("/srv/office") << false << none;
        QTest::newRow("long directory and create")
            << QStringList{QStringLiteral("--directory=/srv/office"), QStringLiteral("--create")} << true << 0
            << QStringLiteral("/srv/office") << true << none;
        QTest::newRow("unknown option") << QStringList{QStringLiteral("--colour")} << false << 2 << none << false
                                        << QStringLiteral("Unknown option 'colour'");
        QTest::newRow("directory without a value") << QStringList{QStringLiteral("-C")} << false << 2 << none << false
                                                   << QStringLiteral("Missing value after '-C'");
        QTest::newRow("stray argument") << QStringList{QStringLiteral("OrvDb.mdb")} << false << 2 << none << false
                                        << QStringLiteral("unexpected argument 'OrvDb.mdb'");
        QTest::newRow("two folders") << QStringList{QStringLiteral("-C"), QStringLiteral("/tmp"),
                                                    QStringLiteral("--user-data")}
                                     << false << 2 << none << false << QStringLiteral("give one");
    }
    void optionsAreRead()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, run);
        QFETCH(int, status);
        QFETCH(QString, directory);
        QFETCH(bool, create);
        QFETCH(QString, output);
        arguments.prepend(QStringLiteral("orvane"));
        const CommandLine line = parseCommandLine(arguments);
        QCOMPARE(line.run, run);
        QCOMPARE(line.exitStatus, status);
        QCOMPARE(line.options.directory, directory);
        QCOMPARE(line.options.create, create);
        if (output.endsWith(QLatin1Char('\n')))
            QCOMPARE(line.output, output);
        else
            QVERIFY2(line.output.contains(output), qPrintable(line.output));
    }

    void userDataIsTheFolderUnderXdgDataHomeAndIsCreated()
    {
        QTemporaryDir home;
        const QByteArray previous = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", home.path().toLocal8Bit());
        const CommandLine line = parseCommandLine({QStringLiteral("orvane"), QStringLiteral("--user-data")});
        if (previous.isEmpty())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", previous);

        const QString folder = home.filePath(QStringLiteral("orvane"));
        QCOMPARE(line.options.directory, folder);
        QVERIFY(line.options.create);
        const Entered first = enter(line.options);
        QCOMPARE(first.problem, QString());
        QCOMPARE(first.current, folder);
        QVERIFY(first.opens);
        QCOMPARE(contents(QDir(folder).filePath(QStringLiteral("bgl.jpg"))), contents(kPicture));

        // A later start finds the same database, with what was stored in it.
        {
            Connection connection;
            connection.Open(QStringLiteral("Data Source=%1;Password=%2")
                                .arg(QDir(folder).filePath(QStringLiteral("OrvDb.mdb")), programPassword()));
            connection.beginUnit();
            connection.execute(
                QStringLiteral("INSERT INTO fangset (工号, 日期, 房租合计) VALUES ('1', '2026-1-1', 5)"));
            connection.commitUnit();
        }
        const QByteArray stored = contents(QDir(folder).filePath(QStringLiteral("OrvDb.mdb")));
        const QString previousDir = QDir::currentPath();
        QCOMPARE(enterWorkingDirectory(line.options, kPicture), QString());
        QDir::setCurrent(previousDir);
        QCOMPARE(contents(QDir(folder).filePath(QStringLiteral("OrvDb.mdb"))), stored);
    }

    void createMakesADatabaseThatOpens_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::newRow("empty folder") << QString();
        QTest::newRow("missing folder") << QStringLiteral("office");
        QTest::newRow("missing nested folders") << QStringLiteral("a/b/office");
    }
    void createMakesADatabaseThatOpens()
    {
        QFETCH(QString, relative);
        QTemporaryDir dir;
        const QString folder = relative.isEmpty() ? dir.path() : dir.filePath(relative);
        const Entered result = enter({folder, true});
        QCOMPARE(result.problem, QString());
        QCOMPARE(result.current, folder);
        QVERIFY(result.opens);
        QVERIFY(QFile::exists(QDir(folder).filePath(QStringLiteral("bgl.jpg"))));

        // Without an installed picture the database is still made; the program starts without one.
        QTemporaryDir bare;
        const Entered withoutPicture = enter({bare.path(), true}, QString());
        QVERIFY(withoutPicture.opens);
        QVERIFY(!QFile::exists(bare.filePath(QStringLiteral("bgl.jpg"))));
    }

    void createNeverOverwritesAnything()
    {
        QTemporaryDir dir;
        const QString database = dir.filePath(QStringLiteral("OrvDb.mdb"));
        const QString picture = dir.filePath(QStringLiteral("bgl.jpg"));
        write(database, "not a database, but the office's file");
        write(picture, "the office's own picture");
        const Entered result = enter({dir.path(), true});
        QCOMPARE(result.problem, QString());
        QVERIFY(!result.opens);
        QCOMPARE(contents(database), QByteArray("not a database, but the office's file"));
        QCOMPARE(contents(picture), QByteArray("the office's own picture"));

        // A database without a picture keeps its folder as it is.
        QTemporaryDir other;
        Connection::Create(other.filePath(QStringLiteral("OrvDb.mdb")), programPassword());
        const QByteArray before = contents(other.filePath(QStringLiteral("OrvDb.mdb")));
        const QString previous = QDir::currentPath();
        QCOMPARE(enterWorkingDirectory({other.path(), true}, kPicture), QString());
        QDir::setCurrent(previous);
        QCOMPARE(contents(other.filePath(QStringLiteral("OrvDb.mdb"))), before);
        QVERIFY(!QFile::exists(other.filePath(QStringLiteral("bgl.jpg"))));
    }

    void directoryOpensTheDatabaseThere()
    {
        QTemporaryDir dir;
        Connection::Create(dir.filePath(QStringLiteral("OrvDb.mdb")), programPassword());
        const Entered result = enter({dir.path(), false});
        QCOMPARE(result.problem, QString());
        QCOMPARE(result.current, dir.path());
        QVERIFY(result.opens);
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("bgl.jpg"))));
    }

    void aMissingOrWrongFolderIsRefusedClearly_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << QStringLiteral("missing") << QStringLiteral("does not exist (add --create");
        QTest::newRow("a file") << QStringLiteral("file") << QStringLiteral("is not a folder");
    }
    void aMissingOrWrongFolderIsRefusedClearly()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("office"));
        if (kind == QLatin1String("file"))
            write(target, "x");
        const QString before = QDir::currentPath();
        const Entered result = enter({target, kind == QLatin1String("file")});
        QVERIFY2(result.problem.contains(target) && result.problem.contains(reason), qPrintable(result.problem));
        QCOMPARE(result.current, before);
        QCOMPARE(QFileInfo(target).isDir(), false);
    }

    // The installed command itself: texts go to the right stream, with the right status, and
    // nothing needs a display.
    void theCommandAnswersWithoutAWindow_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::newRow("version") << QStringList{QStringLiteral("--version")} << 0 << QStringLiteral("Orvane 1.0\n")
                                 << QString();
        QTest::newRow("help") << QStringList{QStringLiteral("--help")} << 0 << QStringLiteral("--user-data")
                              << QString();
        QTest::newRow("missing folder") << QStringList{QStringLiteral("-C"), QStringLiteral("/nonexistent/office")} << 2
                                        << QString() << QStringLiteral("the folder /nonexistent/office does not exist");
    }
    void theCommandAnswersWithoutAWindow()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(ORVANE_EXE), arguments);
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), status);
        const QString stdoutText = QString::fromLocal8Bit(process.readAllStandardOutput());
        const QString stderrText = QString::fromLocal8Bit(process.readAllStandardError());
        if (out.endsWith(QLatin1Char('\n')))
            QCOMPARE(stdoutText, out);
        else
            QVERIFY2(stdoutText.contains(out), qPrintable(stdoutText));
        QVERIFY2(err.isEmpty() ? stderrText.isEmpty() : stderrText.contains(err), qPrintable(stderrText));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_commandline.moc"
