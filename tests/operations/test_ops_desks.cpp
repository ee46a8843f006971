#include "data/dbcheck.h"
#include "data/oplog.h"
#include "data/server/migration.h"
#include "data/server/serverstore.h"
#include "data/unitrun.h"
#include "operations/accommodation.h"
#include "operations/logbook.h"
#include "support/teststore.h"

#include <QDir>
#include <QThread>

#include <thread>

using namespace orv;
using namespace orv::test;
using namespace Qt::StringLiterals;

namespace {

const QString kRoomFull = u"你选择的房间已经住满，请选择其他房间入住！"_s;

ops::CheckInForm resident(const QString &staffNo, const QString &room)
{
    return {u"王五"_s, u"男"_s, u"系"_s, staffNo, u"139"_s, QDate(2026, 1, 5), room};
}

int backendOf(Connection &desk)
{
    return PQbackendPID(static_cast<server::ServerStore *>(desk.backend())->server().handle());
}

// Waits until the desk's session waits on a lock another session holds.
void waitUntilBlocked(int backend)
{
    server::ServerConnection admin = TestServer::admin();
    for (int poll = 0; poll < 600; ++poll) {
        if (admin.value(u"SELECT count(*) FROM pg_locks WHERE pid = $1::integer AND NOT granted"_s,
                        {QString::number(backend)}) != u"0"_s)
            return;
        QThread::msleep(50);
    }
    fail(u"the second desk never waited for the first"_s, __FILE__, __LINE__);
}

} // namespace

class TestOpsDesks final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Two desks check into the last bed at once: the one that waited on the other's unit collides,
    // runs its unit again, and is told the room is full; the room holds its beds' worth.
    void twoDesksForTheLastBed()
    {
        TestStore store;
        QVERIFY(store.isServer());
        store.exec(u"INSERT INTO floorinfo VALUES ('A','男','1','2','3',2,100,200,1,1);"
                   "INSERT INTO numinfo VALUES ('A',1);"
                   "INSERT INTO personinfo VALUES ('甲','男','系','P1','139','2004-01-01','A')"_s);
        Connection &first = store.connection();
        const std::unique_ptr<Connection> second = store.anotherDesk();

        first.beginUnit();
        QVERIFY(ops::checkIn(first, resident(u"P2"_s, u"A"_s)).done);
        ops::Outcome secondOutcome;
        int secondRuns = 0;
        QString secondFailure;
        std::thread desk([&] {
            try {
                secondRuns = runUnitAgainOnCollision(
                    *second, [&] { secondOutcome = ops::checkIn(*second, resident(u"P3"_s, u"A"_s)); });
            } catch (const StoreError &error) {
                secondFailure = error.message();
            }
        });
        waitUntilBlocked(backendOf(*second));
        first.commitUnit();
        desk.join();

        QCOMPARE(secondFailure, QString());
        QCOMPARE(secondRuns, 2);
        QVERIFY(!secondOutcome.done);
        QCOMPARE(secondOutcome.message, kRoomFull);
        QCOMPARE(store.text(u"SELECT 入住人数, 空缺人数 FROM floorinfo"_s), u"2,0"_s);
        QCOMPARE(store.text(u"SELECT 工号 FROM personinfo ORDER BY rowid"_s), u"P1|P2"_s);
        QCOMPARE(checkDatabase(first), QStringList());
    }

    // Two desks write the log, one after the other and then both at once: every entry is kept
    // once, numbered without a gap, and the chain of hashes holds when a third desk checks it.
    void theLogsChainHoldsOverTwoDesks()
    {
        TestStore store;
        QVERIFY(store.isServer());
        Connection &first = store.connection();
        const std::unique_ptr<Connection> second = store.anotherDesk();
        const auto write = [](Connection &desk, const QString &target) {
            runUnitAgainOnCollision(desk, [&] {
                oplog::append(desk, {{}, u"值班"_s, u"入住"_s, target, u"房间 A"_s});
            });
        };
        for (int i = 0; i < 3; ++i) {
            write(first, u"A%1"_s.arg(i));
            write(*second, u"B%1"_s.arg(i));
        }
        constexpr int kEach = 25;
        QStringList failures;
        QStringList mine;
        std::thread other([&] {
            for (int i = 0; i < kEach; ++i) {
                try {
                    write(*second, u"D%1"_s.arg(i));
                } catch (const StoreError &error) {
                    failures.append(error.message());
                }
            }
        });
        for (int i = 0; i < kEach; ++i) {
            try {
                write(first, u"C%1"_s.arg(i));
            } catch (const StoreError &error) {
                mine.append(error.message());
            }
        }
        other.join();
        failures += mine;
        // A desk that still collided after every run was refused by name; its entry is not there.
        for (const QString &failure : failures)
            QVERIFY2(failure.startsWith(u"这次操作与其他电脑同时进行的修改冲突"_s), qPrintable(failure));

        const std::unique_ptr<Connection> third = store.anotherDesk();
        QVERIFY(oplog::verify(*third).intact());
        const int kept = 6 + 2 * kEach - static_cast<int>(failures.size());
        QCOMPARE(store.text(u"SELECT count(*), count(DISTINCT target), min(id), max(id) FROM oplog"_s),
                 u"%1,%1,1,%1"_s.arg(kept));
        QCOMPARE(checkDatabase(*third), QStringList());
        // The log reads newest first, as on the file.
        const QList<oplog::Entry> entries = ops::readLog(*third, {});
        QCOMPARE(entries.size(), kept);
        QCOMPARE(entries.last().target, u"A0"_s);
        QCOMPARE(ops::loggedOperators(*third), QStringList{u"值班"_s});
        // Units rolled back on the way, as a collided one is, leave nothing that a file the log moves
        // to would read as rows cut off its end.
        third->beginUnit();
        oplog::append(*third, {{}, u"值班"_s, u"入住"_s, u"E"_s, u"房间 A"_s});
        third->rollbackUnit();
        const QString path = QDir(store.directory()).filePath(u"back.mdb"_s);
        Connection::Create(path, programPassword());
        Connection file;
        file.openFile(path, programPassword());
        server::ServerConnection source(
            TestServer::uriFor(static_cast<server::ServerStore *>(third->backend())->server().databaseName()));
        server::migrateFromServer(source, file);
        QVERIFY(oplog::verify(file).intact());
        file.Close();

        // An entry changed afterwards is found at its row.
        store.exec(u"UPDATE oplog SET detail = '房间 B' WHERE id = 4"_s);
        const oplog::Verdict verdict = oplog::verify(*third);
        QCOMPARE(verdict.fault, oplog::Verdict::Fault::Edited);
        QCOMPARE(verdict.row, 4);
    }
};

QTEST_GUILESS_MAIN(TestOpsDesks)
#include "test_ops_desks.moc"
