#include "app/commandline.h"
#include "app/importcommand.h"
#include "data/backup.h"
#include "data/keyslots.h"
#include "operations/standins.h"
#include "runprogram.h"
#include "support/testdatabase.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

using namespace orv;
using namespace Qt::StringLiterals;
using orv::test::modeOf;

namespace {

QByteArray contents(const QString &file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

using test::Ran;

Ran run(const QStringList &arguments, const QString &folder = QString())
{
    return test::runProgram(arguments, folder);
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
        QTest::newRow("short directory") << QStringList{u"-C"_s, u"/srv/office"_s} << 0 << u"/srv/office"_s << false
                                         << none;
        QTest::newRow("long directory and create")
            << QStringList{u"--directory=/srv/office"_s, u"--create"_s} << 0 << u"/srv/office"_s << true << none;
        QTest::newRow("unknown option") << QStringList{u"--colour"_s} << 2 << none << false
                                        << u"Unknown option 'colour'"_s;
        QTest::newRow("stray argument") << QStringList{u"OrvDb.mdb"_s} << 2 << none << false
                                        << u"unexpected argument 'OrvDb.mdb'"_s;
        QTest::newRow("two folders") << QStringList{u"-C"_s, u"/tmp"_s, u"--user-data"_s} << 2 << none << false
                                     << u"give one"_s;
        QTest::newRow("checked batch") << QStringList{u"--import-readings"_s, u"a.csv"_s, u"--check"_s} << 0 << none
                                       << false << none;
        QTest::newRow("two batches") << QStringList{u"--import-readings"_s, u"a.csv"_s, u"--import-checkins"_s,
                                                    u"b.csv"_s}
                                     << 2 << none << false << u"give one"_s;
        QTest::newRow("check alone") << QStringList{u"--check"_s} << 2 << none << false << u"--check goes with"_s;
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

    void importsABatchAllOrNone_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("csv");
        QTest::addColumn<bool>("check");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::addColumn<int>("residents");
        const int checkIns = int(ops::BatchKind::CheckIns);
        const QString good = u"姓名,性别,部门,工号,手机,日期,房间号码\n李明,男,后勤处,2004101,139,2024-09-01,6-1-101\n"
                             u"王芳,女,后勤处,2004102,139,2024/9/2,6-1-102"_s;
        QTest::newRow("all rows") << checkIns << good << false << 0 << u"导入了 2 行。\n"_s << QString() << 2;
        QTest::newRow("checked only") << checkIns << good << true << 0 << u"检查了 2 行，都可以导入。\n"_s << QString()
                                      << 0;
        QTest::newRow("a refused row")
            << checkIns
            << good + u"\n张三,男,后勤处,2004101,139,2024-09-03,6-1-101\n,男,a,2004109,1,2024-09-03,6-1-101"_s << false
            << 1
            << u"第4行：%1\n第5行：请输入入住人的姓名！\n共 4 行：2 行可以导入，2 行不能导入。没有导入任何一行。\n"_s
                   .arg(test::kDuplicateStaffNo)
            << QString() << 0;
        QTest::newRow("a column missing")
            << int(ops::BatchKind::Readings) << u"房间,日期,水表数\n6-1-101,2024-09-01,5\n"_s << false << 1 << QString()
            << u"批量导入失败：文件的第一行没有“电表数”一栏，整个文件没有导入。\n"_s << 0;
    }
    void importsABatchAllOrNone()
    {
        QFETCH(int, kind);
        QFETCH(QString, csv);
        QFETCH(bool, check);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QFETCH(int, residents);
        test::TestDatabase db;
        const Ran ran = test::runImport(ops::BatchKind(kind), db.directory() + u"/批量.csv"_s, csv, check);
        QCOMPARE(ran.status, status);
        QCOMPARE(ran.out, out);
        QCOMPARE(ran.err, err);
        QCOMPARE(db.count(u"personinfo"_s), residents);
    }

    // What --user-data makes holds the residents' data: each folder and file is for its owner alone,
    // whatever the umask; so are the log beside the open file and the daily copy.
    void userDataIsMadeForItsOwnerAlone_data()
    {
        QTest::addColumn<QString>("path"); // below the data home
        QTest::addColumn<int>("mode");
        QTest::newRow("missing parent folder") << u"share"_s << 0700;
        QTest::newRow("program folder") << u"share/orvane"_s << 0700;
        QTest::newRow("database") << u"share/orvane/OrvDb.mdb"_s << 0600;
        QTest::newRow("key file") << u"share/orvane/OrvDb.keys"_s << 0600;
        QTest::newRow("log") << u"share/orvane/OrvDb.mdb-wal"_s << 0600;
        QTest::newRow("log index") << u"share/orvane/OrvDb.mdb-shm"_s << 0600;
        QTest::newRow("backups folder") << u"share/orvane/backups"_s << 0700;
        QTest::newRow("daily copy") << u"share/orvane/backups/OrvDb-20261206.mdb"_s << 0600;
    }
    void userDataIsMadeForItsOwnerAlone()
    {
        QFETCH(QString, path);
        QFETCH(int, mode);
        QTemporaryDir home;
        const QByteArray previous = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(u"share"_s)));
        const CommandLine line = parseCommandLine({u"orvane"_s, u"--user-data"_s});
        qputenv("XDG_DATA_HOME", previous);
        const mode_t mask = ::umask(0);
        const QString current = QDir::currentPath();
        const QString problem = enterWorkingDirectory(line.options);
        int found = -1;
        if (problem.isEmpty()) {
            // As the window's first start makes it, once the first 管理员 is given.
            const SecureKey key = createKeyedDatabase(databaseFileName(), u"张三"_s, u"甲乙"_s, {1, 8192});
            Connection connection;
            connection.openFile(databaseFileName(), key);
            backup::dailyBackup(connection, QDate(2026, 12, 6), 14, key);
            found = modeOf(home.filePath(path)); // the log is there while the file is open
        }
        QDir::setCurrent(current);
        ::umask(mask);
        QCOMPARE(problem, QString());
        QCOMPARE(found, mode);
    }

    // A missing folder is made, for its owner alone, and left without a database: that waits for the
    // window's first start. A database that is there is used as it is.
    void createMakesTheFolderAndKeepsWhatIsThere_data()
    {
        QTest::addColumn<bool>("existing");
        QTest::newRow("new folder") << false;
        QTest::newRow("existing database") << true;
    }
    void createMakesTheFolderAndKeepsWhatIsThere()
    {
        QFETCH(bool, existing);
        QTemporaryDir dir;
        const QString folder = dir.filePath(u"a/b/office"_s);
        const QString file = QDir(folder).filePath(u"OrvDb.mdb"_s);
        if (existing) {
            QVERIFY(QDir().mkpath(folder));
            Connection::Create(file, programPassword());
        }
        const QByteArray before = contents(file);
        // The program opens a bare file name in the folder it entered; the test's own is restored
        // before anything is compared.
        const QString previous = QDir::currentPath();
        const QString problem = enterWorkingDirectory({folder, true});
        const QString current = QDir::currentPath();
        const bool missing = databaseMissing();
        QDir::setCurrent(previous);
        QCOMPARE(problem, QString());
        QCOMPARE(current, folder);
        QCOMPARE(missing, !existing);
        QCOMPARE(contents(file), before);
        if (!existing) {
            QCOMPARE(modeOf(folder), 0700);
            QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
        }
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
                                        << u"the folder /nonexistent/office does not exist (add --create"_s;
        const QString file = QCoreApplication::applicationFilePath();
        QTest::newRow("a file for a folder")
            << QStringList{u"-C"_s, file} << 2 << QString() << file + u" is not a folder"_s;
    }
    void theCommandAnswersWithoutAWindow()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        const Ran ran = run(arguments);
        QCOMPARE(ran.status, status);
        QVERIFY2(ran.out.contains(out), qPrintable(ran.out));
        QVERIFY2(err.isEmpty() ? ran.err.isEmpty() : ran.err.contains(err), qPrintable(ran.err));
    }

    // Without --directory the copy is of the folder the program runs in. A link is written
    // through: the copy lands on the file it names (a removable disk), and the link stays a link.
    void backupFromTheCommandLine()
    {
        test::TestDatabase db;
        const QDir home(db.directory());
        QVERIFY(home.mkpath(u"elsewhere"_s));
        QVERIFY(home.mkpath(u"stick"_s));
        const QString copy = home.filePath(u"copy.mdb"_s);
        const Ran refused = run({u"--backup"_s, u"../copy.mdb"_s}, home.filePath(u"elsewhere"_s));
        QCOMPARE(refused.status, 1);
        QVERIFY(!refused.err.trimmed().isEmpty());
        QVERIFY(!QFile::exists(copy));
        const Ran ran =
            run({u"--backup"_s, u"../copy.mdb"_s, u"--directory"_s, u".."_s}, home.filePath(u"elsewhere"_s));
        QCOMPARE(ran.status, 0);
        QCOMPARE(ran.out.trimmed(), QFileInfo(copy).canonicalFilePath());
        QCOMPARE(test::storeErrorOf([&] { backup::verify(copy); }).message(), QString());

        QVERIFY(QFile::link(home.filePath(u"stick/OrvDb.mdb"_s), home.filePath(u"usb.mdb"_s)));
        QCOMPARE(run({u"--backup"_s, u"usb.mdb"_s}, db.directory()).status, 0);
        QVERIFY(QFileInfo(home.filePath(u"usb.mdb"_s)).isSymLink());
        QCOMPARE(test::storeErrorOf([&] { backup::verify(home.filePath(u"stick/OrvDb.mdb"_s)); }).message(), QString());
    }

    // Targets that are not a place for a copy are refused by name, with status 1, and left as they
    // were.
    void backupRefusesWhatIsNoPlaceForACopy_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("reason");
        QTest::newRow("empty name") << QString() << u"需要一个文件名"_s;
        QTest::newRow("pipe") << u"pipe"_s << u"不是普通文件"_s;
        QTest::newRow("the live file's log") << u"OrvDb.mdb-wal"_s << u"日志文件"_s;
        QTest::newRow("the live file's journal") << u"OrvDb.mdb-journal"_s << u"日志文件"_s;
    }
    void backupRefusesWhatIsNoPlaceForACopy()
    {
        QFETCH(QString, target);
        QFETCH(QString, reason);
        test::TestDatabase db;
        const QDir home(db.directory());
        QCOMPARE(::mkfifo(QFile::encodeName(home.filePath(u"pipe"_s)).constData(), 0600), 0);
        const QStringList before = home.entryList(QDir::AllEntries | QDir::Hidden | QDir::System, QDir::Name);
        const int modeBefore = modeOf(home.filePath(target));
        const Ran ran = run({u"--backup"_s, target}, db.directory());
        QCOMPARE(ran.status, 1);
        QVERIFY2(ran.err.contains(reason), qPrintable(ran.err));
        QCOMPARE(home.entryList(QDir::AllEntries | QDir::Hidden | QDir::System, QDir::Name), before);
        QCOMPARE(modeOf(home.filePath(target)), modeBefore);
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_commandline.moc"
