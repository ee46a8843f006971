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

QString s(const char16_t *text)
{
    return QString::fromUtf16(text);
}

QStringList split(const QString &text, char separator)
{
    return text.split(QLatin1Char(separator), Qt::SkipEmptyParts);
}

const QString kDuplicate = s(u"你输入的工号已经存在，请不要重复输入！");
const QString kNoRoom = s(u"你输入的房间号码在数据库中不存在，请重新输入！");
const QString kDone = s(u"成功迁出！");
const QString kNotIn = s(u"您输入的工号还没有入住，请不要对此工号操作！");

// Rooms "A 4 1 3" (number, beds, residents, free), counts "A 1", residents "P1 A", each list comma-separated.
void seed(TestDatabase &db, const QString &rooms, const QString &counts = {}, const QString &people = {})
{
    const QString statements[] = {
        QStringLiteral("INSERT INTO floorinfo VALUES ('%1','男','tel-%1','1','2',%2,0,0,%3,%4)"),
        QStringLiteral("INSERT INTO numinfo VALUES ('%1',%2)"),
        QStringLiteral("INSERT INTO personinfo VALUES ('某人','男','系','%1','139','2004-01-01','%2')")};
    const QString lists[] = {rooms, counts, people};
    for (int table = 0; table < 3; ++table) {
        for (const QString &row : split(lists[table], ',')) {
            QString statement = statements[table];
            for (const QString &value : split(row, ' '))
                statement = statement.arg(value);
            db.exec(statement);
        }
    }
}

// A query's rows as "v v v|v v v".
QString dump(TestDatabase &db, const char16_t *sql)
{
    QStringList rows;
    for (const QStringList &row : db.rows(s(sql)))
        rows.append(row.join(QLatin1Char(' ')));
    return rows.join(QLatin1Char('|'));
}

// The rooms' counters, the counts and the residents' staff numbers.
QString tables(TestDatabase &db)
{
    return dump(db, u"SELECT 房间号码, 可住人数, 入住人数, 空缺人数 FROM floorinfo ORDER BY rowid") + u'/' +
           dump(db, u"SELECT * FROM numinfo ORDER BY rowid") + u'/' +
           dump(db, u"SELECT 工号 FROM personinfo ORDER BY rowid");
}

struct Fixture {
    TestDatabase db;
    Answers answers;
    CDialog1 page{db.connection()};

    template <typename T = QLineEdit> T *get(const char *name) { return child<T>(&page, QString::fromLatin1(name)); }
    void press(const char *name) { click(get<QPushButton>(name)); }
    QStringList listed()
    {
        QStringList rooms;
        for (int row = 0; row < get<ReportList>("roomList")->rowCount(); ++row)
            rooms.append(get<ReportList>("roomList")->cellText(row, 0));
        return rooms;
    }
    // "name|sex|department|staff number|mobile|room", or "staff number|room" with the rest filled in.
    void checkIn(const QString &form)
    {
        QStringList values = form.split(u'|');
        if (values.size() == 2)
            values = QStringList{s(u"王五"), s(u"男"), s(u"系"), values[0], QStringLiteral("139"), values[1]};
        const char *edits[] = {"nameEdit", nullptr, "deptEdit", "staffNoEdit", "mobileEdit", "roomEdit"};
        for (int i = 0; i < 6; ++i)
            edits[i] ? get(edits[i])->setText(values[i]) : get<QComboBox>("sexCombo")->setEditText(values[i]);
        press("checkInButton");
    }
    void checkOut(const QString &form)
    {
        get("outStaffNoEdit")->setText(form.section(u'|', 0, 0));
        get("outRoomEdit")->setText(form.section(u'|', 1));
        press("checkOutButton");
    }
};

} // namespace

class TestAccommodation : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void listsFreeAndFullRooms_data()
    {
        QTest::addColumn<QString>("rooms");
        QTest::addColumn<QString>("free");
        QTest::addColumn<QString>("full");
        QTest::newRow("empty table") << QString() << QString() << QString();
        // C's negative count is "not 0"; D's counters disagree, only 空缺人数 decides.
        QTest::newRow("mixed") << s(u"A 4 4 0,B 4 1 3,C 4 5 -1,D 4 4 1,E 2 2 0") << s(u"B C D") << s(u"A E");
    }
    void listsFreeAndFullRooms()
    {
        QFETCH(QString, rooms);
        QFETCH(QString, free);
        QFETCH(QString, full);
        Fixture f;
        QCOMPARE(f.get("deptEdit")->text() + f.get("roomEdit")->text(), s(u"计算机系6-8-518"));
        QCOMPARE(f.get<QComboBox>("sexCombo")->currentText() + f.get<QComboBox>("sexCombo")->itemText(0), s(u"男"));
        QCOMPARE(f.get<QDateEdit>("checkInDate")->date(), QDate::currentDate());
        QCOMPARE(f.page.findChildren<QLabel *>().size(), 9); // each one an input's buddy
        seed(f.db, rooms);
        f.press("fullRoomsButton");
        QCOMPARE(f.listed(), split(full, ' '));
        f.press("freeRoomsButton");
        f.press("freeRoomsButton");
        QCOMPARE(f.listed(), split(free, ' '));
        if (!free.isEmpty())
            QCOMPARE(f.get<ReportList>("roomList")->rowTexts(0).join(u' '), s(u"B 男 tel-B 4 1 3"));
        f.get("outRoomEdit")->setText(s(u"kept"));
        f.press("clearListButton");
        QVERIFY(f.listed().isEmpty() && f.answers->texts().isEmpty());
        QCOMPARE(f.get("outRoomEdit")->text(), s(u"kept"));
    }

    void checkInRefusesAndWritesNothing_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<QString>("message");
        // F is full by residents although its free-bed counter says 1.
        QTest::newRow("name") << s(u"|男|系|S9|139|R") << s(u"请输入入住人的姓名！");
        QTest::newRow("sex") << s(u"王五||系|S9|139|R") << s(u"请输入性别！");
        QTest::newRow("department") << s(u"王五|男||S9|139|R") << s(u"请输入部门！");
        QTest::newRow("staff number") << s(u"王五|男|系||139|R") << s(u"请输入工号！");
        QTest::newRow("mobile") << s(u"王五|男|系|S9||R") << s(u"请输入手机号码！");
        QTest::newRow("room") << s(u"王五|男|系|S9|139|") << s(u"请输入房间号码！");
        QTest::newRow("first of several") << s(u"|||||") << s(u"请输入入住人的姓名！");
        QTest::newRow("duplicate before room") << s(u"S1|nowhere") << kDuplicate;
        QTest::newRow("full room") << s(u"S9|F") << s(u"你选择的房间已经住满，请选择其他房间入住！");
        QTest::newRow("missing room") << s(u"S9|nowhere") << kNoRoom;
        QTest::newRow("trailing blank") << s(u"S9|R ") << kNoRoom;
    }
    void checkInRefusesAndWritesNothing()
    {
        QFETCH(QString, form);
        QFETCH(QString, message);
        Fixture f;
        seed(f.db, s(u"R 4 1 3,F 2 2 1"), s(u"R 1"), s(u"S1 R"));
        const QString before = tables(f.db) + dump(f.db, u"SELECT * FROM personinfo");
        f.checkIn(form);
        QCOMPARE(f.answers->texts(), QStringList{message});
        QCOMPARE(tables(f.db) + dump(f.db, u"SELECT * FROM personinfo"), before);
    }

    void checkInCountsTheResidentIn()
    {
        Fixture f;
        seed(f.db, s(u"A 4 3 1,B 2 0 2,Odd 4 1 0"), s(u"A 3,A 3"), s(u"S1 A"));
        f.get<QDateEdit>("checkInDate")->setDate(QDate(2004, 1, 5));
        f.checkIn(s(u"李四||数学系|s1|13900000000|A")); // refused; the form keeps its values
        f.get<QComboBox>("sexCombo")->setCurrentIndex(1);
        f.press("checkInButton");
        QCOMPARE(dump(f.db, u"SELECT * FROM personinfo WHERE 工号='s1'"),
                 s(u"李四 女 数学系 s1 13900000000 2004-01-05 A"));
        QCOMPARE(f.listed(), QStringList{s(u"B")});
        f.checkIn(s(u"王五|male|系|S2|139|B"));
        f.checkIn(s(u"S3|B"));
        f.checkIn(s(u"S4|Odd"));
        QCOMPARE(f.answers->texts(), QStringList{s(u"请输入性别！")});
        QCOMPARE(tables(f.db), s(u"A 4 4 0|B 2 2 0|Odd 4 2 -1/A 4|A 4|B 2|Odd 1/S1|s1|S2|S3|S4"));
        QCOMPARE(dump(f.db, u"SELECT 性别 FROM personinfo WHERE 工号='S2'"), s(u"male"));
        QCOMPARE(f.listed(), QStringList{s(u"Odd")});
    }

    void checkOut_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("after");
        const QString same = s(u"A 4 1 3|B 4 2 2/A 1|B 2|B 0|Gone 1/P1|P2|P3|P4");
        QTest::newRow("only resident") << s(u"P1|A") << kDone << s(u"A 4 0 4|B 4 2 2/B 2|B 0|Gone 1/P2|P3|P4");
        QTest::newRow("one of two") << s(u"P2|B") << kDone << s(u"A 4 1 3|B 4 1 3/A 1|B 1|B -1|Gone 1/P1|P3|P4");
        QTest::newRow("room row gone") << s(u"P4|Gone") << kDone << s(u"A 4 1 3|B 4 2 2/A 1|B 2|B 0/P1|P2|P3");
        QTest::newRow("wrong room") << s(u"P1|B") << s(u"您输入的工号和房间号码不匹配，请重新输入！") << same;
        QTest::newRow("unknown") << s(u"P9|A") << kNotIn << same;
        QTest::newRow("case differs") << s(u"p1|A") << kNotIn << same;
        QTest::newRow("no staff number") << s(u"|A") << s(u"请输入员工的工号！") << same;
        QTest::newRow("no room") << s(u"P1|") << s(u"请输入员工的房间号码！") << same;
    }
    void checkOut()
    {
        QFETCH(QString, form);
        QFETCH(QString, message);
        QFETCH(QString, after);
        Fixture f;
        seed(f.db, s(u"A 4 1 3,B 4 2 2"), s(u"A 1,B 2,B 0,Gone 1"), s(u"P1 A,P2 B,P3 B,P4 Gone"));
        f.checkOut(form);
        QCOMPARE(f.answers->texts(), QStringList{message});
        QCOMPARE(tables(f.db), after);
        QCOMPARE(f.listed(), message == kDone ? QStringList({s(u"A"), s(u"B")}) : QStringList());
    }

    void walksStartAgainFromTheFirstRow()
    {
        Fixture f;
        seed(f.db, s(u"A 1 0 1"), {}, s(u"P1 X,P2 X"));
        f.checkIn(s(u"P2|A")); // leaves the resident walk on the second row
        f.checkIn(s(u"P1|A"));
        seed(f.db, s(u"Later 2 0 2"));
        f.checkIn(s(u"N1|Later"));
        f.checkOut(s(u"N1|Later"));
        f.checkOut(s(u"N1|Later"));
        f.checkIn(s(u"N1|Later"));
        QCOMPARE(f.answers->texts(), QStringList({kDuplicate, kDuplicate, kDone, kNotIn}));
        QCOMPARE(tables(f.db), s(u"A 1 0 1|Later 2 1 1/Later 1/P1|P2|N1"));
    }

    void storeFailureLeavesTablesAsTheyWere()
    {
        Fixture f;
        seed(f.db, s(u"A 4 1 3"), s(u"A 1"), s(u"P1 A"));
        const QString before = tables(f.db);
        f.db.exec(s(u"CREATE TRIGGER b1 BEFORE INSERT ON personinfo BEGIN SELECT RAISE(ABORT, 'boom'); END"));
        f.checkIn(s(u"N1|A"));
        f.db.exec(s(u"CREATE TRIGGER b2 BEFORE UPDATE ON floorinfo BEGIN SELECT RAISE(ABORT, 'boom'); END"));
        f.checkOut(s(u"P1|A"));
        QCOMPARE(f.answers->texts().size(), 2);
        for (const QString &text : f.answers->texts())
            QVERIFY2(text.startsWith(s(u"数据库操作失败!\n错误信息:")), qPrintable(text));
        QCOMPARE(tables(f.db), before);
        // The page's recordsets stay usable after the undo.
        f.db.exec(s(u"DROP TRIGGER b1"));
        f.db.exec(s(u"DROP TRIGGER b2"));
        f.answers->clear();
        f.checkIn(s(u"N1|A"));
        f.checkOut(s(u"P1|A"));
        QCOMPARE(f.answers->texts(), QStringList{kDone});
        QCOMPARE(tables(f.db), s(u"A 4 1 3/A 1/N1"));
    }
};

QTEST_MAIN(TestAccommodation)
#include "test_accommodation.moc"
