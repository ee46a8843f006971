#include "data/dbcheck.h"
#include "data/oplog.h"
#include "support/testdatabase.h"

using namespace orv;
using namespace Qt::StringLiterals;
using orv::test::storeErrorOf;
using orv::test::TestDatabase;

namespace {

void append(TestDatabase &db, const QString &target, bool commit = true)
{
    db.connection().beginUnit();
    oplog::append(db.connection(),
                  {QDateTime(QDate(2026, 3, 1), QTime(9, 30)), u"张三"_s, u"入住"_s, target, u"床位 1"_s});
    if (commit)
        db.connection().commitUnit();
    else
        db.connection().rollbackUnit();
}

} // namespace

class TestOpLog final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The row goes with its unit: one row for a unit kept, none for one rolled back, and the ids
    // the rollback handed out are not counted as rows cut off the end.
    void aRowStaysOrGoesWithItsUnit()
    {
        TestDatabase db;
        append(db, u"6-101"_s);
        append(db, u"6-102"_s, false);
        append(db, u"6-103"_s);
        QCOMPARE(db.text(u"SELECT id, time, operator, action, target, detail FROM oplog ORDER BY id"_s),
                 u"1,2026-03-01 09:30:00,张三,入住,6-101,床位 1|2,2026-03-01 09:30:00,张三,入住,6-103,床位 1"_s);
        QVERIFY(oplog::verify(db.connection()).intact());
        QCOMPARE(checkDatabase(db.connection()), QStringList());
        // Outside a unit the row could outlive the writes it records, or be written without them.
        QCOMPARE(storeErrorOf([&db] { oplog::append(db.connection(), {}); }).message(),
                 u"操作记录只能和它记下的修改一起写入。"_s);
        QCOMPARE(db.count(u"oplog"_s), 2);
    }

    void theCheckNamesTheFirstBrokenRow_data()
    {
        QTest::addColumn<QString>("breakIt");
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("finding");
        using Fault = oplog::Verdict::Fault;
        const QString edited = u"操作记录：第 %1 条记录在写入后被改动过。"_s;
        QTest::newRow("a detail changed")
            << u"UPDATE oplog SET detail = '床位 2' WHERE id = 2"_s << int(Fault::Edited) << 2 << edited.arg(2);
        QTest::newRow("text moved between fields")
            << u"UPDATE oplog SET target = '6-10', detail = '3床位 1' WHERE id = 3"_s << int(Fault::Edited) << 3
            << edited.arg(3);
        QTest::newRow("a row renumbered") << u"DELETE FROM oplog WHERE id = 2; UPDATE oplog SET id = 2 WHERE id = 3"_s
                                          << int(Fault::Edited) << 2 << edited.arg(2);
        QTest::newRow("a hash replaced by the next one's")
            << u"UPDATE oplog SET hash = (SELECT hash FROM oplog WHERE id = 3) WHERE id = 2"_s << int(Fault::Edited)
            << 2 << edited.arg(2);
        QTest::newRow("a row deleted") << u"DELETE FROM oplog WHERE id = 2"_s << int(Fault::Deleted) << 2
                                       << u"操作记录：第 2 条记录被删除了。"_s;
        QTest::newRow("the first row deleted")
            << u"DELETE FROM oplog WHERE id = 1"_s << int(Fault::Deleted) << 1 << u"操作记录：第 1 条记录被删除了。"_s;
        QTest::newRow("the end cut off") << u"DELETE FROM oplog WHERE id >= 3"_s << int(Fault::Cut) << 3
                                         << u"操作记录：从第 3 条起的记录被删除了。"_s;
        QTest::newRow("every row deleted")
            << u"DELETE FROM oplog"_s << int(Fault::Cut) << 1 << u"操作记录：从第 1 条起的记录被删除了。"_s;
        QTest::newRow("no log at all") << u"DROP TABLE oplog"_s << int(Fault::None) << 0 << QString();
    }
    void theCheckNamesTheFirstBrokenRow()
    {
        QFETCH(QString, breakIt);
        QFETCH(int, fault);
        QFETCH(int, row);
        QFETCH(QString, finding);
        TestDatabase db;
        for (const QString &room : {u"6-101"_s, u"6-102"_s, u"6-103"_s, u"6-104"_s})
            append(db, room);
        db.exec(breakIt);
        const oplog::Verdict verdict = oplog::verify(db.connection());
        QCOMPARE(int(verdict.fault), fault);
        QCOMPARE(verdict.row, row);
        QCOMPARE(checkDatabase(db.connection()), finding.isEmpty() ? QStringList() : QStringList{finding});
    }
};

QTEST_GUILESS_MAIN(TestOpLog)
#include "test_oplog.moc"
