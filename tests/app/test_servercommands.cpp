#include "app/commandline.h"
#include "app/importcommand.h"
#include "data/schema.h"
#include "data/server/migration.h"
#include "data/server/serverconnection.h"
#include "operations/standins.h"
#include "runprogram.h"
#include "support/testdatabase.h"
#include "support/testserver.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

using namespace orv;
using namespace Qt::StringLiterals;
using orv::server::ServerConnection;
using orv::test::TestServer;

namespace {

// A server database of the program's, moved there from a file with the demonstration rows.
struct DemoServer {
    TestServer server;
    DemoServer()
    {
        test::TestDatabase file;
        schema::fillDemo(file.connection());
        ServerConnection target(server.uri());
        server::migrateToServer(file.connection(), target);
    }
    QString count(const QString &table)
    {
        return ServerConnection(server.uri()).value(u"SELECT count(*) FROM %1"_s.arg(table));
    }
};

} // namespace

class TestServerCommands final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void theServerIsRead_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status"); // 0: the program runs
        QTest::addColumn<QString>("output");
        const QString uri = u"postgresql://office/orvane"_s;
        QTest::newRow("window") << QStringList{u"--server"_s, uri} << 0 << QString();
        QTest::newRow("import") << QStringList{u"--server"_s, uri, u"--import-checkins"_s, u"a.csv"_s} << 0
                                << QString();
        QTest::newRow("backup") << QStringList{u"--server"_s, uri, u"--backup"_s, u"a.mdb"_s} << 0 << QString();
        QTest::newRow("the file too") << QStringList{u"--server"_s, uri, u"--file"_s} << 2
                                      << u"--server and --file name two stores"_s;
        QTest::newRow("no address") << QStringList{u"--server="_s} << 1 << u"--server 需要数据库服务器的连接地址"_s;
        QTest::newRow("an operator") << QStringList{u"--server"_s,   uri,      u"--import-checkins"_s, u"a.csv"_s,
                                                    u"--operator"_s, u"张三"_s}
                                     << 2 << u"leave out --operator"_s;
        QTest::newRow("a migration") << QStringList{u"--server"_s, uri, u"--migrate-to"_s, uri} << 2
                                     << u"leave out --server"_s;
    }
    void theServerIsRead()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, output);
        arguments.prepend(u"orvane"_s);
        const CommandLine line = parseCommandLine(arguments);
        QCOMPARE(line.exitStatus, status);
        QCOMPARE(line.run, status == 0);
        QVERIFY2(line.output.contains(output), qPrintable(line.output));
        if (status == 0)
            QCOMPARE(line.serverUri, u"postgresql://office/orvane"_s);
    }

    // A batch checked against the server: every row can go, or the refused ones are named and
    // nothing is written.
    void aBatchIsCheckedOnTheServer_data()
    {
        QTest::addColumn<QString>("csv");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        const QString header = u"姓名,性别,部门,工号,手机,日期,房间号码\n"_s;
        const QString good = u"李明,男,后勤处,2004101,139,2024-09-01,6-1-101\n"_s;
        QTest::newRow("all rows") << header + good << 0 << u"检查了 1 行，都可以导入。\n"_s;
        QTest::newRow("a refused row") << header + good + u",男,a,2004109,1,2024-09-03,6-1-101\n"_s << 1
                                       << u"第3行：请输入入住人的姓名！\n共 2 行：1 行可以导入，1 行不能导入。"
                                          "没有导入任何一行。\n"_s;
    }
    void aBatchIsCheckedOnTheServer()
    {
        QFETCH(QString, csv);
        QFETCH(int, status);
        QFETCH(QString, out);
        DemoServer db;
        const QString before = db.count(u"personinfo"_s);
        QTemporaryDir dir;
        QFile file(dir.filePath(u"批量.csv"_s));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(csv.toUtf8());
        file.close();
        QString printed;
        QString errors;
        QTextStream outStream(&printed);
        QTextStream errStream(&errors);
        QCOMPARE(runImportCommand(ops::BatchKind::CheckIns, file.fileName(), true, test::standInOperations(), outStream,
                                  errStream, {}, db.server.uri()),
                 status);
        QCOMPARE(printed, out);
        QCOMPARE(errors, QString());
        QCOMPARE(db.count(u"personinfo"_s), before);
    }

    // --backup on a server writes a new file of the program's own holding the server's rows; a
    // file in the way is never replaced.
    void aServerIsBackedUpIntoANewFile()
    {
        DemoServer db;
        QTemporaryDir folder;
        const test::Ran made =
            test::runProgram({u"--server"_s, db.server.uri(), u"--backup"_s, u"copy.mdb"_s}, folder.path());
        QCOMPARE(made.err, QString());
        QCOMPARE(made.status, 0);
        const QString copy = QDir(folder.path()).filePath(u"copy.mdb"_s);
        QVERIFY2(made.out.startsWith(u"已把服务器上的数据库“%1”写入新文件“%2”"_s.arg(db.server.name(), copy)),
                 qPrintable(made.out));
        QCOMPARE(test::rowsOf(test::openKeyed(copy).get(), u"SELECT count(*) FROM personinfo"_s),
                 QList<QStringList>{{db.count(u"personinfo"_s)}});

        const test::Ran again =
            test::runProgram({u"--server"_s, db.server.uri(), u"--backup"_s, u"copy.mdb"_s}, folder.path());
        QCOMPARE(again.status, 1);
        QVERIFY2(again.err.contains(u"已经存在，不会覆盖它"_s), qPrintable(again.err));
    }
};

QTEST_MAIN(TestServerCommands)
#include "test_servercommands.moc"
