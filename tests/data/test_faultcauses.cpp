#include "data/connection.h"
#include "support/testdatabase.h"

#include <sqlite3.h>

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
        QTest::newRow("corrupt") << SQLITE_CORRUPT << u"已损坏"_s;
        QTest::newRow("not a database") << SQLITE_NOTADB << u"密码不匹配"_s;
        QTest::newRow("disk full") << SQLITE_FULL << u"磁盘已满"_s;
        QTest::newRow("i/o") << SQLITE_IOERR_WRITE << u"磁盘出错"_s;
        QTest::newRow("constraint") << SQLITE_CONSTRAINT << QString();
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
    // then fails naming the busy file, and nothing is left half done. A unit in turn takes the
    // write lock when it begins, so two windows that each read, then write, in one unit wait for
    // each other instead of the later one failing when it comes to write.
    void aFileHeldElsewhereIsBusyBothWays()
    {
        TestDatabase db;
        const test::RawDatabase other = test::openKeyed(db.directory() + u"/OrvDb.mdb"_s);
        sqlite3_busy_timeout(other.get(), 10000); // waits for locks as the program does
        QCOMPARE(sqlite3_exec(other.get(), "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
        const QString message = failureOf(db.connection(), u"INSERT INTO numinfo VALUES ('1', 1)"_s);
        QVERIFY2(message.contains(u"正被另一个程序"_s), qPrintable(message));
        QVERIFY(!message.contains(u"密码"_s));
        sqlite3_exec(other.get(), "ROLLBACK", nullptr, nullptr, nullptr);
        QCOMPARE(failureOf(db.connection(), u"INSERT INTO numinfo VALUES ('1', 1)"_s), QString());
        QCOMPARE(db.count(u"numinfo"_s), 1);

        db.connection().beginUnit();
        sqlite3_busy_timeout(other.get(), 0);
        QCOMPARE(sqlite3_exec(other.get(), "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_BUSY);
        db.connection().rollbackUnit();
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
        QCOMPARE(db.count(u"numinfo"_s), 1);
    }
};

QTEST_GUILESS_MAIN(TestFaultCauses)
#include "test_faultcauses.moc"
