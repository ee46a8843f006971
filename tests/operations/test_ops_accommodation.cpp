#include "data/columns.h"
#include "data/recordset.h"
#include "operations/accommodation.h"
#include "support/teststore.h"

using namespace orv;
using namespace orv::test;
using namespace Qt::StringLiterals;

namespace {

const QString kDone = u"成功迁出！"_s;
const QStringList kCheckInWrites{u"floorinfo"_s, u"numinfo"_s, u"personinfo"_s, u"residence_history"_s};

// F is full though its counter says 1 free; O has a free bed, a counter of 0 and no count row; G has
// no room row; B has two count rows.
struct Fixture {
    TestStore db;

    Fixture()
    {
        db.exec(u"INSERT INTO floorinfo VALUES ('A','男','tel-A','1','2',4,0,0,1,3),"
                "('B','男','tel-B','1','2',4,0,0,3,1),"
                "('F','女','tel-F','1','2',2,0,0,2,1), ('O','女','tel-O','1','2',4,0,0,1,0);"
                "INSERT INTO numinfo VALUES ('A',1), ('B',3), ('B',0), ('G',1);"
                "INSERT INTO personinfo VALUES ('甲','男','系','P1','139','2004-01-01','A'),"
                "('乙','男','系','P2','139','2004-01-01','B'), ('丙','男','系','P3','139','2004-01-01','B'),"
                "('丁','男','系','P4','139','2004-01-01','G')"_s);
    }
    // Each room's residents and free beds, the counts, the residents' staff numbers.
    QString tables()
    {
        return db.text(u"SELECT 房间号码, 入住人数, 空缺人数 FROM floorinfo ORDER BY rowid"_s) + u'/' +
               db.text(u"SELECT * FROM numinfo ORDER BY rowid"_s) + u'/' +
               db.text(u"SELECT 工号 FROM personinfo ORDER BY rowid"_s);
    }
    QString everything() { return tables() + db.text(u"SELECT * FROM personinfo"_s); }
    QString listed(void (*rooms)(Connection &, const std::function<void(Recordset &)> &))
    {
        QStringList listed;
        rooms(db.connection(),
              [&listed](Recordset &room) { listed.append(room.GetCollect(db::floorinfo::roomNo).toText()); });
        return listed.join(u' ');
    }
};

// Name, sex, department, staff number, mobile, date (yyyy-MM-dd; empty for no date), room.
ops::CheckInForm checkInForm(const QStringList &fields)
{
    return {fields.value(0), fields.value(1), fields.value(2),
            fields.value(3), fields.value(4), QDate::fromString(fields.value(5), Qt::ISODate),
            fields.value(6)};
}

// 王五's form with a staff number and a room.
QStringList wang(const QString &staffNo, const QString &room)
{
    return {u"王五"_s, u"男"_s, u"系"_s, staffNo, u"139"_s, u"2004-01-05"_s, room};
}

} // namespace

class TestOpsAccommodation final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void lists()
    {
        Fixture f;
        // Only 空缺人数 decides: F's counters disagree, O's 0 is full, a negative one is free.
        f.db.exec(u"UPDATE floorinfo SET 空缺人数 = -1 WHERE 房间号码 = 'A'"_s);
        QCOMPARE(f.listed(ops::freeRooms), u"A B F"_s);
        QCOMPARE(f.listed(ops::fullRooms), u"O"_s);
        f.db.exec(u"DELETE FROM floorinfo"_s);
        QCOMPARE(f.listed(ops::freeRooms), QString());
        QCOMPARE(f.listed(ops::fullRooms), QString());
    }

    void checkIn_data()
    {
        QTest::addColumn<QStringList>("form");
        QTest::addColumn<QString>("message"); // empty: done
        QTest::addColumn<QString>("after");   // see tables(); empty: nothing written
        QTest::newRow("room fills, every count row rises")
            << wang(u"N"_s, u"B"_s) << QString() << u"A,1,3|B,4,0|F,2,1|O,1,0/A,1|B,4|B,1|G,1/P1|P2|P3|P4|N"_s;
        QTest::newRow("first resident starts a count, free counter goes below 0")
            << wang(u"N"_s, u"O"_s) << QString() << u"A,1,3|B,3,1|F,2,1|O,2,-1/A,1|B,3|B,0|G,1|O,1/P1|P2|P3|P4|N"_s;
        QTest::newRow("case and blanks make another staff number")
            << wang(u"p1 "_s, u"A"_s) << QString() << u"A,2,2|B,3,1|F,2,1|O,1,0/A,2|B,3|B,0|G,1/P1|P2|P3|P4|p1 "_s;
        QTest::newRow("16 bytes is long enough")
            << wang(u"一二三四五六七八"_s, u"A"_s) << QString()
            << u"A,2,2|B,3,1|F,2,1|O,1,0/A,2|B,3|B,0|G,1/P1|P2|P3|P4|一二三四五六七八"_s;

        const auto refused = [](const char *name, const QStringList &form, const QString &message) {
            QTest::newRow(name) << form << message << QString();
        };
        const QStringList messages{u"请输入入住人的姓名！"_s, u"请输入性别！"_s,     u"请输入部门！"_s,
                                   u"请输入工号！"_s,         u"请输入手机号码！"_s, u"请输入入住日期！"_s,
                                   u"请输入房间号码！"_s};
        // Each field empty alone, with a duplicate staff number behind it that is never reached.
        for (int field = 0; field < messages.size(); ++field) {
            QStringList form = wang(u"P1"_s, u"A"_s);
            form[field].clear();
            QTest::addRow("empty field %d", field) << form << messages[field] << QString();
        }
        refused("every field empty: the name is told", QStringList(7, QString()), messages[0]);
        refused("a blank is not empty", {u" "_s, u" "_s, u" "_s, u"P1"_s, u" "_s, u"2004-01-05"_s, u" "_s},
                u"你输入的工号已经存在，请不要重复输入！"_s);
        refused("17 bytes, before the duplicate test", wang(u"P1一二三四五六七八"_s, u"A"_s),
                u"请输入不超过 16 个字符（一个汉字算两个字符）。"_s);
        refused("duplicate before the room", wang(u"P1"_s, u"nowhere"_s), u"你输入的工号已经存在，请不要重复输入！"_s);
        refused("full by residents, not by the counter", wang(u"N"_s, u"F"_s),
                u"你选择的房间已经住满，请选择其他房间入住！"_s);
        refused("trailing blank names no room", wang(u"N"_s, u"A "_s),
                u"你输入的房间号码在数据库中不存在，请重新输入！"_s);
    }
    void checkIn()
    {
        QFETCH(QStringList, form);
        QFETCH(QString, message);
        QFETCH(QString, after);
        Fixture f;
        const QString before = f.everything();
        const ops::Outcome outcome = ops::checkIn(f.db.connection(), checkInForm(form));
        QCOMPARE(outcome.done, message.isEmpty());
        QCOMPARE(outcome.message, message);
        QCOMPARE(outcome.changed, message.isEmpty() ? kCheckInWrites : QStringList());
        QCOMPARE(after.isEmpty() ? f.everything() : f.tables(), after.isEmpty() ? before : after);
    }

    void checkInStoresTheForm()
    {
        Fixture f;
        f.db.exec(u"DELETE FROM numinfo"_s);
        const QStringList form{u"李四"_s, u"不详"_s, u"数学系"_s, u"s1"_s, u"13900000000"_s, u"2004-01-05"_s, u"A"_s};
        QVERIFY(ops::checkIn(f.db.connection(), checkInForm(form)).done);
        QCOMPARE(f.db.text(u"SELECT * FROM personinfo WHERE rowid > 4"_s),
                 u"李四,不详,数学系,s1,13900000000,2004-01-05,A"_s);
        // An empty count table gets its first row; the counters are stored as integers (a server's
        // columns have their types).
        QCOMPARE(f.db.text(u"SELECT 房间号码 FROM numinfo"_s), u"A"_s);
        if (!f.db.isServer()) {
            QCOMPARE(f.db.text(u"SELECT 房间号码, typeof(入住人数) FROM numinfo"_s), u"A,integer"_s);
            QCOMPARE(f.db.text(u"SELECT typeof(入住人数), typeof(空缺人数) FROM floorinfo WHERE 房间号码 = 'A'"_s),
                     u"integer,integer"_s);
        }
    }

    void checkOut_data()
    {
        QTest::addColumn<QString>("staffNo");
        QTest::addColumn<QString>("room");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("after"); // see tables(); empty: nothing written
        QTest::addColumn<QStringList>("changed");
        QTest::addColumn<QString>("setUp");
        const QStringList all{u"personinfo"_s, u"numinfo"_s, u"floorinfo"_s, u"residence_history"_s};
        QTest::newRow("only resident: the count row goes")
            << u"P1"_s << u"A"_s << kDone << u"A,0,4|B,3,1|F,2,1|O,1,0/B,3|B,0|G,1/P2|P3|P4"_s << all << QString();
        QTest::newRow("one of two: every count row falls, 0 to -1")
            << u"P2"_s << u"B"_s << kDone << u"A,1,3|B,2,2|F,2,1|O,1,0/A,1|B,2|B,-1|G,1/P1|P3|P4"_s << all << QString();
        QTest::newRow("room no longer exists")
            << u"P4"_s << u"G"_s << kDone << u"A,1,3|B,3,1|F,2,1|O,1,0/A,1|B,3|B,0/P1|P2|P3"_s
            << QStringList{u"personinfo"_s, u"numinfo"_s, u"residence_history"_s} << QString();
        QTest::newRow("no count row") << u"P1"_s << u"A"_s << kDone << u"A,0,4|B,3,1|F,2,1|O,1,0/B,3|B,0|G,1/P2|P3|P4"_s
                                      << QStringList{u"personinfo"_s, u"floorinfo"_s, u"residence_history"_s}
                                      << u"DELETE FROM numinfo WHERE 房间号码 = 'A'"_s;
        const auto refused = [](const char *name, const QString &staffNo, const QString &room, const QString &message) {
            QTest::newRow(name) << staffNo << room << message << QString() << QStringList() << QString();
        };
        refused("wrong room", u"P1"_s, u"B"_s, u"您输入的工号和房间号码不匹配，请重新输入！"_s);
        refused("case differs", u"p1"_s, u"A"_s, u"您输入的工号还没有入住，请不要对此工号操作！"_s);
        refused("trailing blank", u"P1 "_s, u"A"_s, u"您输入的工号还没有入住，请不要对此工号操作！"_s);
        refused("not resident, whatever the room", u"N"_s, u"nowhere"_s,
                u"您输入的工号还没有入住，请不要对此工号操作！"_s);
        refused("no staff number", QString(), u"A"_s, u"请输入员工的工号！"_s);
        refused("both empty: the staff number is told", QString(), QString(), u"请输入员工的工号！"_s);
        refused("no room", u"P1"_s, QString(), u"请输入员工的房间号码！"_s);
    }
    void checkOut()
    {
        QFETCH(QString, staffNo);
        QFETCH(QString, room);
        QFETCH(QString, message);
        QFETCH(QString, after);
        QFETCH(QStringList, changed);
        QFETCH(QString, setUp);
        Fixture f;
        if (!setUp.isEmpty())
            f.db.exec(setUp);
        const QString before = f.everything();
        const ops::Outcome outcome = ops::checkOut(f.db.connection(), {staffNo, room});
        QCOMPARE(outcome.done, !changed.isEmpty());
        QCOMPARE(outcome.message, message);
        QCOMPARE(outcome.changed, changed);
        QCOMPARE(after.isEmpty() ? f.everything() : f.tables(), after.isEmpty() ? before : after);
    }
};

QTEST_MAIN(TestOpsAccommodation)
#include "test_ops_accommodation.moc"
