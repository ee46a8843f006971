#include "kit/reportlist.h"
#include "pages/queries/queriespage.h"
#include "support/teststore.h"
#include "support/testsupport.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

using namespace orv;
using namespace orv::test;
using namespace Qt::StringLiterals;

namespace {

const QStringList kCriteria = {u"nameEdit"_s, u"sexEdit"_s, u"roomEdit"_s};

struct Fixture {
    TestStore db;
    Answers answers;
    QueriesPage page{db.connection()};

    Fixture()
    {
        db.exec(u"INSERT INTO personinfo (姓名, 性别, 部门, 工号, 手机, 日期, 房间) VALUES"
                "('张伟','男','计算机系','2004001','138001','2004-03-15','101'),"
                "('李娜','女','外语系','2004002','138002','2004-04-01','102'),"
                "('王强','男','数学系','2004003','138003','2004-05-10','101'),"
                "('O''Neil','M''','外语系','2004004','138004','2004-06-01','1''01');"
                "INSERT INTO floorinfo VALUES ('101','男','0571-1101','206','618',6,120,35,2,4),"
                "('102','女','0571-1102','208','206',4,56,130,1,3), ('1''01','女','0571''9','209','621',2,1,2,0,2)"_s);
    }
    template <typename T = QLineEdit> T *get(const QString &name) { return child<T>(&page, name); }
    QString column0(const QString &list)
    {
        QStringList texts;
        for (int row = 0; row < get<ReportList>(list)->rowCount(); ++row)
            texts.append(get<ReportList>(list)->cellText(row, 0));
        return texts.join(u',');
    }
    QString row0(const QString &list) { return get<ReportList>(list)->rowTexts(0).join(u'|'); }
    void press(const QString &button) { click(get<QPushButton>(button + u"Button"_s)); }
    void type(const QString &edit, const QString &text) { QVERIFY(typeText(get(edit), text)); }
    void choose(int row)
    {
        get<QListWidget>(u"queryFieldList"_s)->setCurrentRow(row);
        press(u"chooseField"_s);
    }
};

} // namespace

class TestQueries final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void queryPersons_data()
    {
        QTest::addColumn<QStringList>("criteria"); // name, sex, room
        QTest::addColumn<QString>("found");
        QTest::addColumn<QString>("message");
        // The list keeps what 整体查询 showed.
        QTest::newRow("nothing typed") << QStringList() << u"张伟,李娜,王强,O'Neil"_s << u"请输入查询条件！"_s;
        // Every typed criterion is cleared; which one decides is the operation's.
        QTest::newRow("all three") << QStringList{u"张伟"_s, u"男"_s, u"102"_s} << u"李娜"_s << QString();
    }
    void queryPersons()
    {
        QFETCH(QStringList, criteria);
        QFETCH(QString, found);
        QFETCH(QString, message);
        Fixture f;
        f.press(u"listAll"_s);
        for (int i = 0; i < criteria.size(); ++i)
            f.type(kCriteria[i], criteria[i]);
        f.press(u"queryPersons"_s);
        QCOMPARE(f.column0(u"personList"_s), found);
        QCOMPARE(f.answers->texts(), message.isEmpty() ? QStringList() : QStringList{message});
        for (const QString &edit : kCriteria)
            QCOMPARE(f.get(edit)->text(), QString());
    }

    void listsShowEveryColumn()
    {
        Fixture f;
        f.press(u"listAll"_s);
        // 工号 shows under "学号", 部门 under "班级".
        QCOMPARE(f.row0(u"personList"_s), u"张伟|男|101|2004001|计算机系|138001|2004-03-15"_s);
        f.choose(6); // 网线端口, 206 for room 102 only; room 101 has it as telephone port
        QCOMPARE(f.get<QLabel>(u"chosenFieldLabel"_s)->text(), u"  网线端口："_s);
        f.type(u"queryValueEdit"_s, u"206"_s);
        f.press(u"queryRooms"_s);
        f.press(u"queryRooms"_s); // the second query replaces the first one's rows
        QCOMPARE(f.column0(u"roomResultList"_s), u"102"_s);
        QCOMPARE(f.row0(u"roomResultList"_s), u"102|0571-1102|208|206|4|56|130"_s);
        f.db.exec(u"DELETE FROM personinfo"_s);
        f.press(u"listAll"_s);
        QCOMPARE(f.column0(u"personList"_s), QString());
        QCOMPARE(f.answers->texts(), QStringList{u"还没有人入住，数据库为空！"_s});
    }

    void focusDisablesTheOtherCriteria()
    {
        Fixture f;
        f.page.show();
        QApplication::setActiveWindow(&f.page);
        QVERIFY(QTest::qWaitForWindowActive(&f.page));
        f.get(u"sexEdit"_s)->setFocus(Qt::MouseFocusReason);
        QTRY_VERIFY(!f.get(u"roomEdit"_s)->isEnabled());
        f.get(u"queryValueEdit"_s)->setFocus(Qt::MouseFocusReason);
        QTRY_VERIFY(f.get(u"roomEdit"_s)->isEnabled());
    }

    // A selection alone, or a spacer row chosen, is no choice of field.
    void queryRoomsWaitsForAChosenField_data()
    {
        QTest::addColumn<QList<int>>("chosen"); // field list rows chosen in turn
        QTest::addColumn<QString>("label");
        QTest::newRow("before any choice") << QList<int>{} << u"请你选择："_s;
        QTest::newRow("spacer after a field") << QList<int>{0, 3} << u"请您选择："_s;
    }
    void queryRoomsWaitsForAChosenField()
    {
        QFETCH(QList<int>, chosen);
        QFETCH(QString, label);
        Fixture f;
        f.get<QListWidget>(u"queryFieldList"_s)->setCurrentRow(0);
        for (int row : chosen)
            f.choose(row);
        f.type(u"queryValueEdit"_s, u"101"_s);
        f.press(u"queryRooms"_s);
        QCOMPARE(f.get<QLabel>(u"chosenFieldLabel"_s)->text(), label);
        QCOMPARE(f.column0(u"roomResultList"_s), QString());
        QCOMPARE(f.answers->texts(), QStringList{u"请您选择完查询方式后再操作！"_s});
    }
};

QTEST_MAIN(TestQueries)
#include "test_queries.moc"
