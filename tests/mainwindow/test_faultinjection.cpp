#include "data/dbcheck.h"
#include "pagedriver.h"

#include <sqlite3.h>

#include <functional>

using namespace orv;
using namespace orv::test;

namespace {

// Denies the n-th write point the engine is asked to prepare: each INSERT, DELETE, each column of
// an UPDATE, and the COMMIT. The record store prepares every write afresh, so a denial at prepare
// time is a failure of that very write.
struct Injector {
    int deny = 0;
    int points = 0;
    bool deniedCommit = false;

    static int authorize(void *self, int action, const char *first, const char *, const char *, const char *)
    {
        auto *injector = static_cast<Injector *>(self);
        const bool commit = action == SQLITE_TRANSACTION && first && qstrcmp(first, "COMMIT") == 0;
        if (!commit && action != SQLITE_INSERT && action != SQLITE_UPDATE && action != SQLITE_DELETE)
            return SQLITE_OK;
        if (++injector->points != injector->deny)
            return SQLITE_OK;
        injector->deniedCommit = commit;
        return SQLITE_DENY;
    }
};

bool storeFailureShown(Window &w)
{
    return !w.answers->texts().filter(QStringLiteral("数据库操作失败!\n错误信息:")).isEmpty();
}

using Handler = std::function<void(MainWindow &)>;

} // namespace

class TestFaultInjection : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyWriteAndTheCommitOfAHandlerPerPage_data()
    {
        QTest::addColumn<Handler>("handler");
        QTest::newRow("check-in") << Handler([](MainWindow &w) {
            checkIn(page(w, 0), {QStringLiteral("王五"), QStringLiteral("男"), QStringLiteral("系"),
                                 QStringLiteral("N1"), QStringLiteral("139"), QStringLiteral("A")});
        });
        QTest::newRow("add room") << Handler(
            [](MainWindow &w) { addRoom(w, QString::fromUtf8("C|555|1|2|4|120|35|男").split(QLatin1Char('|'))); });
        QTest::newRow("utility settlement") << Handler([](MainWindow &w) {
            settleUtility(page(w, 3), QDate(2004, 2, 1), QStringLiteral("A"), QStringLiteral("200"),
                          QStringLiteral("50"));
        });
    }
    // Each failing write or commit leaves the eight tables as they were, shows the failure box, and
    // the same operation afterwards stores what it stores without a fault.
    void everyWriteAndTheCommitOfAHandlerPerPage()
    {
        QFETCH(Handler, handler);
        QString before;
        QString expected;
        {
            Window clean(kRoomsAndResident);
            before = allTables(clean.db);
            handler(*clean.window);
            expected = allTables(clean.db);
            QVERIFY(!storeFailureShown(clean));
            QVERIFY2(expected != before, "the handler writes nothing");
        }
        bool deniedCommit = false;
        for (int n = 1;; ++n) {
            Window f(kRoomsAndResident);
            Injector injector;
            injector.deny = n;
            sqlite3_set_authorizer(f.db.connection().handle(), &Injector::authorize, &injector);
            handler(*f.window);
            sqlite3_set_authorizer(f.db.connection().handle(), nullptr, nullptr);
            if (injector.points < n)
                break; // every write point was tried
            deniedCommit = injector.deniedCommit;
            const QString failedAt = QStringLiteral("write point %1").arg(n);
            QVERIFY2(storeFailureShown(f), qPrintable(failedAt));
            QVERIFY2(allTables(f.db) == before, qPrintable(failedAt));
            f.answers->clear();
            handler(*f.window);
            QVERIFY2(!storeFailureShown(f), qPrintable(failedAt));
            QVERIFY2(allTables(f.db) == expected, qPrintable(failedAt));
            QVERIFY(checkDatabase(f.db.connection()).isEmpty());
        }
        QVERIFY2(deniedCommit, "the last write point was not the commit");
    }
};

QTEST_MAIN(TestFaultInjection)
#include "test_faultinjection.moc"
