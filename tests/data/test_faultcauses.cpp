#include "data/connection.h"
#include "support/testdatabase.h"

#include <QFile>

#include <sqlite3.h>

#include <atomic>
#include <memory>
#include <thread>

using namespace orv;
using namespace Qt::StringLiterals;
using orv::test::TestDatabase;

namespace {

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
        QTest::newRow("busy") << SQLITE_BUSY << u"正被另一个程序"_s;
        QTest::newRow("locked") << SQLITE_LOCKED << u"正被另一个程序"_s;
        QTest::newRow("read-only") << SQLITE_READONLY << u"只读"_s;
        QTest::newRow("corrupt") << SQLITE_CORRUPT << u"已损坏"_s;
        QTest::newRow("not a database") << SQLITE_NOTADB << u"密码不匹配"_s;
        QTest::newRow("disk full") << SQLITE_FULL << u"磁盘已满"_s;
        QTest::newRow("i/o") << SQLITE_IOERR_WRITE << u"磁盘出错"_s;
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
        QCOMPARE(cause.contains(u"密码"_s), (code & 0xff) == SQLITE_NOTADB);
    }

    // Another program holding the file in a write transaction: a unit waits the busy timeout,
    // then fails naming the busy file, and nothing is left half done.
    void aFileHeldElsewhereIsReportedAsBusy()
    {
        TestDatabase db;
        const test::RawDatabase other = test::openKeyed(db.directory() + u"/OrvDb.mdb"_s);
        sqlite3_busy_timeout(other.get(), 10000); // waits for locks as the program does
        QCOMPARE(sqlite3_exec(other.get(), "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
        const QString message = failureOf(db.connection(), u"INSERT INTO numinfo VALUES ('1', 1)"_s);
        QVERIFY2(message.contains(u"正被另一个程序"_s), qPrintable(message));
        QVERIFY(!message.contains(u"密码"_s));
        QVERIFY(!db.connection().inUnit());
        sqlite3_exec(other.get(), "ROLLBACK", nullptr, nullptr, nullptr);
        QCOMPARE(failureOf(db.connection(), u"INSERT INTO numinfo VALUES ('1', 1)"_s), QString());
        QCOMPARE(db.count(u"numinfo"_s), 1);
    }

    // Two windows on one file each read, then write, in one unit. The later one waits for the
    // earlier one's commit instead of failing at once, and both units are stored.
    void twoWritersWaitForEachOther()
    {
        TestDatabase db;
        Connection second;
        second.Open(programConnectionString());
        db.connection().beginUnit();
        db.exec(u"SELECT count(*) FROM numinfo"_s);

        std::atomic<bool> started{false};
        QString secondFailure;
        std::thread other([&] {
            started = true;
            secondFailure = failureOf(second, u"INSERT INTO numinfo SELECT 'b', count(*) + 1 FROM numinfo"_s);
        });
        while (!started)
            std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::milliseconds(200)); // let the other unit ask for the lock
        QString firstFailure;
        try {
            db.exec(u"INSERT INTO numinfo VALUES ('a', 1)"_s);
            db.connection().commitUnit();
        } catch (const StoreError &error) {
            db.connection().rollbackUnit();
            firstFailure = error.message();
        }
        other.join();
        QCOMPARE(firstFailure, QString());
        QCOMPARE(secondFailure, QString());
        QCOMPARE(db.text(u"SELECT 房间号码, 入住人数 FROM numinfo ORDER BY 房间号码"_s), u"a,1|b,2"_s);
    }

    // A file that cannot be written still lets reading units run; a write names the read-only file.
    void aReadOnlyFileStillReadsAndNamesItsWrites()
    {
        TestDatabase db;
        db.exec(u"INSERT INTO numinfo VALUES ('1', 1)"_s);
        // Tests run as root, which file permissions do not stop; the engine's own read-only switch
        // gives the same refusal as a read-only medium.
        db.exec(u"PRAGMA query_only = 1"_s);
        QCOMPARE(failureOf(db.connection(), u"SELECT count(*) FROM numinfo"_s), QString());
        const QString message = failureOf(db.connection(), u"DELETE FROM numinfo"_s);
        QVERIFY2(message.contains(u"只读"_s), qPrintable(message));
        db.exec(u"PRAGMA query_only = 0"_s);
        QCOMPARE(db.count(u"numinfo"_s), 1);
    }
};

QTEST_GUILESS_MAIN(TestFaultCauses)
#include "test_faultcauses.moc"
