#include "pages/rooms/roomspage.h"

#include "kit/reportlist.h"
#include "support/teststore.h"
#include "support/testsupport.h"

#include <QLineEdit>
#include <QPushButton>

using namespace orv;
using namespace Qt::StringLiterals;

namespace {

// The room page on a fresh database, shown and active, every box answered. Forms, lists and
// tables are compared as "a|b|c" texts, a table row's values joined by ",".
struct Fixture {
    test::TestStore db;
    test::Answers answers;
    RoomsPage page{db.connection()};
    ReportList *list = test::child<ReportList>(&page, u"roomList"_s);
    QPushButton *modify = test::child<QPushButton>(&page, u"modifyRoomButton"_s);
    QPushButton *remove = test::child<QPushButton>(&page, u"deleteRoomButton"_s);

    Fixture()
    {
        page.show();
        page.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&page));
    }
    QLineEdit *edit(const QString &name) { return test::child<QLineEdit>(&page, name); }
    void press(const QString &name) { test::press(&page, name); }
    // Capacity 6, readings 120 and 35.
    void insert(const QString &room, int residents = 0)
    {
        db.exec(u"INSERT INTO floorinfo VALUES ('%1','女','555','1','2',6,120,35,%2,6-%2)"_s.arg(room).arg(residents));
    }
    void fill(const QString &values) { test::fillRoom(&page, values.split(u'|')); }
    void add(const QString &room)
    {
        fill(u"%1|555|1|2|6|120|35|男"_s.arg(room));
        press(u"addRoomButton"_s);
    }
    QString stored(const QString &columns = u"房间号码"_s)
    {
        return db.text(u"SELECT %1 FROM floorinfo ORDER BY rowid"_s.arg(columns));
    }
    // The rooms of the list, and of the table too when the two differ.
    QString rooms()
    {
        QStringList listed;
        for (int r = 0; r < list->rowCount(); ++r)
            listed.append(list->cellText(r, 0));
        return listed.join(u'|') == stored() ? stored() : listed.join(u'|') + u" listed, stored "_s + stored();
    }
    // A click on a row, or below the rows for -1.
    void clickRow(int row)
    {
        const int y = row < 0 ? list->viewport()->height() - 2 : list->rowViewportPosition(row) + 5;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(10, y));
    }
    // Modify and delete stay enabled while an operation goes on and are disabled once it has ended.
    void expectOngoing(bool ongoing)
    {
        QCOMPARE(modify->isEnabled(), ongoing);
        QCOMPARE(remove->isEnabled(), ongoing);
    }
};

} // namespace

class TestRooms final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void listing()
    {
        Fixture f;
        f.press(u"listRoomsButton"_s);
        QCOMPARE(f.answers->texts(), QStringList{u"数据库中没有记录,请您添加了记录之后在操作"_s});

        for (const QString &room : {u"b2"_s, u"a1"_s, u"c3 "_s})
            f.insert(room);
        f.clickRow(-1);
        f.press(u"listRoomsButton"_s);
        QCOMPARE(f.answers->texts().size(), 1);
        QCOMPARE(f.rooms(), u"b2|a1|c3 "_s);
        QCOMPARE(f.list->rowTexts(0).join(u'|'), u"b2|女|555|1|2|6|120|35"_s);
        f.expectOngoing(false);
    }

    void addRefusesFirstFault_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("ended"); // false: the buttons keep their state
        const QString range8 = u"请输入一个介于 1 和 8 之间的整数。"_s;
        const QString reading = u"请输入一个介于 1 和 999999 之间的数字。"_s;
        const QString bytes = u"请输入不超过 20 个字符（一个汉字算两个字符）。"_s;
        QTest::newRow("capacity 0") << u"1|5|1|2|0|x||"_s << range8 << true;
        QTest::newRow("power 1000000") << u"1|5|1|2|6|1|1000000|男"_s << reading << true;
        QTest::newRow("room 21 bytes") << u"一二三四五六七八九十1||||0"_s << bytes << true;
        QTest::newRow("room empty") << u"||||6|1|1|"_s << u"请输入用户名"_s << true;
        QTest::newRow("sex empty") << u"1|5|1|2|6|1|1|"_s << u"请输入性别"_s << false;
    }
    void addRefusesFirstFault()
    {
        QFETCH(QString, form);
        QFETCH(QString, message);
        QFETCH(bool, ended);
        Fixture f;
        f.fill(form);
        f.clickRow(-1);
        f.press(u"addRoomButton"_s);
        QCOMPARE(f.answers->texts(), QStringList{message});
        QVERIFY(f.rooms().isEmpty());
        f.expectOngoing(!ended);
    }

    void addStoresTheLongestValues()
    {
        Fixture f;
        f.insert(u"1"_s);
        const QString ten = u"一二三四五六七八九十"_s;
        QVERIFY(!test::typeText(f.edit(u"roomNoEdit"_s), ten + u"一"_s));
        f.fill(ten + u"|0571-8888666699|1|2|8|999999|1|男"_s);
        f.press(u"addRoomButton"_s);
        // A number numinfo does not know starts with nobody in.
        QCOMPARE(f.db.text(u"SELECT * FROM floorinfo WHERE rowid = 2"_s),
                 ten + u",男,0571-8888666699,1,2,8,999999,1,0,8"_s);
        f.add(u"A101"_s);
        QCOMPARE(f.answers->texts(), QStringList());
        // The list was never filled, so the first add shows every room rather than a misplaced row.
        QCOMPARE(f.rooms(), u"1|%1|A101"_s.arg(ten));
    }

    void modifyTakesRoomOutAndAddBringsItBack()
    {
        Fixture f;
        for (int room = 1; room <= 3; ++room)
            f.insert(QString::number(room));
        f.press(u"listRoomsButton"_s);
        f.fill(u"x|x|x|x|3|7|7|男女"_s);
        f.clickRow(1);
        f.press(u"modifyRoomButton"_s);
        QCOMPARE(f.answers->texts(), QStringList());
        f.expectOngoing(false);
        QCOMPARE(f.rooms(), u"1|3"_s);
        // Modify put the row into the form, as the add shows.
        f.press(u"addRoomButton"_s);
        QCOMPARE(f.stored(u"房间号码, 入住性别"_s), u"1,女|3,女|2,男女"_s);
        QCOMPARE(f.list->rowTexts(2).join(u'|'), u"2|男女|555|1|2|6|120|35"_s);
    }

    void deleteRefusesAnOccupiedRoom()
    {
        const QString occupied = u"此房间里有人入住，请不要删除，如果你要删除请先把入住的人迁出再删除！"_s;
        Fixture f;
        for (int room = 1; room <= 3; ++room)
            f.insert(QString::number(room), 1);
        f.press(u"listRoomsButton"_s);
        f.clickRow(0);
        f.press(u"deleteRoomButton"_s);
        f.clickRow(2); // the last row, which only the page can tell the operation
        f.press(u"deleteRoomButton"_s);
        QCOMPARE(f.answers->texts(), (QStringList{occupied, occupied + u"!!"_s}));
        QCOMPARE(f.rooms(), u"1|2|3"_s);
        f.expectOngoing(true);
        f.clickRow(-1); // no row: nothing to delete
        QVERIFY(f.remove->isEnabled());
        f.press(u"deleteRoomButton"_s);
        QCOMPARE(f.rooms(), u"1|2|3"_s);
        f.expectOngoing(false);
    }

    void modifyAndDeleteActOnTheRoomTheRowShows()
    {
        const QString outOfDate = u"房间列表已经过时（房间已在别处被修改或删除），列表已重新显示，请重新选择房间！"_s;
        Fixture f;
        for (int room = 1; room <= 5; ++room)
            f.insert(QString::number(room));
        f.press(u"listRoomsButton"_s);
        f.add(u"6"_s);
        f.clickRow(1);
        f.press(u"deleteRoomButton"_s);
        f.clickRow(4);
        f.press(u"modifyRoomButton"_s);
        QCOMPARE(f.edit(u"roomNoEdit"_s)->text(), u"6"_s);
        QCOMPARE(f.rooms(), u"1|3|4|5"_s);

        // Another window deletes room 4 and renumbers room 1; this list still shows both.
        const std::unique_ptr<Connection> other = f.db.anotherDesk();
        other->execute(u"DELETE FROM floorinfo WHERE 房间号码='4'"_s);
        other->execute(u"UPDATE floorinfo SET 房间号码='1b' WHERE 房间号码='1'"_s);
        f.clickRow(3);
        f.press(u"deleteRoomButton"_s); // the row shows 5, which is still there
        QCOMPARE(f.stored(), u"1b|3"_s);
        QCOMPARE(f.answers->texts(), QStringList());
        QCOMPARE(f.rooms(), u"1|3|4 listed, stored 1b|3"_s);
        f.clickRow(2); // shows 4, which is gone
        f.press(u"deleteRoomButton"_s);
        QCOMPARE(f.answers->texts(), QStringList{outOfDate});
        QCOMPARE(f.rooms(), u"1b|3"_s);
    }
};

QTEST_MAIN(TestRooms)
#include "test_rooms.moc"
