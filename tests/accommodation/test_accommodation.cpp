#include "pages/accommodation/cdialog1.h"
#include "support/testsupport.h"
#include "ui/reportlist.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace orv;
using namespace orv::test;

namespace {

const QString kFailure = QStringLiteral("数据库操作失败!\n错误信息:");

void addRoom(TestDatabase &db, const QString &room, int beds, int living, int free)
{
    db.exec(QStringLiteral("INSERT INTO floorinfo VALUES ('%1','男','tel-%1','1','2',%2,0,0,%3,%4)")
                .arg(room).arg(beds).arg(living).arg(free));
}

void addPerson(TestDatabase &db, const QString &staffNo, const QString &room)
{
    db.exec(QStringLiteral("INSERT INTO personinfo VALUES ('某人','男','系','%1','139','2004-01-01','%2')")
                .arg(staffNo, room));
}

void addCount(TestDatabase &db, const QString &room, int count)
{
    db.exec(QStringLiteral("INSERT INTO numinfo VALUES ('%1',%2)").arg(room).arg(count));
}

QList<QStringList> floors(TestDatabase &db)
{
    return db.rows(QStringLiteral("SELECT 房间号码, 可住人数, 入住人数, 空缺人数 FROM floorinfo"));
}

QList<QStringList> snapshot(TestDatabase &db)
{
    return floors(db) + db.rows(QStringLiteral("SELECT * FROM numinfo")) +
           db.rows(QStringLiteral("SELECT * FROM personinfo"));
}

QStringList column(const QList<QStringList> &rows, int index = 0)
{
    QStringList texts;
    for (const QStringList &row : rows)
        texts.append(row.value(index));
    return texts;
}

struct Fixture {
    TestDatabase db;
    Answers answers;
    CDialog1 page{db.connection()};

    QLineEdit *edit(const char *name) { return child<QLineEdit>(&page, QString::fromLatin1(name)); }
    void press(const char *name) { click(child<QPushButton>(&page, QString::fromLatin1(name))); }
    QStringList listed()
    {
        auto *list = child<ReportList>(&page, QStringLiteral("roomList"));
        QStringList rooms;
        for (int row = 0; row < list->rowCount(); ++row)
            rooms.append(list->cellText(row, 0));
        return rooms;
    }
    // Fills the check-in form: name, sex, department, staff number, mobile, room.
    void fillCheckIn(const QStringList &values)
    {
        const char *edits[] = {"nameEdit", nullptr, "deptEdit", "staffNoEdit", "mobileEdit", "roomEdit"};
        for (int i = 0; i < 6; ++i) {
            if (edits[i])
                edit(edits[i])->setText(values.value(i));
            else
                child<QComboBox>(&page, QStringLiteral("sexCombo"))->setEditText(values.value(i));
        }
    }
    void checkIn(const QString &staffNo, const QString &room, const QString &sex = QStringLiteral("男"))
    {
        fillCheckIn({QStringLiteral("王五"), sex, QStringLiteral("计算机系"), staffNo, QStringLiteral("139"), room});
        press("checkInButton");
    }
    void checkOut(const QString &staffNo, const QString &room)
    {
        edit("outStaffNoEdit")->setText(staffNo);
        edit("outRoomEdit")->setText(room);
        press("checkOutButton");
    }
};

} // namespace

class TestAccommodation : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void setsUpFormAndEmptyList()
    {
        Fixture f;
        QCOMPARE(f.edit("deptEdit")->text(), QStringLiteral("计算机系"));
        QCOMPARE(f.edit("roomEdit")->text(), QStringLiteral("6-8-518"));
        for (const char *name : {"nameEdit", "staffNoEdit", "mobileEdit"})
            QVERIFY(!f.edit(name)->text().isEmpty());
        QVERIFY(f.edit("outStaffNoEdit")->text().isEmpty() && f.edit("outRoomEdit")->text().isEmpty());
        auto *sex = child<QComboBox>(&f.page, QStringLiteral("sexCombo"));
        QVERIFY(sex->isEditable() && sex->currentText().isEmpty());
        QCOMPARE(QStringList({sex->itemText(0), sex->itemText(1)}), QStringList({QStringLiteral("男"), QStringLiteral("女")}));
        QCOMPARE(child<QDateEdit>(&f.page, QStringLiteral("checkInDate"))->date(), QDate::currentDate());
        auto *list = child<ReportList>(&f.page, QStringLiteral("roomList"));
        QCOMPARE(list->columnCount(), 6);
        QCOMPARE(list->horizontalHeaderItem(5)->text(), QStringLiteral("空缺人数"));
        QCOMPARE(list->rowCount(), 0);
        int buddies = 0;
        for (QLabel *label : f.page.findChildren<QLabel *>())
            buddies += label->buddy() ? 1 : 0;
        QCOMPARE(buddies, 9);
        QCOMPARE(child<QPushButton>(&f.page, QStringLiteral("checkInButton"))->text(), QStringLiteral("入     住"));
    }

    void listsFreeAndFullRooms_data()
    {
        QTest::addColumn<QString>("rooms"); // room:beds:living:free, ...
        QTest::addColumn<QString>("free");
        QTest::addColumn<QString>("full");
        QTest::newRow("empty table") << QString() << QString() << QString();
        QTest::newRow("mixed") << QStringLiteral("A:4:4:0,B:4:1:3,C:4:5:-1,D:4:4:1,E:2:2:0")
                               << QStringLiteral("B,C,D") << QStringLiteral("A,E");
    }
    void listsFreeAndFullRooms()
    {
        QFETCH(QString, rooms);
        QFETCH(QString, free);
        QFETCH(QString, full);
        Fixture f;
        for (const QString &room : rooms.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const QStringList p = room.split(QLatin1Char(':'));
            addRoom(f.db, p[0], p[1].toInt(), p[2].toInt(), p[3].toInt());
        }
        const QStringList freeRooms = free.split(QLatin1Char(','), Qt::SkipEmptyParts);
        f.press("fullRoomsButton");
        QCOMPARE(f.listed(), full.split(QLatin1Char(','), Qt::SkipEmptyParts));
        f.press("freeRoomsButton");
        f.press("freeRoomsButton");
        QCOMPARE(f.listed(), freeRooms);
        if (!freeRooms.isEmpty())
            QCOMPARE(child<ReportList>(&f.page, QStringLiteral("roomList"))->rowTexts(0),
                     QStringList({QStringLiteral("B"), QStringLiteral("男"), QStringLiteral("tel-B"),
                                  QStringLiteral("4"), QStringLiteral("1"), QStringLiteral("3")}));
        f.edit("outRoomEdit")->setText(QStringLiteral("kept"));
        f.press("clearListButton");
        QCOMPARE(f.listed(), QStringList());
        QCOMPARE(f.edit("outRoomEdit")->text(), QStringLiteral("kept"));
        QVERIFY(f.answers->texts().isEmpty());
    }

    void checkInRefusesAndWritesNothing_data()
    {
        QTest::addColumn<QStringList>("form");
        QTest::addColumn<QString>("message");
        const auto form = [](int blank, const QString &staffNo, const QString &room) {
            QStringList values{QStringLiteral("王五"), QStringLiteral("男"), QStringLiteral("系"), staffNo,
                               QStringLiteral("139"), room};
            if (blank >= 0)
                values[blank].clear();
            return values;
        };
        const QString s = QStringLiteral("S9"), r = QStringLiteral("R");
        QTest::newRow("name") << form(0, s, r) << QStringLiteral("请输入入住人的姓名！");
        QTest::newRow("sex") << form(1, s, r) << QStringLiteral("请输入性别！");
        QTest::newRow("department") << form(2, s, r) << QStringLiteral("请输入部门！");
        QTest::newRow("staff number") << form(3, s, r) << QStringLiteral("请输入工号！");
        QTest::newRow("mobile") << form(4, s, r) << QStringLiteral("请输入手机号码！");
        QTest::newRow("room") << form(5, s, r) << QStringLiteral("请输入房间号码！");
        QTest::newRow("first of several") << QStringList{QString(), QString(), QString(), QString(), QString(), QString()}
                                          << QStringLiteral("请输入入住人的姓名！");
        QTest::newRow("duplicate before missing room") << form(-1, QStringLiteral("S1"), QStringLiteral("nowhere"))
                                                       << QStringLiteral("你输入的工号已经存在，请不要重复输入！");
        QTest::newRow("full room") << form(-1, s, QStringLiteral("F"))
                                   << QStringLiteral("你选择的房间已经住满，请选择其他房间入住！");
        QTest::newRow("missing room") << form(-1, s, QStringLiteral("nowhere"))
                                      << QStringLiteral("你输入的房间号码在数据库中不存在，请重新输入！");
        QTest::newRow("room with a trailing blank") << form(-1, s, QStringLiteral("R "))
                                                    << QStringLiteral("你输入的房间号码在数据库中不存在，请重新输入！");
    }
    void checkInRefusesAndWritesNothing()
    {
        QFETCH(QStringList, form);
        QFETCH(QString, message);
        Fixture f;
        addRoom(f.db, QStringLiteral("R"), 4, 1, 3);
        addRoom(f.db, QStringLiteral("F"), 2, 2, 1); // full by residents though a bed counts free
        addCount(f.db, QStringLiteral("R"), 1);
        addPerson(f.db, QStringLiteral("S1"), QStringLiteral("R"));
        const auto before = snapshot(f.db);
        f.fillCheckIn(form);
        f.press("checkInButton");
        QCOMPARE(f.answers->texts(), QStringList{message});
        QCOMPARE(snapshot(f.db), before);
    }

    void checkInCountsTheResidentIn()
    {
        Fixture f;
        addRoom(f.db, QStringLiteral("A"), 4, 3, 1);
        addRoom(f.db, QStringLiteral("B"), 2, 0, 2);
        addRoom(f.db, QStringLiteral("Odd"), 4, 1, 0);
        addCount(f.db, QStringLiteral("A"), 3);
        addCount(f.db, QStringLiteral("A"), 3);
        addPerson(f.db, QStringLiteral("S1"), QStringLiteral("A"));
        child<QDateEdit>(&f.page, QStringLiteral("checkInDate"))->setDate(QDate(2004, 1, 5));
        f.fillCheckIn({QStringLiteral("李四"), QString(), QStringLiteral("数学系"), QStringLiteral("s1"),
                       QStringLiteral("13900000000"), QStringLiteral("A")});
        child<QComboBox>(&f.page, QStringLiteral("sexCombo"))->setCurrentIndex(1);
        f.press("checkInButton");
        QVERIFY(f.answers->texts().isEmpty());
        QCOMPARE(f.db.rows(QStringLiteral("SELECT * FROM personinfo WHERE 工号='s1'")),
                 (QList<QStringList>{{QStringLiteral("李四"), QStringLiteral("女"), QStringLiteral("数学系"),
                                     QStringLiteral("s1"), QStringLiteral("13900000000"), QStringLiteral("2004-01-05"),
                                     QStringLiteral("A")}}));
        QCOMPARE(f.listed(), QStringList{QStringLiteral("B")});

        f.checkIn(QStringLiteral("S2"), QStringLiteral("B"), QStringLiteral("male"));
        f.checkIn(QStringLiteral("S3"), QStringLiteral("B"));
        f.checkIn(QStringLiteral("S4"), QStringLiteral("Odd"));
        QVERIFY(f.answers->texts().isEmpty());
        QCOMPARE(floors(f.db), (QList<QStringList>{{QStringLiteral("A"), QStringLiteral("4"), QStringLiteral("4"), QStringLiteral("0")},
                                                   {QStringLiteral("B"), QStringLiteral("2"), QStringLiteral("2"), QStringLiteral("0")},
                                                   {QStringLiteral("Odd"), QStringLiteral("4"), QStringLiteral("2"), QStringLiteral("-1")}}));
        QCOMPARE(column(f.db.rows(QStringLiteral("SELECT * FROM numinfo")), 1),
                 QStringList({QStringLiteral("4"), QStringLiteral("4"), QStringLiteral("2"), QStringLiteral("1")}));
        QCOMPARE(column(f.db.rows(QStringLiteral("SELECT 性别 FROM personinfo WHERE 工号='S2'"))),
                 QStringList{QStringLiteral("male")});
        QCOMPARE(f.listed(), QStringList{QStringLiteral("Odd")});
    }

    void checkOut_data()
    {
        QTest::addColumn<QString>("staffNo");
        QTest::addColumn<QString>("room");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("floors"); // 入住人数/空缺人数 of A and B
        QTest::addColumn<QString>("counts"); // numinfo rows
        QTest::addColumn<QString>("residents");
        const auto add = [](const char *name, const char16_t *staffNo, const char16_t *room, const char16_t *message,
                            const char16_t *floorTexts, const char16_t *counts, const char16_t *residents) {
            QTest::newRow(name) << QString::fromUtf16(staffNo) << QString::fromUtf16(room) << QString::fromUtf16(message)
                                << QString::fromUtf16(floorTexts) << QString::fromUtf16(counts)
                                << QString::fromUtf16(residents);
        };
        const char16_t *same = u"1/3 2/2", *sameCounts = u"A1 B2 B0 Gone1", *all = u"P1 P2 P3 P4";
        add("only resident", u"P1", u"A", u"成功迁出！", u"0/4 2/2", u"B2 B0 Gone1", u"P2 P3 P4");
        add("one of two, every row lowered", u"P2", u"B", u"成功迁出！", u"1/3 1/3", u"A1 B1 B-1 Gone1", u"P1 P3 P4");
        add("room row gone", u"P4", u"Gone", u"成功迁出！", same, u"A1 B2 B0", u"P1 P2 P3");
        add("wrong room", u"P1", u"B", u"您输入的工号和房间号码不匹配，请重新输入！", same, sameCounts, all);
        add("unknown", u"P9", u"A", u"您输入的工号还没有入住，请不要对此工号操作！", same, sameCounts, all);
        add("case differs", u"p1", u"A", u"您输入的工号还没有入住，请不要对此工号操作！", same, sameCounts, all);
        add("no staff number", u"", u"A", u"请输入员工的工号！", same, sameCounts, all);
        add("no room", u"P1", u"", u"请输入员工的房间号码！", same, sameCounts, all);
    }
    void checkOut()
    {
        QFETCH(QString, staffNo);
        QFETCH(QString, room);
        QFETCH(QString, message);
        QFETCH(QString, floors);
        QFETCH(QString, counts);
        QFETCH(QString, residents);
        Fixture f;
        addRoom(f.db, QStringLiteral("A"), 4, 1, 3);
        addRoom(f.db, QStringLiteral("B"), 4, 2, 2);
        for (const QString &c : {QStringLiteral("A1"), QStringLiteral("B2"), QStringLiteral("B0"), QStringLiteral("Gone1")})
            addCount(f.db, c.chopped(1), c.right(1).toInt());
        for (const QString &p : {QStringLiteral("P1A"), QStringLiteral("P2B"), QStringLiteral("P3B"), QStringLiteral("P4Gone")})
            addPerson(f.db, p.left(2), p.mid(2));
        f.checkOut(staffNo, room);
        QCOMPARE(f.answers->texts(), QStringList{message});
        QStringList floorTexts, countTexts;
        for (const QStringList &row : ::floors(f.db))
            floorTexts.append(row[2] + QLatin1Char('/') + row[3]);
        for (const QStringList &row : f.db.rows(QStringLiteral("SELECT * FROM numinfo")))
            countTexts.append(row[0] + row[1]);
        QCOMPARE(floorTexts.join(QLatin1Char(' ')), floors);
        QCOMPARE(countTexts.join(QLatin1Char(' ')), counts);
        QCOMPARE(column(f.db.rows(QStringLiteral("SELECT 工号 FROM personinfo"))).join(QLatin1Char(' ')), residents);
        if (message == QStringLiteral("成功迁出！"))
            QCOMPARE(f.listed(), QStringList({QStringLiteral("A"), QStringLiteral("B")}));
    }

    void walksStartAgainFromTheFirstRow()
    {
        Fixture f;
        addRoom(f.db, QStringLiteral("A"), 1, 0, 1);
        addPerson(f.db, QStringLiteral("P1"), QStringLiteral("X"));
        addPerson(f.db, QStringLiteral("P2"), QStringLiteral("X"));
        f.checkIn(QStringLiteral("P2"), QStringLiteral("A")); // leaves the resident walk on the second row
        f.checkIn(QStringLiteral("P1"), QStringLiteral("A"));
        addRoom(f.db, QStringLiteral("Later"), 2, 0, 2);
        f.checkIn(QStringLiteral("N1"), QStringLiteral("Later"));
        f.checkOut(QStringLiteral("N1"), QStringLiteral("Later"));
        f.checkOut(QStringLiteral("N1"), QStringLiteral("Later"));
        f.checkIn(QStringLiteral("N1"), QStringLiteral("Later"));
        QCOMPARE(f.answers->texts(), QStringList({QStringLiteral("你输入的工号已经存在，请不要重复输入！"),
                                                  QStringLiteral("你输入的工号已经存在，请不要重复输入！"),
                                                  QStringLiteral("成功迁出！"),
                                                  QStringLiteral("您输入的工号还没有入住，请不要对此工号操作！")}));
        QCOMPARE(floors(f.db).last(), (QStringList{QStringLiteral("Later"), QStringLiteral("2"), QStringLiteral("1"), QStringLiteral("1")}));
    }

    void storeFailureLeavesTablesAsTheyWere()
    {
        Fixture f;
        addRoom(f.db, QStringLiteral("A"), 4, 1, 3);
        addCount(f.db, QStringLiteral("A"), 1);
        addPerson(f.db, QStringLiteral("P1"), QStringLiteral("A"));
        const auto before = snapshot(f.db);
        f.db.exec(QStringLiteral("CREATE TRIGGER boom BEFORE INSERT ON personinfo BEGIN SELECT RAISE(ABORT, 'boom'); END"));
        f.checkIn(QStringLiteral("N1"), QStringLiteral("A"));
        f.db.exec(QStringLiteral("CREATE TRIGGER boom2 BEFORE UPDATE ON floorinfo BEGIN SELECT RAISE(ABORT, 'boom'); END"));
        f.checkOut(QStringLiteral("P1"), QStringLiteral("A"));
        QCOMPARE(f.answers->texts().size(), 2);
        for (const QString &text : f.answers->texts())
            QVERIFY2(text.startsWith(kFailure), qPrintable(text));
        QCOMPARE(snapshot(f.db), before);

        f.db.exec(QStringLiteral("DROP TRIGGER boom"));
        f.db.exec(QStringLiteral("DROP TRIGGER boom2"));
        f.answers->clear();
        f.checkIn(QStringLiteral("N1"), QStringLiteral("A"));
        f.checkOut(QStringLiteral("P1"), QStringLiteral("A"));
        QCOMPARE(f.answers->texts(), QStringList{QStringLiteral("成功迁出！")});
        QCOMPARE(floors(f.db).first(), (QStringList{QStringLiteral("A"), QStringLiteral("4"), QStringLiteral("1"), QStringLiteral("3")}));
        QCOMPARE(f.db.rows(QStringLiteral("SELECT * FROM numinfo")), (QList<QStringList>{{QStringLiteral("A"), QStringLiteral("1")}}));
    }
};

QTEST_MAIN(TestAccommodation)
#include "test_accommodation.moc"
