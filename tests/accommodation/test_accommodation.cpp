#include "kit/reportlist.h"
#include "pages/accommodation/cdialog1.h"
#include "support/testsupport.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace orv;
using namespace orv::test;
using namespace Qt::StringLiterals;

namespace {

// A query's rows as "v v v|v v v".
QString dump(TestDatabase &db, const QString &sql)
{
    QStringList rows;
    for (const QStringList &row : db.rows(sql))
        rows.append(row.join(u' '));
    return rows.join(u'|');
}

// Each room's residents and free beds, the counts, the residents' staff numbers.
QString tables(TestDatabase &db)
{
    return dump(db, u"SELECT 房间号码, 入住人数, 空缺人数 FROM floorinfo ORDER BY rowid"_s) + u'/' +
           dump(db, u"SELECT * FROM numinfo ORDER BY rowid"_s) + u'/' +
           dump(db, u"SELECT 工号 FROM personinfo ORDER BY rowid"_s);
}

// F is full by residents although its free-bed counter says 1; O has a free bed but a free-bed counter of 0
// and no count row; G's room row is gone.
struct Fixture {
    TestDatabase db;
    Answers answers;
    CDialog1 page{db.connection()};

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
    template <typename T = QLineEdit> T *get(const char *name) { return child<T>(&page, QString::fromLatin1(name)); }
    void press(const QString &name) { click(child<QPushButton>(&page, name + u"Button"_s)); }
    QStringList listed()
    {
        QStringList rooms;
        for (int row = 0; row < get<ReportList>("roomList")->rowCount(); ++row)
            rooms.append(get<ReportList>("roomList")->cellText(row, 0));
        return rooms;
    }
    // ';'-separated steps: "in:name|sex|department|staff number|mobile|room", "in:staff number|room" (the rest
    // filled in), "out:staff number|room", "sql:statement", or a button such as "freeRooms".
    void act(const QString &steps)
    {
        const char *const ins[] = {"nameEdit", "sexCombo", "deptEdit", "staffNoEdit", "mobileEdit", "roomEdit"};
        const char *const outs[] = {"outStaffNoEdit", "outRoomEdit"};
        for (const QString &step : steps.split(u';')) {
            const QString kind = step.section(u':', 0, 0);
            QStringList values = step.section(u':', 1).split(u'|');
            if (kind == u"in" && values.size() == 2)
                values = QStringList{u"王五"_s, u"男"_s, u"系"_s, values[0], u"139"_s, values[1]};
            for (int i = 0; (kind == u"in" || kind == u"out") && i < values.size(); ++i) {
                auto *field = get<QWidget>(kind == u"in" ? ins[i] : outs[i]);
                field->setProperty(qobject_cast<QComboBox *>(field) ? "currentText" : "text", values[i]);
            }
            if (kind == u"sql")
                db.exec(step.section(u':', 1));
            else if (kind == u"fail")
                db.exec(u"CREATE TRIGGER fail BEFORE %1 BEGIN SELECT RAISE(ABORT, 'boom'); END"_s.arg(
                    step.section(u':', 1)));
            else
                press(kind == u"in" ? u"checkIn"_s : kind == u"out" ? u"checkOut"_s : step);
        }
    }
};

} // namespace

class TestAccommodation : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void buttons_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("messages"); // ';'-separated
        QTest::addColumn<QString>("after");    // see tables(); none: nothing written
        QTest::addColumn<QString>("listed");
        const auto row = [](const char *name, const QString &steps, const QString &messages, const QString &after = {},
                            const QString &listed = {}) {
            QTest::newRow(name) << steps << messages << after << listed;
        };
        const QString done = u"成功迁出！"_s;
        const QString duplicate = u"你输入的工号已经存在，请不要重复输入！"_s;
        const QString noRoom = u"你输入的房间号码在数据库中不存在，请重新输入！"_s;
        const QString notIn = u"您输入的工号还没有入住，请不要对此工号操作！"_s;
        // Only 空缺人数 decides, and a negative one counts as free (see "in, new count").
        row("full list", u"fullRooms"_s, {}, {}, u"O"_s);
        // The second walk refills the list rather than adding to it.
        row("free list twice", u"fullRooms;freeRooms;freeRooms"_s, {}, {}, u"A B F"_s);
        row("lists, empty table", u"sql:DELETE FROM floorinfo;freeRooms;fullRooms"_s, {},
            u"/A 1|B 3|B 0|G 1/P1|P2|P3|P4"_s);
        row("clear list", u"freeRooms;clearList"_s, {});
        // B's last bed goes, so B leaves the free list, and both its count rows rise.
        row("in, room fills", u"in:N|B"_s, {}, u"A 1 3|B 4 0|F 2 1|O 1 0/A 1|B 4|B 1|G 1/P1|P2|P3|P4|N"_s, u"A F"_s);
        row("in, new count", u"in:N|O"_s, {}, u"A 1 3|B 3 1|F 2 1|O 2 -1/A 1|B 3|B 0|G 1|O 1/P1|P2|P3|P4|N"_s,
            u"A B F O"_s);
        row("name", u"in:|男|系|N|139|A"_s, u"请输入入住人的姓名！"_s);
        row("sex", u"in:王五||系|N|139|A"_s, u"请输入性别！"_s);
        row("department", u"in:王五|男||N|139|A"_s, u"请输入部门！"_s);
        row("staff number", u"in:王五|男|系||139|A"_s, u"请输入工号！"_s);
        row("mobile", u"in:王五|男|系|N||A"_s, u"请输入手机号码！"_s);
        row("room", u"in:王五|男|系|N|139|"_s, u"请输入房间号码！"_s);
        row("first of several", u"in:|||||"_s, u"请输入入住人的姓名！"_s);
        // The fee page takes staff numbers of 16 bytes at most; a longer one could never be charged.
        row("staff number 17 bytes", u"in:12345678901234567|A"_s, u"请输入不超过 16 个字符（一个汉字算两个字符）。"_s);
        row("staff number 16 bytes", u"in:工号工号工号工号|A"_s, {},
            u"A 2 2|B 3 1|F 2 1|O 1 0/A 2|B 3|B 0|G 1/P1|P2|P3|P4|工号工号工号工号"_s, u"A B F"_s);
        row("duplicate before room", u"in:P1|nowhere"_s, duplicate);
        // The first refusal leaves the resident walk on P4; the second starts again from P1.
        row("duplicate twice", u"in:P4|A;in:P1|A"_s, duplicate + u';' + duplicate);
        row("full room", u"in:N|F"_s, u"你选择的房间已经住满，请选择其他房间入住！"_s);
        row("missing room", u"in:N|nowhere"_s, noRoom);
        row("trailing blank", u"in:N|A "_s, noRoom);
        row("out, only resident", u"out:P1|A"_s, done, u"A 0 4|B 3 1|F 2 1|O 1 0/B 3|B 0|G 1/P2|P3|P4"_s, u"A B F"_s);
        row("out, one of two", u"out:P2|B"_s, done, u"A 1 3|B 2 2|F 2 1|O 1 0/A 1|B 2|B -1|G 1/P1|P3|P4"_s, u"A B F"_s);
        row("out, room row gone", u"out:P4|G"_s, done, u"A 1 3|B 3 1|F 2 1|O 1 0/A 1|B 3|B 0/P1|P2|P3"_s, u"A B F"_s);
        // B's second count row goes back to 1 on the way in, so the check-out deletes it.
        row("in, out, out", u"in:N|B;out:N|B;out:N|B"_s, done + u';' + notIn,
            u"A 1 3|B 3 1|F 2 1|O 1 0/A 1|B 3|G 1/P1|P2|P3|P4"_s, u"A B F"_s);
        row("wrong room", u"out:P1|B"_s, u"您输入的工号和房间号码不匹配，请重新输入！"_s);
        row("unknown", u"out:P9|A"_s, notIn);
        row("case differs", u"out:p1|A"_s, notIn);
        row("no staff number", u"out:|A"_s, u"请输入员工的工号！"_s);
        row("no room", u"out:P1|"_s, u"请输入员工的房间号码！"_s);
        // Each handler fails at its last write; its sets work again once the store does.
        const QString failed = u"数据库操作失败!\n错误信息"_s;
        row("in, store fails", u"fail:INSERT ON personinfo;in:N|A"_s, failed);
        row("out, store fails", u"fail:UPDATE ON floorinfo;out:P1|A"_s, failed);
        row("store mended", u"fail:INSERT ON personinfo;in:N|A;sql:DROP TRIGGER fail;in:N|A;out:N|A"_s,
            failed + u';' + done, {}, u"A B F"_s);
    }
    void buttons()
    {
        QFETCH(QString, steps);
        QFETCH(QString, messages);
        QFETCH(QString, after);
        QFETCH(QString, listed);
        Fixture f;
        const auto everything = [&f] { return tables(f.db) + dump(f.db, u"SELECT * FROM personinfo"_s); };
        const QString before = everything();
        f.act(steps);
        QStringList texts;
        for (const QString &text : f.answers->texts())
            texts.append(text.section(u':', 0, 0)); // up to the store's own words, after the failure box's ':'
        QCOMPARE(texts.join(u';'), messages);
        QCOMPARE(after.isEmpty() ? everything() : tables(f.db), after.isEmpty() ? before : after);
        QCOMPARE(f.listed().join(u' '), listed);
    }

    void checkInWritesTheForm()
    {
        Fixture f;
        for (QLabel *label : f.page.findChildren<QLabel *>())
            QVERIFY(label->buddy());
        f.get<QDateEdit>("checkInDate")->setDate(QDate(2004, 1, 5));
        f.act(u"in:李四||数学系|s1|13900000000|A"_s); // refused; the form keeps its values
        f.get<QComboBox>("sexCombo")->setCurrentIndex(1);
        f.press(u"checkIn"_s);
        f.act(u"in:王五|male|系|S2|139|A"_s); // typed text is taken as it stands
        QCOMPARE(f.answers->texts(), QStringList{u"请输入性别！"_s});
        QCOMPARE(dump(f.db, u"SELECT * FROM personinfo WHERE rowid > 4"_s),
                 u"李四 女 数学系 s1 13900000000 2004-01-05 A|王五 male 系 S2 139 2004-01-05 A"_s);
        QCOMPARE(f.get<ReportList>("roomList")->rowTexts(0).join(u' '), u"A 男 tel-A 4 3 1"_s);
    }
};

QTEST_MAIN(TestAccommodation)
#include "test_accommodation.moc"
