#include "operations/rooms.h"

#include "data/columns.h"
#include "data/recordset.h"
#include "support/teststore.h"

using namespace orv;
using namespace Qt::StringLiterals;

namespace {

const QString kOccupied = u"此房间里有人入住，请不要删除，如果你要删除请先把入住的人迁出再删除！"_s;
const QString kOutOfDate = u"房间列表已经过时（房间已在别处被修改或删除），列表已重新显示，请重新选择房间！"_s;

// A fresh database; tables are compared as "a,b|c,d" texts.
struct Rooms {
    test::TestStore db;

    void insert(const QString &room, int residents = 0)
    {
        db.exec(u"INSERT INTO floorinfo VALUES ('%1','女','555','1','2',6,120,35,%2,6-%2)"_s.arg(room).arg(residents));
    }
    QString stored(const QString &columns = u"房间号码"_s)
    {
        return db.text(u"SELECT %1 FROM floorinfo ORDER BY rowid"_s.arg(columns));
    }
    // The rooms as listed: each one's number and bookmark.
    QList<ops::RoomRow> listed()
    {
        QList<ops::RoomRow> rows;
        ops::listRooms(db.connection(), [&rows](Recordset &room) {
            rows.append({room.Bookmark(), room.GetCollect(db::floorinfo::roomNo).toText()});
        });
        if (!rows.isEmpty())
            rows.last().last = true;
        return rows;
    }
};

} // namespace

class TestOpsRooms final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void listHandsOverEveryRoomInOrder()
    {
        Rooms f;
        const ops::Outcome empty = ops::listRooms(f.db.connection(), [](Recordset &) { QFAIL("no room to list"); });
        QVERIFY(!empty.done);
        QCOMPARE(empty.message, u"数据库中没有记录,请您添加了记录之后在操作"_s);

        for (const QString &room : {u"b2"_s, u"a1"_s, u"c3 "_s})
            f.insert(room);
        QVERIFY(ops::listRooms(f.db.connection(), [](Recordset &) {}).done);
        QStringList rooms;
        for (const ops::RoomRow &row : f.listed())
            rooms.append(row.roomNo);
        QCOMPARE(rooms.join(u'|'), u"b2|a1|c3 "_s);
    }

    // Only an exact duplicate is refused, and the user's text goes into no statement.
    void addChecksInOrder_data()
    {
        QTest::addColumn<QString>("form");    // room, phone, phone port, net port, sex
        QTest::addColumn<QString>("message"); // empty: stored
        QTest::addColumn<bool>("ends");
        QTest::newRow("all empty") << "||||" << u"请输入用户名"_s << true;
        QTest::newRow("phone, sex empty") << "9||1|2|" << u"请输入电话号码"_s << false;
        QTest::newRow("phone port empty") << "9|5|||" << u"请输入电话端口号"_s << false;
        QTest::newRow("net port empty") << "9|5|1||" << u"请输入网线端口号"_s << false;
        QTest::newRow("sex empty") << "A101|5|1|2|" << u"请输入性别"_s << false;
        QTest::newRow("duplicate") << "A101|5|1|2|男" << u"您输入的房间号码已经存在，请不要重复输入"_s << false;
        for (const char *room : {"a101", "A101 ", "O'Neil"})
            QTest::newRow(room) << QString::fromUtf8(room) + u"|5|1|2|男"_s << QString() << false;
    }
    void addChecksInOrder()
    {
        QFETCH(QString, form);
        QFETCH(QString, message);
        QFETCH(bool, ends);
        Rooms f;
        f.insert(u"A101"_s);
        const QStringList v = form.split(u'|');
        ops::AddedRoom added;
        const ops::Outcome outcome = ops::addRoom(f.db.connection(), {v[0], v[1], v[2], v[3], 6, 1, 1, v[4]}, added);
        QCOMPARE(outcome.done, message.isEmpty());
        QCOMPARE(outcome.message, message);
        if (!outcome.done)
            QCOMPARE(ops::endsAdd(outcome), ends);
        QCOMPARE(f.stored(), outcome.done ? u"A101|"_s + v[0] : u"A101"_s);
    }

    // The residents numinfo still counts for the number come back with it, the last count winning,
    // even one above the capacity.
    void addStoresTheRoomWithItsResidents_data()
    {
        QTest::addColumn<QString>("counts");
        QTest::addColumn<QString>("residents");
        QTest::newRow("no count") << "('102',4),('101 ',1)"
                                  << "0,6";
        QTest::newRow("last of two, over capacity") << "('101',2),('102',1),('101',8)"
                                                    << "8,-2";
    }
    void addStoresTheRoomWithItsResidents()
    {
        QFETCH(QString, counts);
        QFETCH(QString, residents);
        Rooms f;
        f.insert(u"1"_s);
        f.db.exec(u"INSERT INTO numinfo VALUES "_s + counts);
        ops::AddedRoom added;
        const ops::RoomForm form{u"101"_s, u"0571-8888666699"_s, u"7"_s, u"8"_s, 6, 999999, 1, u"男"_s};
        const ops::Outcome outcome = ops::addRoom(f.db.connection(), form, added);
        QVERIFY(outcome.done);
        QVERIFY(outcome.message.isEmpty());
        QCOMPARE(outcome.changed, QStringList{u"floorinfo"_s});
        QCOMPARE(f.db.text(u"SELECT * FROM floorinfo WHERE rowid = 2"_s),
                 u"101,男,0571-8888666699,7,8,6,999999,1,"_s + residents);
        QCOMPARE(added.cells.join(u'|'), u"101|男|0571-8888666699|7|8|6|999999|1"_s);
        QCOMPARE(added.roomsBefore, 1L);
        QCOMPARE(added.bookmark, f.listed().last().bookmark);
    }

    // Modify hands over the room's values (the form's own sex kept) while the room is still
    // stored, then takes it out.
    void modifyShowsTheRoomAndTakesItOut()
    {
        Rooms f;
        for (int room = 1; room <= 3; ++room)
            f.insert(QString::number(room), room == 2 ? 2 : 0);
        QList<ops::RoomForm> shown;
        QString storedWhenShown;
        const ops::Outcome outcome =
            ops::modifyRoom(f.db.connection(), f.listed().at(1), {u"x"_s, u"x"_s, u"x"_s, u"x"_s, 3, 7, 7, u"男女"_s},
                            [&](const ops::RoomForm &form) {
                                shown.append(form);
                                storedWhenShown = f.stored();
                            });
        QVERIFY(outcome.done);
        QCOMPARE(outcome.changed, QStringList{u"floorinfo"_s});
        QCOMPARE(shown.size(), 1);
        const ops::RoomForm &form = shown.first();
        QCOMPARE(QStringList({form.roomNo, form.phone, form.phonePort, form.netPort, QString::number(form.capacity),
                              QString::number(form.waterBase), QString::number(form.powerBase), form.sex})
                     .join(u'|'),
                 u"2|555|1|2|6|120|35|男女"_s);
        QCOMPARE(storedWhenShown, u"1|2|3"_s);
        QCOMPARE(f.stored(), u"1|3"_s);
    }

    void deleteTakesOutOnlyAnEmptyRoom_data()
    {
        QTest::addColumn<int>("residents");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("message"); // empty: deleted
        QTest::newRow("empty, middle") << 0 << 2 << QString();
        QTest::newRow("empty, last") << 0 << 4 << QString();
        QTest::newRow("occupied, first") << 1 << 0 << kOccupied;
        QTest::newRow("occupied, last") << 1 << 4 << kOccupied + u"!!"_s;
    }
    void deleteTakesOutOnlyAnEmptyRoom()
    {
        QFETCH(int, residents);
        QFETCH(int, row);
        QFETCH(QString, message);
        Rooms f;
        for (int room = 1; room <= 5; ++room)
            f.insert(QString::number(room), residents);
        const ops::Outcome outcome = ops::deleteRoom(f.db.connection(), f.listed().at(row));
        QCOMPARE(outcome.done, message.isEmpty());
        QCOMPARE(outcome.message, message);
        QVERIFY(!ops::rowOutOfDate(outcome));
        QStringList left{u"1"_s, u"2"_s, u"3"_s, u"4"_s, u"5"_s};
        if (outcome.done)
            left.removeAt(row);
        QCOMPARE(f.stored(), left.join(u'|'));
    }

    // A row whose room has gone or been renumbered since it was listed is not acted on.
    void modifyAndDeleteRefuseAStaleRow_data()
    {
        QTest::addColumn<bool>("modify");
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("left");
        const QString renumber = u"UPDATE floorinfo SET 房间号码='2b' WHERE 房间号码='2'"_s;
        const QString remove = u"DELETE FROM floorinfo WHERE 房间号码='2'"_s;
        QTest::newRow("modify, renumbered") << true << renumber << "1|2b|3";
        QTest::newRow("modify, deleted") << true << remove << "1|3";
        QTest::newRow("delete, renumbered") << false << renumber << "1|2b|3";
        QTest::newRow("delete, deleted") << false << remove << "1|3";
    }
    void modifyAndDeleteRefuseAStaleRow()
    {
        QFETCH(bool, modify);
        QFETCH(QString, change);
        QFETCH(QString, left);
        Rooms f;
        for (int room = 1; room <= 3; ++room)
            f.insert(QString::number(room));
        const ops::RoomRow row = f.listed().at(1);
        f.db.exec(change);
        bool shown = false;
        const ops::Outcome outcome =
            modify ? ops::modifyRoom(f.db.connection(), row, {u"x"_s, u"555"_s, u"1"_s, u"2"_s, 6, 120, 35, u"男"_s},
                                     [&shown](const ops::RoomForm &) { shown = true; })
                   : ops::deleteRoom(f.db.connection(), row);
        QVERIFY(!outcome.done);
        QCOMPARE(outcome.message, kOutOfDate);
        QVERIFY(ops::rowOutOfDate(outcome));
        QVERIFY(!shown);
        QCOMPARE(f.stored(), left);
    }
};

QTEST_GUILESS_MAIN(TestOpsRooms)
#include "test_ops_rooms.moc"
