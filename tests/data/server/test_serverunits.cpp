#include "data/server/serverconnection.h"
#include "support/testdatabase.h"
#include "support/testserver.h"

#include <QThread>

#include <utility>

using namespace orv;
using namespace Qt::StringLiterals;
namespace ServerCode = orv::server::ServerCode;
using orv::server::ServerConnection;
using orv::test::storeErrorOf;
using orv::test::TestServer;

namespace {

// A database with one counter at 0 and a second desk's connection to it.
struct TwoDesks {
    TestServer db;
    ServerConnection desk{db.uri()};
    ServerConnection other{db.uri()};

    TwoDesks()
    {
        desk.run(u"CREATE TABLE counter (v integer NOT NULL)"_s);
        desk.run(u"INSERT INTO counter VALUES (0)"_s);
    }
    QString counter() { return other.value(u"SELECT v FROM counter"_s); }
    // The other desk adds one in a unit of its own, committed at once.
    void otherAddsOne()
    {
        other.runUnit([](ServerConnection &c) { c.run(u"UPDATE counter SET v = v + 1"_s); });
    }
};

// A unit that reads the counter and writes it back one higher: the read-then-write that loses an
// update when another desk writes in between, unless the server refuses one of them.
void addOneAfter(ServerConnection &c, const std::function<void()> &between)
{
    const int read = c.value(u"SELECT v FROM counter"_s).toInt();
    between();
    c.run(u"UPDATE counter SET v = $1"_s, {QString::number(read + 1)});
}

// Two rows locked in opposite orders: the desk's unit takes row 1, the other desk row 2 and then
// waits for row 1, and the unit's step to row 2 closes the circle. Only the desk's side looks for
// the deadlock soon, so it is the one the server ends (40P01).
struct Deadlock {
    TestServer db;
    ServerConnection desk{db.uri()};
    ServerConnection other{db.uri()};
    ServerConnection watcher{db.uri()};
    bool otherWaits = false;

    Deadlock()
    {
        desk.run(u"CREATE TABLE pair (id integer PRIMARY KEY, v integer NOT NULL)"_s);
        desk.run(u"INSERT INTO pair VALUES (1, 0), (2, 0)"_s);
        desk.run(u"SET deadlock_timeout = '50ms'"_s);
        other.run(u"SET deadlock_timeout = '1min'"_s);
    }
    // Run inside the unit, which holds row 1: the other desk takes row 2 and is left waiting for
    // row 1, which the server shows before the unit goes on.
    void otherWaitsForRowOne()
    {
        other.run(u"BEGIN"_s);
        other.run(u"UPDATE pair SET v = v + 10 WHERE id = 2"_s);
        if (PQsendQuery(other.handle(), "UPDATE pair SET v = v + 10 WHERE id = 1") != 1)
            test::fail(u"the other desk's update was not sent"_s, __FILE__, __LINE__);
        otherWaits = true;
        const QString pid = QString::number(PQbackendPID(other.handle()));
        for (int look = 0; look < 1000; ++look) {
            if (watcher.value(u"SELECT wait_event_type FROM pg_stat_activity WHERE pid = $1"_s, {pid}) == u"Lock"_s)
                return;
            QThread::msleep(10);
        }
        // Thrown, so that the unit does not go on to wait for a lock no deadlock will free.
        test::fail(u"the other desk never waited for the row"_s, __FILE__, __LINE__);
    }
    // The other desk's update goes through once the unit is gone, and it commits.
    void otherFinishes()
    {
        if (!std::exchange(otherWaits, false))
            return;
        while (server::PgResultHandle result{PQgetResult(other.handle())})
            QCOMPARE(PQresultStatus(result.get()), PGRES_COMMAND_OK);
        other.run(u"COMMIT"_s);
    }
    // The desk's unit: one to each row, in the order that deadlocks against the other desk's.
    int unit(int attempts, int &runs)
    {
        return desk.runUnit(
            [&](ServerConnection &c) {
                otherFinishes();
                c.run(u"UPDATE pair SET v = v + 1 WHERE id = 1"_s);
                if (++runs == 1)
                    otherWaitsForRowOne();
                c.run(u"UPDATE pair SET v = v + 1 WHERE id = 2"_s);
            },
            attempts);
    }
    QString values() { return watcher.value(u"SELECT string_agg(v::text, ',' ORDER BY id) FROM pair"_s); }
};

} // namespace

class TestServerUnits final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Another desk's write between the unit's read and its write: the server refuses the unit,
    // it runs again as a whole from the new value, and both additions stay.
    void conflictIsRunAgain()
    {
        TwoDesks desks;
        int runs = 0;
        const int took = desks.desk.runUnit([&](ServerConnection &c) {
            addOneAfter(c, [&] {
                if (++runs == 1)
                    desks.otherAddsOne();
            });
        });
        QCOMPARE(took, 2);
        QCOMPARE(runs, 2);
        QCOMPARE(desks.counter(), u"2"_s);
    }

    // A unit that collides every time is given up after the last run, naming the cause, with none
    // of its writes kept.
    void endlessConflictIsRefused()
    {
        TwoDesks desks;
        int runs = 0;
        const StoreError refused = storeErrorOf([&] {
            desks.desk.runUnit([&](ServerConnection &c) {
                ++runs;
                addOneAfter(c, [&] { desks.otherAddsOne(); });
            });
        });
        QCOMPARE(runs, server::kUnitAttempts);
        QCOMPARE(refused.code(), ServerCode::Conflict);
        QVERIFY2(refused.message().startsWith(u"这次操作与其他电脑同时进行的修改冲突，重试了 4 次仍未成功，没有保存"_s),
                 qPrintable(refused.message()));
        QVERIFY2(refused.message().contains(u"可串行化冲突，40001"_s), qPrintable(refused.message()));
        QCOMPARE(desks.counter(), QString::number(server::kUnitAttempts));
        // The connection is idle again and takes the next unit.
        QCOMPARE(desks.desk.runUnit([](ServerConnection &c) { c.run(u"UPDATE counter SET v = 0"_s); }), 1);
    }

    // A real deadlock between two desks: the server ends the unit, which runs again once the
    // other desk is through, and both desks' writes stay.
    void deadlockIsRunAgain()
    {
        Deadlock pair;
        int runs = 0;
        QCOMPARE(pair.unit(server::kUnitAttempts, runs), 2);
        QCOMPARE(runs, 2);
        QCOMPARE(pair.values(), u"11,11"_s);
    }

    // Given up at once, the deadlock is named as the cause and none of the unit's writes stay.
    void deadlockIsNamed()
    {
        Deadlock pair;
        int runs = 0;
        const StoreError refused = storeErrorOf([&] { pair.unit(1, runs); });
        QCOMPARE(refused.code(), ServerCode::Conflict);
        QVERIFY2(refused.message().contains(u"死锁，40P01"_s), qPrintable(refused.message()));
        pair.otherFinishes();
        QCOMPARE(pair.values(), u"10,10"_s);
    }

    // Any other failure is not run again: the unit is rolled back and the failure raised as it came.
    void otherFailureRollsBackOnce()
    {
        TwoDesks desks;
        int runs = 0;
        const StoreError failed = storeErrorOf([&] {
            desks.desk.runUnit([&](ServerConnection &c) {
                ++runs;
                c.run(u"UPDATE counter SET v = 7"_s);
                c.run(u"SELECT no_such_column FROM counter"_s, {}, u"读取计数失败"_s);
            });
        });
        QCOMPARE(runs, 1);
        QCOMPARE(failed.code(), ServerCode::Failed);
        QVERIFY2(failed.message().startsWith(u"读取计数失败："_s), qPrintable(failed.message()));
        QCOMPARE(desks.counter(), u"0"_s);
    }

    // The connection lost in the middle of a unit: what it wrote is gone and the refusal says why.
    void lostConnectionIsNamed()
    {
        TwoDesks desks;
        const StoreError lost = storeErrorOf([&] {
            desks.desk.runUnit([&](ServerConnection &c) {
                c.run(u"UPDATE counter SET v = 7"_s);
                desks.other.run(u"SELECT pg_terminate_backend($1)"_s, {c.value(u"SELECT pg_backend_pid()"_s)});
                c.run(u"UPDATE counter SET v = 8"_s);
            });
        });
        QCOMPARE(lost.code(), ServerCode::ConnectionLost);
        QVERIFY2(lost.message().contains(u"与数据库服务器的连接断开了，这次操作没有保存。"_s),
                 qPrintable(lost.message()));
        QCOMPARE(desks.counter(), u"0"_s);
    }
};

QTEST_GUILESS_MAIN(TestServerUnits)
#include "test_serverunits.moc"
