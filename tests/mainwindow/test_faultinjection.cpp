#include "data/dbcheck.h"
#include "pagedriver.h"

#include <sqlite3.h>

#include <functional>

using namespace orv;
using namespace orv::test;

namespace {

// Denies the n-th write the engine is asked to prepare (each INSERT, DELETE and each column of
// an UPDATE counts), or the commit. The record store prepares every write afresh, so a denial at
// prepare time is a failure of that very write.
struct Injector {
    int denyWrite = 0; // 0: no write is denied
    bool denyCommit = false;
    int writes = 0;
    bool fired = false;

    static int authorize(void *self, int action, const char *first, const char *, const char *, const char *)
    {
        auto *injector = static_cast<Injector *>(self);
        if (action == SQLITE_TRANSACTION) {
            if (injector->denyCommit && first && qstrcmp(first, "COMMIT") == 0) {
                injector->fired = true;
                return SQLITE_DENY;
            }
        } else if (action == SQLITE_INSERT || action == SQLITE_UPDATE || action == SQLITE_DELETE) {
            if (++injector->writes == injector->denyWrite) {
                injector->fired = true;
                return SQLITE_DENY;
            }
        }
        return SQLITE_OK;
    }
};

// Two rooms (A with resident P1), a fee standard; every writing handler has something to do.
struct Fixture {
    TestDatabase db;
    Answers answers;
    CDormDlg window{db.connection()};
    Injector injector;

    Fixture()
    {
        db.exec(QStringLiteral("INSERT INTO floorinfo VALUES ('A','男','1','2','3',4,100,10,1,3),"
                               "('B','女','1','2','3',4,100,10,0,4);"
                               "INSERT INTO numinfo VALUES ('A',1);"
                               "INSERT INTO personinfo VALUES ('甲','男','系','P1','139','2004-01-01','A');"
                               "INSERT INTO feiyong VALUES (2.5, 1, 100)"));
    }
    void inject() { sqlite3_set_authorizer(db.connection().handle(), &Injector::authorize, &injector); }
    void stopInjecting() { sqlite3_set_authorizer(db.connection().handle(), nullptr, nullptr); }
    bool storeFailureShown()
    {
        return !answers->texts().filter(QStringLiteral("数据库操作失败!\n错误信息:")).isEmpty();
    }
};

using Handler = std::function<void(CDormDlg &)>;

} // namespace

class TestFaultInjection : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyWriteAndCommitOfEveryHandler_data()
    {
        QTest::addColumn<Handler>("handler");
        QTest::newRow("check-in") << Handler([](CDormDlg &w) {
            checkIn(page(w, 0), {QStringLiteral("王五"), QStringLiteral("男"), QStringLiteral("系"),
                                 QStringLiteral("N1"), QStringLiteral("139"), QStringLiteral("A")});
        });
        QTest::newRow("check-out") << Handler(
            [](CDormDlg &w) { checkOut(page(w, 0), QStringLiteral("P1"), QStringLiteral("A")); });
        QTest::newRow("add room") << Handler(
            [](CDormDlg &w) { addRoom(w, QString::fromUtf8("C|555|1|2|4|120|35|男").split(QLatin1Char('|'))); });
        QTest::newRow("modify room") << Handler([](CDormDlg &w) { onRoomRow(w, 1, true); });
        QTest::newRow("delete room") << Handler([](CDormDlg &w) { onRoomRow(w, 1, false); });
        QTest::newRow("fee standard") << Handler([](CDormDlg &w) {
            setStandard(page(w, 3), QStringLiteral("3"), QStringLiteral("2"), QStringLiteral("200"));
        });
        QTest::newRow("utility settlement") << Handler([](CDormDlg &w) {
            settleUtility(page(w, 3), QDate(2004, 2, 1), QStringLiteral("A"), QStringLiteral("200"),
                          QStringLiteral("50"));
        });
        QTest::newRow("rent settlement") << Handler(
            [](CDormDlg &w) { settleRent(page(w, 3), QDate(2004, 3, 1), QStringLiteral("P1")); });
    }
    // Each failing write or commit leaves the eight tables as they were, shows the failure box,
    // and the same operation afterwards stores what it stores without a fault.
    void everyWriteAndCommitOfEveryHandler()
    {
        QFETCH(Handler, handler);
        QString before;
        QString expected;
        {
            Fixture clean;
            before = allTables(clean.db);
            handler(clean.window);
            expected = allTables(clean.db);
            QVERIFY(!clean.storeFailureShown());
            QVERIFY2(expected != before, "the handler writes nothing");
        }
        for (int n = 1;; ++n) {
            const bool commit = n > 1000;
            Fixture f;
            f.injector.denyWrite = commit ? 0 : n;
            f.injector.denyCommit = commit;
            f.inject();
            handler(f.window);
            f.stopInjecting();
            if (!f.injector.fired) {
                QVERIFY2(!commit, "the commit was never reached");
                n = 1000; // every write point was tried; the commit comes next
                continue;
            }
            const QString failedAt = commit ? QStringLiteral("commit") : QStringLiteral("write %1").arg(n);
            QVERIFY2(f.storeFailureShown(), qPrintable(failedAt));
            QVERIFY2(allTables(f.db) == before, qPrintable(failedAt));
            f.answers->clear();
            handler(f.window);
            QVERIFY2(!f.storeFailureShown(), qPrintable(failedAt));
            QVERIFY2(allTables(f.db) == expected, qPrintable(failedAt));
            QVERIFY(checkDatabase(f.db.connection()).isEmpty());
            if (commit)
                break;
        }
    }
};

QTEST_MAIN(TestFaultInjection)
#include "test_faultinjection.moc"
