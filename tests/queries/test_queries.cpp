#include "kit/reportlist.h"
#include "pages/queries/cdialog3.h"
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

struct Fixture {
    TestDatabase db;
    Answers answers;
    CDialog3 page{db.connection()};

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
    template <typename T = QLineEdit> T *get(const QString &name) { return child<T>(&page, name); }
    // The first column's cells, comma-separated.
    QString column0(const QString &list)
    {
        QStringList texts;
        for (int row = 0; row < get<ReportList>(list)->rowCount(); ++row)
            texts.append(get<ReportList>(list)->cellText(row, 0));
        return texts.join(u',');
    }
    // ';'-separated steps: "name=text" types into nameEdit, "listAll" clicks listAllButton, "pick=3" selects a row
    // of the field list, "choose=3" selects it and clicks 选择, "sql=statement" runs on the store.
    void act(const QString &steps)
    {
        for (const QString &step : steps.split(u';')) {
            const QString key = step.section(u'=', 0, 0);
            const QString value = step.section(u'=', 1);
            if (key == u"sql")
                db.exec(value);
            else if (key == u"pick")
                get<QListWidget>(u"queryFieldList"_s)->setCurrentRow(value.toInt());
            else if (key == u"choose")
                act(u"pick=%1;chooseField"_s.arg(value));
            else if (key == step)
                click(get<QPushButton>(key + u"Button"_s));
            else
                QVERIFY(typeText(get(key + u"Edit"_s), value));
        }
    }
};

} // namespace

class TestQueries final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void queryPersons_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("found");
        QTest::addColumn<QString>("message");
        const QString all = u"张伟,李娜,王强,O'Neil"_s;
        const QString none = u"没有满足你要查询的记录！"_s;
        QTest::newRow("all") << u"listAll"_s << all << QString();
        QTest::newRow("empty table") << u"sql=DELETE FROM personinfo;listAll"_s << QString()
                                     << u"还没有人入住，数据库为空！"_s;
        QTest::newRow("name") << u"name=李娜;queryPersons"_s << u"李娜"_s << QString();
        QTest::newRow("sex") << u"sex=男;queryPersons"_s << u"张伟,王强"_s << QString();
        // The last filled criterion decides.
        QTest::newRow("name+room") << u"name=李娜;room=101;queryPersons"_s << u"张伟,王强"_s << QString();
        QTest::newRow("all three") << u"name=张伟;sex=男;room=102;queryPersons"_s << u"李娜"_s << QString();
        QTest::newRow("room 10 not 101") << u"room=10;queryPersons"_s << QString() << none;
        QTest::newRow("' in name") << u"name=O'Neil;queryPersons"_s << u"O'Neil"_s << QString();
        QTest::newRow("' in sex") << u"sex=M';queryPersons"_s << u"O'Neil"_s << QString();
        QTest::newRow("' in room") << u"room=1'01;queryPersons"_s << u"O'Neil"_s << QString();
        QTest::newRow("no widening") << u"name=x' or '1'='1;queryPersons"_s << QString() << none;
        // Nothing typed: the list keeps what 整体查询 showed.
        QTest::newRow("no criteria") << u"listAll;queryPersons"_s << all << u"请输入查询条件！"_s;
    }
    void queryPersons()
    {
        QFETCH(QString, steps);
        QFETCH(QString, found);
        QFETCH(QString, message);
        Fixture f;
        f.act(steps);
        QCOMPARE(f.column0(u"personList"_s), found);
        QCOMPARE(f.answers->texts().join(u';'), message);
        QVERIFY((f.get(u"nameEdit"_s)->text() + f.get(u"sexEdit"_s)->text() + f.get(u"roomEdit"_s)->text()).isEmpty());
    }

    void focusDisablesTheOtherCriteria()
    {
        Fixture f;
        f.page.show();
        QApplication::setActiveWindow(&f.page);
        QVERIFY(QTest::qWaitForWindowActive(&f.page));
        QLineEdit *edits[] = {f.get(u"nameEdit"_s), f.get(u"sexEdit"_s), f.get(u"roomEdit"_s)};
        for (QLineEdit *focused : edits) {
            focused->setFocus(Qt::MouseFocusReason);
            QTRY_VERIFY(focused->hasFocus());
            for (QLineEdit *edit : edits)
                QCOMPARE(edit->isEnabled(), edit == focused);
            f.get(u"queryValueEdit"_s)->setFocus(Qt::MouseFocusReason);
            QTRY_VERIFY(edits[0]->isEnabled() && edits[1]->isEnabled() && edits[2]->isEnabled());
        }
    }

    void queryRooms_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("found");
        QTest::addColumn<QString>("message");
        const QString room = u"  房间号码："_s;
        const QString choose = u"请您选择完查询方式后再操作！"_s;
        const QString none = u"数据库中没有你要查询的记录！"_s;
        QTest::newRow("before any choice") << u"pick=0;queryValue=101"_s << u"请你选择："_s << QString() << choose;
        QTest::newRow("spacer after a field")
            << u"choose=0;choose=3;queryValue=101"_s << u"请您选择："_s << QString() << choose;
        QTest::newRow("empty value") << u"choose=0"_s << room << QString() << u"请您输入查询条件！"_s;
        QTest::newRow("match") << u"choose=0;queryValue=101"_s << room << u"101"_s << QString();
        QTest::newRow("exact") << u"choose=0;queryValue=10"_s << room << u"10"_s << QString();
        QTest::newRow("no match") << u"choose=0;queryValue=999"_s << room << QString() << none;
        QTest::newRow("trailing blank missing") << u"choose=0;queryValue=103"_s << room << QString() << none;
        QTest::newRow("trailing blank given") << u"choose=0;queryValue=103 "_s << room << u"103 "_s << QString();
        QTest::newRow("' in room") << u"choose=0;queryValue=1'01"_s << room << u"1'01"_s << QString();
        QTest::newRow("' in telephone") << u"choose=2;queryValue=0571'9"_s << u"  电话号码："_s << u"1'01"_s
                                        << QString();
        QTest::newRow("telephone port") << u"choose=4;queryValue=206"_s << u"  电话端口："_s << u"101"_s << QString();
        QTest::newRow("network port") << u"choose=6;queryValue=206"_s << u"  网线端口："_s << u"102"_s << QString();
    }
    void queryRooms()
    {
        QFETCH(QString, steps);
        QFETCH(QString, label);
        QFETCH(QString, found);
        QFETCH(QString, message);
        Fixture f;
        f.act(steps + u";queryRooms;queryRooms"_s); // the second query replaces the first one's rows
        QCOMPARE(f.get<QLabel>(u"chosenFieldLabel"_s)->text(), label);
        QCOMPARE(f.column0(u"roomResultList"_s), found);
        QCOMPARE(f.answers->texts().join(u';'), message.isEmpty() ? message : message + u';' + message);
    }

    // A store failure half-way through a walk ends the query with the failure box, writes nothing, and the next
    // query answers for its own criterion.
    void storeFailureMidWalk()
    {
        Fixture f;
        const auto before = f.db.rows(u"SELECT * FROM personinfo, floorinfo"_s);
        for (const QString &table : {u"personinfo"_s, u"floorinfo"_s})
            f.db.exec(u"ALTER TABLE %1 RENAME TO %1_kept; CREATE TABLE %1 (房间号码, 姓名);"
                      "INSERT INTO %1 VALUES ('101', '张伟')"_s.arg(table));
        f.act(u"name=张伟;queryPersons;choose=0;queryValue=101;queryRooms"_s);
        const QStringList texts = f.answers->texts();
        const QString failed = u"数据库操作失败!\n错误信息:"_s;
        QVERIFY2(texts.size() == 2 && texts[0].startsWith(failed) && texts[1].startsWith(failed),
                 qPrintable(texts.join(u';')));
        for (const QString &table : {u"personinfo"_s, u"floorinfo"_s})
            f.db.exec(u"DROP TABLE %1; ALTER TABLE %1_kept RENAME TO %1"_s.arg(table));
        QCOMPARE(f.db.rows(u"SELECT * FROM personinfo, floorinfo"_s), before);
        f.act(u"room=102;queryPersons;queryValue=102;queryRooms"_s);
        // 工号 shows under "学号", 部门 under "班级".
        QCOMPARE(f.get<ReportList>(u"personList"_s)->rowTexts(0).join(u'|'),
                 u"李娜|女|102|2004002|外语系|138002|2004-04-01"_s);
        QCOMPARE(f.get<ReportList>(u"roomResultList"_s)->rowTexts(0).join(u'|'), u"102|0571-1102|208|206|4|56|130"_s);
    }
};

QTEST_MAIN(TestQueries)
#include "test_queries.moc"
