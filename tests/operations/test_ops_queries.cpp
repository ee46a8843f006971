#include "data/columns.h"
#include "data/recordset.h"
#include "operations/queries.h"
#include "support/teststore.h"

#include <QtTest>

using namespace orv;
using namespace orv::test;
using namespace Qt::StringLiterals;

namespace {

namespace people = db::personinfo;
namespace rooms = db::floorinfo;

const QStringList kPersonColumns = {people::name, people::sex,    people::room, people::staffNo,
                                    people::dept, people::mobile, people::date};
const QStringList kRoomColumns = {rooms::roomNo,   rooms::phone,     rooms::phonePort, rooms::netPort,
                                  rooms::capacity, rooms::waterBase, rooms::powerBase};

// What a caller's list would show: whether it was emptied, the first value of each row handed
// over, and the first row in full.
struct Listed {
    int restarts = 0;
    QStringList keys;
    QString first;

    ops::Listing listing(const QStringList &columns)
    {
        return {[this] { ++restarts; },
                [this, columns](const Recordset &set) {
                    QStringList row;
                    for (const QString &column : columns)
                        row.append(set.GetCollect(column).toDisplayText());
                    if (keys.isEmpty())
                        first = row.join(u'|');
                    keys.append(row.first());
                }};
    }
};

struct Fixture {
    TestStore db;

    Fixture()
    {
        db.exec(u"INSERT INTO personinfo (姓名, 性别, 部门, 工号, 手机, 日期, 房间) VALUES"
                "('张伟','男','计算机系','2004001','138001','2004-03-15','101'),"
                "('李娜','女','外语系','2004002','138002','2004-04-01','102'),"
                "('王强','男','数学系','2004003','138003','2004-05-10','101'),"
                "('O''Neil','M''','外语系','2004004','138004','2004-06-01','1''01');"
                "INSERT INTO floorinfo VALUES ('101','男','0571-1101','206','618',6,120,35,2,4),"
                "('10','男','0571-1010','207','619',4,88,240,0,4), ('102','女','0571-1102','208','206',4,56,130,1,3),"
                "('1''01','女','0571''9','209','621',2,1,2,0,2), ('103 ','男','0571-1103','210','622',8,15,22,0,8)"_s);
    }
};

// A refusal before the statement runs leaves the list alone; a search that ran empties it once.
void verifyOutcome(const ops::Outcome &outcome, const Listed &listed, const QString &message, bool restarted)
{
    QCOMPARE(outcome.message, message);
    QCOMPARE(outcome.done, message.isEmpty());
    QVERIFY(outcome.changed.isEmpty());
    QCOMPARE(listed.restarts, restarted ? 1 : 0);
}

} // namespace

class TestOpsQueries final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void listAllPersons_data()
    {
        QTest::addColumn<bool>("anyone");
        QTest::addColumn<QString>("found");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("message");
        QTest::newRow("everyone in check-in order")
            << true << u"张伟,李娜,王强,O'Neil"_s << u"张伟|男|101|2004001|计算机系|138001|2004-03-15"_s << QString();
        QTest::newRow("nobody") << false << QString() << QString() << u"还没有人入住，数据库为空！"_s;
    }
    void listAllPersons()
    {
        QFETCH(bool, anyone);
        QFETCH(QString, found);
        QFETCH(QString, first);
        QFETCH(QString, message);
        Fixture f;
        if (!anyone)
            f.db.exec(u"DELETE FROM personinfo"_s);
        Listed listed;
        const ops::Outcome outcome = ops::listAllPersons(f.db.connection(), listed.listing(kPersonColumns));
        verifyOutcome(outcome, listed, message, true);
        QCOMPARE(listed.keys.join(u','), found);
        QCOMPARE(listed.first, first);
    }

    void queryPersons_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("sex");
        QTest::addColumn<QString>("room");
        QTest::addColumn<QString>("found");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("restarted");
        const QString none = u"没有满足你要查询的记录！"_s;
        QTest::newRow("nothing typed") << u""_s << u""_s << u""_s << QString() << u"请输入查询条件！"_s << false;
        QTest::newRow("name") << u"李娜"_s << QString() << QString() << u"李娜"_s << QString() << true;
        // The last filled criterion decides.
        QTest::newRow("name, sex") << u"李娜"_s << u"男"_s << QString() << u"张伟,王强"_s << QString() << true;
        QTest::newRow("all three") << u"张伟"_s << u"男"_s << u"102"_s << u"李娜"_s << QString() << true;
        QTest::newRow("room is exact") << QString() << QString() << u"10"_s << QString() << none << true;
        QTest::newRow("trailing blank") << QString() << QString() << u"101 "_s << QString() << none << true;
        QTest::newRow("' in room") << QString() << QString() << u"1'01"_s << u"O'Neil"_s << QString() << true;
    }
    void queryPersons()
    {
        QFETCH(QString, name);
        QFETCH(QString, sex);
        QFETCH(QString, room);
        QFETCH(QString, found);
        QFETCH(QString, message);
        QFETCH(bool, restarted);
        Fixture f;
        Listed listed;
        const ops::Outcome outcome =
            ops::queryPersons(f.db.connection(), {name, sex, room}, listed.listing(kPersonColumns));
        verifyOutcome(outcome, listed, message, restarted);
        QCOMPARE(listed.keys.join(u','), found);
    }

    void queryRooms_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("found");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("restarted");
        const QString room = u"  房间号码"_s;
        const QString chooseFirst = u"请您选择完查询方式后再操作！"_s;
        const QString none = u"数据库中没有你要查询的记录！"_s;
        QTest::newRow("no field, no value") << QString() << QString() << QString() << chooseFirst << false;
        QTest::newRow("no value") << room << u""_s << QString() << u"请您输入查询条件！"_s << false;
        QTest::newRow("room is exact") << room << u"10"_s << u"10"_s << QString() << true;
        QTest::newRow("trailing blank missing") << room << u"103"_s << QString() << none << true;
        QTest::newRow("trailing blank typed") << room << u"103 "_s << u"103 "_s << QString() << true;
        QTest::newRow("' in telephone") << u"  电话号码"_s << u"0571'9"_s << u"1'01"_s << QString() << true;
        // 206 is room 101's telephone port and room 102's network port.
        QTest::newRow("telephone port") << u"  电话端口"_s << u"206"_s << u"101"_s << QString() << true;
        QTest::newRow("network port") << u"  网线端口"_s << u"206"_s << u"102"_s << QString() << true;
    }
    void queryRooms()
    {
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(QString, found);
        QFETCH(QString, message);
        QFETCH(bool, restarted);
        Fixture f;
        Listed listed;
        const ops::Outcome outcome = ops::queryRooms(f.db.connection(), {field, value}, listed.listing(kRoomColumns));
        verifyOutcome(outcome, listed, message, restarted);
        QCOMPARE(listed.keys.join(u','), found);
    }

    // A statement the store refuses ends the query before the caller's list is touched.
    void failedStatementKeepsTheList()
    {
        Fixture f;
        f.db.exec(f.db.isServer() ? u"DROP VIEW personinfo"_s : u"DROP TABLE personinfo"_s);
        Listed listed;
        const StoreError error = storeErrorOf([&] {
            ops::queryPersons(f.db.connection(), {{}, {}, u"101"_s}, listed.listing(kPersonColumns));
        });
        QVERIFY(error.code() != 0);
        QCOMPARE(listed.restarts, 0);
    }
};

QTEST_GUILESS_MAIN(TestOpsQueries)
#include "test_ops_queries.moc"
