#include "pages/rooms/cdialog2.h"

#include "data/recordset.h"
#include "support/testsupport.h"
#include "ui/reportlist.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace orv;

namespace {

QString S(const char *text)
{
    return QString::fromUtf8(text);
}
// "a|b|c" -> {"a", "b", "c"}
QStringList L(const char *texts)
{
    return S(texts).split(QLatin1Char('|'));
}

const QString kRooms = S("SELECT * FROM floorinfo ORDER BY rowid");
const QString kOccupied = S("此房间里有人入住，请不要删除，如果你要删除请先把入住的人迁出再删除！");
const char *const kFormEdits[] = {"roomNoEdit",   "phoneEdit",     "phonePortEdit", "netPortEdit",
                                  "capacityEdit", "waterBaseEdit", "powerBaseEdit", "sexEdit"};

// A fresh database with the room page on it, shown and active, every message box answered.
struct Fixture {
    test::TestDatabase db;
    test::Answers answers;
    CDialog2 page{db.connection()};
    ReportList *list = test::child<ReportList>(&page, S("roomList"));

    Fixture()
    {
        page.show();
        page.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&page));
    }
    QLineEdit *edit(const char *name) { return test::child<QLineEdit>(&page, S(name)); }
    void press(const char *name) { test::click(test::child<QPushButton>(&page, S(name))); }
    // Capacity 6, readings 120 and 35.
    void insert(const QString &room, int residents = 0)
    {
        db.exec(S("INSERT INTO floorinfo VALUES ('%1','女','555','1','2',6,120,35,%2,%3)")
                    .arg(room)
                    .arg(residents)
                    .arg(6 - residents));
    }
    void fill(const QStringList &values)
    {
        for (int i = 0; i < values.size(); ++i)
            edit(kFormEdits[i])->setText(values[i]);
    }
    QStringList form()
    {
        QStringList texts;
        for (const char *name : kFormEdits)
            texts.append(edit(name)->text());
        return texts;
    }
    void add(const QString &room, const QString &capacity = S("6"))
    {
        fill({room, S("555"), S("1"), S("2"), capacity, S("120"), S("35"), S("男")});
        press("addRoomButton");
    }
    QStringList listed()
    {
        QStringList rooms;
        for (int r = 0; r < list->rowCount(); ++r)
            rooms.append(list->cellText(r, 0));
        return rooms;
    }
    QStringList stored(const char *column = "房间号码")
    {
        QStringList values;
        for (const QStringList &row : db.rows(S("SELECT %1 FROM floorinfo ORDER BY rowid").arg(S(column))))
            values.append(row.join(QLatin1Char(',')));
        return values;
    }
    // A click on a row, or below the rows for -1.
    void clickRow(int row)
    {
        const int y = row < 0 ? list->viewport()->height() - 2 : list->rowViewportPosition(row) + 5;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(10, y));
    }
    bool buttonsEnabled() { return page.m_btnModify->isEnabled() && page.m_btnDelete->isEnabled(); }
    bool roomSetOpen() { return page.m_pRoomSet->State() != adStateClosed; }
};

} // namespace

class TestRooms final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void setUpAndListing()
    {
        Fixture f;
        QCOMPARE(f.form(), L("6-8-518|88886666|206|618|6|0|0|男"));
        QVERIFY(!f.page.m_btnModify->isEnabled() && !f.page.m_btnDelete->isEnabled());
        QVERIFY(f.roomSetOpen() && f.page.m_pNumSet->State() != adStateClosed);
        for (QLabel *label : f.page.findChildren<QLabel *>())
            QVERIFY(label->buddy() || label->parent() != &f.page);

        f.press("listRoomsButton");
        QCOMPARE(f.answers->texts(), QStringList{S("数据库中没有记录,请您添加了记录之后在操作")});
        QCOMPARE(f.list->rowCount(), 0);
        QVERIFY(!f.roomSetOpen());

        for (const char *room : {"b2", "a1", "c3 "})
            f.insert(S(room));
        f.clickRow(-1);
        f.press("listRoomsButton");
        QCOMPARE(f.answers->texts().size(), 1);
        QCOMPARE(f.listed(), L("b2|a1|c3 "));
        QCOMPARE(f.list->rowTexts(0), L("b2|女|555|1|2|6|120|35"));
        QVERIFY(!f.buttonsEnabled() && !f.roomSetOpen());
    }

    void addRefusesFirstFault_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        QTest::addColumn<bool>("ended"); // buttons disabled and room set closed
        const QString range8 = S("请输入一个介于 1 和 8 之间的整数。");
        const QString reading = S("请输入一个介于 1 和 100000 之间的数字。");
        const QString bytes = S("请输入不超过 %1 个字符（一个汉字算两个字符）。");
        QTest::newRow("capacity 0") << S("1|5|1|2|0|x||") << range8 << S("capacityEdit") << true;
        QTest::newRow("capacity 9") << S("1|5|1|2|9|1|1|男") << range8 << S("capacityEdit") << true;
        QTest::newRow("capacity text") << S("1|5|1|2|six|1|1|男") << S("请输入一个整数。") << S("capacityEdit") << true;
        QTest::newRow("water 0") << S("1|5|1|2|6|0|1|男") << reading << S("waterBaseEdit") << true;
        QTest::newRow("power empty") << S("1|5|1|2|6|1||男") << S("请输入一个数字。") << S("powerBaseEdit") << true;
        QTest::newRow("power over") << S("1|5|1|2|6|1|100001|男") << reading << S("powerBaseEdit") << true;
        QTest::newRow("room 21 bytes") << S("一二三四五六七八九十1||||0") << bytes.arg(20) << S("roomNoEdit") << true;
        QTest::newRow("phone 16 bytes") << S("1|1234567890123456|||0") << bytes.arg(15) << S("phoneEdit") << true;
        QTest::newRow("room empty") << S("||||6|1|1|") << S("请输入用户名") << QString() << true;
        QTest::newRow("phone, sex empty") << S("1||||6|1|1|") << S("请输入电话号码") << QString() << false;
        QTest::newRow("phone port empty") << S("1|5||2|6|1|1|") << S("请输入电话端口号") << QString() << false;
        QTest::newRow("net port empty") << S("1|5|1||6|1|1|") << S("请输入网线端口号") << QString() << false;
        QTest::newRow("sex empty") << S("1|5|1|2|6|1|1|") << S("请输入性别") << QString() << false;
    }
    void addRefusesFirstFault()
    {
        QFETCH(QString, form);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        QFETCH(bool, ended);
        Fixture f;
        f.insert(S("0"));
        f.fill(form.split(QLatin1Char('|')));
        f.page.OnClickRoomList(-1);
        const auto before = f.db.rows(kRooms);
        f.press("addRoomButton");
        QCOMPARE(f.answers->texts(), QStringList{message});
        QCOMPARE(f.db.rows(kRooms), before);
        QCOMPARE(f.list->rowCount(), 0);
        if (!focus.isEmpty())
            QCOMPARE(QApplication::focusWidget(), f.edit(qPrintable(focus)));
        QCOMPARE(f.buttonsEnabled(), !ended);
        QCOMPARE(f.roomSetOpen(), !ended);
    }

    void addCarriesOccupancyFromNuminfo_data()
    {
        QTest::addColumn<QString>("numinfo"); // room|residents|room|residents...
        QTest::addColumn<QString>("capacity");
        QTest::addColumn<QString>("counters");
        QTest::newRow("not in numinfo") << S("999|4") << S("6") << S("0,6");
        QTest::newRow("three living") << S("101|3") << S("6") << S("3,3");
        QTest::newRow("eight in six beds") << S("101|8") << S("6") << S("8,-2");
        QTest::newRow("last match wins") << S("101|2|101|5") << S("8") << S("5,3");
    }
    void addCarriesOccupancyFromNuminfo()
    {
        QFETCH(QString, numinfo);
        QFETCH(QString, capacity);
        QFETCH(QString, counters);
        Fixture f;
        const QStringList nums = numinfo.split(QLatin1Char('|'));
        for (int i = 0; i < nums.size(); i += 2)
            f.db.exec(S("INSERT INTO numinfo VALUES ('%1', %2)").arg(nums[i], nums[i + 1]));
        f.add(S("101"), capacity);
        QVERIFY(f.answers->texts().isEmpty());
        const QString listed = S("101|男|555|1|2|%1|120|35").arg(capacity);
        QCOMPARE(f.stored("*"),
                 QStringList{QString(listed).replace(QLatin1Char('|'), QLatin1Char(',')) + S(",") + counters});
        QCOMPARE(f.list->rowTexts(0), listed.split(QLatin1Char('|')));
        QVERIFY(!f.buttonsEnabled() && !f.roomSetOpen());
        QCOMPARE(f.page.m_pNumSet->State(), adStateOpen);
    }

    void addRefusesOnlyExactDuplicatesAndKeepsByteLimits()
    {
        Fixture f;
        f.insert(S("1"));
        f.add(S("A101"));
        f.add(S("A101"));
        QCOMPARE(f.answers->texts(), QStringList{S("您输入的房间号码已经存在，请不要重复输入")});
        QVERIFY(f.roomSetOpen());
        for (const char *room : {"a101", "A101 ", "O'Neil"})
            f.add(S(room));
        QCOMPARE(f.answers->texts().size(), 1);
        // The list was never filled, so the first add shows every room rather than a misplaced row.
        QCOMPARE(f.listed(), L("1|A101|a101|A101 |O'Neil"));
        QCOMPARE(f.stored(), L("1|A101|a101|A101 |O'Neil"));

        const QString ten = S("一二三四五六七八九十");
        QVERIFY(!test::typeText(f.edit("roomNoEdit"), ten + S("一")));
        QVERIFY(test::typeText(f.edit("roomNoEdit"), ten));
        QVERIFY(!test::typeText(f.edit("phoneEdit"), S("电话电话电话电话")));
        QVERIFY(test::typeText(f.edit("phoneEdit"), S("0571-8888666699")));
        QVERIFY(!test::typeText(f.edit("phoneEdit"), S("0571-88886666999")) && f.edit("phoneEdit")->text().isEmpty());
        QVERIFY(!test::typeText(f.edit("waterBaseEdit"), S("12.5")));
        f.fill({ten, S("0571-8888666699"), S("1"), S("2"), S("8"), S("100000"), S("1")});
        f.press("addRoomButton");
        QCOMPARE(f.answers->texts().size(), 1);
        QCOMPARE(f.stored("房间号码, 水表底数").last(), ten + S(",100000"));
    }

    void modifyTakesRoomOutAndAddBringsItBack()
    {
        Fixture f;
        f.insert(S("1"));
        f.insert(S("2"), 2);
        f.insert(S("3"));
        f.db.exec(S("INSERT INTO numinfo VALUES ('2', 2)"));
        f.press("listRoomsButton");
        f.fill({S("x"), S("x"), S("x"), S("x"), S("3"), S("7"), S("7"), S("男女")});
        f.clickRow(1);
        f.press("modifyRoomButton");
        QVERIFY(f.answers->texts().isEmpty());
        QCOMPARE(f.form(), L("2|555|1|2|6|120|35|男女"));
        QCOMPARE(f.listed(), L("1|3"));
        QCOMPARE(f.stored(), L("1|3"));
        QVERIFY(!f.buttonsEnabled() && !f.roomSetOpen());

        f.press("addRoomButton");
        QCOMPARE(f.stored("房间号码, 入住性别, 入住人数, 空缺人数").last(), S("2,男女,2,4"));
        QCOMPARE(f.listed(), L("1|3|2"));
        for (int row : {2, 0}) {
            f.clickRow(row);
            f.press("modifyRoomButton");
            f.edit("roomNoEdit")->setText(f.edit("roomNoEdit")->text() + S("b"));
            f.press("addRoomButton");
        }
        QCOMPARE(f.stored("房间号码, 入住人数, 空缺人数"), L("3,0,6|2b,0,6|1b,0,6"));
        QCOMPARE(f.listed(), L("3|2b|1b"));
    }

    void rowOperations_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("row"); // -1: a click below the rows
        QTest::addColumn<int>("residents");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("left");
        const QString del = S("deleteRoomButton");
        const QString modify = S("modifyRoomButton");
        QTest::newRow("delete empty, third of five") << del << 2 << 0 << QString() << S("1|2|4|5");
        QTest::newRow("delete empty, last") << del << 4 << 0 << QString() << S("1|2|3|4");
        QTest::newRow("delete occupied, first") << del << 0 << 1 << kOccupied << S("1|2|3|4|5");
        QTest::newRow("delete occupied, last") << del << 4 << 1 << kOccupied + S("!!") << S("1|2|3|4|5");
        QTest::newRow("delete, no row") << del << -1 << 0 << QString() << S("1|2|3|4|5");
        QTest::newRow("modify occupied, last") << modify << 4 << 1 << QString() << S("1|2|3|4");
        QTest::newRow("modify, no row") << modify << -1 << 0 << QString() << S("1|2|3|4|5");
    }
    void rowOperations()
    {
        QFETCH(QString, button);
        QFETCH(int, row);
        QFETCH(int, residents);
        QFETCH(QString, message);
        QFETCH(QString, left);
        Fixture f;
        for (int room = 1; room <= 5; ++room)
            f.insert(QString::number(room), residents);
        f.press("listRoomsButton");
        f.clickRow(row);
        QCOMPARE(f.page.m_nItem, row);
        QVERIFY(f.buttonsEnabled());
        f.press(qPrintable(button));
        QCOMPARE(f.answers->texts(), message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(f.listed(), left.split(QLatin1Char('|')));
        QCOMPARE(f.stored(), left.split(QLatin1Char('|')));
        QCOMPARE(f.edit("roomNoEdit")->text(),
                 row >= 0 && button == S("modifyRoomButton") ? QString::number(row + 1) : S("6-8-518"));
        QCOMPARE(f.buttonsEnabled(), !message.isEmpty());
        QCOMPARE(f.roomSetOpen(), !message.isEmpty());
    }

    void storeFailureLeavesTablesAndListAsTheyWere()
    {
        Fixture f;
        f.insert(S("1"));
        f.insert(S("2"));
        f.db.exec(S("INSERT INTO numinfo VALUES ('7', NULL)"));
        f.db.exec(S("CREATE TRIGGER t BEFORE DELETE ON floorinfo BEGIN SELECT RAISE(ABORT, 'boom'); END"));
        f.press("listRoomsButton");
        const auto before = f.db.rows(kRooms);
        f.clickRow(0);
        f.press("modifyRoomButton");
        QCOMPARE(f.edit("roomNoEdit")->text(), S("1"));
        f.add(S("7"));
        QCOMPARE(f.answers->texts().size(), 2);
        for (const QString &text : f.answers->texts())
            QVERIFY(text.startsWith(S("数据库操作失败!\n错误信息:")));
        QCOMPARE(f.db.rows(kRooms), before);
        QCOMPARE(f.listed(), L("1|2"));
    }
};

QTEST_MAIN(TestRooms)
#include "test_rooms.moc"
