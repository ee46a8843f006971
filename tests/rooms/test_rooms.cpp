#include "pages/rooms/cdialog2.h"

#include "data/recordset.h"
#include "support/testsupport.h"
#include "ui/reportlist.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace orv;
using orv::test::child;

namespace {

QString S(const char *text)
{
    return QString::fromUtf8(text);
}
QStringList L(std::initializer_list<const char *> texts)
{
    QStringList list;
    for (const char *text : texts)
        list.append(S(text));
    return list;
}
QList<QStringList> R(std::initializer_list<std::initializer_list<const char *>> rows)
{
    QList<QStringList> list;
    for (auto row : rows)
        list.append(L(row));
    return list;
}

const QString kRooms = QStringLiteral("SELECT * FROM floorinfo ORDER BY rowid");
const QString kRoomNos = QStringLiteral("SELECT 房间号码 FROM floorinfo ORDER BY rowid");
const QString kOccupied = QStringLiteral("此房间里有人入住，请不要删除，如果你要删除请先把入住的人迁出再删除！");

// A fresh database with the room page on it and every message box answered.
struct Fixture {
    test::TestDatabase db;
    test::Answers answers;
    CDialog2 page{db.connection()};
    ReportList *list = child<ReportList>(&page, QStringLiteral("roomList"));

    Fixture()
    {
        page.show();
        page.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&page));
    }
    QLineEdit *edit(const char *name) { return child<QLineEdit>(&page, QString::fromLatin1(name)); }
    QPushButton *button(const char *name) { return child<QPushButton>(&page, QString::fromLatin1(name)); }
    // Rooms straight into the table: number, residents, readings 120 and 35, capacity 6.
    void insert(const QString &room, int residents = 0)
    {
        db.exec(QStringLiteral("INSERT INTO floorinfo VALUES ('%1','女','555','1','2',6,120,35,%2,%3)")
                    .arg(room).arg(residents).arg(6 - residents));
    }
    void fill(const QStringList &values)
    {
        const char *names[] = {"roomNoEdit", "phoneEdit", "phonePortEdit", "netPortEdit",
                               "capacityEdit", "waterBaseEdit", "powerBaseEdit", "sexEdit"};
        for (int i = 0; i < values.size(); ++i)
            edit(names[i])->setText(values[i]);
    }
    void add(const QString &room, const QString &capacity = QStringLiteral("6"))
    {
        fill({room, QStringLiteral("555"), QStringLiteral("1"), QStringLiteral("2"), capacity,
              QStringLiteral("120"), QStringLiteral("35"), QStringLiteral("男")});
        test::click(button("addRoomButton"));
    }
    QStringList column0()
    {
        QStringList rooms;
        for (int r = 0; r < list->rowCount(); ++r)
            rooms.append(list->cellText(r, 0));
        return rooms;
    }
    void clickRow(int row)
    {
        const int y = row < 0 ? list->viewport()->height() - 2 : list->rowViewportPosition(row) + 5;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(10, y));
    }
    bool buttonsEnabled() { return page.m_btnModify->isEnabled() && page.m_btnDelete->isEnabled(); }
};

} // namespace

class TestRooms final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void startsWithSampleFormAndOpenSets()
    {
        Fixture f;
        QCOMPARE(f.edit("roomNoEdit")->text(), QStringLiteral("6-8-518"));
        QCOMPARE(f.edit("sexEdit")->text(), QStringLiteral("男"));
        QCOMPARE(f.edit("capacityEdit")->text(), QStringLiteral("6"));
        QCOMPARE(f.edit("waterBaseEdit")->text(), QStringLiteral("0"));
        QVERIFY(!f.page.m_btnModify->isEnabled() && !f.page.m_btnDelete->isEnabled());
        QVERIFY(f.page.m_pRoomSet->State() != adStateClosed && f.page.m_pNumSet->State() != adStateClosed);
        QCOMPARE(f.list->horizontalHeaderItem(7)->text(), QStringLiteral("电表底数"));
        for (QLabel *label : f.page.findChildren<QLabel *>())
            QVERIFY2(label->buddy() || label->parent() != &f.page, qPrintable(label->text()));
    }

    void listsEmptyAndFilledTables()
    {
        Fixture f;
        test::click(f.button("listRoomsButton"));
        QCOMPARE(f.answers->last(), QStringLiteral("数据库中没有记录,请您添加了记录之后在操作"));
        QCOMPARE(f.list->rowCount(), 0);
        QCOMPARE(f.page.m_pRoomSet->State(), adStateClosed);

        f.answers->clear();
        for (const char *room : {"b2", "a1", "c3 "})
            f.insert(QString::fromLatin1(room));
        f.clickRow(-1);
        test::click(f.button("listRoomsButton"));
        QVERIFY(f.answers->texts().isEmpty());
        QCOMPARE(f.column0(), L({"b2", "a1", "c3 "}));
        QCOMPARE(f.list->rowTexts(0), L({"b2", "女", "555", "1", "2", "6", "120", "35"}));
        QVERIFY(!f.page.m_btnModify->isEnabled());
        QCOMPARE(f.page.m_pRoomSet->State(), adStateClosed);
    }

    void addRefusesFirstFault_data()
    {
        QTest::addColumn<QStringList>("form");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        QTest::addColumn<bool>("ended"); // buttons disabled and room set closed
        const QString range8 = QStringLiteral("请输入一个介于 1 和 8 之间的整数。");
        const QString reading = QStringLiteral("请输入一个介于 1 和 100000 之间的数字。");
        const QString number = QStringLiteral("请输入一个数字。");
        QTest::newRow("capacity 0") << L({"1", "5", "1", "2", "0", "x", "", ""}) << range8 << S("capacityEdit") << true;
        QTest::newRow("capacity 9") << L({"1", "5", "1", "2", "9", "1", "1", "男"}) << range8 << S("capacityEdit") << true;
        QTest::newRow("capacity text") << L({"1", "5", "1", "2", "six", "1", "1", "男"})
                                       << QStringLiteral("请输入一个整数。") << S("capacityEdit") << true;
        QTest::newRow("water 0") << L({"1", "5", "1", "2", "6", "0", "1", "男"}) << reading << S("waterBaseEdit") << true;
        QTest::newRow("power empty") << L({"1", "5", "1", "2", "6", "1", "", "男"}) << number << S("powerBaseEdit") << true;
        QTest::newRow("power over") << L({"1", "5", "1", "2", "6", "1", "100001", "男"}) << reading << S("powerBaseEdit")
                                    << true;
        QTest::newRow("room 21 bytes") << L({"一二三四五六七八九十1", "", "", "", "0"})
                                       << QStringLiteral("请输入不超过 20 个字符（一个汉字算两个字符）。") << S("roomNoEdit")
                                       << true;
        QTest::newRow("phone 16 bytes") << L({"1", "1234567890123456", "", "", "0"})
                                        << QStringLiteral("请输入不超过 15 个字符（一个汉字算两个字符）。") << S("phoneEdit")
                                        << true;
        QTest::newRow("room empty") << L({"", "", "", "", "6", "1", "1", ""}) << QStringLiteral("请输入用户名") << S("")
                                    << true;
        QTest::newRow("phone and sex empty") << L({"1", "", "", "", "6", "1", "1", ""})
                                             << QStringLiteral("请输入电话号码") << S("") << false;
        QTest::newRow("phone port empty") << L({"1", "5", "", "2", "6", "1", "1", ""})
                                          << QStringLiteral("请输入电话端口号") << S("") << false;
        QTest::newRow("net port empty") << L({"1", "5", "1", "", "6", "1", "1", ""})
                                        << QStringLiteral("请输入网线端口号") << S("") << false;
        QTest::newRow("sex empty") << L({"1", "5", "1", "2", "6", "1", "1", ""}) << QStringLiteral("请输入性别") << S("")
                                   << false;
    }
    void addRefusesFirstFault()
    {
        QFETCH(QStringList, form);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        QFETCH(bool, ended);
        Fixture f;
        f.insert(QStringLiteral("0"));
        f.fill(form);
        f.page.OnClickRoomList(-1);
        const auto before = f.db.rows(kRooms);
        test::click(f.button("addRoomButton"));
        QCOMPARE(f.answers->texts(), QStringList{message});
        QCOMPARE(f.db.rows(kRooms), before);
        QCOMPARE(f.list->rowCount(), 0);
        if (!focus.isEmpty())
            QCOMPARE(QApplication::focusWidget(), f.edit(qPrintable(focus)));
        QCOMPARE(f.buttonsEnabled(), !ended);
        QCOMPARE(f.page.m_pRoomSet->State() == adStateClosed, ended);
    }

    void addStoresRoomWithOccupancyFromNuminfo_data()
    {
        QTest::addColumn<QStringList>("numinfo"); // room, residents, ...
        QTest::addColumn<QString>("capacity");
        QTest::addColumn<QStringList>("counters");
        QTest::newRow("not in numinfo") << L({"999", "4"}) << S("6") << L({"0", "6"});
        QTest::newRow("three living") << L({"101", "3"}) << S("6") << L({"3", "3"});
        QTest::newRow("eight in six beds") << L({"101", "8"}) << S("6") << L({"8", "-2"});
        QTest::newRow("last match wins") << L({"101", "2", "101", "5"}) << S("8") << L({"5", "3"});
    }
    void addStoresRoomWithOccupancyFromNuminfo()
    {
        QFETCH(QStringList, numinfo);
        QFETCH(QString, capacity);
        QFETCH(QStringList, counters);
        Fixture f;
        for (int i = 0; i < numinfo.size(); i += 2)
            f.db.exec(QStringLiteral("INSERT INTO numinfo VALUES ('%1', %2)").arg(numinfo[i], numinfo[i + 1]));
        f.add(QStringLiteral("101"), capacity);
        QVERIFY(f.answers->texts().isEmpty());
        QCOMPARE(f.db.rows(kRooms),
                 (QList<QStringList>{QStringList{S("101"), S("男"), S("555"), S("1"), S("2"), capacity, S("120"), S("35")} + counters}));
        QCOMPARE(f.list->rowTexts(0), (QStringList{S("101"), S("男"), S("555"), S("1"), S("2"), capacity, S("120"), S("35")}));
        QVERIFY(!f.buttonsEnabled());
        QCOMPARE(f.page.m_pRoomSet->State(), adStateClosed);
        QCOMPARE(f.page.m_pNumSet->State(), adStateOpen);
    }

    void addRefusesOnlyExactDuplicates()
    {
        Fixture f;
        f.add(QStringLiteral("A101"));
        f.add(QStringLiteral("A101"));
        QCOMPARE(f.answers->texts(), QStringList{QStringLiteral("您输入的房间号码已经存在，请不要重复输入")});
        QCOMPARE(f.page.m_pRoomSet->State(), adStateOpen);
        f.add(QStringLiteral("a101"));
        f.add(QStringLiteral("A101 "));
        f.add(QStringLiteral("O'Neil"));
        QCOMPARE(f.answers->texts().size(), 1);
        QCOMPARE(f.column0(), L({"A101", "a101", "A101 ", "O'Neil"}));
        QCOMPARE(f.db.rows(kRoomNos),
                 R({{"A101"}, {"a101"}, {"A101 "}, {"O'Neil"}}));
    }

    void addingBeforeListingShowsEveryRoom()
    {
        Fixture f;
        f.insert(QStringLiteral("1"));
        f.insert(QStringLiteral("2"));
        f.add(QStringLiteral("3"));
        QCOMPARE(f.column0(), L({"1", "2", "3"}));
        f.clickRow(0);
        test::click(f.button("deleteRoomButton"));
        QCOMPARE(f.db.rows(kRoomNos), R({{"2"}, {"3"}}));
    }

    void editsHoldNoMoreThanTheirBytes()
    {
        Fixture f;
        const QString ten = QStringLiteral("一二三四五六七八九十");
        QVERIFY(test::typeText(f.edit("roomNoEdit"), ten));
        QVERIFY(!test::typeText(f.edit("roomNoEdit"), ten + QStringLiteral("一")));
        QVERIFY(!test::typeText(f.edit("roomNoEdit"), ten + QStringLiteral("1")));
        QVERIFY(test::typeText(f.edit("phoneEdit"), QStringLiteral("0571-8888666699")));
        QVERIFY(!test::typeText(f.edit("phoneEdit"), QStringLiteral("0571-88886666999")));
        QVERIFY(!test::typeText(f.edit("phoneEdit"), QStringLiteral("电话电话电话电话")));
        QVERIFY(!test::typeText(f.edit("waterBaseEdit"), QStringLiteral("12.5")));
        QVERIFY(!test::typeText(f.edit("powerBaseEdit"), QStringLiteral("-3")));
        test::typeText(f.edit("roomNoEdit"), ten);
        test::typeText(f.edit("phoneEdit"), QStringLiteral("0571-8888666699"));
        f.edit("waterBaseEdit")->setText(QStringLiteral("100000"));
        f.edit("powerBaseEdit")->setText(QStringLiteral("1"));
        test::click(f.button("addRoomButton"));
        QVERIFY(f.answers->texts().isEmpty());
        QCOMPARE(f.db.rows(QStringLiteral("SELECT 房间号码, 水表底数 FROM floorinfo ORDER BY rowid")),
                 (QList<QStringList>{{ten, S("100000")}}));
    }

    void modifyTakesRoomOutAndAddBringsItBack()
    {
        Fixture f;
        f.insert(QStringLiteral("1"));
        f.insert(QStringLiteral("2"), 2);
        f.insert(QStringLiteral("3"));
        f.db.exec(QStringLiteral("INSERT INTO numinfo VALUES ('2', 2)"));
        test::click(f.button("listRoomsButton"));
        f.edit("sexEdit")->setText(QStringLiteral("男女"));
        f.edit("capacityEdit")->setText(QStringLiteral("3"));
        f.clickRow(1);
        QCOMPARE(f.page.m_nItem, 1);
        test::click(f.button("modifyRoomButton"));
        QVERIFY(f.answers->texts().isEmpty());
        const QStringList form{f.edit("roomNoEdit")->text(), f.edit("phoneEdit")->text(),
                               f.edit("phonePortEdit")->text(), f.edit("netPortEdit")->text(),
                               f.edit("capacityEdit")->text(), f.edit("waterBaseEdit")->text(),
                               f.edit("powerBaseEdit")->text(), f.edit("sexEdit")->text()};
        QCOMPARE(form, L({"2", "555", "1", "2", "6", "120", "35", "男女"}));
        QCOMPARE(f.column0(), L({"1", "3"}));
        QCOMPARE(f.db.count(QStringLiteral("floorinfo")), 2);
        QVERIFY(!f.buttonsEnabled());
        QCOMPARE(f.page.m_pRoomSet->State(), adStateClosed);

        test::click(f.button("addRoomButton"));
        QCOMPARE(f.db.rows(QStringLiteral("SELECT 房间号码, 入住性别, 入住人数, 空缺人数 FROM floorinfo ORDER BY rowid")).last(),
                 L({"2", "男女", "2", "4"}));
        QCOMPARE(f.column0(), L({"1", "3", "2"}));

        f.clickRow(2);
        test::click(f.button("modifyRoomButton"));
        f.edit("roomNoEdit")->setText(QStringLiteral("2b"));
        test::click(f.button("addRoomButton"));
        QCOMPARE(f.db.rows(QStringLiteral("SELECT 房间号码, 入住人数, 空缺人数 FROM floorinfo ORDER BY rowid")),
                 R({{"1", "0", "6"}, {"3", "0", "6"}, {"2b", "0", "6"}}));
        QCOMPARE(f.column0(), L({"1", "3", "2b"}));
    }

    void deleteRemovesAnEmptyRoom()
    {
        Fixture f;
        for (const char *room : {"1", "2", "3", "4", "5"})
            f.insert(QString::fromLatin1(room));
        test::click(f.button("listRoomsButton"));
        f.clickRow(2);
        test::click(f.button("deleteRoomButton"));
        QVERIFY(f.answers->texts().isEmpty());
        QCOMPARE(f.column0(), L({"1", "2", "4", "5"}));
        QCOMPARE(f.db.rows(kRoomNos),
                 R({{"1"}, {"2"}, {"4"}, {"5"}}));
        QVERIFY(!f.buttonsEnabled());
        f.clickRow(3);
        test::click(f.button("deleteRoomButton"));
        QCOMPARE(f.column0(), L({"1", "2", "4"}));
        QCOMPARE(f.db.count(QStringLiteral("floorinfo")), 3);
    }

    void deleteRefusesAnOccupiedRoom_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("message");
        QTest::newRow("first row") << 0 << kOccupied;
        QTest::newRow("middle row") << 1 << kOccupied;
        QTest::newRow("last row") << 2 << kOccupied + QStringLiteral("!!");
    }
    void deleteRefusesAnOccupiedRoom()
    {
        QFETCH(int, row);
        QFETCH(QString, message);
        Fixture f;
        for (const char *room : {"1", "2", "3"})
            f.insert(QString::fromLatin1(room), 1);
        test::click(f.button("listRoomsButton"));
        const auto before = f.db.rows(kRooms);
        f.clickRow(row);
        test::click(f.button("deleteRoomButton"));
        QCOMPARE(f.answers->texts(), QStringList{message});
        QCOMPARE(f.db.rows(kRooms), before);
        QCOMPARE(f.list->rowCount(), 3);
        QVERIFY(f.buttonsEnabled());
        QCOMPARE(f.page.m_pRoomSet->State(), adStateOpen);
    }

    void clickOnNoRowChangesNothing()
    {
        Fixture f;
        f.insert(QStringLiteral("1"));
        test::click(f.button("listRoomsButton"));
        const auto before = f.db.rows(kRooms);
        for (const char *name : {"modifyRoomButton", "deleteRoomButton"}) {
            f.clickRow(-1);
            QCOMPARE(f.page.m_nItem, -1);
            QVERIFY(f.buttonsEnabled());
            test::click(f.button(name));
            QCOMPARE(f.db.rows(kRooms), before);
            QCOMPARE(f.column0(), L({"1"}));
            QCOMPARE(f.edit("roomNoEdit")->text(), QStringLiteral("6-8-518"));
            QVERIFY(!f.buttonsEnabled());
            QCOMPARE(f.page.m_pRoomSet->State(), adStateClosed);
        }
    }

    void storeFailureLeavesTablesAndListAsTheyWere()
    {
        Fixture f;
        f.insert(QStringLiteral("1"));
        f.insert(QStringLiteral("2"));
        f.db.exec(QStringLiteral("INSERT INTO numinfo VALUES ('7', NULL)"));
        f.db.exec(QStringLiteral("CREATE TRIGGER t BEFORE DELETE ON floorinfo BEGIN SELECT RAISE(ABORT, 'boom'); END"));
        test::click(f.button("listRoomsButton"));
        const auto before = f.db.rows(kRooms);
        f.clickRow(0);
        test::click(f.button("modifyRoomButton"));
        f.add(QStringLiteral("7"));
        QCOMPARE(f.answers->texts().size(), 2);
        for (const QString &text : f.answers->texts())
            QVERIFY2(text.startsWith(QStringLiteral("数据库操作失败!\n错误信息:")), qPrintable(text));
        QCOMPARE(f.db.rows(kRooms), before);
        QCOMPARE(f.column0(), L({"1", "2"}));
    }
};

QTEST_MAIN(TestRooms)
#include "test_rooms.moc"
