#include "data/connection.h"
#include "support/testdatabase.h"

#include <QFile>

#include <sqlite3.h>

#include <atomic>
#include <memory>
#include <thread>

using namespace orv;
using orv::test::TestDatabase;

namespace {

// A second program on the same file, waiting for locks as the program does.
test::RawDatabase otherProgram(const QString &file)
{
    test::RawDatabase db = test::openKeyed(file);
    sqlite3_busy_timeout(db.get(), 10000);
    return db;
}

QString failureOf(Connection &connection, const QString &sql)
{
    try {
        connection.beginUnit();
        connection.execute(sql);
        connection.commitUnit();
    } catch (const StoreError &error) {
        connection.rollbackUnit();
        return error.message();
    }
    return QString();
}

} // namespace

class TestFaultCauses : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Each engine failure is named for what it is; only the engine's own "not a database" speaks
    // of a password.
    void causesAreNamedByTheEngineCode_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("mentions");
        QTest::newRow("busy") << SQLITE_BUSY << QStringLiteral("正被另一个程序");
        QTest::newRow("busy snapshot") << SQLITE_BUSY_SNAPSHOT << QStringLiteral("正被另一个程序");
        QTest::newRow("locked") << SQLITE_LOCKED << QStringLiteral("正被另一个程序");
        QTest::newRow("read-only") << SQLITE_READONLY << QStringLiteral("只读");
        QTest::newRow("read-only rollback") << SQLITE_READONLY_ROLLBACK << QStringLiteral("只读");
        QTest::newRow("corrupt") << SQLITE_CORRUPT << QStringLiteral("已损坏");
        QTest::newRow("not a database") << SQLITE_NOTADB << QStringLiteral("密码不匹配");
        QTest::newRow("disk full") << SQLITE_FULL << QStringLiteral("磁盘已满");
        QTest::newRow("i/o") << SQLITE_IOERR_WRITE << QStringLiteral("磁盘出错");
        QTest::newRow("constraint") << SQLITE_CONSTRAINT << QString();
        QTest::newRow("syntax") << SQLITE_ERROR << QString();
    }
    void causesAreNamedByTheEngineCode()
    {
        QFETCH(int, code);
        QFETCH(QString, mentions);
        const QString cause = engineFaultCause(code);
        if (mentions.isEmpty())
            QVERIFY(cause.isEmpty());
        else
            QVERIFY2(cause.contains(mentions), qPrintable(cause));
        QCOMPARE(cause.contains(QStringLiteral("密码")), (code & 0xff) == SQLITE_NOTADB);
    }

    // Another program holding the file in a write transaction: a unit waits the busy timeout,
    // then fails naming the busy file, and nothing is left half done.
    void aFileHeldElsewhereIsReportedAsBusy()
    {
        TestDatabase db;
        test::RawDatabase other = otherProgram(db.directory() + QStringLiteral("/OrvDb.mdb"));
        QCOMPARE(sqlite3_exec(other.get(), "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
        const QString message = failureOf(db.connection(), QStringLiteral("INSERT INTO numinfo VALUES ('1', 1)"));
        QVERIFY2(message.contains(QStringLiteral("正被另一个程序")), qPrintable(message));
        QVERIFY(!message.contains(QStringLiteral("密码")));
        QVERIFY(!db.connection().inUnit());
        sqlite3_exec(other.get(), "ROLLBACK", nullptr, nullptr, nullptr);
        QCOMPARE(failureOf(db.connection(), QStringLiteral("INSERT INTO numinfo VALUES ('1', 1)")), QString());
        QCOMPARE(db.count(QStringLiteral("numinfo")), 1);
    }

    // Two windows on one file each read, then write, in one unit. The later one waits for the
    // earlier one's commit instead of failing at once, and both units are stored.
    void twoWritersWaitForEachOther()
    {
        TestDatabase db;
        Connection second;
        second.Open(programConnectionString());
        db.connection().beginUnit();
        db.exec(QStringLiteral("SELECT count(*) FROM numinfo"));

        std::atomic<bool> started{false};
        QString secondFailure;
        std::thread other([&] {
            started = true;
            secondFailure =
                failureOf(second, QStringLiteral("INSERT INTO numinfo SELECT 'b', count(*) + 1 FROM numinfo"));
        });
        while (!started)
            std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::milliseconds(200)); // let the other unit ask for the lock
        QString firstFailure;
        try {
            db.exec(QStringLiteral("INSERT INTO numinfo VALUES ('a', 1)"));
            db.connection().commitUnit();
        } catch (const StoreError &error) {
            db.connection().rollbackUnit();
            firstFailure = error.message();
        }
        other.join();
        QCOMPARE(firstFailure, QString());
        QCOMPARE(secondFailure, QString());
        QCOMPARE(db.rows(QStringLiteral("SELECT 房间号码, 入住人数 FROM numinfo ORDER BY 房间号码")),
                 (QList<QStringList>{{QStringLiteral("a"), QStringLiteral("1")},
                                     {QStringLiteral("b"), QStringLiteral("2")}}));
    }

    // A file that cannot be written still lets reading units run; a write names the read-only file.
    void aReadOnlyFileStillReadsAndNamesItsWrites()
    {
        TestDatabase db;
        db.exec(QStringLiteral("INSERT INTO numinfo VALUES ('1', 1)"));
        // Tests run as root, which file permissions do not stop; the engine's own read-only switch
        // gives the same refusal as a read-only medium.
        db.exec(QStringLiteral("PRAGMA query_only = 1"));
        QCOMPARE(failureOf(db.connection(), QStringLiteral("SELECT count(*) FROM numinfo")), QString());
        const QString message = failureOf(db.connection(), QStringLiteral("DELETE FROM numinfo"));
        QVERIFY2(message.contains(QStringLiteral("只读")), qPrintable(message));
        db.exec(QStringLiteral("PRAGMA query_only = 0"));
        QCOMPARE(db.count(QStringLiteral("numinfo")), 1);
    }
};

QTEST_GUILESS_MAIN(TestFaultCauses)
#include "test_faultcauses.moc"
