#include "app/commandline.h"
#include "data/keyslots.h"
#include "data/schema.h"
#include "runprogram.h"
#include "support/testdatabase.h"
#include "support/testserver.h"

#include <QDir>
#include <QFile>

using namespace orv;
using namespace Qt::StringLiterals;
using orv::test::TestDatabase;
using orv::test::TestServer;

namespace {

constexpr PasswordCost kCheap{1, 8192};

} // namespace

class TestMigrateCommand final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void migrationsAreRead_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status"); // 0: the program runs
        QTest::addColumn<QString>("output");
        const QString uri = u"postgresql://office/orvane"_s;
        QTest::newRow("to") << QStringList{u"--migrate-to"_s, uri} << 0 << QString();
        QTest::newRow("from, into a file") << QStringList{u"--migrate-from"_s, uri, u"new.mdb"_s} << 0 << QString();
        QTest::newRow("from, no file") << QStringList{u"--migrate-from"_s, uri} << 2
                                       << u"--migrate-from needs the new file"_s;
        QTest::newRow("to, and a file") << QStringList{u"--migrate-to"_s, uri, u"new.mdb"_s} << 2
                                        << u"unexpected argument 'new.mdb'"_s;
        QTest::newRow("from, two files") << QStringList{u"--migrate-from"_s, uri, u"a.mdb"_s, u"b.mdb"_s} << 2
                                         << u"unexpected argument 'b.mdb'"_s;
        QTest::newRow("and a backup") << QStringList{u"--migrate-to"_s, uri, u"--backup"_s, u"copy.mdb"_s} << 2
                                      << u"a command of its own"_s;
        QTest::newRow("both ways") << QStringList{u"--migrate-to"_s, uri, u"--migrate-from"_s, uri, u"a.mdb"_s} << 2
                                   << u"a command of its own"_s;
        QTest::newRow("no address") << QStringList{u"--migrate-to="_s} << 1 << u"需要数据库服务器的连接地址"_s;
        QTest::newRow("as an operator") << QStringList{u"--migrate-to"_s, uri, u"--operator"_s, u"张三"_s} << 0
                                        << QString();
    }
    void migrationsAreRead()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, output);
        arguments.prepend(u"orvane"_s);
        const CommandLine line = parseCommandLine(arguments);
        QCOMPARE(line.exitStatus, status);
        QCOMPARE(line.run, status == 0);
        QVERIFY2(line.output.contains(output), qPrintable(line.output));
    }

    // The folder's database onto the server and back into a new file, through the command; then
    // the refusals of a file that exists and of a server that is not there.
    void fileToServerAndBack()
    {
        TestDatabase file;
        schema::fillDemo(file.connection());
        TestServer db;
        const test::Ran there = test::runProgram({u"--migrate-to"_s, db.uri()}, file.directory());
        QCOMPARE(there.err, QString());
        QCOMPARE(there.status, 0);
        QVERIFY2(there.out.startsWith(u"已把数据库迁移到服务器上的数据库“%1”，共 "_s.arg(db.name())),
                 qPrintable(there.out));
        QVERIFY2(there.out.contains(u"personinfo 5 行"_s), qPrintable(there.out));

        const test::Ran back = test::runProgram({u"--migrate-from"_s, db.uri(), u"back.mdb"_s}, file.directory());
        QCOMPARE(back.err, QString());
        QCOMPARE(back.status, 0);
        Connection copy;
        copy.openFile(QDir(file.directory()).filePath(u"back.mdb"_s), programPassword());
        QCOMPARE(test::rowsOf(copy.handle(), u"SELECT rowid, * FROM personinfo"_s),
                 file.rows(u"SELECT rowid, * FROM personinfo"_s));

        const test::Ran again = test::runProgram({u"--migrate-from"_s, db.uri(), u"back.mdb"_s}, file.directory());
        QCOMPARE(again.status, 1);
        QVERIFY2(again.err.startsWith(u"迁移数据库失败：文件“"_s) && again.err.contains(u"已经存在，不会覆盖它"_s),
                 qPrintable(again.err));

        const QString nowhere = u"postgresql:///postgres?host=/nonexistent/orvane"_s;
        const test::Ran unreachable = test::runProgram({u"--migrate-to"_s, nowhere}, file.directory());
        QCOMPARE(unreachable.status, 1);
        QVERIFY2(unreachable.err.startsWith(u"迁移数据库失败：无法连接数据库服务器"_s), qPrintable(unreachable.err));
        const test::Ran noFile = test::runProgram({u"--migrate-from"_s, nowhere, u"other.mdb"_s}, file.directory());
        QCOMPARE(noFile.status, 1);
        QVERIFY(!QFile::exists(QDir(file.directory()).filePath(u"other.mdb"_s)));
    }

    // A database with operators moves for its 管理员 alone; the way back makes a file with its own
    // key whose first 管理员 is the operator named.
    void operatorsMoveWithTheirRoles()
    {
        QTemporaryDir folder;
        const QString path = QDir(folder.path()).filePath(databaseFileName());
        const SecureKey key = createKeyedDatabase(path, u"张三"_s, u"甲乙"_s, kCheap);
        KeySlots::load(KeySlots::pathFor(path)).addOperator(key, u"李四"_s, u"丙丁"_s, Role::Attendant, kCheap);
        TestServer db;

        const test::Ran attendant =
            test::runProgram({u"--migrate-to"_s, db.uri(), u"--operator"_s, u"李四"_s}, folder.path(), {}, "丙丁\n");
        QCOMPARE(attendant.status, 1);
        QVERIFY2(attendant.err.contains(u"操作员“李四”（值班员）不能迁移数据库，只有管理员可以。"_s),
                 qPrintable(attendant.err));
        const test::Ran administrator =
            test::runProgram({u"--migrate-to"_s, db.uri(), u"--operator"_s, u"张三"_s}, folder.path(), {}, "甲乙\n");
        QCOMPARE(administrator.err, QString());
        QCOMPARE(administrator.status, 0);

        const test::Ran back =
            test::runProgram({u"--migrate-from"_s, db.uri(), u"back.mdb"_s, u"--operator"_s, u"王五"_s}, folder.path(),
                             {}, "戊己庚辛\n");
        QCOMPARE(back.err, QString());
        QCOMPARE(back.status, 0);
        const QString copy = QDir(folder.path()).filePath(u"back.mdb"_s);
        const Unlocked unlocked = KeySlots::load(KeySlots::pathFor(copy)).open(u"王五"_s, u"戊己庚辛"_s);
        QVERIFY(unlocked.opened());
        QCOMPARE(unlocked.role, Role::Administrator);
        Connection connection;
        connection.openFile(copy, unlocked.key);
        QCOMPARE(test::rowsOf(connection.handle(), u"SELECT count(*) FROM floorinfo"_s).value(0).value(0), u"0"_s);
    }
};

QTEST_GUILESS_MAIN(TestMigrateCommand)
#include "test_migratecommand.moc"
