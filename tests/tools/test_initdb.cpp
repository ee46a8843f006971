#include "data/connection.h"
#include "data/keyslots.h"
#include "data/recordset.h"
#include "support/testdatabase.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/stat.h>

using namespace orv;
using namespace Qt::StringLiterals;

class TestInitDb : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The file is made under exactly the name given, whatever it holds; a name that is not valid
    // text is refused rather than changed into another.
    void theFileIsMadeUnderTheNameGiven_data()
    {
        QTest::addColumn<QByteArray>("name"); // as the shell passes it, in printf's escapes
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("made"); // empty: nothing is made
        QTest::newRow("semicolon") << "a;b.mdb"_ba << 0 << u"a;b.mdb"_s;
        QTest::newRow("password in the name") << "Password=x.mdb"_ba << 0 << u"Password=x.mdb"_s;
        QTest::newRow("not UTF-8") << "b\\377.mdb"_ba << 2 << QString();
    }
    void theFileIsMadeUnderTheNameGiven()
    {
        QFETCH(QByteArray, name);
        QFETCH(int, status);
        QFETCH(QString, made);
        QTemporaryDir dir;
        // The shell hands the bytes over untouched; QProcess would pass text.
        QProcess process;
        process.setWorkingDirectory(dir.path());
        process.start(u"/bin/sh"_s, {u"-c"_s, u"exec \"$0\" --demo \"$(printf '%1')\""_s.arg(QString::fromLatin1(name)),
                                     QStringLiteral(ORVANE_INITDB_EXE)});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), status);
        const QStringList files = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        QCOMPARE(files, made.isEmpty() ? QStringList() : QStringList{made});
        if (made.isEmpty())
            return;
        Connection connection;
        connection.openFile(dir.filePath(made), programPassword());
        Recordset rooms(&connection);
        rooms.Open(u"select * from floorinfo"_s);
        QVERIFY(rooms.RecordCount() > 0);
    }

    // With --admin the file has a key of its own, which only the first 管理员's password unseals;
    // a missing name or an empty first line makes nothing.
    void anAdministratorKeysTheFile_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("status");
        QTest::newRow("name and password") << QStringList{u"--admin"_s, u"张三"_s} << "甲乙 丙\nnot read\n"_ba << 0;
        QTest::newRow("empty first line") << QStringList{u"--admin"_s, u"张三"_s} << "\n甲乙\n"_ba << 2;
        QTest::newRow("no input") << QStringList{u"--admin"_s, u"张三"_s} << QByteArray() << 2;
        QTest::newRow("no name") << QStringList{u"--admin"_s, u"--demo"_s} << "甲乙\n"_ba << 2;
    }
    void anAdministratorKeysTheFile()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, input);
        QFETCH(int, status);
        QTemporaryDir dir;
        QProcess process;
        process.setWorkingDirectory(dir.path());
        process.start(QStringLiteral(ORVANE_INITDB_EXE), arguments);
        process.write(input);
        process.closeWriteChannel();
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), status);
        const QStringList files = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        const QStringList made{u"OrvDb.keys"_s, u"OrvDb.mdb"_s};
        QCOMPARE(files, status == 0 ? made : QStringList());
        if (status != 0)
            return;
        const QString database = dir.filePath(u"OrvDb.mdb"_s);
        QVERIFY(test::storeErrorOf([&] { Connection().openFile(database, programPassword()); }).code() != 0);
        struct stat keys {};
        QCOMPARE(::stat(QFile::encodeName(dir.filePath(u"OrvDb.keys"_s)).constData(), &keys), 0);
        QCOMPARE(keys.st_mode & 0777, 0600U);
        const Unlocked unlocked = KeySlots::load(dir.filePath(u"OrvDb.keys"_s)).open(u"张三"_s, u"甲乙 丙"_s);
        QCOMPARE(int(unlocked.role), int(Role::Administrator));
        Connection connection;
        connection.openFile(database, unlocked.key);
        Recordset rooms(&connection);
        rooms.Open(u"select * from floorinfo"_s);
        QCOMPARE(rooms.RecordCount(), 0);
    }
};

QTEST_GUILESS_MAIN(TestInitDb)
#include "test_initdb.moc"
