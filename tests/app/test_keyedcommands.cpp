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

using namespace orv;
using namespace Qt::StringLiterals;

namespace {

constexpr PasswordCost kCheap{1, 8192};

// A database with operators in a folder of its own, which is the current directory meanwhile: the
// 管理员 张三 (password "甲乙") and the 值班员 李四 (password "丙丁").
struct KeyedFolder {
    test::InFolder dir;
    QString path = dir.filePath(databaseFileName());
    SecureKey key = createKeyedDatabase(path, u"张三"_s, u"甲乙"_s, kCheap);
    QString config = dir.filePath(u"config"_s);

    KeyedFolder()
    {
        KeySlots::load(KeySlots::pathFor(path)).addOperator(key, u"李四"_s, u"丙丁"_s, Role::Attendant, kCheap);
    }

    int residents() { return rows(u"SELECT count(*) FROM personinfo"_s).value(0).value(0).toInt(); }
    QList<QStringList> rows(const QString &sql)
    {
        Connection connection;
        connection.openFile(path, key);
        return test::rowsOf(connection.handle(), sql);
    }
};

using test::Ran;

Ran run(const QStringList &arguments, const QString &folder, const QString &config)
{
    return test::runProgram(arguments, folder, config);
}

} // namespace

class TestKeyedCommands final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The scheduled copy of a database with operators opens it with the backup slot's key file,
    // and with nothing else.
    void scheduledBackupNeedsTheBackupSlot_data()
    {
        QTest::addColumn<QString>("keyFile");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("said");
        QTest::newRow("the slot's key file") << u"slot"_s << 0 << QString();
        QTest::newRow("no key file") << u"none"_s << 1 << u"定时备份密钥"_s;
        QTest::newRow("a key file of another slot") << u"other"_s << 1 << u"打不开这个数据库"_s;
        QTest::newRow("a slot, but the key file replaced") << u"replaced"_s << 1 << u"打不开这个数据库"_s;
    }
    void scheduledBackupNeedsTheBackupSlot()
    {
        QFETCH(QString, keyFile);
        QFETCH(int, status);
        QFETCH(QString, said);
        KeyedFolder folder;
        const QString scheduled = QDir(folder.config).filePath(u"orvane/backup.key"_s);
        QVERIFY(QDir().mkpath(QFileInfo(scheduled).path()));
        KeySlots slots = KeySlots::load(KeySlots::pathFor(folder.path));
        if (keyFile == u"slot"_s || keyFile == u"replaced"_s)
            slots.addBackupSlot(folder.key, scheduled);
        if (keyFile == u"other"_s || keyFile == u"replaced"_s) {
            KeyedFolder other;
            KeySlots::load(KeySlots::pathFor(other.path)).addBackupSlot(other.key, scheduled);
        }
        const Ran ran = run({u"--backup"_s, u"copy.mdb"_s}, folder.dir.path(), folder.config);
        QCOMPARE(ran.status, status);
        QVERIFY2(ran.err.contains(said), qPrintable(ran.err));
        const QString copy = folder.dir.filePath(u"copy.mdb"_s);
        QCOMPARE(QFile::exists(copy), status == 0);
        if (status == 0) {
            QCOMPARE(test::storeErrorOf([&] { backup::verify(copy, folder.key); }).message(), QString());
            QVERIFY(QFile::exists(folder.dir.filePath(u"copy.keys"_s)));
        }
    }

    void theOperatorOptionGoesWithAnImport_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("name");
        QTest::newRow("with an import") << QStringList{u"--import-checkins=a.csv"_s, u"--operator"_s, u"张三"_s} << 0
                                        << u"张三"_s;
        QTest::newRow("alone") << QStringList{u"--operator"_s, u"张三"_s} << 2 << QString();
        QTest::newRow("with a backup") << QStringList{u"--backup=b.mdb"_s, u"--operator=张三"_s} << 2 << QString();
        QTest::newRow("no name") << QStringList{u"--import-readings=a.csv"_s, u"--operator="_s} << 2 << QString();
    }
    void theOperatorOptionGoesWithAnImport()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, name);
        const CommandLine line = parseCommandLine(QStringList{u"orvane"_s} + arguments);
        QCOMPARE(line.run ? 0 : line.exitStatus, status);
        QCOMPARE(line.operatorName, name);
    }

    // An import into a database with operators is refused without one, or with a wrong password,
    // and writes as the operator named otherwise; one without operators refuses an operator.
    void anImportNeedsAnOperatorOfAKeyedFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("said");
        QTest::newRow("no operator") << QString() << QString() << 1 << u"--operator"_s;
        QTest::newRow("wrong password") << u"张三"_s << u"甲"_s << 1 << u"操作员姓名或密码不正确。"_s;
        QTest::newRow("管理员") << u"张三"_s << u"甲乙"_s << 0 << QString();
        QTest::newRow("值班员") << u"李四"_s << u"丙丁"_s << 0 << QString();
    }
    void anImportNeedsAnOperatorOfAKeyedFile()
    {
        QFETCH(QString, name);
        QFETCH(QString, password);
        QFETCH(int, status);
        QFETCH(QString, said);
        KeyedFolder folder;
        const Ran ran = test::runImport(
            ops::BatchKind::CheckIns, folder.dir.filePath(u"批量.csv"_s),
            u"姓名,性别,部门,工号,手机,日期,房间号码\n李明,男,后勤处,2004101,139,2024-09-01,6-1-101\n"_s, false,
            {name, [password] { return password; }});
        QCOMPARE(ran.status, status);
        QVERIFY2(ran.err.contains(said), qPrintable(ran.err));
        QCOMPARE(folder.residents(), status == 0 ? 1 : 0);
        const QList<QStringList> logged = folder.rows(u"SELECT operator, action, target FROM oplog"_s);
        if (status == 0)
            QCOMPARE(logged, (QList<QStringList>{{name, u"批量入住"_s, u"批量.csv"_s}}));
        else
            QVERIFY(logged.isEmpty());
    }

    void anOperatorIsRefusedWhereThereAreNone()
    {
        test::TestDatabase db;
        const Ran ran = test::runImport(ops::BatchKind::Readings, db.directory() + u"/抄表.csv"_s,
                                        u"房间,日期,水表数,电表数\n6-1-101,2024-09-01,5,6\n"_s, false,
                                        {u"张三"_s, [] { return u"甲乙"_s; }});
        QCOMPARE(ran.status, 1);
        QVERIFY2(ran.err.contains(u"没有设置操作员"_s), qPrintable(ran.err));
        QCOMPARE(db.count(u"feiinfo"_s), 0);
    }
};

QTEST_GUILESS_MAIN(TestKeyedCommands)
#include "test_keyedcommands.moc"
